#include <gtest/gtest.h>

#include <QtTest/QTest>
#include <algorithm>

#include "UiTestSupport.h"
#include "analysis/Compare.h"
#include "image/ColorFormula.h"
#include "ui/analysis/HistogramDialogs.h"

namespace vx::test {
namespace {

TEST(HistogramWindows, ValueBarsAndTheChartDrivenByItsButtons) {
  // A difference of 7 everywhere except the eighth columns, which differ by 20.
  const ImageFormat layout = test::Layout(YUV_444, YUV, Progressive, Planar, 64, 32);
  FrameBuffer a, b;
  ASSERT_TRUE(a.Allocate(WorkBufferSize(64, 32)) && b.Allocate(WorkBufferSize(64, 32)));
  FrameImage one = a.Frame(layout), two = b.Frame(layout);
  std::fill(one.Data, one.Data + one.DataSize, 100);
  std::fill(two.Data, two.Data + two.DataSize, 100);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) two.Data[y * 64 + x] = x % 8 == 7 ? 120 : 107;
  FrameDifference difference;
  ASSERT_TRUE(difference.Build(*CurrentColourTables(), one, two, 3));

  CYUVDiffValueHistogram values(difference.DifferencePicture());
  EXPECT_EQ(values.windowTitle(), QStringLiteral("Diagram of YUV difference value distribution"));
  EXPECT_EQ(values.bars()[7], 200);
  EXPECT_EQ(values.bars()[20], 200 / 7) << "one column in eight: 256 of 1792";

  CYUVDiffPositionDistribution chart(difference.DifferencePicture(), difference.FirstPicture(),
                                     difference.SecondPicture());
  chart.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
  ASSERT_TRUE(chart.valid());
  EXPECT_EQ(chart.cells().bars[0][7], 200) << "block 8: the eighth column stands out";
  EXPECT_LT(chart.cells().bars[0][0], 200);
  EXPECT_FALSE(chart.imageButton(1)->isEnabled()) << "no base picture in the folded mode";
  ASSERT_TRUE(ClickAsUser(chart.blockButton(true)));
  EXPECT_EQ(chart.blockBox()->text(), QStringLiteral("9"));
  ASSERT_TRUE(ClickAsUser(chart.blockButton(false)));
  // Tilt 75 raised three times reaches 90 and stays there.
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(ClickAsUser(chart.rotateButton(0)));
  EXPECT_EQ(chart.view().tilt, 90);
  // The whole picture, standing on image 1.
  ASSERT_TRUE(ClickAsUser(chart.modeButton(0)));
  EXPECT_TRUE(chart.imageButton(1)->isEnabled());
  EXPECT_FALSE(chart.blockSlider()->isEnabled());
  ASSERT_TRUE(ClickAsUser(chart.imageButton(1)));
  EXPECT_EQ(chart.cells().columns, 32);
  EXPECT_EQ(chart.cells().rows, 16);
}

}  // namespace
}  // namespace vx::test
