#include "platform/CpuFlags.h"

#include <atomic>

namespace vx {
namespace {

int DetectedFlags() {
  int flags = 0;
#if defined(__x86_64__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) flags |= kCpuHasAvx2;
#endif
  return flags;
}

int Detected() {
  static const int flags = DetectedFlags();
  return flags;
}

std::atomic<int> mask{-1};

}  // namespace

bool TestCpuFlag(int flag) {
  return (Detected() & mask.load(std::memory_order_relaxed) & flag) != 0;
}

int MaskCpuFlags(int newMask) {
  mask.store(newMask, std::memory_order_relaxed);
  return Detected() & newMask;
}

}  // namespace vx
