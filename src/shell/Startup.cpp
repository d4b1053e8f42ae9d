#include "shell/Startup.h"

#include <cstdlib>

#include "image/ColorFormula.h"
#include "model/FileHistory.h"
#include "platform/MessageSink.h"
#include "platform/RawFile.h"
#include "platform/StringFormat.h"
#include "shell/ToolTable.h"

namespace vx {

int PrepareStartup(const std::vector<std::string>& args, ProgramSettings& settings,
                   CommandLineRequest& request) {
  LoadHistory();
  settings.Grid1 = kDefaultGrid1;
  settings.Grid2 = kDefaultGrid2;
  LoadSettings(settings);
  request.InputName.clear();
  request.SecondInputName.clear();
  if (args.size() > 1) return ParseCommandLine(args, CommandLineActions(), request, settings);
  return 0;
}

void SaveAtShutdown(const ProgramSettings& settings) {
  SaveSettings(settings);
  SaveHistory();
}

bool HaveDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

bool NeedsCodecs(const std::vector<std::string>& args) {
  for (size_t i = 1; i + 1 < args.size(); ++i) {
    if (args[i].size() < 2 || args[i].compare(0, 2, "-a") != 0) continue;
    const ToolRow* tool = FindAction(args[i + 1]);
    if (tool && tool->needsCodecs) return true;
  }
  return false;
}

int RunHeadless(const std::vector<std::string>& args) {
  RemoveTemporariesOnSignals();
  StderrMessageSink sink;
  ScopedMessageSink scope(sink);
  if (args.size() <= 1) {
    ShowMessage(
        "The Velutrix desktop window needs a display (DISPLAY or WAYLAND_DISPLAY is not set).\n"
        "Without a display, run one of the command-line actions below.\n");
    ShowUsage(args.empty() ? "velutrix" : args[0]);
    return 1;
  }
  ProgramSettings& settings = CurrentSettings();
  CommandLineRequest request;
  if (const int code = PrepareStartup(args, settings, request)) return code;
  PublishColourFormula({.formula = settings.YUV2RGB_Formula, .user = settings.User_Defined_Formula});
  const int code = RunHeadlessJob(request, settings);
  SaveAtShutdown(settings);
  return code;
}

int RunHeadlessJob(const CommandLineRequest& request, const ProgramSettings& settings) {
  const ToolRow* row = FindAction(request.Action);
  if (!row) {
    ShowMessage(kActionNotRecognized);
    return kExitJobFailed;
  }
  if (!row->runHeadless) {
    ShowMessage(row->unavailable);  // a tool this version does not have yet
    return kExitJobFailed;
  }
  return row->runHeadless(request, settings);
}

}  // namespace vx
