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
  std::optional<std::string> problem;
  if (!probe.problem.empty()) problem = probe.problem;
  if (!problem && probe.layout) problem = Y4mLayoutMismatch(path, *probe.layout, stored_);
  if (problem) {
    index_ = FrameIndex{};
    if (report) ShowMessage(*problem);
    return false;
  }
  index_.Build(file, probe.framing, stored_.DataSize);
  return true;
}

bool StoredFrameReader::SeekTo(RawFile& file, int64_t n) const {
  // No FRAME line where frame n begins: no frame of this reader.
  const auto place = index_.Find(file, n);
  return place && file.Seek(place->samples);
}

int64_t StoredFrameReader::Read(RawFile& file, int64_t n, FrameImage& frame, FrameImage* kept) {
  if (!frame.Data || stored_.DataSize <= 0) return -1;
  if (!converts_) {
    CopyFrameHeader(working_, frame);
    if (!SeekTo(file, n)) return -1;
    return ReadFrame(file, frame);
  }
  FrameImage stored = buffer_.Frame(stored_);
  if (kept) {
    if (!kept->Data || kept->Capacity < stored_.DataSize) return -1;
    CopyFrameHeader(stored_, *kept);
    stored = *kept;
  }
  if (!SeekTo(file, n)) return -1;
  const int64_t got = ReadFrame(file, stored);
  if (got <= 0) return got;
  if (got < stored.DataSize) std::memset(stored.Data + got, 0, static_cast<size_t>(stored.DataSize - got));
  static_cast<ImageFormat&>(frame) = working_;
  return ConvertSamples(stored, frame) ? got : -1;
}

int64_t StoredFrameReader::FramesIn(const RawFile& file) const {
  const FrameFraming& framing = index_.Framing();
  if (framing.y4m) return index_.Frames();
  return framing.FramesIn(std::max<int64_t>(file.Length(), 0), stored_.DataSize);
}

}  // namespace vx
