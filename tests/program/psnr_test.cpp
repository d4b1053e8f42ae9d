#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "ProgramTestSupport.h"
#include "avi/AviFile.h"

namespace vx::test {
namespace {

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
}  // namespace vx::test
