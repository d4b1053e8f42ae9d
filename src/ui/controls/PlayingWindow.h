#pragma once

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "image/PixelProbe.h"
#include "player/FrameSequences.h"
#include "ui/controls/PlaybackDriver.h"
#include "ui/display/PreviewArea.h"

namespace vx {

// The base of the windows that play frames: the playback driver (which owns the
// loop and the sequence and ends the worker before they go), the preview in its
// panel, the toggle between detailed and compact controls, the block under the
// pointer, and a close put off while a worker runs.
class PlayingWindow : public QDialog {
  Q_OBJECT

 public:
  PlaybackLoop& loop() { return driver_.loop(); }
  bool WorkerRunning() const { return driver_.WorkerRunning(); }
  // No worker, or one parked while paused: what is shown stands still.
  bool FramesStandStill() const { return driver_.Idle(); }
  bool compact() const { return compact_; }

 signals:
  // A frame is shown (its number in the file).
  void frameShown(int frame);

 protected:
  PlayingWindow(std::unique_ptr<Playback> playback, const QString& title, QWidget* parent);

  PlaybackDriver& driver() { return driver_; }
  PlayControls& controls() { return driver_.controls(); }
  const PlayControls& controls() const { return driver_.controls(); }
  template <typename SequenceType>
  SequenceType& PlayedSequence() {
    return static_cast<SequenceType&>(driver_.playback().Sequence());
  }
  QWidget* previewPanel() const { return previewPanel_; }
  PreviewArea* previewArea() const { return preview_; }

  // Makes the play controls as children of `parent`; the frames shown are drawn
  // by ShowDisplay, and the window's own controls follow FollowControls.
  void AttachControls(QWidget* parent, PlaybackDriver::Hooks hooks);
  // The same, laid out in `box` in the usual grid, the frame number captioned `caption`.
  void PlayIn(QWidget* box, const QString& caption, PlaybackDriver::Hooks hooks,
              PlayControls::FrameCaption width = PlayControls::FrameCaption::Narrow);
  // Draws the picture shown into the preview.
  virtual void ShowDisplay() = 0;
  // The window's own controls for a row of the state table.
  virtual void FollowControls(const PlayerControls& c) = 0;

  // In `group`: a path box and "Browse..." above the read-only format.
  struct PathBoxes {
    QLineEdit* path;
    QPushButton* browse;
    QLineEdit* format;
  };
  static PathBoxes MakePathBoxes(QGroupBox* group);
  // Browse: a raw file and its layout, picked in the pickers, handed to `chosen`.
  void PickRawFileFor(const std::function<void(const QString&, const ImageFormat&)>& chosen);

  // Widgets side by side, each with its stretch factor.
  static QHBoxLayout* Row(std::initializer_list<std::pair<QWidget*, int>> widgets);
  // A button at the left end of a row, another at the right.
  static QHBoxLayout* ButtonRow(QWidget* left, QWidget* right);
  // A component picked in `list` is what `files` shows from now on.
  void ShowComponentPicked(QComboBox* list, FileListSequence& files);
  // A new file: the worker is ended (the buffers may change), the title and `pathBox` name it.
  void BeginChoice(const QString& path, QLineEdit* pathBox);

  // The rows of controls above each other, the preview below them.
  void StackWithPreview(std::initializer_list<QLayout*> rows);
  // A component list (all components chosen) in `parent`.
  QComboBox* MakeComponentList(QWidget* parent) const;
  // A file chosen for `files` (one file, `format`): entered in the history, its
  // buffers made, `components` listing its components and its frame 1 shown.
  // False after `sizeRefusal` (%d, %d: the size).
  bool OpenFile(FileListSequence& files, const QString& path, const ImageFormat& format,
                const char* sizeRefusal, QComboBox* components);
  // After a new choice: the preview laid out for it, the picture drawn, the controls set.
  void ShowChoice();

  // The picture the preview is laid out for; nullopt before one is chosen.
  virtual std::optional<QSize> PictureSize() const = 0;
  // Its size magnified by the zoom chosen (352 x 288 before a picture): the
  // preview grows with the zoom as far as the screen lets it.
  QSize PictureSizeAsShown() const;
  // Sizes the preview for the picture below the controls (at least `minChrome_`
  // high) and fits the window on the screen.
  virtual void LayOutPicture();
  int minChrome_ = 200;
  // The preview's visible area at `origin` of the window (the panel holds its bars).
  void PlacePreview(QPoint origin, QSize visible);

  // The detailed / compact toggle: hidden until the picture needs the room;
  // `details` are hidden while compact.
  QPushButton* MakeDetailsToggle(std::vector<QWidget*> details);
  QPushButton* detailsToggle() const { return toggle_; }
  // The toggle shows while the picture has a vertical bar, and while compact.
  void ShowDetailsToggle(bool verticalBarShown);
  // After a toggle: lays the picture out again.
  virtual void DetailsToggled() { LayOutPicture(); }

  // The block of `size` under the pointer: its column and row in the labels and
  // outlined; a left click on it calls `clicked`. Only while `active`.
  struct BlockHover {
    int size;
    QLabel* column;
    QLabel* row;
    std::function<bool()> active;
    std::function<void(QPoint)> clicked;
  };
  void TrackBlocks(BlockHover hover);
  // The preview's mouse events come to eventFilter (windows with their own use).
  void WatchPreviewMouse();

  // The status line under the picture: the pixel under the pointer, its stored
  // samples at full depth and the colour shown; at 16x and more the pixels show
  // their samples. Windows of one file take them from its sequence; others give
  // their own text.
  static constexpr int kPixelStatusHeight = 34;  // two lines
  void ProbeSamplesOf(const FileListSequence& files) { probed_ = &files; }
  virtual std::optional<PixelSamples> ShownSamplesAt(int x, int y) const;
  virtual QString DescribePixel(QPoint pixel) const;
  // For windows of two frames: "1: ..." and "2: ..." of each frame's samples, and
  // their difference (2 - 1), component by component.
  static QString DescribePair(const FramePairSequence& pair, QPoint pixel, const char* firstName,
                              const char* secondName);
  QLabel* pixelStatus() const { return pixelStatus_; }
  // The status line again for the pixel under the pointer (after a new frame).
  void RefreshPixelStatus();

  // What a close does once no worker runs (before the window closes).
  virtual void Closing() {}
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ToggleDetails();
  // + and - zoom about the pointer when it is over the picture, else about its
  // middle; 0 fits the picture, 1 shows it 1:1.
  void AddZoomKeys();
  std::optional<QPoint> PointerOverPreview() const;
  void PlacePixelStatus(QSize visible);
  int PixelStatusWidth() const;

  PlaybackDriver driver_;
  QWidget* previewPanel_;
  PreviewArea* preview_;
  QLabel* pixelStatus_;
  const FileListSequence* probed_ = nullptr;
  std::optional<QPoint> pointer_;  // over the preview, in its coordinates
  QPushButton* toggle_ = nullptr;
  std::vector<QWidget*> details_;
  bool compact_ = false;
  std::optional<BlockHover> hover_;
};

// Gives each widget its object name (tests find the widgets by it).
void NameWidgets(std::initializer_list<std::pair<QObject*, const char*>> names);
// The same for a row of widgets: `stem` and the index (image0, image1, ...).
template <typename Widgets>
void NameNumbered(const Widgets& widgets, const char* stem) {
  int i = 0;
  for (QObject* w : widgets) w->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(stem)).arg(i++));
}

// The component list of a layout: its texts, and `index` chosen (by default the
// last, all components; none for a layout without a list).
void FillComponentList(QComboBox* list, int32_t sampling, int index = -1);

}  // namespace vx
