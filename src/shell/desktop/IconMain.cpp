// Writes the program's icon for the icon theme into the folder named by its
// argument: velutrix.svg and velutrix-48.png, velutrix-256.png, from the same
// shapes the program draws its window icon with.
#include <QFile>
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "shell/desktop/ToolbarIcons.h"

namespace {

bool WritePng(const QString& path, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    vx::PaintProgramIcon(painter, size);
  }
  return image.save(path, "PNG");
}

bool WriteSvg(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(vx::ProgramIconSvg().toUtf8()) > 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s folder\n", argv[0]);
    return 1;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
  const bool written = WriteSvg(folder + QStringLiteral("velutrix.svg")) &&
                       WritePng(folder + QStringLiteral("velutrix-48.png"), 48) &&
                       WritePng(folder + QStringLiteral("velutrix-256.png"), 256);
  return written ? 0 : 1;
}
