#include "ui/analysis/PsnrDialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "display/FormatLabel.h"
#include "model/FileHistory.h"
#include "model/Settings.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "ui/controls/FileDrops.h"
#include "ui/controls/FileGroup.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/FormatDialog.h"
#include "ui/controls/RawFilePicker.h"
#include "ui/plot/FramePlot.h"

namespace vx {
namespace {

const QString kReportFiles = QStringLiteral(
    "Tab delimit Excel format(*.xls);;Comma delimit Excel format(*.csv);;Text Files(*.txt);;All Files(*)");

}  // namespace

// Hands the worker's reports to the dialog's thread.
class CPSNR::Observer final : public PsnrObserver, private WindowReports<CPSNR> {
 public:
  explicit Observer(CPSNR* dialog) : WindowReports(dialog) {}
  void Status(const std::string& text) override {
    Post([d = window_, t = QString::fromStdString(text)] { d->status_->setText(t); });
  }
  void ReportNameChanged(const std::string& name) override {
    Post([d = window_, n = QString::fromStdString(name)] { d->report_->setText(n); });
  }
  void Stopped() override {
    Post([d = window_] { d->OnStopped(); });
  }
  void FrameMeasured(const FrameMeasures& m) override {
    Post([d = window_, m] { d->ShowMeasures(m); });
  }
};

CPSNR::CPSNR(QWidget* parent) : JobWindow(run_, 600, parent) {
  setWindowTitle(QStringLiteral("Calculate the PSNR of Two YUV Files"));
  // Both formats start as the program's current layout with no size yet.
  static_cast<ImageFormat&>(run_.Format1) = CurrentSettings().Format;
  run_.Format1.ImageResolution = kCustomResolution;
  run_.Format1.ImgWidth = run_.Format1.ImgHeight = 0;
  run_.Format1.DataSize = 0;
  run_.Format2 = run_.Format1;
  run_.ReportName = "psnr.xls";
  BuildControls();
  SetRunningControls(false);
}

CPSNR::~CPSNR() {
  EndWorker();
}

void CPSNR::BuildControls() {
  const FileGroup one = MakeFileGroup(QStringLiteral("Load file 1: "), this);
  const FileGroup two = MakeFileGroup(QStringLiteral("Load file 2:"), this);
  file1_ = one.name, browse1_ = one.browse, format1_ = one.format;
  file2_ = two.name, browse2_ = two.browse, format2_ = two.format;
  file1_->setObjectName(QStringLiteral("file1Box"));
  browse1_->setObjectName(QStringLiteral("browse1Button"));
  format1_->setObjectName(QStringLiteral("format1Label"));
  file2_->setObjectName(QStringLiteral("file2Box"));
  browse2_->setObjectName(QStringLiteral("browse2Button"));
  format2_->setObjectName(QStringLiteral("format2Label"));
  auto* group1 = one.box;
  auto* group2 = two.box;

  auto* range = new QGroupBox(QStringLiteral("Start and end frame"), this);
  from_ = new QLineEdit(QString::number(run_.StartFrame), range);
  from_->setObjectName(QStringLiteral("fromBox"));
  to_ = new QLineEdit(QString::number(run_.EndFrame), range);
  to_->setObjectName(QStringLiteral("toBox"));
  from_->setMaximumWidth(80);
  to_->setMaximumWidth(80);
  auto* rangeLayout = new QHBoxLayout(range);
  rangeLayout->addWidget(new QLabel(QStringLiteral("From frame number:"), range));
  rangeLayout->addWidget(from_);
  rangeLayout->addWidget(new QLabel(QStringLiteral("to"), range));
  rangeLayout->addWidget(to_);
  rangeLayout->addStretch();

  auto* reportGroup = new QGroupBox(QStringLiteral(" Report file name:"), this);
  report_ = new QLineEdit(QString::fromStdString(run_.ReportName), reportGroup);
  report_->setObjectName(QStringLiteral("reportBox"));
  browseReport_ = new QPushButton(QStringLiteral("Browse..."), reportGroup);
  browseReport_->setObjectName(QStringLiteral("reportBrowseButton"));
  AcceptFileDropsAsBrowse(report_, browseReport_);
  auto* reportLayout = new QHBoxLayout(reportGroup);
  reportLayout->addWidget(report_, 1);
  reportLayout->addWidget(browseReport_);

  auto* styleGroup = new QGroupBox(QStringLiteral(" Report file format:"), this);
  tab_ = new QRadioButton(QStringLiteral("Tab delimited format (*.xls)"), styleGroup);
  tab_->setObjectName(QStringLiteral("tabButton"));
  comma_ = new QRadioButton(QStringLiteral("Comma delimited format (*.csv)"), styleGroup);
  comma_->setObjectName(QStringLiteral("commaButton"));
  tab_->setChecked(true);
  auto* styleLayout = new QVBoxLayout(styleGroup);
  styleLayout->addWidget(tab_);
  styleLayout->addWidget(comma_);
  // What is measured: SSIM alone writes its report under the name, both put it
  // beside the PSNR report ("_ssim" before the extension).
  metricPsnr_ = new QRadioButton(QStringLiteral("PSNR"), styleGroup);
  metricPsnr_->setObjectName(QStringLiteral("metricPsnr"));
  metricSsim_ = new QRadioButton(QStringLiteral("SSIM"), styleGroup);
  metricSsim_->setObjectName(QStringLiteral("metricSsim"));
  metricBoth_ = new QRadioButton(QStringLiteral("PSNR and SSIM"), styleGroup);
  metricBoth_->setObjectName(QStringLiteral("metricBoth"));
  auto* metrics = new QButtonGroup(styleGroup);  // apart from the report format's buttons
  auto* metricLayout = new QHBoxLayout;
  for (QRadioButton* b : {metricPsnr_, metricSsim_, metricBoth_}) {
    metrics->addButton(b);
    metricLayout->addWidget(b);
  }
  metricPsnr_->setChecked(true);
  styleLayout->addLayout(metricLayout);

  auto* startGroup = new QGroupBox(QStringLiteral("Start"), this);
  start_ = new QPushButton(QStringLiteral("Start Calculation"), startGroup);
  start_->setObjectName(QStringLiteral("startButton"));
  pause_ = new QPushButton(QStringLiteral("Pause"), startGroup);
  pause_->setObjectName(QStringLiteral("pauseButton"));
  stop_ = new QPushButton(QStringLiteral("Stop"), startGroup);
  stop_->setObjectName(QStringLiteral("stopButton"));
  auto* startLayout = new QHBoxLayout(startGroup);
  for (QPushButton* b : {start_, pause_, stop_}) startLayout->addWidget(b);

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("statusLine"));
  status_->setFrameShape(QFrame::StyledPanel);
  status_->setMinimumWidth(560);
  exit_ = new QPushButton(QStringLiteral("Exit"), this);
  exit_->setObjectName(QStringLiteral("exitButton"));

  auto* layout = new QGridLayout(this);
  layout->addWidget(group1, 0, 0);
  layout->addWidget(group2, 0, 1);
  layout->addWidget(range, 1, 0);
  layout->addWidget(reportGroup, 1, 1);
  layout->addWidget(styleGroup, 2, 0);
  layout->addWidget(startGroup, 2, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(status_, 1);
  bottom->addWidget(exit_);
  layout->addLayout(bottom, 3, 0, 1, 2);
  // The plot of the run's measure; both when it measures both.
  plot_ = new FramePlot(this);
  ssimPlot_ = new FramePlot(this);
  ssimPlot_->setObjectName(QStringLiteral("ssimPlot"));
  ssimPlot_->Reset(QStringLiteral("SSIM"), {"Y", "U", "V", "All"});
  ssimPlot_->hide();
  layout->addWidget(plot_, 4, 0, 1, 2);
  layout->addWidget(ssimPlot_, 5, 0, 1, 2);
  layout->setRowStretch(4, 1);
  layout->setRowStretch(5, 1);

  connect(browse1_, &QPushButton::clicked, this, [this] { Browse(1); });
  connect(browse2_, &QPushButton::clicked, this, [this] { Browse(2); });
  connect(browseReport_, &QPushButton::clicked, this, &CPSNR::BrowseReport);
  connect(tab_, &QRadioButton::clicked, this, [this] { SelectStyle(PsnrStyle::Tab); });
  connect(comma_, &QRadioButton::clicked, this, [this] { SelectStyle(PsnrStyle::Comma); });
  connect(metricPsnr_, &QRadioButton::clicked, this, [this] { SelectMetric(PsnrMetric::Psnr); });
  connect(metricSsim_, &QRadioButton::clicked, this, [this] { SelectMetric(PsnrMetric::Ssim); });
  connect(metricBoth_, &QRadioButton::clicked, this, [this] { SelectMetric(PsnrMetric::Both); });
  connect(start_, &QPushButton::clicked, this, &CPSNR::Start);
  connect(pause_, &QPushButton::clicked, this, &CPSNR::PauseClicked);
  connect(stop_, &QPushButton::clicked, this, &CPSNR::StopClicked);
  connect(exit_, &QPushButton::clicked, this, &CPSNR::ExitClicked);
}

void CPSNR::Browse(int index) {
  RawPickOptions options;
  options.caption = QStringLiteral("Open");
  // The name is taken at once, even when the format dialog is then cancelled.
  options.picked = [this, index](const QString& path) {
    (index == 1 ? run_.File1 : run_.File2) = path.toStdString();
    (index == 1 ? file1_ : file2_)->setText(path);
    setWindowTitle(QStringLiteral("<%1> vs. <%2>").arg(file1_->text(), file2_->text()));
  };
  if (const auto choice = PickRawFile(this, options))
    ChooseFile(index, choice->path, choice->format, choice->frameCount);
}

void CPSNR::ChooseFile(int index, const QString& path, const ImageFormat& format, int64_t frameCount) {
  FrameImage& mine = index == 1 ? run_.Format1 : run_.Format2;
  const FrameImage& other = index == 1 ? run_.Format2 : run_.Format1;
  int32_t& count = index == 1 ? run_.Count1 : run_.Count2;
  (index == 1 ? run_.File1 : run_.File2) = path.toStdString();
  (index == 1 ? file1_ : file2_)->setText(path);
  setWindowTitle(QStringLiteral("<%1> vs. <%2>").arg(file1_->text(), file2_->text()));
  static_cast<ImageFormat&>(mine) = format;
  ComputeFrameSize(mine);
  AddToHistory(path.toStdString(), mine, kOpened);
  count = static_cast<int32_t>(std::min<int64_t>(frameCount, INT32_MAX));
  if (count < 1) {
    ShowMessage(index == 1 ? "Error PSNR1020: There is 0 frames in this file !"
                           : "Error PSNR1023: There is 0 frames in this file !");
    count = -1;
  }
  from_->setText(QString::number(run_.StartFrame));
  const int32_t smaller = run_.Count2 != 0 && run_.Count2 < run_.Count1 ? run_.Count2 : run_.Count1;
  to_->setText(QString::number(smaller));
  // Warn as soon as the other file is loaded with another layout, not only after a run.
  if (other.ImgWidth > 0 && !SameFrameHeader(mine, other)) {
    ShowMessage(index == 1 ? "Error PSNR1021: The two images to be compared must be in the same format!"
                           : "Error PSNR1024: The two images to be compared must be in the same format!");
  }
  ShowFormat(index);
}

void CPSNR::ShowFormat(int index) {
  const FrameImage& f = index == 1 ? run_.Format1 : run_.Format2;
  const int32_t count = index == 1 ? run_.Count1 : run_.Count2;
  const std::string text = StrFormat("%s, %d frames", FormatLabel(f).c_str(), count);
  (index == 1 ? format1_ : format2_)->setText(QString::fromStdString(text));
}

void CPSNR::BrowseReport() {
  const QString path = AskSaveNameInto(this, report_, QStringLiteral("Save As"), kReportFiles);
  if (!path.isEmpty()) run_.ReportName = path.toStdString();
}

void CPSNR::SelectStyle(PsnrStyle style) {
  run_.Style = style;
  (style == PsnrStyle::Tab ? tab_ : comma_)->setChecked(true);
  const std::string name = report_->text().toStdString();
  if (name.empty()) {
    ShowMessage(style == PsnrStyle::Tab ? "Error PSNR1025: Name of Report File is empty! "
                                        : "Error PSNR1026: Name of Report File is empty! ");
    return;
  }
  run_.ReportName = ReportNameForStyle(name, style);
  report_->setText(QString::fromStdString(run_.ReportName));
}

void CPSNR::SelectMetric(PsnrMetric metric) {
  run_.Metric = metric;
  (metric == PsnrMetric::Psnr   ? metricPsnr_
   : metric == PsnrMetric::Ssim ? metricSsim_
                                : metricBoth_)
      ->setChecked(true);
}

bool CPSNR::StartFromRequest(const QString& file1, const QString& file2, const QString& report, int delimiter,
                             const ImageFormat& current) {
  setWindowTitle(file1);
  file1_->setText(file1);
  file2_->setText(file2);
  report_->setText(report);
  run_.PrepareFromRequest(file1.toStdString(), file2.toStdString(), report.toStdString(), delimiter, current,
                          run_.Metric);
  (run_.Style == PsnrStyle::Comma ? comma_ : tab_)->setChecked(true);
  ShowFormat(1);
  ShowFormat(2);
  Start();
  return true;
}

void CPSNR::SetRunningControls(bool running) {
  start_->setEnabled(!running);
  pause_->setEnabled(running);
  stop_->setEnabled(running);
  // The running comparison's files and report stay as they are until it ends.
  for (QWidget* w :
       {static_cast<QWidget*>(file1_), static_cast<QWidget*>(file2_), static_cast<QWidget*>(browse1_),
        static_cast<QWidget*>(browse2_), static_cast<QWidget*>(from_), static_cast<QWidget*>(to_),
        static_cast<QWidget*>(report_), static_cast<QWidget*>(browseReport_), static_cast<QWidget*>(tab_),
        static_cast<QWidget*>(comma_), static_cast<QWidget*>(metricPsnr_), static_cast<QWidget*>(metricSsim_),
        static_cast<QWidget*>(metricBoth_)}) {
    w->setEnabled(!running);
  }
}

void CPSNR::Start() {
  if (WorkerRunning()) return;
  run_.File1 = file1_->text().toStdString();
  run_.File2 = file2_->text().toStdString();
  run_.ReportName = report_->text().toStdString();
  run_.StartFrame = ParseLeadingInt(from_->text().toStdString());
  run_.EndFrame = ParseLeadingInt(to_->text().toStdString());
  if (run_.File1.empty() || run_.File2.empty() || run_.ReportName.empty()) return;
  EndWorker();
  pause_->setText(QStringLiteral("Pause"));
  SetRunningControls(true);
  run_.Freeze();  // from here on the worker reads only the frozen copy
  plot_->Reset(QStringLiteral("PSNR (dB)"), ReportColumnNames(run_.Format1));
  ssimPlot_->Reset(QStringLiteral("SSIM"), SsimColumnNames(run_.Format1));
  plot_->setVisible(run_.Metric != PsnrMetric::Ssim);
  ssimPlot_->setVisible(run_.Metric != PsnrMetric::Psnr);
  StartRun([this] {
    Observer observer(this);
    return run_.Run(observer);
  });
}

void CPSNR::ShowMeasures(const FrameMeasures& measures) {
  if (measures.hasPsnr) plot_->Add(measures.frame, {measures.psnr.begin(), measures.psnr.end()});
  if (measures.hasSsim) ssimPlot_->Add(measures.frame, SsimColumns(run_.Format1, measures.ssim));
}

void CPSNR::PauseClicked() {
  pause_->setText(TogglePause() ? QStringLiteral("Continue") : QStringLiteral("Pause"));
}

void CPSNR::StopClicked() {
  run_.Stop();
  OnStopped();
}

void CPSNR::OnStopped() {
  SetRunningControls(false);
  pause_->setText(QStringLiteral("Continue"));
}

void CPSNR::ExitClicked() {
  StopClicked();
  close();
}

bool CPSNR::StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) {
  SetCommandLineJob(request.ExitWhenDone != 0, mainWindow);
  return StartFromRequest(
      QString::fromStdString(request.InputName), QString::fromStdString(request.SecondInputName),
      QString::fromStdString(request.OutputName), request.ReportDelimiter, CurrentSettings().Format);
}

}  // namespace vx
