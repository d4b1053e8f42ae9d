// Runs the built program as a user would on a machine without a display.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "TestSupport.h"
#include "app/CommandLine.h"

namespace vx {
namespace {

struct Outcome {
  int exitCode = -1;
  std::string errors;
  std::string output;
};

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class HeadlessProgram : public testing::Test {
 protected:
  Outcome Run(const std::vector<std::string>& args) {
    std::string command =
        "env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME=" + Quote((dir_ / "config").string()) +
        " XDG_STATE_HOME=" + Quote((dir_ / "state").string()) + " " + Quote(VELUTRIX_BINARY);
    for (const std::string& a : args) command += " " + Quote(a);
    command += " >" + Quote((dir_ / "out.txt").string()) + " 2>" + Quote((dir_ / "err.txt").string()) +
               " </dev/null";
    const int status = std::system(command.c_str());
    Outcome outcome;
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.errors = test::ReadFileText(dir_ / "err.txt");
    outcome.output = test::ReadFileText(dir_ / "out.txt");
    return outcome;
  }
  std::filesystem::path SettingsFile() const { return dir_ / "config" / "velutrix" / "velutrix3.ini"; }

  test::TempDir dir_;
};

TEST_F(HeadlessProgram, RefusedCommandLineExitsWithItsCodeAndSavesNothing) {
  const Outcome o = Run({"-a", "PLAY", "-n", "x.yuv"});
  EXPECT_EQ(o.exitCode, 3);
  EXPECT_EQ(o.errors, "Sorry, invalid command PLAY after option -a, expecting 'play' or 'convert'!\n");
  EXPECT_EQ(o.output, "");
  EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
}

TEST_F(HeadlessProgram, AcceptedCommandLineSavesTheChangedFormat) {
  const Outcome o = Run({"-a", "play", "-n", "x.yuv", "-w", "70000", "-s", "yuv444"});
  EXPECT_EQ(o.exitCode, 0) << o.errors;
  const std::string saved = test::ReadFileText(SettingsFile());
  EXPECT_NE(saved.find("\nImgWidth: 4464\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.rfind("SamplingFormat: 0\n", 0), 0u) << "the next run starts from 4:4:4";

  // The next run reads that file back: its format is the starting point.
  EXPECT_EQ(Run({"-a", "play", "-n", "x.yuv", "-h", "100"}).exitCode, 0);
  const std::string again = test::ReadFileText(SettingsFile());
  EXPECT_NE(again.find("\nImgWidth: 4464\nImgHeight: 100\n"), std::string::npos) << again;
  EXPECT_EQ(again.rfind("SamplingFormat: 0\n", 0), 0u);
}

TEST_F(HeadlessProgram, UsageGoesToStderr) {
  Outcome o = Run({"-n"});
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_EQ(o.errors, UsageText(VELUTRIX_BINARY));

  o = Run({});
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_NE(o.errors.find("needs a display"), std::string::npos);
  EXPECT_NE(o.errors.find(UsageText(VELUTRIX_BINARY)), std::string::npos);
}

}  // namespace
}  // namespace vx
