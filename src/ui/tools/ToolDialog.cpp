#include "ui/tools/ToolDialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QScreen>
#include <QVBoxLayout>

#include "display/FormatLabel.h"
#include "display/PreviewLayout.h"
#include "model/FileHistory.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "ui/controls/FileDrops.h"
#include "ui/controls/FileGroup.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/FormatDialog.h"
#include "ui/controls/NamedWidget.h"
#include "ui/controls/RawFilePicker.h"
#include "ui/controls/ScreenFit.h"

namespace vx {

// Hands the worker's reports to the dialog's thread.
class ToolDialog::Observer final : public ToolJobObserver, private WindowReports<ToolDialog> {
 public:
  explicit Observer(ToolDialog* dialog) : WindowReports(dialog) {}
  void StopEnabled() override {
    Post([d = window_] { d->stop_->setEnabled(true); });
  }
  void ProgressRange(int64_t frames) override {
    Post([d = window_, frames] {
      d->progress_->setRange(0, static_cast<int>(std::min<int64_t>(frames, INT32_MAX)));
      d->progress_->setValue(0);
    });
  }
  void PreviewPlaced(int32_t width, int32_t height) override {
    Post([d = window_, width, height] { d->PlacePreview(width, height); });
  }
  void FrameDone(int64_t frame) override {
    Post([d = window_, frame] { d->OnFrameDone(frame); });
  }
  void Stopped() override {
    Post([d = window_] { d->OnStopped(); });
  }
  void CloseRequested() override {
    Post([d = window_] { d->close(); });
  }
};

ToolDialog::ToolDialog(std::unique_ptr<ToolJob> job, QWidget* parent)
    : JobWindow(*job, 1000, parent), ownedJob_(std::move(job)), job_(*ownedJob_) {}

ToolDialog::~ToolDialog() {
  EndWorker();
}

void ToolDialog::PlacePreview(int32_t width, int32_t height) {
  // Everything but the picture: the controls above it and the margins.
  const int chrome = std::max(160, sizeHint().height() - previewPanel_->height());
  const PreviewLayoutResult layout =
      LayoutPreviewOnScreen(this, QPoint(28, chrome), QSize(this->width(), chrome), QSize(width, height));
  preview_->setGeometryFor(QPoint(16, 16), QSize(layout.visibleWidth, layout.visibleHeight));
  previewPanel_->setFixedSize(layout.visibleWidth + 16, layout.visibleHeight + 16);
  adjustSize();
  FitOnScreen(this);
}

void ToolDialog::BuildControls(const Layout& options) {
  auto group = [this](const QString& title, QLineEdit*& name, QPushButton*& browse, QLabel*& format) {
    const FileGroup g = MakeFileGroup(title, this);
    name = g.name;
    browse = g.browse;
    format = g.format;
    return g.box;
  };
  sourceGroup_ = group(options.sourceGroup, sourceName_, browseSource_, sourceFormat_);
  sourceName_->setObjectName(QStringLiteral("sourceBox"));
  browseSource_->setObjectName(QStringLiteral("sourceBrowseButton"));
  if (!options.secondSourceGroup.isEmpty()) {
    secondGroup_ = group(options.secondSourceGroup, secondName_, browseSecond_, secondFormat_);
    secondName_->setObjectName(QStringLiteral("secondSourceBox"));
    browseSecond_->setObjectName(QStringLiteral("secondBrowseButton"));
  }
  targetGroup_ = group(options.targetGroup, targetName_, browseTarget_, targetFormat_);
  targetName_->setObjectName(QStringLiteral("targetBox"));
  browseTarget_->setObjectName(QStringLiteral("targetBrowseButton"));
  sourceFormat_->setObjectName(QStringLiteral("sourceFormat"));
  targetFormat_->setObjectName(QStringLiteral("targetFormat"));
  if (secondFormat_) secondFormat_->setObjectName(QStringLiteral("secondFormat"));
  fromFrame_ = new QLineEdit(this);
  toFrame_ = new QLineEdit(this);
  frameNumber_ = new QLineEdit(this);
  fromFrame_->setObjectName(QStringLiteral("fromBox"));
  toFrame_->setObjectName(QStringLiteral("toBox"));
  frameNumber_->setObjectName(QStringLiteral("frameNumberBox"));
  frameNumber_->setReadOnly(true);
  for (QLineEdit* box : {fromFrame_, toFrame_, frameNumber_}) box->setMaximumWidth(80);
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("progressBar"));
  progress_->setTextVisible(false);
  start_ = new QPushButton(QStringLiteral("Start"), this);
  stop_ = new QPushButton(QStringLiteral("Stop"), this);
  pause_ = new QPushButton(QStringLiteral("Pause"), this);
  exit_ = new QPushButton(QStringLiteral("Exit"), this);
  start_->setObjectName(QStringLiteral("startButton"));
  stop_->setObjectName(QStringLiteral("stopButton"));
  pause_->setObjectName(QStringLiteral("pauseButton"));
  exit_->setObjectName(QStringLiteral("exitButton"));
  connect(start_, &QPushButton::clicked, this, &ToolDialog::Start);
  connect(stop_, &QPushButton::clicked, this, &ToolDialog::StopClicked);
  connect(pause_, &QPushButton::clicked, this, &ToolDialog::PauseClicked);
  connect(exit_, &QPushButton::clicked, this, &ToolDialog::ExitClicked);
  pause_->setEnabled(false);  // nothing runs yet that could pause
  previewPanel_ = new QWidget(this);
  previewPanel_->setFixedSize(352 + 16, 288 + 16);
  preview_ = new PreviewArea(previewPanel_);
  preview_->setGeometryFor(QPoint(16, 16), QSize(352, 288));

  auto* frames = new QHBoxLayout;
  auto* fromLabel = new QLabel(options.fromLabel, this);
  auto* toLabel = new QLabel(options.toLabel, this);
  frames->addWidget(fromLabel);
  frames->addWidget(fromFrame_);
  frames->addWidget(toLabel);
  frames->addWidget(toFrame_);
  frames->addSpacing(24);
  frames->addWidget(new QLabel(options.frameNumberLabel, this));
  frames->addWidget(frameNumber_);
  frames->addStretch();
  for (QWidget* w : {static_cast<QWidget*>(fromLabel), static_cast<QWidget*>(toLabel),
                     static_cast<QWidget*>(fromFrame_), static_cast<QWidget*>(toFrame_)}) {
    w->setVisible(options.frameRange);
  }
  progress_->setVisible(options.progress);
  statusGroup_ = new QGroupBox(QStringLiteral("Status:"), this);
  auto* statusLayout = new QVBoxLayout(statusGroup_);
  statusLayout->addLayout(frames);
  statusLayout->addWidget(progress_);
  controlsGroup_ = new QGroupBox(QStringLiteral("Controls:"), this);
  auto* buttons = new QHBoxLayout(controlsGroup_);
  for (QPushButton* b : {start_, stop_, pause_, exit_}) buttons->addWidget(b);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(statusGroup_, 1);
  bottom->addWidget(controlsGroup_);
  auto* layout = new QVBoxLayout(this);
  auto* names = new QGridLayout;
  names->addWidget(sourceGroup_, 0, 0);
  if (secondGroup_) {
    names->addWidget(secondGroup_, 0, 1);
    names->addWidget(targetGroup_, 1, 0);
  } else {
    names->addWidget(targetGroup_, 0, 1);
  }
  layout->addLayout(names);
  toolArea_ = new QVBoxLayout;
  layout->addLayout(toolArea_);
  layout->addLayout(bottom);
  layout->addWidget(previewPanel_, 0, Qt::AlignLeft);
  layout->addStretch();
  RefreshLabels();
}

std::array<ToolDialog::NameRow, 3> ToolDialog::MakeThreeNameRows(GroupOf which,
                                                                 const std::array<QString, 3>& labels) {
  const bool source = which == GroupOf::Source;
  QGroupBox* group = source ? sourceGroup_ : targetGroup_;
  QLabel*& format = source ? sourceFormat_ : targetFormat_;
  auto* grid = static_cast<QGridLayout*>(group->layout());
  // The format line goes: its caption and its label.
  for (int column = 0; column < 2; ++column) {
    if (QLayoutItem* item = grid->itemAtPosition(1, column); item && item->widget()) {
      QWidget* w = item->widget();
      grid->removeWidget(w);
      w->hide();
    }
  }
  format = nullptr;
  std::array<NameRow, 3> rows{};
  rows[0] = {source ? sourceName_ : targetName_, source ? browseSource_ : browseTarget_};
  grid->removeWidget(rows[0].name);
  grid->removeWidget(rows[0].browse);
  for (size_t r = 0; r < 3; ++r) {
    if (r > 0) {
      rows[r] = {new QLineEdit(group), new QPushButton(QStringLiteral("Browse..."), group)};
      AcceptFileDropsAsBrowse(rows[r].name, rows[r].browse);
      LockWhileRunning(rows[r].name);
      LockWhileRunning(rows[r].browse);
    }
    // Row 0 is the base's source or target box; here it is named as its component.
    rows[r].name->setObjectName(QStringLiteral("componentBox%1").arg(r + 1));
    rows[r].browse->setObjectName(QStringLiteral("componentBrowse%1").arg(r + 1));
    const int row = static_cast<int>(r);
    grid->addWidget(new QLabel(labels[r], group), row, 0);
    grid->addWidget(rows[r].name, row, 1);
    grid->addWidget(rows[r].browse, row, 2);
  }
  rows[0].name->setMinimumWidth(300);
  return rows;
}

std::optional<RawFileChoice> ToolDialog::PickRawSourceNamingTarget(const QString& suffix,
                                                                   RawPickOptions options) {
  options.picked = [this, suffix](const QString& path) {
    targetName_->setText(
        QString::fromStdString(ToolJob::DefaultTargetName(path.toStdString(), suffix.toStdString())));
  };
  return PickRawFile(this, options);
}

bool ToolDialog::BrowseRawSource(const QString& suffix, bool targetFirst) {
  const auto choice =
      targetFirst && !suffix.isEmpty() ? PickRawSourceNamingTarget(suffix) : PickRawFile(this);
  if (!choice) {
    preview_->update();
    return false;
  }
  return ChooseRawSource(choice->path, choice->format, choice->frameCount, suffix);
}

bool ToolDialog::ChooseRawSource(const QString& path, const ImageFormat& format, int64_t frameCount,
                                 const QString& suffix) {
  job_.SourceName = path.toStdString();
  static_cast<ImageFormat&>(job_.SourceFormat) = format;
  ComputeFrameSize(job_.SourceFormat);
  job_.TargetFormat = job_.SourceFormat;
  job_.FrameCount = frameCount;
  AddToHistory(job_.SourceName, job_.SourceFormat, kOpened);
  job_.StartFrame = 1;
  job_.EndFrame = frameCount;
  sourceName_->setText(path);
  if (!suffix.isEmpty()) {
    targetName_->setText(
        QString::fromStdString(ToolJob::DefaultTargetName(path.toStdString(), suffix.toStdString())));
  }
  SetTitle(path, targetName_->text());
  ShowRange();
  RefreshLabels();
  preview_->update();
  return true;
}

void ToolDialog::BrowseRawTarget() {
  const QString path = AskSaveNameInto(this, targetName_, QStringLiteral("Save as"), kRawFileFilters);
  if (path.isEmpty()) return;
  job_.TargetName = path.toStdString();
  SetTitle(sourceName_->text(), path);
  preview_->update();
}

void ToolDialog::ShowJobPreview() {
  job_.Previews().Read([this](const FrameImage& p) {
    if (!p.Data || p.ImgWidth <= 0 || p.ImgHeight <= 0) return;
    // BMP sampling marks pictures that are display rows already.
    const bool yuv = p.SamplingFormat != BMP;
    const int64_t bytes =
        yuv ? int64_t{p.ImgWidth} * p.ImgHeight * 3 : (3 * int64_t{p.ImgWidth} + 3) / 4 * 4 * p.ImgHeight;
    if (bytes > p.Capacity) return;
    preview_->showFrame(p.Data, static_cast<size_t>(bytes), p.ImgWidth, p.ImgHeight,
                        DrawOptions{.yuvData = yuv});
  });
}

void ToolDialog::SetTitle(const QString& source, const QString& target) {
  setWindowTitle(QStringLiteral("<%1> to <%2>").arg(source, target));
}

void ToolDialog::RefreshLabels() {
  if (sourceFormat_) sourceFormat_->setText(QString::fromStdString(FormatBoxText(job_.SourceFormat)));
  if (secondFormat_) secondFormat_->setText(QString::fromStdString(FormatBoxText(SecondSourceFormat())));
  if (targetFormat_) targetFormat_->setText(QString::fromStdString(FormatBoxText(job_.TargetFormat)));
}

void ToolDialog::ShowSource(const QString& title, const QString& box) {
  setWindowTitle(title);
  sourceName_->setText(box);
  ShowRange();
  RefreshLabels();
  preview_->update();
}

void ToolDialog::AddDetailsToggle(const DetailsCaptions& captions, std::vector<QWidget*> details) {
  detailsCaptions_ = captions;
  details_ = std::move(details);
  detailsToggle_ = MakeNamed<QPushButton>(QStringLiteral("toggleButton"), captions.hide, this);
  detailsToggle_->hide();
  toolArea_->addWidget(detailsToggle_, 0, Qt::AlignLeft);
  connect(detailsToggle_, &QPushButton::clicked, this, &ToolDialog::ToggleDetails);
}

void ToolDialog::ToggleDetails() {
  detailsHidden_ = !detailsHidden_;
  detailsToggle_->setText(detailsHidden_ ? detailsCaptions_.display : detailsCaptions_.hide);
  std::vector<QWidget*> hidden = {sourceGroup_, targetGroup_};
  hidden.insert(hidden.end(), details_.begin(), details_.end());
  hidden.push_back(statusGroup_);
  for (QWidget* w : hidden) w->setVisible(!detailsHidden_);
  adjustSize();
  update();
}

bool ToolDialog::Meets(std::initializer_list<Requirement> requirements) {
  for (const Requirement& r : requirements) {
    if (!r.met) {
      ShowMessage(r.prompt, kPromptCaption);
      return false;
    }
  }
  return true;
}

void ToolDialog::ShowRequestedNames(const QString& source, const QString& target) {
  setWindowTitle(source);
  sourceName_->setText(source);
  targetName_->setText(target);
}

bool ToolDialog::StartPrepared() {
  ShowRange();
  RefreshLabels();
  Start();
  return true;
}

void ToolDialog::ShowRange() {
  fromFrame_->setText(QString::number(job_.StartFrame));
  toFrame_->setText(QString::number(job_.EndFrame));
}

void ToolDialog::SetRunningControls(bool running) {
  start_->setEnabled(!running);
  pause_->setEnabled(running);
  stop_->setEnabled(running);
  SetSetupEnabled(!running);
}

void ToolDialog::SetSetupEnabled(bool enabled) {
  // The running job's parameters stay as they are until it ends.
  for (QWidget* w : {static_cast<QWidget*>(browseSource_), static_cast<QWidget*>(browseTarget_),
                     static_cast<QWidget*>(sourceName_), static_cast<QWidget*>(targetName_),
                     static_cast<QWidget*>(fromFrame_), static_cast<QWidget*>(toFrame_),
                     static_cast<QWidget*>(browseSecond_), static_cast<QWidget*>(secondName_)}) {
    if (w) w->setEnabled(enabled);
  }
  for (const QPointer<QWidget>& w : lockedWhileRunning_) {
    if (w) w->setEnabled(enabled);
  }
  if (enabled) FollowChoices();
}

void ToolDialog::Start() {
  if (WorkerRunning()) return;
  job_.SourceName = sourceName_->text().toStdString();
  job_.TargetName = targetName_->text().toStdString();
  job_.StartFrame = ParseLeadingInt(fromFrame_->text().toStdString());
  job_.EndFrame = ParseLeadingInt(toFrame_->text().toStdString());
  if (!ReadToolBoxes() || job_.SourceName.empty() || job_.TargetName.empty()) return;
  EndWorker();
  progress_->setValue(progress_->minimum());  // nothing of this run is done yet
  pause_->setText(QStringLiteral("Pause"));
  SetRunningControls(true);
  stop_->setEnabled(false);  // enabled by the job once its own checks passed
  job_.Freeze();             // from here on the worker reads only the frozen copy
  StartRun([this] {
    Observer observer(this);
    const JobOutcome outcome = job_.Run(observer);
    // Refused with the window left running: Stop is how the user gets back.
    if (outcome == JobOutcome::FailedRunning) observer.StopEnabled();
    return outcome;
  });
}

void ToolDialog::PauseClicked() {
  pause_->setText(TogglePause() ? pausedCaption_ : QStringLiteral("Pause"));
}

void ToolDialog::StopClicked() {
  job_.Stop();
  OnStopped();
}

void ToolDialog::OnStopped() {
  // The bar shows a running job's progress: a finished or stopped one leaves it empty.
  progress_->setValue(progress_->minimum());
  start_->setEnabled(true);
  pause_->setText(QStringLiteral("Play"));
  pause_->setEnabled(false);
  SetSetupEnabled(true);
}

void ToolDialog::OnFrameDone(int64_t frame) {
  frameNumber_->setText(QString::number(frame));
  progress_->setValue(static_cast<int>(std::min<int64_t>(frame, progress_->maximum())));
  ShowJobPreview();
}

void ToolDialog::ExitClicked() {
  job_.Stop();
  OnStopped();
  close();
}

}  // namespace vx
