#include "shell/ToolTable.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

#include "analysis/Psnr.h"
#include "image/FrameFile.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "platform/TerminalProgress.h"
#include "shell/Startup.h"
#include "tools/AviJobs.h"
#include "tools/Components.h"
#include "tools/Converter.h"
#include "tools/Crop.h"
#include "tools/Flip.h"
#include "tools/Join.h"
#include "tools/Padding.h"

namespace vx {
namespace {

// The progress line of a job without windows: on the error stream when that is a
// terminal and -q was not given, with the messages printed above it.
class HeadlessProgress {
 public:
  explicit HeadlessProgress(bool quiet) : line_(quiet ? nullptr : TerminalProgress::OnStandardError()) {
    if (line_) messages_.emplace(*line_);
  }
  void SetTotal(int64_t frames) const {
    if (line_) line_->SetTotal(frames);
  }
  void FrameDone() const {
    if (line_) line_->FrameDone();
  }
  bool Shown() const { return line_ != nullptr; }

 private:
  std::unique_ptr<TerminalProgress> line_;
  std::optional<ProgressMessageSink> messages_;  // goes first, then the line is erased
};

// Headless jobs have nobody to show a preview to; their frames go to the progress line.
class HeadlessObserver final : public ToolJobObserver {
 public:
  explicit HeadlessObserver(const HeadlessProgress& progress) : progress_(progress) {}
  bool WantsPreview() const override { return false; }
  void ProgressRange(int64_t frames) override { progress_.SetTotal(frames); }
  void FrameDone(int64_t /*currentFrame*/) override { progress_.FrameDone(); }

 private:
  const HeadlessProgress& progress_;
};

class HeadlessPsnrObserver final : public PsnrObserver {
 public:
  explicit HeadlessPsnrObserver(const HeadlessProgress& progress) : progress_(progress) {}
  void FrameMeasured(const FrameMeasures& /*measures*/) override { progress_.FrameDone(); }

 private:
  const HeadlessProgress& progress_;
};

// A PSNR run compares until the shorter file ends: its frames, when both files
// can be counted; 0 otherwise.
int64_t FramesToCompare(const PsnrRun& run) {
  const int64_t first = CountFramesIn(run.File1, run.Format1), second = CountFramesIn(run.File2, run.Format2);
  return first > 0 && second > 0 ? std::min(first, second) : 0;
}

// Runs a prepared job to its end; the exit code. `Observer` names the kind of
// job (a tool's or a PSNR run's); the headless observer of that kind watches it.
template <class Job, class Observer = ToolJobObserver>
int RunPrepared(Job& job, const CommandLineRequest& request, bool prepared) {
  if (!prepared) return kExitJobFailed;
  job.ExitWhenDone = request.ExitWhenDone != 0;
  const HeadlessProgress progress(request.Quiet);
  if constexpr (std::is_base_of_v<PsnrRun, Job>) {
    if (progress.Shown()) progress.SetTotal(FramesToCompare(job));
  }
  std::conditional_t<std::is_base_of_v<PsnrObserver, Observer>, HeadlessPsnrObserver, HeadlessObserver>
      observer(progress);
  return job.FreezeAndRun(observer) == JobOutcome::Completed ? 0 : kExitJobFailed;
}

// A destination format other than the source's is refused for these.
constexpr ActionCheck NoDestination(const char* message) {
  return {.when = ActionRefusal::DestinationGiven, .message = message};
}

using Request = const CommandLineRequest&;
using Settings = const ProgramSettings&;

constexpr ToolRow kTools[] = {
    {
        .key = "play",
        .id = Command{57601},
        .replaysHistory = true,
        .entry = {.menu = ToolMenu::Player,
                  .text = "&Open YUV file...",
                  .shortcut = "Ctrl+O",
                  .prompt = "Open an existing YUV file to play",
                  .tip = "Play a YUV file",
                  .symbol = "\u25B6"},
        .windowTitle = "Play YUV Video File",
        .action = {.name = "play",
                   .number = 0,
                   .needsOutputName = false,
                   .takesFrameRate = true,
                   .checks = {{{.when = ActionRefusal::SourceIsBmp,
                                .message =
                                    "Sorry, although I can convert yuv file to from bmp file , I do not "
                                    "play bmp file !\n"}}},
                   .examples = "  Velutrix.exe -a play -n video16.yuv -w 352 -h 288 -s yuv444 -o uyv -f "
                               "interlaced -p planar -e exit   \n\n"},
        .unavailable = "Error VLTX1001,  Cannot create YUV Player Dialog",
        .runHeadless =
            [](Request request, Settings) {
              ShowMessage(
                  StrFormat("Sorry, the player needs a display to show %s: set DISPLAY or "
                            "WAYLAND_DISPLAY, or use another action.\n",
                            request.InputName.c_str()));
              return kExitJobFailed;
            },
    },
    {
        .key = "convert",
        .id = Command{32796},
        .entry = {.menu = ToolMenu::Converter,
                  .text = "&Format convert ",
                  .shortcut = "Ctrl+F",
                  .prompt = "Convert a YUV file from one format to another",
                  .symbol = "Cv"},
        .windowTitle = "Convert YUV File Format",
        .action = {.name = "convert",
                   .number = 1,
                   .sizeFromBmpPictures = true,
                   .checks = {{{.when = ActionRefusal::BmpSourceWithLayout,
                                .message = " You cannot specify the format for input BMP file !\n"},
                               {.when = ActionRefusal::SourceIsMono,
                                .message =
                                    "Sorry, grey scale image files cannot be converted in commmand line "
                                    "mode!\n"},
                               {.when = ActionRefusal::NoDestination,
                                .message = " For converting, at least one converting destination format has "
                                           "to be specified !\n"}}},
                   .examples =
                       "  Velutrix.exe -a convert  -n tulips_yuv420_inter_planar_qcif.yuv -s yuv420 -o "
                       "yuv -f interlaced  -p planar -w 176 -h 144  \n"
                       "                                           -N "
                       "tulips_uyvy422_inter_packed_qcif.yuv  -S yuv422 -O uyv -P packed -F interlaced "
                       "-e exit  \n\n"
                       "  Velutrix.exe  -a convert -s bmp -S rgb444 -n aaa%d.bmp -N aaa.yuv -e exit   "
                       "\n\n"},
        .unavailable = "Error VLTX1003:  Cannot create YUV Converter Dialog",
        .runHeadless =
            [](Request request, Settings settings) {
              ConverterJob job;
              return RunPrepared(job, request,
                                 job.PrepareConversion({.source = request.InputName,
                                                        .target = request.OutputName,
                                                        .sourceFormat = settings.Format,
                                                        .targetFormat = request.OutputFormat.Layout()}));
            },
    },
    {
        .key = "join",
        .id = Command{32811},
        .entry = {.menu = ToolMenu::Converter,
                  .text = "&Join two files",
                  .shortcut = "Ctrl+J",
                  .prompt = "Join two YUV files into one YUV file",
                  .symbol = "J"},
        .windowTitle = "Join Two YUV Files Into One File",
        .action =
            {.name = "join",
             .number = 4,
             .takesSecondInput = true,
             .checks = {{{.when = ActionRefusal::NoSecondInput,
                          .message = "Sorry, second source file is missing for join operation  !\n"},
                         NoDestination(" You cannot specify the format for joined YUV file, which will be "
                                       "the same as the first source file !\n")}},
             .examples = "  Velutrix.exe -a join  -n tulips_yuv420_inter_planar_qcif1.yuv -s yuv420 -o "
                         "yuv -f interlaced  -p planar -w 176 -h 144  \n"
                         "                                    -m tulips_yuv420_inter_planar_qcif2.yuv -N "
                         "tulips_yuv420_inter_planar_qcif_joined.yuv   -e exit  \n"},
        .commandLineTitle = "Join two YUV files",
        .unavailable = "Error VLTX1009:  Cannot create YUV Join Dialog",
        .runHeadless =
            [](Request request, Settings settings) {
              JoinJob job;
              return RunPrepared(job, request,
                                 job.PrepareJoin(request.InputName, request.SecondInputName,
                                                 request.OutputName, settings.Format));
            },
    },
    {
        .key = "crop",
        .id = Command{32813},
        .entry = {.menu = ToolMenu::Converter,
                  .text = "Image c&rop",
                  .shortcut = "Ctrl+R",
                  .prompt = "Crop an area from a YUV file",
                  .symbol = "Cr"},
        .windowTitle = "Image Cropping",
        .action = {.name = "crop",
                   .number = 2,
                   .checks = {{NoDestination(
                       " You cannot specify the format for cropped YUV file, which will be "
                       "the same as the input file !\n")}}},
        .unavailable = "Error VLTX1005:  Cannot create Image Crop Dialog",
        .runHeadless =
            [](Request request, Settings settings) {
              CropJob job;
              const CropRectangle& r = request.CropRect;
              return RunPrepared(job, request,
                                 job.PrepareCrop(request.InputName, request.OutputName, settings.Format,
                                                 r.Top, r.Left, r.Height, r.Width));
            },
    },
    {
        .key = "flip",
        .id = Command{32817},
        .entry = {.menu = ToolMenu::Converter,
                  .text = "&Vertical flip",
                  .shortcut = "Ctrl+V",
                  .prompt = "Flip a YUV file vertically",
                  .symbol = "\u2195"},
        .windowTitle = "Vertically Flip a YUV Image",
        .action = {.name = "flip",
                   .number = 3,
                   .checks = {{NoDestination(
                       " You cannot specify the format for flipped YUV file, which will be "
                       "the same as the input file !\n")}}},
        .unavailable = "Error VLTX1007:  Cannot create YUV Flip Dialog",
        .runHeadless =
            [](Request request, Settings settings) {
              FlipJob job;
              return RunPrepared(
                  job, request,
                  job.PrepareFromRequest(request.InputName, request.OutputName, settings.Format));
            },
    },
    {
        .key = "pad",
        .id = Command{32836},
        .entry = {.menu = ToolMenu::Converter,
                  .text = "Pa&dding",
                  .shortcut = "Ctrl+D",
                  .prompt = "Padding image width and height",
                  .symbol = "Pd"},
        .windowTitle = "Image Padding",
        .action =
            {.name = "pad",
             .number = 8,
             .takesFillColour = true,
             .checks = {{{.when = ActionRefusal::NoDestinationSize,
                          .message = " For padding, the padded width and height have to be given with -W "
                                     "and -H !\n"},
                         {.when = ActionRefusal::DestinationLayoutGiven,
                          .message = " You cannot specify the format for padded YUV file other than its "
                                     "size (-W, -H), the rest is the same as the input file !\n"}}},
             .usage = "                                    -a pad -W [padded width] -H [padded height] -c "
                      "[top row],[left column] -k [fill colour R,G,B]\n"
                      "                                             places each frame at the row and "
                      "column (default 0,0); without -k the edges are repeated \n",
             .examples = "  Velutrix.exe -a pad -n foreman_cif.yuv -s yuv420 -o yuv -f progressive -p "
                         "planar -w 350 -h 286 -N foreman_padded.yuv -W 352 -H 288 -c 0,0 -e exit \n"},
        .unavailable = "Error VLTX1024:  Cannot create Image Padding Dialog",
        .runHeadless =
            [](Request request, Settings settings) {
              PaddingJob job;
              // -c gives the top and left, -k a fill colour instead of repeated edges.
              const PaddingParameters padding{
                  .PadTop = request.CropGiven ? request.CropRect.Top : 0,
                  .PadLeft = request.CropGiven ? request.CropRect.Left : 0,
                  .PaddedWidth = request.OutputFormat.ImgWidth,
                  .PaddedHeight = request.OutputFormat.ImgHeight,
                  .SizeMode = PaddingSize::Explicit,
                  .FillMode = request.PadColourGiven ? PaddingFill::Colour : PaddingFill::RepeatEdges,
                  .FillColour = request.PadColourGiven ? request.PadColour : RgbColor{},
              };
              return RunPrepared(
                  job, request,
                  job.PreparePadding(request.InputName, request.OutputName, settings.Format, padding));
            },
    },
    {
        .key = "merge",
        .id = Command{32847},
        .entry = {.menu = ToolMenu::Converter,
                  .text = "Co&lor merge",
                  .shortcut = "Ctrl+L",
                  .prompt = "Merge single Y, U and V component files into one YUV file",
                  .symbol = "M"},
        .windowTitle = "Merge separate Y, U and V component files into one YUV file",
        .action = {.name = "merge",
                   .number = 10,
                   .checks =
                       {{NoDestination(" You cannot specify the format for merged YUV file, which is planar "
                                       "progressive in the sampling of -s !\n"),
                         {.when = ActionRefusal::NotComponentSampling,
                          .message = " For merging, -s has to be 'yuv444', 'yuv422', 'yuv420' or 'rgb444' "
                                     "!\n"}}},
                   .usage =
                       "                                    -a merge -n [base name] -s [yuv444, yuv422, "
                       "yuv420 or rgb444] -w -h: reads base.y, base.u, base.v \n"
                       "                                             (base.r, base.g, base.b) and writes "
                       "one planar progressive file \n"},
        .unavailable = "Error VLTX1026:  Cannot create Color Merge Dialog",
        .runHeadless =
            [](Request request, Settings settings) {
              MergeJob job;
              const ImageFormat& f = settings.Format;
              return RunPrepared(job, request,
                                 job.PrepareMerge(request.InputName, request.OutputName, f.SamplingFormat,
                                                  f.ImgWidth, f.ImgHeight, f.BitsPerSample));
            },
    },
    {
        .key = "separate",
        .id = Command{32848},
        .entry = {.menu = ToolMenu::Converter,
                  .text = "Color &separate",
                  .shortcut = "Ctrl+S",
                  .prompt = "Split Y, U and V components into separate files",
                  .symbol = "S"},
        .windowTitle = "Split Y, U and V components into separate files",
        .action = {.name = "separate",
                   .number = 9,
                   .checks = {{NoDestination(
                       " You cannot specify the format for the component files, which hold "
                       "one component each !\n")}},
                   .usage = "                                    -a separate -N [base name]: writes base.y, "
                            "base.u, base.v (base.r, base.g, base.b for rgb444) \n"},
        .unavailable = "Error VLTX1025:  Cannot create Color Separate Dialog",
        .runHeadless =
            [](Request request, Settings settings) {
              SeparateJob job;
              return RunPrepared(job, request,
                                 job.PrepareSeparate(request.InputName, request.OutputName, settings.Format));
            },
    },
    {
        .key = "psnr",
        .id = Command{32791},
        .entry = {.menu = ToolMenu::Analyzer,
                  .text = "&PSNR ",
                  .shortcut = "Ctrl+P",
                  .prompt = "Calculate PSNR between two YUV files",
                  .symbol = "dB"},
        .windowTitle = "PSNR Calculation",
        .action = {.name = "psnr",
                   .number = 7,
                   .takesSecondInput = true,
                   .checks = {{{.when = ActionRefusal::NoSecondInput,
                                .message = "Sorry, second source file is missing for psnr operation  !\n"},
                               NoDestination(" You cannot specify image format for PSNR report file  !\n")}}},
        .commandLineTitle = "Calculate PSNR",
        .unavailable = "Error VLTX1015:  Cannot create PSNR Dialog",
        .runHeadless =
            [](Request request, Settings settings) {
              PsnrRun run;
              run.PrepareFromRequest(request.InputName, request.SecondInputName, request.OutputName,
                                     request.ReportDelimiter, settings.Format);
              return RunPrepared<PsnrRun, PsnrObserver>(run, request, true);
            },
    },
    {
        .key = "ssim",
        .id = Command{32870},
        // The PSNR window with SSIM chosen: no menu entry of its own.
        .entry = {.menu = ToolMenu::Analyzer,
                  .text = nullptr,
                  .shortcut = nullptr,
                  .prompt = "Calculate SSIM between two YUV files"},
        .windowTitle = "SSIM Calculation",
        .action = {.name = "ssim",
                   .number = 11,
                   .takesSecondInput = true,
                   .checks = {{{.when = ActionRefusal::NoSecondInput,
                                .message = "Sorry, second source file is missing for ssim operation  !\n"},
                               NoDestination(" You cannot specify image format for SSIM report file  !\n")}},
                   .usage =
                       "                                    -a ssim -m [second file] -N [report]: SSIM of "
                       "Y, U, V and All per frame, as psnr (report.xls, or .csv with -d comma) \n",
                   .examples =
                       "  Velutrix.exe -a ssim -n original.yuv -m decoded.yuv -N report -d comma -s yuv420 "
                       "-o yuv -f progressive -p planar -w 352 -h 288 -e exit \n"},
        .commandLineTitle = "Calculate SSIM",
        .unavailable = "Error VLTX1035:  Cannot create SSIM Dialog",
        .runHeadless =
            [](Request request, Settings settings) {
              PsnrRun run;
              run.PrepareFromRequest(request.InputName, request.SecondInputName, request.OutputName,
                                     request.ReportDelimiter, settings.Format, PsnrMetric::Ssim);
              return RunPrepared<PsnrRun, PsnrObserver>(run, request, true);
            },
    },
    {
        .key = "compare",
        .id = Command{32804},
        .entry = {.menu = ToolMenu::Analyzer,
                  .text = "&Compare ",
                  .shortcut = "Ctrl+C",
                  .prompt = "Check difference between two YUV files",
                  .symbol = "\u0394"},
        .windowTitle = "Calculate the Difference of Two YUV Files",
    },
    {
        .key = "overlay",
        .id = Command{32815},
        .entry = {.menu = ToolMenu::Analyzer,
                  .text = "&Info Overlay",
                  .shortcut = "Ctrl+I",
                  .prompt = "Overlay info data on top of a YUV file",
                  .symbol = "i"},
        .windowTitle = "Overlay Information On Top of Image",
    },
    {
        .key = "motion",
        .id = Command{32868},
        .entry = {.menu = ToolMenu::Analyzer,
                  .text = "Motion Estimation ",
                  .shortcut = "Ctrl+M",
                  .prompt = "Check motions between two adjacent frames",
                  .symbol = "MV"},
        .windowTitle = "Check motions between two consecutive frames:",
    },
    {
        .key = "edit",
        .id = Command{32816},
        .entry = {.menu = ToolMenu::Editor,
                  .text = "Inspect and &Edit",
                  .shortcut = "Ctrl+E",
                  .prompt = "Inspect and edit a YUV file",
                  .symbol = "Ed"},
        .windowTitle = "Edit Images Pixel by Pixel",
    },
    {
        .key = "composition",
        .id = Command{32842},
        .entry = {.menu = ToolMenu::Editor,
                  .text = "Compositio&n",
                  .shortcut = "Ctrl+N",
                  .prompt = "Put one image on top of anyother YUV image",
                  .symbol = "Cp"},
        .windowTitle = "Composite Two YUV Files Into One File",
    },
    {
        .key = "avi2yuv",
        .id = Command{32860},
        .entry = {.menu = ToolMenu::Avi,
                  .text = "Decode &AVI to YUV ",
                  .shortcut = "Ctrl+A",
                  .prompt = "Decode an AVI file to YUV format",
                  .symbol = "A\u2192"},
        .windowTitle = "Convert AVI to YUV",
        .action = {.name = "avi2yuv",
                   .number = 6,
                   .checks = {{{.when = ActionRefusal::SourceLayoutGiven,
                                .message = " You cannot specify the format for input AVI file !\n"}}}},
        .unavailable = "Error VLTX1013:  Cannot create YUV Converter Dialog",
        .runHeadless =
            [](Request request, Settings) {
              AviToYuvJob job;
              return RunPrepared(job, request,
                                 job.PrepareDecoding({.source = request.InputName,
                                                      .target = request.OutputName,
                                                      .targetFormat = request.OutputFormat.Layout()}));
            },
        .needsCodecs = true,
    },
    {
        .key = "yuv2avi",
        .id = Command{32858},
        .entry = {.menu = ToolMenu::Avi,
                  .text = "Encode &YUV to AVI ",
                  .shortcut = "Ctrl+Y",
                  .prompt = "Encode YUV frames into AVI format",
                  .symbol = "\u2192A"},
        .windowTitle = "Convert YUV to AVI",
        .action = {.name = "yuv2avi",
                   .number = 5,
                   .checks = {{NoDestination(" You cannot specify the format for encoded AVI file!\n")}}},
        .unavailable = "Error VLTX1011:  Cannot create YUV Converter Dialog",
        .runHeadless =
            [](Request request, Settings settings) {
              YuvToAviJob job;
              return RunPrepared(job, request,
                                 job.PrepareEncoding({.source = request.InputName,
                                                      .target = request.OutputName,
                                                      .sourceFormat = settings.Format,
                                                      .codec = request.AviFourcc}));
            },
        .needsCodecs = true,
    },
};

}  // namespace

const char* const kActionNotRecognized = "Error VLTX1017:  Command line action not recognized!";

std::span<const ToolRow> ToolTable() {
  return kTools;
}

const ToolRow* FindTool(std::string_view key) {
  for (const ToolRow& row : kTools) {
    if (key == row.key) return &row;
  }
  return nullptr;
}

Command ToolId(std::string_view key) {
  const ToolRow* row = FindTool(key);
  return row ? row->id : Command{};
}

const ToolRow* FindTool(Command id) {
  for (const ToolRow& row : kTools) {
    if (row.id == id) return &row;
  }
  return nullptr;
}

const ToolRow* FindAction(int32_t action) {
  for (const ToolRow& row : kTools) {
    if (!row.action.name.empty() && row.action.number == action) return &row;
  }
  return nullptr;
}

const ToolRow* FindAction(std::string_view name) {
  for (const ToolRow& row : kTools) {
    if (!name.empty() && row.action.name == name) return &row;
  }
  return nullptr;
}

std::span<const CommandLineAction> CommandLineActions() {
  static const std::vector<CommandLineAction> actions = [] {
    std::vector<CommandLineAction> list;
    for (const ToolRow& row : kTools) {
      if (!row.action.name.empty()) list.push_back(row.action);
    }
    return list;
  }();
  return actions;
}

std::string UsageText(std::string_view programName) {
  return UsageText(programName, CommandLineActions());
}

void ShowUsage(std::string_view programName) {
  ShowUsage(programName, CommandLineActions());
}

}  // namespace vx
