#include "ui/tools/ConverterDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "image/Dib.h"
#include "model/FileHistory.h"
#include "model/Settings.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/FormatDialog.h"
#include "ui/controls/OkCancelButtons.h"
#include "ui/controls/RawFilePicker.h"

namespace vx {
namespace {

const QString kRawFilters = QStringLiteral(
    "All raw video(*.yuv *.rgb *.uyvy *.uynv *.y422 *.iuyv *.yuy2 *.v422 *.yuyv *.yvyu *.iyu2 *.yv16 *.yv12 "
    "*.iyuv *.i420 *.bmp);;Raw Video(*.yuv *.rgb);;FOURCC format(*.uyvy *.uynv *.y422 *.iuyv *.yuy2 *.uynv "
    "*.v422 *.yuyv *.yvyu "
    "*.iyu2 "
    "*.yv16 *.yv12 *.iyuv *.i420);;BMP Files(*.bmp);;All Files(*)");

std::unique_ptr<ConverterJob> NewJob() {
  auto job = std::make_unique<ConverterJob>();
  const ImageFormat defaults{.Fourcc = 13,
                             .SamplingFormat = YUV_420,
                             .FieldFormat = Progressive,
                             .PixelFormat = Planar,
                             .ImgWidth = 0,
                             .ImgHeight = 0};
  static_cast<ImageFormat&>(job->SourceFormat) = defaults;
  static_cast<ImageFormat&>(job->TargetFormat) = defaults;
  return job;
}

}  // namespace

QString ExtensionOf(const QString& path) {
  const int dot = path.lastIndexOf(QLatin1Char('.'));
  const int slash = path.lastIndexOf(QLatin1Char('/'));
  return dot > slash ? path.mid(dot + 1) : QString();
}

CBMPFileInput::CBMPFileInput(const QString& firstPicture, QWidget* parent)
    : QDialog(parent), listWidget_(new QListWidget(this)), status_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("Select a Sequence of BMP Files"));
  resize(640, 420);
  auto* add = new QPushButton(QStringLiteral("Add BMP files..."), this);
  auto* up = new QPushButton(QStringLiteral("Move selected file up"), this);
  auto* down = new QPushButton(QStringLiteral("Move selected file down"), this);
  auto* remove = new QPushButton(QStringLiteral("Delete selected file"), this);
  auto* repeat = new QPushButton(QStringLiteral("Repeat selected file"), this);
  auto* buttons = MakeOkCancelButtons(this);
  status_->setFrameShape(QFrame::StyledPanel);
  auto* side = new QVBoxLayout;
  for (QPushButton* b : {add, up, down, remove, repeat}) side->addWidget(b);
  side->addStretch();
  auto* top = new QHBoxLayout;
  top->addWidget(listWidget_, 1);
  top->addLayout(side);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(status_);
  layout->addWidget(buttons);
  connect(add, &QPushButton::clicked, this, [this] {
    AddFiles(AskOpenFileNames(this, QStringLiteral("Add BMP files"), QStringLiteral("*.bmp"),
                              QStringLiteral("BMP Files(*.bmp)")));
  });
  connect(up, &QPushButton::clicked, this, &CBMPFileInput::MoveUp);
  connect(down, &QPushButton::clicked, this, &CBMPFileInput::MoveDown);
  connect(remove, &QPushButton::clicked, this, &CBMPFileInput::DeleteSelected);
  connect(repeat, &QPushButton::clicked, this, &CBMPFileInput::RepeatSelected);
  opened_ = list_.Open(firstPicture.toStdString());
  Refill(0);
}

void CBMPFileInput::Refill(int selected) {
  listWidget_->clear();
  for (const std::string& name : list_.Names()) listWidget_->addItem(QString::fromStdString(name));
  if (selected >= 0 && selected < listWidget_->count()) listWidget_->setCurrentRow(selected);
  status_->setText(QString::fromStdString(list_.Status()));
}

void CBMPFileInput::AddFiles(const QStringList& paths) {
  std::vector<std::string> names;
  for (const QString& p : paths) names.push_back(p.toStdString());
  list_.Add(names);
  Refill(listWidget_->currentRow());
}

void CBMPFileInput::MoveUp() {
  Refill(list_.MoveUp(listWidget_->currentRow()));
}
void CBMPFileInput::MoveDown() {
  Refill(list_.MoveDown(listWidget_->currentRow()));
}
void CBMPFileInput::DeleteSelected() {
  Refill(list_.Delete(listWidget_->currentRow()));
}
void CBMPFileInput::RepeatSelected() {
  Refill(list_.Repeat(listWidget_->currentRow()));
}

void CBMPFileInput::accept() {
  names_ = list_.Result();
  QDialog::accept();
}

CYUVConverter::CYUVConverter(QWidget* parent) : CYUVConverter(NewJob(), parent) {}

CYUVConverter::CYUVConverter(std::unique_ptr<ConverterJob> ownedJob, QWidget* parent)
    : ToolDialogOf(std::move(ownedJob), parent) {
  BuildControls(QStringLiteral("Load original file:"), QStringLiteral("Convert to file: "),
                QStringLiteral("Frame Count:"));
  connect(browseSource_, &QPushButton::clicked, this, &CYUVConverter::BrowseSource);
  connect(browseTarget_, &QPushButton::clicked, this, &CYUVConverter::BrowseTarget);
}

void CYUVConverter::BrowseSource() {
  const QString path = AskOpenFileName(this, QStringLiteral("Load original file"), QString(), kRawFilters);
  if (path.isEmpty()) {
    preview()->update();
    return;
  }
  ChooseSource(path);
}

const PictureSourceTexts kConverterPictureTexts = {
    "Error CONV1001: We do not support convert from BMP to BMP",
    "Error CONV1002: image loaded Failed",
    "Error CONV1003: Only 24 bits BMP supported!",
};

bool IsBmpName(const QString& path) {
  return ExtensionOf(path).compare(QStringLiteral("bmp"), Qt::CaseInsensitive) == 0;
}

std::optional<PictureList> AskPictureList(QWidget* parent, const QString& firstPicture,
                                          const PictureSourceTexts& texts) {
  CDib dib;
  auto file = RawFile::OpenRead(firstPicture.toStdString());
  if (!file || !dib.Read(*file)) {
    ShowMessage(texts.loadFailed);
    return std::nullopt;
  }
  if (dib.BitCount() != 24) {
    ShowMessage(texts.not24Bits);
    return std::nullopt;
  }
  CBMPFileInput list(firstPicture, parent);
  if (list.exec() != QDialog::Accepted || list.names().empty()) return std::nullopt;
  return PictureList{list.names(), dib.Width(), dib.Height()};
}

void ChooseRawOrPictureSource(ToolDialog& dialog, const QString& path, ToolJob& job,
                              std::vector<std::string>& bmpNames, const PictureSourceTexts& texts) {
  const bool bmp = IsBmpName(path);
  if (bmp && texts.bmpToBmp && job.TargetFormat.SamplingFormat == BMP) {
    ShowMessage(texts.bmpToBmp);
    return;
  }
  job.SourceName = path.toStdString();
  if (!bmp) {
    if (const auto choice = AskRawFormat(&dialog, path, RawPickOptions{})) {
      static_cast<ImageFormat&>(job.SourceFormat) = choice->format;
      ComputeFrameSize(job.SourceFormat);
      job.FrameCount = choice->frameCount;
      AddToHistory(job.SourceName, job.SourceFormat, kOpened);
      job.StartFrame = 1;
      job.EndFrame = job.FrameCount;
      bmpNames.clear();
    }
    dialog.ShowSource(QStringLiteral("<%1> to <%2>").arg(path, dialog.targetBox()->text()), path);
    return;
  }
  const auto pictures = AskPictureList(&dialog, path, texts);
  if (!pictures) return;
  bmpNames = pictures->names;
  job.SourceFormat = PictureFormat(pictures->width, pictures->height);
  job.FrameCount = static_cast<int64_t>(bmpNames.size());
  job.StartFrame = 1;
  job.EndFrame = job.FrameCount;
  dialog.ShowSource(
      QStringLiteral("<%1>... to <%2>").arg(path, dialog.targetBox()->text()),
      QStringLiteral("<%1>...<%2>")
          .arg(QString::fromStdString(bmpNames.front()), QString::fromStdString(bmpNames.back())));
}

void CYUVConverter::ChooseSource(const QString& path) {
  ChooseRawOrPictureSource(*this, path, job(), job().SourceBmpNames, kConverterPictureTexts);
}

void CYUVConverter::BrowseTarget() {
  const QString path = AskSaveFileName(this, {.caption = QStringLiteral("Convert to file"),
                                              .start = {},
                                              .filters = kRawFilters,
                                              .confirmOverwrite = false});
  if (!path.isEmpty()) ChooseTarget(path);
}

void CYUVConverter::ChooseTarget(const QString& path) {
  ConverterJob& j = job();
  const QString extension = ExtensionOf(path);
  if (extension.isEmpty()) {
    ShowMessage("You have to specify file extension, like *.bmp, *.yuv or *.rgb, etc");
    return;
  }
  const bool bmp = IsBmpName(path);
  if (bmp && SourceIsPictureList()) {
    ShowMessage("Error CONV1004: We do not support convert from BMP to BMP");
    return;
  }
  j.TargetName = path.toStdString();
  if (!bmp) {
    SetTitle(sourceBox()->text(), path);
    targetBox()->setText(path);
    // Preset with the source's layout; the file is not read.
    ImageFormat preset = CurrentSettings().Format;
    const ImageFormat& s = j.SourceFormat;
    if (s.SamplingFormat != BMP) {
      preset.SamplingFormat = s.SamplingFormat;
      preset.ComponentOrder = s.ComponentOrder;
      preset.Fourcc = s.Fourcc;
    }
    preset.ImageResolution = s.ImageResolution;
    preset.FieldFormat = s.FieldFormat;
    preset.PixelFormat = preset.SamplingFormat == YUV_420 ? Planar : s.PixelFormat;
    preset.ImgWidth = s.ImgWidth;
    preset.ImgHeight = s.ImgHeight;
    CYuvFrmtDlg format(this, preset);
    format.SetRefuseMono(true);
    format.SetLeaveOutBmp(true);  // BMP targets are chosen by their .bmp name
    format.SetTargetName(path);   // titled with the path, layout guessed from the name
    if (format.exec() == QDialog::Accepted) {
      static_cast<ImageFormat&>(j.TargetFormat) = format.format();
      ComputeFrameSize(j.TargetFormat);
      j.TargetBmpNames.clear();
    }
  } else {
    if (j.FrameCount > kMaxBmpFiles) {
      ShowMessage(StrFormat(
          "Error CONV1015: There are more than %d frames, only first %d frames are converted to BMP files\n",
          static_cast<int>(kMaxBmpFiles), static_cast<int>(kMaxBmpFiles)));
      j.FrameCount = kMaxBmpFiles;
      j.EndFrame = kMaxBmpFiles;
      toBox()->setText(QString::number(j.EndFrame));
    }
    const int64_t count = std::max<int64_t>(j.FrameCount, 1);
    j.TargetBmpNames = BmpSequenceNames(j.TargetName, count);
    // The notice names the pictures that will be written: frame 1 is _0000.
    const std::string base = ToolJob::DefaultTargetName(j.TargetName, "");
    ShowMessage(
        StrFormat("A sequence of BMP files will be created, starting from %s_%04d.bmp, to %s_%04d.bmp.\n"
                  "Click on Start to begin the conversion",
                  base.c_str(), 0, base.c_str(), static_cast<int>(count - 1)));
    targetBox()->setText(path);
    static_cast<ImageFormat&>(j.TargetFormat) = j.SourceFormat;
    j.TargetFormat.SamplingFormat = BMP;
    ComputeFrameSize(j.TargetFormat);
  }
  RefreshLabels();
  preview()->update();
}

bool CYUVConverter::StartFromRequest(const CommandLineRequest& request, const ImageFormat& current) {
  ShowRequestedNames(QString::fromStdString(request.InputName), QString::fromStdString(request.OutputName));
  if (!job().PrepareConversion({.source = request.InputName,
                                .target = request.OutputName,
                                .sourceFormat = current,
                                .targetFormat = request.OutputFormat.Layout()})) {
    return false;
  }
  if (job().SourceFormat.SamplingFormat == BMP) {
    const auto& names = job().SourceBmpNames;
    setWindowTitle(
        QStringLiteral("<%1>... to <%2>")
            .arg(QString::fromStdString(request.InputName), QString::fromStdString(request.OutputName)));
    sourceBox()->setText(names.size() == 1 ? QString::fromStdString(names.front())
                                           : QStringLiteral("<%1>...<%2>")
                                                 .arg(QString::fromStdString(names.front()),
                                                      QString::fromStdString(names.back())));
  }
  return StartPrepared();
}

bool CYUVConverter::StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) {
  SetCommandLineJob(request.ExitWhenDone != 0, mainWindow);
  return StartFromRequest(request, CurrentSettings().Format);
}

}  // namespace vx
