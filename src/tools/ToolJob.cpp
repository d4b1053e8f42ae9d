#include "tools/ToolJob.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "app/FileHistory.h"
#include "image/ColorFormula.h"
#include "image/PixelOps.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"

namespace vx {

void ToolJob::Pause() {
  int expected = Running;
  if (!RunState.compare_exchange_strong(expected, Paused)) RunState = Running;
}

void ToolJob::Stop() {
  RunState = Stopped;
}

std::string ToolJob::DefaultTargetName(const std::string& source, const std::string& suffix) {
  const size_t dot = source.rfind('.');
  const size_t slash = source.rfind('/');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? source.substr(0, dot) : source) + suffix;
}

bool ToolJob::PrepareFromRequest(const std::string& source, const std::string& target,
                                 const ImageFormat& current) {
  SourceName = source;
  TargetName = target;
  static_cast<ImageFormat&>(SourceFormat) = current;
  SourceFormat.ImageResolution = kCustomResolution;
  ComputeFrameSize(SourceFormat);
  auto file = RawFile::OpenRead(source);
  if (!file) {
    ShowMessage(StrFormat(messages_.requestNotFound, source.c_str()));
    return false;
  }
  FrameCount = static_cast<int64_t>(
      CountFrames(static_cast<uint64_t>(std::max<int64_t>(file->Length(), 0)), SourceFormat.DataSize));
  StartFrame = 1;
  EndFrame = FrameCount;
  return true;
}

bool ToolJob::ValidateRange() {
  const char* refusal = nullptr;
  if (EndFrame < StartFrame)
    refusal = messages_.endBeforeStart;
  else if (FrameCount < StartFrame)
    refusal = messages_.startBeyondCount;
  else if (FrameCount < EndFrame)
    refusal = messages_.endBeyondCount;
  else if (StartFrame <= 0 || EndFrame <= 0)
    refusal = messages_.notPositive;
  if (!refusal) return true;
  ShowMessage(refusal);
  return false;
}

int64_t ToolJob::BufferBytes() const {
  return std::max(WorkBufferSize(SourceFormat.ImgWidth, SourceFormat.ImgHeight),
                  WorkBufferSize(TargetFormat.ImgWidth, TargetFormat.ImgHeight));
}

bool ToolJob::CheckSize() {
  const bool sourceLarger = WorkBufferSize(SourceFormat.ImgWidth, SourceFormat.ImgHeight) >
                            WorkBufferSize(TargetFormat.ImgWidth, TargetFormat.ImgHeight);
  const FrameImage& checked = sourceLarger ? SourceFormat : TargetFormat;
  if (WorkBufferSizeSupported(checked.ImgWidth, checked.ImgHeight)) return true;
  ShowMessage(StrFormat(sourceLarger ? messages_.sourceImageSize : messages_.targetImageSize,
                        checked.ImgWidth, checked.ImgHeight));
  return false;
}

bool ToolJob::OpenSource() {
  auto file = RawFile::OpenRead(SourceName);
  if (!file) {
    ShowMessage(StrFormat(messages_.sourceNotFound, SourceName.c_str()));
    return false;
  }
  source_ = std::move(*file);
  return true;
}

bool ToolJob::SkipToStart() {
  FrameImage frame = input_.Frame(SourceFormat);
  while (CurrentFrame < StartFrame) {
    if (ReadFrame(source_, frame) != SourceFormat.DataSize) {
      ShowMessage(messages_.bitstream);
      return false;
    }
    ++CurrentFrame;
  }
  return true;
}

bool ToolJob::CreateTarget() {
  auto file = RawFile::Create(TargetName);
  if (!file) {
    ShowMessage(StrFormat(messages_.targetNotWritten, TargetName.c_str()));
    return false;
  }
  target_ = std::move(*file);
  return true;
}

bool ToolJob::LoadFirstFrame() {
  const int64_t bytes = WorkBufferSize(SourceFormat.ImgWidth, SourceFormat.ImgHeight);
  if (!WorkBufferSizeSupported(SourceFormat.ImgWidth, SourceFormat.ImgHeight)) return false;
  if (input_.size() != bytes && !input_.Allocate(bytes)) return false;
  if (previewBuffer_.size() != bytes && !previewBuffer_.Allocate(bytes)) return false;
  auto file = RawFile::OpenRead(SourceName);
  FrameImage frame = input_.Frame(SourceFormat);
  if (!file || ReadFrame(*file, frame) <= 0) return false;
  if (!RefreshPreview(frame)) return false;
  FrameShown = true;
  return true;
}

bool ToolJob::WriteTarget(const FrameImage& frame) {
  if (WriteFrame(target_, frame)) return true;
  ShowMessage(StrFormat(messages_.targetNotWritten, TargetName.c_str()));
  return false;
}

bool ToolJob::RefreshPreview(const FrameImage& frame) {
  preview_ = previewBuffer_.Frame(frame);
  SetCanonicalHeader(preview_, frame.ImgWidth, frame.ImgHeight);
  previewIsYuv_ = true;
  if (frame.SamplingFormat != RGB_444) {
    FrameImage source = frame;
    return ToCanonical444(source, preview_);
  }
  FrameImage packed = frame;
  if (frame.PixelFormat == Planar) {
    // Made packed in the preview buffer, then turned into YUV there, pixel by pixel.
    packed = previewBuffer_.Frame(frame);
    packed.PixelFormat = Packed;
    FrameImage planar = frame;
    if (!ConvertPixelFormat(planar, packed)) return false;
  }
  const auto tables = CurrentColourTables();
  return RgbBufferToYuv(*tables, std::span<const uint8_t>(packed.Data, static_cast<size_t>(packed.DataSize)),
                        std::span<uint8_t>(preview_.Data, static_cast<size_t>(preview_.Capacity)),
                        frame.ImgWidth, frame.ImgHeight, false, frame.ComponentOrder == BGR, false);
}

JobOutcome ToolJob::Run(ToolJobObserver& observer) {
  observer_ = &observer;
  auto stop = [&] {
    RunState = Stopped;
    observer.Stopped();
  };
  if (!ToolChecks()) return JobOutcome::FailedRunning;
  observer.StopEnabled();
  if (HasFrameRange()) {
    if (!ValidateRange()) {
      stop();
      return JobOutcome::FailedStopped;
    }
    FrameCount = EndFrame - StartFrame + 1;
    observer.ProgressRange(FrameCount);
    if (!ChecksAfterRange()) {
      stop();
      return JobOutcome::FailedStopped;
    }
  }
  if (!CheckSize()) return JobOutcome::FailedRunning;
  const int64_t bytes = BufferBytes();
  if (!input_.Allocate(bytes) || !output_.Allocate(bytes) ||
      (previewBuffer_.size() != bytes && !previewBuffer_.Allocate(bytes))) {
    ShowMessage(StrFormat(messages_.targetImageSize, TargetFormat.ImgWidth, TargetFormat.ImgHeight));
    return JobOutcome::FailedRunning;
  }
  observer.PreviewPlaced(SourceFormat.ImgWidth, SourceFormat.ImgHeight);
  CurrentFrame = 1;
  if (!OpenSource()) return JobOutcome::FailedRunning;
  if (!SkipToStart()) return JobOutcome::FailedRunning;
  if (!CreateTarget()) return JobOutcome::FailedRunning;
  while (CurrentFrame <= EndFrame) {
    const int state = RunState.load();
    if (state == Paused) {
      std::this_thread::sleep_for(std::chrono::milliseconds(3));
      continue;
    }
    if (state == Stopped) break;
    const FrameResult result = ProcessFrame();
    if (result == FrameResult::EndOfInput) {
      StopRequested = true;
      RunState = Stopped;
      if (ResetsButtonsAtEnd()) observer.Stopped();
      break;
    }
    if (result == FrameResult::EndLoop) break;
    observer.FrameDone(CurrentFrame);
    ++CurrentFrame;
  }
  if (AddTargetToHistory()) AddToHistory(TargetName, TargetFormat, kCreated);
  if (ResetsButtonsAtEnd()) stop();
  source_.Close();
  target_.Close();
  input_.Release();
  output_.Release();
  if (!ExitWhenDone) ShowMessage(messages_.finished);
  return JobOutcome::Completed;
}

}  // namespace vx
