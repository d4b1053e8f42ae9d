#pragma once

// One process-wide helper thread for splitting a piece of work in two: the helper
// takes one half while the caller does the other. When the helper is busy (another
// thread splits its work), the caller does both halves itself.

#include <functional>

namespace vx {

// Runs `theirs` on the helper and `mine` on the calling thread, and returns when
// both are done. An exception from either half is rethrown on the calling thread
// once both have ended (the caller's own when both threw).
void RunAlongside(const std::function<void()>& theirs, const std::function<void()>& mine);

}  // namespace vx
