#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "image/RgbColor.h"
#include "model/Settings.h"

namespace vx {

// The request's action before -a names one.
inline constexpr int32_t ActionNone = -1;

// Destination layout of a job; -1 in a field means "not given".
struct OutputFormatRequest {
  int32_t SamplingFormat = -1;
  int32_t ComponentOrder = -1;
  int32_t FieldFormat = -1;
  int32_t PixelFormat = -1;
  int32_t ImgWidth = -1;
  int32_t ImgHeight = -1;
  int32_t BitsPerSample = -1;
  bool operator==(const OutputFormatRequest&) const = default;
  // The layout asked for; the fields not given stay -1.
  ImageFormat Layout() const {
    return {.SamplingFormat = SamplingFormat,
            .ComponentOrder = ComponentOrder,
            .FieldFormat = FieldFormat,
            .PixelFormat = PixelFormat,
            .ImgWidth = ImgWidth,
            .ImgHeight = ImgHeight,
            .BitsPerSample = BitsPerSample};
  }
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
  bool Quiet = false;  // -q: no progress line on the terminal
};

// Longest accepted values: option values share a 256-byte work buffer, file
// names a 512-byte one (the terminating NUL included).
inline constexpr size_t kMaxOptionValueLength = 255;
inline constexpr size_t kMaxFileNameLength = 511;
// The usage text is at most this long.
inline constexpr size_t kMaxUsageLength = 8191;

// What a command line must or must not give for an action to be accepted.
enum class ActionRefusal : uint8_t {
  None,
  SourceIsBmp,             // -s bmp
  BmpSourceWithLayout,     // -s bmp with any of -o -f -p -w -h
  SourceIsMono,            // -s mono
  NotComponentSampling,    // -s mono or bmp
  SourceLayoutGiven,       // any of -s -o -f -p -w -h
  DestinationGiven,        // any of -S -O -F -P -W -H
  NoDestination,           // none of -S -O -F -P -W -H
  DestinationLayoutGiven,  // any of -S -O -F -P
  NoDestinationSize,       // -W or -H missing
  NoSecondInput,           // no -m
};

struct ActionCheck {
  ActionRefusal when = ActionRefusal::None;
  const char* message = nullptr;  // shown before the usage text
};

// An action accepted after -a, as the parser and the usage text know it. The
// shell's tool table lists them; the parser itself knows no tool.
struct CommandLineAction {
  std::string_view name{};
  int32_t number = ActionNone;          // the request's Action; the usage text lists actions in this order
  bool needsOutputName = true;          // -N
  bool takesSecondInput = false;        // -m
  bool takesFrameRate = false;          // -r
  bool takesFillColour = false;         // -k
  bool sizeFromBmpPictures = false;     // a BMP source's size is read from its pictures
  std::array<ActionCheck, 3> checks{};  // tried in order after the common ones
  // Lines of its own in the usage text, after the others under "Without a
  // display"; nullptr: listed by name with the others.
  const char* usage = nullptr;
  const char* examples = nullptr;  // example lines of the usage text
};

// Parses the arguments (args[0] is the program name) into `request` and the
// current format and formula of `settings`. Shows each refusal through the
// message sink and returns the process exit code: 0 when the command line is
// accepted, 1..7 when it is refused.
int ParseCommandLine(const std::vector<std::string>& args, std::span<const CommandLineAction> actions,
                     CommandLineRequest& request, ProgramSettings& settings);

// The usage text for a program name and its actions.
std::string UsageText(std::string_view programName, std::span<const CommandLineAction> actions);
// Shows the usage text through the message sink.
void ShowUsage(std::string_view programName, std::span<const CommandLineAction> actions);

}  // namespace vx
