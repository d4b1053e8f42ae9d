#include "ui/controls/PlayingWindow.h"

#include <QCursor>
#include <QFileInfo>
#include <QGridLayout>
#include <QMouseEvent>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>

#include "model/FileHistory.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "player/PlayerEngine.h"
#include "ui/controls/DefaultButtons.h"
#include "ui/controls/RawFilePicker.h"
#include "ui/controls/ScreenFit.h"

namespace vx {

PlayingWindow::PlayingWindow(std::unique_ptr<Playback> playback, const QString& title, QWidget* parent)
    : QDialog(parent), driver_(std::move(playback)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(title);
  previewPanel_ = new QWidget(this);
  preview_ = new PreviewArea(previewPanel_);
  preview_->setObjectName(QStringLiteral("preview"));
}

void PlayingWindow::AttachControls(QWidget* parent, PlaybackDriver::Hooks hooks) {
  if (!hooks.frameShown)
    hooks.frameShown = [this](int64_t frame) { emit frameShown(static_cast<int>(frame)); };
  hooks.redraw = [this] { ShowDisplay(); };
  hooks.controlsChanged = [this](const PlayerControls& c) { FollowControls(c); };
  driver_.Attach(this, parent, std::move(hooks));
  controls().AddKeys(this);
  AddZoomKeys();
}

void PlayingWindow::AddZoomKeys() {
  const auto add = [this](std::initializer_list<QKeySequence> keys, const std::function<void()>& action) {
    for (const QKeySequence& k : keys) {
      auto* shortcut = new QShortcut(k, this);
      shortcut->setContext(Qt::WindowShortcut);
      connect(shortcut, &QShortcut::activated, this, action);
    }
  };
  add({QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)},
      [this] { preview_->zoomIn(PointerOverPreview()); });
  add({QKeySequence(Qt::Key_Minus), QKeySequence(Qt::CTRL | Qt::Key_Minus)},
      [this] { preview_->zoomOut(PointerOverPreview()); });
  add({QKeySequence(Qt::Key_0)}, [this] { preview_->fitToArea(); });
  add({QKeySequence(Qt::Key_1)}, [this] { preview_->showActualSize(); });
  preview_->setToolTip(QStringLiteral(
      "Zoom: Ctrl+wheel or + and -; 0 fits the picture, 1 shows it 1:1; drag with the middle button"));
}

std::optional<QPoint> PlayingWindow::PointerOverPreview() const {
  const QPoint at = preview_->mapFromGlobal(QCursor::pos());
  if (!preview_->rect().contains(at)) return std::nullopt;
  return at;
}

void PlayingWindow::PlayIn(QWidget* box, const QString& caption, PlaybackDriver::Hooks hooks,
                           PlayControls::FrameCaption width) {
  AttachControls(box, std::move(hooks));
  controls().frameLabel()->setText(caption);
  controls().LayOutIn(box, width);
}

PlayingWindow::PathBoxes PlayingWindow::MakePathBoxes(QGroupBox* group) {
  PathBoxes boxes{.path = new QLineEdit(group),
                  .browse = new QPushButton(QStringLiteral("Browse..."), group),
                  .format = new QLineEdit(group)};
  boxes.format->setReadOnly(true);
  auto* layout = new QGridLayout(group);
  layout->addWidget(boxes.path, 0, 0);
  layout->addWidget(boxes.browse, 0, 1);
  layout->addWidget(boxes.format, 1, 0, 1, 2);
  return boxes;
}

void PlayingWindow::PickRawFileFor(const std::function<void(const QString&, const ImageFormat&)>& chosen) {
  RawPickOptions options;
  options.caption = QStringLiteral("Open");
  if (const auto choice = PickRawFile(this, options)) chosen(choice->path, choice->format);
}

QHBoxLayout* PlayingWindow::Row(std::initializer_list<std::pair<QWidget*, int>> widgets) {
  auto* row = new QHBoxLayout;
  for (const auto& [widget, stretch] : widgets) row->addWidget(widget, stretch);
  return row;
}

QHBoxLayout* PlayingWindow::ButtonRow(QWidget* left, QWidget* right) {
  auto* row = new QHBoxLayout;
  row->setObjectName(QStringLiteral("buttonRow"));  // spans the window: one button at each end
  row->addWidget(left);
  row->addStretch();
  row->addWidget(right);
  return row;
}

void PlayingWindow::ShowComponentPicked(QComboBox* list, FileListSequence& files) {
  connect(list, &QComboBox::activated, this, [this, &files](int index) {
    files.Component = index;
    driver_.RenderWhileIdle();
  });
}

void PlayingWindow::BeginChoice(const QString& path, QLineEdit* pathBox) {
  driver_.EndWorker();
  setWindowTitle(QFileInfo(path).fileName());
  pathBox->setText(path);
}

void PlayingWindow::StackWithPreview(std::initializer_list<QLayout*> rows) {
  auto* layout = new QVBoxLayout(this);
  for (QLayout* row : rows) {
    if (row->objectName() == QStringLiteral("buttonRow")) {
      layout->addLayout(row);
      continue;
    }
    // A window widened by a large picture leaves each row of controls at its own
    // width instead of stretching its buttons (an alignment would not hold a row
    // that holds an expanding box).
    auto* kept = new QHBoxLayout;
    kept->addLayout(row);
    kept->addStretch(1);
    layout->addLayout(kept);
  }
  layout->addWidget(previewPanel_, 0, Qt::AlignLeft);
  layout->addStretch();
}

QComboBox* PlayingWindow::MakeComponentList(QWidget* parent) const {
  auto* list = new QComboBox(parent);
  FillComponentList(list, YUV_420);
  return list;
}

bool PlayingWindow::OpenFile(FileListSequence& files, const QString& path, const ImageFormat& format,
                             const char* sizeRefusal, QComboBox* components) {
  files.Files = {path.toStdString()};
  AddToHistory(path.toStdString(), format, kOpened);
  if (!files.SetFormat(format)) {
    ShowMessage(StrFormat(sizeRefusal, format.ImgWidth, format.ImgHeight));
    return false;
  }
  FillComponentList(components, format.SamplingFormat);
  files.Component = 3;
  files.LoadFirstPicture();
  return true;
}

void PlayingWindow::ShowChoice() {
  LayOutPicture();
  driver_.RenderWhileIdle();
  driver_.UpdateControls();
}

void PlayingWindow::LayOutPicture() {
  const int chrome = std::max(minChrome_, sizeHint().height() - previewPanel_->height());
  const QSize picture = PictureSize().value_or(QSize(352, 288));
  const PreviewLayoutResult layout = LayoutPreviewOnScreen(
      this, QPoint(28, chrome), QSize(std::max(width(), sizeHint().width()), chrome), picture);
  preview_->setGeometryFor(QPoint(16, 16), QSize(layout.visibleWidth, layout.visibleHeight));
  previewPanel_->setFixedSize(layout.visibleWidth + 16, layout.visibleHeight + 16);
  ShowDetailsToggle(layout.verticalBarShown);
  adjustSize();
  FitOnScreen(this);
}

void PlayingWindow::PlacePreview(QPoint origin, QSize visible) {
  constexpr int kBars = 16;  // the bars lie left of and above the visible area
  previewPanel_->setGeometry(QRect(origin - QPoint(kBars, kBars), visible + QSize(kBars, kBars)));
  preview_->setGeometryFor(QPoint(kBars, kBars), visible);
}

void PlayingWindow::ShowDetailsToggle(bool verticalBarShown) {
  if (toggle_) toggle_->setVisible(verticalBarShown || compact_);
}

QPushButton* PlayingWindow::MakeDetailsToggle(std::vector<QWidget*> details) {
  details_ = std::move(details);
  toggle_ = new QPushButton(QStringLiteral("<--- Hide Detailed Controls"), this);
  toggle_->setObjectName(QStringLiteral("detailsToggle"));
  toggle_->hide();
  connect(toggle_, &QPushButton::clicked, this, &PlayingWindow::ToggleDetails);
  return toggle_;
}

void PlayingWindow::ToggleDetails() {
  compact_ = !compact_;
  toggle_->setText(compact_ ? QStringLiteral("<--- Display Detailed Controls")
                            : QStringLiteral("<--- Hide Detailed Controls"));
  for (QWidget* w : details_) w->setVisible(!compact_);
  DetailsToggled();
}

void PlayingWindow::WatchPreviewMouse() {
  preview_->setMouseTracking(true);
  preview_->installEventFilter(this);
}

void PlayingWindow::TrackBlocks(BlockHover hover) {
  hover_ = std::move(hover);
  WatchPreviewMouse();
}

bool PlayingWindow::eventFilter(QObject* watched, QEvent* event) {
  const bool mouse = event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonRelease;
  if (hover_ && watched == preview_ && mouse && hover_->active()) {
    auto* m = static_cast<QMouseEvent*>(event);
    if (const auto block = preview_->BlockAt(m->position().toPoint(), hover_->size)) {
      const int size = hover_->size;
      if (event->type() == QEvent::MouseMove) {
        hover_->column->setText(QStringLiteral("Block Column:%1").arg(block->x()));
        hover_->row->setText(QStringLiteral("Block Row:%1").arg(block->y()));
        preview_->setOutline(QRect(block->x() * size, block->y() * size, size, size));
      } else if (m->button() == Qt::LeftButton) {
        hover_->clicked(*block);
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

void PlayingWindow::closeEvent(QCloseEvent* event) {
  if (driver_.PutOffClose(event)) return;
  Closing();
  QDialog::closeEvent(event);
}

void PlayingWindow::showEvent(QShowEvent* event) {
  KeepOnlyChosenDefaultButtons(*this);
  QDialog::showEvent(event);
}

void NameWidgets(std::initializer_list<std::pair<QObject*, const char*>> names) {
  for (const auto& [object, name] : names) object->setObjectName(QLatin1String(name));
}

void FillComponentList(QComboBox* list, int32_t sampling, int index) {
  list->clear();
  const auto texts = ComponentListTexts(sampling);
  for (const std::string& text : texts) list->addItem(QString::fromStdString(text));
  list->setCurrentIndex(index < 0 ? list->count() - 1 : index);
}

}  // namespace vx
