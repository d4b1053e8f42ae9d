#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "image/RgbColor.h"
#include "model/Settings.h"

namespace vx {

enum CommandLineAction : int32_t {
  ActionNone = -1,
  ActionPlay = 0,
  ActionConvert = 1,
  ActionCrop = 2,
  ActionFlip = 3,
  ActionJoin = 4,
  ActionYuv2Avi = 5,
  ActionAvi2Yuv = 6,
  ActionPsnr = 7,
  ActionPad = 8,
  ActionSeparate = 9,
  ActionMerge = 10,
};

// Destination layout of a job; -1 in a field means "not given".
struct OutputFormatRequest {
  int32_t SamplingFormat = -1;
  int32_t ComponentOrder = -1;
  int32_t FieldFormat = -1;
  int32_t PixelFormat = -1;
  int32_t ImgWidth = -1;
  int32_t ImgHeight = -1;
  bool operator==(const OutputFormatRequest&) const = default;
};

struct CropRectangle {
  int32_t Top = 0;
  int32_t Left = 0;
  int32_t Height = 0;
  int32_t Width = 0;
  bool operator==(const CropRectangle&) const = default;
};

// The parsed command line. The source layout and the colour formula are not here:
// they are written straight into the program settings, which then keep them.
struct CommandLineRequest {
  int32_t Action = ActionNone;
  int32_t ExitWhenDone = 0;
  int32_t FrameRate = 30;
  std::string InputName;
  std::string SecondInputName;
  std::string OutputName;
  OutputFormatRequest OutputFormat;
  CropRectangle CropRect;       // kept across parses; 0 at program start
  bool CropGiven = false;       // -c in this command line (padding takes its top and left)
  bool PadColourGiven = false;  // -k: padding fills with this colour instead of repeating edges
  RgbColor PadColour;
  int32_t ReportDelimiter = 0;  // 0 tab, 1 comma
  std::string AviFourcc = "iyuv";
};

// Longest accepted values: option values share a 256-byte work buffer, file
// names a 512-byte one (the terminating NUL included).
inline constexpr size_t kMaxOptionValueLength = 255;
inline constexpr size_t kMaxFileNameLength = 511;
// The usage text is at most this long.
inline constexpr size_t kMaxUsageLength = 8191;

// A name accepted after -a, and the action it asks for. The shell's tool table
// lists them; the parser knows no tool.
struct ActionName {
  std::string_view name;
  int32_t action;
};

// Parses the arguments (args[0] is the program name) into `request` and the
// current format and formula of `settings`. Shows each refusal through the
// message sink and returns the process exit code: 0 when the command line is
// accepted, 1..7 when it is refused.
int ParseCommandLine(const std::vector<std::string>& args, std::span<const ActionName> actions,
                     CommandLineRequest& request, ProgramSettings& settings);

// The usage text for a program name.
std::string UsageText(std::string_view programName);
// Shows the usage text through the message sink.
void ShowUsage(std::string_view programName);

}  // namespace vx
