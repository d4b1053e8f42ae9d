// Runs the built program as a user would on a machine without a display.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "PixelTestSupport.h"
#include "TestSupport.h"
#include "avi/AviFile.h"
#include "image/ColorFormula.h"
#include "model/CommandLine.h"
#include "platform/MessageSink.h"
#include "platform/RawFile.h"
#include "platform/StringFormat.h"
#include "tools/AviJobs.h"

namespace vx {
namespace {

struct Outcome {
  int exitCode = -1;
  std::string errors;
  std::string output;
  long peakKilobytes = -1;  // the most memory the program held at once (RunMeasured)
};

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
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
    std::string command =
        prefix + " env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME=" + Quote((dir_ / "config").string()) +
        " XDG_STATE_HOME=" + Quote((dir_ / "state").string()) + " " + Quote(VELUTRIX_BINARY);
    for (const std::string& a : args) command += " " + Quote(a);
    return command + " >" + Quote((dir_ / "out.txt").string()) + " 2>" + Quote((dir_ / "err.txt").string()) +
           " </dev/null";
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

TEST_F(HeadlessProgram, InterlacedOddHeightsConvertWithTheExtraRowInFieldOne) {
  // 8 x 5 interlaced 4:4:4, two frames: field 1 is rows 0, 2, 4, field 2 rows 1, 3.
  std::vector<uint8_t> interlaced;
  for (int frame = 0; frame < 2; ++frame) {
    for (int row : {0, 2, 4, 1, 3}) {
      for (int i = 0; i < 24; ++i) interlaced.push_back(static_cast<uint8_t>(100 * frame + 10 * row + i % 3));
    }
  }
  test::WriteFileBytes(dir_ / "i.yuv", interlaced);
  const Outcome o = Run({"-a", "convert",
                         "-n", (dir_ / "i.yuv").string(),
                         "-s", "yuv444",
                         "-o", "yuv",
                         "-f", "interlaced",
                         "-p", "packed",
                         "-w", "8",
                         "-h", "5",
                         "-N", (dir_ / "p.yuv").string(),
                         "-F", "progressive",
                         "-e", "exit"});
  EXPECT_EQ(o.exitCode, 0) << o.errors;
  EXPECT_EQ(o.errors, "");
  std::vector<uint8_t> progressive;
  for (int frame = 0; frame < 2; ++frame) {
    for (int row = 0; row < 5; ++row) {
      for (int i = 0; i < 24; ++i)
        progressive.push_back(static_cast<uint8_t>(100 * frame + 10 * row + i % 3));
    }
  }
  EXPECT_EQ(test::ReadFileBytes(dir_ / "p.yuv"), progressive);
}

// Polls for up to five seconds.
template <typename Condition>
bool QuietWait(Condition condition) {
  for (int i = 0; i < 500 && !condition(); ++i) ::usleep(10000);
  return condition();
}

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

TEST_F(HeadlessFaults, ConcurrentRunsKeepEveryHistoryRecord) {
  // Four instances at once, each run adding the record of its own target.
  std::string script;
  for (int instance = 0; instance < 4; ++instance) {
    script += "(for i in $(seq 1 12); do env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME=" +
              Quote((dir_ / "config").string()) + " XDG_STATE_HOME=" + Quote((dir_ / "state").string()) +
              " " + Quote(VELUTRIX_BINARY) + " -a flip -n " + Quote(source_) +
              " -s yuv420 -o yuv -f progressive -p planar -w 16 -h 8 -N " +
              Quote((dir_ / ("t" + std::to_string(instance))).string()) +
              "_$i.yuv -e exit 2>/dev/null; done) & ";
  }
  script += "wait";
  ASSERT_EQ(std::system(script.c_str()), 0);
  const std::string history = HistoryText();
  int records = 0;
  for (size_t at = history.find("ImageFileName="); at != std::string::npos;
       at = history.find("ImageFileName=", at + 1))
    ++records;
  EXPECT_EQ(records, 4 * 12) << "no run lost another's records";
}

TEST_F(HeadlessFaults, SettingsAndHistoryThatAreNoFilesDoNotBlockTheStart) {
  std::filesystem::create_directories(dir_ / "config" / "velutrix");
  std::filesystem::create_directories(dir_ / "state" / "velutrix");
  ASSERT_EQ(::mkfifo((dir_ / "config" / "velutrix" / "velutrix3.ini").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((dir_ / "state" / "velutrix" / "yuv_file_history3.ini").c_str(), 0600), 0);
  const Outcome o =
      RunAfter("timeout 20", {"-a", "flip", "-n", source_, "-N", (dir_ / "f.yuv").string(), "-s", "yuv420",
                              "-p", "planar", "-f", "progressive", "-w", "16", "-h", "8"});
  EXPECT_EQ(o.exitCode, 0) << o.errors;
  EXPECT_TRUE(std::filesystem::exists(dir_ / "f.yuv"));
}

// A history file of `count` records as the program writes it, the newest first:
// /clips/old0.yuv, /clips/old1.yuv, ... each a second older than the one before.
std::string HistoryFileText(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    const int t = 80000 - i;
    text += StrFormat(
        "[FileHistory %d]\r\nImageFileName=/clips/old%d.yuv\r\nFOURCC_Name=1\r\nYUVSamplingFormat=1\r\n"
        "ComponentOrder=2\r\nFieldFormat=1\r\nPixelFormat=0\r\nImageResolution=3\r\nImageWidth=352\r\n"
        "ImageHeight=288\r\nReadWrite=1\r\nOpen_Time=  2020-01-01 %02d:%02d:%02d",
        i + 1, i, t / 3600, t / 60 % 60, t % 60);
    text += std::string(5, '\0') + "\r\n";
  }
  return text;
}

std::vector<std::string> HistoryNames(const std::string& text) {
  std::vector<std::string> names;
  constexpr std::string_view kKey = "ImageFileName=";
  for (size_t at = text.find(kKey); at != std::string::npos; at = text.find(kKey, at + 1)) {
    const size_t start = at + kKey.size();
    names.push_back(text.substr(start, text.find('\r', start) - start));
  }
  return names;
}

TEST_F(HeadlessFaults, ALargeHistoryIsQuickAndKeepsItsNewestTenThousandRecords) {
  const auto history = dir_ / "state" / "velutrix" / "yuv_file_history3.ini";
  std::filesystem::create_directories(history.parent_path());
  test::WriteFileText(history, HistoryFileText(20000));
  // Ten frames of 16 x 8 4:2:0.
  test::WriteFileBytes(source_, test::RandomBytes(16 * 8 * 3 / 2 * 10, 23));
  const auto target = dir_ / "flipped.yuv";
  const auto start = std::chrono::steady_clock::now();
  const Outcome o = Action("flip", target.string());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("A flip with a history of 20,000 records took %.3f s\n", seconds);
  EXPECT_EQ(o.exitCode, 0) << o.errors;
  EXPECT_EQ(o.errors, "");
  EXPECT_LT(seconds, 1.5) << "a run should take well under 0.3 s; this machine's cores are shared";

  const std::vector<std::string> names = HistoryNames(test::ReadFileText(history));
  ASSERT_EQ(names.size(), 10000u);
  EXPECT_EQ(names[0], target.string()) << "the new record first";
  for (size_t i = 1; i < names.size(); ++i) {
    ASSERT_EQ(names[i], "/clips/old" + std::to_string(i - 1) + ".yuv") << "then the newest of the file";
  }
}

// The folders of the settings and the history are blocked by files of their names.
TEST_F(HeadlessFaults, SettingsAndHistoryThatCannotBeSavedAreWarnedAbout) {
  std::filesystem::create_directories(dir_ / "config");
  std::filesystem::create_directories(dir_ / "state");
  test::WriteFileText(dir_ / "config" / "velutrix", "not a folder");
  test::WriteFileText(dir_ / "state" / "velutrix", "not a folder either");
  const auto target = dir_ / "f.yuv";
  const Outcome o = Action("flip", target.string());
  EXPECT_EQ(o.exitCode, 0) << "the job itself ran";
  const std::string reason = std::make_error_code(std::errc::not_a_directory).message();
  EXPECT_EQ(o.errors, "Warning SETT1001: The settings could not be saved to " +
                          (dir_ / "config" / "velutrix" / "velutrix3.ini").string() + ": " + reason +
                          "\nWarning HIST1001: The file history could not be saved to " +
                          (dir_ / "state" / "velutrix" / "yuv_file_history3.ini").string() + ": " + reason +
                          "\n");
  EXPECT_EQ(test::ReadFileBytes(target).size(), original_.size());
  EXPECT_EQ(test::ReadFileText(dir_ / "config" / "velutrix"), "not a folder");
  EXPECT_EQ(test::ReadFileText(dir_ / "state" / "velutrix"), "not a folder either");

  // A refused command line saves nothing and so warns of nothing.
  const Outcome refused = Run({"-a", "PLAY", "-n", "x.yuv"});
  EXPECT_EQ(refused.exitCode, 3);
  EXPECT_EQ(refused.errors.find("Warning"), std::string::npos) << refused.errors;
}

TEST_F(HeadlessFaults, SavesThatFailMidWriteAreWarnedAboutAndKeepTheOldFiles) {
  // A first run leaves a settings file and a history of several records.
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(Action("flip", (dir_ / ("old" + std::to_string(i) + ".yuv")).string()).exitCode, 0);
  }
  const auto settings = SettingsFile();
  const auto history = dir_ / "state" / "velutrix" / "yuv_file_history3.ini";
  const std::string oldSettings = test::ReadFileText(settings), oldHistory = test::ReadFileText(history);
  ASSERT_GT(oldSettings.size(), 512u);
  ASSERT_GT(oldHistory.size(), 512u);

  // Files may not grow beyond 512 bytes, as on a full disk: the job's 384 bytes are
  // written, neither the settings nor the history can be (SIGXFSZ ignored, EFBIG returned).
  test::WriteFileBytes(source_, test::RandomBytes(16 * 8 * 3 / 2 * 2, 24));
  const auto target = dir_ / "new.yuv";
  const Outcome o = Action("flip", target.string(), {}, "ulimit -f 1; trap '' XFSZ;");
  EXPECT_EQ(o.exitCode, 0) << o.errors;
  const std::string reason = std::make_error_code(std::errc::file_too_large).message();
  EXPECT_EQ(o.errors, "Warning SETT1001: The settings could not be saved to " + settings.string() + ": " +
                          reason + "\nWarning HIST1001: The file history could not be saved to " +
                          history.string() + ": " + reason + "\n");
  EXPECT_EQ(test::ReadFileBytes(target).size(), 384u);
  EXPECT_EQ(test::ReadFileText(settings), oldSettings);
  EXPECT_EQ(test::ReadFileText(history), oldHistory);
  EXPECT_FALSE(std::filesystem::exists(TemporaryNameFor(settings)));
  EXPECT_FALSE(std::filesystem::exists(TemporaryNameFor(history)));
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

TEST_F(HeadlessProgram, MergeEndsAtAComponentsPartialFrame) {
  // 4:4:4 components of 40 x 30: 1,200 bytes a frame. Y has six frames; U or V five
  // and 1,000 bytes of a sixth: five frames are merged, each Y, U, V of its own.
  constexpr size_t kPlane = 40 * 30;
  const auto y = test::RandomBytes(6 * kPlane, 31), u = test::RandomBytes(6 * kPlane, 32),
             v = test::RandomBytes(6 * kPlane, 33);
  for (const char* partial : {"u", "v"}) {
    SCOPED_TRACE(partial);
    const auto cut = [&](const std::vector<uint8_t>& plane, const char* name) {
      return std::string(name) == partial
                 ? std::vector<uint8_t>(plane.begin(),
                                        plane.begin() + static_cast<ptrdiff_t>(5 * kPlane + 1000))
                 : plane;
    };
    test::WriteFileBytes(dir_ / "parts.y", y);
    test::WriteFileBytes(dir_ / "parts.u", cut(u, "u"));
    test::WriteFileBytes(dir_ / "parts.v", cut(v, "v"));
    const auto merged = dir_ / "merged.yuv";
    const Outcome o = Run({"-a", "merge", "-n", (dir_ / "parts").string(), "-N", merged.string(), "-s",
                           "yuv444", "-w", "40", "-h", "30", "-e", "exit"});
    EXPECT_EQ(o.exitCode, 0) << o.errors;
    std::vector<uint8_t> expected;
    for (size_t frame = 0; frame < 5; ++frame) {
      for (const auto* plane : {&y, &u, &v}) {
        expected.insert(expected.end(), plane->begin() + static_cast<ptrdiff_t>(frame * kPlane),
                        plane->begin() + static_cast<ptrdiff_t>((frame + 1) * kPlane));
      }
    }
    EXPECT_EQ(test::ReadFileBytes(merged), expected);
  }
}

bool HaveFfmpeg() {
  return std::system("command -v ffmpeg >/dev/null 2>&1") == 0;
}

// A 176 x 144 I420 test clip of `frames` frames made by ffmpeg.
std::filesystem::path MakeClip(const std::filesystem::path& folder, int frames,
                               const char* size = "176x144") {
  const auto path = folder / "clip.yuv";
  const std::string command = std::string("ffmpeg -loglevel error -y -f lavfi -i testsrc=size=") + size +
                              ":rate=25 -frames:v " + std::to_string(frames) +
                              " -pix_fmt yuv420p -f rawvideo '" + path.string() + "'";
  if (std::system(command.c_str()) != 0) return {};
  return path;
}

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

TEST_F(HeadlessConvert, I420ToUyvyEqualsFfmpeg) {
  const auto out = dir_ / "out.uyvy";
  const Outcome o = Convert(I420(clip_), out, {"-S", "yuv422", "-O", "uyv", "-P", "packed"});
  EXPECT_EQ(o.exitCode, 0) << o.errors;
  EXPECT_EQ(o.errors, "") << "a successful job with -e exit prints nothing";
  EXPECT_EQ(o.output, "");
  const auto reference = dir_ / "ref.uyvy";
  ASSERT_EQ(
      std::system(("ffmpeg -loglevel error -f rawvideo -pix_fmt yuv420p -s 176x144 -i '" + clip_.string() +
                   "' -filter_threads 1 -sws_flags neighbor -pix_fmt uyvy422 -f rawvideo '" +
                   reference.string() + "'")
                      .c_str()),
      0);
  EXPECT_EQ(test::ReadFileBytes(out), test::ReadFileBytes(reference));
  const std::string history = test::ReadFileText(dir_ / "state" / "velutrix" / "yuv_file_history3.ini");
  EXPECT_NE(history.find("ImageFileName=" + out.string()), std::string::npos);
  EXPECT_NE(history.find("ReadWrite=1"), std::string::npos);

  const Outcome chatty =
      Convert(I420(clip_), dir_ / "again.uyvy", {"-S", "yuv422", "-O", "uyv", "-P", "packed"}, false);
  EXPECT_EQ(chatty.exitCode, 0);
  EXPECT_EQ(chatty.errors, "Converting finished!\n");
}

TEST_F(HeadlessConvert, LayoutOnlyConversionsRoundTrip) {
  struct Case {
    std::vector<std::string> there;   // destination options from I420
    std::vector<std::string> source;  // how to read the intermediate file
  } cases[] = {
      {{"-O", "yvu"}, {"-s", "yuv420", "-o", "yvu", "-f", "progressive", "-p", "planar"}},
      {{"-F", "interlaced"}, {"-s", "yuv420", "-o", "yuv", "-f", "interlaced", "-p", "planar"}},
  };
  for (const Case& c : cases) {
    const auto middle = dir_ / "middle.yuv";
    const auto back = dir_ / "back.yuv";
    ASSERT_EQ(Convert(I420(clip_), middle, c.there).exitCode, 0);
    std::vector<std::string> source = {"-n", middle.string(), "-w", "176", "-h", "144"};
    source.insert(source.end(), c.source.begin(), c.source.end());
    ASSERT_EQ(
        Convert(source, back, {"-S", "yuv420", "-O", "yuv", "-F", "progressive", "-P", "planar"}).exitCode,
        0);
    EXPECT_EQ(test::ReadFileBytes(back), test::ReadFileBytes(clip_)) << c.there[0];
  }
  // Packed <-> planar 4:4:4: through 4:4:4 packed, then planar, then packed again.
  const auto packed = dir_ / "packed.yuv", planar = dir_ / "planar.yuv", packedAgain = dir_ / "packed2.yuv";
  ASSERT_EQ(Convert(I420(clip_), packed, {"-S", "yuv444", "-P", "packed", "-O", "uyv"}).exitCode, 0);
  const std::vector<std::string> readPacked = {
      "-n", packed.string(), "-s", "yuv444", "-o", "uyv", "-p", "packed",
      "-f", "progressive",   "-w", "176",    "-h", "144"};
  ASSERT_EQ(Convert(readPacked, planar, {"-P", "planar"}).exitCode, 0);
  const std::vector<std::string> readPlanar = {
      "-n", planar.string(), "-s", "yuv444", "-o", "uyv", "-p", "planar",
      "-f", "progressive",   "-w", "176",    "-h", "144"};
  ASSERT_EQ(Convert(readPlanar, packedAgain, {"-P", "packed"}).exitCode, 0);
  EXPECT_EQ(test::ReadFileBytes(packedAgain), test::ReadFileBytes(packed));
}

TEST_F(HeadlessConvert, RawToBmpSequenceAndBack) {
  const auto clip12 = MakeClip(dir_.path(), 12);
  const Outcome o = Convert(I420(clip12), dir_ / "pic.bmp", {"-S", "bmp"});
  ASSERT_EQ(o.exitCode, 0) << o.errors;
  for (int k = 0; k < 12; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "pic_%04d.bmp", k);
    EXPECT_TRUE(std::filesystem::exists(dir_ / name)) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_ / "pic_0012.bmp"));
  // The pictures hold the frames' RGB: the same bytes as a raw RGB conversion,
  // read back by ImageMagick and by our own BMP source.
  const auto direct = dir_ / "direct.rgb";
  ASSERT_EQ(Convert(I420(clip12), direct, {"-S", "rgb444", "-O", "rgb", "-P", "packed"}).exitCode, 0);
  const auto viaBmp = dir_ / "frames.rgb";
  const Outcome b = Convert({"-n", (dir_ / "pic_%04d.bmp").string(), "-s", "bmp"}, viaBmp,
                            {"-S", "rgb444", "-O", "rgb", "-P", "packed"});
  ASSERT_EQ(b.exitCode, 0) << b.errors;
  EXPECT_EQ(test::ReadFileBytes(viaBmp), test::ReadFileBytes(direct));
  if (std::system("command -v convert >/dev/null 2>&1") == 0) {
    const auto firstRgb = dir_ / "first.rgb";
    ASSERT_EQ(
        std::system(
            ("convert '" + (dir_ / "pic_0000.bmp").string() + "' rgb:'" + firstRgb.string() + "'").c_str()),
        0);
    const auto all = test::ReadFileBytes(direct);
    EXPECT_EQ(test::ReadFileBytes(firstRgb), std::vector<uint8_t>(all.begin(), all.begin() + 176 * 144 * 3));
  }
  // And back to 4:2:0 through the colour formula: the same size, every frame.
  const auto back = dir_ / "back.yuv";
  ASSERT_EQ(Convert({"-n", (dir_ / "pic_%04d.bmp").string(), "-s", "bmp"}, back,
                    {"-S", "yuv420", "-O", "yuv", "-P", "planar", "-F", "progressive"})
                .exitCode,
            0);
  EXPECT_EQ(std::filesystem::file_size(back), std::filesystem::file_size(clip12));
}

TEST_F(HeadlessConvert, RefusalsEndWithCode8AndSameLayoutCopies) {
  const auto wide = MakeClip(dir_.path(), 2, "176x144");
  std::vector<std::string> odd = I420(wide);
  odd[odd.size() - 3] = "175";  // -w 175 read as 4:4:4 so that the source is valid
  odd[3] = "yuv444";
  odd[9] = "packed";
  const Outcome o = Convert(odd, dir_ / "odd.yuv", {"-S", "yuv420", "-P", "planar"});
  EXPECT_EQ(o.exitCode, 8);
  EXPECT_EQ(o.errors,
            "Error CONV1019: Input image width (175) is an odd number, the image cannot be convert to 420 "
            "format\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "odd.yuv")) << "refused before any file is opened";

  const Outcome missing = Convert({"-n", (dir_ / "none.yuv").string(), "-w", "176", "-h", "144"},
                                  dir_ / "x.yuv", {"-S", "yuv444"});
  EXPECT_EQ(missing.exitCode, 8);
  EXPECT_EQ(missing.errors, "Error CONV1014: Input file " + (dir_ / "none.yuv").string() + " not found\n");

  const auto copy = dir_ / "copy.yuv";
  const Outcome same = Convert(I420(clip_), copy, {"-S", "yuv420"});
  EXPECT_EQ(same.exitCode, 0);
  EXPECT_EQ(test::ReadFileBytes(copy), test::ReadFileBytes(clip_));
  const std::string history = test::ReadFileText(dir_ / "state" / "velutrix" / "yuv_file_history3.ini");
  EXPECT_EQ(history.find("copy.yuv"), std::string::npos) << "a plain copy shows no frame and adds no record";
}

TEST_F(HeadlessConvert, CropFlipAndJoinMatchFfmpegAndCat) {
  const std::string source = clip_.string();
  const std::vector<std::string> layout = {"-s",     "yuv420", "-o",  "yuv", "-f",  "progressive", "-p",
                                           "planar", "-w",     "176", "-h",  "144", "-e",          "exit"};
  auto run = [&](std::vector<std::string> args) {
    args.insert(args.end(), layout.begin(), layout.end());
    return Run(args);
  };
  auto ffmpeg = [&](const std::string& filter, const std::filesystem::path& out) {
    return std::system(("ffmpeg -loglevel error -y -f rawvideo -pix_fmt yuv420p -s 176x144 -i '" + source +
                        "' -vf " + filter + " -f rawvideo '" + out.string() + "'")
                           .c_str());
  };
  const Outcome crop =
      run({"-a", "crop", "-n", source, "-N", (dir_ / "crop.yuv").string(), "-c", "10,20,100,60"});
  ASSERT_EQ(crop.exitCode, 0) << crop.errors;
  ASSERT_EQ(ffmpeg("crop=60:100:20:10", dir_ / "crop_ref.yuv"), 0);
  EXPECT_EQ(test::ReadFileBytes(dir_ / "crop.yuv"), test::ReadFileBytes(dir_ / "crop_ref.yuv"));

  const Outcome flip = run({"-a", "flip", "-n", source, "-N", (dir_ / "flip.yuv").string()});
  ASSERT_EQ(flip.exitCode, 0) << flip.errors;
  ASSERT_EQ(ffmpeg("vflip", dir_ / "flip_ref.yuv"), 0);
  EXPECT_EQ(test::ReadFileBytes(dir_ / "flip.yuv"), test::ReadFileBytes(dir_ / "flip_ref.yuv"));

  const Outcome join = run(
      {"-a", "join", "-n", source, "-m", (dir_ / "flip.yuv").string(), "-N", (dir_ / "join.yuv").string()});
  ASSERT_EQ(join.exitCode, 0) << join.errors;
  auto expected = test::ReadFileBytes(clip_);
  const auto flipped = test::ReadFileBytes(dir_ / "flip.yuv");
  expected.insert(expected.end(), flipped.begin(), flipped.end());
  EXPECT_EQ(test::ReadFileBytes(dir_ / "join.yuv"), expected);

  const Outcome refused =
      run({"-a", "crop", "-n", source, "-N", (dir_ / "bad.yuv").string(), "-c", "1,0,8,8"});
  EXPECT_EQ(refused.exitCode, 8);
  EXPECT_EQ(refused.errors.substr(0, 15), "Error CROP1027:");
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

namespace vx {
namespace {

// Per-frame PSNR values (Y, U, V) of a report file or of ffmpeg's metadata print.
using PsnrRows = std::vector<std::array<double, 3>>;

PsnrRows ReportRows(const std::string& report) {
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

PsnrRows FfmpegRows(const std::string& metadata) {
  PsnrRows rows;
  std::istringstream lines(metadata);
  std::string line;
  while (std::getline(lines, line)) {
    for (int k = 0; k < 3; ++k) {
      const std::string key = std::string("lavfi.psnr.psnr.") + "yuv"[k] + "=";
      if (line.rfind(key, 0) != 0) continue;
      if (k == 0) rows.emplace_back();
      rows.back()[static_cast<size_t>(k)] = std::strtod(line.c_str() + key.size(), nullptr);
    }
  }
  return rows;
}

TEST_F(HeadlessConvert, PsnrAgreesWithFfmpegFrameByFrame) {
  // A second clip: the first with temporal noise on every component, so that each
  // frame and each component has its own error.
  const auto noisy = dir_ / "noisy.yuv";
  ASSERT_EQ(std::system(("ffmpeg -loglevel error -y -f rawvideo -pix_fmt yuv420p -s 176x144 -i '" +
                         clip_.string() + "' -vf noise=alls=18:allf=t+u -f rawvideo '" + noisy.string() + "'")
                            .c_str()),
            0);
  ASSERT_EQ(
      std::system(("ffmpeg -loglevel error -f rawvideo -pix_fmt yuv420p -s 176x144 -i '" + noisy.string() +
                   "' -f rawvideo -pix_fmt yuv420p -s 176x144 -i '" + clip_.string() +
                   "' -lavfi \"psnr,metadata=print:file=" + (dir_ / "meta.txt").string() + "\" -f null -")
                      .c_str()),
      0);
  const PsnrRows reference = FfmpegRows(test::ReadFileText(dir_ / "meta.txt"));
  ASSERT_EQ(reference.size(), 6u);
  for (const auto& row : reference) EXPECT_LT(row[1], 60.0);  // the chroma carries noise too

  const std::vector<std::string> layout = {"-s",     "yuv420", "-o",  "yuv", "-f",  "progressive", "-p",
                                           "planar", "-w",     "176", "-h",  "144", "-e",          "exit"};
  std::vector<std::string> args = {"-a", "psnr",         "-n", clip_.string(),
                                   "-m", noisy.string(), "-N", (dir_ / "report.txt").string()};
  args.insert(args.end(), layout.begin(), layout.end());
  const Outcome run = Run(args);
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  const std::string report = test::ReadFileText(dir_ / "report.xls");  // .txt becomes .xls
  const PsnrRows ours = ReportRows(report);
  ASSERT_EQ(ours.size(), reference.size());
  EXPECT_NE(report.find("\r\nAverage \t    "), std::string::npos);
  for (size_t f = 0; f < reference.size(); ++f) {
    for (size_t k = 0; k < 3; ++k) EXPECT_NEAR(ours[f][k], reference[f][k], 1e-4 + 1e-9) << "frame " << f + 1;
  }

  // Identical files: 100 dB for every value (ffmpeg says inf), comma style with -d.
  args = {"-a", "psnr", "-n", clip_.string(), "-m", clip_.string(), "-N", (dir_ / "same").string(),
          "-d", "comma"};
  args.insert(args.end(), layout.begin(), layout.end());
  const Outcome same = Run(args);
  ASSERT_EQ(same.exitCode, 0) << same.errors;
  std::string expected = "Frame,    SNR_Y,  SNR_U,  SNR_V\r\n";
  for (int f = 1; f <= 6; ++f)
    expected += "   " + std::to_string(f) + ",    100.0000,  100.0000,  100.0000 \r\n";
  expected += "Average,    100.0000,  100.0000,  100.0000 \r\n";
  EXPECT_EQ(test::ReadFileText(dir_ / "same.csv"), expected);

  // A missing second file fails the job.
  args = {
      "-a", "psnr", "-n", clip_.string(), "-m", (dir_ / "none.yuv").string(), "-N", (dir_ / "r").string()};
  args.insert(args.end(), layout.begin(), layout.end());
  const Outcome missing = Run(args);
  EXPECT_EQ(missing.exitCode, 8);
  EXPECT_EQ(missing.errors.substr(0, 15), "Error PSNR1007:");
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

// AVI files against ffmpeg and ffprobe.
class HeadlessAvi : public HeadlessConvert {
 protected:
  // An AVI of the clip made by ffmpeg with `codec` (extra options after it).
  std::filesystem::path FfmpegAvi(const std::string& name, const std::string& codec,
                                  const char* size = "176x144", int frames = 8,
                                  const char* source = "testsrc") {
    const auto path = dir_ / name;
    const std::string command = std::string("ffmpeg -loglevel error -y -f lavfi -i ") + source +
                                "=size=" + size + ":rate=25 -frames:v " + std::to_string(frames) + " -c:v " +
                                codec + " '" + path.string() + "'";
    return std::system(command.c_str()) == 0 ? path : std::filesystem::path();
  }
  // ffmpeg's own decoding of `avi` as B G R pixels, from frame `first` (from 0).
  std::vector<uint8_t> FfmpegBgr(const std::filesystem::path& avi, int first = 0) {
    const auto out = dir_ / "ref.bgr";
    const std::string select =
        first > 0 ? " -vf select='gte(n\\," + std::to_string(first) + ")' -vsync 0" : "";
    const std::string command = "ffmpeg -loglevel error -y -i '" + avi.string() + "'" + select +
                                " -pix_fmt bgr24 -f rawvideo '" + out.string() + "'";
    if (std::system(command.c_str()) != 0) return {};
    return test::ReadFileBytes(out);
  }
  Outcome Decode(const std::filesystem::path& avi, const std::filesystem::path& target,
                 std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"-a", "avi2yuv", "-n", avi.string(), "-N", target.string(),
                                     "-S", "rgb444",  "-O", "bgr",        "-P", "packed",
                                     "-W", "176",     "-H", "144",        "-e", "exit"};
    args.insert(args.end(), extra.begin(), extra.end());
    return Run(args);
  }
  // ffmpeg's decoding of `avi` as 4:2:0 samples, each picture once, converted by
  // our converter: the pixels our AVI path gives (one layout engine, one formula).
  std::vector<uint8_t> FfmpegSamplesAsBgr(const std::filesystem::path& avi, int frames) {
    const auto samples = dir_ / "samples.yuv", expected = dir_ / "expected.bgr";
    const std::string command = "ffmpeg -loglevel error -y -i '" + avi.string() +
                                "' -vsync passthrough -f rawvideo -pix_fmt yuv420p '" + samples.string() +
                                "'";
    if (std::system(command.c_str()) != 0) return {};
    if (test::ReadFileBytes(samples).size() != static_cast<size_t>(frames) * 176 * 144 * 3 / 2) return {};
    if (Convert(I420(samples), expected, {"-S", "rgb444", "-O", "bgr", "-P", "packed"}).exitCode != 0)
      return {};
    return test::ReadFileBytes(expected);
  }
  bool HasBFrames(const std::filesystem::path& avi) {
    const auto out = dir_ / "types.txt";
    const std::string command =
        "ffprobe -v error -select_streams v:0 -show_entries frame=pict_type -of csv=p=0 '" + avi.string() +
        "' >'" + out.string() + "'";
    return std::system(command.c_str()) == 0 && test::ReadFileText(out).find('B') != std::string::npos;
  }
  // avi2yuv of the whole 30-frame file, jobs over ranges that start at key
  // frames, at pictures read after a key frame but shown before it, and
  // elsewhere, and frames read out of order: every frame is ffmpeg's.
  void ExpectFfmpegsFrames(const std::filesystem::path& avi) {
    constexpr int kFrames = 30;
    constexpr size_t kFrame = 176 * 144 * 3;
    const std::vector<uint8_t> expected = FfmpegSamplesAsBgr(avi, kFrames);
    ASSERT_EQ(expected.size(), kFrames * kFrame);
    const auto whole = dir_ / "whole.bgr";
    const Outcome o = Decode(avi, whole);
    ASSERT_EQ(o.exitCode, 0) << o.errors;
    EXPECT_EQ(test::ReadFileBytes(whole), expected) << "the whole file";
    for (const auto& [first, last] : std::vector<std::pair<int, int>>{
             {7, 19}, {11, 20}, {12, 20}, {13, 30}, {24, 30}, {25, 25}, {30, 30}}) {
      AviToYuvJob job;
      ASSERT_TRUE(job.ChooseAvi(avi.string()));
      ASSERT_EQ(job.FrameCount, kFrames);
      job.TargetName = (dir_ / "range.bgr").string();
      static_cast<ImageFormat&>(job.TargetFormat) = test::Layout(RGB_444, BGR, Progressive, Packed, 176, 144);
      ComputeFrameSize(job.TargetFormat);
      job.StartFrame = first;
      job.EndFrame = last;
      job.ExitWhenDone = true;
      ToolJobObserver quiet;
      RecordingMessageSink recorder;
      ScopedMessageSink scope(recorder);
      ASSERT_EQ(job.FreezeAndRun(quiet), JobOutcome::Completed)
          << first << ".." << last << ": " << (recorder.Texts().empty() ? "" : recorder.Texts()[0]);
      const std::vector<uint8_t> range = test::ReadFileBytes(dir_ / "range.bgr");
      ASSERT_EQ(range.size(), static_cast<size_t>(last - first + 1) * kFrame) << first << ".." << last;
      EXPECT_TRUE(std::equal(range.begin(), range.end(),
                             expected.begin() + static_cast<ptrdiff_t>((first - 1) * kFrame)))
          << "frames " << first << " to " << last;
    }
    avi::OpenFailure failure = avi::OpenFailure::None;
    auto reader = avi::AviReader::Open(avi.string(), failure);
    ASSERT_TRUE(reader && reader->OpenDecoder());
    const auto tables = CurrentColourTables();
    std::vector<uint8_t> rows(kFrame);
    for (const int n : {20, 5, 13, 12, 30, 1, 25, 24, 11, 2, 29}) {
      ASSERT_TRUE(reader->ReadFrame(
          n, avi::BgrRows{.data = rows.data(), .stride = 176 * 3, .bottomUp = false}, *tables))
          << "frame " << n;
      EXPECT_TRUE(
          std::equal(rows.begin(), rows.end(), expected.begin() + static_cast<ptrdiff_t>((n - 1) * kFrame)))
          << "frame " << n << " read out of order";
    }
  }
  std::string Probe(const std::filesystem::path& avi) {
    const auto out = dir_ / "probe.txt";
    const std::string command =
        "ffprobe -v error -select_streams v:0 -show_entries "
        "stream=codec_name,codec_tag_string,width,height,nb_frames,r_frame_rate -of csv=p=0 '" +
        avi.string() + "' >'" + out.string() + "'";
    if (std::system(command.c_str()) != 0) return {};
    return test::ReadFileText(out);
  }
};

TEST_F(HeadlessAvi, RgbCodecsDecodeToFfmpegsOwnPixels) {
  for (const auto& [name, codec] :
       std::vector<std::pair<std::string, std::string>>{{"bgr.avi", "rawvideo -pix_fmt bgr24"},
                                                        {"huffyuv.avi", "huffyuv -pix_fmt rgb24"},
                                                        {"cinepak.avi", "cinepak"}}) {
    const auto avi = FfmpegAvi(name, codec);
    ASSERT_FALSE(avi.empty()) << codec;
    const auto out = dir_ / (name + ".bgr");
    const Outcome o = Decode(avi, out);
    ASSERT_EQ(o.exitCode, 0) << name << ": " << o.errors;
    EXPECT_EQ(test::ReadFileBytes(out), FfmpegBgr(avi)) << name;
  }
}

TEST_F(HeadlessAvi, SmallOddPicturesFillExactlyTheirRows) {
  // The library's conversion writes past the end of a row; rows sized exactly for
  // the picture, top-down and bottom-up, must get the pixels and nothing beyond.
  struct Case {
    const char* codec;
    int width, height;
  };
  for (const Case& c :
       {Case{"rawvideo -pix_fmt yuv420p -vtag I420", 1, 16}, Case{"mjpeg -pix_fmt yuvj420p", 3, 5},
        Case{"huffyuv -pix_fmt rgb24", 5, 3}, Case{"rawvideo -pix_fmt bgr24", 5, 3}}) {
    const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
    const auto avi = FfmpegAvi("small.avi", c.codec, size.c_str());
    ASSERT_FALSE(avi.empty()) << c.codec;
    const std::vector<uint8_t> reference = FfmpegBgr(avi);
    const size_t used = 3 * c.width, pitch = (used + 3) / 4 * 4;
    ASSERT_EQ(reference.size(), 8 * used * c.height) << c.codec;
    avi::OpenFailure failure = avi::OpenFailure::None;
    auto reader = avi::AviReader::Open(avi.string(), failure);
    ASSERT_TRUE(reader && reader->OpenDecoder()) << c.codec;
    const auto tables = CurrentColourTables();
    for (const bool bottomUp : {false, true}) {
      for (int n = 1; n <= 8; ++n) {
        std::vector<uint8_t> rows(pitch * c.height, 0xEE);  // a fresh block each time, for the sanitizer
        ASSERT_TRUE(reader->ReadFrame(
            n, avi::BgrRows{.data = rows.data(), .stride = static_cast<int64_t>(pitch), .bottomUp = bottomUp},
            *tables))
            << c.codec << " frame " << n;
        for (int r = 0; r < c.height; ++r) {
          const uint8_t* row = rows.data() + (bottomUp ? c.height - 1 - r : r) * pitch;
          const auto expected = reference.begin() + static_cast<ptrdiff_t>(((n - 1) * c.height + r) * used);
          EXPECT_TRUE(std::equal(row, row + used, expected)) << c.codec << " frame " << n << " row " << r;
          EXPECT_TRUE(std::all_of(row + used, row + pitch, [](uint8_t b) { return b == 0; })) << "padding";
        }
      }
    }
  }
}

TEST_F(HeadlessAvi, YuvCodecsDecodeAsTheirRawSamplesWouldConvert) {
  // ffmpeg's decoded samples, saved as a raw file and converted by our converter,
  // give the very pixels our AVI path gives: one layout engine, one formula.
  for (const auto& [name, codec, layout] :
       std::vector<std::array<std::string, 3>>{{"i420.avi", "rawvideo -pix_fmt yuv420p -vtag I420", "yuv420"},
                                               {"xvid.avi", "mpeg4 -vtag XVID", "yuv420"},
                                               {"mjpeg.avi", "mjpeg -pix_fmt yuvj420p", "yuv420"},
                                               {"huffyuv422.avi", "huffyuv -pix_fmt yuv422p", "yuv422"}}) {
    const auto avi = FfmpegAvi(name, codec);
    ASSERT_FALSE(avi.empty()) << codec;
    const auto samples = dir_ / (name + ".yuv");
    ASSERT_EQ(std::system(("ffmpeg -loglevel error -y -i '" + avi.string() + "' -f rawvideo '" +
                           samples.string() + "'")
                              .c_str()),
              0);
    const auto expected = dir_ / (name + ".expected.bgr");
    const Outcome converted = Convert({"-n", samples.string(), "-s", layout, "-o", "yuv", "-f", "progressive",
                                       "-p", "planar", "-w", "176", "-h", "144"},
                                      expected, {"-S", "rgb444", "-O", "bgr", "-P", "packed"});
    ASSERT_EQ(converted.exitCode, 0) << converted.errors;
    const auto out = dir_ / (name + ".bgr");
    const Outcome o = Decode(avi, out);
    ASSERT_EQ(o.exitCode, 0) << name << ": " << o.errors;
    EXPECT_EQ(test::ReadFileBytes(out), test::ReadFileBytes(expected)) << name;
  }
}

TEST_F(HeadlessAvi, ARangeThatStartsLateDecodesFromThatFrame) {
  // Key frames every 3: frame 5 is decoded from frame 4's key frame, not from the start.
  const auto avi = FfmpegAvi("late.avi", "mpeg4 -vtag XVID -g 3");
  ASSERT_FALSE(avi.empty());
  const auto all = dir_ / "all.bgr";
  ASSERT_EQ(Decode(avi, all).exitCode, 0);
  AviToYuvJob job;
  ASSERT_TRUE(job.ChooseAvi(avi.string()));
  EXPECT_EQ(job.FrameCount, 8);
  job.TargetName = (dir_ / "late.bgr").string();
  static_cast<ImageFormat&>(job.TargetFormat) = test::Layout(RGB_444, BGR, Progressive, Packed, 176, 144);
  ComputeFrameSize(job.TargetFormat);
  job.StartFrame = 5;
  ToolJobObserver quiet;
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  job.ExitWhenDone = true;
  ASSERT_EQ(job.FreezeAndRun(quiet), JobOutcome::Completed)
      << (recorder.Texts().empty() ? "" : recorder.Texts()[0]);
  const std::vector<uint8_t> whole = test::ReadFileBytes(all), late = test::ReadFileBytes(dir_ / "late.bgr");
  const size_t frame = 176 * 144 * 3;
  ASSERT_EQ(late.size(), 4 * frame);
  EXPECT_TRUE(std::equal(late.begin(), late.end(), whole.begin() + 4 * frame)) << "frames 5 to 8";
}

TEST_F(HeadlessAvi, Mpeg4BFramesGiveFfmpegsFramesWholeAndFromAnyStart) {
  // Key frames every 12 with B-frames: the decoder outputs each P- or I-frame one
  // packet late, and the B-frames shown just before a key frame are read after it.
  for (const char* b : {"1", "2"}) {
    SCOPED_TRACE(std::string("-bf ") + b);
    const auto avi = FfmpegAvi(std::string("bf") + b + ".avi",
                               std::string("mpeg4 -bf ") + b + " -q:v 4 -vtag XVID", "176x144", 30);
    ASSERT_FALSE(avi.empty());
    ASSERT_TRUE(HasBFrames(avi));
    ExpectFfmpegsFrames(avi);
  }
}

TEST_F(HeadlessAvi, H264BFramesGiveFfmpegsFramesWholeAndFromAnyStart) {
  if (std::system("ffmpeg -hide_banner -encoders 2>/dev/null | grep -q libx264") != 0)
    GTEST_SKIP() << "this ffmpeg has no libx264";
  // The encoder's defaults (B-frames in a pyramid on this moving picture, one key
  // frame), then key frames every 12 whose GOPs stay open: B-frames read after a
  // key frame refer to the pictures before it.
  for (const char* options : {"", " -x264-params keyint=12:open-gop=1:bframes=2:b-adapt=0"}) {
    SCOPED_TRACE(options);
    const auto avi =
        FfmpegAvi("h264.avi", std::string("libx264 -pix_fmt yuv420p") + options, "176x144", 30, "testsrc2");
    ASSERT_FALSE(avi.empty());
    ASSERT_TRUE(HasBFrames(avi));
    ExpectFfmpegsFrames(avi);
  }
}

TEST_F(HeadlessAvi, WritesAvisThatFfprobeReads) {
  for (const auto& [code, expected] :
       std::vector<std::pair<std::string, std::string>>{{"iyuv", "rawvideo,IYUV,176,144,30/1,6"},
                                                        {"I420", "rawvideo,I420,176,144,30/1,6"},
                                                        {"xvid", "mpeg4,XVID,176,144,30/1,6"},
                                                        {"divx", "mpeg4,DIVX,176,144,30/1,6"},
                                                        {"cvid", "cinepak,cvid,176,144,30/1,6"}}) {
    const auto avi = dir_ / (code + ".avi");
    std::vector<std::string> args = I420(clip_);
    args.insert(args.begin(), {"-a", "yuv2avi", "-N", avi.string(), "-v", code, "-e", "exit"});
    const Outcome o = Run(args);
    ASSERT_EQ(o.exitCode, 0) << code << ": " << o.errors;
    EXPECT_EQ(Probe(avi), expected + "\n") << code;
    // The stream handler is written as typed.
    const std::string bytes = test::ReadFileText(avi);
    EXPECT_NE(bytes.find("vids" + code), std::string::npos) << code;
  }
}

TEST_F(HeadlessAvi, RawToAviAndBackKeepsThePicture) {
  auto roundTrip = [&](const std::filesystem::path& raw, const std::filesystem::path& back) {
    const auto avi = dir_ / "round.avi";
    std::filesystem::remove(avi);
    std::vector<std::string> args = I420(raw);
    args.insert(args.begin(), {"-a", "yuv2avi", "-N", avi.string(), "-v", "iyuv", "-e", "exit"});
    const Outcome encoded = Run(args);
    ASSERT_EQ(encoded.exitCode, 0) << encoded.errors;
    const Outcome decoded =
        Run({"-a", "avi2yuv",     "-n", avi.string(), "-N", back.string(), "-S", "yuv420", "-O", "yuv",
             "-F", "progressive", "-P", "planar",     "-W", "176",         "-H", "144",    "-e", "exit"});
    ASSERT_EQ(decoded.exitCode, 0) << decoded.errors;
  };
  // The first trip clips the colours that no RGB pixel has; from then on a trip
  // costs only the formula's rounding.
  const auto once = dir_ / "once.yuv", twice = dir_ / "twice.yuv";
  roundTrip(clip_, once);
  roundTrip(once, twice);
  const std::vector<uint8_t> a = test::ReadFileBytes(once), b = test::ReadFileBytes(twice);
  ASSERT_EQ(a.size(), test::ReadFileBytes(clip_).size());
  ASSERT_EQ(a.size(), b.size());
  const size_t luma = 176 * 144, frame = luma * 3 / 2;
  int worstLuma = 0, worstChroma = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const int d = std::abs(int{a[i]} - int{b[i]});
    int& worst = i % frame < luma ? worstLuma : worstChroma;
    worst = std::max(worst, d);
  }
  EXPECT_LE(worstLuma, 4);
  EXPECT_LE(worstChroma, 8);
}

TEST_F(HeadlessAvi, IyuvFramesAreTheProgramsOwnFourTwoZero) {
  // The encoder's picture is the source shown in RGB, brought back to 4:2:0 with the
  // formula: the converter makes the same two steps through an RGB file.
  const auto avi = dir_ / "own.avi";
  std::vector<std::string> args = I420(clip_);
  args.insert(args.begin(), {"-a", "yuv2avi", "-N", avi.string(), "-v", "iyuv", "-e", "exit"});
  ASSERT_EQ(Run(args).exitCode, 0);
  const auto stored = dir_ / "stored.yuv";
  ASSERT_EQ(std::system(
                ("ffmpeg -loglevel error -y -i '" + avi.string() + "' -f rawvideo '" + stored.string() + "'")
                    .c_str()),
            0);
  const auto rgb = dir_ / "shown.rgb", expected = dir_ / "expected.yuv";
  ASSERT_EQ(Convert(I420(clip_), rgb, {"-S", "rgb444", "-O", "bgr", "-P", "packed"}).exitCode, 0);
  ASSERT_EQ(Convert({"-n", rgb.string(), "-s", "rgb444", "-o", "bgr", "-f", "progressive", "-p", "packed",
                     "-w", "176", "-h", "144"},
                    expected, {"-S", "yuv420", "-O", "yuv", "-F", "progressive", "-P", "planar"})
                .exitCode,
            0);
  EXPECT_EQ(test::ReadFileBytes(stored), test::ReadFileBytes(expected));
}

TEST_F(HeadlessAvi, BmpPicturesAreNumberedFromZeroAndCappedAt10240) {
  const auto avi = FfmpegAvi("few.avi", "rawvideo -pix_fmt bgr24");
  ASSERT_FALSE(avi.empty());
  const auto target = dir_ / "pic.bmp";
  const Outcome o = Run({"-a", "avi2yuv", "-n", avi.string(), "-N", target.string(), "-S", "bmp", "-W", "176",
                         "-H", "144", "-e", "exit"});
  ASSERT_EQ(o.exitCode, 0) << o.errors;
  for (int k = 0; k < 8; ++k) EXPECT_TRUE(std::filesystem::exists(dir_ / StrFormat("pic_%04d.bmp", k))) << k;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "pic_0008.bmp"));
  // A ".bmp" name without "-S bmp" gives the same pictures, not raw bytes under that name.
  const Outcome named = Run({"-a", "avi2yuv", "-n", avi.string(), "-N", (dir_ / "Named.BMP").string(), "-W",
                             "176", "-H", "144", "-e", "exit"});
  ASSERT_EQ(named.exitCode, 0) << named.errors;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "Named.BMP"));
  for (int k = 0; k < 8; ++k)
    EXPECT_EQ(test::ReadFileBytes(dir_ / StrFormat("Named_%04d.bmp", k)),
              test::ReadFileBytes(dir_ / StrFormat("pic_%04d.bmp", k)))
        << k;

  // 10241 frames: the command line says so and keeps 10240.
  const auto many = dir_ / "many.avi";
  ASSERT_EQ(std::system(("ffmpeg -loglevel error -y -f lavfi -i color=size=8x8:rate=25 -frames:v 10241 -c:v "
                         "rawvideo -pix_fmt bgr24 '" +
                         many.string() + "'")
                            .c_str()),
            0);
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  CommandLineRequest request;
  request.InputName = many.string();
  request.OutputName = (dir_ / "many.bmp").string();
  request.OutputFormat = {BMP, RGB, Progressive, Packed, 8, 8};
  AviToYuvJob job;
  ASSERT_TRUE(job.PrepareAviRequest(request));
  EXPECT_EQ(job.FrameCount, 10241);
  EXPECT_EQ(job.EndFrame, 10240);
  ASSERT_EQ(recorder.Texts().size(), 1u);
  EXPECT_EQ(recorder.Texts()[0],
            "Error TAVI1006: There are more than 10240 frames, only first 10240 frames are converted to BMP "
            "files\n");
}

TEST_F(HeadlessAvi, AStreamWithoutADecoderIsRefusedOnOpening) {
  const auto avi = FfmpegAvi("unknown.avi", "mpeg4 -vtag XVID");
  ASSERT_FALSE(avi.empty());
  std::string bytes = test::ReadFileText(avi);
  for (size_t at = bytes.find("XVID"); at != std::string::npos; at = bytes.find("XVID", at))
    bytes.replace(at, 4, "QQQQ");
  test::WriteFileBytes(avi, std::vector<uint8_t>(bytes.begin(), bytes.end()));
  const Outcome o = Decode(avi, dir_ / "unknown.bgr");
  EXPECT_EQ(o.exitCode, 8);
  EXPECT_EQ(o.errors.rfind("Error AVIT1002:  AVI stream cannot be decoded! \n", 0), 0u) << o.errors;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "unknown.bgr"));
}

TEST_F(HeadlessAvi, PictureSizesTheFramesDoNotHaveAreRefusedBeforeFrameBuffersAreMade) {
  // 32 x 32 clips whose bitmap header (and main header, when both are changed) says
  // another width. ffv1 and Cinepak decode whatever size the header gives: a width
  // of 1302083 cost 0.9 GB and wrote black frames; MPEG-4 stores its own size.
  struct Case {
    const char* codec;
    uint32_t width;
    bool mainToo;
    std::string refusal;
  };
  const std::string disagree =
      "Error AVIT1029: The AVI file's headers give different picture sizes; the file is damaged!\n";
  const std::string tooLarge =
      "Error AVIT1030: The AVI file's header gives a picture larger than 8192 pixels on a side or than "
      "8192 x 5120 in all; the file may be damaged!\n";
  for (const Case& c : {Case{"ffv1", 1302083, false, disagree}, Case{"cinepak", 1302083, false, disagree},
                        Case{"ffv1", 1302083, true, tooLarge}, Case{"cinepak", 9000, true, tooLarge},
                        Case{"mpeg4 -vtag XVID", 64, true,
                             "Error AVIT1031: The AVI file's header gives the picture size (64, 32), but its "
                             "frames decode to (32, 32); the file is damaged!\n"}}) {
    SCOPED_TRACE(std::string(c.codec) + " " + std::to_string(c.width) +
                 (c.mainToo ? " in both headers" : ""));
    const auto avi = FfmpegAvi("small.avi", c.codec, "32x32", 5);
    ASSERT_FALSE(avi.empty());
    std::vector<uint8_t> bytes = test::ReadFileBytes(avi);
    // The width follows biSize in the stream's BITMAPINFOHEADER, and is the ninth field of avih.
    auto patch = [&](const char* chunk, size_t field) {
      const size_t at = std::string(bytes.begin(), bytes.end()).find(chunk);
      ASSERT_NE(at, std::string::npos) << chunk;
      ASSERT_LE(at + 8 + field + 4, bytes.size());
      for (size_t i = 0; i < 4; ++i) bytes[at + 8 + field + i] = static_cast<uint8_t>(c.width >> (8 * i));
    };
    patch("strf", 4);
    if (c.mainToo) patch("avih", 32);
    const auto damaged = dir_ / "damaged.avi";
    test::WriteFileBytes(damaged, bytes);
    const auto target = dir_ / "damaged.yuv";
    const std::vector<std::string> args = {"-a", "avi2yuv",
                                           "-n", damaged.string(),
                                           "-N", target.string(),
                                           "-S", "yuv444",
                                           "-O", "yuv",
                                           "-F", "progressive",
                                           "-P", "planar",
                                           "-W", "32",
                                           "-H", "32",
                                           "-e", "exit"};
    const Outcome o = RunMeasured("timeout 20", args);
    EXPECT_EQ(o.exitCode, 8);
    EXPECT_EQ(o.errors, c.refusal);
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_GT(o.peakKilobytes, 0);
    EXPECT_LT(o.peakKilobytes, 300 * 1024) << "kilobytes at most, for a file of " << bytes.size() << " bytes";
  }
}

TEST_F(HeadlessAvi, RefusalsAndDamagedFiles) {
  const auto odd = FfmpegAvi("odd.avi", "rawvideo -pix_fmt bgr24", "351x144");
  ASSERT_FALSE(odd.empty());
  Outcome o = Run({"-a", "avi2yuv", "-n", odd.string(), "-N", (dir_ / "odd.yuv").string(), "-S", "yuv420",
                   "-P", "planar", "-W", "351", "-H", "144", "-e", "exit"});
  EXPECT_EQ(o.exitCode, 8);
  EXPECT_EQ(o.errors,
            "Error AVIT1011: Input image width (351) is an odd number, the image cannot be convert to 420 "
            "format\n");

  // No encoder for Indeo 5 here: nothing is written.
  std::vector<std::string> args = I420(clip_);
  args.insert(args.begin(), {"-a", "yuv2avi", "-N", (dir_ / "iv.avi").string(), "-v", "iv50", "-e", "exit"});
  o = Run(args);
  EXPECT_EQ(o.exitCode, 8);
  EXPECT_EQ(o.errors, "Error AVIF2006: Unable to make compressed stream\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "iv.avi"));

  // A truncated AVI fails cleanly, without a crash or a hang.
  const auto whole = FfmpegAvi("whole.avi", "mpeg4 -vtag XVID");
  ASSERT_FALSE(whole.empty());
  std::vector<uint8_t> bytes = test::ReadFileBytes(whole);
  for (const size_t keep : {bytes.size() / 2, size_t{300}, size_t{20}}) {
    const auto cut = dir_ / "cut.avi";
    test::WriteFileBytes(cut, std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(keep)));
    o = Decode(cut, dir_ / "cut.bgr");
    EXPECT_EQ(o.exitCode, 8) << keep << " bytes: " << o.errors;
    EXPECT_FALSE(o.errors.empty());
  }
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

TEST(AviTexts, CodesListsAndDiagnostics) {
  EXPECT_EQ(avi::FourccText(avi::FourccFromText("XVID")), "XVID");
  EXPECT_EQ(avi::FourccText(0), "unknown") << "a code that is not printable";
  EXPECT_EQ(CodecDiagnostics("iv50"), "No VFW codec associated with 4cc found.\r\n");
  EXPECT_EQ(CodecDiagnostics("XviD").rfind("Codec Name:  Xvid\r\nDescription: ", 0), 0u) << "case is ignored";
  EXPECT_NE(CodecDiagnostics("iyuv").find("\r\nDriver file: rawvideo\r\nHas \"About\" dialog:  No\r\nHas "
                                          "\"Config\" dialog: No\r\n"),
            std::string::npos);
  std::vector<std::string> codes;
  for (const avi::CodecInfo& c : avi::OfferedEncoders()) codes.push_back(c.code);
  EXPECT_EQ(codes.front(), "iyuv");
  EXPECT_EQ(std::count(codes.begin(), codes.end(), "iv50"), 0) << "no encoder, not offered";
  const std::string info = AviInformationText({{"XVID", "mpeg4", "MPEG-4 part 2", "mpeg4"}}, 0, 351, 144, 12);
  EXPECT_EQ(
      info,
      "Codec available on this computer:\nXVID:  mpeg4 MPEG-4 part 2\n         driver:  mpeg4\n \nVideo "
      "stream format of this file:     unknown\nImage resolution (width x height):    (351 x 144)\nNumber of "
      "frames: 12\n");
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

// Padding, separating and merging without a display, against ffmpeg's pad,
// fillborders and extractplanes filters.
class HeadlessComponents : public HeadlessConvert {
 protected:
  // ffmpeg's filter `graph` over the clip in `pixelFormat`, to one raw output per map.
  bool Ffmpeg(const std::filesystem::path& input, const char* pixelFormat, const std::string& tail) {
    const std::string command = std::string("ffmpeg -loglevel error -y -f rawvideo -pix_fmt ") + pixelFormat +
                                " -s 176x144 -i '" + input.string() + "' " + tail;
    return std::system(command.c_str()) == 0;
  }
  std::filesystem::path Yuv444Clip() {
    const auto path = dir_ / "clip444.yuv";
    return Ffmpeg(clip_, "yuv420p",
                  "-sws_flags neighbor -pix_fmt yuv444p -f rawvideo '" + path.string() + "'")
               ? path
               : std::filesystem::path();
  }
  std::vector<std::string> Layout(const std::filesystem::path& path, const char* sampling) {
    return {"-n",          path.string(), "-s",     sampling, "-o",  "yuv", "-f",
            "progressive", "-p",          "planar", "-w",     "176", "-h",  "144"};
  }
};

TEST_F(HeadlessComponents, PaddingEqualsFfmpegsPadAndFillborders) {
  const auto yuv444 = Yuv444Clip();
  ASSERT_FALSE(yuv444.empty());
  struct Case {
    std::filesystem::path source;
    const char *sampling, *pixelFormat;
  };
  for (const Case& c : {Case{clip_, "yuv420", "yuv420p"}, Case{yuv444, "yuv444", "yuv444p"}}) {
    const auto out = dir_ / "padded.yuv", reference = dir_ / "padded_ref.yuv";
    std::vector<std::string> args = Layout(c.source, c.sampling);
    args.insert(args.end(), {"-a", "pad", "-N", out.string(), "-W", "200", "-H", "160", "-c", "6,10"});
    const Outcome o = Run(args);
    ASSERT_EQ(o.exitCode, 0) << o.errors;
    EXPECT_EQ(o.errors, "Padding finished! The resolution of the new file is 200(W) x 160(H)!\n");
    ASSERT_TRUE(
        Ffmpeg(c.source, c.pixelFormat,
               "-vf pad=200:160:10:6,fillborders=left=10:right=14:top=6:bottom=10:mode=smear -f rawvideo '" +
                   reference.string() + "'"));
    EXPECT_EQ(test::ReadFileBytes(out), test::ReadFileBytes(reference)) << c.sampling;
  }
  // A fill colour: every border sample is the colour's, the picture is the source's.
  const auto filled = dir_ / "filled.yuv";
  std::vector<std::string> args = Layout(clip_, "yuv420");
  args.insert(args.end(),
              {"-a", "pad", "-N", filled.string(), "-W", "180", "-H", "144", "-k", "0,0,0", "-e", "exit"});
  ASSERT_EQ(Run(args).exitCode, 0);
  const auto in = test::ReadFileBytes(clip_), out = test::ReadFileBytes(filled);
  ASSERT_EQ(out.size(), 6u * 180 * 144 * 3 / 2);
  EXPECT_EQ(out[179], 16) << "black luma";
  EXPECT_EQ(out[180 * 144 + 89], 128) << "neutral chroma";
  EXPECT_TRUE(std::equal(in.begin(), in.begin() + 176, out.begin()));
  // A padded size smaller than the source fails the job.
  args = Layout(clip_, "yuv420");
  args.insert(args.end(), {"-a", "pad", "-N", (dir_ / "small.yuv").string(), "-W", "100", "-H", "100"});
  const Outcome refused = Run(args);
  EXPECT_EQ(refused.exitCode, 8);
  EXPECT_EQ(refused.errors.substr(0, 15), "Error PADD1007:");
}

TEST_F(HeadlessComponents, SeparateEqualsExtractplanesAndMergeGivesTheSourceBack) {
  const auto yuv444 = Yuv444Clip();
  ASSERT_FALSE(yuv444.empty());
  struct Case {
    std::filesystem::path source;
    const char *sampling, *pixelFormat;
  };
  for (const Case& c : {Case{clip_, "yuv420", "yuv420p"}, Case{yuv444, "yuv444", "yuv444p"}}) {
    std::vector<std::string> args = Layout(c.source, c.sampling);
    args.insert(args.end(), {"-a", "separate", "-N", (dir_ / "parts.yuv").string(), "-e", "exit"});
    const Outcome o = Run(args);
    ASSERT_EQ(o.exitCode, 0) << o.errors;
    EXPECT_EQ(o.errors.substr(0, 16), "The source file ") << "the summary is always shown";
    std::string maps = "-filter_complex extractplanes=y+u+v[y][u][v]";
    for (const char* plane : {"y", "u", "v"}) {
      maps += std::string(" -map [") + plane + "] -f rawvideo -pix_fmt gray '" + (dir_ / "ref.").string() +
              plane + "'";
    }
    ASSERT_TRUE(Ffmpeg(c.source, c.pixelFormat, maps));
    for (const char* plane : {"y", "u", "v"}) {
      EXPECT_EQ(test::ReadFileBytes(dir_ / (std::string("parts.") + plane)),
                test::ReadFileBytes(dir_ / (std::string("ref.") + plane)))
          << c.sampling << " " << plane;
    }
    const auto merged = dir_ / "merged.yuv";
    const Outcome m = Run({"-a", "merge", "-n", (dir_ / "parts").string(), "-N", merged.string(), "-s",
                           c.sampling, "-w", "176", "-h", "144"});
    ASSERT_EQ(m.exitCode, 0) << m.errors;
    EXPECT_EQ(test::ReadFileBytes(merged), test::ReadFileBytes(c.source)) << c.sampling;
  }
  // Missing components fail.
  const Outcome missing =
      Run({"-a", "merge", "-n", (dir_ / "none").string(), "-N", (dir_ / "x.yuv").string(), "-s", "yuv420"});
  EXPECT_EQ(missing.exitCode, 8);
  EXPECT_EQ(missing.errors, "Error MERG1018: Input file " + (dir_ / "none.y").string() + " not found\n");
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

class HeadlessOutputs : public HeadlessFaults {
 protected:
  // A 352 x 288 clip of 60 frames: long enough for two jobs to overlap.
  std::string BigClip() {
    const auto big = dir_ / "big.yuv";
    test::WriteFileBytes(big, test::RandomBytes(size_t{352} * 288 * 3 / 2 * 60, 8));
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
  const std::string big = BigClip();
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

}  // namespace
}  // namespace vx
