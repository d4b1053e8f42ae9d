#include "shell/desktop/MainFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeySequence>
#include <QMenuBar>
#include <QStatusBar>
#include <QWhatsThis>
#include <optional>
#include <vector>

#include "shell/ToolTable.h"
#include "shell/desktop/FileHistoryDialog.h"
#include "shell/desktop/ShellWindows.h"
#include "shell/desktop/ToolbarIcons.h"
#include "ui/controls/FileDrops.h"
#include "ui/controls/ScreenFit.h"
#include "ui/controls/WindowPlaces.h"
#include "ui/display/GridDialog.h"
#include "ui/image/FormulaDialog.h"

namespace vx {
namespace {

struct Entry {
  Command command;
  const char* text;
  const char* shortcut;  // nullptr: none
  const char* prompt;    // status-bar prompt
  const char* tip;       // toolbar tooltip; nullptr: the prompt
  const char* symbol;    // toolbar icon; nullptr: not on the toolbar
  bool separatorBefore = false;
};

// A menu: the tools of the table's `tools` menu, then its own entries. Its
// toolbar group has the entries with a symbol, on tiles of its colour.
struct MenuSpec {
  const char* title;
  std::optional<ToolMenu> tools;
  QColor tile;
  std::vector<Entry> entries;
};

const QColor kOptionsTile(90, 100, 115);

const std::vector<MenuSpec>& Menus() {
  static const std::vector<MenuSpec> menus = {
      {"YUV Player",
       ToolMenu::Player,
       QColor(52, 120, 196),
       {{Command::History, "File &History Manager ", "Ctrl+H",
         "File manager, display a list of YUV files with access history", "File manager", "H"},
        {Command::Exit, "E&xit", nullptr, "Quit the application; prompts to save documents", nullptr, nullptr,
         true}}},
      {"YUV Converter", ToolMenu::Converter, QColor(46, 150, 110), {}},
      {"YUV Analyzer", ToolMenu::Analyzer, QColor(200, 120, 40), {}},
      {"YUV Editor", ToolMenu::Editor, QColor(150, 80, 170), {}},
      {"AVI Files", ToolMenu::Avi, QColor(190, 60, 70), {}},
      {"&Options",
       std::nullopt,
       kOptionsTile,
       {{Command::Toolbar, "&Toolbar", "Ctrl+T", "Show or hide the toolbar", nullptr, nullptr},
        {Command::StatusBar, "Status &Bar ", "Ctrl+B", "Show or hide the status bar", nullptr, nullptr},
        {Command::Grid, "Grid...", "Ctrl+G", "Grid display settings", nullptr, "#"},
        {Command::Formula, "YUV to RGB Form&ula", "Ctrl+U", "Select RGB to YUV converting formula", nullptr,
         "fx"}}},
      {"&Help",
       std::nullopt,
       kOptionsTile,
       {{Command::HelpContents, "&Help Contents", "F1", "List Help topics", nullptr, nullptr},
        {Command::CommandLine, "About Command Line...", nullptr, "Display command line parameters", nullptr,
         "-a", true},
        {Command::About, "&About Velutrix...", nullptr,
         "Display program information, version number and copyright", nullptr, nullptr}}},
  };
  return menus;
}

// A menu's entries: its tools in table order, then its own.
std::vector<Entry> EntriesOf(const MenuSpec& menu) {
  std::vector<Entry> entries;
  for (const ToolRow& tool : ToolTable()) {
    if (tool.entry.menu != menu.tools || !tool.entry.text) continue;
    const ToolMenuEntry& e = tool.entry;
    entries.push_back({tool.id, e.text, e.shortcut, e.prompt, e.tip, e.symbol});
  }
  entries.insert(entries.end(), menu.entries.begin(), menu.entries.end());
  return entries;
}

template <class Dialog>
void ShowModal(QWidget* parent) {
  Dialog dialog(parent);
  dialog.exec();
}

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QStringLiteral("Velutrix"));
  setWindowIcon(QIcon(ProgramIcon(64)));
  setGeometry(100, 20, 1000, 600);
  BuildMenus();
  BuildToolBar();
  BuildStatusBar();
  AcceptFileDrops(
      this, [this](QPoint) { return static_cast<bool>(openFiles_); },
      [this](const QStringList& files, QPoint) {
        if (openFiles_) openFiles_(files);
      });
}

void CMainFrame::BuildMenus() {
  for (const MenuSpec& menu : Menus()) {
    QMenu* m = menuBar()->addMenu(QString::fromUtf8(menu.title));
    std::vector<QAction*> group;
    for (const Entry& e : EntriesOf(menu)) {
      if (e.separatorBefore) m->addSeparator();
      auto* a = m->addAction(QString::fromUtf8(e.text));
      a->setObjectName(QString::number(static_cast<int>(e.command)));
      if (e.shortcut) a->setShortcut(QKeySequence(QString::fromLatin1(e.shortcut)));
      a->setStatusTip(QString::fromUtf8(e.prompt));
      a->setToolTip(QString::fromUtf8(e.tip ? e.tip : e.prompt));
      if (e.symbol) {
        a->setIcon(ToolIcon(QString::fromUtf8(e.symbol), menu.tile));
        group.push_back(a);
      }
      a->setEnabled(!FindTool(e.command));  // each tool is enabled once it is registered
      const Command command = e.command;
      connect(a, &QAction::triggered, this, [this, command] { Run(command); });
      actions_[e.command] = a;
    }
    toolBarGroups_.push_back(std::move(group));
  }
  actions_[Command::Toolbar]->setCheckable(true);
  actions_[Command::Toolbar]->setChecked(true);
  actions_[Command::StatusBar]->setCheckable(true);
  actions_[Command::StatusBar]->setChecked(true);
  auto* contextHelp = QWhatsThis::createAction(this);
  contextHelp->setShortcut(QKeySequence(QStringLiteral("Shift+F1")));
  contextHelp->setIcon(ToolIcon(QStringLiteral("?"), kOptionsTile));
  contextHelp->setStatusTip(QStringLiteral("Display help for clicked on buttons, menus and windows"));
  addAction(contextHelp);
  actions_[Command::ContextHelp] = contextHelp;
  toolBarGroups_.back().push_back(contextHelp);  // beside the help menu's button
}

void CMainFrame::BuildToolBar() {
  toolBar_ = new QToolBar(QStringLiteral("Standard"), this);
  toolBar_->setObjectName(QStringLiteral("standardToolBar"));
  toolBar_->setIconSize(QSize(32, 32));
  toolBar_->setMovable(true);
  toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
  for (size_t g = 0; g < toolBarGroups_.size(); ++g) {
    if (g > 0) toolBar_->addSeparator();
    for (QAction* a : toolBarGroups_[g]) toolBar_->addAction(a);
  }
  toolBarGroups_.clear();
  addToolBar(Qt::TopToolBarArea, toolBar_);
  connect(toolBar_, &QToolBar::visibilityChanged, actions_[Command::Toolbar], &QAction::setChecked);
}

void CMainFrame::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  const QString idle = QStringLiteral("For Help, press F1");
  connect(bar, &QStatusBar::messageChanged, bar, [bar, idle](const QString& text) {
    if (text.isEmpty()) bar->showMessage(idle);
  });
  bar->showMessage(idle);
  for (const char* pane : {"CAP", "NUM", "SCRL"}) {
    auto* label = new QLabel(QString::fromLatin1(pane), bar);
    label->setObjectName(QString::fromLatin1(pane));
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(44);
    label->setEnabled(false);  // lock-key states are not reported by the windowing system
    label->setFrameShape(QFrame::StyledPanel);
    bar->addPermanentWidget(label);
  }
}

QAction* CMainFrame::action(Command command) const {
  const auto it = actions_.find(command);
  return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::RegisterTool(Command command, const QString& title, ToolFactory factory) {
  tools_[command] = Tool{title, std::move(factory), nullptr};
  if (QAction* a = action(command)) a->setEnabled(true);
}

QWidget* CMainFrame::OpenTool(Command command) {
  const auto it = tools_.find(command);
  if (it == tools_.end() || !it->second.factory) return nullptr;
  QWidget* window = it->second.factory(this);
  if (!window) return nullptr;
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowFlag(Qt::Window);
  window->setWindowTitle(it->second.title);
  const ToolRow* row = FindTool(command);
  const bool placed = row && RestorePlace(window, row->key);
  window->show();
  if (placed) FitOnScreen(window);
  if (row) KeepPlace(window, row->key);
  it->second.latest = window;  // the earlier window stays open on its own
  return window;
}

QWidget* CMainFrame::LatestWindow(Command command) const {
  const auto it = tools_.find(command);
  return it == tools_.end() ? nullptr : it->second.latest.data();
}

void CMainFrame::Run(Command command) {
  switch (command) {
    case Command::Exit:
      close();
      return;
    case Command::Toolbar:
      toolBar_->setVisible(actions_[Command::Toolbar]->isChecked());
      return;
    case Command::StatusBar:
      statusBar()->setVisible(actions_[Command::StatusBar]->isChecked());
      return;
    case Command::History:
      ShowModal<CFileHistory>(this);
      return;
    case Command::Grid:
      ShowModal<CGrid>(this);
      return;
    case Command::Formula:
      ShowModal<CYUV2RGB_Formula>(this);
      return;
    case Command::HelpContents: {
      if (!help_) {
        help_ = new CHelpWindow(this);
        help_->setAttribute(Qt::WA_DeleteOnClose);
      }
      help_->show();
      help_->raise();
      return;
    }
    case Command::CommandLine:
      ShowUsage("Velutrix.exe");
      return;
    case Command::About: {
      CAboutBox about(this);
      about.exec();
      return;
    }
    default:
      OpenTool(command);
      return;
  }
}

void CMainFrame::ShowSplash() {
  auto* splash = new CSplashWnd(this);
  splash->show();
  splash->raise();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  RememberOpenPlaces(this);  // the tool windows still open close with the program
  emit closing();
  QMainWindow::closeEvent(event);
}

}  // namespace vx
