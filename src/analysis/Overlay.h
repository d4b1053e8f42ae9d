#pragma once

// Per-block information drawn over video frames: the overlay data file (a tagged
// text format), and the drawing of one value per block (tinting) or one vector
// per block (a line from the block's centre).

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "image/RgbColor.h"
#include "player/FrameSequences.h"

namespace vx {

struct OverlayHeader {
  int32_t TotalFrames = 0;
  int32_t ImageWidth = 0, ImageHeight = 0;
  int32_t BlockWidth = 0, BlockHeight = 0;
  int32_t DataPerBlock = 0;
  int32_t DataMin = 0, DataMax = 0;
};

inline constexpr int32_t kMaxOverlayFrames = 1000;
// The most bytes of data an overlay may hold in memory.
inline constexpr int64_t kMaxOverlayBytes = int64_t{1} << 30;

struct OverlayData {
  OverlayHeader header;
  // The area the overlay's image shares with the video, and the blocks that cover
  // it: only those are kept (the file may describe a far larger image).
  int32_t areaWidth = 0, areaHeight = 0;
  int32_t columns = 0, rows = 0;
  int32_t frames = 0;          // frames of data read
  std::vector<int8_t> values;  // frames x rows x columns x DataPerBlock, as signed bytes
  // The value(s) of block (row, column) of data frame `frame` (from 0).
  const int8_t* Block(int32_t frame, int32_t row, int32_t column) const;
};

// Reads the overlay text. The header is read first; then, after the caller has
// decided how many frames it wants, that many frames. Every failure is the one
// message it returns; the reader reads no further.
class OverlayReader {
 public:
  explicit OverlayReader(std::string text) : text_(std::move(text)) {}
  std::optional<std::string> ReadHeader(OverlayHeader& header);
  // Reads `frames` frames (at most kMaxOverlayFrames) into `data`, whose header is
  // the one read, keeping the blocks of the area shared with a `videoWidth` x
  // `videoHeight` video (never more bytes than kMaxOverlayBytes). Memory for a
  // frame is taken only once the rest of the text could hold its values.
  std::optional<std::string> ReadFrames(int32_t frames, int32_t videoWidth, int32_t videoHeight,
                                        OverlayData& data);

 private:
  // The next token, at most 64 characters of it (the rest is skipped); empty at the end.
  std::string Next();
  // Characters not read yet.
  int64_t TextLeft() const { return static_cast<int64_t>(text_.size() - at_); }
  std::optional<std::string> Expect(const char* tag, const char* message);
  std::optional<std::string> Number(int32_t& value, const char* closingMessage);
  std::string text_;
  size_t at_ = 0;
};

// The counts the Part's two warnings cut the data to: more than 1000 frames, then
// more frames than the video has. Each warning that applies is added to `warnings`.
int32_t OverlayFramesToLoad(int32_t totalFrames, int64_t videoFrames, std::vector<std::string>& warnings);

// The overlay tool's video: one file played at most every 33 ms, no further than
// the frames of overlay data loaded for it.
class OverlaySequence final : public FileListSequence {
 public:
  OverlaySequence();
  int64_t FrameCount() const override;
  // Frames past the data are not played.
  bool Load(int64_t n) override;
  // Frames of data (0: no data loaded yet; the video alone plays).
  std::atomic<int32_t> DataFrames{0};
};

// The ten entries: 1-8 value and colour of tinted blocks, 9 the grid colour, 10
// the vector colour.
struct OverlayEntry {
  int32_t Value = 0;
  RgbColor Color;
};
using OverlayEntries = std::array<OverlayEntry, 10>;

// Draws data frame `frame` over display rows (bottom row first, B G R, rows of
// `pitch` bytes) of a `width` x `height` picture: tinted blocks (one value per
// block) or vectors (two). Only the area the overlay and the picture share is drawn.
void DrawOverlay(const OverlayData& data, int32_t frame, const OverlayEntries& entries,
                 std::span<uint8_t> rows, int32_t width, int32_t height, int64_t pitch);

}  // namespace vx
