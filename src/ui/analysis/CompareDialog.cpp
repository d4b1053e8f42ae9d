#include "ui/analysis/CompareDialog.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QMouseEvent>
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
#include "ui/controls/FileDrops.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/RawFilePicker.h"
#include "ui/controls/ScreenFit.h"
#include "ui/editor/BlockEditDialog.h"
#include "ui/plot/FramePlot.h"

namespace vx {
namespace {

const QString kTitle = QStringLiteral("Calculate the Difference of Two YUV Files");

// Two layouts compare when every field that places a sample is equal.
bool SameLayout(const ImageFormat& a, const ImageFormat& b) {
  return a.SamplingFormat == b.SamplingFormat && a.ComponentOrder == b.ComponentOrder &&
         a.FieldFormat == b.FieldFormat && a.PixelFormat == b.PixelFormat && a.ImgWidth == b.ImgWidth &&
         a.ImgHeight == b.ImgHeight;
}

}  // namespace

CYUVCompare::CYUVCompare(QWidget* parent)
    : PlayingWindow(std::make_unique<SequencePlayback<CompareSequence>>(), kTitle, parent),
      sequence_(PlayedSequence<CompareSequence>()),
      diff_(this, QStringLiteral("Show SAD as grey scale"),
            QStringLiteral("Show pixels with SAD values between:"), [this] { OptionsChanged(); }) {
  minChrome_ = 230;
  BuildControls();
  LayOutPicture();
  driver().UpdateControls();
}

void CYUVCompare::BuildControls() {
  auto fileGroup = [this](const QString& title, QLineEdit*& path, QPushButton*& browse, QLineEdit*& format) {
    auto* group = new QGroupBox(title, this);
    const PathBoxes boxes = MakePathBoxes(group);
    path = boxes.path;
    browse = boxes.browse;
    format = boxes.format;
    return group;
  };
  file1Group_ =
      fileGroup(QStringLiteral("Load image file #1 for comparison:"), path1_, browse1_, format1Box_);
  file2Group_ =
      fileGroup(QStringLiteral("Load image file #2 for comparison:"), path2_, browse2_, format2Box_);

  playGroup_ = new QGroupBox(QStringLiteral("Play control:"), this);
  PlayIn(playGroup_, QStringLiteral("Frame #:"),
         {
             .canPlay = [this] { return !path1_->text().isEmpty() && framesAvailable_; },
             .beforeStart =
                 [this] {
                   SaveDifferenceSettings(sequence_.Display(), *grid_, *gridColour_);
                   return true;
                 },
         });

  const ProgramSettings& s = CurrentSettings();
  optionsGroup_ = new QGroupBox(QStringLiteral("Comparison options:"), this);
  components_ = MakeComponentList(optionsGroup_);
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
  plotButton_ = new QPushButton(QStringLiteral("PSNR per frame..."), optionsGroup_);
  plotButton_->setToolTip(
      QStringLiteral("A plot of the PSNR of every frame shown; click a point to go to its frame"));
  options->addWidget(plotButton_, 3, 0);
  BuildPlotWindow();

  displayGroup_ =
      new QGroupBox(QStringLiteral("Display options based on SAD (sum of absolute difference):"), this);
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
  display->addWidget(diff_.grey, 0, 0);
  display->addWidget(new QLabel(QStringLiteral("Brightness:"), displayGroup_), 0, 1);
  display->addWidget(diff_.brightness, 0, 2, 1, 2);
  display->addWidget(diff_.brightnessBox, 0, 4);
  display->addWidget(diff_.range, 1, 0);
  display->addWidget(diff_.low, 1, 1);
  display->addWidget(new QLabel(QStringLiteral("and"), displayGroup_), 1, 2);
  display->addWidget(diff_.high, 1, 3);
  display->addWidget(diff_.colour, 1, 4);
  display->addWidget(backgroundBox, 2, 0, 1, 5);

  gridGroup_ = new QGroupBox(QStringLiteral("Grid options:"), this);
  const DifferenceGrid gridControls =
      MakeDifferenceGrid(gridGroup_, QStringLiteral("Add local grid"), QStringLiteral("Color"));
  grid_ = gridControls.grid;
  gridColour_ = gridControls.colour;
  column_ = new QLabel(QStringLiteral("Block Column:"), gridGroup_);
  row_ = new QLabel(QStringLiteral("Block Row:"), gridGroup_);
  for (QLabel* label : {column_, row_})
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("Block Column:0000")));
  auto* grid = new QGridLayout(gridGroup_);
  grid->addWidget(grid_, 0, 0);
  grid->addWidget(gridColour_, 0, 1);
  grid->addWidget(column_, 1, 0);
  grid->addWidget(row_, 1, 1);
  QPushButton* toggle =
      MakeDetailsToggle({optionsGroup_, displayGroup_, gridGroup_, format1Box_, format2Box_, path2_});
  exit_ = new QPushButton(QStringLiteral("Exit"), this);
  TrackBlocks({.size = kBlockSize,
               .column = column_,
               .row = row_,
               .active = [this] { return framesAvailable_; },
               .clicked = [this](QPoint block) { OpenBlock(block.x(), block.y()); }});

  StackWithPreview({Row({{file1Group_, 1}, {file2Group_, 1}, {playGroup_, 1}}),
                    Row({{optionsGroup_, 0}, {displayGroup_, 1}, {gridGroup_, 0}}),
                    ButtonRow(toggle, exit_)});

  NameWidgets({{browse1_, "browse1"}, {browse2_, "browse2"}, {components_, "components"}, {psnr_, "psnr"}});
  NameWidgets({{grid_, "grid"}, {column_, "column"}, {row_, "row"}, {exit_, "exit"}});
  NameWidgets({{valueHistogram_, "valueHistogram"}, {positionHistogram_, "positionHistogram"}});
  NameWidgets({{plotButton_, "plotButton"}});
  NameNumbered(backgrounds_, "background");
  // A file dropped on the left half of the window is file 1, on the right half file 2.
  AcceptFileDropsAsBrowse(this, [this](QPoint at) { return at.x() < width() / 2 ? browse1_ : browse2_; });
  connect(browse1_, &QPushButton::clicked, this, [this] { Browse(1); });
  connect(browse2_, &QPushButton::clicked, this, [this] { Browse(2); });
  connect(exit_, &QPushButton::clicked, this, &QDialog::close);
  connect(components_, &QComboBox::activated, this, [this] { SetUp(); });
  for (QRadioButton* b : backgrounds_)
    connect(b, &QRadioButton::toggled, this, [this](bool on) {
      if (on) OptionsChanged();
    });
  for (int i = 0; i < 2; ++i)
    connect(i == 0 ? diff_.low : diff_.high, &QLineEdit::textChanged, this, [this, i](const QString& text) {
      CurrentSettings().DiffThreshold[static_cast<size_t>(i)] = text.toInt();
      OptionsChanged();
    });
  connect(grid_, &QCheckBox::toggled, this, &CYUVCompare::ShowDisplay);
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
  if (!FramesStandStill()) {
    controls().PauseClicked();
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
  PickRawFileFor(
      [this, index](const QString& path, const ImageFormat& format) { ChooseFile(index, path, format); });
}

void CYUVCompare::ChooseFile(int index, const QString& path, const ImageFormat& format) {
  BeginChoice(path, index == 1 ? path1_ : path2_);
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
  driver().EndWorker();
  const int selected = std::max(components_->currentIndex(), 0);
  if (const auto refusal = sequence_.Prepare(format1_)) {
    ShowMessage(*refusal);
    return;
  }
  FillComponentList(components_, format1_.SamplingFormat, std::clamp(selected, 0, 3));
  // Other files or components: other values.
  plot_->Reset(QStringLiteral("PSNR (dB)"), ReportColumnNames(format1_));
  framesAvailable_ = sequence_.LoadFirstPair();
  valueHistogram_->setEnabled(true);
  positionHistogram_->setEnabled(true);
  LayOutPicture();
  OptionsChanged();
  driver().UpdateControls();
}

void CYUVCompare::OptionsChanged() {
  diff_.EnableForMode();
  for (QRadioButton* b : backgrounds_) b->setEnabled(diff_.range->isChecked());
  CompareDisplay d;
  d.selector = std::clamp(components_->currentIndex(), 0, 3);
  for (int i = 0; i < 3; ++i)
    if (backgrounds_[static_cast<size_t>(i)]->isChecked()) d.background = i;
  diff_.Read(d);
  sequence_.SetDisplay(d);
  if (framesAvailable_) driver().RenderWhileIdle();
}

void CYUVCompare::ShowDisplay() {
  if (!framesAvailable_) return;
  GridPair grids;
  grids.one = GridSettings{grid_->isChecked() ? 1 : 0, 0, kBlockSize, kBlockSize, gridColour_->rgb()};
  grids.two.Enabled = 0;
  const CompareDisplay d = sequence_.Display();
  sequence_.Pictures().Read([&](const FrameImage& picture) {
    if (!picture.Data || picture.ImgWidth <= 0 || picture.ImgHeight <= 0) return;
    previewArea()->showFrame(picture.Data, static_cast<size_t>(picture.DataSize), picture.ImgWidth,
                             picture.ImgHeight,
                             DrawOptions{.brightness = FrameDifference::BrightnessOnDraw(format1_, d),
                                         .selector = kBoostY,
                                         .grids = &grids});
  });
  psnr_->setText(QString::fromStdString(sequence_.PsnrText()));
  if (const auto measures = sequence_.ShownMeasures(); measures && measures->frame > 0)
    plot_->Add(measures->frame, {measures->psnr.begin(), measures->psnr.end()});
}

void CYUVCompare::BuildPlotWindow() {
  // A window of its own beside the compare window, so the preview keeps its room.
  plotWindow_ = new QWidget(this, Qt::Tool);
  plotWindow_->setObjectName(QStringLiteral("plotWindow"));
  plotWindow_->setWindowTitle(QStringLiteral("PSNR per frame of the two files"));
  plot_ = new FramePlot(plotWindow_);
  auto* layout = new QVBoxLayout(plotWindow_);
  layout->addWidget(plot_);
  plotWindow_->resize(640, 280);
  connect(plotButton_, &QPushButton::clicked, this, [this] {
    plotWindow_->show();
    plotWindow_->raise();
  });
  connect(plot_, &FramePlot::frameChosen, this, [this](int frame) { controls().ShowFrame(frame); });
}

void CYUVCompare::FollowControls(const PlayerControls& c) {
  for (QWidget* w : {static_cast<QWidget*>(path1_), static_cast<QWidget*>(path2_),
                     static_cast<QWidget*>(browse1_), static_cast<QWidget*>(browse2_)})
    w->setEnabled(c.pathAndBrowse);
}

std::optional<PixelSamples> CYUVCompare::ShownSamplesAt(int x, int y) const {
  return sequence_.ShownSamplesAt(false, x, y);
}

QString CYUVCompare::DescribePixel(QPoint pixel) const {
  return DescribePair(sequence_, pixel, "file 1", "file 2");
}

std::optional<QSize> CYUVCompare::PictureSize() const {
  if (!framesAvailable_ && !loaded1_) return std::nullopt;
  return QSize(format1_.ImgWidth, format1_.ImgHeight);
}

void CYUVCompare::OpenBlock(int column, int row) {
  // The frames stand still, and the block view reads copies of the pair shown.
  if (!framesAvailable_ || !driver().Idle()) return;
  FramePairSequence::Pair pair = sequence_.Snapshot();
  if (!pair.first.Valid() || !pair.second.Valid()) return;
  OpenCompareBlock(this, pair.first.View(), pair.second.View(), column, row,
                   std::clamp(components_->currentIndex(), 0, 3));
  ShowDisplay();
}

void CYUVCompare::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange)
    setWindowTitle(isMaximized() ? QStringLiteral("Velutrix") : kTitle);
  PlayingWindow::changeEvent(event);
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
