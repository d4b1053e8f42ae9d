#include "platform/RawFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace vx {
namespace {

// Single read/write calls are kept below 1 GiB; larger requests loop.
constexpr int64_t kMaxChunk = int64_t{1} << 30;

}  // namespace

RawFile::~RawFile() {
  Close();
}

RawFile::RawFile(RawFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

RawFile& RawFile::operator=(RawFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

std::optional<RawFile> RawFile::OpenRead(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  return RawFile(fd);
}

std::optional<RawFile> RawFile::OpenReadWrite(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  return RawFile(fd);
}

std::optional<RawFile> RawFile::Create(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return std::nullopt;
  return RawFile(fd);
}

int64_t RawFile::Read(void* data, int64_t count) {
  if (fd_ < 0 || count <= 0) return 0;
  auto* bytes = static_cast<char*>(data);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(fd_, bytes + done, static_cast<size_t>(std::min(count - done, kMaxChunk)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

bool RawFile::Write(const void* data, int64_t count) {
  if (fd_ < 0 || count < 0) return false;
  const auto* bytes = static_cast<const char*>(data);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd_, bytes + done, static_cast<size_t>(std::min(count - done, kMaxChunk)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

bool RawFile::Seek(int64_t offset) {
  return fd_ >= 0 && offset >= 0 && ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == offset;
}

int64_t RawFile::Position() const {
  return fd_ < 0 ? -1 : static_cast<int64_t>(::lseek(fd_, 0, SEEK_CUR));
}

int64_t RawFile::Length() const {
  struct stat info {};
  if (fd_ < 0 || ::fstat(fd_, &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

bool RawFile::Sync() {
  return fd_ >= 0 && ::fsync(fd_) == 0;
}

void RawFile::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

std::optional<int64_t> FileLength(const std::filesystem::path& path) {
  auto file = RawFile::OpenRead(path);
  if (!file) return std::nullopt;
  const int64_t length = file->Length();
  if (length < 0) return std::nullopt;
  return length;
}

}  // namespace vx
