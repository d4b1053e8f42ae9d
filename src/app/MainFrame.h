#pragma once

#include <QMainWindow>

namespace vx {

// The program's main window. It does no processing: its menu and toolbar open
// the tool windows.
class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  explicit CMainFrame(QWidget* parent = nullptr);
};

}  // namespace vx
