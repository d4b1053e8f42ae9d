#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <functional>

#include "analysis/Compare.h"
#include "ui/controls/ColourButton.h"

namespace vx {

// The difference display the compare tool and the motion check share: grey scale
// with a brightness, or the pixels whose SAD lies between two values in a colour,
// set up from the saved settings.
struct DifferenceControls {
  // `changed` follows every choice but the two values (whose windows differ).
  DifferenceControls(QWidget* parent, const QString& greyText, const QString& rangeText,
                     const std::function<void()>& changed);
  // The grey scale's controls or the range's, as the mode chosen.
  void EnableForMode() const;
  // The display mode, brightness, values and colour into `d`.
  void Read(CompareDisplay& d) const;

  QRadioButton *grey, *range;
  QSlider* brightness;
  QLineEdit *brightnessBox, *low, *high;
  ColourButton* colour;
};

// The grid over the difference: its check box and colour, as saved.
struct DifferenceGrid {
  QCheckBox* grid;
  ColourButton* colour;
};
DifferenceGrid MakeDifferenceGrid(QWidget* parent, const QString& gridText, const QString& colourText);

// What Start keeps of the difference display for the next time.
void SaveDifferenceSettings(const CompareDisplay& d, const QCheckBox& grid, const ColourButton& gridColour);

}  // namespace vx
