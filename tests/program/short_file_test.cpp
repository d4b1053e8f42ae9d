#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ProgramTestSupport.h"

namespace vx::test {
namespace {

// A file shorter than one frame: every action says so, with both sizes, and ends
// with code 8 writing nothing.
TEST_F(HeadlessProgram, AFileShorterThanOneFrameIsNamedWithBothSizes) {
  const auto shortFile = dir_ / "short.yuv", whole = dir_ / "whole.yuv", out = dir_ / "out.yuv";
  test::WriteFileBytes(shortFile, test::RandomBytes(100, 1));
  test::WriteFileBytes(whole, test::RandomBytes(2 * 384, 2));  // two 16 x 16 4:2:0 frames
  const std::vector<std::string> layout = {"-s", "yuv420", "-o", "yuv", "-f", "progressive",
                                           "-p", "planar", "-w", "16",  "-h", "16"};
  const std::string expected = "Error FRMT1018: File " + shortFile.string() +
                               " holds 100 bytes, less than one frame of the chosen layout (384 bytes)!\n";
  const std::vector<std::vector<std::string>> actions = {
      {"-a", "flip", "-n", shortFile.string(), "-N", out.string()},
      {"-a", "crop", "-n", shortFile.string(), "-N", out.string(), "-c", "0,0,8,8"},
      {"-a", "convert", "-n", shortFile.string(), "-N", out.string(), "-S", "yuv444"},
      {"-a", "join", "-n", whole.string(), "-m", shortFile.string(), "-N", out.string()},
      {"-a", "psnr", "-n", whole.string(), "-m", shortFile.string(), "-N", (dir_ / "report").string()},
  };
  for (std::vector<std::string> args : actions) {
    SCOPED_TRACE(args[1]);
    args.insert(args.end(), layout.begin(), layout.end());
    args.insert(args.end(), {"-e", "exit"});
    const Outcome o = Run(args);
    EXPECT_EQ(o.exitCode, 8);
    EXPECT_EQ(o.errors, expected);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "report.xls"));
  }
}

}  // namespace
}  // namespace vx::test
