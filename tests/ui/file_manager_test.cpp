#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest/QTest>

#include "UiTestSupport.h"
#include "model/FileHistory.h"
#include "shell/ToolTable.h"
#include "shell/desktop/FileHistoryDialog.h"
#include "shell/desktop/MainFrame.h"
#include "shell/desktop/ToolRegistry.h"
#include "tools/AviJobs.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/player/VideoPlayer.h"
#include "ui/tools/AviDialogs.h"

namespace vx::test {
namespace {

TEST(FileManager, ASelectedRowIsReadable) {
  FileHistory().Clear();
  AddToHistory("/clips/a.yuv", ImageFormat{}, kOpened);
  CFileHistory dialog;
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QTreeWidgetItem* row = dialog.list()->topLevelItem(0);
  row->setSelected(true);
  const QRect cell = dialog.list()->visualItemRect(row);
  const QImage shot = dialog.list()->viewport()->grab().toImage();
  const QColor background = shot.pixelColor(cell.right() - 3, cell.center().y());
  EXPECT_LT(background.lightness(), 110) << "a dark highlight under white text";
  FileHistory().Clear();
}

TEST(FileManager, DeletesExactlyTheSelectedRecords) {
  FileHistory().Clear();
  ImageFormat f;
  for (const char* path : {"/c.yuv", "/b.yuv", "/a.yuv"}) AddToHistory(path, f, kOpened);
  int played = 0;
  CFileHistory::SetPlayHandler([&](const CFileHistoryInfo&) { ++played; });
  CFileHistory dialog;
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  ASSERT_EQ(dialog.list()->topLevelItemCount(), 3);
  QWidget* rows = dialog.list()->viewport();
  auto row = [&](int index) {
    return dialog.list()->visualItemRect(dialog.list()->topLevelItem(index)).center();
  };
  auto button = [&](const QString& text) {
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
      if (b->text() == text) return b;
    return static_cast<QPushButton*>(nullptr);
  };
  // Rows 1 and 3 picked with a click and a Ctrl+click.
  ASSERT_TRUE(TakesItsOwnClick(rows, row(0)));
  QTest::mouseClick(rows, Qt::LeftButton, {}, row(0));
  QTest::mouseClick(rows, Qt::LeftButton, Qt::ControlModifier, row(2));
  ASSERT_EQ(dialog.list()->selectedItems().size(), 2);
  ASSERT_TRUE(ClickAsUser(button(QStringLiteral("Open selected file"))));
  EXPECT_EQ(played, 0) << "two rows selected: nothing opens";
  {
    BoxAnswerer yes(QMessageBox::Yes);
    ASSERT_TRUE(ClickAsUser(button(QStringLiteral("Delete selected record"))));
    ASSERT_EQ(yes.texts.size(), 1);
    EXPECT_EQ(yes.captions[0], QStringLiteral("Delete file"));
  }
  const auto records = FileHistory().Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].fileName, "/b.yuv");
  QTest::mouseClick(rows, Qt::LeftButton, {}, row(0));
  ASSERT_TRUE(ClickAsUser(button(QStringLiteral("Open selected file"))));
  EXPECT_EQ(played, 1);
  CFileHistory::SetPlayHandler(nullptr);
  FileHistory().Clear();
}

// The main window with every tool, a File Manager opened from its menu, and the
// first record double-clicked there as a person does it.
class ReplayFromManager : public testing::Test {
 protected:
  void SetUp() override {
    FileHistory().Clear();
    RegisterTools(frame_);
    frame_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame_));
  }
  void TearDown() override {
    for (const char* tool : {"play", "avi2yuv"})
      if (QWidget* window = frame_.LatestWindow(ToolId(tool))) window->close();
    CFileHistory::SetPlayHandler(nullptr);
    FileHistory().Clear();
  }

  // Whether the manager was still open, and which window was modal, right after
  // the double click.
  struct AfterDoubleClick {
    bool managerOpen = false;
    QWidget* modal = nullptr;
  };
  AfterDoubleClick DoubleClickFirstRecord() {
    AfterDoubleClick after;
    ModalHandler<CFileHistory> manager([&](CFileHistory* dialog) {
      QWidget* rows = dialog->list()->viewport();
      const QPoint row = dialog->list()->visualItemRect(dialog->list()->topLevelItem(0)).center();
      EXPECT_TRUE(TakesItsOwnClick(rows, row));
      // As the window system delivers a double click: a click, then the second
      // press as a double-click event, and its release.
      QTest::mouseClick(rows, Qt::LeftButton, {}, row);
      QTest::mouseDClick(rows, Qt::LeftButton, {}, row);
      QTest::mouseRelease(rows, Qt::LeftButton, {}, row);
      after.managerOpen = dialog->isVisible();
      after.modal = QApplication::activeModalWidget();
      if (dialog->isVisible()) dialog->reject();  // so that the test goes on
    });
    EXPECT_TRUE(
        ChooseFromMenu(&frame_, QStringLiteral("YUV Player"), QStringLiteral("File &History Manager ")));
    EXPECT_EQ(manager.count, 1);
    return after;
  }

  test::TempDir dir_;
  RecordingMessageSink recorder_;
  ScopedMessageSink scope_{recorder_};
  ScopedCurrentFormat current_{I420Format(16, 8)};
  CMainFrame frame_;
};

TEST_F(ReplayFromManager, ADoubleClickedRecordPlaysInFrontOfTheManager) {
  const std::string clip = NumberedClip(dir_, "clip.yuv", 3);
  AddToHistory(clip, I420Format(16, 8), kOpened);
  const AfterDoubleClick after = DoubleClickFirstRecord();
  EXPECT_FALSE(after.managerOpen) << "the manager gets out of the way";
  EXPECT_EQ(after.modal, nullptr) << "nothing blocks the player";
  auto* player = qobject_cast<CVideoPlayer*>(frame_.LatestWindow(ToolId("play")));
  ASSERT_NE(player, nullptr);
  EXPECT_TRUE(player->isVisible());
  EXPECT_EQ(player->windowTitle().toStdString(), clip);
  EXPECT_TRUE(QTest::qWaitForWindowActive(player, 2000)) << "the player is the window in front";
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_TRUE(recorder_.Texts().empty());
}

TEST_F(ReplayFromManager, AnAviRecordOpensTheAviDecoderAndLeavesTheRawLayout) {
  // An AVI made by the encoder, which enters it in the history as it does from its window.
  const ImageFormat raw = I420Format(16, 8);
  const std::string clip = NumberedClip(dir_, "clip.yuv", 3);
  const std::string avi = (dir_ / "clip.avi").string();
  {
    YuvToAviJob job;
    job.ExitWhenDone = true;
    ToolJobObserver quiet;
    ASSERT_TRUE(job.PrepareEncoding({.source = clip, .target = avi, .sourceFormat = raw, .codec = "iyuv"}));
    ASSERT_EQ(job.FreezeAndRun(quiet), JobOutcome::Completed);
  }
  const auto records = FileHistory().Records();
  ASSERT_EQ(records.size(), 1u);
  ASSERT_EQ(records[0].fileName, avi);
  EXPECT_EQ(records[0].SamplingFormat, BMP) << "the pictures the AVI holds";

  EXPECT_FALSE(DoubleClickFirstRecord().managerOpen);
  EXPECT_EQ(frame_.LatestWindow(ToolId("play")), nullptr) << "the player plays raw files only";
  auto* decoder = qobject_cast<CAVI2YUV*>(frame_.LatestWindow(ToolId("avi2yuv")));
  ASSERT_NE(decoder, nullptr);
  EXPECT_TRUE(decoder->isVisible());
  EXPECT_EQ(decoder->sourceBox()->text().toStdString(), avi);
  EXPECT_EQ(decoder->toBox()->text().toStdString(), "3");
  ASSERT_FALSE(recorder_.Texts().empty());
  EXPECT_EQ(recorder_.Texts().back().rfind("Codec available on this computer:\n", 0), 0u);
  EXPECT_EQ(CurrentSettings().Format, raw) << "the raw layout is left as it was";

  // After a restart, a .yuv opens with that layout, not with the AVI's pictures'.
  ASSERT_TRUE(SaveSettings(CurrentSettings(), dir_ / "velutrix3.ini"));
  ScopedCurrentFormat restarted(ProgramSettings{}.Format);
  LoadSettings(CurrentSettings(), dir_ / "velutrix3.ini");
  auto* player = new CVideoPlayer;
  player->setAttribute(Qt::WA_DeleteOnClose);
  player->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(player));
  ImageFormat offered;
  ASSERT_TRUE(BrowseAsUser(Child<QPushButton>(*player, "browse"), clip,
                           [&](CYuvFrmtDlg* dialog) { offered = dialog->format(); }));
  EXPECT_EQ(offered.SamplingFormat, YUV_420);
  EXPECT_EQ(offered.PixelFormat, Planar);
  EXPECT_EQ(offered.ImgWidth, 16);
  player->close();
}

TEST_F(ReplayFromManager, ARecordOfBmpPicturesIsNotPlayedAsRawVideo) {
  const std::string pictures = (dir_ / "frames.bmp").string();
  AddToHistory(pictures, test::PlainLayout(BMP, RGB, Progressive, Packed, 16, 8), kCreated);
  EXPECT_FALSE(DoubleClickFirstRecord().managerOpen);
  EXPECT_EQ(frame_.LatestWindow(ToolId("play")), nullptr);
  EXPECT_EQ(recorder_.Texts(),
            std::vector<std::string>{"Error HIST1003: " + pictures +
                                     " is not raw video (it was recorded as BMP pictures); the player plays "
                                     "raw video files only.\n"});
  EXPECT_EQ(CurrentSettings().Format, I420Format(16, 8));
}

}  // namespace
}  // namespace vx::test
