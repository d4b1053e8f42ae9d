#include "ui/editor/ImageEditDialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QThread>
#include <QVBoxLayout>

#include "display/FormatLabel.h"
#include "display/GridOverlay.h"
#include "display/PreviewLayout.h"
#include "model/FileHistory.h"
#include "model/Settings.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/FormatDialog.h"
#include "ui/controls/RawFilePicker.h"
#include "ui/controls/ScreenFit.h"
#include "ui/editor/BlockEditDialog.h"

namespace vx {

CImageEdit::CImageEdit(QWidget* parent) : QDialog(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Edit Images Pixel by Pixel"));
  loadGroup_ = new QGroupBox(QStringLiteral("Load file:"), this);
  path_ = new QLineEdit(loadGroup_);
  browse_ = new QPushButton(QStringLiteral("Browse..."), loadGroup_);
  format_ = new QLineEdit(loadGroup_);
  format_->setReadOnly(true);
  auto* load = new QGridLayout(loadGroup_);
  load->addWidget(path_, 0, 0, 1, 2);
  load->addWidget(browse_, 0, 2);
  load->addWidget(new QLabel(QStringLiteral("Format:"), loadGroup_), 1, 0);
  load->addWidget(format_, 1, 1, 1, 2);

  playGroup_ = new QGroupBox(QStringLiteral("Play controls:"), this);
  PlaybackDriver::Hooks hooks;
  hooks.canPlay = [this] { return !path_->text().isEmpty() && sequence_.HasBuffers(); };
  hooks.frameShown = [this](int64_t frame) { emit frameShown(static_cast<int>(frame)); };
  hooks.redraw = [this] { ShowDisplay(); };
  hooks.controlsChanged = [this](const PlayerControls& c) { UpdateControls(c); };
  driver_ = new PlaybackDriver(this, playGroup_, sequence_, std::move(hooks));
  auto* play = new QGridLayout(playGroup_);
  PlayControls& c = driver_->controls();
  play->addWidget(c.start(), 0, 0);
  play->addWidget(c.stop(), 0, 1);
  play->addWidget(c.pause(), 0, 2);
  play->addWidget(c.reverse(), 0, 3);
  play->addWidget(c.stepBack(), 1, 0);
  play->addWidget(c.slider(), 1, 1, 1, 2);
  play->addWidget(c.stepForward(), 1, 3);
  play->addWidget(c.frameLabel(), 2, 0, 1, 2);
  play->addWidget(c.frameNumber(), 2, 2);

  displayGroup_ = new QGroupBox(QStringLiteral("Display options:"), this);
  components_ = new QComboBox(displayGroup_);
  for (const std::string& text : ComponentListTexts(YUV_420))
    components_->addItem(QString::fromStdString(text));
  components_->setCurrentIndex(3);
  grid_ = new QCheckBox(QStringLiteral("Add local grid"), displayGroup_);
  grid_->setChecked(true);
  gridColour_ = new ColourButton(displayGroup_);
  gridColour_->setText(QStringLiteral("Color"));
  const RgbColor& colour = CurrentSettings().ImageEditGridColor;
  gridColour_->setColour(QColor(colour.Red, colour.Green, colour.Blue));
  auto* display = new QGridLayout(displayGroup_);
  display->addWidget(new QLabel(QStringLiteral("Components:"), displayGroup_), 0, 0);
  display->addWidget(components_, 0, 1, 1, 2);
  display->addWidget(grid_, 1, 0, 1, 2);
  display->addWidget(gridColour_, 1, 2);

  statusGroup_ = new QGroupBox(QStringLiteral("Status:"), this);
  column_ = new QLabel(QStringLiteral("Block Column:"), statusGroup_);
  row_ = new QLabel(QStringLiteral("Block Row:"), statusGroup_);
  for (QLabel* label : {column_, row_})
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("Block Column:0000")));
  auto* status = new QVBoxLayout(statusGroup_);
  status->addWidget(column_);
  status->addWidget(row_);
  exit_ = new QPushButton(QStringLiteral("Exit"), this);
  toggle_ = new QPushButton(QStringLiteral("<--- Hide Detailed Controls"), this);

  previewPanel_ = new QWidget(this);
  preview_ = new PreviewArea(previewPanel_);
  preview_->setMouseTracking(true);
  preview_->installEventFilter(this);

  auto* top = new QHBoxLayout;
  top->addWidget(loadGroup_, 2);
  top->addWidget(playGroup_, 2);
  auto* middle = new QHBoxLayout;
  middle->addWidget(displayGroup_, 2);
  middle->addWidget(statusGroup_, 1);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(exit_);
  buttons->addWidget(toggle_);
  buttons->addStretch();
  middle->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(middle);
  layout->addWidget(previewPanel_, 0, Qt::AlignLeft);
  layout->addStretch();

  connect(browse_, &QPushButton::clicked, this, &CImageEdit::Browse);
  connect(exit_, &QPushButton::clicked, this, &QDialog::close);
  connect(toggle_, &QPushButton::clicked, this, &CImageEdit::ToggleDetailedControls);
  connect(components_, &QComboBox::activated, this, [this](int index) {
    sequence_.Component = index;
    driver_->RenderWhileIdle();
  });
  connect(grid_, &QCheckBox::toggled, this, &CImageEdit::ShowDisplay);
  connect(gridColour_, &ColourButton::colourChosen, this, [this](const QColor& chosen) {
    CurrentSettings().ImageEditGridColor = {chosen.red(), chosen.green(), chosen.blue()};
    ShowDisplay();
  });
  LayOutPicture();
  driver_->UpdateControls();
}

CImageEdit::~CImageEdit() {
  driver_->EndWorker();
}

void CImageEdit::closeEvent(QCloseEvent* event) {
  if (driver_->PutOffClose(event)) return;
  QDialog::closeEvent(event);
}

void CImageEdit::Browse() {
  const QString path = AskOpenFileName(this, QStringLiteral("Load file"), QString(), kRawFileFilters);
  if (!path.isEmpty()) ChooseFile(path);
}

void CImageEdit::ChooseFile(const QString& path, const ImageFormat* given) {
  driver_->EndWorker();  // the file and the buffers are about to change
  ImageFormat format;
  if (given) {
    format = *given;
  } else {
    RawPickOptions options;
    const auto choice = AskRawFormat(this, path, options);
    if (!choice) return;
    format = choice->format;
  }
  sequence_.Files = {path.toStdString()};
  path_->setText(path);
  setWindowTitle(path);
  AddToHistory(path.toStdString(), format, kOpened);
  if (!sequence_.SetFormat(format)) {
    ShowMessage(
        StrFormat("Error EDIT1001: Image size (%d, %d) not support !\n", format.ImgWidth, format.ImgHeight));
    return;
  }
  components_->clear();
  for (const std::string& text : ComponentListTexts(format.SamplingFormat))
    components_->addItem(QString::fromStdString(text));
  components_->setCurrentIndex(components_->count() - 1);
  sequence_.Component = 3;
  // Frame 1 is shown (and is what an edit before Start changes) from now on.
  sequence_.LoadFirstPicture();
  format_->setText(QString::fromStdString(FormatLabel(sequence_.Format())));
  format_->setMinimumWidth(format_->fontMetrics().horizontalAdvance(format_->text()) + 16);
  LayOutPicture();
  driver_->RenderWhileIdle();
  driver_->UpdateControls();
}

void CImageEdit::UpdateControls(const PlayerControls& c) {
  path_->setEnabled(c.pathAndBrowse);
  browse_->setEnabled(c.pathAndBrowse);
}

void CImageEdit::ShowDisplay() {
  GridPair grids;
  grids.one = GridSettings{grid_->isChecked() ? 1 : 0, 0, kBlockSize, kBlockSize,
                           CurrentSettings().ImageEditGridColor};
  grids.two.Enabled = 0;
  sequence_.Pictures().Read([&](const FrameImage& picture) {
    if (!picture.Data || picture.ImgWidth <= 0 || picture.ImgHeight <= 0) return;
    preview_->showFrame(picture.Data, static_cast<size_t>(picture.DataSize), picture.ImgWidth,
                        picture.ImgHeight, DrawOptions{.grids = &grids});
  });
}

void CImageEdit::LayOutPicture() {
  const int chrome = std::max(200, sizeHint().height() - previewPanel_->height());
  const QSize picture = sequence_.HasBuffers()
                            ? QSize(sequence_.Format().ImgWidth, sequence_.Format().ImgHeight)
                            : QSize(352, 288);
  const PreviewLayoutResult layout = LayoutPreviewOnScreen(
      this, QPoint(28, chrome), QSize(std::max(width(), sizeHint().width()), chrome), picture);
  preview_->setGeometryFor(QPoint(16, 16), QSize(layout.visibleWidth, layout.visibleHeight));
  previewPanel_->setFixedSize(layout.visibleWidth + 16, layout.visibleHeight + 16);
  toggle_->setVisible(layout.verticalBarShown || compact_);
  adjustSize();
  FitOnScreen(this);
}

void CImageEdit::ToggleDetailedControls() {
  compact_ = !compact_;
  toggle_->setText(compact_ ? QStringLiteral("<--- Display Detailed Controls")
                            : QStringLiteral("<--- Hide Detailed Controls"));
  loadGroup_->setVisible(!compact_);
  displayGroup_->setVisible(!compact_);
  LayOutPicture();
}

std::optional<QPoint> CImageEdit::BlockAt(const QPoint& at) const {
  if (!sequence_.HasBuffers()) return std::nullopt;
  return preview_->BlockAt(at, kBlockSize);
}

void CImageEdit::Hover(const QPoint& at) {
  hovered_ = BlockAt(at);
  if (!hovered_) return;
  column_->setText(QStringLiteral("Block Column:%1").arg(hovered_->x()));
  row_->setText(QStringLiteral("Block Row:%1").arg(hovered_->y()));
  preview_->setOutline(QRect(hovered_->x() * kBlockSize, hovered_->y() * kBlockSize, kBlockSize, kBlockSize));
}

bool CImageEdit::eventFilter(QObject* watched, QEvent* event) {
  if (watched == preview_) {
    if (event->type() == QEvent::MouseMove) {
      Hover(static_cast<QMouseEvent*>(event)->position().toPoint());
    } else if (event->type() == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      if (const auto block = BlockAt(static_cast<QMouseEvent*>(event)->position().toPoint()))
        EditBlock(block->x(), block->y());
    }
  }
  return QDialog::eventFilter(watched, event);
}

bool CImageEdit::EditBlock(int column, int row) {
  // Edits are made while the frames stand still, on a copy of the frame shown.
  if (!sequence_.HasBuffers() || !driver_->Idle()) return false;
  ShownFrame shown = sequence_.Snapshot();
  if (!shown.Valid()) return false;
  FrameImage frame = shown.View();
  BlockRows rows;
  const int count = ReadBlock(frame, column, row, rows);
  if (count == 0) return false;
  CBlockEdit editor(this);
  editor.OpenForEdit(frame, rows);
  if (editor.exec() != QDialog::Accepted) return false;
  std::vector<uint8_t> edited = shown.bytes;
  FrameImage editedFrame = frame;
  editedFrame.Data = edited.data();
  if (!WriteBlock(editedFrame, column, row, editor.rows(), count) ||
      !WriteShownFrame(shown, shown.bytes, edited, kEditWriteBack))
    return false;
  // The file now holds the edit: so does the frame shown, unless another frame came meanwhile.
  if (sequence_.ReplaceShown(shown.origin, edited)) driver_->RenderWhileIdle();
  return true;
}

}  // namespace vx
