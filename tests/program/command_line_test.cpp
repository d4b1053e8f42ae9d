#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ProgramTestSupport.h"
#include "avi/AviFile.h"
#include "model/CommandLine.h"

namespace vx::test {
namespace {

TEST_F(HeadlessProgram, RefusedCommandLineExitsWithItsCodeAndSavesNothing) {
  const Outcome o = Run({"-a", "PLAY", "-n", "x.yuv"});
  EXPECT_EQ(o.exitCode, 3);
  EXPECT_EQ(o.errors, "Sorry, invalid command PLAY after option -a, expecting 'play' or 'convert'!\n");
  EXPECT_EQ(o.output, "");
  EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
}

TEST_F(HeadlessProgram, TheSmallProgramHandsAviActionsToTheFullOne) {
  // Alone, without velutrix-full beside it, an AVI action cannot run: a clear
  // message and exit 8; any other action runs in the small program itself.
  const auto alone = dir_ / "alone";
  std::filesystem::create_directories(alone);
  std::filesystem::copy_file(VELUTRIX_BINARY, alone / "velutrix");
  const std::string command =
      "env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME=" + Quote((dir_ / "config").string()) + " " +
      Quote((alone / "velutrix").string()) + " -a avi2yuv -n x.avi -N y.yuv 2>" +
      Quote((dir_ / "err.txt").string());
  const int status = std::system(command.c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 8);
  EXPECT_EQ(test::ReadFileText(dir_ / "err.txt")
                .rfind("Error VLTX1027: The program's desktop and AVI part " +
                           (alone / "velutrix-full").string() + " cannot be started",
                       0),
            0u);
  const int usage = std::system(
      ("env -u DISPLAY -u WAYLAND_DISPLAY " + Quote((alone / "velutrix").string()) + " -a play 2>/dev/null")
          .c_str());
  EXPECT_EQ(WIFEXITED(usage) ? WEXITSTATUS(usage) : -1, 1) << "a refused command line, in the small program";
}

TEST_F(HeadlessProgram, AcceptedCommandLineSavesTheChangedFormat) {
  // Without a display the player has nothing to show: refused with 8, but the
  // accepted command line's format is saved through the ordinary shutdown.
  const Outcome o = Run({"-a", "play", "-n", "x.yuv", "-w", "4464", "-s", "yuv444"});
  EXPECT_EQ(o.exitCode, 8) << o.errors;
  EXPECT_EQ(o.errors,
            "Sorry, the player needs a display to show x.yuv: set DISPLAY or WAYLAND_DISPLAY, or use another "
            "action.\n");
  const std::string saved = test::ReadFileText(SettingsFile());
  EXPECT_NE(saved.find("\nImgWidth: 4464\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.rfind("SamplingFormat: 0\n", 0), 0u) << "the next run starts from 4:4:4";

  // The next run reads that file back: its format is the starting point.
  EXPECT_EQ(Run({"-a", "play", "-n", "x.yuv", "-h", "100"}).exitCode, 8);
  const std::string again = test::ReadFileText(SettingsFile());
  EXPECT_NE(again.find("\nImgWidth: 4464\nImgHeight: 100\n"), std::string::npos) << again;
  EXPECT_EQ(again.rfind("SamplingFormat: 0\n", 0), 0u);
}

TEST_F(HeadlessProgram, AviActionsWithMissingFilesFailWithTheirMessage) {
  const Outcome toAvi = Run({"-a", "yuv2avi", "-n", "x.yuv", "-N", "x.avi", "-e", "exit"});
  EXPECT_EQ(toAvi.exitCode, 8);
  EXPECT_EQ(toAvi.errors, "Error TAVI1005: Input file x.yuv not found\n");
  const Outcome fromAvi = Run({"-a", "avi2yuv", "-n", "x.avi", "-N", "x.yuv"});
  EXPECT_EQ(fromAvi.exitCode, 8);
  EXPECT_EQ(fromAvi.errors, "Error AVIT1001: Open AVI file x.avi failed\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "x.yuv"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "x.avi"));
}

TEST_F(HeadlessProgram, SizesBeyond65535AreRefusedInEveryAction) {
  std::vector<uint8_t> clip(16 * 8 * 3 / 2 * 2, 50);
  test::WriteFileBytes(dir_ / "c.yuv", clip);
  const Outcome pad = Run({"-a", "pad", "-n", (dir_ / "c.yuv").string(), "-N", (dir_ / "p.yuv").string(),
                           "-s", "yuv420", "-w", "16", "-h", "8", "-W", "65536", "-H", "16"});
  EXPECT_EQ(pad.exitCode, 1);
  EXPECT_EQ(pad.errors,
            "Sorry, -W option error: 65536. Width of image cannot be a negative number or zero !\n");
  const Outcome convert =
      Run({"-a", "convert", "-n", (dir_ / "c.yuv").string(), "-N", (dir_ / "o.yuv").string(), "-s", "yuv420",
           "-w", "16", "-h", "8", "-H", "65536"});
  EXPECT_EQ(convert.exitCode, 2);
  EXPECT_EQ(convert.errors,
            "Sorry, -H option error: 65536. Height of image cannot be a negative number or zero !\n");
  const Outcome avi =
      Run({"-a", "avi2yuv", "-n", (dir_ / "x.avi").string(), "-N", (dir_ / "a.yuv").string(), "-W", "70000"});
  EXPECT_EQ(avi.exitCode, 1);
  EXPECT_EQ(avi.errors,
            "Sorry, -W option error: 70000. Width of image cannot be a negative number or zero !\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "p.yuv"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "o.yuv"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "a.yuv"));
  EXPECT_FALSE(std::filesystem::exists(SettingsFile())) << "a refused command line saves nothing";
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
}  // namespace vx::test
