#include "ui/controls/FileDrops.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <utility>

#include "ui/controls/FileNameDialogs.h"

namespace vx {
namespace {

// Takes the drag and drop events of its parent, the target.
class FileDropFilter : public QObject {
 public:
  FileDropFilter(QWidget* target, std::function<bool(QPoint)> takesAt,
                 std::function<void(const QStringList&, QPoint)> open)
      : QObject(target), target_(target), takesAt_(std::move(takesAt)), open_(std::move(open)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != target_) return false;
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (Takes(*drag))
          drag->acceptProposedAction();
        else
          drag->ignore();
        return true;  // the target's own handling (a text box's text drop) never sees it
      }
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!Takes(*drop)) {
          drop->ignore();
          return true;
        }
        drop->acceptProposedAction();
        const QStringList files = DroppedLocalFiles(drop->mimeData());
        const QPoint at = drop->position().toPoint();
        QTimer::singleShot(0, target_, [open = open_, files, at] { open(files, at); });
        return true;
      }
      default:
        return false;
    }
  }

 private:
  bool Takes(const QDropEvent& event) const {
    return !DroppedLocalFiles(event.mimeData()).isEmpty() && takesAt_(event.position().toPoint());
  }

  QWidget* target_;
  std::function<bool(QPoint)> takesAt_;
  std::function<void(const QStringList&, QPoint)> open_;
};

}  // namespace

QStringList DroppedLocalFiles(const QMimeData* data) {
  if (!data || !data->hasUrls()) return {};
  QStringList files;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) return {};
    const QString path = url.toLocalFile();
    if (path.isEmpty() || QFileInfo(path).isDir()) return {};
    files << path;
  }
  return files;
}

void AcceptFileDrops(QWidget* target, std::function<bool(QPoint)> takesAt,
                     std::function<void(const QStringList&, QPoint)> open) {
  target->setAcceptDrops(true);
  target->installEventFilter(new FileDropFilter(target, std::move(takesAt), std::move(open)));
}

void AcceptFileDropsAsBrowse(QWidget* target, std::function<QPushButton*(QPoint)> browseAt) {
  AcceptFileDrops(
      target,
      [browseAt](QPoint at) {
        const QPushButton* browse = browseAt(at);
        return browse && browse->isEnabled();
      },
      [browseAt](const QStringList& files, QPoint at) {
        QPointer<QPushButton> browse = browseAt(at);
        if (!browse || !browse->isEnabled()) return;  // a job started since the drop
        const ScopedPickerAnswer answer(files);
        browse->click();
      });
}

void AcceptFileDropsAsBrowse(QLineEdit* box, QPushButton* browse) {
  QPointer<QPushButton> button = browse;
  AcceptFileDropsAsBrowse(box, [button](QPoint) { return button.data(); });
}

}  // namespace vx
