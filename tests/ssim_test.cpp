#include "image/Ssim.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "image/FrameImage.h"
#include "image/SampleStorage.h"

namespace vx {
namespace {

std::vector<uint8_t> RandomSamples(size_t n, uint32_t seed, int top = 255) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> value(0, top);
  std::vector<uint8_t> out(n);
  for (uint8_t& v : out) v = static_cast<uint8_t>(value(random));
  return out;
}

std::vector<uint16_t> Widened(const std::vector<uint8_t>& samples) {
  return {samples.begin(), samples.end()};
}

TEST(PlaneSsim, WindowsOfEightByEightOnAFourSampleGridAndBothEnds) {
  EXPECT_EQ(SsimWindows(8, 8), 1);
  EXPECT_EQ(SsimWindows(11, 11), 1);
  EXPECT_EQ(SsimWindows(12, 8), 2);
  EXPECT_EQ(SsimWindows(66, 50), 15 * 11);
  EXPECT_EQ(SsimWindows(7, 64), 0);
  EXPECT_EQ(SsimWindows(64, 7), 0);

  const std::vector<uint8_t> a = RandomSamples(64, 1), b = RandomSamples(64, 2);
  EXPECT_EQ(PlaneSsim(a.data(), a.data(), 8, 8, 8), 1.0) << "identical planes";
  EXPECT_EQ(PlaneSsim(Widened(a).data(), Widened(a).data(), 8, 8, 8, 16), 1.0);
  EXPECT_TRUE(std::isnan(PlaneSsim(a.data(), b.data(), 8, 7, 8))) << "no window";
  EXPECT_TRUE(std::isnan(PlaneSsim(Widened(a).data(), Widened(b).data(), 8, 8, 7, 10)));

  // One window of constant planes: (8192ab + c1) / (4096(a^2 + b^2) + c1), c1 = 416.
  const std::vector<uint8_t> hundred(64, 100), fifty(64, 50);
  EXPECT_NEAR(PlaneSsim(hundred.data(), fifty.data(), 8, 8, 8), 40960416.0 / 51200416.0, 1e-7);
  // 10 bits: c1 = (0.01 x 1023)^2 x 64 rounded, 6698.
  const std::vector<uint16_t> high(64, 400), low(64, 200);
  EXPECT_NEAR(PlaneSsim(high.data(), low.data(), 8, 8, 8, 10),
              (2.0 * 25600 * 12800 + 6698) / (25600.0 * 25600 + 12800.0 * 12800 + 6698), 1e-7);
}

TEST(PlaneSsim, SamplesBeyondTheLastWholeBlockAndTheStrideDoNotCount) {
  // 10 x 9 samples in rows of 16: the last 2 columns, the last row and the
  // stride's gap hold no whole block.
  const std::vector<uint8_t> a = RandomSamples(16 * 9, 3), b = RandomSamples(16 * 9, 4);
  std::vector<uint8_t> a2 = a, b2 = b;
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 16; ++x) {
      if (x >= 8 || y >= 8) a2[y * 16 + x] = static_cast<uint8_t>(255 - a2[y * 16 + x]);
    }
  }
  const double value = PlaneSsim(a.data(), b.data(), 16, 10, 9);
  EXPECT_LT(value, 0.5);
  EXPECT_EQ(PlaneSsim(a2.data(), b2.data(), 16, 10, 9), value);
  EXPECT_EQ(PlaneSsim(a.data(), b.data(), 16, 8, 8), value);
}

TEST(PlaneSsim, TheDeepPathGivesTheEightBitValuesOfEightBitSamples) {
  // A row of one window sums to that window's float in either path: equal doubles.
  for (int rows : {8, 12, 40}) {
    const std::vector<uint8_t> a = RandomSamples(size_t{11} * rows, 5),
                               b = RandomSamples(size_t{11} * rows, 6);
    EXPECT_EQ(PlaneSsim(Widened(a).data(), Widened(b).data(), 11, 11, rows, 8),
              PlaneSsim(a.data(), b.data(), 11, 11, rows))
        << rows;
  }
  // Longer rows: the deep path adds a row in single precision, the 8-bit one in double.
  const std::vector<uint8_t> a = RandomSamples(64 * 32, 7), b = RandomSamples(64 * 32, 8);
  EXPECT_NEAR(PlaneSsim(Widened(a).data(), Widened(b).data(), 64, 64, 32, 8),
              PlaneSsim(a.data(), b.data(), 64, 64, 32), 1e-6);
}

// Frames of one 4:2:2 or 4:2:0 picture in several layouts.
FrameImage FrameOf(std::vector<uint8_t>& bytes, const ImageFormat& layout) {
  FrameImage f;
  static_cast<ImageFormat&>(f) = layout;
  ComputeFrameSize(f);
  bytes.resize(static_cast<size_t>(f.DataSize));
  f.Data = bytes.data();
  f.Capacity = f.DataSize;
  return f;
}

// 16 x 12 pictures; 4:2:0 ones 16 x 16, whose chroma holds two windows.
ImageFormat Layout(int32_t sampling, int32_t order, int32_t pixel, int bits = 8) {
  ImageFormat f;
  SetLayoutAndSize(f,
                   {.sampling = sampling, .order = order, .field = Progressive, .pixel = pixel, .bits = bits},
                   16, sampling == YUV_420 ? 16 : 12);
  return f;
}

void ExpectSameSsim(const FrameImage& a1, const FrameImage& b1, const FrameImage& a2, const FrameImage& b2) {
  FrameSsim one, two;
  ASSERT_TRUE(MeasureFrameSsim(a1, b1, one));
  ASSERT_TRUE(MeasureFrameSsim(a2, b2, two));
  EXPECT_EQ(one.planes, 3);
  EXPECT_EQ(one.plane, two.plane);
  EXPECT_EQ(one.all, two.all);
  EXPECT_LT(one.all, 0.9);
}

TEST(FrameSsim, EveryLayoutGivesThePlanesOfItsPicture) {
  // Planar 4:2:2 (Y, U, V planes) against YUYV, YVYU and UYVY of the same samples.
  std::vector<uint8_t> pa = RandomSamples(16 * 12 * 2, 9), pb = RandomSamples(16 * 12 * 2, 10);
  const FrameImage planarA = FrameOf(pa, Layout(YUV_422, YUV, Planar));
  const FrameImage planarB = FrameOf(pb, Layout(YUV_422, YUV, Planar));
  for (int32_t order : {YUV, YVU, UYV}) {
    SCOPED_TRACE(order);
    std::vector<uint8_t> ka, kb;
    FrameImage packedA = FrameOf(ka, Layout(YUV_422, order, Packed));
    FrameImage packedB = FrameOf(kb, Layout(YUV_422, order, Packed));
    for (int i = 0; i < 16 * 12 / 2; ++i) {
      for (auto [packed, planar] : {std::pair{&ka, &pa}, std::pair{&kb, &pb}}) {
        const uint8_t y0 = (*planar)[2 * i], y1 = (*planar)[2 * i + 1];
        const uint8_t u = (*planar)[192 + i], v = (*planar)[192 + 96 + i];
        const uint8_t group[3][4] = {{y0, u, y1, v}, {y0, v, y1, u}, {u, y0, v, y1}};
        std::copy(group[order], group[order] + 4, packed->begin() + 4 * i);
      }
    }
    ExpectSameSsim(planarA, planarB, packedA, packedB);
  }
  // I420 against NV12, and 10-bit planar against P010.
  std::vector<uint8_t> ia = RandomSamples(16 * 16 * 3 / 2, 11), ib = RandomSamples(16 * 16 * 3 / 2, 12);
  std::vector<uint8_t> na, nb, da, db, sa, sb;
  const FrameImage i420A = FrameOf(ia, Layout(YUV_420, YUV, Planar));
  const FrameImage i420B = FrameOf(ib, Layout(YUV_420, YUV, Planar));
  FrameImage nv12A = FrameOf(na, Layout(YUV_420, YUV, SemiPlanar));
  FrameImage nv12B = FrameOf(nb, Layout(YUV_420, YUV, SemiPlanar));
  ASSERT_TRUE(ConvertSamples(i420A, nv12A));
  ASSERT_TRUE(ConvertSamples(i420B, nv12B));
  ExpectSameSsim(i420A, i420B, nv12A, nv12B);
  FrameImage deepA = FrameOf(da, Layout(YUV_420, YUV, Planar, 10));
  FrameImage deepB = FrameOf(db, Layout(YUV_420, YUV, Planar, 10));
  FrameImage p010A = FrameOf(sa, Layout(YUV_420, YUV, SemiPlanar, 10));
  FrameImage p010B = FrameOf(sb, Layout(YUV_420, YUV, SemiPlanar, 10));
  ASSERT_TRUE(ConvertSamples(i420A, deepA) && ConvertSamples(i420B, deepB));
  ASSERT_TRUE(ConvertSamples(deepA, p010A) && ConvertSamples(deepB, p010B));
  ExpectSameSsim(deepA, deepB, p010A, p010B);

  // Mono: one plane, All equal to it; frames of other layouts are not measured.
  std::vector<uint8_t> ma = RandomSamples(16 * 12, 13), mb = RandomSamples(16 * 12, 14);
  FrameSsim mono;
  ASSERT_TRUE(
      MeasureFrameSsim(FrameOf(ma, Layout(MONO, YUV, Planar)), FrameOf(mb, Layout(MONO, YUV, Planar)), mono));
  EXPECT_EQ(mono.planes, 1);
  EXPECT_EQ(mono.all, mono.plane[0]);
  FrameSsim none;
  EXPECT_FALSE(MeasureFrameSsim(i420A, nv12B, none));
  ImageFormat small = Layout(YUV_420, YUV, Planar);
  EXPECT_TRUE(SsimPlanesLargeEnough(small));
  small.ImgHeight = 12;  // 8 x 6 chroma
  EXPECT_FALSE(SsimPlanesLargeEnough(small));
}

}  // namespace
}  // namespace vx
