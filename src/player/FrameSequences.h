#pragma once

// The frame sources that the playback loop plays: a list of files played one
// after the other, two files in lockstep, and the consecutive frame pairs of one
// file.

#include <atomic>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "display/DisplayPicture.h"
#include "image/FrameImage.h"
#include "image/PixelProbe.h"
#include "image/StoredFrames.h"
#include "platform/RawFile.h"
#include "player/PlaybackLoop.h"
#include "player/ShownFrame.h"

namespace vx {

// The compare tools' pacing: at most about 30 frames per second.
inline constexpr int kComparePacingMs = 33;

// Files of one layout played one after the other; each frame is rendered into a
// display picture (one component or all) that the window draws. A frame is read
// into a buffer of its own and becomes the frame shown only when the loop shows
// it, under the lock that rendering and the window's copies take: a Stop between
// reading and showing leaves the frame shown, its number and its bytes as they were.
class FileListSequence : public FrameSequence {
 public:
  struct Messages {
    const char* noPath;        // the file to play has no name
    const char* badDimension;  // width or height 0
    const char* notFound;      // %s: the file cannot be opened
  };
  // With `keepStoredBytes`, the frames of deeper samples are kept as stored too
  // (the shown frame's `storedBytes`), for editing at full depth.
  explicit FileListSequence(const Messages& messages, bool keepStoredBytes = true)
      : messages_(messages), keepsStoredBytes_(keepStoredBytes) {}

  // The layout of every file and the buffers for it. False (buffers released)
  // when the size or the layout is refused.
  bool SetFormat(const ImageFormat& format);
  // The layout frames are shown in (header only): the files' own, or for a
  // stored-only layout its 8-bit planar working layout.
  const FrameImage& Format() const { return format_; }
  // The files' layout.
  const FrameImage& StoredFormat() const { return reader_.Stored(); }
  bool HasBuffers() const { return !shownBuffer_.empty(); }
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
  void Commit() override;
  // Renders the frame shown.
  void Render() override;
  void Close() override { file_.Close(); }
  std::string ItemName(size_t index) const override {
    return index < Files.size() ? Files[index] : std::string();
  }

  // Shows frame 1 of the first file (no worker running), so a new selection shows
  // its first picture at once; a file that cannot be read leaves neutral grey and
  // nothing shown.
  void LoadFirstPicture();
  // Reads the next frame of `file` in order and renders it (benchmarks).
  bool LoadNextFrom(RawFile& file);
  const std::string& CurrentPath() const { return path_; }

  // A copy of the frame shown, with its file and number (number 0 before any).
  ShownFrame Snapshot() const;
  int64_t ShownNumber() const;
  // The samples of pixel (x, y) of the frame shown, at full depth where its
  // stored bytes are kept; nullopt before any frame or outside it.
  std::optional<PixelSamples> ShownSamplesAt(int32_t x, int32_t y) const;
  // Puts `bytes` in place of the frame shown while that is still `origin`'s frame
  // (an edit written into the file), and `storedBytes` in place of its stored
  // bytes where they are kept (required then); false otherwise.
  bool ReplaceShown(const FrameOrigin& origin, std::span<const uint8_t> bytes,
                    std::span<const uint8_t> storedBytes = {});

 protected:
  // Reads frame `n` of the file at `path` (open in `file`) into the loading buffer.
  bool LoadFrom(RawFile& file, const std::string& path, int64_t n);

 private:
  void RenderShown();

  const Messages& messages_;
  const bool keepsStoredBytes_;
  StoredFrameReader reader_;
  FrameImage format_;  // header only
  // The frame shown and the frame being read; swapped when the loop shows a frame.
  FrameBuffer shownBuffer_, loadingBuffer_;
  FrameImage shown_, loading_;
  // Their stored bytes, kept for deeper samples (swapped with them); empty otherwise.
  FrameBuffer shownStoredBuffer_, loadingStoredBuffer_;
  FrameImage shownStored_, loadingStored_;
  FrameOrigin shownOrigin_, loadingOrigin_;
  // Held while the frame shown changes, is rendered or copied.
  mutable std::mutex shownLock_;
  DisplayWork work_;
  PictureExchange pictures_;
  RawFile file_;
  std::string path_;
  int64_t frameCount_ = 0;
};

// Two frames per step, handed to a renderer that the tool supplies (the
// difference of two files, of two consecutive frames). As with a file list, the
// pair read becomes the pair shown only when the loop shows it.
class FramePairSequence : public FrameSequence {
 public:
  using Renderer = std::function<void(const FrameImage& first, const FrameImage& second)>;
  struct Pair {
    ShownFrame first, second;
  };

  // Layouts of the two frames and their buffers; false when a size is refused.
  bool SetFormats(const ImageFormat& first, const ImageFormat& second);
  void SetRenderer(Renderer renderer) { renderer_ = std::move(renderer); }
  int64_t FrameCount() const override { return frameCount_; }
  int IntervalMs() override { return kComparePacingMs; }
  void Commit() override;
  // Renders the pair shown.
  void Render() override;
  // Reads pair `n` and shows it at once (no worker running); false when it cannot be read.
  bool ShowNow(int64_t n) { return Load(n) && (Commit(), true); }
  // Copies of the pair shown (numbers 0 before any).
  Pair Snapshot() const;
  // The samples of pixel (x, y) of the first (or second) frame shown.
  std::optional<PixelSamples> ShownSamplesAt(bool second, int32_t x, int32_t y) const;

 protected:
  // The pair being read: Load fills these and their origins.
  FrameImage loadingFirst_, loadingSecond_;
  FrameOrigin loadingFirstOrigin_, loadingSecondOrigin_;
  // The frames of deeper samples as stored, for the values under the pointer
  // (no data for 8-bit files).
  FrameImage loadingFirstStored_, loadingSecondStored_;
  // Reads frame `n` of `file` (named `path`) into `frame` (and `stored`, when it
  // has a buffer) through `reader` (the first or the second file's), noting where
  // it came from.
  static bool LoadFrame(StoredFrameReader& reader, RawFile& file, const std::string& path, int64_t n,
                        FrameImage& frame, FrameImage& stored, FrameOrigin& origin);
  StoredFrameReader firstReader_, secondReader_;
  // Under the lock of the pair shown: what a tool renders and changes.
  std::mutex& ShownLock() const { return shownLock_; }
  const FrameImage& ShownFirst() const { return shownFirst_; }
  const FrameImage& ShownSecond() const { return shownSecond_; }
  const FrameOrigin& ShownFirstOrigin() const { return shownFirstOrigin_; }
  const FrameOrigin& ShownSecondOrigin() const { return shownSecondOrigin_; }
  Pair SnapshotLocked() const;
  // Called under the lock when a new pair became the pair shown.
  virtual void PairShown() {}
  // Called under the lock to render the pair shown.
  virtual void RenderPair(const FrameImage& first, const FrameImage& second);
  int64_t frameCount_ = 0;

 private:
  // Buffers for the stored frames of a file of deeper samples; none otherwise.
  static bool StoredFramesFor(const FrameImage& stored, FrameBuffer (&buffers)[2], FrameImage& shown,
                              FrameImage& loading);
  FrameBuffer firstBuffers_[2], secondBuffers_[2];
  FrameBuffer firstStoredBuffers_[2], secondStoredBuffers_[2];
  FrameImage shownFirst_, shownSecond_;
  FrameImage shownFirstStored_, shownSecondStored_;
  FrameOrigin shownFirstOrigin_, shownSecondOrigin_;
  mutable std::mutex shownLock_;
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
