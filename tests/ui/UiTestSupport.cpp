#include "UiTestSupport.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QRadioButton>
#include <QScreen>
#include <algorithm>
#include <cerrno>
#include <chrono>

namespace vx::test {

bool TakesItsOwnClick(QWidget* widget, QPoint at) {
  QWidget* window = widget->window();
  const QPoint onWindow = widget->mapTo(window, at.x() < 0 ? widget->rect().center() : at);
  QWidget* hit = window->childAt(onWindow);
  return hit == widget || widget->isAncestorOf(hit);
}

testing::AssertionResult ClickAsUser(QWidget* widget, QPoint at) {
  if (!widget) return testing::AssertionFailure() << "no widget";
  // A radio button or check box takes clicks on its mark and text, not on the
  // empty rest of its row: aim at the mark.
  if (at.x() < 0 && (qobject_cast<QRadioButton*>(widget) || qobject_cast<QCheckBox*>(widget)))
    at = QPoint(std::min(8, widget->width() / 2), widget->height() / 2);
  if (!widget->isVisible() || !widget->isEnabled())
    return testing::AssertionFailure() << widget->metaObject()->className() << " is hidden or disabled";
  QWidget* window = widget->window();
  const QPoint onWindow = widget->mapTo(window, at.x() < 0 ? widget->rect().center() : at);
  QWidget* hit = window->childAt(onWindow);
  if (hit != widget && !widget->isAncestorOf(hit))
    return testing::AssertionFailure() << widget->metaObject()->className() << " is covered by "
                                       << (hit ? hit->metaObject()->className() : "nothing");
  QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(window, onWindow));
  return testing::AssertionSuccess();
}

testing::AssertionResult DropAsUser(QWidget* widget, const QList<QUrl>& urls, QPoint at) {
  if (!widget) return testing::AssertionFailure() << "no widget";
  QWidget* window = widget->window();
  const QPoint onWindow = widget->mapTo(window, at.x() < 0 ? widget->rect().center() : at);
  QWidget* hit = window->childAt(onWindow);
  if (!hit) hit = window;
  if (hit != widget && !widget->isAncestorOf(hit))
    return testing::AssertionFailure()
           << widget->metaObject()->className() << " is covered by " << hit->metaObject()->className();
  QWidget* target = hit;
  while (!target->acceptDrops() && !target->isWindow()) target = target->parentWidget();
  if (!target->acceptDrops())
    return testing::AssertionFailure() << "refused: nothing under the point takes drops";
  QMimeData data;
  data.setUrls(urls);
  const QPoint position = target->mapFrom(window, onWindow);
  const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
  QDragEnterEvent enter(position, actions, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted())
    return testing::AssertionFailure() << "refused by " << target->metaObject()->className() << " on entry";
  QDragMoveEvent move(position, actions, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &move);
  if (!move.isAccepted()) {
    QDragLeaveEvent leave;
    QApplication::sendEvent(target, &leave);
    return testing::AssertionFailure() << "refused by " << target->metaObject()->className() << " on a move";
  }
  QDropEvent drop(QPointF(position), actions, &data, Qt::LeftButton, Qt::NoModifier);
  drop.setDropAction(move.dropAction());
  QApplication::sendEvent(target, &drop);
  if (!drop.isAccepted())
    return testing::AssertionFailure()
           << "refused by " << target->metaObject()->className() << " at the drop";
  return testing::AssertionSuccess();
}

QList<QUrl> FileUrls(std::initializer_list<std::string> paths) {
  QList<QUrl> urls;
  for (const std::string& path : paths) urls << QUrl::fromLocalFile(QString::fromStdString(path));
  return urls;
}

testing::AssertionResult TypeAsUser(QLineEdit* box, const QString& text) {
  // A person's click activates the window first (the window manager's part).
  if (QWidget* window = box->window(); !window->isActiveWindow()) {
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window, 2000)) return testing::AssertionFailure() << "window not active";
  }
  if (auto clicked = ClickAsUser(box); !clicked) return clicked;
  QWidget* focused = QApplication::focusWidget();
  if (focused != box) return testing::AssertionFailure() << "the click did not give the box the focus";
  QTest::keyClick(focused, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(focused, Qt::Key_Backspace);
  QTest::keyClicks(focused, text);
  return testing::AssertionSuccess();
}

testing::AssertionResult PickAsUser(QComboBox* list, int index) {
  if (auto clicked = ClickAsUser(list); !clicked) return clicked;
  QAbstractItemView* view = list->view();
  if (!QTest::qWaitFor([&] { return view->isVisible(); }, 2000))
    return testing::AssertionFailure() << "the list did not drop down";
  const QRect item = view->visualRect(view->model()->index(index, list->modelColumn(), view->rootIndex()));
  if (!item.isValid()) return testing::AssertionFailure() << "no entry " << index;
  QTest::qWait(QApplication::doubleClickInterval() + 20);  // a release sooner is taken as the opening click's
  QTest::mouseMove(view->viewport(), item.center());
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
  if (!QTest::qWaitFor([&] { return !view->isVisible(); }, 2000))
    return testing::AssertionFailure() << "the list stayed open at " << list->currentIndex() << " item "
                                       << item.x() << "," << item.y() << " " << item.width() << "x"
                                       << item.height() << " view " << view->width() << "x" << view->height();
  return testing::AssertionSuccess();
}

QPushButton* DialogButton(QWidget* dialog, QDialogButtonBox::StandardButton which) {
  for (auto* box : dialog->findChildren<QDialogButtonBox*>()) {
    if (QPushButton* b = box->button(which)) return b;
  }
  return nullptr;
}

testing::AssertionResult ChooseFromMenu(QMainWindow* window, const QString& menuTitle,
                                        const QString& entryText) {
  QMenuBar* bar = window->menuBar();
  QAction* title = nullptr;
  for (QAction* a : bar->actions())
    if (a->text() == menuTitle) title = a;
  if (!title || !title->menu()) return testing::AssertionFailure() << "no menu " << menuTitle.toStdString();
  if (auto clicked = ClickAsUser(bar, bar->actionGeometry(title).center()); !clicked) return clicked;
  QMenu* menu = title->menu();
  if (!QTest::qWaitFor([&] { return menu->isVisible(); }, 2000))
    return testing::AssertionFailure() << "the menu did not open";
  for (QAction* entry : menu->actions()) {
    if (entry->text() != entryText) continue;
    if (!entry->isEnabled()) return testing::AssertionFailure() << entryText.toStdString() << " is disabled";
    const QPoint at = menu->actionGeometry(entry).center();
    QTest::mouseMove(menu, at);
    QTest::mouseClick(menu, Qt::LeftButton, {}, at);
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << "no entry " << entryText.toStdString();
}

testing::AssertionResult PressShortcut(QWidget* window, const QKeySequence& keys) {
  window->activateWindow();
  if (!QTest::qWaitForWindowActive(window)) return testing::AssertionFailure() << "window not active";
  QTest::keySequence(window, keys);
  return testing::AssertionSuccess();
}

QStringList MenuTexts(const QMenu* menu) {
  QStringList texts;
  for (const QAction* a : menu->actions()) {
    if (!a->isSeparator()) texts << a->text();
  }
  return texts;
}

std::string NumberedClip(const test::TempDir& dir, const std::string& name, int frames, int w, int h) {
  std::vector<uint8_t> bytes;
  for (int n = 1; n <= frames; ++n) {
    bytes.insert(bytes.end(), static_cast<size_t>(w * h), static_cast<uint8_t>(n));
    bytes.insert(bytes.end(), static_cast<size_t>(w * h / 2), static_cast<uint8_t>(128 + n));
  }
  const std::string path = (dir / name).string();
  test::WriteFileBytes(path, bytes);
  return path;
}

ImageFormat I420Format(int w, int h) {
  ImageFormat f = test::PlainLayout(YUV_420, YUV, Progressive, Planar, w, h);
  f.ImageResolution = kCustomResolution;
  return f;
}

bool InsideTheScreen(QWidget* window) {
  const QRect area = window->screen()->availableGeometry();
  return area.contains(QRect(window->pos(), window->size()));
}

testing::AssertionResult BrowseAsUser(QPushButton* browse, const std::string& name,
                                      const std::function<void(CYuvFrmtDlg*)>& inDialog) {
  FileNameAnswers answers({QString::fromStdString(name)});
  ModalHandler<CYuvFrmtDlg> handler([&](CYuvFrmtDlg* format) {
    if (inDialog) inDialog(format);
    EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok)));
  });
  if (auto clicked = ClickAsUser(browse); !clicked) return clicked;
  if (handler.count != 1) return testing::AssertionFailure() << "no format dialog opened";
  return testing::AssertionSuccess();
}

testing::AssertionResult ReplaceText(QPlainTextEdit* box, const QString& text) {
  if (QWidget* window = box->window(); !window->isActiveWindow()) {
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window, 2000)) return testing::AssertionFailure() << "window not active";
  }
  if (auto clicked = ClickAsUser(box->viewport()); !clicked) return clicked;
  QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(box, Qt::Key_Delete);
  QTest::keyClicks(box, text);
  return testing::AssertionSuccess();
}

HeldFifo::HeldFifo(std::filesystem::path path) : path_(std::move(path)) {
  if (::mkfifo(path_.c_str(), 0600) != 0) return;
  // Opened here, so a writer finds its reader at once.
  const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) return;
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  fd_ = fd;
  reader_ = std::thread([this, fd] {
    while (!released_) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    char buffer[65536];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) != 0;) {
      if (got > 0)
        bytes_ += got;
      else if (errno != EINTR)
        break;
    }
    ::close(fd);
  });
}

HeldFifo::~HeldFifo() {
  Release();
  if (reader_.joinable()) reader_.join();
}

bool HeldFifo::WaitForBytes(int ms) const {
  return QTest::qWaitFor(
      [&] {
        int waiting = 0;
        return fd_ >= 0 && ::ioctl(fd_, FIONREAD, &waiting) == 0 && waiting > 0;
      },
      ms);
}

}  // namespace vx::test
