#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <optional>

#include "analysis/Overlay.h"
#include "ui/controls/ColourButton.h"
#include "ui/controls/PlayingWindow.h"

namespace vx {

// "Overlay Information On Top of Image": plays a raw file with per-block data from
// a text file drawn over each frame.
class CInfoOverlay : public PlayingWindow {
  Q_OBJECT

 public:
  explicit CInfoOverlay(QWidget* parent = nullptr);

  void BrowseVideo();
  void BrowseOverlay();
  // Browse's choices without the pickers.
  void ChooseVideo(const QString& path, const ImageFormat& format);
  void ChooseOverlay(const QString& path);

  OverlaySequence& sequence() { return sequence_; }
  const OverlayData& data() const { return data_; }

 protected:
  void ShowDisplay() override;
  void FollowControls(const PlayerControls& c) override;
  std::optional<QSize> PictureSize() const override;
  void Closing() override;

 private:
  bool LoadOverlay();
  OverlayEntries Entries() const;
  // The overlay file's text, or nullopt after OVLY1001 / OVLY1004.
  std::optional<std::string> ReadOverlayText(const char* notFound) const;

  OverlaySequence& sequence_;
  OverlayData data_;
  int shownFrame_ = 1;
  std::vector<uint8_t> rows_;
  QLineEdit *videoPath_, *overlayPath_, *format_;
  QPushButton *browseVideo_, *browseOverlay_, *exit_;
  QComboBox* components_;
  QCheckBox* enabled_;
  std::array<QLineEdit*, 8> values_{};
  std::array<ColourButton*, 10> colours_{};
};

}  // namespace vx
