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
#include "ui/controls/FileDrops.h"
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
  pixelStatus_ = new QLabel(previewPanel_);
  pixelStatus_->setObjectName(QStringLiteral("pixelValues"));
  pixelStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  preview_->setMouseTracking(true);
  preview_->installEventFilter(this);
  preview_->setPixelText([this](int x, int y) {
    QStringList lines;
    if (const auto samples = ShownSamplesAt(x, y)) {
      for (int c = 0; c < samples->count; ++c)
        lines << QString::number(samples->values[static_cast<size_t>(c)]);
    }
    return lines;
  });
  connect(preview_, &PreviewArea::viewChanged, this, &PlayingWindow::RefreshPixelStatus);
  connect(this, &PlayingWindow::frameShown, this, &PlayingWindow::RefreshPixelStatus);
  connect(preview_, &PreviewArea::zoomChanged, this, [this] { LayOutPicture(); });
}

QSize PlayingWindow::PictureSizeAsShown() const {
  const QSize picture = PictureSize().value_or(QSize(352, 288));
  const int64_t factor = std::max(preview_->zoom().factor(), 1);
  const auto grown = [factor](int side) {
    return static_cast<int>(std::min<int64_t>(side * factor, 1 << 16));
  };
  return {grown(picture.width()), grown(picture.height())};
}

std::optional<PixelSamples> PlayingWindow::ShownSamplesAt(int x, int y) const {
  if (!probed_) return std::nullopt;
  return probed_->ShownSamplesAt(x, y);
}

QString PlayingWindow::DescribePixel(QPoint pixel) const {
  const auto samples = ShownSamplesAt(pixel.x(), pixel.y());
  if (!samples) return {};
  const int32_t sampling = probed_ ? probed_->StoredFormat().SamplingFormat : YUV_444;
  QString text = QString::fromStdString(
      DescribeSamples(*samples, pixel.x(), pixel.y(), sampling == YUV_422 || sampling == YUV_420));
  if (const auto shown = preview_->DisplayedColour(pixel))
    text += QStringLiteral("   shown RGB %1 %2 %3").arg(shown->red()).arg(shown->green()).arg(shown->blue());
  return text;
}

QString PlayingWindow::DescribePair(const FramePairSequence& pair, QPoint pixel, const char* firstName,
                                    const char* secondName) {
  const auto a = pair.ShownSamplesAt(false, pixel.x(), pixel.y());
  const auto b = pair.ShownSamplesAt(true, pixel.x(), pixel.y());
  if (!a || !b) return {};
  const char* names = a->rgb ? "RGB" : "YUV";
  QString text = QStringLiteral("x %1  y %2").arg(pixel.x()).arg(pixel.y());
  const auto list = [&](const PixelSamples& s) {
    QString values;
    for (int c = 0; c < s.count; ++c)
      values += QStringLiteral(" %1 %2").arg(QLatin1Char(names[c])).arg(s.values[static_cast<size_t>(c)]);
    return values;
  };
  text += QStringLiteral("   %1:%2   %3:%4   difference:")
              .arg(QLatin1String(firstName), list(*a), QLatin1String(secondName), list(*b));
  for (int c = 0; c < std::min(a->count, b->count); ++c) {
    const auto k = static_cast<size_t>(c);
    text += QStringLiteral(" %1 %2")
                .arg(QLatin1Char(names[c]))
                .arg(static_cast<int64_t>(b->values[k]) - static_cast<int64_t>(a->values[k]));
  }
  return text;
}

void PlayingWindow::RefreshPixelStatus() {
  const auto pixel = pointer_ ? preview_->PixelAt(*pointer_) : std::nullopt;
  pixelStatus_->setText(pixel ? DescribePixel(*pixel) : QString());
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
  AcceptFileDropsAsBrowse(boxes.path, boxes.browse);
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
  const QSize picture = PictureSizeAsShown();
  const PreviewLayoutResult layout =
      LayoutPreviewOnScreen(this, QPoint(28, chrome), QSize(std::max(width(), sizeHint().width()), chrome),
                            picture, kPixelStatusHeight);
  const QSize visible(layout.visibleWidth, layout.visibleHeight);
  preview_->setGeometryFor(QPoint(16, 16), visible);
  PlacePixelStatus(visible);
  previewPanel_->setFixedSize(std::max(visible.width(), PixelStatusWidth()) + 16,
                              visible.height() + 16 + kPixelStatusHeight);
  ShowDetailsToggle(layout.verticalBarShown);
  adjustSize();
  FitOnScreen(this);
}

void PlayingWindow::PlacePreview(QPoint origin, QSize visible) {
  constexpr int kBars = 16;  // the bars lie left of and above the visible area
  previewPanel_->setGeometry(
      QRect(origin - QPoint(kBars, kBars), QSize(std::max(visible.width(), PixelStatusWidth()) + kBars,
                                                 visible.height() + kBars + kPixelStatusHeight)));
  preview_->setGeometryFor(QPoint(kBars, kBars), visible);
  PlacePixelStatus(visible);
}

int PlayingWindow::PixelStatusWidth() const {
  // Room for one file's values at full depth on one line; two files' wrap to two.
  return pixelStatus_->fontMetrics().horizontalAdvance(QStringLiteral(
             "x 9999  y 9999  Y 65535  U 65535  V 65535 (chroma 9999, 9999)   shown RGB 255 255 255")) +
         8;
}

void PlayingWindow::PlacePixelStatus(QSize visible) {
  pixelStatus_->setWordWrap(true);
  pixelStatus_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  pixelStatus_->setGeometry(16, 16 + visible.height() + 2, std::max(visible.width(), PixelStatusWidth()),
                            kPixelStatusHeight - 2);
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
  if (watched == preview_ && (event->type() == QEvent::MouseMove || event->type() == QEvent::Leave)) {
    if (event->type() == QEvent::MouseMove)
      pointer_ = static_cast<QMouseEvent*>(event)->position().toPoint();
    else
      pointer_.reset();
    RefreshPixelStatus();
  }
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
