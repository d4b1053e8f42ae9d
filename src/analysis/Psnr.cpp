#include "analysis/Psnr.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <thread>
#include <tuple>
#include <vector>

#include "image/FrameFile.h"
#include "image/KernelPaths.h"
#include "image/LayoutGeometry.h"
#include "image/ReadAhead.h"
#include "image/SampleStorage.h"
#include "image/Ssim.h"
#include "platform/FaultInjection.h"
#include "platform/HelperThread.h"
#include "platform/MappedRegion.h"
#include "platform/MessageSink.h"
#include "platform/ScopeExit.h"
#include "platform/StringFormat.h"
#include "tools/FrameInput.h"

namespace vx {
namespace {

// The most bytes of each file read at once: whole groups of 3 and of 4 bytes.
constexpr int64_t kCompareBlockBytes = (int64_t{1} << 20) / 12 * 12;

const char* const kReadErrorFile1 =
    "Error PSNR1002: Reading error for file 1, please try other input files! ";
const char* const kReadErrorFile2 =
    "Error PSNR1003: Reading error for file 2, please try other input files! ";

// Squared differences of interleaved samples, summed per position in a group of
// P bytes (the components of packed 4:4:4, the bytes of a 4:2:2 group). 32-bit
// partial sums over chunks keep the loop vectorisable without overflow.
template <int P>
inline __attribute__((always_inline)) void SumSquaresInterleaved(const uint8_t* a, const uint8_t* b,
                                                                 int64_t groups, int64_t sums[P]) {
  constexpr int64_t kChunk = 8192;  // 8192 x 255 x 255 < 2^32
  for (int64_t first = 0; first < groups; first += kChunk) {
    const int64_t n = std::min(kChunk, groups - first);
    const uint8_t* pa = a + first * P;
    const uint8_t* pb = b + first * P;
    uint32_t partial[P] = {};
    for (int64_t i = 0; i < n; ++i) {
      for (int k = 0; k < P; ++k) {
        const int32_t d = int32_t{pa[i * P + k]} - int32_t{pb[i * P + k]};
        partial[k] += static_cast<uint32_t>(d * d);
      }
    }
    for (int k = 0; k < P; ++k) sums[k] += partial[k];
  }
}

[[gnu::always_inline]] inline void SumSquaresTriples(const uint8_t* a, const uint8_t* b, int64_t groups,
                                                     int64_t sums[3]) {
  SumSquaresInterleaved<3>(a, b, groups, sums);
}

[[gnu::always_inline]] inline void SumSquaresQuads(const uint8_t* a, const uint8_t* b, int64_t groups,
                                                   int64_t sums[4]) {
  SumSquaresInterleaved<4>(a, b, groups, sums);
}

// Squared differences of two contiguous runs of samples.
[[gnu::always_inline]] inline int64_t SumSquares(const uint8_t* a, const uint8_t* b, int64_t n) {
  int64_t sum = 0;
  SumSquaresInterleaved<1>(a, b, n, &sum);
  return sum;
}

void StoreDifferences(const uint8_t* a, const uint8_t* b, uint8_t* d, int64_t n, int64_t stride) {
  for (int64_t i = 0; i < n; ++i) {
    const int diff = std::abs(int{a[i * stride]} - int{b[i * stride]});
    d[i * stride] = static_cast<uint8_t>(diff > 255 ? 255 : diff);
  }
}

// One component's samples: runs of `count` samples every `stride` bytes.
struct Run {
  int64_t offset, count, stride;
};
// At most two runs per component (two fields, or the two luma bytes of a 4:2:2 group).
struct Runs {
  Run run[2];
  int count = 0;
  void Add(const Run& r) { run[count++] = r; }
};

double Psnr(double sse, double samples, double peak) {
  return sse == 0 ? 100.0 : 10.0 * std::log10(samples * peak * peak / sse);
}

bool SameLayoutForComparison(const FrameImage& a, const FrameImage& b) {
  return a.SamplingFormat == b.SamplingFormat && a.ComponentOrder == b.ComponentOrder &&
         a.FieldFormat == b.FieldFormat && a.PixelFormat == b.PixelFormat &&
         a.ImageResolution == b.ImageResolution && a.ImgWidth == b.ImgWidth && a.ImgHeight == b.ImgHeight &&
         a.BitsPerSample == b.BitsPerSample;
}

// How frames of one layout are compared: where each component's samples lie, how
// many count, and how any stretch of a frame's bytes adds to the sums of squared
// differences, so that a frame can be summed whole or block by block as it is read.
struct ComparisonPlan {
  // Stored: semi-planar or deeper samples, summed a whole frame at a time.
  enum class Kind : uint8_t { AllEqual, PackedTriples, PackedQuads, Planes, Stored };
  Kind kind = Kind::AllEqual;  // mono and BMP frames: 100 dB, nothing summed
  bool uyvy = false;
  ImageFormat layout;
  double peak = 255.0;  // the largest sample value
  int64_t frameBytes = 0;
  Runs runs[3];
  int64_t samples[3] = {0, 0, 0};

  // Adds frame bytes [from, from + count) of two frames (`a` and `b` point at byte
  // `from`) to `sums`: per component, or per byte of a 4:2:2 group. Packed
  // stretches start and end on whole groups.
  void Add(const uint8_t* a, const uint8_t* b, int64_t from, int64_t count, int64_t sums[4]) const {
    switch (kind) {
      case Kind::AllEqual:
        return;
      case Kind::PackedTriples:
        KernelPaths<SumSquaresTriples>::Pick()(a, b, count / 3, sums);
        return;
      case Kind::PackedQuads:
        KernelPaths<SumSquaresQuads>::Pick()(a, b, count / 4, sums);
        return;
      case Kind::Stored: {
        if (from != 0 || count != frameBytes) return;  // whole frames only
        FrameImage fa, fb;
        static_cast<ImageFormat&>(fa) = static_cast<ImageFormat&>(fb) = layout;
        fa.Data = const_cast<uint8_t*>(a);  // read only
        fb.Data = const_cast<uint8_t*>(b);
        fa.DataSize = fb.DataSize = static_cast<int32_t>(frameBytes);
        fa.Capacity = fb.Capacity = frameBytes;
        int64_t frameSums[3];
        if (SumSquaredSampleDifferences(fa, fb, frameSums)) {
          for (int k = 0; k < 3; ++k) sums[k] += frameSums[k];
        }
        return;
      }
      case Kind::Planes: {
        const auto sumSquares = KernelPaths<SumSquares>::Pick();
        for (int k = 0; k < 3; ++k) {
          for (int r = 0; r < runs[k].count; ++r) {  // planes: stride 1
            const Run& run = runs[k].run[r];
            const int64_t begin = std::max(from, run.offset);
            const int64_t end = std::min(from + count, run.offset + run.count);
            if (begin < end) sums[k] += sumSquares(a + (begin - from), b + (begin - from), end - begin);
          }
        }
        return;
      }
    }
  }
  // The three components' sums of a whole frame's `sums`.
  void Totals(const int64_t sums[4], int64_t sse[3]) const {
    if (kind == Kind::PackedQuads) {
      sse[0] = uyvy ? sums[0] : sums[0] + sums[2];
      sse[1] = uyvy ? sums[1] + sums[3] : sums[1];
      sse[2] = uyvy ? sums[2] : sums[3];
      return;
    }
    for (int k = 0; k < 3; ++k) sse[k] = sums[k];
  }
  void Values(const int64_t sums[4], double values[3]) const {
    if (kind == Kind::AllEqual) {
      values[0] = values[1] = values[2] = 100.0;
      return;
    }
    int64_t sse[3];
    Totals(sums, sse);
    for (int k = 0; k < 3; ++k)
      values[k] = Psnr(static_cast<double>(sse[k]), static_cast<double>(samples[k]), peak);
  }
};

// The plan for frames of a's layout compared with frames of b's; false when they
// cannot be compared (their frames give no values). Headers only.
bool PlanComparison(const FrameImage& a, const FrameImage& b, bool combined, ComparisonPlan& plan) {
  if (!SameLayoutForComparison(a, b)) return false;
  const int32_t s = a.SamplingFormat;
  if (combined && s != YUV_444 && s != RGB_444) return false;
  plan = ComparisonPlan{};
  if (s == MONO || s == BMP) return true;
  if (s < YUV_444 || s > RGB_444 || (s == YUV_420 && a.PixelFormat == Packed)) return false;
  FrameImage fa = a;
  ComputeFrameSize(fa);
  plan.frameBytes = fa.DataSize;
  if (fa.DataSize <= 0) return false;
  const int64_t w = a.ImgWidth, h = a.ImgHeight;
  Runs* runs = plan.runs;
  int64_t* samples = plan.samples;
  samples[0] = samples[1] = samples[2] = w * h;
  plan.layout = a;
  plan.peak = MaxSampleValue(a);
  if (IsStoredOnlyLayout(a)) {
    if (combined || !SamplesConvertible(a, a)) return false;
    plan.kind = ComparisonPlan::Kind::Stored;
    if (s == YUV_422) samples[1] = samples[2] = w * h / 2;
    if (s == YUV_420) samples[1] = samples[2] = w * h / 4;
    return true;
  }
  if (a.PixelFormat == Packed && (s == YUV_444 || s == RGB_444)) {
    plan.kind = ComparisonPlan::Kind::PackedTriples;
    for (int k = 0; k < 3; ++k) runs[k].Add({k, w * h, 3});
  } else if (a.PixelFormat == Packed) {  // 4:2:2: storage order of the component order
    plan.kind = ComparisonPlan::Kind::PackedQuads;
    const int64_t groups = h * (w / 2);
    const bool uyvy = a.ComponentOrder == UYV;
    plan.uyvy = uyvy;
    const int64_t lumaFirst = uyvy ? 1 : 0;
    runs[uyvy ? 1 : 0].Add({lumaFirst, groups, 4});
    runs[uyvy ? 1 : 0].Add({lumaFirst + 2, groups, 4});
    runs[uyvy ? 0 : 1].Add({uyvy ? 0 : 1, groups, 4});
    runs[2].Add({uyvy ? 2 : 3, groups, 4});
    samples[uyvy ? 0 : 1] = w * h / 2;
    samples[2] = w * h / 2;
  } else {
    plan.kind = ComparisonPlan::Kind::Planes;
    for (int field = 0; field < geometry::FieldCount(fa); ++field) {
      const geometry::PlanarPicture p = geometry::PlanarField(fa, field);
      for (int k = 0; k < 3; ++k) {
        if (!geometry::PlaneFits(p.plane[k], fa.DataSize)) return false;
        runs[k].Add({p.plane[k].offset, p.plane[k].size(), 1});
      }
    }
    if (s == YUV_422) samples[1] = samples[2] = w * h / 2;
    if (s == YUV_420) samples[1] = samples[2] = w * h / 4;
  }
  return true;
}

}  // namespace

bool CompareFrames(const FrameImage& a, const FrameImage& b, FrameImage* d, double& value1, double& value2,
                   double& value3, bool combined) {
  ComparisonPlan plan;
  if (!PlanComparison(a, b, combined, plan)) return false;
  if (plan.kind == ComparisonPlan::Kind::AllEqual) {
    value1 = value2 = value3 = 100.0;
    return true;
  }
  FrameImage fb = b;
  ComputeFrameSize(fb);
  if (!a.Data || !b.Data || plan.frameBytes > a.Capacity || fb.DataSize > b.Capacity) return false;
  if (d && (!d->Data || plan.frameBytes > d->Capacity)) return false;
  // Packed layouts are summed in one pass over their interleaved bytes; planes
  // and fields run by run.
  int64_t sums[4] = {0, 0, 0, 0};
  plan.Add(a.Data, b.Data, 0, plan.frameBytes, sums);
  double values[3];
  plan.Values(sums, values);
  const Runs* runs = plan.runs;
  for (int k = 0; k < 3; ++k) {
    for (int r = 0; d && !combined && r < runs[k].count; ++r) {
      const Run& run = runs[k].run[r];
      StoreDifferences(a.Data + run.offset, b.Data + run.offset, d->Data + run.offset, run.count, run.stride);
    }
  }
  // Combined (4:4:4 only): the three components share their runs sample by sample.
  if (d && combined) {
    const uint8_t fill = a.SamplingFormat == YUV_444 ? 128 : 0;
    for (int r = 0; r < runs[0].count; ++r) {
      const Run* c[3] = {&runs[0].run[r], &runs[1].run[r], &runs[2].run[r]};
      for (int64_t i = 0; i < c[0]->count; ++i) {
        int sum = 0;
        for (const Run* run : c) {
          const int64_t at = run->offset + i * run->stride;
          sum += std::abs(int{a.Data[at]} - int{b.Data[at]});
        }
        d->Data[c[0]->offset + i * c[0]->stride] = static_cast<uint8_t>(std::min(sum, 255));
        d->Data[c[1]->offset + i * c[1]->stride] = fill;
        d->Data[c[2]->offset + i * c[2]->stride] = fill;
      }
    }
  }
  if (d) d->DataSize = plan.frameBytes;
  value1 = values[0];
  value2 = values[1];
  value3 = values[2];
  return true;
}

std::string ReportNameForStyle(const std::string& name, PsnrStyle style) {
  const char* extension = style == PsnrStyle::Tab ? "xls" : "csv";
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && EqualsIgnoreCase(std::string_view(name).substr(dot + 1), extension))
    return name;
  return (dot == std::string::npos ? name : name.substr(0, dot)) + "." + extension;
}

namespace {

// The labels of the three values, by layout.
const char* const* Labels(const ImageFormat& f) {
  static const char* const yuv[3] = {"Y", "U", "V"};
  static const char* const yvu[3] = {"Y", "V", "U"};
  static const char* const uyv[3] = {"U", "Y", "V"};
  static const char* const rgb[3] = {"R", "G", "B"};
  static const char* const bgr[3] = {"B", "G", "R"};
  if (f.SamplingFormat == RGB_444 || f.SamplingFormat == BMP) return f.ComponentOrder == RGB ? rgb : bgr;
  if (f.ComponentOrder == YUV) return yuv;
  if (f.ComponentOrder == YVU) return yvu;
  return uyv;
}

}  // namespace

std::string SsimReportName(const std::string& psnrReport) {
  const size_t dot = psnrReport.rfind('.');
  const size_t slash = psnrReport.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return psnrReport + "_ssim";
  return psnrReport.substr(0, dot) + "_ssim" + psnrReport.substr(dot);
}

std::array<double, 3> ReportColumns(const ImageFormat& f, const double values[3]) {
  // The report's header names SNR_Y, SNR_U, SNR_V: YUV values go there in that
  // order whatever the storage order; RGB keeps its own.
  if (f.SamplingFormat == RGB_444 || f.SamplingFormat == BMP) return {values[0], values[1], values[2]};
  switch (f.ComponentOrder) {
    case YVU:
      return {values[0], values[2], values[1]};
    case UYV:
      return {values[1], values[0], values[2]};
    default:
      return {values[0], values[1], values[2]};
  }
}

std::vector<std::string> ReportColumnNames(const ImageFormat& f) {
  if (f.SamplingFormat != RGB_444 && f.SamplingFormat != BMP) return {"Y", "U", "V"};
  const char* const* l = Labels(f);
  return {l[0], l[1], l[2]};
}

std::vector<double> SsimColumns(const ImageFormat& f, const std::array<double, 4>& v) {
  if (f.SamplingFormat == MONO) return {v[0], v[3]};
  return {v.begin(), v.end()};
}

std::vector<std::string> SsimColumnNames(const ImageFormat& f) {
  if (f.SamplingFormat == MONO) return {"Y", "All"};
  std::vector<std::string> names = ReportColumnNames(f);
  names.emplace_back("All");
  return names;
}

std::string PsnrFrameText(const ImageFormat& f, int frame, double v1, double v2, double v3) {
  const char* const* l = Labels(f);
  return StrFormat("Frame %4d:       %s :%.4f dB         %s :%.4f dB        %s :%.4f dB", frame, l[0], v1,
                   l[1], v2, l[2], v3);
}

std::string PsnrAverageText(const ImageFormat& f, int frames, double v1, double v2, double v3) {
  const char* const* l = Labels(f);
  return StrFormat("Average of %d frames:     %s :%.4f dB         %s :%.4f dB         %s :%.4f dB ", frames,
                   l[0], v1, l[1], v2, l[2], v3);
}

std::string SsimFrameText(const ImageFormat& f, int frame, const std::array<double, 4>& v) {
  if (f.SamplingFormat == MONO)
    return StrFormat("Frame %4d:       Y :%.6f         All :%.6f", frame, v[0], v[3]);
  const char* const* l = Labels(f);
  const bool rgb = f.SamplingFormat == RGB_444 || f.SamplingFormat == BMP;
  return StrFormat("Frame %4d:       %s :%.6f         %s :%.6f        %s :%.6f        All :%.6f", frame,
                   rgb ? l[0] : "Y", v[0], rgb ? l[1] : "U", v[1], rgb ? l[2] : "V", v[2], v[3]);
}

std::string SsimAverageText(const ImageFormat& f, int frames, const std::array<double, 4>& v) {
  if (f.SamplingFormat == MONO)
    return StrFormat("Average of %d frames:     Y :%.6f         All :%.6f ", frames, v[0], v[3]);
  const char* const* l = Labels(f);
  const bool rgb = f.SamplingFormat == RGB_444 || f.SamplingFormat == BMP;
  return StrFormat("Average of %d frames:     %s :%.6f         %s :%.6f         %s :%.6f         All :%.6f ",
                   frames, rgb ? l[0] : "Y", v[0], rgb ? l[1] : "U", v[1], rgb ? l[2] : "V", v[2], v[3]);
}

void PsnrRun::PrepareFromRequest(const std::string& file1, const std::string& file2,
                                 const std::string& report, int delimiter, const ImageFormat& current,
                                 PsnrMetric metric) {
  Metric = metric;
  File1 = file1;
  File2 = file2;
  ReportName = report;
  Style = delimiter == 1 ? PsnrStyle::Comma : PsnrStyle::Tab;
  static_cast<ImageFormat&>(Format1) = current;
  Format1.ImageResolution = kCustomResolution;
  ComputeFrameSize(Format1);
  Format2 = Format1;
  Count1 = Count2 = 0;
}

std::string PsnrRun::RangeProblem(int32_t& start, int32_t& end) const {
  // Unknown frame counts (a command-line run): every frame until a file ends.
  if (spec_.Count1 == 0 && spec_.Count2 == 0) {
    start = 1;
    end = std::numeric_limits<int32_t>::max();
    return {};
  }
  auto beyond = [](const char* code, const char* which, const std::string& file, int32_t count,
                   int32_t frame) {
    return StrFormat("Error %s: File %s only has %d frames, %s frame number cannot be (%d)! \n", code,
                     file.c_str(), count, which, frame);
  };
  if (start > spec_.Count1) return beyond("PSNR1011", "start", spec_.File1, spec_.Count1, start);
  if (start > spec_.Count2) return beyond("PSNR1012", "start", spec_.File2, spec_.Count2, start);
  if (end > spec_.Count1) return beyond("PSNR1013", "end", spec_.File1, spec_.Count1, end);
  if (end > spec_.Count2) return beyond("PSNR1014", "end", spec_.File2, spec_.Count2, end);
  return {};
}

namespace {

// Frames from this size are compared where the files are (mapped) when both can be:
// copying them would cost more than summing them.
constexpr int64_t kInPlaceFrom = int64_t{1} << 20;

// The next frame of both files, summed where the files are, in two halves at once;
// a frame that cannot be mapped (no mapping left, no memory) is read into `copies`
// instead. False at the end of either file; `failedFile` names a file that could
// not be read or lost bytes while being summed (cut by another program).
bool SumFrameInPlace(const ComparisonPlan& plan, RawFile* const (&files)[2], int64_t frameBytes,
                     std::vector<uint8_t> (&copies)[2], int64_t sums[4], int& failedFile) {
  std::optional<MappedRegion> frames[2];
  const uint8_t* data[2] = {nullptr, nullptr};
  for (int i = 0; i < 2; ++i) {
    const int64_t at = files[i]->Position();
    // A frame shorter than a whole one is no frame: the comparison ends there.
    if (at < 0 || files[i]->Length() < at + frameBytes) return false;
    frames[i] = MappedRegion::Map(*files[i], at, frameBytes);
    if (frames[i]) {
      files[i]->Seek(at + frameBytes);
      data[i] = frames[i]->data();
    } else {
      copies[i].resize(static_cast<size_t>(frameBytes));
      if (files[i]->Read(copies[i].data(), frameBytes) != frameBytes) {
        failedFile = i;
        return false;
      }
      data[i] = copies[i].data();
    }
    if (testhooks::afterInPlaceRead) testhooks::afterInPlaceRead(files[i]->Descriptor());
  }
  const uint8_t* a = data[0];
  const uint8_t* b = data[1];
  const int64_t half = frameBytes / 2 / 12 * 12;  // whole groups of packed samples
  int64_t upper[4] = {0, 0, 0, 0};
  RunAlongside([&] { plan.Add(a, b, 0, half, upper); },
               [&] { plan.Add(a + half, b + half, half, frameBytes - half, sums); });
  for (int k = 0; k < 4; ++k) sums[k] += upper[k];
  for (int i = 0; i < 2; ++i) {
    if (frames[i] && frames[i]->LostPages()) {
      failedFile = i;
      return false;
    }
  }
  return true;
}

// Whether the first frames of both files can be mapped (then every frame is).
bool CanCompareInPlace(RawFile& file1, RawFile& file2, int64_t frameBytes) {
  if (frameBytes < kInPlaceFrom || testhooks::compareFromBlocks) return false;
  for (RawFile* file : {&file1, &file2}) {
    const int64_t at = file->Position();
    if (at < 0 || !MappedRegion::Map(*file, at, frameBytes)) return false;
  }
  return true;
}

}  // namespace

namespace {

// A report row: the first field, then the values (`decimals` after the point)
// in the report's columns.
std::string ReportRow(bool tab, const std::string& first, std::span<const double> values, int decimals) {
  std::string row = first + (tab ? "\t    " : ",    ");
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) row += tab ? "\t  " : ",  ";
    row += StrFormat("%.*f", decimals, values[i]);
  }
  return row + " \r\n";
}

// The SSIM report's header, and the values of a row (mono: Y and All).
std::string SsimHeader(const ImageFormat& f, bool tab) {
  if (f.SamplingFormat == MONO)
    return tab ? "Frame\t    SSIM_Y\t  SSIM_All\r\n" : "Frame,    SSIM_Y,  SSIM_All\r\n";
  return tab ? "Frame\t    SSIM_Y\t  SSIM_U\t  SSIM_V\t  SSIM_All\r\n"
             : "Frame,    SSIM_Y,  SSIM_U,  SSIM_V,  SSIM_All\r\n";
}

// The SSIM values of two frames of `layout` held at `a` and `b` (`bytes` each):
// Y U V and All; NaN for the planes a mono frame lacks.
std::array<double, 4> MeasureSsim(const ImageFormat& layout, const uint8_t* a, const uint8_t* b,
                                  int64_t bytes) {
  FrameImage fa, fb;
  static_cast<ImageFormat&>(fa) = static_cast<ImageFormat&>(fb) = layout;
  fa.Data = const_cast<uint8_t*>(a);  // read only
  fb.Data = const_cast<uint8_t*>(b);
  fa.DataSize = fb.DataSize = static_cast<int32_t>(bytes);
  fa.Capacity = fb.Capacity = bytes;
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  FrameSsim measured;
  if (!MeasureFrameSsim(fa, fb, measured)) return {kNone, kNone, kNone, kNone};
  if (measured.planes == 1) return {measured.plane[0], kNone, kNone, measured.all};
  return {measured.plane[0], measured.plane[1], measured.plane[2], measured.all};
}

}  // namespace

PsnrRun::RangeEnd PsnrRun::CompareRange(RawFile& file1, RawFile& file2, Reports& reports, FrameImage& frame1,
                                        FrameImage& frame2, int32_t start, int32_t end,
                                        PsnrObserver& observer) {
  const bool tab = spec_.Style == PsnrStyle::Tab;
  bool written = true;
  CurrentFrame = start;
  ComparisonPlan plan;
  if (!PlanComparison(frame1, frame2, false, plan)) plan = ComparisonPlan{};  // every value 100
  const int64_t frameBytes = frame1.DataSize;
  // Large frames are summed where the files are, without copying them. Others are
  // read in blocks on the read-ahead's thread while the blocks before are
  // compared, so that a pair of large frames is never held whole (a 4K run holds
  // four blocks of 1 MiB, not two pairs of frames). Blocks are whole groups of
  // packed samples; a frame may end and the next begin inside one.
  // Frames of stored-only layouts and of Y4M files are read whole, each with the
  // FRAME line before it.
  // SSIM needs whole frames too.
  const bool wholeFrames =
      plan.kind == ComparisonPlan::Kind::Stored || framing1_.y4m || framing2_.y4m || reports.ssim;
  const bool inPlace = !wholeFrames && CanCompareInPlace(file1, file2, frameBytes);
  RawFile* const files[2] = {&file1, &file2};
  int failedInPlace = -1;
  std::vector<uint8_t> copies[2];  // frames that could not be mapped
  const int64_t blockBytes = wholeFrames ? frameBytes : std::min(frameBytes, kCompareBlockBytes);
  ReadAhead blocks;
  if (!inPlace && !blocks.Start({&file1, &file2}, {blockBytes, blockBytes}, {framing1_.y4m, framing2_.y4m})) {
    Report(
        StrFormat("Error FRMT1013: Image size (%d, %d) not support !\n", frame1.ImgWidth, frame1.ImgHeight));
    return RangeEnd::RowNotWritten;
  }
  std::vector<const uint8_t*> block;
  std::vector<int64_t> got;
  int64_t blockHeld = 0, blockUsed = 0;  // bytes both files gave in the block held, bytes compared
  const auto sumFromBlocks = [&](int64_t frameSums[4]) {
    for (int64_t at = 0; at < frameBytes;) {
      if (blockUsed == blockHeld) {
        // A frame shorter than a whole one is no frame: the loop ends.
        if (!blocks.Next(block, got)) return FrameStep::Last;
        blockHeld = std::min(got[0], got[1]);
        blockUsed = 0;
        if (blockHeld == 0) return FrameStep::Last;
      }
      const int64_t take = std::min(blockHeld - blockUsed, frameBytes - at);
      plan.Add(block[0] + blockUsed, block[1] + blockUsed, at, take, frameSums);
      blockUsed += take;
      at += take;
    }
    return FrameStep::Next;
  };
  const auto sumWholeFrame = [&](int64_t frameSums[4]) {
    // Each Y4M frame's line, of whatever length, is passed over as its block is read.
    if (!blocks.Next(block, got) || got[0] < frameBytes || got[1] < frameBytes) return FrameStep::Last;
    plan.Add(block[0], block[1], 0, frameBytes, frameSums);
    return FrameStep::Next;
  };
  int64_t reached = start;  // the frame being read
  ForEachFrame(end, [&](int64_t n) {
    reached = n;
    int64_t frameSums[4] = {0, 0, 0, 0};
    const bool summed = inPlace ? SumFrameInPlace(plan, files, frameBytes, copies, frameSums, failedInPlace)
                        : wholeFrames ? sumWholeFrame(frameSums) == FrameStep::Next
                                      : sumFromBlocks(frameSums) == FrameStep::Next;
    if (!summed) return FrameStep::Last;
    const int frame = static_cast<int>(n);
    FrameMeasures measures{.frame = frame};
    std::string status;
    if (reports.psnr) {
      double v[3];
      plan.Values(frameSums, v);
      for (int k = 0; k < 3; ++k) reports.psnrSums[k] += v[k];
      status = PsnrFrameText(spec_.Format1, frame, v[0], v[1], v[2]);
      const auto r = ReportColumns(spec_.Format1, v);
      const std::string row =
          StrFormat(tab ? "%4d\t    %.4f\t  %.4f\t  %.4f \r\n" : "%4d,    %.4f,  %.4f,  %.4f \r\n", frame,
                    r[0], r[1], r[2]);
      written = reports.psnr->Write(row.data(), static_cast<int64_t>(row.size())) && written;
      measures.psnr = r;
      measures.hasPsnr = true;
    }
    if (reports.ssim) {
      const auto s = MeasureSsim(spec_.Format1, block[0], block[1], frameBytes);
      for (int k = 0; k < 4; ++k) reports.ssimSums[k] += s[k];
      // Both: the PSNR values stay in the status line, with the frame's SSIM.
      status =
          reports.psnr ? status + StrFormat("     SSIM :%.6f", s[3]) : SsimFrameText(spec_.Format1, frame, s);
      const std::string row = ReportRow(tab, StrFormat("%4d", frame), SsimColumns(spec_.Format1, s), 6);
      written = reports.ssim->Write(row.data(), static_cast<int64_t>(row.size())) && written;
      measures.ssim = s;
      measures.hasSsim = true;
    }
    observer.Status(status);
    observer.FrameMeasured(measures);
    ++FramesDone;
    return FrameStep::Next;
  });
  if (const int missing = blocks.MissingLineFile(); missing >= 0) {
    Report(MissingFrameLineMessage(missing == 0 ? spec_.File1 : spec_.File2, reached));
    return RangeEnd::ReadFailed;
  }
  // A failed read ended the loop like the end of a file.
  if (const int failed = inPlace ? failedInPlace : blocks.FailedFile(); failed >= 0) {
    Report(failed == 0 ? kReadErrorFile1 : kReadErrorFile2);
    return RangeEnd::ReadFailed;
  }
  return written ? RangeEnd::Compared : RangeEnd::RowNotWritten;
}

bool PsnrRun::SeekToFrame(RawFile& file, const std::string& name, const FrameFraming& framing,
                          int64_t frameBytes, int64_t n) const {
  FrameIndex index;
  index.Build(file, framing, frameBytes);
  const auto place = index.Find(file, n);
  if (!place && index.DamagedFrame() > 0 && n >= index.DamagedFrame()) {
    Report(MissingFrameLineMessage(name, index.DamagedFrame()));
    return false;
  }
  file.Seek(place ? place->line : std::max<int64_t>(file.Length(), 0));
  return true;
}

void PsnrRun::Freeze() {
  spec_ = static_cast<const PsnrSetup&>(*this);
  spec_.Format1.Data = spec_.Format2.Data = nullptr;
  RunState = JobState::Running;
}

void PsnrRun::Report(std::string_view text) const {
  if (observer_)
    observer_->Message(text);
  else
    ShowMessage(text);
}

JobOutcome PsnrRun::Run(PsnrObserver& observer) {
  observer_ = &observer;
  const ScopeExit forgetObserver([this] { observer_ = nullptr; });  // often a local of the caller
  // The report, a local of RunSteps, is dropped on the way out.
  return RunGuarded([&] { return RunSteps(observer); },
                    [&](const char* reason) {
                      try {
                        Report(JobStoppedText(reason));
                      } catch (...) {
                        // Without memory for the message the job still ends as failed.
                      }
                    });
}

JobOutcome PsnrRun::RunSteps(PsnrObserver& observer) {
  auto stop = [&](const std::string& message) {
    if (!message.empty()) Report(message);
    RunState = JobState::Stopped;
    observer.Stopped();
    return JobOutcome::FailedStopped;
  };
  auto keepRunning = [&](const std::string& message) {
    Report(message);
    return JobOutcome::FailedRunning;
  };
  FramesDone = 0;
  if (!SameFrameHeader(spec_.Format1, spec_.Format2))
    return keepRunning("Error PSNR1001: The two image files are not in the same format! ");
  if (spec_.Count1 == -1) return keepRunning(kReadErrorFile1);
  if (spec_.Count2 == -1) return keepRunning(kReadErrorFile2);
  auto file1 = RawFile::OpenRead(spec_.File1);
  if (!file1) {
    return keepRunning(CannotReadMessage(
        spec_.File1, "Error PSNR1005: Can not open file '%s'. Make this exists and not in use !\n"));
  }
  auto file2 = RawFile::OpenRead(spec_.File2);
  if (!file2) {
    return stop(CannotReadMessage(
        spec_.File2, "Error PSNR1007: Can not open file '%s'. Make this exists and not in use !\n"));
  }
  if (const auto refusal = LessThanOneFrame(spec_.File1, file1->Length(), spec_.Format1))
    return stop(*refusal);
  // Y4M files: their header must describe the frames compared.
  for (const auto& [file, name, framing] :
       {std::tuple{&*file1, &spec_.File1, &framing1_}, std::tuple{&*file2, &spec_.File2, &framing2_}}) {
    const FrameFileProbe probe = ProbeFrameFile(*file, *name);
    if (!probe.problem.empty()) return stop(probe.problem);
    if (probe.layout) {
      if (const auto mismatch = Y4mLayoutMismatch(*name, *probe.layout, spec_.Format1))
        return stop(*mismatch);
    }
    *framing = probe.framing;
  }
  if (const auto refusal = LessThanOneFrame(spec_.File2, file2->Length(), spec_.Format2))
    return stop(*refusal);
  if (spec_.ReportName.empty()) return stop("Error PSNR1008: Name of Report File is empty! ");
  const std::string named = ReportNameForStyle(spec_.ReportName, spec_.Style);
  if (named != spec_.ReportName) {
    spec_.ReportName = named;
    observer.ReportNameChanged(spec_.ReportName);
  }
  // SSIM alone writes its report under the name; Both puts it beside the PSNR report.
  const bool psnr = spec_.Metric != PsnrMetric::Ssim, ssim = spec_.Metric != PsnrMetric::Psnr;
  const std::string ssimName = psnr ? SsimReportName(spec_.ReportName) : spec_.ReportName;
  std::vector<std::string> names;
  if (psnr) names.push_back(spec_.ReportName);
  if (ssim) names.push_back(ssimName);
  for (const std::string& name : names) {
    if (const auto written = IdentityOf(name)) {
      for (const std::string& input : {spec_.File1, spec_.File2}) {
        if (IdentityOf(input) == written) {
          return stop(
              StrFormat("Error PSNR1016: The report %s is the input %s itself; choose another name!\n",
                        name.c_str(), input.c_str()));
        }
      }
    }
  }
  // Each report appears whole under its name when the run ends, or not at all.
  std::optional<AtomicOutput> psnrReport, ssimReport;
  using Wanted = std::tuple<bool, std::optional<AtomicOutput>*, const std::string*>;
  for (auto [wanted, output, name] :
       {Wanted{psnr, &psnrReport, &spec_.ReportName}, Wanted{ssim, &ssimReport, &ssimName}}) {
    if (wanted && !(*output = AtomicOutput::Create(*name)))
      return stop(StrFormat("Error PSNR1009: File %s was not found.....Exit\n", name->c_str()));
  }
  if (spec_.StartFrame > spec_.EndFrame) {
    return stop(
        StrFormat("Error PSNR1010: Start frame number (%d) cannot be bigger than end frame number (%d)!\n",
                  spec_.StartFrame, spec_.EndFrame));
  }
  int32_t start = spec_.StartFrame, end = spec_.EndFrame;
  if (const std::string problem = RangeProblem(start, end); !problem.empty()) return stop(problem);
  ComputeFrameSize(spec_.Format1);
  ComputeFrameSize(spec_.Format2);
  if (spec_.Format1.DataSize < 1 || spec_.Format1.DataSize > kMaxWorkBufferSize) {
    return keepRunning(StrFormat("Error FRMT1013: Image size (%d, %d) not support !\n",
                                 spec_.Format1.ImgWidth, spec_.Format1.ImgHeight));
  }
  if (spec_.Format1.SamplingFormat == YUV_420 && spec_.Format1.PixelFormat == Packed) {
    return stop("Error PSNR1015: Packed 4:2:0 files cannot be compared: that layout does not exist!\n");
  }
  if (ssim && !SsimPlanesLargeEnough(spec_.Format1)) {
    return stop(
        StrFormat("Error PSNR1017: SSIM needs planes of at least 8 x 8 samples; a plane of the %d x %d "
                  "frames is smaller!\n",
                  spec_.Format1.ImgWidth, spec_.Format1.ImgHeight));
  }
  // Headers only: the frames are read into the read-ahead's buffers.
  FrameImage frame1 = spec_.Format1, frame2 = spec_.Format2;
  const bool tab = spec_.Style == PsnrStyle::Tab;
  bool written = true;
  const auto write = [&](std::optional<AtomicOutput>& output, const std::string& text) {
    written = output->file().Write(text.data(), static_cast<int64_t>(text.size())) && written;
  };
  if (psnr)
    write(psnrReport, tab ? "Frame\t    SNR_Y\t  SNR_U\t  SNR_V\r\n" : "Frame,    SNR_Y,  SNR_U,  SNR_V\r\n");
  if (ssim) write(ssimReport, SsimHeader(spec_.Format1, tab));
  // Frames before the start are skipped in both files.
  if (!SeekToFrame(*file1, spec_.File1, framing1_, frame1.DataSize, start) ||
      !SeekToFrame(*file2, spec_.File2, framing2_, frame2.DataSize, start))
    return JobOutcome::FailedRunning;  // the reports are dropped
  Reports reports{.psnr = psnr ? &psnrReport->file() : nullptr, .ssim = ssim ? &ssimReport->file() : nullptr};
  const RangeEnd compared = CompareRange(*file1, *file2, reports, frame1, frame2, start, end, observer);
  if (compared == RangeEnd::ReadFailed) return JobOutcome::FailedRunning;  // the reports are dropped
  written = compared == RangeEnd::Compared && written;
  std::string status;
  if (FramesDone > 0 && psnr) {
    double avg[3];
    for (int k = 0; k < 3; ++k) avg[k] = reports.psnrSums[k] / FramesDone;
    status = PsnrAverageText(spec_.Format1, FramesDone, avg[0], avg[1], avg[2]);
    const auto r = ReportColumns(spec_.Format1, avg);
    write(psnrReport,
          StrFormat(tab ? "Average \t    %.4f\t  %.4f\t  %.4f \r\n" : "Average,    %.4f,  %.4f,  %.4f \r\n",
                    r[0], r[1], r[2]));
  }
  if (FramesDone > 0 && ssim) {
    std::array<double, 4> avg;
    for (int k = 0; k < 4; ++k) avg[k] = reports.ssimSums[k] / FramesDone;
    status = psnr ? status + StrFormat("     SSIM :%.6f", avg[3])
                  : SsimAverageText(spec_.Format1, FramesDone, avg);
    write(ssimReport, ReportRow(tab, tab ? "Average " : "Average", SsimColumns(spec_.Format1, avg), 6));
  }
  if (!status.empty()) observer.Status(status);
  // A failed write drops every report and names the first; a report that cannot
  // be put under its name names itself.
  std::string failed;
  if (!written) failed = names.front();
  if (failed.empty() && psnr && !psnrReport->Commit()) failed = spec_.ReportName;
  if (failed.empty() && ssim && !ssimReport->Commit()) failed = ssimName;
  RunState = JobState::Stopped;
  observer.Stopped();
  if (!failed.empty()) {
    Report(StrFormat("Error PSNR1009: File %s was not found.....Exit\n", failed.c_str()));
    return JobOutcome::FailedStopped;
  }
  if (!spec_.ExitWhenDone && FramesDone > 0) {
    Report(psnr && ssim
               ? StrFormat("PSNR and SSIM calculation is finished, the reports were saved in files %s "
                           "and %s!",
                           spec_.ReportName.c_str(), ssimName.c_str())
               : StrFormat("%s calculation is finished, the report was saved in file %s!",
                           psnr ? "PSNR" : "SSIM", spec_.ReportName.c_str()));
  }
  return JobOutcome::Completed;
}

}  // namespace vx
