// The AVI reader on any bytes: it refuses or opens, and decoding the frames of
// what it opened fails or fills the rows, never crashes or hangs. No header makes
// it take a picture larger than the program reads, so every size it opens is
// decoded here (scripts/fuzz bounds each allocation).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "avi/AviFile.h"
#include "image/ColorFormula.h"
#include "image/ImageFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vx::fuzz::InstallQuietSink();
  const std::string path = vx::fuzz::PathWith(data, size);
  vx::avi::OpenFailure failure = vx::avi::OpenFailure::None;
  auto reader = vx::avi::AviReader::Open(path, failure);
  if (!reader) {
    if (failure == vx::avi::OpenFailure::None) std::abort();
    return 0;
  }
  const int64_t w = reader->Width(), h = reader->Height();
  if (w <= 0 || h <= 0 || w > vx::avi::kMaxAviSide || h > vx::avi::kMaxAviSide ||
      !vx::WorkBufferSizeSupported(w, h))
    std::abort();
  if (!reader->OpenDecoder()) return 0;
  // As the program does: a first picture of another size than the header's is
  // refused before frame-sized buffers are made.
  const auto decoded = reader->DecodedSize();
  if (decoded && (decoded->width != w || decoded->height != h)) return 0;
  const int64_t pitch = (3 * w + 3) / 4 * 4;
  std::vector<uint8_t> rows(static_cast<size_t>(pitch * h));
  const auto tables = vx::CurrentColourTables();
  auto read = [&](int64_t n, bool bottomUp) {
    reader->ReadFrame(n, vx::avi::BgrRows{.data = rows.data(), .stride = pitch, .bottomUp = bottomUp},
                      *tables);
  };
  // In order, a jump ahead past any reordering, and back to the start.
  for (int64_t n = 1; n <= std::min<int64_t>(reader->Length(), 4); ++n) read(n, true);
  if (reader->Length() > 4) read(std::min<int64_t>(reader->Length(), 12), true);
  if (reader->Length() > 2) read(1, false);
  return 0;
}
