#include "ui/controls/ScreenFit.h"

#include <QScreen>
#include <algorithm>

namespace vx {
namespace {

// A frame the window manager has not reported yet is taken as a title bar and borders.
QSize FrameExtra(const QWidget* window) {
  const QSize extra = window->frameGeometry().size() - window->geometry().size();
  return extra.isEmpty() ? QSize(8, 32) : extra.expandedTo(QSize(0, 0));
}

}  // namespace

QSize ContentRoomOnScreen(const QWidget* window) {
  const QScreen* screen = window->screen();
  if (!screen) return {1280, 800};
  return screen->availableGeometry().size() - FrameExtra(window);
}

void FitOnScreen(QWidget* window) {
  const QScreen* screen = window->screen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  const QSize room = ContentRoomOnScreen(window);
  if (window->width() > room.width() || window->height() > room.height()) {
    window->resize(std::min(window->width(), room.width()), std::min(window->height(), room.height()));
  }
  const QSize extra = FrameExtra(window);
  const QRect frame(window->pos(), window->size() + extra);
  if (!area.contains(frame)) window->move(area.topLeft());
}

PreviewLayoutResult LayoutPreviewOnScreen(const QWidget* window, QPoint origin, QSize controls, QSize image,
                                          int below) {
  const QSize screen = ContentRoomOnScreen(window);
  PreviewLayoutInput in;
  in.screenWidth = screen.width();
  in.screenHeight = screen.height() - below;
  in.originX = origin.x();
  in.originY = origin.y();
  in.controlWidth = controls.width();
  in.controlHeight = controls.height();
  in.imageWidth = image.width();
  in.imageHeight = image.height();
  PreviewLayoutResult result = LayoutPreview(in);
  result.dialog.height += below;
  return result;
}

}  // namespace vx
