#include "analysis/Psnr.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <sstream>

#include "PixelTestSupport.h"
#include "TestSupport.h"
#include "image/Ssim.h"
#include "platform/FaultInjection.h"
#include "platform/MappedRegion.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"

namespace vx {
namespace {

using test::Layout;

// A frame of `format` over its own bytes.
struct TestFrame {
  explicit TestFrame(const ImageFormat& format, uint8_t fill = 0) {
    static_cast<ImageFormat&>(frame) = format;
    ComputeFrameSize(frame);
    bytes.assign(static_cast<size_t>(frame.DataSize), fill);
    frame.Data = bytes.data();
    frame.Capacity = frame.DataSize;
  }
  std::vector<uint8_t> bytes;
  FrameImage frame;
};

double Db(double samples, double sse) {
  return 10.0 * std::log10(samples * 65025.0 / sse);
}

struct Values {
  double v[3] = {-1, -1, -1};
};

Values Compare(const TestFrame& a, const TestFrame& b, FrameImage* d = nullptr, bool combined = false) {
  Values out;
  EXPECT_TRUE(CompareFrames(a.frame, b.frame, d, out.v[0], out.v[1], out.v[2], combined));
  return out;
}

TEST(CompareFrames, Packed422ValuesFollowTheStorageOrderOfEachFourcc) {
  // Each byte position of a 4-byte group differs by its own amount: 1, 2, 3, 4.
  // Luma and chroma then have distinct errors, so a mislabelled value shows.
  const int w = 8, h = 2;
  const double luma = w * h, chroma = w * h / 2;
  struct Case {
    int32_t order;
    double expected[3];
  } cases[] = {
      // YUY2: Y at bytes 0 and 2, U at 1, V at 3.
      {YUV, {Db(luma, (1 + 9) * chroma), Db(chroma, 4 * chroma), Db(chroma, 16 * chroma)}},
      // YVYU: Y at 0 and 2, V at 1, U at 3; values stay in storage order.
      {YVU, {Db(luma, (1 + 9) * chroma), Db(chroma, 4 * chroma), Db(chroma, 16 * chroma)}},
      // UYVY: U at 0, Y at 1 and 3, V at 2.
      {UYV, {Db(chroma, 1 * chroma), Db(luma, (4 + 16) * chroma), Db(chroma, 9 * chroma)}},
  };
  for (const Case& c : cases) {
    const TestFrame a(Layout(YUV_422, c.order, Progressive, Packed, w, h), 100);
    TestFrame b(a.frame, 100);
    for (size_t i = 0; i < b.bytes.size(); ++i) b.bytes[i] = static_cast<uint8_t>(100 + i % 4 + 1);
    const Values v = Compare(a, b);
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(v.v[k], c.expected[k], 1e-9) << "order " << c.order << " value " << k;
  }
}

TEST(CompareFrames, SampleCountsUseIntegerDivisionAtOddWidths) {
  // 4:2:0 of width 5: the sums run over 2 x 2 chroma samples, N is (5 x 4) / 4 = 5.
  const TestFrame a(Layout(YUV_420, YUV, Progressive, Planar, 5, 4));
  TestFrame b(a.frame);
  // The frame is 5 x 4 x 3 / 2 = 30 bytes; the chroma planes hold 4 samples each
  // and the last two bytes lie in no plane.
  ASSERT_EQ(b.bytes.size(), 30u);
  std::fill(b.bytes.begin() + 20, b.bytes.end(), 1);
  const Values v = Compare(a, b);
  EXPECT_EQ(v.v[0], 100.0);
  EXPECT_NEAR(v.v[1], Db(5, 4), 1e-12);
  EXPECT_NEAR(v.v[2], Db(5, 4), 1e-12);
}

TEST(CompareFrames, InterlacedPlanesAreFoundInBothFields) {
  // 4:4:4 planar interlaced, 4x4: m = 8; field 2's first plane starts at 3m.
  const TestFrame a(Layout(YUV_444, YUV, Interlaced, Planar, 4, 4));
  TestFrame b(a.frame);
  b.bytes[24] = 4;      // field 2, component 1
  b.bytes[8 + 1] = 2;   // field 1, component 2
  b.bytes[40 + 7] = 3;  // field 2, component 3
  const Values v = Compare(a, b);
  EXPECT_NEAR(v.v[0], Db(16, 16), 1e-12);
  EXPECT_NEAR(v.v[1], Db(16, 4), 1e-12);
  EXPECT_NEAR(v.v[2], Db(16, 9), 1e-12);

  // 4:2:0 planar interlaced 4x4: each field holds 4x2 luma and 2x1 chroma planes.
  const TestFrame c(Layout(YUV_420, YUV, Interlaced, Planar, 4, 4));
  TestFrame e(c.frame);
  ASSERT_EQ(e.bytes.size(), 24u);
  e.bytes[12 + 8 + 2] = 5;  // field 2, third plane
  const Values w = Compare(c, e);
  EXPECT_EQ(w.v[0], 100.0);
  EXPECT_EQ(w.v[1], 100.0);
  EXPECT_NEAR(w.v[2], Db(4, 25), 1e-12);
}

TEST(CompareFrames, IdenticalMonoAndRefusedLayouts) {
  const TestFrame a(Layout(YUV_420, YUV, Progressive, Planar, 16, 8), 77);
  const Values same = Compare(a, TestFrame(a.frame, 77));
  for (double v : same.v) EXPECT_EQ(v, 100.0);

  // Mono compares nothing: 100 whatever the content.
  const TestFrame mono(Layout(MONO, YUV, Progressive, Planar, 16, 8), 0);
  const Values m = Compare(mono, TestFrame(mono.frame, 255));
  for (double v : m.v) EXPECT_EQ(v, 100.0);

  // Packed 4:2:0, other sizes and combined mode on 4:2:0 are refused; the outputs stay.
  double v1 = -1, v2 = -1, v3 = -1;
  TestFrame packed(Layout(YUV_420, YUV, Progressive, Packed, 16, 8));
  packed.frame.DataSize = 16 * 8 * 3 / 2;
  packed.bytes.resize(static_cast<size_t>(packed.frame.DataSize));
  packed.frame.Data = packed.bytes.data();
  packed.frame.Capacity = packed.frame.DataSize;
  EXPECT_FALSE(CompareFrames(packed.frame, packed.frame, nullptr, v1, v2, v3));
  const TestFrame wider(Layout(YUV_420, YUV, Progressive, Planar, 18, 8));
  EXPECT_FALSE(CompareFrames(a.frame, wider.frame, nullptr, v1, v2, v3));
  EXPECT_FALSE(CompareFrames(a.frame, a.frame, nullptr, v1, v2, v3, true));
  EXPECT_EQ(v1, -1);
  EXPECT_EQ(v2, -1);
  EXPECT_EQ(v3, -1);
}

TEST(CompareFrames, DifferenceImageAndCombinedMode) {
  const TestFrame a(Layout(YUV_422, YUV, Progressive, Planar, 4, 2), 10);
  TestFrame b(a.frame, 10);
  b.bytes[3] = 250;
  b.bytes[9] = 0;
  TestFrame d(a.frame, 99);
  d.frame.DataSize = 0;
  Compare(a, b, &d.frame);
  EXPECT_EQ(d.frame.DataSize, a.frame.DataSize);
  std::vector<uint8_t> expected(a.bytes.size(), 0);
  expected[3] = 240;
  expected[9] = 10;
  EXPECT_EQ(d.bytes, expected);

  // Combined: the clamped sum of the three differences, then neutral chroma
  // (128 for YUV, 0 for RGB), in the frame's own layout.
  for (int32_t sampling : {YUV_444, RGB_444}) {
    for (int32_t pixel : {Packed, Planar}) {
      const int32_t order = sampling == RGB_444 ? RGB : YUV;
      const TestFrame p(Layout(sampling, order, Progressive, pixel, 2, 1), 100);
      TestFrame q(p.frame, 100);
      const uint8_t fill = sampling == YUV_444 ? 128 : 0;
      if (pixel == Packed) {
        q.bytes = {110, 120, 130, 0, 0, 0};  // pixel 1: 10+20+30; pixel 2: 300 clamps
      } else {
        q.bytes = {110, 0, 120, 0, 130, 0};
      }
      TestFrame combined(p.frame, 7);
      Compare(p, q, &combined.frame, true);
      const std::vector<uint8_t> want = pixel == Packed
                                            ? std::vector<uint8_t>{60, fill, fill, 255, fill, fill}
                                            : std::vector<uint8_t>{60, 255, fill, fill, fill, fill};
      EXPECT_EQ(combined.bytes, want) << sampling << " " << pixel;
    }
  }
}

// Plain per-position sums: what the vectorised kernels must reproduce exactly.
Values ReferencePacked(const TestFrame& a, const TestFrame& b) {
  const int64_t w = a.frame.ImgWidth, h = a.frame.ImgHeight;
  int64_t sse[3] = {0, 0, 0};
  double samples[3] = {double(w * h), double(w * h), double(w * h)};
  auto add = [&](int k, int64_t at) {
    const int64_t d = int64_t{a.bytes[size_t(at)]} - int64_t{b.bytes[size_t(at)]};
    sse[k] += d * d;
  };
  if (a.frame.SamplingFormat == YUV_444) {
    for (int64_t i = 0; i < w * h; ++i) {
      for (int k = 0; k < 3; ++k) add(k, 3 * i + k);
    }
  } else {
    const bool uyvy = a.frame.ComponentOrder == UYV;
    // The component (in storage order) of each byte of a group: YUY2 Y U Y V, UYVY U Y V Y.
    const int yuy2[4] = {0, 1, 0, 2}, uyvyPlaces[4] = {0, 1, 2, 1};
    const int* place = uyvy ? uyvyPlaces : yuy2;
    for (int64_t g = 0; g < h * (w / 2); ++g) {
      for (int k = 0; k < 4; ++k) add(place[k], 4 * g + k);
    }
    samples[uyvy ? 0 : 1] = samples[2] = double(w * h / 2);
  }
  Values v;
  for (int k = 0; k < 3; ++k) {
    v.v[k] = sse[k] == 0 ? 100.0 : 10.0 * std::log10(samples[k] * 65025.0 / double(sse[k]));
  }
  return v;
}

TEST(CompareFrames, FastSumsEqualThePlainReference) {
  // Sizes around the kernels' 8192-group chunks, random and extreme content.
  for (const auto& [w, h] : {std::pair{6, 2}, std::pair{200, 100}, std::pair{258, 64}}) {
    for (const ImageFormat& f :
         {Layout(YUV_444, YUV, Progressive, Packed, w, h), Layout(YUV_422, YUV, Progressive, Packed, w, h),
          Layout(YUV_422, UYV, Progressive, Packed, w, h)}) {
      for (int content = 0; content < 2; ++content) {
        TestFrame a(f, 0), b(f, 255);
        if (content == 1) {
          a.bytes = test::RandomBytes(a.bytes.size(), 3);
          b.bytes = test::RandomBytes(b.bytes.size(), 4);
          a.frame.Data = a.bytes.data();
          b.frame.Data = b.bytes.data();
        }
        const Values fast = Compare(a, b), plain = ReferencePacked(a, b);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(fast.v[k], plain.v[k]) << test::Describe(f) << " " << content;
      }
    }
  }
  // Planar 4:2:0 at 1920 x 1080, every sample as far apart as possible: 0 dB, no overflow.
  const TestFrame zero(Layout(YUV_420, YUV, Progressive, Planar, 1920, 1080), 0);
  const Values worst = Compare(zero, TestFrame(zero.frame, 255));
  for (double v : worst.v) EXPECT_EQ(v, 0.0);
}

TEST(PsnrTexts, ReportNamesAndLabelsByLayout) {
  EXPECT_EQ(ReportNameForStyle("results", PsnrStyle::Comma), "results.csv");
  EXPECT_EQ(ReportNameForStyle("a/run.CSV", PsnrStyle::Comma), "a/run.CSV");
  EXPECT_EQ(ReportNameForStyle("out.txt", PsnrStyle::Tab), "out.xls");
  EXPECT_EQ(ReportNameForStyle("psnr.xls", PsnrStyle::Comma), "psnr.csv");
  EXPECT_EQ(PsnrFrameText(Layout(YUV_420, YVU, Progressive, Planar, 2, 2), 7, 1, 2.5, 100),
            "Frame    7:       Y :1.0000 dB         V :2.5000 dB        U :100.0000 dB");
  EXPECT_EQ(PsnrFrameText(Layout(YUV_422, UYV, Progressive, Packed, 2, 2), 12345, 1, 2, 3),
            "Frame 12345:       U :1.0000 dB         Y :2.0000 dB        V :3.0000 dB");
  EXPECT_EQ(PsnrAverageText(Layout(RGB_444, BGR, Progressive, Packed, 2, 2), 5, 1, 2, 3),
            "Average of 5 frames:     B :1.0000 dB         G :2.0000 dB         R :3.0000 dB ");
  EXPECT_EQ(PsnrAverageText(Layout(RGB_444, RGB, Progressive, Packed, 2, 2), 5, 1, 2, 3),
            "Average of 5 frames:     R :1.0000 dB         G :2.0000 dB         B :3.0000 dB ");
}

// Runs of two 16x8 I420 files in a temporary folder.
class PsnrRunTest : public ::testing::Test {
 protected:
  static constexpr int kFrame = 16 * 8 * 3 / 2;

  void SetUp() override {
    format_ = Layout(YUV_420, YUV, Progressive, Planar, 16, 8);
    a_ = test::RandomBytes(kFrame * 8, 1);
    b_ = a_;
    // Frame n of file 2 differs from file 1 by n in the first luma sample.
    for (int n = 0; n < 8; ++n) b_[static_cast<size_t>(n * kFrame)] ^= static_cast<uint8_t>(n + 1);
    test::WriteFileBytes(dir_ / "a.yuv", a_);
    test::WriteFileBytes(dir_ / "b.yuv", b_);
  }

  void Prepare(PsnrRun& run, int32_t count1, int32_t count2) {
    run.PrepareFromRequest((dir_ / "a.yuv").string(), (dir_ / "b.yuv").string(), (dir_ / "r.xls").string(), 0,
                           format_);
    run.Count1 = count1;
    run.Count2 = count2;
  }

  std::string Report() const { return test::ReadFileText(dir_ / "r.xls"); }

  test::TempDir dir_;
  ImageFormat format_;
  std::vector<uint8_t> a_, b_;
  RecordingMessageSink sink_;
  ScopedMessageSink scoped_{sink_};
};

class StopAfter : public PsnrObserver {
 public:
  StopAfter(PsnrRun& run, int frames) : run_(run), frames_(frames) {}
  void Status(const std::string& text) override {
    statuses.push_back(text);
    if (static_cast<int>(statuses.size()) == frames_) run_.Stop();
  }
  void ReportNameChanged(const std::string& name) override { names.push_back(name); }
  void Stopped() override { ++stops; }
  std::vector<std::string> statuses, names;
  int stops = 0;

 private:
  PsnrRun& run_;
  int frames_;
};

TEST_F(PsnrRunTest, StartFrameThreeComparesTheThirdFrames) {
  PsnrRun run;
  Prepare(run, 8, 8);
  run.StartFrame = 3;
  run.EndFrame = 4;
  StopAfter observer(run, 100);
  ASSERT_EQ(run.FreezeAndRun(observer), JobOutcome::Completed);
  // Frame n differs in one luma sample; its |difference| is that of a XOR (n).
  auto luma = [&](int n) {
    const int diff =
        int{a_[static_cast<size_t>((n - 1) * kFrame)]} - int{b_[static_cast<size_t>((n - 1) * kFrame)]};
    return 10.0 * std::log10(128.0 * 65025.0 / (diff * diff));
  };
  const std::string expected =
      std::string("Frame\t    SNR_Y\t  SNR_U\t  SNR_V\r\n") +
      StrFormat("%4d\t    %.4f\t  %.4f\t  %.4f \r\n", 3, luma(3), 100.0, 100.0) +
      StrFormat("%4d\t    %.4f\t  %.4f\t  %.4f \r\n", 4, luma(4), 100.0, 100.0) +
      StrFormat("Average \t    %.4f\t  %.4f\t  %.4f \r\n", (luma(3) + luma(4)) / 2, 100.0, 100.0);
  EXPECT_EQ(Report(), expected);
  EXPECT_EQ(observer.statuses.back(),
            StrFormat("Average of 2 frames:     Y :%.4f dB         U :100.0000 dB         V :100.0000 dB ",
                      (luma(3) + luma(4)) / 2));
  EXPECT_EQ(sink_.Texts(),
            std::vector<std::string>{"PSNR calculation is finished, the report was saved in file " +
                                     (dir_ / "r.xls").string() + "!"});
}

TEST_F(PsnrRunTest, AStartFrameEqualToEitherFilesCountComparesThatLastFrame) {
  for (const auto& [count1, count2] : {std::pair{6, 8}, std::pair{8, 6}}) {
    SCOPED_TRACE(StrFormat("%d and %d frames", count1, count2));
    sink_.Clear();
    PsnrRun run;
    Prepare(run, count1, count2);
    run.StartFrame = run.EndFrame = 6;
    StopAfter observer(run, 100);
    ASSERT_EQ(run.FreezeAndRun(observer), JobOutcome::Completed) << ::testing::PrintToString(sink_.Texts());
    const int diff = int{a_[5 * kFrame]} - int{b_[5 * kFrame]};
    const double luma = 10.0 * std::log10(128.0 * 65025.0 / (diff * diff));
    EXPECT_EQ(Report(), std::string("Frame\t    SNR_Y\t  SNR_U\t  SNR_V\r\n") +
                            StrFormat("%4d\t    %.4f\t  %.4f\t  %.4f \r\n", 6, luma, 100.0, 100.0) +
                            StrFormat("Average \t    %.4f\t  %.4f\t  %.4f \r\n", luma, 100.0, 100.0));
  }
}

TEST_F(PsnrRunTest, StopAfterFiveFramesKeepsFiveRowsAndTheirAverage) {
  PsnrRun run;
  Prepare(run, 8, 8);
  run.EndFrame = 8;
  StopAfter observer(run, 5);
  ASSERT_EQ(run.FreezeAndRun(observer), JobOutcome::Completed);
  const std::string report = Report();
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1 + 5 + 1);
  EXPECT_NE(report.find("\r\n   5\t"), std::string::npos);
  EXPECT_EQ(report.find("\r\n   6\t"), std::string::npos);
  EXPECT_EQ(report.rfind("Average \t    ", std::string::npos), report.find("Average"));
  EXPECT_EQ(run.FramesDone, 5);
  EXPECT_EQ(observer.stops, 1);
  ASSERT_EQ(sink_.Texts().size(), 1u);
  EXPECT_NE(sink_.Texts()[0].find("r.xls!"), std::string::npos);
}

TEST_F(PsnrRunTest, UnknownCountsRunToTheShorterFileAndSkipAPartialFrame) {
  // File 2 holds 5.5 frames: the half frame is never compared.
  b_.resize(kFrame * 5 + kFrame / 2);
  test::WriteFileBytes(dir_ / "b.yuv", b_);
  PsnrRun run;
  Prepare(run, 0, 0);
  run.StartFrame = 7;  // ignored when the counts are unknown
  run.EndFrame = 7;
  run.ExitWhenDone = true;
  run.Style = PsnrStyle::Comma;
  StopAfter observer(run, 100);
  ASSERT_EQ(run.FreezeAndRun(observer), JobOutcome::Completed);
  EXPECT_EQ(observer.names, std::vector<std::string>{(dir_ / "r.csv").string()});
  const std::string report = test::ReadFileText(dir_ / "r.csv");
  EXPECT_EQ(report.substr(0, 33), "Frame,    SNR_Y,  SNR_U,  SNR_V\r\n");
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1 + 5 + 1);
  EXPECT_NE(report.find("\r\n   1,    "), std::string::npos);
  EXPECT_NE(report.find("\r\nAverage,    "), std::string::npos);
  EXPECT_TRUE(sink_.Texts().empty());  // no finished message when the program exits after the job
}

TEST_F(PsnrRunTest, IdenticalFilesReportOneHundredEverywhere) {
  test::WriteFileBytes(dir_ / "b.yuv", a_);
  PsnrRun run;
  Prepare(run, 8, 8);
  run.StartFrame = 1;
  run.EndFrame = 2;
  StopAfter observer(run, 100);
  ASSERT_EQ(run.FreezeAndRun(observer), JobOutcome::Completed);
  EXPECT_EQ(Report(),
            "Frame\t    SNR_Y\t  SNR_U\t  SNR_V\r\n"
            "   1\t    100.0000\t  100.0000\t  100.0000 \r\n"
            "   2\t    100.0000\t  100.0000\t  100.0000 \r\n"
            "Average \t    100.0000\t  100.0000\t  100.0000 \r\n");
}

TEST(PsnrTexts, SsimReportNamesAndTexts) {
  EXPECT_EQ(SsimReportName("a/run.xls"), "a/run_ssim.xls");
  EXPECT_EQ(SsimReportName("a.b/run"), "a.b/run_ssim");
  EXPECT_EQ(SsimFrameText(Layout(YUV_420, YVU, Progressive, Planar, 2, 2), 7, {0.5, 0.25, 1, 0.125}),
            "Frame    7:       Y :0.500000         U :0.250000        V :1.000000        All :0.125000");
  EXPECT_EQ(
      SsimAverageText(Layout(RGB_444, BGR, Progressive, Packed, 2, 2), 5, {0.5, 0.25, 1, 0.125}),
      "Average of 5 frames:     B :0.500000         G :0.250000         R :1.000000         All :0.125000 ");
  EXPECT_EQ(SsimFrameText(Layout(MONO, YUV, Progressive, Planar, 2, 2), 3, {0.5, 0, 0, 0.5}),
            "Frame    3:       Y :0.500000         All :0.500000");
}

// Records each frame's values as the run reports them.
class MeasuresRecorder : public PsnrObserver {
 public:
  void FrameMeasured(const FrameMeasures& measures) override { frames.push_back(measures); }
  std::vector<FrameMeasures> frames;
};

TEST_F(PsnrRunTest, BothWritesTheSsimReportBesideThePsnrReportAndHandsEachFramesValuesOver) {
  // 16 x 16 I420: chroma of 8 x 8, one window.
  constexpr int kBytes = 16 * 16 * 3 / 2;
  format_ = Layout(YUV_420, YUV, Progressive, Planar, 16, 16);
  a_ = test::RandomBytes(kBytes * 3, 4);
  b_ = test::RandomBytes(kBytes * 3, 5);
  test::WriteFileBytes(dir_ / "a.yuv", a_);
  test::WriteFileBytes(dir_ / "b.yuv", b_);
  std::string psnrAlone;
  for (PsnrMetric metric : {PsnrMetric::Psnr, PsnrMetric::Both}) {
    PsnrRun run;
    Prepare(run, 0, 0);
    run.Metric = metric;
    MeasuresRecorder observer;
    ASSERT_EQ(run.FreezeAndRun(observer), JobOutcome::Completed);
    ASSERT_EQ(observer.frames.size(), 3u);
    if (metric == PsnrMetric::Psnr) {
      psnrAlone = Report();
      EXPECT_FALSE(observer.frames[0].hasSsim);
      EXPECT_FALSE(std::filesystem::exists(dir_ / "r_ssim.xls"));
      continue;
    }
    EXPECT_EQ(Report(), psnrAlone) << "the PSNR report as PSNR alone writes it";
    std::string expected = "Frame\t    SSIM_Y\t  SSIM_U\t  SSIM_V\t  SSIM_All\r\n";
    std::array<double, 4> sums{};
    for (int n = 0; n < 3; ++n) {
      const FrameMeasures& m = observer.frames[static_cast<size_t>(n)];
      EXPECT_EQ(m.frame, n + 1);
      EXPECT_TRUE(m.hasPsnr && m.hasSsim);
      FrameImage fa, fb;
      static_cast<ImageFormat&>(fa) = static_cast<ImageFormat&>(fb) = format_;
      fa.Data = a_.data() + n * kBytes;
      fb.Data = b_.data() + n * kBytes;
      fa.DataSize = fb.DataSize = fa.Capacity = fb.Capacity = kBytes;
      FrameSsim ssim;
      ASSERT_TRUE(MeasureFrameSsim(fa, fb, ssim));
      EXPECT_EQ(m.ssim, (std::array<double, 4>{ssim.plane[0], ssim.plane[1], ssim.plane[2], ssim.all}));
      expected += StrFormat("%4d\t    %.6f\t  %.6f\t  %.6f\t  %.6f \r\n", n + 1, m.ssim[0], m.ssim[1],
                            m.ssim[2], m.ssim[3]);
      for (size_t k = 0; k < 4; ++k) sums[k] += m.ssim[k];
    }
    expected += StrFormat("Average \t    %.6f\t  %.6f\t  %.6f\t  %.6f \r\n", sums[0] / 3, sums[1] / 3,
                          sums[2] / 3, sums[3] / 3);
    EXPECT_EQ(test::ReadFileText(dir_ / "r_ssim.xls"), expected);
  }

  // SSIM of planes without a window (16 x 8 I420: chroma of 8 x 4) is refused, no report written.
  std::filesystem::remove(dir_ / "r.xls");
  format_ = Layout(YUV_420, YUV, Progressive, Planar, 16, 8);
  PsnrRun run;
  Prepare(run, 0, 0);
  run.Metric = PsnrMetric::Ssim;
  MeasuresRecorder observer;
  EXPECT_EQ(run.FreezeAndRun(observer), JobOutcome::FailedStopped);
  EXPECT_EQ(sink_.Texts().back(),
            "Error PSNR1017: SSIM needs planes of at least 8 x 8 samples; a plane of the 16 x 8 frames is "
            "smaller!\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "r.xls"));
}

TEST_F(PsnrRunTest, FailuresInOrderWithWhatEachLeavesBehind) {
  struct Case {
    const char* what;
    std::function<void(PsnrRun&)> setup;
    std::string message;
    JobOutcome outcome;
  };
  const std::string a = (dir_ / "a.yuv").string(), b = (dir_ / "b.yuv").string();
  const std::vector<Case> cases = {
      {"formats differ", [](PsnrRun& r) { r.Format2.ImgWidth = 32; },
       "Error PSNR1001: The two image files are not in the same format! ", JobOutcome::FailedRunning},
      {"file 1 unusable", [](PsnrRun& r) { r.Count1 = -1; },
       "Error PSNR1002: Reading error for file 1, please try other input files! ", JobOutcome::FailedRunning},
      {"file 2 unusable", [](PsnrRun& r) { r.Count2 = -1; },
       "Error PSNR1003: Reading error for file 2, please try other input files! ", JobOutcome::FailedRunning},
      {"file 1 missing", [&](PsnrRun& r) { r.File1 = a + ".none"; },
       "Error PSNR1005: Can not open file '" + a + ".none'. Make this exists and not in use !\n",
       JobOutcome::FailedRunning},
      {"file 2 missing", [&](PsnrRun& r) { r.File2 = b + ".none"; },
       "Error PSNR1007: Can not open file '" + b + ".none'. Make this exists and not in use !\n",
       JobOutcome::FailedStopped},
      {"no report", [](PsnrRun& r) { r.ReportName.clear(); },
       "Error PSNR1008: Name of Report File is empty! ", JobOutcome::FailedStopped},
      {"start after end", [](PsnrRun& r) { r.StartFrame = 5, r.EndFrame = 4; },
       "Error PSNR1010: Start frame number (5) cannot be bigger than end frame number (4)!\n",
       JobOutcome::FailedStopped},
      {"start beyond 1", [](PsnrRun& r) { r.Count1 = 3, r.StartFrame = r.EndFrame = 4; },
       "Error PSNR1011: File " + a + " only has 3 frames, start frame number cannot be (4)! \n",
       JobOutcome::FailedStopped},
      {"start beyond 2", [](PsnrRun& r) { r.Count2 = 3, r.StartFrame = r.EndFrame = 4; },
       "Error PSNR1012: File " + b + " only has 3 frames, start frame number cannot be (4)! \n",
       JobOutcome::FailedStopped},
      {"end beyond 1", [](PsnrRun& r) { r.Count1 = 3, r.EndFrame = 4; },
       "Error PSNR1013: File " + a + " only has 3 frames, end frame number cannot be (4)! \n",
       JobOutcome::FailedStopped},
      {"end beyond 2", [](PsnrRun& r) { r.Count2 = 3, r.EndFrame = 4; },
       "Error PSNR1014: File " + b + " only has 3 frames, end frame number cannot be (4)! \n",
       JobOutcome::FailedStopped},
      {"packed 4:2:0", [](PsnrRun& r) { r.Format1.PixelFormat = r.Format2.PixelFormat = Packed; },
       "Error PSNR1015: Packed 4:2:0 files cannot be compared: that layout does not exist!\n",
       JobOutcome::FailedStopped},
      {"too large",
       [](PsnrRun& r) {
         r.Format1.ImgWidth = r.Format2.ImgWidth = 18000, r.Format1.ImgHeight = r.Format2.ImgHeight = 8000;
       },
       "Error FRMT1013: Image size (18000, 8000) not support !\n", JobOutcome::FailedRunning},
  };
  for (const Case& c : cases) {
    sink_.Clear();
    std::filesystem::remove(dir_ / "r.xls");
    PsnrRun run;
    Prepare(run, 8, 8);
    run.StartFrame = 1;
    run.EndFrame = 8;
    c.setup(run);
    StopAfter observer(run, 100);
    EXPECT_EQ(run.FreezeAndRun(observer), c.outcome) << c.what;
    EXPECT_EQ(sink_.Texts(), std::vector<std::string>{c.message}) << c.what;
    // A run that stays "running" waits for the user's Stop; the others stop themselves.
    EXPECT_EQ(observer.stops, c.outcome == JobOutcome::FailedStopped ? 1 : 0) << c.what;
    // No frame was compared: no average row, no finished message.
    if (std::filesystem::exists(dir_ / "r.xls")) {
      EXPECT_EQ(Report().find("Average"), std::string::npos) << c.what;
    }
  }
}

TEST_F(PsnrRunTest, AFailedReadFailsTheRunWithThatFilesMessageAndKeepsTheEarlierReport) {
  // The files' blocks are read in turn: block 5 is file 1's third frame, block 6 file 2's.
  struct Case {
    int block;
    const char* message;
  } cases[] = {{5, "Error PSNR1002: Reading error for file 1, please try other input files! "},
               {6, "Error PSNR1003: Reading error for file 2, please try other input files! "}};
  for (const Case& c : cases) {
    sink_.Clear();
    test::WriteFileText(dir_ / "r.xls", "earlier report");
    test::ArmedFault fault(testhooks::badAllocAtReadBlock, c.block);
    PsnrRun run;
    Prepare(run, 8, 8);
    run.EndFrame = 8;
    StopAfter observer(run, 100);
    EXPECT_EQ(run.FreezeAndRun(observer), JobOutcome::FailedRunning) << c.message;
    EXPECT_EQ(sink_.Texts(), std::vector<std::string>{c.message});
    EXPECT_EQ(observer.statuses.size(), 2u) << "two frames compared, no average";
    EXPECT_EQ(Report(), "earlier report");
    EXPECT_EQ(test::FileNamesIn(dir_.path()), (std::vector<std::string>{"a.yuv", "b.yuv", "r.xls"}));
  }
}

TEST_F(PsnrRunTest, AnExceptionEndsTheRunAsFailedWithItsText) {
  class Throwing : public PsnrObserver {
   public:
    void Status(const std::string&) override {
      if (++statuses == 3) throw std::runtime_error("no window for frame 3");
    }
    int statuses = 0;
  };
  test::WriteFileText(dir_ / "r.xls", "earlier report");
  PsnrRun run;
  Prepare(run, 8, 8);
  run.EndFrame = 8;
  Throwing observer;
  EXPECT_EQ(run.FreezeAndRun(observer), JobOutcome::FailedRunning);
  EXPECT_EQ(sink_.Texts(),
            std::vector<std::string>{"Error VLTX1030: The job stopped: no window for frame 3\n"});
  EXPECT_EQ(Report(), "earlier report");
  EXPECT_EQ(test::FileNamesIn(dir_.path()), (std::vector<std::string>{"a.yuv", "b.yuv", "r.xls"}));
}

TEST_F(PsnrRunTest, UnwritableReportIsReported) {
  PsnrRun run;
  Prepare(run, 8, 8);
  run.ReportName = (dir_ / "missing" / "r.xls").string();
  StopAfter observer(run, 100);
  EXPECT_EQ(run.FreezeAndRun(observer), JobOutcome::FailedStopped);
  EXPECT_EQ(sink_.Texts(),
            std::vector<std::string>{"Error PSNR1009: File " + run.ReportName + " was not found.....Exit\n"});
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

TEST(PsnrReport, ColumnsHoldYUVInThatOrderWhateverTheStorageOrder) {
  const double storage[3] = {1, 2, 3};
  using Columns = std::array<double, 3>;
  EXPECT_EQ(ReportColumns(test::Layout(YUV_420, YUV, Progressive, Planar, 2, 2), storage),
            (Columns{1, 2, 3}));
  EXPECT_EQ(ReportColumns(test::Layout(YUV_420, YVU, Progressive, Planar, 2, 2), storage), (Columns{1, 3, 2}))
      << "YV12 stores V before U";
  EXPECT_EQ(ReportColumns(test::Layout(YUV_422, UYV, Progressive, Packed, 2, 2), storage), (Columns{2, 1, 3}))
      << "UYVY stores U first";
  EXPECT_EQ(ReportColumns(test::Layout(RGB_444, BGR, Progressive, Packed, 2, 2), storage), (Columns{1, 2, 3}))
      << "RGB keeps its storage order";

  // A UYVY pair of files that differ only in one U sample: the report says so under SNR_U.
  test::TempDir dir;
  std::vector<uint8_t> a(4 * 2 * 2, 100), b = a;
  b[0] = 90;  // the first U
  test::WriteFileBytes(dir / "a.uyvy", a);
  test::WriteFileBytes(dir / "b.uyvy", b);
  PsnrRun run;
  run.PrepareFromRequest((dir / "a.uyvy").string(), (dir / "b.uyvy").string(), (dir / "r.csv").string(), 1,
                         test::Layout(YUV_422, UYV, Progressive, Packed, 4, 2));
  run.ExitWhenDone = true;
  PsnrObserver observer;
  ASSERT_EQ(run.FreezeAndRun(observer), JobOutcome::Completed);
  const std::string report = test::ReadFileText(dir / "r.csv");
  const std::string row = report.substr(report.find("\r\n") + 2);
  std::vector<std::string> fields;
  std::stringstream line(row.substr(0, row.find("\r\n")));
  for (std::string field; std::getline(line, field, ',');)
    fields.push_back(field.substr(field.find_first_not_of(' ')));
  ASSERT_EQ(fields.size(), 4u) << row;
  EXPECT_EQ(fields[1], "100.0000") << "SNR_Y: no error";
  EXPECT_NE(fields[2], "100.0000 ") << "SNR_U holds the loss";
  EXPECT_NE(fields[2], "100.0000");
  EXPECT_EQ(fields[3], "100.0000 ") << "SNR_V: no error";
}

// A run over a.yuv and b.yuv of `dir`, reporting to r.xls, to the end of the shorter.
void PrepareOverFolder(PsnrRun& run, const test::TempDir& dir, const ImageFormat& f) {
  run.PrepareFromRequest((dir / "a.yuv").string(), (dir / "b.yuv").string(), (dir / "r.xls").string(), 0, f);
  run.Count1 = run.Count2 = 0;
}

// The status of each whole frame of `a` against `b` is the one whole frames give
// compared at once (the last status, the average, is not looked at).
void ExpectWholeFrameValues(const ImageFormat& f, const std::vector<uint8_t>& a,
                            const std::vector<uint8_t>& b, const std::vector<std::string>& statuses,
                            const std::string& what) {
  TestFrame header(f);
  const auto frame = static_cast<size_t>(header.frame.DataSize);
  for (size_t n = 0; n + 1 < statuses.size() && (n + 1) * frame <= std::min(a.size(), b.size()); ++n) {
    TestFrame fa(f), fb(f);
    std::copy_n(a.begin() + static_cast<std::ptrdiff_t>(n * frame), frame, fa.bytes.begin());
    std::copy_n(b.begin() + static_cast<std::ptrdiff_t>(n * frame), frame, fb.bytes.begin());
    const Values whole = Compare(fa, fb);
    EXPECT_EQ(statuses[n], PsnrFrameText(f, static_cast<int>(n) + 1, whole.v[0], whole.v[1], whole.v[2]))
        << what << " frame " << n + 1;
  }
}

TEST(PsnrRunBlocks, FramesLargerThanAReadBlockGiveTheValuesOfWholeFrames) {
  // Frames of 1.2 to 2.4 MB are compared where the files are, or read in blocks
  // of about 1 MiB: frames begin and end inside blocks, packed groups never
  // straddle one. The last frame is short.
  RecordingMessageSink sink;
  ScopedMessageSink scoped(sink);
  for (const bool fromBlocks : {false, true}) {
    testhooks::compareFromBlocks = fromBlocks;
    for (const ImageFormat& f : {Layout(YUV_420, YUV, Progressive, Planar, 1024, 768),
                                 Layout(YUV_420, YUV, Interlaced, Planar, 1024, 768),
                                 Layout(YUV_422, UYV, Progressive, Packed, 1024, 600),
                                 Layout(YUV_444, YUV, Progressive, Packed, 1024, 800)}) {
      test::TempDir dir;
      TestFrame header(f);
      const auto frame = static_cast<size_t>(header.frame.DataSize);
      const auto a = test::RandomBytes(frame * 3 + frame / 2, 5);
      auto b = a;
      for (size_t i = 0; i < b.size(); i += 997) b[i] = static_cast<uint8_t>(b[i] + i % 7);
      test::WriteFileBytes(dir / "a.yuv", a);
      test::WriteFileBytes(dir / "b.yuv", b);
      PsnrRun run;
      run.PrepareFromRequest((dir / "a.yuv").string(), (dir / "b.yuv").string(), (dir / "r.xls").string(), 0,
                             f);
      run.Count1 = run.Count2 = 0;  // every frame until a file ends
      run.SetExitWhenDone(true);
      StopAfter observer(run, 100);
      ASSERT_EQ(run.FreezeAndRun(observer), JobOutcome::Completed) << test::Describe(f);
      ASSERT_EQ(observer.statuses.size(), 4u) << "three frames and the average; the half frame is none: "
                                              << ::testing::PrintToString(observer.statuses);
      ExpectWholeFrameValues(f, a, b, observer.statuses,
                             test::Describe(f) + (fromBlocks ? " from blocks" : " in place"));
    }
  }
  testhooks::compareFromBlocks = false;
}

TEST(PsnrRunBlocks, FramesThatCannotBeMappedAreReadAndGiveTheSameValues) {
  // After the first frame every mapping is taken: the later frames are read.
  RecordingMessageSink sink;
  ScopedMessageSink scoped(sink);
  const ImageFormat f = Layout(YUV_422, UYV, Progressive, Packed, 1024, 600);
  const size_t frame = 1024 * 600 * 2;
  test::TempDir dir;
  const auto a = test::RandomBytes(frame * 3, 8);
  auto b = a;
  for (size_t i = 0; i < b.size(); i += 991) b[i] = static_cast<uint8_t>(b[i] + i % 5);
  test::WriteFileBytes(dir / "a.yuv", a);
  test::WriteFileBytes(dir / "b.yuv", b);
  static std::vector<MappedRegion> taken;
  static std::optional<RawFile> held;
  static bool slotsRanOut = false;
  slotsRanOut = false;
  held = RawFile::OpenRead(dir / "a.yuv");
  testhooks::afterInPlaceRead = [](int) {
    while (!slotsRanOut) {
      auto region = MappedRegion::Map(*held, 0, 4096);
      if (!region) slotsRanOut = true;
      if (region) taken.push_back(std::move(*region));
    }
  };
  PsnrRun run;
  PrepareOverFolder(run, dir, f);
  StopAfter observer(run, 100);
  const JobOutcome outcome = run.FreezeAndRun(observer);
  testhooks::afterInPlaceRead = nullptr;
  taken.clear();
  held.reset();
  EXPECT_TRUE(slotsRanOut) << "every mapping was taken";
  ASSERT_EQ(outcome, JobOutcome::Completed) << ::testing::PrintToString(sink.Texts());
  ASSERT_EQ(observer.statuses.size(), 4u) << "three frames and the average";
  ExpectWholeFrameValues(f, a, b, observer.statuses, "mappings taken");
}

TEST(PsnrRunBlocks, AFileCutWhileItsFrameIsComparedInPlaceFailsWithThatFilesMessage) {
  RecordingMessageSink sink;
  ScopedMessageSink scoped(sink);
  const ImageFormat f = Layout(YUV_420, YUV, Progressive, Planar, 1024, 768);
  const size_t frame = 1024 * 768 * 3 / 2;
  test::TempDir dir;
  test::WriteFileBytes(dir / "a.yuv", test::RandomBytes(frame * 3, 6));
  test::WriteFileBytes(dir / "b.yuv", test::RandomBytes(frame * 3, 7));
  test::WriteFileText(dir / "r.xls", "earlier report");
  static int maps = 0;
  static std::string cut;
  maps = 0;
  cut = (dir / "b.yuv").string();
  // Maps go a, b, a, b: the fourth is file 2's second frame, cut a page into it.
  testhooks::afterInPlaceRead = [](int) {
    if (++maps == 4) ASSERT_EQ(::truncate(cut.c_str(), static_cast<off_t>(1024 * 768 * 3 / 2 + 4096)), 0);
  };
  PsnrRun run;
  PrepareOverFolder(run, dir, f);
  StopAfter observer(run, 100);
  const JobOutcome outcome = run.FreezeAndRun(observer);
  testhooks::afterInPlaceRead = nullptr;
  EXPECT_EQ(outcome, JobOutcome::FailedRunning);
  EXPECT_EQ(sink.Texts(), std::vector<std::string>{
                              "Error PSNR1003: Reading error for file 2, please try other input files! "});
  EXPECT_EQ(observer.statuses.size(), 1u) << "frame 1 compared, frame 2 not";
  EXPECT_EQ(test::ReadFileText(dir / "r.xls"), "earlier report");
}

}  // namespace
}  // namespace vx
