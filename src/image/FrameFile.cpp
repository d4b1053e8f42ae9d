#include "image/FrameFile.h"

#include <algorithm>
#include <array>

#include "platform/StringFormat.h"

namespace vx {

int64_t FrameFraming::FramesIn(int64_t length, int64_t frameBytes) const {
  const int64_t each = lineBytes + frameBytes;
  if (each <= 0 || length <= headerBytes) return 0;
  return (length - headerBytes) / each;
}

bool NamedAsY4m(std::string_view path) {
  if (path.size() < 4) return false;
  return EqualsIgnoreCase(path.substr(path.size() - 4), ".y4m");
}

std::optional<int64_t> ReadFrameLine(const RawFile& file, int64_t offset) {
  std::array<char, 256> start{};
  const int64_t got = file.ReadAt(offset, start.data(), static_cast<int64_t>(start.size()));
  if (got <= 0) return std::nullopt;
  if (const auto line = Y4mFrameLineBytes(std::string_view(start.data(), static_cast<size_t>(got)))) {
    return line;
  }
  // A line with long parameters: read as far as the header limit allows.
  std::string longer(kY4mHeaderLimit, '\0');
  const int64_t more = file.ReadAt(offset, longer.data(), static_cast<int64_t>(longer.size()));
  if (more <= got) return std::nullopt;
  return Y4mFrameLineBytes(std::string_view(longer.data(), static_cast<size_t>(more)));
}

ImageFormat Y4mLayout(const Y4mStream& stream) {
  ImageFormat f;
  f.SamplingFormat = stream.chroma == Y4mChroma::Mono   ? MONO
                     : stream.chroma == Y4mChroma::C422 ? YUV_422
                     : stream.chroma == Y4mChroma::C444 ? YUV_444
                                                        : YUV_420;
  f.ComponentOrder = YUV;
  f.FieldFormat = Progressive;
  f.PixelFormat = Planar;
  f.ImgWidth = stream.width;
  f.ImgHeight = stream.height;
  f.BitsPerSample = stream.bits;
  f.ImageResolution = kCustomResolution;
  DeriveFourcc(f);
  DeriveResolution(f);
  return f;
}

FrameFileProbe ProbeFrameFile(const RawFile& file, const std::string& path) {
  FrameFileProbe probe;
  std::string start(kY4mHeaderLimit, '\0');
  const int64_t got = file.ReadAt(0, start.data(), static_cast<int64_t>(start.size()));
  start.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
  if (!StartsAsY4m(start) && !NamedAsY4m(path)) return probe;
  probe.framing.y4m = true;
  Y4mHeaderReading header = ReadY4mStreamHeader(start);
  if (!header.stream) {
    probe.problem = Y4mHeaderMessage(path, header.problem);
    return probe;
  }
  const ImageFormat layout = Y4mLayout(*header.stream);
  if (Y4mSampleBytes(*header.stream) != FrameSizeOf(layout)) {
    probe.problem = Y4mHeaderMessage(
        path, StrFormat("has frames of %d x %d, whose chroma planes have no whole sample for every two "
                        "pixels; convert it to an even size first",
                        layout.ImgWidth, layout.ImgHeight));
    return probe;
  }
  probe.framing.headerBytes = header.stream->headerBytes;
  const auto line = ReadFrameLine(file, probe.framing.headerBytes);
  if (!line) {
    probe.problem = Y4mHeaderMessage(path, "has no FRAME line after its header");
    return probe;
  }
  probe.framing.lineBytes = *line;
  probe.layout = layout;
  probe.stream = header.stream;
  return probe;
}

FrameFileProbe ProbeFrameFile(const std::string& path) {
  const auto file = RawFile::OpenRead(path);
  if (!file) return {};
  return ProbeFrameFile(*file, path);
}

std::optional<Y4mStream> Y4mStreamFor(const ImageFormat& f, std::string& problem) {
  Y4mStream stream;
  stream.width = f.ImgWidth;
  stream.height = f.ImgHeight;
  stream.bits = f.BitsPerSample;
  const bool planar = f.PixelFormat == Planar && f.ComponentOrder == YUV;
  switch (f.SamplingFormat) {
    case YUV_420:
      stream.chroma = f.BitsPerSample > 8 ? Y4mChroma::C420 : Y4mChroma::C420jpeg;
      break;
    case YUV_422:
      stream.chroma = Y4mChroma::C422;
      break;
    case YUV_444:
      stream.chroma = Y4mChroma::C444;
      break;
    case MONO:
      stream.chroma = Y4mChroma::Mono;
      break;
    default:
      problem = "RGB and BMP frames";
      return std::nullopt;
  }
  if (f.SamplingFormat != MONO && !planar) {
    problem = "frames that are not planar in the order YUV";
    return std::nullopt;
  }
  if (f.FieldFormat != Progressive) {
    problem = "interlaced frames stored field by field";
    return std::nullopt;
  }
  stream.interlace = 'p';
  return stream;
}

std::optional<std::string> Y4mOutputRefusal(const std::string& path, const ImageFormat& layout) {
  if (!NamedAsY4m(path)) return std::nullopt;
  std::string problem;
  if (Y4mStreamFor(layout, problem)) return std::nullopt;
  return StrFormat(
      "Error Y4MW1001: %s is named as a Y4M file, which cannot hold %s; choose planar "
      "progressive YUV (order YUV) or mono, or another name!\n",
      path.c_str(), problem.c_str());
}

std::optional<std::string> Y4mLayoutMismatch(const std::string& path, const ImageFormat& header,
                                             const ImageFormat& layout) {
  const bool same = header.SamplingFormat == layout.SamplingFormat && header.ImgWidth == layout.ImgWidth &&
                    header.ImgHeight == layout.ImgHeight && header.BitsPerSample == layout.BitsPerSample &&
                    (header.SamplingFormat == MONO || (header.PixelFormat == layout.PixelFormat &&
                                                       header.ComponentOrder == layout.ComponentOrder &&
                                                       header.FieldFormat == layout.FieldFormat));
  if (same) return std::nullopt;
  const auto describe = [](const ImageFormat& f) {
    const bool known =
        f.SamplingFormat >= 0 && f.SamplingFormat < static_cast<int32_t>(kSamplingNames.size());
    return StrFormat("%s planar frames of %d x %d at %d bits",
                     known ? kSamplingNames[static_cast<size_t>(f.SamplingFormat)] : "unknown", f.ImgWidth,
                     f.ImgHeight, f.BitsPerSample);
  };
  return StrFormat(
      "Error Y4MR1002: The Y4M file %s holds %s, not the layout asked for; leave the layout "
      "options out for a Y4M file!\n",
      path.c_str(), describe(header).c_str());
}

int64_t CountFramesIn(const RawFile& file, const FrameFraming& framing, int64_t frameBytes) {
  const int64_t length = std::max<int64_t>(file.Length(), 0);
  if (!framing.y4m || frameBytes <= 0) return framing.FramesIn(length, frameBytes);
  int64_t frames = 0;
  for (int64_t at = framing.headerBytes; at < length; ++frames) {
    const auto line = ReadFrameLine(file, at);
    if (!line) {
      // A damaged line: the frames after it are counted as the first line's, so
      // that a reader meets the damage and says so rather than ending early.
      frames += (length - at) / (framing.lineBytes + frameBytes);
      break;
    }
    if (at + *line + frameBytes > length) break;
    at += *line + frameBytes;
  }
  return frames;
}

int64_t CountFramesIn(const std::string& path, const ImageFormat& layout) {
  const auto file = RawFile::OpenRead(path);
  const int32_t frameBytes = FrameSizeOf(layout);
  if (!file || frameBytes <= 0) return 0;
  return CountFramesIn(*file, ProbeFrameFile(*file, path).framing, frameBytes);
}

}  // namespace vx
