#pragma once

// Playback of one or more raw files of one layout: the play state machine, frame
// pacing, reading and rendering each frame into a 4:4:4 display picture. The
// worker runs PlayList(); the window drives the state and draws the picture.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "image/FrameImage.h"
#include "platform/RawFile.h"

namespace vx {

enum PlayStateValue : int {
  PlayStopped = 0,
  PlayPaused = 1,
  StepForward = 2,
  StepBackward = 3,
  Playing = 4,
  PlayingBackward = 5,
  Seek = 6,
};

inline constexpr size_t kMaxPlayFiles = 1024;

// Which controls are usable for a state (the window applies it).
struct PlayerControls {
  bool unchanged = false;  // PlayingBackward leaves every control as it is
  bool pathAndBrowse = true;
  bool start = false;
  bool pause = false;
  const char* pauseText = "Play";
  bool stop = false;
  bool stepButtons = false;
  bool slider = false;
  bool reverse = false;
  bool speed = false;
};
PlayerControls ControlsFor(bool hasPath, int state);

// The texts of the component list for a sampling format (empty for MONO, whose
// list is disabled).
std::vector<std::string> ComponentListTexts(int32_t sampling);

// Frame interval in milliseconds for a rate of 1..120.
inline int FrameIntervalMs(int rate) {
  return 1000 / rate;
}

// What the window hears from a playing worker (on the worker's thread).
class PlayerObserver {
 public:
  virtual ~PlayerObserver() = default;
  virtual void FileStarted(const std::string& /*path*/) {}
  virtual void SliderRange(int64_t /*frames*/) {}
  // A frame was read and rendered into the display picture.
  virtual void FrameShown(int64_t /*frame*/) {}
  virtual void ControlsChanged() {}
  // One file of the list has ended (its loop is over).
  virtual void FileEnded() {}
  // The list is done (or the worker was told to quit).
  virtual void Finished() {}
};

class PlayerEngine {
 public:
  PlayerEngine();

  // The layout every file of the list has, and its buffers. False (buffers
  // released) when the size is refused.
  bool SetFormat(const ImageFormat& format);
  const FrameImage& FileFormat() const { return fileFormat_; }
  bool HasBuffers() const { return !source_.empty(); }
  void ReleaseBuffers();

  std::vector<std::string> Files;
  bool AddToHistoryFlag = true;
  // A rate from the command line, used for the first file played only (0: none).
  std::atomic<int> CommandLineRate{0};
  // The speed box's value.
  std::atomic<int> SpeedRate{30};
  std::atomic<int> State{PlayStopped};
  std::atomic<bool> StopRequest{false};
  // Ends the worker for good (closing the player, a new selection).
  std::atomic<bool> Quit{false};
  std::atomic<int64_t> NextFrame{1};
  std::atomic<int64_t> SeekTarget{1};
  std::atomic<int> ComponentChoice{3};  // 0, 1, 2: one component; 3: all
  std::atomic<int64_t> FramesRead{0};
  // Frames are shown as fast as they can be made (benchmarks).
  bool Unpaced = false;

  // The worker: plays every file of the list in order.
  void PlayList(PlayerObserver& observer);
  // Renders the display picture from the last frame read.
  void RenderDisplay();
  // The display picture: packed progressive 4:4:4 YUV. The window draws it while
  // the worker may be rendering the next one (a torn picture is accepted).
  const FrameImage& Display() const { return display_; }
  // Reads the next frame and renders it, as a playing worker does for one frame,
  // without pacing (for benchmarks).
  bool ShowNextFrame(RawFile& file);

 private:
  void PlayFile(const std::string& path, PlayerObserver& observer);
  bool ShowFrame(RawFile& file, PlayerObserver& observer, int intervalMs, int64_t& lastShownMs,
                 bool& firstShown, const std::string& path);

  FrameImage fileFormat_;
  FrameBuffer source_, display_buffer_, work1_, work2_;
  FrameImage sourceFrame_;
  FrameImage display_;
};

}  // namespace vx
