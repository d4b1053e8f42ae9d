#pragma once

// Part of a file read through the page cache in place, without copying it into a
// buffer of the program's own. Writing to the view changes only the program's
// private copy of a page, never the file.
//
// A mapped file can lose pages while the program looks at them (another program
// truncates it): touching such a page would end the program with SIGBUS. Here it
// reads as zeros instead, and the region says it lost pages, so that the job can
// fail with a read error.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/RawFile.h"

namespace vx {

class MappedRegion {
 public:
  // Bytes [offset, offset + length) of `file`, which must hold all of them;
  // nullopt when they cannot be mapped (the caller reads them instead).
  static std::optional<MappedRegion> Map(const RawFile& file, int64_t offset, int64_t length);
  MappedRegion(MappedRegion&& other) noexcept { *this = std::move(other); }
  MappedRegion& operator=(MappedRegion&& other) noexcept;
  MappedRegion(const MappedRegion&) = delete;
  MappedRegion& operator=(const MappedRegion&) = delete;
  ~MappedRegion() { Unmap(); }

  uint8_t* data() const { return data_; }
  int64_t size() const { return size_; }
  // Whether a page had gone from the file when it was touched (it read as zeros).
  bool LostPages() const;

 private:
  MappedRegion() = default;
  void Unmap();
  void* base_ = nullptr;
  size_t mapped_ = 0;
  uint8_t* data_ = nullptr;
  int64_t size_ = 0;
  int slot_ = -1;  // where the SIGBUS handler finds the region
};

}  // namespace vx
