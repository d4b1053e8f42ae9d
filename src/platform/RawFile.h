#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace vx {

// An open file with 64-bit offsets (raw video beyond 4 GiB is common at HD
// sizes). Move-only; closes itself.
class RawFile {
 public:
  RawFile() = default;
  ~RawFile();
  RawFile(RawFile&& other) noexcept;
  RawFile& operator=(RawFile&& other) noexcept;
  RawFile(const RawFile&) = delete;
  RawFile& operator=(const RawFile&) = delete;

  // Opens an existing file for reading.
  static std::optional<RawFile> OpenRead(const std::filesystem::path& path);
  // Opens an existing file for reading and writing in place.
  static std::optional<RawFile> OpenReadWrite(const std::filesystem::path& path);
  // Creates the file empty, replacing an existing one.
  static std::optional<RawFile> Create(const std::filesystem::path& path);

  bool IsOpen() const { return fd_ >= 0; }
  // Reads up to `count` bytes; returns how many were read (short only at the end
  // of the file or on an error).
  int64_t Read(void* data, int64_t count);
  // Writes all `count` bytes; false when the disk is full or writing fails.
  bool Write(const void* data, int64_t count);
  bool Seek(int64_t offset);
  int64_t Position() const;
  // Length in bytes, -1 when it cannot be determined.
  int64_t Length() const;
  // Flushes written data to the disk.
  bool Sync();
  void Close();

 private:
  explicit RawFile(int fd) : fd_(fd) {}
  int fd_ = -1;
};

// Length of a file by name, nullopt when it does not exist or is not readable.
std::optional<int64_t> FileLength(const std::filesystem::path& path);

}  // namespace vx
