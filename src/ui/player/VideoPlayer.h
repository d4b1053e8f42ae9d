#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>

#include "player/PlayerEngine.h"
#include "ui/controls/CommandLineTool.h"
#include "ui/controls/PlayingWindow.h"

namespace vx {

// "Play a YUV Data File": plays one or more raw files of one layout.
class CVideoPlayer : public PlayingWindow, public CommandLineTool, public HistoryReplayer {
  Q_OBJECT

 public:
  explicit CVideoPlayer(QWidget* parent = nullptr);

  // From the command line (history on) or the File Manager (history off): plays
  // `path` with the current format. False when the size is refused.
  bool StartFromRequest(const QString& path, bool addToHistory);
  bool ReplayFromHistory(const QString& path) override { return StartFromRequest(path, false); }
  bool StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) override;
  // The command line's rate (the run's, shown in the speed box) and its "-e exit".
  void SetCommandLine(int rate, bool exitWhenDone, QWidget* mainWindow);

  // The reactions of the controls.
  void Browse();
  // A file selection as Browse makes it, without the pickers (the format
  // dialog still asks for the layout unless `format` is given).
  void ChooseFiles(const QStringList& paths, const ImageFormat* format = nullptr);
  void Exit();
  // Draws the current display picture (with the grids) into the preview.
  void ShowDisplay() override;

  PlayerEngine& engine() { return engine_; }
  // What Start plays with.
  const PlayerRun& run() const { return run_; }
  int ShownFrame() const { return shownFrame_; }

 protected:
  void FollowControls(const PlayerControls& c) override;
  std::optional<QSize> PictureSize() const override;
  void LayOutPicture() override;
  void DetailsToggled() override;

 private:
  void BuildControls();
  void PlaceControls();
  void AcceptFormat(const ImageFormat& format, bool fromCommandLine);
  void ItemEnded();

  PlayerEngine& engine_;
  PlayerRun run_;
  bool exitWhenDone_ = false;
  int shownFrame_ = 0;
  QPointer<QWidget> mainWindow_;
  QLineEdit *path_, *format_, *speed_;
  QPushButton *browse_, *exit_;
  QComboBox* components_;
  QLabel *formatLabel_, *speedLabel_, *componentLabel_;
  QGroupBox *statusGroup_, *controlsGroup_, *loadGroup_, *optionsGroup_, *speedGroup_;
};

}  // namespace vx
