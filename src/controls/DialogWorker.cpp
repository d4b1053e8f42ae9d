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
          if (generation != generation_) return;
          if (thread_.joinable()) thread_.join();
          if (completion) completion();
        },
        Qt::QueuedConnection);
  });
}

void DialogWorker::Finish() {
  if (!thread_.joinable()) return;
  while (running_) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(2);
  }
  thread_.join();
}

void CloseMainWindowLater(QWidget* mainWindow, int delayMs) {
  QTimer::singleShot(delayMs, qApp, [window = QPointer<QWidget>(mainWindow)] {
    if (window) window->close();
  });
}

}  // namespace vx
