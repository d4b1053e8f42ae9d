#include "image/ImageFormat.h"

#include <limits>

namespace vx {

const std::array<ResolutionEntry, 16> kResolutions = {{
    {"QCIF_NTSC_176x120", "QCIF_NTSC 176x120", 176, 120},
    {"QCIF_PAL_176x144", "QCIF_PAL 176x144", 176, 144},
    {"CIF_NTSC_352x240", "CIF_NTSC 352x240", 352, 240},
    {"CIF_PAL_352x288", "CIF_PAL 352x288", 352, 288},
    {"4CIF_NTSC_704x480", "4CIF_NTSC 704x480", 704, 480},
    {"4CIF_PAL_704x576", "4CIF_PAL  704x576", 704, 576},
    {"D1_NTSC_720x480", "D1_NTSC 720x480", 720, 480},
    {"D1_PAL_720x576", "D1_PAL  720x576", 720, 576},
    {"VGA_640x480", "VGA 640x480", 640, 480},
    {"SVGA_800x600", "SVGA 800x600", 800, 600},
    {"XGA_1024x768", "XGA 1024x768", 1024, 768},
    {"SXGA_1280x1024", "SXGA 1280x1024", 1280, 1024},
    {"UXGA_1600x1200", "UXGA 1600x1200", 1600, 1200},
    {"720HD_1280x720", "720HD 1280x720", 1280, 720},
    {"1080HD_1920x1080", "1080HD 1920x1080", 1920, 1080},
    {"CUSTOMIZED", "Customized WxH: ", 0, 0},
}};

const std::array<FourccEntry, 15> kFourccs = {{
    {"UNDEFINED", "Undefined", -1, -1, -1, -1, {}},
    {"UYVY", "UYVY", YUV_422, Progressive, Packed, UYV, {".UYVY", ".UYNV", ".Y422"}},
    {"UYNV", "UYNV (same as UYVY)", YUV_422, Progressive, Packed, UYV, {}},
    {"Y422", "Y422 (same as UYVY)", YUV_422, Progressive, Packed, UYV, {}},
    {"IUYV", "IUYV", YUV_422, Interlaced, Packed, UYV, {".IUYV"}},
    {"YUY2", "YUYV", YUV_422, Progressive, Packed, YUV, {".YUY2", ".V422", ".YUYV"}},
    {"YUNV", "YUNV (same as YUYV)", YUV_422, Progressive, Packed, YUV, {}},
    {"V422", "V422 (same as YUYV)", YUV_422, Progressive, Packed, YUV, {}},
    {"YUYV", "YUY2 (same as YUYV)", YUV_422, Progressive, Packed, YUV, {}},
    {"YVYU", "YVYU", YUV_422, Progressive, Packed, YVU, {".YVYU"}},
    {"IYU2", "IYU2", YUV_444, Progressive, Packed, UYV, {".IYU2"}},
    {"YV16", "YV16", YUV_422, Progressive, Planar, YUV, {".YV16"}},
    {"YV12", "YV12", YUV_420, Progressive, Planar, YVU, {".YV12"}},
    {"IYUV", "IYUV", YUV_420, Progressive, Planar, YUV, {".IYUV", ".I420"}},
    {"I420", "I420 (same as IYUV)", YUV_420, Progressive, Planar, YUV, {}},
}};

const std::array<const char*, 6> kSamplingListTexts = {"YUV 444", "YUV 422", "YUV 420",
                                                       "RGB 444", "MONO",    "BMP"};
const std::array<const char*, 2> kFieldListTexts = {"Interlaced", "Progressive"};
const std::array<const char*, 3> kPackingListTexts = {"Packed", "Planar", "Semi-planar"};
const std::array<const char*, 6> kSamplingNames = {"YUV_444", "YUV_422", "YUV_420", "RGB_444", "MONO", "BMP"};
const std::array<const char*, 5> kComponentOrderNames = {"YUV", "YVU", "UYV", "RGB", "BGR"};

std::vector<ComponentChoice> ComponentChoices(int32_t sampling, int32_t pixelFormat) {
  const bool yuv = IsYuvSampling(sampling);
  if (pixelFormat == SemiPlanar && yuv) return {{"Y,U,V", YUV}, {"Y,V,U", YVU}};  // which chroma comes first
  switch (sampling) {
    case YUV_444:
      return {{"Y,U,V", YUV}, {"Y,V,U", YVU}, {"U,Y,V", UYV}};
    case YUV_422:
      if (pixelFormat == Packed) return {{"Y,U,Y,V", YUV}, {"Y,V,Y,U", YVU}, {"U,Y,V,Y", UYV}};
      return {{"Y,U,V", YUV}, {"Y,V,U", YVU}};
    case YUV_420:
      return {{"Y,U,V", YUV}, {"Y,V,U", YVU}};
    case RGB_444:
      return {{"R,G,B", RGB}, {"B,G,R", BGR}};
    case MONO:
      return {{"Single", -1}};
    case BMP:
      return {{"R,G,B", RGB}};
    default:
      return {};
  }
}

int32_t FrameSizeOf(const ImageFormat& format) {
  if (format.ImgWidth < 0 || format.ImgHeight < 0) return -1;
  const int64_t pixels = int64_t{format.ImgWidth} * format.ImgHeight;
  // Every layout takes at least a byte a pixel: larger pictures cannot fit, and
  // the products below stay far from overflowing.
  if (pixels > std::numeric_limits<int32_t>::max()) return -1;
  int64_t size = 0;
  switch (format.SamplingFormat) {
    case YUV_422:
      size = pixels * 2;
      break;
    case YUV_420:
      size = (pixels * 3) >> 1;
      break;
    case MONO:
      size = pixels;
      break;
    case YUV_444:
    case RGB_444:
    case BMP:
      size = pixels * 3;
      break;
    default:
      return -1;
  }
  size *= SampleBytes(format);
  if (format.ImgWidth < 0 || format.ImgHeight < 0 || size > std::numeric_limits<int32_t>::max()) {
    return -1;
  }
  return static_cast<int32_t>(size);
}

void SetLayoutAndSize(ImageFormat& f, const SampleLayout& layout, int32_t width, int32_t height) {
  f.SamplingFormat = layout.sampling;
  f.ComponentOrder = layout.order;
  f.FieldFormat = layout.field;
  f.PixelFormat = layout.pixel;
  f.BitsPerSample = layout.bits;
  f.ImgWidth = width;
  f.ImgHeight = height;
}

void DeriveFourcc(ImageFormat& f) {
  f.Fourcc = 0;
  if (f.BitsPerSample != 8) return;  // the FOURCC list names 8-bit layouts only
  const bool progressive = f.FieldFormat == Progressive;
  if (f.PixelFormat == Planar) {
    if (f.SamplingFormat == YUV_422 && progressive && f.ComponentOrder == YUV)
      f.Fourcc = 11;
    else if (f.SamplingFormat == YUV_420 && progressive && f.ComponentOrder == YVU)
      f.Fourcc = 12;
    else if (f.SamplingFormat == YUV_420 && progressive && f.ComponentOrder == YUV)
      f.Fourcc = 13;
  } else if (f.PixelFormat == Packed) {
    if (f.SamplingFormat == YUV_422 && f.ComponentOrder == UYV) {
      if (f.FieldFormat == Progressive)
        f.Fourcc = 1;
      else if (f.FieldFormat == Interlaced)
        f.Fourcc = 4;
    } else if (f.SamplingFormat == YUV_422 && progressive && f.ComponentOrder == YUV) {
      f.Fourcc = 5;
    } else if (f.SamplingFormat == YUV_422 && progressive && f.ComponentOrder == YVU) {
      f.Fourcc = 9;
    } else if (f.SamplingFormat == YUV_444 && progressive && f.ComponentOrder == UYV) {
      f.Fourcc = 10;
    }
  }
}

void ApplyFourcc(int32_t fourccIndex, ImageFormat& format) {
  if (fourccIndex < 1 || fourccIndex >= static_cast<int32_t>(kFourccs.size())) return;
  const FourccEntry& entry = kFourccs[static_cast<size_t>(fourccIndex)];
  format.SamplingFormat = entry.sampling;
  format.FieldFormat = entry.field;
  format.PixelFormat = entry.pixel;
  format.ComponentOrder = entry.order;
}

void ResolutionSize(int32_t index, int32_t& width, int32_t& height) {
  if (index == kCustomResolution) return;
  if (index < 0 || index > kCustomResolution) {
    width = 720;
    height = 480;
    return;
  }
  width = kResolutions[static_cast<size_t>(index)].width;
  height = kResolutions[static_cast<size_t>(index)].height;
}

bool DeriveResolution(ImageFormat& format) {
  for (int32_t i = 0; i < kCustomResolution; ++i) {
    const ResolutionEntry& entry = kResolutions[static_cast<size_t>(i)];
    if (entry.width == format.ImgWidth && entry.height == format.ImgHeight) {
      format.ImageResolution = i;
      return true;
    }
  }
  format.ImageResolution = kCustomResolution;
  return false;
}

int64_t WorkBufferSize(int64_t width, int64_t height) {
  if (width < 1 || height < 1) return 0;
  // Far beyond any accepted size; saturating keeps the product from overflowing.
  constexpr int64_t kHuge = int64_t{1} << 28;
  if (width > kHuge || height > kHuge) return std::numeric_limits<int64_t>::max();
  return ((width + 3) / 4) * ((height + 3) / 4) * 48;
}

bool WorkBufferSizeSupported(int64_t width, int64_t height) {
  const int64_t size = WorkBufferSize(width, height);
  return size >= 1 && size <= kMaxWorkBufferSize;
}

}  // namespace vx
