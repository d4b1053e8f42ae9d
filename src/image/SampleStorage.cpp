#include "image/SampleStorage.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "image/KernelPaths.h"
#include "image/LayoutGeometry.h"
#include "image/PixelOps.h"
#include "platform/StringFormat.h"

namespace vx {
namespace {

// Where the samples of one component of one field lie.
struct ComponentRows {
  int64_t offset = 0;  // bytes from the start of the frame
  int64_t pitch = 0;   // bytes from one row to the next
  int64_t width = 0;   // samples per row
  int64_t rows = 0;
  int step = 1;  // samples from one of this component's samples to the next
};

// How one sample is stored.
struct SampleCoding {
  int bytes = 1;
  int shift = 0;  // the value's position in a 16-bit word (semi-planar: the high bits)
  int bits = 8;
};

SampleCoding CodingOf(const ImageFormat& f) {
  const bool deep = f.BitsPerSample > 8;
  return {.bytes = deep ? 2 : 1,
          .shift = deep && f.PixelFormat == SemiPlanar ? 16 - f.BitsPerSample : 0,
          .bits = f.BitsPerSample};
}

// The components of field `field` in logical order Y, U, V (mono: Y only).
int ComponentsOf(const ImageFormat& format, int field, std::array<ComponentRows, 3>& out) {
  FrameImage samples;  // the layout in samples: planar, one byte each
  static_cast<ImageFormat&>(samples) = format;
  samples.PixelFormat = format.SamplingFormat == MONO ? format.PixelFormat : Planar;
  samples.BitsPerSample = 8;
  ComputeFrameSize(samples);
  const geometry::PlanarPicture p = geometry::PlanarField(samples, field);
  const int64_t bytes = SampleBytes(format);
  auto rows = [bytes](const geometry::Plane& plane, int64_t pitch, int step) {
    return ComponentRows{.offset = plane.offset * bytes,
                         .pitch = pitch * bytes,
                         .width = plane.width,
                         .rows = plane.rows,
                         .step = step};
  };
  if (format.SamplingFormat == MONO) {
    out[0] = rows(p.plane[0], p.plane[0].width, 1);
    return 1;
  }
  if (format.PixelFormat == SemiPlanar) {
    const geometry::Plane& chroma = p.plane[1];
    const int64_t pitch = 2 * chroma.width;
    geometry::Plane second = chroma;
    second.offset += 1;
    const bool uFirst = format.ComponentOrder == YUV;
    out[0] = rows(p.plane[0], p.plane[0].width, 1);
    out[1] = rows(uFirst ? chroma : second, pitch, 2);
    out[2] = rows(uFirst ? second : chroma, pitch, 2);
    return 3;
  }
  // Planar: storage order by component order.
  static constexpr std::array<std::array<int, 3>, 3> kPlaneOf = {{{0, 1, 2}, {0, 2, 1}, {1, 0, 2}}};
  const auto& planeOf = kPlaneOf[static_cast<size_t>(std::clamp(format.ComponentOrder, 0, 2))];
  for (int c = 0; c < 3; ++c) out[c] = rows(p.plane[planeOf[c]], p.plane[planeOf[c]].width, 1);
  return 3;
}

void LoadRow(const uint8_t* in, int64_t n, int step, const SampleCoding& c, uint16_t* out) {
  if (c.bytes == 1) {
    if (step == 1) {
      for (int64_t i = 0; i < n; ++i) out[i] = in[i];
    } else {
      for (int64_t i = 0; i < n; ++i) out[i] = in[2 * i];
    }
    return;
  }
  const int64_t stride = 2 * step;
  for (int64_t i = 0; i < n; ++i) {
    out[i] = static_cast<uint16_t>((in[stride * i] | in[stride * i + 1] << 8) >> c.shift);
  }
}

void StoreRow(const uint16_t* in, int64_t n, int step, const SampleCoding& c, uint8_t* out) {
  if (c.bytes == 1) {
    if (step == 1) {
      for (int64_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(in[i]);
    } else {
      for (int64_t i = 0; i < n; ++i) out[2 * i] = static_cast<uint8_t>(in[i]);
    }
    return;
  }
  const int64_t stride = 2 * step;
  for (int64_t i = 0; i < n; ++i) {
    const uint32_t word = uint32_t{in[i]} << c.shift;
    out[stride * i] = static_cast<uint8_t>(word);
    out[stride * i + 1] = static_cast<uint8_t>(word >> 8);
  }
}

void ChangeDepth(uint16_t* v, int64_t n, int from, int to) {
  const uint32_t top = (1u << to) - 1;
  if (to > from) {
    const int s = to - from;
    for (int64_t i = 0; i < n; ++i) v[i] = static_cast<uint16_t>(std::min(uint32_t{v[i]} << s, top));
  } else if (to < from) {
    const int s = from - to;
    const uint32_t half = 1u << (s - 1);
    for (int64_t i = 0; i < n; ++i) v[i] = static_cast<uint16_t>(std::min((v[i] + half) >> s, top));
  } else if (to < 16) {
    for (int64_t i = 0; i < n; ++i) v[i] = static_cast<uint16_t>(std::min(uint32_t{v[i]}, top));
  }
}

// Samples of one depth moved from one packing to another without a row between:
// bytes, or words whose value moves between the low and the high bits.
template <int InStep, int OutStep>
[[gnu::always_inline]] inline void MoveBytes(const uint8_t* in, uint8_t* out, int64_t n) {
  for (int64_t i = 0; i < n; ++i) out[OutStep * i] = in[InStep * i];
}

template <int InStep, int OutStep>
[[gnu::always_inline]] inline void MoveWords(const uint8_t* in, int inShift, uint8_t* out, int outShift,
                                             uint16_t top, int64_t n) {
  for (int64_t i = 0; i < n; ++i) {
    uint16_t word;
    std::memcpy(&word, in + 2 * InStep * i, 2);
    const uint16_t value = std::min<uint16_t>(static_cast<uint16_t>(word >> inShift), top);
    word = static_cast<uint16_t>(value << outShift);
    std::memcpy(out + 2 * OutStep * i, &word, 2);
  }
}

void MoveRow(const uint8_t* in, int inStep, const SampleCoding& from, uint8_t* out, int outStep,
             const SampleCoding& to, int64_t n) {
  if (from.bytes == 1) {
    if (inStep == 1 && outStep == 1) {
      std::memcpy(out, in, static_cast<size_t>(n));
    } else if (inStep == 2 && outStep == 1) {
      KernelPaths<MoveBytes<2, 1>>::Pick()(in, out, n);
    } else if (inStep == 1) {
      KernelPaths<MoveBytes<1, 2>>::Pick()(in, out, n);
    } else {
      KernelPaths<MoveBytes<2, 2>>::Pick()(in, out, n);
    }
    return;
  }
  const auto top = static_cast<uint16_t>((1u << from.bits) - 1);
  if (inStep == 1 && outStep == 1) {
    KernelPaths<MoveWords<1, 1>>::Pick()(in, from.shift, out, to.shift, top, n);
  } else if (inStep == 2 && outStep == 1) {
    KernelPaths<MoveWords<2, 1>>::Pick()(in, from.shift, out, to.shift, top, n);
  } else if (inStep == 1) {
    KernelPaths<MoveWords<1, 2>>::Pick()(in, from.shift, out, to.shift, top, n);
  } else {
    KernelPaths<MoveWords<2, 2>>::Pick()(in, from.shift, out, to.shift, top, n);
  }
}

// Chroma pairs of one depth made from two planes, or two planes from pairs, in one
// pass over each row (the form the vectoriser turns into unpacks and shuffles).
// `pairs` is the semi-planar row; `first` and `second` the components in its order.
template <bool ToPairs, typename Sample>
[[gnu::always_inline]] inline void PairRow(uint8_t* pairs, uint8_t* first, uint8_t* second, int pairsShift,
                                           int planesShift, uint16_t top, int64_t n) {
  for (int64_t i = 0; i < n; ++i) {
    Sample a, b;
    if constexpr (ToPairs) {
      std::memcpy(&a, first + sizeof(Sample) * i, sizeof(Sample));
      std::memcpy(&b, second + sizeof(Sample) * i, sizeof(Sample));
      if constexpr (sizeof(Sample) == 2) {
        a = static_cast<Sample>(std::min<Sample>(static_cast<Sample>(a >> planesShift), top) << pairsShift);
        b = static_cast<Sample>(std::min<Sample>(static_cast<Sample>(b >> planesShift), top) << pairsShift);
      }
      std::memcpy(pairs + 2 * sizeof(Sample) * i, &a, sizeof(Sample));
      std::memcpy(pairs + 2 * sizeof(Sample) * i + sizeof(Sample), &b, sizeof(Sample));
    } else {
      std::memcpy(&a, pairs + 2 * sizeof(Sample) * i, sizeof(Sample));
      std::memcpy(&b, pairs + 2 * sizeof(Sample) * i + sizeof(Sample), sizeof(Sample));
      if constexpr (sizeof(Sample) == 2) {
        a = static_cast<Sample>(std::min<Sample>(static_cast<Sample>(a >> pairsShift), top) << planesShift);
        b = static_cast<Sample>(std::min<Sample>(static_cast<Sample>(b >> pairsShift), top) << planesShift);
      }
      std::memcpy(first + sizeof(Sample) * i, &a, sizeof(Sample));
      std::memcpy(second + sizeof(Sample) * i, &b, sizeof(Sample));
    }
  }
}

// Both chroma components of one depth between a semi-planar and a planar layout;
// false when the pair is not such (the components then go one at a time).
bool MoveChromaPairs(const FrameImage& source, const std::array<ComponentRows, 3>& a,
                     const SampleCoding& from, FrameImage& destination, const std::array<ComponentRows, 3>& b,
                     const SampleCoding& to) {
  const bool toPairs = a[1].step == 1 && b[1].step == 2;
  const bool fromPairs = a[1].step == 2 && b[1].step == 1;
  if (from.bits != to.bits || !(toPairs || fromPairs)) return false;
  const std::array<ComponentRows, 3>& pairRows = toPairs ? b : a;
  const std::array<ComponentRows, 3>& planeRows = toPairs ? a : b;
  // The component whose sample comes first in a pair.
  const int firstInPair = pairRows[1].offset < pairRows[2].offset ? 1 : 2;
  const int secondInPair = 3 - firstInPair;
  const SampleCoding& pairCoding = toPairs ? to : from;
  const SampleCoding& planeCoding = toPairs ? from : to;
  const auto top = static_cast<uint16_t>((1u << from.bits) - 1);
  uint8_t* pairsBase = (toPairs ? destination.Data : source.Data);
  uint8_t* planesBase = (toPairs ? source.Data : destination.Data);
  const ComponentRows& p = pairRows[static_cast<size_t>(firstInPair)];
  const ComponentRows& f = planeRows[static_cast<size_t>(firstInPair)];
  const ComponentRows& g = planeRows[static_cast<size_t>(secondInPair)];
  // The path is picked once per frame, not per row.
  using Row = void (*)(uint8_t*, uint8_t*, uint8_t*, int, int, uint16_t, int64_t);
  Row row;
  if (from.bytes == 1)
    row =
        toPairs ? KernelPaths<PairRow<true, uint8_t>>::Pick() : KernelPaths<PairRow<false, uint8_t>>::Pick();
  else
    row = toPairs ? KernelPaths<PairRow<true, uint16_t>>::Pick()
                  : KernelPaths<PairRow<false, uint16_t>>::Pick();
  const int pairsShift = from.bytes == 1 ? 0 : pairCoding.shift;
  const int planesShift = from.bytes == 1 ? 0 : planeCoding.shift;
  for (int64_t y = 0; y < p.rows; ++y) {
    row(pairsBase + p.offset + y * p.pitch, planesBase + f.offset + y * f.pitch,
        planesBase + g.offset + y * g.pitch, pairsShift, planesShift, top, p.width);
  }
  return true;
}

bool Fits(const ComponentRows& r, int bytes, int64_t size) {
  if (r.rows == 0 || r.width == 0) return true;
  const int64_t last = r.offset + (r.rows - 1) * r.pitch + ((r.width - 1) * r.step + 1) * bytes;
  return r.offset >= 0 && last <= size;
}

// The end of the last byte the layout uses in field `field`.
int64_t EndOf(const std::array<ComponentRows, 3>& rows, int count, int bytes) {
  int64_t end = 0;
  for (int c = 0; c < count; ++c) {
    const ComponentRows& r = rows[static_cast<size_t>(c)];
    if (r.rows > 0 && r.width > 0)
      end = std::max(end, r.offset + (r.rows - 1) * r.pitch + ((r.width - 1) * r.step + 1) * bytes);
  }
  return end;
}

}  // namespace

ImageFormat WorkingLayout(const ImageFormat& stored) {
  ImageFormat f = stored;
  if (f.PixelFormat == SemiPlanar) f.PixelFormat = Planar;
  f.BitsPerSample = 8;
  DeriveFourcc(f);
  return f;
}

std::optional<std::string> StoredLayoutRefusal(const ImageFormat& f) {
  if (!IsSupportedBitDepth(f.BitsPerSample)) {
    return StrFormat("Error FRMT1020: Samples of %d bits are not supported; choose 8, 10, 12 or 16 bits!\n",
                     f.BitsPerSample);
  }
  if (f.PixelFormat == SemiPlanar && !IsYuvSampling(f.SamplingFormat)) {
    return std::string(
        "Error FRMT1021: RGB, mono and BMP frames are never semi-planar; choose packed or planar!\n");
  }
  if (f.PixelFormat == SemiPlanar && f.ComponentOrder != YUV && f.ComponentOrder != YVU) {
    return std::string(
        "Error FRMT1022: Semi-planar chroma comes in the order YUV (U first) or YVU (V first)!\n");
  }
  if (f.BitsPerSample > 8 && ((f.PixelFormat == Packed && f.SamplingFormat != MONO) ||
                              !(IsYuvSampling(f.SamplingFormat) || f.SamplingFormat == MONO))) {
    return StrFormat("Error FRMT1023: Packed, RGB and BMP frames have 8-bit samples only, not %d!\n",
                     f.BitsPerSample);
  }
  return std::nullopt;
}

bool SamplesConvertible(const ImageFormat& a, const ImageFormat& b) {
  if (StoredLayoutRefusal(a) || StoredLayoutRefusal(b)) return false;
  if (a.ImgWidth != b.ImgWidth || a.ImgHeight != b.ImgHeight || a.FieldFormat != b.FieldFormat) return false;
  if (a.FieldFormat != Interlaced && a.FieldFormat != Progressive) return false;
  if (a.SamplingFormat == MONO || b.SamplingFormat == MONO) return a.SamplingFormat == b.SamplingFormat;
  if (a.SamplingFormat != b.SamplingFormat || !IsYuvSampling(a.SamplingFormat)) return false;
  auto unpacked = [](const ImageFormat& f) {
    if (f.PixelFormat == SemiPlanar) return true;
    if (f.PixelFormat != Planar) return false;
    return f.ComponentOrder == YUV || f.ComponentOrder == YVU ||
           (f.ComponentOrder == UYV && f.SamplingFormat == YUV_444);
  };
  return unpacked(a) && unpacked(b) && a.ImgWidth >= 1 && a.ImgHeight >= 1;
}

bool ConvertSamples(const FrameImage& source, FrameImage& destination) {
  return ConvertSamples(source, destination, nullptr);
}

int64_t LeadingLumaBytes(const FrameImage& f) {
  if (geometry::FieldCount(f) != 1 || !SamplesConvertible(f, f)) return 0;
  std::array<ComponentRows, 3> rows;
  if (ComponentsOf(f, 0, rows) != 3) return 0;
  const ComponentRows& luma = rows[0];
  const int bytes = CodingOf(f).bytes;
  if (luma.offset != 0 || luma.step != 1 || luma.pitch != luma.width * bytes) return 0;
  return luma.rows * luma.pitch;
}

bool ConvertSamples(const FrameImage& source, FrameImage& destination,
                    const std::function<void(int64_t lumaBytes)>& lumaDone) {
  if (!SamplesConvertible(source, destination) || source.Data == nullptr || destination.Data == nullptr)
    return false;
  FrameImage in = source;
  if (ComputeFrameSize(in) <= 0 || in.DataSize > source.Capacity || in.DataSize > source.DataSize)
    return false;
  if (ComputeFrameSize(destination) <= 0 || destination.DataSize > destination.Capacity) return false;
  const SampleCoding from = CodingOf(source), to = CodingOf(destination);
  thread_local std::vector<uint16_t> row;
  if (row.size() < static_cast<size_t>(source.ImgWidth)) row.resize(static_cast<size_t>(source.ImgWidth));
  int64_t used = 0;
  const int fields = geometry::FieldCount(source);
  for (int field = 0; field < fields; ++field) {
    std::array<ComponentRows, 3> a, b;
    const int count = ComponentsOf(source, field, a);
    ComponentsOf(destination, field, b);
    for (int c = 0; c < count; ++c) {
      if (!Fits(a[static_cast<size_t>(c)], from.bytes, in.DataSize) ||
          !Fits(b[static_cast<size_t>(c)], to.bytes, destination.DataSize)) {
        return false;
      }
    }
    const auto move = [&](int c) {
      const ComponentRows& r = a[static_cast<size_t>(c)];
      const ComponentRows& w = b[static_cast<size_t>(c)];
      for (int64_t y = 0; y < r.rows; ++y) {
        const uint8_t* in = source.Data + r.offset + y * r.pitch;
        uint8_t* out = destination.Data + w.offset + y * w.pitch;
        if (from.bits == to.bits) {
          MoveRow(in, r.step, from, out, w.step, to, r.width);
          continue;
        }
        LoadRow(in, r.width, r.step, from, row.data());
        ChangeDepth(row.data(), r.width, from.bits, to.bits);
        StoreRow(row.data(), r.width, w.step, to, out);
      }
    };
    move(0);
    if (lumaDone && LeadingLumaBytes(destination) > 0) lumaDone(LeadingLumaBytes(destination));
    if (count < 3 || !MoveChromaPairs(source, a, from, destination, b, to)) {
      for (int c = 1; c < count; ++c) move(c);
    }
    used = std::max(used, EndOf(b, count, to.bytes));
  }
  if (used < destination.DataSize) {
    std::memset(destination.Data + used, 0, static_cast<size_t>(destination.DataSize - used));
  }
  return true;
}

namespace {

// A frame whose components ComponentsOf can place, with every byte its layout
// uses held by its buffer.
bool StoredFrameUsable(const FrameImage& f) {
  if (f.Data == nullptr || !SamplesConvertible(f, f)) return false;
  FrameImage sized = f;
  return ComputeFrameSize(sized) > 0 && sized.DataSize <= f.Capacity;
}

// The same, progressive: its rows are moved component by component.
bool StoredRowsUsable(const FrameImage& f) {
  return f.FieldFormat == Progressive && StoredFrameUsable(f);
}

// A buffer of at least `size` bytes, all 0, kept by the thread for the next frame.
uint8_t* ClearedBuffer(std::vector<uint8_t>& buffer, int64_t size) {
  buffer.assign(static_cast<size_t>(size), 0);
  return buffer.data();
}

// The frame of `f`'s layout over `data` (`size` bytes).
FrameImage FrameOver(const ImageFormat& f, uint8_t* data, int64_t size) {
  FrameImage frame;
  static_cast<ImageFormat&>(frame) = f;
  ComputeFrameSize(frame);
  frame.Data = data;
  frame.Capacity = size;
  return frame;
}

// Runs an 8-bit row operation (FlipVertical, CropRows) on a stored frame of any
// depth, moving its samples exactly as the operation moves the bytes of the 8-bit
// frame the tools work on. The samples are taken apart into frames of bytes: the
// frame in its working packing (semi-planar chroma made planar, as the tools read
// it) at 8 bits, once with each sample's low byte and, above 8 bits, once with its
// high byte. The operation moves both alike; the bytes are put together again
// into `destination` (whose header is set; the bytes no row reaches are 0).
template <typename Operation>
bool ThroughBytePlanes(const FrameImage& source, FrameImage& destination, Operation operation) {
  if (!StoredFrameUsable(source) || !StoredFrameUsable(destination) || source.Data == destination.Data)
    return false;
  const int bytes = SampleBytes(source);
  ImageFormat planarIn = source, planarOut = destination;
  if (source.PixelFormat == SemiPlanar) planarIn.PixelFormat = planarOut.PixelFormat = Planar;
  thread_local std::vector<uint8_t> unpaired, repaired, in[2], out[2];
  FrameImage samplesIn = FrameOver(planarIn, source.Data, source.Capacity);
  if (source.PixelFormat == SemiPlanar) {
    samplesIn = FrameOver(planarIn, ClearedBuffer(unpaired, samplesIn.DataSize), samplesIn.DataSize);
    if (!ConvertSamples(source, samplesIn)) return false;
  }
  FrameImage samplesOut = FrameOver(planarOut, destination.Data, destination.Capacity);
  if (destination.PixelFormat == SemiPlanar)
    samplesOut = FrameOver(planarOut, ClearedBuffer(repaired, samplesOut.DataSize), samplesOut.DataSize);
  ImageFormat eightIn = planarIn, eightOut = planarOut;
  eightIn.BitsPerSample = eightOut.BitsPerSample = 8;
  const int64_t countIn = samplesIn.DataSize / bytes, countOut = samplesOut.DataSize / bytes;
  for (int b = 0; b < bytes; ++b) {
    const auto k = static_cast<size_t>(b);
    FrameImage from = FrameOver(eightIn, ClearedBuffer(in[k], countIn), countIn);
    FrameImage to = FrameOver(eightOut, ClearedBuffer(out[k], countOut), countOut);
    if (from.DataSize != countIn || to.DataSize != countOut) return false;
    for (int64_t i = 0; i < countIn; ++i) from.Data[i] = samplesIn.Data[i * bytes + b];
    if (!operation(from, to)) return false;
  }
  for (int b = 0; b < bytes; ++b) {
    const uint8_t* moved = out[static_cast<size_t>(b)].data();
    for (int64_t i = 0; i < countOut; ++i) samplesOut.Data[i * bytes + b] = moved[i];
  }
  ComputeFrameSize(destination);
  return destination.PixelFormat != SemiPlanar || ConvertSamples(samplesOut, destination);
}

// Layouts whose rows the 8-bit flip moves otherwise than plane row by plane row:
// fields, and 4:2:0 frames of an odd height (whose last chroma row serves one
// luma row).
bool FlipsThroughRows(const ImageFormat& f) {
  return f.FieldFormat == Interlaced || (f.SamplingFormat == YUV_420 && f.ImgHeight % 2 != 0);
}

// Zeroes the bytes after the last one the layout uses (as ConvertSamples does).
void ZeroAfter(FrameImage& f, const std::array<ComponentRows, 3>& rows, int count, int bytes) {
  const int64_t used = EndOf(rows, count, bytes);
  if (used < f.DataSize) std::memset(f.Data + used, 0, static_cast<size_t>(f.DataSize - used));
}

}  // namespace

bool FlipStoredRows(const FrameImage& source, FrameImage& destination) {
  if (!StoredFrameUsable(source) || destination.Data == nullptr || destination.Data == source.Data)
    return false;
  uint8_t* data = destination.Data;
  const int64_t capacity = destination.Capacity;
  destination = source;
  destination.Data = data;
  destination.Capacity = capacity;
  if (FlipsThroughRows(source)) {
    return ThroughBytePlanes(source, destination,
                             [](FrameImage& from, FrameImage& to) { return FlipVertical(from, to); });
  }
  if (!StoredRowsUsable(destination)) return false;
  ComputeFrameSize(destination);
  const SampleCoding coding = CodingOf(source);
  thread_local std::vector<uint16_t> row;
  row.resize(std::max<size_t>(row.size(), static_cast<size_t>(source.ImgWidth)));
  std::array<ComponentRows, 3> rows;
  const int count = ComponentsOf(source, 0, rows);
  for (int c = 0; c < count; ++c) {
    const ComponentRows& r = rows[static_cast<size_t>(c)];
    if (!Fits(r, coding.bytes, destination.DataSize)) return false;
    for (int64_t y = 0; y < r.rows; ++y) {
      LoadRow(source.Data + r.offset + y * r.pitch, r.width, r.step, coding, row.data());
      StoreRow(row.data(), r.width, r.step, coding, destination.Data + r.offset + (r.rows - 1 - y) * r.pitch);
    }
  }
  ZeroAfter(destination, rows, count, coding.bytes);
  return true;
}

bool CropStored(const FrameImage& source, FrameImage& destination, int32_t top, int32_t left) {
  ImageFormat uncut = destination;
  uncut.ImgWidth = source.ImgWidth;
  uncut.ImgHeight = source.ImgHeight;
  uncut.ImageResolution = source.ImageResolution;
  uncut.Fourcc = source.Fourcc;
  if (!(uncut == source) || !StoredFrameUsable(source) || !StoredFrameUsable(destination)) return false;
  if (top < 0 || left < 0 || int64_t{top} + destination.ImgHeight > source.ImgHeight ||
      int64_t{left} + destination.ImgWidth > source.ImgWidth) {
    return false;
  }
  // Chroma rows and columns: halved where the sampling halves them.
  const int downX = source.SamplingFormat == YUV_420 || source.SamplingFormat == YUV_422 ? 1 : 0;
  const int downY = source.SamplingFormat == YUV_420 ? 1 : 0;
  if (top % (1 << downY) != 0 || left % (1 << downX) != 0) return false;
  if (source.FieldFormat == Interlaced) {
    // Fields: row by row, as the 8-bit crop takes them.
    return ThroughBytePlanes(source, destination, [top, left](FrameImage& from, FrameImage& to) {
      SegmentBuffer row(from.ImgWidth);
      return CropRows(from, to, top, left, row);
    });
  }
  ComputeFrameSize(destination);
  const SampleCoding coding = CodingOf(source);
  thread_local std::vector<uint16_t> row;
  row.resize(std::max<size_t>(row.size(), static_cast<size_t>(destination.ImgWidth)));
  std::array<ComponentRows, 3> from, to;
  const int count = ComponentsOf(source, 0, from);
  ComponentsOf(destination, 0, to);
  for (int c = 0; c < count; ++c) {
    const ComponentRows& r = from[static_cast<size_t>(c)];
    const ComponentRows& w = to[static_cast<size_t>(c)];
    const int64_t firstRow = c == 0 ? top : top >> downY, firstColumn = c == 0 ? left : left >> downX;
    if (firstRow + w.rows > r.rows || firstColumn + w.width > r.width) return false;
    if (!Fits(r, coding.bytes, source.DataSize) || !Fits(w, coding.bytes, destination.DataSize)) return false;
    const uint8_t* corner = source.Data + r.offset + firstRow * r.pitch + firstColumn * r.step * coding.bytes;
    for (int64_t y = 0; y < w.rows; ++y) {
      LoadRow(corner + y * r.pitch, w.width, r.step, coding, row.data());
      StoreRow(row.data(), w.width, w.step, coding, destination.Data + w.offset + y * w.pitch);
    }
  }
  ZeroAfter(destination, to, count, coding.bytes);
  return true;
}

namespace {

// The rows of one component over the whole frame. In an interlaced frame they
// alternate between the fields: row k lies in field k % 2 (field 1 holds the
// extra row of an odd count).
struct ComponentFrame {
  std::array<ComponentRows, 2> field;
  int fields = 1;
  int64_t rows = 0, width = 0;
  int step = 1;

  int64_t RowOffset(int64_t k) const {
    if (fields == 1) return field[0].offset + k * field[0].pitch;
    const ComponentRows& r = field[static_cast<size_t>(k & 1)];
    return r.offset + (k >> 1) * r.pitch;
  }
  bool Fits(int bytes, int64_t size) const {
    const bool alternate =
        fields == 1 || field[0].rows - field[1].rows == 0 || field[0].rows - field[1].rows == 1;
    return alternate && vx::Fits(field[0], bytes, size) && (fields == 1 || vx::Fits(field[1], bytes, size));
  }
  int64_t End(int bytes) const {
    int64_t end = 0;
    for (int f = 0; f < fields; ++f) end = std::max(end, EndOf({field[static_cast<size_t>(f)]}, 1, bytes));
    return end;
  }
};

ComponentFrame FrameRowsOf(const ImageFormat& f, int component) {
  ComponentFrame c;
  c.fields = geometry::FieldCount(f);
  for (int field = 0; field < c.fields; ++field) {
    std::array<ComponentRows, 3> rows;
    ComponentsOf(f, field, rows);
    c.field[static_cast<size_t>(field)] = rows[static_cast<size_t>(component)];
    c.rows += rows[static_cast<size_t>(component)].rows;
  }
  c.width = c.field[0].width;
  c.step = c.field[0].step;
  return c;
}

// One component of PadStored: the picture's rows with their sides, then the rows
// above and below. `row` holds a padded row.
void PadComponent(const uint8_t* in, const ComponentFrame& from, uint8_t* out, const ComponentFrame& to,
                  int64_t top, int64_t left, const SampleCoding& coding, bool repeatEdges, uint16_t fill,
                  uint16_t* row) {
  const bool edges = repeatEdges && from.rows > 0 && from.width > 0;
  const int64_t right = left + from.width;
  for (int64_t k = 0; k < from.rows; ++k) {
    LoadRow(in + from.RowOffset(k), from.width, from.step, coding, row + left);
    std::fill(row, row + left, edges ? row[left] : fill);
    std::fill(row + right, row + to.width, edges ? row[right - 1] : fill);
    StoreRow(row, to.width, to.step, coding, out + to.RowOffset(top + k));
  }
  const auto border = [&](int64_t first, int64_t end, int64_t copied) {
    if (first >= end) return;
    if (edges)
      LoadRow(out + to.RowOffset(copied), to.width, to.step, coding, row);
    else
      std::fill(row, row + to.width, fill);
    for (int64_t k = first; k < end; ++k) StoreRow(row, to.width, to.step, coding, out + to.RowOffset(k));
  };
  border(0, top, top);
  border(top + from.rows, to.rows, top + from.rows - 1);
}

}  // namespace

bool PadStored(const FrameImage& source, FrameImage& destination, int32_t top, int32_t left,
               const StoredBorder& border) {
  ImageFormat unpadded = destination;
  unpadded.ImgWidth = source.ImgWidth;
  unpadded.ImgHeight = source.ImgHeight;
  unpadded.ImageResolution = source.ImageResolution;
  unpadded.Fourcc = source.Fourcc;
  if (!(unpadded == source) || !StoredFrameUsable(source) || !StoredFrameUsable(destination) ||
      destination.Data == source.Data) {
    return false;
  }
  if (top < 0 || left < 0 || int64_t{top} + source.ImgHeight > destination.ImgHeight ||
      int64_t{left} + source.ImgWidth > destination.ImgWidth) {
    return false;
  }
  const int downX = source.SamplingFormat == YUV_420 || source.SamplingFormat == YUV_422 ? 1 : 0;
  const int downY = source.SamplingFormat == YUV_420 ? 1 : 0;
  // Interlaced 4:2:0 chroma rows alternate between the fields too: they move by
  // whole pairs, each staying in its field.
  const int topStep = (1 << downY) << (downY && source.FieldFormat == Interlaced ? 1 : 0);
  if (top % topStep != 0 || left % (1 << downX) != 0) return false;
  ComputeFrameSize(destination);
  const SampleCoding coding = CodingOf(source);
  thread_local std::vector<uint16_t> row;
  row.resize(std::max<size_t>(row.size(), static_cast<size_t>(destination.ImgWidth)));
  const auto largest = static_cast<uint16_t>(MaxSampleValue(source));
  int64_t used = 0;
  for (int c = 0; c < (source.SamplingFormat == MONO ? 1 : 3); ++c) {
    const ComponentFrame from = FrameRowsOf(source, c), to = FrameRowsOf(destination, c);
    if (!from.Fits(coding.bytes, source.DataSize) || !to.Fits(coding.bytes, destination.DataSize))
      return false;
    const int64_t firstRow = c == 0 ? top : top >> downY, firstColumn = c == 0 ? left : left >> downX;
    if (firstRow + from.rows > to.rows || firstColumn + from.width > to.width) return false;
    const uint16_t fill = std::min(border.fill[static_cast<size_t>(c)], largest);
    PadComponent(source.Data, from, destination.Data, to, firstRow, firstColumn, coding, border.repeatEdges,
                 fill, row.data());
    used = std::max(used, to.End(coding.bytes));
  }
  if (used < destination.DataSize) {
    std::memset(destination.Data + used, 0, static_cast<size_t>(destination.DataSize - used));
  }
  return true;
}

bool ExtractStoredComponent(const FrameImage& source, int component, FrameImage& destination) {
  if (!StoredFrameUsable(source) || component < 0 || component >= (source.SamplingFormat == MONO ? 1 : 3))
    return false;
  const ComponentFrame from = FrameRowsOf(source, component);
  const bool layout = destination.SamplingFormat == MONO && destination.FieldFormat == Progressive &&
                      destination.BitsPerSample == source.BitsPerSample &&
                      destination.ImgWidth == from.width && destination.ImgHeight == from.rows;
  if (!layout || !StoredFrameUsable(destination) || destination.Data == source.Data) return false;
  ComputeFrameSize(destination);
  const SampleCoding coding = CodingOf(source), mono = CodingOf(destination);
  const ComponentFrame to = FrameRowsOf(destination, 0);
  if (!from.Fits(coding.bytes, source.DataSize) || !to.Fits(mono.bytes, destination.DataSize)) return false;
  thread_local std::vector<uint16_t> row;
  row.resize(std::max<size_t>(row.size(), static_cast<size_t>(from.width)));
  for (int64_t k = 0; k < from.rows; ++k) {
    LoadRow(source.Data + from.RowOffset(k), from.width, from.step, coding, row.data());
    StoreRow(row.data(), from.width, 1, mono, destination.Data + to.RowOffset(k));
  }
  return true;
}

namespace {

// Where component `component` of a packed field, or of a planar RGB or BMP one,
// lies (`f` has its DataSize set).
ComponentRows PackedOrRgbRows(const FrameImage& f, int field, int component) {
  const int64_t rows = geometry::FieldRows(f, field);
  if (f.PixelFormat != Packed) {
    const geometry::Plane& p = geometry::PlanarField(f, field).plane[component];
    return {.offset = p.offset, .pitch = p.width, .width = p.width, .rows = p.rows, .step = 1};
  }
  const int64_t base = geometry::FieldBase(f, field), pitch = geometry::PackedRowBytes(f);
  if (f.SamplingFormat == YUV_422) {
    // Y0 U Y1 V (YUYV), Y0 V Y1 U (YVYU) or U Y0 V Y1 (UYVY).
    const bool uyvy = f.ComponentOrder == UYV;
    if (component == 0)
      return {.offset = base + (uyvy ? 1 : 0), .pitch = pitch, .width = f.ImgWidth, .rows = rows, .step = 2};
    const bool first = uyvy || (component == 1) == (f.ComponentOrder == YUV);
    const int64_t at = uyvy ? (component == 1 ? 0 : 2) : (first ? 1 : 3);
    return {.offset = base + at, .pitch = pitch, .width = f.ImgWidth / 2, .rows = rows, .step = 4};
  }
  static constexpr int kPositionOf[3][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}};
  const bool rgb = f.SamplingFormat == RGB_444 || f.SamplingFormat == BMP;
  const int at = rgb ? component : kPositionOf[std::clamp(f.ComponentOrder, 0, 2)][component];
  return {.offset = base + at, .pitch = pitch, .width = f.ImgWidth, .rows = rows, .step = 3};
}

// The rows of component `component` of any layout a file holds; false when it
// cannot be stored or has no such component.
bool AnyComponentFrame(const ImageFormat& layout, int component, ComponentFrame& out) {
  if (StoredLayoutRefusal(layout) || layout.ImgWidth < 1 || layout.ImgHeight < 1) return false;
  if (layout.FieldFormat != Interlaced && layout.FieldFormat != Progressive) return false;
  if (component < 0 || component >= (layout.SamplingFormat == MONO ? 1 : 3)) return false;
  const bool rgb = layout.SamplingFormat == RGB_444 || layout.SamplingFormat == BMP;
  if (!rgb && (layout.PixelFormat != Packed || layout.SamplingFormat == MONO)) {
    if (!SamplesConvertible(layout, layout)) return false;
    out = FrameRowsOf(layout, component);
    return true;
  }
  if (layout.SamplingFormat == YUV_420) return false;  // packed 4:2:0 does not exist
  FrameImage f;
  static_cast<ImageFormat&>(f) = layout;
  if (ComputeFrameSize(f) <= 0) return false;
  out = ComponentFrame{};
  out.fields = geometry::FieldCount(f);
  for (int field = 0; field < out.fields; ++field) {
    out.field[static_cast<size_t>(field)] = PackedOrRgbRows(f, field, component);
    out.rows += out.field[static_cast<size_t>(field)].rows;
  }
  out.width = out.field[0].width;
  out.step = out.field[0].step;
  return true;
}

template <typename Sample>
bool LoadPlane(const FrameImage& frame, int component, std::vector<Sample>& samples) {
  ComponentFrame rows;
  if (frame.Data == nullptr || !AnyComponentFrame(frame, component, rows)) return false;
  FrameImage sized = frame;
  const SampleCoding coding = CodingOf(frame);
  if (ComputeFrameSize(sized) <= 0 || sized.DataSize > frame.Capacity || coding.bytes != sizeof(Sample) ||
      !rows.Fits(coding.bytes, sized.DataSize)) {
    return false;
  }
  samples.resize(static_cast<size_t>(rows.width * rows.rows));
  const int64_t step = int64_t{rows.step} * coding.bytes;
  for (int64_t k = 0; k < rows.rows; ++k) {
    const uint8_t* in = frame.Data + rows.RowOffset(k);
    Sample* out = samples.data() + k * rows.width;
    if constexpr (sizeof(Sample) == 1) {
      if (step == 1) {
        std::memcpy(out, in, static_cast<size_t>(rows.width));
      } else {
        for (int64_t i = 0; i < rows.width; ++i) out[i] = in[i * step];
      }
    } else {
      for (int64_t i = 0; i < rows.width; ++i)
        out[i] = static_cast<Sample>((in[i * step] | in[i * step + 1] << 8) >> coding.shift);
    }
  }
  return true;
}

}  // namespace

std::optional<PlaneSize> ComponentPlaneSize(const ImageFormat& layout, int component) {
  ComponentFrame rows;
  if (!AnyComponentFrame(layout, component, rows)) return std::nullopt;
  return PlaneSize{.width = rows.width, .rows = rows.rows};
}

bool LoadComponentPlane(const FrameImage& frame, int component, std::vector<uint8_t>& samples) {
  return LoadPlane(frame, component, samples);
}

bool LoadComponentPlane(const FrameImage& frame, int component, std::vector<uint16_t>& samples) {
  return LoadPlane(frame, component, samples);
}

}  // namespace vx

namespace vx {

bool SumSquaredSampleDifferences(const FrameImage& a, const FrameImage& b, int64_t sums[3]) {
  if (!SamplesConvertible(a, a) || a.SamplingFormat == MONO || !(static_cast<const ImageFormat&>(a) == b))
    return false;
  FrameImage f = a;
  if (ComputeFrameSize(f) <= 0 || !a.Data || !b.Data || f.DataSize > a.Capacity || f.DataSize > b.Capacity) {
    return false;
  }
  const SampleCoding coding = CodingOf(a);
  thread_local std::vector<uint16_t> rowA, rowB;
  rowA.resize(std::max<size_t>(rowA.size(), static_cast<size_t>(a.ImgWidth)));
  rowB.resize(std::max<size_t>(rowB.size(), static_cast<size_t>(a.ImgWidth)));
  // Logical Y, U, V to the working layout's storage position.
  const bool vFirst = a.ComponentOrder == YVU;
  const bool uFirst = a.ComponentOrder == UYV;
  const int position[3] = {uFirst ? 1 : 0, uFirst ? 0 : (vFirst ? 2 : 1), vFirst ? 1 : 2};
  for (int k = 0; k < 3; ++k) sums[k] = 0;
  for (int field = 0; field < geometry::FieldCount(a); ++field) {
    std::array<ComponentRows, 3> rows;
    const int count = ComponentsOf(a, field, rows);
    for (int c = 0; c < count; ++c) {
      const ComponentRows& r = rows[static_cast<size_t>(c)];
      if (!Fits(r, coding.bytes, f.DataSize)) return false;
      int64_t sum = 0;
      for (int64_t y = 0; y < r.rows; ++y) {
        LoadRow(a.Data + r.offset + y * r.pitch, r.width, r.step, coding, rowA.data());
        LoadRow(b.Data + r.offset + y * r.pitch, r.width, r.step, coding, rowB.data());
        for (int64_t x = 0; x < r.width; ++x) {
          const int64_t d = int64_t{rowA[static_cast<size_t>(x)]} - rowB[static_cast<size_t>(x)];
          sum += d * d;
        }
      }
      sums[position[c]] += sum;
    }
  }
  return true;
}

}  // namespace vx
