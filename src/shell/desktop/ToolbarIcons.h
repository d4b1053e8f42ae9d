#pragma once

#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QRectF>
#include <vector>

namespace vx {

// Toolbar icons drawn by the program (32 x 32, also sharp at other sizes): a
// rounded tile in the tool's group colour with a short symbol.
QIcon ToolIcon(const QString& symbol, const QColor& tile);
// The program's own icon: a film frame with Y, U and V bands. Its shapes, in a
// square of side 1, drawn in order; `radius` rounds a shape's corners.
struct IconShape {
  QRectF rect;
  qreal radius = 0;
  QColor colour;
};
std::vector<IconShape> ProgramIconShapes();
void PaintProgramIcon(QPainter& painter, qreal size);
QPixmap ProgramIcon(int size);
// The same icon as an SVG document (for the icon theme).
QString ProgramIconSvg();

}  // namespace vx
