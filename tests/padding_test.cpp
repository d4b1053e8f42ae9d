// Padding an interlaced picture: two fields need an even height, whatever the
// sampling.
#include "tools/Padding.h"

#include <gtest/gtest.h>

#include "PixelTestSupport.h"
#include "TestSupport.h"
#include "platform/MessageSink.h"

namespace vx {
namespace {

class InterlacedPadding : public testing::Test {
 protected:
  std::filesystem::path Clip(const ImageFormat& f, int frames, uint32_t seed, const char* name) {
    return test::WriteRandomClip(dir_ / name, f, frames, seed);
  }
  JobOutcome Run(ToolJob& job) {
    job.ExitWhenDone = true;
    return job.FreezeAndRun(observer_);
  }
  std::string LastMessage() const { return recorder_.Texts().empty() ? "" : recorder_.Texts().back(); }
  test::TempDir dir_;
  RecordingMessageSink recorder_;
  ScopedMessageSink scope_{recorder_};
  ToolJobObserver observer_;
};

TEST_F(InterlacedPadding, InterlacedPicturesArePaddedToEvenHeightsOnly) {
  // Two fields of equal height: an odd padded height is no interlaced layout.
  const ImageFormat uyvy = test::Layout(YUV_422, UYV, Interlaced, Packed, 16, 8);
  const ImageFormat yuv444 = test::Layout(YUV_444, YUV, Interlaced, Planar, 16, 8);
  PaddingParameters explicitSize;
  explicitSize.SizeMode = PaddingSize::Explicit;
  explicitSize.PaddedWidth = 20;
  explicitSize.PaddedHeight = 11;
  PaddingParameters multiples;
  multiples.MultipleWidth = 4;
  multiples.MultipleHeight = 9;
  for (const ImageFormat& layout : {uyvy, yuv444}) {
    for (const auto& [p, expected] :
         {std::pair{explicitSize,
                    "Error PADD1014: Invalid resolution (20 x 11). Cannot extend interlaced image to odd "
                    "height!\n"},
          std::pair{multiples,
                    "Error PADD1014: Invalid resolution (16 x 9). Cannot extend interlaced image to odd "
                    "height!\n"}}) {
      PaddingJob job;
      ASSERT_TRUE(
          job.PreparePadding(Clip(layout, 2, 1, "s.yuv").string(), (dir_ / "p.yuv").string(), layout, p));
      EXPECT_EQ(Run(job), JobOutcome::FailedStopped);
      EXPECT_EQ(LastMessage(), expected);
      EXPECT_FALSE(std::filesystem::exists(dir_ / "p.yuv"));
    }
  }
  // An even height pads as before.
  explicitSize.PaddedHeight = 12;
  PaddingJob even;
  ASSERT_TRUE(
      even.PreparePadding(Clip(uyvy, 2, 1, "s.yuv").string(), (dir_ / "p.yuv").string(), uyvy, explicitSize));
  EXPECT_EQ(Run(even), JobOutcome::Completed) << LastMessage();
  EXPECT_EQ(std::filesystem::file_size(dir_ / "p.yuv"), 2u * 20 * 12 * 2);
}

}  // namespace
}  // namespace vx
