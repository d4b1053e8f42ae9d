#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

#include "analysis/Psnr.h"
#include "ui/controls/JobWindow.h"

namespace vx {

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

  PsnrRun& run() { return run_; }
  QPushButton* browse1Button() const { return browse1_; }
  QPushButton* browse2Button() const { return browse2_; }
  QPushButton* reportBrowseButton() const { return browseReport_; }
  QLineEdit* file1Box() const { return file1_; }
  QLineEdit* file2Box() const { return file2_; }
  QLineEdit* fromBox() const { return from_; }
  QLineEdit* toBox() const { return to_; }
  QLineEdit* reportBox() const { return report_; }
  QLabel* format1Label() const { return format1_; }
  QLabel* format2Label() const { return format2_; }
  QLabel* statusLine() const { return status_; }
  QRadioButton* tabButton() const { return tab_; }
  QRadioButton* commaButton() const { return comma_; }
  QPushButton* startButton() const { return start_; }
  QPushButton* pauseButton() const { return pause_; }
  QPushButton* stopButton() const { return stop_; }
  QPushButton* exitButton() const { return exit_; }

 private:
  class Observer;
  void BuildControls();
  void Browse(int index);
  void BrowseReport();
  void SetRunningControls(bool running);
  void OnStopped();
  void ShowFormat(int index);

  PsnrRun run_;
  QLineEdit *file1_ = nullptr, *file2_ = nullptr, *from_ = nullptr, *to_ = nullptr, *report_ = nullptr;
  QLabel *format1_ = nullptr, *format2_ = nullptr, *status_ = nullptr;
  QPushButton *browse1_ = nullptr, *browse2_ = nullptr, *browseReport_ = nullptr;
  QRadioButton *tab_ = nullptr, *comma_ = nullptr;
  QPushButton *start_ = nullptr, *pause_ = nullptr, *stop_ = nullptr, *exit_ = nullptr;
};

}  // namespace vx
