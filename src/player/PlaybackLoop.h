#pragma once

// The one loop behind every window that plays frames: the play state, stepping,
// reverse play, seeking and pacing, over any FrameSequence. A worker thread runs
// Play(); the window changes the state through the commands below and hears what
// happened through a PlaybackObserver.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vx {

enum class PlayState : uint8_t {
  Stopped = 0,
  Paused = 1,
  StepForward = 2,
  StepBackward = 3,
  Playing = 4,
  PlayingBackward = 5,
  Seek = 6,
};

// What is played: one or more items (the files of a list) of numbered frames.
// Called on the playing worker's thread only.
class FrameSequence {
 public:
  virtual ~FrameSequence() = default;
  virtual size_t ItemCount() const { return 1; }
  // Opens item `index`; false (after its message) skips it.
  virtual bool Open(size_t index) = 0;
  // Frames of the open item.
  virtual int64_t FrameCount() const = 0;
  // Milliseconds at least between two frames shown, 0 for none; -1 refuses to play
  // the open item (after a message).
  virtual int IntervalMs() = 0;
  // Loads frame `n` (from 1) of the open item; false when nothing could be read.
  virtual bool Load(int64_t n) = 0;
  // The frame loaded last becomes the frame shown (called only when it is shown:
  // a frame loaded and then stopped before its turn is never shown).
  virtual void Commit() {}
  // Renders the frame shown for the window and publishes it.
  virtual void Render() = 0;
  // Frame `n` is shown; `first` for the first frame shown of the item.
  virtual void Shown(int64_t /*n*/, bool /*first*/) {}
  virtual void Close() {}
  // The name of item `index` (a file's path), for the window's title.
  virtual std::string ItemName(size_t /*index*/) const { return {}; }
};

// What the window hears (on the worker's thread: windows post it to their own).
class PlaybackObserver {
 public:
  virtual ~PlaybackObserver() = default;
  virtual void ItemStarted(size_t /*index*/) {}
  virtual void FrameCountKnown(int64_t /*frames*/) {}
  virtual void FrameShown(int64_t /*frame*/) {}
  // The frame shown was rendered again (a new component choice while paused).
  virtual void FrameRendered() {}
  virtual void ControlsChanged() {}
  virtual void ItemEnded(size_t /*index*/) {}
  virtual void Finished() {}
};

class PlaybackLoop {
 public:
  // The worker: plays every item in order until the list is done or Quit.
  void Play(FrameSequence& sequence, PlaybackObserver& observer);

  // The state is one atomic word, changed only by atomic read-modify-write
  // operations: a transition the worker makes on its own (a step falling back to
  // Paused) happens only if nobody changed the state since it was read.
  PlayState State() const { return state_.load(); }
  // The worker is paused and loads no frame until the window changes the state.
  // Read together with State() == PlayPaused.
  bool Parked() const { return parked_.load(); }
  // Stopped becomes Playing (Start, and each new item of the list).
  bool StartPlaying() { return Transition(PlayState::Stopped, PlayState::Playing); }
  // Playing <-> Paused; from any other state, Playing. Returns the new state.
  PlayState TogglePause() { return Toggle(PlayState::Playing); }
  // PlayingBackward <-> Paused; from any other state, PlayingBackward.
  PlayState ToggleReverse() { return Toggle(PlayState::PlayingBackward); }
  void StepForwardOnce() { Wake(PlayState::StepForward); }
  void StepBackwardOnce() { Wake(PlayState::StepBackward); }
  // While Paused, Playing or Seek: show frame `n` next, then pause. False otherwise.
  bool SeekTo(int64_t n);
  // Renders the frame shown again at the worker's next turn (a display choice
  // changed while paused; the worker owns the frame buffers).
  void RequestRender() { rerender_ = true; }
  // Ends the current item (a list goes on with its next item).
  void Stop() { state_.exchange(PlayState::Stopped); }
  // Ends the whole list for good (closing the window, a new selection).
  void Quit();
  // Before a new worker starts.
  void ClearQuit() { quit_ = false; }
  bool QuitRequested() const { return quit_.load(); }

  // The number of the frame read next.
  int64_t NextFrame() const { return next_.load(); }
  // The frame the next item starts from (once; then 1 again). Set before the worker
  // starts, by a tool that already shows a frame the run should go on from.
  void StartNextItemAt(int64_t n) { firstFrame_ = n; }

 private:
  bool Transition(PlayState from, PlayState to) { return state_.compare_exchange_strong(from, to); }
  void Wake(PlayState state) {
    parked_ = false;
    state_.exchange(state);
  }
  PlayState Toggle(PlayState playing);
  void PlayItem(FrameSequence& sequence, size_t index, PlaybackObserver& observer);
  // Reads frame next_, waits for its turn and shows it. False at the end of data
  // or when stopped while waiting.
  bool ShowNext(FrameSequence& sequence, PlaybackObserver& observer, int intervalMs);
  bool Interrupted() const;

  std::atomic<PlayState> state_{PlayState::Stopped};
  std::atomic<bool> quit_{false};
  std::atomic<bool> rerender_{false};
  // Cleared before the worker (or a window command) leaves the paused state, set
  // when the worker finds it paused: from then on it loads no frame until the
  // state changes.
  std::atomic<bool> parked_{false};
  std::atomic<int64_t> next_{1};
  std::atomic<int64_t> firstFrame_{1};
  std::atomic<int64_t> seekTarget_{1};
  // The worker's own pacing state for the item being played.
  int64_t lastShownMs_ = -1;  // -1: nothing shown yet, the first frame is not delayed
  bool firstShown_ = false;
};

// A loop and the sequence it plays, owned together: a window's playback driver
// owns one, so both outlive the worker that plays them.
class Playback {
 public:
  virtual ~Playback() = default;
  virtual PlaybackLoop& Loop() = 0;
  virtual FrameSequence& Sequence() = 0;
};

template <typename SequenceType>
class SequencePlayback final : public Playback {
 public:
  PlaybackLoop& Loop() override { return loop_; }
  SequenceType& Sequence() override { return sequence_; }

 private:
  PlaybackLoop loop_;
  SequenceType sequence_;
};

}  // namespace vx
