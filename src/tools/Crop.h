#pragma once

#include <optional>
#include <string>

#include "image/PixelOps.h"
#include "tools/ToolJob.h"

namespace vx {

extern const ToolMessages kCropMessages;
inline constexpr ToolTraits kCropTraits{.missingInputKeepsRunning = false, .keepsDeepSamples = true};

// The crop rectangle's rules for a source layout. Each check returns its message
// when the value is refused.
struct CropRules {
  int32_t width, height, sampling, field;
  std::optional<std::string> Top(int32_t top) const;
  std::optional<std::string> Left(int32_t left) const;
  // Uses the left column stored by the last left check.
  std::optional<std::string> Width(int32_t width, int32_t left) const;
  // Uses the top line stored by the last top check.
  std::optional<std::string> Height(int32_t height, int32_t top) const;
};

// A rectangle cut out of every picture of a range, written in the source's layout
// at the rectangle's size.
class CropJob : public ToolJob {
 public:
  CropJob() : ToolJob(kCropMessages, kCropTraits) {}

  int32_t CropTop = 0;
  int32_t CropLeft = 0;
  int32_t CropWidth = 8;
  int32_t CropHeight = 8;

  CropRules Rules() const;
  // The cropped layout: the source's at the rectangle's size.
  void BuildTargetFormat();
  // From the command line: the source, the target and the rectangle (checked
  // when the job runs).
  bool PrepareCrop(const std::string& source, const std::string& target, const ImageFormat& current,
                   int32_t top, int32_t left, int32_t height, int32_t width);

 protected:
  void FreezeParameters() override;
  bool ChecksAfterRange() override;
  bool CheckSize() override;
  FrameResult ProcessFrame() override;
  int64_t OutputBytesPerFrame() const override;
  // Deeper samples are cropped at full depth in every layout (kCropTraits).

 private:
  FrameResult CropStoredFrame();
  struct Rectangle {
    int32_t top = 0, left = 0, width = 0, height = 0;
  };
  void DarkenOutside(FrameImage& picture) const;
  Rectangle rect_;  // the rectangle of the run
  SegmentBuffer row_;
};

}  // namespace vx
