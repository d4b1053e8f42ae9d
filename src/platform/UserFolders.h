#pragma once

#include <filesystem>
#include <optional>

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

}  // namespace vx
