#include "ui/tools/AviDialogs.h"

#include <QGroupBox>
#include <QScreen>
#include <QVBoxLayout>
#include <cstdio>

#include "model/Settings.h"
#include "platform/MessageSink.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/NamedWidget.h"

namespace vx {
namespace {

const QString kAviFilters = QStringLiteral("AVI file(*.avi);;All Files(*)");

const QString kSourceFilters = QStringLiteral(
    "All raw video(*.yuv *.rgb *.uyvy *.uynv *.y422 *.iuyv *.yuy2 *.v422 *.yuyv *.yvyu *.iyu2 *.yv16 *.yv12 "
    "*.iyuv *.i420 *.bmp);;Raw Video(*.yuv *.rgb);;FOURCC format(*.uyvy *.uynv *.y422 *.iuyv *.yuy2 *.uynv "
    "*.v422 *.yuyv *.yvyu *.iyu2 *.yv16 *.yv12 *.iyuv *.i420);;BMP Files(*.bmp);;All Files(*)");

// The AVI's target is a 24-bit picture, never a BMP sequence: no BMP-to-BMP refusal.
const PictureSourceTexts kEncoderPictureTexts = {
    nullptr,
    "Error TAVI1002: image loaded Failed",
    "Error TAVI1003: Only 24 bits BMP supported!",
};

}  // namespace

// ---------------------------------------------------------------- AVI to YUV

CAVI2YUV::CAVI2YUV(QWidget* parent) : ToolDialogOf(std::make_unique<AviToYuvJob>(), parent) {
  sourceGroup_->setTitle(QStringLiteral("Load AVI file:"));
}

void CAVI2YUV::BrowseSource() {
  const QString path = AskOpenFileName(this, QStringLiteral("Load AVI file"), QString(), kAviFilters);
  if (!path.isEmpty()) ChooseSource(path);
}

void CAVI2YUV::ChooseSource(const QString& path) {
  if (!job().ChooseAvi(path.toStdString())) return;
  ShowMessage(AviInformationText(avi::ReadableCodecs(), job().Handler, job().SourceFormat.ImgWidth,
                                 job().SourceFormat.ImgHeight, job().FrameCount));
  ShowSource(path, path);
}

bool CAVI2YUV::ReplayFromHistory(const QString& path) {
  ChooseSource(path);
  return job().SourceName == path.toStdString();
}

bool CAVI2YUV::StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) {
  SetCommandLineJob(request.ExitWhenDone != 0, mainWindow);
  ShowRequestedNames(QString::fromStdString(request.InputName), QString::fromStdString(request.OutputName));
  if (!job().PrepareDecoding({.source = request.InputName,
                              .target = request.OutputName,
                              .targetFormat = request.OutputFormat.Layout()})) {
    return false;
  }
  return StartPrepared();
}

// ---------------------------------------------------------------- YUV to AVI

CYUV2AVI::CYUV2AVI(QWidget* parent) : ToolDialogOf(std::make_unique<YuvToAviJob>(), parent) {
  BuildControls(QStringLiteral("Load original file:"), QStringLiteral("Save AVI file:"),
                QStringLiteral("Frame Count:"));
  auto* group = new QGroupBox(QStringLiteral("Video codec:"), this);
  codecs_ = MakeNamed<QListWidget>(QStringLiteral("codecList"), group);
  codecs_->setMaximumHeight(110);
  auto* layout = new QVBoxLayout(group);
  layout->addWidget(codecs_);
  toolArea()->addWidget(group);
  LockWhileRunning(codecs_);
  int selected = 0;
  const auto offered = avi::OfferedEncoders();
  for (size_t i = 0; i < offered.size(); ++i) {
    codecs_->addItem(QString::fromStdString(CodecListEntry(offered[i])));
    if (offered[i].code == "iyuv") selected = static_cast<int>(i);
  }
  if (codecs_->count() > 0) codecs_->setCurrentRow(selected);
  // A codec chosen by the user says what it is on the standard output.
  connect(codecs_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row < 0) return;
    const std::string diagnostics = CodecDiagnostics(codecs_->item(row)->text().left(4).toStdString());
    std::fputs(diagnostics.c_str(), stdout);
    std::fflush(stdout);
  });
  connect(browseSource_, &QPushButton::clicked, this, &CYUV2AVI::BrowseSource);
  connect(browseTarget_, &QPushButton::clicked, this, &CYUV2AVI::BrowseTarget);
}

void CYUV2AVI::BrowseSource() {
  const QString path = AskOpenFileName(this, QStringLiteral("Load original file"), QString(), kSourceFilters);
  if (!path.isEmpty()) ChooseSource(path);
}

void CYUV2AVI::ChooseSource(const QString& path) {
  ChooseRawOrPictureSource(*this, path, job(), job().SourceBmpNames, kEncoderPictureTexts);
  job().SetTargetFromSource();
  RefreshLabels();
}

void CYUV2AVI::BrowseTarget() {
  const QString path = AskSaveNameInto(this, targetBox(), QStringLiteral("Save AVI file"), kAviFilters);
  if (path.isEmpty()) return;
  job().TargetName = path.toStdString();
  SetTitle(sourceBox()->text(), path);
}

bool CYUV2AVI::ReadToolBoxes() {
  if (const QScreen* shown = screen()) job().Screen = {shown->geometry().width(), shown->geometry().height()};
  if (codecFromRequest_) {  // the command line's code, once
    codecFromRequest_ = false;
    return true;
  }
  const QListWidgetItem* item = codecs_->currentItem();
  const QString code = item ? item->text().section(QLatin1Char(' '), 0, 0) : QString();
  if (code.size() != 4) {
    ShowMessage("Codec FOURCC can only have 4 letters", kPromptCaption);
    return false;
  }
  job().Codec = code.toStdString();
  return true;
}

bool CYUV2AVI::StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) {
  SetCommandLineJob(request.ExitWhenDone != 0, mainWindow);
  ShowRequestedNames(QString::fromStdString(request.InputName), QString::fromStdString(request.OutputName));
  if (!job().PrepareEncoding({.source = request.InputName,
                              .target = request.OutputName,
                              .sourceFormat = CurrentSettings().Format,
                              .codec = request.AviFourcc})) {
    return false;
  }
  codecFromRequest_ = true;
  return StartPrepared();
}

}  // namespace vx
