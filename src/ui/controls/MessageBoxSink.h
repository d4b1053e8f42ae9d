#pragma once

#include "platform/MessageSink.h"

namespace vx {

// Shows each message in a modal box with an OK button. Called from a worker
// thread, the box is shown by the UI thread and the worker waits for the answer,
// unless the UI thread releases it (ReleaseWorkersWaitingForMessages).
class MessageBoxSink final : public MessageSink {
 public:
  void Show(std::string_view caption, std::string_view text) override;
};

// Lets every worker that waits for a message box go on without the answer (the
// box still shows): the UI thread calls it before it waits for a worker, which
// could otherwise wait for a box that the blocked UI thread cannot show.
void ReleaseWorkersWaitingForMessages();

}  // namespace vx
