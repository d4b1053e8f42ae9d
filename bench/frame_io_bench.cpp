// Reading frames of a raw file in order, the access pattern of every tool, at
// 1080p and 2160p 4:2:0. The file lives in the temp folder and is mostly cached,
// so this measures the program's own overhead per frame rather than the disk.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "image/FrameImage.h"

namespace {

void BM_ReadFramesInOrder(benchmark::State& state) {
  vx::ImageFormat format;
  format.SamplingFormat = vx::YUV_420;
  format.PixelFormat = vx::Planar;
  format.FieldFormat = vx::Progressive;
  format.ImgWidth = static_cast<int32_t>(state.range(0));
  format.ImgHeight = static_cast<int32_t>(state.range(1));
  vx::FrameBuffer buffer;
  buffer.Allocate(vx::WorkBufferSize(format.ImgWidth, format.ImgHeight));
  vx::FrameImage frame = buffer.Frame(format);
  const int frames = 8;
  const auto path = std::filesystem::temp_directory_path() / ("velutrix-bench-" + std::to_string(getpid()));
  {
    auto out = vx::RawFile::Create(path);
    for (int i = 0; i < frames; ++i) vx::WriteFrame(*out, frame);
  }
  auto in = vx::RawFile::OpenRead(path);
  int64_t n = 0;
  for (auto _ : state) {
    if (n % frames == 0) vx::SeekFrame(*in, frame, 1);
    benchmark::DoNotOptimize(vx::ReadFrame(*in, frame));
    ++n;
  }
  state.SetBytesProcessed(n * frame.DataSize);
  state.counters["fps"] = benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsRate);
  std::filesystem::remove(path);
}
BENCHMARK(BM_ReadFramesInOrder)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
