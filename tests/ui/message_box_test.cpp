#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QTimer>
#include <QtTest/QTest>
#include <atomic>
#include <thread>

#include "UiTestSupport.h"
#include "model/CommandLine.h"
#include "ui/controls/MessageBoxSink.h"

namespace vx::test {
namespace {

TEST(MessageBoxSink, AShortMessageLeavesRoomForItsTitle) {
  MessageBoxSink sink;
  ScopedMessageSink scope(sink);
  int width = 0, titleWidth = 0;
  QTimer::singleShot(100, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (!box || !box->isVisible()) continue;
      width = box->width();
      titleWidth = box->fontMetrics().horizontalAdvance(box->windowTitle());
      box->button(QMessageBox::Ok)->click();
    }
  });
  ShowMessage("Done!");
  EXPECT_GE(width, titleWidth + 120) << "the caption \"Velutrix\" is not cut";
}

TEST(MessageBoxSink, TheUsageTextFitsTheScreenWithOkReachable) {
  MessageBoxSink sink;
  ScopedMessageSink scope(sink);
  bool seen = false, fits = false, okVisible = false;
  QTimer::singleShot(100, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (widget->objectName() != QStringLiteral("LongMessage") || !widget->isVisible()) continue;
      seen = true;
      fits = widget->screen()->availableGeometry().contains(widget->geometry());
      auto* ok = widget->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
      okVisible = ok->isVisible() && widget->rect().contains(ok->mapTo(widget, ok->rect().bottomRight()));
      QTest::mouseClick(ok, Qt::LeftButton);
    }
  });
  ShowMessage(UsageText("velutrix"));
  EXPECT_TRUE(seen);
  EXPECT_TRUE(fits);
  EXPECT_TRUE(okVisible);
}

TEST(MessageBoxSink, WorkerWaitsUntilTheBoxIsAnswered) {
  BoxAnswerer answerer;
  MessageBoxSink sink;
  ScopedMessageSink scope(sink);
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    ShowMessage("Error TEST1001: from a worker\n");
    returned = true;
  });
  ASSERT_TRUE(WaitUntil([&] { return returned.load(); }, 5000));
  worker.join();
  ShowMessage("Please answer!", kPromptCaption);
  ASSERT_EQ(answerer.texts.size(), 2);
  EXPECT_EQ(answerer.texts[0], QStringLiteral("Error TEST1001: from a worker\n"));
  EXPECT_EQ(answerer.captions[0], QStringLiteral("Velutrix"));
  EXPECT_EQ(answerer.captions[1], QStringLiteral("Error"));
}

}  // namespace
}  // namespace vx::test
