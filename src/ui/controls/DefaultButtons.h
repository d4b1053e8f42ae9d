#pragma once

#include <QWidget>

namespace vx {

// A dialog makes the first button in its tab order (a "Browse...") its default,
// so Return in any value box would click it. In a tool window only a button made
// the default on purpose stays one: Return in a box applies the value and clicks
// nothing. Called as the window is shown, before the dialog picks its default.
void KeepOnlyChosenDefaultButtons(QWidget& window);

}  // namespace vx
