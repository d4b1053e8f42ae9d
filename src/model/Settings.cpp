#include "model/Settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <vector>

#include "display/ZoomView.h"
#include "platform/MessageSink.h"
#include "platform/RawFile.h"
#include "platform/StringFormat.h"
#include "platform/UserFolders.h"

namespace vx {
namespace {

// The file's lines; each %d or %f is bound, in order, to a field by Slots().
constexpr std::string_view kTemplate =
    "SamplingFormat: %d\nComponentOrder: %d\nImageResolution: %d\nFieldFormat: %d\n"
    "PixelFormat: %d\nImgWidth: %d\nImgHeight: %d\n"
    "OverlayData: %d Color:(%d,%d,%d)\nOverlayData: %d Color:(%d,%d,%d)\n"
    "OverlayData: %d Color:(%d,%d,%d)\nOverlayData: %d Color:(%d,%d,%d)\n"
    "OverlayData: %d Color:(%d,%d,%d)\nOverlayData: %d Color:(%d,%d,%d)\n"
    "OverlayData: %d Color:(%d,%d,%d)\nOverlayData: %d Color:(%d,%d,%d)\n"
    "OverlayData: %d Color:(%d,%d,%d)\nOverlayData: %d Color:(%d,%d,%d)\n"
    "ImageEditGridColor: (%d,%d,%d)\n"
    "BlockEditGridColor: (%d,%d,%d)\n"
    "Grid1: (%d,%d,%d,%d,%d,%d,%d)\n"
    "Grid2: (%d,%d,%d,%d,%d,%d,%d)\n"
    "YUV2RGB_Formula: %d\n"
    "Padding_Multiple_Width: %d\n"
    "Padding_Multiple_Height: %d\n"
    "Padding_Mode: %d\n"
    "PaddedResolutionMode: %d\n"
    "Padding_Color_RGB (%d,%d,%d)\n"
    "DiffOverImage: %d\n"
    "DiffDisplayMode: %d\n"
    "BrightnessAdjust: %d\n"
    "DiffThreshold: %d, %d\n"
    "AddDiffGrid: %d\n"
    "ImageDiffColor_RGB (%d,%d,%d)\n"
    "ImageDiffGridColor_RGB (%d,%d,%d)\n"
    "User_Defined_Formula: (%f,%f,%f,%f) (%f,%f,%f,%f) (%f,%f,%f,%f) (%f,%f,%f,%f) "
    "(%f,%f,%f,%f) (%f,%f,%f,%f)\n";

// Appended after the 35 keys of the original file, so that files without it load
// as before and programs that stop after those keys still read this one.
constexpr std::string_view kLastFolderKey = "LastFolder:";

bool UsableFolder(std::string_view folder) {
  return folder.starts_with('/') && folder.find_first_of("\r\n") == std::string_view::npos;
}

// The rest of the folder line, when it is there whole: "LastFolder:", blanks, the
// folder up to the line feed (a carriage return before it is dropped).
std::optional<std::string> ScanLastFolder(std::string_view text, size_t pos) {
  while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
  if (text.substr(pos, kLastFolderKey.size()) != kLastFolderKey) return std::nullopt;
  pos += kLastFolderKey.size();
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  const size_t end = text.find('\n', pos);
  if (end == std::string_view::npos) return std::nullopt;  // cut by the read limit
  std::string_view folder = text.substr(pos, end - pos);
  if (folder.ends_with('\r')) folder.remove_suffix(1);
  if (!UsableFolder(folder)) return std::nullopt;
  return std::string(folder);
}

// After the folder line (or in its place): the depth of the last layout.
constexpr std::string_view kBitsKey = "BitsPerSample:";

// The depth on a line of its own after `pos`; nullopt when there is none.
std::optional<int32_t> ScanBits(std::string_view text, size_t pos) {
  for (size_t at = text.find(kBitsKey, pos); at != std::string_view::npos; at = text.find(kBitsKey, at + 1)) {
    if (at > 0 && text[at - 1] != '\n') continue;
    int32_t bits = 0;
    size_t i = at + kBitsKey.size();
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    const size_t digits = i;
    while (i < text.size() && i - digits < 3 && text[i] >= '0' && text[i] <= '9')
      bits = bits * 10 + (text[i++] - '0');
    if (i == digits) return std::nullopt;
    return bits;
  }
  return std::nullopt;
}

// After the depth: one line for each tool's window place.
constexpr std::string_view kWindowKey = "Window:";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// "<tool> x y width height zoom" with nothing after it but blanks.
std::optional<std::pair<std::string, WindowPlace>> ParseWindowLine(std::string_view line);

// Every whole "Window:" line after `pos` holding a usable place; a later line of
// a tool replaces an earlier one.
void ScanWindows(std::string_view text, size_t pos, ProgramSettings& settings) {
  for (size_t at = text.find(kWindowKey, pos); at != std::string_view::npos;
       at = text.find(kWindowKey, at + 1)) {
    if (at > 0 && text[at - 1] != '\n') continue;
    const size_t start = at + kWindowKey.size();
    const size_t end = text.find('\n', start);
    if (end == std::string_view::npos) return;  // cut by the read limit
    auto entry = ParseWindowLine(text.substr(start, end - start));
    if (!entry) continue;
    auto& windows = settings.Windows;
    if (windows.size() >= kMaxWindowPlaces && !windows.contains(entry->first)) continue;
    windows[std::move(entry->first)] = entry->second;
  }
}

struct Slot {
  int32_t* integer = nullptr;
  float* real = nullptr;
};

void AddColor(std::vector<Slot>& slots, RgbColor& c) {
  slots.push_back({&c.Red});
  slots.push_back({&c.Green});
  slots.push_back({&c.Blue});
}

std::vector<Slot> Slots(ProgramSettings& s) {
  std::vector<Slot> slots;
  ImageFormat& f = s.Format;
  for (int32_t* v : {&f.SamplingFormat, &f.ComponentOrder, &f.ImageResolution, &f.FieldFormat, &f.PixelFormat,
                     &f.ImgWidth, &f.ImgHeight}) {
    slots.push_back({v});
  }
  for (OverlayItemSetting& item : s.OverlayData) {
    slots.push_back({&item.Value});
    AddColor(slots, item.Color);
  }
  AddColor(slots, s.ImageEditGridColor);
  AddColor(slots, s.BlockEditGridColor);
  for (GridSettings* g : {&s.Grid1, &s.Grid2}) {
    for (int32_t* v : {&g->Enabled, &g->Transparency, &g->HorizontalSpacing, &g->VerticalSpacing}) {
      slots.push_back({v});
    }
    AddColor(slots, g->Color);
  }
  for (int32_t* v : {&s.YUV2RGB_Formula, &s.Padding_Multiple_Width, &s.Padding_Multiple_Height,
                     &s.Padding_Mode, &s.PaddedResolutionMode}) {
    slots.push_back({v});
  }
  AddColor(slots, s.Padding_Color_RGB);
  for (int32_t* v : {&s.DiffOverImage, &s.DiffDisplayMode, &s.BrightnessAdjust, &s.DiffThreshold[0],
                     &s.DiffThreshold[1], &s.AddDiffGrid}) {
    slots.push_back({v});
  }
  AddColor(slots, s.ImageDiffColor_RGB);
  AddColor(slots, s.ImageDiffGridColor_RGB);
  for (float& v : s.User_Defined_Formula) slots.push_back({nullptr, &v});
  return slots;
}

bool IsSpace(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// %d as scanf reads it: white space, an optional sign, at least one digit.
// Saturates instead of overflowing.
bool ScanInt(std::string_view text, size_t& pos, int32_t& value) {
  size_t i = pos;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  int64_t magnitude = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    magnitude = std::min<int64_t>(magnitude * 10 + (text[i] - '0'), int64_t{1} << 31);
  }
  const int64_t signed_value = negative ? -magnitude : magnitude;
  value = static_cast<int32_t>(std::clamp<int64_t>(signed_value, std::numeric_limits<int32_t>::min(),
                                                   std::numeric_limits<int32_t>::max()));
  pos = i;
  return true;
}

// %f: a finite decimal real. `text` is NUL-terminated behind its view.
bool ScanReal(const std::string& text, size_t& pos, float& value) {
  const char* start = text.c_str() + pos;
  char* end = nullptr;
  const float parsed = std::strtof(start, &end);
  if (end == start || !std::isfinite(parsed)) return false;
  value = parsed;
  pos += static_cast<size_t>(end - start);
  return true;
}

std::optional<std::pair<std::string, WindowPlace>> ParseWindowLine(std::string_view line) {
  if (line.ends_with('\r')) line.remove_suffix(1);
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  const size_t nameStart = i;
  while (i < line.size() && !IsSpace(line[i])) ++i;
  std::string name(line.substr(nameStart, i - nameStart));
  WindowPlace place;
  for (int32_t* v : {&place.X, &place.Y, &place.Width, &place.Height, &place.Zoom}) {
    if (i >= line.size() || !IsBlank(line[i]) || !ScanInt(line, i, *v)) return std::nullopt;
  }
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (i != line.size() || !UsableWindowPlace(name, place)) return std::nullopt;
  return std::pair{std::move(name), place};
}

}  // namespace

bool UsableWindowPlace(std::string_view tool, const WindowPlace& place) {
  const bool named = !tool.empty() && tool.size() <= 32 && std::ranges::all_of(tool, [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
  });
  auto inRange = [](int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; };
  return named && inRange(place.X, -kMaxWindowCoordinate, kMaxWindowCoordinate) &&
         inRange(place.Y, -kMaxWindowCoordinate, kMaxWindowCoordinate) &&
         inRange(place.Width, 1, kMaxWindowCoordinate) && inRange(place.Height, 1, kMaxWindowCoordinate) &&
         inRange(place.Zoom, 0, kMaxZoom);
}

ProgramSettings& CurrentSettings() {
  static ProgramSettings settings;
  return settings;
}

std::string SettingsText(const ProgramSettings& settings) {
  ProgramSettings copy = settings;
  const std::vector<Slot> slots = Slots(copy);
  std::string text;
  text.reserve(kTemplate.size() + 256);
  size_t next = 0;
  for (size_t i = 0; i < kTemplate.size(); ++i) {
    if (kTemplate[i] == '%' && i + 1 < kTemplate.size() && next < slots.size()) {
      const Slot& slot = slots[next++];
      text += slot.integer ? std::to_string(*slot.integer) : StrFormat("%f", static_cast<double>(*slot.real));
      ++i;
    } else {
      text.push_back(kTemplate[i]);
    }
  }
  if (UsableFolder(settings.LastFolder)) {
    text.append(kLastFolderKey).append(" ").append(settings.LastFolder).append("\n");
  }
  // Only a depth other than 8 is written, so 8-bit settings keep their old text.
  if (settings.Format.BitsPerSample != 8) {
    text.append(kBitsKey).append(" ").append(std::to_string(settings.Format.BitsPerSample)).append("\n");
  }
  for (const auto& [tool, place] : settings.Windows) {
    if (!UsableWindowPlace(tool, place)) continue;
    text.append(StrFormat("%.*s %s %d %d %d %d %d\n", static_cast<int>(kWindowKey.size()), kWindowKey.data(),
                          tool.c_str(), place.X, place.Y, place.Width, place.Height, place.Zoom));
  }
  return text;
}

int ParseSettingsText(std::string_view input, ProgramSettings& settings) {
  const std::string text(input);  // NUL-terminated for strtof
  const std::vector<Slot> slots = Slots(settings);
  size_t t = 0;
  size_t next = 0;
  for (size_t p = 0; p < kTemplate.size();) {
    const char c = kTemplate[p];
    if (IsSpace(c)) {
      while (p < kTemplate.size() && IsSpace(kTemplate[p])) ++p;
      while (t < text.size() && IsSpace(text[t])) ++t;
    } else if (c == '%') {
      const Slot& slot = slots[next];
      const bool ok = slot.integer ? ScanInt(text, t, *slot.integer) : ScanReal(text, t, *slot.real);
      if (!ok) break;
      ++next;
      p += 2;
    } else if (t < text.size() && text[t] == c) {
      ++t;
      ++p;
    } else {
      break;
    }
  }
  if (next == slots.size()) {
    if (auto folder = ScanLastFolder(text, t)) settings.LastFolder = std::move(*folder);
    if (auto bits = ScanBits(text, t)) settings.Format.BitsPerSample = *bits;
    ScanWindows(text, t, settings);
  }
  return static_cast<int>(next);
}

void SanitizeSettings(ProgramSettings& s) {
  const ImageFormat defaults;
  ImageFormat& f = s.Format;
  auto inRange = [](int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; };
  if (!inRange(f.SamplingFormat, YUV_444, BMP)) f.SamplingFormat = defaults.SamplingFormat;
  if (!inRange(f.ComponentOrder, YUV, BGR)) f.ComponentOrder = defaults.ComponentOrder;
  if (!inRange(f.FieldFormat, Interlaced, Progressive)) f.FieldFormat = defaults.FieldFormat;
  if (!inRange(f.PixelFormat, Packed, SemiPlanar)) f.PixelFormat = defaults.PixelFormat;
  if (!IsSupportedBitDepth(f.BitsPerSample)) f.BitsPerSample = defaults.BitsPerSample;
  if (!inRange(f.ImageResolution, 0, kCustomResolution)) f.ImageResolution = defaults.ImageResolution;
  if (!inRange(f.ImgWidth, 1, 65535)) f.ImgWidth = defaults.ImgWidth;
  if (!inRange(f.ImgHeight, 1, 65535)) f.ImgHeight = defaults.ImgHeight;

  if (!inRange(s.YUV2RGB_Formula, 0, 2)) s.YUV2RGB_Formula = 0;

  auto clampColor = [](RgbColor& c) {
    for (int32_t* v : {&c.Red, &c.Green, &c.Blue}) *v = std::clamp(*v, 0, 255);
  };
  for (OverlayItemSetting& item : s.OverlayData) clampColor(item.Color);
  for (RgbColor* c : {&s.ImageEditGridColor, &s.BlockEditGridColor, &s.Padding_Color_RGB,
                      &s.ImageDiffColor_RGB, &s.ImageDiffGridColor_RGB}) {
    clampColor(*c);
  }
  for (GridSettings* g : {&s.Grid1, &s.Grid2}) {
    g->Enabled = g->Enabled != 0 ? 1 : 0;
    g->Transparency = std::clamp(g->Transparency, 0, 100);
    g->HorizontalSpacing = std::clamp(g->HorizontalSpacing, 2, 64);
    g->VerticalSpacing = std::clamp(g->VerticalSpacing, 2, 64);
    clampColor(g->Color);
  }
  if (!UsableFolder(s.LastFolder)) s.LastFolder.clear();
  std::erase_if(s.Windows, [](const auto& entry) { return !UsableWindowPlace(entry.first, entry.second); });
  while (s.Windows.size() > kMaxWindowPlaces) s.Windows.erase(std::prev(s.Windows.end()));
}

void LoadSettings(ProgramSettings& settings, const std::filesystem::path& file) {
  if (const auto lock = FileLock::Acquire(file)) RemoveStaleTemporary(file);  // left by a killed save
  auto in = RawFile::OpenRead(file);
  if (!in) return;
  std::string text(kSettingsReadLimit, '\0');
  text.resize(static_cast<size_t>(in->Read(text.data(), static_cast<int64_t>(text.size()))));
  ParseSettingsText(text, settings);
  SanitizeSettings(settings);
}

bool SaveSettings(const ProgramSettings& settings, const std::filesystem::path& file,
                  std::error_code* error) {
  // One person's choices: the last instance to save wins, one at a time.
  const auto lock = FileLock::Acquire(file);
  return WriteFileAtomically(file, SettingsText(settings), error);
}

void LoadSettings(ProgramSettings& settings) {
  if (auto path = SettingsFilePath()) LoadSettings(settings, *path);
}

void SaveSettings(const ProgramSettings& settings) {
  const auto place = SettingsFilePlace();
  if (!place) return;
  std::error_code error = place->folderError;
  if (!error && SaveSettings(settings, place->file, &error)) return;
  ShowMessage(StrFormat("Warning SETT1001: The settings could not be saved to %s: %s\n", place->file.c_str(),
                        error.message().c_str()));
}

}  // namespace vx
