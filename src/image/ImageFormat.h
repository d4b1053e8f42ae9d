#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

// Numeric values of the format members. They are stored in the settings and
// history files and named on the command line, so they never change. Members
// are kept as int32 because files may hold values outside these lists.
enum SamplingFormatValue : int32_t { YUV_444 = 0, YUV_422 = 1, YUV_420 = 2, RGB_444 = 3, MONO = 4, BMP = 5 };
enum ComponentOrderValue : int32_t { YUV = 0, YVU = 1, UYV = 2, RGB = 3, BGR = 4 };
enum FieldFormatValue : int32_t { Interlaced = 0, Progressive = 1 };
// Semi-planar (NV12 and its kin): the Y plane, then one plane of interleaved
// chroma pairs (U first for order YUV, V first for YVU).
enum PixelFormatValue : int32_t { Packed = 0, Planar = 1, SemiPlanar = 2 };

// Bits per sample. Above 8, samples are 16-bit little-endian words: planar and
// mono layouts keep the value in the low bits, semi-planar ones in the high bits.
inline constexpr int32_t kBitDepths[] = {8, 10, 12, 16};
inline constexpr bool IsSupportedBitDepth(int32_t bits) {
  return bits == 8 || bits == 10 || bits == 12 || bits == 16;
}

inline constexpr int32_t kCustomResolution = 15;
inline constexpr int32_t kMaxCustomWidth = 8192;
inline constexpr int32_t kMaxCustomHeight = 5120;

// How to read a headerless raw video file.
struct ImageFormat {
  int32_t Fourcc = 0;
  int32_t SamplingFormat = YUV_420;
  int32_t ComponentOrder = YUV;
  int32_t FieldFormat = Interlaced;
  int32_t PixelFormat = Packed;
  int32_t ImageResolution = 6;
  int32_t ImgWidth = 720;
  int32_t ImgHeight = 480;
  int32_t BitsPerSample = 8;

  bool operator==(const ImageFormat&) const = default;
};

// Whether two formats lay their samples out alike: the FOURCC only names a layout
// that the other members already describe.
inline bool SameSamples(ImageFormat a, ImageFormat b) {
  a.Fourcc = b.Fourcc = 0;
  return a == b;
}

struct ResolutionEntry {
  const char* name;      // enumerator name, e.g. "CIF_PAL_352x288"
  const char* listText;  // text in the format dialog's list
  int32_t width;
  int32_t height;
};
// Indexes 0..15; entry 15 is the custom size (its width and height are 0).
extern const std::array<ResolutionEntry, 16> kResolutions;

struct FourccEntry {
  const char* name;      // name in the history list, e.g. "YUY2"
  const char* listText;  // text in the format dialog's "Select by FOURCC:" list
  int32_t sampling;
  int32_t field;
  int32_t pixel;
  int32_t order;
  std::vector<std::string_view> extensions;  // five characters each, dot included
};
// Indexes 0..14; entry 0 is "UNDEFINED" and selects nothing.
extern const std::array<FourccEntry, 15> kFourccs;

// Texts of the format dialog's lists, by value.
extern const std::array<const char*, 6> kSamplingListTexts;
extern const std::array<const char*, 2> kFieldListTexts;
extern const std::array<const char*, 3> kPackingListTexts;
// Names of the sampling values in the history list ("YUV_444", ...).
extern const std::array<const char*, 6> kSamplingNames;
// Names of the component orders in lists ("YUV", ...).
extern const std::array<const char*, 5> kComponentOrderNames;

// One entry of the component-order list of the format dialog.
struct ComponentChoice {
  const char* text;
  int32_t value;  // -1 for MONO's "Single": the order is left as it is
};
// The component orders offered for a sampling format (and packing, for 4:2:2).
std::vector<ComponentChoice> ComponentChoices(int32_t sampling, int32_t pixelFormat);

// YUV with three components: 4:4:4, 4:2:2 or 4:2:0.
inline constexpr bool IsYuvSampling(int32_t sampling) {
  return sampling == YUV_444 || sampling == YUV_422 || sampling == YUV_420;
}

// Bytes of one sample: 2 above 8 bits.
inline constexpr int32_t SampleBytes(const ImageFormat& f) {
  return f.BitsPerSample > 8 ? 2 : 1;
}
// A layout the frame engine does not hold as it is stored: semi-planar, or samples
// above 8 bits. Jobs convert such frames at the file (see image/SampleStorage.h).
inline constexpr bool IsStoredOnlyLayout(const ImageFormat& f) {
  return f.PixelFormat == SemiPlanar || f.BitsPerSample != 8;
}

// Bytes of one frame: 4:2:2 2WH, 4:2:0 (3WH) >> 1, mono WH, all others 3WH; twice
// that above 8 bits.
// Returns -1 for a sampling value outside 0..5 and for sizes whose frame would
// not fit in 31 bits (negative sizes included).
int32_t FrameSizeOf(const ImageFormat& format);

// The four members that say how the samples lie.
struct SampleLayout {
  int32_t sampling = YUV_420;
  int32_t order = YUV;
  int32_t field = Interlaced;
  int32_t pixel = Packed;
  int32_t bits = 8;
};
// Sets a header's layout and size; its FOURCC and resolution stay as they are.
void SetLayoutAndSize(ImageFormat& format, const SampleLayout& layout, int32_t width, int32_t height);

// Sets `Fourcc` from the other members (only the canonical index of each format,
// never an alias).
void DeriveFourcc(ImageFormat& format);

// Sets sampling, field, pixel format and order from a FOURCC index; 0 or an index
// outside 1..14 changes nothing.
void ApplyFourcc(int32_t fourccIndex, ImageFormat& format);

// Width and height of a resolution index. 15 leaves them as they are; an index
// outside 0..15 gives 720 x 480.
void ResolutionSize(int32_t index, int32_t& width, int32_t& height);

// Sets `ImageResolution` to the table index of exactly (ImgWidth, ImgHeight) and
// returns true; otherwise sets 15 and returns false.
bool DeriveResolution(ImageFormat& format);

// Bytes of one working frame buffer: ((W + 3) / 4) x ((H + 3) / 4) x 48; 0 when
// W or H is below 1.
int64_t WorkBufferSize(int64_t width, int64_t height);
inline constexpr int64_t kMaxWorkBufferSize = 125829136;
// True when 1 <= WorkBufferSize(width, height) <= kMaxWorkBufferSize.
bool WorkBufferSizeSupported(int64_t width, int64_t height);

}  // namespace vx
