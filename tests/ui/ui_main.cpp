#include <gtest/gtest.h>

#include <QApplication>

#include "platform/MessageSink.h"
#include "shell/desktop/Resources.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  vx::InitResources();
  testing::InitGoogleTest(&argc, argv);
  vx::RecordingMessageSink quiet;
  vx::ScopedMessageSink scope(quiet);
  return RUN_ALL_TESTS();
}