#include "image/StoredFrames.h"

#include <algorithm>
#include <cstring>

#include "image/SampleStorage.h"
#include "platform/MessageSink.h"

namespace vx {

bool StoredFrameReader::SetLayout(const ImageFormat& stored) {
  buffer_.Release();
  converts_ = false;
  stored_ = working_ = FrameImage{};
  if (StoredLayoutRefusal(stored)) return false;
  static_cast<ImageFormat&>(stored_) = stored;
  if (ComputeFrameSize(stored_) <= 0) return false;
  converts_ = IsStoredOnlyLayout(stored);
  static_cast<ImageFormat&>(working_) = converts_ ? WorkingLayout(stored) : stored;
  ComputeFrameSize(working_);
  return !converts_ || buffer_.Allocate(stored_.DataSize);
}

bool StoredFrameReader::Attach(const RawFile& file, const std::string& path, bool report) {
  const FrameFileProbe probe = ProbeFrameFile(file, path);
  framing_ = probe.framing;
  std::optional<std::string> problem;
  if (!probe.problem.empty()) problem = probe.problem;
  if (!problem && probe.layout) problem = Y4mLayoutMismatch(path, *probe.layout, stored_);
  if (problem) {
    framing_ = FrameFraming{};
    if (report) ShowMessage(*problem);
    return false;
  }
  return true;
}

bool StoredFrameReader::SeekTo(RawFile& file, int64_t n) const {
  if (n < 1) return false;
  const int64_t at = framing_.FrameOffset(n, stored_.DataSize);
  // Frames are found by the first FRAME line's length; a line of another length
  // there is no frame of this reader.
  if (framing_.y4m && ReadFrameLine(file, at - framing_.lineBytes) != framing_.lineBytes) return false;
  return file.Seek(at);
}

int64_t StoredFrameReader::Read(RawFile& file, int64_t n, FrameImage& frame) {
  if (!frame.Data || stored_.DataSize <= 0) return -1;
  if (!converts_) {
    CopyFrameHeader(working_, frame);
    if (!SeekTo(file, n)) return -1;
    return ReadFrame(file, frame);
  }
  FrameImage stored = buffer_.Frame(stored_);
  if (!SeekTo(file, n)) return -1;
  const int64_t got = ReadFrame(file, stored);
  if (got <= 0) return got;
  if (got < stored.DataSize) std::memset(stored.Data + got, 0, static_cast<size_t>(stored.DataSize - got));
  static_cast<ImageFormat&>(frame) = working_;
  return ConvertSamples(stored, frame) ? got : -1;
}

int64_t StoredFrameReader::FramesIn(const RawFile& file) const {
  return framing_.FramesIn(std::max<int64_t>(file.Length(), 0), stored_.DataSize);
}

}  // namespace vx
