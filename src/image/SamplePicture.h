#pragma once

// Changes of sampling, field format and size for samples deeper than 8 bits.
// The 8-bit engine makes them through a packed 4:4:4 picture of bytes; here the
// same steps run on a 4:4:4 picture of 16-bit samples, with the same arithmetic:
// fields interleaved row by row (a 4:2:0 chroma row that belongs to neither field
// repeats the row above it), chroma repeated over the pixels that share it,
// averaged back with truncation ((a + b) / 2, (a + b + c + d) >> 2), and the
// bilinear scaler's weights and rounding. At samples below 256 every step gives
// the 8-bit engine's values.

#include <array>
#include <cstdint>
#include <vector>

#include "image/FrameImage.h"

namespace vx {

// A progressive 4:4:4 picture: planes Y, U, V of width x height samples.
struct SamplePicture {
  int32_t width = 0;
  int32_t height = 0;
  std::array<std::vector<uint16_t>, 3> planes;

  // Sets the size; the planes keep their memory for the next frame of that size.
  void Resize(int32_t w, int32_t h);
  uint16_t* Row(int plane, int64_t row) { return planes[static_cast<size_t>(plane)].data() + row * width; }
  const uint16_t* Row(int plane, int64_t row) const {
    return planes[static_cast<size_t>(plane)].data() + row * width;
  }
};

// A frame of 16-bit little-endian words (BitsPerSample above 8) in a planar YUV
// layout (any sampling, field format and order a planar file may have) or mono
// (chroma at the middle value 2^(b-1)), as a picture. False for other layouts and
// frames too small for their layout.
bool WordFrameToPicture(const FrameImage& frame, SamplePicture& picture);

// A packed progressive 4:4:4 Y,U,V frame of bytes (the 8-bit engine's canonical
// picture) as a picture of samples v << shift.
bool CanonicalToPicture(const FrameImage& canonical, int shift, SamplePicture& picture);

// The picture in the planar YUV layout of `frame`'s header (16-bit words, the
// picture's size; its DataSize is set). Bytes the layout leaves unused are 0.
// False for other layouts, a size the sampling cannot hold, or a buffer too small.
bool PictureToWordFrame(const SamplePicture& picture, FrameImage& frame);

// `from` scaled bilinearly to the size `to` has been given (both at least 2 x 2,
// the sizes different), with the 8-bit scaler's weights and truncation. Rows are
// split between this thread and the helper thread for large pictures.
bool ScaleSamplePicture(const SamplePicture& from, SamplePicture& to);

}  // namespace vx
