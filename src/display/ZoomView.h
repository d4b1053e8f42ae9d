#pragma once

// Where a picture lies in a preview that may magnify it: fit to the preview,
// 1:1, or 2x to 32x by powers of two (each picture pixel a square of screen
// pixels), scrolled by an offset in screen pixels of the magnified picture.
// Pure computations: the preview draws and scrolls by them.

#include <cstdint>
#include <optional>

#include "display/PreviewLayout.h"

namespace vx {

inline constexpr int32_t kMaxZoom = 32;
// From this magnification on, each pixel has room for its values as text.
inline constexpr int32_t kZoomShowingValues = 16;

struct PicturePoint {
  int32_t x = 0, y = 0;
  bool operator==(const PicturePoint&) const = default;
};

class ZoomView {
 public:
  // A new picture size keeps the zoom and, where it can, the offsets.
  void SetPicture(int32_t width, int32_t height);
  void SetViewport(int32_t width, int32_t height);

  bool fit() const { return fit_; }
  // The magnification: a power of two from 1 to 32, or the fit's scale.
  double scale() const;
  // 1..32; 0 while fitting.
  int32_t factor() const { return fit_ ? 0 : factor_; }
  // The magnified picture's size in screen pixels.
  int64_t shownWidth() const;
  int64_t shownHeight() const;
  int32_t offsetX() const { return offsetX_; }
  int32_t offsetY() const { return offsetY_; }

  // Zoom changes keep the picture point under `anchor` (viewport pixels) where it
  // is, as far as the picture's edges allow.
  void SetFactor(int32_t factor, int32_t anchorX, int32_t anchorY);
  void ZoomIn(int32_t anchorX, int32_t anchorY);   // the next power of two, up to 32x
  void ZoomOut(int32_t anchorX, int32_t anchorY);  // the one before; below 1:1 the fit, if smaller
  void Fit();
  // Offsets moved by (dx, dy) screen pixels, or set, kept inside the picture.
  void PanBy(int32_t dx, int32_t dy);
  void SetOffsets(int32_t x, int32_t y);
  // Offsets a scroll bar's step gives: its last steps may show the background
  // past the picture's end, but never beyond its last pixel.
  void ScrollTo(int32_t x, int32_t y);

  // The picture pixel under viewport point (x, y); nullopt outside the picture.
  std::optional<PicturePoint> PictureAt(int32_t x, int32_t y) const;
  // A rectangle of picture pixels in viewport pixels.
  Rect ToViewport(const Rect& picture) const;
  // The picture pixels that can be seen, and where they are drawn (viewport
  // pixels, the whole pixels magnified; the first and last may be cut by the edge).
  struct Drawn {
    Rect source, destination;
    bool empty() const { return source.width <= 0 || source.height <= 0; }
  };
  Drawn Visible() const;

 private:
  void Clamp();
  int32_t width_ = 0, height_ = 0;
  int32_t viewportWidth_ = 0, viewportHeight_ = 0;
  bool fit_ = false;
  int32_t factor_ = 1;
  int32_t offsetX_ = 0, offsetY_ = 0;
};

}  // namespace vx
