#include "image/PixelProbe.h"

#include <algorithm>

#include "image/LayoutGeometry.h"
#include "platform/StringFormat.h"

namespace vx {
namespace {

// Which component (Y U V, or R G B) each stored position holds, by order.
constexpr std::array<std::array<int, 3>, 5> kComponentAt = {{
    {0, 1, 2},  // YUV
    {0, 2, 1},  // YVU
    {1, 0, 2},  // UYV
    {0, 1, 2},  // RGB
    {2, 1, 0},  // BGR
}};

// Byte positions of Y0, U, Y1, V inside a packed 4:2:2 group, by order.
struct GroupPositions {
  int y0, u, y1, v;
};
constexpr std::array<GroupPositions, 3> kGroupPositions = {{{0, 1, 2, 3}, {0, 3, 2, 1}, {1, 0, 3, 2}}};

// Samples of a frame by index: bytes, or 16-bit words with the value `shift` bits up.
struct SampleReader {
  const uint8_t* data;
  int64_t count;  // samples the frame holds
  int bytes;
  int shift;
  bool Has(int64_t i) const { return i >= 0 && i < count; }
  uint32_t operator()(int64_t i) const {
    if (bytes == 1) return data[i];
    return (data[2 * i] | uint32_t{data[2 * i + 1]} << 8) >> shift;
  }
};

}  // namespace

std::optional<PixelSamples> SamplesAt(const FrameImage& frame, int32_t x, int32_t y) {
  if (frame.Data == nullptr || x < 0 || y < 0 || x >= frame.ImgWidth || y >= frame.ImgHeight)
    return std::nullopt;
  const int32_t order = frame.ComponentOrder;
  if (order < YUV || order > BGR) return std::nullopt;
  // The layout counted in samples: its header at 8 bits; semi-planar fields lie as planar ones do.
  FrameImage g;
  static_cast<ImageFormat&>(g) = frame;
  g.BitsPerSample = 8;
  const bool pairs = g.PixelFormat == SemiPlanar;
  if (pairs) g.PixelFormat = Planar;
  if (ComputeFrameSize(g) <= 0) return std::nullopt;
  const int bytes = frame.BitsPerSample > 8 ? 2 : 1;
  const int64_t available = std::min<int64_t>(frame.DataSize, frame.Capacity) / bytes;
  const SampleReader read{frame.Data, std::min<int64_t>(available, g.DataSize), bytes,
                          pairs && bytes == 2 ? 16 - frame.BitsPerSample : 0};

  const int32_t s = g.SamplingFormat;
  const bool interlaced = g.FieldFormat == Interlaced && s != MONO;
  const int field = interlaced ? y & 1 : 0;
  const int64_t row = interlaced ? y >> 1 : y, w = g.ImgWidth;
  const int hShift = s == YUV_422 || s == YUV_420 ? 1 : 0, vShift = s == YUV_420 ? 1 : 0;
  // A last column or row that the subsampling rounds away (odd width, odd 4:2:0
  // height) shows the chroma beside it, which is what the conversions use.
  const int64_t fieldRows = geometry::FieldRows(g, field);
  const int64_t chromaColumn = std::min<int64_t>(x >> hShift, std::max<int64_t>(w >> hShift, 1) - 1);
  const int64_t chromaRow = std::min<int64_t>(row >> vShift, std::max<int64_t>(fieldRows >> vShift, 1) - 1);

  PixelSamples out;
  out.rgb = s == RGB_444 || s == BMP;
  out.chromaColumn = static_cast<int32_t>(chromaColumn);
  out.chromaRow = static_cast<int32_t>(interlaced ? 2 * chromaRow + field : chromaRow);
  std::array<int64_t, 3> at{};  // sample index of each component
  const auto& componentAt = kComponentAt[static_cast<size_t>(order)];
  if (s == MONO) {
    out.count = 1;
    at = {int64_t{y} * w + x, -1, -1};
  } else if (g.PixelFormat == Packed && s == YUV_422) {
    if (order > UYV) return std::nullopt;
    const GroupPositions p = kGroupPositions[static_cast<size_t>(order)];
    const int64_t start = (field == 1 ? FieldTwoOffset(g) : 0) + row * 2 * w;
    const int64_t group = start + (x / 2) * 4, chroma = start + chromaColumn * 4;
    // A lone pixel's row holds one chroma byte.
    at = {group + (x % 2 == 0 ? p.y0 : p.y1), chroma + p.u, chroma + (w == 1 ? p.u : p.v)};
  } else if (g.PixelFormat == Packed) {
    const int64_t pixel = (field == 1 ? FieldTwoOffset(g) : 0) + row * 3 * w + 3 * int64_t{x};
    for (int k = 0; k < 3; ++k) at[static_cast<size_t>(componentAt[static_cast<size_t>(k)])] = pixel + k;
  } else {
    const geometry::PlanarPicture planes = geometry::PlanarField(g, field);
    for (int k = 0; k < 3; ++k) {
      const geometry::Plane& plane = planes.plane[k];
      const int component = componentAt[static_cast<size_t>(k)];
      const bool full = component == 0 || out.rgb || s == YUV_444;
      at[static_cast<size_t>(component)] =
          full ? plane.offset + row * plane.width + x : plane.offset + chromaRow * plane.width + chromaColumn;
    }
    if (pairs) {
      // One plane of pairs where the two chroma planes would be: the first of a
      // pair is the component the order names first.
      const geometry::Plane& chroma = planes.plane[1];
      const int64_t pair = chroma.offset + chromaRow * 2 * chroma.width + 2 * chromaColumn;
      at[static_cast<size_t>(componentAt[1])] = pair;
      at[static_cast<size_t>(componentAt[2])] = pair + 1;
    }
  }
  for (int c = 0; c < out.count; ++c) {
    if (!read.Has(at[static_cast<size_t>(c)])) return std::nullopt;
    out.values[static_cast<size_t>(c)] = read(at[static_cast<size_t>(c)]);
  }
  return out;
}

std::string DescribeSamples(const PixelSamples& samples, int32_t x, int32_t y, bool subsampled) {
  std::string text = StrFormat("x %d  y %d", x, y);
  const char* names = samples.rgb ? "RGB" : "YUV";
  for (int c = 0; c < samples.count; ++c) {
    text += StrFormat("  %c %u", names[c], samples.values[static_cast<size_t>(c)]);
  }
  if (subsampled && samples.count == 3) {
    text += StrFormat(" (chroma %d, %d)", samples.chromaColumn, samples.chromaRow);
  }
  return text;
}

}  // namespace vx
