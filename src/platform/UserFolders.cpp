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

// The program's folder under the base folder named by `variable`, created when
// missing; `error` says why it is not there when it cannot be made.
std::optional<std::filesystem::path> ProgramFolder(const char* variable,
                                                   const std::filesystem::path& fallback,
                                                   std::error_code& error) {
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
  std::error_code made, ignored;
  std::filesystem::create_directories(folder, made);
  if (!std::filesystem::is_directory(folder, ignored)) {  // made meanwhile by another instance is fine
    error = made ? made : std::make_error_code(std::errc::not_a_directory);
  }
  return folder;
}

std::optional<UserFilePlace> PlaceIn(const char* variable, const std::filesystem::path& fallback,
                                     const char* name) {
  UserFilePlace place;
  const auto folder = ProgramFolder(variable, fallback, place.folderError);
  if (!folder) return std::nullopt;
  place.file = *folder / name;
  return place;
}

}  // namespace

std::optional<UserFilePlace> SettingsFilePlace() {
  return PlaceIn("XDG_CONFIG_HOME", ".config", kSettingsFileName);
}

std::optional<UserFilePlace> HistoryFilePlace() {
  return PlaceIn("XDG_STATE_HOME", std::filesystem::path(".local") / "state", kHistoryFileName);
}

std::optional<std::filesystem::path> SettingsFolder() {
  auto file = SettingsFilePath();
  if (!file) return std::nullopt;
  return file->parent_path();
}

std::optional<std::filesystem::path> HistoryFolder() {
  auto file = HistoryFilePath();
  if (!file) return std::nullopt;
  return file->parent_path();
}

std::optional<std::filesystem::path> SettingsFilePath() {
  auto place = SettingsFilePlace();
  if (!place || place->folderError) return std::nullopt;
  return place->file;
}

std::optional<std::filesystem::path> HistoryFilePath() {
  auto place = HistoryFilePlace();
  if (!place || place->folderError) return std::nullopt;
  return place->file;
}

}  // namespace vx
