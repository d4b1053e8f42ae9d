#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest/QTest>
#include <atomic>
#include <thread>

#include "app/MainFrame.h"
#include "platform/MessageBoxSink.h"

namespace vx {
namespace {

TEST(MainFrame, OpensWhereAndAsItShould) {
  CMainFrame frame;
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  EXPECT_EQ(frame.windowTitle(), QStringLiteral("Velutrix"));
  EXPECT_EQ(frame.geometry().size(), QSize(1000, 600));
}

// Answers every message box that opens by pressing its OK button.
class BoxAnswerer : public QObject {
 public:
  BoxAnswerer() {
    timer_.setInterval(20);
    connect(&timer_, &QTimer::timeout, this, [this] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
          texts.push_back(box->text());
          captions.push_back(box->windowTitle());
          box->button(QMessageBox::Ok)->click();
        }
      }
    });
    timer_.start();
  }
  QStringList texts;
  QStringList captions;

 private:
  QTimer timer_;
};

TEST(MessageBoxSink, WorkerWaitsUntilTheBoxIsAnswered) {
  BoxAnswerer answerer;
  MessageBoxSink sink;
  ScopedMessageSink scope(sink);
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    ShowMessage("Error TEST1001: from a worker\n");
    returned = true;
  });
  QTRY_VERIFY_WITH_TIMEOUT(returned.load(), 5000);
  worker.join();
  ShowMessage("Please answer!", kPromptCaption);
  ASSERT_EQ(answerer.texts.size(), 2);
  EXPECT_EQ(answerer.texts[0], QStringLiteral("Error TEST1001: from a worker\n"));
  EXPECT_EQ(answerer.captions[0], QStringLiteral("Velutrix"));
  EXPECT_EQ(answerer.captions[1], QStringLiteral("Error"));
}

}  // namespace
}  // namespace vx

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
