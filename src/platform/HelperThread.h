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

// Runs `work` on the calling thread and, when the helper is free, on the helper
// too. `work` shares itself out (each run takes what is left, and the caller's
// run alone finishes it), so the caller never waits for a helper that has not
// started yet: it takes the offer back. A started helper run is waited for; an
// exception is rethrown as by RunAlongside.
void RunShared(const std::function<void()>& work);

}  // namespace vx
