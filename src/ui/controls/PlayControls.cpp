#include "ui/controls/PlayControls.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QShortcut>
#include <algorithm>
#include <climits>

namespace vx {

PlayControls::PlayControls(QWidget* window, PlaybackLoop& loop, Hooks hooks)
    : QObject(window), loop_(loop), hooks_(std::move(hooks)) {
  start_ = new QPushButton(QStringLiteral("Start"), window);
  stop_ = new QPushButton(QStringLiteral("Stop"), window);
  pause_ = new QPushButton(QStringLiteral("Pause"), window);
  reverse_ = new QPushButton(QStringLiteral("Reverse Play"), window);
  stepBack_ = new QPushButton(QStringLiteral("<"), window);
  stepForward_ = new QPushButton(QStringLiteral(">"), window);
  slider_ = new QSlider(Qt::Horizontal, window);
  slider_->setRange(1, 1);
  frameLabel_ = new QLabel(QStringLiteral("Frame number:"), window);
  frameNumber_ = new QLineEdit(window);
  start_->setToolTip(QStringLiteral("Play from the first frame (Space)"));
  pause_->setToolTip(QStringLiteral("Pause or go on playing (Space)"));
  stepBack_->setToolTip(QStringLiteral("One frame back (Left; Shift+Left: ten frames)"));
  stepForward_->setToolTip(QStringLiteral("One frame on (Right; Shift+Right: ten frames)"));
  slider_->setToolTip(QStringLiteral("Drag to a frame (Home: first frame, End: last frame)"));
  frameNumber_->setToolTip(QStringLiteral("Type a frame number and press Return to go there (Ctrl+G)"));
  for (auto [widget, name] : {std::pair<QWidget*, const char*>{start_, "start"},
                              {stop_, "stop"},
                              {pause_, "pause"},
                              {reverse_, "reverse"},
                              {stepBack_, "stepBack"},
                              {stepForward_, "stepForward"},
                              {slider_, "slider"},
                              {frameLabel_, "frameLabel"},
                              {frameNumber_, "frameNumber"}})
    widget->setObjectName(QLatin1String(name));  // tests find the controls by name

  connect(start_, &QPushButton::clicked, this, [this] { hooks_.start(); });
  connect(stop_, &QPushButton::clicked, this, [this] { hooks_.stop(); });
  connect(pause_, &QPushButton::clicked, this, &PlayControls::PauseClicked);
  connect(reverse_, &QPushButton::clicked, this, &PlayControls::ReverseClicked);
  connect(stepForward_, &QPushButton::clicked, this, [this] { Step(true); });
  connect(stepBack_, &QPushButton::clicked, this, [this] { Step(false); });
  // Every move seeks: a drag, the arrow and page keys, a click on the groove
  // (moves made by the program itself are signal-blocked).
  connect(slider_, &QSlider::valueChanged, this, [this](int position) {
    if (loop_.SeekTo(position) && !slider_->isSliderDown()) hooks_.controlsChanged();
  });
  connect(slider_, &QSlider::sliderReleased, this, [this] {
    if (loop_.State() == PlayState::Seek) hooks_.controlsChanged();
  });
}

PlayerControls PlayControls::Update(bool hasPath) {
  const PlayerControls c = ControlsFor(hasPath, loop_.State());
  if (c.unchanged) return c;
  start_->setEnabled(c.start && !hooks_.workerRunning());
  pause_->setEnabled(c.pause);
  pause_->setText(QString::fromLatin1(c.pauseText));
  stop_->setEnabled(c.stop);
  stepBack_->setEnabled(c.stepButtons);
  stepForward_->setEnabled(c.stepButtons);
  slider_->setEnabled(c.slider);
  reverse_->setEnabled(c.reverse);
  // Every state of the table is other than playing backwards: reverse play has
  // ended (the first frame reached, a refused rate, Stop).
  reverse_->setText(QStringLiteral("Reverse Play"));
  return c;
}

void PlayControls::FrameShown(int64_t frame) {
  // A number being typed stays until Return.
  if (!frameNumber_->hasFocus() || !frameNumber_->isModified()) frameNumber_->setText(QString::number(frame));
  const QSignalBlocker block(slider_);
  slider_->setValue(static_cast<int>(std::clamp<int64_t>(frame, 1, INT_MAX)));
}

void PlayControls::SetFrameCount(int64_t frames) {
  const QSignalBlocker block(slider_);
  slider_->setRange(1, static_cast<int>(std::clamp<int64_t>(frames, 1, INT_MAX)));
  slider_->setEnabled(true);
}

void PlayControls::PauseClicked() {
  const PlayState state = loop_.TogglePause();
  pause_->setText(state == PlayState::Paused ? QStringLiteral("Play") : QStringLiteral("Pause"));
  reverse_->setText(QStringLiteral("Reverse Play"));
  hooks_.controlsChanged();
}

void PlayControls::ReverseClicked() {
  if (!hooks_.workerRunning()) return;
  const PlayState state = loop_.ToggleReverse();
  reverse_->setText(state == PlayState::PlayingBackward ? QStringLiteral("Reverse Pause")
                                                        : QStringLiteral("Reverse Play"));
  pause_->setText(QStringLiteral("Play"));
}

void PlayControls::Step(bool forward) {
  if (forward)
    loop_.StepForwardOnce();
  else
    loop_.StepBackwardOnce();
  pause_->setText(QStringLiteral("Play"));
  if (!hooks_.workerRunning()) hooks_.start();
}

namespace {

// Lists, sliders and number boxes keep the arrow, Home and End keys they move
// by (text boxes claim theirs themselves); buttons, which do not use them, leave
// them to the window's keys.
class EditorsKeepTheirKeys : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::ShortcutOverride) return false;
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !widget->hasFocus()) return false;
    const bool editor = qobject_cast<const QComboBox*>(widget) ||
                        qobject_cast<const QAbstractSlider*>(widget) ||
                        qobject_cast<const QAbstractSpinBox*>(widget);
    auto* key = static_cast<QKeyEvent*>(event);
    const bool moves =
        key->modifiers() == Qt::NoModifier &&
        (key->key() == Qt::Key_Left || key->key() == Qt::Key_Right || key->key() == Qt::Key_Home ||
         key->key() == Qt::Key_End || key->key() == Qt::Key_Up || key->key() == Qt::Key_Down);
    if (editor && moves) event->accept();
    return false;
  }
};

}  // namespace

void PlayControls::AddKeys(QWidget* window) {
  if (!qApp->property("velutrixEditorKeys").toBool()) {
    auto* filter = new EditorsKeepTheirKeys;
    filter->setParent(qApp);  // the application owns it
    qApp->installEventFilter(filter);
    qApp->setProperty("velutrixEditorKeys", true);
  }
  const auto add = [&](const QKeySequence& keys, const std::function<void()>& action) {
    auto* shortcut = new QShortcut(keys, window);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, action);
  };
  add(QKeySequence(Qt::Key_Space), [this] { PlayOrPause(); });
  add(QKeySequence(Qt::Key_Right), [this] {
    if (stepForward_->isEnabled()) Step(true);
  });
  add(QKeySequence(Qt::Key_Left), [this] {
    if (stepBack_->isEnabled()) Step(false);
  });
  add(QKeySequence(Qt::SHIFT | Qt::Key_Right), [this] { MoveBy(10); });
  add(QKeySequence(Qt::SHIFT | Qt::Key_Left), [this] { MoveBy(-10); });
  add(QKeySequence(Qt::Key_Home), [this] { GoTo(slider_->minimum()); });
  add(QKeySequence(Qt::Key_End), [this] { GoTo(slider_->maximum()); });
  add(QKeySequence(Qt::CTRL | Qt::Key_G), [this] {
    frameNumber_->setFocus(Qt::ShortcutFocusReason);
    frameNumber_->selectAll();
  });
  frameNumber_->installEventFilter(this);
}

bool PlayControls::eventFilter(QObject* watched, QEvent* event) {
  if (watched != frameNumber_ || event->type() != QEvent::KeyPress)
    return QObject::eventFilter(watched, event);
  const int key = static_cast<QKeyEvent*>(event)->key();
  if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
  bool number = false;
  const int frame = frameNumber_->text().trimmed().toInt(&number);
  if (number) GoTo(frame);
  frameNumber_->setModified(false);
  return true;
}

void PlayControls::PlayOrPause() {
  if (pause_->isEnabled() && hooks_.workerRunning()) {
    PauseClicked();
  } else if (start_->isEnabled()) {
    hooks_.start();
  }
}

void PlayControls::MoveBy(int frames) {
  GoTo(static_cast<int>(std::clamp<int64_t>(int64_t{slider_->value()} + frames, INT_MIN, INT_MAX)));
}

void PlayControls::GoTo(int frame) {
  if (!slider_->isEnabled()) return;
  // The slider seeks as its value changes, as a drag of it does.
  slider_->setValue(std::clamp(frame, slider_->minimum(), slider_->maximum()));
}

void PlayControls::ShowFrame(int frame) {
  if (hooks_.workerRunning()) {
    GoTo(frame);
    return;
  }
  loop_.StartNextItemAt(std::max(frame, 1));
  Step(true);
}

void PlayControls::LayOutIn(QWidget* box, FrameCaption caption) const {
  auto* grid = new QGridLayout(box);
  grid->addWidget(start_, 0, 0);
  grid->addWidget(stop_, 0, 1);
  grid->addWidget(pause_, 0, 2);
  grid->addWidget(reverse_, 0, 3);
  grid->addWidget(stepBack_, 1, 0);
  grid->addWidget(slider_, 1, 1, 1, 2);
  grid->addWidget(stepForward_, 1, 3);
  const int captionColumns = caption == FrameCaption::Wide ? 2 : 1;
  grid->addWidget(frameLabel_, 2, 0, 1, captionColumns);
  grid->addWidget(frameNumber_, 2, captionColumns);
}

}  // namespace vx
