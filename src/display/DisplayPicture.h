#pragma once

// Any frame made into the picture a preview shows: packed progressive 4:4:4 YUV
// (order Y, U, V), and the double buffer through which a worker hands finished
// pictures to the window that draws them.

#include <cstdint>
#include <mutex>

#include "image/ColorFormula.h"
#include "image/FrameImage.h"

namespace vx {

// How a mono frame becomes grey: as three equal RGB planes through the colour
// formula (the player), or straight into luma with neutral chroma.
enum class MonoDisplay { ThroughRgb, AsLuma };

struct DisplayPictureOptions {
  int component = 3;  // 0, 1, 2: that component only (R, G, B for RGB frames); 3: all
  MonoDisplay mono = MonoDisplay::ThroughRgb;
};

// Scratch space of MakeDisplayPicture: two buffers of the frame's WorkBufferSize,
// allocated once per size and reused for every frame.
class DisplayWork {
 public:
  // False when the buffers cannot be had for this size.
  bool Ensure(int32_t width, int32_t height);
  void Release();
  FrameBuffer& first() { return first_; }
  FrameBuffer& second() { return second_; }

 private:
  FrameBuffer first_, second_;
};

// Renders `frame` (YUV of any layout, planar or packed RGB, MONO) into `display`,
// whose Data and Capacity the caller provides; the header becomes the canonical
// one of the frame's size. RGB frames pass the formula of `tables`; for BGR frames
// component 0 still means red. The frame itself is not changed. False when the
// frame cannot be shown.
bool MakeDisplayPicture(const ColourTables& tables, const FrameImage& frame, FrameImage& display,
                        DisplayWork& work, const DisplayPictureOptions& options = {});

// Two picture buffers: the worker renders into the back one and publishes it; the
// window reads the front one under the lock, so it only ever draws a complete
// picture and the worker never writes the picture being drawn.
class PictureExchange {
 public:
  // Buffers for pictures up to width x height; false (and none) when refused.
  bool Allocate(int32_t width, int32_t height);
  void Release();
  bool Allocated() const;

  // The worker's side: the buffer to render into (no lock; one writer).
  FrameImage& Back() { return back_; }
  // Makes the back picture the front one.
  void Publish();

  // The window's side: the front picture while `view` runs; an empty record
  // (Data null) when nothing was published yet.
  template <typename View>
  auto Read(View view) const {
    std::lock_guard lock(mutex_);
    return view(published_ ? front_ : FrameImage{});
  }
  bool Published() const {
    std::lock_guard lock(mutex_);
    return published_;
  }
  // A copy of the front picture's bytes (tests, screenshots).
  std::vector<uint8_t> FrontBytes() const;

 private:
  mutable std::mutex mutex_;
  FrameBuffer buffers_[2];
  FrameImage front_, back_;
  bool published_ = false;
};

}  // namespace vx
