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

PlayState PlaybackLoop::Toggle(PlayState playing) {
  parked_ = false;
  PlayState current = state_.load();
  PlayState next = PlayState::Stopped;
  do {
    next = current == playing ? PlayState::Paused : playing;
  } while (!state_.compare_exchange_weak(current, next));
  return next;
}

bool PlaybackLoop::SeekTo(int64_t n) {
  PlayState current = state_.load();
  do {
    if (current != PlayState::Paused && current != PlayState::Playing && current != PlayState::Seek)
      return false;
    parked_ = false;
    seekTarget_ = n;  // before the state, so the worker never reads an older target
  } while (!state_.compare_exchange_weak(current, PlayState::Seek));
  return true;
}

void PlaybackLoop::Quit() {
  parked_ = false;
  quit_ = true;
  state_.exchange(PlayState::Stopped);
}

bool PlaybackLoop::Interrupted() const {
  return quit_.load() || state_.load() == PlayState::Stopped;
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
    const PlayState state = state_.load();
    if (state == PlayState::Stopped) break;
    if (state != PlayState::Paused) parked_ = false;  // before any transition out of this state
    switch (state) {
      case PlayState::Paused:
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
      case PlayState::StepForward:
        if (Transition(PlayState::StepForward, PlayState::Paused)) ShowNext(sequence, observer, interval);
        continue;
      case PlayState::StepBackward:
        if (!Transition(PlayState::StepBackward, PlayState::Paused)) continue;
        if (next_ <= 2) {
          observer.ControlsChanged();  // "<" at the first frame: paused where it was
          continue;
        }
        next_ -= 2;
        ShowNext(sequence, observer, interval);
        continue;
      case PlayState::PlayingBackward:
        if (next_ <= 2) {
          if (Transition(PlayState::PlayingBackward, PlayState::Paused)) observer.ControlsChanged();
          continue;
        }
        next_ -= 2;
        ShowNext(sequence, observer, interval);
        continue;
      case PlayState::Seek:
        if (!Transition(PlayState::Seek, PlayState::Paused)) continue;
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
