#include "platform/RawFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>

namespace vx {
namespace {

// Single read/write calls are kept below 1 GiB; larger requests loop.
constexpr int64_t kMaxChunk = int64_t{1} << 30;

}  // namespace

RawFile::~RawFile() {
  Close();
}

RawFile::RawFile(RawFile&& other) noexcept {
  *this = std::move(other);
}

RawFile& RawFile::operator=(RawFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    writebackEvery_ = std::exchange(other.writebackEvery_, 0);
    writebackFrom_ = std::exchange(other.writebackFrom_, 0);
    writtenSince_ = std::exchange(other.writtenSince_, 0);
  }
  return *this;
}

namespace {

// Opens an existing regular file without blocking (opening a FIFO would wait for
// its other end); anything else is refused.
int OpenRegular(const std::filesystem::path& path, int access) {
  const int fd = ::open(path.c_str(), access | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

}  // namespace

std::optional<RawFile> RawFile::OpenRead(const std::filesystem::path& path) {
  const int fd = OpenRegular(path, O_RDONLY);
  if (fd < 0) return std::nullopt;
  return RawFile(fd);
}

std::optional<RawFile> RawFile::OpenReadWrite(const std::filesystem::path& path) {
  const int fd = OpenRegular(path, O_RDWR);
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
  if (writebackEvery_ > 0) StartWriteback(count);
  return true;
}

void RawFile::StartWriteback(int64_t written) {
  writtenSince_ += written;
  if (writtenSince_ < writebackEvery_) return;
  // Only starts the writing; a full queue may hold this call a moment, which paces
  // the job to the disk instead of piling up dirty pages for the final flush.
  ::sync_file_range(fd_, writebackFrom_, writtenSince_, SYNC_FILE_RANGE_WRITE);
  writebackFrom_ += writtenSince_;
  writtenSince_ = 0;
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

int64_t RawFile::ReadAt(int64_t offset, void* data, int64_t count) const {
  if (fd_ < 0 || offset < 0 || count <= 0) return 0;
  auto* bytes = static_cast<char*>(data);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd_, bytes + done, static_cast<size_t>(std::min(count - done, kMaxChunk)),
                              static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

bool RawFile::WriteAt(int64_t offset, const void* data, int64_t count) {
  if (fd_ < 0 || offset < 0 || count < 0) return false;
  const auto* bytes = static_cast<const char*>(data);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::pwrite(fd_, bytes + done, static_cast<size_t>(std::min(count - done, kMaxChunk)),
                               static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

bool RawFile::Sync() {
  return fd_ >= 0 && ::fsync(fd_) == 0;
}

bool RawFile::SyncData() {
  return fd_ >= 0 && ::fdatasync(fd_) == 0;
}

void RawFile::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

std::optional<FileIdentity> RawFile::Identity() const {
  struct stat info {};
  if (fd_ < 0 || ::fstat(fd_, &info) != 0) return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

bool ExistsButIsNotRegular(const std::filesystem::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

std::filesystem::path TemporaryNameFor(const std::filesystem::path& target) {
  std::string name(1, '.');
  name.append(target.filename().string()).append(".velutrix-part");
  return target.parent_path() / name;
}

std::vector<std::filesystem::path> TemporariesOf(const std::filesystem::path& target) {
  std::vector<std::filesystem::path> found;
  const std::string prefix = TemporaryNameFor(target).filename().string();
  const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (name == prefix || name.rfind(prefix + ".", 0) == 0) found.push_back(target.parent_path() / name);
  }
  return found;
}

namespace {

// The process that made a temporary name ".NAME.velutrix-part.PID.RANDOM"; 0 for
// a name without one (left by an older version of the program).
pid_t OwnerOf(const std::filesystem::path& temporary, const std::filesystem::path& target) {
  const std::string name = temporary.filename().string();
  const size_t start = TemporaryNameFor(target).filename().string().size() + 1;
  if (name.size() <= start) return 0;
  char* end = nullptr;
  const long pid = std::strtol(name.c_str() + start, &end, 10);
  return end && *end == '.' && pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
}

// Temporary files of `target` whose job is gone (killed before it could remove
// them); those of running jobs, this one's among them, stay.
void RemoveDeadTemporaries(const std::filesystem::path& target) {
  for (const auto& temporary : TemporariesOf(target)) {
    const pid_t owner = OwnerOf(temporary, target);
    if (owner == ::getpid()) continue;
    if (owner > 0 && (::kill(owner, 0) == 0 || errno != ESRCH)) continue;
    ::unlink(temporary.c_str());
  }
}

std::string RandomSuffix() {
  static std::atomic<uint64_t> counter{0};
  std::random_device device;
  const uint64_t bits = (uint64_t{device()} << 32) ^ device() ^ (++counter * 0x9E3779B97F4A7C15ull);
  char text[32];
  std::snprintf(text, sizeof text, ".%d.%016llx", static_cast<int>(::getpid()),
                static_cast<unsigned long long>(bits));
  return text;
}

int RegisterTemporary(const std::filesystem::path& path);
void UnregisterTemporary(int slot);

struct CreatedTemporary {
  RawFile file;
  std::filesystem::path name;
  int slot;  // RegisterTemporary's
};

// A new file under a name nobody else has: created exclusively, never through a
// link planted under that name. The name is registered for the signal handler
// before the file exists, so that a signal never finds the file unregistered.
std::optional<CreatedTemporary> CreateUnique(const std::filesystem::path& prefix) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::filesystem::path name = prefix;
    name += RandomSuffix();
    const int slot = RegisterTemporary(name);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) return CreatedTemporary{RawFile::Adopt(fd), std::move(name), slot};
    const int failure = errno;
    UnregisterTemporary(slot);
    if (failure != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

// The temporary files being written, for a signal that ends the program: fixed
// slots, so the handler neither allocates nor locks.
constexpr size_t kTemporarySlots = 64;
struct TemporarySlot {
  std::atomic<int> state{0};  // 0 free, 1 being filled, 2 live
  char path[PATH_MAX] = {};
};
TemporarySlot g_temporaries[kTemporarySlots];

int RegisterTemporary(const std::filesystem::path& path) {
  const std::string& text = path.native();
  if (text.size() >= PATH_MAX) return -1;
  for (size_t i = 0; i < kTemporarySlots; ++i) {
    int expected = 0;
    if (!g_temporaries[i].state.compare_exchange_strong(expected, 1)) continue;
    std::memcpy(g_temporaries[i].path, text.c_str(), text.size() + 1);
    g_temporaries[i].state = 2;
    return static_cast<int>(i);
  }
  return -1;  // more outputs than slots: such a file is only left by a signal
}

void UnregisterTemporary(int slot) {
  if (slot >= 0) g_temporaries[static_cast<size_t>(slot)].state = 0;
}

extern "C" void RemoveTemporariesAndDie(int signal) {
  for (TemporarySlot& slot : g_temporaries) {
    if (slot.state.load() == 2) ::unlink(slot.path);
  }
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

void RemoveTemporariesOnSignals() {
  for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
    struct sigaction current {};
    // A signal the caller chose to ignore (nohup) stays ignored.
    if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndDie;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
  }
}

bool SyncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

namespace {

// Written data is handed to the disk in steps of this size while a job runs, so
// that committing a long output does not wait for all of it at once.
constexpr int64_t kWritebackStep = int64_t{16} << 20;

// The cached pages of the file about to be replaced serve nobody once the new one
// is renamed over it: dropping them now (the file itself is untouched) gives the
// new output pages the system just freed, instead of fresh ones, which on a
// virtual machine cost a fault in the host each.
void ForgetCachedPages(const std::filesystem::path& replaced) {
  const int fd = ::open(replaced.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
  if (fd < 0) return;
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  ::close(fd);
}

// Through a link, the file it points to is the one replaced; the link stays.
std::optional<std::filesystem::path> ReplacedFile(const std::filesystem::path& target) {
  std::error_code error;
  if (!std::filesystem::is_symlink(target, error)) return target;
  std::filesystem::path resolved = std::filesystem::weakly_canonical(target, error);
  if (error) return std::nullopt;
  return resolved;
}

}  // namespace

std::optional<FileLock> FileLock::Acquire(const std::filesystem::path& file) {
  const std::string name = file.string() + ".lock";
  const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(fd);
      return std::nullopt;
    }
  }
  return FileLock(fd);
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

bool WriteFileAtomically(const std::filesystem::path& file, std::string_view text, std::error_code* error) {
  // errno is cleared before each step, so that a step failing without setting it
  // is not blamed on an earlier call's leftover.
  const auto failed = [&] {
    if (error) *error = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
    return false;
  };
  errno = 0;
  auto output = AtomicOutput::Create(file);
  if (!output) return failed();
  errno = 0;
  if (!output->file().Write(text.data(), static_cast<int64_t>(text.size()))) return failed();
  errno = 0;
  if (!output->Commit()) return failed();
  return true;
}

void RemoveStaleTemporary(const std::filesystem::path& file) {
  if (const auto resolved = ReplacedFile(file)) RemoveDeadTemporaries(*resolved);
}

std::optional<AtomicOutput> AtomicOutput::Create(const std::filesystem::path& target) {
  const auto resolved = ReplacedFile(target);
  if (!resolved) return std::nullopt;
  AtomicOutput output;
  if (ExistsButIsNotRegular(*resolved)) {
    // A device or a FIFO (/dev/null, a pipe to another program) is written as it
    // is, never replaced; a FIFO without a reader is refused instead of waited for.
    const int fd = ::open(resolved->c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
      ::close(fd);
      return std::nullopt;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    output.file_ = RawFile::Adopt(fd);
    output.target_ = *resolved;
    return output;
  }
  output.target_ = *resolved;
  RemoveDeadTemporaries(*resolved);
  // A name of this job's own beside the target: two jobs on one target never share
  // a file, and the rename is the only step that touches the target's name.
  auto created = CreateUnique(TemporaryNameFor(*resolved));
  if (!created) return std::nullopt;
  output.file_ = std::move(created->file);
  output.temporary_ = std::move(created->name);
  output.slot_ = created->slot;
  output.file_.StartWritebackEvery(kWritebackStep);
  ForgetCachedPages(*resolved);
  return output;
}

AtomicOutput& AtomicOutput::operator=(AtomicOutput&& other) noexcept {
  if (this != &other) {
    Abandon();
    file_ = std::move(other.file_);
    target_ = std::move(other.target_);
    temporary_ = std::move(other.temporary_);
    slot_ = std::exchange(other.slot_, -1);
    other.temporary_.clear();
  }
  return *this;
}

bool AtomicOutput::Commit() {
  if (!file_.IsOpen()) return false;
  if (temporary_.empty()) {  // written in place (a device)
    file_.Close();
    return true;
  }
  const bool flushed = file_.Sync();
  const int syncError = errno;
  file_.Close();
  if (!flushed || std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    const int why = flushed ? errno : syncError;
    Abandon();
    errno = why;  // for the caller's message
    return false;
  }
  UnregisterTemporary(std::exchange(slot_, -1));
  temporary_.clear();
  SyncFolder(target_.parent_path());
  return true;
}

void AtomicOutput::Abandon() {
  file_.Close();
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    UnregisterTemporary(std::exchange(slot_, -1));
    temporary_.clear();
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
