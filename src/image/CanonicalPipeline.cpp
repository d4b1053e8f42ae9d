// The pipelines between any YUV layout and the canonical form (packed
// progressive 4:4:4 Y,U,V): the plain chain of single-axis operations, kept as
// the reference, and fused single-pass kernels that give the same bytes.
#include <algorithm>
#include <cstring>
#include <vector>

#include "image/KernelPaths.h"
#include "image/LayoutGeometry.h"
#include "image/PixelOps.h"
#include "image/RowLocator.h"
#include "platform/HelperThread.h"

namespace vx {
namespace {

using geometry::PlanarPicture;

// ---- the reference chain --------------------------------------------------

// Runs the steps of a pipeline: each step works from `current` into the
// destination's buffer, and its result (bytes and header) is copied back into
// `current` so that the next step starts from it.
class StepChain {
 public:
  StepChain(FrameImage& current, FrameImage& destination) : current_(current), destination_(destination) {}

  template <typename Change, typename Operation>
  bool Step(Change change, Operation operation) {
    FrameImage target = current_;
    target.Data = destination_.Data;
    target.Capacity = destination_.Capacity;
    change(target);
    if (!operation(current_, target)) return false;
    if (target.DataSize > current_.Capacity) return false;
    std::memcpy(current_.Data, target.Data, static_cast<size_t>(target.DataSize));
    uint8_t* data = current_.Data;
    const int64_t capacity = current_.Capacity;
    current_ = target;
    current_.Data = data;
    current_.Capacity = capacity;
    ran_ = true;
    return true;
  }

  bool ran() const { return ran_; }

 private:
  FrameImage& current_;
  FrameImage& destination_;
  bool ran_ = false;
};

bool CopyBytes(const FrameImage& from, FrameImage& to, int64_t count) {
  if (count > from.Capacity || count > to.Capacity) return false;
  if (from.Data != to.Data) std::memcpy(to.Data, from.Data, static_cast<size_t>(count));
  return true;
}

bool MonoToCanonical(const FrameImage& s, FrameImage& d) {
  if (!MonoToYuv444(s, d)) return false;
  d.Fourcc = 10;
  return true;
}

bool CanHoldCanonical(const FrameImage& f, int32_t width, int32_t height) {
  return f.Data != nullptr && width >= 1 && height >= 1 && int64_t{width} * height * 3 <= f.Capacity &&
         int64_t{width} * height * 3 <= INT32_MAX;
}

// ---- fused kernels --------------------------------------------------------

// Stores the low `bytes` bytes of `value`.
inline void StoreLow(uint8_t* out, uint64_t value, size_t bytes) {
  std::memcpy(out, &value, bytes);
}
inline uint32_t Load32(const uint8_t* in) {
  uint32_t v;
  std::memcpy(&v, in, 4);
  return v;
}

// Y0 U V Y1 U V for each pixel pair; the 8-byte stores overlap the next pair, the
// last pair is stored exactly.
void PairsToCanonical(const uint8_t* y, const uint8_t* u, const uint8_t* v, int64_t pairs, uint8_t* out) {
  for (int64_t k = 0; k < pairs; ++k) {
    const uint64_t chroma = uint64_t{u[k]} << 8 | uint64_t{v[k]} << 16;
    const uint64_t value = y[2 * k] | chroma | uint64_t{y[2 * k + 1]} << 24 | chroma << 24;
    StoreLow(out + 6 * k, value, k + 1 < pairs ? 8 : 6);
  }
}

void Packed422ToCanonical(const uint8_t* in, int order, int64_t pairs, uint8_t* out) {
  int y0 = 0, u = 1, y1 = 2, v = 3;
  if (order == YVU) std::swap(u, v);
  if (order == UYV) y0 = 1, u = 0, y1 = 3, v = 2;
  for (int64_t k = 0; k < pairs; ++k) {
    const uint8_t* g = in + 4 * k;
    const uint64_t chroma = uint64_t{g[u]} << 8 | uint64_t{g[v]} << 16;
    const uint64_t value = g[y0] | chroma | uint64_t{g[y1]} << 24 | chroma << 24;
    StoreLow(out + 6 * k, value, k + 1 < pairs ? 8 : 6);
  }
}

// Three planes (already in Y, U, V order) interleaved.
void PlanesToCanonical(const uint8_t* y, const uint8_t* u, const uint8_t* v, int64_t n, uint8_t* out) {
  for (int64_t i = 0; i < n; ++i) {
    const uint32_t value = y[i] | uint32_t{u[i]} << 8 | uint32_t{v[i]} << 16;
    StoreLow(out + 3 * i, value, i + 1 < n ? 4 : 3);
  }
}

// A packed 4:4:4 row in storage order `order` to Y, U, V.
void Packed444ToCanonical(const uint8_t* in, int order, int64_t n, uint8_t* out) {
  if (order == YUV) {
    std::memcpy(out, in, static_cast<size_t>(3 * n));
    return;
  }
  // Y,V,U: exchange bytes 1 and 2; U,Y,V: exchange bytes 0 and 1.
  const bool yvu = order == YVU;
  for (int64_t i = 0; i < n; ++i) {
    const uint8_t* p = in + 3 * i;
    const uint32_t value = yvu ? (p[0] | uint32_t{p[2]} << 8 | uint32_t{p[1]} << 16)
                               : (p[1] | uint32_t{p[0]} << 8 | uint32_t{p[2]} << 16);
    StoreLow(out + 3 * i, value, i + 1 < n ? 4 : 3);
  }
}

// Canonical row y of a source frame.
void MakeCanonicalRow(const FrameImage& s, const YuvRowLocator& rows, int64_t y, uint8_t* o) {
  const int64_t w = s.ImgWidth;
  if (s.PixelFormat == Packed) {
    if (s.SamplingFormat == YUV_444)
      Packed444ToCanonical(rows.Packed(y), s.ComponentOrder, w, o);
    else
      Packed422ToCanonical(rows.Packed(y), s.ComponentOrder, w / 2, o);
    return;
  }
  const PlanarRow p = rows.Planar(y);
  if (s.SamplingFormat == YUV_444)
    PlanesToCanonical(p.y, p.u, p.v, w, o);
  else
    PairsToCanonical(p.y, p.u, p.v, w / 2, o);
}

void ToCanonicalFast(const FrameImage& s, uint8_t* out) {
  const YuvRowLocator rows(s);
  const int64_t h = s.ImgHeight, rowBytes = 3 * int64_t{s.ImgWidth};
  auto make = [&](int64_t first, int64_t last) {
    for (int64_t y = first; y < last; ++y) MakeCanonicalRow(s, rows, y, out + y * rowBytes);
  };
  // Rows are independent: a large picture is made in two halves at once.
  if (int64_t{s.ImgWidth} * h < (int64_t{1} << 18)) {
    make(0, h);
    return;
  }
  RunAlongside([&] { make(0, h / 2); }, [&] { make(h / 2, h); });
}

// Canonical row `in` to a packed row of the target layout.
void CanonicalToPacked444(const uint8_t* in, int order, int64_t n, uint8_t* out) {
  Packed444ToCanonical(in, order, n, out);  // each permutation is its own inverse
}

void CanonicalToPacked422(const uint8_t* in, int order, int64_t pairs, uint8_t* out) {
  for (int64_t k = 0; k < pairs; ++k) {
    const uint8_t* p = in + 6 * k;
    const uint32_t y0 = p[0], y1 = p[3];
    const uint32_t u = (p[1] + p[4]) / 2, v = (p[2] + p[5]) / 2;
    uint32_t value;
    if (order == YUV)
      value = y0 | u << 8 | y1 << 16 | v << 24;
    else if (order == YVU)
      value = y0 | v << 8 | y1 << 16 | u << 24;
    else
      value = u | y0 << 8 | v << 16 | y1 << 24;
    std::memcpy(out + 4 * k, &value, 4);
  }
}

void CanonicalToPlanes(const uint8_t* in, int64_t n, uint8_t* y, uint8_t* u, uint8_t* v) {
  for (int64_t i = 0; i < n; ++i) {
    y[i] = in[3 * i];
    u[i] = in[3 * i + 1];
    v[i] = in[3 * i + 2];
  }
}

void CanonicalToLuma(const uint8_t* in, int64_t n, uint8_t* y) {
  for (int64_t i = 0; i < n; ++i) y[i] = in[3 * i];
}

void CanonicalToChroma422(const uint8_t* in, int64_t pairs, uint8_t* u, uint8_t* v) {
  for (int64_t k = 0; k < pairs; ++k) {
    const uint8_t* p = in + 6 * k;
    u[k] = static_cast<uint8_t>((p[1] + p[4]) / 2);
    v[k] = static_cast<uint8_t>((p[2] + p[5]) / 2);
  }
}

void CanonicalToChroma420(const uint8_t* a, const uint8_t* b, int64_t pairs, uint8_t* u, uint8_t* v) {
  for (int64_t k = 0; k < pairs; ++k) {
    const uint8_t* p = a + 6 * k;
    const uint8_t* q = b + 6 * k;
    u[k] = static_cast<uint8_t>((p[1] + p[4] + q[1] + q[4]) >> 2);
    v[k] = static_cast<uint8_t>((p[2] + p[5] + q[2] + q[5]) >> 2);
  }
}

// Writes canonical rows into a target frame of any valid layout: each picture
// row where its field and planes put it, and for 4:2:0 each chroma row from the
// two canonical rows it averages.
// Each of `n` samples twice.
void DoubleSamples(const uint8_t* in, int64_t n, uint8_t* out) {
  for (int64_t k = 0; k < n; ++k) {
    out[2 * k] = in[k];
    out[2 * k + 1] = in[k];
  }
}

class TargetRowWriter {
 public:
  explicit TargetRowWriter(FrameImage& d) : d_(d), w_(d.ImgWidth), rows_(d) {}
  bool Needs420Chroma() const { return d_.PixelFormat == Planar && d_.SamplingFormat == YUV_420; }

  void Row(int64_t y, const uint8_t* row) {
    if (d_.PixelFormat == Packed) {
      if (d_.SamplingFormat == YUV_444)
        CanonicalToPacked444(row, d_.ComponentOrder, w_, rows_.Packed(y));
      else
        CanonicalToPacked422(row, d_.ComponentOrder, w_ / 2, rows_.Packed(y));
      return;
    }
    const PlanarTargetRow p = rows_.Planar(y);
    if (d_.SamplingFormat == YUV_444) {
      CanonicalToPlanes(row, w_, p.y, p.u, p.v);
      return;
    }
    CanonicalToLuma(row, w_, p.y);
    if (d_.SamplingFormat == YUV_422) CanonicalToChroma422(row, w_ / 2, p.u, p.v);
  }

  // The row of a planar 4:4:4 target from split planes of pairs: luma as it is,
  // each chroma sample twice (the canonical row's values, without the row).
  void RowFromPairs(int64_t y, const uint8_t* luma, const uint8_t* u, const uint8_t* v) {
    const PlanarTargetRow p = rows_.Planar(y);
    std::memcpy(p.y, luma, static_cast<size_t>(w_));
    DoubleSamples(u, w_ / 2, p.u);
    DoubleSamples(v, w_ / 2, p.v);
  }

  // Chroma row j of the frame; the row no field holds is dropped.
  void Chroma420(int64_t j, const uint8_t* upper, const uint8_t* lower) {
    const PlanarTargetRow p = rows_.Chroma420(j);
    if (p.u) CanonicalToChroma420(upper, lower, w_ / 2, p.u, p.v);
  }

 private:
  FrameImage& d_;
  int64_t w_;
  YuvRowPlacer rows_;
};

void FromCanonicalFast(const uint8_t* in, FrameImage& d) {
  const int64_t w = d.ImgWidth, h = d.ImgHeight;
  TargetRowWriter writer(d);
  // Picture rows first..last - 1 (first even) and the 4:2:0 chroma rows they make;
  // each writes bytes of its own, so two halves can be made at once.
  auto make = [&](int64_t first, int64_t last) {
    for (int64_t y = first; y < last; ++y) writer.Row(y, in + y * 3 * w);
    if (!writer.Needs420Chroma()) return;
    for (int64_t j = first / 2; j < last / 2; ++j)
      writer.Chroma420(j, in + 2 * j * 3 * w, in + (2 * j + 1) * 3 * w);
  };
  if (w * h < (int64_t{1} << 18)) {
    make(0, h);
    return;
  }
  const int64_t half = h / 4 * 2;
  RunAlongside([&] { make(0, half); }, [&] { make(half, h); });
}

// Validates a target header against the source size and its buffer.
bool PrepareTarget(const FrameImage& s, FrameImage& d) {
  d.ImgWidth = s.ImgWidth;
  d.ImgHeight = s.ImgHeight;
  if (!IsValidYuvLayout(d)) return false;
  ComputeFrameSize(d);
  DeriveFourcc(d);
  return true;
}

bool SourceIsCanonical(FrameImage& s) {
  if (!IsCanonical444(s)) return false;
  ComputeFrameSize(s);
  return geometry::Usable(s);
}

}  // namespace

bool ToCanonical444Reference(FrameImage& s, FrameImage& d) {
  if (s.SamplingFormat == MONO) return MonoToCanonical(s, d);
  if (!IsValidYuvLayout(s) || !CanHoldCanonical(d, s.ImgWidth, s.ImgHeight) || s.Data == d.Data) return false;
  if (s.Capacity < int64_t{s.ImgWidth} * s.ImgHeight * 3) return false;  // holds every intermediate
  ComputeFrameSize(s);
  const int32_t w = s.ImgWidth, h = s.ImgHeight;
  StepChain chain(s, d);
  bool ok = true;
  if (s.FieldFormat == Interlaced) {
    ok = chain.Step([](FrameImage& t) { t.FieldFormat = Progressive; }, ConvertFieldFormat);
  }
  if (ok && s.ComponentOrder != YUV) {
    ok = chain.Step([](FrameImage& t) { t.ComponentOrder = YUV; }, ReorderComponents);
  }
  if (ok && s.PixelFormat == Planar) {
    if (s.SamplingFormat != YUV_444) {
      ok = chain.Step([](FrameImage& t) { t.SamplingFormat = YUV_444; }, ConvertSampling);
    }
    if (ok) ok = chain.Step([](FrameImage& t) { t.PixelFormat = Packed; }, ConvertPixelFormat);
  } else if (ok && s.SamplingFormat == YUV_422) {
    ok = chain.Step([](FrameImage& t) { t.SamplingFormat = YUV_444; }, ConvertSampling);
  }
  if (!ok) return false;
  if (!chain.ran() && !CopyBytes(s, d, int64_t{w} * h * 3)) return false;
  d.ImageResolution = s.ImageResolution;
  SetCanonicalHeader(d, w, h);
  return true;
}

bool FromCanonical444Reference(FrameImage& s, FrameImage& d) {
  if (!SourceIsCanonical(s) || !PrepareTarget(s, d) || s.Data == d.Data) return false;
  const FrameImage target = d;
  StepChain chain(s, d);
  bool ok = true;
  if (target.PixelFormat == Planar) {
    ok = chain.Step([](FrameImage& t) { t.PixelFormat = Planar; }, ConvertPixelFormat);
  }
  if (ok && target.SamplingFormat != s.SamplingFormat) {
    // The sampling step always produces order 0; the reorder step follows.
    ok = chain.Step(
        [&](FrameImage& t) {
          t.SamplingFormat = target.SamplingFormat;
          t.ComponentOrder = YUV;
        },
        ConvertSampling);
  }
  if (ok && target.ComponentOrder != s.ComponentOrder) {
    ok = chain.Step([&](FrameImage& t) { t.ComponentOrder = target.ComponentOrder; }, ReorderComponents);
  }
  if (ok && target.FieldFormat == Interlaced) {
    ok = chain.Step([](FrameImage& t) { t.FieldFormat = Interlaced; }, ConvertFieldFormat);
  } else if (ok && !chain.ran()) {
    ok = CopyBytes(s, d, s.DataSize);
  }
  if (!ok) return false;
  uint8_t* data = d.Data;
  const int64_t capacity = d.Capacity;
  d = target;
  d.Data = data;
  d.Capacity = capacity;
  geometry::ZeroUnusedBytes(d);
  return true;
}

bool ToCanonical444(FrameImage& s, FrameImage& d) {
  if (s.SamplingFormat == MONO) return MonoToCanonical(s, d);
  if (!IsValidYuvLayout(s) || !CanHoldCanonical(d, s.ImgWidth, s.ImgHeight) || s.Data == d.Data) return false;
  ComputeFrameSize(s);
  ToCanonicalFast(s, d.Data);
  d.ImageResolution = s.ImageResolution;
  SetCanonicalHeader(d, s.ImgWidth, s.ImgHeight);
  return true;
}

// ---- 4:2:x to 4:2:x without canonical rows --------------------------------
//
// Through the canonical form a 4:2:x chroma sample is repeated for both pixels of
// its pair and averaged back: (u + u) / 2 = u. A 4:2:0 target averages frame rows
// 2j and 2j + 1: (a + a + b + b) >> 2 = (a + b) >> 1. So between sub-sampled
// layouts luma is copied and chroma is picked or averaged from the source's
// chroma rows, which gives the same bytes in a fraction of the work.

// One picture row of a sub-sampled frame as three contiguous rows.
struct HalfRows {
  const uint8_t* y;
  const uint8_t* u;
  const uint8_t* v;
};

// The groups of a packed 4:2:2 row with its byte positions fixed, so the loop
// becomes shuffles.
template <int Y0, int U, int Y1, int V>
inline __attribute__((always_inline)) void SplitGroups(const uint8_t* in, int64_t pairs, uint8_t* y,
                                                       uint8_t* u, uint8_t* v) {
  for (int64_t k = 0; k < pairs; ++k) {
    const uint8_t* g = in + 4 * k;
    y[2 * k] = g[Y0];
    y[2 * k + 1] = g[Y1];
    u[k] = g[U];
    v[k] = g[V];
  }
}

[[gnu::always_inline]] inline void SplitPacked422(const uint8_t* in, int order, int64_t pairs, uint8_t* y,
                                                  uint8_t* u, uint8_t* v) {
  switch (order) {
    case UYV:
      SplitGroups<1, 0, 3, 2>(in, pairs, y, u, v);
      break;
    case YVU:
      SplitGroups<0, 3, 2, 1>(in, pairs, y, u, v);
      break;
    default:
      SplitGroups<0, 1, 2, 3>(in, pairs, y, u, v);
      break;
  }
}

template <int kY0, int kU, int kY1, int kV>
[[gnu::always_inline]] inline void JoinPacked422Kernel(const uint8_t* y, const uint8_t* u, const uint8_t* v,
                                                       int64_t pairs, uint8_t* out) {
  for (int64_t k = 0; k < pairs; ++k) {
    uint8_t* g = out + 4 * k;
    g[kY0] = y[2 * k];
    g[kY1] = y[2 * k + 1];
    g[kU] = u[k];
    g[kV] = v[k];
  }
}

[[gnu::always_inline]] inline void JoinPacked422(const uint8_t* y, const uint8_t* u, const uint8_t* v,
                                                 int order, int64_t pairs, uint8_t* out) {
  if (order == UYV)
    JoinPacked422Kernel<1, 0, 3, 2>(y, u, v, pairs, out);
  else if (order == YVU)
    JoinPacked422Kernel<0, 3, 2, 1>(y, u, v, pairs, out);
  else
    JoinPacked422Kernel<0, 1, 2, 3>(y, u, v, pairs, out);
}

[[gnu::always_inline]] inline void AverageRows(const uint8_t* a, const uint8_t* b, int64_t n, uint8_t* out) {
  for (int64_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>((a[i] + b[i]) >> 1);
}

bool Subsampled(const ImageFormat& f) {
  return f.SamplingFormat == YUV_422 || f.SamplingFormat == YUV_420;
}

void ConvertSubsampled(const FrameImage& s, FrameImage& d) {
  const int64_t w = s.ImgWidth, h = s.ImgHeight, c = w / 2;
  const YuvRowLocator rows(s);
  thread_local std::vector<uint8_t> scratch;
  scratch.resize(static_cast<size_t>(4 * w));  // two rows of split packed 4:2:2
  const YuvRowPlacer placer(d);
  // A planar target takes a packed row's luma straight into its plane.
  const bool lumaInPlace = s.PixelFormat == Packed && d.PixelFormat == Planar;
  const auto split = KernelPaths<SplitPacked422>::Pick();
  const auto join = KernelPaths<JoinPacked422>::Pick();
  const auto average = KernelPaths<AverageRows>::Pick();
  auto sourceRow = [&](int64_t y, int slot) -> HalfRows {
    if (s.PixelFormat == Planar) {
      const PlanarRow p = rows.Planar(y);
      return {p.y, p.u, p.v};
    }
    uint8_t* base = scratch.data() + slot * 2 * w;
    uint8_t* luma = lumaInPlace ? placer.Planar(y).y : base;
    split(rows.Packed(y), s.ComponentOrder, c, luma, base + w, base + w + c);
    return {luma, base + w, base + w + c};
  };
  for (int64_t y = 0; y < h; y += 2) {
    const HalfRows upper = sourceRow(y, 0);
    const HalfRows lower = y + 1 < h ? sourceRow(y + 1, 1) : upper;
    for (int half = 0; half < 2 && y + half < h; ++half) {
      const int64_t py = y + half;
      const HalfRows& row = half == 0 ? upper : lower;
      if (d.PixelFormat == Packed) {
        join(row.y, row.u, row.v, d.ComponentOrder, c, placer.Packed(py));
        continue;
      }
      const PlanarTargetRow out = placer.Planar(py);
      if (!lumaInPlace) std::memcpy(out.y, row.y, static_cast<size_t>(w));
      if (d.SamplingFormat == YUV_422) {
        std::memcpy(out.u, row.u, static_cast<size_t>(c));
        std::memcpy(out.v, row.v, static_cast<size_t>(c));
      }
    }
    if (d.SamplingFormat == YUV_420 && y + 1 < h) {
      const PlanarTargetRow out = placer.Chroma420(y / 2);
      if (out.u) {
        average(upper.u, lower.u, c, out.u);
        average(upper.v, lower.v, c, out.v);
      }
    }
  }
}

bool ConvertYuvLayout(const FrameImage& source, FrameImage& d, uint8_t* canonicalRows) {
  FrameImage s = source;
  if (!IsValidYuvLayout(s) || s.Data == d.Data) return false;
  ComputeFrameSize(s);
  if (!PrepareTarget(s, d)) return false;
  if (!canonicalRows && Subsampled(s) && Subsampled(d)) {
    ConvertSubsampled(s, d);
    geometry::ZeroUnusedBytes(d);
    return true;
  }
  const int64_t w = s.ImgWidth, h = s.ImgHeight;
  const YuvRowLocator rows(s);
  TargetRowWriter writer(d);
  if (!canonicalRows && s.PixelFormat == Planar && Subsampled(s) && d.PixelFormat == Planar &&
      d.SamplingFormat == YUV_444 && w % 2 == 0) {
    // Planes of pairs to full planes: no canonical row in between, rows
    // independent (two halves at once for a large picture).
    auto make = [&](int64_t first, int64_t last) {
      for (int64_t y = first; y < last; ++y) {
        const PlanarRow p = rows.Planar(y);
        writer.RowFromPairs(y, p.y, p.u, p.v);
      }
    };
    if (w * h < (int64_t{1} << 18))
      make(0, h);
    else
      RunAlongside([&] { make(0, h / 2); }, [&] { make(h / 2, h); });
    geometry::ZeroUnusedBytes(d);
    return true;
  }
  thread_local std::vector<uint8_t> scratch;
  if (!canonicalRows) scratch.resize(static_cast<size_t>(6 * w));
  // Row pairs: a 4:2:0 target's chroma row j is made from canonical rows 2j and 2j + 1.
  for (int64_t y = 0; y < h; y += 2) {
    uint8_t* upper = canonicalRows ? canonicalRows + y * 3 * w : scratch.data();
    uint8_t* lower = canonicalRows ? upper + 3 * w : scratch.data() + 3 * w;
    MakeCanonicalRow(s, rows, y, upper);
    writer.Row(y, upper);
    if (y + 1 >= h) break;
    MakeCanonicalRow(s, rows, y + 1, lower);
    writer.Row(y + 1, lower);
    if (writer.Needs420Chroma()) writer.Chroma420(y / 2, upper, lower);
  }
  geometry::ZeroUnusedBytes(d);
  return true;
}

bool FromCanonical444(FrameImage& s, FrameImage& d) {
  if (!SourceIsCanonical(s) || !PrepareTarget(s, d) || s.Data == d.Data) return false;
  FromCanonicalFast(s.Data, d);
  geometry::ZeroUnusedBytes(d);
  return true;
}

}  // namespace vx
