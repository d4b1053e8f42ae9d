#include "display/DisplayConvert.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "image/KernelPaths.h"
#include "image/PixelOps.h"
#include "image/RowLocator.h"
#include "platform/HelperThread.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"

namespace vx {
namespace {

struct FixedPoint {
  int32_t rv, gu, gv, bu;
};

FixedPoint FixedPointOf(int32_t formula) {
  return formula == kItu601 ? FixedPoint{409, 100, 208, 516} : FixedPoint{459, 55, 137, 541};
}

// One pixel through the integer formula; the same arithmetic as the lookup
// tables (each table entry is the product it stands for), so the bytes are
// identical. Written as (first, G, third): B G R or R G B.
template <bool kBlueFirst>
[[gnu::always_inline]] inline void FixedPointPixel(int32_t yByte, int32_t uByte, int32_t vByte, FixedPoint f,
                                                   uint8_t* out) {
  const int32_t y = 298 * (yByte - 16);
  const int32_t u = uByte - 128;
  const int32_t v = vByte - 128;
  const int32_t r = std::clamp((y + f.rv * v + 128) >> 8, 0, 255);
  const int32_t g = std::clamp((y - f.gv * v - f.gu * u + 128) >> 8, 0, 255);
  const int32_t b = std::clamp((y + f.bu * u + 128) >> 8, 0, 255);
  out[0] = static_cast<uint8_t>(kBlueFirst ? b : r);
  out[1] = static_cast<uint8_t>(g);
  out[2] = static_cast<uint8_t>(kBlueFirst ? r : b);
}

// One row of packed Y U V through the integer formula.
template <bool kBlueFirst>
[[gnu::always_inline]] inline void FixedPointRow(const uint8_t* in, uint8_t* out, int64_t n, FixedPoint f) {
  for (int64_t i = 0; i < n; ++i)
    FixedPointPixel<kBlueFirst>(in[3 * i], in[3 * i + 1], in[3 * i + 2], f, out + 3 * i);
}

// Each chroma sample of a 4:2:x row repeated for both pixels of its pair.
[[gnu::always_inline]] inline void WidenChroma(const uint8_t* in, int64_t pairs, uint8_t* out) {
  for (int64_t k = 0; k < pairs; ++k) {
    out[2 * k] = in[k];
    out[2 * k + 1] = in[k];
  }
}

// One row of three full-width planes through the integer formula.
template <bool kBlueFirst>
[[gnu::always_inline]] inline void PlanesRow(const uint8_t* yRow, const uint8_t* uRow, const uint8_t* vRow,
                                             uint8_t* out, int64_t n, FixedPoint f) {
  for (int64_t i = 0; i < n; ++i) FixedPointPixel<kBlueFirst>(yRow[i], uRow[i], vRow[i], f, out + 3 * i);
}

void MatrixRow(const ColourTables& t, const uint8_t* in, uint8_t* out, int64_t n, bool blueFirst) {
  for (int64_t i = 0; i < n; ++i) {
    const Rgb8 rgb = YuvToRgbPixel(t, in[3 * i], in[3 * i + 1], in[3 * i + 2]);
    out[3 * i] = blueFirst ? rgb.b : rgb.r;
    out[3 * i + 1] = rgb.g;
    out[3 * i + 2] = blueFirst ? rgb.r : rgb.b;
  }
}

// Brightness boost as a byte table (identity for components not boosted).
bool BoostTables(int brightness, int selector, uint8_t (&tables)[3][256]) {
  const int p = std::clamp(brightness, 0, 100);
  const float factor = 101.0f / static_cast<float>(101 - p);
  bool any = false;
  for (int c = 0; c < 3; ++c) {
    const bool boosted = p > 0 && (selector == c || selector == kBoostAll);
    any = any || boosted;
    for (int v = 0; v < 256; ++v) {
      tables[c][v] = boosted ? ClampToByte(static_cast<double>(factor * static_cast<float>(v)))
                             : static_cast<uint8_t>(v);
    }
  }
  return any;
}

}  // namespace

int64_t DisplayRowPitch(int64_t width, bool padRows) {
  return padRows ? (3 * width + 3) / 4 * 4 : 3 * width;
}

bool ConvertToDisplayRGB(const ColourTables& tables, std::span<const uint8_t> yuv, std::span<uint8_t> out,
                         int32_t width, int32_t height, const DisplayRowsOptions& options) {
  const auto [bottomUp, brightness, selector, swapRedBlue, padRows] = options;
  if (width < 1 || height < 1) return false;
  const int64_t w = width, h = height;
  const int64_t pitch = DisplayRowPitch(w, padRows);
  if (static_cast<int64_t>(yuv.size()) < 3 * w * h || static_cast<int64_t>(out.size()) < pitch * h)
    return false;
  uint8_t boost[3][256];
  const bool boosting = BoostTables(brightness, selector, boost);
  thread_local std::vector<uint8_t> boostedRow;
  if (boosting) boostedRow.resize(static_cast<size_t>(3 * w));
  const bool blueFirst = bottomUp || swapRedBlue;
  const bool fixedPoint = tables.formula == kItu601 || tables.formula == kItu709;
  const FixedPoint f = FixedPointOf(tables.formula);
  const auto fixedPointRow = PickKernel<FixedPointRow<true>, FixedPointRow<false>>(blueFirst);
  for (int64_t r = 0; r < h; ++r) {
    const uint8_t* in = yuv.data() + r * 3 * w;
    if (boosting) {
      for (int64_t i = 0; i < 3 * w; ++i) boostedRow[static_cast<size_t>(i)] = boost[i % 3][in[i]];
      in = boostedRow.data();
    }
    uint8_t* row = out.data() + (bottomUp ? h - 1 - r : r) * pitch;
    if (!fixedPoint)
      MatrixRow(tables, in, row, w, blueFirst);
    else
      fixedPointRow(in, row, w, f);
    std::memset(row + 3 * w, 0, static_cast<size_t>(pitch - 3 * w));
  }
  return true;
}

bool FrameToDisplayRGB(const ColourTables& tables, const FrameImage& frame, FrameImage& canonical,
                       std::span<uint8_t> out, const DisplayRowsOptions& options) {
  const auto [bottomUp, brightness, selector, swapRedBlue, padRows] = options;
  const int64_t w = frame.ImgWidth, h = frame.ImgHeight;
  const bool fixedPoint = tables.formula == kItu601 || tables.formula == kItu709;
  const bool boosting = std::clamp(brightness, 0, 100) > 0 && selector >= kBoostY && selector <= kBoostAll;
  const bool fused = IsValidYuvLayout(frame) && frame.PixelFormat == Planar &&
                     frame.SamplingFormat != YUV_444 && fixedPoint && !boosting;
  if (!fused) {
    FrameImage source = frame;
    if (!ToCanonical444(source, canonical)) return false;
    return ConvertToDisplayRGB(
        tables, std::span<const uint8_t>(canonical.Data, static_cast<size_t>(canonical.DataSize)), out,
        frame.ImgWidth, frame.ImgHeight, options);
  }
  const int64_t pitch = DisplayRowPitch(w, padRows);
  if (static_cast<int64_t>(out.size()) < pitch * h) return false;
  const FixedPoint f = FixedPointOf(tables.formula);
  const bool blueFirst = bottomUp || swapRedBlue;
  const auto widen = KernelPaths<WidenChroma>::Pick();
  const auto planesRow = PickKernel<PlanesRow<true>, PlanesRow<false>>(blueFirst);
  const YuvRowLocator rows(frame);
  thread_local std::vector<uint8_t> wideU, wideV;
  wideU.resize(static_cast<size_t>(w));
  wideV.resize(static_cast<size_t>(w));
  const uint8_t* widenedFrom = nullptr;
  for (int64_t r = 0; r < h; ++r) {
    const PlanarRow p = rows.Planar(r);
    if (p.u != widenedFrom) {  // 4:2:0 rows share their chroma with the row below
      widen(p.u, w / 2, wideU.data());
      widen(p.v, w / 2, wideV.data());
      widenedFrom = p.u;
    }
    uint8_t* row = out.data() + (bottomUp ? h - 1 - r : r) * pitch;
    planesRow(p.y, wideU.data(), wideV.data(), row, w, f);
    std::memset(row + 3 * w, 0, static_cast<size_t>(pitch - 3 * w));
  }
  return true;
}

bool CheckDisplaySize(int32_t width, int32_t height) {
  if (width < 0 || height < 0) {
    ShowMessage(
        StrFormat("Error DISP1001:  Image resolution can not be negative (%d, %d)!\n", width, height));
    return false;
  }
  if (width > 8192 || height > 5120) {
    ShowMessage(StrFormat("Error DISP1002:  Image resolution (%d, %d) exceeds limit (8192, 5120) !\n", width,
                          height));
    return false;
  }
  return true;
}

std::span<uint8_t> DisplayConversionBuffer::Ensure(int32_t width, int32_t height) {
  const int64_t needed = int64_t{std::max(width, 0)} * std::max(height, 0) * 4;
  if (needed != size()) {
    try {
      bytes_.assign(static_cast<size_t>(needed), 0);
      bytes_.shrink_to_fit();
    } catch (const std::bad_alloc&) {
      Release();
    }
  }
  return bytes_;
}

void DisplayConversionBuffer::Release() {
  std::vector<uint8_t>().swap(bytes_);
}

DisplayConversionBuffer& SharedDisplayBuffer() {
  static DisplayConversionBuffer buffer;
  return buffer;
}

std::optional<std::span<const uint8_t>> PrepareDisplayRows(const ColourTables& tables,
                                                           std::span<const uint8_t> data, int32_t width,
                                                           int32_t height, const DrawOptions& options) {
  const auto [yuvData, brightness, selector, grids] = options;
  if (!CheckDisplaySize(width, height)) return std::nullopt;
  if (width == 0 || height == 0) return std::span<const uint8_t>();
  std::span<uint8_t> rows;
  if (yuvData) {
    rows = SharedDisplayBuffer().Ensure(width, height);
    if (rows.empty()) return std::nullopt;
    if (!ConvertToDisplayRGB(
            tables, data, rows, width, height,
            DisplayRowsOptions{
                .bottomUp = true, .brightness = brightness, .selector = selector, .padRows = true}))
      return std::nullopt;
  } else {
    // Rows the caller converted: drawn as they are, grids blended into a copy in the shared buffer.
    const int64_t bytes = DisplayRowPitch(width, true) * height;
    if (static_cast<int64_t>(data.size()) < bytes) return std::nullopt;
    if (!grids) return data.first(static_cast<size_t>(bytes));
    rows = SharedDisplayBuffer().Ensure(width, height);
    if (rows.empty()) return std::nullopt;
    std::memcpy(rows.data(), data.data(), static_cast<size_t>(bytes));
  }
  rows = rows.first(static_cast<size_t>(DisplayRowPitch(width, true) * height));
  if (grids) DrawGrids(rows, width, height, *grids);
  return std::span<const uint8_t>(rows);
}

bool PrepareDisplayRowsInto(const ColourTables& tables, std::span<const uint8_t> data, int32_t width,
                            int32_t height, const DrawOptions& options, std::vector<uint8_t>& rows) {
  const auto [yuvData, brightness, selector, grids] = options;
  if (!CheckDisplaySize(width, height)) return false;
  const int64_t bytes = DisplayRowPitch(width, true) * height;
  try {
    rows.resize(static_cast<size_t>(bytes));
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (bytes == 0) return true;
  if (yuvData) {
    const DisplayRowsOptions rowOptions{
        .bottomUp = true, .brightness = brightness, .selector = selector, .padRows = true};
    const int64_t pitch = DisplayRowPitch(width, true), upper = height / 2;
    const auto rowBytes = static_cast<size_t>(3 * int64_t{width});
    if (int64_t{width} * height < (int64_t{1} << 18) ||
        data.size() < rowBytes * static_cast<size_t>(height)) {
      if (!ConvertToDisplayRGB(tables, data, rows, width, height, rowOptions)) return false;
    } else {
      // Large pictures in two halves at once, one on the helper thread. Bottom-up,
      // the picture's upper rows are the buffer's last ones.
      const std::span<uint8_t> out(rows);
      const auto lowerBytes = static_cast<size_t>((height - upper) * pitch);
      // Each half blends the grids into its own rows as well.
      const GridPair* gridPair = grids;  // a structured binding cannot be captured
      bool first = false, second = false;
      RunAlongside(
          [&] {
            first = ConvertToDisplayRGB(tables, data.first(rowBytes * static_cast<size_t>(upper)),
                                        out.subspan(lowerBytes), width, static_cast<int32_t>(upper),
                                        rowOptions) &&
                    (!gridPair || DrawGrids(out, width, height, *gridPair, PictureRows{0, upper}));
          },
          [&] {
            second = ConvertToDisplayRGB(tables, data.subspan(rowBytes * static_cast<size_t>(upper)),
                                         out.first(lowerBytes), width, static_cast<int32_t>(height - upper),
                                         rowOptions) &&
                     (!gridPair || DrawGrids(out, width, height, *gridPair, PictureRows{upper, height}));
          });
      return first && second;
    }
  } else {
    if (static_cast<int64_t>(data.size()) < bytes) return false;
    std::memcpy(rows.data(), data.data(), static_cast<size_t>(bytes));
  }
  if (grids) DrawGrids(rows, width, height, *grids);
  return true;
}

CopyWindow DisplayWindow(int32_t imageWidth, int32_t imageHeight, int32_t visibleWidth, int32_t visibleHeight,
                         int32_t horizontalOffset, int32_t verticalOffset) {
  CopyWindow window;
  if (imageWidth <= visibleWidth && imageHeight <= visibleHeight && horizontalOffset == 0 &&
      verticalOffset == 0) {
    window.width = imageWidth;
    window.height = imageHeight;
    return window;
  }
  const int64_t x0 = std::max<int64_t>(horizontalOffset, 0);
  const int64_t y0 = std::max<int64_t>(verticalOffset, 0);
  const int64_t x1 = std::min<int64_t>(int64_t{horizontalOffset} + visibleWidth, imageWidth);
  const int64_t y1 = std::min<int64_t>(int64_t{verticalOffset} + visibleHeight, imageHeight);
  if (x1 <= x0 || y1 <= y0) return window;
  window.sourceX = static_cast<int32_t>(x0);
  window.sourceY = static_cast<int32_t>(y0);
  window.width = static_cast<int32_t>(x1 - x0);
  window.height = static_cast<int32_t>(y1 - y0);
  window.destinationX = static_cast<int32_t>(x0 - horizontalOffset);
  window.destinationY = static_cast<int32_t>(y0 - verticalOffset);
  return window;
}

}  // namespace vx
