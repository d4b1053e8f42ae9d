// Component extraction, brightness, and the image helpers of the analysis
// windows. All work on packed 3-byte pixels.
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "image/LayoutGeometry.h"
#include "image/PixelOps.h"
#include "platform/MessageSink.h"

namespace vx {
namespace {

bool IsPacked3Byte(const FrameImage& f) {
  return (f.SamplingFormat == YUV_444 || f.SamplingFormat == RGB_444 || f.SamplingFormat == BMP) &&
         f.PixelFormat == Packed && f.FieldFormat == Progressive;
}

}  // namespace

bool ExtractComponent(const FrameImage& s, FrameImage& d, int selector) {
  if (selector < 0 || selector > 3) return false;
  if (!(s.SamplingFormat == YUV_444 || s.SamplingFormat == RGB_444) || s.PixelFormat != Packed ||
      s.FieldFormat != Progressive || !geometry::PackedPixelsFit(s) || !geometry::PackedPixelsFit(d) ||
      int64_t{s.ImgWidth} * s.ImgHeight * 3 > d.Capacity) {
    return false;
  }
  const bool rgb = s.SamplingFormat == RGB_444;
  SetPackedHeader(d, s, rgb ? RGB_444 : YUV_444, rgb ? RGB : YUV);
  const int64_t n = int64_t{s.ImgWidth} * s.ImgHeight;
  const uint8_t* in = s.Data;
  uint8_t* out = d.Data;
  const uint8_t fill = rgb ? 0 : 128;
  for (int64_t i = 0; i < n; ++i) {
    const uint8_t* p = in + 3 * i;
    uint8_t* o = out + 3 * i;
    const uint8_t picked = selector == 3 ? ClampToByte(p[0] + p[1] + p[2]) : p[selector];
    if (rgb && selector < 3) {
      o[0] = o[1] = o[2] = 0;
      o[selector] = picked;
    } else if (rgb) {
      o[0] = o[1] = o[2] = picked;
    } else {
      o[0] = picked;
      o[1] = o[2] = fill;
    }
  }
  return true;
}

bool AdjustBrightness(FrameImage& image, int level, int selector) {
  if (level < 0 || level > 100 || selector < 0 || selector > 3) return false;
  if (!IsPacked3Byte(image) || !geometry::PackedPixelsFit(image)) return false;
  const float factor = 101.0f / static_cast<float>(101 - level);
  uint8_t table[256];
  for (int v = 0; v < 256; ++v) table[v] = ClampToByte(static_cast<double>(factor * static_cast<float>(v)));
  const int64_t n = int64_t{image.ImgWidth} * image.ImgHeight;
  uint8_t* data = image.Data;
  if (selector == 3) {
    for (int64_t i = 0; i < 3 * n; ++i) data[i] = table[data[i]];
  } else {
    for (int64_t i = 0; i < n; ++i) data[3 * i + selector] = table[data[3 * i + selector]];
  }
  return true;
}

// ---- analysis helpers -----------------------------------------------------

namespace {

bool MaskCovers(const BlockMask& mask, const FrameImage& f) {
  const int64_t blocks = int64_t{(f.ImgWidth + 7) / 8} * ((f.ImgHeight + 7) / 8);
  return mask.empty() || static_cast<int64_t>(mask.size()) >= blocks;
}

bool MarkedBlock(const BlockMask& mask, int64_t width, int64_t x, int64_t y) {
  return !mask.empty() && mask[static_cast<size_t>((y / 8) * ((width + 7) / 8) + x / 8)] == 0;
}

uint8_t Tint(uint8_t value, uint8_t colour) {
  return static_cast<uint8_t>((value >> 1) + ((255 - colour) >> 1));
}

bool SameSizedPixels(const FrameImage& a, const FrameImage& b) {
  return geometry::PackedPixelsFit(a) && geometry::PackedPixelsFit(b) && a.ImgWidth == b.ImgWidth &&
         a.ImgHeight == b.ImgHeight;
}

}  // namespace

bool DifferenceMap(const FrameImage& difference, FrameImage& output, int mode, int low, int high,
                   const FrameImage& imageA, const FrameImage& imageB, const std::array<uint8_t, 3>& colour,
                   int selector, const BlockMask& mask) {
  if (mode < 0 || mode > 2 || selector < 0 || selector > 3) return false;
  if (!SameSizedPixels(difference, output) || !SameSizedPixels(difference, imageA) ||
      !SameSizedPixels(difference, imageB) || !MaskCovers(mask, difference)) {
    return false;
  }
  SetPackedHeader(output, difference, YUV_444, YUV);
  const int64_t w = difference.ImgWidth, h = difference.ImgHeight;
  const bool yuv = difference.SamplingFormat == YUV_444;
  for (int64_t y = 0; y < h; ++y) {
    for (int64_t x = 0; x < w; ++x) {
      const int64_t i = 3 * (y * w + x);
      const uint8_t* p = difference.Data + i;
      const int value = yuv ? p[0] : (selector == 3 ? p[0] + p[1] + p[2] : p[selector]);
      uint8_t* o = output.Data + i;
      if (value < low || value > high) {
        if (mode == 0) {
          o[0] = 0;
          o[1] = o[2] = 128;
        } else {
          std::memcpy(o, (mode == 1 ? imageA : imageB).Data + i, 3);
        }
      } else {
        std::memcpy(o, colour.data(), 3);
      }
      if (MarkedBlock(mask, w, x, y)) {
        for (int k = 0; k < 3; ++k) o[k] = Tint(o[k], colour[static_cast<size_t>(k)]);
      }
    }
  }
  return true;
}

bool MaskedHighlight(const FrameImage& source, FrameImage& output, const std::array<uint8_t, 3>& colour,
                     const BlockMask& mask, int selector) {
  if (selector < 0 || selector > 3 || !SameSizedPixels(source, output) || !MaskCovers(mask, source))
    return false;
  SetPackedHeader(output, source, RGB_444, RGB);
  if (mask.empty()) return false;  // nothing to highlight: nothing is written
  const int64_t w = source.ImgWidth, h = source.ImgHeight;
  for (int64_t y = 0; y < h; ++y) {
    for (int64_t x = 0; x < w; ++x) {
      const int64_t i = 3 * (y * w + x);
      const uint8_t* p = source.Data + i;
      uint8_t* o = output.Data + i;
      if (selector == 3) {
        std::memcpy(o, p, 3);
      } else {
        o[0] = p[selector];
        o[1] = o[2] = 128;
      }
      if (MarkedBlock(mask, w, x, y)) {
        if (selector == 3) {
          for (int k = 0; k < 3; ++k) o[k] = Tint(o[k], colour[static_cast<size_t>(k)]);
        } else {
          o[0] = Tint(p[0], colour[0]);
        }
      }
    }
  }
  return true;
}

bool LumaHistogram(const FrameImage& image, std::array<int, 256>& counts, int& minimum, int& maximum) {
  if (!geometry::PackedPixelsFit(image)) return false;
  counts.fill(0);
  minimum = 255;
  maximum = 0;
  const int64_t n = int64_t{image.ImgWidth} * image.ImgHeight;
  for (int64_t i = 0; i < n; ++i) ++counts[image.Data[3 * i]];
  for (int v = 0; v < 256; ++v) {
    if (counts[static_cast<size_t>(v)] == 0) continue;
    minimum = std::min(minimum, v);
    maximum = std::max(maximum, v);
  }
  return true;
}

bool BlockSums(const FrameImage& image, int mode, BlockGrid& grid, int& minimum, int& maximum, int period) {
  for (auto& row : grid) row.fill(0);
  minimum = 255;
  maximum = 0;
  if (mode != 0 && mode != 1) return false;
  // The grid has 32 x 32 cells: a longer period has nowhere to go.
  if (mode == 1 && (period < 1 || period > 32)) return false;
  if (!geometry::PackedPixelsFit(image)) return false;
  const int64_t w = image.ImgWidth, h = image.ImgHeight;
  const int64_t cell = std::max((w + 31) / 32, (h + 31) / 32);
  std::array<std::array<int64_t, 32>, 32> sums{};
  for (int64_t y = 0; y < h; ++y) {
    const uint8_t* row = image.Data + 3 * y * w;
    const int64_t gy = mode == 1 ? y % period : y / cell;
    for (int64_t x = 0; x < w; ++x) {
      const int64_t gx = mode == 1 ? x % period : x / cell;
      sums[static_cast<size_t>(gy)][static_cast<size_t>(gx)] += row[3 * x];
    }
  }
  int64_t smallest = std::numeric_limits<int64_t>::max(), largest = 0;
  for (size_t gy = 0; gy < 32; ++gy) {
    for (size_t gx = 0; gx < 32; ++gx) {
      const int64_t total = sums[gy][gx];
      grid[gy][gx] = static_cast<int>(std::min<int64_t>(total, std::numeric_limits<int>::max()));
      largest = std::max(largest, total);
      smallest = std::min(smallest, total);
    }
  }
  maximum = static_cast<int>(std::min<int64_t>(largest, std::numeric_limits<int>::max()));
  if (smallest < 255) minimum = static_cast<int>(smallest);
  return true;
}

}  // namespace vx
