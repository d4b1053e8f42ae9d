#pragma once

#include <atomic>

#include "player/FrameSequences.h"

namespace vx {

// The pixel editor's frames: one file, opened again for every frame, so what was
// written into it in place is what plays next. The frame as read stays in
// CurrentFrame() for the block editor.
class EditorSequence final : public FileListSequence {
 public:
  EditorSequence();
  bool Load(int64_t n) override;
  void Shown(int64_t n, bool first) override;
  // A run that got past frame 1 enters the file in the history.
  void Close() override;
  // The number of the frame last shown (1 before any playback).
  int64_t ShownFrame() const { return shown_.load(); }
  void SetShownFrame(int64_t n) { shown_ = n; }

 private:
  std::atomic<int64_t> shown_{1};
};

}  // namespace vx
