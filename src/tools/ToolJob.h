#pragma once

// The frame of every file-writing tool: its parameters, the order in which they
// are validated, the worker's frame loop with pause and stop, progress, the end
// of the job and the history entries. Each tool supplies its checks, its messages
// and its per-frame step; the dialog (or the headless program) watches through
// ToolJobObserver.
//
// The window edits the job's setup (the public fields) only while no worker runs;
// Start freezes them into a run specification, and the worker reads nothing else.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "display/DisplayPicture.h"
#include "image/ColorFormula.h"
#include "image/FrameImage.h"
#include "model/HistoryRecorder.h"
#include "platform/RawFile.h"
#include "platform/WriteBehind.h"
#include "tools/FrameInput.h"
#include "tools/JobRun.h"

namespace vx {

// What the dialog shows of a running job. Called on the worker thread: a dialog
// posts these to its own thread.
class ToolJobObserver : public JobObserver {
 public:
  virtual void StopEnabled() {}
  virtual void ProgressRange(int64_t /*frames*/) {}
  virtual void PreviewPlaced(int32_t /*width*/, int32_t /*height*/) {}
  // A frame was written; a new preview picture may have been published.
  virtual void FrameDone(int64_t /*currentFrame*/) {}
  // Whether anybody looks at the preview (headless jobs skip it).
  virtual bool WantsPreview() const { return true; }
  // The job refuses its source outright: the window closes.
  virtual void CloseRequested() {}
};

// Per-tool message texts (printf templates). Tables name every field
// (`.endBeforeStart = ...`), so texts cannot land in each other's places.
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
  // The message at the end of a job; nullptr: none (a tool may make its own).
  const char* finished;
  // %s target, %s source: an output that is one of the inputs (it would be destroyed).
  const char* sameFile = "Error VLTX1019: The target %s is the source %s itself; choose another name!\n";
};

// One file a job writes, with its own message and history record.
struct JobOutput {
  std::string name;
  FrameImage format;            // header only; in a run, the layout frames are made in
  FrameImage stored;            // the layout written to the file (set when the run is frozen)
  const char* notWritten = "";  // %s
  // What the history records of it at the end of the job; nothing when empty.
  std::optional<HistoryOperation> history;
};

// Everything a run reads, copied from the setup when Start is pressed.
struct ToolRunSpec {
  std::vector<JobInput> inputs;
  std::vector<JobOutput> outputs;
  int64_t frameCount = 0, startFrame = 0, endFrame = 0;
  bool exitWhenDone = false;
  // The colour formula in force at Start.
  std::shared_ptr<const ColourTables> colours;
  // Where the outputs are recorded at the end of the job.
  HistoryRecorder* history = nullptr;
};

// The frame-range checks, in the order a tool makes them.
enum class RangeCheck : uint8_t { EndBeforeStart, StartBeyondCount, EndBeyondCount, NotPositive };
using RangeCheckOrder = std::array<RangeCheck, 4>;
inline constexpr RangeCheckOrder kDefaultRangeChecks = {RangeCheck::EndBeforeStart,
                                                        RangeCheck::StartBeyondCount,
                                                        RangeCheck::EndBeyondCount, RangeCheck::NotPositive};

// When a completed job enters its outputs in the history.
enum class HistoryWhen : uint8_t {
  FrameShown,    // once the window has shown a frame of the job (its first frame counts)
  FrameWritten,  // once this run has written a frame (join)
};
// Which pictures the preview shows.
enum class PreviewOf : uint8_t { Source, Target };

// What sets one kind of job apart without code of its own: one constexpr table
// per tool, named field by field.
struct ToolTraits {
  // Join takes every frame of its sources and skips the range checks.
  bool hasFrameRange = true;
  RangeCheckOrder rangeChecks = kDefaultRangeChecks;
  // An input that cannot be opened when the job starts leaves the window running
  // (converter, join) or runs Stop (crop, flip, padding, components).
  bool missingInputKeepsRunning = true;
  // The end of the job resets the buttons (join leaves them as they are).
  bool resetsButtonsAtEnd = true;
  // Frames written from the output buffer may be written while the next frame is
  // made (every tool makes each frame's output anew).
  bool pipelinesWrites = true;
  HistoryWhen historyWhen = HistoryWhen::FrameShown;
  PreviewOf previewOf = PreviewOf::Source;
  // The tool makes samples above 8 bits at full depth itself (in the layouts
  // DeepLayoutKept takes); otherwise a job from deeper samples into deeper samples
  // is refused (it would lose the low bits).
  bool keepsDeepSamples = false;
  // Its outputs are 8-bit by nature (an AVI's codec): deeper inputs are brought to
  // 8 bits. Any other tool refuses deeper inputs it cannot keep at their depth.
  bool makesEightBitOutputs = false;
};

class ToolJob : public JobRun {
 public:
  ToolJob(const ToolMessages& messages, const ToolTraits& traits) : messages_(messages), traits_(traits) {}
  ~ToolJob() override = default;
  ToolJob(const ToolJob&) = delete;
  ToolJob& operator=(const ToolJob&) = delete;

  // The setup: written by the window (never while a worker runs) or the command line.
  std::string SourceName;
  std::string TargetName;
  FrameImage SourceFormat;  // header only
  FrameImage TargetFormat;  // header only
  int64_t FrameCount = 0;
  int64_t StartFrame = 0;
  int64_t EndFrame = 0;
  // The job was started from the command line with "-e exit": no finish message.
  bool ExitWhenDone = false;
  // Where a completed job records the files it wrote (non-owning; it must outlive
  // the runs).
  HistoryRecorder* History = &ProgramHistory();
  // The colour formula the job converts with; empty: the program's, as it is at
  // Start.
  std::shared_ptr<const ColourTables> ColourFormula;
  void SetExitWhenDone(bool exitWhenDone) override { ExitWhenDone = exitWhenDone; }

  // Whether a frame of the run was written (read by anybody).
  std::atomic<bool> FrameShown{false};

  // Copies the setup into the run specification (on the thread that owns the
  // setup, before the worker starts) and sets the state to Running.
  void Freeze();
  // The job, on the worker thread (or on the caller's, headless), with the frozen
  // specification.
  // An exception thrown anywhere in the run ends it as FailedRunning with its
  // message; its outputs are dropped.
  JobOutcome Run(ToolJobObserver& observer);
  // Freeze and Run in one (headless jobs and tests).
  JobOutcome FreezeAndRun(ToolJobObserver& observer) {
    Freeze();
    return Run(observer);
  }
  const ToolRunSpec& Spec() const { return run_; }

  // From the command line: the source layout is the current format (resolution
  // 15); counts the source's frames and sets the range 1..count. False (after the
  // tool's message) when the source cannot be opened.
  virtual bool PrepareFromRequest(const std::string& source, const std::string& target,
                                  const ImageFormat& current);
  // Counts the frames of SourceName in SourceFormat and sets the range 1..count;
  // false after the `notFound` message (%s) when it cannot be opened.
  bool CountSourceFrames(const char* notFound);

  // The preview pictures: packed 4:4:4 YUV, or bottom-up BGR rows padded to 4
  // bytes when the picture's sampling is BMP. The window draws the front one.
  const PictureExchange& Previews() const { return previews_; }
  bool HasPreview() const { return previews_.Published(); }

  // Reads the source's first frame into the preview, so a tool can show it as soon
  // as the source is chosen (window thread, no worker running). False when it
  // cannot be read.
  bool LoadFirstFrame();

  // The source name without its extension (the part after the last dot of the
  // file name), followed by `suffix`.
  static std::string DefaultTargetName(const std::string& source, const std::string& suffix);

 protected:
  // The files of the run, from the setup: by default the source and the target
  // with the tool's messages, the target entered in the history as created.
  virtual void DescribeFiles(ToolRunSpec& spec) const;
  // Copies the tool's own setup for the run.
  virtual void FreezeParameters() {}
  // Checks before the frame range; false ends the job with the dialog running.
  virtual bool ToolChecks() { return true; }
  // Checks of the tool's own parameters before the frame range; false ends the
  // job with Stop (buttons reset).
  virtual bool ChecksBeforeRange() { return true; }
  // The size check; false ends the job with the dialog running.
  virtual bool CheckSize();
  virtual bool OpenSource();
  virtual bool SkipToStart();
  // Whether a source frame used in place lost bytes to another program (reported once).
  bool SourceLostBytes();
  virtual bool CreateTarget();
  // Failed: the frame could not be made or written (after its message); the job
  // fails and its outputs are not kept.
  enum class FrameResult : uint8_t { Written, EndOfInput, Failed };
  // Reads frame CurrentFrame and writes its output.
  virtual FrameResult ProcessFrame() = 0;
  // The bytes of an output buffer that making one frame touches: by default the
  // whole buffer (a tool may make pictures in it on the way); a tool that makes
  // only its target frame there says so, and a large job of small frames then
  // writes from two buffers in turn.
  virtual int64_t OutputBytesPerFrame() const { return BufferBytes(); }
  // Checks after the frame range; false ends the job with Stop (buttons reset).
  virtual bool ChecksAfterRange() { return true; }
  // Completes outputs that need a last write (an AVI's index) before they are
  // kept; false (after its message) fails the job.
  virtual bool FinishOutputs() { return true; }
  // The message at the end of a job; none when nullopt (the table's `finished`
  // unless the tool says more).
  virtual std::optional<std::string> FinishText() const;

  // The job's message channel.
  void Report(std::string_view text) const;
  // Both names given; otherwise false after the message for the missing one.
  bool NamesGiven(const char* noSource, const char* noTarget) const;
  // The frozen source and target headers.
  const FrameImage& In(size_t i = 0) const { return run_.inputs[i].format; }
  const FrameImage& Out(size_t i = 0) const { return run_.outputs[i].format; }
  // Appends a frame to output `i`; on failure (a full disk) its "cannot be
  // written" message.
  bool WriteTarget(const FrameImage& frame, size_t i = 0);
  // Every name the job will write, for the check against its inputs.
  virtual std::vector<std::string> OutputNames() const;

  // Renders `frame` (any layout) as the next preview picture and publishes it.
  bool RefreshPreview(const FrameImage& frame);
  // Renders it without publishing (a tool draws over it first).
  bool RenderPreview(const FrameImage& frame);
  // The picture being made (the back one); Publish shows it.
  FrameImage& PreviewBack() { return previews_.Back(); }
  void PublishPreview() { previews_.Publish(); }
  bool PreviewWanted() const { return observer_ == nullptr || observer_->WantsPreview(); }
  const ColourTables& Colours() const;

  // Of the deeper layouts, those a tool with keepsDeepSamples makes at full depth.
  virtual bool DeepLayoutKept(const ImageFormat& /*stored*/) const { return true; }
  // The run reads and writes samples above 8 bits: its frames go from the stored
  // input (FrameInput::ReadStoredFrame) to WriteTarget without the working layout.
  bool DeepSamplesKept() const {
    return run_.inputs[0].stored.BitsPerSample > 8 && run_.outputs[0].stored.BitsPerSample > 8;
  }
  // A frame of `format` (a stored layout) over buffer `slot` (0 or 1) of the
  // run's own, for a deeper frame made at full depth.
  FrameImage DeepFrame(const ImageFormat& format, size_t slot = 0);
  // Frees what a tool keeps between frames, when a run ends.
  virtual void ReleaseToolBuffers() {}

  // The size of the pictures the preview shows.
  const FrameImage& PreviewFormat() const { return traits_.previewOf == PreviewOf::Target ? Out() : In(); }

  const ToolMessages& messages_;
  const ToolTraits traits_;
  ToolJobObserver* observer_ = nullptr;  // while Run runs
  ToolRunSpec run_;
  std::vector<FrameInput> sources_;
  std::vector<AtomicOutput> targets_;
  FrameBuffer input_;
  // The buffer this frame's output is made in, once the write of the frame
  // before no longer needs it.
  FrameBuffer& Output();
  // A frame that source 0 converts as it reads (NV12 to I420) straight into the
  // single output buffer of large frames, and writes to output 0: its luma plane is
  // written while the chroma is made, each part waiting only for the same part of
  // the frame before. The bytes read as Read gives them; nullopt when the frame
  // cannot be made so (small frames, other layouts): the caller goes on as usual.
  std::optional<int64_t> ReadIntoOutputByParts(const FrameImage& format);

 private:
  // Run, without its guard against exceptions.
  JobOutcome RunSteps(ToolJobObserver& observer);
  // After an exception: the queued writes done, the outputs dropped, the message.
  void EndAfterException(const char* reason) noexcept;
  // Layouts that cannot be stored, and deeper samples that would pass through 8
  // bits, are refused before any file is opened.
  bool StoredLayoutsAccepted();
  // Frames of a stored-only output are converted into buffers of its own, used in
  // turn (one on a single processor), each written while the next frame is made.
  struct StoredOutput {
    FrameBuffer buffer, spare;
    uint64_t ticket = 0, spareTicket = 0;
    uint64_t lumaTicket = 0;  // the luma plane's write, when a frame is written in two parts
  };
  std::vector<StoredOutput> storedOutputs_;
  bool WriteConverted(const FrameImage& frame, size_t i);
  // The first part of a frame written in two (output i): its luma plane is queued,
  // then the chroma write of the frame before is waited for. Returns `bytes`.
  int64_t QueueLumaPart(size_t i, const uint8_t* luma, int64_t bytes, uint64_t& lumaTicket,
                        uint64_t chromaTicketBefore);
  // Outputs named .y4m: a header first, a FRAME line before each frame.
  std::vector<bool> y4mOutputs_;
  void QueueFrameLine(size_t i);
  // A raw input shorter than one frame is refused before the range checks, which
  // would only see the empty range 1..0 that counting its frames gave.
  bool InputsHoldAFrame();
  bool ValidateRange();
  // Bytes of each frame buffer of the job.
  int64_t BufferBytes() const;
  bool OutputsEnterHistory() const;
  // No output may be one of the inputs (the same file under any name).
  bool OutputsAreNotInputs();
  bool CommitOutputs();
  bool EnsurePreviewBuffers(int32_t width, int32_t height);
  // Small frames are made in two output buffers in turn, so that the frame before
  // is written while the next one is made; large frames share one (reading the
  // next frame overlaps the write, and a 4K job holds one output frame less).
  void NextOutputBuffer();
  // Waits for the queued writes; false (after the output's message) when one failed.
  bool FinishWrites();
  bool ReportedWriteFailure();
  void RecordHistory() const;
  PictureExchange previews_;
  DisplayWork previewWork_;
  FrameBuffer output_, outputSpare_;
  std::array<FrameBuffer, 2> deepFrames_;  // DeepFrame's
  // After the buffers it writes from (and targets_, the files it writes to): its
  // thread is joined before they go.
  WriteBehind writer_;
  uint64_t outputTicket_ = 0, spareTicket_ = 0;  // the last write from each output buffer
  uint64_t outputLumaTicket_ = 0;                // the luma plane's write, for ReadIntoOutputByParts
  bool pipelined_ = false, doubleBuffered_ = false, writeFailureReported_ = false;
};

}  // namespace vx
