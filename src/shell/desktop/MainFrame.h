#pragma once

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QToolBar>
#include <functional>
#include <map>
#include <vector>

#include "shell/Commands.h"

namespace vx {

// The program's main window. It does no processing: its menu and toolbar open
// the tool windows, each a new modeless window; the latest of each tool is kept
// in the tool's slot. A tool window opens where the last one of its tool closed.
class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  explicit CMainFrame(QWidget* parent = nullptr);

  using ToolFactory = std::function<QWidget*(QWidget* parent)>;
  // Makes a tool entry usable: choosing it creates the tool's window with
  // `factory`, shows it with `title` and keeps it in the tool's slot.
  void RegisterTool(Command command, const QString& title, ToolFactory factory);
  // Opens a tool as its menu entry does; returns the new window (nullptr when the
  // tool is not available).
  QWidget* OpenTool(Command command);
  QWidget* LatestWindow(Command command) const;
  QAction* action(Command command) const;
  void ShowSplash();
  // What local files dropped on the window open in; drops are refused until it is set.
  using FileOpener = std::function<void(const QStringList& files)>;
  void SetFileOpener(FileOpener open) { openFiles_ = std::move(open); }
  // Opens `files` as a drop of them on the window does.
  void OpenFiles(const QStringList& files) {
    if (openFiles_) openFiles_(files);
  }

 signals:
  void closing();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void BuildToolBar();
  void BuildStatusBar();
  void Run(Command command);

  struct Tool {
    QString title;
    ToolFactory factory;
    QPointer<QWidget> latest;
  };
  std::map<Command, QAction*> actions_;
  std::vector<std::vector<QAction*>> toolBarGroups_;  // each menu's buttons, until the toolbar is built
  std::map<Command, Tool> tools_;
  QToolBar* toolBar_ = nullptr;
  QPointer<QWidget> help_;
  FileOpener openFiles_;
};

}  // namespace vx
