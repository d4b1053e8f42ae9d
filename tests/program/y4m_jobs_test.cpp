// Y4M files through the program: read by every job with the layout of their
// header, written with a header ffmpeg reads back, refused where they cannot
// be, and compared by PSNR as ffmpeg compares them.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "ProgramTestSupport.h"

namespace vx::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

constexpr const char* kSize = "64x48";
const Args kI420Options = {"-s", "yuv420", "-o", "yuv", "-f", "progressive",
                           "-p", "planar", "-w", "64",  "-h", "48"};

std::string FirstLine(const fs::path& path) {
  const std::string text = ReadFileText(path);
  return text.substr(0, text.find('\n') + 1);
}

// A Y4M file with the line of frame i replaced by lines[i] (its samples kept).
Bytes WithFrameLines(const Bytes& y4m, int64_t frameBytes, const std::vector<std::string>& lines) {
  const std::string text(y4m.begin(), y4m.end());
  size_t at = text.find('\n') + 1;
  Bytes out(y4m.begin(), y4m.begin() + static_cast<std::ptrdiff_t>(at));
  for (const std::string& line : lines) {
    if (text.compare(at, 6, "FRAME\n") != 0) return {};
    at += 6;
    out.insert(out.end(), line.begin(), line.end());
    out.insert(out.end(), y4m.begin() + static_cast<std::ptrdiff_t>(at),
               y4m.begin() + static_cast<std::ptrdiff_t>(at + static_cast<size_t>(frameBytes)));
    at += static_cast<size_t>(frameBytes);
  }
  return at == y4m.size() ? out : Bytes{};
}

// The rows of ffmpeg's psnr stats ("n:1 ... psnr_y:34.05 psnr_u:33.69 psnr_v:33.59").
PsnrRows FfmpegStatsRows(const std::string& stats) {
  PsnrRows rows;
  std::istringstream lines(stats);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("n:", 0) != 0) continue;
    std::array<double, 3> v{-1, -1, -1};
    for (size_t k = 0; k < 3; ++k) {
      const std::string key = std::string(" psnr_") + "yuv"[k] + ":";
      const size_t at = line.find(key);
      if (at != std::string::npos) v[k] = std::strtod(line.c_str() + at + key.size(), nullptr);
    }
    rows.push_back(v);
  }
  return rows;
}

class HeadlessY4m : public HeadlessProgram {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed; scripts/setup installs it";
  }
  static void Ffmpeg(const std::string& arguments) {
    const std::string command = "ffmpeg -loglevel error -y " + arguments;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  // Three 64 x 48 frames of testsrc2 in a Y4M file of `pixelFormat`, through `filter` if any.
  fs::path Y4mClip(const std::string& pixelFormat, const std::string& filter = "",
                   const std::string& tag = "") {
    const fs::path path = dir_ / (pixelFormat + tag + ".y4m");
    Ffmpeg("-f lavfi -i testsrc2=size=" + std::string(kSize) + ":rate=25 -frames:v 3" +
           (filter.empty() ? "" : " -vf " + filter) + " -pix_fmt " + pixelFormat + " -strict -1 " +
           Quote(path.string()));
    return path;
  }
  // The frames of any file ffmpeg reads, as raw `pixelFormat`.
  fs::path RawOf(const fs::path& input, const std::string& pixelFormat, const std::string& filter = "",
                 const std::string& rawInputFormat = "") {
    const fs::path path = dir_ / ("raw_" + std::to_string(made_++) + "_" + pixelFormat + ".yuv");
    const std::string rawInput =
        rawInputFormat.empty() ? "" : "-f rawvideo -pix_fmt " + rawInputFormat + " -s " + kSize + " ";
    Ffmpeg(rawInput + "-i " + Quote(input.string()) + (filter.empty() ? "" : " -vf " + filter) +
           " -f rawvideo -pix_fmt " + pixelFormat + " " + Quote(path.string()));
    return path;
  }
  // ffmpeg's PSNR of two inputs (each "-i file", raw ones with their options).
  PsnrRows FfmpegPsnr(const std::string& first, const std::string& second) {
    const fs::path stats = dir_ / ("stats_" + std::to_string(made_++) + ".txt");
    Ffmpeg(first + " " + second + " -lavfi \"[0][1]psnr=stats_file=-\" -f null - >" + Quote(stats.string()));
    return FfmpegStatsRows(ReadFileText(stats));
  }
  static std::string RawInput(const fs::path& path, const std::string& pixelFormat) {
    return "-f rawvideo -pix_fmt " + pixelFormat + " -s " + kSize + " -i " + Quote(path.string());
  }
  static std::string Input(const fs::path& path) { return "-i " + Quote(path.string()); }
  Outcome Job(const std::string& action, const fs::path& source, const fs::path& target,
              const Args& more = {}) {
    Args args = {"-a", action, "-n", source.string(), "-N", target.string(), "-e", "exit"};
    args.insert(args.end(), more.begin(), more.end());
    return Run(args);
  }
  // The program's PSNR rows of two files.
  PsnrRows Psnr(const fs::path& first, const fs::path& second, const Args& layout = {}) {
    const fs::path report = dir_ / ("report_" + std::to_string(made_++) + ".txt");
    Args args = {"-a", "psnr",          "-n", first.string(), "-m", second.string(),
                 "-N", report.string(), "-e", "exit"};
    args.insert(args.end(), layout.begin(), layout.end());
    const Outcome o = Run(args);
    EXPECT_EQ(o.exitCode, 0) << first << " " << second << ": " << o.errors;
    fs::path written = report;
    written.replace_extension(".xls");  // the tab style's name
    return ReportRows(ReadFileText(written));
  }
  static void ExpectSameRows(const PsnrRows& ours, const PsnrRows& ffmpeg, const std::string& what) {
    ASSERT_EQ(ours.size(), ffmpeg.size()) << what;
    for (size_t f = 0; f < ffmpeg.size(); ++f) {
      for (size_t k = 0; k < 3; ++k) {
        EXPECT_NEAR(ours[f][k], ffmpeg[f][k], 0.01) << what << ", frame " << f + 1 << ", component " << k;
      }
    }
  }

  int made_ = 0;
};

TEST_F(HeadlessY4m, FilesFfmpegWroteConvertToItsRawBytesWithoutLayoutOptions) {
  // Each run leaves its layout in the settings; the next file's header still rules.
  for (const std::string pixelFormat : {"yuv422p", "yuv420p", "yuv444p", "yuv420p10le"}) {
    const fs::path y4m = Y4mClip(pixelFormat), target = dir_ / (pixelFormat + "_out.yuv");
    const Outcome o = Job("convert", y4m, target, {"-P", "planar"});
    EXPECT_EQ(o.exitCode, 0) << pixelFormat << ": " << o.errors;
    EXPECT_EQ(o.errors, "") << pixelFormat;
    EXPECT_TRUE(SameFileBytes(target, RawOf(y4m, pixelFormat))) << pixelFormat;
  }
}

TEST_F(HeadlessY4m, FrameLinesWithParametersArePassedOver) {
  const fs::path y4m = Y4mClip("yuv420p"), raw = RawOf(y4m, "yuv420p");
  const Bytes bytes = ReadFileBytes(y4m);
  const std::vector<std::vector<std::string>> lineSets = {
      {"FRAME Ixyz\n", "FRAME Ixyz\n", "FRAME Ixyz\n"},
      {"FRAME\n", "FRAME Ip XTAG=1\n", "FRAME Ixyz\n"},  // later lines longer than the first
  };
  for (size_t i = 0; i < lineSets.size(); ++i) {
    const fs::path edited = dir_ / ("lines" + std::to_string(i) + ".y4m"),
                   target = dir_ / ("lines" + std::to_string(i) + ".yuv");
    const Bytes withLines = WithFrameLines(bytes, 64 * 48 * 3 / 2, lineSets[i]);
    ASSERT_FALSE(withLines.empty()) << "ffmpeg's file has three frames after plain lines";
    WriteFileBytes(edited, withLines);
    const Outcome o = Job("convert", edited, target, {"-P", "planar"});
    EXPECT_EQ(o.exitCode, 0) << o.errors;
    EXPECT_TRUE(SameFileBytes(target, raw)) << lineSets[i][1];
  }
}

TEST_F(HeadlessY4m, Y4mOutputsHaveTheProgramsHeaderAndFfmpegReadsThemBack) {
  struct Case {
    const char* pixelFormat;
    const char* sampling;
    const char* bits;
    const char* header;
    int64_t frameBytes;
  } cases[] = {
      {"yuv420p", "yuv420", "8", "YUV4MPEG2 W64 H48 F25:1 Ip A0:0 C420jpeg\n", 64 * 48 * 3 / 2},
      {"yuv422p", "yuv422", "8", "YUV4MPEG2 W64 H48 F25:1 Ip A0:0 C422\n", 64 * 48 * 2},
      {"yuv444p", "yuv444", "8", "YUV4MPEG2 W64 H48 F25:1 Ip A0:0 C444\n", 64 * 48 * 3},
      {"yuv420p10le", "yuv420", "10", "YUV4MPEG2 W64 H48 F25:1 Ip A0:0 C420p10\n", 64 * 48 * 3},
  };
  for (const Case& c : cases) {
    const fs::path raw = RawOf(Y4mClip(c.pixelFormat), c.pixelFormat);
    const fs::path target = dir_ / (std::string(c.pixelFormat) + "_out.y4m");
    const Outcome o = Job("convert", raw, target,
                          {"-s", c.sampling, "-o", "yuv", "-f", "progressive", "-p", "planar", "-b", c.bits,
                           "-w", "64", "-h", "48", "-P", "planar"});
    ASSERT_EQ(o.exitCode, 0) << c.pixelFormat << ": " << o.errors;
    EXPECT_EQ(FirstLine(target), c.header);
    // Three frames, each after a plain FRAME line.
    const std::string header = c.header;
    const int64_t each = 6 + c.frameBytes;
    ASSERT_EQ(fs::file_size(target), header.size() + 3 * each) << c.pixelFormat;
    const std::string text = ReadFileText(target);
    for (int f = 0; f < 3; ++f)
      EXPECT_EQ(text.substr(header.size() + f * each, 6), "FRAME\n") << c.pixelFormat;
    EXPECT_TRUE(SameFileBytes(RawOf(target, c.pixelFormat), raw)) << c.pixelFormat;
  }

  // Mono through a flip (the converter takes no grey files from the command line).
  const fs::path gray = RawOf(Y4mClip("gray"), "gray"), flipped = dir_ / "flipped.y4m";
  const Outcome o = Job(
      "flip", gray, flipped,
      {"-s", "mono", "-o", "yuv", "-f", "progressive", "-p", "planar", "-w", "64", "-h", "48", "-b", "8"});
  ASSERT_EQ(o.exitCode, 0) << o.errors;
  EXPECT_EQ(FirstLine(flipped), "YUV4MPEG2 W64 H48 F25:1 Ip A0:0 Cmono\n");
  EXPECT_TRUE(SameFileBytes(RawOf(flipped, "gray"), RawOf(gray, "gray", "vflip", "gray")));
}

TEST_F(HeadlessY4m, OutputsNamedY4mAreRefusedForLayoutsTheyCannotHold) {
  const fs::path y4m = Y4mClip("yuv420p");
  const auto refusal = [](const fs::path& target, const std::string& what) {
    return "Error Y4MW1001: " + target.string() + " is named as a Y4M file, which cannot hold " + what +
           "; choose planar progressive YUV (order YUV) or mono, or another name!\n";
  };
  const std::string notPlanar = "frames that are not planar in the order YUV";
  struct Case {
    Args destination;
    const char* name;
    std::string what;
  } cases[] = {
      {{"-S", "yuv422", "-O", "uyv", "-P", "packed"}, "packed.y4m", notPlanar},
      {{"-P", "semiplanar"}, "nv12.y4m", notPlanar},
      {{"-P", "semiplanar"}, "NV12.Y4M", notPlanar},
      {{"-O", "yvu"}, "yvu.y4m", notPlanar},
      {{"-F", "interlaced"}, "fields.y4m", "interlaced frames stored field by field"},
      {{"-S", "rgb444", "-O", "rgb"}, "rgb.y4m", "RGB and BMP frames"},
  };
  for (const Case& c : cases) {
    const fs::path target = dir_ / c.name;
    const Outcome o = Job("convert", y4m, target, c.destination);
    EXPECT_EQ(o.exitCode, 8) << c.name;
    EXPECT_EQ(o.errors, refusal(target, c.what));
    EXPECT_FALSE(fs::exists(target)) << c.name;
  }
  // The same layouts under another name are written.
  const Outcome nv12 = Job("convert", y4m, dir_ / "nv12.yuv", {"-P", "semiplanar"});
  EXPECT_EQ(nv12.exitCode, 0) << nv12.errors;
  EXPECT_TRUE(SameFileBytes(dir_ / "nv12.yuv", RawOf(y4m, "nv12")));
}

TEST_F(HeadlessY4m, LayoutOptionsMustAgreeWithTheHeader) {
  const fs::path eight = Y4mClip("yuv420p"), ten = Y4mClip("yuv420p10le"), target = dir_ / "out.yuv";
  const auto mismatch = [](const fs::path& y4m, const char* bits) {
    return "Error Y4MR1002: The Y4M file " + y4m.string() + " holds YUV_420 planar frames of 64 x 48 at " +
           bits + " bits, not the layout asked for; leave the layout options out for a Y4M file!\n";
  };
  struct Case {
    fs::path y4m;
    Args options;
    const char* bits;
  } refused[] = {
      {eight, {"-s", "yuv422"}, "8"}, {eight, {"-w", "32"}, "8"},         {eight, {"-h", "40"}, "8"},
      {eight, {"-b", "10"}, "8"},     {eight, {"-p", "semiplanar"}, "8"}, {eight, {"-f", "interlaced"}, "8"},
      {eight, {"-o", "yvu"}, "8"},    {ten, {"-b", "8"}, "10"},           {ten, {"-s", "yuv444"}, "10"},
  };
  for (const Case& c : refused) {
    Args more = c.options;
    more.insert(more.end(), {"-P", "planar"});
    const Outcome o = Job("convert", c.y4m, target, more);
    EXPECT_EQ(o.exitCode, 1) << c.options[0] << " " << c.options[1];
    EXPECT_EQ(o.errors, mismatch(c.y4m, c.bits)) << c.options[0] << " " << c.options[1];
    EXPECT_FALSE(fs::exists(target));
  }
  // Options that say what the header says are taken.
  Args allOfThem = kI420Options;
  allOfThem.insert(allOfThem.end(), {"-b", "10"});
  const struct {
    fs::path y4m;
    Args options;
    const char* pixelFormat;
  } agreeing[] = {{eight, {"-w", "64", "-h", "48", "-s", "yuv420"}, "yuv420p"},
                  {ten, allOfThem, "yuv420p10le"}};
  for (const auto& c : agreeing) {
    Args more = c.options;
    more.insert(more.end(), {"-P", "planar"});
    const Outcome o = Job("convert", c.y4m, target, more);
    EXPECT_EQ(o.exitCode, 0) << c.pixelFormat << ": " << o.errors;
    EXPECT_TRUE(SameFileBytes(target, RawOf(c.y4m, c.pixelFormat))) << c.pixelFormat;
  }
}

TEST_F(HeadlessY4m, DamagedFilesAreRefusedAndNothingIsWritten) {
  const fs::path y4m = Y4mClip("yuv420p"), target = dir_ / "out.yuv";
  const Bytes good = ReadFileBytes(y4m);
  const size_t headerEnd = std::string(good.begin(), good.end()).find('\n') + 1;
  const Bytes samples(good.begin() + static_cast<std::ptrdiff_t>(headerEnd), good.end());
  const auto withHeader = [&](const std::string& header) {
    Bytes bytes(header.begin(), header.end());
    bytes.insert(bytes.end(), samples.begin(), samples.end());
    return bytes;
  };
  Bytes secondLineDamaged = good;
  secondLineDamaged[headerEnd + 6 + 64 * 48 * 3 / 2 + 4] = 'X';  // "FRAMX\n" before frame 2
  struct Case {
    const char* name;
    Bytes bytes;
    int code;
    std::string problem;
  } cases[] = {
      {"no_width.y4m", withHeader("YUV4MPEG2 W0 H48\n"), 1,
       "Error Y4MR1001: The Y4M file %s has a header that gives the width \"0\", not a number from 1 to "
       "8192!\n"},
      {"raw.y4m", samples, 1, "Error Y4MR1001: The Y4M file %s does not start with \"YUV4MPEG2 \"!\n"},
      {"no_line.y4m", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(headerEnd)), 1,
       "Error Y4MR1001: The Y4M file %s has no FRAME line after its header!\n"},
      {"second_line.y4m", secondLineDamaged, 8,
       "Error Y4MR1003: The Y4M file %s has no FRAME line where frame 2 begins!\n"},
  };
  for (const Case& c : cases) {
    const fs::path source = dir_ / c.name;
    WriteFileBytes(source, c.bytes);
    const Outcome o = Job("convert", source, target, {"-P", "planar"});
    EXPECT_EQ(o.exitCode, c.code) << c.name;
    std::string expected = c.problem;
    expected.replace(expected.find("%s"), 2, source.string());
    EXPECT_EQ(o.errors, expected);
    EXPECT_FALSE(fs::exists(target)) << c.name;
  }
}

TEST_F(HeadlessY4m, CropAndFlipReadY4mInputs) {
  const fs::path y4m = Y4mClip("yuv420p"), raw = RawOf(y4m, "yuv420p");
  const fs::path crop = dir_ / "crop.yuv", flip = dir_ / "flip.yuv", cropY4m = dir_ / "crop.y4m";
  const Outcome cropped = Job("crop", y4m, crop, {"-c", "8,16,24,32"});
  EXPECT_EQ(cropped.exitCode, 0) << cropped.errors;
  EXPECT_TRUE(SameFileBytes(crop, RawOf(raw, "yuv420p", "crop=32:24:16:8", "yuv420p")));
  const Outcome flipped = Job("flip", y4m, flip);
  EXPECT_EQ(flipped.exitCode, 0) << flipped.errors;
  EXPECT_TRUE(SameFileBytes(flip, RawOf(raw, "yuv420p", "vflip", "yuv420p")));
  // From Y4M to Y4M: the header gives the cropped size.
  const Outcome both = Job("crop", y4m, cropY4m, {"-c", "8,16,24,32"});
  EXPECT_EQ(both.exitCode, 0) << both.errors;
  EXPECT_EQ(FirstLine(cropY4m), "YUV4MPEG2 W32 H24 F25:1 Ip A0:0 C420jpeg\n");
  EXPECT_TRUE(SameFileBytes(RawOf(cropY4m, "yuv420p"), crop));
  // A grey Y4M file.
  const fs::path gray = Y4mClip("gray"), grayFlip = dir_ / "gray_flip.yuv";
  const Outcome grey = Job("flip", gray, grayFlip);
  EXPECT_EQ(grey.exitCode, 0) << grey.errors;
  EXPECT_TRUE(SameFileBytes(grayFlip, RawOf(gray, "gray", "vflip")));
}

TEST_F(HeadlessY4m, PsnrOfY4mAndRawFilesIsFfmpegs) {
  const fs::path clean = Y4mClip("yuv420p"), noisy = Y4mClip("yuv420p", "noise=alls=18:allf=t+u", "_noisy");
  const fs::path noisyRaw = RawOf(noisy, "yuv420p");
  const PsnrRows reference = FfmpegPsnr(Input(clean), Input(noisy));
  ASSERT_EQ(reference.size(), 3u);
  for (const auto& row : reference) EXPECT_LT(row[1], 60.0) << "the chroma carries noise too";
  ExpectSameRows(Psnr(clean, noisy), reference, "two Y4M files");
  ExpectSameRows(Psnr(clean, noisyRaw), reference, "a Y4M file, then a raw one");
  Args layout = kI420Options;
  layout.insert(layout.end(), {"-b", "8"});
  ExpectSameRows(Psnr(noisyRaw, clean, layout), reference, "a raw file, then a Y4M one");
  // FRAME lines with parameters change nothing.
  const fs::path withLines = dir_ / "lines.y4m";
  WriteFileBytes(withLines, WithFrameLines(ReadFileBytes(clean), 64 * 48 * 3 / 2,
                                           {"FRAME Ixyz\n", "FRAME Ixyz\n", "FRAME Ixyz\n"}));
  ExpectSameRows(Psnr(withLines, noisy), reference, "FRAME lines with parameters");
}

TEST_F(HeadlessY4m, PsnrOfTenBitFilesIsFfmpegsAtTheirFullDepth) {
  const fs::path clean = Y4mClip("yuv420p10le"),
                 noisy = Y4mClip("yuv420p10le", "noise=alls=18:allf=t+u", "_noisy");
  const PsnrRows reference = FfmpegPsnr(Input(clean), Input(noisy));
  ASSERT_EQ(reference.size(), 3u);
  ExpectSameRows(Psnr(clean, noisy), reference, "two 10-bit Y4M files");

  const fs::path cleanRaw = RawOf(clean, "yuv420p10le"), noisyRaw = RawOf(noisy, "yuv420p10le");
  ExpectSameRows(FfmpegPsnr(RawInput(cleanRaw, "yuv420p10le"), RawInput(noisyRaw, "yuv420p10le")), reference,
                 "ffmpeg's own raw files");
  Args layout = kI420Options;
  layout.insert(layout.end(), {"-b", "10"});
  ExpectSameRows(Psnr(cleanRaw, noisyRaw, layout), reference, "two 10-bit raw files");
  ExpectSameRows(Psnr(clean, noisyRaw), reference, "a 10-bit Y4M file, then a raw one");

  // P010 holds the same samples in the high bits of each word.
  const fs::path cleanP010 = RawOf(cleanRaw, "p010le", "", "yuv420p10le"),
                 noisyP010 = RawOf(noisyRaw, "p010le", "", "yuv420p10le");
  Args semiPlanar = {"-s",         "yuv420", "-o", "yuv", "-f", "progressive", "-p",
                     "semiplanar", "-w",     "64", "-h",  "48", "-b",          "10"};
  ExpectSameRows(Psnr(cleanP010, noisyP010, semiPlanar), reference, "two P010 files");
}

TEST_F(HeadlessY4m, TheActionsChecksSeeTheHeadersLayoutNotTheLastRuns) {
  // A run on a grey file leaves mono in the settings.
  const fs::path gray = RawOf(Y4mClip("gray"), "gray");
  const Outcome grey = Job(
      "flip", gray, dir_ / "gray_flip.yuv",
      {"-s", "mono", "-o", "yuv", "-f", "progressive", "-p", "planar", "-w", "64", "-h", "48", "-b", "8"});
  ASSERT_EQ(grey.exitCode, 0) << grey.errors;
  // A 4:2:0 Y4M file is no grey file, whatever the last run read.
  const fs::path y4m = Y4mClip("yuv420p"), target = dir_ / "out.yuv";
  const Outcome o = Job("convert", y4m, target, {"-P", "planar"});
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_EQ(o.errors.substr(0, o.errors.find('\n') + 1), "");
  EXPECT_TRUE(SameFileBytes(target, RawOf(y4m, "yuv420p")));
}

// Y4M lines may differ in length from frame to frame; here the first is the longest.
TEST_F(HeadlessY4m, AFirstFrameLineLongerThanTheOthersLosesNoFrameAndMisreadsNone) {
  const fs::path clean = Y4mClip("yuv420p"), noisy = Y4mClip("yuv420p", "noise=alls=18:allf=t+u", "_noisy");
  const fs::path longFirst = dir_ / "long_first.y4m", target = dir_ / "out.yuv";
  const Bytes withLines =
      WithFrameLines(ReadFileBytes(clean), 64 * 48 * 3 / 2, {"FRAME Ixyz\n", "FRAME\n", "FRAME\n"});
  ASSERT_FALSE(withLines.empty());
  WriteFileBytes(longFirst, withLines);

  // The converter writes every frame.
  const Outcome o = Job("convert", longFirst, target, {"-P", "planar"});
  EXPECT_EQ(o.exitCode, 0) << o.errors;
  EXPECT_TRUE(SameFileBytes(target, RawOf(clean, "yuv420p")));

  // PSNR compares every frame, each after its own line.
  const PsnrRows reference = FfmpegPsnr(Input(clean), Input(noisy));
  ASSERT_EQ(reference.size(), 3u);
  ExpectSameRows(Psnr(longFirst, noisy), reference, "after a shorter FRAME line");
}

// Lines of several lengths in any order: every job reads each frame after its own.
TEST_F(HeadlessY4m, MixedFrameLinesReadAsPlainOnes) {
  const fs::path clean = Y4mClip("yuv420p"), noisy = Y4mClip("yuv420p", "noise=alls=18:allf=t+u", "_noisy");
  const fs::path mixed = dir_ / "mixed.y4m";
  const Bytes withLines = WithFrameLines(ReadFileBytes(clean), 64 * 48 * 3 / 2,
                                         {"FRAME\n", "FRAME Ip XTAG=123456789\n", "FRAME Ixyz\n"});
  ASSERT_FALSE(withLines.empty());
  WriteFileBytes(mixed, withLines);
  for (const auto& [action, options] : {std::pair<std::string, Args>{"convert", {"-P", "planar"}},
                                        {"crop", {"-c", "8,16,24,32"}},
                                        {"flip", {}}}) {
    const fs::path fromPlain = dir_ / (action + "_plain.yuv"), fromMixed = dir_ / (action + "_mixed.yuv");
    const Outcome plain = Job(action, clean, fromPlain, options);
    ASSERT_EQ(plain.exitCode, 0) << action << ": " << plain.errors;
    const Outcome o = Job(action, mixed, fromMixed, options);
    EXPECT_EQ(o.exitCode, 0) << action << ": " << o.errors;
    EXPECT_EQ(o.errors, "") << action;
    EXPECT_TRUE(SameFileBytes(fromMixed, fromPlain)) << action;
  }
  const PsnrRows reference = FfmpegPsnr(Input(clean), Input(noisy));
  ASSERT_EQ(reference.size(), 3u);
  ExpectSameRows(Psnr(mixed, noisy), reference, "mixed lines first");
  ExpectSameRows(Psnr(noisy, mixed), reference, "mixed lines second");
}

TEST_F(HeadlessY4m, PsnrSaysWhereAFrameLineIsMissing) {
  const fs::path clean = Y4mClip("yuv420p"), noisy = Y4mClip("yuv420p", "noise=alls=18:allf=t+u", "_noisy");
  const fs::path damaged = dir_ / "damaged.y4m", report = dir_ / "report.txt";
  Bytes bytes = WithFrameLines(ReadFileBytes(clean), 64 * 48 * 3 / 2, {"FRAME Ixyz\n", "FRAME\n", "FRAME\n"});
  ASSERT_FALSE(bytes.empty());
  const size_t headerEnd = std::string(bytes.begin(), bytes.end()).find('\n') + 1;
  bytes[headerEnd + 11 + 64 * 48 * 3 / 2 + 4] = 'X';  // "FRAMX\n" before frame 2
  WriteFileBytes(damaged, bytes);
  for (const auto& [first, second] : {std::pair{damaged, noisy}, std::pair{noisy, damaged}}) {
    const Outcome o =
        Run({"-a", "psnr", "-n", first.string(), "-m", second.string(), "-N", report.string(), "-e", "exit"});
    EXPECT_EQ(o.exitCode, 8);
    EXPECT_EQ(o.errors, "Error Y4MR1003: The Y4M file " + damaged.string() +
                            " has no FRAME line where frame 2 begins!\n");
    EXPECT_FALSE(fs::exists(dir_ / "report.xls")) << "no report of the frames before";
  }
}

}  // namespace
}  // namespace vx::test
