#pragma once

// Colour components as files of their own: separating a raw file into three
// single-component (MONO) files, and merging three such files into one planar file.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "image/FrameImage.h"
#include "tools/ToolJob.h"

namespace vx {

extern const ToolMessages kSeparateMessages;
extern const ToolMessages kMergeMessages;
// Both keep samples above 8 bits: component files have the depth of the file
// they come from or make.
inline constexpr ToolTraits kSeparateTraits{.missingInputKeepsRunning = false, .keepsDeepSamples = true};
inline constexpr ToolTraits kMergeTraits{.missingInputKeepsRunning = false, .keepsDeepSamples = true};

struct ComponentSize {
  int32_t width = 0, height = 0;
  bool operator==(const ComponentSize&) const = default;
};
using ComponentSizes = std::array<ComponentSize, 3>;

// The sizes of the three components of a picture: full size for 4:4:4 and RGB,
// half width for 4:2:2, half width and height for 4:2:0.
ComponentSizes ComponentSizesOf(int32_t sampling, int32_t width, int32_t height);
// A single-component progressive planar layout of that size (FOURCC and depth as
// given).
FrameImage ComponentLayout(ComponentSize size, int32_t fourcc = 0, int32_t bitsPerSample = 8);
// `base` followed by ".r", ".g", ".b" for RGB pictures, else ".y", ".u", ".v".
std::array<std::string, 3> ComponentFileNames(const std::string& base, int32_t sampling);

// The size a name gives in "_<W>x<H>" just before its extension (clip_176x144.u),
// within the largest size a layout may have; nullopt when it gives none.
std::optional<ComponentSize> SizeInComponentName(std::string_view path);

// The layout a component's format dialog opens with: `own` (the component's
// stored layout) at a size a file can have, never 0 x 0: the size in the file's
// name, else the component's own once chosen, else that of the component chosen
// last, else the current format's. The resolution entry follows the size.
ImageFormat ComponentPickPreset(const ImageFormat& own, std::string_view path, const ImageFormat* lastChosen,
                                const ImageFormat& current);

// Every frame of a range split into Y (or R), U (or G) and V (or B), whatever the
// source's component order; interlaced frames are made progressive first. Each
// component file has the source's depth (gray10le words from a 10-bit file).
class SeparateJob : public ToolJob {
 public:
  SeparateJob() : ToolJob(kSeparateMessages, kSeparateTraits) {}

  std::array<std::string, 3> ComponentNames;

  // From the command line: the source with the current format, the three files
  // named after `base` (its extension dropped). False after a message when the
  // source cannot be opened.
  bool PrepareSeparate(const std::string& source, const std::string& base, const ImageFormat& current);

 protected:
  void DescribeFiles(ToolRunSpec& spec) const override;
  bool ChecksBeforeRange() override;
  FrameResult ProcessFrame() override;
  std::optional<std::string> FinishText() const override;
  // Deeper samples are split as they are stored, but for interlaced 4:2:0 frames
  // whose fields do not share their height in whole chroma rows.
  bool DeepLayoutKept(const ImageFormat& stored) const override;

 private:
  // A frame of deeper samples split at full depth.
  FrameResult SeparateStoredFrame();
  // Writes the planes of a planar frame, each to its component's file.
  bool WritePlanes(const FrameImage& frame);
  // Collects the samples of a packed frame per component, then writes them.
  bool WritePackedSamples(const FrameImage& frame);
  bool WriteComponent(size_t file, uint8_t* bytes);
  FrameBuffer components_;
};

// The i-th frame of three component files, one after the other, as one planar
// progressive frame whose sampling follows from the component sizes and whose
// depth is theirs (three gray10le files make a yuv420p10le file, say).
class MergeJob : public ToolJob {
 public:
  MergeJob();

  std::array<std::string, 3> ComponentNames;
  std::array<FrameImage, 3> ComponentFormats;  // headers only
  bool MergeAsYuv = true;

  // The merged layout for three component layouts, or the refusal.
  static std::optional<std::string> MergedLayout(const std::array<FrameImage, 3>& components, bool asYuv,
                                                 FrameImage& merged);
  // From the command line: `base`.y/.u/.v (.r/.g/.b for rgb444), the first W x H
  // and the others sized by `sampling`, all of `bitsPerSample` bits. False after a
  // message when the first component cannot be opened.
  bool PrepareMerge(const std::string& base, const std::string& target, int32_t sampling, int32_t width,
                    int32_t height, int32_t bitsPerSample = 8);

 protected:
  void DescribeFiles(ToolRunSpec& spec) const override;
  bool ChecksBeforeRange() override;
  bool SkipToStart() override;
  FrameResult ProcessFrame() override;
  std::optional<std::string> FinishText() const override;

 private:
  // A frame of deeper components merged at full depth.
  FrameResult MergeStoredFrame();
};

}  // namespace vx
