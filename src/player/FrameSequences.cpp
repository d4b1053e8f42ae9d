#include "player/FrameSequences.h"

#include <algorithm>
#include <cstring>

#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "tools/FrameInput.h"

namespace vx {
namespace {

// A file with no whole frame has nothing to play: shown, true.
bool SaidLessThanOneFrame(const std::string& path, const RawFile& file, const ImageFormat& layout) {
  const auto refusal = LessThanOneFrame(path, file.Length(), layout);
  if (refusal) ShowMessage(*refusal);
  return refusal.has_value();
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

ShownFrame CopyOf(const FrameImage& frame, const FrameOrigin& origin) {
  ShownFrame copy;
  copy.origin = origin;
  copy.format = frame;
  copy.format.Data = nullptr;
  copy.format.Capacity = 0;
  if (frame.Data && origin.number > 0) copy.bytes.assign(frame.Data, frame.Data + frame.DataSize);
  return copy;
}

}  // namespace

bool FileListSequence::SetFormat(const ImageFormat& stored) {
  ReleaseBuffers();
  const bool layoutAccepted = reader_.SetLayout(stored);
  const ImageFormat& format = layoutAccepted ? reader_.Working() : stored;
  bool ok = layoutAccepted && FrameFor(format, shownBuffer_, shown_) &&
            FrameFor(format, loadingBuffer_, loading_) &&
            pictures_.Allocate(format.ImgWidth, format.ImgHeight) &&
            work_.Ensure(format.ImgWidth, format.ImgHeight);
  format_ = shown_;
  format_.Data = nullptr;
  format_.Capacity = 0;
  if (ok && keepsStoredBytes_ && reader_.Stored().BitsPerSample > 8) {
    const int64_t bytes = reader_.Stored().DataSize;
    ok = shownStoredBuffer_.Allocate(bytes) && loadingStoredBuffer_.Allocate(bytes);
    shownStored_ = shownStoredBuffer_.Frame(reader_.Stored());
    loadingStored_ = loadingStoredBuffer_.Frame(reader_.Stored());
  }
  if (!ok) {
    ReleaseBuffers();
    return false;
  }
  // Mid-grey in every layout (all samples 128) until a frame is read.
  std::memset(shownBuffer_.data(), 128, static_cast<size_t>(shownBuffer_.size()));
  return true;
}

void FileListSequence::LoadFirstPicture() {
  if (!HasBuffers() || Files.empty()) return;
  auto file = RawFile::OpenRead(Files.front());
  if (!file || !reader_.Attach(*file, Files.front(), false) || !LoadFrom(*file, Files.front(), 1)) return;
  Commit();
}

void FileListSequence::ReleaseBuffers() {
  std::lock_guard lock(shownLock_);
  shownBuffer_.Release();
  loadingBuffer_.Release();
  shownStoredBuffer_.Release();
  loadingStoredBuffer_.Release();
  shown_ = loading_ = format_;
  shownStored_ = loadingStored_ = FrameImage{};
  work_.Release();
  pictures_.Release();
  shownOrigin_ = loadingOrigin_ = FrameOrigin{};
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
  if (SaidLessThanOneFrame(path_, *opened, reader_.Stored()) || !reader_.Attach(*opened, path_)) return false;
  file_ = std::move(*opened);
  frameCount_ = reader_.FramesIn(file_);
  return true;
}

bool FileListSequence::Load(int64_t n) {
  return LoadFrom(file_, path_, n);
}

bool FileListSequence::LoadFrom(RawFile& file, const std::string& path, int64_t n) {
  // The loading buffer is the loop's alone; the frame shown is read under the lock.
  if (!loading_.Data) return false;
  const int64_t got = reader_.Read(file, n, loading_, loadingStored_.Data ? &loadingStored_ : nullptr);
  if (got <= 0) return false;
  if (got < loading_.DataSize && !reader_.Converts()) {
    // A trailing partial frame keeps, in the bytes it lacks, the frame shown before.
    std::lock_guard lock(shownLock_);
    std::memcpy(loading_.Data + got, shown_.Data + got, static_cast<size_t>(loading_.DataSize - got));
  }
  DescribeOrigin(file, path, loadingOrigin_);
  loadingOrigin_.number = n;
  return true;
}

void FileListSequence::Commit() {
  std::lock_guard lock(shownLock_);
  std::swap(shownBuffer_, loadingBuffer_);
  std::swap(shown_, loading_);
  std::swap(shownStoredBuffer_, loadingStoredBuffer_);
  std::swap(shownStored_, loadingStored_);
  shownOrigin_ = loadingOrigin_;
}

bool FileListSequence::LoadNextFrom(RawFile& file) {
  {
    std::lock_guard lock(shownLock_);
    if (ReadFrame(file, shown_) <= 0) return false;
  }
  Render();
  return true;
}

void FileListSequence::Render() {
  std::lock_guard lock(shownLock_);
  RenderShown();
}

void FileListSequence::RenderShown() {
  if (!shown_.Data) return;
  const auto tables = CurrentColourTables();
  DisplayPictureOptions options;
  options.component = Component.load();
  options.mono = Mono;
  if (MakeDisplayPicture(*tables, shown_, pictures_.Back(), work_, options)) pictures_.Publish();
}

ShownFrame FileListSequence::Snapshot() const {
  std::lock_guard lock(shownLock_);
  ShownFrame copy = CopyOf(shown_, shownOrigin_);
  copy.stored = reader_.Stored();
  if (shownStored_.Data && shownOrigin_.number > 0)
    copy.storedBytes.assign(shownStored_.Data, shownStored_.Data + shownStored_.DataSize);
  return copy;
}

std::optional<PixelSamples> FileListSequence::ShownSamplesAt(int32_t x, int32_t y) const {
  std::lock_guard lock(shownLock_);
  if (shownOrigin_.number <= 0) return std::nullopt;
  // The stored bytes of deeper samples give their full values.
  return SamplesAt(shownStored_.Data && shownStored_.DataSize > 0 ? shownStored_ : shown_, x, y);
}

int64_t FileListSequence::ShownNumber() const {
  std::lock_guard lock(shownLock_);
  return shownOrigin_.number;
}

bool FileListSequence::ReplaceShown(const FrameOrigin& origin, std::span<const uint8_t> bytes,
                                    std::span<const uint8_t> storedBytes) {
  std::lock_guard lock(shownLock_);
  if (!shown_.Data || !(shownOrigin_ == origin) || bytes.size() != static_cast<size_t>(shown_.DataSize))
    return false;
  if (shownStored_.Data && storedBytes.size() != static_cast<size_t>(shownStored_.DataSize)) return false;
  std::copy(bytes.begin(), bytes.end(), shown_.Data);
  if (shownStored_.Data) std::copy(storedBytes.begin(), storedBytes.end(), shownStored_.Data);
  return true;
}

bool FramePairSequence::SetFormats(const ImageFormat& first, const ImageFormat& second) {
  std::lock_guard lock(shownLock_);
  shownFirstOrigin_ = shownSecondOrigin_ = loadingFirstOrigin_ = loadingSecondOrigin_ = FrameOrigin{};
  if (!firstReader_.SetLayout(first) || !secondReader_.SetLayout(second)) return false;
  const FrameImage& a = firstReader_.Working();
  const FrameImage& b = secondReader_.Working();
  return FrameFor(a, firstBuffers_[0], shownFirst_) && FrameFor(a, firstBuffers_[1], loadingFirst_) &&
         FrameFor(b, secondBuffers_[0], shownSecond_) && FrameFor(b, secondBuffers_[1], loadingSecond_) &&
         StoredFramesFor(firstReader_.Stored(), firstStoredBuffers_, shownFirstStored_,
                         loadingFirstStored_) &&
         StoredFramesFor(secondReader_.Stored(), secondStoredBuffers_, shownSecondStored_,
                         loadingSecondStored_);
}

bool FramePairSequence::StoredFramesFor(const FrameImage& stored, FrameBuffer (&buffers)[2],
                                        FrameImage& shown, FrameImage& loading) {
  shown = loading = FrameImage{};
  buffers[0].Release();
  buffers[1].Release();
  // 8-bit files show their values in the working frame itself.
  if (stored.BitsPerSample <= 8) return true;
  if (!buffers[0].Allocate(stored.DataSize) || !buffers[1].Allocate(stored.DataSize)) return false;
  shown = buffers[0].Frame(stored);
  loading = buffers[1].Frame(stored);
  return true;
}

bool FramePairSequence::LoadFrame(StoredFrameReader& reader, RawFile& file, const std::string& path,
                                  int64_t n, FrameImage& frame, FrameImage& stored, FrameOrigin& origin) {
  if (!frame.Data || reader.Read(file, n, frame, stored.Data ? &stored : nullptr) <= 0) return false;
  DescribeOrigin(file, path, origin);
  origin.number = n;
  return true;
}

void FramePairSequence::Commit() {
  std::lock_guard lock(shownLock_);
  std::swap(shownFirst_, loadingFirst_);
  std::swap(shownSecond_, loadingSecond_);
  std::swap(shownFirstStored_, loadingFirstStored_);
  std::swap(shownSecondStored_, loadingSecondStored_);
  shownFirstOrigin_ = loadingFirstOrigin_;
  shownSecondOrigin_ = loadingSecondOrigin_;
  PairShown();
}

void FramePairSequence::Render() {
  std::lock_guard lock(shownLock_);
  if (shownFirst_.Data && shownSecond_.Data) RenderPair(shownFirst_, shownSecond_);
}

void FramePairSequence::RenderPair(const FrameImage& first, const FrameImage& second) {
  if (renderer_) renderer_(first, second);
}

FramePairSequence::Pair FramePairSequence::Snapshot() const {
  std::lock_guard lock(shownLock_);
  return SnapshotLocked();
}

std::optional<PixelSamples> FramePairSequence::ShownSamplesAt(bool second, int32_t x, int32_t y) const {
  std::lock_guard lock(shownLock_);
  if ((second ? shownSecondOrigin_ : shownFirstOrigin_).number <= 0) return std::nullopt;
  // The stored bytes of deeper samples give their full values.
  const FrameImage& stored = second ? shownSecondStored_ : shownFirstStored_;
  return SamplesAt(stored.Data ? stored : second ? shownSecond_ : shownFirst_, x, y);
}

FramePairSequence::Pair FramePairSequence::SnapshotLocked() const {
  Pair pair{CopyOf(shownFirst_, shownFirstOrigin_), CopyOf(shownSecond_, shownSecondOrigin_)};
  pair.first.stored = firstReader_.Stored();
  pair.second.stored = secondReader_.Stored();
  return pair;
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
  if (SaidLessThanOneFrame(FirstPath, *first, firstReader_.Stored()) ||
      SaidLessThanOneFrame(SecondPath, *second, secondReader_.Stored()) ||
      !firstReader_.Attach(*first, FirstPath) || !secondReader_.Attach(*second, SecondPath))
    return false;
  firstFile_ = std::move(*first);
  secondFile_ = std::move(*second);
  frameCount_ = std::min(firstReader_.FramesIn(firstFile_), secondReader_.FramesIn(secondFile_));
  return true;
}

bool LockstepPairSequence::Load(int64_t n) {
  return LoadFrame(firstReader_, firstFile_, FirstPath, n, loadingFirst_, loadingFirstStored_,
                   loadingFirstOrigin_) &&
         LoadFrame(secondReader_, secondFile_, SecondPath, n, loadingSecond_, loadingSecondStored_,
                   loadingSecondOrigin_);
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
  if (!firstReader_.Attach(*file, Path)) return false;
  frameCount_ = std::max<int64_t>(firstReader_.FramesIn(*file) - 1, 0);
  return true;
}

bool ConsecutivePairSequence::Load(int64_t n) {
  auto file = RawFile::OpenRead(Path);
  if (!file) {
    ShowMessage(CannotReadMessage(Path, notFound_));
    return false;
  }
  return LoadFrame(firstReader_, *file, Path, n, loadingFirst_, loadingFirstStored_, loadingFirstOrigin_) &&
         LoadFrame(firstReader_, *file, Path, n + 1, loadingSecond_, loadingSecondStored_,
                   loadingSecondOrigin_);
}

}  // namespace vx
