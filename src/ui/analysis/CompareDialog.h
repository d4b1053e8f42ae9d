#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <optional>

#include "analysis/Compare.h"
#include "ui/analysis/DifferenceControls.h"
#include "ui/controls/ColourButton.h"
#include "ui/controls/PlayingWindow.h"

namespace vx {

class FramePlot;

// "Calculate the Difference of Two YUV Files": plays two files of one layout in
// step and shows their difference with the frame's PSNR.
class CYUVCompare : public PlayingWindow {
  Q_OBJECT

 public:
  explicit CYUVCompare(QWidget* parent = nullptr);

  void Browse(int index);
  // Browse's choice without the pickers: file `index` (1 or 2) in `format`.
  void ChooseFile(int index, const QString& path, const ImageFormat& format);
  // The block view of block (column, row) in comparison mode.
  void OpenBlock(int column, int row);
  // The value histogram or the position distribution of the current difference.
  void OpenHistogram(bool positions);

  CompareSequence& sequence() { return sequence_; }

 protected:
  void ShowDisplay() override;
  void FollowControls(const PlayerControls& c) override;
  void changeEvent(QEvent* event) override;
  std::optional<QSize> PictureSize() const override;
  std::optional<PixelSamples> ShownSamplesAt(int x, int y) const override;
  QString DescribePixel(QPoint pixel) const override;

 private:
  void BuildControls();
  void BuildPlotWindow();
  void SetUp();
  void OptionsChanged();

  CompareSequence& sequence_;
  ImageFormat format1_, format2_;
  bool loaded1_ = false, loaded2_ = false, framesAvailable_ = false;
  QGroupBox *file1Group_, *file2Group_, *playGroup_, *optionsGroup_, *displayGroup_, *gridGroup_;
  QLineEdit *path1_, *path2_, *format1Box_, *format2Box_, *psnr_;
  QPushButton *browse1_, *browse2_, *valueHistogram_, *positionHistogram_, *exit_;
  QPushButton* plotButton_ = nullptr;
  QWidget* plotWindow_ = nullptr;
  FramePlot* plot_ = nullptr;
  QComboBox* components_;
  DifferenceControls diff_;
  std::array<QRadioButton*, 3> backgrounds_{};
  ColourButton* gridColour_;
  QCheckBox* grid_;
  QLabel *column_, *row_;
};

// The block view of block (column, row) of two frames of one layout and their
// difference, in comparison mode (the compare tool and the motion check).
void OpenCompareBlock(QWidget* parent, FrameImage one, FrameImage two, int column, int row, int selector);

}  // namespace vx
