#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "UiTestSupport.h"
#include "ui/controls/DialogWorker.h"
#include "ui/controls/MessageBoxSink.h"

namespace vx::test {
namespace {

TEST(DialogWorkers, AStartQueuedWhileFinishingNeverMakesASecondThread) {
  QObject owner;
  DialogWorker worker(&owner);
  std::atomic<bool> release{false};
  int completions = 0;
  for (int round = 0; round < 50; ++round) {
    ASSERT_TRUE(worker.Start([&] {
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return DialogWorker::Completion([&] { ++completions; });
    }));
    // A click that arrives while the window waits for its worker (a Start queued now).
    bool queuedStarted = false;
    QMetaObject::invokeMethod(
        &owner, [&] { queuedStarted = worker.Start([] { return DialogWorker::Completion(); }); },
        Qt::QueuedConnection);
    std::thread([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      release = true;
    }).detach();
    worker.Finish();  // waits without handling the queued click
    EXPECT_FALSE(worker.Running());
    EXPECT_FALSE(queuedStarted);
    release = false;
    QCoreApplication::processEvents();  // the click now: a fresh thread
    EXPECT_TRUE(queuedStarted);
    worker.Finish();
  }
  EXPECT_EQ(completions, 0) << "a run that was finished keeps its completion to itself";
}

TEST(DialogWorkers, FinishingLaterRefusesStartsUntilTheRunHasEnded) {
  QObject owner;
  DialogWorker worker(&owner);
  std::atomic<bool> release{false};
  ASSERT_TRUE(worker.Start([&] {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return DialogWorker::Completion();
  }));
  int ended = 0;
  EXPECT_TRUE(worker.FinishLater([&] { ++ended; }));
  EXPECT_TRUE(worker.Finishing());
  EXPECT_FALSE(worker.Start([] { return DialogWorker::Completion(); })) << "never a second thread";
  release = true;
  ASSERT_TRUE(WaitUntil([&] { return ended == 1; }));
  EXPECT_FALSE(worker.Finishing());
  EXPECT_FALSE(worker.Joinable());
  // No run: nothing put off, and `then` left to the caller.
  worker.Finish();
  EXPECT_FALSE(worker.FinishLater([&] { ++ended; }));
  EXPECT_EQ(ended, 1);
  ASSERT_TRUE(worker.Start([] { return DialogWorker::Completion(); }));
  worker.Finish();
}

TEST(DialogWorkers, AWorkerWaitingForAMessageBoxNeverBlocksTheWindowsWait) {
  MessageBoxSink boxes;
  ScopedMessageSink scope(boxes);
  BoxAnswerer answerer;
  QWidget owner;
  DialogWorker worker(&owner);
  std::atomic<bool> asked{false};
  ASSERT_TRUE(worker.Start([&] {
    asked = true;
    ShowMessage("Error TEST0001: shown while the window waits\n");
    return DialogWorker::Completion();
  }));
  while (!asked) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  worker.Finish();  // the box cannot show while this thread waits: the worker is let go on
  EXPECT_FALSE(worker.Joinable());
  ASSERT_TRUE(WaitUntil([&] { return !answerer.texts.isEmpty(); })) << "the box still shows";
  EXPECT_EQ(answerer.texts.front(), QStringLiteral("Error TEST0001: shown while the window waits\n"));
}

TEST(DialogWorkers, AnExceptionEndsTheRunWithItsMessage) {
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  QObject owner;
  DialogWorker worker(&owner);
  int failed = 0, completed = 0;
  worker.SetFailureCompletion([&] { ++failed; });
  ASSERT_TRUE(worker.Start([&]() -> DialogWorker::Completion {
    throw std::bad_alloc();
    return [&] { ++completed; };
  }));
  ASSERT_TRUE(WaitUntil([&] { return failed == 1; }));
  EXPECT_EQ(completed, 0);
  EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"Error VLTX1028: The work stopped: out of memory\n"});
  ASSERT_TRUE(
      worker.Start([]() -> DialogWorker::Completion { throw std::runtime_error("a kernel failed"); }));
  ASSERT_TRUE(WaitUntil([&] { return failed == 2; }));
  EXPECT_EQ(recorder.Texts().back(), "Error VLTX1028: The work stopped: a kernel failed\n");
}

}  // namespace
}  // namespace vx::test
