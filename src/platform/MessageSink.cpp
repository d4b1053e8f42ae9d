#include "platform/MessageSink.h"

#include <atomic>
#include <cstdio>

namespace vx {
namespace {

StderrMessageSink g_stderrSink;
std::atomic<MessageSink*> g_sink{nullptr};

}  // namespace

void ShowMessage(std::string_view text, std::string_view caption) {
  MessageSink* sink = g_sink.load(std::memory_order_acquire);
  (sink ? *sink : static_cast<MessageSink&>(g_stderrSink)).Show(caption, text);
}

MessageSink* InstallMessageSink(MessageSink* sink) {
  return g_sink.exchange(sink, std::memory_order_acq_rel);
}

void StderrMessageSink::Show(std::string_view /*caption*/, std::string_view text) {
  // One write per message keeps messages from different threads whole.
  std::string line(text);
  if (line.empty() || line.back() != '\n') line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

void RecordingMessageSink::Show(std::string_view caption, std::string_view text) {
  std::lock_guard lock(mutex_);
  entries_.push_back({std::string(caption), std::string(text)});
}

std::vector<RecordingMessageSink::Entry> RecordingMessageSink::Entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

std::vector<std::string> RecordingMessageSink::Texts() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> texts;
  texts.reserve(entries_.size());
  for (const Entry& e : entries_) texts.push_back(e.text);
  return texts;
}

void RecordingMessageSink::Clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
}

}  // namespace vx
