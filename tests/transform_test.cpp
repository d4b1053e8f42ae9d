#include <gtest/gtest.h>
#include <unistd.h>

#include "PixelTestSupport.h"
#include "TestSupport.h"
#include "platform/FaultInjection.h"
#include "platform/MessageSink.h"
#include "tools/Crop.h"
#include "tools/Flip.h"
#include "tools/Join.h"

namespace vx {
namespace {

class Quiet : public ToolJobObserver {
 public:
  bool WantsPreview() const override { return wants; }
  void FrameDone(int64_t frame) override { frames.push_back(frame); }
  void Stopped() override { ++stops; }
  bool wants = true;
  std::vector<int64_t> frames;
  int stops = 0;
};

JobOutcome RunJob(ToolJob& job, Quiet& observer) {
  job.ExitWhenDone = true;
  return job.FreezeAndRun(observer);
}

TEST(CropRules, EveryMessageForEveryLayout) {
  const CropRules i420{352, 288, YUV_420, Progressive};
  const CropRules interlaced420{352, 288, YUV_420, Interlaced};
  const CropRules interlaced422{352, 288, YUV_422, Interlaced};
  const CropRules yuv444{352, 288, YUV_444, Progressive};
  auto code = [](const std::optional<std::string>& m) { return m ? m->substr(6, 8) : std::string("ok"); };
  struct Case {
    const char* what;
    std::optional<std::string> result;
    const char* expected;
  } cases[] = {
      {"420 top 1", i420.Top(1), "CROP1027"},
      {"420 top 2", i420.Top(2), "ok"},
      {"420 left 3", i420.Left(3), "CROP1018"},
      {"422 left 3", interlaced422.Left(3), "CROP1019"},
      {"420 width 101", i420.Width(101, 4), "CROP1022"},
      {"422 width 101", interlaced422.Width(101, 4), "CROP1023"},
      {"interlaced 420 height 6", interlaced420.Height(6, 0), "CROP1032"},
      {"interlaced 420 height 8", interlaced420.Height(8, 0), "ok"},
      {"interlaced 422 height 6", interlaced422.Height(6, 0), "ok"},
      {"interlaced top 1", interlaced422.Top(1), "CROP1026"},
      {"interlaced odd height", interlaced422.Height(7, 0), "CROP1030"},
      {"420 odd height", i420.Height(7, 0), "CROP1031"},
      {"negative top", yuv444.Top(-1), "CROP1024"},
      {"top beyond", yuv444.Top(289), "CROP1025"},
      {"negative left", yuv444.Left(-2), "CROP1016"},
      {"left beyond", yuv444.Left(353), "CROP1017"},
      {"left = width", yuv444.Left(352), "ok"},
      {"zero width", yuv444.Width(0, 0), "CROP1020"},
      {"zero height", yuv444.Height(0, 0), "CROP1028"},
      {"444 odd everything", yuv444.Top(1) ? yuv444.Top(1) : yuv444.Width(7, 3), "ok"},
      {"444 odd height", yuv444.Height(7, 1), "ok"},
  };
  for (const Case& c : cases) EXPECT_EQ(code(c.result), c.expected) << c.what;
  EXPECT_EQ(*yuv444.Width(300, 100),
            "Error CROP1021:  Base on left column to start, the max width to crop is 252!\n");
  EXPECT_EQ(*yuv444.Width(2, 352),
            "Error CROP1021:  Base on left column to start, the max width to crop is 0!\n");
  EXPECT_EQ(*yuv444.Height(100, 200),
            "Error CROP1029:  Base on top line to start, the max height to crop is 88!\n");
}

class TransformJobs : public testing::Test {
 protected:
  std::filesystem::path Clip(const ImageFormat& f, int frames, uint32_t seed, const char* name,
                             int tail = 0) {
    return test::WriteRandomClip(dir_ / name, f, frames, seed, tail);
  }
  test::TempDir dir_;
  RecordingMessageSink recorder_;
  ScopedMessageSink scope_{recorder_};
};

TEST_F(TransformJobs, CropCutsTheRectangleInEveryLayout) {
  const ImageFormat mono = test::Layout(MONO, YUV, Progressive, Planar, 160, 80);
  CropJob job;
  ASSERT_TRUE(
      job.PrepareCrop(Clip(mono, 3, 1, "mono.y").string(), (dir_ / "c.y").string(), mono, 10, 20, 50, 100));
  Quiet observer;
  ASSERT_EQ(RunJob(job, observer), JobOutcome::Completed);
  EXPECT_EQ(std::filesystem::file_size(dir_ / "c.y"), 3u * 5000) << "100 x 50 mono frames of 5000 bytes";
  const auto in = test::ReadFileBytes(dir_ / "mono.y"), out = test::ReadFileBytes(dir_ / "c.y");
  EXPECT_EQ(out[0], in[10 * 160 + 20]);
  EXPECT_EQ(out[5000 + 99 + 49 * 100], in[12800 + (10 + 49) * 160 + 20 + 99]);

  // Refused rectangles end the job with Stop.
  const ImageFormat i420 = test::Layout(YUV_420, YUV, Progressive, Planar, 32, 16);
  CropJob refused;
  ASSERT_TRUE(
      refused.PrepareCrop(Clip(i420, 2, 2, "a.yuv").string(), (dir_ / "r.yuv").string(), i420, 1, 0, 8, 8));
  Quiet stopped;
  EXPECT_EQ(RunJob(refused, stopped), JobOutcome::FailedStopped);
  EXPECT_EQ(stopped.stops, 1);
  EXPECT_EQ(recorder_.Texts().back().substr(0, 14), "Error CROP1027");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "r.yuv"));
}

TEST_F(TransformJobs, ARunKeepsTheSetupFrozenAtStart) {
  // A window that edits the job's setup while it runs changes nothing of the run.
  const ImageFormat i420 = test::Layout(YUV_420, YUV, Progressive, Planar, 32, 16);
  const auto source = Clip(i420, 3, 9, "a.yuv");
  CropJob reference, edited;
  ASSERT_TRUE(reference.PrepareCrop(source.string(), (dir_ / "r.yuv").string(), i420, 2, 4, 8, 12));
  ASSERT_TRUE(edited.PrepareCrop(source.string(), (dir_ / "e.yuv").string(), i420, 2, 4, 8, 12));
  Quiet plain;
  ASSERT_EQ(RunJob(reference, plain), JobOutcome::Completed);
  class Meddler : public Quiet {
   public:
    explicit Meddler(CropJob& job) : job_(job) {}
    void FrameDone(int64_t frame) override {
      Quiet::FrameDone(frame);
      job_.CropTop = 6;
      job_.CropWidth = 2;
      job_.EndFrame = 1;
      job_.TargetName = "/nowhere/x.yuv";
    }
    CropJob& job_;
  } meddler(edited);
  ASSERT_EQ(RunJob(edited, meddler), JobOutcome::Completed);
  EXPECT_EQ(meddler.frames, (std::vector<int64_t>{1, 2, 3}));
  EXPECT_EQ(test::ReadFileBytes(dir_ / "e.yuv"), test::ReadFileBytes(dir_ / "r.yuv"));
  EXPECT_EQ(edited.Spec().outputs[0].format.ImgWidth, 12);
}

TEST_F(TransformJobs, AMissingSourceStopsCropAndFlip) {
  const ImageFormat i420 = test::Layout(YUV_420, YUV, Progressive, Planar, 32, 16);
  const auto source = Clip(i420, 2, 3, "gone.yuv");
  CropJob crop;
  ASSERT_TRUE(crop.PrepareCrop(source.string(), (dir_ / "c.yuv").string(), i420, 0, 0, 8, 8));
  FlipJob flip;
  ASSERT_TRUE(flip.PrepareFromRequest(source.string(), (dir_ / "f.yuv").string(), i420));
  std::filesystem::remove(source);  // gone between the choice and Start
  for (ToolJob* job : {static_cast<ToolJob*>(&crop), static_cast<ToolJob*>(&flip)}) {
    Quiet observer;
    EXPECT_EQ(RunJob(*job, observer), JobOutcome::FailedStopped);
    EXPECT_EQ(observer.stops, 1) << "Stop runs and the buttons reset";
  }
  EXPECT_EQ(recorder_.Texts().back().substr(0, 15), "Error FLIP1018:");
}

TEST_F(TransformJobs, PauseWakesOnlyARunningJob) {
  FlipJob job;
  EXPECT_EQ(job.RunState.load(), JobState::Stopped);
  job.Pause();
  EXPECT_EQ(job.RunState.load(), JobState::Stopped) << "a finished job stays finished";
  job.RunState = JobState::Running;
  job.Pause();
  EXPECT_EQ(job.RunState.load(), JobState::Paused);
  job.Pause();
  EXPECT_EQ(job.RunState.load(), JobState::Running);
}

TEST_F(TransformJobs, CropPreviewIsDarkenedOutsideTheRectangle) {
  const ImageFormat yuv = test::Layout(YUV_444, YUV, Progressive, Packed, 8, 4);
  const auto path = dir_ / "flat.yuv";
  test::WriteFileBytes(path, std::vector<uint8_t>(8 * 4 * 3, 200));
  CropJob job;
  ASSERT_TRUE(job.PrepareCrop(path.string(), (dir_ / "c.yuv").string(), yuv, 1, 2, 2, 4));
  Quiet observer;
  ASSERT_EQ(RunJob(job, observer), JobOutcome::Completed);
  const std::vector<uint8_t> p = job.Previews().FrontBytes();
  auto luma = [&](int x, int y) { return p[static_cast<size_t>(3 * (y * 8 + x))]; };
  EXPECT_EQ(luma(3, 1), 200) << "inside";
  EXPECT_EQ(luma(0, 0), 40) << "outside: (20 x 200 + 50) / 100";
  EXPECT_EQ(luma(7, 2), 40);
}

TEST_F(TransformJobs, FlippingTwiceGivesTheBytesBack) {
  for (const ImageFormat& layout : test::ValidYuvLayouts(18, 12)) {
    const auto source = Clip(layout, 2, 3, "s.yuv");
    FlipJob once, twice;
    ASSERT_TRUE(once.PrepareFromRequest(source.string(), (dir_ / "f1.yuv").string(), layout));
    Quiet observer;
    observer.wants = false;
    ASSERT_EQ(RunJob(once, observer), JobOutcome::Completed) << test::Describe(layout);
    ASSERT_TRUE(twice.PrepareFromRequest((dir_ / "f1.yuv").string(), (dir_ / "f2.yuv").string(), layout));
    ASSERT_EQ(RunJob(twice, observer), JobOutcome::Completed);
    EXPECT_EQ(test::ReadFileBytes(dir_ / "f2.yuv"), test::ReadFileBytes(source)) << test::Describe(layout);
    EXPECT_NE(test::ReadFileBytes(dir_ / "f1.yuv"), test::ReadFileBytes(source));
  }
  // 4:2:0 176 x 144: output luma row 0 is input row 143, chroma row 0 input chroma row 71.
  const ImageFormat qcif = test::Layout(YUV_420, YUV, Progressive, Planar, 176, 144);
  const auto source = Clip(qcif, 1, 4, "q.yuv");
  FlipJob job;
  ASSERT_TRUE(job.PrepareFromRequest(source.string(), (dir_ / "qf.yuv").string(), qcif));
  job.StartFrame = job.EndFrame = 1;
  Quiet observer;
  ASSERT_EQ(RunJob(job, observer), JobOutcome::Completed);
  const auto in = test::ReadFileBytes(source), out = test::ReadFileBytes(dir_ / "qf.yuv");
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + 176, in.begin() + 143 * 176));
  EXPECT_TRUE(
      std::equal(out.begin() + 176 * 144, out.begin() + 176 * 144 + 88, in.begin() + 176 * 144 + 71 * 88));
}

TEST_F(TransformJobs, LargeFramesWrittenFromOneOutputBufferKeepTheirBytes) {
  // Frames this large are made in one output buffer: each frame waits for the
  // write of the one before. Three different frames, flipped twice.
  const ImageFormat large = test::Layout(YUV_420, YUV, Progressive, Planar, 2400, 2400);
  const auto source = Clip(large, 3, 21, "large.yuv");
  Quiet observer;
  observer.wants = false;
  FlipJob once, twice;
  ASSERT_TRUE(once.PrepareFromRequest(source.string(), (dir_ / "l1.yuv").string(), large));
  ASSERT_EQ(RunJob(once, observer), JobOutcome::Completed);
  ASSERT_TRUE(twice.PrepareFromRequest((dir_ / "l1.yuv").string(), (dir_ / "l2.yuv").string(), large));
  ASSERT_EQ(RunJob(twice, observer), JobOutcome::Completed);
  const auto in = test::ReadFileBytes(source), flipped = test::ReadFileBytes(dir_ / "l1.yuv");
  const size_t frame = 2400 * 2400 * 3 / 2, last = 2 * frame;
  // Frame 3's first luma row is its last.
  EXPECT_TRUE(
      std::equal(flipped.begin() + last, flipped.begin() + last + 2400, in.begin() + last + 2399 * 2400));
  EXPECT_EQ(test::ReadFileBytes(dir_ / "l2.yuv"), in);
}

// Cuts a file to `keep` bytes as the second frame is read from it in place, as
// another program might while the frame is in use.
class CutAtSecondInPlaceRead {
 public:
  CutAtSecondInPlaceRead(const std::filesystem::path& path, off_t keep) {
    reads_ = 0;
    path_ = path.string();
    keep_ = keep;
    testhooks::afterInPlaceRead = [](int) {
      if (++reads_ == 2) {
        ASSERT_EQ(::truncate(path_.c_str(), keep_), 0);
      }
    };
  }
  ~CutAtSecondInPlaceRead() { testhooks::afterInPlaceRead = nullptr; }
  CutAtSecondInPlaceRead(const CutAtSecondInPlaceRead&) = delete;
  CutAtSecondInPlaceRead& operator=(const CutAtSecondInPlaceRead&) = delete;
  int reads() const { return reads_; }

 private:
  static inline int reads_ = 0;
  static inline std::string path_;
  static inline off_t keep_ = 0;
};

// Large frames are used where the file is (mapped), not copied: a file another
// program cuts while a frame of it is in use reads as zeros there, and the job
// fails instead of writing them (or ending the program with SIGBUS).
TEST_F(TransformJobs, AFileCutWhileItsFrameIsUsedInPlaceFailsTheJobAndWritesNothing) {
  const ImageFormat hd = test::Layout(YUV_420, YUV, Progressive, Planar, 1280, 1024);  // 1.9 MiB frames
  const auto source = Clip(hd, 3, 40, "hd.yuv");
  const auto target = dir_ / "flipped.yuv";
  test::WriteFileText(target, "EARLIER");
  CutAtSecondInPlaceRead cutter(source, 1280 * 1024 * 3 / 2 + 4096);
  FlipJob job;
  ASSERT_TRUE(job.PrepareFromRequest(source.string(), target.string(), hd));
  Quiet observer;
  observer.wants = false;
  const JobOutcome outcome = RunJob(job, observer);
  EXPECT_EQ(cutter.reads(), 2);
  EXPECT_EQ(outcome, JobOutcome::FailedRunning);
  EXPECT_EQ(recorder_.Texts(), std::vector<std::string>{"Error VLTX1031: " + source.string() +
                                                        " was cut short while it was being read; the job is "
                                                        "stopped and nothing is written!\n"});
  EXPECT_TRUE(test::ReadFileText(target) == "EARLIER") << "the earlier file stays";
  EXPECT_EQ(test::FileNamesIn(dir_.path()), (std::vector<std::string>{"flipped.yuv", "hd.yuv"}));
}

// Join writes a frame straight from where its file is: when the file was cut, the
// write itself fails (the kernel's copy faults), and the source is named, not the
// output.
TEST_F(TransformJobs, AFrameWrittenFromACutFileNamesTheFileNotTheOutput) {
  const ImageFormat hd = test::Layout(YUV_420, YUV, Progressive, Planar, 1280, 1024);
  const auto first = Clip(hd, 3, 42, "one.yuv");
  const auto second = Clip(hd, 1, 43, "two.yuv");
  const auto target = dir_ / "joined.yuv";
  test::WriteFileText(target, "EARLIER");
  CutAtSecondInPlaceRead cutter(first, 1280 * 1024 * 3 / 2 + 4096);
  JoinJob job;
  ASSERT_TRUE(job.PrepareJoin(first.string(), second.string(), target.string(), hd));
  Quiet observer;
  observer.wants = false;
  const JobOutcome outcome = RunJob(job, observer);
  EXPECT_EQ(outcome, JobOutcome::FailedRunning);
  EXPECT_EQ(recorder_.Texts(), std::vector<std::string>{"Error VLTX1031: " + first.string() +
                                                        " was cut short while it was being read; the job is "
                                                        "stopped and nothing is written!\n"});
  EXPECT_TRUE(test::ReadFileText(target) == "EARLIER") << "the earlier file stays";
  EXPECT_EQ(test::FileNamesIn(dir_.path()), (std::vector<std::string>{"joined.yuv", "one.yuv", "two.yuv"}));
}

TEST_F(TransformJobs, FramesUsedInPlaceGiveTheBytesOfFramesCopied) {
  // Above 1 MiB frames are mapped, below they are read: a flip of both sizes, and
  // a file whose last frame is short (read, never mapped past the end).
  for (const int32_t width : {1280, 256}) {
    const ImageFormat layout = test::Layout(YUV_420, YUV, Progressive, Planar, width, 1024);
    const auto source = Clip(layout, 3, 41, "in.yuv");
    std::vector<uint8_t> bytes = test::ReadFileBytes(source);
    bytes.resize(bytes.size() + 1000, 7);
    test::WriteFileBytes(source, bytes);
    FlipJob job;
    ASSERT_TRUE(job.PrepareFromRequest(source.string(), (dir_ / "out.yuv").string(), layout));
    Quiet observer;
    observer.wants = false;
    ASSERT_EQ(RunJob(job, observer), JobOutcome::Completed) << width;
    const auto out = test::ReadFileBytes(dir_ / "out.yuv");
    const size_t frame = size_t{static_cast<size_t>(width)} * 1024 * 3 / 2;
    ASSERT_EQ(out.size(), 3 * frame) << width;
    for (size_t f = 0; f < 3; ++f) {
      for (size_t row = 0; row < 1024; ++row) {
        ASSERT_TRUE(std::equal(out.begin() + f * frame + row * width,
                               out.begin() + f * frame + (row + 1) * width,
                               bytes.begin() + f * frame + (1023 - row) * width))
            << width << " frame " << f << " row " << row;
      }
    }
  }
}

TEST_F(TransformJobs, AnExceptionAnywhereInTheRunEndsItWithItsText) {
  // The observer throws as the second frame is done: the run ends as failed,
  // with the exception's own text.
  class Throwing : public Quiet {
   public:
    void FrameDone(int64_t frame) override {
      if (frame == 2) throw std::runtime_error("no window to show frame 2");
    }
  };
  const ImageFormat i420 = test::Layout(YUV_420, YUV, Progressive, Planar, 16, 8);
  const auto source = Clip(i420, 5, 30, "s.yuv");
  FlipJob job;
  ASSERT_TRUE(job.PrepareFromRequest(source.string(), (dir_ / "f.yuv").string(), i420));
  Throwing observer;
  EXPECT_EQ(RunJob(job, observer), JobOutcome::FailedRunning);
  EXPECT_EQ(recorder_.Texts(),
            std::vector<std::string>{"Error VLTX1030: The job stopped: no window to show frame 2\n"});
  EXPECT_EQ(test::FileNamesIn(dir_.path()), std::vector<std::string>{"s.yuv"}) << "nothing written is kept";
}

TEST_F(TransformJobs, AfterItsRunAJobReportsToTheProgramNotToTheRunsObserver) {
  // The observer of a run is often a local of the caller: the job keeps no hold of it.
  class ReportingFlip : public FlipJob {
   public:
    using FlipJob::Report;
  };
  class Listening : public Quiet {
   public:
    void Message(std::string_view text) override { messages.emplace_back(text); }
    std::vector<std::string> messages;
  };
  const ImageFormat i420 = test::Layout(YUV_420, YUV, Progressive, Planar, 16, 8);
  ReportingFlip job;
  ASSERT_TRUE(job.PrepareFromRequest(Clip(i420, 2, 31, "s.yuv").string(), (dir_ / "f.yuv").string(), i420));
  Listening observer;
  ASSERT_EQ(RunJob(job, observer), JobOutcome::Completed);
  job.Report("after the run");
  EXPECT_TRUE(observer.messages.empty());
  EXPECT_EQ(recorder_.Texts(), std::vector<std::string>{"after the run"});
}

TEST_F(TransformJobs, JoinTakesEveryFrameOfBothFiles) {
  const ImageFormat f = test::Layout(YUV_420, YUV, Progressive, Planar, 16, 8);
  const auto first = Clip(f, 10, 5, "one.yuv");
  const auto second = Clip(f, 5, 6, "two.yuv", 17);  // a tail that is no frame
  JoinJob job;
  ASSERT_TRUE(job.PrepareJoin(first.string(), second.string(), (dir_ / "joined.yuv").string(), f));
  Quiet observer;
  ASSERT_EQ(RunJob(job, observer), JobOutcome::Completed);
  EXPECT_EQ(observer.frames.back(), 15);
  EXPECT_EQ(observer.stops, 0) << "join leaves its buttons as they are";
  auto expected = test::ReadFileBytes(first);
  const auto two = test::ReadFileBytes(second);
  expected.insert(expected.end(), two.begin(), two.end() - 17);
  EXPECT_EQ(test::ReadFileBytes(dir_ / "joined.yuv"), expected);

  FrameImage a, b;
  static_cast<ImageFormat&>(a) = f;
  b = a;
  b.Fourcc = 12;
  ComputeFrameSize(a);
  ComputeFrameSize(b);
  EXPECT_TRUE(JoinJob::SameLayout(a, b)) << "the FOURCC is not compared";
  b.ComponentOrder = YVU;
  EXPECT_FALSE(JoinJob::SameLayout(a, b));
  JoinJob missing;
  EXPECT_FALSE(missing.PrepareJoin(first.string(), (dir_ / "none.yuv").string(), "x", f));
  EXPECT_EQ(recorder_.Texts().back(),
            "Error JOIN1003:  Input file " + (dir_ / "none.yuv").string() + " not found\n");
}

}  // namespace
}  // namespace vx
