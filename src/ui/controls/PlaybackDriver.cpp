#include "ui/controls/PlaybackDriver.h"

#include <utility>

#include "platform/MessageSink.h"

namespace vx {

class PlaybackDriver::Observer final : public PlaybackObserver, private WindowReports<PlaybackDriver> {
 public:
  Observer(PlaybackDriver* driver, const FrameSequence& sequence)
      : WindowReports(driver), sequence_(sequence) {}
  void ItemStarted(size_t index) override {
    // The list does not change while a worker plays it.
    Post([d = window_, name = QString::fromStdString(sequence_.ItemName(index))] {
      if (d->hooks_.itemStarted) d->hooks_.itemStarted(name);
    });
  }
  void FrameCountKnown(int64_t frames) override {
    Post([d = window_, frames] { d->controls_->SetFrameCount(frames); });
  }
  void FrameShown(int64_t frame) override {
    Post([d = window_, frame] {
      d->controls_->FrameShown(frame);
      if (d->hooks_.frameShown) d->hooks_.frameShown(frame);
      if (d->hooks_.redraw) d->hooks_.redraw();
    });
  }
  void FrameRendered() override {
    Post([d = window_] {
      if (d->hooks_.redraw) d->hooks_.redraw();
    });
  }
  void ControlsChanged() override {
    Post([d = window_] { d->UpdateControls(); });
  }
  void ItemEnded(size_t) override {
    Post([d = window_] {
      if (d->hooks_.itemEnded) d->hooks_.itemEnded();
    });
  }

 private:
  const FrameSequence& sequence_;
};

PlaybackDriver::PlaybackDriver(std::unique_ptr<Playback> playback) : playback_(std::move(playback)) {
  worker_.SetFailureCompletion([this] {
    startWhenEnded_ = false;
    loop().Stop();
    UpdateControls();
  });
}

PlaybackDriver::~PlaybackDriver() {
  EndWorker();
}

void PlaybackDriver::Attach(QWidget* window, QWidget* controlsParent, Hooks hooks) {
  window_ = window;
  hooks_ = std::move(hooks);
  controls_ = new PlayControls(controlsParent, loop(),
                               {.start = [this] { Start(); },
                                .stop = [this] { Stop(); },
                                .workerRunning = [this] { return worker_.Running(); },
                                .controlsChanged = [this] { UpdateControls(); }});
}

void PlaybackDriver::Start() {
  if (hooks_.canPlay && !hooks_.canPlay()) {
    if (hooks_.nothingToPlay) ShowMessage(hooks_.nothingToPlay);
    return;
  }
  if (hooks_.beforeStart && !hooks_.beforeStart()) return;
  loop().StartPlaying();
  StartWorker();
  UpdateControls();
}

void PlaybackDriver::Stop() {
  loop().Stop();
  UpdateControls();
}

void PlaybackDriver::StartWorker() {
  if (worker_.Running()) {
    startWhenEnded_ = true;
    return;
  }
  startWhenEnded_ = false;
  loop().ClearQuit();
  const bool started = worker_.Start([this]() -> DialogWorker::Completion {
    Observer observer(this, playback_->Sequence());
    loop().Play(playback_->Sequence(), observer);
    return [this] { RunEnded(); };
  });
  if (!started) loop().Stop();  // the last run is still being finished
}

void PlaybackDriver::RunEnded() {
  // A Start that came after the run's last look at the state was too late for it:
  // it starts the next run. Otherwise nothing plays any more, whatever the loop was
  // last asked (a file that would not open leaves it "playing").
  if (std::exchange(startWhenEnded_, false) && loop().State() != PlayState::Stopped) {
    StartWorker();
  } else if (loop().State() != PlayState::Stopped) {
    loop().Stop();
  }
  UpdateControls();
}

void PlaybackDriver::EndWorker() {
  startWhenEnded_ = false;
  if (!worker_.Running() && !worker_.Joinable()) return;
  loop().Quit();
  worker_.Finish();
  // A worker told to quit just as it began an item may have set the loop playing
  // again after the quit; with nobody playing, that would keep Start disabled.
  loop().Stop();
  idleShown_ = true;  // nothing plays any more; the handlers check again on use
}

bool PlaybackDriver::PutOffClose(QCloseEvent* event) {
  loop().Quit();
  return PutOffCloseWhileRunning(window_, worker_, event);
}

void PlaybackDriver::RenderWhileIdle() {
  // A running worker owns the frame: it renders the next frame with the new
  // choice, or this one again when paused.
  if (worker_.Running()) {
    loop().RequestRender();
    return;
  }
  playback_->Sequence().Render();
  if (hooks_.redraw) hooks_.redraw();
}

void PlaybackDriver::UpdateControls() {
  idleShown_ = StandingStill();
  const PlayerControls c = controls_->Update(!hooks_.canPlay || hooks_.canPlay());
  if (!c.unchanged && hooks_.controlsChanged) hooks_.controlsChanged(c);
}

}  // namespace vx
