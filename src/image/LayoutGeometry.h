#pragma once

// Where the planes and rows of each layout lie (internal to the pixel engine).

#include <cstdint>
#include <cstring>

#include "image/FrameImage.h"

namespace vx::geometry {

struct Plane {
  int64_t offset = 0;  // from the start of the frame
  int64_t width = 0;   // bytes per row
  int64_t rows = 0;
  int64_t size() const { return width * rows; }
};

// The three planes of a planar picture of `width` x `rows` (a progressive frame or
// one field) that starts at `base`, in storage order.
struct PlanarPicture {
  Plane plane[3];
};

inline int64_t ChromaWidth(int32_t sampling, int64_t width) {
  return sampling == YUV_422 || sampling == YUV_420 ? width / 2 : width;
}

inline PlanarPicture PlanarAt(int32_t sampling, int64_t width, int64_t rows, int64_t base) {
  const int64_t chromaWidth = ChromaWidth(sampling, width);
  const int64_t chromaRows = sampling == YUV_420 ? rows / 2 : rows;
  PlanarPicture p;
  p.plane[0] = {base, width, rows};
  p.plane[1] = {base + width * rows, chromaWidth, chromaRows};
  p.plane[2] = {p.plane[1].offset + chromaWidth * chromaRows, chromaWidth, chromaRows};
  return p;
}

inline int FieldCount(const ImageFormat& f) {
  return f.FieldFormat == Interlaced ? 2 : 1;
}
// Rows of field `index`; field 1 (index 0) takes the extra row of an odd height.
inline int64_t FieldRows(const ImageFormat& f, int index) {
  if (f.FieldFormat != Interlaced) return f.ImgHeight;
  return index == 0 ? (int64_t{f.ImgHeight} + 1) / 2 : f.ImgHeight / 2;
}
// Start of field `index` (0 or 1) of a frame whose DataSize is set.
inline int64_t FieldBase(const FrameImage& f, int index) {
  return index == 0 ? 0 : FieldTwoOffset(f);
}

// The planes of field `index` (or of the whole progressive frame).
inline PlanarPicture PlanarField(const FrameImage& f, int index) {
  return PlanarAt(f.SamplingFormat, f.ImgWidth, FieldRows(f, index), FieldBase(f, index));
}

// Bytes per packed row: 3W for 4:4:4 and RGB, 2W for 4:2:2.
inline int64_t PackedRowBytes(const ImageFormat& f) {
  return f.SamplingFormat == YUV_422 ? 2 * int64_t{f.ImgWidth} : 3 * int64_t{f.ImgWidth};
}

// The record has a buffer that holds DataSize bytes and a positive size.
inline bool Usable(const FrameImage& f) {
  return f.Data != nullptr && f.ImgWidth >= 1 && f.ImgHeight >= 1 && f.DataSize > 0 &&
         f.DataSize <= f.Capacity;
}

inline bool PlaneFits(const Plane& p, int64_t dataSize) {
  return p.offset >= 0 && p.width >= 0 && p.rows >= 0 && p.offset + p.size() <= dataSize;
}

inline bool PicturesFit(const FrameImage& f) {
  for (int field = 0; field < FieldCount(f); ++field) {
    const PlanarPicture p = PlanarField(f, field);
    for (const Plane& plane : p.plane) {
      if (!PlaneFits(plane, f.DataSize)) return false;
    }
  }
  return true;
}

// Bytes of an interlaced 4:2:0 frame after its second field: with an odd number
// of chroma rows per frame one chroma row belongs to neither field.
inline void ZeroUnusedBytes(FrameImage& f) {
  if (f.SamplingFormat != YUV_420 || f.PixelFormat != Planar || f.FieldFormat != Interlaced) return;
  const PlanarPicture second = geometry::PlanarField(f, 1);
  const int64_t end = second.plane[2].offset + second.plane[2].size();
  if (end < f.DataSize) std::memset(f.Data + end, 0, static_cast<size_t>(f.DataSize - end));
}

// A packed progressive 3-byte picture whose pixels fit in its buffer.
inline bool PackedPixelsFit(const FrameImage& f) {
  return f.Data != nullptr && f.ImgWidth >= 1 && f.ImgHeight >= 1 &&
         int64_t{f.ImgWidth} * f.ImgHeight * 3 <= f.Capacity;
}

}  // namespace vx::geometry
