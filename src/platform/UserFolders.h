#pragma once

#include <filesystem>
#include <optional>
#include <system_error>

namespace vx {

// Per-user folders of the program, created when missing. Both follow the XDG base
// directory rules: an unset, empty or relative variable falls back to the default
// under the home folder. nullopt when no folder can be determined or created.
//   settings: $XDG_CONFIG_HOME/velutrix  (default ~/.config/velutrix)
//   history:  $XDG_STATE_HOME/velutrix   (default ~/.local/state/velutrix)
std::optional<std::filesystem::path> SettingsFolder();
std::optional<std::filesystem::path> HistoryFolder();

inline constexpr const char* kSettingsFileName = "velutrix3.ini";
inline constexpr const char* kHistoryFileName = "yuv_file_history3.ini";

std::optional<std::filesystem::path> SettingsFilePath();
std::optional<std::filesystem::path> HistoryFilePath();

// Where a per-user file belongs, also when its folder cannot be made (a file in
// its way, a read-only parent): then `folderError` says why. nullopt only when no
// folder can be named at all (no home folder).
struct UserFilePlace {
  std::filesystem::path file;
  std::error_code folderError;
};
std::optional<UserFilePlace> SettingsFilePlace();
std::optional<UserFilePlace> HistoryFilePlace();

}  // namespace vx
