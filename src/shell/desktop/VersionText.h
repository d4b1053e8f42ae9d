#pragma once

#include <string>

namespace vx {

// The commit the program was built from; empty when it was built outside a checkout.
extern const char kBuildCommit[];

// What `velutrix --version` prints: the name and version, the commit, and the
// versions of Qt and FFmpeg, each on a line of its own.
std::string VersionText();

}  // namespace vx
