#pragma once

// The motion check's editing: a selection of 8 x 8 blocks (a block mask) and the
// move of the selected blocks of the current frame by a displacement.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

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
// the file reopened for every step. The edited current frame belongs to the pair
// shown: it starts as the unedited one when a pair is shown, moves change it, and
// the difference is built between the previous and the edited current frame (by
// the worker, or by the window while nothing plays), all under the pair's lock.
class MotionSequence final : public ConsecutivePairSequence {
 public:
  MotionSequence();
  // The file's layout and the work images; the refusal naming the size when they
  // cannot be made (MOTN1005 the first time, MOTN1006 for a new size).
  std::optional<std::string> Prepare(const ImageFormat& format);
  // Reads frames 1 and 2 of Path and shows them (no worker running); the refusal
  // when one cannot be read (MOTN1003 the first, MOTN1004 the second).
  std::optional<std::string> ShowFirstPair();
  void SetDisplay(const CompareDisplay& display);
  CompareDisplay Display() const;
  const PictureExchange& Pictures() const { return pictures_; }
  // Moves the selected blocks of the current frame by (dx, dy) from the unedited frame.
  bool Move(const BlockSelection& selection, int32_t dx, int32_t dy);

  // Copies of the pair shown and of the edited current frame, with what the file
  // holds at the current frame as far as this window knows (the bytes read, or
  // those saved since).
  struct Frames {
    ShownFrame previous, current;
    std::vector<uint8_t> edited, onDisk;
  };
  Frames Snapshot() const;
  // `edited` was saved over the current frame of `origin`: while that pair is
  // shown, the file is known to hold it.
  void Saved(const FrameOrigin& origin, const std::vector<uint8_t>& edited);

 private:
  void PairShown() override;
  void RenderPair(const FrameImage& previous, const FrameImage& current) override;

  mutable std::mutex mutex_;  // the display choice
  CompareDisplay display_;
  FrameDifference difference_;
  PictureExchange pictures_;
  FrameBuffer editedBuffer_;
  FrameImage edited_;
  std::vector<uint8_t> saved_;  // what Save wrote over the current frame shown; empty for none
};

}  // namespace vx
