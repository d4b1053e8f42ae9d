#include "image/SamplePicture.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "image/BilinearTaps.h"
#include "image/LayoutGeometry.h"
#include "image/PixelOps.h"
#include "platform/HelperThread.h"

namespace vx {
namespace {

static_assert(std::endian::native == std::endian::little, "16-bit samples are stored little-endian");

using geometry::Plane;

// Which component (0 Y, 1 U, 2 V) each stored plane holds, by component order.
constexpr std::array<std::array<int, 3>, 3> kComponentOfPlane = {{{0, 1, 2}, {0, 2, 1}, {1, 0, 2}}};

// The layout of `format` counted in samples rather than bytes: its header at 8
// bits. False for layouts this file does not take.
bool SampleGeometry(const ImageFormat& format, FrameImage& geometry) {
  geometry = FrameImage{};
  static_cast<ImageFormat&>(geometry) = format;
  geometry.BitsPerSample = 8;
  const int32_t w = format.ImgWidth, h = format.ImgHeight;
  if (w < 1 || h < 1 || format.BitsPerSample <= 8) return false;
  const int32_t s = format.SamplingFormat;
  if (s == MONO) return ComputeFrameSize(geometry) > 0;
  if (s != YUV_444 && s != YUV_422 && s != YUV_420) return false;
  if (format.PixelFormat != Planar) return false;
  if (format.ComponentOrder < YUV || format.ComponentOrder > (s == YUV_444 ? UYV : YVU)) return false;
  if (format.FieldFormat != Progressive && format.FieldFormat != Interlaced) return false;
  // Whole chroma pairs, and whole chroma rows in each field.
  if (s != YUV_444 && w % 2 != 0) return false;
  if (s == YUV_420 && (h % 2 != 0 || (format.FieldFormat == Interlaced && h < 4))) return false;
  return ComputeFrameSize(geometry) > 0;
}

// The frame's words: DataSize is twice the sample count and fits the buffer.
bool HoldsWords(const FrameImage& frame, const FrameImage& geometry) {
  return frame.Data != nullptr && 2 * int64_t{geometry.DataSize} <= frame.Capacity;
}

void LoadWords(const uint8_t* bytes, int64_t count, uint16_t* out) {
  std::memcpy(out, bytes, static_cast<size_t>(2 * count));
}

void StoreWords(const uint16_t* samples, int64_t count, uint8_t* bytes) {
  std::memcpy(bytes, samples, static_cast<size_t>(2 * count));
}

// Chroma subsampling of a layout: log2 of the pixels per chroma sample.
int HorizontalShift(int32_t sampling) {
  return sampling == YUV_422 || sampling == YUV_420 ? 1 : 0;
}
int VerticalShift(int32_t sampling) {
  return sampling == YUV_420 ? 1 : 0;
}

// A plane's rows of the whole frame, in picture order: a progressive plane as it
// is, an interlaced one from its two fields (picture row 2r is row r of field 1,
// row 2r + 1 row r of field 2; a 4:2:0 chroma row of neither field repeats the
// row above it).
void GatherPlane(const FrameImage& frame, const FrameImage& geometry, int k, int64_t rows, uint16_t* out) {
  const Plane first = geometry::PlanarField(geometry, 0).plane[k];
  const int64_t width = first.width;
  if (geometry.FieldFormat != Interlaced) {
    LoadWords(frame.Data + 2 * first.offset, first.size(), out);
    return;
  }
  const Plane second = geometry::PlanarField(geometry, 1).plane[k];
  for (int64_t r = 0; r < first.rows; ++r) {
    LoadWords(frame.Data + 2 * (first.offset + r * width), width, out + 2 * r * width);
    if (r < second.rows)
      LoadWords(frame.Data + 2 * (second.offset + r * width), width, out + (2 * r + 1) * width);
  }
  for (int64_t r = 2 * first.rows; r < rows; ++r) {
    std::memcpy(out + r * width, out + (r - 1) * width, static_cast<size_t>(2 * width));
  }
}

// The reverse: picture rows into the plane of each field.
void ScatterPlane(const uint16_t* in, const FrameImage& geometry, int k, FrameImage& frame) {
  const Plane first = geometry::PlanarField(geometry, 0).plane[k];
  const int64_t width = first.width;
  if (geometry.FieldFormat != Interlaced) {
    StoreWords(in, first.size(), frame.Data + 2 * first.offset);
    return;
  }
  const Plane second = geometry::PlanarField(geometry, 1).plane[k];
  for (int64_t r = 0; r < first.rows; ++r) {
    StoreWords(in + 2 * r * width, width, frame.Data + 2 * (first.offset + r * width));
    if (r < second.rows)
      StoreWords(in + (2 * r + 1) * width, width, frame.Data + 2 * (second.offset + r * width));
  }
}

// Rows of a plane over the whole frame (both fields together).
int64_t PictureRows(const FrameImage& geometry, int k) {
  FrameImage progressive = geometry;
  progressive.FieldFormat = Progressive;
  ComputeFrameSize(progressive);
  return geometry::PlanarField(progressive, 0).plane[k].rows;
}

// Each chroma sample repeated over the pixels that share it.
void Upsample(const uint16_t* chroma, int64_t width, int64_t rows, int hShift, int vShift,
              SamplePicture& picture, int component) {
  for (int64_t r = 0; r < picture.height; ++r) {
    const uint16_t* in = chroma + std::min(r >> vShift, rows - 1) * width;
    uint16_t* out = picture.Row(component, r);
    for (int64_t x = 0; x < picture.width; ++x) out[x] = in[std::min(x >> hShift, width - 1)];
  }
}

// Pairs (4:2:2) or quads (4:2:0) of samples averaged, truncated.
void Downsample(const SamplePicture& picture, int component, int hShift, int vShift, int64_t width,
                int64_t rows, uint16_t* out) {
  for (int64_t r = 0; r < rows; ++r) {
    const uint16_t* a = picture.Row(component, r << vShift);
    uint16_t* o = out + r * width;
    if (vShift == 0) {
      for (int64_t k = 0; k < width; ++k) o[k] = static_cast<uint16_t>((a[2 * k] + a[2 * k + 1]) / 2);
      continue;
    }
    const uint16_t* b = picture.Row(component, 2 * r + 1);
    for (int64_t k = 0; k < width; ++k) {
      o[k] = static_cast<uint16_t>((a[2 * k] + a[2 * k + 1] + b[2 * k] + b[2 * k + 1]) >> 2);
    }
  }
  (void)hShift;  // both subsamplings halve the width
}

std::vector<uint16_t>& ChromaScratch(int64_t samples) {
  thread_local std::vector<uint16_t> scratch;
  if (scratch.size() < static_cast<size_t>(samples)) scratch.resize(static_cast<size_t>(samples));
  return scratch;
}

// Destination rows first..last - 1 of every plane.
bool ScaleRows(const SamplePicture& s, SamplePicture& d, int64_t first, int64_t last) {
  thread_local std::vector<Tap> rows, columns;
  thread_local std::vector<double> upper, lower;
  if (!MakeTaps(s.height, d.height, rows) || !MakeTaps(s.width, d.width, columns)) return false;
  upper.resize(static_cast<size_t>(d.width));
  lower.resize(static_cast<size_t>(d.width));
  auto horizontal = [&](const uint16_t* row, std::vector<double>& out) {
    for (size_t j = 0; j < columns.size(); ++j) {
      const Tap& c = columns[j];
      out[j] = c.near * static_cast<double>(row[c.index]) + c.far * static_cast<double>(row[c.index + 1]);
    }
  };
  for (int k = 0; k < 3; ++k) {
    int64_t upperRow = -1, lowerRow = -1;
    for (int64_t i = first; i < last; ++i) {
      const Tap& r = rows[static_cast<size_t>(i)];
      if (upperRow != r.index) {
        if (lowerRow == r.index) {
          std::swap(upper, lower);
          std::swap(upperRow, lowerRow);
        } else {
          horizontal(s.Row(k, r.index), upper);
          upperRow = r.index;
        }
      }
      if (lowerRow != r.index + 1) {
        horizontal(s.Row(k, r.index + 1), lower);
        lowerRow = r.index + 1;
      }
      uint16_t* out = d.Row(k, i);
      for (int64_t j = 0; j < d.width; ++j) {
        const int value =
            static_cast<int>(r.near * upper[static_cast<size_t>(j)] + r.far * lower[static_cast<size_t>(j)]);
        out[j] = static_cast<uint16_t>(std::clamp(value, 0, 65535));
      }
    }
  }
  return true;
}

}  // namespace

void SamplePicture::Resize(int32_t w, int32_t h) {
  width = w;
  height = h;
  const size_t samples = static_cast<size_t>(int64_t{w} * h);
  for (auto& plane : planes) plane.resize(samples);
}

bool WordFrameToPicture(const FrameImage& frame, SamplePicture& picture) {
  FrameImage g;
  if (!SampleGeometry(frame, g) || !HoldsWords(frame, g)) return false;
  picture.Resize(g.ImgWidth, g.ImgHeight);
  const int64_t pixels = int64_t{g.ImgWidth} * g.ImgHeight;
  if (g.SamplingFormat == MONO) {
    LoadWords(frame.Data, pixels, picture.planes[0].data());
    const auto middle = static_cast<uint16_t>(1u << (frame.BitsPerSample - 1));
    std::fill(picture.planes[1].begin(), picture.planes[1].end(), middle);
    std::fill(picture.planes[2].begin(), picture.planes[2].end(), middle);
    return true;
  }
  const auto& components = kComponentOfPlane[static_cast<size_t>(g.ComponentOrder)];
  const int hShift = HorizontalShift(g.SamplingFormat), vShift = VerticalShift(g.SamplingFormat);
  for (int k = 0; k < 3; ++k) {
    const int component = components[static_cast<size_t>(k)];
    const int64_t rows = PictureRows(g, k);
    if (component == 0 || g.SamplingFormat == YUV_444) {
      GatherPlane(frame, g, k, rows, picture.Row(component, 0));
      continue;
    }
    const int64_t width = geometry::PlanarField(g, 0).plane[k].width;
    std::vector<uint16_t>& chroma = ChromaScratch(width * rows);
    GatherPlane(frame, g, k, rows, chroma.data());
    Upsample(chroma.data(), width, rows, hShift, vShift, picture, component);
  }
  return true;
}

bool CanonicalToPicture(const FrameImage& canonical, int shift, SamplePicture& picture) {
  if (!IsCanonical444(canonical) || canonical.Data == nullptr || shift < 0 || shift > 8) return false;
  const int64_t pixels = int64_t{canonical.ImgWidth} * canonical.ImgHeight;
  if (canonical.ImgWidth < 1 || canonical.ImgHeight < 1 || 3 * pixels > canonical.Capacity) return false;
  picture.Resize(canonical.ImgWidth, canonical.ImgHeight);
  for (int k = 0; k < 3; ++k) {
    uint16_t* out = picture.planes[static_cast<size_t>(k)].data();
    const uint8_t* in = canonical.Data + k;
    for (int64_t i = 0; i < pixels; ++i) out[i] = static_cast<uint16_t>(in[3 * i] << shift);
  }
  return true;
}

bool PictureToWordFrame(const SamplePicture& picture, FrameImage& frame) {
  FrameImage g;
  if (!SampleGeometry(frame, g) || g.SamplingFormat == MONO) return false;
  if (g.ImgWidth != picture.width || g.ImgHeight != picture.height || !HoldsWords(frame, g)) return false;
  frame.DataSize = 2 * g.DataSize;
  std::memset(frame.Data, 0, static_cast<size_t>(frame.DataSize));  // rows of neither field stay 0
  const auto& components = kComponentOfPlane[static_cast<size_t>(g.ComponentOrder)];
  const int hShift = HorizontalShift(g.SamplingFormat), vShift = VerticalShift(g.SamplingFormat);
  for (int k = 0; k < 3; ++k) {
    const int component = components[static_cast<size_t>(k)];
    if (component == 0 || g.SamplingFormat == YUV_444) {
      ScatterPlane(picture.Row(component, 0), g, k, frame);
      continue;
    }
    const int64_t width = geometry::PlanarField(g, 0).plane[k].width;
    const int64_t rows = PictureRows(g, k);
    std::vector<uint16_t>& chroma = ChromaScratch(width * rows);
    Downsample(picture, component, hShift, vShift, width, rows, chroma.data());
    ScatterPlane(chroma.data(), g, k, frame);
  }
  return true;
}

bool ScaleSamplePicture(const SamplePicture& from, SamplePicture& to) {
  if (from.width < 2 || from.height < 2 || to.width < 2 || to.height < 2) return false;
  if (from.width == to.width && from.height == to.height) return false;
  for (const auto& plane : from.planes) {
    if (plane.size() < static_cast<size_t>(int64_t{from.width} * from.height)) return false;
  }
  to.Resize(to.width, to.height);
  const int64_t H = to.height;
  bool upper = true, lower = true;
  if (H >= 64 && int64_t{to.width} * H >= (int64_t{1} << 16)) {
    RunAlongside([&] { upper = ScaleRows(from, to, 0, H / 2); },
                 [&] { lower = ScaleRows(from, to, H / 2, H); });
  } else {
    upper = ScaleRows(from, to, 0, H);
  }
  return upper && lower;
}

}  // namespace vx
