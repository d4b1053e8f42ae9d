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
    ASSERT_TRUE(ClickAsUser(window->videoBrowseButton()));
    ASSERT_TRUE(ClickAsUser(window->overlayBrowseButton()));
    EXPECT_EQ(recorder_.Entries().back().text, "DataPerBlock can only be 1 or 2!");
    EXPECT_EQ(recorder_.Entries().back().caption, "Error");
    ASSERT_TRUE(ClickAsUser(window->overlayBrowseButton()));
  }
  ASSERT_TRUE(ClickAsUser(window->startButton()));
  ASSERT_TRUE(WaitUntil([&] { return !window->WorkerRunning() && window->startButton()->isEnabled(); }));
  EXPECT_EQ(window->slider()->maximum(), 2) << "the frames of data, not the video's ten";
  EXPECT_EQ(window->frameNumberBox()->text(), QStringLiteral("2"));
  const QImage shot = window->preview()->grab().toImage();
  EXPECT_EQ(shot.pixel(8, 7), qRgb(255, 255, 255)) << "the start pixel of block (0, 0)";
  EXPECT_EQ(shot.pixel(16 + 8, 16 + 7), qRgb(255, 255, 255)) << "and of block (1, 1)";
  ASSERT_TRUE(ClickAsUser(window->overlayBox()));
  EXPECT_NE(window->preview()->grab().toImage().pixel(8, 7), qRgb(255, 255, 255))
      << "the overlay switched off";
  ASSERT_TRUE(ClickAsUser(window->exitButton()));
  ASSERT_TRUE(WaitUntil([&] { return window.isNull(); }));
}

}  // namespace
}  // namespace vx::test
