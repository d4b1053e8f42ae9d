#pragma once

#include <QColor>
#include <QPushButton>

namespace vx {

// A button whose face shows a colour; pressing it opens the colour chooser.
class ColourButton : public QPushButton {
  Q_OBJECT

 public:
  explicit ColourButton(QWidget* parent = nullptr);
  QColor colour() const { return colour_; }
  void setColour(const QColor& colour);
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
