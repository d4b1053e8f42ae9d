#pragma once

// The text headers of Y4M files (YUV4MPEG2): the stream header line that gives a
// file's size, frame rate, sampling and depth, and the FRAME line before each
// frame's samples. Headers only; the samples follow as planar frames.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vx {

enum class Y4mChroma : uint8_t { C420jpeg, C420mpeg2, C420paldv, C420, C422, C444, Mono };

struct Y4mStream {
  int32_t width = 0, height = 0;
  int32_t rateNumerator = 25, rateDenominator = 1;  // 25 frames a second when the header gives none
  Y4mChroma chroma = Y4mChroma::C420jpeg;           // the format's default sampling
  int32_t bits = 8;                                 // 8, 10, 12 or 16; above 8, 16-bit little-endian words
  char interlace = 'p';                             // p, t, b or m, as the header says
  int64_t headerBytes = 0;                          // the stream header line, its line feed included
  bool operator==(const Y4mStream&) const = default;
};

// The longest stream header read; a header without a line feed in it is refused.
constexpr size_t kY4mHeaderLimit = 4096;
// Sizes a header may give: the largest pictures the program shows.
constexpr int32_t kY4mMaxWidth = 8192, kY4mMaxHeight = 5120;

struct Y4mHeaderReading {
  std::optional<Y4mStream> stream;
  std::string problem;  // why there is none, in words that follow "the file ..."
};

// Reads the stream header from the first bytes of a file (up to kY4mHeaderLimit
// of them). Tags the program does not use (A, X and any other letter) are passed
// over; a tag it uses with a value it cannot take is a problem.
Y4mHeaderReading ReadY4mStreamHeader(std::string_view start);

// Whether a file's first bytes are a Y4M signature.
bool StartsAsY4m(std::string_view start);

// The bytes of the FRAME line at the start of `bytes` (parameters and line feed
// included), nullopt when there is none there or it runs past kY4mHeaderLimit.
std::optional<int64_t> Y4mFrameLineBytes(std::string_view bytes);

// The bytes of one frame's samples (without its FRAME line); chroma planes of odd
// sizes round up, as Y4M writers store them.
int64_t Y4mSampleBytes(const Y4mStream& stream);

// The stream header line that describes `stream` (its headerBytes is not used).
std::string Y4mStreamHeaderText(const Y4mStream& stream);

// The message for a file whose header could not be read.
std::string Y4mHeaderMessage(const std::string& path, const std::string& problem);

}  // namespace vx
