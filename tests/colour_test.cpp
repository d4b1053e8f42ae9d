#include <gtest/gtest.h>

#include <random>

#include "display/DisplayConvert.h"
#include "image/ColorFormula.h"

namespace vx {
namespace {

TEST(ColourFormula, StandardFormulasEdgeCases) {
  const ColourTables t601 = MakeColourTables(kItu601, {});
  EXPECT_EQ(YuvToRgbPixel(t601, 16, 128, 128), (Rgb8{0, 0, 0}));
  EXPECT_EQ(YuvToRgbPixel(t601, 235, 128, 128), (Rgb8{255, 255, 255}));
  EXPECT_EQ(YuvToRgbPixel(t601, 81, 90, 240), (Rgb8{255, 0, 0}));
  Yuv8 yuv{};
  ASSERT_TRUE(RgbToYuvPixel(kItu601, {}, 255, 0, 0, yuv));
  EXPECT_EQ(yuv, (Yuv8{82, 90, 240}));
  ASSERT_TRUE(RgbToYuvPixel(kItu601, {}, 0, 0, 0, yuv));
  EXPECT_EQ(yuv, (Yuv8{16, 128, 128}));
  ASSERT_TRUE(RgbToYuvPixel(kItu709, {}, 255, 255, 255, yuv));
  EXPECT_EQ(yuv, (Yuv8{235, 128, 128}));
  ASSERT_TRUE(RgbToYuvPixel(kUserDefinedFormula, kDefaultUserFormula, 255, 255, 255, yuv));
  EXPECT_EQ(yuv.y, 235);
  yuv = {1, 2, 3};
  EXPECT_FALSE(RgbToYuvPixel(7, {}, 255, 255, 255, yuv));
  EXPECT_EQ(yuv, (Yuv8{1, 2, 3})) << "an unknown formula writes nothing";

  const ColourTables t709 = MakeColourTables(kItu709, {});
  EXPECT_EQ(t709.rv[255], 459 * 127);
  EXPECT_EQ(t709.gu[0], 55 * -128);
  EXPECT_EQ(t709.Clip(-384), 0);
  EXPECT_EQ(t709.Clip(639), 255);
  EXPECT_EQ(t709.Clip(77), 77);
  // The user formula keeps the integer tables it had.
  const ColourTables user = MakeColourTables(kUserDefinedFormula, kDefaultUserFormula, &t709);
  EXPECT_EQ(user.rv, t709.rv);
  EXPECT_EQ(kDefaultUserFormula[17], -0.39f);
  // Rounded half up in double precision from the float matrix.
  const Rgb8 grey = YuvToRgbPixel(user, 128, 128, 128);
  const double r = 1.164f * 128.0 + 1.596f * 128.0 + static_cast<double>(-222.912f) + 0.5;
  EXPECT_EQ(grey.r, static_cast<int>(r));
}

TEST(ColourFormula, RgbToYuvStaysInRangeWithoutClamping) {
  for (int32_t formula : {kItu601, kItu709}) {
    int lowY = 255, highY = 0, lowC = 255, highC = 0;
    for (int r = 0; r < 256; r += 5) {
      for (int g = 0; g < 256; g += 3) {
        for (int b = 0; b < 256; b += 7) {
          Yuv8 yuv{};
          RgbToYuvPixel(formula, {}, static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                        static_cast<uint8_t>(b), yuv);
          lowY = std::min<int>(lowY, yuv.y);
          highY = std::max<int>(highY, yuv.y);
          lowC = std::min({lowC, int{yuv.u}, int{yuv.v}});
          highC = std::max({highC, int{yuv.u}, int{yuv.v}});
        }
      }
    }
    EXPECT_GE(lowY, 16);
    EXPECT_LE(highY, 235);
    EXPECT_GE(lowC, 16);
    EXPECT_LE(highC, 240);
  }
}

TEST(RgbBufferToYuv, RowOrderPitchAndByteOrder) {
  const ColourTables t = MakeColourTables(kItu601, {});
  // 1 x 2 bottom-up aligned: rows at offsets 4 (top of the picture) and 0.
  const std::vector<uint8_t> bottomUp = {0, 0, 255, 0, 255, 0, 0, 0};  // B G R: red (bottom), blue (top)
  std::vector<uint8_t> out(6);
  ASSERT_TRUE(RgbBufferToYuv(t, bottomUp, out, 1, 2, RgbRowsLayout{.bottomUp = true, .alignedRows = true}));
  Yuv8 blue{}, red{};
  RgbToYuvPixel(kItu601, {}, 0, 0, 255, blue);
  RgbToYuvPixel(kItu601, {}, 255, 0, 0, red);
  EXPECT_EQ(out, (std::vector<uint8_t>{blue.y, blue.u, blue.v, red.y, red.u, red.v}));

  const std::vector<uint8_t> rgb = {255, 0, 0, 0, 0, 255};  // R G B, top-down, unpadded
  ASSERT_TRUE(RgbBufferToYuv(t, rgb, out, 2, 1, RgbRowsLayout{}));
  EXPECT_EQ(out, (std::vector<uint8_t>{red.y, red.u, red.v, blue.y, blue.u, blue.v}));
  ASSERT_TRUE(RgbBufferToYuv(t, rgb, out, 2, 1, RgbRowsLayout{.bgr = true}));
  EXPECT_EQ(out, (std::vector<uint8_t>{blue.y, blue.u, blue.v, red.y, red.u, red.v})) << "BGR flag";
  EXPECT_FALSE(RgbBufferToYuv(t, std::span(rgb).first(5), out, 2, 1, RgbRowsLayout{}));
}

// The display kernel computes the integer formulas without tables; it must give
// the table arithmetic's bytes for every one of the 256^3 inputs.
TEST(DisplayConversion, FixedPointKernelEqualsTablesForEveryInput) {
  const int32_t width = 4096, height = 4096;
  std::vector<uint8_t> yuv(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < size_t{1} << 24; ++i) {
    yuv[3 * i] = static_cast<uint8_t>(i >> 16);
    yuv[3 * i + 1] = static_cast<uint8_t>(i >> 8);
    yuv[3 * i + 2] = static_cast<uint8_t>(i);
  }
  std::vector<uint8_t> rows(yuv.size());
  for (int32_t formula : {kItu601, kItu709}) {
    const ColourTables t = MakeColourTables(formula, {});
    ASSERT_TRUE(ConvertToDisplayRGB(t, yuv, rows, width, height, DisplayRowsOptions{}));
    size_t mismatches = 0;
    for (size_t i = 0; i < size_t{1} << 24; ++i) {
      const Rgb8 expected = YuvToRgbPixel(t, yuv[3 * i], yuv[3 * i + 1], yuv[3 * i + 2]);
      mismatches +=
          rows[3 * i] != expected.r || rows[3 * i + 1] != expected.g || rows[3 * i + 2] != expected.b;
    }
    EXPECT_EQ(mismatches, 0u) << "formula " << formula;
  }
}

TEST(DisplayConversion, UserMatrixOnARandomSample) {
  UserFormula odd = kDefaultUserFormula;
  odd[12] = 1.3f;
  odd[19] = -300.25f;
  for (const UserFormula& matrix : {kDefaultUserFormula, odd}) {
    const ColourTables t = MakeColourTables(kUserDefinedFormula, matrix);
    std::mt19937 random(3);
    const int32_t width = 1000, height = 200;
    std::vector<uint8_t> yuv(static_cast<size_t>(width) * height * 3);
    for (uint8_t& b : yuv) b = static_cast<uint8_t>(random());
    std::vector<uint8_t> rows(static_cast<size_t>(DisplayRowPitch(width, true) * height));
    ASSERT_TRUE(ConvertToDisplayRGB(t, yuv, rows, width, height,
                                    DisplayRowsOptions{.bottomUp = true, .padRows = true}));
    for (int32_t r = 0; r < height; ++r) {
      for (int32_t x = 0; x < width; ++x) {
        const uint8_t* p = yuv.data() + 3 * (r * width + x);
        const uint8_t* o = rows.data() + (height - 1 - r) * DisplayRowPitch(width, true) + 3 * x;
        const Rgb8 expected = YuvToRgbPixel(t, p[0], p[1], p[2]);
        ASSERT_EQ((Rgb8{o[2], o[1], o[0]}), expected) << r << "," << x;
      }
    }
  }
}

TEST(DisplayConversion, BrightnessOrderAndPadding) {
  const ColourTables t = MakeColourTables(kItu601, {});
  const std::vector<uint8_t> yuv = {200, 128, 128, 16, 128, 128, 100, 128, 128};  // 3 x 1
  std::vector<uint8_t> rows(12, 0xEE);
  ASSERT_TRUE(ConvertToDisplayRGB(
      t, yuv, rows, 3, 1,
      DisplayRowsOptions{.bottomUp = true, .brightness = 50, .selector = kBoostY, .padRows = true}));
  // Y 200 x 101/51 = 396 -> 255; 16 -> 31; 100 -> 198.
  const Rgb8 a = YuvToRgbPixel(t, 255, 128, 128), b = YuvToRgbPixel(t, 31, 128, 128),
             c = YuvToRgbPixel(t, 198, 128, 128);
  EXPECT_EQ(rows, (std::vector<uint8_t>{a.b, a.g, a.r, b.b, b.g, b.r, c.b, c.g, c.r, 0, 0, 0}));

  const std::vector<uint8_t> two = {81, 90, 240, 16, 128, 128, 235, 128, 128, 16, 128, 128};  // 2 x 2
  std::vector<uint8_t> top(12);
  ASSERT_TRUE(ConvertToDisplayRGB(t, two, top, 2, 2, DisplayRowsOptions{.selector = kBoostY}));
  EXPECT_EQ(top, (std::vector<uint8_t>{255, 0, 0, 0, 0, 0, 255, 255, 255, 0, 0, 0}));
  ASSERT_TRUE(
      ConvertToDisplayRGB(t, two, top, 2, 2, DisplayRowsOptions{.selector = kBoostY, .swapRedBlue = true}));
  EXPECT_EQ(top[0], 0) << "swapped to B G R";
  EXPECT_EQ(top[2], 255);
  std::vector<uint8_t> bottom(16);
  ASSERT_TRUE(ConvertToDisplayRGB(
      t, two, bottom, 2, 2, DisplayRowsOptions{.bottomUp = true, .selector = kBoostY, .padRows = true}));
  EXPECT_EQ(std::vector<uint8_t>(bottom.begin() + 8, bottom.begin() + 11), (std::vector<uint8_t>{0, 0, 255}))
      << "the top row is last in a bottom-up buffer";
  std::vector<uint8_t> small(15);
  EXPECT_FALSE(ConvertToDisplayRGB(
      t, two, small, 2, 2, DisplayRowsOptions{.bottomUp = true, .selector = kBoostY, .padRows = true}));
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

// The whole-buffer conversion computes rows without the per-pixel switch; every
// RGB input must give RgbToYuvPixel's bytes.
TEST(RgbBufferToYuv, RowKernelEqualsThePixelFormulaForEveryInput) {
  const int32_t width = 4096, height = 4096;
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < size_t{1} << 24; ++i) {
    rgb[3 * i] = static_cast<uint8_t>(i >> 16);
    rgb[3 * i + 1] = static_cast<uint8_t>(i >> 8);
    rgb[3 * i + 2] = static_cast<uint8_t>(i);
  }
  std::vector<uint8_t> yuv(rgb.size());
  for (int32_t formula : {kItu601, kItu709}) {
    const ColourTables t = MakeColourTables(formula, {});
    for (bool bgr : {false, true}) {
      ASSERT_TRUE(RgbBufferToYuv(t, rgb, yuv, width, height, RgbRowsLayout{.bgr = bgr}));
      size_t mismatches = 0;
      for (size_t i = 0; i < size_t{1} << 24; ++i) {
        const uint8_t* p = rgb.data() + 3 * i;
        Yuv8 expected{};
        RgbToYuvPixel(formula, {}, bgr ? p[2] : p[0], p[1], bgr ? p[0] : p[2], expected);
        mismatches +=
            yuv[3 * i] != expected.y || yuv[3 * i + 1] != expected.u || yuv[3 * i + 2] != expected.v;
      }
      EXPECT_EQ(mismatches, 0u) << "formula " << formula << (bgr ? " BGR" : " RGB");
    }
  }
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

TEST(FillBytes, TheColourInTheLayoutsByteOrder) {
  const ColourTables t601 = MakeColourTables(kItu601, kDefaultUserFormula);
  const RgbColor red{255, 0, 0};
  auto layout = [](int32_t sampling, int32_t order) {
    ImageFormat f;
    f.SamplingFormat = sampling;
    f.ComponentOrder = order;
    return f;
  };
  using Bytes = std::array<uint8_t, 3>;
  EXPECT_EQ(FillBytes(t601, layout(RGB_444, BGR), red), (Bytes{0, 0, 255})) << "BGR stores blue first";
  EXPECT_EQ(FillBytes(t601, layout(RGB_444, RGB), red), (Bytes{255, 0, 0}));
  Yuv8 yuv{};
  ASSERT_TRUE(RgbToYuvPixel(kItu601, kDefaultUserFormula, 255, 0, 0, yuv));
  EXPECT_EQ(FillBytes(t601, layout(YUV_420, YUV), red), (Bytes{yuv.y, yuv.u, yuv.v}));
  EXPECT_EQ(FillBytes(t601, layout(YUV_444, YVU), red), (Bytes{yuv.y, yuv.v, yuv.u}));
  EXPECT_EQ(FillBytes(t601, layout(YUV_422, UYV), red), (Bytes{yuv.u, yuv.y, yuv.v}));
  // The formula comes with the tables, not from the program's settings.
  const ColourTables t709 = MakeColourTables(kItu709, kDefaultUserFormula);
  Yuv8 yuv709{};
  ASSERT_TRUE(RgbToYuvPixel(kItu709, kDefaultUserFormula, 255, 0, 0, yuv709));
  EXPECT_EQ(FillBytes(t709, layout(YUV_444, YUV), red), (Bytes{yuv709.y, yuv709.u, yuv709.v}));
  EXPECT_NE(yuv709.y, yuv.y);
  EXPECT_EQ(FillBytes(t601, layout(RGB_444, RGB), RgbColor{300, -5, 7}), (Bytes{255, 0, 7})) << "clamped";
}

}  // namespace
}  // namespace vx
