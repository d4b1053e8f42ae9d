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

std::string MissingFrameLineMessage(const std::string& path, int64_t n) {
  return StrFormat("Error Y4MR1003: The Y4M file %s has no FRAME line where frame %lld begins!\n",
                   path.c_str(), static_cast<long long>(n));
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

void FrameIndex::Build(const RawFile& file, const FrameFraming& framing, int64_t frameBytes,
                       size_t listLimit) {
  *this = FrameIndex{};
  listLimit = std::max<size_t>(listLimit, 2);
  framing_ = framing;
  frameBytes_ = frameBytes;
  const int64_t length = std::max<int64_t>(file.Length(), 0);
  walkedEnd_ = framing.headerBytes;
  if (!framing.y4m || frameBytes <= 0) {
    frames_ = framing.FramesIn(length, frameBytes);
    return;
  }
  for (int64_t at = framing.headerBytes; at < length; ++walked_) {
    const auto line = ReadFrameLine(file, at);
    if (!line) {
      uniform_ = false;
      damaged_ = walked_ + 1;
      frames_ += (length - at) / (framing.lineBytes + frameBytes);
      break;
    }
    if (at + *line + frameBytes > length) break;  // a partial frame
    if (uniform_ && *line != framing.lineBytes) uniform_ = false;
    if (uniform_) {
      sameLines_ = walked_ + 1;
    } else if ((walked_ - sameLines_) % stride_ == 0) {
      if (starts_.size() == listLimit) {
        // Every other line kept: the list never grows past its bound.
        for (size_t k = 0; 2 * k < starts_.size(); ++k) starts_[k] = starts_[2 * k];
        starts_.resize(starts_.size() / 2);
        stride_ *= 2;
      }
      if ((walked_ - sameLines_) % stride_ == 0) starts_.push_back(at);
    }
    at += *line + frameBytes;
    walkedEnd_ = at;
    ++frames_;
  }
}

std::optional<FrameIndex::Place> FrameIndex::WalkTo(const RawFile& file, int64_t m, int64_t at,
                                                    int64_t n) const {
  for (;; ++m) {
    const auto line = ReadFrameLine(file, at);
    if (!line) return std::nullopt;
    if (m == n) return Place{at, at + *line};
    at += *line + frameBytes_;
  }
}

std::optional<FrameIndex::Place> FrameIndex::Find(const RawFile& file, int64_t n) const {
  if (n < 1 || frameBytes_ <= 0) return std::nullopt;
  if (!framing_.y4m) {
    const int64_t at = framing_.FrameOffset(n, frameBytes_);
    return Place{at, at};
  }
  if (uniform_ || n <= sameLines_) {
    const int64_t at = framing_.FrameOffset(n, frameBytes_) - framing_.lineBytes;
    // Lines of another length there: the file is not the one walked.
    if (ReadFrameLine(file, at) != framing_.lineBytes) return std::nullopt;
    return Place{at, at + framing_.lineBytes};
  }
  if (n > walked_) return WalkTo(file, walked_ + 1, walkedEnd_, n);
  const int64_t k =
      std::min<int64_t>((n - sameLines_ - 1) / stride_, static_cast<int64_t>(starts_.size()) - 1);
  return WalkTo(file, sameLines_ + 1 + k * stride_, starts_[static_cast<size_t>(k)], n);
}

int64_t CountFramesIn(const RawFile& file, const FrameFraming& framing, int64_t frameBytes) {
  FrameIndex index;
  index.Build(file, framing, frameBytes);
  return index.Frames();
}

int64_t CountFramesIn(const std::string& path, const ImageFormat& layout) {
  const auto file = RawFile::OpenRead(path);
  const int32_t frameBytes = FrameSizeOf(layout);
  if (!file || frameBytes <= 0) return 0;
  return CountFramesIn(*file, ProbeFrameFile(*file, path).framing, frameBytes);
}

}  // namespace vx
