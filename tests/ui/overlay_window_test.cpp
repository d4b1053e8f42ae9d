#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QPointer>
#include <QtTest/QTest>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "ui/analysis/OverlayDialog.h"
#include "ui/controls/FormatDialog.h"

namespace vx::test {
namespace {

class OverlayWindow : public EditorWindow {};

TEST_F(OverlayWindow, VectorsOverTheFramesOfItsData) {
  // Two frames of data for 64 x 48 in 16 x 16 blocks: (0, 0) vectors, one white
  // pixel at each block centre.
  std::string text;
  text =
      "<TotalFrames> 2 </TotalFrames> <ImageWidth> 64 </ImageWidth> <ImageHeight> 48 </ImageHeight> "
      "<BlockWidth> 16 </BlockWidth> <BlockHeight> 16 </BlockHeight> <DataPerBlock> 2 </DataPerBlock> "
      "<DataMin> -127 </DataMin> <DataMax> 255 </DataMax> <Data>\n";
  for (int f = 0; f < 2; ++f) {
    text += "<Frame>";
    for (int i = 0; i < 12 * 2; ++i) text += " 0";
    text += " </Frame>\n";
  }
  const auto overlay = dir_ / "vectors.txt";
  test::WriteFileBytes(overlay, std::vector<uint8_t>(text.begin(), text.end()));
  const auto broken = dir_ / "broken.txt";
  const std::string bad =
      "<TotalFrames> 2 </TotalFrames> <ImageWidth> 64 </ImageWidth> <ImageHeight> 48 "
      "</ImageHeight> <BlockWidth> 16 </BlockWidth> <BlockHeight> 16 </BlockHeight> "
      "<DataPerBlock> 3 </DataPerBlock>";
  test::WriteFileBytes(broken, std::vector<uint8_t>(bad.begin(), bad.end()));

  ScopedCurrentFormat current(layout_);
  QPointer<CInfoOverlay> window = new CInfoOverlay;
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  {
    FileNameAnswers answers({QString::fromStdString(edited_), QString::fromStdString(broken.string()),
                             QString::fromStdString(overlay.string())});
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("browseVideo"))));
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("browseOverlay"))));
    EXPECT_EQ(recorder_.Entries().back().text, "DataPerBlock can only be 1 or 2!");
    EXPECT_EQ(recorder_.Entries().back().caption, "Error");
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("browseOverlay"))));
  }
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("start"))));
  ASSERT_TRUE(WaitUntil([&] {
    return !window->WorkerRunning() && Child<QPushButton>(window, QStringLiteral("start"))->isEnabled();
  }));
  EXPECT_EQ(Child<QSlider>(window, QStringLiteral("slider"))->maximum(), 2)
      << "the frames of data, not the video's ten";
  EXPECT_EQ(Child<QLineEdit>(window, QStringLiteral("frameNumber"))->text(), QStringLiteral("2"));
  const QImage shot = Child<PreviewArea>(window, QStringLiteral("preview"))->grab().toImage();
  EXPECT_EQ(shot.pixel(8, 7), qRgb(255, 255, 255)) << "the start pixel of block (0, 0)";
  EXPECT_EQ(shot.pixel(16 + 8, 16 + 7), qRgb(255, 255, 255)) << "and of block (1, 1)";
  ASSERT_TRUE(ClickAsUser(Child<QCheckBox>(window, QStringLiteral("overlay"))));
  EXPECT_NE(Child<PreviewArea>(window, QStringLiteral("preview"))->grab().toImage().pixel(8, 7),
            qRgb(255, 255, 255))
      << "the overlay switched off";
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("exit"))));
  ASSERT_TRUE(WaitUntil([&] { return window.isNull(); }));
}

// Two frames of one value per block for 64 x 48 in 16 x 16 blocks.
std::string ValueOverlay() {
  std::string text =
      "<TotalFrames> 2 </TotalFrames> <ImageWidth> 64 </ImageWidth> <ImageHeight> 48 </ImageHeight> "
      "<BlockWidth> 16 </BlockWidth> <BlockHeight> 16 </BlockHeight> <DataPerBlock> 1 </DataPerBlock> "
      "<DataMin> -127 </DataMin> <DataMax> 255 </DataMax> <Data>\n";
  for (int f = 0; f < 2; ++f) {
    text += "<Frame>";
    for (int i = 0; i < 12; ++i) text += " 5";
    text += " </Frame>\n";
  }
  return text;
}

// The grid colour (entry 9) for one test.
class ScopedGridColour {
 public:
  explicit ScopedGridColour(RgbColor colour) : saved_(CurrentSettings().OverlayData) {
    CurrentSettings().OverlayData[8].Color = colour;
  }
  ~ScopedGridColour() { CurrentSettings().OverlayData = saved_; }

 private:
  decltype(CurrentSettings().OverlayData) saved_;
};

TEST_F(OverlayWindow, TheBlockGridStaysWhileTheOverlaySwitchIsOff) {
  const std::string text = ValueOverlay();
  const auto overlay = dir_ / "values.txt";
  test::WriteFileBytes(overlay, std::vector<uint8_t>(text.begin(), text.end()));
  ScopedGridColour magenta({255, 0, 255});
  ScopedCurrentFormat current(layout_);
  QPointer<CInfoOverlay> window = new CInfoOverlay;
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  {
    FileNameAnswers answers({QString::fromStdString(edited_), QString::fromStdString(overlay.string())});
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("browseVideo"))));
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("browseOverlay"))));
  }
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("start"))));
  ASSERT_TRUE(WaitUntil([&] {
    return !window->WorkerRunning() && Child<QPushButton>(window, QStringLiteral("start"))->isEnabled();
  }));
  auto shot = [&] { return Child<PreviewArea>(window, QStringLiteral("preview"))->grab().toImage(); };
  const QRgb grid = qRgb(255, 0, 255);
  EXPECT_EQ(shot().pixel(16, 5), grid) << "a vertical line, the overlay on";
  ASSERT_TRUE(ClickAsUser(Child<QCheckBox>(window, QStringLiteral("overlay"))));
  ASSERT_FALSE(Child<QCheckBox>(window, QStringLiteral("overlay"))->isChecked());
  EXPECT_EQ(shot().pixel(16, 5), grid) << "the grid, the overlay off";
  EXPECT_EQ(shot().pixel(5, 15), grid) << "a horizontal line";
  EXPECT_NE(shot().pixel(5, 5), grid) << "the picture between the lines";
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("exit"))));
  ASSERT_TRUE(WaitUntil([&] { return window.isNull(); }));
}

TEST_F(OverlayWindow, StartOpensTheVideoBeforeReadingTheOverlay) {
  const std::string text = ValueOverlay();
  const auto overlay = dir_ / "values.txt";
  test::WriteFileBytes(overlay, std::vector<uint8_t>(text.begin(), text.end()));
  const auto video = dir_ / "gone_64x48.yuv";
  test::WriteFileBytes(video, bytes_);
  ScopedCurrentFormat current(layout_);
  QPointer<CInfoOverlay> window = new CInfoOverlay;
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  {
    FileNameAnswers answers(
        {QString::fromStdString(video.string()), QString::fromStdString(overlay.string())});
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("browseVideo"))));
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("browseOverlay"))));
  }
  std::filesystem::remove(video);  // gone between the choice and Start
  recorder_.Clear();
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("start"))));
  ASSERT_TRUE(WaitUntil([&] { return !recorder_.Texts().empty(); }));
  EXPECT_EQ(recorder_.Texts(),
            std::vector<std::string>{"Error OVLY1003: Input file " + video.string() + " not found\n"})
      << "the video's message alone, no warning about the overlay's frames";
  EXPECT_FALSE(window->WorkerRunning());
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("exit"))));
  ASSERT_TRUE(WaitUntil([&] { return window.isNull(); }));
}

}  // namespace
}  // namespace vx::test
