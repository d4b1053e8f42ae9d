#include "tools/ToolJob.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "display/FormatLabel.h"
#include "image/FrameFile.h"
#include "image/PixelOps.h"
#include "image/SampleStorage.h"
#include "image/StoredFrames.h"
#include "platform/FaultInjection.h"
#include "platform/MessageSink.h"
#include "platform/ScopeExit.h"
#include "platform/StringFormat.h"
#include "platform/SystemInfo.h"

namespace vx {

// Output buffers of which a frame touches up to this many bytes are doubled for
// writing behind (1080p frames are, 4K frames are not, but a 4K picture scaled
// down or cropped is).
constexpr int64_t kDoubleBufferedBytes = int64_t{16} << 20;

void JobObserver::Message(std::string_view text) {
  ShowMessage(text);
}

std::string ToolJob::DefaultTargetName(const std::string& source, const std::string& suffix) {
  const size_t dot = source.rfind('.');
  const size_t slash = source.rfind('/');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? source.substr(0, dot) : source) + suffix;
}

bool ToolJob::PrepareFromRequest(const std::string& source, const std::string& target,
                                 const ImageFormat& current) {
  SourceName = source;
  TargetName = target;
  static_cast<ImageFormat&>(SourceFormat) = current;
  SourceFormat.ImageResolution = kCustomResolution;
  ComputeFrameSize(SourceFormat);
  return CountSourceFrames(messages_.requestNotFound);
}

bool ToolJob::CountSourceFrames(const char* notFound) {
  auto file = RawFile::OpenRead(SourceName);
  if (!file) {
    ShowMessage(CannotReadMessage(SourceName, notFound));
    return false;
  }
  FrameCount = CountFramesIn(*file, ProbeFrameFile(*file, SourceName).framing, SourceFormat.DataSize);
  StartFrame = 1;
  EndFrame = FrameCount;
  return true;
}

void ToolJob::DescribeFiles(ToolRunSpec& spec) const {
  JobInput input;
  input.name = SourceName;
  input.format = SourceFormat;
  input.notFound = messages_.sourceNotFound;
  input.bitstream = messages_.bitstream;
  spec.inputs = {std::move(input)};
  JobOutput output;
  output.name = TargetName;
  output.format = TargetFormat;
  output.notWritten = messages_.targetNotWritten;
  output.history = kCreated;
  spec.outputs = {std::move(output)};
}

namespace {
// Frames of a stored-only layout are handed over in its working layout.
void SplitStoredLayout(FrameImage& format, FrameImage& stored) {
  format.Data = nullptr;
  stored = format;
  if (format.SamplingFormat != BMP) ComputeFrameSize(stored);
  if (!IsStoredOnlyLayout(format) || StoredLayoutRefusal(format)) return;
  static_cast<ImageFormat&>(format) = WorkingLayout(stored);
  ComputeFrameSize(format);
}
}  // namespace

void ToolJob::Freeze() {
  run_ = ToolRunSpec{};
  DescribeFiles(run_);
  for (JobInput& in : run_.inputs) in.format.Data = nullptr;
  for (JobOutput& out : run_.outputs) out.format.Data = nullptr;
  run_.frameCount = FrameCount;
  run_.startFrame = StartFrame;
  run_.endFrame = EndFrame;
  run_.exitWhenDone = ExitWhenDone;
  run_.history = History;
  run_.colours = ColourFormula ? ColourFormula : CurrentColourTables();
  for (JobInput& in : run_.inputs) in.colours = run_.colours;
  FreezeParameters();
  RunState = JobState::Running;
}

const ColourTables& ToolJob::Colours() const {
  if (run_.colours) return *run_.colours;
  return ColourFormula ? *ColourFormula : *CurrentColourTables();  // a preview outside a run
}

void ToolJob::Report(std::string_view text) const {
  if (observer_)
    observer_->Message(text);
  else
    ShowMessage(text);
}

bool ToolJob::NamesGiven(const char* noSource, const char* noTarget) const {
  const char* missing = run_.inputs.empty() || run_.inputs[0].name.empty()     ? noSource
                        : run_.outputs.empty() || run_.outputs[0].name.empty() ? noTarget
                                                                               : nullptr;
  if (missing) Report(missing);
  return missing == nullptr;
}

bool ToolJob::ValidateRange() {
  const ToolRunSpec& r = run_;
  for (RangeCheck check : traits_.rangeChecks) {
    const char* refusal = nullptr;
    switch (check) {
      case RangeCheck::EndBeforeStart:
        if (r.endFrame < r.startFrame) refusal = messages_.endBeforeStart;
        break;
      case RangeCheck::StartBeyondCount:
        if (r.frameCount < r.startFrame) refusal = messages_.startBeyondCount;
        break;
      case RangeCheck::EndBeyondCount:
        if (r.frameCount < r.endFrame) refusal = messages_.endBeyondCount;
        break;
      case RangeCheck::NotPositive:
        if (r.startFrame <= 0 || r.endFrame <= 0) refusal = messages_.notPositive;
        break;
    }
    if (refusal) {
      Report(refusal);
      return false;
    }
  }
  return true;
}

bool ToolJob::StoredLayoutsAccepted() {
  // Tools complete their outputs' layouts in their checks: the split comes after them.
  for (JobInput& in : run_.inputs) SplitStoredLayout(in.format, in.stored);
  for (JobOutput& out : run_.outputs) SplitStoredLayout(out.format, out.stored);
  bool deepIn = false, deepOut = false;
  for (const JobInput& input : run_.inputs) {
    if (input.avi || !input.bmpNames.empty()) continue;
    if (const auto refusal = StoredLayoutRefusal(input.stored)) {
      Report(*refusal);
      return false;
    }
    deepIn = deepIn || input.stored.BitsPerSample > 8;
  }
  for (const JobOutput& output : run_.outputs) {
    if (const auto refusal = StoredLayoutRefusal(output.stored)) {
      Report(*refusal);
      return false;
    }
    if (const auto refusal = Y4mOutputRefusal(output.name, output.stored)) {
      Report(*refusal);
      return false;
    }
    deepOut = deepOut || output.stored.BitsPerSample > 8;
  }
  const bool kept = traits_.keepsDeepSamples && DeepLayoutKept(run_.inputs[0].stored);
  if (deepIn && !kept && (deepOut || !traits_.makesEightBitOutputs)) {
    Report(
        StrFormat("Error VLTX1032: This job would pass the %d-bit samples of %s through 8 bits and lose "
                  "their low bits; convert the file to 8 bits first (-B 8)!\n",
                  run_.inputs[0].stored.BitsPerSample, run_.inputs[0].name.c_str()));
    return false;
  }
  return true;
}

bool ToolJob::InputsHoldAFrame() {
  for (const JobInput& input : run_.inputs) {
    if (input.avi || !input.bmpNames.empty()) continue;  // pictures, not frames of a layout
    if (const auto refusal = FileHoldsLessThanOneFrame(input.name, input.format)) {
      Report(*refusal);
      return false;
    }
  }
  return true;
}

int64_t ToolJob::BufferBytes() const {
  return std::max(WorkBufferSize(In().ImgWidth, In().ImgHeight),
                  WorkBufferSize(Out().ImgWidth, Out().ImgHeight));
}

bool ToolJob::CheckSize() {
  const bool sourceLarger =
      WorkBufferSize(In().ImgWidth, In().ImgHeight) > WorkBufferSize(Out().ImgWidth, Out().ImgHeight);
  const FrameImage& checked = sourceLarger ? In() : Out();
  if (WorkBufferSizeSupported(checked.ImgWidth, checked.ImgHeight)) return true;
  Report(StrFormat(sourceLarger ? messages_.sourceImageSize : messages_.targetImageSize, checked.ImgWidth,
                   checked.ImgHeight));
  return false;
}

bool ToolJob::OpenSource() {
  sources_.clear();
  sources_.resize(run_.inputs.size());
  for (size_t i = 0; i < run_.inputs.size(); ++i) {
    if (!sources_[i].Open(run_.inputs[i], [this](std::string_view text) { Report(text); })) return false;
  }
  return true;
}

bool ToolJob::SkipToStart() {
  if (!sources_[0].SkipTo(run_.startFrame)) return false;
  CurrentFrame = run_.startFrame;
  return true;
}

bool ToolJob::CreateTarget() {
  targets_.clear();
  y4mOutputs_.assign(run_.outputs.size(), false);
  for (size_t i = 0; i < run_.outputs.size(); ++i) {
    const JobOutput& out = run_.outputs[i];
    auto file = AtomicOutput::Create(out.name);
    std::string problem;
    const auto stream = NamedAsY4m(out.name) ? Y4mStreamFor(out.stored, problem) : std::nullopt;
    if (stream) {
      // A Y4M output starts with the header that describes its frames.
      const std::string header = Y4mStreamHeaderText(*stream);
      if (file && !file->file().Write(header.data(), static_cast<int64_t>(header.size()))) file.reset();
      y4mOutputs_[i] = true;
    }
    if (!file) {
      Report(StrFormat(out.notWritten, out.name.c_str()));
      return false;
    }
    targets_.push_back(std::move(*file));
  }
  return true;
}

void ToolJob::QueueFrameLine(size_t i) {
  static constexpr uint8_t kFrameLine[] = {'F', 'R', 'A', 'M', 'E', '\n'};
  if (i < y4mOutputs_.size() && y4mOutputs_[i]) {
    writer_.Write(targets_[i].file(), kFrameLine, 6, static_cast<int>(i));
  }
}

std::vector<std::string> ToolJob::OutputNames() const {
  std::vector<std::string> names;
  for (const JobOutput& out : run_.outputs) names.push_back(out.name);
  return names;
}

bool ToolJob::OutputsAreNotInputs() {
  // Each name is looked up once: a BMP list against a BMP list is thousands of names.
  std::vector<std::pair<FileIdentity, const std::string*>> read;
  for (const JobInput& input : run_.inputs) {
    if (input.bmpNames.empty()) {
      if (const auto id = IdentityOf(input.name)) read.emplace_back(*id, &input.name);
    }
    for (const std::string& name : input.bmpNames) {
      if (const auto id = IdentityOf(name)) read.emplace_back(*id, &name);
    }
  }
  for (const std::string& output : OutputNames()) {
    const auto written = IdentityOf(output);
    if (!written) continue;  // a new file
    for (const auto& [id, name] : read) {
      if (id == *written) {
        Report(StrFormat(messages_.sameFile, output.c_str(), name->c_str()));
        return false;
      }
    }
  }
  return true;
}

bool ToolJob::CommitOutputs() {
  for (size_t i = 0; i < targets_.size(); ++i) {
    if (!targets_[i].file().IsOpen()) continue;  // written picture by picture
    if (!targets_[i].Commit()) {
      const JobOutput& out = run_.outputs[i];
      Report(StrFormat(out.notWritten, out.name.c_str()));
      return false;
    }
  }
  return true;
}

bool ToolJob::EnsurePreviewBuffers(int32_t width, int32_t height) {
  // Both pictures have the same buffer size; no worker draws into them now.
  if (previews_.Allocated() && previews_.Back().Capacity >= WorkBufferSize(width, height)) return true;
  return previews_.Allocate(width, height);
}

bool ToolJob::LoadFirstFrame() {
  if (!WorkBufferSizeSupported(SourceFormat.ImgWidth, SourceFormat.ImgHeight)) return false;
  FrameBuffer buffer;
  if (!buffer.Allocate(WorkBufferSize(SourceFormat.ImgWidth, SourceFormat.ImgHeight))) return false;
  auto file = RawFile::OpenRead(SourceName);
  // The reader finds a Y4M file's first frame and converts stored-only layouts.
  StoredFrameReader reader;
  FrameImage frame = buffer.Frame(SourceFormat);
  if (!file || !reader.SetLayout(SourceFormat) || !reader.Attach(*file, SourceName, false) ||
      reader.Read(*file, 1, frame) <= 0) {
    return false;
  }
  if (!EnsurePreviewBuffers(frame.ImgWidth, frame.ImgHeight) || !RefreshPreview(frame)) return false;
  FrameShown = true;
  return true;
}

bool ToolJob::ReportedWriteFailure() {
  const int failed = writer_.FailedTag();
  if (failed < 0) return false;
  if (!writeFailureReported_) {
    const JobOutput& out = run_.outputs[static_cast<size_t>(failed)];
    Report(StrFormat(out.notWritten, out.name.c_str()));
    writeFailureReported_ = true;
  }
  return true;
}

int64_t ToolJob::QueueLumaPart(size_t i, const uint8_t* luma, int64_t bytes, uint64_t& lumaTicket,
                               uint64_t chromaTicketBefore) {
  QueueFrameLine(i);
  lumaTicket = writer_.Write(targets_[i].file(), luma, bytes, static_cast<int>(i));
  writer_.Wait(chromaTicketBefore);  // the chroma of the frame before may now be overwritten
  return bytes;
}

bool ToolJob::WriteConverted(const FrameImage& frame, size_t i) {
  StoredOutput& staged = storedOutputs_[i];
  FrameImage stored = staged.buffer.Frame(run_.outputs[i].stored);
  // With one buffer (large frames) its luma plane is written while the chroma is
  // made: each part waits only for the same part of the frame before.
  const bool byParts = pipelined_ && staged.spare.empty() && LeadingLumaBytes(stored) > 0;
  writer_.Wait(byParts ? staged.lumaTicket : staged.ticket);
  if (ReportedWriteFailure()) return false;
  const int index = static_cast<int>(i);
  int64_t written = 0;
  // One pointer captured: the std::function keeps it in place, no allocation per frame.
  struct Part {
    ToolJob* job;
    StoredOutput* staged;
    const FrameImage* stored;
    size_t i;
    int64_t* written;
  } part{this, &staged, &stored, i, &written};
  const auto lumaDone = [p = &part](int64_t lumaBytes) {
    *p->written =
        p->job->QueueLumaPart(p->i, p->stored->Data, lumaBytes, p->staged->lumaTicket, p->staged->ticket);
  };
  if (!(byParts ? ConvertSamples(frame, stored, lumaDone) : ConvertSamples(frame, stored))) {
    Report(StrFormat("Error CONV1048: Frames of the layout %s cannot be converted!\n",
                     FormatLabel(run_.outputs[i].stored).c_str()));
    return false;
  }
  if (written == 0) QueueFrameLine(i);
  staged.ticket = writer_.Write(targets_[i].file(), stored.Data + written, stored.DataSize - written, index);
  if (!staged.spare.empty()) {
    std::swap(staged.buffer, staged.spare);
    std::swap(staged.ticket, staged.spareTicket);
  }
  if (!pipelined_) writer_.Drain();
  return !ReportedWriteFailure();
}

bool ToolJob::WriteTarget(const FrameImage& frame, size_t i) {
  if (i < storedOutputs_.size() && !storedOutputs_[i].buffer.empty()) return WriteConverted(frame, i);
  const uint8_t* begin = output_.data();
  const bool fromOutput = pipelined_ && frame.Data >= begin && frame.Data < begin + output_.size() &&
                          frame.DataSize > 0 && frame.DataSize <= frame.Capacity &&
                          frame.Data + frame.DataSize <= begin + output_.size();
  if (ReportedWriteFailure()) return false;
  if (fromOutput) {
    QueueFrameLine(i);
    outputTicket_ = writer_.Write(targets_[i].file(), frame.Data, frame.DataSize, static_cast<int>(i));
    return true;
  }
  writer_.Drain();  // in order with the writes before
  if (ReportedWriteFailure()) return false;
  QueueFrameLine(i);
  writer_.Drain();
  if (!ReportedWriteFailure() && WriteFrame(targets_[i].file(), frame)) return true;
  // A frame written straight from its source fails to write when the source lost
  // bytes (the copy faults in the kernel): the source is named, not the output.
  if (SourceLostBytes()) return false;
  const JobOutput& out = run_.outputs[i];
  Report(StrFormat(out.notWritten, out.name.c_str()));
  return false;
}

FrameImage ToolJob::DeepFrame(const ImageFormat& format, size_t slot) {
  FrameImage sized;
  static_cast<ImageFormat&>(sized) = format;
  const int64_t bytes = ComputeFrameSize(sized);
  FrameBuffer& buffer = deepFrames_.at(slot);
  if (buffer.size() < bytes && !buffer.Allocate(bytes)) throw std::bad_alloc();
  return buffer.Frame(format);
}

bool ToolJob::SourceLostBytes() {
  return std::any_of(sources_.begin(), sources_.end(),
                     [](FrameInput& source) { return source.ReportedLostBytes(); });
}

FrameBuffer& ToolJob::Output() {
  if (pipelined_ && !doubleBuffered_) writer_.Wait(outputTicket_);
  return output_;
}

std::optional<int64_t> ToolJob::ReadIntoOutputByParts(const FrameImage& format) {
  if (!pipelined_ || doubleBuffered_ || targets_.empty() || !sources_[0].ConvertsOnRead())
    return std::nullopt;
  FrameImage frame = output_.Frame(format);
  if (LeadingLumaBytes(frame) <= 0) return std::nullopt;
  writer_.Wait(outputLumaTicket_);
  if (ReportedWriteFailure()) return -1;
  int64_t written = 0;
  // One pointer captured: the std::function keeps it in place, no allocation per frame.
  struct Part {
    ToolJob* job;
    const FrameImage* frame;
    int64_t* written;
  } part{this, &frame, &written};
  const auto lumaDone = [p = &part](int64_t lumaBytes) {
    *p->written =
        p->job->QueueLumaPart(0, p->frame->Data, lumaBytes, p->job->outputLumaTicket_, p->job->outputTicket_);
  };
  const int64_t read = sources_[0].Read(CurrentFrame, frame, FrameInput::FrameBytes::InPlace, lumaDone);
  if (read <= 0) return read;
  // The source converts every frame it reads, so the luma plane went first.
  if (written <= 0 || written > frame.DataSize) return -1;
  outputTicket_ = writer_.Write(targets_[0].file(), frame.Data + written, frame.DataSize - written, 0);
  return ReportedWriteFailure() ? -1 : read;
}

void ToolJob::NextOutputBuffer() {
  if (!doubleBuffered_) return;
  std::swap(output_, outputSpare_);
  std::swap(outputTicket_, spareTicket_);
  writer_.Wait(outputTicket_);
}

bool ToolJob::FinishWrites() {
  writer_.Drain();
  return !ReportedWriteFailure();
}

bool ToolJob::RenderPreview(const FrameImage& frame) {
  DisplayPictureOptions options;
  options.mono = MonoDisplay::AsLuma;
  return MakeDisplayPicture(Colours(), frame, previews_.Back(), previewWork_, options);
}

bool ToolJob::RefreshPreview(const FrameImage& frame) {
  if (!RenderPreview(frame)) return false;
  previews_.Publish();
  return true;
}

std::optional<std::string> ToolJob::FinishText() const {
  if (run_.exitWhenDone || messages_.finished == nullptr) return std::nullopt;
  return std::string(messages_.finished);
}

bool ToolJob::OutputsEnterHistory() const {
  switch (traits_.historyWhen) {
    case HistoryWhen::FrameShown:
      return FrameShown.load();
    case HistoryWhen::FrameWritten:
      return CurrentFrame.load() > 1;
  }
  return false;
}

void ToolJob::RecordHistory() const {
  if (run_.history == nullptr || !OutputsEnterHistory()) return;
  for (const JobOutput& out : run_.outputs) {
    if (out.history) {
      run_.history->Record({.path = out.name, .format = out.stored, .operation = *out.history});
    }
  }
}

JobOutcome ToolJob::Run(ToolJobObserver& observer) {
  observer_ = &observer;
  const ScopeExit forgetObserver([this] { observer_ = nullptr; });  // often a local of the caller
  return RunGuarded([&] { return RunSteps(observer); },
                    [&](const char* reason) { EndAfterException(reason); });
}

void ToolJob::EndAfterException(const char* reason) noexcept {
  // The writer may still read the output buffers and write the temporary files.
  writer_.Drain();
  targets_.clear();  // the temporary files go; earlier files of the targets' names stay
  sources_.clear();
  input_.Release();
  output_.Release();
  outputSpare_.Release();
  for (FrameBuffer& buffer : deepFrames_) buffer.Release();
  ReleaseToolBuffers();
  storedOutputs_.clear();
  pipelined_ = doubleBuffered_ = false;
  try {
    Report(JobStoppedText(reason));
  } catch (...) {
    // Without memory for the message the job still ends as failed.
  }
}

JobOutcome ToolJob::RunSteps(ToolJobObserver& observer) {
  auto stop = [&] {
    RunState = JobState::Stopped;
    observer.Stopped();
  };
  if (!ToolChecks()) return JobOutcome::FailedRunning;
  if (!OutputsAreNotInputs() || !ChecksBeforeRange()) {
    stop();
    return JobOutcome::FailedStopped;
  }
  observer.StopEnabled();
  if (!InputsHoldAFrame()) {
    stop();
    return JobOutcome::FailedStopped;
  }
  if (traits_.hasFrameRange) {
    if (!ValidateRange()) {
      stop();
      return JobOutcome::FailedStopped;
    }
    run_.frameCount = run_.endFrame - run_.startFrame + 1;
    observer.ProgressRange(run_.frameCount);
    if (!ChecksAfterRange()) {
      stop();
      return JobOutcome::FailedStopped;
    }
  }
  if (!StoredLayoutsAccepted() || !CheckSize()) return JobOutcome::FailedRunning;
  const int64_t bytes = BufferBytes();
  if (!input_.Allocate(bytes) || !output_.Allocate(bytes) ||
      (observer.WantsPreview() &&
       !EnsurePreviewBuffers(PreviewFormat().ImgWidth, PreviewFormat().ImgHeight))) {
    Report(StrFormat(messages_.targetImageSize, Out().ImgWidth, Out().ImgHeight));
    return JobOutcome::FailedRunning;
  }
  pipelined_ = traits_.pipelinesWrites;
  // A second output buffer lets the next frame be made while one is written: on one
  // processor the two take turns anyway.
  doubleBuffered_ = pipelined_ && UsableCores() > 1 && OutputBytesPerFrame() <= kDoubleBufferedBytes &&
                    outputSpare_.Allocate(bytes);
  outputTicket_ = spareTicket_ = outputLumaTicket_ = 0;
  storedOutputs_.clear();
  storedOutputs_.resize(run_.outputs.size());
  for (size_t i = 0; i < run_.outputs.size(); ++i) {
    const JobOutput& out = run_.outputs[i];
    if (SameSamples(out.stored, out.format)) continue;
    StoredOutput& staged = storedOutputs_[i];
    if (!staged.buffer.Allocate(out.stored.DataSize) ||
        (UsableCores() > 1 && out.stored.DataSize <= kDoubleBufferedBytes / 2 &&
         !staged.spare.Allocate(out.stored.DataSize))) {
      Report(StrFormat(messages_.targetImageSize, Out().ImgWidth, Out().ImgHeight));
      return JobOutcome::FailedRunning;
    }
  }
  writer_.ClearFailure();  // a failed write of an earlier run (a full disk since freed) is forgotten
  writeFailureReported_ = false;
  observer.PreviewPlaced(PreviewFormat().ImgWidth, PreviewFormat().ImgHeight);
  CurrentFrame = 1;
  if (!OpenSource()) {
    if (traits_.missingInputKeepsRunning) return JobOutcome::FailedRunning;
    stop();
    return JobOutcome::FailedStopped;
  }
  if (!SkipToStart()) return JobOutcome::FailedRunning;
  if (!CreateTarget()) return JobOutcome::FailedRunning;
  bool failed = false;
  ForEachFrame(run_.endFrame, [&](int64_t frame) {
    NextOutputBuffer();
    // A frame is read on both cores only when no write holds the other one.
    const bool writing = writer_.Busy();
    for (FrameInput& source : sources_) source.ShareReads(!writing);
    testhooks::CountDown(testhooks::badAllocAtFrameStep);
    const FrameResult result = ProcessFrame();
    if (result == FrameResult::EndOfInput) {
      RunState = JobState::Stopped;
      if (traits_.resetsButtonsAtEnd) observer.Stopped();
      return FrameStep::Last;
    }
    // A frame used where the file is may have lost bytes to another program.
    const bool lostBytes = SourceLostBytes();
    if (result == FrameResult::Failed || lostBytes) {
      failed = true;
      return FrameStep::Last;
    }
    observer.FrameDone(frame);
    return FrameStep::Next;
  });
  const bool written = FinishWrites();
  sources_.clear();
  input_.Release();
  output_.Release();
  outputSpare_.Release();
  for (FrameBuffer& buffer : deepFrames_) buffer.Release();
  ReleaseToolBuffers();
  storedOutputs_.clear();
  pipelined_ = doubleBuffered_ = false;
  // A failed job keeps nothing: its temporary files go, earlier files stay.
  if (failed || !written || !FinishOutputs() || !CommitOutputs()) {
    targets_.clear();
    return JobOutcome::FailedRunning;
  }
  targets_.clear();
  RecordHistory();
  if (traits_.resetsButtonsAtEnd) stop();
  if (const auto text = FinishText()) Report(*text);
  return JobOutcome::Completed;
}

}  // namespace vx
