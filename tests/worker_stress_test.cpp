// Workers driven the way windows drive them, many times over: start, pause, stop
// and quit at arbitrary moments while the test thread reads what a window reads.
// Run under ThreadSanitizer by scripts/test.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <thread>

#include "PixelTestSupport.h"
#include "TestSupport.h"
#include "editor/EditorSequence.h"
#include "platform/MessageSink.h"
#include "player/FrameSequences.h"
#include "player/PlaybackLoop.h"
#include "tools/Converter.h"
#include "tools/Crop.h"
#include "tools/Flip.h"

namespace vx {
namespace {

class QuietObserver final : public ToolJobObserver {
 public:
  void Message(std::string_view text) override { messages.emplace_back(text); }
  std::vector<std::string> messages;  // the worker's own; read after the join
};

// What a window reads of a job while it runs.
int64_t LookLikeAWindow(const ToolJob& job) {
  int64_t seen = job.CurrentFrame.load() + static_cast<int>(job.RunState.load()) + job.TargetFormat.ImgWidth;
  job.Previews().Read([&](const FrameImage& p) {
    if (p.Data && p.DataSize > 0) seen += p.Data[p.DataSize - 1];
  });
  return seen;
}

std::unique_ptr<ToolJob> MakeJob(int kind, const std::string& source, const std::string& target,
                                 const ImageFormat& format) {
  if (kind == 0) {
    auto crop = std::make_unique<CropJob>();
    crop->PrepareCrop(source, target, format, 2, 4, 10, 12);
    return crop;
  }
  if (kind == 1) {
    auto flip = std::make_unique<FlipJob>();
    flip->PrepareFromRequest(source, target, format);
    return flip;
  }
  auto convert = std::make_unique<ConverterJob>();
  convert->PrepareFromRequest(source, target, format);
  convert->TargetFormat = FrameImage{};
  static_cast<ImageFormat&>(convert->TargetFormat) = test::Layout(YUV_422, UYV, Interlaced, Packed, 32, 16);
  ComputeFrameSize(convert->TargetFormat);
  return convert;
}

// What the play buttons do to the loop: 0 Pause/Play, 1 Reverse, 2 ">", 3 "<".
void PressPlayButton(PlaybackLoop& loop, int button) {
  switch (button) {
    case 0:
      loop.TogglePause();
      break;
    case 1:
      loop.ToggleReverse();
      break;
    case 2:
      loop.StepForwardOnce();
      break;
    default:
      loop.StepBackwardOnce();
      break;
  }
}

TEST(WorkerStress, ToolJobsPausedStoppedAndWatchedWhileTheyRun) {
  RecordingMessageSink sink;
  ScopedMessageSink scope(sink);
  test::TempDir dir;
  const ImageFormat format = test::Layout(YUV_420, YUV, Progressive, Planar, 32, 16);
  const std::string source = (dir / "s.yuv").string();
  test::WriteFileBytes(source, test::RandomBytes(32 * 16 * 3 / 2 * 40, 3));
  std::mt19937 random(7);
  for (int round = 0; round < 150; ++round) {
    auto job = MakeJob(round % 3, source, (dir / "t.yuv").string(), format);
    job->ExitWhenDone = true;
    job->Freeze();
    QuietObserver observer;
    JobOutcome outcome = JobOutcome::FailedRunning;
    std::thread worker([&] { outcome = job->Run(observer); });
    int64_t seen = 0;
    const int actions = static_cast<int>(random() % 6);
    for (int a = 0; a < actions; ++a) {
      seen += LookLikeAWindow(*job);
      if (random() % 2) job->Pause();
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
    }
    if (random() % 2) job->Stop();
    if (job->RunState.load() == JobState::Paused) job->Pause();  // resume, so the job can end
    while (job->RunState.load() != JobState::Stopped) seen += LookLikeAWindow(*job);
    worker.join();
    EXPECT_EQ(outcome, JobOutcome::Completed) << "round " << round;
    EXPECT_TRUE(observer.messages.empty()) << observer.messages.front();
    EXPECT_GE(seen, 0);
    job->Pause();
    EXPECT_EQ(job->RunState.load(), JobState::Stopped) << "Pause does not wake a finished job";
  }
  EXPECT_TRUE(sink.Texts().empty()) << "jobs report through their own channel";
}

TEST(WorkerStress, PlaybackCommandsAtAnyMoment) {
  RecordingMessageSink sink;
  ScopedMessageSink scope(sink);
  test::TempDir dir;
  const ImageFormat format = test::Layout(YUV_420, YUV, Progressive, Planar, 32, 16);
  const std::string clip = (dir / "a.yuv").string();
  test::WriteFileBytes(clip, test::RandomBytes(32 * 16 * 3 / 2 * 30, 4));
  static const FileListSequence::Messages kMessages = {"none", "size", "missing %s"};
  FileListSequence files(kMessages);
  ASSERT_TRUE(files.SetFormat(format));
  files.Files = {clip, clip};
  std::mt19937 random(11);
  for (int round = 0; round < 100; ++round) {
    PlaybackLoop loop;
    PlaybackObserver observer;
    loop.StartPlaying();
    std::thread worker([&] { loop.Play(files, observer); });
    for (int a = 0; a < 20; ++a) {
      const int button = static_cast<int>(random() % 7);
      switch (button) {
        case 0:
        case 1:
        case 2:
        case 3:
          PressPlayButton(loop, button);
          break;
        case 4:
          loop.SeekTo(1 + random() % 30);
          break;
        case 5:
          loop.Stop();
          break;
        default:
          files.Component = static_cast<int>(random() % 4);
          break;
      }
      files.Pictures().Read([](const FrameImage& p) { return p.Data ? p.Data[0] : 0; });
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 200));
    }
    loop.Quit();
    worker.join();
  }
  EXPECT_TRUE(sink.Texts().empty());
}

// Remembers the last frame the loop said it showed.
class ShownRecorder final : public PlaybackObserver {
 public:
  void FrameShown(int64_t frame) override { last = frame; }
  std::atomic<int64_t> last{0};
};

TEST(WorkerStress, TheFrameShownIsOneRecordWhereverPlaybackStops) {
  RecordingMessageSink sink;
  ScopedMessageSink scope(sink);
  test::TempDir dir;
  // Every frame flat, with a luma that names it.
  const ImageFormat format = test::Layout(YUV_420, YUV, Progressive, Planar, 32, 16);
  const size_t frameSize = 32 * 16 * 3 / 2;
  std::vector<uint8_t> bytes;
  for (int n = 1; n <= 40; ++n) bytes.insert(bytes.end(), frameSize, static_cast<uint8_t>(5 * n));
  const std::string clip = (dir / "flat.yuv").string();
  test::WriteFileBytes(clip, bytes);
  EditorSequence sequence;
  ASSERT_TRUE(sequence.SetFormat(format));
  sequence.Files = {clip};
  const auto consistent = [&](const ShownFrame& shown) {
    if (shown.origin.number == 0) return true;  // nothing shown yet
    return shown.bytes.size() == frameSize && shown.origin.path == clip &&
           std::all_of(shown.bytes.begin(), shown.bytes.end(),
                       [&](uint8_t b) { return b == static_cast<uint8_t>(5 * shown.origin.number); });
  };
  std::mt19937 random(12);
  PlaybackLoop loop;
  for (int round = 0; round < 60; ++round) {
    ShownRecorder observer;
    loop.ClearQuit();
    loop.StartPlaying();
    std::thread worker([&] { loop.Play(sequence, observer); });
    for (int a = 0; a < 4; ++a) {
      PressPlayButton(loop, static_cast<int>(random() % 4));
      // A window's copy while the worker plays: its number and its bytes belong together.
      ASSERT_TRUE(consistent(sequence.Snapshot())) << "round " << round;
      std::this_thread::sleep_for(std::chrono::milliseconds(random() % 45));
    }
    // Stopped or paused at an arbitrary moment (often while the next frame waits its turn).
    if (random() % 2 == 0) {
      loop.Stop();
      worker.join();
    } else {
      if (loop.State() != PlayState::Paused) loop.TogglePause();
      while (loop.State() == PlayState::Paused && !loop.Parked()) std::this_thread::yield();
    }
    const ShownFrame shown = sequence.Snapshot();
    ASSERT_TRUE(consistent(shown)) << "round " << round;
    if (observer.last.load() > 0) {
      ASSERT_EQ(shown.origin.number, observer.last.load()) << "the frame the window was told it shows";
    }
    if (worker.joinable()) {
      loop.Quit();
      worker.join();
    }
  }
  EXPECT_TRUE(sink.Texts().empty());
}

}  // namespace
}  // namespace vx
