#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QSlider>

#include "display/GridOverlay.h"
#include "ui/controls/ColourButton.h"

namespace vx {

// "Display Grid Settings": the two global grids.
class CGrid : public QDialog {
  Q_OBJECT

 public:
  explicit CGrid(QWidget* parent = nullptr);

  struct GridControls {
    QCheckBox* enable;
    QLineEdit* width;
    QLineEdit* height;
    QLineEdit* red;
    QLineEdit* green;
    QLineEdit* blue;
    ColourButton* colour;
    QSlider* transparency;
    QLineEdit* transparencyEdit;
  };
  const GridControls& controls(int grid) const { return grids_[grid]; }

  void accept() override;

 private:
  QWidget* BuildGroup(int grid, const QString& title);
  void Load(int grid, const GridSettings& settings);
  // Reads one grid back; false (after a message) when a value is out of range.
  bool Read(int grid, GridSettings& out);

  GridControls grids_[2];
};

}  // namespace vx
