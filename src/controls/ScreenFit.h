#pragma once

#include <QSize>
#include <QWidget>

namespace vx {

// The room a window's contents may take on its screen: the available area less
// the frame the window manager adds (title bar, borders).
QSize ContentRoomOnScreen(const QWidget* window);

// Keeps a window inside its screen's available area: shrinks it to the area when
// it is larger (its preview keeps its scroll bars) and moves it to the area's
// top-left corner when any part of it lies outside.
void FitOnScreen(QWidget* window);

}  // namespace vx
