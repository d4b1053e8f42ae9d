#pragma once

// The player's part of playback: a list of files of one layout played by the
// playback loop at 1..120 frames per second, the control states, the component
// list, and the history records of played files.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "player/FrameSequences.h"
#include "player/PlaybackLoop.h"

namespace vx {

inline constexpr size_t kMaxPlayFiles = 1024;

// Which controls are usable for a state (the window applies it).
struct PlayerControls {
  bool unchanged = false;  // PlayingBackward leaves every control as it is
  bool pathAndBrowse = true;
  bool start = false;
  bool pause = false;
  const char* pauseText = "Play";
  bool stop = false;
  bool stepButtons = false;
  bool slider = false;
  bool reverse = false;
  bool speed = false;
};
PlayerControls ControlsFor(bool hasPath, PlayState state);

// The texts of the component list for a sampling format (empty for MONO, whose
// list is disabled).
std::vector<std::string> ComponentListTexts(int32_t sampling);

// Frame interval in milliseconds for a rate of 1..120.
inline int FrameIntervalMs(int rate) {
  return 1000 / rate;
}

// What the player plays with, fixed when playing starts (the speed box shows it;
// a command-line rate sets it).
struct PlayerRun {
  int rate = 30;  // frames per second; a file is refused outside 1..120
};

// The player's files: the run's rate decides the pacing, played files enter the history.
class PlayerSequence final : public FileListSequence {
 public:
  PlayerSequence();
  // Before the worker starts.
  void SetRun(const PlayerRun& run) { rate_ = run.rate; }
  PlayerRun Run() const { return {.rate = rate_.load()}; }
  std::atomic<bool> AddToHistoryFlag{true};
  // Frames are shown as fast as they can be made (benchmarks).
  bool Unpaced = false;

  int IntervalMs() override;
  void Shown(int64_t n, bool first) override;

 private:
  std::atomic<int> rate_{PlayerRun{}.rate};
};

class PlayerEngine final : public Playback {
 public:
  PlaybackLoop& Loop() override { return loop_; }
  const PlaybackLoop& Loop() const { return loop_; }
  PlayerSequence& Sequence() override { return sequence_; }
  const PlayerSequence& Sequence() const { return sequence_; }

  // The worker: plays every file of the list in order.
  void PlayList(PlaybackObserver& observer) { loop_.Play(sequence_, observer); }

 private:
  PlaybackLoop loop_;
  PlayerSequence sequence_;
};

}  // namespace vx
