#include "player/ShownFrame.h"

#include <algorithm>

#include "image/FrameFile.h"
#include "image/SampleStorage.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"

namespace vx {

FrameImage ShownFrame::View() {
  FrameImage frame = format;
  frame.Data = bytes.data();
  frame.Capacity = static_cast<int64_t>(bytes.size());
  return frame;
}

bool DescribeOrigin(const RawFile& file, const std::string& path, FrameOrigin& origin) {
  const auto identity = file.Identity();
  origin.path = path;
  origin.identity = identity.value_or(FileIdentity{});
  origin.length = file.Length();
  return identity.has_value() && origin.length >= 0;
}

namespace {
// `bytes` in the layout `shown.format`, rewritten in `shown.stored`.
std::vector<uint8_t> InStoredLayout(const ShownFrame& shown, std::span<const uint8_t> bytes) {
  std::vector<uint8_t> stored(static_cast<size_t>(shown.stored.DataSize));
  FrameImage from = shown.format;
  from.Data = const_cast<uint8_t*>(bytes.data());  // read only
  from.Capacity = static_cast<int64_t>(bytes.size());
  FrameImage to = shown.stored;
  to.Data = stored.data();
  to.Capacity = static_cast<int64_t>(stored.size());
  if (!ConvertSamples(from, to)) stored.clear();
  return stored;
}
}  // namespace

namespace {

// Writes `edited` over frame `at.number` (of `size` bytes) of the file named in
// `at`, in one positioned write, while the file is the one the frame was read
// from and holds `expectedOnDisk` there.
bool WriteInPlace(const FrameOrigin& at, int64_t size, std::span<const uint8_t> expectedOnDisk,
                  std::span<const uint8_t> edited, const WriteBackMessages& messages) {
  const auto frameNumber = static_cast<long long>(at.number);
  const auto refuse = [&](std::string text) {
    ShowMessage(text);
    return false;
  };
  const auto notWritten = [&] { return refuse(StrFormat(messages.notWritten, at.path.c_str())); };
  if (size <= 0 || static_cast<int64_t>(edited.size()) != size ||
      static_cast<int64_t>(expectedOnDisk.size()) != size)
    return notWritten();
  auto file = RawFile::OpenReadWrite(at.path);
  if (!file) return notWritten();
  // The name must still reach the file the frame was read from, at its length then.
  if (file->Identity() != at.identity || file->Length() != at.length)
    return refuse(StrFormat(messages.replaced, at.path.c_str(), frameNumber));
  // A Y4M file's frames lie after its header, each after its FRAME line.
  const FrameFileProbe probe = ProbeFrameFile(*file, at.path);
  if (!probe.problem.empty()) return notWritten();
  // Its FRAME lines may differ in length: the frame is found after its own line.
  FrameIndex index;
  index.Build(*file, probe.framing, size);
  const auto place = index.Find(*file, at.number);
  if (!place) return notWritten();
  const int64_t offset = place->samples;
  // The frame must lie wholly inside the file: it is rewritten, never appended.
  if (at.number < 1 || offset + size > at.length) return notWritten();
  std::vector<uint8_t> onDisk(static_cast<size_t>(size));
  if (file->ReadAt(offset, onDisk.data(), size) != size) return notWritten();
  if (!std::equal(onDisk.begin(), onDisk.end(), expectedOnDisk.begin()))
    return refuse(StrFormat(messages.changed, frameNumber, at.path.c_str()));
  if (file->WriteAt(offset, edited.data(), size) && file->SyncData()) return true;
  // A short write leaves the frame half edited: the bytes that were there go back.
  file->WriteAt(offset, onDisk.data(), size);
  file->SyncData();
  return notWritten();
}

bool StoredDiffers(const ShownFrame& shown) {
  return shown.stored.DataSize > 0 && !(static_cast<const ImageFormat&>(shown.stored) == shown.format);
}

}  // namespace

bool WriteShownFrame(const ShownFrame& shown, std::span<const uint8_t> expectedOnDisk,
                     std::span<const uint8_t> edited, const WriteBackMessages& messages) {
  if (!shown.Valid()) {
    ShowMessage(StrFormat(messages.notWritten, shown.origin.path.c_str()));
    return false;
  }
  if (!StoredDiffers(shown))
    return WriteInPlace(shown.origin, shown.format.DataSize, expectedOnDisk, edited, messages);
  // 8-bit samples of deeper ones would lose their low bits.
  if (shown.stored.BitsPerSample > 8) {
    ShowMessage(StrFormat(messages.deepSamples, shown.stored.BitsPerSample, shown.origin.path.c_str()));
    return false;
  }
  if (static_cast<int64_t>(edited.size()) != shown.format.DataSize ||
      static_cast<int64_t>(expectedOnDisk.size()) != shown.format.DataSize) {
    ShowMessage(StrFormat(messages.notWritten, shown.origin.path.c_str()));
    return false;
  }
  // Semi-planar chroma is rewritten in the file's order; the check and the write
  // then work on the file's bytes.
  return WriteInPlace(shown.origin, shown.stored.DataSize, InStoredLayout(shown, expectedOnDisk),
                      InStoredLayout(shown, edited), messages);
}

bool WriteShownStoredFrame(const ShownFrame& shown, std::span<const uint8_t> edited,
                           const WriteBackMessages& messages) {
  if (!shown.Valid() || !StoredDiffers(shown) || shown.stored.BitsPerSample <= 8 ||
      static_cast<int64_t>(shown.storedBytes.size()) != shown.stored.DataSize) {
    ShowMessage(StrFormat(messages.notWritten, shown.origin.path.c_str()));
    return false;
  }
  return WriteInPlace(shown.origin, shown.stored.DataSize, shown.storedBytes, edited, messages);
}

}  // namespace vx
