#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QPointer>
#include <QScreen>
#include <QtTest/QTest>
#include <filesystem>
#include <string>

#include "UiTestSupport.h"
#include "model/CommandLine.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/FormatDialog.h"
#include "ui/tools/AviDialogs.h"

namespace vx::test {
namespace {

class AviWindows : public PsnrWindow {
 protected:
  // An AVI of the fixture's clip, made by the encoder job.
  std::string MakeAvi(const std::string& code) {
    ScopedCurrentFormat current(format_);
    CommandLineRequest request;
    request.InputName = clip_;
    request.OutputName = (dir_ / ("clip_" + code + ".avi")).string();
    request.AviFourcc = code;
    YuvToAviJob job;
    job.ExitWhenDone = true;
    ToolJobObserver quiet;
    if (!job.PrepareEncoding({.source = request.InputName,
                              .target = request.OutputName,
                              .sourceFormat = format_,
                              .codec = request.AviFourcc}) ||
        job.FreezeAndRun(quiet) != JobOutcome::Completed)
      return {};
    return request.OutputName;
  }
};

TEST_F(AviWindows, DecodeToBmpPicturesWithTheMouse) {
  const std::string avi = MakeAvi("iyuv");
  ASSERT_FALSE(avi.empty());
  QPointer<CAVI2YUV> dialog = new CAVI2YUV;
  dialog->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
  const std::string target = (dir_ / "pic.bmp").string();
  FileNameAnswers answers({QString::fromStdString(avi), QString::fromStdString(target)});
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "sourceBrowseButton")));
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(answers.asked[0].filters, QStringLiteral("AVI file(*.avi);;All Files(*)"));
  ASSERT_FALSE(recorder_.Texts().empty());
  const std::string info = recorder_.Texts().back();
  EXPECT_EQ(info.rfind("Codec available on this computer:\n", 0), 0u) << info;
  EXPECT_NE(info.find(" \nVideo stream format of this file:     IYUV\nImage resolution (width x height):    "
                      "(352 x 288)\nNumber of frames: 3\n"),
            std::string::npos)
      << info;
  EXPECT_EQ(dialog->toBox()->text(), QStringLiteral("3"));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "targetBrowseButton")));
  const std::string base = (dir_ / "pic").string();
  EXPECT_EQ(recorder_.Texts().back(), "A sequence of BMP files will be created, starting from " + base +
                                          "_0000.bmp, to " + base +
                                          "_0002.bmp.\nClick on Start to begin the conversion");
  // From frame 2: the first picture written is _0000.
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*dialog, "fromBox"), QStringLiteral("2")));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "startButton")));
  ASSERT_TRUE(WaitUntil(
      [&] { return !dialog->WorkerRunning() && Child<QPushButton>(*dialog, "startButton")->isEnabled(); }));
  EXPECT_EQ(recorder_.Texts().back(), "AVI to YUV converting finished!");
  EXPECT_TRUE(std::filesystem::exists(base + "_0000.bmp"));
  EXPECT_TRUE(std::filesystem::exists(base + "_0001.bmp"));
  EXPECT_FALSE(std::filesystem::exists(base + "_0002.bmp"));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "exitButton")));
}

TEST_F(AviWindows, EncodeWithTheCodecPickedInTheList) {
  ScopedCurrentFormat current(format_);
  QPointer<CYUV2AVI> dialog = new CYUV2AVI;
  dialog->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
  QListWidget* codecs = Child<QListWidget>(*dialog, "codecList");
  ASSERT_GE(codecs->count(), 2);
  EXPECT_TRUE(codecs->currentItem()->text().startsWith(QStringLiteral("iyuv "))) << "iyuv preselected";
  const std::string avi = (dir_ / "picked.avi").string();
  FileNameAnswers answers({QString::fromStdString(clip_), QString::fromStdString(avi)});
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "sourceBrowseButton")));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "targetBrowseButton")));
  EXPECT_EQ(confirm.count, 1);
  EXPECT_EQ(dialog->targetBox()->text().toStdString(), avi);
  int xvid = -1;
  for (int i = 0; i < codecs->count(); ++i)
    if (codecs->item(i)->text().startsWith(QStringLiteral("xvid "))) xvid = i;
  ASSERT_GE(xvid, 0);
  ASSERT_TRUE(ClickAsUser(codecs->viewport(), codecs->visualItemRect(codecs->item(xvid)).center()));
  EXPECT_EQ(codecs->currentRow(), xvid);
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "startButton")));
  ASSERT_TRUE(WaitUntil(
      [&] { return !dialog->WorkerRunning() && Child<QPushButton>(*dialog, "startButton")->isEnabled(); }));
  EXPECT_EQ(recorder_.Texts().back(), "YUV to AVI converting finished!");
  avi::OpenFailure failure = avi::OpenFailure::None;
  auto reader = avi::AviReader::Open(avi, failure);
  ASSERT_TRUE(reader);
  EXPECT_EQ(avi::FourccText(reader->Handler()), "XVID");
  EXPECT_EQ(reader->Length(), 3);
  EXPECT_EQ(reader->Width(), 352);

  // With no codec to choose, Start refuses.
  codecs->clear();
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "startButton")));
  EXPECT_EQ(recorder_.Entries().back().text, "Codec FOURCC can only have 4 letters");
  EXPECT_EQ(recorder_.Entries().back().caption, "Error");
  EXPECT_FALSE(dialog->WorkerRunning());
  dialog->close();
}

TEST_F(AviWindows, TheWindowsScreenSizesTheSuggestedBuffer) {
  ScopedCurrentFormat current(format_);
  QPointer<CYUV2AVI> dialog = new CYUV2AVI;
  dialog->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
  const std::string avi = (dir_ / "screen.avi").string();
  FileNameAnswers answers({QString::fromStdString(clip_), QString::fromStdString(avi)});
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "sourceBrowseButton")));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "targetBrowseButton")));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*dialog, "startButton")));
  ASSERT_TRUE(WaitUntil(
      [&] { return !dialog->WorkerRunning() && Child<QPushButton>(*dialog, "startButton")->isEnabled(); }));
  ASSERT_EQ(recorder_.Texts().back(), "YUV to AVI converting finished!");
  const QSize screen = dialog->screen()->geometry().size();
  ASSERT_GT(screen.width(), 352);
  ASSERT_GT(screen.height(), 288);
  const std::vector<uint8_t> bytes = test::ReadFileBytes(avi);
  const std::string text(bytes.begin(), bytes.end());
  const size_t strh = text.find("strh");
  ASSERT_NE(strh, std::string::npos);
  const size_t buffer = strh + 12 + 32;  // after the handler, the flags and seven more fields
  const uint32_t suggested = uint32_t{bytes[buffer]} | uint32_t{bytes[buffer + 1]} << 8 |
                             uint32_t{bytes[buffer + 2]} << 16 | uint32_t{bytes[buffer + 3]} << 24;
  EXPECT_EQ(suggested, static_cast<uint32_t>(screen.width() * screen.height() * 4))
      << "the screen is larger than the 352 x 288 picture";
  dialog->close();
}

}  // namespace
}  // namespace vx::test
