#include "ui/tools/ComponentDialogs.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

#include "model/FileHistory.h"
#include "model/Settings.h"
#include "platform/StringFormat.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/NamedWidget.h"
#include "ui/controls/RawFilePicker.h"

namespace vx {
namespace {

const QString kComponentFilters = QStringLiteral("Color Components(*.y *.u *.v *.r *.g *.b);;All Files(*)");
const std::array<QString, 3> kComponentLabels = {QStringLiteral("Y or R:"), QStringLiteral("U or G:"),
                                                 QStringLiteral("V or B:")};

int32_t BoxValue(const QLineEdit* box) {
  return ParseLeadingInt(box->text().toStdString());
}

QLineEdit* NumberBox(QWidget* parent, const QString& objectName) {
  auto* box = MakeNamed<QLineEdit>(objectName, parent);
  box->setMaximumWidth(70);
  return box;
}

RgbColor ToRgb(const QColor& c) {
  return RgbColor{c.red(), c.green(), c.blue()};
}

QColor ToQColor(const RgbColor& c) {
  return QColor(std::clamp(c.Red, 0, 255), std::clamp(c.Green, 0, 255), std::clamp(c.Blue, 0, 255));
}

std::unique_ptr<PaddingJob> PaddingJobWithCurrentFormat() {
  auto job = std::make_unique<PaddingJob>();
  static_cast<ImageFormat&>(job->SourceFormat) = CurrentSettings().Format;
  job->SourceFormat.ImageResolution = kCustomResolution;
  job->SourceFormat.ImgWidth = 0;
  job->SourceFormat.ImgHeight = 0;
  ComputeFrameSize(job->SourceFormat);
  job->TargetFormat = job->SourceFormat;
  return job;
}

}  // namespace

// ---- padding -------------------------------------------------------------------

CYUVPadding::CYUVPadding(QWidget* parent) : ToolDialogOf(PaddingJobWithCurrentFormat(), parent) {
  BuildControls({.sourceGroup = QStringLiteral("Load original file:"),
                 .targetGroup = QStringLiteral("Padded image file: "),
                 .frameNumberLabel = QStringLiteral("Frame processed:"),
                 .fromLabel = QStringLiteral("Frame")});
  statusGroup()->setTitle(QStringLiteral("Select frames from orignal file to create padded image"));
  BuildPaddingControls();
  connect(browseSource_, &QPushButton::clicked, this, [this] {
    // A mono file's border is padded too.
    if (const auto choice = PickRawSourceNamingTarget(QStringLiteral("_padded.yuv"), {.refuseMono = false}))
      ChooseSource(choice->path, choice->format, choice->frameCount);
  });
  connect(browseTarget_, &QPushButton::clicked, this, [this] {
    BrowseRawTarget();
    UpdateTargetLabel();
  });
}

void CYUVPadding::BuildPaddingControls() {
  const ProgramSettings& settings = CurrentSettings();
  sizeGroup_ = new QGroupBox(QStringLiteral("Resolution of padded image:"), this);
  multiples_ = MakeNamed<QRadioButton>(QStringLiteral("multiplesRadio"),
                                       QStringLiteral("Padding width/height to multiples of certain values:"),
                                       sizeGroup_);
  explicit_ = MakeNamed<QRadioButton>(QStringLiteral("explicitRadio"),
                                      QStringLiteral("Padding to specific resoultion (WxH):"), sizeGroup_);
  multipleWidth_ = NumberBox(sizeGroup_, QStringLiteral("multipleWidthBox"));
  multipleHeight_ = NumberBox(sizeGroup_, QStringLiteral("multipleHeightBox"));
  paddedWidth_ = NumberBox(sizeGroup_, QStringLiteral("paddedWidthBox"));
  paddedHeight_ = NumberBox(sizeGroup_, QStringLiteral("paddedHeightBox"));
  auto* sizes = new QGridLayout(sizeGroup_);
  sizes->addWidget(multiples_, 0, 0, 1, 4);
  sizes->addWidget(new QLabel(QStringLiteral("Width to multiple of "), sizeGroup_), 1, 0);
  sizes->addWidget(multipleWidth_, 1, 1);
  sizes->addWidget(new QLabel(QStringLiteral("Height to multiple of "), sizeGroup_), 1, 2);
  sizes->addWidget(multipleHeight_, 1, 3);
  sizes->addWidget(explicit_, 2, 0, 1, 4);
  sizes->addWidget(paddedWidth_, 3, 1);
  sizes->addWidget(new QLabel(QStringLiteral("x"), sizeGroup_), 3, 2, Qt::AlignCenter);
  sizes->addWidget(paddedHeight_, 3, 3);

  positionGroup_ = new QGroupBox(QStringLiteral("Position of orginal image in padded image:"), this);
  top_ = NumberBox(positionGroup_, QStringLiteral("topBox"));
  left_ = NumberBox(positionGroup_, QStringLiteral("leftBox"));
  auto* position = new QGridLayout(positionGroup_);
  position->addWidget(new QLabel(QStringLiteral("Padding  top rows"), positionGroup_), 0, 0);
  position->addWidget(top_, 0, 1);
  position->addWidget(new QLabel(QStringLiteral("Padding left columns "), positionGroup_), 1, 0);
  position->addWidget(left_, 1, 1);

  colourGroup_ = new QGroupBox(QStringLiteral("Padding colors:"), this);
  repeat_ = MakeNamed<QRadioButton>(QStringLiteral("repeatRadio"),
                                    QStringLiteral("Repeat the pixels of last or first column and row"),
                                    colourGroup_);
  fill_ = MakeNamed<QRadioButton>(QStringLiteral("fillRadio"), QStringLiteral("Fill in with color in RGB:"),
                                  colourGroup_);
  colour_ = MakeNamed<ColourButton>(QStringLiteral("colourButton"), colourGroup_);
  colour_->setText(QStringLiteral("Padding color"));
  auto* colours = new QGridLayout(colourGroup_);
  colours->addWidget(repeat_, 0, 0, 1, 2);
  colours->addWidget(fill_, 1, 0);
  colours->addWidget(colour_, 1, 1);

  auto* row = new QHBoxLayout;
  row->addWidget(sizeGroup_);
  auto* right = new QVBoxLayout;
  right->addWidget(positionGroup_);
  right->addWidget(colourGroup_);
  row->addLayout(right);
  toolArea()->addLayout(row);
  AddDetailsToggle({.hide = QStringLiteral("<---Hide Detailed Controls"),
                    .display = QStringLiteral("<---Display Detailed Controls")},
                   {sizeGroup_, positionGroup_, colourGroup_});

  // The remembered choices; the offsets and the explicit size start at 0.
  multipleWidth_->setText(QString::number(settings.Padding_Multiple_Width));
  multipleHeight_->setText(QString::number(settings.Padding_Multiple_Height));
  for (QLineEdit* box : {paddedWidth_, paddedHeight_, top_, left_}) box->setText(QStringLiteral("0"));
  (settings.PaddedResolutionMode == 1 ? explicit_ : multiples_)->setChecked(true);
  (settings.Padding_Mode == 1 ? fill_ : repeat_)->setChecked(true);
  colour_->setColour(ToQColor(settings.Padding_Color_RGB));
  for (QWidget* w :
       {static_cast<QWidget*>(multipleWidth_), static_cast<QWidget*>(multipleHeight_),
        static_cast<QWidget*>(paddedWidth_), static_cast<QWidget*>(paddedHeight_),
        static_cast<QWidget*>(top_), static_cast<QWidget*>(left_), static_cast<QWidget*>(multiples_),
        static_cast<QWidget*>(explicit_), static_cast<QWidget*>(repeat_), static_cast<QWidget*>(fill_),
        static_cast<QWidget*>(colour_)}) {
    LockWhileRunning(w);
  }
  for (QLineEdit* box : {multipleWidth_, multipleHeight_, paddedWidth_, paddedHeight_}) {
    connect(box, &QLineEdit::textEdited, this, [this] { UpdateTargetLabel(); });
  }
  connect(multiples_, &QRadioButton::toggled, this, [this] { ModeChosen(); });
  connect(repeat_, &QRadioButton::toggled, this, [this] { ModeChosen(); });
  ModeChosen();
}

void CYUVPadding::ModeChosen() {
  const bool toMultiples = multiples_->isChecked();
  multipleWidth_->setEnabled(toMultiples);
  multipleHeight_->setEnabled(toMultiples);
  paddedWidth_->setEnabled(!toMultiples);
  paddedHeight_->setEnabled(!toMultiples);
  colour_->setEnabled(fill_->isChecked());
  UpdateTargetLabel();
}

PaddingParameters CYUVPadding::BoxValues() const {
  PaddingParameters p;
  p.MultipleWidth = BoxValue(multipleWidth_);
  p.MultipleHeight = BoxValue(multipleHeight_);
  p.PaddedWidth = BoxValue(paddedWidth_);
  p.PaddedHeight = BoxValue(paddedHeight_);
  p.PadTop = BoxValue(top_);
  p.PadLeft = BoxValue(left_);
  p.SizeMode = multiples_->isChecked() ? PaddingSize::ToMultiples : PaddingSize::Explicit;
  p.FillMode = fill_->isChecked() ? PaddingFill::Colour : PaddingFill::RepeatEdges;
  p.FillColour = ToRgb(colour_->colour());
  return p;
}

void CYUVPadding::UpdateTargetLabel() {
  FrameImage& target = job().TargetFormat;
  target = job().SourceFormat;
  LabelledPaddedSize(BoxValues(), job().SourceFormat.ImgWidth, job().SourceFormat.ImgHeight, target.ImgWidth,
                     target.ImgHeight);
  DeriveResolution(target);
  ComputeFrameSize(target);
  RefreshLabels();
}

void CYUVPadding::ChooseSource(const QString& path, const ImageFormat& format, int64_t frameCount) {
  ChooseRawSource(path, format, frameCount, QStringLiteral("_padded.yuv"));
  // The explicit size starts at the next multiples of 16.
  paddedWidth_->setText(QString::number((format.ImgWidth + 15) & ~15));
  paddedHeight_->setText(QString::number((format.ImgHeight + 15) & ~15));
  UpdateTargetLabel();
}

bool CYUVPadding::ReadToolBoxes() {
  job().Padding = BoxValues();
  ProgramSettings& settings = CurrentSettings();
  const PaddingParameters& p = job().Padding;
  settings.Padding_Multiple_Width = p.MultipleWidth;
  settings.Padding_Multiple_Height = p.MultipleHeight;
  settings.Padding_Mode = static_cast<int32_t>(p.FillMode);
  settings.PaddedResolutionMode = static_cast<int32_t>(p.SizeMode);
  settings.Padding_Color_RGB = p.FillColour;
  return true;
}

void CYUVPadding::PlacePreview(int32_t width, int32_t height) {
  ToolDialog::PlacePreview(width, height);
  // The padded picture scrolls: the details can make room for it.
  detailsToggle()->setVisible(detailsHidden() || height > preview()->height());
}

bool CYUVPadding::StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) {
  SetCommandLineJob(request.ExitWhenDone != 0, mainWindow);
  ShowRequestedNames(QString::fromStdString(request.InputName), QString::fromStdString(request.OutputName));
  explicit_->setChecked(true);
  paddedWidth_->setText(QString::number(request.OutputFormat.ImgWidth));
  paddedHeight_->setText(QString::number(request.OutputFormat.ImgHeight));
  top_->setText(QString::number(request.CropGiven ? request.CropRect.Top : 0));
  left_->setText(QString::number(request.CropGiven ? request.CropRect.Left : 0));
  (request.PadColourGiven ? fill_ : repeat_)->setChecked(true);
  if (request.PadColourGiven) colour_->setColour(ToQColor(request.PadColour));
  if (!job().PreparePadding(request.InputName, request.OutputName, CurrentSettings().Format, BoxValues()))
    return false;
  ShowRange();
  UpdateTargetLabel();
  Start();
  return true;
}

// ---- separate ------------------------------------------------------------------

CYUVSeparate::CYUVSeparate(QWidget* parent) : ToolDialogOf(std::make_unique<SeparateJob>(), parent) {
  static_cast<ImageFormat&>(job().SourceFormat) = CurrentSettings().Format;
  ComputeFrameSize(job().SourceFormat);
  BuildControls(QStringLiteral("Load original file:"), QStringLiteral("Separate into three component files:"),
                QStringLiteral("Frame processed:"));
  rows_ = MakeThreeNameRows(GroupOf::Target, kComponentLabels);
  connect(browseSource_, &QPushButton::clicked, this, [this] {
    if (const auto choice = PickRawFile(this)) ChooseSource(choice->path, choice->format, choice->frameCount);
  });
  for (size_t i = 0; i < 3; ++i) {
    connect(rows_[i].browse, &QPushButton::clicked, this, [this, i] {
      const QString path = AskSaveNameInto(this, rows_[i].name, QStringLiteral("Save as"), kComponentFilters);
      if (!path.isEmpty()) SetTitle(sourceBox()->text(), path);
    });
  }
}

void CYUVSeparate::ChooseSource(const QString& path, const ImageFormat& format, int64_t frameCount) {
  ChooseRawSource(path, format, frameCount, QString());
  setWindowTitle(QStringLiteral("Separate <%1> into 3 components ").arg(path));
  const auto names =
      ComponentFileNames(ToolJob::DefaultTargetName(path.toStdString(), ""), format.SamplingFormat);
  for (size_t i = 0; i < 3; ++i) rows_[i].name->setText(QString::fromStdString(names[i]));
}

bool CYUVSeparate::ReadToolBoxes() {
  for (size_t i = 0; i < 3; ++i) {
    job().ComponentNames[i] = rows_[i].name->text().toStdString();
    if (job().ComponentNames[i].empty()) return false;
  }
  return true;
}

bool CYUVSeparate::StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) {
  SetCommandLineJob(request.ExitWhenDone != 0, mainWindow);
  const QString source = QString::fromStdString(request.InputName);
  sourceBox()->setText(source);
  if (!job().PrepareSeparate(request.InputName, request.OutputName, CurrentSettings().Format)) return false;
  setWindowTitle(QStringLiteral("Separate <%1> into 3 components ").arg(source));
  for (size_t i = 0; i < 3; ++i) rows_[i].name->setText(QString::fromStdString(job().ComponentNames[i]));
  return StartPrepared();
}

// ---- merge ---------------------------------------------------------------------

CYUVMerge::CYUVMerge(QWidget* parent) : ToolDialogOf(std::make_unique<MergeJob>(), parent) {
  // The first component starts at the current layout (size unknown), the other
  // two as single-component files.
  FrameImage& first = job().ComponentFormats[0];
  static_cast<ImageFormat&>(first) = CurrentSettings().Format;
  first.ImageResolution = kCustomResolution;
  first.ImgWidth = 0;
  first.ImgHeight = 0;
  ComputeFrameSize(first);
  for (size_t i = 1; i < 3; ++i) {
    job().ComponentFormats[i].ImageResolution = 6;
    job().ComponentFormats[i].ImgWidth = 0;
    job().ComponentFormats[i].ImgHeight = 0;
  }
  job().SourceFormat = first;
  BuildControls(QStringLiteral("Load original files of 3 separate color components:"),
                QStringLiteral("Merge the three components into one file: "),
                QStringLiteral("Frame processed:"));
  rows_ = MakeThreeNameRows(GroupOf::Source, kComponentLabels);
  asYuv_ = MakeNamed<QRadioButton>(QStringLiteral("yuvRadio"), QStringLiteral("Merge as YUV"), this);
  asRgb_ = MakeNamed<QRadioButton>(QStringLiteral("rgbRadio"), QStringLiteral("Merge as RGB"), this);
  asYuv_->setChecked(true);
  LockWhileRunning(asYuv_);
  LockWhileRunning(asRgb_);
  auto* modes = new QHBoxLayout;
  modes->addWidget(asYuv_);
  modes->addWidget(asRgb_);
  modes->addStretch();
  toolArea()->addLayout(modes);
  connect(asYuv_, &QRadioButton::toggled, this, [this] {
    job().MergeAsYuv = asYuv_->isChecked();
    RefreshLabels();
  });
  for (size_t i = 0; i < 3; ++i) {
    connect(rows_[i].browse, &QPushButton::clicked, this, [this, i] { BrowseComponent(i); });
  }
  connect(browseTarget_, &QPushButton::clicked, this, [this] {
    const QString path = AskSaveNameInto(this, targetBox(), QStringLiteral("Save as"), kRawFileFilters);
    if (path.isEmpty()) return;
    job().TargetName = path.toStdString();
    setWindowTitle(QStringLiteral("Merge to <%1>").arg(path));
  });
}

void CYUVMerge::BrowseComponent(size_t i) {
  const QString caption = QStringLiteral("Load color component");
  const QString path = AskOpenFileName(this, caption, QString(), kComponentFilters);
  if (path.isEmpty()) return;
  // The dialog opens at a size the file can have: a size of 0 x 0 is refused by
  // its preview, and the lists would show one size beside another.
  const ImageFormat* last = lastChosen_ ? &job().ComponentFormats[*lastChosen_] : nullptr;
  const RawPickOptions options{.caption = caption,
                               .filters = kComponentFilters,
                               .refuseMono = false,
                               .preset = ComponentPickPreset(job().ComponentFormats[i], path.toStdString(),
                                                             last, CurrentSettings().Format)};
  if (const auto choice = AskRawFormat(this, path, options))
    ChooseComponent(i, choice->path, choice->format, choice->frameCount);
}

void CYUVMerge::ChooseComponent(size_t i, const QString& path, const ImageFormat& format,
                                int64_t frameCount) {
  rows_[i].name->setText(path);
  job().ComponentNames[i] = path.toStdString();
  if (targetBox()->text().isEmpty()) {
    targetBox()->setText(
        QString::fromStdString(ToolJob::DefaultTargetName(path.toStdString(), "_merged.yuv")));
  }
  FrameImage& stored = job().ComponentFormats[i];
  static_cast<ImageFormat&>(stored) = format;
  ComputeFrameSize(stored);
  if (i == 0) {
    job().SourceName = job().ComponentNames[0];
    job().SourceFormat = stored;
  }
  AddToHistory(job().ComponentNames[i], stored, kOpened);
  lastChosen_ = i;
  job().FrameCount = frameCount;
  job().StartFrame = 1;
  job().EndFrame = frameCount;
  setWindowTitle(i == 0 ? QStringLiteral("Merge to <%1>").arg(targetBox()->text())
                        : QStringLiteral("<%1> to <%2>").arg(path, targetBox()->text()));
  ShowRange();
  RefreshLabels();
  preview()->update();
}

void CYUVMerge::RefreshLabels() {
  // The target's layout as the three components give it, once they fit together.
  FrameImage merged;
  if (!MergeJob::MergedLayout(job().ComponentFormats, job().MergeAsYuv, merged)) job().TargetFormat = merged;
  ToolDialog::RefreshLabels();
}

bool CYUVMerge::ReadToolBoxes() {
  for (size_t i = 0; i < 3; ++i) {
    job().ComponentNames[i] = rows_[i].name->text().toStdString();
    if (job().ComponentNames[i].empty()) return false;
  }
  job().MergeAsYuv = asYuv_->isChecked();
  return true;
}

bool CYUVMerge::StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) {
  SetCommandLineJob(request.ExitWhenDone != 0, mainWindow);
  const ImageFormat& current = CurrentSettings().Format;
  targetBox()->setText(QString::fromStdString(request.OutputName));
  if (!job().PrepareMerge(request.InputName, request.OutputName, current.SamplingFormat, current.ImgWidth,
                          current.ImgHeight, current.BitsPerSample)) {
    return false;
  }
  for (size_t i = 0; i < 3; ++i) rows_[i].name->setText(QString::fromStdString(job().ComponentNames[i]));
  sourceBox()->setText(QString::fromStdString(job().ComponentNames[0]));
  (job().MergeAsYuv ? asYuv_ : asRgb_)->setChecked(true);
  setWindowTitle(QStringLiteral("Merge to <%1>").arg(targetBox()->text()));
  return StartPrepared();
}

}  // namespace vx
