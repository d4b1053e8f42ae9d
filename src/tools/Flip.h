#pragma once

#include "tools/ToolJob.h"

namespace vx {

extern const ToolMessages kFlipMessages;
inline constexpr ToolTraits kFlipTraits{.missingInputKeepsRunning = false, .keepsDeepSamples = true};

// Every picture of a range written upside down, in the source's layout.
class FlipJob : public ToolJob {
 public:
  FlipJob() : ToolJob(kFlipMessages, kFlipTraits) {}
  bool PrepareFromRequest(const std::string& source, const std::string& target,
                          const ImageFormat& current) override;

 protected:
  void DescribeFiles(ToolRunSpec& spec) const override;
  FrameResult ProcessFrame() override;
  // Deeper samples are flipped at full depth in every layout (kFlipTraits).

 private:
  FrameResult FlipStoredFrame();
};

}  // namespace vx
