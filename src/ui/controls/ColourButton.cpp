#include "ui/controls/ColourButton.h"

#include <QColorDialog>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>

namespace vx {

ColourButton::ColourButton(QWidget* parent) : QPushButton(parent) {
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

QSize ColourButton::sizeHint() const {
  const QSize base = QPushButton::sizeHint();
  return text().isEmpty() ? base : QSize(base.width() + base.height(), base.height());
}

QSize ColourButton::minimumSizeHint() const {
  // A caption is never cut.
  return text().isEmpty() ? QPushButton::minimumSizeHint().expandedTo(QSize(48, 24)) : sizeHint();
}

void ColourButton::paintEvent(QPaintEvent*) {
  // The button face, then the colour: the whole face without a caption, a square
  // before the caption with one (so "Diff Color" stays readable).
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  const QString caption = option.text;
  option.text.clear();
  painter.drawControl(QStyle::CE_PushButton, option);
  painter.setPen(QPen(palette().color(QPalette::Mid), 1));
  painter.setBrush(colour_);
  if (caption.isEmpty()) {
    painter.drawRect(rect().adjusted(6, 5, -6, -5));
    return;
  }
  const int side = std::max(8, height() - 12);
  painter.drawRect(QRect(8, (height() - side) / 2, side, side));
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  painter.drawText(rect().adjusted(side + 14, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft, caption);
}

}  // namespace vx
