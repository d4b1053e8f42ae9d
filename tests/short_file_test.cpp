// A file shorter than one frame of the chosen layout: every tool says so, with
// both sizes, instead of refusing the empty frame range 1..0 that counting its
// frames gives.
#include <gtest/gtest.h>

#include "PixelTestSupport.h"
#include "TestSupport.h"
#include "analysis/Compare.h"
#include "analysis/Overlay.h"
#include "analysis/Psnr.h"
#include "platform/MessageSink.h"
#include "tools/Converter.h"
#include "tools/Crop.h"
#include "tools/Flip.h"
#include "tools/Join.h"
#include "tools/Padding.h"

namespace vx {
namespace {

class ShortFiles : public testing::Test {
 protected:
  void SetUp() override {
    test::WriteFileBytes(shortFile_, test::RandomBytes(100, 4));
    test::WriteFileBytes(wholeFile_, test::RandomBytes(2 * kFrameBytes, 5));
  }
  std::string Expected(const std::filesystem::path& file, int64_t bytes) const {
    return "Error FRMT1018: File " + file.string() + " holds " + std::to_string(bytes) +
           " bytes, less than one frame of the chosen layout (" + std::to_string(kFrameBytes) + " bytes)!\n";
  }
  std::string LastMessage() const { return recorder_.Texts().empty() ? "" : recorder_.Texts().back(); }

  static constexpr int64_t kFrameBytes = 32 * 16 * 3 / 2;
  const ImageFormat i420_ = test::Layout(YUV_420, YUV, Progressive, Planar, 32, 16);
  test::TempDir dir_;
  const std::filesystem::path shortFile_ = dir_ / "short.yuv", wholeFile_ = dir_ / "whole.yuv";
  const std::string target_ = (dir_ / "out.yuv").string();
  RecordingMessageSink recorder_;
  ScopedMessageSink scope_{recorder_};
};

class StopCounter : public ToolJobObserver {
 public:
  bool WantsPreview() const override { return false; }
  void Stopped() override { ++stops; }
  int stops = 0;
};

TEST_F(ShortFiles, TheMessageNamesBothSizes) {
  EXPECT_EQ(*LessThanOneFrame("a.yuv", 100, i420_),
            "Error FRMT1018: File a.yuv holds 100 bytes, less than one frame of the chosen layout (768 "
            "bytes)!\n");
  EXPECT_EQ(*LessThanOneFrame("empty.yuv", 0, test::Layout(YUV_422, UYV, Interlaced, Packed, 16, 8)),
            "Error FRMT1018: File empty.yuv holds 0 bytes, less than one frame of the chosen layout (256 "
            "bytes)!\n");
  EXPECT_FALSE(LessThanOneFrame("a.yuv", 768, i420_)) << "one whole frame";
  EXPECT_FALSE(LessThanOneFrame("a.yuv", 0, test::Layout(YUV_420, YUV, Progressive, Planar, 0, 0)))
      << "no size: refused by the size checks";
  EXPECT_FALSE(LessThanOneFrame("a.yuv", 100, test::Layout(YUV_444, YUV, Progressive, Packed, 18000, 8000)))
      << "too large: refused by the size checks";
  EXPECT_FALSE(FileHoldsLessThanOneFrame((dir_ / "missing.yuv").string(), i420_))
      << "its not-found message comes where it is opened";
}

TEST_F(ShortFiles, EveryFileJobRefusesThemBeforeTheFrameRange) {
  FlipJob flip;
  ASSERT_TRUE(flip.PrepareFromRequest(shortFile_.string(), target_, i420_));
  EXPECT_EQ(flip.EndFrame, 0) << "the range counting gives";
  CropJob crop;
  ASSERT_TRUE(crop.PrepareCrop(shortFile_.string(), target_, i420_, 0, 0, 8, 8));
  ConverterJob convert;
  ImageFormat uyvy = i420_;
  uyvy.SamplingFormat = YUV_422;
  uyvy.ComponentOrder = UYV;
  uyvy.PixelFormat = Packed;
  ASSERT_TRUE(convert.PrepareConversion(
      {.source = shortFile_.string(), .target = target_, .sourceFormat = i420_, .targetFormat = uyvy}));
  PaddingJob pad;
  PaddingParameters padding;
  padding.MultipleWidth = padding.MultipleHeight = 24;
  ASSERT_TRUE(pad.PreparePadding(shortFile_.string(), target_, i420_, padding));
  JoinJob join;
  ASSERT_TRUE(join.PrepareJoin(wholeFile_.string(), shortFile_.string(), target_, i420_));
  for (ToolJob* job : std::initializer_list<ToolJob*>{&flip, &crop, &convert, &pad, &join}) {
    recorder_.Clear();
    StopCounter observer;
    job->ExitWhenDone = true;
    EXPECT_EQ(job->FreezeAndRun(observer), JobOutcome::FailedStopped);
    EXPECT_EQ(observer.stops, 1) << "Stop runs";
    ASSERT_EQ(recorder_.Texts().size(), 1u);
    EXPECT_EQ(LastMessage(), Expected(shortFile_, 100));
    EXPECT_FALSE(std::filesystem::exists(target_));
  }
  // An empty file as well.
  test::WriteFileBytes(shortFile_, {});
  FlipJob empty;
  ASSERT_TRUE(empty.PrepareFromRequest(shortFile_.string(), target_, i420_));
  StopCounter observer;
  EXPECT_EQ(empty.FreezeAndRun(observer), JobOutcome::FailedStopped);
  EXPECT_EQ(LastMessage(), Expected(shortFile_, 0));
}

TEST_F(ShortFiles, PsnrRefusesEitherFile) {
  for (const bool shortFirst : {true, false}) {
    recorder_.Clear();
    PsnrRun run;
    const auto first = shortFirst ? shortFile_ : wholeFile_, second = shortFirst ? wholeFile_ : shortFile_;
    run.PrepareFromRequest(first.string(), second.string(), (dir_ / "report.xls").string(), 0, i420_);
    PsnrObserver observer;
    EXPECT_EQ(run.FreezeAndRun(observer), JobOutcome::FailedStopped);
    EXPECT_EQ(LastMessage(), Expected(shortFile_, 100));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "report.xls"));
  }
}

TEST_F(ShortFiles, PlayedFilesAreRefusedWhenOpened) {
  OverlaySequence video;  // the player's and the overlay's file list
  ASSERT_TRUE(video.SetFormat(i420_));
  video.Files = {shortFile_.string()};
  EXPECT_FALSE(video.Open(0));
  EXPECT_EQ(LastMessage(), Expected(shortFile_, 100));

  CompareSequence pair;
  ASSERT_FALSE(pair.Prepare(i420_));
  pair.FirstPath = wholeFile_.string();
  pair.SecondPath = shortFile_.string();
  recorder_.Clear();
  EXPECT_FALSE(pair.Open(0));
  EXPECT_EQ(LastMessage(), Expected(shortFile_, 100));
}

}  // namespace
}  // namespace vx
