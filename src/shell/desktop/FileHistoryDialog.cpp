#include "shell/desktop/FileHistoryDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QVBoxLayout>
#include <algorithm>

#include "model/FileHistory.h"

namespace vx {
namespace {

CFileHistory::PlayHandler& Handler() {
  static CFileHistory::PlayHandler handler;
  return handler;
}

constexpr int kIdRole = Qt::UserRole + 1;

// 6 pixels per title character plus 18, or what the title needs in this font.
int TitleWidth(const QFontMetrics& metrics, int column) {
  const QString title = QString::fromLatin1(kHistoryColumns[static_cast<size_t>(column)]);
  return std::max(6 * static_cast<int>(title.size()), metrics.horizontalAdvance(title)) + 18;
}

}  // namespace

CFileHistoryListView::CFileHistoryListView(QWidget* parent) : QTreeWidget(parent) {
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setAllColumnsShowFocus(true);
  setStyleSheet(
      QStringLiteral("QTreeWidget { background: rgb(255,255,240); gridline-color: rgb(200,200,190); }"
                     "QTreeWidget::item { border-right: 1px solid rgb(215,215,205); border-bottom: 1px solid "
                     "rgb(215,215,205); }"
                     // A selected row reads as white on dark blue, whatever the desktop's colours.
                     "QTreeWidget::item:selected { background: rgb(0,84,147); color: white; }"));
  QStringList titles;
  for (const char* title : kHistoryColumns) titles << QString::fromLatin1(title);
  setHeaderLabels(titles);
  header()->setStretchLastSection(false);
  for (int c = 1; c < columnCount(); ++c) setColumnWidth(c, TitleWidth(fontMetrics(), c));
  setColumnWidth(0, 300);
}

void CFileHistoryListView::Fill() {
  clear();
  for (const CFileHistoryInfo& record : FileHistory().Records()) {
    const auto texts = HistoryRowTexts(record);
    auto* item = new QTreeWidgetItem(this);
    for (int c = 0; c < 9; ++c) item->setText(c, QString::fromStdString(texts[static_cast<size_t>(c)]));
    item->setData(0, kIdRole, QVariant::fromValue<qulonglong>(record.id));
  }
  // A value wider than its title ("1920 x 1080") is shown whole, never elided.
  for (int c = 1; c < columnCount(); ++c)
    setColumnWidth(c, std::max(TitleWidth(fontMetrics(), c), sizeHintForColumn(c)));
}

std::vector<uint64_t> CFileHistoryListView::SelectedIds() const {
  std::vector<uint64_t> ids;
  for (const QTreeWidgetItem* item : selectedItems()) ids.push_back(item->data(0, kIdRole).toULongLong());
  return ids;
}

void CFileHistoryListView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete) {
    emit deleteRequested();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

CFileHistory::CFileHistory(QWidget* parent) : QDialog(parent), list_(new CFileHistoryListView(this)) {
  setWindowTitle(
      QStringLiteral("File Manager:  List of File Access History ( Double click to play. \"Del\" to delete "
                     "the selected entry. "
                     "Press \"Shift\" or \"Ctrl\" for multiple files selection)"));
  setGeometry(20, 60, 1140, 700);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  auto* remove = new QPushButton(QStringLiteral("Delete selected record"), this);
  open_ = new QPushButton(QStringLiteral("Open selected file"), this);
  open_->setEnabled(static_cast<bool>(Handler()));
  close->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(open_);
  buttons->addWidget(remove);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  connect(remove, &QPushButton::clicked, this, &CFileHistory::DeleteSelected);
  connect(open_, &QPushButton::clicked, this, &CFileHistory::OpenSelected);
  connect(list_, &CFileHistoryListView::deleteRequested, this, &CFileHistory::DeleteSelected);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] {
    if (Handler()) OpenSelected();
  });
  list_->Fill();
}

void CFileHistory::SetPlayHandler(PlayHandler handler) {
  Handler() = std::move(handler);
}

void CFileHistory::DeleteSelected() {
  const std::vector<uint64_t> ids = list_->SelectedIds();
  if (ids.empty()) return;
  const auto answer = QMessageBox::question(
      this, QStringLiteral("Delete file"),
      QStringLiteral(
          "Are you sure you want to delete those history records (The image files will not be deleted)?"),
      QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
  if (answer != QMessageBox::Yes) return;
  FileHistory().Remove(ids);
  list_->Fill();
}

void CFileHistory::OpenSelected() {
  const std::vector<uint64_t> ids = list_->SelectedIds();
  if (ids.size() != 1 || !Handler()) return;
  for (const CFileHistoryInfo& record : FileHistory().Records()) {
    if (record.id == ids[0]) {
      // The manager is modal: left open, it would keep the window that replays the
      // record behind it and out of reach.
      accept();
      Handler()(record);
      return;
    }
  }
}

}  // namespace vx
