#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPointer>
#include <QtTest/QTest>
#include <array>
#include <vector>

#include "UiTestSupport.h"
#include "image/ColorFormula.h"
#include "ui/analysis/MotionDialog.h"
#include "ui/controls/FormatDialog.h"
#include "ui/display/PreviewArea.h"

namespace vx::test {
namespace {

class MotionWindow : public EditorWindow {};

TEST_F(MotionWindow, BlocksSelectedMovedAndSavedWithTheMouse) {
  ScopedCurrentFormat current(layout_);
  QPointer<CYUVCheckMotion> motion = new CYUVCheckMotion;
  motion->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(motion));
  // One frame is not enough.
  const auto single = dir_ / "single_64x48.yuv";
  test::WriteFileBytes(single, std::vector<uint8_t>(bytes_.begin(), bytes_.begin() + 64 * 48 * 3 / 2));
  motion->ChooseFile(QString::fromStdString(single.string()), layout_);
  EXPECT_EQ(recorder_.Texts().back(), "Error MOTN1002: There is only 1 frames, no need to check motion\n");

  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  {
    FileNameAnswers answers({QString::fromStdString(edited_)});
    ASSERT_TRUE(ClickAsUser(motion->browseButton()));
  }
  EXPECT_EQ(motion->frameNumberBox()->text(), QStringLiteral("2"));
  EXPECT_EQ(motion->imageButton(1)->text(), QStringLiteral("Image of previous frame: #1"));

  // Ctrl + drag over blocks (0, 0)..(1, 1) of the current frame.
  PreviewArea* preview = motion->preview();
  QTest::mouseClick(preview, Qt::LeftButton, Qt::ControlModifier, QPoint(4, 4));
  EXPECT_EQ(recorder_.Texts().back(),
            "You can only be able to select an area when the current frame is displayed. \nSelect \"Image of "
            "current "
            "frame:\" from \"Which image to display:\" greoup box.");
  ASSERT_TRUE(ClickAsUser(motion->imageButton(2)));
  auto drag = [&] {
    QTest::mousePress(preview, Qt::LeftButton, Qt::ControlModifier, QPoint(4, 4));
    QTest::mouseMove(preview, QPoint(12, 12));
    QTest::mouseRelease(preview, Qt::LeftButton, Qt::ControlModifier, QPoint(12, 12));
  };
  drag();
  EXPECT_TRUE(motion->selection().Selected(1, 1));
  drag();
  EXPECT_FALSE(motion->selection().Any()) << "the same rectangle twice deselects it";
  drag();
  // Right twice with step 4.
  ASSERT_TRUE(ClickAsUser(motion->moveButton(1)));
  ASSERT_TRUE(ClickAsUser(motion->moveButton(1)));
  EXPECT_EQ(motion->vectorBox()->text(), QStringLiteral("(8, 0)"));
  const std::vector<uint8_t> moved = motion->sequence().Snapshot().edited;
  const size_t frame = 64 * 48 * 3 / 2;
  ASSERT_EQ(moved.size(), frame);
  for (int y = 0; y < 16; ++y) {
    for (int x = 8; x < 24; ++x)
      ASSERT_EQ(moved[static_cast<size_t>(y * 64 + x)], bytes_[frame + static_cast<size_t>(y * 64 + x - 8)])
          << x << "," << y;
  }
  std::array<uint8_t, 3> grey = FillBytes(*CurrentColourTables(), layout_, RgbColor{128, 128, 128});
  EXPECT_EQ(moved[3 * 64 + 2], grey[0]) << "the vacated pixels are mid-grey";

  // Saved: frame 2 of the file is the moved frame, nothing else changes.
  {
    BoxAnswerer ok(QMessageBox::Ok);
    ASSERT_TRUE(ClickAsUser(motion->saveButton()));
  }
  std::vector<uint8_t> expected = bytes_;
  std::copy(moved.begin(), moved.end(), expected.begin() + static_cast<long>(frame));
  EXPECT_EQ(test::ReadFileBytes(edited_), expected);

  // ">" shows the next pair and drops the move.
  ASSERT_TRUE(ClickAsUser(motion->stepForwardButton()));
  ASSERT_TRUE(WaitUntil([&] { return motion->frameNumberBox()->text() == QStringLiteral("3"); }));
  EXPECT_EQ(motion->vectorBox()->text(), QStringLiteral("(0, 0)"));
  EXPECT_EQ(motion->imageButton(2)->text(), QStringLiteral("Image of current frame:  #3"));
  ASSERT_TRUE(ClickAsUser(motion->exitButton()));
  ASSERT_TRUE(WaitUntil([&] { return motion.isNull(); }));
}

}  // namespace
}  // namespace vx::test
