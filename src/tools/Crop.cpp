#include "tools/Crop.h"

#include <cstring>

#include "image/PixelOps.h"
#include "image/SampleStorage.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"

namespace vx {

const ToolMessages kCropMessages = {
    .endBeforeStart = "Error CROP1003:  End frame number cannot be smaller than start frame number!\n",
    .startBeyondCount =
        "Error CROP1004:  The start frame number you specified is bigger than the number of frames in the "
        "image "
        "file to "
        "crop!\n",
    .endBeyondCount =
        "Error CROP1005:  The end frame number you specified is bigger than the number of frames in the "
        "image to "
        "crop!\n",
    .notPositive = "Error CROP1006:  Start or end frame number cannot be less than or equal to zero!\n",
    .sourceImageSize = "Error CROP1031 Image size (%d, %d) not support !\n",
    .targetImageSize = "Error CROP1031 Image size (%d, %d) not support !\n",
    .sourceNotFound = "Error CROP1007:  Input file %s not found\n",
    .requestNotFound = "Error CROP1032: Input file %s not found\n",
    .bitstream = "Error CROP1008:  Bitstream reading error!\n",
    .targetNotWritten = "Error CROP1015:  File %s cannot be written !\n",
    .finished = "Cropping finished!",
};

std::optional<std::string> CropRules::Top(int32_t t) const {
  if (t < 0) return "Error CROP1024:  Crop cannot start with negative line!\n";
  if (t > height) return "Error CROP1025:  Crop start line cannot be larger than original image height!\n";
  if (t % 2 != 0 && field == Interlaced) {
    return "Error CROP1026:  For interlace format, the original image are divided into two fields, cropping "
           "must "
           "start on an even line numbers !\n";
  }
  if (t % 2 != 0 && sampling == YUV_420) {
    return "Error CROP1027:  For YUV 420 format, every two vertical neighbor pixels share one U or V value, "
           "cropping "
           "must start on an even line numbers !\n";
  }
  return std::nullopt;
}

std::optional<std::string> CropRules::Left(int32_t l) const {
  if (l < 0) return "Error CROP1016:  Crop cannot start with negative column!\n";
  if (l > width) return "Error CROP1017:  Crop start column cannot be larger than original image width!\n";
  if (l % 2 != 0 && sampling == YUV_420) {
    return "Error CROP1018:  For YUV 420 format, every two horizontal neighbor pixels share one U or V "
           "value, "
           "cropping must start on an even column numbers !\n";
  }
  if (l % 2 != 0 && sampling == YUV_422) {
    return "Error CROP1019:  For YUV 422 format, every two horizontal neighbor pixels share one U or V "
           "value, "
           "cropping must start on an even column numbers !\n";
  }
  return std::nullopt;
}

std::optional<std::string> CropRules::Width(int32_t w, int32_t left) const {
  if (w <= 0) return "Error CROP1020:  Crop width cannot be set to less or equal to 0!\n";
  if (int64_t{left} + w > width) {
    return StrFormat("Error CROP1021:  Base on left column to start, the max width to crop is %d!\n",
                     width - left);
  }
  if (w % 2 != 0 && sampling == YUV_420) {
    return "Error CROP1022:  For YUV 420 format, every two horizontal neighbor pixels share one U or V "
           "value, thus "
           "the cropped image width cannot be an odd number !\n";
  }
  if (w % 2 != 0 && sampling == YUV_422) {
    return "Error CROP1023:  For YUV 422 format, every two horizontal neighbor pixels share one U or V "
           "value, thus "
           "the cropped image width cannot be an odd number !\n";
  }
  return std::nullopt;
}

std::optional<std::string> CropRules::Height(int32_t h, int32_t top) const {
  if (h <= 0) return "Error CROP1028:  Crop height cannot be set to less or equal to 0!\n";
  if (int64_t{top} + h > height) {
    return StrFormat("Error CROP1029:  Base on top line to start, the max height to crop is %d!\n",
                     height - top);
  }
  if (h % 2 != 0 && field == Interlaced) {
    return "Error CROP1030:  For interlace format, the cropped image will be divided into two fields, thus "
           "the "
           "cropped image height cannot be an odd number !\n";
  }
  if (h % 2 != 0 && sampling == YUV_420) {
    return "Error CROP1031:  For YUV 420 format, every two vertical neighbor pixels share one U or V value, "
           "thus the "
           "cropped image height cannot be an odd number !\n";
  }
  if (field == Interlaced && sampling == YUV_420 && h % 4 != 0) {
    return "Error CROP1032:  For interlace 420 format, the cropped image will be divided into two fields, U "
           "and Y "
           "components in each field will be further downsampled, thus the cropped image height must be "
           "multiples of "
           "4 !\n";
  }
  return std::nullopt;
}

CropRules CropJob::Rules() const {
  return {SourceFormat.ImgWidth, SourceFormat.ImgHeight, SourceFormat.SamplingFormat,
          SourceFormat.FieldFormat};
}

void CropJob::BuildTargetFormat() {
  TargetFormat = FrameImage{};
  CopyFrameHeader(SourceFormat, TargetFormat);
  TargetFormat.ImageResolution = kCustomResolution;
  TargetFormat.ImgWidth = CropWidth;
  TargetFormat.ImgHeight = CropHeight;
  ComputeFrameSize(TargetFormat);
}

bool CropJob::PrepareCrop(const std::string& source, const std::string& target, const ImageFormat& current,
                          int32_t top, int32_t left, int32_t height, int32_t width) {
  CropTop = top;
  CropLeft = left;
  CropHeight = height;
  CropWidth = width;
  if (!ToolJob::PrepareFromRequest(source, target, current)) return false;
  if (!WorkBufferSizeSupported(SourceFormat.ImgWidth, SourceFormat.ImgHeight)) {
    ShowMessage(StrFormat("Error CROP1033: Image size (%d, %d) not support !\n", SourceFormat.ImgWidth,
                          SourceFormat.ImgHeight));
    return false;
  }
  BuildTargetFormat();
  return true;
}

void CropJob::FreezeParameters() {
  rect_ = {CropTop, CropLeft, CropWidth, CropHeight};
}

bool CropJob::ChecksAfterRange() {
  const FrameImage& source = In();
  const CropRules rules{source.ImgWidth, source.ImgHeight, source.SamplingFormat, source.FieldFormat};
  std::optional<std::string> refusal = rules.Top(rect_.top);
  if (!refusal) refusal = rules.Left(rect_.left);
  if (!refusal) refusal = rules.Width(rect_.width, rect_.left);
  if (!refusal) refusal = rules.Height(rect_.height, rect_.top);
  if (refusal) {
    Report(*refusal);
    return false;
  }
  // The cropped layout: the source's at the rectangle's size.
  FrameImage& target = run_.outputs[0].format;
  target = FrameImage{};
  CopyFrameHeader(source, target);
  target.ImageResolution = kCustomResolution;
  target.ImgWidth = rect_.width;
  target.ImgHeight = rect_.height;
  ComputeFrameSize(target);
  row_ = SegmentBuffer(source.ImgWidth);  // line buffers of the job, cleared
  return true;
}

bool CropJob::CheckSize() {
  if (WorkBufferSizeSupported(In().ImgWidth, In().ImgHeight)) return true;
  Report(StrFormat(messages_.sourceImageSize, In().ImgWidth, In().ImgHeight));
  return false;
}

void CropJob::DarkenOutside(FrameImage& picture) const {
  // Everything outside the rectangle at one fifth: luma blended 80 % toward 0 and
  // chroma 80 % toward neutral grey, so the outside darkens without a tint.
  const auto fifth = [](uint8_t v, int toward) {
    return static_cast<uint8_t>((80 * toward + 20 * v + 50) / 100);
  };
  uint8_t* p = picture.Data;
  const Rectangle& r = rect_;
  for (int32_t y = 0; y < picture.ImgHeight; ++y) {
    const bool rowInside = y >= r.top && y < r.top + r.height;
    for (int32_t x = 0; x < picture.ImgWidth; ++x, p += 3) {
      if (rowInside && x >= r.left && x < r.left + r.width) continue;
      p[0] = fifth(p[0], 0);
      p[1] = fifth(p[1], 128);
      p[2] = fifth(p[2], 128);
    }
  }
}

int64_t CropJob::OutputBytesPerFrame() const {
  FrameImage cropped = Out();  // the only picture made in the output buffer
  ComputeFrameSize(cropped);
  return cropped.DataSize;
}

ToolJob::FrameResult CropJob::CropStoredFrame() {
  FrameImage stored;
  const int64_t read = sources_[0].ReadStoredFrame(CurrentFrame, stored);
  if (read == 0) return FrameResult::EndOfInput;
  ImageFormat layout = stored;  // the source's layout at the rectangle's size
  layout.ImageResolution = kCustomResolution;
  layout.ImgWidth = rect_.width;
  layout.ImgHeight = rect_.height;
  FrameImage cropped = DeepFrame(layout);
  if (read < 0 || !CropStored(stored, cropped, rect_.top, rect_.left)) return FrameResult::Failed;
  if (PreviewWanted()) {
    FrameImage working = input_.Frame(In());
    if (ConvertSamples(stored, working) && RenderPreview(working)) {
      DarkenOutside(PreviewBack());
      PublishPreview();
    }
  }
  FrameShown = true;
  return WriteTarget(cropped) ? FrameResult::Written : FrameResult::Failed;
}

ToolJob::FrameResult CropJob::ProcessFrame() {
  if (DeepSamplesKept()) return CropStoredFrame();
  FrameImage input = input_.Frame(In());
  const int64_t read = sources_[0].Read(CurrentFrame, input, FrameInput::FrameBytes::InPlace);
  FrameImage cropped = Output().Frame(Out());
  if (!CropRows(input, cropped, rect_.top, rect_.left, row_)) return FrameResult::Failed;
  if (PreviewWanted() && RenderPreview(input)) {
    DarkenOutside(PreviewBack());
    PublishPreview();
  }
  if (read == 0) return FrameResult::EndOfInput;
  FrameShown = true;
  return WriteTarget(cropped) ? FrameResult::Written : FrameResult::Failed;
}

}  // namespace vx
