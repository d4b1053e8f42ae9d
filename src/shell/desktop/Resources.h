#pragma once

namespace vx {

// Registers the resources compiled into the UI library (the user manual). A
// static library's resources must be registered by the program that links it.
void InitResources();

}  // namespace vx
