#pragma once

#include <string>
#include <vector>

namespace vx {

// Runs the desktop program: start-up, the main window's event loop, shutdown.
// Returns the process exit code.
int RunDesktop(const std::vector<std::string>& args);

}  // namespace vx
