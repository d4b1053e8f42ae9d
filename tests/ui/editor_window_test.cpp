#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTextCursor>
#include <QtTest/QTest>
#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

#include "UiTestSupport.h"
#include "shell/ToolTable.h"
#include "shell/desktop/MainFrame.h"
#include "shell/desktop/ToolRegistry.h"
#include "ui/controls/FormatDialog.h"
#include "ui/display/PreviewArea.h"
#include "ui/editor/BlockEditDialog.h"
#include "ui/editor/ImageEditDialog.h"

namespace vx::test {
namespace {

TEST_F(EditorWindow, AClickedBlockIsEditedAndWrittenIntoTheFile) {
  ScopedCurrentFormat current(layout_);
  QPointer<CImageEdit> editor = new CImageEdit;
  editor->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
  FileNameAnswers answers({QString::fromStdString(edited_)});
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(editor, QStringLiteral("browse"))));
  ASSERT_EQ(confirm.count, 1);
  EXPECT_EQ(Child<QComboBox>(editor, QStringLiteral("components"))->currentText(),
            QStringLiteral("YUV all Componets"));
  EXPECT_EQ(Child<PreviewArea>(editor, QStringLiteral("preview"))->pictureSize(), QSize(64, 48))
      << "the first frame is shown";

  // Two steps with ">": frame 2 is shown, paused.
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(editor, QStringLiteral("stepForward"))));
  ASSERT_TRUE(WaitUntil([&] {
    return Child<QLineEdit>(editor, QStringLiteral("frameNumber"))->text() == QStringLiteral("1");
  }));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(editor, QStringLiteral("stepForward"))));
  ASSERT_TRUE(WaitUntil([&] {
    return Child<QLineEdit>(editor, QStringLiteral("frameNumber"))->text() == QStringLiteral("2");
  }));
  ASSERT_TRUE(WaitUntil([&] { return editor->loop().State() == PlayState::Paused; }));

  // The block under the pointer: column 3, row 2 (x 24..31, y 16..23).
  PreviewArea* preview = Child<PreviewArea>(editor, QStringLiteral("preview"));
  const QPoint at(3 * 8 + 2, 2 * 8 + 5);
  QTest::mouseMove(preview, at);
  EXPECT_EQ(Child<QLabel>(editor, QStringLiteral("column"))->text(), QStringLiteral("Block Column:3"));
  EXPECT_EQ(Child<QLabel>(editor, QStringLiteral("row"))->text(), QStringLiteral("Block Row:2"));
  EXPECT_EQ(preview->outline(), QRect(24, 16, 8, 8));

  // A click opens the block editor; every luma value typed as 200, OK.
  QString luma;
  for (int r = 0; r < 8; ++r) luma += QStringLiteral("200 200 200 200 200 200 200 200 ");
  ModalHandler<CBlockEdit> edit([&](CBlockEdit* block) {
    EXPECT_EQ(Child<QLabel>(*block, "valueLabel1")->text(), QStringLiteral("Y Y Y"));
    for (const auto& [label, box] :
         {std::pair{"valueLabel1", "valueBox1"}, {"valueLabel2", "valueBox2"}, {"valueLabel3", "valueBox3"}})
      EXPECT_TRUE(Child<QLabel>(*block, label)->isVisible() &&
                  Child<QPlainTextEdit>(*block, box)->isVisible())
          << box;
    EXPECT_TRUE(ReplaceText(Child<QPlainTextEdit>(*block, "valueBox1"), luma));
    QTest::mouseMove(Child<PreviewArea>(*block, "pixelPicture"), QPoint(5 * 16 + 3, 1 * 16 + 3));
    EXPECT_EQ(Child<QLabel>(*block, "pixelColumnLabel")->text(), QStringLiteral("Pixel column:5"));
    const QString yuv = Child<QLabel>(*block, "yuvLine")->text();
    EXPECT_TRUE(yuv.startsWith(QStringLiteral("YUV value of this pixle is (200, "))) << yuv.toStdString();
    EXPECT_TRUE(ClickAsUser(DialogButton(block, QDialogButtonBox::Ok)));
  });
  ASSERT_TRUE(ClickAsUser(preview, at));
  ASSERT_EQ(edit.count, 1);
  std::vector<uint8_t> expected = bytes_;
  const size_t frameTwo = 64 * 48 * 3 / 2;
  for (int y = 16; y < 24; ++y)
    for (int x = 24; x < 32; ++x) expected[frameTwo + static_cast<size_t>(y * 64 + x)] = 200;
  EXPECT_EQ(test::ReadFileBytes(edited_), expected) << "frame 2's block, and nothing else";

  // A value above 255: refused with its message, the box stays open, Cancel writes nothing.
  ModalHandler<CBlockEdit> refuse([&](CBlockEdit* block) {
    EXPECT_TRUE(ReplaceText(Child<QPlainTextEdit>(*block, "valueBox1"), QStringLiteral("300")));
    EXPECT_TRUE(ClickAsUser(DialogButton(block, QDialogButtonBox::Ok)));
    EXPECT_TRUE(block->isVisible());
    EXPECT_TRUE(ClickAsUser(DialogButton(block, QDialogButtonBox::Cancel)));
  });
  edit.Do([](CBlockEdit*) {});
  ASSERT_TRUE(ClickAsUser(preview, at));
  EXPECT_EQ(recorder_.Texts().back(),
            "Error BKED1001: Invalid input value: 300.  It cannot be larger than 255 !\n");
  EXPECT_EQ(test::ReadFileBytes(edited_), expected);

  // While playing, a click opens nothing.
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(editor, QStringLiteral("pause"))));
  ASSERT_TRUE(
      WaitUntil([&] { return editor->loop().State() == PlayState::Playing || !editor->WorkerRunning(); }));
  if (editor->WorkerRunning() && editor->loop().State() == PlayState::Playing) {
    const int opened = refuse.count;
    QTest::mouseClick(preview, Qt::LeftButton, {}, at);
    QTest::qWait(60);
    EXPECT_EQ(refuse.count, opened);
  }
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(editor, QStringLiteral("exit"))));
  ASSERT_TRUE(WaitUntil([&] { return editor.isNull(); }));
  EXPECT_EQ(std::filesystem::file_size(edited_), bytes_.size());
}

TEST_F(EditorWindow, AValueAbove255IsTypedIntoATenBitFrameAndWrittenAtFullDepth) {
  // Two frames of yuv420p10le, 64 x 48: every word a value of ten bits.
  ImageFormat tenBits = layout_;
  tenBits.BitsPerSample = 10;
  const std::string path = (dir_ / "deep_64x48.yuv").string();
  constexpr size_t kFrameBytes = 64 * 48 * 3;
  std::vector<uint8_t> bytes(2 * kFrameBytes);
  for (size_t i = 0; i < bytes.size() / 2; ++i) {
    const auto value = static_cast<uint16_t>((i * 29 + 7) % 1024);
    bytes[2 * i] = static_cast<uint8_t>(value);
    bytes[2 * i + 1] = static_cast<uint8_t>(value >> 8);
  }
  test::WriteFileBytes(path, bytes);
  const size_t firstLuma = 2 * (8 * 64 + 8);  // pixel (8, 8): the first of block (1, 1)
  const auto valueThere = static_cast<uint16_t>(bytes[firstLuma] | bytes[firstLuma + 1] << 8);

  QPointer<CImageEdit> editor = new CImageEdit;
  editor->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
  editor->ChooseFile(QString::fromStdString(path), &tenBits);
  ASSERT_EQ(editor->sequence().ShownNumber(), 1);
  PreviewArea* preview = Child<PreviewArea>(editor, QStringLiteral("preview"));
  const QPoint at(8 + 3, 8 + 4);
  QTest::mouseMove(preview, at);
  EXPECT_EQ(preview->outline(), QRect(8, 8, 8, 8));

  // The first number of the luma box, clicked before and typed over: 1000.
  ModalHandler<CBlockEdit> edit([&](CBlockEdit* block) {
    QPlainTextEdit* box = Child<QPlainTextEdit>(*block, "valueBox1");
    const QString first = QStringLiteral(" %1 ").arg(valueThere, 4, 10, QLatin1Char('0'));
    EXPECT_TRUE(box->toPlainText().startsWith(first)) << box->toPlainText().toStdString();
    if (!block->isActiveWindow()) {
      block->activateWindow();
      EXPECT_TRUE(QTest::qWaitForWindowActive(block, 2000));
    }
    EXPECT_TRUE(ClickAsUser(box->viewport(), box->cursorRect(QTextCursor(box->document())).center()));
    EXPECT_EQ(box->textCursor().position(), 0) << "the click put the cursor before the first number";
    for (int i = 0; i < 5; ++i) QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, QStringLiteral(" 1000"));
    QTest::mouseMove(Child<PreviewArea>(*block, "pixelPicture"), QPoint(3, 3));
    const QString yuv = Child<QLabel>(*block, "yuvLine")->text();
    EXPECT_TRUE(yuv.startsWith(QStringLiteral("YUV value of this pixle is (250, "))) << yuv.toStdString();
    EXPECT_TRUE(ClickAsUser(DialogButton(block, QDialogButtonBox::Ok)));
    if (block->isVisible()) {
      ADD_FAILURE() << "the value was refused";
      EXPECT_TRUE(ClickAsUser(DialogButton(block, QDialogButtonBox::Cancel)));
    }
  });
  ASSERT_TRUE(ClickAsUser(preview, at));
  ASSERT_EQ(edit.count, 1);
  std::vector<uint8_t> expected = bytes;
  expected[firstLuma] = 1000 & 0xFF;
  expected[firstLuma + 1] = 1000 >> 8;
  EXPECT_EQ(test::ReadFileBytes(path), expected) << "one sample of frame 1, at ten bits";
  EXPECT_EQ(editor->sequence().Snapshot().bytes[8 * 64 + 8], 250) << "shown as (1000 + 2) >> 2";
  editor->close();
}

TEST(ImageEditor, MenuEntrySizesAndTheDetailToggle) {
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  CMainFrame frame;
  RegisterTools(frame);
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  ASSERT_TRUE(PressShortcut(&frame, QKeySequence(QStringLiteral("Ctrl+E"))));
  QPointer<CImageEdit> editor = qobject_cast<CImageEdit*>(frame.LatestWindow(ToolId("edit")));
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->windowTitle(), QStringLiteral("Edit Images Pixel by Pixel"));
  EXPECT_TRUE(Child<QCheckBox>(editor, QStringLiteral("grid"))->isChecked())
      << "the local grid is on when the window opens";

  // A size no buffer can hold.
  test::TempDir dir;
  const auto clip = dir / "tall.yuv";
  test::WriteFileBytes(clip, std::vector<uint8_t>(size_t{320} * 1400 * 3 / 2, 70));
  ImageFormat huge = test::Layout(YUV_444, YUV, Progressive, Planar, 65535, 65535);
  huge.ImageResolution = kCustomResolution;
  editor->ChooseFile(QString::fromStdString(clip.string()), &huge);
  EXPECT_EQ(recorder.Texts().back(), "Error EDIT1001: Image size (65535, 65535) not support !\n");

  // A picture taller than the screen scrolls, and the toggle hides the details.
  ImageFormat tall = test::Layout(YUV_420, YUV, Progressive, Planar, 320, 1400);
  tall.ImageResolution = kCustomResolution;
  editor->ChooseFile(QString::fromStdString(clip.string()), &tall);
  editor->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
  EXPECT_TRUE(InsideTheScreen(editor));
  EXPECT_TRUE(Child<PreviewArea>(editor, QStringLiteral("preview"))->verticalBar()->isVisible());
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(editor, QStringLiteral("detailsToggle"))));
  EXPECT_EQ(Child<QPushButton>(editor, QStringLiteral("detailsToggle"))->text(),
            QStringLiteral("<--- Display Detailed Controls"));
  EXPECT_FALSE(Child<QPushButton>(editor, QStringLiteral("browse"))->isVisible());
  EXPECT_TRUE(Child<QPushButton>(editor, QStringLiteral("start"))->isVisible()) << "the play controls stay";
  editor->close();
}

TEST(BlockEditor, ComparisonModeIsReadOnlyAndItsRadiosChooseThePicture) {
  BlockRows one = EmptyBlockRows(), two = EmptyBlockRows(), difference = EmptyBlockRows();
  for (int r = 0; r < kBlockSize; ++r) {
    std::fill(one[static_cast<size_t>(r)].first.begin(), one[static_cast<size_t>(r)].first.end(), 90);
    std::fill(two[static_cast<size_t>(r)].first.begin(), two[static_cast<size_t>(r)].first.end(), 100);
    std::fill(difference[static_cast<size_t>(r)].first.begin(),
              difference[static_cast<size_t>(r)].first.end(), 10);
  }
  const ImageFormat layout = test::Layout(YUV_420, YUV, Progressive, Planar, 64, 48);
  CBlockEdit dialog;
  dialog.OpenForCompare(layout, one, two, difference, 0);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  EXPECT_TRUE(Child<QGroupBox>(dialog, "shownImageGroup")->isEnabled()) << "the image choice is offered";
  QPlainTextEdit* numbers = Child<QPlainTextEdit>(dialog, "valueBox1");
  EXPECT_TRUE(numbers->isReadOnly());
  ASSERT_TRUE(ClickAsUser(numbers->viewport()));
  EXPECT_FALSE(numbers->hasFocus()) << "the numbers cannot be edited";
  PreviewArea* picture = Child<PreviewArea>(dialog, "pixelPicture");
  QTest::mouseMove(picture, QPoint(20, 20));
  EXPECT_TRUE(Child<QLabel>(dialog, "rgbLine")->text().startsWith(QStringLiteral("RGB value in image #1 (")));
  const QString selected = Child<QLabel>(dialog, "selectorLine")->text();
  EXPECT_TRUE(selected.startsWith(QStringLiteral("Only compare R component: ("))) << selected.toStdString();
  auto shownLuma = [&] {
    const QImage image = picture->grab().toImage();
    return qGray(image.pixel(40, 40));
  };
  const int first = shownLuma();
  QRadioButton* diffImage = Child<QRadioButton>(dialog, "shownImageRadio3");
  ASSERT_TRUE(ClickAsUser(diffImage));
  EXPECT_TRUE(diffImage->isChecked());
  EXPECT_LT(shownLuma(), first) << "the difference (luma 10) is darker than image 1 (luma 90)";
  ASSERT_TRUE(ClickAsUser(DialogButton(&dialog, QDialogButtonBox::Ok)));
  EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
}  // namespace vx::test
