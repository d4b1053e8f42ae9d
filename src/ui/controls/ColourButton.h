#pragma once

#include <QColor>
#include <QPushButton>

#include "image/RgbColor.h"

namespace vx {

// A button whose face shows a colour; pressing it opens the colour chooser.
class ColourButton : public QPushButton {
  Q_OBJECT

 public:
  explicit ColourButton(QWidget* parent = nullptr);
  QColor colour() const { return colour_; }
  void setColour(const QColor& colour);
  RgbColor rgb() const { return {colour_.red(), colour_.green(), colour_.blue()}; }
  void setRgb(const RgbColor& c) { setColour(QColor(c.Red, c.Green, c.Blue)); }
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  // The user chose a colour in the chooser.
  void colourChosen(const QColor& colour);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor colour_{Qt::black};
};

}  // namespace vx
