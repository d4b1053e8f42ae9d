#pragma once

#include "platform/MessageSink.h"

namespace vx {

// Shows each message in a modal box with an OK button. Called from a worker
// thread, the box is shown by the UI thread and the worker waits for the answer.
class MessageBoxSink final : public MessageSink {
 public:
  void Show(std::string_view caption, std::string_view text) override;
};

}  // namespace vx
