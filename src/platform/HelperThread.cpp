#include "platform/HelperThread.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/SystemInfo.h"

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
  // Takes back an offered task that the helper has not started; false when it
  // has (or has ended it).
  bool Withdraw() {
    std::lock_guard<std::mutex> guard(lock_);
    if (task_ == nullptr || started_) return false;
    task_ = nullptr;
    taken_ = false;
    return true;
  }
  // Waits until the offered task has ended; what it threw, if anything.
  std::exception_ptr WaitDone() {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait(guard, [&] { return task_ == nullptr; });
    taken_ = false;
    return std::exchange(failure_, nullptr);
  }

 private:
  void Work() {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
      changed_.wait(guard, [&] { return quit_ || task_ != nullptr; });
      if (quit_) return;
      const std::function<void()>* task = task_;
      started_ = true;
      guard.unlock();
      // An exception leaving this thread would end the program: it goes to the caller.
      std::exception_ptr failure;
      try {
        (*task)();
      } catch (...) {
        failure = std::current_exception();
      }
      guard.lock();
      failure_ = std::move(failure);
      task_ = nullptr;
      started_ = false;
      changed_.notify_all();
    }
  }

  std::mutex lock_;
  std::condition_variable changed_;
  const std::function<void()>* task_ = nullptr;
  std::exception_ptr failure_;  // thrown by the last task, until its caller collects it
  bool taken_ = false;          // offered and not yet collected by its caller
  bool started_ = false;        // the offered task runs on the helper
  bool quit_ = false;
  std::thread thread_;
};

Helper& TheHelper() {
  static Helper helper;
  return helper;
}

// Both halves on the calling thread, each run whatever the other threw.
void BothHalvesHere(const std::function<void()>& theirs, const std::function<void()>& mine) {
  std::exception_ptr theirsFailed;
  try {
    theirs();
  } catch (...) {
    theirsFailed = std::current_exception();
  }
  mine();  // the caller's own exception wins when both threw
  if (theirsFailed) std::rethrow_exception(theirsFailed);
}

}  // namespace

void RunAlongside(const std::function<void()>& theirs, const std::function<void()>& mine) {
  // On one processor a helper would only take turns with the caller.
  Helper* helper = UsableCores() < 2 ? nullptr : &TheHelper();
  if (!helper || !helper->Offer(&theirs)) {
    BothHalvesHere(theirs, mine);
    return;
  }
  // The helper's half refers to the caller's frame: it must end before this
  // function does, whichever half threw.
  std::exception_ptr mineFailed;
  try {
    mine();
  } catch (...) {
    mineFailed = std::current_exception();
  }
  const std::exception_ptr theirsFailed = helper->WaitDone();
  if (mineFailed) std::rethrow_exception(mineFailed);
  if (theirsFailed) std::rethrow_exception(theirsFailed);
}

void RunShared(const std::function<void()>& work) {
  if (UsableCores() < 2) {
    work();
    return;
  }
  Helper& helper = TheHelper();
  if (!helper.Offer(&work)) {
    work();
    return;
  }
  std::exception_ptr mineFailed;
  try {
    work();
  } catch (...) {
    mineFailed = std::current_exception();
  }
  // A started run refers to the caller's frame: it must end before this function does.
  std::exception_ptr theirsFailed;
  if (!helper.Withdraw()) theirsFailed = helper.WaitDone();
  if (mineFailed) std::rethrow_exception(mineFailed);
  if (theirsFailed) std::rethrow_exception(theirsFailed);
}

}  // namespace vx
