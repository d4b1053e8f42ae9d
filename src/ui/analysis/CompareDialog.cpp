#include "ui/analysis/CompareDialog.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QMouseEvent>
#include <QThread>
#include <QVBoxLayout>

#include "analysis/Psnr.h"
#include "display/FormatLabel.h"
#include "display/GridOverlay.h"
#include "editor/BlockEdit.h"
#include "model/FileHistory.h"
#include "model/Settings.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "ui/analysis/HistogramDialogs.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/RawFilePicker.h"
#include "ui/controls/ScreenFit.h"
#include "ui/editor/BlockEditDialog.h"

namespace vx {
namespace {

const QString kTitle = QStringLiteral("Calculate the Difference of Two YUV Files");

QColor ToQColor(const RgbColor& c) {
  return QColor(c.Red, c.Green, c.Blue);
}
RgbColor FromQColor(const QColor& c) {
  return {c.red(), c.green(), c.blue()};
}

// Two layouts compare when every field that places a sample is equal.
bool SameLayout(const ImageFormat& a, const ImageFormat& b) {
  return a.SamplingFormat == b.SamplingFormat && a.ComponentOrder == b.ComponentOrder &&
         a.FieldFormat == b.FieldFormat && a.PixelFormat == b.PixelFormat && a.ImgWidth == b.ImgWidth &&
         a.ImgHeight == b.ImgHeight;
}

}  // namespace

CYUVCompare::CYUVCompare(QWidget* parent) : QDialog(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(kTitle);
  BuildControls();
  LayOutPicture();
  driver_->UpdateControls();
}

CYUVCompare::~CYUVCompare() {
  driver_->EndWorker();
}

void CYUVCompare::BuildControls() {
  auto fileGroup = [this](const QString& title, QLineEdit*& path, QPushButton*& browse, QLineEdit*& format) {
    auto* group = new QGroupBox(title, this);
    path = new QLineEdit(group);
    browse = new QPushButton(QStringLiteral("Browse..."), group);
    format = new QLineEdit(group);
    format->setReadOnly(true);
    auto* layout = new QGridLayout(group);
    layout->addWidget(path, 0, 0);
    layout->addWidget(browse, 0, 1);
    layout->addWidget(format, 1, 0, 1, 2);
    return group;
  };
  file1Group_ =
      fileGroup(QStringLiteral("Load image file #1 for comparison:"), path1_, browse1_, format1Box_);
  file2Group_ =
      fileGroup(QStringLiteral("Load image file #2 for comparison:"), path2_, browse2_, format2Box_);

  playGroup_ = new QGroupBox(QStringLiteral("Play control:"), this);
  PlaybackDriver::Hooks hooks;
  hooks.canPlay = [this] { return !path1_->text().isEmpty() && framesAvailable_; };
  hooks.beforeStart = [this] {
    BeforeStart();
    return true;
  };
  hooks.frameShown = [this](int64_t frame) { emit frameShown(static_cast<int>(frame)); };
  hooks.redraw = [this] { ShowDisplay(); };
  hooks.controlsChanged = [this](const PlayerControls& c) { UpdateControls(c); };
  driver_ = new PlaybackDriver(this, playGroup_, sequence_, std::move(hooks));
  driver_->controls().frameLabel()->setText(QStringLiteral("Frame #:"));
  auto* play = new QGridLayout(playGroup_);
  PlayControls& c = driver_->controls();
  play->addWidget(c.start(), 0, 0);
  play->addWidget(c.stop(), 0, 1);
  play->addWidget(c.pause(), 0, 2);
  play->addWidget(c.reverse(), 0, 3);
  play->addWidget(c.stepBack(), 1, 0);
  play->addWidget(c.slider(), 1, 1, 1, 2);
  play->addWidget(c.stepForward(), 1, 3);
  play->addWidget(c.frameLabel(), 2, 0);
  play->addWidget(c.frameNumber(), 2, 1);

  const ProgramSettings& s = CurrentSettings();
  optionsGroup_ = new QGroupBox(QStringLiteral("Comparison options:"), this);
  components_ = new QComboBox(optionsGroup_);
  for (const std::string& text : ComponentListTexts(YUV_420))
    components_->addItem(QString::fromStdString(text));
  components_->setCurrentIndex(3);
  valueHistogram_ = new QPushButton(QStringLiteral("Diff value histogram"), optionsGroup_);
  positionHistogram_ = new QPushButton(QStringLiteral("Diff position distribution"), optionsGroup_);
  psnr_ = new QLineEdit(optionsGroup_);
  psnr_->setReadOnly(true);
  psnr_->setMinimumWidth(
      psnr_->fontMetrics().horizontalAdvance(QStringLiteral("Y :100.0000     U :100.0000   V :100.0000  ")));
  auto* options = new QGridLayout(optionsGroup_);
  options->addWidget(new QLabel(QStringLiteral("Components to compare:"), optionsGroup_), 0, 0);
  options->addWidget(components_, 0, 1);
  options->addWidget(valueHistogram_, 1, 0);
  options->addWidget(positionHistogram_, 1, 1);
  options->addWidget(new QLabel(QStringLiteral("PSNR:"), optionsGroup_), 2, 0);
  options->addWidget(psnr_, 2, 1);

  displayGroup_ =
      new QGroupBox(QStringLiteral("Display options based on SAD (sum of absolute difference):"), this);
  grey_ = new QRadioButton(QStringLiteral("Show SAD as grey scale"), displayGroup_);
  range_ = new QRadioButton(QStringLiteral("Show pixels with SAD values between:"), displayGroup_);
  (s.DiffDisplayMode == 1 ? range_ : grey_)->setChecked(true);
  low_ = new QLineEdit(QString::number(s.DiffThreshold[0]), displayGroup_);
  high_ = new QLineEdit(QString::number(s.DiffThreshold[1]), displayGroup_);
  for (QLineEdit* box : {low_, high_}) {
    box->setValidator(new QIntValidator(0, 765, box));
    box->setMaximumWidth(60);
  }
  diffColour_ = new ColourButton(displayGroup_);
  diffColour_->setText(QStringLiteral("Diff Color"));
  diffColour_->setColour(ToQColor(s.ImageDiffColor_RGB));
  brightness_ = new QSlider(Qt::Horizontal, displayGroup_);
  brightness_->setRange(0, 100);
  brightness_->setValue(std::clamp(s.BrightnessAdjust, 0, 100));
  brightnessBox_ = new QLineEdit(QString::number(brightness_->value()), displayGroup_);
  brightnessBox_->setReadOnly(true);
  brightnessBox_->setMaximumWidth(50);
  const char* backgroundNames[] = {"Diff Only", "Diff on file 1", "Diff on file 2"};
  for (size_t i = 0; i < 3; ++i)
    backgrounds_[i] = new QRadioButton(QString::fromLatin1(backgroundNames[i]), displayGroup_);
  backgrounds_[static_cast<size_t>(std::clamp(s.DiffOverImage, 0, 2))]->setChecked(true);
  // The background radios are a group of their own.
  auto* backgroundBox = new QWidget(displayGroup_);
  auto* backgroundLayout = new QHBoxLayout(backgroundBox);
  backgroundLayout->setContentsMargins(0, 0, 0, 0);
  for (QRadioButton* b : backgrounds_) backgroundLayout->addWidget(b);
  auto* display = new QGridLayout(displayGroup_);
  display->addWidget(grey_, 0, 0);
  display->addWidget(new QLabel(QStringLiteral("Brightness:"), displayGroup_), 0, 1);
  display->addWidget(brightness_, 0, 2, 1, 2);
  display->addWidget(brightnessBox_, 0, 4);
  display->addWidget(range_, 1, 0);
  display->addWidget(low_, 1, 1);
  display->addWidget(new QLabel(QStringLiteral("and"), displayGroup_), 1, 2);
  display->addWidget(high_, 1, 3);
  display->addWidget(diffColour_, 1, 4);
  display->addWidget(backgroundBox, 2, 0, 1, 5);

  gridGroup_ = new QGroupBox(QStringLiteral("Grid options:"), this);
  grid_ = new QCheckBox(QStringLiteral("Add local grid"), gridGroup_);
  grid_->setChecked(s.AddDiffGrid != 0);
  gridColour_ = new ColourButton(gridGroup_);
  gridColour_->setText(QStringLiteral("Color"));
  gridColour_->setColour(ToQColor(s.ImageDiffGridColor_RGB));
  column_ = new QLabel(QStringLiteral("Block Column:"), gridGroup_);
  row_ = new QLabel(QStringLiteral("Block Row:"), gridGroup_);
  for (QLabel* label : {column_, row_})
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("Block Column:0000")));
  auto* grid = new QGridLayout(gridGroup_);
  grid->addWidget(grid_, 0, 0);
  grid->addWidget(gridColour_, 0, 1);
  grid->addWidget(column_, 1, 0);
  grid->addWidget(row_, 1, 1);
  toggle_ = new QPushButton(QStringLiteral("<--- Hide Detailed Controls"), this);
  toggle_->hide();
  exit_ = new QPushButton(QStringLiteral("Exit"), this);

  previewPanel_ = new QWidget(this);
  preview_ = new PreviewArea(previewPanel_);
  preview_->setMouseTracking(true);
  preview_->installEventFilter(this);

  auto* files = new QHBoxLayout;
  files->addWidget(file1Group_, 1);
  files->addWidget(file2Group_, 1);
  files->addWidget(playGroup_, 1);
  auto* settings = new QHBoxLayout;
  settings->addWidget(optionsGroup_);
  settings->addWidget(displayGroup_, 1);
  settings->addWidget(gridGroup_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(toggle_);
  buttons->addStretch();
  buttons->addWidget(exit_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(files);
  layout->addLayout(settings);
  layout->addLayout(buttons);
  layout->addWidget(previewPanel_, 0, Qt::AlignLeft);
  layout->addStretch();

  connect(browse1_, &QPushButton::clicked, this, [this] { Browse(1); });
  connect(browse2_, &QPushButton::clicked, this, [this] { Browse(2); });
  connect(exit_, &QPushButton::clicked, this, &QDialog::close);
  connect(toggle_, &QPushButton::clicked, this, &CYUVCompare::ToggleDetails);
  connect(components_, &QComboBox::activated, this, [this] { SetUp(); });
  for (QRadioButton* b : {grey_, range_, backgrounds_[0], backgrounds_[1], backgrounds_[2]})
    connect(b, &QRadioButton::toggled, this, [this](bool on) {
      if (on) OptionsChanged();
    });
  connect(low_, &QLineEdit::textChanged, this, [this] {
    CurrentSettings().DiffThreshold[0] = low_->text().toInt();
    OptionsChanged();
  });
  connect(high_, &QLineEdit::textChanged, this, [this] {
    CurrentSettings().DiffThreshold[1] = high_->text().toInt();
    OptionsChanged();
  });
  connect(brightness_, &QSlider::valueChanged, this, [this](int value) {
    brightnessBox_->setText(QString::number(value));
    OptionsChanged();
  });
  connect(grid_, &QCheckBox::toggled, this, &CYUVCompare::ShowDisplay);
  connect(diffColour_, &ColourButton::colourChosen, this, &CYUVCompare::OptionsChanged);
  connect(gridColour_, &ColourButton::colourChosen, this, &CYUVCompare::ShowDisplay);
  valueHistogram_->setEnabled(false);
  positionHistogram_->setEnabled(false);
  connect(valueHistogram_, &QPushButton::clicked, this, [this] { OpenHistogram(false); });
  connect(positionHistogram_, &QPushButton::clicked, this, [this] { OpenHistogram(true); });
}

void CYUVCompare::OpenHistogram(bool positions) {
  // The windows read the difference the worker builds: a playing worker is paused
  // first, and the button pressed again once the frame stands still.
  if (!framesAvailable_) return;
  if (!driver_->Idle()) {
    driver_->controls().PauseClicked();
    return;
  }
  // The histograms read a difference of their own, built from copies of the pair shown.
  FramePairSequence::Pair pair = sequence_.Snapshot();
  if (!pair.first.Valid() || !pair.second.Valid()) return;
  FrameDifference d;
  if (!d.Allocate(pair.first.format.ImgWidth, pair.first.format.ImgHeight) ||
      !d.Build(*CurrentColourTables(), pair.first.View(), pair.second.View(), sequence_.Display().selector))
    return;
  if (positions) {
    CYUVDiffPositionDistribution window(d.DifferencePicture(), d.FirstPicture(), d.SecondPicture(), this);
    if (window.valid()) window.exec();
  } else {
    CYUVDiffValueHistogram window(d.DifferencePicture(), this);
    window.exec();
  }
}

void CYUVCompare::Browse(int index) {
  RawPickOptions options;
  options.caption = QStringLiteral("Open");
  if (const auto choice = PickRawFile(this, options)) ChooseFile(index, choice->path, choice->format);
}

void CYUVCompare::ChooseFile(int index, const QString& path, const ImageFormat& format) {
  driver_->EndWorker();  // the buffers may change
  setWindowTitle(QFileInfo(path).fileName());
  (index == 1 ? path1_ : path2_)->setText(path);
  (index == 1 ? sequence_.FirstPath : sequence_.SecondPath) = path.toStdString();
  AddToHistory(path.toStdString(), format, kOpened);
  if (!WorkBufferSizeSupported(format.ImgWidth, format.ImgHeight)) {
    ShowMessage(StrFormat(index == 1 ? "Error CMPR1001: Image size (%d, %d) not support !\n"
                                     : "Error CMPR1004: Image size (%d, %d) not support !\n",
                          format.ImgWidth, format.ImgHeight));
    (index == 1 ? loaded1_ : loaded2_) = false;
    return;
  }
  (index == 1 ? format1_ : format2_) = format;
  (index == 1 ? loaded1_ : loaded2_) = true;
  (index == 1 ? format1Box_ : format2Box_)->setText(QString::fromStdString(FormatLabel(format)));
  framesAvailable_ = false;
  if (!(loaded1_ && loaded2_)) return;
  if (!SameLayout(format1_, format2_)) {
    ShowMessage(index == 1 ? "Error CMPR1002: The two images to be compared must be in the same format!"
                           : "Error CMPR1005: The two images to be compared must be in the same format!");
    return;
  }
  SetUp();
}

void CYUVCompare::SetUp() {
  if (!(loaded1_ && loaded2_)) return;
  if (!SameLayout(format1_, format2_)) {
    ShowMessage("Error CMPR1006: The two images to be compared must be in the same format!");
    return;
  }
  driver_->EndWorker();
  const int selected = std::max(components_->currentIndex(), 0);
  if (!sequence_.Prepare(format1_)) {
    ShowMessage(StrFormat("Error CMPR1007: Image size (%d, %d) not support !\n", format1_.ImgWidth,
                          format1_.ImgHeight));
    return;
  }
  components_->clear();
  for (const std::string& text : ComponentListTexts(format1_.SamplingFormat))
    components_->addItem(QString::fromStdString(text));
  components_->setCurrentIndex(std::clamp(selected, 0, 3));
  framesAvailable_ = sequence_.LoadFirstPair();
  valueHistogram_->setEnabled(true);
  positionHistogram_->setEnabled(true);
  LayOutPicture();
  OptionsChanged();
  driver_->UpdateControls();
}

void CYUVCompare::OptionsChanged() {
  const bool rangeMode = range_->isChecked();
  for (QWidget* w : {static_cast<QWidget*>(low_), static_cast<QWidget*>(high_),
                     static_cast<QWidget*>(diffColour_), static_cast<QWidget*>(backgrounds_[0]),
                     static_cast<QWidget*>(backgrounds_[1]), static_cast<QWidget*>(backgrounds_[2])})
    w->setEnabled(rangeMode);
  brightness_->setEnabled(!rangeMode);
  CompareDisplay d;
  d.selector = std::clamp(components_->currentIndex(), 0, 3);
  d.displayMode = rangeMode ? 1 : 0;
  for (int i = 0; i < 3; ++i)
    if (backgrounds_[static_cast<size_t>(i)]->isChecked()) d.background = i;
  d.brightness = brightness_->value();
  d.low = low_->text().toInt();
  d.high = high_->text().toInt();
  d.colour = FromQColor(diffColour_->colour());
  sequence_.SetDisplay(d);
  if (framesAvailable_) driver_->RenderWhileIdle();
}

void CYUVCompare::ShowDisplay() {
  if (!framesAvailable_) return;
  GridPair grids;
  grids.one =
      GridSettings{grid_->isChecked() ? 1 : 0, 0, kBlockSize, kBlockSize, FromQColor(gridColour_->colour())};
  grids.two.Enabled = 0;
  const CompareDisplay d = sequence_.Display();
  sequence_.Pictures().Read([&](const FrameImage& picture) {
    if (!picture.Data || picture.ImgWidth <= 0 || picture.ImgHeight <= 0) return;
    preview_->showFrame(picture.Data, static_cast<size_t>(picture.DataSize), picture.ImgWidth,
                        picture.ImgHeight,
                        DrawOptions{.brightness = FrameDifference::BrightnessOnDraw(format1_, d),
                                    .selector = kBoostY,
                                    .grids = &grids});
  });
  psnr_->setText(QString::fromStdString(sequence_.PsnrText()));
}

void CYUVCompare::BeforeStart() {
  ProgramSettings& s = CurrentSettings();
  const CompareDisplay d = sequence_.Display();
  s.DiffOverImage = d.background;
  s.DiffDisplayMode = d.displayMode;
  s.DiffThreshold = {d.low, d.high};
  s.BrightnessAdjust = d.brightness;
  s.AddDiffGrid = grid_->isChecked() ? 1 : 0;
  s.ImageDiffColor_RGB = d.colour;
  s.ImageDiffGridColor_RGB = FromQColor(gridColour_->colour());
}

void CYUVCompare::UpdateControls(const PlayerControls& c) {
  for (QWidget* w : {static_cast<QWidget*>(path1_), static_cast<QWidget*>(path2_),
                     static_cast<QWidget*>(browse1_), static_cast<QWidget*>(browse2_)})
    w->setEnabled(c.pathAndBrowse);
}

void CYUVCompare::LayOutPicture() {
  const int chrome = std::max(230, sizeHint().height() - previewPanel_->height());
  const QSize picture =
      framesAvailable_ || loaded1_ ? QSize(format1_.ImgWidth, format1_.ImgHeight) : QSize(352, 288);
  const PreviewLayoutResult layout = LayoutPreviewOnScreen(
      this, QPoint(28, chrome), QSize(std::max(width(), sizeHint().width()), chrome), picture);
  preview_->setGeometryFor(QPoint(16, 16), QSize(layout.visibleWidth, layout.visibleHeight));
  previewPanel_->setFixedSize(layout.visibleWidth + 16, layout.visibleHeight + 16);
  toggle_->setVisible(layout.verticalBarShown || compact_);
  adjustSize();
  FitOnScreen(this);
}

void CYUVCompare::ToggleDetails() {
  compact_ = !compact_;
  toggle_->setText(compact_ ? QStringLiteral("<--- Display Detailed Controls")
                            : QStringLiteral("<--- Hide Detailed Controls"));
  for (QWidget* w : {static_cast<QWidget*>(optionsGroup_), static_cast<QWidget*>(displayGroup_),
                     static_cast<QWidget*>(gridGroup_), static_cast<QWidget*>(format1Box_),
                     static_cast<QWidget*>(format2Box_), static_cast<QWidget*>(path2_)})
    w->setVisible(!compact_);
  LayOutPicture();
}

std::optional<QPoint> CYUVCompare::BlockAt(const QPoint& at) const {
  if (!framesAvailable_) return std::nullopt;
  return preview_->BlockAt(at, kBlockSize);
}

bool CYUVCompare::eventFilter(QObject* watched, QEvent* event) {
  if (watched == preview_ &&
      (event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonRelease)) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (const auto block = BlockAt(mouse->position().toPoint())) {
      if (event->type() == QEvent::MouseMove) {
        column_->setText(QStringLiteral("Block Column:%1").arg(block->x()));
        row_->setText(QStringLiteral("Block Row:%1").arg(block->y()));
        preview_->setOutline(QRect(block->x() * kBlockSize, block->y() * kBlockSize, kBlockSize, kBlockSize));
      } else if (mouse->button() == Qt::LeftButton) {
        OpenBlock(block->x(), block->y());
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CYUVCompare::OpenBlock(int column, int row) {
  // The frames stand still, and the block view reads copies of the pair shown.
  if (!framesAvailable_ || !driver_->Idle()) return;
  FramePairSequence::Pair pair = sequence_.Snapshot();
  if (!pair.first.Valid() || !pair.second.Valid()) return;
  OpenCompareBlock(this, pair.first.View(), pair.second.View(), column, row,
                   std::clamp(components_->currentIndex(), 0, 3));
  ShowDisplay();
}

void CYUVCompare::closeEvent(QCloseEvent* event) {
  if (driver_->PutOffClose(event)) return;
  QDialog::closeEvent(event);
}

void CYUVCompare::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange)
    setWindowTitle(isMaximized() ? QStringLiteral("Velutrix") : kTitle);
  QDialog::changeEvent(event);
}

void OpenCompareBlock(QWidget* parent, FrameImage one, FrameImage two, int column, int row, int selector) {
  FrameBuffer buffer;
  if (!buffer.Allocate(WorkBufferSize(one.ImgWidth, one.ImgHeight))) return;
  FrameImage difference = buffer.Frame(one);
  double v[3];
  if (!CompareFrames(one, two, &difference, v[0], v[1], v[2])) return;
  BlockRows first, second, diff;
  if (ReadBlock(one, column, row, first) == 0 || ReadBlock(two, column, row, second) == 0 ||
      ReadBlock(difference, column, row, diff) == 0)
    return;
  CBlockEdit view(parent);
  view.OpenForCompare(one, first, second, diff, selector);
  view.exec();
}

}  // namespace vx
