#include "ui/controls/FileNameDialogs.h"

#include <QFileDialog>

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

QString FirstOf(const QStringList& names) {
  return names.isEmpty() ? QString() : names.first();
}

}  // namespace

QString AskOpenFileName(QWidget* parent, const QString& caption, const QString& start,
                        const QString& filters) {
  return FirstOf(CurrentAsker()(parent, {FileNameQuestion::Open, caption, start, filters}));
}

QStringList AskOpenFileNames(QWidget* parent, const QString& caption, const QString& start,
                             const QString& filters) {
  return CurrentAsker()(parent, {FileNameQuestion::OpenMany, caption, start, filters});
}

QString AskSaveFileName(QWidget* parent, const FileNameRequest& request) {
  FileNameRequest save = request;
  save.question = FileNameQuestion::Save;
  return FirstOf(CurrentAsker()(parent, save));
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

}  // namespace vx
