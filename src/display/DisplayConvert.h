#pragma once

// Turning a frame into screen pixels: 24-bit rows (B G R, bottom row first, rows
// padded to 4 bytes), with optional brightness boost and grids.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "display/GridOverlay.h"
#include "image/ColorFormula.h"
#include "image/FrameImage.h"

namespace vx {

// Brightness selectors: which component is boosted.
enum BrightnessSelector : int { kBoostY = 0, kBoostU = 1, kBoostV = 2, kBoostAll = 3, kBoostNone = 4 };

// Bytes per display row: ((3W + 3) / 4) x 4 when padded, else 3W.
int64_t DisplayRowPitch(int64_t width, bool padRows);

// How YUV becomes RGB rows.
struct DisplayRowsOptions {
  bool bottomUp = false;      // the last row in memory is the top of the picture
  int brightness = 0;         // 0..100: the selected component times 101 / (101 - p)
  int selector = kBoostNone;  // which component the brightness boosts
  bool swapRedBlue = false;   // B G R even for top-down rows
  bool padRows = false;       // rows padded to 4 bytes
};

// Packed Y U V (3 bytes a pixel, top row first) to RGB rows with the formula of
// `tables`. Brightness p (limited to 0..100) multiplies the selected component by
// 101 / (101 - p) in single precision. Pixels are B G R when bottom-up or
// swapped, else R G B; bottom-up rows are written from the end of the buffer.
// Padding bytes are set to 0. False when a buffer is too small.
bool ConvertToDisplayRGB(const ColourTables& tables, std::span<const uint8_t> yuv, std::span<uint8_t> out,
                         int32_t width, int32_t height, const DisplayRowsOptions& options);

// A YUV frame of any valid layout straight to display rows: the same bytes as
// ToCanonical444 followed by ConvertToDisplayRGB. Planar 4:2:x frames without
// brightness boost take a fused single pass; everything else goes through the
// canonical form in `canonical` (a buffer of WorkBufferSize bytes).
bool FrameToDisplayRGB(const ColourTables& tables, const FrameImage& frame, FrameImage& canonical,
                       std::span<uint8_t> out, const DisplayRowsOptions& options);

// The size checks before a picture is drawn; shows DISP1001 or DISP1002.
bool CheckDisplaySize(int32_t width, int32_t height);

// The program-wide buffer that receives converted rows: width x height x 4 bytes,
// kept while the size stays the same. Used by the user-interface thread only.
class DisplayConversionBuffer {
 public:
  // The buffer for a picture size; empty when memory is short.
  std::span<uint8_t> Ensure(int32_t width, int32_t height);
  void Release();
  int64_t size() const { return static_cast<int64_t>(bytes_.size()); }

 private:
  std::vector<uint8_t> bytes_;
};
DisplayConversionBuffer& SharedDisplayBuffer();

// How a picture is drawn into a preview.
struct DrawOptions {
  bool yuvData = true;  // packed 4:4:4 YUV; otherwise display rows already
  int brightness = 0;
  int selector = kBoostNone;
  const GridPair* grids = nullptr;  // blended over the picture
};

// Steps of drawing a frame before it reaches the screen: the size checks, the
// conversion into the shared buffer for YUV data through `tables` (display rows are taken as they
// are), then the grids. Returns the display rows, or nullopt after a message.
std::optional<std::span<const uint8_t>> PrepareDisplayRows(const ColourTables& tables,
                                                           std::span<const uint8_t> data, int32_t width,
                                                           int32_t height, const DrawOptions& options);
// The same steps into `rows` (sized to the picture's display rows), for a caller
// that keeps the picture: no copy after the conversion. False after a message.
bool PrepareDisplayRowsInto(const ColourTables& tables, std::span<const uint8_t> data, int32_t width,
                            int32_t height, const DrawOptions& options, std::vector<uint8_t>& rows);

// Part of the picture copied into the preview: source rectangle in picture
// coordinates (top row 0) and where it lands relative to the preview origin. The
// scroll offsets may reach past the picture; the rectangle never does.
struct CopyWindow {
  int32_t sourceX = 0, sourceY = 0, width = 0, height = 0;
  int32_t destinationX = 0, destinationY = 0;
  bool empty() const { return width <= 0 || height <= 0; }
};
CopyWindow DisplayWindow(int32_t imageWidth, int32_t imageHeight, int32_t visibleWidth, int32_t visibleHeight,
                         int32_t horizontalOffset, int32_t verticalOffset);

}  // namespace vx
