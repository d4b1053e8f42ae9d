#include "app/ToolRegistry.h"

#include "app/MainFrame.h"
#include "app/Settings.h"
#include "tools/ConverterDialog.h"

namespace vx {

void RegisterTools(CMainFrame& frame) {
  frame.RegisterTool(Command::Convert, QStringLiteral("Convert YUV File Format"),
                     [](QWidget* parent) { return new CYUVConverter(parent); });
}

bool StartCommandLineTool(CMainFrame& frame, const CommandLineRequest& request) {
  switch (request.Action) {
    case ActionConvert: {
      auto* converter = qobject_cast<CYUVConverter*>(frame.OpenTool(Command::Convert));
      if (!converter) return false;
      converter->SetCommandLineJob(request.ExitWhenDone != 0, &frame);
      return converter->StartFromRequest(request, CurrentSettings().Format);
    }
    default:
      return false;
  }
}

}  // namespace vx
