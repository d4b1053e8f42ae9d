// Files dragged from a file manager onto the windows.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QPointer>
#include <QtTest/QTest>
#include <optional>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "model/Settings.h"
#include "shell/ToolTable.h"
#include "shell/desktop/MainFrame.h"
#include "shell/desktop/ToolRegistry.h"
#include "ui/analysis/CompareDialog.h"
#include "ui/controls/FormatDialog.h"
#include "ui/player/VideoPlayer.h"
#include "ui/tools/TransformDialogs.h"

namespace vx::test {
namespace {

class FileDrops : public TransformWindows {
 protected:
  void SetUp() override {
    TransformWindows::SetUp();
    saved_ = CurrentSettings();
  }
  void TearDown() override { CurrentSettings() = saved_; }
  // The main window as the program builds it: the empty view under the toolbar, every tool.
  void BuildMainWindow() {
    frame_.setCentralWidget(new QWidget(&frame_));
    RegisterTools(frame_);
    frame_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame_));
  }
  ProgramSettings saved_;
  CMainFrame frame_;
};

// Whatever a refused drop might have started has had its chance to run.
void LetQueuedWorkRun() {
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
}

TEST_F(FileDrops, ARawFileDroppedOnTheMainWindowPlaysInTheLayoutItsNameGives) {
  const std::string clip = (dir_ / "clip_352x288.i420").string();
  test::WriteFileBytes(clip, test::RandomBytes(352 * 288 * 3 / 2 * 2, 4));
  ScopedCurrentFormat current(test::PlainLayout(YUV_422, UYV, Interlaced, Packed, 720, 480));
  BuildMainWindow();
  QWidget* view = frame_.centralWidget();
  FileNameAnswers pickers;  // no file picker may open
  std::optional<ImageFormat> offered;
  ModalHandler<CYuvFrmtDlg> confirm([&](CYuvFrmtDlg* dialog) {
    offered = dialog->format();
    EXPECT_TRUE(ClickAsUser(DialogButton(dialog, QDialogButtonBox::Ok)));
  });

  // Anything but local files is refused as it comes in, and starts nothing.
  const QUrl web(QStringLiteral("https://example.com/clip_352x288.i420"));
  const testing::AssertionResult refusals[] = {
      DropAsUser(view, {web}),
      DropAsUser(view, FileUrls({dir_.path().string()})),  // a folder
      DropAsUser(view, {QUrl::fromLocalFile(QString::fromStdString(clip)), web}),
  };
  for (const auto& refused : refusals) {
    EXPECT_FALSE(refused);
    EXPECT_NE(std::string(refused.message()).find("refused by vx::CMainFrame on entry"), std::string::npos)
        << refused.message();
  }
  LetQueuedWorkRun();
  EXPECT_EQ(frame_.LatestWindow(ToolId("play")), nullptr);
  EXPECT_EQ(confirm.count, 0);

  ASSERT_TRUE(DropAsUser(view, FileUrls({clip})));
  QPointer<QWidget> window;
  ASSERT_TRUE(WaitUntil([&] {
    window = frame_.LatestWindow(ToolId("play"));
    auto* player = qobject_cast<CVideoPlayer*>(window.data());
    return player && player->engine().Sequence().Format().ImgWidth == 352;
  }));
  auto* player = qobject_cast<CVideoPlayer*>(window.data());
  EXPECT_EQ(confirm.count, 1) << "the format dialog asked once, as after Browse";
  ASSERT_TRUE(offered.has_value());
  EXPECT_EQ(offered->SamplingFormat, YUV_420) << "guessed from the name";
  EXPECT_EQ(offered->PixelFormat, Planar);
  EXPECT_EQ(offered->ComponentOrder, YUV);
  EXPECT_EQ(player->engine().Sequence().Files, std::vector<std::string>{clip});
  const ImageFormat& played = player->engine().Sequence().Format();
  EXPECT_EQ(played.SamplingFormat, YUV_420);
  EXPECT_EQ(played.PixelFormat, Planar);
  EXPECT_EQ(played.ImgHeight, 288);
  EXPECT_EQ(player->windowTitle(), QString::fromStdString(clip));
  EXPECT_TRUE(pickers.asked.empty());
  EXPECT_TRUE(recorder_.Texts().empty());
  player->Exit();
}

TEST_F(FileDrops, AFileDroppedOnAToolsFileBoxIsTakenAsBrowseTakesIt) {
  ScopedCurrentFormat current(format_);
  QPointer<CImageCrop> crop = new CImageCrop;
  crop->setAttribute(Qt::WA_DeleteOnClose);
  crop->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(crop));
  auto* source = Child<QLineEdit>(*crop, "sourceBox");
  FileNameAnswers pickers;
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* dialog) { EXPECT_TRUE(ClickAsUser(DialogButton(dialog, QDialogButtonBox::Ok))); });

  // An address is refused, and the box does not take it as text either.
  const auto refused = DropAsUser(source, {QUrl(QStringLiteral("https://example.com/clip.yuv"))});
  EXPECT_FALSE(refused);
  EXPECT_NE(std::string(refused.message()).find("refused by QLineEdit on entry"), std::string::npos)
      << refused.message();
  LetQueuedWorkRun();
  EXPECT_EQ(source->text(), QString());
  EXPECT_EQ(confirm.count, 0);

  ASSERT_TRUE(DropAsUser(source, FileUrls({clip_})));
  ASSERT_TRUE(WaitUntil([&] { return source->text() == QString::fromStdString(clip_); }));
  EXPECT_EQ(confirm.count, 1);
  EXPECT_TRUE(pickers.asked.empty()) << "the dropped file answers the picker";
  EXPECT_TRUE(crop->targetBox()->text().endsWith(QStringLiteral("clip_cropped.yuv")))
      << crop->targetBox()->text().toStdString();
  EXPECT_EQ(Child<QLineEdit>(*crop, "widthBox")->text(), QStringLiteral("352"));
  EXPECT_EQ(crop->preview()->pictureSize(), QSize(352, 288));
  EXPECT_EQ(CurrentSettings().LastFolder, dir_.path().string()) << "remembered as a browsed file's folder";

  // A cancelled format dialog leaves the source as it was, as after Browse.
  const std::string other = (dir_ / "other.yuv").string();
  test::WriteFileBytes(other, test::RandomBytes(352 * 288 * 3 / 2, 8));
  confirm.Do([](CYuvFrmtDlg* dialog) { dialog->reject(); });
  ASSERT_TRUE(DropAsUser(source, FileUrls({other})));
  ASSERT_TRUE(WaitUntil([&] { return confirm.count == 2 && !QApplication::activeModalWidget(); }));
  LetQueuedWorkRun();
  EXPECT_EQ(source->text(), QString::fromStdString(clip_));
  crop->close();
}

TEST_F(FileDrops, OnTheCompareWindowTheLeftHalfTakesFile1AndTheRightHalfFile2) {
  ScopedCurrentFormat current(format_);
  const std::string second = (dir_ / "second.yuv").string();
  test::WriteFileBytes(second, test::RandomBytes(352 * 288 * 3 / 2 * 3, 9));
  QPointer<CYUVCompare> compare = new CYUVCompare;
  compare->setAttribute(Qt::WA_DeleteOnClose);
  compare->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(compare));
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* dialog) { EXPECT_TRUE(ClickAsUser(DialogButton(dialog, QDialogButtonBox::Ok))); });
  FileNameAnswers pickers;
  // The picture (left) and the window beside it, three quarters across.
  auto* picture = Child<PreviewArea>(*compare, "preview");
  const QPoint besideThePicture(compare->width() * 3 / 4,
                                picture->mapTo(compare.data(), picture->rect().center()).y());
  ASSERT_LT(picture->mapTo(compare.data(), picture->rect().center()).x(), compare->width() / 2);

  ASSERT_TRUE(DropAsUser(compare, FileUrls({second}), besideThePicture));
  ASSERT_TRUE(WaitUntil([&] { return compare->sequence().SecondPath == second; }));
  EXPECT_EQ(compare->sequence().FirstPath, "");
  ASSERT_TRUE(DropAsUser(picture, FileUrls({clip_})));
  ASSERT_TRUE(WaitUntil([&] { return compare->sequence().FirstPath == clip_; }));
  EXPECT_EQ(compare->sequence().SecondPath, second);
  EXPECT_EQ(confirm.count, 2);
  EXPECT_TRUE(pickers.asked.empty());
  compare->close();
}

}  // namespace
}  // namespace vx::test
