// An edited frame goes back only into the file and frame that were shown, and
// only while the file still holds the bytes that were shown.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "PixelTestSupport.h"
#include "TestSupport.h"
#include "editor/BlockEdit.h"
#include "editor/EditorSequence.h"
#include "platform/MessageSink.h"

namespace vx {
namespace {

class WriteBack : public testing::Test {
 protected:
  // A 10-frame clip of random bytes in `layout`, frame `shown` shown by the editor's sequence.
  ShownFrame Show(const ImageFormat& layout, int64_t shown) {
    FrameImage probe;
    static_cast<ImageFormat&>(probe) = layout;
    frameSize_ = ComputeFrameSize(probe);
    file_ = test::RandomBytes(static_cast<size_t>(frameSize_) * 10, 9);
    test::WriteFileBytes(path_, file_);
    EXPECT_TRUE(sequence_.SetFormat(layout));
    sequence_.Files = {path_};
    EXPECT_TRUE(sequence_.Open(0));
    EXPECT_TRUE(sequence_.Load(shown));
    sequence_.Commit();
    return sequence_.Snapshot();
  }
  // The shown frame with block (2, 1) set to 77 in its first component.
  static std::vector<uint8_t> Edited(ShownFrame shown) {
    FrameImage frame = shown.View();
    BlockRows rows;
    EXPECT_EQ(ReadBlock(frame, 2, 1, rows), 8);
    for (auto& row : rows) std::fill(row.first.begin(), row.first.end(), 77);
    EXPECT_TRUE(WriteBlock(frame, 2, 1, rows, 8));
    return shown.bytes;
  }
  std::vector<uint8_t> FileWithFrame(int64_t number, const std::vector<uint8_t>& frame) const {
    std::vector<uint8_t> expected = file_;
    std::copy(frame.begin(), frame.end(), expected.begin() + (number - 1) * frameSize_);
    return expected;
  }
  std::string LastMessage() const { return recorder_.Texts().empty() ? "" : recorder_.Texts().back(); }

  test::TempDir dir_;
  std::string path_ = (dir_ / "clip.yuv").string();
  std::vector<uint8_t> file_;
  int64_t frameSize_ = 0;
  EditorSequence sequence_;
  RecordingMessageSink recorder_;
  ScopedMessageSink scope_{recorder_};
};

TEST_F(WriteBack, AnEditedFrameIsWrittenAtItsPlaceInEveryLayout) {
  for (const ImageFormat& layout : {test::Layout(YUV_420, YUV, Progressive, Planar, 48, 32),
                                    test::Layout(YUV_422, UYV, Interlaced, Packed, 48, 32),
                                    test::Layout(YUV_444, YVU, Interlaced, Planar, 48, 32)}) {
    const ShownFrame shown = Show(layout, 7);
    ASSERT_EQ(shown.origin.number, 7);
    ASSERT_EQ(shown.origin.path, path_);
    ASSERT_EQ(shown.bytes,
              std::vector<uint8_t>(file_.begin() + 6 * frameSize_, file_.begin() + 7 * frameSize_));
    const std::vector<uint8_t> edited = Edited(shown);
    ASSERT_TRUE(WriteShownFrame(shown, shown.bytes, edited, kEditWriteBack)) << LastMessage();
    EXPECT_EQ(test::ReadFileBytes(path_), FileWithFrame(7, edited)) << test::Describe(layout);
    EXPECT_EQ(std::filesystem::file_size(path_), file_.size());
  }
}

TEST_F(WriteBack, AFileChangedUnderTheWindowIsNeverWritten) {
  const ImageFormat layout = test::Layout(YUV_420, YUV, Progressive, Planar, 48, 32);
  const auto refusedUnchanged = [&](const ShownFrame& shown, const std::vector<uint8_t>& onDisk,
                                    const std::string& message) {
    EXPECT_FALSE(WriteShownFrame(shown, shown.bytes, Edited(shown), kEditWriteBack));
    EXPECT_EQ(LastMessage(), message);
    EXPECT_EQ(test::ReadFileBytes(path_), onDisk);
  };
  const std::string replaced = "Error EDIT1007: File " + path_ +
                               " is no longer the file shown (it was replaced, or its length changed); "
                               "frame 3 was not written !\n";

  // Another file renamed over the name (a new inode), even with the same bytes.
  ShownFrame shown = Show(layout, 3);
  const auto other = dir_ / "other.yuv";
  test::WriteFileBytes(other, file_);
  std::filesystem::rename(other, path_);
  refusedUnchanged(shown, file_, replaced);

  // The file truncated (or grown) since the frame was read.
  shown = Show(layout, 3);
  std::filesystem::resize_file(path_, file_.size() - 1);
  const std::vector<uint8_t> truncated(file_.begin(), file_.end() - 1);
  refusedUnchanged(shown, truncated, replaced);

  // The frame changed on disk by another program, in one byte.
  shown = Show(layout, 3);
  std::vector<uint8_t> changed = file_;
  changed[2 * static_cast<size_t>(frameSize_) + 100] ^= 1;
  {
    auto file = RawFile::OpenReadWrite(path_);
    ASSERT_TRUE(file && file->WriteAt(0, changed.data(), static_cast<int64_t>(changed.size())));
  }
  refusedUnchanged(shown, changed,
                   "Error EDIT1008: Frame 3 of file " + path_ +
                       " was changed by another program after it was shown; nothing was written. Show the "
                       "frame again and repeat the edit.\n");

  // Another frame changed on disk does not matter: only the frame shown is compared.
  shown = Show(layout, 3);
  changed = file_;
  changed[5 * static_cast<size_t>(frameSize_)] ^= 1;
  {
    auto file = RawFile::OpenReadWrite(path_);
    ASSERT_TRUE(file && file->WriteAt(0, changed.data(), static_cast<int64_t>(changed.size())));
  }
  const std::vector<uint8_t> edited = Edited(shown);
  ASSERT_TRUE(WriteShownFrame(shown, shown.bytes, edited, kEditWriteBack)) << LastMessage();
  file_ = changed;
  EXPECT_EQ(test::ReadFileBytes(path_), FileWithFrame(3, edited));

  // The name removed: refused, nothing created.
  shown = Show(layout, 3);
  std::filesystem::remove(path_);
  EXPECT_FALSE(WriteShownFrame(shown, shown.bytes, Edited(shown), kEditWriteBack));
  EXPECT_EQ(LastMessage(), "Error EDIT1006: File " + path_ + " cannot be written !\n");
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(WriteBack, OnlyAShownFrameWhollyInsideItsFileIsWritten) {
  const ImageFormat layout = test::Layout(YUV_420, YUV, Progressive, Planar, 48, 32);
  // Nothing shown yet: nothing to write.
  EXPECT_TRUE(sequence_.SetFormat(layout));
  ShownFrame none = sequence_.Snapshot();
  EXPECT_EQ(none.origin.number, 0);
  EXPECT_FALSE(WriteShownFrame(none, none.bytes, none.bytes, kEditWriteBack));

  // A trailing partial frame is shown (its missing bytes from the frame before)
  // but never written: the file would grow.
  ShownFrame last = Show(layout, 10);
  file_.resize(file_.size() - 10);
  test::WriteFileBytes(path_, file_);
  sequence_.Files = {path_};
  ASSERT_TRUE(sequence_.Open(0));
  ASSERT_TRUE(sequence_.Load(10));
  sequence_.Commit();
  last = sequence_.Snapshot();
  EXPECT_FALSE(WriteShownFrame(last, last.bytes, Edited(last), kEditWriteBack));
  EXPECT_EQ(LastMessage(), "Error EDIT1006: File " + path_ + " cannot be written !\n");
  EXPECT_EQ(test::ReadFileBytes(path_), file_);

  // The written edit becomes the frame shown, so a second edit checks against it.
  ShownFrame shown = Show(layout, 4);
  const std::vector<uint8_t> first = Edited(shown);
  ASSERT_TRUE(WriteShownFrame(shown, shown.bytes, first, kEditWriteBack));
  ASSERT_TRUE(sequence_.ReplaceShown(shown.origin, first));
  ShownFrame again = sequence_.Snapshot();
  EXPECT_EQ(again.bytes, first);
  std::vector<uint8_t> second = again.bytes;
  second[0] = static_cast<uint8_t>(second[0] + 1);
  ASSERT_TRUE(WriteShownFrame(again, again.bytes, second, kEditWriteBack)) << LastMessage();
  EXPECT_EQ(test::ReadFileBytes(path_), FileWithFrame(4, second));
  // An origin that is no longer shown is not replaced.
  ShownFrame other = again;
  other.origin.number = 5;
  EXPECT_FALSE(sequence_.ReplaceShown(other.origin, second));
}

TEST_F(WriteBack, AFrameOfAY4mFileIsWrittenAfterItsOwnFrameLine) {
  // Frame 3's line carries a parameter: frame 4 lies 5 bytes further than the
  // first line's length would put it.
  const ImageFormat layout = test::Layout(YUV_420, YUV, Progressive, Planar, 48, 32);
  frameSize_ = 48 * 32 * 3 / 2;
  const std::string header = "YUV4MPEG2 W48 H32 F25:1 Ip C420jpeg\n";
  std::vector<uint8_t> file(header.begin(), header.end());
  const auto frames = test::RandomBytes(static_cast<size_t>(frameSize_) * 4, 5);
  std::vector<size_t> starts;
  for (int n = 0; n < 4; ++n) {
    const std::string line = n == 2 ? "FRAME Ixyz\n" : "FRAME\n";
    file.insert(file.end(), line.begin(), line.end());
    starts.push_back(file.size());
    file.insert(file.end(), frames.begin() + n * frameSize_, frames.begin() + (n + 1) * frameSize_);
  }
  path_ = (dir_ / "clip.y4m").string();
  test::WriteFileBytes(path_, file);
  ASSERT_TRUE(sequence_.SetFormat(layout));
  sequence_.Files = {path_};
  ASSERT_TRUE(sequence_.Open(0));
  ASSERT_TRUE(sequence_.Load(4));
  sequence_.Commit();
  const ShownFrame shown = sequence_.Snapshot();
  ASSERT_EQ(shown.bytes, std::vector<uint8_t>(frames.begin() + 3 * frameSize_, frames.end()));
  const std::vector<uint8_t> edited = Edited(shown);
  ASSERT_TRUE(WriteShownFrame(shown, shown.bytes, edited, kEditWriteBack)) << LastMessage();
  std::vector<uint8_t> expected = file;
  std::copy(edited.begin(), edited.end(), expected.begin() + static_cast<std::ptrdiff_t>(starts[3]));
  EXPECT_EQ(test::ReadFileBytes(path_), expected);
}

// Frames of deeper samples are edited at full depth and written back in their
// own layout: the samples edited get their new values, every other byte of the
// file (bits beyond the depth included) stays as it was.
class DeepWriteBack : public WriteBack {
 protected:
  static constexpr int kWidth = 48, kHeight = 32;
  static ImageFormat TenBits(int32_t pixelFormat) {
    ImageFormat layout = test::Layout(YUV_420, YUV, Progressive, pixelFormat, kWidth, kHeight);
    layout.BitsPerSample = 10;
    return layout;
  }
  // Byte offsets in a frame of the luma word (x, y) and of the U word (x, y) of the chroma.
  static size_t LumaAt(int x, int y) { return 2 * static_cast<size_t>(y * kWidth + x); }
  static size_t UAt(int32_t pixelFormat, int x, int y) {
    const size_t chroma = pixelFormat == SemiPlanar ? static_cast<size_t>(y * kWidth + 2 * x)
                                                    : static_cast<size_t>(y * (kWidth / 2) + x);
    return 2 * static_cast<size_t>(kWidth * kHeight) + 2 * chroma;
  }
  // Value `v` as frame `number`'s word at `at` in `bytes` (P010: in the high bits).
  void SetWord(std::vector<uint8_t>& bytes, int64_t number, size_t at, int32_t pixelFormat,
               uint16_t v) const {
    const auto word = static_cast<uint16_t>(pixelFormat == SemiPlanar ? v << 6 : v);
    const size_t i = static_cast<size_t>((number - 1) * frameSize_) + at;
    bytes[i] = static_cast<uint8_t>(word);
    bytes[i + 1] = static_cast<uint8_t>(word >> 8);
  }
  // Block (2, 1) of the frame shown edited: luma (16, 8) to 1000, (21, 11) to 300,
  // the U of chroma (9, 4) (block rows 0 and 1) to 700.
  static EditedFrame EditBlock(const ShownFrame& shown) {
    EditedFrame edited = FrameToEdit(shown);
    FrameImage frame = edited.View();
    BlockRows rows;
    EXPECT_EQ(ReadBlock(frame, 2, 1, rows), 8);
    rows[0].first[0] = 1000;
    rows[3].first[5] = 300;
    rows[0].second[1] = rows[1].second[1] = 700;
    EXPECT_TRUE(WriteBlock(frame, 2, 1, rows, 8));
    return edited;
  }
};

TEST_F(DeepWriteBack, OnlyTheEditedSamplesChangeAtFullDepthInPlanarAndP010Files) {
  for (const int32_t packing : {Planar, SemiPlanar}) {
    const ImageFormat layout = TenBits(packing);
    ShownFrame shown = Show(layout, 7);
    const auto frameSeven = file_.begin() + 6 * frameSize_;
    ASSERT_EQ(shown.storedBytes, std::vector<uint8_t>(frameSeven, frameSeven + frameSize_)) << packing;
    ASSERT_EQ(shown.bytes.size(), static_cast<size_t>(kWidth * kHeight * 3 / 2)) << "shown at 8 bits";
    const EditedFrame edited = EditBlock(shown);
    ASSERT_TRUE(WriteEditedFrame(shown, edited, kEditWriteBack)) << LastMessage();
    std::vector<uint8_t> expected = file_;
    SetWord(expected, 7, LumaAt(16, 8), packing, 1000);
    SetWord(expected, 7, LumaAt(21, 11), packing, 300);
    SetWord(expected, 7, UAt(packing, 9, 4), packing, 700);
    ASSERT_EQ(test::ReadFileBytes(path_), expected) << packing;

    // The frame shown now: the stored bytes written, and at 8 bits their usual down-conversion.
    EXPECT_EQ(shown.storedBytes,
              std::vector<uint8_t>(expected.begin() + 6 * frameSize_, expected.begin() + 7 * frameSize_));
    EXPECT_EQ(shown.bytes[8 * kWidth + 16], (1000 + 2) >> 2);
    EXPECT_EQ(shown.bytes[11 * kWidth + 21], (300 + 2) >> 2);
    EXPECT_EQ(shown.bytes[kWidth * kHeight + 4 * kWidth / 2 + 9], (700 + 2) >> 2);
    ASSERT_TRUE(sequence_.ReplaceShown(shown.origin, shown.bytes, shown.storedBytes));
    EXPECT_FALSE(sequence_.ReplaceShown(shown.origin, shown.bytes)) << "the stored bytes are required";
    const ShownFrame again = sequence_.Snapshot();
    EXPECT_EQ(again.bytes, shown.bytes);
    EXPECT_EQ(again.storedBytes, shown.storedBytes);

    // A second edit is checked against the bytes written by the first.
    EditedFrame second = FrameToEdit(again);
    FrameImage frame = second.View();
    std::array<uint16_t, 3> pixel{};
    ASSERT_TRUE(AccessPixel(frame, 0, 0, pixel, Access::Read, 0));
    ASSERT_NE(pixel[0], 3);
    pixel[0] = 3;
    ASSERT_TRUE(AccessPixel(frame, 0, 0, pixel, Access::Write, 0));
    ShownFrame shownAgain = again;
    ASSERT_TRUE(WriteEditedFrame(shownAgain, second, kEditWriteBack)) << LastMessage();
    SetWord(expected, 7, LumaAt(0, 0), packing, 3);
    EXPECT_EQ(test::ReadFileBytes(path_), expected) << packing;
  }
}

TEST_F(DeepWriteBack, AChangeBelowWhatIsShownRefusesTheEdit) {
  for (const int32_t packing : {Planar, SemiPlanar}) {
    ShownFrame shown = Show(TenBits(packing), 3);
    // Bit 0 of a luma word of frame 3: a quarter of a step of the 8 bits shown
    // (P010: below the sample's ten bits).
    std::vector<uint8_t> changed = file_;
    changed[2 * static_cast<size_t>(frameSize_) + LumaAt(40, 30)] ^= 1;
    {
      auto file = RawFile::OpenReadWrite(path_);
      ASSERT_TRUE(file && file->WriteAt(0, changed.data(), static_cast<int64_t>(changed.size())));
    }
    EXPECT_FALSE(WriteEditedFrame(shown, EditBlock(shown), kEditWriteBack)) << packing;
    EXPECT_EQ(LastMessage(), "Error EDIT1008: Frame 3 of file " + path_ +
                                 " was changed by another program after it was shown; nothing was written. "
                                 "Show the frame again and repeat the edit.\n");
    EXPECT_EQ(test::ReadFileBytes(path_), changed);
    // An 8-bit edit of those samples is never written.
    std::vector<uint8_t> eightBits = shown.bytes;
    eightBits[0] ^= 1;
    EXPECT_FALSE(WriteShownFrame(shown, shown.bytes, eightBits, kEditWriteBack));
    EXPECT_EQ(LastMessage(), "Error VLTX1033: Frames of 10-bit samples are shown at 8 bits; " + path_ +
                                 " is not changed, so that its samples keep their depth!\n");
    EXPECT_EQ(test::ReadFileBytes(path_), changed);
  }
}

// The editor's file enters the history (through the recorder the sequence was
// given) when playing went past its first frame.
TEST(EditorHistory, TheFileIsRecordedOnlyOnceAFrameAfterTheFirstWasShown) {
  const ImageFormat layout = test::Layout(YUV_420, YUV, Progressive, Planar, 16, 8);
  test::TempDir dir;
  const std::string path = (dir / "clip.yuv").string();
  test::WriteFileBytes(path, test::RandomBytes(192 * 4, 3));
  RecordingHistory history;
  auto showThenClose = [&](int64_t last) {
    EditorSequence sequence(history);
    ASSERT_TRUE(sequence.SetFormat(layout));
    sequence.Files = {path};
    ASSERT_TRUE(sequence.Open(0));
    for (int64_t n = 1; n <= last; ++n) {
      ASSERT_TRUE(sequence.Load(n));
      sequence.Commit();
    }
    sequence.Close();
  };
  showThenClose(1);
  EXPECT_TRUE(history.Records().empty()) << "only the first frame was shown";
  showThenClose(3);
  const auto records = history.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].path, path);
  EXPECT_EQ(records[0].operation, kOpened);
  EXPECT_EQ(records[0].format.ImgWidth, 16);
  EXPECT_EQ(records[0].format.SamplingFormat, YUV_420);
}

}  // namespace
}  // namespace vx
