// The settings loader on any text, the window places after the other keys
// included, with the round trip: whatever it loads, its saved text reads back to
// the same text.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "FuzzSupport.h"
#include "model/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vx::fuzz::InstallQuietSink();
  const std::string_view text(reinterpret_cast<const char*>(data), std::min<size_t>(size, 4096));
  vx::ProgramSettings loaded;
  vx::ParseSettingsText(text, loaded);
  vx::SanitizeSettings(loaded);
  const std::string saved = vx::SettingsText(loaded);
  vx::ProgramSettings again;
  vx::ParseSettingsText(saved, again);
  vx::SanitizeSettings(again);
  if (vx::SettingsText(again) != saved) std::abort();
  return 0;
}
