#include "image/ReadAhead.h"

#include <algorithm>

#include "image/FrameFile.h"
#include "platform/FaultInjection.h"
#include "platform/HelperThread.h"
#include "platform/SystemInfo.h"

namespace vx {
namespace {

// Below this a block is read on one thread: handing half over would cost more
// than it saves.
constexpr int64_t kReadBothFrom = int64_t{256} << 10;

}  // namespace

bool ReadAhead::Start(std::vector<RawFile*> files, std::vector<int64_t> sizes, std::vector<bool> framed) {
  files_ = std::move(files);
  sizes_ = std::move(sizes);
  framed_ = std::move(framed);
  framed_.resize(files_.size(), false);
  for (Slot& slot : slots_) {
    slot.buffers.resize(files_.size());
    slot.got.assign(files_.size(), 0);
    slot.missingLine.assign(files_.size(), 0);
    for (size_t i = 0; i < files_.size(); ++i) {
      if (!slot.buffers[i].Allocate(sizes_[i])) return false;
    }
  }
  started_ = true;
  // On one processor a reading thread would only take turns with the caller: each
  // set is then read when it is asked for.
  if (UsableCores() > 1) worker_ = std::thread([this] { Work(); });
  return true;
}

ReadAhead::~ReadAhead() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    quit_ = true;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void ReadAhead::Work() {
  int fill = 0;
  for (;;) {
    {
      std::unique_lock<std::mutex> guard(lock_);
      changed_.wait(guard, [&] { return quit_ || !slots_[fill].filled; });
      if (quit_) return;
    }
    // The slot is the worker's until it is marked filled.
    Slot& slot = slots_[fill];
    Fill(slot);
    const bool last = slot.last;
    {
      std::lock_guard<std::mutex> guard(lock_);
      slot.filled = true;
    }
    changed_.notify_all();
    if (last) return;
    fill = 1 - fill;
  }
}

void ReadAhead::Fill(Slot& slot) {
  slot.last = false;
  slot.failedFile = -1;
  // After a failed read nothing more is read; after the end of one file the others
  // still give their blocks of this set (a caller reading frames in blocks compares
  // what both files hold).
  size_t reading = files_.size();
  for (size_t i = 0; i < files_.size(); ++i) {
    slot.got[i] = 0;
    slot.missingLine[i] = 0;
    // A read that throws ends reading here (an exception leaving this thread would
    // end the program); the caller learns of it from FailedFile.
    if (reading < files_.size()) continue;
    try {
      testhooks::CountDown(testhooks::badAllocAtReadBlock);
    } catch (...) {
      slot.failedFile = static_cast<int>(i);
      reading = i;
    }
  }
  const auto readBlock = [&](size_t i) {
    if (framed_[i]) {
      RawFile& file = *files_[i];
      const int64_t at = file.Position();
      const auto line = at < 0 ? std::nullopt : ReadFrameLine(file, at);
      if (!line || !file.Seek(at + *line)) {
        slot.missingLine[i] = at >= 0 && at < file.Length();  // no line, but bytes: damage
        return;
      }
    }
    FrameImage block;
    block.Data = slot.buffers[i].data();
    block.DataSize = static_cast<int32_t>(sizes_[i]);
    block.Capacity = sizes_[i];
    slot.got[i] = ReadFrame(*files_[i], block);
  };
  try {
    // Copying from the page cache is most of a read: two files' blocks are copied on
    // two processors at once.
    if (reading >= 2 && sizes_[0] >= kReadBothFrom && UsableCores() > 1) {
      RunAlongside([&] { readBlock(0); },
                   [&] {
                     for (size_t i = 1; i < reading; ++i) readBlock(i);
                   });
    } else {
      for (size_t i = 0; i < reading; ++i) readBlock(i);
    }
  } catch (...) {
    slot.failedFile = 0;
    reading = 0;
    std::fill(slot.got.begin(), slot.got.end(), 0);
  }
  if (slot.failedFile >= 0) slot.last = true;
  for (size_t i = 0; i < files_.size(); ++i) {
    if (slot.got[i] < sizes_[i]) slot.last = true;
  }
}

bool ReadAhead::Next(std::vector<const uint8_t*>& blocks, std::vector<int64_t>& got) {
  std::unique_lock<std::mutex> guard(lock_);
  if (held_ >= 0) {
    slots_[held_].filled = false;  // back to the worker
    held_ = -1;
    changed_.notify_all();
  }
  if (ended_ || !started_) return false;
  if (!worker_.joinable()) {
    Fill(slots_[next_]);
    slots_[next_].filled = true;
  }
  changed_.wait(guard, [&] { return slots_[next_].filled; });
  Slot& slot = slots_[next_];
  blocks.clear();
  for (FrameBuffer& buffer : slot.buffers) blocks.push_back(buffer.data());
  got = slot.got;
  held_ = next_;
  ended_ = slot.last;
  if (slot.failedFile >= 0) failedFile_ = slot.failedFile;
  for (size_t i = 0; i < slot.missingLine.size() && missingLine_ < 0; ++i) {
    if (slot.missingLine[i]) missingLine_ = static_cast<int>(i);
  }
  next_ = 1 - next_;
  return true;
}

}  // namespace vx
