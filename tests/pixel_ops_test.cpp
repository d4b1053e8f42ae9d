#include <gtest/gtest.h>

#include <numeric>

#include "PixelTestSupport.h"
#include "image/PixelOps.h"
#include "platform/MessageSink.h"

namespace vx {
namespace {

using test::Layout;
using test::TestFrame;

std::vector<uint8_t> Span(const uint8_t* data, size_t count) {
  return {data, data + count};
}

TEST(ClampToByte, IntsAndReals) {
  EXPECT_EQ(ClampToByte(256), 255);
  EXPECT_EQ(ClampToByte(255), 255);
  EXPECT_EQ(ClampToByte(-1), 0);
  EXPECT_EQ(ClampToByte(17), 17);
  EXPECT_EQ(ClampToByte(255.9), 255);
  EXPECT_EQ(ClampToByte(255.01), 255);
  EXPECT_EQ(ClampToByte(-0.5), 0);
  EXPECT_EQ(ClampToByte(17.99), 17);
}

TEST(ConvertSampling, AveragesTruncateAndRowsRepeat) {
  // Planar 4:4:4, 2 x 2: Y 1..4, U 10 13 / 12 14 ... for 4:2:2; a second U row for 4:2:0.
  TestFrame s(Layout(YUV_444, YUV, Progressive, Planar, 2, 2), 1);
  const uint8_t planes[12] = {1, 2, 3, 4, 10, 13, 12, 14, 20, 20, 21, 21};
  std::copy(planes, planes + 12, s.frame.Data);
  TestFrame d(Layout(YUV_422, YUV, Progressive, Planar, 2, 2), 2);
  ASSERT_TRUE(ConvertSampling(s.frame, d.frame));
  EXPECT_EQ(d.frame.DataSize, 8);
  EXPECT_EQ(Span(d.frame.Data, 8), (std::vector<uint8_t>{1, 2, 3, 4, 11, 13, 20, 21}));

  TestFrame e(Layout(YUV_420, YUV, Progressive, Planar, 2, 2), 3);
  const uint8_t u420[12] = {1, 2, 3, 4, 10, 11, 12, 14, 0, 0, 0, 1};
  std::copy(u420, u420 + 12, s.frame.Data);
  ASSERT_TRUE(ConvertSampling(s.frame, e.frame));
  EXPECT_EQ(e.frame.DataSize, 6);
  EXPECT_EQ(Span(e.frame.Data, 6), (std::vector<uint8_t>{1, 2, 3, 4, 11, 0}));

  // 4:2:2 -> 4:2:0 -> 4:2:2 keeps even chroma rows and repeats them over odd ones.
  TestFrame p422(Layout(YUV_422, YUV, Progressive, Planar, 4, 4), 4);
  TestFrame p420(Layout(YUV_420, YUV, Progressive, Planar, 4, 4), 5);
  TestFrame back(Layout(YUV_422, YUV, Progressive, Planar, 4, 4), 6);
  ASSERT_TRUE(ConvertSampling(p422.frame, p420.frame));
  ASSERT_TRUE(ConvertSampling(p420.frame, back.frame));
  const uint8_t* in = p422.frame.Data + 16;
  const uint8_t* out = back.frame.Data + 16;
  for (int plane = 0; plane < 2; ++plane) {
    for (int row = 0; row < 4; ++row) {
      EXPECT_EQ(Span(out + plane * 8 + row * 2, 2), Span(in + plane * 8 + (row & ~1) * 2, 2)) << row;
    }
  }
  EXPECT_EQ(Span(back.frame.Data, 16), Span(p422.frame.Data, 16)) << "luma is copied";

  // Packed 4:4:4 -> 4:2:2 follows the destination's byte order.
  TestFrame packed(Layout(YUV_444, YUV, Progressive, Packed, 2, 1), 7);
  const uint8_t pixels[6] = {50, 10, 20, 60, 13, 40};
  std::copy(pixels, pixels + 6, packed.frame.Data);
  const std::vector<uint8_t> expected[3] = {{50, 11, 60, 30}, {50, 30, 60, 11}, {11, 50, 30, 60}};
  for (int32_t order : {YUV, YVU, UYV}) {
    TestFrame uyvy(Layout(YUV_422, order, Progressive, Packed, 2, 1), 8);
    ASSERT_TRUE(ConvertSampling(packed.frame, uyvy.frame));
    EXPECT_EQ(uyvy.Bytes(), expected[order]) << order;
  }

  TestFrame rgb(Layout(RGB_444, RGB, Progressive, Packed, 2, 2), 9);
  EXPECT_FALSE(ConvertSampling(rgb.frame, d.frame));
  TestFrame same(Layout(YUV_422, YUV, Progressive, Planar, 2, 2), 10);
  EXPECT_FALSE(ConvertSampling(d.frame, same.frame));
}

TEST(ToCanonical444, SamePictureInTwoOrdersGivesTheSameBytes) {
  // A UYVY frame and a YUY2 frame holding the same pixels.
  TestFrame uyvy(Layout(YUV_422, UYV, Progressive, Packed, 4, 2), 1);
  TestFrame yuy2(Layout(YUV_422, YUV, Progressive, Packed, 4, 2), 2);
  for (int g = 0; g < 4; ++g) {
    const uint8_t y0 = static_cast<uint8_t>(10 + g), u = static_cast<uint8_t>(100 + g),
                  y1 = static_cast<uint8_t>(20 + g), v = static_cast<uint8_t>(200 + g);
    const uint8_t a[4] = {u, y0, v, y1}, b[4] = {y0, u, y1, v};
    std::copy(a, a + 4, uyvy.frame.Data + 4 * g);
    std::copy(b, b + 4, yuy2.frame.Data + 4 * g);
  }
  TestFrame c1(Layout(YUV_444, YUV, Progressive, Packed, 4, 2), 3);
  TestFrame c2(Layout(YUV_444, YUV, Progressive, Packed, 4, 2), 4);
  ASSERT_TRUE(ToCanonical444(uyvy.frame, c1.frame));
  ASSERT_TRUE(ToCanonical444(yuy2.frame, c2.frame));
  EXPECT_EQ(c1.Bytes(), c2.Bytes());
  EXPECT_EQ(Span(c1.frame.Data, 6), (std::vector<uint8_t>{10, 100, 200, 20, 100, 200}));
  EXPECT_EQ(c1.frame.Fourcc, 10);
  EXPECT_EQ(c1.frame.DataSize, 24);
}

TEST(FromCanonical444, InterlacedYv12AveragesProgressiveRowsThenSwapsThenSplits) {
  const int w = 2, h = 4;
  TestFrame c(Layout(YUV_444, YUV, Progressive, Packed, w, h), 1);
  // U of row r, column x = 10 r + x; V = 100 + 10 r + x.
  for (int r = 0; r < h; ++r) {
    for (int x = 0; x < w; ++x) {
      uint8_t* p = c.frame.Data + 3 * (r * w + x);
      p[0] = static_cast<uint8_t>(r * w + x);
      p[1] = static_cast<uint8_t>(10 * r + x);
      p[2] = static_cast<uint8_t>(100 + 10 * r + x);
    }
  }
  TestFrame d(Layout(YUV_420, YVU, Interlaced, Planar, w, h), 2);
  ASSERT_TRUE(FromCanonical444(c.frame, d.frame));
  // Field 1: Y rows 0 and 2, then V and U of frame chroma row 0 (rows 0+1);
  // field 2: Y rows 1 and 3, then V and U of frame chroma row 1 (rows 2+3).
  EXPECT_EQ(d.Bytes(), (std::vector<uint8_t>{0, 1, 4, 5, 105, 5, 2, 3, 6, 7, 125, 25}));
}

TEST(ReorderComponents, Permutations) {
  TestFrame s(Layout(YUV_444, YVU, Progressive, Packed, 1, 1), 1);
  s.frame.Data[0] = 1;
  s.frame.Data[1] = 2;
  s.frame.Data[2] = 3;
  TestFrame d(Layout(YUV_444, UYV, Progressive, Packed, 1, 1), 2);
  ASSERT_TRUE(ReorderComponents(s.frame, d.frame));
  EXPECT_EQ(Span(d.frame.Data, 3), (std::vector<uint8_t>{3, 1, 2}));

  TestFrame yuyv(Layout(YUV_422, YUV, Progressive, Packed, 2, 1), 3);
  const uint8_t group[4] = {'y', 'u', 'Y', 'v'};
  std::copy(group, group + 4, yuyv.frame.Data);
  const struct {
    int32_t from, to;
    const char* bytes;
  } cases[] = {{YUV, YVU, "yvYu"}, {YUV, UYV, "uyvY"}};
  for (const auto& c : cases) {
    TestFrame out(Layout(YUV_422, c.to, Progressive, Packed, 2, 1), 4);
    ASSERT_TRUE(ReorderComponents(yuyv.frame, out.frame));
    EXPECT_EQ(std::string(out.frame.Data, out.frame.Data + 4), c.bytes);
  }
  TestFrame interlaced(Layout(YUV_444, YVU, Interlaced, Packed, 2, 2), 5);
  EXPECT_FALSE(ReorderComponents(interlaced.frame, d.frame));
}

TEST(AccessSegment, ClipsRoundsAndBlends) {
  TestFrame f(Layout(YUV_444, YUV, Progressive, Planar, 8, 2), 1);
  SegmentBuffer seg(8);
  std::fill(seg.first.begin(), seg.first.end(), 7);
  ASSERT_TRUE(AccessSegment(f.frame, seg, 1, -5, 10, Access::Write, 0));
  EXPECT_EQ(Span(f.frame.Data + 8, 6), (std::vector<uint8_t>{7, 7, 7, 7, 7, f.frame.Data[13]}));
  EXPECT_NE(f.frame.Data[13], 7);
  ASSERT_TRUE(AccessSegment(f.frame, seg, 0, 6, 10, Access::Write, 0));
  EXPECT_EQ(f.frame.Data[6], 7);
  EXPECT_EQ(f.frame.Data[7], 7);

  TestFrame yuyv(Layout(YUV_422, YUV, Progressive, Packed, 8, 1), 2);
  SegmentBuffer raw(8);
  ASSERT_TRUE(AccessSegment(yuyv.frame, raw, 0, 3, 2, Access::Read, 0));
  EXPECT_EQ(Span(raw.first.data(), 4), Span(yuyv.frame.Data + 4, 4)) << "x = 3 starts at column 2";

  TestFrame blend(Layout(YUV_444, YUV, Progressive, Packed, 1, 1), 3);
  std::fill(blend.frame.Data, blend.frame.Data + 3, 200);
  SegmentBuffer zero(1);
  ASSERT_TRUE(AccessSegment(blend.frame, zero, 0, 0, 1, Access::Write, 80));
  EXPECT_EQ(Span(blend.frame.Data, 3), (std::vector<uint8_t>{160, 160, 160}));
  ASSERT_TRUE(AccessSegment(blend.frame, zero, 0, 0, 1, Access::Write, 150));
  EXPECT_EQ(blend.frame.Data[0], 160) << "p above 100 is 100: unchanged";
  SegmentBuffer seven(1);
  std::fill(seven.first.begin(), seven.first.end(), 7);
  ASSERT_TRUE(AccessSegment(blend.frame, seven, 0, 0, 1, Access::Write, 50));
  EXPECT_EQ(Span(blend.frame.Data, 3), (std::vector<uint8_t>{84, 84, 84})) << "(8000 + 350) / 100 rounds up";
}

// A frame of `bits`-bit samples over `words` (16-bit little-endian, as stored).
struct DeepFrame {
  DeepFrame(ImageFormat format, int bits, const std::vector<uint16_t>& words) {
    format.BitsPerSample = bits;
    static_cast<ImageFormat&>(frame) = format;
    bytes.resize(static_cast<size_t>(ComputeFrameSize(frame)));
    for (size_t i = 0; i < words.size() && 2 * i + 1 < bytes.size(); ++i) {
      bytes[2 * i] = static_cast<uint8_t>(words[i]);
      bytes[2 * i + 1] = static_cast<uint8_t>(words[i] >> 8);
    }
    frame.Data = bytes.data();
    frame.Capacity = static_cast<int64_t>(bytes.size());
  }
  uint16_t Word(size_t i) const { return static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8); }
  std::vector<uint8_t> bytes;
  FrameImage frame;
};

TEST(AccessSegment, DeeperSamplesAtFullDepth) {
  // 10-bit 4:2:0, 4 x 2: Y 0..7, U 8..9, V 10..11 (words).
  DeepFrame f(Layout(YUV_420, YUV, Progressive, Planar, 4, 2), 10,
              {100, 200, 300, 400, 500, 600, 700, 0xFFFF, 900, 1000, 1023, 5});
  DeepSegment row(4);
  ASSERT_TRUE(AccessSegment(f.frame, row, 1, 0, 4, Access::Read, 0));
  EXPECT_EQ(std::vector<uint16_t>(row.first.begin(), row.first.begin() + 4),
            (std::vector<uint16_t>{500, 600, 700, 1023}))
      << "a word beyond 10 bits reads as 1023";
  EXPECT_EQ(std::vector<uint16_t>(row.second.begin(), row.second.begin() + 2),
            (std::vector<uint16_t>{900, 1000}));
  EXPECT_EQ(std::vector<uint16_t>(row.third.begin(), row.third.begin() + 2),
            (std::vector<uint16_t>{1023, 5}));

  // The blend of 8-bit frames, on full-depth values.
  std::array<uint16_t, 3> pixel = {1000, 2000, 0};
  ASSERT_TRUE(AccessPixel(f.frame, 0, 2, pixel, Access::Write, 30));
  EXPECT_EQ(f.Word(2), 790) << "(30 x 300 + 70 x 1000 + 50) / 100";
  EXPECT_EQ(f.Word(9), 1016) << "U: (30 x 1000 + 70 x 1023 + 50) / 100, 2000 limited to 1023";
  EXPECT_EQ(f.Word(11), 2) << "V: (30 x 5 + 70 x 0 + 50) / 100";
  EXPECT_EQ(f.Word(1), 200) << "the pixel beside it";
  EXPECT_EQ(f.Word(8), 900) << "the chroma beside it";
  // Unblended: the values as given, in the low bits of their words.
  row.first = {1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0};
  ASSERT_TRUE(AccessSegment(f.frame, row, 0, 2, 2, Access::Write, 0));
  EXPECT_EQ(std::vector<uint8_t>(f.bytes.begin() + 4, f.bytes.begin() + 8),
            (std::vector<uint8_t>{1, 0, 2, 0}));

  // 16 bits: the whole word.
  DeepFrame sixteen(Layout(MONO, YUV, Progressive, Planar, 2, 1), 16, {0, 0});
  std::array<uint16_t, 3> top = {65535, 0, 0};
  ASSERT_TRUE(AccessPixel(sixteen.frame, 0, 1, top, Access::Write, 0));
  EXPECT_EQ(sixteen.bytes, (std::vector<uint8_t>{0, 0, 0xFF, 0xFF}));

  // 8-bit frames through the deep access, limited to 255; deep frames never through the 8-bit one.
  TestFrame bytes(Layout(YUV_444, YUV, Progressive, Planar, 2, 1), 4);
  std::array<uint16_t, 3> wide = {300, 17, 255};
  ASSERT_TRUE(AccessPixel(bytes.frame, 0, 0, wide, Access::Write, 0));
  EXPECT_EQ((std::vector<uint8_t>{bytes.frame.Data[0], bytes.frame.Data[2], bytes.frame.Data[4]}),
            (std::vector<uint8_t>{255, 17, 255}));
  std::array<uint8_t, 3> narrow{};
  SegmentBuffer narrowRow(4);
  EXPECT_FALSE(AccessPixel(f.frame, 0, 0, narrow, Access::Read, 0));
  EXPECT_FALSE(AccessSegment(f.frame, narrowRow, 0, 0, 4, Access::Read, 0));
}

TEST(AccessSegment, MessagesAndRefusals) {
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  TestFrame f(Layout(YUV_444, YUV, Progressive, Packed, 8, 4), 1);
  SegmentBuffer seg(8);
  std::array<uint8_t, 3> px{};
  EXPECT_FALSE(AccessSegment(f.frame, seg, -1, 0, 4, Access::Read, 0));
  EXPECT_FALSE(AccessSegment(f.frame, seg, 4, 0, 4, Access::Read, 0));
  EXPECT_FALSE(AccessSegment(f.frame, seg, 0, -9, 4, Access::Read, 0));
  EXPECT_FALSE(AccessSegment(f.frame, seg, 0, 8, 4, Access::Read, 0));
  EXPECT_FALSE(AccessPixel(f.frame, 4, 0, px, Access::Read, 0));
  EXPECT_FALSE(AccessPixel(f.frame, 0, 8, px, Access::Read, 0));
  EXPECT_FALSE(AccessPixel(f.frame, -1, 0, px, Access::Read, 0)) << "negative positions are refused";
  TestFrame packed420(Layout(YUV_420, YUV, Progressive, Packed, 8, 4), 2);
  EXPECT_FALSE(AccessSegment(packed420.frame, seg, 0, 0, 4, Access::Read, 0));
  EXPECT_FALSE(AccessPixel(packed420.frame, 0, 0, px, Access::Read, 0));
  TestFrame bmp(Layout(BMP, RGB, Progressive, Packed, 8, 4), 3);
  EXPECT_FALSE(AccessSegment(bmp.frame, seg, 0, 0, 4, Access::Read, 0));
  EXPECT_FALSE(AccessPixel(bmp.frame, 0, 0, px, Access::Read, 0));
  TestFrame target(Layout(BMP, RGB, Interlaced, Planar, 8, 4), 4);
  EXPECT_FALSE(ConvertFieldFormat(bmp.frame, target.frame));
  EXPECT_FALSE(ConvertPixelFormat(bmp.frame, target.frame));
  EXPECT_EQ(recorder.Texts(), (std::vector<std::string>{
                                  "Error CONF1004: Row of the segment is negative !!! ",
                                  "Error CONF1005: Row of the segment bigger than image height!!! ",
                                  "Error CONF1006: The segment is nagative! ",
                                  "Error CONF1007: The segment is out of image width!!! ",
                                  "Error CONF1010: Row of the pixel bigger than image height!!! ",
                                  "Error CONF1011: Col of the pixel bigger than image width!!! ",
                                  "Error CONF1008: Packed format is not supported in 420 format !!! ",
                                  "Error CONF1012: Packed format is not supported in 420 format !!! ",
                                  "Error CONF1009: BMP must be converted to RGB first !!! ",
                                  "Error CONF1013: BMP must be converted to RGB first !!! ",
                                  "Error CONF1001: BMP file do not need to convert !!! ",
                                  "Error CONF1002: BMP file do not need to convert !!! ",
                              }));
}

TEST(AccessPixel, ComponentsInStorageOrder) {
  struct Case {
    int32_t sampling, order, pixel;
    int column;
    std::vector<int> offsets;  // byte offsets of the three values in a 4 x 2 frame
  } cases[] = {
      {YUV_444, UYV, Packed, 1, {3, 4, 5}},  {YUV_444, YUV, Planar, 1, {1, 9, 17}},
      {YUV_422, YUV, Packed, 1, {2, 1, 3}},  {YUV_422, YUV, Packed, 2, {4, 5, 7}},
      {YUV_422, UYV, Packed, 1, {0, 3, 2}},  {YUV_422, YVU, Planar, 3, {3, 9, 13}},
      {YUV_420, YUV, Planar, 3, {3, 9, 11}},
  };
  for (const Case& c : cases) {
    TestFrame f(Layout(c.sampling, c.order, Progressive, c.pixel, 4, 2), 1);
    std::array<uint8_t, 3> value{};
    ASSERT_TRUE(AccessPixel(f.frame, 0, c.column, value, Access::Read, 0));
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(value[static_cast<size_t>(k)], f.frame.Data[c.offsets[static_cast<size_t>(k)]])
          << test::Describe(f.frame) << " value " << k;
    }
  }
}

TEST(InterlacedField2, SegmentAccessAgreesWithTheConversionsWhenHeightIsNotAMultipleOf4) {
  // 720 x 486: each field has 243 rows and 121 chroma rows; field 2 starts at
  // 720 x 243 + 2 x 360 x 121 = 262,080 (not at DataSize / 2 = 262,440).
  TestFrame f(Layout(YUV_420, YUV, Interlaced, Planar, 720, 486), 1);
  const int64_t field2 = 262080, u2 = field2 + 720 * 243, v2 = u2 + 360 * 121;
  SegmentBuffer seg(720);
  ASSERT_TRUE(AccessSegment(f.frame, seg, 1, 0, 720, Access::Read, 0));
  EXPECT_EQ(Span(seg.first.data(), 720), Span(f.frame.Data + field2, 720));
  EXPECT_EQ(Span(seg.second.data(), 360), Span(f.frame.Data + u2, 360));
  EXPECT_EQ(Span(seg.third.data(), 360), Span(f.frame.Data + v2, 360));
  std::array<uint8_t, 3> px{};
  ASSERT_TRUE(AccessPixel(f.frame, 3, 5, px, Access::Read, 0));
  EXPECT_EQ(px, (std::array<uint8_t, 3>{f.frame.Data[field2 + 720 + 5], f.frame.Data[u2 + 2],
                                        f.frame.Data[v2 + 2]}));

  TestFrame progressive(Layout(YUV_420, YUV, Progressive, Planar, 720, 486), 2);
  ASSERT_TRUE(ConvertFieldFormat(f.frame, progressive.frame));
  EXPECT_EQ(Span(progressive.frame.Data + 720, 720), Span(seg.first.data(), 720));
  TestFrame full(Layout(YUV_444, YUV, Interlaced, Planar, 720, 486), 3);
  ASSERT_TRUE(ConvertSampling(f.frame, full.frame));
  EXPECT_EQ(Span(full.frame.Data + 720 * 486 * 3 / 2, 720), Span(seg.first.data(), 720));

  // Row 485 is field 2's row 242, whose chroma row (121) lies in neither field: it
  // reads the chroma row above and writes its luma only.
  ASSERT_TRUE(AccessSegment(f.frame, seg, 485, 0, 720, Access::Read, 0));
  EXPECT_EQ(Span(seg.second.data(), 360), Span(f.frame.Data + u2 + 360 * 120, 360));
  const auto before = f.Bytes();
  std::fill(seg.first.begin(), seg.first.end(), uint8_t{7});
  std::fill(seg.second.begin(), seg.second.end(), uint8_t{8});
  std::fill(seg.third.begin(), seg.third.end(), uint8_t{9});
  ASSERT_TRUE(AccessSegment(f.frame, seg, 485, 0, 720, Access::Write, 0));
  auto expected = before;
  std::fill_n(expected.begin() + field2 + 720 * 242, 720, uint8_t{7});
  EXPECT_TRUE(f.Bytes() == expected) << "only the luma row is written";

  TestFrame multiple(Layout(YUV_420, YUV, Interlaced, Planar, 720, 480), 4);
  ASSERT_TRUE(AccessSegment(multiple.frame, seg, 1, 0, 720, Access::Read, 0));
  EXPECT_EQ(Span(seg.first.data(), 720), Span(multiple.frame.Data + multiple.frame.DataSize / 2, 720));
}

TEST(OddSizes, PixelsWithoutChromaOfTheirOwnReadTheNeighboursAndWriteLumaOnly) {
  // 4 x 3 I420: Y 0..11, one chroma row (U 12..13, V 14..15), two unused bytes.
  TestFrame i420(Layout(YUV_420, YUV, Progressive, Planar, 4, 3), 0);
  std::iota(i420.frame.Data, i420.frame.Data + 18, uint8_t{1});
  SegmentBuffer seg(4);
  ASSERT_TRUE(AccessSegment(i420.frame, seg, 2, 0, 4, Access::Read, 0));
  EXPECT_EQ(Span(seg.first.data(), 4), (std::vector<uint8_t>{9, 10, 11, 12}));
  EXPECT_EQ(Span(seg.second.data(), 2), (std::vector<uint8_t>{13, 14}));
  EXPECT_EQ(Span(seg.third.data(), 2), (std::vector<uint8_t>{15, 16}));
  std::array<uint8_t, 3> px{};
  ASSERT_TRUE(AccessPixel(i420.frame, 2, 3, px, Access::Read, 0));
  EXPECT_EQ(px, (std::array<uint8_t, 3>{12, 14, 16}));
  px = {50, 60, 70};
  ASSERT_TRUE(AccessPixel(i420.frame, 2, 3, px, Access::Write, 0));
  std::fill(seg.first.begin(), seg.first.end(), uint8_t{40});
  ASSERT_TRUE(AccessSegment(i420.frame, seg, 2, 0, 4, Access::Write, 0));
  EXPECT_EQ(i420.Bytes(),
            (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 40, 40, 40, 40, 13, 14, 15, 16, 17, 18}));

  // 5 x 2 planar 4:2:2: pixel 4 has no chroma column; it reads column 1.
  TestFrame i422(Layout(YUV_422, YUV, Progressive, Planar, 5, 2), 0);
  std::iota(i422.frame.Data, i422.frame.Data + 20, uint8_t{1});
  ASSERT_TRUE(AccessPixel(i422.frame, 1, 4, px, Access::Read, 0));
  EXPECT_EQ(px, (std::array<uint8_t, 3>{10, 14, 18}));
  const auto before = i422.Bytes();
  px = {50, 60, 70};
  ASSERT_TRUE(AccessPixel(i422.frame, 1, 4, px, Access::Write, 0));
  auto expected = before;
  expected[9] = 50;
  EXPECT_EQ(i422.Bytes(), expected);

  // 5 x 2 packed 4:2:2: each row is two groups and half a group (10 bytes). Pixel
  // 4 reads the chroma of group 1, and a write to it stays in its own row.
  for (const int order : {UYV, YUV}) {
    TestFrame packed(Layout(YUV_422, order, Progressive, Packed, 5, 2), 0);
    std::iota(packed.frame.Data, packed.frame.Data + 20, uint8_t{1});
    const bool uyvy = order == UYV;
    ASSERT_TRUE(AccessPixel(packed.frame, 0, 4, px, Access::Read, 0));
    // U Y V order gives U, Y, V; Y U V order gives Y, U, V.
    EXPECT_EQ(px, uyvy ? (std::array<uint8_t, 3>{5, 10, 7}) : (std::array<uint8_t, 3>{9, 6, 8})) << order;
    const auto unchanged = packed.Bytes();
    px = {50, 60, 70};
    ASSERT_TRUE(AccessPixel(packed.frame, 0, 4, px, Access::Write, 0));
    auto written = unchanged;
    written[uyvy ? 9 : 8] = uyvy ? 60 : 50;
    EXPECT_EQ(packed.Bytes(), written) << order;
  }
  // A lone pixel per row: its row holds one chroma byte, read for both.
  TestFrame lone(Layout(YUV_422, UYV, Progressive, Packed, 1, 2), 0);
  std::iota(lone.frame.Data, lone.frame.Data + 4, uint8_t{1});
  ASSERT_TRUE(AccessPixel(lone.frame, 0, 0, px, Access::Read, 0));
  EXPECT_EQ(px, (std::array<uint8_t, 3>{1, 2, 1}));
  px = {50, 60, 70};
  ASSERT_TRUE(AccessPixel(lone.frame, 0, 0, px, Access::Write, 0));
  EXPECT_EQ(lone.Bytes(), (std::vector<uint8_t>{1, 60, 3, 4}));
}

TEST(OddSizes, FlippingAnOddHeight420PictureFlipsEachPlaneAndKeepsTheUnusedBytes) {
  // 4 x 5 I420: Y rows 1..20, two chroma rows per plane, then 2 unused bytes.
  const ImageFormat layout = Layout(YUV_420, YUV, Progressive, Planar, 4, 5);
  TestFrame s(layout, 0), d(layout, 9);
  std::iota(s.frame.Data, s.frame.Data + 30, uint8_t{1});
  ASSERT_TRUE(FlipVertical(s.frame, d.frame));
  const std::vector<uint8_t> flipped{17, 18, 19, 20, 13, 14, 15, 16, 9,  10, 11, 12, 5,  6,  7,
                                     8,  1,  2,  3,  4,  23, 24, 21, 22, 27, 28, 25, 26, 29, 30};
  EXPECT_EQ(d.Bytes(), flipped);
  ASSERT_TRUE(FlipVertical(s.frame, s.frame));
  EXPECT_EQ(s.Bytes(), flipped) << "in place";
}

TEST(ScaleBilinear, CornersAndMidpoints) {
  TestFrame s(Layout(YUV_444, YUV, Progressive, Packed, 2, 2), 1);
  const uint8_t corners[4] = {10, 21, 100, 255};
  for (int i = 0; i < 4; ++i) std::fill(s.frame.Data + 3 * i, s.frame.Data + 3 * i + 3, corners[i]);
  TestFrame d(Layout(YUV_444, YUV, Progressive, Packed, 3, 3), 2);
  ASSERT_TRUE(ScaleBilinear(s.frame, d.frame));
  const std::vector<uint8_t> expected = {10, 15, 21, 55, 96, 138, 100, 177, 255};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(d.frame.Data[3 * i + 1], expected[static_cast<size_t>(i)]) << i;
  EXPECT_EQ(d.frame.DataSize, 27);

  TestFrame tooSmall(Layout(YUV_444, YUV, Progressive, Packed, 1, 3), 3);
  EXPECT_FALSE(ScaleBilinear(s.frame, tooSmall.frame)) << "a target of one column";
  EXPECT_FALSE(ScaleBilinear(tooSmall.frame, d.frame)) << "a source of one column";
  TestFrame sameSize(Layout(YUV_444, YUV, Progressive, Packed, 2, 2), 4);
  EXPECT_FALSE(ScaleBilinear(s.frame, sameSize.frame));
}

TEST(ExtractAndBrightness, SelectorsAndFactors) {
  TestFrame yuv(Layout(YUV_444, YUV, Progressive, Packed, 1, 1), 1);
  yuv.frame.Data[0] = 100;
  yuv.frame.Data[1] = 120;
  yuv.frame.Data[2] = 50;
  TestFrame out(Layout(MONO, YUV, Interlaced, Planar, 1, 1), 2);
  const std::vector<uint8_t> yuvExpected[4] = {
      {100, 128, 128}, {120, 128, 128}, {50, 128, 128}, {255, 128, 128}};
  for (int s = 0; s < 4; ++s) {
    ASSERT_TRUE(ExtractComponent(yuv.frame, out.frame, s));
    EXPECT_EQ(Span(out.frame.Data, 3), yuvExpected[s]) << s;
    EXPECT_EQ(out.frame.SamplingFormat, YUV_444);
  }
  TestFrame rgb(Layout(RGB_444, RGB, Progressive, Packed, 1, 1), 3);
  std::copy(yuv.frame.Data, yuv.frame.Data + 3, rgb.frame.Data);
  const std::vector<uint8_t> rgbExpected[4] = {{100, 0, 0}, {0, 120, 0}, {0, 0, 50}, {255, 255, 255}};
  for (int s = 0; s < 4; ++s) {
    ASSERT_TRUE(ExtractComponent(rgb.frame, out.frame, s));
    EXPECT_EQ(Span(out.frame.Data, 3), rgbExpected[s]) << s;
    EXPECT_EQ(out.frame.ComponentOrder, RGB);
  }
  EXPECT_FALSE(ExtractComponent(rgb.frame, out.frame, 4));

  TestFrame bright(Layout(YUV_444, YUV, Progressive, Packed, 2, 1), 4);
  const uint8_t values[6] = {0, 2, 3, 100, 254, 255};
  std::copy(values, values + 6, bright.frame.Data);
  ASSERT_TRUE(AdjustBrightness(bright.frame, 0, 3));
  EXPECT_EQ(Span(bright.frame.Data, 6), Span(values, 6));
  ASSERT_TRUE(AdjustBrightness(bright.frame, 100, 3));
  EXPECT_EQ(Span(bright.frame.Data, 6), (std::vector<uint8_t>{0, 202, 255, 255, 255, 255}));
  std::copy(values, values + 6, bright.frame.Data);
  ASSERT_TRUE(AdjustBrightness(bright.frame, 50, 1));  // factor 101/51, byte 1 only
  EXPECT_EQ(Span(bright.frame.Data, 6), (std::vector<uint8_t>{0, 3, 3, 100, 255, 255}));
  EXPECT_FALSE(AdjustBrightness(bright.frame, 101, 0));
}

TEST(FlipVertical, ReversesTheRowsAndTwiceGivesTheBytesBack) {
  for (const int h : {8, 7, 2, 1}) {  // 7: interlaced layouts with the extra row in field 1
    for (const ImageFormat& layout : test::ValidYuvLayouts(6, h)) {
      TestFrame s(layout, 1), d(layout, 2), back(layout, 3);
      ASSERT_TRUE(FlipVertical(s.frame, d.frame)) << test::Describe(layout);
      // Seen as pictures: row y of the result is row 7 - y of the source.
      TestFrame sourceCopy(layout, 0), picture(Layout(YUV_444, YUV, Progressive, Packed, 6, h), 4),
          flippedPicture(Layout(YUV_444, YUV, Progressive, Packed, 6, h), 5), flippedCopy(layout, 0);
      std::copy(s.frame.Data, s.frame.Data + s.frame.DataSize, sourceCopy.frame.Data);
      std::copy(d.frame.Data, d.frame.Data + d.frame.DataSize, flippedCopy.frame.Data);
      ASSERT_TRUE(ToCanonical444(sourceCopy.frame, picture.frame));
      ASSERT_TRUE(ToCanonical444(flippedCopy.frame, flippedPicture.frame));
      for (int y = 0; y < h; ++y) {
        EXPECT_EQ(Span(flippedPicture.frame.Data + 18 * y, 18),
                  Span(picture.frame.Data + 18 * (h - 1 - y), 18))
            << "row " << y << ", " << test::Describe(layout);
      }
      // Planar layouts are flipped plane by plane into another buffer, row by row
      // through the layout in place: the same bytes.
      TestFrame inPlace(layout, 0);
      std::copy(s.frame.Data, s.frame.Data + s.frame.DataSize, inPlace.frame.Data);
      ASSERT_TRUE(FlipVertical(inPlace.frame, inPlace.frame));
      EXPECT_EQ(inPlace.Bytes(), d.Bytes()) << test::Describe(layout);
      ASSERT_TRUE(FlipVertical(d.frame, back.frame));
      EXPECT_EQ(back.Bytes(), s.Bytes()) << test::Describe(layout);
      const auto before = s.Bytes();
      ASSERT_TRUE(FlipVertical(d.frame, d.frame));
      EXPECT_EQ(d.Bytes(), before) << "in place, " << test::Describe(layout);
    }
  }
  TestFrame mono(Layout(MONO, YUV, Progressive, Planar, 3, 2), 4),
      flipped(Layout(MONO, YUV, Progressive, Planar, 3, 2), 5);
  ASSERT_TRUE(FlipVertical(mono.frame, flipped.frame));
  EXPECT_EQ(Span(flipped.frame.Data, 3), Span(mono.frame.Data + 3, 3));
}

TEST(AnalysisHelpers, DifferenceHighlightHistogramBlocks) {
  const int w = 9, h = 2;  // two block columns
  TestFrame diff(Layout(YUV_444, YUV, Progressive, Packed, w, h), 1);
  TestFrame a(Layout(YUV_444, YUV, Progressive, Packed, w, h), 2),
      b(Layout(YUV_444, YUV, Progressive, Packed, w, h), 3);
  TestFrame out(Layout(YUV_444, YUV, Progressive, Packed, w, h), 4);
  for (int i = 0; i < w * h; ++i) diff.frame.Data[3 * i] = static_cast<uint8_t>(i * 10);
  const std::array<uint8_t, 3> colour{200, 100, 50};
  const BlockMask mask = {1, 0};
  ASSERT_TRUE(DifferenceMap(diff.frame, out.frame, 1, 20, 40, a.frame, b.frame, colour, 0, mask));
  EXPECT_EQ(Span(out.frame.Data, 3), Span(a.frame.Data, 3)) << "below low: image A";
  EXPECT_EQ(Span(out.frame.Data + 6, 3), Span(colour.data(), 3)) << "inside the range: the colour";
  const uint8_t* tinted = out.frame.Data + 3 * 8;  // column 8 lies in the marked block
  const uint8_t* original = a.frame.Data + 3 * 8;
  EXPECT_EQ(tinted[0], (original[0] >> 1) + ((255 - 200) >> 1));
  ASSERT_TRUE(DifferenceMap(diff.frame, out.frame, 0, 20, 40, a.frame, b.frame, colour, 0, {}));
  EXPECT_EQ(Span(out.frame.Data, 3), (std::vector<uint8_t>{0, 128, 128}));

  ASSERT_TRUE(MaskedHighlight(diff.frame, out.frame, colour, mask, 3));
  EXPECT_EQ(out.frame.SamplingFormat, RGB_444);
  EXPECT_FALSE(MaskedHighlight(diff.frame, out.frame, colour, {}, 3)) << "no mask, nothing written";

  std::array<int, 256> counts{};
  int lo = 0, hi = 0;
  ASSERT_TRUE(LumaHistogram(diff.frame, counts, lo, hi));
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 170);
  EXPECT_EQ(counts[10], 1);

  BlockGrid grid;
  ASSERT_TRUE(BlockSums(diff.frame, 1, grid, lo, hi, 2));
  EXPECT_EQ(grid[0][1], 10 + 30 + 50 + 70);
  EXPECT_EQ(lo, 0) << "unused cells count as 0";
  EXPECT_FALSE(BlockSums(diff.frame, 1, grid, lo, hi, 0));
  EXPECT_FALSE(BlockSums(diff.frame, 1, grid, lo, hi, 33));
  ASSERT_TRUE(BlockSums(diff.frame, 0, grid, lo, hi, 0));
  EXPECT_EQ(grid[1][8], 170);
}

}  // namespace
}  // namespace vx
