#include "image/Dib.h"

#include <algorithm>
#include <cstring>

#include "platform/StringFormat.h"

namespace vx {
namespace {

constexpr uint16_t kBitmapType = 19778;  // "BM"
constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kInfoHeaderBytes = 40;

uint32_t Get32(const uint8_t* p) {
  return p[0] | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint16_t Get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

// Rows rounded up to whole 32-bit words, times the height; -1 when absurd.
int64_t ComputedImageSize(int64_t width, int64_t height, int bitCount) {
  if (width < 1 || height < 1 || width > 65535 || height > 65535) return -1;
  return 4 * ((int64_t{bitCount} * width + 31) / 32) * height;
}

}  // namespace

int ColourEntriesFor(int bitCount) {
  switch (bitCount) {
    case 1:
      return 2;
    case 4:
      return 16;
    case 8:
      return 256;
    case 16:
    case 24:
    case 32:
      return 0;
    default:
      return -1;
  }
}

void CDib::Empty() {
  error_.clear();
  header_.clear();
  bits_.clear();
  palette_.clear();
  imageSize_ = 0;
  colourEntries_ = 0;
}

uint32_t CDib::HeaderField32(size_t offset) const {
  return Get32(header_.data() + offset);
}
uint16_t CDib::HeaderField16(size_t offset) const {
  return Get16(header_.data() + offset);
}

int32_t CDib::Width() const {
  return IsEmpty() ? 0 : static_cast<int32_t>(HeaderField32(4));
}
int32_t CDib::Height() const {
  return IsEmpty() ? 0 : static_cast<int32_t>(HeaderField32(8));
}
int CDib::BitCount() const {
  return IsEmpty() ? 0 : HeaderField16(14);
}
int64_t CDib::RowBytes() const {
  return IsEmpty() ? 0 : 4 * ((int64_t{BitCount()} * Width() + 31) / 32);
}

size_t CDib::ColourTableOffset() const {
  return IsEmpty() ? 0 : HeaderField32(0);
}

void CDib::BuildPalette() {
  palette_.clear();
  for (int i = 0; i < colourEntries_; ++i) {
    const uint8_t* entry = header_.data() + ColourTableOffset() + 4 * static_cast<size_t>(i);
    palette_.push_back({entry[2], entry[1], entry[0], 0});
  }
}

bool CDib::CreateFromBits(int32_t width, int32_t height, int bitCount, std::span<const uint8_t> bits) {
  Empty();
  const int entries = ColourEntriesFor(bitCount);
  const int64_t size = ComputedImageSize(width, height, bitCount);
  if (entries < 0 || size < 0 || size > kMaxImageBytes || static_cast<int64_t>(bits.size()) < size)
    return false;
  std::vector<uint8_t> header;
  header.reserve(kInfoHeaderBytes + 4 * static_cast<size_t>(entries));
  Put32(header, kInfoHeaderBytes);
  Put32(header, static_cast<uint32_t>(width));
  Put32(header, static_cast<uint32_t>(height));
  Put16(header, 1);
  Put16(header, static_cast<uint16_t>(bitCount));
  for (uint32_t field : {0u, 0u, 0u, 0u, static_cast<uint32_t>(entries), static_cast<uint32_t>(entries)}) {
    Put32(header, field);  // compression, image size, resolutions, colours used and important
  }
  for (int i = 0; i < entries; ++i) {
    const uint8_t grey = bitCount == 8 ? static_cast<uint8_t>(i) : 0;
    header.insert(header.end(), {grey, grey, grey, 0});
  }
  header_ = std::move(header);
  colourEntries_ = entries;
  imageSize_ = size;
  bits_.assign(bits.begin(), bits.begin() + size);
  BuildPalette();
  return true;
}

bool CDib::Read(RawFile& file) {
  Empty();
  auto ShowMessage = [this](const std::string& text) {
    error_ = text;
  };  // the caller decides whether to show it
  uint8_t fileHeader[kFileHeaderBytes];
  if (file.Read(fileHeader, kFileHeaderBytes) < static_cast<int64_t>(kFileHeaderBytes)) {
    ShowMessage("read error 1");
    return false;
  }
  if (Get16(fileHeader) != kBitmapType) {
    ShowMessage("Invalid bitmap file");
    return false;
  }
  const int64_t position = file.Position();
  const int64_t remaining = file.Length() - position;  // bytes after the file header
  const int64_t rowsOffset = Get32(fileHeader + 10);
  if (rowsOffset < static_cast<int64_t>(kFileHeaderBytes + kInfoHeaderBytes)) {
    ShowMessage(StrFormat("Invalid bitmap file: its pixel rows would start at byte %lld, inside the headers",
                          static_cast<long long>(rowsOffset)));
    return false;
  }
  const int64_t headerBytes = rowsOffset - static_cast<int64_t>(kFileHeaderBytes);
  if (headerBytes > remaining) {
    ShowMessage("Read error 1");
    return false;
  }
  std::vector<uint8_t> header(static_cast<size_t>(headerBytes));
  if (file.Read(header.data(), headerBytes) < headerBytes) {
    ShowMessage("Read error 1");
    return false;
  }
  const uint32_t infoSize = Get32(header.data());
  const int32_t width = static_cast<int32_t>(Get32(header.data() + 4));
  const int32_t height = static_cast<int32_t>(Get32(header.data() + 8));
  const int bitCount = Get16(header.data() + 14);
  const uint32_t compression = Get32(header.data() + 16);
  const int64_t declaredSize = Get32(header.data() + 20);
  if (infoSize < kInfoHeaderBytes) {
    ShowMessage("Invalid bitmap file: its information header is too short");
    return false;
  }
  if (height < 0) {
    ShowMessage("Top-down bitmaps (negative height) are not supported");
    return false;
  }
  if (compression != 0) {
    ShowMessage("Compressed bitmaps are not supported");
    return false;
  }
  const int entries = ColourEntriesFor(bitCount);
  if (entries < 0) {
    ShowMessage(StrFormat("Invalid bitmap file: %d bits per pixel", bitCount));
    return false;
  }
  const int64_t computed = ComputedImageSize(width, height, bitCount);
  if (computed < 0 || computed > kMaxImageBytes || declaredSize > kMaxImageBytes) {
    ShowMessage(StrFormat("Bitmaps of %d x %d pixels are not supported", width, height));
    return false;
  }
  if (int64_t{infoSize} + 4 * entries > headerBytes) {
    ShowMessage("Invalid bitmap file: its colour table overlaps the pixel rows");
    return false;
  }
  const int64_t imageSize = declaredSize != 0 ? declaredSize : computed;
  if (imageSize > remaining - headerBytes) {
    ShowMessage("Read error 1");
    return false;
  }
  // The rows the size needs must be in the file: a few header bytes cannot make
  // the reader allocate (and zero) a gigabyte.
  if (computed > remaining - headerBytes) {
    ShowMessage(StrFormat("Invalid bitmap file: %d x %d pixels need %lld bytes of rows, the file holds %lld",
                          width, height, static_cast<long long>(computed),
                          static_cast<long long>(remaining - headerBytes)));
    return false;
  }
  // Rows are kept whole even when the header declares fewer bytes than they need.
  std::vector<uint8_t> bits(static_cast<size_t>(std::max(imageSize, computed)), 0);
  if (file.Read(bits.data(), imageSize) < imageSize) {
    ShowMessage("Read error 1");
    return false;
  }
  header_ = std::move(header);
  bits_ = std::move(bits);
  imageSize_ = imageSize;
  colourEntries_ = entries;
  BuildPalette();
  return true;
}

bool CDib::Write(RawFile& file) const {
  error_.clear();
  if (IsEmpty()) return false;
  const size_t tableBytes = 4 * static_cast<size_t>(colourEntries_);
  const uint32_t rowsOffset = static_cast<uint32_t>(kFileHeaderBytes + kInfoHeaderBytes + tableBytes);
  std::vector<uint8_t> out;
  out.reserve(rowsOffset);
  Put16(out, kBitmapType);
  Put32(out, rowsOffset + static_cast<uint32_t>(imageSize_));
  Put16(out, 0);
  Put16(out, 0);
  Put32(out, rowsOffset);
  Put32(out, kInfoHeaderBytes);
  Put32(out, static_cast<uint32_t>(Width()));
  Put32(out, static_cast<uint32_t>(Height()));
  Put16(out, 1);
  Put16(out, static_cast<uint16_t>(BitCount()));
  const uint32_t entries = static_cast<uint32_t>(colourEntries_);
  for (uint32_t field : {0u, 0u, 0u, 0u, entries, entries}) Put32(out, field);
  const auto table = header_.begin() + static_cast<std::ptrdiff_t>(ColourTableOffset());
  out.insert(out.end(), table, table + static_cast<std::ptrdiff_t>(tableBytes));
  if (!file.Write(out.data(), static_cast<int64_t>(out.size())) || !file.Write(bits_.data(), imageSize_)) {
    error_ = "write error";
    return false;
  }
  return true;
}

}  // namespace vx
