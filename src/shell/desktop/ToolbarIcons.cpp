#include "shell/desktop/ToolbarIcons.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace vx {
namespace {

QPixmap Tile(int size, const QString& symbol, const QColor& tile, bool disabled) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor face = disabled ? QColor(190, 190, 190) : tile;
  QLinearGradient gradient(0, 0, 0, size);
  gradient.setColorAt(0, face.lighter(125));
  gradient.setColorAt(1, face.darker(110));
  p.setPen(QPen(face.darker(150), size / 32.0));
  p.setBrush(gradient);
  const qreal m = size * 0.06;
  p.drawRoundedRect(QRectF(m, m, size - 2 * m, size - 2 * m), size * 0.18, size * 0.18);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setBold(true);
  font.setPixelSize(symbol.size() <= 1 ? size * 9 / 16
                                       : (symbol.size() == 2 ? size * 13 / 32 : size * 10 / 32));
  p.setFont(font);
  p.setPen(disabled ? QColor(235, 235, 235) : Qt::white);
  p.drawText(QRectF(0, 0, size, size), Qt::AlignCenter, symbol);
  return pixmap;
}

}  // namespace

QIcon ToolIcon(const QString& symbol, const QColor& tile) {
  QIcon icon;
  for (int size : {16, 24, 32, 48}) {
    icon.addPixmap(Tile(size, symbol, tile, false), QIcon::Normal);
    icon.addPixmap(Tile(size, symbol, tile, true), QIcon::Disabled);
  }
  return icon;
}

QPixmap ProgramIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(40, 44, 52));
  p.drawRoundedRect(QRectF(s * 0.05, s * 0.12, s * 0.9, s * 0.76), s * 0.08, s * 0.08);
  const QColor bands[3] = {QColor(220, 220, 220), QColor(70, 130, 220), QColor(220, 80, 80)};
  for (int i = 0; i < 3; ++i) {
    p.setBrush(bands[i]);
    p.drawRect(QRectF(s * 0.16, s * (0.24 + 0.18 * i), s * 0.68, s * 0.14));
  }
  p.setBrush(QColor(40, 44, 52));
  for (int i = 0; i < 5; ++i) {  // sprocket holes
    p.drawRect(QRectF(s * (0.1 + 0.18 * i), s * 0.14, s * 0.08, s * 0.05));
  }
  return pixmap;
}

}  // namespace vx
