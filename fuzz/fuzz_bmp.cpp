// The BMP reader on any bytes: it refuses or reads, never reads or allocates
// beyond what the file holds, and what it read can be written again.
#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "image/Dib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vx::RawFile file = vx::fuzz::FileWith(data, size);
  vx::CDib dib;
  if (!dib.Read(file)) return 0;
  // A bitmap that was read holds its whole rows, and no more than the file could give.
  if (static_cast<int64_t>(dib.Bits().size()) < dib.RowBytes() * dib.Height()) std::abort();
  if (static_cast<int64_t>(dib.Bits().size()) > static_cast<int64_t>(size) + dib.RowBytes() * dib.Height()) std::abort();
  return 0;
}
