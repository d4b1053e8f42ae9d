#pragma once

// Up to two grids of thin lines blended into a displayed picture, to show block
// structure (for instance an 8 x 8 grid over a 16 x 16 one).

#include <cstdint>
#include <span>

#include "image/RgbColor.h"

namespace vx {

struct GridSettings {
  int32_t Enabled = 0;
  int32_t Transparency = 0;       // percent of the picture that shows through a line
  int32_t HorizontalSpacing = 8;  // between vertical lines (columns)
  int32_t VerticalSpacing = 8;    // between horizontal lines (rows)
  RgbColor Color;
  bool operator==(const GridSettings&) const = default;
};

inline constexpr GridSettings kDefaultGrid1{0, 80, 8, 8, {0, 0, 0}};
inline constexpr GridSettings kDefaultGrid2{0, 0, 16, 16, {255, 0, 0}};

struct GridPair {
  GridSettings one;
  GridSettings two;
};

// Blends grid one, then grid two, into 24-bit display rows (bottom row first,
// B G R, rows padded to a multiple of 4 bytes). Horizontal lines: the last row
// of each band of spacing rows from the top, the last band excepted, blended over
// the whole row; vertical lines: columns spacing, 2 spacing, ... below the padded
// width minus 1 (and inside the picture). Crossings are blended twice. Nothing
// outside the rows is touched; false when `rows` is too small.
bool DrawGrids(std::span<uint8_t> rows, int32_t width, int32_t height, const GridPair& grids);

// Picture rows first..last - 1, top row 0.
struct PictureRows {
  int64_t first;
  int64_t last;
};
// The same over the picture rows of `range` only: each pixel gets the same
// blends in the same order, so ranges can be drawn apart (and at once).
bool DrawGrids(std::span<uint8_t> rows, int32_t width, int32_t height, const GridPair& grids,
               PictureRows range);

}  // namespace vx
