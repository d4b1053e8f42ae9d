#include "ui/controls/DefaultButtons.h"

#include <QPushButton>

namespace vx {

void KeepOnlyChosenDefaultButtons(QWidget& window) {
  for (QPushButton* button : window.findChildren<QPushButton*>()) {
    if (!button->isDefault()) button->setAutoDefault(false);
  }
}

}  // namespace vx
