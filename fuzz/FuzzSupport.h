#pragma once

// Shared by the fuzz targets: a memory file to hand bytes to readers that take a
// file, and a sink that drops the messages the parsers show.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/MessageSink.h"
#include "platform/RawFile.h"

namespace vx::fuzz {

class DropMessages final : public MessageSink {
 public:
  void Show(std::string_view, std::string_view) override {}
};

inline void InstallQuietSink() {
  static DropMessages sink;
  InstallMessageSink(&sink);
}

// One memory file holding the bytes of the current input.
inline int MemoryFileWith(const uint8_t* data, size_t size) {
  static const int memory = ::memfd_create("velutrix-fuzz", 0);
  if (memory < 0) std::abort();
  if (::ftruncate(memory, 0) != 0 || ::pwrite(memory, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
  return memory;
}

// The bytes under a file name (for readers that open by name).
inline std::string PathWith(const uint8_t* data, size_t size) {
  return "/proc/self/fd/" + std::to_string(MemoryFileWith(data, size));
}

// The bytes as an open file positioned at its start.
inline RawFile FileWith(const uint8_t* data, size_t size) {
  const int fd = ::dup(MemoryFileWith(data, size));
  ::lseek(fd, 0, SEEK_SET);
  return RawFile::Adopt(fd);
}

}  // namespace vx::fuzz
