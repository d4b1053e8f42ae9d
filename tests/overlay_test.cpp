#include "analysis/Overlay.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vx {
namespace {

std::string Header(int frames, int w, int h, int bw, int bh, int perBlock) {
  std::ostringstream text;
  text << "<TotalFrames> " << frames << " </TotalFrames>\n<ImageWidth> " << w
       << " </ImageWidth>\n<ImageHeight> " << h << " </ImageHeight>\n<BlockWidth> " << bw
       << " </BlockWidth>\n<BlockHeight> " << bh << " </BlockHeight>\n<DataPerBlock> " << perBlock
       << " </DataPerBlock>\n<DataMin> -127 </DataMin>\n<DataMax> "
          "255 </DataMax>\n<Data>\n";
  return text.str();
}

// Frames whose every value is `value`.
std::string Frames(int frames, int values, int value) {
  std::string text;
  for (int f = 0; f < frames; ++f) {
    text += "<Frame>\n";
    for (int i = 0; i < values; ++i) text += std::to_string(value) + " ";
    text += "\n</Frame>\n";
  }
  return text;
}

TEST(OverlayFile, HeaderDataAndEveryRefusal) {
  OverlayHeader header;
  EXPECT_EQ(*OverlayReader(Header(2, 16, 16, 8, 8, 3)).ReadHeader(header),
            "DataPerBlock can only be 1 or 2!");
  EXPECT_EQ(
      *OverlayReader("<TotalFrames>20</TotalFrames>").ReadHeader(header),
      "Format wrong around <TotalFrames>20</TotalFrames>!, expecting <TotalFrames>. The format should be "
      "like <TotalFrames> 20 </TotalFrames>");
  EXPECT_EQ(
      *OverlayReader("<TotalFrames> 2 <ImageWidth>").ReadHeader(header),
      "Format wrong around <ImageWidth>!, expecting </TotalFrames>. The format be like <TotalFrames> 20 "
      "</TotalFrames>");
  EXPECT_EQ(*OverlayReader(Header(2, 16, 16, 0, 8, 1)).ReadHeader(header),
            "The block size 0 x 8 in the overlay data is not usable: blocks must be at least 1 x 1!");
  EXPECT_FALSE(OverlayReader(Header(2, 16, 16, 8, 8, 1) + "junk").ReadHeader(header))
      << "frames are read later";

  // 200 is kept as the signed byte -56.
  OverlayReader reader(Header(2, 16, 16, 8, 8, 1) + Frames(2, 4, 200));
  OverlayData data;
  ASSERT_FALSE(reader.ReadHeader(data.header));
  ASSERT_FALSE(reader.ReadFrames(2, 16, 16, data));
  EXPECT_EQ(data.frames, 2);
  EXPECT_EQ(data.columns, 2);
  EXPECT_EQ(*data.Block(1, 1, 1), -56);
  // A frame short of values names the token where </Frame> was due.
  OverlayReader shortFrame(Header(1, 16, 16, 8, 8, 1) + "<Frame> 1 2 3 </Frame>");
  ASSERT_FALSE(shortFrame.ReadHeader(data.header));
  EXPECT_EQ(
      *shortFrame.ReadFrames(1, 16, 16, data),
      "Format wrong around </Frame>!, expecting </Frame>, then followed by </Frame> and data of next frame!");
  // A product too large to hold is refused before anything is allocated.
  OverlayReader huge(Header(1000, 65535, 65535, 1, 1, 2));
  ASSERT_FALSE(huge.ReadHeader(data.header));
  EXPECT_EQ(huge.ReadFrames(1000, 8192, 5120, data)->rfind("The overlay data (1000 frames of", 0), 0u);
  EXPECT_TRUE(data.values.empty());
}

TEST(OverlayFile, FrameCountsAndTheirWarnings) {
  std::vector<std::string> warnings;
  EXPECT_EQ(OverlayFramesToLoad(2, 10, warnings), 2);
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(OverlayFramesToLoad(1500, 2000, warnings), 1000);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(
      warnings[0],
      "Warning! Total frame number 1500 in overlay data  exceed 1000 frames!, Only first 1000 frames will be "
      "displayed");
  warnings.clear();
  EXPECT_EQ(OverlayFramesToLoad(30, 20, warnings), 20);
  EXPECT_EQ(warnings[0],
            "Warning! Overlay data (30 frames) contains more frames than image data (20 frames)! \n");
  EXPECT_EQ(OverlayFramesToLoad(-5, 20, warnings), 0);
  // Exactly the limit, and exactly as many frames as the video: no warning.
  warnings.clear();
  EXPECT_EQ(OverlayFramesToLoad(1000, 2000, warnings), 1000);
  EXPECT_EQ(OverlayFramesToLoad(20, 20, warnings), 20);
  EXPECT_TRUE(warnings.empty()) << warnings.front();
}

struct Rows {
  Rows(int w, int h)
      : width(w), height(h), pitch((3 * w + 3) / 4 * 4), bytes(static_cast<size_t>(pitch * h), 100) {}
  // B, G, R of (x, y), y from the top.
  std::array<uint8_t, 3> At(int x, int y) const {
    const size_t at = static_cast<size_t>((height - 1 - y) * pitch + 3 * x);
    return {bytes[at], bytes[at + 1], bytes[at + 2]};
  }
  int width, height;
  int64_t pitch;
  std::vector<uint8_t> bytes;
};

TEST(OverlayDrawing, VectorsFromTheBlockCentresAndTintedBlocks) {
  OverlayEntries entries{};
  entries[9].Color = {0, 255, 0};
  // 360 / 16: 23 columns, the last vector from the middle of its 8 pixels; (0, 0)
  // vectors are single white pixels.
  OverlayReader reader(Header(1, 360, 32, 16, 16, 2) + Frames(1, 23 * 2 * 2, 0));
  OverlayData data;
  ASSERT_FALSE(reader.ReadHeader(data.header));
  ASSERT_FALSE(reader.ReadFrames(1, 360, 32, data));
  EXPECT_EQ(data.columns, 23);
  OverlayReader narrow(Header(1, 352, 32, 16, 16, 2));
  OverlayData even;
  ASSERT_FALSE(narrow.ReadHeader(even.header));
  narrow.ReadFrames(0, 352, 32, even);
  EXPECT_EQ(even.columns, 22);
  Rows rows(360, 32);
  DrawOverlay(data, 0, entries, rows.bytes, 360, 32, rows.pitch);
  EXPECT_EQ(rows.At(8, 7), (std::array<uint8_t, 3>{255, 255, 255}));
  EXPECT_EQ(rows.At(356, 23), (std::array<uint8_t, 3>{255, 255, 255})) << "the narrower last column's middle";
  EXPECT_EQ(rows.At(9, 7), (std::array<uint8_t, 3>{100, 100, 100})) << "nothing else";
  int white = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 360; ++x) white += rows.At(x, y)[0] == 255;
  EXPECT_EQ(white, 46);

  // A vector (5, -3) draws a line in entry 10's colour ending 5 right, 3 up.
  OverlayReader one(Header(1, 16, 16, 16, 16, 2) + "<Frame> 5 -3 </Frame>");
  ASSERT_FALSE(one.ReadHeader(data.header));
  ASSERT_FALSE(one.ReadFrames(1, 16, 16, data));
  Rows small(16, 16);
  DrawOverlay(data, 0, entries, small.bytes, 16, 16, small.pitch);
  EXPECT_EQ(small.At(8, 7), (std::array<uint8_t, 3>{255, 255, 255}));
  EXPECT_EQ(small.At(13, 4), (std::array<uint8_t, 3>{0, 255, 0})) << "B G R of green";

  // An overlay smaller than the picture covers its own area only: two 16 x 16
  // blocks of a 32 x 16 overlay on a 64 x 48 picture, two vectors.
  OverlayReader inner(Header(1, 32, 16, 16, 16, 2) + Frames(1, 4, 0));
  ASSERT_FALSE(inner.ReadHeader(data.header));
  ASSERT_FALSE(inner.ReadFrames(1, 64, 48, data));
  EXPECT_EQ((std::array<int32_t, 4>{data.areaWidth, data.areaHeight, data.columns, data.rows}),
            (std::array<int32_t, 4>{32, 16, 2, 1}));
  Rows wide(64, 48);
  DrawOverlay(data, 0, entries, wide.bytes, 64, 48, wide.pitch);
  int whiteInWide = 0;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) whiteInWide += wide.At(x, y)[0] == 255;
  EXPECT_EQ(whiteInWide, 2);

  // One value per block: 7 matches entry 2 and takes half its colour; others darken.
  entries[1] = {7, {200, 0, 100}};
  OverlayReader values(Header(1, 16, 8, 8, 8, 1) + "<Frame> 7 9 </Frame>");
  ASSERT_FALSE(values.ReadHeader(data.header));
  ASSERT_FALSE(values.ReadFrames(1, 16, 8, data));
  Rows tinted(16, 8);
  DrawOverlay(data, 0, entries, tinted.bytes, 16, 8, tinted.pitch);
  EXPECT_EQ(tinted.At(3, 3), (std::array<uint8_t, 3>{75 + 50, 75, 75 + 100}));
  EXPECT_EQ(tinted.At(12, 3), (std::array<uint8_t, 3>{75, 75, 75}));
  // An overlay larger than the picture is drawn on the common area only.
  Rows smaller(8, 4);
  DrawOverlay(data, 0, entries, smaller.bytes, 8, 4, smaller.pitch);
  EXPECT_EQ(smaller.At(7, 3), (std::array<uint8_t, 3>{125, 75, 175}));
}

TEST(OverlayFile, DataIsSizedFromTheVideoAndFromWhatTheTextHolds) {
  // A 250-byte file that claims a 32768 x 32768 image of 1 x 1 blocks.
  const std::string claim = Header(1, 32768, 32768, 1, 1, 1) + "<Frame> 1 2 3 </Frame>";
  ASSERT_LT(claim.size(), 300u);
  {
    OverlayReader reader(claim);
    OverlayData data;
    ASSERT_FALSE(reader.ReadHeader(data.header));
    EXPECT_EQ(*reader.ReadFrames(1, 64, 48, data),
              "Format wrong around </Frame>!, expecting </Frame>, then followed by </Frame> and data of next "
              "frame!");
    EXPECT_EQ(data.values.capacity(), 0u) << "the text cannot hold a frame: nothing is allocated";
    EXPECT_EQ(data.columns, 64) << "the blocks of the video's area";
    EXPECT_EQ(data.rows, 48);
  }
  {
    // Even a video of the largest size takes nothing before the text could hold it.
    OverlayReader reader(claim);
    OverlayData data;
    ASSERT_FALSE(reader.ReadHeader(data.header));
    ASSERT_TRUE(reader.ReadFrames(1, 8192, 5120, data));
    EXPECT_EQ(data.values.capacity(), 0u);
  }
  // An overlay larger than the video keeps the blocks the video shows, each in
  // its place: 16 x 8 in 4 x 4 blocks over an 8 x 4 video keeps 2 x 1 blocks.
  std::string values;
  for (int i = 0; i < 8; ++i) values += " " + std::to_string(10 + i);
  OverlayReader reader(Header(1, 16, 8, 4, 4, 1) + "<Frame>" + values + " </Frame>");
  OverlayData data;
  ASSERT_FALSE(reader.ReadHeader(data.header));
  ASSERT_FALSE(reader.ReadFrames(1, 8, 4, data));
  EXPECT_EQ(data.values, (std::vector<int8_t>{10, 11}));
  // Drawn on a picture larger than that video, the data stays in its area.
  OverlayEntries entries{};
  entries[0] = {11, {0, 0, 200}};
  Rows rows(16, 8);
  DrawOverlay(data, 0, entries, rows.bytes, 16, 8, rows.pitch);
  EXPECT_EQ(rows.At(0, 0), (std::array<uint8_t, 3>{75, 75, 75})) << "block 10: no entry, darkened";
  EXPECT_EQ(rows.At(5, 3), (std::array<uint8_t, 3>{175, 75, 75})) << "block 11: entry 1";
  EXPECT_EQ(rows.At(9, 0), (std::array<uint8_t, 3>{100, 100, 100})) << "outside the video's area";
  EXPECT_EQ(rows.At(0, 5), (std::array<uint8_t, 3>{100, 100, 100}));
}

}  // namespace
}  // namespace vx
