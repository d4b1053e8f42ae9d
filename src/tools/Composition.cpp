#include "tools/Composition.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "image/ColorFormula.h"
#include "platform/StringFormat.h"

namespace vx {

const ToolMessages kCompositionMessages = {
    .endBeforeStart = "Error CMPS1005:  End frame number cannot be smaller than start frame number!\n",
    .startBeyondCount =
        "Error CMPS1006:  The start frame number you specified is larger than the number of frames in base "
        "image!\n",
    .endBeyondCount =
        "Error CMPS1007:  The end frame number you specified is larger than the number of frames in base "
        "image!\n",
    .notPositive = "Error CMPS1004:  Start or end frame number cannot be less than or equal to zero!\n",
    .sourceImageSize = "Error CMPS1021: Image size (%d, %d) not support !\n",
    .targetImageSize = "Error CMPS1022: Image size (%d, %d) not support !\n",
    .sourceNotFound = "Error CMPS1012:  Input file %s not found\n",
    .requestNotFound = "Error CMPS1012:  Input file %s not found\n",
    .bitstream = "Error CMPS1014:  Bitstream reading error in base file around frame %!\n",
    .targetNotWritten = "Error CMPS1015:  File %s cannot be written !\n",
    .finished = nullptr,  // no finish message
};

DrawnArea DrawnAreaOf(const ImageFormat& base, int32_t topWidth, int32_t topHeight) {
  const bool interlaced420 = base.SamplingFormat == YUV_420 && base.FieldFormat == Interlaced;
  const bool pairs = base.SamplingFormat == YUV_422 || base.SamplingFormat == YUV_420;
  return {pairs ? topWidth / 2 * 2 : topWidth, interlaced420 ? topHeight / 4 * 4 : topHeight / 2 * 2};
}

bool Composable(const ImageFormat& base, const ImageFormat& top) {
  return base.SamplingFormat == top.SamplingFormat && base.ComponentOrder == top.ComponentOrder &&
         base.FieldFormat == top.FieldFormat && base.PixelFormat == top.PixelFormat;
}

CompositionJob::CompositionJob() : ToolJob(kCompositionMessages, kCompositionTraits) {
  const ImageFormat standard{.SamplingFormat = YUV_420,
                             .ComponentOrder = YUV,
                             .FieldFormat = Progressive,
                             .PixelFormat = Planar,
                             .ImageResolution = 6,
                             .ImgWidth = 720,
                             .ImgHeight = 480};
  static_cast<ImageFormat&>(SourceFormat) = standard;
  ComputeFrameSize(SourceFormat);
  TopFormat = SourceFormat;
  TargetFormat = SourceFormat;
}

std::optional<std::string> CompositionJob::CountNotice(int64_t baseFrames, int64_t topFrames) {
  if (baseFrames < topFrames) {
    return " Top image files contains more frames than the base image files.\n The extra frames in the top "
           "frame "
           "files will be ignored!";
  }
  if (topFrames < baseFrames) {
    return " Base image files contains more frames than the top image files.\n You can specify if you need "
           "repeat "
           "the last frame of top image file to continoue to put on top of the rest frames of the base image "
           "file!";
  }
  return std::nullopt;
}

void CompositionJob::DescribeFiles(ToolRunSpec& spec) const {
  ToolJob::DescribeFiles(spec);
  spec.outputs[0].format = spec.inputs[0].format;  // the base's layout
  JobInput top;
  top.name = SecondSourceName;
  if (TopFormat.SamplingFormat == BMP) {
    top.format = PictureFormat(TopFormat.ImgWidth, TopFormat.ImgHeight);
    top.bmpNames = TopBmpNames;
  } else {
    top.format = TopFormat;
    ComputeFrameSize(top.format);
  }
  top.notFound = "Error CMPS1013:  Input file %s not found\n";
  top.bmpLoad = "Error CMPS1023: image loaded Failed";
  spec.inputs.push_back(std::move(top));
}

void CompositionJob::FreezeParameters() {
  runComposition_ = Composition;
  baseFrames_ = FrameCount;
  topCount_ = TopFrameCount;
}

bool CompositionJob::ToolChecks() {
  if (!TopIsPictures() && !vx::Composable(In(0), In(1))) {
    Report("The two files have different format, and cannot be composited!");
    return false;
  }
  return true;
}

bool CompositionJob::ChecksAfterRange() {
  // Shown on every start; the job goes on.
  if (const auto notice = CountNotice(baseFrames_, topCount_)) Report(*notice);
  return true;
}

bool CompositionJob::CheckSize() {
  const FrameImage &base = In(0), &top = In(1);
  if (base.ImgWidth == 0 || base.ImgHeight == 0) {
    Report("Error CMPS1011:  Image dimension is not correct!");
    return false;
  }
  if (!WorkBufferSizeSupported(base.ImgWidth, base.ImgHeight)) {
    Report(StrFormat(messages_.sourceImageSize, base.ImgWidth, base.ImgHeight));
    return false;
  }
  if (!WorkBufferSizeSupported(top.ImgWidth, top.ImgHeight)) {
    Report(StrFormat(messages_.targetImageSize, top.ImgWidth, top.ImgHeight));
    return false;
  }
  return true;
}

bool CompositionJob::OpenSource() {
  if (!ToolJob::OpenSource()) return false;
  const FrameImage &base = In(0), &top = In(1);
  drawn_ = DrawnAreaOf(base, top.ImgWidth, top.ImgHeight);
  // The top in the base's layout: a raw top at its own size, pictures at the drawn size.
  topLayout_ = FrameImage{};
  CopyFrameHeader(base, topLayout_);
  topLayout_.ImgWidth = TopIsPictures() ? drawn_.width : top.ImgWidth;
  topLayout_.ImgHeight = TopIsPictures() ? drawn_.height : top.ImgHeight;
  ComputeFrameSize(topLayout_);
  const int64_t topBytes = WorkBufferSize(top.ImgWidth, top.ImgHeight);
  if (!top_.Allocate(topBytes) ||
      (TopIsPictures() && (!picture_.Allocate(topBytes) || !work_.Allocate(2 * topBytes)))) {
    Report(StrFormat(messages_.targetImageSize, top.ImgWidth, top.ImgHeight));
    return false;
  }
  key_ = FillBytes(Colours(), base, runComposition_.ColorKey);
  topFrames_ = sources_[1].FrameCount();
  haveTop_ = false;
  return true;
}

bool CompositionJob::PictureToBaseLayout(const FrameImage& picture) {
  const int32_t m = drawn_.width, n = drawn_.height, w = picture.ImgWidth, h = picture.ImgHeight;
  if (m <= 0 || n <= 0) return true;  // nothing to draw
  // The bottom N rows' first M pixels (a bitmap's first stored rows), top row first.
  const int64_t rowBytes = 3 * int64_t{m};
  uint8_t* rgb = work_.data();
  for (int32_t r = 0; r < n; ++r) {
    std::memcpy(rgb + r * rowBytes, picture.Data + (int64_t{h} - n + r) * 3 * w,
                static_cast<size_t>(rowBytes));
  }
  FrameImage top = top_.Frame(topLayout_);
  if (topLayout_.SamplingFormat == RGB_444) {
    // An RGB base takes the picture's own values, in its byte order.
    const bool rgbOrder = topLayout_.ComponentOrder == RGB;
    for (int32_t r = 0; r < n; ++r) {
      for (int32_t c = 0; c < m; ++c) {
        const uint8_t* p = rgb + r * rowBytes + 3 * c;
        std::array<uint8_t, 3> v =
            rgbOrder ? std::array<uint8_t, 3>{p[2], p[1], p[0]} : std::array<uint8_t, 3>{p[0], p[1], p[2]};
        if (!AccessPixel(top, r, c, v, Access::Write, 0)) return false;
      }
    }
    return true;
  }
  const auto bytes = static_cast<size_t>(rowBytes * n);
  uint8_t* yuv = work_.data() + bytes;
  if (!RgbBufferToYuv(Colours(), std::span<const uint8_t>(rgb, bytes), std::span<uint8_t>(yuv, bytes), m, n,
                      RgbRowsLayout{.bgr = true})) {
    return false;
  }
  FrameImage canonical{};
  canonical.Data = yuv;
  canonical.Capacity = static_cast<int64_t>(bytes);
  SetCanonicalHeader(canonical, m, n);
  return FromCanonical444(canonical, top);
}

CompositionJob::TopFetch CompositionJob::FetchTop() {
  if (TopIsPictures()) {
    FrameImage picture = picture_.Frame(In(1));
    if (sources_[1].Read(CurrentFrame, picture) < 0 || !PictureToBaseLayout(picture)) return TopFetch::Failed;
  } else {
    FrameImage top = top_.Frame(topLayout_);
    if (sources_[1].Read(CurrentFrame, top) == 0) return TopFetch::EndOfInput;
  }
  haveTop_ = true;
  return TopFetch::Fetched;
}

namespace {

// The share `transparency` (0..100) of the base sample, the rest of the top's, rounded.
uint8_t BlendSample(uint8_t base, uint8_t top, int transparency) {
  return ClampToByte((transparency * base + (100 - transparency) * top + 50) / 100);
}

}  // namespace

bool CompositionJob::Draw(FrameImage& base, FrameImage& output) {
  const CompositionParameters& p = runComposition_;
  FrameImage top = top_.Frame(topLayout_);
  const bool mono = output.SamplingFormat == MONO;
  const int transparency = std::clamp(p.Transparency, 0, 100);
  const auto near = [&](uint8_t a, uint8_t b) { return std::abs(int{a} - int{b}) <= p.ColorKeyRange; };
  for (int32_t i = 0; i < drawn_.height; ++i) {
    const int64_t row = int64_t{p.TopLine} + i;
    if (row >= output.ImgHeight) break;
    if (row < 0) continue;  // above the picture: clipped
    for (int32_t j = 0; j < drawn_.width; ++j) {
      const int64_t column = int64_t{p.LeftColumn} + j;
      if (column >= output.ImgWidth) break;
      if (column < 0) continue;
      std::array<uint8_t, 3> v{};
      if (!AccessPixel(top, i, j, v, Access::Read, 0)) return false;
      if (p.ColorKeyEnabled && near(v[0], key_[0]) &&
          (mono || (near(v[1], key_[1]) && near(v[2], key_[2])))) {
        continue;
      }
      // Blended from the untouched base, not from the output: a chroma sample that
      // several pixels share (4:2:2, 4:2:0) is blended once, the last pixel's top
      // value over the base, instead of once more for every pixel.
      std::array<uint8_t, 3> blended{};
      if (!AccessPixel(base, static_cast<int>(row), static_cast<int>(column), blended, Access::Read, 0))
        return false;
      for (size_t k = 0; k < blended.size(); ++k) blended[k] = BlendSample(blended[k], v[k], transparency);
      if (!AccessPixel(output, static_cast<int>(row), static_cast<int>(column), blended, Access::Write, 0))
        return false;
    }
  }
  return true;
}

ToolJob::FrameResult CompositionJob::ProcessFrame() {
  FrameImage base = input_.Frame(In(0));
  if (sources_[0].Read(CurrentFrame, base) == 0) return FrameResult::EndOfInput;
  bool fetched = false;
  if (CurrentFrame <= topFrames_) {
    const TopFetch fetch = FetchTop();
    if (fetch == TopFetch::EndOfInput) return FrameResult::EndOfInput;
    if (fetch == TopFetch::Failed) return FrameResult::Failed;
    fetched = true;
  }
  FrameImage output = Output().Frame(Out());
  std::memcpy(output.Data, base.Data, static_cast<size_t>(output.DataSize));
  if ((fetched || (runComposition_.RepeatLastTop && haveTop_)) && !Draw(base, output))
    return FrameResult::Failed;
  FrameShown = true;
  if (!WriteTarget(output)) return FrameResult::Failed;
  if (PreviewWanted()) RefreshPreview(output);
  return FrameResult::Written;
}

}  // namespace vx
