#include "player/ShownFrame.h"

#include <algorithm>

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

bool WriteShownFrame(const ShownFrame& shown, std::span<const uint8_t> expectedOnDisk,
                     std::span<const uint8_t> edited, const WriteBackMessages& messages) {
  const FrameOrigin& at = shown.origin;
  const auto frameNumber = static_cast<long long>(at.number);
  const int64_t size = shown.format.DataSize;
  const auto refuse = [&](std::string text) {
    ShowMessage(text);
    return false;
  };
  const auto notWritten = [&] { return refuse(StrFormat(messages.notWritten, at.path.c_str())); };
  if (!shown.Valid() || size <= 0 || static_cast<int64_t>(edited.size()) != size ||
      static_cast<int64_t>(expectedOnDisk.size()) != size)
    return notWritten();
  auto file = RawFile::OpenReadWrite(at.path);
  if (!file) return notWritten();
  // The name must still reach the file the frame was read from, at its length then.
  if (file->Identity() != at.identity || file->Length() != at.length)
    return refuse(StrFormat(messages.replaced, at.path.c_str(), frameNumber));
  const int64_t offset = (at.number - 1) * size;
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

}  // namespace vx
