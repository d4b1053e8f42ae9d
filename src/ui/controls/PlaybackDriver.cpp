#include "ui/controls/PlaybackDriver.h"

#include <QPointer>
#include <QThread>

namespace vx {

class PlaybackDriver::Observer final : public PlaybackObserver, private WindowReports<PlaybackDriver> {
 public:
  explicit Observer(PlaybackDriver* driver) : WindowReports(driver) {}
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
};

PlaybackDriver::PlaybackDriver(QWidget* window, QWidget* controlsParent, FrameSequence& sequence, Hooks hooks)
    : QObject(window), window_(window), sequence_(sequence), hooks_(std::move(hooks)) {
  PlayControls::Hooks controlHooks;
  controlHooks.start = [this] { Start(); };
  controlHooks.stop = [this] { Stop(); };
  controlHooks.workerRunning = [this] { return worker_.Running(); };
  controlHooks.controlsChanged = [this] { UpdateControls(); };
  controls_ = new PlayControls(controlsParent, loop_, std::move(controlHooks));
  worker_.SetFailureCompletion([this] {
    loop_.Stop();
    UpdateControls();
  });
}

PlaybackDriver::~PlaybackDriver() {
  EndWorker();
}

void PlaybackDriver::Start() {
  if (hooks_.canPlay && !hooks_.canPlay()) return;
  if (hooks_.beforeStart && !hooks_.beforeStart()) return;
  loop_.StartPlaying();
  StartWorker();
  UpdateControls();
}

void PlaybackDriver::Stop() {
  loop_.Stop();
  UpdateControls();
  for (int i = 0; i < 10 && worker_.Running(); ++i) QThread::msleep(5);
}

void PlaybackDriver::StartWorker() {
  if (worker_.Running()) return;
  loop_.ClearQuit();
  const bool started = worker_.Start([this]() -> DialogWorker::Completion {
    Observer observer(this);
    loop_.Play(sequence_, observer);
    return [this] { UpdateControls(); };
  });
  if (!started) loop_.Stop();  // the last run is still being finished
}

void PlaybackDriver::EndWorker() {
  if (!worker_.Running() && !worker_.Joinable()) return;
  loop_.Quit();
  worker_.Finish();
}

bool PlaybackDriver::PutOffClose(QCloseEvent* event) {
  loop_.Quit();
  return PutOffCloseWhileRunning(window_, worker_, event);
}

void PlaybackDriver::RenderWhileIdle() {
  if (worker_.Running()) {
    loop_.RequestRender();
    return;
  }
  sequence_.Render();
  if (hooks_.redraw) hooks_.redraw();
}

void PlaybackDriver::UpdateControls() {
  const PlayerControls c = controls_->Update(!hooks_.canPlay || hooks_.canPlay());
  if (!c.unchanged && hooks_.controlsChanged) hooks_.controlsChanged(c);
}

}  // namespace vx
