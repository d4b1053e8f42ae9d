#include "ui/controls/DialogWorker.h"

#include <QCoreApplication>
#include <QTimer>
#include <new>
#include <string>
#include <system_error>

#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "ui/controls/MessageBoxSink.h"

namespace vx {
namespace {

std::string WorkerStoppedMessage(const char* why) {
  return StrFormat("Error VLTX1028: The work stopped: %s\n", why);
}

}  // namespace

bool DialogWorker::Start(std::function<Completion()> work) {
  if (finishing_ || running_) return false;
  JoinOnce();  // a run that ended with its report pending: that report is dropped
  const uint64_t generation = ++generation_;
  running_ = true;
  try {
    thread_ = std::thread([this, generation, work = std::move(work)] {
      Completion completion;
      try {
        completion = work();
      } catch (const std::bad_alloc&) {
        completion = [this, text = WorkerStoppedMessage("out of memory")] {
          ShowMessage(text);
          if (failed_) failed_();
        };
      } catch (const std::exception& e) {
        completion = [this, text = WorkerStoppedMessage(e.what())] {
          ShowMessage(text);
          if (failed_) failed_();
        };
      }
      running_ = false;
      QMetaObject::invokeMethod(
          owner_, [this, generation, completion = std::move(completion)] { Ended(generation, completion); },
          Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    running_ = false;
    ShowMessage("CreateThread failed!", "Error");
    return false;
  }
  return true;
}

void DialogWorker::Ended(uint64_t generation, const Completion& completion) {
  // A run that Finish took over (or a later Start replaced) is joined there.
  if (generation != generation_) return;
  JoinOnce();
  if (finishing_) {
    finishing_ = false;
    const Completion then = std::move(then_);
    then_ = nullptr;
    if (then) then();
    return;
  }
  if (completion) completion();
}

void DialogWorker::Finish() {
  ++generation_;  // the run's own report is dropped from here on
  finishing_ = false;
  then_ = nullptr;
  if (!thread_.joinable()) return;
  // The worker may be waiting for a message box that this (blocked) thread would show.
  const WorkerReleasedFromMessages released(thread_.get_id());
  JoinOnce();
}

bool DialogWorker::FinishLater(Completion then) {
  if (running_ && thread_.joinable()) {
    finishing_ = true;
    then_ = std::move(then);
    return true;
  }
  // Ended already (its report, if pending, is dropped) or never started.
  ++generation_;
  JoinOnce();
  return false;
}

void DialogWorker::JoinOnce() {
  if (thread_.joinable()) thread_.join();
}

bool PutOffCloseWhileRunning(QWidget* window, DialogWorker& worker, QCloseEvent* event) {
  const bool later = worker.FinishLater([guarded = QPointer<QWidget>(window)] {
    if (!guarded) return;
    guarded->setEnabled(true);
    guarded->close();
  });
  if (!later) return false;
  event->ignore();
  window->setEnabled(false);
  return true;
}

void CloseMainWindowLater(QWidget* mainWindow, int delayMs) {
  QTimer::singleShot(delayMs, qApp, [window = QPointer<QWidget>(mainWindow)] {
    if (window) window->close();
  });
}

}  // namespace vx
