#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "image/ImageFormat.h"
#include "platform/RawFile.h"

namespace vx {

// One frame in memory: its layout, then the pixel bytes and their count. The
// record never owns `Data`: a FrameBuffer does, and records are copied by value.
// `Capacity` is the size of the buffer behind `Data`; operations never read or
// write past it, whatever the layout fields claim.
struct FrameImage : ImageFormat {
  uint8_t* Data = nullptr;
  int32_t DataSize = 0;
  int64_t Capacity = 0;
};

// Frees a frame buffer's bytes: a mapping of `mapped` bytes, or heap memory.
struct FrameBytesFree {
  size_t mapped = 0;
  void operator()(uint8_t* p) const;
};

// An owned, zero-filled, 64-byte aligned frame buffer. Large buffers are fresh
// pages from the system, zero without being written, so the pages a job never
// touches cost neither time nor memory.
class FrameBuffer {
 public:
  FrameBuffer() = default;
  // Allocates `size` bytes; false (and empty) when size is not positive or memory
  // is short.
  bool Allocate(int64_t size);
  void Release();
  uint8_t* data() const { return bytes_.get(); }
  int64_t size() const { return size_; }
  bool empty() const { return !bytes_; }
  // A record of `format` over this buffer, with its DataSize computed.
  FrameImage Frame(const ImageFormat& format) const;

 private:
  std::unique_ptr<uint8_t, FrameBytesFree> bytes_;
  int64_t size_ = 0;
};

// Sets and returns `DataSize` from the layout. A sampling value outside 0..5
// leaves it unchanged; a size that does not fit (negative or beyond 2 GiB) gives 0.
int32_t ComputeFrameSize(FrameImage& frame);

// Byte offset of field 2 in an interlaced frame: half the frame, except for
// planar 4:2:0, where each field is a 4:2:0 picture of W x H/2 with chroma planes
// of W/2 x H/4 rows (the two agree when H is a multiple of 4). Layouts without
// vertical subsampling accept odd heights: field 1 holds rows 0, 2, ..., H - 1,
// one row more than field 2.
int64_t FieldTwoOffset(const FrameImage& frame);

// Copies the layout fields and DataSize, then DataSize bytes of pixels. Fails and
// copies nothing when either record has no buffer or a buffer is too small.
bool CopyFrameImage(const FrameImage& source, FrameImage& destination);
// Copies the layout fields and DataSize; the destination keeps its buffer.
void CopyFrameHeader(const FrameImage& source, FrameImage& destination);
// True when the layout fields and DataSize are all equal.
bool SameFrameHeader(const FrameImage& a, const FrameImage& b);

// In place: the single plane is copied twice behind itself, giving grey planar
// RGB (R = G = B). False when the buffer cannot hold three planes.
bool MonoToRgbPlanar(FrameImage& frame);
// `out` becomes a packed progressive 3-byte picture of `sampling` and `order`
// with the size and resolution of `from` (FOURCC derived, DataSize 3WH).
void SetPackedHeader(FrameImage& out, const FrameImage& from, int32_t sampling, int32_t order);
// Destination becomes packed progressive 4:4:4 YUV with Y = the sample and
// U = V = 128. False when a buffer is missing or too small.
bool MonoToYuv444(const FrameImage& source, FrameImage& destination);

// Row pitch of a 24-bit bitmap: 3W rounded up to a multiple of 4.
int64_t BitmapRowPitch(int64_t width);
// In place: moves the rows of a packed 3-byte-per-pixel frame so that each starts
// at a multiple of BitmapRowPitch. Padding bytes keep their old contents. False
// when the buffer cannot hold H rows of that pitch.
bool PadRowsTo4Bytes(FrameImage& frame);

// Reads up to DataSize bytes at the current position; returns how many were read.
int64_t ReadFrame(RawFile& file, FrameImage& frame);
// The same bytes, count and position afterwards; a large frame is read in blocks
// by the calling thread and, when it is free, the process's helper thread.
int64_t ReadFrameShared(RawFile& file, FrameImage& frame);
// Positions the file at frame n (counted from 1).
bool SeekFrame(RawFile& file, const FrameImage& frame, int64_t n);
// Appends DataSize bytes; false when the write fails (for example a full disk).
bool WriteFrame(RawFile& file, const FrameImage& frame);
// Whole frames in a file of `fileLength` bytes; 0 when frameSize is not positive.
uint64_t CountFrames(uint64_t fileLength, int64_t frameSize);

// A file shorter than one frame of `layout` has no frame to work on: what every
// tool says of it, with both sizes, instead of an empty frame range. Nullopt when
// the file holds a frame, or when the layout's size is refused (none, or too
// large: the size checks say so).
std::optional<std::string> LessThanOneFrame(const std::string& path, int64_t fileBytes,
                                            const ImageFormat& layout);
// The same for the file at `path` as it is now; nullopt as well when it cannot
// be opened (its not-found message comes where it is opened).
std::optional<std::string> FileHoldsLessThanOneFrame(const std::string& path, const ImageFormat& layout);

}  // namespace vx
