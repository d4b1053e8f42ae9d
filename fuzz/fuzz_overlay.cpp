// The overlay data reader on any text: it refuses with a message or reads, never
// allocating beyond its limit or more than the video's area needs, and what it
// read draws inside the picture. The first two bytes choose the video's width and
// height (1 to 256), so videos smaller and larger than the overlay's image are
// drawn on (and pictures larger than the video); the text follows.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "analysis/Overlay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int32_t width = 1 + data[0], height = 1 + data[1];
  vx::OverlayReader reader(std::string(reinterpret_cast<const char*>(data) + 2, size - 2));
  vx::OverlayData overlay;
  if (reader.ReadHeader(overlay.header)) return 0;
  if (overlay.header.BlockWidth < 1 || overlay.header.BlockHeight < 1) std::abort();
  std::vector<std::string> warnings;
  const int32_t frames = vx::OverlayFramesToLoad(overlay.header.TotalFrames, 4, warnings);
  if (frames < 0 || frames > 4) std::abort();
  const auto refused = reader.ReadFrames(frames, width, height, overlay);
  // Only the blocks of the area shared with the video are kept, one frame at a time.
  const int64_t perFrame = int64_t{overlay.rows} * overlay.columns * overlay.header.DataPerBlock;
  if (overlay.columns > (width + overlay.header.BlockWidth - 1) / overlay.header.BlockWidth ||
      overlay.rows > (height + overlay.header.BlockHeight - 1) / overlay.header.BlockHeight ||
      static_cast<int64_t>(overlay.values.size()) > perFrame * (overlay.frames + 1))
    std::abort();
  if (refused) return 0;
  // The overlay is drawn on the common area only: rows exactly as long as the
  // picture needs, so a write past them is the sanitizer's to see.
  vx::OverlayEntries entries{};
  entries[9].Color = {0, 255, 0};
  for (const int32_t grow : {0, 9}) {
    const int32_t w = width + grow, h = height + grow;
    const int64_t pitch = (3 * int64_t{w} + 3) / 4 * 4;
    std::vector<uint8_t> rows(static_cast<size_t>(pitch * h), 100);
    for (int32_t f = 0; f < overlay.frames; ++f) vx::DrawOverlay(overlay, f, entries, rows, w, h, pitch);
  }
  return 0;
}
