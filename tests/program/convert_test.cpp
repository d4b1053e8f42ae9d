#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ProgramTestSupport.h"
#include "avi/AviFile.h"

namespace vx::test {
namespace {

TEST_F(HeadlessProgram, InterlacedOddHeightsConvertWithTheExtraRowInFieldOne) {
  // 8 x 5 interlaced 4:4:4, two frames: field 1 is rows 0, 2, 4, field 2 rows 1, 3.
  std::vector<uint8_t> interlaced;
  for (int frame = 0; frame < 2; ++frame) {
    for (int row : {0, 2, 4, 1, 3}) {
      for (int i = 0; i < 24; ++i) interlaced.push_back(static_cast<uint8_t>(100 * frame + 10 * row + i % 3));
    }
  }
  test::WriteFileBytes(dir_ / "i.yuv", interlaced);
  const Outcome o = Run({"-a", "convert",
                         "-n", (dir_ / "i.yuv").string(),
                         "-s", "yuv444",
                         "-o", "yuv",
                         "-f", "interlaced",
                         "-p", "packed",
                         "-w", "8",
                         "-h", "5",
                         "-N", (dir_ / "p.yuv").string(),
                         "-F", "progressive",
                         "-e", "exit"});
  EXPECT_EQ(o.exitCode, 0) << o.errors;
  EXPECT_EQ(o.errors, "");
  std::vector<uint8_t> progressive;
  for (int frame = 0; frame < 2; ++frame) {
    for (int row = 0; row < 5; ++row) {
      for (int i = 0; i < 24; ++i)
        progressive.push_back(static_cast<uint8_t>(100 * frame + 10 * row + i % 3));
    }
  }
  EXPECT_EQ(test::ReadFileBytes(dir_ / "p.yuv"), progressive);
}

TEST_F(HeadlessConvert, I420ToUyvyEqualsFfmpeg) {
  const auto out = dir_ / "out.uyvy";
  const Outcome o = Convert(I420(clip_), out, {"-S", "yuv422", "-O", "uyv", "-P", "packed"});
  EXPECT_EQ(o.exitCode, 0) << o.errors;
  EXPECT_EQ(o.errors, "") << "a successful job with -e exit prints nothing";
  EXPECT_EQ(o.output, "");
  const auto reference = dir_ / "ref.uyvy";
  ASSERT_EQ(
      std::system(("ffmpeg -loglevel error -f rawvideo -pix_fmt yuv420p -s 176x144 -i '" + clip_.string() +
                   "' -filter_threads 1 -sws_flags neighbor -pix_fmt uyvy422 -f rawvideo '" +
                   reference.string() + "'")
                      .c_str()),
      0);
  EXPECT_EQ(test::ReadFileBytes(out), test::ReadFileBytes(reference));
  const std::string history = test::ReadFileText(dir_ / "state" / "velutrix" / "yuv_file_history3.ini");
  EXPECT_NE(history.find("ImageFileName=" + out.string()), std::string::npos);
  EXPECT_NE(history.find("ReadWrite=1"), std::string::npos);

  const Outcome chatty =
      Convert(I420(clip_), dir_ / "again.uyvy", {"-S", "yuv422", "-O", "uyv", "-P", "packed"}, false);
  EXPECT_EQ(chatty.exitCode, 0);
  EXPECT_EQ(chatty.errors, "Converting finished!\n");
}

TEST_F(HeadlessConvert, LayoutOnlyConversionsRoundTrip) {
  struct Case {
    std::vector<std::string> there;   // destination options from I420
    std::vector<std::string> source;  // how to read the intermediate file
  } cases[] = {
      {{"-O", "yvu"}, {"-s", "yuv420", "-o", "yvu", "-f", "progressive", "-p", "planar"}},
      {{"-F", "interlaced"}, {"-s", "yuv420", "-o", "yuv", "-f", "interlaced", "-p", "planar"}},
  };
  for (const Case& c : cases) {
    const auto middle = dir_ / "middle.yuv";
    const auto back = dir_ / "back.yuv";
    ASSERT_EQ(Convert(I420(clip_), middle, c.there).exitCode, 0);
    std::vector<std::string> source = {"-n", middle.string(), "-w", "176", "-h", "144"};
    source.insert(source.end(), c.source.begin(), c.source.end());
    ASSERT_EQ(
        Convert(source, back, {"-S", "yuv420", "-O", "yuv", "-F", "progressive", "-P", "planar"}).exitCode,
        0);
    EXPECT_EQ(test::ReadFileBytes(back), test::ReadFileBytes(clip_)) << c.there[0];
  }
  // Packed <-> planar 4:4:4: through 4:4:4 packed, then planar, then packed again.
  const auto packed = dir_ / "packed.yuv", planar = dir_ / "planar.yuv", packedAgain = dir_ / "packed2.yuv";
  ASSERT_EQ(Convert(I420(clip_), packed, {"-S", "yuv444", "-P", "packed", "-O", "uyv"}).exitCode, 0);
  const std::vector<std::string> readPacked = {
      "-n", packed.string(), "-s", "yuv444", "-o", "uyv", "-p", "packed",
      "-f", "progressive",   "-w", "176",    "-h", "144"};
  ASSERT_EQ(Convert(readPacked, planar, {"-P", "planar"}).exitCode, 0);
  const std::vector<std::string> readPlanar = {
      "-n", planar.string(), "-s", "yuv444", "-o", "uyv", "-p", "planar",
      "-f", "progressive",   "-w", "176",    "-h", "144"};
  ASSERT_EQ(Convert(readPlanar, packedAgain, {"-P", "packed"}).exitCode, 0);
  EXPECT_EQ(test::ReadFileBytes(packedAgain), test::ReadFileBytes(packed));
}

TEST_F(HeadlessConvert, RawToBmpSequenceAndBack) {
  const auto clip12 = MakeClip(dir_.path(), 12);
  const Outcome o = Convert(I420(clip12), dir_ / "pic.bmp", {"-S", "bmp"});
  ASSERT_EQ(o.exitCode, 0) << o.errors;
  for (int k = 0; k < 12; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "pic_%04d.bmp", k);
    EXPECT_TRUE(std::filesystem::exists(dir_ / name)) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_ / "pic_0012.bmp"));
  // The pictures hold the frames' RGB: the same bytes as a raw RGB conversion,
  // read back by ImageMagick and by our own BMP source.
  const auto direct = dir_ / "direct.rgb";
  ASSERT_EQ(Convert(I420(clip12), direct, {"-S", "rgb444", "-O", "rgb", "-P", "packed"}).exitCode, 0);
  const auto viaBmp = dir_ / "frames.rgb";
  const Outcome b = Convert({"-n", (dir_ / "pic_%04d.bmp").string(), "-s", "bmp"}, viaBmp,
                            {"-S", "rgb444", "-O", "rgb", "-P", "packed"});
  ASSERT_EQ(b.exitCode, 0) << b.errors;
  EXPECT_EQ(test::ReadFileBytes(viaBmp), test::ReadFileBytes(direct));
  if (std::system("command -v convert >/dev/null 2>&1") == 0) {
    const auto firstRgb = dir_ / "first.rgb";
    ASSERT_EQ(
        std::system(
            ("convert '" + (dir_ / "pic_0000.bmp").string() + "' rgb:'" + firstRgb.string() + "'").c_str()),
        0);
    const auto all = test::ReadFileBytes(direct);
    EXPECT_EQ(test::ReadFileBytes(firstRgb), std::vector<uint8_t>(all.begin(), all.begin() + 176 * 144 * 3));
  }
  // And back to 4:2:0 through the colour formula: the same size, every frame.
  const auto back = dir_ / "back.yuv";
  ASSERT_EQ(Convert({"-n", (dir_ / "pic_%04d.bmp").string(), "-s", "bmp"}, back,
                    {"-S", "yuv420", "-O", "yuv", "-P", "planar", "-F", "progressive"})
                .exitCode,
            0);
  EXPECT_EQ(std::filesystem::file_size(back), std::filesystem::file_size(clip12));
}

TEST_F(HeadlessConvert, RefusalsEndWithCode8AndSameLayoutCopies) {
  const auto wide = MakeClip(dir_.path(), 2, "176x144");
  std::vector<std::string> odd = I420(wide);
  odd[odd.size() - 3] = "175";  // -w 175 read as 4:4:4 so that the source is valid
  odd[3] = "yuv444";
  odd[9] = "packed";
  const Outcome o = Convert(odd, dir_ / "odd.yuv", {"-S", "yuv420", "-P", "planar"});
  EXPECT_EQ(o.exitCode, 8);
  EXPECT_EQ(o.errors,
            "Error CONV1019: Input image width (175) is an odd number, the image cannot be convert to 420 "
            "format\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "odd.yuv")) << "refused before any file is opened";

  const Outcome missing = Convert({"-n", (dir_ / "none.yuv").string(), "-w", "176", "-h", "144"},
                                  dir_ / "x.yuv", {"-S", "yuv444"});
  EXPECT_EQ(missing.exitCode, 8);
  EXPECT_EQ(missing.errors, "Error CONV1014: Input file " + (dir_ / "none.yuv").string() + " not found\n");

  const auto copy = dir_ / "copy.yuv";
  const Outcome same = Convert(I420(clip_), copy, {"-S", "yuv420"});
  EXPECT_EQ(same.exitCode, 0);
  EXPECT_EQ(test::ReadFileBytes(copy), test::ReadFileBytes(clip_));
  const std::string history = test::ReadFileText(dir_ / "state" / "velutrix" / "yuv_file_history3.ini");
  EXPECT_EQ(history.find("copy.yuv"), std::string::npos) << "a plain copy shows no frame and adds no record";
}

TEST_F(HeadlessConvert, CropFlipAndJoinMatchFfmpegAndCat) {
  const std::string source = clip_.string();
  const std::vector<std::string> layout = {"-s",     "yuv420", "-o",  "yuv", "-f",  "progressive", "-p",
                                           "planar", "-w",     "176", "-h",  "144", "-e",          "exit"};
  auto run = [&](std::vector<std::string> args) {
    args.insert(args.end(), layout.begin(), layout.end());
    return Run(args);
  };
  auto ffmpeg = [&](const std::string& filter, const std::filesystem::path& out) {
    return std::system(("ffmpeg -loglevel error -y -f rawvideo -pix_fmt yuv420p -s 176x144 -i '" + source +
                        "' -vf " + filter + " -f rawvideo '" + out.string() + "'")
                           .c_str());
  };
  const Outcome crop =
      run({"-a", "crop", "-n", source, "-N", (dir_ / "crop.yuv").string(), "-c", "10,20,100,60"});
  ASSERT_EQ(crop.exitCode, 0) << crop.errors;
  ASSERT_EQ(ffmpeg("crop=60:100:20:10", dir_ / "crop_ref.yuv"), 0);
  EXPECT_EQ(test::ReadFileBytes(dir_ / "crop.yuv"), test::ReadFileBytes(dir_ / "crop_ref.yuv"));

  const Outcome flip = run({"-a", "flip", "-n", source, "-N", (dir_ / "flip.yuv").string()});
  ASSERT_EQ(flip.exitCode, 0) << flip.errors;
  ASSERT_EQ(ffmpeg("vflip", dir_ / "flip_ref.yuv"), 0);
  EXPECT_EQ(test::ReadFileBytes(dir_ / "flip.yuv"), test::ReadFileBytes(dir_ / "flip_ref.yuv"));

  const Outcome join = run(
      {"-a", "join", "-n", source, "-m", (dir_ / "flip.yuv").string(), "-N", (dir_ / "join.yuv").string()});
  ASSERT_EQ(join.exitCode, 0) << join.errors;
  auto expected = test::ReadFileBytes(clip_);
  const auto flipped = test::ReadFileBytes(dir_ / "flip.yuv");
  expected.insert(expected.end(), flipped.begin(), flipped.end());
  EXPECT_EQ(test::ReadFileBytes(dir_ / "join.yuv"), expected);

  const Outcome refused =
      run({"-a", "crop", "-n", source, "-N", (dir_ / "bad.yuv").string(), "-c", "1,0,8,8"});
  EXPECT_EQ(refused.exitCode, 8);
  EXPECT_EQ(refused.errors.substr(0, 15), "Error CROP1027:");
}

}  // namespace
}  // namespace vx::test
