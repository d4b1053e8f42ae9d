#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QWidget>

namespace vx {

// The window shown at start-up over the main window: program icon, name and
// version. Closes on a click, a key release, or at the first idle moment after
// five seconds.
class CSplashWnd : public QWidget {
  Q_OBJECT

 public:
  explicit CSplashWnd(QWidget* parent);
  ~CSplashWnd() override;
  static constexpr int kShownMilliseconds = 5000;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QElapsedTimer shown_;
};

// The program icon drawn large inside a black frame with a dark grey shadow.
class CBigIcon : public QWidget {
 public:
  explicit CBigIcon(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// "About Velutrix": name, version, physical memory and free disk space.
class CAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutBox(QWidget* parent = nullptr);
};

// The user manual shipped with the program.
class CHelpWindow : public QDialog {
  Q_OBJECT

 public:
  explicit CHelpWindow(QWidget* parent = nullptr);
};

inline constexpr const char* kVersionText = "Version 3.0.902";

}  // namespace vx
