#pragma once

#include <cstdint>

namespace vx {

// A colour the user picks (grids, padding, colour keys), 0..255 per component.
struct RgbColor {
  int32_t Red = 0;
  int32_t Green = 0;
  int32_t Blue = 0;
  bool operator==(const RgbColor&) const = default;
};

}  // namespace vx
