#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QRadioButton>
#include <QSlider>
#include <QStyleOptionViewItem>
#include <QTreeWidget>
#include <QtTest/QTest>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "UiTestSupport.h"
#include "model/FileHistory.h"
#include "model/Settings.h"
#include "shell/desktop/FileHistoryDialog.h"
#include "ui/analysis/CompareDialog.h"
#include "ui/controls/ColourButton.h"
#include "ui/controls/FormatDialog.h"
#include "ui/editor/ImageEditDialog.h"
#include "ui/player/VideoPlayer.h"
#include "ui/tools/AviDialogs.h"
#include "ui/tools/ComponentDialogs.h"
#include "ui/tools/ConverterDialog.h"
#include "ui/tools/TransformDialogs.h"

namespace vx::test {
namespace {

// Controls that must show the state the window is in now, whole and unclipped.
class StaleState : public TransformWindows {
 protected:
  void SetUp() override {
    TransformWindows::SetUp();
    saved_ = CurrentSettings();
  }
  void TearDown() override { CurrentSettings() = saved_; }
  static bool JobDone(JobWindow* window) {
    return !window->WorkerRunning() && Child<QPushButton>(*window, "startButton")->isEnabled();
  }
  ProgramSettings saved_;
};

// The width a push button needs to show `caption` whole in `font`.
int NeededWidth(const QString& caption, const QFont& font) {
  QPushButton probe(caption);
  probe.setFont(font);
  return probe.sizeHint().width();
}

TEST_F(StaleState, PlayerCompactControlsShowReversePauseWhole) {
  // A desktop font larger than the test platform's.
  const QFont savedFont = QApplication::font();
  QFont large = savedFont;
  large.setPointSize(13);
  QApplication::setFont(large);
  {
    QPointer<CVideoPlayer> player = new CVideoPlayer;
    const ImageFormat tall = I420Format(320, 1400);
    test::WriteFileBytes(dir_ / "tall.yuv", std::vector<uint8_t>(320 * 1400 * 3 / 2 * 2, 60));
    player->ChooseFiles({QString::fromStdString((dir_ / "tall.yuv").string())}, &tall);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(player));
    for (int round = 0; round < 2; ++round) {
      if (round == 1) {
        ASSERT_TRUE(ClickAsUser(Child<QPushButton>(player, QStringLiteral("detailsToggle"))));
        ASSERT_TRUE(player->compact());
      }
      QPushButton* reverse = Child<QPushButton>(player, QStringLiteral("reverse"));
      QPushButton* exit = Child<QPushButton>(player, QStringLiteral("exit"));
      EXPECT_GE(reverse->width(), NeededWidth(QStringLiteral("Reverse Pause"), reverse->font()))
          << (player->compact() ? "compact" : "detailed");
      EXPECT_FALSE(reverse->geometry().intersects(exit->geometry()));
      EXPECT_TRUE(TakesItsOwnClick(exit));
      EXPECT_LE(exit->geometry().right(), player->width());
      if (player->compact()) {
        QPushButton* toggle = Child<QPushButton>(player, QStringLiteral("detailsToggle"));
        EXPECT_FALSE(toggle->geometry().intersects(exit->geometry()));
        EXPECT_LE(toggle->geometry().right(), player->width());
      }
    }
    player->Exit();
    delete player.data();
  }
  QApplication::setFont(savedFont);
}

TEST_F(StaleState, ReverseButtonReadsReversePlayOnceReversePlayHasEnded) {
  QPointer<CVideoPlayer> player = new CVideoPlayer;
  Child<QLineEdit>(player, QStringLiteral("speed"))->setText(QStringLiteral("120"));
  const ImageFormat f = I420Format();
  player->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "a.yuv", 8))}, &f);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(player));
  QPushButton* reverse = Child<QPushButton>(player, QStringLiteral("reverse"));
  auto shown = [&] { return Child<QLineEdit>(player, QStringLiteral("frameNumber"))->text(); };

  // Backwards from frame 4 down to frame 1, where reverse play pauses.
  for (int frame = 1; frame <= 4; ++frame) {
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(player, QStringLiteral("stepForward"))));
    ASSERT_TRUE(WaitUntil([&] { return shown() == QString::number(frame); }));
  }
  ASSERT_TRUE(ClickAsUser(reverse));
  EXPECT_EQ(reverse->text(), QStringLiteral("Reverse Pause"));
  ASSERT_TRUE(WaitUntil([&] { return shown() == QStringLiteral("1"); }));
  ASSERT_TRUE(WaitUntil([&] { return player->engine().Loop().State() == PlayState::Paused; }));
  QTest::qWait(30);  // the worker's last reports
  EXPECT_EQ(reverse->text(), QStringLiteral("Reverse Play")) << "at frame 1";

  // Stopped while playing backwards.
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(player, QStringLiteral("stepForward"))));
  ASSERT_TRUE(WaitUntil([&] { return shown() == QStringLiteral("2"); }));
  ASSERT_TRUE(ClickAsUser(reverse));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(player, QStringLiteral("stop"))));
  ASSERT_TRUE(WaitUntil([&] { return !player->WorkerRunning(); }));
  QTest::qWait(30);
  EXPECT_EQ(reverse->text(), QStringLiteral("Reverse Play")) << "after Stop";
  player->Exit();
  delete player.data();
}

TEST_F(StaleState, ReverseButtonReadsReversePlayAfterABadRateStoppedPlayback) {
  QPointer<CVideoPlayer> player = new CVideoPlayer;
  QLineEdit* speed = Child<QLineEdit>(player, QStringLiteral("speed"));
  speed->setText(QStringLiteral("2"));
  const ImageFormat f = I420Format();
  player->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "a.yuv", 6))}, &f);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(player));
  QPushButton* reverse = Child<QPushButton>(player, QStringLiteral("reverse"));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(player, QStringLiteral("start"))));
  ASSERT_TRUE(WaitUntil([&] {
    return Child<QLineEdit>(player, QStringLiteral("frameNumber"))->text() == QStringLiteral("2");
  }));
  ASSERT_TRUE(ClickAsUser(reverse));
  ASSERT_EQ(reverse->text(), QStringLiteral("Reverse Pause"));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(player, QStringLiteral("stop"))));
  ASSERT_TRUE(WaitUntil([&] {
    return !player->WorkerRunning() && Child<QPushButton>(player, QStringLiteral("start"))->isEnabled();
  }));
  // A rate outside 1..120: the next play stops at once.
  ASSERT_TRUE(TypeAsUser(speed, QStringLiteral("500")));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(player, QStringLiteral("start"))));
  ASSERT_TRUE(WaitUntil([&] {
    return !player->WorkerRunning() && Child<QPushButton>(player, QStringLiteral("start"))->isEnabled();
  }));
  QTest::qWait(30);
  ASSERT_FALSE(recorder_.Texts().empty());
  EXPECT_EQ(recorder_.Texts().back(),
            "Error PLAY1007:  Valid value for player speed, must within the range [1,120]");
  EXPECT_EQ(reverse->text(), QStringLiteral("Reverse Play"));
  player->Exit();
  delete player.data();
}

TEST_F(StaleState, CustomizedResolutionShowsItsWholeTitle) {
  CYuvFrmtDlg dialog;
  dialog.SetFile(QString::fromStdString(clip_));
  dialog.Prepare();
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  int width = 0, titleWidth = 0;
  ModalHandler<CCustomizedResolution> look([&](CCustomizedResolution* custom) {
    // A window manager opens a window at its size hint, never below its minimum.
    width = std::max(custom->sizeHint().width(), custom->minimumWidth());
    titleWidth = custom->fontMetrics().horizontalAdvance(custom->windowTitle());
    EXPECT_EQ(custom->windowTitle(), QStringLiteral("Customized Resolution"));
    EXPECT_TRUE(ClickAsUser(DialogButton(custom, QDialogButtonBox::Cancel)));
  });
  ASSERT_TRUE(PickAsUser(Child<QComboBox>(dialog, "resolutionList"), kCustomResolution));
  ASSERT_EQ(look.count, 1);
  // The window manager's frame puts its buttons beside the title.
  EXPECT_GE(width, titleWidth + 150);
}

TEST_F(StaleState, FileManagerShowsAWholeResolution) {
  FileHistory().Clear();
  AddToHistory("/clips/hd.yuv", test::Layout(YUV_420, YUV, Progressive, Planar, 1920, 1080), kOpened);
  CFileHistory dialog;
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QTreeWidget* list = dialog.list();
  ASSERT_EQ(list->topLevelItem(0)->text(6), QStringLiteral("1920 x 1080"));
  // What the row's cell needs to show its text whole, as the list's delegate sizes it.
  QStyleOptionViewItem option;
  option.initFrom(list->viewport());
  option.font = list->font();
  option.widget = list;
  const int needed = list->itemDelegate()->sizeHint(option, list->model()->index(0, 6)).width();
  EXPECT_GE(list->columnWidth(6), needed) << "the resolution would be elided";
  FileHistory().Clear();
}

TEST_F(StaleState, FormatLabelsOfWindowsWithoutAFileAreEmpty) {
  std::vector<QPointer<QWidget>> windows = {new CYUVConverter, new CYUVMerge, new CAVI2YUV, new CYUV2AVI};
  for (QWidget* window : windows) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    int labels = 0;
    for (QLabel* label : window->findChildren<QLabel*>()) {
      if (!label->objectName().endsWith(QStringLiteral("Format")) || !label->isVisible()) continue;
      ++labels;
      EXPECT_EQ(label->text(), QString())
          << window->metaObject()->className() << " " << label->objectName().toStdString();
    }
    EXPECT_GE(labels, 1) << window->metaObject()->className();
    window->close();
  }
  for (QPointer<QWidget>& window : windows) delete window.data();
}

TEST_F(StaleState, CropTargetLabelAndProgressFollowTheJob) {
  QPointer<CImageCrop> crop = new CImageCrop;
  crop->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(crop));
  ASSERT_TRUE(crop->ChooseSource(QString::fromStdString(clip_), format_, 3));
  EXPECT_FALSE(Child<QPushButton>(*crop, "pauseButton")->isEnabled()) << "nothing runs that could pause";
  EXPECT_TRUE(Child<QPushButton>(*crop, "startButton")->isEnabled());
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*crop, "widthBox"), QStringLiteral("200")));
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*crop, "heightBox"), QStringLiteral("160")));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*crop, "startButton")));
  ASSERT_TRUE(WaitUntil([&] { return JobDone(crop); }));
  ASSERT_EQ(recorder_.Texts().back(), "Cropping finished!");
  EXPECT_EQ(Child<QLabel>(*crop, "targetFormat")->text(),
            QStringLiteral("YUV 420  200x160 Progressive Planar"));
  QProgressBar* progress = Child<QProgressBar>(*crop, "progressBar");
  EXPECT_EQ(progress->value(), progress->minimum()) << "the finished job's bar";
  EXPECT_FALSE(Child<QPushButton>(*crop, "pauseButton")->isEnabled());

  // A refused start leaves the bar empty too.
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*crop, "fromBox"), QStringLiteral("3")));
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*crop, "toBox"), QStringLiteral("2")));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*crop, "startButton")));
  ASSERT_TRUE(WaitUntil([&] { return JobDone(crop); }));
  EXPECT_EQ(recorder_.Texts().back().substr(0, 15), "Error CROP1003:");
  EXPECT_EQ(progress->value(), progress->minimum());
  crop->close();
}

TEST_F(StaleState, PaddingControlsFollowTheirRadiosAfterAJob) {
  CurrentSettings().PaddedResolutionMode = 0;  // to multiples
  CurrentSettings().Padding_Mode = 0;          // repeat the edges
  CurrentSettings().Padding_Multiple_Width = 16;
  CurrentSettings().Padding_Multiple_Height = 16;
  QPointer<CYUVPadding> pad = new CYUVPadding;
  pad->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(pad));
  const auto odd = dir_ / "odd.yuv";
  test::WriteFileBytes(odd, test::RandomBytes(350 * 286 * 3 / 2 * 2, 8));
  pad->ChooseSource(QString::fromStdString(odd.string()),
                    test::Layout(YUV_420, YUV, Progressive, Planar, 350, 286), 2);
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*pad, "startButton")));
  ASSERT_TRUE(WaitUntil([&] { return JobDone(pad); }));
  ASSERT_EQ(recorder_.Texts().back().substr(0, 17), "Padding finished!");
  EXPECT_TRUE(Child<QLineEdit>(*pad, "multipleWidthBox")->isEnabled());
  EXPECT_TRUE(Child<QLineEdit>(*pad, "multipleHeightBox")->isEnabled());
  EXPECT_FALSE(Child<QLineEdit>(*pad, "paddedWidthBox")->isEnabled()) << "the multiples mode";
  EXPECT_FALSE(Child<QLineEdit>(*pad, "paddedHeightBox")->isEnabled());
  EXPECT_FALSE(Child<ColourButton>(*pad, "colourButton")->isEnabled()) << "the repeat mode";

  // The other radios, another job.
  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(*pad, "explicitRadio")));
  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(*pad, "fillRadio")));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*pad, "startButton")));
  ASSERT_TRUE(WaitUntil([&] { return JobDone(pad); }));
  EXPECT_FALSE(Child<QLineEdit>(*pad, "multipleWidthBox")->isEnabled()) << "the explicit size";
  EXPECT_FALSE(Child<QLineEdit>(*pad, "multipleHeightBox")->isEnabled());
  EXPECT_TRUE(Child<QLineEdit>(*pad, "paddedWidthBox")->isEnabled());
  EXPECT_TRUE(Child<ColourButton>(*pad, "colourButton")->isEnabled()) << "the fill mode";
  pad->close();
}

TEST_F(StaleState, LargePicturesDoNotStretchThePlayControls) {
  const auto big = dir_ / "big.yuv";
  test::WriteFileBytes(big, std::vector<uint8_t>(size_t{1920} * 1080 * 3 / 2, 90));
  const ImageFormat hd = I420Format(1920, 1080);
  ScopedCurrentFormat current(format_);
  QPointer<CYUVCompare> compare = new CYUVCompare;
  QPointer<CImageEdit> editor = new CImageEdit;
  const std::vector<std::pair<QWidget*, std::function<void(const std::string&, const ImageFormat&)>>>
      windows = {
          {compare.data(),
           [&](const std::string& path, const ImageFormat& f) {
             compare->ChooseFile(1, QString::fromStdString(path), f);
           }},
          {editor.data(),
           [&](const std::string& path, const ImageFormat& f) {
             editor->ChooseFile(QString::fromStdString(path), &f);
           }},
      };
  for (const auto& [window, choose] : windows) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    choose(clip_, format_);
    QTest::qWait(30);
    std::vector<int> widths;
    const char* names[] = {"start", "stop", "pause", "reverse", "stepBack", "stepForward", "exit"};
    for (const char* name : names)
      widths.push_back(Child<QPushButton>(window, QString::fromLatin1(name))->width());
    choose(big.string(), hd);
    QTest::qWait(30);
    ASSERT_GT(window->width(), 1000) << "the picture widens the window";
    for (size_t i = 0; i < std::size(names); ++i) {
      // At most the width the button has beside a small picture, or a little more where
      // that was less than the button's own size.
      QPushButton* button = Child<QPushButton>(window, QString::fromLatin1(names[i]));
      EXPECT_LE(button->width(), std::max(widths[i], button->sizeHint().width()) * 5 / 4)
          << window->metaObject()->className() << " " << names[i] << " is stretched";
    }
    window->close();
  }
}

}  // namespace
}  // namespace vx::test
