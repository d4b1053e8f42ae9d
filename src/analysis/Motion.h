#pragma once

// The motion check's editing: a selection of 8 x 8 blocks (a block mask) and the
// move of the selected blocks of the current frame by a displacement.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "analysis/Compare.h"
#include "image/ColorFormula.h"
#include "image/FrameImage.h"
#include "image/PixelOps.h"
#include "player/FrameSequences.h"

namespace vx {

// The selected blocks: one byte per 8 x 8 block, 1 = selected.
class BlockSelection {
 public:
  void Reset(int32_t width, int32_t height);
  const BlockMask& mask() const { return mask_; }
  int32_t columns() const { return columns_; }
  int32_t rows() const { return rows_; }
  // Inverts every block of the rectangle between two corner blocks (any order).
  void InvertRectangle(int32_t column0, int32_t row0, int32_t column1, int32_t row1);
  void SelectAll();
  void SelectNone();
  void Reverse();
  bool Any() const;
  bool Selected(int32_t column, int32_t row) const;

 private:
  BlockMask mask_;
  int32_t columns_ = 0, rows_ = 0;
};

// `edited` := `unedited` with every selected block moved by (dx, dy); the pixels
// the blocks leave take the layout's mid-grey. Rows that leave the frame are
// dropped, and a row is moved only while its start column lies within -8 .. width - 1.
bool ApplyMove(FrameImage& unedited, FrameImage& edited, const BlockSelection& selection, int32_t dx,
               int32_t dy, const ColourTables& tables);

// The motion check's frames: pair n is frame n (previous) and n + 1 (current),
// the file reopened for every step; the worker (or the window, while nothing
// plays) builds the difference of the previous and the edited current frame.
class MotionSequence final : public ConsecutivePairSequence {
 public:
  MotionSequence();
  // The file's layout and the work images; false when refused.
  bool Prepare(const ImageFormat& format);
  // A new pair drops the moves made on the last one.
  bool Load(int64_t n) override;
  void Render() override;
  void SetDisplay(const CompareDisplay& display);
  CompareDisplay Display() const;
  const PictureExchange& Pictures() const { return pictures_; }
  const FrameDifference& Difference() const { return difference_; }
  // The window's side, while no worker renders.
  FrameImage& Previous() { return first_; }
  FrameImage& Unedited() { return second_; }
  FrameImage& Edited() { return edited_; }
  // Moves the selected blocks of the current frame by (dx, dy) from the unedited frame.
  bool Move(const BlockSelection& selection, int32_t dx, int32_t dy);

 private:
  mutable std::mutex mutex_;
  CompareDisplay display_;
  FrameDifference difference_;
  PictureExchange pictures_;
  FrameBuffer editedBuffer_;
  FrameImage edited_;
  std::atomic<bool> fresh_{false};
};

}  // namespace vx
