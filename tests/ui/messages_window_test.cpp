// Messages that only a window gives, reached with the mouse.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QPointer>
#include <QtTest/QTest>
#include <string>

#include "UiTestSupport.h"
#include "ui/controls/FormatDialog.h"
#include "ui/tools/ConverterDialog.h"

namespace vx::test {
namespace {

TEST(MessagesWindow, ABmpTargetForMoreThan10240FramesIsCutTo10240Pictures) {
  test::TempDir dir;
  // 10241 frames of 4 x 2 pixels: one frame more than pictures are made.
  const std::string source = (dir / "many.yuv").string(), target = (dir / "pic.bmp").string();
  test::WriteFileBytes(source, test::RandomBytes(4 * 2 * 3 / 2 * 10241, 8));
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  ScopedCurrentFormat current(I420Format(4, 2));
  QPointer<CYUVConverter> dialog = new CYUVConverter;
  dialog->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
  FileNameAnswers answers({QString::fromStdString(source), QString::fromStdString(target)});
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "sourceBrowseButton")));
  ASSERT_EQ(dialog->toBox()->text(), QStringLiteral("10241"));
  recorder.Clear();
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "targetBrowseButton")));
  EXPECT_EQ(confirm.count, 1) << "a BMP target asks no layout";
  const std::string base = (dir / "pic").string();
  EXPECT_EQ(recorder.Texts(),
            (std::vector<std::string>{
                "Error CONV1015: There are more than 10240 frames, only first 10240 frames are converted to "
                "BMP files\n",
                "A sequence of BMP files will be created, starting from " + base + "_0000.bmp, to " + base +
                    "_10239.bmp.\nClick on Start to begin the conversion"}));
  EXPECT_EQ(dialog->toBox()->text(), QStringLiteral("10240"));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "exitButton")));
  ASSERT_TRUE(WaitUntil([&] { return dialog.isNull(); }));
}

}  // namespace
}  // namespace vx::test
