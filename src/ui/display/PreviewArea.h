#pragma once

#include <QColor>
#include <QScrollBar>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "display/DisplayConvert.h"
#include "display/GridOverlay.h"
#include "display/ZoomView.h"

namespace vx {

// The preview of a tool: display rows drawn into a visible area at 1:1 (one
// picture pixel is one screen pixel), fitted to the area, or magnified 2x to 32x
// (each pixel a square, no smoothing), with a vertical scroll bar on its left and
// a horizontal one above it when the picture shown is larger. Ctrl + wheel zooms
// about the pointer, the middle button drags the picture. From 16x each pixel
// shows the text its window gives for it. Outside the picture the area shows a
// neutral background; nothing is read outside the picture.
class PreviewArea : public QWidget {
  Q_OBJECT

 public:
  explicit PreviewArea(QWidget* parent = nullptr);

  // Places the visible area at `origin` (dialog coordinates of the parent) with a
  // size, and the bars beside it.
  void setGeometryFor(const QPoint& origin, const QSize& visible);
  // Shows a YUV 4:4:4 packed picture (converted for display) or display rows.
  // Returns false after a DISP message.
  bool showFrame(const uint8_t* data, size_t bytes, int width, int height, const DrawOptions& options = {});
  void clear();
  // A rectangle (picture coordinates) outlined by inverting the pixels under its
  // one-pixel border; the inside is left as it is. An empty rectangle: none.
  void setOutline(const QRect& rectangle);
  QRect outline() const { return outline_; }
  // Scroll offsets in screen pixels of the picture as shown.
  int horizontalOffset() const { return zoom_.offsetX(); }
  int verticalOffset() const { return zoom_.offsetY(); }
  const ZoomView& zoom() const { return zoom_; }
  // Zoom about `anchor` (this widget's coordinates; the centre when none).
  void zoomIn(std::optional<QPoint> anchor = std::nullopt);
  void zoomOut(std::optional<QPoint> anchor = std::nullopt);
  void fitToArea();
  void showActualSize();
  // A zoom kept from before (a factor 1..32, or 0 for the fit).
  void setZoomFactor(int factor);
  // The picture pixel under point `at` of this widget; nullopt outside the picture.
  std::optional<QPoint> PixelAt(const QPoint& at) const;
  // The colour pixel (x, y) is shown in; nullopt outside the picture.
  std::optional<QColor> DisplayedColour(const QPoint& pixel) const;
  // The lines of text drawn inside pixel (x, y) from 16x on (the first line
  // only below 32x); none without a source.
  void setPixelText(std::function<QStringList(int x, int y)> text);
  QScrollBar* verticalBar() const { return vertical_; }
  QSize pictureSize() const { return {width_, height_}; }
  // The `size` x `size` block of the picture under point `at` of this widget
  // (column, row), limited to the last block visible and the last of the picture;
  // nullopt left of or above the picture or without one.
  std::optional<QPoint> BlockAt(const QPoint& at, int size) const;

 signals:
  // The zoom or the part of the picture shown changed.
  void viewChanged();
  // The magnification changed (after viewChanged).
  void zoomChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void placeBars();
  // After a zoom or a pan: the bars follow the offsets, the area is drawn again.
  void viewMoved();
  // After a change of zoom from `before` (a factor, 0 for the fit).
  void zoomed(int before);
  int ShownSize(bool vertical) const;
  void SetOffset(bool vertical, int offset);
  void drawPixelText(QPainter& painter, const ZoomView::Drawn& drawn);
  void scrolled(Qt::Orientation orientation, int action);
  void thumbReleased(Qt::Orientation orientation);

  std::vector<uint8_t> rows_;  // bottom-up B G R, padded
  int width_ = 0, height_ = 0;
  ZoomView zoom_;
  std::optional<QPoint> dragFrom_;  // the middle button's last position while it drags
  std::function<QStringList(int, int)> pixelText_;
  QRect outline_;
  QScrollBar* vertical_;
  QScrollBar* horizontal_;
};

}  // namespace vx
