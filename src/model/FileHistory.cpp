#include "model/FileHistory.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <iterator>
#include <list>
#include <map>
#include <tuple>
#include <unordered_set>

#include "model/Settings.h"
#include "platform/MessageSink.h"
#include "platform/RawFile.h"
#include "platform/StringFormat.h"
#include "platform/UserFolders.h"

namespace vx {
namespace {

constexpr char kSpaceStandIn = '\x01';
constexpr size_t kTimeFieldBytes = 25;
constexpr int64_t kMaxHistoryFileBytes = int64_t{256} << 20;
constexpr const char* kHistoryNotSaved = "Warning HIST1001: The file history could not be saved to %s: %s\n";

bool StorablePath(std::string_view path) {
  if (path.empty()) return false;
  for (char c : path) {
    if (c == kSpaceStandIn || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == '\0') {
      return false;
    }
  }
  return true;
}

// Reads the history text the way the format's scanf pattern does.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}
  void SkipSpace() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }
  // Key words match after any white space, byte for byte.
  bool Literal(std::string_view word) {
    SkipSpace();
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }
  bool Int(int32_t& value) {
    SkipSpace();
    size_t i = pos_;
    if (i < text_.size() && (text_[i] == '+' || text_[i] == '-')) ++i;
    const size_t digits = i;
    while (i < text_.size() && std::isdigit(static_cast<unsigned char>(text_[i]))) ++i;
    if (i == digits) return false;
    value = ParseLeadingInt(text_.substr(pos_, i - pos_));
    pos_ = i;
    return true;
  }
  bool Word(std::string& word) {
    SkipSpace();
    const size_t start = pos_;
    while (pos_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    word.assign(text_.substr(start, pos_ - start));
    return !word.empty();
  }
  bool Bytes(size_t count, std::string_view& out) {
    if (text_.size() - pos_ < count) return false;
    out = text_.substr(pos_, count);
    pos_ += count;
    return true;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

// "%d-%d-%d %d:%d:%d" over the 25-byte time field.
bool ParseTime(std::string_view field, HistoryTime& t) {
  const std::string text(field.substr(0, field.find('\0')));
  Cursor c(text);
  return c.Int(t.year) && c.Literal("-") && c.Int(t.month) && c.Literal("-") && c.Int(t.day) &&
         c.Int(t.hour) && c.Literal(":") && c.Int(t.minute) && c.Literal(":") && c.Int(t.second);
}

bool ParseRecord(Cursor& c, CFileHistoryInfo& r) {
  std::string word;
  if (!c.Literal("ImageFileName=") || !c.Word(word)) return false;
  for (char& ch : word) {
    if (ch == kSpaceStandIn) ch = ' ';
  }
  r.fileName = word;
  const std::pair<const char*, int32_t*> numbers[] = {{"FOURCC_Name=", &r.Fourcc},
                                                      {"YUVSamplingFormat=", &r.SamplingFormat},
                                                      {"ComponentOrder=", &r.ComponentOrder},
                                                      {"FieldFormat=", &r.FieldFormat},
                                                      {"PixelFormat=", &r.PixelFormat},
                                                      {"ImageResolution=", &r.ImageResolution},
                                                      {"ImageWidth=", &r.ImgWidth},
                                                      {"ImageHeight=", &r.ImgHeight},
                                                      {"ReadWrite=", &r.operation}};
  for (const auto& [key, value] : numbers) {
    if (!c.Literal(key) || !c.Int(*value)) return false;
  }
  std::string_view separator, field;
  if (!c.Literal("Open_Time=") || !c.Bytes(1, separator) || !c.Bytes(kTimeFieldBytes, field) ||
      !ParseTime(field, r.openTime)) {
    return false;
  }
  r.storedTime.assign(field);
  int32_t bits = 8;
  if (c.Literal("BitsPerSample=") && c.Int(bits) && IsSupportedBitDepth(bits)) r.BitsPerSample = bits;
  return true;
}

// Every record of a history text: each "[FileHistory n]" section is read on its
// own, so a damaged one costs only itself; one record per name, the first kept.
std::vector<CFileHistoryInfo> ParseHistory(std::string_view text) {
  constexpr std::string_view kSection = "[FileHistory";
  std::vector<CFileHistoryInfo> records;
  std::unordered_set<std::string> names;
  for (size_t at = text.find(kSection); at != std::string_view::npos;) {
    const size_t next = text.find(kSection, at + kSection.size());
    Cursor c(text.substr(at, next == std::string_view::npos ? std::string_view::npos : next - at));
    int32_t number = 0;
    CFileHistoryInfo r;
    if (c.Literal(kSection) && c.Int(number) && c.Literal("]") && ParseRecord(c, r)) {
      if (names.insert(r.fileName).second) records.push_back(std::move(r));
    }
    at = next;
  }
  return records;
}

using TimeKey = std::tuple<int32_t, int32_t, int32_t, int32_t, int32_t, int32_t>;

TimeKey KeyOf(const HistoryTime& t) {
  return {t.year, t.month, t.day, t.hour, t.minute, t.second};
}

void KeepNewest(std::vector<CFileHistoryInfo>& records) {
  if (records.size() > kHistoryLimit) {
    records.erase(records.begin() + static_cast<std::ptrdiff_t>(kHistoryLimit), records.end());
  }
}

std::string ReadHistoryText(const std::filesystem::path& file) {
  std::string text;
  if (auto in = RawFile::OpenRead(file)) {
    const int64_t length = std::min(in->Length(), kMaxHistoryFileBytes);
    if (length > 0) {
      text.resize(static_cast<size_t>(length));
      text.resize(static_cast<size_t>(in->Read(text.data(), length)));
    }
  }
  return text;
}

}  // namespace

bool CFileHistoryInfo::operator==(const CFileHistoryInfo& o) const {
  return fileName == o.fileName && Fourcc == o.Fourcc && SamplingFormat == o.SamplingFormat &&
         ComponentOrder == o.ComponentOrder && FieldFormat == o.FieldFormat && PixelFormat == o.PixelFormat &&
         ImageResolution == o.ImageResolution && ImgWidth == o.ImgWidth && ImgHeight == o.ImgHeight &&
         operation == o.operation && openTime == o.openTime && BitsPerSample == o.BitsPerSample;
}

HistoryTime LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

bool FileHistoryStore::Add(std::string_view path, const ImageFormat& f, int32_t operation,
                           const HistoryTime& when) {
  if (!StorablePath(path)) return false;
  CFileHistoryInfo r{.fileName = std::string(path),
                     .Fourcc = f.Fourcc,
                     .SamplingFormat = f.SamplingFormat,
                     .ComponentOrder = f.ComponentOrder,
                     .FieldFormat = f.FieldFormat,
                     .PixelFormat = f.PixelFormat,
                     .ImageResolution = f.ImageResolution,
                     .ImgWidth = f.ImgWidth,
                     .ImgHeight = f.ImgHeight,
                     .operation = operation,
                     .openTime = when,
                     .id = 0,  // given under the lock below
                     .storedTime = {},
                     .BitsPerSample = f.BitsPerSample};
  std::lock_guard lock(mutex_);
  r.id = nextId_++;
  removedNames_.erase(r.fileName);
  std::erase_if(records_, [&](const CFileHistoryInfo& old) { return old.fileName == r.fileName; });
  records_.insert(records_.begin(), std::move(r));
  KeepNewest(records_);
  modified_ = true;
  return true;
}

void FileHistoryStore::Remove(const std::vector<uint64_t>& ids) {
  const std::unordered_set<uint64_t> chosen(ids.begin(), ids.end());
  std::lock_guard lock(mutex_);
  const size_t removed = std::erase_if(records_, [&](const CFileHistoryInfo& r) {
    if (!chosen.contains(r.id)) return false;
    removedNames_.insert(r.fileName);
    return true;
  });
  if (removed > 0) modified_ = true;
}

std::vector<CFileHistoryInfo> FileHistoryStore::Records() const {
  std::lock_guard lock(mutex_);
  return records_;
}

bool FileHistoryStore::Modified() const {
  std::lock_guard lock(mutex_);
  return modified_;
}

void FileHistoryStore::Clear() {
  std::lock_guard lock(mutex_);
  records_.clear();
  modified_ = false;
}

void FileHistoryStore::LoadText(std::string_view text) {
  std::vector<CFileHistoryInfo> loaded = ParseHistory(text);
  KeepNewest(loaded);
  std::lock_guard lock(mutex_);
  removedNames_.clear();
  records_ = std::move(loaded);
  for (CFileHistoryInfo& r : records_) r.id = nextId_++;
  modified_ = false;
}

std::string FileHistoryStore::SaveText() const {
  std::lock_guard lock(mutex_);
  return TextLocked();
}

std::string FileHistoryStore::TextLocked() const {
  std::string text;
  int index = 1;
  for (const CFileHistoryInfo& r : records_) {
    std::string name = r.fileName;
    for (char& ch : name) {
      if (ch == ' ') ch = kSpaceStandIn;
    }
    text += StrFormat("[FileHistory %d]\r\n", index++);
    text += "ImageFileName=" + name + "\r\n";
    text += StrFormat(
        "FOURCC_Name=%d\r\nYUVSamplingFormat=%d\r\nComponentOrder=%d\r\nFieldFormat=%d\r\nPixelFormat=%d\r\n"
        "ImageResolution=%d\r\nImageWidth=%d\r\nImageHeight=%d\r\nReadWrite=%d\r\n",
        r.Fourcc, r.SamplingFormat, r.ComponentOrder, r.FieldFormat, r.PixelFormat, r.ImageResolution,
        r.ImgWidth, r.ImgHeight, r.operation);
    std::string field = r.storedTime;  // a loaded record goes back as it came
    if (field.size() != kTimeFieldBytes) {
      field = StrFormat(" %4d-%02d-%02d %02d:%02d:%02d", r.openTime.year, r.openTime.month, r.openTime.day,
                        r.openTime.hour, r.openTime.minute, r.openTime.second);
      field.resize(kTimeFieldBytes, '\0');  // 20 characters and five zero bytes
    }
    text += "Open_Time= " + field + "\r\n";
    if (r.BitsPerSample != 8) text += StrFormat("BitsPerSample=%d\r\n", r.BitsPerSample);
  }
  return text;
}

void FileHistoryStore::Load(const std::filesystem::path& file) {
  std::string text;
  {
    const auto lock = FileLock::Acquire(file);
    if (lock) RemoveStaleTemporary(file);  // left by a killed save
    text = ReadHistoryText(file);
  }
  LoadText(text);
}

void FileHistoryStore::MergeLocked(std::vector<CFileHistoryInfo> others) {
  // Each record of the file that is new here goes before the first of ours that
  // is older than it. Our list need not be sorted by time (a loaded file keeps its
  // order), so that place is looked up among the records older than everything
  // before them, a chain of strictly falling times kept in a map: the first record
  // older than t is the chain's member with the greatest time below t.
  std::list<CFileHistoryInfo> merged(std::make_move_iterator(records_.begin()),
                                     std::make_move_iterator(records_.end()));
  std::unordered_set<std::string_view> known;
  std::map<TimeKey, std::list<CFileHistoryInfo>::iterator> chain;
  for (auto it = merged.begin(); it != merged.end(); ++it) {
    known.insert(it->fileName);
    const TimeKey key = KeyOf(it->openTime);
    if (chain.empty() || key < chain.begin()->first) chain.emplace_hint(chain.begin(), key, it);
  }
  for (CFileHistoryInfo& r : others) {
    if (known.contains(r.fileName) || removedNames_.contains(r.fileName)) continue;
    const TimeKey key = KeyOf(r.openTime);
    const auto notOlder = chain.lower_bound(key);
    const auto place = notOlder == chain.begin() ? merged.end() : std::prev(notOlder)->second;
    r.id = nextId_++;
    const auto added = merged.insert(place, std::move(r));
    known.insert(added->fileName);
    // Everything before it is at least as new; it joins the chain unless one is exactly as new.
    if (notOlder == chain.end() || notOlder->first != key) chain.emplace_hint(notOlder, key, added);
  }
  records_.assign(std::make_move_iterator(merged.begin()), std::make_move_iterator(merged.end()));
  KeepNewest(records_);
}

bool FileHistoryStore::Save(const std::filesystem::path& file, std::error_code* error) {
  // One critical section: check, write and clear the mark together.
  std::lock_guard lock(mutex_);
  if (!modified_) return true;
  // Other instances save under the same lock; what they saved since is merged in.
  const auto fileLock = FileLock::Acquire(file);
  MergeLocked(ParseHistory(ReadHistoryText(file)));
  if (!WriteFileAtomically(file, TextLocked(), error)) return false;
  removedNames_.clear();
  modified_ = false;
  return true;
}

FileHistoryStore& FileHistory() {
  static FileHistoryStore store;
  return store;
}

bool AddToHistory(std::string_view path, const ImageFormat& format, int32_t operation) {
  return FileHistory().Add(path, format, operation, LocalTimeNow());
}

HistoryRecorder& ProgramHistory() {
  class StoreRecorder final : public HistoryRecorder {
   public:
    void Record(const FileRecord& record) override {
      AddToHistory(record.path, record.format, record.operation);
    }
  };
  static StoreRecorder recorder;
  return recorder;
}

void LoadHistory() {
  if (auto path = HistoryFilePath()) FileHistory().Load(*path);
}

void SaveHistory() {
  const auto place = HistoryFilePlace();
  if (!place) return;
  std::error_code error = place->folderError;
  // Without its folder, only a history with changes loses anything.
  const bool nothingLost = error ? !FileHistory().Modified() : FileHistory().Save(place->file, &error);
  if (nothingLost) return;
  ShowMessage(StrFormat(kHistoryNotSaved, place->file.c_str(), error.message().c_str()));
}

const std::array<const char*, 9> kHistoryColumns = {
    "File Name",     "FOURCC Name", "Sampling Format", "Component Order",   "Interlaced/Progressive",
    "Packed/Planar", "Resolution",  "Operation",       "Last Open Time    "};

std::array<std::string, 9> HistoryRowTexts(const CFileHistoryInfo& r) {
  auto pick = [](int32_t value, auto& table) -> std::string {
    return value >= 0 && value < static_cast<int32_t>(std::size(table)) ? table[static_cast<size_t>(value)]
                                                                        : "Invalid";
  };
  static const char* const packed422[] = {"YUYV", "YVYU", "UYYV"};
  static const char* const fields[] = {"Interlaced", "Progressive"};
  static const char* const packings[] = {"Packed", "Planar", "Semi-planar"};
  static const char* const operations[] = {"Opened", "Created", "Modifid"};
  std::array<const char*, 15> fourccNames{};
  for (size_t i = 0; i < kFourccs.size(); ++i) fourccNames[i] = kFourccs[i].name;
  const bool packed422Order = r.SamplingFormat == YUV_422 && r.PixelFormat == Packed;
  const HistoryTime& t = r.openTime;
  return {r.fileName,
          pick(r.Fourcc, fourccNames),
          pick(r.SamplingFormat, kSamplingNames),
          packed422Order ? pick(r.ComponentOrder, packed422) : pick(r.ComponentOrder, kComponentOrderNames),
          pick(r.FieldFormat, fields),
          pick(r.PixelFormat, packings),
          StrFormat("%d x %d", r.ImgWidth, r.ImgHeight),
          pick(r.operation, operations),
          StrFormat("%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second)};
}

}  // namespace vx
