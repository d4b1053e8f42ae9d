#include <gtest/gtest.h>

#include "platform/MessageSink.h"

// Messages from the code under test are recorded, never printed, unless a test
// installs its own recorder to look at them.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  vx::RecordingMessageSink quiet;
  vx::ScopedMessageSink scope(quiet);
  return RUN_ALL_TESTS();
}
