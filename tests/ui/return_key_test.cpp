#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QRadioButton>
#include <QtTest/QTest>
#include <memory>
#include <vector>

#include "UiTestSupport.h"
#include "model/Settings.h"
#include "ui/analysis/CompareDialog.h"
#include "ui/analysis/MotionDialog.h"
#include "ui/analysis/OverlayDialog.h"
#include "ui/analysis/PsnrDialog.h"
#include "ui/editor/ImageEditDialog.h"
#include "ui/player/VideoPlayer.h"
#include "ui/tools/AviDialogs.h"
#include "ui/tools/ComponentDialogs.h"
#include "ui/tools/CompositionDialog.h"
#include "ui/tools/ConverterDialog.h"
#include "ui/tools/TransformDialogs.h"

namespace vx::test {
namespace {

class ReturnKey : public EditorWindow {
 protected:
  void SetUp() override {
    EditorWindow::SetUp();
    saved_ = CurrentSettings();
  }
  void TearDown() override { CurrentSettings() = saved_; }
  ProgramSettings saved_;
};

TEST_F(ReturnKey, InTheCompareWindowsBoxesItOpensNoPicker) {
  ScopedCurrentFormat current(layout_);
  QPointer<CYUVCompare> compare = new CYUVCompare;
  compare->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(compare));
  compare->ChooseFile(1, QString::fromStdString(edited_), layout_);
  FileNameAnswers pickers;  // records any file picker that opens
  QStringList opened;       // and any window that opens over the compare window
  ModalHandler<QDialog> closer([&](QDialog* dialog) {
    opened << QString::fromLatin1(dialog->metaObject()->className());
    dialog->reject();
  });

  QLineEdit* brightness = Child<QLineEdit>(compare, QStringLiteral("brightnessBox"));
  ASSERT_TRUE(ClickAsUser(brightness));
  ASSERT_EQ(QApplication::focusWidget(), brightness);
  QTest::keyClick(brightness, Qt::Key_Return);
  EXPECT_TRUE(pickers.asked.empty()) << "Return in the brightness box opened a file picker";
  EXPECT_TRUE(opened.isEmpty()) << opened.join(QLatin1Char(' ')).toStdString();

  // A value box: Return applies what is typed and opens nothing.
  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(compare, QStringLiteral("range"))));
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(compare, QStringLiteral("low")), QStringLiteral("30")));
  QTest::keyClick(Child<QLineEdit>(compare, QStringLiteral("low")), Qt::Key_Return);
  EXPECT_EQ(CurrentSettings().DiffThreshold[0], 30);
  EXPECT_TRUE(pickers.asked.empty()) << "Return in the threshold box opened a file picker";
  EXPECT_TRUE(opened.isEmpty()) << opened.join(QLatin1Char(' ')).toStdString();
  EXPECT_TRUE(compare->isVisible());
  compare->close();
}

TEST_F(ReturnKey, InThePsnrWindowsFrameBoxItKeepsTheWindowAndTheValue) {
  // Return after typing a frame number must not close the window through its Exit.
  QPointer<CPSNR> psnr = new CPSNR;
  psnr->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(psnr));
  QLineEdit* to = Child<QLineEdit>(psnr, QStringLiteral("toBox"));
  ASSERT_TRUE(TypeAsUser(to, QStringLiteral("7")));
  QTest::keyClick(to, Qt::Key_Return);
  ASSERT_FALSE(psnr.isNull());
  EXPECT_TRUE(psnr->isVisible());
  EXPECT_EQ(to->text(), QStringLiteral("7"));
  delete psnr.data();
}

TEST_F(ReturnKey, NoBrowseButtonIsADefaultButton) {
  std::vector<QPointer<QWidget>> windows = {
      new CYUVConverter,   new CImageCrop,   new CYUVFlip,     new CJoinFile,
      new CYUVPadding,     new CYUVMerge,    new CYUVSeparate, new CYUVComposition,
      new CAVI2YUV,        new CYUV2AVI,     new CPSNR,        new CYUVCompare,
      new CYUVCheckMotion, new CInfoOverlay, new CImageEdit,   new CVideoPlayer};
  for (QWidget* window : windows) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    int browses = 0;
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
      if (button->text() != QStringLiteral("Browse...")) continue;
      ++browses;
      EXPECT_FALSE(button->isDefault()) << window->metaObject()->className();
      EXPECT_FALSE(button->autoDefault()) << window->metaObject()->className();
    }
    EXPECT_GE(browses, 1) << window->metaObject()->className();
    window->close();
  }
  for (QPointer<QWidget>& window : windows) delete window.data();
}

}  // namespace
}  // namespace vx::test
