// The history loader on any text, with the round trip: whatever it loads, the
// text it saves loads back and saves to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "FuzzSupport.h"
#include "model/FileHistory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vx::fuzz::InstallQuietSink();
  vx::FileHistoryStore store;
  store.LoadText(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string saved = store.SaveText();
  vx::FileHistoryStore again;
  again.LoadText(saved);
  if (again.SaveText() != saved) std::abort();
  if (again.Records().size() != store.Records().size()) std::abort();
  return 0;
}
