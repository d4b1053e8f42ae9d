#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vx {

// `velutrix --help`: the usage text on stdout, exit code 0.
bool AsksForHelp(const std::vector<std::string>& args);
// `velutrix --version`: the program's version and the libraries it loaded.
bool AsksForVersion(const std::vector<std::string>& args);
// Writes the usage text for `programName` to stdout; returns the exit code, 0.
int PrintHelp(std::string_view programName);

// The files of a command line that names files and nothing else (what a desktop
// entry or "Open with" starts the program with); empty when any argument is an option.
std::vector<std::string> FilesToOpen(const std::vector<std::string>& args);

// `text` as troff prints it literally: backslashes and minus signs escaped, and
// lines that would read as requests guarded.
std::string TroffLiteral(std::string_view text);
// The manual page velutrix(1), its options section the usage text itself.
std::string ManPage();

}  // namespace vx
