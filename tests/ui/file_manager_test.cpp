#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest/QTest>

#include "UiTestSupport.h"
#include "model/FileHistory.h"
#include "shell/desktop/FileHistoryDialog.h"
#include "ui/controls/FileNameDialogs.h"

namespace vx::test {
namespace {

TEST(FileManager, ASelectedRowIsReadable) {
  FileHistory().Clear();
  AddToHistory("/clips/a.yuv", ImageFormat{}, kOpened);
  CFileHistory dialog;
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QTreeWidgetItem* row = dialog.list()->topLevelItem(0);
  row->setSelected(true);
  const QRect cell = dialog.list()->visualItemRect(row);
  const QImage shot = dialog.list()->viewport()->grab().toImage();
  const QColor background = shot.pixelColor(cell.right() - 3, cell.center().y());
  EXPECT_LT(background.lightness(), 110) << "a dark highlight under white text";
  FileHistory().Clear();
}

TEST(FileManager, DeletesExactlyTheSelectedRecords) {
  FileHistory().Clear();
  ImageFormat f;
  for (const char* path : {"/c.yuv", "/b.yuv", "/a.yuv"}) AddToHistory(path, f, kOpened);
  int played = 0;
  CFileHistory::SetPlayHandler([&](const CFileHistoryInfo&) { ++played; });
  CFileHistory dialog;
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  ASSERT_EQ(dialog.list()->topLevelItemCount(), 3);
  QWidget* rows = dialog.list()->viewport();
  auto row = [&](int index) {
    return dialog.list()->visualItemRect(dialog.list()->topLevelItem(index)).center();
  };
  auto button = [&](const QString& text) {
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
      if (b->text() == text) return b;
    return static_cast<QPushButton*>(nullptr);
  };
  // Rows 1 and 3 picked with a click and a Ctrl+click.
  ASSERT_TRUE(TakesItsOwnClick(rows, row(0)));
  QTest::mouseClick(rows, Qt::LeftButton, {}, row(0));
  QTest::mouseClick(rows, Qt::LeftButton, Qt::ControlModifier, row(2));
  ASSERT_EQ(dialog.list()->selectedItems().size(), 2);
  ASSERT_TRUE(ClickAsUser(button(QStringLiteral("Open selected file"))));
  EXPECT_EQ(played, 0) << "two rows selected: nothing opens";
  {
    BoxAnswerer yes(QMessageBox::Yes);
    ASSERT_TRUE(ClickAsUser(button(QStringLiteral("Delete selected record"))));
    ASSERT_EQ(yes.texts.size(), 1);
    EXPECT_EQ(yes.captions[0], QStringLiteral("Delete file"));
  }
  const auto records = FileHistory().Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].fileName, "/b.yuv");
  QTest::mouseClick(rows, Qt::LeftButton, {}, row(0));
  ASSERT_TRUE(ClickAsUser(button(QStringLiteral("Open selected file"))));
  EXPECT_EQ(played, 1);
  CFileHistory::SetPlayHandler(nullptr);
  FileHistory().Clear();
}

}  // namespace
}  // namespace vx::test
