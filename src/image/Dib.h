#pragma once

// One device-independent bitmap in memory, read from and written to BMP files.
// Pixel rows are in BMP order: bottom row first, B G R, each row padded to a
// multiple of 4 bytes.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/RawFile.h"

namespace vx {

struct PaletteEntry {
  uint8_t red, green, blue, flags;
};

class CDib {
 public:
  CDib() = default;

  // Builds a bitmap of width x height at `bitCount` bits from rows already in BMP
  // order; `bits` must hold at least ImageSize() bytes. False for sizes it cannot
  // hold.
  bool CreateFromBits(int32_t width, int32_t height, int bitCount, std::span<const uint8_t> bits);
  // Reads a BMP file from its current position. Refuses what is no bitmap or none
  // this program can hold: compressed and top-down bitmaps, damaged headers, sizes
  // that do not fit the file. Nothing is shown: a refusal leaves its message in
  // Error(), for the caller to show or not.
  bool Read(RawFile& file);
  // Writes the file header, the information header, the colour table and the rows;
  // a failed write leaves "write error" in Error().
  bool Write(RawFile& file) const;
  // Why the last Read or Write failed.
  const std::string& Error() const { return error_; }
  void Empty();

  bool IsEmpty() const { return header_.empty(); }
  int32_t Width() const;
  int32_t Height() const;
  int BitCount() const;
  int ColourEntries() const { return colourEntries_; }
  // Bytes of the pixel rows: the header's image-size field when it is not 0,
  // otherwise the rows rounded up to 32-bit words times the height.
  int64_t ImageSize() const { return imageSize_; }
  // Bytes per stored row.
  int64_t RowBytes() const;
  // The pixel rows; always at least RowBytes() x Height() bytes (zero-filled past
  // a shorter declared image size).
  std::span<const uint8_t> Bits() const { return bits_; }
  std::span<uint8_t> Bits() { return bits_; }
  const std::vector<PaletteEntry>& Palette() const { return palette_; }

  // Largest bitmap accepted, in bytes of rows.
  static constexpr int64_t kMaxImageBytes = int64_t{1} << 30;

 private:
  void BuildPalette();
  size_t ColourTableOffset() const;
  uint32_t HeaderField32(size_t offset) const;
  uint16_t HeaderField16(size_t offset) const;

  std::vector<uint8_t> header_;  // information header (40 bytes), colour table, gap before the rows
  std::vector<uint8_t> bits_;
  std::vector<PaletteEntry> palette_;
  int64_t imageSize_ = 0;
  mutable std::string error_;
  int colourEntries_ = 0;
};

// Colour-table entries of a bit count: 1 -> 2, 4 -> 16, 8 -> 256, 16/24/32 -> 0;
// -1 for any other bit count.
int ColourEntriesFor(int bitCount);

}  // namespace vx
