#include <gtest/gtest.h>
#include <unistd.h>

#include <numeric>

#include "TestSupport.h"
#include "image/FrameImage.h"
#include "image/ReadAhead.h"
#include "platform/FaultInjection.h"
#include "platform/WriteBehind.h"

namespace vx {
namespace {

ImageFormat Format(int32_t sampling, int32_t w, int32_t h, int32_t field = Progressive,
                   int32_t pixel = Planar) {
  ImageFormat f;
  f.SamplingFormat = sampling;
  f.ImgWidth = w;
  f.ImgHeight = h;
  f.FieldFormat = field;
  f.PixelFormat = pixel;
  return f;
}

TEST(FrameLayout, AbsurdSizesGiveNoFrameSizeAndNoOverflow) {
  // Sizes from a command line saturate at the 32-bit limit; the product must not overflow.
  for (int32_t sampling : {YUV_444, YUV_422, YUV_420, RGB_444, MONO, BMP}) {
    FrameImage huge;
    static_cast<ImageFormat&>(huge) = Format(sampling, INT32_MAX, INT32_MAX);
    EXPECT_EQ(ComputeFrameSize(huge), 0) << sampling;
    static_cast<ImageFormat&>(huge) = Format(sampling, 65536, 65536);
    EXPECT_EQ(ComputeFrameSize(huge), 0) << sampling;
  }
}

TEST(FrameLayout, CountsWholeFramesAndPlacesFieldTwo) {
  FrameImage cif;
  static_cast<ImageFormat&>(cif) = Format(YUV_420, 352, 288);
  EXPECT_EQ(ComputeFrameSize(cif), 152064);
  EXPECT_EQ(CountFrames(1000000, cif.DataSize), 6u);  // the last 87,616 bytes are no frame
  EXPECT_EQ(CountFrames(152063, cif.DataSize), 0u);
  EXPECT_EQ(CountFrames(1000000, 0), 0u);
  EXPECT_EQ(CountFrames(uint64_t{5} << 32, 3110400), 6904u);

  FrameImage pal;
  static_cast<ImageFormat&>(pal) = Format(YUV_420, 720, 576, Interlaced);
  ComputeFrameSize(pal);
  EXPECT_EQ(FieldTwoOffset(pal), 311040);
  EXPECT_EQ(FieldTwoOffset(pal), pal.DataSize / 2);

  FrameImage ntsc;  // H/2 = 243 is odd: chroma row 242 belongs to neither field
  static_cast<ImageFormat&>(ntsc) = Format(YUV_420, 720, 486, Interlaced);
  ComputeFrameSize(ntsc);
  EXPECT_EQ(FieldTwoOffset(ntsc), 262080);
  EXPECT_NE(FieldTwoOffset(ntsc), ntsc.DataSize / 2);

  FrameImage packed;
  static_cast<ImageFormat&>(packed) = Format(YUV_422, 720, 486, Interlaced, Packed);
  ComputeFrameSize(packed);
  EXPECT_EQ(FieldTwoOffset(packed), 720 * 486);

  FrameImage unknown;
  unknown.SamplingFormat = 9;
  unknown.DataSize = 1234;
  EXPECT_EQ(ComputeFrameSize(unknown), 1234);
}

TEST(FrameRecord, CopyNeedsBuffersThatHoldTheFrame) {
  FrameBuffer a, b, small;
  ASSERT_TRUE(a.Allocate(WorkBufferSize(4, 4)));
  ASSERT_TRUE(b.Allocate(WorkBufferSize(4, 4)));
  ASSERT_TRUE(small.Allocate(10));
  FrameImage source = a.Frame(Format(YUV_444, 4, 4, Interlaced, Packed));
  std::iota(source.Data, source.Data + source.DataSize, 1);

  FrameImage noBuffer;
  noBuffer.ImgWidth = 99;
  EXPECT_FALSE(CopyFrameImage(source, noBuffer));
  EXPECT_EQ(noBuffer.ImgWidth, 99) << "a failed copy changes nothing";
  FrameImage tooSmall = small.Frame(Format(MONO, 2, 2));
  EXPECT_FALSE(CopyFrameImage(source, tooSmall));
  EXPECT_EQ(tooSmall.SamplingFormat, MONO);
  EXPECT_FALSE(CopyFrameImage(noBuffer, source));

  FrameImage destination = b.Frame(Format(MONO, 1, 1));
  ASSERT_TRUE(CopyFrameImage(source, destination));
  EXPECT_TRUE(SameFrameHeader(source, destination));
  EXPECT_EQ(destination.Data, b.data()) << "the destination keeps its own buffer";
  EXPECT_TRUE(std::equal(source.Data, source.Data + 48, destination.Data));

  FrameImage header = small.Frame(Format(MONO, 1, 1));
  CopyFrameHeader(source, header);
  EXPECT_TRUE(SameFrameHeader(source, header));
  EXPECT_EQ(header.Data, small.data());
  header.ImageResolution = 3;
  EXPECT_FALSE(SameFrameHeader(source, header));
}

TEST(FrameRecord, MonoExpansions) {
  FrameBuffer buffer, out;
  ASSERT_TRUE(buffer.Allocate(WorkBufferSize(2, 1)));
  ASSERT_TRUE(out.Allocate(WorkBufferSize(2, 1)));
  FrameImage mono = buffer.Frame(Format(MONO, 2, 1));
  mono.ImageResolution = 4;
  mono.Data[0] = 10;
  mono.Data[1] = 20;

  FrameImage yuv = out.Frame(Format(RGB_444, 1, 1));
  ASSERT_TRUE(MonoToYuv444(mono, yuv));
  EXPECT_EQ(std::vector<uint8_t>(yuv.Data, yuv.Data + 6), (std::vector<uint8_t>{10, 128, 128, 20, 128, 128}));
  EXPECT_EQ(yuv.SamplingFormat, YUV_444);
  EXPECT_EQ(yuv.ComponentOrder, YUV);
  EXPECT_EQ(yuv.FieldFormat, Progressive);
  EXPECT_EQ(yuv.PixelFormat, Packed);
  EXPECT_EQ(yuv.ImageResolution, 4);
  EXPECT_EQ(yuv.DataSize, 6);

  FrameImage inPlace = mono;  // same buffer as source and destination
  ASSERT_TRUE(MonoToYuv444(mono, inPlace));
  EXPECT_EQ(std::vector<uint8_t>(inPlace.Data, inPlace.Data + 6),
            (std::vector<uint8_t>{10, 128, 128, 20, 128, 128}));

  mono.Data[0] = 7;
  mono.Data[1] = 9;
  mono.SamplingFormat = MONO;
  mono.DataSize = 2;
  ASSERT_TRUE(MonoToRgbPlanar(mono));
  EXPECT_EQ(std::vector<uint8_t>(mono.Data, mono.Data + 6), (std::vector<uint8_t>{7, 9, 7, 9, 7, 9}));
  EXPECT_EQ(mono.SamplingFormat, RGB_444);
  EXPECT_EQ(mono.PixelFormat, Planar);
  EXPECT_EQ(mono.DataSize, 6);

  FrameBuffer tiny;
  ASSERT_TRUE(tiny.Allocate(5));
  FrameImage cramped = tiny.Frame(Format(MONO, 2, 1));
  EXPECT_FALSE(MonoToRgbPlanar(cramped));
  EXPECT_EQ(cramped.SamplingFormat, MONO);
}

TEST(FrameRecord, PadRowsTo4BytesMovesRowsToBitmapPitch) {
  for (int32_t width : {1, 2, 3, 4, 5, 7}) {
    const int32_t height = 3;
    FrameBuffer buffer;
    ASSERT_TRUE(buffer.Allocate(WorkBufferSize(width, height)));
    FrameImage frame = buffer.Frame(Format(RGB_444, width, height, Progressive, Packed));
    const std::vector<uint8_t> rows = test::RandomBytes(static_cast<size_t>(frame.DataSize), width);
    std::copy(rows.begin(), rows.end(), frame.Data);
    ASSERT_TRUE(PadRowsTo4Bytes(frame));
    const int64_t pitch = BitmapRowPitch(width);
    EXPECT_EQ(pitch % 4, 0);
    for (int y = 0; y < height; ++y) {
      EXPECT_TRUE(std::equal(rows.begin() + y * 3 * width, rows.begin() + (y + 1) * 3 * width,
                             frame.Data + y * pitch))
          << "width " << width << " row " << y;
    }
  }
  FrameBuffer tight;
  ASSERT_TRUE(tight.Allocate(15));  // 5 x 1 without padding, pitch 16 needs 16 bytes
  FrameImage frame = tight.Frame(Format(RGB_444, 5, 1, Progressive, Packed));
  EXPECT_FALSE(PadRowsTo4Bytes(frame));
}

TEST(RawFrameIo, ReadSeekWriteInOrder) {
  test::TempDir dir;
  FrameBuffer buffer;
  ASSERT_TRUE(buffer.Allocate(WorkBufferSize(4, 2)));
  FrameImage frame = buffer.Frame(Format(YUV_420, 4, 2));
  ASSERT_EQ(frame.DataSize, 12);
  {
    auto out = RawFile::Create(dir / "clip.yuv");
    ASSERT_TRUE(out);
    for (uint8_t n = 1; n <= 3; ++n) {
      std::fill(frame.Data, frame.Data + frame.DataSize, n);
      ASSERT_TRUE(WriteFrame(*out, frame));
    }
    ASSERT_TRUE(out->Write("xyz", 3));  // a partial fourth frame
  }
  auto in = RawFile::OpenRead(dir / "clip.yuv");
  ASSERT_TRUE(in);
  EXPECT_EQ(CountFrames(static_cast<uint64_t>(in->Length()), frame.DataSize), 3u);
  ASSERT_TRUE(SeekFrame(*in, frame, 2));
  EXPECT_EQ(ReadFrame(*in, frame), 12);
  EXPECT_EQ(frame.Data[0], 2);
  EXPECT_EQ(ReadFrame(*in, frame), 12);
  EXPECT_EQ(frame.Data[11], 3);
  EXPECT_EQ(ReadFrame(*in, frame), 3) << "the partial frame reads short";
  EXPECT_EQ(ReadFrame(*in, frame), 0) << "0 is the end of the file";
  EXPECT_FALSE(SeekFrame(*in, frame, 0));

  EXPECT_FALSE(RawFile::OpenRead(dir / "missing.yuv"));
  EXPECT_FALSE(RawFile::OpenRead(dir.path())) << "a folder is no file";

  // A record claiming more bytes than its buffer holds is read and written only
  // within the buffer.
  FrameImage liar = frame;
  liar.DataSize = 1 << 20;
  ASSERT_TRUE(SeekFrame(*in, frame, 1));
  EXPECT_EQ(ReadFrame(*in, liar), 39);  // the whole 39-byte file fits in the 48-byte buffer
  auto out = RawFile::Create(dir / "other.yuv");
  EXPECT_FALSE(WriteFrame(*out, liar));
}

TEST(RawFrameIo, FullDiskIsReported) {
  auto full = RawFile::Create("/dev/full");
  if (!full) GTEST_SKIP() << "/dev/full is not available";
  FrameBuffer buffer;
  ASSERT_TRUE(buffer.Allocate(WorkBufferSize(16, 16)));
  EXPECT_FALSE(WriteFrame(*full, buffer.Frame(Format(YUV_444, 16, 16))));
}

TEST(RawFrameIo, OffsetsBeyondFourGibibytes) {
  test::TempDir dir;
  const auto path = dir / "big.yuv";
  FrameBuffer buffer;
  ASSERT_TRUE(buffer.Allocate(WorkBufferSize(1920, 1080)));
  FrameImage frame = buffer.Frame(Format(YUV_420, 1920, 1080));
  const int64_t frameCount = 1500;  // 4.67 GB, sparse
  {
    auto out = RawFile::Create(path);
    ASSERT_TRUE(out);
    ASSERT_EQ(::truncate(path.c_str(), frameCount * frame.DataSize), 0);
    ASSERT_TRUE(SeekFrame(*out, frame, frameCount));
    EXPECT_GT(out->Position(), int64_t{1} << 32);
    std::fill(frame.Data, frame.Data + frame.DataSize, 0xAB);
    frame.Data[0] = 0x5A;
    ASSERT_TRUE(WriteFrame(*out, frame));
  }
  auto in = RawFile::OpenRead(path);
  ASSERT_TRUE(in);
  EXPECT_EQ(in->Length(), frameCount * frame.DataSize);
  EXPECT_EQ(CountFrames(static_cast<uint64_t>(in->Length()), frame.DataSize), 1500u);
  std::fill(frame.Data, frame.Data + frame.DataSize, 0);
  ASSERT_TRUE(SeekFrame(*in, frame, frameCount));
  ASSERT_EQ(ReadFrame(*in, frame), frame.DataSize);
  EXPECT_EQ(frame.Data[0], 0x5A);
  EXPECT_EQ(frame.Data[frame.DataSize - 1], 0xAB);
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

TEST(WriteBehind, WritesInOrderAndNamesTheFirstFailure) {
  test::TempDir dir;
  auto file = RawFile::Create(dir / "out.bin");
  ASSERT_TRUE(file);
  std::vector<std::vector<uint8_t>> blocks;
  for (int k = 0; k < 50; ++k) blocks.push_back(test::RandomBytes(1000 + 37 * k, static_cast<uint32_t>(k)));
  std::vector<uint8_t> expected;
  {
    WriteBehind writer;
    uint64_t ticket = 0;
    for (const auto& block : blocks) {
      ticket = writer.Write(*file, block.data(), static_cast<int64_t>(block.size()), 0);
      expected.insert(expected.end(), block.begin(), block.end());
    }
    writer.Wait(ticket);
    EXPECT_EQ(writer.FailedTag(), -1);
  }
  file->Close();
  EXPECT_EQ(test::ReadFileBytes(dir / "out.bin"), expected) << "every block, in the order given";

  // A file opened for reading cannot be written: the write's tag is named, later ones are dropped.
  auto readOnly = RawFile::OpenRead(dir / "out.bin");
  auto second = RawFile::Create(dir / "second.bin");
  ASSERT_TRUE(readOnly && second);
  WriteBehind writer;
  writer.Write(*second, blocks[0].data(), 10, 0);
  writer.Write(*readOnly, blocks[1].data(), 10, 2);
  writer.Write(*second, blocks[2].data(), 10, 0);
  writer.Drain();
  EXPECT_EQ(writer.FailedTag(), 2);
  second->Close();
  EXPECT_EQ(std::filesystem::file_size(dir / "second.bin"), 10u) << "nothing after the failure";
}

TEST(WriteBehind, AWriteThatThrowsFailsWithItsTag) {
  test::TempDir dir;
  auto file = RawFile::Create(dir / "out.bin");
  ASSERT_TRUE(file);
  const auto bytes = test::RandomBytes(30, 1);
  test::ArmedFault fault(testhooks::badAllocAtWrite, 2);
  WriteBehind writer;
  writer.Write(*file, bytes.data(), 10, 0);
  writer.Write(*file, bytes.data() + 10, 10, 1);
  writer.Write(*file, bytes.data() + 20, 10, 0);
  writer.Drain();
  EXPECT_TRUE(fault.Fired());
  EXPECT_EQ(writer.FailedTag(), 1);
  file->Close();
  EXPECT_EQ(test::ReadFileBytes(dir / "out.bin"), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 10))
      << "nothing after the failure";
}

// Blocks of both sizes: small ones are read one file after the other, large ones
// (from 256 KiB) both files at once on two processors.
constexpr int64_t kBlockUnits[] = {1, 1024};

TEST(ReadAhead, GivesEachFilesBlocksInTurnAndEndsAtAShortOne) {
  for (const int64_t unit : kBlockUnits) {
    test::TempDir dir;
    const int64_t sa = 300 * unit, sb = 200 * unit;
    const auto a = test::RandomBytes(static_cast<size_t>(5 * sa), 1);
    const auto b = test::RandomBytes(static_cast<size_t>(4 * sb + 50), 2);
    test::WriteFileBytes(dir / "a", a);
    test::WriteFileBytes(dir / "b", b);
    auto fa = RawFile::OpenRead(dir / "a"), fb = RawFile::OpenRead(dir / "b");
    ASSERT_TRUE(fa && fb);
    ReadAhead reader;
    ASSERT_TRUE(reader.Start({&*fa, &*fb}, {sa, sb}));
    std::vector<const uint8_t*> blocks;
    std::vector<int64_t> got;
    int sets = 0;
    while (reader.Next(blocks, got)) {
      ASSERT_EQ(blocks.size(), 2u);
      if (got[0] == sa && got[1] == sb) {
        EXPECT_TRUE(std::equal(blocks[0], blocks[0] + sa, a.begin() + sa * sets)) << "set " << sets;
        EXPECT_TRUE(std::equal(blocks[1], blocks[1] + sb, b.begin() + sb * sets)) << "set " << sets;
      }
      ++sets;
    }
    EXPECT_EQ(sets, 5) << "four whole sets, then the one where b came short; unit " << unit;
    EXPECT_EQ(got, (std::vector<int64_t>{sa, 50})) << unit;
    EXPECT_TRUE(std::equal(blocks[0], blocks[0] + sa, a.begin() + 4 * sa)) << unit;
    EXPECT_TRUE(std::equal(blocks[1], blocks[1] + 50, b.begin() + 4 * sb)) << unit;
    EXPECT_FALSE(reader.Next(blocks, got)) << "and nothing after it";
    EXPECT_EQ(reader.FailedFile(), -1) << "the end of a file is no failure";
  }
}

TEST(ReadAhead, AReadThatThrowsEndsReadingAndNamesItsFile) {
  for (const int64_t unit : kBlockUnits) {
    test::TempDir dir;
    const int64_t sa = 300 * unit, sb = 200 * unit;
    test::WriteFileBytes(dir / "a", test::RandomBytes(static_cast<size_t>(5 * sa), 1));
    test::WriteFileBytes(dir / "b", test::RandomBytes(static_cast<size_t>(5 * sb), 2));
    // Blocks are read a, b, a, b...: block 5 is a's third, block 6 b's third.
    for (const int block : {5, 6}) {
      auto fa = RawFile::OpenRead(dir / "a"), fb = RawFile::OpenRead(dir / "b");
      ASSERT_TRUE(fa && fb);
      test::ArmedFault fault(testhooks::badAllocAtReadBlock, block);
      ReadAhead reader;
      ASSERT_TRUE(reader.Start({&*fa, &*fb}, {sa, sb}));
      std::vector<const uint8_t*> blocks;
      std::vector<int64_t> got;
      std::vector<std::vector<int64_t>> sets;
      while (reader.Next(blocks, got)) {
        sets.push_back(got);
        if (sets.size() < 3) {
          EXPECT_EQ(reader.FailedFile(), -1) << "not before the failed set is had";
        }
      }
      const std::vector<int64_t> whole = {sa, sb};
      const std::vector<int64_t> failedSet =
          block == 5 ? std::vector<int64_t>{0, 0} : std::vector<int64_t>{sa, 0};
      EXPECT_EQ(sets, (std::vector<std::vector<int64_t>>{whole, whole, failedSet}))
          << "block " << block << " unit " << unit;
      EXPECT_EQ(reader.FailedFile(), block == 5 ? 0 : 1);
    }
  }
}

TEST(ReadAhead, TheSetWhereOneFileEndsHoldsTheOthersBlocks) {
  test::TempDir dir;
  const auto a = test::RandomBytes(2 * 300 + 100, 1), b = test::RandomBytes(5 * 200, 2);
  test::WriteFileBytes(dir / "a", a);
  test::WriteFileBytes(dir / "b", b);
  auto fa = RawFile::OpenRead(dir / "a"), fb = RawFile::OpenRead(dir / "b");
  ASSERT_TRUE(fa && fb);
  ReadAhead reader;
  ASSERT_TRUE(reader.Start({&*fa, &*fb}, {300, 200}));
  std::vector<const uint8_t*> blocks;
  std::vector<int64_t> got;
  std::vector<std::vector<int64_t>> sets;
  while (reader.Next(blocks, got)) {
    sets.push_back(got);
    if (sets.size() == 3) {
      EXPECT_TRUE(std::equal(blocks[1], blocks[1] + 200, b.begin() + 400)) << "b's third";
    }
  }
  EXPECT_EQ(sets, (std::vector<std::vector<int64_t>>{{300, 200}, {300, 200}, {100, 200}}));
  EXPECT_EQ(reader.FailedFile(), -1);
}

TEST(ReadFrameShared, GivesTheBytesCountAndPositionOfOneRead) {
  // 5 MB: blocks on two threads; the file ends inside the second frame.
  test::TempDir dir;
  constexpr int64_t kFrame = 5 << 20;
  const auto bytes = test::RandomBytes(static_cast<size_t>(kFrame + kFrame / 3 + 7), 9);
  test::WriteFileBytes(dir / "clip", bytes);
  auto file = RawFile::OpenRead(dir / "clip");
  ASSERT_TRUE(file);
  std::vector<uint8_t> buffer(static_cast<size_t>(kFrame), 0xEE);
  FrameImage frame;
  frame.Data = buffer.data();
  frame.DataSize = static_cast<int32_t>(kFrame);
  frame.Capacity = kFrame;
  ASSERT_EQ(ReadFrameShared(*file, frame), kFrame);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), bytes.begin()));
  EXPECT_EQ(file->Position(), kFrame);
  std::fill(buffer.begin(), buffer.end(), 0xEE);
  ASSERT_EQ(ReadFrameShared(*file, frame), kFrame / 3 + 7) << "the rest of the file";
  EXPECT_TRUE(std::equal(bytes.begin() + kFrame, bytes.end(), buffer.begin()));
  EXPECT_EQ(buffer[static_cast<size_t>(kFrame / 3 + 7)], 0xEE) << "nothing after it is touched";
  EXPECT_EQ(file->Position(), static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(ReadFrameShared(*file, frame), 0) << "at the end";
}

}  // namespace
}  // namespace vx
