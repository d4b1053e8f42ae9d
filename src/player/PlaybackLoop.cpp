#include "player/PlaybackLoop.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace vx {
namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void Sleep(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

int PlaybackLoop::Toggle(int playing) {
  parked_ = false;
  int current = state_.load();
  int next = PlayStopped;
  do {
    next = current == playing ? PlayPaused : playing;
  } while (!state_.compare_exchange_weak(current, next));
  return next;
}

bool PlaybackLoop::SeekTo(int64_t n) {
  int current = state_.load();
  do {
    if (current != PlayPaused && current != Playing && current != Seek) return false;
    parked_ = false;
    seekTarget_ = n;  // before the state, so the worker never reads an older target
  } while (!state_.compare_exchange_weak(current, Seek));
  return true;
}

void PlaybackLoop::Quit() {
  parked_ = false;
  quit_ = true;
  state_.exchange(PlayStopped);
}

bool PlaybackLoop::Interrupted() const {
  return quit_.load() || state_.load() == PlayStopped;
}

void PlaybackLoop::Play(FrameSequence& sequence, PlaybackObserver& observer) {
  for (size_t i = 0; i < sequence.ItemCount() && !quit_; ++i) {
    StartPlaying();
    observer.ItemStarted(i);
    PlayItem(sequence, i, observer);
    observer.ItemEnded(i);
  }
  observer.Finished();
}

void PlaybackLoop::PlayItem(FrameSequence& sequence, size_t index, PlaybackObserver& observer) {
  if (!sequence.Open(index)) return;
  observer.FrameCountKnown(sequence.FrameCount());
  const int interval = sequence.IntervalMs();
  if (interval < 0) {
    Stop();
    observer.ControlsChanged();
    sequence.Close();
    return;
  }
  next_ = std::max<int64_t>(firstFrame_.exchange(1), 1);
  lastShownMs_ = -1;
  firstShown_ = false;
  while (!quit_) {
    const int state = state_.load();
    if (state == PlayStopped) break;
    if (state != PlayPaused) parked_ = false;  // before any transition out of this state
    switch (state) {
      case PlayPaused:
        // Parked: no frame is loaded until the window changes the state (a render
        // of the frame shown changes no frame).
        // The window's edit controls follow the moment the frames stand still.
        if (!parked_.exchange(true)) observer.ControlsChanged();
        if (rerender_.exchange(false) && firstShown_) {
          sequence.Render();
          observer.FrameRendered();
          continue;
        }
        Sleep(3);
        continue;
      case StepForward:
        if (Transition(StepForward, PlayPaused)) ShowNext(sequence, observer, interval);
        continue;
      case StepBackward:
        if (!Transition(StepBackward, PlayPaused)) continue;
        if (next_ <= 2) {
          observer.ControlsChanged();  // "<" at the first frame: paused where it was
          continue;
        }
        next_ -= 2;
        ShowNext(sequence, observer, interval);
        continue;
      case PlayingBackward:
        if (next_ <= 2) {
          if (Transition(PlayingBackward, PlayPaused)) observer.ControlsChanged();
          continue;
        }
        next_ -= 2;
        ShowNext(sequence, observer, interval);
        continue;
      case Seek:
        if (!Transition(Seek, PlayPaused)) continue;
        next_ = std::max<int64_t>(seekTarget_.load(), 1);
        ShowNext(sequence, observer, interval);
        continue;
      default:
        ShowNext(sequence, observer, interval);
        continue;
    }
  }
  parked_ = false;
  sequence.Close();
}

bool PlaybackLoop::ShowNext(FrameSequence& sequence, PlaybackObserver& observer, int intervalMs) {
  observer.ControlsChanged();
  const int64_t n = next_.load();
  if (!sequence.Load(n)) {
    Stop();
    observer.ControlsChanged();
    return false;
  }
  if (intervalMs > 0) {
    // At least the interval since the last frame shown; the first one is not delayed.
    while (lastShownMs_ >= 0 && NowMs() - lastShownMs_ < intervalMs && !Interrupted()) Sleep(1);
    lastShownMs_ = NowMs();
  }
  // Stopped meanwhile: the frame is not shown, and the one shown stays shown.
  if (Interrupted()) return false;
  next_ = n + 1;
  sequence.Commit();
  sequence.Render();
  const bool first = !firstShown_;
  firstShown_ = true;
  sequence.Shown(n, first);
  observer.FrameShown(n);
  return true;
}

}  // namespace vx
