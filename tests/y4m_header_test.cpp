#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "image/Y4mHeader.h"

namespace vx {

void PrintTo(const Y4mStream& s, std::ostream* out) {
  *out << s.width << "x" << s.height << " F" << s.rateNumerator << ":" << s.rateDenominator << " chroma "
       << static_cast<int>(s.chroma) << " bits " << s.bits << " I" << s.interlace << " header "
       << s.headerBytes;
}

namespace {

Y4mStream Stream(int32_t w, int32_t h, int32_t num, int32_t den, Y4mChroma chroma, int32_t bits,
                 char interlace, int64_t headerBytes) {
  return {.width = w,
          .height = h,
          .rateNumerator = num,
          .rateDenominator = den,
          .chroma = chroma,
          .bits = bits,
          .interlace = interlace,
          .headerBytes = headerBytes};
}

TEST(Y4mHeader, ReadsTheHeadersWritersLeave) {
  struct Case {
    std::string header;
    Y4mStream expected;
  } cases[] = {
      {"YUV4MPEG2 W176 H144 F25:1 Ip A0:0 C420jpeg XYSCSS=420JPEG\n",
       Stream(176, 144, 25, 1, Y4mChroma::C420jpeg, 8, 'p', 58)},
      {"YUV4MPEG2 W1920 H1080 F30000:1001 It A1:1 C420p10 XYSCSS=420P10\n",
       Stream(1920, 1080, 30000, 1001, Y4mChroma::C420, 10, 't', 64)},
      {"YUV4MPEG2 W8192 H5120 F1:1 Ib C444p16\n", Stream(8192, 5120, 1, 1, Y4mChroma::C444, 16, 'b', 38)},
      {"YUV4MPEG2 W1 H1 Im Cmono12 XCOLORRANGE=FULL\n", Stream(1, 1, 25, 1, Y4mChroma::Mono, 12, 'm', 44)},
      // Defaults: 25 frames a second, progressive, 4:2:0 JPEG siting; extra spaces and
      // tags of later versions passed over.
      {"YUV4MPEG2  W16 H8  Z7\nFRAME\n", Stream(16, 8, 25, 1, Y4mChroma::C420jpeg, 8, 'p', 22)},
      {"YUV4MPEG2 W32 H16 C422\n", Stream(32, 16, 25, 1, Y4mChroma::C422, 8, 'p', 23)},
      {"YUV4MPEG2 W32 H16 C420paldv\n", Stream(32, 16, 25, 1, Y4mChroma::C420paldv, 8, 'p', 28)},
  };
  for (const Case& c : cases) {
    const Y4mHeaderReading read = ReadY4mStreamHeader(c.header + std::string("\x01\x02", 2));
    ASSERT_TRUE(read.stream) << c.header << read.problem;
    EXPECT_EQ(*read.stream, c.expected) << c.header;
    EXPECT_EQ(read.stream->headerBytes, static_cast<int64_t>(c.header.find('\n') + 1)) << c.header;
  }
}

TEST(Y4mHeader, DamagedHeadersSayWhatIsWrong) {
  struct Case {
    std::string header, problem;
  } cases[] = {
      {"YUV4MPEG W16 H8\n", "does not start with \"YUV4MPEG2 \""},
      {"YUV4MPEG2", "does not start with \"YUV4MPEG2 \""},
      {"", "does not start with \"YUV4MPEG2 \""},
      {"YUV4MPEG2 W16 H8", "has no line feed ending its header in its first 4096 bytes"},
      {"YUV4MPEG2 W16\n", "has a header without its width (W) and height (H)"},
      {"YUV4MPEG2 H16\n", "has a header without its width (W) and height (H)"},
      {"YUV4MPEG2 W0 H8\n", "has a header that gives the width \"0\", not a number from 1 to 8192"},
      {"YUV4MPEG2 W8193 H8\n", "has a header that gives the width \"8193\", not a number from 1 to 8192"},
      {"YUV4MPEG2 W16 H5121\n", "has a header that gives the height \"5121\", not a number from 1 to 5120"},
      {"YUV4MPEG2 W-16 H8\n", "has a header that gives the width \"-16\", not a number from 1 to 8192"},
      {"YUV4MPEG2 W16x H8\n", "has a header that gives the width \"16x\", not a number from 1 to 8192"},
      {"YUV4MPEG2 W99999999999 H8\n",
       "has a header that gives the width \"99999999999\", not a number from 1 to 8192"},
      {"YUV4MPEG2 W16 H8 F25\n",
       "has a header that gives the frame rate \"25\", not two positive numbers N:D"},
      {"YUV4MPEG2 W16 H8 F25:0\n",
       "has a header that gives the frame rate \"25:0\", not two positive numbers N:D"},
      {"YUV4MPEG2 W16 H8 I?\n", "has a header that gives the interlacing \"?\", not p, t, b or m"},
      {"YUV4MPEG2 W16 H8 Ipp\n", "has a header that gives the interlacing \"pp\", not p, t, b or m"},
      {"YUV4MPEG2 W16 H8 C411\n",
       "has a header that gives the colour space \"411\", which the program does not read"},
      {"YUV4MPEG2 W16 H8 C444alpha\n",
       "has a header that gives the colour space \"444alpha\", which the program does not read"},
      // A value of 32 characters is shown whole; one more is cut.
      {"YUV4MPEG2 W16 H8 C" + std::string(32, 'a') + "\n", "has a header that gives the colour space \"" +
                                                               std::string(32, 'a') +
                                                               "\", which the program does not read"},
      {"YUV4MPEG2 W16 H8 C" + std::string(33, 'a') + "\n", "has a header that gives the colour space \"" +
                                                               std::string(32, 'a') +
                                                               "...\", which the program does not read"},
      {std::string("YUV4MPEG2 W16 H8 C\x01\xff\n"),
       "has a header that gives the colour space \"\\x01\\xff\", which the program does not read"},
  };
  for (const Case& c : cases) {
    const Y4mHeaderReading read = ReadY4mStreamHeader(c.header);
    EXPECT_FALSE(read.stream) << c.header;
    EXPECT_EQ(read.problem, c.problem) << c.header;
  }
  // A header whose line feed is the 4096th byte is read; one byte later it is not.
  std::string longest = "YUV4MPEG2 W16 H8 X";
  longest += std::string(4095 - longest.size(), 'a') + "\n";
  ASSERT_EQ(longest.size(), 4096u);
  EXPECT_TRUE(ReadY4mStreamHeader(longest).stream);
  EXPECT_FALSE(ReadY4mStreamHeader(longest.insert(20, "a")).stream);
  EXPECT_EQ(Y4mHeaderMessage("/clips/a.y4m", "has a header without its width (W) and height (H)"),
            "Error Y4MR1001: The Y4M file /clips/a.y4m has a header without its width (W) and height (H)!\n");
}

TEST(Y4mHeader, FrameLinesWithAndWithoutParameters) {
  EXPECT_EQ(Y4mFrameLineBytes("FRAME\n\x10\x20"), 6);
  EXPECT_EQ(Y4mFrameLineBytes("FRAME Ip XTIME=1\nab"), 17);
  EXPECT_EQ(Y4mFrameLineBytes("FRAMES\n"), std::nullopt);
  EXPECT_EQ(Y4mFrameLineBytes("FRAM\n"), std::nullopt);
  EXPECT_EQ(Y4mFrameLineBytes("FRAME"), std::nullopt) << "a file cut inside its FRAME line";
  EXPECT_EQ(Y4mFrameLineBytes("\x10"
                              "FRAME\n"),
            std::nullopt);
}

TEST(Y4mHeader, SampleBytesRoundOddChromaUp) {
  // The planes a Y4M writer stores: yuv420p at 5 x 3 has chroma planes of 3 x 2.
  EXPECT_EQ(Y4mSampleBytes(Stream(5, 3, 25, 1, Y4mChroma::C420mpeg2, 8, 'p', 0)), 15 + 2 * 6);
  EXPECT_EQ(Y4mSampleBytes(Stream(5, 3, 25, 1, Y4mChroma::C422, 8, 'p', 0)), 15 + 2 * 9);
  EXPECT_EQ(Y4mSampleBytes(Stream(5, 3, 25, 1, Y4mChroma::C444, 10, 'p', 0)), 2 * 45);
  EXPECT_EQ(Y4mSampleBytes(Stream(5, 3, 25, 1, Y4mChroma::Mono, 16, 'p', 0)), 2 * 15);
  EXPECT_EQ(Y4mSampleBytes(Stream(8192, 5120, 25, 1, Y4mChroma::C444, 16, 'p', 0)), int64_t{8192} * 5120 * 6);
}

TEST(Y4mHeader, WrittenHeadersReadBackForEverySamplingAndDepth) {
  for (const Y4mChroma chroma : {Y4mChroma::C420jpeg, Y4mChroma::C420mpeg2, Y4mChroma::C420paldv,
                                 Y4mChroma::C420, Y4mChroma::C422, Y4mChroma::C444, Y4mChroma::Mono}) {
    for (const int32_t bits : {8, 10, 12, 16}) {
      const bool fourTwoZeroSiting =
          chroma == Y4mChroma::C420jpeg || chroma == Y4mChroma::C420mpeg2 || chroma == Y4mChroma::C420paldv;
      if (bits > 8 && fourTwoZeroSiting) continue;  // deeper 4:2:0 has one tag, C420pNN
      const Y4mStream stream = Stream(352, 288, 30000, 1001, chroma, bits, 't', 0);
      const std::string text = Y4mStreamHeaderText(stream);
      const Y4mHeaderReading read = ReadY4mStreamHeader(text);
      ASSERT_TRUE(read.stream) << text << read.problem;
      Y4mStream expected = stream;
      expected.headerBytes = static_cast<int64_t>(text.size());
      EXPECT_EQ(*read.stream, expected) << text;
    }
  }
  EXPECT_EQ(Y4mStreamHeaderText(Stream(176, 144, 25, 1, Y4mChroma::C420jpeg, 8, 'p', 0)),
            "YUV4MPEG2 W176 H144 F25:1 Ip A0:0 C420jpeg\n");
  EXPECT_EQ(Y4mStreamHeaderText(Stream(1920, 1080, 60, 1, Y4mChroma::C420, 10, 'p', 0)),
            "YUV4MPEG2 W1920 H1080 F60:1 Ip A0:0 C420p10\n");
}

}  // namespace
}  // namespace vx
