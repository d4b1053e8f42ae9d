#include "tools/Composition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "PixelTestSupport.h"
#include "TestSupport.h"
#include "image/ColorFormula.h"
#include "image/Dib.h"
#include "platform/MessageSink.h"
#include "tools/Crop.h"
#include "tools/FrameInput.h"

namespace vx {
namespace {

class Quiet : public ToolJobObserver {
 public:
  bool WantsPreview() const override { return false; }
};

class CompositionJobs : public testing::Test {
 protected:
  std::filesystem::path Clip(const ImageFormat& f, int frames, uint32_t seed, const std::string& name) {
    return test::WriteRandomClip(dir_ / name, f, frames, seed);
  }
  // A composition of `top` (raw, `topLayout`) over `base`, all frames.
  void Setup(CompositionJob& job, const std::filesystem::path& base, const ImageFormat& baseLayout,
             const std::filesystem::path& top, const ImageFormat& topLayout, int64_t baseFrames,
             int64_t topFrames) {
    job.SourceName = base.string();
    static_cast<ImageFormat&>(job.SourceFormat) = baseLayout;
    ComputeFrameSize(job.SourceFormat);
    job.SecondSourceName = top.string();
    static_cast<ImageFormat&>(job.TopFormat) = topLayout;
    ComputeFrameSize(job.TopFormat);
    job.TargetName = (dir_ / "out.yuv").string();
    job.FrameCount = baseFrames;
    job.TopFrameCount = topFrames;
    job.StartFrame = 1;
    job.EndFrame = baseFrames;
  }
  std::vector<uint8_t> Run(CompositionJob& job) {
    Quiet quiet;
    EXPECT_EQ(job.FreezeAndRun(quiet), JobOutcome::Completed)
        << (recorder_.Texts().empty() ? "" : recorder_.Texts().back());
    return test::ReadFileBytes(dir_ / "out.yuv");
  }
  test::TempDir dir_;
  RecordingMessageSink recorder_;
  ScopedMessageSink scope_{recorder_};
};

TEST_F(CompositionJobs, AQuarterPictureLandsAtItsPlace) {
  const ImageFormat cif = test::Layout(YUV_420, YUV, Progressive, Planar, 352, 288);
  const ImageFormat qcif = test::Layout(YUV_420, YUV, Progressive, Planar, 176, 144);
  const auto base = Clip(cif, 1, 1, "base.yuv"), top = Clip(qcif, 1, 2, "top.yuv");
  CompositionJob job;
  Setup(job, base, cif, top, qcif, 1, 1);
  const auto out = Run(job);
  EXPECT_TRUE(recorder_.Texts().empty()) << "no finish message, equal counts give no notice";
  const auto b = test::ReadFileBytes(base), t = test::ReadFileBytes(top);
  std::vector<uint8_t> expected = b;
  for (int y = 10; y <= 153; ++y)
    for (int x = 20; x <= 195; ++x) expected[y * 352 + x] = t[(y - 10) * 176 + (x - 20)];
  for (int plane = 0; plane < 2; ++plane) {
    const size_t baseAt = 352 * 288 + plane * 176 * 144, topAt = 176 * 144 + plane * 88 * 72;
    for (int y = 5; y <= 76; ++y)
      for (int x = 10; x <= 97; ++x) expected[baseAt + y * 176 + x] = t[topAt + (y - 5) * 88 + (x - 10)];
  }
  EXPECT_EQ(out, expected);
}

TEST_F(CompositionJobs, TransparencyBlendsByTheRoundedFormula) {
  const ImageFormat base444 = test::Layout(YUV_444, YUV, Progressive, Planar, 16, 8);
  const ImageFormat top444 = test::Layout(YUV_444, YUV, Progressive, Planar, 8, 4);
  const auto base = Clip(base444, 1, 3, "b.yuv"), top = Clip(top444, 1, 4, "t.yuv");
  const auto b = test::ReadFileBytes(base), t = test::ReadFileBytes(top);
  for (const int transparency : {100, 50, 33}) {
    CompositionJob job;
    Setup(job, base, base444, top, top444, 1, 1);
    job.Composition.TopLine = 2;
    job.Composition.LeftColumn = 4;
    job.Composition.Transparency = transparency;
    const auto out = Run(job);
    std::vector<uint8_t> expected = b;
    for (int plane = 0; plane < 3; ++plane)
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
          uint8_t& o = expected[plane * 128 + (y + 2) * 16 + x + 4];
          o = static_cast<uint8_t>(
              (transparency * o + (100 - transparency) * t[plane * 32 + y * 8 + x] + 50) / 100);
        }
    EXPECT_EQ(out, expected) << "transparency " << transparency;
    if (transparency == 100) {
      EXPECT_EQ(out, b) << "the base alone";
    }
  }
}

// Where pixel (row, column)'s three samples lie in a frame, in storage order, from
// the layouts' definitions: planes one after another (each field's own planes for
// interlaced 4:2:0), packed pixels of three bytes, packed 4:2:2 groups of four bytes
// (Y0 U Y1 V, Y0 V Y1 U, U Y0 V Y1), fields one after the other; a mono pixel's
// one sample three times.
std::array<size_t, 3> SampleBytes(const ImageFormat& f, int row, int column) {
  const size_t w = f.ImgWidth, h = f.ImgHeight, x = column;
  const bool interlaced = f.FieldFormat == Interlaced;
  if (f.SamplingFormat == MONO) return {row * w + x, row * w + x, row * w + x};  // one sample
  if (f.PixelFormat == Planar && f.SamplingFormat == YUV_420 && interlaced) {
    const size_t fieldBytes = w * h / 2 + 2 * (w / 2) * (h / 4);
    const size_t start = (row % 2) * fieldBytes, y = row / 2;
    const size_t first = start + w * h / 2 + (y / 2) * (w / 2) + x / 2;
    return {start + y * w + x, first, first + (w / 2) * (h / 4)};
  }
  if (f.PixelFormat == Planar) {
    const bool wide = f.SamplingFormat == YUV_444 || f.SamplingFormat == RGB_444;
    const size_t chromaWidth = wide ? w : w / 2;
    const size_t chromaRows = f.SamplingFormat == YUV_420 ? h / 2 : h;
    const size_t chromaRow = f.SamplingFormat == YUV_420 ? row / 2 : row;
    const size_t first = w * h + chromaRow * chromaWidth + (wide ? x : x / 2);
    return {size_t(row) * w + x, first, first + chromaWidth * chromaRows};
  }
  const size_t rowBytes = f.SamplingFormat == YUV_422 ? 2 * w : 3 * w;
  const size_t start = interlaced ? (row % 2) * (h / 2) * rowBytes + (row / 2) * rowBytes : row * rowBytes;
  if (f.SamplingFormat != YUV_422) return {start + 3 * x, start + 3 * x + 1, start + 3 * x + 2};
  const size_t group = start + 4 * (x / 2), luma = x % 2;
  if (f.ComponentOrder == UYV) return {group, group + 1 + 2 * luma, group + 2};
  return {group + 2 * luma, group + 1, group + 3};
}

// The composition by its formula: every sample a drawn pixel reaches becomes
// (T x base + (100 - T) x top + 50) / 100, blended once from the base; a sample
// that pixels share takes the top value of the last of them in row-major order.
std::vector<uint8_t> ComposedByTheFormula(const std::vector<uint8_t>& base, const ImageFormat& baseLayout,
                                          const std::vector<uint8_t>& top, const ImageFormat& topLayout,
                                          int topLine, int leftColumn, int transparency) {
  std::vector<uint8_t> out = base;
  for (int i = 0; i < topLayout.ImgHeight; ++i) {
    for (int j = 0; j < topLayout.ImgWidth; ++j) {
      const auto from = SampleBytes(topLayout, i, j);
      const auto to = SampleBytes(baseLayout, topLine + i, leftColumn + j);
      for (size_t k = 0; k < 3; ++k)
        out[to[k]] = static_cast<uint8_t>(
            (transparency * base[to[k]] + (100 - transparency) * top[from[k]] + 50) / 100);
    }
  }
  return out;
}

// Empty when the bytes are equal; otherwise the first byte that differs.
std::string FirstDifference(const std::vector<uint8_t>& got, const std::vector<uint8_t>& expected) {
  if (got.size() != expected.size())
    return std::to_string(got.size()) + " bytes instead of " + std::to_string(expected.size());
  const auto [g, e] = std::mismatch(got.begin(), got.end(), expected.begin());
  if (g == got.end()) return {};
  return "byte " + std::to_string(g - got.begin()) + " is " + std::to_string(*g) + " instead of " +
         std::to_string(*e);
}

TEST_F(CompositionJobs, SharedChromaIsBlendedOnceInEveryLayout) {
  const std::vector<ImageFormat> layouts = {
      test::Layout(YUV_420, YUV, Progressive, Planar, 16, 12),
      test::Layout(YUV_420, YVU, Interlaced, Planar, 16, 12),
      test::Layout(YUV_422, YUV, Progressive, Planar, 16, 12),
      test::Layout(YUV_422, YUV, Progressive, Packed, 16, 12),
      test::Layout(YUV_422, YVU, Progressive, Packed, 16, 12),
      test::Layout(YUV_422, UYV, Progressive, Packed, 16, 12),
      test::Layout(YUV_422, UYV, Interlaced, Packed, 16, 12),
      test::Layout(YUV_444, YUV, Progressive, Planar, 16, 12),
      test::Layout(YUV_444, YUV, Progressive, Packed, 16, 12),
      test::Layout(RGB_444, BGR, Progressive, Packed, 16, 12),
      test::Layout(MONO, YUV, Progressive, Planar, 16, 12),
  };
  struct Place {
    int topLine, leftColumn;
  };
  for (const ImageFormat& baseLayout : layouts) {
    ImageFormat topLayout = baseLayout;
    topLayout.ImgWidth = 8;
    topLayout.ImgHeight = 4;
    DeriveResolution(topLayout);
    const auto base = Clip(baseLayout, 1, 21, "b.yuv"), top = Clip(topLayout, 1, 22, "t.yuv");
    const auto b = test::ReadFileBytes(base), t = test::ReadFileBytes(top);
    for (const Place place : {Place{2, 4}, Place{5, 7}}) {
      for (const int transparency : {0, 33, 50, 100}) {
        CompositionJob job;
        Setup(job, base, baseLayout, top, topLayout, 1, 1);
        job.Composition.TopLine = place.topLine;
        job.Composition.LeftColumn = place.leftColumn;
        job.Composition.Transparency = transparency;
        const auto expected =
            ComposedByTheFormula(b, baseLayout, t, topLayout, place.topLine, place.leftColumn, transparency);
        EXPECT_EQ(FirstDifference(Run(job), expected), "")
            << test::Describe(baseLayout) << " at (" << place.topLine << ", " << place.leftColumn
            << "), transparency " << transparency;
      }
    }
  }
}

TEST_F(CompositionJobs, HalfOf100And200Is150InEverySample) {
  // 16 x 8 of 100 under 8 x 4 of 200 at line 2, column 4: every covered sample is 150.
  const auto compose = [&](const ImageFormat& layout) {
    ImageFormat topLayout = layout;
    topLayout.ImgWidth = 8;
    topLayout.ImgHeight = 4;
    DeriveResolution(topLayout);
    FrameImage probe;
    static_cast<ImageFormat&>(probe) = layout;
    test::WriteFileBytes(dir_ / "b.yuv",
                         std::vector<uint8_t>(static_cast<size_t>(ComputeFrameSize(probe)), 100));
    static_cast<ImageFormat&>(probe) = topLayout;
    test::WriteFileBytes(dir_ / "t.yuv",
                         std::vector<uint8_t>(static_cast<size_t>(ComputeFrameSize(probe)), 200));
    CompositionJob job;
    Setup(job, dir_ / "b.yuv", layout, dir_ / "t.yuv", topLayout, 1, 1);
    job.Composition.TopLine = 2;
    job.Composition.LeftColumn = 4;
    job.Composition.Transparency = 50;
    return Run(job);
  };
  // Planar 4:2:0: luma rows 2-5, columns 4-11; chroma rows 1-2, columns 2-5 of both 8 x 4 planes.
  std::vector<uint8_t> expected(192, 100);
  for (int y = 2; y <= 5; ++y)
    for (int x = 4; x <= 11; ++x) expected[y * 16 + x] = 150;
  for (const size_t plane : {128, 160})
    for (int y = 1; y <= 2; ++y)
      for (int x = 2; x <= 5; ++x) expected[plane + y * 8 + x] = 150;
  EXPECT_EQ(FirstDifference(compose(test::Layout(YUV_420, YUV, Progressive, Planar, 16, 8)), expected), "");
  // Packed 4:2:2: bytes 8-23 (groups 2-5) of rows 2-5 of 32 bytes.
  expected.assign(256, 100);
  for (int y = 2; y <= 5; ++y)
    for (int x = 8; x <= 23; ++x) expected[y * 32 + x] = 150;
  EXPECT_EQ(FirstDifference(compose(test::Layout(YUV_422, YUV, Progressive, Packed, 16, 8)), expected), "");
}

TEST_F(CompositionJobs, TheColourKeyLeavesOutPixelsNearItsColour) {
  const ImageFormat layout = test::Layout(YUV_444, YUV, Progressive, Packed, 8, 2);
  const auto base = Clip(layout, 1, 5, "b.yuv");
  const auto black = FillBytes(*CurrentColourTables(), layout, RgbColor{0, 0, 0});
  // Pixel 0 is black, pixel 1 within 16 of it, pixel 2 off by 17 in V, the rest far.
  std::vector<uint8_t> top(8 * 2 * 3, 200);
  for (int k = 0; k < 3; ++k) {
    top[k] = black[k];
    top[3 + k] = static_cast<uint8_t>(black[k] + 16);
    top[6 + k] = black[k];
  }
  top[8] = static_cast<uint8_t>(black[2] + 17);
  test::WriteFileBytes(dir_ / "t.yuv", top);
  CompositionJob job;
  Setup(job, base, layout, dir_ / "t.yuv", layout, 1, 1);
  job.Composition.TopLine = 0;
  job.Composition.LeftColumn = 0;
  job.Composition.ColorKeyEnabled = true;
  job.Composition.ColorKeyRange = 16;
  const auto out = Run(job), b = test::ReadFileBytes(base);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 6),
            std::vector<uint8_t>(b.begin(), b.begin() + 6))
      << "pixels 0 and 1 keep the base";
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 6, out.end()),
            std::vector<uint8_t>(top.begin() + 6, top.end()));
}

TEST_F(CompositionJobs, AShortTopEndsOrRepeatsItsLastFrame) {
  const ImageFormat baseLayout = test::Layout(YUV_444, YUV, Progressive, Planar, 8, 4);
  const ImageFormat topLayout = test::Layout(YUV_444, YUV, Progressive, Planar, 4, 2);
  const auto base = Clip(baseLayout, 100, 6, "b.yuv"), top = Clip(topLayout, 10, 7, "t.yuv");
  const auto b = test::ReadFileBytes(base), t = test::ReadFileBytes(top);
  const size_t frame = 96;
  auto topPixelAt = [&](const std::vector<uint8_t>& out, size_t f) { return out[f * frame + 0 * 8 + 0]; };
  for (const bool repeat : {false, true}) {
    CompositionJob job;
    Setup(job, base, baseLayout, top, topLayout, 100, 10);
    job.Composition.TopLine = 0;
    job.Composition.LeftColumn = 0;
    job.Composition.RepeatLastTop = repeat;
    const auto out = Run(job);
    ASSERT_EQ(out.size(), 100 * frame);
    EXPECT_EQ(
        recorder_.Texts().back(),
        " Base image files contains more frames than the top image files.\n You can specify if you need "
        "repeat "
        "the last frame of top image file to continoue to put on top of the rest frames of the base image "
        "file!");
    EXPECT_EQ(topPixelAt(out, 9), t[9 * 24]) << "frame 10 carries top frame 10";
    for (size_t f = 10; f < 100; ++f) {
      if (repeat) {
        ASSERT_EQ(topPixelAt(out, f), t[9 * 24]) << "frame " << f + 1 << " carries the last top frame";
      } else {
        ASSERT_TRUE(std::equal(out.begin() + f * frame, out.begin() + (f + 1) * frame, b.begin() + f * frame))
            << "frame " << f + 1 << " is the base";
      }
    }
  }
}

TEST_F(CompositionJobs, ALateStartTakesTheFirstRawFrameOrThatPicture) {
  const ImageFormat baseLayout = test::Layout(YUV_444, YUV, Progressive, Planar, 8, 4);
  const ImageFormat topLayout = test::Layout(YUV_444, YUV, Progressive, Planar, 4, 2);
  const auto base = Clip(baseLayout, 8, 8, "b.yuv"), top = Clip(topLayout, 8, 9, "t.yuv");
  const auto t = test::ReadFileBytes(top);
  CompositionJob raw;
  Setup(raw, base, baseLayout, top, topLayout, 8, 8);
  raw.Composition.TopLine = 0;
  raw.Composition.LeftColumn = 0;
  raw.StartFrame = 5;
  auto out = Run(raw);
  ASSERT_EQ(out.size(), 4u * 96);
  EXPECT_EQ(out[0], t[0]) << "base frame 5 gets top frame 1";

  // Pictures: base frame 5 gets the fifth; each picture's luma is its number times 20.
  std::vector<std::string> names;
  for (int k = 1; k <= 8; ++k) {
    const uint8_t grey = static_cast<uint8_t>(20 * k);
    std::vector<uint8_t> rows(4 * 2 * 3 + 4, grey);  // 4 x 2, rows padded to 12 bytes: 24 bytes
    CDib dib;
    ASSERT_TRUE(dib.CreateFromBits(4, 2, 24, rows));
    names.push_back((dir_ / ("p" + std::to_string(k) + ".bmp")).string());
    auto file = RawFile::Create(names.back());
    ASSERT_TRUE(file && dib.Write(*file));
  }
  CompositionJob pictures;
  Setup(pictures, base, baseLayout, names[0], topLayout, 8, 8);
  pictures.TopFormat = PictureFormat(4, 2);
  pictures.TopBmpNames = names;
  pictures.Composition.TopLine = 0;
  pictures.Composition.LeftColumn = 0;
  pictures.StartFrame = 5;
  out = Run(pictures);
  ASSERT_EQ(out.size(), 4u * 96);
  const auto grey100 = FillBytes(*CurrentColourTables(), baseLayout, RgbColor{100, 100, 100});
  EXPECT_EQ(out[0], grey100[0]) << "the fifth picture's luma";
  EXPECT_EQ(out[32], grey100[1]) << "and its U";
  const auto grey160 = FillBytes(*CurrentColourTables(), baseLayout, RgbColor{160, 160, 160});
  EXPECT_EQ(out[3 * 96], grey160[0]) << "base frame 8 gets picture 8";
}

TEST_F(CompositionJobs, APictureOverAnRgbBaseKeepsItsValues) {
  const ImageFormat rgb = test::Layout(RGB_444, RGB, Progressive, Packed, 8, 4);
  const auto base = Clip(rgb, 1, 10, "b.rgb");
  std::vector<uint8_t> rows = {10, 20, 30, 40,  50,  60,  0, 0,   // stored row 0: the bottom row
                               70, 80, 90, 100, 110, 120, 0, 0};  // stored row 1: the top row
  CDib dib;
  ASSERT_TRUE(dib.CreateFromBits(2, 2, 24, rows));
  const std::string name = (dir_ / "pic.bmp").string();
  auto file = RawFile::Create(name);
  ASSERT_TRUE(file && dib.Write(*file));
  CompositionJob job;
  Setup(job, base, rgb, name, rgb, 1, 1);
  job.TopFormat = PictureFormat(2, 2);
  job.TopBmpNames = {name};
  job.Composition.TopLine = 1;
  job.Composition.LeftColumn = 3;
  const auto out = Run(job);
  auto pixel = [&](int y, int x) {
    return std::vector<uint8_t>(out.begin() + (y * 8 + x) * 3, out.begin() + (y * 8 + x) * 3 + 3);
  };
  EXPECT_EQ(pixel(1, 3), (std::vector<uint8_t>{90, 80, 70})) << "the top row, R G B";
  EXPECT_EQ(pixel(2, 4), (std::vector<uint8_t>{60, 50, 40}));
}

TEST_F(CompositionJobs, TopsBeyondTheEdgesAreClippedInEveryLayout) {
  // A top wider than the base at column 300 draws only what lies inside.
  const ImageFormat cif = test::Layout(YUV_420, YUV, Progressive, Planar, 352, 288);
  const ImageFormat wide = test::Layout(YUV_420, YUV, Progressive, Planar, 400, 16);
  const auto base = Clip(cif, 1, 11, "b.yuv"), top = Clip(wide, 1, 12, "t.yuv");
  CompositionJob job;
  Setup(job, base, cif, top, wide, 1, 1);
  job.Composition.TopLine = 0;
  job.Composition.LeftColumn = 300;
  const auto out = Run(job), t = test::ReadFileBytes(top);
  EXPECT_EQ(out[351], t[51]);
  EXPECT_EQ(out[299], test::ReadFileBytes(base)[299]);

  // Negative positions: the same as the top's visible part laid at the corner.
  std::vector<ImageFormat> layouts = test::ValidYuvLayouts(24, 16);
  layouts.push_back(test::Layout(RGB_444, BGR, Interlaced, Packed, 24, 16));
  layouts.push_back(test::Layout(MONO, YUV, Progressive, Planar, 24, 16));
  for (ImageFormat baseLayout : layouts) {
    ImageFormat topLayout = baseLayout;
    topLayout.ImgWidth = 12;
    topLayout.ImgHeight = 8;
    DeriveResolution(topLayout);
    const auto b = Clip(baseLayout, 2, 13, "nb.yuv"), t = Clip(topLayout, 2, 14, "nt.yuv");
    CompositionJob clipped;
    Setup(clipped, b, baseLayout, t, topLayout, 2, 2);
    clipped.Composition.TopLine = -4;
    clipped.Composition.LeftColumn = -6;
    clipped.Composition.Transparency = 30;
    const auto out1 = Run(clipped);
    // The visible part made by the crop tool, laid at (0, 0).
    CropJob crop;
    ASSERT_TRUE(crop.PrepareCrop(t.string(), (dir_ / "visible.yuv").string(), topLayout, 4, 6, 4, 6));
    Quiet quiet;
    crop.ExitWhenDone = true;
    ASSERT_EQ(crop.FreezeAndRun(quiet), JobOutcome::Completed) << test::Describe(baseLayout);
    ImageFormat visibleLayout = topLayout;
    visibleLayout.ImgWidth = 6;
    visibleLayout.ImgHeight = 4;
    CompositionJob corner;
    Setup(corner, b, baseLayout, dir_ / "visible.yuv", visibleLayout, 2, 2);
    corner.Composition.TopLine = 0;
    corner.Composition.LeftColumn = 0;
    corner.Composition.Transparency = 30;
    EXPECT_EQ(out1, Run(corner)) << test::Describe(baseLayout);
  }
}

TEST_F(CompositionJobs, ACompletedCompositionSaysNothing) {
  const ImageFormat f = test::Layout(YUV_420, YUV, Progressive, Planar, 16, 8);
  CompositionJob job;
  Setup(job, Clip(f, 2, 1, "base.yuv"), f, Clip(f, 2, 2, "top.yuv"), f, 2, 2);
  Run(job);
  EXPECT_TRUE(recorder_.Texts().empty()) << "no finish message, not even an empty one";
}

TEST_F(CompositionJobs, RangeChecksComeInTheirOwnOrder) {
  const ImageFormat layout = test::Layout(YUV_420, YUV, Progressive, Planar, 16, 8);
  const auto base = Clip(layout, 4, 1, "b.yuv"), top = Clip(layout, 4, 2, "t.yuv");
  struct Case {
    int64_t start, end;
    const char* code;
  } cases[] = {
      {0, 9, "Error CMPS1004"}, {3, 2, "Error CMPS1005"}, {5, 5, "Error CMPS1006"}, {2, 5, "Error CMPS1007"}};
  for (const Case& c : cases) {
    CompositionJob job;
    Setup(job, base, layout, top, layout, 4, 4);
    job.StartFrame = c.start;
    job.EndFrame = c.end;
    Quiet quiet;
    EXPECT_EQ(job.FreezeAndRun(quiet), JobOutcome::FailedStopped);
    EXPECT_EQ(recorder_.Texts().back().substr(0, 14), c.code);
  }
  // A raw top of another layout is refused.
  CompositionJob different;
  ImageFormat yvu = layout;
  yvu.ComponentOrder = YVU;
  Setup(different, base, layout, top, yvu, 4, 4);
  Quiet quiet;
  EXPECT_NE(different.FreezeAndRun(quiet), JobOutcome::Completed);
  EXPECT_EQ(recorder_.Texts().back(), "The two files have different format, and cannot be composited!");
  EXPECT_EQ(DrawnAreaOf(test::Layout(YUV_420, YUV, Interlaced, Planar, 16, 16), 11, 15).height, 12);
  EXPECT_EQ(DrawnAreaOf(test::Layout(YUV_420, YUV, Interlaced, Planar, 16, 16), 11, 15).width, 10);
  EXPECT_EQ(DrawnAreaOf(test::Layout(YUV_444, YUV, Progressive, Planar, 16, 16), 11, 15).width, 11);
  EXPECT_EQ(DrawnAreaOf(test::Layout(YUV_444, YUV, Progressive, Planar, 16, 16), 11, 15).height, 14);
}

}  // namespace
}  // namespace vx
