#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest/QTest>
#include <atomic>
#include <fstream>
#include <functional>
#include <random>
#include <thread>

#include "PixelTestSupport.h"
#include "TestSupport.h"
#include "image/ColorFormula.h"
#include "image/Dib.h"
#include "model/CommandLine.h"
#include "model/FileHistory.h"
#include "model/Settings.h"
#include "shell/desktop/FileHistoryDialog.h"
#include "shell/desktop/MainFrame.h"
#include "shell/desktop/Resources.h"
#include "shell/desktop/ShellWindows.h"
#include "shell/desktop/ToolRegistry.h"
#include "ui/analysis/CompareDialog.h"
#include "ui/analysis/HistogramDialogs.h"
#include "ui/analysis/MotionDialog.h"
#include "ui/analysis/OverlayDialog.h"
#include "ui/analysis/PsnrDialog.h"
#include "ui/controls/DialogWorker.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/FormatDialog.h"
#include "ui/controls/JobWindow.h"
#include "ui/controls/MessageBoxSink.h"
#include "ui/controls/RawFilePicker.h"
#include "ui/display/GridDialog.h"
#include "ui/display/PreviewArea.h"
#include "ui/editor/BlockEditDialog.h"
#include "ui/editor/ImageEditDialog.h"
#include "ui/image/FormulaDialog.h"
#include "ui/player/VideoPlayer.h"
#include "ui/tools/AviDialogs.h"
#include "ui/tools/ComponentDialogs.h"
#include "ui/tools/CompositionDialog.h"
#include "ui/tools/ConverterDialog.h"
#include "ui/tools/TransformDialogs.h"

namespace vx {
namespace {

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
bool TakesItsOwnClick(QWidget* widget, QPoint at = QPoint(-1, -1)) {
  QWidget* window = widget->window();
  const QPoint onWindow = widget->mapTo(window, at.x() < 0 ? widget->rect().center() : at);
  QWidget* hit = window->childAt(onWindow);
  return hit == widget || widget->isAncestorOf(hit);
}

// Clicks as a person does: at that point of the window, on whatever widget lies
// there. Fails (without clicking) when that is not `widget` or a part of it.
testing::AssertionResult ClickAsUser(QWidget* widget, QPoint at = QPoint(-1, -1)) {
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

// Clicks into a text box, selects what it holds with the keyboard and types `text`
// over it, as a person replaces a value.
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

// Opens a drop-down list with a click and clicks entry `index` in the list that
// drops down.
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

// The open modal dialog of type T, once it is shown.
template <typename T>
T* WaitForModal(int ms = 3000) {
  T* found = nullptr;
  QTest::qWaitFor(
      [&] {
        found = qobject_cast<T*>(QApplication::activeModalWidget());
        return found && found->isVisible();
      },
      ms);
  return found;
}

// The button of a dialog's button box, e.g. OK.
QPushButton* DialogButton(QWidget* dialog, QDialogButtonBox::StandardButton which) {
  for (auto* box : dialog->findChildren<QDialogButtonBox*>()) {
    if (QPushButton* b = box->button(which)) return b;
  }
  return nullptr;
}

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
      action_(dialog);
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
  explicit HeldFifo(std::filesystem::path path) : path_(std::move(path)) {
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
  ~HeldFifo() {
    Release();
    if (reader_.joinable()) reader_.join();
  }
  void Release() { released_ = true; }
  int64_t bytes() const { return bytes_; }
  // Whether a writer has put bytes in (the job is under way), within `ms`.
  bool WaitForBytes(int ms = 5000) const {
    return QTest::qWaitFor(
        [&] {
          int waiting = 0;
          return fd_ >= 0 && ::ioctl(fd_, FIONREAD, &waiting) == 0 && waiting > 0;
        },
        ms);
  }

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

// Presses the shortcut of a window's menu entry on the keyboard.
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

TEST(MainFrame, MenusAcceleratorsAndPrompts) {
  CMainFrame frame;
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  EXPECT_EQ(frame.windowTitle(), QStringLiteral("Velutrix"));
  EXPECT_EQ(frame.geometry().size(), QSize(1000, 600));
  QStringList titles;
  for (const QAction* a : frame.menuBar()->actions()) titles << a->text();
  EXPECT_EQ(titles, (QStringList{"YUV Player", "YUV Converter", "YUV Analyzer", "YUV Editor", "AVI Files",
                                 "&Options", "&Help"}));
  const QList<QAction*> menus = frame.menuBar()->actions();
  EXPECT_EQ(MenuTexts(menus[0]->menu()),
            (QStringList{"&Open YUV file...", "File &History Manager ", "E&xit"}));
  EXPECT_EQ(MenuTexts(menus[1]->menu()),
            (QStringList{"&Format convert ", "&Join two files", "Image c&rop", "&Vertical flip", "Pa&dding",
                         "Co&lor merge", "Color &separate"}));
  EXPECT_EQ(MenuTexts(menus[2]->menu()),
            (QStringList{"&PSNR ", "&Compare ", "&Info Overlay", "Motion Estimation "}));
  EXPECT_EQ(MenuTexts(menus[3]->menu()), (QStringList{"Inspect and &Edit", "Compositio&n"}));
  EXPECT_EQ(MenuTexts(menus[4]->menu()), (QStringList{"Decode &AVI to YUV ", "Encode &YUV to AVI "}));
  EXPECT_EQ(MenuTexts(menus[5]->menu()),
            (QStringList{"&Toolbar", "Status &Bar ", "Grid...", "YUV to RGB Form&ula"}));
  EXPECT_EQ(MenuTexts(menus[6]->menu()),
            (QStringList{"&Help Contents", "About Command Line...", "&About Velutrix..."}));

  struct Expected {
    Command command;
    const char* shortcut;
    const char* prompt;
  } expected[] = {
      {Command::Open, "Ctrl+O", "Open an existing YUV file to play"},
      {Command::History, "Ctrl+H", "File manager, display a list of YUV files with access history"},
      {Command::Crop, "Ctrl+R", "Crop an area from a YUV file"},
      {Command::Motion, "Ctrl+M", "Check motions between two adjacent frames"},
      {Command::Composition, "Ctrl+N", "Put one image on top of anyother YUV image"},
      {Command::YuvToAvi, "Ctrl+Y", "Encode YUV frames into AVI format"},
      {Command::Formula, "Ctrl+U", "Select RGB to YUV converting formula"},
      {Command::CommandLine, "", "Display command line parameters"},
  };
  for (const Expected& e : expected) {
    QAction* a = frame.action(e.command);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->shortcut().toString(), QString::fromLatin1(e.shortcut));
    EXPECT_EQ(a->statusTip(), QString::fromLatin1(e.prompt));
  }
  EXPECT_EQ(frame.action(Command::Open)->toolTip(), QStringLiteral("Play a YUV file"));
  EXPECT_EQ(frame.action(Command::History)->toolTip(), QStringLiteral("File manager"));
  EXPECT_FALSE(frame.action(Command::Convert)->isEnabled()) << "tools not yet available are disabled";
  EXPECT_TRUE(frame.action(Command::Grid)->isEnabled());
  EXPECT_EQ(frame.statusBar()->currentMessage(), QStringLiteral("For Help, press F1"));
  int separators = 0, buttons = 0;
  for (const QAction* a : frame.toolBar()->actions()) (a->isSeparator() ? separators : buttons)++;
  EXPECT_EQ(separators, 6);
  EXPECT_EQ(buttons, 21);
}

TEST(MainFrame, EachToolEntryOpensANewWindow) {
  CMainFrame frame;
  frame.RegisterTool(Command::Crop, QStringLiteral("Image Cropping"),
                     [](QWidget* parent) { return new QDialog(parent); });
  EXPECT_TRUE(frame.action(Command::Crop)->isEnabled());
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  ASSERT_TRUE(PressShortcut(&frame, QKeySequence(QStringLiteral("Ctrl+R"))));
  QWidget* first = frame.LatestWindow(Command::Crop);
  ASSERT_TRUE(ChooseFromMenu(&frame, QStringLiteral("YUV Converter"), frame.action(Command::Crop)->text()));
  QWidget* second = frame.LatestWindow(Command::Crop);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_TRUE(first->isVisible()) << "the earlier window stays open";
  EXPECT_EQ(second->windowTitle(), QStringLiteral("Image Cropping"));
}

TEST(MainFrame, FormatConvertOpensTheConverter) {
  CMainFrame frame;
  RegisterTools(frame);
  QAction* convert = frame.action(Command::Convert);
  ASSERT_TRUE(convert->isEnabled());
  EXPECT_EQ(convert->shortcut(), QKeySequence(QStringLiteral("Ctrl+F")));
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  ASSERT_TRUE(ChooseFromMenu(&frame, QStringLiteral("YUV Converter"), convert->text()));
  auto* converter = qobject_cast<CYUVConverter*>(frame.LatestWindow(Command::Convert));
  ASSERT_NE(converter, nullptr);
  EXPECT_EQ(converter->windowTitle(), QStringLiteral("Convert YUV File Format"));
  EXPECT_TRUE(converter->startButton()->isEnabled());
  EXPECT_EQ(converter->pauseButton()->text(), QStringLiteral("Pause"));
  converter->close();
}

class FormatDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = CurrentSettings();
    clip_ = (dir_ / "clip_352x288.uyvy").string();
    test::WriteFileBytes(clip_, test::RandomBytes(352 * 288 * 2 * 2, 3));
  }
  void TearDown() override { CurrentSettings() = saved_; }
  test::TempDir dir_;
  std::string clip_;
  ProgramSettings saved_;
};

TEST_F(FormatDialogTest, GuessesFromTheNameAndShowsTheStructure) {
  CYuvFrmtDlg dialog;
  dialog.SetFile(QString::fromStdString(clip_));
  dialog.SetRefuseMono(true);
  dialog.SetLeaveOutBmp(true);
  dialog.Prepare();
  EXPECT_EQ(dialog.samplingList()->currentIndex(), YUV_422);
  EXPECT_EQ(dialog.samplingList()->count(), 5) << "BMP left out";
  EXPECT_EQ(dialog.packingList()->currentIndex(), Packed);
  EXPECT_EQ(dialog.fieldList()->currentIndex(), Progressive);
  EXPECT_EQ(dialog.orderList()->currentText(), QStringLiteral("U,Y,V,Y"));
  EXPECT_EQ(dialog.resolutionList()->currentIndex(), 3);
  EXPECT_EQ(dialog.fourccList()->currentText(), QStringLiteral("UYVY"));
  EXPECT_EQ(dialog.frameCount(), 2);
  ASSERT_EQ(dialog.diagram().size(), 1u);
  EXPECT_EQ(dialog.diagram()[0].label, "UYVY UYVY");
  EXPECT_EQ(dialog.windowTitle(), QString::fromStdString(clip_));
}

TEST_F(FormatDialogTest, ListChangesAreCorrectedWithMessages) {
  BoxAnswerer answerer;
  MessageBoxSink sink;
  ScopedMessageSink scope(sink);
  CYuvFrmtDlg dialog;
  dialog.SetFile(QString::fromStdString(clip_));
  dialog.SetRefuseMono(true);
  dialog.Prepare();
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  ASSERT_TRUE(PickAsUser(dialog.samplingList(), YUV_420));
  EXPECT_EQ(dialog.packingList()->currentIndex(), Planar);
  ASSERT_TRUE(PickAsUser(dialog.samplingList(), MONO));
  EXPECT_EQ(dialog.samplingList()->currentIndex(), YUV_420) << "mono refused, sampling kept";
  ASSERT_EQ(answerer.texts.size(), 2);
  EXPECT_EQ(answerer.texts[0],
            QStringLiteral("Error FRMT1006: For 420 YUV format, only planar pixel is supported!\n"));
  EXPECT_EQ(answerer.texts[1],
            QStringLiteral("Error FRMT1008: Mono color image is only supported in YUV Plyer function!\n"));
  ASSERT_TRUE(PickAsUser(dialog.fourccList(), 12));  // YV12
  EXPECT_EQ(dialog.orderList()->currentText(), QStringLiteral("Y,V,U"));
  const ImageFormat before = CurrentSettings().Format;
  QPushButton* cancel = nullptr;
  for (QPushButton* b : dialog.findChildren<QPushButton*>())
    if (b->text() == QStringLiteral("Cancel")) cancel = b;
  ASSERT_TRUE(ClickAsUser(cancel));
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(CurrentSettings().Format, before) << "Cancel changes nothing";
}

TEST(FilePickers, TheFirstFilterShowsEveryRawVideoFile) {
  const QString first = kRawFileFilters.section(QStringLiteral(";;"), 0, 0);
  EXPECT_TRUE(first.startsWith(QStringLiteral("All raw video(")));
  for (const char* pattern : {"*.yuv", "*.rgb", "*.uyvy", "*.yuy2", "*.yv12", "*.i420", "*.iyu2"})
    EXPECT_TRUE(first.contains(QString::fromLatin1(pattern))) << pattern;
  EXPECT_TRUE(kRawFileFilters.contains(QStringLiteral(";;Raw Video(*.yuv *.rgb);;FOURCC format(")))
      << "the Parts' own entries follow";
}

TEST(FormatDialog, StartsFromAPresetWithoutTouchingTheCurrentFormat) {
  const ImageFormat saved = CurrentSettings().Format;
  ImageFormat preset = test::PlainLayout(YUV_422, UYV, Interlaced, Packed, 720, 576);
  preset.ImageResolution = kCustomResolution;
  CYuvFrmtDlg dialog(nullptr, preset);
  dialog.Prepare();
  EXPECT_EQ(dialog.samplingList()->currentIndex(), YUV_422);
  EXPECT_EQ(dialog.fieldList()->currentIndex(), Interlaced);
  EXPECT_EQ(dialog.format().ImgWidth, 720);
  EXPECT_TRUE(static_cast<const ImageFormat&>(CurrentSettings().Format) == saved)
      << "the program's current format is not borrowed for the preset";
}

TEST_F(FormatDialogTest, CustomSizeIsCheckedAndKept) {
  BoxAnswerer answerer;
  MessageBoxSink sink;
  ScopedMessageSink scope(sink);
  CYuvFrmtDlg dialog;
  dialog.SetFile(QString::fromStdString(clip_));
  dialog.Prepare();
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  // First an odd width for 4:2:2 (refused, the box stays), then 1000 x 500.
  ModalHandler<CCustomizedResolution> filler([](CCustomizedResolution* custom) {
    for (const char* width : {"1001", "1000"}) {
      EXPECT_TRUE(TypeAsUser(custom->widthEdit(), QString::fromLatin1(width)));
      EXPECT_TRUE(TypeAsUser(custom->heightEdit(), QStringLiteral("500")));
      EXPECT_TRUE(ClickAsUser(DialogButton(custom, QDialogButtonBox::Ok)));
    }
  });
  ASSERT_TRUE(PickAsUser(dialog.resolutionList(), kCustomResolution));
  EXPECT_EQ(filler.count, 1);
  EXPECT_EQ(dialog.resolutionList()->currentIndex(), kCustomResolution);
  EXPECT_EQ(dialog.resolutionList()->currentText(), QStringLiteral("Customized WxH: 1000x500"));
  ASSERT_EQ(answerer.texts.size(), 1);
  EXPECT_TRUE(answerer.texts[0].startsWith(QStringLiteral("Error CSRS1004:")));
  ASSERT_TRUE(ClickAsUser(DialogButton(&dialog, QDialogButtonBox::Ok)));
  EXPECT_EQ(CurrentSettings().Format.ImgWidth, 1000);
  EXPECT_EQ(CurrentSettings().Format.ImgHeight, 500);
  EXPECT_EQ(CurrentSettings().Format.ImageResolution, kCustomResolution);
  EXPECT_EQ(CurrentSettings().Format.SamplingFormat, YUV_422);
}

TEST(FileManager, ASelectedRowIsReadable) {
  FileHistory().Clear();
  AddToHistory("/clips/a.yuv", ImageFormat{}, kOpened);
  CFileHistory dialog;
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QTreeWidgetItem* row = dialog.list()->topLevelItem(0);
  row->setSelected(true);
  const QRect cell = dialog.list()->visualItemRect(row);
  const QImage shot = dialog.list()->viewport()->grab().toImage();
  const QColor background = shot.pixelColor(cell.right() - 3, cell.center().y());
  EXPECT_LT(background.lightness(), 110) << "a dark highlight under white text";
  FileHistory().Clear();
}

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

TEST(FileManager, DeletesExactlyTheSelectedRecords) {
  FileHistory().Clear();
  ImageFormat f;
  for (const char* path : {"/c.yuv", "/b.yuv", "/a.yuv"}) AddToHistory(path, f, kOpened);
  int played = 0;
  CFileHistory::SetPlayHandler([&](const CFileHistoryInfo&) { ++played; });
  CFileHistory dialog;
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  ASSERT_EQ(dialog.list()->topLevelItemCount(), 3);
  QWidget* rows = dialog.list()->viewport();
  auto row = [&](int index) {
    return dialog.list()->visualItemRect(dialog.list()->topLevelItem(index)).center();
  };
  auto button = [&](const QString& text) {
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
      if (b->text() == text) return b;
    return static_cast<QPushButton*>(nullptr);
  };
  // Rows 1 and 3 picked with a click and a Ctrl+click.
  ASSERT_TRUE(TakesItsOwnClick(rows, row(0)));
  QTest::mouseClick(rows, Qt::LeftButton, {}, row(0));
  QTest::mouseClick(rows, Qt::LeftButton, Qt::ControlModifier, row(2));
  ASSERT_EQ(dialog.list()->selectedItems().size(), 2);
  ASSERT_TRUE(ClickAsUser(button(QStringLiteral("Open selected file"))));
  EXPECT_EQ(played, 0) << "two rows selected: nothing opens";
  {
    BoxAnswerer yes(QMessageBox::Yes);
    ASSERT_TRUE(ClickAsUser(button(QStringLiteral("Delete selected record"))));
    ASSERT_EQ(yes.texts.size(), 1);
    EXPECT_EQ(yes.captions[0], QStringLiteral("Delete file"));
  }
  const auto records = FileHistory().Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].fileName, "/b.yuv");
  QTest::mouseClick(rows, Qt::LeftButton, {}, row(0));
  ASSERT_TRUE(ClickAsUser(button(QStringLiteral("Open selected file"))));
  EXPECT_EQ(played, 1);
  CFileHistory::SetPlayHandler(nullptr);
  FileHistory().Clear();
}

TEST(GridDialog, TransparencyIsLimitedAndOkStoresTheGrids) {
  const ProgramSettings saved = CurrentSettings();
  CGrid dialog;
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  const auto& one = dialog.controls(0);
  ASSERT_TRUE(TypeAsUser(one.transparencyEdit, QStringLiteral("150")));
  EXPECT_EQ(one.transparencyEdit->text(), QStringLiteral("100"));
  EXPECT_EQ(one.transparency->value(), 100);
  if (!one.enable->isChecked()) {
    ASSERT_TRUE(ClickAsUser(one.enable));
  }
  ASSERT_TRUE(TypeAsUser(one.width, QStringLiteral("16")));
  ASSERT_TRUE(ClickAsUser(DialogButton(&dialog, QDialogButtonBox::Ok)));
  EXPECT_EQ(CurrentSettings().Grid1, (GridSettings{1, 100, 16, 8, {0, 0, 0}}));
  CurrentSettings() = saved;
}

TEST(FormulaDialog, ConfirmedChoiceRebuildsTheTables) {
  const ProgramSettings saved = CurrentSettings();
  CYUV2RGB_Formula dialog;
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  EXPECT_FALSE(dialog.field(0)->isEnabled());
  EXPECT_EQ(dialog.field(17)->text(), QStringLiteral("-0.390"));
  ASSERT_TRUE(ClickAsUser(dialog.radio(kItu709)));
  {
    BoxAnswerer ok(QMessageBox::Ok);
    ASSERT_TRUE(ClickAsUser(DialogButton(&dialog, QDialogButtonBox::Ok)));
    ASSERT_EQ(ok.texts.size(), 1);
    EXPECT_EQ(ok.texts[0].toStdString(), CYUV2RGB_Formula::kQuestion);
  }
  EXPECT_EQ(CurrentSettings().YUV2RGB_Formula, kItu709);
  EXPECT_EQ(CurrentColourTables()->formula, kItu709);
  CurrentSettings() = saved;
  BuildYuvToRgbTables(CurrentSettings().YUV2RGB_Formula, CurrentSettings().User_Defined_Formula);
}

TEST(PreviewArea, ScrollsALargerPictureByTheLineStep) {
  QWidget dialog;
  dialog.resize(400, 300);
  auto* area = new PreviewArea(&dialog);
  area->setGeometryFor(QPoint(40, 40), QSize(200, 100));
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  const std::vector<uint8_t> yuv(400 * 300 * 3, 128);
  ASSERT_TRUE(area->showFrame(yuv.data(), yuv.size(), 400, 300, DrawOptions{}));
  EXPECT_TRUE(area->verticalBar()->isVisible());
  EXPECT_TRUE(area->horizontalBar()->isVisible());
  EXPECT_EQ(area->verticalBar()->geometry(), QRect(24, 40, 16, 100));
  EXPECT_EQ(area->horizontalBar()->geometry(), QRect(40, 24, 200, 16));
  area->verticalBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(area->verticalOffset(), (300 - 100 + 127) / 64);
  area->horizontalBar()->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(area->horizontalOffset(), 64 * ((400 - 200 + 127) / 64));
  area->repaint();  // the window reaches past the picture: drawn without reading outside it
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  EXPECT_FALSE(area->showFrame(yuv.data(), yuv.size(), 8193, 10, DrawOptions{}));
  EXPECT_EQ(recorder.Texts().size(), 1u);
}

TEST(Splash, ClosesOnAClick) {
  CMainFrame frame;
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  frame.ShowSplash();
  auto* splash = frame.findChild<CSplashWnd*>();
  ASSERT_NE(splash, nullptr);
  QPointer<CSplashWnd> watched(splash);
  QTest::mouseClick(splash, Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return watched.isNull(); }, 2000));
}

class ConverterWindow : public testing::Test {
 protected:
  void SetUp() override {
    source_ = (dir_ / "clip.yuv").string();
    test::WriteFileBytes(source_, test::RandomBytes(64 * 32 * 3 / 2 * kFrames, 4));
    request_.Action = ActionConvert;
    request_.InputName = source_;
    request_.OutputName = (dir_ / "out.uyvy").string();
    request_.OutputFormat = {YUV_422, UYV, Progressive, Packed, 64, 32};
    current_.SamplingFormat = YUV_420;
    current_.ComponentOrder = YUV;
    current_.FieldFormat = Progressive;
    current_.PixelFormat = Planar;
    current_.ImgWidth = 64;
    current_.ImgHeight = 32;
  }
  static constexpr int kFrames = 400;
  test::TempDir dir_;
  std::string source_;
  CommandLineRequest request_;
  ImageFormat current_;
};

TEST_F(ConverterWindow, RunsFromTheCommandLineRequest) {
  BoxAnswerer answerer;
  MessageBoxSink sink;
  ScopedMessageSink scope(sink);
  QPointer<CYUVConverter> dialog = new CYUVConverter;
  dialog->show();
  ASSERT_TRUE(dialog->StartFromRequest(request_, current_));
  EXPECT_FALSE(dialog->startButton()->isEnabled());
  ASSERT_TRUE(WaitUntil([&] { return !dialog->WorkerRunning(); }, 20000));
  ASSERT_TRUE(WaitUntil([&] { return dialog->startButton()->isEnabled(); }, 5000));
  EXPECT_FALSE(dialog->pauseButton()->isEnabled());
  EXPECT_EQ(dialog->pauseButton()->text(), QStringLiteral("Play"));
  EXPECT_EQ(dialog->frameNumberBox()->text(), QString::number(kFrames));
  EXPECT_EQ(dialog->toBox()->text(), QString::number(kFrames));
  EXPECT_EQ(std::filesystem::file_size(request_.OutputName), 64u * 32 * 2 * kFrames);
  ASSERT_FALSE(answerer.texts.isEmpty());
  EXPECT_EQ(answerer.texts.last(), QStringLiteral("Converting finished!"));
  EXPECT_EQ(dialog->preview()->pictureSize(), QSize(64, 32));
  ASSERT_TRUE(ClickAsUser(dialog->exitButton()));
  ASSERT_TRUE(WaitUntil([&] { return dialog.isNull(); }));
}

TEST_F(ConverterWindow, TheTargetFormatDialogOpensOnTheTargetName) {
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  QPointer<CYUVConverter> dialog = new CYUVConverter;
  dialog->show();
  const QString target = QString::fromStdString((dir_ / "t_352x288.yuy2").string());
  QString title;
  QStringList samplings;
  int fourcc = -1;
  QTimer::singleShot(100, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* format = qobject_cast<CYuvFrmtDlg*>(widget);
      if (!format || !format->isVisible()) continue;
      title = format->windowTitle();
      for (int i = 0; i < format->samplingList()->count(); ++i)
        samplings << format->samplingList()->itemText(i);
      fourcc = format->fourccList()->currentIndex();
      format->reject();
    }
  });
  dialog->ChooseTarget(target);
  EXPECT_EQ(title, target);
  EXPECT_FALSE(samplings.contains(QStringLiteral("BMP"))) << samplings.join(QLatin1Char(',')).toStdString();
  EXPECT_EQ(fourcc, 5) << "YUY2 preselected from the name";
  EXPECT_TRUE(recorder.Texts().empty()) << "the target, not yet written, is not read";
  dialog->close();
}

TEST_F(ConverterWindow, ARefusalThatLeavesTheWindowRunningEnablesStop) {
  RecordingMessageSink recorder_;
  ScopedMessageSink scope(recorder_);
  CYUVConverter* dialog = new CYUVConverter;
  dialog->show();
  ASSERT_TRUE(dialog->job().PrepareFromCommandLine(request_, current_));
  // An odd source width cannot become 4:2:2 (CONV1018): the window stays running.
  dialog->job().SourceFormat.ImgWidth = 63;
  dialog->sourceBox()->setText(QString::fromStdString(source_));
  dialog->targetBox()->setText(QString::fromStdString(request_.OutputName));
  QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return !dialog->WorkerRunning() && dialog->stopButton()->isEnabled(); }, 5000));
  EXPECT_EQ(recorder_.Texts().back().substr(0, 15), "Error CONV1018:");
  EXPECT_FALSE(dialog->startButton()->isEnabled());
  QTest::mouseClick(dialog->stopButton(), Qt::LeftButton);
  EXPECT_TRUE(dialog->startButton()->isEnabled()) << "Stop brings the window back";
  dialog->close();
}

TEST_F(ConverterWindow, PickedTypedPausedAndStoppedWithTheMouse) {
  BoxAnswerer answerer;
  MessageBoxSink sink;
  ScopedMessageSink scope(sink);
  ScopedCurrentFormat current(current_);
  QPointer<CYUVConverter> dialog = new CYUVConverter;
  dialog->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
  // Source and target through their pickers, each format dialog confirmed with OK.
  FileNameAnswers answers({QString::fromStdString(source_), QString::fromStdString(request_.OutputName)});
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  ASSERT_TRUE(ClickAsUser(dialog->sourceBrowseButton()));
  ASSERT_TRUE(ClickAsUser(dialog->targetBrowseButton()));
  ASSERT_EQ(confirm.count, 2);
  ASSERT_EQ(answers.asked.size(), 2u);
  EXPECT_EQ(answers.asked[1].question, FileNameQuestion::Save);
  EXPECT_EQ(dialog->sourceBox()->text().toStdString(), source_);
  EXPECT_EQ(dialog->targetBox()->text().toStdString(), request_.OutputName);
  EXPECT_EQ(dialog->job().TargetFormat.SamplingFormat, YUV_422) << "UYVY from the target's name";
  EXPECT_EQ(dialog->toBox()->text(), QString::number(kFrames));

  ASSERT_TRUE(TypeAsUser(dialog->fromBox(), QStringLiteral("3")));
  ASSERT_TRUE(TypeAsUser(dialog->toBox(), QStringLiteral("2")));
  ASSERT_TRUE(ClickAsUser(dialog->startButton()));
  ASSERT_TRUE(WaitUntil([&] { return !dialog->WorkerRunning() && dialog->startButton()->isEnabled(); }));
  ASSERT_EQ(answerer.texts.size(), 1) << answerer.texts.join(QLatin1Char('|')).toStdString();
  EXPECT_EQ(answerer.texts[0],
            QStringLiteral("Error CONV1031:  End frame number cannot be smaller than start frame number!\n"));

  // The target is a FIFO that takes nothing yet: the job is surely running when
  // Pause and Stop are pressed.
  ASSERT_TRUE(TypeAsUser(dialog->fromBox(), QStringLiteral("1")));
  ASSERT_TRUE(TypeAsUser(dialog->toBox(), QString::number(kFrames)));
  std::filesystem::remove(request_.OutputName);
  HeldFifo held(request_.OutputName);
  ASSERT_TRUE(ClickAsUser(dialog->startButton()));
  ASSERT_TRUE(held.WaitForBytes()) << "the job is writing";
  ASSERT_TRUE(WaitUntil([&] { return dialog->stopButton()->isEnabled(); })) << "the job's checks passed";
  ASSERT_TRUE(ClickAsUser(dialog->pauseButton()));
  EXPECT_EQ(dialog->pauseButton()->text(), QStringLiteral("Play"));
  EXPECT_EQ(dialog->job().RunState.load(), Paused);
  EXPECT_FALSE(dialog->sourceBox()->isEnabled()) << "the running job's names cannot change";
  EXPECT_FALSE(TakesItsOwnClick(dialog->sourceBrowseButton()) && dialog->sourceBrowseButton()->isEnabled());
  ASSERT_TRUE(ClickAsUser(dialog->pauseButton()));
  EXPECT_EQ(dialog->pauseButton()->text(), QStringLiteral("Pause"));
  EXPECT_EQ(dialog->job().RunState.load(), Running);
  ASSERT_TRUE(ClickAsUser(dialog->stopButton()))
      << answerer.texts.join(QLatin1Char('|')).toStdString() << " state " << dialog->job().RunState.load();
  EXPECT_EQ(dialog->job().RunState.load(), Stopped);
  EXPECT_TRUE(dialog->startButton()->isEnabled());
  held.Release();
  ASSERT_TRUE(WaitUntil([&] { return !dialog->WorkerRunning(); }, 5000));
  QTest::qWait(20);
  EXPECT_EQ(answerer.texts.last(), QStringLiteral("Converting finished!")) << "a stopped job ends normally";
  EXPECT_LT(dialog->frameNumberBox()->text().toInt(), kFrames) << "stopped before the end";

  // Start with the target box emptied: nothing happens.
  ASSERT_TRUE(TypeAsUser(dialog->targetBox(), QString()));
  const qsizetype messages = answerer.texts.size();
  ASSERT_TRUE(ClickAsUser(dialog->startButton()));
  EXPECT_TRUE(dialog->startButton()->isEnabled());
  EXPECT_FALSE(dialog->WorkerRunning());
  EXPECT_EQ(answerer.texts.size(), messages);
  ASSERT_TRUE(ClickAsUser(dialog->exitButton()));
  ASSERT_TRUE(WaitUntil([&] { return dialog.isNull(); }));
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
}  // namespace vx

namespace vx {
namespace {

// A clip whose frame n (from 1) has every luma byte n and chroma 128 + n.
std::string NumberedClip(const test::TempDir& dir, const std::string& name, int frames, int w = 16,
                         int h = 8) {
  std::vector<uint8_t> bytes;
  for (int n = 1; n <= frames; ++n) {
    bytes.insert(bytes.end(), static_cast<size_t>(w * h), static_cast<uint8_t>(n));
    bytes.insert(bytes.end(), static_cast<size_t>(w * h / 2), static_cast<uint8_t>(128 + n));
  }
  const std::string path = (dir / name).string();
  test::WriteFileBytes(path, bytes);
  return path;
}

ImageFormat I420Format(int w = 16, int h = 8) {
  ImageFormat f = test::PlainLayout(YUV_420, YUV, Progressive, Planar, w, h);
  f.ImageResolution = kCustomResolution;
  return f;
}

class PlayerWindow : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = CurrentSettings();
    player_ = new CVideoPlayer;
    // The fixture's own object as context: no report reaches a finished test.
    QObject::connect(player_, &CVideoPlayer::frameShown, &context_,
                     [this](int frame) { frames_.push_back(frame); });
    player_->speedBox()->setText(QStringLiteral("120"));
  }
  void TearDown() override {
    CurrentSettings() = saved_;
    if (!player_) return;
    player_->Exit();
    delete player_.data();
  }
  // Waits until the worker's last reports have been handled.
  void WaitUntilDone() {
    ASSERT_TRUE(
        WaitUntil([&] { return !player_->WorkerRunning() && player_->startButton()->isEnabled(); }, 5000));
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

TEST_F(PlayerWindow, SeekStepAndReversePlay) {
  const ImageFormat f = I420Format();
  player_->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "a.yuv", 12))}, &f);
  EXPECT_EQ(player_->componentList()->currentText(), QStringLiteral("YUV all Componets"));
  QTest::mouseClick(player_->stepForwardButton(), Qt::LeftButton);  // starts the worker and shows frame 1
  WaitFor(1);
  EXPECT_EQ(player_->engine().Loop().State(), PlayPaused);
  EXPECT_EQ(player_->pauseButton()->text(), QStringLiteral("Play"));
  QTest::mouseClick(player_->stepBackButton(), Qt::LeftButton);  // at frame 1: only pauses
  QTest::qWait(50);
  EXPECT_EQ(frames_, std::vector<int>{1});
  EXPECT_EQ(player_->engine().Loop().State(), PlayPaused);
  ASSERT_TRUE(player_->engine().Loop().SeekTo(10));
  WaitFor(10);
  EXPECT_EQ(player_->frameNumberBox()->text(), QStringLiteral("10"));
  EXPECT_EQ(player_->slider()->value(), 10);
  EXPECT_EQ(player_->slider()->maximum(), 12);
  frames_.clear();
  QTest::mouseClick(player_->reverseButton(), Qt::LeftButton);
  EXPECT_EQ(player_->reverseButton()->text(), QStringLiteral("Reverse Pause"));
  WaitFor(1);
  ASSERT_TRUE(
      WaitUntil([&] { return player_->engine().Loop().State() == static_cast<int>(PlayPaused); }, 2000));
  EXPECT_EQ(frames_, (std::vector<int>{9, 8, 7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(player_->engine().Sequence().Pictures().FrontBytes()[0], 1) << "frame 1's luma is shown";
  frames_.clear();
  QTest::mouseClick(player_->stepForwardButton(), Qt::LeftButton);
  WaitFor(2);
  QTest::mouseClick(player_->stepBackButton(), Qt::LeftButton);
  WaitFor(1);
  EXPECT_EQ(frames_, (std::vector<int>{2, 1}));
}

TEST_F(PlayerWindow, StopDuringTheFirstOfThreeFilesStartsTheSecond) {
  const ImageFormat f = I420Format();
  player_->speedBox()->setText(QStringLiteral("1"));  // the first file would take a while
  player_->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "a.yuv", 5)),
                        QString::fromStdString(NumberedClip(dir_, "b.yuv", 3)),
                        QString::fromStdString(NumberedClip(dir_, "c.yuv", 3))},
                       &f);
  ASSERT_EQ(recorder_.Texts().size(), 1u);
  EXPECT_EQ(recorder_.Texts()[0],
            "Error PLAY1002:   You have selected 3 YUV files to play. Please make sure they all have the "
            "same format.");
  player_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(player_));
  ASSERT_TRUE(ClickAsUser(player_->startButton()));
  WaitFor(1);
  player_->speedBox()->setText(QStringLiteral("120"));
  ASSERT_TRUE(ClickAsUser(player_->stopButton()));
  ASSERT_TRUE(WaitUntil([&] { return !player_->WorkerRunning() && player_->startButton()->isEnabled(); }));
  EXPECT_EQ(frames_, (std::vector<int>{1, 1, 2, 3, 1, 2, 3})) << "the first file stops, the other two play";
  EXPECT_TRUE(player_->pathBox()->text().endsWith(QStringLiteral("c.yuv")));
  EXPECT_EQ(player_->windowTitle(), player_->pathBox()->text());
  EXPECT_EQ(frames_.back(), 3);
}

TEST_F(PlayerWindow, ComponentsRgbOrderAndMono) {
  const ImageFormat f = I420Format();
  player_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(player_));
  player_->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "a.yuv", 2))}, &f);
  ASSERT_TRUE(ClickAsUser(player_->stepForwardButton()));
  WaitFor(1);
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Loop().State() == PlayPaused; }));
  ASSERT_TRUE(ClickAsUser(player_->stopButton()));
  ASSERT_TRUE(WaitUntil([&] { return !player_->WorkerRunning(); }, 5000));
  // Picked from the list with the mouse after Stop: the frame is drawn again.
  ASSERT_TRUE(PickAsUser(player_->componentList(), 0));
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Sequence().Pictures().FrontBytes().at(1) == 128; }));
  const std::vector<uint8_t> luma = player_->engine().Sequence().Pictures().FrontBytes();
  EXPECT_EQ(luma[0], 1);
  EXPECT_EQ(luma[1], 128) << "Y only: chroma neutral";
  EXPECT_EQ(luma[2], 128);

  // A BGR file: "R Componet only" shows the red samples (the third byte of each pixel).
  ImageFormat bgr = I420Format(4, 2);
  bgr.SamplingFormat = RGB_444;
  bgr.ComponentOrder = BGR;
  bgr.PixelFormat = Packed;
  std::vector<uint8_t> pixels;
  for (int i = 0; i < 8; ++i) pixels.insert(pixels.end(), {10, 20, 250});  // B G R
  test::WriteFileBytes(dir_ / "red.rgb", pixels);
  player_->ChooseFiles({QString::fromStdString((dir_ / "red.rgb").string())}, &bgr);
  EXPECT_EQ(player_->componentList()->itemText(0), QStringLiteral("R Componet only"));
  frames_.clear();
  ASSERT_TRUE(ClickAsUser(player_->stepForwardButton()));
  WaitFor(1);
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Loop().State() == PlayPaused; }));
  ASSERT_TRUE(PickAsUser(player_->componentList(), 0));
  Yuv8 red{};
  RgbToYuvPixel(CurrentColourTables()->formula, {}, 250, 0, 0, red);
  ASSERT_TRUE(WaitUntil([&] {
    const auto shown = player_->engine().Sequence().Pictures().FrontBytes();
    return Yuv8{shown[0], shown[1], shown[2]} == red;
  })) << "the red samples alone, drawn while paused";

  // MONO: grey, component list disabled.
  ImageFormat mono = I420Format(4, 2);
  mono.SamplingFormat = MONO;
  test::WriteFileBytes(dir_ / "grey.y", std::vector<uint8_t>(8, 77));
  player_->ChooseFiles({QString::fromStdString((dir_ / "grey.y").string())}, &mono);
  EXPECT_FALSE(player_->componentList()->isEnabled());
  frames_.clear();
  QTest::mouseClick(player_->stepForwardButton(), Qt::LeftButton);
  WaitFor(1);
  const std::vector<uint8_t> grey = player_->engine().Sequence().Pictures().FrontBytes();
  Yuv8 expected{};
  RgbToYuvPixel(CurrentColourTables()->formula, {}, 77, 77, 77, expected);
  EXPECT_EQ((Yuv8{grey[0], grey[1], grey[2]}), expected);
}

TEST_F(PlayerWindow, RatesAndTheTrailingPartialFrame) {
  EXPECT_EQ(FrameIntervalMs(7), 142);
  EXPECT_EQ(FrameIntervalMs(120), 8);
  EXPECT_EQ(FrameIntervalMs(30), 33);
  const ImageFormat f = I420Format();
  std::string clip = NumberedClip(dir_, "a.yuv", 3);
  {
    std::ofstream tail(clip, std::ios::app | std::ios::binary);
    tail << std::string(10, '\x63');  // 10 bytes of a fourth frame
  }
  player_->SetCommandLine(60, false, nullptr);
  EXPECT_EQ(player_->speedBox()->text(), QStringLiteral("60"));
  player_->ChooseFiles({QString::fromStdString(clip)}, &f);
  QTest::mouseClick(player_->startButton(), Qt::LeftButton);
  WaitUntilDone();
  EXPECT_EQ(frames_, (std::vector<int>{1, 2, 3, 4})) << "the partial fourth frame is shown once";
  EXPECT_EQ(player_->engine().Sequence().CommandLineRate.load(), 0) << "the command-line rate is used once";
  EXPECT_EQ(player_->slider()->maximum(), 3);
  EXPECT_TRUE(player_->startButton()->isEnabled());

  player_->speedBox()->setText(QStringLiteral("121"));
  QTest::mouseClick(player_->startButton(), Qt::LeftButton);
  WaitUntilDone();
  EXPECT_EQ(recorder_.Texts().back(),
            "Error PLAY1007:  Valid value for player speed, must within the range [1,120]");
}

TEST_F(PlayerWindow, TwoPlayersPlayAtOnce) {
  const ImageFormat f = I420Format();
  CVideoPlayer* second = new CVideoPlayer;
  std::vector<int> secondFrames;
  QObject::connect(second, &CVideoPlayer::frameShown, &context_,
                   [&](int frame) { secondFrames.push_back(frame); });
  second->speedBox()->setText(QStringLiteral("120"));
  player_->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "a.yuv", 20))}, &f);
  second->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "b.yuv", 20))}, &f);
  player_->move(0, 0);
  second->move(700, 0);
  player_->show();
  second->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(second));
  ASSERT_TRUE(ClickAsUser(player_->startButton()));
  ASSERT_TRUE(ClickAsUser(second->startButton()));
  EXPECT_TRUE(player_->WorkerRunning() && second->WorkerRunning());
  WaitUntilDone();
  ASSERT_TRUE(WaitUntil([&] { return !second->WorkerRunning() && second->startButton()->isEnabled(); }));
  // The reports may still be on their way when the buttons come back.
  EXPECT_TRUE(WaitUntil([&] { return frames_.size() == 20u && secondFrames.size() == 20u; }, 2000))
      << frames_.size() << " and " << secondFrames.size() << " frames";
  QTest::qWait(20);
  EXPECT_EQ(frames_.size(), 20u);
  EXPECT_EQ(secondFrames.size(), 20u);
  second->Exit();
  delete second;
}

TEST_F(PlayerWindow, FileManagerReplaysWithoutAddingToTheHistory) {
  CMainFrame frame;
  RegisterTools(frame);
  FileHistory().Clear();
  const std::string clip = NumberedClip(dir_, "replay.yuv", 3);
  AddToHistory(clip, I420Format(), kOpened);
  const HistoryTime before = FileHistory().Records()[0].openTime;
  CFileHistory manager;
  manager.list()->topLevelItem(0)->setSelected(true);
  manager.OpenSelected();
  auto* player = qobject_cast<CVideoPlayer*>(frame.LatestWindow(Command::Open));
  ASSERT_NE(player, nullptr);
  EXPECT_TRUE(player->WorkerRunning() || !player->startButton()->isEnabled() || player->ShownFrame() > 0);
  ASSERT_TRUE(WaitUntil([&] { return !player->WorkerRunning() && player->startButton()->isEnabled(); }));
  EXPECT_EQ(player->ShownFrame(), 3);
  ASSERT_EQ(FileHistory().Records().size(), 1u);
  EXPECT_EQ(FileHistory().Records()[0].openTime, before) << "replaying adds no record";
  EXPECT_EQ(CurrentSettings().Format.ImgWidth, 16) << "the record's layout became the current format";
  player->Exit();
  FileHistory().Clear();
}

TEST_F(PlayerWindow, NewSelectionsDuringPlaybackNeverAbort) {
  // Each selection ends the playing worker for good before the buffers change; the
  // worker's own end report must not join it a second time.
  const ImageFormat f = I420Format();
  const QString clip = QString::fromStdString(NumberedClip(dir_, "a.yuv", 40));
  for (int round = 0; round < 300; ++round) {
    player_->ChooseFiles({clip}, &f);
    QTest::mouseClick(player_->startButton(), Qt::LeftButton);
    if (round % 3 == 0) QTest::qWait(1);  // sometimes let reports arrive first
  }
  // A worker that has just played to the end may still have its report on the way.
  ASSERT_TRUE(WaitUntil([&] { return player_->WorkerRunning() || player_->startButton()->isEnabled(); }));
  player_->ChooseFiles({clip}, &f);
  EXPECT_FALSE(player_->WorkerRunning());
  EXPECT_TRUE(recorder_.Texts().empty());
}

TEST_F(PlayerWindow, TheKeyboardSeeksAndAChoiceRedrawsWhilePaused) {
  const ImageFormat f = I420Format();
  player_->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "a.yuv", 12))}, &f);
  player_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(player_));
  // Before playing, the first frame is shown, not a green field.
  std::vector<uint8_t> picture = player_->engine().Sequence().Pictures().FrontBytes();
  ASSERT_FALSE(picture.empty());
  EXPECT_EQ((std::vector<uint8_t>(picture.begin(), picture.begin() + 3)),
            (std::vector<uint8_t>{1, 129, 129}));

  QTest::mouseClick(player_->stepForwardButton(), Qt::LeftButton);
  WaitFor(1);
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Loop().State() == PlayPaused; }));
  // The End key on the slider seeks like a drag.
  player_->slider()->setFocus();
  QTest::keyClick(player_->slider(), Qt::Key_End);
  WaitFor(12);
  EXPECT_EQ(player_->frameNumberBox()->text(), QStringLiteral("12"));
  QTest::keyClick(player_->slider(), Qt::Key_Left);
  WaitFor(11);

  // "Y Componet only" picked with the keyboard while paused: the frame is drawn again at once.
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Loop().State() == PlayPaused; }));
  player_->componentList()->setFocus();
  QTest::keyClick(player_->componentList(), Qt::Key_Home);
  ASSERT_TRUE(WaitUntil([&] {
    const auto bytes = player_->engine().Sequence().Pictures().FrontBytes();
    return bytes.size() > 2 && bytes[0] == 11 && bytes[1] == 128 && bytes[2] == 128;
  })) << "luma only, without another frame";
  EXPECT_EQ(frames_.back(), 11);
}

// The window (with the frame a window manager adds) lies inside its screen's available area.
bool InsideTheScreen(QWidget* window) {
  const QRect area = window->screen()->availableGeometry();
  return area.contains(QRect(window->pos(), window->size()));
}

TEST_F(PlayerWindow, LargePicturesKeepTheWindowOnTheScreen) {
  for (const auto& [w, h] : {std::pair{1920, 1080}, std::pair{3840, 2160}}) {
    const ImageFormat f = I420Format(w, h);
    test::WriteFileBytes(dir_ / "big.yuv", std::vector<uint8_t>(static_cast<size_t>(w) * h * 3 / 2, 80));
    player_->move(150, 60);
    player_->ChooseFiles({QString::fromStdString((dir_ / "big.yuv").string())}, &f);
    player_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(player_));
    EXPECT_TRUE(InsideTheScreen(player_))
        << w << "x" << h << ": " << player_->x() << "," << player_->y() << " " << player_->width() << "x"
        << player_->height() << " on " << player_->screen()->availableGeometry().width() << "x"
        << player_->screen()->availableGeometry().height();
    EXPECT_TRUE(player_->preview()->verticalBar()->isVisible()) << "the picture scrolls instead";
  }
}

TEST_F(PlayerWindow, DrivenStartToFinishWithTheMouse) {
  ScopedCurrentFormat current(I420Format());
  const std::string clip = NumberedClip(dir_, "a.yuv", 30);
  player_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(player_));
  auto click = [&](QWidget* widget) { ASSERT_TRUE(ClickAsUser(widget)); };
  // "Browse...", the file picked, its format confirmed with OK.
  QPushButton* browse = nullptr;
  for (QPushButton* b : player_->findChildren<QPushButton*>())
    if (b->text() == QStringLiteral("Browse...")) browse = b;
  FileNameAnswers answers({QString::fromStdString(clip)});
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  click(browse);
  ASSERT_EQ(confirm.count, 1);
  EXPECT_EQ(player_->pathBox()->text().toStdString(), clip);
  // The speed box, typed into after a click.
  ASSERT_TRUE(TypeAsUser(player_->speedBox(), QStringLiteral("60")));
  click(player_->startButton());
  ASSERT_TRUE(WaitUntil([&] { return !frames_.empty() && frames_.back() >= 3; }));
  click(player_->pauseButton());
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Loop().State() == PlayPaused; }));
  EXPECT_EQ(player_->pauseButton()->text(), QStringLiteral("Play"));
  QTest::qWait(50);  // the last frame's report arrives
  const int paused = frames_.back();
  click(player_->stepForwardButton());
  WaitFor(paused + 1);
  click(player_->stepBackButton());
  WaitFor(paused);
  // A click on the groove right of the thumb moves it a page on, and that frame is shown.
  QSlider* slider = player_->slider();
  QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() - 3, slider->height() / 2));
  ASSERT_TRUE(WaitUntil([&] { return !frames_.empty() && frames_.back() > paused + 1; }));
  EXPECT_EQ(frames_.back(), slider->value());
  click(player_->reverseButton());
  EXPECT_EQ(player_->reverseButton()->text(), QStringLiteral("Reverse Pause"));
  WaitFor(1);
  ASSERT_TRUE(WaitUntil([&] { return player_->engine().Loop().State() == PlayPaused; }))
      << "paused at frame 1";
  click(player_->stopButton());
  ASSERT_TRUE(WaitUntil([&] { return !player_->WorkerRunning() && player_->startButton()->isEnabled(); }));
  // The component list, picked with the mouse.
  ASSERT_TRUE(PickAsUser(player_->componentList(), 0));
  EXPECT_EQ(player_->componentList()->currentText(), QStringLiteral("Y Componet only"));
  EXPECT_EQ(player_->engine().Sequence().SpeedRate.load(), 60);
  EXPECT_TRUE(recorder_.Texts().empty());
}

TEST_F(PlayerWindow, EveryControlTakesItsOwnClick) {
  const ImageFormat f = I420Format();
  player_->ChooseFiles({QString::fromStdString(NumberedClip(dir_, "a.yuv", 4))}, &f);
  player_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(player_));
  std::vector<std::pair<const char*, QWidget*>> controls = {
      {"path", player_->pathBox()},      {"Browse", player_->findChild<QPushButton*>()},
      {"speed", player_->speedBox()},    {"components", player_->componentList()},
      {"Start", player_->startButton()}, {"Stop", player_->stopButton()},
      {"Pause", player_->pauseButton()}, {"Reverse", player_->reverseButton()},
      {"<", player_->stepBackButton()},  {">", player_->stepForwardButton()},
      {"slider", player_->slider()},     {"frame number", player_->frameNumberBox()},
  };
  for (QPushButton* b : player_->findChildren<QPushButton*>()) {
    if (b->text() == QStringLiteral("Browse...") || b->text() == QStringLiteral("Exit"))
      controls.push_back({"button", b});
  }
  for (const auto& [name, widget] : controls) {
    ASSERT_NE(widget, nullptr) << name;
    EXPECT_TRUE(TakesItsOwnClick(widget)) << name << " is covered by another widget";
  }
  // Typed with the mouse's focus: the speed box takes a new rate.
  QTest::mouseClick(player_->speedBox(), Qt::LeftButton);
  player_->speedBox()->selectAll();
  QTest::keyClicks(player_->speedBox(), QStringLiteral("25"));
  EXPECT_EQ(player_->engine().Sequence().SpeedRate.load(), 25);
  // "Reverse Pause" fits its button.
  QPushButton* reverse = player_->reverseButton();
  EXPECT_LE(reverse->fontMetrics().horizontalAdvance(QStringLiteral("Reverse Pause")) + 8, reverse->width());
  for (QLabel* label : player_->findChildren<QLabel*>()) {
    if (label->text() != QStringLiteral("Which components to display:")) continue;
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text())) << "the colon shows";
    EXPECT_LE(label->geometry().right(), player_->componentList()->x()) << "the list starts after its label";
  }
}

TEST_F(PlayerWindow, ControlStatesAndCompactMode) {
  const PlayerControls none = ControlsFor(false, PlayStopped);
  EXPECT_TRUE(none.pathAndBrowse);
  EXPECT_FALSE(none.start);
  const PlayerControls playing = ControlsFor(true, Playing);
  EXPECT_STREQ(playing.pauseText, "Pause");
  EXPECT_TRUE(playing.pathAndBrowse);
  EXPECT_FALSE(playing.start);
  EXPECT_FALSE(ControlsFor(true, Seek).stop);
  EXPECT_TRUE(ControlsFor(true, PlayingBackward).unchanged);
  EXPECT_TRUE(ControlsFor(true, PlayStopped).speed);

  player_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(player_));
  EXPECT_EQ(player_->startButton()->geometry(), QRect(400, 42, 50, 20));
  EXPECT_FALSE(player_->startButton()->isEnabled()) << "nothing to play yet";
  // A picture taller than the screen: the preview scrolls and the toggle is offered.
  const ImageFormat tall = I420Format(320, 1400);
  test::WriteFileBytes(dir_ / "tall.yuv", std::vector<uint8_t>(320 * 1400 * 3 / 2, 60));
  player_->ChooseFiles({QString::fromStdString((dir_ / "tall.yuv").string())}, &tall);
  ASSERT_TRUE(ClickAsUser(player_->toggleButton()));
  EXPECT_TRUE(player_->compact());
  EXPECT_EQ(player_->startButton()->geometry(), QRect(160, 4, 40, 20));
  EXPECT_EQ(player_->slider()->geometry(), QRect(320, 4, 120, 20));
  EXPECT_FALSE(player_->pathBox()->isVisible());
  EXPECT_EQ(player_->toggleButton()->text(), QStringLiteral("<--- Display Detailed Controls"));
  EXPECT_EQ(player_->preview()->y(), 50);
  for (QLabel* label : player_->findChildren<QLabel*>()) {
    if (label->isVisible() && label->text() == QStringLiteral("Frame number:")) {
      EXPECT_GE(label->mapTo(player_, QPoint(0, 0)).x(), 0) << "starts inside the window";
    }
  }
  ASSERT_TRUE(ClickAsUser(player_->toggleButton()));
  EXPECT_EQ(player_->preview()->y(), 160);
  EXPECT_TRUE(recorder_.Texts().empty());
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

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

TEST_F(TransformWindows, CropShowsTheFirstFrameAndChecksTheRectangle) {
  QPointer<CImageCrop> crop = new CImageCrop;
  crop->show();
  ASSERT_TRUE(crop->ChooseSource(QString::fromStdString(clip_), format_, 3));
  EXPECT_TRUE(crop->targetBox()->text().endsWith(QStringLiteral("clip_cropped.yuv")));
  EXPECT_EQ(crop->widthBox()->text(), QStringLiteral("352"));
  EXPECT_EQ(crop->heightBox()->text(), QStringLiteral("288"));
  EXPECT_EQ(crop->preview()->pictureSize(), QSize(352, 288)) << "the first frame is shown at once";
  EXPECT_EQ(crop->preview()->outline(), QRect(0, 0, 352, 288));

  // Typed as a person types: each keystroke is checked.
  ASSERT_TRUE(TypeAsUser(crop->leftBox(), QStringLiteral("3")));
  ASSERT_FALSE(recorder_.Texts().empty());
  EXPECT_EQ(recorder_.Texts().back().substr(0, 15), "Error CROP1018:");
  recorder_.Clear();
  ASSERT_TRUE(TypeAsUser(crop->leftBox(), QStringLiteral("100")));
  ASSERT_TRUE(TypeAsUser(crop->widthBox(), QStringLiteral("300")));
  ASSERT_FALSE(recorder_.Texts().empty());
  EXPECT_EQ(recorder_.Texts().back(),
            "Error CROP1021:  Base on left column to start, the max width to crop is 252!\n");
  ASSERT_TRUE(TypeAsUser(crop->widthBox(), QStringLiteral("100")));
  ASSERT_TRUE(TypeAsUser(crop->topBox(), QStringLiteral("20")));
  ASSERT_TRUE(TypeAsUser(crop->heightBox(), QStringLiteral("60")));
  EXPECT_EQ(crop->preview()->outline(), QRect(100, 20, 100, 60)) << "the outline follows the rectangle";

  // A box outside its range stops Start before the job; a refused rectangle ends it with Stop.
  ASSERT_TRUE(TypeAsUser(crop->widthBox(), QStringLiteral("9000")));
  ASSERT_TRUE(ClickAsUser(crop->startButton()));
  EXPECT_EQ(recorder_.Texts().back(), "Enter an integer between 0 and 8192.");
  EXPECT_TRUE(crop->startButton()->isEnabled());
  ASSERT_TRUE(TypeAsUser(crop->widthBox(), QStringLiteral("100")));
  ASSERT_TRUE(TypeAsUser(crop->topBox(), QStringLiteral("21")));
  ASSERT_TRUE(ClickAsUser(crop->startButton()));
  ASSERT_TRUE(WaitUntil([&] { return !crop->WorkerRunning() && crop->startButton()->isEnabled(); }));
  EXPECT_EQ(recorder_.Texts().back().substr(0, 15), "Error CROP1027:");

  ASSERT_TRUE(TypeAsUser(crop->topBox(), QStringLiteral("20")));
  ASSERT_TRUE(ClickAsUser(crop->startButton()));
  for (QLineEdit* box : {crop->topBox(), crop->leftBox(), crop->widthBox(), crop->heightBox()})
    EXPECT_FALSE(box->isEnabled()) << "the rectangle cannot change while the job runs";
  ASSERT_TRUE(WaitUntil([&] { return !crop->WorkerRunning() && crop->startButton()->isEnabled(); }));
  EXPECT_TRUE(crop->topBox()->isEnabled());
  EXPECT_EQ(recorder_.Texts().back(), "Cropping finished!");
  EXPECT_EQ(std::filesystem::file_size(crop->targetBox()->text().toStdString()), 3u * 100 * 60 * 3 / 2);
  crop->close();
}

TEST_F(TransformWindows, CropDrawsTheRectangleAsAnInvertedOutline) {
  QPointer<CImageCrop> crop = new CImageCrop;
  crop->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(crop));
  ASSERT_TRUE(crop->ChooseSource(QString::fromStdString(clip_), format_, 3));
  ASSERT_TRUE(TypeAsUser(crop->leftBox(), QStringLiteral("100")));
  ASSERT_TRUE(TypeAsUser(crop->topBox(), QStringLiteral("20")));
  ASSERT_TRUE(TypeAsUser(crop->widthBox(), QStringLiteral("100")));
  ASSERT_TRUE(TypeAsUser(crop->heightBox(), QStringLiteral("60")));
  ASSERT_EQ(crop->preview()->outline(), QRect(100, 20, 100, 60));
  const QImage withOutline = crop->preview()->grab().toImage();
  crop->preview()->setOutline(QRect());
  const QImage without = crop->preview()->grab().toImage();
  auto inverted = [&](int x, int y) {
    const QRgb a = withOutline.pixel(x, y), b = without.pixel(x, y);
    return qRed(a) == 255 - qRed(b) && qGreen(a) == 255 - qGreen(b) && qBlue(a) == 255 - qBlue(b);
  };
  EXPECT_TRUE(inverted(100, 20)) << "top-left corner";
  EXPECT_TRUE(inverted(150, 79)) << "bottom edge";
  EXPECT_TRUE(inverted(199, 50)) << "right edge";
  EXPECT_EQ(withOutline.pixel(150, 50), without.pixel(150, 50)) << "the inside is left as it is";
  EXPECT_EQ(withOutline.pixel(50, 50), without.pixel(50, 50)) << "and the outside";
  crop->close();
}

TEST_F(TransformWindows, StartRefusesATargetThatIsTheSource) {
  const std::vector<uint8_t> before = test::ReadFileBytes(clip_);
  QPointer<CImageCrop> crop = new CImageCrop;
  crop->show();
  ASSERT_TRUE(crop->ChooseSource(QString::fromStdString(clip_), format_, 3));
  crop->targetBox()->setText(QString::fromStdString(clip_));
  QTest::mouseClick(crop->startButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return !crop->WorkerRunning() && crop->startButton()->isEnabled(); }));
  ASSERT_FALSE(recorder_.Texts().empty());
  EXPECT_EQ(recorder_.Texts().back(), "Error VLTX1019: The target " + clip_ + " is the source " + clip_ +
                                          " itself; choose another name!\n");
  EXPECT_EQ(test::ReadFileBytes(clip_), before);
  crop->close();
}

TEST_F(TransformWindows, ClosingAPausedJobNeverAborts) {
  // Closing while the worker runs ends the worker first; its report and the close
  // must never join one thread twice.
  for (int round = 0; round < 200; ++round) {
    QPointer<CImageCrop> crop = new CImageCrop;
    crop->show();
    ASSERT_TRUE(crop->ChooseSource(QString::fromStdString(clip_), format_, 3));
    QTest::mouseClick(crop->startButton(), Qt::LeftButton);
    QTest::mouseClick(crop->pauseButton(), Qt::LeftButton);
    if (round % 2 == 0) QTest::qWait(1);
    crop->close();
    // A running job puts the close off: the window is disabled until the worker has ended.
    ASSERT_TRUE(crop.isNull() || !crop->WorkerRunning() || !crop->isEnabled());
    ASSERT_TRUE(WaitUntil([&] {
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      return crop.isNull();
    }));
  }
}

TEST_F(TransformWindows, EveryControlOfEveryToolWindowTakesItsOwnClick) {
  auto* format = new CYuvFrmtDlg;
  format->SetFile(QString::fromStdString(clip_));
  format->Prepare();
  std::vector<QPointer<QWidget>> windows = {
      new CYUVConverter, new CImageCrop,       new CYUVFlip,    new CJoinFile, new CPSNR, format,
      new CGrid,         new CYUV2RGB_Formula, new CFileHistory};
  for (QWidget* window : windows) {
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    int checked = 0;
    for (QWidget* control : window->findChildren<QWidget*>()) {
      const bool input = qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control) ||
                         qobject_cast<QAbstractItemView*>(control) || qobject_cast<QComboBox*>(control) ||
                         qobject_cast<QSlider*>(control);
      if (!input || !control->isVisible() || qobject_cast<QComboBox*>(control->parentWidget())) continue;
      EXPECT_TRUE(TakesItsOwnClick(control))
          << window->metaObject()->className() << ": " << control->metaObject()->className() << " \""
          << (qobject_cast<QAbstractButton*>(control)
                  ? qobject_cast<QAbstractButton*>(control)->text().toStdString()
                  : std::string())
          << "\" is covered";
      ++checked;
    }
    EXPECT_GE(checked, 3) << window->metaObject()->className();
    window->close();
  }
}

TEST_F(TransformWindows, EveryToolWindowWithALargePictureStaysOnTheScreen) {
  for (const auto& [w, h] : {std::pair{1920, 1080}, std::pair{3840, 2160}}) {
    const auto big = dir_ / "big.yuv";
    test::WriteFileBytes(big, std::vector<uint8_t>(size_t{1} * w * h * 3 / 2, 90));
    ImageFormat f = test::PlainLayout(YUV_420, YUV, Progressive, Planar, w, h);
    f.ImageResolution = kCustomResolution;
    const QString source = QString::fromStdString(big.string());
    const QString target = QString::fromStdString((dir_ / "out.yuv").string());
    auto check = [&](QWidget* window, const std::function<void()>& load) {
      window->move(155, 63);
      window->show();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
      load();
      auto* job = qobject_cast<JobWindow*>(window);
      ASSERT_TRUE(WaitUntil([&] { return !job || !job->WorkerRunning(); }, 20000));
      QTest::qWait(50);
      EXPECT_TRUE(InsideTheScreen(window))
          << window->metaObject()->className() << " with " << w << "x" << h << ": " << window->x() << ","
          << window->y() << " " << window->width() << "x" << window->height();
      window->close();
    };
    QPointer<CYUVFlip> flip = new CYUVFlip;
    check(flip, [&] { ASSERT_TRUE(flip->StartFromRequest(source, target, f)); });
    QPointer<CImageCrop> crop = new CImageCrop;
    crop->setAttribute(Qt::WA_DeleteOnClose, false);  // looked at once more below
    check(crop, [&] { ASSERT_TRUE(crop->ChooseSource(source, f, 1)); });
    // The picture scrolls, so the details can be hidden to give it more room.
    crop->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(crop));
    ASSERT_TRUE(ClickAsUser(crop->toggleButton()));
    EXPECT_TRUE(crop->detailsHidden());
    EXPECT_EQ(crop->toggleButton()->text(), QStringLiteral("<--- Display Detailed Controls"));
    EXPECT_FALSE(crop->sourceBox()->isVisible());
    EXPECT_TRUE(InsideTheScreen(crop));
    delete crop.data();
    QPointer<CYUVConverter> converter = new CYUVConverter;
    check(converter, [&] {
      CommandLineRequest request;
      request.Action = ActionConvert;
      request.InputName = big.string();
      request.OutputName = (dir_ / "out.uyvy").string();
      request.OutputFormat = {YUV_422, UYV, Progressive, Packed, w, h};
      ASSERT_TRUE(converter->StartFromRequest(request, f));
    });
    QPointer<CJoinFile> join = new CJoinFile;
    check(join, [&] { join->ChooseFirst(source, f); });
    QPointer<CPSNR> psnr = new CPSNR;
    check(psnr, [&] { psnr->ChooseFile(1, source, f, 1); });
    ScopedCurrentFormat current(f);
    auto* format = new CYuvFrmtDlg;
    format->setAttribute(Qt::WA_DeleteOnClose);
    format->SetFile(source);
    format->Prepare();
    check(format, [] {});
  }
}

TEST_F(TransformWindows, JoinShowsTrueLayoutsFromTheStart) {
  ImageFormat& current = CurrentSettings().Format;
  const ImageFormat saved = current;
  current = test::Layout(YUV_422, UYV, Progressive, Packed, 352, 288);
  QPointer<CJoinFile> join = new CJoinFile;
  current = saved;
  auto labels = [&] {
    QStringList texts;
    for (QLabel* label : join->findChildren<QLabel*>()) {
      if (label->text().contains(QStringLiteral("x288")) || label->text().contains(QStringLiteral("x480")))
        texts << label->text();
    }
    return texts;
  };
  for (const QString& text : labels()) {
    EXPECT_TRUE(text.startsWith(QStringLiteral("UYVY 422"))) << text.toStdString() << ": the current layout";
    EXPECT_FALSE(text.contains(QStringLiteral("420"))) << text.toStdString();
  }
  EXPECT_EQ(labels().size(), 3) << "both sources and the joined file";
  join->ChooseFirst(QString::fromStdString(clip_), format_);
  int planar = 0;
  for (const QString& text : labels()) planar += text.contains(QStringLiteral("Progressive Planar"));
  EXPECT_EQ(planar, 2) << "the joined file takes file 1's layout";
  join->close();
}

TEST_F(TransformWindows, JoinPromptsAndLeavesItsButtonsAfterTheJob) {
  QPointer<CJoinFile> join = new CJoinFile;
  join->show();
  QTest::mouseClick(join->startButton(), Qt::LeftButton);
  EXPECT_EQ(recorder_.Entries().back().text, "Please give the first file name to join!");
  EXPECT_EQ(recorder_.Entries().back().caption, "Error");
  join->ChooseSecond(QString::fromStdString(clip_), format_);
  EXPECT_EQ(recorder_.Texts().back(), "Please load file one first!");
  join->ChooseFirst(QString::fromStdString(clip_), format_);
  ImageFormat other = format_;
  other.ComponentOrder = YVU;
  join->ChooseSecond(QString::fromStdString(clip_), other);
  EXPECT_EQ(recorder_.Texts().back(), "The two files have different format, and cannot be joined!");
  join->targetBox()->setText(QString::fromStdString((dir_ / "joined.yuv").string()));
  QTest::mouseClick(join->startButton(), Qt::LeftButton);
  EXPECT_EQ(recorder_.Texts().back(), "The two files have different format, and cannot be joined!");
  ImageFormat aliased = format_;
  aliased.Fourcc = 14;
  join->ChooseSecond(QString::fromStdString(clip_), aliased);
  QTest::mouseClick(join->startButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return !join->WorkerRunning(); }));
  QTest::qWait(20);
  EXPECT_EQ(recorder_.Texts().back(), "Join converting finished!");
  EXPECT_FALSE(join->startButton()->isEnabled()) << "Start stays disabled until Stop";
  EXPECT_EQ(join->frameNumberBox()->text(), QStringLiteral("6"));
  EXPECT_EQ(std::filesystem::file_size(dir_ / "joined.yuv"), 6u * 352 * 288 * 3 / 2);
  QTest::mouseClick(join->stopButton(), Qt::LeftButton);
  EXPECT_TRUE(join->startButton()->isEnabled());
  join->close();
}

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

TEST_F(PsnrWindow, BrowseChoicesRangeAndReportStyles) {
  QPointer<CPSNR> psnr = new CPSNR;
  psnr->show();
  EXPECT_EQ(psnr->windowTitle(), QStringLiteral("Calculate the PSNR of Two YUV Files"));
  EXPECT_EQ(psnr->reportBox()->text(), QStringLiteral("psnr.xls"));
  EXPECT_TRUE(psnr->tabButton()->isChecked());
  EXPECT_FALSE(psnr->pauseButton()->isEnabled());
  EXPECT_FALSE(psnr->stopButton()->isEnabled());

  psnr->ChooseFile(1, QString::fromStdString(clip_), format_, 3);
  EXPECT_EQ(psnr->toBox()->text(), QStringLiteral("3"));
  EXPECT_TRUE(psnr->format1Label()->text().endsWith(QStringLiteral(", 3 frames")));
  psnr->ChooseFile(2, QString::fromStdString(second_), format_, 2);
  EXPECT_EQ(psnr->toBox()->text(), QStringLiteral("2")) << "the smaller count";
  EXPECT_EQ(
      psnr->windowTitle(),
      QStringLiteral("<%1> vs. <%2>").arg(QString::fromStdString(clip_), QString::fromStdString(second_)));
  EXPECT_TRUE(recorder_.Texts().empty());
  ImageFormat other = format_;
  other.ComponentOrder = YVU;
  psnr->ChooseFile(2, QString::fromStdString(second_), other, 3);
  EXPECT_EQ(recorder_.Texts().back(),
            "Error PSNR1024: The two images to be compared must be in the same format!");
  psnr->ChooseFile(1, QString::fromStdString(clip_), format_, 0);
  const auto texts = recorder_.Texts();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[texts.size() - 2], "Error PSNR1020: There is 0 frames in this file !");
  EXPECT_EQ(texts.back(), "Error PSNR1021: The two images to be compared must be in the same format!");
  EXPECT_EQ(psnr->run().Count1, -1);

  ASSERT_TRUE(TypeAsUser(psnr->reportBox(), QStringLiteral("out.txt")));
  ASSERT_TRUE(ClickAsUser(psnr->tabButton()));
  EXPECT_EQ(psnr->reportBox()->text(), QStringLiteral("out.xls"));
  ASSERT_TRUE(ClickAsUser(psnr->commaButton()));
  EXPECT_EQ(psnr->reportBox()->text(), QStringLiteral("out.csv"));
  ASSERT_TRUE(TypeAsUser(psnr->reportBox(), QString()));
  ASSERT_TRUE(ClickAsUser(psnr->tabButton()));
  ASSERT_TRUE(ClickAsUser(psnr->commaButton()));
  EXPECT_EQ(recorder_.Texts().back(), "Error PSNR1026: Name of Report File is empty! ");
  ASSERT_TRUE(ClickAsUser(psnr->tabButton()));
  EXPECT_EQ(recorder_.Texts().back(), "Error PSNR1025: Name of Report File is empty! ");
  psnr->close();
}

// Picks `name` for one of the window's files with `browse`, confirming its format
// dialog with OK after `inDialog` has done its part.
testing::AssertionResult BrowseAsUser(QPushButton* browse, const std::string& name,
                                      const std::function<void(CYuvFrmtDlg*)>& inDialog = {}) {
  FileNameAnswers answers({QString::fromStdString(name)});
  ModalHandler<CYuvFrmtDlg> handler([&](CYuvFrmtDlg* format) {
    if (inDialog) inDialog(format);
    EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok)));
  });
  if (auto clicked = ClickAsUser(browse); !clicked) return clicked;
  if (handler.count != 1) return testing::AssertionFailure() << "no format dialog opened";
  return testing::AssertionSuccess();
}

TEST_F(PsnrWindow, RunShowsTheAverageAndFailuresLeaveTheirState) {
  ScopedCurrentFormat current(format_);
  QPointer<CPSNR> psnr = new CPSNR;
  psnr->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(psnr));
  ASSERT_TRUE(BrowseAsUser(psnr->browse1Button(), clip_));
  ASSERT_TRUE(BrowseAsUser(psnr->browse2Button(), second_));
  EXPECT_EQ(psnr->toBox()->text(), QStringLiteral("3"));
  const QString report = QString::fromStdString((dir_ / "r.xls").string());
  ASSERT_TRUE(TypeAsUser(psnr->reportBox(), report));
  ASSERT_TRUE(ClickAsUser(psnr->startButton()));
  ASSERT_TRUE(WaitUntil([&] { return !psnr->WorkerRunning() && psnr->startButton()->isEnabled(); }));
  EXPECT_TRUE(psnr->statusLine()->text().startsWith(QStringLiteral("Average of 3 frames:     Y :")));
  EXPECT_EQ(recorder_.Texts().back(),
            "PSNR calculation is finished, the report was saved in file " + report.toStdString() + "!");
  EXPECT_EQ(psnr->pauseButton()->text(), QStringLiteral("Continue"));
  EXPECT_FALSE(psnr->stopButton()->isEnabled());
  EXPECT_TRUE(std::filesystem::exists(report.toStdString()));

  // A format mismatch (file 2's order changed in its dialog) leaves the window
  // running until the user stops it.
  ASSERT_TRUE(BrowseAsUser(psnr->browse2Button(), second_, [](CYuvFrmtDlg* format) {
    EXPECT_TRUE(PickAsUser(format->orderList(), format->orderList()->findText(QStringLiteral("Y,V,U"))));
  }));
  ASSERT_TRUE(ClickAsUser(psnr->startButton()));
  ASSERT_TRUE(WaitUntil([&] { return !psnr->WorkerRunning(); }));
  QTest::qWait(20);
  EXPECT_EQ(recorder_.Texts().back(), "Error PSNR1001: The two image files are not in the same format! ");
  EXPECT_FALSE(psnr->startButton()->isEnabled());
  ASSERT_TRUE(ClickAsUser(psnr->stopButton()));
  EXPECT_TRUE(psnr->startButton()->isEnabled());

  // An end beyond a file's frames stops the run with its message. The format dialog
  // now starts from the last confirmed layout (Y,V,U): the order is picked back.
  ASSERT_TRUE(BrowseAsUser(psnr->browse2Button(), second_, [](CYuvFrmtDlg* format) {
    EXPECT_EQ(format->orderList()->currentText(), QStringLiteral("Y,V,U"));
    EXPECT_TRUE(PickAsUser(format->orderList(), format->orderList()->findText(QStringLiteral("Y,U,V"))));
  }));
  ASSERT_TRUE(TypeAsUser(psnr->toBox(), QStringLiteral("4")));
  ASSERT_TRUE(ClickAsUser(psnr->startButton()));
  ASSERT_TRUE(WaitUntil([&] { return !psnr->WorkerRunning() && psnr->startButton()->isEnabled(); }))
      << recorder_.Texts().back() << " running " << psnr->WorkerRunning();
  EXPECT_EQ(recorder_.Texts().back(),
            "Error PSNR1013: File " + clip_ + " only has 3 frames, end frame number cannot be (4)! \n");
  ASSERT_TRUE(ClickAsUser(psnr->exitButton()));
  ASSERT_TRUE(WaitUntil([&] { return psnr.isNull(); }));
}

TEST_F(PsnrWindow, PauseContinueAndStopWhileTheReportIsWritten) {
  // Small frames, many of them: the report's rows fill the held FIFO, so the run
  // is surely going when the buttons are pressed.
  const int frames = 3000;
  const ImageFormat small = I420Format(16, 8);
  const std::string a = NumberedClip(dir_, "a.yuv", frames), b = NumberedClip(dir_, "b.yuv", frames);
  ScopedCurrentFormat current(small);
  QPointer<CPSNR> psnr = new CPSNR;
  psnr->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(psnr));
  ASSERT_TRUE(BrowseAsUser(psnr->browse1Button(), a));
  ASSERT_TRUE(BrowseAsUser(psnr->browse2Button(), b));
  const auto report = dir_ / "held.xls";
  HeldFifo held(report);
  ASSERT_TRUE(TypeAsUser(psnr->reportBox(), QString::fromStdString(report.string())));
  ASSERT_TRUE(ClickAsUser(psnr->startButton()));
  ASSERT_TRUE(held.WaitForBytes()) << "the job is writing";
  ASSERT_TRUE(ClickAsUser(psnr->pauseButton()));
  EXPECT_EQ(psnr->pauseButton()->text(), QStringLiteral("Continue"));
  EXPECT_EQ(psnr->run().RunState.load(), Paused);
  ASSERT_TRUE(ClickAsUser(psnr->pauseButton()));
  EXPECT_EQ(psnr->pauseButton()->text(), QStringLiteral("Pause"));
  EXPECT_EQ(psnr->run().RunState.load(), Running);
  ASSERT_TRUE(ClickAsUser(psnr->stopButton()));
  EXPECT_TRUE(psnr->startButton()->isEnabled());
  held.Release();
  ASSERT_TRUE(WaitUntil([&] { return !psnr->WorkerRunning(); }));
  EXPECT_GT(held.bytes(), 0) << recorder_.Texts().back();
  EXPECT_LT(psnr->run().FramesDone, frames) << "stopped before the end";
  psnr->close();
}

TEST_F(PsnrWindow, FormatDialogsRefuseMonoAndLeaveOutBmp) {
  ScopedCurrentFormat current(format_);
  QPointer<CPSNR> psnr = new CPSNR;
  psnr->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(psnr));
  for (QPushButton* browse : {psnr->browse1Button(), psnr->browse2Button()}) {
    QStringList samplings;
    ASSERT_TRUE(BrowseAsUser(browse, clip_, [&](CYuvFrmtDlg* format) {
      for (int i = 0; i < format->samplingList()->count(); ++i)
        samplings << format->samplingList()->itemText(i);
      const int mono = format->samplingList()->findText(QStringLiteral("MONO"));
      ASSERT_GE(mono, 0);
      EXPECT_TRUE(PickAsUser(format->samplingList(), mono));
      EXPECT_EQ(format->samplingList()->currentIndex(), YUV_420) << "MONO refused, the choice kept";
    }));
    EXPECT_FALSE(samplings.contains(QStringLiteral("BMP"))) << samplings.join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(recorder_.Texts().back(),
              "Error FRMT1008: Mono color image is only supported in YUV Plyer function!\n");
  }
  EXPECT_EQ(psnr->run().Format1.SamplingFormat, YUV_420);
  EXPECT_EQ(psnr->run().Format2.SamplingFormat, YUV_420);
  psnr->close();
}

TEST_F(PsnrWindow, MenuEntryAndCommandLineHandOver) {
  CMainFrame frame;
  RegisterTools(frame);
  QAction* entry = frame.action(Command::Psnr);
  EXPECT_TRUE(entry->isEnabled());
  EXPECT_EQ(entry->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  ASSERT_TRUE(PressShortcut(&frame, entry->shortcut()));
  auto* opened = qobject_cast<CPSNR*>(frame.LatestWindow(Command::Psnr));
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(opened->windowTitle(), QStringLiteral("PSNR Calculation"));
  opened->close();

  CommandLineRequest request;
  request.Action = ActionPsnr;
  request.InputName = clip_;
  request.SecondInputName = second_;
  request.OutputName = (dir_ / "hand").string();
  request.ReportDelimiter = 0;
  ImageFormat& current = CurrentSettings().Format;
  const ImageFormat saved = current;
  current = format_;
  ASSERT_TRUE(StartCommandLineTool(frame, request));
  current = saved;
  auto* started = qobject_cast<CPSNR*>(frame.LatestWindow(Command::Psnr));
  ASSERT_NE(started, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return !started->WorkerRunning() && started->startButton()->isEnabled(); }));
  EXPECT_EQ(started->windowTitle(), QString::fromStdString(clip_)) << "the hand-over names file 1";
  const std::string text = test::ReadFileText(dir_ / "hand.xls");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 3 + 1);
  EXPECT_EQ(recorder_.Texts().back(), "PSNR calculation is finished, the report was saved in file " +
                                          (dir_ / "hand.xls").string() + "!");
  started->close();
}

TEST_F(PsnrWindow, AviActionsHandOverToTheirWindows) {
  CMainFrame frame;
  RegisterTools(frame);
  ScopedCurrentFormat current(format_);
  CommandLineRequest request;
  request.Action = ActionYuv2Avi;
  request.InputName = clip_;
  request.OutputName = (dir_ / "clip.avi").string();
  request.AviFourcc = "I420";
  ASSERT_TRUE(StartCommandLineTool(frame, request));
  auto* encoder = qobject_cast<CYUV2AVI*>(frame.LatestWindow(Command::YuvToAvi));
  ASSERT_NE(encoder, nullptr);
  EXPECT_EQ(encoder->windowTitle(), QString::fromStdString(clip_));
  ASSERT_TRUE(WaitUntil([&] { return !encoder->WorkerRunning() && encoder->startButton()->isEnabled(); }));
  EXPECT_EQ(recorder_.Texts().back(), "YUV to AVI converting finished!");
  encoder->close();

  request.Action = ActionAvi2Yuv;
  request.InputName = (dir_ / "clip.avi").string();
  request.OutputName = (dir_ / "back.yuv").string();
  request.OutputFormat = {YUV_420, YUV, Progressive, Planar, 352, 288};
  ASSERT_TRUE(StartCommandLineTool(frame, request));
  auto* decoder = qobject_cast<CAVI2YUV*>(frame.LatestWindow(Command::AviToYuv));
  ASSERT_NE(decoder, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return !decoder->WorkerRunning() && decoder->startButton()->isEnabled(); }));
  EXPECT_EQ(recorder_.Texts().back(), "AVI to YUV converting finished!");
  EXPECT_EQ(std::filesystem::file_size(dir_ / "back.yuv"), std::filesystem::file_size(clip_));
  decoder->close();
}

TEST_F(PsnrWindow, CommandLineRunClosesTheProgramWhenAskedTo) {
  auto main = std::make_unique<QWidget>();
  main->show();
  QPointer<QWidget> mainWindow = main.get();
  QPointer<CPSNR> psnr = new CPSNR;
  psnr->show();
  psnr->SetCommandLineJob(true, main.get());
  const QString report = QString::fromStdString((dir_ / "cl").string());
  psnr->StartFromRequest(QString::fromStdString(clip_), QString::fromStdString(second_), report, 1, format_);
  ASSERT_TRUE(WaitUntil([&] { return psnr.isNull(); }));
  EXPECT_TRUE(main->isVisible()) << "the main window closes 600 ms later";
  ASSERT_TRUE(WaitUntil([&] { return !main->isVisible(); }, 3000));
  const std::string text = test::ReadFileText(dir_ / "cl.csv");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 3 + 1);
  EXPECT_TRUE(recorder_.Texts().empty()) << "no finished message before the program ends";
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

class AviWindows : public PsnrWindow {
 protected:
  // An AVI of the fixture's clip, made by the encoder job.
  std::string MakeAvi(const std::string& code) {
    ScopedCurrentFormat current(format_);
    CommandLineRequest request;
    request.InputName = clip_;
    request.OutputName = (dir_ / ("clip_" + code + ".avi")).string();
    request.AviFourcc = code;
    YuvToAviJob job;
    job.ExitWhenDone = true;
    ToolJobObserver quiet;
    if (!job.PrepareYuvRequest(request, format_) || job.FreezeAndRun(quiet) != JobOutcome::Completed)
      return {};
    return request.OutputName;
  }
};

TEST_F(AviWindows, DecodeToBmpPicturesWithTheMouse) {
  const std::string avi = MakeAvi("iyuv");
  ASSERT_FALSE(avi.empty());
  QPointer<CAVI2YUV> dialog = new CAVI2YUV;
  dialog->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
  const std::string target = (dir_ / "pic.bmp").string();
  FileNameAnswers answers({QString::fromStdString(avi), QString::fromStdString(target)});
  ASSERT_TRUE(ClickAsUser(dialog->sourceBrowseButton()));
  ASSERT_EQ(answers.asked.size(), 1u);
  EXPECT_EQ(answers.asked[0].filters, QStringLiteral("AVI file(*.avi);;All Files(*)"));
  ASSERT_FALSE(recorder_.Texts().empty());
  const std::string info = recorder_.Texts().back();
  EXPECT_EQ(info.rfind("Codec available on this computer:\n", 0), 0u) << info;
  EXPECT_NE(info.find(" \nVideo stream format of this file:     IYUV\nImage resolution (width x height):    "
                      "(352 x 288)\nNumber of frames: 3\n"),
            std::string::npos)
      << info;
  EXPECT_EQ(dialog->toBox()->text(), QStringLiteral("3"));
  ASSERT_TRUE(ClickAsUser(dialog->targetBrowseButton()));
  const std::string base = (dir_ / "pic").string();
  EXPECT_EQ(recorder_.Texts().back(), "A sequence of BMP files will be created, starting from " + base +
                                          "_0000.bmp, to " + base +
                                          "_0002.bmp.\nClick on Start to begin the conversion");
  // From frame 2: the first picture written is _0000.
  ASSERT_TRUE(TypeAsUser(dialog->fromBox(), QStringLiteral("2")));
  ASSERT_TRUE(ClickAsUser(dialog->startButton()));
  ASSERT_TRUE(WaitUntil([&] { return !dialog->WorkerRunning() && dialog->startButton()->isEnabled(); }));
  EXPECT_EQ(recorder_.Texts().back(), "AVI to YUV converting finished!");
  EXPECT_TRUE(std::filesystem::exists(base + "_0000.bmp"));
  EXPECT_TRUE(std::filesystem::exists(base + "_0001.bmp"));
  EXPECT_FALSE(std::filesystem::exists(base + "_0002.bmp"));
  ASSERT_TRUE(ClickAsUser(dialog->exitButton()));
}

TEST_F(AviWindows, EncodeWithTheCodecPickedInTheList) {
  ScopedCurrentFormat current(format_);
  QPointer<CYUV2AVI> dialog = new CYUV2AVI;
  dialog->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
  QListWidget* codecs = dialog->codecList();
  ASSERT_GE(codecs->count(), 2);
  EXPECT_TRUE(codecs->currentItem()->text().startsWith(QStringLiteral("iyuv "))) << "iyuv preselected";
  const std::string avi = (dir_ / "picked.avi").string();
  FileNameAnswers answers({QString::fromStdString(clip_), QString::fromStdString(avi)});
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  ASSERT_TRUE(ClickAsUser(dialog->sourceBrowseButton()));
  ASSERT_TRUE(ClickAsUser(dialog->targetBrowseButton()));
  EXPECT_EQ(confirm.count, 1);
  EXPECT_EQ(dialog->targetBox()->text().toStdString(), avi);
  int xvid = -1;
  for (int i = 0; i < codecs->count(); ++i)
    if (codecs->item(i)->text().startsWith(QStringLiteral("xvid "))) xvid = i;
  ASSERT_GE(xvid, 0);
  ASSERT_TRUE(ClickAsUser(codecs->viewport(), codecs->visualItemRect(codecs->item(xvid)).center()));
  EXPECT_EQ(codecs->currentRow(), xvid);
  ASSERT_TRUE(ClickAsUser(dialog->startButton()));
  ASSERT_TRUE(WaitUntil([&] { return !dialog->WorkerRunning() && dialog->startButton()->isEnabled(); }));
  EXPECT_EQ(recorder_.Texts().back(), "YUV to AVI converting finished!");
  avi::OpenFailure failure = avi::OpenFailure::None;
  auto reader = avi::AviReader::Open(avi, failure);
  ASSERT_TRUE(reader);
  EXPECT_EQ(avi::FourccText(reader->Handler()), "XVID");
  EXPECT_EQ(reader->Length(), 3);
  EXPECT_EQ(reader->Width(), 352);

  // With no codec to choose, Start refuses.
  codecs->clear();
  ASSERT_TRUE(ClickAsUser(dialog->startButton()));
  EXPECT_EQ(recorder_.Entries().back().text, "Codec FOURCC can only have 4 letters");
  EXPECT_EQ(recorder_.Entries().back().caption, "Error");
  EXPECT_FALSE(dialog->WorkerRunning());
  dialog->close();
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

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

TEST_F(EditorWindow, AClickedBlockIsEditedAndWrittenIntoTheFile) {
  ScopedCurrentFormat current(layout_);
  QPointer<CImageEdit> editor = new CImageEdit;
  editor->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
  FileNameAnswers answers({QString::fromStdString(edited_)});
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  ASSERT_TRUE(ClickAsUser(editor->browseButton()));
  ASSERT_EQ(confirm.count, 1);
  EXPECT_EQ(editor->componentList()->currentText(), QStringLiteral("YUV all Componets"));
  EXPECT_EQ(editor->preview()->pictureSize(), QSize(64, 48)) << "the first frame is shown";

  // Two steps with ">": frame 2 is shown, paused.
  ASSERT_TRUE(ClickAsUser(editor->stepForwardButton()));
  ASSERT_TRUE(WaitUntil([&] { return editor->frameNumberBox()->text() == QStringLiteral("1"); }));
  ASSERT_TRUE(ClickAsUser(editor->stepForwardButton()));
  ASSERT_TRUE(WaitUntil([&] { return editor->frameNumberBox()->text() == QStringLiteral("2"); }));
  ASSERT_TRUE(WaitUntil([&] { return editor->loop().State() == PlayPaused; }));

  // The block under the pointer: column 3, row 2 (x 24..31, y 16..23).
  PreviewArea* preview = editor->preview();
  const QPoint at(3 * 8 + 2, 2 * 8 + 5);
  QTest::mouseMove(preview, at);
  EXPECT_EQ(editor->columnLabel()->text(), QStringLiteral("Block Column:3"));
  EXPECT_EQ(editor->rowLabel()->text(), QStringLiteral("Block Row:2"));
  EXPECT_EQ(preview->outline(), QRect(24, 16, 8, 8));

  // A click opens the block editor; every luma value typed as 200, OK.
  QString luma;
  for (int r = 0; r < 8; ++r) luma += QStringLiteral("200 200 200 200 200 200 200 200 ");
  ModalHandler<CBlockEdit> edit([&](CBlockEdit* block) {
    EXPECT_EQ(block->boxLabel(0)->text(), QStringLiteral("Y Y Y"));
    for (int i = 0; i < 3; ++i)
      EXPECT_TRUE(block->boxLabel(i)->isVisible() && block->box(i)->isVisible()) << i;
    EXPECT_TRUE(ReplaceText(block->box(0), luma));
    QTest::mouseMove(block->picture(), QPoint(5 * 16 + 3, 1 * 16 + 3));
    EXPECT_EQ(block->columnLabel()->text(), QStringLiteral("Pixel column:5"));
    EXPECT_TRUE(block->yuvLine()->text().startsWith(QStringLiteral("YUV value of this pixle is (200, ")))
        << block->yuvLine()->text().toStdString();
    EXPECT_TRUE(ClickAsUser(DialogButton(block, QDialogButtonBox::Ok)));
  });
  ASSERT_TRUE(ClickAsUser(preview, at));
  ASSERT_EQ(edit.count, 1);
  std::vector<uint8_t> expected = bytes_;
  const size_t frameTwo = 64 * 48 * 3 / 2;
  for (int y = 16; y < 24; ++y)
    for (int x = 24; x < 32; ++x) expected[frameTwo + static_cast<size_t>(y * 64 + x)] = 200;
  EXPECT_EQ(test::ReadFileBytes(edited_), expected) << "frame 2's block, and nothing else";

  // A value above 255: refused with its message, the box stays open, Cancel writes nothing.
  ModalHandler<CBlockEdit> refuse([&](CBlockEdit* block) {
    EXPECT_TRUE(ReplaceText(block->box(0), QStringLiteral("300")));
    EXPECT_TRUE(ClickAsUser(DialogButton(block, QDialogButtonBox::Ok)));
    EXPECT_TRUE(block->isVisible());
    EXPECT_TRUE(ClickAsUser(DialogButton(block, QDialogButtonBox::Cancel)));
  });
  edit.Do([](CBlockEdit*) {});
  ASSERT_TRUE(ClickAsUser(preview, at));
  EXPECT_EQ(recorder_.Texts().back(),
            "Error BKED1001: Invalid input value: 300.  It cannot be larger than 255 !\n");
  EXPECT_EQ(test::ReadFileBytes(edited_), expected);

  // While playing, a click opens nothing.
  ASSERT_TRUE(ClickAsUser(editor->pauseButton()));
  ASSERT_TRUE(WaitUntil([&] { return editor->loop().State() == Playing || !editor->WorkerRunning(); }));
  if (editor->WorkerRunning() && editor->loop().State() == Playing) {
    const int opened = refuse.count;
    QTest::mouseClick(preview, Qt::LeftButton, {}, at);
    QTest::qWait(60);
    EXPECT_EQ(refuse.count, opened);
  }
  ASSERT_TRUE(ClickAsUser(editor->exitButton()));
  ASSERT_TRUE(WaitUntil([&] { return editor.isNull(); }));
  EXPECT_EQ(std::filesystem::file_size(edited_), bytes_.size());
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

TEST(ImageEditor, MenuEntrySizesAndTheDetailToggle) {
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  CMainFrame frame;
  RegisterTools(frame);
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  ASSERT_TRUE(PressShortcut(&frame, QKeySequence(QStringLiteral("Ctrl+E"))));
  QPointer<CImageEdit> editor = qobject_cast<CImageEdit*>(frame.LatestWindow(Command::Edit));
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->windowTitle(), QStringLiteral("Edit Images Pixel by Pixel"));
  EXPECT_TRUE(editor->gridBox()->isChecked()) << "the local grid is on when the window opens";

  // A size no buffer can hold.
  test::TempDir dir;
  const auto clip = dir / "tall.yuv";
  test::WriteFileBytes(clip, std::vector<uint8_t>(size_t{320} * 1400 * 3 / 2, 70));
  ImageFormat huge = test::Layout(YUV_444, YUV, Progressive, Planar, 65535, 65535);
  huge.ImageResolution = kCustomResolution;
  editor->ChooseFile(QString::fromStdString(clip.string()), &huge);
  EXPECT_EQ(recorder.Texts().back(), "Error EDIT1001: Image size (65535, 65535) not support !\n");

  // A picture taller than the screen scrolls, and the toggle hides the details.
  ImageFormat tall = test::Layout(YUV_420, YUV, Progressive, Planar, 320, 1400);
  tall.ImageResolution = kCustomResolution;
  editor->ChooseFile(QString::fromStdString(clip.string()), &tall);
  editor->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
  EXPECT_TRUE(InsideTheScreen(editor));
  EXPECT_TRUE(editor->preview()->verticalBar()->isVisible());
  ASSERT_TRUE(ClickAsUser(editor->toggleButton()));
  EXPECT_EQ(editor->toggleButton()->text(), QStringLiteral("<--- Display Detailed Controls"));
  EXPECT_FALSE(editor->browseButton()->isVisible());
  EXPECT_TRUE(editor->startButton()->isVisible()) << "the play controls stay";
  editor->close();
}

TEST(BlockEditor, ComparisonModeIsReadOnlyAndItsRadiosChooseThePicture) {
  BlockRows one = EmptyBlockRows(), two = EmptyBlockRows(), difference = EmptyBlockRows();
  for (int r = 0; r < kBlockSize; ++r) {
    std::fill(one[static_cast<size_t>(r)].first.begin(), one[static_cast<size_t>(r)].first.end(), 90);
    std::fill(two[static_cast<size_t>(r)].first.begin(), two[static_cast<size_t>(r)].first.end(), 100);
    std::fill(difference[static_cast<size_t>(r)].first.begin(),
              difference[static_cast<size_t>(r)].first.end(), 10);
  }
  const ImageFormat layout = test::Layout(YUV_420, YUV, Progressive, Planar, 64, 48);
  CBlockEdit dialog;
  dialog.OpenForCompare(layout, one, two, difference, 0);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  EXPECT_TRUE(dialog.comparing());
  EXPECT_TRUE(dialog.box(0)->isReadOnly());
  ASSERT_TRUE(ClickAsUser(dialog.box(0)->viewport()));
  EXPECT_FALSE(dialog.box(0)->hasFocus()) << "the numbers cannot be edited";
  QTest::mouseMove(dialog.picture(), QPoint(20, 20));
  EXPECT_TRUE(dialog.rgbLine()->text().startsWith(QStringLiteral("RGB value in image #1 (")));
  EXPECT_TRUE(dialog.selectorLine()->text().startsWith(QStringLiteral("Only compare R component: (")));
  auto shownLuma = [&] {
    const QImage image = dialog.picture()->grab().toImage();
    return qGray(image.pixel(40, 40));
  };
  const int first = shownLuma();
  ASSERT_TRUE(ClickAsUser(dialog.imageButton(2)));
  EXPECT_TRUE(dialog.imageButton(2)->isChecked());
  EXPECT_LT(shownLuma(), first) << "the difference (luma 10) is darker than image 1 (luma 90)";
  ASSERT_TRUE(ClickAsUser(DialogButton(&dialog, QDialogButtonBox::Ok)));
  EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

class CompareWindow : public EditorWindow {};

TEST_F(CompareWindow, TwoFilesComparedAndABlockOpenedWithTheMouse) {
  // File 2 is file 1 with the luma of the first frame's top-left block off by one.
  std::vector<uint8_t> second = bytes_;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      second[static_cast<size_t>(y * 64 + x)] =
          static_cast<uint8_t>(second[static_cast<size_t>(y * 64 + x)] ^ 1);
  const std::string other = (dir_ / "other_64x48.yuv").string();
  test::WriteFileBytes(other,
                       std::vector<uint8_t>(second.begin(), second.end() - 64 * 48 * 3 / 2));  // 9 frames
  ScopedCurrentFormat current(layout_);
  QPointer<CYUVCompare> compare = new CYUVCompare;
  compare->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(compare));
  EXPECT_FALSE(compare->valueHistogramButton()->isEnabled());
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  {
    FileNameAnswers answers({QString::fromStdString(edited_), QString::fromStdString(other)});
    ASSERT_TRUE(ClickAsUser(compare->browseButton(1)));
    ASSERT_TRUE(ClickAsUser(compare->browseButton(2)));
  }
  ASSERT_EQ(confirm.count, 2);
  EXPECT_TRUE(compare->valueHistogramButton()->isEnabled());
  EXPECT_TRUE(compare->psnrBox()->text().startsWith(QStringLiteral("Y :")))
      << compare->psnrBox()->text().toStdString();
  EXPECT_TRUE(compare->psnrBox()->text().endsWith(QStringLiteral("U :100.0000   V :100.0000")))
      << compare->psnrBox()->text().toStdString();

  // Frames 1 and 2 with ">", back to 1 with "<"; at frame 1 "<" stays.
  ASSERT_TRUE(ClickAsUser(compare->stepForwardButton()));
  ASSERT_TRUE(WaitUntil([&] { return compare->frameNumberBox()->text() == QStringLiteral("1"); }));
  ASSERT_TRUE(ClickAsUser(compare->stepForwardButton()));
  ASSERT_TRUE(WaitUntil([&] { return compare->frameNumberBox()->text() == QStringLiteral("2"); }));
  EXPECT_EQ(compare->psnrBox()->text(), QStringLiteral("Y :100.0000     U :100.0000   V :100.0000"));
  ASSERT_TRUE(ClickAsUser(compare->stepBackButton()));
  ASSERT_TRUE(WaitUntil([&] { return compare->frameNumberBox()->text() == QStringLiteral("1"); }));
  EXPECT_EQ(compare->slider()->maximum(), 9) << "the shorter file's frames";

  // Range 1..1 over black: the changed block is painted.
  ASSERT_TRUE(ClickAsUser(compare->rangeButton()));
  ASSERT_TRUE(TypeAsUser(compare->lowBox(), QStringLiteral("1")));
  ASSERT_TRUE(TypeAsUser(compare->highBox(), QStringLiteral("1")));
  ASSERT_TRUE(WaitUntil([&] {
    const QImage shot = compare->preview()->grab().toImage();
    return qRed(shot.pixel(3, 3)) > 200 && qRed(shot.pixel(30, 30)) < 30;
  })) << "difference colour inside the block, black outside";

  // The block view of block (0, 0), in comparison mode.
  ModalHandler<CBlockEdit> view([](CBlockEdit* block) {
    EXPECT_TRUE(block->comparing());
    EXPECT_TRUE(block->box(0)->toPlainText().contains(QStringLiteral("001"))) << "differences of 1";
    EXPECT_TRUE(ClickAsUser(DialogButton(block, QDialogButtonBox::Ok)));
  });
  QTest::mouseMove(compare->preview(), QPoint(4, 4));
  EXPECT_EQ(compare->columnLabel()->text(), QStringLiteral("Block Column:0"));
  ASSERT_TRUE(ClickAsUser(compare->preview(), QPoint(4, 4)));
  EXPECT_EQ(view.count, 1);
  ASSERT_TRUE(ClickAsUser(compare->exitButton()));
  ASSERT_TRUE(WaitUntil([&] { return compare.isNull(); }));
  EXPECT_EQ(CurrentSettings().DiffDisplayMode, 0) << "settings are written at Start only";
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

TEST(HistogramWindows, ValueBarsAndTheChartDrivenByItsButtons) {
  // A difference of 7 everywhere except the eighth columns, which differ by 20.
  const ImageFormat layout = test::Layout(YUV_444, YUV, Progressive, Planar, 64, 32);
  FrameBuffer a, b;
  ASSERT_TRUE(a.Allocate(WorkBufferSize(64, 32)) && b.Allocate(WorkBufferSize(64, 32)));
  FrameImage one = a.Frame(layout), two = b.Frame(layout);
  std::fill(one.Data, one.Data + one.DataSize, 100);
  std::fill(two.Data, two.Data + two.DataSize, 100);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) two.Data[y * 64 + x] = x % 8 == 7 ? 120 : 107;
  FrameDifference difference;
  ASSERT_TRUE(difference.Build(*CurrentColourTables(), one, two, 3));

  CYUVDiffValueHistogram values(difference.DifferencePicture());
  EXPECT_EQ(values.windowTitle(), QStringLiteral("Diagram of YUV difference value distribution"));
  EXPECT_EQ(values.bars()[7], 200);
  EXPECT_EQ(values.bars()[20], 200 / 7) << "one column in eight: 256 of 1792";

  CYUVDiffPositionDistribution chart(difference.DifferencePicture(), difference.FirstPicture(),
                                     difference.SecondPicture());
  chart.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
  ASSERT_TRUE(chart.valid());
  EXPECT_EQ(chart.cells().bars[0][7], 200) << "block 8: the eighth column stands out";
  EXPECT_LT(chart.cells().bars[0][0], 200);
  EXPECT_FALSE(chart.imageButton(1)->isEnabled()) << "no base picture in the folded mode";
  ASSERT_TRUE(ClickAsUser(chart.blockButton(true)));
  EXPECT_EQ(chart.blockBox()->text(), QStringLiteral("9"));
  ASSERT_TRUE(ClickAsUser(chart.blockButton(false)));
  // Tilt 75 raised three times reaches 90 and stays there.
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(ClickAsUser(chart.rotateButton(0)));
  EXPECT_EQ(chart.view().tilt, 90);
  // The whole picture, standing on image 1.
  ASSERT_TRUE(ClickAsUser(chart.modeButton(0)));
  EXPECT_TRUE(chart.imageButton(1)->isEnabled());
  EXPECT_FALSE(chart.blockSlider()->isEnabled());
  ASSERT_TRUE(ClickAsUser(chart.imageButton(1)));
  EXPECT_EQ(chart.cells().columns, 32);
  EXPECT_EQ(chart.cells().rows, 16);
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

class OverlayWindow : public EditorWindow {};

TEST_F(OverlayWindow, VectorsOverTheFramesOfItsData) {
  // Two frames of data for 64 x 48 in 16 x 16 blocks: (0, 0) vectors, one white
  // pixel at each block centre.
  std::string text;
  text =
      "<TotalFrames> 2 </TotalFrames> <ImageWidth> 64 </ImageWidth> <ImageHeight> 48 </ImageHeight> "
      "<BlockWidth> 16 </BlockWidth> <BlockHeight> 16 </BlockHeight> <DataPerBlock> 2 </DataPerBlock> "
      "<DataMin> -127 </DataMin> <DataMax> 255 </DataMax> <Data>\n";
  for (int f = 0; f < 2; ++f) {
    text += "<Frame>";
    for (int i = 0; i < 12 * 2; ++i) text += " 0";
    text += " </Frame>\n";
  }
  const auto overlay = dir_ / "vectors.txt";
  test::WriteFileBytes(overlay, std::vector<uint8_t>(text.begin(), text.end()));
  const auto broken = dir_ / "broken.txt";
  const std::string bad =
      "<TotalFrames> 2 </TotalFrames> <ImageWidth> 64 </ImageWidth> <ImageHeight> 48 "
      "</ImageHeight> <BlockWidth> 16 </BlockWidth> <BlockHeight> 16 </BlockHeight> "
      "<DataPerBlock> 3 </DataPerBlock>";
  test::WriteFileBytes(broken, std::vector<uint8_t>(bad.begin(), bad.end()));

  ScopedCurrentFormat current(layout_);
  QPointer<CInfoOverlay> window = new CInfoOverlay;
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  {
    FileNameAnswers answers({QString::fromStdString(edited_), QString::fromStdString(broken.string()),
                             QString::fromStdString(overlay.string())});
    ASSERT_TRUE(ClickAsUser(window->videoBrowseButton()));
    ASSERT_TRUE(ClickAsUser(window->overlayBrowseButton()));
    EXPECT_EQ(recorder_.Entries().back().text, "DataPerBlock can only be 1 or 2!");
    EXPECT_EQ(recorder_.Entries().back().caption, "Error");
    ASSERT_TRUE(ClickAsUser(window->overlayBrowseButton()));
  }
  ASSERT_TRUE(ClickAsUser(window->startButton()));
  ASSERT_TRUE(WaitUntil([&] { return !window->WorkerRunning() && window->startButton()->isEnabled(); }));
  EXPECT_EQ(window->slider()->maximum(), 2) << "the frames of data, not the video's ten";
  EXPECT_EQ(window->frameNumberBox()->text(), QStringLiteral("2"));
  const QImage shot = window->preview()->grab().toImage();
  EXPECT_EQ(shot.pixel(8, 7), qRgb(255, 255, 255)) << "the start pixel of block (0, 0)";
  EXPECT_EQ(shot.pixel(16 + 8, 16 + 7), qRgb(255, 255, 255)) << "and of block (1, 1)";
  ASSERT_TRUE(ClickAsUser(window->overlayBox()));
  EXPECT_NE(window->preview()->grab().toImage().pixel(8, 7), qRgb(255, 255, 255))
      << "the overlay switched off";
  ASSERT_TRUE(ClickAsUser(window->exitButton()));
  ASSERT_TRUE(WaitUntil([&] { return window.isNull(); }));
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

class MotionWindow : public EditorWindow {};

TEST_F(MotionWindow, BlocksSelectedMovedAndSavedWithTheMouse) {
  ScopedCurrentFormat current(layout_);
  QPointer<CYUVCheckMotion> motion = new CYUVCheckMotion;
  motion->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(motion));
  // One frame is not enough.
  const auto single = dir_ / "single_64x48.yuv";
  test::WriteFileBytes(single, std::vector<uint8_t>(bytes_.begin(), bytes_.begin() + 64 * 48 * 3 / 2));
  motion->ChooseFile(QString::fromStdString(single.string()), layout_);
  EXPECT_EQ(recorder_.Texts().back(), "Error MOTN1002: There is only 1 frames, no need to check motion\n");

  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  {
    FileNameAnswers answers({QString::fromStdString(edited_)});
    ASSERT_TRUE(ClickAsUser(motion->browseButton()));
  }
  EXPECT_EQ(motion->frameNumberBox()->text(), QStringLiteral("2"));
  EXPECT_EQ(motion->imageButton(1)->text(), QStringLiteral("Image of previous frame: #1"));

  // Ctrl + drag over blocks (0, 0)..(1, 1) of the current frame.
  PreviewArea* preview = motion->preview();
  QTest::mouseClick(preview, Qt::LeftButton, Qt::ControlModifier, QPoint(4, 4));
  EXPECT_EQ(recorder_.Texts().back(),
            "You can only be able to select an area when the current frame is displayed. \nSelect \"Image of "
            "current "
            "frame:\" from \"Which image to display:\" greoup box.");
  ASSERT_TRUE(ClickAsUser(motion->imageButton(2)));
  auto drag = [&] {
    QTest::mousePress(preview, Qt::LeftButton, Qt::ControlModifier, QPoint(4, 4));
    QTest::mouseMove(preview, QPoint(12, 12));
    QTest::mouseRelease(preview, Qt::LeftButton, Qt::ControlModifier, QPoint(12, 12));
  };
  drag();
  EXPECT_TRUE(motion->selection().Selected(1, 1));
  drag();
  EXPECT_FALSE(motion->selection().Any()) << "the same rectangle twice deselects it";
  drag();
  // Right twice with step 4.
  ASSERT_TRUE(ClickAsUser(motion->moveButton(1)));
  ASSERT_TRUE(ClickAsUser(motion->moveButton(1)));
  EXPECT_EQ(motion->vectorBox()->text(), QStringLiteral("(8, 0)"));
  const std::vector<uint8_t> moved = motion->sequence().Snapshot().edited;
  const size_t frame = 64 * 48 * 3 / 2;
  ASSERT_EQ(moved.size(), frame);
  for (int y = 0; y < 16; ++y) {
    for (int x = 8; x < 24; ++x)
      ASSERT_EQ(moved[static_cast<size_t>(y * 64 + x)], bytes_[frame + static_cast<size_t>(y * 64 + x - 8)])
          << x << "," << y;
  }
  std::array<uint8_t, 3> grey = FillBytes(*CurrentColourTables(), layout_, RgbColor{128, 128, 128});
  EXPECT_EQ(moved[3 * 64 + 2], grey[0]) << "the vacated pixels are mid-grey";

  // Saved: frame 2 of the file is the moved frame, nothing else changes.
  {
    BoxAnswerer ok(QMessageBox::Ok);
    ASSERT_TRUE(ClickAsUser(motion->saveButton()));
  }
  std::vector<uint8_t> expected = bytes_;
  std::copy(moved.begin(), moved.end(), expected.begin() + static_cast<long>(frame));
  EXPECT_EQ(test::ReadFileBytes(edited_), expected);

  // ">" shows the next pair and drops the move.
  ASSERT_TRUE(ClickAsUser(motion->stepForwardButton()));
  ASSERT_TRUE(WaitUntil([&] { return motion->frameNumberBox()->text() == QStringLiteral("3"); }));
  EXPECT_EQ(motion->vectorBox()->text(), QStringLiteral("(0, 0)"));
  EXPECT_EQ(motion->imageButton(2)->text(), QStringLiteral("Image of current frame:  #3"));
  ASSERT_TRUE(ClickAsUser(motion->exitButton()));
  ASSERT_TRUE(WaitUntil([&] { return motion.isNull(); }));
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

class ComponentWindows : public TransformWindows {
 protected:
  int SamplingEntry(CYuvFrmtDlg* dialog, const char* text) {
    return dialog->samplingList()->findText(QString::fromLatin1(text));
  }
};

TEST_F(ComponentWindows, PaddingTypedChosenAndRunWithTheMouse) {
  CMainFrame frame;
  RegisterTools(frame);
  EXPECT_EQ(frame.action(Command::Padding)->shortcut(), QKeySequence(QStringLiteral("Ctrl+D")));
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  ASSERT_TRUE(ChooseFromMenu(&frame, QStringLiteral("YUV Converter"), QStringLiteral("Pa&dding")));
  QPointer<CYUVPadding> pad = qobject_cast<CYUVPadding*>(frame.LatestWindow(Command::Padding));
  ASSERT_NE(pad, nullptr);
  EXPECT_EQ(pad->windowTitle(), QStringLiteral("Image Padding"));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(pad));
  const ProgramSettings saved = CurrentSettings();
  CurrentSettings().Padding_Multiple_Width = 16;
  CurrentSettings().Padding_Multiple_Height = 16;
  CurrentSettings().PaddedResolutionMode = 0;
  CurrentSettings().Padding_Mode = 0;
  pad->close();
  pad = new CYUVPadding;
  pad->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(pad));
  EXPECT_EQ(pad->multipleWidthBox()->text(), QStringLiteral("16")) << "the remembered multiples";
  EXPECT_EQ(pad->topBox()->text(), QStringLiteral("0"));
  EXPECT_FALSE(pad->paddedWidthBox()->isEnabled()) << "the multiples mode";
  EXPECT_FALSE(pad->colourButton()->isEnabled()) << "the repeat mode";

  // A 350 x 286 source: the size boxes take the next multiples of 16, the label the padded size.
  const auto odd = dir_ / "odd.yuv";
  test::WriteFileBytes(odd, test::RandomBytes(350 * 286 * 3 / 2 * 2, 8));
  ScopedCurrentFormat current(test::Layout(YUV_420, YUV, Progressive, Planar, 350, 286));
  ASSERT_TRUE(BrowseAsUser(pad->sourceBrowseButton(), odd.string()));
  EXPECT_EQ(pad->targetBox()->text(), QString::fromStdString((dir_ / "odd_padded.yuv").string()));
  EXPECT_EQ(pad->paddedWidthBox()->text(), QStringLiteral("352"));
  EXPECT_EQ(pad->paddedHeightBox()->text(), QStringLiteral("288"));
  EXPECT_EQ(pad->job().TargetFormat.ImgWidth, 352);
  ASSERT_TRUE(TypeAsUser(pad->multipleWidthBox(), QStringLiteral("0")));
  EXPECT_EQ(pad->job().TargetFormat.ImgWidth, 350) << "a multiple of 0 leaves the source size";

  // The explicit size, an odd top row (refused with Stop), then a run in the fill mode.
  ASSERT_TRUE(ClickAsUser(pad->explicitRadio()));
  EXPECT_TRUE(pad->paddedWidthBox()->isEnabled());
  EXPECT_FALSE(pad->multipleWidthBox()->isEnabled());
  ASSERT_TRUE(TypeAsUser(pad->paddedWidthBox(), QStringLiteral("400")));
  ASSERT_TRUE(TypeAsUser(pad->paddedHeightBox(), QStringLiteral("300")));
  EXPECT_EQ(pad->job().TargetFormat.ImgWidth, 400);
  EXPECT_EQ(pad->job().TargetFormat.ImgHeight, 300);
  ASSERT_TRUE(TypeAsUser(pad->topBox(), QStringLiteral("3")));
  ASSERT_TRUE(ClickAsUser(pad->startButton()));
  ASSERT_TRUE(WaitUntil([&] { return !pad->WorkerRunning() && pad->startButton()->isEnabled(); }));
  EXPECT_EQ(recorder_.Texts().back(),
            "Error PADD1013: Invalid start row on the top. Cannot start on odd row for 420 image!\n");
  ASSERT_TRUE(TypeAsUser(pad->topBox(), QStringLiteral("4")));
  ASSERT_TRUE(TypeAsUser(pad->leftBox(), QStringLiteral("20")));
  ASSERT_TRUE(ClickAsUser(pad->fillRadio()));
  EXPECT_TRUE(pad->colourButton()->isEnabled());
  ASSERT_TRUE(ClickAsUser(pad->startButton()));
  ASSERT_TRUE(WaitUntil([&] { return !pad->WorkerRunning() && pad->startButton()->isEnabled(); }));
  EXPECT_EQ(recorder_.Texts().back(), "Padding finished! The resolution of the new file is 400(W) x 300(H)!");
  EXPECT_EQ(std::filesystem::file_size(dir_ / "odd_padded.yuv"), 2u * 400 * 300 * 3 / 2);
  EXPECT_EQ(pad->preview()->pictureSize(), QSize(400, 300)) << "the preview shows the padded frame";
  EXPECT_EQ(CurrentSettings().PaddedResolutionMode, 1) << "the choices are remembered";
  EXPECT_EQ(CurrentSettings().Padding_Mode, 1);
  EXPECT_EQ(CurrentSettings().Padding_Multiple_Width, 0);
  CurrentSettings() = saved;
  pad->close();
}

TEST_F(ComponentWindows, SeparateAndMergeBackWithTheMouse) {
  QPointer<CYUVSeparate> separate = new CYUVSeparate;
  separate->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(separate));
  ScopedCurrentFormat current(format_);
  ASSERT_TRUE(BrowseAsUser(separate->sourceBrowseButton(), clip_));
  const QString base = QString::fromStdString((dir_ / "clip").string());
  EXPECT_EQ(separate->windowTitle(),
            QStringLiteral("Separate <%1> into 3 components ").arg(QString::fromStdString(clip_)));
  EXPECT_EQ(separate->componentBox(0)->text(), base + ".y");
  EXPECT_EQ(separate->componentBox(1)->text(), base + ".u");
  EXPECT_EQ(separate->componentBox(2)->text(), base + ".v");
  {
    FileNameAnswers answers({base + "_chroma.v"});
    ASSERT_TRUE(ClickAsUser(separate->componentBrowse(2)));
    ASSERT_EQ(answers.asked.size(), 1u);
    EXPECT_EQ(answers.asked[0].filters,
              QStringLiteral("Color Components(*.y *.u *.v *.r *.g *.b);;All Files(*)"));
  }
  EXPECT_EQ(separate->componentBox(2)->text(), base + "_chroma.v");
  ASSERT_TRUE(ClickAsUser(separate->startButton()));
  ASSERT_TRUE(WaitUntil([&] { return !separate->WorkerRunning() && separate->startButton()->isEnabled(); }));
  EXPECT_EQ(recorder_.Texts().back().substr(0, 35), "The source file (YUV_420) has been ");
  EXPECT_EQ(std::filesystem::file_size(base.toStdString() + ".y"), 3u * 352 * 288);
  EXPECT_EQ(std::filesystem::file_size(base.toStdString() + "_chroma.v"), 3u * 176 * 144);
  separate->close();

  QPointer<CYUVMerge> merge = new CYUVMerge;
  merge->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(merge));
  EXPECT_TRUE(merge->yuvRadio()->isChecked());
  // Each component is read as a mono file of its size, chosen in its format dialog.
  const std::array<std::string, 3> names = {base.toStdString() + ".y", base.toStdString() + ".u",
                                            base.toStdString() + "_chroma.v"};
  for (size_t i = 0; i < 3; ++i) {
    ASSERT_TRUE(BrowseAsUser(merge->componentBrowse(i), names[i], [&](CYuvFrmtDlg* dialog) {
      EXPECT_TRUE(PickAsUser(dialog->samplingList(), SamplingEntry(dialog, "MONO")));
      EXPECT_TRUE(PickAsUser(dialog->resolutionList(), i == 0 ? 3 : 1));
    }));
    EXPECT_EQ(merge->componentBox(i)->text(), QString::fromStdString(names[i]));
  }
  EXPECT_EQ(merge->targetBox()->text(), base + "_merged.yuv") << "named after the first component";
  EXPECT_EQ(merge->job().TargetFormat.SamplingFormat, YUV_420) << "the label follows the sizes";
  EXPECT_EQ(merge->windowTitle(),
            QStringLiteral("<%1> to <%2>").arg(QString::fromStdString(names[2]), base + "_merged.yuv"));
  ASSERT_TRUE(ClickAsUser(merge->rgbRadio()));
  ASSERT_TRUE(ClickAsUser(merge->startButton()));
  ASSERT_TRUE(WaitUntil([&] { return !merge->WorkerRunning() && merge->startButton()->isEnabled(); }));
  EXPECT_EQ(recorder_.Texts().back(),
            "Error MERG1007: To merge RGB components, the size of all images must be the same!\n");
  ASSERT_TRUE(ClickAsUser(merge->yuvRadio()));
  ASSERT_TRUE(ClickAsUser(merge->startButton()));
  ASSERT_TRUE(WaitUntil([&] { return !merge->WorkerRunning() && merge->startButton()->isEnabled(); }));
  EXPECT_EQ(recorder_.Texts().back(),
            "The three files have be merged into a file with following format:\n    "
            "YUV_420, planar, progressive, width=352, height=288");
  EXPECT_EQ(test::ReadFileBytes(base.toStdString() + "_merged.yuv"), test::ReadFileBytes(clip_));
  merge->close();
}

TEST_F(ComponentWindows, EveryControlTakesItsOwnClickAndCommandLinesHandOver) {
  std::vector<QPointer<QWidget>> windows = {new CYUVPadding, new CYUVSeparate, new CYUVMerge,
                                            new CYUVComposition};
  for (QWidget* window : windows) {
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_TRUE(InsideTheScreen(window)) << window->metaObject()->className();
    int checked = 0;
    for (QWidget* control : window->findChildren<QWidget*>()) {
      const bool input = qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control);
      if (!input || !control->isVisible()) continue;
      EXPECT_TRUE(TakesItsOwnClick(control))
          << window->metaObject()->className() << ": " << control->metaObject()->className() << " is covered";
      ++checked;
    }
    EXPECT_GE(checked, 10) << window->metaObject()->className();
    window->close();
  }

  // Padding a 1080p clip: the padded preview keeps the window on the screen.
  const auto hd = dir_ / "hd.yuv";
  test::WriteFileBytes(hd, std::vector<uint8_t>(size_t{1920} * 1080 * 3 / 2, 90));
  ImageFormat hdFormat = test::PlainLayout(YUV_420, YUV, Progressive, Planar, 1920, 1080);
  hdFormat.ImageResolution = kCustomResolution;
  QPointer<CYUVPadding> big = new CYUVPadding;
  big->move(155, 63);
  big->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(big));
  big->ChooseSource(QString::fromStdString(hd.string()), hdFormat, 1);
  ASSERT_TRUE(ClickAsUser(big->explicitRadio()));
  ASSERT_TRUE(ClickAsUser(big->startButton()));
  ASSERT_TRUE(WaitUntil([&] { return !big->WorkerRunning() && big->startButton()->isEnabled(); }, 20000));
  EXPECT_EQ(recorder_.Texts().back(),
            "Padding finished! The resolution of the new file is 1920(W) x 1088(H)!");
  QTest::qWait(50);
  EXPECT_TRUE(InsideTheScreen(big)) << big->width() << "x" << big->height();
  EXPECT_TRUE(big->toggleButton()->isVisible()) << "the picture scrolls: the details can be hidden";
  ASSERT_TRUE(ClickAsUser(big->toggleButton()));
  EXPECT_FALSE(big->sourceBox()->isVisible());
  big->close();

  CMainFrame frame;
  RegisterTools(frame);
  ScopedCurrentFormat current(format_);
  CommandLineRequest request;
  request.Action = ActionSeparate;
  request.InputName = clip_;
  request.OutputName = (dir_ / "parts.yuv").string();
  ASSERT_TRUE(StartCommandLineTool(frame, request));
  auto* separate = qobject_cast<CYUVSeparate*>(frame.LatestWindow(Command::Separate));
  ASSERT_NE(separate, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return !separate->WorkerRunning() && separate->startButton()->isEnabled(); }));
  EXPECT_EQ(std::filesystem::file_size(dir_ / "parts.u"), 3u * 176 * 144);
  separate->close();

  request = {};
  request.Action = ActionPad;
  request.InputName = clip_;
  request.OutputName = (dir_ / "padded.yuv").string();
  request.OutputFormat.ImgWidth = 360;
  request.OutputFormat.ImgHeight = 296;
  request.CropGiven = true;
  request.CropRect = {4, 8, 0, 0};
  ASSERT_TRUE(StartCommandLineTool(frame, request));
  auto* pad = qobject_cast<CYUVPadding*>(frame.LatestWindow(Command::Padding));
  ASSERT_NE(pad, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return !pad->WorkerRunning() && pad->startButton()->isEnabled(); }));
  EXPECT_EQ(recorder_.Texts().back(), "Padding finished! The resolution of the new file is 360(W) x 296(H)!");
  EXPECT_EQ(pad->topBox()->text(), QStringLiteral("4"));
  pad->close();

  request = {};
  request.Action = ActionMerge;
  request.InputName = (dir_ / "parts").string();
  request.OutputName = (dir_ / "merged.yuv").string();
  ASSERT_TRUE(StartCommandLineTool(frame, request));
  auto* merge = qobject_cast<CYUVMerge*>(frame.LatestWindow(Command::Merge));
  ASSERT_NE(merge, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return !merge->WorkerRunning() && merge->startButton()->isEnabled(); }));
  EXPECT_EQ(test::ReadFileBytes(dir_ / "merged.yuv"), test::ReadFileBytes(clip_));
  merge->close();
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

class CompositionWindow : public TransformWindows {};

TEST_F(CompositionWindow, BaseTopAndPicturesComposedWithTheMouse) {
  CMainFrame frame;
  RegisterTools(frame);
  EXPECT_EQ(frame.action(Command::Composition)->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  ASSERT_TRUE(PressShortcut(&frame, QKeySequence(QStringLiteral("Ctrl+N"))));
  QPointer<CYUVComposition> compose =
      qobject_cast<CYUVComposition*>(frame.LatestWindow(Command::Composition));
  ASSERT_NE(compose, nullptr);
  EXPECT_EQ(compose->windowTitle(), QStringLiteral("Composite Two YUV Files Into One File"));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(compose));
  EXPECT_EQ(compose->topLineBox()->text(), QStringLiteral("10"));
  EXPECT_EQ(compose->leftColumnBox()->text(), QStringLiteral("20"));
  EXPECT_FALSE(compose->progressBar()->isVisible());

  // Start without names prompts for the base first.
  ASSERT_TRUE(ClickAsUser(compose->startButton()));
  EXPECT_EQ(recorder_.Entries().back().text, "Please give file name for the base image!");
  EXPECT_EQ(recorder_.Entries().back().caption, "Error");

  ScopedCurrentFormat current(format_);
  ASSERT_TRUE(BrowseAsUser(compose->sourceBrowseButton(), clip_));
  EXPECT_EQ(compose->targetBox()->text(), QString::fromStdString((dir_ / "clip_composed.yuv").string()));
  // A top of another layout is refused at once and again at Start.
  const ImageFormat qcif = test::Layout(YUV_420, YVU, Progressive, Planar, 176, 144);
  const auto top = dir_ / "top.yuv";
  test::WriteFileBytes(top, test::RandomBytes(176 * 144 * 3 / 2 * 2, 9));
  {
    ScopedCurrentFormat topFormat(qcif);
    ASSERT_TRUE(BrowseAsUser(compose->topBrowseButton(), top.string()));
  }
  EXPECT_EQ(recorder_.Texts().back(), "The two files have different format, and cannot be composited !");
  ASSERT_TRUE(ClickAsUser(compose->startButton()));
  EXPECT_EQ(recorder_.Texts().back(), "The two files have different format, and cannot be composited!");
  ImageFormat sameLayout = qcif;
  sameLayout.ComponentOrder = YUV;
  {
    ScopedCurrentFormat topFormat(sameLayout);
    ASSERT_TRUE(BrowseAsUser(compose->topBrowseButton(), top.string()));
  }
  EXPECT_TRUE(compose->composable());

  // Transparency 100 with the keyboard: the base comes out unchanged.
  ASSERT_TRUE(ClickAsUser(compose->transparencySlider()));
  QTest::keyClick(compose->transparencySlider(), Qt::Key_End);
  EXPECT_EQ(compose->transparencyValue()->text(), QStringLiteral("100"));
  ASSERT_TRUE(ClickAsUser(compose->startButton()));
  ASSERT_TRUE(WaitUntil([&] { return !compose->WorkerRunning() && compose->startButton()->isEnabled(); }));
  EXPECT_EQ(
      recorder_.Texts().back(),
      " Base image files contains more frames than the top image files.\n You can specify if you need repeat "
      "the last frame of top image file to continoue to put on top of the rest frames of the base image "
      "file!")
      << "the notice, and no finish message";
  const auto target = dir_ / "clip_composed.yuv";
  EXPECT_EQ(test::ReadFileBytes(target), test::ReadFileBytes(clip_));

  // Transparency 0 at (0, 0): the top's first luma row starts the picture.
  QTest::keyClick(compose->transparencySlider(), Qt::Key_Home);
  ASSERT_TRUE(TypeAsUser(compose->topLineBox(), QStringLiteral("0")));
  ASSERT_TRUE(TypeAsUser(compose->leftColumnBox(), QStringLiteral("0")));
  ASSERT_TRUE(ClickAsUser(compose->repeatBox()));
  ASSERT_TRUE(ClickAsUser(compose->startButton()));
  ASSERT_TRUE(WaitUntil([&] { return !compose->WorkerRunning() && compose->startButton()->isEnabled(); }));
  const auto out = test::ReadFileBytes(target), t = test::ReadFileBytes(top);
  ASSERT_EQ(out.size(), test::ReadFileBytes(clip_).size());
  const size_t baseFrame = 352 * 288 * 3 / 2, topFrame = 176 * 144 * 3 / 2;
  EXPECT_TRUE(std::equal(t.begin(), t.begin() + 176, out.begin()));
  EXPECT_TRUE(std::equal(t.begin() + topFrame, t.begin() + topFrame + 176, out.begin() + baseFrame));
  EXPECT_TRUE(std::equal(t.begin() + topFrame, t.begin() + topFrame + 176, out.begin() + 2 * baseFrame))
      << "the last top frame repeated";

  // A picture as the top, through the picture list.
  std::vector<uint8_t> rows(16 * 8 * 3, 255);
  CDib dib;
  ASSERT_TRUE(dib.CreateFromBits(16, 8, 24, rows));
  const std::string picture = (dir_ / "white.bmp").string();
  {
    auto file = RawFile::Create(picture);
    ASSERT_TRUE(file && dib.Write(*file));
  }
  {
    FileNameAnswers answers({QString::fromStdString(picture)});
    ModalHandler<CBMPFileInput> list(
        [](CBMPFileInput* dialog) { EXPECT_TRUE(ClickAsUser(DialogButton(dialog, QDialogButtonBox::Ok))); });
    ASSERT_TRUE(ClickAsUser(compose->topBrowseButton()));
    EXPECT_EQ(list.count, 1);
  }
  EXPECT_EQ(compose->topBox()->text(), QString::fromStdString(picture));
  EXPECT_TRUE(compose->composable());
  ASSERT_TRUE(ClickAsUser(compose->startButton()));
  ASSERT_TRUE(WaitUntil([&] { return !compose->WorkerRunning() && compose->startButton()->isEnabled(); }));
  const auto withPicture = test::ReadFileBytes(target);
  const auto white = FillBytes(*CurrentColourTables(), format_, RgbColor{255, 255, 255});
  EXPECT_EQ(withPicture[0], white[0]);
  EXPECT_EQ(withPicture[15], white[0]);
  EXPECT_EQ(withPicture[16], test::ReadFileBytes(clip_)[16]) << "16 pixels wide";
  EXPECT_EQ(compose->frameNumberBox()->text(), QStringLiteral("3"));
  compose->close();
}

}  // namespace
}  // namespace vx

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  vx::InitResources();
  testing::InitGoogleTest(&argc, argv);
  vx::RecordingMessageSink quiet;
  vx::ScopedMessageSink scope(quiet);
  return RUN_ALL_TESTS();
}

namespace vx {
namespace {

// A 60-frame 64 x 48 I420 clip whose planes are flat and different in every frame
// (Y 10 + 4n, U n, V 255 - n), so any frame's bytes name it.
class ShownFrameWindows : public EditorWindow {
 protected:
  static constexpr int kFrames = 60;
  static constexpr size_t kFrameSize = 64 * 48 * 3 / 2;
  void SetUp() override {
    EditorWindow::SetUp();
    flat_ = (dir_ / "flat_64x48.yuv").string();
    for (int n = 1; n <= kFrames; ++n) {
      flatBytes_.insert(flatBytes_.end(), 64 * 48, static_cast<uint8_t>(10 + 4 * n));
      flatBytes_.insert(flatBytes_.end(), 32 * 24, static_cast<uint8_t>(n));
      flatBytes_.insert(flatBytes_.end(), 32 * 24, static_cast<uint8_t>(255 - n));
    }
    test::WriteFileBytes(flat_, flatBytes_);
  }
  // Leaves playback stopped or paused at a random moment, as a person's clicks do:
  // Start and Stop, Play and Pause, a step either way, reverse play and its pause.
  template <typename Window>
  void StopSomewhere(Window* window, std::mt19937& random) {
    const auto wait = [&] { QTest::qWait(static_cast<int>(random() % 70)); };
    const bool paused = window->WorkerRunning() && window->loop().State() == PlayPaused;
    switch (random() % 5) {
      case 0:
        if (window->startButton()->isEnabled()) {
          EXPECT_TRUE(ClickAsUser(window->startButton()));
        } else if (paused) {
          EXPECT_TRUE(ClickAsUser(window->pauseButton()));
        }
        wait();
        if (window->stopButton()->isEnabled()) {
          EXPECT_TRUE(ClickAsUser(window->stopButton()));
        }
        break;
      case 1:
        if (window->startButton()->isEnabled()) {
          EXPECT_TRUE(ClickAsUser(window->startButton()));
        } else if (paused) {
          EXPECT_TRUE(ClickAsUser(window->pauseButton()));
        }
        wait();
        if (window->WorkerRunning() && window->loop().State() == Playing) {
          EXPECT_TRUE(ClickAsUser(window->pauseButton()));
        }
        break;
      case 2:
        EXPECT_TRUE(ClickAsUser(window->stepForwardButton()));
        break;
      case 3:
        EXPECT_TRUE(ClickAsUser(window->stepBackButton()));
        break;
      default:
        if (!paused) break;
        EXPECT_TRUE(ClickAsUser(window->reverseButton()));
        wait();
        if (window->WorkerRunning() && window->loop().State() == PlayingBackward) {
          EXPECT_TRUE(ClickAsUser(window->reverseButton()));
        }
        break;
    }
    ASSERT_TRUE(WaitUntil([&] { return window->FramesStandStill(); }));
    QCoreApplication::processEvents();  // the reports posted before the worker parked
  }
  std::string flat_;
  std::vector<uint8_t> flatBytes_;
};

TEST_F(ShownFrameWindows, EditsLandOnTheFrameShownWhereverPlaybackStops) {
  ScopedCurrentFormat current(layout_);
  QPointer<CImageEdit> editor = new CImageEdit;
  editor->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
  editor->ChooseFile(QString::fromStdString(flat_), &layout_);
  std::vector<uint8_t> model = flatBytes_;
  std::mt19937 random(27);
  int seen = 0;
  ModalHandler<CBlockEdit> edit([&](CBlockEdit*) {});
  for (int round = 0; round < 200; ++round) {
    StopSomewhere(editor.data(), random);
    const int shown = std::max(editor->frameNumberBox()->text().toInt(), 1);
    const QPoint at(static_cast<int>(random() % 64), static_cast<int>(random() % 48));
    const size_t corner = (static_cast<size_t>(shown) - 1) * kFrameSize +
                          static_cast<size_t>(at.y() / 8 * 8 * 64 + at.x() / 8 * 8);
    const int value = static_cast<int>(random() % 256);
    // The block view shows the frame shown; its first number typed over, OK.
    edit.Do([&](CBlockEdit* block) {
      const QString text = block->box(0)->toPlainText();
      EXPECT_EQ(text.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty).toInt(), model[corner])
          << "round " << round << ", frame " << shown;
      EXPECT_TRUE(ReplaceText(block->box(0), QString::number(value)));
      EXPECT_TRUE(ClickAsUser(DialogButton(block, QDialogButtonBox::Ok)));
    });
    ASSERT_TRUE(ClickAsUser(editor->preview(), at));
    ASSERT_EQ(edit.count, ++seen) << "round " << round;
    model[corner] = static_cast<uint8_t>(value);
    ASSERT_EQ(test::ReadFileBytes(flat_), model)
        << "round " << round << ": exactly frame " << shown << " changed, in pixel " << at.x() / 8 * 8 << ","
        << at.y() / 8 * 8;
    ASSERT_TRUE(recorder_.Texts().empty()) << recorder_.Texts().front();
  }
  editor->close();
  ASSERT_TRUE(WaitUntil([&] { return editor.isNull(); }));
}

TEST_F(ShownFrameWindows, AMoveIsSavedIntoTheCurrentFrameShownWhereverPlaybackStops) {
  ScopedCurrentFormat current(layout_);
  QPointer<CYUVCheckMotion> motion = new CYUVCheckMotion;
  motion->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(motion));
  ASSERT_TRUE(ClickAsUser(motion->imageButton(2)));
  motion->ChooseFile(QString::fromStdString(flat_), layout_);
  std::vector<uint8_t> model = flatBytes_;
  // What the window holds as the unedited current frame: the file's frame as read
  // when the pair was shown, and the moves made since.
  const auto frameOf = [&](int n) {
    return std::vector<uint8_t>(model.begin() + static_cast<long>((n - 1) * kFrameSize),
                                model.begin() + static_cast<long>(n * kFrameSize));
  };
  std::vector<uint8_t> unedited = frameOf(2);
  int dx = 0;
  QObject::connect(motion.data(), &CYUVCheckMotion::frameShown, [&](int currentFrame) {
    unedited = frameOf(currentFrame);
    dx = 0;
  });
  std::mt19937 random(28);
  PreviewArea* preview = motion->preview();
  for (int round = 0; round < 200; ++round) {
    StopSomewhere(motion.data(), random);
    const int shown = motion->frameNumberBox()->text().toInt();
    ASSERT_GE(shown, 2);
    ASSERT_TRUE(ClickAsUser(motion->selectButton(1)));
    const QPoint at(static_cast<int>(random() % 64), static_cast<int>(random() % 48));
    QTest::mousePress(preview, Qt::LeftButton, Qt::ControlModifier, at);
    QTest::mouseRelease(preview, Qt::LeftButton, Qt::ControlModifier, at);
    ASSERT_TRUE(ClickAsUser(motion->moveButton(1)));
    dx += 4;
    {
      BoxAnswerer ok(QMessageBox::Ok);
      ASSERT_TRUE(ClickAsUser(motion->saveButton()));
    }
    // The model's move of the unedited frame, written over the frame shown as current.
    BlockSelection selection;
    selection.Reset(64, 48);
    selection.InvertRectangle(at.x() / 8, at.y() / 8, at.x() / 8, at.y() / 8);
    std::vector<uint8_t> from = unedited, to(kFrameSize);
    FrameImage fromFrame, toFrame;
    static_cast<ImageFormat&>(fromFrame) = layout_;
    ComputeFrameSize(fromFrame);
    toFrame = fromFrame;
    fromFrame.Data = from.data();
    fromFrame.Capacity = static_cast<int64_t>(from.size());
    toFrame.Data = to.data();
    toFrame.Capacity = static_cast<int64_t>(to.size());
    ASSERT_TRUE(ApplyMove(fromFrame, toFrame, selection, dx, 0, *CurrentColourTables()));
    std::copy(to.begin(), to.end(), model.begin() + static_cast<long>((shown - 1) * kFrameSize));
    ASSERT_EQ(test::ReadFileBytes(flat_), model)
        << "round " << round << ": exactly frame " << shown << " changed";
    ASSERT_TRUE(recorder_.Texts().empty()) << recorder_.Texts().front();
  }
  motion->close();
  ASSERT_TRUE(WaitUntil([&] { return motion.isNull(); }));
}

TEST_F(ShownFrameWindows, AnEditBeforeStartGoesIntoTheFileJustChosen) {
  ScopedCurrentFormat current(layout_);
  QPointer<CImageEdit> editor = new CImageEdit;
  editor->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
  // File A is played for a while, then file B is chosen with Browse.
  editor->ChooseFile(QString::fromStdString(flat_), &layout_);
  ASSERT_TRUE(ClickAsUser(editor->startButton()));
  ASSERT_TRUE(WaitUntil([&] { return editor->frameNumberBox()->text().toInt() >= 3; }));
  ASSERT_TRUE(ClickAsUser(editor->stopButton()));
  ASSERT_TRUE(WaitUntil([&] { return !editor->WorkerRunning(); }));
  ModalHandler<CYuvFrmtDlg> confirm(
      [](CYuvFrmtDlg* format) { EXPECT_TRUE(ClickAsUser(DialogButton(format, QDialogButtonBox::Ok))); });
  {
    FileNameAnswers answers({QString::fromStdString(edited_)});
    ASSERT_TRUE(ClickAsUser(editor->browseButton()));
  }
  ASSERT_EQ(confirm.count, 1);
  // An edit before Start: B's frame 1 (shown since the choice) changes, A stays as it was.
  ModalHandler<CBlockEdit> edit([&](CBlockEdit* block) {
    EXPECT_EQ(block->box(0)->toPlainText().section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty).toInt(),
              bytes_[8 * 64 + 16]);
    EXPECT_TRUE(ReplaceText(block->box(0), QStringLiteral("7")));
    EXPECT_TRUE(ClickAsUser(DialogButton(block, QDialogButtonBox::Ok)));
  });
  ASSERT_TRUE(ClickAsUser(editor->preview(), QPoint(2 * 8 + 3, 8 + 3)));
  ASSERT_EQ(edit.count, 1);
  std::vector<uint8_t> expected = bytes_;
  expected[8 * 64 + 16] = 7;
  EXPECT_EQ(test::ReadFileBytes(edited_), expected);
  EXPECT_EQ(test::ReadFileBytes(flat_), flatBytes_);
  EXPECT_TRUE(recorder_.Texts().empty()) << recorder_.Texts().front();

  // The file replaced under the window (same name, another file): refused, untouched.
  const auto replacement = dir_ / "replacement.yuv";
  test::WriteFileBytes(replacement, expected);
  std::filesystem::rename(replacement, edited_);
  edit.Do([&](CBlockEdit* block) {
    EXPECT_TRUE(ReplaceText(block->box(0), QStringLiteral("9")));
    EXPECT_TRUE(ClickAsUser(DialogButton(block, QDialogButtonBox::Ok)));
  });
  ASSERT_TRUE(ClickAsUser(editor->preview(), QPoint(2 * 8 + 3, 8 + 3)));
  ASSERT_EQ(edit.count, 2);
  EXPECT_EQ(recorder_.Texts().back(), "Error EDIT1007: File " + edited_ +
                                          " is no longer the file shown (it was replaced, or its length "
                                          "changed); frame 1 was not written !\n");
  EXPECT_EQ(test::ReadFileBytes(edited_), expected);
  editor->close();
  ASSERT_TRUE(WaitUntil([&] { return editor.isNull(); }));
}

TEST_F(ShownFrameWindows, BlockViewsOfPlanar420OpenWithoutAMessage) {
  ScopedCurrentFormat current(layout_);
  QPointer<CYUVCompare> compare = new CYUVCompare;
  compare->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(compare));
  compare->ChooseFile(1, QString::fromStdString(flat_), layout_);
  compare->ChooseFile(2, QString::fromStdString(edited_), layout_);
  ModalHandler<CBlockEdit> view(
      [](CBlockEdit* block) { EXPECT_TRUE(ClickAsUser(DialogButton(block, QDialogButtonBox::Ok))); });
  ASSERT_TRUE(ClickAsUser(compare->preview(), QPoint(20, 20)));
  ASSERT_EQ(view.count, 1);
  compare->close();
  QPointer<CYUVCheckMotion> motion = new CYUVCheckMotion;
  motion->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(motion));
  motion->ChooseFile(QString::fromStdString(flat_), layout_);
  ASSERT_TRUE(ClickAsUser(motion->preview(), QPoint(20, 20)));
  ASSERT_EQ(view.count, 2);
  motion->close();
  EXPECT_TRUE(recorder_.Texts().empty()) << recorder_.Texts().front();
}

}  // namespace
}  // namespace vx

namespace vx {
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
}  // namespace vx
