#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>

#include "tools/JobRun.h"
#include "ui/controls/CommandLineTool.h"
#include "ui/controls/DialogWorker.h"

namespace vx {

// The base of every window that runs a job on a worker thread: the worker, Pause
// and Stop on the job's run state, closing (which stops the job and waits for
// it), and the command line's "-e exit", after which the window closes and the
// main window follows a moment later.
class JobWindow : public QDialog, public CommandLineTool {
  Q_OBJECT

 public:
  JobWindow(JobRun& run, int closeMainDelayMs, QWidget* parent);
  ~JobWindow() override;

  // Whether a worker is still running (tests wait on it).
  bool WorkerRunning() const { return worker_.Running(); }
  // The job was started from the command line; with "-e exit" the program closes
  // when it has run to its end.
  void SetCommandLineJob(bool exitWhenDone, QWidget* mainWindow);

 protected:
  // Runs `work` (the run is frozen already) on the worker; its outcome comes back
  // to this window's thread.
  void StartRun(std::function<JobOutcome()> work);
  // Stops the job and waits for the worker. Windows that own their job call it in
  // their destructor, before the job goes away.
  void EndWorker();
  // Toggles pause; true when the job is paused now.
  bool TogglePause();
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void RunEnded(JobOutcome outcome);

  JobRun& run_;
  DialogWorker worker_{this};
  int closeMainDelayMs_;
  bool exitWhenDone_ = false;
  QPointer<QWidget> mainWindow_;
};

}  // namespace vx
