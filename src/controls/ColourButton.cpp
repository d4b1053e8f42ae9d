#include "controls/ColourButton.h"

#include <QColorDialog>
#include <QPainter>
#include <QStyleOptionButton>

namespace vx {

ColourButton::ColourButton(QWidget* parent) : QPushButton(parent) {
  setMinimumSize(48, 24);
  connect(this, &QPushButton::clicked, this, [this] {
    const QColor chosen = QColorDialog::getColor(colour_, this);
    if (!chosen.isValid()) return;
    setColour(chosen);
    emit colourChosen(chosen);
  });
}

void ColourButton::setColour(const QColor& colour) {
  colour_ = colour;
  update();
}

void ColourButton::paintEvent(QPaintEvent* event) {
  QPushButton::paintEvent(event);
  QPainter painter(this);
  const QRect face = rect().adjusted(6, 5, -6, -5);
  painter.setPen(QPen(palette().color(QPalette::Mid), 1));
  painter.setBrush(colour_);
  painter.drawRect(face);
}

}  // namespace vx
