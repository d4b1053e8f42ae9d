#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <optional>

#include "analysis/Overlay.h"
#include "controls/ColourButton.h"
#include "controls/DialogWorker.h"
#include "controls/PlayControls.h"
#include "display/PreviewArea.h"
#include "player/PlaybackLoop.h"

namespace vx {

// "Overlay Information On Top of Image": plays a raw file with per-block data from
// a text file drawn over each frame.
class CInfoOverlay : public QDialog {
  Q_OBJECT

 public:
  explicit CInfoOverlay(QWidget* parent = nullptr);
  ~CInfoOverlay() override;

  void BrowseVideo();
  void BrowseOverlay();
  // Browse's choices without the pickers.
  void ChooseVideo(const QString& path, const ImageFormat& format);
  void ChooseOverlay(const QString& path);

  OverlaySequence& sequence() { return sequence_; }
  const OverlayData& data() const { return data_; }
  PlaybackLoop& loop() { return loop_; }
  bool WorkerRunning() const { return worker_.Running(); }
  QPushButton* videoBrowseButton() const { return browseVideo_; }
  QPushButton* overlayBrowseButton() const { return browseOverlay_; }
  QPushButton* startButton() const { return controls_->start(); }
  QPushButton* stepForwardButton() const { return controls_->stepForward(); }
  QPushButton* exitButton() const { return exit_; }
  QSlider* slider() const { return controls_->slider(); }
  QLineEdit* frameNumberBox() const { return controls_->frameNumber(); }
  QCheckBox* overlayBox() const { return enabled_; }
  QLineEdit* valueBox(int entry) const { return values_[static_cast<size_t>(entry)]; }
  PreviewArea* preview() const { return preview_; }

 signals:
  void frameShown(int frame);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  class Observer;
  void Start();
  void Stop();
  void StartWorker();
  void EndWorker();
  void UpdateControls();
  void ShowDisplay();
  void RenderWhileIdle();
  void LayOutPicture();
  bool LoadOverlay();
  OverlayEntries Entries() const;
  // The overlay file's text, or nullopt after OVLY1001 / OVLY1004.
  std::optional<std::string> ReadOverlayText(const char* notFound) const;

  PlaybackLoop loop_;
  OverlaySequence sequence_;
  DialogWorker worker_{this};
  PlayControls* controls_ = nullptr;
  OverlayData data_;
  int shownFrame_ = 1;
  std::vector<uint8_t> rows_;
  QLineEdit *videoPath_, *overlayPath_, *format_;
  QPushButton *browseVideo_, *browseOverlay_, *exit_;
  QComboBox* components_;
  QCheckBox* enabled_;
  std::array<QLineEdit*, 8> values_{};
  std::array<ColourButton*, 10> colours_{};
  QWidget* previewPanel_;
  PreviewArea* preview_;
};

}  // namespace vx
