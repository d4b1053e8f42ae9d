#pragma once

#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <array>

#include "analysis/Histograms.h"

namespace vx {

// "Diagram of YUV difference value distribution": how often each difference value occurs.
class CYUVDiffValueHistogram : public QDialog {
  Q_OBJECT

 public:
  CYUVDiffValueHistogram(const FrameImage& difference, QWidget* parent = nullptr);
  const std::array<int, 256>& bars() const { return bars_; }

 private:
  std::array<int, 256> bars_{};
};

class ChartCanvas;

// "YUV difference value distribution for specified block size": the cell sums as a
// rotatable 3-D bar chart, over the whole picture or folded on a block.
class CYUVDiffPositionDistribution : public QDialog {
  Q_OBJECT

 public:
  // The difference picture and the display copies of the two files (packed 4:4:4 YUV).
  CYUVDiffPositionDistribution(const FrameImage& difference, const FrameImage& first,
                               const FrameImage& second, QWidget* parent = nullptr);
  // False when the pictures could not be taken (DIST1001 was shown).
  bool valid() const { return valid_; }

  const CellBars& cells() const { return cells_; }
  const ChartView& view() const { return view_; }
  QWidget* chart() const;

 private:
  void Recompute();
  void UpdateEnabled();
  int Mode() const;
  int BaseImage() const;

  const FrameImage& difference_;
  std::array<QImage, 2> pictures_;
  CellBars cells_;
  ChartView view_;
  bool valid_ = true;
  ChartCanvas* canvas_ = nullptr;
  std::array<QRadioButton*, 2> modes_{};
  std::array<QRadioButton*, 3> images_{};
  std::array<QPushButton*, 4> rotate_{};
  QSlider *blockSize_, *barHeight_;
  QLineEdit* blockBox_;
  QPushButton *blockUp_, *blockDown_, *heightUp_, *heightDown_;
};

}  // namespace vx
