#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "PixelTestSupport.h"
#include "TestSupport.h"
#include "display/DisplayPicture.h"
#include "image/ColorFormula.h"
#include "platform/MessageSink.h"
#include "player/FrameSequences.h"
#include "player/PlaybackLoop.h"
#include "player/PlayerEngine.h"

namespace vx {
namespace {

using Clock = std::chrono::steady_clock;

// Records what the loop reports, from the worker's thread.
class Recorder final : public PlaybackObserver {
 public:
  void ItemStarted(size_t index) override { Add(-1000 - static_cast<int64_t>(index)); }
  void FrameShown(int64_t frame) override { Add(frame); }
  std::vector<int64_t> Events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  int64_t Last() const {
    std::lock_guard lock(mutex_);
    return events_.empty() ? 0 : events_.back();
  }
  std::function<void(int64_t)> onFrame;

 private:
  void Add(int64_t value) {
    {
      std::lock_guard lock(mutex_);
      events_.push_back(value);
    }
    if (onFrame && value > 0) onFrame(value);
  }
  mutable std::mutex mutex_;
  std::vector<int64_t> events_;
};

// A list of items of `frames[i]` numbered frames; Load can run a hook.
class CountingSequence final : public FrameSequence {
 public:
  explicit CountingSequence(std::vector<int64_t> frames, int interval = 0)
      : frames_(std::move(frames)), interval_(interval) {}
  size_t ItemCount() const override { return frames_.size(); }
  bool Open(size_t index) override {
    item_ = index;
    return true;
  }
  int64_t FrameCount() const override { return frames_[item_]; }
  int IntervalMs() override { return interval_; }
  bool Load(int64_t n) override {
    if (onLoad) onLoad(item_, n);
    return n <= frames_[item_];
  }
  void Render() override {}
  std::function<void(size_t, int64_t)> onLoad;

 private:
  std::vector<int64_t> frames_;
  int interval_;
  size_t item_ = 0;
};

template <typename Condition>
bool WaitFor(Condition condition, int ms = 5000) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return condition();
}

TEST(PlaybackLoop, PlaysEveryItemAndStopEndsOnlyTheCurrentOne) {
  PlaybackLoop loop;
  CountingSequence sequence({4, 2, 3});
  Recorder recorder;
  // Stop while the first item shows its second frame: the other two play whole.
  sequence.onLoad = [&](size_t item, int64_t n) {
    if (item == 0 && n == 2) loop.Stop();
  };
  loop.StartPlaying();
  loop.Play(sequence, recorder);
  EXPECT_EQ(recorder.Events(), (std::vector<int64_t>{-1000, 1, -1001, 1, 2, -1002, 1, 2, 3}));
  EXPECT_EQ(loop.State(), PlayState::Stopped) << "the end of the data stops";
}

TEST(PlaybackLoop, StepSeekAndReversePlay) {
  PlaybackLoop loop;
  CountingSequence sequence({12});
  Recorder recorder;
  loop.StepForwardOnce();
  std::thread worker([&] { loop.Play(sequence, recorder); });
  ASSERT_TRUE(WaitFor([&] { return recorder.Last() == 1 && loop.State() == PlayState::Paused; }));
  loop.StepBackwardOnce();  // at frame 1 it only pauses
  ASSERT_TRUE(WaitFor([&] { return loop.State() == PlayState::Paused; }));
  EXPECT_TRUE(loop.SeekTo(10));
  ASSERT_TRUE(WaitFor([&] { return recorder.Last() == 10 && loop.State() == PlayState::Paused; }));
  EXPECT_EQ(loop.ToggleReverse(), PlayState::PlayingBackward);
  ASSERT_TRUE(WaitFor([&] { return recorder.Last() == 1 && loop.State() == PlayState::Paused; }));
  EXPECT_EQ(recorder.Events(), (std::vector<int64_t>{-1000, 1, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(loop.ToggleReverse(), PlayState::PlayingBackward);
  ASSERT_TRUE(WaitFor([&] { return loop.State() == PlayState::Paused; }));
  loop.StepForwardOnce();
  ASSERT_TRUE(WaitFor([&] { return recorder.Last() == 2; }));
  EXPECT_EQ(loop.TogglePause(), PlayState::Playing);
  ASSERT_TRUE(WaitFor([&] { return loop.State() == PlayState::Stopped; }));
  worker.join();
  EXPECT_EQ(recorder.Last(), 12) << "plays on to the end";
  EXPECT_FALSE(loop.SeekTo(3)) << "no seeking once stopped";
}

TEST(PlaybackLoop, APlayClickIsNeverUndoneByTheWorker) {
  // The worker's own fall-back to Paused after a step must not overwrite a Play
  // given meanwhile: after each Play click the loop goes on playing.
  for (int round = 0; round < 200; ++round) {
    PlaybackLoop loop;
    CountingSequence sequence({1000000});
    Recorder recorder;
    loop.StepForwardOnce();
    std::thread worker([&] { loop.Play(sequence, recorder); });
    std::this_thread::sleep_for(std::chrono::microseconds(round % 50));
    loop.StepForwardOnce();
    loop.TogglePause();  // from StepForward or Paused: Playing
    const int64_t before = recorder.Last();
    ASSERT_TRUE(WaitFor([&] { return recorder.Last() > before + 5; }, 2000)) << "round " << round;
    EXPECT_EQ(loop.State(), PlayState::Playing);
    loop.Quit();
    worker.join();
  }
}

TEST(PlaybackLoop, PacingKeepsTheIntervalButNotBeforeTheFirstFrame) {
  PlaybackLoop loop;
  CountingSequence sequence({5}, 20);
  Recorder recorder;
  std::vector<Clock::time_point> times;
  recorder.onFrame = [&](int64_t) { times.push_back(Clock::now()); };
  const auto start = Clock::now();
  loop.StartPlaying();
  loop.Play(sequence, recorder);
  ASSERT_EQ(times.size(), 5u);
  EXPECT_LT(times[0] - start, std::chrono::milliseconds(15)) << "the first frame is not delayed";
  for (size_t i = 1; i < times.size(); ++i)
    EXPECT_GE(times[i] - times[i - 1], std::chrono::milliseconds(19)) << "a millisecond clock";
}

TEST(PlaybackLoop, ARefusedIntervalStopsTheItemAfterItsMessage) {
  RecordingMessageSink messages;
  ScopedMessageSink scope(messages);
  PlayerSequence player;
  test::TempDir dir;
  test::WriteFileBytes(dir / "a.yuv", std::vector<uint8_t>(16 * 8 * 3 / 2 * 2, 9));
  ImageFormat format = test::PlainLayout(YUV_420, YUV, Progressive, Planar, 16, 8);
  ASSERT_TRUE(player.SetFormat(format));
  player.Files = {(dir / "a.yuv").string()};
  player.SetRun({.rate = 121});
  player.AddToHistoryFlag = false;
  PlaybackLoop loop;
  Recorder recorder;
  loop.StartPlaying();
  loop.Play(player, recorder);
  EXPECT_EQ(messages.Texts(),
            std::vector<std::string>{
                "Error PLAY1007:  Valid value for player speed, must within the range [1,120]"});
  EXPECT_EQ(loop.State(), PlayState::Stopped);
  player.SetRun({.rate = 60});
  EXPECT_EQ(player.IntervalMs(), 16) << "1000 / the run's rate";
  player.SetRun({.rate = 120});
  EXPECT_EQ(player.IntervalMs(), 8);
}

// A clip whose frame n (from 1) has luma n and chroma 128 + n, 16 x 8 I420.
std::string NumberedClip(const test::TempDir& dir, const std::string& name, int frames) {
  std::vector<uint8_t> bytes;
  for (int n = 1; n <= frames; ++n) {
    bytes.insert(bytes.end(), 16 * 8, static_cast<uint8_t>(n));
    bytes.insert(bytes.end(), 16 * 8 / 2, static_cast<uint8_t>(128 + n));
  }
  const std::string path = (dir / name).string();
  test::WriteFileBytes(path, bytes);
  return path;
}

const ImageFormat kClipFormat = test::PlainLayout(YUV_420, YUV, Progressive, Planar, 16, 8);

TEST(FrameSequences, FileListRendersEachFrameAndReportsMissingFiles) {
  RecordingMessageSink messages;
  ScopedMessageSink scope(messages);
  static const FileListSequence::Messages kMessages = {"no path", "bad size", "missing %s"};
  test::TempDir dir;
  FileListSequence files(kMessages);
  ASSERT_TRUE(files.SetFormat(kClipFormat));
  files.Files = {NumberedClip(dir, "a.yuv", 3), (dir / "gone.yuv").string(), ""};
  EXPECT_TRUE(files.Open(0));
  EXPECT_EQ(files.FrameCount(), 3);
  ASSERT_TRUE(files.Load(2));
  files.Commit();
  files.Render();
  std::vector<uint8_t> picture = files.Pictures().FrontBytes();
  ASSERT_EQ(picture.size(), 16u * 8 * 3);
  EXPECT_EQ(picture[0], 2);
  EXPECT_EQ(picture[1], 130);
  files.Component = 0;
  files.Render();
  picture = files.Pictures().FrontBytes();
  EXPECT_EQ((std::vector<uint8_t>(picture.begin(), picture.begin() + 3)),
            (std::vector<uint8_t>{2, 128, 128}));
  EXPECT_FALSE(files.Load(4));
  files.Close();
  EXPECT_FALSE(files.Open(1));
  EXPECT_FALSE(files.Open(2));
  EXPECT_EQ(messages.Texts(),
            (std::vector<std::string>{"missing " + (dir / "gone.yuv").string(), "no path"}));
}

TEST(FrameSequences, LockstepPairsEndWithTheShorterFile) {
  test::TempDir dir;
  static const LockstepPairSequence::Messages kMessages = {"first %s", "second %s"};
  LockstepPairSequence pair(kMessages);
  ASSERT_TRUE(pair.SetFormats(kClipFormat, kClipFormat));
  pair.FirstPath = NumberedClip(dir, "a.yuv", 5);
  pair.SecondPath = NumberedClip(dir, "b.yuv", 3);
  std::vector<std::pair<int, int>> seen;
  pair.SetRenderer(
      [&](const FrameImage& a, const FrameImage& b) { seen.emplace_back(a.Data[0], b.Data[0]); });
  PlaybackLoop loop;
  Recorder recorder;
  loop.StartPlaying();
  loop.Play(pair, recorder);
  EXPECT_EQ(pair.FrameCount(), 3);
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{1, 1}, {2, 2}, {3, 3}}));
}

TEST(FrameSequences, ConsecutivePairsReadTheFileAgainForEveryStep) {
  test::TempDir dir;
  ConsecutivePairSequence pairs("missing %s");
  ASSERT_TRUE(pairs.SetFormats(kClipFormat, kClipFormat));
  pairs.Path = NumberedClip(dir, "a.yuv", 4);
  ASSERT_TRUE(pairs.Open(0));
  EXPECT_EQ(pairs.FrameCount(), 3) << "four frames make three pairs";
  ASSERT_TRUE(pairs.ShowNow(2));
  EXPECT_EQ(pairs.Snapshot().first.bytes[0], 2);
  EXPECT_EQ(pairs.Snapshot().second.bytes[0], 3);
  // An edit written into the file between two steps is seen by the next one.
  std::vector<uint8_t> bytes = test::ReadFileBytes(pairs.Path);
  bytes[2 * 192] = 77;  // the first luma byte of frame 3
  test::WriteFileBytes(pairs.Path, bytes);
  ASSERT_TRUE(pairs.ShowNow(2));
  EXPECT_EQ(pairs.Snapshot().second.bytes[0], 77);
  EXPECT_FALSE(pairs.Load(4)) << "no frame after the last";
}

TEST(DisplayPicture, EveryKindOfFrameBecomesCanonicalYuv) {
  const auto tables = CurrentColourTables();
  DisplayWork work;
  FrameBuffer displayBuffer;
  ASSERT_TRUE(displayBuffer.Allocate(WorkBufferSize(4, 2)));
  FrameImage display = displayBuffer.Frame(ImageFormat{});
  FrameBuffer sourceBuffer;
  ASSERT_TRUE(sourceBuffer.Allocate(WorkBufferSize(4, 2)));

  // Packed BGR: component 0 is red whatever the byte order.
  FrameImage bgr = sourceBuffer.Frame(test::PlainLayout(RGB_444, BGR, Progressive, Packed, 4, 2));
  for (int i = 0; i < 8; ++i) {
    bgr.Data[3 * i] = 10;
    bgr.Data[3 * i + 1] = 20;
    bgr.Data[3 * i + 2] = 250;
  }
  const std::vector<uint8_t> before(bgr.Data, bgr.Data + bgr.DataSize);
  DisplayPictureOptions red;
  red.component = 0;
  ASSERT_TRUE(MakeDisplayPicture(*tables, bgr, display, work, red));
  Yuv8 expected{};
  ASSERT_TRUE(RgbToYuvPixel(tables->formula, tables->user, 250, 0, 0, expected));
  EXPECT_EQ((Yuv8{display.Data[21], display.Data[22], display.Data[23]}), expected);
  EXPECT_EQ(display.SamplingFormat, YUV_444);
  EXPECT_EQ(display.DataSize, 24);
  EXPECT_EQ(std::vector<uint8_t>(bgr.Data, bgr.Data + bgr.DataSize), before) << "the frame is left alone";

  // Planar RGB gives the same picture as its packed form.
  FrameImage planar = sourceBuffer.Frame(test::PlainLayout(RGB_444, RGB, Progressive, Planar, 4, 2));
  for (int i = 0; i < 8; ++i) planar.Data[i] = 200, planar.Data[8 + i] = 100, planar.Data[16 + i] = 50;
  ASSERT_TRUE(MakeDisplayPicture(*tables, planar, display, work));
  ASSERT_TRUE(RgbToYuvPixel(tables->formula, tables->user, 200, 100, 50, expected));
  EXPECT_EQ((Yuv8{display.Data[0], display.Data[1], display.Data[2]}), expected);

  // Mono: through RGB (grey by the formula) or straight into luma.
  FrameImage mono = sourceBuffer.Frame(test::PlainLayout(MONO, YUV, Interlaced, Planar, 4, 2));
  std::fill(mono.Data, mono.Data + 8, uint8_t{77});
  ASSERT_TRUE(MakeDisplayPicture(*tables, mono, display, work));
  ASSERT_TRUE(RgbToYuvPixel(tables->formula, tables->user, 77, 77, 77, expected));
  EXPECT_EQ((Yuv8{display.Data[0], display.Data[1], display.Data[2]}), expected);
  DisplayPictureOptions luma;
  luma.mono = MonoDisplay::AsLuma;
  ASSERT_TRUE(MakeDisplayPicture(*tables, mono, display, work, luma));
  EXPECT_EQ((Yuv8{display.Data[0], display.Data[1], display.Data[2]}), (Yuv8{77, 128, 128}));

  // YUV: one component keeps its samples, the others become neutral.
  FrameImage yuv = sourceBuffer.Frame(test::PlainLayout(YUV_444, YVU, Progressive, Planar, 4, 2));
  std::fill(yuv.Data, yuv.Data + 8, uint8_t{50});
  std::fill(yuv.Data + 8, yuv.Data + 16, uint8_t{60});   // V
  std::fill(yuv.Data + 16, yuv.Data + 24, uint8_t{70});  // U
  ASSERT_TRUE(MakeDisplayPicture(*tables, yuv, display, work));
  EXPECT_EQ((Yuv8{display.Data[0], display.Data[1], display.Data[2]}), (Yuv8{50, 70, 60}));
  DisplayPictureOptions u;
  u.component = 1;
  ASSERT_TRUE(MakeDisplayPicture(*tables, yuv, display, work, u));
  EXPECT_EQ((Yuv8{display.Data[0], display.Data[1], display.Data[2]}), (Yuv8{70, 128, 128}));
}

TEST(DisplayPicture, TheReaderOnlyEverSeesCompletePictures) {
  PictureExchange pictures;
  ASSERT_TRUE(pictures.Allocate(64, 64));
  EXPECT_TRUE(pictures.FrontBytes().empty()) << "nothing published yet";
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int k = 1; k <= 400; ++k) {
      FrameImage& back = pictures.Back();
      for (int64_t i = 0; i < back.DataSize; ++i) back.Data[i] = static_cast<uint8_t>(k);
      pictures.Publish();
    }
    done = true;
  });
  int torn = 0, reads = 0;
  while (!done) {
    pictures.Read([&](const FrameImage& front) {
      if (!front.Data) return;
      ++reads;
      for (int64_t i = 1; i < front.DataSize; ++i) {
        if (front.Data[i] != front.Data[0]) {
          ++torn;
          break;
        }
      }
    });
  }
  writer.join();
  EXPECT_EQ(torn, 0) << "of " << reads << " reads";
  EXPECT_EQ(pictures.FrontBytes().front(), 400 % 256);
}

}  // namespace
}  // namespace vx
