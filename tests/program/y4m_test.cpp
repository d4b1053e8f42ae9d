// Y4M files as ffmpeg writes them, read by the program's header reader.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "ProgramTestSupport.h"
#include "image/Y4mHeader.h"

namespace vx::test {
namespace {

TEST(Y4mFromFfmpeg, HeadersFrameLinesAndSampleBytesMatchTheFile) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed; scripts/setup installs it";
  struct Case {
    const char* pixelFormat;
    Y4mChroma chroma;
    int32_t bits;
  } cases[] = {{"yuv420p", Y4mChroma::C420jpeg, 8},  {"yuv422p", Y4mChroma::C422, 8},
               {"yuv444p", Y4mChroma::C444, 8},      {"gray", Y4mChroma::Mono, 8},
               {"yuv420p10le", Y4mChroma::C420, 10}, {"yuv422p12le", Y4mChroma::C422, 12},
               {"yuv444p16le", Y4mChroma::C444, 16}, {"gray10le", Y4mChroma::Mono, 10}};
  TempDir dir;
  // An odd height: chroma rows round up. (At an odd width ffmpeg writes deeper
  // chroma rows of half the row's bytes, rounded up: half a sample short.)
  for (const Case& c : cases) {
    const auto path = dir / (std::string(c.pixelFormat) + ".y4m");
    const std::string command =
        "ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=34x18:rate=30000/1001 -vf scale=36:17 "
        "-frames:v 3 -pix_fmt " +
        std::string(c.pixelFormat) + " -strict -1 " + Quote(path.string());
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::string bytes = ReadFileText(path);
    const Y4mHeaderReading read = ReadY4mStreamHeader(bytes);
    ASSERT_TRUE(read.stream) << c.pixelFormat << ": " << read.problem;
    const Y4mStream& s = *read.stream;
    EXPECT_EQ(s.width, 36) << c.pixelFormat;
    EXPECT_EQ(s.height, 17) << c.pixelFormat;
    EXPECT_EQ(s.rateNumerator, 30000) << c.pixelFormat;
    EXPECT_EQ(s.rateDenominator, 1001) << c.pixelFormat;
    EXPECT_EQ(s.chroma, c.chroma) << c.pixelFormat;
    EXPECT_EQ(s.bits, c.bits) << c.pixelFormat;
    // Three frames, each a FRAME line and its samples, and nothing else.
    int64_t at = s.headerBytes;
    for (int frame = 0; frame < 3; ++frame) {
      const auto line = Y4mFrameLineBytes(std::string_view(bytes).substr(static_cast<size_t>(at)));
      ASSERT_TRUE(line) << c.pixelFormat << " frame " << frame;
      at += *line + Y4mSampleBytes(s);
    }
    EXPECT_EQ(at, static_cast<int64_t>(bytes.size())) << c.pixelFormat;
  }
}

}  // namespace
}  // namespace vx::test
