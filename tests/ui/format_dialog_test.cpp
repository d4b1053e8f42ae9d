#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QPushButton>
#include <QtTest/QTest>
#include <string>

#include "UiTestSupport.h"
#include "model/Settings.h"
#include "ui/controls/FormatDialog.h"
#include "ui/controls/MessageBoxSink.h"
#include "ui/controls/RawFilePicker.h"

namespace vx::test {
namespace {

class FormatDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = CurrentSettings();
    clip_ = (dir_ / "clip_352x288.uyvy").string();
    test::WriteFileBytes(clip_, test::RandomBytes(352 * 288 * 2 * 2, 3));
  }
  void TearDown() override { CurrentSettings() = saved_; }
  test::TempDir dir_;
  std::string clip_;
  ProgramSettings saved_;
};

TEST_F(FormatDialogTest, GuessesFromTheNameAndShowsTheStructure) {
  CYuvFrmtDlg dialog;
  dialog.SetFile(QString::fromStdString(clip_));
  dialog.SetRefuseMono(true);
  dialog.SetLeaveOutBmp(true);
  dialog.Prepare();
  EXPECT_EQ(Child<QComboBox>(dialog, "samplingList")->currentIndex(), YUV_422);
  EXPECT_EQ(Child<QComboBox>(dialog, "samplingList")->count(), 5) << "BMP left out";
  EXPECT_EQ(Child<QComboBox>(dialog, "packingList")->currentIndex(), Packed);
  EXPECT_EQ(Child<QComboBox>(dialog, "fieldList")->currentIndex(), Progressive);
  EXPECT_EQ(Child<QComboBox>(dialog, "orderList")->currentText(), QStringLiteral("U,Y,V,Y"));
  EXPECT_EQ(Child<QComboBox>(dialog, "resolutionList")->currentIndex(), 3);
  EXPECT_EQ(Child<QComboBox>(dialog, "fourccList")->currentText(), QStringLiteral("UYVY"));
  EXPECT_EQ(dialog.frameCount(), 2);
  ASSERT_EQ(dialog.diagram().size(), 1u);
  EXPECT_EQ(dialog.diagram()[0].label, "UYVY UYVY");
  EXPECT_EQ(dialog.windowTitle(), QString::fromStdString(clip_));
}

TEST_F(FormatDialogTest, ListChangesAreCorrectedWithMessages) {
  BoxAnswerer answerer;
  MessageBoxSink sink;
  ScopedMessageSink scope(sink);
  CYuvFrmtDlg dialog;
  dialog.SetFile(QString::fromStdString(clip_));
  dialog.SetRefuseMono(true);
  dialog.Prepare();
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  ASSERT_TRUE(PickAsUser(Child<QComboBox>(dialog, "samplingList"), YUV_420));
  EXPECT_EQ(Child<QComboBox>(dialog, "packingList")->currentIndex(), Planar);
  ASSERT_TRUE(PickAsUser(Child<QComboBox>(dialog, "samplingList"), MONO));
  EXPECT_EQ(Child<QComboBox>(dialog, "samplingList")->currentIndex(), YUV_420)
      << "mono refused, sampling kept";
  ASSERT_EQ(answerer.texts.size(), 2);
  EXPECT_EQ(answerer.texts[0],
            QStringLiteral("Error FRMT1006: For 420 YUV format, only planar pixel is supported!\n"));
  EXPECT_EQ(answerer.texts[1],
            QStringLiteral("Error FRMT1008: Mono color image is only supported in YUV Plyer function!\n"));
  ASSERT_TRUE(PickAsUser(Child<QComboBox>(dialog, "fourccList"), 12));  // YV12
  EXPECT_EQ(Child<QComboBox>(dialog, "orderList")->currentText(), QStringLiteral("Y,V,U"));
  const ImageFormat before = CurrentSettings().Format;
  QPushButton* cancel = nullptr;
  for (QPushButton* b : dialog.findChildren<QPushButton*>())
    if (b->text() == QStringLiteral("Cancel")) cancel = b;
  ASSERT_TRUE(ClickAsUser(cancel));
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(CurrentSettings().Format, before) << "Cancel changes nothing";
}

TEST_F(FormatDialogTest, SemiPlanarAndTenBitsArePickedAsAUserPicksThem) {
  BoxAnswerer answerer;
  MessageBoxSink sink;
  ScopedMessageSink scope(sink);
  // Frame 1 of a 64 x 48 P010 file: luma 512 (grey at 10 bits), chroma 512.
  const std::string path = (dir_ / "cam_64x48.bin").string();
  std::vector<uint8_t> p010(64 * 48 * 3);
  for (size_t i = 0; i + 1 < p010.size(); i += 2) {
    p010[i] = 0x00;  // 512 << 6 = 0x8000
    p010[i + 1] = 0x80;
  }
  test::WriteFileBytes(path, p010);
  CYuvFrmtDlg dialog;
  dialog.SetFile(QString::fromStdString(path));
  dialog.Prepare();
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  ASSERT_TRUE(PickAsUser(Child<QComboBox>(dialog, "samplingList"), YUV_420));
  ASSERT_TRUE(PickAsUser(Child<QComboBox>(dialog, "fieldList"), Progressive));
  ASSERT_TRUE(PickAsUser(Child<QComboBox>(dialog, "packingList"), SemiPlanar));
  EXPECT_EQ(Child<QComboBox>(dialog, "packingList")->currentText(), QStringLiteral("Semi-planar"));
  EXPECT_EQ(Child<QComboBox>(dialog, "orderList")->count(), 2) << "U first or V first";
  ASSERT_TRUE(PickAsUser(Child<QComboBox>(dialog, "bitsList"), 1));
  EXPECT_EQ(Child<QComboBox>(dialog, "bitsList")->currentText(), QStringLiteral("10"));
  EXPECT_TRUE(answerer.texts.isEmpty());
  EXPECT_EQ(dialog.format().PixelFormat, SemiPlanar);
  EXPECT_EQ(dialog.format().BitsPerSample, 10);
  EXPECT_EQ(dialog.frameCount(), 1);
  // Packed 4:2:2 cannot hold 10 bits: the list goes back to 8.
  ASSERT_TRUE(PickAsUser(Child<QComboBox>(dialog, "samplingList"), YUV_422));
  ASSERT_TRUE(PickAsUser(Child<QComboBox>(dialog, "packingList"), Packed));
  EXPECT_EQ(Child<QComboBox>(dialog, "bitsList")->currentText(), QStringLiteral("8"));
  ASSERT_TRUE(PickAsUser(Child<QComboBox>(dialog, "bitsList"), 2));
  ASSERT_FALSE(answerer.texts.isEmpty());
  EXPECT_EQ(answerer.texts.last(),
            QStringLiteral("Error FRMT1023: Packed, RGB and BMP frames have 8-bit samples only, not 12!\n"));
  EXPECT_EQ(Child<QComboBox>(dialog, "bitsList")->currentText(), QStringLiteral("8"));
}

TEST(FilePickers, TheFirstFilterShowsEveryRawVideoFile) {
  const QString first = kRawFileFilters.section(QStringLiteral(";;"), 0, 0);
  EXPECT_TRUE(first.startsWith(QStringLiteral("All raw video(")));
  for (const char* pattern : {"*.yuv", "*.rgb", "*.uyvy", "*.yuy2", "*.yv12", "*.i420", "*.iyu2"})
    EXPECT_TRUE(first.contains(QString::fromLatin1(pattern))) << pattern;
  EXPECT_TRUE(kRawFileFilters.contains(QStringLiteral(";;Raw Video(*.yuv *.rgb);;FOURCC format(")))
      << "the Parts' own entries follow";
}

TEST(FormatDialog, StartsFromAPresetWithoutTouchingTheCurrentFormat) {
  const ImageFormat saved = CurrentSettings().Format;
  ImageFormat preset = test::PlainLayout(YUV_422, UYV, Interlaced, Packed, 720, 576);
  preset.ImageResolution = kCustomResolution;
  CYuvFrmtDlg dialog(nullptr, preset);
  dialog.Prepare();
  EXPECT_EQ(Child<QComboBox>(dialog, "samplingList")->currentIndex(), YUV_422);
  EXPECT_EQ(Child<QComboBox>(dialog, "fieldList")->currentIndex(), Interlaced);
  EXPECT_EQ(dialog.format().ImgWidth, 720);
  EXPECT_TRUE(static_cast<const ImageFormat&>(CurrentSettings().Format) == saved)
      << "the program's current format is not borrowed for the preset";
}

TEST_F(FormatDialogTest, CustomSizeIsCheckedAndKept) {
  BoxAnswerer answerer;
  MessageBoxSink sink;
  ScopedMessageSink scope(sink);
  CYuvFrmtDlg dialog;
  dialog.SetFile(QString::fromStdString(clip_));
  dialog.Prepare();
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  // First an odd width for 4:2:2 (refused, the box stays), then 1000 x 500.
  ModalHandler<CCustomizedResolution> filler([](CCustomizedResolution* custom) {
    for (const char* width : {"1001", "1000"}) {
      EXPECT_TRUE(TypeAsUser(Child<QLineEdit>(*custom, "widthBox"), QString::fromLatin1(width)));
      EXPECT_TRUE(TypeAsUser(Child<QLineEdit>(*custom, "heightBox"), QStringLiteral("500")));
      EXPECT_TRUE(ClickAsUser(DialogButton(custom, QDialogButtonBox::Ok)));
    }
  });
  ASSERT_TRUE(PickAsUser(Child<QComboBox>(dialog, "resolutionList"), kCustomResolution));
  EXPECT_EQ(filler.count, 1);
  EXPECT_EQ(Child<QComboBox>(dialog, "resolutionList")->currentIndex(), kCustomResolution);
  EXPECT_EQ(Child<QComboBox>(dialog, "resolutionList")->currentText(),
            QStringLiteral("Customized WxH: 1000x500"));
  ASSERT_EQ(answerer.texts.size(), 1);
  EXPECT_TRUE(answerer.texts[0].startsWith(QStringLiteral("Error CSRS1004:")));
  ASSERT_TRUE(ClickAsUser(DialogButton(&dialog, QDialogButtonBox::Ok)));
  EXPECT_EQ(CurrentSettings().Format.ImgWidth, 1000);
  EXPECT_EQ(CurrentSettings().Format.ImgHeight, 500);
  EXPECT_EQ(CurrentSettings().Format.ImageResolution, kCustomResolution);
  EXPECT_EQ(CurrentSettings().Format.SamplingFormat, YUV_422);
}

}  // namespace
}  // namespace vx::test
