#include "shell/desktop/ShellWindows.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/StringFormat.h"
#include "platform/SystemInfo.h"
#include "shell/desktop/ToolbarIcons.h"

namespace vx {

CSplashWnd::CSplashWnd(QWidget* parent) : QWidget(parent) {
  setFixedSize(420, 220);
  setAttribute(Qt::WA_DeleteOnClose);
  qApp->installEventFilter(this);
  shown_.start();
  // The first idle moment after five seconds: a zero timer queued behind the
  // events that are waiting at that time.
  QTimer::singleShot(kShownMilliseconds, this, [this] { QTimer::singleShot(0, this, &QWidget::close); });
}

CSplashWnd::~CSplashWnd() {
  qApp->removeEventFilter(this);
}

void CSplashWnd::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(250, 250, 246));
  p.setPen(QColor(120, 120, 120));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  p.drawPixmap(28, 46, ProgramIcon(128));
  QFont title(QStringLiteral("DejaVu Sans"));
  title.setPixelSize(36);
  title.setBold(true);
  p.setFont(title);
  p.setPen(QColor(40, 44, 52));
  p.drawText(QRect(176, 60, 230, 48), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velutrix"));
  QFont small(QStringLiteral("DejaVu Sans"));
  small.setPixelSize(15);
  p.setFont(small);
  p.drawText(QRect(178, 112, 230, 24), Qt::AlignLeft | Qt::AlignVCenter, QString::fromLatin1(kVersionText));
  p.setPen(QColor(110, 110, 110));
  p.drawText(QRect(178, 138, 230, 40), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
             QStringLiteral("Raw video toolbox"));
}

void CSplashWnd::showEvent(QShowEvent*) {
  if (QWidget* parent = parentWidget())
    move((parent->width() - width()) / 2, (parent->height() - height()) / 2);
}

void CSplashWnd::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) close();
}

bool CSplashWnd::eventFilter(QObject*, QEvent* event) {
  if (event->type() == QEvent::KeyRelease) close();
  return false;
}

CBigIcon::CBigIcon(QWidget* parent) : QWidget(parent) {
  const int icon = style()->pixelMetric(QStyle::PM_LargeIconSize);
  setFixedSize(2 * icon + 8, 2 * icon + 8);
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void CBigIcon::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect frame = rect().adjusted(0, 0, -4, -4);
  p.fillRect(frame.translated(4, 4), QColor(64, 64, 64));  // shadow along the right and bottom
  p.fillRect(frame, Qt::white);
  p.setPen(Qt::black);
  p.drawRect(frame.adjusted(0, 0, -1, -1));
  const QRect inside = frame.adjusted(4, 4, -4, -4);
  p.drawPixmap(inside, ProgramIcon(inside.width()));
}

CAboutBox::CAboutBox(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Velutrix"));
  auto* icon = new CBigIcon(this);
  auto* name = new QLabel(QStringLiteral("<b>Velutrix</b>"), this);
  auto* version = new QLabel(QString::fromLatin1(kVersionText), this);
  auto* memory = new QLabel(
      QString::fromStdString(StrFormat("%lu KB", static_cast<unsigned long>(PhysicalMemoryKilobytes()))),
      this);
  const auto free = FreeDiskKilobytes();
  auto* disk =
      new QLabel(free ? QString::fromStdString(StrFormat("%lu KB Free", static_cast<unsigned long>(*free)))
                      : QStringLiteral("Unavailable"),
                 this);
  memory->setObjectName(QStringLiteral("physicalMemory"));
  disk->setObjectName(QStringLiteral("diskSpace"));
  auto* form = new QFormLayout;
  form->addRow(name);
  form->addRow(version);
  form->addRow(QStringLiteral("Physical Memory:"), memory);
  form->addRow(QStringLiteral("Disk Space:"), disk);
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addLayout(form, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(buttons);
}

CHelpWindow::CHelpWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Velutrix Help"));
  resize(760, 640);
  auto* browser = new QTextBrowser(this);
  browser->setObjectName(QStringLiteral("manual"));
  browser->setSource(QUrl(QStringLiteral("qrc:/manual.html")));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(browser);
  layout->addWidget(buttons);
}

}  // namespace vx
