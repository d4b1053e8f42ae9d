#include "ui/tools/TransformDialogs.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>

#include "display/FormatLabel.h"
#include "model/FileHistory.h"
#include "model/Settings.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/FormatDialog.h"
#include "ui/controls/NamedWidget.h"
#include "ui/controls/RawFilePicker.h"

namespace vx {
namespace {

template <typename Job>
std::unique_ptr<Job> JobWithCurrentFormat(const ImageFormat& current) {
  auto job = std::make_unique<Job>();
  static_cast<ImageFormat&>(job->SourceFormat) = current;
  job->SourceFormat.ImageResolution = kCustomResolution;
  ComputeFrameSize(job->SourceFormat);
  job->TargetFormat = job->SourceFormat;
  return job;
}

ImageFormat DefaultFormat() {
  return {.SamplingFormat = YUV_420,
          .FieldFormat = Progressive,
          .PixelFormat = Planar,
          .ImgWidth = 352,
          .ImgHeight = 288};
}

}  // namespace

// ---- flip -------------------------------------------------------------------

CYUVFlip::CYUVFlip(QWidget* parent) : ToolDialogOf(JobWithCurrentFormat<FlipJob>(DefaultFormat()), parent) {
  BuildControls(QStringLiteral("Load original file:"), QStringLiteral("Flipped image file: "),
                QStringLiteral("Frame Count:"));
  connect(browseSource_, &QPushButton::clicked, this, [this] {
    if (BrowseRawSource(QStringLiteral("_flipped.yuv"))) job().TargetFormat = job().SourceFormat;
    RefreshLabels();
  });
  connect(browseTarget_, &QPushButton::clicked, this, [this] { BrowseRawTarget(); });
}

bool CYUVFlip::StartFromRequest(const QString& source, const QString& target, const ImageFormat& current) {
  ShowRequestedNames(source, target);
  if (!job().PrepareFromRequest(source.toStdString(), target.toStdString(), current)) return false;
  return StartPrepared();
}

// ---- crop -------------------------------------------------------------------

CImageCrop::CImageCrop(QWidget* parent)
    : ToolDialogOf(JobWithCurrentFormat<CropJob>(DefaultFormat()), parent) {
  BuildControls({.sourceGroup = QStringLiteral("Load original file:"),
                 .targetGroup = QStringLiteral("Cropped image file: "),
                 .frameNumberLabel = QStringLiteral("Frame Count:"),
                 .fromLabel = QStringLiteral("Frame #:"),
                 .toLabel = QStringLiteral("To #:")});
  area_ = new QGroupBox(QStringLiteral("Cropped area:"), this);
  top_ = MakeNamed<QLineEdit>(QStringLiteral("topBox"), area_);
  left_ = MakeNamed<QLineEdit>(QStringLiteral("leftBox"), area_);
  width_ = MakeNamed<QLineEdit>(QStringLiteral("widthBox"), area_);
  height_ = MakeNamed<QLineEdit>(QStringLiteral("heightBox"), area_);
  auto* grid = new QGridLayout(area_);
  grid->addWidget(new QLabel(QStringLiteral("Top line to start:")), 0, 0);
  grid->addWidget(top_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Left column to start:")), 0, 2);
  grid->addWidget(left_, 0, 3);
  grid->addWidget(new QLabel(QStringLiteral("Cropped width:")), 1, 2);
  grid->addWidget(width_, 1, 3);
  grid->addWidget(new QLabel(QStringLiteral("Cropped height:")), 1, 0);
  grid->addWidget(height_, 1, 1);
  toolArea()->addWidget(area_);
  for (QLineEdit* box : {top_, left_, width_, height_}) LockWhileRunning(box);
  AddDetailsToggle({.hide = QStringLiteral("<--- Hide Detailed Controls"),
                    .display = QStringLiteral("<--- Display Detailed Controls")},
                   {area_});
  ShowRectangle();
  // Each box checks its own value when its edit is finished (Return, or the focus
  // leaving it), never on a keystroke: a message box popping up mid-typing takes the
  // rest of what is typed. The whole rectangle is checked again at Start.
  connect(top_, &QLineEdit::editingFinished, this, [this] { CheckTop(); });
  connect(left_, &QLineEdit::editingFinished, this, [this] { CheckLeft(); });
  connect(width_, &QLineEdit::editingFinished, this, [this] { CheckWidth(); });
  connect(height_, &QLineEdit::editingFinished, this, [this] { CheckHeight(); });
  connect(browseSource_, &QPushButton::clicked, this, [this] {
    if (const auto choice = PickRawSourceNamingTarget(QStringLiteral("_cropped.yuv")))
      ChooseSource(choice->path, choice->format, choice->frameCount);
  });
  connect(browseTarget_, &QPushButton::clicked, this, [this] {
    BrowseRawTarget();
    job().BuildTargetFormat();  // the label keeps showing the rectangle's size
    RefreshLabels();
  });
}

void CImageCrop::ShowRectangle() {
  top_->setText(QString::number(job().CropTop));
  left_->setText(QString::number(job().CropLeft));
  width_->setText(QString::number(job().CropWidth));
  height_->setText(QString::number(job().CropHeight));
  UpdateOutline();
}

void CImageCrop::UpdateOutline() {
  if (job().HasPreview()) {
    preview()->setOutline(QRect(job().CropLeft, job().CropTop, job().CropWidth, job().CropHeight));
  }
}

bool CImageCrop::ChooseSource(const QString& path, const ImageFormat& format, int64_t frameCount) {
  if (!WorkBufferSizeSupported(format.ImgWidth, format.ImgHeight)) {
    ShowMessage(
        StrFormat("Error CROP1031 Image size (%d, %d) not support !\n", format.ImgWidth, format.ImgHeight));
    return false;
  }
  ChooseRawSource(path, format, frameCount, QStringLiteral("_cropped.yuv"));
  job().CropTop = 0;
  job().CropLeft = 0;
  job().CropWidth = format.ImgWidth;
  job().CropHeight = format.ImgHeight;
  job().BuildTargetFormat();
  ShowRectangle();
  RefreshLabels();
  // The first frame is shown at once.
  if (job().LoadFirstFrame()) {
    PlacePreview(format.ImgWidth, format.ImgHeight);  // room to choose the rectangle in
    ShowJobPreview();
    UpdateOutline();
  }
  detailsToggle()->setVisible(preview()->verticalBar()->isVisible());
  return true;
}

bool CImageCrop::StartFromRequest(const QString& source, const QString& target, const ImageFormat& current,
                                  int32_t top, int32_t left, int32_t height, int32_t width) {
  ShowRequestedNames(source, target);
  if (!job().PrepareCrop(source.toStdString(), target.toStdString(), current, top, left, height, width))
    return false;
  ShowRectangle();
  return StartPrepared();
}

namespace {

// A box read as a signed integer.
int32_t BoxValue(const QLineEdit* box) {
  return ParseLeadingInt(box->text().toStdString());
}

}  // namespace

bool CImageCrop::Accept(QLineEdit* box, int32_t& field, const CropRule& rule) {
  if (reporting_) return false;  // the focus going to the message box is no new edit
  const int32_t value = BoxValue(box);
  if (const std::optional<std::string> refusal = rule(value)) {
    // The last valid value comes back before the message shows.
    box->setText(QString::number(field));
    reporting_ = true;
    ShowMessage(*refusal);
    reporting_ = false;
    return false;
  }
  field = value;
  job().BuildTargetFormat();
  RefreshLabels();
  UpdateOutline();
  return true;
}

bool CImageCrop::CheckTop() {
  return Accept(top_, job().CropTop, [this](int32_t top) { return job().Rules().Top(top); });
}

bool CImageCrop::CheckLeft() {
  return Accept(left_, job().CropLeft, [this](int32_t left) { return job().Rules().Left(left); });
}

bool CImageCrop::CheckWidth() {
  return Accept(width_, job().CropWidth,
                [this](int32_t width) { return job().Rules().Width(width, job().CropLeft); });
}

bool CImageCrop::CheckHeight() {
  return Accept(height_, job().CropHeight,
                [this](int32_t height) { return job().Rules().Height(height, job().CropTop); });
}

bool CImageCrop::ReadToolBoxes() {
  // The boxes' own ranges; the rectangle rules run when the job starts.
  const struct {
    QLineEdit* box;
    int32_t low, high;
    int32_t* field;
  } boxes[] = {{top_, 0, 5120, &job().CropTop},
               {left_, 0, 8192, &job().CropLeft},
               {width_, 0, 8192, &job().CropWidth},
               {height_, 0, 5120, &job().CropHeight}};
  for (const auto& b : boxes) {
    bool ok = false;
    const int value = b.box->text().trimmed().toInt(&ok);
    if (!ok) {
      ShowMessage("Enter an integer.");
      b.box->setFocus();
      return false;
    }
    if (value < b.low || value > b.high) {
      ShowMessage(StrFormat("Enter an integer between %d and %d.", b.low, b.high));
      b.box->setFocus();
      return false;
    }
    *b.field = value;
  }
  job().BuildTargetFormat();
  RefreshLabels();
  return true;
}

// ---- join -------------------------------------------------------------------

CJoinFile::CJoinFile(QWidget* parent) : ToolDialogOf(std::make_unique<JoinJob>(), parent) {
  // The two sources start at the program's current layout; the joined file has
  // the first source's layout, shown as such from the start.
  static_cast<ImageFormat&>(job().SourceFormat) = CurrentSettings().Format;
  job().SourceFormat.ImageResolution = kCustomResolution;
  ComputeFrameSize(job().SourceFormat);
  job().SecondFormat = job().SourceFormat;
  job().TargetFormat = job().SourceFormat;
  BuildControls({.sourceGroup = QStringLiteral("Load file 1: "),
                 .targetGroup = QStringLiteral("Join above two files into one file:"),
                 .frameNumberLabel = QStringLiteral("Frame number:"),
                 .secondSourceGroup = QStringLiteral("Load file 2:"),
                 .frameRange = false,
                 .progress = false});
  SetPausedCaption(QStringLiteral("Continue"));
  connect(browseSource_, &QPushButton::clicked, this, [this] {
    if (const auto choice = PickSourceInto(sourceBox(), QStringLiteral("Load file 1")))
      ChooseFirst(choice->path, choice->format);
  });
  connect(browseSecond_, &QPushButton::clicked, this, [this] {
    if (!firstLoaded_) {
      ShowMessage("Please load file one first!", kPromptCaption);
      return;
    }
    if (const auto choice = PickSourceInto(secondBox(), QStringLiteral("Load file 2")))
      ChooseSecond(choice->path, choice->format);
  });
  connect(browseTarget_, &QPushButton::clicked, this, [this] {
    const QString path = AskSaveFileName(
        this, {.caption = QStringLiteral("Joined file"), .start = {}, .filters = kRawFileFilters});
    if (!path.isEmpty()) ShowNameIn(targetBox(), path);
  });
}

void CJoinFile::ShowNameIn(QLineEdit* box, const QString& path) {
  setWindowTitle(QFileInfo(path).fileName());
  box->setText(path);
}

std::optional<RawFileChoice> CJoinFile::PickSourceInto(QLineEdit* box, const QString& caption) {
  // The title and the name box follow the pick at once, before the layout is asked.
  return PickRawFile(
      this, {.caption = caption, .picked = [this, box](const QString& path) { ShowNameIn(box, path); }});
}

void CJoinFile::ChooseFirst(const QString& path, const ImageFormat& format) {
  ShowNameIn(sourceBox(), path);
  static_cast<ImageFormat&>(job().SourceFormat) = format;
  ComputeFrameSize(job().SourceFormat);
  job().TargetFormat = job().SourceFormat;
  job().SourceName = path.toStdString();
  AddToHistory(job().SourceName, job().SourceFormat, kOpened);
  if (!WorkBufferSizeSupported(format.ImgWidth, format.ImgHeight)) {
    ShowMessage(
        StrFormat("Error JOIN1001: Image size (%d, %d) not support !\n", format.ImgWidth, format.ImgHeight));
    return;
  }
  if (job().LoadFirstFrame()) ShowJobPreview();
  firstLoaded_ = true;
  RefreshLabels();
}

void CJoinFile::ChooseSecond(const QString& path, const ImageFormat& format) {
  if (!firstLoaded_) {
    ShowMessage("Please load file one first!", kPromptCaption);
    return;
  }
  ShowNameIn(secondBox(), path);
  static_cast<ImageFormat&>(job().SecondFormat) = format;
  ComputeFrameSize(job().SecondFormat);
  job().Joinable = JoinJob::SameLayout(job().SourceFormat, job().SecondFormat);
  RefreshLabels();
  if (job().Joinable) {
    AddToHistory(path.toStdString(), job().SecondFormat, kOpened);
  } else {
    ShowMessage("The two files have different format, and cannot be joined!", kPromptCaption);
  }
}

bool CJoinFile::ReadToolBoxes() {
  job().SecondSourceName = secondBox()->text().toStdString();
  return Meets({{!sourceBox()->text().isEmpty(), "Please give the first file name to join!"},
                {!secondBox()->text().isEmpty(), "Please give the second file name to join!"},
                {!targetBox()->text().isEmpty(), "Please give file name for the joined file!"},
                {job().Joinable, "The two files have different format, and cannot be joined!"}});
}

bool CJoinFile::StartFromRequest(const QString& first, const QString& second, const QString& target,
                                 const ImageFormat& current) {
  setWindowTitle(first);
  sourceBox()->setText(first);
  secondBox()->setText(second);
  targetBox()->setText(target);
  if (!job().PrepareJoin(first.toStdString(), second.toStdString(), target.toStdString(), current))
    return false;
  RefreshLabels();
  Start();
  return true;
}

bool CImageCrop::StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) {
  SetCommandLineJob(request.ExitWhenDone != 0, mainWindow);
  const CropRectangle& r = request.CropRect;
  return StartFromRequest(QString::fromStdString(request.InputName),
                          QString::fromStdString(request.OutputName), CurrentSettings().Format, r.Top, r.Left,
                          r.Height, r.Width);
}

bool CYUVFlip::StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) {
  SetCommandLineJob(request.ExitWhenDone != 0, mainWindow);
  return StartFromRequest(QString::fromStdString(request.InputName),
                          QString::fromStdString(request.OutputName), CurrentSettings().Format);
}

bool CJoinFile::StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) {
  SetCommandLineJob(request.ExitWhenDone != 0, mainWindow);
  return StartFromRequest(QString::fromStdString(request.InputName),
                          QString::fromStdString(request.SecondInputName),
                          QString::fromStdString(request.OutputName), CurrentSettings().Format);
}

}  // namespace vx
