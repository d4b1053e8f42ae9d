#pragma once

// Where a job's frames come from: a raw file, or a numbered list of 24-bit BMP
// pictures (frame k is picture k), each with its own messages.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "avi/AviFile.h"
#include "image/FrameFile.h"
#include "image/FrameImage.h"
#include "platform/MappedRegion.h"
#include "platform/RawFile.h"

namespace vx {

// One input of a job.
struct JobInput {
  std::string name;
  // Header only. For a BMP list the sampling is BMP and the size the pictures'.
  // In a run, the layout frames are handed over in: `stored` itself, or for a
  // stored-only layout (semi-planar, deeper samples) its 8-bit planar working layout.
  FrameImage format;
  // The layout of the file (set when the run is frozen).
  FrameImage stored;
  // A BMP list instead of a raw file: frame k is picture k - 1.
  std::vector<std::string> bmpNames;
  // An AVI file instead of a raw file: frame k is its decoded frame k (the format
  // is then the 24-bit picture, sampling BMP).
  bool avi = false;
  const char* aviNoDecoder = "";  // the stream's decoder cannot be made
  const char* aviDecode = "";     // a frame cannot be decoded
  // The formula for frames an AVI codec gives as YUV (the run's).
  std::shared_ptr<const ColourTables> colours;
  const char* notFound = "";   // %s: the raw file cannot be opened
  const char* bitstream = "";  // a frame before the range cannot be read
  const char* bmpLoad = "";    // a picture of the list cannot be read
};

// The 24-bit picture layout of `width` x `height` (sampling BMP): BMP lists, AVI
// frames and the AVI writer's target.
FrameImage PictureFormat(int32_t width, int32_t height);

// Why `path` cannot be read: a name that is no regular file (a FIFO, a device,
// a folder) is said to be so; otherwise the caller's not-found template (%s).
std::string CannotReadMessage(const std::string& path, const char* notFound);

class FrameInput {
 public:
  using Reporter = std::function<void(std::string_view)>;

  // Opens the input; false after its message.
  bool Open(const JobInput& input, Reporter report);
  // Passes over frames until frame `n` comes next; false after the bitstream
  // message when the file does not hold them all. Pictures of a list need nothing.
  bool SkipTo(int64_t n);
  // Reads frame `n`, the one after the last read, into `frame`. Raw files: the
  // bytes read (0 at the end; a short frame keeps the rest of `frame`). Pictures:
  // the frame as packed BGR RGB 4:4:4 (header set), -1 after the load message.
  // With FrameBytes::InPlace a whole raw frame of 1 MiB or more may instead be
  // left where the file is (`frame.Data` then points into a mapping of it, valid
  // until the next Read or Close; writing to it changes no file): a caller that
  // only reads its input saves copying every byte of it.
  // A raw file stored in another layout than `frame`'s (ConvertsOnRead) is
  // converted as it is read; `lumaDone`, when given, is called as soon as a leading
  // luma plane is made, before the chroma (see ConvertSamples).
  enum class FrameBytes { InBuffer, InPlace };
  int64_t Read(int64_t n, FrameImage& frame, FrameBytes bytes = FrameBytes::InBuffer,
               const std::function<void(int64_t lumaBytes)>& lumaDone = {});
  bool ConvertsOnRead() const { return converts_ && !avi_ && !IsPictureList(); }
  // Reads frame `n` as the file stores it, without converting a stored-only layout:
  // `frame` is set to a record of the input's own buffer or of the file's mapping
  // (valid until the next Read or Close). The bytes read, 0 at the end.
  int64_t ReadStoredFrame(int64_t n, FrameImage& frame);
  // After a frame read in place: whether the file lost some of its bytes while
  // they were being used (cut by another program; they read as zeros). Reports
  // it once.
  bool ReportedLostBytes();
  // Whether large raw frames are read by this thread and the helper together
  // (while the other core writes, reading alone leaves it to the writer).
  void ShareReads(bool share) { shareReads_ = share; }
  // Frames the raw file holds (whole frames), or the pictures of the list.
  int64_t FrameCount() const;
  // Frames come as pictures (a BMP list or an AVI): packed B G R, top row first.
  bool IsPictureList() const { return input_ && input_->format.SamplingFormat == BMP; }
  void Close() {
    mapped_.reset();
    file_.Close();
    avi_.reset();
  }

 private:
  const JobInput* input_ = nullptr;
  Reporter report_;
  int64_t ReadAviFrame(int64_t n, FrameImage& frame);
  // Marks `frame` as a read picture: packed B G R of the input's size.
  int64_t PictureRead(FrameImage& frame) const;
  // The frame read in place, if the file could be mapped.
  std::optional<int64_t> ReadInPlace(FrameImage& frame);
  RawFile file_;
  std::optional<MappedRegion> mapped_;  // the last frame read in place
  // A stored-only layout's frame as the file holds it, before it is converted.
  FrameBuffer storedFrame_;
  FrameImage stored_;  // the file's layout (header only)
  FrameFraming framing_;
  // Where a Y4M file's frames lie, found on first use.
  const FrameIndex& Index() const;
  mutable std::optional<FrameIndex> index_;
  // A Y4M file's FRAME line before frame `frame`: passed over; false at the end
  // of the file (`atEnd`) or after the message for a missing line.
  bool PassFrameLine(int64_t frame, bool& atEnd);
  bool converts_ = false;
  // Reads the stored frame and converts it into `frame` (the working layout).
  int64_t ReadConverted(FrameImage& frame, FrameBytes bytes, const std::function<void(int64_t)>& lumaDone);
  int64_t ReadStored(FrameImage& stored, FrameBytes bytes);
  int64_t mappedEnd_ = 0;  // where it ends in the file
  std::optional<avi::AviReader> avi_;
  int64_t next_ = 1;
  bool shareReads_ = true;
};

}  // namespace vx
