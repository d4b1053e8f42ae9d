// Padding files: exact fits, borders of one column, multiples, ranges, and
// interlaced pictures (two fields need an even height, whatever the sampling).
#include "tools/Padding.h"

#include <gtest/gtest.h>

#include "PixelTestSupport.h"
#include "TestSupport.h"
#include "image/ColorFormula.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"

namespace vx {
namespace {

class PaddingFiles : public testing::Test {
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

TEST_F(PaddingFiles, InterlacedPicturesArePaddedToEvenHeightsOnly) {
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

// A planar YUV frame placed at (top, left) in a frame of fill bytes, plane by plane.
std::vector<uint8_t> PlacedPlanar(const std::vector<uint8_t>& frame, int32_t w, int32_t h, int32_t pw,
                                  int32_t ph, int32_t top, int32_t left, int shiftX, int shiftY,
                                  std::array<uint8_t, 3> fill) {
  std::vector<uint8_t> out;
  size_t from = 0;
  for (int plane = 0; plane < 3; ++plane) {
    const int sx = plane == 0 ? 0 : shiftX, sy = plane == 0 ? 0 : shiftY;
    const int32_t cw = w >> sx, ch = h >> sy, cpw = pw >> sx, cph = ph >> sy;
    std::vector<uint8_t> padded(static_cast<size_t>(cpw) * cph, fill[static_cast<size_t>(plane)]);
    for (int32_t y = 0; y < ch; ++y) {
      for (int32_t x = 0; x < cw; ++x) {
        padded[static_cast<size_t>((y + (top >> sy)) * cpw + x + (left >> sx))] =
            frame[from + static_cast<size_t>(y * cw + x)];
      }
    }
    from += static_cast<size_t>(cw) * ch;
    out.insert(out.end(), padded.begin(), padded.end());
  }
  return out;
}

TEST_F(PaddingFiles, PicturesFlushAgainstTheRightAndBottomEdgesAndOneColumnBorders) {
  struct Case {
    int32_t sampling, w, h, pw, ph, top, left;
  };
  const Case cases[] = {
      {YUV_420, 352, 286, 352, 288, 2, 0},  // fills the width, sits on the bottom edge
      {YUV_420, 350, 286, 352, 288, 2, 2},  // on the right and bottom edges
      {YUV_420, 350, 286, 352, 288, 0, 0},  // on the left and top edges
      {YUV_444, 10, 8, 11, 8, 0, 0},        // one column on the right
      {YUV_444, 10, 8, 11, 9, 1, 1},        // one row and column before, none after
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(StrFormat("%dx%d in %dx%d at row %d, column %d", c.w, c.h, c.pw, c.ph, c.top, c.left));
    const ImageFormat layout = test::Layout(c.sampling, YUV, Progressive, Planar, c.w, c.h);
    PaddingParameters p;
    p.SizeMode = PaddingSize::Explicit;
    p.PaddedWidth = c.pw;
    p.PaddedHeight = c.ph;
    p.PadTop = c.top;
    p.PadLeft = c.left;
    p.FillMode = PaddingFill::Colour;
    p.FillColour = RgbColor{30, 200, 90};
    const auto source = Clip(layout, 2, 9, "s.yuv");
    PaddingJob job;
    ASSERT_TRUE(job.PreparePadding(source.string(), (dir_ / "p.yuv").string(), layout, p));
    ASSERT_EQ(Run(job), JobOutcome::Completed) << LastMessage();
    EXPECT_EQ(LastMessage(),
              StrFormat("Padding finished! The resolution of the new file is %d(W) x %d(H)!", c.pw, c.ph));
    const auto fill = FillBytes(*CurrentColourTables(), layout, p.FillColour);
    const auto in = test::ReadFileBytes(source), out = test::ReadFileBytes(dir_ / "p.yuv");
    const int shift = c.sampling == YUV_420 ? 1 : 0;
    const size_t inFrame = in.size() / 2, outFrame = out.size() / 2;
    ASSERT_EQ(in.size(), 2 * inFrame);
    ASSERT_EQ(outFrame, static_cast<size_t>(c.pw * c.ph + 2 * (c.pw >> shift) * (c.ph >> shift)));
    ASSERT_EQ(out.size(), 2 * outFrame);
    for (size_t f = 0; f < 2; ++f) {
      const std::vector<uint8_t> frame(in.begin() + static_cast<ptrdiff_t>(f * inFrame),
                                       in.begin() + static_cast<ptrdiff_t>((f + 1) * inFrame));
      EXPECT_TRUE(
          std::equal(out.begin() + static_cast<ptrdiff_t>(f * outFrame),
                     out.begin() + static_cast<ptrdiff_t>((f + 1) * outFrame),
                     PlacedPlanar(frame, c.w, c.h, c.pw, c.ph, c.top, c.left, shift, shift, fill).begin()))
          << "frame " << f;
    }
  }
}

TEST_F(PaddingFiles, MultiplesWhereOneSideAlreadyIsOneAndWhatDoesNotFit) {
  // Only the side that is no multiple grows.
  for (const auto& [w, h, pw, ph] : {std::array{352, 286, 352, 288}, std::array{350, 288, 352, 288}}) {
    SCOPED_TRACE(StrFormat("%dx%d", w, h));
    const ImageFormat i420 = test::Layout(YUV_420, YUV, Progressive, Planar, w, h);
    PaddingParameters p;
    p.MultipleWidth = 16;
    p.MultipleHeight = 16;
    PaddingJob job;
    ASSERT_TRUE(job.PreparePadding(Clip(i420, 1, 4, "s.yuv").string(), (dir_ / "p.yuv").string(), i420, p));
    ASSERT_EQ(Run(job), JobOutcome::Completed) << LastMessage();
    EXPECT_EQ(LastMessage(),
              StrFormat("Padding finished! The resolution of the new file is %d(W) x %d(H)!", pw, ph));
    EXPECT_EQ(std::filesystem::file_size(dir_ / "p.yuv"), static_cast<uintmax_t>(pw * ph * 3 / 2));
  }
  // A picture that does not fit names every number.
  const ImageFormat i420 = test::Layout(YUV_420, YUV, Progressive, Planar, 16, 8);
  PaddingParameters p;
  p.SizeMode = PaddingSize::Explicit;
  p.PaddedWidth = 20;
  p.PaddedHeight = 12;
  p.PadTop = 6;
  p.PadLeft = 2;
  PaddingJob job;
  ASSERT_TRUE(job.PreparePadding(Clip(i420, 1, 4, "s.yuv").string(), (dir_ / "p.yuv").string(), i420, p));
  EXPECT_EQ(Run(job), JobOutcome::FailedStopped);
  EXPECT_EQ(
      LastMessage(),
      "Error VLTX1020: The original image (16 x 8) placed at row 6, column 2 does not fit into the padded "
      "image (20 x 12)!\n");
}

TEST_F(PaddingFiles, ARangeMayStartAtTheLastFrame) {
  const ImageFormat i420 = test::Layout(YUV_420, YUV, Progressive, Planar, 16, 8);
  const auto source = Clip(i420, 3, 6, "s.yuv");
  PaddingParameters p;
  p.SizeMode = PaddingSize::Explicit;
  p.PaddedWidth = 16;
  p.PaddedHeight = 10;
  p.FillMode = PaddingFill::Colour;
  PaddingJob job;
  ASSERT_TRUE(job.PreparePadding(source.string(), (dir_ / "p.yuv").string(), i420, p));
  ASSERT_EQ(job.FrameCount, 3);
  job.StartFrame = job.EndFrame = 3;
  ASSERT_EQ(Run(job), JobOutcome::Completed) << LastMessage();
  const auto in = test::ReadFileBytes(source);
  ASSERT_EQ(in.size(), 3u * 192);
  const std::vector<uint8_t> third(in.begin() + 384, in.end());
  EXPECT_EQ(
      test::ReadFileBytes(dir_ / "p.yuv"),
      PlacedPlanar(third, 16, 8, 16, 10, 0, 0, 1, 1, FillBytes(*CurrentColourTables(), i420, p.FillColour)));
}

}  // namespace
}  // namespace vx
