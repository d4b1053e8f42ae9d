#pragma once

#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <QSlider>
#include <functional>

#include "player/PlaybackLoop.h"
#include "player/PlayerEngine.h"

namespace vx {

// The play controls of every window that plays frames: Start, Stop, Pause/Play,
// Reverse Play/Reverse Pause, "<", ">", the frame slider and the frame number,
// their captions and which of them are usable in each play state. The controls
// are children of the window, which places them; their clicks drive the loop.
class PlayControls : public QObject {
  Q_OBJECT

 public:
  struct Hooks {
    std::function<void()> start;            // the window's Start
    std::function<void()> stop;             // the window's Stop
    std::function<bool()> workerRunning;    // whether a worker plays now
    std::function<void()> controlsChanged;  // re-evaluate the window's controls
  };
  PlayControls(QWidget* window, PlaybackLoop& loop, Hooks hooks);

  // Applies the state table (with or without a file) and returns it, so the window
  // can set its own controls from the same row.
  PlayerControls Update(bool hasPath);
  // A frame was shown: its number in the box and on the slider.
  void FrameShown(int64_t frame);
  // Range 1..frames, enabled.
  void SetFrameCount(int64_t frames);

  QPushButton* start() const { return start_; }
  QPushButton* stop() const { return stop_; }
  QPushButton* pause() const { return pause_; }
  QPushButton* reverse() const { return reverse_; }
  QPushButton* stepBack() const { return stepBack_; }
  QPushButton* stepForward() const { return stepForward_; }
  QSlider* slider() const { return slider_; }
  QLabel* frameLabel() const { return frameLabel_; }
  QLineEdit* frameNumber() const { return frameNumber_; }

  // The controls in their usual grid inside `box`: the four buttons, "<", the
  // slider and ">", the frame caption and number (a wide caption takes two columns).
  enum class FrameCaption : uint8_t { Narrow, Wide };
  void LayOutIn(QWidget* box, FrameCaption caption = FrameCaption::Narrow) const;

  // The reactions of the buttons.
  void PauseClicked();
  void ReverseClicked();
  void Step(bool forward);

  // The keys of `window`, whichever of its widgets has the focus: Space plays or
  // pauses, Left and Right step one frame (with Shift ten), Home and End go to
  // the first and last frame, Ctrl+G to the frame box, where a number and
  // Return go to that frame. Each acts only while its control is usable.
  void AddKeys(QWidget* window);
  // Space: Pause/Play while a worker plays, else Start.
  void PlayOrPause();
  // The slider moved by `frames` (to the first or last frame when past them).
  void MoveBy(int frames);
  void GoTo(int frame);
  // Shows frame `frame` and pauses there, starting a paused run when none plays
  // (a point picked on a plot).
  void ShowFrame(int frame);

 protected:
  // Return in the frame box goes to the frame, and no further (not to a default button).
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  PlaybackLoop& loop_;
  Hooks hooks_;
  QPushButton *start_, *stop_, *pause_, *reverse_, *stepBack_, *stepForward_;
  QSlider* slider_;
  QLabel* frameLabel_;
  QLineEdit* frameNumber_;
};

}  // namespace vx
