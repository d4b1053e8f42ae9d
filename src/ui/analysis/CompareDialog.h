#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <optional>

#include "analysis/Compare.h"
#include "player/PlaybackLoop.h"
#include "ui/controls/ColourButton.h"
#include "ui/controls/PlaybackDriver.h"
#include "ui/display/PreviewArea.h"

namespace vx {

// "Calculate the Difference of Two YUV Files": plays two files of one layout in
// step and shows their difference with the frame's PSNR.
class CYUVCompare : public QDialog {
  Q_OBJECT

 public:
  explicit CYUVCompare(QWidget* parent = nullptr);
  ~CYUVCompare() override;

  void Browse(int index);
  // Browse's choice without the pickers: file `index` (1 or 2) in `format`.
  void ChooseFile(int index, const QString& path, const ImageFormat& format);
  // The block view of block (column, row) in comparison mode.
  void OpenBlock(int column, int row);
  // The value histogram or the position distribution of the current difference.
  void OpenHistogram(bool positions);

  CompareSequence& sequence() { return sequence_; }
  PlaybackLoop& loop() { return driver_->loop(); }
  bool WorkerRunning() const { return driver_->WorkerRunning(); }
  QPushButton* browseButton(int index) const { return index == 1 ? browse1_ : browse2_; }
  QPushButton* startButton() const { return driver_->controls().start(); }
  QPushButton* stopButton() const { return driver_->controls().stop(); }
  QPushButton* pauseButton() const { return driver_->controls().pause(); }
  QPushButton* stepBackButton() const { return driver_->controls().stepBack(); }
  QPushButton* stepForwardButton() const { return driver_->controls().stepForward(); }
  QSlider* slider() const { return driver_->controls().slider(); }
  QLineEdit* frameNumberBox() const { return driver_->controls().frameNumber(); }
  QComboBox* componentList() const { return components_; }
  QLineEdit* psnrBox() const { return psnr_; }
  QRadioButton* greyButton() const { return grey_; }
  QRadioButton* rangeButton() const { return range_; }
  QLineEdit* lowBox() const { return low_; }
  QLineEdit* highBox() const { return high_; }
  QRadioButton* backgroundButton(int mode) const { return backgrounds_[static_cast<size_t>(mode)]; }
  QSlider* brightnessSlider() const { return brightness_; }
  QCheckBox* gridBox() const { return grid_; }
  QLabel* columnLabel() const { return column_; }
  QLabel* rowLabel() const { return row_; }
  QPushButton* toggleButton() const { return toggle_; }
  QPushButton* exitButton() const { return exit_; }
  QPushButton* valueHistogramButton() const { return valueHistogram_; }
  QPushButton* positionButton() const { return positionHistogram_; }
  PreviewArea* preview() const { return preview_; }

 signals:
  void frameShown(int frame);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildControls();
  void BeforeStart();
  void UpdateControls(const PlayerControls& c);
  void SetUp();
  void ShowDisplay();
  void OptionsChanged();
  void LayOutPicture();
  void ToggleDetails();
  std::optional<QPoint> BlockAt(const QPoint& at) const;

  CompareSequence sequence_;
  PlaybackDriver* driver_ = nullptr;
  ImageFormat format1_, format2_;
  bool loaded1_ = false, loaded2_ = false, framesAvailable_ = false;
  bool compact_ = false;
  QGroupBox *file1Group_, *file2Group_, *playGroup_, *optionsGroup_, *displayGroup_, *gridGroup_;
  QLineEdit *path1_, *path2_, *format1Box_, *format2Box_, *psnr_, *low_, *high_, *brightnessBox_;
  QPushButton *browse1_, *browse2_, *valueHistogram_, *positionHistogram_, *toggle_, *exit_;
  QComboBox* components_;
  QRadioButton *grey_, *range_;
  std::array<QRadioButton*, 3> backgrounds_{};
  QSlider* brightness_;
  ColourButton *diffColour_, *gridColour_;
  QCheckBox* grid_;
  QLabel *column_, *row_;
  QWidget* previewPanel_;
  PreviewArea* preview_;
};

// The block view of block (column, row) of two frames of one layout and their
// difference, in comparison mode (the compare tool and the motion check).
void OpenCompareBlock(QWidget* parent, FrameImage one, FrameImage two, int column, int row, int selector);

}  // namespace vx
