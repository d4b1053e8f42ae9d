#include "tools/Components.h"

#include <cstring>

#include "image/PixelOps.h"
#include "image/SampleStorage.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"

namespace vx {

const ToolMessages kSeparateMessages = {
    .endBeforeStart = "Error SEPA1005:  End frame number cannot be smaller than start frame number!\n",
    .startBeyondCount =
        "Error SEPA1006:  The start frame number you specified is bigger than the number of frames in the "
        "image "
        "file "
        "to separate!\n",
    .endBeyondCount =
        "Error SEPA1007:  The end frame number you specified is bigger than the number of frames in the "
        "image to "
        "separate!\n",
    .notPositive = "Error SEPA1008:  Start or end frame number cannot be less than or equal to zero!\n",
    .sourceImageSize = "Error SEPA1009: Image size (%d, %d) not support !\n",
    .targetImageSize = "Error SEPA1009: Image size (%d, %d) not support !\n",
    .sourceNotFound = "Error SEPA1015: Input file %s not found\n",
    .requestNotFound = "Error SEPA1015: Input file %s not found\n",
    .bitstream = "Error SEPA1016: Bitstream reading error!\n",
    .targetNotWritten = "Error SEPA1017: File %s cannot be written !\n",
    .finished = "",  // the finish message lists the three files
};

const ToolMessages kMergeMessages = {
    .endBeforeStart = "Error MERG1011:  End frame number cannot be smaller than start frame number!\n",
    .startBeyondCount =
        "Error MERG1012:  The start frame number you specified is bigger than the number of frames in the "
        "image "
        "file "
        "to merge!\n",
    .endBeyondCount =
        "Error MERG1013:  The end frame number you specified is bigger than the number of frames in the "
        "image to "
        "merge!\n",
    .notPositive = "Error MERG1014:  Start or end frame number cannot be less than or equal to zero!\n",
    .sourceImageSize = "Error MERG1015: Image size (%d, %d) not support !\n",
    .targetImageSize = "Error MERG1015: Image size (%d, %d) not support !\n",
    .sourceNotFound = "Error MERG1018: Input file %s not found\n",
    .requestNotFound = "Error MERG1018: Input file %s not found\n",
    .bitstream = "Error MERG1021: Bitstream reading error!\n",
    .targetNotWritten = "Error MERG1024: File %s cannot be written !\n",
    .finished = "",  // the finish message names the merged layout
};

std::optional<ComponentSize> SizeInComponentName(std::string_view path) {
  std::string_view name = path.substr(path.rfind('/') + 1);  // npos + 1 is 0: the whole path
  name = name.substr(0, name.rfind('.'));
  const size_t underscore = name.rfind('_');
  if (underscore == std::string_view::npos) return std::nullopt;
  const std::string_view size = name.substr(underscore + 1);
  const size_t x = size.find_first_of("xX");
  auto number = [](std::string_view digits) -> int32_t {
    if (digits.empty() || digits.size() > 5) return 0;
    int32_t value = 0;
    for (const char c : digits) {
      if (c < '0' || c > '9') return 0;
      value = value * 10 + (c - '0');
    }
    return value;
  };
  if (x == std::string_view::npos) return std::nullopt;
  const ComponentSize found{number(size.substr(0, x)), number(size.substr(x + 1))};
  if (found.width < 1 || found.height < 1 || found.width > kMaxCustomWidth || found.height > kMaxCustomHeight)
    return std::nullopt;
  return found;
}

ImageFormat ComponentPickPreset(const ImageFormat& own, std::string_view path, const ImageFormat* lastChosen,
                                const ImageFormat& current) {
  ImageFormat preset = own;
  auto sized = [](const ImageFormat& f) { return f.ImgWidth > 0 && f.ImgHeight > 0; };
  const ImageFormat* sizeFrom = sized(own) ? &own : lastChosen && sized(*lastChosen) ? lastChosen : &current;
  preset.ImgWidth = sizeFrom->ImgWidth;
  preset.ImgHeight = sizeFrom->ImgHeight;
  if (const auto named = SizeInComponentName(path)) {
    preset.ImgWidth = named->width;
    preset.ImgHeight = named->height;
  }
  DeriveResolution(preset);
  return preset;
}

namespace {

constexpr const char* kComponentNotWritten[3] = {"Error SEPA1017: File %s cannot be written !\n",
                                                 "Error SEPA1018: Output file %s cannot be open\n",
                                                 "Error SEPA1019: File %s cannot be written !\n"};
constexpr const char* kComponentNotFound[3] = {"Error MERG1018: Input file %s not found\n",
                                               "Error MERG1019: Input file %s not found\n",
                                               "Error MERG1020: Input file %s not found\n"};
constexpr const char* kComponentBitstream[3] = {"Error MERG1021: Bitstream reading error!\n",
                                                "Error MERG1022: Bitstream reading error!\n",
                                                "Error MERG1023: Bitstream reading error!\n"};

const char* SamplingName(int32_t sampling) {
  return sampling >= 0 && sampling < static_cast<int32_t>(kSamplingNames.size()) ? kSamplingNames[sampling]
                                                                                 : "UNKNOWN";
}

// Which component (0: Y or R, 1: U or G, 2: V or B) a stored position holds.
std::array<int, 3> ComponentAtPosition(int32_t order) {
  switch (order) {
    case YVU:
      return {0, 2, 1};
    case UYV:
      return {1, 0, 2};
    case BGR:
      return {2, 1, 0};
    default:
      return {0, 1, 2};
  }
}

}  // namespace

ComponentSizes ComponentSizesOf(int32_t sampling, int32_t width, int32_t height) {
  const ComponentSize full{width, height};
  if (sampling == YUV_422) return {full, ComponentSize{width / 2, height}, ComponentSize{width / 2, height}};
  if (sampling == YUV_420) {
    return {full, ComponentSize{width / 2, height / 2}, ComponentSize{width / 2, height / 2}};
  }
  return {full, full, full};
}

FrameImage ComponentLayout(ComponentSize size, int32_t fourcc, int32_t bitsPerSample) {
  FrameImage f;
  f.Fourcc = bitsPerSample == 8 ? fourcc : 0;  // FOURCCs name 8-bit layouts only
  SetLayoutAndSize(
      f, {.sampling = MONO, .order = YUV, .field = Progressive, .pixel = Planar, .bits = bitsPerSample},
      size.width, size.height);
  DeriveResolution(f);
  ComputeFrameSize(f);
  return f;
}

std::array<std::string, 3> ComponentFileNames(const std::string& base, int32_t sampling) {
  if (sampling == RGB_444) return {base + ".r", base + ".g", base + ".b"};
  return {base + ".y", base + ".u", base + ".v"};
}

// ---- separate ----------------------------------------------------------------

bool SeparateJob::PrepareSeparate(const std::string& source, const std::string& base,
                                  const ImageFormat& current) {
  if (!PrepareFromRequest(source, base, current)) return false;
  ComponentNames = ComponentFileNames(DefaultTargetName(base, ""), SourceFormat.SamplingFormat);
  return true;
}

void SeparateJob::DescribeFiles(ToolRunSpec& spec) const {
  ToolJob::DescribeFiles(spec);
  const ComponentSizes sizes =
      ComponentSizesOf(SourceFormat.SamplingFormat, SourceFormat.ImgWidth, SourceFormat.ImgHeight);
  spec.outputs.clear();
  for (size_t i = 0; i < 3; ++i) {
    JobOutput out;
    out.name = ComponentNames[i];
    out.format = ComponentLayout(sizes[i], 0, SourceFormat.BitsPerSample);
    out.notWritten = kComponentNotWritten[i];
    out.history = kCreated;
    spec.outputs.push_back(std::move(out));
  }
}

bool SeparateJob::ChecksBeforeRange() {
  const FrameImage& source = In();
  if (source.SamplingFormat == MONO || source.SamplingFormat == BMP) {
    Report(
        StrFormat("Error VLTX1023: %s holds a single component or a bitmap picture (%s); only YUV and RGB "
                  "files can be separated into components!\n",
                  run_.inputs[0].name.c_str(), SamplingName(source.SamplingFormat)));
    return false;
  }
  if (source.SamplingFormat == YUV_420 && source.PixelFormat == Packed) {
    Report("Error SEPA1020:  Format not supported!\n");
    if (observer_) observer_->CloseRequested();
    return false;
  }
  return true;
}

bool SeparateJob::WriteComponent(size_t file, uint8_t* bytes) {
  FrameImage component = Out(file);
  component.Data = bytes;
  component.Capacity = component.DataSize;
  return WriteTarget(component, file);
}

bool SeparateJob::WritePlanes(const FrameImage& frame) {
  const std::array<int, 3> holds = ComponentAtPosition(frame.ComponentOrder);
  // Planes in storage order: the first is full size, the other two chroma-sized
  // (the same sizes for every order a planar layout may have).
  std::array<uint8_t*, 3> component{};
  uint8_t* plane = frame.Data;
  for (size_t position = 0; position < 3; ++position) {
    const size_t file = static_cast<size_t>(holds[position]);
    component[file] = plane;
    plane += Out(position == 0 ? 0 : 1).DataSize;
  }
  for (size_t file = 0; file < 3; ++file) {
    if (!WriteComponent(file, component[file])) return false;
  }
  return true;
}

bool SeparateJob::WritePackedSamples(const FrameImage& frame) {
  const int64_t pixels = int64_t{frame.ImgWidth} * frame.ImgHeight;
  const int64_t needed = Out(0).DataSize + Out(1).DataSize + Out(2).DataSize;
  if (components_.size() < needed && !components_.Allocate(needed)) return false;
  std::array<uint8_t*, 3> out = {components_.data(), components_.data() + Out(0).DataSize,
                                 components_.data() + Out(0).DataSize + Out(1).DataSize};
  const std::array<int, 3> holds = ComponentAtPosition(frame.ComponentOrder);
  const uint8_t* in = frame.Data;
  if (frame.SamplingFormat == YUV_422) {
    // Four bytes per pixel pair: two lumas, one of each chroma.
    const bool chromaFirst = frame.ComponentOrder == UYV;
    const int lumaAt[2] = {chromaFirst ? 1 : 0, chromaFirst ? 3 : 2};
    const int chromaAt[2] = {chromaFirst ? 0 : 1, chromaFirst ? 2 : 3};
    const bool swapped = frame.ComponentOrder == YVU;
    uint8_t *y = out[0], *u = out[1], *v = out[2];
    for (int64_t pair = 0; pair < pixels / 2; ++pair, in += 4) {
      *y++ = in[lumaAt[0]];
      *y++ = in[lumaAt[1]];
      *u++ = in[swapped ? chromaAt[1] : chromaAt[0]];
      *v++ = in[swapped ? chromaAt[0] : chromaAt[1]];
    }
  } else {
    uint8_t* to[3] = {out[static_cast<size_t>(holds[0])], out[static_cast<size_t>(holds[1])],
                      out[static_cast<size_t>(holds[2])]};
    for (int64_t i = 0; i < pixels; ++i, in += 3) {
      to[0][i] = in[0];
      to[1][i] = in[1];
      to[2][i] = in[2];
    }
  }
  for (size_t file = 0; file < 3; ++file) {
    if (!WriteComponent(file, out[file])) return false;
  }
  return true;
}

bool SeparateJob::DeepLayoutKept(const ImageFormat& stored) const {
  return stored.FieldFormat != Interlaced || stored.SamplingFormat != YUV_420 || stored.ImgHeight % 4 == 0;
}

ToolJob::FrameResult SeparateJob::SeparateStoredFrame() {
  FrameImage stored;
  const int64_t read = sources_[0].ReadStoredFrame(CurrentFrame, stored);
  if (read == 0) return FrameResult::EndOfInput;
  if (read < 0) return FrameResult::Failed;
  // WriteTarget copies each component into its output's own buffer: one frame serves all three.
  for (size_t file = 0; file < 3; ++file) {
    FrameImage component = DeepFrame(run_.outputs[file].stored);
    if (!ExtractStoredComponent(stored, static_cast<int>(file), component) || !WriteTarget(component, file))
      return FrameResult::Failed;
  }
  FrameShown = true;
  if (PreviewWanted()) {
    FrameImage working = input_.Frame(In());
    if (ConvertSamples(stored, working)) RefreshPreview(working);
  }
  return FrameResult::Written;
}

ToolJob::FrameResult SeparateJob::ProcessFrame() {
  if (DeepSamplesKept()) return SeparateStoredFrame();
  FrameImage input = input_.Frame(In());
  if (sources_[0].Read(CurrentFrame, input) == 0) return FrameResult::EndOfInput;
  FrameImage progressive = input;
  if (input.FieldFormat == Interlaced) {
    progressive = Output().Frame(In());
    progressive.FieldFormat = Progressive;
    if (!ConvertFieldFormat(input, progressive)) return FrameResult::Failed;
  }
  const bool written =
      progressive.PixelFormat == Planar ? WritePlanes(progressive) : WritePackedSamples(progressive);
  if (!written) return FrameResult::Failed;
  FrameShown = true;
  if (PreviewWanted()) RefreshPreview(progressive);
  return FrameResult::Written;
}

std::optional<std::string> SeparateJob::FinishText() const {
  const auto& o = run_.outputs;
  return StrFormat(
      "The source file (%s) has been separated into three mono color image files with following "
      "resolutions:\n"
      "    %s:  width=%d, height=%d\n    %s:  width=%d, height=%d\n    %s:  width=%d, height=%d",
      SamplingName(In().SamplingFormat), o[0].name.c_str(), o[0].format.ImgWidth, o[0].format.ImgHeight,
      o[1].name.c_str(), o[1].format.ImgWidth, o[1].format.ImgHeight, o[2].name.c_str(), o[2].format.ImgWidth,
      o[2].format.ImgHeight);
}

// ---- merge ---------------------------------------------------------------------

MergeJob::MergeJob() : ToolJob(kMergeMessages, kMergeTraits) {
  SourceFormat = ComponentLayout({0, 0}, 13);
  ComponentFormats = {SourceFormat, SourceFormat, SourceFormat};
}

std::optional<std::string> MergeJob::MergedLayout(const std::array<FrameImage, 3>& c, bool asYuv,
                                                  FrameImage& merged) {
  const int32_t w1 = c[0].ImgWidth, h1 = c[0].ImgHeight, w2 = c[1].ImgWidth, h2 = c[1].ImgHeight;
  if (c[1].ImgHeight != c[2].ImgHeight) {
    return "Error MERG1005: The height of the second and the third images must be the same!\n";
  }
  if (c[1].ImgWidth != c[2].ImgWidth) {
    return "Error MERG1006: The width of the second and the third images must be the same!\n";
  }
  merged = FrameImage{};
  merged.ComponentOrder = YUV;
  merged.FieldFormat = Progressive;
  merged.PixelFormat = Planar;
  merged.ImageResolution = c[0].ImageResolution;
  merged.ImgWidth = w1;
  merged.ImgHeight = h1;
  if (asYuv) {
    if (w2 == w1 && h2 == h1) {
      merged.SamplingFormat = YUV_444;
      merged.Fourcc = 0;
    } else if (w1 == 2 * w2 && h2 == h1) {
      merged.SamplingFormat = YUV_422;
      merged.Fourcc = 11;
    } else if (w1 == 2 * w2 && h1 == 2 * h2) {
      merged.SamplingFormat = YUV_420;
      merged.Fourcc = 12;
    } else {
      // Any other relation has no layout, and its frames would not fit together.
      return StrFormat(
          "Error VLTX1021: The components' sizes (%d x %d, %d x %d, %d x %d) match none of 4:4:4, 4:2:2 and "
          "4:2:0; they cannot be merged!\n",
          w1, h1, w2, h2, c[2].ImgWidth, c[2].ImgHeight);
    }
  } else {
    if (w2 != w1 || h2 != h1) {
      return "Error MERG1007: To merge RGB components, the size of all images must be the same!\n";
    }
    merged.SamplingFormat = RGB_444;
    merged.ComponentOrder = RGB;
    merged.Fourcc = 0;
  }
  for (const FrameImage& component : c) {
    // Each file holds one component per frame: its frames are width x height samples.
    if (int64_t{component.DataSize} !=
        int64_t{component.ImgWidth} * component.ImgHeight * SampleBytes(component)) {
      return StrFormat(
          "Error VLTX1022: A component file holds one sample per pixel: choose the single-component (mono) "
          "format for the %d x %d component!\n",
          component.ImgWidth, component.ImgHeight);
    }
  }
  // The merged file has the components' depth: they must share one.
  if (c[1].BitsPerSample != c[0].BitsPerSample || c[2].BitsPerSample != c[0].BitsPerSample) {
    return StrFormat(
        "Error VLTX1034: The component files have samples of %d, %d and %d bits; only components of one "
        "depth can be merged!\n",
        c[0].BitsPerSample, c[1].BitsPerSample, c[2].BitsPerSample);
  }
  merged.BitsPerSample = c[0].BitsPerSample;
  ComputeFrameSize(merged);
  // RGB files have 8-bit samples only.
  return StoredLayoutRefusal(merged);
}

bool MergeJob::PrepareMerge(const std::string& base, const std::string& target, int32_t sampling,
                            int32_t width, int32_t height, int32_t bitsPerSample) {
  ComponentNames = ComponentFileNames(DefaultTargetName(base, ""), sampling);
  const ComponentSizes sizes = ComponentSizesOf(sampling, width, height);
  for (size_t i = 0; i < 3; ++i) ComponentFormats[i] = ComponentLayout(sizes[i], 13, bitsPerSample);
  MergeAsYuv = sampling != RGB_444;
  SourceName = ComponentNames[0];
  SourceFormat = ComponentFormats[0];
  TargetName = target;
  return CountSourceFrames(kComponentNotFound[0]);
}

void MergeJob::DescribeFiles(ToolRunSpec& spec) const {
  ToolJob::DescribeFiles(spec);
  spec.inputs.clear();
  for (size_t i = 0; i < 3; ++i) {
    JobInput input;
    input.name = ComponentNames[i];
    input.format = ComponentFormats[i];
    ComputeFrameSize(input.format);
    input.notFound = kComponentNotFound[i];
    input.bitstream = kComponentBitstream[i];
    spec.inputs.push_back(std::move(input));
  }
  spec.outputs[0].format = spec.inputs[0].format;  // the merged layout is made when the job starts
}

bool MergeJob::ChecksBeforeRange() {
  const std::array<FrameImage, 3> components = {In(0), In(1), In(2)};
  FrameImage merged;
  if (const auto refusal = MergedLayout(components, MergeAsYuv, merged)) {
    Report(*refusal);
    return false;
  }
  run_.outputs[0].format = merged;
  return true;
}

bool MergeJob::SkipToStart() {
  // One frame of each component in turn, so the first short file is the one named.
  for (int64_t next = 2; next <= run_.startFrame; ++next) {
    for (size_t i = 0; i < 3; ++i) {
      if (!sources_[i].SkipTo(next)) return false;
    }
  }
  CurrentFrame = run_.startFrame;
  return true;
}

ToolJob::FrameResult MergeJob::MergeStoredFrame() {
  // Mono words and planar words both hold the value in the low bits: the merged
  // frame is the three component frames one after the other.
  FrameImage merged = DeepFrame(run_.outputs[0].stored);
  int64_t offset = 0;
  for (size_t i = 0; i < 3; ++i) {
    FrameImage component;
    const int64_t read = sources_[i].ReadStoredFrame(CurrentFrame, component);
    // A component's partial last frame ends the merge, as at 8 bits.
    if (read != component.DataSize) return FrameResult::EndOfInput;
    if (offset + component.DataSize > merged.DataSize) return FrameResult::Failed;
    std::memcpy(merged.Data + offset, component.Data, static_cast<size_t>(component.DataSize));
    offset += component.DataSize;
  }
  if (offset != merged.DataSize) return FrameResult::Failed;
  FrameShown = true;
  if (!WriteTarget(merged)) return FrameResult::Failed;
  if (PreviewWanted()) {
    FrameImage working = input_.Frame(Out());
    if (ConvertSamples(merged, working)) RefreshPreview(working);
  }
  return FrameResult::Written;
}

ToolJob::FrameResult MergeJob::ProcessFrame() {
  if (DeepSamplesKept()) return MergeStoredFrame();
  int64_t offset = 0;
  for (size_t i = 0; i < 3; ++i) {
    FrameImage component = In(i);
    component.Data = Output().data() + offset;
    component.Capacity = Output().size() - offset;
    if (component.DataSize > component.Capacity) return FrameResult::Failed;
    // A component's partial last frame ends the merge like a missing one: the rest
    // of the plane would be bytes of the frame before.
    if (sources_[i].Read(CurrentFrame, component) != component.DataSize) return FrameResult::EndOfInput;
    offset += component.DataSize;
  }
  FrameImage merged = Output().Frame(Out());
  FrameShown = true;
  if (!WriteTarget(merged)) return FrameResult::Failed;
  if (PreviewWanted()) RefreshPreview(merged);
  return FrameResult::Written;
}

std::optional<std::string> MergeJob::FinishText() const {
  return StrFormat(
      "The three files have be merged into a file with following format:\n    %s, planar, progressive, "
      "width=%d, "
      "height=%d",
      SamplingName(Out().SamplingFormat), Out().ImgWidth, Out().ImgHeight);
}

}  // namespace vx
