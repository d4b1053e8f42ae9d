#pragma once

// Sizing a dialog around its preview, and scrolling a preview that is smaller
// than its picture. Pure computations: the dialogs apply the results.

#include <cstdint>

namespace vx {

struct Rect {
  int32_t x = 0, y = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

struct PreviewLayoutInput {
  int32_t screenWidth = 0, screenHeight = 0;
  int32_t originX = 0, originY = 0;             // preview origin in the dialog
  int32_t controlWidth = 0, controlHeight = 0;  // the dialog's control area
  int32_t imageWidth = 0, imageHeight = 0;
  int32_t step = 0;
  int32_t extraWidth = 0;
};

struct PreviewLayoutResult {
  int32_t originX = 0;       // possibly moved to centre a narrow picture
  int32_t controlWidth = 0;  // possibly widened to the picture
  int32_t visibleWidth = 0, visibleHeight = 0;
  Rect dialog;  // at the screen's top-left corner
  Rect verticalBar, horizontalBar;
  bool verticalBarShown = false, horizontalBarShown = false;
};

PreviewLayoutResult LayoutPreview(const PreviewLayoutInput& in);

// Range, page and start position of both preview scroll bars.
inline constexpr int32_t kScrollRange = 64;
inline constexpr int32_t kScrollPage = 8;

enum class ScrollAction { LineUp, LineDown, PageUp, PageDown, ThumbTrack, ThumbRelease, Home, End };

struct ScrollResult {
  int32_t offset = 0;    // new scroll offset in picture pixels
  int32_t position = 0;  // new position of the scroll bar
  bool changed = false;  // false: nothing happens
  bool repaint = false;  // the preview is redrawn
};

// One scroll-bar action in one direction. line step = (excess + 127) / 64, page
// step = (excess + 15) / 8, excess = picture size - visible size; releasing the
// thumb at position q gives q x line step + 8; end gives 64 line steps.
ScrollResult ApplyScroll(int32_t imageSize, int32_t visibleSize, int32_t offset, ScrollAction action,
                         int32_t thumbPosition = 0);

}  // namespace vx
