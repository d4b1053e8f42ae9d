#pragma once

#include "tools/ToolJob.h"

namespace vx {

extern const ToolMessages kFlipMessages;

// Every picture of a range written upside down, in the source's layout.
class FlipJob : public ToolJob {
 public:
  FlipJob() : ToolJob(kFlipMessages) {}
  bool PrepareFromRequest(const std::string& source, const std::string& target,
                          const ImageFormat& current) override;

 protected:
  void DescribeFiles(ToolRunSpec& spec) const override;
  bool MissingInputKeepsRunning() const override { return false; }
  FrameResult ProcessFrame() override;
};

}  // namespace vx
