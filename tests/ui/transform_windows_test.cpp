#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSlider>
#include <QtTest/QTest>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "UiTestSupport.h"
#include "model/CommandLine.h"
#include "model/Settings.h"
#include "shell/ToolTable.h"
#include "shell/desktop/FileHistoryDialog.h"
#include "ui/analysis/PsnrDialog.h"
#include "ui/controls/FormatDialog.h"
#include "ui/controls/JobWindow.h"
#include "ui/display/GridDialog.h"
#include "ui/image/FormulaDialog.h"
#include "ui/tools/ConverterDialog.h"
#include "ui/tools/TransformDialogs.h"

namespace vx::test {
namespace {

TEST_F(TransformWindows, CropShowsTheFirstFrameAndChecksTheRectangle) {
  QPointer<CImageCrop> crop = new CImageCrop;
  crop->show();
  ASSERT_TRUE(crop->ChooseSource(QString::fromStdString(clip_), format_, 3));
  EXPECT_TRUE(crop->targetBox()->text().endsWith(QStringLiteral("clip_cropped.yuv")));
  EXPECT_EQ(Child<QLineEdit>(*crop, "widthBox")->text(), QStringLiteral("352"));
  EXPECT_EQ(Child<QLineEdit>(*crop, "heightBox")->text(), QStringLiteral("288"));
  EXPECT_EQ(crop->preview()->pictureSize(), QSize(352, 288)) << "the first frame is shown at once";
  EXPECT_EQ(crop->preview()->outline(), QRect(0, 0, 352, 288));

  // Typed as a person types: a value is checked when its edit is finished, and a
  // refused one goes back to the last valid value.
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*crop, "leftBox"), QStringLiteral("3")));
  EXPECT_TRUE(recorder_.Texts().empty()) << "a keystroke is not checked";
  QTest::keyClick(Child<QLineEdit>(*crop, "leftBox"), Qt::Key_Return);
  ASSERT_FALSE(recorder_.Texts().empty());
  EXPECT_EQ(recorder_.Texts().back().substr(0, 15), "Error CROP1018:");
  EXPECT_EQ(Child<QLineEdit>(*crop, "leftBox")->text(), QStringLiteral("0"));
  recorder_.Clear();
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*crop, "leftBox"), QStringLiteral("100")));
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*crop, "widthBox"), QStringLiteral("300")));
  QTest::keyClick(Child<QLineEdit>(*crop, "widthBox"), Qt::Key_Return);
  ASSERT_FALSE(recorder_.Texts().empty());
  EXPECT_EQ(recorder_.Texts().back(),
            "Error CROP1021:  Base on left column to start, the max width to crop is 252!\n");
  EXPECT_EQ(Child<QLineEdit>(*crop, "widthBox")->text(), QStringLiteral("352"));

  // Each value valid on its own, the rectangle not: refused when the job starts, with Stop.
  recorder_.Clear();
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*crop, "startButton")));
  ASSERT_TRUE(WaitUntil(
      [&] { return !crop->WorkerRunning() && Child<QPushButton>(*crop, "startButton")->isEnabled(); }));
  ASSERT_FALSE(recorder_.Texts().empty());
  EXPECT_EQ(recorder_.Texts().back(),
            "Error CROP1021:  Base on left column to start, the max width to crop is 252!\n");

  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*crop, "widthBox"), QStringLiteral("100")));
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*crop, "topBox"), QStringLiteral("20")));
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*crop, "heightBox"), QStringLiteral("60")));
  QTest::keyClick(Child<QLineEdit>(*crop, "heightBox"), Qt::Key_Return);
  EXPECT_EQ(crop->preview()->outline(), QRect(100, 20, 100, 60)) << "the outline follows the rectangle";

  // A box Start cannot read stops it before the job.
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*crop, "topBox"), QStringLiteral("x")));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*crop, "startButton")));
  EXPECT_EQ(recorder_.Texts().back(), "Enter an integer.");
  EXPECT_TRUE(Child<QPushButton>(*crop, "startButton")->isEnabled());
  EXPECT_FALSE(crop->WorkerRunning());

  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*crop, "topBox"), QStringLiteral("20")));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*crop, "startButton")));
  for (QLineEdit* box : {Child<QLineEdit>(*crop, "topBox"), Child<QLineEdit>(*crop, "leftBox"),
                         Child<QLineEdit>(*crop, "widthBox"), Child<QLineEdit>(*crop, "heightBox")})
    EXPECT_FALSE(box->isEnabled()) << "the rectangle cannot change while the job runs";
  ASSERT_TRUE(WaitUntil(
      [&] { return !crop->WorkerRunning() && Child<QPushButton>(*crop, "startButton")->isEnabled(); }));
  EXPECT_TRUE(Child<QLineEdit>(*crop, "topBox")->isEnabled());
  EXPECT_EQ(recorder_.Texts().back(), "Cropping finished!");
  EXPECT_EQ(std::filesystem::file_size(crop->targetBox()->text().toStdString()), 3u * 100 * 60 * 3 / 2);
  crop->close();
}

TEST_F(TransformWindows, CropDrawsTheRectangleAsAnInvertedOutline) {
  QPointer<CImageCrop> crop = new CImageCrop;
  crop->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(crop));
  ASSERT_TRUE(crop->ChooseSource(QString::fromStdString(clip_), format_, 3));
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*crop, "leftBox"), QStringLiteral("100")));
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*crop, "topBox"), QStringLiteral("20")));
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*crop, "widthBox"), QStringLiteral("100")));
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*crop, "heightBox"), QStringLiteral("60")));
  QTest::keyClick(Child<QLineEdit>(*crop, "heightBox"), Qt::Key_Return);
  ASSERT_EQ(crop->preview()->outline(), QRect(100, 20, 100, 60));
  const QImage withOutline = crop->preview()->grab().toImage();
  crop->preview()->setOutline(QRect());
  const QImage without = crop->preview()->grab().toImage();
  auto inverted = [&](int x, int y) {
    const QRgb a = withOutline.pixel(x, y), b = without.pixel(x, y);
    return qRed(a) == 255 - qRed(b) && qGreen(a) == 255 - qGreen(b) && qBlue(a) == 255 - qBlue(b);
  };
  EXPECT_TRUE(inverted(100, 20)) << "top-left corner";
  EXPECT_TRUE(inverted(150, 79)) << "bottom edge";
  EXPECT_TRUE(inverted(199, 50)) << "right edge";
  EXPECT_EQ(withOutline.pixel(150, 50), without.pixel(150, 50)) << "the inside is left as it is";
  EXPECT_EQ(withOutline.pixel(50, 50), without.pixel(50, 50)) << "and the outside";
  crop->close();
}

TEST_F(TransformWindows, StartRefusesATargetThatIsTheSource) {
  const std::vector<uint8_t> before = test::ReadFileBytes(clip_);
  QPointer<CImageCrop> crop = new CImageCrop;
  crop->show();
  ASSERT_TRUE(crop->ChooseSource(QString::fromStdString(clip_), format_, 3));
  crop->targetBox()->setText(QString::fromStdString(clip_));
  QTest::mouseClick(Child<QPushButton>(*crop, "startButton"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil(
      [&] { return !crop->WorkerRunning() && Child<QPushButton>(*crop, "startButton")->isEnabled(); }));
  ASSERT_FALSE(recorder_.Texts().empty());
  EXPECT_EQ(recorder_.Texts().back(), "Error VLTX1019: The target " + clip_ + " is the source " + clip_ +
                                          " itself; choose another name!\n");
  EXPECT_EQ(test::ReadFileBytes(clip_), before);
  crop->close();
}

TEST_F(TransformWindows, ClosingAPausedJobNeverAborts) {
  // Closing while the worker runs ends the worker first; its report and the close
  // must never join one thread twice.
  for (int round = 0; round < 200; ++round) {
    QPointer<CImageCrop> crop = new CImageCrop;
    crop->show();
    ASSERT_TRUE(crop->ChooseSource(QString::fromStdString(clip_), format_, 3));
    QTest::mouseClick(Child<QPushButton>(*crop, "startButton"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(*crop, "pauseButton"), Qt::LeftButton);
    if (round % 2 == 0) QTest::qWait(1);
    crop->close();
    // A running job puts the close off: the window is disabled until the worker has ended.
    ASSERT_TRUE(crop.isNull() || !crop->WorkerRunning() || !crop->isEnabled());
    ASSERT_TRUE(WaitUntil([&] {
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      return crop.isNull();
    }));
  }
}

TEST_F(TransformWindows, EveryControlOfEveryToolWindowTakesItsOwnClick) {
  auto* format = new CYuvFrmtDlg;
  format->SetFile(QString::fromStdString(clip_));
  format->Prepare();
  std::vector<QPointer<QWidget>> windows = {
      new CYUVConverter, new CImageCrop,       new CYUVFlip,    new CJoinFile, new CPSNR, format,
      new CGrid,         new CYUV2RGB_Formula, new CFileHistory};
  for (QWidget* window : windows) {
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    int checked = 0;
    for (QWidget* control : window->findChildren<QWidget*>()) {
      const bool input = qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control) ||
                         qobject_cast<QAbstractItemView*>(control) || qobject_cast<QComboBox*>(control) ||
                         qobject_cast<QSlider*>(control);
      if (!input || !control->isVisible() || qobject_cast<QComboBox*>(control->parentWidget())) continue;
      EXPECT_TRUE(TakesItsOwnClick(control))
          << window->metaObject()->className() << ": " << control->metaObject()->className() << " \""
          << (qobject_cast<QAbstractButton*>(control)
                  ? qobject_cast<QAbstractButton*>(control)->text().toStdString()
                  : std::string())
          << "\" is covered";
      ++checked;
    }
    EXPECT_GE(checked, 3) << window->metaObject()->className();
    window->close();
  }
}

TEST_F(TransformWindows, EveryToolWindowWithALargePictureStaysOnTheScreen) {
  for (const auto& [w, h] : {std::pair{1920, 1080}, std::pair{3840, 2160}}) {
    const auto big = dir_ / "big.yuv";
    test::WriteFileBytes(big, std::vector<uint8_t>(size_t{1} * w * h * 3 / 2, 90));
    ImageFormat f = test::PlainLayout(YUV_420, YUV, Progressive, Planar, w, h);
    f.ImageResolution = kCustomResolution;
    const QString source = QString::fromStdString(big.string());
    const QString target = QString::fromStdString((dir_ / "out.yuv").string());
    auto check = [&](QWidget* window, const std::function<void()>& load) {
      window->move(155, 63);
      window->show();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
      load();
      auto* job = qobject_cast<JobWindow*>(window);
      ASSERT_TRUE(WaitUntil([&] { return !job || !job->WorkerRunning(); }, 20000));
      QTest::qWait(50);
      EXPECT_TRUE(InsideTheScreen(window))
          << window->metaObject()->className() << " with " << w << "x" << h << ": " << window->x() << ","
          << window->y() << " " << window->width() << "x" << window->height();
      window->close();
    };
    QPointer<CYUVFlip> flip = new CYUVFlip;
    check(flip, [&] { ASSERT_TRUE(flip->StartFromRequest(source, target, f)); });
    QPointer<CImageCrop> crop = new CImageCrop;
    crop->setAttribute(Qt::WA_DeleteOnClose, false);  // looked at once more below
    check(crop, [&] { ASSERT_TRUE(crop->ChooseSource(source, f, 1)); });
    // The picture scrolls, so the details can be hidden to give it more room.
    crop->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(crop));
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(*crop, "toggleButton")));
    EXPECT_TRUE(crop->detailsHidden());
    EXPECT_EQ(Child<QPushButton>(*crop, "toggleButton")->text(),
              QStringLiteral("<--- Display Detailed Controls"));
    EXPECT_FALSE(crop->sourceBox()->isVisible());
    EXPECT_TRUE(InsideTheScreen(crop));
    delete crop.data();
    QPointer<CYUVConverter> converter = new CYUVConverter;
    check(converter, [&] {
      CommandLineRequest request;
      request.Action = FindAction("convert")->action.number;
      request.InputName = big.string();
      request.OutputName = (dir_ / "out.uyvy").string();
      request.OutputFormat = {YUV_422, UYV, Progressive, Packed, w, h};
      ASSERT_TRUE(converter->StartFromRequest(request, f));
    });
    QPointer<CJoinFile> join = new CJoinFile;
    check(join, [&] { join->ChooseFirst(source, f); });
    QPointer<CPSNR> psnr = new CPSNR;
    check(psnr, [&] { psnr->ChooseFile(1, source, f, 1); });
    ScopedCurrentFormat current(f);
    auto* format = new CYuvFrmtDlg;
    format->setAttribute(Qt::WA_DeleteOnClose);
    format->SetFile(source);
    format->Prepare();
    check(format, [] {});
  }
}

TEST_F(TransformWindows, JoinShowsTrueLayoutsFromTheStart) {
  ImageFormat& current = CurrentSettings().Format;
  const ImageFormat saved = current;
  current = test::Layout(YUV_422, UYV, Progressive, Packed, 352, 288);
  QPointer<CJoinFile> join = new CJoinFile;
  current = saved;
  auto labels = [&] {
    QStringList texts;
    for (QLabel* label : join->findChildren<QLabel*>()) {
      if (label->text().contains(QStringLiteral("x288")) || label->text().contains(QStringLiteral("x480")))
        texts << label->text();
    }
    return texts;
  };
  for (const QString& text : labels()) {
    EXPECT_TRUE(text.startsWith(QStringLiteral("UYVY 422"))) << text.toStdString() << ": the current layout";
    EXPECT_FALSE(text.contains(QStringLiteral("420"))) << text.toStdString();
  }
  EXPECT_EQ(labels().size(), 3) << "both sources and the joined file";
  join->ChooseFirst(QString::fromStdString(clip_), format_);
  int planar = 0;
  for (const QString& text : labels()) planar += text.contains(QStringLiteral("Progressive Planar"));
  EXPECT_EQ(planar, 2) << "the joined file takes file 1's layout";
  join->close();
}

TEST_F(TransformWindows, JoinPromptsAndLeavesItsButtonsAfterTheJob) {
  QPointer<CJoinFile> join = new CJoinFile;
  join->show();
  QTest::mouseClick(Child<QPushButton>(*join, "startButton"), Qt::LeftButton);
  EXPECT_EQ(recorder_.Entries().back().text, "Please give the first file name to join!");
  EXPECT_EQ(recorder_.Entries().back().caption, "Error");
  join->ChooseSecond(QString::fromStdString(clip_), format_);
  EXPECT_EQ(recorder_.Texts().back(), "Please load file one first!");
  join->ChooseFirst(QString::fromStdString(clip_), format_);
  ImageFormat other = format_;
  other.ComponentOrder = YVU;
  join->ChooseSecond(QString::fromStdString(clip_), other);
  EXPECT_EQ(recorder_.Texts().back(), "The two files have different format, and cannot be joined!");
  join->targetBox()->setText(QString::fromStdString((dir_ / "joined.yuv").string()));
  QTest::mouseClick(Child<QPushButton>(*join, "startButton"), Qt::LeftButton);
  EXPECT_EQ(recorder_.Texts().back(), "The two files have different format, and cannot be joined!");
  ImageFormat aliased = format_;
  aliased.Fourcc = 14;
  join->ChooseSecond(QString::fromStdString(clip_), aliased);
  QTest::mouseClick(Child<QPushButton>(*join, "startButton"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return !join->WorkerRunning(); }));
  QTest::qWait(20);
  EXPECT_EQ(recorder_.Texts().back(), "Join converting finished!");
  EXPECT_FALSE(Child<QPushButton>(*join, "startButton")->isEnabled()) << "Start stays disabled until Stop";
  EXPECT_EQ(Child<QLineEdit>(*join, "frameNumberBox")->text(), QStringLiteral("6"));
  EXPECT_EQ(std::filesystem::file_size(dir_ / "joined.yuv"), 6u * 352 * 288 * 3 / 2);
  QTest::mouseClick(Child<QPushButton>(*join, "stopButton"), Qt::LeftButton);
  EXPECT_TRUE(Child<QPushButton>(*join, "startButton")->isEnabled());
  join->close();
}

}  // namespace
}  // namespace vx::test
