#include "platform/HelperThread.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace vx {
namespace {

class Helper {
 public:
  Helper() : thread_([this] { Work(); }) {}
  ~Helper() {
    {
      std::lock_guard<std::mutex> guard(lock_);
      quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  // Hands `task` over; false when the helper has one already.
  bool Offer(const std::function<void()>* task) {
    std::lock_guard<std::mutex> guard(lock_);
    if (task_ || taken_) return false;
    task_ = task;
    taken_ = true;
    changed_.notify_all();
    return true;
  }
  void WaitDone() {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait(guard, [&] { return task_ == nullptr; });
    taken_ = false;
  }

 private:
  void Work() {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
      changed_.wait(guard, [&] { return quit_ || task_ != nullptr; });
      if (quit_) return;
      const std::function<void()>* task = task_;
      guard.unlock();
      (*task)();
      guard.lock();
      task_ = nullptr;
      changed_.notify_all();
    }
  }

  std::mutex lock_;
  std::condition_variable changed_;
  const std::function<void()>* task_ = nullptr;
  bool taken_ = false;  // offered and not yet collected by its caller
  bool quit_ = false;
  std::thread thread_;
};

Helper& TheHelper() {
  static Helper helper;
  return helper;
}

}  // namespace

void RunAlongside(const std::function<void()>& theirs, const std::function<void()>& mine) {
  Helper& helper = TheHelper();
  if (!helper.Offer(&theirs)) {
    theirs();
    mine();
    return;
  }
  mine();
  helper.WaitDone();
}

}  // namespace vx
