#pragma once

// SSIM (structural similarity) of sample planes and of frames, computed as
// FFmpeg's ssim filter computes it (libavfilter/vf_ssim.c): each plane at its own
// size is cut into 4 x 4 blocks whose sums (a, b, a^2 + b^2, ab) make 8 x 8
// windows on a 4-sample grid, the last columns and rows that fill no block left
// out. A window's value is taken in single precision from the integer sums with
// the constants c1 = (0.01 max)^2 64 and c2 = (0.03 max)^2 64 63 rounded to
// integers (max = 2^bits - 1); the plane's value is the mean over its windows.
// 8-bit planes add each row of windows in double precision, deeper ones in
// single precision (as FFmpeg does). A frame's value ("All") weighs its planes by
// their numbers of samples.

#include <array>
#include <cstdint>

#include "image/FrameImage.h"

namespace vx {

// Windows of a plane of `width` x `rows` samples: ((width / 4) - 1) x ((rows / 4) - 1);
// 0 for planes smaller than 8 x 8.
int64_t SsimWindows(int64_t width, int64_t rows);

// SSIM of two planes of 8-bit samples (`stride`: samples from one row to the
// next). NaN when the planes hold no window.
double PlaneSsim(const uint8_t* a, const uint8_t* b, int64_t stride, int64_t width, int64_t rows);
// The same for samples of `bits` bits (9 to 16) in 16-bit words.
double PlaneSsim(const uint16_t* a, const uint16_t* b, int64_t stride, int64_t width, int64_t rows, int bits);

// The SSIM of two frames: Y, U, V for YUV layouts whatever their storage order,
// R G B as stored for RGB and BMP; mono frames have Y only.
struct FrameSsim {
  std::array<double, 3> plane{};
  int planes = 0;
  double all = 0;  // the planes weighed by their sizes
};

// Whether every plane of the layout holds a window (at least 8 x 8 samples).
bool SsimPlanesLargeEnough(const ImageFormat& layout);

// SSIM of two frames of one layout (any layout a file holds: packed, planar or
// semi-planar, any depth, either field format; an interlaced frame's planes hold
// the rows of both fields in picture order). False when the frames cannot be
// measured (layouts that differ or cannot be stored, buffers too small, a plane
// without a window).
bool MeasureFrameSsim(const FrameImage& a, const FrameImage& b, FrameSsim& out);

}  // namespace vx
