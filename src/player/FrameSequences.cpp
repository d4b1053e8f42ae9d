#include "player/FrameSequences.h"

#include <algorithm>
#include <cstring>

#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "tools/FrameInput.h"

namespace vx {
namespace {

int64_t FramesIn(const RawFile& file, int64_t frameSize) {
  return static_cast<int64_t>(
      CountFrames(static_cast<uint64_t>(std::max<int64_t>(file.Length(), 0)), frameSize));
}

// A header for `format` and a buffer of its WorkBufferSize; false when refused.
bool FrameFor(const ImageFormat& format, FrameBuffer& buffer, FrameImage& frame) {
  buffer.Release();
  frame = FrameImage{};
  static_cast<ImageFormat&>(frame) = format;
  DeriveFourcc(frame);
  ComputeFrameSize(frame);
  if (!WorkBufferSizeSupported(format.ImgWidth, format.ImgHeight)) return false;
  if (!buffer.Allocate(WorkBufferSize(format.ImgWidth, format.ImgHeight))) return false;
  frame = buffer.Frame(frame);
  return true;
}

}  // namespace

bool FileListSequence::SetFormat(const ImageFormat& format) {
  ReleaseBuffers();
  const bool ok = FrameFor(format, source_, format_) &&
                  pictures_.Allocate(format.ImgWidth, format.ImgHeight) &&
                  work_.Ensure(format.ImgWidth, format.ImgHeight);
  if (!ok) {
    ReleaseBuffers();
    return false;
  }
  // Mid-grey in every layout (all samples 128) until a frame is read.
  std::memset(source_.data(), 128, static_cast<size_t>(source_.size()));
  return true;
}

void FileListSequence::LoadFirstPicture() {
  if (!HasBuffers() || Files.empty()) return;
  if (auto file = RawFile::OpenRead(Files.front())) ReadFrame(*file, format_);
}

void FileListSequence::ReleaseBuffers() {
  const FrameImage header = format_;
  source_.Release();
  work_.Release();
  pictures_.Release();
  format_ = header;
  format_.Data = nullptr;
  format_.Capacity = 0;
}

bool FileListSequence::Open(size_t index) {
  path_ = index < Files.size() ? Files[index] : std::string();
  if (path_.empty()) {
    ShowMessage(messages_.noPath);
    return false;
  }
  if (format_.ImgWidth == 0 || format_.ImgHeight == 0 || !HasBuffers()) {
    ShowMessage(messages_.badDimension);
    return false;
  }
  auto opened = RawFile::OpenRead(path_);
  if (!opened) {
    ShowMessage(CannotReadMessage(path_, messages_.notFound));
    return false;
  }
  file_ = std::move(*opened);
  frameCount_ = FramesIn(file_, format_.DataSize);
  return true;
}

bool FileListSequence::Load(int64_t n) {
  // The bytes a trailing partial frame lacks keep the previous frame's values.
  return SeekFrame(file_, format_, n) && ReadFrame(file_, format_) > 0;
}

bool FileListSequence::LoadNextFrom(RawFile& file) {
  if (ReadFrame(file, format_) <= 0) return false;
  Render();
  return true;
}

void FileListSequence::Render() {
  if (!HasBuffers()) return;
  const auto tables = CurrentColourTables();
  DisplayPictureOptions options;
  options.component = Component.load();
  options.mono = Mono;
  if (MakeDisplayPicture(*tables, format_, pictures_.Back(), work_, options)) pictures_.Publish();
}

bool FramePairSequence::SetFormats(const ImageFormat& first, const ImageFormat& second) {
  return FrameFor(first, firstBuffer_, first_) && FrameFor(second, secondBuffer_, second_);
}

void FramePairSequence::Render() {
  if (renderer_) renderer_(first_, second_);
}

bool LockstepPairSequence::Open(size_t) {
  auto first = RawFile::OpenRead(FirstPath);
  if (!first) {
    ShowMessage(CannotReadMessage(FirstPath, messages_.firstNotFound));
    return false;
  }
  auto second = RawFile::OpenRead(SecondPath);
  if (!second) {
    ShowMessage(CannotReadMessage(SecondPath, messages_.secondNotFound));
    return false;
  }
  firstFile_ = std::move(*first);
  secondFile_ = std::move(*second);
  frameCount_ = std::min(FramesIn(firstFile_, first_.DataSize), FramesIn(secondFile_, second_.DataSize));
  return true;
}

bool LockstepPairSequence::Load(int64_t n) {
  return SeekFrame(firstFile_, first_, n) && SeekFrame(secondFile_, second_, n) &&
         ReadFrame(firstFile_, first_) > 0 && ReadFrame(secondFile_, second_) > 0;
}

void LockstepPairSequence::Close() {
  firstFile_.Close();
  secondFile_.Close();
}

bool ConsecutivePairSequence::Open(size_t) {
  auto file = RawFile::OpenRead(Path);
  if (!file) {
    ShowMessage(CannotReadMessage(Path, notFound_));
    return false;
  }
  frameCount_ = std::max<int64_t>(FramesIn(*file, first_.DataSize) - 1, 0);
  return true;
}

bool ConsecutivePairSequence::Load(int64_t n) {
  auto file = RawFile::OpenRead(Path);
  if (!file) {
    ShowMessage(CannotReadMessage(Path, notFound_));
    return false;
  }
  return SeekFrame(*file, first_, n) && ReadFrame(*file, first_) > 0 && ReadFrame(*file, second_) > 0;
}

}  // namespace vx
