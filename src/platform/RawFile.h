#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace vx {

// Which file a name reaches (symbolic links followed): two names with the same
// identity are one file.
struct FileIdentity {
  uint64_t device = 0, inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

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

  // Opens an existing regular file for reading. Anything else (a folder, a FIFO,
  // a device) is refused without blocking.
  static std::optional<RawFile> OpenRead(const std::filesystem::path& path);
  // Opens an existing regular file for reading and writing in place (never
  // creating it, never waiting on a FIFO).
  static std::optional<RawFile> OpenReadWrite(const std::filesystem::path& path);
  // Creates the file empty, replacing an existing one.
  static std::optional<RawFile> Create(const std::filesystem::path& path);

  // Takes over an open descriptor (tests and fuzzers reading from memory files).
  static RawFile Adopt(int fd) { return RawFile(fd); }

  bool IsOpen() const { return fd_ >= 0; }
  // The open descriptor, for mapping the file (MappedRegion).
  int Descriptor() const { return fd_; }
  // Reads up to `count` bytes; returns how many were read (short only at the end
  // of the file or on an error).
  int64_t Read(void* data, int64_t count);
  // Writes all `count` bytes; false when the disk is full or writing fails.
  bool Write(const void* data, int64_t count);
  bool Seek(int64_t offset);
  int64_t Position() const;
  // Length in bytes, -1 when it cannot be determined.
  int64_t Length() const;
  // Reads or writes at `offset` without moving the position; ReadAt returns the
  // bytes read, WriteAt whether all of them were written.
  int64_t ReadAt(int64_t offset, void* data, int64_t count) const;
  bool WriteAt(int64_t offset, const void* data, int64_t count);
  // Flushes written data to the disk.
  bool Sync();
  // Flushes the file's data (not its times) to the disk.
  bool SyncData();
  // Hands written data to the disk as it comes, `every` bytes at a time, without
  // waiting for it: a long output then needs little flushing when it is committed.
  void StartWritebackEvery(int64_t every) { writebackEvery_ = every; }
  // The file actually open, whatever its name reaches now.
  std::optional<FileIdentity> Identity() const;
  void Close();

 private:
  explicit RawFile(int fd) : fd_(fd) {}
  void StartWriteback(int64_t written);
  int fd_ = -1;
  int64_t writebackEvery_ = 0, writebackFrom_ = 0, writtenSince_ = 0;
};

// Length of a file by name, nullopt when it does not exist or is not readable.
std::optional<int64_t> FileLength(const std::filesystem::path& path);

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);

// Whether the name is an existing file that is not a regular one (a FIFO, a
// device, a folder).
bool ExistsButIsNotRegular(const std::filesystem::path& path);

// A file written under a temporary name beside its target and renamed over the
// target only when Commit succeeds: until then an earlier file of that name is
// left as it was, and a job that fails (or is killed) leaves no torn file under
// the target's name. A target that is a symbolic link has the file it points to
// replaced, not the link.
class AtomicOutput {
 public:
  static std::optional<AtomicOutput> Create(const std::filesystem::path& target);
  AtomicOutput(AtomicOutput&& other) noexcept { *this = std::move(other); }
  AtomicOutput& operator=(AtomicOutput&& other) noexcept;
  ~AtomicOutput() { Abandon(); }

  RawFile& file() { return file_; }
  // Flushes the file, renames it over the target and flushes the folder.
  bool Commit();
  // Removes the temporary file; the target stays as it was.
  void Abandon();
  const std::filesystem::path& temporary() const { return temporary_; }

 private:
  AtomicOutput() = default;
  RawFile file_;
  std::filesystem::path target_, temporary_;
  int slot_ = -1;  // where a signal handler finds the temporary name
};

// An advisory lock that serialises the program's instances over one file (its
// settings or history): held from Acquire to destruction. The lock lives in a
// companion file "<name>.lock" beside it.
class FileLock {
 public:
  static std::optional<FileLock> Acquire(const std::filesystem::path& file);
  FileLock(FileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileLock& operator=(FileLock&&) = delete;
  ~FileLock();

 private:
  explicit FileLock(int fd) : fd_(fd) {}
  int fd_ = -1;
};

// Replaces `file` with `text` through its fixed temporary name, flushing the file
// and its folder; a symbolic link keeps pointing where it did. False when writing
// failed (the old file is then left as it was), with the reason in `error`.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view text,
                         std::error_code* error = nullptr);
// Removes a temporary file that a killed save left behind.
void RemoveStaleTemporary(const std::filesystem::path& file);

// The start of the temporary names beside `target` that AtomicOutput writes
// (".NAME.velutrix-part"; each job adds ".PID.RANDOM" of its own).
std::filesystem::path TemporaryNameFor(const std::filesystem::path& target);
// The temporary files of `target` in its folder, of any job.
std::vector<std::filesystem::path> TemporariesOf(const std::filesystem::path& target);
// SIGTERM, SIGHUP and SIGINT remove the temporary files being written before the
// program ends as the signal says (signals the caller ignores stay ignored).
void RemoveTemporariesOnSignals();
// Flushes a folder's entries to the disk (after a rename).
bool SyncFolder(const std::filesystem::path& folder);

}  // namespace vx
