#pragma once

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>

#include "player/PlayerEngine.h"
#include "ui/controls/CommandLineTool.h"
#include "ui/controls/DialogWorker.h"
#include "ui/controls/PlayControls.h"
#include "ui/display/PreviewArea.h"

namespace vx {

// "Play a YUV Data File": plays one or more raw files of one layout.
class CVideoPlayer : public QDialog, public CommandLineTool {
  Q_OBJECT

 public:
  explicit CVideoPlayer(QWidget* parent = nullptr);
  ~CVideoPlayer() override;

  // From the command line (history on) or the File Manager (history off): plays
  // `path` with the current format. False when the size is refused.
  bool StartFromRequest(const QString& path, bool addToHistory);
  bool StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) override;
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
  bool WorkerRunning() const { return worker_.Running(); }
  int ShownFrame() const { return shownFrame_; }
  QPushButton* startButton() const { return controls_->start(); }
  QPushButton* stopButton() const { return controls_->stop(); }
  QPushButton* pauseButton() const { return controls_->pause(); }
  QPushButton* reverseButton() const { return controls_->reverse(); }
  QPushButton* stepBackButton() const { return controls_->stepBack(); }
  QPushButton* stepForwardButton() const { return controls_->stepForward(); }
  QPushButton* toggleButton() const { return toggle_; }
  QSlider* slider() const { return controls_->slider(); }
  QLineEdit* frameNumberBox() const { return controls_->frameNumber(); }
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
  void RenderWhileIdle();
  void EndWorker();
  void StartWorker();

  PlayerEngine engine_;
  DialogWorker worker_{this};
  PlayControls* controls_ = nullptr;
  bool compact_ = false;
  bool exitWhenDone_ = false;
  int shownFrame_ = 0;
  QPointer<QWidget> mainWindow_;
  QLineEdit *path_, *format_, *speed_;
  QPushButton *browse_, *toggle_, *exit_;
  QComboBox* components_;
  QLabel *formatLabel_, *speedLabel_, *componentLabel_;
  QGroupBox *statusGroup_, *controlsGroup_, *loadGroup_, *optionsGroup_, *speedGroup_;
  PreviewArea* preview_;
};

}  // namespace vx
