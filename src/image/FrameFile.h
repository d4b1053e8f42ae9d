#pragma once

// Where the frames of a file lie: back to back from its first byte (a raw file),
// or after a Y4M stream header, each frame after its FRAME line. Every reader of
// frames asks here, so a Y4M file is read wherever a raw one is.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "image/ImageFormat.h"
#include "image/Y4mHeader.h"
#include "platform/RawFile.h"

namespace vx {

struct FrameFraming {
  bool y4m = false;
  int64_t headerBytes = 0;  // before the first frame's line
  int64_t lineBytes = 0;    // the first FRAME line's (later ones are read as they come)
  // Where frame n (from 1) starts when every FRAME line is as long as the first.
  int64_t FrameOffset(int64_t n, int64_t frameBytes) const {
    return headerBytes + (n - 1) * (lineBytes + frameBytes) + lineBytes;
  }
  // Whole frames in a file of `length` bytes.
  int64_t FramesIn(int64_t length, int64_t frameBytes) const;
};

// What a file's first bytes say of it.
struct FrameFileProbe {
  FrameFraming framing;               // raw unless the file is a Y4M file
  std::optional<ImageFormat> layout;  // a Y4M file's, from its header
  std::optional<Y4mStream> stream;    // a Y4M file's header
  std::string problem;                // a message: a Y4M file that cannot be read
};

// Whether a name says Y4M (".y4m", case ignored).
bool NamedAsY4m(std::string_view path);

// Reads the start of `file` (named `path`): a file named .y4m or starting with
// the Y4M signature must have a readable header and first FRAME line.
FrameFileProbe ProbeFrameFile(const RawFile& file, const std::string& path);
// The same for a file by name; a file that cannot be opened probes as raw.
FrameFileProbe ProbeFrameFile(const std::string& path);

// The layout of a Y4M stream's frames: planar (mono for Cmono), progressive (an
// interlaced stream's frames are stored line by line), order YUV, its depth.
ImageFormat Y4mLayout(const Y4mStream& stream);

// The header that describes frames of `layout` (planar or mono only; nullopt and
// a problem otherwise), at 25 frames a second.
std::optional<Y4mStream> Y4mStreamFor(const ImageFormat& layout, std::string& problem);

// Why a Y4M file's frames are not those of `layout`: nullopt when they are.
std::optional<std::string> Y4mLayoutMismatch(const std::string& path, const ImageFormat& header,
                                             const ImageFormat& layout);

// The refusal of an output named .y4m whose layout a Y4M file cannot hold.
std::optional<std::string> Y4mOutputRefusal(const std::string& path, const ImageFormat& layout);

// A FRAME line at `offset` of `file`: its bytes, nullopt when there is none.
std::optional<int64_t> ReadFrameLine(const RawFile& file, int64_t offset);

// Whole frames of `frameBytes` in `file`: for a Y4M file each FRAME line is read,
// since the lines may differ in length; after a damaged line the rest is counted
// by the first line's length.
int64_t CountFramesIn(const RawFile& file, const FrameFraming& framing, int64_t frameBytes);
// Whole frames of `layout` in the file at `path` (0 when it cannot be read).
int64_t CountFramesIn(const std::string& path, const ImageFormat& layout);

}  // namespace vx
