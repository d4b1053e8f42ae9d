#include "ui/plot/FramePlot.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "ui/controls/FileNameDialogs.h"

namespace vx {
namespace {

// Y, U, V, All: dark grey, blue, red, green (readable on white, apart in print).
const QColor kCurveColours[] = {QColor(40, 40, 40), QColor(30, 90, 220), QColor(210, 40, 40),
                                QColor(20, 150, 60)};
constexpr int kLeft = 56, kRight = 12, kTop = 30, kBottom = 28;

QColor CurveColour(size_t curve) {
  return kCurveColours[curve % std::size(kCurveColours)];
}

// A step of 1, 2 or 5 times a power of ten giving about `wanted` intervals.
double NiceStep(double span, int wanted) {
  const double raw = span / std::max(wanted, 1);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double m : {1.0, 2.0, 5.0})
    if (m * power >= raw) return m * power;
  return 10 * power;
}

QString ValueText(double value, double step) {
  const int decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(step))), 0, 6);
  return QString::number(value, 'f', decimals);
}

}  // namespace

FramePlot::FramePlot(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("framePlot"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setToolTip(QStringLiteral("Click a point to go to its frame"));
  save_ = new QPushButton(QStringLiteral("Save as PNG..."), this);
  save_->setObjectName(QStringLiteral("savePlot"));
  save_->setEnabled(false);
  connect(save_, &QPushButton::clicked, this, &FramePlot::AskAndSave);
}

void FramePlot::Reset(const QString& measure, std::vector<std::string> names) {
  measure_ = measure;
  series_.Reset(std::move(names));
  save_->setEnabled(false);
  update();
}

void FramePlot::Add(int32_t frame, const std::vector<double>& values) {
  series_.Add(frame, values);
  save_->setEnabled(true);
  update();
}

bool FramePlot::SavePng(const QString& path) const {
  // Drawn afresh, without the button over it.
  QImage picture(size(), QImage::Format_RGB32);
  {
    QPainter painter(&picture);
    Draw(painter);
  }
  return picture.save(path, "PNG");
}

void FramePlot::AskAndSave() {
  const QString path =
      AskSaveFileName(this, FileNameRequest{.question = FileNameQuestion::Save,
                                            .caption = QStringLiteral("Save the plot"),
                                            .start = QStringLiteral("plot.png"),
                                            .filters = QStringLiteral("PNG pictures (*.png);;All Files(*)")});
  if (path.isEmpty()) return;
  if (!SavePng(path))
    ShowMessage(StrFormat("Error PLOT1001: The plot cannot be written to %s\n", path.toStdString().c_str()));
}

QRectF FramePlot::PlotArea() const {
  return QRectF(kLeft, kTop, std::max(width() - kLeft - kRight, 10), std::max(height() - kTop - kBottom, 10));
}

FramePlot::Scale FramePlot::CurrentScale() const {
  Scale s;
  const auto extent = series_.Extent();
  if (!extent) return s;
  s.first = extent->first;
  s.last = std::max(extent->last, extent->first + 1);
  // Room above and below the values; a flat curve gets a band around it.
  const double span = extent->high - extent->low;
  const double pad = span > 0 ? span * 0.08 : std::max(std::abs(extent->high) * 0.01, 0.001);
  s.low = extent->low - pad;
  s.high = extent->high + pad;
  return s;
}

QPointF FramePlot::PositionOf(double frame, double value) const {
  const QRectF area = PlotArea();
  const Scale s = CurrentScale();
  const double x = area.left() + (frame - s.first) / (s.last - s.first) * area.width();
  const double y = area.bottom() - (value - s.low) / (s.high - s.low) * area.height();
  return {x, y};
}

void FramePlot::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  save_->adjustSize();
  save_->move(width() - save_->width() - 4, 2);
}

void FramePlot::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Draw(painter);
}

void FramePlot::Draw(QPainter& p) const {
  p.fillRect(rect(), Qt::white);
  const QRectF area = PlotArea();
  const Scale s = CurrentScale();
  const QFontMetrics metrics(font());

  // Axes with their ticks: values on the left, frame numbers below.
  p.setPen(QColor(200, 200, 200));
  const double valueStep = NiceStep(s.high - s.low, 5);
  for (double v = std::ceil(s.low / valueStep) * valueStep; v <= s.high; v += valueStep) {
    const double y = PositionOf(s.first, v).y();
    p.setPen(QColor(225, 225, 225));
    p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    p.setPen(Qt::black);
    const QString text = ValueText(v, valueStep);
    p.drawText(QRectF(0, y - metrics.height() / 2.0, kLeft - 6, metrics.height()),
               Qt::AlignRight | Qt::AlignVCenter, text);
  }
  const double frameStep =
      std::max(1.0, NiceStep(s.last - s.first, std::max(2, static_cast<int>(area.width() / 70))));
  for (double f = std::ceil(s.first / frameStep) * frameStep; f <= s.last; f += frameStep) {
    const double x = PositionOf(f, s.low).x();
    p.setPen(Qt::black);
    p.drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() + 4));
    p.drawText(QRectF(x - 40, area.bottom() + 5, 80, metrics.height()), Qt::AlignHCenter | Qt::AlignTop,
               QString::number(static_cast<int64_t>(f)));
  }
  p.setPen(Qt::black);
  p.drawRect(area);

  // The title line: the measure, each curve's average in its colour.
  double x = 4;
  p.drawText(QPointF(x, metrics.ascent() + 6), measure_);
  x += metrics.horizontalAdvance(measure_) + 14;
  for (size_t c = 0; c < series_.Curves(); ++c) {
    const auto average = series_.Average(c);
    const QString text =
        QStringLiteral("%1 avg %2")
            .arg(QString::fromStdString(series_.Name(c)),
                 average ? QString::number(*average, 'f', measure_.startsWith(QLatin1String("SSIM")) ? 6 : 4)
                         : QStringLiteral("-"));
    p.setPen(CurveColour(c));
    p.drawText(QPointF(x, metrics.ascent() + 6), text);
    x += metrics.horizontalAdvance(text) + 12;
  }

  p.setClipRect(area.adjusted(-3, -3, 3, 3));
  // The first curve (Y) drawn last, on top; lines are not smoothed, so that each
  // keeps its own colour where curves meet.
  for (size_t c = series_.Curves(); c-- > 0;) {
    const auto& points = series_.Points(c);
    if (points.empty()) continue;
    QPainterPath path(PositionOf(points.front().frame, points.front().value));
    for (size_t i = 1; i < points.size(); ++i) path.lineTo(PositionOf(points[i].frame, points[i].value));
    p.setPen(QPen(CurveColour(c), 2));
    p.drawPath(path);
    if (points.size() == 1) p.drawEllipse(PositionOf(points.front().frame, points.front().value), 2.5, 2.5);
    if (const auto average = series_.Average(c)) {
      p.setPen(QPen(CurveColour(c), 1, Qt::DashLine));
      const double y = PositionOf(s.first, *average).y();
      p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    }
  }
  // The worst frame of the key curve: a ring and its number.
  if (const auto worst = series_.Worst()) {
    const QPointF at = PositionOf(worst->frame, worst->value);
    p.setPen(QPen(QColor(230, 120, 0), 2));
    p.drawEllipse(at, 5, 5);
    const QString text = QStringLiteral("worst: frame %1").arg(worst->frame);
    const double width = metrics.horizontalAdvance(text);
    const double left = std::clamp(at.x() - width / 2, area.left() + 2, area.right() - width - 2);
    const double top =
        at.y() + 8 + metrics.height() < area.bottom() ? at.y() + 8 : at.y() - 8 - metrics.height();
    p.drawText(QRectF(left, top, width + 2, metrics.height()), Qt::AlignLeft | Qt::AlignTop, text);
  }
}

void FramePlot::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || series_.Empty()) {
    QWidget::mousePressEvent(event);
    return;
  }
  const QRectF area = PlotArea();
  const Scale s = CurrentScale();
  const double frame = s.first + (event->position().x() - area.left()) / area.width() * (s.last - s.first);
  if (const auto nearest = series_.NearestFrame(frame)) emit frameChosen(*nearest);
  event->accept();
}

}  // namespace vx
