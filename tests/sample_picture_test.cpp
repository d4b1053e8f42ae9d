// Sampling, field and size changes of deeper samples: the 8-bit engine's steps
// on 16-bit words.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "PixelTestSupport.h"
#include "image/SamplePicture.h"

namespace vx {
namespace {

using test::Describe;
using test::Layout;
using test::TestFrame;

// A frame of 16-bit words over its own buffer.
struct WordFrame {
  explicit WordFrame(ImageFormat format, int bits = 16) {
    format.BitsPerSample = bits;
    frame = FrameImage{};
    static_cast<ImageFormat&>(frame) = format;
    ComputeFrameSize(frame);
    words.assign(static_cast<size_t>(frame.DataSize / 2), 0xBEEF);
    frame.Data = reinterpret_cast<uint8_t*>(words.data());
    frame.Capacity = frame.DataSize;
  }
  std::vector<uint16_t> words;
  FrameImage frame;
};

// The bytes of an 8-bit frame as words of the same values.
WordFrame Widened(const FrameImage& eight) {
  WordFrame wide(eight);
  for (int64_t i = 0; i < eight.DataSize; ++i) wide.words[static_cast<size_t>(i)] = eight.Data[i];
  return wide;
}

std::vector<uint16_t> WidenedBytes(const TestFrame& eight) {
  return {eight.frame.Data, eight.frame.Data + eight.frame.DataSize};
}

std::vector<ImageFormat> PlanarLayouts(int32_t w, int32_t h) {
  std::vector<ImageFormat> planar;
  for (const ImageFormat& f : test::ValidYuvLayouts(w, h)) {
    if (f.PixelFormat == Planar) planar.push_back(f);
  }
  return planar;
}

ImageFormat Canonical(int32_t w, int32_t h) {
  return Layout(YUV_444, YUV, Progressive, Packed, w, h);
}

TEST(SamplePicture, EveryPlanarLayoutPairGivesTheEightBitEngineValues) {
  uint32_t seed = 7;
  // 6 x 5: odd fields of 4:4:4 and 4:2:2; 10 x 10: a 4:2:0 chroma row in neither field.
  for (const auto [w, h] : {std::pair{6, 4}, std::pair{6, 5}, std::pair{10, 10}}) {
    for (const ImageFormat& from : PlanarLayouts(w, h)) {
      for (const ImageFormat& to : PlanarLayouts(w, h)) {
        TestFrame source(from, ++seed), copy(source.frame, 0), canonical(Canonical(w, h), 0), eight(to, 0);
        std::copy(source.frame.Data, source.frame.Data + source.frame.DataSize, copy.frame.Data);
        ASSERT_TRUE(ToCanonical444Reference(copy.frame, canonical.frame));
        ASSERT_TRUE(FromCanonical444Reference(canonical.frame, eight.frame));

        const WordFrame words = Widened(source.frame);
        SamplePicture picture;
        ASSERT_TRUE(WordFrameToPicture(words.frame, picture)) << Describe(from);
        WordFrame result(to);
        ASSERT_TRUE(PictureToWordFrame(picture, result.frame)) << Describe(to);
        ASSERT_EQ(result.frame.DataSize, 2 * eight.frame.DataSize);
        EXPECT_EQ(result.words, WidenedBytes(eight)) << Describe(from) << " to " << Describe(to);
      }
    }
  }
}

TEST(SamplePicture, ScalingGivesTheEightBitScalersValues) {
  struct Pair {
    int32_t w, h, W, H;
  };
  uint32_t seed = 90;
  // Up and down, each axis alone, and a height of the form 4k + 2.
  for (const Pair p : {Pair{10, 10, 14, 6}, Pair{34, 6, 18, 10}, Pair{6, 4, 6, 18}, Pair{8, 8, 2, 8}}) {
    for (const ImageFormat& from : PlanarLayouts(p.w, p.h)) {
      const ImageFormat to =
          Layout(from.SamplingFormat, from.ComponentOrder, from.FieldFormat, Planar, p.W, p.H);
      TestFrame source(from, ++seed), copy(source.frame, 0), canonical(Canonical(p.w, p.h), 0),
          scaled(Canonical(p.W, p.H), 0), eight(to, 0);
      std::copy(source.frame.Data, source.frame.Data + source.frame.DataSize, copy.frame.Data);
      ASSERT_TRUE(ToCanonical444Reference(copy.frame, canonical.frame));
      ASSERT_TRUE(ScaleBilinearReference(canonical.frame, scaled.frame));
      ASSERT_TRUE(FromCanonical444Reference(scaled.frame, eight.frame)) << Describe(to);

      SamplePicture picture, resized;
      ASSERT_TRUE(WordFrameToPicture(Widened(source.frame).frame, picture));
      resized.Resize(p.W, p.H);
      ASSERT_TRUE(ScaleSamplePicture(picture, resized));
      WordFrame result(to);
      ASSERT_TRUE(PictureToWordFrame(resized, result.frame));
      EXPECT_EQ(result.words, WidenedBytes(eight)) << Describe(from) << " to " << Describe(to);
    }
  }
}

TEST(SamplePicture, SixteenBitSamplesAverageAndScaleWithoutOverflow) {
  // 4:4:4 of 2 x 2 with samples at the top of the range, to 4:2:0.
  WordFrame full(Layout(YUV_444, YUV, Progressive, Planar, 2, 2));
  full.words = {65535, 65534, 65535, 65534, 65535, 65535, 65535, 65533, 1, 0, 0, 0};
  SamplePicture picture;
  ASSERT_TRUE(WordFrameToPicture(full.frame, picture));
  WordFrame quarter(Layout(YUV_420, YUV, Progressive, Planar, 2, 2));
  ASSERT_TRUE(PictureToWordFrame(picture, quarter.frame));
  // (65535 + 65535 + 65535 + 65533) >> 2 and (1 + 0 + 0 + 0) >> 2.
  EXPECT_EQ(quarter.words, (std::vector<uint16_t>{65535, 65534, 65535, 65534, 65534, 0}));

  // A flat picture at the top stays there when scaled either way.
  SamplePicture flat, larger;
  flat.Resize(3, 3);
  for (auto& plane : flat.planes) std::fill(plane.begin(), plane.end(), 65535);
  larger.Resize(7, 5);
  ASSERT_TRUE(ScaleSamplePicture(flat, larger));
  for (const auto& plane : larger.planes) {
    EXPECT_EQ(std::count(plane.begin(), plane.end(), 65535), 35);
  }
}

TEST(SamplePicture, MonoTakesMiddleChromaAndCanonicalPicturesWiden) {
  WordFrame grey(Layout(MONO, YUV, Progressive, Planar, 2, 2), 10);
  grey.words = {0, 1023, 512, 7};
  SamplePicture picture;
  ASSERT_TRUE(WordFrameToPicture(grey.frame, picture));
  WordFrame planar(Layout(YUV_444, YVU, Progressive, Planar, 2, 2), 10);
  ASSERT_TRUE(PictureToWordFrame(picture, planar.frame));
  EXPECT_EQ(planar.words, (std::vector<uint16_t>{0, 1023, 512, 7, 512, 512, 512, 512, 512, 512, 512, 512}));

  // Y U V bytes of a 2 x 1 picture, as 12-bit samples.
  uint8_t bytes[6] = {255, 0, 128, 1, 2, 3};
  FrameImage canonical;
  static_cast<ImageFormat&>(canonical) = Canonical(2, 1);
  canonical.Data = bytes;
  canonical.Capacity = canonical.DataSize = 6;
  ASSERT_TRUE(CanonicalToPicture(canonical, 4, picture));
  EXPECT_EQ(picture.planes[0], (std::vector<uint16_t>{4080, 16}));
  EXPECT_EQ(picture.planes[1], (std::vector<uint16_t>{0, 32}));
  EXPECT_EQ(picture.planes[2], (std::vector<uint16_t>{2048, 48}));
}

TEST(SamplePicture, RefusesLayoutsItDoesNotTake) {
  SamplePicture picture;
  picture.Resize(4, 4);
  WordFrame eightBit(Layout(YUV_420, YUV, Progressive, Planar, 4, 4), 8);
  EXPECT_FALSE(WordFrameToPicture(eightBit.frame, picture));
  WordFrame semiPlanar(Layout(YUV_420, YUV, Progressive, SemiPlanar, 4, 4), 10);
  EXPECT_FALSE(WordFrameToPicture(semiPlanar.frame, picture));
  EXPECT_FALSE(PictureToWordFrame(picture, semiPlanar.frame));
  WordFrame mono(Layout(MONO, YUV, Progressive, Planar, 4, 4), 10);
  EXPECT_FALSE(PictureToWordFrame(picture, mono.frame));  // no file is made mono
  WordFrame oddWidth(Layout(YUV_420, YUV, Progressive, Planar, 3, 4), 10);
  EXPECT_FALSE(WordFrameToPicture(oddWidth.frame, picture));
  WordFrame otherSize(Layout(YUV_444, YUV, Progressive, Planar, 4, 2), 10);
  EXPECT_FALSE(PictureToWordFrame(picture, otherSize.frame));
  WordFrame shortBuffer(Layout(YUV_444, YUV, Progressive, Planar, 4, 4), 10);
  shortBuffer.frame.Capacity -= 2;
  EXPECT_FALSE(PictureToWordFrame(picture, shortBuffer.frame));
  SamplePicture same;
  same.Resize(4, 4);
  EXPECT_FALSE(ScaleSamplePicture(picture, same));
  same.Resize(1, 4);
  EXPECT_FALSE(ScaleSamplePicture(picture, same));
}

}  // namespace
}  // namespace vx
