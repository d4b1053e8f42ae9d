#include "ui/display/PreviewArea.h"

#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
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
  vertical_->setVisible(zoom_.shownHeight() > height());
  horizontal_->setVisible(zoom_.shownWidth() > width());
}

void PreviewArea::moveEvent(QMoveEvent*) {
  placeBars();
}
void PreviewArea::resizeEvent(QResizeEvent*) {
  zoom_.SetViewport(width(), height());
  placeBars();
}

void PreviewArea::viewMoved() {
  placeBars();
  // The bars' thumbs where the offsets now are.
  const auto position = [](int64_t shown, int visible, int offset) {
    const int64_t excess = shown - visible;
    return excess <= 0
               ? 0
               : static_cast<int>(std::clamp<int64_t>(offset * kScrollRange / excess, 0, kScrollRange));
  };
  horizontal_->setSliderPosition(position(zoom_.shownWidth(), width(), zoom_.offsetX()));
  vertical_->setSliderPosition(position(zoom_.shownHeight(), height(), zoom_.offsetY()));
  update();
  emit viewChanged();
}

void PreviewArea::zoomed(int before) {
  viewMoved();
  if (zoom_.factor() != before) emit zoomChanged();
}

void PreviewArea::zoomIn(std::optional<QPoint> anchor) {
  const int before = zoom_.factor();
  const QPoint a = anchor.value_or(rect().center());
  zoom_.ZoomIn(a.x(), a.y());
  zoomed(before);
}

void PreviewArea::zoomOut(std::optional<QPoint> anchor) {
  const int before = zoom_.factor();
  const QPoint a = anchor.value_or(rect().center());
  zoom_.ZoomOut(a.x(), a.y());
  zoomed(before);
}

void PreviewArea::fitToArea() {
  const int before = zoom_.factor();
  zoom_.Fit();
  zoomed(before);
}

void PreviewArea::showActualSize() {
  setZoomFactor(1);
}

void PreviewArea::setZoomFactor(int factor) {
  if (factor <= 0) {
    fitToArea();
    return;
  }
  const int before = zoom_.factor();
  const QPoint a = rect().center();
  zoom_.SetFactor(factor, a.x(), a.y());
  zoomed(before);
}

std::optional<QPoint> PreviewArea::PixelAt(const QPoint& at) const {
  if (width_ <= 0 || height_ <= 0) return std::nullopt;
  const auto p = zoom_.PictureAt(at.x(), at.y());
  if (!p) return std::nullopt;
  return QPoint(p->x, p->y);
}

std::optional<QColor> PreviewArea::DisplayedColour(const QPoint& pixel) const {
  if (rows_.empty() || pixel.x() < 0 || pixel.y() < 0 || pixel.x() >= width_ || pixel.y() >= height_)
    return std::nullopt;
  const size_t pitch = static_cast<size_t>(DisplayRowPitch(width_, true));
  const uint8_t* bgr = rows_.data() + static_cast<size_t>(height_ - 1 - pixel.y()) * pitch +
                       3 * static_cast<size_t>(pixel.x());
  return QColor(bgr[2], bgr[1], bgr[0]);
}

void PreviewArea::setPixelText(std::function<QStringList(int x, int y)> text) {
  pixelText_ = std::move(text);
  update();
}

void PreviewArea::wheelEvent(QWheelEvent* event) {
  if (!(event->modifiers() & Qt::ControlModifier) || width_ <= 0) {
    QWidget::wheelEvent(event);
    return;
  }
  const QPoint at = event->position().toPoint();
  if (event->angleDelta().y() > 0) zoomIn(at);
  if (event->angleDelta().y() < 0) zoomOut(at);
  event->accept();
}

void PreviewArea::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::MiddleButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  dragFrom_ = event->position().toPoint();
  setCursor(Qt::ClosedHandCursor);
  event->accept();
}

void PreviewArea::mouseMoveEvent(QMouseEvent* event) {
  if (!dragFrom_) {
    QWidget::mouseMoveEvent(event);
    return;
  }
  const QPoint now = event->position().toPoint(), moved = now - *dragFrom_;
  dragFrom_ = now;
  zoom_.PanBy(-moved.x(), -moved.y());
  viewMoved();
  event->accept();
}

void PreviewArea::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::MiddleButton || !dragFrom_) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  dragFrom_.reset();
  unsetCursor();
  event->accept();
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
    // Another picture: its top-left corner, at the zoom chosen.
    zoom_.SetPicture(width, height);
    zoom_.SetOffsets(0, 0);
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
  zoom_.SetPicture(0, 0);
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
  const ScrollResult r = ApplyScroll(ShownSize(vertical), vertical ? height() : width(),
                                     vertical ? zoom_.offsetY() : zoom_.offsetX(), a);
  if (!r.changed) return;
  SetOffset(vertical, r.offset);
  QScrollBar* bar = vertical ? vertical_ : horizontal_;
  bar->setSliderPosition(std::clamp(r.position, 0, kScrollRange));
  update();
  emit viewChanged();
}

int PreviewArea::ShownSize(bool vertical) const {
  return static_cast<int>(std::min<int64_t>(vertical ? zoom_.shownHeight() : zoom_.shownWidth(), INT32_MAX));
}

void PreviewArea::SetOffset(bool vertical, int offset) {
  if (vertical)
    zoom_.ScrollTo(zoom_.offsetX(), offset);
  else
    zoom_.ScrollTo(offset, zoom_.offsetY());
}

void PreviewArea::thumbReleased(Qt::Orientation orientation) {
  const bool vertical = orientation == Qt::Vertical;
  QScrollBar* bar = vertical ? vertical_ : horizontal_;
  const ScrollResult r = ApplyScroll(ShownSize(vertical), vertical ? height() : width(),
                                     vertical ? zoom_.offsetY() : zoom_.offsetX(), ScrollAction::ThumbRelease,
                                     bar->sliderPosition());
  if (!r.changed) return;
  SetOffset(vertical, r.offset);
  update();
  emit viewChanged();
}

void PreviewArea::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Window).darker(115));
  if (rows_.empty() || width_ <= 0 || height_ <= 0) return;
  const ZoomView::Drawn d = zoom_.Visible();
  if (d.empty()) return;
  const int pitch = static_cast<int>(DisplayRowPitch(width_, true));
  // Rows are stored bottom row first: drawn through a vertical flip, without a copy.
  const QImage stored(rows_.data(), width_, height_, pitch, QImage::Format_BGR888);
  painter.save();
  // Magnified pixels stay sharp squares; a picture fitted smaller is smoothed.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, zoom_.scale() < 1);
  painter.translate(d.destination.x, d.destination.y + d.destination.height);
  painter.scale(1, -1);
  painter.drawImage(
      QRectF(0, 0, d.destination.width, d.destination.height), stored,
      QRectF(d.source.x, height_ - d.source.y - d.source.height, d.source.width, d.source.height));
  painter.restore();
  if (zoom_.factor() >= kZoomShowingValues && pixelText_) drawPixelText(painter, d);
  if (outline_.isEmpty()) return;
  // The outline inverts the pixels under its one-pixel border; the inside stays as it is.
  const Rect o = zoom_.ToViewport({outline_.x(), outline_.y(), outline_.width(), outline_.height()});
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  painter.setPen(QPen(Qt::white, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRect(o.x, o.y, o.width, o.height).adjusted(0, 0, -1, -1));
}

void PreviewArea::drawPixelText(QPainter& painter, const ZoomView::Drawn& d) {
  const int z = zoom_.factor();
  const int lines = z >= 2 * kZoomShowingValues ? 3 : 1;
  // The largest font whose widest value still fits inside a pixel, with a margin.
  QFont font = painter.font();
  const QString widest = pixelText_(d.source.x, d.source.y).value(0).size() > 3 ? QStringLiteral("00000")
                                                                                : QStringLiteral("000");
  int size = std::max(5, z / lines - 2);
  for (; size > 5; --size) {
    font.setPixelSize(size);
    const QFontMetrics metrics(font);
    if (metrics.horizontalAdvance(widest) <= z - 2 && metrics.height() * lines <= z) break;
  }
  font.setPixelSize(size);
  painter.setFont(font);
  const int pitch = static_cast<int>(DisplayRowPitch(width_, true));
  for (int y = d.source.y; y < d.source.y + d.source.height; ++y) {
    for (int x = d.source.x; x < d.source.x + d.source.width; ++x) {
      QStringList text = pixelText_(x, y);
      if (text.size() > lines) text = text.mid(0, lines);
      if (text.isEmpty()) continue;
      // Dark text on light pixels, light on dark ones.
      const uint8_t* bgr =
          rows_.data() + static_cast<size_t>(height_ - 1 - y) * pitch + 3 * static_cast<size_t>(x);
      const int luma = (bgr[2] * 299 + bgr[1] * 587 + bgr[0] * 114) / 1000;
      painter.setPen(luma > 128 ? Qt::black : Qt::white);
      const Rect cell = zoom_.ToViewport({x, y, 1, 1});
      const QRect box(cell.x, cell.y, cell.width, cell.height);
      painter.save();
      painter.setClipRect(box);  // never over the next pixel
      painter.drawText(box, Qt::AlignCenter, text.join('\n'));
      painter.restore();
    }
  }
}

std::optional<QPoint> PreviewArea::BlockAt(const QPoint& at, int size) const {
  if (width_ <= 0 || height_ <= 0 || size <= 0 || at.x() < 0 || at.y() < 0) return std::nullopt;
  // Past the picture's right or bottom edge: the last block of that row or column.
  const QPoint inside(std::min(at.x(), width() - 1), std::min(at.y(), height() - 1));
  const int64_t shownRight = std::min<int64_t>(zoom_.shownWidth() - zoom_.offsetX(), width()) - 1;
  const int64_t shownBottom = std::min<int64_t>(zoom_.shownHeight() - zoom_.offsetY(), height()) - 1;
  const auto pixel = zoom_.PictureAt(static_cast<int>(std::min<int64_t>(inside.x(), shownRight)),
                                     static_cast<int>(std::min<int64_t>(inside.y(), shownBottom)));
  if (!pixel) return std::nullopt;
  return QPoint(pixel->x / size, pixel->y / size);
}

}  // namespace vx
