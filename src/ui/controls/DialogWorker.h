#pragma once

#include <QCloseEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace vx {

// One worker thread of a window, as a small state machine: idle, running, and
// finishing (the window has asked the run to end and waits for its report). The
// work runs on its own thread and returns what the window does afterwards; that
// runs on the window's thread, and only for the latest start that nobody is
// finishing. The thread is joined exactly once, by its report or by Finish, and
// no event is handled while waiting for it, so nothing can start a second thread
// meanwhile. An exception that escapes the work ends the run with its message.
class DialogWorker {
 public:
  using Completion = std::function<void()>;
  explicit DialogWorker(QObject* owner) : owner_(owner) {}
  ~DialogWorker() { Finish(); }
  DialogWorker(const DialogWorker&) = delete;
  DialogWorker& operator=(const DialogWorker&) = delete;

  bool Running() const { return running_.load(); }
  // A thread that has not been joined yet (running, or ended with its report pending).
  bool Joinable() const { return thread_.joinable(); }
  // A run is being finished (FinishLater): Start is refused until its report.
  bool Finishing() const { return finishing_; }
  // Starts `work`; false (nothing started) while a run runs or is being finished.
  bool Start(std::function<Completion()> work);
  // What the window does after a run that ended by an exception (after its message).
  void SetFailureCompletion(Completion failed) { failed_ = std::move(failed); }
  // Waits for the worker, which the caller has asked to stop, without handling
  // events; a worker waiting for a message box is let go on (the box shows
  // later). The run's completion is dropped.
  void Finish();
  // The same without waiting: while a run runs, its completion is dropped, `then`
  // runs on the window's thread once the thread is joined, and true is returned.
  // Otherwise (an ended run is joined, its report dropped) false, and `then` is
  // not called: the caller goes on at once.
  bool FinishLater(Completion then);

 private:
  void Ended(uint64_t generation, const Completion& completion);
  void JoinOnce();

  QObject* owner_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  uint64_t generation_ = 0;
  bool finishing_ = false;
  Completion then_, failed_;
};

// A close of `window` while `worker` runs (the caller has told the work to end)
// is put off: the window is disabled and closes once the worker has ended. True
// when put off (the event is ignored); false when the window may close now.
bool PutOffCloseWhileRunning(QWidget* window, DialogWorker& worker, QCloseEvent* event);

// Runs `f` on `window`'s thread (a worker's report; dropped once the window is gone).
template <typename F>
void PostToWindow(QObject* window, F f) {
  QMetaObject::invokeMethod(window, std::move(f), Qt::QueuedConnection);
}

// Base of the observers that hand a worker's reports to their window.
template <typename Window>
class WindowReports {
 protected:
  explicit WindowReports(Window* window) : window_(window) {}
  template <typename F>
  void Post(F f) {
    PostToWindow(window_, std::move(f));
  }
  Window* window_;
};

// After a command-line job: the main window closes `delayMs` later, which ends the
// program through its ordinary shutdown (the tool window has closed itself).
void CloseMainWindowLater(QWidget* mainWindow, int delayMs);

}  // namespace vx
