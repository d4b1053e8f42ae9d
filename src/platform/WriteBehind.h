#pragma once

// Writes handed over by a job run on a thread of their own, in the order given,
// so that writing a frame overlaps making the next one. The caller keeps each
// handed-over block untouched until Wait(ticket) says it was written.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/RawFile.h"

namespace vx {

class WriteBehind {
 public:
  WriteBehind() = default;
  ~WriteBehind();
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;

  // Queues `count` bytes at `data` for `file`; returns the ticket of this write.
  // `tag` names the write in a failure (the job's output index).
  uint64_t Write(RawFile& file, const uint8_t* data, int64_t count, int tag);
  // Waits until the write of `ticket` and all before it are done.
  void Wait(uint64_t ticket);
  // Waits until every queued write is done.
  void Drain();
  // Whether a queued write is not done yet.
  bool Busy() const;
  // The tag of the first write that failed (-1 while none has); later writes to
  // any file are dropped after a failure.
  int FailedTag() const;
  // Forgets a failure once every queued write is done (a new run of the job).
  void ClearFailure();

 private:
  struct Job {
    RawFile* file;
    const uint8_t* data;
    int64_t count;
    int tag;
  };
  void Work();

  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::deque<Job> queue_;
  uint64_t queued_ = 0, done_ = 0;
  int failedTag_ = -1;
  bool quit_ = false;
  std::thread worker_;  // started by the first write
};

}  // namespace vx
