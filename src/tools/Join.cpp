#include "tools/Join.h"

#include "platform/MessageSink.h"
#include "platform/StringFormat.h"

namespace vx {

const ToolMessages kJoinMessages = {
    "",
    "",
    "",
    "",  // no frame range
    "Error JOIN1001: Image size (%d, %d) not support !\n",
    "Error JOIN1001: Image size (%d, %d) not support !\n",
    "Error JOIN1012:  Input file %s not found\n",
    "Error JOIN1002: Input file %s not found\n",
    "",
    "Error JOIN1014:  File %s cannot be written !\n",
    "Join converting finished!",
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
    ShowMessage(StrFormat("Error JOIN1002: Input file %s not found\n", first.c_str()));
    return false;
  }
  if (!RawFile::OpenRead(second)) {
    ShowMessage(StrFormat("Error JOIN1003:  Input file %s not found\n", second.c_str()));
    return false;
  }
  if (!WorkBufferSizeSupported(SourceFormat.ImgWidth, SourceFormat.ImgHeight)) {
    ShowMessage(StrFormat("Error JOIN1004: Image size (%d, %d) not support !\n", SourceFormat.ImgWidth,
                          SourceFormat.ImgHeight));
    return false;
  }
  return true;
}

bool JoinJob::ToolChecks() {
  if (SourceFormat.ImgWidth == 0 || SourceFormat.ImgHeight == 0) {
    ShowMessage("Error JOIN1011:  Image dimension is not correct!");
    return false;
  }
  return true;
}

bool JoinJob::CheckSize() {
  if (WorkBufferSizeSupported(SourceFormat.ImgWidth, SourceFormat.ImgHeight)) return true;
  ShowMessage(StrFormat(messages_.sourceImageSize, SourceFormat.ImgWidth, SourceFormat.ImgHeight));
  return false;
}

bool JoinJob::OpenSource() {
  auto first = RawFile::OpenRead(SourceName);
  if (!first) {
    ShowMessage(StrFormat("Error JOIN1012:  Input file %s not found\n", SourceName.c_str()));
    return false;
  }
  auto second = RawFile::OpenRead(SecondSourceName);
  if (!second) {
    ShowMessage(StrFormat("Error JOIN1013:  Input file %s not found\n", SecondSourceName.c_str()));
    return false;
  }
  ComputeFrameSize(SourceFormat);
  ComputeFrameSize(SecondFormat);
  firstFrames_ = static_cast<int64_t>(
      CountFrames(static_cast<uint64_t>(std::max<int64_t>(first->Length(), 0)), SourceFormat.DataSize));
  const int64_t secondFrames = static_cast<int64_t>(
      CountFrames(static_cast<uint64_t>(std::max<int64_t>(second->Length(), 0)), SecondFormat.DataSize));
  source_ = std::move(*first);
  second_ = std::move(*second);
  TargetFormat = SourceFormat;
  StartFrame = 1;
  EndFrame = firstFrames_ + secondFrames;
  FrameCount = EndFrame;
  StopRequested = false;
  return true;
}

ToolJob::FrameResult JoinJob::ProcessFrame() {
  FrameImage frame = input_.Frame(SourceFormat);
  // Frames 1..N1 from the first file, then the second file's from its start.
  RawFile& file = CurrentFrame <= firstFrames_ ? source_ : second_;
  if (ReadFrame(file, frame) == 0) return FrameResult::EndOfInput;
  if (!WriteTarget(frame)) return FrameResult::EndLoop;
  if (PreviewWanted()) RefreshPreview(frame);
  FrameShown = true;
  return FrameResult::Written;
}

}  // namespace vx
