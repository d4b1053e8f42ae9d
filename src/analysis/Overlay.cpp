#include "analysis/Overlay.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <limits>

#include "platform/StringFormat.h"

namespace vx {
namespace {

constexpr size_t kMaxTokenLength = 64;

const char* const kFrameOpen =
    "Format wrong around %s!, expecting <Frame>, then followed by read information data!";
const char* const kFrameClose =
    "Format wrong around %s!, expecting </Frame>, then followed by </Frame> and data of next frame!";

struct Field {
  const char* open;
  const char* close;
  const char* openMessage;
  const char* closeMessage;
  int32_t OverlayHeader::*value;
};

const Field kFields[] = {
    {"<TotalFrames>", "</TotalFrames>",
     "Format wrong around %s!, expecting <TotalFrames>. The format should be like <TotalFrames> 20 "
     "</TotalFrames>",
     "Format wrong around %s!, expecting </TotalFrames>. The format be like <TotalFrames> 20 </TotalFrames>",
     &OverlayHeader::TotalFrames},
    {"<ImageWidth>", "</ImageWidth>",
     "Format wrong around %s!, expecting <ImageWidth>. The format be like <ImageWidth> 352 </ImageWidth>",
     "Format wrong around %s!, expecting </ImageWidth>. The format be like <ImageWidth> 352 </ImageWidth>",
     &OverlayHeader::ImageWidth},
    {"<ImageHeight>", "</ImageHeight>",
     "Format wrong around %s!, expecting <ImageHeight>. The format be like <ImageHeight> 288 </ImageHeight>",
     "Format wrong around %s!, expecting </ImageHeight>. The format be like <ImageHeight> 288 </ImageHeight>",
     &OverlayHeader::ImageHeight},
    {"<BlockWidth>", "</BlockWidth>",
     "Format wrong around %s!, expecting <BlockWidth>. The format be like <BlockWidth> 8 </BlockWidth>",
     "Format wrong around %s!, expecting </BlockWidth>. The format be like <BlockWidth> 8 </BlockWidth>",
     &OverlayHeader::BlockWidth},
    {"<BlockHeight>", "</BlockHeight>",
     "Format wrong around %s!, expecting <BlockHeight>. The format be like <BlockHeight> 8 </BlockHeight>",
     "Format wrong around %s!, expecting </BlockHeight>. The format be like <BlockHeight> 8 </BlockHeight>",
     &OverlayHeader::BlockHeight},
    {"<DataPerBlock>", "</DataPerBlock>",
     "Format wrong around %s!, expecting <DataPerBlock>. The format be like <DataPerBlock> 8 </DataPerBlock>",
     "Format wrong around %s!, expecting </DataPerBlock>. The format be like <DataPerBlock> 8 "
     "</DataPerBlock>",
     &OverlayHeader::DataPerBlock},
    {"<DataMin>", "</DataMin>",
     "Format wrong around %s!, expecting <DataMin>. The format be like <DataMin> -127 </DataMin>",
     "Format wrong around %s!, expecting </DataMin>. The format be like <DataMin> -127 </DataMin>",
     &OverlayHeader::DataMin},
    {"<DataMax>", "</DataMax>",
     "Format wrong around %s!, expecting <DataMax>. The format be like <DataMax> 255 </DataMax>",
     "Format wrong around %s!, expecting </DataMax>. The format be like <DataMax> 255 </DataMax>",
     &OverlayHeader::DataMax},
};

bool ParseInt(const std::string& token, int32_t& value) {
  if (token.empty()) return false;
  size_t i = token[0] == '-' || token[0] == '+' ? 1 : 0;
  if (i == token.size()) return false;
  for (size_t k = i; k < token.size(); ++k) {
    if (!std::isdigit(static_cast<unsigned char>(token[k]))) return false;
  }
  errno = 0;
  const long long parsed = std::strtoll(token.c_str(), nullptr, 10);
  if (errno == ERANGE || parsed < std::numeric_limits<int32_t>::min() ||
      parsed > std::numeric_limits<int32_t>::max())
    return false;
  value = static_cast<int32_t>(parsed);
  return true;
}

int64_t CeilDiv(int64_t a, int64_t b) {
  return (a + b - 1) / b;
}

}  // namespace

const int8_t* OverlayData::Block(int32_t frame, int32_t row, int32_t column) const {
  const int64_t at =
      ((int64_t{frame} * rows + row) * columns + column) * std::max<int64_t>(header.DataPerBlock, 1);
  return values.data() + at;
}

std::string OverlayReader::Next() {
  while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
  const size_t start = at_;
  while (at_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
  return text_.substr(start, std::min(at_ - start, kMaxTokenLength));
}

std::optional<std::string> OverlayReader::Expect(const char* tag, const char* message) {
  const std::string token = Next();
  if (token == tag) return std::nullopt;
  return StrFormat(message, token.c_str());
}

std::optional<std::string> OverlayReader::Number(int32_t& value, const char* closingMessage) {
  const std::string token = Next();
  if (ParseInt(token, value)) return std::nullopt;
  return StrFormat(closingMessage, token.c_str());
}

std::optional<std::string> OverlayReader::ReadHeader(OverlayHeader& header) {
  header = OverlayHeader{};
  for (const Field& field : kFields) {
    if (auto wrong = Expect(field.open, field.openMessage)) return wrong;
    if (auto wrong = Number(header.*field.value, field.closeMessage)) return wrong;
    if (field.value == &OverlayHeader::DataPerBlock && header.DataPerBlock != 1 && header.DataPerBlock != 2)
      return std::string("DataPerBlock can only be 1 or 2!");
    if (auto wrong = Expect(field.close, field.closeMessage)) return wrong;
  }
  // Sizes that would divide by zero or describe no picture are refused here.
  if (header.BlockWidth < 1 || header.BlockHeight < 1) {
    return StrFormat(
        "The block size %d x %d in the overlay data is not usable: blocks must be at least 1 x 1!",
        header.BlockWidth, header.BlockHeight);
  }
  if (header.ImageWidth < 1 || header.ImageHeight < 1 || header.ImageWidth > 65535 ||
      header.ImageHeight > 65535) {
    return StrFormat("The image size %d x %d in the overlay data is not supported!", header.ImageWidth,
                     header.ImageHeight);
  }
  return Expect("<Data>",
                "Format wrong around %s!, expecting <Data>, then followed by read information data!");
}

std::optional<std::string> OverlayReader::ReadFrames(int32_t frames, int32_t videoWidth, int32_t videoHeight,
                                                     OverlayData& data) {
  const OverlayHeader& h = data.header;
  const int64_t fileColumns = CeilDiv(h.ImageWidth, h.BlockWidth);
  const int64_t fileRows = CeilDiv(h.ImageHeight, h.BlockHeight);
  const int32_t perBlock = h.DataPerBlock;
  data.areaWidth = std::clamp(videoWidth, 0, h.ImageWidth);
  data.areaHeight = std::clamp(videoHeight, 0, h.ImageHeight);
  data.columns = static_cast<int32_t>(CeilDiv(data.areaWidth, h.BlockWidth));
  data.rows = static_cast<int32_t>(CeilDiv(data.areaHeight, h.BlockHeight));
  data.frames = 0;
  data.values.clear();
  data.values.shrink_to_fit();
  frames = std::clamp(frames, 0, kMaxOverlayFrames);
  const int64_t perFrame = int64_t{data.rows} * data.columns * perBlock;
  if (perFrame * frames > kMaxOverlayBytes) {
    return StrFormat("The overlay data (%d frames of %lld values) is too large to be shown!", frames,
                     static_cast<long long>(perFrame));
  }
  // Each value of the file takes a character and a separator.
  const int64_t fileTextPerFrame = 2 * fileRows * fileColumns * perBlock - 1;
  for (int32_t f = 0; f < frames; ++f) {
    if (auto wrong = Expect("<Frame>", kFrameOpen)) return wrong;
    // A text too short for the frame fails on its way through it: nothing is kept.
    int8_t* out = nullptr;
    if (TextLeft() >= fileTextPerFrame) {
      data.values.resize(static_cast<size_t>(perFrame * (f + 1)));  // zero-filled
      out = data.values.data() + perFrame * f;
    }
    for (int64_t r = 0; r < fileRows; ++r) {
      for (int64_t c = 0; c < fileColumns; ++c) {
        const bool kept = out != nullptr && r < data.rows && c < data.columns;
        for (int32_t k = 0; k < perBlock; ++k) {
          int32_t value = 0;
          if (auto wrong = Number(value, kFrameClose)) return wrong;
          if (kept) {
            out[(r * data.columns + c) * perBlock + k] =
                static_cast<int8_t>(static_cast<uint8_t>(value & 0xFF));  // the low 8 bits, signed
          }
        }
      }
    }
    if (auto wrong = Expect("</Frame>", kFrameClose)) return wrong;
    data.frames = f + 1;
  }
  return std::nullopt;
}

namespace {

const FileListSequence::Messages kOverlayVideoMessages = {
    "",
    "Error OVLY1002: Image dimension is not correct!",
    "Error OVLY1003: Input file %s not found\n",
};

}  // namespace

OverlaySequence::OverlaySequence() : FileListSequence(kOverlayVideoMessages) {}

int64_t OverlaySequence::FrameCount() const {
  const int32_t data = DataFrames.load();
  const int64_t video = FileListSequence::FrameCount();
  return data > 0 ? std::min<int64_t>(video, data) : video;
}

bool OverlaySequence::Load(int64_t n) {
  return n <= FrameCount() && FileListSequence::Load(n);
}

int32_t OverlayFramesToLoad(int32_t totalFrames, int64_t videoFrames, std::vector<std::string>& warnings) {
  int64_t count = totalFrames;
  if (count > kMaxOverlayFrames) {
    warnings.push_back(
        StrFormat("Warning! Total frame number %d in overlay data  exceed 1000 frames!, Only first "
                  "1000 frames will be displayed",
                  totalFrames));
    count = kMaxOverlayFrames;
  }
  if (count > videoFrames) {
    warnings.push_back(
        StrFormat("Warning! Overlay data (%d frames) contains more frames than image data (%d frames)! \n",
                  static_cast<int>(count),
                  static_cast<int>(std::min<int64_t>(videoFrames, std::numeric_limits<int>::max()))));
    count = videoFrames;
  }
  return static_cast<int32_t>(std::max<int64_t>(count, 0));
}

namespace {

// One picture of display rows, addressed from the top.
class DisplayRows {
 public:
  DisplayRows(std::span<uint8_t> rows, int32_t width, int32_t height, int64_t pitch, int32_t areaWidth,
              int32_t areaHeight)
      : rows_(rows),
        height_(height),
        pitch_(pitch),
        areaWidth_(std::min(width, areaWidth)),
        areaHeight_(std::min(height, areaHeight)) {}
  // The pixel (B, G, R) at (x, y), y from the top; null outside the drawn area.
  uint8_t* At(int64_t x, int64_t y) const {
    if (x < 0 || y < 0 || x >= areaWidth_ || y >= areaHeight_) return nullptr;
    const int64_t at = (height_ - 1 - y) * pitch_ + 3 * x;
    return at + 3 <= static_cast<int64_t>(rows_.size()) ? rows_.data() + at : nullptr;
  }
  void Set(int64_t x, int64_t y, const RgbColor& c) const {
    if (uint8_t* p = At(x, y)) {
      p[0] = static_cast<uint8_t>(c.Blue);
      p[1] = static_cast<uint8_t>(c.Green);
      p[2] = static_cast<uint8_t>(c.Red);
    }
  }
  int32_t areaWidth() const { return areaWidth_; }
  int32_t areaHeight() const { return areaHeight_; }

 private:
  std::span<uint8_t> rows_;
  int32_t height_;
  int64_t pitch_;
  int32_t areaWidth_, areaHeight_;
};

void Line(const DisplayRows& rows, int64_t x0, int64_t y0, int64_t x1, int64_t y1, const RgbColor& colour) {
  const int64_t dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int64_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int64_t error = dx + dy;
  for (;;) {
    rows.Set(x0, y0, colour);
    if (x0 == x1 && y0 == y1) return;
    const int64_t twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x0 += sx;
    }
    if (twice <= dx) {
      error += dx;
      y0 += sy;
    }
  }
}

}  // namespace

void DrawOverlay(const OverlayData& data, int32_t frame, const OverlayEntries& entries,
                 std::span<uint8_t> rows, int32_t width, int32_t height, int64_t pitch) {
  const OverlayHeader& h = data.header;
  if (frame < 0 || frame >= data.frames || h.BlockWidth < 1 || h.BlockHeight < 1) return;
  const DisplayRows picture(rows, width, height, pitch, data.areaWidth, data.areaHeight);
  if (h.DataPerBlock == 1) {
    for (int32_t y = 0; y < picture.areaHeight(); ++y) {
      for (int32_t x = 0; x < picture.areaWidth(); ++x) {
        uint8_t* p = picture.At(x, y);
        if (!p) continue;
        const int8_t v = *data.Block(frame, y / h.BlockHeight, x / h.BlockWidth);
        const auto match = std::find_if(entries.begin(), entries.begin() + 8,
                                        [v](const OverlayEntry& e) { return e.Value == v; });
        if (match == entries.begin() + 8) {
          for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(3 * p[c] / 4);
          continue;
        }
        const int k[3] = {match->Color.Blue, match->Color.Green, match->Color.Red};
        for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(std::min(3 * p[c] / 4 + k[c] / 2, 255));
      }
    }
    return;
  }
  const RgbColor white{255, 255, 255};
  const int64_t lastColumn = CeilDiv(h.ImageWidth, h.BlockWidth) - 1;
  const int64_t lastWidth = h.ImageWidth - lastColumn * h.BlockWidth;
  for (int32_t r = 0; r < data.rows; ++r) {
    for (int32_t s = 0; s < data.columns; ++s) {
      const int8_t* vector = data.Block(frame, r, s);
      const int64_t left = int64_t{s} * h.BlockWidth;
      const int64_t x0 =
          s == lastColumn && lastWidth < h.BlockWidth ? left + lastWidth / 2 : left + h.BlockWidth / 2;
      // The block's middle row counted from the top (r x height + height / 2 - 1); a
      // shorter last row takes the middle of what it has.
      const int64_t top = int64_t{r} * h.BlockHeight;
      const int64_t rowHeight = std::min<int64_t>(h.BlockHeight, h.ImageHeight - top);
      const int64_t y0 = top + std::max<int64_t>(rowHeight / 2 - 1, 0);
      Line(picture, x0, y0, x0 + vector[0], y0 + vector[1], entries[9].Color);
      picture.Set(x0, y0, white);
    }
  }
}

}  // namespace vx
