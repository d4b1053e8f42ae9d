#include "shell/desktop/DesktopApp.h"

#include <QApplication>
#include <QLabel>

#include "display/DisplayConvert.h"
#include "image/ColorFormula.h"
#include "platform/RawFile.h"
#include "shell/ProgramInfo.h"
#include "shell/Startup.h"
#include "shell/desktop/MainFrame.h"
#include "shell/desktop/Resources.h"
#include "shell/desktop/ToolRegistry.h"
#include "ui/controls/MessageBoxSink.h"

namespace vx {
namespace {

QStringList ToQStringList(const std::vector<std::string>& names) {
  QStringList list;
  for (const std::string& name : names) list << QString::fromLocal8Bit(name);
  return list;
}

}  // namespace

int RunDesktop(const std::vector<std::string>& args) {
  RemoveTemporariesOnSignals();
  // Qt would take arguments such as -style for itself; the program's own
  // command line is parsed from `args` instead, so Qt sees only the name.
  int qtArgc = 1;
  std::string programName = args.empty() ? std::string("velutrix") : args[0];
  char* qtArgv[] = {programName.data(), nullptr};
  QApplication application(qtArgc, qtArgv);
  QApplication::setApplicationName(QStringLiteral("Velutrix"));
  InitResources();

  MessageBoxSink sink;
  ScopedMessageSink scope(sink);
  ProgramSettings& settings = CurrentSettings();
  CommandLineRequest request;
  // Files named without options (a desktop entry's %F, "Open with") open in the
  // player as if dropped on the main window; the command line holds no job then.
  const std::vector<std::string> files = FilesToOpen(args);
  const std::vector<std::string> jobArgs = files.empty() ? args : std::vector<std::string>{args.front()};
  if (const int code = PrepareStartup(jobArgs, settings, request)) return code;

  CMainFrame frame;
  auto* view = new QWidget(&frame);  // the empty view under the toolbar
  view->setAutoFillBackground(true);
  frame.setCentralWidget(view);
  RegisterTools(frame);
  frame.show();
  PublishColourFormula({.formula = settings.YUV2RGB_Formula, .user = settings.User_Defined_Formula});
  if (!files.empty())
    frame.OpenFiles(ToQStringList(files));
  else if (request.InputName.empty())
    frame.ShowSplash();
  else
    StartCommandLineTool(frame, request);

  const int code = QApplication::exec();
  SharedDisplayBuffer().Release();
  SaveAtShutdown(settings);
  return code;
}

}  // namespace vx
