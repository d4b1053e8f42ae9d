#pragma once

// Where a bilinear scaler samples: for each destination row (or column), the
// source row below it and the weights of that row and the next. Shared by the
// scalers of 8-bit pictures and of deeper samples, so that both weigh alike.

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vx {

// Source position and weights of one destination row or column.
struct Tap {
  int64_t index;  // r0 or c0
  double near;    // 1 - d
  double far;     // d
};

// Taps along one axis; false when a weight falls outside 0..1.
inline bool MakeTaps(int64_t sourceSize, int64_t targetSize, std::vector<Tap>& taps) {
  const double factor = static_cast<double>(sourceSize - 1) / static_cast<double>(targetSize - 1);
  taps.resize(static_cast<size_t>(targetSize));
  for (int64_t i = 0; i < targetSize; ++i) {
    double t = std::min(static_cast<double>(i) * factor, static_cast<double>(sourceSize - 1));
    if (t < 0) t = 0;
    int64_t index = static_cast<int64_t>(t);
    if (index + 1 >= sourceSize) index = sourceSize - 2;
    const double d = t - static_cast<double>(index);
    if (d < 0 || 1 - d < 0) return false;
    taps[static_cast<size_t>(i)] = {index, 1 - d, d};
  }
  return true;
}

}  // namespace vx
