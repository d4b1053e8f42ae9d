#include "tools/Converter.h"

#include <gtest/gtest.h>

#include "PixelTestSupport.h"
#include "TestSupport.h"
#include "image/ColorFormula.h"
#include "image/Dib.h"
#include "model/FileHistory.h"
#include "platform/FaultInjection.h"
#include "platform/MessageSink.h"
#include "tools/BmpFileList.h"

namespace vx {
namespace {

class Quiet : public ToolJobObserver {
 public:
  bool WantsPreview() const override { return true; }
  void FrameDone(int64_t frame) override { frames.push_back(frame); }
  void Stopped() override { ++stops; }
  std::vector<int64_t> frames;
  int stops = 0;
};

void WriteBmp(const std::filesystem::path& path, int32_t w, int32_t h, int bits, uint32_t seed) {
  CDib dib;
  const int64_t bytes = 4 * ((int64_t{bits} * w + 31) / 32) * h;
  ASSERT_TRUE(dib.CreateFromBits(w, h, bits, test::RandomBytes(static_cast<size_t>(bytes), seed)));
  auto file = RawFile::Create(path);
  ASSERT_TRUE(file && dib.Write(*file));
}

TEST(ToolJobNames, DefaultTargetAndBmpSequences) {
  EXPECT_EQ(ToolJob::DefaultTargetName("clip.take2.yuv", "_flipped.yuv"), "clip.take2_flipped.yuv");
  EXPECT_EQ(ToolJob::DefaultTargetName("clip", "_flipped.yuv"), "clip_flipped.yuv");
  EXPECT_EQ(ToolJob::DefaultTargetName("/data/v1.2/clip", "_x.yuv"), "/data/v1.2/clip_x.yuv");
  const auto names = BmpSequenceNames("/out/clip.bmp", 12);
  ASSERT_EQ(names.size(), 12u);
  EXPECT_EQ(names.front(), "/out/clip_0000.bmp");
  EXPECT_EQ(names.back(), "/out/clip_0011.bmp");
  EXPECT_EQ(FormatNamePattern("tulips%02d.bmp", 7), "tulips07.bmp");
  EXPECT_EQ(FormatNamePattern("a%d_%%.bmp", 12), "a12_%.bmp");
  EXPECT_EQ(FormatNamePattern("plain.bmp", 3), "plain.bmp");
  EXPECT_EQ(FormatNamePattern("evil%s%n.bmp", 3), "evil%s%n.bmp") << "other conversions stay literal";
  EXPECT_EQ(FormatNamePattern("two%d%d.bmp", 3), "two%d%d.bmp");
}

TEST(BmpScan, PatternsFromZeroAndDifferentPictures) {
  test::TempDir dir;
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  for (int i = 0; i < 3; ++i) WriteBmp(dir / ("p" + std::to_string(i) + ".bmp"), 6, 4, 24, i);
  auto scan = ScanBmpPattern((dir / "p%d.bmp").string());
  ASSERT_TRUE(scan.has_value());
  EXPECT_EQ(scan->names.size(), 3u);
  EXPECT_EQ(scan->width, 6);
  auto single = ScanBmpPattern((dir / "p1.bmp").string());
  ASSERT_TRUE(single.has_value());
  EXPECT_EQ(single->names.size(), 1u) << "a name without a number is one picture";
  EXPECT_FALSE(ScanBmpPattern((dir / "q%d.bmp").string()).has_value());
  WriteBmp(dir / "p3.bmp", 6, 4, 8, 9);
  EXPECT_FALSE(ScanBmpPattern((dir / "p%d.bmp").string()).has_value());
  EXPECT_EQ(recorder.Texts(),
            (std::vector<std::string>{
                "Error CONV1006:  BMP image open Failed, please make sure the number in BMP "
                "file name start from 0, like 'tulips00.bmp'. ",
                "File " + (dir / "p3.bmp").string() +
                    " (width = 6, height = 4, bit count = 8) has different format as the first "
                    "file (width = 6, height = 4, bit count = 24)"}));
}

TEST(BmpList, OperationsAndMessages) {
  test::TempDir dir;
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  for (const char* name : {"b.bmp", "A.bmp", "c.bmp"}) WriteBmp(dir / name, 4, 4, 24, 1);
  WriteBmp(dir / "grey.bmp", 4, 4, 8, 2);
  BmpFileList list;
  ASSERT_TRUE(list.Open((dir / "b.bmp").string()));
  list.Add({(dir / "c.bmp").string(), (dir / "A.bmp").string(), (dir / "grey.bmp").string(),
            (dir / "c.bmp").string()});
  auto names = [&] {
    std::vector<std::string> short_names;
    for (const auto& n : list.Names()) short_names.push_back(std::filesystem::path(n).filename().string());
    return short_names;
  };
  EXPECT_EQ(names(), (std::vector<std::string>{"A.bmp", "b.bmp", "c.bmp"})) << "alphabetical, case ignored";
  EXPECT_EQ(list.Status(), "File " + (dir / "A.bmp").string() + " (width = 4, height = 4)  is added.");
  EXPECT_EQ(list.MoveUp(0), 0);
  EXPECT_EQ(list.MoveDown(0), 1);
  EXPECT_EQ(names(), (std::vector<std::string>{"b.bmp", "A.bmp", "c.bmp"}));
  EXPECT_EQ(list.Repeat(2), 3);
  EXPECT_EQ(names(), (std::vector<std::string>{"b.bmp", "A.bmp", "c.bmp", "c.bmp"}));
  EXPECT_EQ(list.Delete(3), 2) << "the last entry removed: the previous one is selected";
  EXPECT_EQ(list.MoveUp(-1), -1);
  EXPECT_EQ(list.Delete(-1), -1);
  EXPECT_EQ(list.Repeat(-1), -1);
  const auto texts = recorder.Texts();
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[0],
            "File " + (dir / "grey.bmp").string() +
                " (width = 4, height = 4, bit count = 8) has different format as the first file (width = 4, "
                "height = 4, bit count = 24)");
  EXPECT_EQ(texts[1], "Please select a BMP file to move!");
  EXPECT_EQ(recorder.Entries()[1].caption, "Error");
  EXPECT_EQ(texts[2], "Please select a BMP file to Delete!");
  EXPECT_EQ(texts[3], "Please select a BMP file to repeat!");
  for (int i = 0; i < 3; ++i) list.Delete(0);
  EXPECT_TRUE(list.reference().empty()) << "the reference is cleared with the last name";
}

class ConverterJobTest : public testing::Test {
 protected:
  // A raw source of `frames` frames of a layout, random content.
  std::filesystem::path Source(const ImageFormat& format, int frames) {
    FrameImage probe;
    static_cast<ImageFormat&>(probe) = format;
    const auto path = dir_ / "source.yuv";
    test::WriteFileBytes(path, test::RandomBytes(static_cast<size_t>(ComputeFrameSize(probe)) * frames, 5));
    return path;
  }
  JobOutcome Run(ConverterJob& job, Quiet& observer) {
    job.ExitWhenDone = true;
    return job.FreezeAndRun(observer);
  }
  test::TempDir dir_;
  RecordingMessageSink recorder_;
  ScopedMessageSink scope_{recorder_};
};

TEST_F(ConverterJobTest, LargeSemiPlanarFramesReadIntoTheOneOutputBufferKeepTheirBytes) {
  // Frames this large share one output buffer: NV12 read into I420 is made and
  // written plane by plane, the luma of each frame waiting for the luma of the one
  // before and its chroma for the chroma. Three different frames.
  constexpr int32_t kSide = 2400;
  const ImageFormat nv12 = test::Layout(YUV_420, YUV, Progressive, SemiPlanar, kSide, kSide);
  const auto source = Source(nv12, 3);
  struct NoPreview : Quiet {
    bool WantsPreview() const override { return false; }
  } observer;
  ConverterJob job;
  ASSERT_TRUE(job.PrepareFromRequest(source.string(), (dir_ / "i420.yuv").string(), nv12));
  static_cast<ImageFormat&>(job.TargetFormat) = test::Layout(YUV_420, YUV, Progressive, Planar, kSide, kSide);
  ASSERT_EQ(Run(job, observer), JobOutcome::Completed);
  EXPECT_EQ(observer.frames, (std::vector<int64_t>{1, 2, 3}));
  const auto in = test::ReadFileBytes(source);
  std::vector<uint8_t> expected;
  const size_t luma = size_t{kSide} * kSide, quarter = luma / 4;
  for (size_t f = 0; f < 3; ++f) {
    const auto frame = in.begin() + static_cast<std::ptrdiff_t>(f * (luma + 2 * quarter));
    expected.insert(expected.end(), frame, frame + static_cast<std::ptrdiff_t>(luma));
    for (size_t k : {0, 1}) {
      for (size_t i = 0; i < quarter; ++i)
        expected.push_back(frame[static_cast<std::ptrdiff_t>(luma + 2 * i + k)]);
    }
  }
  EXPECT_TRUE(test::ReadFileBytes(dir_ / "i420.yuv") == expected);
}

TEST_F(ConverterJobTest, RangeChecksInOrder) {
  const ImageFormat i420 = test::Layout(YUV_420, YUV, Progressive, Planar, 16, 8);
  struct Case {
    int64_t start, end;
    const char* message;
  } cases[] = {
      {3, 2, "Error CONV1031:  End frame number cannot be smaller than start frame number!\n"},
      {11, 12,
       "Error CONV1032:  The start frame number you specified is bigger than the number of frames in the "
       "image file "
       "to convert!\n"},
      {2, 11,
       "Error CONV1033:  The end frame number you specified is bigger than the number of frames in the image "
       "file to "
       "convert!\n"},
      {0, 5, "Error CONV1034:  Start or end frame number cannot be less than or equal to zero!\n"},
  };
  const auto source = Source(i420, 10);
  for (const Case& c : cases) {
    recorder_.Clear();
    ConverterJob job;
    ASSERT_TRUE(job.PrepareFromRequest(source.string(), (dir_ / "t.yuv").string(), i420));
    static_cast<ImageFormat&>(job.TargetFormat) = test::Layout(YUV_444, YUV, Progressive, Packed, 16, 8);
    job.StartFrame = c.start;
    job.EndFrame = c.end;
    Quiet observer;
    EXPECT_EQ(Run(job, observer), JobOutcome::FailedStopped);
    EXPECT_EQ(observer.stops, 1) << "buttons reset";
    EXPECT_EQ(recorder_.Texts(), std::vector<std::string>{c.message});
  }
}

TEST_F(ConverterJobTest, PartialRangeScalingAndPreview) {
  const ImageFormat cif = test::Layout(YUV_420, YUV, Progressive, Planar, 352, 288);
  const auto source = Source(cif, 5);
  ConverterJob job;
  ASSERT_TRUE(job.PrepareFromRequest(source.string(), (dir_ / "qcif.yuv").string(), cif));
  static_cast<ImageFormat&>(job.TargetFormat) = test::Layout(YUV_420, YUV, Progressive, Planar, 176, 144);
  ComputeFrameSize(job.TargetFormat);
  job.StartFrame = 2;
  job.EndFrame = 4;
  Quiet observer;
  ASSERT_EQ(Run(job, observer), JobOutcome::Completed);
  EXPECT_EQ(observer.frames, (std::vector<int64_t>{2, 3, 4}));
  EXPECT_EQ(std::filesystem::file_size(dir_ / "qcif.yuv"), 3u * 176 * 144 * 3 / 2);
  EXPECT_TRUE(job.HasPreview());
  EXPECT_EQ(job.Previews().Read([](const FrameImage& p) { return p.ImgWidth; }), 352)
      << "the preview shows the source frame";

  // The expected bytes of frame 2: to 4:4:4, scaled, back to 4:2:0.
  const auto all = test::ReadFileBytes(source);
  test::TestFrame frame(cif, 0), canonical(test::Layout(YUV_444, YUV, Progressive, Packed, 352, 288), 0),
      scaled(test::Layout(YUV_444, YUV, Progressive, Packed, 176, 144), 0),
      out(test::Layout(YUV_420, YUV, Progressive, Planar, 176, 144), 0);
  std::copy(all.begin() + 152064, all.begin() + 2 * 152064, frame.frame.Data);
  ASSERT_TRUE(ToCanonical444(frame.frame, canonical.frame));
  ASSERT_TRUE(ScaleBilinear(canonical.frame, scaled.frame));
  ASSERT_TRUE(FromCanonical444(scaled.frame, out.frame));
  const auto written = test::ReadFileBytes(dir_ / "qcif.yuv");
  EXPECT_EQ(std::vector<uint8_t>(written.begin(), written.begin() + 38016), out.Bytes());
}

TEST_F(ConverterJobTest, AJobGivenAColourFormulaConvertsWithItWhateverTheProgramsIs) {
  const ImageFormat i420 = test::Layout(YUV_420, YUV, Progressive, Planar, 16, 8);
  const auto source = Source(i420, 2);
  auto toRgb = [&](const char* name, std::shared_ptr<const ColourTables> formula) {
    ConverterJob job;
    job.ColourFormula = std::move(formula);
    EXPECT_TRUE(job.PrepareFromRequest(source.string(), (dir_ / name).string(), i420));
    static_cast<ImageFormat&>(job.TargetFormat) = test::Layout(RGB_444, RGB, Progressive, Packed, 16, 8);
    ComputeFrameSize(job.TargetFormat);
    Quiet observer;
    EXPECT_EQ(Run(job, observer), JobOutcome::Completed) << name;
    return test::ReadFileBytes(dir_ / name);
  };
  const auto before = CurrentColourTables();
  PublishColourFormula({.formula = kItu601, .user = kDefaultUserFormula});
  const auto by601 = toRgb("601.rgb", nullptr);
  const auto given709 =
      toRgb("given.rgb", std::make_shared<const ColourTables>(MakeColourTables(kItu709, {})));
  PublishColourFormula({.formula = kItu709, .user = kDefaultUserFormula});
  const auto by709 = toRgb("709.rgb", nullptr);
  PublishColourFormula({.formula = before->formula, .user = before->user});
  EXPECT_NE(by601, by709);
  EXPECT_EQ(given709, by709);
}

TEST_F(ConverterJobTest, BmpSourceStartsAtItsStartFrame) {
  for (int i = 0; i < 3; ++i)
    WriteBmp(dir_ / ("f" + std::to_string(i) + ".bmp"), 100, 80, 24, static_cast<uint32_t>(i));
  ImageFormat current;
  current.SamplingFormat = BMP;
  ConverterJob job;
  ASSERT_TRUE(job.PrepareConversion({.source = (dir_ / "f%d.bmp").string(),
                                     .target = (dir_ / "out.rgb").string(),
                                     .sourceFormat = current,
                                     .targetFormat = {.SamplingFormat = RGB_444,
                                                      .ComponentOrder = RGB,
                                                      .FieldFormat = Progressive,
                                                      .PixelFormat = Packed,
                                                      .ImgWidth = -1,
                                                      .ImgHeight = -1}}));
  EXPECT_EQ(job.FrameCount, 3);
  job.StartFrame = 2;
  job.EndFrame = 3;
  Quiet observer;
  ASSERT_EQ(Run(job, observer), JobOutcome::Completed);
  EXPECT_EQ(observer.frames, (std::vector<int64_t>{2, 3}));
  ASSERT_EQ(std::filesystem::file_size(dir_ / "out.rgb"), 2u * 100 * 80 * 3);
  // The first frame written is picture f1, top row first, R G B.
  CDib second;
  auto file = RawFile::OpenRead(dir_ / "f1.bmp");
  ASSERT_TRUE(second.Read(*file));
  const auto out = test::ReadFileBytes(dir_ / "out.rgb");
  const uint8_t* topStored = second.Bits().data() + 79 * second.RowBytes();
  EXPECT_EQ(out[0], topStored[2]);
  EXPECT_EQ(out[1], topStored[1]);
  EXPECT_EQ(out[2], topStored[0]);
  EXPECT_EQ(job.Previews().Read([](const FrameImage& p) { return p.SamplingFormat; }), BMP)
      << "an RGB intermediate is previewed as screen rows";
}

TEST_F(ConverterJobTest, FailuresLeaveTheDialogRunning) {
  const ImageFormat odd = test::Layout(YUV_444, YUV, Progressive, Packed, 175, 144);
  const auto source = Source(odd, 2);
  ConverterJob job;
  ASSERT_TRUE(job.PrepareFromRequest(source.string(), (dir_ / "x.yuv").string(), odd));
  static_cast<ImageFormat&>(job.TargetFormat) = test::Layout(YUV_420, YUV, Progressive, Planar, 175, 144);
  Quiet observer;
  EXPECT_EQ(Run(job, observer), JobOutcome::FailedRunning);
  EXPECT_EQ(observer.stops, 0);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "x.yuv"));

  ConverterJob unwritable;
  const ImageFormat i420 = test::Layout(YUV_420, YUV, Progressive, Planar, 16, 8);
  ASSERT_TRUE(unwritable.PrepareFromRequest(Source(i420, 2).string(),
                                            (dir_ / "no" / "such" / "x.yuv").string(), i420));
  static_cast<ImageFormat&>(unwritable.TargetFormat) = test::Layout(YUV_444, YUV, Progressive, Packed, 16, 8);
  EXPECT_EQ(Run(unwritable, observer), JobOutcome::FailedRunning);
  EXPECT_EQ(recorder_.Texts().back(),
            "Error CONV1039: File " + (dir_ / "no" / "such" / "x.yuv").string() + " cannot be written !\n");

  ConverterJob huge;
  const ImageFormat big = test::Layout(YUV_420, YUV, Progressive, Planar, 8196, 5120);
  ASSERT_TRUE(huge.PrepareFromRequest(Source(i420, 1).string(), (dir_ / "h.yuv").string(), i420));
  static_cast<ImageFormat&>(huge.TargetFormat) = big;
  huge.StartFrame = huge.EndFrame = 1;
  EXPECT_EQ(Run(huge, observer), JobOutcome::FailedRunning);
  EXPECT_EQ(recorder_.Texts().back(), "Error CONV1036: Image size (8196, 5120) not support !\n");
}

TEST_F(ConverterJobTest, AThrowingFrameStepOrWriteFailsTheJobAndKeepsTheEarlierTarget) {
  const ImageFormat i420 = test::Layout(YUV_420, YUV, Progressive, Planar, 16, 8);
  const auto source = Source(i420, 5);
  const auto earlier = test::RandomBytes(1000, 9);
  struct Case {
    std::atomic<int>& countdown;
    std::string message;
  } cases[] = {
      {testhooks::badAllocAtFrameStep, "Error VLTX1030: The job stopped: out of memory\n"},
      {testhooks::badAllocAtWrite,
       "Error CONV1039: File " + (dir_ / "t.yuv").string() + " cannot be written !\n"},
  };
  for (const Case& c : cases) {
    recorder_.Clear();
    FileHistory().Clear();
    test::WriteFileBytes(dir_ / "t.yuv", earlier);
    ConverterJob job;
    ASSERT_TRUE(job.PrepareFromRequest(source.string(), (dir_ / "t.yuv").string(), i420));
    static_cast<ImageFormat&>(job.TargetFormat) = test::Layout(YUV_444, YUV, Progressive, Packed, 16, 8);
    test::ArmedFault fault(c.countdown, 3);  // frame 3 of 5
    Quiet observer;
    EXPECT_EQ(Run(job, observer), JobOutcome::FailedRunning) << c.message;
    EXPECT_TRUE(fault.Fired());
    EXPECT_EQ(recorder_.Texts(), std::vector<std::string>{c.message});
    EXPECT_EQ(observer.stops, 0) << "the window stays running";
    EXPECT_EQ(test::ReadFileBytes(dir_ / "t.yuv"), earlier) << c.message;
    EXPECT_EQ(test::FileNamesIn(dir_.path()), (std::vector<std::string>{"source.yuv", "t.yuv"}))
        << "no temporary file is left";
    EXPECT_TRUE(FileHistory().Records().empty()) << c.message;
    // Started again (the disk has room now): the same job runs to its end.
    recorder_.Clear();
    job.Freeze();
    EXPECT_EQ(job.Run(observer), JobOutcome::Completed) << c.message;
    EXPECT_EQ(std::filesystem::file_size(dir_ / "t.yuv"), 5u * 16 * 8 * 3) << c.message;
  }
}

}  // namespace
}  // namespace vx
