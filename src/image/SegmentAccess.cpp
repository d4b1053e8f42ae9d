// Row-segment and single-pixel access with blending, and the vertical flip built
// on it. Rows are addressed per layout, interlaced fields included, so tools can
// edit any layout without converting it.
#include <algorithm>
#include <cstring>
#include <vector>

#include "image/LayoutGeometry.h"
#include "image/PixelOps.h"
#include "platform/MessageSink.h"

namespace vx {
namespace {

// Where the samples of image row y start, per storage plane. For packed layouts
// only plane 0 is used and holds the row's first byte.
struct RowAddress {
  int64_t plane[3] = {0, 0, 0};
  int64_t planeCount = 1;
  // The last row of a 4:2:0 picture (or field) of odd height has no chroma row of
  // its own: it reads the one above and writes none.
  bool ownChroma = true;
};

RowAddress AddressOfRow(const FrameImage& f, int64_t y) {
  const bool interlaced = f.FieldFormat == Interlaced;
  const int field = interlaced ? static_cast<int>(y % 2) : 0;
  const int64_t r = interlaced ? y / 2 : y;
  const int64_t base = field == 1 ? FieldTwoOffset(f) : 0;
  RowAddress a;
  if (f.PixelFormat == Packed) {
    a.plane[0] = base + r * geometry::PackedRowBytes(f);
    return a;
  }
  a.planeCount = 3;
  const geometry::PlanarPicture p =
      geometry::PlanarAt(f.SamplingFormat, f.ImgWidth, geometry::FieldRows(f, field), base);
  const int64_t chromaRow = f.SamplingFormat == YUV_420 ? r / 2 : r;
  a.ownChroma = chromaRow < p.plane[1].rows;
  const int64_t chromaRead = std::max<int64_t>(std::min(chromaRow, p.plane[1].rows - 1), 0);
  a.plane[0] = p.plane[0].offset + r * p.plane[0].width;
  for (int k = 1; k < 3; ++k) a.plane[k] = p.plane[k].offset + chromaRead * p.plane[k].width;
  return a;
}

int64_t MonoRowOffset(const FrameImage& f, int64_t y) {
  if (f.FieldFormat != Interlaced) return y * f.ImgWidth;
  return (y % 2 == 1 ? FieldTwoOffset(f) : 0) + (y / 2) * f.ImgWidth;
}

bool InFrame(const FrameImage& f, int64_t offset, int64_t count) {
  return offset >= 0 && count >= 0 && offset + count <= f.DataSize;
}

// How the samples of an image lie: bytes, or 16-bit little-endian words with
// the value in the low bits; and the largest value.
struct SampleWidth {
  int bytes = 1;
  uint32_t top = 255;
};

uint32_t LoadSample(const uint8_t* image, int64_t i, const SampleWidth& w) {
  if (w.bytes == 1) return image[i];
  return std::min<uint32_t>(image[2 * i] | uint32_t{image[2 * i + 1]} << 8, w.top);
}

void StoreSample(uint8_t* image, int64_t i, uint32_t value, const SampleWidth& w) {
  if (w.bytes == 1) {
    image[i] = static_cast<uint8_t>(value);
    return;
  }
  image[2 * i] = static_cast<uint8_t>(value);
  image[2 * i + 1] = static_cast<uint8_t>(value >> 8);
}

// Moves `count` samples between the image and a buffer, blending on write.
template <typename Sample>
void Transfer(uint8_t* image, Sample* buffer, int64_t count, Access direction, int p, const SampleWidth& w) {
  if constexpr (sizeof(Sample) == 1) {
    if (direction == Access::Read) {
      std::memcpy(buffer, image, static_cast<size_t>(count));
    } else if (p == 0) {
      std::memcpy(image, buffer, static_cast<size_t>(count));
    } else {
      for (int64_t i = 0; i < count; ++i)
        image[i] = ClampToByte((p * image[i] + (100 - p) * buffer[i] + 50) / 100);
    }
    return;
  }
  for (int64_t i = 0; i < count; ++i) {
    const uint32_t old = LoadSample(image, i, w);
    if (direction == Access::Read) {
      buffer[i] = static_cast<Sample>(old);
      continue;
    }
    const uint32_t given = std::min<uint32_t>(buffer[i], w.top);
    const uint32_t value = p == 0 ? given : (p * old + (100 - p) * given + 50) / 100;
    StoreSample(image, i, std::min(value, w.top), w);
  }
}

// A layout whose pixels can be reached, over bytes that are there; the messages
// name what is refused.
bool LayoutAccessible(const FrameImage& f, const char* packed420Message, const char* bmpMessage) {
  if (f.SamplingFormat == YUV_420 && f.PixelFormat == Packed) {
    ShowMessage(packed420Message);
    return false;
  }
  if (f.SamplingFormat == BMP) {
    ShowMessage(bmpMessage);
    return false;
  }
  return f.Data != nullptr && f.DataSize <= f.Capacity;
}

bool SupportedForAccess(const FrameImage& f) {
  const bool sampling = f.SamplingFormat == YUV_444 || f.SamplingFormat == RGB_444 ||
                        f.SamplingFormat == YUV_422 || f.SamplingFormat == YUV_420;
  return sampling && (f.PixelFormat == Packed || f.PixelFormat == Planar) &&
         (f.FieldFormat == Progressive || f.FieldFormat == Interlaced);
}

// The image as its samples lie, for the addressing: deeper samples count as one
// each (the record's sizes halved, 8 bits); `width` says how they are stored.
// False for deeper samples the access does not reach (packed, RGB, semi-planar),
// and for deeper frames given to the 8-bit access.
bool SampleView(const FrameImage& image, bool deepAccess, FrameImage& view, SampleWidth& width) {
  view = image;
  width = SampleWidth{};
  if (image.BitsPerSample <= 8) return true;
  const bool planarYuv = IsYuvSampling(image.SamplingFormat) && image.PixelFormat == Planar;
  if (!deepAccess || image.BitsPerSample > 16 || !(planarYuv || image.SamplingFormat == MONO)) return false;
  width = {.bytes = 2, .top = (1u << image.BitsPerSample) - 1};
  view.BitsPerSample = 8;
  view.DataSize = image.DataSize / 2;
  view.Capacity = image.Capacity / 2;
  return true;
}

template <typename Sample>
bool AccessSegmentOf(FrameImage& sampled, BasicSegment<Sample>& segment, int row, int column, int length,
                     Access direction, int blendPercent) {
  FrameImage image;
  SampleWidth width;
  if (!SampleView(sampled, sizeof(Sample) > 1, image, width)) return false;
  const int b = width.bytes;
  const int p = std::clamp(blendPercent, 0, 100);
  const bool subsampled = image.SamplingFormat == YUV_422 || image.SamplingFormat == YUV_420;
  int64_t x = subsampled ? column / 2 * 2 : column;
  int64_t n = length;
  const int64_t w = image.ImgWidth, h = image.ImgHeight;
  if (row < 0) {
    ShowMessage("Error CONF1004: Row of the segment is negative !!! ");
    return false;
  }
  if (row >= h) {
    ShowMessage("Error CONF1005: Row of the segment bigger than image height!!! ");
    return false;
  }
  if (x + n < 0) {
    ShowMessage("Error CONF1006: The segment is nagative! ");
    return false;
  }
  if (x >= w) {
    ShowMessage("Error CONF1007: The segment is out of image width!!! ");
    return false;
  }
  if (x + n > w) n = w - x;
  if (x < 0) {
    n = x + n;
    x = 0;
  }
  if (!LayoutAccessible(image, "Error CONF1008: Packed format is not supported in 420 format !!! ",
                        "Error CONF1009: BMP must be converted to RGB first !!! ")) {
    return false;
  }
  if (image.SamplingFormat == MONO) {
    // One plane of W-byte rows (fields at half the frame when interlaced).
    const int64_t offset = MonoRowOffset(image, row) + x;
    if (!InFrame(image, offset, n) || n > static_cast<int64_t>(segment.first.size())) return false;
    Transfer(image.Data + b * offset, segment.first.data(), n, direction, p, width);
    return true;
  }
  if (!SupportedForAccess(image)) return false;
  const RowAddress a = AddressOfRow(image, row);
  uint8_t* data = image.Data;
  if (image.PixelFormat == Packed) {
    const int64_t bytesPerPixel = image.SamplingFormat == YUV_422 ? 2 : 3;
    const int64_t offset = a.plane[0] + bytesPerPixel * x;
    const int64_t count = bytesPerPixel * n;
    if (!InFrame(image, offset, count) || count > static_cast<int64_t>(segment.first.size())) return false;
    Transfer(data + offset, segment.first.data(), count, direction, p, width);
    return true;
  }
  const int64_t chromaStart = subsampled ? x / 2 : x;
  const int64_t chromaCount = subsampled ? n / 2 : n;
  const int64_t luma = a.plane[0] + x;
  const int64_t first = a.plane[1] + chromaStart;
  const int64_t second = a.plane[2] + chromaStart;
  if (!InFrame(image, luma, n) || !InFrame(image, first, chromaCount) ||
      !InFrame(image, second, chromaCount) || n > static_cast<int64_t>(segment.first.size()) ||
      chromaCount > static_cast<int64_t>(segment.second.size()) ||
      chromaCount > static_cast<int64_t>(segment.third.size())) {
    return false;
  }
  Transfer(data + b * luma, segment.first.data(), n, direction, p, width);
  if (direction == Access::Write && !a.ownChroma) return true;
  Transfer(data + b * first, segment.second.data(), chromaCount, direction, p, width);
  Transfer(data + b * second, segment.third.data(), chromaCount, direction, p, width);
  return true;
}

template <typename Sample>
bool AccessPixelOf(FrameImage& sampled, int row, int column, std::array<Sample, 3>& value, Access direction,
                   int blendPercent) {
  FrameImage image;
  SampleWidth width;
  if (!SampleView(sampled, sizeof(Sample) > 1, image, width)) return false;
  const int b = width.bytes;
  const int p = std::clamp(blendPercent, 0, 100);
  if (row >= image.ImgHeight) {
    ShowMessage("Error CONF1010: Row of the pixel bigger than image height!!! ");
    return false;
  }
  if (column >= image.ImgWidth) {
    ShowMessage("Error CONF1011: Col of the pixel bigger than image width!!! ");
    return false;
  }
  if (row < 0 || column < 0) return false;
  if (!LayoutAccessible(image, "Error CONF1012: Packed format is not supported in 420 format !!! ",
                        "Error CONF1013: BMP must be converted to RGB first !!! ")) {
    return false;
  }
  if (image.SamplingFormat == MONO) {
    // The single sample is the first value; the other two are left as they are.
    const int64_t offset = MonoRowOffset(image, row) + column;
    if (!InFrame(image, offset, 1)) return false;
    Transfer(image.Data + b * offset, &value[0], 1, direction, p, width);
    return true;
  }
  if (!SupportedForAccess(image)) return false;
  const RowAddress a = AddressOfRow(image, row);
  const int64_t x = column;
  int64_t offsets[3];
  bool chromaShared = false;
  int lumaIndex = 0;  // the value that is luma: the first but in U Y V order
  if (image.PixelFormat == Packed && image.SamplingFormat != YUV_422) {
    for (int k = 0; k < 3; ++k) offsets[k] = a.plane[0] + 3 * x + k;
  } else if (image.PixelFormat == Packed) {
    // At an odd width the row ends in half a group, without its second chroma
    // byte: the last pixel reads the chroma of the group to its left and writes
    // none (a lone pixel reads its one chroma byte for both).
    const int64_t group = a.plane[0] + 4 * (x / 2);
    const bool odd = x % 2 != 0;
    chromaShared = !odd && x + 1 == image.ImgWidth;
    const int64_t chroma = chromaShared && x >= 2 ? group - 4 : group;
    const bool lone = chromaShared && x < 2;
    if (image.ComponentOrder == UYV) {
      lumaIndex = 1;
      offsets[0] = chroma;
      offsets[1] = group + (odd ? 3 : 1);
      offsets[2] = chroma + (lone ? 0 : 2);
    } else {
      offsets[0] = group + (odd ? 2 : 0);
      offsets[1] = chroma + 1;
      offsets[2] = chroma + (lone ? 1 : 3);
    }
  } else {
    // The last pixel of an odd width has no chroma column of its own: it reads the
    // one to its left and writes none (as the last row of an odd 4:2:0 height).
    const int64_t chromaWidth = geometry::ChromaWidth(image.SamplingFormat, image.ImgWidth);
    const int64_t chroma = image.SamplingFormat == YUV_444 || image.SamplingFormat == RGB_444 ? x : x / 2;
    chromaShared = chroma >= chromaWidth || !a.ownChroma;
    const int64_t chromaRead = std::max<int64_t>(std::min(chroma, chromaWidth - 1), 0);
    offsets[0] = a.plane[0] + x;
    offsets[1] = a.plane[1] + chromaRead;
    offsets[2] = a.plane[2] + chromaRead;
  }
  for (int64_t offset : offsets) {
    if (!InFrame(image, offset, 1)) return false;
  }
  for (int k = 0; k < 3; ++k) {
    if (direction == Access::Write && chromaShared && k != lumaIndex) continue;
    Transfer(image.Data + b * offsets[k], &value[static_cast<size_t>(k)], 1, direction, p, width);
  }
  return true;
}

}  // namespace

bool AccessSegment(FrameImage& image, SegmentBuffer& segment, int row, int column, int length,
                   Access direction, int blendPercent) {
  return AccessSegmentOf(image, segment, row, column, length, direction, blendPercent);
}

bool AccessSegment(FrameImage& image, DeepSegment& segment, int row, int column, int length, Access direction,
                   int blendPercent) {
  return AccessSegmentOf(image, segment, row, column, length, direction, blendPercent);
}

bool AccessPixel(FrameImage& image, int row, int column, std::array<uint8_t, 3>& value, Access direction,
                 int blendPercent) {
  return AccessPixelOf(image, row, column, value, direction, blendPercent);
}

bool AccessPixel(FrameImage& image, int row, int column, std::array<uint16_t, 3>& value, Access direction,
                 int blendPercent) {
  return AccessPixelOf(image, row, column, value, direction, blendPercent);
}

namespace {

// Progressive planar YUV: each plane's rows are copied in reverse order, one copy
// per row. A 4:2:0 picture of odd height keeps its (H - 1) / 2 chroma rows, flipped
// among themselves, and the bytes after them.
bool FlipsPlaneByPlane(const FrameImage& f) {
  const bool yuvPlanar =
      f.PixelFormat == Planar &&
      (f.SamplingFormat == YUV_444 || f.SamplingFormat == YUV_422 || f.SamplingFormat == YUV_420);
  return yuvPlanar && f.FieldFormat == Progressive;
}

bool FlipPlanes(const FrameImage& source, FrameImage& destination) {
  const geometry::PlanarPicture p = geometry::PlanarField(source, 0);
  for (const geometry::Plane& plane : p.plane) {
    if (!geometry::PlaneFits(plane, source.DataSize) || !geometry::PlaneFits(plane, destination.Capacity))
      return false;
  }
  if (source.Data != destination.Data) {
    const int64_t tail = p.plane[2].offset + p.plane[2].size();
    std::memcpy(destination.Data + tail, source.Data + tail, static_cast<size_t>(source.DataSize - tail));
    for (const geometry::Plane& plane : p.plane) {
      for (int64_t r = 0; r < plane.rows; ++r) {
        std::memcpy(destination.Data + plane.offset + (plane.rows - 1 - r) * plane.width,
                    source.Data + plane.offset + r * plane.width, static_cast<size_t>(plane.width));
      }
    }
    return true;
  }
  thread_local std::vector<uint8_t> kept;  // in place: rows are exchanged pairwise
  for (const geometry::Plane& plane : p.plane) {
    kept.resize(static_cast<size_t>(plane.width));
    for (int64_t r = 0, s = plane.rows - 1; r < s; ++r, --s) {
      uint8_t* upper = destination.Data + plane.offset + r * plane.width;
      uint8_t* lower = destination.Data + plane.offset + s * plane.width;
      std::memcpy(kept.data(), upper, kept.size());
      std::memcpy(upper, lower, kept.size());
      std::memcpy(lower, kept.data(), kept.size());
    }
  }
  return true;
}

}  // namespace

bool FlipVertical(FrameImage& source, FrameImage& destination) {
  if (source.Data == nullptr || destination.Data == nullptr) return false;
  if (source.DataSize > destination.Capacity) return false;
  uint8_t* data = destination.Data;
  const int64_t capacity = destination.Capacity;
  destination = source;
  destination.Data = data;
  destination.Capacity = capacity;
  if (FlipsPlaneByPlane(source)) return FlipPlanes(source, destination);
  const int h = source.ImgHeight;
  SegmentBuffer upper(source.ImgWidth);
  FrameImage from = source;
  if (source.Data == destination.Data) {
    // In place: rows that share chroma (4:2:0) cannot be exchanged pairwise, so
    // the picture is read from a copy kept per thread.
    thread_local std::vector<uint8_t> copy;
    copy.assign(source.Data, source.Data + source.DataSize);
    from.Data = copy.data();
    from.Capacity = static_cast<int64_t>(copy.size());
  }
  for (int i = 0; i < h; ++i) {
    if (!AccessSegment(from, upper, i, 0, source.ImgWidth, Access::Read, 0) ||
        !AccessSegment(destination, upper, h - 1 - i, 0, source.ImgWidth, Access::Write, 0)) {
      return false;
    }
  }
  return true;
}

bool CropRows(FrameImage& source, FrameImage& destination, int32_t top, int32_t left, SegmentBuffer& row) {
  const int32_t width = destination.ImgWidth;
  for (int32_t j = top; j < top + destination.ImgHeight; ++j) {
    if (!AccessSegment(source, row, j, left, width, Access::Read, 0) ||
        !AccessSegment(destination, row, j - top, 0, width, Access::Write, 0)) {
      return false;
    }
  }
  return true;
}

}  // namespace vx
