// The fused pipeline kernels against the step-by-step reference chain, and the
// layout properties every conversion must keep.
#include <gtest/gtest.h>

#include "PixelTestSupport.h"
#include "image/PixelOps.h"

namespace vx {
namespace {

using test::Describe;
using test::Layout;
using test::TestFrame;

const ImageFormat kCanonical = Layout(YUV_444, YUV, Progressive, Packed, 1, 1);

ImageFormat Sized(ImageFormat f, int32_t w, int32_t h) {
  f.ImgWidth = w;
  f.ImgHeight = h;
  return f;
}

struct Size {
  int32_t w, h;
};
// Odd widths (only 4:4:4 layouts accept them), heights that are and are not
// multiples of 4, and one broadcast interlaced size.
const Size kSizes[] = {{2, 2}, {2, 4},  {4, 6},   {6, 8},   {18, 10},  {34, 14},
                       {1, 3}, {17, 6}, {33, 12}, {64, 18}, {720, 486}};

TEST(PipelineKernels, ToCanonicalMatchesTheReferenceChain) {
  uint32_t seed = 1;
  int compared = 0;
  for (const Size size : kSizes) {
    for (const ImageFormat& layout : test::ValidYuvLayouts(size.w, size.h)) {
      for (int round = 0; round < 2; ++round, ++seed) {
        TestFrame a(layout, seed), b(layout, seed);
        // Different bytes in the two outputs: a byte that neither writes cannot match.
        TestFrame fast(Sized(kCanonical, size.w, size.h), 7), reference(Sized(kCanonical, size.w, size.h), 8);
        ASSERT_TRUE(ToCanonical444(a.frame, fast.frame)) << Describe(layout);
        ASSERT_TRUE(ToCanonical444Reference(b.frame, reference.frame)) << Describe(layout);
        ASSERT_EQ(fast.frame.DataSize, size.w * size.h * 3);
        ASSERT_EQ(fast.Bytes(), reference.Bytes()) << Describe(layout);
        EXPECT_TRUE(SameFrameHeader(fast.frame, reference.frame)) << Describe(layout);
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 300);
}

TEST(PipelineKernels, FromCanonicalMatchesTheReferenceChain) {
  uint32_t seed = 1000;
  for (const Size size : kSizes) {
    for (const ImageFormat& layout : test::ValidYuvLayouts(size.w, size.h)) {
      for (int round = 0; round < 2; ++round, ++seed) {
        TestFrame a(Sized(kCanonical, size.w, size.h), seed), b(Sized(kCanonical, size.w, size.h), seed);
        TestFrame fast(layout, 5), reference(layout, 6);
        ASSERT_TRUE(FromCanonical444(a.frame, fast.frame)) << Describe(layout);
        ASSERT_TRUE(FromCanonical444Reference(b.frame, reference.frame)) << Describe(layout);
        ASSERT_EQ(fast.Bytes(), reference.Bytes()) << Describe(layout);
        EXPECT_TRUE(SameFrameHeader(fast.frame, reference.frame)) << Describe(layout);
      }
    }
  }
}

TEST(PipelineKernels, StreamedLayoutConversionEqualsTheTwoPipelines) {
  uint32_t seed = 2000;
  for (const Size size : {Size{6, 8}, Size{18, 10}, Size{34, 14}}) {
    const auto layouts = test::ValidYuvLayouts(size.w, size.h);
    for (const ImageFormat& from : layouts) {
      for (const ImageFormat& to : layouts) {
        TestFrame source(from, seed++), copy(from, 0), canonical(Sized(kCanonical, size.w, size.h), 1);
        TestFrame streamed(to, 9), twoSteps(to, 10), direct(to, 11);
        std::vector<uint8_t> rows(static_cast<size_t>(size.w * size.h * 3));
        std::copy(source.frame.Data, source.frame.Data + source.frame.DataSize, copy.frame.Data);
        ASSERT_TRUE(ConvertYuvLayout(source.frame, streamed.frame, rows.data()));
        ASSERT_TRUE(ConvertYuvLayout(source.frame, direct.frame));
        ASSERT_TRUE(ToCanonical444(copy.frame, canonical.frame));
        ASSERT_EQ(rows, canonical.Bytes()) << Describe(from);
        ASSERT_TRUE(FromCanonical444(canonical.frame, twoSteps.frame));
        ASSERT_EQ(streamed.Bytes(), twoSteps.Bytes()) << Describe(from) << " to " << Describe(to);
        ASSERT_EQ(direct.Bytes(), twoSteps.Bytes())
            << "without canonical rows: " << Describe(from) << " to " << Describe(to);
      }
    }
  }
}

TEST(PipelineKernels, LargePicturesMadeInTwoHalvesEqualTheTwoPipelines) {
  // Above the size that splits rows between two threads.
  uint32_t seed = 4000;
  for (const int32_t sampling : {YUV_420, YUV_422}) {
    for (const int32_t field : {Progressive, Interlaced}) {
      const ImageFormat from = Layout(sampling, YUV, field, Planar, 720, 488);
      for (const int32_t order : {YUV, YVU, UYV}) {
        const ImageFormat to = Layout(YUV_444, order, field, Planar, 720, 488);
        TestFrame source(from, seed++), copy(from, 0), canonical(Sized(kCanonical, 720, 488), 1);
        TestFrame direct(to, 9), twoSteps(to, 10);
        std::copy(source.frame.Data, source.frame.Data + source.frame.DataSize, copy.frame.Data);
        ASSERT_TRUE(ConvertYuvLayout(source.frame, direct.frame));
        ASSERT_TRUE(ToCanonical444(copy.frame, canonical.frame));
        ASSERT_TRUE(FromCanonical444(canonical.frame, twoSteps.frame));
        EXPECT_EQ(direct.Bytes(), twoSteps.Bytes()) << Describe(from) << " to " << Describe(to);
      }
    }
  }
}

TEST(InterlacedOddHeights, FieldOneTakesTheExtraRow) {
  // 4:4:4 packed, 2 x 5: field 1 holds rows 0, 2, 4 and field 2 rows 1, 3.
  TestFrame progressive(Layout(YUV_444, YUV, Progressive, Packed, 2, 5), 0);
  for (int i = 0; i < 30; ++i) progressive.frame.Data[i] = static_cast<uint8_t>(i / 6);  // row number
  TestFrame interlaced(Layout(YUV_444, YUV, Interlaced, Packed, 2, 5), 1);
  ASSERT_TRUE(ConvertFieldFormat(progressive.frame, interlaced.frame));
  std::vector<uint8_t> rows;
  for (int i = 0; i < 30; i += 6) rows.push_back(interlaced.frame.Data[i]);
  EXPECT_EQ(rows, (std::vector<uint8_t>{0, 2, 4, 1, 3}));
  EXPECT_EQ(FieldTwoOffset(interlaced.frame), 18);
  TestFrame back(Layout(YUV_444, YUV, Progressive, Packed, 2, 5), 2);
  ASSERT_TRUE(ConvertFieldFormat(interlaced.frame, back.frame));
  EXPECT_EQ(back.Bytes(), progressive.Bytes());

  // Every layout without vertical subsampling converts at odd heights, there and back.
  int interlacedLayouts = 0;
  for (const ImageFormat& layout : test::ValidYuvLayouts(6, 7)) {
    if (layout.FieldFormat != Interlaced) continue;
    ++interlacedLayouts;
    EXPECT_NE(layout.SamplingFormat, YUV_420);
    TestFrame source(layout, 3), copy(layout, 0), picture(Sized(kCanonical, 6, 7), 4), again(layout, 5);
    std::copy(source.frame.Data, source.frame.Data + source.frame.DataSize, copy.frame.Data);
    ASSERT_TRUE(ToCanonical444(copy.frame, picture.frame)) << Describe(layout);
    ASSERT_TRUE(FromCanonical444(picture.frame, again.frame)) << Describe(layout);
    EXPECT_EQ(again.Bytes(), source.Bytes()) << Describe(layout);
  }
  EXPECT_EQ(interlacedLayouts, 3 + 3 + 3 + 2) << "4:4:4 packed and planar, 4:2:2 packed and planar";
}

TEST(PipelineKernels, RefuseWhatIsNoYuvLayout) {
  TestFrame canonical(Sized(kCanonical, 8, 8), 1);
  const ImageFormat refused[] = {
      Layout(YUV_420, YUV, Progressive, Packed, 8, 8),
      Layout(YUV_420, UYV, Progressive, Planar, 8, 8),
      Layout(RGB_444, RGB, Progressive, Packed, 8, 8),
      Layout(BMP, RGB, Progressive, Packed, 8, 8),
      Layout(YUV_444, BGR, Progressive, Packed, 8, 8),
      // Sizes the layout cannot hold (a target takes the source's size instead).
      Layout(YUV_422, YUV, Progressive, Packed, 7, 8),
      Layout(YUV_420, YUV, Progressive, Planar, 8, 7),
      Layout(YUV_420, YUV, Interlaced, Planar, 8, 7),
      Layout(YUV_420, YUV, Interlaced, Planar, 8, 2),
  };
  for (const ImageFormat& layout : refused) {
    TestFrame f(layout, 2), out(Sized(kCanonical, 8, 8), 3);
    EXPECT_FALSE(ToCanonical444(f.frame, out.frame)) << Describe(layout);
    EXPECT_FALSE(ToCanonical444Reference(f.frame, out.frame)) << Describe(layout);
    if (layout.ImgWidth == 8 && layout.ImgHeight == 8) {
      EXPECT_FALSE(FromCanonical444(canonical.frame, f.frame)) << Describe(layout);
    }
  }
  // A buffer too small for the canonical picture.
  TestFrame source(Layout(YUV_420, YUV, Progressive, Planar, 8, 8), 4);
  FrameBuffer small;
  small.Allocate(100);
  FrameImage cramped = small.Frame(Sized(kCanonical, 8, 8));
  EXPECT_FALSE(ToCanonical444(source.frame, cramped));
  // Mono is shown as grey.
  TestFrame mono(Layout(MONO, YUV, Progressive, Planar, 2, 1), 5), grey(Sized(kCanonical, 2, 1), 6);
  ASSERT_TRUE(ToCanonical444(mono.frame, grey.frame));
  EXPECT_EQ(grey.Bytes(), (std::vector<uint8_t>{mono.frame.Data[0], 128, 128, mono.frame.Data[1], 128, 128}));
}

TEST(ScaleKernel, MatchesThePerPixelFormula) {
  const Size pairs[][2] = {{{1920, 1080}, {1280, 720}}, {{7, 5}, {19, 11}},
                           {{64, 48}, {3, 2}},          {{2, 2}, {5, 9}},
                           {{33, 17}, {32, 16}},        {{100, 3}, {100, 40}}};
  uint32_t seed = 99;
  for (const auto& pair : pairs) {
    for (int32_t sampling : {YUV_444, RGB_444}) {
      const int32_t order = sampling == RGB_444 ? BGR : UYV;
      TestFrame a(Layout(sampling, order, Progressive, Packed, pair[0].w, pair[0].h), seed);
      TestFrame fast(Layout(YUV_444, YUV, Progressive, Packed, pair[1].w, pair[1].h), 1);
      TestFrame reference(Layout(YUV_444, YUV, Progressive, Packed, pair[1].w, pair[1].h), 2);
      ASSERT_TRUE(ScaleBilinear(a.frame, fast.frame));
      ASSERT_TRUE(ScaleBilinearReference(a.frame, reference.frame));
      ASSERT_EQ(fast.Bytes(), reference.Bytes()) << pair[0].w << "x" << pair[0].h << " to " << pair[1].w;
      EXPECT_EQ(fast.frame.SamplingFormat, sampling);
      EXPECT_EQ(fast.frame.ComponentOrder, order);
      ++seed;
    }
  }
}

// Every planar YUV layout at one size.
std::vector<ImageFormat> PlanarLayouts(int32_t w, int32_t h) {
  std::vector<ImageFormat> planar;
  for (const ImageFormat& f : test::ValidYuvLayouts(w, h)) {
    if (f.PixelFormat == Planar) planar.push_back(f);
  }
  return planar;
}

// Runs of equal bytes: flat areas are where the doubles of the weights matter
// most (a weighted sum of equal samples may fall just below the sample).
void MakeFlatRuns(test::TestFrame& f, int run) {
  for (int32_t i = 0; i < f.frame.DataSize; ++i) f.frame.Data[i] = static_cast<uint8_t>((i / run) * 53 % 256);
}

TEST(ScaleKernel, PlanesScaleToTheBytesOfTheCanonicalChain) {
  // Down and up, odd ratios, and one pair above the size scaled in two halves at once.
  const Size pairs[][2] = {
      {{18, 10}, {6, 8}}, {{6, 8}, {34, 14}}, {{34, 14}, {18, 10}}, {{720, 488}, {352, 288}}};
  uint32_t seed = 700;
  int compared = 0;
  for (const auto& pair : pairs) {
    const bool large = pair[0].w > 100;
    for (const ImageFormat& from : PlanarLayouts(pair[0].w, pair[0].h)) {
      for (const ImageFormat& to : PlanarLayouts(pair[1].w, pair[1].h)) {
        // The large pair once per source layout, against every target sampling.
        if (large && (to.ComponentOrder != from.ComponentOrder % 2 || to.FieldFormat != from.FieldFormat))
          continue;
        for (int content = 0; content < 2; ++content, ++seed) {
          TestFrame source(from, seed), copy(from, 0);
          if (content == 1) MakeFlatRuns(source, 7);
          std::copy(source.frame.Data, source.frame.Data + source.frame.DataSize, copy.frame.Data);
          TestFrame canonical(Sized(kCanonical, pair[0].w, pair[0].h), 1);
          TestFrame scaled(Sized(kCanonical, pair[1].w, pair[1].h), 2);
          TestFrame direct(to, 3), chain(to, 4);
          ASSERT_TRUE(ScaleYuvPlanes(source.frame, direct.frame)) << Describe(from) << " to " << Describe(to);
          ASSERT_TRUE(ToCanonical444Reference(copy.frame, canonical.frame));
          ASSERT_TRUE(ScaleBilinearReference(canonical.frame, scaled.frame));
          ASSERT_TRUE(FromCanonical444Reference(scaled.frame, chain.frame));
          ASSERT_EQ(direct.frame.DataSize, chain.frame.DataSize);
          ASSERT_EQ(direct.Bytes(), chain.Bytes())
              << Describe(from) << " to " << Describe(to) << " content " << content;
          ++compared;
        }
      }
    }
  }
  EXPECT_GT(compared, 500);
  // Packed frames, equal sizes and a shared buffer are left to the canonical chain.
  TestFrame packed(Layout(YUV_422, UYV, Progressive, Packed, 6, 8), 1),
      planar(Layout(YUV_420, YUV, Progressive, Planar, 4, 4), 2);
  EXPECT_FALSE(ScaleYuvPlanes(packed.frame, planar.frame));
  TestFrame same(Layout(YUV_420, YUV, Progressive, Planar, 4, 4), 3);
  EXPECT_FALSE(ScaleYuvPlanes(same.frame, planar.frame));
  EXPECT_FALSE(ScaleYuvPlanes(planar.frame, planar.frame));
}

TEST(ScaleKernel, LargePicturesSplitBetweenThreadsEndOnAHalfBlockOfRows) {
  // Heights of 4k + 2: the last block of rows is short, and for 4:2:0 ends on a chroma row.
  const Size pairs[][2] = {{{1280, 720}, {720, 486}}, {{640, 360}, {1282, 722}}};
  uint32_t seed = 900;
  for (const auto& pair : pairs) {
    for (int32_t sampling : {YUV_444, YUV_422, YUV_420}) {
      const ImageFormat from = Layout(sampling, YUV, Progressive, Planar, pair[0].w, pair[0].h);
      const ImageFormat to = Layout(sampling, YVU, Progressive, Planar, pair[1].w, pair[1].h);
      SCOPED_TRACE(Describe(from) + " to " + Describe(to));
      TestFrame source(from, ++seed), copy(from, 0);
      std::copy(source.frame.Data, source.frame.Data + source.frame.DataSize, copy.frame.Data);
      TestFrame canonical(Sized(kCanonical, pair[0].w, pair[0].h), 1);
      TestFrame scaled(Sized(kCanonical, pair[1].w, pair[1].h), 2);
      TestFrame direct(to, 3), chain(to, 4);
      ASSERT_TRUE(ScaleYuvPlanes(source.frame, direct.frame));
      ASSERT_TRUE(ToCanonical444Reference(copy.frame, canonical.frame));
      ASSERT_TRUE(ScaleBilinearReference(canonical.frame, scaled.frame));
      ASSERT_TRUE(FromCanonical444Reference(scaled.frame, chain.frame));
      ASSERT_EQ(direct.frame.DataSize, chain.frame.DataSize);
      EXPECT_TRUE(direct.Bytes() == chain.Bytes());
    }
  }
}

TEST(LayoutProperties, LayoutOnlyChangesRoundTrip) {
  uint32_t seed = 5000;
  for (const Size size : {Size{6, 8}, Size{18, 12}, Size{3, 4}}) {
    for (const ImageFormat& layout : test::ValidYuvLayouts(size.w, size.h)) {
      const TestFrame original(layout, seed++);
      auto roundTrip = [&](const char* what, ImageFormat changed, auto op) {
        TestFrame source(layout, 0), middle(changed, 1), back(layout, 2);
        std::copy(original.frame.Data, original.frame.Data + original.frame.DataSize, source.frame.Data);
        FrameBuffer probe;
        probe.Allocate(WorkBufferSize(size.w, size.h));
        if (!IsValidYuvLayout(probe.Frame(changed))) return;
        ASSERT_TRUE(op(source.frame, middle.frame)) << what << " " << Describe(layout);
        ASSERT_TRUE(op(middle.frame, back.frame)) << what << " back, " << Describe(layout);
        EXPECT_EQ(back.Bytes(), original.Bytes()) << what << " " << Describe(layout);
      };
      ImageFormat packing = layout;
      packing.PixelFormat = layout.PixelFormat == Packed ? Planar : Packed;
      if (layout.SamplingFormat == YUV_444) roundTrip("packing", packing, ConvertPixelFormat);
      if (layout.SamplingFormat == YUV_422 && layout.ComponentOrder == UYV) {
        roundTrip("packing", packing, ConvertPixelFormat);  // the packed side is U Y0 V Y1
      }
      ImageFormat field = layout;
      field.FieldFormat = layout.FieldFormat == Interlaced ? Progressive : Interlaced;
      roundTrip("field", field, ConvertFieldFormat);
      if (layout.FieldFormat == Progressive) {
        for (int32_t order : {YUV, YVU, UYV}) {
          if (order == layout.ComponentOrder) continue;
          ImageFormat reordered = layout;
          reordered.ComponentOrder = order;
          roundTrip("order", reordered, ReorderComponents);
        }
      }
    }
  }
}

TEST(LayoutProperties, EveryStorageOfOnePictureLooksTheSame) {
  for (const Size size : {Size{6, 8}, Size{34, 14}}) {
    const TestFrame picture(Sized(kCanonical, size.w, size.h), 77);
    std::vector<uint8_t> seen[3];  // by sampling: what ToCanonical444 gives back
    for (const ImageFormat& layout : test::ValidYuvLayouts(size.w, size.h)) {
      TestFrame source(Sized(kCanonical, size.w, size.h), 0), stored(layout, 1),
          shown(Sized(kCanonical, size.w, size.h), 2);
      std::copy(picture.frame.Data, picture.frame.Data + picture.frame.DataSize, source.frame.Data);
      ASSERT_TRUE(FromCanonical444(source.frame, stored.frame)) << Describe(layout);
      ASSERT_TRUE(ToCanonical444(stored.frame, shown.frame)) << Describe(layout);
      std::vector<uint8_t>& expected = seen[layout.SamplingFormat];
      // Interlaced 4:2:0 samples chroma per field when H / 2 is odd; compare it
      // with the other interlaced layouts only at heights that are multiples of 4.
      if (layout.SamplingFormat == YUV_420 && layout.FieldFormat == Interlaced && size.h % 4 != 0) continue;
      if (expected.empty()) expected = shown.Bytes();
      EXPECT_EQ(shown.Bytes(), expected) << Describe(layout);
      if (layout.SamplingFormat == YUV_444) {
        EXPECT_EQ(shown.Bytes(), picture.Bytes()) << Describe(layout);
      }
    }
  }
}

TEST(LayoutProperties, SubsamplingIsStable) {
  for (const ImageFormat& layout : test::ValidYuvLayouts(18, 12)) {
    if (layout.SamplingFormat == YUV_444) continue;
    TestFrame picture(Sized(kCanonical, 18, 12), 3), first(layout, 4), shown(Sized(kCanonical, 18, 12), 5),
        second(layout, 6);
    ASSERT_TRUE(FromCanonical444(picture.frame, first.frame));
    ASSERT_TRUE(ToCanonical444(first.frame, shown.frame));
    ASSERT_TRUE(FromCanonical444(shown.frame, second.frame));
    EXPECT_EQ(second.Bytes(), first.Bytes()) << Describe(layout);
  }
}

}  // namespace
}  // namespace vx
