#include "shell/Actions.h"

#include <array>
#include <vector>

#include "analysis/Psnr.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
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

// Headless jobs have nobody to show a preview to.
class HeadlessObserver final : public ToolJobObserver {
 public:
  bool WantsPreview() const override { return false; }
};

int RunJob(ToolJob& job, const CommandLineRequest& request) {
  job.ExitWhenDone = request.ExitWhenDone != 0;
  HeadlessObserver observer;
  return job.FreezeAndRun(observer) == JobOutcome::Completed ? 0 : kExitJobFailed;
}

int PlayHeadless(const CommandLineRequest& request, const ProgramSettings&) {
  ShowMessage(
      StrFormat("Sorry, the player needs a display to show %s: set DISPLAY or WAYLAND_DISPLAY, or use "
                "another action.\n",
                request.InputName.c_str()));
  return kExitJobFailed;
}

int ConvertHeadless(const CommandLineRequest& request, const ProgramSettings& settings) {
  ConverterJob job;
  if (!job.PrepareFromCommandLine(request, settings.Format)) return kExitJobFailed;
  return RunJob(job, request);
}

int AviToYuvHeadless(const CommandLineRequest& request, const ProgramSettings&) {
  AviToYuvJob job;
  if (!job.PrepareAviRequest(request)) return kExitJobFailed;
  return RunJob(job, request);
}

int YuvToAviHeadless(const CommandLineRequest& request, const ProgramSettings& settings) {
  YuvToAviJob job;
  if (!job.PrepareYuvRequest(request, settings.Format)) return kExitJobFailed;
  return RunJob(job, request);
}

int CropHeadless(const CommandLineRequest& request, const ProgramSettings& settings) {
  CropJob job;
  const CropRectangle& r = request.CropRect;
  if (!job.PrepareCrop(request.InputName, request.OutputName, settings.Format, r.Top, r.Left, r.Height,
                       r.Width)) {
    return kExitJobFailed;
  }
  return RunJob(job, request);
}

int FlipHeadless(const CommandLineRequest& request, const ProgramSettings& settings) {
  FlipJob job;
  if (!job.PrepareFromRequest(request.InputName, request.OutputName, settings.Format)) return kExitJobFailed;
  return RunJob(job, request);
}

int JoinHeadless(const CommandLineRequest& request, const ProgramSettings& settings) {
  JoinJob job;
  if (!job.PrepareJoin(request.InputName, request.SecondInputName, request.OutputName, settings.Format)) {
    return kExitJobFailed;
  }
  return RunJob(job, request);
}

int PadHeadless(const CommandLineRequest& request, const ProgramSettings& settings) {
  PaddingJob job;
  PaddingParameters padding;
  padding.SizeMode = PaddingSize::Explicit;
  padding.PaddedWidth = request.OutputFormat.ImgWidth;
  padding.PaddedHeight = request.OutputFormat.ImgHeight;
  if (request.CropGiven) {
    padding.PadTop = request.CropRect.Top;
    padding.PadLeft = request.CropRect.Left;
  }
  if (request.PadColourGiven) {
    padding.FillMode = PaddingFill::Colour;
    padding.FillColour = request.PadColour;
  }
  if (!job.PreparePadding(request.InputName, request.OutputName, settings.Format, padding))
    return kExitJobFailed;
  return RunJob(job, request);
}

int SeparateHeadless(const CommandLineRequest& request, const ProgramSettings& settings) {
  SeparateJob job;
  if (!job.PrepareSeparate(request.InputName, request.OutputName, settings.Format)) return kExitJobFailed;
  return RunJob(job, request);
}

int MergeHeadless(const CommandLineRequest& request, const ProgramSettings& settings) {
  MergeJob job;
  const ImageFormat& f = settings.Format;
  if (!job.PrepareMerge(request.InputName, request.OutputName, f.SamplingFormat, f.ImgWidth, f.ImgHeight)) {
    return kExitJobFailed;
  }
  return RunJob(job, request);
}

int PsnrHeadless(const CommandLineRequest& request, const ProgramSettings& settings) {
  PsnrRun run;
  run.PrepareFromRequest(request.InputName, request.SecondInputName, request.OutputName,
                         request.ReportDelimiter, settings.Format);
  run.ExitWhenDone = request.ExitWhenDone != 0;
  PsnrObserver observer;
  return run.FreezeAndRun(observer) == JobOutcome::Completed ? 0 : kExitJobFailed;
}

constexpr std::array<ActionRow, 11> kActions = {{
    {ActionPlay, "play", Command::Open, "Play YUV Video File",
     "Error VLTX1001,  Cannot create YUV Player Dialog", PlayHeadless},
    {ActionConvert, "convert", Command::Convert, "Convert YUV File Format",
     "Error VLTX1003:  Cannot create YUV Converter Dialog", ConvertHeadless},
    {ActionCrop, "crop", Command::Crop, "Image Cropping", "Error VLTX1005:  Cannot create Image Crop Dialog",
     CropHeadless},
    {ActionFlip, "flip", Command::Flip, "Vertically Flip a YUV Image",
     "Error VLTX1007:  Cannot create YUV Flip Dialog", FlipHeadless},
    {ActionJoin, "join", Command::Join, "Join two YUV files",
     "Error VLTX1009:  Cannot create YUV Join Dialog", JoinHeadless},
    {ActionYuv2Avi, "yuv2avi", Command::YuvToAvi, "Convert YUV to AVI",
     "Error VLTX1011:  Cannot create YUV Converter Dialog", YuvToAviHeadless},
    {ActionAvi2Yuv, "avi2yuv", Command::AviToYuv, "Convert AVI to YUV",
     "Error VLTX1013:  Cannot create YUV Converter Dialog", AviToYuvHeadless},
    {ActionPsnr, "psnr", Command::Psnr, "Calculate PSNR", "Error VLTX1015:  Cannot create PSNR Dialog",
     PsnrHeadless},
    {ActionPad, "pad", Command::Padding, "Image Padding",
     "Error VLTX1024:  Cannot create Image Padding Dialog", PadHeadless},
    {ActionSeparate, "separate", Command::Separate, "Split Y, U and V components into separate files",
     "Error VLTX1025:  Cannot create Color Separate Dialog", SeparateHeadless},
    {ActionMerge, "merge", Command::Merge, "Merge separate Y, U and V component files into one YUV file",
     "Error VLTX1026:  Cannot create Color Merge Dialog", MergeHeadless},
}};

}  // namespace

const char* const kActionNotRecognized = "Error VLTX1017:  Command line action not recognized!";

std::span<const ActionRow> ActionTable() {
  return kActions;
}

std::span<const ActionName> ActionNames() {
  static const std::vector<ActionName> names = [] {
    std::vector<ActionName> list;
    for (const ActionRow& row : kActions) list.push_back({.name = row.name, .action = row.action});
    return list;
  }();
  return names;
}

const ActionRow* FindAction(int32_t action) {
  for (const ActionRow& row : kActions) {
    if (row.action == action) return &row;
  }
  return nullptr;
}

const ActionRow* FindAction(std::string_view name) {
  for (const ActionRow& row : kActions) {
    if (row.name == name) return &row;
  }
  return nullptr;
}

}  // namespace vx
