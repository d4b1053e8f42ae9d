#include "ui/tools/CompositionDialog.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>

#include "display/FormatLabel.h"
#include "model/FileHistory.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/NamedWidget.h"
#include "ui/controls/RawFilePicker.h"
#include "ui/tools/ConverterDialog.h"

namespace vx {
namespace {

const PictureSourceTexts kTopPictureTexts = {"Error CMPS1001: We do not support convert from BMP to BMP",
                                             "Error CMPS1002: image loaded Failed",
                                             "Error CMPS1003: Only 24 bits BMP supported!"};

int32_t BoxValue(const QLineEdit* box) {
  return ParseLeadingInt(box->text().toStdString());
}

}  // namespace

CYUVComposition::CYUVComposition(QWidget* parent) : ToolDialogOf(std::make_unique<CompositionJob>(), parent) {
  BuildControls({.sourceGroup = QStringLiteral("Load file to composite as base image: "),
                 .targetGroup = QStringLiteral("Save composited image into file:"),
                 .frameNumberLabel = QStringLiteral("Frame number:"),
                 .secondSourceGroup = QStringLiteral("Load file to composite on top of base image: "),
                 .fromLabel = QStringLiteral("Start to compose from frame:"),
                 .toLabel = QStringLiteral("to"),
                 .progress = false});
  SetPausedCaption(QStringLiteral("Continue"));
  BuildCompositionControls();
  connect(browseSource_, &QPushButton::clicked, this, [this] {
    if (const auto choice = PickRawSourceNamingTarget(QStringLiteral("_composed.yuv"),
                                                      {.caption = QStringLiteral("Load base image")}))
      ChooseBase(choice->path, choice->format, choice->frameCount);
  });
  connect(browseSecond_, &QPushButton::clicked, this, [this] {
    const QString path = AskOpenFileName(this, QStringLiteral("Load image to put on top"), QString(),
                                         kRawFileFilters + QStringLiteral(";;BMP pictures(*.bmp)"));
    if (!path.isEmpty()) ChooseTop(path);
  });
  connect(browseTarget_, &QPushButton::clicked, this, [this] {
    const QString path = AskSaveFileName(
        this, {.caption = QStringLiteral("Save composited image"), .start = {}, .filters = kRawFileFilters});
    if (path.isEmpty()) return;
    setWindowTitle(QFileInfo(path).fileName());
    targetBox()->setText(path);
  });
}

void CYUVComposition::BuildCompositionControls() {
  const CompositionParameters defaults;
  auto* group = new QGroupBox(this);
  topLine_ = MakeNamed<QLineEdit>(QStringLiteral("topLineBox"), QString::number(defaults.TopLine), group);
  leftColumn_ =
      MakeNamed<QLineEdit>(QStringLiteral("leftColumnBox"), QString::number(defaults.LeftColumn), group);
  transparency_ = MakeNamed<QSlider>(QStringLiteral("transparencySlider"), Qt::Horizontal, group);
  transparency_->setRange(0, 100);
  transparency_->setValue(defaults.Transparency);
  transparencyValue_ = MakeNamed<QLineEdit>(QStringLiteral("transparencyValueBox"),
                                            QString::number(defaults.Transparency), group);
  transparencyValue_->setReadOnly(true);
  repeat_ = MakeNamed<QCheckBox>(
      QStringLiteral("repeatBox"),
      QStringLiteral("Repeat the last frame of the top image file if the base image file has more frames."),
      group);
  keyEnabled_ =
      MakeNamed<QCheckBox>(QStringLiteral("colourKeyBox"), QStringLiteral("Enable color key"), group);
  key_ = MakeNamed<ColourButton>(QStringLiteral("colourKeyButton"), group);
  key_->setText(QStringLiteral("Color Key"));
  key_->setColour(Qt::black);
  tolerance_ =
      MakeNamed<QLineEdit>(QStringLiteral("toleranceBox"), QString::number(defaults.ColorKeyRange), group);
  for (QLineEdit* box : {topLine_, leftColumn_, transparencyValue_, tolerance_}) box->setMaximumWidth(70);
  auto* grid = new QGridLayout(group);
  grid->addWidget(new QLabel(QStringLiteral("Top line in base image:"), group), 0, 0);
  grid->addWidget(topLine_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Left column in base image:"), group), 0, 2);
  grid->addWidget(leftColumn_, 0, 3);
  grid->addWidget(new QLabel(QStringLiteral("Transparency percentage:"), group), 1, 0);
  grid->addWidget(transparency_, 1, 1, 1, 2);
  grid->addWidget(transparencyValue_, 1, 3);
  grid->addWidget(repeat_, 2, 0, 1, 4);
  grid->addWidget(keyEnabled_, 3, 0);
  grid->addWidget(key_, 3, 1);
  grid->addWidget(new QLabel(QStringLiteral("with the tolerance:"), group), 3, 2);
  grid->addWidget(tolerance_, 3, 3);
  toolArea()->addWidget(group);
  for (QWidget* w :
       {static_cast<QWidget*>(topLine_), static_cast<QWidget*>(leftColumn_),
        static_cast<QWidget*>(transparency_), static_cast<QWidget*>(repeat_),
        static_cast<QWidget*>(keyEnabled_), static_cast<QWidget*>(key_), static_cast<QWidget*>(tolerance_)}) {
    LockWhileRunning(w);
  }
  connect(transparency_, &QSlider::valueChanged, this,
          [this](int value) { transparencyValue_->setText(QString::number(value)); });
}

void CYUVComposition::ChooseBase(const QString& path, const ImageFormat& format, int64_t frameCount) {
  ChooseRawSource(path, format, frameCount, QStringLiteral("_composed.yuv"));
  const bool topChosen = !job().SecondSourceName.empty();
  if (topChosen && job().TopFormat.SamplingFormat != BMP) {
    composable_ = Composable(job().SourceFormat, job().TopFormat);
  }
  RefreshLabels();
}

void CYUVComposition::ChooseTop(const QString& path) {
  CompositionJob& j = job();
  if (IsBmpName(path)) {
    if (j.SourceFormat.SamplingFormat == BMP) {
      ShowMessage(kTopPictureTexts.bmpToBmp);
      return;
    }
    const auto pictures = AskPictureList(this, path, kTopPictureTexts);
    if (!pictures) return;
    j.SecondSourceName = path.toStdString();
    j.TopBmpNames = pictures->names;
    j.TopFormat = PictureFormat(pictures->width, pictures->height);
    j.TopFrameCount = static_cast<int64_t>(j.TopBmpNames.size());
    setWindowTitle(QStringLiteral("<%1>... to <%2>").arg(path, targetBox()->text()));
    const auto& names = j.TopBmpNames;
    topBox()->setText(names.size() == 1 ? QString::fromStdString(names.front())
                                        : QStringLiteral("<%1>...<%2>")
                                              .arg(QString::fromStdString(names.front()),
                                                   QString::fromStdString(names.back())));
    composable_ = true;
    RefreshLabels();
    return;
  }
  setWindowTitle(QFileInfo(path).fileName());
  topBox()->setText(path);
  const auto choice = AskRawFormat(this, path, RawPickOptions{});
  if (!choice) return;
  j.SecondSourceName = path.toStdString();
  j.TopBmpNames.clear();
  static_cast<ImageFormat&>(j.TopFormat) = choice->format;
  ComputeFrameSize(j.TopFormat);
  j.TopFrameCount = choice->frameCount;
  RefreshLabels();
  if (sourceBox()->text().isEmpty()) return;
  composable_ = Composable(j.SourceFormat, j.TopFormat);
  if (composable_) {
    AddToHistory(j.SecondSourceName, j.TopFormat, kOpened);
  } else {
    ShowMessage("The two files have different format, and cannot be composited !", kPromptCaption);
  }
}

bool CYUVComposition::ReadToolBoxes() {
  if (!Meets({{!sourceBox()->text().isEmpty(), "Please give file name for the base image!"},
              {!topBox()->text().isEmpty(), "Please give file name for the image on the top!"},
              {!targetBox()->text().isEmpty(), "Please give file name for composited image!"},
              {composable_, "The two files have different format, and cannot be composited!"}}))
    return false;
  CompositionParameters& p = job().Composition;
  p.TopLine = BoxValue(topLine_);
  p.LeftColumn = BoxValue(leftColumn_);
  p.ColorKeyRange = BoxValue(tolerance_);
  p.Transparency = transparency_->value();
  p.RepeatLastTop = repeat_->isChecked();
  p.ColorKeyEnabled = keyEnabled_->isChecked();
  const QColor c = key_->colour();
  p.ColorKey = RgbColor{c.red(), c.green(), c.blue()};
  job().TargetFormat = job().SourceFormat;
  return true;
}

bool CYUVComposition::StartCommandLine(const CommandLineRequest&, QWidget*) {
  return false;  // composition has no command-line action
}

}  // namespace vx
