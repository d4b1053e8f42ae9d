#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <array>

#include "editor/BlockEdit.h"
#include "ui/controls/ColourButton.h"
#include "ui/display/PreviewArea.h"

namespace vx {

// "Pixel Edit": one 8 x 8 block as numbers in up to three boxes next to its
// picture enlarged 16 times, which follows the typed values. OK hands the parsed
// values back; a value outside 0..255 (0..2^b - 1 for deeper samples) is refused
// and the dialog stays open.
class CBlockEdit : public QDialog {
  Q_OBJECT

 public:
  explicit CBlockEdit(QWidget* parent = nullptr);

  // Edit mode: the block of a frame of layout `frame`.
  void OpenForEdit(const ImageFormat& frame, const BlockRows& rows);
  // Comparison mode: the blocks of image 1, image 2 and their difference, shown
  // read-only; the radios choose the enlarged one. `selector` is the compare
  // tool's component choice (0..2, or 3 for all).
  void OpenForCompare(const ImageFormat& frame, const BlockRows& one, const BlockRows& two,
                      const BlockRows& difference, int selector);
  // The values after OK.
  const BlockRows& rows() const { return rows_; }

  void accept() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The typed values, parsed into a copy (the picture shows them as typed).
  BlockRows TypedRows() const;
  void Repaint();
  void ShowPixel(int column, int row);

  ImageFormat layout_;
  bool opened_ = false;
  BlockRows rows_;
  bool comparing_ = false;
  BlockRows two_, difference_;  // comparison mode: image 2 and the difference (image 1 in rows_)
  int selector_ = 3;
  BlockPicture onePicture_, twoPicture_;
  BlockPicture shown_;
  std::array<QPlainTextEdit*, 3> boxes_{};
  std::array<QLabel*, 3> labels_{};
  PreviewArea* picture_ = nullptr;
  QCheckBox* grid_ = nullptr;
  ColourButton* gridColour_ = nullptr;
  std::array<QRadioButton*, 3> images_{};
  QLabel *column_ = nullptr, *row_ = nullptr, *yuvLine_ = nullptr, *rgbLine_ = nullptr,
         *differenceLine_ = nullptr, *selectorLine_ = nullptr;
  QGroupBox* which_ = nullptr;
};

}  // namespace vx
