#pragma once

// The difference histograms' arithmetic: the value histogram's bars, the cell
// sums of the position distribution and their bars, and the 3-D chart's view.

#include <array>
#include <cstdint>

#include "image/FrameImage.h"
#include "image/PixelOps.h"

namespace vx {

inline constexpr int kHistogramTop = 200;  // the tallest bar

// Bar v = count[v] x 200 / the largest count (truncated); all 0 for an empty picture.
std::array<int, 256> ValueBars(const FrameImage& difference);

// The position distribution: mode 0 the whole picture in cells, mode 1 folded onto
// a block of `blockSize`; bars scaled to `barHeight` (0..200) of the largest sum.
struct CellBars {
  BlockGrid sums{};
  BlockGrid bars{};
  int minimum = 255, maximum = 0;
  int cellSize = 1;  // mode 0: pixels per cell side
  int columns = 32;  // cells in use across
  int rows = 32;     // and down
};
bool MakeCellBars(const FrameImage& difference, int mode, int blockSize, int barHeight, CellBars& out);

// The chart's view: tilt and turn in degrees and the projection origin.
struct ChartView {
  int tilt = 75;
  int turn = 45;
  int originX = 400, originY = 280;

  // The rotation buttons: tilt up to 90 (the origin moves 15 down), down to 0
  // (15 up); turn up to 90, down to 0. False when the button does nothing.
  bool RaiseTilt();
  bool LowerTilt();
  bool RaiseTurn();
  bool LowerTurn();
};

// A point of the chart (x across, y along the base plane, z up; the base is 320 x
// 320 units with its corner at 0) on the screen, with its depth (larger = nearer).
struct Projected {
  double x = 0, y = 0, depth = 0;
};
Projected Project(const ChartView& view, double x, double y, double z);

}  // namespace vx
