#include "display/PreviewLayout.h"

#include <algorithm>

namespace vx {
namespace {

int32_t RoundUpToStep(int32_t value, int32_t step) {
  if (step < 2) return value;
  return (value + step - 1) / step * step;
}

}  // namespace

PreviewLayoutResult LayoutPreview(const PreviewLayoutInput& in) {
  PreviewLayoutResult out;
  const int32_t largestWidth = std::max(RoundUpToStep(in.screenWidth - in.extraWidth - 84, in.step), 0);
  const int32_t largestHeight = std::max(RoundUpToStep(in.screenHeight - in.controlHeight - 88, in.step), 0);
  out.visibleWidth = std::min(in.imageWidth, largestWidth);
  out.visibleHeight = std::min(in.imageHeight, largestHeight);
  out.originX = in.originX;
  out.controlWidth = in.controlWidth;
  if (in.imageWidth < in.controlWidth) {
    out.originX = (in.controlWidth - in.imageWidth) / 2 + in.extraWidth + 28;
  } else {
    out.controlWidth = out.visibleWidth;
    if (in.extraWidth > 0) out.originX += in.extraWidth;
  }
  if (in.extraWidth > 0 && out.originX + in.imageWidth > out.controlWidth) out.controlWidth += in.extraWidth;
  out.dialog = {0, 0, out.controlWidth + 52,
                std::max(in.controlHeight + out.visibleHeight + 24, in.controlHeight + 344)};
  out.verticalBar = {out.originX - 16, in.originY, 16, out.visibleHeight};
  out.horizontalBar = {out.originX, in.originY - 16, out.visibleWidth, 16};
  out.verticalBarShown = in.imageHeight > out.visibleHeight;
  out.horizontalBarShown = in.imageWidth > out.visibleWidth;
  return out;
}

ScrollResult ApplyScroll(int32_t imageSize, int32_t visibleSize, int32_t offset, ScrollAction action,
                         int32_t thumbPosition) {
  ScrollResult result;
  result.offset = offset;
  if (imageSize <= 0) return result;
  const int32_t excess = imageSize - visibleSize;
  const int32_t line = (excess + 127) / 64;
  const int32_t page = (excess + 15) / 8;
  switch (action) {
    case ScrollAction::LineUp:
    case ScrollAction::LineDown:
    case ScrollAction::PageUp:
    case ScrollAction::PageDown: {
      const bool byPage = action == ScrollAction::PageUp || action == ScrollAction::PageDown;
      const bool back = action == ScrollAction::LineUp || action == ScrollAction::PageUp;
      result.offset = offset + (back ? -1 : 1) * (byPage ? page : line);
      break;
    }
    case ScrollAction::ThumbRelease:
      result.offset = thumbPosition * line + 8;
      result.repaint = true;
      break;
    case ScrollAction::Home:
      result.offset = 0;
      break;
    case ScrollAction::End:
      result.offset = kScrollRange * line;
      break;
    case ScrollAction::ThumbTrack:
      return result;  // moving the thumb does nothing until it is released
  }
  result.changed = true;
  result.repaint = true;
  result.position = line != 0 ? result.offset / line : 0;
  return result;
}

}  // namespace vx
