#include <gtest/gtest.h>

#include <filesystem>

#include "PixelTestSupport.h"
#include "TestSupport.h"
#include "editor/BlockEdit.h"
#include "platform/MessageSink.h"

namespace vx {
namespace {

// A frame of `f` over its own buffer, filled with `seed`'s bytes.
struct TestFrame {
  explicit TestFrame(const ImageFormat& layout, uint32_t seed = 1) {
    EXPECT_TRUE(buffer.Allocate(WorkBufferSize(layout.ImgWidth, layout.ImgHeight)));
    frame = buffer.Frame(layout);
    const auto bytes = test::RandomBytes(static_cast<size_t>(frame.DataSize), seed);
    std::copy(bytes.begin(), bytes.end(), frame.Data);
  }
  std::vector<uint8_t> Bytes() const { return {frame.Data, frame.Data + frame.DataSize}; }
  FrameBuffer buffer;
  FrameImage frame;
};

BlockRows RowsWithValues(uint8_t base) {
  BlockRows rows = EmptyBlockRows();
  for (int r = 0; r < kBlockSize; ++r) {
    auto& row = rows[static_cast<size_t>(r)];
    for (size_t i = 0; i < row.first.size(); ++i) row.first[i] = static_cast<uint8_t>(base + r * 24 + i);
    for (size_t i = 0; i < row.second.size(); ++i) row.second[i] = static_cast<uint8_t>(100 + r * 8 + i);
    for (size_t i = 0; i < row.third.size(); ++i) row.third[i] = static_cast<uint8_t>(200 - r * 8 - i);
  }
  return rows;
}

TEST(BlockText, LayoutsLabelsAndLineEnds) {
  const BlockRows rows = RowsWithValues(1);
  const BlockTexts planar = FormatBlockText(test::PlainLayout(YUV_444, YUV, Progressive, Planar), rows);
  EXPECT_EQ(planar.labels, (std::array<std::string, 3>{"Y Y Y", "U U U", "V V V"}));
  EXPECT_EQ(planar.boxes[0].substr(0, 40), " 001 002 003 004    005 006 007 008 \r\n 0");
  EXPECT_NE(planar.boxes[0].find(" 079 080 \r\n \r\n 097"), std::string::npos)
      << "an empty line after line 4";

  const BlockTexts packed = FormatBlockText(test::PlainLayout(YUV_444, UYV, Progressive, Packed), rows);
  EXPECT_EQ(packed.labels[0], "UYV UYV UYV");
  EXPECT_EQ(packed.boxes[0].substr(0, 43), "(001, 002, 003)  (004, 005, 006)  (007, 008");
  EXPECT_NE(packed.boxes[0].find("(010, 011, 012)     (013, 014, 015)"), std::string::npos)
      << "the 5th pixel";
  EXPECT_NE(packed.boxes[0].find("  \r\n\r\n("), std::string::npos);
  EXPECT_TRUE(packed.boxes[1].empty());

  const BlockTexts uyvy = FormatBlockText(test::PlainLayout(YUV_422, UYV, Progressive, Packed), rows);
  EXPECT_EQ(uyvy.labels[0], "UYVY UYVY");
  EXPECT_EQ(uyvy.boxes[0].substr(0, 44), "(001, 002, 003, 004)  (005, 006, 007, 008)  ");

  const BlockTexts p422 = FormatBlockText(test::PlainLayout(YUV_422, YVU, Progressive, Planar), rows);
  EXPECT_EQ(p422.labels, (std::array<std::string, 3>{"Y Y Y", "V V V", "U U U"}));
  EXPECT_EQ(p422.boxes[1].substr(0, 18), " 100 101 102 103 \r");
  EXPECT_EQ(std::count(p422.boxes[1].begin(), p422.boxes[1].end(), '\n'), 8);

  // 4:2:0: chroma lines from block rows 0, 2, 4, 6, or 0, 3, 4, 7 interlaced.
  const BlockTexts progressive = FormatBlockText(test::PlainLayout(YUV_420, YUV, Progressive, Planar), rows);
  EXPECT_EQ(progressive.boxes[1],
            " 100 101 102 103 \r\n 116 117 118 119 \r\n 132 133 134 135 \r\n 148 149 150 151 \r\n");
  const BlockTexts interlaced = FormatBlockText(test::PlainLayout(YUV_420, YUV, Interlaced, Planar), rows);
  EXPECT_EQ(interlaced.boxes[1],
            " 100 101 102 103 \r\n 124 125 126 127 \r\n 132 133 134 135 \r\n 156 157 158 159 \r\n");

  EXPECT_EQ(BlockLabels(test::PlainLayout(RGB_444, BGR, Progressive, Packed))[0], "BGR BGR BGR");
  EXPECT_EQ(BlockLabels(test::PlainLayout(RGB_444, YUV, Progressive, Packed))[0], "Invalid RGB");
  EXPECT_EQ(BlockLabels(test::PlainLayout(YUV_420, UYV, Progressive, Planar))[0], "Invalid YUV420");
  EXPECT_EQ(BlockLabels(test::PlainLayout(YUV_444, RGB, Progressive, Planar))[0], "Invalid YUV444");
}

TEST(BlockText, EveryLayoutRoundTripsThroughItsText) {
  for (const ImageFormat& f : {test::PlainLayout(YUV_444, YUV, Progressive, Planar),
                               test::PlainLayout(YUV_444, YVU, Interlaced, Packed),
                               test::PlainLayout(RGB_444, BGR, Progressive, Planar),
                               test::PlainLayout(YUV_422, YUV, Progressive, Packed),
                               test::PlainLayout(YUV_422, UYV, Interlaced, Packed),
                               test::PlainLayout(YUV_422, YUV, Progressive, Planar),
                               test::PlainLayout(YUV_420, YUV, Progressive, Planar),
                               test::PlainLayout(YUV_420, YVU, Interlaced, Planar)}) {
    TestFrame source(test::Layout(f.SamplingFormat, f.ComponentOrder, f.FieldFormat, f.PixelFormat, 32, 16),
                     7);
    BlockRows rows;
    ASSERT_EQ(ReadBlock(source.frame, 1, 1, rows), 8) << test::Describe(f);
    const BlockTexts texts = FormatBlockText(source.frame, rows);
    BlockRows parsed = EmptyBlockRows();
    EXPECT_FALSE(ParseBlockText(source.frame, texts.boxes, parsed)) << test::Describe(f);
    // Written back, the parsed rows leave the frame as it was.
    const std::vector<uint8_t> before = source.Bytes();
    ASSERT_TRUE(WriteBlock(source.frame, 1, 1, parsed, 8));
    EXPECT_EQ(source.Bytes(), before) << test::Describe(f);
  }
}

TEST(BlockText, OutOfRangeValuesRejectTheEditWithOneMessage) {
  const ImageFormat f = test::PlainLayout(YUV_444, YUV, Progressive, Planar);
  const BlockRows original = RowsWithValues(10);
  BlockTexts texts = FormatBlockText(f, original);
  texts.boxes[0].replace(1, 3, "300");
  texts.boxes[1].replace(1, 3, "-20");
  BlockRows rows = original;
  const auto refusal = ParseBlockText(f, texts.boxes, rows);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(*refusal, "Error BKED1001: Invalid input value: 300.  It cannot be larger than 255 !\n");
  EXPECT_EQ(rows[0].first, original[0].first) << "nothing is written, not even the other values";
  texts = FormatBlockText(f, original);
  texts.boxes[2].replace(1, 3, "-20");
  EXPECT_EQ(*ParseBlockText(f, texts.boxes, rows),
            "Error BKED1002: Invalid input value: -20.  It cannot be smaller than 0! \n");
}

TEST(BlockText, MissingNumbersKeepTheRestAndChromaFollowsItsRows) {
  // Box 1 cut after the first row's fourth number: the rest keeps its values.
  const ImageFormat p420 = test::PlainLayout(YUV_420, YUV, Interlaced, Planar);
  const BlockRows original = RowsWithValues(5);
  BlockRows rows = original;
  EXPECT_FALSE(ParseBlockText(p420, {" 9 9 9 9", "", ""}, rows));
  EXPECT_EQ(rows[0].first[3], 9);
  EXPECT_EQ(rows[0].first[4], original[0].first[4]);
  // Interlaced 4:2:0: chroma line i goes to both rows of its field pair.
  rows = original;
  const BlockTexts texts = FormatBlockText(p420, original);
  std::array<std::string, 3> boxes = {texts.boxes[0], "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16",
                                      texts.boxes[2]};
  EXPECT_FALSE(ParseBlockText(p420, boxes, rows));
  for (int line = 0; line < 4; ++line) {
    const int first = line + 2 * (line / 2);
    EXPECT_EQ(rows[static_cast<size_t>(first)].second[0], 1 + 4 * line) << line;
    EXPECT_EQ(rows[static_cast<size_t>(first + 2)].second[0], 1 + 4 * line) << line;
  }
  // Progressive: lines to rows 2i and 2i + 1.
  const ImageFormat progressive = test::PlainLayout(YUV_420, YUV, Progressive, Planar);
  rows = original;
  EXPECT_FALSE(ParseBlockText(progressive, boxes, rows));
  EXPECT_EQ(rows[2].second[1], 6);
  EXPECT_EQ(rows[3].second[1], 6);
}

ImageFormat Deep(ImageFormat f, int bits) {
  f.BitsPerSample = bits;
  return f;
}

TEST(BlockText, DeeperSamplesWidenTheFieldsToTheirLargestValue) {
  // 10 bits, 4:2:0: four digits. Luma 128 r + 9 x, U 512 + 8 r + x, V 5 r + x.
  BlockRows rows = EmptyBlockRows(10);
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t x = 0; x < 8; ++x) rows[r].first[x] = static_cast<uint16_t>(128 * r + 9 * x);
    for (size_t x = 0; x < 4; ++x) {
      rows[r].second[x] = static_cast<uint16_t>(512 + 8 * r + x);
      rows[r].third[x] = static_cast<uint16_t>(5 * r + x);
    }
  }
  const ImageFormat ten = Deep(test::PlainLayout(YUV_420, YUV, Progressive, Planar), 10);
  const BlockTexts texts = FormatBlockText(ten, rows);
  EXPECT_EQ(texts.labels, (std::array<std::string, 3>{"Y Y Y", "U U U", "V V V"}));
  EXPECT_EQ(texts.boxes[0],
            " 0000 0009 0018 0027 0036 0045 0054 0063 \r\n"
            " 0128 0137 0146 0155 0164 0173 0182 0191 \r\n"
            " 0256 0265 0274 0283 0292 0301 0310 0319 \r\n"
            " 0384 0393 0402 0411 0420 0429 0438 0447 \r\n"
            " 0512 0521 0530 0539 0548 0557 0566 0575 \r\n"
            " 0640 0649 0658 0667 0676 0685 0694 0703 \r\n"
            " 0768 0777 0786 0795 0804 0813 0822 0831 \r\n"
            " 0896 0905 0914 0923 0932 0941 0950 0959 \r\n");
  EXPECT_EQ(texts.boxes[1],
            " 0512 0513 0514 0515 \r\n 0528 0529 0530 0531 \r\n 0544 0545 0546 0547 \r\n"
            " 0560 0561 0562 0563 \r\n");
  EXPECT_EQ(texts.boxes[2],
            " 0000 0001 0002 0003 \r\n 0010 0011 0012 0013 \r\n 0020 0021 0022 0023 \r\n"
            " 0030 0031 0032 0033 \r\n");
  EXPECT_EQ(FormatBlockText(Deep(test::PlainLayout(YUV_420, YUV, Progressive, Planar), 12), rows).boxes[1],
            texts.boxes[1])
      << "12 bits (4095) take four digits too";

  // 16 bits, 4:4:4: five digits, the gap after the fourth number and the empty line after the fourth row.
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t x = 0; x < 8; ++x) rows[r].first[x] = static_cast<uint16_t>(9000 * r + x);
  }
  rows[0].first[0] = 65535;
  const ImageFormat sixteen = Deep(test::PlainLayout(YUV_444, YUV, Progressive, Planar), 16);
  EXPECT_EQ(FormatBlockText(sixteen, rows).boxes[0],
            " 65535 00001 00002 00003    00004 00005 00006 00007 \r\n"
            " 09000 09001 09002 09003    09004 09005 09006 09007 \r\n"
            " 18000 18001 18002 18003    18004 18005 18006 18007 \r\n"
            " 27000 27001 27002 27003    27004 27005 27006 27007 \r\n"
            " \r\n"
            " 36000 36001 36002 36003    36004 36005 36006 36007 \r\n"
            " 45000 45001 45002 45003    45004 45005 45006 45007 \r\n"
            " 54000 54001 54002 54003    54004 54005 54006 54007 \r\n"
            " 63000 63001 63002 63003    63004 63005 63006 63007 \r\n");
}

TEST(BlockText, DeeperSamplesAreParsedUpToTheirLargestValue) {
  const ImageFormat ten = Deep(test::PlainLayout(YUV_420, YUV, Progressive, Planar), 10);
  const BlockRows original = EmptyBlockRows(10);
  EXPECT_EQ(original[0].second[0], 512) << "neutral chroma at 10 bits";
  BlockRows rows = original;
  EXPECT_FALSE(ParseBlockText(ten, {"1023 256 0", "", ""}, rows));
  EXPECT_EQ((std::vector<uint16_t>(rows[0].first.begin(), rows[0].first.begin() + 4)),
            (std::vector<uint16_t>{1023, 256, 0, 0}));
  rows = original;
  EXPECT_EQ(*ParseBlockText(ten, {"5 1024", "", ""}, rows),
            "Error BKED1001: Invalid input value: 1024.  It cannot be larger than 1023 !\n");
  EXPECT_EQ(rows[0].first, original[0].first) << "nothing is taken";
  const ImageFormat sixteen = Deep(test::PlainLayout(YUV_444, YUV, Progressive, Planar), 16);
  EXPECT_FALSE(ParseBlockText(sixteen, {"65535", "", ""}, rows));
  EXPECT_EQ(rows[0].first[0], 65535);
  EXPECT_EQ(*ParseBlockText(sixteen, {"65536", "", ""}, rows),
            "Error BKED1001: Invalid input value: 65536.  It cannot be larger than 65535 !\n");

  // A block of a 10-bit frame through its text and back leaves the frame as it was;
  // its picture shows the samples brought down to 8 bits.
  std::vector<uint8_t> bytes(32 * 16 * 3);
  for (size_t i = 0; i < bytes.size() / 2; ++i) {
    const auto value = static_cast<uint16_t>((i * 37) % 1024);
    bytes[2 * i] = static_cast<uint8_t>(value);
    bytes[2 * i + 1] = static_cast<uint8_t>(value >> 8);
  }
  FrameImage frame;
  static_cast<ImageFormat&>(frame) = Deep(test::Layout(YUV_420, YUV, Progressive, Planar, 32, 16), 10);
  ASSERT_EQ(ComputeFrameSize(frame), static_cast<int32_t>(bytes.size()));
  frame.Data = bytes.data();
  frame.Capacity = static_cast<int64_t>(bytes.size());
  const std::vector<uint8_t> before = bytes;
  ASSERT_EQ(ReadBlock(frame, 1, 1, rows), 8);
  BlockRows parsed = EmptyBlockRows(10);
  ASSERT_FALSE(ParseBlockText(frame, FormatBlockText(frame, rows).boxes, parsed));
  ASSERT_TRUE(WriteBlock(frame, 1, 1, parsed, 8));
  EXPECT_EQ(bytes, before);

  for (auto& row : rows) {
    std::fill(row.first.begin(), row.first.end(), 1001);
    std::fill(row.second.begin(), row.second.end(), 1022);
    std::fill(row.third.begin(), row.third.end(), 0);
  }
  BlockPicture picture;
  ASSERT_TRUE(MakeBlockPicture(*CurrentColourTables(), frame, rows, picture));
  EXPECT_EQ(PixelReadouts(*CurrentColourTables(), frame, rows, picture, 3, 3)[0],
            "YUV value of this pixle is (250, 255, 000)")
      << "(1001 + 2) >> 2, (1022 + 2) >> 2 limited to 255";
}

TEST(BlockText, ComparisonLabelsBoxesAndReadouts) {
  const BlockRows one = RowsWithValues(10), two = RowsWithValues(14), difference = RowsWithValues(4);
  const ImageFormat planar = test::PlainLayout(YUV_420, YUV, Progressive, Planar);
  const BlockTexts texts = FormatCompareText(planar, one, two, difference, 3);
  EXPECT_EQ(texts.labels[0],
            "Y Y Y (Image #1)" + std::string(46, ' ') + "Y Y Y (Image #2)" + std::string(46, ' ') +
                " Sum of absolute differences of all YUV componets, drag right to display more");
  EXPECT_EQ(texts.boxes[0].substr(0, 84),
            " 010 011 012 013 014 015 016 017       014 015 016 017 018 019 020 021       "
            "004 005");
  EXPECT_EQ(std::count(texts.boxes[1].begin(), texts.boxes[1].end(), '\n'), 4) << "4:2:0: four chroma lines";
  const ImageFormat packed = test::PlainLayout(YUV_422, UYV, Progressive, Packed);
  const BlockTexts packedTexts = FormatCompareText(packed, one, two, difference, 0);
  EXPECT_EQ(packedTexts.labels[2], "UYVY UYVY ... (Diff image.  Only absolute differences of Y componets)");
  EXPECT_EQ(packedTexts.boxes[1], FormatBlockText(packed, two).boxes[0]);
  EXPECT_EQ(FormatCompareText(test::PlainLayout(RGB_444, RGB, Progressive, Packed), one, two, difference, 2)
                .labels[2],
            "RGB RGB RGB ... (Diff image. Only absolute differences of B componets)");

  // RGB pixels: the stored values, their difference and the selector's line.
  const ImageFormat rgb = test::PlainLayout(RGB_444, BGR, Progressive, Packed);
  BlockPicture a, b;
  ASSERT_TRUE(MakeBlockPicture(*CurrentColourTables(), rgb, one, a));
  ASSERT_TRUE(MakeBlockPicture(*CurrentColourTables(), rgb, two, b));
  const auto lines = CompareReadouts(*CurrentColourTables(), rgb, one, a, two, b, 0, 1, 0);
  EXPECT_EQ(lines[0], "RGB value in image #1 (015, 014, 013)") << "B G R stored, R G B shown";
  EXPECT_EQ(lines[1], "RGB value in image #2 (019, 018, 017)");
  EXPECT_EQ(lines[2], "RGB difference value: (004, 004, 004)");
  EXPECT_EQ(lines[3], "Only compare R component: (004, --, --)");
  EXPECT_EQ(CompareReadouts(*CurrentColourTables(), rgb, one, a, two, b, 3, 1, 0)[3],
            "Sum of all RGB componets:  012");
}

TEST(BlockEdit, BlocksCoverTheirPixelsAndTheLastRowsOnly) {
  // Block (3, 2) of 352 x 288 I420 covers x 24..31, y 16..23, and the chroma under it.
  TestFrame frame(test::Layout(YUV_420, YUV, Progressive, Planar, 352, 288));
  const std::vector<uint8_t> before = frame.Bytes();
  BlockRows rows;
  ASSERT_EQ(ReadBlock(frame.frame, 3, 2, rows), 8);
  for (auto& row : rows) {
    std::fill(row.first.begin(), row.first.begin() + 8, 0);
    std::fill(row.second.begin(), row.second.begin() + 4, 0);
  }
  ASSERT_TRUE(WriteBlock(frame.frame, 3, 2, rows, 8));
  const std::vector<uint8_t> after = frame.Bytes();
  const size_t luma = 352 * 288;
  for (size_t i = 0; i < after.size(); ++i) {
    bool inside = false;
    if (i < luma) {
      inside = i % 352 >= 24 && i % 352 < 32 && i / 352 >= 16 && i / 352 < 24;
    } else if (i < luma + luma / 4) {
      const size_t c = i - luma;
      inside = c % 176 >= 12 && c % 176 < 16 && c / 176 >= 8 && c / 176 < 12;
    }
    if (inside) {
      ASSERT_EQ(after[i], 0) << i;
    } else {
      ASSERT_EQ(after[i], before[i]) << i;
    }
  }
  // A 20-row picture: its last block row has 4 rows.
  TestFrame shallow(test::Layout(YUV_444, YUV, Progressive, Planar, 16, 20));
  EXPECT_EQ(ReadBlock(shallow.frame, 1, 2, rows), 4);
  // Packed 4:2:2: the second number of a UYVY group is Y0.
  TestFrame uyvy(test::Layout(YUV_422, UYV, Progressive, Packed, 16, 8));
  ASSERT_EQ(ReadBlock(uyvy.frame, 0, 0, rows), 8);
  BlockTexts texts = FormatBlockText(uyvy.frame, rows);
  texts.boxes[0] = "(1, 222";
  ASSERT_FALSE(ParseBlockText(uyvy.frame, texts.boxes, rows));
  ASSERT_TRUE(WriteBlock(uyvy.frame, 0, 0, rows, 8));
  EXPECT_EQ(uyvy.frame.Data[1], 222);
}

}  // namespace
}  // namespace vx
