// Frames of Y4M files: where they lie, what a file's first bytes say of it, the
// playing windows' reader, and edits written back into Y4M, semi-planar and
// deeper files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "PixelTestSupport.h"
#include "TestSupport.h"
#include "editor/BlockEdit.h"
#include "image/FrameFile.h"
#include "image/StoredFrames.h"
#include "platform/MessageSink.h"
#include "player/FrameSequences.h"
#include "player/ShownFrame.h"
#include "tools/Crop.h"

namespace vx {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int64_t kI420Bytes = 16 * 8 * 3 / 2;  // a 16 x 8 I420 frame
const std::string kI420Header = "YUV4MPEG2 W16 H8 F25:1 Ip C420jpeg\n";

ImageFormat I420(int32_t bits = 8, int32_t pixel = Planar) {
  ImageFormat f = test::Layout(YUV_420, YUV, Progressive, pixel, 16, 8);
  f.BitsPerSample = bits;
  return f;
}

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// A header, then each frame after its line.
Bytes Y4mBytes(const std::string& header, const std::vector<std::string>& lines,
               const std::vector<Bytes>& frames) {
  Bytes file = Text(header);
  for (size_t i = 0; i < frames.size(); ++i) {
    file.insert(file.end(), lines[i].begin(), lines[i].end());
    file.insert(file.end(), frames[i].begin(), frames[i].end());
  }
  return file;
}

std::vector<Bytes> RandomFrames(int count, int64_t bytes, uint32_t seed) {
  std::vector<Bytes> frames;
  for (int i = 0; i < count; ++i) frames.push_back(test::RandomBytes(static_cast<size_t>(bytes), seed + i));
  return frames;
}

TEST(FrameFraming, WholeFramesAndOffsetsAtBothEnds) {
  const FrameFraming raw;
  EXPECT_EQ(raw.FramesIn(0, 192), 0);
  EXPECT_EQ(raw.FramesIn(191, 192), 0);
  EXPECT_EQ(raw.FramesIn(192, 192), 1);
  EXPECT_EQ(raw.FramesIn(3 * 192, 192), 3);
  EXPECT_EQ(raw.FramesIn(4 * 192 - 1, 192), 3);
  EXPECT_EQ(raw.FramesIn(1000, 0), 0) << "no frame size, no frames";
  EXPECT_EQ(raw.FrameOffset(1, 192), 0);
  EXPECT_EQ(raw.FrameOffset(3, 192), 384);

  // A 35-byte header, each 192-byte frame after a 6-byte line.
  const FrameFraming y4m{.y4m = true, .headerBytes = 35, .lineBytes = 6};
  EXPECT_EQ(y4m.FramesIn(0, 192), 0) << "an empty file";
  EXPECT_EQ(y4m.FramesIn(20, 192), 0) << "less than the header";
  EXPECT_EQ(y4m.FramesIn(35, 192), 0) << "the header only";
  EXPECT_EQ(y4m.FramesIn(35 + 6, 192), 0) << "a line without its frame";
  EXPECT_EQ(y4m.FramesIn(35 + 198 - 1, 192), 0) << "one frame minus one byte";
  EXPECT_EQ(y4m.FramesIn(35 + 198, 192), 1);
  EXPECT_EQ(y4m.FramesIn(35 + 3 * 198 - 1, 192), 2);
  EXPECT_EQ(y4m.FramesIn(35 + 3 * 198, 192), 3);
  EXPECT_EQ(y4m.FramesIn(35 + 3 * 198 + 197, 192), 3);
  EXPECT_EQ(y4m.FrameOffset(1, 192), 41) << "after the header and the first line";
  EXPECT_EQ(y4m.FrameOffset(3, 192), 35 + 2 * 198 + 6);
}

class ProbeFrameFiles : public testing::Test {
 protected:
  FrameFileProbe Probe(const std::string& name, const Bytes& bytes) {
    const std::string path = (dir_ / name).string();
    test::WriteFileBytes(path, bytes);
    return ProbeFrameFile(path);
  }
  std::string Problem(const std::string& name, const std::string& text) const {
    return "Error Y4MR1001: The Y4M file " + (dir_ / name).string() + " " + text + "!\n";
  }
  test::TempDir dir_;
};

TEST_F(ProbeFrameFiles, RawFilesProbeAsRaw) {
  for (const FrameFileProbe& probe : {Probe("clip.yuv", test::RandomBytes(500, 1)), Probe("empty.yuv", {}),
                                      ProbeFrameFile((dir_ / "missing.y4m").string())}) {
    EXPECT_FALSE(probe.framing.y4m);
    EXPECT_EQ(probe.framing.headerBytes, 0);
    EXPECT_EQ(probe.framing.lineBytes, 0);
    EXPECT_FALSE(probe.layout);
    EXPECT_EQ(probe.problem, "");
  }
}

TEST_F(ProbeFrameFiles, AFileStartingWithTheSignatureIsY4mWhateverItsName) {
  const std::string header = "YUV4MPEG2 W16 H8 F30:1 C422\n";
  const FrameFileProbe probe =
      Probe("clip.yuv", Y4mBytes(header, {"FRAME Ixyz\n"}, {test::RandomBytes(256, 2)}));
  ASSERT_EQ(probe.problem, "");
  EXPECT_TRUE(probe.framing.y4m);
  EXPECT_EQ(probe.framing.headerBytes, static_cast<int64_t>(header.size()));
  EXPECT_EQ(probe.framing.lineBytes, 11);
  ASSERT_TRUE(probe.layout);
  EXPECT_EQ(probe.layout->SamplingFormat, YUV_422);
  EXPECT_EQ(probe.layout->ComponentOrder, YUV);
  EXPECT_EQ(probe.layout->PixelFormat, Planar);
  EXPECT_EQ(probe.layout->FieldFormat, Progressive);
  EXPECT_EQ(probe.layout->ImgWidth, 16);
  EXPECT_EQ(probe.layout->ImgHeight, 8);
  EXPECT_EQ(probe.layout->BitsPerSample, 8);
  ASSERT_TRUE(probe.stream);
  EXPECT_EQ(probe.stream->rateNumerator, 30);
}

TEST_F(ProbeFrameFiles, AFileNamedY4mMustHoldAHeader) {
  for (const std::string name : {"clip.y4m", "CLIP.Y4M"}) {
    const FrameFileProbe probe = Probe(name, Bytes(kI420Bytes, 'Y'));
    EXPECT_TRUE(probe.framing.y4m) << name;
    EXPECT_FALSE(probe.layout) << name;
    EXPECT_EQ(probe.problem, Problem(name, "does not start with \"YUV4MPEG2 \"")) << name;
  }
  EXPECT_EQ(Probe("empty.y4m", {}).problem, Problem("empty.y4m", "does not start with \"YUV4MPEG2 \""));
}

TEST_F(ProbeFrameFiles, HeadersWithoutAFirstFrameLineAreRefused) {
  const std::string noLine = "has no FRAME line after its header";
  struct Case {
    const char* name;
    Bytes bytes;
  } cases[] = {
      {"header_only.y4m", Text(kI420Header)},
      {"samples_at_once.y4m", Y4mBytes(kI420Header, {""}, RandomFrames(1, kI420Bytes, 3))},
      {"misspelt.y4m", Y4mBytes(kI420Header, {"FRAMX\n"}, RandomFrames(1, kI420Bytes, 3))},
      {"no_space.y4m", Y4mBytes(kI420Header, {"FRAMEx\n"}, RandomFrames(1, kI420Bytes, 3))},
      {"header_only.yuv", Text(kI420Header)},  // the signature makes it a Y4M file
  };
  for (const Case& c : cases) {
    const FrameFileProbe probe = Probe(c.name, c.bytes);
    EXPECT_EQ(probe.problem, Problem(c.name, noLine)) << c.name;
    EXPECT_FALSE(probe.layout) << c.name;
  }
}

TEST_F(ProbeFrameFiles, OddSizesOnlyWhereEveryChromaSampleIsWhole) {
  const auto problem = [&](const char* name, int w, int h) {
    return Problem(name, "has frames of " + std::to_string(w) + " x " + std::to_string(h) +
                             ", whose chroma planes have no whole sample for every two pixels; convert it "
                             "to an even size first");
  };
  struct Case {
    const char* name;
    std::string header;
    int w, h;
    bool refused;
  } cases[] = {
      {"odd_width_420.y4m", "YUV4MPEG2 W15 H8 C420jpeg\n", 15, 8, true},
      {"odd_height_420.y4m", "YUV4MPEG2 W16 H9 C420jpeg\n", 16, 9, true},
      {"odd_width_422.y4m", "YUV4MPEG2 W15 H8 C422\n", 15, 8, true},
      {"odd_height_422.y4m", "YUV4MPEG2 W16 H9 C422\n", 16, 9, false},
      {"odd_444.y4m", "YUV4MPEG2 W15 H9 C444\n", 15, 9, false},
      {"odd_mono.y4m", "YUV4MPEG2 W15 H9 Cmono\n", 15, 9, false},
  };
  for (const Case& c : cases) {
    const FrameFileProbe probe = Probe(c.name, Y4mBytes(c.header, {"FRAME\n"}, RandomFrames(1, 500, 4)));
    EXPECT_EQ(probe.problem, c.refused ? problem(c.name, c.w, c.h) : "") << c.name;
    EXPECT_EQ(probe.layout.has_value(), !c.refused) << c.name;
  }
}

class Y4mReader : public testing::Test {
 protected:
  std::string Write(const std::string& name, const Bytes& bytes) {
    const std::string path = (dir_ / name).string();
    test::WriteFileBytes(path, bytes);
    return path;
  }
  // Frame `n` as the reader hands it over, empty when it is refused.
  Bytes ReadFrameOf(StoredFrameReader& reader, RawFile& file, int64_t n) {
    FrameImage frame = buffer_.Frame(reader.Working());
    const int64_t got = reader.Read(file, n, frame);
    if (got <= 0) return {};
    return Bytes(frame.Data, frame.Data + frame.DataSize);
  }
  std::string LastMessage() const { return recorder_.Texts().empty() ? "" : recorder_.Texts().back(); }

  test::TempDir dir_;
  FrameBuffer buffer_ = [] {
    FrameBuffer b;
    b.Allocate(WorkBufferSize(16, 8));
    return b;
  }();
  RecordingMessageSink recorder_;
  ScopedMessageSink scope_{recorder_};
};

TEST_F(Y4mReader, ReadsEachFrameAfterItsLine) {
  const auto frames = RandomFrames(3, kI420Bytes, 10);
  const std::string path =
      Write("clip.y4m", Y4mBytes(kI420Header, {"FRAME\n", "FRAME\n", "FRAME\n"}, frames));
  StoredFrameReader reader;
  ASSERT_TRUE(reader.SetLayout(I420()));
  auto file = RawFile::OpenRead(path);
  ASSERT_TRUE(file);
  ASSERT_TRUE(reader.Attach(*file, path)) << LastMessage();
  EXPECT_EQ(reader.FramesIn(*file), 3);
  for (const int64_t n : {2, 1, 3}) EXPECT_EQ(ReadFrameOf(reader, *file, n), frames[n - 1]) << "frame " << n;
  EXPECT_EQ(ReadFrameOf(reader, *file, 4), Bytes{});
  EXPECT_EQ(ReadFrameOf(reader, *file, 0), Bytes{});
  EXPECT_TRUE(recorder_.Texts().empty());
}

TEST_F(Y4mReader, RefusesFramesAfterALineOfAnotherLength) {
  // Frames are found by the first line's length: from a longer line on, none is read
  // from a wrong place.
  const auto frames = RandomFrames(3, kI420Bytes, 20);
  const std::string path =
      Write("clip.y4m", Y4mBytes(kI420Header, {"FRAME\n", "FRAME Ixyz\n", "FRAME\n"}, frames));
  StoredFrameReader reader;
  ASSERT_TRUE(reader.SetLayout(I420()));
  auto file = RawFile::OpenRead(path);
  ASSERT_TRUE(file && reader.Attach(*file, path));
  EXPECT_EQ(ReadFrameOf(reader, *file, 1), frames[0]);
  EXPECT_EQ(ReadFrameOf(reader, *file, 2), Bytes{});
  EXPECT_EQ(ReadFrameOf(reader, *file, 3), Bytes{});
}

TEST_F(Y4mReader, TenBitFramesAreHandedOverAtEightBits) {
  // Every 10-bit value from 0 to 1023 in turn, rounded to 8 bits and clipped.
  Bytes frame;
  Bytes expected;
  for (int i = 0; i < kI420Bytes; ++i) {
    const int v = (i * 7) % 1024;
    frame.insert(frame.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
    expected.push_back(static_cast<uint8_t>(std::min((v + 2) >> 2, 255)));
  }
  const std::string path = Write("deep.y4m", Y4mBytes("YUV4MPEG2 W16 H8 C420p10\n", {"FRAME\n", "FRAME\n"},
                                                      {Bytes(frame.size()), frame}));
  StoredFrameReader reader;
  ASSERT_TRUE(reader.SetLayout(I420(10)));
  auto file = RawFile::OpenRead(path);
  ASSERT_TRUE(file && reader.Attach(*file, path)) << LastMessage();
  EXPECT_EQ(reader.FramesIn(*file), 2);
  EXPECT_EQ(ReadFrameOf(reader, *file, 2), expected);
}

TEST_F(Y4mReader, AttachRefusesALayoutTheHeaderDoesNotGive) {
  const std::string path =
      Write("clip.y4m", Y4mBytes(kI420Header, {"FRAME\n"}, RandomFrames(1, kI420Bytes, 5)));
  auto file = RawFile::OpenRead(path);
  ASSERT_TRUE(file);
  const std::string mismatch = "Error Y4MR1002: The Y4M file " + path +
                               " holds YUV_420 planar frames of 16 x 8 at 8 bits, not the layout asked for; "
                               "leave the layout options out for a Y4M file!\n";
  ImageFormat i422 = test::Layout(YUV_422, YUV, Progressive, Planar, 16, 8);
  for (const ImageFormat& layout : {i422, I420(10), I420(8, SemiPlanar)}) {
    StoredFrameReader reader;
    ASSERT_TRUE(reader.SetLayout(layout));
    recorder_.Clear();
    EXPECT_FALSE(reader.Attach(*file, path, false)) << test::Describe(layout);
    EXPECT_TRUE(recorder_.Texts().empty()) << "quiet unless asked";
    EXPECT_FALSE(reader.Attach(*file, path)) << test::Describe(layout);
    EXPECT_EQ(LastMessage(), mismatch);
  }
}

// Edits through the playing window's sequence: frame `n` shown, then written back.
class Y4mWriteBack : public testing::Test {
 protected:
  ShownFrame Show(const std::string& name, const Bytes& bytes, const ImageFormat& layout, int64_t n) {
    path_ = (dir_ / name).string();
    test::WriteFileBytes(path_, bytes);
    EXPECT_TRUE(sequence_.SetFormat(layout));
    sequence_.Files = {path_};
    EXPECT_TRUE(sequence_.Open(0)) << LastMessage();
    EXPECT_TRUE(sequence_.Load(n));
    sequence_.Commit();
    return sequence_.Snapshot();
  }
  std::string LastMessage() const { return recorder_.Texts().empty() ? "" : recorder_.Texts().back(); }

  static constexpr FileListSequence::Messages kMessages = {"no path", "bad size", "missing %s"};
  test::TempDir dir_;
  std::string path_;
  FileListSequence sequence_{kMessages};
  RecordingMessageSink recorder_;
  ScopedMessageSink scope_{recorder_};
};

TEST_F(Y4mWriteBack, AnEditGoesIntoTheFramesBytesOnly) {
  const auto frames = RandomFrames(3, kI420Bytes, 30);
  const std::vector<std::string> lines = {"FRAME\n", "FRAME\n", "FRAME\n"};
  const ShownFrame shown = Show("clip.y4m", Y4mBytes(kI420Header, lines, frames), I420(), 2);
  ASSERT_EQ(shown.origin.number, 2);
  ASSERT_EQ(shown.bytes, frames[1]);
  Bytes edited = shown.bytes;
  for (size_t i = 0; i < edited.size(); i += 7) edited[i] ^= 0x5A;
  ASSERT_TRUE(WriteShownFrame(shown, shown.bytes, edited, kEditWriteBack)) << LastMessage();
  EXPECT_EQ(test::ReadFileBytes(path_), Y4mBytes(kI420Header, lines, {frames[0], edited, frames[2]}));
}

TEST_F(Y4mWriteBack, AFrameLineChangedAfterTheFrameWasShownIsNeverWrittenPast) {
  const auto frames = RandomFrames(3, kI420Bytes, 40);
  const ShownFrame shown =
      Show("clip.y4m", Y4mBytes(kI420Header, {"FRAME\n", "FRAME\n", "FRAME\n"}, frames), I420(), 3);
  ASSERT_EQ(shown.bytes, frames[2]);
  // Another program damages frame 3's line, at the same length.
  const Bytes damaged = Y4mBytes(kI420Header, {"FRAME\n", "FRAME\n", "FRAMX\n"}, frames);
  {
    auto file = RawFile::OpenReadWrite(path_);
    ASSERT_TRUE(file && file->WriteAt(0, damaged.data(), static_cast<int64_t>(damaged.size())));
  }
  Bytes edited = shown.bytes;
  edited[0] ^= 1;
  EXPECT_FALSE(WriteShownFrame(shown, shown.bytes, edited, kEditWriteBack));
  EXPECT_EQ(LastMessage(), "Error EDIT1006: File " + path_ + " cannot be written !\n");
  EXPECT_EQ(test::ReadFileBytes(path_), damaged);
}

TEST_F(Y4mWriteBack, ASemiPlanarFrameIsShownPlanarAndWrittenBackInterleaved) {
  constexpr size_t kLuma = 16 * 8, kChroma = 8 * 4;
  const Bytes file = test::RandomBytes(3 * kI420Bytes, 50);
  const ShownFrame shown = Show("clip.nv12", file, I420(8, SemiPlanar), 2);
  ASSERT_EQ(shown.format.PixelFormat, Planar) << "the working layout";
  ASSERT_EQ(shown.stored.PixelFormat, SemiPlanar);
  // Frame 2 as I420: its luma, then the even and the odd bytes of its chroma pairs.
  const auto frame = file.begin() + kI420Bytes;
  Bytes planar(frame, frame + kLuma);
  for (const size_t first : {0u, 1u}) {
    for (size_t i = 0; i < kChroma; ++i) planar.push_back(frame[kLuma + 2 * i + first]);
  }
  ASSERT_EQ(shown.bytes, planar);

  // A luma, a U and a V sample edited land in their places of the pairs.
  Bytes edited = shown.bytes;
  edited[5] ^= 0x5A;
  edited[kLuma + 3] ^= 0x5A;
  edited[kLuma + kChroma + 7] ^= 0x5A;
  ASSERT_TRUE(WriteShownFrame(shown, shown.bytes, edited, kEditWriteBack)) << LastMessage();
  Bytes expected = file;
  expected[kI420Bytes + 5] ^= 0x5A;
  expected[kI420Bytes + kLuma + 2 * 3] ^= 0x5A;
  expected[kI420Bytes + kLuma + 2 * 7 + 1] ^= 0x5A;
  EXPECT_EQ(test::ReadFileBytes(path_), expected);
}

TEST_F(Y4mWriteBack, DeeperSamplesAreNeverWrittenBackAtEightBits) {
  const auto frames = RandomFrames(2, 2 * kI420Bytes, 60);
  struct Case {
    const char* name;
    Bytes bytes;
  } cases[] = {
      {"deep.yuv", Y4mBytes("", {"", ""}, frames)},
      {"deep.y4m", Y4mBytes("YUV4MPEG2 W16 H8 C420p10\n", {"FRAME\n", "FRAME\n"}, frames)},
  };
  for (const Case& c : cases) {
    const ShownFrame shown = Show(c.name, c.bytes, I420(10), 2);
    ASSERT_EQ(shown.origin.number, 2) << c.name;
    ASSERT_EQ(shown.bytes.size(), static_cast<size_t>(kI420Bytes)) << "shown at 8 bits";
    Bytes edited = shown.bytes;
    edited[0] ^= 1;
    EXPECT_FALSE(WriteShownFrame(shown, shown.bytes, edited, kEditWriteBack)) << c.name;
    EXPECT_EQ(LastMessage(), "Error VLTX1033: Frames of 10-bit samples are shown at 8 bits; " + path_ +
                                 " is not changed, so that its samples keep their depth!\n");
    EXPECT_EQ(test::ReadFileBytes(path_), c.bytes) << c.name;
  }
}

// The crop and flip windows show a source's first frame as soon as it is chosen.
TEST(Y4mPreview, TheFirstFrameShownIsTheFramesSamplesNotTheHeader) {
  test::TempDir dir;
  const auto frames = RandomFrames(2, kI420Bytes, 70);
  const std::string raw = (dir / "clip.yuv").string(), y4m = (dir / "clip.y4m").string();
  test::WriteFileBytes(raw, Y4mBytes("", {"", ""}, frames));
  test::WriteFileBytes(y4m, Y4mBytes(kI420Header, {"FRAME\n", "FRAME\n"}, frames));
  const auto firstPicture = [&](const std::string& source) {
    CropJob job;
    EXPECT_TRUE(job.PrepareCrop(source, (dir / "crop.yuv").string(), I420(), 0, 0, 8, 8));
    EXPECT_TRUE(job.LoadFirstFrame()) << source;
    return job.Previews().FrontBytes();
  };
  const Bytes fromRaw = firstPicture(raw);
  ASSERT_FALSE(fromRaw.empty());
  EXPECT_TRUE(firstPicture(y4m) == fromRaw) << "the Y4M file's preview differs from its frame's";
}

}  // namespace
}  // namespace vx
