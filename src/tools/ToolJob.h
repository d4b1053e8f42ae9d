#pragma once

// The frame of every file-writing tool: its parameters, the order in which they
// are validated, the worker's frame loop with pause and stop, progress, the end
// of the job and the history entry. Each tool supplies its checks, its messages
// and its per-frame step; the dialog (or the headless program) watches through
// ToolJobObserver.

#include <atomic>
#include <cstdint>
#include <string>

#include "image/FrameImage.h"
#include "platform/RawFile.h"

namespace vx {

enum RunStateValue : int { Stopped = 0, Paused = 1, Running = 4 };

// What the dialog shows of a running job. Called on the worker thread: a dialog
// posts these to its own thread.
class ToolJobObserver {
 public:
  virtual ~ToolJobObserver() = default;
  virtual void StopEnabled() {}
  virtual void ProgressRange(int64_t /*frames*/) {}
  virtual void PreviewPlaced(int32_t /*width*/, int32_t /*height*/) {}
  // A frame was written; the preview may be repainted.
  virtual void FrameDone(int64_t /*currentFrame*/) {}
  // The Stop operation: buttons back to their idle state.
  virtual void Stopped() {}
  // Whether anybody looks at the preview (headless jobs skip it).
  virtual bool WantsPreview() const { return true; }
};

// Per-tool message texts (printf templates).
struct ToolMessages {
  const char* endBeforeStart;    // EndFrame < StartFrame
  const char* startBeyondCount;  // FrameCount < StartFrame
  const char* endBeyondCount;    // FrameCount < EndFrame
  const char* notPositive;       // StartFrame <= 0 or EndFrame <= 0
  const char* sourceImageSize;   // %d, %d
  const char* targetImageSize;   // %d, %d
  const char* sourceNotFound;    // %s, in the job
  const char* requestNotFound;   // %s, from the command line
  const char* bitstream;
  const char* targetNotWritten;  // %s
  const char* finished;
};

enum class JobOutcome {
  Completed,      // ran to its end (end of range, end of input, or stopped by the user)
  FailedStopped,  // refused; Stop ran, buttons reset
  FailedRunning,  // refused after the job began; the dialog stays in its running state
};

class ToolJob {
 public:
  explicit ToolJob(const ToolMessages& messages) : messages_(messages) {}
  virtual ~ToolJob() = default;
  ToolJob(const ToolJob&) = delete;
  ToolJob& operator=(const ToolJob&) = delete;

  std::string SourceName;
  std::string TargetName;
  FrameImage SourceFormat;  // header only
  FrameImage TargetFormat;  // header only
  int64_t FrameCount = 0;
  int64_t StartFrame = 0;
  int64_t EndFrame = 0;
  std::atomic<int64_t> CurrentFrame{0};
  std::atomic<int> RunState{Stopped};
  std::atomic<bool> FrameShown{false};
  std::atomic<bool> StopRequested{false};
  std::atomic<bool> QuitPending{false};
  // The job was started from the command line with "-e exit": no finish message.
  bool ExitWhenDone = false;

  // The job, on the worker thread (or on the caller's, headless). RunState must
  // be Running when it is called.
  JobOutcome Run(ToolJobObserver& observer);

  // Pause toggles Running and Paused; Stop ends the job at the worker's next turn.
  void Pause();
  void Stop();

  // From the command line: the source layout is the current format (resolution
  // 15); counts the source's frames and sets the range 1..count. False (after the
  // tool's message) when the source cannot be opened.
  virtual bool PrepareFromRequest(const std::string& source, const std::string& target,
                                  const ImageFormat& current);

  // The picture of the current frame for the preview: 4:4:4 YUV, or bottom-up
  // BGR rows padded to 4 bytes when PreviewIsYuv is off. Written by the worker
  // while the dialog may be drawing it (a torn picture is accepted).
  const FrameImage& Preview() const { return preview_; }
  bool PreviewIsYuv() const { return previewIsYuv_.load(); }
  bool HasPreview() const { return FrameShown.load() && preview_.Data != nullptr; }

  // Reads the source's first frame into the preview, so a tool can show it as soon
  // as the source is chosen. False when it cannot be read.
  bool LoadFirstFrame();

  // The source name without its extension (the part after the last dot of the
  // file name), followed by `suffix`.
  static std::string DefaultTargetName(const std::string& source, const std::string& suffix);

 protected:
  // Checks before the frame range; false ends the job with the dialog running.
  virtual bool ToolChecks() { return true; }
  // The size check; false ends the job with the dialog running.
  virtual bool CheckSize();
  virtual bool OpenSource();
  virtual bool SkipToStart();
  virtual bool CreateTarget();
  enum class FrameResult { Written, EndOfInput, EndLoop };
  // Reads frame CurrentFrame and writes its output.
  virtual FrameResult ProcessFrame() = 0;
  // Bytes of each frame buffer of the job.
  virtual int64_t BufferBytes() const;
  // Whether the target enters the history at the end of the job.
  virtual bool AddTargetToHistory() const { return FrameShown.load(); }
  // Tools without a frame range (join) take every frame and skip the range checks.
  virtual bool HasFrameRange() const { return true; }
  // Checks after the frame range; false ends the job with Stop (buttons reset).
  virtual bool ChecksAfterRange() { return true; }
  // Whether the end of the job resets the buttons (join leaves them as they are).
  virtual bool ResetsButtonsAtEnd() const { return true; }

  // Appends a frame to the target; on failure (a full disk) the tool's "cannot be
  // written" message.
  bool WriteTarget(const FrameImage& frame);

  // The preview from a frame of any layout: RGB through RgbBufferToYuv (planar
  // made packed first), everything else through ToCanonical444.
  bool RefreshPreview(const FrameImage& frame);
  void SetPreviewIsYuv(bool yuv) { previewIsYuv_ = yuv; }
  bool PreviewWanted() const { return observer_ == nullptr || observer_->WantsPreview(); }

  const ToolMessages& messages_;
  ToolJobObserver* observer_ = nullptr;
  RawFile source_;
  RawFile target_;
  FrameBuffer input_, output_, previewBuffer_;
  FrameImage preview_;

 private:
  bool ValidateRange();
  std::atomic<bool> previewIsYuv_{true};
};

}  // namespace vx
