#include "player/PlayerEngine.h"

#include "model/FileHistory.h"
#include "platform/MessageSink.h"

namespace vx {
namespace {

const FileListSequence::Messages kPlayerMessages = {
    "Error PLAY1008: No source file to play!\n",
    "Error PLAY1005:  Image dimension is not correct!",
    "Error PLAY1006:  Input file %s not found\n",
};

}  // namespace

PlayerControls ControlsFor(bool hasPath, PlayState state) {
  PlayerControls c;
  if (!hasPath) return c;  // only the path and Browse
  switch (state) {
    case PlayState::Stopped:
      c = {false, true, true, false, "Play", false, true, false, false, true};
      break;
    case PlayState::Paused:
      c = {false, false, false, true, "Play", true, true, true, true, false};
      break;
    case PlayState::StepForward:
    case PlayState::StepBackward:
      c = {false, false, false, false, "Play", true, true, true, true, false};
      break;
    case PlayState::Playing:
      c = {false, true, false, true, "Pause", true, true, true, true, false};
      break;
    case PlayState::Seek:
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

PlayerSequence::PlayerSequence() : FileListSequence(kPlayerMessages) {
  SetFormat({.SamplingFormat = YUV_420, .FieldFormat = Progressive, .PixelFormat = Planar});  // 720 x 480
  ReleaseBuffers();  // the layout is known; buffers come with a file selection
}

int PlayerSequence::IntervalMs() {
  const int rate = rate_.load();
  if (rate < 1 || rate > 120) {
    ShowMessage("Error PLAY1007:  Valid value for player speed, must within the range [1,120]");
    return -1;
  }
  return Unpaced ? 0 : FrameIntervalMs(rate);
}

void PlayerSequence::Shown(int64_t, bool first) {
  if (first && AddToHistoryFlag) AddToHistory(CurrentPath(), Format(), kOpened);
}

}  // namespace vx
