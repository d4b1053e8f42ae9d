#pragma once

#include "tools/ToolJob.h"

namespace vx {

extern const ToolMessages kJoinMessages;
// Join takes whole files, leaves its buttons as they are at the end, and enters
// the joined file in the history once a frame of the run was written.
inline constexpr ToolTraits kJoinTraits{.hasFrameRange = false,
                                        .resetsButtonsAtEnd = false,
                                        .historyWhen = HistoryWhen::FrameWritten,
                                        .keepsDeepSamples = true};

// Every frame of a first file followed by every frame of a second file of the
// same layout, copied byte for byte (deeper samples sample for sample: bits the
// layout leaves unused come out 0).
class JoinJob : public ToolJob {
 public:
  JoinJob() : ToolJob(kJoinMessages, kJoinTraits) {}

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
  bool ToolChecks() override;
  bool CheckSize() override;
  bool OpenSource() override;
  bool SkipToStart() override { return true; }
  FrameResult ProcessFrame() override;

 private:
  // A deeper frame of `file`, written as it is stored.
  FrameResult CopyStoredFrame(FrameInput& file);
  int64_t firstFrames_ = 0;
};

}  // namespace vx
