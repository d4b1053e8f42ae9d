#include "model/CommandLine.h"

#include <algorithm>
#include <optional>
#include <span>

#include "image/FrameFile.h"
#include "image/SampleStorage.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"

namespace vx {
namespace {

// The usage text around the actions: its heading (with the program name), the
// options, and the headings of the examples and of the actions with lines of their own.
constexpr const char* kUsageHeading =
    "Velutrix supports several functions in command line mode: \n\n"
    "Usage: %s   -a [action]:                     \n";
constexpr const char* kActionListIndent = "                                             ";
constexpr const char* kUsageOptions[] = {
    "                                    -e [exit after play this file]:   \n",
    "                                             'no_exit', 'exit'        \n",
    "                                    -u [RGB to YUV convert formula]:  \n",
    "                                             'itu601', 'itu709'       \n",
    "                                    -d [PSNR report delimited format]:  \n",
    "                                             'comma', 'tab'       \n",
    "                                    -r [playing frame rate (1,120) ]  \n",
    "                                    -n [name of input yuv file to play or to convert]   \n",
    "                                    -m [name of the second input file  (used for 'join' and "
    "'psnr')]   \n",
    "                                    -N [name of converted yuv file]               \n",
    "                                    -w [image width to play or to convert]        \n",
    "                                    -W [image width of converted file]            \n",
    "                                    -h [image height to play or to convert]       \n",
    "                                    -H [image height of converted file]           \n",
    "                                    -s [sampling format to play or to convert]:   \n",
    "                                    -S [sampling format of converted file]:       \n",
    "                                             'yuv444', 'yuv422', 'yuv420', 'rgb444', 'mono', 'bmp' "
    "\n",
    "                                    -o [component order to play or to convert]:   \n",
    "                                    -O [component order of converted file]:       \n",
    "                                             'yuv', 'yvu', 'uyv',  'rgb',  'bgr'  \n",
    "                                    -f [field format to play or to convert]:      \n",
    "                                    -F [field format of converted file]:          \n",
    "                                             'progressive', 'interlaced'          \n",
    "                                    -p [pixel format to play or to convert]:      \n",
    "                                    -P [pixel format of converted file]:          \n",
    "                                             'packed',  'planar', 'semiplanar'          \n",
    "                                    -c [crop top row],[crop left column], [crop height],[crop "
    "width]   \n",
    "                                    -v [AVI encoding format used for yuv2avi]:  \n",
    "                                              ''iyuv', divx', ...  \n",
    "                                    -b [bits per sample to play or to convert]:   \n",
    "                                    -B [bits per sample of converted file]:       \n",
    "                                             8, 10, 12, 16 (above 8: 16-bit words) \n",
    "                                    -q [no progress line on the terminal; takes no value]  \n",
    "                                                               \n",
    " The options in low case letters (like -w -h -s -o -f -p) are mostly used for YUV player, or for "
    "source files of YUV converter.\n",
    "    If they are not given in the command line, the program will use the parameters which the "
    "program used in the last run. \n\n",
    " The options in capital letters  (like -W -H -S -O -F -P) are mostly used for destination files of "
    "YUV converter.\n",
    "    If they are not given in the command line, the program will use the same parameters as the "
    "source file. \n",
};
constexpr const char* kExamplesHeading =
    " \nExample (See more examples and script files in the Help document):\n\n";
constexpr const char* kOwnLinesHeading = "\n Without a display, %s more actions:\n";

// The largest width or height a layout can have (the settings file keeps no more).
constexpr int kMaxImageSide = 65535;

struct Keyword {
  std::string_view text;
  int32_t value;
};

constexpr Keyword kExitModes[] = {{"exit", 1}, {"no_exit", 0}};
constexpr Keyword kFormulas[] = {{"itu601", 0}, {"itu709", 1}};
constexpr Keyword kSourceSamplings[] = {{"yuv444", YUV_444}, {"yuv422", YUV_422}, {"yuv420", YUV_420},
                                        {"rgb444", RGB_444}, {"bmp", BMP},        {"mono", MONO}};
constexpr Keyword kOutputSamplings[] = {
    {"yuv444", YUV_444}, {"yuv422", YUV_422}, {"yuv420", YUV_420}, {"rgb444", RGB_444}, {"bmp", BMP}};
constexpr Keyword kOrders[] = {{"yuv", YUV}, {"yvu", YVU}, {"uyv", UYV}, {"rgb", RGB}, {"bgr", BGR}};
constexpr Keyword kFields[] = {{"progressive", Progressive}, {"interlaced", Interlaced}};
constexpr Keyword kPixels[] = {{"packed", Packed}, {"planar", Planar}, {"semiplanar", SemiPlanar}};
constexpr Keyword kDelimiters[] = {{"tab", 0}, {"comma", 1}};

std::optional<int32_t> Lookup(std::span<const Keyword> table, std::string_view text) {
  for (const Keyword& k : table) {
    if (k.text == text) return k.value;
  }
  return std::nullopt;
}

bool IsFileNameOption(char option) {
  return option == 'n' || option == 'm' || option == 'N';
}

bool IsKnownOption(char option) {
  return option != '\0' &&
         std::string_view("aeurwWhHsSoOfFpPdvcknmNbB").find(option) != std::string_view::npos;
}

bool IsCaseInsensitiveOption(char option) {
  return std::string_view("sSoOfFpPd").find(option) != std::string_view::npos;
}

// Reads "%d,%d,%d,%d" the way sscanf does: fields are taken in order until one
// does not parse; the fields not reached keep their values.
void ScanCropValue(std::string_view text, CropRectangle& rect) {
  int32_t* fields[] = {&rect.Top, &rect.Left, &rect.Height, &rect.Width};
  size_t pos = 0;
  for (size_t i = 0; i < 4; ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != ',') return;
      ++pos;
    }
    size_t start = pos;
    while (start < text.size() &&
           std::string_view(" \t\n\r\v\f").find(text[start]) != std::string_view::npos) {
      ++start;
    }
    size_t digits = start;
    if (digits < text.size() && (text[digits] == '+' || text[digits] == '-')) ++digits;
    size_t end = digits;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    if (end == digits) return;
    *fields[i] = ParseLeadingInt(text.substr(start, end - start));
    pos = end;
  }
}

// Which of the source layout, the source sampling or the destination an option gives.
enum class Given : uint8_t { Nothing, Source, Sampling, Output };

// An option whose value is a keyword of a table, or a size when it has none.
struct ValueOption {
  char letter;
  std::span<const Keyword> keywords{};  // none for numbers
  Given given;
  int32_t& (*target)(CommandLineRequest& request, ProgramSettings& settings);
  const char* refusal;  // %s: the value; for a size %d: the number
  int code;
  bool depth = false;  // a number of bits per sample rather than a size
};

using Request = CommandLineRequest&;
using Settings = ProgramSettings&;

constexpr ValueOption kValueOptions[] = {
    {.letter = 'e',
     .keywords = kExitModes,
     .given = Given::Nothing,
     .target = [](Request r, Settings) -> int32_t& { return r.ExitWhenDone; },
     .refusal = "Sorry, invalid command %s after option -e, expecting 'exit' or 'no_exit'!\n",
     .code = 3},
    {.letter = 'u',
     .keywords = kFormulas,
     .given = Given::Nothing,
     .target = [](Request, Settings s) -> int32_t& { return s.YUV2RGB_Formula; },
     .refusal = "Sorry, invalid command %s after option -u, expecting 'itu601' or 'itu709'. Other conversion "
                "formulae are not supported !\n",
     .code = 3},
    {.letter = 'w',
     .given = Given::Source,
     .target = [](Request, Settings s) -> int32_t& { return s.Format.ImgWidth; },
     .refusal = "Sorry, -w option error: %d. Width of image cannot be a negative number or zero !\n",
     .code = 1},
    {.letter = 'W',
     .given = Given::Output,
     .target = [](Request r, Settings) -> int32_t& { return r.OutputFormat.ImgWidth; },
     .refusal = "Sorry, -W option error: %d. Width of image cannot be a negative number or zero !\n",
     .code = 1},
    {.letter = 'h',
     .given = Given::Source,
     .target = [](Request, Settings s) -> int32_t& { return s.Format.ImgHeight; },
     .refusal = "Sorry, -h option error: %d. Height of image cannot be a negative number or zero !\n",
     .code = 2},
    {.letter = 'H',
     .given = Given::Output,
     .target = [](Request r, Settings) -> int32_t& { return r.OutputFormat.ImgHeight; },
     .refusal = "Sorry, -H option error: %d. Height of image cannot be a negative number or zero !\n",
     .code = 2},
    {.letter = 's',
     .keywords = kSourceSamplings,
     .given = Given::Sampling,
     .target = [](Request, Settings s) -> int32_t& { return s.Format.SamplingFormat; },
     .refusal = "Sorry, invalid command %s after option -s (sampling order), expecting 'yuv444', 'yuv422', "
                "'yuv420' or 'rgb444'!\n",
     .code = 4},
    {.letter = 'S',
     .keywords = kOutputSamplings,
     .given = Given::Output,
     .target = [](Request r, Settings) -> int32_t& { return r.OutputFormat.SamplingFormat; },
     .refusal = "Sorry, invalid command %s after option -S (sampling order), expecting 'yuv444', 'yuv422', "
                "'yuv420','rgb444' or 'bmp'!\n",
     .code = 4},
    {.letter = 'o',
     .keywords = kOrders,
     .given = Given::Source,
     .target = [](Request, Settings s) -> int32_t& { return s.Format.ComponentOrder; },
     .refusal = "Sorry, invalid command %s after option -o (component order), expecting 'yuv', 'yvu', 'uyv', "
                "'rgb' or 'bgr'!\n",
     .code = 5},
    {.letter = 'O',
     .keywords = kOrders,
     .given = Given::Output,
     .target = [](Request r, Settings) -> int32_t& { return r.OutputFormat.ComponentOrder; },
     .refusal = "Sorry, invalid command %s after option -O (component order), expecting 'yuv', 'yvu', 'uyv', "
                "'rgb' or 'bgr'!\n",
     .code = 5},
    {.letter = 'f',
     .keywords = kFields,
     .given = Given::Source,
     .target = [](Request, Settings s) -> int32_t& { return s.Format.FieldFormat; },
     .refusal = "Sorry, invalid command %s after option -f (field format), expecting either 'progressive' or "
                "'interlaced' !\n",
     .code = 6},
    {.letter = 'F',
     .keywords = kFields,
     .given = Given::Output,
     .target = [](Request r, Settings) -> int32_t& { return r.OutputFormat.FieldFormat; },
     .refusal = "Sorry, invalid command %s after option -F (field format), expecting either 'progressive' or "
                "'interlaced' !\n",
     .code = 6},
    {.letter = 'p',
     .keywords = kPixels,
     .given = Given::Source,
     .target = [](Request, Settings s) -> int32_t& { return s.Format.PixelFormat; },
     .refusal = "Sorry, invalid command %s after option -p (pixel format), expecting either 'packed' or "
                "'planar' !\n",
     .code = 7},
    {.letter = 'P',
     .keywords = kPixels,
     .given = Given::Output,
     .target = [](Request r, Settings) -> int32_t& { return r.OutputFormat.PixelFormat; },
     .refusal = "Sorry, invalid command %s after option -P (pixel format), expecting either 'packed' or "
                "'planar' !\n",
     .code = 7},
    {.letter = 'd',
     .keywords = kDelimiters,
     .given = Given::Nothing,
     .target = [](Request r, Settings) -> int32_t& { return r.ReportDelimiter; },
     .refusal = "Sorry, invalid command %s after option -d (delimited format for psnr report), expecting "
                "either 'tab' or 'comma' !\n",
     .code = 6},
    {.letter = 'b',
     .given = Given::Source,
     .target = [](Request, Settings s) -> int32_t& { return s.Format.BitsPerSample; },
     .refusal = "Sorry, -b option error: %d. Bits per sample must be 8, 10, 12 or 16 !\n",
     .code = 1,
     .depth = true},
    {.letter = 'B',
     .given = Given::Output,
     .target = [](Request r, Settings) -> int32_t& { return r.OutputFormat.BitsPerSample; },
     .refusal = "Sorry, -B option error: %d. Bits per sample must be 8, 10, 12 or 16 !\n",
     .code = 1,
     .depth = true},
};

const ValueOption* FindValueOption(char letter) {
  for (const ValueOption& option : kValueOptions) {
    if (option.letter == letter) return &option;
  }
  return nullptr;
}

// The actions in the order the usage text lists them.
std::vector<const CommandLineAction*> InUsageOrder(std::span<const CommandLineAction> actions) {
  std::vector<const CommandLineAction*> ordered;
  for (const CommandLineAction& action : actions) ordered.push_back(&action);
  std::stable_sort(
      ordered.begin(), ordered.end(),
      [](const CommandLineAction* a, const CommandLineAction* b) { return a->number < b->number; });
  return ordered;
}

// The actions listed by name, the others having usage lines of their own.
std::vector<std::string_view> ListedNames(std::span<const CommandLineAction> actions) {
  std::vector<std::string_view> names;
  for (const CommandLineAction* action : InUsageOrder(actions)) {
    if (!action->usage) names.push_back(action->name);
  }
  return names;
}

// "'a', 'b', 'c'"; with `beforeLast` "'a', 'b', or 'c', " (the last name then
// keeps its separator too).
std::string QuotedNames(const std::vector<std::string_view>& names, std::string_view separator,
                        std::string_view beforeLast = {}) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    const bool last = i + 1 == names.size();
    if (last) text += beforeLast;
    text += "'" + std::string(names[i]) + "'";
    if (!last || !beforeLast.empty()) text += separator;
  }
  return text;
}

std::string CountWord(size_t count) {
  constexpr const char* kWords[] = {"no",   "one", "two",   "three", "four",
                                    "five", "six", "seven", "eight", "nine"};
  return count < std::size(kWords) ? kWords[count] : std::to_string(count);
}

// One run of the parser: the arguments, what they change and what was given.
class Parser {
 public:
  Parser(const std::vector<std::string>& args, std::span<const CommandLineAction> actions,
         CommandLineRequest& request, ProgramSettings& settings)
      : args_(args), actions_(actions), request_(request), settings_(settings) {}

  int Run() {
    Reset();
    for (size_t i = 1; i < args_.size();) {
      // -q stands alone: the one option without a value.
      if (args_[i] == "-q") {
        request_.Quiet = true;
        ++i;
        continue;
      }
      if (const int code = Option(i)) return code;
      i += 2;
    }
    return Check();
  }

 private:
  void Reset() {
    request_.Action = ActionNone;
    chosen_ = nullptr;
    settings_.YUV2RGB_Formula = 0;
    request_.ExitWhenDone = 0;
    request_.FrameRate = 30;
    request_.InputName.clear();
    request_.SecondInputName.clear();
    request_.OutputName.clear();
    request_.OutputFormat = OutputFormatRequest{};
    request_.ReportDelimiter = 0;
    request_.AviFourcc = "iyuv";
    request_.CropGiven = false;
    request_.PadColourGiven = false;
    request_.PadColour = RgbColor{};
    request_.Quiet = false;
  }

  int Usage(std::string_view message = {}) {
    if (!message.empty()) ShowMessage(message);
    ShowUsage(args_.empty() ? std::string_view("velutrix") : std::string_view(args_[0]), actions_);
    return 1;
  }

  static int Refuse(const std::string& message, int code) {
    ShowMessage(message);
    return code;
  }

  int Option(size_t index) {
    const std::string& argument = args_[index];
    if (argument.empty() || argument[0] != '-') {
      return Usage(StrFormat("Oops!, option %s does not start with - \n", argument.c_str()));
    }
    if (index + 1 >= args_.size()) return Usage();
    const char option = argument.size() > 1 ? argument[1] : '\0';
    if (!IsKnownOption(option)) {
      return Usage(StrFormat("Oops!, I do not recognize option %s\n", argument.c_str()));
    }
    const std::string& raw = args_[index + 1];
    if (IsFileNameOption(option) && raw.size() > kMaxFileNameLength) {
      return Refuse(StrFormat("Sorry, the file name after option -%c is longer than %zu characters!\n",
                              option, kMaxFileNameLength),
                    1);
    }
    if (!IsFileNameOption(option) && raw.size() > kMaxOptionValueLength) {
      return Refuse(StrFormat("Sorry, the value after option -%c is longer than %zu characters!\n", option,
                              kMaxOptionValueLength),
                    1);
    }
    const std::string value = IsCaseInsensitiveOption(option) ? ToLowerAscii(raw) : raw;
    return Apply(option, value);
  }

  int KeyedAction(const std::string& value) {
    for (const CommandLineAction& known : actions_) {
      if (known.name == value) {
        request_.Action = known.number;
        chosen_ = &known;
        return 0;
      }
    }
    // The refusal offers the first two listed actions only.
    const std::vector<std::string_view> listed = ListedNames(actions_);
    return Refuse(StrFormat("Sorry, invalid command %s after option -a, expecting '%s' or '%s'!\n",
                            value.c_str(), std::string(listed.size() > 0 ? listed[0] : "").c_str(),
                            std::string(listed.size() > 1 ? listed[1] : "").c_str()),
                  3);
  }

  // Sets `target` from a keyword table, or refuses with `message` (one %s).

  static int Keyed(std::span<const Keyword> table, const std::string& value, int32_t& target,
                   const char* message, int code) {
    const auto found = Lookup(table, value);
    if (!found) return Refuse(StrFormat(message, value.c_str()), code);
    target = *found;
    return 0;
  }

  int ApplyValue(const ValueOption& option, const std::string& value) {
    sourceGiven_ = sourceGiven_ || option.given == Given::Source;
    if (option.given == Given::Source || option.given == Given::Sampling) givenLetters_ += option.letter;
    samplingGiven_ = samplingGiven_ || option.given == Given::Sampling;
    outputGiven_ = outputGiven_ || option.given == Given::Output;
    int32_t& target = option.target(request_, settings_);
    if (option.depth) {
      bitsGiven_ = bitsGiven_ || option.given == Given::Source;
      return Depth(value, target, option.refusal, option.code);
    }
    if (option.keywords.empty()) return Size(value, target, option.refusal, option.code);
    return Keyed(option.keywords, value, target, option.refusal, option.code);
  }

  // A size option: 1..kMaxImageSide. A larger one is refused, never cut to fit:
  // cut, it gave jobs a size nobody asked for.
  static int Size(const std::string& value, int32_t& target, const char* message, int code) {
    const int number = ParseLeadingInt(value);
    if (number < 1 || number > kMaxImageSide) return Refuse(StrFormat(message, number), code);
    target = number;
    return 0;
  }

  // Bits per sample: 8, 10, 12 or 16, written as nothing but the number.
  static int Depth(const std::string& value, int32_t& target, const char* message, int code) {
    const int number = ParseLeadingInt(value);
    const bool digitsOnly =
        !value.empty() && value.size() <= 2 &&
        std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digitsOnly || !IsSupportedBitDepth(number)) return Refuse(StrFormat(message, number), code);
    target = number;
    return 0;
  }

  // "R,G,B": three numbers 0..255 and nothing else.
  int PadColour(const std::string& value) {
    int32_t parts[3] = {};
    size_t pos = 0;
    bool valid = true;
    for (int i = 0; i < 3 && valid; ++i) {
      if (i > 0) valid = pos < value.size() && value[pos++] == ',';
      const size_t start = pos;
      int64_t number = 0;
      while (valid && pos < value.size() && value[pos] >= '0' && value[pos] <= '9' && pos - start < 4) {
        number = number * 10 + (value[pos++] - '0');
      }
      valid = valid && pos > start && number <= 255;
      parts[i] = static_cast<int32_t>(number);
    }
    if (!valid || pos != value.size()) {
      return Refuse(StrFormat("Sorry, invalid command %s after option -k (colour), expecting three numbers "
                              "between 0 and 255 like 16,128,255 !\n",
                              value.c_str()),
                    1);
    }
    request_.PadColourGiven = true;
    request_.PadColour = RgbColor{parts[0], parts[1], parts[2]};
    return 0;
  }

  int Apply(char option, const std::string& value) {
    if (const ValueOption* known = FindValueOption(option)) return ApplyValue(*known, value);
    switch (option) {
      case 'a':
        return KeyedAction(value);
      case 'r': {
        const int rate = ParseLeadingInt(value);
        if (rate < 1 || rate > 120) {
          return Refuse(StrFormat("Sorry, -r option error: %d.  Frame rate can only be set to a value "
                                  "between 1 and 120 !\n",
                                  rate),
                        1);
        }
        request_.FrameRate = rate;
        rateGiven_ = true;
        return 0;
      }
      case 'v':
        if (value.size() != 4) {
          return Refuse(StrFormat("Sorry, invalid command %s after option -v (AVI encoding format), "
                                  "expecting a 4 charactor string !\n",
                                  value.c_str()),
                        6);
        }
        request_.AviFourcc = value;
        return 0;
      case 'k':
        return PadColour(value);
      case 'c': {
        CropRectangle& rect = request_.CropRect;
        request_.CropGiven = true;
        ScanCropValue(value, rect);
        if (rect.Top < 0 || rect.Left < 0 || rect.Height < 0 || rect.Width < 0) {
          return Refuse(StrFormat("Sorry, invalid command %s after option -c (crop area), parameter "
                                  "cannot be negative !\n",
                                  value.c_str()),
                        7);
        }
        return 0;
      }
      case 'n':
        request_.InputName = value;
        return 0;
      case 'm':
        request_.SecondInputName = value;
        return 0;
      case 'N':
        request_.OutputName = value;
        return 0;
      default:
        return 0;
    }
  }

  bool Applies(ActionRefusal refusal) const {
    const int32_t sampling = settings_.Format.SamplingFormat;
    const OutputFormatRequest& out = request_.OutputFormat;
    switch (refusal) {
      case ActionRefusal::None:
        return false;
      case ActionRefusal::SourceIsBmp:
        return sampling == BMP;
      case ActionRefusal::BmpSourceWithLayout:
        return sampling == BMP && sourceGiven_;
      case ActionRefusal::SourceIsMono:
        return sampling == MONO;
      case ActionRefusal::NotComponentSampling:
        return sampling == MONO || sampling == BMP;
      case ActionRefusal::SourceLayoutGiven:
        return sourceGiven_ || samplingGiven_;
      case ActionRefusal::DestinationGiven:
        return outputGiven_;
      case ActionRefusal::NoDestination:
        return !outputGiven_;
      case ActionRefusal::DestinationLayoutGiven:
        return out.SamplingFormat != -1 || out.ComponentOrder != -1 || out.FieldFormat != -1 ||
               out.PixelFormat != -1 || out.BitsPerSample != -1;
      case ActionRefusal::NoDestinationSize:
        return out.ImgWidth < 1 || out.ImgHeight < 1;
      case ActionRefusal::NoSecondInput:
        return request_.SecondInputName.empty();
    }
    return false;
  }

  int CheckAction() {
    if (!chosen_) {
      return Usage(StrFormat("Sorry, please specify the action, either %s !\n",
                             std::string(QuotedNames(ListedNames(actions_), ", ", "or ")).c_str()));
    }
    for (const ActionCheck& check : chosen_->checks) {
      if (Applies(check.when)) return Usage(check.message);
    }
    return 0;
  }

  int Check() {
    // Before -a names one, no action takes an option of its own.
    const CommandLineAction none{.needsOutputName = false};
    const CommandLineAction& action = chosen_ ? *chosen_ : none;
    if (request_.InputName.empty()) return Usage("Sorry, input file name is missing!\n");
    if (action.needsOutputName && request_.OutputName.empty()) {
      return Usage("Sorry, destination file name needed for converting !\n");
    }
    if (!action.takesSecondInput && !request_.SecondInputName.empty()) {
      return Usage("Sorry, you can only specify second input file for join operation or PSNR calculation!\n");
    }
    if (!action.takesFrameRate && rateGiven_)
      return Usage("Sorry, you can only specify frame rate for player !\n");
    if (!action.takesFillColour && request_.PadColourGiven)
      return Usage("Sorry, you can only specify a fill colour (-k) for padding !\n");
    // A Y4M file's own layout is what the action's rules are checked against.
    if (const int code = TakeY4mLayout()) return code;
    if (const int code = CheckAction()) return code;
    // A depth kept from an earlier run does not follow a layout given now that
    // only has 8-bit samples.
    ImageFormat& source = settings_.Format;
    if (!bitsGiven_ && source.BitsPerSample != 8 && StoredLayoutRefusal(source)) source.BitsPerSample = 8;
    CompleteOutputFormat(action);
    if (const auto refusal = StoredLayoutRefusal(source)) return Refuse(*refusal, LayoutRefusalCode(source));
    if (const auto refusal = StoredLayoutRefusal(request_.OutputFormat.Layout())) {
      return Refuse(*refusal, LayoutRefusalCode(request_.OutputFormat.Layout()));
    }
    return 0;
  }

  // A Y4M input brings its layout: options that say otherwise are refused.
  int TakeY4mLayout() {
    const FrameFileProbe probe = ProbeFrameFile(request_.InputName);
    if (!probe.problem.empty()) return Refuse(probe.problem, 1);
    if (!probe.layout) return 0;
    ImageFormat& source = settings_.Format;
    // Only the options given are held against the header.
    ImageFormat asked = *probe.layout;
    const std::pair<char, int32_t ImageFormat::*> fields[] = {
        {'w', &ImageFormat::ImgWidth},       {'h', &ImageFormat::ImgHeight},
        {'s', &ImageFormat::SamplingFormat}, {'o', &ImageFormat::ComponentOrder},
        {'f', &ImageFormat::FieldFormat},    {'p', &ImageFormat::PixelFormat},
        {'b', &ImageFormat::BitsPerSample}};
    for (const auto& [letter, field] : fields) {
      if (givenLetters_.find(letter) != std::string::npos) asked.*field = source.*field;
    }
    if (const auto mismatch = Y4mLayoutMismatch(request_.InputName, *probe.layout, asked)) {
      return Refuse(*mismatch, 1);
    }
    source = *probe.layout;
    bitsGiven_ = true;  // the header's depth stays
    return 0;
  }

  // A layout refused for its depth is the depth option's fault, otherwise the packing's.
  static int LayoutRefusalCode(const ImageFormat& f) {
    return IsSupportedBitDepth(f.BitsPerSample) && f.PixelFormat == SemiPlanar ? 7 : 1;
  }

  // Destination fields not given take the source's values; a BMP sequence being
  // converted has no size until its pictures are read.
  void CompleteOutputFormat(const CommandLineAction& action) {
    OutputFormatRequest& out = request_.OutputFormat;
    const ImageFormat& source = settings_.Format;
    const bool sizeFromPictures = action.sizeFromBmpPictures && source.SamplingFormat == BMP;
    auto complete = [](int32_t& field, int32_t value) {
      if (field == -1) field = value;
    };
    complete(out.SamplingFormat, source.SamplingFormat);
    complete(out.ComponentOrder, source.ComponentOrder);
    complete(out.FieldFormat, source.FieldFormat);
    complete(out.PixelFormat, source.PixelFormat);
    if (out.BitsPerSample == -1) {
      // The source's depth, where the destination's layout can hold it.
      out.BitsPerSample = source.BitsPerSample;
      if (out.BitsPerSample != 8 && StoredLayoutRefusal(out.Layout())) out.BitsPerSample = 8;
    }
    if (!sizeFromPictures) {
      complete(out.ImgWidth, source.ImgWidth);
      complete(out.ImgHeight, source.ImgHeight);
    }
  }

  const std::vector<std::string>& args_;
  std::span<const CommandLineAction> actions_;
  const CommandLineAction* chosen_ = nullptr;  // the action of -a
  CommandLineRequest& request_;
  ProgramSettings& settings_;
  bool sourceGiven_ = false;    // any of -o -f -p -w -h
  bool samplingGiven_ = false;  // -s
  bool outputGiven_ = false;    // any of -S -O -F -P -W -H
  bool rateGiven_ = false;
  bool bitsGiven_ = false;    // -b
  std::string givenLetters_;  // the source layout's options given
};

}  // namespace

int ParseCommandLine(const std::vector<std::string>& args, std::span<const CommandLineAction> actions,
                     CommandLineRequest& request, ProgramSettings& settings) {
  return Parser(args, actions, request, settings).Run();
}

std::string UsageText(std::string_view programName, std::span<const CommandLineAction> actions) {
  const std::vector<const CommandLineAction*> ordered = InUsageOrder(actions);
  std::string text = StrFormat(kUsageHeading, std::string(programName).c_str());
  text += kActionListIndent + QuotedNames(ListedNames(actions), ", ") + " \n";
  for (const char* option : kUsageOptions) text += option;
  text += kExamplesHeading;
  size_t ownLines = 0;
  for (const CommandLineAction* action : ordered) {
    if (action->usage) ++ownLines;
    if (!action->usage && action->examples) text += action->examples;
  }
  if (ownLines > 0) {
    text += StrFormat(kOwnLinesHeading, CountWord(ownLines).c_str());
    for (const CommandLineAction* action : ordered) {
      if (action->usage) text += action->usage;
    }
    text += "\n";
    for (const CommandLineAction* action : ordered) {
      if (action->usage && action->examples) text += action->examples;
    }
  }
  if (text.size() > kMaxUsageLength) text.resize(kMaxUsageLength);
  return text;
}

void ShowUsage(std::string_view programName, std::span<const CommandLineAction> actions) {
  ShowMessage(UsageText(programName, actions));
}

}  // namespace vx
