// Files dragged from a file manager onto the windows, and the places the tool
// windows open in.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QPointer>
#include <QtTest/QTest>
#include <optional>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "model/Settings.h"
#include "shell/ProgramInfo.h"
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

QStringList FilesToOpenAsQt(const std::vector<std::string>& args) {
  QStringList files;
  for (const std::string& file : FilesToOpen(args)) files << QString::fromStdString(file);
  return files;
}

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

// `velutrix clip_352x288.i420` (a desktop entry's %F) opens the file as a drop does.
TEST_F(FileDrops, FilesNamedOnTheCommandLineOpenInThePlayerWithTheGuessedLayout) {
  const std::string clip = (dir_ / "clip_352x288.i420").string();
  test::WriteFileBytes(clip, test::RandomBytes(352 * 288 * 3 / 2 * 2, 5));
  ScopedCurrentFormat current(test::PlainLayout(YUV_422, UYV, Interlaced, Packed, 720, 480));
  BuildMainWindow();
  FileNameAnswers pickers;
  ModalHandler<CYuvFrmtDlg> confirm(
      [&](CYuvFrmtDlg* dialog) { EXPECT_TRUE(ClickAsUser(DialogButton(dialog, QDialogButtonBox::Ok))); });

  frame_.OpenFiles(FilesToOpenAsQt({"velutrix", clip}));
  QPointer<QWidget> window;
  ASSERT_TRUE(WaitUntil([&] {
    window = frame_.LatestWindow(ToolId("play"));
    auto* player = qobject_cast<CVideoPlayer*>(window.data());
    return player && player->engine().Sequence().Format().ImgWidth == 352;
  }));
  auto* player = qobject_cast<CVideoPlayer*>(window.data());
  EXPECT_EQ(confirm.count, 1);
  EXPECT_EQ(player->engine().Sequence().Files, std::vector<std::string>{clip});
  EXPECT_EQ(player->engine().Sequence().Format().SamplingFormat, YUV_420);
  EXPECT_EQ(player->engine().Sequence().Format().ImgHeight, 288);
  EXPECT_TRUE(pickers.asked.empty());
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

TEST_F(FileDrops, AToolWindowOpensWhereItsLastWindowClosedInsideTheScreen) {
  // Remembered larger than the 1600 x 1000 screen and far below it.
  CurrentSettings().Windows["crop"] = {.X = -900, .Y = 30000, .Width = 5000, .Height = 3000, .Zoom = 4};
  BuildMainWindow();
  QPointer<CImageCrop> crop = qobject_cast<CImageCrop*>(frame_.OpenTool(ToolId("crop")));
  ASSERT_TRUE(crop);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(crop));
  EXPECT_TRUE(WaitUntil([&] { return InsideTheScreen(crop); }))
      << crop->x() << "," << crop->y() << " " << crop->width() << "x" << crop->height();
  EXPECT_EQ(crop->preview()->zoom().factor(), 4);

  EXPECT_EQ(crop->width(), 1600 - (crop->frameGeometry().width() - crop->width())) << "as wide as the screen";

  // Moved, made smaller, fitted and closed: the next window of the tool opens so.
  const QSize size(900, 650);
  crop->resize(size);
  crop->move(120, 80);
  ASSERT_TRUE(WaitUntil([&] { return crop->pos() == QPoint(120, 80) && crop->size() == size; }));
  crop->preview()->fitToArea();
  crop->close();
  ASSERT_TRUE(CurrentSettings().Windows.contains("crop"));
  EXPECT_EQ(CurrentSettings().Windows.at("crop"),
            (WindowPlace{.X = 120, .Y = 80, .Width = size.width(), .Height = size.height(), .Zoom = 0}));
  crop = qobject_cast<CImageCrop*>(frame_.OpenTool(ToolId("crop")));
  ASSERT_TRUE(crop);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(crop));
  EXPECT_TRUE(WaitUntil([&] { return crop->pos() == QPoint(120, 80); })) << crop->x() << "," << crop->y();
  EXPECT_EQ(crop->size(), size);
  EXPECT_EQ(crop->preview()->zoom().factor(), 0);

  // Closing the program records the windows still open.
  crop->move(200, 90);
  ASSERT_TRUE(WaitUntil([&] { return crop->pos() == QPoint(200, 90); }));
  crop->preview()->setZoomFactor(8);
  frame_.close();
  EXPECT_EQ(CurrentSettings().Windows.at("crop").X, 200);
  EXPECT_EQ(CurrentSettings().Windows.at("crop").Zoom, 8);
  // ... and a window with no place kept yet opens as it always did.
  EXPECT_FALSE(CurrentSettings().Windows.contains("flip"));
}

}  // namespace
}  // namespace vx::test
