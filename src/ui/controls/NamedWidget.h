#pragma once

#include <QString>
#include <utility>

namespace vx {

// A new child widget with the object name tests and scripts find it by; `args`
// are the widget's own constructor's, its parent among them (which owns it).
template <typename Widget, typename... Args>
Widget* MakeNamed(const QString& objectName, Args&&... args) {
  auto* widget = new Widget(std::forward<Args>(args)...);
  widget->setObjectName(objectName);
  return widget;
}

}  // namespace vx
