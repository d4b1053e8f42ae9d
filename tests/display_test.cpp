#include <gtest/gtest.h>

#include "PixelTestSupport.h"
#include "display/DisplayConvert.h"
#include "display/FormatLabel.h"
#include "display/GridOverlay.h"
#include "display/PreviewLayout.h"
#include "platform/MessageSink.h"

namespace vx {
namespace {

using test::PlainLayout;

TEST(FormatLabel, NamesSizesFieldsAndPacking) {
  struct Case {
    ImageFormat format;
    const char* label;
  } cases[] = {
      {PlainLayout(YUV_420, YUV, Progressive, Planar, 352, 288), "YUV 420  352x288 Progressive Planar"},
      {PlainLayout(YUV_422, UYV, Interlaced, Packed, 720, 576), "UYVY 422  720x576 Interlaced Packed"},
      {PlainLayout(YUV_422, YVU, Progressive, Packed, 8, 8), "YVYU 422  8x8 Progressive Packed"},
      {PlainLayout(YUV_422, YUV, Progressive, Packed, 8, 8), "YUYV 422  8x8 Progressive Packed"},
      {PlainLayout(YUV_422, UYV, Progressive, Planar, 8, 8), "UYV 422  8x8 Progressive Planar"},
      {PlainLayout(YUV_444, YVU, Progressive, Packed, 8, 8), "YVU 444  8x8 Progressive Packed"},
      {PlainLayout(YUV_420, YVU, Interlaced, Planar, 8, 8), "YVU 420  8x8 Interlaced Planar"},
      {PlainLayout(RGB_444, BGR, Progressive, Planar, 8, 8), "BGR 444  8x8 Progressive Planar"},
      {PlainLayout(MONO, UYV, Progressive, Planar, 8, 8), "Mono  8x8 Progressive Planar"},
      {PlainLayout(BMP, RGB, Progressive, Packed, 640, 480), "BMP  640x480"},
      {PlainLayout(YUV_420, UYV, Progressive, Planar, 8, 8), "invalid  8x8 Progressive Planar"},
      {PlainLayout(RGB_444, YUV, Progressive, Planar, 8, 8), "invalid  8x8 Progressive Planar"},
      {PlainLayout(9, YUV, 7, 3, 8, 8), "invalid  8x8 Invalid  Invalid "},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatLabel(c.format), c.label);
  EXPECT_EQ(FormatLabelWithFrames(cases[0].format, 12), "YUV 420  352x288 Progressive Planar, 12 frames");
}

// A display picture of one grey level, bottom-up, padded.
std::vector<uint8_t> Picture(int32_t w, int32_t h, uint8_t level) {
  return std::vector<uint8_t>(static_cast<size_t>(DisplayRowPitch(w, true) * h), level);
}

TEST(Grids, LinesAtBandEndsAndColumnMultiples) {
  const int32_t w = 352, h = 288;
  auto rows = Picture(w, h, 100);
  GridPair grids;
  grids.one = {1, 0, 8, 8, {255, 0, 0}};
  ASSERT_TRUE(DrawGrids(rows, w, h, grids));
  const int64_t pitch = DisplayRowPitch(w, true);
  auto pixel = [&](int x, int topRow) { return rows.data() + (h - 1 - topRow) * pitch + 3 * x; };
  int horizontal = 0, vertical = 0;
  for (int y = 0; y < h; ++y) horizontal += pixel(1, y)[2] == 255 && pixel(1, y)[0] == 0;
  for (int x = 0; x < w; ++x) vertical += pixel(x, 0)[2] == 255;
  EXPECT_EQ(horizontal, 35);
  EXPECT_EQ(pixel(1, 7)[2], 255);
  EXPECT_EQ(pixel(1, 279)[2], 255);
  EXPECT_EQ(pixel(1, 287)[2], 100) << "the last band has no line";
  EXPECT_EQ(vertical, 43);  // columns 8 .. 344
  EXPECT_EQ(pixel(8, 0)[2], 255);
  EXPECT_EQ(pixel(344, 0)[2], 255);
  EXPECT_EQ(pixel(0, 0)[2], 100);

  auto clear = Picture(w, h, 100);
  grids.one.Transparency = 100;
  ASSERT_TRUE(DrawGrids(clear, w, h, grids));
  EXPECT_EQ(clear, Picture(w, h, 100)) << "transparency 100 leaves the picture";
}

TEST(Grids, CrossingsBlendTwiceAndGridTwoLiesOnTop) {
  const int32_t w = 16, h = 16;
  auto rows = Picture(w, h, 0);
  GridPair grids;
  grids.one = {1, 50, 8, 8, {200, 200, 200}};
  grids.two = {1, 50, 8, 8, {200, 200, 200}};
  ASSERT_TRUE(DrawGrids(rows, w, h, grids));
  const int64_t pitch = DisplayRowPitch(w, true);
  auto at = [&](int x, int topRow) { return rows[static_cast<size_t>((h - 1 - topRow) * pitch + 3 * x)]; };
  EXPECT_EQ(at(3, 7), 150) << "two grids: 25% picture, 75% colour";
  EXPECT_EQ(at(8, 3), 150);
  EXPECT_EQ(at(8, 7), 188) << "a crossing is blended four times";
  EXPECT_EQ(at(3, 3), 0);

  // Columns beyond the picture are not drawn into the padding or the next row.
  const int32_t narrow = 5;
  auto small = Picture(narrow, 2, 0);
  GridPair columns;
  columns.one = {1, 0, 2, 64, {255, 255, 255}};
  ASSERT_TRUE(DrawGrids(small, narrow, 2, columns));
  EXPECT_EQ(small, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 255, 255, 255, 0, 0, 0, 255, 255, 255, 0,
                                         0, 0, 0, 0, 0, 0, 255, 255, 255, 0, 0, 0, 255, 255, 255, 0}));
  EXPECT_FALSE(DrawGrids(std::span(small).first(20), narrow, 2, columns));
}

TEST(DisplaySteps, SizeChecksAndCopyWindow) {
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  EXPECT_TRUE(CheckDisplaySize(8192, 5120));
  EXPECT_FALSE(CheckDisplaySize(8193, 100));
  EXPECT_FALSE(CheckDisplaySize(-1, 10));
  EXPECT_EQ(recorder.Texts(),
            (std::vector<std::string>{
                "Error DISP1002:  Image resolution (8193, 100) exceeds limit (8192, 5120) !\n",
                "Error DISP1001:  Image resolution can not be negative (-1, 10)!\n"}));

  const CopyWindow whole = DisplayWindow(100, 50, 100, 50, 0, 0);
  EXPECT_EQ(std::tie(whole.sourceX, whole.sourceY, whole.width, whole.height),
            std::make_tuple(0, 0, 100, 50));
  const CopyWindow lower = DisplayWindow(100, 80, 100, 50, 0, 10);
  EXPECT_EQ(std::tie(lower.sourceY, lower.height, lower.destinationY), std::make_tuple(10, 50, 0));
  const CopyWindow past = DisplayWindow(100, 50, 100, 50, 0, 10);  // offsets may pass the edge
  EXPECT_EQ(std::tie(past.sourceY, past.height), std::make_tuple(10, 40));
  const CopyWindow beyond = DisplayWindow(100, 50, 60, 50, 200, 0);
  EXPECT_TRUE(beyond.empty());
}

TEST(DisplaySteps, PrepareRowsUsesTheSharedBuffer) {
  const ColourTables tables = MakeColourTables(kItu601, kDefaultUserFormula);
  const std::vector<uint8_t> yuv(4 * 2 * 3, 128);
  auto rows = PrepareDisplayRows(tables, yuv, 4, 2, DrawOptions{.selector = kBoostY});
  ASSERT_TRUE(rows.has_value());
  EXPECT_EQ(rows->size(), 24u);
  EXPECT_EQ(SharedDisplayBuffer().size(), 4 * 2 * 4);
  const uint8_t* first = SharedDisplayBuffer().Ensure(4, 2).data();
  ASSERT_TRUE(PrepareDisplayRows(tables, yuv, 4, 2, DrawOptions{.selector = kBoostY}).has_value());
  EXPECT_EQ(SharedDisplayBuffer().Ensure(4, 2).data(), first) << "kept while the size stays";
}

TEST(PreviewLayout, SizesTheDialogAroundThePicture) {
  PreviewLayoutInput in;
  in.screenWidth = 1280;
  in.screenHeight = 800;
  in.originX = 12;
  in.originY = 150;
  in.controlWidth = 600;
  in.controlHeight = 200;
  in.imageWidth = 352;
  in.imageHeight = 288;
  PreviewLayoutResult out = LayoutPreview(in);
  EXPECT_EQ(out.visibleWidth, 352);
  EXPECT_EQ(out.visibleHeight, 288);
  EXPECT_EQ(out.originX, (600 - 352) / 2 + 28);
  EXPECT_EQ(out.controlWidth, 600);
  EXPECT_EQ(out.dialog, (Rect{0, 0, 652, 200 + 344}));
  EXPECT_FALSE(out.verticalBarShown);
  EXPECT_EQ(out.horizontalBar, (Rect{out.originX, 134, 352, 16}));

  in.imageWidth = 1920;
  in.imageHeight = 1080;
  in.step = 16;
  in.extraWidth = 100;
  out = LayoutPreview(in);
  EXPECT_EQ(out.visibleWidth, 1104);  // 1280 - 100 - 84 = 1096, up to a multiple of 16
  EXPECT_EQ(out.visibleHeight, 512);  // 800 - 200 - 88
  EXPECT_EQ(out.controlWidth, 1104 + 100);
  EXPECT_EQ(out.originX, 112);
  EXPECT_EQ(out.dialog, (Rect{0, 0, 1256, 200 + 512 + 24 > 544 ? 736 : 544}));
  EXPECT_TRUE(out.verticalBarShown);
  EXPECT_TRUE(out.horizontalBarShown);
  EXPECT_EQ(out.verticalBar, (Rect{96, 150, 16, 512}));
}

TEST(PreviewScrolling, StepsAndThumbRule) {
  // excess 1920 - 1104 = 816: line step 14, page step 103.
  struct Case {
    ScrollAction action;
    int32_t from, thumb, offset, position;
  } cases[] = {
      {ScrollAction::LineDown, 0, 0, 14, 1},        {ScrollAction::LineUp, 28, 0, 14, 1},
      {ScrollAction::PageDown, 0, 0, 103, 7},       {ScrollAction::PageUp, 103, 0, 0, 0},
      {ScrollAction::ThumbRelease, 0, 10, 148, 10}, {ScrollAction::Home, 500, 0, 0, 0},
      {ScrollAction::End, 0, 0, 896, 64},
  };
  for (const Case& c : cases) {
    const ScrollResult r = ApplyScroll(1920, 1104, c.from, c.action, c.thumb);
    EXPECT_TRUE(r.changed);
    EXPECT_EQ(r.offset, c.offset) << static_cast<int>(c.action);
    EXPECT_EQ(r.position, c.position) << static_cast<int>(c.action);
  }
  EXPECT_FALSE(ApplyScroll(1920, 1104, 30, ScrollAction::ThumbTrack, 5).changed);
  EXPECT_FALSE(ApplyScroll(0, 1104, 30, ScrollAction::LineDown).changed) << "no picture, nothing happens";
  EXPECT_EQ(ApplyScroll(100, 200, 0, ScrollAction::LineDown).position, 0)
      << "a zero line step divides nothing";
}

}  // namespace
}  // namespace vx

#include "image/PixelOps.h"

namespace vx {
namespace {

// The fused frame-to-screen path gives the bytes of ToCanonical444 followed by
// ConvertToDisplayRGB, for every layout, formula, row order and brightness.
TEST(DisplayConversion, FusedFramePathEqualsTheTwoSteps) {
  uint32_t seed = 1;
  for (const auto& [w, h] : {std::pair{18, 10}, std::pair{34, 14}, std::pair{6, 8}, std::pair{720, 486}}) {
    for (const ImageFormat& layout : test::ValidYuvLayouts(w, h)) {
      for (int32_t formula : {kItu601, kItu709, kUserDefinedFormula}) {
        if (w == 720 && formula != kItu601) continue;  // the broadcast size once is enough
        const ColourTables t = MakeColourTables(formula, kDefaultUserFormula);
        for (const auto& [bottomUp, brightness] : {std::pair{true, 0}, std::pair{false, 40}}) {
          test::TestFrame frame(layout, seed++), copy(layout, 0), canonical(layout, 0), scratch(layout, 0);
          std::copy(frame.frame.Data, frame.frame.Data + frame.frame.DataSize, copy.frame.Data);
          const size_t bytes = static_cast<size_t>(DisplayRowPitch(w, true) * h);
          std::vector<uint8_t> fused(bytes, 0xEE), twoSteps(bytes, 0x11);  // unwritten bytes differ
          ASSERT_TRUE(FrameToDisplayRGB(
              t, frame.frame, scratch.frame, fused,
              DisplayRowsOptions{
                  .bottomUp = bottomUp, .brightness = brightness, .selector = kBoostY, .padRows = true}));
          ASSERT_TRUE(ToCanonical444(copy.frame, canonical.frame));
          ASSERT_TRUE(ConvertToDisplayRGB(
              t, std::span<const uint8_t>(canonical.frame.Data, canonical.frame.DataSize), twoSteps, w, h,
              DisplayRowsOptions{
                  .bottomUp = bottomUp, .brightness = brightness, .selector = kBoostY, .padRows = true}));
          ASSERT_EQ(fused, twoSteps) << test::Describe(layout) << " formula " << formula;
        }
      }
    }
  }
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

TEST(DisplayRows, PicturesConvertedInBandsAndHalvesGiveTheSameRows) {
  // 640 x 481: above the size that splits the work, an odd height, a boost; 61 x 45:
  // one thread, bands of rows not a multiple of the band height.
  const ColourTables tables = MakeColourTables(kItu709, kDefaultUserFormula);
  for (const auto [w, h, brightness] : {std::tuple{640, 481, 0}, {640, 481, 40}, {61, 45, 0}, {61, 45, 40}}) {
    const std::vector<uint8_t> yuv = test::RandomBytes(size_t{3} * w * h, 77);
    std::vector<uint8_t> whole(static_cast<size_t>(DisplayRowPitch(w, true) * h), 1);
    ASSERT_TRUE(ConvertToDisplayRGB(
        tables, yuv, whole, w, h,
        DisplayRowsOptions{
            .bottomUp = true, .brightness = brightness, .selector = kBoostU, .padRows = true}));
    std::vector<uint8_t> halves;
    ASSERT_TRUE(PrepareDisplayRowsInto(tables, yuv, w, h,
                                       DrawOptions{.brightness = brightness, .selector = kBoostU}, halves));
    EXPECT_EQ(halves, whole) << w << " x " << h << ", brightness " << brightness;
    // Grids blended by each half into its own rows; lines on either side of the split (row 240).
    GridPair grids;
    grids.one = {1, 30, 7, 5, {10, 200, 30}};
    grids.two = {1, 60, 16, 16, {250, 0, 90}};
    ASSERT_TRUE(DrawGrids(whole, w, h, grids));
    ASSERT_TRUE(PrepareDisplayRowsInto(
        tables, yuv, w, h, DrawOptions{.brightness = brightness, .selector = kBoostU, .grids = &grids},
        halves));
    EXPECT_EQ(halves, whole) << w << " x " << h << ", grids, brightness " << brightness;
  }
}

TEST(Grids, RowRangesDrawnApartEqualTheWholePicture) {
  const int32_t w = 37, h = 50;
  const std::vector<uint8_t> picture =
      test::RandomBytes(static_cast<size_t>(DisplayRowPitch(w, true) * h), 5);
  GridPair grids;
  grids.one = {1, 20, 4, 8, {255, 10, 0}};
  grids.two = {1, 45, 5, 7, {0, 90, 255}};
  auto whole = picture;
  ASSERT_TRUE(DrawGrids(whole, w, h, grids));
  for (const int64_t split : {0, 1, 6, 7, 8, 13, 14, 25, 49, 50}) {
    auto parts = picture;
    ASSERT_TRUE(DrawGrids(parts, w, h, grids, PictureRows{split, h}));
    ASSERT_TRUE(DrawGrids(parts, w, h, grids, PictureRows{0, split}));
    EXPECT_EQ(parts, whole) << "split at row " << split;
  }
  auto outside = picture;
  ASSERT_TRUE(DrawGrids(outside, w, h, grids, PictureRows{-5, 0}));
  ASSERT_TRUE(DrawGrids(outside, w, h, grids, PictureRows{h, h + 9}));
  EXPECT_EQ(outside, picture) << "ranges outside the picture draw nothing";
}

}  // namespace
}  // namespace vx
