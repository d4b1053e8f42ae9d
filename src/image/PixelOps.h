#pragma once

// Image operations on frame records: one operation per axis of the layout
// (sampling, field format, packing, component order), the two pipelines to and
// from the canonical form (packed progressive 4:4:4 Y,U,V), bilinear scaling,
// row-segment and single-pixel access with blending, component extraction,
// brightness scaling, and the small helpers of the analysis windows.
//
// Conventions: the caller states the destination's target layout in its header
// before the call; each operation copies the header fields it does not change
// from the source, sets DataSize of both records to their layout's frame size,
// and returns false when it cannot work. Buffers belong to the caller; no
// operation reads or writes past a record's Capacity or DataSize. Messages go
// through the message sink.

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "image/FrameImage.h"

namespace vx {

// An int limited to 0..255.
uint8_t ClampToByte(int value);
// A real limited to 0..255, truncated toward zero.
uint8_t ClampToByte(double value);

// True for the layouts a YUV file may have: 4:4:4 orders 0..2; packed 4:2:2
// orders 0..2; planar 4:2:2 and 4:2:0 orders 0..1; either field format. Sizes
// must be positive and fit in the record's buffer.
bool IsValidYuvLayout(const FrameImage& frame);
// The same rules for the layout alone, without a buffer.
bool IsValidYuvFormat(const ImageFormat& format);
// Packed progressive 4:4:4 Y,U,V.
bool IsCanonical444(const FrameImage& frame);
// Sets the header to the canonical form of the given size.
void SetCanonicalHeader(FrameImage& frame, int32_t width, int32_t height);

bool ConvertSampling(FrameImage& source, FrameImage& destination);
bool ConvertFieldFormat(FrameImage& source, FrameImage& destination);
bool ConvertPixelFormat(FrameImage& source, FrameImage& destination);
bool ReorderComponents(FrameImage& source, FrameImage& destination);
// Exchanges component positions a and b (0..2) of a 4:4:4 or RGB image; the third
// position is copied. Source and destination may be the same record.
bool SwapComponents444(FrameImage& source, FrameImage& destination, int a, int b);
bool ReorderPacked422(FrameImage& source, FrameImage& destination);
bool SwapChroma420(FrameImage& source, FrameImage& destination);

// Any YUV layout (and MONO, as grey) to the canonical form. The source record and
// buffer may be overwritten: callers must not rely on them after the call.
bool ToCanonical444(FrameImage& source, FrameImage& destination);
// The canonical form to the layout stated in the destination's header. The source
// buffer may be overwritten. Bytes of the frame that the layout leaves unused are
// set to 0, so written files never carry stale buffer contents.
bool FromCanonical444(FrameImage& source, FrameImage& destination);

// Any valid YUV layout into another of the same size: the bytes of
// ToCanonical444 followed by FromCanonical444, made row by row without a whole
// canonical frame. With `canonicalRows` (3 W H bytes) the canonical picture is
// also left there, for a preview. The source is not changed.
bool ConvertYuvLayout(const FrameImage& source, FrameImage& destination, uint8_t* canonicalRows = nullptr);

// The same pipelines as the plain chain of the single-axis operations, kept as
// the reference that the fused kernels are tested against.
bool ToCanonical444Reference(FrameImage& source, FrameImage& destination);
bool FromCanonical444Reference(FrameImage& source, FrameImage& destination);

// Packed progressive 4:4:4 or RGB of the source's size to the destination's
// ImgWidth x ImgHeight, bilinear. Both sizes must be at least 2 x 2.
bool ScaleBilinear(FrameImage& source, FrameImage& destination);
bool ScaleBilinearReference(FrameImage& source, FrameImage& destination);

// A planar YUV frame (any sampling, field and order) to a planar YUV frame of
// the destination's layout and ImgWidth x ImgHeight: the bytes of ToCanonical444,
// ScaleBilinear and FromCanonical444, without the 4:4:4 pictures between them.
// Both sizes at least 2 x 2 and different; false (nothing shown) for any other frame.
bool ScaleYuvPlanes(const FrameImage& source, FrameImage& destination);

// One run of pixels of one row, carried between images: for packed layouts the
// first array holds the raw bytes; for planar layouts the three arrays hold the
// three planes' samples (in storage order).
template <typename Sample>
struct BasicSegment {
  BasicSegment() = default;
  // Arrays of 3W, W and W samples, cleared.
  explicit BasicSegment(int32_t width)
      : first(static_cast<size_t>(std::max(width, 0)) * 3),
        second(static_cast<size_t>(std::max(width, 0))),
        third(static_cast<size_t>(std::max(width, 0))) {}
  std::vector<Sample> first;
  std::vector<Sample> second;
  std::vector<Sample> third;
};
// The samples of 8-bit frames.
using SegmentBuffer = BasicSegment<uint8_t>;
// Samples of up to 16 bits: also frames of deeper samples, at full depth.
using DeepSegment = BasicSegment<uint16_t>;

enum class Access { Write = 0, Read = 1 };

// Reads or writes `length` pixels of row `row` from column `column` of an 8-bit
// frame. Writing blends: new = (p x old + (100 - p) x given + 50) / 100.
bool AccessSegment(FrameImage& image, SegmentBuffer& segment, int row, int column, int length,
                   Access direction, int blendPercent);
// Reads or writes the three components of one pixel, in the image's storage order.
bool AccessPixel(FrameImage& image, int row, int column, std::array<uint8_t, 3>& value, Access direction,
                 int blendPercent);
// The same at full depth: every layout above, and frames of deeper samples that
// are planar YUV or mono (each sample a 16-bit little-endian word, its value in
// the low bits). Values read are limited to 2^b - 1; the blend works on the
// full-depth values and what is written is limited to 2^b - 1.
bool AccessSegment(FrameImage& image, DeepSegment& segment, int row, int column, int length, Access direction,
                   int blendPercent);
bool AccessPixel(FrameImage& image, int row, int column, std::array<uint16_t, 3>& value, Access direction,
                 int blendPercent);
// Rows in reverse order; works for every layout AccessSegment accepts. The two
// records may share a buffer.
bool FlipVertical(FrameImage& source, FrameImage& destination);
// The rectangle of `destination`'s size from row `top`, column `left` of `source`,
// row by row through AccessSegment (`row` holds a source row); bytes of
// `destination` no row reaches are left as they are.
bool CropRows(FrameImage& source, FrameImage& destination, int32_t top, int32_t left, SegmentBuffer& row);

// One component of a packed progressive 4:4:4 or RGB picture as a picture of its
// own (selector 0..2), or the clamped sum of all three (selector 3).
bool ExtractComponent(const FrameImage& source, FrameImage& destination, int selector);
// In place: multiplies byte 0, 1, 2 (selector 0..2) or all three (3) of every
// pixel by 101 / (101 - level), level 0..100.
bool AdjustBrightness(FrameImage& image, int level, int selector);

// Block mask of the analysis windows: one byte per 8 x 8 block, row-major with
// (W + 7) / 8 bytes per block row; 0 marks a block to tint. Empty: no mask.
using BlockMask = std::vector<uint8_t>;

// Colours each pixel of the difference image by its tested value: inside
// low..high the given colour, outside it black (mode 0), image A's pixel (1) or
// image B's (2); marked blocks are tinted.
bool DifferenceMap(const FrameImage& difference, FrameImage& output, int mode, int low, int high,
                   const FrameImage& imageA, const FrameImage& imageB, const std::array<uint8_t, 3>& colour,
                   int selector, const BlockMask& mask);
bool MaskedHighlight(const FrameImage& source, FrameImage& output, const std::array<uint8_t, 3>& colour,
                     const BlockMask& mask, int selector);
bool LumaHistogram(const FrameImage& image, std::array<int, 256>& counts, int& minimum, int& maximum);
using BlockGrid = std::array<std::array<int, 32>, 32>;
bool BlockSums(const FrameImage& image, int mode, BlockGrid& grid, int& minimum, int& maximum, int period);

}  // namespace vx
