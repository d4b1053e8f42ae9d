#pragma once

#include <thread>

#include "platform/MessageSink.h"

namespace vx {

// Shows each message in a modal box with an OK button. Called from a worker
// thread, the box is shown by the UI thread and the worker waits for the answer,
// unless the UI thread has released it (WorkerReleasedFromMessages).
class MessageBoxSink final : public MessageSink {
 public:
  void Show(std::string_view caption, std::string_view text) override;
};

// While it lives, the worker thread `worker` goes on without the answer to its
// message boxes (they still show), now and later: the UI thread holds one while
// it joins that worker, which could otherwise wait for a box that the blocked UI
// thread cannot show.
class WorkerReleasedFromMessages {
 public:
  explicit WorkerReleasedFromMessages(std::thread::id worker);
  ~WorkerReleasedFromMessages();
  WorkerReleasedFromMessages(const WorkerReleasedFromMessages&) = delete;
  WorkerReleasedFromMessages& operator=(const WorkerReleasedFromMessages&) = delete;

 private:
  std::thread::id worker_;
};

}  // namespace vx
