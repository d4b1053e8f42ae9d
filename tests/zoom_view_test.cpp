// Magnifying and scrolling a preview's picture.
#include <gtest/gtest.h>

#include "display/ZoomView.h"

namespace vx {
namespace {

ZoomView View(int32_t w, int32_t h, int32_t vw, int32_t vh) {
  ZoomView v;
  v.SetPicture(w, h);
  v.SetViewport(vw, vh);
  return v;
}

TEST(ZoomView, ZoomKeepsThePicturePointUnderTheAnchor) {
  ZoomView v = View(352, 288, 300, 200);
  EXPECT_EQ(v.factor(), 1);
  v.SetOffsets(10, 20);
  const PicturePoint under = *v.PictureAt(123, 77);
  EXPECT_EQ(under, (PicturePoint{133, 97}));
  for (int32_t expected : {2, 4, 8, 16, 32}) {
    v.ZoomIn(123, 77);
    EXPECT_EQ(v.factor(), expected);
    EXPECT_EQ(v.PictureAt(123, 77), under) << expected;
  }
  v.ZoomIn(123, 77);
  EXPECT_EQ(v.factor(), 32) << "32x is the most";
  for (int32_t expected : {16, 8, 4, 2}) {
    v.ZoomOut(123, 77);
    EXPECT_EQ(v.factor(), expected);
    EXPECT_EQ(v.PictureAt(123, 77), under) << expected;
  }
  EXPECT_EQ(v.offsetX(), 2 * 133 + 1 - 123 - 1);  // 133.x picture x at 2x: (10 + 123) * 2 - 123
  // Below 1:1 comes the fit, as the picture is larger than the preview.
  v.ZoomOut(0, 0);
  v.ZoomOut(0, 0);
  EXPECT_TRUE(v.fit());
  EXPECT_DOUBLE_EQ(v.scale(), 200.0 / 288);
  EXPECT_EQ(v.offsetX(), 0);
  v.ZoomIn(0, 0);
  EXPECT_EQ(v.factor(), 1);
}

TEST(ZoomView, FitAndOneToOneOfASmallPicture) {
  ZoomView v = View(64, 48, 300, 200);
  v.ZoomOut(5, 5);
  EXPECT_FALSE(v.fit()) << "a picture seen whole at 1:1 has no smaller fit";
  v.Fit();
  EXPECT_DOUBLE_EQ(v.scale(), 200.0 / 48);
  EXPECT_EQ(v.shownWidth(), 266);
  EXPECT_EQ(v.shownHeight(), 200);
  EXPECT_EQ(v.PictureAt(265, 199), (PicturePoint{63, 47}));
  EXPECT_FALSE(v.PictureAt(266, 0));
  v.ZoomIn(0, 0);
  EXPECT_EQ(v.factor(), 8) << "the next power of two above the fit's 4.17";
}

TEST(ZoomView, OffsetsStayInsideAndTheVisiblePixelsCoverTheViewport) {
  ZoomView v = View(100, 50, 64, 40);
  v.SetFactor(4, 0, 0);
  v.PanBy(1000, 1000);
  EXPECT_EQ(v.offsetX(), 400 - 64);
  EXPECT_EQ(v.offsetY(), 200 - 40);
  v.PanBy(-5000, 3);
  EXPECT_EQ(v.offsetX(), 0);
  v.SetOffsets(6, 2);
  const ZoomView::Drawn d = v.Visible();
  // Pixel 1 starts 2 screen pixels left of the viewport; pixel 17 ends past its right edge.
  EXPECT_EQ(d.source, (Rect{1, 0, 17, 11}));
  EXPECT_EQ(d.destination, (Rect{-2, -2, 68, 44}));
  EXPECT_EQ(v.ToViewport(Rect{8, 8, 8, 8}), (Rect{26, 30, 32, 32}));
  EXPECT_EQ(v.PictureAt(0, 0), (PicturePoint{1, 0}));
  EXPECT_EQ(v.PictureAt(63, 39), (PicturePoint{17, 10}));
  EXPECT_FALSE(v.PictureAt(64, 0));
  EXPECT_FALSE(v.PictureAt(-1, 0));
  // A smaller picture keeps the zoom, its offsets brought back inside.
  v.SetOffsets(100, 60);
  v.SetPicture(20, 12);
  EXPECT_EQ(v.factor(), 4);
  EXPECT_EQ(v.offsetX(), 80 - 64);
  EXPECT_EQ(v.offsetY(), 48 - 40);
  // A scroll bar's last step may go past the end, not past the last pixel.
  v.ScrollTo(79, 500);
  EXPECT_EQ(v.offsetX(), 79);
  EXPECT_EQ(v.offsetY(), 47);
  EXPECT_EQ(v.Visible().source, (Rect{19, 11, 1, 1}));
  v.SetPicture(0, 0);
  EXPECT_TRUE(v.Visible().empty());
  EXPECT_FALSE(v.PictureAt(0, 0));
}

}  // namespace
}  // namespace vx
