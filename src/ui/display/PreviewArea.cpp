#include "ui/display/PreviewArea.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstring>

#include "display/DisplayConvert.h"
#include "display/PreviewLayout.h"
#include "image/ColorFormula.h"

namespace vx {

PreviewArea::PreviewArea(QWidget* parent)
    : QWidget(parent),
      vertical_(new QScrollBar(Qt::Vertical, parent)),
      horizontal_(new QScrollBar(Qt::Horizontal, parent)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  vertical_->setObjectName(QStringLiteral("verticalScrollBar"));
  horizontal_->setObjectName(QStringLiteral("horizontalScrollBar"));
  for (QScrollBar* bar : {vertical_, horizontal_}) {
    bar->setRange(0, kScrollRange);
    bar->setPageStep(kScrollPage);
    bar->hide();
  }
  connect(vertical_, &QScrollBar::actionTriggered, this, [this](int a) { scrolled(Qt::Vertical, a); });
  connect(horizontal_, &QScrollBar::actionTriggered, this, [this](int a) { scrolled(Qt::Horizontal, a); });
  connect(vertical_, &QScrollBar::sliderReleased, this, [this] { thumbReleased(Qt::Vertical); });
  connect(horizontal_, &QScrollBar::sliderReleased, this, [this] { thumbReleased(Qt::Horizontal); });
}

void PreviewArea::setGeometryFor(const QPoint& origin, const QSize& visible) {
  setGeometry(QRect(origin, visible));
  placeBars();
}

void PreviewArea::placeBars() {
  vertical_->setGeometry(x() - 16, y(), 16, height());
  horizontal_->setGeometry(x(), y() - 16, width(), 16);
  vertical_->setVisible(height_ > height());
  horizontal_->setVisible(width_ > width());
}

void PreviewArea::moveEvent(QMoveEvent*) {
  placeBars();
}
void PreviewArea::resizeEvent(QResizeEvent*) {
  placeBars();
}

bool PreviewArea::showFrame(const uint8_t* data, size_t bytes, int width, int height,
                            const DrawOptions& options) {
  if (!CheckDisplaySize(width, height)) return false;  // the picture shown before stays
  // Converted straight into the picture this area keeps.
  if (!PrepareDisplayRowsInto(*CurrentColourTables(), std::span<const uint8_t>(data, bytes), width, height,
                              options, rows_)) {
    rows_.clear();
    width_ = height_ = 0;
    update();
    return false;
  }
  const bool sizeChanged = width != width_ || height != height_;
  width_ = width;
  height_ = height;
  if (sizeChanged) {
    horizontalOffset_ = verticalOffset_ = 0;
    vertical_->setValue(0);
    horizontal_->setValue(0);
    placeBars();
  }
  update();
  return true;
}

void PreviewArea::clear() {
  rows_.clear();
  width_ = height_ = 0;
  placeBars();
  update();
}

void PreviewArea::setOutline(const QRect& rectangle) {
  outline_ = rectangle;
  update();
}

void PreviewArea::scrolled(Qt::Orientation orientation, int action) {
  ScrollAction a;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      a = ScrollAction::LineUp;
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      a = ScrollAction::LineDown;
      break;
    case QAbstractSlider::SliderPageStepSub:
      a = ScrollAction::PageUp;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      a = ScrollAction::PageDown;
      break;
    case QAbstractSlider::SliderToMinimum:
      a = ScrollAction::Home;
      break;
    case QAbstractSlider::SliderToMaximum:
      a = ScrollAction::End;
      break;
    default:
      return;  // moving the thumb does nothing until it is released
  }
  const bool vertical = orientation == Qt::Vertical;
  int& offset = vertical ? verticalOffset_ : horizontalOffset_;
  const ScrollResult r = ApplyScroll(vertical ? height_ : width_, vertical ? height() : width(), offset, a);
  if (!r.changed) return;
  offset = r.offset;
  QScrollBar* bar = vertical ? vertical_ : horizontal_;
  bar->setSliderPosition(std::clamp(r.position, 0, kScrollRange));
  update();
}

void PreviewArea::thumbReleased(Qt::Orientation orientation) {
  const bool vertical = orientation == Qt::Vertical;
  QScrollBar* bar = vertical ? vertical_ : horizontal_;
  int& offset = vertical ? verticalOffset_ : horizontalOffset_;
  const ScrollResult r = ApplyScroll(vertical ? height_ : width_, vertical ? height() : width(), offset,
                                     ScrollAction::ThumbRelease, bar->sliderPosition());
  if (!r.changed) return;
  offset = r.offset;
  update();
}

void PreviewArea::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Window).darker(115));
  if (rows_.empty() || width_ <= 0 || height_ <= 0) return;
  const CopyWindow w = DisplayWindow(width_, height_, width(), height(), horizontalOffset_, verticalOffset_);
  if (w.empty()) return;
  const int pitch = static_cast<int>(DisplayRowPitch(width_, true));
  // Rows are stored bottom row first: drawn through a vertical flip, without a copy.
  const QImage stored(rows_.data(), width_, height_, pitch, QImage::Format_BGR888);
  painter.save();
  painter.translate(w.destinationX, w.destinationY + w.height);
  painter.scale(1, -1);
  painter.drawImage(QPointF(0, 0), stored,
                    QRectF(w.sourceX, height_ - w.sourceY - w.height, w.width, w.height));
  painter.restore();
  if (outline_.isEmpty()) return;
  // The outline inverts the pixels under its one-pixel border; the inside stays as it is.
  const QRect shown = outline_.translated(w.destinationX - w.sourceX, w.destinationY - w.sourceY);
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  painter.setPen(QPen(Qt::white, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(shown.adjusted(0, 0, -1, -1));
}

std::optional<QPoint> PreviewArea::BlockAt(const QPoint& at, int size) const {
  if (width_ <= 0 || height_ <= 0 || size <= 0 || at.x() < 0 || at.y() < 0) return std::nullopt;
  const int x = horizontalOffset_ + at.x(), y = verticalOffset_ + at.y();
  const int lastColumn = std::min((width_ + size - 1) / size - 1, (horizontalOffset_ + width() - 1) / size);
  const int lastRow = std::min((height_ + size - 1) / size - 1, (verticalOffset_ + height() - 1) / size);
  return QPoint(std::min(x / size, lastColumn), std::min(y / size, lastRow));
}

}  // namespace vx
