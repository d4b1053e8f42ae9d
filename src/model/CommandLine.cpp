#include "model/CommandLine.h"

#include <optional>
#include <span>

#include "platform/MessageSink.h"
#include "platform/StringFormat.h"

namespace vx {
namespace {

// The usage text, piece by piece; piece 2 takes the program name and piece 42 a
// literal percent sign.
constexpr const char* kUsagePieces[] = {
    "Velutrix supports several functions in command line mode: \n\n",  // 1
    "Usage: %s   -a [action]:                     \n",                 // 2
    "                                             'play', 'convert', 'crop', 'flip', 'join', 'yuv2avi', "
    "'avi2yuv', 'psnr' \n",                                                                        // 3
    "                                    -e [exit after play this file]:   \n",                    // 4
    "                                             'no_exit', 'exit'        \n",                    // 5
    "                                    -u [RGB to YUV convert formula]:  \n",                    // 6
    "                                             'itu601', 'itu709'       \n",                    // 7
    "                                    -d [PSNR report delimited format]:  \n",                  // 8
    "                                             'comma', 'tab'       \n",                        // 9
    "                                    -r [playing frame rate (1,120) ]  \n",                    // 10
    "                                    -n [name of input yuv file to play or to convert]   \n",  // 11
    "                                    -m [name of the second input file  (used for 'join' and "
    "'psnr')]   \n",                                                                         // 12
    "                                    -N [name of converted yuv file]               \n",  // 13
    "                                    -w [image width to play or to convert]        \n",  // 14
    "                                    -W [image width of converted file]            \n",  // 15
    "                                    -h [image height to play or to convert]       \n",  // 16
    "                                    -H [image height of converted file]           \n",  // 17
    "                                    -s [sampling format to play or to convert]:   \n",  // 18
    "                                    -S [sampling format of converted file]:       \n",  // 19
    "                                             'yuv444', 'yuv422', 'yuv420', 'rgb444', 'mono', 'bmp' "
    "\n",                                                                                    // 20
    "                                    -o [component order to play or to convert]:   \n",  // 21
    "                                    -O [component order of converted file]:       \n",  // 22
    "                                             'yuv', 'yvu', 'uyv',  'rgb',  'bgr'  \n",  // 23
    "                                    -f [field format to play or to convert]:      \n",  // 24
    "                                    -F [field format of converted file]:          \n",  // 25
    "                                             'progressive', 'interlaced'          \n",  // 26
    "                                    -p [pixel format to play or to convert]:      \n",  // 27
    "                                    -P [pixel format of converted file]:          \n",  // 28
    "                                             'packed',  'planar'          \n",          // 29
    "                                    -c [crop top row],[crop left column], [crop height],[crop "
    "width]   \n",                                                                         // 30
    "                                    -v [AVI encoding format used for yuv2avi]:  \n",  // 31
    "                                              ''iyuv', divx', ...  \n",               // 32
    "                                                               \n",                   // 33
    " The options in low case letters (like -w -h -s -o -f -p) are mostly used for YUV player, or for "
    "source files of YUV converter.\n",  // 34
    "    If they are not given in the command line, the program will use the parameters which the "
    "program used in the last run. \n\n",  // 35
    " The options in capital letters  (like -W -H -S -O -F -P) are mostly used for destination files of "
    "YUV converter.\n",  // 36
    "    If they are not given in the command line, the program will use the same parameters as the "
    "source file. \n",                                                            // 37
    " \nExample (See more examples and script files in the Help document):\n\n",  // 38
    "  Velutrix.exe -a play -n video16.yuv -w 352 -h 288 -s yuv444 -o uyv -f interlaced -p planar -e "
    "exit   \n\n",  // 39
    "  Velutrix.exe -a convert  -n tulips_yuv420_inter_planar_qcif.yuv -s yuv420 -o yuv -f interlaced  "
    "-p planar -w 176 -h 144  \n",  // 40
    "                                           -N tulips_uyvy422_inter_packed_qcif.yuv  -S yuv422 -O "
    "uyv -P packed -F interlaced -e exit  \n\n",                                            // 41
    "  Velutrix.exe  -a convert -s bmp -S rgb444 -n aaa%cd.bmp -N aaa.yuv -e exit   \n\n",  // 42
    "  Velutrix.exe -a join  -n tulips_yuv420_inter_planar_qcif1.yuv -s yuv420 -o yuv -f interlaced  -p "
    "planar -w 176 -h 144  \n",  // 43
    "                                    -m tulips_yuv420_inter_planar_qcif2.yuv -N "
    "tulips_yuv420_inter_planar_qcif_joined.yuv   -e exit  \n",  // 44
    "\n Without a display, three more actions:\n",
    "                                    -a pad -W [padded width] -H [padded height] -c [top row],[left "
    "column] "
    "-k [fill colour R,G,B]\n",
    "                                             places each frame at the row and column (default 0,0); "
    "without -k the edges are repeated \n",
    "                                    -a separate -N [base name]: writes base.y, base.u, base.v (base.r, "
    "base.g, base.b for rgb444) \n",
    "                                    -a merge -n [base name] -s [yuv444, yuv422, yuv420 or rgb444] -w "
    "-h: "
    "reads base.y, base.u, base.v \n",
    "                                             (base.r, base.g, base.b) and writes one planar progressive "
    "file \n\n",
    "  Velutrix.exe -a pad -n foreman_cif.yuv -s yuv420 -o yuv -f progressive -p planar -w 350 -h 286 -N "
    "foreman_padded.yuv -W 352 -H 288 -c 0,0 -e exit \n",
};

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
constexpr Keyword kPixels[] = {{"packed", Packed}, {"planar", Planar}};
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
  return option != '\0' && std::string_view("aeurwWhHsSoOfFpPdvcknmN").find(option) != std::string_view::npos;
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

// One run of the parser: the arguments, what they change and what was given.
class Parser {
 public:
  Parser(const std::vector<std::string>& args, std::span<const ActionName> actions,
         CommandLineRequest& request, ProgramSettings& settings)
      : args_(args), actions_(actions), request_(request), settings_(settings) {}

  int Run() {
    Reset();
    for (size_t i = 1; i < args_.size(); i += 2) {
      if (const int code = Option(i)) return code;
    }
    return Check();
  }

 private:
  void Reset() {
    request_.Action = ActionNone;
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
  }

  int Usage(std::string_view message = {}) {
    if (!message.empty()) ShowMessage(message);
    ShowUsage(args_.empty() ? std::string_view("velutrix") : std::string_view(args_[0]));
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

  // Sets `target` from a keyword table, or refuses with `message` (one %s).
  // The action names are those of the action table.
  int KeyedAction(const std::string& value) {
    for (const ActionName& known : actions_) {
      if (known.name == value) {
        request_.Action = known.action;
        return 0;
      }
    }
    return Refuse(StrFormat("Sorry, invalid command %s after option -a, expecting 'play' or 'convert'!\n",
                            value.c_str()),
                  3);
  }

  static int Keyed(std::span<const Keyword> table, const std::string& value, int32_t& target,
                   const char* message, int code) {
    const auto found = Lookup(table, value);
    if (!found) return Refuse(StrFormat(message, value.c_str()), code);
    target = *found;
    return 0;
  }

  // A size option: 1..kMaxImageSide. A larger one is refused, never cut to fit:
  // cut, it gave jobs a size nobody asked for.
  static int Size(const std::string& value, int32_t& target, const char* message, int code) {
    const int number = ParseLeadingInt(value);
    if (number < 1 || number > kMaxImageSide) return Refuse(StrFormat(message, number), code);
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
    OutputFormatRequest& out = request_.OutputFormat;
    ImageFormat& source = settings_.Format;
    switch (option) {
      case 'a':
        return KeyedAction(value);
      case 'e':
        return Keyed(kExitModes, value, request_.ExitWhenDone,
                     "Sorry, invalid command %s after option -e, expecting 'exit' or 'no_exit'!\n", 3);
      case 'u':
        return Keyed(kFormulas, value, settings_.YUV2RGB_Formula,
                     "Sorry, invalid command %s after option -u, expecting 'itu601' or 'itu709'. Other "
                     "conversion formulae are not supported !\n",
                     3);
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
      case 'w':
        sourceGiven_ = true;
        return Size(value, source.ImgWidth,
                    "Sorry, -w option error: %d. Width of image cannot be a negative number or zero !\n", 1);
      case 'W':
        outputGiven_ = true;
        return Size(value, out.ImgWidth,
                    "Sorry, -W option error: %d. Width of image cannot be a negative number or zero !\n", 1);
      case 'h':
        sourceGiven_ = true;
        return Size(value, source.ImgHeight,
                    "Sorry, -h option error: %d. Height of image cannot be a negative number or zero !\n", 2);
      case 'H':
        outputGiven_ = true;
        return Size(value, out.ImgHeight,
                    "Sorry, -H option error: %d. Height of image cannot be a negative number or zero !\n", 2);
      case 's':
        samplingGiven_ = true;
        return Keyed(kSourceSamplings, value, source.SamplingFormat,
                     "Sorry, invalid command %s after option -s (sampling order), expecting 'yuv444', "
                     "'yuv422', 'yuv420' or 'rgb444'!\n",
                     4);
      case 'S':
        outputGiven_ = true;
        return Keyed(kOutputSamplings, value, out.SamplingFormat,
                     "Sorry, invalid command %s after option -S (sampling order), expecting 'yuv444', "
                     "'yuv422', 'yuv420','rgb444' or 'bmp'!\n",
                     4);
      case 'o':
        sourceGiven_ = true;
        return Keyed(kOrders, value, source.ComponentOrder,
                     "Sorry, invalid command %s after option -o (component order), expecting 'yuv', "
                     "'yvu', 'uyv', 'rgb' or 'bgr'!\n",
                     5);
      case 'O':
        outputGiven_ = true;
        return Keyed(kOrders, value, out.ComponentOrder,
                     "Sorry, invalid command %s after option -O (component order), expecting 'yuv', "
                     "'yvu', 'uyv', 'rgb' or 'bgr'!\n",
                     5);
      case 'f':
        sourceGiven_ = true;
        return Keyed(kFields, value, source.FieldFormat,
                     "Sorry, invalid command %s after option -f (field format), expecting either "
                     "'progressive' or 'interlaced' !\n",
                     6);
      case 'F':
        outputGiven_ = true;
        return Keyed(kFields, value, out.FieldFormat,
                     "Sorry, invalid command %s after option -F (field format), expecting either "
                     "'progressive' or 'interlaced' !\n",
                     6);
      case 'p':
        sourceGiven_ = true;
        return Keyed(kPixels, value, source.PixelFormat,
                     "Sorry, invalid command %s after option -p (pixel format), expecting either 'packed' "
                     "or 'planar' !\n",
                     7);
      case 'P':
        outputGiven_ = true;
        return Keyed(kPixels, value, out.PixelFormat,
                     "Sorry, invalid command %s after option -P (pixel format), expecting either 'packed' "
                     "or 'planar' !\n",
                     7);
      case 'd':
        return Keyed(kDelimiters, value, request_.ReportDelimiter,
                     "Sorry, invalid command %s after option -d (delimited format for psnr report), "
                     "expecting either 'tab' or 'comma' !\n",
                     6);
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

  int CheckAction() {
    const int32_t sampling = settings_.Format.SamplingFormat;
    switch (request_.Action) {
      case ActionNone:
        return Usage(
            "Sorry, please specify the action, either 'play', 'convert', 'crop', 'flip', 'join', "
            "'yuv2avi', 'avi2yuv', or 'psnr',  !\n");
      case ActionPlay:
        if (sampling == BMP) {
          return Usage(
              "Sorry, although I can convert yuv file to from bmp file , I do not play bmp file !\n");
        }
        return 0;
      case ActionConvert:
        if (sampling == BMP && sourceGiven_)
          return Usage(" You cannot specify the format for input BMP file !\n");
        if (sampling == MONO)
          return Usage("Sorry, grey scale image files cannot be converted in commmand line mode!\n");
        if (!outputGiven_) {
          return Usage(" For converting, at least one converting destination format has to be specified !\n");
        }
        return 0;
      case ActionCrop:
        if (outputGiven_) {
          return Usage(
              " You cannot specify the format for cropped YUV file, which will be the same as the input "
              "file !\n");
        }
        return 0;
      case ActionFlip:
        if (outputGiven_) {
          return Usage(
              " You cannot specify the format for flipped YUV file, which will be the same as the input "
              "file !\n");
        }
        return 0;
      case ActionJoin:
        if (request_.SecondInputName.empty()) {
          return Usage("Sorry, second source file is missing for join operation  !\n");
        }
        if (outputGiven_) {
          return Usage(
              " You cannot specify the format for joined YUV file, which will be the same as the first "
              "source file !\n");
        }
        return 0;
      case ActionYuv2Avi:
        if (outputGiven_) return Usage(" You cannot specify the format for encoded AVI file!\n");
        return 0;
      case ActionAvi2Yuv:
        if (sourceGiven_ || samplingGiven_)
          return Usage(" You cannot specify the format for input AVI file !\n");
        return 0;
      case ActionPad: {
        const OutputFormatRequest& out = request_.OutputFormat;
        if (out.ImgWidth < 1 || out.ImgHeight < 1) {
          return Usage(" For padding, the padded width and height have to be given with -W and -H !\n");
        }
        if (out.SamplingFormat != -1 || out.ComponentOrder != -1 || out.FieldFormat != -1 ||
            out.PixelFormat != -1) {
          return Usage(
              " You cannot specify the format for padded YUV file other than its size (-W, -H), the rest is "
              "the "
              "same as the input file !\n");
        }
        return 0;
      }
      case ActionSeparate:
      case ActionMerge:
        if (outputGiven_) {
          return Usage(
              request_.Action == ActionMerge
                  ? " You cannot specify the format for merged YUV file, which is planar progressive "
                    "in the sampling of -s !\n"
                  : " You cannot specify the format for the component files, which hold one component "
                    "each !\n");
        }
        if (request_.Action == ActionMerge && (sampling == MONO || sampling == BMP)) {
          return Usage(" For merging, -s has to be 'yuv444', 'yuv422', 'yuv420' or 'rgb444' !\n");
        }
        return 0;
      case ActionPsnr:
        if (request_.SecondInputName.empty()) {
          return Usage("Sorry, second source file is missing for psnr operation  !\n");
        }
        if (outputGiven_) return Usage(" You cannot specify image format for PSNR report file  !\n");
        return 0;
      default:
        return 0;
    }
  }

  int Check() {
    const int32_t action = request_.Action;
    if (request_.InputName.empty()) return Usage("Sorry, input file name is missing!\n");
    if (action != ActionPlay && action != ActionNone && request_.OutputName.empty()) {
      return Usage("Sorry, destination file name needed for converting !\n");
    }
    if (action != ActionJoin && action != ActionPsnr && !request_.SecondInputName.empty()) {
      return Usage("Sorry, you can only specify second input file for join operation or PSNR calculation!\n");
    }
    if (action != ActionPlay && rateGiven_)
      return Usage("Sorry, you can only specify frame rate for player !\n");
    if (action != ActionPad && request_.PadColourGiven)
      return Usage("Sorry, you can only specify a fill colour (-k) for padding !\n");
    if (const int code = CheckAction()) return code;
    CompleteOutputFormat();
    return 0;
  }

  // Destination fields not given take the source's values; a BMP sequence being
  // converted has no size until its pictures are read.
  void CompleteOutputFormat() {
    OutputFormatRequest& out = request_.OutputFormat;
    const ImageFormat& source = settings_.Format;
    const bool sizeFromPictures = request_.Action == ActionConvert && source.SamplingFormat == BMP;
    auto complete = [](int32_t& field, int32_t value) {
      if (field == -1) field = value;
    };
    complete(out.SamplingFormat, source.SamplingFormat);
    complete(out.ComponentOrder, source.ComponentOrder);
    complete(out.FieldFormat, source.FieldFormat);
    complete(out.PixelFormat, source.PixelFormat);
    if (!sizeFromPictures) {
      complete(out.ImgWidth, source.ImgWidth);
      complete(out.ImgHeight, source.ImgHeight);
    }
  }

  const std::vector<std::string>& args_;
  std::span<const ActionName> actions_;
  CommandLineRequest& request_;
  ProgramSettings& settings_;
  bool sourceGiven_ = false;    // any of -o -f -p -w -h
  bool samplingGiven_ = false;  // -s
  bool outputGiven_ = false;    // any of -S -O -F -P -W -H
  bool rateGiven_ = false;
};

}  // namespace

int ParseCommandLine(const std::vector<std::string>& args, std::span<const ActionName> actions,
                     CommandLineRequest& request, ProgramSettings& settings) {
  return Parser(args, actions, request, settings).Run();
}

std::string UsageText(std::string_view programName) {
  std::string text;
  int index = 1;
  for (const char* piece : kUsagePieces) {
    if (index == 2) {
      text += StrFormat(piece, std::string(programName).c_str());
    } else if (index == 42) {
      text += StrFormat(piece, '%');
    } else {
      text += piece;
    }
    ++index;
  }
  if (text.size() > kMaxUsageLength) text.resize(kMaxUsageLength);
  return text;
}

void ShowUsage(std::string_view programName) {
  ShowMessage(UsageText(programName));
}

}  // namespace vx
