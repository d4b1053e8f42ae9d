#include "display/FormatPreview.h"

#include <algorithm>
#include <cstring>

#include "display/DisplayConvert.h"
#include "display/DisplayPicture.h"
#include "image/ColorFormula.h"
#include "image/Dib.h"
#include "image/PixelOps.h"
#include "image/StoredFrames.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"

namespace vx {
namespace {

const RgbColor kFills[3] = {{188, 188, 188}, {218, 188, 188}, {188, 188, 218}};
const RgbColor kFrames[3] = {{138, 138, 138}, {168, 138, 138}, {138, 138, 168}};

std::string PackedLabel(const ImageFormat& f) {
  const int32_t o = f.ComponentOrder;
  switch (f.SamplingFormat) {
    case YUV_444: {
      static const char* const labels[] = {"YUV YUV YUV", "YVU YVU YVU", "UYV UYV UYV"};
      return o >= YUV && o <= UYV ? labels[o] : "Invalid YUV444";
    }
    case YUV_422: {
      static const char* const labels[] = {"YUYV YUYV", "YVYU YVYU", "UYVY UYVY"};
      return o >= YUV && o <= UYV ? labels[o] : "Invalid YUV422";
    }
    case YUV_420:
      return "Invalid YUV420";
    case RGB_444:
    case BMP:
      return o == RGB ? "RGB RGB RGB" : (o == BGR ? "BGR BGR BGR" : "Invalid RGB");
    default:
      return "Single Channel";
  }
}

// Plane labels in storage order, or one "Invalid ..." label.
std::vector<std::string> PlaneLabels(const ImageFormat& f) {
  const int32_t o = f.ComponentOrder;
  switch (f.SamplingFormat) {
    case YUV_444:
    case YUV_422:
    case YUV_420: {
      const int32_t last = f.SamplingFormat == YUV_444 ? UYV : YVU;
      if (o < YUV || o > last) {
        return {f.SamplingFormat == YUV_444   ? "Invalid YUV444"
                : f.SamplingFormat == YUV_422 ? "Invalid YUV422"
                                              : "Invalid YUV420"};
      }
      if (o == YVU) return {"Y Y Y", "V V V", "U U U"};
      if (o == UYV) return {"U U U", "Y Y Y", "V V V"};
      return {"Y Y Y", "U U U", "V V V"};
    }
    case RGB_444:
      if (o == RGB) return {"R R R", "G G G", "B B B"};
      if (o == BGR) return {"B B B", "G G G", "R R R"};
      return {"Invalid RGB"};
    default:
      return {"Single Channel"};
  }
}

}  // namespace

std::vector<DiagramBox> StructureDiagram(const ImageFormat& f) {
  std::vector<DiagramBox> boxes;
  const double w = std::max(f.ImgWidth, 1), h = std::max(f.ImgHeight, 1);
  const int fields = f.FieldFormat == Interlaced ? 2 : 1;
  const double fieldHeight = h / fields;
  const bool planar = f.PixelFormat == Planar && f.SamplingFormat != BMP;
  const bool semiPlanar = f.PixelFormat == SemiPlanar && IsYuvSampling(f.SamplingFormat);
  double y = 0;
  for (int field = 0; field < fields; ++field) {
    if (semiPlanar) {
      // The luma plane, then one plane of chroma pairs: half as many rows for 4:2:0,
      // twice the samples per row for 4:4:4.
      const double chromaHeight = f.SamplingFormat == YUV_420 ? fieldHeight / 2 : fieldHeight;
      const char* pairs = f.ComponentOrder == YVU ? "V U V U" : "U V U V";
      boxes.push_back({0, y, w, fieldHeight, "Y Y Y", kFills[0], kFrames[0]});
      y += fieldHeight;
      boxes.push_back({0, y, w, chromaHeight, pairs, kFills[1], kFrames[1]});
      y += chromaHeight;
      continue;
    }
    if (!planar || f.SamplingFormat == MONO) {
      const std::string label = f.SamplingFormat == MONO ? "Single Channel" : PackedLabel(f);
      boxes.push_back({0, y, w, fieldHeight, label, kFills[0], kFrames[0]});
      y += fieldHeight;
      continue;
    }
    const std::vector<std::string> labels = PlaneLabels(f);
    if (labels.size() == 1) {
      boxes.push_back({0, y, w, fieldHeight, labels[0], kFills[0], kFrames[0]});
      y += fieldHeight;
      continue;
    }
    // Luma full size; chroma halved in width for 4:2:2, in both directions for
    // 4:2:0, the two chroma planes side by side under the luma plane.
    const bool sub = f.SamplingFormat == YUV_422 || f.SamplingFormat == YUV_420;
    if (!sub) {
      for (size_t k = 0; k < 3; ++k) {
        boxes.push_back({0, y, w, fieldHeight, labels[k], kFills[k], kFrames[k]});
        y += fieldHeight;
      }
      continue;
    }
    const double chromaHeight = f.SamplingFormat == YUV_420 ? fieldHeight / 2 : fieldHeight;
    boxes.push_back({0, y, w, fieldHeight, labels[0], kFills[0], kFrames[0]});
    y += fieldHeight;
    boxes.push_back({0, y, w / 2, chromaHeight, labels[1], kFills[1], kFrames[1]});
    boxes.push_back({w / 2, y, w / 2, chromaHeight, labels[2], kFills[2], kFrames[2]});
    y += chromaHeight;
  }
  return boxes;
}

void FitInto(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight, int32_t& fitWidth,
             int32_t& fitHeight) {
  const double scale = std::min(static_cast<double>(std::max(maxWidth, 1)) / std::max(width, 1),
                                static_cast<double>(std::max(maxHeight, 1)) / std::max(height, 1));
  fitWidth = std::max(1, static_cast<int32_t>(width * scale));
  fitHeight = std::max(1, static_cast<int32_t>(height * scale));
}

bool FormatPreview::Load(const std::string& path, const ImageFormat& format) {
  const int32_t w = format.ImgWidth, h = format.ImgHeight;
  const int32_t bufferW = std::max(w, 720), bufferH = std::max(h, 480);
  FrameImage probe;
  static_cast<ImageFormat&>(probe) = format;
  const int32_t frameSize = ComputeFrameSize(probe);
  if (w < 1 || h < 1 || !WorkBufferSizeSupported(bufferW, bufferH) || frameSize <= 0) {
    ShowMessage(StrFormat("Error FRMT1013: Image size (%d, %d) not support !\n", bufferW, bufferH));
    return false;
  }
  const int64_t bytes = WorkBufferSize(bufferW, bufferH);
  if (raw_.size() != bytes &&
      (!raw_.Allocate(bytes) || !work_.Allocate(bytes) || !canonical_.Allocate(bytes))) {
    raw_.Release();
    ShowMessage(StrFormat("Error FRMT1013: Image size (%d, %d) not support !\n", bufferW, bufferH));
    return false;
  }
  auto file = RawFile::OpenRead(path);
  if (!file) {
    ShowMessage(StrFormat("Error FRMT1014: File %s can not open !\n", path.c_str()));
    return false;
  }
  std::memset(raw_.data(), 0, static_cast<size_t>(raw_.size()));
  FrameImage frame = raw_.Frame(format);
  // Semi-planar and deeper frames are previewed in their 8-bit planar working
  // layout; a Y4M file's first frame lies after its header.
  StoredFrameReader reader;
  if (format.SamplingFormat != BMP && reader.SetLayout(format) && reader.Attach(*file, path, false)) {
    rawBytes_ = std::max<int64_t>(reader.Read(*file, 1, frame), 0);
    frameCount_ = reader.FramesIn(*file);
    format_ = reader.Working();
  } else {
    frame = raw_.Frame(format);
    rawBytes_ = format.SamplingFormat == BMP || !IsStoredOnlyLayout(format) ? ReadFrame(*file, frame) : 0;
    frameCount_ = static_cast<int64_t>(
        CountFrames(static_cast<uint64_t>(std::max<int64_t>(file->Length(), 0)), frameSize));
    format_ = format;
  }
  path_ = path;
  loaded_ = true;
  return true;
}

bool FormatPreview::ToCanonical(const ColourTables& tables, FrameImage& canonical) {
  const int32_t w = format_.ImgWidth, h = format_.ImgHeight;
  canonical = canonical_.Frame(format_);
  SetCanonicalHeader(canonical, w, h);
  if (format_.SamplingFormat == BMP) {
    CDib dib;
    auto file = RawFile::OpenRead(path_);
    // A raw file read as BMP is simply not previewed (the bitmap's refusal is not shown).
    if (!file || !dib.Read(*file) || dib.BitCount() != 24 || dib.Width() != w || dib.Height() != h)
      return false;
    return RgbBufferToYuv(tables, dib.Bits(),
                          std::span<uint8_t>(canonical.Data, static_cast<size_t>(canonical.Capacity)), w, h,
                          RgbRowsLayout{.bottomUp = true, .bgr = true, .alignedRows = true});
  }
  std::memcpy(work_.data(), raw_.data(), static_cast<size_t>(raw_.size()));
  DisplayPictureOptions options;
  options.mono = MonoDisplay::AsLuma;
  return MakeDisplayPicture(tables, work_.Frame(format_), canonical, displayWork_, options);
}

std::optional<DisplayPicture> FormatPreview::ImagePicture(const ColourTables& tables, int32_t maxWidth,
                                                          int32_t maxHeight, PreviewPath path) {
  if (!loaded_) return std::nullopt;
  if (auto refusal = PreviewRefusal(format_, path)) {
    ShowMessage(*refusal);
    return std::nullopt;
  }
  FrameImage canonical;
  if (!ToCanonical(tables, canonical)) return std::nullopt;
  int32_t fitW = 0, fitH = 0;
  FitInto(format_.ImgWidth, format_.ImgHeight, maxWidth, maxHeight, fitW, fitH);
  const FrameImage* shown = &canonical;
  FrameImage scaled;
  if ((fitW != format_.ImgWidth || fitH != format_.ImgHeight) && fitW >= 2 && fitH >= 2 &&
      format_.ImgWidth >= 2 && format_.ImgHeight >= 2) {
    if (scaled_.size() < WorkBufferSize(fitW, fitH)) scaled_.Allocate(WorkBufferSize(fitW, fitH));
    scaled = scaled_.Frame(canonical);
    scaled.ImgWidth = fitW;
    scaled.ImgHeight = fitH;
    if (ScaleBilinear(canonical, scaled)) shown = &scaled;
  }
  DisplayPicture picture;
  picture.width = shown->ImgWidth;
  picture.height = shown->ImgHeight;
  picture.rows.resize(static_cast<size_t>(DisplayRowPitch(picture.width, true) * picture.height));
  if (!ConvertToDisplayRGB(
          tables, std::span<const uint8_t>(shown->Data, static_cast<size_t>(shown->DataSize)), picture.rows,
          picture.width, picture.height, DisplayRowsOptions{.bottomUp = true, .padRows = true})) {
    return std::nullopt;
  }
  return picture;
}

std::optional<DisplayPicture> FormatPreview::DumpPicture(int32_t maxWidth, int32_t maxHeight) const {
  if (!loaded_ || format_.ImgWidth < 1) return std::nullopt;
  FrameImage probe;
  static_cast<ImageFormat&>(probe) = format_;
  const int64_t bytes = std::min<int64_t>(ComputeFrameSize(probe), raw_.size());
  const int64_t w = format_.ImgWidth, rows = bytes / w;
  if (rows < 1) return std::nullopt;
  int32_t fitW = 0, fitH = 0;
  FitInto(static_cast<int32_t>(w), static_cast<int32_t>(std::min<int64_t>(rows, INT32_MAX)), maxWidth,
          maxHeight, fitW, fitH);
  // Nearest sample of the raw bytes for each shown pixel, as grey.
  DisplayPicture picture;
  picture.width = fitW;
  picture.height = fitH;
  const int64_t pitch = DisplayRowPitch(fitW, true);
  picture.rows.assign(static_cast<size_t>(pitch * fitH), 0);
  for (int64_t r = 0; r < fitH; ++r) {
    const int64_t sourceRow = r * rows / fitH;
    uint8_t* out = picture.rows.data() + (fitH - 1 - r) * pitch;
    for (int64_t x = 0; x < fitW; ++x) {
      const uint8_t v = raw_.data()[sourceRow * w + x * w / fitW];
      out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = v;
    }
  }
  return picture;
}

}  // namespace vx
