// Bilinear scaling: of packed 3-byte pictures (the plain per-pixel reference
// and the separable fast path), and of YUV planes without a 4:4:4 picture in
// between, with the same bytes as the canonical chain.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <vector>

#include "image/BilinearTaps.h"
#include "image/KernelPaths.h"
#include "image/LayoutGeometry.h"
#include "image/PixelOps.h"
#include "image/RowLocator.h"
#include "platform/HelperThread.h"
#include "platform/MessageSink.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace vx {
namespace {

bool ScaleChecks(FrameImage& s, FrameImage& d) {
  if (!(s.SamplingFormat == YUV_444 || s.SamplingFormat == RGB_444) || s.PixelFormat != Packed ||
      s.FieldFormat != Progressive) {
    return false;
  }
  if (s.ImgWidth < 2 || s.ImgHeight < 2 || d.ImgWidth < 2 || d.ImgHeight < 2) return false;
  if (s.ImgWidth == d.ImgWidth && s.ImgHeight == d.ImgHeight) return false;
  if (!geometry::PackedPixelsFit(s) || !geometry::PackedPixelsFit(d) || s.Data == d.Data) return false;
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
[[gnu::always_inline]] inline void InterpolateRow(const uint8_t* left, const uint8_t* right,
                                                  const double* nearWeight, const double* farWeight,
                                                  int64_t count, double* out) {
  for (int64_t e = 0; e < count; ++e) {
    out[e] = nearWeight[e] * static_cast<double>(left[e]) + farWeight[e] * static_cast<double>(right[e]);
  }
}

[[gnu::always_inline]] inline void BlendRows(const double* upper, const double* lower, double nearWeight,
                                             double farWeight, int64_t count, uint8_t* out) {
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
  const auto interpolateRow = KernelPaths<InterpolateRow>::Pick();
  const auto blendRows = KernelPaths<BlendRows>::Pick();
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
    interpolateRow(x.left.data(), x.right.data(), x.nearWeight.data(), x.farWeight.data(),
                   static_cast<int64_t>(count), x.interpolated[slot].data());
    x.cachedRow[slot] = r;
  };
  for (int64_t i = first; i < last; ++i) {
    const Tap& r = x.rows[static_cast<size_t>(i)];
    interpolate(r.index, 0);
    interpolate(r.index + 1, 1);
    blendRows(x.interpolated[0].data(), x.interpolated[1].data(), r.near, r.far, static_cast<int64_t>(count),
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

// ---- scaling of YUV planes --------------------------------------------------
//
// The canonical chain scales a 4:4:4 picture whose chroma repeats each source
// sample over its 2 x 1 or 2 x 2 pixels, and the target then averages the
// scaled chroma pairs or quads. Here each plane is read where the canonical
// pixel would have come from: a destination sample's two source columns index
// the plane directly (halved for subsampled chroma), and source rows sharing a
// chroma row share its horizontal pass. The doubles and their order are the
// canonical chain's, so the bytes are too.

namespace {

// Byte shuffles for four destination columns whose samples all lie in one
// 16-byte load, read into both halves of a 32-byte register: each moves the
// left (or right) sample of a column into the low byte of a 64-bit lane, the
// other bytes zero, so that an exact double follows without a conversion.
struct QuadShuffle {
  alignas(32) uint8_t left[32];
  alignas(32) uint8_t right[32];
};

// Four destination columns: where their load starts in the row, and which of the
// few distinct shuffles picks their samples.
struct ColumnQuad {
  int32_t base;
  int32_t shuffle;
};

// For each destination column, the two plane samples it weighs and the weights.
// They depend on the column alone, so they are made once per picture geometry.
struct PlaneColumns {
  std::vector<int32_t> left, right;
  std::vector<double> near, far;
  // The leading columns, four at a time, that contiguous loads can fetch without
  // reading past the row's end; the rest are fetched one by one. Columns spread
  // evenly over the row, so a few shuffles serve every quad and stay in cache.
  std::vector<ColumnQuad> quads;
  std::vector<QuadShuffle> shuffles;

  // `length`: the plane row's length in bytes.
  void Make(const std::vector<Tap>& taps, int shift, int64_t length) {
    const size_t n = taps.size();
    left.resize(n);
    right.resize(n);
    near.resize(n);
    far.resize(n);
    for (size_t j = 0; j < n; ++j) {
      left[j] = static_cast<int32_t>(taps[j].index >> shift);
      right[j] = static_cast<int32_t>((taps[j].index + 1) >> shift);
      near[j] = taps[j].near;
      far[j] = taps[j].far;
    }
    MakeQuads(length);
  }

 private:
  static constexpr int kLoadBytes = 16;
  static constexpr uint8_t kZero = 0x80;  // a shuffle index that gives a zero byte

  void MakeQuads(int64_t length) {
    quads.clear();
    shuffles.clear();
    // Indexes only grow: the first quad that does not fit ends the run.
    for (size_t j = 0; j + 4 <= left.size(); j += 4) {
      const int32_t base = left[j];
      if (right[j + 3] - base >= kLoadBytes || base + kLoadBytes > length) break;
      QuadShuffle shuffle;
      std::memset(shuffle.left, kZero, sizeof shuffle.left);
      std::memset(shuffle.right, kZero, sizeof shuffle.right);
      // Columns 0 and 1 in the low half, 2 and 3 in the high half: 8 bytes each.
      for (size_t k = 0; k < 4; ++k) {
        shuffle.left[8 * k] = static_cast<uint8_t>(left[j + k] - base);
        shuffle.right[8 * k] = static_cast<uint8_t>(right[j + k] - base);
      }
      quads.push_back({.base = base, .shuffle = ShuffleIndex(shuffle)});
    }
  }

  int32_t ShuffleIndex(const QuadShuffle& shuffle) {
    const auto same = [&](const QuadShuffle& known) {
      return std::memcmp(&known, &shuffle, sizeof shuffle) == 0;
    };
    const auto found = std::find_if(shuffles.begin(), shuffles.end(), same);
    if (found != shuffles.end()) return static_cast<int32_t>(found - shuffles.begin());
    shuffles.push_back(shuffle);
    return static_cast<int32_t>(shuffles.size() - 1);
  }
};

// One horizontal pass over a plane row: each destination column's two samples,
// weighted, from column `first` on.
void InterpolatePlaneColumns(const uint8_t* row, const PlaneColumns& c, size_t first, double* out) {
  for (size_t e = first; e < c.left.size(); ++e) {
    out[e] =
        c.near[e] * static_cast<double>(row[c.left[e]]) + c.far[e] * static_cast<double>(row[c.right[e]]);
  }
}

void InterpolatePlaneRowPlain(const uint8_t* row, const PlaneColumns& c, double* out) {
  InterpolatePlaneColumns(row, c, 0, out);
}

#if defined(__x86_64__)
// Four columns at a time: one contiguous load, two byte shuffles, then the same
// two products and sum per column in doubles. No gathers: they are microcoded,
// and slow, on some cores. A byte b in the low bits of 2^52 is the double
// 2^52 + b, and less 2^52 exactly b.
__attribute__((target("avx2"))) void InterpolatePlaneRowAvx2(const uint8_t* row, const PlaneColumns& c,
                                                             double* out) {
  const __m256i exponent = _mm256_set1_epi64x(0x4330000000000000);
  const __m256d twoTo52 = _mm256_castsi256_pd(exponent);
  const ColumnQuad* quad = c.quads.data();
  const QuadShuffle* shuffles = c.shuffles.data();
  const size_t quads = c.quads.size();
  const double* nearWeight = c.near.data();
  const double* farWeight = c.far.data();
  for (size_t q = 0; q < quads; ++q, ++quad) {
    const QuadShuffle& shuffle = shuffles[quad->shuffle];
    const __m256i bytes =
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + quad->base)));
    const __m256i a =
        _mm256_shuffle_epi8(bytes, _mm256_load_si256(reinterpret_cast<const __m256i*>(shuffle.left)));
    const __m256i b =
        _mm256_shuffle_epi8(bytes, _mm256_load_si256(reinterpret_cast<const __m256i*>(shuffle.right)));
    const __m256d left = _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(a, exponent)), twoTo52);
    const __m256d right = _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(b, exponent)), twoTo52);
    const size_t e = 4 * q;
    const __m256d nearPart = _mm256_mul_pd(_mm256_loadu_pd(nearWeight + e), left);
    const __m256d farPart = _mm256_mul_pd(_mm256_loadu_pd(farWeight + e), right);
    _mm256_storeu_pd(out + e, _mm256_add_pd(nearPart, farPart));
  }
  InterpolatePlaneColumns(row, c, 4 * quads, out);
}
#endif

using InterpolatePlaneRowFunction = void (*)(const uint8_t*, const PlaneColumns&, double*);

// The shuffles are written by hand; the plain loop is the portable path.
InterpolatePlaneRowFunction PickInterpolatePlaneRow() {
#if defined(__x86_64__)
  if (TestCpuFlag(kCpuHasAvx2)) return InterpolatePlaneRowAvx2;
#endif
  return InterpolatePlaneRowPlain;
}

// The target's chroma from full-width scaled rows: pairs, or quads over two rows.
[[gnu::always_inline]] inline void HalvePairs(const uint8_t* in, int64_t pairs, uint8_t* out) {
  for (int64_t k = 0; k < pairs; ++k) out[k] = static_cast<uint8_t>((in[2 * k] + in[2 * k + 1]) / 2);
}

[[gnu::always_inline]] inline void QuarterQuads(const uint8_t* upper, const uint8_t* lower, int64_t pairs,
                                                uint8_t* out) {
  for (int64_t k = 0; k < pairs; ++k) {
    out[k] = static_cast<uint8_t>((upper[2 * k] + upper[2 * k + 1] + lower[2 * k] + lower[2 * k + 1]) >> 2);
  }
}

// The taps of one source and target geometry: made once while a job's frames
// keep their sizes, and shared read-only by the threads scaling its rows.
struct PlaneScalePlan {
  int64_t sourceWidth = 0, sourceHeight = 0, targetWidth = 0, targetHeight = 0;
  int32_t sourceSampling = -1;
  bool made = false;
  std::vector<Tap> rows, columns;
  PlaneColumns luma, chroma;

  // False when a weight falls outside 0..1.
  bool MakeFor(const FrameImage& s, const FrameImage& d) {
    if (made && sourceWidth == s.ImgWidth && sourceHeight == s.ImgHeight && targetWidth == d.ImgWidth &&
        targetHeight == d.ImgHeight && sourceSampling == s.SamplingFormat) {
      return true;
    }
    made = false;
    if (!MakeTaps(s.ImgHeight, d.ImgHeight, rows) || !MakeTaps(s.ImgWidth, d.ImgWidth, columns)) return false;
    luma.Make(columns, 0, s.ImgWidth);
    chroma.Make(columns, s.SamplingFormat == YUV_444 ? 0 : 1,
                geometry::ChromaWidth(s.SamplingFormat, s.ImgWidth));
    sourceWidth = s.ImgWidth;
    sourceHeight = s.ImgHeight;
    targetWidth = d.ImgWidth;
    targetHeight = d.ImgHeight;
    sourceSampling = s.SamplingFormat;
    made = true;
    return true;
  }
};

// Horizontal passes of the last two plane rows one component used.
struct PassCache {
  std::vector<double> slot[2];
  const uint8_t* key[2] = {nullptr, nullptr};
  InterpolatePlaneRowFunction interpolate = InterpolatePlaneRowPlain;

  // The pass of `row`, made unless it is here; the slot of `keep` is not reused.
  const double* Get(const uint8_t* row, const uint8_t* keep, const PlaneColumns& columns) {
    for (int i = 0; i < 2; ++i) {
      if (key[i] == row) return slot[i].data();
    }
    const int i = key[0] == keep ? 1 : 0;
    slot[i].resize(columns.left.size());
    interpolate(row, columns, slot[i].data());
    key[i] = row;
    return slot[i].data();
  }
};

struct PlaneScaleScratch {
  PassCache cache[3];
  std::vector<uint8_t> scaled[2][2];  // full-width U and V of an even and an odd picture row
};

// Destination rows first..last - 1 (first even), with this thread's scratch.
// `newFrame`: the first rows of this frame on this thread. A buffer may hold new
// bytes at the same address, so passes are only kept within one frame.
void ScalePlaneRows(const PlaneScalePlan& plan, const FrameImage& s, FrameImage& d, int64_t first,
                    int64_t last, bool newFrame) {
  const int64_t W = d.ImgWidth, pairs = W / 2;
  thread_local PlaneScaleScratch x;
  if (newFrame) {
    for (PassCache& c : x.cache) {
      c.key[0] = c.key[1] = nullptr;
      c.interpolate = PickInterpolatePlaneRow();
    }
  }
  const auto blendRows = KernelPaths<BlendRows>::Pick();
  const auto halvePairs = KernelPaths<HalvePairs>::Pick();
  const auto quarterQuads = KernelPaths<QuarterQuads>::Pick();
  for (auto& pair : x.scaled) {
    for (auto& row : pair) row.resize(static_cast<size_t>(W));
  }
  const YuvRowLocator source(s);
  const YuvRowPlacer target(d);
  const int32_t sampling = d.SamplingFormat;
  for (int64_t y = first; y < last; ++y) {
    const Tap& r = plan.rows[static_cast<size_t>(y)];
    const PlanarRow p0 = source.Planar(r.index), p1 = source.Planar(r.index + 1);
    const PlanarTargetRow out = target.Planar(y);
    auto blend = [&](int component, const uint8_t* upper, const uint8_t* lower, const PlaneColumns& columns,
                     uint8_t* to) {
      PassCache& cache = x.cache[component];
      const double* a = cache.Get(upper, lower, columns);
      const double* b = cache.Get(lower, upper, columns);
      blendRows(a, b, r.near, r.far, W, to);
    };
    blend(0, p0.y, p1.y, plan.luma, out.y);
    std::vector<uint8_t>* scaled = x.scaled[y & 1];
    blend(1, p0.u, p1.u, plan.chroma, sampling == YUV_444 ? out.u : scaled[0].data());
    blend(2, p0.v, p1.v, plan.chroma, sampling == YUV_444 ? out.v : scaled[1].data());
    if (sampling == YUV_422) {
      halvePairs(scaled[0].data(), pairs, out.u);
      halvePairs(scaled[1].data(), pairs, out.v);
    } else if (sampling == YUV_420 && (y & 1) != 0) {
      const PlanarTargetRow chroma = target.Chroma420(y / 2);
      if (chroma.u == nullptr) continue;
      quarterQuads(x.scaled[0][0].data(), x.scaled[1][0].data(), pairs, chroma.u);
      quarterQuads(x.scaled[0][1].data(), x.scaled[1][1].data(), pairs, chroma.v);
    }
  }
}

// A frame's destination rows in blocks, taken by each thread that runs Scale.
struct RowBlocks {
  static constexpr int64_t kRows = 32;  // even: a 4:2:0 row pair stays in one block

  const PlaneScalePlan& plan;
  const FrameImage& source;
  FrameImage& target;
  std::atomic<int64_t> next{0};

  void Scale() {
    const int64_t H = target.ImgHeight, blocks = (H + kRows - 1) / kRows;
    for (bool newFrame = true;; newFrame = false) {
      const int64_t block = next.fetch_add(1, std::memory_order_relaxed);
      if (block >= blocks) return;
      ScalePlaneRows(plan, source, target, block * kRows, std::min(H, (block + 1) * kRows), newFrame);
    }
  }
};

}  // namespace

bool ScaleYuvPlanes(const FrameImage& source, FrameImage& d) {
  FrameImage s = source;
  if (!IsValidYuvLayout(s) || s.PixelFormat != Planar || d.PixelFormat != Planar || s.Data == d.Data)
    return false;
  ComputeFrameSize(s);
  if (!IsValidYuvLayout(d)) return false;
  const int64_t W = d.ImgWidth, H = d.ImgHeight;
  if (s.ImgWidth < 2 || s.ImgHeight < 2 || W < 2 || H < 2) return false;
  if (s.ImgWidth == W && s.ImgHeight == H) return false;
  ComputeFrameSize(d);
  DeriveFourcc(d);
  // A job scales every frame on its own thread with the same sizes: the taps are
  // made on its first frame.
  thread_local PlaneScalePlan plan;
  if (!plan.MakeFor(s, d)) {
    ShowMessage("Error CONF1003: Error in interpolation for scaling !!! ");
    return false;
  }
  // Each output row (or 4:2:0 row pair) depends on its taps alone: a large
  // picture is scaled by two threads at once, the helper and this one. Blocks of
  // rows go to whichever is free, so that when the other core is busy elsewhere
  // this thread does more of the frame (or all of it) instead of waiting for a
  // fixed half.
  if (H >= 64 && W * H >= (int64_t{1} << 16)) {
    // The helper reaches this thread's plan through the reference in `rows` (by
    // its name it would see its own), and the lambda holds one reference only,
    // so no allocation per frame.
    RowBlocks rows{.plan = plan, .source = s, .target = d};
    RunShared([&rows] { rows.Scale(); });
  } else {
    ScalePlaneRows(plan, s, d, 0, H, true);
  }
  geometry::ZeroUnusedBytes(d);
  return true;
}

}  // namespace vx
