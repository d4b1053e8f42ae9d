#include "tools/Flip.h"

#include "image/PixelOps.h"
#include "image/SampleStorage.h"

namespace vx {

const ToolMessages kFlipMessages = {
    .endBeforeStart = "Error FLIP1013:  End frame number cannot be smaller than start frame number!\n",
    .startBeyondCount =
        "Error FLIP1014:  The start frame number you specified is bigger than the number of frames in the "
        "image "
        "file to "
        "flip!\n",
    .endBeyondCount =
        "Error FLIP1015:  The end frame number you specified is bigger than the number of frames in the "
        "image to "
        "flip!\n",
    .notPositive = "Error FLIP1016:  Start or end frame number cannot be less than or equal to zero!\n",
    .sourceImageSize = "Error FLIP1017: Image size (%d, %d) not support !\n",
    .targetImageSize = "Error FLIP1017: Image size (%d, %d) not support !\n",
    .sourceNotFound = "Error FLIP1018: Input file %s not found\n",
    .requestNotFound = "Error FLIP1001: Input file %s not found\n",
    .bitstream = "Error FLIP1019: Bitstream reading error!\n",
    .targetNotWritten = "Error FLIP1020: File %s cannot be written !\n",
    .finished = "Flipping finished!",
};

bool FlipJob::PrepareFromRequest(const std::string& source, const std::string& target,
                                 const ImageFormat& current) {
  if (!ToolJob::PrepareFromRequest(source, target, current)) return false;
  CopyFrameHeader(SourceFormat, TargetFormat);
  return true;
}

void FlipJob::DescribeFiles(ToolRunSpec& spec) const {
  ToolJob::DescribeFiles(spec);
  // The flipped file has the source's layout, whatever the window last showed.
  CopyFrameHeader(SourceFormat, spec.outputs[0].format);
}

ToolJob::FrameResult FlipJob::FlipStoredFrame() {
  FrameImage stored;
  const int64_t read = sources_[0].ReadStoredFrame(CurrentFrame, stored);
  if (read == 0) return FrameResult::EndOfInput;
  FrameImage flipped = DeepFrame(stored);
  if (read < 0 || !FlipStoredRows(stored, flipped)) return FrameResult::Failed;
  if (!WriteTarget(flipped)) return FrameResult::Failed;
  if (PreviewWanted()) {
    FrameImage working = input_.Frame(In());
    if (ConvertSamples(flipped, working)) RefreshPreview(working);
  }
  FrameShown = true;
  return FrameResult::Written;
}

ToolJob::FrameResult FlipJob::ProcessFrame() {
  if (DeepSamplesKept()) return FlipStoredFrame();
  FrameImage input = input_.Frame(In());
  if (sources_[0].Read(CurrentFrame, input, FrameInput::FrameBytes::InPlace) == 0)
    return FrameResult::EndOfInput;
  FrameImage output = Output().Frame(In());
  // Rows are addressed through the layout, so fields, planes and shared chroma
  // rows all come out right; a failed row ends the job like the end of the input.
  if (!FlipVertical(input, output)) return FrameResult::Failed;
  if (!WriteTarget(output)) return FrameResult::Failed;
  if (PreviewWanted()) RefreshPreview(output);
  FrameShown = true;
  return FrameResult::Written;
}

}  // namespace vx
