// The per-frame plots of the PSNR and compare windows, used as a person uses them.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest/QTest>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "ui/analysis/CompareDialog.h"
#include "ui/analysis/PsnrDialog.h"
#include "ui/controls/FormatDialog.h"
#include "ui/plot/FramePlot.h"

namespace vx::test {
namespace {

// The rows of a tab-delimited report with `columns` cells (the frame, then its
// values): PSNR reports have 4, SSIM reports 5.
std::vector<std::vector<double>> ReportRows(const std::string& path, qsizetype columns) {
  std::vector<std::vector<double>> rows;
  const auto bytes = ReadFileBytes(path);
  const QString text =
      QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
  for (const QString& line : text.split(QStringLiteral("\r\n"))) {
    const QStringList cells = line.split(QLatin1Char('\t'));
    bool number = false;
    cells.front().trimmed().toInt(&number);
    if (!number || cells.size() != columns) continue;
    std::vector<double> row;
    for (const QString& cell : cells) row.push_back(cell.trimmed().toDouble());
    rows.push_back(row);
  }
  return rows;
}

// Whether the picture has `colour` within 2 pixels of `at`.
bool ColourNear(const QImage& picture, QPointF at, QColor colour) {
  for (int dy = -2; dy <= 2; ++dy)
    for (int dx = -2; dx <= 2; ++dx) {
      const QPoint p(static_cast<int>(std::lround(at.x())) + dx, static_cast<int>(std::lround(at.y())) + dy);
      if (picture.rect().contains(p) && QColor(picture.pixel(p)) == colour) return true;
    }
  return false;
}

// The PSNR window with both files chosen as a person chooses them and the report
// named r.xls; Run presses Start and waits for the run's end.
class PsnrPlot : public PsnrWindow {
 protected:
  void Open() {
    psnr_ = new CPSNR;
    psnr_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(psnr_));
    ASSERT_TRUE(BrowseAsUser(Child<QPushButton>(*psnr_, "browse1Button"), clip_));
    ASSERT_TRUE(BrowseAsUser(Child<QPushButton>(*psnr_, "browse2Button"), second_));
    ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*psnr_, "reportBox"), QString::fromStdString(report_)));
  }
  testing::AssertionResult Run() {
    if (!ClickAsUser(Child<QPushButton>(*psnr_, "startButton")))
      return testing::AssertionFailure() << "Start";
    if (!WaitUntil([&] {
          return !psnr_->WorkerRunning() && Child<QPushButton>(*psnr_, "startButton")->isEnabled();
        }))
      return testing::AssertionFailure() << "the run did not end";
    return testing::AssertionSuccess();
  }
  void TearDown() override {
    if (psnr_) psnr_->close();
  }
  QPointer<CPSNR> psnr_;
  const std::string report_ = (dir_ / "r.xls").string();
};

TEST_F(PsnrPlot, ThePlotShowsTheReportsValuesAsTheyComeAndSavesAsPng) {
  // Frame 2 of file 2 differs more than the others: it is the worst.
  auto bytes = ReadFileBytes(second_);
  const size_t frameBytes = 352 * 288 * 3 / 2;
  for (size_t i = frameBytes; i < 2 * frameBytes; i += 3) bytes[i] ^= 0x21;
  WriteFileBytes(second_, bytes);
  ScopedCurrentFormat current(format_);
  ASSERT_NO_FATAL_FAILURE(Open());
  FramePlot* plot = psnr_->plot();
  EXPECT_TRUE(plot->isVisible());
  EXPECT_FALSE(Child<QPushButton>(plot, QStringLiteral("savePlot"))->isEnabled()) << "nothing to save yet";
  ASSERT_TRUE(Run());

  const auto rows = ReportRows(report_, 4);
  ASSERT_EQ(rows.size(), 3U);
  const MeasureSeries& series = plot->series();
  ASSERT_EQ(series.Curves(), 3U);
  for (size_t c = 0; c < 3; ++c) {
    EXPECT_EQ(series.Name(c), (std::vector<std::string>{"Y", "U", "V"})[c]);
    ASSERT_EQ(series.Points(c).size(), 3U);
    for (size_t f = 0; f < 3; ++f) {
      EXPECT_EQ(series.Points(c)[f].frame, static_cast<int32_t>(rows[f][0]));
      EXPECT_NEAR(series.Points(c)[f].value, rows[f][c + 1], 5e-5) << "curve " << c << ", frame " << f + 1;
    }
  }
  EXPECT_EQ(series.Worst()->frame, 2);

  // Saved as a picture of the plot: its curves where the plot draws them.
  const std::string png = (dir_ / "plot.png").string();
  {
    FileNameAnswers answers({QString::fromStdString(png)});
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(plot, QStringLiteral("savePlot"))));
    ASSERT_EQ(answers.asked.size(), 1U);
  }
  QImage picture;
  ASSERT_TRUE(picture.load(QString::fromStdString(png), "PNG"));
  EXPECT_EQ(picture.size(), plot->size());
  EXPECT_TRUE(ColourNear(picture, plot->PositionOf(3, series.Points(0)[2].value), QColor(40, 40, 40)))
      << "the Y curve at frame 3";
  EXPECT_TRUE(ColourNear(picture, plot->PositionOf(2, series.Points(0)[1].value), QColor(40, 40, 40)))
      << "the Y curve at frame 2";
  EXPECT_TRUE(ColourNear(picture, plot->PositionOf(2, series.Points(0)[1].value) + QPointF(5, 0),
                         QColor(230, 120, 0)))
      << "the ring around the worst frame";

  // Another run starts a new plot.
  ASSERT_TRUE(TypeAsUser(Child<QLineEdit>(*psnr_, "fromBox"), QStringLiteral("3")));
  ASSERT_TRUE(Run());
  ASSERT_EQ(plot->series().Points(0).size(), 1U);
  EXPECT_EQ(plot->series().Points(0)[0].frame, 3);
}

TEST_F(PsnrPlot, WithSsimChosenThePlotsShowTheSsimReportsValuesAndBothShowsTwoPlots) {
  ScopedCurrentFormat current(format_);
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(*psnr_, "metricBoth")));
  ASSERT_TRUE(Run());
  EXPECT_TRUE(psnr_->plot()->isVisible());
  EXPECT_TRUE(psnr_->ssimPlot()->isVisible());
  EXPECT_EQ(psnr_->plot()->series().Points(0).size(), 3U);
  const MeasureSeries& ssim = psnr_->ssimPlot()->series();
  ASSERT_EQ(ssim.Curves(), 4U);
  EXPECT_EQ(ssim.Name(3), "All");
  const auto rows = ReportRows((dir_ / "r_ssim.xls").string(), 5);
  ASSERT_EQ(rows.size(), 3U);
  for (size_t c = 0; c < 4; ++c) {
    ASSERT_EQ(ssim.Points(c).size(), 3U);
    for (size_t f = 0; f < 3; ++f)
      EXPECT_NEAR(ssim.Points(c)[f].value, rows[f][c + 1], 5e-7) << c << " " << f;
  }

  ASSERT_TRUE(ClickAsUser(Child<QRadioButton>(*psnr_, "metricSsim")));
  ASSERT_TRUE(Run());
  EXPECT_FALSE(psnr_->plot()->isVisible()) << "no PSNR measured";
  EXPECT_TRUE(psnr_->ssimPlot()->isVisible());
  EXPECT_TRUE(psnr_->plot()->series().Empty());
  EXPECT_EQ(psnr_->ssimPlot()->series().Points(3).size(), 3U);
}

class ComparePlot : public EditorWindow {};

TEST_F(ComparePlot, FramesShownArePlottedAndAClickOnAPointGoesToItsFrame) {
  // File 2: file 1 with more and more of each frame's luma changed.
  std::vector<uint8_t> second = bytes_;
  const size_t frameBytes = 64 * 48 * 3 / 2;
  for (size_t f = 0; f < 10; ++f)
    for (size_t i = 0; i < 64 * 48; i += 40 - 3 * f) second[f * frameBytes + i] ^= 0x40;
  const std::string other = (dir_ / "other_64x48.yuv").string();
  WriteFileBytes(other, second);
  ScopedCurrentFormat current(layout_);
  QPointer<CYUVCompare> compare = new CYUVCompare;
  compare->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(compare));
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  {
    FileNameAnswers answers({QString::fromStdString(edited_), QString::fromStdString(other)});
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(compare, QStringLiteral("browse1"))));
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(compare, QStringLiteral("browse2"))));
  }
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(compare, QStringLiteral("plotButton"))));
  QWidget* plotWindow = Child<QWidget>(compare, QStringLiteral("plotWindow"));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(plotWindow));
  FramePlot* plot = Child<FramePlot>(plotWindow, QStringLiteral("framePlot"));
  QLineEdit* frameBox = Child<QLineEdit>(compare, QStringLiteral("frameNumber"));
  // Each frame stepped to is plotted with the values of the PSNR box.
  for (const int frame : {1, 2, 3}) {
    ASSERT_TRUE(ClickAsUser(Child<QPushButton>(compare, QStringLiteral("stepForward"))));
    ASSERT_TRUE(WaitUntil([&] { return frameBox->text() == QString::number(frame); }));
    ASSERT_TRUE(WaitUntil([&] { return compare->FramesStandStill(); }));
    QApplication::processEvents();
    const QString box = Child<QLineEdit>(compare, QStringLiteral("psnr"))->text();
    const double y = box.section(QStringLiteral("Y :"), 1).section(QLatin1Char(' '), 0, 0).toDouble();
    const auto& points = plot->series().Points(0);
    ASSERT_GE(points.size(), static_cast<size_t>(frame));
    EXPECT_EQ(points[static_cast<size_t>(frame - 1)].frame, frame);
    EXPECT_NEAR(points[static_cast<size_t>(frame - 1)].value, y, 5e-5) << box.toStdString();
  }
  EXPECT_EQ(plot->series().Worst()->frame, 3) << "the frame with the most changed";

  // A click on frame 1's point shows frame 1; after Stop, one on frame 3's shows frame 3.
  const auto pointOf = [&](int frame) {
    return plot->PositionOf(frame, plot->series().Points(2)[static_cast<size_t>(frame - 1)].value).toPoint();
  };
  ASSERT_TRUE(ClickAsUser(plot, pointOf(1)));
  ASSERT_TRUE(WaitUntil([&] { return frameBox->text() == QStringLiteral("1"); }));
  ASSERT_TRUE(ClickAsUser(Child<QPushButton>(compare, QStringLiteral("stop"))));
  ASSERT_TRUE(WaitUntil([&] { return !compare->WorkerRunning(); }));
  ASSERT_TRUE(ClickAsUser(plot, pointOf(3)));
  ASSERT_TRUE(WaitUntil([&] { return frameBox->text() == QStringLiteral("3"); }));
  ASSERT_TRUE(WaitUntil([&] { return compare->FramesStandStill(); }));
  EXPECT_TRUE(compare->WorkerRunning()) << "paused at the frame, ready to step on";
  compare->close();
  ASSERT_TRUE(WaitUntil([&] { return compare.isNull(); }));
}

}  // namespace
}  // namespace vx::test
