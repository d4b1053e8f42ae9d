#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "editor/EditorSequence.h"
#include "ui/controls/ColourButton.h"
#include "ui/controls/PlayingWindow.h"

namespace vx {

// "Edit Images Pixel by Pixel": plays one raw file, shows the 8 x 8 block under
// the mouse, and opens the block editor on a click; an accepted edit is written
// into the file in place.
class CImageEdit : public PlayingWindow {
  Q_OBJECT

 public:
  explicit CImageEdit(QWidget* parent = nullptr);

  void Browse();
  // The choice of Browse without the pickers (the format dialog is skipped when
  // `format` is given).
  void ChooseFile(const QString& path, const ImageFormat* format = nullptr);
  // Block (column, row) of the frame shown, edited in the block editor and written
  // back. False when nothing was written.
  bool EditBlock(int column, int row);

  EditorSequence& sequence() { return sequence_; }

 protected:
  void ShowDisplay() override;
  void FollowControls(const PlayerControls& c) override;
  std::optional<QSize> PictureSize() const override;

 private:
  EditorSequence& sequence_;
  QGroupBox *loadGroup_, *displayGroup_, *statusGroup_, *playGroup_;
  QLineEdit *path_, *format_;
  QPushButton *browse_, *exit_;
  QComboBox* components_;
  QCheckBox* grid_;
  ColourButton* gridColour_;
  QLabel *column_, *row_;
};

}  // namespace vx
