#include "ui/controls/JobWindow.h"

#include <QCloseEvent>

#include "ui/controls/DefaultButtons.h"

namespace vx {

JobWindow::JobWindow(JobRun& run, int closeMainDelayMs, QWidget* parent)
    : QDialog(parent), run_(run), closeMainDelayMs_(closeMainDelayMs) {
  setAttribute(Qt::WA_DeleteOnClose);
}

JobWindow::~JobWindow() {
  EndWorker();
}

void JobWindow::SetCommandLineJob(bool exitWhenDone, QWidget* mainWindow) {
  exitWhenDone_ = exitWhenDone;
  mainWindow_ = mainWindow;
  run_.SetExitWhenDone(exitWhenDone);
}

void JobWindow::StartRun(std::function<JobOutcome()> work) {
  const bool started = worker_.Start([this, work = std::move(work)]() -> DialogWorker::Completion {
    const JobOutcome outcome = work();
    return [this, outcome] { RunEnded(outcome); };
  });
  if (!started) run_.Stop();  // the window is closing: its last run is still being finished
}

void JobWindow::RunEnded(JobOutcome outcome) {
  if (outcome != JobOutcome::Completed || !exitWhenDone_) return;
  QPointer<QWidget> mainWindow = mainWindow_;
  close();
  CloseMainWindowLater(mainWindow, closeMainDelayMs_);
}

void JobWindow::EndWorker() {
  if (worker_.Running()) run_.Stop();
  worker_.Finish();
}

bool JobWindow::TogglePause() {
  run_.Pause();
  return run_.RunState.load() == JobState::Paused;
}

void JobWindow::closeEvent(QCloseEvent* event) {
  // Put off while a job runs: it is stopped, and the window closes once it has ended.
  if (worker_.Running()) run_.Stop();
  if (PutOffCloseWhileRunning(this, worker_, event)) return;
  QDialog::closeEvent(event);
}

void JobWindow::showEvent(QShowEvent* event) {
  KeepOnlyChosenDefaultButtons(*this);
  QDialog::showEvent(event);
}

}  // namespace vx
