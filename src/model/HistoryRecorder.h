#pragma once

// How a job enters the files it used in the history: through a recorder it is
// given (the program's history unless a caller gives another), so that jobs do
// not reach for the history store themselves and tests can see what they record.

#include <mutex>
#include <string>
#include <vector>

#include "image/ImageFormat.h"

namespace vx {

enum HistoryOperation : int32_t { kOpened = 0, kCreated = 1, kModified = 2 };

// One file with the layout it was used with and what was done to it.
struct FileRecord {
  std::string path;
  ImageFormat format;
  HistoryOperation operation = kOpened;
  bool operator==(const FileRecord&) const = default;
};

class HistoryRecorder {
 public:
  virtual ~HistoryRecorder() = default;
  // Called from worker threads too.
  virtual void Record(const FileRecord& record) = 0;
};

// The program's history (FileHistory()), each record stamped with the time it
// was made.
HistoryRecorder& ProgramHistory();

// Keeps every record in order, for tests.
class RecordingHistory final : public HistoryRecorder {
 public:
  void Record(const FileRecord& record) override {
    std::lock_guard lock(mutex_);
    records_.push_back(record);
  }
  std::vector<FileRecord> Records() const {
    std::lock_guard lock(mutex_);
    return records_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<FileRecord> records_;
};

}  // namespace vx
