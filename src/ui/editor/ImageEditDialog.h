#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "editor/EditorSequence.h"
#include "player/PlaybackLoop.h"
#include "ui/controls/ColourButton.h"
#include "ui/controls/PlaybackDriver.h"
#include "ui/display/PreviewArea.h"

namespace vx {

// "Edit Images Pixel by Pixel": plays one raw file, shows the 8 x 8 block under
// the mouse, and opens the block editor on a click; an accepted edit is written
// into the file in place.
class CImageEdit : public QDialog {
  Q_OBJECT

 public:
  explicit CImageEdit(QWidget* parent = nullptr);
  ~CImageEdit() override;

  void Browse();
  // The choice of Browse without the pickers (the format dialog is skipped when
  // `format` is given).
  void ChooseFile(const QString& path, const ImageFormat* format = nullptr);
  // Block (column, row) of the frame shown, edited in the block editor and written
  // back. False when nothing was written.
  bool EditBlock(int column, int row);

  EditorSequence& sequence() { return sequence_; }
  PlaybackLoop& loop() { return driver_->loop(); }
  bool WorkerRunning() const { return driver_->WorkerRunning(); }
  // No worker, or one parked while paused: what is shown stands still.
  bool FramesStandStill() const { return driver_->Idle(); }
  QPushButton* browseButton() const { return browse_; }
  QLineEdit* pathBox() const { return path_; }
  QLineEdit* formatBox() const { return format_; }
  QPushButton* startButton() const { return driver_->controls().start(); }
  QPushButton* stopButton() const { return driver_->controls().stop(); }
  QPushButton* pauseButton() const { return driver_->controls().pause(); }
  QPushButton* reverseButton() const { return driver_->controls().reverse(); }
  QPushButton* stepBackButton() const { return driver_->controls().stepBack(); }
  QPushButton* stepForwardButton() const { return driver_->controls().stepForward(); }
  QSlider* slider() const { return driver_->controls().slider(); }
  QLineEdit* frameNumberBox() const { return driver_->controls().frameNumber(); }
  QComboBox* componentList() const { return components_; }
  QCheckBox* gridBox() const { return grid_; }
  QLabel* columnLabel() const { return column_; }
  QLabel* rowLabel() const { return row_; }
  QPushButton* toggleButton() const { return toggle_; }
  QPushButton* exitButton() const { return exit_; }
  PreviewArea* preview() const { return preview_; }

 signals:
  void frameShown(int frame);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void UpdateControls(const PlayerControls& c);
  void ShowDisplay();
  void LayOutPicture();
  void ToggleDetailedControls();
  // The block under a point of the preview, or nullopt left of or above the picture.
  std::optional<QPoint> BlockAt(const QPoint& at) const;
  void Hover(const QPoint& at);

  EditorSequence sequence_;
  PlaybackDriver* driver_ = nullptr;
  QGroupBox *loadGroup_, *displayGroup_, *statusGroup_, *playGroup_;
  QLineEdit *path_, *format_;
  QPushButton *browse_, *exit_, *toggle_;
  QComboBox* components_;
  QCheckBox* grid_;
  ColourButton* gridColour_;
  QLabel *column_, *row_;
  QWidget* previewPanel_;
  PreviewArea* preview_;
  bool compact_ = false;
  std::optional<QPoint> hovered_;
};

}  // namespace vx
