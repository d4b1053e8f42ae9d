#include "ui/controls/FileNameDialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <optional>
#include <utility>

#include "model/Settings.h"

namespace vx {
namespace {

QStringList AskWithFileDialog(QWidget* parent, const FileNameRequest& request) {
  switch (request.question) {
    case FileNameQuestion::Open: {
      const QString name =
          QFileDialog::getOpenFileName(parent, request.caption, request.start, request.filters);
      return name.isEmpty() ? QStringList() : QStringList{name};
    }
    case FileNameQuestion::OpenMany:
      return QFileDialog::getOpenFileNames(parent, request.caption, request.start, request.filters);
    case FileNameQuestion::Save: {
      const QFileDialog::Options options =
          request.confirmOverwrite ? QFileDialog::Options() : QFileDialog::DontConfirmOverwrite;
      const QString name = QFileDialog::getSaveFileName(parent, request.caption, request.start,
                                                        request.filters, nullptr, options);
      return name.isEmpty() ? QStringList() : QStringList{name};
    }
  }
  return {};
}

// Dialogs are modal and asked from the UI thread only.
FileNameAsker& CurrentAsker() {
  static FileNameAsker asker = AskWithFileDialog;
  return asker;
}

// The answer a ScopedPickerAnswer holds for the next question.
std::optional<QStringList>& PendingAnswer() {
  static std::optional<QStringList> answer;
  return answer;
}

// The pending answer to `request`, taken; nullopt when there is none.
std::optional<QStringList> TakePendingAnswer(QWidget* parent, const FileNameRequest& request) {
  std::optional<QStringList> names = std::exchange(PendingAnswer(), std::nullopt);
  if (!names || names->isEmpty()) return names;
  if (request.question != FileNameQuestion::OpenMany) *names = names->mid(0, 1);
  if (request.question == FileNameQuestion::Save && request.confirmOverwrite &&
      QFileInfo::exists(names->first())) {
    const QString text = QStringLiteral("%1 already exists.\nDo you want to replace it?")
                             .arg(QFileInfo(names->first()).fileName());
    if (QMessageBox::question(parent, request.caption, text) != QMessageBox::Yes) return QStringList();
  }
  return names;
}

QString FirstOf(const QStringList& names) {
  return names.isEmpty() ? QString() : names.first();
}

QString RememberedFolder() {
  const QString folder = QFile::decodeName(QByteArray::fromStdString(CurrentSettings().LastFolder));
  return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

// Every picker opens where a file was last picked (in any window, or in an earlier
// run): an empty start or a bare proposed name is placed there; a proposed path
// that names its own folder stays as it is.
QString StartIn(const QString& proposed) {
  const QString folder = RememberedFolder();
  if (folder.isEmpty()) return proposed;
  if (proposed.isEmpty()) return folder;
  if (proposed.contains(QLatin1Char('/'))) return proposed;
  return folder + QLatin1Char('/') + proposed;
}

QStringList Ask(QWidget* parent, FileNameRequest request) {
  request.start = StartIn(request.start);
  const std::optional<QStringList> pending = TakePendingAnswer(parent, request);
  const QStringList names = pending ? *pending : CurrentAsker()(parent, request);
  if (!names.isEmpty()) {
    const QString folder = QFileInfo(names.first()).absolutePath();
    if (!folder.isEmpty()) CurrentSettings().LastFolder = QFile::encodeName(folder).toStdString();
  }
  return names;
}

}  // namespace

QString AskOpenFileName(QWidget* parent, const QString& caption, const QString& start,
                        const QString& filters) {
  return FirstOf(Ask(parent, {FileNameQuestion::Open, caption, start, filters}));
}

QStringList AskOpenFileNames(QWidget* parent, const QString& caption, const QString& start,
                             const QString& filters) {
  return Ask(parent, {FileNameQuestion::OpenMany, caption, start, filters});
}

QString AskSaveFileName(QWidget* parent, const FileNameRequest& request) {
  FileNameRequest save = request;
  save.question = FileNameQuestion::Save;
  return FirstOf(Ask(parent, save));
}

QString AskSaveNameInto(QWidget* parent, QLineEdit* box, const QString& caption, const QString& filters) {
  const QString path =
      AskSaveFileName(parent, {.caption = caption, .start = box->text(), .filters = filters});
  if (!path.isEmpty()) box->setText(path);
  return path;
}

ScopedFileNameAsker::ScopedFileNameAsker(FileNameAsker asker) : previous_(std::move(CurrentAsker())) {
  CurrentAsker() = std::move(asker);
}

ScopedFileNameAsker::~ScopedFileNameAsker() {
  CurrentAsker() = std::move(previous_);
}

ScopedPickerAnswer::ScopedPickerAnswer(QStringList names) {
  PendingAnswer() = std::move(names);
}

ScopedPickerAnswer::~ScopedPickerAnswer() {
  PendingAnswer().reset();
}

}  // namespace vx
