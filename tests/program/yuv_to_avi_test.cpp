#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ProgramTestSupport.h"

namespace vx::test {
namespace {

uint32_t DwordAt(const std::vector<uint8_t>& bytes, size_t at) {
  return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
         uint32_t{bytes[at + 3]} << 24;
}

TEST_F(HeadlessConvert, TheStreamHeaderHasFlags256AndTheHeapAsItsBufferSize) {
  for (const char* code : {"iyuv", "xvid"}) {
    SCOPED_TRACE(code);
    const auto avi = dir_ / (std::string(code) + ".avi");
    std::vector<std::string> args = I420(clip_);
    args.insert(args.begin(), {"-a", "yuv2avi", "-N", avi.string(), "-v", code, "-e", "exit"});
    const Outcome o = Run(args);
    ASSERT_EQ(o.exitCode, 0) << o.errors;
    const std::vector<uint8_t> bytes = test::ReadFileBytes(avi);
    const std::string text(bytes.begin(), bytes.end());
    // "strh", its size, "vids", the handler, then the flags and, 28 bytes on, the
    // suggested buffer size.
    const size_t strh = text.find("strh");
    ASSERT_NE(strh, std::string::npos);
    ASSERT_EQ(text.substr(strh + 8, 4), "vids");
    const size_t handler = strh + 12;
    EXPECT_EQ(text.substr(handler, 4), code);
    EXPECT_EQ(DwordAt(bytes, handler + 4), 256u) << "flags";
    EXPECT_EQ(DwordAt(bytes, handler + 32), 176u * 144 * 4) << "no screen: the picture's heap";
  }
}

TEST_F(HeadlessConvert, OddSizedSourcesAreRefusedBeforeAnyAviIsMade) {
  const auto avi = dir_ / "odd.avi";
  auto encode = [&](std::vector<std::string> source) {
    source.insert(source.begin(), {"-a", "yuv2avi", "-N", avi.string(), "-v", "iyuv", "-e", "exit"});
    return Run(source);
  };
  const std::string oddWidth =
      "Error TAVI1009: Input image width (175) is an odd number, the image cannot be convert to 420 format\n";
  const std::string oddHeight =
      "Error TAVI1010: Input image height (143) is an odd number, the image cannot be convert to 420 "
      "format\n";
  const auto yuv444 = dir_ / "wide.yuv", rgb = dir_ / "tall.rgb";
  test::WriteFileBytes(yuv444, test::RandomBytes(175 * 144 * 3 * 2, 1));
  test::WriteFileBytes(rgb, test::RandomBytes(176 * 143 * 3 * 2, 2));
  struct Case {
    std::vector<std::string> source;
    std::string expected;
  } cases[] = {
      {{"-n", yuv444.string(), "-s", "yuv444", "-o", "yuv", "-f", "progressive", "-p", "packed", "-w", "175",
        "-h", "144"},
       oddWidth},
      {{"-n", rgb.string(), "-s", "rgb444", "-o", "rgb", "-f", "progressive", "-p", "planar", "-w", "176",
        "-h", "143"},
       oddHeight},
      {{"-n", rgb.string(), "-s", "yuv422", "-o", "uyv", "-f", "progressive", "-p", "packed", "-w", "176",
        "-h", "143"},
       oddHeight},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source[1]);
    const Outcome o = encode(c.source);
    EXPECT_EQ(o.exitCode, 8);
    EXPECT_EQ(o.errors, c.expected);
    EXPECT_FALSE(std::filesystem::exists(avi));
  }
  // BMP pictures 175 pixels wide.
  ASSERT_EQ(Convert({"-n", yuv444.string(), "-s", "yuv444", "-o", "yuv", "-f", "progressive", "-p", "packed",
                     "-w", "175", "-h", "144"},
                    dir_ / "pic.bmp", {"-S", "bmp"})
                .exitCode,
            0);
  const Outcome pictures = encode({"-n", (dir_ / "pic_%04d.bmp").string(), "-s", "bmp"});
  EXPECT_EQ(pictures.exitCode, 8);
  EXPECT_EQ(pictures.errors, oddWidth);
  EXPECT_FALSE(std::filesystem::exists(avi));
}

}  // namespace
}  // namespace vx::test
