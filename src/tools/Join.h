#pragma once

#include "tools/ToolJob.h"

namespace vx {

extern const ToolMessages kJoinMessages;

// Every frame of a first file followed by every frame of a second file of the
// same layout, copied byte for byte.
class JoinJob : public ToolJob {
 public:
  JoinJob() : ToolJob(kJoinMessages) {}

  std::string SecondSourceName;
  FrameImage SecondFormat;  // header only
  bool Joinable = false;

  // Layouts equal in everything but the FOURCC.
  static bool SameLayout(const FrameImage& a, const FrameImage& b);
  // From the command line: both files with the current format. False after a
  // message when a file is missing or the size is refused.
  bool PrepareJoin(const std::string& first, const std::string& second, const std::string& target,
                   const ImageFormat& current);

 protected:
  void DescribeFiles(ToolRunSpec& spec) const override;
  bool HasFrameRange() const override { return false; }
  bool ResetsButtonsAtEnd() const override { return false; }
  bool AddOutputsToHistory() const override { return CurrentFrame > 1; }
  bool ToolChecks() override;
  bool CheckSize() override;
  bool OpenSource() override;
  bool SkipToStart() override { return true; }
  FrameResult ProcessFrame() override;

 private:
  int64_t firstFrames_ = 0;
};

}  // namespace vx
