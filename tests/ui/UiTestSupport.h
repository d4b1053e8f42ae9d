// What the window tests share: a person's clicks and keys, answers to message
// boxes and file pickers, test clips, and the fixtures several windows' tests build on.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QtTest/QTest>
#include <atomic>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "PixelTestSupport.h"
#include "TestSupport.h"
#include "image/ImageFormat.h"
#include "model/Settings.h"
#include "platform/MessageSink.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/FormatDialog.h"

namespace vx::test {

// Waits (handling events) until `condition` holds; false after `ms` milliseconds.
template <typename Condition>
bool WaitUntil(Condition condition, int ms = 5000) {
  return QTest::qWaitFor(condition, ms);
}

// Answers every message box that opens by pressing `button`, and remembers it.
class BoxAnswerer : public QObject {
 public:
  explicit BoxAnswerer(QMessageBox::StandardButton button = QMessageBox::Ok) {
    timer_.setInterval(20);
    connect(&timer_, &QTimer::timeout, this, [this, button] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
          texts.push_back(box->text());
          captions.push_back(box->windowTitle());
          QAbstractButton* b = box->button(button);
          (b ? b : box->buttons().first())->click();
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

// Whether a click at `at` (the middle when left out) of `widget` reaches it, or a
// part of it, on its window: false when another widget covers that point.
bool TakesItsOwnClick(QWidget* widget, QPoint at = QPoint(-1, -1));

// Clicks as a person does: at that point of the window, on whatever widget lies
// there. Fails (without clicking) when that is not `widget` or a part of it.
testing::AssertionResult ClickAsUser(QWidget* widget, QPoint at = QPoint(-1, -1));

// Drags `urls` (local files or any address) from elsewhere and drops them at
// `at` (the middle when left out) of `widget`, as the window system does: on the
// widget under that point of the window, or the nearest of its parents that takes
// drops, with an enter, a move and the drop. Fails (without dragging) when that
// point is covered by a widget not `widget` or a part of it, and when the drop is
// refused, saying which.
testing::AssertionResult DropAsUser(QWidget* widget, const QList<QUrl>& urls, QPoint at = QPoint(-1, -1));
QList<QUrl> FileUrls(std::initializer_list<std::string> paths);

// Clicks into a text box, selects what it holds with the keyboard and types `text`
// over it, as a person replaces a value.
testing::AssertionResult TypeAsUser(QLineEdit* box, const QString& text);

// Opens a drop-down list with a click and clicks entry `index` in the list that
// drops down.
testing::AssertionResult PickAsUser(QComboBox* list, int index);

// The widget of `window` whose objectName is `name`, found as the window's parts
// are, not through its members. When there is none, or more than one, the test
// fails with the name and stops (gtest reports the exception), so a renamed
// widget is a clear failure rather than a crash on a null pointer.
struct NoSuchWidget : std::runtime_error {
  using std::runtime_error::runtime_error;
};
template <class W>
W* Child(const QObject& window, const char* name) {
  const QList<W*> found = window.findChildren<W*>(QString::fromLatin1(name));
  if (found.size() == 1) return found.front();
  const std::string what = std::string(found.isEmpty() ? "no " : "more than one ") +
                           W::staticMetaObject.className() + " named \"" + name + "\" in " +
                           window.metaObject()->className();
  ADD_FAILURE() << what;
  throw NoSuchWidget(what);
}
template <class W>
W* Child(const QObject* window, const QString& name) {
  return Child<W>(*window, name.toUtf8().constData());
}

// The button of a dialog's button box, e.g. OK.
QPushButton* DialogButton(QWidget* dialog, QDialogButtonBox::StandardButton which);

// Answers the file pickers as a person would, with `names` in turn, and keeps what
// each picker asked.
class FileNameAnswers {
 public:
  explicit FileNameAnswers(QStringList names = {})
      : names_(std::move(names)), scope_([this](QWidget*, const FileNameRequest& request) {
          asked.push_back(request);
          return names_.isEmpty() ? QStringList() : QStringList{names_.takeFirst()};
        }) {}
  void Add(const std::string& name) { names_ << QString::fromStdString(name); }
  std::vector<FileNameRequest> asked;

 private:
  QStringList names_;
  ScopedFileNameAsker scope_;
};

// Does what a person does in each modal dialog of type T that opens while it lives
// (polling, so a message box in between is answered first).
template <typename T>
class ModalHandler {
 public:
  using Action = std::function<void(T*)>;
  explicit ModalHandler(Action action) : action_(std::move(action)) {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
      if (!dialog || !dialog->isVisible() || dialog == handled_) return;
      handled_ = dialog;
      ++count;
      // No exception may cross Qt's event loop: a missing widget (already a
      // failure) closes the dialog instead.
      try {
        action_(dialog);
      } catch (const NoSuchWidget&) {
        dialog->reject();
      }
    });
    timer_.start();
  }
  void Do(Action action) { action_ = std::move(action); }
  int count = 0;

 private:
  Action action_;
  QPointer<T> handled_;
  QTimer timer_;
};

// A FIFO in a test directory whose reader takes nothing until Release(): a job
// writing into it is held mid-run for as long as the test needs.
class HeldFifo {
 public:
  explicit HeldFifo(std::filesystem::path path);
  ~HeldFifo();
  void Release() { released_ = true; }
  int64_t bytes() const { return bytes_; }
  // Whether a writer has put bytes in (the job is under way), within `ms`.
  bool WaitForBytes(int ms = 5000) const;

 private:
  std::filesystem::path path_;
  std::atomic<bool> released_{false};
  std::atomic<int64_t> bytes_{0};
  int fd_ = -1;  // the reader's end, closed by the reader thread
  std::thread reader_;
};

// The program's current format for one test.
class ScopedCurrentFormat {
 public:
  explicit ScopedCurrentFormat(const ImageFormat& format) : saved_(CurrentSettings().Format) {
    CurrentSettings().Format = format;
  }
  ~ScopedCurrentFormat() { CurrentSettings().Format = saved_; }

 private:
  ImageFormat saved_;
};

// Opens the menu titled `menuTitle` on the window's menu bar with a click and clicks
// its entry `entryText`, as a person does.
testing::AssertionResult ChooseFromMenu(QMainWindow* window, const QString& menuTitle,
                                        const QString& entryText);

// Presses the shortcut of a window's menu entry on the keyboard.
testing::AssertionResult PressShortcut(QWidget* window, const QKeySequence& keys);

QStringList MenuTexts(const QMenu* menu);

// A clip whose frame n (from 1) has every luma byte n and chroma 128 + n.
std::string NumberedClip(const test::TempDir& dir, const std::string& name, int frames, int w = 16,
                         int h = 8);

ImageFormat I420Format(int w = 16, int h = 8);

// The window (with the frame a window manager adds) lies inside its screen's available area.
bool InsideTheScreen(QWidget* window);

class TransformWindows : public testing::Test {
 protected:
  void SetUp() override {
    clip_ = (dir_ / "clip.yuv").string();
    test::WriteFileBytes(clip_, test::RandomBytes(352 * 288 * 3 / 2 * 3, 6));
    format_ = test::PlainLayout(YUV_420, YUV, Progressive, Planar, 352, 288);
    format_.ImageResolution = 3;
  }
  test::TempDir dir_;
  std::string clip_;
  ImageFormat format_;
  RecordingMessageSink recorder_;
  ScopedMessageSink scope_{recorder_};
};

class PsnrWindow : public TransformWindows {
 protected:
  void SetUp() override {
    TransformWindows::SetUp();
    second_ = (dir_ / "second.yuv").string();
    auto bytes = test::ReadFileBytes(clip_);
    for (size_t i = 0; i < bytes.size(); i += 7) bytes[i] ^= 3;
    test::WriteFileBytes(second_, bytes);
  }
  std::string second_;
};

// Picks `name` for one of the window's files with `browse`, confirming its format
// dialog with OK after `inDialog` has done its part.
testing::AssertionResult BrowseAsUser(QPushButton* browse, const std::string& name,
                                      const std::function<void(CYuvFrmtDlg*)>& inDialog = {});

class EditorWindow : public PsnrWindow {
 protected:
  // A 10-frame 64 x 48 I420 clip of random bytes.
  void SetUp() override {
    PsnrWindow::SetUp();
    edited_ = (dir_ / "edit_64x48.yuv").string();
    bytes_ = test::RandomBytes(64 * 48 * 3 / 2 * 10, 21);
    test::WriteFileBytes(edited_, bytes_);
    layout_ = test::Layout(YUV_420, YUV, Progressive, Planar, 64, 48);
    layout_.ImageResolution = kCustomResolution;
  }
  std::string edited_;
  std::vector<uint8_t> bytes_;
  ImageFormat layout_;
};

// Types `text` over the whole content of a multi-line box, as a person does.
testing::AssertionResult ReplaceText(QPlainTextEdit* box, const QString& text);

}  // namespace vx::test
