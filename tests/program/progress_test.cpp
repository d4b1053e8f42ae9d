// The progress line of a job run from a terminal, and runs of many jobs at once.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ProgramTestSupport.h"

namespace vx::test {
namespace {

constexpr int kWidth = 176, kHeight = 144, kFrames = 12;
constexpr size_t kLumaBytes = size_t{kWidth} * kHeight, kChromaBytes = kLumaBytes / 4;
constexpr size_t kFrameBytes = kLumaBytes + 2 * kChromaBytes;

std::vector<std::string> I420Layout() {
  return {"-s", "yuv420", "-o", "yuv", "-f", "progressive", "-p", "planar", "-w", "176", "-h", "144"};
}

// What the converter makes of I420 frames in the order YVU: each frame's chroma planes swapped.
std::vector<uint8_t> ChromaSwapped(const std::vector<uint8_t>& i420) {
  std::vector<uint8_t> yvu(i420.size());
  for (size_t frame = 0; frame + kFrameBytes <= i420.size(); frame += kFrameBytes) {
    const auto in = i420.begin() + static_cast<ptrdiff_t>(frame);
    const auto out = yvu.begin() + static_cast<ptrdiff_t>(frame);
    std::copy_n(in, kLumaBytes, out);
    std::copy_n(in + kLumaBytes, kChromaBytes, out + kLumaBytes + kChromaBytes);
    std::copy_n(in + kLumaBytes + kChromaBytes, kChromaBytes, out + kLumaBytes);
  }
  return yvu;
}

// The file holds exactly `expected` (sizes compared first).
testing::AssertionResult SameBytesAs(const std::string& path, const std::vector<uint8_t>& expected) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (error) return testing::AssertionFailure() << path << " was not written";
  if (size != expected.size())
    return testing::AssertionFailure() << path << " has " << size << " bytes, not " << expected.size();
  if (ReadFileBytes(path) != expected) return testing::AssertionFailure() << path << " differs";
  return testing::AssertionSuccess();
}

class HeadlessProgress : public HeadlessProgram {
 protected:
  void SetUp() override {
    source_ = (dir_ / "clip.yuv").string();
    WriteFileBytes(source_, RandomBytes(kFrameBytes * kFrames, 7));
  }
  static bool HaveScript() { return std::system("command -v script >/dev/null 2>&1") == 0; }
  // The program on a pseudo-terminal (util-linux script): what the terminal got.
  Outcome OnTerminal(const std::vector<std::string>& args) {
    const std::string command = "script -qec " + Quote(Invocation(args)) + " /dev/null >" +
                                Quote((dir_ / "out.txt").string()) + " 2>" +
                                Quote((dir_ / "err.txt").string()) + " </dev/null";
    return Finished(std::system(command.c_str()));
  }
  std::vector<std::string> Convert(const std::string& target, std::vector<std::string> more = {}) const {
    std::vector<std::string> args = {"-a", "convert", "-n", source_, "-N", target, "-O", "yvu"};
    const auto layout = I420Layout();
    args.insert(args.end(), layout.begin(), layout.end());
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }
  std::string source_;
};

// The bytes before `at` end with an erased line: "\r", spaces, "\r".
testing::AssertionResult ErasedBefore(const std::string& text, size_t at) {
  if (at == std::string::npos || at < 3 || text[at - 1] != '\r')
    return testing::AssertionFailure() << "no \\r before the message";
  const size_t start = text.rfind('\r', at - 2);
  if (start == std::string::npos || start + 1 == at - 1)
    return testing::AssertionFailure() << "no erasing spaces";
  const std::string spaces = text.substr(start + 1, at - 2 - start);
  if (spaces.find_first_not_of(' ') != std::string::npos)
    return testing::AssertionFailure() << "the message follows '" << spaces << "'";
  return testing::AssertionSuccess();
}

TEST_F(HeadlessProgress, ATerminalSeesTheLineErasedBeforeTheMessage) {
  if (!HaveScript()) GTEST_SKIP() << "script (util-linux) is not installed";
  const std::string target = (dir_ / "out.yuv").string();
  const Outcome o = OnTerminal(Convert(target));
  EXPECT_EQ(o.exitCode, 0) << o.output;
  // The first frame's line comes at once; the job's rate and time left follow.
  EXPECT_NE(o.output.find("\rframe 1/12  "), std::string::npos) << o.output;
  EXPECT_NE(o.output.find(" fps  "), std::string::npos) << o.output;
  EXPECT_NE(o.output.find(" left"), std::string::npos) << o.output;
  // The finish message on a line of its own (the terminal turns "\n" into "\r\n").
  const size_t message = o.output.find("Converting finished!");
  EXPECT_TRUE(ErasedBefore(o.output, message)) << o.output;
  EXPECT_EQ(o.output.substr(message), "Converting finished!\r\n");
  EXPECT_TRUE(SameBytesAs(target, ChromaSwapped(ReadFileBytes(source_))));
}

TEST_F(HeadlessProgress, APsnrRunCountsToTheEndOfTheShorterFile) {
  if (!HaveScript()) GTEST_SKIP() << "script (util-linux) is not installed";
  const std::string shorter = (dir_ / "shorter.yuv").string();
  auto frames = ReadFileBytes(source_);
  frames.resize(5 * kFrameBytes);
  WriteFileBytes(shorter, frames);
  std::vector<std::string> args = {
      "-a", "psnr", "-n", source_, "-m", shorter, "-N", (dir_ / "report").string(), "-e", "exit"};
  const auto layout = I420Layout();
  args.insert(args.end(), layout.begin(), layout.end());
  const Outcome o = OnTerminal(args);
  EXPECT_EQ(o.exitCode, 0) << o.output;
  EXPECT_NE(o.output.find("\rframe 1/5  "), std::string::npos) << o.output;
  EXPECT_NE(o.output.find(" fps  "), std::string::npos) << o.output;
  // Erased at the end: the last thing on the terminal is "\r".
  ASSERT_FALSE(o.output.empty());
  EXPECT_EQ(o.output.back(), '\r');
  EXPECT_TRUE(ErasedBefore(o.output + "x", o.output.size())) << o.output;
}

TEST_F(HeadlessProgress, QuietOrNotATerminalShowsNoLine) {
  const std::string target = (dir_ / "out.yuv").string();
  // The error stream to a file: the message alone.
  Outcome o = Run(Convert(target));
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_EQ(o.errors, "Converting finished!\n");
  EXPECT_TRUE(SameBytesAs(target, ChromaSwapped(ReadFileBytes(source_))));
  o = Run(Convert(target, {"-q"}));
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_EQ(o.errors, "Converting finished!\n");
  if (!HaveScript()) GTEST_SKIP() << "script (util-linux) is not installed";
  // -q on a terminal, anywhere on the command line.
  for (const auto& args : {Convert(target, {"-q"}), [&] {
                             auto a = Convert(target);
                             a.insert(a.begin(), "-q");
                             return a;
                           }()}) {
    o = OnTerminal(args);
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_EQ(o.output, "Converting finished!\r\n");
  }
}

// Eight jobs at once on eight files, all recording into one history.
TEST_F(HeadlessProgress, EightParallelRunsWriteTheirOwnBytesAndKeepEveryRecord) {
  constexpr int kJobs = 8;
  std::vector<std::vector<uint8_t>> sources;
  std::vector<pid_t> children;
  for (int job = 0; job < kJobs; ++job) {
    const std::string name = "in" + std::to_string(job);
    sources.push_back(RandomBytes(kFrameBytes * kFrames, 100 + static_cast<uint32_t>(job)));
    WriteFileBytes(dir_ / (name + ".yuv"), sources.back());
  }
  for (int job = 0; job < kJobs; ++job) {
    const std::string in = "in" + std::to_string(job), out = "out" + std::to_string(job);
    std::vector<std::string> args = {"-a", "convert",
                                     "-n", (dir_ / (in + ".yuv")).string(),
                                     "-N", (dir_ / (out + ".yuv")).string(),
                                     "-O", "yvu",
                                     "-e", "exit"};
    const auto layout = I420Layout();
    args.insert(args.end(), layout.begin(), layout.end());
    const std::string command = Invocation(args) + " >" + Quote((dir_ / (out + ".txt")).string()) + " 2>&1";
    const pid_t child = fork();
    if (child == 0) {
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    ASSERT_GT(child, 0);
    children.push_back(child);
  }
  for (const pid_t child : children) {
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  const std::string history = HistoryText();
  for (int job = 0; job < kJobs; ++job) {
    const std::string out = "out" + std::to_string(job);
    EXPECT_EQ(ReadFileText(dir_ / (out + ".txt")), "") << out;
    EXPECT_TRUE(SameBytesAs((dir_ / (out + ".yuv")).string(), ChromaSwapped(sources[job]))) << out;
    EXPECT_NE(history.find("ImageFileName=" + (dir_ / (out + ".yuv")).string() + "\r\n"), std::string::npos)
        << out << " is in the history";
  }
  // No temporary file is left behind.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.path()))
    EXPECT_EQ(entry.path().filename().string().find("velutrix-part"), std::string::npos) << entry.path();
}

}  // namespace
}  // namespace vx::test
