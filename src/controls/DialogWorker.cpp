#include "controls/DialogWorker.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace vx {

void DialogWorker::Start(std::function<Completion()> work) {
  Finish();
  running_ = true;
  const uint64_t generation = ++generation_;
  thread_ = std::thread([this, generation, work = std::move(work)] {
    Completion completion = work();
    running_ = false;
    QMetaObject::invokeMethod(
        owner_,
        [this, generation, completion = std::move(completion)] {
          // A run that Finish has taken over (or a later Start replaced) is joined there.
          if (generation != generation_ || finishing_) return;
          JoinOnce();
          if (completion) completion();
        },
        Qt::QueuedConnection);
  });
}

void DialogWorker::Finish() {
  // From here on the run's own completion is dropped: it must not join the
  // thread from inside the event loop below, nor act on a window being closed.
  ++generation_;
  if (!thread_.joinable()) return;
  if (finishing_) {
    // Called again from the events handled below: the outer call joins.
    WaitUntilStopped();
    return;
  }
  finishing_ = true;
  WaitUntilStopped();
  JoinOnce();
  finishing_ = false;
}

void DialogWorker::WaitUntilStopped() {
  // The worker may be waiting for a message box that this thread shows.
  while (running_) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
}

void DialogWorker::JoinOnce() {
  if (thread_.joinable()) thread_.join();
}

void CloseMainWindowLater(QWidget* mainWindow, int delayMs) {
  QTimer::singleShot(delayMs, qApp, [window = QPointer<QWidget>(mainWindow)] {
    if (window) window->close();
  });
}

}  // namespace vx
