#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ProgramTestSupport.h"
#include "avi/AviFile.h"

namespace vx::test {
namespace {

TEST_F(HeadlessProgram, MergeEndsAtAComponentsPartialFrame) {
  // 4:4:4 components of 40 x 30: 1,200 bytes a frame. Y has six frames; U or V five
  // and 1,000 bytes of a sixth: five frames are merged, each Y, U, V of its own.
  constexpr size_t kPlane = 40 * 30;
  const auto y = test::RandomBytes(6 * kPlane, 31), u = test::RandomBytes(6 * kPlane, 32),
             v = test::RandomBytes(6 * kPlane, 33);
  for (const char* partial : {"u", "v"}) {
    SCOPED_TRACE(partial);
    const auto cut = [&](const std::vector<uint8_t>& plane, const char* name) {
      return std::string(name) == partial
                 ? std::vector<uint8_t>(plane.begin(),
                                        plane.begin() + static_cast<ptrdiff_t>(5 * kPlane + 1000))
                 : plane;
    };
    test::WriteFileBytes(dir_ / "parts.y", y);
    test::WriteFileBytes(dir_ / "parts.u", cut(u, "u"));
    test::WriteFileBytes(dir_ / "parts.v", cut(v, "v"));
    const auto merged = dir_ / "merged.yuv";
    const Outcome o = Run({"-a", "merge", "-n", (dir_ / "parts").string(), "-N", merged.string(), "-s",
                           "yuv444", "-w", "40", "-h", "30", "-e", "exit"});
    EXPECT_EQ(o.exitCode, 0) << o.errors;
    std::vector<uint8_t> expected;
    for (size_t frame = 0; frame < 5; ++frame) {
      for (const auto* plane : {&y, &u, &v}) {
        expected.insert(expected.end(), plane->begin() + static_cast<ptrdiff_t>(frame * kPlane),
                        plane->begin() + static_cast<ptrdiff_t>((frame + 1) * kPlane));
      }
    }
    EXPECT_EQ(test::ReadFileBytes(merged), expected);
  }
}

// Padding, separating and merging without a display, against ffmpeg's pad,
// fillborders and extractplanes filters.
class HeadlessComponents : public HeadlessConvert {
 protected:
  // ffmpeg's filter `graph` over the clip in `pixelFormat`, to one raw output per map.
  bool Ffmpeg(const std::filesystem::path& input, const char* pixelFormat, const std::string& tail) {
    const std::string command = std::string("ffmpeg -loglevel error -y -f rawvideo -pix_fmt ") + pixelFormat +
                                " -s 176x144 -i '" + input.string() + "' " + tail;
    return std::system(command.c_str()) == 0;
  }
  std::filesystem::path Yuv444Clip() {
    const auto path = dir_ / "clip444.yuv";
    return Ffmpeg(clip_, "yuv420p",
                  "-sws_flags neighbor -pix_fmt yuv444p -f rawvideo '" + path.string() + "'")
               ? path
               : std::filesystem::path();
  }
  std::vector<std::string> Layout(const std::filesystem::path& path, const char* sampling) {
    return {"-n",          path.string(), "-s",     sampling, "-o",  "yuv", "-f",
            "progressive", "-p",          "planar", "-w",     "176", "-h",  "144"};
  }
};

TEST_F(HeadlessComponents, PaddingEqualsFfmpegsPadAndFillborders) {
  const auto yuv444 = Yuv444Clip();
  ASSERT_FALSE(yuv444.empty());
  struct Case {
    std::filesystem::path source;
    const char *sampling, *pixelFormat;
  };
  for (const Case& c : {Case{clip_, "yuv420", "yuv420p"}, Case{yuv444, "yuv444", "yuv444p"}}) {
    const auto out = dir_ / "padded.yuv", reference = dir_ / "padded_ref.yuv";
    std::vector<std::string> args = Layout(c.source, c.sampling);
    args.insert(args.end(), {"-a", "pad", "-N", out.string(), "-W", "200", "-H", "160", "-c", "6,10"});
    const Outcome o = Run(args);
    ASSERT_EQ(o.exitCode, 0) << o.errors;
    EXPECT_EQ(o.errors, "Padding finished! The resolution of the new file is 200(W) x 160(H)!\n");
    ASSERT_TRUE(
        Ffmpeg(c.source, c.pixelFormat,
               "-vf pad=200:160:10:6,fillborders=left=10:right=14:top=6:bottom=10:mode=smear -f rawvideo '" +
                   reference.string() + "'"));
    EXPECT_EQ(test::ReadFileBytes(out), test::ReadFileBytes(reference)) << c.sampling;
  }
  // A fill colour: every border sample is the colour's, the picture is the source's.
  const auto filled = dir_ / "filled.yuv";
  std::vector<std::string> args = Layout(clip_, "yuv420");
  args.insert(args.end(),
              {"-a", "pad", "-N", filled.string(), "-W", "180", "-H", "144", "-k", "0,0,0", "-e", "exit"});
  ASSERT_EQ(Run(args).exitCode, 0);
  const auto in = test::ReadFileBytes(clip_), out = test::ReadFileBytes(filled);
  ASSERT_EQ(out.size(), 6u * 180 * 144 * 3 / 2);
  EXPECT_EQ(out[179], 16) << "black luma";
  EXPECT_EQ(out[180 * 144 + 89], 128) << "neutral chroma";
  EXPECT_TRUE(std::equal(in.begin(), in.begin() + 176, out.begin()));
  // A padded size smaller than the source fails the job.
  args = Layout(clip_, "yuv420");
  args.insert(args.end(), {"-a", "pad", "-N", (dir_ / "small.yuv").string(), "-W", "100", "-H", "100"});
  const Outcome refused = Run(args);
  EXPECT_EQ(refused.exitCode, 8);
  EXPECT_EQ(refused.errors.substr(0, 15), "Error PADD1007:");
}

TEST_F(HeadlessComponents, SeparateEqualsExtractplanesAndMergeGivesTheSourceBack) {
  const auto yuv444 = Yuv444Clip();
  ASSERT_FALSE(yuv444.empty());
  struct Case {
    std::filesystem::path source;
    const char *sampling, *pixelFormat;
  };
  for (const Case& c : {Case{clip_, "yuv420", "yuv420p"}, Case{yuv444, "yuv444", "yuv444p"}}) {
    std::vector<std::string> args = Layout(c.source, c.sampling);
    args.insert(args.end(), {"-a", "separate", "-N", (dir_ / "parts.yuv").string(), "-e", "exit"});
    const Outcome o = Run(args);
    ASSERT_EQ(o.exitCode, 0) << o.errors;
    EXPECT_EQ(o.errors.substr(0, 16), "The source file ") << "the summary is always shown";
    std::string maps = "-filter_complex extractplanes=y+u+v[y][u][v]";
    for (const char* plane : {"y", "u", "v"}) {
      maps += std::string(" -map [") + plane + "] -f rawvideo -pix_fmt gray '" + (dir_ / "ref.").string() +
              plane + "'";
    }
    ASSERT_TRUE(Ffmpeg(c.source, c.pixelFormat, maps));
    for (const char* plane : {"y", "u", "v"}) {
      EXPECT_EQ(test::ReadFileBytes(dir_ / (std::string("parts.") + plane)),
                test::ReadFileBytes(dir_ / (std::string("ref.") + plane)))
          << c.sampling << " " << plane;
    }
    const auto merged = dir_ / "merged.yuv";
    const Outcome m = Run({"-a", "merge", "-n", (dir_ / "parts").string(), "-N", merged.string(), "-s",
                           c.sampling, "-w", "176", "-h", "144"});
    ASSERT_EQ(m.exitCode, 0) << m.errors;
    EXPECT_EQ(test::ReadFileBytes(merged), test::ReadFileBytes(c.source)) << c.sampling;
  }
  // Missing components fail.
  const Outcome missing =
      Run({"-a", "merge", "-n", (dir_ / "none").string(), "-N", (dir_ / "x.yuv").string(), "-s", "yuv420"});
  EXPECT_EQ(missing.exitCode, 8);
  EXPECT_EQ(missing.errors, "Error MERG1018: Input file " + (dir_ / "none.y").string() + " not found\n");
}

}  // namespace
}  // namespace vx::test
