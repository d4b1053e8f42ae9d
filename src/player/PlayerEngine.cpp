#include "player/PlayerEngine.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "app/FileHistory.h"
#include "image/ColorFormula.h"
#include "image/PixelOps.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"

namespace vx {
namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

PlayerControls ControlsFor(bool hasPath, int state) {
  PlayerControls c;
  if (!hasPath) return c;  // only the path and Browse
  switch (state) {
    case PlayStopped:
      c = {false, true, true, false, "Play", false, true, false, false, true};
      break;
    case PlayPaused:
      c = {false, false, false, true, "Play", true, true, true, true, false};
      break;
    case StepForward:
    case StepBackward:
      c = {false, false, false, false, "Play", true, true, true, true, false};
      break;
    case Playing:
      c = {false, true, false, true, "Pause", true, true, true, true, false};
      break;
    case Seek:
      c = {false, false, false, false, "Play", false, true, true, true, false};
      break;
    default:
      c.unchanged = true;
      break;
  }
  return c;
}

std::vector<std::string> ComponentListTexts(int32_t sampling) {
  if (sampling == MONO) return {};
  if (sampling == RGB_444)
    return {"R Componet only", "G Componet only", "B Componet only", "RGB all Componets"};
  return {"Y Componet only", "U Componet only", "V Componet only", "YUV all Componets"};
}

PlayerEngine::PlayerEngine() {
  fileFormat_.SamplingFormat = YUV_420;
  fileFormat_.ComponentOrder = YUV;
  fileFormat_.FieldFormat = Progressive;
  fileFormat_.PixelFormat = Planar;
  fileFormat_.ImageResolution = 6;
  fileFormat_.ImgWidth = 720;
  fileFormat_.ImgHeight = 480;
  ComputeFrameSize(fileFormat_);
}

void PlayerEngine::ReleaseBuffers() {
  source_.Release();
  display_buffer_.Release();
  work1_.Release();
  work2_.Release();
  display_ = FrameImage{};
  sourceFrame_ = FrameImage{};
}

bool PlayerEngine::SetFormat(const ImageFormat& format) {
  ReleaseBuffers();
  static_cast<ImageFormat&>(fileFormat_) = format;
  DeriveFourcc(fileFormat_);
  ComputeFrameSize(fileFormat_);
  if (!WorkBufferSizeSupported(format.ImgWidth, format.ImgHeight)) return false;
  const int64_t bytes = WorkBufferSize(format.ImgWidth, format.ImgHeight);
  if (!source_.Allocate(bytes) || !display_buffer_.Allocate(bytes) || !work1_.Allocate(bytes) ||
      !work2_.Allocate(bytes)) {
    ReleaseBuffers();
    return false;
  }
  sourceFrame_ = source_.Frame(fileFormat_);
  display_ = display_buffer_.Frame(fileFormat_);
  SetCanonicalHeader(display_, format.ImgWidth, format.ImgHeight);
  display_.ImageResolution = 6;
  return true;
}

void PlayerEngine::RenderDisplay() {
  if (!HasBuffers()) return;
  const int choice = ComponentChoice.load();
  FrameImage source = source_.Frame(fileFormat_);
  FrameImage display = display_buffer_.Frame(fileFormat_);
  SetCanonicalHeader(display, fileFormat_.ImgWidth, fileFormat_.ImgHeight);
  display.ImageResolution = 6;
  FrameImage work1 = work1_.Frame(fileFormat_);
  FrameImage work2 = work2_.Frame(fileFormat_);
  int32_t order = source.ComponentOrder;
  if (source.SamplingFormat == MONO) {
    // Grey: three equal planes, then progressive rows.
    std::memcpy(work1.Data, source.Data, static_cast<size_t>(source.DataSize));
    work1.DataSize = source.DataSize;
    MonoToRgbPlanar(work1);
    if (work1.FieldFormat == Interlaced) {
      work2 = work2_.Frame(work1);
      CopyFrameHeader(work1, work2);
      work2.FieldFormat = Progressive;
      ConvertFieldFormat(work1, work2);
      std::swap(work1, work2);
    }
    source = work1;
    order = RGB;
  }
  if (source.SamplingFormat == RGB_444) {
    FrameImage packed = source;
    if (source.PixelFormat == Planar) {
      FrameImage target = (source.Data == work1.Data ? work2_ : work1_).Frame(source);
      CopyFrameHeader(source, target);
      target.PixelFormat = Packed;
      if (!ConvertPixelFormat(source, target)) return;
      packed = target;
    }
    const FrameImage* rgb = &packed;
    FrameImage extracted;
    if (choice != 3) {
      extracted = (packed.Data == work1.Data ? work2_ : work1_).Frame(packed);
      const int c = order == BGR ? std::abs(choice - 2) : choice;
      if (ExtractComponent(packed, extracted, c)) rgb = &extracted;
    }
    const auto tables = CurrentColourTables();
    RgbBufferToYuv(
        *tables,
        std::span<const uint8_t>(rgb->Data, static_cast<size_t>(3 * int64_t{rgb->ImgWidth} * rgb->ImgHeight)),
        std::span<uint8_t>(display.Data, static_cast<size_t>(display.Capacity)), rgb->ImgWidth,
        rgb->ImgHeight, false, order == BGR, false);
  } else {
    if (!ToCanonical444(source, display)) return;
    if (choice != 3) {
      FrameImage extracted = work1_.Frame(display);
      if (ExtractComponent(display, extracted, choice)) {
        std::memcpy(display.Data, extracted.Data, static_cast<size_t>(extracted.DataSize));
      }
    }
  }
  display_ = display;
}

bool PlayerEngine::ShowNextFrame(RawFile& file) {
  FrameImage frame = source_.Frame(fileFormat_);
  if (ReadFrame(file, frame) == 0) return false;
  ++FramesRead;
  RenderDisplay();
  return true;
}

bool PlayerEngine::ShowFrame(RawFile& file, PlayerObserver& observer, int intervalMs, int64_t& lastShownMs,
                             bool& firstShown, const std::string& path) {
  observer.ControlsChanged();
  FrameImage frame = source_.Frame(fileFormat_);
  if (ReadFrame(file, frame) == 0) {
    State = PlayStopped;
    observer.ControlsChanged();
    StopRequest = true;
    return false;
  }
  if (!Unpaced) {
    // The frame interval since the last frame shown; the first frame is not delayed.
    const int64_t due = lastShownMs + intervalMs;
    while (lastShownMs != 0 && NowMs() < due && !Quit && !StopRequest) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (Quit || StopRequest) return false;  // stopped while waiting: the frame is not shown
    lastShownMs = NowMs();
  }
  const int64_t shown = NextFrame.load();
  ++FramesRead;
  NextFrame = shown + 1;
  RenderDisplay();
  observer.FrameShown(shown);
  if (!firstShown) {
    firstShown = true;
    if (AddToHistoryFlag) AddToHistory(path, fileFormat_, kOpened);
  }
  return true;
}

void PlayerEngine::PlayFile(const std::string& path, PlayerObserver& observer) {
  if (path.empty()) {
    ShowMessage("Error PLAY1008: No source file to play!\n");
    return;
  }
  if (fileFormat_.ImgWidth == 0 || fileFormat_.ImgHeight == 0 || !HasBuffers()) {
    ShowMessage("Error PLAY1005:  Image dimension is not correct!");
    return;
  }
  auto opened = RawFile::OpenRead(path);
  if (!opened) {
    ShowMessage(StrFormat("Error PLAY1006:  Input file %s not found\n", path.c_str()));
    return;
  }
  RawFile file = std::move(*opened);
  observer.SliderRange(static_cast<int64_t>(
      CountFrames(static_cast<uint64_t>(std::max<int64_t>(file.Length(), 0)), fileFormat_.DataSize)));
  int rate = CommandLineRate.exchange(0);
  if (rate < 1 || rate > 120) rate = SpeedRate.load();
  if (rate < 1 || rate > 120) {
    ShowMessage("Error PLAY1007:  Valid value for player speed, must within the range [1,120]");
    State = PlayStopped;
    observer.ControlsChanged();
    return;
  }
  const int interval = FrameIntervalMs(rate);
  NextFrame = 1;
  StopRequest = false;
  int64_t lastShown = 0;
  bool firstShown = false;
  while (!StopRequest && !Quit) {
    switch (State.load()) {
      case PlayStopped:
        StopRequest = true;
        continue;
      case PlayPaused:
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        continue;
      case StepForward:
        State = PlayPaused;
        ShowFrame(file, observer, interval, lastShown, firstShown, path);
        continue;
      case StepBackward:
        State = PlayPaused;
        if (NextFrame <= 2) continue;
        NextFrame -= 2;
        SeekFrame(file, fileFormat_, NextFrame);
        ShowFrame(file, observer, interval, lastShown, firstShown, path);
        continue;
      case PlayingBackward:
        if (NextFrame <= 2) {
          State = PlayPaused;
          continue;
        }
        NextFrame -= 2;
        SeekFrame(file, fileFormat_, NextFrame);
        ShowFrame(file, observer, interval, lastShown, firstShown, path);
        continue;
      case Seek:
        NextFrame = std::max<int64_t>(SeekTarget.load(), 1);
        SeekFrame(file, fileFormat_, NextFrame);
        State = PlayPaused;
        ShowFrame(file, observer, interval, lastShown, firstShown, path);
        continue;
      default:
        ShowFrame(file, observer, interval, lastShown, firstShown, path);
        continue;
    }
  }
}

void PlayerEngine::PlayList(PlayerObserver& observer) {
  for (size_t i = 0; i < Files.size() && !Quit; ++i) {
    int expected = PlayStopped;
    State.compare_exchange_strong(expected, Playing);
    observer.FileStarted(Files[i]);
    PlayFile(Files[i], observer);
    observer.FileEnded();
  }
  observer.Finished();
}

}  // namespace vx
