#include "analysis/Motion.h"

#include <algorithm>
#include <cstring>

#include "image/RgbColor.h"
#include "platform/StringFormat.h"

namespace vx {

void BlockSelection::Reset(int32_t width, int32_t height) {
  columns_ = std::max((width + 7) / 8, 0);
  rows_ = std::max((height + 7) / 8, 0);
  mask_.assign(static_cast<size_t>(int64_t{columns_} * rows_), 0);
}

void BlockSelection::InvertRectangle(int32_t column0, int32_t row0, int32_t column1, int32_t row1) {
  const int32_t c0 = std::clamp(std::min(column0, column1), 0, columns_ - 1);
  const int32_t c1 = std::clamp(std::max(column0, column1), 0, columns_ - 1);
  const int32_t r0 = std::clamp(std::min(row0, row1), 0, rows_ - 1);
  const int32_t r1 = std::clamp(std::max(row0, row1), 0, rows_ - 1);
  for (int32_t r = r0; r <= r1; ++r) {
    for (int32_t c = c0; c <= c1; ++c) {
      uint8_t& b = mask_[static_cast<size_t>(int64_t{r} * columns_ + c)];
      b = b ? 0 : 1;
    }
  }
}

void BlockSelection::SelectAll() {
  std::fill(mask_.begin(), mask_.end(), 1);
}
void BlockSelection::SelectNone() {
  std::fill(mask_.begin(), mask_.end(), 0);
}
void BlockSelection::Reverse() {
  for (uint8_t& b : mask_) b = b ? 0 : 1;
}
bool BlockSelection::Any() const {
  return std::any_of(mask_.begin(), mask_.end(), [](uint8_t b) { return b != 0; });
}
bool BlockSelection::Selected(int32_t column, int32_t row) const {
  if (column < 0 || row < 0 || column >= columns_ || row >= rows_) return false;
  return mask_[static_cast<size_t>(int64_t{row} * columns_ + column)] != 0;
}

bool ApplyMove(FrameImage& unedited, FrameImage& edited, const BlockSelection& selection, int32_t dx,
               int32_t dy, const ColourTables& tables) {
  if (!unedited.Data || !edited.Data || edited.Capacity < unedited.DataSize) return false;
  static_cast<ImageFormat&>(edited) = unedited;
  edited.DataSize = unedited.DataSize;
  std::memcpy(edited.Data, unedited.Data, static_cast<size_t>(unedited.DataSize));
  const int32_t w = unedited.ImgWidth, h = unedited.ImgHeight;
  // The pixels of the selected blocks become mid-grey in the file's own layout.
  const std::array<uint8_t, 3> fill = FillBytes(tables, unedited, RgbColor{128, 128, 128});
  for (int32_t r = 0; r < selection.rows(); ++r) {
    for (int32_t c = 0; c < selection.columns(); ++c) {
      if (!selection.Selected(c, r)) continue;
      for (int32_t y = 8 * r; y < std::min(8 * r + 8, h); ++y) {
        for (int32_t x = 8 * c; x < std::min(8 * c + 8, w); ++x) {
          std::array<uint8_t, 3> value = fill;
          if (!AccessPixel(edited, y, x, value, Access::Write, 0)) return false;
        }
      }
    }
  }
  // Then every selected block is copied from the unedited frame to its new place.
  SegmentBuffer segment(8);
  for (int32_t r = 0; r < selection.rows(); ++r) {
    for (int32_t c = 0; c < selection.columns(); ++c) {
      if (!selection.Selected(c, r)) continue;
      const int32_t column = 8 * c + dx;
      if (column < -8 || column > w - 1) continue;
      // The part of the row that lands inside the frame.
      const int32_t skip = std::max(0, -column);
      const int32_t length = std::min({8 - skip, w - 8 * c - skip, w - (column + skip)});
      if (length <= 0) continue;
      for (int32_t i = 0; i < 8 && 8 * r + i < h; ++i) {
        const int32_t target = 8 * r + i + dy;
        if (target < 0 || target >= h) continue;
        if (AccessSegment(unedited, segment, 8 * r + i, 8 * c + skip, length, Access::Read, 0))
          AccessSegment(edited, segment, target, column + skip, length, Access::Write, 0);
      }
    }
  }
  return true;
}

MotionSequence::MotionSequence() : ConsecutivePairSequence("Error MOTN1016: Input file %s not found\n") {}

std::optional<std::string> MotionSequence::Prepare(const ImageFormat& format) {
  static constexpr WorkImageRefusals kRefusals = {
      .first = "Error MOTN1005: Image size (%d, %d) not support !\n",
      .resized = "Error MOTN1006: Image size (%d, %d) not support !\n",
  };
  const bool hadWorkImages = difference_.HasWorkImages();
  if (!SetFormats(format, format) || !difference_.Allocate(format.ImgWidth, format.ImgHeight) ||
      !pictures_.Allocate(format.ImgWidth, format.ImgHeight))
    return WorkImageRefusal(kRefusals, hadWorkImages, format);
  std::lock_guard lock(ShownLock());
  if (!editedBuffer_.Allocate(WorkBufferSize(format.ImgWidth, format.ImgHeight)))
    return WorkImageRefusal(kRefusals, hadWorkImages, format);
  edited_ = editedBuffer_.Frame(ShownSecond());
  saved_.clear();
  return std::nullopt;
}

std::optional<std::string> MotionSequence::ShowFirstPair() {
  auto file = RawFile::OpenRead(Path);
  if (!file || !firstReader_.Attach(*file, Path, false) ||
      !LoadFrame(firstReader_, *file, Path, 1, loadingFirst_, loadingFirstStored_, loadingFirstOrigin_))
    return StrFormat("Error MOTN1003: Input file %s not found\n", Path.c_str());
  if (!LoadFrame(firstReader_, *file, Path, 2, loadingSecond_, loadingSecondStored_, loadingSecondOrigin_))
    return StrFormat("Error MOTN1004: Input file %s not found\n", Path.c_str());
  Commit();
  return std::nullopt;
}

void MotionSequence::PairShown() {
  // A new pair drops the moves made on the last one.
  const FrameImage& current = ShownSecond();
  if (edited_.Data && current.Data) {
    edited_ = editedBuffer_.Frame(current);
    std::memcpy(edited_.Data, current.Data, static_cast<size_t>(current.DataSize));
  }
  saved_.clear();
}

void MotionSequence::SetDisplay(const CompareDisplay& display) {
  std::lock_guard lock(mutex_);
  display_ = display;
}

CompareDisplay MotionSequence::Display() const {
  std::lock_guard lock(mutex_);
  return display_;
}

bool MotionSequence::Move(const BlockSelection& selection, int32_t dx, int32_t dy) {
  std::lock_guard lock(ShownLock());
  FrameImage unedited = ShownSecond();
  if (!unedited.Data) return false;
  return ApplyMove(unedited, edited_, selection, dx, dy, *CurrentColourTables());
}

MotionSequence::Frames MotionSequence::Snapshot() const {
  std::lock_guard lock(ShownLock());
  Pair pair = SnapshotLocked();
  Frames frames;
  frames.previous = std::move(pair.first);
  frames.current = std::move(pair.second);
  if (!frames.current.Valid() || !edited_.Data) return frames;
  frames.edited.assign(edited_.Data, edited_.Data + edited_.DataSize);
  frames.onDisk = saved_.empty() ? frames.current.bytes : saved_;
  return frames;
}

void MotionSequence::Saved(const FrameOrigin& origin, const std::vector<uint8_t>& edited) {
  std::lock_guard lock(ShownLock());
  if (ShownSecondOrigin() == origin) saved_ = edited;
}

void MotionSequence::RenderPair(const FrameImage& previous, const FrameImage&) {
  if (!edited_.Data) return;
  const CompareDisplay display = Display();
  const auto tables = CurrentColourTables();
  if (!difference_.Build(*tables, previous, edited_, display.selector)) return;
  if (difference_.Paint(*tables, display, pictures_.Back())) pictures_.Publish();
}

}  // namespace vx
