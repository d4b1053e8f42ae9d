#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "platform/MessageSink.h"
#include "platform/TerminalProgress.h"

namespace vx {
namespace {

using namespace std::chrono_literals;

TEST(ProgressLine, SaysTheFramesTheRateAndTheTimeLeft) {
  struct Case {
    int64_t done, total;
    double elapsed;
    const char* line;
  };
  const Case cases[] = {
      {12, 300, 12 / 48.2, "frame 12/300  48.2 fps  0:06 left"},
      // The first frame, before any time has passed: no rate, no time left.
      {1, 300, 0.0, "frame 1/300"},
      {1, 300, 0.5, "frame 1/300  2.0 fps  2:30 left"},
      // A total not known: no time left.
      {75, 0, 3.0, "frame 75  25.0 fps"},
      {1, 0, 0.0, "frame 1"},
      {300, 300, 6.0, "frame 300/300  50.0 fps  0:00 left"},
      // Rounded to whole seconds; minutes, then hours.
      {10, 20, 59.4, "frame 10/20  0.2 fps  0:59 left"},
      {10, 20, 59.5, "frame 10/20  0.2 fps  1:00 left"},
      {1, 2, 3599.0, "frame 1/2  0.0 fps  59:59 left"},
      {1, 2, 3600.0, "frame 1/2  0.0 fps  1:00:00 left"},
      {1, 11, 4523.0, "frame 1/11  0.0 fps  12:33:50 left"},
      // Very long: hours keep counting.
      {1, 1000001, 3600.0, "frame 1/1000001  0.0 fps  1000000:00:00 left"},
      {1, 1000000, 1e30, "frame 1/1000000  0.0 fps  277777777:46:40 left"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgressLine(c.done, c.total, c.elapsed), c.line)
        << c.done << "/" << c.total << " " << c.elapsed;
  }
}

TEST(ProgressLine, DurationsRoundToWholeSecondsAndNeverGoBelowZero) {
  EXPECT_EQ(DurationText(0), "0:00");
  EXPECT_EQ(DurationText(0.49), "0:00");
  EXPECT_EQ(DurationText(-5), "0:00");
  EXPECT_EQ(DurationText(61), "1:01");
  EXPECT_EQ(DurationText(3661), "1:01:01");
  EXPECT_EQ(DurationText(36000), "10:00:00");
}

// A pipe standing in for the terminal, and a clock the test moves.
class ProgressOnPipe : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(::pipe2(fds_, O_NONBLOCK | O_CLOEXEC), 0); }
  void TearDown() override {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  TerminalProgress::Clock Clock() {
    return [this] { return now_; };
  }
  // What was written since the last call.
  std::string Written() {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds_[0], buffer, sizeof buffer)) > 0;)
      text.append(buffer, static_cast<size_t>(n));
    return text;
  }
  static size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
      ++count;
    return count;
  }
  int fds_[2] = {-1, -1};
  TerminalProgress::TimePoint now_{std::chrono::seconds(1000)};
};

TEST_F(ProgressOnPipe, AThousandFramesInOneSecondWriteTenLines) {
  TerminalProgress progress(fds_[1], Clock());
  progress.SetTotal(1000);
  const auto start = now_;
  for (int i = 0; i < 1000; ++i) {
    now_ = start + std::chrono::milliseconds(i);
    progress.FrameDone();
  }
  const std::string text = Written();
  EXPECT_EQ(Count(text, "\rframe "), 10u) << text;
  // The first frame at once, then one line every 100 ms.
  EXPECT_EQ(text.rfind("\rframe 1/1000", 0), 0u) << text;
  EXPECT_NE(text.find("\rframe 101/1000  1010.0 fps  0:01 left"), std::string::npos) << text;
  EXPECT_NE(text.find("\rframe 901/1000  1001.1 fps  0:00 left"), std::string::npos) << text;
  // 99 ms after a line: still nothing; at 100 ms: the next.
  now_ = start + 999ms;
  progress.FrameDone();
  EXPECT_EQ(Written(), "");
  now_ = start + 1000ms;
  progress.FrameDone();
  // Spaces cover the rest of the widest line before (37 characters).
  EXPECT_EQ(Written(), "\rframe 1002/1000  1002.0 fps" + std::string(10, ' '));
}

TEST_F(ProgressOnPipe, ALineIsErasedAtTheEndAndBeforeEachMessage) {
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  {
    TerminalProgress progress(fds_[1], Clock());
    now_ += 2s;
    progress.FrameDone();  // unknown total
    EXPECT_EQ(Written(), "\rframe 1  0.5 fps");
    {
      ProgressMessageSink messages(progress);
      ShowMessage("Error X: something\n");
      // Erased (as many spaces as the line had), then the message through the sink before.
      EXPECT_EQ(Written(), "\r" + std::string(16, ' ') + "\r");
      ASSERT_EQ(recorder.Texts(), std::vector<std::string>{"Error X: something\n"});
      ShowMessage("second\n");
      EXPECT_EQ(Written(), "") << "nothing to erase";
      // A longer line, then a shorter one: spaces cover the rest.
      now_ += 1s;
      progress.SetTotal(1000);
      progress.FrameDone();
      EXPECT_EQ(Written(), "\rframe 2/1000  0.7 fps  24:57 left");
      now_ += 1s;
      progress.SetTotal(0);
      progress.FrameDone();
      EXPECT_EQ(Written(), "\rframe 3  0.8 fps" + std::string(17, ' '));
    }
    ShowMessage("after\n");
    EXPECT_EQ(recorder.Texts().back(), "after\n") << "the sink before is back";
    EXPECT_EQ(Written(), "") << "the line stays while no message goes through the progress";
  }
  // The end erases the line (its widest width).
  EXPECT_EQ(Written(), "\r" + std::string(33, ' ') + "\r");
}

TEST_F(ProgressOnPipe, NothingIsWrittenWithoutFrames) {
  { TerminalProgress progress(fds_[1], Clock()); }
  EXPECT_EQ(Written(), "");
  TerminalProgress progress(fds_[1], Clock());
  progress.Clear();
  EXPECT_EQ(Written(), "");
}

TEST(TerminalProgress, OnlyATerminalGetsALine) {
  // The test's error stream is a file or a pipe under ctest; a terminal otherwise.
  EXPECT_EQ(TerminalProgress::OnStandardError() != nullptr, ::isatty(STDERR_FILENO) == 1);
}

}  // namespace
}  // namespace vx
