#include "display/GridOverlay.h"

#include <algorithm>

namespace vx {
namespace {

uint8_t Blend(uint8_t picture, int colour, int t) {
  return static_cast<uint8_t>((t * picture + (100 - t) * colour + 50) / 100);
}

// A horizontal line: every byte of the row, padding included, takes the
// channel of its position.
void BlendWholeRow(uint8_t* row, int64_t pitch, const uint8_t (&table)[3][256]) {
  int64_t i = 0;
  for (; i + 3 <= pitch; i += 3) {
    row[i] = table[0][row[i]];
    row[i + 1] = table[1][row[i + 1]];
    row[i + 2] = table[2][row[i + 2]];
  }
  for (int c = 0; i < pitch; ++i, ++c) row[i] = table[c][row[i]];
}

void DrawGrid(uint8_t* rows, int64_t width, int64_t height, int64_t pitch, const GridSettings& grid,
              PictureRows range) {
  if (!grid.Enabled || grid.HorizontalSpacing < 1 || grid.VerticalSpacing < 1) return;
  const int t = std::clamp(grid.Transparency, 0, 100);
  const int bgr[3] = {std::clamp(grid.Color.Blue, 0, 255), std::clamp(grid.Color.Green, 0, 255),
                      std::clamp(grid.Color.Red, 0, 255)};
  uint8_t table[3][256];
  for (int c = 0; c < 3; ++c) {
    for (int p = 0; p < 256; ++p) table[c][p] = Blend(static_cast<uint8_t>(p), bgr[c], t);
  }
  const int64_t gy = grid.VerticalSpacing;
  const int64_t lines = (height + gy - 1) / gy - 1;
  // Lines at rows n * gy - 1 (n = 1..lines) that fall in the range.
  for (int64_t n = std::max<int64_t>(1, (range.first + gy) / gy); n <= lines; ++n) {
    const int64_t topRow = n * gy - 1;
    if (topRow >= range.last) break;
    BlendWholeRow(rows + (height - 1 - topRow) * pitch, pitch, table);
  }
  const int64_t gx = grid.HorizontalSpacing;
  const int64_t limit = std::min((width + 3) / 4 * 4 - 1, width);
  // Row by row, so each row is in the cache once for all its columns.
  for (int64_t y = range.first; y < range.last; ++y) {
    uint8_t* row = rows + (height - 1 - y) * pitch;
    for (int64_t column = gx; column < limit; column += gx) {
      uint8_t* pixel = row + 3 * column;
      for (int c = 0; c < 3; ++c) pixel[c] = table[c][pixel[c]];
    }
  }
}

}  // namespace

bool DrawGrids(std::span<uint8_t> rows, int32_t width, int32_t height, const GridPair& grids) {
  return DrawGrids(rows, width, height, grids, PictureRows{0, height});
}

bool DrawGrids(std::span<uint8_t> rows, int32_t width, int32_t height, const GridPair& grids,
               PictureRows range) {
  if (width < 1 || height < 1) return false;
  const int64_t pitch = (3 * int64_t{width} + 3) / 4 * 4;
  if (static_cast<int64_t>(rows.size()) < pitch * height) return false;
  range.first = std::clamp<int64_t>(range.first, 0, height);
  range.last = std::clamp<int64_t>(range.last, range.first, height);
  DrawGrid(rows.data(), width, height, pitch, grids.one, range);
  DrawGrid(rows.data(), width, height, pitch, grids.two, range);
  return true;
}

}  // namespace vx
