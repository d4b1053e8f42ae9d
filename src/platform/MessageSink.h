#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

// Every user-facing message goes through one sink: a modal box in the desktop
// program, the error stream when headless, a recorder in tests. Messages may be
// shown from worker threads; a sink that shows a modal box blocks the caller
// until the user has answered.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void Show(std::string_view caption, std::string_view text) = 0;
};

// Caption of the program's own messages; prompts without an error code use
// kPromptCaption.
inline constexpr std::string_view kProgramCaption = "Velutrix";
inline constexpr std::string_view kPromptCaption = "Error";

// Shows a message through the installed sink (the error stream when none is).
void ShowMessage(std::string_view text, std::string_view caption = kProgramCaption);

// Installs a sink for the whole process; returns the previous one. The sink must
// outlive its installation. nullptr restores the error-stream sink.
MessageSink* InstallMessageSink(MessageSink* sink);

// Writes the text to stderr, adding a line break when the text has none.
class StderrMessageSink final : public MessageSink {
 public:
  void Show(std::string_view caption, std::string_view text) override;
};

// Keeps every message, for tests and for callers that want to inspect them.
class RecordingMessageSink final : public MessageSink {
 public:
  struct Entry {
    std::string caption;
    std::string text;
  };
  void Show(std::string_view caption, std::string_view text) override;
  std::vector<Entry> Entries() const;
  std::vector<std::string> Texts() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

// Installs a sink for the lifetime of the object and restores the previous one.
class ScopedMessageSink {
 public:
  explicit ScopedMessageSink(MessageSink& sink) : previous_(InstallMessageSink(&sink)) {}
  ~ScopedMessageSink() { InstallMessageSink(previous_); }
  ScopedMessageSink(const ScopedMessageSink&) = delete;
  ScopedMessageSink& operator=(const ScopedMessageSink&) = delete;

 private:
  MessageSink* previous_;
};

}  // namespace vx
