// The overlay data reader on any text: it refuses with a message or reads, never
// allocating beyond its limit, and what it read draws inside the picture.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "analysis/Overlay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vx::OverlayReader reader(std::string(reinterpret_cast<const char*>(data), size));
  vx::OverlayData overlay;
  if (reader.ReadHeader(overlay.header)) return 0;
  if (overlay.header.BlockWidth < 1 || overlay.header.BlockHeight < 1) std::abort();
  std::vector<std::string> warnings;
  const int32_t frames = vx::OverlayFramesToLoad(overlay.header.TotalFrames, 4, warnings);
  if (frames < 0 || frames > 4) std::abort();
  if (reader.ReadFrames(frames, overlay)) return 0;
  if (static_cast<int64_t>(overlay.values.size()) > vx::kMaxOverlayBytes) std::abort();
  // A small picture: the overlay is drawn on the common area only.
  constexpr int kWidth = 37, kHeight = 21;
  const int64_t pitch = (3 * kWidth + 3) / 4 * 4;
  std::vector<uint8_t> rows(static_cast<size_t>(pitch * kHeight), 100);
  vx::OverlayEntries entries{};
  entries[9].Color = {0, 255, 0};
  for (int32_t f = 0; f < overlay.frames; ++f)
    vx::DrawOverlay(overlay, f, entries, rows, kWidth, kHeight, pitch);
  return 0;
}
