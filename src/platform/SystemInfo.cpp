#include "platform/SystemInfo.h"

#include <sys/statvfs.h>
#include <unistd.h>

namespace vx {

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
