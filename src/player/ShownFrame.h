#pragma once

// What a playing window shows, as one record: which file (by the name chosen and
// by device and inode), its length when read, the frame's number and its bytes as
// read. Windows act on copies of this record, never on the playing worker's
// buffers, and write an edited frame back only into the file and frame it names,
// and only while the file still holds the bytes that were shown.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "image/FrameImage.h"
#include "platform/RawFile.h"

namespace vx {

struct FrameOrigin {
  std::string path;  // as chosen
  FileIdentity identity;
  int64_t length = -1;  // of the file when the frame was read
  int64_t number = 0;   // from 1; 0 while nothing is shown
  bool operator==(const FrameOrigin&) const = default;
};

struct ShownFrame {
  FrameOrigin origin;
  FrameImage format;  // the frame's layout (header only)
  // The file's layout when it differs (a stored-only layout shown in its working
  // layout); DataSize 0: the frame is stored as it is shown.
  FrameImage stored;
  std::vector<uint8_t> bytes;
  // A frame of deeper samples (shown at 8 bits) as stored in the file, read with
  // `bytes`: its full-depth samples. Empty for other layouts, and when the
  // sequence shown does not keep them.
  std::vector<uint8_t> storedBytes;

  bool Valid() const { return origin.number > 0 && !bytes.empty() && format.DataSize > 0; }
  // A frame record over `bytes` (which must outlive it).
  FrameImage View();
};

// Where a file read from stands: name, identity and length (false when the open
// file cannot be examined).
bool DescribeOrigin(const RawFile& file, const std::string& path, FrameOrigin& origin);

// The texts of a refused write (printf templates).
struct WriteBackMessages {
  const char* notWritten;  // %s file: cannot be opened for writing, or the frame is not inside it
  const char* replaced;    // %s file, %lld frame: another file, or another length, under the name now
  const char* changed;     // %lld frame, %s file: the frame's bytes on disk are not those shown
  // %d bits, %s file: an 8-bit edit of a frame of deeper samples
  const char* deepSamples =
      "Error VLTX1033: Frames of %d-bit samples are shown at 8 bits; %s is not changed, so that its "
      "samples keep their depth!\n";
};

// Writes `edited` over frame `shown.origin.number` of the file `shown.origin.path`
// in one positioned write, then flushes it. Refused (message, nothing written)
// when the name no longer reaches the file shown, its length changed, the frame is
// not wholly inside it, or the bytes on disk differ from `expectedOnDisk` (the
// shown bytes, or what was last written there). A short write puts the bytes that
// were there back. A frame of a semi-planar file is written back in its layout;
// an edit of deeper samples made at 8 bits is refused (WriteShownStoredFrame
// writes them at full depth).
bool WriteShownFrame(const ShownFrame& shown, std::span<const uint8_t> expectedOnDisk,
                     std::span<const uint8_t> edited, const WriteBackMessages& messages);

// A frame of deeper samples edited at full depth: `edited`, in the file's layout
// (`shown.stored`), is written as WriteShownFrame writes, while the file still
// holds the stored bytes read with the frame (`shown.storedBytes`). Refused as
// there, and when those bytes were not kept.
bool WriteShownStoredFrame(const ShownFrame& shown, std::span<const uint8_t> edited,
                           const WriteBackMessages& messages);

}  // namespace vx
