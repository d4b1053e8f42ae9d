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
#include "player/PlaybackLoop.h"
#include "ui/controls/ColourButton.h"
#include "ui/controls/PlaybackDriver.h"
#include "ui/display/PreviewArea.h"

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
  PlaybackLoop& loop() { return driver_->loop(); }
  bool WorkerRunning() const { return driver_->WorkerRunning(); }
  QPushButton* videoBrowseButton() const { return browseVideo_; }
  QPushButton* overlayBrowseButton() const { return browseOverlay_; }
  QPushButton* startButton() const { return driver_->controls().start(); }
  QPushButton* stepForwardButton() const { return driver_->controls().stepForward(); }
  QPushButton* exitButton() const { return exit_; }
  QSlider* slider() const { return driver_->controls().slider(); }
  QLineEdit* frameNumberBox() const { return driver_->controls().frameNumber(); }
  QCheckBox* overlayBox() const { return enabled_; }
  QLineEdit* valueBox(int entry) const { return values_[static_cast<size_t>(entry)]; }
  PreviewArea* preview() const { return preview_; }

 signals:
  void frameShown(int frame);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void UpdateControls(const PlayerControls& c);
  void ShowDisplay();
  void LayOutPicture();
  bool LoadOverlay();
  OverlayEntries Entries() const;
  // The overlay file's text, or nullopt after OVLY1001 / OVLY1004.
  std::optional<std::string> ReadOverlayText(const char* notFound) const;

  OverlaySequence sequence_;
  PlaybackDriver* driver_ = nullptr;
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
