#include "tools/Join.h"

#include "image/SampleStorage.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"

namespace vx {

const ToolMessages kJoinMessages = {
    .endBeforeStart = "",
    .startBeyondCount = "",
    .endBeyondCount = "",
    .notPositive = "",  // no frame range
    .sourceImageSize = "Error JOIN1001: Image size (%d, %d) not support !\n",
    .targetImageSize = "Error JOIN1001: Image size (%d, %d) not support !\n",
    .sourceNotFound = "Error JOIN1012:  Input file %s not found\n",
    .requestNotFound = "Error JOIN1002: Input file %s not found\n",
    .bitstream = "",
    .targetNotWritten = "Error JOIN1014:  File %s cannot be written !\n",
    .finished = "Join converting finished!",
};

bool JoinJob::SameLayout(const FrameImage& a, const FrameImage& b) {
  return a.SamplingFormat == b.SamplingFormat && a.ComponentOrder == b.ComponentOrder &&
         a.ImageResolution == b.ImageResolution && a.FieldFormat == b.FieldFormat &&
         a.PixelFormat == b.PixelFormat && a.ImgWidth == b.ImgWidth && a.ImgHeight == b.ImgHeight &&
         a.DataSize == b.DataSize;
}

bool JoinJob::PrepareJoin(const std::string& first, const std::string& second, const std::string& target,
                          const ImageFormat& current) {
  SourceName = first;
  SecondSourceName = second;
  TargetName = target;
  static_cast<ImageFormat&>(SourceFormat) = current;
  SourceFormat.ImageResolution = kCustomResolution;
  ComputeFrameSize(SourceFormat);
  SecondFormat = SourceFormat;
  TargetFormat = SourceFormat;
  Joinable = true;
  if (!RawFile::OpenRead(first)) {
    ShowMessage(CannotReadMessage(first, "Error JOIN1002: Input file %s not found\n"));
    return false;
  }
  if (!RawFile::OpenRead(second)) {
    ShowMessage(CannotReadMessage(second, "Error JOIN1003:  Input file %s not found\n"));
    return false;
  }
  if (!WorkBufferSizeSupported(SourceFormat.ImgWidth, SourceFormat.ImgHeight)) {
    ShowMessage(StrFormat("Error JOIN1004: Image size (%d, %d) not support !\n", SourceFormat.ImgWidth,
                          SourceFormat.ImgHeight));
    return false;
  }
  return true;
}

void JoinJob::DescribeFiles(ToolRunSpec& spec) const {
  ToolJob::DescribeFiles(spec);
  JobInput second = spec.inputs[0];
  second.name = SecondSourceName;
  second.format = SecondFormat;
  second.notFound = "Error JOIN1013:  Input file %s not found\n";
  spec.inputs.push_back(std::move(second));
  for (JobInput& input : spec.inputs) ComputeFrameSize(input.format);
  spec.outputs[0].format = spec.inputs[0].format;  // the joined file keeps the first file's layout
}

bool JoinJob::ToolChecks() {
  if (In().ImgWidth == 0 || In().ImgHeight == 0) {
    Report("Error JOIN1011:  Image dimension is not correct!");
    return false;
  }
  return true;
}

bool JoinJob::CheckSize() {
  if (WorkBufferSizeSupported(In().ImgWidth, In().ImgHeight)) return true;
  Report(StrFormat(messages_.sourceImageSize, In().ImgWidth, In().ImgHeight));
  return false;
}

bool JoinJob::OpenSource() {
  if (!ToolJob::OpenSource()) return false;
  firstFrames_ = sources_[0].FrameCount();
  run_.startFrame = 1;
  run_.endFrame = firstFrames_ + sources_[1].FrameCount();
  run_.frameCount = run_.endFrame;
  return true;
}

ToolJob::FrameResult JoinJob::CopyStoredFrame(FrameInput& file) {
  FrameImage stored;
  const int64_t read = file.ReadStoredFrame(CurrentFrame, stored);
  if (read == 0) return FrameResult::EndOfInput;
  if (read < 0 || !WriteTarget(stored)) return FrameResult::Failed;
  if (PreviewWanted()) {
    FrameImage working = input_.Frame(In());
    if (ConvertSamples(stored, working)) RefreshPreview(working);
  }
  FrameShown = true;
  return FrameResult::Written;
}

ToolJob::FrameResult JoinJob::ProcessFrame() {
  // Frames 1..N1 from the first file, then the second file's from its start.
  FrameInput& file = CurrentFrame <= firstFrames_ ? sources_[0] : sources_[1];
  if (DeepSamplesKept()) return CopyStoredFrame(file);
  FrameImage frame = input_.Frame(In());
  if (file.Read(CurrentFrame, frame, FrameInput::FrameBytes::InPlace) == 0) return FrameResult::EndOfInput;
  if (!WriteTarget(frame)) return FrameResult::Failed;
  if (PreviewWanted()) RefreshPreview(frame);
  FrameShown = true;
  return FrameResult::Written;
}

}  // namespace vx
