#include "image/Ssim.h"

#include <limits>
#include <vector>

#include "image/SampleStorage.h"

namespace vx {
namespace {

// The sums of one 4 x 4 block of both planes, or of four blocks (a window).
template <typename Sum>
struct BlockSums {
  Sum a = 0, b = 0, squares = 0, products = 0;  // sum a, sum b, sum a^2 + b^2, sum ab
  BlockSums operator+(const BlockSums& o) const {
    return {a + o.a, b + o.b, squares + o.squares, products + o.products};
  }
};

// 8-bit sums stay within 32 bits (64 samples of 255: 2 x 64 x 255^2 < 2^31).
using Sums8 = BlockSums<int32_t>;
using Sums16 = BlockSums<int64_t>;

// The blocks of one row of blocks (4 sample rows from `a` and `b`).
template <typename Sample, typename Sum>
void SumBlockRow(const Sample* a, const Sample* b, int64_t stride, int64_t blocks, BlockSums<Sum>* out) {
  for (int64_t z = 0; z < blocks; ++z) {
    BlockSums<Sum> s;
    for (int64_t y = 0; y < 4; ++y) {
      for (int64_t x = 0; x < 4; ++x) {
        const Sum va = a[4 * z + x + y * stride], vb = b[4 * z + x + y * stride];
        s.a += va;
        s.b += vb;
        s.squares += va * va + vb * vb;
        s.products += va * vb;
      }
    }
    out[z] = s;
  }
}

// One window's value from its integer sums, in single precision as FFmpeg takes it.
template <typename Sum>
float WindowSsim(const BlockSums<Sum>& s, Sum c1, Sum c2) {
  const Sum variances = s.squares * 64 - s.a * s.a - s.b * s.b;
  const Sum covariance = s.products * 64 - s.a * s.b;
  return static_cast<float>(2 * s.a * s.b + c1) * static_cast<float>(2 * covariance + c2) /
         (static_cast<float>(s.a * s.a + s.b * s.b + c1) * static_cast<float>(variances + c2));
}

// The mean over the windows; `RowTotal` adds a row of windows (double for 8-bit
// samples, float for deeper ones).
template <typename RowTotal, typename Sample, typename Sum>
double MeanOverWindows(const Sample* a, const Sample* b, int64_t stride, int64_t width, int64_t rows, Sum c1,
                       Sum c2) {
  const int64_t windows = SsimWindows(width, rows);
  if (windows == 0) return std::numeric_limits<double>::quiet_NaN();
  const int64_t blocks = width / 4, blockRows = rows / 4;
  std::vector<BlockSums<Sum>> above(static_cast<size_t>(blocks)), below(static_cast<size_t>(blocks));
  SumBlockRow(a, b, stride, blocks, above.data());
  double total = 0;
  for (int64_t y = 1; y < blockRows; ++y) {
    SumBlockRow(a + 4 * y * stride, b + 4 * y * stride, stride, blocks, below.data());
    RowTotal row = 0;
    for (int64_t i = 0; i + 1 < blocks; ++i) {
      const BlockSums<Sum> window = below[i] + below[i + 1] + above[i] + above[i + 1];
      row += WindowSsim(window, c1, c2);
    }
    total += row;
    above.swap(below);
  }
  return total / static_cast<double>(windows);
}

}  // namespace

int64_t SsimWindows(int64_t width, int64_t rows) {
  if (width < 8 || rows < 8) return 0;
  return (width / 4 - 1) * (rows / 4 - 1);
}

double PlaneSsim(const uint8_t* a, const uint8_t* b, int64_t stride, int64_t width, int64_t rows) {
  // (int)(.01 * .01 * 255 * 255 * 64 + .5) and (int)(.03 * .03 * 255 * 255 * 64 * 63 + .5)
  constexpr int32_t c1 = static_cast<int32_t>(.01 * .01 * 255 * 255 * 64 + .5);
  constexpr int32_t c2 = static_cast<int32_t>(.03 * .03 * 255 * 255 * 64 * 63 + .5);
  return MeanOverWindows<double>(a, b, stride, width, rows, c1, c2);
}

double PlaneSsim(const uint16_t* a, const uint16_t* b, int64_t stride, int64_t width, int64_t rows,
                 int bits) {
  const int max = (1 << bits) - 1;
  const auto c1 = static_cast<int64_t>(.01 * .01 * max * max * 64 + .5);
  const auto c2 = static_cast<int64_t>(.03 * .03 * max * max * 64 * 63 + .5);
  return MeanOverWindows<float>(a, b, stride, width, rows, c1, c2);
}

bool SsimPlanesLargeEnough(const ImageFormat& layout) {
  for (int c = 0; c < (layout.SamplingFormat == MONO ? 1 : 3); ++c) {
    const auto size = ComponentPlaneSize(layout, c);
    if (!size || SsimWindows(size->width, size->rows) == 0) return false;
  }
  return true;
}

namespace {

template <typename Sample>
bool MeasurePlanes(const FrameImage& a, const FrameImage& b, FrameSsim& out) {
  thread_local std::vector<Sample> planeA, planeB;
  int64_t sizes[3] = {0, 0, 0}, total = 0;
  for (int c = 0; c < out.planes; ++c) {
    const auto size = ComponentPlaneSize(a, c);
    if (!size || !LoadComponentPlane(a, c, planeA) || !LoadComponentPlane(b, c, planeB)) return false;
    if (SsimWindows(size->width, size->rows) == 0) return false;
    if constexpr (sizeof(Sample) == 1) {
      out.plane[c] = PlaneSsim(planeA.data(), planeB.data(), size->width, size->width, size->rows);
    } else {
      out.plane[c] =
          PlaneSsim(planeA.data(), planeB.data(), size->width, size->width, size->rows, a.BitsPerSample);
    }
    sizes[c] = size->width * size->rows;
    total += sizes[c];
  }
  // FFmpeg's weights: each plane's share of the samples, in double precision.
  out.all = 0;
  for (int c = 0; c < out.planes; ++c)
    out.all += static_cast<double>(sizes[c]) / static_cast<double>(total) * out.plane[c];
  return true;
}

}  // namespace

bool MeasureFrameSsim(const FrameImage& a, const FrameImage& b, FrameSsim& out) {
  if (!(static_cast<const ImageFormat&>(a) == static_cast<const ImageFormat&>(b))) return false;
  out = FrameSsim{};
  out.planes = a.SamplingFormat == MONO ? 1 : 3;
  return a.BitsPerSample > 8 ? MeasurePlanes<uint16_t>(a, b, out) : MeasurePlanes<uint8_t>(a, b, out);
}

}  // namespace vx
