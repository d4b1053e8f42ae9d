#include "ui/analysis/MotionDialog.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QMessageBox>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "analysis/Psnr.h"
#include "display/FormatLabel.h"
#include "display/GridOverlay.h"
#include "editor/BlockEdit.h"
#include "image/FrameFile.h"
#include "model/FileHistory.h"
#include "model/Settings.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "ui/analysis/CompareDialog.h"
#include "ui/controls/RawFilePicker.h"
#include "ui/controls/ScreenFit.h"
#include "ui/editor/BlockEditDialog.h"

namespace vx {
namespace {

// The motion check's refusals of a frame saved back into its file.
constexpr WriteBackMessages kMotionWriteBack = {
    "Error MOTN1021: File %s cannot be written !\n",
    "Error MOTN1022: File %s is no longer the file shown (it was replaced, or its length changed); frame "
    "%lld "
    "was not saved !\n",
    "Error MOTN1023: Frame %lld of file %s was changed by another program after it was shown; nothing was "
    "saved. Show the frame again and repeat the moves.\n",
};

const char* const kSelectOnlyCurrent =
    "You can only be able to select an area when the current frame is displayed. \nSelect \"Image of current "
    "frame:\" from \"Which image to display:\" greoup box.";
const char* const kNothingSelected =
    "No blocks are selected to move!\nPress and hold 'Ctrl' key and left button of your mouse, then drag to "
    "select "
    "an rectangle.\nSelected blocks will be displayed as transperent area";

}  // namespace

CYUVCheckMotion::CYUVCheckMotion(QWidget* parent)
    : PlayingWindow(std::make_unique<SequencePlayback<MotionSequence>>(),
                    QStringLiteral("Check motions between two consecutive frames:"), parent),
      sequence_(PlayedSequence<MotionSequence>()),
      diff_(this, QStringLiteral("Grey scale, brightness adjusted to:"), QStringLiteral("Uniform color"),
            [this] { OptionsChanged(); }) {
  minChrome_ = 250;
  BuildControls();
  LayOutPicture();
  driver().UpdateControls();
}

void CYUVCheckMotion::BuildControls() {
  const ProgramSettings& s = CurrentSettings();
  auto* load = new QGroupBox(QStringLiteral("Load image file:"), this);
  const PathBoxes boxes = MakePathBoxes(load);
  path_ = boxes.path;
  browse_ = boxes.browse;
  formatBox_ = boxes.format;

  auto* play = new QGroupBox(QStringLiteral("Play control:"), this);
  PlayIn(play, QStringLiteral("Current frame:"),
         {
             .canPlay = [this] { return loaded_; },
             .beforeStart =
                 [this] {
                   SaveDifferenceSettings(sequence_.Display(), *grid_, *gridColour_);
                   // Play and ">" go on from the pair shown: the current frame becomes the previous
                   // one.
                   loop().StartNextItemAt(current_);
                   return true;
                 },
             // The slider moves through the pairs; the box names the current frame.
             .frameShown =
                 [this](int64_t pair) {
                   ShowFrameNumber(pair);
                   emit frameShown(current_);
                 },
         });

  auto* options = new QGroupBox(QStringLiteral("Difference:"), this);
  components_ = MakeComponentList(options);
  auto* optionLayout = new QGridLayout(options);
  optionLayout->addWidget(new QLabel(QStringLiteral("Component used to\ncalculate the difference:"), options),
                          0, 0);
  optionLayout->addWidget(components_, 0, 1, 1, 3);
  optionLayout->addWidget(diff_.grey, 1, 0);
  optionLayout->addWidget(diff_.brightness, 1, 1, 1, 2);
  optionLayout->addWidget(diff_.brightnessBox, 1, 3);
  optionLayout->addWidget(diff_.range, 2, 0);
  optionLayout->addWidget(diff_.low, 2, 1);
  optionLayout->addWidget(diff_.high, 2, 2);
  optionLayout->addWidget(diff_.colour, 2, 3);

  imageGroup_ = new QGroupBox(this);
  auto* imageLayout = new QVBoxLayout(imageGroup_);
  for (size_t i = 0; i < 3; ++i) {
    images_[i] = new QRadioButton(imageGroup_);
    imageLayout->addWidget(images_[i]);
  }
  images_[static_cast<size_t>(std::clamp(s.DiffOverImage, 0, 2))]->setChecked(true);

  auto* grids = new QGroupBox(QStringLiteral("Grids for block selection:"), this);
  const DifferenceGrid gridControls =
      MakeDifferenceGrid(grids, QStringLiteral("Enable grid:"), QStringLiteral("Grid Color"));
  grid_ = gridControls.grid;
  gridColour_ = gridControls.colour;
  block_ = new QLabel(QStringLiteral("Current block:"), grids);
  auto* gridLayout = new QVBoxLayout(grids);
  gridLayout->addWidget(grid_);
  gridLayout->addWidget(gridColour_);
  gridLayout->addWidget(block_);

  auto* select = new QGroupBox(QStringLiteral("Select an area in current frame:"), this);
  const char* selectNames[] = {"Select All", "Select None", "Reverse "};
  auto* selectLayout = new QGridLayout(select);
  selectLayout->addWidget(
      new QLabel(QStringLiteral("Drag mouse to select (Hold Ctrl and mouse left button)"), select), 0, 0, 1,
      3);
  for (size_t i = 0; i < 3; ++i) {
    selectButtons_[i] = new QPushButton(QString::fromLatin1(selectNames[i]), select);
    selectLayout->addWidget(selectButtons_[i], 1, static_cast<int>(i));
  }
  auto* move = new QGroupBox(QStringLiteral("Move selected area (shown as transparent blocks):"), this);
  const char* arrows[] = {"\u25B2", "\u25B6", "\u25C0", "\u25BC"};
  for (size_t i = 0; i < 4; ++i) moves_[i] = new QPushButton(QString::fromUtf8(arrows[i]), move);
  step_ = new QLineEdit(QStringLiteral("4"), move);
  step_->setValidator(new QIntValidator(1, 4096, step_));
  step_->setMaximumWidth(50);
  vector_ = new QLineEdit(QStringLiteral("(0, 0)"), move);
  vector_->setReadOnly(true);
  auto* moveLayout = new QGridLayout(move);
  moveLayout->addWidget(moves_[0], 0, 1);
  moveLayout->addWidget(moves_[2], 1, 0);
  moveLayout->addWidget(moves_[1], 1, 2);
  moveLayout->addWidget(moves_[3], 2, 1);
  moveLayout->addWidget(new QLabel(QStringLiteral("Moving step:"), move), 0, 3);
  moveLayout->addWidget(step_, 0, 4);
  moveLayout->addWidget(new QLabel(QStringLiteral("Pixels"), move), 0, 5);
  moveLayout->addWidget(new QLabel(QStringLiteral("Motion vector:"), move), 2, 3);
  moveLayout->addWidget(vector_, 2, 4, 1, 2);
  save_ = new QPushButton(QStringLiteral("Save current frame back to image file"), this);
  exit_ = new QPushButton(QStringLiteral("Exit"), this);

  WatchPreviewMouse();

  StackWithPreview({Row({{load, 1}, {play, 1}, {options, 1}}),
                    Row({{imageGroup_, 0}, {grids, 0}, {select, 0}, {move, 0}}), ButtonRow(save_, exit_)});

  NameWidgets({{browse_, "browse"}, {imageGroup_, "images"}, {step_, "step"}, {vector_, "vector"}});
  NameWidgets({{block_, "block"}, {save_, "save"}, {exit_, "exit"}});
  NameNumbered(images_, "image");
  NameNumbered(selectButtons_, "select");
  NameNumbered(moves_, "move");
  connect(browse_, &QPushButton::clicked, this, &CYUVCheckMotion::Browse);
  connect(save_, &QPushButton::clicked, this, &CYUVCheckMotion::Save);
  connect(exit_, &QPushButton::clicked, this, &QDialog::close);
  connect(components_, &QComboBox::activated, this, &CYUVCheckMotion::OptionsChanged);
  for (QRadioButton* b : images_)
    connect(b, &QRadioButton::toggled, this, [this](bool on) {
      if (on) OptionsChanged();
    });
  for (QLineEdit* box : {diff_.low, diff_.high})
    connect(box, &QLineEdit::textChanged, this, &CYUVCheckMotion::OptionsChanged);
  connect(grid_, &QCheckBox::toggled, this, &CYUVCheckMotion::ShowDisplay);
  connect(gridColour_, &ColourButton::colourChosen, this, &CYUVCheckMotion::ShowDisplay);
  connect(selectButtons_[0], &QPushButton::clicked, this, [this] {
    selection_.SelectAll();
    OptionsChanged();
  });
  connect(selectButtons_[1], &QPushButton::clicked, this, [this] {
    selection_.SelectNone();
    OptionsChanged();
  });
  connect(selectButtons_[2], &QPushButton::clicked, this, [this] {
    selection_.Reverse();
    OptionsChanged();
  });
  for (int i = 0; i < 4; ++i)
    connect(moves_[static_cast<size_t>(i)], &QPushButton::clicked, this, [this, i] { MoveSelection(i); });
  Renumber();
}

void CYUVCheckMotion::Renumber() {
  // The captions follow the display mode and the frame numbers.
  const bool grey = diff_.grey->isChecked();
  imageGroup_->setTitle(grey ? QStringLiteral("Which image to display:")
                             : QStringLiteral("Settings to display the background:"));
  images_[0]->setText(grey ? QStringLiteral("Difference image in grey scale")
                           : QStringLiteral("Difference only, no background"));
  images_[1]->setText((grey ? QStringLiteral("Image of previous frame: #%1")
                            : QStringLiteral("Difference on previous frame: #%1"))
                          .arg(current_ - 1));
  images_[2]->setText((grey ? QStringLiteral("Image of current frame:  #%1")
                            : QStringLiteral("Difference on current frame:  #%1"))
                          .arg(current_));
}

void CYUVCheckMotion::Browse() {
  PickRawFileFor([this](const QString& path, const ImageFormat& format) { ChooseFile(path, format); });
}

void CYUVCheckMotion::ChooseFile(const QString& path, const ImageFormat& format) {
  BeginChoice(path, path_);
  loaded_ = false;
  AddToHistory(path.toStdString(), format, kOpened);
  auto file = RawFile::OpenRead(path.toStdString());
  if (!file) {
    ShowMessage(StrFormat("Error MOTN1001: Input file %s not found\n", path.toStdString().c_str()));
    return;
  }
  if (const auto refusal = LessThanOneFrame(path.toStdString(), file->Length(), format)) {
    ShowMessage(*refusal);
    return;
  }
  // A Y4M file's frames are counted by their FRAME lines.
  const int64_t frames =
      CountFramesIn(*file, ProbeFrameFile(*file, path.toStdString()).framing, FrameSizeOf(format));
  if (frames < 2) {
    ShowMessage(StrFormat("Error MOTN1002: There is only %d frames, no need to check motion\n",
                          static_cast<int>(frames)));
    return;
  }
  sequence_.Path = path.toStdString();
  if (const auto refusal = sequence_.Prepare(format)) {
    ShowMessage(*refusal);
    return;
  }
  if (const auto refusal = sequence_.ShowFirstPair()) {
    ShowMessage(*refusal);
    return;
  }
  format_ = format;
  loaded_ = true;
  selection_.Reset(format.ImgWidth, format.ImgHeight);
  dx_ = dy_ = 0;
  vector_->setText(QStringLiteral("(0, 0)"));
  formatBox_->setText(QString::fromStdString(FormatLabel(format)));
  FillComponentList(components_, format.SamplingFormat, std::clamp(components_->currentIndex(), 0, 3));
  controls().SetFrameCount(frames - 1);
  ShowFrameNumber(1);
  LayOutPicture();
  OptionsChanged();
  driver().UpdateControls();
}

void CYUVCheckMotion::ShowFrameNumber(int64_t pair) {
  controls().FrameShown(pair);
  current_ = static_cast<int>(pair + 1);
  controls().frameNumber()->setText(QString::number(current_));
  dx_ = dy_ = 0;  // a new pair drops the moves
  vector_->setText(QStringLiteral("(0, 0)"));
  Renumber();
}

void CYUVCheckMotion::OptionsChanged() {
  Renumber();
  diff_.EnableForMode();
  CompareDisplay d;
  d.selector = std::clamp(components_->currentIndex(), 0, 3);
  diff_.Read(d);
  int choice = 0;
  for (int i = 0; i < 3; ++i)
    if (images_[static_cast<size_t>(i)]->isChecked()) choice = i;
  d.background = choice;
  d.imageChoice = choice;
  if (choice == 2) d.mask = selection_.mask();
  sequence_.SetDisplay(d);
  if (loaded_) driver().RenderWhileIdle();
}

bool CYUVCheckMotion::Editable() const {
  // Moves and the block view change or read the frames a playing worker replaces.
  return loaded_ && FramesStandStill();
}

void CYUVCheckMotion::MoveSelection(int direction) {
  if (!Editable()) return;
  if (images_[1]->isChecked()) {
    static const char* const kRefusals[] = {
        "Error MOTN1017: You need select which image to move, and cannot move the difference\n",
        "Error MOTN1018: You need select which image to move, and cannot move the difference\n",
        "Error MOTN1019: You need select which image to move, and cannot move the difference\n",
        "Error MOTN1020: You need select which image to move, and cannot move the difference\n"};
    ShowMessage(kRefusals[direction]);
    return;
  }
  if (!selection_.Any()) {
    ShowMessage(kNothingSelected);
    ShowDisplay();
    return;
  }
  const int step = std::max(step_->text().toInt(), 1);
  switch (direction) {
    case 0:
      dy_ -= step;
      break;
    case 1:
      dx_ += step;
      break;
    case 2:
      dx_ -= step;
      break;
    default:
      dy_ += step;
      break;
  }
  vector_->setText(QStringLiteral("(%1, %2)").arg(dx_).arg(dy_));
  sequence_.Move(selection_, dx_, dy_);
  if (loaded_) driver().RenderWhileIdle();
}

void CYUVCheckMotion::Save() {
  if (!Editable()) return;
  QMessageBox question(
      QMessageBox::Question, QStringLiteral("Velutrix"),
      QStringLiteral("By clicking on OK, you are going to save the changes you have just made back to "
                     "the file.\nThe orginal image of the current frame in the file will be overwritten!"),
      QMessageBox::Ok | QMessageBox::Cancel, this);
  if (question.exec() != QMessageBox::Ok) return;
  // The current frame of the pair shown, as the loop published it: its file, number and bytes.
  const MotionSequence::Frames frames = sequence_.Snapshot();
  if (WriteShownFrame(frames.current, frames.onDisk, frames.edited, kMotionWriteBack))
    sequence_.Saved(frames.current.origin, frames.edited);
}

void CYUVCheckMotion::ShowDisplay() {
  if (!loaded_) return;
  GridPair grids;
  grids.one = GridSettings{grid_->isChecked() ? 1 : 0, 0, 8, 8, gridColour_->rgb()};
  grids.two.Enabled = 0;
  const CompareDisplay d = sequence_.Display();
  const int brightness = d.imageChoice == 0 ? FrameDifference::BrightnessOnDraw(format_, d) : 0;
  sequence_.Pictures().Read([&](const FrameImage& picture) {
    if (!picture.Data || picture.ImgWidth <= 0 || picture.ImgHeight <= 0) return;
    previewArea()->showFrame(picture.Data, static_cast<size_t>(picture.DataSize), picture.ImgWidth,
                             picture.ImgHeight,
                             DrawOptions{.brightness = brightness, .selector = kBoostY, .grids = &grids});
  });
  // While dragging, the selection rectangle is outlined; otherwise the block under the pointer.
  if (dragStart_ && dragEnd_) {
    const QPoint a = *dragStart_, b = *dragEnd_;
    previewArea()->setOutline(QRect(QPoint(std::min(a.x(), b.x()) * 8, std::min(a.y(), b.y()) * 8),
                                    QPoint(std::max(a.x(), b.x()) * 8 + 7, std::max(a.y(), b.y()) * 8 + 7)));
  }
}

void CYUVCheckMotion::FollowControls(const PlayerControls& c) {
  path_->setEnabled(c.pathAndBrowse);
  browse_->setEnabled(c.pathAndBrowse);
  const bool editable = Editable();
  for (QPushButton* b : moves_) b->setEnabled(editable);
  save_->setEnabled(editable);
}

std::optional<PixelSamples> CYUVCheckMotion::ShownSamplesAt(int x, int y) const {
  return sequence_.ShownSamplesAt(false, x, y);
}

QString CYUVCheckMotion::DescribePixel(QPoint pixel) const {
  return DescribePair(sequence_, pixel, "frame n", "frame n+1");
}

std::optional<QSize> CYUVCheckMotion::PictureSize() const {
  if (!loaded_) return std::nullopt;
  return QSize(format_.ImgWidth, format_.ImgHeight);
}

bool CYUVCheckMotion::eventFilter(QObject* watched, QEvent* event) {
  if (watched != previewArea() || !loaded_) return PlayingWindow::eventFilter(watched, event);
  const auto type = event->type();
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
    return PlayingWindow::eventFilter(watched, event);
  auto* mouse = static_cast<QMouseEvent*>(event);
  const auto block = previewArea()->BlockAt(mouse->position().toPoint(), 8);
  if (!block) return PlayingWindow::eventFilter(watched, event);
  if (type == QEvent::MouseMove) {
    block_->setText(QStringLiteral("Current block: (%1,%2)").arg(block->y()).arg(block->x()));
    if (dragStart_) {
      dragEnd_ = block;
      ShowDisplay();
    } else {
      previewArea()->setOutline(QRect(block->x() * 8, block->y() * 8, 8, 8));
    }
  } else if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton &&
             (mouse->modifiers() & Qt::ControlModifier)) {
    if (!images_[2]->isChecked()) {
      ShowMessage(kSelectOnlyCurrent);
      return true;
    }
    dragStart_ = dragEnd_ = block;
  } else if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) {
    if (dragStart_) {
      const QPoint a = *dragStart_;
      dragStart_.reset();
      dragEnd_.reset();
      if (!images_[2]->isChecked()) {
        ShowMessage(kSelectOnlyCurrent);
        return true;
      }
      selection_.InvertRectangle(a.x(), a.y(), block->x(), block->y());
      OptionsChanged();
    } else if (!(mouse->modifiers() & Qt::ControlModifier)) {
      // A refused Ctrl + click ends here; a plain click opens the block view.
      OpenBlock(block->x(), block->y());
    }
  }
  return PlayingWindow::eventFilter(watched, event);
}

void CYUVCheckMotion::OpenBlock(int column, int row) {
  if (!Editable()) return;
  MotionSequence::Frames frames = sequence_.Snapshot();
  if (!frames.current.Valid() || !frames.previous.Valid()) return;
  FrameImage previous = frames.previous.View();
  FrameImage current = frames.current.View();
  current.Data = frames.edited.data();
  OpenCompareBlock(this, previous, current, column, row, std::clamp(components_->currentIndex(), 0, 3));
}

}  // namespace vx
