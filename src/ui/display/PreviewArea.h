#pragma once

#include <QScrollBar>
#include <QWidget>
#include <optional>
#include <vector>

#include "display/DisplayConvert.h"
#include "display/GridOverlay.h"

namespace vx {

// The preview of a tool: display rows copied 1:1 (one picture pixel is one screen
// pixel) into a visible area, with a vertical scroll bar on its left and a
// horizontal one above it when the picture is larger. Outside the picture the
// area shows a neutral background; nothing is read outside the picture.
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
  int horizontalOffset() const { return horizontalOffset_; }
  int verticalOffset() const { return verticalOffset_; }
  QScrollBar* verticalBar() const { return vertical_; }
  QSize pictureSize() const { return {width_, height_}; }
  // The `size` x `size` block of the picture under point `at` of this widget
  // (column, row), limited to the last block visible and the last of the picture;
  // nullopt left of or above the picture or without one.
  std::optional<QPoint> BlockAt(const QPoint& at, int size) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void placeBars();
  void scrolled(Qt::Orientation orientation, int action);
  void thumbReleased(Qt::Orientation orientation);

  std::vector<uint8_t> rows_;  // bottom-up B G R, padded
  int width_ = 0, height_ = 0;
  int horizontalOffset_ = 0, verticalOffset_ = 0;
  QRect outline_;
  QScrollBar* vertical_;
  QScrollBar* horizontal_;
};

}  // namespace vx
