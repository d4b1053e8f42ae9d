#pragma once

// The files the program has opened, created or modified, with the layout they
// were used with, most recent first, one record per path.

#include <array>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_set>
#include <vector>

#include "image/FrameImage.h"
#include "model/HistoryRecorder.h"

namespace vx {

struct HistoryTime {
  int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  bool operator==(const HistoryTime&) const = default;
};
HistoryTime LocalTimeNow();

struct CFileHistoryInfo {
  std::string fileName;
  int32_t Fourcc = 0;
  int32_t SamplingFormat = 0;
  int32_t ComponentOrder = 0;
  int32_t FieldFormat = 0;
  int32_t PixelFormat = 0;
  int32_t ImageResolution = 0;
  int32_t ImgWidth = 0;
  int32_t ImgHeight = 0;
  int32_t operation = kOpened;
  HistoryTime openTime;
  uint64_t id = 0;  // identity within this run, for removing exactly the selected records
  // The time field exactly as it was read (saved back as it was); empty for records of this run.
  std::string storedTime;
  // Written after the time only when it is not 8, so that 8-bit records keep
  // their old text.
  int32_t BitsPerSample = 8;
  bool operator==(const CFileHistoryInfo& other) const;
};

// The history keeps this many records, the first (most recent) ones of its list.
inline constexpr size_t kHistoryLimit = 10000;

// The history store. Tools add to it from worker threads; the File Manager and
// start-up/shutdown use it from the UI thread: every access is locked.
class FileHistoryStore {
 public:
  // Puts a record for `path` at the front, dropping any other record with the same
  // (case-sensitive) path. Refuses paths that the file cannot hold: empty ones and
  // ones containing byte 1 or white space other than the space.
  bool Add(std::string_view path, const ImageFormat& format, int32_t operation, const HistoryTime& when);
  // Removes the records with these ids; sets the modified flag when any was removed.
  void Remove(const std::vector<uint64_t>& ids);
  std::vector<CFileHistoryInfo> Records() const;
  bool Modified() const;
  void Clear();

  // Reads the history text. A damaged record is skipped and the others are kept;
  // of several records for one name the first (the most recent) is kept; of the
  // records the first kHistoryLimit. Clears the modified flag.
  void LoadText(std::string_view text);
  std::string SaveText() const;
  void Load(const std::filesystem::path& file);
  // Writes the file when modified (through a temporary file and a rename); an
  // empty list writes an empty file. Returns false when writing failed. Records
  // added meanwhile wait, so every record is either in the file or still marked.
  // Other instances of the program may have saved since this one loaded: under
  // the file's lock their records are merged in (by time, one per name, except
  // those removed here) before the write; then the first kHistoryLimit are kept.
  // `error` says why writing failed.
  bool Save(const std::filesystem::path& file, std::error_code* error = nullptr);

 private:
  std::string TextLocked() const;
  void MergeLocked(std::vector<CFileHistoryInfo> others);

  mutable std::mutex mutex_;
  std::vector<CFileHistoryInfo> records_;
  std::unordered_set<std::string> removedNames_;  // removed in this run: not merged back
  bool modified_ = false;
  uint64_t nextId_ = 1;
};

FileHistoryStore& FileHistory();

// Records a file opened (0), created (1) or modified (2) with its layout, now.
bool AddToHistory(std::string_view path, const ImageFormat& format, int32_t operation);
// The per-user history file. A save that fails (its folder cannot be made, the
// disk is full) is said through the message sink: the run's new records are lost.
void LoadHistory();
void SaveHistory();

// Column titles and cell texts of the File Manager's list.
extern const std::array<const char*, 9> kHistoryColumns;
std::array<std::string, 9> HistoryRowTexts(const CFileHistoryInfo& record);

}  // namespace vx
