#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QPointer>
#include <QtTest/QTest>
#include <algorithm>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "image/ColorFormula.h"
#include "image/Dib.h"
#include "shell/ToolTable.h"
#include "shell/desktop/MainFrame.h"
#include "shell/desktop/ToolRegistry.h"
#include "ui/tools/CompositionDialog.h"
#include "ui/tools/ConverterDialog.h"

namespace vx::test {
namespace {

class CompositionWindow : public TransformWindows {};

TEST_F(CompositionWindow, BaseTopAndPicturesComposedWithTheMouse) {
  CMainFrame frame;
  RegisterTools(frame);
  EXPECT_EQ(frame.action(ToolId("composition"))->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  ASSERT_TRUE(PressShortcut(&frame, QKeySequence(QStringLiteral("Ctrl+N"))));
  QPointer<CYUVComposition> compose =
      qobject_cast<CYUVComposition*>(frame.LatestWindow(ToolId("composition")));
  ASSERT_NE(compose, nullptr);
  EXPECT_EQ(compose->windowTitle(), QStringLiteral("Composite Two YUV Files Into One File"));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(compose));
  EXPECT_EQ(Child<QLineEdit>(*compose, "topLineBox")->text(), QStringLiteral("10"));
  EXPECT_EQ(Child<QLineEdit>(*compose, "leftColumnBox")->text(), QStringLiteral("20"));
  EXPECT_FALSE(Child<QProgressBar>(*compose, "progressBar")->isVisible());

  // Start without names prompts for the base first.
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*compose, "startButton")));
  EXPECT_EQ(recorder_.Entries().back().text, "Please give file name for the base image!");
  EXPECT_EQ(recorder_.Entries().back().caption, "Error");

  ScopedCurrentFormat current(format_);
  ASSERT_TRUE(BrowseAsUser(Child<QPushButton>(*compose, "sourceBrowseButton"), clip_));
  EXPECT_EQ(compose->targetBox()->text(), QString::fromStdString((dir_ / "clip_composed.yuv").string()));
  // A top of another layout is refused at once and again at Start.
  const ImageFormat qcif = test::Layout(YUV_420, YVU, Progressive, Planar, 176, 144);
  const auto top = dir_ / "top.yuv";
  test::WriteFileBytes(top, test::RandomBytes(176 * 144 * 3 / 2 * 2, 9));
  {
    ScopedCurrentFormat topFormat(qcif);
    ASSERT_TRUE(BrowseAsUser(Child<QPushButton>(*compose, "secondBrowseButton"), top.string()));
  }
  EXPECT_EQ(recorder_.Texts().back(), "The two files have different format, and cannot be composited !");
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*compose, "startButton")));
  EXPECT_EQ(recorder_.Texts().back(), "The two files have different format, and cannot be composited!");
  ImageFormat sameLayout = qcif;
  sameLayout.ComponentOrder = YUV;
  {
    ScopedCurrentFormat topFormat(sameLayout);
    ASSERT_TRUE(BrowseAsUser(Child<QPushButton>(*compose, "secondBrowseButton"), top.string()));
  }
  EXPECT_TRUE(compose->composable());

  // Transparency 100 with the keyboard: the base comes out unchanged.
  ASSERT_TRUE(ClickAsUser(Child<QSlider>(*compose, "transparencySlider")));
  QTest::keyClick(Child<QSlider>(*compose, "transparencySlider"), Qt::Key_End);
  EXPECT_EQ(Child<QLineEdit>(*compose, "transparencyValueBox")->text(), QStringLiteral("100"));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*compose, "startButton")));
  ASSERT_TRUE(WaitUntil(
      [&] { return !compose->WorkerRunning() && Child<QPushButton>(*compose, "startButton")->isEnabled(); }));
  EXPECT_EQ(
      recorder_.Texts().back(),
      " Base image files contains more frames than the top image files.\n You can specify if you need repeat "
      "the last frame of top image file to continoue to put on top of the rest frames of the base image "
      "file!")
      << "the notice, and no finish message";
  const auto target = dir_ / "clip_composed.yuv";
  EXPECT_EQ(test::ReadFileBytes(target), test::ReadFileBytes(clip_));

  // Transparency 0 at (0, 0): the top's first luma row starts the picture.
  QTest::keyClick(Child<QSlider>(*compose, "transparencySlider"), Qt::Key_Home);
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*compose, "topLineBox"), QStringLiteral("0")));
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*compose, "leftColumnBox"), QStringLiteral("0")));
  ASSERT_TRUE(ClickAsUser(Child<QCheckBox>(*compose, "repeatBox")));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*compose, "startButton")));
  ASSERT_TRUE(WaitUntil(
      [&] { return !compose->WorkerRunning() && Child<QPushButton>(*compose, "startButton")->isEnabled(); }));
  const auto out = test::ReadFileBytes(target), t = test::ReadFileBytes(top);
  ASSERT_EQ(out.size(), test::ReadFileBytes(clip_).size());
  const size_t baseFrame = 352 * 288 * 3 / 2, topFrame = 176 * 144 * 3 / 2;
  EXPECT_TRUE(std::equal(t.begin(), t.begin() + 176, out.begin()));
  EXPECT_TRUE(std::equal(t.begin() + topFrame, t.begin() + topFrame + 176, out.begin() + baseFrame));
  EXPECT_TRUE(std::equal(t.begin() + topFrame, t.begin() + topFrame + 176, out.begin() + 2 * baseFrame))
      << "the last top frame repeated";

  // A picture as the top, through the picture list.
  std::vector<uint8_t> rows(16 * 8 * 3, 255);
  CDib dib;
  ASSERT_TRUE(dib.CreateFromBits(16, 8, 24, rows));
  const std::string picture = (dir_ / "white.bmp").string();
  {
    auto file = RawFile::Create(picture);
    ASSERT_TRUE(file && dib.Write(*file));
  }
  {
    FileNameAnswers answers({QString::fromStdString(picture)});
    ModalHandler<CBMPFileInput> list(
        [](CBMPFileInput* dialog) { EXPECT_TRUE(ClickAsUser(DialogButton(dialog, QDialogButtonBox::Ok))); });
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*compose, "secondBrowseButton")));
    EXPECT_EQ(list.count, 1);
  }
  EXPECT_EQ(compose->topBox()->text(), QString::fromStdString(picture));
  EXPECT_TRUE(compose->composable());
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*compose, "startButton")));
  ASSERT_TRUE(WaitUntil(
      [&] { return !compose->WorkerRunning() && Child<QPushButton>(*compose, "startButton")->isEnabled(); }));
  const auto withPicture = test::ReadFileBytes(target);
  const auto white = FillBytes(*CurrentColourTables(), format_, RgbColor{255, 255, 255});
  EXPECT_EQ(withPicture[0], white[0]);
  EXPECT_EQ(withPicture[15], white[0]);
  EXPECT_EQ(withPicture[16], test::ReadFileBytes(clip_)[16]) << "16 pixels wide";
  EXPECT_EQ(Child<QLineEdit>(*compose, "frameNumberBox")->text(), QStringLiteral("3"));
  compose->close();
}

}  // namespace
}  // namespace vx::test
