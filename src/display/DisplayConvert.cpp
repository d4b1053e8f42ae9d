#include "display/DisplayConvert.h"

#include <algorithm>
#include <cstring>
#include <new>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "image/KernelPaths.h"
#include "image/PixelOps.h"
#include "image/RowLocator.h"
#include "platform/CpuFlags.h"
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

#if defined(__x86_64__)
// The integer formula 32 pixels at a time, by hand: a compiler given the scalar loop
// spends most of its time taking the three-byte groups apart and putting them back
// together. Each 128-bit lane holds 16 pixels, so every byte shuffle stays inside
// its lane (no cross-lane permutes, which are slow on some cores). The sums are
// the scalar ones exactly: 32-bit products of 16-bit terms (vpmaddwd), the same
// rounding and shift, and clamping by saturating packs.
namespace simd {

struct ShuffleMasks {
  // take[c][s]: component c's 16 bytes from source vector s of three (0x80: none);
  // give[c][o]: output vector o's bytes from component c's 16.
  alignas(32) uint8_t take[3][3][32];
  alignas(32) uint8_t give[3][3][32];
};

constexpr ShuffleMasks MakeShuffleMasks() {
  ShuffleMasks m{};
  for (int c = 0; c < 3; ++c) {
    for (int v = 0; v < 3; ++v) {
      for (int k = 0; k < 32; ++k) {
        const int j = k % 16;  // the same in both lanes
        const int from = 3 * j + c;
        m.take[c][v][k] = from / 16 == v ? static_cast<uint8_t>(from % 16) : 0x80;
        const int to = 16 * v + j;
        m.give[c][v][k] = to % 3 == c ? static_cast<uint8_t>(to / 3) : 0x80;
      }
    }
  }
  return m;
}

constexpr ShuffleMasks kMasks = MakeShuffleMasks();

__attribute__((target("avx2"))) inline __m256i Mask(const uint8_t (&bytes)[32]) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes));
}

__attribute__((target("avx2"))) inline __m256i Load(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Bytes `half` (0: the low 8 of each lane, 1: the high 8) as 16-bit values less `offset`.
__attribute__((target("avx2"))) inline __m256i Widen(__m256i bytes, int half, __m256i offset) {
  const __m256i zero = _mm256_setzero_si256();
  return _mm256_sub_epi16(half ? _mm256_unpackhi_epi8(bytes, zero) : _mm256_unpacklo_epi8(bytes, zero),
                          offset);
}

// Two 16-byte pieces, `second` 48 bytes after `first`, as the two lanes of one vector.
__attribute__((target("avx2"))) inline __m256i LoadLanes(const uint8_t* first) {
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(first))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 48)), 1);
}

// One component's 32 bytes out of 96 bytes of three-byte groups.
__attribute__((target("avx2"))) inline __m256i Component(const __m256i (&in)[3], int c) {
  return _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(in[0], Mask(kMasks.take[c][0])),
                                         _mm256_shuffle_epi8(in[1], Mask(kMasks.take[c][1]))),
                         _mm256_shuffle_epi8(in[2], Mask(kMasks.take[c][2])));
}

struct Weights {
  __m256i yRound, r, g, b;  // pairs (y, 1) . (298, 128); pairs (u, v) . (., .)
};

__attribute__((target("avx2"))) inline __m256i Pair(int16_t low, int16_t high) {
  return _mm256_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint16_t>(high)) << 16) |
                                                static_cast<uint16_t>(low)));
}

__attribute__((target("avx2"))) inline Weights WeightsOf(FixedPoint f) {
  return {.yRound = Pair(298, 128),
          .r = Pair(0, static_cast<int16_t>(f.rv)),
          .g = Pair(static_cast<int16_t>(-f.gu), static_cast<int16_t>(-f.gv)),
          .b = Pair(static_cast<int16_t>(f.bu), 0)};
}

// Four pixels' (y - 16, 1) and (u - 128, v - 128) pairs to three 32-bit sums, shifted.
__attribute__((target("avx2"))) inline void Sums(__m256i y1, __m256i uv, const Weights& w, __m256i& r,
                                                 __m256i& g, __m256i& b) {
  const __m256i base = _mm256_madd_epi16(y1, w.yRound);
  r = _mm256_srai_epi32(_mm256_add_epi32(base, _mm256_madd_epi16(uv, w.r)), 8);
  g = _mm256_srai_epi32(_mm256_add_epi32(base, _mm256_madd_epi16(uv, w.g)), 8);
  b = _mm256_srai_epi32(_mm256_add_epi32(base, _mm256_madd_epi16(uv, w.b)), 8);
}

// Eight pixels' 16-bit terms to 16-bit R, G and B (not yet clamped).
__attribute__((target("avx2"))) inline void EightPixels(__m256i y, __m256i u, __m256i v, const Weights& w,
                                                        __m256i& r, __m256i& g, __m256i& b) {
  const __m256i one = _mm256_set1_epi16(1);
  __m256i r0, g0, b0, r1, g1, b1;
  Sums(_mm256_unpacklo_epi16(y, one), _mm256_unpacklo_epi16(u, v), w, r0, g0, b0);
  Sums(_mm256_unpackhi_epi16(y, one), _mm256_unpackhi_epi16(u, v), w, r1, g1, b1);
  r = _mm256_packs_epi32(r0, r1);
  g = _mm256_packs_epi32(g0, g1);
  b = _mm256_packs_epi32(b0, b1);
}

// 32 pixels of Y, U and V bytes (16 to a lane) to 96 bytes of three-byte groups.
template <bool kBlueFirst>
__attribute__((target("avx2"))) inline void StorePixels(__m256i y, __m256i u, __m256i v, const Weights& w,
                                                        uint8_t* out) {
  const __m256i yOffset = _mm256_set1_epi16(16), cOffset = _mm256_set1_epi16(128);
  __m256i r[2], g[2], b[2];
  for (int half = 0; half < 2; ++half) {
    EightPixels(Widen(y, half, yOffset), Widen(u, half, cOffset), Widen(v, half, cOffset), w, r[half],
                g[half], b[half]);
  }
  const __m256i channel[3] = {_mm256_packus_epi16(kBlueFirst ? b[0] : r[0], kBlueFirst ? b[1] : r[1]),
                              _mm256_packus_epi16(g[0], g[1]),
                              _mm256_packus_epi16(kBlueFirst ? r[0] : b[0], kBlueFirst ? r[1] : b[1])};
  for (int o = 0; o < 3; ++o) {
    const __m256i bytes =
        _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(channel[0], Mask(kMasks.give[0][o])),
                                        _mm256_shuffle_epi8(channel[1], Mask(kMasks.give[1][o]))),
                        _mm256_shuffle_epi8(channel[2], Mask(kMasks.give[2][o])));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * o), _mm256_castsi256_si128(bytes));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 48 + 16 * o), _mm256_extracti128_si256(bytes, 1));
  }
}

}  // namespace simd
#endif

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

using FixedPointRowFunction = void (*)(const uint8_t*, uint8_t*, int64_t, FixedPoint);
using PlanesRowFunction = void (*)(const uint8_t*, const uint8_t*, const uint8_t*, uint8_t*, int64_t,
                                   FixedPoint);

#if defined(__x86_64__)
template <bool kBlueFirst>
__attribute__((target("avx2"))) void FixedPointRowAvx2(const uint8_t* in, uint8_t* out, int64_t n,
                                                       FixedPoint f) {
  const simd::Weights w = simd::WeightsOf(f);
  int64_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const uint8_t* from = in + 3 * i;
    const __m256i groups[3] = {simd::LoadLanes(from), simd::LoadLanes(from + 16), simd::LoadLanes(from + 32)};
    simd::StorePixels<kBlueFirst>(simd::Component(groups, 0), simd::Component(groups, 1),
                                  simd::Component(groups, 2), w, out + 3 * i);
  }
  FixedPointRow<kBlueFirst>(in + 3 * i, out + 3 * i, n - i, f);
}

template <bool kBlueFirst>
__attribute__((target("avx2"))) void PlanesRowAvx2(const uint8_t* yRow, const uint8_t* uRow,
                                                   const uint8_t* vRow, uint8_t* out, int64_t n,
                                                   FixedPoint f) {
  const simd::Weights w = simd::WeightsOf(f);
  int64_t i = 0;
  for (; i + 32 <= n; i += 32) {
    simd::StorePixels<kBlueFirst>(simd::Load(yRow + i), simd::Load(uRow + i), simd::Load(vRow + i), w,
                                  out + 3 * i);
  }
  PlanesRow<kBlueFirst>(yRow + i, uRow + i, vRow + i, out + 3 * i, n - i, f);
}
#endif

// The hand-written rows where the processor has AVX2, else the portable loops.
FixedPointRowFunction PickFixedPointRow(bool blueFirst) {
#if defined(__x86_64__)
  if (TestCpuFlag(kCpuHasAvx2)) return blueFirst ? FixedPointRowAvx2<true> : FixedPointRowAvx2<false>;
#endif
  return blueFirst ? KernelPaths<FixedPointRow<true>>::Portable : KernelPaths<FixedPointRow<false>>::Portable;
}

PlanesRowFunction PickPlanesRow(bool blueFirst) {
#if defined(__x86_64__)
  if (TestCpuFlag(kCpuHasAvx2)) return blueFirst ? PlanesRowAvx2<true> : PlanesRowAvx2<false>;
#endif
  return blueFirst ? KernelPaths<PlanesRow<true>>::Portable : KernelPaths<PlanesRow<false>>::Portable;
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
  const auto fixedPointRow = PickFixedPointRow(blueFirst);
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
  const auto planesRow = PickPlanesRow(blueFirst);
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

namespace {

// Rows [first, last) of the picture converted and their grids blended, a band at a
// time so that the grids find the band's rows still in the cache.
bool ConvertRowsWithGrids(const ColourTables& tables, std::span<const uint8_t> data, std::span<uint8_t> out,
                          int32_t width, int32_t height, const DisplayRowsOptions& rowOptions,
                          const GridPair* grids, int64_t first, int64_t last) {
  constexpr int64_t kBandRows = 32;
  const int64_t pitch = DisplayRowPitch(width, true), rowBytes = 3 * int64_t{width};
  for (int64_t top = first; top < last; top += kBandRows) {
    const int64_t bottom = std::min(top + kBandRows, last);
    // Bottom-up: the band's rows end where the rows below it begin.
    if (!ConvertToDisplayRGB(
            tables,
            data.subspan(static_cast<size_t>(top * rowBytes), static_cast<size_t>((bottom - top) * rowBytes)),
            out.subspan(static_cast<size_t>((height - bottom) * pitch),
                        static_cast<size_t>((bottom - top) * pitch)),
            width, static_cast<int32_t>(bottom - top), rowOptions))
      return false;
    if (grids && !DrawGrids(out, width, height, *grids, PictureRows{top, bottom})) return false;
  }
  return true;
}

}  // namespace

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
    const auto rowBytes = static_cast<size_t>(3 * int64_t{width});
    if (data.size() < rowBytes * static_cast<size_t>(height)) return false;
    const std::span<uint8_t> out(rows);
    const GridPair* gridPair = grids;  // a structured binding cannot be captured
    if (int64_t{width} * height < (int64_t{1} << 18))
      return ConvertRowsWithGrids(tables, data, out, width, height, rowOptions, gridPair, 0, height);
    // Large pictures in two halves at once, one on the helper thread.
    const int64_t upper = height / 2;
    bool first = false, second = false;
    RunAlongside(
        [&] {
          first = ConvertRowsWithGrids(tables, data, out, width, height, rowOptions, gridPair, 0, upper);
        },
        [&] {
          second =
              ConvertRowsWithGrids(tables, data, out, width, height, rowOptions, gridPair, upper, height);
        });
    return first && second;
  }
  if (static_cast<int64_t>(data.size()) < bytes) return false;
  std::memcpy(rows.data(), data.data(), static_cast<size_t>(bytes));
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
