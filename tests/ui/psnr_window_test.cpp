#include <gtest/gtest.h>

#include <QPointer>
#include <QPushButton>
#include <QtTest/QTest>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "UiTestSupport.h"
#include "model/CommandLine.h"
#include "model/Settings.h"
#include "shell/ToolTable.h"
#include "shell/desktop/MainFrame.h"
#include "shell/desktop/ToolRegistry.h"
#include "ui/analysis/PsnrDialog.h"
#include "ui/controls/FormatDialog.h"
#include "ui/tools/AviDialogs.h"

namespace vx::test {
namespace {

TEST_F(PsnrWindow, BrowseChoicesRangeAndReportStyles) {
  QPointer<CPSNR> psnr = new CPSNR;
  psnr->show();
  EXPECT_EQ(psnr->windowTitle(), QStringLiteral("Calculate the PSNR of Two YUV Files"));
  EXPECT_EQ(Child<QLineEdit>(*psnr, "reportBox")->text(), QStringLiteral("psnr.xls"));
  EXPECT_TRUE(Child<QRadioButton>(*psnr, "tabButton")->isChecked());
  EXPECT_FALSE(Child<QPushButton>(*psnr, "pauseButton")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>(*psnr, "stopButton")->isEnabled());

  psnr->ChooseFile(1, QString::fromStdString(clip_), format_, 3);
  EXPECT_EQ(Child<QLineEdit>(*psnr, "toBox")->text(), QStringLiteral("3"));
  EXPECT_TRUE(Child<QLabel>(*psnr, "format1Label")->text().endsWith(QStringLiteral(", 3 frames")));
  psnr->ChooseFile(2, QString::fromStdString(second_), format_, 2);
  EXPECT_EQ(Child<QLineEdit>(*psnr, "toBox")->text(), QStringLiteral("2")) << "the smaller count";
  EXPECT_EQ(
      psnr->windowTitle(),
      QStringLiteral("<%1> vs. <%2>").arg(QString::fromStdString(clip_), QString::fromStdString(second_)));
  EXPECT_TRUE(recorder_.Texts().empty());
  ImageFormat other = format_;
  other.ComponentOrder = YVU;
  psnr->ChooseFile(2, QString::fromStdString(second_), other, 3);
  EXPECT_EQ(recorder_.Texts().back(),
            "Error PSNR1024: The two images to be compared must be in the same format!");
  psnr->ChooseFile(1, QString::fromStdString(clip_), format_, 0);
  const auto texts = recorder_.Texts();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[texts.size() - 2], "Error PSNR1020: There is 0 frames in this file !");
  EXPECT_EQ(texts.back(), "Error PSNR1021: The two images to be compared must be in the same format!");
  EXPECT_EQ(psnr->run().Count1, -1);

  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*psnr, "reportBox"), QStringLiteral("out.txt")));
  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(*psnr, "tabButton")));
  EXPECT_EQ(Child<QLineEdit>(*psnr, "reportBox")->text(), QStringLiteral("out.xls"));
  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(*psnr, "commaButton")));
  EXPECT_EQ(Child<QLineEdit>(*psnr, "reportBox")->text(), QStringLiteral("out.csv"));
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*psnr, "reportBox"), QString()));
  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(*psnr, "tabButton")));
  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(*psnr, "commaButton")));
  EXPECT_EQ(recorder_.Texts().back(), "Error PSNR1026: Name of Report File is empty! ");
  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(*psnr, "tabButton")));
  EXPECT_EQ(recorder_.Texts().back(), "Error PSNR1025: Name of Report File is empty! ");
  psnr->close();
}

TEST_F(PsnrWindow, RunShowsTheAverageAndFailuresLeaveTheirState) {
  ScopedCurrentFormat current(format_);
  QPointer<CPSNR> psnr = new CPSNR;
  psnr->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(psnr));
  ASSERT_TRUE(BrowseAsUser(Child<QPushButton>(*psnr, "browse1Button"), clip_));
  ASSERT_TRUE(BrowseAsUser(Child<QPushButton>(*psnr, "browse2Button"), second_));
  EXPECT_EQ(Child<QLineEdit>(*psnr, "toBox")->text(), QStringLiteral("3"));
  const QString report = QString::fromStdString((dir_ / "r.xls").string());
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*psnr, "reportBox"), report));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*psnr, "startButton")));
  ASSERT_TRUE(WaitUntil(
      [&] { return !psnr->WorkerRunning() && Child<QPushButton>(*psnr, "startButton")->isEnabled(); }));
  EXPECT_TRUE(
      Child<QLabel>(*psnr, "statusLine")->text().startsWith(QStringLiteral("Average of 3 frames:     Y :")));
  EXPECT_EQ(recorder_.Texts().back(),
            "PSNR calculation is finished, the report was saved in file " + report.toStdString() + "!");
  EXPECT_EQ(Child<QPushButton>(*psnr, "pauseButton")->text(), QStringLiteral("Continue"));
  EXPECT_FALSE(Child<QPushButton>(*psnr, "stopButton")->isEnabled());
  EXPECT_TRUE(std::filesystem::exists(report.toStdString()));

  // A format mismatch (file 2's order changed in its dialog) leaves the window
  // running until the user stops it.
  ASSERT_TRUE(BrowseAsUser(Child<QPushButton>(*psnr, "browse2Button"), second_, [](CYuvFrmtDlg* format) {
    EXPECT_TRUE(PickAsUser(Child<QComboBox>(*format, "orderList"),
                           Child<QComboBox>(*format, "orderList")->findText(QStringLiteral("Y,V,U"))));
  }));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*psnr, "startButton")));
  ASSERT_TRUE(WaitUntil([&] { return !psnr->WorkerRunning(); }));
  QTest::qWait(20);
  EXPECT_EQ(recorder_.Texts().back(), "Error PSNR1001: The two image files are not in the same format! ");
  EXPECT_FALSE(Child<QPushButton>(*psnr, "startButton")->isEnabled());
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*psnr, "stopButton")));
  EXPECT_TRUE(Child<QPushButton>(*psnr, "startButton")->isEnabled());

  // An end beyond a file's frames stops the run with its message. The format dialog
  // now starts from the last confirmed layout (Y,V,U): the order is picked back.
  ASSERT_TRUE(BrowseAsUser(Child<QPushButton>(*psnr, "browse2Button"), second_, [](CYuvFrmtDlg* format) {
    EXPECT_EQ(Child<QComboBox>(*format, "orderList")->currentText(), QStringLiteral("Y,V,U"));
    EXPECT_TRUE(PickAsUser(Child<QComboBox>(*format, "orderList"),
                           Child<QComboBox>(*format, "orderList")->findText(QStringLiteral("Y,U,V"))));
  }));
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*psnr, "toBox"), QStringLiteral("4")));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*psnr, "startButton")));
  ASSERT_TRUE(WaitUntil([&] {
    return !psnr->WorkerRunning() && Child<QPushButton>(*psnr, "startButton")->isEnabled();
  })) << recorder_.Texts().back()
      << " running " << psnr->WorkerRunning();
  EXPECT_EQ(recorder_.Texts().back(),
            "Error PSNR1013: File " + clip_ + " only has 3 frames, end frame number cannot be (4)! \n");
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*psnr, "exitButton")));
  ASSERT_TRUE(WaitUntil([&] { return psnr.isNull(); }));
}

TEST_F(PsnrWindow, PauseContinueAndStopWhileTheReportIsWritten) {
  // Small frames, many of them: the report's rows fill the held FIFO, so the run
  // is surely going when the buttons are pressed.
  const int frames = 3000;
  const ImageFormat small = I420Format(16, 8);
  const std::string a = NumberedClip(dir_, "a.yuv", frames), b = NumberedClip(dir_, "b.yuv", frames);
  ScopedCurrentFormat current(small);
  QPointer<CPSNR> psnr = new CPSNR;
  psnr->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(psnr));
  ASSERT_TRUE(BrowseAsUser(Child<QPushButton>(*psnr, "browse1Button"), a));
  ASSERT_TRUE(BrowseAsUser(Child<QPushButton>(*psnr, "browse2Button"), b));
  const auto report = dir_ / "held.xls";
  HeldFifo held(report);
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*psnr, "reportBox"), QString::fromStdString(report.string())));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*psnr, "startButton")));
  ASSERT_TRUE(held.WaitForBytes()) << "the job is writing";
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*psnr, "pauseButton")));
  EXPECT_EQ(Child<QPushButton>(*psnr, "pauseButton")->text(), QStringLiteral("Continue"));
  EXPECT_EQ(psnr->run().RunState.load(), JobState::Paused);
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*psnr, "pauseButton")));
  EXPECT_EQ(Child<QPushButton>(*psnr, "pauseButton")->text(), QStringLiteral("Pause"));
  EXPECT_EQ(psnr->run().RunState.load(), JobState::Running);
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*psnr, "stopButton")));
  EXPECT_TRUE(Child<QPushButton>(*psnr, "startButton")->isEnabled());
  held.Release();
  ASSERT_TRUE(WaitUntil([&] { return !psnr->WorkerRunning(); }));
  // The reader drains the pipe on its own thread, after the writer may have ended.
  EXPECT_TRUE(WaitUntil([&] { return held.bytes() > 0; })) << recorder_.Texts().back();
  EXPECT_LT(psnr->run().FramesDone, frames) << "stopped before the end";
  psnr->close();
}

TEST_F(PsnrWindow, FormatDialogsRefuseMonoAndLeaveOutBmp) {
  ScopedCurrentFormat current(format_);
  QPointer<CPSNR> psnr = new CPSNR;
  psnr->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(psnr));
  for (QPushButton* browse :
       {Child<QPushButton>(*psnr, "browse1Button"), Child<QPushButton>(*psnr, "browse2Button")}) {
    QStringList samplings;
    ASSERT_TRUE(BrowseAsUser(browse, clip_, [&](CYuvFrmtDlg* format) {
      for (int i = 0; i < Child<QComboBox>(*format, "samplingList")->count(); ++i)
        samplings << Child<QComboBox>(*format, "samplingList")->itemText(i);
      const int mono = Child<QComboBox>(*format, "samplingList")->findText(QStringLiteral("MONO"));
      ASSERT_GE(mono, 0);
      EXPECT_TRUE(PickAsUser(Child<QComboBox>(*format, "samplingList"), mono));
      EXPECT_EQ(Child<QComboBox>(*format, "samplingList")->currentIndex(), YUV_420)
          << "MONO refused, the choice kept";
    }));
    EXPECT_FALSE(samplings.contains(QStringLiteral("BMP"))) << samplings.join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(recorder_.Texts().back(),
              "Error FRMT1008: Mono color image is only supported in YUV Plyer function!\n");
  }
  EXPECT_EQ(psnr->run().Format1.SamplingFormat, YUV_420);
  EXPECT_EQ(psnr->run().Format2.SamplingFormat, YUV_420);
  psnr->close();
}

TEST_F(PsnrWindow, MenuEntryAndCommandLineHandOver) {
  CMainFrame frame;
  RegisterTools(frame);
  QAction* entry = frame.action(ToolId("psnr"));
  EXPECT_TRUE(entry->isEnabled());
  EXPECT_EQ(entry->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  ASSERT_TRUE(PressShortcut(&frame, entry->shortcut()));
  auto* opened = qobject_cast<CPSNR*>(frame.LatestWindow(ToolId("psnr")));
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(opened->windowTitle(), QStringLiteral("PSNR Calculation"));
  opened->close();

  CommandLineRequest request;
  request.Action = FindAction("psnr")->action.number;
  request.InputName = clip_;
  request.SecondInputName = second_;
  request.OutputName = (dir_ / "hand").string();
  request.ReportDelimiter = 0;
  ImageFormat& current = CurrentSettings().Format;
  const ImageFormat saved = current;
  current = format_;
  ASSERT_TRUE(StartCommandLineTool(frame, request));
  current = saved;
  auto* started = qobject_cast<CPSNR*>(frame.LatestWindow(ToolId("psnr")));
  ASSERT_NE(started, nullptr);
  ASSERT_TRUE(WaitUntil(
      [&] { return !started->WorkerRunning() && Child<QPushButton>(*started, "startButton")->isEnabled(); }));
  EXPECT_EQ(started->windowTitle(), QString::fromStdString(clip_)) << "the hand-over names file 1";
  const std::string text = test::ReadFileText(dir_ / "hand.xls");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 3 + 1);
  EXPECT_EQ(recorder_.Texts().back(), "PSNR calculation is finished, the report was saved in file " +
                                          (dir_ / "hand.xls").string() + "!");
  started->close();
}

TEST_F(PsnrWindow, AviActionsHandOverToTheirWindows) {
  CMainFrame frame;
  RegisterTools(frame);
  ScopedCurrentFormat current(format_);
  CommandLineRequest request;
  request.Action = FindAction("yuv2avi")->action.number;
  request.InputName = clip_;
  request.OutputName = (dir_ / "clip.avi").string();
  request.AviFourcc = "I420";
  ASSERT_TRUE(StartCommandLineTool(frame, request));
  auto* encoder = qobject_cast<CYUV2AVI*>(frame.LatestWindow(ToolId("yuv2avi")));
  ASSERT_NE(encoder, nullptr);
  EXPECT_EQ(encoder->windowTitle(), QString::fromStdString(clip_));
  ASSERT_TRUE(WaitUntil(
      [&] { return !encoder->WorkerRunning() && Child<QPushButton>(*encoder, "startButton")->isEnabled(); }));
  EXPECT_EQ(recorder_.Texts().back(), "YUV to AVI converting finished!");
  encoder->close();

  request.Action = FindAction("avi2yuv")->action.number;
  request.InputName = (dir_ / "clip.avi").string();
  request.OutputName = (dir_ / "back.yuv").string();
  request.OutputFormat = {YUV_420, YUV, Progressive, Planar, 352, 288};
  ASSERT_TRUE(StartCommandLineTool(frame, request));
  auto* decoder = qobject_cast<CAVI2YUV*>(frame.LatestWindow(ToolId("avi2yuv")));
  ASSERT_NE(decoder, nullptr);
  ASSERT_TRUE(WaitUntil(
      [&] { return !decoder->WorkerRunning() && Child<QPushButton>(*decoder, "startButton")->isEnabled(); }));
  EXPECT_EQ(recorder_.Texts().back(), "AVI to YUV converting finished!");
  EXPECT_EQ(std::filesystem::file_size(dir_ / "back.yuv"), std::filesystem::file_size(clip_));
  decoder->close();
}

TEST_F(PsnrWindow, CommandLineRunClosesTheProgramWhenAskedTo) {
  auto main = std::make_unique<QWidget>();
  main->show();
  QPointer<QWidget> mainWindow = main.get();
  QPointer<CPSNR> psnr = new CPSNR;
  psnr->show();
  psnr->SetCommandLineJob(true, main.get());
  const QString report = QString::fromStdString((dir_ / "cl").string());
  psnr->StartFromRequest(QString::fromStdString(clip_), QString::fromStdString(second_), report, 1, format_);
  ASSERT_TRUE(WaitUntil([&] { return psnr.isNull(); }));
  EXPECT_TRUE(main->isVisible()) << "the main window closes 600 ms later";
  ASSERT_TRUE(WaitUntil([&] { return !main->isVisible(); }, 3000));
  const std::string text = test::ReadFileText(dir_ / "cl.csv");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 3 + 1);
  EXPECT_TRUE(recorder_.Texts().empty()) << "no finished message before the program ends";
}

TEST_F(PsnrWindow, TheMetricChoiceWritesTheSsimReportAloneOrBesideThePsnrReport) {
  ScopedCurrentFormat current(format_);
  QPointer<CPSNR> psnr = new CPSNR;
  psnr->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(psnr));
  EXPECT_TRUE(Child<QRadioButton>(*psnr, "metricPsnr")->isChecked());
  EXPECT_TRUE(Child<QRadioButton>(*psnr, "tabButton")->isChecked()) << "a group of its own";
  ASSERT_TRUE(BrowseAsUser(Child<QPushButton>(*psnr, "browse1Button"), clip_));
  ASSERT_TRUE(BrowseAsUser(Child<QPushButton>(*psnr, "browse2Button"), second_));
  const std::filesystem::path report = dir_ / "m.xls", beside = dir_ / "m_ssim.xls";
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*psnr, "reportBox"), QString::fromStdString(report.string())));
  const auto run = [&] {
    if (!ClickAsUser(Child<QPushButton>(*psnr, "startButton"))) return false;
    return WaitUntil(
        [&] { return !psnr->WorkerRunning() && Child<QPushButton>(*psnr, "startButton")->isEnabled(); });
  };

  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(*psnr, "metricSsim")));
  EXPECT_TRUE(Child<QRadioButton>(*psnr, "tabButton")->isChecked());
  ASSERT_TRUE(run());
  EXPECT_EQ(test::ReadFileText(report).rfind("Frame\t    SSIM_Y\t  SSIM_U\t  SSIM_V\t  SSIM_All\r\n", 0), 0u);
  EXPECT_FALSE(std::filesystem::exists(beside));
  const QString status = Child<QLabel>(*psnr, "statusLine")->text();
  EXPECT_TRUE(status.startsWith(QStringLiteral("Average of 3 frames:     Y :0.")) &&
              status.contains("All :0."))
      << status.toStdString();
  EXPECT_EQ(recorder_.Texts().back(),
            "SSIM calculation is finished, the report was saved in file " + report.string() + "!");

  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(*psnr, "metricBoth")));
  ASSERT_TRUE(run());
  EXPECT_EQ(test::ReadFileText(report).rfind("Frame\t    SNR_Y\t  SNR_U\t  SNR_V\r\n", 0), 0u);
  const std::string ssim = test::ReadFileText(beside);
  EXPECT_EQ(ssim.rfind("Frame\t    SSIM_Y\t", 0), 0u);
  EXPECT_EQ(std::count(ssim.begin(), ssim.end(), '\n'), 1 + 3 + 1);
  EXPECT_EQ(recorder_.Texts().back(),
            "PSNR and SSIM calculation is finished, the reports were saved in files " + report.string() +
                " and " + beside.string() + "!");

  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(*psnr, "metricPsnr")));
  std::filesystem::remove(beside);
  ASSERT_TRUE(run());
  EXPECT_EQ(recorder_.Texts().back(),
            "PSNR calculation is finished, the report was saved in file " + report.string() + "!");
  EXPECT_FALSE(std::filesystem::exists(beside));
  psnr->close();
}

TEST_F(PsnrWindow, TheSsimEntryAndActionOpenThePsnrWindowWithSsimChosen) {
  ScopedCurrentFormat current(format_);
  CMainFrame frame;
  RegisterTools(frame);
  auto* opened = qobject_cast<CPSNR*>(frame.OpenTool(ToolId("ssim")));
  ASSERT_NE(opened, nullptr);
  EXPECT_TRUE(Child<QRadioButton>(*opened, "metricSsim")->isChecked());
  opened->close();

  CommandLineRequest request;
  request.Action = FindAction("ssim")->action.number;
  request.InputName = clip_;
  request.SecondInputName = second_;
  request.OutputName = (dir_ / "cl").string();
  request.ReportDelimiter = 1;
  ASSERT_TRUE(StartCommandLineTool(frame, request));
  auto* started = qobject_cast<CPSNR*>(frame.LatestWindow(ToolId("ssim")));
  ASSERT_NE(started, nullptr);
  EXPECT_EQ(started->windowTitle(), QString::fromStdString(clip_));
  ASSERT_TRUE(WaitUntil(
      [&] { return !started->WorkerRunning() && Child<QPushButton>(*started, "startButton")->isEnabled(); }));
  EXPECT_EQ(test::ReadFileText(dir_ / "cl.csv").rfind("Frame,    SSIM_Y,  SSIM_U,  SSIM_V,  SSIM_All\r\n", 0),
            0u);
  started->close();
}

}  // namespace
}  // namespace vx::test
