#include "ui/controls/PlayControls.h"

#include <QGridLayout>
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
  frameNumber_->setReadOnly(true);
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
  frameNumber_->setText(QString::number(frame));
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
