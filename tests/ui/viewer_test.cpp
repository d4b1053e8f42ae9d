// The playing windows as a viewer for pixel work: zoom at the pointer, the
// samples under it, and the keys, used as a person uses them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QWheelEvent>
#include <QtTest/QTest>
#include <set>
#include <string>
#include <vector>

#include "PlayerFixture.h"
#include "UiTestSupport.h"
#include "model/Settings.h"
#include "ui/display/PreviewArea.h"
#include "ui/player/VideoPlayer.h"

namespace vx::test {
namespace {

constexpr int kW = 64, kH = 48;

class Viewer : public PlayerFixture {
 protected:
  void Open(const std::string& name, const std::vector<uint8_t>& bytes, const ImageFormat& format) {
    const std::string path = (dir_ / name).string();
    WriteFileBytes(path, bytes);
    player_->ChooseFiles({QString::fromStdString(path)}, &format);
    player_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(player_));
  }
  PreviewArea* Preview() const { return Child<PreviewArea>(player_, QStringLiteral("preview")); }
  QString Status() const { return Child<QLabel>(player_, QStringLiteral("pixelValues"))->text(); }
  // The pointer moved over the preview at `at`, as a person moves it there.
  testing::AssertionResult PointAt(QPoint at) const {
    if (!TakesItsOwnClick(Preview(), at))
      return testing::AssertionFailure() << "the preview is covered there";
    QTest::mouseMove(Preview(), at);
    QApplication::processEvents();
    return testing::AssertionSuccess();
  }
  // One notch of the wheel with Ctrl held, at `at` of the preview.
  testing::AssertionResult CtrlWheel(QPoint at, int notches) const {
    QWidget* window = Preview()->window();
    const QPoint onWindow = Preview()->mapTo(window, at);
    QWidget* hit = window->childAt(onWindow);
    if (hit != Preview()) return testing::AssertionFailure() << "the wheel would reach another widget";
    QWheelEvent wheel(QPointF(at), QPointF(Preview()->mapToGlobal(at)), QPoint(), QPoint(0, 120 * notches),
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(hit, &wheel);
    return testing::AssertionSuccess();
  }
};

uint8_t LumaOf(int x, int y) {
  return static_cast<uint8_t>(x + 3 * y);
}

// One 4:2:0 frame: Y = x + 3y, U = 100 + chroma column, V = 200 - chroma row.
std::vector<uint8_t> I420Frame() {
  std::vector<uint8_t> bytes;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) bytes.push_back(LumaOf(x, y));
  for (int y = 0; y < kH / 2; ++y)
    for (int x = 0; x < kW / 2; ++x) bytes.push_back(static_cast<uint8_t>(100 + x));
  for (int y = 0; y < kH / 2; ++y)
    for (int x = 0; x < kW / 2; ++x) bytes.push_back(static_cast<uint8_t>(200 - y));
  return bytes;
}

TEST_F(Viewer, TheStatusNamesTheSamplesUnderThePointerAndTheSmallPictureGrowsWithTheZoom) {
  Open("clip.yuv", I420Frame(), I420Format(kW, kH));
  const QPoint at(31, 21);
  ASSERT_TRUE(PointAt(at));
  EXPECT_TRUE(Status().startsWith(
      QStringLiteral("x 31  y 21  Y %1  U 115  V 190 (chroma 15, 10)   shown RGB ").arg(LumaOf(31, 21))))
      << Status().toStdString();
  EXPECT_EQ(Preview()->size(), QSize(kW, kH));
  QTest::keyClick(player_, Qt::Key_Plus);
  QTest::keyClick(player_, Qt::Key_Plus);
  EXPECT_EQ(Preview()->zoom().factor(), 4);
  EXPECT_EQ(Preview()->size(), QSize(4 * kW, 4 * kH)) << "the preview grows with the zoom";
  ASSERT_TRUE(PointAt(QPoint(4 * 63 + 2, 4 * 47 + 2)));
  EXPECT_TRUE(Status().startsWith(QStringLiteral("x 63  y 47  Y %1  U 131  V 177").arg(LumaOf(63, 47))))
      << Status().toStdString();
  // 1 shows it 1:1 again; stepping frames keeps the zoom.
  QTest::keyClick(player_, Qt::Key_1);
  EXPECT_EQ(Preview()->size(), QSize(kW, kH));
  QTest::keyClick(player_, Qt::Key_Plus);
  QTest::keyClick(player_, Qt::Key_Right);
  WaitFor(1);
  EXPECT_EQ(Preview()->zoom().factor(), 2);
}

TEST_F(Viewer, WheelZoomKeepsThePointUnderThePointer) {
  // A picture larger than the screen: the preview takes the screen and scrolls.
  const int w = 1920, h = 1080;
  std::vector<uint8_t> bytes(static_cast<size_t>(w) * h * 3 / 2, 128);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) bytes[static_cast<size_t>(y) * w + x] = LumaOf(x, y);
  Open("big.yuv", bytes, I420Format(w, h));
  const QSize before = Preview()->size();
  const QPoint at(before.width() / 3, before.height() / 2);
  const QPoint pixel = *Preview()->PixelAt(at);
  for (const int factor : {2, 4, 8, 16}) {
    ASSERT_TRUE(CtrlWheel(at, 1));
    EXPECT_EQ(Preview()->zoom().factor(), factor);
    EXPECT_EQ(Preview()->PixelAt(at), pixel) << "at " << factor << "x";
  }
  // At 16x each pixel shows its luma inside it: the cell under the pointer holds
  // the text's pixels besides the pixel's own colour.
  const QImage drawn = Preview()->grab().toImage();
  const Rect cell = Preview()->zoom().ToViewport({pixel.x(), pixel.y(), 1, 1});
  std::set<QRgb> colours;
  for (int y = std::max(cell.y, 0); y < cell.y + cell.height; ++y)
    for (int x = std::max(cell.x, 0); x < cell.x + cell.width; ++x) colours.insert(drawn.pixel(x, y));
  EXPECT_GT(colours.size(), 1u) << "no text drawn in the pixel";
  ASSERT_TRUE(PointAt(at));
  EXPECT_TRUE(Status().startsWith(QStringLiteral("x %1  y %2  Y %3  U 128  V 128")
                                      .arg(pixel.x())
                                      .arg(pixel.y())
                                      .arg(LumaOf(pixel.x(), pixel.y()))))
      << Status().toStdString();
  ASSERT_TRUE(CtrlWheel(at, -1));
  EXPECT_EQ(Preview()->zoom().factor(), 8);
  EXPECT_EQ(Preview()->PixelAt(at), pixel);
  // 0 fits the whole picture into the preview.
  QTest::keyClick(player_, Qt::Key_0);
  EXPECT_TRUE(Preview()->zoom().fit());
  EXPECT_EQ(Preview()->PixelAt(QPoint(0, 0)), QPoint(0, 0));
  EXPECT_LE(Preview()->zoom().shownWidth(), Preview()->width());
  EXPECT_LE(Preview()->zoom().shownHeight(), Preview()->height());
}

TEST_F(Viewer, TheStatusGivesUyvyAndBgrSamplesAsStored) {
  // UYVY: U Y0 V Y1 groups; pixel 3 of row 1 is Y1 of the second group.
  std::vector<uint8_t> uyvy;
  for (int y = 0; y < kH; ++y)
    for (int g = 0; g < kW / 2; ++g)
      uyvy.insert(uyvy.end(), {static_cast<uint8_t>(10 + g), static_cast<uint8_t>(2 * g + y),
                               static_cast<uint8_t>(90 + y), static_cast<uint8_t>(2 * g + y + 1)});
  Open("clip.uyvy", uyvy, PlainLayout(YUV_422, UYV, Progressive, Packed, kW, kH));
  ASSERT_TRUE(PointAt(QPoint(3, 1)));
  EXPECT_TRUE(Status().startsWith(QStringLiteral("x 3  y 1  Y 4  U 11  V 91 (chroma 1, 1)")))
      << Status().toStdString();

  // B G R bytes: the status names them R G B, and the colour shown is theirs.
  std::vector<uint8_t> bgr;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      bgr.insert(bgr.end(), {static_cast<uint8_t>(x), static_cast<uint8_t>(y), 200});
  Open("clip.bgr", bgr, PlainLayout(RGB_444, BGR, Progressive, Packed, kW, kH));
  ASSERT_TRUE(PointAt(QPoint(5, 7)));
  // Shown through the display's YUV step, which rounds.
  EXPECT_EQ(Status(), QStringLiteral("x 5  y 7  R 200  G 7  B 5   shown RGB 201 8 5"));
  Preview()->zoomIn(QPoint(0, 0));
  Preview()->zoomIn(QPoint(0, 0));
  ASSERT_TRUE(PointAt(QPoint(4 * kW - 1, 4 * 7)));
  EXPECT_TRUE(Status().startsWith(QStringLiteral("x 63  y 7  R 200  G 7  B 63"))) << Status().toStdString();
}

TEST_F(Viewer, KeysActWhileTheBrowseButtonHasTheFocus) {
  const ImageFormat f = I420Format();
  player_->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "numbered.yuv", 30))}, &f);
  player_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(player_));
  auto* browse = Child<QPushButton>(player_, QStringLiteral("browse"));
  browse->setFocus();
  ASSERT_TRUE(browse->hasFocus());
  FileNameAnswers pickers;  // a Browse click would ask for a file
  QTest::keyClick(browse, Qt::Key_Space);
  ASSERT_TRUE(WaitUntil([&] { return frames_.size() >= 3; })) << "Space plays";
  QTest::keyClick(browse, Qt::Key_Space);
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Loop().State() == PlayState::Paused; }));
  EXPECT_TRUE(pickers.asked.empty()) << "Space pressed the button";
  QTest::keyClick(browse, Qt::Key_Home);
  WaitFor(1);
  QTest::keyClick(browse, Qt::Key_Right);
  WaitFor(2);
  QTest::keyClick(browse, Qt::Key_Right, Qt::ShiftModifier);
  WaitFor(12);
  QTest::keyClick(browse, Qt::Key_Left);
  WaitFor(11);
  QTest::keyClick(browse, Qt::Key_End);
  WaitFor(30);
  QTest::keyClick(browse, Qt::Key_Right, Qt::ShiftModifier);
  QTest::qWait(50);
  EXPECT_EQ(frames_.back(), 30) << "no frame past the last";
  // Ctrl+G goes to the frame box; a number and Return go to that frame.
  QTest::keyClick(browse, Qt::Key_G, Qt::ControlModifier);
  auto* box = Child<QLineEdit>(player_, QStringLiteral("frameNumber"));
  ASSERT_TRUE(box->hasFocus());
  QTest::keyClicks(box, QStringLiteral("7"));
  QTest::keyClick(box, Qt::Key_Return);
  WaitFor(7);
  EXPECT_TRUE(pickers.asked.empty());
}

}  // namespace
}  // namespace vx::test
