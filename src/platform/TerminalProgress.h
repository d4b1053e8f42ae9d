#pragma once

// The progress line of a job run from a terminal: one line on the error stream,
// rewritten in place ("\r") at most every 100 ms, erased before any message and
// at the end, so that a message never shares a line with it.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/MessageSink.h"

namespace vx {

// "frame 12/300  48.2 fps  0:06 left": the frames done, of `total` when known
// (0: not known), the rate and the time left when some time has passed.
std::string ProgressLine(int64_t done, int64_t total, double elapsedSeconds);

// "0:06", "12:34", "1:02:03": whole seconds, rounded.
std::string DurationText(double seconds);

class TerminalProgress {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using Clock = std::function<TimePoint()>;
  // No line is written sooner than this after the one before.
  static constexpr std::chrono::milliseconds kInterval{100};

  // Writes to `fd`; the elapsed time counts from now (by `clock`).
  explicit TerminalProgress(int fd, Clock clock = &std::chrono::steady_clock::now);
  // Erases the line.
  ~TerminalProgress();
  TerminalProgress(const TerminalProgress&) = delete;
  TerminalProgress& operator=(const TerminalProgress&) = delete;

  // The line on the error stream when that is a terminal; nullptr otherwise.
  static std::unique_ptr<TerminalProgress> OnStandardError();

  // The number of frames the job will make; 0: not known.
  void SetTotal(int64_t frames);
  // One more frame done: the line is rewritten unless one was written less than
  // kInterval ago.
  void FrameDone();
  // Erases the line (nothing when none is shown).
  void Clear();
  // Erases the line, then runs `print` (which writes a message to the same
  // terminal); no line is written in between.
  void PrintAbove(const std::function<void()>& print);

 private:
  void WriteAll(std::string_view bytes) const;
  void ClearLocked();

  std::mutex mutex_;
  const int fd_;
  const Clock clock_;
  const TimePoint start_;
  std::optional<TimePoint> lastLine_;
  int64_t total_ = 0;
  int64_t done_ = 0;
  size_t shownWidth_ = 0;  // characters of the line on the terminal; 0: none
};

// While it lives, every message is printed through the sink installed before it,
// with the progress line erased first.
class ProgressMessageSink final : public MessageSink {
 public:
  explicit ProgressMessageSink(TerminalProgress& progress);
  ~ProgressMessageSink() override;
  ProgressMessageSink(const ProgressMessageSink&) = delete;
  ProgressMessageSink& operator=(const ProgressMessageSink&) = delete;
  void Show(std::string_view caption, std::string_view text) override;

 private:
  TerminalProgress& progress_;
  StderrMessageSink stderr_;  // when no sink was installed before
  MessageSink* previous_;
};

}  // namespace vx
