#pragma once

// Frames read from a file in the layout it is stored in and handed over in the
// layout the frame engine works in (see image/SampleStorage.h): the playing
// windows' reader. Layouts the engine holds as they are pass straight through.

#include <cstdint>
#include <string>

#include "image/FrameFile.h"
#include "image/FrameImage.h"
#include "platform/RawFile.h"

namespace vx {

class StoredFrameReader {
 public:
  // The file's layout; false (nothing kept) when it cannot be stored or read.
  bool SetLayout(const ImageFormat& stored);
  // The file's layout and the layout frames are handed over in (headers, DataSize set).
  const FrameImage& Stored() const { return stored_; }
  const FrameImage& Working() const { return working_; }
  bool Converts() const { return converts_; }
  // Learns where the frames of `file` (named `path`) lie: a Y4M file's header
  // and FRAME lines (each read once, see FrameIndex). False after a message when
  // the file's own layout is not the one set, or its header cannot be read (said
  // only with `report`).
  bool Attach(const RawFile& file, const std::string& path, bool report = true);
  // Reads frame `n` (from 1) into `frame`, whose buffer holds a working frame; its
  // header becomes the working layout. The stored bytes read: 0 or less when there
  // is no such frame; short for a trailing partial frame, whose missing bytes keep
  // what `frame` held (plain layouts) or read as zeros (converted ones). With
  // `stored` (a buffer of at least a stored frame), a converted frame's stored
  // bytes are read there and kept, its header set to the file's layout.
  int64_t Read(RawFile& file, int64_t n, FrameImage& frame, FrameImage* stored = nullptr);
  // Whole frames in the file: a raw file's by its length now, a Y4M file's as
  // its FRAME lines were found when it was attached.
  int64_t FramesIn(const RawFile& file) const;

 private:
  FrameImage stored_, working_;
  FrameBuffer buffer_;  // a stored frame, for converted layouts
  bool converts_ = false;
  FrameIndex index_;
  bool SeekTo(RawFile& file, int64_t n) const;
};

}  // namespace vx
