#include "app/Startup.h"

#include <cstdlib>

#include "app/FileHistory.h"
#include "image/ColorFormula.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "analysis/Psnr.h"
#include "tools/Converter.h"
#include "tools/Crop.h"
#include "tools/Flip.h"
#include "tools/Join.h"

namespace vx {

int PrepareStartup(const std::vector<std::string>& args, ProgramSettings& settings,
                   CommandLineRequest& request) {
  LoadHistory();
  settings.Grid1 = kDefaultGrid1;
  settings.Grid2 = kDefaultGrid2;
  LoadSettings(settings);
  request.InputName.clear();
  request.SecondInputName.clear();
  if (args.size() > 1) return ParseCommandLine(args, request, settings);
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

int RunHeadless(const std::vector<std::string>& args) {
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
  BuildYuvToRgbTables();
  const int code = RunHeadlessJob(request, settings);
  SaveAtShutdown(settings);
  return code;
}

namespace {

// Headless jobs have nobody to show a preview to.
class HeadlessObserver final : public ToolJobObserver {
 public:
  bool WantsPreview() const override { return false; }
};

int RunJob(ToolJob& job, bool exitWhenDone) {
  job.ExitWhenDone = exitWhenDone;
  job.RunState = Running;
  HeadlessObserver observer;
  return job.Run(observer) == JobOutcome::Completed ? 0 : kExitJobFailed;
}

}  // namespace

int RunHeadlessJob(const CommandLineRequest& request, const ProgramSettings& settings) {
  switch (request.Action) {
    case ActionPlay:
      ShowMessage(
          StrFormat("Sorry, the player needs a display to show %s: set DISPLAY or WAYLAND_DISPLAY, or use "
                    "another action.\n",
                    request.InputName.c_str()));
      return kExitJobFailed;
    case ActionConvert: {
      ConverterJob job;
      if (!job.PrepareFromCommandLine(request, settings.Format)) return kExitJobFailed;
      return RunJob(job, request.ExitWhenDone != 0);
    }
    case ActionCrop: {
      CropJob job;
      const CropRectangle& r = request.CropRect;
      if (!job.PrepareCrop(request.InputName, request.OutputName, settings.Format, r.Top, r.Left, r.Height,
                           r.Width)) {
        return kExitJobFailed;
      }
      return RunJob(job, request.ExitWhenDone != 0);
    }
    case ActionFlip: {
      FlipJob job;
      if (!job.PrepareFromRequest(request.InputName, request.OutputName, settings.Format))
        return kExitJobFailed;
      return RunJob(job, request.ExitWhenDone != 0);
    }
    case ActionJoin: {
      JoinJob job;
      if (!job.PrepareJoin(request.InputName, request.SecondInputName, request.OutputName, settings.Format)) {
        return kExitJobFailed;
      }
      return RunJob(job, request.ExitWhenDone != 0);
    }
    case ActionPsnr: {
      PsnrRun run;
      run.PrepareFromRequest(request.InputName, request.SecondInputName, request.OutputName, request.ReportDelimiter,
                             settings.Format);
      run.ExitWhenDone = request.ExitWhenDone != 0;
      run.RunState = 4;
      PsnrObserver observer;
      return run.Run(observer) == PsnrOutcome::Completed ? 0 : kExitJobFailed;
    }
    default:
      return 0;  // tools still to come accept their command line and do nothing yet
  }
}

}  // namespace vx
