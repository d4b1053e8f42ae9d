#include "platform/WriteBehind.h"

#include "platform/FaultInjection.h"
#include "platform/SystemInfo.h"

namespace vx {
namespace {

// A write that throws has failed like one that returned false: an exception
// leaving the writer's thread would end the program.
bool WriteOrFail(RawFile& file, const uint8_t* data, int64_t count) {
  try {
    testhooks::CountDown(testhooks::badAllocAtWrite);
    return file.Write(data, count);
  } catch (...) {
    return false;
  }
}

}  // namespace

WriteBehind::~WriteBehind() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    quit_ = true;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

uint64_t WriteBehind::Write(RawFile& file, const uint8_t* data, int64_t count, int tag) {
  uint64_t ticket = 0;
  if (UsableCores() < 2) {
    // On one processor the writer would only take turns with the job: written here,
    // in order (nothing is ever queued), with the same failure rule.
    std::lock_guard<std::mutex> guard(lock_);
    if (failedTag_ < 0 && !WriteOrFail(file, data, count)) failedTag_ = tag;
    ++done_;
    return ++queued_;
  }
  {
    std::lock_guard<std::mutex> guard(lock_);
    // The thread first: a write queued with no thread to do it would never be done.
    if (!worker_.joinable()) worker_ = std::thread([this] { Work(); });
    queue_.push_back({&file, data, count, tag});
    ticket = ++queued_;
  }
  changed_.notify_all();
  return ticket;
}

void WriteBehind::Wait(uint64_t ticket) {
  std::unique_lock<std::mutex> guard(lock_);
  changed_.wait(guard, [&] { return done_ >= ticket; });
}

void WriteBehind::Drain() {
  std::unique_lock<std::mutex> guard(lock_);
  changed_.wait(guard, [&] { return done_ >= queued_; });
}

bool WriteBehind::Busy() const {
  std::lock_guard<std::mutex> guard(lock_);
  return done_ < queued_;
}

void WriteBehind::ClearFailure() {
  Drain();
  std::lock_guard<std::mutex> guard(lock_);
  failedTag_ = -1;
}

int WriteBehind::FailedTag() const {
  std::lock_guard<std::mutex> guard(lock_);
  return failedTag_;
}

void WriteBehind::Work() {
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    changed_.wait(guard, [&] { return quit_ || !queue_.empty(); });
    if (queue_.empty()) return;  // quit with nothing left
    const Job job = queue_.front();
    const bool skip = failedTag_ >= 0;
    guard.unlock();
    const bool written = skip || WriteOrFail(*job.file, job.data, job.count);
    guard.lock();
    queue_.pop_front();
    if (!written && failedTag_ < 0) failedTag_ = job.tag;
    ++done_;
    changed_.notify_all();
  }
}

}  // namespace vx
