// Every row kernel on every path this machine can run (the portable one, and
// AVX2 when the processor has it), chosen by lowering the CPU flags, against the
// plain reference. Inputs end where a page ends and the next page is unmapped,
// so a kernel that reads one byte too far faults.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "PixelTestSupport.h"
#include "analysis/Psnr.h"
#include "display/DisplayConvert.h"
#include "image/ColorFormula.h"
#include "image/PixelOps.h"
#include "image/SampleStorage.h"
#include "platform/CpuFlags.h"

namespace vx {
namespace {

using test::Describe;
using test::Layout;
using test::TestFrame;

// `size` bytes whose last one is the last byte of a page; the page after it is
// not mapped.
class PageEndBytes {
 public:
  explicit PageEndBytes(size_t size) : size_(size) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    mapped_ = ((size + page - 1) / page + 1) * page;
    void* map = mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED) throw std::bad_alloc();
    base_ = static_cast<uint8_t*>(map);
    mprotect(base_ + mapped_ - page, page, PROT_NONE);
    data_ = base_ + mapped_ - page - size;
  }
  PageEndBytes(const PageEndBytes&) = delete;
  PageEndBytes& operator=(const PageEndBytes&) = delete;
  ~PageEndBytes() { munmap(base_, mapped_); }

  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  std::span<uint8_t> span() const { return {data_, size_}; }

 private:
  uint8_t* base_ = nullptr;
  uint8_t* data_ = nullptr;
  size_t size_ = 0, mapped_ = 0;
};

// A frame of `format` whose bytes end at a page end (capacity: exactly the frame).
struct PageEndFrame {
  PageEndFrame(const ImageFormat& format, const std::vector<uint8_t>& content)
      : bytes(static_cast<size_t>(FrameSize(format))) {
    std::copy_n(content.begin(), bytes.size(), bytes.data());
    static_cast<ImageFormat&>(frame) = format;
    ComputeFrameSize(frame);
    frame.Data = bytes.data();
    frame.Capacity = frame.DataSize;
  }
  static int64_t FrameSize(const ImageFormat& format) {
    FrameImage f;
    static_cast<ImageFormat&>(f) = format;
    ComputeFrameSize(f);
    return f.DataSize;
  }
  PageEndBytes bytes;
  FrameImage frame;
};

struct KernelPath {
  const char* name;
  int mask;
};

// The paths this processor runs: AVX2 only where it exists.
std::vector<KernelPath> AvailablePaths() {
  std::vector<KernelPath> paths = {{"portable", 0}};
  if (MaskCpuFlags(-1) & kCpuHasAvx2) paths.push_back({"avx2", kCpuHasAvx2});
  return paths;
}

// Runs `check` once per path with the CPU flags lowered to it.
template <typename Check>
void ForEachPath(Check check) {
  struct Restore {
    ~Restore() { MaskCpuFlags(-1); }
  } restore;
  for (const KernelPath& path : AvailablePaths()) {
    SCOPED_TRACE(path.name);
    MaskCpuFlags(path.mask);
    check();
  }
}

// Widths around the vector lengths (16 and 32 bytes, 4 and 8 doubles).
const int32_t kOddWidths[] = {1, 3, 5, 11, 17, 31, 33, 65};
const int32_t kPairWidths[] = {2, 6, 34, 66, 130};

std::vector<ImageFormat> SubsampledLayouts(int32_t w, int32_t h, bool planarOnly) {
  std::vector<ImageFormat> layouts;
  for (const ImageFormat& f : test::ValidYuvLayouts(w, h)) {
    if (f.SamplingFormat != YUV_444 && (!planarOnly || f.PixelFormat == Planar)) layouts.push_back(f);
  }
  return layouts;
}

TEST(KernelPaths, MaskLowersAndRestoresTheFlags) {
  const int all = MaskCpuFlags(-1);
  EXPECT_EQ(TestCpuFlag(kCpuHasAvx2), (all & kCpuHasAvx2) != 0);
  EXPECT_EQ(MaskCpuFlags(0), 0);
  EXPECT_FALSE(TestCpuFlag(kCpuHasAvx2));
  EXPECT_EQ(MaskCpuFlags(-1), all);
#if defined(__x86_64__)
  EXPECT_EQ(TestCpuFlag(kCpuHasAvx2), __builtin_cpu_supports("avx2") != 0);
#endif
  RecordProperty("paths", static_cast<int>(AvailablePaths().size()));
}

TEST(KernelPaths, RgbToYuvRowsMatchThePixelFormula) {
  ForEachPath([] {
    for (const int32_t formula : {kItu601, kItu709}) {
      const ColourTables tables = MakeColourTables(formula, kDefaultUserFormula);
      for (const RgbRowsLayout layout : {RgbRowsLayout{}, RgbRowsLayout{.bgr = true},
                                         RgbRowsLayout{.bottomUp = true, .alignedRows = true}}) {
        for (const int32_t w : kOddWidths) {
          const int32_t h = 3;
          const int64_t pitch = layout.alignedRows ? (3 * w + 3) / 4 * 4 : 3 * w;
          PageEndBytes rgb(static_cast<size_t>(pitch * (h - 1) + 3 * w)), yuv(static_cast<size_t>(3 * w * h));
          const auto content = test::RandomBytes(rgb.size(), static_cast<uint32_t>(w));
          std::copy(content.begin(), content.end(), rgb.data());
          ASSERT_TRUE(RgbBufferToYuv(tables, rgb.span(), yuv.span(), w, h, layout));
          for (int64_t r = 0; r < h; ++r) {
            for (int64_t x = 0; x < w; ++x) {
              const uint8_t* p = rgb.data() + (layout.bottomUp ? h - 1 - r : r) * pitch + 3 * x;
              const bool blueFirst = layout.bottomUp || layout.bgr;
              Yuv8 expected{};
              RgbToYuvPixel(formula, {}, blueFirst ? p[2] : p[0], p[1], blueFirst ? p[0] : p[2], expected);
              const uint8_t* got = yuv.data() + (r * w + x) * 3;
              ASSERT_EQ((Yuv8{got[0], got[1], got[2]}), expected) << "width " << w << " row " << r;
            }
          }
        }
      }
    }
  });
}

// The display row of RGB bytes that YuvToRgbPixel gives for packed Y U V.
void ExpectDisplayRows(const ColourTables& tables, const uint8_t* yuv, const uint8_t* rows, int32_t w,
                       int32_t h, const DisplayRowsOptions& options, const std::string& what) {
  const int64_t pitch = DisplayRowPitch(w, options.padRows);
  const bool blueFirst = options.bottomUp || options.swapRedBlue;
  for (int64_t r = 0; r < h; ++r) {
    const uint8_t* row = rows + (options.bottomUp ? h - 1 - r : r) * pitch;
    for (int64_t x = 0; x < w; ++x) {
      const uint8_t* p = yuv + (r * w + x) * 3;
      const Rgb8 rgb = YuvToRgbPixel(tables, p[0], p[1], p[2]);
      const Rgb8 got = blueFirst ? Rgb8{row[3 * x + 2], row[3 * x + 1], row[3 * x]}
                                 : Rgb8{row[3 * x], row[3 * x + 1], row[3 * x + 2]};
      ASSERT_EQ(got, rgb) << what << " row " << r << " column " << x;
    }
    for (int64_t i = 3 * w; i < pitch; ++i) ASSERT_EQ(row[i], 0) << what << " padding";
  }
}

const DisplayRowsOptions kDisplayOrders[] = {{}, {.swapRedBlue = true}, {.bottomUp = true, .padRows = true}};

TEST(KernelPaths, DisplayRowsMatchTheLookupTables) {
  ForEachPath([] {
    for (const int32_t formula : {kItu601, kItu709}) {
      const ColourTables tables = MakeColourTables(formula, kDefaultUserFormula);
      for (const DisplayRowsOptions& options : kDisplayOrders) {
        for (const int32_t w : kOddWidths) {
          const int32_t h = 3;
          PageEndBytes yuv(static_cast<size_t>(3 * w * h));
          PageEndBytes rows(static_cast<size_t>(DisplayRowPitch(w, options.padRows) * h));
          const auto content = test::RandomBytes(yuv.size(), static_cast<uint32_t>(w + formula));
          std::copy(content.begin(), content.end(), yuv.data());
          ASSERT_TRUE(ConvertToDisplayRGB(tables, yuv.span(), rows.span(), w, h, options));
          ExpectDisplayRows(tables, yuv.data(), rows.data(), w, h, options, "width " + std::to_string(w));
        }
      }
    }
  });
}

// Every Y U V triple through both formulas, on every path: the clamps at both ends
// and every rounding included.
TEST(KernelPaths, EveryYuvTripleGivesTheTablesColour) {
  constexpr int32_t w = 4096, h = 4096;  // row r: Y = r / 16; column c: U = c / 16, V = r % 16 * 16 + c % 16
  std::vector<uint8_t> yuv(size_t{3} * w * h), rows(yuv.size());
  for (int32_t r = 0; r < h; ++r) {
    for (int32_t c = 0; c < w; ++c) {
      uint8_t* p = yuv.data() + (size_t{3} * (size_t{w} * r + c));
      p[0] = static_cast<uint8_t>(r / 16);
      p[1] = static_cast<uint8_t>(c / 16);
      p[2] = static_cast<uint8_t>(r % 16 * 16 + c % 16);
    }
  }
  for (const int32_t formula : {kItu601, kItu709}) {
    const ColourTables tables = MakeColourTables(formula, kDefaultUserFormula);
    std::vector<uint8_t> expected(yuv.size());
    for (size_t i = 0; i < yuv.size(); i += 3) {
      const Rgb8 rgb = YuvToRgbPixel(tables, yuv[i], yuv[i + 1], yuv[i + 2]);
      expected[i] = rgb.r;
      expected[i + 1] = rgb.g;
      expected[i + 2] = rgb.b;
    }
    ForEachPath([&] {
      ASSERT_TRUE(ConvertToDisplayRGB(tables, yuv, rows, w, h, {}));
      const auto differ = std::mismatch(rows.begin(), rows.end(), expected.begin());
      if (differ.first == rows.end()) return;
      const size_t i = static_cast<size_t>(differ.first - rows.begin()) / 3 * 3;
      ADD_FAILURE() << "formula " << formula << " Y " << int{yuv[i]} << " U " << int{yuv[i + 1]} << " V "
                    << int{yuv[i + 2]} << ": " << int{rows[i]} << " " << int{rows[i + 1]} << " "
                    << int{rows[i + 2]} << ", expected " << int{expected[i]} << " " << int{expected[i + 1]}
                    << " " << int{expected[i + 2]};
    });
  }
}

TEST(KernelPaths, FusedDisplayRowsMatchTheCanonicalPicture) {
  ForEachPath([] {
    const ColourTables tables = MakeColourTables(kItu709, kDefaultUserFormula);
    for (const int32_t w : kPairWidths) {
      for (const ImageFormat& layout : SubsampledLayouts(w, 6, true)) {
        const auto content = test::RandomBytes(static_cast<size_t>(PageEndFrame::FrameSize(layout)), 5);
        const PageEndFrame source(layout, content);
        TestFrame copy(layout, 0), canonical(Layout(YUV_444, YUV, Progressive, Packed, w, 6), 0);
        std::copy(content.begin(), content.end(), copy.frame.Data);
        ASSERT_TRUE(ToCanonical444Reference(copy.frame, canonical.frame)) << Describe(layout);
        for (const DisplayRowsOptions& options : kDisplayOrders) {
          PageEndBytes rows(static_cast<size_t>(DisplayRowPitch(w, options.padRows) * 6));
          TestFrame scratch(canonical.frame, 0);
          ASSERT_TRUE(FrameToDisplayRGB(tables, source.frame, scratch.frame, rows.span(), options));
          ExpectDisplayRows(tables, canonical.frame.Data, rows.data(), w, 6, options, Describe(layout));
        }
      }
    }
  });
}

TEST(KernelPaths, SubsampledLayoutConversionMatchesTheReferenceChain) {
  ForEachPath([] {
    uint32_t seed = 40;
    for (const int32_t w : kPairWidths) {
      for (const int32_t h : {4, 5}) {
        for (const ImageFormat& from : SubsampledLayouts(w, h, false)) {
          for (const ImageFormat& to : SubsampledLayouts(w, h, false)) {
            const auto content =
                test::RandomBytes(static_cast<size_t>(PageEndFrame::FrameSize(from)), ++seed);
            const PageEndFrame source(from, content);
            TestFrame fast(to, 1), copy(from, 0),
                canonical(Layout(YUV_444, YUV, Progressive, Packed, w, h), 0), reference(to, 2);
            std::copy(content.begin(), content.end(), copy.frame.Data);
            ASSERT_TRUE(ConvertYuvLayout(source.frame, fast.frame))
                << Describe(from) << " to " << Describe(to);
            ASSERT_TRUE(ToCanonical444Reference(copy.frame, canonical.frame));
            ASSERT_TRUE(FromCanonical444Reference(canonical.frame, reference.frame));
            ASSERT_EQ(fast.Bytes(), reference.Bytes()) << Describe(from) << " to " << Describe(to);
          }
        }
      }
    }
  });
}

struct Size {
  int32_t w, h;
};

TEST(KernelPaths, PackedScalingMatchesThePerPixelFormula) {
  const Size pairs[][2] = {{{33, 5}, {65, 7}}, {{65, 9}, {17, 3}}, {{2, 2}, {31, 4}}};
  ForEachPath([&] {
    for (const auto& pair : pairs) {
      const ImageFormat from = Layout(YUV_444, YUV, Progressive, Packed, pair[0].w, pair[0].h);
      const auto content = test::RandomBytes(static_cast<size_t>(PageEndFrame::FrameSize(from)), 9);
      PageEndFrame source(from, content);
      TestFrame copy(from, 0);
      std::copy(content.begin(), content.end(), copy.frame.Data);
      const ImageFormat to = Layout(YUV_444, YUV, Progressive, Packed, pair[1].w, pair[1].h);
      PageEndFrame fast(to, std::vector<uint8_t>(static_cast<size_t>(PageEndFrame::FrameSize(to)), 1));
      TestFrame reference(to, 2);
      ASSERT_TRUE(ScaleBilinear(source.frame, fast.frame));
      ASSERT_TRUE(ScaleBilinearReference(copy.frame, reference.frame));
      ASSERT_TRUE(
          std::equal(reference.frame.Data, reference.frame.Data + reference.frame.DataSize, fast.frame.Data))
          << Describe(from) << " to " << Describe(to);
    }
  });
}

TEST(KernelPaths, PlaneScalingMatchesTheCanonicalChain) {
  const Size pairs[][2] = {{{34, 6}, {66, 10}}, {{66, 10}, {18, 6}}, {{130, 4}, {130, 8}}};
  ForEachPath([&] {
    uint32_t seed = 80;
    for (const auto& pair : pairs) {
      for (const ImageFormat& from : test::ValidYuvLayouts(pair[0].w, pair[0].h)) {
        if (from.PixelFormat != Planar) continue;
        const ImageFormat to = test::Layout(from.SamplingFormat, from.ComponentOrder, from.FieldFormat,
                                            Planar, pair[1].w, pair[1].h);
        const auto content = test::RandomBytes(static_cast<size_t>(PageEndFrame::FrameSize(from)), ++seed);
        const PageEndFrame source(from, content);
        TestFrame copy(from, 0), direct(to, 3), chain(to, 4);
        TestFrame canonical(Layout(YUV_444, YUV, Progressive, Packed, pair[0].w, pair[0].h), 1);
        TestFrame scaled(Layout(YUV_444, YUV, Progressive, Packed, pair[1].w, pair[1].h), 2);
        std::copy(content.begin(), content.end(), copy.frame.Data);
        ASSERT_TRUE(ScaleYuvPlanes(source.frame, direct.frame)) << Describe(from) << " to " << Describe(to);
        ASSERT_TRUE(ToCanonical444Reference(copy.frame, canonical.frame));
        ASSERT_TRUE(ScaleBilinearReference(canonical.frame, scaled.frame));
        ASSERT_TRUE(FromCanonical444Reference(scaled.frame, chain.frame));
        ASSERT_EQ(direct.Bytes(), chain.Bytes()) << Describe(from) << " to " << Describe(to);
      }
    }
  });
}

// Bytes with runs of equal samples: where weighted sums of equal samples may
// fall just below the sample, so the doubles must be the reference's.
std::vector<uint8_t> FlatRunBytes(size_t size, int run) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<uint8_t>((i / static_cast<size_t>(run)) * 53 % 256);
  return bytes;
}

TEST(KernelPaths, PlaneScalingPathsGiveTheSameBytes) {
  // Widths off the vector lengths, down and up, a ratio whose columns spread
  // past one load, and one pair above the size scaled in two halves at once.
  const Size pairs[][2] = {{{98, 8}, {70, 12}}, {{46, 8}, {130, 4}},      {{96, 12}, {64, 8}},
                           {{202, 4}, {62, 8}}, {{262, 4}, {38, 4}},      {{2, 4}, {34, 8}},
                           {{6, 8}, {2, 4}},    {{390, 240}, {520, 180}}, {{520, 180}, {390, 240}}};
  uint32_t seed = 300;
  int compared = 0;
  for (const auto& pair : pairs) {
    const bool large = pair[0].h > 64 || pair[1].h > 64;
    for (const ImageFormat& from : test::ValidYuvLayouts(pair[0].w, pair[0].h)) {
      if (from.PixelFormat != Planar || (large && from.FieldFormat != Progressive)) continue;
      const ImageFormat to =
          Layout(from.SamplingFormat, from.ComponentOrder, from.FieldFormat, Planar, pair[1].w, pair[1].h);
      const auto bytes = static_cast<size_t>(PageEndFrame::FrameSize(from));
      for (int content = 0; content < 2; ++content) {
        const auto input = content == 0 ? test::RandomBytes(bytes, ++seed) : FlatRunBytes(bytes, 7);
        const PageEndFrame source(from, input);
        std::vector<std::vector<uint8_t>> outputs;
        ForEachPath([&] {
          TestFrame scaled(to, 3);
          ASSERT_TRUE(ScaleYuvPlanes(source.frame, scaled.frame)) << Describe(from) << " to " << Describe(to);
          outputs.push_back(scaled.Bytes());
        });
        TestFrame copy(from, 0), chain(to, 4);
        TestFrame canonical(Layout(YUV_444, YUV, Progressive, Packed, pair[0].w, pair[0].h), 1);
        TestFrame scaled(Layout(YUV_444, YUV, Progressive, Packed, pair[1].w, pair[1].h), 2);
        std::copy(input.begin(), input.end(), copy.frame.Data);
        ASSERT_TRUE(ToCanonical444Reference(copy.frame, canonical.frame));
        ASSERT_TRUE(ScaleBilinearReference(canonical.frame, scaled.frame));
        ASSERT_TRUE(FromCanonical444Reference(scaled.frame, chain.frame));
        for (size_t path = 0; path < outputs.size(); ++path) {
          ASSERT_EQ(outputs[path], outputs[0]) << AvailablePaths()[path].name << ", " << Describe(from)
                                               << " to " << Describe(to) << " content " << content;
          ASSERT_EQ(outputs[path], chain.Bytes()) << AvailablePaths()[path].name << ", " << Describe(from)
                                                  << " to " << Describe(to) << " content " << content;
          ++compared;
        }
      }
    }
  }
  EXPECT_GE(compared, 100);
}

double Db(int64_t sse, int64_t samples) {
  return sse == 0 ? 100.0
                  : 10.0 * std::log10(static_cast<double>(samples) * 65025.0 / static_cast<double>(sse));
}

// Squared differences of the samples at offset, offset + step, ... (count of them).
int64_t PlainSse(const uint8_t* a, const uint8_t* b, int64_t offset, int64_t step, int64_t count) {
  int64_t sum = 0;
  for (int64_t i = 0; i < count; ++i) {
    const int64_t d = int64_t{a[offset + i * step]} - b[offset + i * step];
    sum += d * d;
  }
  return sum;
}

TEST(KernelPaths, FrameComparisonSumsMatchThePlainSums) {
  // 130 x 70 passes the sums' 8192-sample chunks.
  ForEachPath([] {
    for (const Size size : {Size{1, 3}, Size{33, 5}, Size{130, 70}}) {
      const int32_t w = size.w, h = size.h;
      const ImageFormat packed444 = Layout(YUV_444, YUV, Progressive, Packed, w, h);
      const ImageFormat packed422 = Layout(YUV_422, YUV, Progressive, Packed, w + w % 2, h);
      const ImageFormat planar420 = Layout(YUV_420, YUV, Progressive, Planar, w + w % 2, h + h % 2);
      for (const ImageFormat& layout : {packed444, packed422, planar420}) {
        const auto bytes = static_cast<size_t>(PageEndFrame::FrameSize(layout));
        const PageEndFrame a(layout, test::RandomBytes(bytes, 1)), b(layout, test::RandomBytes(bytes, 2));
        double got[3];
        ASSERT_TRUE(CompareFrames(a.frame, b.frame, nullptr, got[0], got[1], got[2])) << Describe(layout);
        const int64_t lw = layout.ImgWidth, lh = layout.ImgHeight, n = lw * lh;
        const uint8_t *pa = a.frame.Data, *pb = b.frame.Data;
        double expected[3];
        if (layout.SamplingFormat == YUV_444) {
          for (int k = 0; k < 3; ++k) expected[k] = Db(PlainSse(pa, pb, k, 3, n), n);
        } else if (layout.PixelFormat == Packed) {  // Y U Y V
          expected[0] = Db(PlainSse(pa, pb, 0, 2, n), n);
          expected[1] = Db(PlainSse(pa, pb, 1, 4, n / 2), n / 2);
          expected[2] = Db(PlainSse(pa, pb, 3, 4, n / 2), n / 2);
        } else {
          expected[0] = Db(PlainSse(pa, pb, 0, 1, n), n);
          expected[1] = Db(PlainSse(pa, pb, n, 1, n / 4), n / 4);
          expected[2] = Db(PlainSse(pa, pb, n + n / 4, 1, n / 4), n / 4);
        }
        for (int k = 0; k < 3; ++k) EXPECT_EQ(got[k], expected[k]) << Describe(layout) << " component " << k;
      }
    }
  });
}

// The sample of component `c` (0 Y, 1 U, 2 V) at chroma index or luma index `i`
// of a 4:2:0 frame, planar or semi-planar (order Y,U,V or Y,V,U), 8-bit bytes or
// 16-bit words with the value in the low (planar) or high (semi-planar) bits.
uint32_t SampleOf(const FrameImage& f, int c, int64_t i) {
  const int64_t pixels = int64_t{f.ImgWidth} * f.ImgHeight, quarter = pixels / 4;
  const bool pairs = f.PixelFormat == SemiPlanar;
  const int second = f.ComponentOrder == YVU ? 1 : 2;  // the component stored second
  int64_t index = i;
  if (c != 0 && pairs) index = pixels + 2 * i + (c == second ? 1 : 0);
  if (c != 0 && !pairs) index = pixels + (c == second ? quarter : 0) + i;
  if (f.BitsPerSample == 8) return f.Data[index];
  const uint32_t word = f.Data[2 * index] | uint32_t{f.Data[2 * index + 1]} << 8;
  return pairs ? word >> (16 - f.BitsPerSample) : word;
}

TEST(KernelPaths, ChromaPairsAndDepthsMatchThePlainSamples) {
  ForEachPath([] {
    uint32_t seed = 300;
    for (const int32_t w : kPairWidths) {
      for (const int32_t bits : {8, 10, 16}) {
        for (const int32_t order : {YUV, YVU}) {
          ImageFormat planar = Layout(YUV_420, order, Progressive, Planar, w, 2);
          planar.BitsPerSample = bits;
          ImageFormat pairs = planar;
          pairs.PixelFormat = SemiPlanar;
          for (const bool toPairs : {true, false}) {
            const ImageFormat& from = toPairs ? planar : pairs;
            const ImageFormat& to = toPairs ? pairs : planar;
            const auto content =
                test::RandomBytes(static_cast<size_t>(PageEndFrame::FrameSize(from)), ++seed);
            const PageEndFrame source(from, content);
            PageEndFrame target(to,
                                std::vector<uint8_t>(static_cast<size_t>(PageEndFrame::FrameSize(to)), 7));
            ASSERT_TRUE(ConvertSamples(source.frame, target.frame)) << Describe(from) << " bits " << bits;
            const uint32_t top = (1u << bits) - 1;
            for (int c = 0; c < 3; ++c) {
              for (int64_t i = 0; i < (c == 0 ? 2 * w : w / 2); ++i) {
                ASSERT_EQ(SampleOf(target.frame, c, i), std::min(SampleOf(source.frame, c, i), top))
                    << Describe(from) << " bits " << bits << " component " << c << " sample " << i;
              }
            }
          }
        }
      }
    }
  });
}

}  // namespace
}  // namespace vx
