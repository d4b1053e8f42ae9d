#pragma once

#include <QSize>
#include <QWidget>

#include "display/PreviewLayout.h"

namespace vx {

// The room a window's contents may take on its screen: the available area less
// the frame the window manager adds (title bar, borders).
QSize ContentRoomOnScreen(const QWidget* window);

// LayoutPreview for a picture of `image` size in `window`, with the room of the
// window's screen: the preview at `origin` below controls of the given size, and
// `below` pixels under the preview (a status line) that the dialog's height includes.
PreviewLayoutResult LayoutPreviewOnScreen(const QWidget* window, QPoint origin, QSize controls, QSize image,
                                          int below = 0);

// Keeps a window inside its screen's available area: shrinks it to the area when
// it is larger (its preview keeps its scroll bars) and moves it to the area's
// top-left corner when any part of it lies outside.
void FitOnScreen(QWidget* window);

}  // namespace vx
