#include "ui/player/VideoPlayer.h"

#include <QCloseEvent>
#include <QIntValidator>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>
#include <algorithm>

#include "display/FormatLabel.h"
#include "display/PreviewLayout.h"
#include "model/Settings.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "ui/controls/DialogWorker.h"
#include "ui/controls/FileDrops.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/FormatDialog.h"
#include "ui/controls/ScreenFit.h"

namespace vx {
namespace {

constexpr int kOriginX = 28;
constexpr int kDetailedOriginY = 160;
constexpr int kCompactOriginY = 50;
constexpr int kControlWidth = 740;

// The width `button` needs to show `caption` unclipped in its font and style.
int ButtonWidthFor(const QPushButton& button, const QString& caption) {
  QStyleOptionButton option;
  option.initFrom(&button);
  option.text = caption;
  const QSize text = button.fontMetrics().size(Qt::TextShowMnemonic, caption);
  return button.style()->sizeFromContents(QStyle::CT_PushButton, &option, text, &button).width();
}

// The first entry shows every file of the two lists, so no clip is hidden at first.
const QString kPlayFilters = QStringLiteral(
    "All raw video(*.yuv *.rgb *.y *.u *.v *.r *.g *.b *.uyvy *.uynv *.y422 *.iuyv *.yuy2 *.v422 *.yuyv "
    "*.yvyu *.iyu2 *.yv16 *.yv12 *.iyuv *.i420);;"
    "Raw Video(*.yuv *.rgb *.y *.u *.v *.r *.g *.b);;FOURCC format(*.uyvy *.uynv *.y422 *.iuyv *.yuy2 *.uynv "
    "*.v422 *.yuyv *.yvyu *.iyu2 *.yv16 *.yv12 *.iyuv *.i420);;All Files(*)");

}  // namespace

CVideoPlayer::CVideoPlayer(QWidget* parent)
    : PlayingWindow(std::make_unique<PlayerEngine>(), QStringLiteral("Play a YUV Data File"), parent),
      engine_(static_cast<PlayerEngine&>(driver().playback())) {
  ProbeSamplesOf(engine_.Sequence());
  BuildControls();
  PlaceControls();
  LayOutPicture();
  driver().UpdateControls();
}

void CVideoPlayer::BuildControls() {
  loadGroup_ = new QGroupBox(QStringLiteral("Load file:"), this);
  controlsGroup_ = new QGroupBox(QStringLiteral("Play controls:"), this);
  statusGroup_ = new QGroupBox(QStringLiteral("Status:"), this);
  speedGroup_ = new QGroupBox(QStringLiteral("Play Speed:"), this);
  optionsGroup_ = new QGroupBox(QStringLiteral("Options:"), this);
  path_ = new QLineEdit(this);
  browse_ = new QPushButton(QStringLiteral("Browse..."), this);
  AcceptFileDropsAsBrowse(path_, browse_);
  AttachControls(this, {.canPlay = [this] { return !path_->text().isEmpty(); },
                        .nothingToPlay = "Error PLAY1007: No source file to start!\n",
                        .beforeStart =
                            [this] {
                              engine_.Sequence().SetRun(run_);
                              return true;
                            },
                        .frameShown =
                            [this](int64_t frame) {
                              shownFrame_ = static_cast<int>(frame);
                              emit frameShown(shownFrame_);
                            },
                        .itemStarted =
                            [this](const QString& path) {
                              setWindowTitle(path);
                              path_->setText(path);
                            },
                        .itemEnded = [this] { ItemEnded(); }});
  exit_ = new QPushButton(QStringLiteral("Exit"), this);
  formatLabel_ = new QLabel(QStringLiteral("Format:"), this);
  format_ = new QLineEdit(this);
  format_->setReadOnly(true);
  componentLabel_ = new QLabel(QStringLiteral("Which components to display:"), this);
  components_ = new QComboBox(this);
  speed_ = new QLineEdit(QString::number(run_.rate), this);
  speed_->setValidator(new QIntValidator(-999, 9999, speed_));
  speedLabel_ = new QLabel(QStringLiteral("Frames per second"), this);
  MakeDetailsToggle({});
  FillComponentList(components_, YUV_420);

  NameWidgets({{path_, "path"}, {browse_, "browse"}, {format_, "format"}, {speed_, "speed"}});
  NameWidgets({{components_, "components"}, {exit_, "exit"}});
  connect(browse_, &QPushButton::clicked, this, &CVideoPlayer::Browse);
  connect(exit_, &QPushButton::clicked, this, &CVideoPlayer::Exit);
  connect(speed_, &QLineEdit::textChanged, this, [this](const QString& text) { run_.rate = text.toInt(); });
  ShowComponentPicked(components_, engine_.Sequence());
}

void CVideoPlayer::PlaceControls() {
  struct Place {
    QWidget* widget;
    int x, y, w, cx, cy, cw;  // detailed and compact
  };
  PlayControls& c = controls();
  const Place places[] = {
      {c.start(), 400, 42, 50, 160, 4, 40},     {c.stop(), 460, 42, 50, 205, 4, 40},
      {c.pause(), 520, 42, 50, 250, 4, 40},     {c.reverse(), 580, 42, 80, 470, 4, 80},
      {exit_, 680, 42, 50, 555, 4, 40},         {c.stepBack(), 400, 68, 20, 295, 4, 20},
      {c.slider(), 430, 68, 280, 320, 4, 120},  {c.stepForward(), 710, 68, 20, 445, 4, 20},
      {c.frameLabel(), 50, 110, 80, 10, 6, 80}, {c.frameNumber(), 140, 110, 50, 100, 6, 50},
  };
  for (const Place& p : places) {
    if (compact())
      p.widget->setGeometry(p.cx, p.cy, p.cw, 20);
    else
      p.widget->setGeometry(p.x, p.y, p.w, 20);
  }
  // The detailed controls around them.
  loadGroup_->setGeometry(10, 2, 380, 92);
  path_->setGeometry(20, 22, 285, 20);
  browse_->setGeometry(312, 22, 70, 20);
  formatLabel_->setGeometry(20, 50, 50, 20);
  format_->setGeometry(75, 50, 307, 20);
  controlsGroup_->setGeometry(390, 22, 350, 72);
  statusGroup_->setGeometry(10, 94, 190, 44);
  speedGroup_->setGeometry(205, 94, 185, 44);
  speed_->setGeometry(215, 110, 40, 20);
  speedLabel_->setGeometry(260, 110, 120, 20);
  optionsGroup_->setGeometry(390, 94, 350, 44);
  // Labels and captions get the width their text needs in the font in use.
  const int componentText = componentLabel_->fontMetrics().horizontalAdvance(componentLabel_->text()) + 4;
  componentLabel_->setGeometry(400, 110, std::max(175, componentText), 20);
  const int listX = std::max(578, 400 + componentText + 3);
  components_->setGeometry(listX, 110, std::max(120, 733 - listX), 20);
  // The reverse button takes the width its longer caption needs in this font;
  // what lies right of it in its row moves along.
  QPushButton* reverse = c.reverse();
  const int reverseWidth =
      std::max(reverse->width(), ButtonWidthFor(*reverse, QStringLiteral("Reverse Pause")));
  const int shift = std::max(0, reverse->x() + reverseWidth + 5 - exit_->x());
  reverse->resize(reverseWidth, 20);
  exit_->move(exit_->x() + shift, exit_->y());
  if (!compact()) controlsGroup_->resize(controlsGroup_->width() + shift, controlsGroup_->height());
  // The toggle sits right of the controls, clear of the picture's scroll bars.
  detailsToggle()->setGeometry(compact() ? 605 + shift : 560, compact() ? 4 : 1, 180, 20);
  // Labels keep their place but get the width their text needs in this font.
  QLabel* frameLabel = c.frameLabel();
  const int labelWidth = std::max(80, frameLabel->fontMetrics().horizontalAdvance(frameLabel->text()) + 4);
  frameLabel->setGeometry(std::max(2, frameLabel->x() + 80 - labelWidth), frameLabel->y(), labelWidth, 20);
  frameLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  for (QWidget* w :
       {static_cast<QWidget*>(loadGroup_), static_cast<QWidget*>(controlsGroup_),
        static_cast<QWidget*>(statusGroup_), static_cast<QWidget*>(speedGroup_),
        static_cast<QWidget*>(optionsGroup_), static_cast<QWidget*>(path_), static_cast<QWidget*>(browse_),
        static_cast<QWidget*>(formatLabel_), static_cast<QWidget*>(format_), static_cast<QWidget*>(speed_),
        static_cast<QWidget*>(speedLabel_), static_cast<QWidget*>(componentLabel_),
        static_cast<QWidget*>(components_)}) {
    w->setVisible(!compact());
  }
  // The group frames lie beneath every control: they must never take a click.
  for (QGroupBox* group : {loadGroup_, controlsGroup_, statusGroup_, speedGroup_, optionsGroup_})
    group->lower();
}

std::optional<QSize> CVideoPlayer::PictureSize() const {
  const FileListSequence& files = engine_.Sequence();
  if (!files.HasBuffers()) return std::nullopt;
  return QSize(files.Format().ImgWidth, files.Format().ImgHeight);
}

void CVideoPlayer::LayOutPicture() {
  // The controls are placed by hand: so is the preview, below them.
  const int originY = compact() ? kCompactOriginY : kDetailedOriginY;
  const PreviewLayoutResult layout =
      LayoutPreviewOnScreen(this, QPoint(kOriginX, originY), QSize(kControlWidth, originY),
                            PictureSizeAsShown(), kPixelStatusHeight);
  PlacePreview(QPoint(layout.originX, originY), QSize(layout.visibleWidth, layout.visibleHeight));
  // Wide enough for the controls placed by hand, whatever the font made of them.
  const int controlsRight = std::max(detailsToggle()->geometry().right(), exit_->geometry().right()) + 6;
  resize(std::max({layout.dialog.width, 790, controlsRight}), layout.dialog.height);
  FitOnScreen(this);
  ShowDetailsToggle(layout.verticalBarShown);
}

void CVideoPlayer::DetailsToggled() {
  PlaceControls();
  LayOutPicture();
  driver().UpdateControls();
  update();
}

void CVideoPlayer::FollowControls(const PlayerControls& c) {
  path_->setEnabled(c.pathAndBrowse);
  browse_->setEnabled(c.pathAndBrowse);
  speed_->setEnabled(c.speed);
  format_->setText(QString::fromStdString(FormatLabel(engine_.Sequence().Format())));
}

void CVideoPlayer::ShowDisplay() {
  const ProgramSettings& settings = CurrentSettings();
  const GridPair grids{settings.Grid1, settings.Grid2};
  engine_.Sequence().Pictures().Read([&](const FrameImage& display) {
    if (!display.Data || display.ImgWidth <= 0 || display.ImgHeight <= 0) return;
    previewArea()->showFrame(display.Data, static_cast<size_t>(display.DataSize), display.ImgWidth,
                             display.ImgHeight, DrawOptions{.grids = &grids});
  });
}

void CVideoPlayer::AcceptFormat(const ImageFormat& format, bool fromCommandLine) {
  PlayerSequence& files = engine_.Sequence();
  if (!files.SetFormat(format)) {
    ShowMessage(StrFormat(fromCommandLine ? "Error PLAY1004: Image size (%d, %d) not support !\n"
                                          : "Error PLAY1003: Image size (%d, %d) not support !\n",
                          format.ImgWidth, format.ImgHeight));
    return;
  }
  LayOutPicture();
  FillComponentList(components_, format.SamplingFormat);
  components_->setEnabled(components_->count() > 0);
  files.Component = 3;
  show();
  if (!WorkerRunning()) files.LoadFirstPicture();
  driver().RenderWhileIdle();
  driver().UpdateControls();
}

void CVideoPlayer::Browse() {
  ChooseFiles(AskOpenFileNames(this, QStringLiteral("Open YUV files"), QString(), kPlayFilters));
}

void CVideoPlayer::ChooseFiles(const QStringList& chosen, const ImageFormat* format) {
  driver().EndWorker();  // the list and the buffers are about to be replaced
  std::vector<std::string>& files = engine_.Sequence().Files;
  files.clear();
  if (chosen.isEmpty()) return;
  QStringList paths = chosen;
  if (paths.size() > static_cast<int>(kMaxPlayFiles)) {
    ShowMessage(
        StrFormat("Error PLAY1001:  You cannot select more than %d YUV files. Only first %d files are used!",
                  static_cast<int>(kMaxPlayFiles), static_cast<int>(kMaxPlayFiles)));
    paths = paths.mid(0, static_cast<int>(kMaxPlayFiles));
  }
  for (const QString& p : paths) files.push_back(p.toStdString());
  if (paths.size() > 1) {
    ShowMessage(
        StrFormat("Error PLAY1002:   You have selected %d YUV files to play. Please make sure they all have "
                  "the same format.",
                  static_cast<int>(paths.size())));
  }
  setWindowTitle(paths.front());
  path_->setText(paths.front());
  driver().UpdateControls();
  if (format) {
    AcceptFormat(*format, false);
    return;
  }
  CYuvFrmtDlg dialog(this);
  dialog.SetFile(paths.front());
  dialog.SetLeaveOutBmp(true);
  if (dialog.exec() == QDialog::Accepted) AcceptFormat(dialog.format(), false);
}

bool CVideoPlayer::StartFromRequest(const QString& path, bool addToHistory) {
  setWindowTitle(path);
  path_->setText(path);
  driver().EndWorker();
  PlayerSequence& files = engine_.Sequence();
  files.AddToHistoryFlag = addToHistory;
  files.Files = {path.toStdString()};
  ImageFormat format = CurrentSettings().Format;
  format.ImageResolution = kCustomResolution;
  if (!files.SetFormat(format)) {
    ShowMessage(
        StrFormat("Error PLAY1004: Image size (%d, %d) not support !\n", format.ImgWidth, format.ImgHeight));
    return false;
  }
  AcceptFormat(format, true);
  engine_.Loop().StartPlaying();
  driver().Start();
  return true;
}

void CVideoPlayer::SetCommandLine(int rate, bool exitWhenDone, QWidget* mainWindow) {
  if (rate >= 1 && rate <= 120) {
    run_.rate = rate;
    speed_->setText(QString::number(rate));
  }
  exitWhenDone_ = exitWhenDone;
  mainWindow_ = mainWindow;
}

void CVideoPlayer::ItemEnded() {
  if (!exitWhenDone_) return;
  // "-e exit": the player closes, and the program a second later.
  QPointer<QWidget> mainWindow = mainWindow_;
  exitWhenDone_ = false;
  Exit();
  CloseMainWindowLater(mainWindow, 1000);
}

void CVideoPlayer::Exit() {
  driver().Stop();
  driver().EndWorker();
  engine_.Sequence().ReleaseBuffers();
  close();
}

bool CVideoPlayer::StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) {
  SetCommandLine(request.FrameRate, request.ExitWhenDone != 0, mainWindow);
  return StartFromRequest(QString::fromStdString(request.InputName), true);
}

}  // namespace vx
