// The Y4M header reader on any bytes: it reads a header or says why not, never
// reading past its limit; what it reads is in range, its header length is inside
// the input, and the header written from it reads back the same. FRAME lines are
// read from every offset of the input as well, and the input as a file is walked
// frame by frame (FrameIndex): every frame found lies after the one before, its
// line inside the file, and a list bounded to two line starts finds the same
// places as the full one.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "image/FrameFile.h"
#include "image/Y4mHeader.h"

namespace {

void WalkFrames(const uint8_t* data, size_t size) {
  const vx::RawFile file = vx::fuzz::FileWith(data, size);
  const vx::FrameFileProbe probe = vx::ProbeFrameFile(file, "input.y4m");
  if (!probe.problem.empty() || !probe.layout) return;
  // Frames of a few bytes, so that short inputs hold several.
  for (const int64_t frameBytes : {int64_t{1}, int64_t{7}}) {
    vx::FrameIndex full, bounded;
    full.Build(file, probe.framing, frameBytes);
    bounded.Build(file, probe.framing, frameBytes, 2);
    if (full.Frames() != bounded.Frames() || full.Frames() < 0 || bounded.Listed() > 2) std::abort();
    int64_t end = probe.framing.headerBytes;
    for (int64_t n = 1; n <= std::min<int64_t>(full.Frames() + 2, 200); ++n) {
      const auto place = full.Find(file, n);
      const auto same = bounded.Find(file, n);
      if (place.has_value() != same.has_value() || (place && !(*place == *same))) std::abort();
      if (!place) continue;
      if (place->line < end || place->samples <= place->line || place->samples > static_cast<int64_t>(size))
        std::abort();
      end = place->samples + frameBytes;
    }
  }
}

}  // namespace

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
  WalkFrames(data, size);
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
