// The refusals of the component, composition and padding jobs, each met the way a
// person meets it (a range typed wrong, a file gone or cut short after it was
// chosen, a target that cannot be made), checked byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "PixelTestSupport.h"
#include "TestSupport.h"
#include "image/Dib.h"
#include "platform/MessageSink.h"
#include "tools/Components.h"
#include "tools/Composition.h"
#include "tools/Converter.h"
#include "tools/Padding.h"

namespace vx {
namespace {

class StopCounter : public ToolJobObserver {
 public:
  bool WantsPreview() const override { return false; }
  void Stopped() override { ++stops; }
  int stops = 0;
};

class ToolMessages : public testing::Test {
 protected:
  std::filesystem::path Clip(const ImageFormat& f, int frames, uint32_t seed, const std::string& name) {
    return test::WriteRandomClip(dir_ / name, f, frames, seed);
  }
  // Cuts a file to its first `bytes` bytes, as another program rewriting it would.
  void CutTo(const std::filesystem::path& path, uintmax_t bytes) {
    std::filesystem::resize_file(path, bytes);
  }
  std::string Missing(const std::string& name) const { return (dir_ / "gone" / name).string(); }

  // Runs `job` and checks that it ends with exactly `expected` as its last
  // message, `outcome`, and Stop pressed only for the refusals that press it.
  void ExpectRefusal(ToolJob& job, const std::string& expected, JobOutcome outcome) {
    recorder_.Clear();
    StopCounter observer;
    job.ExitWhenDone = true;
    EXPECT_EQ(job.FreezeAndRun(observer), outcome) << expected;
    ASSERT_FALSE(recorder_.Texts().empty()) << expected;
    EXPECT_EQ(recorder_.Texts().back(), expected);
    EXPECT_EQ(observer.stops, outcome == JobOutcome::FailedStopped ? 1 : 0) << expected;
  }

  test::TempDir dir_;
  RecordingMessageSink recorder_;
  ScopedMessageSink scope_{recorder_};
};

struct RangeCase {
  int64_t start, end;
  std::string expected;
};

// ---- separate ------------------------------------------------------------------

TEST_F(ToolMessages, SeparateRefusals) {
  const ImageFormat i420 = test::Layout(YUV_420, YUV, Progressive, Planar, 16, 8);
  const auto source = Clip(i420, 4, 1, "s.yuv");
  auto prepared = [&](SeparateJob& job, const std::string& base) {
    ASSERT_TRUE(job.PrepareSeparate(source.string(), base, i420));
  };
  const std::vector<RangeCase> ranges = {
      {3, 2, "Error SEPA1005:  End frame number cannot be smaller than start frame number!\n"},
      {5, 5,
       "Error SEPA1006:  The start frame number you specified is bigger than the number of frames in the "
       "image "
       "file to separate!\n"},
      {1, 5,
       "Error SEPA1007:  The end frame number you specified is bigger than the number of frames in the image "
       "to separate!\n"},
      {0, 0, "Error SEPA1008:  Start or end frame number cannot be less than or equal to zero!\n"},
  };
  for (const RangeCase& c : ranges) {
    SeparateJob job;
    prepared(job, (dir_ / "r").string());
    job.StartFrame = c.start;
    job.EndFrame = c.end;
    ExpectRefusal(job, c.expected, JobOutcome::FailedStopped);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "r.y"));
  }

  // The three component files, each one that cannot be made named by its own code.
  SeparateJob first;
  prepared(first, Missing("c"));
  ExpectRefusal(first, "Error SEPA1017: File " + Missing("c.y") + " cannot be written !\n",
                JobOutcome::FailedRunning);
  const std::string base = (dir_ / "c").string();
  std::filesystem::create_directory(base + ".u");  // a folder where the U file would go
  SeparateJob second;
  prepared(second, base);
  ExpectRefusal(second, "Error SEPA1018: Output file " + base + ".u cannot be open\n",
                JobOutcome::FailedRunning);
  std::filesystem::remove(base + ".u");
  std::filesystem::create_directory(base + ".v");
  SeparateJob third;
  prepared(third, base);
  ExpectRefusal(third, "Error SEPA1019: File " + base + ".v cannot be written !\n",
                JobOutcome::FailedRunning);
  EXPECT_FALSE(std::filesystem::exists(base + ".y")) << "a failed job keeps no file";
}

// ---- merge ---------------------------------------------------------------------

TEST_F(ToolMessages, MergeRefusals) {
  const ComponentSize full{8, 4}, half{4, 2};
  auto components = [&](int y, int u, int v) {
    Clip(ComponentLayout(full), y, 1, "c.y");
    Clip(ComponentLayout(half), u, 2, "c.u");
    Clip(ComponentLayout(half), v, 3, "c.v");
  };
  auto prepared = [&](MergeJob& job, const std::string& target) {
    ASSERT_TRUE(job.PrepareMerge((dir_ / "c").string(), target, YUV_420, 8, 4));
  };
  const std::string target = (dir_ / "m.yuv").string();

  // The first file shrank after it was chosen: skipping to frame 8 runs out in it.
  components(10, 10, 10);
  MergeJob first;
  prepared(first, target);
  CutTo(dir_ / "c.y", 5 * 32);
  first.StartFrame = 8;
  ExpectRefusal(first, "Error MERG1021: Bitstream reading error!\n", JobOutcome::FailedRunning);

  components(10, 5, 10);
  MergeJob second;
  prepared(second, target);
  second.StartFrame = 8;
  ExpectRefusal(second, "Error MERG1022: Bitstream reading error!\n", JobOutcome::FailedRunning);

  components(10, 10, 5);
  MergeJob third;
  prepared(third, target);
  third.StartFrame = 8;
  ExpectRefusal(third, "Error MERG1023: Bitstream reading error!\n", JobOutcome::FailedRunning);
  EXPECT_FALSE(std::filesystem::exists(target));

  components(2, 2, 2);
  MergeJob unwritable;
  prepared(unwritable, Missing("m.yuv"));
  ExpectRefusal(unwritable, "Error MERG1024: File " + Missing("m.yuv") + " cannot be written !\n",
                JobOutcome::FailedRunning);
}

// ---- composition ------------------------------------------------------------------

TEST_F(ToolMessages, CompositionRefusals) {
  const ImageFormat layout = test::Layout(YUV_420, YUV, Progressive, Planar, 16, 8);
  const auto base = Clip(layout, 4, 1, "b.yuv"), top = Clip(layout, 4, 2, "t.yuv");
  // What the window sets when both files and the target are chosen.
  auto chosen = [&](CompositionJob& job) {
    job.SourceName = base.string();
    static_cast<ImageFormat&>(job.SourceFormat) = layout;
    ComputeFrameSize(job.SourceFormat);
    job.SecondSourceName = top.string();
    static_cast<ImageFormat&>(job.TopFormat) = layout;
    ComputeFrameSize(job.TopFormat);
    job.TargetName = (dir_ / "out.yuv").string();
    job.FrameCount = job.TopFrameCount = 4;
    job.StartFrame = 1;
    job.EndFrame = 4;
  };
  struct Case {
    std::function<void(CompositionJob&)> change;
    std::function<std::string()> expected;
  };
  const std::vector<Case> cases = {
      // A base without a width: the window never hands one over (its frame count, 0,
      // is refused first), so the job's own guard is reached directly.
      {[](CompositionJob& j) { j.SourceFormat.ImgWidth = 0; },
       [] { return std::string("Error CMPS1011:  Image dimension is not correct!"); }},
      {[&](CompositionJob& j) { j.SourceName = Missing("b.yuv"); },
       [&] { return "Error CMPS1012:  Input file " + Missing("b.yuv") + " not found\n"; }},
      {[&](CompositionJob& j) { j.SecondSourceName = Missing("t.yuv"); },
       [&] { return "Error CMPS1013:  Input file " + Missing("t.yuv") + " not found\n"; }},
      {[&](CompositionJob& j) {
         j.StartFrame = 4;
         CutTo(base, 2 * 192);  // the base shrank after it was chosen
       },
       [] { return std::string("Error CMPS1014:  Bitstream reading error in base file around frame %!\n"); }},
      {[&](CompositionJob& j) { j.TargetName = Missing("out.yuv"); },
       [&] { return "Error CMPS1015:  File " + Missing("out.yuv") + " cannot be written !\n"; }},
  };
  for (const Case& c : cases) {
    Clip(layout, 4, 1, "b.yuv");
    CompositionJob job;
    chosen(job);
    c.change(job);
    ExpectRefusal(job, c.expected(), JobOutcome::FailedRunning);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "out.yuv"));
  }

  // A picture of the top's list gone after the list was chosen.
  std::vector<std::string> names;
  for (int k = 0; k < 4; ++k) {
    CDib dib;
    ASSERT_TRUE(dib.CreateFromBits(4, 2, 24, std::vector<uint8_t>(24, static_cast<uint8_t>(40 * k))));
    names.push_back((dir_ / ("p" + std::to_string(k) + ".bmp")).string());
    auto file = RawFile::Create(names.back());
    ASSERT_TRUE(file && dib.Write(*file));
  }
  CompositionJob pictures;
  chosen(pictures);
  pictures.SecondSourceName = names[0];
  pictures.TopFormat = PictureFormat(4, 2);
  pictures.TopBmpNames = names;
  std::filesystem::remove(names[2]);
  ExpectRefusal(pictures, "Error CMPS1023: image loaded Failed", JobOutcome::FailedRunning);
}

// ---- convert -------------------------------------------------------------------------

TEST_F(ToolMessages, ConverterRefusesOddSizesNamingTheOddSide) {
  struct Case {
    int32_t w, h, sampling, field;
    std::string expected;
  } cases[] = {
      {15, 10, YUV_422, Progressive,
       "Error CONV1018: Input image width (15) is an odd number, the image cannot be convert to 422 "
       "format\n"},
      {15, 10, YUV_420, Progressive,
       "Error CONV1019: Input image width (15) is an odd number, the image cannot be convert to 420 "
       "format\n"},
      {16, 9, YUV_420, Progressive,
       "Error CONV1020: Input image height (9) is an odd number, the image cannot be convert to 420 "
       "format\n"},
      {16, 9, YUV_444, Interlaced,
       "Error CONV1021: Input image height (9) is an odd number, the image cannot be convert to interlaced "
       "format\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    const ImageFormat source = test::Layout(YUV_444, YUV, Progressive, Planar, c.w, c.h);
    ImageFormat target = test::Layout(c.sampling, YUV, c.field, Planar, c.w, c.h);
    target.BitsPerSample = -1;
    ConverterJob job;
    ASSERT_TRUE(job.PrepareConversion({.source = Clip(source, 1, 2, "odd.yuv").string(),
                                       .target = (dir_ / "c.yuv").string(),
                                       .sourceFormat = source,
                                       .targetFormat = target}));
    recorder_.Clear();
    StopCounter observer;
    job.ExitWhenDone = true;
    EXPECT_NE(job.FreezeAndRun(observer), JobOutcome::Completed);
    EXPECT_EQ(recorder_.Texts(), std::vector<std::string>{c.expected});
    EXPECT_FALSE(std::filesystem::exists(dir_ / "c.yuv"));
  }
}

// ---- padding -------------------------------------------------------------------------

TEST_F(ToolMessages, PaddingRefusals) {
  const ImageFormat i420 = test::Layout(YUV_420, YUV, Progressive, Planar, 16, 8);
  const auto source = Clip(i420, 4, 1, "s.yuv");
  PaddingParameters to32x16;
  to32x16.SizeMode = PaddingSize::Explicit;
  to32x16.PaddedWidth = 32;
  to32x16.PaddedHeight = 16;
  const std::string target = (dir_ / "p.yuv").string();
  auto prepared = [&](PaddingJob& job, const ImageFormat& layout, const std::string& from,
                      const std::string& to,
                      const PaddingParameters& p) { ASSERT_TRUE(job.PreparePadding(from, to, layout, p)); };

  const std::vector<RangeCase> ranges = {
      {3, 2, "Error CRP1021:  End frame number cannot be smaller than start frame number!\n"},
      {5, 5,
       "Error CRP1022:  The start frame number you specified is bigger than the number of frames in the "
       "image "
       "file to pad!\n"},
      {1, 5,
       "Error CRP1023:  The end frame number you specified is bigger than the number of frames in the image "
       "to "
       "pad!\n"},
      {0, 0, "Error CRP1024:  Start or end frame number cannot be less than or equal to zero!\n"},
      {0, 2, "Error CRP1024:  Start or end frame number cannot be less than or equal to zero!\n"},
  };
  for (const RangeCase& c : ranges) {
    PaddingJob job;
    prepared(job, i420, source.string(), target, to32x16);
    job.StartFrame = c.start;
    job.EndFrame = c.end;
    ExpectRefusal(job, c.expected, JobOutcome::FailedStopped);
  }

  // A source too large for the work buffers: one 8196 x 5120 frame, a file with holes.
  const ImageFormat huge = test::Layout(MONO, YUV, Progressive, Planar, 8196, 5120);
  const auto large = dir_ / "large.y";
  test::WriteFileBytes(large, {});
  std::filesystem::resize_file(large, uintmax_t{8196} * 5120);
  PaddingParameters wider = to32x16;
  wider.PaddedWidth = 8200;
  wider.PaddedHeight = 5120;
  PaddingJob largeSource;
  prepared(largeSource, huge, large.string(), target, wider);
  ExpectRefusal(largeSource, "Error PADD1025: Image size (8196, 5120) not support !\n",
                JobOutcome::FailedRunning);

  PaddingParameters tooLarge = to32x16;
  tooLarge.PaddedWidth = 8196;
  tooLarge.PaddedHeight = 5120;
  PaddingJob largeTarget;
  prepared(largeTarget, i420, source.string(), target, tooLarge);
  ExpectRefusal(largeTarget, "Error PADD1026: Image size (8196, 5120) not support !\n",
                JobOutcome::FailedRunning);

  // The source removed, or cut short, after it was chosen.
  const auto gone = Clip(i420, 4, 2, "gone.yuv");
  PaddingJob missing;
  prepared(missing, i420, gone.string(), target, to32x16);
  std::filesystem::remove(gone);
  ExpectRefusal(missing, "Error PADD1027: Input file " + gone.string() + " not found\n",
                JobOutcome::FailedStopped);
  PaddingJob notFound;
  EXPECT_FALSE(notFound.PreparePadding(gone.string(), target, i420, to32x16));
  EXPECT_EQ(recorder_.Texts().back(), "Error PADD1027: Input file " + gone.string() + " not found\n");

  const auto cut = Clip(i420, 4, 3, "cut.yuv");
  PaddingJob shortened;
  prepared(shortened, i420, cut.string(), target, to32x16);
  CutTo(cut, 192);
  shortened.StartFrame = 3;
  ExpectRefusal(shortened, "Error PADD1028: Bitstream reading error!\n", JobOutcome::FailedRunning);

  PaddingJob unwritable;
  prepared(unwritable, i420, source.string(), Missing("p.yuv"), to32x16);
  ExpectRefusal(unwritable, "Error PADD1029: File " + Missing("p.yuv") + " cannot be written !\n",
                JobOutcome::FailedRunning);
  EXPECT_FALSE(std::filesystem::exists(target));
}

}  // namespace
}  // namespace vx
