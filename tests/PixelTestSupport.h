#pragma once

#include <string>
#include <vector>

#include "TestSupport.h"
#include "image/FrameImage.h"
#include "image/PixelOps.h"

namespace vx::test {

// The five layout fields and a size, nothing derived from them.
inline ImageFormat PlainLayout(int32_t sampling, int32_t order, int32_t field, int32_t pixel, int32_t w = 720,
                               int32_t h = 480) {
  ImageFormat f;
  f.SamplingFormat = sampling;
  f.ComponentOrder = order;
  f.FieldFormat = field;
  f.PixelFormat = pixel;
  f.ImgWidth = w;
  f.ImgHeight = h;
  return f;
}

// The same with the resolution and FOURCC derived from it.
inline ImageFormat Layout(int32_t sampling, int32_t order, int32_t field, int32_t pixel, int32_t w,
                          int32_t h) {
  ImageFormat f = PlainLayout(sampling, order, field, pixel, w, h);
  DeriveResolution(f);
  DeriveFourcc(f);
  return f;
}

inline std::string Describe(const ImageFormat& f) {
  return std::string(kSamplingNames[static_cast<size_t>(f.SamplingFormat)]) + " order " +
         std::to_string(f.ComponentOrder) + (f.FieldFormat == Interlaced ? " interlaced" : " progressive") +
         (f.PixelFormat == Planar ? " planar " : " packed ") + std::to_string(f.ImgWidth) + "x" +
         std::to_string(f.ImgHeight);
}

// Every YUV layout a file may have, at one size (layouts invalid at that size are left out).
inline std::vector<ImageFormat> ValidYuvLayouts(int32_t w, int32_t h) {
  std::vector<ImageFormat> layouts;
  FrameBuffer probe;
  probe.Allocate(WorkBufferSize(w, h));
  for (int32_t sampling : {YUV_444, YUV_422, YUV_420}) {
    for (int32_t order : {YUV, YVU, UYV}) {
      for (int32_t field : {Interlaced, Progressive}) {
        for (int32_t pixel : {Packed, Planar}) {
          const ImageFormat f = Layout(sampling, order, field, pixel, w, h);
          if (IsValidYuvLayout(probe.Frame(f))) layouts.push_back(f);
        }
      }
    }
  }
  return layouts;
}

// A buffer of WorkBufferSize bytes holding a frame of `format`, filled from `bytes`
// (or with random bytes from `seed`).
struct TestFrame {
  TestFrame(const ImageFormat& format, uint32_t seed) {
    buffer.Allocate(WorkBufferSize(format.ImgWidth, format.ImgHeight));
    const auto bytes = RandomBytes(static_cast<size_t>(buffer.size()), seed);
    std::copy(bytes.begin(), bytes.end(), buffer.data());
    frame = buffer.Frame(format);
  }
  std::vector<uint8_t> Bytes() const { return {frame.Data, frame.Data + frame.DataSize}; }
  FrameBuffer buffer;
  FrameImage frame;
};

}  // namespace vx::test
