#include "ui/editor/BlockEditDialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <utility>

#include "display/GridOverlay.h"
#include "model/Settings.h"
#include "platform/MessageSink.h"

namespace vx {

CBlockEdit::CBlockEdit(QWidget* parent) : QDialog(parent), rows_(EmptyBlockRows()) {
  setWindowTitle(QStringLiteral("Pixel Edit"));
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  auto* boxes = new QHBoxLayout;
  for (size_t i = 0; i < 3; ++i) {
    auto* column = new QVBoxLayout;
    labels_[i] = new QLabel(this);
    boxes_[i] = new QPlainTextEdit(this);
    labels_[i]->setObjectName(QStringLiteral("valueLabel%1").arg(i + 1));
    boxes_[i]->setObjectName(QStringLiteral("valueBox%1").arg(i + 1));
    boxes_[i]->setFont(fixed);
    boxes_[i]->setLineWrapMode(QPlainTextEdit::NoWrap);
    boxes_[i]->setMinimumHeight(boxes_[i]->fontMetrics().lineSpacing() * 10 + 12);
    column->addWidget(labels_[i]);
    column->addWidget(boxes_[i]);
    boxes->addLayout(column, 1);
    connect(boxes_[i], &QPlainTextEdit::textChanged, this, &CBlockEdit::Repaint);
  }
  auto* pictureFrame = new QWidget(this);
  const int side = kBlockSize * kBlockZoom;
  pictureFrame->setFixedSize(side, side);
  picture_ = new PreviewArea(pictureFrame);
  picture_->setObjectName(QStringLiteral("pixelPicture"));
  picture_->setGeometryFor(QPoint(0, 0), QSize(side, side));
  picture_->setMouseTracking(true);
  picture_->installEventFilter(this);

  column_ = new QLabel(QStringLiteral("Pixel column:"), this);
  row_ = new QLabel(QStringLiteral("Pixel row:"), this);
  yuvLine_ = new QLabel(this);
  rgbLine_ = new QLabel(this);
  differenceLine_ = new QLabel(this);
  selectorLine_ = new QLabel(this);
  // Named apart from the "column" and "row" of the window this dialog belongs to.
  for (const auto& [label, name] : {std::pair{column_, "pixelColumnLabel"},
                                    {row_, "pixelRowLabel"},
                                    {yuvLine_, "yuvLine"},
                                    {rgbLine_, "rgbLine"},
                                    {differenceLine_, "differenceLine"},
                                    {selectorLine_, "selectorLine"}})
    label->setObjectName(QLatin1String(name));
  for (QLabel* line : {differenceLine_, selectorLine_}) line->hide();  // comparison mode only
  for (QLabel* line : {yuvLine_, rgbLine_})
    line->setMinimumWidth(
        fontMetrics().horizontalAdvance(QStringLiteral("RGB value of this pixle is (000, 000, 000)  ")));
  grid_ = new QCheckBox(QStringLiteral("Add grid"), this);
  grid_->setObjectName(QStringLiteral("gridCheckBox"));
  gridColour_ = new ColourButton(this);
  gridColour_->setText(QStringLiteral("Grid Color"));
  const RgbColor& c = CurrentSettings().BlockEditGridColor;
  gridColour_->setColour(QColor(c.Red, c.Green, c.Blue));
  connect(grid_, &QCheckBox::toggled, this, &CBlockEdit::Repaint);
  connect(gridColour_, &ColourButton::colourChosen, this, [this](const QColor& colour) {
    CurrentSettings().BlockEditGridColor = {colour.red(), colour.green(), colour.blue()};
    Repaint();
  });
  which_ = new QGroupBox(QStringLiteral("Which image to display?"), this);
  which_->setObjectName(QStringLiteral("shownImageGroup"));
  auto* whichLayout = new QVBoxLayout(which_);
  const char* names[] = {"Image 1", "Image 2", "Diff image"};
  for (size_t i = 0; i < 3; ++i) {
    images_[i] = new QRadioButton(QString::fromLatin1(names[i]), which_);
    images_[i]->setObjectName(QStringLiteral("shownImageRadio%1").arg(i + 1));
    whichLayout->addWidget(images_[i]);
    connect(images_[i], &QRadioButton::toggled, this, [this](bool on) {
      if (on) Repaint();
    });
  }
  images_[0]->setChecked(true);
  which_->setEnabled(false);  // the comparison mode's choice

  auto* side_ = new QVBoxLayout;
  side_->addWidget(pictureFrame);
  side_->addWidget(new QLabel(QStringLiteral("Value for this pixel:"), this));
  side_->addWidget(column_);
  side_->addWidget(row_);
  side_->addWidget(yuvLine_);
  side_->addWidget(rgbLine_);
  side_->addWidget(differenceLine_);
  side_->addWidget(selectorLine_);
  auto* gridRow = new QHBoxLayout;
  gridRow->addWidget(grid_);
  gridRow->addWidget(gridColour_);
  side_->addLayout(gridRow);
  side_->addWidget(which_);
  side_->addStretch();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CBlockEdit::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* top = new QHBoxLayout;
  top->addLayout(boxes, 1);
  top->addLayout(side_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(buttons);
}

void CBlockEdit::OpenForEdit(const ImageFormat& frame, const BlockRows& rows) {
  opened_ = true;
  layout_ = frame;
  rows_ = rows;
  const BlockTexts texts = FormatBlockText(frame, rows);
  for (size_t i = 0; i < 3; ++i) {
    labels_[i]->setText(QString::fromStdString(texts.labels[i]));
    const QSignalBlocker quiet(boxes_[i]);
    boxes_[i]->setPlainText(QString::fromStdString(texts.boxes[i]));
    const bool used = !texts.boxes[i].empty() || i == 0;
    boxes_[i]->setVisible(used);
    labels_[i]->setVisible(used);
    // Wide enough for a whole line of numbers (a packed row is long).
    int widest = 0;
    for (const QString& line : QString::fromStdString(texts.boxes[i]).split(QLatin1Char('\n')))
      widest = std::max(widest, boxes_[i]->fontMetrics().horizontalAdvance(line));
    boxes_[i]->setMinimumWidth(std::min(widest + 40, 900));
  }
  adjustSize();
  Repaint();
}

void CBlockEdit::OpenForCompare(const ImageFormat& frame, const BlockRows& one, const BlockRows& two,
                                const BlockRows& difference, int selector) {
  comparing_ = true;
  opened_ = true;
  layout_ = frame;
  rows_ = one;
  two_ = two;
  difference_ = difference;
  selector_ = selector;
  const BlockTexts texts = FormatCompareText(frame, one, two, difference, selector);
  for (size_t i = 0; i < 3; ++i) {
    labels_[i]->setText(QString::fromStdString(texts.labels[i]));
    const QSignalBlocker quiet(boxes_[i]);
    boxes_[i]->setPlainText(QString::fromStdString(texts.boxes[i]));
    boxes_[i]->setReadOnly(true);
    boxes_[i]->setFocusPolicy(Qt::NoFocus);  // the numbers cannot be edited here
    boxes_[i]->setMinimumWidth(
        std::min(boxes_[i]->fontMetrics().horizontalAdvance(
                     QString::fromStdString(texts.boxes[i]).section(QLatin1Char('\n'), 0, 0)) +
                     40,
                 700));
    boxes_[i]->setVisible(!texts.boxes[i].empty());
    labels_[i]->setVisible(!texts.boxes[i].empty());
  }
  which_->setEnabled(true);
  yuvLine_->hide();
  differenceLine_->show();
  selectorLine_->show();
  MakeBlockPicture(*CurrentColourTables(), layout_, rows_, onePicture_);
  MakeBlockPicture(*CurrentColourTables(), layout_, two_, twoPicture_);
  adjustSize();
  Repaint();
}

BlockRows CBlockEdit::TypedRows() const {
  BlockRows typed = rows_;
  std::array<std::string, 3> texts;
  for (size_t i = 0; i < 3; ++i) texts[i] = boxes_[i]->toPlainText().toStdString();
  // A value out of range shows nothing new until OK says so.
  ParseBlockText(layout_, texts, typed);
  return typed;
}

void CBlockEdit::Repaint() {
  // Nothing to draw until a block is given (the radios and boxes fire while the
  // window is built, before the block's layout is known).
  if (!opened_) return;
  if (comparing_) {
    // The chosen image; the difference shows the compare tool's component.
    const bool difference = images_[2]->isChecked();
    const BlockRows& rows = difference ? difference_ : images_[1]->isChecked() ? two_ : rows_;
    BlockPictureOptions options;
    options.differenceSelector = difference ? selector_ : -1;
    if (!MakeBlockPicture(*CurrentColourTables(), layout_, rows, shown_, options)) return;
  } else if (!MakeBlockPicture(*CurrentColourTables(), layout_, TypedRows(), shown_)) {
    return;
  }
  GridPair grids;
  const RgbColor& colour = CurrentSettings().BlockEditGridColor;
  grids.one = GridSettings{grid_->isChecked() ? 1 : 0, 0, kBlockZoom, kBlockZoom, colour};
  grids.two.Enabled = 0;
  const int side = kBlockSize * kBlockZoom;
  picture_->showFrame(shown_.enlarged.data(), shown_.enlarged.size(), side, side,
                      DrawOptions{.yuvData = true, .grids = &grids});
}

void CBlockEdit::ShowPixel(int column, int row) {
  column_->setText(QStringLiteral("Pixel column:%1").arg(column));
  row_->setText(QStringLiteral("Pixel row:%1").arg(row));
  if (comparing_) {
    const auto lines = CompareReadouts(*CurrentColourTables(), layout_, rows_, onePicture_, two_, twoPicture_,
                                       selector_, column, row);
    // Image 1 and image 2 on the first pair of lines.
    rgbLine_->setText(QString::fromStdString(lines[0]) + QStringLiteral("\n") +
                      QString::fromStdString(lines[1]));
    differenceLine_->setText(QString::fromStdString(lines[2]));
    selectorLine_->setText(QString::fromStdString(lines[3]));
    return;
  }
  const auto lines = PixelReadouts(*CurrentColourTables(), layout_, TypedRows(), shown_, column, row);
  yuvLine_->setText(QString::fromStdString(lines[0]));
  rgbLine_->setText(QString::fromStdString(lines[1]));
}

bool CBlockEdit::eventFilter(QObject* watched, QEvent* event) {
  if (watched == picture_ && event->type() == QEvent::MouseMove) {
    const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
    const int limit = kBlockSize * kBlockZoom - 2;  // 0..126, as the picture's corner counts
    if (at.x() >= 0 && at.y() >= 0 && at.x() <= limit && at.y() <= limit)
      ShowPixel(at.x() / kBlockZoom, at.y() / kBlockZoom);
  }
  return QDialog::eventFilter(watched, event);
}

void CBlockEdit::accept() {
  if (comparing_) {
    QDialog::accept();
    return;
  }
  std::array<std::string, 3> texts;
  for (size_t i = 0; i < 3; ++i) texts[i] = boxes_[i]->toPlainText().toStdString();
  BlockRows edited = rows_;
  if (const auto refusal = ParseBlockText(layout_, texts, edited)) {
    ShowMessage(*refusal);  // nothing is taken: the user corrects the value or cancels
    return;
  }
  rows_ = std::move(edited);
  QDialog::accept();
}

}  // namespace vx
