#pragma once

#include <QCloseEvent>
#include <QObject>
#include <QWidget>
#include <functional>
#include <memory>

#include "player/PlaybackLoop.h"
#include "ui/controls/DialogWorker.h"
#include "ui/controls/PlayControls.h"

namespace vx {

// What a window that plays frames does with its playback: the loop and the frame
// sequence (owned here, so both outlive the worker that plays them), the play
// controls, the worker, and the worker's reports brought to the window's thread.
// The window keeps only what it shows.
class PlaybackDriver : public QObject {
  Q_OBJECT

 public:
  struct Hooks {
    std::function<bool()> canPlay{};            // something to play is chosen
    const char* nothingToPlay = nullptr;        // Start's message when there is not
    std::function<bool()> beforeStart{};        // Start pressed: false keeps it from playing
    std::function<void(int64_t)> frameShown{};  // the controls have moved to it
    std::function<void()> redraw{};             // draw the current picture
    std::function<void(const PlayerControls&)> controlsChanged{};  // the window's own controls
    std::function<void(const QString&)> itemStarted{};             // a file of the list starts (its name)
    std::function<void()> itemEnded{};                             // ... and has ended
  };
  explicit PlaybackDriver(std::unique_ptr<Playback> playback);
  // Ends the worker before the loop and the sequence go.
  ~PlaybackDriver() override;

  // Makes the controls as children of `controlsParent`; `window` is the one they
  // play for (disabled while a close is put off).
  void Attach(QWidget* window, QWidget* controlsParent, Hooks hooks);

  PlayControls& controls() { return *controls_; }
  const PlayControls& controls() const { return *controls_; }
  PlaybackLoop& loop() { return playback_->Loop(); }
  const PlaybackLoop& loop() const { return playback_->Loop(); }
  Playback& playback() { return *playback_; }
  bool WorkerRunning() const { return worker_.Running(); }
  // Whether the frames stand still (no worker, or one parked in the paused state,
  // not merely told to pause) and the window's controls have been brought up to
  // date since they did: edits may be made, and the edit buttons say so.
  bool Idle() const { return idleShown_ && StandingStill(); }

  void Start();
  // Ends the current item; the worker's own report brings the controls up to date
  // once it has ended (nothing here waits for it).
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
  void RunEnded();
  bool StandingStill() const {
    return !worker_.Running() || (loop().State() == PlayState::Paused && loop().Parked());
  }

  std::unique_ptr<Playback> playback_;  // declared first: it goes last
  QWidget* window_ = nullptr;
  Hooks hooks_;
  DialogWorker worker_{this};
  // A Start came while the run was past its last look at the state: its end starts the next.
  bool startWhenEnded_ = false;
  PlayControls* controls_ = nullptr;
  // Whether the frames stood still when the controls were last brought up to date:
  // the worker parks a moment before its report of it reaches the window.
  bool idleShown_ = true;
};

}  // namespace vx
