#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QPointer>
#include <QtTest/QTest>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "model/Settings.h"
#include "ui/analysis/CompareDialog.h"
#include "ui/controls/FormatDialog.h"
#include "ui/editor/BlockEditDialog.h"

namespace vx::test {
namespace {

class CompareWindow : public EditorWindow {};

TEST_F(CompareWindow, TwoFilesComparedAndABlockOpenedWithTheMouse) {
  // File 2 is file 1 with the luma of the first frame's top-left block off by one.
  std::vector<uint8_t> second = bytes_;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      second[static_cast<size_t>(y * 64 + x)] =
          static_cast<uint8_t>(second[static_cast<size_t>(y * 64 + x)] ^ 1);
  const std::string other = (dir_ / "other_64x48.yuv").string();
  test::WriteFileBytes(other,
                       std::vector<uint8_t>(second.begin(), second.end() - 64 * 48 * 3 / 2));  // 9 frames
  ScopedCurrentFormat current(layout_);
  QPointer<CYUVCompare> compare = new CYUVCompare;
  compare->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(compare));
  EXPECT_FALSE(compare->valueHistogramButton()->isEnabled());
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  {
    FileNameAnswers answers({QString::fromStdString(edited_), QString::fromStdString(other)});
    ASSERT_TRUE(ClickAsUser(compare->browseButton(1)));
    ASSERT_TRUE(ClickAsUser(compare->browseButton(2)));
  }
  ASSERT_EQ(confirm.count, 2);
  EXPECT_TRUE(compare->valueHistogramButton()->isEnabled());
  EXPECT_TRUE(compare->psnrBox()->text().startsWith(QStringLiteral("Y :")))
      << compare->psnrBox()->text().toStdString();
  EXPECT_TRUE(compare->psnrBox()->text().endsWith(QStringLiteral("U :100.0000   V :100.0000")))
      << compare->psnrBox()->text().toStdString();

  // Frames 1 and 2 with ">", back to 1 with "<"; at frame 1 "<" stays.
  ASSERT_TRUE(ClickAsUser(compare->stepForwardButton()));
  ASSERT_TRUE(WaitUntil([&] { return compare->frameNumberBox()->text() == QStringLiteral("1"); }));
  ASSERT_TRUE(ClickAsUser(compare->stepForwardButton()));
  ASSERT_TRUE(WaitUntil([&] { return compare->frameNumberBox()->text() == QStringLiteral("2"); }));
  EXPECT_EQ(compare->psnrBox()->text(), QStringLiteral("Y :100.0000     U :100.0000   V :100.0000"));
  ASSERT_TRUE(ClickAsUser(compare->stepBackButton()));
  ASSERT_TRUE(WaitUntil([&] { return compare->frameNumberBox()->text() == QStringLiteral("1"); }));
  EXPECT_EQ(compare->slider()->maximum(), 9) << "the shorter file's frames";

  // Range 1..1 over black: the changed block is painted.
  ASSERT_TRUE(ClickAsUser(compare->rangeButton()));
  ASSERT_TRUE(TypeAsUser(compare->lowBox(), QStringLiteral("1")));
  ASSERT_TRUE(TypeAsUser(compare->highBox(), QStringLiteral("1")));
  ASSERT_TRUE(WaitUntil([&] {
    const QImage shot = compare->preview()->grab().toImage();
    return qRed(shot.pixel(3, 3)) > 200 && qRed(shot.pixel(30, 30)) < 30;
  })) << "difference colour inside the block, black outside";

  // The block view of block (0, 0), in comparison mode.
  ModalHandler<CBlockEdit> view([](CBlockEdit* block) {
    EXPECT_TRUE(block->comparing());
    EXPECT_TRUE(block->box(0)->toPlainText().contains(QStringLiteral("001"))) << "differences of 1";
    EXPECT_TRUE(ClickAsUser(DialogButton(block, QDialogButtonBox::Ok)));
  });
  QTest::mouseMove(compare->preview(), QPoint(4, 4));
  EXPECT_EQ(compare->columnLabel()->text(), QStringLiteral("Block Column:0"));
  ASSERT_TRUE(ClickAsUser(compare->preview(), QPoint(4, 4)));
  EXPECT_EQ(view.count, 1);
  ASSERT_TRUE(ClickAsUser(compare->exitButton()));
  ASSERT_TRUE(WaitUntil([&] { return compare.isNull(); }));
  EXPECT_EQ(CurrentSettings().DiffDisplayMode, 0) << "settings are written at Start only";
}

}  // namespace
}  // namespace vx::test
