// The built program run as a user would on a machine without a display, and the
// fixtures the program's tests share.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "PixelTestSupport.h"
#include "TestSupport.h"

namespace vx::test {

struct Outcome {
  int exitCode = -1;
  std::string errors;
  std::string output;
  long peakKilobytes = -1;  // the most memory the program held at once (RunMeasured)
};

std::string Quote(const std::string& text);

// The same bytes, sizes compared first so that a wrong output prints one line.
inline testing::AssertionResult SameFileBytes(const std::filesystem::path& actual,
                                              const std::filesystem::path& expected) {
  namespace fs = std::filesystem;
  if (!fs::exists(actual)) return testing::AssertionFailure() << actual << " was not written";
  if (fs::file_size(actual) != fs::file_size(expected)) {
    return testing::AssertionFailure() << actual << " has " << fs::file_size(actual) << " bytes, " << expected
                                       << " " << fs::file_size(expected);
  }
  if (test::ReadFileBytes(actual) != test::ReadFileBytes(expected)) {
    return testing::AssertionFailure() << actual << " differs from " << expected;
  }
  return testing::AssertionSuccess();
}

// Per-frame PSNR values (Y, U, V) of a report.
using PsnrRows = std::vector<std::array<double, 3>>;
inline PsnrRows ReportRows(const std::string& report) {
  PsnrRows rows;
  std::istringstream lines(report);
  std::string line;
  while (std::getline(lines, line)) {
    int frame = 0;
    std::array<double, 3> v{};
    if (std::sscanf(line.c_str(), "%d\t %lf\t %lf\t %lf", &frame, &v[0], &v[1], &v[2]) == 4)
      rows.push_back(v);
  }
  return rows;
}

class HeadlessProgram : public testing::Test {
 protected:
  Outcome Run(const std::vector<std::string>& args) { return RunAfter("", args); }
  // The same, the shell first running `prefix` (limits, signal dispositions).
  Outcome RunAfter(const std::string& prefix, const std::vector<std::string>& args) {
    return Finished(std::system(Command(prefix, args).c_str()));
  }
  // The same, measuring the peak resident memory of the program and of what it ran.
  Outcome RunMeasured(const std::string& prefix, const std::vector<std::string>& args) {
    const std::string command = Command(prefix, args);
    const pid_t child = fork();
    if (child == 0) {
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = -1;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) return {};
    Outcome outcome = Finished(status);
    outcome.peakKilobytes = usage.ru_maxrss;
    return outcome;
  }
  std::string Command(const std::string& prefix, const std::vector<std::string>& args) const {
    return prefix + " " + Invocation(args) + " >" + Quote((dir_ / "out.txt").string()) + " 2>" +
           Quote((dir_ / "err.txt").string()) + " </dev/null";
  }
  // The program with its arguments, without a display and with the test's own
  // settings and history folders; its streams as the caller leaves them.
  std::string Invocation(const std::vector<std::string>& args) const {
    std::string command =
        "env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME=" + Quote((dir_ / "config").string()) +
        " XDG_STATE_HOME=" + Quote((dir_ / "state").string()) + " " + Quote(VELUTRIX_BINARY);
    for (const std::string& a : args) command += " " + Quote(a);
    return command;
  }
  Outcome Finished(int status) const {
    Outcome outcome;
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.errors = test::ReadFileText(dir_ / "err.txt");
    outcome.output = test::ReadFileText(dir_ / "out.txt");
    return outcome;
  }
  std::filesystem::path SettingsFile() const { return dir_ / "config" / "velutrix" / "velutrix3.ini"; }
  std::string HistoryText() const {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.path())) {
      if (entry.path().filename() == "yuv_file_history3.ini") return test::ReadFileText(entry.path());
    }
    return {};
  }

  test::TempDir dir_;
};

// Faults: files named twice, writes that fail, inputs that are no files, hostile pictures.
class HeadlessFaults : public HeadlessProgram {
 protected:
  void SetUp() override {
    source_ = (dir_ / "v.yuv").string();
    other_ = (dir_ / "w.yuv").string();
    original_ = test::RandomBytes(16 * 8 * 3 / 2 * 4, 21);
    test::WriteFileBytes(source_, original_);
    test::WriteFileBytes(other_, test::RandomBytes(16 * 8 * 3 / 2 * 2, 22));
  }
  std::vector<std::string> Layout() const {
    return {"-s", "yuv420", "-o", "yuv", "-f", "progressive", "-p", "planar", "-w", "16", "-h", "8"};
  }
  Outcome Action(const std::string& action, const std::string& target, std::vector<std::string> more = {},
                 const std::string& prefix = "") {
    std::vector<std::string> args = {"-a", action, "-n", source_, "-N", target, "-e", "exit"};
    const auto layout = Layout();
    args.insert(args.end(), layout.begin(), layout.end());
    args.insert(args.end(), more.begin(), more.end());  // last: they override the layout
    return RunAfter(prefix, args);
  }
  std::string source_, other_;
  std::vector<uint8_t> original_;
};

bool HaveFfmpeg();

// A 176 x 144 I420 test clip of `frames` frames made by ffmpeg.
std::filesystem::path MakeClip(const std::filesystem::path& folder, int frames, const char* size = "176x144");

// Jobs on small clips that ffmpeg makes in any of its pixel formats, and the same
// files as ffmpeg rewrites them, for byte comparisons.
class HeadlessFfmpegClips : public HeadlessProgram {
 protected:
  static constexpr const char* kClipSize = "64x48";
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed; scripts/setup installs it";
  }
  // Three 64 x 48 frames of ffmpeg's testsrc2 in one of its pixel formats.
  std::filesystem::path Clip(const std::string& pixelFormat);
  // A raw file of `from` (64 x 48 unless `size` says otherwise) as ffmpeg
  // rewrites it in `to`, through `filter` if any.
  std::filesystem::path Ffmpeg(const std::filesystem::path& source, const std::string& from,
                               const std::string& to, const std::string& filter = "",
                               const std::string& size = kClipSize);
  // The program's job `action` from `source` (its -n and layout options) into `target`.
  Outcome Job(const std::string& action, const std::vector<std::string>& source,
              const std::filesystem::path& target, const std::vector<std::string>& more = {});

 private:
  int made_ = 0;
};

class HeadlessConvert : public HeadlessProgram {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed; scripts/setup installs it";
    clip_ = MakeClip(dir_.path(), 6);
    ASSERT_FALSE(clip_.empty());
  }
  Outcome Convert(const std::vector<std::string>& source, const std::filesystem::path& target,
                  const std::vector<std::string>& destination, bool exit = true) {
    std::vector<std::string> args = {"-a", "convert", "-N", target.string()};
    args.insert(args.end(), source.begin(), source.end());
    args.insert(args.end(), destination.begin(), destination.end());
    if (exit) args.insert(args.end(), {"-e", "exit"});
    return Run(args);
  }
  std::vector<std::string> I420(const std::filesystem::path& path) {
    return {"-n",          path.string(), "-s",     "yuv420", "-o",  "yuv", "-f",
            "progressive", "-p",          "planar", "-w",     "176", "-h",  "144"};
  }
  std::filesystem::path clip_;
};

}  // namespace vx::test
