#include "ui/controls/MessageBoxSink.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSpacerItem>
#include <QString>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vx {
namespace {

// Long texts laid out with spaces (the usage text): a scrollable box in a
// fixed-width font that fits the screen, with OK always reachable.
void ShowLongText(const QString& caption, const QString& text) {
  QDialog box(QApplication::activeWindow());
  box.setObjectName(QStringLiteral("LongMessage"));
  box.setWindowTitle(caption);
  auto* view = new QPlainTextEdit(text, &box);
  view->setReadOnly(true);
  view->setLineWrapMode(QPlainTextEdit::NoWrap);
  view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
  auto* layout = new QVBoxLayout(&box);
  layout->addWidget(view);
  layout->addWidget(buttons);
  const QFontMetrics metrics(view->font());
  int widest = 0;
  for (const QString& line : text.split(QLatin1Char('\n')))
    widest = std::max(widest, metrics.horizontalAdvance(line));
  const QSize wanted(widest + 60,
                     metrics.lineSpacing() * (static_cast<int>(text.count(QLatin1Char('\n'))) + 2) + 80);
  const QSize room = box.screen() ? box.screen()->availableGeometry().size() * 9 / 10 : QSize(1000, 700);
  box.resize(wanted.boundedTo(room));
  box.exec();
}

void ShowBox(const QString& caption, const QString& text) {
  if (text.count(QLatin1Char('\n')) > 20) {
    ShowLongText(caption, text);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, QApplication::activeWindow());
  // Messages such as the usage text are laid out with spaces: keep them aligned.
  if (text.count(QLatin1Char('\n')) > 8) {
    box.setStyleSheet(QStringLiteral("QLabel { font-family: monospace; }"));
  }
  // Wide enough for its title, which a short message would otherwise cut.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    const int titleWidth = box.fontMetrics().horizontalAdvance(caption) + 160;
    grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Fixed, QSizePolicy::Minimum), grid->rowCount(),
                  0, 1, grid->columnCount());
  }
  box.exec();
}

// Workers waiting for their boxes, and the workers the UI thread let go.
struct WaitingWorkers {
  std::mutex lock;
  std::condition_variable changed;
  std::vector<std::thread::id> released;
  bool Released(std::thread::id worker) const {
    return std::find(released.begin(), released.end(), worker) != released.end();
  }
};

WaitingWorkers& Waiting() {
  static WaitingWorkers waiting;
  return waiting;
}

}  // namespace

WorkerReleasedFromMessages::WorkerReleasedFromMessages(std::thread::id worker) : worker_(worker) {
  WaitingWorkers& waiting = Waiting();
  {
    std::lock_guard guard(waiting.lock);
    waiting.released.push_back(worker);
  }
  waiting.changed.notify_all();
}

WorkerReleasedFromMessages::~WorkerReleasedFromMessages() {
  // The id is free for a later thread once this worker has been joined.
  WaitingWorkers& waiting = Waiting();
  std::lock_guard guard(waiting.lock);
  const auto it = std::find(waiting.released.begin(), waiting.released.end(), worker_);
  if (it != waiting.released.end()) waiting.released.erase(it);
}

void MessageBoxSink::Show(std::string_view caption, std::string_view text) {
  const QString captionText = QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
  QString bodyText = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || QThread::currentThread() == app->thread()) {
    ShowBox(captionText, bodyText);
    return;
  }
  WaitingWorkers& waiting = Waiting();
  auto answered = std::make_shared<bool>(false);  // under waiting.lock
  const std::thread::id self = std::this_thread::get_id();
  std::unique_lock guard(waiting.lock);
  QMetaObject::invokeMethod(
      app,
      [captionText, bodyText, answered] {
        ShowBox(captionText, bodyText);
        WaitingWorkers& w = Waiting();
        {
          std::lock_guard lock(w.lock);
          *answered = true;
        }
        w.changed.notify_all();
      },
      Qt::QueuedConnection);
  waiting.changed.wait(guard, [&] { return *answered || waiting.Released(self); });
}

}  // namespace vx
