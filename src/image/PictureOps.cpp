// Scaling, component extraction, brightness, and the image helpers of the
// analysis windows. All work on packed 3-byte pixels.
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "image/KernelClones.h"
#include "image/LayoutGeometry.h"
#include "image/PixelOps.h"
#include "platform/HelperThread.h"
#include "platform/MessageSink.h"

namespace vx {
namespace {

bool IsPacked3Byte(const FrameImage& f) {
  return (f.SamplingFormat == YUV_444 || f.SamplingFormat == RGB_444 || f.SamplingFormat == BMP) &&
         f.PixelFormat == Packed && f.FieldFormat == Progressive;
}

// A packed progressive 3-byte picture whose pixels fit in its buffer.
bool PixelsFit(const FrameImage& f) {
  return f.Data != nullptr && f.ImgWidth >= 1 && f.ImgHeight >= 1 &&
         int64_t{f.ImgWidth} * f.ImgHeight * 3 <= f.Capacity;
}

void SetPackedHeader(FrameImage& out, const FrameImage& from, int32_t sampling, int32_t order) {
  out.SamplingFormat = sampling;
  out.ComponentOrder = order;
  out.FieldFormat = Progressive;
  out.PixelFormat = Packed;
  out.ImageResolution = from.ImageResolution;
  out.ImgWidth = from.ImgWidth;
  out.ImgHeight = from.ImgHeight;
  DeriveFourcc(out);
  out.DataSize = static_cast<int32_t>(int64_t{from.ImgWidth} * from.ImgHeight * 3);
}

// ---- bilinear scaling -----------------------------------------------------

// Source position and weights of one destination row or column.
struct Tap {
  int64_t index;  // r0 or c0
  double near;    // 1 - d
  double far;     // d
};

// Taps along one axis; false when a weight falls outside 0..1.
bool MakeTaps(int64_t sourceSize, int64_t targetSize, std::vector<Tap>& taps) {
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

bool ScaleChecks(FrameImage& s, FrameImage& d) {
  if (!(s.SamplingFormat == YUV_444 || s.SamplingFormat == RGB_444) || s.PixelFormat != Packed ||
      s.FieldFormat != Progressive) {
    return false;
  }
  if (s.ImgWidth < 2 || s.ImgHeight < 2 || d.ImgWidth < 2 || d.ImgHeight < 2) return false;
  if (s.ImgWidth == d.ImgWidth && s.ImgHeight == d.ImgHeight) return false;
  if (!PixelsFit(s) || !PixelsFit(d) || s.Data == d.Data) return false;
  if (int64_t{d.ImgWidth} * d.ImgHeight * 3 > std::numeric_limits<int32_t>::max()) return false;
  return true;
}

void SetScaledHeader(FrameImage& s, FrameImage& d) {
  d.PixelFormat = Packed;
  d.SamplingFormat = s.SamplingFormat;  // an RGB picture stays RGB
  d.ComponentOrder = s.ComponentOrder;
  d.FieldFormat = Progressive;
  DeriveResolution(d);
  DeriveFourcc(d);
  ComputeFrameSize(d);
  ComputeFrameSize(s);
}

// Horizontal pass of one source row: for each destination sample,
// (1 - ds) x left + ds x right, exactly as the per-pixel formula groups it.
VX_TARGET_CLONES void InterpolateRow(const uint8_t* left, const uint8_t* right, const double* nearWeight,
                                     const double* farWeight, int64_t count, double* out) {
  for (int64_t e = 0; e < count; ++e) {
    out[e] = nearWeight[e] * static_cast<double>(left[e]) + farWeight[e] * static_cast<double>(right[e]);
  }
}

VX_TARGET_CLONES void BlendRows(const double* upper, const double* lower, double nearWeight, double farWeight,
                                int64_t count, uint8_t* out) {
  for (int64_t e = 0; e < count; ++e) {
    const int value = static_cast<int>(nearWeight * upper[e] + farWeight * lower[e]);
    out[e] = static_cast<uint8_t>(value > 255 ? 255 : (value < 0 ? 0 : value));
  }
}

// Per-thread scratch of the fast scaler, kept between frames.
struct ScaleScratch {
  std::vector<Tap> rows, columns;
  std::vector<int64_t> pixelOffset;  // byte offset of the left source pixel, per destination pixel
  std::vector<double> nearWeight, farWeight;
  std::vector<uint8_t> left, right;
  std::vector<double> interpolated[2];
  int64_t cachedRow[2] = {-1, -1};
};

}  // namespace

bool ScaleBilinearReference(FrameImage& s, FrameImage& d) {
  if (!ScaleChecks(s, d)) return false;
  const int64_t w = s.ImgWidth, h = s.ImgHeight, W = d.ImgWidth, H = d.ImgHeight;
  std::vector<Tap> rows, columns;
  if (!MakeTaps(h, H, rows) || !MakeTaps(w, W, columns)) {
    ShowMessage("Error CONF1003: Error in interpolation for scaling !!! ");
    return false;
  }
  for (int64_t i = 0; i < H; ++i) {
    const Tap& r = rows[static_cast<size_t>(i)];
    const uint8_t* p0 = s.Data + r.index * 3 * w;
    const uint8_t* p1 = p0 + 3 * w;
    for (int64_t j = 0; j < W; ++j) {
      const Tap& c = columns[static_cast<size_t>(j)];
      for (int64_t k = 0; k < 3; ++k) {
        const int64_t a = c.index * 3 + k, b = a + 3;
        const double value =
            r.near * (c.near * p0[a] + c.far * p0[b]) + r.far * (c.near * p1[a] + c.far * p1[b]);
        d.Data[(i * W + j) * 3 + k] = ClampToByte(static_cast<int>(value));
      }
    }
  }
  SetScaledHeader(s, d);
  return true;
}

// Destination rows first..last - 1, with this thread's scratch.
static bool ScaleRows(const FrameImage& s, FrameImage& d, int64_t first, int64_t last) {
  const int64_t w = s.ImgWidth, h = s.ImgHeight, W = d.ImgWidth, H = d.ImgHeight;
  thread_local ScaleScratch x;
  if (!MakeTaps(h, H, x.rows) || !MakeTaps(w, W, x.columns)) {
    ShowMessage("Error CONF1003: Error in interpolation for scaling !!! ");
    return false;
  }
  const size_t count = static_cast<size_t>(3 * W);
  x.pixelOffset.resize(static_cast<size_t>(W));
  x.nearWeight.resize(count);
  x.farWeight.resize(count);
  x.left.resize(count + 1);  // one byte of slack for the 4-byte stores below
  x.right.resize(count + 1);
  for (auto& row : x.interpolated) row.resize(count);
  x.cachedRow[0] = x.cachedRow[1] = -1;
  for (int64_t j = 0; j < W; ++j) {
    const Tap& c = x.columns[static_cast<size_t>(j)];
    x.pixelOffset[static_cast<size_t>(j)] = c.index * 3;
    for (int64_t k = 0; k < 3; ++k) {
      const size_t e = static_cast<size_t>(3 * j + k);
      x.nearWeight[e] = c.near;
      x.farWeight[e] = c.far;
    }
  }
  // Horizontal pass of source row r into slot `slot`, unless it is there already.
  auto interpolate = [&](int64_t r, int slot) {
    if (x.cachedRow[slot] == r) return;
    if (x.cachedRow[1 - slot] == r) {
      std::swap(x.interpolated[0], x.interpolated[1]);
      std::swap(x.cachedRow[0], x.cachedRow[1]);
      if (x.cachedRow[slot] == r) return;
    }
    const uint8_t* row = s.Data + r * 3 * w;
    // Each destination pixel needs the 6 bytes of two neighbouring source pixels:
    // one 8-byte load where the row has room for it, bytes at the row's end.
    for (int64_t j = 0; j < W; ++j) {
      const int64_t offset = x.pixelOffset[static_cast<size_t>(j)];
      uint8_t* left = x.left.data() + 3 * j;
      uint8_t* right = x.right.data() + 3 * j;
      if (offset + 8 <= 3 * w) {
        uint64_t six;
        std::memcpy(&six, row + offset, 8);
        const uint32_t low = static_cast<uint32_t>(six), high = static_cast<uint32_t>(six >> 24);
        std::memcpy(left, &low, 4);
        std::memcpy(right, &high, 4);
      } else {
        for (int k = 0; k < 3; ++k) {
          left[k] = row[offset + k];
          right[k] = row[offset + 3 + k];
        }
      }
    }
    InterpolateRow(x.left.data(), x.right.data(), x.nearWeight.data(), x.farWeight.data(),
                   static_cast<int64_t>(count), x.interpolated[slot].data());
    x.cachedRow[slot] = r;
  };
  for (int64_t i = first; i < last; ++i) {
    const Tap& r = x.rows[static_cast<size_t>(i)];
    interpolate(r.index, 0);
    interpolate(r.index + 1, 1);
    BlendRows(x.interpolated[0].data(), x.interpolated[1].data(), r.near, r.far, static_cast<int64_t>(count),
              d.Data + i * 3 * W);
  }
  return true;
}

bool ScaleBilinear(FrameImage& s, FrameImage& d) {
  if (!ScaleChecks(s, d)) return false;
  const int64_t H = d.ImgHeight;
  // Each output row depends on its taps alone: the two halves are scaled at once,
  // one on the helper thread, with the same bytes.
  bool upper = true, lower = true;
  if (H >= 64 && int64_t{d.ImgWidth} * H >= (int64_t{1} << 16)) {
    RunAlongside([&] { upper = ScaleRows(s, d, 0, H / 2); }, [&] { lower = ScaleRows(s, d, H / 2, H); });
  } else {
    upper = ScaleRows(s, d, 0, H);
  }
  if (!upper || !lower) return false;
  SetScaledHeader(s, d);
  return true;
}

bool ExtractComponent(const FrameImage& s, FrameImage& d, int selector) {
  if (selector < 0 || selector > 3) return false;
  if (!(s.SamplingFormat == YUV_444 || s.SamplingFormat == RGB_444) || s.PixelFormat != Packed ||
      s.FieldFormat != Progressive || !PixelsFit(s) || !PixelsFit(d) ||
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
  if (!IsPacked3Byte(image) || !PixelsFit(image)) return false;
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
  return PixelsFit(a) && PixelsFit(b) && a.ImgWidth == b.ImgWidth && a.ImgHeight == b.ImgHeight;
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
  if (!PixelsFit(image)) return false;
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
  if (!PixelsFit(image)) return false;
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
