#include "tools/Components.h"

#include <gtest/gtest.h>

#include "PixelTestSupport.h"
#include "TestSupport.h"
#include "image/ColorFormula.h"
#include "model/FileHistory.h"
#include "platform/FaultInjection.h"
#include "platform/MessageSink.h"
#include "tools/Padding.h"

namespace vx {
namespace {

class Watcher : public ToolJobObserver {
 public:
  void Stopped() override { ++stops; }
  void CloseRequested() override { ++closes; }
  int stops = 0, closes = 0;
};

class ComponentJobs : public testing::Test {
 protected:
  std::filesystem::path Clip(const ImageFormat& f, int frames, uint32_t seed, const char* name) {
    return test::WriteRandomClip(dir_ / name, f, frames, seed);
  }
  JobOutcome Run(ToolJob& job) {
    job.ExitWhenDone = true;
    return job.FreezeAndRun(watcher_);
  }
  std::string LastMessage() const { return recorder_.Texts().empty() ? "" : recorder_.Texts().back(); }
  test::TempDir dir_;
  RecordingMessageSink recorder_;
  ScopedMessageSink scope_{recorder_};
  Watcher watcher_;
};

// ---- padding ---------------------------------------------------------------------

// Padding step by step, pixel by pixel: the picture's rows placed, each border
// pixel written alone, the top and bottom rows filled or repeated.
std::vector<uint8_t> PaddedByPixels(const ImageFormat& layout, const uint8_t* frame,
                                    const PaddingParameters& p, int32_t pw, int32_t ph,
                                    std::array<uint8_t, 3> fill) {
  test::TestFrame source(layout, 0);
  std::copy(frame, frame + source.frame.DataSize, source.frame.Data);
  ImageFormat paddedLayout = layout;
  paddedLayout.ImgWidth = pw;
  paddedLayout.ImgHeight = ph;
  test::TestFrame padded(paddedLayout, 99);  // stale bytes everywhere
  const int32_t w = layout.ImgWidth, h = layout.ImgHeight;
  const bool repeat = p.FillMode == PaddingFill::RepeatEdges;
  SegmentBuffer row(pw);
  for (int32_t i = 0; i < h; ++i) {
    AccessSegment(source.frame, row, i, 0, w, Access::Read, 0);
    AccessSegment(padded.frame, row, i + p.PadTop, p.PadLeft, w, Access::Write, 0);
  }
  for (int32_t j = p.PadTop; j < p.PadTop + h; ++j) {
    for (int32_t k = 0; k < p.PadLeft; ++k) {
      std::array<uint8_t, 3> v = fill;
      if (repeat) AccessPixel(source.frame, j - p.PadTop, 0, v, Access::Read, 0);
      AccessPixel(padded.frame, j, k, v, Access::Write, 0);
    }
    for (int32_t k = p.PadLeft + w; k < pw; ++k) {
      std::array<uint8_t, 3> v = fill;
      if (repeat) AccessPixel(source.frame, j - p.PadTop, w - 1, v, Access::Read, 0);
      AccessPixel(padded.frame, j, k, v, Access::Write, 0);
    }
  }
  auto border = [&](int32_t first, int32_t last, int32_t from) {
    if (repeat && first <= last) AccessSegment(padded.frame, row, from, 0, pw, Access::Read, 0);
    for (int32_t r = first; r <= last; ++r) {
      if (repeat) {
        AccessSegment(padded.frame, row, r, 0, pw, Access::Write, 0);
        continue;
      }
      for (int32_t k = 0; k < pw; ++k) {
        std::array<uint8_t, 3> v = fill;
        AccessPixel(padded.frame, r, k, v, Access::Write, 0);
      }
    }
  };
  border(0, p.PadTop - 1, p.PadTop);
  border(p.PadTop + h, ph - 1, p.PadTop + h - 1);
  return padded.Bytes();
}

std::vector<ImageFormat> EveryPaddableLayout(int32_t w, int32_t h) {
  std::vector<ImageFormat> layouts = test::ValidYuvLayouts(w, h);
  for (int32_t order : {RGB, BGR}) {
    for (int32_t pixel : {Packed, Planar})
      layouts.push_back(test::Layout(RGB_444, order, Progressive, pixel, w, h));
  }
  for (int32_t field : {Progressive, Interlaced})
    layouts.push_back(test::Layout(MONO, YUV, field, Planar, w, h));
  return layouts;
}

TEST_F(ComponentJobs, PaddingGivesThePixelByPixelBytesInEveryLayout) {
  // 9 x 7: the last column of 4:2:2 and 4:2:0 and the last row of 4:2:0 have no
  // chroma of their own; the edges repeat the chroma beside them.
  std::vector<ImageFormat> layouts = EveryPaddableLayout(10, 8), odd = EveryPaddableLayout(9, 7);
  std::copy_if(odd.begin(), odd.end(), std::back_inserter(layouts),
               [](const ImageFormat& f) { return f.FieldFormat == Progressive; });
  for (const ImageFormat& layout : layouts) {
    for (const PaddingFill mode : {PaddingFill::RepeatEdges, PaddingFill::Colour}) {
      PaddingParameters p;
      p.SizeMode = PaddingSize::Explicit;
      p.PaddedWidth = 16;
      p.PaddedHeight = 16;
      p.PadTop = 4;
      p.PadLeft = 2;
      p.FillMode = mode;
      p.FillColour = RgbColor{200, 40, 90};
      const auto source = Clip(layout, 3, 7, "src.yuv");
      PaddingJob job;
      ASSERT_TRUE(job.PreparePadding(source.string(), (dir_ / "pad.yuv").string(), layout, p));
      ASSERT_EQ(Run(job), JobOutcome::Completed) << test::Describe(layout) << ": " << LastMessage();
      EXPECT_EQ(LastMessage(), "Padding finished! The resolution of the new file is 16(W) x 16(H)!");
      ImageFormat fillLayout = layout;
      if (layout.SamplingFormat == MONO) fillLayout.ComponentOrder = YUV;
      const auto fill = FillBytes(*CurrentColourTables(), fillLayout, p.FillColour);
      const auto in = test::ReadFileBytes(source), out = test::ReadFileBytes(dir_ / "pad.yuv");
      const size_t inFrame = in.size() / 3, outFrame = out.size() / 3;
      ASSERT_EQ(out.size() % 3, 0u);
      for (size_t f = 0; f < 3; ++f) {
        const auto expected = PaddedByPixels(layout, in.data() + f * inFrame, p, 16, 16, fill);
        ASSERT_EQ(outFrame, expected.size()) << test::Describe(layout);
        EXPECT_TRUE(
            std::equal(expected.begin(), expected.end(), out.begin() + static_cast<ptrdiff_t>(f * outFrame)))
            << test::Describe(layout) << (mode == PaddingFill::Colour ? " fill" : " repeat") << " frame "
            << f;
      }
    }
  }
}

TEST_F(ComponentJobs, PaddingRepeatsTheLastColumnAndRowToMultiplesOf16) {
  const ImageFormat i420 = test::Layout(YUV_420, YUV, Progressive, Planar, 350, 286);
  PaddingJob job;
  job.Padding.MultipleWidth = 16;
  job.Padding.MultipleHeight = 16;
  ASSERT_TRUE(
      job.PreparePadding(Clip(i420, 1, 3, "a.yuv").string(), (dir_ / "p.yuv").string(), i420, job.Padding));
  ASSERT_EQ(Run(job), JobOutcome::Completed) << LastMessage();
  EXPECT_EQ(LastMessage(), "Padding finished! The resolution of the new file is 352(W) x 288(H)!");
  const auto in = test::ReadFileBytes(dir_ / "a.yuv"), out = test::ReadFileBytes(dir_ / "p.yuv");
  ASSERT_EQ(out.size(), 352u * 288 * 3 / 2);
  for (int y = 0; y < 288; ++y) {
    const int sy = std::min(y, 285);
    for (int x = 0; x < 352; ++x) {
      ASSERT_EQ(out[y * 352 + x], in[sy * 350 + std::min(x, 349)]) << "luma " << x << "," << y;
    }
  }
  // The chroma planes repeat their last column and row too.
  const size_t outU = 352 * 288, inU = 350 * 286;
  EXPECT_EQ(out[outU + 143 * 176 + 175], in[inU + 142 * 175 + 174]);
  EXPECT_EQ(out[outU + 352 * 288 / 4 + 143 * 176 + 175], in[inU + 350 * 286 / 4 + 142 * 175 + 174]);
}

TEST_F(ComponentJobs, PaddingAnOddWidthRepeatsTheChromaBesideTheLastPixel) {
  // 5 x 2 planar 4:2:2: two chroma columns; pixel 4 has none of its own.
  const ImageFormat layout = test::Layout(YUV_422, YUV, Progressive, Planar, 5, 2);
  test::WriteFileBytes(dir_ / "odd.yuv", {1,  2,  3,  4,  5, 6, 7, 8, 9, 10,  // Y
                                          11, 12, 13, 14,                     // U
                                          15, 16, 17, 18,                     // V
                                          0,  0});
  PaddingParameters p;
  p.SizeMode = PaddingSize::Explicit;
  p.PaddedWidth = 8;
  p.PaddedHeight = 2;
  p.FillMode = PaddingFill::RepeatEdges;
  PaddingJob job;
  ASSERT_TRUE(job.PreparePadding((dir_ / "odd.yuv").string(), (dir_ / "p.yuv").string(), layout, p));
  ASSERT_EQ(Run(job), JobOutcome::Completed) << LastMessage();
  EXPECT_EQ(test::ReadFileBytes(dir_ / "p.yuv"),
            (std::vector<uint8_t>{1,  2,  3,  4,  5,  5,  5,  5,  6, 7, 8, 9, 10, 10, 10, 10,  // Y
                                  11, 12, 12, 12, 13, 14, 14, 14,                              // U
                                  15, 16, 16, 16, 17, 18, 18, 18}));                           // V
}

TEST_F(ComponentJobs, PaddingRefusalsComeBeforeAnyFile) {
  const ImageFormat cif = test::Layout(YUV_420, YUV, Progressive, Planar, 352, 288);
  const ImageFormat qcif = test::Layout(YUV_420, YUV, Progressive, Planar, 176, 144);
  const ImageFormat interlaced = test::Layout(YUV_420, YUV, Interlaced, Planar, 176, 144);
  const ImageFormat uyvy = test::Layout(YUV_422, UYV, Progressive, Packed, 176, 144);
  auto multiples = [](int32_t w, int32_t h) {
    PaddingParameters p;
    p.MultipleWidth = w;
    p.MultipleHeight = h;
    return p;
  };
  auto size = [](int32_t w, int32_t h, int32_t top, int32_t left) {
    PaddingParameters p;
    p.SizeMode = PaddingSize::Explicit;
    p.PaddedWidth = w;
    p.PaddedHeight = h;
    p.PadTop = top;
    p.PadLeft = left;
    return p;
  };
  struct Case {
    ImageFormat layout;
    PaddingParameters p;
    std::string expected;
  } cases[] = {
      {cif, multiples(16, 16),
       "Error PADD1005: Image (352) width is already multiples of 16, and image height (288) is already "
       "multiples "
       "of 16. No need for padding!\n"},
      {cif, multiples(0, 16),
       "Error PADD1003: Invalid value, padding image width to multiple at least of 2!\n"},
      {cif, multiples(16, 1),
       "Error PADD1004: Invalid value, padding image height to multiple at least of 2!\n"},
      {qcif, size(200, 150, 3, 0),
       "Error PADD1013: Invalid start row on the top. Cannot start on odd row for 420 image!\n"},
      {qcif, size(176, 144, 0, 0),
       "Error PADD1006: Padded Image size is the same as orignal image size, no need for padding!\n"},
      {qcif, size(175, 150, 0, 0), "Error PADD1007"},
      {qcif, size(201, 150, 0, 0),
       "Error PADD1008: Invalid resolution (201 x 150). Cannot extend 422 or 420 image to odd width!\n"},
      {uyvy, size(200, 150, 0, 1),
       "Error PADD1009: Invalid start column on the left. Cannot start on odd column for  422 or 420 "
       "image!\n"},
      {qcif, size(200, 151, 0, 0),
       "Error PADD1012: Invalid resolution (200 x 151). Cannot extend 420 image to odd height!\n"},
      {interlaced, size(200, 150, 0, 0),
       "Error PADD1010: Invalid resolution (200 x 150). For interlaced 420 format, the height can only be "
       "extended to multiples of 4 !\n"},
      {interlaced, size(200, 152, 2, 0),
       "Error PADD1011: Invalid start row on the top. For interlaced 420 format, the top row can only be "
       "started "
       "fro multiples of 4 !\n"},
      {qcif, size(200, 150, 0, 26),
       "Error VLTX1020: The original image (176 x 144) placed at row 0, column 26 does not fit into the "
       "padded "
       "image (200 x 150)!\n"},
      {qcif, size(200, 150, -2, 0),
       "Error VLTX1020: The original image (176 x 144) placed at row -2, column 0 does not fit into the "
       "padded "
       "image (200 x 150)!\n"},
  };
  for (const Case& c : cases) {
    PaddingJob job;
    ASSERT_TRUE(
        job.PreparePadding(Clip(c.layout, 2, 1, "s.yuv").string(), (dir_ / "p.yuv").string(), c.layout, c.p));
    const int stopsBefore = watcher_.stops;
    EXPECT_EQ(Run(job), JobOutcome::FailedStopped) << c.expected;
    EXPECT_EQ(watcher_.stops, stopsBefore + 1) << "Stop runs";
    EXPECT_EQ(LastMessage().substr(0, c.expected.size()), c.expected);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "p.yuv"));
  }
}

TEST_F(ComponentJobs, PaddingFillsWithTheColourInTheFilesOwnByteOrder) {
  PaddingParameters red;
  red.SizeMode = PaddingSize::Explicit;
  red.PaddedWidth = 6;
  red.PaddedHeight = 4;
  red.FillMode = PaddingFill::Colour;
  red.FillColour = RgbColor{255, 0, 0};
  const ImageFormat bgr = test::Layout(RGB_444, BGR, Progressive, Packed, 4, 2);
  PaddingJob job;
  ASSERT_TRUE(job.PreparePadding(Clip(bgr, 1, 5, "s.rgb").string(), (dir_ / "p.rgb").string(), bgr, red));
  ASSERT_EQ(Run(job), JobOutcome::Completed) << LastMessage();
  const auto out = test::ReadFileBytes(dir_ / "p.rgb");
  ASSERT_EQ(out.size(), 6u * 4 * 3);
  for (const size_t pixel : {4u, 5u, 2u * 6 + 3, 3u * 6 + 5}) {
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 3 * pixel, out.begin() + 3 * pixel + 3),
              (std::vector<uint8_t>{0, 0, 255}))
        << "pixel " << pixel;
  }

  // A mono file's border takes the colour's luma (and its edges when repeating).
  const ImageFormat mono = test::Layout(MONO, YUV, Progressive, Planar, 4, 2);
  PaddingParameters white = red;
  white.FillColour = RgbColor{255, 255, 255};
  PaddingJob monoJob;
  ASSERT_TRUE(monoJob.PreparePadding(Clip(mono, 1, 5, "s.y").string(), (dir_ / "p.y").string(), mono, white));
  ASSERT_EQ(Run(monoJob), JobOutcome::Completed) << LastMessage();
  const auto luma = test::ReadFileBytes(dir_ / "p.y");
  ASSERT_EQ(luma.size(), 24u);
  const uint8_t whiteY = FillBytes(*CurrentColourTables(), mono, white.FillColour)[0];
  for (const size_t at : {4u, 5u, 10u, 11u, 12u, 23u}) EXPECT_EQ(luma[at], whiteY) << at;
}

TEST(PaddingLabel, FollowsTheModeAndTheBoxes) {
  PaddingParameters p;
  p.MultipleWidth = 16;
  p.MultipleHeight = 16;
  int32_t w = 0, h = 0;
  LabelledPaddedSize(p, 350, 286, w, h);
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(352, 288));
  p.MultipleWidth = 0;
  LabelledPaddedSize(p, 350, 286, w, h);
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(350, 286)) << "a multiple of 0 leaves the source size";
  p.SizeMode = PaddingSize::Explicit;
  p.PaddedWidth = 400;
  p.PaddedHeight = 300;
  LabelledPaddedSize(p, 350, 286, w, h);
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(400, 300));
}

// ---- separate and merge ----------------------------------------------------------------

TEST_F(ComponentJobs, SeparatedPlanarFilesMergeBackToTheSource) {
  for (const int32_t sampling : {YUV_444, YUV_422, YUV_420, RGB_444}) {
    const int32_t order = sampling == RGB_444 ? RGB : YUV;
    const ImageFormat layout = test::Layout(sampling, order, Progressive, Planar, 176, 144);
    const auto source = Clip(layout, 3, 11, "src.yuv");
    SeparateJob separate;
    ASSERT_TRUE(separate.PrepareSeparate(source.string(), (dir_ / "part.yuv").string(), layout));
    ASSERT_EQ(Run(separate), JobOutcome::Completed) << LastMessage();
    const auto names = ComponentFileNames((dir_ / "part").string(), sampling);
    const ComponentSizes sizes = ComponentSizesOf(sampling, 176, 144);
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(std::filesystem::file_size(names[i]), 3u * sizes[i].width * sizes[i].height) << names[i];
    }
    if (sampling == YUV_420) {
      EXPECT_EQ(sizes[0].width * sizes[0].height, 25344);
      EXPECT_EQ(sizes[1].width * sizes[1].height, 6336);
      EXPECT_EQ(LastMessage(),
                "The source file (YUV_420) has been separated into three mono color image files "
                "with following resolutions:\n    " +
                    names[0] + ":  width=176, height=144\n    " + names[1] + ":  width=88, height=72\n    " +
                    names[2] + ":  width=88, height=72");
    }
    MergeJob merge;
    ASSERT_TRUE(
        merge.PrepareMerge((dir_ / "part").string(), (dir_ / "back.yuv").string(), sampling, 176, 144));
    ASSERT_EQ(Run(merge), JobOutcome::Completed) << LastMessage();
    EXPECT_EQ(test::ReadFileBytes(dir_ / "back.yuv"), test::ReadFileBytes(source))
        << kSamplingNames[sampling];
    EXPECT_EQ(LastMessage(),
              std::string("The three files have be merged into a file with following format:\n    ") +
                  kSamplingNames[sampling] + ", planar, progressive, width=176, height=144");
  }
}

TEST_F(ComponentJobs, SeparateRecordsItsThreeFilesInOrderAndNothingWhenItFails) {
  const ImageFormat i422 = test::Layout(YUV_422, YUV, Progressive, Planar, 16, 8);
  const auto source = Clip(i422, 4, 7, "src.yuv");
  FileHistory().Clear();
  RecordingHistory history;
  SeparateJob separate;
  separate.History = &history;
  ASSERT_TRUE(separate.PrepareSeparate(source.string(), (dir_ / "part.yuv").string(), i422));
  ASSERT_EQ(Run(separate), JobOutcome::Completed) << LastMessage();
  const auto names = ComponentFileNames((dir_ / "part").string(), YUV_422);
  const std::vector<FileRecord> expected = {
      {.path = names[0], .format = ComponentLayout({16, 8}), .operation = kCreated},
      {.path = names[1], .format = ComponentLayout({8, 8}), .operation = kCreated},
      {.path = names[2], .format = ComponentLayout({8, 8}), .operation = kCreated},
  };
  EXPECT_EQ(history.Records(), expected);
  EXPECT_TRUE(FileHistory().Records().empty()) << "the program's history is not the job's";

  // A run that fails half-way keeps no file and records none.
  RecordingHistory failedHistory;
  SeparateJob failing;
  failing.History = &failedHistory;
  ASSERT_TRUE(failing.PrepareSeparate(source.string(), (dir_ / "other.yuv").string(), i422));
  {
    test::ArmedFault fault(testhooks::badAllocAtFrameStep, 2);
    EXPECT_EQ(Run(failing), JobOutcome::FailedRunning);
    EXPECT_TRUE(fault.Fired());
  }
  EXPECT_TRUE(failedHistory.Records().empty());
  EXPECT_FALSE(std::filesystem::exists(dir_ / "other.y"));
}

TEST_F(ComponentJobs, SeparateTakesEachComponentFromWhereTheLayoutStoresIt) {
  auto separate = [&](const ImageFormat& layout) {
    const auto source = Clip(layout, 1, 21, "src.yuv");
    SeparateJob job;
    EXPECT_TRUE(job.PrepareSeparate(source.string(), (dir_ / "c").string(), layout));
    EXPECT_EQ(Run(job), JobOutcome::Completed) << LastMessage();
    const auto names = ComponentFileNames((dir_ / "c").string(), layout.SamplingFormat);
    return std::array<std::vector<uint8_t>, 4>{test::ReadFileBytes(source), test::ReadFileBytes(names[0]),
                                               test::ReadFileBytes(names[1]), test::ReadFileBytes(names[2])};
  };
  // UYVY: Y from bytes 1, 3, 5, ...; U from 0, 4, 8, ...; V from 2, 6, 10, ...
  auto [in, y, u, v] = separate(test::Layout(YUV_422, UYV, Progressive, Packed, 8, 2));
  ASSERT_EQ(y.size(), 16u);
  ASSERT_EQ(u.size(), 8u);
  for (size_t i = 0; i < 16; ++i) EXPECT_EQ(y[i], in[2 * i + 1]);
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(u[i], in[4 * i]);
    EXPECT_EQ(v[i], in[4 * i + 2]);
  }
  // YVYU: V sits before U.
  auto [in2, y2, u2, v2] = separate(test::Layout(YUV_422, YVU, Progressive, Packed, 8, 2));
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(y2[2 * i + 1], in2[4 * i + 2]);
    EXPECT_EQ(v2[i], in2[4 * i + 1]);
    EXPECT_EQ(u2[i], in2[4 * i + 3]);
  }
  // Packed BGR: R (the third byte) goes to the first file.
  auto [in3, r, g, b] = separate(test::Layout(RGB_444, BGR, Progressive, Packed, 4, 2));
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(r[i], in3[3 * i + 2]);
    EXPECT_EQ(g[i], in3[3 * i + 1]);
    EXPECT_EQ(b[i], in3[3 * i]);
  }
  // Planar YVU 4:2:0: the second plane is V, written to the third file.
  auto [in4, y4, u4, v4] = separate(test::Layout(YUV_420, YVU, Progressive, Planar, 8, 4));
  EXPECT_EQ(y4, std::vector<uint8_t>(in4.begin(), in4.begin() + 32));
  EXPECT_EQ(v4, std::vector<uint8_t>(in4.begin() + 32, in4.begin() + 40));
  EXPECT_EQ(u4, std::vector<uint8_t>(in4.begin() + 40, in4.begin() + 48));
  // Planar UYV 4:4:4: U first.
  auto [in5, y5, u5, v5] = separate(test::Layout(YUV_444, UYV, Progressive, Planar, 4, 2));
  EXPECT_EQ(u5, std::vector<uint8_t>(in5.begin(), in5.begin() + 8));
  EXPECT_EQ(y5, std::vector<uint8_t>(in5.begin() + 8, in5.begin() + 16));
}

TEST_F(ComponentJobs, InterlacedSourcesGiveProgressiveComponents) {
  const ImageFormat interlaced = test::Layout(YUV_420, YUV, Interlaced, Planar, 16, 8);
  test::TestFrame frame(interlaced, 5);
  test::WriteFileBytes(dir_ / "i.yuv", frame.Bytes());
  ImageFormat progressiveLayout = interlaced;
  progressiveLayout.FieldFormat = Progressive;
  test::TestFrame progressive(progressiveLayout, 6);
  ASSERT_TRUE(ConvertFieldFormat(frame.frame, progressive.frame));
  const auto expected = progressive.Bytes();
  SeparateJob job;
  ASSERT_TRUE(job.PrepareSeparate((dir_ / "i.yuv").string(), (dir_ / "i").string(), interlaced));
  ASSERT_EQ(Run(job), JobOutcome::Completed) << LastMessage();
  EXPECT_EQ(test::ReadFileBytes(dir_ / "i.y"),
            std::vector<uint8_t>(expected.begin(), expected.begin() + 128));
  EXPECT_EQ(test::ReadFileBytes(dir_ / "i.u"),
            std::vector<uint8_t>(expected.begin() + 128, expected.begin() + 160));
  EXPECT_EQ(test::ReadFileBytes(dir_ / "i.v"), std::vector<uint8_t>(expected.begin() + 160, expected.end()));
}

TEST_F(ComponentJobs, SeparateRefusesFilesWithoutThreeComponents) {
  const ImageFormat mono = test::Layout(MONO, YUV, Progressive, Planar, 8, 8);
  SeparateJob job;
  ASSERT_TRUE(job.PrepareSeparate(Clip(mono, 2, 1, "m.y").string(), (dir_ / "parts").string(), mono));
  EXPECT_EQ(Run(job), JobOutcome::FailedStopped);
  EXPECT_EQ(LastMessage().substr(0, 15), "Error VLTX1023:");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "parts.y"));

  // Component files named like the source would overwrite it.
  const ImageFormat i420 = test::Layout(YUV_420, YUV, Progressive, Planar, 8, 8);
  SeparateJob itself;
  ASSERT_TRUE(itself.PrepareSeparate(Clip(i420, 2, 1, "s.y").string(), (dir_ / "s").string(), i420));
  EXPECT_EQ(Run(itself), JobOutcome::FailedStopped);
  EXPECT_EQ(LastMessage().substr(0, 15), "Error VLTX1019:");
  EXPECT_EQ(std::filesystem::file_size(dir_ / "s.y"), 2u * 96) << "the source is untouched";

  ImageFormat packed420 = test::PlainLayout(YUV_420, YUV, Progressive, Packed, 8, 8);
  SeparateJob packed;
  ASSERT_TRUE(
      packed.PrepareSeparate(Clip(packed420, 2, 1, "p.yuv").string(), (dir_ / "p").string(), packed420));
  EXPECT_EQ(Run(packed), JobOutcome::FailedStopped);
  EXPECT_EQ(LastMessage(), "Error SEPA1020:  Format not supported!\n");
  EXPECT_EQ(watcher_.closes, 1) << "the window is asked to close";
  EXPECT_FALSE(std::filesystem::exists(dir_ / "p.y"));
}

TEST_F(ComponentJobs, MergedLayoutFollowsTheComponentSizes) {
  auto merged = [](ComponentSize a, ComponentSize b, ComponentSize c, bool yuv, FrameImage& out) {
    return MergeJob::MergedLayout({ComponentLayout(a), ComponentLayout(b), ComponentLayout(c)}, yuv, out);
  };
  FrameImage out;
  EXPECT_FALSE(merged({352, 288}, {176, 144}, {176, 144}, true, out));
  EXPECT_EQ(out.SamplingFormat, YUV_420);
  EXPECT_EQ(out.Fourcc, 12);
  EXPECT_EQ(out.DataSize, 352 * 288 * 3 / 2);
  EXPECT_EQ(out.PixelFormat, Planar);
  EXPECT_EQ(out.FieldFormat, Progressive);
  EXPECT_FALSE(merged({352, 288}, {176, 288}, {176, 288}, true, out));
  EXPECT_EQ(out.SamplingFormat, YUV_422);
  EXPECT_EQ(out.Fourcc, 11);
  EXPECT_FALSE(merged({352, 288}, {352, 288}, {352, 288}, false, out));
  EXPECT_EQ(out.SamplingFormat, RGB_444);
  EXPECT_EQ(out.ComponentOrder, RGB);
  EXPECT_EQ(*merged({352, 288}, {352, 288}, {176, 144}, false, out),
            "Error MERG1005: The height of the second and the third images must be the same!\n");
  EXPECT_EQ(*merged({352, 288}, {176, 144}, {88, 144}, true, out),
            "Error MERG1006: The width of the second and the third images must be the same!\n");
  EXPECT_EQ(*merged({352, 288}, {176, 144}, {176, 144}, false, out),
            "Error MERG1007: To merge RGB components, the size of all images must be the same!\n");
  EXPECT_EQ(merged({176, 144}, {352, 288}, {352, 288}, true, out)->substr(0, 15), "Error VLTX1021:");
  // A component read with a layout of more than one sample per pixel.
  std::array<FrameImage, 3> wrong = {ComponentLayout({16, 16}), ComponentLayout({8, 8}),
                                     ComponentLayout({8, 8})};
  static_cast<ImageFormat&>(wrong[0]) = test::Layout(YUV_420, YUV, Progressive, Planar, 16, 16);
  ComputeFrameSize(wrong[0]);
  EXPECT_EQ(MergeJob::MergedLayout(wrong, true, out)->substr(0, 15), "Error VLTX1022:");
}

TEST_F(ComponentJobs, MergeTakesTheComponentsDepthAndRefusesMixedDepths) {
  const auto at = [](ComponentSize size, int32_t bits) { return ComponentLayout(size, 0, bits); };
  FrameImage out;
  EXPECT_FALSE(MergeJob::MergedLayout({at({16, 8}, 10), at({8, 4}, 10), at({8, 4}, 10)}, true, out));
  EXPECT_EQ(out.SamplingFormat, YUV_420);
  EXPECT_EQ(out.BitsPerSample, 10);
  EXPECT_EQ(out.DataSize, 16 * 8 * 3 / 2 * 2);
  EXPECT_EQ(*MergeJob::MergedLayout({at({16, 8}, 10), at({8, 4}, 12), at({8, 4}, 10)}, true, out),
            "Error VLTX1034: The component files have samples of 10, 12 and 10 bits; only components of one "
            "depth can be merged!\n");
  EXPECT_EQ(*MergeJob::MergedLayout({at({8, 8}, 16), at({8, 8}, 16), at({8, 8}, 16)}, false, out),
            "Error FRMT1023: Packed, RGB and BMP frames have 8-bit samples only, not 16!\n");
  // A job given such components stops before it writes anything.
  Clip(at({16, 8}, 10), 2, 1, "d.y");
  Clip(at({8, 4}, 10), 2, 2, "d.u");
  Clip(at({8, 4}, 8), 4, 3, "d.v");
  MergeJob merge;
  ASSERT_TRUE(merge.PrepareMerge((dir_ / "d").string(), (dir_ / "m.yuv").string(), YUV_420, 16, 8, 10));
  merge.ComponentFormats[2] = at({8, 4}, 8);
  EXPECT_EQ(Run(merge), JobOutcome::FailedStopped);
  EXPECT_EQ(LastMessage(),
            "Error VLTX1034: The component files have samples of 10, 10 and 8 bits; only components of one "
            "depth can be merged!\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "m.yuv"));
}

TEST_F(ComponentJobs, MergeEndsWithTheShortestComponent) {
  const ComponentSize full{8, 4}, half{4, 2};
  Clip(ComponentLayout(full), 10, 1, "c.y");
  Clip(ComponentLayout(half), 10, 2, "c.u");
  Clip(ComponentLayout(half), 5, 3, "c.v");
  MergeJob merge;
  ASSERT_TRUE(merge.PrepareMerge((dir_ / "c").string(), (dir_ / "m.yuv").string(), YUV_420, 8, 4));
  EXPECT_EQ(merge.EndFrame, 10);
  ASSERT_EQ(Run(merge), JobOutcome::Completed) << LastMessage();
  EXPECT_EQ(std::filesystem::file_size(dir_ / "m.yuv"), 5u * 48) << "five whole frames";
  EXPECT_EQ(LastMessage().substr(0, 30), "The three files have be merged");

  // A range from frame 3 takes the third frame of every component.
  MergeJob middle;
  ASSERT_TRUE(middle.PrepareMerge((dir_ / "c").string(), (dir_ / "r.yuv").string(), YUV_420, 8, 4));
  middle.StartFrame = 3;
  middle.EndFrame = 4;
  ASSERT_EQ(Run(middle), JobOutcome::Completed) << LastMessage();
  const auto y = test::ReadFileBytes(dir_ / "c.y"), u = test::ReadFileBytes(dir_ / "c.u"),
             v = test::ReadFileBytes(dir_ / "c.v");
  std::vector<uint8_t> expected;
  for (size_t f : {2u, 3u}) {
    expected.insert(expected.end(), y.begin() + f * 32, y.begin() + (f + 1) * 32);
    expected.insert(expected.end(), u.begin() + f * 8, u.begin() + (f + 1) * 8);
    expected.insert(expected.end(), v.begin() + f * 8, v.begin() + (f + 1) * 8);
  }
  EXPECT_EQ(test::ReadFileBytes(dir_ / "r.yuv"), expected);

  // A range that starts beyond the third file's end names it.
  MergeJob late;
  ASSERT_TRUE(late.PrepareMerge((dir_ / "c").string(), (dir_ / "l.yuv").string(), YUV_420, 8, 4));
  late.StartFrame = 8;
  EXPECT_EQ(Run(late), JobOutcome::FailedRunning);
  EXPECT_EQ(LastMessage(), "Error MERG1023: Bitstream reading error!\n");

  // A missing component is named by its own message.
  std::filesystem::remove(dir_ / "c.u");
  MergeJob missing;
  ASSERT_TRUE(missing.PrepareMerge((dir_ / "c").string(), (dir_ / "x.yuv").string(), YUV_420, 8, 4));
  EXPECT_EQ(Run(missing), JobOutcome::FailedStopped);
  EXPECT_EQ(LastMessage(), "Error MERG1019: Input file " + (dir_ / "c.u").string() + " not found\n");
}

TEST(MergePicks, AComponentDialogOpensAtASizeAFileCanHave) {
  EXPECT_EQ(SizeInComponentName("/clips/foreman_176x144.u"), (ComponentSize{176, 144}));
  EXPECT_EQ(SizeInComponentName("clip_352X288.y"), (ComponentSize{352, 288}));
  EXPECT_EQ(SizeInComponentName("/clips_1x1/clip.v"), std::nullopt) << "a folder's name gives no size";
  for (const char* none : {"clip.y", "clip_x.y", "clip_0x144.u", "clip_176x.u", "clip_9000x100.y",
                           "clip_176x144b.u", "clip_-5x4.y"}) {
    EXPECT_EQ(SizeInComponentName(none), std::nullopt) << none;
  }

  const ImageFormat current{
      .SamplingFormat = YUV_420, .PixelFormat = Planar, .ImgWidth = 720, .ImgHeight = 480};
  ImageFormat unsized = ComponentLayout({0, 0}, 13);
  unsized.ImageResolution = 6;  // as the merge window starts its second and third components
  // Nothing chosen yet: the current format's size, with its resolution entry.
  ImageFormat preset = ComponentPickPreset(unsized, "/c/clip.u", nullptr, current);
  EXPECT_EQ(preset.SamplingFormat, MONO);
  EXPECT_EQ(preset.ImgWidth, 720);
  EXPECT_EQ(preset.ImgHeight, 480);
  EXPECT_EQ(preset.ImageResolution, 6);
  // After another component: its size.
  ImageFormat chosen = ComponentLayout({352, 288}, 13);
  preset = ComponentPickPreset(unsized, "/c/clip.u", &chosen, current);
  EXPECT_EQ(preset.ImgWidth, 352);
  EXPECT_EQ(preset.ImgHeight, 288);
  EXPECT_EQ(preset.ImageResolution, 3) << "CIF";
  // The component's own size, once chosen, comes before the last one's.
  const ImageFormat own = ComponentLayout({100, 50}, 13);
  preset = ComponentPickPreset(own, "/c/clip.u", &chosen, current);
  EXPECT_EQ(preset.ImgWidth, 100);
  EXPECT_EQ(preset.ImageResolution, kCustomResolution);
  // A size in the name comes first.
  preset = ComponentPickPreset(own, "/c/clip_176x144.u", &chosen, current);
  EXPECT_EQ(preset.ImgWidth, 176);
  EXPECT_EQ(preset.ImgHeight, 144);
  EXPECT_EQ(preset.ImageResolution, 1) << "QCIF";
}

}  // namespace
}  // namespace vx
