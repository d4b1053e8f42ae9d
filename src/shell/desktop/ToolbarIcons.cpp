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

std::vector<IconShape> ProgramIconShapes() {
  const QColor film(40, 44, 52);
  std::vector<IconShape> shapes = {{QRectF(0.05, 0.12, 0.9, 0.76), 0.08, film}};
  const QColor bands[3] = {QColor(220, 220, 220), QColor(70, 130, 220), QColor(220, 80, 80)};
  for (int i = 0; i < 3; ++i) shapes.push_back({QRectF(0.16, 0.24 + 0.18 * i, 0.68, 0.14), 0, bands[i]});
  for (int i = 0; i < 5; ++i)
    shapes.push_back({QRectF(0.1 + 0.18 * i, 0.14, 0.08, 0.05), 0, film});  // sprocket holes
  return shapes;
}

void PaintProgramIcon(QPainter& p, qreal size) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  for (const IconShape& shape : ProgramIconShapes()) {
    p.setBrush(shape.colour);
    const QRectF r(shape.rect.topLeft() * size, shape.rect.size() * size);
    if (shape.radius > 0)
      p.drawRoundedRect(r, shape.radius * size, shape.radius * size);
    else
      p.drawRect(r);
  }
}

QPixmap ProgramIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  PaintProgramIcon(p, size);
  return pixmap;
}

QString ProgramIconSvg() {
  constexpr int kSize = 256;
  QString svg =
      QStringLiteral(
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" viewBox=\"0 0 %1 %1\">\n")
          .arg(kSize);
  for (const IconShape& shape : ProgramIconShapes()) {
    const QRectF r(shape.rect.topLeft() * kSize, shape.rect.size() * kSize);
    svg += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" fill=\"%6\"/>\n")
               .arg(r.x())
               .arg(r.y())
               .arg(r.width())
               .arg(r.height())
               .arg(shape.radius * kSize)
               .arg(shape.colour.name());
  }
  return svg + QStringLiteral("</svg>\n");
}

}  // namespace vx
