#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

#include "analysis/Psnr.h"
#include "ui/controls/JobWindow.h"

namespace vx {

class FramePlot;

// "Calculate the PSNR of Two YUV Files": two raw files compared frame by frame
// on a worker thread, per-frame values in the status line and a report file.
class CPSNR : public JobWindow {
  Q_OBJECT

 public:
  explicit CPSNR(QWidget* parent = nullptr);
  ~CPSNR() override;

  // The command-line hand-over: both files with the current format, every frame
  // until the shorter file ends.
  bool StartFromRequest(const QString& file1, const QString& file2, const QString& report, int delimiter,
                        const ImageFormat& current);
  bool StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) override;

  // What the Browse buttons do once the picker and the format dialog have
  // answered (index 1 or 2).
  void ChooseFile(int index, const QString& path, const ImageFormat& format, int64_t frameCount);
  void Start();
  void PauseClicked();
  void StopClicked();
  void ExitClicked();
  void SelectStyle(PsnrStyle style);
  // PSNR, SSIM or both (the SSIM report beside the PSNR report).
  void SelectMetric(PsnrMetric metric);

  PsnrRun& run() { return run_; }
  FramePlot* plot() const { return plot_; }
  FramePlot* ssimPlot() const { return ssimPlot_; }

 private:
  class Observer;
  void BuildControls();
  void Browse(int index);
  void BrowseReport();
  void SetRunningControls(bool running);
  void OnStopped();
  void ShowFormat(int index);
  void ShowMeasures(const FrameMeasures& measures);

  PsnrRun run_;
  QLineEdit *file1_ = nullptr, *file2_ = nullptr, *from_ = nullptr, *to_ = nullptr, *report_ = nullptr;
  QLabel *format1_ = nullptr, *format2_ = nullptr, *status_ = nullptr;
  QPushButton *browse1_ = nullptr, *browse2_ = nullptr, *browseReport_ = nullptr;
  QRadioButton *tab_ = nullptr, *comma_ = nullptr;
  QRadioButton *metricPsnr_ = nullptr, *metricSsim_ = nullptr, *metricBoth_ = nullptr;
  QPushButton *start_ = nullptr, *pause_ = nullptr, *stop_ = nullptr, *exit_ = nullptr;
  FramePlot *plot_ = nullptr, *ssimPlot_ = nullptr;
};

}  // namespace vx
