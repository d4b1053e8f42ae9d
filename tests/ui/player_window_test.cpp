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

#include "PlayerFixture.h"
#include "UiTestSupport.h"
#include "image/ColorFormula.h"
#include "model/FileHistory.h"
#include "model/Settings.h"
#include "shell/ToolTable.h"
#include "shell/desktop/FileHistoryDialog.h"
#include "shell/desktop/MainFrame.h"
#include "shell/desktop/ToolRegistry.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/FormatDialog.h"
#include "ui/player/VideoPlayer.h"

namespace vx::test {
namespace {

class PlayerWindow : public PlayerFixture {};

TEST_F(PlayerWindow, SeekStepAndReversePlay) {
  const ImageFormat f = I420Format();
  player_->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "a.yuv", 12))}, &f);
  EXPECT_EQ(Child<QComboBox>(player_, QStringLiteral("components"))->currentText(),
            QStringLiteral("YUV all Componets"));
  QTest::mouseClick(Child<QPushButton>(player_, QStringLiteral("stepForward")),
                    Qt::LeftButton);  // starts the worker and shows frame 1
  WaitFor(1);
  EXPECT_EQ(player_->engine().Loop().State(), PlayState::Paused);
  EXPECT_EQ(Child<QPushButton>(player_, QStringLiteral("pause"))->text(), QStringLiteral("Play"));
  QTest::mouseClick(Child<QPushButton>(player_, QStringLiteral("stepBack")),
                    Qt::LeftButton);  // at frame 1: only pauses
  QTest::qWait(50);
  EXPECT_EQ(frames_, std::vector<int>{1});
  EXPECT_EQ(player_->engine().Loop().State(), PlayState::Paused);
  ASSERT_TRUE(player_->engine().Loop().SeekTo(10));
  WaitFor(10);
  EXPECT_EQ(Child<QLineEdit>(player_, QStringLiteral("frameNumber"))->text(), QStringLiteral("10"));
  EXPECT_EQ(Child<QSlider>(player_, QStringLiteral("slider"))->value(), 10);
  EXPECT_EQ(Child<QSlider>(player_, QStringLiteral("slider"))->maximum(), 12);
  frames_.clear();
  QTest::mouseClick(Child<QPushButton>(player_, QStringLiteral("reverse")), Qt::LeftButton);
  EXPECT_EQ(Child<QPushButton>(player_, QStringLiteral("reverse"))->text(), QStringLiteral("Reverse Pause"));
  WaitFor(1);
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Loop().State() == PlayState::Paused; }, 2000));
  EXPECT_EQ(frames_, (std::vector<int>{9, 8, 7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(player_->engine().Sequence().Pictures().FrontBytes()[0], 1) << "frame 1's luma is shown";
  frames_.clear();
  QTest::mouseClick(Child<QPushButton>(player_, QStringLiteral("stepForward")), Qt::LeftButton);
  WaitFor(2);
  QTest::mouseClick(Child<QPushButton>(player_, QStringLiteral("stepBack")), Qt::LeftButton);
  WaitFor(1);
  EXPECT_EQ(frames_, (std::vector<int>{2, 1}));
}

TEST_F(PlayerWindow, StopDuringTheFirstOfThreeFilesStartsTheSecond) {
  const ImageFormat f = I420Format();
  Child<QLineEdit>(player_, QStringLiteral("speed"))
      ->setText(QStringLiteral("1"));  // the first file would take a while
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
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(player_, QStringLiteral("start"))));
  WaitFor(1);
  Child<QLineEdit>(player_, QStringLiteral("speed"))->setText(QStringLiteral("120"));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(player_, QStringLiteral("stop"))));
  ASSERT_TRUE(WaitUntil([&] {
    return !player_->WorkerRunning() && Child<QPushButton>(player_, QStringLiteral("start"))->isEnabled();
  }));
  EXPECT_EQ(frames_, (std::vector<int>{1, 1, 2, 3, 1, 2, 3})) << "the first file stops, the other two play";
  EXPECT_TRUE(Child<QLineEdit>(player_, QStringLiteral("path"))->text().endsWith(QStringLiteral("c.yuv")));
  EXPECT_EQ(player_->windowTitle(), Child<QLineEdit>(player_, QStringLiteral("path"))->text());
  EXPECT_EQ(frames_.back(), 3);
}

TEST_F(PlayerWindow, ComponentsRgbOrderAndMono) {
  const ImageFormat f = I420Format();
  player_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(player_));
  player_->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "a.yuv", 2))}, &f);
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(player_, QStringLiteral("stepForward"))));
  WaitFor(1);
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Loop().State() == PlayState::Paused; }));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(player_, QStringLiteral("stop"))));
  ASSERT_TRUE(WaitUntil([&] { return !player_->WorkerRunning(); }, 5000));
  // Picked from the list with the mouse after Stop: the frame is drawn again.
  ASSERT_TRUE(PickAsUser(Child<QComboBox>(player_, QStringLiteral("components")), 0));
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
  EXPECT_EQ(Child<QComboBox>(player_, QStringLiteral("components"))->itemText(0),
            QStringLiteral("R Componet only"));
  frames_.clear();
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(player_, QStringLiteral("stepForward"))));
  WaitFor(1);
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Loop().State() == PlayState::Paused; }));
  ASSERT_TRUE(PickAsUser(Child<QComboBox>(player_, QStringLiteral("components")), 0));
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
  EXPECT_FALSE(Child<QComboBox>(player_, QStringLiteral("components"))->isEnabled());
  frames_.clear();
  QTest::mouseClick(Child<QPushButton>(player_, QStringLiteral("stepForward")), Qt::LeftButton);
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
  EXPECT_EQ(Child<QLineEdit>(player_, QStringLiteral("speed"))->text(), QStringLiteral("60"));
  player_->ChooseFiles({QString::fromStdString(clip)}, &f);
  QTest::mouseClick(Child<QPushButton>(player_, QStringLiteral("start")), Qt::LeftButton);
  WaitUntilDone();
  EXPECT_EQ(frames_, (std::vector<int>{1, 2, 3, 4})) << "the partial fourth frame is shown once";
  EXPECT_EQ(player_->engine().Sequence().Run().rate, 60) << "the command-line rate is the run's";
  EXPECT_EQ(Child<QSlider>(player_, QStringLiteral("slider"))->maximum(), 3);
  EXPECT_TRUE(Child<QPushButton>(player_, QStringLiteral("start"))->isEnabled());

  Child<QLineEdit>(player_, QStringLiteral("speed"))->setText(QStringLiteral("121"));
  QTest::mouseClick(Child<QPushButton>(player_, QStringLiteral("start")), Qt::LeftButton);
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
  Child<QLineEdit>(second, QStringLiteral("speed"))->setText(QStringLiteral("120"));
  player_->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "a.yuv", 20))}, &f);
  second->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "b.yuv", 20))}, &f);
  player_->move(0, 0);
  second->move(700, 0);
  player_->show();
  second->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(second));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(player_, QStringLiteral("start"))));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(second, QStringLiteral("start"))));
  EXPECT_TRUE(player_->WorkerRunning() && second->WorkerRunning());
  WaitUntilDone();
  ASSERT_TRUE(WaitUntil([&] {
    return !second->WorkerRunning() && Child<QPushButton>(second, QStringLiteral("start"))->isEnabled();
  }));
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
  auto* player = qobject_cast<CVideoPlayer*>(frame.LatestWindow(ToolId("play")));
  ASSERT_NE(player, nullptr);
  EXPECT_TRUE(player->WorkerRunning() || !Child<QPushButton>(player, QStringLiteral("start"))->isEnabled() ||
              player->ShownFrame() > 0);
  ASSERT_TRUE(WaitUntil([&] {
    return !player->WorkerRunning() && Child<QPushButton>(player, QStringLiteral("start"))->isEnabled();
  }));
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
    QTest::mouseClick(Child<QPushButton>(player_, QStringLiteral("start")), Qt::LeftButton);
    if (round % 3 == 0) QTest::qWait(1);  // sometimes let reports arrive first
  }
  // A worker that has just played to the end may still have its report on the way.
  ASSERT_TRUE(WaitUntil([&] {
    return player_->WorkerRunning() || Child<QPushButton>(player_, QStringLiteral("start"))->isEnabled();
  }));
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

  QTest::mouseClick(Child<QPushButton>(player_, QStringLiteral("stepForward")), Qt::LeftButton);
  WaitFor(1);
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Loop().State() == PlayState::Paused; }));
  // The End key on the slider seeks like a drag.
  Child<QSlider>(player_, QStringLiteral("slider"))->setFocus();
  QTest::keyClick(Child<QSlider>(player_, QStringLiteral("slider")), Qt::Key_End);
  WaitFor(12);
  EXPECT_EQ(Child<QLineEdit>(player_, QStringLiteral("frameNumber"))->text(), QStringLiteral("12"));
  QTest::keyClick(Child<QSlider>(player_, QStringLiteral("slider")), Qt::Key_Left);
  WaitFor(11);

  // "Y Componet only" picked with the keyboard while paused: the frame is drawn again at once.
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Loop().State() == PlayState::Paused; }));
  Child<QComboBox>(player_, QStringLiteral("components"))->setFocus();
  QTest::keyClick(Child<QComboBox>(player_, QStringLiteral("components")), Qt::Key_Home);
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
    EXPECT_TRUE(Child<PreviewArea>(player_, QStringLiteral("preview"))->verticalBar()->isVisible())
        << "the picture scrolls instead";
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
  EXPECT_EQ(Child<QLineEdit>(player_, QStringLiteral("path"))->text().toStdString(), clip);
  // The speed box, typed into after a click.
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(player_, QStringLiteral("speed")), QStringLiteral("60")));
  click(Child<QPushButton>(player_, QStringLiteral("start")));
  ASSERT_TRUE(WaitUntil([&] { return !frames_.empty() && frames_.back() >= 3; }));
  click(Child<QPushButton>(player_, QStringLiteral("pause")));
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Loop().State() == PlayState::Paused; }));
  EXPECT_EQ(Child<QPushButton>(player_, QStringLiteral("pause"))->text(), QStringLiteral("Play"));
  QTest::qWait(50);  // the last frame's report arrives
  const int paused = frames_.back();
  click(Child<QPushButton>(player_, QStringLiteral("stepForward")));
  WaitFor(paused + 1);
  click(Child<QPushButton>(player_, QStringLiteral("stepBack")));
  WaitFor(paused);
  // A click on the groove right of the thumb moves it a page on, and that frame is shown.
  QSlider* slider = Child<QSlider>(player_, QStringLiteral("slider"));
  QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() - 3, slider->height() / 2));
  ASSERT_TRUE(WaitUntil([&] { return !frames_.empty() && frames_.back() > paused + 1; }));
  EXPECT_EQ(frames_.back(), slider->value());
  click(Child<QPushButton>(player_, QStringLiteral("reverse")));
  EXPECT_EQ(Child<QPushButton>(player_, QStringLiteral("reverse"))->text(), QStringLiteral("Reverse Pause"));
  WaitFor(1);
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Loop().State() == PlayState::Paused; }))
      << "paused at frame 1";
  click(Child<QPushButton>(player_, QStringLiteral("stop")));
  ASSERT_TRUE(WaitUntil([&] {
    return !player_->WorkerRunning() && Child<QPushButton>(player_, QStringLiteral("start"))->isEnabled();
  }));
  // The component list, picked with the mouse.
  ASSERT_TRUE(PickAsUser(Child<QComboBox>(player_, QStringLiteral("components")), 0));
  EXPECT_EQ(Child<QComboBox>(player_, QStringLiteral("components"))->currentText(),
            QStringLiteral("Y Componet only"));
  EXPECT_EQ(player_->engine().Sequence().Run().rate, 60);
  EXPECT_TRUE(recorder_.Texts().empty());
}

TEST_F(PlayerWindow, EveryControlTakesItsOwnClick) {
  const ImageFormat f = I420Format();
  player_->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "a.yuv", 4))}, &f);
  player_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(player_));
  std::vector<std::pair<const char*, QWidget*>> controls = {
      {"path", Child<QLineEdit>(player_, QStringLiteral("path"))},
      {"Browse", player_->findChild<QPushButton*>()},
      {"speed", Child<QLineEdit>(player_, QStringLiteral("speed"))},
      {"components", Child<QComboBox>(player_, QStringLiteral("components"))},
      {"Start", Child<QPushButton>(player_, QStringLiteral("start"))},
      {"Stop", Child<QPushButton>(player_, QStringLiteral("stop"))},
      {"Pause", Child<QPushButton>(player_, QStringLiteral("pause"))},
      {"Reverse", Child<QPushButton>(player_, QStringLiteral("reverse"))},
      {"<", Child<QPushButton>(player_, QStringLiteral("stepBack"))},
      {">", Child<QPushButton>(player_, QStringLiteral("stepForward"))},
      {"slider", Child<QSlider>(player_, QStringLiteral("slider"))},
      {"frame number", Child<QLineEdit>(player_, QStringLiteral("frameNumber"))},
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
  QTest::mouseClick(Child<QLineEdit>(player_, QStringLiteral("speed")), Qt::LeftButton);
  Child<QLineEdit>(player_, QStringLiteral("speed"))->selectAll();
  QTest::keyClicks(Child<QLineEdit>(player_, QStringLiteral("speed")), QStringLiteral("25"));
  EXPECT_EQ(player_->run().rate, 25) << "the next Start plays at the rate typed";
  // "Reverse Pause" fits its button.
  QPushButton* reverse = Child<QPushButton>(player_, QStringLiteral("reverse"));
  EXPECT_LE(reverse->fontMetrics().horizontalAdvance(QStringLiteral("Reverse Pause")) + 8, reverse->width());
  for (QLabel* label : player_->findChildren<QLabel*>()) {
    if (label->text() != QStringLiteral("Which components to display:")) continue;
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text())) << "the colon shows";
    EXPECT_LE(label->geometry().right(), Child<QComboBox>(player_, QStringLiteral("components"))->x())
        << "the list starts after its label";
  }
}

TEST_F(PlayerWindow, ControlStatesAndCompactMode) {
  const PlayerControls none = ControlsFor(false, PlayState::Stopped);
  EXPECT_TRUE(none.pathAndBrowse);
  EXPECT_FALSE(none.start);
  const PlayerControls playing = ControlsFor(true, PlayState::Playing);
  EXPECT_STREQ(playing.pauseText, "Pause");
  EXPECT_TRUE(playing.pathAndBrowse);
  EXPECT_FALSE(playing.start);
  EXPECT_FALSE(ControlsFor(true, PlayState::Seek).stop);
  EXPECT_TRUE(ControlsFor(true, PlayState::PlayingBackward).unchanged);
  EXPECT_TRUE(ControlsFor(true, PlayState::Stopped).speed);

  player_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(player_));
  EXPECT_EQ(Child<QPushButton>(player_, QStringLiteral("start"))->geometry(), QRect(400, 42, 50, 20));
  EXPECT_FALSE(Child<QPushButton>(player_, QStringLiteral("start"))->isEnabled()) << "nothing to play yet";
  // A picture taller than the screen: the preview scrolls and the toggle is offered.
  const ImageFormat tall = I420Format(320, 1400);
  test::WriteFileBytes(dir_ / "tall.yuv", std::vector<uint8_t>(320 * 1400 * 3 / 2, 60));
  player_->ChooseFiles({QString::fromStdString((dir_ / "tall.yuv").string())}, &tall);
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(player_, QStringLiteral("detailsToggle"))));
  EXPECT_TRUE(player_->compact());
  EXPECT_EQ(Child<QPushButton>(player_, QStringLiteral("start"))->geometry(), QRect(160, 4, 40, 20));
  EXPECT_EQ(Child<QSlider>(player_, QStringLiteral("slider"))->geometry(), QRect(320, 4, 120, 20));
  EXPECT_FALSE(Child<QLineEdit>(player_, QStringLiteral("path"))->isVisible());
  EXPECT_EQ(Child<QPushButton>(player_, QStringLiteral("detailsToggle"))->text(),
            QStringLiteral("<--- Display Detailed Controls"));
  EXPECT_EQ(Child<PreviewArea>(player_, QStringLiteral("preview"))->mapTo(player_, QPoint(0, 0)).y(), 50);
  for (QLabel* label : player_->findChildren<QLabel*>()) {
    if (label->isVisible() && label->text() == QStringLiteral("Frame number:")) {
      EXPECT_GE(label->mapTo(player_, QPoint(0, 0)).x(), 0) << "starts inside the window";
    }
  }
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(player_, QStringLiteral("detailsToggle"))));
  EXPECT_EQ(Child<PreviewArea>(player_, QStringLiteral("preview"))->mapTo(player_, QPoint(0, 0)).y(), 160);
  EXPECT_TRUE(recorder_.Texts().empty());
}

}  // namespace
}  // namespace vx::test
