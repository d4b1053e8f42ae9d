#include "platform/UserFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace vx {
namespace {

std::optional<std::filesystem::path> HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return std::filesystem::path(home);
  if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir && *entry->pw_dir) {
    return std::filesystem::path(entry->pw_dir);
  }
  return std::nullopt;
}

std::optional<std::filesystem::path> ProgramFolder(const char* variable,
                                                   const std::filesystem::path& fallback) {
  std::filesystem::path base;
  const char* value = std::getenv(variable);
  if (value && *value && std::filesystem::path(value).is_absolute()) {
    base = value;
  } else {
    const auto home = HomeFolder();
    if (!home) return std::nullopt;
    base = *home / fallback;
  }
  const std::filesystem::path folder = base / "velutrix";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!std::filesystem::is_directory(folder, error)) return std::nullopt;
  return folder;
}

}  // namespace

std::optional<std::filesystem::path> SettingsFolder() {
  return ProgramFolder("XDG_CONFIG_HOME", ".config");
}

std::optional<std::filesystem::path> HistoryFolder() {
  return ProgramFolder("XDG_STATE_HOME", std::filesystem::path(".local") / "state");
}

std::optional<std::filesystem::path> SettingsFilePath() {
  auto folder = SettingsFolder();
  if (!folder) return std::nullopt;
  return *folder / kSettingsFileName;
}

std::optional<std::filesystem::path> HistoryFilePath() {
  auto folder = HistoryFolder();
  if (!folder) return std::nullopt;
  return *folder / kHistoryFileName;
}

}  // namespace vx
