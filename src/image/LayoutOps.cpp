// The single-axis operations: sampling, field format, packing, component order.
#include <algorithm>
#include <array>
#include <cstring>

#include "image/LayoutGeometry.h"
#include "image/PixelOps.h"
#include "platform/MessageSink.h"

namespace vx {
namespace {

using geometry::PlanarPicture;
using geometry::Plane;

uint8_t* At(FrameImage& f, const Plane& p, int64_t row) {
  return f.Data + p.offset + row * p.width;
}
const uint8_t* At(const FrameImage& f, const Plane& p, int64_t row) {
  return f.Data + p.offset + row * p.width;
}

// Both records usable, distinct buffers, and each record's DataSize set.
bool Ready(FrameImage& source, FrameImage& destination) {
  ComputeFrameSize(source);
  ComputeFrameSize(destination);
  return geometry::Usable(source) && geometry::Usable(destination) && source.Data != destination.Data;
}

// The destination takes the source's header but for its own FOURCC and
// component order and the member the step changes (none: every other one).
void TakeSourceHeader(const FrameImage& s, FrameImage& d, int32_t ImageFormat::*changed = nullptr) {
  const ImageFormat kept = d;
  static_cast<ImageFormat&>(d) = s;
  d.Fourcc = kept.Fourcc;
  d.ComponentOrder = kept.ComponentOrder;
  if (changed) d.*changed = kept.*changed;
}

bool Is444(int32_t s) {
  return s == YUV_444 || s == RGB_444;
}

// Sizes the sub-sampled layouts need: whole chroma pairs, and whole fields.
bool RegularSize(const ImageFormat& f) {
  const int32_t w = f.ImgWidth, h = f.ImgHeight;
  if (w < 1 || h < 1) return false;
  if ((f.SamplingFormat == YUV_422 || f.SamplingFormat == YUV_420) && w % 2 != 0) return false;
  if (f.SamplingFormat == YUV_420 && h % 2 != 0) return false;
  // Odd heights interlace too (field 1 takes the extra row), except where two
  // rows of a field share their chroma.
  if (f.FieldFormat == Interlaced && f.SamplingFormat == YUV_420 && h < 4) return false;
  return true;
}

// ---- ConvertSampling ------------------------------------------------------

enum class SamplingMode {
  To422From444,
  To420From444,
  To444From422,
  To420From422,
  To444From420,
  To422From420
};

SamplingMode ModeOf(int32_t from, int32_t to) {
  switch (from) {
    case YUV_444:
      return to == YUV_422 ? SamplingMode::To422From444 : SamplingMode::To420From444;
    case YUV_422:
      return to == YUV_444 ? SamplingMode::To444From422 : SamplingMode::To420From422;
    default:
      return to == YUV_444 ? SamplingMode::To444From420 : SamplingMode::To422From420;
  }
}

// Byte positions of Y0, U, Y1, V inside a packed 4:2:2 group for an order.
struct GroupPositions {
  int y0, u, y1, v;
};
bool PositionsOf(int32_t order, GroupPositions& g) {
  switch (order) {
    case YUV:
      g = {0, 1, 2, 3};
      return true;
    case YVU:
      g = {0, 3, 2, 1};
      return true;
    case UYV:
      g = {1, 0, 3, 2};
      return true;
    default:
      return false;
  }
}

bool PackedSampling(const FrameImage& s, FrameImage& d, SamplingMode mode) {
  const int64_t w = s.ImgWidth, h = s.ImgHeight;
  GroupPositions g;
  if (mode == SamplingMode::To422From444) {
    if (!PositionsOf(d.ComponentOrder, g)) return false;
    for (int64_t r = 0; r < h; ++r) {
      const uint8_t* in = s.Data + r * 3 * w;
      uint8_t* out = d.Data + r * 2 * w;
      for (int64_t k = 0; k < w / 2; ++k, in += 6, out += 4) {
        out[g.y0] = in[0];
        out[g.y1] = in[3];
        out[g.u] = static_cast<uint8_t>((in[1] + in[4]) / 2);
        out[g.v] = static_cast<uint8_t>((in[2] + in[5]) / 2);
      }
    }
    return true;
  }
  if (mode == SamplingMode::To444From422) {
    if (!PositionsOf(s.ComponentOrder, g)) return false;
    for (int64_t r = 0; r < h; ++r) {
      const uint8_t* in = s.Data + r * 2 * w;
      uint8_t* out = d.Data + r * 3 * w;
      for (int64_t k = 0; k < w / 2; ++k, in += 4, out += 6) {
        out[0] = in[g.y0];
        out[1] = out[4] = in[g.u];
        out[2] = out[5] = in[g.v];
        out[3] = in[g.y1];
      }
    }
    return true;
  }
  return false;  // packed 4:2:0 does not exist
}

void FillPlane(FrameImage& d, const Plane& p, uint8_t value) {
  std::memset(d.Data + p.offset, value, static_cast<size_t>(p.size()));
}

void ConvertChromaPlane(const FrameImage& s, const Plane& in, FrameImage& d, const Plane& out,
                        SamplingMode mode) {
  if (in.size() == 0) {
    FillPlane(d, out, 128);
    return;
  }
  switch (mode) {
    case SamplingMode::To422From444:
      for (int64_t r = 0; r < out.rows; ++r) {
        const uint8_t* a = At(s, in, r);
        uint8_t* o = At(d, out, r);
        for (int64_t k = 0; k < out.width; ++k) o[k] = static_cast<uint8_t>((a[2 * k] + a[2 * k + 1]) / 2);
      }
      break;
    case SamplingMode::To420From444:
      for (int64_t r = 0; r < out.rows; ++r) {
        const uint8_t* a = At(s, in, 2 * r);
        const uint8_t* b = At(s, in, 2 * r + 1);
        uint8_t* o = At(d, out, r);
        for (int64_t k = 0; k < out.width; ++k) {
          o[k] = static_cast<uint8_t>((a[2 * k] + a[2 * k + 1] + b[2 * k] + b[2 * k + 1]) >> 2);
        }
      }
      break;
    case SamplingMode::To444From422:
    case SamplingMode::To444From420: {
      const bool halfRows = mode == SamplingMode::To444From420;
      for (int64_t r = 0; r < out.rows; ++r) {
        const uint8_t* a = At(s, in, std::min(halfRows ? r / 2 : r, in.rows - 1));
        uint8_t* o = At(d, out, r);
        for (int64_t x = 0; x < out.width; ++x) o[x] = a[std::min(x >> 1, in.width - 1)];
      }
      break;
    }
    case SamplingMode::To420From422:
      for (int64_t j = 0; j < out.rows; ++j) std::memcpy(At(d, out, j), At(s, in, 2 * j), out.width);
      break;
    case SamplingMode::To422From420:
      for (int64_t r = 0; r < out.rows; ++r) {
        std::memcpy(At(d, out, r), At(s, in, std::min(r >> 1, in.rows - 1)), out.width);
      }
      break;
  }
}

// ---- ConvertFieldFormat ---------------------------------------------------

// Moves rows between a progressive plane and the same plane of the two fields.
// Progressive row 2r is row r of field 1, row 2r + 1 row r of field 2.
void SplitRows(const FrameImage& s, const Plane& progressive, FrameImage& d, const Plane& f1,
               const Plane& f2) {
  for (int64_t r = 0; r < f1.rows; ++r) {
    std::memcpy(At(d, f1, r), At(s, progressive, 2 * r), f1.width);
    if (r < f2.rows) std::memcpy(At(d, f2, r), At(s, progressive, 2 * r + 1), f2.width);
  }
}

void MergeRows(const FrameImage& s, const Plane& f1, const Plane& f2, FrameImage& d,
               const Plane& progressive) {
  for (int64_t r = 0; r < f1.rows; ++r) {
    std::memcpy(At(d, progressive, 2 * r), At(s, f1, r), f1.width);
    if (r < f2.rows) std::memcpy(At(d, progressive, 2 * r + 1), At(s, f2, r), f2.width);
  }
  // A 4:2:0 frame whose fields have an odd number of rows has one chroma row
  // that belongs to neither field: repeat the row above it.
  for (int64_t r = 2 * f1.rows; r < progressive.rows; ++r) {
    std::memcpy(At(d, progressive, r), At(d, progressive, r - 1), progressive.width);
  }
}

}  // namespace

uint8_t ClampToByte(int value) {
  return static_cast<uint8_t>(value >= 255 ? 255 : (value < 0 ? 0 : value));
}

uint8_t ClampToByte(double value) {
  if (!(value > 0)) return 0;  // negatives and NaN
  if (value > 255) return 255;
  return static_cast<uint8_t>(static_cast<int>(value));
}

bool IsValidYuvFormat(const ImageFormat& f) {
  if (!IsYuvSampling(f.SamplingFormat)) return false;
  if (f.FieldFormat != Interlaced && f.FieldFormat != Progressive) return false;
  if (f.PixelFormat != Packed && f.PixelFormat != Planar) return false;
  if (f.BitsPerSample != 8) return false;  // deeper samples reach the engine as 8-bit frames
  const bool planarSubsampled = f.PixelFormat == Planar && f.SamplingFormat != YUV_444;
  if (f.ComponentOrder < YUV || f.ComponentOrder > (planarSubsampled ? YVU : UYV)) return false;
  if (f.SamplingFormat == YUV_420 && f.PixelFormat == Packed) return false;
  return RegularSize(f);
}

bool IsValidYuvLayout(const FrameImage& f) {
  if (!IsValidYuvFormat(f)) return false;
  const int32_t size = FrameSizeOf(f);
  return size > 0 && f.Data != nullptr && size <= f.Capacity;
}

bool IsCanonical444(const FrameImage& f) {
  return f.SamplingFormat == YUV_444 && f.ComponentOrder == YUV && f.FieldFormat == Progressive &&
         f.PixelFormat == Packed;
}

void SetCanonicalHeader(FrameImage& f, int32_t width, int32_t height) {
  f.Fourcc = 10;
  SetLayoutAndSize(f, {.sampling = YUV_444, .order = YUV, .field = Progressive, .pixel = Packed}, width,
                   height);
  ComputeFrameSize(f);
}

bool ConvertSampling(FrameImage& s, FrameImage& d) {
  if (!IsYuvSampling(s.SamplingFormat) || !IsYuvSampling(d.SamplingFormat)) return false;
  if (s.SamplingFormat == d.SamplingFormat) return false;
  TakeSourceHeader(s, d, &ImageFormat::SamplingFormat);
  if (!Ready(s, d) || !RegularSize(s) || !RegularSize(d)) return false;
  const SamplingMode mode = ModeOf(s.SamplingFormat, d.SamplingFormat);
  if (s.PixelFormat == Packed) return PackedSampling(s, d, mode);
  if (s.PixelFormat != Planar || !geometry::PicturesFit(s) || !geometry::PicturesFit(d)) return false;
  for (int field = 0; field < geometry::FieldCount(s); ++field) {
    const PlanarPicture in = geometry::PlanarField(s, field);
    const PlanarPicture out = geometry::PlanarField(d, field);
    std::memcpy(At(d, out.plane[0], 0), At(s, in.plane[0], 0), static_cast<size_t>(in.plane[0].size()));
    ConvertChromaPlane(s, in.plane[1], d, out.plane[1], mode);
    ConvertChromaPlane(s, in.plane[2], d, out.plane[2], mode);
  }
  return true;
}

bool ConvertFieldFormat(FrameImage& s, FrameImage& d) {
  if ((s.FieldFormat != Interlaced && s.FieldFormat != Progressive) || s.FieldFormat == d.FieldFormat) {
    return false;
  }
  if (s.SamplingFormat == BMP) {
    ShowMessage("Error CONF1001: BMP file do not need to convert !!! ");
    return false;
  }
  TakeSourceHeader(s, d, &ImageFormat::FieldFormat);
  if (!Ready(s, d)) return false;
  if (s.SamplingFormat == MONO || (s.SamplingFormat == YUV_420 && s.PixelFormat != Planar)) return false;
  if (s.SamplingFormat < YUV_444 || s.SamplingFormat > RGB_444) return false;
  FrameImage interlacedView = s.FieldFormat == Interlaced ? s : d;
  interlacedView.FieldFormat = Interlaced;
  if (!RegularSize(interlacedView)) return false;
  const bool split = s.FieldFormat == Progressive;
  const FrameImage& progressiveFrame = split ? s : d;
  const FrameImage& interlacedFrame = split ? d : s;
  if (s.PixelFormat == Packed) {
    const int64_t rowBytes = geometry::PackedRowBytes(s);
    const int64_t h = s.ImgHeight;
    const Plane whole{0, rowBytes, h};
    const Plane f1{0, rowBytes, (h + 1) / 2};
    const Plane f2{FieldTwoOffset(interlacedFrame), rowBytes, h / 2};
    if (split)
      SplitRows(s, whole, d, f1, f2);
    else
      MergeRows(s, f1, f2, d, whole);
    return true;
  }
  if (s.PixelFormat != Planar) return false;
  const PlanarPicture whole = geometry::PlanarField(progressiveFrame, 0);
  const PlanarPicture f1 = geometry::PlanarField(interlacedFrame, 0);
  const PlanarPicture f2 = geometry::PlanarField(interlacedFrame, 1);
  if (!geometry::PicturesFit(progressiveFrame) || !geometry::PicturesFit(interlacedFrame)) return false;
  for (int k = 0; k < 3; ++k) {
    if (split)
      SplitRows(s, whole.plane[k], d, f1.plane[k], f2.plane[k]);
    else
      MergeRows(s, f1.plane[k], f2.plane[k], d, whole.plane[k]);
  }
  return true;
}

bool ConvertPixelFormat(FrameImage& s, FrameImage& d) {
  if ((s.PixelFormat != Packed && s.PixelFormat != Planar) || s.PixelFormat == d.PixelFormat) return false;
  if (s.SamplingFormat == BMP) {
    ShowMessage("Error CONF1002: BMP file do not need to convert !!! ");
    return false;
  }
  TakeSourceHeader(s, d, &ImageFormat::PixelFormat);
  if (!Ready(s, d)) return false;
  if (!Is444(s.SamplingFormat) && s.SamplingFormat != YUV_422) return false;  // no packed 4:2:0, no mono
  if (s.FieldFormat != Progressive && s.FieldFormat != Interlaced) return false;
  if (!RegularSize(s)) return false;
  const bool toPacked = s.PixelFormat == Planar;
  const FrameImage& planar = toPacked ? s : d;
  if (!geometry::PicturesFit(planar)) return false;
  const int64_t w = s.ImgWidth;
  for (int field = 0; field < geometry::FieldCount(s); ++field) {
    const PlanarPicture p = geometry::PlanarField(planar, field);
    const int64_t base = geometry::FieldBase(planar, field);
    const int64_t rows = geometry::FieldRows(s, field);
    if (Is444(s.SamplingFormat)) {
      const int64_t n = w * rows;
      uint8_t* packedBytes = (toPacked ? d : s).Data + base;
      uint8_t* planes[3] = {(toPacked ? s : d).Data + p.plane[0].offset,
                            (toPacked ? s : d).Data + p.plane[1].offset,
                            (toPacked ? s : d).Data + p.plane[2].offset};
      if (toPacked) {
        for (int64_t i = 0; i < n; ++i) {
          packedBytes[3 * i] = planes[0][i];
          packedBytes[3 * i + 1] = planes[1][i];
          packedBytes[3 * i + 2] = planes[2][i];
        }
      } else {
        for (int64_t i = 0; i < n; ++i) {
          planes[0][i] = packedBytes[3 * i];
          planes[1][i] = packedBytes[3 * i + 1];
          planes[2][i] = packedBytes[3 * i + 2];
        }
      }
      continue;
    }
    // 4:2:2: the packed side is always U Y0 V Y1.
    FrameImage& planarFrame = toPacked ? s : d;
    FrameImage& packedFrame = toPacked ? d : s;
    for (int64_t r = 0; r < rows; ++r) {
      uint8_t* packedRow = packedFrame.Data + base + r * 2 * w;
      uint8_t* y = At(planarFrame, p.plane[0], r);
      uint8_t* u = At(planarFrame, p.plane[1], r);
      uint8_t* v = At(planarFrame, p.plane[2], r);
      for (int64_t k = 0; k < w / 2; ++k) {
        uint8_t* g = packedRow + 4 * k;
        if (toPacked) {
          g[0] = u[k];
          g[1] = y[2 * k];
          g[2] = v[k];
          g[3] = y[2 * k + 1];
        } else {
          u[k] = g[0];
          y[2 * k] = g[1];
          v[k] = g[2];
          y[2 * k + 1] = g[3];
        }
      }
    }
  }
  return true;
}

bool SwapComponents444(FrameImage& s, FrameImage& d, int a, int b) {
  if (!Is444(s.SamplingFormat) || a == b || a < 0 || a > 2 || b < 0 || b > 2) return false;
  TakeSourceHeader(s, d);
  ComputeFrameSize(s);
  ComputeFrameSize(d);
  if (!geometry::Usable(s) || !geometry::Usable(d) || !RegularSize(s)) return false;
  const bool inPlace = s.Data == d.Data;
  for (int field = 0; field < geometry::FieldCount(s); ++field) {
    if (s.PixelFormat == Planar) {
      if (!geometry::PicturesFit(s)) return false;
      const PlanarPicture p = geometry::PlanarField(s, field);
      const Plane& pa = p.plane[a];
      const Plane& pb = p.plane[b];
      if (inPlace) {
        std::swap_ranges(At(d, pa, 0), At(d, pa, 0) + pa.size(), At(d, pb, 0));
      } else {
        const int i = 3 - a - b;
        std::memcpy(At(d, pb, 0), At(s, pa, 0), static_cast<size_t>(pa.size()));
        std::memcpy(At(d, pa, 0), At(s, pb, 0), static_cast<size_t>(pb.size()));
        std::memcpy(At(d, p.plane[i], 0), At(s, p.plane[i], 0), static_cast<size_t>(p.plane[i].size()));
      }
    } else if (s.PixelFormat == Packed) {
      const int64_t base = geometry::FieldBase(s, field);
      const int64_t n = int64_t{s.ImgWidth} * geometry::FieldRows(s, field);
      const uint8_t* in = s.Data + base;
      uint8_t* out = d.Data + base;
      for (int64_t i = 0; i < n; ++i) {
        uint8_t px[3] = {in[3 * i], in[3 * i + 1], in[3 * i + 2]};
        std::swap(px[a], px[b]);
        out[3 * i] = px[0];
        out[3 * i + 1] = px[1];
        out[3 * i + 2] = px[2];
      }
    } else {
      return false;
    }
  }
  return true;
}

bool ReorderPacked422(FrameImage& s, FrameImage& d) {
  if (s.SamplingFormat != YUV_422) return false;
  const int32_t from = s.ComponentOrder, to = d.ComponentOrder;
  TakeSourceHeader(s, d);
  ComputeFrameSize(s);
  ComputeFrameSize(d);
  if (!geometry::Usable(s) || !geometry::Usable(d) || !RegularSize(s) || from == to) return false;
  if (s.PixelFormat == Planar) {
    if (!((from == YUV && to == YVU) || (from == YVU && to == YUV)) || !geometry::PicturesFit(s))
      return false;
    for (int field = 0; field < geometry::FieldCount(s); ++field) {
      const PlanarPicture p = geometry::PlanarField(s, field);
      if (s.Data == d.Data) {
        std::swap_ranges(At(d, p.plane[1], 0), At(d, p.plane[1], 0) + p.plane[1].size(),
                         At(d, p.plane[2], 0));
      } else {
        std::memcpy(At(d, p.plane[0], 0), At(s, p.plane[0], 0), static_cast<size_t>(p.plane[0].size()));
        std::memcpy(At(d, p.plane[1], 0), At(s, p.plane[2], 0), static_cast<size_t>(p.plane[1].size()));
        std::memcpy(At(d, p.plane[2], 0), At(s, p.plane[1], 0), static_cast<size_t>(p.plane[2].size()));
      }
    }
    return true;
  }
  if (s.PixelFormat != Packed) return false;
  // out[i] = in[pick[i]] for each 4-byte group.
  static constexpr std::array<int, 4> kYuvYvu{0, 3, 2, 1}, kYuvUyv{1, 0, 3, 2}, kYvuToUyv{3, 0, 1, 2},
      kUyvToYvu{1, 2, 3, 0};
  std::array<int, 4> pick;
  if ((from == YUV && to == YVU) || (from == YVU && to == YUV))
    pick = kYuvYvu;
  else if ((from == YUV && to == UYV) || (from == UYV && to == YUV))
    pick = kYuvUyv;
  else if (from == YVU && to == UYV)
    pick = kYvuToUyv;
  else if (from == UYV && to == YVU)
    pick = kUyvToYvu;
  else
    return false;
  const int64_t groups = int64_t{s.ImgHeight} * (s.ImgWidth / 2);
  for (int64_t i = 0; i < groups; ++i) {
    const uint8_t g[4] = {s.Data[4 * i], s.Data[4 * i + 1], s.Data[4 * i + 2], s.Data[4 * i + 3]};
    for (int k = 0; k < 4; ++k) d.Data[4 * i + k] = g[pick[k]];
  }
  return true;
}

bool SwapChroma420(FrameImage& s, FrameImage& d) {
  if (s.SamplingFormat != YUV_420 || s.PixelFormat != Planar) return false;
  const int32_t from = s.ComponentOrder, to = d.ComponentOrder;
  if (!((from == YUV && to == YVU) || (from == YVU && to == YUV))) return false;
  TakeSourceHeader(s, d);
  ComputeFrameSize(s);
  ComputeFrameSize(d);
  if (!geometry::Usable(s) || !geometry::Usable(d) || !RegularSize(s) || !geometry::PicturesFit(s))
    return false;
  for (int field = 0; field < geometry::FieldCount(s); ++field) {
    const PlanarPicture p = geometry::PlanarField(s, field);
    if (s.Data == d.Data) {
      std::swap_ranges(At(d, p.plane[1], 0), At(d, p.plane[1], 0) + p.plane[1].size(), At(d, p.plane[2], 0));
    } else {
      std::memcpy(At(d, p.plane[0], 0), At(s, p.plane[0], 0), static_cast<size_t>(p.plane[0].size()));
      std::memcpy(At(d, p.plane[1], 0), At(s, p.plane[2], 0), static_cast<size_t>(p.plane[1].size()));
      std::memcpy(At(d, p.plane[2], 0), At(s, p.plane[1], 0), static_cast<size_t>(p.plane[2].size()));
    }
  }
  return true;
}

bool ReorderComponents(FrameImage& s, FrameImage& d) {
  if (s.FieldFormat != Progressive || s.ComponentOrder == d.ComponentOrder) return false;
  const int32_t from = s.ComponentOrder, to = d.ComponentOrder;
  switch (s.SamplingFormat) {
    case YUV_444: {
      auto valid = [](int32_t o) { return o >= YUV && o <= UYV; };
      if (!valid(from) || !valid(to)) return false;
      if ((from == YUV && to == YVU) || (from == YVU && to == YUV)) return SwapComponents444(s, d, 1, 2);
      if ((from == YUV && to == UYV) || (from == UYV && to == YUV)) return SwapComponents444(s, d, 0, 1);
      if (from == YVU) return SwapComponents444(s, d, 1, 2) && SwapComponents444(d, d, 0, 1);
      return SwapComponents444(s, d, 0, 1) && SwapComponents444(d, d, 1, 2);
    }
    case RGB_444:
      // R,G,B <-> B,G,R: exchanging the first and third components.
      if (!((from == RGB && to == BGR) || (from == BGR && to == RGB))) return false;
      return SwapComponents444(s, d, 0, 2);
    case YUV_422:
      return ReorderPacked422(s, d);
    case YUV_420:
      return SwapChroma420(s, d);
    default:
      return false;
  }
}

}  // namespace vx
