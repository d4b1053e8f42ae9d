#include "analysis/Histograms.h"

#include <algorithm>
#include <cmath>

namespace vx {

std::array<int, 256> ValueBars(const FrameImage& difference) {
  std::array<int, 256> counts{}, bars{};
  int minimum = 0, maximum = 0;
  if (!LumaHistogram(difference, counts, minimum, maximum)) return bars;
  const int largest = *std::max_element(counts.begin(), counts.end());
  if (largest == 0) return bars;
  for (size_t v = 0; v < 256; ++v) bars[v] = static_cast<int>(counts[v] * double{kHistogramTop} / largest);
  return bars;
}

bool MakeCellBars(const FrameImage& difference, int mode, int blockSize, int barHeight, CellBars& out) {
  out = CellBars{};
  if (!BlockSums(difference, mode, out.sums, out.minimum, out.maximum, blockSize)) return false;
  const int w = difference.ImgWidth, h = difference.ImgHeight;
  out.cellSize = std::max((w + 31) / 32, (h + 31) / 32);
  if (mode == 0) {
    out.columns = (w + out.cellSize - 1) / out.cellSize;
    out.rows = (h + out.cellSize - 1) / out.cellSize;
  } else {
    out.columns = out.rows = blockSize;
  }
  if (out.maximum <= 0) return true;
  for (size_t r = 0; r < 32; ++r) {
    for (size_t c = 0; c < 32; ++c)
      out.bars[r][c] = static_cast<int>(int64_t{out.sums[r][c]} * barHeight / out.maximum);
  }
  return true;
}

bool ChartView::RaiseTilt() {
  if (tilt > 85) return false;
  tilt += 5;
  originY += 15;
  return true;
}
bool ChartView::LowerTilt() {
  if (tilt <= 4) return false;
  tilt -= 5;
  originY -= 15;
  return true;
}
bool ChartView::RaiseTurn() {
  if (turn > 85) return false;
  turn += 5;
  return true;
}
bool ChartView::LowerTurn() {
  if (turn <= 4) return false;
  turn -= 5;
  return true;
}

Projected Project(const ChartView& view, double x, double y, double z) {
  constexpr double kPi = 3.141592;
  const double turn = view.turn * kPi / 180, tilt = view.tilt * kPi / 180;
  // Turned about the plane's centre, then tilted towards the viewer: tilt 0 looks
  // straight down, 90 from the side.
  const double px = x - 160, py = y - 160;
  const double x1 = px * std::cos(turn) - py * std::sin(turn);
  const double y1 = px * std::sin(turn) + py * std::cos(turn);
  const double y2 = y1 * std::cos(tilt) - z * std::sin(tilt);
  const double depth = y1 * std::sin(tilt) + z * std::cos(tilt);
  return {view.originX + x1, view.originY + y2, depth};
}

}  // namespace vx
