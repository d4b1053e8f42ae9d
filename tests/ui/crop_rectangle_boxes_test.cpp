#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QtTest/QTest>

#include "UiTestSupport.h"
#include "ui/controls/MessageBoxSink.h"
#include "ui/tools/TransformDialogs.h"

namespace vx::test {
namespace {

// The rectangle boxes of the crop window, typed into with real message boxes: a
// box popping up mid-typing would take the keys that follow.
class CropBoxes : public TransformWindows {
 protected:
  void SetUp() override {
    TransformWindows::SetUp();
    crop_ = new CImageCrop;
    crop_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(crop_));
    ASSERT_TRUE(crop_->ChooseSource(QString::fromStdString(clip_), format_, 3));
  }
  void TearDown() override {
    if (crop_) crop_->close();
  }
  QLineEdit* Box(const char* name) { return Child<QLineEdit>(*crop_, name); }
  QPointer<CImageCrop> crop_;
  MessageBoxSink boxes_;
  ScopedMessageSink shown_{boxes_};
  BoxAnswerer answerer_;
  FileNameAnswers pickers_;  // records any file picker that opens
};

TEST_F(CropBoxes, AValueIsCheckedWhenItsEditIsFinishedNeverOnAKeystroke) {
  ASSERT_TRUE(TypeAsUser(Box("heightBox"), QStringLiteral("160")));
  EXPECT_EQ(Box("heightBox")->text(), QStringLiteral("160"));
  EXPECT_TRUE(answerer_.texts.isEmpty()) << "first message: " << answerer_.texts.value(0).toStdString();

  // Moving to the next box finishes the height: taken, the outline follows.
  ASSERT_TRUE(TypeAsUser(Box("leftBox"), QStringLiteral("400")));
  EXPECT_TRUE(answerer_.texts.isEmpty()) << "first message: " << answerer_.texts.value(0).toStdString();
  EXPECT_EQ(crop_->preview()->outline(), QRect(0, 0, 352, 160));

  // A refused value: its message once as the focus leaves, and the box back at its last valid value.
  ASSERT_TRUE(ClickAsUser(Box("widthBox")));
  EXPECT_EQ(answerer_.texts,
            QStringList{QStringLiteral(
                "Error CROP1017:  Crop start column cannot be larger than original image width!\n")});
  EXPECT_EQ(Box("leftBox")->text(), QStringLiteral("0"));
  EXPECT_EQ(crop_->focusWidget(), Box("widthBox")) << "the click still lands in the box clicked";

  // Nothing typed in the next box is lost; Return finishes its edit and opens nothing.
  ASSERT_TRUE(TypeAsUser(Box("widthBox"), QStringLiteral("200")));
  QTest::keyClick(Box("widthBox"), Qt::Key_Return);
  EXPECT_EQ(Box("widthBox")->text(), QStringLiteral("200"));
  EXPECT_EQ(answerer_.texts.size(), 1);
  EXPECT_EQ(crop_->preview()->outline(), QRect(0, 0, 200, 160));
  EXPECT_TRUE(pickers_.asked.empty()) << "Return opened a file picker";
}

TEST_F(CropBoxes, ReturnChecksTheValueAndARefusedOneGoesBack) {
  ASSERT_TRUE(TypeAsUser(Box("heightBox"), QStringLiteral("161")));
  EXPECT_TRUE(answerer_.texts.isEmpty());
  QTest::keyClick(Box("heightBox"), Qt::Key_Return);
  EXPECT_EQ(answerer_.texts,
            QStringList{QStringLiteral("Error CROP1031:  For YUV 420 format, every two vertical neighbor "
                                       "pixels share one U or V value, thus the cropped image height cannot "
                                       "be an odd number !\n")});
  EXPECT_EQ(Box("heightBox")->text(), QStringLiteral("288"));
  EXPECT_EQ(crop_->preview()->outline(), QRect(0, 0, 352, 288));
  // Leaving the box afterwards shows nothing more: the value in it is valid.
  ASSERT_TRUE(ClickAsUser(Box("topBox")));
  EXPECT_EQ(answerer_.texts.size(), 1);
  EXPECT_TRUE(pickers_.asked.empty()) << "Return opened a file picker";
}

TEST_F(CropBoxes, TheWholeRectangleIsStillCheckedAtStart) {
  // Each value is valid on its own; together they leave the picture.
  ASSERT_TRUE(TypeAsUser(Box("leftBox"), QStringLiteral("100")));
  ASSERT_TRUE(TypeAsUser(Box("topBox"), QStringLiteral("20")));
  EXPECT_TRUE(answerer_.texts.isEmpty());
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*crop_, "startButton")));
  ASSERT_TRUE(WaitUntil(
      [&] { return !crop_->WorkerRunning() && Child<QPushButton>(*crop_, "startButton")->isEnabled(); }));
  EXPECT_EQ(answerer_.texts,
            QStringList{QStringLiteral(
                "Error CROP1021:  Base on left column to start, the max width to crop is 252!\n")});
}

}  // namespace
}  // namespace vx::test
