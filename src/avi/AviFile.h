#pragma once

// AVI files and video codecs, behind an interface of our own: the jobs see
// four-character codes, sizes, frame numbers and picture rows, never a type of the
// codec library underneath (FFmpeg's libavformat, libavcodec and libswscale).

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "image/ColorFormula.h"
#include "platform/RawFile.h"

namespace vx::avi {

// A four-character code as stored in the file: the first character in the lowest byte.
uint32_t FourccFromText(const std::string& code);
// Its four characters when all are printable, otherwise "unknown".
std::string FourccText(uint32_t code);

// Whether `path` is an AVI file: a RIFF file of form "AVI ". A file that cannot
// be read is judged by its name's ".avi" extension.
bool LooksLikeAviFile(const std::string& path);

struct CodecInfo {
  std::string code;         // four characters, e.g. "iyuv"
  std::string name;         // short name
  std::string description;  // one line
  std::string driver;       // the codec library's name for it
};

// The codecs this program can write, in the order offered: "iyuv", "i420" (raw
// planar 4:2:0), "divx", "xvid" (MPEG-4 part 2), "cvid" (Cinepak), each only when
// the library has its encoder.
std::vector<CodecInfo> OfferedEncoders();
// The encoder of `code` (compared without regard to case); nullopt when none.
std::optional<CodecInfo> FindEncoder(const std::string& code);
// The video formats this program reads from AVI files, one per four-character
// code, for the information box.
std::vector<CodecInfo> ReadableCodecs();
// The codec library's release and the versions of its parts this program loaded,
// e.g. "FFmpeg 5.1.6 (libavformat 59.27.100, ...)"; empty in the build without it.
std::string CodecLibraryVersions();

// Where a picture's rows go: `stride` bytes apart (at least 3 x width), bottom
// row first when `bottomUp`; blue first in each pixel.
struct BgrRows {
  uint8_t* data = nullptr;
  int64_t stride = 0;
  bool bottomUp = true;
};

// The AVI file's opening refusals, in the order they are met.
enum class OpenFailure {
  None,
  CannotOpen,
  NoDecodableStream,
  HeadersDisagree,  // the main header and the stream's bitmap header give other sizes
  PictureTooLarge,  // wider or taller than kMaxAviSide, or more than the program's frame buffers hold
  StreamStart,
  StreamLength
};

// The longest side of a picture the reader takes from a header.
inline constexpr int32_t kMaxAviSide = 8192;

struct PictureSize {
  int32_t width = 0, height = 0;
};

class AviReader {
 public:
  ~AviReader();
  AviReader(AviReader&&) noexcept;
  AviReader& operator=(AviReader&&) noexcept;

  // Opens the file and its first video stream. On failure, `failure` says why.
  static std::optional<AviReader> Open(const std::string& path, OpenFailure& failure);

  int32_t Width() const;
  int32_t Height() const;
  int64_t Length() const;    // frames
  uint32_t Handler() const;  // the stream's four-character code

  // Makes the decoder; false when there is none for the stream.
  bool OpenDecoder();
  // The size the codec decodes the first picture to. Codecs that store their own
  // size may disagree with Width() x Height(), which only the header claims;
  // nullopt when the first picture cannot be decoded. Decodes it once.
  std::optional<PictureSize> DecodedSize();
  // Decodes frame n (from 1) as 24-bit blue-first rows. Frame n is the n-th
  // picture the decoder outputs (AVI stores no presentation times). Reading in
  // order decodes each frame once; a jump starts from the key frame before it.
  // Frames a codec gives as YUV become RGB with `colours`, as raw YUV files do.
  // False when the frame cannot be decoded or has another size than the header's.
  bool ReadFrame(int64_t n, const BgrRows& rows, const ColourTables& colours);

 private:
  bool ConvertSamples(const ColourTables& colours, const BgrRows& rows);
  bool ScaleToBgr(const BgrRows& rows);
  struct State;
  explicit AviReader(std::unique_ptr<State> state);
  std::unique_ptr<State> s_;
};

// The screen the pictures are shown on (0 x 0: none, a job without windows).
struct ScreenSize {
  int32_t width = 0, height = 0;
};
// The writer's frame heap: the larger of screen and picture in each direction, 4
// bytes a pixel. The stream header suggests it as the reader's buffer size.
inline int64_t WriterHeapBytes(int32_t width, int32_t height, ScreenSize screen) {
  return int64_t{std::max(width, screen.width)} * std::max(height, screen.height) * 4;
}
// The stream header's flags.
inline constexpr uint32_t kVideoStreamFlags = 256;

// Writes a video stream into an AVI file that it creates when the first frame is
// added, with one compressor: 30 frames per second, a key frame every 300, the
// codec's own quality, the stream named "Video Stream", flags 256 and the heap
// size as the suggested buffer size.
class AviWriter {
 public:
  enum class State { NotCreated, ReadyToCreate, Created };

  // Ready to create `target` (opened by the caller) with the codec of `code`
  // (written as the stream handler as typed). `colours` turns the pictures into
  // the codec's YUV.
  AviWriter(RawFile& target, std::string code, std::shared_ptr<const ColourTables> colours,
            ScreenSize screen = {});
  ~AviWriter();
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;

  State state() const { return state_; }
  // Adds a picture of bottom-up blue-first rows padded to 4 bytes. The first call
  // creates the file. False with `error` set (the message) on failure; the writer
  // is then closed.
  bool AddFrame(const uint8_t* rows, int32_t width, int32_t height, std::string& error);
  // Finishes the file (index and headers). False when that fails.
  bool Close();

 private:
  struct Codec;
  bool Create(int32_t width, int32_t height, std::string& error);
  bool Encode(const uint8_t* rows, std::string& error);
  bool Drain();
  void Release();

  RawFile& target_;
  std::string code_;
  std::shared_ptr<const ColourTables> colours_;
  ScreenSize screen_;
  State state_ = State::ReadyToCreate;
  std::unique_ptr<Codec> c_;
};

}  // namespace vx::avi
