#include <gtest/gtest.h>

#include "analysis/MeasureSeries.h"

namespace vx {
namespace {

TEST(MeasureSeries, FramesInOrderAReplacedFrameAveragesAndTheWorstOfTheKeyCurve) {
  MeasureSeries series({"Y", "U", "V", "All"});
  EXPECT_TRUE(series.Empty());
  EXPECT_FALSE(series.Average(0));
  EXPECT_FALSE(series.Worst());
  EXPECT_FALSE(series.Extent());
  EXPECT_FALSE(series.NearestFrame(3));
  series.Add(5, {0.9, 0.8, 0.7, 0.85});
  series.Add(2, {0.5, 0.95, 0.9, 0.6});
  series.Add(9, {0.99, 0.4, 0.98, 0.6});  // All ties frame 2's: the first is the worst
  series.Add(5, {0.1, 0.8, 0.7, 0.95});   // frame 5 again: replaced, not added
  ASSERT_EQ(series.Points(0).size(), 3U);
  EXPECT_EQ(series.Points(0)[0].frame, 2);
  EXPECT_EQ(series.Points(0)[1].frame, 5);
  EXPECT_EQ(series.Points(0)[1].value, 0.1);
  EXPECT_EQ(series.Points(0)[2].frame, 9);
  EXPECT_DOUBLE_EQ(*series.Average(0), (0.5 + 0.1 + 0.99) / 3);
  EXPECT_DOUBLE_EQ(*series.Average(3), (0.6 + 0.95 + 0.6) / 3);
  ASSERT_TRUE(series.Worst());
  EXPECT_EQ(series.Worst()->frame, 2) << "the key curve is All, not Y";
  const auto extent = series.Extent();
  ASSERT_TRUE(extent);
  EXPECT_EQ(extent->low, 0.1);
  EXPECT_EQ(extent->high, 0.99);
  EXPECT_EQ(extent->first, 2);
  EXPECT_EQ(extent->last, 9);
  // The nearest frame with a point, either side; a tie goes to the earlier.
  EXPECT_EQ(series.NearestFrame(-100), 2);
  EXPECT_EQ(series.NearestFrame(3.4), 2);
  EXPECT_EQ(series.NearestFrame(3.5), 2);
  EXPECT_EQ(series.NearestFrame(3.6), 5);
  EXPECT_EQ(series.NearestFrame(8), 9);
  EXPECT_EQ(series.NearestFrame(1e9), 9);
}

TEST(MeasureSeries, FewerValuesThanCurvesLeaveTheRestWithoutPointsAndResetStartsOver) {
  MeasureSeries series;  // Y U V
  series.Add(1, {30.0});
  series.Add(2, {31.0, 40.0, 41.0, 99.0});
  EXPECT_EQ(series.Points(0).size(), 2U);
  EXPECT_EQ(series.Points(1).size(), 1U);
  EXPECT_EQ(series.Points(2).size(), 1U);
  EXPECT_EQ(series.Worst()->frame, 1) << "Y is the key curve of Y U V, not V";
  series.Reset({"Y", "U", "V", "All"});
  EXPECT_EQ(series.Curves(), 4U);
  EXPECT_TRUE(series.Empty());
}

}  // namespace
}  // namespace vx
