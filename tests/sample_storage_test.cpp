// Semi-planar chroma and deeper samples rewritten between stored layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "PixelTestSupport.h"
#include "TestSupport.h"
#include "image/ImageFormat.h"
#include "image/PixelOps.h"
#include "image/SampleStorage.h"

namespace vx {
namespace {

using Values = std::vector<uint16_t>;
using Bytes = std::vector<uint8_t>;

ImageFormat Stored(int32_t sampling, int32_t order, int32_t field, int32_t pixel, int32_t w, int32_t h,
                   int32_t bits = 8) {
  ImageFormat f = test::PlainLayout(sampling, order, field, pixel, w, h);
  f.BitsPerSample = bits;
  return f;
}

ImageFormat I420(int32_t w, int32_t h, int32_t bits = 8, int32_t field = Progressive) {
  return Stored(YUV_420, YUV, field, Planar, w, h, bits);
}
ImageFormat Nv12(int32_t w, int32_t h, int32_t bits = 8, int32_t field = Progressive) {
  return Stored(YUV_420, YUV, field, SemiPlanar, w, h, bits);
}
ImageFormat Mono(int32_t w, int32_t bits) {
  return Stored(MONO, YUV, Progressive, Planar, w, 1, bits);
}

// Samples as a layout of `bits` stores them: one byte each at 8 bits, otherwise
// 16-bit little-endian words, the value in the high bits when semi-planar.
Bytes Encode(const Values& values, int bits, bool semiPlanar = false) {
  Bytes bytes;
  const int shift = bits > 8 && semiPlanar ? 16 - bits : 0;
  for (const uint16_t v : values) {
    if (bits == 8) {
      bytes.push_back(static_cast<uint8_t>(v));
      continue;
    }
    const uint32_t word = uint32_t{v} << shift;
    bytes.push_back(static_cast<uint8_t>(word));
    bytes.push_back(static_cast<uint8_t>(word >> 8));
  }
  return bytes;
}

// 16-bit little-endian words exactly as given.
Bytes RawWords(const Values& words) {
  return Encode(words, 16);
}

Values Join(std::initializer_list<Values> pieces) {
  Values all;
  for (const Values& p : pieces) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// U0 V0 U1 V1 ...
Values Interleave(const Values& first, const Values& second) {
  Values pairs;
  for (size_t i = 0; i < first.size(); ++i) pairs.insert(pairs.end(), {first[i], second[i]});
  return pairs;
}

Values Counting(uint16_t from, size_t count) {
  Values v(count);
  for (size_t i = 0; i < count; ++i) v[i] = static_cast<uint16_t>(from + i);
  return v;
}

constexpr uint8_t kStale = 0xEE;  // what the destination held before

// The destination's bytes after ConvertSamples (its buffer full of kStale
// beforehand); nullopt when it refuses.
std::optional<Bytes> Converted(const ImageFormat& from, Bytes bytes, const ImageFormat& to) {
  EXPECT_EQ(static_cast<int64_t>(bytes.size()), FrameSizeOf(from)) << "test data of the wrong size";
  FrameImage source;
  static_cast<ImageFormat&>(source) = from;
  source.Data = bytes.data();
  source.DataSize = static_cast<int32_t>(bytes.size());
  source.Capacity = static_cast<int64_t>(bytes.size());
  Bytes out(static_cast<size_t>(std::max(FrameSizeOf(to), 1)), kStale);
  FrameImage destination;
  static_cast<ImageFormat&>(destination) = to;
  destination.Data = out.data();
  destination.Capacity = static_cast<int64_t>(out.size());
  if (!ConvertSamples(source, destination)) return std::nullopt;
  EXPECT_EQ(destination.DataSize, FrameSizeOf(to)) << "the destination's size is set";
  return out;
}

// A pair of layouts holding the same samples, converted both ways at 8, 10, 12
// and 16 bits (same depth on both sides).
void ExpectSameSamples(const ImageFormat& planar, const Values& planarValues, const ImageFormat& semi,
                       const Values& semiValues, const std::string& name) {
  for (const int bits : kBitDepths) {
    ImageFormat p = planar, s = semi;
    p.BitsPerSample = s.BitsPerSample = bits;
    const bool pSemi = p.PixelFormat == SemiPlanar, sSemi = s.PixelFormat == SemiPlanar;
    EXPECT_EQ(Converted(p, Encode(planarValues, bits, pSemi), s), Encode(semiValues, bits, sSemi))
        << name << " at " << bits << " bits";
    EXPECT_EQ(Converted(s, Encode(semiValues, bits, sSemi), p), Encode(planarValues, bits, pSemi))
        << name << " back at " << bits << " bits";
  }
}

TEST(ConvertSamples, ChromaPlanesBecomePairsInEitherOrder) {
  // 4 x 2 4:2:0: Y 1..8, U 21 22, V 31 32.
  const Values y = Counting(1, 8), u = {21, 22}, v = {31, 32};
  ExpectSameSamples(I420(4, 2), Join({y, u, v}), Nv12(4, 2), Join({y, Interleave(u, v)}), "I420 - NV12");
  ExpectSameSamples(I420(4, 2), Join({y, u, v}), Stored(YUV_420, YVU, Progressive, SemiPlanar, 4, 2),
                    Join({y, Interleave(v, u)}), "I420 - NV21");
  ExpectSameSamples(Stored(YUV_420, YVU, Progressive, Planar, 4, 2), Join({y, v, u}), Nv12(4, 2),
                    Join({y, Interleave(u, v)}), "YV12 - NV12");
  ExpectSameSamples(Stored(YUV_420, YVU, Progressive, Planar, 4, 2), Join({y, v, u}),
                    Stored(YUV_420, YUV, Progressive, Planar, 4, 2), Join({y, u, v}), "YV12 - I420");
  ExpectSameSamples(Nv12(4, 2), Join({y, Interleave(u, v)}),
                    Stored(YUV_420, YVU, Progressive, SemiPlanar, 4, 2), Join({y, Interleave(v, u)}),
                    "NV12 - NV21");
}

TEST(ConvertSamples, FourTwoTwoAndFourFourFourPairsAtOddWidths) {
  // NV16 4 x 2: every row has its chroma pairs.
  const Values y = Counting(1, 8), u = {21, 22, 23, 24}, v = {31, 32, 33, 34};
  ExpectSameSamples(Stored(YUV_422, YUV, Progressive, Planar, 4, 2), Join({y, u, v}),
                    Stored(YUV_422, YUV, Progressive, SemiPlanar, 4, 2), Join({y, Interleave(u, v)}), "NV16");
  ExpectSameSamples(Stored(YUV_422, YUV, Progressive, Planar, 4, 2), Join({y, u, v}),
                    Stored(YUV_422, YVU, Progressive, SemiPlanar, 4, 2), Join({y, Interleave(v, u)}), "NV61");
  // NV24 3 x 3: an odd width and height keep every sample.
  const Values y9 = Counting(1, 9), u9 = Counting(101, 9), v9 = Counting(201, 9);
  ExpectSameSamples(Stored(YUV_444, YUV, Progressive, Planar, 3, 3), Join({y9, u9, v9}),
                    Stored(YUV_444, YUV, Progressive, SemiPlanar, 3, 3), Join({y9, Interleave(u9, v9)}),
                    "NV24");
  ExpectSameSamples(Stored(YUV_444, YUV, Progressive, Planar, 3, 3), Join({y9, u9, v9}),
                    Stored(YUV_444, YVU, Progressive, SemiPlanar, 3, 3), Join({y9, Interleave(v9, u9)}),
                    "NV42");
  // Planar 4:4:4 stores U, Y, V for the order UYV.
  ExpectSameSamples(Stored(YUV_444, UYV, Progressive, Planar, 3, 3), Join({u9, y9, v9}),
                    Stored(YUV_444, YUV, Progressive, SemiPlanar, 3, 3), Join({y9, Interleave(u9, v9)}),
                    "UYV planar - NV24");
}

TEST(ConvertSamples, InterlacedSemiPlanarHoldsEachFieldAsAPicture) {
  // 4 x 4 4:2:0: field 1 (rows 0, 2) is a 4 x 2 picture, Y then chroma, then field 2.
  const Values y1 = Counting(1, 8), u1 = {21, 22}, v1 = {31, 32};
  const Values y2 = Counting(41, 8), u2 = {61, 62}, v2 = {71, 72};
  ExpectSameSamples(I420(4, 4, 8, Interlaced), Join({y1, u1, v1, y2, u2, v2}), Nv12(4, 4, 8, Interlaced),
                    Join({y1, Interleave(u1, v1), y2, Interleave(u2, v2)}), "interlaced NV12");
  ExpectSameSamples(I420(4, 4, 8, Interlaced), Join({y1, u1, v1, y2, u2, v2}),
                    Stored(YUV_420, YVU, Interlaced, SemiPlanar, 4, 4),
                    Join({y1, Interleave(v1, u1), y2, Interleave(v2, u2)}), "interlaced NV21");
  // 2 x 3 4:2:2: field 1 takes the extra row of the odd height.
  const Values ya = Counting(1, 4), ua = {11, 12}, va = {21, 22};
  const Values yb = Counting(31, 2), ub = {41}, vb = {51};
  ExpectSameSamples(Stored(YUV_422, YUV, Interlaced, Planar, 2, 3), Join({ya, ua, va, yb, ub, vb}),
                    Stored(YUV_422, YUV, Interlaced, SemiPlanar, 2, 3),
                    Join({ya, Interleave(ua, va), yb, Interleave(ub, vb)}), "interlaced NV16, odd height");
}

TEST(ConvertSamples, SemiPlanarDeepSamplesSitInTheHighBits) {
  // yuv420p10le 2 x 2 and P010: the same values, low bits against high bits.
  const Values y = {0, 1, 512, 1023}, u = {700}, v = {3};
  const Bytes planar = RawWords(Join({y, u, v}));
  const Bytes p010 = {0x00, 0x00, 0x40, 0x00, 0x00, 0x80, 0xC0, 0xFF, 0x00, 0xAF, 0xC0, 0x00};
  EXPECT_EQ(Converted(I420(2, 2, 10), planar, Nv12(2, 2, 10)), p010);
  EXPECT_EQ(Converted(Nv12(2, 2, 10), p010, I420(2, 2, 10)), planar);
  // The six low bits of a P010 word are not part of the sample.
  EXPECT_EQ(
      Converted(Nv12(2, 2, 10), RawWords({0x003F, 0x007F, 0x803F, 0xFFFF, 0xAF3F, 0x00FF}), I420(2, 2, 10)),
      planar);
  // P012 keeps four bits below the sample, P016 none.
  EXPECT_EQ(Converted(I420(2, 2, 12), RawWords({0, 1, 2048, 4095, 2800, 12}), Nv12(2, 2, 12)),
            RawWords({0, 0x10, 0x8000, 0xFFF0, 0xAF00, 0xC0}));
  EXPECT_EQ(Converted(I420(2, 2, 16), RawWords({0, 1, 0x8000, 0xFFFF, 0x1234, 0xFEDC}), Nv12(2, 2, 16)),
            RawWords({0, 1, 0x8000, 0xFFFF, 0x1234, 0xFEDC}));
  // P010 straight to 8-bit I420: the chroma pair is split and rounded too.
  EXPECT_EQ(Converted(Nv12(2, 2, 10), p010, I420(2, 2, 8)), (Bytes{0, 0, 128, 255, 175, 1}));
  // And 8-bit NV12 to P010.
  EXPECT_EQ(Converted(Nv12(2, 2, 8), Bytes{0, 1, 128, 255, 175, 1}, Nv12(2, 2, 10)),
            Encode({0, 4, 512, 1020, 700, 4}, 10, true));
}

TEST(ConvertSamples, DepthChangesShiftUpAndRoundDownWithClipping) {
  struct Case {
    int from, to;
    Values in, out;
  } cases[] = {
      // Up: a plain shift, so the top value does not reach the new top.
      {8, 10, {0, 1, 128, 255}, {0, 4, 512, 1020}},
      {8, 16, {0, 1, 255}, {0, 256, 65280}},
      {10, 12, {0, 1023}, {0, 4092}},
      // Down: half of the dropped step rounds up; the top would reach 2^B and is clipped.
      {10, 8, {0, 1, 2, 5, 6, 1021, 1022, 1023}, {0, 0, 1, 1, 2, 255, 255, 255}},
      {12, 8, {7, 8, 24, 4087, 4088, 4095}, {0, 1, 2, 255, 255, 255}},
      {16, 8, {127, 128, 65407, 65408, 65535}, {0, 1, 255, 255, 255}},
      {16, 10, {31, 32, 65535}, {0, 1, 1023}},
      {12, 10, {1, 2, 4093, 4094, 4095}, {0, 1, 1023, 1023, 1023}},
      // A stored value above the depth (bits set above it) is clipped to the top.
      {10, 10, {1023, 1024, 65535}, {1023, 1023, 1023}},
      {10, 12, {1024, 65535}, {4095, 4095}},
      {10, 8, {1024, 65535}, {255, 255}},
      {12, 16, {4096}, {65535}},
      {16, 16, {0, 65535}, {0, 65535}},
      {8, 8, {0, 255}, {0, 255}},
  };
  for (const Case& c : cases) {
    const auto width = static_cast<int32_t>(c.in.size());
    EXPECT_EQ(Converted(Mono(width, c.from), Encode(c.in, c.from), Mono(width, c.to)), Encode(c.out, c.to))
        << c.from << " -> " << c.to << " bits";
  }
  // The same rules for chroma, through a change of packing.
  EXPECT_EQ(Converted(I420(2, 2, 12), RawWords({8, 24, 4088, 4095, 23, 4096}), Nv12(2, 2, 8)),
            (Bytes{1, 2, 255, 255, 1, 255}));
}

TEST(ConvertSamples, BytesTheLayoutLeavesUnusedAreZero) {
  // Interlaced 4:2:0 of a height that is no multiple of 4: each field is 4 x 3
  // with one chroma row, 16 samples; the frame's last 4 samples belong to none.
  const Values y1 = Counting(1, 12), u1 = {13, 14}, v1 = {15, 16};
  const Values y2 = Counting(17, 12), u2 = {29, 30}, v2 = {31, 32};
  const Values spare = {33, 34, 35, 36};
  for (const int bits : {8, 10}) {
    const auto zeros = Values(4, 0);
    EXPECT_EQ(Converted(I420(4, 6, bits, Interlaced), Encode(Join({y1, u1, v1, y2, u2, v2, spare}), bits),
                        Nv12(4, 6, bits, Interlaced)),
              Encode(Join({y1, Interleave(u1, v1), y2, Interleave(u2, v2), zeros}), bits, true))
        << bits << " bits";
    EXPECT_EQ(Converted(Nv12(4, 6, bits, Interlaced),
                        Encode(Join({y1, Interleave(u1, v1), y2, Interleave(u2, v2), spare}), bits, true),
                        I420(4, 6, bits, Interlaced)),
              Encode(Join({y1, u1, v1, y2, u2, v2, zeros}), bits))
        << bits << " bits";
  }
  // 5 x 2 4:2:0: (3WH) >> 1 is 15 samples, the planes hold 10 + 2 + 2.
  EXPECT_EQ(Converted(I420(5, 2), Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 99}, Nv12(5, 2)),
            (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 12, 14, 0}));
}

TEST(ConvertSamples, DeepRoundTripsKeepEverySample) {
  const ImageFormat planar = Stored(YUV_420, YVU, Interlaced, Planar, 16, 8, 10);
  Values values(static_cast<size_t>(FrameSizeOf(planar) / 2));
  const Bytes random = test::RandomBytes(values.size() * 2, 7);
  for (size_t i = 0; i < values.size(); ++i)
    values[i] = static_cast<uint16_t>((random[2 * i] << 8 | random[2 * i + 1]) & 1023);
  const Bytes original = Encode(values, 10);
  for (const ImageFormat& middle : {Nv12(16, 8, 10, Interlaced), Nv12(16, 8, 16, Interlaced),
                                    Stored(YUV_420, YUV, Interlaced, Planar, 16, 8, 12)}) {
    const auto there = Converted(planar, original, middle);
    ASSERT_TRUE(there) << middle.BitsPerSample;
    EXPECT_EQ(Converted(middle, *there, planar), original) << middle.BitsPerSample;
  }
}

TEST(ConvertSamples, RefusesPairsItCannotTakeAndBuffersTooSmall) {
  FrameImage source, destination;
  Bytes bytes(12, 1), out(12, kStale);
  auto reset = [&] {
    static_cast<ImageFormat&>(source) = I420(4, 2);
    source.Data = bytes.data();
    source.DataSize = 12;
    source.Capacity = 12;
    static_cast<ImageFormat&>(destination) = Nv12(4, 2);
    destination.Data = out.data();
    destination.Capacity = 12;
  };
  reset();
  EXPECT_TRUE(ConvertSamples(source, destination));
  std::fill(out.begin(), out.end(), kStale);
  reset();
  destination.Capacity = 11;
  EXPECT_FALSE(ConvertSamples(source, destination)) << "destination too small";
  reset();
  destination.BitsPerSample = 10;
  EXPECT_FALSE(ConvertSamples(source, destination)) << "10 bits need 24 bytes";
  reset();
  source.DataSize = 11;
  EXPECT_FALSE(ConvertSamples(source, destination)) << "source holds less than a frame";
  reset();
  source.Capacity = 11;
  EXPECT_FALSE(ConvertSamples(source, destination)) << "source buffer less than a frame";
  reset();
  source.Data = nullptr;
  EXPECT_FALSE(ConvertSamples(source, destination));
  reset();
  destination.Data = nullptr;
  EXPECT_FALSE(ConvertSamples(source, destination));
  reset();
  destination.SamplingFormat = YUV_422;
  EXPECT_FALSE(ConvertSamples(source, destination)) << "not convertible";
  EXPECT_EQ(out, Bytes(12, kStale)) << "every refusal leaves the destination alone";
}

TEST(SamplesConvertible, OnlyUnpackedYuvOfOneSamplingOrMonoToMono) {
  const ImageFormat nv12 = Nv12(4, 2, 10);
  EXPECT_TRUE(SamplesConvertible(I420(4, 2), nv12));
  EXPECT_TRUE(SamplesConvertible(Mono(4, 8), Mono(4, 16)));
  EXPECT_TRUE(SamplesConvertible(Stored(MONO, YUV, Progressive, Packed, 4, 1, 10), Mono(4, 12)))
      << "mono's packing is no packing";
  EXPECT_TRUE(SamplesConvertible(Stored(YUV_444, UYV, Progressive, Planar, 3, 3),
                                 Stored(YUV_444, YVU, Progressive, SemiPlanar, 3, 3, 16)));
  struct Case {
    ImageFormat from, to;
    const char* why;
  } cases[] = {
      {I420(4, 2), I420(6, 2), "widths differ"},
      {I420(4, 2), I420(4, 4), "heights differ"},
      {I420(4, 4, 8, Interlaced), Nv12(4, 4), "field formats differ"},
      {Stored(YUV_420, YUV, 2, Planar, 4, 2), Stored(YUV_420, YUV, 2, SemiPlanar, 4, 2), "no field format"},
      {I420(4, 2), Stored(YUV_422, YUV, Progressive, SemiPlanar, 4, 2), "samplings differ"},
      {Mono(4, 8), Stored(YUV_444, YUV, Progressive, Planar, 4, 1), "mono to YUV"},
      {Stored(YUV_444, YUV, Progressive, Planar, 4, 1), Mono(4, 8), "YUV to mono"},
      {Stored(YUV_422, YUV, Progressive, Packed, 4, 2), Stored(YUV_422, YUV, Progressive, SemiPlanar, 4, 2),
       "packed YUV"},
      {Stored(YUV_444, YUV, Progressive, Planar, 4, 2), Stored(YUV_444, UYV, Progressive, Packed, 4, 2),
       "packed 4:4:4"},
      {Stored(YUV_420, UYV, Progressive, Planar, 4, 2), nv12, "UYV planes of 4:2:0"},
      {Stored(RGB_444, RGB, Progressive, Planar, 4, 2), Stored(RGB_444, RGB, Progressive, Planar, 4, 2),
       "RGB"},
      {Stored(BMP, RGB, Progressive, Planar, 4, 2), Stored(BMP, RGB, Progressive, Planar, 4, 2), "BMP"},
      {Stored(YUV_420, YUV, Progressive, Planar, 4, 2, 9), nv12, "9 bits"},
      {I420(4, 2), Stored(YUV_420, UYV, Progressive, SemiPlanar, 4, 2), "semi-planar UYV"},
      {Stored(MONO, YUV, Progressive, SemiPlanar, 4, 1), Mono(4, 8), "semi-planar mono"},
      {I420(0, 2), Nv12(0, 2), "no width"},
      {I420(4, 0), Nv12(4, 0), "no height"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(SamplesConvertible(c.from, c.to)) << c.why;
    EXPECT_FALSE(SamplesConvertible(c.to, c.from)) << c.why << " (reversed)";
  }
}

TEST(StoredLayoutRefusal, NamesTheFaultOfEachLayout) {
  for (const int bits : {0, 1, 7, 9, 11, 14, 15, 17, 24, 32, -8}) {
    EXPECT_EQ(StoredLayoutRefusal(I420(4, 2, bits)),
              "Error FRMT1020: Samples of " + std::to_string(bits) +
                  " bits are not supported; choose 8, 10, 12 or 16 bits!\n");
  }
  const std::string neverSemiPlanar =
      "Error FRMT1021: RGB, mono and BMP frames are never semi-planar; choose packed or planar!\n";
  for (const int32_t sampling : {RGB_444, MONO, BMP}) {
    for (const int bits : {8, 10}) {
      EXPECT_EQ(StoredLayoutRefusal(Stored(sampling, YUV, Progressive, SemiPlanar, 4, 2, bits)),
                neverSemiPlanar)
          << sampling << " at " << bits << " bits";
    }
  }
  const std::string chromaOrder =
      "Error FRMT1022: Semi-planar chroma comes in the order YUV (U first) or YVU (V first)!\n";
  for (const int32_t order : {UYV, RGB, BGR}) {
    EXPECT_EQ(StoredLayoutRefusal(Stored(YUV_444, order, Progressive, SemiPlanar, 4, 2)), chromaOrder)
        << order;
    EXPECT_EQ(StoredLayoutRefusal(Stored(YUV_420, order, Interlaced, SemiPlanar, 4, 2, 12)), chromaOrder)
        << order;
  }
  struct Deep {
    int32_t sampling, order, pixel, bits;
  } deep[] = {{YUV_422, UYV, Packed, 10},
              {YUV_444, YUV, Packed, 12},
              {RGB_444, RGB, Planar, 16},
              {RGB_444, BGR, Packed, 10},
              {BMP, RGB, Planar, 12}};
  for (const Deep& d : deep) {
    EXPECT_EQ(StoredLayoutRefusal(Stored(d.sampling, d.order, Progressive, d.pixel, 4, 2, d.bits)),
              "Error FRMT1023: Packed, RGB and BMP frames have 8-bit samples only, not " +
                  std::to_string(d.bits) + "!\n")
        << d.sampling << " " << d.pixel;
  }
  // The depth is named first, then the packing.
  EXPECT_EQ(StoredLayoutRefusal(Stored(RGB_444, RGB, Progressive, SemiPlanar, 4, 2, 9)),
            "Error FRMT1020: Samples of 9 bits are not supported; choose 8, 10, 12 or 16 bits!\n");
  EXPECT_EQ(StoredLayoutRefusal(Stored(RGB_444, RGB, Progressive, SemiPlanar, 4, 2, 16)), neverSemiPlanar);

  const ImageFormat accepted[] = {
      I420(4, 2),
      I420(4, 2, 16),
      Nv12(4, 2, 10),
      Stored(YUV_422, YVU, Interlaced, SemiPlanar, 4, 2, 12),
      Stored(YUV_444, UYV, Progressive, Planar, 4, 2, 12),
      Stored(YUV_422, UYV, Progressive, Packed, 4, 2),
      Stored(RGB_444, BGR, Progressive, Packed, 4, 2),
      Stored(BMP, RGB, Progressive, Planar, 4, 2),
      Stored(MONO, YUV, Progressive, Packed, 4, 2, 10),
      Stored(MONO, YUV, Interlaced, Planar, 4, 2, 16),
  };
  for (const ImageFormat& f : accepted) {
    EXPECT_EQ(StoredLayoutRefusal(f), std::nullopt) << test::Describe(f) << " " << f.BitsPerSample;
  }
}

TEST(StoredLayouts, FrameSizeDoublesAboveEightBitsAndWorkingLayoutIsEightBitPlanar) {
  struct Case {
    int32_t sampling, w, h, eightBitBytes;
  } cases[] = {{YUV_420, 176, 144, 38016}, {YUV_422, 4, 2, 16}, {YUV_444, 3, 3, 27},
               {MONO, 100, 50, 5000},      {YUV_420, 3, 3, 13}, {YUV_420, 5, 2, 15}};
  for (const Case& c : cases) {
    for (const int32_t pixel : {Planar, SemiPlanar}) {
      if (c.sampling == MONO && pixel == SemiPlanar) continue;
      for (const int bits : kBitDepths) {
        const ImageFormat f = Stored(c.sampling, YUV, Progressive, pixel, c.w, c.h, bits);
        EXPECT_EQ(FrameSizeOf(f), bits == 8 ? c.eightBitBytes : 2 * c.eightBitBytes)
            << c.sampling << " " << c.w << "x" << c.h << " at " << bits;
      }
    }
  }
  EXPECT_EQ(FrameSizeOf(Stored(YUV_444, YUV, Progressive, Planar, 20000, 20000, 8)), 1200000000);
  EXPECT_EQ(FrameSizeOf(Stored(YUV_444, YUV, Progressive, Planar, 20000, 20000, 10)), -1)
      << "twice that is beyond 31 bits";

  ImageFormat p010 = Nv12(176, 144, 10);
  p010.Fourcc = 7;
  const ImageFormat working = WorkingLayout(p010);
  EXPECT_EQ(working.PixelFormat, Planar);
  EXPECT_EQ(working.BitsPerSample, 8);
  EXPECT_EQ(working.Fourcc, 13) << "the FOURCC of the 8-bit I420 it now is";
  EXPECT_EQ(working.ImgWidth, 176);
  EXPECT_EQ(working.ImgHeight, 144);
  ImageFormat derived = p010;
  DeriveFourcc(derived);
  EXPECT_EQ(derived.Fourcc, 0) << "deeper layouts have no FOURCC";

  const ImageFormat nv21 = WorkingLayout(Stored(YUV_420, YVU, Interlaced, SemiPlanar, 8, 4));
  EXPECT_EQ(nv21, Stored(YUV_420, YVU, Interlaced, Planar, 8, 4)) << "order and fields stay";
  const ImageFormat mono = WorkingLayout(Stored(MONO, YUV, Progressive, Packed, 8, 4, 16));
  EXPECT_EQ(mono, Stored(MONO, YUV, Progressive, Packed, 8, 4)) << "packed mono stays packed";
}

// The components of a small stored frame, one row after another.
struct Components {
  int32_t width = 0, chromaWidth = 0;
  Values y, u, v;
};

// Each sample spread over the whole range of `bits` (both bytes of a word vary).
Values AtDepth(const Values& values, int bits) {
  Values spread(values.size());
  for (size_t i = 0; i < values.size(); ++i)
    spread[i] = static_cast<uint16_t>((values[i] * 977u) & ((1u << bits) - 1));
  return spread;
}

// A W x H frame's samples, chroma of `cw` x `ch`, all different.
Components Counted(int32_t w, int32_t h, int32_t cw, int32_t ch, int bits) {
  const size_t luma = static_cast<size_t>(w * h), chroma = static_cast<size_t>(cw * ch);
  return {w, cw, AtDepth(Counting(1, luma), bits), AtDepth(Counting(100, chroma), bits),
          AtDepth(Counting(180, chroma), bits)};
}

// The stored bytes of `c` in `f`: planar Y U V (Y V U for YVU), semi-planar Y
// then pairs in the layout's order, mono Y only.
Bytes Store(const ImageFormat& f, const Components& c) {
  const bool semi = f.PixelFormat == SemiPlanar, vFirst = f.ComponentOrder == YVU;
  const Values& first = vFirst ? c.v : c.u;
  const Values& second = vFirst ? c.u : c.v;
  if (f.SamplingFormat == MONO) return Encode(c.y, f.BitsPerSample);
  return Encode(semi ? Join({c.y, Interleave(first, second)}) : Join({c.y, first, second}), f.BitsPerSample,
                semi);
}

// Rows of a component of `width` samples in reverse order.
Values Reversed(const Values& v, int32_t width) {
  Values rows;
  for (size_t end = v.size(); end > 0; end -= static_cast<size_t>(width))
    rows.insert(rows.end(), v.begin() + static_cast<ptrdiff_t>(end) - width,
                v.begin() + static_cast<ptrdiff_t>(end));
  return rows;
}

// The w x h rectangle at (left, top) of a component of `width` samples.
Values Cut(const Values& v, int32_t width, int32_t top, int32_t left, int32_t w, int32_t h) {
  Values cut;
  for (int32_t y = top; y < top + h; ++y) {
    const auto row = v.begin() + y * width + left;
    cut.insert(cut.end(), row, row + w);
  }
  return cut;
}

FrameImage Over(const ImageFormat& f, Bytes& bytes) {
  EXPECT_EQ(static_cast<int64_t>(bytes.size()), FrameSizeOf(f)) << "test data of the wrong size";
  FrameImage frame;
  static_cast<ImageFormat&>(frame) = f;
  frame.Data = bytes.data();
  frame.DataSize = static_cast<int32_t>(bytes.size());
  frame.Capacity = static_cast<int64_t>(bytes.size());
  return frame;
}

// The destination's bytes (its buffer of `size` full of kStale beforehand);
// nullopt when FlipStoredRows refuses.
std::optional<Bytes> Flipped(const ImageFormat& f, Bytes bytes, size_t size) {
  const FrameImage source = Over(f, bytes);
  Bytes out(size, kStale);
  FrameImage destination;
  destination.Data = out.data();
  destination.Capacity = static_cast<int64_t>(out.size());
  if (!FlipStoredRows(source, destination)) return std::nullopt;
  EXPECT_EQ(static_cast<const ImageFormat&>(destination), f) << "the destination takes the source's header";
  EXPECT_EQ(destination.DataSize, FrameSizeOf(f));
  return out;
}

// The same for CropStored of a w x h rectangle at (left, top), into `to`'s layout
// at that size.
std::optional<Bytes> Cropped(const ImageFormat& from, Bytes bytes, const ImageFormat& to, int32_t top,
                             int32_t left, int32_t w, int32_t h) {
  const FrameImage source = Over(from, bytes);
  FrameImage destination;
  static_cast<ImageFormat&>(destination) = to;
  destination.ImgWidth = w;
  destination.ImgHeight = h;
  Bytes out(static_cast<size_t>(std::max(FrameSizeOf(destination), 1)), kStale);
  destination.Data = out.data();
  destination.Capacity = static_cast<int64_t>(out.size());
  if (!CropStored(source, destination, top, left)) return std::nullopt;
  EXPECT_EQ(destination.DataSize, static_cast<int32_t>(out.size())) << "the destination's size is set";
  return out;
}

struct StoredCase {
  ImageFormat format;
  int32_t chromaWidth, chromaRows;
  const char* name;
};

// Progressive layouts at every depth: 4:2:0, 4:2:2 and 4:4:4 planar and
// semi-planar in both orders, odd sizes where the sampling allows, and mono.
std::vector<StoredCase> FlipCases(int bits) {
  const auto at = [bits](int32_t sampling, int32_t order, int32_t pixel, int32_t w, int32_t h) {
    return Stored(sampling, order, Progressive, pixel, w, h, bits);
  };
  return {{at(YUV_420, YUV, Planar, 4, 4), 2, 2, "yuv420p 4 x 4"},
          {at(YUV_420, YVU, Planar, 6, 2), 3, 1, "yvu420p 6 x 2"},
          {at(YUV_420, YUV, SemiPlanar, 4, 4), 2, 2, "NV12 4 x 4"},
          {at(YUV_420, YVU, SemiPlanar, 2, 6), 1, 3, "NV21 2 x 6"},
          {at(YUV_422, YUV, Planar, 4, 3), 2, 3, "yuv422p 4 x 3"},
          {at(YUV_422, YUV, SemiPlanar, 2, 5), 1, 5, "NV16 2 x 5"},
          {at(YUV_444, YUV, Planar, 3, 3), 3, 3, "yuv444p 3 x 3"},
          {at(YUV_444, YVU, SemiPlanar, 3, 5), 3, 5, "NV42 3 x 5"},
          {at(MONO, YUV, Planar, 5, 3), 0, 0, "gray 5 x 3"},
          {at(MONO, YUV, Planar, 3, 1), 0, 0, "gray 3 x 1"}};
}

TEST(FlipStoredRows, ReversesTheRowsOfEachComponentAtEveryDepth) {
  for (const int bits : kBitDepths) {
    for (const StoredCase& c : FlipCases(bits)) {
      const ImageFormat& f = c.format;
      const Components samples = Counted(f.ImgWidth, f.ImgHeight, c.chromaWidth, c.chromaRows, bits);
      const Components flipped = {f.ImgWidth, c.chromaWidth, Reversed(samples.y, f.ImgWidth),
                                  Reversed(samples.u, std::max(c.chromaWidth, 1)),
                                  Reversed(samples.v, std::max(c.chromaWidth, 1))};
      const Bytes bytes = Store(f, samples);
      EXPECT_EQ(Flipped(f, bytes, bytes.size()), Store(f, flipped)) << c.name << " at " << bits << " bits";
      // Flipped twice: the frame itself.
      const auto once = Flipped(f, bytes, bytes.size());
      ASSERT_TRUE(once) << c.name;
      EXPECT_EQ(Flipped(f, *once, bytes.size()), bytes) << c.name << " twice at " << bits << " bits";
    }
  }
}

TEST(FlipStoredRows, RefusesFieldsPackedFramesAndBuffersTooSmall) {
  const ImageFormat deep = I420(4, 4, 10);
  const Bytes bytes(static_cast<size_t>(FrameSizeOf(deep)), 1);
  EXPECT_TRUE(Flipped(deep, bytes, bytes.size()));
  EXPECT_FALSE(Flipped(deep, bytes, bytes.size() - 1)) << "a destination one byte short";
  const ImageFormat packed = Stored(YUV_422, YUV, Progressive, Packed, 4, 4);
  EXPECT_FALSE(Flipped(packed, Bytes(static_cast<size_t>(FrameSizeOf(packed))), 256)) << "packed 4:2:2";
  Bytes shortSource = bytes;
  FrameImage source = Over(deep, shortSource);
  source.DataSize = 0;
  source.Capacity = static_cast<int64_t>(bytes.size()) - 1;
  Bytes out(bytes.size());
  FrameImage destination;
  destination.Data = out.data();
  destination.Capacity = static_cast<int64_t>(out.size());
  EXPECT_FALSE(FlipStoredRows(source, destination)) << "a source one byte short";
}

TEST(CropStored, CutsEachComponentAtBothEndsOfTheFrameAtEveryDepth) {
  struct Case {
    int32_t sampling, order, pixel, w, h;
    int32_t downX, downY;  // chroma halved across, down
    int32_t top, left, cropW, cropH;
    const char* name;
  };
  const Case cases[] = {
      {YUV_420, YUV, Planar, 6, 4, 1, 1, 0, 0, 2, 2, "yuv420p top left"},
      {YUV_420, YUV, Planar, 6, 4, 1, 1, 2, 2, 4, 2, "yuv420p bottom right"},
      {YUV_420, YUV, Planar, 6, 4, 1, 1, 0, 0, 6, 4, "yuv420p whole"},
      {YUV_420, YUV, SemiPlanar, 6, 4, 1, 1, 2, 4, 2, 2, "NV12 bottom right"},
      {YUV_420, YVU, SemiPlanar, 6, 4, 1, 1, 0, 2, 4, 2, "NV21 top"},
      {YUV_422, YUV, Planar, 6, 3, 1, 0, 1, 2, 4, 2, "yuv422p odd top to the bottom"},
      {YUV_422, YVU, SemiPlanar, 6, 3, 1, 0, 0, 4, 2, 3, "NV61 right column"},
      {YUV_444, YUV, Planar, 5, 3, 0, 0, 1, 3, 2, 2, "yuv444p bottom right, odd"},
      {YUV_444, YUV, Planar, 5, 3, 0, 0, 0, 0, 1, 1, "yuv444p first sample"},
      {YUV_444, YUV, SemiPlanar, 5, 3, 0, 0, 2, 1, 3, 1, "NV24 last row"},
      {MONO, YUV, Planar, 5, 3, 0, 0, 2, 4, 1, 1, "gray last sample"},
      {MONO, YUV, Planar, 5, 3, 0, 0, 1, 1, 3, 2, "gray odd corner"},
  };
  for (const int bits : kBitDepths) {
    for (const Case& c : cases) {
      const ImageFormat f = Stored(c.sampling, c.order, Progressive, c.pixel, c.w, c.h, bits);
      const bool mono = c.sampling == MONO;
      const int32_t cw = mono ? 0 : c.w >> c.downX, ch = mono ? 0 : c.h >> c.downY;
      const Components samples = Counted(c.w, c.h, cw, ch, bits);
      const int32_t top = c.top >> c.downY, left = c.left >> c.downX;
      const int32_t w = mono ? 0 : c.cropW >> c.downX, h = mono ? 0 : c.cropH >> c.downY;
      const Components cut = {c.cropW, w, Cut(samples.y, c.w, c.top, c.left, c.cropW, c.cropH),
                              Cut(samples.u, cw, top, left, w, h), Cut(samples.v, cw, top, left, w, h)};
      ImageFormat small = f;
      small.ImgWidth = c.cropW;
      small.ImgHeight = c.cropH;
      EXPECT_EQ(Cropped(f, Store(f, samples), f, c.top, c.left, c.cropW, c.cropH), Store(small, cut))
          << c.name << " at " << bits << " bits";
    }
  }
}

TEST(CropStored, RefusesCutsThroughSharedChromaRectanglesOutsideAndOtherLayouts) {
  const ImageFormat i420 = I420(6, 4, 10), i422 = Stored(YUV_422, YUV, Progressive, Planar, 6, 4, 10);
  const auto bytes = [](const ImageFormat& f) { return Bytes(static_cast<size_t>(FrameSizeOf(f)), 7); };
  EXPECT_TRUE(Cropped(i420, bytes(i420), i420, 2, 2, 4, 2));
  EXPECT_FALSE(Cropped(i420, bytes(i420), i420, 1, 2, 4, 2)) << "4:2:0 from an odd row";
  EXPECT_FALSE(Cropped(i420, bytes(i420), i420, 2, 1, 4, 2)) << "4:2:0 from an odd column";
  EXPECT_FALSE(Cropped(i422, bytes(i422), i422, 0, 1, 4, 2)) << "4:2:2 from an odd column";
  EXPECT_TRUE(Cropped(i422, bytes(i422), i422, 1, 0, 4, 2)) << "4:2:2 from an odd row";
  EXPECT_FALSE(Cropped(i420, bytes(i420), i420, 2, 4, 4, 2)) << "one column beyond the right edge";
  EXPECT_FALSE(Cropped(i420, bytes(i420), i420, 4, 0, 2, 2)) << "rows beyond the bottom";
  EXPECT_FALSE(Cropped(i420, bytes(i420), i420, -2, 0, 2, 2)) << "a negative row";
  EXPECT_FALSE(Cropped(i420, bytes(i420), I420(6, 4, 12), 0, 0, 2, 2)) << "another depth";
  EXPECT_FALSE(Cropped(i420, bytes(i420), Nv12(6, 4, 10), 0, 0, 2, 2)) << "another packing";
  const ImageFormat fields = I420(6, 8, 10, Interlaced);
  EXPECT_TRUE(Cropped(fields, bytes(fields), fields, 0, 0, 2, 4)) << "interlaced";
  EXPECT_FALSE(Cropped(fields, bytes(fields), fields, 6, 0, 2, 4)) << "interlaced, rows beyond the bottom";
}

// What the 8-bit tools make of the bytes of an 8-bit stored frame: frames held
// semi-planar are read into their planar working layout, worked on there and
// written back semi-planar; others are worked on as they are stored. The
// operation writes into a cleared buffer. Nullopt when the operation refuses.
template <typename Operation>
std::optional<Bytes> EightBitTool(const ImageFormat& from, Bytes bytes, const ImageFormat& to,
                                  Operation operation) {
  const bool semi = from.PixelFormat == SemiPlanar;
  ImageFormat workingFrom = from, workingTo = to;
  workingFrom.PixelFormat = workingTo.PixelFormat = semi ? Planar : from.PixelFormat;
  Bytes working = semi ? Converted(from, bytes, workingFrom).value_or(Bytes{}) : bytes;
  if (working.empty()) return std::nullopt;
  FrameImage source = Over(workingFrom, working);
  Bytes out(static_cast<size_t>(FrameSizeOf(workingTo)), 0);
  FrameImage destination;
  static_cast<ImageFormat&>(destination) = workingTo;
  ComputeFrameSize(destination);
  destination.Data = out.data();
  destination.Capacity = static_cast<int64_t>(out.size());
  if (!operation(source, destination)) return std::nullopt;
  return semi ? Converted(workingTo, out, to) : out;
}

// Each byte of an 8-bit frame as a sample of `bits` whose low bits differ from its
// high ones (b -> b b, b0 b1 ... shifted to the depth), stored as `f` stores them.
Bytes Widened(const Bytes& bytes, const ImageFormat& f) {
  const int bits = f.BitsPerSample;
  Values values;
  for (const uint8_t b : bytes)
    values.push_back(static_cast<uint16_t>((b << (bits - 8)) | (b >> (16 - bits))));
  return Encode(values, bits, f.PixelFormat == SemiPlanar);
}

ImageFormat AtBits(ImageFormat f, int bits) {
  f.BitsPerSample = bits;
  return f;
}

// Every sampling in both field formats, planar and semi-planar, at odd and even
// heights (and heights that are no multiple of 4).
std::vector<ImageFormat> RowLayouts() {
  std::vector<ImageFormat> layouts;
  for (const int32_t field : {Progressive, Interlaced}) {
    for (const int32_t h : {4, 5, 6, 7, 8}) {
      for (const int32_t pixel : {Planar, SemiPlanar}) {
        layouts.push_back(Stored(YUV_420, YUV, field, pixel, 6, h));
        layouts.push_back(Stored(YUV_422, YVU, field, pixel, 4, h));
        layouts.push_back(Stored(YUV_444, YUV, field, pixel, 3, h));
      }
      layouts.push_back(Stored(MONO, YUV, field, Planar, 5, h));
    }
  }
  return layouts;
}

TEST(FlipStoredRows, MovesDeeperSamplesAsTheEightBitFlipMovesBytes) {
  int flipped = 0;
  for (const ImageFormat& f : RowLayouts()) {
    const Bytes bytes = test::RandomBytes(static_cast<size_t>(FrameSizeOf(f)), 7);
    const auto expected =
        EightBitTool(f, bytes, f, [](FrameImage& in, FrameImage& out) { return FlipVertical(in, out); });
    for (const int bits : {10, 12, 16}) {
      const ImageFormat deep = AtBits(f, bits);
      const auto got = Flipped(deep, Widened(bytes, deep), static_cast<size_t>(FrameSizeOf(deep)));
      ASSERT_EQ(got.has_value(), expected.has_value()) << test::Describe(deep);
      if (!got) continue;
      EXPECT_EQ(*got, Widened(*expected, deep)) << test::Describe(deep);
      ++flipped;
    }
  }
  EXPECT_EQ(flipped, 3 * static_cast<int>(RowLayouts().size())) << "every layout is flipped";
}

TEST(CropStored, CutsDeeperFieldsAsTheEightBitCropCutsBytes) {
  struct Rectangle {
    int32_t top, left, w, h;
  };
  int cut = 0;
  for (const ImageFormat& f : RowLayouts()) {
    if (f.FieldFormat != Interlaced) continue;
    const bool halvedAcross = f.SamplingFormat == YUV_420 || f.SamplingFormat == YUV_422;
    const int32_t step = halvedAcross ? 2 : 1;
    // Fields start on even rows and keep whole pairs of rows (4:2:0: rows in fours).
    const int32_t rows = f.SamplingFormat == YUV_420 ? 4 : 2;
    const Bytes bytes = test::RandomBytes(static_cast<size_t>(FrameSizeOf(f)), 11);
    for (const Rectangle& r : {Rectangle{0, 0, f.ImgWidth, rows},
                               Rectangle{f.ImgHeight - rows - f.ImgHeight % 2, step, step, rows},
                               Rectangle{2, f.ImgWidth - step, step, rows}}) {
      if (r.top < 0 || r.top + r.h > f.ImgHeight || r.top % 2 != 0) continue;
      ImageFormat small = f;
      small.ImgWidth = r.w;
      small.ImgHeight = r.h;
      const auto expected = EightBitTool(f, bytes, small, [&](FrameImage& in, FrameImage& out) {
        SegmentBuffer row(in.ImgWidth);
        return CropRows(in, out, r.top, r.left, row);
      });
      ASSERT_TRUE(expected) << test::Describe(f) << " from row " << r.top;
      for (const int bits : {10, 12, 16}) {
        const ImageFormat deep = AtBits(f, bits);
        const auto got = Cropped(deep, Widened(bytes, deep), deep, r.top, r.left, r.w, r.h);
        ASSERT_TRUE(got) << test::Describe(deep) << " from row " << r.top;
        EXPECT_EQ(*got, Widened(*expected, AtBits(small, bits)))
            << test::Describe(deep) << " from row " << r.top;
        ++cut;
      }
    }
  }
  EXPECT_GT(cut, 100);
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

// PadStored of `from`'s frame into its layout at `w` x `h`, or nullopt when refused.
std::optional<Bytes> Padded(const ImageFormat& from, Bytes bytes, const ImageFormat& to, int32_t top,
                            int32_t left, int32_t w, int32_t h, const StoredBorder& border = {}) {
  const FrameImage source = Over(from, bytes);
  FrameImage destination;
  static_cast<ImageFormat&>(destination) = to;
  destination.ImgWidth = w;
  destination.ImgHeight = h;
  Bytes out(static_cast<size_t>(std::max(FrameSizeOf(destination), 1)), kStale);
  destination.Data = out.data();
  destination.Capacity = static_cast<int64_t>(out.size());
  if (!PadStored(source, destination, top, left, border)) return std::nullopt;
  EXPECT_EQ(destination.DataSize, static_cast<int32_t>(out.size())) << "the destination's size is set";
  return out;
}

TEST(PadStored, PlacesEachComponentAndFillsTheRestAtTheFramesDepth) {
  // A 2 x 2 P010 picture at row 2, column 2 of 4 x 4: luma 1..4, chroma 5 and 6.
  const ImageFormat small = Nv12(2, 2, 10), large = Nv12(4, 4, 10);
  const StoredBorder fill{.fill = {64, 512, 1023}};
  const Values y = {64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 1, 2, 64, 64, 3, 4};
  EXPECT_EQ(Padded(small, Encode({1, 2, 3, 4, 5, 6}, 10, true), large, 2, 2, 4, 4, fill),
            Encode(Join({y, {512, 1023, 512, 1023, 512, 1023, 5, 6}}), 10, true));
  // Repeated edges: each component's nearest sample.
  const Values edges = {1, 1, 1, 2, 1, 1, 1, 2, 1, 1, 1, 2, 3, 3, 3, 4};
  EXPECT_EQ(Padded(small, Encode({1, 2, 3, 4, 5, 6}, 10, true), large, 1, 2, 4, 4, {.repeatEdges = true}),
            std::nullopt)
      << "4:2:0 from an odd row";
  const ImageFormat planar = I420(2, 2, 12), planarLarge = I420(4, 4, 12);
  EXPECT_EQ(Padded(planar, Encode({1, 2, 3, 4, 5, 6}, 12), planarLarge, 2, 2, 4, 4, {.repeatEdges = true}),
            Encode(Join({edges, {5, 5, 5, 5, 6, 6, 6, 6}}), 12));
  // A fill above the depth's largest value is clipped to it.
  EXPECT_EQ(Padded(Mono(1, 10), Encode({7}, 10), Mono(2, 10), 0, 1, 2, 1, {.fill = {4096, 0, 0}}),
            Encode({1023, 7}, 10));
}

TEST(PadStored, RefusesOffsetsThroughSharedChromaPicturesThatDoNotFitAndOtherLayouts) {
  const ImageFormat i420 = I420(4, 4, 10), fields = I420(4, 4, 10, Interlaced);
  const auto bytes = [](const ImageFormat& f) { return Bytes(static_cast<size_t>(FrameSizeOf(f)), 7); };
  EXPECT_TRUE(Padded(i420, bytes(i420), i420, 2, 2, 6, 6));
  EXPECT_FALSE(Padded(i420, bytes(i420), i420, 2, 1, 6, 6)) << "4:2:0 from an odd column";
  EXPECT_FALSE(Padded(i420, bytes(i420), i420, 3, 2, 8, 8)) << "4:2:0 from an odd row";
  EXPECT_TRUE(Padded(fields, bytes(fields), fields, 4, 0, 4, 8)) << "interlaced 4:2:0 four rows down";
  EXPECT_FALSE(Padded(fields, bytes(fields), fields, 2, 0, 4, 8)) << "interlaced 4:2:0 two rows down";
  EXPECT_FALSE(Padded(i420, bytes(i420), i420, 2, 0, 4, 4)) << "rows beyond the bottom";
  EXPECT_FALSE(Padded(i420, bytes(i420), i420, 0, 2, 4, 4)) << "columns beyond the right edge";
  EXPECT_FALSE(Padded(i420, bytes(i420), i420, -2, 0, 4, 8)) << "a negative row";
  EXPECT_FALSE(Padded(i420, bytes(i420), I420(4, 4, 12), 0, 0, 6, 6)) << "another depth";
  EXPECT_FALSE(Padded(i420, bytes(i420), Nv12(4, 4, 10), 0, 0, 6, 6)) << "another packing";
  const ImageFormat packed = Stored(YUV_444, YUV, Progressive, Packed, 2, 2);
  EXPECT_FALSE(Padded(packed, bytes(packed), packed, 0, 0, 4, 4)) << "packed";
}

TEST(ExtractStoredComponent, TakesTheRowsOfBothFieldsInPictureOrderAtTheSourcesDepth) {
  // Interlaced P010, 2 x 4: field 1 holds rows 0 and 2, field 2 rows 1 and 3; each
  // field's one chroma pair is a row of the chroma picture.
  const ImageFormat f = Nv12(2, 4, 10, Interlaced);
  Bytes bytes = Encode({10, 11, 30, 31, 50, 60, 20, 21, 40, 41, 51, 61}, 10, true);
  const FrameImage source = Over(f, bytes);
  const auto component = [&](int c, int32_t w, int32_t h, int32_t bits = 10) -> std::optional<Bytes> {
    Bytes out(static_cast<size_t>(2 * w * h), kStale);
    FrameImage mono;
    static_cast<ImageFormat&>(mono) = Stored(MONO, YUV, Progressive, Planar, w, h, bits);
    mono.Data = out.data();
    mono.Capacity = static_cast<int64_t>(out.size());
    if (!ExtractStoredComponent(source, c, mono)) return std::nullopt;
    return out;
  };
  EXPECT_EQ(component(0, 2, 4), Encode({10, 11, 20, 21, 30, 31, 40, 41}, 10));
  EXPECT_EQ(component(1, 1, 2), Encode({50, 51}, 10));
  EXPECT_EQ(component(2, 1, 2), Encode({60, 61}, 10));
  EXPECT_FALSE(component(1, 1, 2, 12)) << "another depth";
  EXPECT_FALSE(component(1, 2, 2)) << "another size";
  EXPECT_FALSE(component(3, 1, 2)) << "no fourth component";
}

}  // namespace
}  // namespace vx
