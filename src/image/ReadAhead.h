#pragma once

// Reads the next block of each of several files on a thread of its own while the
// caller works on the blocks before: two sets of buffers in turn (on one processor,
// each set when it is asked for).

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "image/FrameImage.h"
#include "platform/RawFile.h"

namespace vx {

class ReadAhead {
 public:
  // Blocks of sizes[i] bytes from files[i], from each file's current position.
  // With framed[i], each block of files[i] is a Y4M frame's samples: the FRAME
  // line before it (of any length) is passed over first. False (nothing started)
  // when the buffers cannot be had.
  bool Start(std::vector<RawFile*> files, std::vector<int64_t> sizes, std::vector<bool> framed = {});
  ~ReadAhead();

  // The next set: each file's block and the bytes read into it (fewer at the end
  // of a file; every file is read in the set where one ends). Valid until the
  // next call; false when reading has ended (a short block was the last set).
  bool Next(std::vector<const uint8_t*>& blocks, std::vector<int64_t>& got);
  // The index of the file whose read failed in a set Next has handed out, -1 when
  // none has. A failed read ends reading like a short block, so that this is how
  // a caller tells an error from the end of a file.
  int FailedFile() const { return failedFile_; }
  // The index of a framed file that had bytes but no FRAME line where a block
  // was to start, in a set Next has handed out (-1 when none); reading ended
  // there like at the end of a file.
  int MissingLineFile() const { return missingLine_; }

 private:
  struct Slot {
    std::vector<FrameBuffer> buffers;
    std::vector<int64_t> got;
    bool filled = false;
    bool last = false;                 // a block came short: no set after this one
    int failedFile = -1;               // the file whose read threw
    std::vector<uint8_t> missingLine;  // per file: a framed file's line was not there
  };
  void Work();
  // Reads the next block of each file into `slot` (the worker's own until filled).
  void Fill(Slot& slot);

  std::vector<RawFile*> files_;
  std::vector<int64_t> sizes_;
  std::vector<bool> framed_;
  Slot slots_[2];
  int next_ = 0;          // the slot the caller takes next
  int held_ = -1;         // the slot the caller holds, freed by the next call
  bool ended_ = false;    // the caller has had the last set
  int failedFile_ = -1;   // the caller's: from the sets it has had
  int missingLine_ = -1;  // likewise
  std::mutex lock_;
  std::condition_variable changed_;
  bool quit_ = false;
  bool started_ = false;  // buffers had: sets can be asked for
  std::thread worker_;    // none on one processor
};

}  // namespace vx
