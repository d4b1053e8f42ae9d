#include "display/FormatLabel.h"

#include "image/PixelOps.h"
#include "image/SampleStorage.h"
#include "platform/StringFormat.h"

namespace vx {
namespace {

const char* FormatName(const ImageFormat& f) {
  const int32_t order = f.ComponentOrder;
  switch (f.SamplingFormat) {
    case YUV_444: {
      static const char* const names[] = {"YUV 444 ", "YVU 444 ", "UYV 444 "};
      return order >= YUV && order <= UYV ? names[order] : "invalid ";
    }
    case YUV_422: {
      static const char* const packed[] = {"YUYV 422 ", "YVYU 422 ", "UYVY 422 "};
      static const char* const planar[] = {"YUV 422 ", "YVU 422 ", "UYV 422 "};
      if (order < YUV || order > UYV) return "invalid ";
      if (f.PixelFormat == Packed) return packed[order];
      if (f.PixelFormat == Planar || f.PixelFormat == SemiPlanar) return planar[order];
      return "invalid ";
    }
    case YUV_420:
      return order == YUV ? "YUV 420 " : (order == YVU ? "YVU 420 " : "invalid ");
    case RGB_444:
      return order == RGB ? "RGB 444 " : (order == BGR ? "BGR 444 " : "invalid ");
    case MONO:
      return "Mono ";
    case BMP:
      return "BMP ";
    default:
      return "invalid ";
  }
}

bool IsFileLayout(const ImageFormat& f) {
  if (f.ImgWidth < 1 || f.ImgHeight < 1) return false;
  const bool fieldKnown = f.FieldFormat == Interlaced || f.FieldFormat == Progressive;
  const bool packingKnown = f.PixelFormat == Packed || f.PixelFormat == Planar;
  if (IsStoredOnlyLayout(f)) {
    if (StoredLayoutRefusal(f)) return false;
    if (f.SamplingFormat == MONO) return fieldKnown;
    return IsValidYuvFormat(WorkingLayout(f));
  }
  switch (f.SamplingFormat) {
    case RGB_444:
      return (f.ComponentOrder == RGB || f.ComponentOrder == BGR) && fieldKnown && packingKnown;
    case MONO:
      return fieldKnown;
    case BMP:
      return true;
    default:
      return IsValidYuvFormat(f);
  }
}

}  // namespace

std::string FormatBoxText(const ImageFormat& format) {
  return IsFileLayout(format) ? FormatLabel(format) : std::string();
}

std::string FormatLabel(const ImageFormat& f) {
  std::string label = StrFormat("%s %dx%d", FormatName(f), f.ImgWidth, f.ImgHeight);
  if (f.SamplingFormat == BMP) return label;
  label = StrFormat(f.FieldFormat == Interlaced    ? "%s Interlaced"
                    : f.FieldFormat == Progressive ? "%s Progressive"
                                                   : "%s Invalid ",
                    label.c_str());
  label = StrFormat(f.PixelFormat == Packed       ? "%s Packed"
                    : f.PixelFormat == Planar     ? "%s Planar"
                    : f.PixelFormat == SemiPlanar ? "%s Semi-planar"
                                                  : "%s Invalid ",
                    label.c_str());
  // 8-bit labels stay as they always were.
  if (f.BitsPerSample != 8) label += StrFormat(" %d-bit", f.BitsPerSample);
  return label;
}

std::string FormatLabelWithFrames(const ImageFormat& format, int64_t frames) {
  return StrFormat("%s, %lld frames", FormatLabel(format).c_str(), static_cast<long long>(frames));
}

}  // namespace vx
