#include "ui/analysis/DifferenceControls.h"

#include <QIntValidator>
#include <algorithm>

#include "model/Settings.h"
#include "ui/controls/PlayingWindow.h"

namespace vx {

DifferenceControls::DifferenceControls(QWidget* parent, const QString& greyText, const QString& rangeText,
                                       const std::function<void()>& changed) {
  const ProgramSettings& s = CurrentSettings();
  grey = new QRadioButton(greyText, parent);
  range = new QRadioButton(rangeText, parent);
  (s.DiffDisplayMode == 1 ? range : grey)->setChecked(true);
  brightness = new QSlider(Qt::Horizontal, parent);
  brightness->setRange(0, 100);
  brightness->setValue(std::clamp(s.BrightnessAdjust, 0, 100));
  brightnessBox = new QLineEdit(QString::number(brightness->value()), parent);
  brightnessBox->setReadOnly(true);
  brightnessBox->setMaximumWidth(50);
  low = new QLineEdit(QString::number(s.DiffThreshold[0]), parent);
  high = new QLineEdit(QString::number(s.DiffThreshold[1]), parent);
  for (QLineEdit* box : {low, high}) {
    box->setValidator(new QIntValidator(0, 765, box));
    box->setMaximumWidth(60);
  }
  colour = new ColourButton(parent);
  colour->setText(QStringLiteral("Diff Color"));
  colour->setRgb(s.ImageDiffColor_RGB);
  NameWidgets({{grey, "grey"}, {range, "range"}, {brightness, "brightness"}, {low, "low"}, {high, "high"}});
  NameWidgets({{colour, "diffColour"}, {brightnessBox, "brightnessBox"}});
  for (QRadioButton* b : {grey, range})
    QObject::connect(b, &QRadioButton::toggled, parent, [changed](bool on) {
      if (on) changed();
    });
  QObject::connect(brightness, &QSlider::valueChanged, parent, [box = brightnessBox, changed](int value) {
    box->setText(QString::number(value));
    changed();
  });
  QObject::connect(colour, &ColourButton::colourChosen, parent, [changed] { changed(); });
}

void DifferenceControls::EnableForMode() const {
  const bool rangeMode = range->isChecked();
  for (QWidget* w : {static_cast<QWidget*>(low), static_cast<QWidget*>(high), static_cast<QWidget*>(colour)})
    w->setEnabled(rangeMode);
  brightness->setEnabled(!rangeMode);
}

void DifferenceControls::Read(CompareDisplay& d) const {
  d.displayMode = range->isChecked() ? 1 : 0;
  d.brightness = brightness->value();
  d.low = low->text().toInt();
  d.high = high->text().toInt();
  d.colour = colour->rgb();
}

DifferenceGrid MakeDifferenceGrid(QWidget* parent, const QString& gridText, const QString& colourText) {
  const ProgramSettings& s = CurrentSettings();
  DifferenceGrid g{.grid = new QCheckBox(gridText, parent), .colour = new ColourButton(parent)};
  g.grid->setChecked(s.AddDiffGrid != 0);
  g.colour->setText(colourText);
  g.colour->setRgb(s.ImageDiffGridColor_RGB);
  return g;
}

void SaveDifferenceSettings(const CompareDisplay& d, const QCheckBox& grid, const ColourButton& gridColour) {
  ProgramSettings& s = CurrentSettings();
  s.DiffOverImage = d.background;
  s.DiffDisplayMode = d.displayMode;
  s.DiffThreshold = {d.low, d.high};
  s.BrightnessAdjust = d.brightness;
  s.AddDiffGrid = grid.isChecked() ? 1 : 0;
  s.ImageDiffColor_RGB = d.colour;
  s.ImageDiffGridColor_RGB = gridColour.rgb();
}

}  // namespace vx
