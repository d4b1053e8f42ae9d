#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace vx {

// One worker thread of a window. The work runs on its own thread and returns what
// the window does afterwards; that runs on the window's thread, and only for the
// latest start that nobody is finishing (an older run's report never joins a newer
// worker). The thread is joined exactly once: by its own completion, or by Finish.
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
  void Start(std::function<Completion()> work);
  // Waits for the worker to end. The caller has asked it to stop; events are
  // handled meanwhile, so a message box the worker waits for can be answered.
  // The run's completion is dropped.
  void Finish();

 private:
  void WaitUntilStopped();
  void JoinOnce();

  QObject* owner_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  uint64_t generation_ = 0;
  bool finishing_ = false;
};

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
