#pragma once

#include "model/HistoryRecorder.h"
#include "player/FrameSequences.h"

namespace vx {

// The pixel editor's frames: one file, opened again for every frame, so what was
// written into it in place is what plays next. The window edits copies of the
// frame shown (Snapshot) and writes them back through WriteShownFrame; frames of
// deeper samples keep their stored bytes, to be edited at full depth.
class EditorSequence final : public FileListSequence {
 public:
  // `history` (non-owning) must outlive the sequence.
  explicit EditorSequence(HistoryRecorder& history = ProgramHistory());
  bool Load(int64_t n) override;
  // A run that got past frame 1 enters the file in the history.
  void Close() override;

 private:
  HistoryRecorder& history_;
};

}  // namespace vx
