#include "tools/Converter.h"

#include <cstring>
#include <utility>

#include "display/DisplayConvert.h"
#include "display/FormatLabel.h"
#include "image/ColorFormula.h"
#include "image/Dib.h"
#include "image/FrameFile.h"
#include "image/PixelOps.h"
#include "image/SampleStorage.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"

namespace vx {

const ToolMessages kConverterMessages = {
    .endBeforeStart = "Error CONV1031:  End frame number cannot be smaller than start frame number!\n",
    .startBeyondCount =
        "Error CONV1032:  The start frame number you specified is bigger than the number of frames in the "
        "image "
        "file "
        "to convert!\n",
    .endBeyondCount =
        "Error CONV1033:  The end frame number you specified is bigger than the number of frames in the "
        "image "
        "file to "
        "convert!\n",
    .notPositive = "Error CONV1034:  Start or end frame number cannot be less than or equal to zero!\n",
    .sourceImageSize = "Error CONV1035: Image size (%d, %d) not support !\n",
    .targetImageSize = "Error CONV1036: Image size (%d, %d) not support !\n",
    .sourceNotFound = "Error CONV1037: Input file %s not found\n",
    .requestNotFound = "Error CONV1014: Input file %s not found\n",
    .bitstream = "Error CONV1038: Bitstream reading error!\n",
    .targetNotWritten = "Error CONV1039: File %s cannot be written !\n",
    .finished = "Converting finished!",
};

const ConverterTexts kConverterTexts = {
    "Error CONV1018: Input image width (%d) is an odd number, the image cannot be convert to 422 format\n",
    "Error CONV1019: Input image width (%d) is an odd number, the image cannot be convert to 420 format\n",
    "Error CONV1020: Input image height (%d) is an odd number, the image cannot be convert to 420 format\n",
    "Error CONV1021: Input image height (%d) is an odd number, the image cannot be convert to interlaced "
    "format\n",
    "Error CONV1046: Destination BMP init Failed",
    "Error CONV1047: Destination BMP write Failed",
};

std::vector<std::string> BmpSequenceNames(const std::string& target, int64_t count) {
  const std::string base = ToolJob::DefaultTargetName(target, "");
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(std::max<int64_t>(count, 0)));
  for (int64_t k = 1; k <= count; ++k)
    names.push_back(StrFormat("%s_%04d.bmp", base.c_str(), static_cast<int>(k - 1)));
  return names;
}

std::string FormatNamePattern(const std::string& pattern, int64_t number) {
  // Find the conversions: "%%" is a literal percent; one %[flags][width]d|i|u is the number.
  std::string out;
  size_t conversions = 0;
  std::string spec;
  size_t specAt = std::string::npos, specEnd = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') continue;
    if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
      ++i;
      continue;
    }
    size_t j = i + 1;
    while (j < pattern.size() && std::strchr("-+ 0#", pattern[j])) ++j;
    while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9' && j - i < 6) ++j;
    if (j < pattern.size() && std::strchr("diu", pattern[j])) {
      ++conversions;
      specAt = i;
      specEnd = j;
      spec = pattern.substr(i, j - i) + "lld";
    } else {
      return pattern;  // not a pattern of ours: the name as it is
    }
    i = j;
  }
  if (conversions != 1) return pattern;
  auto literal = [](const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
      plain.push_back(text[i]);
      if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') ++i;
    }
    return plain;
  };
  char digits[64];
  std::snprintf(digits, sizeof digits, spec.c_str(), static_cast<long long>(number));
  return literal(pattern.substr(0, specAt)) + digits + literal(pattern.substr(specEnd + 1));
}

std::string DifferentBmpFormatMessage(const std::string& name, int32_t w, int32_t h, int32_t bits,
                                      int32_t refW, int32_t refH, int32_t refBits) {
  return StrFormat(
      "File %s (width = %d, height = %d, bit count = %d) has different format as the first file (width = %d, "
      "height = %d, bit count = %d)",
      name.c_str(), w, h, bits, refW, refH, refBits);
}

std::optional<BmpSequence> ScanBmpPattern(const std::string& pattern) {
  BmpSequence sequence;
  std::string previous;
  for (int64_t j = 0;; ++j) {
    const std::string name = FormatNamePattern(pattern, j);
    if (name == previous) break;
    previous = name;
    auto file = RawFile::OpenRead(name);
    if (!file) {
      if (j == 0) {
        ShowMessage(
            "Error CONV1006:  BMP image open Failed, please make sure the number in BMP file name start from "
            "0, "
            "like 'tulips00.bmp'. ");
        return std::nullopt;
      }
      break;
    }
    CDib dib;
    if (!dib.Read(*file)) break;
    if (sequence.names.empty()) {
      sequence.width = dib.Width();
      sequence.height = dib.Height();
      sequence.bitCount = dib.BitCount();
    } else if (dib.Width() != sequence.width || dib.Height() != sequence.height ||
               dib.BitCount() != sequence.bitCount) {
      ShowMessage(DifferentBmpFormatMessage(name, dib.Width(), dib.Height(), dib.BitCount(), sequence.width,
                                            sequence.height, sequence.bitCount));
      return std::nullopt;
    }
    sequence.names.push_back(name);
    if (static_cast<int64_t>(sequence.names.size()) >= kMaxBmpFiles) {
      ShowMessage(
          StrFormat("Error CONV1005:  You cannot have more than %d BMP files. Only first %d files are used!",
                    static_cast<int>(kMaxBmpFiles), static_cast<int>(kMaxBmpFiles)));
      break;
    }
  }
  if (sequence.names.empty()) return std::nullopt;
  return sequence;
}

ConverterJob::ConverterJob() : ConverterJob(kConverterMessages, kConverterTexts) {}

ConverterJob::ConverterJob(const ToolMessages& messages, const ConverterTexts& texts)
    : ToolJob(messages, kConverterTraits), texts_(texts) {}

FrameImage RequestedTarget(const ImageFormat& asked) {
  FrameImage target;
  SetLayoutAndSize(target,
                   {.sampling = asked.SamplingFormat,
                    .order = asked.ComponentOrder,
                    .field = asked.FieldFormat,
                    .pixel = asked.PixelFormat,
                    .bits = asked.BitsPerSample == -1 ? 8 : asked.BitsPerSample},
                   asked.ImgWidth, asked.ImgHeight);
  target.ImageResolution = kCustomResolution;
  return target;
}

bool ConverterJob::PrepareConversion(const ConvertParameters& parameters) {
  SourceName = parameters.source;
  TargetName = parameters.target;
  static_cast<ImageFormat&>(SourceFormat) = parameters.sourceFormat;
  SourceFormat.ImageResolution = kCustomResolution;
  ComputeFrameSize(SourceFormat);
  TargetFormat = RequestedTarget(parameters.targetFormat);
  if (parameters.targetFormat.BitsPerSample == -1) {
    // Not asked for: the source's depth, where the target's layout can hold it.
    TargetFormat.BitsPerSample = SourceFormat.BitsPerSample;
    if (StoredLayoutRefusal(TargetFormat)) TargetFormat.BitsPerSample = 8;
  }
  if (SourceFormat.SamplingFormat == BMP) {
    const auto sequence = ScanBmpPattern(parameters.source);
    if (!sequence) return false;
    SourceBmpNames = sequence->names;
    SourceFormat = PictureFormat(sequence->width, sequence->height);
    FrameCount = static_cast<int64_t>(SourceBmpNames.size());
    StartFrame = 1;
    EndFrame = FrameCount;
    if (TargetFormat.ImgWidth == -1) TargetFormat.ImgWidth = SourceFormat.ImgWidth;
    if (TargetFormat.ImgHeight == -1) TargetFormat.ImgHeight = SourceFormat.ImgHeight;
    DeriveFourcc(TargetFormat);
    DeriveResolution(TargetFormat);
  } else {
    auto file = RawFile::OpenRead(SourceName);
    if (!file) {
      ShowMessage(CannotReadMessage(SourceName, messages_.requestNotFound));
      return false;
    }
    FrameCount = CountFramesIn(*file, ProbeFrameFile(*file, SourceName).framing, SourceFormat.DataSize);
    StartFrame = 1;
    EndFrame = FrameCount;
  }
  ComputeFrameSize(TargetFormat);
  DeriveFourcc(TargetFormat);
  if (TargetFormat.SamplingFormat == BMP) {
    if (EndFrame > kMaxBmpFiles) {
      ShowMessage(StrFormat(
          "Error CONV1015: There are more than %d frames, only first %d frames are converted to BMP files\n",
          static_cast<int>(kMaxBmpFiles), static_cast<int>(kMaxBmpFiles)));
      EndFrame = kMaxBmpFiles;
    }
    TargetBmpNames = BmpSequenceNames(TargetName, EndFrame);
  }
  return true;
}

bool ConverterJob::SameLayout() const {
  // The files' layouts: two files of one working layout may still differ in
  // their chroma packing or depth.
  const FrameImage& s = run_.inputs[0].stored;
  const FrameImage& t = run_.outputs[0].stored;
  return s.SamplingFormat == t.SamplingFormat && s.ComponentOrder == t.ComponentOrder &&
         s.ImageResolution == t.ImageResolution && s.ImgWidth == t.ImgWidth && s.ImgHeight == t.ImgHeight &&
         s.PixelFormat == t.PixelFormat && s.FieldFormat == t.FieldFormat &&
         s.BitsPerSample == t.BitsPerSample;
}

namespace {
bool YuvSampled(const ImageFormat& f) {
  return IsYuvSampling(f.SamplingFormat);
}
}  // namespace

bool ConverterJob::DirectYuvConversion() const {
  return YuvSampled(In()) && YuvSampled(Out()) && In().ImgWidth == Out().ImgWidth &&
         In().ImgHeight == Out().ImgHeight;
}

bool ConverterJob::PlanarYuvScaling() const {
  return YuvSampled(In()) && In().PixelFormat == Planar && YuvSampled(Out()) && Out().PixelFormat == Planar &&
         (In().ImgWidth != Out().ImgWidth || In().ImgHeight != Out().ImgHeight);
}

int64_t ConverterJob::OutputBytesPerFrame() const {
  // Planes scaled straight into the target's planes fill the target frame alone.
  if (!PlanarYuvScaling()) return ToolJob::OutputBytesPerFrame();
  FrameImage target = Out();
  ComputeFrameSize(target);
  return target.DataSize;
}

bool ConverterJob::DeepToDeep() const {
  const FrameImage& in = run_.inputs[0].stored;
  const FrameImage& out = run_.outputs[0].stored;
  return in.BitsPerSample > 8 && out.BitsPerSample > 8 && SamplesConvertible(in, out);
}

bool ConverterJob::DeepThroughPictures() const {
  const FrameImage& in = run_.inputs[0].stored;
  const FrameImage& out = run_.outputs[0].stored;
  if (out.BitsPerSample <= 8 || !IsYuvSampling(out.SamplingFormat) || sources_[0].IsPictureList())
    return false;
  if (!IsYuvSampling(in.SamplingFormat) && in.SamplingFormat != MONO) return false;
  if (SamplesConvertible(in, out)) return false;  // rewritten sample by sample
  // An 8-bit source of the target's working layout is only widened as it is written.
  return in.BitsPerSample > 8 || !SameSamples(In(), Out());
}

ToolJob::FrameResult ConverterJob::ConvertStoredSamples() {
  FrameImage stored;
  const int64_t read = sources_[0].ReadStoredFrame(CurrentFrame, stored);
  if (read == 0) return FrameResult::EndOfInput;
  if (read < 0) return FrameResult::Failed;  // after the file's message
  if (PreviewWanted()) {
    FrameImage working = input_.Frame(In());
    if (ConvertSamples(stored, working)) RefreshPreview(working);
  }
  if (!SameLayout()) FrameShown = true;  // a plain copy enters no history, as at 8 bits
  return WriteOutput(stored) ? FrameResult::Written : FrameResult::Failed;
}

int64_t ConverterJob::ReadPicture(int depth, SamplePicture& picture) {
  const FrameImage& inStored = run_.inputs[0].stored;
  if (inStored.BitsPerSample <= 8) {
    // The 8-bit engine's 4:4:4 picture holds every sample of the source as it is.
    FrameImage a = input_.Frame(In());
    const int64_t read = sources_[0].Read(CurrentFrame, a, FrameInput::FrameBytes::InPlace);
    if (read <= 0) return read;
    if (PreviewWanted()) RefreshPreview(a);
    FrameImage canonical = Output().Frame(Out());
    SetCanonicalHeader(canonical, a.ImgWidth, a.ImgHeight);
    FrameImage source = a;
    if (!ToCanonical444(source, canonical) || !CanonicalToPicture(canonical, depth - 8, picture)) return -2;
    return read;
  }
  FrameImage stored;
  const int64_t read = sources_[0].ReadStoredFrame(CurrentFrame, stored);
  if (read <= 0) return read;
  if (PreviewWanted()) {
    FrameImage working = input_.Frame(In());
    if (ConvertSamples(stored, working)) RefreshPreview(working);
  }
  ImageFormat words = inStored;
  if (words.SamplingFormat != MONO) words.PixelFormat = Planar;
  words.BitsPerSample = depth;
  FrameImage planar = stored;
  if (static_cast<const ImageFormat&>(stored) != words) {
    planar = DeepFrame(words, 0);
    if (!ConvertSamples(stored, planar)) return -2;
  }
  return WordFrameToPicture(planar, picture) ? read : -2;
}

ToolJob::FrameResult ConverterJob::ConvertThroughPictures() {
  const FrameImage& outStored = run_.outputs[0].stored;
  // Samples widened first and rounded last, so that no step works on fewer bits.
  const int depth = std::max(run_.inputs[0].stored.BitsPerSample, outStored.BitsPerSample);
  const int64_t read = ReadPicture(depth, pictures_[0]);
  if (read == 0) return FrameResult::EndOfInput;
  if (read == -2) return LayoutFailure(run_.inputs[0].stored);
  if (read < 0) return FrameResult::Failed;  // after the file's message
  const SamplePicture* picture = &pictures_[0];
  if (pictures_[0].width != outStored.ImgWidth || pictures_[0].height != outStored.ImgHeight) {
    pictures_[1].Resize(outStored.ImgWidth, outStored.ImgHeight);
    if (!ScaleSamplePicture(pictures_[0], pictures_[1])) {
      Report(StrFormat("Error CONV1049: Frames of %d x %d cannot be scaled to %d x %d!\n", pictures_[0].width,
                       pictures_[0].height, outStored.ImgWidth, outStored.ImgHeight));
      return FrameResult::Failed;
    }
    picture = &pictures_[1];
  }
  ImageFormat words = outStored;
  words.PixelFormat = Planar;
  words.BitsPerSample = depth;
  FrameImage result = DeepFrame(words, 1);
  if (!PictureToWordFrame(*picture, result)) return LayoutFailure(outStored);
  FrameShown = true;
  return WriteOutput(result) ? FrameResult::Written : FrameResult::Failed;
}

void ConverterJob::ReleaseToolBuffers() {
  pictures_ = {};
}

bool ConverterJob::ToolChecks() {
  const FrameImage& TargetFormat = Out();
  const int32_t w = In().ImgWidth, h = In().ImgHeight;
  const char* refusal = nullptr;
  int32_t value = w;
  if (w % 2 != 0 && TargetFormat.SamplingFormat == YUV_422) {
    refusal = texts_.oddWidth422;
  } else if (w % 2 != 0 && TargetFormat.SamplingFormat == YUV_420) {
    refusal = texts_.oddWidth420;
  } else if (h % 2 != 0 && TargetFormat.SamplingFormat == YUV_420) {
    refusal = texts_.oddHeight420;
    value = h;
  } else if (h % 2 != 0 && TargetFormat.FieldFormat == Interlaced) {
    refusal = texts_.oddHeightInterlaced;
    value = h;
  }
  if (!refusal) return true;
  Report(StrFormat(refusal, value));
  return false;
}

bool ConverterJob::CreateTarget() {
  if (Out().SamplingFormat == BMP) return true;  // one file per frame
  return ToolJob::CreateTarget();
}

void ConverterJob::DescribeFiles(ToolRunSpec& spec) const {
  ToolJob::DescribeFiles(spec);
  spec.inputs[0].bmpNames = SourceBmpNames;
  spec.inputs[0].bmpLoad = "Error CONV1045: image loaded Failed";
}

std::vector<std::string> ConverterJob::OutputNames() const {
  if (Out().SamplingFormat == BMP) return runTargetBmpNames_;
  return ToolJob::OutputNames();
}

void ConverterJob::FreezeParameters() {
  runTargetBmpNames_ = TargetBmpNames;
}

void ConverterJob::BitmapRows(const FrameImage& a, bool yuv, uint8_t* rows) const {
  const int64_t w = a.ImgWidth, h = a.ImgHeight, pitch = (3 * w + 3) / 4 * 4;
  if (yuv) {
    ConvertToDisplayRGB(Colours(), std::span<const uint8_t>(a.Data, static_cast<size_t>(3 * w * h)),
                        std::span<uint8_t>(rows, static_cast<size_t>(pitch * h)), a.ImgWidth, a.ImgHeight,
                        DisplayRowsOptions{.bottomUp = true, .padRows = true});
    return;
  }
  // An RGB picture (R G B, top row first) as bottom-up B G R rows.
  for (int64_t r = 0; r < h; ++r) {
    const uint8_t* in = a.Data + r * 3 * w;
    uint8_t* out = rows + (h - 1 - r) * pitch;
    for (int64_t x = 0; x < w; ++x) {
      out[3 * x] = in[3 * x + 2];
      out[3 * x + 1] = in[3 * x + 1];
      out[3 * x + 2] = in[3 * x];
    }
    std::memset(out + 3 * w, 0, static_cast<size_t>(pitch - 3 * w));
  }
}

bool ConverterJob::WriteBmp(const FrameImage& a, bool yuv, FrameImage& b) {
  const int64_t pitch = (3 * int64_t{a.ImgWidth} + 3) / 4 * 4;
  const int64_t bytes = pitch * a.ImgHeight;
  BitmapRows(a, yuv, b.Data);
  CDib dib;
  if (!dib.CreateFromBits(a.ImgWidth, a.ImgHeight, 24,
                          std::span<const uint8_t>(b.Data, static_cast<size_t>(bytes)))) {
    Report(texts_.bmpInit);
    return false;
  }
  const int64_t index = CurrentFrame - 1;
  // Each picture appears whole under its name or not at all.
  auto file = index < static_cast<int64_t>(runTargetBmpNames_.size())
                  ? AtomicOutput::Create(runTargetBmpNames_[static_cast<size_t>(index)])
                  : std::nullopt;
  // The converter's own message stands for the bitmap's.
  if (!file || !dib.Write(file->file()) || !file->Commit()) {
    Report(texts_.bmpWrite);
    return false;
  }
  return true;
}

bool ConverterJob::WriteOutput(const FrameImage& b) {
  return WriteTarget(b);
}

ToolJob::FrameResult ConverterJob::LayoutFailure(const FrameImage& layout) const {
  Report(StrFormat("Error CONV1048: Frames of the layout %s cannot be converted!\n",
                   FormatLabel(layout).c_str()));
  return FrameResult::Failed;
}

ToolJob::FrameResult ConverterJob::ProcessFrame() {
  if (DeepToDeep()) return ConvertStoredSamples();
  if (DeepThroughPictures()) return ConvertThroughPictures();
  const FrameImage& SourceFormat = In();
  const FrameImage& TargetFormat = Out();
  // A frame converted as it is read into the output's own layout (NV12 to I420)
  // is read into the output's buffer: it is written while the next one is made.
  const bool convertedOnRead = SameSamples(SourceFormat, TargetFormat) && !SameLayout() &&
                               !sources_[0].IsPictureList() && !IsStoredOnlyLayout(run_.outputs[0].stored);
  if (convertedOnRead && !PreviewWanted()) {
    if (const auto read = ReadIntoOutputByParts(SourceFormat)) {
      if (*read == 0) return FrameResult::EndOfInput;
      FrameShown = true;
      return *read < 0 ? FrameResult::Failed : FrameResult::Written;
    }
  }
  FrameImage a = convertedOnRead ? Output().Frame(SourceFormat) : input_.Frame(SourceFormat);
  // A picture list commits each picture as it is made, before the job could learn
  // that its source lost bytes: those frames are copied.
  const auto bytes =
      TargetFormat.SamplingFormat == BMP ? FrameInput::FrameBytes::InBuffer : FrameInput::FrameBytes::InPlace;
  const int64_t read = sources_[0].Read(CurrentFrame, a, bytes);
  if (read < 0) return FrameResult::Failed;  // a picture that cannot be loaded
  if (read == 0) return FrameResult::EndOfInput;
  if (SameLayout() && !sources_[0].IsPictureList()) {
    return WriteOutput(a) ? FrameResult::Written : FrameResult::Failed;
  }
  if (SameSamples(SourceFormat, TargetFormat) && !sources_[0].IsPictureList()) {
    // Files that differ only in their chroma packing or depth: the frame was
    // converted as it was read (NV12 to I420), or is converted as it is written,
    // from buffers of the output's own (I420 to NV12).
    if (PreviewWanted()) RefreshPreview(a);
    FrameShown = true;
    return WriteOutput(a) ? FrameResult::Written : FrameResult::Failed;
  }
  FrameImage b = Output().Frame(TargetFormat);
  const bool wantPreview = PreviewWanted();
  if (DirectYuvConversion()) {
    // YUV to YUV of the same size: canonical rows are made as the target needs them.
    uint8_t* canonicalRows = nullptr;
    if (wantPreview) {
      SetCanonicalHeader(PreviewBack(), a.ImgWidth, a.ImgHeight);
      canonicalRows = PreviewBack().Data;
    }
    if (!ConvertYuvLayout(a, b, canonicalRows)) {
      Report(StrFormat("Error CONV1048: Frames of the layout %s cannot be converted!\n",
                       FormatLabel(SourceFormat).c_str()));
      return FrameResult::Failed;
    }
    if (wantPreview) PublishPreview();
    FrameShown = true;
    return WriteOutput(b) ? FrameResult::Written : FrameResult::Failed;
  }
  if (PlanarYuvScaling() && ScaleYuvPlanes(a, b)) {
    // Planes scaled straight into the target's planes; the preview still shows
    // the source picture.
    if (wantPreview) {
      FrameImage source = a;
      SetCanonicalHeader(PreviewBack(), a.ImgWidth, a.ImgHeight);
      if (ToCanonical444(source, PreviewBack())) PublishPreview();
    }
    FrameShown = true;
    return WriteOutput(b) ? FrameResult::Written : FrameResult::Failed;
  }
  const bool rgbTarget = TargetFormat.SamplingFormat == BMP || TargetFormat.SamplingFormat == RGB_444;
  bool yuv = true;
  if (a.SamplingFormat == RGB_444) {
    if (a.PixelFormat == Planar) {
      FrameImage packed = b;
      static_cast<ImageFormat&>(packed) = a;
      packed.PixelFormat = Packed;
      if (!ConvertPixelFormat(a, packed)) return LayoutFailure(SourceFormat);
      std::swap(a, packed);
      b = packed;
    }
    if (rgbTarget) {
      yuv = false;
      FrameImage rgb = b;
      static_cast<ImageFormat&>(rgb) = a;
      rgb.ComponentOrder = RGB;
      ComputeFrameSize(rgb);
      if (a.ComponentOrder != RGB)
        SwapComponents444(a, rgb, 0, 2);
      else
        std::memcpy(rgb.Data, a.Data, static_cast<size_t>(a.DataSize));
      b = rgb;
      if (wantPreview) {
        // The preview holds the picture ready for the screen: bottom-up B G R rows,
        // marked by the BMP sampling.
        FrameImage& rows = PreviewBack();
        CopyFrameHeader(rgb, rows);
        rows.SamplingFormat = BMP;
        BitmapRows(rgb, false, rows.Data);
        PublishPreview();
      }
    } else {
      SetCanonicalHeader(b, a.ImgWidth, a.ImgHeight);
      RgbBufferToYuv(Colours(), std::span<const uint8_t>(a.Data, static_cast<size_t>(a.DataSize)),
                     std::span<uint8_t>(b.Data, static_cast<size_t>(b.Capacity)), a.ImgWidth, a.ImgHeight,
                     RgbRowsLayout{.bgr = a.ComponentOrder == BGR});
    }
  } else {
    FrameImage source = a;
    SetCanonicalHeader(b, a.ImgWidth, a.ImgHeight);
    if (!ToCanonical444(source, b)) {
      Report(StrFormat("Error CONV1048: Frames of the layout %s cannot be converted!\n",
                       FormatLabel(SourceFormat).c_str()));
      return FrameResult::Failed;
    }
  }
  if (yuv && wantPreview) {
    FrameImage& picture = PreviewBack();
    CopyFrameHeader(b, picture);
    std::memcpy(picture.Data, b.Data, static_cast<size_t>(b.DataSize));
    PublishPreview();
  }
  FrameShown = true;
  // A := the intermediate; B := the target header over the other buffer.
  std::swap(a, b);
  b = FrameImage{};
  static_cast<ImageFormat&>(b) = TargetFormat;
  b.Data = a.Data == input_.data() ? Output().data() : input_.data();
  b.Capacity = input_.size();
  ComputeFrameSize(b);
  if (TargetFormat.ImgWidth != a.ImgWidth || TargetFormat.ImgHeight != a.ImgHeight) {
    FrameImage scaled = b;
    if (!ScaleBilinear(a, scaled)) {
      Report(StrFormat("Error CONV1049: Frames of %d x %d cannot be scaled to %d x %d!\n", a.ImgWidth,
                       a.ImgHeight, TargetFormat.ImgWidth, TargetFormat.ImgHeight));
      return FrameResult::Failed;
    }
    std::swap(a, scaled);
    b.Data = scaled.Data;
  }
  if (TargetFormat.SamplingFormat == BMP)
    return WriteBmp(a, yuv, b) ? FrameResult::Written : FrameResult::Failed;
  if (TargetFormat.SamplingFormat == RGB_444) {
    const bool bgr = TargetFormat.ComponentOrder == BGR;
    FrameImage packed = b;
    packed.PixelFormat = Packed;
    ComputeFrameSize(packed);
    if (yuv) {
      ConvertToDisplayRGB(Colours(), std::span<const uint8_t>(a.Data, static_cast<size_t>(a.DataSize)),
                          std::span<uint8_t>(packed.Data, static_cast<size_t>(packed.Capacity)), a.ImgWidth,
                          a.ImgHeight, DisplayRowsOptions{.swapRedBlue = bgr});
    } else if (bgr) {
      SwapComponents444(a, packed, 0, 2);
      packed.ComponentOrder = BGR;
    } else {
      std::memcpy(packed.Data, a.Data, static_cast<size_t>(a.DataSize));
    }
    if (TargetFormat.PixelFormat == Planar) {
      FrameImage planar = a;  // A's buffer is free now
      static_cast<ImageFormat&>(planar) = TargetFormat;
      static_cast<ImageFormat&>(packed) = TargetFormat;
      packed.PixelFormat = Packed;
      ComputeFrameSize(packed);
      if (!ConvertPixelFormat(packed, planar)) return LayoutFailure(TargetFormat);
      return WriteOutput(planar) ? FrameResult::Written : FrameResult::Failed;
    }
    static_cast<ImageFormat&>(packed) = TargetFormat;
    ComputeFrameSize(packed);
    return WriteOutput(packed) ? FrameResult::Written : FrameResult::Failed;
  }
  if (!FromCanonical444(a, b)) {
    Report(StrFormat("Error CONV1048: Frames of the layout %s cannot be converted!\n",
                     FormatLabel(TargetFormat).c_str()));
    return FrameResult::Failed;
  }
  return WriteOutput(b) ? FrameResult::Written : FrameResult::Failed;
}

}  // namespace vx
