#pragma once

#include <cstdint>
#include <optional>

namespace vx {

// The processors this process may run on (its affinity: `taskset`, a container's
// CPU set), read once. Work is split between threads only when it is above 1.
int UsableCores();
// Total physical memory in kilobytes.
uint64_t PhysicalMemoryKilobytes();
// Free space of the current folder's file system in kilobytes; nullopt when it
// cannot be queried.
std::optional<uint64_t> FreeDiskKilobytes();

}  // namespace vx
