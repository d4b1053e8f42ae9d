// Time per 1080p frame of the pixel engine's hot paths: to and from the
// canonical form, and scaling 1080p to 720p. Each run reports ms per frame.
#include <benchmark/benchmark.h>

#include <random>

#include "analysis/Psnr.h"
#include "display/DisplayConvert.h"
#include "image/ColorFormula.h"
#include "image/FrameImage.h"
#include "image/PixelOps.h"

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

vx::ImageFormat Layout(int32_t sampling, int32_t order, int32_t field, int32_t pixel, int32_t w = kWidth,
                       int32_t h = kHeight) {
  vx::ImageFormat f;
  f.SamplingFormat = sampling;
  f.ComponentOrder = order;
  f.FieldFormat = field;
  f.PixelFormat = pixel;
  f.ImgWidth = w;
  f.ImgHeight = h;
  return f;
}

void Fill(vx::FrameBuffer& buffer) {
  std::mt19937 random(7);
  for (int64_t i = 0; i < buffer.size(); ++i) buffer.data()[i] = static_cast<uint8_t>(random() >> 24);
}

void ToCanonical(benchmark::State& state, vx::ImageFormat layout) {
  vx::FrameBuffer in, out;
  in.Allocate(vx::WorkBufferSize(kWidth, kHeight));
  out.Allocate(vx::WorkBufferSize(kWidth, kHeight));
  Fill(in);
  for (auto _ : state) {
    vx::FrameImage source = in.Frame(layout);
    vx::FrameImage destination = out.Frame(Layout(vx::YUV_444, vx::YUV, vx::Progressive, vx::Packed));
    if (!vx::ToCanonical444(source, destination)) state.SkipWithError("refused");
    benchmark::DoNotOptimize(out.data());
  }
}

void FromCanonical(benchmark::State& state, vx::ImageFormat layout) {
  vx::FrameBuffer in, out;
  in.Allocate(vx::WorkBufferSize(kWidth, kHeight));
  out.Allocate(vx::WorkBufferSize(kWidth, kHeight));
  Fill(in);
  for (auto _ : state) {
    vx::FrameImage source = in.Frame(Layout(vx::YUV_444, vx::YUV, vx::Progressive, vx::Packed));
    vx::FrameImage destination = out.Frame(layout);
    if (!vx::FromCanonical444(source, destination)) state.SkipWithError("refused");
    benchmark::DoNotOptimize(out.data());
  }
}

void Scale1080To720(benchmark::State& state) {
  vx::FrameBuffer in, out;
  in.Allocate(vx::WorkBufferSize(kWidth, kHeight));
  out.Allocate(vx::WorkBufferSize(kWidth, kHeight));
  Fill(in);
  for (auto _ : state) {
    vx::FrameImage source = in.Frame(Layout(vx::YUV_444, vx::YUV, vx::Progressive, vx::Packed));
    vx::FrameImage destination =
        out.Frame(Layout(vx::YUV_444, vx::YUV, vx::Progressive, vx::Packed, 1280, 720));
    if (!vx::ScaleBilinear(source, destination)) state.SkipWithError("refused");
    benchmark::DoNotOptimize(out.data());
  }
}

void ReferenceToCanonicalI420(benchmark::State& state) {
  vx::FrameBuffer in, out;
  in.Allocate(vx::WorkBufferSize(kWidth, kHeight));
  out.Allocate(vx::WorkBufferSize(kWidth, kHeight));
  Fill(in);
  for (auto _ : state) {
    vx::FrameImage source = in.Frame(Layout(vx::YUV_420, vx::YUV, vx::Progressive, vx::Planar));
    vx::FrameImage destination = out.Frame(Layout(vx::YUV_444, vx::YUV, vx::Progressive, vx::Packed));
    vx::ToCanonical444Reference(source, destination);
    benchmark::DoNotOptimize(out.data());
  }
}

void DisplayRgb(benchmark::State& state) {
  vx::FrameBuffer in;
  in.Allocate(vx::WorkBufferSize(kWidth, kHeight));
  Fill(in);
  std::vector<uint8_t> rows(static_cast<size_t>(kWidth) * kHeight * 4);
  const vx::ColourTables tables = vx::MakeColourTables(vx::kItu601, {});
  const std::span<const uint8_t> yuv(in.data(), static_cast<size_t>(kWidth) * kHeight * 3);
  for (auto _ : state) {
    vx::ConvertToDisplayRGB(
        tables, yuv, rows, kWidth, kHeight,
        vx::DisplayRowsOptions{.bottomUp = true, .selector = vx::kBoostY, .padRows = true});
    benchmark::DoNotOptimize(rows.data());
  }
}

void RgbToYuvBuffer(benchmark::State& state) {
  const int64_t pitch = (3 * kWidth + 3) / 4 * 4;
  vx::FrameBuffer in;
  in.Allocate(pitch * kHeight);
  Fill(in);
  std::vector<uint8_t> out(static_cast<size_t>(kWidth) * kHeight * 3);
  const vx::ColourTables tables = vx::MakeColourTables(vx::kItu601, {});
  for (auto _ : state) {
    vx::RgbBufferToYuv(tables, std::span<const uint8_t>(in.data(), static_cast<size_t>(in.size())), out,
                       kWidth, kHeight,
                       vx::RgbRowsLayout{.bottomUp = true, .bgr = true, .alignedRows = true});
    benchmark::DoNotOptimize(out.data());
  }
}

// What the player does per frame: I420 to the canonical form, then display rows.
void I420ToDisplay(benchmark::State& state) {
  vx::FrameBuffer in, canonical;
  in.Allocate(vx::WorkBufferSize(kWidth, kHeight));
  canonical.Allocate(vx::WorkBufferSize(kWidth, kHeight));
  Fill(in);
  std::vector<uint8_t> rows(static_cast<size_t>(kWidth) * kHeight * 4);
  const vx::ColourTables tables = vx::MakeColourTables(vx::kItu601, {});
  for (auto _ : state) {
    vx::FrameImage source = in.Frame(Layout(vx::YUV_420, vx::YUV, vx::Progressive, vx::Planar));
    vx::FrameImage picture = canonical.Frame(Layout(vx::YUV_444, vx::YUV, vx::Progressive, vx::Packed));
    vx::ToCanonical444(source, picture);
    vx::ConvertToDisplayRGB(
        tables, std::span<const uint8_t>(picture.Data, static_cast<size_t>(picture.DataSize)), rows, kWidth,
        kHeight, vx::DisplayRowsOptions{.bottomUp = true, .selector = vx::kBoostY, .padRows = true});
    benchmark::DoNotOptimize(rows.data());
  }
}

using vx::Interlaced;
using vx::Packed;
using vx::Planar;
using vx::Progressive;

BENCHMARK_CAPTURE(ToCanonical, I420, Layout(vx::YUV_420, vx::YUV, Progressive, Planar))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ToCanonical, YUY2, Layout(vx::YUV_422, vx::YUV, Progressive, Packed))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ToCanonical, UYVY_interlaced, Layout(vx::YUV_422, vx::UYV, Interlaced, Packed))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ToCanonical, Planar422, Layout(vx::YUV_422, vx::YUV, Progressive, Planar))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FromCanonical, I420, Layout(vx::YUV_420, vx::YUV, Progressive, Planar))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FromCanonical, UYVY, Layout(vx::YUV_422, vx::UYV, Progressive, Packed))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(Scale1080To720)->Unit(benchmark::kMillisecond);
BENCHMARK(ReferenceToCanonicalI420)->Unit(benchmark::kMillisecond);
BENCHMARK(DisplayRgb)->Unit(benchmark::kMillisecond);
BENCHMARK(RgbToYuvBuffer)->Unit(benchmark::kMillisecond);
BENCHMARK(I420ToDisplay)->Unit(benchmark::kMillisecond);

void I420ToDisplayFused(benchmark::State& state) {
  vx::FrameBuffer in, canonical;
  in.Allocate(vx::WorkBufferSize(kWidth, kHeight));
  canonical.Allocate(vx::WorkBufferSize(kWidth, kHeight));
  Fill(in);
  std::vector<uint8_t> rows(static_cast<size_t>(kWidth) * kHeight * 4);
  const vx::ColourTables tables = vx::MakeColourTables(vx::kItu601, {});
  for (auto _ : state) {
    const vx::FrameImage source = in.Frame(Layout(vx::YUV_420, vx::YUV, vx::Progressive, vx::Planar));
    vx::FrameImage picture = canonical.Frame(Layout(vx::YUV_444, vx::YUV, vx::Progressive, vx::Packed));
    vx::FrameToDisplayRGB(tables, source, picture, rows,
                          vx::DisplayRowsOptions{.bottomUp = true, .selector = vx::kBoostY, .padRows = true});
    benchmark::DoNotOptimize(rows.data());
  }
}
BENCHMARK(I420ToDisplayFused)->Unit(benchmark::kMillisecond);

// Packed 4:2:2 to planar 4:2:0 row by row (the converter's subsampled path).
void ConvertLayoutYuy2ToI420(benchmark::State& state) {
  vx::FrameBuffer in, out;
  in.Allocate(vx::WorkBufferSize(kWidth, kHeight));
  out.Allocate(vx::WorkBufferSize(kWidth, kHeight));
  Fill(in);
  for (auto _ : state) {
    const vx::FrameImage source = in.Frame(Layout(vx::YUV_422, vx::YUV, vx::Progressive, vx::Packed));
    vx::FrameImage destination = out.Frame(Layout(vx::YUV_420, vx::YUV, vx::Progressive, vx::Planar));
    if (!vx::ConvertYuvLayout(source, destination)) state.SkipWithError("refused");
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(ConvertLayoutYuy2ToI420)->Unit(benchmark::kMillisecond);

// I420 planes scaled without a 4:4:4 picture in between.
void ScalePlanesI420To720(benchmark::State& state) {
  vx::FrameBuffer in, out;
  in.Allocate(vx::WorkBufferSize(kWidth, kHeight));
  out.Allocate(vx::WorkBufferSize(kWidth, kHeight));
  Fill(in);
  for (auto _ : state) {
    const vx::FrameImage source = in.Frame(Layout(vx::YUV_420, vx::YUV, vx::Progressive, vx::Planar));
    vx::FrameImage destination =
        out.Frame(Layout(vx::YUV_420, vx::YUV, vx::Progressive, vx::Planar, 1280, 720));
    if (!vx::ScaleYuvPlanes(source, destination)) state.SkipWithError("refused");
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(ScalePlanesI420To720)->Unit(benchmark::kMillisecond);

// One frame pair's PSNR (the report's per-frame work after reading).
void ComparePair(benchmark::State& state, vx::ImageFormat layout) {
  vx::FrameBuffer a, b;
  a.Allocate(vx::WorkBufferSize(kWidth, kHeight));
  b.Allocate(vx::WorkBufferSize(kWidth, kHeight));
  Fill(a);
  Fill(b);
  double v1 = 0, v2 = 0, v3 = 0;
  for (auto _ : state) {
    vx::FrameImage fa = a.Frame(layout), fb = b.Frame(layout);
    vx::ComputeFrameSize(fa);
    vx::ComputeFrameSize(fb);
    if (!vx::CompareFrames(fa, fb, nullptr, v1, v2, v3)) state.SkipWithError("refused");
    benchmark::DoNotOptimize(v1 + v2 + v3);
  }
}
BENCHMARK_CAPTURE(ComparePair, I420, Layout(vx::YUV_420, vx::YUV, vx::Progressive, vx::Planar))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ComparePair, UYVY, Layout(vx::YUV_422, vx::UYV, vx::Progressive, vx::Packed))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ComparePair, Packed444, Layout(vx::YUV_444, vx::YUV, vx::Progressive, vx::Packed))
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
