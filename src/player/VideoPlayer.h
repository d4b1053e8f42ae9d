#pragma once

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <atomic>
#include <thread>

#include "display/PreviewArea.h"
#include "player/PlayerEngine.h"

namespace vx {

// "Play a YUV Data File": plays one or more raw files of one layout.
class CVideoPlayer : public QDialog {
  Q_OBJECT

 public:
  explicit CVideoPlayer(QWidget* parent = nullptr);
  ~CVideoPlayer() override;

  // From the command line (history on) or the File Manager (history off): plays
  // `path` with the current format. False when the size is refused.
  bool StartFromRequest(const QString& path, bool addToHistory);
  // The command line's rate (for the first file) and its "-e exit".
  void SetCommandLine(int rate, bool exitWhenDone, QWidget* mainWindow);

  // The reactions of the controls.
  void Browse();
  // A file selection as Browse makes it, without the pickers (the format
  // dialog still asks for the layout unless `format` is given).
  void ChooseFiles(const QStringList& paths, const ImageFormat* format = nullptr);
  void Start();
  void Stop();
  void PauseClicked();
  void ReverseClicked();
  void StepForwardClicked();
  void StepBackwardClicked();
  void ToggleDetailedControls();
  void Exit();
  // Draws the current display picture (with the grids) into the preview.
  void ShowDisplay();

  PlayerEngine& engine() { return engine_; }
  bool WorkerRunning() const { return workerRunning_.load(); }
  int ShownFrame() const { return shownFrame_; }
  QPushButton* startButton() const { return start_; }
  QPushButton* stopButton() const { return stop_; }
  QPushButton* pauseButton() const { return pause_; }
  QPushButton* reverseButton() const { return reverse_; }
  QPushButton* stepBackButton() const { return stepBack_; }
  QPushButton* stepForwardButton() const { return stepForward_; }
  QPushButton* toggleButton() const { return toggle_; }
  QSlider* slider() const { return slider_; }
  QLineEdit* frameNumberBox() const { return frameNumber_; }
  QLineEdit* speedBox() const { return speed_; }
  QLineEdit* pathBox() const { return path_; }
  QLineEdit* formatBox() const { return format_; }
  QComboBox* componentList() const { return components_; }
  PreviewArea* preview() const { return preview_; }
  bool compact() const { return compact_; }

 signals:
  // A frame is shown (its number in the file).
  void frameShown(int frame);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  class Observer;
  void BuildControls();
  void PlaceControls();
  void LayOutPicture();
  void UpdateControls();
  void AcceptFormat(const ImageFormat& format, bool fromCommandLine);
  void EndWorker();
  void StartWorker();

  PlayerEngine engine_;
  std::thread worker_;
  std::atomic<bool> workerRunning_{false};
  uint64_t workerGeneration_ = 0;
  bool compact_ = false;
  bool exitWhenDone_ = false;
  int shownFrame_ = 0;
  QPointer<QWidget> mainWindow_;
  QLineEdit *path_, *frameNumber_, *format_, *speed_;
  QPushButton *browse_, *start_, *stop_, *pause_, *reverse_, *stepBack_, *stepForward_, *toggle_, *exit_;
  QSlider* slider_;
  QComboBox* components_;
  QLabel *frameLabel_, *formatLabel_, *speedLabel_, *componentLabel_;
  QGroupBox *statusGroup_, *controlsGroup_, *loadGroup_, *optionsGroup_, *speedGroup_;
  PreviewArea* preview_;
};

}  // namespace vx
