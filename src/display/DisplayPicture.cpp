#include "display/DisplayPicture.h"

#include <cstdlib>
#include <cstring>
#include <span>
#include <utility>
#include <vector>

#include "image/PixelOps.h"

namespace vx {

bool DisplayWork::Ensure(int32_t width, int32_t height) {
  if (!WorkBufferSizeSupported(width, height)) return false;
  const int64_t bytes = WorkBufferSize(width, height);
  for (FrameBuffer* buffer : {&first_, &second_}) {
    if (buffer->size() != bytes && !buffer->Allocate(bytes)) {
      Release();
      return false;
    }
  }
  return true;
}

void DisplayWork::Release() {
  first_.Release();
  second_.Release();
}

namespace {

// The work buffer that does not hold `busy`.
FrameBuffer& Other(DisplayWork& work, const FrameImage& busy) {
  return busy.Data == work.first().data() ? work.second() : work.first();
}

// Mono frames as grey RGB: three equal planes, made progressive.
bool MonoAsRgb(const FrameImage& frame, DisplayWork& work, FrameImage& rgb) {
  FrameImage planes = work.first().Frame(frame);
  if (frame.DataSize > planes.Capacity) return false;
  std::memcpy(planes.Data, frame.Data, static_cast<size_t>(frame.DataSize));
  planes.DataSize = frame.DataSize;
  if (!MonoToRgbPlanar(planes)) return false;
  if (planes.FieldFormat == Interlaced) {
    FrameImage progressive = work.second().Frame(planes);
    CopyFrameHeader(planes, progressive);
    progressive.FieldFormat = Progressive;
    if (!ConvertFieldFormat(planes, progressive)) return false;
    planes = progressive;
  }
  rgb = planes;
  rgb.ComponentOrder = RGB;
  return true;
}

bool RgbToDisplay(const ColourTables& tables, const FrameImage& rgbFrame, FrameImage& display,
                  DisplayWork& work, int component) {
  FrameImage packed = rgbFrame;
  if (rgbFrame.PixelFormat == Planar) {
    packed = Other(work, rgbFrame).Frame(rgbFrame);
    CopyFrameHeader(rgbFrame, packed);
    packed.PixelFormat = Packed;
    FrameImage planar = rgbFrame;
    if (!ConvertPixelFormat(planar, packed)) return false;
  }
  FrameImage shown = packed;
  const bool bgr = rgbFrame.ComponentOrder == BGR;
  if (component != 3) {
    FrameImage extracted = Other(work, packed).Frame(packed);
    // Component 0 is red whichever way round the bytes are stored.
    const int stored = bgr ? std::abs(component - 2) : component;
    if (ExtractComponent(packed, extracted, stored)) shown = extracted;
  }
  const int64_t bytes = 3 * int64_t{shown.ImgWidth} * shown.ImgHeight;
  return RgbBufferToYuv(tables, std::span<const uint8_t>(shown.Data, static_cast<size_t>(bytes)),
                        std::span<uint8_t>(display.Data, static_cast<size_t>(display.Capacity)),
                        shown.ImgWidth, shown.ImgHeight, RgbRowsLayout{.bgr = bgr});
}

bool YuvToDisplay(const FrameImage& frame, FrameImage& display, DisplayWork& work, int component) {
  FrameImage source = frame;
  if (!ToCanonical444(source, display)) return false;
  if (component == 3) return true;
  FrameImage extracted = work.first().Frame(display);
  if (!ExtractComponent(display, extracted, component)) return true;  // all components, as chosen before
  std::memcpy(display.Data, extracted.Data, static_cast<size_t>(extracted.DataSize));
  return true;
}

}  // namespace

bool MakeDisplayPicture(const ColourTables& tables, const FrameImage& frame, FrameImage& display,
                        DisplayWork& work, const DisplayPictureOptions& options) {
  if (!frame.Data || !display.Data || frame.ImgWidth <= 0 || frame.ImgHeight <= 0) return false;
  if (!work.Ensure(frame.ImgWidth, frame.ImgHeight)) return false;
  SetCanonicalHeader(display, frame.ImgWidth, frame.ImgHeight);
  if (display.DataSize > display.Capacity) return false;
  if (frame.SamplingFormat == MONO) {
    if (options.mono == MonoDisplay::AsLuma) return MonoToYuv444(frame, display);
    FrameImage rgb;
    return MonoAsRgb(frame, work, rgb) && RgbToDisplay(tables, rgb, display, work, options.component);
  }
  if (frame.SamplingFormat == RGB_444) return RgbToDisplay(tables, frame, display, work, options.component);
  return YuvToDisplay(frame, display, work, options.component);
}

bool PictureExchange::Allocate(int32_t width, int32_t height) {
  Release();
  if (!WorkBufferSizeSupported(width, height)) return false;
  const int64_t bytes = WorkBufferSize(width, height);
  std::lock_guard lock(mutex_);
  if (!buffers_[0].Allocate(bytes) || !buffers_[1].Allocate(bytes)) {
    buffers_[0].Release();
    buffers_[1].Release();
    return false;
  }
  ImageFormat canonical;
  front_ = buffers_[0].Frame(canonical);
  back_ = buffers_[1].Frame(canonical);
  SetCanonicalHeader(front_, width, height);
  SetCanonicalHeader(back_, width, height);
  return true;
}

void PictureExchange::Release() {
  std::lock_guard lock(mutex_);
  buffers_[0].Release();
  buffers_[1].Release();
  front_ = back_ = FrameImage{};
  published_ = false;
}

bool PictureExchange::Allocated() const {
  std::lock_guard lock(mutex_);
  return !buffers_[0].empty();
}

void PictureExchange::Publish() {
  std::lock_guard lock(mutex_);
  std::swap(front_, back_);
  published_ = true;
}

std::vector<uint8_t> PictureExchange::FrontBytes() const {
  return Read([](const FrameImage& f) {
    if (!f.Data || f.DataSize <= 0) return std::vector<uint8_t>{};
    return std::vector<uint8_t>(f.Data, f.Data + f.DataSize);
  });
}

}  // namespace vx
