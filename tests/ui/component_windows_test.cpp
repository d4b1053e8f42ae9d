#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QPointer>
#include <QtTest/QTest>
#include <array>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "UiTestSupport.h"
#include "model/CommandLine.h"
#include "model/Settings.h"
#include "shell/ToolTable.h"
#include "shell/desktop/MainFrame.h"
#include "shell/desktop/ToolRegistry.h"
#include "ui/controls/FormatDialog.h"
#include "ui/tools/ComponentDialogs.h"
#include "ui/tools/CompositionDialog.h"

namespace vx::test {
namespace {

class ComponentWindows : public TransformWindows {
 protected:
  int SamplingEntry(CYuvFrmtDlg* dialog, const char* text) {
    return Child<QComboBox>(*dialog, "samplingList")->findText(QString::fromLatin1(text));
  }
};

TEST_F(ComponentWindows, PaddingTypedChosenAndRunWithTheMouse) {
  CMainFrame frame;
  RegisterTools(frame);
  EXPECT_EQ(frame.action(ToolId("pad"))->shortcut(), QKeySequence(QStringLiteral("Ctrl+D")));
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  ASSERT_TRUE(ChooseFromMenu(&frame, QStringLiteral("YUV Converter"), QStringLiteral("Pa&dding")));
  QPointer<CYUVPadding> pad = qobject_cast<CYUVPadding*>(frame.LatestWindow(ToolId("pad")));
  ASSERT_NE(pad, nullptr);
  EXPECT_EQ(pad->windowTitle(), QStringLiteral("Image Padding"));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(pad));
  const ProgramSettings saved = CurrentSettings();
  CurrentSettings().Padding_Multiple_Width = 16;
  CurrentSettings().Padding_Multiple_Height = 16;
  CurrentSettings().PaddedResolutionMode = 0;
  CurrentSettings().Padding_Mode = 0;
  pad->close();
  pad = new CYUVPadding;
  pad->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(pad));
  EXPECT_EQ(Child<QLineEdit>(*pad, "multipleWidthBox")->text(), QStringLiteral("16"))
      << "the remembered multiples";
  EXPECT_EQ(Child<QLineEdit>(*pad, "topBox")->text(), QStringLiteral("0"));
  EXPECT_FALSE(Child<QLineEdit>(*pad, "paddedWidthBox")->isEnabled()) << "the multiples mode";
  EXPECT_FALSE(Child<ColourButton>(*pad, "colourButton")->isEnabled()) << "the repeat mode";

  // A 350 x 286 source: the size boxes take the next multiples of 16, the label the padded size.
  const auto odd = dir_ / "odd.yuv";
  test::WriteFileBytes(odd, test::RandomBytes(350 * 286 * 3 / 2 * 2, 8));
  ScopedCurrentFormat current(test::Layout(YUV_420, YUV, Progressive, Planar, 350, 286));
  ASSERT_TRUE(BrowseAsUser(Child<QPushButton>(*pad, "sourceBrowseButton"), odd.string()));
  EXPECT_EQ(pad->targetBox()->text(), QString::fromStdString((dir_ / "odd_padded.yuv").string()));
  EXPECT_EQ(Child<QLineEdit>(*pad, "paddedWidthBox")->text(), QStringLiteral("352"));
  EXPECT_EQ(Child<QLineEdit>(*pad, "paddedHeightBox")->text(), QStringLiteral("288"));
  EXPECT_EQ(pad->job().TargetFormat.ImgWidth, 352);
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*pad, "multipleWidthBox"), QStringLiteral("0")));
  EXPECT_EQ(pad->job().TargetFormat.ImgWidth, 350) << "a multiple of 0 leaves the source size";

  // The explicit size, an odd top row (refused with Stop), then a run in the fill mode.
  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(*pad, "explicitRadio")));
  EXPECT_TRUE(Child<QLineEdit>(*pad, "paddedWidthBox")->isEnabled());
  EXPECT_FALSE(Child<QLineEdit>(*pad, "multipleWidthBox")->isEnabled());
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*pad, "paddedWidthBox"), QStringLiteral("400")));
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*pad, "paddedHeightBox"), QStringLiteral("300")));
  EXPECT_EQ(pad->job().TargetFormat.ImgWidth, 400);
  EXPECT_EQ(pad->job().TargetFormat.ImgHeight, 300);
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*pad, "topBox"), QStringLiteral("3")));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*pad, "startButton")));
  ASSERT_TRUE(WaitUntil(
      [&] { return !pad->WorkerRunning() && Child<QPushButton>(*pad, "startButton")->isEnabled(); }));
  EXPECT_EQ(recorder_.Texts().back(),
            "Error PADD1013: Invalid start row on the top. Cannot start on odd row for 420 image!\n");
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*pad, "topBox"), QStringLiteral("4")));
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*pad, "leftBox"), QStringLiteral("20")));
  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(*pad, "fillRadio")));
  EXPECT_TRUE(Child<ColourButton>(*pad, "colourButton")->isEnabled());
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*pad, "startButton")));
  ASSERT_TRUE(WaitUntil(
      [&] { return !pad->WorkerRunning() && Child<QPushButton>(*pad, "startButton")->isEnabled(); }));
  EXPECT_EQ(recorder_.Texts().back(), "Padding finished! The resolution of the new file is 400(W) x 300(H)!");
  EXPECT_EQ(std::filesystem::file_size(dir_ / "odd_padded.yuv"), 2u * 400 * 300 * 3 / 2);
  EXPECT_EQ(pad->preview()->pictureSize(), QSize(400, 300)) << "the preview shows the padded frame";
  EXPECT_EQ(CurrentSettings().PaddedResolutionMode, 1) << "the choices are remembered";
  EXPECT_EQ(CurrentSettings().Padding_Mode, 1);
  EXPECT_EQ(CurrentSettings().Padding_Multiple_Width, 0);
  CurrentSettings() = saved;
  pad->close();
}

TEST_F(ComponentWindows, SeparateAndMergeBackWithTheMouse) {
  QPointer<CYUVSeparate> separate = new CYUVSeparate;
  separate->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(separate));
  ScopedCurrentFormat current(format_);
  ASSERT_TRUE(BrowseAsUser(Child<QPushButton>(*separate, "sourceBrowseButton"), clip_));
  const QString base = QString::fromStdString((dir_ / "clip").string());
  EXPECT_EQ(separate->windowTitle(),
            QStringLiteral("Separate <%1> into 3 components ").arg(QString::fromStdString(clip_)));
  EXPECT_EQ(Child<QLineEdit>(*separate, "componentBox1")->text(), base + ".y");
  EXPECT_EQ(Child<QLineEdit>(*separate, "componentBox2")->text(), base + ".u");
  EXPECT_EQ(Child<QLineEdit>(*separate, "componentBox3")->text(), base + ".v");
  {
    FileNameAnswers answers({base + "_chroma.v"});
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*separate, "componentBrowse3")));
    ASSERT_EQ(answers.asked.size(), 1u);
    EXPECT_EQ(answers.asked[0].filters,
              QStringLiteral("Color Components(*.y *.u *.v *.r *.g *.b);;All Files(*)"));
  }
  EXPECT_EQ(Child<QLineEdit>(*separate, "componentBox3")->text(), base + "_chroma.v");
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*separate, "startButton")));
  ASSERT_TRUE(WaitUntil([&] {
    return !separate->WorkerRunning() && Child<QPushButton>(*separate, "startButton")->isEnabled();
  }));
  EXPECT_EQ(recorder_.Texts().back().substr(0, 35), "The source file (YUV_420) has been ");
  EXPECT_EQ(std::filesystem::file_size(base.toStdString() + ".y"), 3u * 352 * 288);
  EXPECT_EQ(std::filesystem::file_size(base.toStdString() + "_chroma.v"), 3u * 176 * 144);
  separate->close();

  QPointer<CYUVMerge> merge = new CYUVMerge;
  merge->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(merge));
  EXPECT_TRUE(Child<QRadioButton>(*merge, "yuvRadio")->isChecked());
  // Each component is read as a mono file of its size, chosen in its format dialog.
  const std::array<std::string, 3> names = {base.toStdString() + ".y", base.toStdString() + ".u",
                                            base.toStdString() + "_chroma.v"};
  const std::array<std::pair<const char*, const char*>, 3> rows = {{{"componentBox1", "componentBrowse1"},
                                                                    {"componentBox2", "componentBrowse2"},
                                                                    {"componentBox3", "componentBrowse3"}}};
  for (size_t i = 0; i < 3; ++i) {
    const auto& [box, browse] = rows[i];
    ASSERT_TRUE(BrowseAsUser(Child<QPushButton>(*merge, browse), names[i], [&](CYuvFrmtDlg* dialog) {
      EXPECT_TRUE(PickAsUser(Child<QComboBox>(*dialog, "samplingList"), SamplingEntry(dialog, "MONO")));
      EXPECT_TRUE(PickAsUser(Child<QComboBox>(*dialog, "resolutionList"), i == 0 ? 3 : 1));
    }));
    EXPECT_EQ(Child<QLineEdit>(*merge, box)->text(), QString::fromStdString(names[i]));
  }
  EXPECT_EQ(merge->targetBox()->text(), base + "_merged.yuv") << "named after the first component";
  EXPECT_EQ(merge->job().TargetFormat.SamplingFormat, YUV_420) << "the label follows the sizes";
  EXPECT_EQ(merge->windowTitle(),
            QStringLiteral("<%1> to <%2>").arg(QString::fromStdString(names[2]), base + "_merged.yuv"));
  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(*merge, "rgbRadio")));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*merge, "startButton")));
  ASSERT_TRUE(WaitUntil(
      [&] { return !merge->WorkerRunning() && Child<QPushButton>(*merge, "startButton")->isEnabled(); }));
  EXPECT_EQ(recorder_.Texts().back(),
            "Error MERG1007: To merge RGB components, the size of all images must be the same!\n");
  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(*merge, "yuvRadio")));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*merge, "startButton")));
  ASSERT_TRUE(WaitUntil(
      [&] { return !merge->WorkerRunning() && Child<QPushButton>(*merge, "startButton")->isEnabled(); }));
  EXPECT_EQ(recorder_.Texts().back(),
            "The three files have be merged into a file with following format:\n    "
            "YUV_420, planar, progressive, width=352, height=288");
  EXPECT_EQ(test::ReadFileBytes(base.toStdString() + "_merged.yuv"), test::ReadFileBytes(clip_));
  merge->close();
}

TEST_F(ComponentWindows, EveryControlTakesItsOwnClickAndCommandLinesHandOver) {
  std::vector<QPointer<QWidget>> windows = {new CYUVPadding, new CYUVSeparate, new CYUVMerge,
                                            new CYUVComposition};
  for (QWidget* window : windows) {
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_TRUE(InsideTheScreen(window)) << window->metaObject()->className();
    int checked = 0;
    for (QWidget* control : window->findChildren<QWidget*>()) {
      const bool input = qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control);
      if (!input || !control->isVisible()) continue;
      EXPECT_TRUE(TakesItsOwnClick(control))
          << window->metaObject()->className() << ": " << control->metaObject()->className() << " is covered";
      ++checked;
    }
    EXPECT_GE(checked, 10) << window->metaObject()->className();
    window->close();
  }

  // Padding a 1080p clip: the padded preview keeps the window on the screen.
  const auto hd = dir_ / "hd.yuv";
  test::WriteFileBytes(hd, std::vector<uint8_t>(size_t{1920} * 1080 * 3 / 2, 90));
  ImageFormat hdFormat = test::PlainLayout(YUV_420, YUV, Progressive, Planar, 1920, 1080);
  hdFormat.ImageResolution = kCustomResolution;
  QPointer<CYUVPadding> big = new CYUVPadding;
  big->move(155, 63);
  big->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(big));
  big->ChooseSource(QString::fromStdString(hd.string()), hdFormat, 1);
  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(*big, "explicitRadio")));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*big, "startButton")));
  ASSERT_TRUE(WaitUntil(
      [&] { return !big->WorkerRunning() && Child<QPushButton>(*big, "startButton")->isEnabled(); }, 20000));
  EXPECT_EQ(recorder_.Texts().back(),
            "Padding finished! The resolution of the new file is 1920(W) x 1088(H)!");
  QTest::qWait(50);
  EXPECT_TRUE(InsideTheScreen(big)) << big->width() << "x" << big->height();
  EXPECT_TRUE(Child<QPushButton>(*big, "toggleButton")->isVisible())
      << "the picture scrolls: the details can be hidden";
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*big, "toggleButton")));
  EXPECT_FALSE(big->sourceBox()->isVisible());
  big->close();

  CMainFrame frame;
  RegisterTools(frame);
  ScopedCurrentFormat current(format_);
  CommandLineRequest request;
  request.Action = FindAction("separate")->action.number;
  request.InputName = clip_;
  request.OutputName = (dir_ / "parts.yuv").string();
  ASSERT_TRUE(StartCommandLineTool(frame, request));
  auto* separate = qobject_cast<CYUVSeparate*>(frame.LatestWindow(ToolId("separate")));
  ASSERT_NE(separate, nullptr);
  ASSERT_TRUE(WaitUntil([&] {
    return !separate->WorkerRunning() && Child<QPushButton>(*separate, "startButton")->isEnabled();
  }));
  EXPECT_EQ(std::filesystem::file_size(dir_ / "parts.u"), 3u * 176 * 144);
  separate->close();

  request = {};
  request.Action = FindAction("pad")->action.number;
  request.InputName = clip_;
  request.OutputName = (dir_ / "padded.yuv").string();
  request.OutputFormat.ImgWidth = 360;
  request.OutputFormat.ImgHeight = 296;
  request.CropGiven = true;
  request.CropRect = {4, 8, 0, 0};
  ASSERT_TRUE(StartCommandLineTool(frame, request));
  auto* pad = qobject_cast<CYUVPadding*>(frame.LatestWindow(ToolId("pad")));
  ASSERT_NE(pad, nullptr);
  ASSERT_TRUE(WaitUntil(
      [&] { return !pad->WorkerRunning() && Child<QPushButton>(*pad, "startButton")->isEnabled(); }));
  EXPECT_EQ(recorder_.Texts().back(), "Padding finished! The resolution of the new file is 360(W) x 296(H)!");
  EXPECT_EQ(Child<QLineEdit>(*pad, "topBox")->text(), QStringLiteral("4"));
  pad->close();

  request = {};
  request.Action = FindAction("merge")->action.number;
  request.InputName = (dir_ / "parts").string();
  request.OutputName = (dir_ / "merged.yuv").string();
  ASSERT_TRUE(StartCommandLineTool(frame, request));
  auto* merge = qobject_cast<CYUVMerge*>(frame.LatestWindow(ToolId("merge")));
  ASSERT_NE(merge, nullptr);
  ASSERT_TRUE(WaitUntil(
      [&] { return !merge->WorkerRunning() && Child<QPushButton>(*merge, "startButton")->isEnabled(); }));
  EXPECT_EQ(test::ReadFileBytes(dir_ / "merged.yuv"), test::ReadFileBytes(clip_));
  merge->close();
}

TEST_F(ComponentWindows, MergeComponentsOpenAtASizeWithoutAMessage) {
  ScopedCurrentFormat current(format_);  // 352 x 288
  const std::string y = (dir_ / "parts.y").string();
  const std::string u = (dir_ / "parts.u").string();
  const std::string v = (dir_ / "parts_176x144.v").string();
  test::WriteFileBytes(y, test::RandomBytes(352 * 288 * 2, 1));
  test::WriteFileBytes(u, test::RandomBytes(176 * 144 * 2, 2));
  test::WriteFileBytes(v, test::RandomBytes(176 * 144 * 2, 3));
  QPointer<CYUVMerge> merge = new CYUVMerge;
  merge->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(merge));
  // What each format dialog showed when it opened, and after the person's choices.
  struct Shown {
    ImageFormat format;
    std::string resolutionEntry;
  };
  std::vector<Shown> opened, confirmed;
  auto look = [](CYuvFrmtDlg* dialog) {
    return Shown{dialog->format(), Child<QComboBox>(*dialog, "resolutionList")->currentText().toStdString()};
  };
  // Y: no size in its name: the current format's size.
  ASSERT_TRUE(BrowseAsUser(Child<QPushButton>(*merge, "componentBrowse1"), y, [&](CYuvFrmtDlg* dialog) {
    opened.push_back(look(dialog));
    EXPECT_TRUE(PickAsUser(Child<QComboBox>(*dialog, "samplingList"), SamplingEntry(dialog, "MONO")));
    confirmed.push_back(look(dialog));
  }));
  // U: none either: the size of the component chosen last; the person picks QCIF.
  ASSERT_TRUE(BrowseAsUser(Child<QPushButton>(*merge, "componentBrowse2"), u, [&](CYuvFrmtDlg* dialog) {
    opened.push_back(look(dialog));
    EXPECT_TRUE(PickAsUser(Child<QComboBox>(*dialog, "resolutionList"), 1));
    confirmed.push_back(look(dialog));
  }));
  // V: the size in its name.
  ASSERT_TRUE(BrowseAsUser(Child<QPushButton>(*merge, "componentBrowse3"), v,
                           [&](CYuvFrmtDlg* dialog) { opened.push_back(look(dialog)); }));
  ASSERT_EQ(opened.size(), 3u);
  const std::array<std::pair<int, int>, 3> sizes = {{{352, 288}, {352, 288}, {176, 144}}};
  const std::array<const char*, 3> entries = {"CIF_PAL 352x288", "CIF_PAL 352x288", "QCIF_PAL 176x144"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(opened[i].format.ImgWidth, sizes[i].first) << i;
    EXPECT_EQ(opened[i].format.ImgHeight, sizes[i].second) << i;
    EXPECT_EQ(opened[i].resolutionEntry, entries[i]) << "the list shows that size, " << i;
  }
  EXPECT_EQ(opened[1].format.SamplingFormat, MONO);
  EXPECT_EQ(confirmed[0].format.ImgWidth, 352);
  EXPECT_EQ(confirmed[1].format.ImgWidth, 176);
  EXPECT_TRUE(recorder_.Texts().empty()) << "no size was refused: " << recorder_.Texts().front();
  EXPECT_EQ(merge->job().ComponentFormats[2].ImgWidth, 176);
  EXPECT_EQ(merge->job().TargetFormat.SamplingFormat, YUV_420);
  EXPECT_EQ(merge->toBox()->text().toStdString(), "2");
  merge->close();
}

}  // namespace
}  // namespace vx::test
