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
#include <array>
#include <optional>

#include "analysis/Motion.h"
#include "player/PlaybackLoop.h"
#include "ui/controls/ColourButton.h"
#include "ui/controls/PlaybackDriver.h"
#include "ui/display/PreviewArea.h"

namespace vx {

// "Check motions between two consecutive frames:": the difference of each frame
// and the one before it, a block selection moved by hand, and the current frame
// saved back into the file.
class CYUVCheckMotion : public QDialog {
  Q_OBJECT

 public:
  explicit CYUVCheckMotion(QWidget* parent = nullptr);
  ~CYUVCheckMotion() override;

  void Browse();
  void ChooseFile(const QString& path, const ImageFormat& format);
  // The four moves: 0 up, 1 right, 2 left, 3 down.
  void MoveSelection(int direction);
  void Save();

  MotionSequence& sequence() { return sequence_; }
  const BlockSelection& selection() const { return selection_; }
  PlaybackLoop& loop() { return driver_->loop(); }
  bool WorkerRunning() const { return driver_->WorkerRunning(); }
  // No worker, or one parked while paused: what is shown stands still.
  bool FramesStandStill() const { return driver_->Idle(); }
  int CurrentFrame() const { return current_; }
  QPushButton* browseButton() const { return browse_; }
  QPushButton* startButton() const { return driver_->controls().start(); }
  QPushButton* stopButton() const { return driver_->controls().stop(); }
  QPushButton* pauseButton() const { return driver_->controls().pause(); }
  QPushButton* reverseButton() const { return driver_->controls().reverse(); }
  QPushButton* stepBackButton() const { return driver_->controls().stepBack(); }
  QPushButton* stepForwardButton() const { return driver_->controls().stepForward(); }
  QLineEdit* frameNumberBox() const { return driver_->controls().frameNumber(); }
  QRadioButton* imageButton(int choice) const { return images_[static_cast<size_t>(choice)]; }
  QGroupBox* imageGroup() const { return imageGroup_; }
  QRadioButton* greyButton() const { return grey_; }
  QRadioButton* uniformButton() const { return uniform_; }
  QPushButton* selectButton(int which) const { return selectButtons_[static_cast<size_t>(which)]; }
  QPushButton* moveButton(int direction) const { return moves_[static_cast<size_t>(direction)]; }
  QLineEdit* stepBox() const { return step_; }
  QLineEdit* vectorBox() const { return vector_; }
  QLabel* blockLabel() const { return block_; }
  QPushButton* saveButton() const { return save_; }
  QPushButton* exitButton() const { return exit_; }
  PreviewArea* preview() const { return preview_; }

 signals:
  void frameShown(int frame);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  bool BeforeStart();
  void UpdateControls(const PlayerControls& c);
  void ShowDisplay();
  void OptionsChanged();
  void LayOutPicture();
  void Renumber();
  bool Editable() const;
  void ShowFrameNumber(int64_t pair);
  void OpenBlock(int column, int row);

  MotionSequence sequence_;
  PlaybackDriver* driver_ = nullptr;
  BlockSelection selection_;
  ImageFormat format_{};
  bool loaded_ = false;
  int current_ = 2;
  int dx_ = 0, dy_ = 0;
  std::optional<QPoint> dragStart_, dragEnd_;
  QLineEdit *path_, *formatBox_, *low_, *high_, *step_, *vector_, *brightnessBox_;
  QPushButton *browse_, *save_, *exit_;
  std::array<QPushButton*, 3> selectButtons_{};
  std::array<QPushButton*, 4> moves_{};
  QComboBox* components_;
  QRadioButton *grey_, *uniform_;
  std::array<QRadioButton*, 3> images_{};
  QGroupBox* imageGroup_;
  QSlider* brightness_;
  QCheckBox* grid_;
  ColourButton *diffColour_, *gridColour_;
  QLabel* block_;
  QWidget* previewPanel_;
  PreviewArea* preview_;
};

}  // namespace vx
