#include "editor/BlockEdit.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "display/DisplayPicture.h"
#include "image/SampleStorage.h"
#include "platform/MessageSink.h"
#include "platform/RawFile.h"
#include "platform/StringFormat.h"

namespace vx {
namespace {

enum class TextLayout { PlanarFull, Packed444, Packed422, Planar422, Planar420, Invalid };

TextLayout LayoutOf(const ImageFormat& f) {
  const bool full = f.SamplingFormat == YUV_444 || f.SamplingFormat == RGB_444;
  if (full) return f.PixelFormat == Packed ? TextLayout::Packed444 : TextLayout::PlanarFull;
  if (f.SamplingFormat == YUV_422)
    return f.PixelFormat == Packed ? TextLayout::Packed422 : TextLayout::Planar422;
  if (f.SamplingFormat == YUV_420 && f.PixelFormat == Planar) return TextLayout::Planar420;
  return TextLayout::Invalid;
}

// The block row whose chroma shows as 4:2:0 chroma line i (of four): 0, 2, 4, 6,
// or 0, 3, 4, 7 in an interlaced frame (rows of distinct field chroma rows).
int ChromaLineRow(const ImageFormat& f, int i) {
  return f.FieldFormat == Interlaced ? 4 * (i / 2) + 3 * (i % 2) : 2 * i;
}

// The block rows that share 4:2:0 chroma line i.
std::array<int, 2> ChromaLineRows(const ImageFormat& f, int i) {
  if (f.FieldFormat == Interlaced) {
    const int first = i + 2 * (i / 2);
    return {first, first + 2};
  }
  return {2 * i, 2 * i + 1};
}

using Plane = std::vector<uint16_t> DeepSegment::*;

// The digits of a number in the boxes: 3, or as many as the largest value of
// deeper samples has (1023: 4, 65535: 5).
int FieldDigits(const ImageFormat& f) {
  return f.BitsPerSample > 8 ? static_cast<int>(std::to_string(MaxSampleValue(f)).size()) : 3;
}

std::string NumberLine(const uint16_t* values, int count, bool gapAfterFour, int digits) {
  std::string line;
  for (int i = 0; i < count; ++i) {
    if (gapAfterFour && i == 4) line += "   ";
    line += StrFormat(" %0*d", digits, values[i]);
  }
  return line + " \r\n";
}

std::string PlaneBox(const ImageFormat& f, const BlockRows& rows, Plane plane, int values, bool fullLayout) {
  std::string text;
  for (int r = 0; r < kBlockSize; ++r) {
    text += NumberLine((rows[static_cast<size_t>(r)].*plane).data(), values, fullLayout, FieldDigits(f));
    if (fullLayout && r == 3) text += " \r\n";
  }
  return text;
}

std::string Packed444Box(const BlockRows& rows) {
  std::string text;
  for (int r = 0; r < kBlockSize; ++r) {
    const uint16_t* b = rows[static_cast<size_t>(r)].first.data();
    for (int x = 0; x < kBlockSize; ++x) {
      text += StrFormat(x == 4 ? "   (%03d, %03d, %03d)  " : "(%03d, %03d, %03d)  ", b[3 * x], b[3 * x + 1],
                        b[3 * x + 2]);
    }
    text += r == 3 ? "\r\n\r\n" : "\r\n";
  }
  return text;
}

std::string Packed422Box(const BlockRows& rows) {
  std::string text;
  for (int r = 0; r < kBlockSize; ++r) {
    const uint16_t* b = rows[static_cast<size_t>(r)].first.data();
    for (int g = 0; g < 4; ++g) {
      text += StrFormat("(%03d, %03d, %03d, %03d)  ", b[4 * g], b[4 * g + 1], b[4 * g + 2], b[4 * g + 3]);
    }
    text += "\r\n";
  }
  return text;
}

std::string Planar420ChromaBox(const ImageFormat& f, const BlockRows& rows, Plane plane) {
  std::string text;
  for (int i = 0; i < 4; ++i)
    text +=
        NumberLine((rows[static_cast<size_t>(ChromaLineRow(f, i))].*plane).data(), 4, false, FieldDigits(f));
  return text;
}

bool IsSeparator(char c) {
  return c == '(' || c == ')' || c == ' ' || c == ',' || c == '\n' || c == '\r';
}

// The numbers of a box, in order (at most 1,536 characters are read). A token is
// read as a decimal integer as far as it goes ("12a" is 12, "x" is 0).
std::vector<long> Tokens(const std::string& box) {
  std::vector<long> numbers;
  const std::string text = box.substr(0, 1536);
  size_t i = 0;
  while (i < text.size()) {
    if (IsSeparator(text[i])) {
      ++i;
      continue;
    }
    const size_t start = i;
    while (i < text.size() && !IsSeparator(text[i])) ++i;
    const std::string token = text.substr(start, i - start);
    numbers.push_back(std::strtol(token.c_str(), nullptr, 10));
  }
  return numbers;
}

// Hands out a box's numbers in order; remembers the first one out of range.
class TokenReader {
 public:
  TokenReader(const std::string& box, long top, std::optional<std::string>& refusal)
      : numbers_(Tokens(box)), top_(top), refusal_(refusal) {}
  // False when the numbers are used up.
  bool Next(uint16_t& value) {
    if (next_ >= numbers_.size()) return false;
    const long n = numbers_[next_++];
    if (n > top_ && !refusal_) {
      refusal_ =
          StrFormat("Error BKED1001: Invalid input value: %ld.  It cannot be larger than %ld !\n", n, top_);
    } else if (n < 0 && !refusal_) {
      refusal_ = StrFormat("Error BKED1002: Invalid input value: %ld.  It cannot be smaller than 0! \n", n);
    }
    value = static_cast<uint16_t>(std::clamp<long>(n, 0, top_));
    return true;
  }

 private:
  std::vector<long> numbers_;
  long top_;  // the largest value a sample takes
  size_t next_ = 0;
  std::optional<std::string>& refusal_;
};

// Fills `count` values of each of `lines` rows of one array, stopping when the
// numbers run out.
bool ReadLines(TokenReader& reader, BlockRows& rows, Plane plane, int lines, int count) {
  for (int r = 0; r < lines; ++r) {
    for (int x = 0; x < count; ++x) {
      if (!reader.Next((rows[static_cast<size_t>(r)].*plane)[static_cast<size_t>(x)])) return false;
    }
  }
  return true;
}

bool Read420Chroma(const ImageFormat& f, TokenReader& reader, BlockRows& rows, Plane plane) {
  for (int i = 0; i < 4; ++i) {
    for (int x = 0; x < 4; ++x) {
      uint16_t value = 0;
      if (!reader.Next(value)) return false;
      for (int r : ChromaLineRows(f, i))
        (rows[static_cast<size_t>(r)].*plane)[static_cast<size_t>(x)] = value;
    }
  }
  return true;
}

}  // namespace

BlockRows EmptyBlockRows(int bits) {
  const auto neutral = static_cast<uint16_t>(1 << (std::clamp(bits, 8, 16) - 1));
  BlockRows rows;
  for (DeepSegment& row : rows) {
    row = DeepSegment(kBlockSize);
    std::fill(row.second.begin(), row.second.end(), neutral);
    std::fill(row.third.begin(), row.third.end(), neutral);
  }
  return rows;
}

int ReadBlock(FrameImage& frame, int column, int row, BlockRows& rows) {
  rows = EmptyBlockRows(frame.BitsPerSample);
  int read = 0;
  for (int i = 0; i < kBlockSize && kBlockSize * row + i < frame.ImgHeight; ++i) {
    if (!AccessSegment(frame, rows[static_cast<size_t>(i)], kBlockSize * row + i, kBlockSize * column,
                       kBlockSize, Access::Read, 0))
      return 0;
    ++read;
  }
  return read;
}

bool WriteBlock(FrameImage& frame, int column, int row, const BlockRows& rows, int count) {
  for (int i = 0; i < count && i < kBlockSize; ++i) {
    DeepSegment segment = rows[static_cast<size_t>(i)];
    if (!AccessSegment(frame, segment, kBlockSize * row + i, kBlockSize * column, kBlockSize, Access::Write,
                       0))
      return false;
  }
  return true;
}

std::array<std::string, 3> BlockLabels(const ImageFormat& f) {
  const bool rgb = f.SamplingFormat == RGB_444;
  const char* invalid = rgb                           ? "Invalid RGB"
                        : f.SamplingFormat == YUV_444 ? "Invalid YUV444"
                        : f.SamplingFormat == YUV_422 ? "Invalid YUV422"
                        : f.SamplingFormat == YUV_420 ? "Invalid YUV420"
                                                      : "Invalid YUV";
  const TextLayout layout = LayoutOf(f);
  if (layout == TextLayout::Invalid) return {invalid, "", ""};
  // The components in storage order.
  std::string order;
  switch (f.ComponentOrder) {
    case YUV:
      order = rgb ? "" : "YUV";
      break;
    case YVU:
      order = rgb ? "" : "YVU";
      break;
    case UYV:
      order = rgb ? "" : "UYV";
      break;
    case RGB:
      order = rgb ? "RGB" : "";
      break;
    case BGR:
      order = rgb ? "BGR" : "";
      break;
    default:
      break;
  }
  const bool subsampled = f.SamplingFormat == YUV_422 || f.SamplingFormat == YUV_420;
  if (order.empty() || (subsampled && f.PixelFormat == Planar && order == "UYV")) return {invalid, "", ""};
  if (layout == TextLayout::Packed444) return {order + " " + order + " " + order, "", ""};
  if (layout == TextLayout::Packed422) {
    const std::string group = order == "YUV" ? "YUYV" : order == "YVU" ? "YVYU" : "UYVY";
    return {group + " " + group, "", ""};
  }
  auto plane = [](char c) { return std::string{c, ' ', c, ' ', c}; };
  return {plane(order[0]), plane(order[1]), plane(order[2])};
}

BlockTexts FormatBlockText(const ImageFormat& f, const BlockRows& rows) {
  BlockTexts texts;
  texts.labels = BlockLabels(f);
  switch (LayoutOf(f)) {
    case TextLayout::PlanarFull:
      texts.boxes = {PlaneBox(f, rows, &DeepSegment::first, 8, true),
                     PlaneBox(f, rows, &DeepSegment::second, 8, true),
                     PlaneBox(f, rows, &DeepSegment::third, 8, true)};
      break;
    case TextLayout::Packed444:
      texts.boxes[0] = Packed444Box(rows);
      break;
    case TextLayout::Packed422:
      texts.boxes[0] = Packed422Box(rows);
      break;
    case TextLayout::Planar422:
      texts.boxes = {PlaneBox(f, rows, &DeepSegment::first, 8, false),
                     PlaneBox(f, rows, &DeepSegment::second, 4, false),
                     PlaneBox(f, rows, &DeepSegment::third, 4, false)};
      break;
    case TextLayout::Planar420:
      texts.boxes = {PlaneBox(f, rows, &DeepSegment::first, 8, false),
                     Planar420ChromaBox(f, rows, &DeepSegment::second),
                     Planar420ChromaBox(f, rows, &DeepSegment::third)};
      break;
    case TextLayout::Invalid:
      break;
  }
  return texts;
}

std::optional<std::string> ParseBlockText(const ImageFormat& f, const std::array<std::string, 3>& boxes,
                                          BlockRows& rows) {
  std::optional<std::string> refusal;
  BlockRows edited = rows;
  const long top = MaxSampleValue(f);
  TokenReader one(boxes[0], top, refusal), two(boxes[1], top, refusal), three(boxes[2], top, refusal);
  switch (LayoutOf(f)) {
    case TextLayout::PlanarFull:
      ReadLines(one, edited, &DeepSegment::first, 8, 8) &&
          ReadLines(two, edited, &DeepSegment::second, 8, 8) &&
          ReadLines(three, edited, &DeepSegment::third, 8, 8);
      break;
    case TextLayout::Packed444:
      ReadLines(one, edited, &DeepSegment::first, 8, 24);
      break;
    case TextLayout::Packed422:
      ReadLines(one, edited, &DeepSegment::first, 8, 16);
      break;
    case TextLayout::Planar422:
      ReadLines(one, edited, &DeepSegment::first, 8, 8) &&
          ReadLines(two, edited, &DeepSegment::second, 8, 4) &&
          ReadLines(three, edited, &DeepSegment::third, 8, 4);
      break;
    case TextLayout::Planar420:
      ReadLines(one, edited, &DeepSegment::first, 8, 8) &&
          Read420Chroma(f, two, edited, &DeepSegment::second) &&
          Read420Chroma(f, three, edited, &DeepSegment::third);
      break;
    case TextLayout::Invalid:
      break;
  }
  if (!refusal) rows = std::move(edited);
  return refusal;
}

namespace {

// `bytes` of layout `from` (a header) rewritten in layout `to`; empty when they cannot be.
std::vector<uint8_t> Converted(const FrameImage& from, std::span<const uint8_t> bytes, const FrameImage& to) {
  FrameImage source = from;
  source.Data = const_cast<uint8_t*>(bytes.data());  // read only
  source.Capacity = static_cast<int64_t>(bytes.size());
  std::vector<uint8_t> out(static_cast<size_t>(std::max<int64_t>(to.DataSize, 0)));
  FrameImage destination = to;
  destination.Data = out.data();
  destination.Capacity = static_cast<int64_t>(out.size());
  if (source.DataSize > source.Capacity || !ConvertSamples(source, destination)) out.clear();
  return out;
}

bool Deep(const ShownFrame& shown) {
  return shown.stored.DataSize > 0 && shown.stored.BitsPerSample > 8;
}

}  // namespace

FrameImage EditedFrame::View() {
  FrameImage frame = layout;
  frame.Data = bytes.data();
  frame.Capacity = static_cast<int64_t>(bytes.size());
  return frame;
}

EditedFrame FrameToEdit(const ShownFrame& shown) {
  EditedFrame edited;
  edited.layout = shown.format;
  if (!Deep(shown)) {
    edited.bytes = shown.bytes;
    return edited;
  }
  edited.layout.BitsPerSample = shown.stored.BitsPerSample;
  ComputeFrameSize(edited.layout);
  edited.bytes = Converted(shown.stored, shown.storedBytes, edited.layout);
  return edited;
}

bool WriteEditedFrame(ShownFrame& shown, const EditedFrame& edited, const WriteBackMessages& messages) {
  if (!Deep(shown)) {
    if (!WriteShownFrame(shown, shown.bytes, edited.bytes, messages)) return false;
    shown.bytes = edited.bytes;
    return true;
  }
  // Each sample in the file's layout before and after the edit: a sample the
  // edit left alone keeps its stored word (bits beyond the depth included).
  const std::vector<uint8_t> before = Converted(edited.layout, FrameToEdit(shown).bytes, shown.stored);
  const std::vector<uint8_t> after = Converted(edited.layout, edited.bytes, shown.stored);
  std::vector<uint8_t> written = shown.storedBytes;
  if (before.size() != written.size() || after.size() != written.size()) written.clear();
  for (size_t i = 0; i + 1 < written.size(); i += 2) {
    if (before[i] != after[i] || before[i + 1] != after[i + 1]) {
      written[i] = after[i];
      written[i + 1] = after[i + 1];
    }
  }
  if (!WriteShownStoredFrame(shown, written, messages)) return false;
  // Shown as the playing windows show deeper samples: down to 8 bits.
  shown.bytes = Converted(shown.stored, written, shown.format);
  shown.storedBytes = std::move(written);
  return true;
}

bool MakeBlockPicture(const ColourTables& tables, const ImageFormat& layout, const BlockRows& rows,
                      BlockPicture& picture, const BlockPictureOptions& options) {
  // The block as a frame of its own in the frame's layout.
  ImageFormat blockLayout = layout;
  blockLayout.ImageResolution = kCustomResolution;
  blockLayout.ImgWidth = kBlockSize;
  blockLayout.ImgHeight = kBlockSize;
  const int64_t bytes = WorkBufferSize(kBlockSize, kBlockSize);
  FrameBuffer buffer, scratch, shown;
  if (!buffer.Allocate(bytes) || !scratch.Allocate(bytes) || !shown.Allocate(bytes)) return false;
  FrameImage block = buffer.Frame(WorkingLayout(blockLayout));
  if (blockLayout.BitsPerSample > 8) {
    // Deeper samples are shown as the playing windows show them: down to 8 bits.
    FrameImage deep;
    static_cast<ImageFormat&>(deep) = blockLayout;
    std::vector<uint8_t> samples(static_cast<size_t>(std::max(ComputeFrameSize(deep), 0)));
    deep.Data = samples.data();
    deep.Capacity = static_cast<int64_t>(samples.size());
    if (!WriteBlock(deep, 0, 0, rows, kBlockSize) || !ConvertSamples(deep, block)) return false;
  } else if (!WriteBlock(block, 0, 0, rows, kBlockSize)) {
    return false;
  }
  blockLayout = block;
  FrameImage display = shown.Frame(blockLayout);
  DisplayWork work;
  const int selector = options.differenceSelector;
  if (selector >= 0 && layout.SamplingFormat == RGB_444) {
    // An RGB difference: the component (or the sum) is taken from the RGB values.
    ImageFormat packedLayout = blockLayout;
    packedLayout.PixelFormat = Packed;
    FrameImage rgb = scratch.Frame(packedLayout);
    if (block.PixelFormat == Packed)
      std::copy_n(block.Data, block.DataSize, rgb.Data);
    else if (!ConvertPixelFormat(block, rgb))
      return false;
    const int picked = selector < 3 && rgb.ComponentOrder == BGR ? 2 - selector : selector;
    FrameImage component = buffer.Frame(packedLayout);  // the block is not needed any more
    if (!ExtractComponent(rgb, component, picked) || !MakeDisplayPicture(tables, component, display, work))
      return false;
  } else {
    if (!MakeDisplayPicture(tables, block, display, work)) return false;
    if (selector >= 0) {
      FrameImage component = scratch.Frame(display);
      if (!ExtractComponent(display, component, selector)) return false;
      std::copy_n(component.Data, 3 * kBlockSize * kBlockSize, display.Data);
    }
  }
  picture.small.assign(display.Data, display.Data + 3 * kBlockSize * kBlockSize);
  const int side = kBlockSize * kBlockZoom;
  picture.enlarged.resize(static_cast<size_t>(3 * side * side));
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const uint8_t* from =
          &picture.small[static_cast<size_t>(3 * ((y / kBlockZoom) * kBlockSize + x / kBlockZoom))];
      std::copy(from, from + 3, &picture.enlarged[static_cast<size_t>(3 * (y * side + x))]);
    }
  }
  return true;
}

namespace {

// The RGB of pixel (column, row): the stored pixel for RGB layouts, the picture's
// YUV through the formula otherwise.
Rgb8 PixelRgb(const ColourTables& tables, const ImageFormat& layout, const BlockRows& rows,
              const BlockPicture& picture, int column, int row) {
  const size_t at = static_cast<size_t>(3 * (row * kBlockSize + column));
  if (layout.SamplingFormat != RGB_444)
    return YuvToRgbPixel(tables, picture.small[at], picture.small[at + 1], picture.small[at + 2]);
  // RGB samples are 8-bit.
  const DeepSegment& r = rows[static_cast<size_t>(row)];
  const auto byte = [](uint16_t v) { return ClampToByte(static_cast<int>(v)); };
  std::array<uint8_t, 3> stored{};
  if (layout.PixelFormat == Packed) {
    for (size_t k = 0; k < 3; ++k) stored[k] = byte(r.first[static_cast<size_t>(3 * column) + k]);
  } else {
    stored = {byte(r.first[static_cast<size_t>(column)]), byte(r.second[static_cast<size_t>(column)]),
              byte(r.third[static_cast<size_t>(column)])};
  }
  return layout.ComponentOrder == BGR ? Rgb8{stored[2], stored[1], stored[0]}
                                      : Rgb8{stored[0], stored[1], stored[2]};
}

bool InsideBlock(const BlockPicture& picture, int column, int row) {
  return column >= 0 && row >= 0 && column < kBlockSize && row < kBlockSize &&
         picture.small.size() >= static_cast<size_t>(3 * kBlockSize * kBlockSize);
}

// One box of the comparison: one array of the three images side by side.
std::string SideBySide(const std::array<const BlockRows*, 3>& images, Plane plane,
                       const std::vector<int>& lines, int count, int digits) {
  std::string text;
  for (int r : lines) {
    std::string line;
    for (size_t i = 0; i < images.size(); ++i) {
      if (i > 0) line += "      ";
      for (int x = 0; x < count; ++x)
        line +=
            StrFormat(" %0*d", digits, ((*images[i])[static_cast<size_t>(r)].*plane)[static_cast<size_t>(x)]);
    }
    text += line + " \r\n";
  }
  return text;
}

}  // namespace

std::array<std::string, 2> PixelReadouts(const ColourTables& tables, const ImageFormat& layout,
                                         const BlockRows& rows, const BlockPicture& picture, int column,
                                         int row) {
  if (!InsideBlock(picture, column, row)) return {};
  const size_t at = static_cast<size_t>(3 * (row * kBlockSize + column));
  const Rgb8 rgb = PixelRgb(tables, layout, rows, picture, column, row);
  return {StrFormat("YUV value of this pixle is (%03d, %03d, %03d)", picture.small[at], picture.small[at + 1],
                    picture.small[at + 2]),
          StrFormat("RGB value of this pixle is (%03d, %03d, %03d)", rgb.r, rgb.g, rgb.b)};
}

BlockTexts FormatCompareText(const ImageFormat& f, const BlockRows& one, const BlockRows& two,
                             const BlockRows& difference, int selector) {
  BlockTexts texts;
  const bool rgb = f.SamplingFormat == RGB_444;
  static const char* const kYuvParts[] = {" Only absolute differences of Y componets",
                                          " Only absolute differences of U componets",
                                          " Only absolute differences of V componets"};
  static const char* const kRgbParts[] = {"Only absolute differences of R componets",
                                          "Only absolute differences of G componets",
                                          "Only absolute differences of B componets"};
  const std::string what =
      selector >= 0 && selector < 3
          ? (rgb ? kRgbParts : kYuvParts)[selector]
          : (rgb ? "Sum of absolute differences of all RGB componets, drag right to display more"
                 : " Sum of absolute differences of all YUV componets, drag right to display more");
  const std::array<std::string, 3> names = BlockLabels(f);
  const TextLayout layout = LayoutOf(f);
  if (layout == TextLayout::Invalid) {
    texts.labels = names;
    return texts;
  }
  if (layout == TextLayout::Packed444 || layout == TextLayout::Packed422) {
    const std::string name = names[0] + " ...";
    texts.labels = {name + " (Image #1)", name + " (Image #2)", name + " (Diff image. " + what + ")"};
    texts.boxes = {FormatBlockText(f, one).boxes[0], FormatBlockText(f, two).boxes[0],
                   FormatBlockText(f, difference).boxes[0]};
    return texts;
  }
  const std::string gap(46, ' ');
  for (size_t k = 0; k < 3; ++k)
    texts.labels[k] = names[k] + " (Image #1)" + gap + names[k] + " (Image #2)" + gap + what;
  const std::array<const BlockRows*, 3> images = {&one, &two, &difference};
  const std::vector<int> all = {0, 1, 2, 3, 4, 5, 6, 7};
  const int chroma = layout == TextLayout::PlanarFull ? 8 : 4;
  std::vector<int> chromaLines = all;
  if (layout == TextLayout::Planar420) {
    chromaLines.clear();
    for (int i = 0; i < 4; ++i) chromaLines.push_back(ChromaLineRow(f, i));
  }
  const int digits = FieldDigits(f);
  texts.boxes = {SideBySide(images, &DeepSegment::first, all, 8, digits),
                 SideBySide(images, &DeepSegment::second, chromaLines, chroma, digits),
                 SideBySide(images, &DeepSegment::third, chromaLines, chroma, digits)};
  return texts;
}

std::array<std::string, 4> CompareReadouts(const ColourTables& tables, const ImageFormat& f,
                                           const BlockRows& one, const BlockPicture& onePicture,
                                           const BlockRows& two, const BlockPicture& twoPicture, int selector,
                                           int column, int row) {
  if (!InsideBlock(onePicture, column, row) || !InsideBlock(twoPicture, column, row)) return {};
  const Rgb8 a = PixelRgb(tables, f, one, onePicture, column, row);
  const Rgb8 b = PixelRgb(tables, f, two, twoPicture, column, row);
  const int dr = std::abs(a.r - b.r), dg = std::abs(a.g - b.g), db = std::abs(a.b - b.b);
  std::string last;
  switch (selector) {
    case 0:
      last = StrFormat("Only compare R component: (%03d, --, --)", dr);
      break;
    case 1:
      last = StrFormat("Only compare G component: (--, %03d, --)", dg);
      break;
    case 2:
      last = StrFormat("Only compare B component: (--, --, %03d)", db);
      break;
    default:
      last = StrFormat("Sum of all RGB componets:  %03d", dr + dg + db);
      break;
  }
  return {StrFormat("RGB value in image #1 (%03d, %03d, %03d)", a.r, a.g, a.b),
          StrFormat("RGB value in image #2 (%03d, %03d, %03d)", b.r, b.g, b.b),
          StrFormat("RGB difference value: (%03d, %03d, %03d)", dr, dg, db), last};
}

}  // namespace vx
