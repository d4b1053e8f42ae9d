#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "ProgramTestSupport.h"
#include "avi/AviFile.h"
#include "image/ColorFormula.h"
#include "model/CommandLine.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "tools/AviJobs.h"

namespace vx::test {
namespace {

// AVI files against ffmpeg and ffprobe.
class HeadlessAvi : public HeadlessConvert {
 protected:
  // An AVI of the clip made by ffmpeg with `codec` (extra options after it).
  std::filesystem::path FfmpegAvi(const std::string& name, const std::string& codec,
                                  const char* size = "176x144", int frames = 8,
                                  const char* source = "testsrc") {
    const auto path = dir_ / name;
    const std::string command = std::string("ffmpeg -loglevel error -y -f lavfi -i ") + source +
                                "=size=" + size + ":rate=25 -frames:v " + std::to_string(frames) + " -c:v " +
                                codec + " '" + path.string() + "'";
    return std::system(command.c_str()) == 0 ? path : std::filesystem::path();
  }
  // ffmpeg's own decoding of `avi` as B G R pixels, from frame `first` (from 0).
  std::vector<uint8_t> FfmpegBgr(const std::filesystem::path& avi, int first = 0) {
    const auto out = dir_ / "ref.bgr";
    const std::string select =
        first > 0 ? " -vf select='gte(n\\," + std::to_string(first) + ")' -vsync 0" : "";
    const std::string command = "ffmpeg -loglevel error -y -i '" + avi.string() + "'" + select +
                                " -pix_fmt bgr24 -f rawvideo '" + out.string() + "'";
    if (std::system(command.c_str()) != 0) return {};
    return test::ReadFileBytes(out);
  }
  Outcome Decode(const std::filesystem::path& avi, const std::filesystem::path& target,
                 std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"-a", "avi2yuv", "-n", avi.string(), "-N", target.string(),
                                     "-S", "rgb444",  "-O", "bgr",        "-P", "packed",
                                     "-W", "176",     "-H", "144",        "-e", "exit"};
    args.insert(args.end(), extra.begin(), extra.end());
    return Run(args);
  }
  // ffmpeg's decoding of `avi` as 4:2:0 samples, each picture once, converted by
  // our converter: the pixels our AVI path gives (one layout engine, one formula).
  std::vector<uint8_t> FfmpegSamplesAsBgr(const std::filesystem::path& avi, int frames) {
    const auto samples = dir_ / "samples.yuv", expected = dir_ / "expected.bgr";
    const std::string command = "ffmpeg -loglevel error -y -i '" + avi.string() +
                                "' -vsync passthrough -f rawvideo -pix_fmt yuv420p '" + samples.string() +
                                "'";
    if (std::system(command.c_str()) != 0) return {};
    if (test::ReadFileBytes(samples).size() != static_cast<size_t>(frames) * 176 * 144 * 3 / 2) return {};
    if (Convert(I420(samples), expected, {"-S", "rgb444", "-O", "bgr", "-P", "packed"}).exitCode != 0)
      return {};
    return test::ReadFileBytes(expected);
  }
  bool HasBFrames(const std::filesystem::path& avi) {
    const auto out = dir_ / "types.txt";
    const std::string command =
        "ffprobe -v error -select_streams v:0 -show_entries frame=pict_type -of csv=p=0 '" + avi.string() +
        "' >'" + out.string() + "'";
    return std::system(command.c_str()) == 0 && test::ReadFileText(out).find('B') != std::string::npos;
  }
  // avi2yuv of the whole 30-frame file, jobs over ranges that start at key
  // frames, at pictures read after a key frame but shown before it, and
  // elsewhere, and frames read out of order: every frame is ffmpeg's.
  void ExpectFfmpegsFrames(const std::filesystem::path& avi) {
    constexpr int kFrames = 30;
    constexpr size_t kFrame = 176 * 144 * 3;
    const std::vector<uint8_t> expected = FfmpegSamplesAsBgr(avi, kFrames);
    ASSERT_EQ(expected.size(), kFrames * kFrame);
    const auto whole = dir_ / "whole.bgr";
    const Outcome o = Decode(avi, whole);
    ASSERT_EQ(o.exitCode, 0) << o.errors;
    EXPECT_EQ(test::ReadFileBytes(whole), expected) << "the whole file";
    for (const auto& [first, last] : std::vector<std::pair<int, int>>{
             {7, 19}, {11, 20}, {12, 20}, {13, 30}, {24, 30}, {25, 25}, {30, 30}}) {
      AviToYuvJob job;
      ASSERT_TRUE(job.ChooseAvi(avi.string()));
      ASSERT_EQ(job.FrameCount, kFrames);
      job.TargetName = (dir_ / "range.bgr").string();
      static_cast<ImageFormat&>(job.TargetFormat) = test::Layout(RGB_444, BGR, Progressive, Packed, 176, 144);
      ComputeFrameSize(job.TargetFormat);
      job.StartFrame = first;
      job.EndFrame = last;
      job.ExitWhenDone = true;
      ToolJobObserver quiet;
      RecordingMessageSink recorder;
      ScopedMessageSink scope(recorder);
      ASSERT_EQ(job.FreezeAndRun(quiet), JobOutcome::Completed)
          << first << ".." << last << ": " << (recorder.Texts().empty() ? "" : recorder.Texts()[0]);
      const std::vector<uint8_t> range = test::ReadFileBytes(dir_ / "range.bgr");
      ASSERT_EQ(range.size(), static_cast<size_t>(last - first + 1) * kFrame) << first << ".." << last;
      EXPECT_TRUE(std::equal(range.begin(), range.end(),
                             expected.begin() + static_cast<ptrdiff_t>((first - 1) * kFrame)))
          << "frames " << first << " to " << last;
    }
    avi::OpenFailure failure = avi::OpenFailure::None;
    auto reader = avi::AviReader::Open(avi.string(), failure);
    ASSERT_TRUE(reader && reader->OpenDecoder());
    const auto tables = CurrentColourTables();
    std::vector<uint8_t> rows(kFrame);
    for (const int n : {20, 5, 13, 12, 30, 1, 25, 24, 11, 2, 29}) {
      ASSERT_TRUE(reader->ReadFrame(
          n, avi::BgrRows{.data = rows.data(), .stride = 176 * 3, .bottomUp = false}, *tables))
          << "frame " << n;
      EXPECT_TRUE(
          std::equal(rows.begin(), rows.end(), expected.begin() + static_cast<ptrdiff_t>((n - 1) * kFrame)))
          << "frame " << n << " read out of order";
    }
  }
  std::string Probe(const std::filesystem::path& avi) {
    const auto out = dir_ / "probe.txt";
    const std::string command =
        "ffprobe -v error -select_streams v:0 -show_entries "
        "stream=codec_name,codec_tag_string,width,height,nb_frames,r_frame_rate -of csv=p=0 '" +
        avi.string() + "' >'" + out.string() + "'";
    if (std::system(command.c_str()) != 0) return {};
    return test::ReadFileText(out);
  }
};

TEST_F(HeadlessAvi, RgbCodecsDecodeToFfmpegsOwnPixels) {
  for (const auto& [name, codec] :
       std::vector<std::pair<std::string, std::string>>{{"bgr.avi", "rawvideo -pix_fmt bgr24"},
                                                        {"huffyuv.avi", "huffyuv -pix_fmt rgb24"},
                                                        {"cinepak.avi", "cinepak"}}) {
    const auto avi = FfmpegAvi(name, codec);
    ASSERT_FALSE(avi.empty()) << codec;
    const auto out = dir_ / (name + ".bgr");
    const Outcome o = Decode(avi, out);
    ASSERT_EQ(o.exitCode, 0) << name << ": " << o.errors;
    EXPECT_EQ(test::ReadFileBytes(out), FfmpegBgr(avi)) << name;
  }
}

TEST_F(HeadlessAvi, SmallOddPicturesFillExactlyTheirRows) {
  // The library's conversion writes past the end of a row; rows sized exactly for
  // the picture, top-down and bottom-up, must get the pixels and nothing beyond.
  struct Case {
    const char* codec;
    int width, height;
  };
  for (const Case& c :
       {Case{"rawvideo -pix_fmt yuv420p -vtag I420", 1, 16}, Case{"mjpeg -pix_fmt yuvj420p", 3, 5},
        Case{"huffyuv -pix_fmt rgb24", 5, 3}, Case{"rawvideo -pix_fmt bgr24", 5, 3}}) {
    const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
    const auto avi = FfmpegAvi("small.avi", c.codec, size.c_str());
    ASSERT_FALSE(avi.empty()) << c.codec;
    const std::vector<uint8_t> reference = FfmpegBgr(avi);
    const size_t used = 3 * c.width, pitch = (used + 3) / 4 * 4;
    ASSERT_EQ(reference.size(), 8 * used * c.height) << c.codec;
    avi::OpenFailure failure = avi::OpenFailure::None;
    auto reader = avi::AviReader::Open(avi.string(), failure);
    ASSERT_TRUE(reader && reader->OpenDecoder()) << c.codec;
    const auto tables = CurrentColourTables();
    for (const bool bottomUp : {false, true}) {
      for (int n = 1; n <= 8; ++n) {
        std::vector<uint8_t> rows(pitch * c.height, 0xEE);  // a fresh block each time, for the sanitizer
        ASSERT_TRUE(reader->ReadFrame(
            n, avi::BgrRows{.data = rows.data(), .stride = static_cast<int64_t>(pitch), .bottomUp = bottomUp},
            *tables))
            << c.codec << " frame " << n;
        for (int r = 0; r < c.height; ++r) {
          const uint8_t* row = rows.data() + (bottomUp ? c.height - 1 - r : r) * pitch;
          const auto expected = reference.begin() + static_cast<ptrdiff_t>(((n - 1) * c.height + r) * used);
          EXPECT_TRUE(std::equal(row, row + used, expected)) << c.codec << " frame " << n << " row " << r;
          EXPECT_TRUE(std::all_of(row + used, row + pitch, [](uint8_t b) { return b == 0; })) << "padding";
        }
      }
    }
  }
}

TEST_F(HeadlessAvi, YuvCodecsDecodeAsTheirRawSamplesWouldConvert) {
  // ffmpeg's decoded samples, saved as a raw file and converted by our converter,
  // give the very pixels our AVI path gives: one layout engine, one formula.
  for (const auto& [name, codec, layout] :
       std::vector<std::array<std::string, 3>>{{"i420.avi", "rawvideo -pix_fmt yuv420p -vtag I420", "yuv420"},
                                               {"xvid.avi", "mpeg4 -vtag XVID", "yuv420"},
                                               {"mjpeg.avi", "mjpeg -pix_fmt yuvj420p", "yuv420"},
                                               {"huffyuv422.avi", "huffyuv -pix_fmt yuv422p", "yuv422"}}) {
    const auto avi = FfmpegAvi(name, codec);
    ASSERT_FALSE(avi.empty()) << codec;
    const auto samples = dir_ / (name + ".yuv");
    ASSERT_EQ(std::system(("ffmpeg -loglevel error -y -i '" + avi.string() + "' -f rawvideo '" +
                           samples.string() + "'")
                              .c_str()),
              0);
    const auto expected = dir_ / (name + ".expected.bgr");
    const Outcome converted = Convert({"-n", samples.string(), "-s", layout, "-o", "yuv", "-f", "progressive",
                                       "-p", "planar", "-w", "176", "-h", "144"},
                                      expected, {"-S", "rgb444", "-O", "bgr", "-P", "packed"});
    ASSERT_EQ(converted.exitCode, 0) << converted.errors;
    const auto out = dir_ / (name + ".bgr");
    const Outcome o = Decode(avi, out);
    ASSERT_EQ(o.exitCode, 0) << name << ": " << o.errors;
    EXPECT_EQ(test::ReadFileBytes(out), test::ReadFileBytes(expected)) << name;
  }
}

TEST_F(HeadlessAvi, ARangeThatStartsLateDecodesFromThatFrame) {
  // Key frames every 3: frame 5 is decoded from frame 4's key frame, not from the start.
  const auto avi = FfmpegAvi("late.avi", "mpeg4 -vtag XVID -g 3");
  ASSERT_FALSE(avi.empty());
  const auto all = dir_ / "all.bgr";
  ASSERT_EQ(Decode(avi, all).exitCode, 0);
  AviToYuvJob job;
  ASSERT_TRUE(job.ChooseAvi(avi.string()));
  EXPECT_EQ(job.FrameCount, 8);
  job.TargetName = (dir_ / "late.bgr").string();
  static_cast<ImageFormat&>(job.TargetFormat) = test::Layout(RGB_444, BGR, Progressive, Packed, 176, 144);
  ComputeFrameSize(job.TargetFormat);
  job.StartFrame = 5;
  ToolJobObserver quiet;
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  job.ExitWhenDone = true;
  ASSERT_EQ(job.FreezeAndRun(quiet), JobOutcome::Completed)
      << (recorder.Texts().empty() ? "" : recorder.Texts()[0]);
  const std::vector<uint8_t> whole = test::ReadFileBytes(all), late = test::ReadFileBytes(dir_ / "late.bgr");
  const size_t frame = 176 * 144 * 3;
  ASSERT_EQ(late.size(), 4 * frame);
  EXPECT_TRUE(std::equal(late.begin(), late.end(), whole.begin() + 4 * frame)) << "frames 5 to 8";
}

TEST_F(HeadlessAvi, Mpeg4BFramesGiveFfmpegsFramesWholeAndFromAnyStart) {
  // Key frames every 12 with B-frames: the decoder outputs each P- or I-frame one
  // packet late, and the B-frames shown just before a key frame are read after it.
  for (const char* b : {"1", "2"}) {
    SCOPED_TRACE(std::string("-bf ") + b);
    const auto avi = FfmpegAvi(std::string("bf") + b + ".avi",
                               std::string("mpeg4 -bf ") + b + " -q:v 4 -vtag XVID", "176x144", 30);
    ASSERT_FALSE(avi.empty());
    ASSERT_TRUE(HasBFrames(avi));
    ExpectFfmpegsFrames(avi);
  }
}

TEST_F(HeadlessAvi, H264BFramesGiveFfmpegsFramesWholeAndFromAnyStart) {
  if (std::system("ffmpeg -hide_banner -encoders 2>/dev/null | grep -q libx264") != 0)
    GTEST_SKIP() << "this ffmpeg has no libx264";
  // The encoder's defaults (B-frames in a pyramid on this moving picture, one key
  // frame), then key frames every 12 whose GOPs stay open: B-frames read after a
  // key frame refer to the pictures before it.
  for (const char* options : {"", " -x264-params keyint=12:open-gop=1:bframes=2:b-adapt=0"}) {
    SCOPED_TRACE(options);
    const auto avi =
        FfmpegAvi("h264.avi", std::string("libx264 -pix_fmt yuv420p") + options, "176x144", 30, "testsrc2");
    ASSERT_FALSE(avi.empty());
    ASSERT_TRUE(HasBFrames(avi));
    ExpectFfmpegsFrames(avi);
  }
}

TEST_F(HeadlessAvi, WritesAvisThatFfprobeReads) {
  for (const auto& [code, expected] :
       std::vector<std::pair<std::string, std::string>>{{"iyuv", "rawvideo,IYUV,176,144,30/1,6"},
                                                        {"I420", "rawvideo,I420,176,144,30/1,6"},
                                                        {"xvid", "mpeg4,XVID,176,144,30/1,6"},
                                                        {"divx", "mpeg4,DIVX,176,144,30/1,6"},
                                                        {"cvid", "cinepak,cvid,176,144,30/1,6"}}) {
    const auto avi = dir_ / (code + ".avi");
    std::vector<std::string> args = I420(clip_);
    args.insert(args.begin(), {"-a", "yuv2avi", "-N", avi.string(), "-v", code, "-e", "exit"});
    const Outcome o = Run(args);
    ASSERT_EQ(o.exitCode, 0) << code << ": " << o.errors;
    EXPECT_EQ(Probe(avi), expected + "\n") << code;
    // The stream handler is written as typed.
    const std::string bytes = test::ReadFileText(avi);
    EXPECT_NE(bytes.find("vids" + code), std::string::npos) << code;
  }
}

TEST_F(HeadlessAvi, RawToAviAndBackKeepsThePicture) {
  auto roundTrip = [&](const std::filesystem::path& raw, const std::filesystem::path& back) {
    const auto avi = dir_ / "round.avi";
    std::filesystem::remove(avi);
    std::vector<std::string> args = I420(raw);
    args.insert(args.begin(), {"-a", "yuv2avi", "-N", avi.string(), "-v", "iyuv", "-e", "exit"});
    const Outcome encoded = Run(args);
    ASSERT_EQ(encoded.exitCode, 0) << encoded.errors;
    const Outcome decoded =
        Run({"-a", "avi2yuv",     "-n", avi.string(), "-N", back.string(), "-S", "yuv420", "-O", "yuv",
             "-F", "progressive", "-P", "planar",     "-W", "176",         "-H", "144",    "-e", "exit"});
    ASSERT_EQ(decoded.exitCode, 0) << decoded.errors;
  };
  // The first trip clips the colours that no RGB pixel has; from then on a trip
  // costs only the formula's rounding.
  const auto once = dir_ / "once.yuv", twice = dir_ / "twice.yuv";
  roundTrip(clip_, once);
  roundTrip(once, twice);
  const std::vector<uint8_t> a = test::ReadFileBytes(once), b = test::ReadFileBytes(twice);
  ASSERT_EQ(a.size(), test::ReadFileBytes(clip_).size());
  ASSERT_EQ(a.size(), b.size());
  const size_t luma = 176 * 144, frame = luma * 3 / 2;
  int worstLuma = 0, worstChroma = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const int d = std::abs(int{a[i]} - int{b[i]});
    int& worst = i % frame < luma ? worstLuma : worstChroma;
    worst = std::max(worst, d);
  }
  EXPECT_LE(worstLuma, 4);
  EXPECT_LE(worstChroma, 8);
}

TEST_F(HeadlessAvi, IyuvFramesAreTheProgramsOwnFourTwoZero) {
  // The encoder's picture is the source shown in RGB, brought back to 4:2:0 with the
  // formula: the converter makes the same two steps through an RGB file.
  const auto avi = dir_ / "own.avi";
  std::vector<std::string> args = I420(clip_);
  args.insert(args.begin(), {"-a", "yuv2avi", "-N", avi.string(), "-v", "iyuv", "-e", "exit"});
  ASSERT_EQ(Run(args).exitCode, 0);
  const auto stored = dir_ / "stored.yuv";
  ASSERT_EQ(std::system(
                ("ffmpeg -loglevel error -y -i '" + avi.string() + "' -f rawvideo '" + stored.string() + "'")
                    .c_str()),
            0);
  const auto rgb = dir_ / "shown.rgb", expected = dir_ / "expected.yuv";
  ASSERT_EQ(Convert(I420(clip_), rgb, {"-S", "rgb444", "-O", "bgr", "-P", "packed"}).exitCode, 0);
  ASSERT_EQ(Convert({"-n", rgb.string(), "-s", "rgb444", "-o", "bgr", "-f", "progressive", "-p", "packed",
                     "-w", "176", "-h", "144"},
                    expected, {"-S", "yuv420", "-O", "yuv", "-F", "progressive", "-P", "planar"})
                .exitCode,
            0);
  EXPECT_EQ(test::ReadFileBytes(stored), test::ReadFileBytes(expected));
}

TEST_F(HeadlessAvi, BmpPicturesAreNumberedFromZeroAndCappedAt10240) {
  const auto avi = FfmpegAvi("few.avi", "rawvideo -pix_fmt bgr24");
  ASSERT_FALSE(avi.empty());
  const auto target = dir_ / "pic.bmp";
  const Outcome o = Run({"-a", "avi2yuv", "-n", avi.string(), "-N", target.string(), "-S", "bmp", "-W", "176",
                         "-H", "144", "-e", "exit"});
  ASSERT_EQ(o.exitCode, 0) << o.errors;
  for (int k = 0; k < 8; ++k) EXPECT_TRUE(std::filesystem::exists(dir_ / StrFormat("pic_%04d.bmp", k))) << k;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "pic_0008.bmp"));
  // A ".bmp" name without "-S bmp" gives the same pictures, not raw bytes under that name.
  const Outcome named = Run({"-a", "avi2yuv", "-n", avi.string(), "-N", (dir_ / "Named.BMP").string(), "-W",
                             "176", "-H", "144", "-e", "exit"});
  ASSERT_EQ(named.exitCode, 0) << named.errors;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "Named.BMP"));
  for (int k = 0; k < 8; ++k)
    EXPECT_EQ(test::ReadFileBytes(dir_ / StrFormat("Named_%04d.bmp", k)),
              test::ReadFileBytes(dir_ / StrFormat("pic_%04d.bmp", k)))
        << k;

  // 10241 frames: the command line says so and keeps 10240.
  const auto many = dir_ / "many.avi";
  ASSERT_EQ(std::system(("ffmpeg -loglevel error -y -f lavfi -i color=size=8x8:rate=25 -frames:v 10241 -c:v "
                         "rawvideo -pix_fmt bgr24 '" +
                         many.string() + "'")
                            .c_str()),
            0);
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  CommandLineRequest request;
  request.InputName = many.string();
  request.OutputName = (dir_ / "many.bmp").string();
  request.OutputFormat = {BMP, RGB, Progressive, Packed, 8, 8};
  AviToYuvJob job;
  ASSERT_TRUE(job.PrepareAviRequest(request));
  EXPECT_EQ(job.FrameCount, 10241);
  EXPECT_EQ(job.EndFrame, 10240);
  ASSERT_EQ(recorder.Texts().size(), 1u);
  EXPECT_EQ(recorder.Texts()[0],
            "Error TAVI1006: There are more than 10240 frames, only first 10240 frames are converted to BMP "
            "files\n");
}

TEST_F(HeadlessAvi, AStreamWithoutADecoderIsRefusedOnOpening) {
  const auto avi = FfmpegAvi("unknown.avi", "mpeg4 -vtag XVID");
  ASSERT_FALSE(avi.empty());
  std::string bytes = test::ReadFileText(avi);
  for (size_t at = bytes.find("XVID"); at != std::string::npos; at = bytes.find("XVID", at))
    bytes.replace(at, 4, "QQQQ");
  test::WriteFileBytes(avi, std::vector<uint8_t>(bytes.begin(), bytes.end()));
  const Outcome o = Decode(avi, dir_ / "unknown.bgr");
  EXPECT_EQ(o.exitCode, 8);
  EXPECT_EQ(o.errors.rfind("Error AVIT1002:  AVI stream cannot be decoded! \n", 0), 0u) << o.errors;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "unknown.bgr"));
}

TEST_F(HeadlessAvi, PictureSizesTheFramesDoNotHaveAreRefusedBeforeFrameBuffersAreMade) {
  // 32 x 32 clips whose bitmap header (and main header, when both are changed) says
  // another width. ffv1 and Cinepak decode whatever size the header gives: a width
  // of 1302083 cost 0.9 GB and wrote black frames; MPEG-4 stores its own size.
  struct Case {
    const char* codec;
    uint32_t width;
    bool mainToo;
    std::string refusal;
  };
  const std::string disagree =
      "Error AVIT1029: The AVI file's headers give different picture sizes; the file is damaged!\n";
  const std::string tooLarge =
      "Error AVIT1030: The AVI file's header gives a picture larger than 8192 pixels on a side or than "
      "8192 x 5120 in all; the file may be damaged!\n";
  for (const Case& c : {Case{"ffv1", 1302083, false, disagree}, Case{"cinepak", 1302083, false, disagree},
                        Case{"ffv1", 1302083, true, tooLarge}, Case{"cinepak", 9000, true, tooLarge},
                        Case{"mpeg4 -vtag XVID", 64, true,
                             "Error AVIT1031: The AVI file's header gives the picture size (64, 32), but its "
                             "frames decode to (32, 32); the file is damaged!\n"}}) {
    SCOPED_TRACE(std::string(c.codec) + " " + std::to_string(c.width) +
                 (c.mainToo ? " in both headers" : ""));
    const auto avi = FfmpegAvi("small.avi", c.codec, "32x32", 5);
    ASSERT_FALSE(avi.empty());
    std::vector<uint8_t> bytes = test::ReadFileBytes(avi);
    // The width follows biSize in the stream's BITMAPINFOHEADER, and is the ninth field of avih.
    auto patch = [&](const char* chunk, size_t field) {
      const size_t at = std::string(bytes.begin(), bytes.end()).find(chunk);
      ASSERT_NE(at, std::string::npos) << chunk;
      ASSERT_LE(at + 8 + field + 4, bytes.size());
      for (size_t i = 0; i < 4; ++i) bytes[at + 8 + field + i] = static_cast<uint8_t>(c.width >> (8 * i));
    };
    patch("strf", 4);
    if (c.mainToo) patch("avih", 32);
    const auto damaged = dir_ / "damaged.avi";
    test::WriteFileBytes(damaged, bytes);
    const auto target = dir_ / "damaged.yuv";
    const std::vector<std::string> args = {"-a", "avi2yuv",
                                           "-n", damaged.string(),
                                           "-N", target.string(),
                                           "-S", "yuv444",
                                           "-O", "yuv",
                                           "-F", "progressive",
                                           "-P", "planar",
                                           "-W", "32",
                                           "-H", "32",
                                           "-e", "exit"};
    const Outcome o = RunMeasured("timeout 20", args);
    EXPECT_EQ(o.exitCode, 8);
    EXPECT_EQ(o.errors, c.refusal);
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_GT(o.peakKilobytes, 0);
    EXPECT_LT(o.peakKilobytes, 300 * 1024) << "kilobytes at most, for a file of " << bytes.size() << " bytes";
  }
}

TEST_F(HeadlessAvi, RefusalsAndDamagedFiles) {
  const auto odd = FfmpegAvi("odd.avi", "rawvideo -pix_fmt bgr24", "351x144");
  ASSERT_FALSE(odd.empty());
  Outcome o = Run({"-a", "avi2yuv", "-n", odd.string(), "-N", (dir_ / "odd.yuv").string(), "-S", "yuv420",
                   "-P", "planar", "-W", "351", "-H", "144", "-e", "exit"});
  EXPECT_EQ(o.exitCode, 8);
  EXPECT_EQ(o.errors,
            "Error AVIT1011: Input image width (351) is an odd number, the image cannot be convert to 420 "
            "format\n");

  // No encoder for Indeo 5 here: nothing is written.
  std::vector<std::string> args = I420(clip_);
  args.insert(args.begin(), {"-a", "yuv2avi", "-N", (dir_ / "iv.avi").string(), "-v", "iv50", "-e", "exit"});
  o = Run(args);
  EXPECT_EQ(o.exitCode, 8);
  EXPECT_EQ(o.errors, "Error AVIF2006: Unable to make compressed stream\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "iv.avi"));

  // A truncated AVI fails cleanly, without a crash or a hang.
  const auto whole = FfmpegAvi("whole.avi", "mpeg4 -vtag XVID");
  ASSERT_FALSE(whole.empty());
  std::vector<uint8_t> bytes = test::ReadFileBytes(whole);
  for (const size_t keep : {bytes.size() / 2, size_t{300}, size_t{20}}) {
    const auto cut = dir_ / "cut.avi";
    test::WriteFileBytes(cut, std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(keep)));
    o = Decode(cut, dir_ / "cut.bgr");
    EXPECT_EQ(o.exitCode, 8) << keep << " bytes: " << o.errors;
    EXPECT_FALSE(o.errors.empty());
  }
}

TEST(AviTexts, CodesListsAndDiagnostics) {
  EXPECT_EQ(avi::FourccText(avi::FourccFromText("XVID")), "XVID");
  EXPECT_EQ(avi::FourccText(0), "unknown") << "a code that is not printable";
  EXPECT_EQ(CodecDiagnostics("iv50"), "No VFW codec associated with 4cc found.\r\n");
  EXPECT_EQ(CodecDiagnostics("XviD").rfind("Codec Name:  Xvid\r\nDescription: ", 0), 0u) << "case is ignored";
  EXPECT_NE(CodecDiagnostics("iyuv").find("\r\nDriver file: rawvideo\r\nHas \"About\" dialog:  No\r\nHas "
                                          "\"Config\" dialog: No\r\n"),
            std::string::npos);
  std::vector<std::string> codes;
  for (const avi::CodecInfo& c : avi::OfferedEncoders()) codes.push_back(c.code);
  EXPECT_EQ(codes.front(), "iyuv");
  EXPECT_EQ(std::count(codes.begin(), codes.end(), "iv50"), 0) << "no encoder, not offered";
  const std::string info = AviInformationText({{"XVID", "mpeg4", "MPEG-4 part 2", "mpeg4"}}, 0, 351, 144, 12);
  EXPECT_EQ(
      info,
      "Codec available on this computer:\nXVID:  mpeg4 MPEG-4 part 2\n         driver:  mpeg4\n \nVideo "
      "stream format of this file:     unknown\nImage resolution (width x height):    (351 x 144)\nNumber of "
      "frames: 12\n");
}

}  // namespace
}  // namespace vx::test
