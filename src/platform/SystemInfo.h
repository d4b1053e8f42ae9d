#pragma once

#include <cstdint>
#include <optional>

namespace vx {

// Total physical memory in kilobytes.
uint64_t PhysicalMemoryKilobytes();
// Free space of the current folder's file system in kilobytes; nullopt when it
// cannot be queried.
std::optional<uint64_t> FreeDiskKilobytes();

}  // namespace vx
