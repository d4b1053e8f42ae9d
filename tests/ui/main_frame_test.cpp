#include <gtest/gtest.h>

#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QToolBar>
#include <QtTest/QTest>

#include "UiTestSupport.h"
#include "shell/ToolTable.h"
#include "shell/desktop/MainFrame.h"
#include "shell/desktop/ShellWindows.h"
#include "shell/desktop/ToolRegistry.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/tools/ConverterDialog.h"

namespace vx::test {
namespace {

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
      {ToolId("play"), "Ctrl+O", "Open an existing YUV file to play"},
      {Command::History, "Ctrl+H", "File manager, display a list of YUV files with access history"},
      {ToolId("crop"), "Ctrl+R", "Crop an area from a YUV file"},
      {ToolId("motion"), "Ctrl+M", "Check motions between two adjacent frames"},
      {ToolId("composition"), "Ctrl+N", "Put one image on top of anyother YUV image"},
      {ToolId("yuv2avi"), "Ctrl+Y", "Encode YUV frames into AVI format"},
      {Command::Formula, "Ctrl+U", "Select RGB to YUV converting formula"},
      {Command::CommandLine, "", "Display command line parameters"},
  };
  for (const Expected& e : expected) {
    QAction* a = frame.action(e.command);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->shortcut().toString(), QString::fromLatin1(e.shortcut));
    EXPECT_EQ(a->statusTip(), QString::fromLatin1(e.prompt));
  }
  EXPECT_EQ(frame.action(ToolId("play"))->toolTip(), QStringLiteral("Play a YUV file"));
  EXPECT_EQ(frame.action(Command::History)->toolTip(), QStringLiteral("File manager"));
  EXPECT_FALSE(frame.action(ToolId("convert"))->isEnabled()) << "tools not yet available are disabled";
  EXPECT_TRUE(frame.action(Command::Grid)->isEnabled());
  EXPECT_EQ(frame.statusBar()->currentMessage(), QStringLiteral("For Help, press F1"));
  int separators = 0, buttons = 0;
  for (const QAction* a : Child<QToolBar>(frame, "standardToolBar")->actions())
    (a->isSeparator() ? separators : buttons)++;
  EXPECT_EQ(separators, 6);
  EXPECT_EQ(buttons, 21);
}

TEST(MainFrame, EachToolEntryOpensANewWindow) {
  CMainFrame frame;
  frame.RegisterTool(ToolId("crop"), QStringLiteral("Image Cropping"),
                     [](QWidget* parent) { return new QDialog(parent); });
  EXPECT_TRUE(frame.action(ToolId("crop"))->isEnabled());
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  ASSERT_TRUE(PressShortcut(&frame, QKeySequence(QStringLiteral("Ctrl+R"))));
  QWidget* first = frame.LatestWindow(ToolId("crop"));
  ASSERT_TRUE(ChooseFromMenu(&frame, QStringLiteral("YUV Converter"), frame.action(ToolId("crop"))->text()));
  QWidget* second = frame.LatestWindow(ToolId("crop"));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_TRUE(first->isVisible()) << "the earlier window stays open";
  EXPECT_EQ(second->windowTitle(), QStringLiteral("Image Cropping"));
}

TEST(MainFrame, FormatConvertOpensTheConverter) {
  CMainFrame frame;
  RegisterTools(frame);
  QAction* convert = frame.action(ToolId("convert"));
  ASSERT_TRUE(convert->isEnabled());
  EXPECT_EQ(convert->shortcut(), QKeySequence(QStringLiteral("Ctrl+F")));
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  ASSERT_TRUE(ChooseFromMenu(&frame, QStringLiteral("YUV Converter"), convert->text()));
  auto* converter = qobject_cast<CYUVConverter*>(frame.LatestWindow(ToolId("convert")));
  ASSERT_NE(converter, nullptr);
  EXPECT_EQ(converter->windowTitle(), QStringLiteral("Convert YUV File Format"));
  EXPECT_TRUE(Child<QPushButton>(*converter, "startButton")->isEnabled());
  EXPECT_EQ(Child<QPushButton>(*converter, "pauseButton")->text(), QStringLiteral("Pause"));
  converter->close();
}

TEST(MainFrame, EveryToolOfTheTableHasItsWindowAndAMenuEntryAndButtonUnlessItHasNone) {
  CMainFrame frame;
  RegisterTools(frame);
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  const QList<QAction*> menus = frame.menuBar()->actions();
  const QList<QAction*> buttons = Child<QToolBar>(frame, "standardToolBar")->actions();
  for (const ToolRow& tool : ToolTable()) {
    if (!tool.entry.text) {
      // A command-line action only: its window, and no entry.
      EXPECT_EQ(frame.action(tool.id), nullptr) << tool.key;
      QPointer<QWidget> window = frame.OpenTool(tool.id);
      ASSERT_NE(window, nullptr) << tool.key;
      EXPECT_EQ(window->windowTitle(), QString::fromUtf8(tool.windowTitle));
      window->close();
      continue;
    }
    const QString text = QString::fromUtf8(tool.entry.text);
    QAction* entry = frame.action(tool.id);
    ASSERT_NE(entry, nullptr) << tool.entry.text;
    EXPECT_EQ(entry->text(), text);
    EXPECT_EQ(entry->statusTip(), QString::fromUtf8(tool.entry.prompt));
    EXPECT_EQ(entry->shortcut(), QKeySequence(QString::fromLatin1(tool.entry.shortcut)));
    EXPECT_TRUE(entry->isEnabled()) << "every tool of the table has a window";
    EXPECT_TRUE(buttons.contains(entry)) << tool.entry.text;
    EXPECT_FALSE(entry->icon().isNull()) << tool.entry.text;
    // The table's menus come first on the menu bar, in their order.
    const QString menu = menus[static_cast<int>(tool.entry.menu)]->text();
    ASSERT_TRUE(ChooseFromMenu(&frame, menu, text));
    QPointer<QWidget> window = frame.LatestWindow(tool.id);
    ASSERT_NE(window, nullptr) << tool.entry.text;
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8(tool.windowTitle));
    window->close();
  }
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

}  // namespace
}  // namespace vx::test
