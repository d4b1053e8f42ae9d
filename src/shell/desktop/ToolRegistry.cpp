#include "shell/desktop/ToolRegistry.h"

#include <QPointer>

#include "avi/AviFile.h"
#include "model/FileHistory.h"
#include "model/Settings.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "shell/ToolTable.h"
#include "shell/desktop/FileHistoryDialog.h"
#include "shell/desktop/MainFrame.h"
#include "ui/analysis/CompareDialog.h"
#include "ui/analysis/MotionDialog.h"
#include "ui/analysis/OverlayDialog.h"
#include "ui/analysis/PsnrDialog.h"
#include "ui/controls/CommandLineTool.h"
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

// The PSNR window with SSIM chosen.
QWidget* MakeSsimWindow(QWidget* parent) {
  auto* window = new CPSNR(parent);
  window->SelectMetric(PsnrMetric::Ssim);
  return window;
}

struct ToolWindow {
  const char* tool;  // the key of its row in the tool table
  QWidget* (*make)(QWidget* parent);
};

// The window of each tool in the table, the one part of a tool that needs Qt.
constexpr ToolWindow kToolWindows[] = {
    {.tool = "play", .make = Make<CVideoPlayer>},    {.tool = "convert", .make = Make<CYUVConverter>},
    {.tool = "join", .make = Make<CJoinFile>},       {.tool = "crop", .make = Make<CImageCrop>},
    {.tool = "flip", .make = Make<CYUVFlip>},        {.tool = "pad", .make = Make<CYUVPadding>},
    {.tool = "merge", .make = Make<CYUVMerge>},      {.tool = "separate", .make = Make<CYUVSeparate>},
    {.tool = "psnr", .make = Make<CPSNR>},           {.tool = "compare", .make = Make<CYUVCompare>},
    {.tool = "overlay", .make = Make<CInfoOverlay>}, {.tool = "motion", .make = Make<CYUVCheckMotion>},
    {.tool = "edit", .make = Make<CImageEdit>},      {.tool = "composition", .make = Make<CYUVComposition>},
    {.tool = "avi2yuv", .make = Make<CAVI2YUV>},     {.tool = "yuv2avi", .make = Make<CYUV2AVI>},
    {.tool = "ssim", .make = MakeSsimWindow},
};

// A record of BMP pictures that no AVI stands behind: nothing replays it.
constexpr const char* kNotRawVideo =
    "Error HIST1003: %s is not raw video (it was recorded as BMP pictures); the player plays raw video "
    "files only.\n";

void ReplayIn(CMainFrame& main, Command tool, const CFileHistoryInfo& record) {
  if (auto* replayer = dynamic_cast<HistoryReplayer*>(main.OpenTool(tool)))
    replayer->ReplayFromHistory(QString::fromStdString(record.fileName));
}

// The File Manager replays a raw record with its layout in the window of the tool
// that replays history, without adding to the history. An AVI (the encoder's
// output is recorded as the 24-bit pictures it holds) opens in the AVI decoder
// instead, and neither it nor a record of BMP pictures touches the current raw
// layout, which the next raw file would otherwise be read with.
void ReplayFromHistory(CMainFrame& frame) {
  QPointer<CMainFrame> main(&frame);
  CFileHistory::SetPlayHandler([main](const CFileHistoryInfo& record) {
    if (!main) return;
    if (avi::LooksLikeAviFile(record.fileName)) {
      ReplayIn(*main, ToolId("avi2yuv"), record);
      return;
    }
    if (record.SamplingFormat == BMP) {
      ShowMessage(StrFormat(kNotRawVideo, record.fileName.c_str()));
      return;
    }
    ImageFormat& current = CurrentSettings().Format;
    current.SamplingFormat = record.SamplingFormat;
    current.ComponentOrder = record.ComponentOrder;
    current.FieldFormat = record.FieldFormat;
    current.PixelFormat = record.PixelFormat;
    current.ImageResolution = record.ImageResolution;
    current.ImgWidth = record.ImgWidth;
    current.ImgHeight = record.ImgHeight;
    current.BitsPerSample = record.BitsPerSample;
    for (const ToolRow& row : ToolTable()) {
      if (!row.replaysHistory) continue;
      ReplayIn(*main, row.id, record);
      return;
    }
  });
}

// Files dropped on the main window open in a new player, as if picked with its
// Browse: the format dialog asks the layout of the first.
void PlayDroppedFiles(CMainFrame& frame) {
  QPointer<CMainFrame> main(&frame);
  frame.SetFileOpener([main](const QStringList& files) {
    if (!main) return;
    if (auto* player = dynamic_cast<CVideoPlayer*>(main->OpenTool(ToolId("play"))))
      player->ChooseFiles(files);
  });
}

}  // namespace

void RegisterTools(CMainFrame& frame) {
  for (const ToolWindow& window : kToolWindows) {
    if (const ToolRow* tool = FindTool(std::string_view(window.tool)))
      frame.RegisterTool(tool->id, QString::fromUtf8(tool->windowTitle), window.make);
  }
  ReplayFromHistory(frame);
  PlayDroppedFiles(frame);
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
