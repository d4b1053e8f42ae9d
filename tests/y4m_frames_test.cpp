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
#include "player/PlaybackLoop.h"
#include "player/ShownFrame.h"
#include "tools/Crop.h"
#include "tools/Flip.h"

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

// Lines of four lengths, the first the shortest and the last the longest.
const std::vector<std::string> kMixedLines = {"FRAME\n", "FRAME Ixyz\n", "FRAME\n", "FRAME Ip XTAG=12345\n",
                                              "FRAME Ixyz\n"};

// Where each frame's line and samples lie in a file made by Y4mBytes.
std::vector<FrameIndex::Place> PlacesOf(const std::string& header, const std::vector<std::string>& lines,
                                        int64_t frameBytes) {
  std::vector<FrameIndex::Place> places;
  auto at = static_cast<int64_t>(header.size());
  for (const std::string& line : lines) {
    places.push_back({at, at + static_cast<int64_t>(line.size())});
    at += static_cast<int64_t>(line.size()) + frameBytes;
  }
  return places;
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

class FrameIndexes : public testing::Test {
 protected:
  // The index of a file of `bytes`, and the file kept open for Find.
  FrameIndex Build(const Bytes& bytes, size_t listLimit = FrameIndex::kListedFrames) {
    const std::string path = (dir_ / "clip.y4m").string();
    test::WriteFileBytes(path, bytes);
    file_ = *RawFile::OpenRead(path);
    FrameIndex index;
    index.Build(file_, ProbeFrameFile(file_, path).framing, kI420Bytes, listLimit);
    return index;
  }
  test::TempDir dir_;
  RawFile file_;
};

TEST_F(FrameIndexes, FindsEveryFrameAfterLinesOfAnyLength) {
  const auto places = PlacesOf(kI420Header, kMixedLines, kI420Bytes);
  const FrameIndex index = Build(Y4mBytes(kI420Header, kMixedLines, RandomFrames(5, kI420Bytes, 1)));
  EXPECT_EQ(index.Frames(), 5);
  EXPECT_EQ(index.DamagedFrame(), 0);
  EXPECT_EQ(index.Listed(), 4u) << "from the first line of another length on";
  for (int64_t n = 1; n <= 5; ++n) {
    const auto place = index.Find(file_, n);
    ASSERT_TRUE(place) << n;
    EXPECT_EQ(*place, places[static_cast<size_t>(n - 1)]) << n;
  }
  EXPECT_FALSE(index.Find(file_, 0));
  EXPECT_FALSE(index.Find(file_, 6)) << "past the end";
}

TEST_F(FrameIndexes, LinesAllAsLongAsTheFirstNeedNoList) {
  const std::vector<std::string> lines(4, "FRAME Ixyz\n");
  const auto places = PlacesOf(kI420Header, lines, kI420Bytes);
  const FrameIndex index = Build(Y4mBytes(kI420Header, lines, RandomFrames(4, kI420Bytes, 2)));
  EXPECT_EQ(index.Frames(), 4);
  EXPECT_EQ(index.Listed(), 0u);
  EXPECT_EQ(index.Find(file_, 1), places[0]);
  EXPECT_EQ(index.Find(file_, 4), places[3]);
  EXPECT_FALSE(index.Find(file_, 5));
}

TEST_F(FrameIndexes, ALongFileKeepsABoundedListAndStillFindsEveryFrame) {
  // 40 frames whose lines take three lengths in turn, with room for 4 line starts:
  // the list keeps every 16th frame's and the frames between are walked to.
  std::vector<std::string> lines;
  for (int i = 0; i < 40; ++i)
    lines.push_back(i % 3 == 0 ? "FRAME\n" : i % 3 == 1 ? "FRAME Ixy\n" : "FRAME Ip\n");
  const auto places = PlacesOf(kI420Header, lines, kI420Bytes);
  const FrameIndex index = Build(Y4mBytes(kI420Header, lines, RandomFrames(40, kI420Bytes, 3)), 4);
  EXPECT_EQ(index.Frames(), 40);
  EXPECT_LE(index.Listed(), 4u);
  for (int64_t n = 1; n <= 40; ++n) {
    const auto place = index.Find(file_, n);
    ASSERT_TRUE(place) << n;
    EXPECT_EQ(*place, places[static_cast<size_t>(n - 1)]) << n;
  }
}

TEST_F(FrameIndexes, DamagedAndCutFiles) {
  const auto frames = RandomFrames(4, kI420Bytes, 4);
  // A missing line: the frames before it are found, none at or after it; the
  // rest of the file is counted by the first line's length.
  const std::vector<std::string> damagedLines = {"FRAME\n", "FRAME Ixyz\n", "FRAMX\n", "FRAME\n"};
  const FrameIndex damaged = Build(Y4mBytes(kI420Header, damagedLines, frames));
  EXPECT_EQ(damaged.DamagedFrame(), 3);
  EXPECT_EQ(damaged.Frames(), 2 + (2 * kI420Bytes + 12) / (6 + kI420Bytes));
  EXPECT_EQ(damaged.Find(file_, 2), PlacesOf(kI420Header, damagedLines, kI420Bytes)[1]);
  EXPECT_FALSE(damaged.Find(file_, 3));
  EXPECT_FALSE(damaged.Find(file_, 4));

  // A line longer than any header may be is no line.
  const std::string overlong = "FRAME X" + std::string(kY4mHeaderLimit, 'x') + "\n";
  const FrameIndex longLine = Build(Y4mBytes(kI420Header, {"FRAME\n", overlong}, {frames[0], frames[1]}));
  EXPECT_EQ(longLine.DamagedFrame(), 2);
  EXPECT_FALSE(longLine.Find(file_, 2));

  // A last frame cut short is no whole frame, but is found, after lines of any length.
  for (const std::vector<std::string>& lines :
       {std::vector<std::string>{"FRAME\n", "FRAME Ixyz\n", "FRAME\n"},
        std::vector<std::string>(3, "FRAME\n")}) {
    Bytes bytes = Y4mBytes(kI420Header, lines, {frames[0], frames[1], frames[2]});
    bytes.resize(bytes.size() - 1);
    const FrameIndex cut = Build(bytes);
    EXPECT_EQ(cut.Frames(), 2) << lines[1];
    EXPECT_EQ(cut.DamagedFrame(), 0) << lines[1];
    EXPECT_EQ(cut.Find(file_, 3), PlacesOf(kI420Header, lines, kI420Bytes)[2]) << lines[1];
    EXPECT_FALSE(cut.Find(file_, 4)) << lines[1];
  }
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

TEST_F(Y4mReader, ReadsEveryFrameWhateverTheLengthsOfTheLinesBefore) {
  const auto frames = RandomFrames(5, kI420Bytes, 20);
  const std::string path = Write("clip.y4m", Y4mBytes(kI420Header, kMixedLines, frames));
  StoredFrameReader reader;
  ASSERT_TRUE(reader.SetLayout(I420()));
  auto file = RawFile::OpenRead(path);
  ASSERT_TRUE(file && reader.Attach(*file, path));
  EXPECT_EQ(reader.FramesIn(*file), 5) << "counted by the lines, not by the length";
  for (const int64_t n : {4, 1, 5, 2, 3}) EXPECT_EQ(ReadFrameOf(reader, *file, n), frames[n - 1]) << n;
  EXPECT_EQ(ReadFrameOf(reader, *file, 6), Bytes{});
  EXPECT_TRUE(recorder_.Texts().empty());
}

TEST_F(Y4mReader, NoFrameIsReadFromAtOrAfterADamagedLine) {
  const auto frames = RandomFrames(4, kI420Bytes, 25);
  const std::string path =
      Write("clip.y4m", Y4mBytes(kI420Header, {"FRAME Ixyz\n", "FRAME\n", "FRAMX\n", "FRAME\n"}, frames));
  StoredFrameReader reader;
  ASSERT_TRUE(reader.SetLayout(I420()));
  auto file = RawFile::OpenRead(path);
  ASSERT_TRUE(file && reader.Attach(*file, path));
  // The bytes from the damage on are counted by the first line's length (11), for
  // readers to meet the damage.
  EXPECT_EQ(reader.FramesIn(*file), 2 + (2 * (6 + kI420Bytes)) / (11 + kI420Bytes));
  EXPECT_EQ(ReadFrameOf(reader, *file, 2), frames[1]);
  EXPECT_EQ(ReadFrameOf(reader, *file, 3), Bytes{});
  EXPECT_EQ(ReadFrameOf(reader, *file, 4), Bytes{});
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

// The players: frame n shown is the file's frame n, whatever the lines before it.
TEST(Y4mPlayback, ThePlayingLoopShowsEachFrameAfterLinesOfAnyLength) {
  test::TempDir dir;
  const auto frames = RandomFrames(5, kI420Bytes, 80);
  const std::string y4m = (dir / "mixed.y4m").string(), raw = (dir / "same.yuv").string();
  test::WriteFileBytes(y4m, Y4mBytes(kI420Header, kMixedLines, frames));
  test::WriteFileBytes(raw, Y4mBytes("", std::vector<std::string>(5), frames));

  // Two files in lockstep, played to the end by the loop.
  static const LockstepPairSequence::Messages kPairMessages = {"first %s", "second %s"};
  LockstepPairSequence pair(kPairMessages);
  ASSERT_TRUE(pair.SetFormats(I420(), I420()));
  pair.FirstPath = y4m;
  pair.SecondPath = raw;
  std::vector<Bytes> shown;
  pair.SetRenderer([&](const FrameImage& a, const FrameImage& b) {
    shown.emplace_back(a.Data, a.Data + a.DataSize);
    EXPECT_TRUE(Bytes(b.Data, b.Data + b.DataSize) == shown.back()) << "frame " << shown.size();
  });
  PlaybackLoop loop;
  PlaybackObserver observer;
  loop.StartPlaying();
  loop.Play(pair, observer);
  EXPECT_EQ(pair.FrameCount(), 5);
  EXPECT_TRUE(shown == frames) << shown.size() << " frames shown";

  // A player's list: any frame on its own, as a seek shows it.
  static constexpr FileListSequence::Messages kMessages = {"no path", "bad size", "missing %s"};
  FileListSequence list(kMessages);
  ASSERT_TRUE(list.SetFormat(I420()));
  list.Files = {y4m};
  ASSERT_TRUE(list.Open(0));
  EXPECT_EQ(list.FrameCount(), 5);
  for (const int64_t n : {4, 2, 5, 1, 3}) {
    ASSERT_TRUE(list.Load(n)) << n;
    list.Commit();
    const ShownFrame snapshot = list.Snapshot();
    EXPECT_EQ(snapshot.origin.number, n);
    EXPECT_TRUE(snapshot.bytes == frames[static_cast<size_t>(n - 1)]) << "frame " << n;
  }
  EXPECT_FALSE(list.Load(6));
}

class QuietJob final : public ToolJobObserver {
 public:
  bool WantsPreview() const override { return false; }
};

// A job from frame `start` on passes the frames before it wherever their lines
// differ in length.
TEST(Y4mJobs, AJobFromALaterFrameStartsAtThatFrame) {
  test::TempDir dir;
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  const auto frames = RandomFrames(5, kI420Bytes, 90);
  const std::string mixed = (dir / "mixed.y4m").string(), raw = (dir / "same.yuv").string();
  test::WriteFileBytes(mixed, Y4mBytes(kI420Header, kMixedLines, frames));
  test::WriteFileBytes(raw, Y4mBytes("", std::vector<std::string>(5), frames));
  const auto flip = [&](const std::string& source, const std::string& target, int64_t start,
                        int64_t end = 5) {
    FlipJob job;
    EXPECT_TRUE(job.PrepareFromRequest(source, target, I420()));
    job.StartFrame = start;
    job.EndFrame = end;
    job.ExitWhenDone = true;
    QuietJob observer;
    return job.FreezeAndRun(observer);
  };
  for (const int64_t start : {2, 4, 5}) {
    const std::string fromMixed = (dir / "mixed_out.yuv").string(), fromRaw = (dir / "raw_out.yuv").string();
    ASSERT_EQ(flip(raw, fromRaw, start), JobOutcome::Completed) << start;
    ASSERT_EQ(flip(mixed, fromMixed, start), JobOutcome::Completed) << start;
    ASSERT_EQ(test::ReadFileBytes(fromRaw).size(), static_cast<size_t>((6 - start) * kI420Bytes));
    EXPECT_TRUE(test::ReadFileBytes(fromMixed) == test::ReadFileBytes(fromRaw)) << "from frame " << start;
  }
  EXPECT_TRUE(recorder.Texts().empty());

  // A missing line before the start is named by its frame.
  const std::string damaged = (dir / "damaged.y4m").string();
  test::WriteFileBytes(
      damaged, Y4mBytes(kI420Header, {"FRAME Ixyz\n", "FRAME\n", "FRAMX\n", "FRAME\n", "FRAME\n"}, frames));
  // (Counted by the first line's length from the damage on, it holds 4 frames.)
  EXPECT_NE(flip(damaged, (dir / "out.yuv").string(), 4, 4), JobOutcome::Completed);
  ASSERT_FALSE(recorder.Texts().empty());
  EXPECT_EQ(recorder.Texts().front(),
            "Error Y4MR1003: The Y4M file " + damaged + " has no FRAME line where frame 3 begins!\n");
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
