#include "ui/analysis/OverlayDialog.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QVBoxLayout>

#include "display/DisplayConvert.h"
#include "display/FormatLabel.h"
#include "display/GridOverlay.h"
#include "image/FrameFile.h"
#include "model/FileHistory.h"
#include "model/Settings.h"
#include "platform/MessageSink.h"
#include "platform/RawFile.h"
#include "platform/StringFormat.h"
#include "tools/FrameInput.h"
#include "ui/controls/FileDrops.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/RawFilePicker.h"
#include "ui/controls/ScreenFit.h"

namespace vx {
namespace {

// Overlay files are text of a few megabytes; a larger file is not read whole.
constexpr int64_t kMaxOverlayFileBytes = int64_t{512} << 20;

}  // namespace

CInfoOverlay::CInfoOverlay(QWidget* parent)
    : PlayingWindow(std::make_unique<SequencePlayback<OverlaySequence>>(),
                    QStringLiteral("Overlay Information On Top of Image"), parent),
      sequence_(PlayedSequence<OverlaySequence>()) {
  ProbeSamplesOf(sequence_);
  auto* files = new QGroupBox(QStringLiteral("Files:"), this);
  videoPath_ = new QLineEdit(files);
  overlayPath_ = new QLineEdit(files);
  browseVideo_ = new QPushButton(QStringLiteral("Browse..."), files);
  browseOverlay_ = new QPushButton(QStringLiteral("Browse..."), files);
  AcceptFileDropsAsBrowse(videoPath_, browseVideo_);
  AcceptFileDropsAsBrowse(overlayPath_, browseOverlay_);
  format_ = new QLineEdit(files);
  format_->setReadOnly(true);
  auto* fileLayout = new QGridLayout(files);
  fileLayout->addWidget(new QLabel(QStringLiteral("Image file:"), files), 0, 0);
  fileLayout->addWidget(videoPath_, 0, 1);
  fileLayout->addWidget(browseVideo_, 0, 2);
  fileLayout->addWidget(new QLabel(QStringLiteral("Format:"), files), 1, 0);
  fileLayout->addWidget(format_, 1, 1, 1, 2);
  fileLayout->addWidget(new QLabel(QStringLiteral("Overlay data file:"), files), 2, 0);
  fileLayout->addWidget(overlayPath_, 2, 1);
  fileLayout->addWidget(browseOverlay_, 2, 2);

  auto* play = new QGroupBox(QStringLiteral("Play control:"), this);
  PlayIn(play, QStringLiteral("Frame #:"),
         {
             .canPlay = [this] { return !videoPath_->text().isEmpty() && sequence_.HasBuffers(); },
             // The data is loaded when playing starts; without it nothing plays.
             .beforeStart =
                 [this] {
                   if (overlayPath_->text().isEmpty()) {
                     ShowMessage("Error AVIT1008: No overlay data file!\n");
                     return false;
                   }
                   return LoadOverlay();
                 },
             .frameShown =
                 [this](int64_t frame) {
                   shownFrame_ = static_cast<int>(frame);
                   emit frameShown(shownFrame_);
                 },
         });

  auto* options = new QGroupBox(QStringLiteral("Display options:"), this);
  components_ = MakeComponentList(options);
  enabled_ = new QCheckBox(QStringLiteral("Enable/Disable Data Overlay:"), options);
  enabled_->setChecked(true);
  const auto& saved = CurrentSettings().OverlayData;
  auto* blocks = new QGridLayout;
  blocks->addWidget(new QLabel(QStringLiteral("One value per block:"), options), 0, 0, 1, 4);
  for (size_t i = 0; i < 8; ++i) {
    values_[i] = new QLineEdit(QString::number(saved[i].Value), options);
    values_[i]->setValidator(new QIntValidator(-128, 127, values_[i]));
    values_[i]->setMaximumWidth(50);
    colours_[i] = new ColourButton(options);
    blocks->addWidget(values_[i], 1 + static_cast<int>(i / 4) * 2, static_cast<int>(i % 4));
    blocks->addWidget(colours_[i], 2 + static_cast<int>(i / 4) * 2, static_cast<int>(i % 4));
  }
  colours_[8] = new ColourButton(options);
  colours_[8]->setText(QStringLiteral("Local grid color:"));
  colours_[9] = new ColourButton(options);
  colours_[9]->setText(QStringLiteral("Vector color"));
  for (size_t i = 0; i < 10; ++i) {
    colours_[i]->setRgb(saved[i].Color);
    connect(colours_[i], &ColourButton::colourChosen, this, &CInfoOverlay::ShowDisplay);
  }
  auto* optionLayout = new QVBoxLayout(options);
  auto* componentRow = new QHBoxLayout;
  componentRow->addWidget(new QLabel(QStringLiteral("Components:"), options));
  componentRow->addWidget(components_, 1);
  optionLayout->addLayout(componentRow);
  optionLayout->addWidget(enabled_);
  optionLayout->addWidget(new QLabel(QStringLiteral("Block colors:"), options));
  optionLayout->addLayout(blocks);
  auto* special = new QHBoxLayout;
  special->addWidget(colours_[8]);
  special->addWidget(colours_[9]);
  optionLayout->addLayout(special);

  exit_ = new QPushButton(QStringLiteral("Exit"), this);

  auto* left = new QVBoxLayout;
  left->addWidget(files);
  left->addWidget(play);
  left->addWidget(previewPanel(), 0, Qt::AlignLeft);
  left->addStretch();
  auto* right = new QVBoxLayout;
  right->addWidget(options);
  right->addStretch();
  right->addWidget(exit_, 0, Qt::AlignRight);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addLayout(right);

  NameWidgets({{browseVideo_, "browseVideo"}, {browseOverlay_, "browseOverlay"}, {exit_, "exit"}});
  NameWidgets({{enabled_, "overlay"}});
  NameNumbered(values_, "value");
  connect(browseVideo_, &QPushButton::clicked, this, &CInfoOverlay::BrowseVideo);
  connect(browseOverlay_, &QPushButton::clicked, this, &CInfoOverlay::BrowseOverlay);
  connect(exit_, &QPushButton::clicked, this, &QDialog::close);
  ShowComponentPicked(components_, sequence_);
  connect(enabled_, &QCheckBox::toggled, this, &CInfoOverlay::ShowDisplay);
  LayOutPicture();
  driver().UpdateControls();
}

void CInfoOverlay::Closing() {
  // The ten entries are kept for the next time.
  const OverlayEntries entries = Entries();
  for (size_t i = 0; i < 10; ++i) CurrentSettings().OverlayData[i] = {entries[i].Value, entries[i].Color};
}

OverlayEntries CInfoOverlay::Entries() const {
  OverlayEntries entries{};
  const auto& saved = CurrentSettings().OverlayData;
  for (size_t i = 0; i < 10; ++i) {
    entries[i].Value = i < 8 ? values_[i]->text().toInt() : saved[i].Value;
    entries[i].Color = colours_[i]->rgb();
  }
  return entries;
}

void CInfoOverlay::BrowseVideo() {
  PickRawFileFor([this](const QString& path, const ImageFormat& format) { ChooseVideo(path, format); });
}

void CInfoOverlay::ChooseVideo(const QString& path, const ImageFormat& format) {
  BeginChoice(path, videoPath_);
  if (!OpenFile(sequence_, path, format, "Error OVLY1000: Image size (%d, %d) not support !\n", components_))
    return;
  format_->setText(QString::fromStdString(FormatLabel(sequence_.Format())));
  shownFrame_ = 1;
  ShowChoice();
}

void CInfoOverlay::BrowseOverlay() {
  const QString path = AskOpenFileName(this, QStringLiteral("Open"), QString(),
                                       QStringLiteral("Text Files(*.txt);;All Files(*)"));
  if (!path.isEmpty()) ChooseOverlay(path);
}

std::optional<std::string> CInfoOverlay::ReadOverlayText(const char* notFound) const {
  const std::string path = overlayPath_->text().toStdString();
  auto file = RawFile::OpenRead(path);
  if (!file || file->Length() > kMaxOverlayFileBytes) {
    ShowMessage(StrFormat(notFound, path.c_str()));
    return std::nullopt;
  }
  std::string text(static_cast<size_t>(std::max<int64_t>(file->Length(), 0)), '\0');
  text.resize(
      static_cast<size_t>(std::max<int64_t>(file->Read(text.data(), static_cast<int64_t>(text.size())), 0)));
  return text;
}

void CInfoOverlay::ChooseOverlay(const QString& path) {
  overlayPath_->setText(path);
  data_ = OverlayData{};
  sequence_.DataFrames = 0;
  // The header is checked at once.
  const auto text = ReadOverlayText("Error OVLY1001: Input file %s not found\n");
  if (!text) return;
  OverlayHeader header;
  if (const auto wrong = OverlayReader(*text).ReadHeader(header)) ShowMessage(*wrong, kPromptCaption);
}

bool CInfoOverlay::LoadOverlay() {
  data_ = OverlayData{};
  sequence_.DataFrames = 0;
  // The video first: without it there is nothing to lay the data over.
  const FrameImage& video = sequence_.Format();
  if (video.ImgWidth == 0 || video.ImgHeight == 0) {
    ShowMessage("Error OVLY1002: Image dimension is not correct!");
    return false;
  }
  const std::string videoPath = videoPath_->text().toStdString();
  const auto videoFile = RawFile::OpenRead(videoPath);
  if (!videoFile) {
    ShowMessage(CannotReadMessage(videoPath, "Error OVLY1003: Input file %s not found\n"));
    return false;
  }
  if (const auto refusal = LessThanOneFrame(videoPath, videoFile->Length(), video)) {
    ShowMessage(*refusal);
    return false;
  }
  // As the file stores them: a Y4M file's by their FRAME lines, deeper samples at their own size.
  const int64_t videoFrames = CountFramesIn(*videoFile, ProbeFrameFile(*videoFile, videoPath).framing,
                                            sequence_.StoredFormat().DataSize);
  const auto text = ReadOverlayText("Error OVLY1004: Input file %s not found\n");
  if (!text) return false;
  OverlayReader reader(*text);
  if (const auto wrong = reader.ReadHeader(data_.header)) {
    ShowMessage(*wrong, kPromptCaption);
    return false;
  }
  std::vector<std::string> warnings;
  const int32_t frames = OverlayFramesToLoad(data_.header.TotalFrames, videoFrames, warnings);
  for (const std::string& warning : warnings) ShowMessage(warning);
  if (const auto wrong = reader.ReadFrames(frames, video.ImgWidth, video.ImgHeight, data_)) {
    ShowMessage(*wrong, kPromptCaption);
    data_ = OverlayData{};
    return false;
  }
  sequence_.DataFrames = std::max(data_.frames, 1);
  return true;
}

void CInfoOverlay::FollowControls(const PlayerControls& c) {
  for (QWidget* w : {static_cast<QWidget*>(videoPath_), static_cast<QWidget*>(overlayPath_),
                     static_cast<QWidget*>(browseVideo_), static_cast<QWidget*>(browseOverlay_)})
    w->setEnabled(c.pathAndBrowse);
}

void CInfoOverlay::ShowDisplay() {
  const OverlayEntries entries = Entries();
  const bool overlay =
      enabled_->isChecked() && data_.frames > 0 && shownFrame_ >= 1 && shownFrame_ <= data_.frames;
  sequence_.Pictures().Read([&](const FrameImage& picture) {
    const int32_t w = picture.ImgWidth, h = picture.ImgHeight;
    if (!picture.Data || w <= 0 || h <= 0) return;
    // The frame as display rows (bottom-up B G R), the data drawn into them.
    const int64_t pitch = DisplayRowPitch(w, true);
    rows_.resize(static_cast<size_t>(pitch * h));
    if (!ConvertToDisplayRGB(*CurrentColourTables(),
                             std::span<const uint8_t>(picture.Data, static_cast<size_t>(3 * int64_t{w} * h)),
                             rows_, w, h, DisplayRowsOptions{.bottomUp = true, .padRows = true}))
      return;
    GridPair grids;
    grids.two.Enabled = 0;
    if (overlay) DrawOverlay(data_, shownFrame_ - 1, entries, rows_, w, h, pitch);
    // The data's block grid stays on every frame, whether the data is drawn or not.
    if (data_.frames > 0)
      grids.one = GridSettings{1, 0, data_.header.BlockWidth, data_.header.BlockHeight, entries[8].Color};
    previewArea()->showFrame(rows_.data(), rows_.size(), w, h,
                             DrawOptions{.yuvData = false, .grids = &grids});
  });
}

std::optional<QSize> CInfoOverlay::PictureSize() const {
  if (!sequence_.HasBuffers()) return std::nullopt;
  return QSize(sequence_.Format().ImgWidth, sequence_.Format().ImgHeight);
}

}  // namespace vx
