#pragma once

// The pixel editor's core: an 8 x 8 block of a frame as rows, as the numbers the
// block editor shows, parsed back, and an edited frame written back into its file.
// Frames of deeper samples are edited at full depth (values up to 2^b - 1).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/ColorFormula.h"
#include "image/FrameImage.h"
#include "image/PixelOps.h"
#include "player/ShownFrame.h"

namespace vx {

inline constexpr int kBlockSize = 8;

// Eight block rows as AccessSegment reads them at full depth (first: luma or the
// packed bytes; second and third: chroma or the second and third planes).
using BlockRows = std::array<DeepSegment, kBlockSize>;

// Cleared rows: first arrays 0, chroma arrays at the middle of `bits` (128 at 8).
BlockRows EmptyBlockRows(int bits = 8);

// Reads block (column, row) of `frame`: an 8-bit frame, or a planar or mono frame
// of deeper samples (rows beyond the picture stay cleared). The number of rows
// read; 0 when the layout cannot be accessed.
int ReadBlock(FrameImage& frame, int column, int row, BlockRows& rows);
// Writes the first `count` rows back (no blending). False when access fails.
bool WriteBlock(FrameImage& frame, int column, int row, const BlockRows& rows, int count);

// The three boxes' texts and labels for a block of `format` in edit mode. Numbers
// have 3 digits; for deeper samples as many as 2^b - 1 has (" 0512", " 65535").
struct BlockTexts {
  std::array<std::string, 3> boxes;
  std::array<std::string, 3> labels;
};
BlockTexts FormatBlockText(const ImageFormat& format, const BlockRows& rows);
std::array<std::string, 3> BlockLabels(const ImageFormat& format);

// Reads the boxes back into `rows` in the layout's order; running out of numbers
// keeps the rest. A number outside 0..2^b - 1 rejects the whole edit: its message
// (BKED1001 or BKED1002, the first one only) is returned and `rows` is unchanged.
std::optional<std::string> ParseBlockText(const ImageFormat& format, const std::array<std::string, 3>& boxes,
                                          BlockRows& rows);

// The block as the editor shows it: its own 8 x 8 picture and the enlarged one
// (each pixel a 16 x 16 square), both packed 4:4:4 YUV (Y, U, V) made by the one
// frame-to-display function (deeper samples brought down to 8 bits first).
inline constexpr int kBlockZoom = 16;
struct BlockPicture {
  std::vector<uint8_t> small;     // 8 x 8 x 3
  std::vector<uint8_t> enlarged;  // 128 x 128 x 3
};
struct BlockPictureOptions {
  // A difference image: 0..2 shows that component's difference alone, 3 the sum
  // of all three (the compare tool's choice); -1 for an ordinary picture.
  int differenceSelector = -1;
};
bool MakeBlockPicture(const ColourTables& tables, const ImageFormat& layout, const BlockRows& rows,
                      BlockPicture& picture, const BlockPictureOptions& options = {});
// The two read-outs of pixel (column, row) of the block: "YUV value of this pixle
// is (...)" and "RGB value of this pixle is (...)".
std::array<std::string, 2> PixelReadouts(const ColourTables& tables, const ImageFormat& layout,
                                         const BlockRows& rows, const BlockPicture& picture, int column,
                                         int row);

// Comparison mode: the blocks of image 1, image 2 and their difference image.
// Planar layouts show one component of the three images side by side in each box;
// packed layouts one image per box. `selector` is the compare tool's component
// choice (0..2 one component, 3 the sum).
BlockTexts FormatCompareText(const ImageFormat& format, const BlockRows& one, const BlockRows& two,
                             const BlockRows& difference, int selector);
// The comparison read-outs of pixel (column, row): the RGB values in image 1 and
// 2, their difference, and the selector's line.
std::array<std::string, 4> CompareReadouts(const ColourTables& tables, const ImageFormat& format,
                                           const BlockRows& one, const BlockPicture& onePicture,
                                           const BlockRows& two, const BlockPicture& twoPicture, int selector,
                                           int column, int row);

// The frame the editor changes: the frame shown, or for deeper samples the stored
// bytes read with it, planar at their full depth (the shown layout at the file's
// depth: 16-bit little-endian words, values in the low bits). No bytes when a
// frame of deeper samples came without its stored bytes.
struct EditedFrame {
  FrameImage layout;  // header only
  std::vector<uint8_t> bytes;
  // A frame record over `bytes` (which must outlive it).
  FrameImage View();
};
EditedFrame FrameToEdit(const ShownFrame& shown);

// Writes `edited` (FrameToEdit(shown), changed) over the frame shown in its file
// (WriteShownFrame, WriteShownStoredFrame). Of deeper samples only those whose
// value the edit changed are rewritten; every other byte stays as read. When
// written, `shown` holds the frame as it is now: its stored bytes, and the 8-bit
// frame the playing windows show for them.
bool WriteEditedFrame(ShownFrame& shown, const EditedFrame& edited, const WriteBackMessages& messages);

// The editor's refusals of an edit written back into its file (WriteShownFrame).
inline constexpr WriteBackMessages kEditWriteBack = {
    "Error EDIT1006: File %s cannot be written !\n",
    "Error EDIT1007: File %s is no longer the file shown (it was replaced, or its length changed); frame "
    "%lld "
    "was not written !\n",
    "Error EDIT1008: Frame %lld of file %s was changed by another program after it was shown; nothing was "
    "written. Show the frame again and repeat the edit.\n",
};

}  // namespace vx
