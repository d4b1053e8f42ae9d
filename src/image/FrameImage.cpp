#include "image/FrameImage.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "platform/HelperThread.h"
#include "platform/StringFormat.h"

namespace vx {
namespace {

constexpr size_t kAlignment = 64;

bool HasBytes(const FrameImage& frame, int64_t count) {
  return frame.Data != nullptr && count >= 0 && count <= frame.Capacity;
}

}  // namespace

void FrameBytesFree::operator()(uint8_t* p) const {
  if (mapped > 0)
    ::munmap(p, mapped);
  else
    std::free(p);
}

bool FrameBuffer::Allocate(int64_t size) {
  Release();
  if (size <= 0) return false;
  const size_t rounded = (static_cast<size_t>(size) + kAlignment - 1) / kAlignment * kAlignment;
  constexpr size_t kMapFrom = size_t{1} << 20;
  if (rounded >= kMapFrom) {
    void* memory = ::mmap(nullptr, rounded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return false;
    bytes_ = std::unique_ptr<uint8_t, FrameBytesFree>(static_cast<uint8_t*>(memory), FrameBytesFree{rounded});
    size_ = size;
    return true;
  }
  void* memory = std::aligned_alloc(kAlignment, rounded);
  if (!memory) return false;
  std::memset(memory, 0, rounded);
  bytes_ = std::unique_ptr<uint8_t, FrameBytesFree>(static_cast<uint8_t*>(memory), FrameBytesFree{});
  size_ = size;
  return true;
}

void FrameBuffer::Release() {
  bytes_.reset();
  size_ = 0;
}

FrameImage FrameBuffer::Frame(const ImageFormat& format) const {
  FrameImage frame;
  static_cast<ImageFormat&>(frame) = format;
  frame.Data = bytes_.get();
  frame.Capacity = size_;
  ComputeFrameSize(frame);
  return frame;
}

int32_t ComputeFrameSize(FrameImage& frame) {
  if (frame.SamplingFormat < YUV_444 || frame.SamplingFormat > BMP) return frame.DataSize;
  const int32_t size = FrameSizeOf(frame);
  frame.DataSize = size < 0 ? 0 : size;
  return frame.DataSize;
}

int64_t FieldTwoOffset(const FrameImage& frame) {
  if (frame.SamplingFormat == YUV_420 && frame.PixelFormat == Planar) {
    const int64_t width = frame.ImgWidth;
    const int64_t height = frame.ImgHeight;
    return width * (height / 2) + 2 * (width / 2) * (height / 4);
  }
  // Without vertical subsampling every picture row takes the same bytes; an odd
  // height leaves the extra row to field 1.
  if (frame.ImgHeight <= 0) return 0;
  const int64_t rowBytes = frame.DataSize / frame.ImgHeight;
  return rowBytes * ((int64_t{frame.ImgHeight} + 1) / 2);
}

void CopyFrameHeader(const FrameImage& source, FrameImage& destination) {
  static_cast<ImageFormat&>(destination) = static_cast<const ImageFormat&>(source);
  destination.DataSize = source.DataSize;
}

bool CopyFrameImage(const FrameImage& source, FrameImage& destination) {
  if (!HasBytes(source, source.DataSize) || !HasBytes(destination, source.DataSize)) return false;
  CopyFrameHeader(source, destination);
  if (source.Data != destination.Data) {
    std::memmove(destination.Data, source.Data, static_cast<size_t>(source.DataSize));
  }
  return true;
}

bool SameFrameHeader(const FrameImage& a, const FrameImage& b) {
  return static_cast<const ImageFormat&>(a) == static_cast<const ImageFormat&>(b) && a.DataSize == b.DataSize;
}

bool MonoToRgbPlanar(FrameImage& frame) {
  const int64_t plane = frame.DataSize;
  if (plane < 0 || !HasBytes(frame, plane * 3)) return false;
  std::memcpy(frame.Data + plane, frame.Data, static_cast<size_t>(plane));
  std::memcpy(frame.Data + 2 * plane, frame.Data, static_cast<size_t>(plane));
  frame.SamplingFormat = RGB_444;
  frame.PixelFormat = Planar;
  frame.DataSize = static_cast<int32_t>(plane * 3);
  return true;
}

void SetPackedHeader(FrameImage& out, const FrameImage& from, int32_t sampling, int32_t order) {
  SetLayoutAndSize(out, {.sampling = sampling, .order = order, .field = Progressive, .pixel = Packed},
                   from.ImgWidth, from.ImgHeight);
  out.ImageResolution = from.ImageResolution;
  DeriveFourcc(out);
  out.DataSize = static_cast<int32_t>(int64_t{from.ImgWidth} * from.ImgHeight * 3);
}

bool MonoToYuv444(const FrameImage& source, FrameImage& destination) {
  const int64_t pixels = int64_t{source.ImgWidth} * source.ImgHeight;
  if (source.ImgWidth < 0 || source.ImgHeight < 0 || !HasBytes(source, pixels) ||
      !HasBytes(destination, pixels * 3) || pixels * 3 > INT32_MAX) {
    return false;
  }
  SetPackedHeader(destination, source, YUV_444, YUV);  // no FOURCC names plain 4:4:4 YUV
  const uint8_t* in = source.Data;
  uint8_t* out = destination.Data;
  if (in == out) {
    // Expanding in place: from the end, so no sample is overwritten before it is read.
    for (int64_t i = pixels - 1; i >= 0; --i) {
      const uint8_t y = in[i];
      out[3 * i] = y;
      out[3 * i + 1] = 128;
      out[3 * i + 2] = 128;
    }
    return true;
  }
  for (int64_t i = 0; i < pixels; ++i) {
    out[3 * i] = in[i];
    out[3 * i + 1] = 128;
    out[3 * i + 2] = 128;
  }
  return true;
}

int64_t BitmapRowPitch(int64_t width) {
  return (3 * width + 3) / 4 * 4;
}

bool PadRowsTo4Bytes(FrameImage& frame) {
  const int64_t width = frame.ImgWidth;
  const int64_t height = frame.ImgHeight;
  if (width < 1 || height < 1) return false;
  const int64_t row = 3 * width;
  const int64_t pitch = BitmapRowPitch(width);
  if (!HasBytes(frame, pitch * height)) return false;
  // Last row first: a row only ever moves to a higher address, so walking
  // backwards never overwrites bytes that are still to be moved.
  for (int64_t y = height - 1; y > 0; --y) {
    std::memmove(frame.Data + y * pitch, frame.Data + y * row, static_cast<size_t>(row));
  }
  return true;
}

int64_t ReadFrame(RawFile& file, FrameImage& frame) {
  if (frame.Data == nullptr || frame.DataSize <= 0) return 0;
  const int64_t count = std::min<int64_t>(frame.DataSize, frame.Capacity);
  return file.Read(frame.Data, count);
}

namespace {

// A frame's bytes in blocks, taken by each thread that runs Read.
struct ReadBlocks {
  static constexpr int64_t kBytes = int64_t{1} << 19;

  const RawFile& file;
  uint8_t* data;
  int64_t start, count;
  std::atomic<int64_t> next{0};
  // Where the bytes end: the end of the first block that came short.
  std::atomic<int64_t> end{std::numeric_limits<int64_t>::max()};

  void Read() {
    for (;;) {
      const int64_t from = next.fetch_add(1, std::memory_order_relaxed) * kBytes;
      if (from >= count) return;
      const int64_t wanted = std::min(kBytes, count - from);
      const int64_t got = file.ReadAt(start + from, data + from, wanted);
      if (got < wanted) {
        int64_t shortEnd = end.load();
        while (from + got < shortEnd && !end.compare_exchange_weak(shortEnd, from + got)) {
        }
      }
    }
  }
};

}  // namespace

int64_t ReadFrameShared(RawFile& file, FrameImage& frame) {
  // Below this a frame is read at once: handing blocks over would cost more than
  // it saves.
  constexpr int64_t kSharedFrom = int64_t{2} << 20;
  if (frame.Data == nullptr || frame.DataSize <= 0) return 0;
  const int64_t count = std::min<int64_t>(frame.DataSize, frame.Capacity);
  const int64_t start = count >= kSharedFrom ? file.Position() : -1;
  if (start < 0) return file.Read(frame.Data, count);
  // Copying from the page cache is most of a read: one thread alone leaves the
  // other core idle while the job waits for its frame.
  ReadBlocks blocks{.file = file, .data = frame.Data, .start = start, .count = count};
  RunShared([&blocks] { blocks.Read(); });
  const int64_t got = std::min(count, blocks.end.load());
  file.Seek(start + got);
  return got;
}

bool SeekFrame(RawFile& file, const FrameImage& frame, int64_t n) {
  if (n < 1 || frame.DataSize < 0) return false;
  return file.Seek((n - 1) * int64_t{frame.DataSize});
}

bool WriteFrame(RawFile& file, const FrameImage& frame) {
  if (!HasBytes(frame, frame.DataSize)) return false;
  return file.Write(frame.Data, frame.DataSize);
}

uint64_t CountFrames(uint64_t fileLength, int64_t frameSize) {
  if (frameSize <= 0) return 0;
  return fileLength / static_cast<uint64_t>(frameSize);
}

std::optional<std::string> LessThanOneFrame(const std::string& path, int64_t fileBytes,
                                            const ImageFormat& layout) {
  FrameImage frame;
  static_cast<ImageFormat&>(frame) = layout;
  const int64_t frameBytes = ComputeFrameSize(frame);
  if (frameBytes <= 0 || !WorkBufferSizeSupported(layout.ImgWidth, layout.ImgHeight) ||
      fileBytes >= frameBytes)
    return std::nullopt;
  return StrFormat(
      "Error FRMT1018: File %s holds %lld bytes, less than one frame of the chosen layout (%lld bytes)!\n",
      path.c_str(), static_cast<long long>(std::max<int64_t>(fileBytes, 0)),
      static_cast<long long>(frameBytes));
}

std::optional<std::string> FileHoldsLessThanOneFrame(const std::string& path, const ImageFormat& layout) {
  const auto file = RawFile::OpenRead(path);
  if (!file) return std::nullopt;
  return LessThanOneFrame(path, file->Length(), layout);
}

}  // namespace vx
