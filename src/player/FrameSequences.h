#pragma once

// The frame sources that the playback loop plays: a list of files played one
// after the other, two files in lockstep, and the consecutive frame pairs of one
// file.

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "display/DisplayPicture.h"
#include "image/FrameImage.h"
#include "platform/RawFile.h"
#include "player/PlaybackLoop.h"

namespace vx {

// The compare tools' pacing: at most about 30 frames per second.
inline constexpr int kComparePacingMs = 33;

// Files of one layout played one after the other; each frame is rendered into a
// display picture (one component or all) that the window draws.
class FileListSequence : public FrameSequence {
 public:
  struct Messages {
    const char* noPath;        // the file to play has no name
    const char* badDimension;  // width or height 0
    const char* notFound;      // %s: the file cannot be opened
  };
  explicit FileListSequence(const Messages& messages) : messages_(messages) {}

  // The layout of every file and the buffers for it. False (buffers released)
  // when the size is refused.
  bool SetFormat(const ImageFormat& format);
  const FrameImage& Format() const { return format_; }
  // The frame as read, in the file's own layout (the editor changes it while no
  // worker loads or renders).
  FrameImage& CurrentFrame() { return format_; }
  bool HasBuffers() const { return !source_.empty(); }
  void ReleaseBuffers();

  // Changed by the window only while no worker plays.
  std::vector<std::string> Files;
  // 0, 1, 2: one component; 3: all (read once per frame rendered).
  std::atomic<int> Component{3};
  MonoDisplay Mono = MonoDisplay::ThroughRgb;

  // The pictures the window draws.
  const PictureExchange& Pictures() const { return pictures_; }

  size_t ItemCount() const override { return Files.size(); }
  bool Open(size_t index) override;
  int64_t FrameCount() const override { return frameCount_; }
  int IntervalMs() override { return kComparePacingMs; }
  bool Load(int64_t n) override;
  void Render() override;
  void Close() override { file_.Close(); }

  // Reads frame 1 of the first file (no worker running), so a new selection shows
  // its first picture; a file that cannot be read leaves neutral grey.
  void LoadFirstPicture();
  // Reads the next frame of `file` in order and renders it (benchmarks).
  bool LoadNextFrom(RawFile& file);
  const std::string& CurrentPath() const { return path_; }

 private:
  const Messages& messages_;
  FrameImage format_;
  FrameBuffer source_;
  DisplayWork work_;
  PictureExchange pictures_;
  RawFile file_;
  std::string path_;
  int64_t frameCount_ = 0;
};

// Two frames per step, handed to a renderer that the tool supplies (the
// difference of two files, of two consecutive frames).
class FramePairSequence : public FrameSequence {
 public:
  using Renderer = std::function<void(const FrameImage& first, const FrameImage& second)>;

  // Layouts of the two frames and their buffers; false when a size is refused.
  bool SetFormats(const ImageFormat& first, const ImageFormat& second);
  void SetRenderer(Renderer renderer) { renderer_ = std::move(renderer); }
  int64_t FrameCount() const override { return frameCount_; }
  int IntervalMs() override { return kComparePacingMs; }
  void Render() override;
  const FrameImage& First() const { return first_; }
  const FrameImage& Second() const { return second_; }

 protected:
  FrameImage first_, second_;
  int64_t frameCount_ = 0;

 private:
  FrameBuffer firstBuffer_, secondBuffer_;
  Renderer renderer_;
};

// Frame n of two files side by side; as many frames as the shorter file has.
class LockstepPairSequence : public FramePairSequence {
 public:
  struct Messages {
    const char* firstNotFound;   // %s
    const char* secondNotFound;  // %s
  };
  explicit LockstepPairSequence(const Messages& messages) : messages_(messages) {}
  std::string FirstPath, SecondPath;

  bool Open(size_t index) override;
  bool Load(int64_t n) override;
  void Close() override;

 private:
  const Messages& messages_;
  RawFile firstFile_, secondFile_;
};

// The pair (n, n + 1) of one file: frame n is the first, n + 1 the second. The
// file is opened again for every step, so edits written in between are seen.
class ConsecutivePairSequence : public FramePairSequence {
 public:
  explicit ConsecutivePairSequence(const char* notFound) : notFound_(notFound) {}
  std::string Path;

  bool Open(size_t index) override;
  bool Load(int64_t n) override;

 private:
  const char* notFound_;  // %s
};

}  // namespace vx
