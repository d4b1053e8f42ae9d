#pragma once

// PSNR and SSIM of two raw files frame by frame, and the frame comparison it
// shares with the compare and motion tools.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "image/FrameFile.h"
#include "image/FrameImage.h"
#include "platform/RawFile.h"
#include "tools/JobRun.h"

namespace vx {

// Per-component squared-error sums of two frames of one layout and their PSNR in
// dB (100 for no error), components in the order the buffer stores them. With
// `difference`, each compared sample's |a - b| (at most 255) goes to the same
// place in it; `combined` (4:4:4 and RGB only) puts the clamped sum of the three
// differences in its first component and neutral values in the other two.
// False when the frames cannot be compared (other layouts, packed 4:2:0).
bool CompareFrames(const FrameImage& a, const FrameImage& b, FrameImage* difference, double& value1,
                   double& value2, double& value3, bool combined = false);

enum class PsnrStyle : int { Tab = 0, Comma = 1 };

// What a run measures: Both writes the PSNR report and the SSIM report beside it.
enum class PsnrMetric : int { Psnr = 0, Ssim = 1, Both = 2 };

// The report name with the style's extension: a different extension (case
// ignored) is replaced, a name without one gets it.
std::string ReportNameForStyle(const std::string& name, PsnrStyle style);

// The SSIM report beside a PSNR report of that name: "_ssim" before the extension.
std::string SsimReportName(const std::string& psnrReport);

// The report's three columns (SNR_Y, SNR_U, SNR_V) from values in storage order:
// Y, U, V for YUV layouts, storage order for RGB.
std::array<double, 3> ReportColumns(const ImageFormat& format, const double values[3]);

// The names of those columns: Y U V, or the RGB components in storage order.
std::vector<std::string> ReportColumnNames(const ImageFormat& format);

// The SSIM report's values of a frame (Y U V All; mono: Y All) and their names
// (RGB: the components in storage order, then All).
std::vector<double> SsimColumns(const ImageFormat& format, const std::array<double, 4>& ssim);
std::vector<std::string> SsimColumnNames(const ImageFormat& format);

// The status line texts, labelled by the layout's component order.
std::string PsnrFrameText(const ImageFormat& format, int frame, double v1, double v2, double v3);
std::string PsnrAverageText(const ImageFormat& format, int frames, double v1, double v2, double v3);
// The same for SSIM values: Y U V and All as the report has them (mono: Y and All).
std::string SsimFrameText(const ImageFormat& format, int frame, const std::array<double, 4>& ssim);
std::string SsimAverageText(const ImageFormat& format, int frames, const std::array<double, 4>& ssim);

// The values of one frame of a run, as its report row is written.
struct FrameMeasures {
  int32_t frame = 0;
  std::array<double, 3> psnr{};  // the report's columns: Y U V (RGB: as stored)
  bool hasPsnr = false;
  std::array<double, 4> ssim{};  // Y U V and All (RGB: as stored; mono: U and V NaN)
  bool hasSsim = false;
};

class PsnrObserver : public JobObserver {
 public:
  virtual void Status(const std::string& /*text*/) {}
  virtual void ReportNameChanged(const std::string& /*name*/) {}
  // Called on the run's thread after each frame's row.
  virtual void FrameMeasured(const FrameMeasures& /*measures*/) {}
};

// What a PSNR run compares and where it writes.
struct PsnrSetup {
  std::string File1, File2, ReportName;
  FrameImage Format1, Format2;     // headers
  int32_t Count1 = 0, Count2 = 0;  // 0: not known; -1: unusable
  int32_t StartFrame = 1, EndFrame = 1;
  PsnrStyle Style = PsnrStyle::Tab;
  PsnrMetric Metric = PsnrMetric::Psnr;
  bool ExitWhenDone = false;
};

// The window edits the setup only while no worker runs; Freeze copies it for
// the run, and the worker reads nothing else.
class PsnrRun : public JobRun, public PsnrSetup {
 public:
  // Frames compared by the last run (read once it has ended).
  int32_t FramesDone = 0;
  void SetExitWhenDone(bool exitWhenDone) override { ExitWhenDone = exitWhenDone; }

  // From the command line: both files with the current format, counts unknown.
  void PrepareFromRequest(const std::string& file1, const std::string& file2, const std::string& report,
                          int delimiter, const ImageFormat& current, PsnrMetric metric = PsnrMetric::Psnr);
  // Copies the setup for the run and sets the state to Running.
  void Freeze();
  // An exception thrown anywhere in the run ends it as FailedRunning with its
  // message; the report is dropped.
  JobOutcome Run(PsnrObserver& observer);
  JobOutcome FreezeAndRun(PsnrObserver& observer) {
    Freeze();
    return Run(observer);
  }

 private:
  PsnrSetup spec_;
  FrameFraming framing1_, framing2_;  // where the run's files hold their frames
  // Puts `file` (named `name`) at frame `n`'s FRAME line (a raw file's at its
  // samples). False after the message when the line is damaged; a frame past the
  // end puts it at the end, where the comparison finds nothing.
  bool SeekToFrame(RawFile& file, const std::string& name, const FrameFraming& framing, int64_t frameBytes,
                   int64_t n) const;
  PsnrObserver* observer_ = nullptr;  // while Run runs
  void Report(std::string_view text) const;
  // The range check's message, or empty when the range fits both files; unknown
  // counts widen the range to every frame.
  std::string RangeProblem(int32_t& start, int32_t& end) const;
  // Run, without its guard against exceptions.
  JobOutcome RunSteps(PsnrObserver& observer);
  enum class RangeEnd : uint8_t { Compared, RowNotWritten, ReadFailed };
  // The reports a run writes (null: not measured) and the sums of their values.
  struct Reports {
    RawFile* psnr = nullptr;
    RawFile* ssim = nullptr;
    std::array<double, 3> psnrSums{};
    std::array<double, 4> ssimSums{};
  };
  // Compares the frame pairs of the range (until a file ends or the run stops),
  // shows and writes each row and adds the values to the sums. ReadFailed comes
  // after the failed file's message.
  RangeEnd CompareRange(RawFile& file1, RawFile& file2, Reports& reports, FrameImage& frame1,
                        FrameImage& frame2, int32_t start, int32_t end, PsnrObserver& observer);
};

}  // namespace vx
