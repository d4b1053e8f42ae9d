#include "platform/TerminalProgress.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "platform/StringFormat.h"

namespace vx {
namespace {

// Longer than anybody waits: the text stays short whatever the rate.
constexpr double kLongestDuration = 1e12;

}  // namespace

std::string DurationText(double seconds) {
  const auto whole = static_cast<long long>(std::llround(std::clamp(seconds, 0.0, kLongestDuration)));
  const long long hours = whole / 3600, minutes = whole / 60 % 60, rest = whole % 60;
  if (hours > 0) return StrFormat("%lld:%02lld:%02lld", hours, minutes, rest);
  return StrFormat("%lld:%02lld", minutes, rest);
}

std::string ProgressLine(int64_t done, int64_t total, double elapsedSeconds) {
  std::string line =
      total > 0 ? StrFormat("frame %lld/%lld", static_cast<long long>(done), static_cast<long long>(total))
                : StrFormat("frame %lld", static_cast<long long>(done));
  if (!(elapsedSeconds > 0) || done <= 0) return line;
  line += StrFormat("  %.1f fps", static_cast<double>(done) / elapsedSeconds);
  if (total > 0 && done <= total) {
    const double left = static_cast<double>(total - done) * elapsedSeconds / static_cast<double>(done);
    line += "  " + DurationText(left) + " left";
  }
  return line;
}

TerminalProgress::TerminalProgress(int fd, Clock clock)
    : fd_(fd), clock_(std::move(clock)), start_(clock_()) {}

TerminalProgress::~TerminalProgress() {
  Clear();
}

std::unique_ptr<TerminalProgress> TerminalProgress::OnStandardError() {
  if (::isatty(STDERR_FILENO) != 1) return nullptr;
  return std::make_unique<TerminalProgress>(STDERR_FILENO);
}

void TerminalProgress::SetTotal(int64_t frames) {
  std::lock_guard lock(mutex_);
  total_ = std::max<int64_t>(frames, 0);
}

void TerminalProgress::FrameDone() {
  std::lock_guard lock(mutex_);
  ++done_;
  const TimePoint now = clock_();
  if (lastLine_ && now - *lastLine_ < kInterval) return;
  lastLine_ = now;
  const std::string line = ProgressLine(done_, total_, std::chrono::duration<double>(now - start_).count());
  // Spaces cover what is left of a longer line before it.
  std::string bytes = "\r" + line;
  if (shownWidth_ > line.size()) bytes.append(shownWidth_ - line.size(), ' ');
  shownWidth_ = std::max(shownWidth_, line.size());
  WriteAll(bytes);
}

void TerminalProgress::Clear() {
  std::lock_guard lock(mutex_);
  ClearLocked();
}

void TerminalProgress::PrintAbove(const std::function<void()>& print) {
  std::lock_guard lock(mutex_);
  ClearLocked();
  print();
}

void TerminalProgress::ClearLocked() {
  if (shownWidth_ == 0) return;
  std::string blank(shownWidth_ + 2, ' ');
  blank.front() = blank.back() = '\r';
  WriteAll(blank);
  shownWidth_ = 0;
}

void TerminalProgress::WriteAll(std::string_view bytes) const {
  // A terminal that fails a write loses the line, never the job.
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

ProgressMessageSink::ProgressMessageSink(TerminalProgress& progress)
    : progress_(progress), previous_(InstallMessageSink(this)) {}

ProgressMessageSink::~ProgressMessageSink() {
  InstallMessageSink(previous_);
}

void ProgressMessageSink::Show(std::string_view caption, std::string_view text) {
  progress_.PrintAbove(
      [&] { (previous_ ? *previous_ : static_cast<MessageSink&>(stderr_)).Show(caption, text); });
}

}  // namespace vx
