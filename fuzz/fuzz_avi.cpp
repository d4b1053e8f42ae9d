// The AVI reader on any bytes: it refuses or opens, and decoding the frames of
// what it opened fails or fills the rows, never crashes or hangs.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "avi/AviFile.h"
#include "image/ColorFormula.h"

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
  if (w <= 0 || h <= 0) std::abort();
  if (w * h > (1 << 20) || !reader->OpenDecoder()) return 0;  // large pictures only cost time here
  const int64_t pitch = (3 * w + 3) / 4 * 4;
  std::vector<uint8_t> rows(static_cast<size_t>(pitch * h));
  const auto tables = vx::CurrentColourTables();
  for (int64_t n = 1; n <= std::min<int64_t>(reader->Length(), 4); ++n) {
    reader->ReadFrame(n, vx::avi::BgrRows{.data = rows.data(), .stride = pitch, .bottomUp = true}, *tables);
  }
  if (reader->Length() > 2) reader->ReadFrame(1, vx::avi::BgrRows{.data = rows.data(), .stride = pitch}, *tables);
  return 0;
}
