#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QGroupBox>
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
  EXPECT_FALSE(Child<QPushButton>(compare, QStringLiteral("valueHistogram"))->isEnabled());
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  {
    FileNameAnswers answers({QString::fromStdString(edited_), QString::fromStdString(other)});
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(compare, QStringLiteral("browse1"))));
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(compare, QStringLiteral("browse2"))));
  }
  ASSERT_EQ(confirm.count, 2);
  EXPECT_TRUE(Child<QPushButton>(compare, QStringLiteral("valueHistogram"))->isEnabled());
  EXPECT_TRUE(Child<QLineEdit>(compare, QStringLiteral("psnr"))->text().startsWith(QStringLiteral("Y :")))
      << Child<QLineEdit>(compare, QStringLiteral("psnr"))->text().toStdString();
  EXPECT_TRUE(Child<QLineEdit>(compare, QStringLiteral("psnr"))
                  ->text()
                  .endsWith(QStringLiteral("U :100.0000   V :100.0000")))
      << Child<QLineEdit>(compare, QStringLiteral("psnr"))->text().toStdString();

  // Frames 1 and 2 with ">", back to 1 with "<"; at frame 1 "<" stays.
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(compare, QStringLiteral("stepForward"))));
  ASSERT_TRUE(WaitUntil([&] {
    return Child<QLineEdit>(compare, QStringLiteral("frameNumber"))->text() == QStringLiteral("1");
  }));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(compare, QStringLiteral("stepForward"))));
  ASSERT_TRUE(WaitUntil([&] {
    return Child<QLineEdit>(compare, QStringLiteral("frameNumber"))->text() == QStringLiteral("2");
  }));
  EXPECT_EQ(Child<QLineEdit>(compare, QStringLiteral("psnr"))->text(),
            QStringLiteral("Y :100.0000     U :100.0000   V :100.0000"));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(compare, QStringLiteral("stepBack"))));
  ASSERT_TRUE(WaitUntil([&] {
    return Child<QLineEdit>(compare, QStringLiteral("frameNumber"))->text() == QStringLiteral("1");
  }));
  EXPECT_EQ(Child<QSlider>(compare, QStringLiteral("slider"))->maximum(), 9) << "the shorter file's frames";

  // Range 1..1 over black: the changed block is painted.
  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(compare, QStringLiteral("range"))));
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(compare, QStringLiteral("low")), QStringLiteral("1")));
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(compare, QStringLiteral("high")), QStringLiteral("1")));
  ASSERT_TRUE(WaitUntil([&] {
    const QImage shot = Child<PreviewArea>(compare, QStringLiteral("preview"))->grab().toImage();
    return qRed(shot.pixel(3, 3)) > 200 && qRed(shot.pixel(30, 30)) < 30;
  })) << "difference colour inside the block, black outside";

  // The block view of block (0, 0), in comparison mode.
  ModalHandler<CBlockEdit> view([](CBlockEdit* block) {
    EXPECT_TRUE(Child<QGroupBox>(*block, "shownImageGroup")->isEnabled()) << "comparison mode";
    EXPECT_TRUE(Child<QPlainTextEdit>(*block, "valueBox1")->toPlainText().contains(QStringLiteral("001")))
        << "differences of 1";
    EXPECT_TRUE(ClickAsUser(DialogButton(block, QDialogButtonBox::Ok)));
  });
  QTest::mouseMove(Child<PreviewArea>(compare, QStringLiteral("preview")), QPoint(4, 4));
  EXPECT_EQ(Child<QLabel>(compare, QStringLiteral("column"))->text(), QStringLiteral("Block Column:0"));
  ASSERT_TRUE(ClickAsUser(Child<PreviewArea>(compare, QStringLiteral("preview")), QPoint(4, 4)));
  EXPECT_EQ(view.count, 1);
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(compare, QStringLiteral("exit"))));
  ASSERT_TRUE(WaitUntil([&] { return compare.isNull(); }));
  EXPECT_EQ(CurrentSettings().DiffDisplayMode, 0) << "settings are written at Start only";
}

TEST_F(CompareWindow, AllComponentsOfAYvuFileAreNamedByTheirOwnComponent) {
  // YV12: the V plane follows the luma. File 2 differs in V only.
  constexpr size_t kLuma = 64 * 48, kFrame = kLuma * 3 / 2;
  std::vector<uint8_t> second = bytes_;
  for (size_t frame = 0; frame < 10; ++frame)
    for (size_t i = 0; i < kLuma / 4; ++i) second[frame * kFrame + kLuma + i] ^= 0x40;
  const std::string other = (dir_ / "other_64x48.yuv").string();
  test::WriteFileBytes(other, second);
  ImageFormat yvu = layout_;
  yvu.ComponentOrder = YVU;
  ScopedCurrentFormat current(yvu);
  QPointer<CYUVCompare> compare = new CYUVCompare;
  compare->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(compare));
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  {
    FileNameAnswers answers({QString::fromStdString(edited_), QString::fromStdString(other)});
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(compare, QStringLiteral("browse1"))));
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(compare, QStringLiteral("browse2"))));
  }
  ASSERT_EQ(confirm.count, 2);
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(compare, QStringLiteral("stepForward"))));
  ASSERT_TRUE(WaitUntil([&] {
    return Child<QLineEdit>(compare, QStringLiteral("frameNumber"))->text() == QStringLiteral("1");
  }));
  const QString text = Child<QLineEdit>(compare, QStringLiteral("psnr"))->text();
  EXPECT_TRUE(text.startsWith(QStringLiteral("Y :100.0000     V :"))) << text.toStdString();
  EXPECT_TRUE(text.endsWith(QStringLiteral("   U :100.0000"))) << text.toStdString();
  EXPECT_FALSE(text.contains(QStringLiteral("V :100.0000"))) << "V is the component that differs";
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(compare, QStringLiteral("exit"))));
  ASSERT_TRUE(WaitUntil([&] { return compare.isNull(); }));
}

}  // namespace
}  // namespace vx::test
