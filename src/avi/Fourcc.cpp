#include <array>
#include <cstring>

#include "avi/AviFile.h"
#include "platform/StringFormat.h"

namespace vx::avi {
namespace {

bool Printable(uint32_t code) {
  for (int i = 0; i < 4; ++i) {
    const unsigned c = (code >> (8 * i)) & 0xFF;
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

}  // namespace

uint32_t FourccFromText(const std::string& code) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) {
    const uint8_t c = i < code.size() ? static_cast<uint8_t>(code[i]) : ' ';
    value |= uint32_t{c} << (8 * i);
  }
  return value;
}

std::string FourccText(uint32_t code) {
  if (!Printable(code)) return "unknown";
  std::string text(4, ' ');
  for (int i = 0; i < 4; ++i) text[static_cast<size_t>(i)] = static_cast<char>((code >> (8 * i)) & 0xFF);
  return text;
}

bool LooksLikeAviFile(const std::string& path) {
  if (auto file = RawFile::OpenRead(path)) {
    std::array<char, 12> head{};
    return file->Read(head.data(), static_cast<int64_t>(head.size())) == static_cast<int64_t>(head.size()) &&
           std::memcmp(head.data(), "RIFF", 4) == 0 && std::memcmp(head.data() + 8, "AVI ", 4) == 0;
  }
  return path.size() >= 4 && EqualsIgnoreCase(std::string_view(path).substr(path.size() - 4), ".avi");
}

}  // namespace vx::avi
