#include "platform/MappedRegion.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <utility>

namespace vx {
namespace {

// The live regions, for the SIGBUS handler: fixed slots, so that it neither
// allocates nor locks. A region without a slot is not mapped (it is read).
constexpr size_t kRegionSlots = 64;
struct RegionSlot {
  std::atomic<int> state{0};  // 0 free, 1 being filled, 2 live
  std::atomic<uintptr_t> begin{0}, end{0};
  std::atomic<bool> lost{false};
};
RegionSlot g_regions[kRegionSlots];
struct sigaction g_previous {};
uintptr_t g_pageSize = 4096;

int ClaimSlot(uintptr_t begin, uintptr_t end) {
  for (size_t i = 0; i < kRegionSlots; ++i) {
    int expected = 0;
    if (!g_regions[i].state.compare_exchange_strong(expected, 1)) continue;
    g_regions[i].begin = begin;
    g_regions[i].end = end;
    g_regions[i].lost = false;
    g_regions[i].state = 2;
    return static_cast<int>(i);
  }
  return -1;
}

// A SIGBUS that no fault of ours raised (sent by another program) gets the handling
// it had before, and this handler stays for the faults that follow.
void PassOn(int signal, siginfo_t* info, void* context) {
  if (g_previous.sa_handler == SIG_IGN) return;
  if ((g_previous.sa_flags & SA_SIGINFO) != 0 && g_previous.sa_sigaction) {
    g_previous.sa_sigaction(signal, info, context);
  } else if (g_previous.sa_handler != SIG_DFL) {
    g_previous.sa_handler(signal);
  } else {
    ::signal(signal, SIG_DFL);
    ::raise(signal);  // delivered, as the default ends the program, once this returns
  }
}

// A page of a live region that the file no longer holds becomes a page of zeros
// (the faulting read then runs again and reads them). Any other fault gets the
// handling it had before: the handler steps aside and the fault comes again.
// (mmap is not on POSIX's list of functions safe in a handler; on Linux it is a
// plain system call.)
extern "C" void OnBusError(int signal, siginfo_t* info, void* context) {
  if (info->si_code <= 0) {
    PassOn(signal, info, context);
    return;
  }
  const auto address = reinterpret_cast<uintptr_t>(info->si_addr);
  for (RegionSlot& slot : g_regions) {
    if (slot.state.load() != 2 || address < slot.begin.load() || address >= slot.end.load()) continue;
    void* page = reinterpret_cast<void*>(address & ~(g_pageSize - 1));
    if (::mmap(page, g_pageSize, PROT_READ | PROT_WRITE, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) !=
        MAP_FAILED) {
      slot.lost = true;
      return;
    }
    break;
  }
  ::sigaction(SIGBUS, &g_previous, nullptr);
  (void)signal;
  (void)context;
}

bool InstallHandler() {
  static const bool installed = [] {
    g_pageSize = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGBUS, &action, &g_previous) == 0;
  }();
  return installed;
}

}  // namespace

std::optional<MappedRegion> MappedRegion::Map(const RawFile& file, int64_t offset, int64_t length) {
  if (!file.IsOpen() || offset < 0 || length <= 0 || !InstallHandler()) return std::nullopt;
  const int64_t page = static_cast<int64_t>(g_pageSize);
  const int64_t start = offset / page * page;
  MappedRegion region;
  region.mapped_ = static_cast<size_t>(offset - start + length);
  // Private and writable: a tool that works on its input in place changes its own
  // copy of the page.
  region.base_ = ::mmap(nullptr, region.mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE, file.Descriptor(),
                        static_cast<off_t>(start));
  if (region.base_ == MAP_FAILED) {
    region.base_ = nullptr;
    return std::nullopt;
  }
  const auto begin = reinterpret_cast<uintptr_t>(region.base_);
  region.slot_ = ClaimSlot(begin, begin + region.mapped_);
  // The length is checked once the region is guarded: a file cut shorter after
  // this reads as zeros and is reported, one cut before is read instead.
  if (region.slot_ < 0 || file.Length() < offset + length) return std::nullopt;
  ::madvise(region.base_, region.mapped_, MADV_SEQUENTIAL);
  region.data_ = static_cast<uint8_t*>(region.base_) + (offset - start);
  region.size_ = length;
  return region;
}

MappedRegion& MappedRegion::operator=(MappedRegion&& other) noexcept {
  if (this != &other) {
    Unmap();
    base_ = std::exchange(other.base_, nullptr);
    mapped_ = std::exchange(other.mapped_, 0);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    slot_ = std::exchange(other.slot_, -1);
  }
  return *this;
}

bool MappedRegion::LostPages() const {
  return slot_ >= 0 && g_regions[static_cast<size_t>(slot_)].lost.load();
}

void MappedRegion::Unmap() {
  // The slot first: the owner touches the pages no more, and a region mapped at the
  // same address by another thread must not be taken for this one.
  if (slot_ >= 0) g_regions[static_cast<size_t>(slot_)].state = 0;
  if (base_) ::munmap(base_, mapped_);
  base_ = nullptr;
  data_ = nullptr;
  mapped_ = 0;
  size_ = 0;
  slot_ = -1;
}

}  // namespace vx
