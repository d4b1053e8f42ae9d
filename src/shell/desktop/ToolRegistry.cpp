#include "shell/desktop/ToolRegistry.h"

#include <QPointer>

#include "model/FileHistory.h"
#include "model/Settings.h"
#include "platform/MessageSink.h"
#include "shell/Actions.h"
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

void RegisterTools(CMainFrame& frame) {
  frame.RegisterTool(Command::Open, QStringLiteral("Play YUV Video File"),
                     [](QWidget* parent) { return new CVideoPlayer(parent); });
  // The File Manager replays a record with its layout, without adding to the history.
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
  frame.RegisterTool(Command::Crop, QStringLiteral("Image Cropping"),
                     [](QWidget* parent) { return new CImageCrop(parent); });
  frame.RegisterTool(Command::Flip, QStringLiteral("Vertically Flip a YUV Image"),
                     [](QWidget* parent) { return new CYUVFlip(parent); });
  frame.RegisterTool(Command::Join, QStringLiteral("Join Two YUV Files Into One File"),
                     [](QWidget* parent) { return new CJoinFile(parent); });
  frame.RegisterTool(Command::Padding, QStringLiteral("Image Padding"),
                     [](QWidget* parent) { return new CYUVPadding(parent); });
  frame.RegisterTool(Command::Merge,
                     QStringLiteral("Merge separate Y, U and V component files into one YUV file"),
                     [](QWidget* parent) { return new CYUVMerge(parent); });
  frame.RegisterTool(Command::Separate, QStringLiteral("Split Y, U and V components into separate files"),
                     [](QWidget* parent) { return new CYUVSeparate(parent); });
  frame.RegisterTool(Command::Composition, QStringLiteral("Composite Two YUV Files Into One File"),
                     [](QWidget* parent) { return new CYUVComposition(parent); });
  frame.RegisterTool(Command::Psnr, QStringLiteral("PSNR Calculation"),
                     [](QWidget* parent) { return new CPSNR(parent); });
  frame.RegisterTool(Command::Convert, QStringLiteral("Convert YUV File Format"),
                     [](QWidget* parent) { return new CYUVConverter(parent); });
  frame.RegisterTool(Command::Compare, QStringLiteral("Calculate the Difference of Two YUV Files"),
                     [](QWidget* parent) { return new CYUVCompare(parent); });
  frame.RegisterTool(Command::Overlay, QStringLiteral("Overlay Information On Top of Image"),
                     [](QWidget* parent) { return new CInfoOverlay(parent); });
  frame.RegisterTool(Command::Motion, QStringLiteral("Check motions between two consecutive frames:"),
                     [](QWidget* parent) { return new CYUVCheckMotion(parent); });
  frame.RegisterTool(Command::Edit, QStringLiteral("Edit Images Pixel by Pixel"),
                     [](QWidget* parent) { return new CImageEdit(parent); });
  frame.RegisterTool(Command::AviToYuv, QStringLiteral("Convert AVI to YUV"),
                     [](QWidget* parent) { return new CAVI2YUV(parent); });
  frame.RegisterTool(Command::YuvToAvi, QStringLiteral("Convert YUV to AVI"),
                     [](QWidget* parent) { return new CYUV2AVI(parent); });
}

bool StartCommandLineTool(CMainFrame& frame, const CommandLineRequest& request) {
  const ActionRow* row = FindAction(request.Action);
  if (!row) {
    ShowMessage(kActionNotRecognized);
    return false;
  }
  QWidget* window = frame.OpenTool(row->window);
  auto* tool = dynamic_cast<CommandLineTool*>(window);
  if (!tool) {
    if (window) window->close();
    ShowMessage(row->unavailable);
    return false;
  }
  window->setWindowTitle(QString::fromLatin1(row->windowTitle));
  return tool->StartCommandLine(request, &frame);
}

}  // namespace vx
