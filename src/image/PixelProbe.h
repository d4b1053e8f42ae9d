#pragma once

// The samples a file stores for one pixel of a frame, at full depth: what the
// status line under a picture shows as the pointer moves.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "image/FrameImage.h"

namespace vx {

struct PixelSamples {
  bool rgb = false;                  // R G B, else Y U V (mono: Y only)
  int count = 3;                     // components: 1 for mono
  std::array<uint32_t, 3> values{};  // Y U V or R G B, whatever the storage order
  // The chroma sample the pixel uses: its column and row among the chroma samples
  // of the whole frame (equal to the pixel's for 4:4:4).
  int32_t chromaColumn = 0, chromaRow = 0;
};

// The samples of pixel (x, y) (picture coordinates, row 0 at the top) of a frame
// in any layout a file may have: packed, planar or semi-planar, either field
// format, 8 to 16 bits (BMP frames are read as the packed B G R pictures they
// are held in). Nullopt outside the picture or for a frame too small.
std::optional<PixelSamples> SamplesAt(const FrameImage& frame, int32_t x, int32_t y);

// "x 12  y 7  Y 512  U 498  V 530" with " (chroma 6, 3)" for subsampled layouts;
// mono "x 12  y 7  Y 512"; RGB "x 12  y 7  R 10  G 20  B 30".
std::string DescribeSamples(const PixelSamples& samples, int32_t x, int32_t y, bool subsampled);

}  // namespace vx
