#include "app/MainFrame.h"

#include <QStatusBar>

namespace vx {

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QStringLiteral("Velutrix"));
  setGeometry(100, 20, 1000, 600);
  statusBar()->showMessage(QStringLiteral("For Help, press F1"));
}

}  // namespace vx
