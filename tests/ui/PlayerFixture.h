#pragma once

// A player window for a test: the program's settings put back after it, the
// frames it shows collected, messages recorded, files in a scratch folder.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest/QTest>
#include <vector>

#include "UiTestSupport.h"
#include "model/Settings.h"
#include "ui/player/VideoPlayer.h"

namespace vx::test {

class PlayerFixture : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = CurrentSettings();
    player_ = new CVideoPlayer;
    // The fixture's own object as context: no report reaches a finished test.
    QObject::connect(player_, &CVideoPlayer::frameShown, &context_,
                     [this](int frame) { frames_.push_back(frame); });
    Child<QLineEdit>(player_, QStringLiteral("speed"))->setText(QStringLiteral("120"));
  }
  void TearDown() override {
    CurrentSettings() = saved_;
    if (!player_) return;
    player_->Exit();
    delete player_.data();
  }
  // Waits until the worker's last reports have been handled.
  void WaitUntilDone() {
    ASSERT_TRUE(WaitUntil(
        [&] {
          return !player_->WorkerRunning() &&
                 Child<QPushButton>(player_, QStringLiteral("start"))->isEnabled();
        },
        5000));
    QTest::qWait(30);  // reports posted before the buttons came back may still be queued
  }
  void WaitFor(int frame) {
    ASSERT_TRUE(WaitUntil([&] { return !frames_.empty() && frames_.back() == frame; }, 5000))
        << "waiting for frame " << frame << ", last shown " << (frames_.empty() ? 0 : frames_.back());
  }
  test::TempDir dir_;
  QObject context_;
  ProgramSettings saved_;
  QPointer<CVideoPlayer> player_;
  std::vector<int> frames_;
  RecordingMessageSink recorder_;
  ScopedMessageSink scope_{recorder_};
};

}  // namespace vx::test
