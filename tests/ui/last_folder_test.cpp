#include <gtest/gtest.h>

#include <QPointer>
#include <QtTest/QTest>
#include <filesystem>

#include "UiTestSupport.h"
#include "model/Settings.h"
#include "ui/player/VideoPlayer.h"
#include "ui/tools/AviDialogs.h"

namespace vx::test {
namespace {

// Pickers answered in the person's place, in windows opened for the test; the
// program's settings are put back afterwards.
class LastFolder : public testing::Test {
 protected:
  void SetUp() override {
    CurrentSettings().LastFolder.clear();
    std::filesystem::create_directory(dir_ / "a");
    std::filesystem::create_directory(dir_ / "b");
    clip_ = NumberedClip(dir_, "a/clip.yuv", 2);
  }
  void TearDown() override { CurrentSettings() = saved_; }

  std::string Folder(const char* name) const { return (dir_ / name).string(); }

  // Clicks `browse` and answers its picker with `answer` (none: cancel), and a
  // format dialog, if one opens, with Cancel. The folder the picker opened in.
  std::string StartOfPicker(QPushButton* browse, const std::string& answer = {}) {
    FileNameAnswers answers(answer.empty() ? QStringList() : QStringList{QString::fromStdString(answer)});
    ModalHandler<CYuvFrmtDlg> cancel([](CYuvFrmtDlg* format) {
      EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Cancel)));
    });
    EXPECT_TRUE(ClickAsUser(browse));
    EXPECT_EQ(answers.asked.size(), 1u);
    return answers.asked.empty() ? "(no picker)" : answers.asked[0].start.toStdString();
  }

  template <class Window>
  QPointer<Window> Open() {
    QPointer<Window> window = new Window;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    return window;
  }

  const ProgramSettings saved_ = CurrentSettings();
  test::TempDir dir_;
  std::string clip_;
  RecordingMessageSink recorder_;
  ScopedMessageSink scope_{recorder_};
};

TEST_F(LastFolder, EveryPickerOpensWhereAFileWasLastPicked) {
  QPointer<CVideoPlayer> player = Open<CVideoPlayer>();
  QPointer<CAVI2YUV> decoder = Open<CAVI2YUV>();
  QPointer<CYUV2AVI> encoder = Open<CYUV2AVI>();
  QPushButton* playerBrowse = Child<QPushButton>(*player, "browse");
  QPushButton* decoderBrowse = Child<QPushButton>(*decoder, "sourceBrowseButton");
  EXPECT_EQ(StartOfPicker(playerBrowse, clip_), "") << "nothing picked yet";
  EXPECT_EQ(StartOfPicker(decoderBrowse), Folder("a")) << "where the player's file was picked";
  // A file saved into another folder moves every picker there.
  EXPECT_EQ(StartOfPicker(Child<QPushButton>(*encoder, "targetBrowseButton"), Folder("b") + "/out.avi"),
            Folder("a"));
  EXPECT_EQ(StartOfPicker(playerBrowse), Folder("b"));
  EXPECT_EQ(StartOfPicker(decoderBrowse), Folder("b")) << "a cancelled picker changes nothing";
  // A save picker proposing a name without a folder proposes it in that folder.
  encoder->targetBox()->setText(QStringLiteral("named.avi"));
  EXPECT_EQ(StartOfPicker(Child<QPushButton>(*encoder, "targetBrowseButton")), Folder("b") + "/named.avi");
  for (QWidget* window :
       {static_cast<QWidget*>(player), static_cast<QWidget*>(decoder), static_cast<QWidget*>(encoder)}) {
    window->close();
  }
}

TEST_F(LastFolder, IsKeptAcrossARestartInTheSettingsFile) {
  const auto file = dir_ / "velutrix3.ini";
  {
    QPointer<CVideoPlayer> player = Open<CVideoPlayer>();
    StartOfPicker(Child<QPushButton>(*player, "browse"), clip_);
    player->close();
  }
  ASSERT_TRUE(SaveSettings(CurrentSettings(), file));

  // The next run: the player's Browse opens where the last run picked its file.
  CurrentSettings() = ProgramSettings{};
  LoadSettings(CurrentSettings(), file);
  {
    QPointer<CVideoPlayer> player = Open<CVideoPlayer>();
    EXPECT_EQ(StartOfPicker(Child<QPushButton>(*player, "browse")), Folder("a"));
    player->close();
  }

  // A settings file from before the folder was kept: its values load, and the
  // pickers open in the working folder as they did.
  ProgramSettings older;
  older.Format = test::PlainLayout(YUV_422, UYV, Progressive, Packed, 352, 288);
  older.Format.ImageResolution = 3;
  older.YUV2RGB_Formula = 1;
  test::WriteFileText(file, SettingsText(older));
  ASSERT_EQ(test::ReadFileText(file).find("LastFolder"), std::string::npos);
  CurrentSettings() = ProgramSettings{};
  LoadSettings(CurrentSettings(), file);
  EXPECT_EQ(CurrentSettings(), older);
  {
    QPointer<CAVI2YUV> decoder = Open<CAVI2YUV>();
    EXPECT_EQ(StartOfPicker(Child<QPushButton>(*decoder, "sourceBrowseButton")), "");
    decoder->close();
  }
}

}  // namespace
}  // namespace vx::test
