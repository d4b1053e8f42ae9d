#include "ui/editor/ImageEditDialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "display/FormatLabel.h"
#include "display/GridOverlay.h"
#include "display/PreviewLayout.h"
#include "model/FileHistory.h"
#include "model/Settings.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "ui/controls/FileDrops.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/FormatDialog.h"
#include "ui/controls/RawFilePicker.h"
#include "ui/controls/ScreenFit.h"
#include "ui/editor/BlockEditDialog.h"

namespace vx {

CImageEdit::CImageEdit(QWidget* parent)
    : PlayingWindow(std::make_unique<SequencePlayback<EditorSequence>>(),
                    QStringLiteral("Edit Images Pixel by Pixel"), parent),
      sequence_(PlayedSequence<EditorSequence>()) {
  ProbeSamplesOf(sequence_);
  loadGroup_ = new QGroupBox(QStringLiteral("Load file:"), this);
  path_ = new QLineEdit(loadGroup_);
  browse_ = new QPushButton(QStringLiteral("Browse..."), loadGroup_);
  AcceptFileDropsAsBrowse(path_, browse_);
  format_ = new QLineEdit(loadGroup_);
  format_->setReadOnly(true);
  auto* load = new QGridLayout(loadGroup_);
  load->addWidget(path_, 0, 0, 1, 2);
  load->addWidget(browse_, 0, 2);
  load->addWidget(new QLabel(QStringLiteral("Format:"), loadGroup_), 1, 0);
  load->addWidget(format_, 1, 1, 1, 2);

  playGroup_ = new QGroupBox(QStringLiteral("Play controls:"), this);
  PlayIn(playGroup_, QStringLiteral("Frame number:"),
         {.canPlay = [this] { return !path_->text().isEmpty() && sequence_.HasBuffers(); }},
         PlayControls::FrameCaption::Wide);

  displayGroup_ = new QGroupBox(QStringLiteral("Display options:"), this);
  components_ = MakeComponentList(displayGroup_);
  grid_ = new QCheckBox(QStringLiteral("Add local grid"), displayGroup_);
  grid_->setChecked(true);
  gridColour_ = new ColourButton(displayGroup_);
  gridColour_->setText(QStringLiteral("Color"));
  gridColour_->setRgb(CurrentSettings().ImageEditGridColor);
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
  QPushButton* toggle = MakeDetailsToggle({loadGroup_, displayGroup_});
  TrackBlocks({.size = kBlockSize,
               .column = column_,
               .row = row_,
               .active = [this] { return sequence_.HasBuffers(); },
               .clicked = [this](QPoint block) { EditBlock(block.x(), block.y()); }});

  QHBoxLayout* top = Row({{loadGroup_, 2}, {playGroup_, 2}});
  QHBoxLayout* middle = Row({{displayGroup_, 2}, {statusGroup_, 1}});
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(exit_, 0, Qt::AlignLeft);  // not as wide as the toggle below it
  buttons->addWidget(toggle);
  buttons->addStretch();
  middle->addLayout(buttons);
  StackWithPreview({top, middle});

  NameWidgets({{browse_, "browse"}, {path_, "path"}, {format_, "format"}, {components_, "components"}});
  NameWidgets({{grid_, "grid"}, {column_, "column"}, {row_, "row"}, {exit_, "exit"}});
  connect(browse_, &QPushButton::clicked, this, &CImageEdit::Browse);
  connect(exit_, &QPushButton::clicked, this, &QDialog::close);
  ShowComponentPicked(components_, sequence_);
  connect(grid_, &QCheckBox::toggled, this, &CImageEdit::ShowDisplay);
  connect(gridColour_, &ColourButton::colourChosen, this, [this] {
    CurrentSettings().ImageEditGridColor = gridColour_->rgb();
    ShowDisplay();
  });
  LayOutPicture();
  driver().UpdateControls();
}

void CImageEdit::Browse() {
  const QString path = AskOpenFileName(this, QStringLiteral("Load file"), QString(), kRawFileFilters);
  if (!path.isEmpty()) ChooseFile(path);
}

void CImageEdit::ChooseFile(const QString& path, const ImageFormat* given) {
  driver().EndWorker();  // the file and the buffers are about to change
  ImageFormat format;
  if (given) {
    format = *given;
  } else {
    RawPickOptions options;
    const auto choice = AskRawFormat(this, path, options);
    if (!choice) return;
    format = choice->format;
  }
  path_->setText(path);
  setWindowTitle(path);
  // Frame 1 is shown (and is what an edit before Start changes) from now on.
  if (!OpenFile(sequence_, path, format, "Error EDIT1001: Image size (%d, %d) not support !\n", components_))
    return;
  format_->setText(QString::fromStdString(FormatLabel(sequence_.Format())));
  format_->setMinimumWidth(format_->fontMetrics().horizontalAdvance(format_->text()) + 16);
  ShowChoice();
}

void CImageEdit::FollowControls(const PlayerControls& c) {
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
    previewArea()->showFrame(picture.Data, static_cast<size_t>(picture.DataSize), picture.ImgWidth,
                             picture.ImgHeight, DrawOptions{.grids = &grids});
  });
}

std::optional<QSize> CImageEdit::PictureSize() const {
  if (!sequence_.HasBuffers()) return std::nullopt;
  return QSize(sequence_.Format().ImgWidth, sequence_.Format().ImgHeight);
}

bool CImageEdit::EditBlock(int column, int row) {
  // Edits are made while the frames stand still, on a copy of the frame shown.
  if (!sequence_.HasBuffers() || !FramesStandStill()) return false;
  ShownFrame shown = sequence_.Snapshot();
  if (!shown.Valid()) return false;
  // Deeper samples are edited at their full depth, not as shown.
  EditedFrame edited = FrameToEdit(shown);
  FrameImage frame = edited.View();
  BlockRows rows;
  const int count = edited.bytes.empty() ? 0 : ReadBlock(frame, column, row, rows);
  if (count == 0) return false;
  CBlockEdit editor(this);
  editor.OpenForEdit(frame, rows);
  if (editor.exec() != QDialog::Accepted) return false;
  if (!WriteBlock(frame, column, row, editor.rows(), count) ||
      !WriteEditedFrame(shown, edited, kEditWriteBack))
    return false;
  // The file now holds the edit: so does the frame shown, unless another frame came meanwhile.
  if (sequence_.ReplaceShown(shown.origin, shown.bytes, shown.storedBytes)) driver().RenderWhileIdle();
  return true;
}

}  // namespace vx
