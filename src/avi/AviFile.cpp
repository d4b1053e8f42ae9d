#include "avi/AviFile.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>

#include "display/DisplayConvert.h"
#include "image/FrameImage.h"
#include "image/PixelOps.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/version.h>
#include <libswscale/swscale.h>
}

namespace vx::avi {
namespace {

constexpr int kIoBufferBytes = 1 << 16;
constexpr int kFramesPerSecond = 30;
constexpr int kKeyFrameEvery = 300;

struct FormatContextFree {
  void operator()(AVFormatContext* c) const { avformat_free_context(c); }
};
struct CodecContextFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct IoContextFree {
  void operator()(AVIOContext* c) const {
    if (!c) return;
    av_freep(&c->buffer);
    avio_context_free(&c);
  }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScaleFree {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};

using IoPtr = std::unique_ptr<AVIOContext, IoContextFree>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;

// The library reads and writes through our own files (regular files only, 64-bit
// offsets, every write checked).
int ReadPacket(void* opaque, uint8_t* buffer, int size) {
  const int64_t n = static_cast<RawFile*>(opaque)->Read(buffer, size);
  if (n < 0) return AVERROR(EIO);
  return n == 0 ? AVERROR_EOF : static_cast<int>(n);
}

// A file being written, and where the stream header's handler code lies in it.
struct WrittenFile {
  RawFile* file = nullptr;
  int64_t handlerOffset = -1;
};

#if LIBAVFORMAT_VERSION_MAJOR >= 61
int WritePacket(void* opaque, const uint8_t* buffer, int size) {
#else
int WritePacket(void* opaque, uint8_t* buffer, int size) {
#endif
  auto* out = static_cast<WrittenFile*>(opaque);
  const int64_t at = out->file->Position();
  if (out->handlerOffset < 0 && at < kIoBufferBytes) {
    // "strh" then "vids" (the chunk size between): the handler follows.
    static constexpr char kVideoHeader[] = "vids";
    for (int i = 8; i + 8 <= size; ++i) {
      if (std::memcmp(buffer + i - 8, "strh", 4) == 0 && std::memcmp(buffer + i, kVideoHeader, 4) == 0) {
        out->handlerOffset = at + i + 4;
        break;
      }
    }
  }
  return out->file->Write(buffer, size) ? size : AVERROR(EIO);
}

// Where the stream header's flags and suggested buffer size lie after its handler.
constexpr int64_t kStreamFlagsAfterHandler = 4;
constexpr int64_t kBufferSizeAfterHandler = 32;

// A little-endian double word written at `at`.
bool WriteDwordAt(RawFile& file, int64_t at, uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  return file.WriteAt(at, bytes, 4);
}

int64_t SeekFile(void* opaque, int64_t offset, int whence) {
  auto* file = static_cast<RawFile*>(opaque);
  if (whence & AVSEEK_SIZE) return file->Length();
  int64_t target = offset;
  switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET:
      break;
    case SEEK_CUR:
      target += file->Position();
      break;
    case SEEK_END:
      target += file->Length();
      break;
    default:
      return -1;
  }
  return file->Seek(target) ? target : -1;
}

int64_t SeekWritten(void* opaque, int64_t offset, int whence) {
  return SeekFile(static_cast<WrittenFile*>(opaque)->file, offset, whence);
}

// An I/O context over our own file: reading when `read` is given, else writing.
IoPtr MakeIo(void* opaque, int (*read)(void*, uint8_t*, int), decltype(&WritePacket) write,
             int64_t (*seek)(void*, int64_t, int)) {
  auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
  if (!buffer) return nullptr;
  AVIOContext* io = avio_alloc_context(buffer, kIoBufferBytes, write ? 1 : 0, opaque, read, write, seek);
  if (!io) av_free(buffer);
  return IoPtr(io);
}

struct EncoderEntry {
  const char* code;
  AVCodecID id;
  const char* name;
};
constexpr EncoderEntry kEncoders[] = {
    {"iyuv", AV_CODEC_ID_RAWVIDEO, "Intel IYUV"}, {"i420", AV_CODEC_ID_RAWVIDEO, "Intel I420"},
    {"divx", AV_CODEC_ID_MPEG4, "DivX"},          {"xvid", AV_CODEC_ID_MPEG4, "Xvid"},
    {"cvid", AV_CODEC_ID_CINEPAK, "Cinepak"},
};

struct ReadableEntry {
  const char* code;
  AVCodecID id;
};
constexpr ReadableEntry kReadable[] = {
    {"DIB ", AV_CODEC_ID_RAWVIDEO}, {"I420", AV_CODEC_ID_RAWVIDEO}, {"IYUV", AV_CODEC_ID_RAWVIDEO},
    {"YV12", AV_CODEC_ID_RAWVIDEO}, {"UYVY", AV_CODEC_ID_RAWVIDEO}, {"YUY2", AV_CODEC_ID_RAWVIDEO},
    {"XVID", AV_CODEC_ID_MPEG4},    {"DIVX", AV_CODEC_ID_MPEG4},    {"DX50", AV_CODEC_ID_MPEG4},
    {"FMP4", AV_CODEC_ID_MPEG4},    {"MJPG", AV_CODEC_ID_MJPEG},    {"HFYU", AV_CODEC_ID_HUFFYUV},
    {"cvid", AV_CODEC_ID_CINEPAK},  {"IV41", AV_CODEC_ID_INDEO4},   {"IV50", AV_CODEC_ID_INDEO5},
};

// The codec library's own chatter about damaged streams is not the program's to
// show: a file that cannot be read gets our message instead.
void QuietLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::vector<CodecInfo> OfferedEncoders() {
  std::vector<CodecInfo> list;
  for (const EncoderEntry& e : kEncoders) {
    const AVCodec* codec = avcodec_find_encoder(e.id);
    if (!codec) continue;
    list.push_back({e.code, e.name, codec->long_name ? codec->long_name : codec->name, codec->name});
  }
  return list;
}

std::optional<CodecInfo> FindEncoder(const std::string& code) {
  for (CodecInfo& info : OfferedEncoders()) {
    if (info.code == Lower(code)) return info;
  }
  return std::nullopt;
}

std::vector<CodecInfo> ReadableCodecs() {
  std::vector<CodecInfo> list;
  for (const ReadableEntry& e : kReadable) {
    const AVCodec* codec = avcodec_find_decoder(e.id);
    if (!codec) continue;
    list.push_back({e.code, codec->name, codec->long_name ? codec->long_name : codec->name, codec->name});
  }
  return list;
}

namespace {

std::string LibraryVersion(const char* name, unsigned version) {
  return std::string(name) + " " + std::to_string(AV_VERSION_MAJOR(version)) + "." +
         std::to_string(AV_VERSION_MINOR(version)) + "." + std::to_string(AV_VERSION_MICRO(version));
}

}  // namespace

std::string CodecLibraryVersions() {
  return std::string("FFmpeg ") + av_version_info() + " (" +
         LibraryVersion("libavformat", avformat_version()) + ", " +
         LibraryVersion("libavcodec", avcodec_version()) + ", " +
         LibraryVersion("libavutil", avutil_version()) + ", " +
         LibraryVersion("libswscale", swscale_version()) + ")";
}

// ---------------------------------------------------------------- reading

namespace {

// A jump this far ahead at most decodes on instead of seeking (the key frame
// interval of the files we write).
constexpr int64_t kDecodeOnAtMost = kKeyFrameEvery;
// Packets a decoder may take in before it outputs a picture it has read: the
// longest reordering of H.264 and one packet for each frame thread, with room.
constexpr int64_t kMostDelay = 64;

uint32_t Le32(const uint8_t* p) {
  return p[0] | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// The picture size of the main AVI header ("avih", first in the header list),
// when the file has one in its usual place; 0 x 0 otherwise.
PictureSize MainHeaderSize(const RawFile& file) {
  uint8_t h[72];
  if (file.ReadAt(0, h, sizeof h) != static_cast<int64_t>(sizeof h)) return {};
  if (std::memcmp(h, "RIFF", 4) != 0 || std::memcmp(h + 8, "AVI ", 4) != 0 ||
      std::memcmp(h + 12, "LIST", 4) != 0 || std::memcmp(h + 20, "hdrl", 4) != 0 ||
      std::memcmp(h + 24, "avih", 4) != 0 || Le32(h + 28) < 40)
    return {};
  const uint32_t w = Le32(h + 64), hgt = Le32(h + 68);
  // A size beyond 32 bits signed is no size any stream can have: it disagrees.
  return {static_cast<int32_t>(std::min<uint32_t>(w, INT32_MAX)),
          static_cast<int32_t>(std::min<uint32_t>(hgt, INT32_MAX))};
}

}  // namespace

// Frames are counted in the order the decoder outputs them, which is the order
// they are shown: AVI keeps no presentation times, and with B-frames the packets
// come in another order (an I-frame may even be read before the B-frames shown
// just before it). Each packet sent is tagged with its index in the stream (its
// pts, which the decoder carries over to the picture), so after a seek the key
// frame's own picture is known among the pictures the decoder outputs.
struct AviReader::State {
  RawFile file;
  IoPtr io;
  AVFormatContext* format = nullptr;  // closed with avformat_close_input
  int stream = -1;
  bool reorders = false;  // the codec may output pictures in another order than it reads them
  CodecPtr decoder;
  FramePtr frame{av_frame_alloc()};
  PacketPtr packet{av_packet_alloc()};
  std::unique_ptr<SwsContext, ScaleFree> scale;
  FrameBuffer samples, canonical;  // a YUV frame's planes, and its packed 4:4:4
  FrameBuffer scaled;              // the library's conversion to blue-first rows
  int64_t held = -1;               // the frame (from 0) in `frame`; -1 for none
  int64_t nextShown = 0;           // the frame the decoder outputs next; -1 when not known
  int64_t lastRead = -1;           // the index of the last packet read
  bool pending = false;            // `packet` holds the key frame a seek found, not sent yet
  bool drained = false;
  std::map<int64_t, int64_t> keyShown;  // a key frame's packet index -> its frame
  std::optional<PictureSize> firstSize;

  ~State() {
    if (format) avformat_close_input(&format);
  }
  AVStream* Stream() const { return format->streams[stream]; }

  // The next packet of the stream into `packet`, tagged; false at the end.
  bool ReadPacket() {
    for (;;) {
      if (av_read_frame(format, packet.get()) < 0) return false;
      if (packet->stream_index == stream) break;
      av_packet_unref(packet.get());
    }
    lastRead = packet->dts != AV_NOPTS_VALUE ? packet->dts : lastRead + 1;
    packet->pts = lastRead;
    return true;
  }

  // The next picture the decoder outputs into `frame`; false at the end or on a failure.
  bool DecodeNext() {
    held = -1;
    for (;;) {
      const int got = avcodec_receive_frame(decoder.get(), frame.get());
      if (got == 0) return true;
      if (got != AVERROR(EAGAIN) || drained) return false;
      if (!pending && !ReadPacket()) {
        // The end: the pictures the decoder still holds come out after a null packet.
        drained = true;
        if (avcodec_send_packet(decoder.get(), nullptr) < 0) return false;
        continue;
      }
      pending = false;
      const int sent = avcodec_send_packet(decoder.get(), packet.get());
      av_packet_unref(packet.get());
      if (sent < 0 && sent != AVERROR_INVALIDDATA) return false;
    }
  }

  int64_t Tag() const { return frame->pts; }

  void Forget() {
    avcodec_flush_buffers(decoder.get());
    av_packet_unref(packet.get());
    av_frame_unref(frame.get());
    held = nextShown = -1;
    pending = drained = false;
  }

  // Seeks to the last key frame at or before packet `target`; its index, read
  // and not yet sent. Nullopt when there is none.
  std::optional<int64_t> SeekKey(int64_t target) {
    Forget();
    if (target < 0 || av_seek_frame(format, stream, target, AVSEEK_FLAG_BACKWARD) < 0 || !ReadPacket())
      return std::nullopt;
    if (lastRead > target) return std::nullopt;
    pending = true;
    return lastRead;
  }

  // Back to the stream's first packet, counting from frame 0.
  bool StartOver() {
    Forget();
    if (av_seek_frame(format, stream, 0, AVSEEK_FLAG_ANY) < 0 &&
        av_seek_frame(format, stream, 0, AVSEEK_FLAG_BACKWARD) < 0)
      return false;
    nextShown = 0;
    return true;
  }

  // Decodes on to the picture of packet `key`, dropping the ones before it (a
  // key frame's leading pictures, which need what was before the seek). A
  // decoder that tags no picture gives the key frame's picture first.
  bool PictureOf(int64_t key) {
    for (;;) {
      if (!DecodeNext()) return false;
      if (Tag() == key || Tag() == AV_NOPTS_VALUE) return true;
      if (lastRead > key + kMostDelay) return false;
    }
  }

  // The frame of the key frame at packet `key`, found by decoding from the key
  // frame before it (or from the start): the packets before `key` are the
  // frames before it, and so are the pictures read after it but output before
  // it. On success the decoder holds the key frame's picture.
  std::optional<int64_t> LearnKey(int64_t key) {
    const auto before = SeekKey(key - 1);
    if (before ? !PictureOf(*before) : (!StartOver() || !DecodeNext())) return std::nullopt;
    // `frame` holds the earlier key frame's picture, or frame 0.
    for (int64_t count = 0, leading = 0;; ++count) {
      if (Tag() == key) return before ? key + leading : count;
      if (Tag() != AV_NOPTS_VALUE && Tag() > key) ++leading;
      if (lastRead > key + kMostDelay || !DecodeNext()) return std::nullopt;
    }
  }

  // Makes the decoder output frame n next or hold it, starting from the key frame
  // before it: from the file's start when no key frame can be placed.
  bool Locate(int64_t n) {
    for (int64_t target = n;;) {
      const auto key = SeekKey(target);
      if (!key) return StartOver();
      const auto known = keyShown.find(*key);
      if (known == keyShown.end() && reorders) {
        const auto shown = LearnKey(*key);
        if (!shown) return StartOver();
        keyShown[*key] = *shown;
        if (*shown <= n) {
          held = *shown;
          nextShown = held + 1;
          return true;
        }
      } else {
        // Without reordering, the key frame's packet index is its frame.
        const int64_t shown = known != keyShown.end() ? known->second : *key;
        if (shown <= n) {
          if (!PictureOf(*key)) return StartOver();
          held = shown;
          nextShown = held + 1;
          return true;
        }
      }
      // Frame n is shown before the key frame though read after it: the key frame before.
      target = *key - 1;
    }
  }

  bool KeyPicture() const {
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(58, 7, 100)
    return (frame->flags & AV_FRAME_FLAG_KEY) != 0;
#else
    return frame->key_frame != 0;
#endif
  }

  // Decodes frame `n` (from 0) into `frame`. A first read past frame 0 starts from
  // the key frame before it, as a jump does.
  bool DecodeTo(int64_t n) {
    if (held == n) return true;
    const bool fresh = lastRead < 0 && n > 0;
    if (fresh || nextShown < 0 || n < nextShown || n > nextShown + kDecodeOnAtMost) {
      if (!Locate(n)) return false;
      if (held == n) return true;
    }
    for (;;) {
      if (!DecodeNext()) return false;
      const int64_t shown = nextShown++;
      if (KeyPicture() && Tag() != AV_NOPTS_VALUE) keyShown.emplace(Tag(), shown);
      if (shown == n) {
        held = n;
        return true;
      }
    }
  }
};

AviReader::AviReader(std::unique_ptr<State> state) : s_(std::move(state)) {}
AviReader::~AviReader() = default;
AviReader::AviReader(AviReader&&) noexcept = default;
AviReader& AviReader::operator=(AviReader&&) noexcept = default;

std::optional<AviReader> AviReader::Open(const std::string& path, OpenFailure& failure) {
  QuietLibrary();
  failure = OpenFailure::CannotOpen;
  auto state = std::make_unique<State>();
  auto file = RawFile::OpenRead(path);
  if (!file || !state->frame || !state->packet) return std::nullopt;
  state->file = std::move(*file);
  state->io = MakeIo(&state->file, ReadPacket, nullptr, SeekFile);
  AVFormatContext* format = avformat_alloc_context();
  if (!state->io || !format) {
    avformat_free_context(format);
    return std::nullopt;
  }
  format->pb = state->io.get();
  format->flags |= AVFMT_FLAG_CUSTOM_IO;
  // Only AVI files; the header alone describes the streams.
  if (avformat_open_input(&format, nullptr, av_find_input_format("avi"), nullptr) < 0) return std::nullopt;
  state->format = format;
  failure = OpenFailure::NoDecodableStream;
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
      state->stream = static_cast<int>(i);
      break;
    }
  }
  if (state->stream < 0) return std::nullopt;
  const AVCodecParameters* par = state->Stream()->codecpar;
  if (par->width <= 0 || par->height <= 0 || !avcodec_find_decoder(par->codec_id)) return std::nullopt;
  // The sizes are only claims until a picture is decoded, and some codecs take
  // them as they are: a damaged header must cost no more than a real picture.
  failure = OpenFailure::HeadersDisagree;
  const PictureSize main = MainHeaderSize(state->file);
  int videoStreams = 0;
  for (unsigned i = 0; i < format->nb_streams; ++i)
    videoStreams += format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO ? 1 : 0;
  if (videoStreams == 1 && main.width > 0 && main.height > 0 &&
      (main.width != par->width || main.height != par->height))
    return std::nullopt;
  failure = OpenFailure::PictureTooLarge;
  if (par->width > kMaxAviSide || par->height > kMaxAviSide ||
      !WorkBufferSizeSupported(par->width, par->height))
    return std::nullopt;
  const AVCodecDescriptor* descriptor = avcodec_descriptor_get(par->codec_id);
  state->reorders = !descriptor || (descriptor->props & AV_CODEC_PROP_REORDER) != 0;
  failure = OpenFailure::StreamLength;
  if (state->Stream()->nb_frames < 0) return std::nullopt;
  failure = OpenFailure::None;
  return AviReader(std::move(state));
}

int32_t AviReader::Width() const {
  return s_->Stream()->codecpar->width;
}
int32_t AviReader::Height() const {
  return s_->Stream()->codecpar->height;
}
int64_t AviReader::Length() const {
  return s_->Stream()->nb_frames;
}
uint32_t AviReader::Handler() const {
  return s_->Stream()->codecpar->codec_tag;
}

bool AviReader::OpenDecoder() {
  if (s_->decoder) return true;
  const AVCodecParameters* par = s_->Stream()->codecpar;
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  if (!codec) return false;
  CodecPtr context(avcodec_alloc_context3(codec));
  if (!context || avcodec_parameters_to_context(context.get(), par) < 0) return false;
  context->thread_count = 0;  // as many as the machine has
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return false;
  s_->decoder = std::move(context);
  return true;
}

namespace {

// The program's own layout of a decoded frame's samples, when it has one.
std::optional<ImageFormat> SampleLayout(int pixelFormat, int32_t width, int32_t height) {
  ImageFormat f{.SamplingFormat = YUV_420,
                .ComponentOrder = YUV,
                .FieldFormat = Progressive,
                .PixelFormat = Planar,
                .ImageResolution = kCustomResolution,
                .ImgWidth = width,
                .ImgHeight = height};
  switch (pixelFormat) {
    case AV_PIX_FMT_YUV420P:
    case AV_PIX_FMT_YUVJ420P:
      break;
    case AV_PIX_FMT_YUV422P:
    case AV_PIX_FMT_YUVJ422P:
      f.SamplingFormat = YUV_422;
      break;
    case AV_PIX_FMT_YUV444P:
    case AV_PIX_FMT_YUVJ444P:
      f.SamplingFormat = YUV_444;
      break;
    case AV_PIX_FMT_YUYV422:
      f.SamplingFormat = YUV_422;
      f.PixelFormat = Packed;
      break;
    case AV_PIX_FMT_UYVY422:
      f.SamplingFormat = YUV_422;
      f.ComponentOrder = UYV;
      f.PixelFormat = Packed;
      break;
    case AV_PIX_FMT_GRAY8:
      f.SamplingFormat = MONO;
      break;
    default:
      return std::nullopt;
  }
  // Whole chroma pairs only; anything else takes the library's conversion.
  if (f.SamplingFormat == YUV_422 || f.SamplingFormat == YUV_420) {
    if (width % 2 != 0 || (f.SamplingFormat == YUV_420 && height % 2 != 0)) return std::nullopt;
  }
  return f;
}

// Copies the planes of `frame` one after the other into `samples` (rows without padding).
void GatherPlanes(const AVFrame* frame, const ImageFormat& layout, uint8_t* samples) {
  const int32_t w = layout.ImgWidth, h = layout.ImgHeight;
  struct Plane {
    int64_t rowBytes, rows;
  };
  std::vector<Plane> planes;
  if (layout.PixelFormat == Packed) {
    planes = {{2 * int64_t{w}, h}};
  } else if (layout.SamplingFormat == MONO) {
    planes = {{w, h}};
  } else {
    const int64_t cw = layout.SamplingFormat == YUV_444 ? w : w / 2;
    const int64_t ch = layout.SamplingFormat == YUV_420 ? h / 2 : h;
    planes = {{w, h}, {cw, ch}, {cw, ch}};
  }
  for (size_t p = 0; p < planes.size(); ++p) {
    for (int64_t r = 0; r < planes[p].rows; ++r) {
      std::memcpy(samples, frame->data[p] + r * frame->linesize[p], static_cast<size_t>(planes[p].rowBytes));
      samples += planes[p].rowBytes;
    }
  }
}

}  // namespace

bool AviReader::ConvertSamples(const ColourTables& colours, const BgrRows& rows) {
  const AVFrame* f = s_->frame.get();
  const int32_t w = Width(), h = Height();
  const auto layout = SampleLayout(f->format, w, h);
  if (!layout) return false;
  const bool padded = rows.stride == DisplayRowPitch(w, true) && rows.stride != 3 * int64_t{w};
  if (rows.stride != 3 * int64_t{w} && !padded) return false;
  const int64_t canonicalBytes = 3 * int64_t{w} * h;
  if (s_->samples.size() < canonicalBytes && !s_->samples.Allocate(canonicalBytes)) return false;
  if (s_->canonical.size() < canonicalBytes && !s_->canonical.Allocate(canonicalBytes)) return false;
  FrameImage samples = s_->samples.Frame(*layout);
  GatherPlanes(f, *layout, samples.Data);
  FrameImage canonical = s_->canonical.Frame(*layout);
  SetCanonicalHeader(canonical, w, h);
  if (!ToCanonical444(samples, canonical)) return false;
  return ConvertToDisplayRGB(
      colours, std::span<const uint8_t>(canonical.Data, static_cast<size_t>(canonicalBytes)),
      std::span<uint8_t>(rows.data, static_cast<size_t>(rows.stride * h)), w, h,
      DisplayRowsOptions{.bottomUp = rows.bottomUp, .swapRedBlue = true, .padRows = padded});
}

namespace {

uint8_t* RowStart(const BgrRows& rows, int64_t r, int32_t height) {
  return rows.data + (rows.bottomUp ? height - 1 - r : r) * rows.stride;
}

bool CopyBgrRows(const AVFrame& frame, const BgrRows& rows, int32_t w, int32_t h) {
  const auto used = static_cast<size_t>(3 * int64_t{w});
  for (int64_t r = 0; r < h; ++r) {
    uint8_t* out = RowStart(rows, r, h);
    std::memcpy(out, frame.data[0] + r * frame.linesize[0], used);
    std::memset(out + used, 0, static_cast<size_t>(rows.stride) - used);
  }
  return true;
}

}  // namespace

std::optional<PictureSize> AviReader::DecodedSize() {
  if (!s_->firstSize && s_->decoder && Length() > 0 && s_->DecodeTo(0))
    s_->firstSize = PictureSize{s_->frame->width, s_->frame->height};
  return s_->firstSize;
}

bool AviReader::ReadFrame(int64_t n, const BgrRows& rows, const ColourTables& colours) {
  if (!s_->decoder || n < 1 || n > Length() || !rows.data || rows.stride < 3 * int64_t{Width()}) return false;
  if (!s_->DecodeTo(n - 1)) return false;
  const AVFrame* f = s_->frame.get();
  const int w = Width(), h = Height();
  if (f->width != w || f->height != h) return false;
  // YUV samples are read as the program reads a raw file of them: its own layouts
  // and colour formula, so a YUV AVI and the raw frames it holds look alike.
  if (ConvertSamples(colours, rows)) return true;
  return f->format == AV_PIX_FMT_BGR24 ? CopyBgrRows(*f, rows, w, h) : ScaleToBgr(rows);
}

// The library's conversion writes whole vector words and can run past the end of
// a row, so it fills a picture of its own with room to spare, copied row by row.
bool AviReader::ScaleToBgr(const BgrRows& rows) {
  const AVFrame* f = s_->frame.get();
  const int32_t w = Width(), h = Height();
  s_->scale.reset(sws_getCachedContext(s_->scale.release(), w, h, static_cast<AVPixelFormat>(f->format), w, h,
                                       AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr));
  if (!s_->scale) return false;
  constexpr int64_t kSpare = 64;
  const int64_t pitch = (3 * int64_t{w} + kSpare - 1) / kSpare * kSpare + kSpare;
  const int64_t bytes = pitch * (int64_t{h} + 1);
  if (s_->scaled.size() < bytes && !s_->scaled.Allocate(bytes)) return false;
  uint8_t* planes[4] = {s_->scaled.data(), nullptr, nullptr, nullptr};
  int strides[4] = {static_cast<int>(pitch), 0, 0, 0};
  if (sws_scale(s_->scale.get(), f->data, f->linesize, 0, h, planes, strides) != h) return false;
  const auto used = static_cast<size_t>(3 * int64_t{w});
  for (int64_t r = 0; r < h; ++r) {
    uint8_t* out = RowStart(rows, r, h);
    std::memcpy(out, s_->scaled.data() + r * pitch, used);
    std::memset(out + used, 0, static_cast<size_t>(rows.stride) - used);
  }
  return true;
}

// ---------------------------------------------------------------- writing

struct AviWriter::Codec {
  WrittenFile written;
  IoPtr io;
  std::unique_ptr<AVFormatContext, FormatContextFree> format;
  CodecPtr encoder;  // none for raw 4:2:0: the frames are the packets
  AVStream* stream = nullptr;
  FramePtr frame{av_frame_alloc()};
  PacketPtr packet{av_packet_alloc()};
  FrameBuffer yuv, planar;
  int32_t width = 0, height = 0;
  int64_t index = 0;
  bool headerWritten = false;
};

AviWriter::AviWriter(RawFile& target, std::string code, std::shared_ptr<const ColourTables> colours,
                     ScreenSize screen)
    : target_(target), code_(std::move(code)), colours_(std::move(colours)), screen_(screen) {}

AviWriter::~AviWriter() {
  Release();
}

void AviWriter::Release() {
  c_.reset();
  state_ = State::NotCreated;
}

bool AviWriter::Create(int32_t width, int32_t height, std::string& error) {
  auto fail = [&](const char* text) {
    error = text;
    Release();
    return false;
  };
  QuietLibrary();
  const auto offered = FindEncoder(code_);
  if (!offered || code_.size() != 4) return fail("Error AVIF2006: Unable to make compressed stream");
  c_ = std::make_unique<Codec>();
  c_->width = width;
  c_->height = height;
  const int64_t pitch = (3 * int64_t{width} + 3) / 4 * 4;
  if (!c_->frame || !c_->packet || !c_->yuv.Allocate(3 * int64_t{width} * height) ||
      !c_->planar.Allocate(pitch * height))
    return fail("Error AVIF2003: Unable to allocate heap");
  c_->written.file = &target_;
  c_->io = MakeIo(&c_->written, nullptr, WritePacket, SeekWritten);
  AVFormatContext* format = nullptr;
  if (!c_->io || avformat_alloc_output_context2(&format, nullptr, "avi", nullptr) < 0 || !format)
    return fail("Error AVIF2004: Unable to open the AVI file");
  c_->format.reset(format);
  format->pb = c_->io.get();
  format->flags |= AVFMT_FLAG_CUSTOM_IO;
  c_->stream = avformat_new_stream(format, nullptr);
  if (!c_->stream) return fail("Error AVIF2005: Unable to create stream");
  c_->stream->time_base = AVRational{1, kFramesPerSecond};
  c_->stream->avg_frame_rate = AVRational{kFramesPerSecond, 1};
  av_dict_set(&c_->stream->metadata, "title", "Video Stream", 0);
  AVCodecParameters* par = c_->stream->codecpar;
  // The format's code in the form readers know (the handler is written as typed
  // when the file is finished).
  std::string canonical = code_;
  for (char& ch : canonical) {
    ch = static_cast<char>(offered->code == "cvid" ? std::tolower(static_cast<unsigned char>(ch))
                                                   : std::toupper(static_cast<unsigned char>(ch)));
  }
  const uint32_t tag = FourccFromText(canonical);
  if (offered->driver == "rawvideo") {
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->codec_id = AV_CODEC_ID_RAWVIDEO;
    par->format = AV_PIX_FMT_YUV420P;
    par->bits_per_coded_sample = 12;
  } else {
    const AVCodec* codec = avcodec_find_encoder_by_name(offered->driver.c_str());
    CodecPtr encoder(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!encoder) return fail("Error AVIF2006: Unable to make compressed stream");
    encoder->width = width;
    encoder->height = height;
    encoder->time_base = AVRational{1, kFramesPerSecond};
    encoder->framerate = AVRational{kFramesPerSecond, 1};
    encoder->gop_size = kKeyFrameEvery;
    encoder->codec_tag = tag;
    encoder->pix_fmt = codec->id == AV_CODEC_ID_CINEPAK ? AV_PIX_FMT_RGB24 : AV_PIX_FMT_YUV420P;
    if (avcodec_open2(encoder.get(), codec, nullptr) < 0 ||
        avcodec_parameters_from_context(par, encoder.get()) < 0)
      return fail("Error AVIF2006: Unable to make compressed stream");
    c_->encoder = std::move(encoder);
  }
  par->codec_tag = tag;
  par->width = width;
  par->height = height;
  if (avformat_write_header(format, nullptr) < 0)
    return fail("Error AVIF2007: Error when calling AVIStreamSetFormat, please try to use other codec.");
  c_->headerWritten = true;
  state_ = State::Created;
  return true;
}

bool AviWriter::AddFrame(const uint8_t* rows, int32_t width, int32_t height, std::string& error) {
  if (state_ == State::NotCreated) {
    error = "Error AVIF2004: Unable to open the AVI file";
    return false;
  }
  if (state_ == State::ReadyToCreate && !Create(width, height, error)) return false;
  if (width != c_->width || height != c_->height) {
    error = "Error TAVI1030:  YUV can not be converted to AVI!\n";
    Release();
    return false;
  }
  return Encode(rows, error);
}

bool AviWriter::Encode(const uint8_t* rows, std::string& error) {
  Codec& c = *c_;
  const int32_t w = c.width, h = c.height;
  const int64_t pitch = (3 * int64_t{w} + 3) / 4 * 4;
  const bool rgb = c.encoder && c.encoder->pix_fmt == AV_PIX_FMT_RGB24;
  AVFrame* f = c.frame.get();
  if (rgb) {
    // Top-down R G B rows from the bottom-up B G R picture.
    uint8_t* out = c.planar.data();
    for (int32_t r = 0; r < h; ++r) {
      const uint8_t* in = rows + (h - 1 - r) * pitch;
      uint8_t* o = out + r * 3 * int64_t{w};
      for (int32_t x = 0; x < w; ++x) {
        o[3 * x] = in[3 * x + 2];
        o[3 * x + 1] = in[3 * x + 1];
        o[3 * x + 2] = in[3 * x];
      }
    }
    av_image_fill_arrays(f->data, f->linesize, out, AV_PIX_FMT_RGB24, w, h, 1);
  } else {
    // 4:2:0 with the program's own colour formula: to packed 4:4:4, then planar 4:2:0.
    if (!RgbBufferToYuv(*colours_, std::span<const uint8_t>(rows, static_cast<size_t>(pitch * h)),
                        std::span<uint8_t>(c.yuv.data(), static_cast<size_t>(c.yuv.size())), w, h,
                        RgbRowsLayout{.bottomUp = true, .bgr = true, .alignedRows = true})) {
      error = "Error TAVI1030:  YUV can not be converted to AVI!\n";
      return false;
    }
    FrameImage canonical = c.yuv.Frame(ImageFormat{});
    SetCanonicalHeader(canonical, w, h);
    FrameImage i420 = c.planar.Frame(ImageFormat{.SamplingFormat = YUV_420,
                                                 .ComponentOrder = YUV,
                                                 .FieldFormat = Progressive,
                                                 .PixelFormat = Planar,
                                                 .ImageResolution = kCustomResolution,
                                                 .ImgWidth = w,
                                                 .ImgHeight = h});
    ComputeFrameSize(i420);
    if (!FromCanonical444(canonical, i420)) {
      error = "Error TAVI1030:  YUV can not be converted to AVI!\n";
      return false;
    }
    if (!c.encoder) {
      // Raw 4:2:0: the frame is the packet, written straight from our buffer (one
      // stream needs no interleaving, so nothing is copied or allocated).
      AVPacket* p = c.packet.get();
      av_packet_unref(p);
      p->data = i420.Data;
      p->size = static_cast<int>(i420.DataSize);
      p->stream_index = c.stream->index;
      p->pts = p->dts = c.index++;
      p->duration = 1;
      p->flags |= AV_PKT_FLAG_KEY;
      av_packet_rescale_ts(p, AVRational{1, kFramesPerSecond}, c.stream->time_base);
      const int written = av_write_frame(c.format.get(), p);
      p->data = nullptr;
      p->size = 0;
      if (written < 0) {
        error = "Error AVIF2004: Unable to open the AVI file";
        return false;
      }
      return true;
    }
    av_image_fill_arrays(f->data, f->linesize, i420.Data, AV_PIX_FMT_YUV420P, w, h, 1);
  }
  f->format = c.encoder->pix_fmt;
  f->width = w;
  f->height = h;
  f->pts = c.index++;
  if (avcodec_send_frame(c.encoder.get(), f) < 0 || !Drain()) {
    error = "Error AVIF2006: Unable to make compressed stream";
    return false;
  }
  return true;
}

bool AviWriter::Drain() {
  Codec& c = *c_;
  for (;;) {
    const int got = avcodec_receive_packet(c.encoder.get(), c.packet.get());
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
    if (got < 0) return false;
    c.packet->stream_index = c.stream->index;
    av_packet_rescale_ts(c.packet.get(), c.encoder->time_base, c.stream->time_base);
    if (av_interleaved_write_frame(c.format.get(), c.packet.get()) < 0) return false;
  }
}

bool AviWriter::Close() {
  if (state_ != State::Created || !c_) {
    Release();
    return false;
  }
  bool ok = true;
  if (c_->encoder) ok = avcodec_send_frame(c_->encoder.get(), nullptr) >= 0 && Drain();
  ok = av_write_trailer(c_->format.get()) >= 0 && ok;
  avio_flush(c_->io.get());
  ok = ok && c_->io->error == 0;
  // The stream header as the library does not write it: the handler as the user
  // typed it, the flags, and the heap size as the suggested buffer size.
  const int64_t at = c_->written.handlerOffset;
  ok = ok && at > 0 && target_.Seek(at) && target_.Write(code_.data(), 4);
  ok = ok && WriteDwordAt(target_, at + kStreamFlagsAfterHandler, kVideoStreamFlags);
  const int64_t heap = WriterHeapBytes(c_->width, c_->height, screen_);
  ok = ok &&
       WriteDwordAt(target_, at + kBufferSizeAfterHandler,
                    static_cast<uint32_t>(std::min<int64_t>(heap, std::numeric_limits<uint32_t>::max())));
  Release();
  return ok;
}

}  // namespace vx::avi
