// Padding, separating and merging samples above 8 bits through the program:
// ffmpeg's bytes where it makes the same file, the 8-bit tools' bytes scaled up
// where it does not, round trips and refusals.
#include <gtest/gtest.h>

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

// How the program reads a file.
struct Layout {
  std::string sampling, pixel, bits, field = "progressive", order = "yuv";
  int width = 64, height = 48;
  Args Options(const fs::path& path) const {
    return {"-n", path.string(),
            "-s", sampling,
            "-o", order,
            "-f", field,
            "-p", pixel,
            "-b", bits,
            "-w", std::to_string(width),
            "-h", std::to_string(height)};
  }
  Layout At(const std::string& depth) const {
    Layout deeper = *this;
    deeper.bits = depth;
    return deeper;
  }
};

// The bytes of an 8-bit file as samples of the same layout at a higher depth:
// each byte v a little-endian word v << shift (the depth's extra bits for planar
// and mono files, 8 for semi-planar ones, whose words hold the value high).
std::vector<uint8_t> ShiftedUp(const std::vector<uint8_t>& bytes, int shift) {
  std::vector<uint8_t> words;
  words.reserve(2 * bytes.size());
  for (const uint8_t v : bytes) {
    const auto word = static_cast<uint16_t>(v << shift);
    words.push_back(static_cast<uint8_t>(word));
    words.push_back(static_cast<uint8_t>(word >> 8));
  }
  return words;
}

class HeadlessDeepTools : public HeadlessFfmpegClips {
 protected:
  // P010 through 10-bit planar: the unused low bits are 0, as the program writes them
  // (ffmpeg's P010 straight from testsrc2 repeats the high bits there).
  fs::path P010Clip() { return Ffmpeg(Clip("yuv420p10le"), "yuv420p10le", "p010le"); }
  // ffmpeg's extractplanes: the Y, U and V planes of a file as files `<base>.y` ...
  void ExtractPlanes(const fs::path& source, const std::string& from, const std::string& to,
                     const fs::path& base) {
    std::string command = "ffmpeg -loglevel error -y -f rawvideo -pix_fmt " + from + " -s " + kSize + " -i " +
                          Quote(source.string()) + " -filter_complex extractplanes=y+u+v[y][u][v]";
    for (const char* plane : {"y", "u", "v"}) {
      command += std::string(" -map [") + plane + "] -f rawvideo -pix_fmt " + to + " " +
                 Quote(base.string() + "." + plane);
    }
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
  }
  Outcome Merge(const fs::path& base, const fs::path& target, const std::string& sampling,
                const std::string& bits) {
    return Run({"-a", "merge", "-n", base.string(), "-N", target.string(), "-s", sampling, "-p", "planar",
                "-b", bits, "-w", "64", "-h", "48", "-e", "exit"});
  }
};

// ---- padding ---------------------------------------------------------------------

TEST_F(HeadlessDeepTools, PaddingRepeatsTheEdgesAtFullDepthAsFfmpegsPadAndFillbordersDo) {
  struct Case {
    const char* format;  // ffmpeg's name
    Layout layout;
  } cases[] = {
      {"yuv420p10le", {"yuv420", "planar", "10"}}, {"p010le", {"yuv420", "semiplanar", "10"}},
      {"gray10le", {"mono", "planar", "10"}},      {"yuv422p12le", {"yuv422", "planar", "12"}},
      {"yuv444p16le", {"yuv444", "planar", "16"}},
  };
  // 64 x 48 at row 6, column 10 of 80 x 60: 6 columns on the right, 6 rows below.
  const std::string filter = "pad=80:60:10:6,fillborders=left=10:right=6:top=6:bottom=6:mode=smear";
  for (const Case& c : cases) {
    const std::string name = c.format;
    const fs::path clip = name == "p010le" ? P010Clip() : Clip(name), padded = dir_ / (name + "_pad.yuv");
    const Outcome o = Job("pad", c.layout.Options(clip), padded, {"-W", "80", "-H", "60", "-c", "6,10"});
    EXPECT_EQ(o.exitCode, 0) << name << ": " << o.errors;
    EXPECT_EQ(o.errors, "Padding finished! The resolution of the new file is 80(W) x 60(H)!\n") << name;
    EXPECT_TRUE(SameFileBytes(padded, Ffmpeg(clip, name, name, filter))) << name;
  }
}

TEST_F(HeadlessDeepTools, PaddingFillsWithTheEightBitColourScaledUp) {
  // ffmpeg's own pad at 10 bits puts neutral chroma at 514 (its colour arithmetic
  // scales to 1023, not by 4): the program's black is ffmpeg's 8-bit black padding
  // brought to 10 bits, 64 and 512, the colour formula's ranges scaled.
  struct Case {
    const char* format;
    Layout layout;
    const char* eightBit;  // the same layout at 8 bits
  } cases[] = {
      {"yuv420p10le", {"yuv420", "planar", "10"}, "yuv420p"},
      {"p010le", {"yuv420", "semiplanar", "10"}, "yuv420p"},
      {"gray10le", {"mono", "planar", "10"}, "gray"},
  };
  for (const Case& c : cases) {
    const std::string name = c.format;
    const fs::path eight = Clip(c.eightBit);
    // The 8-bit clip at 10 bits (a shift), and its padding the same way.
    const auto tenBit = [&](const fs::path& file, const std::string& size) {
      if (name != "p010le") return Ffmpeg(file, c.eightBit, name, "", size);
      return Ffmpeg(Ffmpeg(file, c.eightBit, "yuv420p10le", "", size), "yuv420p10le", name, "", size);
    };
    const fs::path source = tenBit(eight, kSize), padded = dir_ / (name + "_black.yuv");
    const Outcome o =
        Job("pad", c.layout.Options(source), padded, {"-W", "80", "-H", "60", "-c", "6,10", "-k", "0,0,0"});
    EXPECT_EQ(o.exitCode, 0) << name << ": " << o.errors;
    const fs::path expected = tenBit(Ffmpeg(eight, c.eightBit, c.eightBit, "pad=80:60:10:6:black"), "80x60");
    EXPECT_TRUE(SameFileBytes(padded, expected)) << name;
  }
  // With a colour the picture keeps every bit of its samples.
  const fs::path clip = Clip("yuv420p10le"), padded = dir_ / "coloured.yuv";
  const Outcome o = Job("pad", Layout{"yuv420", "planar", "10"}.Options(clip), padded,
                        {"-W", "80", "-H", "60", "-c", "6,10", "-k", "200,40,90"});
  EXPECT_EQ(o.exitCode, 0) << o.errors;
  EXPECT_TRUE(SameFileBytes(Ffmpeg(padded, "yuv420p10le", "yuv420p10le", "crop=64:48:10:6", "80x60"), clip));
}

TEST_F(HeadlessDeepTools, DeeperPaddingIsTheEightBitPaddingScaledUpInEveryStoredLayout) {
  // Random samples with zero low bits: the deeper file must be the 8-bit file's
  // padding, word for byte, in each layout, field format and border mode.
  struct Case {
    Layout layout;
    std::string depth;
    Args padding;  // -W, -H, -c
  } cases[] = {
      {{"yuv420", "planar", "8", "interlaced", "yuv", 32, 16}, "10", {"-W", "40", "-H", "24", "-c", "4,2"}},
      {{"yuv422", "planar", "8", "interlaced", "yvu", 32, 15}, "12", {"-W", "36", "-H", "20", "-c", "3,2"}},
      {{"yuv444", "planar", "8", "progressive", "yvu", 31, 15}, "16", {"-W", "34", "-H", "19", "-c", "1,3"}},
      {{"yuv420", "semiplanar", "8", "progressive", "yvu", 32, 16},
       "10",
       {"-W", "40", "-H", "20", "-c", "2,6"}},
      {{"yuv422", "semiplanar", "8", "interlaced", "yuv", 32, 16},
       "16",
       {"-W", "36", "-H", "22", "-c", "5,0"}},
      {{"yuv420", "semiplanar", "8", "interlaced", "yuv", 32, 16},
       "12",
       {"-W", "32", "-H", "24", "-c", "8,0"}},
      {{"mono", "planar", "8", "interlaced", "yuv", 31, 15}, "10", {"-W", "36", "-H", "22", "-c", "3,5"}},
  };
  int seed = 40;
  for (const Case& c : cases) {
    const Layout& eight = c.layout;
    const Layout deep = eight.At(c.depth);
    const int shift = eight.pixel == "semiplanar" ? 8 : std::stoi(c.depth) - 8;
    const std::string name = eight.sampling + "_" + eight.pixel + "_" + eight.field + "_" + c.depth;
    const int samples = eight.sampling == "yuv420"   ? eight.width * eight.height * 3 / 2
                        : eight.sampling == "yuv422" ? eight.width * eight.height * 2
                        : eight.sampling == "mono"   ? eight.width * eight.height
                                                     : eight.width * eight.height * 3;
    const std::vector<uint8_t> bytes = RandomBytes(2 * static_cast<size_t>(samples), seed++);
    const fs::path source8 = dir_ / (name + "_8.yuv"), sourceDeep = dir_ / (name + "_deep.yuv");
    WriteFileBytes(source8, bytes);
    WriteFileBytes(sourceDeep, ShiftedUp(bytes, shift));
    for (const bool colour : {false, true}) {
      Args padding = c.padding;
      if (colour) padding.insert(padding.end(), {"-k", "200,40,90"});
      const std::string what = name + (colour ? " with a colour" : " repeating the edges");
      const fs::path padded8 = dir_ / "padded_8.yuv", paddedDeep = dir_ / "padded_deep.yuv";
      const Outcome o8 = Job("pad", eight.Options(source8), padded8, padding);
      ASSERT_EQ(o8.exitCode, 0) << what << ": " << o8.errors;
      const Outcome o = Job("pad", deep.Options(sourceDeep), paddedDeep, padding);
      EXPECT_EQ(o.exitCode, 0) << what << ": " << o.errors;
      EXPECT_EQ(o.errors, o8.errors) << what;
      const std::vector<uint8_t> expected = ShiftedUp(ReadFileBytes(padded8), shift);
      ASSERT_TRUE(fs::exists(paddedDeep)) << what;
      ASSERT_EQ(fs::file_size(paddedDeep), expected.size()) << what;
      EXPECT_EQ(ReadFileBytes(paddedDeep), expected) << what;
    }
  }
}

// ---- separate and merge -------------------------------------------------------

TEST_F(HeadlessDeepTools, SeparateKeepsTheDepthAsExtractplanesDoes) {
  struct Case {
    const char* format;
    Layout layout;
    const char* planesOf;  // the format whose planes ffmpeg extracts
    const char* plane;     // its format for one plane
  } cases[] = {
      {"yuv420p10le", {"yuv420", "planar", "10"}, "yuv420p10le", "gray10le"},
      {"p010le", {"yuv420", "semiplanar", "10"}, "yuv420p10le", "gray10le"},
      {"yuv422p12le", {"yuv422", "planar", "12"}, "yuv422p12le", "gray12le"},
      {"yuv444p16le", {"yuv444", "planar", "16"}, "yuv444p16le", "gray16le"},
  };
  for (const Case& c : cases) {
    const std::string name = c.format;
    const fs::path clip = name == "p010le" ? P010Clip() : Clip(name);
    const Outcome o = Job("separate", c.layout.Options(clip), dir_ / "parts.yuv");
    EXPECT_EQ(o.exitCode, 0) << name << ": " << o.errors;
    ExtractPlanes(Clip(c.planesOf), c.planesOf, c.plane, dir_ / "ref");
    for (const char* plane : {".y", ".u", ".v"}) {
      EXPECT_TRUE(SameFileBytes(dir_ / (std::string("parts") + plane), dir_ / (std::string("ref") + plane)))
          << name << " " << plane;
    }
  }
}

TEST_F(HeadlessDeepTools, SeparateTakesEachComponentWhereTheLayoutStoresIt) {
  // Orders, pairs and fields: the deeper components are the 8-bit ones, word for byte.
  const Layout layouts[] = {
      {"yuv420", "semiplanar", "8", "progressive", "yvu"},
      {"yuv420", "planar", "8", "interlaced", "yvu"},
      {"yuv422", "semiplanar", "8", "interlaced", "yuv"},
      {"yuv444", "planar", "8", "interlaced", "uyv"},
  };
  int seed = 60;
  for (const Layout& eight : layouts) {
    const std::string name = eight.sampling + "_" + eight.pixel + "_" + eight.field + "_" + eight.order;
    const int shift = eight.pixel == "semiplanar" ? 8 : 2;
    const size_t frame = eight.sampling == "yuv420"   ? 64 * 48 * 3 / 2
                         : eight.sampling == "yuv422" ? 64 * 48 * 2
                                                      : 64 * 48 * 3;
    const std::vector<uint8_t> bytes = RandomBytes(2 * frame, seed++);
    WriteFileBytes(dir_ / "s8.yuv", bytes);
    WriteFileBytes(dir_ / "s10.yuv", ShiftedUp(bytes, shift));
    ASSERT_EQ(Job("separate", eight.Options(dir_ / "s8.yuv"), dir_ / "c8.yuv").exitCode, 0) << name;
    const Outcome o = Job("separate", eight.At("10").Options(dir_ / "s10.yuv"), dir_ / "c10.yuv");
    EXPECT_EQ(o.exitCode, 0) << name << ": " << o.errors;
    for (const char* plane : {".y", ".u", ".v"}) {
      const fs::path deep = dir_ / (std::string("c10") + plane);
      const std::vector<uint8_t> expected = ShiftedUp(ReadFileBytes(dir_ / (std::string("c8") + plane)), 2);
      ASSERT_TRUE(fs::exists(deep)) << name << " " << plane;
      ASSERT_EQ(fs::file_size(deep), expected.size()) << name << " " << plane;
      EXPECT_EQ(ReadFileBytes(deep), expected) << name << " " << plane;
    }
  }
}

TEST_F(HeadlessDeepTools, SeparatedDeeperFilesMergeBackToTheirBytes) {
  const fs::path ten = Clip("yuv420p10le"), p010 = P010Clip();
  // yuv420p10le: separated and merged, the same bytes.
  ASSERT_EQ(Job("separate", Layout{"yuv420", "planar", "10"}.Options(ten), dir_ / "planar.yuv").exitCode, 0);
  const fs::path merged = dir_ / "merged.yuv";
  const Outcome o = Merge(dir_ / "planar", merged, "yuv420", "10");
  EXPECT_EQ(o.exitCode, 0) << o.errors;
  EXPECT_NE(o.errors.find("The three files have be merged"), std::string::npos) << o.errors;
  EXPECT_TRUE(SameFileBytes(merged, ten));
  // P010: merged into planar 10 bits, and converted back to the P010 bytes.
  ASSERT_EQ(Job("separate", Layout{"yuv420", "semiplanar", "10"}.Options(p010), dir_ / "pairs.yuv").exitCode,
            0);
  const fs::path fromPairs = dir_ / "from_pairs.yuv", back = dir_ / "back.yuv";
  ASSERT_EQ(Merge(dir_ / "pairs", fromPairs, "yuv420", "10").exitCode, 0);
  EXPECT_TRUE(SameFileBytes(fromPairs, ten));
  const Outcome converted =
      Job("convert", Layout{"yuv420", "planar", "10"}.Options(fromPairs), back, {"-P", "semiplanar"});
  ASSERT_EQ(converted.exitCode, 0) << converted.errors;
  EXPECT_TRUE(SameFileBytes(back, p010));
}

TEST_F(HeadlessDeepTools, MergeMakesAFileOfTheComponentsDepth) {
  // Three 12-bit 4:4:4 components of random words, two frames: the merged frame is
  // Y, U, V of its frame one after the other.
  constexpr size_t kPlane = 64 * 48 * 2;
  std::vector<uint8_t> planes[3];
  for (size_t c = 0; c < 3; ++c) {
    planes[c] = RandomBytes(2 * kPlane, static_cast<uint32_t>(70 + c));
    for (size_t i = 1; i < planes[c].size(); i += 2) planes[c][i] &= 0x0f;  // 12-bit values
    WriteFileBytes(dir_ / (std::string("deep.") + "yuv"[c]), planes[c]);
  }
  const fs::path merged = dir_ / "merged.yuv";
  const Outcome o = Merge(dir_ / "deep", merged, "yuv444", "12");
  EXPECT_EQ(o.exitCode, 0) << o.errors;
  std::vector<uint8_t> expected;
  for (size_t frame = 0; frame < 2; ++frame) {
    for (const auto& plane : planes) {
      expected.insert(expected.end(), plane.begin() + static_cast<ptrdiff_t>(frame * kPlane),
                      plane.begin() + static_cast<ptrdiff_t>((frame + 1) * kPlane));
    }
  }
  ASSERT_TRUE(fs::exists(merged));
  ASSERT_EQ(fs::file_size(merged), expected.size());
  EXPECT_EQ(ReadFileBytes(merged), expected);
  // The history records the merged file's depth.
  EXPECT_NE(HistoryText().find("BitsPerSample=12"), std::string::npos) << HistoryText();
}

TEST_F(HeadlessDeepTools, LayoutsTheToolsCannotKeepAreRefused) {
  const fs::path ten = Clip("yuv420p10le");
  // Interlaced 4:2:0 whose fields do not hold whole chroma rows: 46 rows.
  const Layout oddFields{"yuv420", "planar", "10", "interlaced", "yuv", 64, 46};
  const std::string refusal = "Error VLTX1032: This job would pass the 10-bit samples of " + ten.string() +
                              " through 8 bits and lose their low bits; convert the file to 8 bits first "
                              "(-B 8)!\n";
  const fs::path padded = dir_ / "padded.yuv";
  const Outcome pad = Job("pad", oddFields.Options(ten), padded, {"-W", "64", "-H", "48", "-c", "0,0"});
  EXPECT_EQ(pad.exitCode, 8);
  EXPECT_EQ(pad.errors, refusal);
  EXPECT_FALSE(fs::exists(padded));
  const Outcome separate = Job("separate", oddFields.Options(ten), dir_ / "parts.yuv");
  EXPECT_EQ(separate.exitCode, 8);
  EXPECT_EQ(separate.errors, refusal);
  EXPECT_FALSE(fs::exists(dir_ / "parts.y"));
  // RGB files have 8-bit samples only: deeper components cannot make one.
  for (const char* name : {"c.r", "c.g", "c.b"}) WriteFileBytes(dir_ / name, RandomBytes(64 * 48 * 2, 9));
  const Outcome rgb = Merge(dir_ / "c", dir_ / "rgb.yuv", "rgb444", "10");
  EXPECT_EQ(rgb.exitCode, 1);
  EXPECT_EQ(rgb.errors, "Error FRMT1023: Packed, RGB and BMP frames have 8-bit samples only, not 10!\n");
  EXPECT_FALSE(fs::exists(dir_ / "rgb.yuv"));
}

}  // namespace
}  // namespace vx::test
