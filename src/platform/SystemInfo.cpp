#include "platform/SystemInfo.h"

#include <sched.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <thread>

namespace vx {

int UsableCores() {
  static const int cores = [] {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
    return static_cast<int>(std::thread::hardware_concurrency());
  }();
  return cores;
}

uint64_t PhysicalMemoryKilobytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) / 1024;
}

std::optional<uint64_t> FreeDiskKilobytes() {
  struct statvfs info {};
  if (statvfs(".", &info) != 0) return std::nullopt;
  return static_cast<uint64_t>(info.f_bavail) * info.f_frsize / 1024;
}

}  // namespace vx
