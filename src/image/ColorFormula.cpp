#include "image/ColorFormula.h"

#include <atomic>

#include "image/KernelPaths.h"
#include "image/PixelOps.h"

namespace vx {

const UserFormula kDefaultUserFormula = {0.257f,  0.504f,   0.098f, 16.0f,     -0.148f, -0.291f,
                                         0.439f,  128.0f,   0.439f, -0.368f,   -0.071f, 128.0f,
                                         1.164f,  0.0f,     1.596f, -222.912f, 1.164f,  -0.39f,
                                         -0.813f, 135.488f, 1.164f, 2.018f,    0.0f,    -276.928f};

namespace {

struct IntegerFormula {
  int32_t rv, gu, gv, bu;
};
constexpr IntegerFormula kTables601{409, 100, 208, 516};
constexpr IntegerFormula kTables709{459, 55, 137, 541};

std::atomic<std::shared_ptr<const ColourTables>>& Published() {
  static std::atomic<std::shared_ptr<const ColourTables>> tables{
      std::make_shared<const ColourTables>(MakeColourTables(kItu601, UserFormula{}))};
  return tables;
}

// Row `row` of the matrix applied to (a, b, c), rounded half up, limited to 0..255.
uint8_t MatrixRow(const UserFormula& m, int row, int a, int b, int c) {
  const size_t i = static_cast<size_t>(4 * row);
  const double value = static_cast<double>(m[i]) * a + static_cast<double>(m[i + 1]) * b +
                       static_cast<double>(m[i + 2]) * c + static_cast<double>(m[i + 3]) + 0.5;
  return ClampToByte(value);
}

struct RgbToYuvCoefficients {
  int32_t yr, yg, yb, ur, ug, ub, vr, vg, vb;
};
constexpr RgbToYuvCoefficients kToYuv601{66, 129, 25, -38, -74, 112, 112, -94, -18};
constexpr RgbToYuvCoefficients kToYuv709{47, 157, 16, -26, -86, 112, 112, -102, -10};

// One row of 3-byte pixels through an integer RGB-to-YUV formula; the same
// arithmetic as RgbToYuvPixel.
template <bool kBlueFirst>
[[gnu::always_inline]] inline void IntegerRow(const uint8_t* in, uint8_t* out, int64_t n,
                                              RgbToYuvCoefficients c) {
  for (int64_t x = 0; x < n; ++x) {
    const int32_t r = in[3 * x + (kBlueFirst ? 2 : 0)];
    const int32_t g = in[3 * x + 1];
    const int32_t b = in[3 * x + (kBlueFirst ? 0 : 2)];
    out[3 * x] = static_cast<uint8_t>(((c.yr * r + c.yg * g + c.yb * b + 128) >> 8) + 16);
    out[3 * x + 1] = static_cast<uint8_t>(((c.ur * r + c.ug * g + c.ub * b + 128) >> 8) + 128);
    out[3 * x + 2] = static_cast<uint8_t>(((c.vr * r + c.vg * g + c.vb * b + 128) >> 8) + 128);
  }
}

}  // namespace

ColourTables MakeColourTables(int32_t formula, const UserFormula& user, const ColourTables* previous) {
  ColourTables t = previous ? *previous : ColourTables{};
  t.formula = formula;
  t.user = user;
  for (int j = -384; j < 640; ++j)
    t.clip[static_cast<size_t>(j + 384)] = static_cast<uint8_t>(j < 0 ? 0 : (j > 255 ? 255 : j));
  if (formula == kItu601 || formula == kItu709) {
    const IntegerFormula& f = formula == kItu601 ? kTables601 : kTables709;
    for (int k = 0; k < 256; ++k) {
      const size_t i = static_cast<size_t>(k);
      t.y[i] = 298 * (k - 16);
      t.rv[i] = f.rv * (k - 128);
      t.gu[i] = f.gu * (k - 128);
      t.gv[i] = f.gv * (k - 128);
      t.bu[i] = f.bu * (k - 128);
    }
  }
  return t;
}

void PublishColourFormula(const ColourFormula& f) {
  auto current = Published().load();
  if (current->formula == f.formula && current->user == f.user) return;
  Published().store(std::make_shared<const ColourTables>(MakeColourTables(f.formula, f.user, current.get())));
}

std::array<uint8_t, 3> FillBytes(const ColourTables& tables, const ImageFormat& format, RgbColor colour) {
  const auto byte = [](int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
  const uint8_t r = byte(colour.Red), g = byte(colour.Green), b = byte(colour.Blue);
  if (format.SamplingFormat == RGB_444) {
    if (format.ComponentOrder == RGB) return {r, g, b};
    return {b, g, r};
  }
  Yuv8 yuv{0, 128, 128};
  RgbToYuvPixel(tables.formula, tables.user, r, g, b, yuv);
  switch (format.ComponentOrder) {
    case YVU:
      return {yuv.y, yuv.v, yuv.u};
    case UYV:
      return {yuv.u, yuv.y, yuv.v};
    default:
      return {yuv.y, yuv.u, yuv.v};
  }
}

std::shared_ptr<const ColourTables> CurrentColourTables() {
  return Published().load();
}

Rgb8 YuvToRgbPixel(const ColourTables& t, uint8_t y, uint8_t u, uint8_t v) {
  if (t.formula == kItu601 || t.formula == kItu709) {
    const int32_t luma = t.y[y];
    return {t.Clip((luma + t.rv[v] + 128) >> 8), t.Clip((luma - t.gv[v] - t.gu[u] + 128) >> 8),
            t.Clip((luma + t.bu[u] + 128) >> 8)};
  }
  return {MatrixRow(t.user, 3, y, u, v), MatrixRow(t.user, 4, y, u, v), MatrixRow(t.user, 5, y, u, v)};
}

bool RgbToYuvPixel(int32_t formula, const UserFormula& user, uint8_t r, uint8_t g, uint8_t b, Yuv8& out) {
  switch (formula) {
    case kItu601:
      out = {static_cast<uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16),
             static_cast<uint8_t>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128),
             static_cast<uint8_t>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128)};
      return true;
    case kItu709:
      out = {static_cast<uint8_t>(((47 * r + 157 * g + 16 * b + 128) >> 8) + 16),
             static_cast<uint8_t>(((-26 * r - 86 * g + 112 * b + 128) >> 8) + 128),
             static_cast<uint8_t>(((112 * r - 102 * g - 10 * b + 128) >> 8) + 128)};
      return true;
    case kUserDefinedFormula:
      out = {MatrixRow(user, 0, r, g, b), MatrixRow(user, 1, r, g, b), MatrixRow(user, 2, r, g, b)};
      return true;
    default:
      return false;
  }
}

bool RgbBufferToYuv(const ColourTables& tables, std::span<const uint8_t> source,
                    std::span<uint8_t> destination, int32_t width, int32_t height,
                    const RgbRowsLayout& layout) {
  const auto [bottomUp, bgr, alignedRows] = layout;
  if (width < 1 || height < 1) return false;
  const int64_t w = width, h = height;
  const int64_t pitch = alignedRows ? (3 * w + 3) / 4 * 4 : 3 * w;
  if (static_cast<int64_t>(source.size()) < pitch * (h - 1) + 3 * w ||
      static_cast<int64_t>(destination.size()) < 3 * w * h) {
    return false;
  }
  const bool blueFirst = bottomUp || bgr;
  const int32_t formula = tables.formula;
  if (formula < kItu601 || formula > kUserDefinedFormula) return false;
  const auto integerRow = PickKernel<IntegerRow<true>, IntegerRow<false>>(blueFirst);
  for (int64_t r = 0; r < h; ++r) {
    const uint8_t* in = source.data() + (bottomUp ? h - 1 - r : r) * pitch;
    uint8_t* out = destination.data() + r * 3 * w;
    if (formula != kUserDefinedFormula) {
      integerRow(in, out, w, formula == kItu601 ? kToYuv601 : kToYuv709);
      continue;
    }
    for (int64_t x = 0; x < w; ++x) {
      const uint8_t* p = in + 3 * x;
      const uint8_t red = blueFirst ? p[2] : p[0];
      const uint8_t blue = blueFirst ? p[0] : p[2];
      Yuv8 yuv{};
      RgbToYuvPixel(formula, tables.user, red, p[1], blue, yuv);
      out[3 * x] = yuv.y;
      out[3 * x + 1] = yuv.u;
      out[3 * x + 2] = yuv.v;
    }
  }
  return true;
}

}  // namespace vx
