#pragma once

#include <QIcon>
#include <QPixmap>

namespace vx {

// Toolbar icons drawn by the program (32 x 32, also sharp at other sizes): a
// rounded tile in the tool's group colour with a short symbol.
QIcon ToolIcon(const QString& symbol, const QColor& tile);
// The program's own icon: a film frame with Y, U and V bands.
QPixmap ProgramIcon(int size);

}  // namespace vx
