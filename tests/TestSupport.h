#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "image/ImageFormat.h"
#include "tools/JobRun.h"

namespace vx {

// Job states in the tests' failure messages.
inline std::ostream& operator<<(std::ostream& out, JobState state) {
  switch (state) {
    case JobState::Stopped:
      return out << "Stopped";
    case JobState::Paused:
      return out << "Paused";
    case JobState::Running:
      return out << "Running";
  }
  return out << static_cast<int>(state);
}

}  // namespace vx

namespace vx::test {

// A fresh folder removed with everything in it when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Sets an environment variable (or unsets it with nullopt) and restores it.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, std::optional<std::string> value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

std::string ReadFileText(const std::filesystem::path& path);
void WriteFileText(const std::filesystem::path& path, const std::string& text);
std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// Deterministic pseudo-random bytes.
std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed);
// Writes `frames` frames of `layout` (plus `tail` bytes) of RandomBytes to `path`.
std::filesystem::path WriteRandomClip(const std::filesystem::path& path, const ImageFormat& layout,
                                      int frames, uint32_t seed, size_t tail = 0);

// The names of the entries of a folder, sorted.
std::vector<std::string> FileNamesIn(const std::filesystem::path& folder);

// One of the fault countdowns (platform/FaultInjection.h) armed for a scope and
// disarmed at its end, whether it fired or not.
class ArmedFault {
 public:
  ArmedFault(std::atomic<int>& countdown, int n) : countdown_(countdown) { countdown_ = n; }
  ~ArmedFault() { countdown_ = 0; }
  ArmedFault(const ArmedFault&) = delete;
  ArmedFault& operator=(const ArmedFault&) = delete;
  bool Fired() const { return countdown_ == 0; }

 private:
  std::atomic<int>& countdown_;
};

}  // namespace vx::test
