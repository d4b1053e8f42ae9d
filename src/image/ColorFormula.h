#pragma once

// The colour formulas between YUV and RGB: ITU-R BT.601 and BT.709 in 8-bit
// fixed point (YUV to RGB through lookup tables), and a user-defined 6 x 4 matrix
// in floating point. The formula travels as a value: a job freezes the tables of
// the published formula at Start, the display functions take tables as a parameter.

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "image/ImageFormat.h"
#include "image/RgbColor.h"

namespace vx {

enum ColourFormulaValue : int32_t { kItu601 = 0, kItu709 = 1, kUserDefinedFormula = 2 };

// Rows 0..2: Y, U, V = cR R + cG G + cB B + offset; rows 3..5: R, G, B =
// cY Y + cU U + cV V + offset; each row holds (c, c, c, offset).
using UserFormula = std::array<float, 24>;
extern const UserFormula kDefaultUserFormula;

// Which formula, and the user matrix (used by kUserDefinedFormula only).
struct ColourFormula {
  int32_t formula = kItu601;
  UserFormula user{};
  bool operator==(const ColourFormula&) const = default;
};

// The formula in force and its lookup tables. Published as an immutable snapshot:
// workers take one per call or per frame and never see a table half rebuilt.
struct ColourTables {
  int32_t formula = kItu601;
  UserFormula user{};
  std::array<int32_t, 256> y{}, rv{}, gu{}, gv{}, bu{};
  std::array<uint8_t, 1024> clip{};  // index j + 384 for j = -384..639
  uint8_t Clip(int32_t j) const { return clip[static_cast<size_t>(j + 384)]; }
};

// Tables for a formula; for the user-defined one the integer tables keep the
// contents of `previous` (they are not used).
ColourTables MakeColourTables(int32_t formula, const UserFormula& user,
                              const ColourTables* previous = nullptr);

// Publishes the tables of the settings' formula for what starts or is drawn
// afterwards. Called at start-up and after the formula dialog; a no-op when
// nothing changed.
void PublishColourFormula(const ColourFormula& formula);
// The tables published last: a job takes them once at Start, a window for each
// picture it draws.
std::shared_ptr<const ColourTables> CurrentColourTables();

struct Rgb8 {
  uint8_t r, g, b;
  bool operator==(const Rgb8&) const = default;
};
struct Yuv8 {
  uint8_t y, u, v;
  bool operator==(const Yuv8&) const = default;
};

Rgb8 YuvToRgbPixel(const ColourTables& tables, uint8_t y, uint8_t u, uint8_t v);
// False (and nothing written) for a formula value outside 0..2.
bool RgbToYuvPixel(int32_t formula, const UserFormula& user, uint8_t r, uint8_t g, uint8_t b, Yuv8& out);

// The three bytes of one pixel of `format` that show `colour` (a padding fill, a
// colour key): RGB layouts take R, G, B (B, G, R unless the order is RGB); YUV
// layouts the colour through the formula of `tables`, in the layout's component
// order (Y U V, Y V U or U Y V).
std::array<uint8_t, 3> FillBytes(const ColourTables& tables, const ImageFormat& format, RgbColor colour);

// A 24-bit picture to packed Y U V (3 bytes a pixel, 3W a row, top row first).
// Source rows are ((3W + 3) / 4) x 4 bytes when `alignedRows`, else 3W; with
// `bottomUp` the last row in memory is the top of the picture. Pixels are B, G, R
// when `bottomUp` or `bgr`, else R, G, B. False when a buffer is too small.
struct RgbRowsLayout {
  bool bottomUp = false;     // the last row in memory is the top of the picture
  bool bgr = false;          // pixels are B, G, R (always so for bottom-up rows)
  bool alignedRows = false;  // rows padded to 4 bytes
};
bool RgbBufferToYuv(const ColourTables& tables, std::span<const uint8_t> source,
                    std::span<uint8_t> destination, int32_t width, int32_t height,
                    const RgbRowsLayout& layout);

}  // namespace vx
