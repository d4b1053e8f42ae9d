#pragma once

#include <QCloseEvent>
#include <QObject>
#include <QWidget>
#include <functional>

#include "player/PlaybackLoop.h"
#include "ui/controls/DialogWorker.h"
#include "ui/controls/PlayControls.h"

namespace vx {

// What a window that plays frames does with the one playback loop: its play
// controls, the worker that plays the window's frame sequence, and the worker's
// reports brought to the window's thread. The window keeps only what it shows.
class PlaybackDriver : public QObject {
  Q_OBJECT

 public:
  struct Hooks {
    std::function<bool()> canPlay;                               // something to play is chosen
    std::function<bool()> beforeStart;                           // Start pressed: false keeps it from playing
    std::function<void(int64_t)> frameShown;                     // the controls have moved to it
    std::function<void()> redraw;                                // draw the current picture
    std::function<void(const PlayerControls&)> controlsChanged;  // the window's own controls
  };
  // The controls are made as children of `controlsParent`.
  PlaybackDriver(QWidget* window, QWidget* controlsParent, FrameSequence& sequence, Hooks hooks);
  ~PlaybackDriver() override;

  PlayControls& controls() { return *controls_; }
  PlaybackLoop& loop() { return loop_; }
  const PlaybackLoop& loop() const { return loop_; }
  bool WorkerRunning() const { return worker_.Running(); }
  // Whether the frames stand still (no worker, or one parked in the paused state,
  // not merely told to pause): edits may be made.
  bool Idle() const { return !worker_.Running() || (loop_.State() == PlayPaused && loop_.Parked()); }

  void Start();
  void Stop();
  // Ends the worker for good and waits for it (a new file, the window's end).
  void EndWorker();
  // A close while a worker runs is put off: the window is disabled, the worker
  // told to end, and the window closes once it has (true: the caller returns).
  bool PutOffClose(QCloseEvent* event);
  // Renders the frame shown again: by the worker when one runs, here otherwise.
  void RenderWhileIdle();
  // Applies the controls' state table; the window's own controls follow `changed`.
  void UpdateControls();

 private:
  class Observer;
  void StartWorker();

  QWidget* window_;
  FrameSequence& sequence_;
  Hooks hooks_;
  PlaybackLoop loop_;
  DialogWorker worker_{this};
  PlayControls* controls_ = nullptr;
};

}  // namespace vx
