#include "app/ToolRegistry.h"

#include <QPointer>

#include "app/FileHistory.h"
#include "app/FileHistoryDialog.h"
#include "app/MainFrame.h"
#include "analysis/PsnrDialog.h"
#include "app/Settings.h"
#include "player/VideoPlayer.h"
#include "tools/ConverterDialog.h"
#include "tools/TransformDialogs.h"

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
  frame.RegisterTool(Command::Psnr, QStringLiteral("PSNR Calculation"),
                     [](QWidget* parent) { return new CPSNR(parent); });
  frame.RegisterTool(Command::Convert, QStringLiteral("Convert YUV File Format"),
                     [](QWidget* parent) { return new CYUVConverter(parent); });
}

bool StartCommandLineTool(CMainFrame& frame, const CommandLineRequest& request) {
  switch (request.Action) {
    case ActionPlay: {
      auto* player = qobject_cast<CVideoPlayer*>(frame.OpenTool(Command::Open));
      if (!player) return false;
      player->SetCommandLine(request.FrameRate, request.ExitWhenDone != 0, &frame);
      return player->StartFromRequest(QString::fromStdString(request.InputName), true);
    }
    case ActionConvert: {
      auto* converter = qobject_cast<CYUVConverter*>(frame.OpenTool(Command::Convert));
      if (!converter) return false;
      converter->SetCommandLineJob(request.ExitWhenDone != 0, &frame);
      return converter->StartFromRequest(request, CurrentSettings().Format);
    }
    case ActionCrop: {
      auto* crop = qobject_cast<CImageCrop*>(frame.OpenTool(Command::Crop));
      if (!crop) return false;
      crop->SetCommandLineJob(request.ExitWhenDone != 0, &frame);
      const CropRectangle& r = request.CropRect;
      return crop->StartFromRequest(QString::fromStdString(request.InputName),
                                    QString::fromStdString(request.OutputName), CurrentSettings().Format,
                                    r.Top, r.Left, r.Height, r.Width);
    }
    case ActionFlip: {
      auto* flip = qobject_cast<CYUVFlip*>(frame.OpenTool(Command::Flip));
      if (!flip) return false;
      flip->SetCommandLineJob(request.ExitWhenDone != 0, &frame);
      return flip->StartFromRequest(QString::fromStdString(request.InputName),
                                    QString::fromStdString(request.OutputName), CurrentSettings().Format);
    }
    case ActionJoin: {
      auto* join = qobject_cast<CJoinFile*>(frame.OpenTool(Command::Join));
      if (!join) return false;
      join->SetCommandLineJob(request.ExitWhenDone != 0, &frame);
      join->setWindowTitle(QStringLiteral("Join two YUV files"));
      return join->StartFromRequest(QString::fromStdString(request.InputName),
                                    QString::fromStdString(request.SecondInputName),
                                    QString::fromStdString(request.OutputName), CurrentSettings().Format);
    }
    case ActionPsnr: {
      auto* psnr = qobject_cast<CPSNR*>(frame.OpenTool(Command::Psnr));
      if (!psnr) return false;
      psnr->SetCommandLineJob(request.ExitWhenDone != 0, &frame);
      psnr->setWindowTitle(QStringLiteral("Calculate PSNR"));
      return psnr->StartFromRequest(QString::fromStdString(request.InputName),
                                    QString::fromStdString(request.SecondInputName),
                                    QString::fromStdString(request.OutputName), request.ReportDelimiter,
                                    CurrentSettings().Format);
    }
    default:
      return false;
  }
}

}  // namespace vx
