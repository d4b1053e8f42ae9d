#pragma once

#include <QPainter>
#include <QPointF>
#include <QPushButton>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "analysis/MeasureSeries.h"

namespace vx {

// A measure against the frame number: one line per component, each curve's
// average as a dashed line in its colour, the worst frame of the key curve
// marked. Clicking the plot picks the nearest frame with a value; "Save as PNG..."
// writes the plot as a picture.
class FramePlot : public QWidget {
  Q_OBJECT

 public:
  explicit FramePlot(QWidget* parent = nullptr);

  // Starts over: curves `names` of a measure called `measure` ("PSNR (dB)", "SSIM").
  void Reset(const QString& measure, std::vector<std::string> names);
  // One value per curve for `frame` (a frame given again replaces its values).
  void Add(int32_t frame, const std::vector<double>& values);
  const MeasureSeries& series() const { return series_; }
  const QString& measure() const { return measure_; }
  // The plot as a PNG picture at `path`; false when it cannot be written.
  bool SavePng(const QString& path) const;
  // Where frame `frame` and value `value` are drawn (widget coordinates).
  QPointF PositionOf(double frame, double value) const;

  QSize sizeHint() const override { return {560, 220}; }
  QSize minimumSizeHint() const override { return {320, 160}; }

 signals:
  void frameChosen(int frame);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct Scale {
    double low = 0, high = 1;
    int32_t first = 1, last = 2;
  };
  void Draw(QPainter& painter) const;
  QRectF PlotArea() const;
  Scale CurrentScale() const;
  void AskAndSave();

  MeasureSeries series_;
  QString measure_ = QStringLiteral("PSNR (dB)");
  QPushButton* save_ = nullptr;
};

}  // namespace vx
