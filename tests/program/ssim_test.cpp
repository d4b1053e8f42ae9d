#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "ProgramTestSupport.h"

namespace vx::test {
namespace {

using SsimRow = std::array<double, 4>;  // Y U V All

// ffmpeg's stats file: "n:1 Y:0.97 U:0.98 V:0.99 All:0.98 (17.1)" per frame.
std::vector<SsimRow> FfmpegSsimRows(const std::string& stats) {
  std::vector<SsimRow> rows;
  std::istringstream lines(stats);
  std::string line;
  while (std::getline(lines, line)) {
    SsimRow row{};
    if (std::sscanf(line.c_str(), "n:%*d Y:%lf U:%lf V:%lf All:%lf", &row[0], &row[1], &row[2], &row[3]) == 4)
      rows.push_back(row);
  }
  return rows;
}

// Our report's frame rows (the header and the average left out).
std::vector<SsimRow> ReportSsimRows(const std::string& report) {
  std::vector<SsimRow> rows;
  std::istringstream lines(report);
  std::string line;
  while (std::getline(lines, line)) {
    int frame = 0;
    SsimRow row{};
    if (std::sscanf(line.c_str(), "%d\t %lf\t %lf\t %lf\t %lf", &frame, &row[0], &row[1], &row[2], &row[3]) ==
        5)
      rows.push_back(row);
  }
  return rows;
}

class HeadlessSsim : public HeadlessProgram {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed; scripts/setup installs it";
  }
  static int System(const std::string& command) { return std::system(command.c_str()); }
  // Three frames of testsrc in `pixelFormat`, and the same blurred and with noise.
  void MakePair(const std::string& size, const std::string& pixelFormat, std::filesystem::path& sharp,
                std::filesystem::path& blurred) {
    sharp = dir_ / ("sharp_" + pixelFormat + "_" + size + ".yuv");
    blurred = dir_ / ("blurred_" + pixelFormat + "_" + size + ".yuv");
    ASSERT_EQ(
        System("ffmpeg -loglevel error -y -f lavfi -i testsrc=size=" + size +
               ":rate=25 -frames:v 3 -pix_fmt " + pixelFormat + " -f rawvideo '" + sharp.string() + "'"),
        0);
    ASSERT_EQ(System("ffmpeg -loglevel error -y -f rawvideo -pix_fmt " + pixelFormat + " -s " + size +
                     " -i '" + sharp.string() + "' -vf gblur=sigma=1.2,noise=alls=6:allf=t -pix_fmt " +
                     pixelFormat + " -f rawvideo '" + blurred.string() + "'"),
              0);
  }
  std::vector<SsimRow> FfmpegSsim(const std::string& size, const std::string& pixelFormat,
                                  const std::filesystem::path& a, const std::filesystem::path& b) {
    const auto stats = dir_ / "stats.log";
    const std::string input = "-f rawvideo -s " + size + " -pix_fmt " + pixelFormat + " -i ";
    EXPECT_EQ(System("ffmpeg -loglevel error -y " + input + "'" + a.string() + "' " + input + "'" +
                     b.string() + "' -lavfi ssim=stats_file='" + stats.string() + "' -f null -"),
              0);
    return FfmpegSsimRows(ReadFileText(stats));
  }
};

TEST_F(HeadlessSsim, AgreesWithFfmpegFrameByFrameInEachLayout) {
  struct Case {
    const char* pixelFormat;
    const char* width;
    const char* height;
    std::vector<std::string> layout;
  };
  const Case cases[] = {
      {"yuv420p", "64", "48", {"-s", "yuv420", "-b", "8"}},
      {"yuv422p", "64", "48", {"-s", "yuv422", "-b", "8"}},
      {"yuv444p", "64", "48", {"-s", "yuv444", "-b", "8"}},
      {"yuv420p10le", "64", "48", {"-s", "yuv420", "-b", "10"}},
      {"yuv420p", "66", "50", {"-s", "yuv420", "-b", "8"}},
  };
  // Each case names its depth: a run takes the options left out from the run before.
  for (const Case& c : cases) {
    const std::string size = std::string(c.width) + "x" + c.height;
    SCOPED_TRACE(std::string(c.pixelFormat) + " " + size);
    std::filesystem::path sharp, blurred;
    ASSERT_NO_FATAL_FAILURE(MakePair(size, c.pixelFormat, sharp, blurred));
    const std::vector<SsimRow> reference = FfmpegSsim(size, c.pixelFormat, sharp, blurred);
    ASSERT_EQ(reference.size(), 3u);
    std::vector<std::string> args = {
        "-a", "ssim",   "-n", sharp.string(), "-m", blurred.string(), "-N", (dir_ / "report").string(),
        "-o", "yuv",    "-f", "progressive",  "-p", "planar",         "-w", c.width,
        "-h", c.height, "-e", "exit"};
    args.insert(args.end(), c.layout.begin(), c.layout.end());
    const Outcome run = Run(args);
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    const std::vector<SsimRow> ours = ReportSsimRows(ReadFileText(dir_ / "report.xls"));
    ASSERT_EQ(ours.size(), reference.size());
    double largest = 0;
    for (size_t f = 0; f < ours.size(); ++f) {
      EXPECT_LT(reference[f][0], 0.99) << "the blur changes the picture";
      for (size_t k = 0; k < 4; ++k) {
        EXPECT_NEAR(ours[f][k], reference[f][k], 5e-5) << "frame " << f + 1 << " value " << k;
        largest = std::max(largest, std::fabs(ours[f][k] - reference[f][k]));
      }
    }
    std::printf("[ssim vs ffmpeg] %s %s: largest difference %.3g\n", c.pixelFormat, size.c_str(), largest);

    // A file against itself: exactly 1 everywhere.
    args[5] = sharp.string();
    ASSERT_EQ(Run(args).exitCode, 0);
    const std::vector<SsimRow> same = ReportSsimRows(ReadFileText(dir_ / "report.xls"));
    ASSERT_EQ(same.size(), 3u);
    for (const SsimRow& row : same) EXPECT_EQ(row, (SsimRow{1, 1, 1, 1}));
  }
}

// Two frames of 8 x 8 planar 4:4:4 in the order Y V U, every plane a single window
// of constant samples: SSIM (8192ab + c1) / (4096(a^2 + b^2) + c1).
TEST_F(HeadlessSsim, WritesTheReportByteForByteAndRefusesAsPsnrDoes) {
  const auto planes = [](uint8_t y, uint8_t v, uint8_t u) {
    std::vector<uint8_t> frame(64, y);
    frame.insert(frame.end(), 64, v);
    frame.insert(frame.end(), 64, u);
    return frame;
  };
  std::vector<uint8_t> a = planes(100, 128, 128), b = planes(50, 128, 60);
  const std::vector<uint8_t> same = planes(30, 40, 50);
  a.insert(a.end(), same.begin(), same.end());
  b.insert(b.end(), same.begin(), same.end());
  WriteFileBytes(dir_ / "a.yuv", a);
  WriteFileBytes(dir_ / "b.yuv", b);
  const std::vector<std::string> layout = {"-s", "yuv444", "-o", "yvu", "-f", "progressive",
                                           "-p", "planar", "-w", "8",   "-h", "8"};
  std::vector<std::string> args = {"-a", "ssim",
                                   "-n", (dir_ / "a.yuv").string(),
                                   "-m", (dir_ / "b.yuv").string(),
                                   "-N", (dir_ / "r.txt").string(),
                                   "-d", "comma",
                                   "-e", "exit"};
  args.insert(args.end(), layout.begin(), layout.end());
  const Outcome run = Run(args);
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "r.txt"));
  EXPECT_EQ(ReadFileText(dir_ / "r.csv"),
            "Frame,    SSIM_Y,  SSIM_U,  SSIM_V,  SSIM_All\r\n"
            "   1,    0.800002,  0.768616,  1.000000,  0.856206 \r\n"
            "   2,    1.000000,  1.000000,  1.000000,  1.000000 \r\n"
            "Average,    0.900001,  0.884308,  1.000000,  0.928103 \r\n");

  // Refusals: psnr's messages and exit codes.
  std::vector<std::string> missing = args;
  missing[5] = (dir_ / "none.yuv").string();
  std::vector<std::string> badDelimiter = args;
  badDelimiter[9] = "semicolon";
  std::vector<std::string> noSecond = {"-a", "ssim", "-n", (dir_ / "a.yuv").string(), "-N", "r"};
  noSecond.insert(noSecond.end(), layout.begin(), layout.end());
  for (auto [arguments, code] : {std::pair{missing, 8}, std::pair{badDelimiter, 6}, std::pair{noSecond, 1}}) {
    const Outcome ssim = Run(arguments);
    arguments[1] = "psnr";
    const Outcome psnr = Run(arguments);
    EXPECT_EQ(ssim.exitCode, code) << ssim.errors;
    EXPECT_EQ(psnr.exitCode, code) << psnr.errors;
    EXPECT_FALSE(ssim.errors.empty());
    if (code != 1) {
      EXPECT_EQ(ssim.errors, psnr.errors);
    }
  }
  // Planes without a window: 8 x 8 4:2:0 has 4 x 4 chroma.
  std::vector<std::string> small = args;
  small[small.size() - 11] = "yuv420";
  const Outcome refused = Run(small);
  EXPECT_EQ(refused.exitCode, 8);
  EXPECT_NE(refused.errors.find("Error PSNR1017: SSIM needs planes of at least 8 x 8 samples"),
            std::string::npos)
      << refused.errors;
}

}  // namespace
}  // namespace vx::test
