// The samples under the pointer, read from frames of every layout.
#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <vector>

#include "PixelTestSupport.h"
#include "image/PixelProbe.h"
#include "image/SampleStorage.h"

namespace vx {
namespace {

using test::Describe;
using test::Layout;
using test::TestFrame;

constexpr int32_t kW = 10, kH = 8;

// Y differs at every pixel; U and V are equal over each 2 x 4 block, so every
// sampling and field format keeps them exactly.
std::array<uint8_t, 3> PixelOf(int32_t x, int32_t y) {
  return {static_cast<uint8_t>(16 + 3 * x + 29 * y), static_cast<uint8_t>(40 + 7 * (x / 2) + 50 * (y / 4)),
          static_cast<uint8_t>(200 - 11 * (x / 2) - 30 * (y / 4))};
}

TestFrame CanonicalPicture() {
  TestFrame picture(Layout(YUV_444, YUV, Progressive, Packed, kW, kH), 0);
  for (int32_t y = 0; y < kH; ++y) {
    for (int32_t x = 0; x < kW; ++x) {
      const auto p = PixelOf(x, y);
      std::copy(p.begin(), p.end(), picture.frame.Data + 3 * (y * kW + x));
    }
  }
  return picture;
}

void ExpectEveryPixel(const FrameImage& frame, int shift, const std::string& what) {
  for (int32_t y = 0; y < kH; ++y) {
    for (int32_t x = 0; x < kW; ++x) {
      const auto samples = SamplesAt(frame, x, y);
      ASSERT_TRUE(samples) << what << " at " << x << ", " << y;
      const auto p = PixelOf(x, y);
      ASSERT_EQ(samples->values, (std::array<uint32_t, 3>{uint32_t{p[0]} << shift, uint32_t{p[1]} << shift,
                                                          uint32_t{p[2]} << shift}))
          << what << " at " << x << ", " << y;
    }
  }
}

TEST(PixelProbe, EveryYuvLayoutGivesThePicturesSamples) {
  for (const ImageFormat& layout : test::ValidYuvLayouts(kW, kH)) {
    TestFrame picture = CanonicalPicture(), frame(layout, 1);
    ASSERT_TRUE(FromCanonical444Reference(picture.frame, frame.frame)) << Describe(layout);
    ExpectEveryPixel(frame.frame, 0, Describe(layout));
    if (layout.PixelFormat != Planar || layout.ComponentOrder == UYV) continue;
    // The same frame semi-planar, and in 10 and 16-bit words.
    for (const int32_t pixel : {Planar, SemiPlanar}) {
      for (const int32_t bits : {8, 10, 16}) {
        ImageFormat stored = layout;
        stored.PixelFormat = pixel;
        stored.BitsPerSample = bits;
        FrameBuffer buffer;
        ASSERT_TRUE(buffer.Allocate(2 * frame.frame.DataSize));
        FrameImage rewritten = buffer.Frame(stored);
        ASSERT_TRUE(ConvertSamples(frame.frame, rewritten)) << Describe(stored);
        ExpectEveryPixel(rewritten, bits - 8, Describe(stored) + " bits " + std::to_string(bits));
      }
    }
  }
}

TEST(PixelProbe, NamesTheChromaSampleAndRgbAndMonoComponents) {
  const ImageFormat progressive = Layout(YUV_420, YUV, Progressive, Planar, kW, kH);
  const ImageFormat interlaced = Layout(YUV_420, YUV, Interlaced, Planar, kW, kH);
  TestFrame a(progressive, 1), b(interlaced, 2);
  const auto p = SamplesAt(a.frame, 5, 3), i = SamplesAt(b.frame, 5, 3);
  ASSERT_TRUE(p && i);
  EXPECT_EQ(DescribeSamples(*p, 5, 3, true).substr(0, 10), "x 5  y 3  ");
  EXPECT_EQ(p->chromaColumn, 2);
  EXPECT_EQ(p->chromaRow, 1);
  // Row 3 is row 1 of field 2, whose chroma row 0 is the frame's chroma row 1.
  EXPECT_EQ(i->chromaRow, 1);
  const auto i6 = SamplesAt(b.frame, 5, 6);  // row 3 of field 1: its chroma row 1, the frame's 2
  ASSERT_TRUE(i6);
  EXPECT_EQ(i6->chromaRow, 2);

  // B G R bytes of a 2 x 1 picture, and the same as R G B planes.
  std::vector<uint8_t> bgr = {1, 2, 3, 4, 5, 6};
  FrameImage rgb;
  static_cast<ImageFormat&>(rgb) = Layout(RGB_444, BGR, Progressive, Packed, 2, 1);
  rgb.Data = bgr.data();
  rgb.Capacity = rgb.DataSize = 6;
  const auto second = SamplesAt(rgb, 1, 0);
  ASSERT_TRUE(second);
  EXPECT_TRUE(second->rgb);
  EXPECT_EQ(DescribeSamples(*second, 1, 0, false), "x 1  y 0  R 6  G 5  B 4");
  static_cast<ImageFormat&>(rgb) = Layout(RGB_444, RGB, Progressive, Planar, 2, 1);
  EXPECT_EQ(DescribeSamples(*SamplesAt(rgb, 1, 0), 1, 0, false), "x 1  y 0  R 2  G 4  B 6");

  // Mono of 12 bits: one component.
  std::vector<uint8_t> words = {0x34, 0x02, 0xFF, 0x0F};
  FrameImage grey;
  static_cast<ImageFormat&>(grey) = Layout(MONO, YUV, Progressive, Planar, 2, 1);
  grey.BitsPerSample = 12;
  grey.Data = words.data();
  grey.Capacity = grey.DataSize = 4;
  EXPECT_EQ(DescribeSamples(*SamplesAt(grey, 1, 0), 1, 0, false), "x 1  y 0  Y 4095");
  EXPECT_EQ(DescribeSamples(*SamplesAt(grey, 0, 0), 0, 0, false), "x 0  y 0  Y 564");

  // Subsampled text names the chroma sample.
  EXPECT_EQ(
      DescribeSamples(PixelSamples{.values = {1, 2, 3}, .chromaColumn = 4, .chromaRow = 5}, 9, 11, true),
      "x 9  y 11  Y 1  U 2  V 3 (chroma 4, 5)");
}

TEST(PixelProbe, ALastColumnOrRowWithoutChromaShowsTheChromaBesideIt) {
  // 5 x 3 I420: Y 1..15, U 16..17, V 18..19 (one chroma row of two columns).
  std::vector<uint8_t> bytes(20);
  std::iota(bytes.begin(), bytes.end(), uint8_t{1});
  FrameImage f;
  static_cast<ImageFormat&>(f) = Layout(YUV_420, YUV, Progressive, Planar, 5, 3);
  f.Data = bytes.data();
  f.Capacity = f.DataSize = 20;
  const auto corner = SamplesAt(f, 4, 2);
  ASSERT_TRUE(corner);
  EXPECT_EQ(DescribeSamples(*corner, 4, 2, true), "x 4  y 2  Y 15  U 17  V 19 (chroma 1, 0)");

  // 5 x 1 packed U Y V: the last pixel's half group has no V; group 1 gives both.
  static_cast<ImageFormat&>(f) = Layout(YUV_422, UYV, Progressive, Packed, 5, 2);
  f.Capacity = f.DataSize = 20;
  const auto last = SamplesAt(f, 4, 0);
  ASSERT_TRUE(last);
  EXPECT_EQ(DescribeSamples(*last, 4, 0, true), "x 4  y 0  Y 10  U 5  V 7 (chroma 1, 0)");
}

TEST(PixelProbe, NothingOutsideThePictureOrPastTheBytes) {
  TestFrame a(Layout(YUV_422, UYV, Progressive, Packed, kW, kH), 1);
  EXPECT_FALSE(SamplesAt(a.frame, -1, 0));
  EXPECT_FALSE(SamplesAt(a.frame, 0, -1));
  EXPECT_FALSE(SamplesAt(a.frame, kW, 0));
  EXPECT_FALSE(SamplesAt(a.frame, 0, kH));
  EXPECT_TRUE(SamplesAt(a.frame, kW - 1, kH - 1));
  a.frame.DataSize -= 1;  // the last group is cut
  EXPECT_FALSE(SamplesAt(a.frame, kW - 1, kH - 1));
  EXPECT_TRUE(SamplesAt(a.frame, kW - 3, kH - 1));
  FrameImage none = a.frame;
  none.Data = nullptr;
  EXPECT_FALSE(SamplesAt(none, 0, 0));
}

}  // namespace
}  // namespace vx
