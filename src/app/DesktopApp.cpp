#include "app/DesktopApp.h"

#include <QApplication>

#include "app/MainFrame.h"
#include "app/Startup.h"
#include "platform/MessageBoxSink.h"

namespace vx {

int RunDesktop(const std::vector<std::string>& args) {
  // Qt would take arguments such as -style for itself; the program's own
  // command line is parsed from `args` instead, so Qt sees only the name.
  int qtArgc = 1;
  std::string programName = args.empty() ? std::string("velutrix") : args[0];
  char* qtArgv[] = {programName.data(), nullptr};
  QApplication application(qtArgc, qtArgv);
  QApplication::setApplicationName(QStringLiteral("Velutrix"));

  MessageBoxSink sink;
  ScopedMessageSink scope(sink);
  ProgramSettings& settings = CurrentSettings();
  CommandLineRequest request;
  if (const int code = PrepareStartup(args, settings, request)) return code;

  CMainFrame frame;
  frame.show();
  const int code = QApplication::exec();
  SaveAtShutdown(settings);
  return code;
}

}  // namespace vx
