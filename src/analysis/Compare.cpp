#include "analysis/Compare.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "analysis/Psnr.h"
#include "image/PixelOps.h"
#include "platform/StringFormat.h"

namespace vx {
namespace {

bool IsRgb(const ImageFormat& f) {
  return f.SamplingFormat == RGB_444;
}

// The RGB byte a component choice means in storage order (B, G, R files mirror it).
int StoredChannel(const ImageFormat& f, int selector) {
  return selector < 3 && f.ComponentOrder == BGR ? 2 - selector : selector;
}

// A packed 4:4:4 YUV picture whose luma is one byte (or the clamped sum) of each
// packed RGB pixel: the SAD the histograms read.
void SadPicture(const FrameImage& rgb, int channel, FrameImage& picture) {
  SetCanonicalHeader(picture, rgb.ImgWidth, rgb.ImgHeight);
  const int64_t n = int64_t{rgb.ImgWidth} * rgb.ImgHeight;
  for (int64_t i = 0; i < n; ++i) {
    const uint8_t* p = rgb.Data + 3 * i;
    uint8_t* o = picture.Data + 3 * i;
    o[0] = channel == 3 ? ClampToByte(p[0] + p[1] + p[2]) : p[channel];
    o[1] = o[2] = 128;
  }
}

// Y, U, V values in the order the PSNR box names a YUV layout's components (its
// storage order).
std::array<double, 3> NamedOrder(const ImageFormat& f, const std::array<double, 3>& yuv) {
  if (f.ComponentOrder == YUV) return yuv;
  if (f.ComponentOrder == YVU) return {yuv[0], yuv[2], yuv[1]};
  return {yuv[1], yuv[0], yuv[2]};
}

}  // namespace

bool FrameDifference::Allocate(int32_t width, int32_t height) {
  if (width == width_ && height == height_ && !differenceBuffer_.empty()) return true;
  width_ = height_ = 0;
  const int64_t bytes = WorkBufferSize(width, height);
  for (FrameBuffer* b :
       {&differenceBuffer_, &pictureBuffer_, &firstBuffer_, &secondBuffer_, &scratchA_, &scratchB_}) {
    if (!WorkBufferSizeSupported(width, height) || !b->Allocate(bytes)) return false;
  }
  width_ = width;
  height_ = height;
  return true;
}

bool FrameDifference::PackedRgb(const FrameImage& frame, FrameImage& packed) {
  ImageFormat layout = frame;
  layout.PixelFormat = Packed;
  layout.FieldFormat = Progressive;
  FrameImage source = frame;
  static_cast<ImageFormat&>(packed) = layout;
  ComputeFrameSize(packed);
  if (frame.PixelFormat == Packed && frame.FieldFormat == Progressive) {
    std::memcpy(packed.Data, frame.Data, static_cast<size_t>(packed.DataSize));
    return true;
  }
  return ConvertPixelFormat(source, packed);
}

bool FrameDifference::Picture(const ColourTables& tables, const FrameImage& frame, FrameImage& picture) {
  if (!IsRgb(frame)) {
    FrameImage source = frame;
    SetCanonicalHeader(picture, frame.ImgWidth, frame.ImgHeight);
    return ToCanonical444(source, picture);
  }
  FrameImage packed = scratchB_.Frame(frame);
  if (!PackedRgb(frame, packed)) return false;
  SetCanonicalHeader(picture, frame.ImgWidth, frame.ImgHeight);
  return RgbBufferToYuv(tables, std::span<const uint8_t>(packed.Data, static_cast<size_t>(packed.DataSize)),
                        std::span<uint8_t>(picture.Data, static_cast<size_t>(picture.Capacity)),
                        frame.ImgWidth, frame.ImgHeight, RgbRowsLayout{.bgr = frame.ComponentOrder == BGR});
}

bool FrameDifference::Build(const ColourTables& tables, const FrameImage& one, const FrameImage& two,
                            int selector) {
  if (!Allocate(one.ImgWidth, one.ImgHeight) || selector < 0 || selector > 3) return false;
  source_ = one;
  selector_ = selector;
  first_ = firstBuffer_.Frame(one);
  second_ = secondBuffer_.Frame(one);
  if (!Picture(tables, one, first_) || !Picture(tables, two, second_)) return false;
  differencePicture_ = pictureBuffer_.Frame(one);
  double v[3] = {100, 100, 100};
  if (selector == 3) {
    // All components: the 4:4:4 frames (the display copies of a YUV source, the
    // packed pixels of an RGB one), the SAD of the three in the first component.
    FrameImage a = first_, b = second_;
    if (IsRgb(one)) {
      a = scratchA_.Frame(one);
      b = scratchB_.Frame(one);
      if (!PackedRgb(one, a) || !PackedRgb(two, b)) return false;
    }
    difference_ = differenceBuffer_.Frame(a);
    if (!CompareFrames(a, b, &difference_, v[0], v[1], v[2], true)) return false;
    if (IsRgb(one)) {
      SadPicture(difference_, 0, differencePicture_);
    } else {
      SetCanonicalHeader(differencePicture_, one.ImgWidth, one.ImgHeight);
      std::memcpy(differencePicture_.Data, difference_.Data, static_cast<size_t>(difference_.DataSize));
      // The 4:4:4 frames hold Y, U, V whatever the file's order.
      const std::array<double, 3> named = NamedOrder(one, {v[0], v[1], v[2]});
      std::copy(named.begin(), named.end(), v);
    }
  } else {
    // One component: the frames as read, the component isolated afterwards.
    difference_ = differenceBuffer_.Frame(one);
    if (!CompareFrames(one, two, &difference_, v[0], v[1], v[2])) return false;
    if (IsRgb(one)) {
      FrameImage packed = scratchA_.Frame(one);
      if (!PackedRgb(difference_, packed)) return false;
      SadPicture(packed, StoredChannel(one, selector), differencePicture_);
    } else {
      FrameImage canonical = scratchA_.Frame(one);
      FrameImage source = difference_;
      SetCanonicalHeader(canonical, one.ImgWidth, one.ImgHeight);
      if (!ToCanonical444(source, canonical) || !ExtractComponent(canonical, differencePicture_, selector))
        return false;
    }
  }
  psnr_ = {v[0], v[1], v[2]};
  return true;
}

int FrameDifference::BrightnessOnDraw(const ImageFormat& source, const CompareDisplay& options) {
  const bool yuv = source.SamplingFormat == YUV_444 || source.SamplingFormat == YUV_422 ||
                   source.SamplingFormat == YUV_420;
  return options.displayMode == 0 && yuv ? options.brightness : 0;
}

bool FrameDifference::Paint(const ColourTables& tables, const CompareDisplay& o, FrameImage& display) {
  if (!difference_.Data || display.Capacity < 3 * int64_t{width_} * height_) return false;
  SetCanonicalHeader(display, width_, height_);
  Yuv8 colour{};
  RgbToYuvPixel(tables.formula, tables.user, static_cast<uint8_t>(o.colour.Red),
                static_cast<uint8_t>(o.colour.Green), static_cast<uint8_t>(o.colour.Blue), colour);
  const std::array<uint8_t, 3> colourYuv = {colour.y, colour.u, colour.v};
  const bool tinted = !o.mask.empty();
  if (o.displayMode == 0 && (o.imageChoice == 1 || o.imageChoice == 2)) {
    // A frame itself; the current one with the unselected blocks tinted.
    const FrameImage& frame = o.imageChoice == 1 ? first_ : second_;
    if (o.imageChoice == 2 && tinted) {
      if (!MaskedHighlight(frame, display, colourYuv, o.mask, 3)) return false;
      SetCanonicalHeader(display, width_, height_);
      return true;
    }
    std::memcpy(display.Data, frame.Data, static_cast<size_t>(display.DataSize));
    return true;
  }
  const BlockMask& rangeMask = o.displayMode == 1 && o.background == 2 ? o.mask : BlockMask{};
  if (!IsRgb(source_)) {
    if (o.displayMode == 0) {
      std::memcpy(display.Data, differencePicture_.Data, static_cast<size_t>(display.DataSize));
      return true;
    }
    return DifferenceMap(differencePicture_, display, o.background, o.low, o.high, first_, second_, colourYuv,
                         0, rangeMask);
  }
  // RGB: the SAD comes from the RGB difference (selected channel, or the sum).
  const int channel = StoredChannel(source_, selector_);
  FrameImage packed = scratchA_.Frame(source_);
  if (!PackedRgb(difference_, packed)) return false;
  if (o.displayMode == 1)
    return DifferenceMap(packed, display, o.background, o.low, o.high, first_, second_, colourYuv, channel,
                         rangeMask);
  if (!AdjustBrightness(packed, o.brightness, channel)) return false;
  FrameImage grey = scratchB_.Frame(source_);
  if (!ExtractComponent(packed, grey, channel)) return false;
  return RgbBufferToYuv(tables, std::span<const uint8_t>(grey.Data, static_cast<size_t>(grey.DataSize)),
                        std::span<uint8_t>(display.Data, static_cast<size_t>(display.Capacity)), width_,
                        height_, RgbRowsLayout{.bgr = source_.ComponentOrder == BGR});
}

std::string PsnrBoxText(const ImageFormat& f, const std::array<double, 3>& v) {
  const char* text = nullptr;
  if (f.SamplingFormat == RGB_444 || f.SamplingFormat == BMP) {
    text = f.ComponentOrder == RGB ? "R :%.4f     G :%.4f   B :%.4f" : "B :%.4f     G :%.4f   R :%.4f";
  } else if (f.ComponentOrder == YUV) {
    text = "Y :%.4f     U :%.4f   V :%.4f";
  } else if (f.ComponentOrder == YVU) {
    text = "Y :%.4f     V :%.4f   U :%.4f";
  } else {
    text = "U :%.4f     Y :%.4f   V :%.4f";
  }
  return StrFormat(text, v[0], v[1], v[2]);
}

namespace {

const LockstepPairSequence::Messages kCompareMessages = {
    "Error CMPR1016: Input file %s not found\n",
    "Error CMPR1017: Input file %s not found\n",
};

}  // namespace

CompareSequence::CompareSequence() : LockstepPairSequence(kCompareMessages) {}

std::string WorkImageRefusal(const WorkImageRefusals& refusals, bool hadWorkImages,
                             const ImageFormat& format) {
  return StrFormat(hadWorkImages ? refusals.resized : refusals.first, format.ImgWidth, format.ImgHeight);
}

std::optional<std::string> CompareSequence::Prepare(const ImageFormat& format) {
  static constexpr WorkImageRefusals kRefusals = {
      .first = "Error CMPR1007: Image size (%d, %d) not support !\n",
      .resized = "Error CMPR1008: Image size (%d, %d) not support !\n",
  };
  const bool hadWorkImages = difference_.HasWorkImages();
  {
    std::lock_guard lock(mutex_);
    measures_.reset();  // the files to come are others
  }
  if (SetFormats(format, format) && difference_.Allocate(format.ImgWidth, format.ImgHeight) &&
      pictures_.Allocate(format.ImgWidth, format.ImgHeight))
    return std::nullopt;
  return WorkImageRefusal(kRefusals, hadWorkImages, format);
}

void CompareSequence::SetDisplay(const CompareDisplay& display) {
  std::lock_guard lock(mutex_);
  display_ = display;
}

CompareDisplay CompareSequence::Display() const {
  std::lock_guard lock(mutex_);
  return display_;
}

bool CompareSequence::LoadFirstPair() {
  auto first = RawFile::OpenRead(FirstPath);
  auto second = RawFile::OpenRead(SecondPath);
  // Both frames whole, or nothing shown.
  if (!first || !second || !firstReader_.Attach(*first, FirstPath, false) ||
      !secondReader_.Attach(*second, SecondPath, false) || first->Length() < loadingFirst_.DataSize ||
      second->Length() < loadingSecond_.DataSize ||
      !LoadFrame(firstReader_, *first, FirstPath, 1, loadingFirst_, loadingFirstStored_,
                 loadingFirstOrigin_) ||
      !LoadFrame(secondReader_, *second, SecondPath, 1, loadingSecond_, loadingSecondStored_,
                 loadingSecondOrigin_))
    return false;
  Commit();
  return true;
}

void CompareSequence::RenderPair(const FrameImage& first, const FrameImage& second) {
  const CompareDisplay display = Display();
  const auto tables = CurrentColourTables();
  if (!difference_.Build(*tables, first, second, display.selector)) return;
  if (!difference_.Paint(*tables, display, pictures_.Back())) return;
  {
    std::lock_guard lock(mutex_);
    psnrText_ = PsnrBoxText(first, difference_.Psnr());
    const std::array<double, 3> values = difference_.Psnr();
    measures_ = FrameMeasures{.frame = static_cast<int32_t>(ShownFirstOrigin().number),
                              .psnr = ReportColumns(first, values.data()),
                              .hasPsnr = true};
  }
  pictures_.Publish();
}

std::optional<FrameMeasures> CompareSequence::ShownMeasures() const {
  std::lock_guard lock(mutex_);
  return measures_;
}

std::string CompareSequence::PsnrText() const {
  std::lock_guard lock(mutex_);
  return psnrText_;
}

}  // namespace vx
