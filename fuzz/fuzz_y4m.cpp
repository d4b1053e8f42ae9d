// The Y4M header reader on any bytes: it reads a header or says why not, never
// reading past its limit; what it reads is in range, its header length is inside
// the input, and the header written from it reads back the same. FRAME lines are
// read from every offset of the input as well.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "image/Y4mHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (size_t at = 0; at < size && at < 64; ++at) {
    const auto line = vx::Y4mFrameLineBytes(bytes.substr(at));
    if (line && (*line < 6 || *line > static_cast<int64_t>(size - at))) std::abort();
  }
  const vx::Y4mHeaderReading read = vx::ReadY4mStreamHeader(bytes);
  if (!read.stream) {
    if (read.problem.empty()) std::abort();
    return 0;
  }
  const vx::Y4mStream& s = *read.stream;
  if (s.width < 1 || s.width > vx::kY4mMaxWidth || s.height < 1 || s.height > vx::kY4mMaxHeight ||
      s.rateNumerator < 1 || s.rateDenominator < 1 || s.headerBytes < 1 ||
      s.headerBytes > static_cast<int64_t>(std::min(size, vx::kY4mHeaderLimit)) ||
      (s.bits != 8 && s.bits != 10 && s.bits != 12 && s.bits != 16) || vx::Y4mSampleBytes(s) <= 0)
    std::abort();
  vx::Y4mStream again = s;
  const std::string text = vx::Y4mStreamHeaderText(s);
  again.headerBytes = static_cast<int64_t>(text.size());
  const vx::Y4mHeaderReading reread = vx::ReadY4mStreamHeader(text);
  if (!reread.stream || !(*reread.stream == again)) std::abort();
  return 0;
}
