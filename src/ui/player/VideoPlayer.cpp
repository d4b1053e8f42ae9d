#include "ui/player/VideoPlayer.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QIntValidator>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include "display/FormatLabel.h"
#include "display/PreviewLayout.h"
#include "model/Settings.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "ui/controls/DialogWorker.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/FormatDialog.h"
#include "ui/controls/ScreenFit.h"

namespace vx {
namespace {

constexpr int kOriginX = 28;
constexpr int kDetailedOriginY = 160;
constexpr int kCompactOriginY = 50;
constexpr int kControlWidth = 740;

// The first entry shows every file of the two lists, so no clip is hidden at first.
const QString kPlayFilters = QStringLiteral(
    "All raw video(*.yuv *.rgb *.y *.u *.v *.r *.g *.b *.uyvy *.uynv *.y422 *.iuyv *.yuy2 *.v422 *.yuyv "
    "*.yvyu *.iyu2 *.yv16 *.yv12 *.iyuv *.i420);;"
    "Raw Video(*.yuv *.rgb *.y *.u *.v *.r *.g *.b);;FOURCC format(*.uyvy *.uynv *.y422 *.iuyv *.yuy2 *.uynv "
    "*.v422 *.yuyv *.yvyu *.iyu2 *.yv16 *.yv12 *.iyuv *.i420);;All Files(*)");

}  // namespace

// Hands the worker's reports to the window's thread.
class CVideoPlayer::Observer final : public PlaybackObserver, private WindowReports<CVideoPlayer> {
 public:
  explicit Observer(CVideoPlayer* player) : WindowReports(player) {}
  void ItemStarted(size_t index) override {
    // The list does not change while a worker plays it.
    Post([p = window_, path = QString::fromStdString(window_->engine_.Sequence().Files[index])] {
      p->setWindowTitle(path);
      p->path_->setText(path);
    });
  }
  void FrameCountKnown(int64_t frames) override {
    Post([p = window_, frames] { p->controls_->SetFrameCount(frames); });
  }
  void FrameShown(int64_t frame) override {
    Post([p = window_, frame] {
      p->shownFrame_ = static_cast<int>(frame);
      p->controls_->FrameShown(frame);
      p->ShowDisplay();
      emit p->frameShown(static_cast<int>(frame));
    });
  }
  void ControlsChanged() override {
    Post([p = window_] { p->UpdateControls(); });
  }
  void FrameRendered() override {
    Post([p = window_] { p->ShowDisplay(); });
  }
  void ItemEnded(size_t) override {
    Post([p = window_] {
      if (!p->exitWhenDone_) return;
      // "-e exit": the player closes, and the program a second later.
      QPointer<QWidget> mainWindow = p->mainWindow_;
      p->exitWhenDone_ = false;
      p->Exit();
      CloseMainWindowLater(mainWindow, 1000);
    });
  }
};

CVideoPlayer::CVideoPlayer(QWidget* parent) : QDialog(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Play a YUV Data File"));
  BuildControls();
  PlaceControls();
  LayOutPicture();
  UpdateControls();
}

CVideoPlayer::~CVideoPlayer() {
  EndWorker();
}

void CVideoPlayer::BuildControls() {
  loadGroup_ = new QGroupBox(QStringLiteral("Load file:"), this);
  controlsGroup_ = new QGroupBox(QStringLiteral("Play controls:"), this);
  statusGroup_ = new QGroupBox(QStringLiteral("Status:"), this);
  speedGroup_ = new QGroupBox(QStringLiteral("Play Speed:"), this);
  optionsGroup_ = new QGroupBox(QStringLiteral("Options:"), this);
  path_ = new QLineEdit(this);
  browse_ = new QPushButton(QStringLiteral("Browse..."), this);
  PlayControls::Hooks hooks;
  hooks.start = [this] { Start(); };
  hooks.stop = [this] { Stop(); };
  hooks.workerRunning = [this] { return worker_.Running(); };
  hooks.controlsChanged = [this] { UpdateControls(); };
  controls_ = new PlayControls(this, engine_.Loop(), std::move(hooks));
  exit_ = new QPushButton(QStringLiteral("Exit"), this);
  formatLabel_ = new QLabel(QStringLiteral("Format:"), this);
  format_ = new QLineEdit(this);
  format_->setReadOnly(true);
  componentLabel_ = new QLabel(QStringLiteral("Which components to display:"), this);
  components_ = new QComboBox(this);
  speed_ = new QLineEdit(QString::number(engine_.Sequence().SpeedRate.load()), this);
  speed_->setValidator(new QIntValidator(-999, 9999, speed_));
  speedLabel_ = new QLabel(QStringLiteral("Frames per second"), this);
  toggle_ = new QPushButton(QStringLiteral("<--- Hide Detailed Controls"), this);
  toggle_->hide();
  preview_ = new PreviewArea(this);
  for (const std::string& text : ComponentListTexts(YUV_420))
    components_->addItem(QString::fromStdString(text));
  components_->setCurrentIndex(3);

  connect(browse_, &QPushButton::clicked, this, &CVideoPlayer::Browse);
  connect(toggle_, &QPushButton::clicked, this, &CVideoPlayer::ToggleDetailedControls);
  connect(exit_, &QPushButton::clicked, this, &CVideoPlayer::Exit);
  connect(speed_, &QLineEdit::textChanged, this,
          [this](const QString& text) { engine_.Sequence().SpeedRate = text.toInt(); });
  connect(components_, &QComboBox::activated, this, [this](int index) {
    engine_.Sequence().Component = index;
    RenderWhileIdle();
  });
}

void CVideoPlayer::RenderWhileIdle() {
  // A running worker owns the frame: it renders the next frame with the new
  // choice, or this one again when paused.
  if (worker_.Running()) {
    engine_.Loop().RequestRender();
    return;
  }
  engine_.Sequence().Render();
  ShowDisplay();
}

void CVideoPlayer::PlaceControls() {
  struct Place {
    QWidget* widget;
    int x, y, w, cx, cy, cw;  // detailed and compact
  };
  PlayControls& c = *controls_;
  const Place places[] = {
      {c.start(), 400, 42, 50, 160, 4, 40},     {c.stop(), 460, 42, 50, 205, 4, 40},
      {c.pause(), 520, 42, 50, 250, 4, 40},     {c.reverse(), 580, 42, 80, 470, 4, 80},
      {exit_, 680, 42, 50, 555, 4, 40},         {c.stepBack(), 400, 68, 20, 295, 4, 20},
      {c.slider(), 430, 68, 280, 320, 4, 120},  {c.stepForward(), 710, 68, 20, 445, 4, 20},
      {c.frameLabel(), 50, 110, 80, 10, 6, 80}, {c.frameNumber(), 140, 110, 50, 100, 6, 50},
  };
  for (const Place& p : places) {
    if (compact_)
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
  QPushButton* reverse = controls_->reverse();
  const int reverseText = reverse->fontMetrics().horizontalAdvance(QStringLiteral("Reverse Pause")) + 12;
  reverse->setGeometry(reverse->x(), reverse->y(),
                       std::clamp(reverseText, reverse->width(), compact_ ? 84 : 98), 20);
  // The toggle sits right of the controls, clear of the picture's scroll bars.
  toggle_->setGeometry(compact_ ? 605 : 560, compact_ ? 4 : 1, 180, 20);
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
    w->setVisible(!compact_);
  }
  // The group frames lie beneath every control: they must never take a click.
  for (QGroupBox* group : {loadGroup_, controlsGroup_, statusGroup_, speedGroup_, optionsGroup_})
    group->lower();
}

void CVideoPlayer::LayOutPicture() {
  const int originY = compact_ ? kCompactOriginY : kDetailedOriginY;
  const FileListSequence& files = engine_.Sequence();
  const QSize picture =
      files.HasBuffers() ? QSize(files.Format().ImgWidth, files.Format().ImgHeight) : QSize(352, 288);
  const PreviewLayoutResult layout =
      LayoutPreviewOnScreen(this, QPoint(kOriginX, originY), QSize(kControlWidth, originY), picture);
  preview_->setGeometryFor(QPoint(layout.originX, originY), QSize(layout.visibleWidth, layout.visibleHeight));
  resize(std::max(layout.dialog.width, 790), layout.dialog.height);
  FitOnScreen(this);
  toggle_->setVisible(layout.verticalBarShown || compact_);
}

void CVideoPlayer::UpdateControls() {
  const PlayerControls c = controls_->Update(!path_->text().isEmpty());
  if (c.unchanged) return;
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
    preview_->showFrame(display.Data, static_cast<size_t>(display.DataSize), display.ImgWidth,
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
  components_->clear();
  const auto texts = ComponentListTexts(format.SamplingFormat);
  for (const std::string& text : texts) components_->addItem(QString::fromStdString(text));
  components_->setEnabled(!texts.empty());
  components_->setCurrentIndex(texts.empty() ? -1 : 3);
  files.Component = 3;
  show();
  if (!worker_.Running()) files.LoadFirstPicture();
  RenderWhileIdle();
  UpdateControls();
}

void CVideoPlayer::Browse() {
  ChooseFiles(AskOpenFileNames(this, QStringLiteral("Open YUV files"), QString(), kPlayFilters));
}

void CVideoPlayer::ChooseFiles(const QStringList& chosen, const ImageFormat* format) {
  EndWorker();  // the list and the buffers are about to be replaced
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
  UpdateControls();
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
  EndWorker();
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
  Start();
  return true;
}

void CVideoPlayer::SetCommandLine(int rate, bool exitWhenDone, QWidget* mainWindow) {
  if (rate >= 1 && rate <= 120) {
    engine_.Sequence().CommandLineRate = rate;
    speed_->setText(QString::number(rate));
  }
  exitWhenDone_ = exitWhenDone;
  mainWindow_ = mainWindow;
}

void CVideoPlayer::Start() {
  engine_.Sequence().SpeedRate = speed_->text().toInt();
  if (path_->text().isEmpty()) {
    ShowMessage("Error PLAY1007: No source file to start!\n");
    return;
  }
  controls_->pause()->setEnabled(true);
  controls_->stepBack()->setEnabled(true);
  controls_->stepForward()->setEnabled(true);
  controls_->start()->setEnabled(false);
  engine_.Loop().StartPlaying();
  StartWorker();
  UpdateControls();
}

void CVideoPlayer::StartWorker() {
  if (worker_.Running()) return;
  engine_.Loop().ClearQuit();
  const bool started = worker_.Start([this]() -> DialogWorker::Completion {
    Observer observer(this);
    engine_.PlayList(observer);
    return [this] { UpdateControls(); };
  });
  if (!started) engine_.Loop().Stop();  // the last run is still being finished
}

void CVideoPlayer::Stop() {
  engine_.Loop().Stop();
  UpdateControls();
  // Stop ends the current file: a worker with further files goes on with the next.
  for (int i = 0; i < 10 && worker_.Running(); ++i) QThread::msleep(5);
}

void CVideoPlayer::PauseClicked() {
  controls_->PauseClicked();
}

void CVideoPlayer::ReverseClicked() {
  controls_->ReverseClicked();
}

void CVideoPlayer::StepForwardClicked() {
  controls_->Step(true);
}

void CVideoPlayer::StepBackwardClicked() {
  controls_->Step(false);
}

void CVideoPlayer::ToggleDetailedControls() {
  compact_ = !compact_;
  toggle_->setText(compact_ ? QStringLiteral("<--- Display Detailed Controls")
                            : QStringLiteral("<--- Hide Detailed Controls"));
  PlaceControls();
  LayOutPicture();
  UpdateControls();
  update();
}

void CVideoPlayer::EndWorker() {
  if (!worker_.Running() && !worker_.Joinable()) return;
  engine_.Loop().Quit();
  worker_.Finish();
}

void CVideoPlayer::Exit() {
  Stop();
  EndWorker();
  engine_.Sequence().ReleaseBuffers();
  close();
}

void CVideoPlayer::closeEvent(QCloseEvent* event) {
  engine_.Loop().Quit();
  if (PutOffCloseWhileRunning(this, worker_, event)) return;
  QDialog::closeEvent(event);
}

bool CVideoPlayer::StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) {
  SetCommandLine(request.FrameRate, request.ExitWhenDone != 0, mainWindow);
  return StartFromRequest(QString::fromStdString(request.InputName), true);
}

}  // namespace vx
