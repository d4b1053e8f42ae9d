#include "image/Y4mHeader.h"

#include <array>
#include <charconv>

#include "platform/StringFormat.h"

namespace vx {
namespace {

constexpr std::string_view kSignature = "YUV4MPEG2";

struct ChromaTag {
  std::string_view tag;
  Y4mChroma chroma;
  int32_t bits;
};

// Every colour space tag read, and the one written first for each sampling and depth.
constexpr std::array<ChromaTag, 19> kChromaTags = {{
    {"420jpeg", Y4mChroma::C420jpeg, 8},   {"420mpeg2", Y4mChroma::C420mpeg2, 8},
    {"420paldv", Y4mChroma::C420paldv, 8}, {"420", Y4mChroma::C420, 8},
    {"422", Y4mChroma::C422, 8},           {"444", Y4mChroma::C444, 8},
    {"mono", Y4mChroma::Mono, 8},          {"420p10", Y4mChroma::C420, 10},
    {"422p10", Y4mChroma::C422, 10},       {"444p10", Y4mChroma::C444, 10},
    {"mono10", Y4mChroma::Mono, 10},       {"420p12", Y4mChroma::C420, 12},
    {"422p12", Y4mChroma::C422, 12},       {"444p12", Y4mChroma::C444, 12},
    {"mono12", Y4mChroma::Mono, 12},       {"420p16", Y4mChroma::C420, 16},
    {"422p16", Y4mChroma::C422, 16},       {"444p16", Y4mChroma::C444, 16},
    {"mono16", Y4mChroma::Mono, 16},
}};

std::optional<int32_t> PositiveNumber(std::string_view text) {
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value <= 0) return std::nullopt;
  return value;
}

std::string Quoted(std::string_view text) {
  // Long or unprintable values are shown cut and escaped: a message is one short line.
  std::string shown;
  for (const char c : text.substr(0, 32)) {
    if (c >= 0x20 && c < 0x7f) {
      shown += c;
    } else {
      shown += StrFormat("\\x%02x", static_cast<unsigned char>(c));
    }
  }
  return "\"" + shown + (text.size() > 32 ? "...\"" : "\"");
}

// One tag of the stream header into `stream`; a problem, or empty.
std::string ReadTag(std::string_view tag, Y4mStream& stream, bool& sawWidth, bool& sawHeight) {
  const std::string_view value = tag.substr(1);
  switch (tag.front()) {
    case 'W':
    case 'H': {
      const auto number = PositiveNumber(value);
      const bool width = tag.front() == 'W';
      const int32_t limit = width ? kY4mMaxWidth : kY4mMaxHeight;
      if (!number || *number > limit)
        return StrFormat("gives the %s %s, not a number from 1 to %d", width ? "width" : "height",
                         Quoted(value).c_str(), limit);
      (width ? stream.width : stream.height) = *number;
      (width ? sawWidth : sawHeight) = true;
      return {};
    }
    case 'F': {
      const size_t colon = value.find(':');
      const auto numerator =
          colon == std::string_view::npos ? std::nullopt : PositiveNumber(value.substr(0, colon));
      const auto denominator =
          colon == std::string_view::npos ? std::nullopt : PositiveNumber(value.substr(colon + 1));
      if (!numerator || !denominator)
        return StrFormat("gives the frame rate %s, not two positive numbers N:D", Quoted(value).c_str());
      stream.rateNumerator = *numerator;
      stream.rateDenominator = *denominator;
      return {};
    }
    case 'I':
      if (value.size() != 1 || std::string_view("ptbm").find(value.front()) == std::string_view::npos)
        return StrFormat("gives the interlacing %s, not p, t, b or m", Quoted(value).c_str());
      stream.interlace = value.front();
      return {};
    case 'C':
      for (const ChromaTag& known : kChromaTags) {
        if (known.tag == value) {
          stream.chroma = known.chroma;
          stream.bits = known.bits;
          return {};
        }
      }
      return StrFormat("gives the colour space %s, which the program does not read", Quoted(value).c_str());
    default:
      return {};  // aspect ratio, extensions and tags of later versions
  }
}

}  // namespace

bool StartsAsY4m(std::string_view start) {
  return start.size() > kSignature.size() && start.substr(0, kSignature.size()) == kSignature &&
         start[kSignature.size()] == ' ';
}

Y4mHeaderReading ReadY4mStreamHeader(std::string_view start) {
  if (!StartsAsY4m(start)) return {.stream = std::nullopt, .problem = "does not start with \"YUV4MPEG2 \""};
  const size_t end = start.substr(0, kY4mHeaderLimit).find('\n');
  if (end == std::string_view::npos)
    return {
        .stream = std::nullopt,
        .problem = StrFormat("has no line feed ending its header in its first %zu bytes", kY4mHeaderLimit)};
  Y4mStream stream;
  bool sawWidth = false, sawHeight = false;
  std::string_view rest = start.substr(kSignature.size(), end - kSignature.size());
  while (!rest.empty()) {
    const size_t space = rest.find(' ');
    const std::string_view tag = rest.substr(0, space);
    rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
    if (tag.empty()) continue;  // a second space
    if (std::string problem = ReadTag(tag, stream, sawWidth, sawHeight); !problem.empty())
      return {.stream = std::nullopt, .problem = "has a header that " + problem};
  }
  if (!sawWidth || !sawHeight)
    return {.stream = std::nullopt, .problem = "has a header without its width (W) and height (H)"};
  stream.headerBytes = static_cast<int64_t>(end) + 1;
  return {.stream = stream, .problem = {}};
}

std::optional<int64_t> Y4mFrameLineBytes(std::string_view bytes) {
  constexpr std::string_view kFrame = "FRAME";
  if (bytes.substr(0, kFrame.size()) != kFrame) return std::nullopt;
  const size_t end = bytes.substr(0, kY4mHeaderLimit).find('\n');
  // "FRAME" then the line feed, or a space and parameters.
  if (end == std::string_view::npos || (end > kFrame.size() && bytes[kFrame.size()] != ' '))
    return std::nullopt;
  return static_cast<int64_t>(end) + 1;
}

int64_t Y4mSampleBytes(const Y4mStream& stream) {
  const int64_t w = stream.width, h = stream.height;
  int64_t chromaW = w, chromaH = h;
  switch (stream.chroma) {
    case Y4mChroma::Mono:
      chromaW = chromaH = 0;
      break;
    case Y4mChroma::C422:
      chromaW = (w + 1) / 2;
      break;
    case Y4mChroma::C444:
      break;
    default:  // every 4:2:0 siting stores the same planes
      chromaW = (w + 1) / 2;
      chromaH = (h + 1) / 2;
      break;
  }
  return (w * h + 2 * chromaW * chromaH) * (stream.bits > 8 ? 2 : 1);
}

std::string Y4mStreamHeaderText(const Y4mStream& stream) {
  // 4:2:0 at 8 bits is written with the tag of its siting; deeper samples have one tag each.
  std::string_view tag = "420jpeg";
  for (const ChromaTag& known : kChromaTags) {
    if (known.chroma == stream.chroma && known.bits == stream.bits) {
      tag = known.tag;
      break;
    }
  }
  return StrFormat("YUV4MPEG2 W%d H%d F%d:%d I%c A0:0 C%s\n", stream.width, stream.height,
                   stream.rateNumerator, stream.rateDenominator, stream.interlace, std::string(tag).c_str());
}

std::string Y4mHeaderMessage(const std::string& path, const std::string& problem) {
  return StrFormat("Error Y4MR1001: The Y4M file %s %s!\n", path.c_str(), problem.c_str());
}

}  // namespace vx
