#pragma once

// Failures a test arms to see how a worker ends when its work throws. Each is a
// countdown: set to n, the n-th check from then on throws std::bad_alloc and
// disarms it. Unarmed, a check is one relaxed atomic load.

#include <atomic>
#include <new>

namespace vx::testhooks {

inline std::atomic<int> badAllocAtFrameStep{0};  // a tool job's frame steps
inline std::atomic<int> badAllocAtWrite{0};      // the writes of WriteBehind's thread
inline std::atomic<int> badAllocAtReadBlock{0};  // the block reads of ReadAhead's thread

// Called with the file's descriptor when a frame has been read in place (mapped),
// before it is used: a test cuts the file there as another program might.
inline void (*afterInPlaceRead)(int descriptor) = nullptr;
// Frames that could be compared in place are read in blocks instead.
inline std::atomic<bool> compareFromBlocks{false};

inline void CountDown(std::atomic<int>& countdown) {
  int left = countdown.load(std::memory_order_relaxed);
  while (left > 0) {
    if (countdown.compare_exchange_weak(left, left - 1, std::memory_order_relaxed)) {
      if (left == 1) throw std::bad_alloc();
      return;
    }
  }
}

}  // namespace vx::testhooks
