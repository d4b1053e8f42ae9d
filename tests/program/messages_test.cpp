// The AVI tools' refusals as the program gives them from the command line: the
// exact text on the error stream and the exit code.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ProgramTestSupport.h"

namespace vx::test {
namespace {

class AviMessages : public HeadlessProgram {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed; scripts/setup installs it";
  }
  // An uncompressed AVI of `size` ("WxH") and 8 frames, made by ffmpeg.
  std::filesystem::path RawAvi(const std::string& name, const std::string& size) {
    const auto path = dir_ / name;
    const std::string command = "ffmpeg -loglevel error -y -f lavfi -i testsrc=size=" + size +
                                ":rate=25 -frames:v 8 -c:v rawvideo -pix_fmt bgr24 " + Quote(path.string());
    return std::system(command.c_str()) == 0 ? path : std::filesystem::path();
  }
  Outcome Decode(const std::filesystem::path& avi, const std::vector<std::string>& target) {
    std::vector<std::string> args = {"-a", "avi2yuv", "-n", avi.string(), "-N", (dir_ / "out.yuv").string(),
                                     "-e", "exit"};
    args.insert(args.end(), target.begin(), target.end());
    return Run(args);
  }
};

TEST_F(AviMessages, AviToYuvRefusals) {
  struct Case {
    std::string size;
    std::vector<std::string> target;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"351x144",
       {"-S", "yuv422", "-O", "yuv", "-F", "progressive", "-P", "packed", "-W", "351", "-H", "144"},
       "Error AVIT1010: Input image width (351) is an odd number, the image cannot be convert to 422 "
       "format\n"},
      {"352x143",
       {"-S", "yuv420", "-O", "yuv", "-F", "progressive", "-P", "planar", "-W", "352", "-H", "143"},
       "Error AVIT1012: Input image height (143) is an odd number, the image cannot be convert to 420 "
       "format\n"},
      {"352x143",
       {"-S", "yuv444", "-O", "yuv", "-F", "interlaced", "-P", "planar", "-W", "352", "-H", "143"},
       "Error AVIT1013: Input image height (143) is an odd number, the image cannot be convert to interlaced "
       "format\n"},
  };
  for (const Case& c : cases) {
    const auto avi = RawAvi("odd.avi", c.size);
    ASSERT_FALSE(avi.empty());
    const Outcome o = Decode(avi, c.target);
    EXPECT_EQ(o.exitCode, 8) << c.expected;
    EXPECT_EQ(o.errors, c.expected);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "out.yuv"));
  }
}

TEST_F(AviMessages, AviThatCannotBeDecoded) {
  const std::vector<std::string> bgr = {"-S", "rgb444", "-O", "bgr", "-P", "packed", "-W", "32", "-H", "32"};
  const auto avi = RawAvi("whole.avi", "32x32");
  ASSERT_FALSE(avi.empty());
  const std::vector<uint8_t> bytes = test::ReadFileBytes(avi);

  // A stream whose pixels are stored with 7 bits each: no decoder takes that layout.
  std::vector<uint8_t> odd = bytes;
  const size_t strf = std::string(odd.begin(), odd.end()).find("strf");
  ASSERT_NE(strf, std::string::npos);
  odd[strf + 8 + 14] = 7;  // biBitCount
  const auto sevenBits = dir_ / "seven.avi";
  test::WriteFileBytes(sevenBits, odd);
  Outcome o = Decode(sevenBits, bgr);
  EXPECT_EQ(o.exitCode, 8);
  EXPECT_EQ(o.errors, "Error AVI1000:  Cannot find the decoder filter, AVIStreamGetFrameOpen() failed!\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "out.yuv"));

  // The last frames cut off: the header still counts 8.
  const auto cut = dir_ / "cut.avi";
  test::WriteFileBytes(cut, std::vector<uint8_t>(bytes.begin(), bytes.end() - 4 * 32 * 32 * 3));
  o = Decode(cut, bgr);
  EXPECT_EQ(o.exitCode, 8);
  EXPECT_EQ(o.errors, "Error AVIT1026:  Error when decoding avi file!\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "out.yuv"));
}

TEST_F(AviMessages, YuvToAviRefusals) {
  struct Case {
    std::vector<std::string> layout;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{"-s", "yuv422", "-o", "yuv", "-f", "progressive", "-p", "packed", "-w", "175", "-h", "144"},
       "Error TAVI1008: Input image width (175) is an odd number, the image cannot be convert to 422 "
       "format\n"},
      {{"-s", "yuv420", "-o", "yuv", "-f", "progressive", "-p", "planar", "-w", "175", "-h", "144"},
       "Error TAVI1009: Input image width (175) is an odd number, the image cannot be convert to 420 "
       "format\n"},
      {{"-s", "yuv420", "-o", "yuv", "-f", "progressive", "-p", "planar", "-w", "176", "-h", "143"},
       "Error TAVI1010: Input image height (143) is an odd number, the image cannot be convert to 420 "
       "format\n"},
      {{"-s", "yuv422", "-o", "yuv", "-f", "interlaced", "-p", "packed", "-w", "176", "-h", "143"},
       "Error TAVI1011: Input image height (143) is an odd number, the image cannot be convert to interlaced "
       "format\n"},
  };
  const auto source = dir_ / "odd.yuv";
  test::WriteFileBytes(source, test::RandomBytes(176 * 144 * 2 * 2, 5));
  const auto avi = dir_ / "out.avi";
  for (const Case& c : cases) {
    std::vector<std::string> args = {"-a", "yuv2avi", "-n", source.string(), "-N", avi.string(),
                                     "-v", "iyuv",    "-e", "exit"};
    args.insert(args.end(), c.layout.begin(), c.layout.end());
    const Outcome o = Run(args);
    EXPECT_EQ(o.exitCode, 8) << c.expected;
    EXPECT_EQ(o.errors, c.expected);
    EXPECT_FALSE(std::filesystem::exists(avi));
  }
}

}  // namespace
}  // namespace vx::test
