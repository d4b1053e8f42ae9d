#include "avi/AviFile.h"

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

}  // namespace vx::avi
