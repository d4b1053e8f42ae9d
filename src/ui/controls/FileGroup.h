#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vx {

// A titled group with a file name box, its "Browse..." button and a "Format:" label.
// A file dropped on the box is taken as Browse takes it.
struct FileGroup {
  QGroupBox* box;
  QLineEdit* name;
  QPushButton* browse;
  QLabel* format;
};
FileGroup MakeFileGroup(const QString& title, QWidget* parent);

}  // namespace vx
