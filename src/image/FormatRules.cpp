#include "image/FormatRules.h"

#include "image/SampleStorage.h"
#include "platform/StringFormat.h"

namespace vx {
namespace {

int32_t FourccByExtension(std::string_view path) {
  const std::string_view extension = path.size() > 5 ? path.substr(path.size() - 5) : path;
  for (size_t i = 1; i < kFourccs.size(); ++i) {
    for (std::string_view candidate : kFourccs[i].extensions) {
      if (EqualsIgnoreCase(candidate, extension)) return static_cast<int32_t>(i);
    }
  }
  return 0;
}

// Finds "_<W>x<H>" near the end of the name. A size needs both numbers positive.
bool SizeFromName(std::string_view path, int32_t& width, int32_t& height) {
  const size_t underscore = path.rfind('_');
  if (underscore == std::string_view::npos || path.size() - underscore <= 10) return false;
  std::string_view tail = path.substr(underscore);
  if (tail.size() > 10) tail.remove_suffix(5);
  size_t x = tail.rfind('x');
  if (x == std::string_view::npos) x = tail.rfind('X');
  if (x == std::string_view::npos || x < 4 || tail.size() - x - 1 < 3) return false;
  const int w = ParseLeadingInt(tail.substr(1, x - 1));
  const int h = ParseLeadingInt(tail.substr(x + 1));
  if (w < 1 || h < 1) return false;
  width = w;
  height = h;
  return true;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The last "<W>x<H>" in the file's own name (not its folders), where neither number
// runs on into another digit and both are sizes a picture can have: "big_1920x1080.yuv",
// "park_joy_3840x2160p50.yuv".
bool SizeAnywhereInName(std::string_view path, int32_t& width, int32_t& height) {
  const size_t slash = path.find_last_of('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  bool found = false;
  for (size_t x = 1; x + 1 < name.size(); ++x) {
    if ((name[x] != 'x' && name[x] != 'X') || !IsDigit(name[x - 1]) || !IsDigit(name[x + 1])) continue;
    size_t begin = x, end = x + 1;
    while (begin > 0 && IsDigit(name[begin - 1])) --begin;
    while (end < name.size() && IsDigit(name[end])) ++end;
    if (x - begin > 5 || end - x - 1 > 5) continue;
    const int w = ParseLeadingInt(name.substr(begin, x - begin));
    const int h = ParseLeadingInt(name.substr(x + 1, end - x - 1));
    if (w < 1 || h < 1 || w > kMaxCustomWidth || h > kMaxCustomHeight) continue;
    width = w;
    height = h;
    found = true;
  }
  return found;
}

// A layout named by the words tools write into file names (ffmpeg's pixel
// format names and the hardware layouts' FOURCCs).
struct LayoutWord {
  std::string_view word;
  SampleLayout layout;
};
constexpr SampleLayout Named(int32_t sampling, int32_t order, int32_t pixel, int32_t bits) {
  return {.sampling = sampling, .order = order, .field = Progressive, .pixel = pixel, .bits = bits};
}
constexpr LayoutWord kLayoutWords[] = {
    {"nv12", Named(YUV_420, YUV, SemiPlanar, 8)},     {"nv21", Named(YUV_420, YVU, SemiPlanar, 8)},
    {"nv16", Named(YUV_422, YUV, SemiPlanar, 8)},     {"nv61", Named(YUV_422, YVU, SemiPlanar, 8)},
    {"nv24", Named(YUV_444, YUV, SemiPlanar, 8)},     {"nv42", Named(YUV_444, YVU, SemiPlanar, 8)},
    {"p010", Named(YUV_420, YUV, SemiPlanar, 10)},    {"p012", Named(YUV_420, YUV, SemiPlanar, 12)},
    {"p016", Named(YUV_420, YUV, SemiPlanar, 16)},    {"p210", Named(YUV_422, YUV, SemiPlanar, 10)},
    {"p216", Named(YUV_422, YUV, SemiPlanar, 16)},    {"p410", Named(YUV_444, YUV, SemiPlanar, 10)},
    {"p416", Named(YUV_444, YUV, SemiPlanar, 16)},    {"yuv420p", Named(YUV_420, YUV, Planar, 8)},
    {"yuv422p", Named(YUV_422, YUV, Planar, 8)},      {"yuv444p", Named(YUV_444, YUV, Planar, 8)},
    {"yuv420p10le", Named(YUV_420, YUV, Planar, 10)}, {"yuv422p10le", Named(YUV_422, YUV, Planar, 10)},
    {"yuv444p10le", Named(YUV_444, YUV, Planar, 10)}, {"yuv420p12le", Named(YUV_420, YUV, Planar, 12)},
    {"yuv422p12le", Named(YUV_422, YUV, Planar, 12)}, {"yuv444p12le", Named(YUV_444, YUV, Planar, 12)},
    {"yuv420p16le", Named(YUV_420, YUV, Planar, 16)}, {"yuv422p16le", Named(YUV_422, YUV, Planar, 16)},
    {"yuv444p16le", Named(YUV_444, YUV, Planar, 16)}, {"gray", Named(MONO, YUV, Planar, 8)},
    {"gray10le", Named(MONO, YUV, Planar, 10)},       {"gray12le", Named(MONO, YUV, Planar, 12)},
    {"gray16le", Named(MONO, YUV, Planar, 16)},
};

// The last layout word of the file's own name, standing alone between characters
// that are no letters or digits ("clip_nv12_1920x1080.yuv", "out.yuv420p10le.raw").
const LayoutWord* LayoutWordInName(std::string_view path) {
  const size_t slash = path.find_last_of('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const auto isWordChar = [](char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  };
  const LayoutWord* found = nullptr;
  for (size_t begin = 0; begin < name.size();) {
    if (!isWordChar(name[begin])) {
      ++begin;
      continue;
    }
    size_t end = begin;
    while (end < name.size() && isWordChar(name[end])) ++end;
    const std::string_view token = name.substr(begin, end - begin);
    for (const LayoutWord& w : kLayoutWords) {
      if (EqualsIgnoreCase(token, w.word)) found = &w;
    }
    begin = end;
  }
  return found;
}

}  // namespace

FileNameGuess GuessFormatFromFileName(std::string_view path, ImageFormat& format) {
  FileNameGuess guess;
  guess.fourcc = FourccByExtension(path);
  if (guess.fourcc == 0) {
    if (const LayoutWord* word = LayoutWordInName(path)) {
      guess.layoutFound = true;
      SetLayoutAndSize(format, word->layout, format.ImgWidth, format.ImgHeight);
      DeriveFourcc(format);
    }
    // Without a FOURCC extension the size, too, can be anywhere in the name.
    int32_t width = 0, height = 0;
    if (SizeAnywhereInName(path, width, height)) {
      guess.sizeFound = true;
      format.ImgWidth = width;
      format.ImgHeight = height;
      DeriveResolution(format);
    }
    return guess;
  }
  int32_t width = 0;
  int32_t height = 0;
  if (SizeFromName(path, width, height)) {
    guess.sizeFound = true;
    format.ImgWidth = width;
    format.ImgHeight = height;
    DeriveResolution(format);
  }
  format.Fourcc = guess.fourcc;
  ApplyFourcc(guess.fourcc, format);
  return guess;
}

std::optional<std::string> ValidateCustomResolution(int32_t width, int32_t height, int32_t sampling,
                                                    int32_t field) {
  if (width < 1 || height < 1) {
    return StrFormat("Error CSRS1006: Image width and height must be at least 1, but (%d, %d) was given !\n",
                     width, height);
  }
  if (field == Interlaced && height % 2 != 0) {
    return std::string(
        "Error CSRS1001: For interlace format, the image will be divided into two fields, thus its "
        "height cannot be an odd number !\n");
  }
  if (sampling == YUV_420 && height % 2 != 0) {
    return std::string(
        "Error CSRS1002: For YUV 420 format, every two vertical neighbor pixels share one U or V "
        "value, thus the image height cannot be an odd number !\n");
  }
  if (sampling == YUV_420 && width % 2 != 0) {
    return std::string(
        "Error CSRS1003: For YUV 420 format, every two horizontal neighbor pixels share one U or V "
        "value, thus the image width cannot be an odd number !\n");
  }
  if (sampling == YUV_422 && width % 2 != 0) {
    return std::string(
        "Error CSRS1004: For YUV 422 format, every two horizontal neighbor pixels share one U or V "
        "value, thus the image width cannot be an odd number !\n");
  }
  if (width > kMaxCustomWidth || height > kMaxCustomHeight) {
    return StrFormat("Error CSRS1005:  Image resolution (%d, %d) exceeds limit (8192, 5120) !\n", width,
                     height);
  }
  return std::nullopt;
}

namespace {
// A choice that leaves semi-planar chroma or deeper samples where they cannot be:
// planar instead of semi-planar, the order YUV, 8 bits.
FormatChoice FitStoredLayout(FormatChoice choice) {
  ImageFormat& f = choice.format;
  const bool yuv = IsYuvSampling(f.SamplingFormat);
  if (f.PixelFormat == SemiPlanar && !yuv) f.PixelFormat = Planar;
  if (f.PixelFormat == SemiPlanar && f.ComponentOrder != YUV && f.ComponentOrder != YVU)
    f.ComponentOrder = YUV;
  if (StoredLayoutRefusal(f)) f.BitsPerSample = 8;
  return choice;
}

}  // namespace

FormatChoice ChooseSampling(const ImageFormat& current, int32_t sampling, bool monoAllowed) {
  FormatChoice choice{current, {}};
  ImageFormat& f = choice.format;
  if (sampling == MONO && !monoAllowed) {
    choice.messages.emplace_back(
        "Error FRMT1008: Mono color image is only supported in YUV Plyer function!\n");
    return choice;
  }
  f.SamplingFormat = sampling;
  if (sampling == YUV_420 && f.PixelFormat == Packed) {
    choice.messages.emplace_back("Error FRMT1006: For 420 YUV format, only planar pixel is supported!\n");
    f.PixelFormat = Planar;
  } else if (sampling == RGB_444 && f.FieldFormat == Interlaced) {
    choice.messages.emplace_back("Error FRMT1007: For RGB, only progressive is supported!\n");
    f.FieldFormat = Progressive;
  } else if (sampling == BMP) {
    if (f.FieldFormat == Interlaced) {
      choice.messages.emplace_back("Error FRMT1009: For BMP, only progressive is supported!\n");
      f.FieldFormat = Progressive;
    }
    if (f.PixelFormat != Packed) {
      choice.messages.emplace_back("Error FRMT1010: For BMP, only packed pixel is supported!\n");
      f.PixelFormat = Packed;
    }
  }
  return FitStoredLayout(choice);
}

namespace {

// A value that a layout member cannot take with one sampling format, and the
// value it takes instead.
struct RefusedValue {
  int32_t ImageFormat::*member;
  int32_t value;
  int32_t sampling;
  int32_t instead;
  const char* message;
};

const RefusedValue kInterlacedRgb{.member = &ImageFormat::FieldFormat,
                                  .value = Interlaced,
                                  .sampling = RGB_444,
                                  .instead = Progressive,
                                  .message = "Error FRMT1011: For RGB, only progressive is supported!\n"};
const RefusedValue kPacked420{
    .member = &ImageFormat::PixelFormat,
    .value = Packed,
    .sampling = YUV_420,
    .instead = Planar,
    .message = "Error FRMT1012: For 420 YUV format, only planar pixel is supported!\n"};

FormatChoice ChooseMember(const ImageFormat& current, int32_t value, const RefusedValue& refused) {
  FormatChoice choice{current, {}};
  choice.format.*refused.member = value;
  if (value == refused.value && current.SamplingFormat == refused.sampling) {
    choice.messages.emplace_back(refused.message);
    choice.format.*refused.member = refused.instead;
  }
  return choice;
}

}  // namespace

FormatChoice ChooseFieldFormat(const ImageFormat& current, int32_t field) {
  return ChooseMember(current, field, kInterlacedRgb);
}

FormatChoice ChoosePixelFormat(const ImageFormat& current, int32_t pixelFormat) {
  if (pixelFormat == SemiPlanar) {
    FormatChoice choice{current, {}};
    choice.format.PixelFormat = SemiPlanar;
    if (const auto refusal = StoredLayoutRefusal(choice.format);
        refusal && refusal->starts_with("Error FRMT1021")) {
      choice.format = current;
      choice.messages.push_back(*refusal);
      return choice;
    }
    return FitStoredLayout(choice);
  }
  return FitStoredLayout(ChooseMember(current, pixelFormat, kPacked420));
}

FormatChoice ChooseBits(const ImageFormat& current, int32_t bits) {
  FormatChoice choice{current, {}};
  choice.format.BitsPerSample = bits;
  if (const auto refusal = StoredLayoutRefusal(choice.format)) {
    choice.format = current;
    choice.messages.push_back(*refusal);
  }
  return choice;
}

std::optional<std::string> PreviewRefusal(const ImageFormat& format, PreviewPath path) {
  if (format.SamplingFormat == RGB_444 && format.FieldFormat == Interlaced) {
    return std::string(path == PreviewPath::First
                           ? "Error FRMT1015: For RGB format, only progressive is supported !\n"
                           : "Error FRMT1016: For RGB format, only progressive is supported !\n");
  }
  if (format.SamplingFormat == YUV_420 && format.PixelFormat == Packed) {
    return std::string("Error FRMT1017:  Packed format not suppoted for 420 !\n");
  }
  return std::nullopt;
}

std::optional<std::string> CheckFormatSelections(int samplingIndex, int fieldIndex, int packingIndex,
                                                 int orderIndex, int resolutionIndex) {
  if (samplingIndex < 0) return std::string("Error FRMT1001: You did not select a sampling format!");
  if (fieldIndex < 0) return std::string("Error FRMT1002: You did not select a field/progressive format!");
  if (packingIndex < 0) return std::string("Error FRMT1003: You did not select a pixel packing format!");
  if (orderIndex < 0) return std::string("Error FRMT1004: You did not select a Component order format!");
  if (resolutionIndex < 0) return std::string("Error FRMT1005: You did not select a resolution!");
  return std::nullopt;
}

}  // namespace vx
