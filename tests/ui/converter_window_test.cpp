#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QPointer>
#include <QtTest/QTest>
#include <filesystem>
#include <string>

#include "UiTestSupport.h"
#include "model/CommandLine.h"
#include "shell/ToolTable.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/FormatDialog.h"
#include "ui/controls/MessageBoxSink.h"
#include "ui/tools/ConverterDialog.h"

namespace vx::test {
namespace {

class ConverterWindow : public testing::Test {
 protected:
  void SetUp() override {
    source_ = (dir_ / "clip.yuv").string();
    test::WriteFileBytes(source_, test::RandomBytes(64 * 32 * 3 / 2 * kFrames, 4));
    request_.Action = FindAction("convert")->action.number;
    request_.InputName = source_;
    request_.OutputName = (dir_ / "out.uyvy").string();
    request_.OutputFormat = {YUV_422, UYV, Progressive, Packed, 64, 32};
    current_.SamplingFormat = YUV_420;
    current_.ComponentOrder = YUV;
    current_.FieldFormat = Progressive;
    current_.PixelFormat = Planar;
    current_.ImgWidth = 64;
    current_.ImgHeight = 32;
  }
  static constexpr int kFrames = 400;
  test::TempDir dir_;
  std::string source_;
  CommandLineRequest request_;
  ImageFormat current_;
};

TEST_F(ConverterWindow, RunsFromTheCommandLineRequest) {
  BoxAnswerer answerer;
  MessageBoxSink sink;
  ScopedMessageSink scope(sink);
  QPointer<CYUVConverter> dialog = new CYUVConverter;
  dialog->show();
  ASSERT_TRUE(dialog->StartFromRequest(request_, current_));
  EXPECT_FALSE(Child<QPushButton>(*dialog, "startButton")->isEnabled());
  ASSERT_TRUE(WaitUntil([&] { return !dialog->WorkerRunning(); }, 20000));
  ASSERT_TRUE(WaitUntil([&] { return Child<QPushButton>(*dialog, "startButton")->isEnabled(); }, 5000));
  EXPECT_FALSE(Child<QPushButton>(*dialog, "pauseButton")->isEnabled());
  EXPECT_EQ(Child<QPushButton>(*dialog, "pauseButton")->text(), QStringLiteral("Play"));
  EXPECT_EQ(Child<QLineEdit>(*dialog, "frameNumberBox")->text(), QString::number(kFrames));
  EXPECT_EQ(dialog->toBox()->text(), QString::number(kFrames));
  EXPECT_EQ(std::filesystem::file_size(request_.OutputName), 64u * 32 * 2 * kFrames);
  ASSERT_FALSE(answerer.texts.isEmpty());
  EXPECT_EQ(answerer.texts.last(), QStringLiteral("Converting finished!"));
  EXPECT_EQ(dialog->preview()->pictureSize(), QSize(64, 32));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "exitButton")));
  ASSERT_TRUE(WaitUntil([&] { return dialog.isNull(); }));
}

TEST_F(ConverterWindow, TheTargetFormatDialogOpensOnTheTargetName) {
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  QPointer<CYUVConverter> dialog = new CYUVConverter;
  dialog->show();
  const QString target = QString::fromStdString((dir_ / "t_352x288.yuy2").string());
  QString title;
  QStringList samplings;
  int fourcc = -1;
  ModalHandler<CYuvFrmtDlg> handler([&](CYuvFrmtDlg* format) {
    title = format->windowTitle();
    QComboBox* list = Child<QComboBox>(*format, "samplingList");
    for (int i = 0; i < list->count(); ++i) samplings << list->itemText(i);
    fourcc = Child<QComboBox>(*format, "fourccList")->currentIndex();
    format->reject();
  });
  dialog->ChooseTarget(target);
  EXPECT_EQ(title, target);
  EXPECT_FALSE(samplings.contains(QStringLiteral("BMP"))) << samplings.join(QLatin1Char(',')).toStdString();
  EXPECT_EQ(fourcc, 5) << "YUY2 preselected from the name";
  EXPECT_TRUE(recorder.Texts().empty()) << "the target, not yet written, is not read";
  dialog->close();
}

TEST_F(ConverterWindow, ARefusalThatLeavesTheWindowRunningEnablesStop) {
  RecordingMessageSink recorder_;
  ScopedMessageSink scope(recorder_);
  CYUVConverter* dialog = new CYUVConverter;
  dialog->show();
  ASSERT_TRUE(dialog->job().PrepareConversion({.source = request_.InputName,
                                               .target = request_.OutputName,
                                               .sourceFormat = current_,
                                               .targetFormat = request_.OutputFormat.Layout()}));
  // An odd source width cannot become 4:2:2 (CONV1018): the window stays running.
  dialog->job().SourceFormat.ImgWidth = 63;
  dialog->sourceBox()->setText(QString::fromStdString(source_));
  dialog->targetBox()->setText(QString::fromStdString(request_.OutputName));
  QTest::mouseClick(Child<QPushButton>(*dialog, "startButton"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil(
      [&] { return !dialog->WorkerRunning() && Child<QPushButton>(*dialog, "stopButton")->isEnabled(); },
      5000));
  EXPECT_EQ(recorder_.Texts().back().substr(0, 15), "Error CONV1018:");
  EXPECT_FALSE(Child<QPushButton>(*dialog, "startButton")->isEnabled());
  QTest::mouseClick(Child<QPushButton>(*dialog, "stopButton"), Qt::LeftButton);
  EXPECT_TRUE(Child<QPushButton>(*dialog, "startButton")->isEnabled()) << "Stop brings the window back";
  dialog->close();
}

TEST_F(ConverterWindow, PickedTypedPausedAndStoppedWithTheMouse) {
  BoxAnswerer answerer;
  MessageBoxSink sink;
  ScopedMessageSink scope(sink);
  ScopedCurrentFormat current(current_);
  QPointer<CYUVConverter> dialog = new CYUVConverter;
  dialog->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
  // Source and target through their pickers, each format dialog confirmed with OK.
  FileNameAnswers answers({QString::fromStdString(source_), QString::fromStdString(request_.OutputName)});
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "sourceBrowseButton")));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "targetBrowseButton")));
  ASSERT_EQ(confirm.count, 2);
  ASSERT_EQ(answers.asked.size(), 2u);
  EXPECT_EQ(answers.asked[1].question, FileNameQuestion::Save);
  EXPECT_EQ(dialog->sourceBox()->text().toStdString(), source_);
  EXPECT_EQ(dialog->targetBox()->text().toStdString(), request_.OutputName);
  EXPECT_EQ(dialog->job().TargetFormat.SamplingFormat, YUV_422) << "UYVY from the target's name";
  EXPECT_EQ(dialog->toBox()->text(), QString::number(kFrames));

  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*dialog, "fromBox"), QStringLiteral("3")));
  ASSERT_TRUE(TypeAsUser(dialog->toBox(), QStringLiteral("2")));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "startButton")));
  ASSERT_TRUE(WaitUntil(
      [&] { return !dialog->WorkerRunning() && Child<QPushButton>(*dialog, "startButton")->isEnabled(); }));
  ASSERT_EQ(answerer.texts.size(), 1) << answerer.texts.join(QLatin1Char('|')).toStdString();
  EXPECT_EQ(answerer.texts[0],
            QStringLiteral("Error CONV1031:  End frame number cannot be smaller than start frame number!\n"));

  // The target is a FIFO that takes nothing yet: the job is surely running when
  // Pause and Stop are pressed.
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*dialog, "fromBox"), QStringLiteral("1")));
  ASSERT_TRUE(TypeAsUser(dialog->toBox(), QString::number(kFrames)));
  std::filesystem::remove(request_.OutputName);
  HeldFifo held(request_.OutputName);
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "startButton")));
  ASSERT_TRUE(held.WaitForBytes()) << "the job is writing";
  ASSERT_TRUE(WaitUntil([&] { return Child<QPushButton>(*dialog, "stopButton")->isEnabled(); }))
      << "the job's checks passed";
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "pauseButton")));
  EXPECT_EQ(Child<QPushButton>(*dialog, "pauseButton")->text(), QStringLiteral("Play"));
  EXPECT_EQ(dialog->job().RunState.load(), JobState::Paused);
  EXPECT_FALSE(dialog->sourceBox()->isEnabled()) << "the running job's names cannot change";
  EXPECT_FALSE(TakesItsOwnClick(Child<QPushButton>(*dialog, "sourceBrowseButton")) &&
               Child<QPushButton>(*dialog, "sourceBrowseButton")->isEnabled());
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "pauseButton")));
  EXPECT_EQ(Child<QPushButton>(*dialog, "pauseButton")->text(), QStringLiteral("Pause"));
  EXPECT_EQ(dialog->job().RunState.load(), JobState::Running);
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "stopButton")))
      << answerer.texts.join(QLatin1Char('|')).toStdString() << " state " << dialog->job().RunState.load();
  EXPECT_EQ(dialog->job().RunState.load(), JobState::Stopped);
  EXPECT_TRUE(Child<QPushButton>(*dialog, "startButton")->isEnabled());
  held.Release();
  ASSERT_TRUE(WaitUntil([&] { return !dialog->WorkerRunning(); }, 5000));
  QTest::qWait(20);
  EXPECT_EQ(answerer.texts.last(), QStringLiteral("Converting finished!")) << "a stopped job ends normally";
  EXPECT_LT(Child<QLineEdit>(*dialog, "frameNumberBox")->text().toInt(), kFrames) << "stopped before the end";

  // Start with the target box emptied: nothing happens.
  ASSERT_TRUE(TypeAsUser(dialog->targetBox(), QString()));
  const qsizetype messages = answerer.texts.size();
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "startButton")));
  EXPECT_TRUE(Child<QPushButton>(*dialog, "startButton")->isEnabled());
  EXPECT_FALSE(dialog->WorkerRunning());
  EXPECT_EQ(answerer.texts.size(), messages);
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "exitButton")));
  ASSERT_TRUE(WaitUntil([&] { return dialog.isNull(); }));
}

}  // namespace
}  // namespace vx::test
