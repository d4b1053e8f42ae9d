#include "analysis/Compare.h"

#include <gtest/gtest.h>

#include "PixelTestSupport.h"
#include "TestSupport.h"
#include "analysis/Histograms.h"
#include "analysis/Motion.h"
#include "image/ColorFormula.h"
#include "image/PixelOps.h"
#include "platform/StringFormat.h"

namespace vx {
namespace {

struct Frame {
  explicit Frame(const ImageFormat& layout, uint8_t fill) {
    EXPECT_TRUE(buffer.Allocate(WorkBufferSize(layout.ImgWidth, layout.ImgHeight)));
    image = buffer.Frame(layout);
    std::fill(image.Data, image.Data + image.DataSize, fill);
  }
  FrameBuffer buffer;
  FrameImage image;
};

struct Shown {
  explicit Shown(int w, int h) {
    EXPECT_TRUE(buffer.Allocate(WorkBufferSize(w, h)));
    image = buffer.Frame(ImageFormat{});
  }
  std::array<uint8_t, 3> Pixel(int i) const {
    return {image.Data[3 * i], image.Data[3 * i + 1], image.Data[3 * i + 2]};
  }
  FrameBuffer buffer;
  FrameImage image;
};

TEST(Compare, IdenticalFramesGive100AndABlackDifference) {
  const ImageFormat layout = test::Layout(YUV_420, YVU, Progressive, Planar, 16, 8);
  Frame a(layout, 90), b(layout, 90);
  FrameDifference difference;
  ASSERT_TRUE(difference.Build(*CurrentColourTables(), a.image, b.image, 3));
  EXPECT_EQ(PsnrBoxText(layout, difference.Psnr()), "Y :100.0000     V :100.0000   U :100.0000");
  Shown shown(16, 8);
  ASSERT_TRUE(difference.Paint(*CurrentColourTables(), CompareDisplay{}, shown.image));
  for (int i = 0; i < 16 * 8; ++i) ASSERT_EQ(shown.Pixel(i), (std::array<uint8_t, 3>{0, 128, 128})) << i;
  EXPECT_EQ(PsnrBoxText(test::Layout(YUV_422, UYV, Progressive, Packed, 16, 8), {1, 2, 3}),
            "U :1.0000     Y :2.0000   V :3.0000");
  EXPECT_EQ(PsnrBoxText(test::Layout(RGB_444, BGR, Progressive, Packed, 16, 8), {1, 2, 3}),
            "B :1.0000     G :2.0000   R :3.0000");
}

TEST(Compare, TheSadRangePaintsItsBoundsAndKeepsTheBackground) {
  // Luma differences 63, 64, 128 and 129 in the first four pixels.
  const ImageFormat layout = test::Layout(YUV_444, YUV, Progressive, Planar, 4, 2);
  Frame a(layout, 0), b(layout, 0);
  const uint8_t differences[] = {63, 64, 128, 129};
  for (int i = 0; i < 4; ++i) b.image.Data[i] = differences[i];
  FrameDifference difference;
  ASSERT_TRUE(difference.Build(*CurrentColourTables(), a.image, b.image, 3));
  CompareDisplay options;
  options.displayMode = 1;
  options.colour = {255, 0, 0};
  Yuv8 red{};
  RgbToYuvPixel(CurrentColourTables()->formula, {}, 255, 0, 0, red);
  const std::array<uint8_t, 3> painted = {red.y, red.u, red.v}, black = {0, 128, 128};
  Shown shown(4, 2);
  ASSERT_TRUE(difference.Paint(*CurrentColourTables(), options, shown.image));
  EXPECT_EQ(shown.Pixel(0), black);
  EXPECT_EQ(shown.Pixel(1), painted);
  EXPECT_EQ(shown.Pixel(2), painted);
  EXPECT_EQ(shown.Pixel(3), black);
  // Over file 2: the pixels outside the range show file 2's picture.
  options.background = 2;
  ASSERT_TRUE(difference.Paint(*CurrentColourTables(), options, shown.image));
  EXPECT_EQ(shown.Pixel(3), (std::array<uint8_t, 3>{129, 0, 0})) << "file 2's Y 129, U 0, V 0";
  EXPECT_EQ(shown.Pixel(5), (std::array<uint8_t, 3>{0, 0, 0}));
  options.background = 1;
  ASSERT_TRUE(difference.Paint(*CurrentColourTables(), options, shown.image));
  EXPECT_EQ(shown.Pixel(3), (std::array<uint8_t, 3>{0, 0, 0})) << "file 1's pixel";
}

TEST(Compare, OneComponentAndRgbSources) {
  // 4:2:0, V only: the difference shows the V difference as grey, U and Y ignored.
  const ImageFormat i420 = test::Layout(YUV_420, YUV, Progressive, Planar, 4, 2);
  Frame a(i420, 50), b(i420, 50);
  b.image.Data[8 + 2 + 1] = 70;  // the second V sample
  b.image.Data[0] = 99;          // a luma difference the V view does not show
  FrameDifference difference;
  ASSERT_TRUE(difference.Build(*CurrentColourTables(), a.image, b.image, 2));
  EXPECT_EQ(difference.Psnr()[1], 100.0) << "U unchanged";
  const FrameImage& picture = difference.DifferencePicture();
  EXPECT_EQ(picture.Data[3 * 2], 20) << "pixel (2, 0) lies under the second chroma sample";
  EXPECT_EQ(picture.Data[0], 0);

  // B, G, R pixels; "R" (selector 0) is the stored third byte.
  const ImageFormat bgr = test::Layout(RGB_444, BGR, Progressive, Packed, 2, 1);
  Frame c(bgr, 10), d(bgr, 10);
  d.image.Data[2] = 110;  // R of pixel 0
  d.image.Data[3] = 60;   // B of pixel 1
  ASSERT_TRUE(difference.Build(*CurrentColourTables(), c.image, d.image, 0));
  EXPECT_EQ(difference.DifferencePicture().Data[0], 100);
  EXPECT_EQ(difference.DifferencePicture().Data[3], 0) << "a blue difference is not red";
  CompareDisplay range;
  range.displayMode = 1;
  range.low = 100;
  range.high = 100;
  Shown shown(2, 1);
  ASSERT_TRUE(difference.Paint(*CurrentColourTables(), range, shown.image));
  EXPECT_NE(shown.Pixel(0), (std::array<uint8_t, 3>{0, 128, 128}));
  EXPECT_EQ(shown.Pixel(1), (std::array<uint8_t, 3>{0, 128, 128}));
  // All three: the sum of the channel differences.
  ASSERT_TRUE(difference.Build(*CurrentColourTables(), c.image, d.image, 3));
  EXPECT_EQ(difference.DifferencePicture().Data[3], 50);
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

FrameImage DifferencePicture(FrameBuffer& buffer, int w, int h) {
  EXPECT_TRUE(buffer.Allocate(WorkBufferSize(w, h)));
  FrameImage picture = buffer.Frame(ImageFormat{});
  SetCanonicalHeader(picture, w, h);
  for (int64_t i = 0; i < int64_t{w} * h; ++i) {
    picture.Data[3 * i] = 0;
    picture.Data[3 * i + 1] = picture.Data[3 * i + 2] = 128;
  }
  return picture;
}

TEST(Histograms, ValueBarsCellsAndTheView) {
  FrameBuffer buffer;
  FrameImage constant = DifferencePicture(buffer, 16, 16);
  for (int i = 0; i < 256; ++i) constant.Data[3 * i] = 7;
  const auto bars = ValueBars(constant);
  EXPECT_EQ(bars[7], 200);
  EXPECT_EQ(std::count(bars.begin(), bars.end(), 0), 255) << "one bar only";
  EXPECT_EQ(ValueBars(DifferencePicture(buffer, 4, 4))[0], 200) << "all zero: one bar at 0";

  // Differences on every eighth column, folded onto 8 x 8 blocks: one column of bars.
  FrameImage columns = DifferencePicture(buffer, 64, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 5; x < 64; x += 8) columns.Data[3 * (y * 64 + x)] = 3;
  CellBars cells;
  ASSERT_TRUE(MakeCellBars(columns, 1, 8, 200, cells));
  for (int r = 0; r < 8; ++r) {
    for (int c = 0; c < 8; ++c)
      EXPECT_EQ(cells.bars[static_cast<size_t>(r)][static_cast<size_t>(c)], c == 5 ? 200 : 0);
  }
  // A 1920 x 1080 picture in mode 0: cells of 60 pixels, 32 x 18 of them.
  FrameBuffer large;
  ASSERT_TRUE(MakeCellBars(DifferencePicture(large, 1920, 1080), 0, 8, 200, cells));
  EXPECT_EQ(cells.cellSize, 60);
  EXPECT_EQ(cells.columns, 32);
  EXPECT_EQ(cells.rows, 18);

  ChartView view;
  view.tilt = 85;
  EXPECT_TRUE(view.RaiseTilt());
  EXPECT_EQ(view.tilt, 90);
  EXPECT_EQ(view.originY, 295);
  EXPECT_FALSE(view.RaiseTilt()) << "at 90 it stops";
  view.turn = 5;
  EXPECT_TRUE(view.LowerTurn());
  EXPECT_FALSE(view.LowerTurn());
  // Seen from the side (tilt 90), height goes up the screen; from above (0) it vanishes.
  view = ChartView{};
  view.tilt = 90;
  EXPECT_LT(Project(view, 160, 160, 100).y, Project(view, 160, 160, 0).y);
  view.tilt = 0;
  EXPECT_NEAR(Project(view, 160, 160, 100).y, Project(view, 160, 160, 0).y, 1e-9);
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

TEST(MotionCheck, SelectionsInvertAndMovedBlocksLeaveMidGrey) {
  BlockSelection selection;
  selection.Reset(32, 16);
  EXPECT_EQ(selection.columns(), 4);
  selection.InvertRectangle(1, 1, 0, 0);
  EXPECT_TRUE(selection.Selected(1, 1) && selection.Selected(0, 0));
  selection.InvertRectangle(0, 0, 1, 1);
  EXPECT_FALSE(selection.Any()) << "the same rectangle twice deselects it";
  selection.Reverse();
  EXPECT_TRUE(selection.Selected(3, 1));
  selection.SelectNone();

  for (const ImageFormat& layout : {test::Layout(YUV_444, YUV, Progressive, Planar, 32, 16),
                                    test::Layout(YUV_422, UYV, Progressive, Packed, 32, 16),
                                    test::Layout(YUV_420, YVU, Progressive, Planar, 32, 16),
                                    test::Layout(YUV_422, YUV, Interlaced, Planar, 32, 16),
                                    test::Layout(RGB_444, BGR, Progressive, Packed, 32, 16)}) {
    FrameBuffer a, b;
    ASSERT_TRUE(a.Allocate(WorkBufferSize(32, 16)) && b.Allocate(WorkBufferSize(32, 16)));
    FrameImage unedited = a.Frame(layout), edited = b.Frame(layout);
    const auto bytes = test::RandomBytes(static_cast<size_t>(unedited.DataSize), 5);
    std::copy(bytes.begin(), bytes.end(), unedited.Data);
    selection.SelectNone();
    selection.InvertRectangle(0, 0, 1, 1);
    // Right twice with step 4: (8, 0).
    ASSERT_TRUE(ApplyMove(unedited, edited, selection, 8, 0, *CurrentColourTables()))
        << test::Describe(layout);
    const std::array<uint8_t, 3> grey = FillBytes(*CurrentColourTables(), layout, RgbColor{128, 128, 128});
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 24; ++x) {
        std::array<uint8_t, 3> got{}, want{};
        ASSERT_TRUE(AccessPixel(edited, y, x, got, Access::Read, 0));
        if (x < 8) {
          want = grey;
        } else {
          ASSERT_TRUE(AccessPixel(unedited, y, x - 8, want, Access::Read, 0));
        }
        // Sub-sampled chroma is shared with the neighbour pixel: luma tells the move.
        const bool full = layout.SamplingFormat == YUV_444 || layout.SamplingFormat == RGB_444;
        if (full) {
          ASSERT_EQ(got, want) << test::Describe(layout) << " at " << x << "," << y;
        } else {
          const size_t luma = layout.ComponentOrder == UYV ? 1 : 0;
          ASSERT_EQ(got[luma], want[luma]) << test::Describe(layout) << " at " << x << "," << y;
        }
      }
    }
    // Everything right of the moved blocks is as it was.
    std::array<uint8_t, 3> got{}, want{};
    ASSERT_TRUE(AccessPixel(edited, 5, 28, got, Access::Read, 0));
    ASSERT_TRUE(AccessPixel(unedited, 5, 28, want, Access::Read, 0));
    EXPECT_EQ(got, want) << test::Describe(layout);
  }
}

TEST(MotionCheck, PartialBlocksAtTheRightAndBottomEdgesMoveAndClipPixelByPixel) {
  // 36 x 12: the last block column is 4 pixels wide, the last block row 4 high.
  constexpr int32_t w = 36, h = 12;
  const ImageFormat layout = test::Layout(YUV_444, YUV, Progressive, Planar, w, h);
  BlockSelection selection;
  selection.Reset(w, h);
  ASSERT_EQ(selection.columns(), 5);
  ASSERT_EQ(selection.rows(), 2);
  selection.InvertRectangle(4, 1, 9, 9);  // clamped to the last block
  EXPECT_TRUE(selection.Selected(4, 1));
  EXPECT_FALSE(selection.Selected(3, 1));
  selection.SelectNone();
  FrameBuffer a, b;
  ASSERT_TRUE(a.Allocate(WorkBufferSize(w, h)) && b.Allocate(WorkBufferSize(w, h)));
  FrameImage unedited = a.Frame(layout), edited = b.Frame(layout);
  ASSERT_EQ(unedited.DataSize, 3 * w * h);
  const auto bytes = test::RandomBytes(static_cast<size_t>(unedited.DataSize), 8);
  std::copy(bytes.begin(), bytes.end(), unedited.Data);
  const std::array<uint8_t, 3> grey = FillBytes(*CurrentColourTables(), layout, RgbColor{128, 128, 128});
  const std::pair<int, int> selections[][2] = {{{4, 0}, {4, 1}}, {{3, 1}, {4, 1}}, {{0, 0}, {4, 1}}};
  const std::pair<int32_t, int32_t> moves[] = {{-8, 0}, {-4, -4}, {4, 0}, {-36, 0}, {-12, 4}, {3, 8}};
  for (const auto& rectangle : selections) {
    for (const auto& [dx, dy] : moves) {
      SCOPED_TRACE(StrFormat("blocks %d,%d to %d,%d moved by %d,%d", rectangle[0].first, rectangle[0].second,
                             rectangle[1].first, rectangle[1].second, dx, dy));
      selection.SelectNone();
      selection.InvertRectangle(rectangle[0].first, rectangle[0].second, rectangle[1].first,
                                rectangle[1].second);
      ASSERT_TRUE(ApplyMove(unedited, edited, selection, dx, dy, *CurrentColourTables()));
      ASSERT_EQ(edited.DataSize, unedited.DataSize);
      // Pixel by pixel: selected pixels turn grey, then each lands where it moved if inside.
      std::vector<uint8_t> expected(bytes);
      auto selected = [&](int32_t x, int32_t y) { return selection.Selected(x / 8, y / 8); };
      for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
          if (!selected(x, y)) continue;
          for (size_t p = 0; p < 3; ++p) expected[p * w * h + static_cast<size_t>(y * w + x)] = grey[p];
        }
      }
      for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
          const int32_t tx = x + dx, ty = y + dy;
          if (!selected(x, y) || tx < 0 || tx >= w || ty < 0 || ty >= h) continue;
          for (size_t p = 0; p < 3; ++p)
            expected[p * w * h + static_cast<size_t>(ty * w + tx)] =
                bytes[p * w * h + static_cast<size_t>(y * w + x)];
        }
      }
      EXPECT_EQ(std::vector<uint8_t>(edited.Data, edited.Data + edited.DataSize), expected);
    }
  }
}

TEST(Compare, AllComponentsNameEachValueByItsOwnComponent) {
  // The stored second component (V of YVU, Y of UYVY) differs; the others do not.
  struct Case {
    ImageFormat layout;
    int64_t changed;  // a byte of the stored second component
    const char* prefix;
    const char* suffix;
  } cases[] = {
      {test::Layout(YUV_420, YVU, Progressive, Planar, 16, 8), 16 * 8,
       "Y :100.0000     V :", "   U :100.0000"},
      {test::Layout(YUV_422, UYV, Progressive, Packed, 16, 8), 1, "U :100.0000     Y :", "   V :100.0000"},
      {test::Layout(YUV_444, YVU, Progressive, Packed, 16, 8), 1, "Y :100.0000     V :", "   U :100.0000"},
      {test::Layout(YUV_444, UYV, Progressive, Planar, 16, 8), 16 * 8,
       "U :100.0000     Y :", "   V :100.0000"},
  };
  for (const Case& c : cases) {
    Frame a(c.layout, 90), b(c.layout, 90);
    b.image.Data[c.changed] = 30;
    FrameDifference difference;
    ASSERT_TRUE(difference.Build(*CurrentColourTables(), a.image, b.image, 3));
    const std::string text = PsnrBoxText(c.layout, difference.Psnr());
    EXPECT_EQ(text.rfind(c.prefix, 0), 0u) << text;
    EXPECT_TRUE(text.ends_with(c.suffix)) << text;
    EXPECT_EQ(text.find("100.0000", std::string(c.prefix).size()), text.size() - 8) << text;
  }
}

TEST(Compare, WorkImagesRefusedFirstAndAtANewSizeHaveTheirOwnCodes) {
  const ImageFormat small = test::Layout(YUV_420, YUV, Progressive, Planar, 16, 8);
  const ImageFormat huge = test::Layout(YUV_444, YUV, Progressive, Packed, 8192, 8192);
  CompareSequence compare;
  EXPECT_EQ(*compare.Prepare(huge), "Error CMPR1007: Image size (8192, 8192) not support !\n");
  ASSERT_FALSE(compare.Prepare(small));
  EXPECT_EQ(*compare.Prepare(huge), "Error CMPR1008: Image size (8192, 8192) not support !\n");

  MotionSequence motion;
  EXPECT_EQ(*motion.Prepare(huge), "Error MOTN1005: Image size (8192, 8192) not support !\n");
  ASSERT_FALSE(motion.Prepare(small));
  EXPECT_EQ(*motion.Prepare(huge), "Error MOTN1006: Image size (8192, 8192) not support !\n");
}

TEST(MotionCheck, AFirstPairThatCannotBeReadNamesTheFrameThatFailed) {
  const ImageFormat layout = test::Layout(YUV_420, YUV, Progressive, Planar, 16, 8);
  test::TempDir dir;
  const auto path = dir / "pair.yuv";
  MotionSequence motion;
  ASSERT_FALSE(motion.Prepare(layout));
  motion.Path = path.string();
  test::WriteFileBytes(path, {});  // no first frame
  EXPECT_EQ(*motion.ShowFirstPair(), "Error MOTN1003: Input file " + path.string() + " not found\n");
  test::WriteFileBytes(path, test::RandomBytes(192, 1));  // the first frame, no second
  EXPECT_EQ(*motion.ShowFirstPair(), "Error MOTN1004: Input file " + path.string() + " not found\n");
  test::WriteFileBytes(path, test::RandomBytes(2 * 192, 2));
  EXPECT_FALSE(motion.ShowFirstPair());
  EXPECT_EQ(motion.Snapshot().current.origin.number, 2);
}

TEST(Compare, ThePairsShowTheValuesOfDeeperSamplesAsStored) {
  // Two 10-bit 4:2:0 files of 16 x 8, luma 4 * x + 64 * y + 1 (second: + 700),
  // chroma 1000 - column (U) and 3 + row (V): values no 8-bit frame could hold.
  ImageFormat layout = test::Layout(YUV_420, YUV, Progressive, Planar, 16, 8);
  layout.BitsPerSample = 10;
  const auto frameOf = [](int lumaOffset) {
    std::vector<uint8_t> bytes;
    const auto put = [&](int v) {
      bytes.insert(bytes.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
    };
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 16; ++x) put((4 * x + 64 * y + 1 + lumaOffset) & 1023);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 8; ++x) put(1000 - x);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 8; ++x) put(3 + y);
    return bytes;
  };
  test::TempDir dir;
  CompareSequence compare;
  ASSERT_FALSE(compare.Prepare(layout));
  compare.FirstPath = (dir / "a.yuv").string();
  compare.SecondPath = (dir / "b.yuv").string();
  test::WriteFileBytes(compare.FirstPath, frameOf(0));
  test::WriteFileBytes(compare.SecondPath, frameOf(700));
  ASSERT_TRUE(compare.LoadFirstPair());
  const auto first = compare.ShownSamplesAt(false, 15, 7), second = compare.ShownSamplesAt(true, 15, 7);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->values, (std::array<uint32_t, 3>{4 * 15 + 64 * 7 + 1, 993, 6}));
  EXPECT_EQ(second->values, (std::array<uint32_t, 3>{(4 * 15 + 64 * 7 + 701) & 1023, 993, 6}));

  MotionSequence motion;
  ASSERT_FALSE(motion.Prepare(layout));
  motion.Path = compare.FirstPath;
  std::vector<uint8_t> two = frameOf(0), next = frameOf(700);
  two.insert(two.end(), next.begin(), next.end());
  test::WriteFileBytes(motion.Path, two);
  ASSERT_FALSE(motion.ShowFirstPair());
  EXPECT_EQ(motion.ShownSamplesAt(false, 1, 0)->values, (std::array<uint32_t, 3>{5, 1000, 3}));
  EXPECT_EQ(motion.ShownSamplesAt(true, 1, 0)->values, (std::array<uint32_t, 3>{705, 1000, 3}));
}

}  // namespace
}  // namespace vx
