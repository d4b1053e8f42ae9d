#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QtTest/QTest>
#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "image/ColorFormula.h"
#include "ui/analysis/CompareDialog.h"
#include "ui/analysis/MotionDialog.h"
#include "ui/controls/FormatDialog.h"
#include "ui/display/PreviewArea.h"
#include "ui/editor/BlockEditDialog.h"
#include "ui/editor/ImageEditDialog.h"

namespace vx::test {
namespace {

// A 60-frame 64 x 48 I420 clip whose planes are flat and different in every frame
// (Y 10 + 4n, U n, V 255 - n), so any frame's bytes name it.
class ShownFrameWindows : public EditorWindow {
 protected:
  static constexpr int kFrames = 60;
  static constexpr size_t kFrameSize = 64 * 48 * 3 / 2;
  void SetUp() override {
    EditorWindow::SetUp();
    flat_ = (dir_ / "flat_64x48.yuv").string();
    for (int n = 1; n <= kFrames; ++n) {
      flatBytes_.insert(flatBytes_.end(), 64 * 48, static_cast<uint8_t>(10 + 4 * n));
      flatBytes_.insert(flatBytes_.end(), 32 * 24, static_cast<uint8_t>(n));
      flatBytes_.insert(flatBytes_.end(), 32 * 24, static_cast<uint8_t>(255 - n));
    }
    test::WriteFileBytes(flat_, flatBytes_);
  }
  // Leaves playback stopped or paused at a random moment, as a person's clicks do:
  // Start and Stop, Play and Pause, a step either way, reverse play and its pause.
  template <typename Window>
  void StopSomewhere(Window* window, std::mt19937& random) {
    const auto wait = [&] { QTest::qWait(static_cast<int>(random() % 70)); };
    const bool paused = window->WorkerRunning() && window->loop().State() == PlayState::Paused;
    switch (random() % 5) {
      case 0:
        if (Child<QPushButton>(window, QStringLiteral("start"))->isEnabled()) {
          EXPECT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("start"))));
        } else if (paused) {
          EXPECT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("pause"))));
        }
        wait();
        if (Child<QPushButton>(window, QStringLiteral("stop"))->isEnabled()) {
          EXPECT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("stop"))));
        }
        break;
      case 1:
        if (Child<QPushButton>(window, QStringLiteral("start"))->isEnabled()) {
          EXPECT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("start"))));
        } else if (paused) {
          EXPECT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("pause"))));
        }
        wait();
        if (window->WorkerRunning() && window->loop().State() == PlayState::Playing) {
          EXPECT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("pause"))));
        }
        break;
      case 2:
        EXPECT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("stepForward"))));
        break;
      case 3:
        EXPECT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("stepBack"))));
        break;
      default:
        if (!paused) break;
        EXPECT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("reverse"))));
        wait();
        if (window->WorkerRunning() && window->loop().State() == PlayState::PlayingBackward) {
          EXPECT_TRUE(ClickAsUser(Child<QPushButton>(window, QStringLiteral("reverse"))));
        }
        break;
    }
    ASSERT_TRUE(WaitUntil([&] { return window->FramesStandStill(); }));
    QCoreApplication::processEvents();  // the reports posted before the worker parked
  }
  std::string flat_;
  std::vector<uint8_t> flatBytes_;
};

TEST_F(ShownFrameWindows, EditsLandOnTheFrameShownWhereverPlaybackStops) {
  ScopedCurrentFormat current(layout_);
  QPointer<CImageEdit> editor = new CImageEdit;
  editor->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
  editor->ChooseFile(QString::fromStdString(flat_), &layout_);
  std::vector<uint8_t> model = flatBytes_;
  std::mt19937 random(27);
  int seen = 0;
  ModalHandler<CBlockEdit> edit([&](CBlockEdit*) {});
  for (int round = 0; round < 200; ++round) {
    StopSomewhere(editor.data(), random);
    const int shown = std::max(Child<QLineEdit>(editor, QStringLiteral("frameNumber"))->text().toInt(), 1);
    const QPoint at(static_cast<int>(random() % 64), static_cast<int>(random() % 48));
    const size_t corner = (static_cast<size_t>(shown) - 1) * kFrameSize +
                          static_cast<size_t>(at.y() / 8 * 8 * 64 + at.x() / 8 * 8);
    const int value = static_cast<int>(random() % 256);
    // The block view shows the frame shown; its first number typed over, OK.
    edit.Do([&](CBlockEdit* block) {
      const QString text = Child<QPlainTextEdit>(*block, "valueBox1")->toPlainText();
      EXPECT_EQ(text.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty).toInt(), model[corner])
          << "round " << round << ", frame " << shown;
      EXPECT_TRUE(ReplaceText(Child<QPlainTextEdit>(*block, "valueBox1"), QString::number(value)));
      EXPECT_TRUE(ClickAsUser(DialogButton(block, QDialogButtonBox::Ok)));
    });
    ASSERT_TRUE(ClickAsUser(Child<PreviewArea>(editor, QStringLiteral("preview")), at));
    ASSERT_EQ(edit.count, ++seen) << "round " << round;
    model[corner] = static_cast<uint8_t>(value);
    ASSERT_EQ(test::ReadFileBytes(flat_), model)
        << "round " << round << ": exactly frame " << shown << " changed, in pixel " << at.x() / 8 * 8 << ","
        << at.y() / 8 * 8;
    ASSERT_TRUE(recorder_.Texts().empty()) << recorder_.Texts().front();
  }
  editor->close();
  ASSERT_TRUE(WaitUntil([&] { return editor.isNull(); }));
}

TEST_F(ShownFrameWindows, AMoveIsSavedIntoTheCurrentFrameShownWhereverPlaybackStops) {
  ScopedCurrentFormat current(layout_);
  QPointer<CYUVCheckMotion> motion = new CYUVCheckMotion;
  motion->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(motion));
  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(motion, QStringLiteral("image2"))));
  motion->ChooseFile(QString::fromStdString(flat_), layout_);
  std::vector<uint8_t> model = flatBytes_;
  // What the window holds as the unedited current frame: the file's frame as read
  // when the pair was shown, and the moves made since.
  const auto frameOf = [&](int n) {
    return std::vector<uint8_t>(model.begin() + static_cast<long>((n - 1) * kFrameSize),
                                model.begin() + static_cast<long>(n * kFrameSize));
  };
  std::vector<uint8_t> unedited = frameOf(2);
  int dx = 0;
  QObject::connect(motion.data(), &CYUVCheckMotion::frameShown, [&](int currentFrame) {
    unedited = frameOf(currentFrame);
    dx = 0;
  });
  std::mt19937 random(28);
  PreviewArea* preview = Child<PreviewArea>(motion, QStringLiteral("preview"));
  for (int round = 0; round < 200; ++round) {
    StopSomewhere(motion.data(), random);
    const int shown = Child<QLineEdit>(motion, QStringLiteral("frameNumber"))->text().toInt();
    ASSERT_GE(shown, 2);
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(motion, QStringLiteral("select1"))));
    const QPoint at(static_cast<int>(random() % 64), static_cast<int>(random() % 48));
    QTest::mousePress(preview, Qt::LeftButton, Qt::ControlModifier, at);
    QTest::mouseRelease(preview, Qt::LeftButton, Qt::ControlModifier, at);
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(motion, QStringLiteral("move1"))));
    dx += 4;
    {
      BoxAnswerer ok(QMessageBox::Ok);
      ASSERT_TRUE(ClickAsUser(Child<QPushButton>(motion, QStringLiteral("save"))));
    }
    // The model's move of the unedited frame, written over the frame shown as current.
    BlockSelection selection;
    selection.Reset(64, 48);
    selection.InvertRectangle(at.x() / 8, at.y() / 8, at.x() / 8, at.y() / 8);
    std::vector<uint8_t> from = unedited, to(kFrameSize);
    FrameImage fromFrame, toFrame;
    static_cast<ImageFormat&>(fromFrame) = layout_;
    ComputeFrameSize(fromFrame);
    toFrame = fromFrame;
    fromFrame.Data = from.data();
    fromFrame.Capacity = static_cast<int64_t>(from.size());
    toFrame.Data = to.data();
    toFrame.Capacity = static_cast<int64_t>(to.size());
    ASSERT_TRUE(ApplyMove(fromFrame, toFrame, selection, dx, 0, *CurrentColourTables()));
    std::copy(to.begin(), to.end(), model.begin() + static_cast<long>((shown - 1) * kFrameSize));
    ASSERT_EQ(test::ReadFileBytes(flat_), model)
        << "round " << round << ": exactly frame " << shown << " changed";
    ASSERT_TRUE(recorder_.Texts().empty()) << recorder_.Texts().front();
  }
  motion->close();
  ASSERT_TRUE(WaitUntil([&] { return motion.isNull(); }));
}

TEST_F(ShownFrameWindows, AnEditBeforeStartGoesIntoTheFileJustChosen) {
  ScopedCurrentFormat current(layout_);
  QPointer<CImageEdit> editor = new CImageEdit;
  editor->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
  // File A is played for a while, then file B is chosen with Browse.
  editor->ChooseFile(QString::fromStdString(flat_), &layout_);
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(editor, QStringLiteral("start"))));
  ASSERT_TRUE(WaitUntil(
      [&] { return Child<QLineEdit>(editor, QStringLiteral("frameNumber"))->text().toInt() >= 3; }));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(editor, QStringLiteral("stop"))));
  ASSERT_TRUE(WaitUntil([&] { return !editor->WorkerRunning(); }));
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  {
    FileNameAnswers answers({QString::fromStdString(edited_)});
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(editor, QStringLiteral("browse"))));
  }
  ASSERT_EQ(confirm.count, 1);
  // An edit before Start: B's frame 1 (shown since the choice) changes, A stays as it was.
  ModalHandler<CBlockEdit> edit([&](CBlockEdit* block) {
    EXPECT_EQ(Child<QPlainTextEdit>(*block, "valueBox1")
                  ->toPlainText()
                  .section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty)
                  .toInt(),
              bytes_[8 * 64 + 16]);
    EXPECT_TRUE(ReplaceText(Child<QPlainTextEdit>(*block, "valueBox1"), QStringLiteral("7")));
    EXPECT_TRUE(ClickAsUser(DialogButton(block, QDialogButtonBox::Ok)));
  });
  ASSERT_TRUE(ClickAsUser(Child<PreviewArea>(editor, QStringLiteral("preview")), QPoint(2 * 8 + 3, 8 + 3)));
  ASSERT_EQ(edit.count, 1);
  std::vector<uint8_t> expected = bytes_;
  expected[8 * 64 + 16] = 7;
  EXPECT_EQ(test::ReadFileBytes(edited_), expected);
  EXPECT_EQ(test::ReadFileBytes(flat_), flatBytes_);
  EXPECT_TRUE(recorder_.Texts().empty()) << recorder_.Texts().front();

  // The file replaced under the window (same name, another file): refused, untouched.
  const auto replacement = dir_ / "replacement.yuv";
  test::WriteFileBytes(replacement, expected);
  std::filesystem::rename(replacement, edited_);
  edit.Do([&](CBlockEdit* block) {
    EXPECT_TRUE(ReplaceText(Child<QPlainTextEdit>(*block, "valueBox1"), QStringLiteral("9")));
    EXPECT_TRUE(ClickAsUser(DialogButton(block, QDialogButtonBox::Ok)));
  });
  ASSERT_TRUE(ClickAsUser(Child<PreviewArea>(editor, QStringLiteral("preview")), QPoint(2 * 8 + 3, 8 + 3)));
  ASSERT_EQ(edit.count, 2);
  EXPECT_EQ(recorder_.Texts().back(), "Error EDIT1007: File " + edited_ +
                                          " is no longer the file shown (it was replaced, or its length "
                                          "changed); frame 1 was not written !\n");
  EXPECT_EQ(test::ReadFileBytes(edited_), expected);
  editor->close();
  ASSERT_TRUE(WaitUntil([&] { return editor.isNull(); }));
}

TEST_F(ShownFrameWindows, BlockViewsOfPlanar420OpenWithoutAMessage) {
  ScopedCurrentFormat current(layout_);
  QPointer<CYUVCompare> compare = new CYUVCompare;
  compare->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(compare));
  compare->ChooseFile(1, QString::fromStdString(flat_), layout_);
  compare->ChooseFile(2, QString::fromStdString(edited_), layout_);
  ModalHandler<CBlockEdit> view(
      [](CBlockEdit* block) { EXPECT_TRUE(ClickAsUser(DialogButton(block, QDialogButtonBox::Ok))); });
  ASSERT_TRUE(ClickAsUser(Child<PreviewArea>(compare, QStringLiteral("preview")), QPoint(20, 20)));
  ASSERT_EQ(view.count, 1);
  compare->close();
  QPointer<CYUVCheckMotion> motion = new CYUVCheckMotion;
  motion->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(motion));
  motion->ChooseFile(QString::fromStdString(flat_), layout_);
  ASSERT_TRUE(ClickAsUser(Child<PreviewArea>(motion, QStringLiteral("preview")), QPoint(20, 20)));
  ASSERT_EQ(view.count, 2);
  motion->close();
  EXPECT_TRUE(recorder_.Texts().empty()) << recorder_.Texts().front();
}

}  // namespace
}  // namespace vx::test
