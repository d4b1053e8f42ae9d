#include "platform/MessageBoxSink.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QThread>

namespace vx {
namespace {

void ShowBox(const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, QApplication::activeWindow());
  // Messages such as the usage text are laid out with spaces: keep them aligned.
  if (text.count(QLatin1Char('\n')) > 8) {
    box.setStyleSheet(QStringLiteral("QLabel { font-family: monospace; }"));
  }
  box.exec();
}

}  // namespace

void MessageBoxSink::Show(std::string_view caption, std::string_view text) {
  const QString captionText = QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
  QString bodyText = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || QThread::currentThread() == app->thread()) {
    ShowBox(captionText, bodyText);
    return;
  }
  QMetaObject::invokeMethod(
      app, [captionText, bodyText] { ShowBox(captionText, bodyText); }, Qt::BlockingQueuedConnection);
}

}  // namespace vx
