#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <array>
#include <optional>

#include "analysis/Motion.h"
#include "ui/analysis/DifferenceControls.h"
#include "ui/controls/ColourButton.h"
#include "ui/controls/PlayingWindow.h"

namespace vx {

// "Check motions between two consecutive frames:": the difference of each frame
// and the one before it, a block selection moved by hand, and the current frame
// saved back into the file.
class CYUVCheckMotion : public PlayingWindow {
  Q_OBJECT

 public:
  explicit CYUVCheckMotion(QWidget* parent = nullptr);

  void Browse();
  void ChooseFile(const QString& path, const ImageFormat& format);
  // The four moves: 0 up, 1 right, 2 left, 3 down.
  void MoveSelection(int direction);
  void Save();

  MotionSequence& sequence() { return sequence_; }
  const BlockSelection& selection() const { return selection_; }
  int CurrentFrame() const { return current_; }

 protected:
  void ShowDisplay() override;
  void FollowControls(const PlayerControls& c) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  std::optional<QSize> PictureSize() const override;
  std::optional<PixelSamples> ShownSamplesAt(int x, int y) const override;
  QString DescribePixel(QPoint pixel) const override;

 private:
  void BuildControls();
  void OptionsChanged();
  void Renumber();
  bool Editable() const;
  void ShowFrameNumber(int64_t pair);
  void OpenBlock(int column, int row);

  MotionSequence& sequence_;
  BlockSelection selection_;
  ImageFormat format_{};
  bool loaded_ = false;
  int current_ = 2;
  int dx_ = 0, dy_ = 0;
  std::optional<QPoint> dragStart_, dragEnd_;
  QLineEdit *path_, *formatBox_, *step_, *vector_;
  QPushButton *browse_, *save_, *exit_;
  std::array<QPushButton*, 3> selectButtons_{};
  std::array<QPushButton*, 4> moves_{};
  QComboBox* components_;
  DifferenceControls diff_;
  std::array<QRadioButton*, 3> images_{};
  QGroupBox* imageGroup_;
  QCheckBox* grid_;
  ColourButton* gridColour_;
  QLabel* block_;
};

}  // namespace vx
