#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QtTest/QTest>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "UiTestSupport.h"
#include "image/ColorFormula.h"
#include "model/FileHistory.h"
#include "model/Settings.h"
#include "shell/desktop/FileHistoryDialog.h"
#include "shell/desktop/MainFrame.h"
#include "shell/desktop/ToolRegistry.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/FormatDialog.h"
#include "ui/player/VideoPlayer.h"

namespace vx::test {
namespace {

class PlayerWindow : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = CurrentSettings();
    player_ = new CVideoPlayer;
    // The fixture's own object as context: no report reaches a finished test.
    QObject::connect(player_, &CVideoPlayer::frameShown, &context_,
                     [this](int frame) { frames_.push_back(frame); });
    player_->speedBox()->setText(QStringLiteral("120"));
  }
  void TearDown() override {
    CurrentSettings() = saved_;
    if (!player_) return;
    player_->Exit();
    delete player_.data();
  }
  // Waits until the worker's last reports have been handled.
  void WaitUntilDone() {
    ASSERT_TRUE(
        WaitUntil([&] { return !player_->WorkerRunning() && player_->startButton()->isEnabled(); }, 5000));
    QTest::qWait(30);  // reports posted before the buttons came back may still be queued
  }
  void WaitFor(int frame) {
    ASSERT_TRUE(WaitUntil([&] { return !frames_.empty() && frames_.back() == frame; }, 5000))
        << "waiting for frame " << frame << ", last shown " << (frames_.empty() ? 0 : frames_.back());
  }
  test::TempDir dir_;
  QObject context_;
  ProgramSettings saved_;
  QPointer<CVideoPlayer> player_;
  std::vector<int> frames_;
  RecordingMessageSink recorder_;
  ScopedMessageSink scope_{recorder_};
};

TEST_F(PlayerWindow, SeekStepAndReversePlay) {
  const ImageFormat f = I420Format();
  player_->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "a.yuv", 12))}, &f);
  EXPECT_EQ(player_->componentList()->currentText(), QStringLiteral("YUV all Componets"));
  QTest::mouseClick(player_->stepForwardButton(), Qt::LeftButton);  // starts the worker and shows frame 1
  WaitFor(1);
  EXPECT_EQ(player_->engine().Loop().State(), PlayPaused);
  EXPECT_EQ(player_->pauseButton()->text(), QStringLiteral("Play"));
  QTest::mouseClick(player_->stepBackButton(), Qt::LeftButton);  // at frame 1: only pauses
  QTest::qWait(50);
  EXPECT_EQ(frames_, std::vector<int>{1});
  EXPECT_EQ(player_->engine().Loop().State(), PlayPaused);
  ASSERT_TRUE(player_->engine().Loop().SeekTo(10));
  WaitFor(10);
  EXPECT_EQ(player_->frameNumberBox()->text(), QStringLiteral("10"));
  EXPECT_EQ(player_->slider()->value(), 10);
  EXPECT_EQ(player_->slider()->maximum(), 12);
  frames_.clear();
  QTest::mouseClick(player_->reverseButton(), Qt::LeftButton);
  EXPECT_EQ(player_->reverseButton()->text(), QStringLiteral("Reverse Pause"));
  WaitFor(1);
  ASSERT_TRUE(
      WaitUntil([&] { return player_->engine().Loop().State() == static_cast<int>(PlayPaused); }, 2000));
  EXPECT_EQ(frames_, (std::vector<int>{9, 8, 7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(player_->engine().Sequence().Pictures().FrontBytes()[0], 1) << "frame 1's luma is shown";
  frames_.clear();
  QTest::mouseClick(player_->stepForwardButton(), Qt::LeftButton);
  WaitFor(2);
  QTest::mouseClick(player_->stepBackButton(), Qt::LeftButton);
  WaitFor(1);
  EXPECT_EQ(frames_, (std::vector<int>{2, 1}));
}

TEST_F(PlayerWindow, StopDuringTheFirstOfThreeFilesStartsTheSecond) {
  const ImageFormat f = I420Format();
  player_->speedBox()->setText(QStringLiteral("1"));  // the first file would take a while
  player_->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "a.yuv", 5)),
                        QString::fromStdString(NumberedClip(dir_, "b.yuv", 3)),
                        QString::fromStdString(NumberedClip(dir_, "c.yuv", 3))},
                       &f);
  ASSERT_EQ(recorder_.Texts().size(), 1u);
  EXPECT_EQ(recorder_.Texts()[0],
            "Error PLAY1002:   You have selected 3 YUV files to play. Please make sure they all have the "
            "same format.");
  player_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(player_));
  ASSERT_TRUE(ClickAsUser(player_->startButton()));
  WaitFor(1);
  player_->speedBox()->setText(QStringLiteral("120"));
  ASSERT_TRUE(ClickAsUser(player_->stopButton()));
  ASSERT_TRUE(WaitUntil([&] { return !player_->WorkerRunning() && player_->startButton()->isEnabled(); }));
  EXPECT_EQ(frames_, (std::vector<int>{1, 1, 2, 3, 1, 2, 3})) << "the first file stops, the other two play";
  EXPECT_TRUE(player_->pathBox()->text().endsWith(QStringLiteral("c.yuv")));
  EXPECT_EQ(player_->windowTitle(), player_->pathBox()->text());
  EXPECT_EQ(frames_.back(), 3);
}

TEST_F(PlayerWindow, ComponentsRgbOrderAndMono) {
  const ImageFormat f = I420Format();
  player_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(player_));
  player_->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "a.yuv", 2))}, &f);
  ASSERT_TRUE(ClickAsUser(player_->stepForwardButton()));
  WaitFor(1);
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Loop().State() == PlayPaused; }));
  ASSERT_TRUE(ClickAsUser(player_->stopButton()));
  ASSERT_TRUE(WaitUntil([&] { return !player_->WorkerRunning(); }, 5000));
  // Picked from the list with the mouse after Stop: the frame is drawn again.
  ASSERT_TRUE(PickAsUser(player_->componentList(), 0));
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Sequence().Pictures().FrontBytes().at(1) == 128; }));
  const std::vector<uint8_t> luma = player_->engine().Sequence().Pictures().FrontBytes();
  EXPECT_EQ(luma[0], 1);
  EXPECT_EQ(luma[1], 128) << "Y only: chroma neutral";
  EXPECT_EQ(luma[2], 128);

  // A BGR file: "R Componet only" shows the red samples (the third byte of each pixel).
  ImageFormat bgr = I420Format(4, 2);
  bgr.SamplingFormat = RGB_444;
  bgr.ComponentOrder = BGR;
  bgr.PixelFormat = Packed;
  std::vector<uint8_t> pixels;
  for (int i = 0; i < 8; ++i) pixels.insert(pixels.end(), {10, 20, 250});  // B G R
  test::WriteFileBytes(dir_ / "red.rgb", pixels);
  player_->ChooseFiles({QString::fromStdString((dir_ / "red.rgb").string())}, &bgr);
  EXPECT_EQ(player_->componentList()->itemText(0), QStringLiteral("R Componet only"));
  frames_.clear();
  ASSERT_TRUE(ClickAsUser(player_->stepForwardButton()));
  WaitFor(1);
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Loop().State() == PlayPaused; }));
  ASSERT_TRUE(PickAsUser(player_->componentList(), 0));
  Yuv8 red{};
  RgbToYuvPixel(CurrentColourTables()->formula, {}, 250, 0, 0, red);
  ASSERT_TRUE(WaitUntil([&] {
    const auto shown = player_->engine().Sequence().Pictures().FrontBytes();
    return Yuv8{shown[0], shown[1], shown[2]} == red;
  })) << "the red samples alone, drawn while paused";

  // MONO: grey, component list disabled.
  ImageFormat mono = I420Format(4, 2);
  mono.SamplingFormat = MONO;
  test::WriteFileBytes(dir_ / "grey.y", std::vector<uint8_t>(8, 77));
  player_->ChooseFiles({QString::fromStdString((dir_ / "grey.y").string())}, &mono);
  EXPECT_FALSE(player_->componentList()->isEnabled());
  frames_.clear();
  QTest::mouseClick(player_->stepForwardButton(), Qt::LeftButton);
  WaitFor(1);
  const std::vector<uint8_t> grey = player_->engine().Sequence().Pictures().FrontBytes();
  Yuv8 expected{};
  RgbToYuvPixel(CurrentColourTables()->formula, {}, 77, 77, 77, expected);
  EXPECT_EQ((Yuv8{grey[0], grey[1], grey[2]}), expected);
}

TEST_F(PlayerWindow, RatesAndTheTrailingPartialFrame) {
  EXPECT_EQ(FrameIntervalMs(7), 142);
  EXPECT_EQ(FrameIntervalMs(120), 8);
  EXPECT_EQ(FrameIntervalMs(30), 33);
  const ImageFormat f = I420Format();
  std::string clip = NumberedClip(dir_, "a.yuv", 3);
  {
    std::ofstream tail(clip, std::ios::app | std::ios::binary);
    tail << std::string(10, '\x63');  // 10 bytes of a fourth frame
  }
  player_->SetCommandLine(60, false, nullptr);
  EXPECT_EQ(player_->speedBox()->text(), QStringLiteral("60"));
  player_->ChooseFiles({QString::fromStdString(clip)}, &f);
  QTest::mouseClick(player_->startButton(), Qt::LeftButton);
  WaitUntilDone();
  EXPECT_EQ(frames_, (std::vector<int>{1, 2, 3, 4})) << "the partial fourth frame is shown once";
  EXPECT_EQ(player_->engine().Sequence().CommandLineRate.load(), 0) << "the command-line rate is used once";
  EXPECT_EQ(player_->slider()->maximum(), 3);
  EXPECT_TRUE(player_->startButton()->isEnabled());

  player_->speedBox()->setText(QStringLiteral("121"));
  QTest::mouseClick(player_->startButton(), Qt::LeftButton);
  WaitUntilDone();
  EXPECT_EQ(recorder_.Texts().back(),
            "Error PLAY1007:  Valid value for player speed, must within the range [1,120]");
}

TEST_F(PlayerWindow, TwoPlayersPlayAtOnce) {
  const ImageFormat f = I420Format();
  CVideoPlayer* second = new CVideoPlayer;
  std::vector<int> secondFrames;
  QObject::connect(second, &CVideoPlayer::frameShown, &context_,
                   [&](int frame) { secondFrames.push_back(frame); });
  second->speedBox()->setText(QStringLiteral("120"));
  player_->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "a.yuv", 20))}, &f);
  second->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "b.yuv", 20))}, &f);
  player_->move(0, 0);
  second->move(700, 0);
  player_->show();
  second->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(second));
  ASSERT_TRUE(ClickAsUser(player_->startButton()));
  ASSERT_TRUE(ClickAsUser(second->startButton()));
  EXPECT_TRUE(player_->WorkerRunning() && second->WorkerRunning());
  WaitUntilDone();
  ASSERT_TRUE(WaitUntil([&] { return !second->WorkerRunning() && second->startButton()->isEnabled(); }));
  // The reports may still be on their way when the buttons come back.
  EXPECT_TRUE(WaitUntil([&] { return frames_.size() == 20u && secondFrames.size() == 20u; }, 2000))
      << frames_.size() << " and " << secondFrames.size() << " frames";
  QTest::qWait(20);
  EXPECT_EQ(frames_.size(), 20u);
  EXPECT_EQ(secondFrames.size(), 20u);
  second->Exit();
  delete second;
}

TEST_F(PlayerWindow, FileManagerReplaysWithoutAddingToTheHistory) {
  CMainFrame frame;
  RegisterTools(frame);
  FileHistory().Clear();
  const std::string clip = NumberedClip(dir_, "replay.yuv", 3);
  AddToHistory(clip, I420Format(), kOpened);
  const HistoryTime before = FileHistory().Records()[0].openTime;
  CFileHistory manager;
  manager.list()->topLevelItem(0)->setSelected(true);
  manager.OpenSelected();
  auto* player = qobject_cast<CVideoPlayer*>(frame.LatestWindow(Command::Open));
  ASSERT_NE(player, nullptr);
  EXPECT_TRUE(player->WorkerRunning() || !player->startButton()->isEnabled() || player->ShownFrame() > 0);
  ASSERT_TRUE(WaitUntil([&] { return !player->WorkerRunning() && player->startButton()->isEnabled(); }));
  EXPECT_EQ(player->ShownFrame(), 3);
  ASSERT_EQ(FileHistory().Records().size(), 1u);
  EXPECT_EQ(FileHistory().Records()[0].openTime, before) << "replaying adds no record";
  EXPECT_EQ(CurrentSettings().Format.ImgWidth, 16) << "the record's layout became the current format";
  player->Exit();
  FileHistory().Clear();
}

TEST_F(PlayerWindow, NewSelectionsDuringPlaybackNeverAbort) {
  // Each selection ends the playing worker for good before the buffers change; the
  // worker's own end report must not join it a second time.
  const ImageFormat f = I420Format();
  const QString clip = QString::fromStdString(NumberedClip(dir_, "a.yuv", 40));
  for (int round = 0; round < 300; ++round) {
    player_->ChooseFiles({clip}, &f);
    QTest::mouseClick(player_->startButton(), Qt::LeftButton);
    if (round % 3 == 0) QTest::qWait(1);  // sometimes let reports arrive first
  }
  // A worker that has just played to the end may still have its report on the way.
  ASSERT_TRUE(WaitUntil([&] { return player_->WorkerRunning() || player_->startButton()->isEnabled(); }));
  player_->ChooseFiles({clip}, &f);
  EXPECT_FALSE(player_->WorkerRunning());
  EXPECT_TRUE(recorder_.Texts().empty());
}

TEST_F(PlayerWindow, TheKeyboardSeeksAndAChoiceRedrawsWhilePaused) {
  const ImageFormat f = I420Format();
  player_->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "a.yuv", 12))}, &f);
  player_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(player_));
  // Before playing, the first frame is shown, not a green field.
  std::vector<uint8_t> picture = player_->engine().Sequence().Pictures().FrontBytes();
  ASSERT_FALSE(picture.empty());
  EXPECT_EQ((std::vector<uint8_t>(picture.begin(), picture.begin() + 3)),
            (std::vector<uint8_t>{1, 129, 129}));

  QTest::mouseClick(player_->stepForwardButton(), Qt::LeftButton);
  WaitFor(1);
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Loop().State() == PlayPaused; }));
  // The End key on the slider seeks like a drag.
  player_->slider()->setFocus();
  QTest::keyClick(player_->slider(), Qt::Key_End);
  WaitFor(12);
  EXPECT_EQ(player_->frameNumberBox()->text(), QStringLiteral("12"));
  QTest::keyClick(player_->slider(), Qt::Key_Left);
  WaitFor(11);

  // "Y Componet only" picked with the keyboard while paused: the frame is drawn again at once.
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Loop().State() == PlayPaused; }));
  player_->componentList()->setFocus();
  QTest::keyClick(player_->componentList(), Qt::Key_Home);
  ASSERT_TRUE(WaitUntil([&] {
    const auto bytes = player_->engine().Sequence().Pictures().FrontBytes();
    return bytes.size() > 2 && bytes[0] == 11 && bytes[1] == 128 && bytes[2] == 128;
  })) << "luma only, without another frame";
  EXPECT_EQ(frames_.back(), 11);
}

TEST_F(PlayerWindow, LargePicturesKeepTheWindowOnTheScreen) {
  for (const auto& [w, h] : {std::pair{1920, 1080}, std::pair{3840, 2160}}) {
    const ImageFormat f = I420Format(w, h);
    test::WriteFileBytes(dir_ / "big.yuv", std::vector<uint8_t>(static_cast<size_t>(w) * h * 3 / 2, 80));
    player_->move(150, 60);
    player_->ChooseFiles({QString::fromStdString((dir_ / "big.yuv").string())}, &f);
    player_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(player_));
    EXPECT_TRUE(InsideTheScreen(player_))
        << w << "x" << h << ": " << player_->x() << "," << player_->y() << " " << player_->width() << "x"
        << player_->height() << " on " << player_->screen()->availableGeometry().width() << "x"
        << player_->screen()->availableGeometry().height();
    EXPECT_TRUE(player_->preview()->verticalBar()->isVisible()) << "the picture scrolls instead";
  }
}

TEST_F(PlayerWindow, DrivenStartToFinishWithTheMouse) {
  ScopedCurrentFormat current(I420Format());
  const std::string clip = NumberedClip(dir_, "a.yuv", 30);
  player_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(player_));
  auto click = [&](QWidget* widget) { ASSERT_TRUE(ClickAsUser(widget)); };
  // "Browse...", the file picked, its format confirmed with OK.
  QPushButton* browse = nullptr;
  for (QPushButton* b : player_->findChildren<QPushButton*>())
    if (b->text() == QStringLiteral("Browse...")) browse = b;
  FileNameAnswers answers({QString::fromStdString(clip)});
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  click(browse);
  ASSERT_EQ(confirm.count, 1);
  EXPECT_EQ(player_->pathBox()->text().toStdString(), clip);
  // The speed box, typed into after a click.
  ASSERT_TRUE(TypeAsUser(player_->speedBox(), QStringLiteral("60")));
  click(player_->startButton());
  ASSERT_TRUE(WaitUntil([&] { return !frames_.empty() && frames_.back() >= 3; }));
  click(player_->pauseButton());
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Loop().State() == PlayPaused; }));
  EXPECT_EQ(player_->pauseButton()->text(), QStringLiteral("Play"));
  QTest::qWait(50);  // the last frame's report arrives
  const int paused = frames_.back();
  click(player_->stepForwardButton());
  WaitFor(paused + 1);
  click(player_->stepBackButton());
  WaitFor(paused);
  // A click on the groove right of the thumb moves it a page on, and that frame is shown.
  QSlider* slider = player_->slider();
  QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() - 3, slider->height() / 2));
  ASSERT_TRUE(WaitUntil([&] { return !frames_.empty() && frames_.back() > paused + 1; }));
  EXPECT_EQ(frames_.back(), slider->value());
  click(player_->reverseButton());
  EXPECT_EQ(player_->reverseButton()->text(), QStringLiteral("Reverse Pause"));
  WaitFor(1);
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Loop().State() == PlayPaused; }))
      << "paused at frame 1";
  click(player_->stopButton());
  ASSERT_TRUE(WaitUntil([&] { return !player_->WorkerRunning() && player_->startButton()->isEnabled(); }));
  // The component list, picked with the mouse.
  ASSERT_TRUE(PickAsUser(player_->componentList(), 0));
  EXPECT_EQ(player_->componentList()->currentText(), QStringLiteral("Y Componet only"));
  EXPECT_EQ(player_->engine().Sequence().SpeedRate.load(), 60);
  EXPECT_TRUE(recorder_.Texts().empty());
}

TEST_F(PlayerWindow, EveryControlTakesItsOwnClick) {
  const ImageFormat f = I420Format();
  player_->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "a.yuv", 4))}, &f);
  player_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(player_));
  std::vector<std::pair<const char*, QWidget*>> controls = {
      {"path", player_->pathBox()},      {"Browse", player_->findChild<QPushButton*>()},
      {"speed", player_->speedBox()},    {"components", player_->componentList()},
      {"Start", player_->startButton()}, {"Stop", player_->stopButton()},
      {"Pause", player_->pauseButton()}, {"Reverse", player_->reverseButton()},
      {"<", player_->stepBackButton()},  {">", player_->stepForwardButton()},
      {"slider", player_->slider()},     {"frame number", player_->frameNumberBox()},
  };
  for (QPushButton* b : player_->findChildren<QPushButton*>()) {
    if (b->text() == QStringLiteral("Browse...") || b->text() == QStringLiteral("Exit"))
      controls.push_back({"button", b});
  }
  for (const auto& [name, widget] : controls) {
    ASSERT_NE(widget, nullptr) << name;
    EXPECT_TRUE(TakesItsOwnClick(widget)) << name << " is covered by another widget";
  }
  // Typed with the mouse's focus: the speed box takes a new rate.
  QTest::mouseClick(player_->speedBox(), Qt::LeftButton);
  player_->speedBox()->selectAll();
  QTest::keyClicks(player_->speedBox(), QStringLiteral("25"));
  EXPECT_EQ(player_->engine().Sequence().SpeedRate.load(), 25);
  // "Reverse Pause" fits its button.
  QPushButton* reverse = player_->reverseButton();
  EXPECT_LE(reverse->fontMetrics().horizontalAdvance(QStringLiteral("Reverse Pause")) + 8, reverse->width());
  for (QLabel* label : player_->findChildren<QLabel*>()) {
    if (label->text() != QStringLiteral("Which components to display:")) continue;
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text())) << "the colon shows";
    EXPECT_LE(label->geometry().right(), player_->componentList()->x()) << "the list starts after its label";
  }
}

TEST_F(PlayerWindow, ControlStatesAndCompactMode) {
  const PlayerControls none = ControlsFor(false, PlayStopped);
  EXPECT_TRUE(none.pathAndBrowse);
  EXPECT_FALSE(none.start);
  const PlayerControls playing = ControlsFor(true, Playing);
  EXPECT_STREQ(playing.pauseText, "Pause");
  EXPECT_TRUE(playing.pathAndBrowse);
  EXPECT_FALSE(playing.start);
  EXPECT_FALSE(ControlsFor(true, Seek).stop);
  EXPECT_TRUE(ControlsFor(true, PlayingBackward).unchanged);
  EXPECT_TRUE(ControlsFor(true, PlayStopped).speed);

  player_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(player_));
  EXPECT_EQ(player_->startButton()->geometry(), QRect(400, 42, 50, 20));
  EXPECT_FALSE(player_->startButton()->isEnabled()) << "nothing to play yet";
  // A picture taller than the screen: the preview scrolls and the toggle is offered.
  const ImageFormat tall = I420Format(320, 1400);
  test::WriteFileBytes(dir_ / "tall.yuv", std::vector<uint8_t>(320 * 1400 * 3 / 2, 60));
  player_->ChooseFiles({QString::fromStdString((dir_ / "tall.yuv").string())}, &tall);
  ASSERT_TRUE(ClickAsUser(player_->toggleButton()));
  EXPECT_TRUE(player_->compact());
  EXPECT_EQ(player_->startButton()->geometry(), QRect(160, 4, 40, 20));
  EXPECT_EQ(player_->slider()->geometry(), QRect(320, 4, 120, 20));
  EXPECT_FALSE(player_->pathBox()->isVisible());
  EXPECT_EQ(player_->toggleButton()->text(), QStringLiteral("<--- Display Detailed Controls"));
  EXPECT_EQ(player_->preview()->y(), 50);
  for (QLabel* label : player_->findChildren<QLabel*>()) {
    if (label->isVisible() && label->text() == QStringLiteral("Frame number:")) {
      EXPECT_GE(label->mapTo(player_, QPoint(0, 0)).x(), 0) << "starts inside the window";
    }
  }
  ASSERT_TRUE(ClickAsUser(player_->toggleButton()));
  EXPECT_EQ(player_->preview()->y(), 160);
  EXPECT_TRUE(recorder_.Texts().empty());
}

}  // namespace
}  // namespace vx::test
