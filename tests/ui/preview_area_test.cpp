#include <gtest/gtest.h>

#include <QtTest/QTest>
#include <vector>

#include "UiTestSupport.h"
#include "ui/display/PreviewArea.h"

namespace vx::test {
namespace {

TEST(PreviewArea, ScrollsALargerPictureByTheLineStep) {
  QWidget dialog;
  dialog.resize(400, 300);
  auto* area = new PreviewArea(&dialog);
  area->setGeometryFor(QPoint(40, 40), QSize(200, 100));
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  const std::vector<uint8_t> yuv(400 * 300 * 3, 128);
  ASSERT_TRUE(area->showFrame(yuv.data(), yuv.size(), 400, 300, DrawOptions{}));
  EXPECT_TRUE(area->verticalBar()->isVisible());
  EXPECT_TRUE(area->horizontalBar()->isVisible());
  EXPECT_EQ(area->verticalBar()->geometry(), QRect(24, 40, 16, 100));
  EXPECT_EQ(area->horizontalBar()->geometry(), QRect(40, 24, 200, 16));
  area->verticalBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(area->verticalOffset(), (300 - 100 + 127) / 64);
  area->horizontalBar()->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(area->horizontalOffset(), 64 * ((400 - 200 + 127) / 64));
  area->repaint();  // the window reaches past the picture: drawn without reading outside it
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  EXPECT_FALSE(area->showFrame(yuv.data(), yuv.size(), 8193, 10, DrawOptions{}));
  EXPECT_EQ(recorder.Texts().size(), 1u);
}

}  // namespace
}  // namespace vx::test
