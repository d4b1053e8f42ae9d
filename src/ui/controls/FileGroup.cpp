#include "ui/controls/FileGroup.h"

#include <QGridLayout>

#include "ui/controls/FileDrops.h"

namespace vx {

FileGroup MakeFileGroup(const QString& title, QWidget* parent) {
  FileGroup g;
  g.box = new QGroupBox(title, parent);
  g.name = new QLineEdit(g.box);
  g.browse = new QPushButton(QStringLiteral("Browse..."), g.box);
  AcceptFileDropsAsBrowse(g.name, g.browse);
  g.format = new QLabel(g.box);
  g.format->setFrameShape(QFrame::StyledPanel);
  g.format->setMinimumWidth(330);
  g.format->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);  // one line, however tall the group
  auto* grid = new QGridLayout(g.box);
  grid->addWidget(g.name, 0, 0, 1, 2);
  grid->addWidget(g.browse, 0, 2);
  grid->addWidget(new QLabel(QStringLiteral("Format:"), g.box), 1, 0);
  grid->addWidget(g.format, 1, 1, 1, 2);
  return g;
}

}  // namespace vx
