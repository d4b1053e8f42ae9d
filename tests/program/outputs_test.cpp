#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ProgramTestSupport.h"
#include "avi/AviFile.h"
#include "platform/RawFile.h"

namespace vx::test {
namespace {

class HeadlessOutputs : public HeadlessFaults {
 protected:
  // A 352 x 288 clip of 60 frames: long enough for two jobs to overlap (a job to be
  // stopped while it runs takes more).
  std::string BigClip(size_t frames = 60) {
    const auto big = dir_ / "big.yuv";
    test::WriteFileBytes(big, test::RandomBytes(size_t{352} * 288 * 3 / 2 * frames, 8));
    return big.string();
  }
  std::string JobCommand(const std::string& source, const std::string& action, const std::string& target,
                         const std::string& more) {
    return "env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME=" + Quote((dir_ / "config").string()) +
           " XDG_STATE_HOME=" + Quote((dir_ / "state").string()) + " " + Quote(VELUTRIX_BINARY) + " -a " +
           action + " -n " + Quote(source) + " -s yuv420 -o yuv -f progressive -p planar -w 352 -h 288 " +
           more + " -N " + Quote(target) + " -e exit";
  }
};

TEST_F(HeadlessOutputs, ALinkPlantedUnderTheTemporaryNameIsNeverWrittenThrough) {
  const auto target = dir_ / "out.yuv";
  const auto victim = dir_ / "victim.txt";
  const auto other = dir_ / "other.txt";
  test::WriteFileText(victim, "VICTIM");
  test::WriteFileText(other, "OTHER");
  std::filesystem::create_symlink(victim, TemporaryNameFor(target));
  const Outcome viaSymlink = Action("flip", target.string());
  EXPECT_EQ(viaSymlink.exitCode, 0) << viaSymlink.errors;
  EXPECT_EQ(test::ReadFileText(victim), "VICTIM");
  EXPECT_FALSE(std::filesystem::is_symlink(target));
  const std::vector<uint8_t> flipped = test::ReadFileBytes(target);
  ASSERT_EQ(flipped.size(), original_.size());
  // The planted link was left by nobody running: it is gone too.
  EXPECT_TRUE(TemporariesOf(target).empty());

  std::filesystem::remove(target);
  std::filesystem::create_hard_link(other, TemporaryNameFor(target));
  const Outcome viaHardLink = Action("flip", target.string());
  EXPECT_EQ(viaHardLink.exitCode, 0) << viaHardLink.errors;
  EXPECT_EQ(test::ReadFileText(other), "OTHER") << "the other name's file is untouched";
  EXPECT_EQ(test::ReadFileBytes(target), flipped);
}

TEST_F(HeadlessOutputs, TwoJobsOnOneTargetEachLeaveAWholeFile) {
  const std::string big = BigClip();
  const auto flipped = dir_ / "flipped.yuv", converted = dir_ / "converted.yuv", target = dir_ / "k.yuv";
  ASSERT_EQ(std::system(JobCommand(big, "flip", flipped.string(), "").c_str()), 0);
  ASSERT_EQ(std::system(JobCommand(big, "convert", converted.string(), "-S yuv444 -P packed").c_str()), 0);
  const auto one = test::ReadFileBytes(flipped), two = test::ReadFileBytes(converted);
  for (int pair = 0; pair < 4; ++pair) {
    const std::string both = "(" + JobCommand(big, "flip", target.string(), "") + " 2>/dev/null; echo $? > " +
                             Quote((dir_ / "a.rc").string()) + ") & (" +
                             JobCommand(big, "convert", target.string(), "-S yuv444 -P packed") +
                             " 2>/dev/null; echo $? > " + Quote((dir_ / "b.rc").string()) + ") & wait";
    std::system(both.c_str());
    EXPECT_EQ(test::ReadFileText(dir_ / "a.rc"), "0\n") << "pair " << pair;
    EXPECT_EQ(test::ReadFileText(dir_ / "b.rc"), "0\n") << "pair " << pair;
    const auto written = test::ReadFileBytes(target);
    EXPECT_TRUE(written == one || written == two)
        << "pair " << pair << ": a mixed file of " << written.size();
    EXPECT_TRUE(TemporariesOf(target).empty());
  }
}

TEST_F(HeadlessOutputs, ATerminatedJobRemovesItsTemporaryFile) {
  const std::string big = BigClip(480);
  const auto target = dir_ / "k.yuv";
  test::WriteFileText(target, "EARLIER");
  // (A shell starts background jobs with SIGINT ignored, and an ignored signal stays ignored.)
  for (const char* signal : {"TERM", "HUP"}) {
    const std::string command =
        JobCommand(big, "convert", target.string(), "-S yuv444 -P packed -W 704 -H 576") +
        " 2>/dev/null & pid=$!; while ! ls -a " + Quote(dir_.path().string()) +
        " | grep -q '^\\.k\\.yuv\\.velutrix-part' && kill -0 $pid 2>/dev/null; do :; done; kill -" + signal +
        " $pid; wait $pid";
    std::system(command.c_str());
    EXPECT_TRUE(test::ReadFileText(target) == "EARLIER") << signal;
    EXPECT_TRUE(TemporariesOf(target).empty()) << signal;
  }
}

// Held to one processor (taskset, a container's CPU set), jobs do their work and
// writes on one thread: the same bytes as on two, and a failed write still fails.
TEST_F(HeadlessOutputs, OnOneProcessorJobsGiveTheSameBytesAndReportAFailedWrite) {
  // Frames above 2 MiB are read and made by two threads when there are two.
  const auto clip = dir_ / "hd.yuv";
  test::WriteFileBytes(clip, test::RandomBytes(size_t{1920} * 1080 * 3 / 2 * 3, 31));
  const std::vector<std::string> layout = {"-s", "yuv420", "-o", "yuv",  "-f", "progressive",
                                           "-p", "planar", "-w", "1920", "-h", "1080"};
  const std::vector<std::vector<std::string>> jobs = {
      {"-a", "convert", "-S", "yuv422", "-O", "uyv", "-P", "packed"},
      {"-a", "convert", "-W", "1280", "-H", "720"},
      {"-a", "flip"},
  };
  for (const auto& job : jobs) {
    std::vector<uint8_t> written[2];
    for (int one = 0; one < 2; ++one) {
      std::vector<std::string> args = job;
      args.insert(args.end(), {"-n", clip.string(), "-N", (dir_ / "out.yuv").string(), "-e", "exit"});
      args.insert(args.end(), layout.begin(), layout.end());
      const Outcome outcome = RunAfter(one ? "taskset -c 0" : "", args);
      ASSERT_EQ(outcome.exitCode, 0) << testing::PrintToString(job) << outcome.errors;
      written[one] = test::ReadFileBytes(dir_ / "out.yuv");
    }
    EXPECT_FALSE(written[0].empty()) << testing::PrintToString(job);
    EXPECT_TRUE(written[0] == written[1]) << testing::PrintToString(job);
  }
  std::vector<std::string> full = {"-a",     "convert", "-S",          "yuv422", "-O",        "uyv", "-P",
                                   "packed", "-n",      clip.string(), "-N",     "/dev/full", "-e",  "exit"};
  full.insert(full.end(), layout.begin(), layout.end());
  const Outcome failed = RunAfter("taskset -c 0", full);
  EXPECT_EQ(failed.exitCode, 8);
  EXPECT_EQ(failed.errors, "Error CONV1039: File /dev/full cannot be written !\n");
}

}  // namespace
}  // namespace vx::test
