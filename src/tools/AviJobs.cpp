#include "tools/AviJobs.h"

#include <strings.h>

#include <cstring>

#include "display/DisplayConvert.h"
#include "image/ColorFormula.h"
#include "image/PixelOps.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"

namespace vx {

const ToolMessages kAviToYuvMessages = {
    .endBeforeStart = "Error AVIT1020:  End frame number cannot be smaller than start frame number!\n",
    .startBeyondCount =
        "Error AVIT1021:  The start frame number you specified is bigger than the number of frames in the "
        "image "
        "file to convert!\n",
    .endBeyondCount =
        "Error AVIT1022:  The end frame number you specified is bigger than the number of frames in the "
        "image to "
        "convert!\n",
    .notPositive = "Error AVIT1023:  Start or end frame number cannot be less than or equal to zero!\n",
    .sourceImageSize = "Error AVIT1024: Image size (%d, %d) not support !\n",
    .targetImageSize = "Error AVIT1024: Image size (%d, %d) not support !\n",
    .sourceNotFound = "Error AVIT1001: Open AVI file %s failed\n",
    .requestNotFound = "Error AVIT1001: Open AVI file %s failed\n",
    .bitstream = "Error AVIT1026:  Error when decoding avi file!\n",
    .targetNotWritten = "Error AVIT1025: File %s cannot be written !\n",
    .finished = "AVI to YUV converting finished!",
};

const ToolMessages kYuvToAviMessages = {
    .endBeforeStart = "Error TAVI1021:  End frame number cannot be smaller than start frame number!\n",
    .startBeyondCount =
        "Error TAVI1022:  The start frame number you specified is bigger than the number of frames in the "
        "image "
        "file to separate!\n",
    .endBeyondCount =
        "Error TAVI1023:  The end frame number you specified is bigger than the number of frames in the "
        "image to "
        "convert!\n",
    .notPositive = "Error TAVI1024:  Start or end frame number cannot be less than or equal to zero!\n",
    .sourceImageSize = "Error TAVI1025: Image size (%d, %d) not support !\n",
    .targetImageSize = "Error TAVI1026: Image size (%d, %d) not support !\n",
    .sourceNotFound = "Error TAVI1027: Input file %s not found\n",
    .requestNotFound = "Error TAVI1005: Input file %s not found\n",
    .bitstream = "Error TAVI1028: Bitstream reading error!\n",
    .targetNotWritten = "Error AVIF2004: Unable to open the AVI file",
    .finished = "YUV to AVI converting finished!",
};

namespace {

const ConverterTexts kAviToYuvTexts = {
    "Error AVIT1010: Input image width (%d) is an odd number, the image cannot be convert to 422 format\n",
    "Error AVIT1011: Input image width (%d) is an odd number, the image cannot be convert to 420 format\n",
    "Error AVIT1012: Input image height (%d) is an odd number, the image cannot be convert to 420 format\n",
    "Error AVIT1013: Input image height (%d) is an odd number, the image cannot be convert to interlaced "
    "format\n",
    "Error AVIT1027: Destination BMP init Failed",
    "Error AVIT1028: Destination BMP write Failed",
};

constexpr const char* kNoDecoder =
    "Error AVI1000:  Cannot find the decoder filter, AVIStreamGetFrameOpen() failed!\n";
constexpr const char* kSizeDisagrees =
    "Error AVIT1031: The AVI file's header gives the picture size (%d, %d), but its frames decode to (%d, "
    "%d); the file is damaged!\n";
constexpr const char* kCannotEncode = "Error TAVI1030:  YUV can not be converted to AVI!\n";

int64_t Pitch(int32_t width) {
  return (3 * int64_t{width} + 3) / 4 * 4;
}

}  // namespace

std::string AviOpenMessage(avi::OpenFailure failure, const std::string& path) {
  switch (failure) {
    case avi::OpenFailure::None:
      return {};
    case avi::OpenFailure::CannotOpen:
      return StrFormat("Error AVIT1001: Open AVI file %s failed\n", path.c_str());
    case avi::OpenFailure::NoDecodableStream:
      return "Error AVIT1002:  AVI stream cannot be decoded! \n The file may be corrupted, or the "
             "corresponding decoder filter is not installed. \nPlease try to see if you can play this file "
             "in "
             "Windows Media Player.\n";
    case avi::OpenFailure::HeadersDisagree:
      return "Error AVIT1029: The AVI file's headers give different picture sizes; the file is damaged!\n";
    case avi::OpenFailure::PictureTooLarge:
      return StrFormat(
          "Error AVIT1030: The AVI file's header gives a picture larger than %d pixels on a side or than "
          "8192 x 5120 in all; the file may be damaged!\n",
          static_cast<int>(avi::kMaxAviSide));
    case avi::OpenFailure::StreamStart:
      return "Error AVIT1003: AVI stream start failed\n";
    case avi::OpenFailure::StreamLength:
      return "Error AVIT1004:  AVI stream length error\n";
  }
  return {};
}

std::string AviInformationText(const std::vector<avi::CodecInfo>& codecs, uint32_t handler, int32_t width,
                               int32_t height, int64_t frames) {
  std::string text = "Codec available on this computer:\n";
  for (const avi::CodecInfo& c : codecs) {
    text += StrFormat("%s:  %s %s\n         driver:  %s\n", c.code.c_str(), c.name.c_str(),
                      c.description.c_str(), c.driver.c_str());
  }
  return text +
         StrFormat(
             " \nVideo stream format of this file:     %s\nImage resolution (width x height):    (%d x "
             "%d)\nNumber of frames: %d\n",
             avi::FourccText(handler).c_str(), width, height, static_cast<int>(frames));
}

std::string CodecListEntry(const avi::CodecInfo& codec) {
  return codec.code + " " + codec.description;
}

std::string CodecDiagnostics(const std::string& code) {
  const auto codec = avi::FindEncoder(code);
  if (!codec) return "No VFW codec associated with 4cc found.\r\n";
  return StrFormat(
      "Codec Name:  %s\r\nDescription: %s\r\nDriver file: %s\r\nHas \"About\" dialog:  No\r\nHas "
      "\"Config\" dialog: No\r\n",
      codec->name.c_str(), codec->description.c_str(), codec->driver.c_str());
}

// ---------------------------------------------------------------- AVI to YUV

AviToYuvJob::AviToYuvJob() : ConverterJob(kAviToYuvMessages, kAviToYuvTexts) {}

bool AviToYuvJob::ChooseAvi(const std::string& path) {
  avi::OpenFailure failure = avi::OpenFailure::None;
  const auto reader = avi::AviReader::Open(path, failure);
  if (!reader) {
    ShowMessage(ExistsButIsNotRegular(path) ? CannotReadMessage(path, "") : AviOpenMessage(failure, path));
    return false;
  }
  SourceName = path;
  SourceFormat = PictureFormat(reader->Width(), reader->Height());
  Handler = reader->Handler();
  FrameCount = reader->Length();
  StartFrame = 1;
  EndFrame = FrameCount;
  return true;
}

bool AviToYuvJob::PrepareDecoding(const AviDecodeParameters& parameters) {
  if (!ChooseAvi(parameters.source)) return false;
  TargetName = parameters.target;
  TargetFormat = RequestedTarget(parameters.targetFormat);
  // A ".bmp" name asks for pictures, whatever the layout says: raw bytes under a
  // picture's name would be read by nothing.
  const std::string& name = parameters.target;
  if (name.size() >= 4 && strcasecmp(name.c_str() + name.size() - 4, ".bmp") == 0)
    TargetFormat.SamplingFormat = BMP;
  if (TargetFormat.ImgWidth <= 0) TargetFormat.ImgWidth = SourceFormat.ImgWidth;
  if (TargetFormat.ImgHeight <= 0) TargetFormat.ImgHeight = SourceFormat.ImgHeight;
  ComputeFrameSize(TargetFormat);
  DeriveFourcc(TargetFormat);
  if (TargetFormat.SamplingFormat == BMP && EndFrame > kMaxBmpFiles) {
    ShowMessage(
        StrFormat("Error TAVI1006: There are more than %d frames, only first %d frames are converted to BMP "
                  "files\n",
                  static_cast<int>(kMaxBmpFiles), static_cast<int>(kMaxBmpFiles)));
    EndFrame = kMaxBmpFiles;
  }
  return true;
}

void AviToYuvJob::NameBmpTargets(int64_t& first, int64_t& last) {
  // Pictures are numbered in the order they are written, the notice likewise.
  first = 0;
  last = std::max<int64_t>(EndFrame - StartFrame, 0);
}

void AviToYuvJob::DescribeFiles(ToolRunSpec& spec) const {
  ToolJob::DescribeFiles(spec);
  spec.inputs[0].avi = true;
  spec.inputs[0].aviNoDecoder = kNoDecoder;
  spec.inputs[0].aviDecode = kAviToYuvMessages.bitstream;
}

void AviToYuvJob::FreezeParameters() {
  runTargetBmpNames_.clear();
  if (Out().SamplingFormat != BMP || run_.endFrame < 1) return;
  // Frame k of the range is picture k - start: the first one written is _0000.
  const std::string base = DefaultTargetName(TargetName, "");
  runTargetBmpNames_.resize(static_cast<size_t>(run_.endFrame));
  for (int64_t k = std::max<int64_t>(run_.startFrame, 1); k <= run_.endFrame; ++k) {
    runTargetBmpNames_[static_cast<size_t>(k - 1)] =
        StrFormat("%s_%04d.bmp", base.c_str(), static_cast<int>(k - run_.startFrame));
  }
}

bool AviToYuvJob::ToolChecks() {
  if (!NamesGiven("Error AVIT1008: No source file to convert!\n",
                  "Error AVIT1009: No target file to convert!\n"))
    return false;
  avi::OpenFailure failure = avi::OpenFailure::None;
  auto reader = avi::AviReader::Open(run_.inputs[0].name, failure);
  if (!reader) {
    Report(AviOpenMessage(failure, run_.inputs[0].name));
    return false;
  }
  if (!reader->OpenDecoder()) {
    Report(kNoDecoder);
    return false;
  }
  // The first picture is decoded before any frame-sized buffer is made: a header
  // that lies about the size is refused at the cost of one real picture.
  const auto decoded = reader->DecodedSize();
  if (decoded && (decoded->width != reader->Width() || decoded->height != reader->Height())) {
    Report(StrFormat(kSizeDisagrees, reader->Width(), reader->Height(), decoded->width, decoded->height));
    return false;
  }
  return ConverterJob::ToolChecks();
}

// ---------------------------------------------------------------- YUV to AVI

YuvToAviJob::YuvToAviJob() : ToolJob(kYuvToAviMessages, kYuvToAviTraits) {}

void YuvToAviJob::SetTargetFromSource() {
  TargetFormat = PictureFormat(SourceFormat.ImgWidth, SourceFormat.ImgHeight);
}

bool YuvToAviJob::PrepareEncoding(const AviEncodeParameters& parameters) {
  Codec = parameters.codec;
  if (parameters.sourceFormat.SamplingFormat == BMP) {
    const auto sequence = ScanBmpPattern(parameters.source);
    if (!sequence) return false;
    SourceName = parameters.source;
    TargetName = parameters.target;
    SourceBmpNames = sequence->names;
    SourceFormat = PictureFormat(sequence->width, sequence->height);
    FrameCount = static_cast<int64_t>(SourceBmpNames.size());
    StartFrame = 1;
    EndFrame = FrameCount;
  } else if (!PrepareFromRequest(parameters.source, parameters.target, parameters.sourceFormat)) {
    return false;
  }
  SetTargetFromSource();
  return true;
}

void YuvToAviJob::DescribeFiles(ToolRunSpec& spec) const {
  ToolJob::DescribeFiles(spec);
  spec.inputs[0].bmpNames = SourceBmpNames;
  spec.inputs[0].bmpLoad = "Error TAVI1029: image loaded Failed";
}

void YuvToAviJob::FreezeParameters() {
  runCodec_ = Codec;
  runScreen_ = Screen;
}

namespace {

const char* const kOddWidthFor420 =
    "Error TAVI1009: Input image width (%d) is an odd number, the image cannot be convert to 420 format\n";
const char* const kOddHeightFor420 =
    "Error TAVI1010: Input image height (%d) is an odd number, the image cannot be convert to 420 format\n";

}  // namespace

bool YuvToAviJob::ToolChecks() {
  if (!NamesGiven("Error TAVI1007: No source file to convert!\n",
                  "Error TAVI1008: No target file to convert!\n"))
    return false;
  const FrameImage& s = In();
  const char* refusal = nullptr;
  int32_t value = s.ImgWidth;
  if (s.ImgWidth % 2 != 0 && s.SamplingFormat == YUV_422) {
    refusal =
        "Error TAVI1008: Input image width (%d) is an odd number, the image cannot be convert to 422 "
        "format\n";
  } else if (s.ImgWidth % 2 != 0 && s.SamplingFormat == YUV_420) {
    refusal = kOddWidthFor420;
  } else if (s.ImgHeight % 2 != 0 && s.SamplingFormat == YUV_420) {
    refusal = kOddHeightFor420;
    value = s.ImgHeight;
  } else if (s.ImgHeight % 2 != 0 && s.FieldFormat == Interlaced && s.SamplingFormat != BMP) {
    refusal =
        "Error TAVI1011: Input image height (%d) is an odd number, the image cannot be convert to interlaced "
        "format\n";
    value = s.ImgHeight;
  } else if (s.ImgWidth % 2 != 0) {
    // Every offered codec takes 4:2:0 pictures: any other source of an odd size
    // would only fail on its first frame.
    refusal = kOddWidthFor420;
  } else if (s.ImgHeight % 2 != 0) {
    refusal = kOddHeightFor420;
    value = s.ImgHeight;
  }
  if (refusal) {
    Report(StrFormat(refusal, value));
    return false;
  }
  // A code with no encoder here creates no file at all.
  if (!avi::FindEncoder(runCodec_)) {
    Report("Error AVIF2006: Unable to make compressed stream");
    return false;
  }
  return true;
}

bool YuvToAviJob::CreateTarget() {
  writer_.reset();
  if (!ToolJob::CreateTarget()) return false;
  writer_.emplace(targets_[0].file(), runCodec_, run_.colours, runScreen_);
  return true;
}

bool YuvToAviJob::PictureRows(FrameImage& a, uint8_t* rows) {
  const int32_t w = a.ImgWidth, h = a.ImgHeight;
  const int64_t pitch = Pitch(w);
  const bool wantPreview = PreviewWanted();
  if (a.SamplingFormat == RGB_444) {
    FrameImage packed = a;
    if (a.PixelFormat == Planar) {
      packed = Output().Frame(a);
      packed.PixelFormat = Packed;
      ComputeFrameSize(packed);
      if (!ConvertPixelFormat(a, packed)) return false;
    }
    // The pixels as they are, bottom row first, B G R.
    const bool bgr = packed.ComponentOrder == BGR;
    for (int64_t r = 0; r < h; ++r) {
      const uint8_t* in = packed.Data + r * 3 * int64_t{w};
      uint8_t* out = rows + (h - 1 - r) * pitch;
      for (int64_t x = 0; x < w; ++x) {
        out[3 * x] = in[3 * x + (bgr ? 0 : 2)];
        out[3 * x + 1] = in[3 * x + 1];
        out[3 * x + 2] = in[3 * x + (bgr ? 2 : 0)];
      }
      std::memset(out + 3 * int64_t{w}, 0, static_cast<size_t>(pitch - 3 * int64_t{w}));
    }
    if (wantPreview) {
      FrameImage& picture = PreviewBack();
      CopyFrameHeader(PictureFormat(w, h), picture);
      std::memcpy(picture.Data, rows, static_cast<size_t>(pitch * h));
      PublishPreview();
    }
    return true;
  }
  FrameImage canonical = Output().Frame(a);
  SetCanonicalHeader(canonical, w, h);
  if (!ToCanonical444(a, canonical)) return false;
  if (wantPreview) {
    FrameImage& picture = PreviewBack();
    CopyFrameHeader(canonical, picture);
    std::memcpy(picture.Data, canonical.Data, static_cast<size_t>(canonical.DataSize));
    PublishPreview();
  }
  ConvertToDisplayRGB(Colours(),
                      std::span<const uint8_t>(canonical.Data, static_cast<size_t>(canonical.DataSize)),
                      std::span<uint8_t>(rows, static_cast<size_t>(pitch * h)), w, h,
                      DisplayRowsOptions{.bottomUp = true, .padRows = true});
  return true;
}

ToolJob::FrameResult YuvToAviJob::ProcessFrame() {
  FrameImage a = input_.Frame(In());
  const int64_t read = sources_[0].Read(CurrentFrame, a);
  if (read < 0) return FrameResult::Failed;
  if (read == 0) return FrameResult::EndOfInput;
  const int32_t w = a.ImgWidth, h = a.ImgHeight;
  if (w != Out().ImgWidth || h != Out().ImgHeight || Pitch(w) * h > Output().size()) {
    Report(kCannotEncode);
    return FrameResult::Failed;
  }
  std::vector<uint8_t>& rows = rows_;
  rows.resize(static_cast<size_t>(Pitch(w) * h));  // once per run: every frame has this size
  if (!PictureRows(a, rows.data())) {
    Report(kCannotEncode);
    return FrameResult::Failed;
  }
  std::string error;
  if (!writer_->AddFrame(rows.data(), w, h, error)) {
    Report(error);
    writer_.reset();
    return FrameResult::Failed;
  }
  FrameShown = true;
  return FrameResult::Written;
}

bool YuvToAviJob::FinishOutputs() {
  if (!writer_) return true;
  const bool closed = writer_->Close();
  writer_.reset();
  if (!closed) Report(StrFormat(kYuvToAviMessages.targetNotWritten, run_.outputs[0].name.c_str()));
  return closed;
}

}  // namespace vx
