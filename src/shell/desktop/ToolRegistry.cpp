#include "shell/desktop/ToolRegistry.h"

#include <QPointer>

#include "model/FileHistory.h"
#include "model/Settings.h"
#include "platform/MessageSink.h"
#include "shell/ToolTable.h"
#include "shell/desktop/FileHistoryDialog.h"
#include "shell/desktop/MainFrame.h"
#include "ui/analysis/CompareDialog.h"
#include "ui/analysis/MotionDialog.h"
#include "ui/analysis/OverlayDialog.h"
#include "ui/analysis/PsnrDialog.h"
#include "ui/editor/ImageEditDialog.h"
#include "ui/player/VideoPlayer.h"
#include "ui/tools/AviDialogs.h"
#include "ui/tools/ComponentDialogs.h"
#include "ui/tools/CompositionDialog.h"
#include "ui/tools/ConverterDialog.h"
#include "ui/tools/TransformDialogs.h"

namespace vx {
namespace {

template <class Window>
QWidget* Make(QWidget* parent) {
  return new Window(parent);
}

struct ToolWindow {
  Command tool;
  QWidget* (*make)(QWidget* parent);
};

// The window of each tool in the table, the one part of a tool that needs Qt.
constexpr ToolWindow kToolWindows[] = {
    {.tool = Command::Open, .make = Make<CVideoPlayer>},
    {.tool = Command::Convert, .make = Make<CYUVConverter>},
    {.tool = Command::Join, .make = Make<CJoinFile>},
    {.tool = Command::Crop, .make = Make<CImageCrop>},
    {.tool = Command::Flip, .make = Make<CYUVFlip>},
    {.tool = Command::Padding, .make = Make<CYUVPadding>},
    {.tool = Command::Merge, .make = Make<CYUVMerge>},
    {.tool = Command::Separate, .make = Make<CYUVSeparate>},
    {.tool = Command::Psnr, .make = Make<CPSNR>},
    {.tool = Command::Compare, .make = Make<CYUVCompare>},
    {.tool = Command::Overlay, .make = Make<CInfoOverlay>},
    {.tool = Command::Motion, .make = Make<CYUVCheckMotion>},
    {.tool = Command::Edit, .make = Make<CImageEdit>},
    {.tool = Command::Composition, .make = Make<CYUVComposition>},
    {.tool = Command::AviToYuv, .make = Make<CAVI2YUV>},
    {.tool = Command::YuvToAvi, .make = Make<CYUV2AVI>},
};

// The File Manager replays a record with its layout in the player, without
// adding to the history.
void PlayFromHistory(CMainFrame& frame) {
  QPointer<CMainFrame> main(&frame);
  CFileHistory::SetPlayHandler([main](const CFileHistoryInfo& record) {
    if (!main) return;
    ImageFormat& current = CurrentSettings().Format;
    current.SamplingFormat = record.SamplingFormat;
    current.ComponentOrder = record.ComponentOrder;
    current.FieldFormat = record.FieldFormat;
    current.PixelFormat = record.PixelFormat;
    current.ImageResolution = record.ImageResolution;
    current.ImgWidth = record.ImgWidth;
    current.ImgHeight = record.ImgHeight;
    if (auto* player = qobject_cast<CVideoPlayer*>(main->OpenTool(Command::Open))) {
      player->StartFromRequest(QString::fromStdString(record.fileName), false);
    }
  });
}

}  // namespace

void RegisterTools(CMainFrame& frame) {
  for (const ToolWindow& window : kToolWindows) {
    if (const ToolRow* tool = FindTool(window.tool))
      frame.RegisterTool(window.tool, QString::fromUtf8(tool->windowTitle), window.make);
  }
  PlayFromHistory(frame);
}

bool StartCommandLineTool(CMainFrame& frame, const CommandLineRequest& request) {
  const ToolRow* row = FindAction(request.Action);
  if (!row) {
    ShowMessage(kActionNotRecognized);
    return false;
  }
  QWidget* window = frame.OpenTool(row->id);
  auto* tool = dynamic_cast<CommandLineTool*>(window);
  if (!tool) {
    if (window) window->close();
    ShowMessage(row->unavailable);
    return false;
  }
  window->setWindowTitle(
      QString::fromLatin1(row->commandLineTitle ? row->commandLineTitle : row->windowTitle));
  return tool->StartCommandLine(request, &frame);
}

}  // namespace vx
