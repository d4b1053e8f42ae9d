#pragma once

// Where the frames of a file lie: back to back from its first byte (a raw file),
// or after a Y4M stream header, each frame after its FRAME line. Every reader of
// frames asks here, so a Y4M file is read wherever a raw one is.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image/ImageFormat.h"
#include "image/Y4mHeader.h"
#include "platform/RawFile.h"

namespace vx {

struct FrameFraming {
  bool y4m = false;
  int64_t headerBytes = 0;  // before the first frame's line
  int64_t lineBytes = 0;    // the first FRAME line's (later ones may differ: see FrameIndex)
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

// The message for a Y4M file without a FRAME line where frame `n` begins.
std::string MissingFrameLineMessage(const std::string& path, int64_t n);

// A FRAME line at `offset` of `file`: its bytes, nullopt when there is none.
std::optional<int64_t> ReadFrameLine(const RawFile& file, int64_t offset);

// Where frame n of a file lies, for files whose FRAME lines differ in length.
// Raw files, and Y4M files whose lines are all as long as the first, are found by
// arithmetic. For others, the walk over the lines that counts the frames keeps
// where each frame's line starts, from the first line of another length on: 8
// bytes a frame, for at most kListedFrames frames; past that only every second
// (fourth, ...) frame's is kept and the frames between are found by reading the
// few lines from there. Every place handed out is checked to hold a FRAME line.
class FrameIndex {
 public:
  static constexpr size_t kListedFrames = size_t{1} << 20;

  // Walks the FRAME lines of `file`, whose frames hold `frameBytes` bytes, keeping
  // at most `listLimit` (2 or more) line starts.
  void Build(const RawFile& file, const FrameFraming& framing, int64_t frameBytes,
             size_t listLimit = kListedFrames);
  // Whole frames: those before a missing (or overlong) FRAME line, then the rest
  // of the file counted by the first line's length, so that a reader meets the
  // damage and says so rather than ending early.
  int64_t Frames() const { return frames_; }
  // Where frame `n` (from 1) starts: its FRAME line (nothing in a raw file), then
  // its samples. Nullopt when there is no FRAME line for it: before frame 1, past
  // the end, at or after a damaged line. A trailing partial frame is found.
  struct Place {
    int64_t line = 0, samples = 0;
    bool operator==(const Place&) const = default;
  };
  std::optional<Place> Find(const RawFile& file, int64_t n) const;
  // The frame whose FRAME line was found missing by the walk, 0 for none.
  int64_t DamagedFrame() const { return damaged_; }
  // Line starts kept (0 when arithmetic finds every frame).
  size_t Listed() const { return starts_.size(); }
  const FrameFraming& Framing() const { return framing_; }

 private:
  // Reads lines from frame `m`'s line at `at` on to frame `n`'s.
  std::optional<Place> WalkTo(const RawFile& file, int64_t m, int64_t at, int64_t n) const;
  FrameFraming framing_;
  int64_t frameBytes_ = 0;
  int64_t frames_ = 0;
  bool uniform_ = true;          // every line read is as long as the first, none is damaged
  int64_t sameLines_ = 0;        // frames from 1 whose lines are as long as the first
  std::vector<int64_t> starts_;  // line of frame sameLines_ + 1 + k * stride_
  int64_t stride_ = 1;
  int64_t walked_ = 0;     // frames whose lines the walk read
  int64_t walkedEnd_ = 0;  // where the line of frame walked_ + 1 starts (or would)
  int64_t damaged_ = 0;
};

// Whole frames of `frameBytes` in `file`: for a Y4M file each FRAME line is read,
// since the lines may differ in length (as FrameIndex::Frames counts them).
int64_t CountFramesIn(const RawFile& file, const FrameFraming& framing, int64_t frameBytes);
// Whole frames of `layout` in the file at `path` (0 when it cannot be read).
int64_t CountFramesIn(const std::string& path, const ImageFormat& layout);

}  // namespace vx
