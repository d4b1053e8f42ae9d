#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <system_error>

#include "display/GridOverlay.h"
#include "image/ImageFormat.h"
#include "platform/RawFile.h"

namespace vx {

// Where a tool's window was when it last closed: the top-left corner of its
// frame, the size of its inside, and its preview's zoom (a factor 1..32, 0 for
// the fit).
struct WindowPlace {
  int32_t X = 0;
  int32_t Y = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Zoom = 0;
  bool operator==(const WindowPlace&) const = default;
};

// The limits of a place worth restoring: coordinates within +-kMaxWindowCoordinate,
// sizes 1..kMaxWindowCoordinate, a zoom 0..32; at most kMaxWindowPlaces tools, each
// named by 1..32 letters, digits, '_' or '-'.
inline constexpr int32_t kMaxWindowCoordinate = 32767;
inline constexpr size_t kMaxWindowPlaces = 64;
bool UsableWindowPlace(std::string_view tool, const WindowPlace& place);

struct OverlayItemSetting {
  int32_t Value = 0;
  RgbColor Color;
  bool operator==(const OverlayItemSetting&) const = default;
};

// Everything the program remembers between runs: the current raw layout and the
// remembered options of the tools. One process-wide instance (CurrentSettings);
// only the UI thread changes it, workers read it.
struct ProgramSettings {
  // First run: 4:2:0 planar, a layout the format rules accept (packed 4:2:0 does
  // not exist, and tools would show and offer it until the user picked another).
  ImageFormat Format{.SamplingFormat = YUV_420,
                     .ComponentOrder = YUV,
                     .FieldFormat = Interlaced,
                     .PixelFormat = Planar,
                     .ImageResolution = 6,
                     .ImgWidth = 720,
                     .ImgHeight = 480};  // Fourcc is not stored
  std::array<OverlayItemSetting, 10> OverlayData{};
  RgbColor ImageEditGridColor;
  RgbColor BlockEditGridColor;
  GridSettings Grid1 = kDefaultGrid1;
  GridSettings Grid2 = kDefaultGrid2;
  int32_t YUV2RGB_Formula = 0;
  int32_t Padding_Multiple_Width = 8;
  int32_t Padding_Multiple_Height = 8;
  int32_t Padding_Mode = 0;
  int32_t PaddedResolutionMode = 0;
  RgbColor Padding_Color_RGB;
  int32_t DiffOverImage = 0;
  int32_t DiffDisplayMode = 0;
  int32_t BrightnessAdjust = 0;
  std::array<int32_t, 2> DiffThreshold{};
  int32_t AddDiffGrid = 0;
  RgbColor ImageDiffColor_RGB{255, 0, 0};
  RgbColor ImageDiffGridColor_RGB;
  std::array<float, 24> User_Defined_Formula{};
  // The folder of the file last picked in any file picker (absolute; empty: none
  // yet). Stored after the other keys, so older files load without it.
  std::string LastFolder;
  // Each tool's window as it last closed, by the tool's key. Stored after the
  // depth, one "Window:" line a tool, only for tools whose window has closed.
  std::map<std::string, WindowPlace, std::less<>> Windows;

  bool operator==(const ProgramSettings&) const = default;
};

ProgramSettings& CurrentSettings();

// The settings file's text: 35 lines, each ending in a line feed, then a
// "LastFolder: " line when a folder is remembered, a "BitsPerSample: " line for a
// depth other than 8 and a "Window: <tool> x y width height zoom" line for each
// window place.
std::string SettingsText(const ProgramSettings& settings);

// Reads values from settings text, left to right, into `settings`. White space
// of any length (none included) is accepted at every line break, key words and
// punctuation must match exactly. Reading stops at the first mismatch: values
// read so far are kept, later ones keep what they had. Returns how many values
// were read (111 for a complete file). The folder line after them is read when
// it is whole (its line feed within the text) and names an absolute folder;
// each whole "Window:" line after them that holds a usable place is read too.
int ParseSettingsText(std::string_view text, ProgramSettings& settings);

// Replaces values that no valid file holds (unknown enumeration values, sizes
// below 1, colours outside 0..255, grid values outside their ranges) by their
// defaults or nearest valid value, so that nothing downstream meets them. A
// folder that is not absolute or spans lines is forgotten, and so is a window
// place outside the limits above.
void SanitizeSettings(ProgramSettings& settings);

// Reads the first 4096 bytes of the file; a missing or unreadable file keeps the
// values as they are.
inline constexpr size_t kSettingsReadLimit = 4096;
void LoadSettings(ProgramSettings& settings, const std::filesystem::path& file);
// Writes the file through a temporary file renamed over the old one, so that a
// full disk or a crash mid-write leaves the old file intact. False on failure,
// with the reason in `error`.
bool SaveSettings(const ProgramSettings& settings, const std::filesystem::path& file,
                  std::error_code* error = nullptr);

// The same with the per-user settings file. A missing or unreadable file is
// silent; a save that fails is said through the message sink.
void LoadSettings(ProgramSettings& settings);
void SaveSettings(const ProgramSettings& settings);

}  // namespace vx
