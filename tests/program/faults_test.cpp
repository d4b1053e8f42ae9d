#include <gtest/gtest.h>
#include <sys/stat.h>
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

// Polls for up to five seconds.
template <typename Condition>
bool QuietWait(Condition condition) {
  for (int i = 0; i < 500 && !condition(); ++i) ::usleep(10000);
  return condition();
}

TEST_F(HeadlessFaults, AnOutputThatIsAnInputIsRefusedAndTheInputKept) {
  std::filesystem::create_symlink(source_, dir_ / "link.yuv");
  struct Case {
    std::string action, target;
    std::vector<std::string> more;
  } cases[] = {
      {"flip", source_, {}},
      {"flip", (dir_ / "." / "v.yuv").string(), {}},
      {"flip", (dir_ / "link.yuv").string(), {}},
      {"convert", source_, {"-S", "yuv444", "-P", "packed"}},
      {"crop", source_, {"-c", "0,0,8,8"}},
      {"join", source_, {"-m", other_}},
      {"join", other_, {"-m", other_}},
  };
  for (const Case& c : cases) {
    const Outcome o = Action(c.action, c.target, c.more);
    EXPECT_EQ(o.exitCode, 8) << c.action << " " << c.target << ": " << o.errors;
    EXPECT_NE(o.errors.find("itself; choose another name!"), std::string::npos) << o.errors;
    EXPECT_EQ(test::ReadFileBytes(source_), original_) << c.action << " " << c.target;
    EXPECT_EQ(test::ReadFileBytes(other_).size(), 16u * 8 * 3 / 2 * 2);
  }
  // A report named like one of the two files it compares.
  const auto sheet = dir_ / "v.xls";
  test::WriteFileBytes(sheet, original_);
  const auto layout = Layout();
  std::vector<std::string> args = {"-a", "psnr", "-n", sheet.string(), "-m", source_, "-N", sheet.string()};
  args.insert(args.end(), layout.begin(), layout.end());
  const Outcome psnr = Run(args);
  EXPECT_EQ(psnr.exitCode, 8) << psnr.errors;
  EXPECT_EQ(psnr.errors.rfind("Error PSNR1016: The report", 0), 0u) << psnr.errors;
  EXPECT_EQ(test::ReadFileBytes(sheet), original_);
}

TEST_F(HeadlessFaults, AFailedWriteFailsTheJobAndKeepsTheEarlierFile) {
  const auto target = dir_ / "out.yuv";
  test::WriteFileText(target, "EARLIER");
  // A file size limit of 1 KiB: the second frame cannot be written (SIGXFSZ ignored, EFBIG returned).
  const Outcome o =
      Action("convert", target.string(), {"-S", "yuv444", "-P", "packed"}, "ulimit -f 2; trap '' XFSZ;");
  EXPECT_EQ(o.exitCode, 8) << o.errors;
  EXPECT_NE(o.errors.find("cannot be written"), std::string::npos) << o.errors;
  EXPECT_EQ(test::ReadFileText(target), "EARLIER") << "no torn frame, the earlier file stays";
  EXPECT_TRUE(TemporariesOf(target).empty());
  EXPECT_EQ(HistoryText().find("out.yuv"), std::string::npos) << "a failed job is not in the history";

  // The same job without the limit replaces the earlier file and enters the history.
  const Outcome done = Action("convert", target.string(), {"-S", "yuv444", "-P", "packed"});
  EXPECT_EQ(done.exitCode, 0) << done.errors;
  EXPECT_EQ(std::filesystem::file_size(target), 4u * 16 * 8 * 3);
  EXPECT_NE(HistoryText().find("out.yuv"), std::string::npos);
}

TEST_F(HeadlessFaults, ATargetThatIsNoRegularFileIsWrittenNotReplaced) {
  // A FIFO that another program reads (as a device like /dev/null would be): the
  // frames go into it and it stays a FIFO. Without a reader it is refused, not waited for.
  const auto fifo = dir_ / "pipe.yuv";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const Outcome alone =
      RunAfter("timeout 20", {"-a", "flip", "-n", source_, "-N", fifo.string(), "-s", "yuv420", "-p",
                              "planar", "-f", "progressive", "-w", "16", "-h", "8"});
  EXPECT_EQ(alone.exitCode, 8) << alone.errors;
  const auto received = dir_ / "received.bin";
  const Outcome read =
      RunAfter("(cat " + Quote(fifo.string()) + " > " + Quote(received.string()) + " &); sleep 0.2;",
               {"-a", "flip", "-n", source_, "-N", fifo.string(), "-s", "yuv420", "-p", "planar", "-f",
                "progressive", "-w", "16", "-h", "8"});
  EXPECT_EQ(read.exitCode, 0) << read.errors;
  struct stat info {};
  ASSERT_EQ(::stat(fifo.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "still the FIFO";
  EXPECT_TRUE(TemporariesOf(fifo).empty());
  ASSERT_TRUE(QuietWait([&] { return std::filesystem::file_size(received) == original_.size(); }));
}

TEST_F(HeadlessFaults, FailuresAfterTheStartExitWithCode8AndTheirMessage) {
  struct Case {
    std::string action;
    std::vector<std::string> more;
    std::string message;
  } cases[] = {
      {"convert", {"-W", "1", "-H", "1"}, "Error CONV1049"},
      {"convert", {"-S", "yuv420", "-P", "packed"}, "Error CONV1048"},
      {"flip", {"-p", "packed"}, "Error CONF1008"},
  };
  for (const Case& c : cases) {
    const auto target = dir_ / "x.yuv";
    const Outcome o = Action(c.action, target.string(), c.more);
    EXPECT_EQ(o.exitCode, 8) << c.action;
    EXPECT_NE(o.errors.find(c.message), std::string::npos) << o.errors;
    EXPECT_FALSE(std::filesystem::exists(target)) << c.action;
  }
}

TEST_F(HeadlessFaults, InputsThatAreNoFilesAreRefusedWithoutBlocking) {
  const auto fifo = dir_ / "pipe.yuv";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string action : {"flip", "convert", "crop"}) {
    std::vector<std::string> args = {"-a", action, "-n", fifo.string(), "-N", (dir_ / "o.yuv").string()};
    if (action == "crop") args.insert(args.end(), {"-c", "0,0,8,8"});
    if (action == "convert") args.insert(args.end(), {"-S", "yuv444"});
    const auto layout = Layout();
    args.insert(args.end(), layout.begin(), layout.end());
    const Outcome o = RunAfter("timeout 20", args);
    EXPECT_EQ(o.exitCode, 8) << action;
    EXPECT_NE(o.errors.find("is not a regular file"), std::string::npos) << o.errors;
  }
  const Outcome zero =
      RunAfter("timeout 20", {"-a", "psnr", "-n", "/dev/zero", "-m", "/dev/zero", "-N",
                              (dir_ / "r.xls").string(), "-s", "yuv420", "-w", "16", "-h", "8"});
  EXPECT_EQ(zero.exitCode, 8);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "r.xls"));
}

TEST_F(HeadlessFaults, AHostileBitmapSizeIsRefusedBeforeAnythingIsAllocated) {
  // 58 bytes that declare 21845 x 16384 pixels of 24 bits (1 GiB of rows).
  std::vector<uint8_t> bmp(58, 0);
  auto put = [&](size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) bmp[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
  };
  put(0, 0x4D42, 2);
  put(2, 58, 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, 21845, 4);
  put(22, 16384, 4);
  put(26, 1, 2);
  put(28, 24, 2);
  put(34, 4, 4);  // a declared image size of 4 bytes
  for (int k = 0; k < 3; ++k) test::WriteFileBytes(dir_ / ("pic" + std::to_string(k) + ".bmp"), bmp);
  const Outcome o = RunAfter("timeout 20", {"-a", "convert", "-s", "bmp", "-S", "rgb444", "-n",
                                            (dir_ / "pic%d.bmp").string(), "-N", (dir_ / "o.rgb").string()});
  EXPECT_EQ(o.exitCode, 8) << o.errors;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "o.rgb"));
}

TEST_F(HeadlessFaults, AbsurdCropSizesAreRefusedWithoutOverflow) {
  const Outcome o = Action("crop", (dir_ / "c.yuv").string(), {"-c", "0,0,99999999999,99999999999"});
  EXPECT_EQ(o.exitCode, 8) << o.errors;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "c.yuv"));
}

TEST_F(HeadlessFaults, AKilledJobLeavesOnlyTheEarlierFileUnderTheTargetName) {
  // A clip long enough that the job is still writing when it is stopped and killed.
  const auto big = dir_ / "big.yuv";
  test::WriteFileBytes(big, test::RandomBytes(size_t{352} * 288 * 3 / 2 * 300, 5));
  const auto target = dir_ / "k.yuv";
  test::WriteFileText(target, "EARLIER");
  const std::string command =
      "env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME=" + Quote((dir_ / "config").string()) +
      " XDG_STATE_HOME=" + Quote((dir_ / "state").string()) + " " + Quote(VELUTRIX_BINARY) +
      " -a convert -n " + Quote(big.string()) +
      " -s yuv420 -f progressive -p planar -w 352 -h 288 -S yuv444 -P packed -W 704 -H 576 -N " +
      Quote(target.string()) + " 2>/dev/null & pid=$!; " + "while ! ls -a " + Quote(dir_.path().string()) +
      " | grep -q '^\\.k\\.yuv\\.velutrix-part' && kill -0 $pid 2>/dev/null; do :; done; kill -STOP $pid; "
      "kill -KILL $pid; wait $pid";
  std::system(command.c_str());
  EXPECT_EQ(test::ReadFileText(target), "EARLIER");
}

}  // namespace
}  // namespace vx::test
