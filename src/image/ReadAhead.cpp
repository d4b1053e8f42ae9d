#include "image/ReadAhead.h"

namespace vx {

bool ReadAhead::Start(std::vector<RawFile*> files, std::vector<int64_t> sizes) {
  files_ = std::move(files);
  sizes_ = std::move(sizes);
  for (Slot& slot : slots_) {
    slot.buffers.resize(files_.size());
    slot.got.assign(files_.size(), 0);
    for (size_t i = 0; i < files_.size(); ++i) {
      if (!slot.buffers[i].Allocate(sizes_[i])) return false;
    }
  }
  worker_ = std::thread([this] { Work(); });
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
    bool last = false;
    for (size_t i = 0; i < files_.size(); ++i) {
      FrameImage block;
      block.Data = slot.buffers[i].data();
      block.DataSize = static_cast<int32_t>(sizes_[i]);
      block.Capacity = sizes_[i];
      slot.got[i] = last ? 0 : ReadFrame(*files_[i], block);
      if (slot.got[i] < sizes_[i]) last = true;
    }
    {
      std::lock_guard<std::mutex> guard(lock_);
      slot.last = last;
      slot.filled = true;
    }
    changed_.notify_all();
    if (last) return;
    fill = 1 - fill;
  }
}

bool ReadAhead::Next(std::vector<const uint8_t*>& blocks, std::vector<int64_t>& got) {
  std::unique_lock<std::mutex> guard(lock_);
  if (held_ >= 0) {
    slots_[held_].filled = false;  // back to the worker
    held_ = -1;
    changed_.notify_all();
  }
  if (ended_ || !worker_.joinable()) return false;
  changed_.wait(guard, [&] { return slots_[next_].filled; });
  Slot& slot = slots_[next_];
  blocks.clear();
  for (FrameBuffer& buffer : slot.buffers) blocks.push_back(buffer.data());
  got = slot.got;
  held_ = next_;
  ended_ = slot.last;
  next_ = 1 - next_;
  return true;
}

}  // namespace vx
