#pragma once

#include <string>
#include <string_view>

namespace vx {

// printf-style formatting into a std::string. The program's messages are fixed
// printf templates, so keeping the templates verbatim keeps the texts exact.
std::string StrFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Reads a number the way the C library's atoi does (leading white space, an
// optional sign, then digits; 0 when there are none), but saturates at the int32
// limits instead of overflowing.
int ParseLeadingInt(std::string_view text);

// ASCII lower-case copy.
std::string ToLowerAscii(std::string_view text);

// ASCII case-insensitive equality.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace vx
