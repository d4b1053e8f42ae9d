#include "shell/desktop/MainFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeySequence>
#include <QMenuBar>
#include <QStatusBar>
#include <QWhatsThis>

#include "model/CommandLine.h"
#include "shell/desktop/FileHistoryDialog.h"
#include "shell/desktop/ShellWindows.h"
#include "shell/desktop/ToolbarIcons.h"
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
  const char* symbol;    // toolbar icon
};

struct MenuSpec {
  const char* title;
  std::vector<Entry> entries;
};

const QColor kPlayerTile(52, 120, 196), kConverterTile(46, 150, 110), kAnalyzerTile(200, 120, 40),
    kEditorTile(150, 80, 170), kAviTile(190, 60, 70), kOptionsTile(90, 100, 115);

const std::vector<MenuSpec>& Menus() {
  static const std::vector<MenuSpec> menus = {
      {"YUV Player",
       {{Command::Open, "&Open YUV file...", "Ctrl+O", "Open an existing YUV file to play", "Play a YUV file",
         "\u25B6"},
        {Command::History, "File &History Manager ", "Ctrl+H",
         "File manager, display a list of YUV files with access history", "File manager", "H"},
        {Command::Exit, "E&xit", nullptr, "Quit the application; prompts to save documents", nullptr,
         nullptr}}},
      {"YUV Converter",
       {{Command::Convert, "&Format convert ", "Ctrl+F", "Convert a YUV file from one format to another",
         nullptr, "Cv"},
        {Command::Join, "&Join two files", "Ctrl+J", "Join two YUV files into one YUV file", nullptr, "J"},
        {Command::Crop, "Image c&rop", "Ctrl+R", "Crop an area from a YUV file", nullptr, "Cr"},
        {Command::Flip, "&Vertical flip", "Ctrl+V", "Flip a YUV file vertically", nullptr, "\u2195"},
        {Command::Padding, "Pa&dding", "Ctrl+D", "Padding image width and height", nullptr, "Pd"},
        {Command::Merge, "Co&lor merge", "Ctrl+L",
         "Merge single Y, U and V component files into one YUV file", nullptr, "M"},
        {Command::Separate, "Color &separate", "Ctrl+S", "Split Y, U and V components into separate files",
         nullptr, "S"}}},
      {"YUV Analyzer",
       {{Command::Psnr, "&PSNR ", "Ctrl+P", "Calculate PSNR between two YUV files", nullptr, "dB"},
        {Command::Compare, "&Compare ", "Ctrl+C", "Check difference between two YUV files", nullptr,
         "\u0394"},
        {Command::Overlay, "&Info Overlay", "Ctrl+I", "Overlay info data on top of a YUV file", nullptr, "i"},
        {Command::Motion, "Motion Estimation ", "Ctrl+M", "Check motions between two adjacent frames",
         nullptr, "MV"}}},
      {"YUV Editor",
       {{Command::Edit, "Inspect and &Edit", "Ctrl+E", "Inspect and edit a YUV file", nullptr, "Ed"},
        {Command::Composition, "Compositio&n", "Ctrl+N", "Put one image on top of anyother YUV image",
         nullptr, "Cp"}}},
      {"AVI Files",
       {{Command::AviToYuv, "Decode &AVI to YUV ", "Ctrl+A", "Decode an AVI file to YUV format", nullptr,
         "A\u2192"},
        {Command::YuvToAvi, "Encode &YUV to AVI ", "Ctrl+Y", "Encode YUV frames into AVI format", nullptr,
         "\u2192A"}}},
      {"&Options",
       {{Command::Toolbar, "&Toolbar", "Ctrl+T", "Show or hide the toolbar", nullptr, nullptr},
        {Command::StatusBar, "Status &Bar ", "Ctrl+B", "Show or hide the status bar", nullptr, nullptr},
        {Command::Grid, "Grid...", "Ctrl+G", "Grid display settings", nullptr, "#"},
        {Command::Formula, "YUV to RGB Form&ula", "Ctrl+U", "Select RGB to YUV converting formula", nullptr,
         "fx"}}},
      {"&Help",
       {{Command::HelpContents, "&Help Contents", "F1", "List Help topics", nullptr, nullptr},
        {Command::CommandLine, "About Command Line...", nullptr, "Display command line parameters", nullptr,
         "-a"},
        {Command::About, "&About Velutrix...", nullptr,
         "Display program information, version number and copyright", nullptr, nullptr}}},
  };
  return menus;
}

QColor TileOf(Command c) {
  switch (c) {
    case Command::Open:
    case Command::History:
      return kPlayerTile;
    case Command::Convert:
    case Command::Join:
    case Command::Crop:
    case Command::Flip:
    case Command::Padding:
    case Command::Merge:
    case Command::Separate:
      return kConverterTile;
    case Command::Psnr:
    case Command::Compare:
    case Command::Overlay:
    case Command::Motion:
      return kAnalyzerTile;
    case Command::Edit:
    case Command::Composition:
      return kEditorTile;
    case Command::AviToYuv:
    case Command::YuvToAvi:
      return kAviTile;
    default:
      return kOptionsTile;
  }
}

bool IsTool(Command c) {
  switch (c) {
    case Command::Open:
    case Command::Convert:
    case Command::Join:
    case Command::Crop:
    case Command::Flip:
    case Command::Padding:
    case Command::Merge:
    case Command::Separate:
    case Command::Psnr:
    case Command::Compare:
    case Command::Overlay:
    case Command::Motion:
    case Command::Edit:
    case Command::Composition:
    case Command::AviToYuv:
    case Command::YuvToAvi:
      return true;
    default:
      return false;
  }
}

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QStringLiteral("Velutrix"));
  setWindowIcon(QIcon(ProgramIcon(64)));
  setGeometry(100, 20, 1000, 600);
  BuildMenus();
  BuildToolBar();
  BuildStatusBar();
}

void CMainFrame::BuildMenus() {
  for (const MenuSpec& menu : Menus()) {
    QMenu* m = menuBar()->addMenu(QString::fromUtf8(menu.title));
    for (const Entry& e : menu.entries) {
      if (e.command == Command::Exit || e.command == Command::Toolbar || e.command == Command::CommandLine) {
        if (e.command != Command::Toolbar) m->addSeparator();
      }
      auto* a = m->addAction(QString::fromUtf8(e.text));
      a->setObjectName(QString::number(static_cast<int>(e.command)));
      if (e.shortcut) a->setShortcut(QKeySequence(QString::fromLatin1(e.shortcut)));
      a->setStatusTip(QString::fromUtf8(e.prompt));
      a->setToolTip(QString::fromUtf8(e.tip ? e.tip : e.prompt));
      if (e.symbol) a->setIcon(ToolIcon(QString::fromUtf8(e.symbol), TileOf(e.command)));
      a->setEnabled(!IsTool(e.command));  // each tool is enabled once it is registered
      const Command command = e.command;
      connect(a, &QAction::triggered, this, [this, command] { Run(command); });
      actions_[e.command] = a;
    }
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
}

void CMainFrame::BuildToolBar() {
  toolBar_ = new QToolBar(QStringLiteral("Standard"), this);
  toolBar_->setObjectName(QStringLiteral("standardToolBar"));
  toolBar_->setIconSize(QSize(32, 32));
  toolBar_->setMovable(true);
  toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
  const std::vector<std::vector<Command>> groups = {
      {Command::Open, Command::History},
      {Command::Convert, Command::Join, Command::Crop, Command::Flip, Command::Padding, Command::Merge,
       Command::Separate},
      {Command::Psnr, Command::Compare, Command::Overlay, Command::Motion},
      {Command::Edit, Command::Composition},
      {Command::AviToYuv, Command::YuvToAvi},
      {Command::Grid, Command::Formula},
      {Command::CommandLine, Command::ContextHelp}};
  for (size_t g = 0; g < groups.size(); ++g) {
    if (g > 0) toolBar_->addSeparator();
    for (Command c : groups[g]) toolBar_->addAction(actions_[c]);
  }
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
  window->show();
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
    case Command::History: {
      CFileHistory dialog(this);
      dialog.exec();
      return;
    }
    case Command::Grid: {
      CGrid dialog(this);
      dialog.exec();
      return;
    }
    case Command::Formula: {
      CYUV2RGB_Formula dialog(this);
      dialog.exec();
      return;
    }
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
  emit closing();
  QMainWindow::closeEvent(event);
}

}  // namespace vx
