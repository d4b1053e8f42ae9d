#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "ProgramTestSupport.h"
#include "avi/AviFile.h"
#include "model/Settings.h"
#include "platform/RawFile.h"
#include "platform/StringFormat.h"

namespace vx::test {
namespace {

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
#if !defined(__SANITIZE_ADDRESS__)
  // Under AddressSanitizer the reading alone takes about a second.
  EXPECT_LT(seconds, 1.5) << "a run should take well under 0.3 s; this machine's cores are shared";
#endif

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

TEST_F(HeadlessFaults, ARunKeepsThePickersFolderAndLoadsOlderSettingsFiles) {
  // A settings file from before the folder was kept: loaded, saved as it was.
  ProgramSettings older;
  older.Padding_Multiple_Width = 16;
  older.Grid1.Enabled = 1;
  std::filesystem::create_directories(SettingsFile().parent_path());
  test::WriteFileText(SettingsFile(), SettingsText(older));
  ASSERT_EQ(Action("flip", (dir_ / "f1.yuv").string()).exitCode, 0);
  ProgramSettings expected = older;
  ProgramSettings saved;
  ASSERT_EQ(ParseSettingsText(test::ReadFileText(SettingsFile()), saved), 111);
  EXPECT_EQ(saved.Format.ImgWidth, 16) << "the command line's layout is kept";
  expected.Format = saved.Format;
  EXPECT_EQ(SettingsText(saved), SettingsText(expected));
  EXPECT_EQ(test::ReadFileText(SettingsFile()).find("LastFolder"), std::string::npos);

  // The folder the pickers last used survives a run without windows.
  test::WriteFileText(SettingsFile(), test::ReadFileText(SettingsFile()) + "LastFolder: /clips/of today\n");
  ASSERT_EQ(Action("flip", (dir_ / "f2.yuv").string()).exitCode, 0);
  const std::string text = test::ReadFileText(SettingsFile());
  EXPECT_TRUE(text.ends_with("\nLastFolder: /clips/of today\n")) << text;
}

}  // namespace
}  // namespace vx::test
