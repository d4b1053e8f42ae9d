// Semi-planar layouts and deeper samples through the program: ffmpeg's bytes,
// the refusals, and what the settings and the history keep of the depth.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ProgramTestSupport.h"

namespace vx::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

constexpr const char* kSize = "64x48";
constexpr size_t kTimeField = 25;  // the history's time: 20 characters and five zero bytes

// "1,2,3" for {1, 2, 3} and ','.
std::string Listed(std::initializer_list<int> values, char separator) {
  std::string text;
  for (const int v : values) text += (text.empty() ? "" : std::string(1, separator)) + std::to_string(v);
  return text;
}

// The record of `name` in a history text, from its header to the next one.
std::string RecordOf(const std::string& history, const std::string& name) {
  const size_t at = history.find("ImageFileName=" + name + "\r\n");
  if (at == std::string::npos) return {};
  const size_t begin = history.rfind("[FileHistory", at);
  const size_t end = history.find("[FileHistory", at);
  return history.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

// What a record holds after its time field.
std::string AfterTheTime(const std::string& record) {
  if (record.empty()) return "(no record)";
  const size_t at = record.find("Open_Time= ");
  if (at == std::string::npos) return "(no time)";
  return record.substr(std::min(record.size(), at + 11 + kTimeField));
}

class HeadlessStoredLayouts : public HeadlessFfmpegClips {
 protected:
  // How the program reads a 64 x 48 progressive file.
  static Args Source(const fs::path& path, const std::string& sampling, const std::string& pixel,
                     const std::string& bits, const std::string& order = "yuv") {
    return {"-n", path.string(), "-s", sampling, "-o", order, "-f", "progressive",
            "-p", pixel,         "-b", bits,     "-w", "64",  "-h", "48"};
  }

  // A source in one ffmpeg format (made from a testsrc2 clip of `clip`), converted
  // by the program and by ffmpeg into the format `to`.
  struct FfmpegCase {
    const char* clip;
    const char* from;  // the source file's format; ffmpeg makes it from the clip
    Args read;         // -s, -p, -b and -o of the source
    Args write;        // the destination options
    const char* to;
    // Where ffmpeg's direct route differs, its bytes through this format first
    // (from 8 bits straight into P010 it repeats the high bits in the low ones).
    const char* through = nullptr;
  };
  void ExpectFfmpegsBytes(const FfmpegCase& c) {
    const fs::path clip = Clip(c.clip);
    const fs::path source = c.from == std::string(c.clip) ? clip : Ffmpeg(clip, c.clip, c.from);
    const fs::path target = dir_ / (std::string(c.from) + "_to_" + c.to + ".yuv");
    const Outcome o =
        Job("convert", Source(source, c.read[0], c.read[1], c.read[2], c.read[3]), target, c.write);
    EXPECT_EQ(o.exitCode, 0) << c.from << " -> " << c.to << ": " << o.errors;
    EXPECT_EQ(o.errors, "") << c.from << " -> " << c.to;
    const fs::path expected = c.through == nullptr
                                  ? Ffmpeg(source, c.from, c.to)
                                  : Ffmpeg(Ffmpeg(source, c.from, c.through), c.through, c.to);
    EXPECT_TRUE(SameFileBytes(target, expected)) << c.from << " -> " << c.to;
  }
};

TEST_F(HeadlessStoredLayouts, SemiPlanarEightBitFilesMatchFfmpeg) {
  const FfmpegCase cases[] = {
      {"yuv420p", "yuv420p", {"yuv420", "planar", "8", "yuv"}, {"-P", "semiplanar"}, "nv12"},
      {"yuv420p", "yuv420p", {"yuv420", "planar", "8", "yuv"}, {"-P", "semiplanar", "-O", "yvu"}, "nv21"},
      {"yuv420p", "nv12", {"yuv420", "semiplanar", "8", "yuv"}, {"-P", "planar"}, "yuv420p"},
      {"yuv420p", "nv21", {"yuv420", "semiplanar", "8", "yvu"}, {"-P", "planar", "-O", "yuv"}, "yuv420p"},
      {"yuv420p", "nv21", {"yuv420", "semiplanar", "8", "yvu"}, {"-O", "yuv"}, "nv12"},
      {"yuv444p", "yuv444p", {"yuv444", "planar", "8", "yuv"}, {"-P", "semiplanar"}, "nv24"},
      {"yuv444p", "yuv444p", {"yuv444", "planar", "8", "yuv"}, {"-P", "semiplanar", "-O", "yvu"}, "nv42"},
      {"yuv444p", "nv24", {"yuv444", "semiplanar", "8", "yuv"}, {"-P", "planar"}, "yuv444p"},
  };
  for (const FfmpegCase& c : cases) ExpectFfmpegsBytes(c);
}

// Frames too large for a second buffer are written in two parts, the luma plane
// while the chroma is made: on two processors and on one, ffmpeg's bytes.
TEST_F(HeadlessStoredLayouts, LargeFramesWrittenInTwoPartsMatchFfmpeg) {
  const std::string size = "2048x1536";  // 9.4 MB a frame at 10 bits
  const fs::path i010 = dir_ / "large_i010.yuv";
  ASSERT_EQ(std::system(("ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=" + size +
                         ":rate=25 -frames:v 3 -pix_fmt yuv420p10le -f rawvideo " + i010.string())
                            .c_str()),
            0);
  const fs::path p010 = Ffmpeg(i010, "yuv420p10le", "p010le", "", size);
  const Args layout = {"-s", "yuv420", "-o", "yuv",  "-f", "progressive",
                       "-b", "10",     "-w", "2048", "-h", "1536"};
  struct Case {
    fs::path source;
    const char* pixel;
    const char* to;
    fs::path expected;
  } cases[] = {{i010, "planar", "semiplanar", p010}, {p010, "semiplanar", "planar", i010}};
  for (const Case& c : cases) {
    for (const char* before : {"", "taskset -c 0"}) {
      const fs::path target = dir_ / "large_out.yuv";
      Args args = {"-a", "convert", "-n",  c.source.string(), "-p", c.pixel, "-N", target.string(), "-P",
                   c.to, "-e",      "exit"};
      args.insert(args.end(), layout.begin(), layout.end());
      const Outcome o = RunAfter(before, args);
      EXPECT_EQ(o.exitCode, 0) << c.pixel << " " << before << ": " << o.errors;
      EXPECT_TRUE(SameFileBytes(target, c.expected)) << c.pixel << " -> " << c.to << " " << before;
    }
  }
}

TEST_F(HeadlessStoredLayouts, LargeFramesConvertedAsTheyAreReadAreWrittenInTwoParts) {
  // 4K frames have one output buffer: NV12 read into I420 is written plane by
  // plane while the next part is made.
  const std::string size = "3840x2160";
  const fs::path i420 = dir_ / "large_i420.yuv";
  ASSERT_EQ(std::system(("ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=" + size +
                         ":rate=25 -frames:v 3 -pix_fmt yuv420p -f rawvideo " + i420.string())
                            .c_str()),
            0);
  const fs::path nv12 = Ffmpeg(i420, "yuv420p", "nv12", "", size);
  for (const char* before : {"", "taskset -c 0"}) {
    const fs::path target = dir_ / "large_out.yuv";
    const Outcome o =
        RunAfter(before, {"-a", "convert",     "-n", nv12.string(),   "-s", "yuv420", "-o", "yuv",
                          "-f", "progressive", "-p", "semiplanar",    "-w", "3840",   "-h", "2160",
                          "-b", "8",           "-N", target.string(), "-P", "planar", "-e", "exit"});
    EXPECT_EQ(o.exitCode, 0) << before << ": " << o.errors;
    EXPECT_TRUE(SameFileBytes(target, i420)) << before;
  }
}

TEST_F(HeadlessStoredLayouts, DeeperSamplesMatchFfmpeg) {
  const FfmpegCase cases[] = {
      // Low bits against high bits, both ways, and 16-bit semi-planar.
      {"yuv420p10le", "yuv420p10le", {"yuv420", "planar", "10", "yuv"}, {"-P", "semiplanar"}, "p010le"},
      {"yuv420p10le", "p010le", {"yuv420", "semiplanar", "10", "yuv"}, {"-P", "planar"}, "yuv420p10le"},
      {"yuv420p10le",
       "yuv420p10le",
       {"yuv420", "planar", "10", "yuv"},
       {"-P", "semiplanar", "-B", "16"},
       "p016le"},
      {"yuv422p10le", "yuv422p10le", {"yuv422", "planar", "10", "yuv"}, {"-P", "semiplanar"}, "p210le"},
      // Depth changes: up by a shift, down rounded.
      {"yuv420p10le", "yuv420p10le", {"yuv420", "planar", "10", "yuv"}, {"-B", "12"}, "yuv420p12le"},
      {"yuv420p", "yuv420p", {"yuv420", "planar", "8", "yuv"}, {"-B", "10"}, "yuv420p10le"},
      {"yuv420p10le", "yuv420p10le", {"yuv420", "planar", "10", "yuv"}, {"-B", "8"}, "yuv420p"},
      {"yuv420p10le",
       "p010le",
       {"yuv420", "semiplanar", "10", "yuv"},
       {"-P", "planar", "-B", "8"},
       "yuv420p"},
      {"yuv420p",
       "yuv420p",
       {"yuv420", "planar", "8", "yuv"},
       {"-P", "semiplanar", "-B", "10"},
       "p010le",
       "yuv420p10le"},
  };
  for (const FfmpegCase& c : cases) ExpectFfmpegsBytes(c);
}

TEST_F(HeadlessStoredLayouts, TwelveToEightBitsRoundsHalfTheDroppedStepUp) {
  const fs::path clip = Clip("yuv444p12le"), target = dir_ / "eight.yuv";
  const Outcome o = Job("convert", Source(clip, "yuv444", "planar", "12"), target, {"-B", "8"});
  ASSERT_EQ(o.exitCode, 0) << o.errors;
  const std::vector<uint8_t> words = ReadFileBytes(clip);
  std::vector<uint8_t> expected(words.size() / 2);
  for (size_t i = 0; i < expected.size(); ++i) {
    const int v = words[2 * i] | words[2 * i + 1] << 8;
    expected[i] = static_cast<uint8_t>(std::min((v + 8) >> 4, 255));
  }
  ASSERT_EQ(fs::file_size(target), expected.size());
  EXPECT_EQ(ReadFileBytes(target), expected);
}

TEST_F(HeadlessStoredLayouts, CropAndFlipOfNv12MatchFfmpeg) {
  const fs::path nv12 = Ffmpeg(Clip("yuv420p"), "yuv420p", "nv12");
  const Args source = Source(nv12, "yuv420", "semiplanar", "8");
  const fs::path crop = dir_ / "crop.yuv", flip = dir_ / "flip.yuv";
  const Outcome cropped = Job("crop", source, crop, {"-c", "8,16,24,32"});
  EXPECT_EQ(cropped.exitCode, 0) << cropped.errors;
  EXPECT_TRUE(SameFileBytes(crop, Ffmpeg(nv12, "nv12", "nv12", "crop=32:24:16:8")));
  const Outcome flipped = Job("flip", source, flip);
  EXPECT_EQ(flipped.exitCode, 0) << flipped.errors;
  EXPECT_TRUE(SameFileBytes(flip, Ffmpeg(nv12, "nv12", "nv12", "vflip")));
}

TEST_F(HeadlessStoredLayouts, LayoutsThatCannotBeStoredAreRefusedByTheirOption) {
  const fs::path clip = Clip("yuv420p"), target = dir_ / "never.yuv";
  const std::string notSemiPlanar =
      "Error FRMT1021: RGB, mono and BMP frames are never semi-planar; choose packed or planar!\n";
  struct Case {
    Args source, destination;
    int code;
    std::string errors;
  } cases[] = {
      {Source(clip, "yuv420", "planar", "9"),
       {"-P", "semiplanar"},
       1,
       "Sorry, -b option error: 9. Bits per sample must be 8, 10, 12 or 16 !\n"},
      {Source(clip, "yuv420", "planar", "8"),
       {"-B", "7"},
       1,
       "Sorry, -B option error: 7. Bits per sample must be 8, 10, 12 or 16 !\n"},
      {Source(clip, "yuv420", "planar", "8"),
       {"-B", "100"},
       1,
       "Sorry, -B option error: 100. Bits per sample must be 8, 10, 12 or 16 !\n"},
      {Source(clip, "yuv420", "planar", "8"), {"-P", "semiplanar", "-S", "rgb444"}, 7, notSemiPlanar},
      {Source(clip, "rgb444", "semiplanar", "8", "rgb"), {"-S", "yuv444"}, 7, notSemiPlanar},
      {Source(clip, "yuv420", "planar", "8"),
       {"-S", "yuv444", "-P", "semiplanar", "-O", "uyv"},
       7,
       "Error FRMT1022: Semi-planar chroma comes in the order YUV (U first) or YVU (V first)!\n"},
      {Source(clip, "yuv422", "planar", "8"),
       {"-P", "packed", "-B", "10"},
       1,
       "Error FRMT1023: Packed, RGB and BMP frames have 8-bit samples only, not 10!\n"},
  };
  for (const Case& c : cases) {
    const Outcome o = Job("convert", c.source, target, c.destination);
    const std::string what = c.destination[0] + " " + c.destination[1];
    EXPECT_EQ(o.exitCode, c.code) << what;
    EXPECT_EQ(o.errors, c.errors) << what;
    EXPECT_FALSE(fs::exists(target)) << what;
  }
}

TEST_F(HeadlessStoredLayouts, CropFlipAndJoinKeepDeeperSamplesAsFfmpegDoes) {
  struct Case {
    const char* format;  // the clip's, as ffmpeg names it
    Args read;           // -s, -p, -b and -o
    // Rectangles as -c takes them (top, left, height, width): both corners and
    // odd places where the sampling allows them.
    std::vector<std::array<int, 4>> rectangles;
  } cases[] = {
      {"yuv420p10le", {"yuv420", "planar", "10", "yuv"}, {{8, 16, 24, 32}, {0, 0, 2, 2}, {24, 32, 24, 32}}},
      {"yuv422p10le", {"yuv422", "planar", "10", "yuv"}, {{7, 6, 21, 34}, {47, 62, 1, 2}}},
      {"yuv444p12le", {"yuv444", "planar", "12", "yuv"}, {{7, 5, 21, 33}, {0, 0, 48, 64}, {47, 63, 1, 1}}},
      {"p010le", {"yuv420", "semiplanar", "10", "yuv"}, {{8, 16, 24, 32}, {46, 62, 2, 2}}},
      {"gray10le", {"mono", "planar", "10", "yuv"}, {{7, 5, 21, 33}, {0, 63, 48, 1}}},
  };
  for (const Case& c : cases) {
    // ffmpeg's P010 from testsrc2 repeats the high bits in the unused low ones;
    // through 10-bit planar they are 0, as the program writes them.
    const std::string name = c.format;
    const fs::path clip =
        name == "p010le" ? Ffmpeg(Clip("yuv420p10le"), "yuv420p10le", "p010le") : Clip(c.format);
    const Args source = Source(clip, c.read[0], c.read[1], c.read[2], c.read[3]);
    const fs::path flip = dir_ / (name + "_flip.yuv");
    const Outcome flipped = Job("flip", source, flip);
    EXPECT_EQ(flipped.exitCode, 0) << name << ": " << flipped.errors;
    EXPECT_EQ(flipped.errors, "") << name;
    EXPECT_TRUE(SameFileBytes(flip, Ffmpeg(clip, name, name, "vflip"))) << name;
    for (const auto& [top, left, height, width] : c.rectangles) {
      const std::string rectangle = Listed({top, left, height, width}, ',');
      const fs::path crop = dir_ / (name + "_crop.yuv");
      fs::remove(crop);
      const Outcome cropped = Job("crop", source, crop, {"-c", rectangle});
      EXPECT_EQ(cropped.exitCode, 0) << name << " " << rectangle << ": " << cropped.errors;
      EXPECT_EQ(cropped.errors, "") << name << " " << rectangle;
      const std::string filter = "crop=" + Listed({width, height, left, top}, ':');
      EXPECT_TRUE(SameFileBytes(crop, Ffmpeg(clip, name, name, filter))) << name << " " << rectangle;
    }
    // Join: the first file's frames, then the second's, as they are stored.
    const fs::path joined = dir_ / (name + "_joined.yuv");
    Args both = source;
    both.insert(both.end(), {"-m", flip.string()});
    const Outcome o = Job("join", both, joined);
    EXPECT_EQ(o.exitCode, 0) << name << ": " << o.errors;
    EXPECT_EQ(o.errors, "") << name;
    std::vector<uint8_t> expected = ReadFileBytes(clip);
    const std::vector<uint8_t> second = ReadFileBytes(flip);
    expected.insert(expected.end(), second.begin(), second.end());
    ASSERT_TRUE(fs::exists(joined)) << name;
    ASSERT_EQ(fs::file_size(joined), expected.size()) << name;
    EXPECT_EQ(ReadFileBytes(joined), expected) << name;
  }
}

TEST_F(HeadlessStoredLayouts, JoinCopiesInterlacedDeeperFramesToo) {
  const fs::path clip = Clip("yuv420p10le"), joined = dir_ / "joined.yuv";
  Args both = Source(clip, "yuv420", "planar", "10");
  *(std::find(both.begin(), both.end(), "-f") + 1) = "interlaced";
  both.insert(both.end(), {"-m", clip.string()});
  const Outcome o = Job("join", both, joined);
  EXPECT_EQ(o.exitCode, 0) << o.errors;
  const std::vector<uint8_t> once = ReadFileBytes(clip);
  std::vector<uint8_t> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  ASSERT_TRUE(fs::exists(joined));
  ASSERT_EQ(fs::file_size(joined), twice.size());
  EXPECT_EQ(ReadFileBytes(joined), twice);
}

// The bytes of each 16-bit word of a file of deeper samples: the low ones (`high`
// false) or the high ones, as a file of 8-bit samples.
std::vector<uint8_t> BytesOfWords(const std::vector<uint8_t>& words, bool high) {
  std::vector<uint8_t> bytes;
  for (size_t i = high ? 1 : 0; i < words.size(); i += 2) bytes.push_back(words[i]);
  return bytes;
}

TEST_F(HeadlessStoredLayouts, FieldsAndOddHeightsKeepDeeperSamplesAsTheEightBitToolsMoveBytes) {
  // Each word's low bytes and high bytes through the 8-bit tool, put together
  // again: the deeper job must give the same words.
  const auto with = [](Args args, const std::string& option, const std::string& value) {
    *(std::find(args.begin(), args.end(), option) + 1) = value;
    return args;
  };
  struct Case {
    const char* name;
    const char* format;  // ffmpeg's
    Args read;           // as the program reads it, at 10 bits
    const char* action;
    Args options;
    // Words at the end of each frame that hold no sample (0 in a file of deeper
    // samples, whatever the 8-bit tool leaves there), and the frame's words.
    size_t unusedWords = 0, frameWords = 0;
  } cases[] = {
      {"interlaced 4:2:0 crop",
       "yuv420p10le",
       with(Source({}, "yuv420", "planar", "10"), "-f", "interlaced"),
       "crop",
       {"-c", "8,16,24,32"}},
      {"interlaced 4:2:2 crop",
       "yuv422p10le",
       with(Source({}, "yuv422", "planar", "10"), "-f", "interlaced"),
       "crop",
       {"-c", "6,6,22,34"}},
      {"interlaced 4:2:0 flip",
       "yuv420p10le",
       with(Source({}, "yuv420", "planar", "10"), "-f", "interlaced"),
       "flip",
       {}},
      {"interlaced mono flip",
       "gray10le",
       with(Source({}, "mono", "planar", "10"), "-f", "interlaced"),
       "flip",
       {}},
      {"4:2:0 flip of an odd height",
       "yuv420p10le",
       with(Source({}, "yuv420", "planar", "10"), "-h", "47"),
       "flip",
       {},
       64 * 47 * 3 / 2 - (64 * 47 + 2 * 32 * 23),
       64 * 47 * 3 / 2},
      {"interlaced 4:4:4 flip of an odd height",
       "yuv444p10le",
       with(with(Source({}, "yuv444", "planar", "10"), "-f", "interlaced"), "-h", "47"),
       "flip",
       {}},
  };
  for (const Case& c : cases) {
    const fs::path clip = Clip(c.format), deep = dir_ / "deep_out.yuv";
    const std::vector<uint8_t> words = ReadFileBytes(clip);
    const Outcome o = Job(c.action, with(c.read, "-n", clip.string()), deep, c.options);
    EXPECT_EQ(o.exitCode, 0) << c.name << ": " << o.errors;
    EXPECT_EQ(o.errors, "") << c.name;
    std::vector<uint8_t> halves[2];
    for (const bool high : {false, true}) {
      const fs::path in = dir_ / "half.yuv", out = dir_ / "half_out.yuv";
      WriteFileBytes(in, BytesOfWords(words, high));
      const Outcome eight = Job(c.action, with(with(c.read, "-n", in.string()), "-b", "8"), out, c.options);
      ASSERT_EQ(eight.exitCode, 0) << c.name << ": " << eight.errors;
      halves[high ? 1 : 0] = ReadFileBytes(out);
    }
    ASSERT_EQ(halves[0].size(), halves[1].size()) << c.name;
    std::vector<uint8_t> expected;
    for (size_t i = 0; i < halves[0].size(); ++i) {
      const bool unused = c.frameWords > 0 && i % c.frameWords >= c.frameWords - c.unusedWords;
      expected.insert(expected.end(),
                      {unused ? uint8_t{0} : halves[0][i], unused ? uint8_t{0} : halves[1][i]});
    }
    ASSERT_TRUE(fs::exists(deep)) << c.name;
    ASSERT_EQ(fs::file_size(deep), expected.size()) << c.name;
    EXPECT_TRUE(ReadFileBytes(deep) == expected) << c.name;
  }
}

TEST_F(HeadlessStoredLayouts, DeeperSamplesAreNotPassedThroughEightBits) {
  const fs::path ten = Clip("yuv420p10le");
  const Args ten420 = Source(ten, "yuv420", "planar", "10");
  const fs::path crop = dir_ / "crop.yuv";
  // An odd 4:2:0 start is refused as at 8 bits.
  const Outcome oddStart = Job("crop", ten420, crop, {"-c", "7,16,24,32"});
  EXPECT_EQ(oddStart.exitCode, 8);
  EXPECT_EQ(oddStart.errors,
            "Error CROP1027:  For YUV 420 format, every two vertical neighbor pixels share one U or V value, "
            "cropping must start on an even line numbers !\n");
  EXPECT_FALSE(fs::exists(crop));
}

TEST_F(HeadlessStoredLayouts, SettingsAndHistoryNameTheDepthOnlyAboveEightBits) {
  const fs::path eight = Clip("yuv420p"), ten = Clip("yuv420p10le");
  const fs::path nv21 = dir_ / "nv21.yuv", p010 = dir_ / "p010.yuv", again = dir_ / "again.yuv";
  // An 8-bit run keeps the old texts.
  const Outcome o8 =
      Job("convert", Source(eight, "yuv420", "planar", "8"), nv21, {"-P", "semiplanar", "-O", "yvu"});
  ASSERT_EQ(o8.exitCode, 0) << o8.errors;
  EXPECT_EQ(ReadFileText(SettingsFile()).find("BitsPerSample"), std::string::npos);
  const std::string record8 = RecordOf(HistoryText(), nv21.string());
  ASSERT_NE(record8, "") << HistoryText();
  EXPECT_NE(record8.find("\r\nPixelFormat=2\r\n"), std::string::npos) << record8;
  EXPECT_EQ(AfterTheTime(record8), "\r\n");

  // A 10-bit run: the settings' last line and a line after the record's time.
  const Outcome o10 = Job("convert", Source(ten, "yuv420", "planar", "10"), p010, {"-P", "semiplanar"});
  ASSERT_EQ(o10.exitCode, 0) << o10.errors;
  const std::string settings = ReadFileText(SettingsFile());
  EXPECT_TRUE(settings.ends_with("\nBitsPerSample: 10\n")) << settings;
  const std::string history = HistoryText();
  EXPECT_EQ(AfterTheTime(RecordOf(history, p010.string())), "\r\nBitsPerSample=10\r\n") << history;
  EXPECT_EQ(AfterTheTime(RecordOf(history, nv21.string())), "\r\n") << "the 8-bit record is left as it was";

  // The next run reads its source at the depth of the settings.
  const Outcome kept =
      Run({"-a", "convert", "-n", ten.string(), "-N", again.string(), "-P", "semiplanar", "-e", "exit",
           "-s", "yuv420",  "-o", "yuv",        "-f", "progressive",  "-p", "planar",     "-w", "64",
           "-h", "48"});
  ASSERT_EQ(kept.exitCode, 0) << kept.errors;
  EXPECT_TRUE(SameFileBytes(again, p010));

  // And 8 bits again takes the line out.
  const Outcome back =
      Job("convert", Source(eight, "yuv420", "planar", "8"), dir_ / "nv12.yuv", {"-P", "semiplanar"});
  ASSERT_EQ(back.exitCode, 0) << back.errors;
  EXPECT_EQ(ReadFileText(SettingsFile()).find("BitsPerSample"), std::string::npos);
}

TEST_F(HeadlessStoredLayouts, OnlyPlainCopiesStayOutOfHistoryWhateverTheStoredLayout) {
  // Only a plain copy stays out of the history. NV12, 10 bits from 8 and 8 from
  // 10 differ from their sources as much as NV21 or P010 do, which are recorded.
  const fs::path eight = Clip("yuv420p"), ten = Clip("yuv420p10le");
  struct Case {
    Args source, destination;
    const char* name;
    const char* afterTheTime;
  } cases[] = {
      {Source(eight, "yuv420", "planar", "8"), {"-P", "semiplanar", "-O", "yvu"}, "nv21.yuv", "\r\n"},
      {Source(ten, "yuv420", "planar", "10"), {"-P", "semiplanar"}, "p010.yuv", "\r\nBitsPerSample=10\r\n"},
      {Source(eight, "yuv420", "planar", "8"), {"-P", "semiplanar"}, "nv12.yuv", "\r\n"},
      {Source(eight, "yuv420", "planar", "8"), {"-B", "10"}, "ten.yuv", "\r\nBitsPerSample=10\r\n"},
      {Source(ten, "yuv420", "planar", "10"), {"-B", "8"}, "eight.yuv", "\r\n"},
      // And a plain copy stays out at any depth.
      {Source(eight, "yuv420", "planar", "8"), {"-S", "yuv420"}, "copy8.yuv", "(no record)"},
      {Source(ten, "yuv420", "planar", "10"), {"-S", "yuv420"}, "copy10.yuv", "(no record)"},
  };
  for (const Case& c : cases) {
    const Outcome o = Job("convert", c.source, dir_ / c.name, c.destination);
    ASSERT_EQ(o.exitCode, 0) << c.name << ": " << o.errors;
    EXPECT_EQ(AfterTheTime(RecordOf(HistoryText(), (dir_ / c.name).string())), c.afterTheTime) << c.name;
  }
}

// 16-bit little-endian words of a file.
std::vector<uint32_t> Words(const std::vector<uint8_t>& bytes) {
  std::vector<uint32_t> words(bytes.size() / 2);
  for (size_t i = 0; i < words.size(); ++i) words[i] = bytes[2 * i] | uint32_t{bytes[2 * i + 1]} << 8;
  return words;
}

TEST_F(HeadlessStoredLayouts, ResamplingIntoDeeperSamplesWorksAtFullDepth) {
  constexpr size_t kW = 64, kH = 48, kFrames = 3;
  // 10-bit 4:2:2 to 10-bit 4:2:0: chroma pairs of rows averaged, truncated, at 10 bits.
  const fs::path deep422 = Clip("yuv422p10le"), deep420 = dir_ / "420.yuv";
  const Outcome resampled =
      Job("convert", Source(deep422, "yuv422", "planar", "10"), deep420, {"-S", "yuv420"});
  ASSERT_EQ(resampled.exitCode, 0) << resampled.errors;
  const std::vector<uint32_t> in = Words(ReadFileBytes(deep422)), out = Words(ReadFileBytes(deep420));
  ASSERT_EQ(in.size(), kW * kH * 2 * kFrames);
  ASSERT_EQ(out.size(), kW * kH * 3 / 2 * kFrames);
  std::vector<uint32_t> expected;
  for (size_t f = 0; f < kFrames; ++f) {
    const uint32_t* frame = in.data() + f * kW * kH * 2;
    expected.insert(expected.end(), frame, frame + kW * kH);
    for (size_t plane = 0; plane < 2; ++plane) {
      const uint32_t* chroma = frame + kW * kH + plane * kW / 2 * kH;
      for (size_t r = 0; r < kH / 2; ++r) {
        for (size_t x = 0; x < kW / 2; ++x)
          expected.push_back((chroma[2 * r * kW / 2 + x] + chroma[(2 * r + 1) * kW / 2 + x]) >> 1);
      }
    }
  }
  EXPECT_EQ(out, expected);

  // 8-bit 4:4:4 to P010: widened before the quads are averaged, so each 10-bit
  // chroma sample is the sum of its four 8-bit samples.
  const fs::path eight444 = Clip("yuv444p"), p010 = dir_ / "p010.yuv";
  const Outcome widened = Job("convert", Source(eight444, "yuv444", "planar", "8"), p010,
                              {"-S", "yuv420", "-P", "semiplanar", "-B", "10"});
  ASSERT_EQ(widened.exitCode, 0) << widened.errors;
  const std::vector<uint8_t> bytes = ReadFileBytes(eight444);
  const std::vector<uint32_t> pairs = Words(ReadFileBytes(p010));
  ASSERT_EQ(bytes.size(), kW * kH * 3 * kFrames);
  ASSERT_EQ(pairs.size(), kW * kH * 3 / 2 * kFrames);
  for (size_t y = 0; y < kW * kH; ++y) ASSERT_EQ(pairs[y], uint32_t{bytes[y]} << 8) << y;  // 10 bits, high
  for (size_t r = 0; r < kH / 2; ++r) {
    for (size_t x = 0; x < kW / 2; ++x) {
      for (size_t c = 0; c < 2; ++c) {
        const uint8_t* plane = bytes.data() + (c + 1) * kW * kH;
        const uint32_t sum = plane[2 * r * kW + 2 * x] + plane[2 * r * kW + 2 * x + 1] +
                             plane[(2 * r + 1) * kW + 2 * x] + plane[(2 * r + 1) * kW + 2 * x + 1];
        ASSERT_EQ(pairs[kW * kH + r * kW + 2 * x + c], sum << 6) << r << " " << x << " " << c;
      }
    }
  }

  // Sizes and field formats change too; -B 8 still gives the 8-bit resampling.
  const fs::path scaled = dir_ / "scaled.yuv", fields = dir_ / "fields.yuv";
  const Outcome scaling = Job("convert", Source(deep420, "yuv420", "planar", "10"), scaled,
                              {"-S", "yuv444", "-W", "96", "-H", "70", "-F", "interlaced", "-B", "12"});
  ASSERT_EQ(scaling.exitCode, 0) << scaling.errors;
  EXPECT_EQ(fs::file_size(scaled), 96u * 70 * 3 * 2 * kFrames);
  const std::vector<uint32_t> twelve = Words(ReadFileBytes(scaled));
  EXPECT_LE(*std::max_element(twelve.begin(), twelve.end()), 4095u);
  EXPECT_GT(*std::max_element(twelve.begin(), twelve.end()), 3000u);
  const fs::path eight = dir_ / "eight.yuv", twoSteps = dir_ / "two_steps.yuv";
  ASSERT_EQ(
      Job("convert", Source(deep422, "yuv422", "planar", "10"), fields, {"-S", "yuv420", "-B", "8"}).exitCode,
      0);
  ASSERT_EQ(Job("convert", Source(deep422, "yuv422", "planar", "10"), eight, {"-B", "8"}).exitCode, 0);
  ASSERT_EQ(Job("convert", Source(eight, "yuv422", "planar", "8"), twoSteps, {"-S", "yuv420"}).exitCode, 0);
  EXPECT_EQ(fs::file_size(fields), kW * kH * 3 / 2 * kFrames);
  EXPECT_TRUE(SameFileBytes(fields, twoSteps));
}

}  // namespace
}  // namespace vx::test
