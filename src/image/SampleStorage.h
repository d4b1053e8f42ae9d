#pragma once

// Frames of the layouts the frame engine does not hold as they are stored:
// semi-planar chroma (NV12, NV21, NV16, NV61, NV24, NV42) and samples of 10 to
// 16 bits (yuv420p10le, P010, gray10le and their kin). Jobs read such a frame
// as it is stored, turn it into the engine's 8-bit planar layout of the same
// sampling, order and size, and turn their results back the same way; the
// converter also rewrites them directly, at full depth, when only the packing,
// the order or the depth changes.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "image/FrameImage.h"

namespace vx {

// The layout the engine holds `stored` in: the same sampling, order, field format
// and size, planar (packed and mono stay as they are), 8 bits.
ImageFormat WorkingLayout(const ImageFormat& stored);

// Why a layout cannot be stored (semi-planar RGB, mono or BMP; a depth outside
// 8, 10, 12, 16; deeper packed, RGB or BMP samples); nullopt when it can.
std::optional<std::string> StoredLayoutRefusal(const ImageFormat& format);

// Whether ConvertSamples takes the pair: both YUV of one sampling (planar, or
// semi-planar in the order YUV or YVU), or both mono; the same size and field
// format; any depth.
bool SamplesConvertible(const ImageFormat& from, const ImageFormat& to);

// Rewrites the samples of `source` in the layout of `destination`'s header (its
// DataSize is set): chroma planes or pairs, component order, depth. A deeper
// sample v of b bits becomes v << (B - b) in B bits; a shallower one
// (v + 2^(b - B - 1)) >> (b - B); either is clipped to 2^B - 1. Bytes the layout
// leaves unused are set to 0. False when the pair is not convertible or a buffer
// is too small.
bool ConvertSamples(const FrameImage& source, FrameImage& destination);
// The same; when the destination starts with a luma plane (LeadingLumaBytes above
// 0), `lumaDone` is called with its size as soon as it is complete, before the
// chroma is made: the caller may write it meanwhile.
bool ConvertSamples(const FrameImage& source, FrameImage& destination,
                    const std::function<void(int64_t lumaBytes)>& lumaDone);
// The bytes of the luma plane a progressive planar or semi-planar YUV frame starts
// with; 0 for other layouts.
int64_t LeadingLumaBytes(const FrameImage& frame);

// The rows of a stored frame (YUV planar or semi-planar, or mono; any depth; either
// field format) in reverse order, in the layout of `source` (`destination` takes
// its header). Samples move exactly as the 8-bit flip (FlipVertical) moves the
// bytes of the frame in its working layout: progressive frames component by
// component; fields, and 4:2:0 frames of an odd height, row by row through the
// 8-bit row access. False for other layouts and buffers too small.
bool FlipStoredRows(const FrameImage& source, FrameImage& destination);

// The rectangle of a stored frame that starts at row `top`, column `left` and has
// the size of `destination`'s header (which must otherwise match the source's
// layout; its DataSize is set). Chroma is cut at top and left halved where the
// sampling halves it, so those must be even there. Interlaced frames are cut row
// by row as the 8-bit crop (CropRows) cuts them. False for other layouts, a
// rectangle that leaves the frame and buffers too small.
bool CropStored(const FrameImage& source, FrameImage& destination, int32_t top, int32_t left);

// What PadStored puts around the picture: one value per component (Y, U, V, at
// the frame's depth; mono frames use the first), or each row's edge samples
// repeated to the sides and the picture's first and last rows above and below.
struct StoredBorder {
  bool repeatEdges = false;
  std::array<uint16_t, 3> fill{};
};

// The picture of `source` placed at row `top`, column `left` of `destination`,
// whose header gives the padded size and must otherwise match the source's
// layout (its DataSize is set); the rest is the border. Each component is placed
// at the offsets its sampling gives (top and left halved where the sampling halves
// them, so they must be even there; interlaced 4:2:0 needs a top that is a
// multiple of 4). Rows of an interlaced frame count over the whole frame: a field
// holds every other one. YUV planar or semi-planar, or mono; any depth. False for
// other layouts, a picture that does not fit and buffers too small.
bool PadStored(const FrameImage& source, FrameImage& destination, int32_t top, int32_t left,
               const StoredBorder& border);

// The rows of component `component` (0: Y, 1: U, 2: V; mono frames have only 0)
// of a stored frame as a progressive mono frame of their own, at the source's
// depth in the low bits (gray10le for 10 bits); an interlaced frame's rows
// alternate between its fields as they do in the picture. `destination`'s header
// must be that mono layout at the component's size (its DataSize is set). YUV
// planar or semi-planar, or mono; false for other layouts and buffers too small.
bool ExtractStoredComponent(const FrameImage& source, int component, FrameImage& destination);

// The components of a frame of any layout a file holds (YUV packed, planar or
// semi-planar; RGB and BMP packed or planar; mono; any depth the layout allows;
// either field format), each as a plane of its own: Y, U, V for YUV layouts
// whatever their storage order, the storage order for RGB and BMP, one for mono.
// A plane's rows are in picture order (an interlaced frame's alternate between
// its fields). The plane's size (samples a row, rows); nullopt when the layout
// cannot be stored or has no such component.
struct PlaneSize {
  int64_t width = 0, rows = 0;
};
std::optional<PlaneSize> ComponentPlaneSize(const ImageFormat& layout, int component);
// Copies the component's samples into `samples` (width x rows values, row after
// row): bytes for 8-bit layouts, the values of deeper ones. False when the layout
// has no such component, the sample width does not match or the frame is too small.
bool LoadComponentPlane(const FrameImage& frame, int component, std::vector<uint8_t>& samples);
bool LoadComponentPlane(const FrameImage& frame, int component, std::vector<uint16_t>& samples);

// Per component, the sum of squared differences of two frames of one stored
// layout (YUV planar or semi-planar, any depth), at full depth, in the order the
// working layout stores the components (Y V U for the order YVU). False when the
// layout is not one of those or a frame is too small.
bool SumSquaredSampleDifferences(const FrameImage& a, const FrameImage& b, int64_t sums[3]);

// The largest sample value of a layout: 2^bits - 1.
inline constexpr int32_t MaxSampleValue(const ImageFormat& f) {
  return (1 << f.BitsPerSample) - 1;
}

}  // namespace vx
