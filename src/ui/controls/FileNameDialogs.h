#pragma once

#include <QLineEdit>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

namespace vx {

// Every file name the program asks a person for goes through these, so one place
// decides how it is asked, and a test can answer in the person's place. Each
// picker opens in the folder of the last file picked (the settings keep it
// across runs); a proposed name without a folder is placed there.
enum class FileNameQuestion { Open, OpenMany, Save };

struct FileNameRequest {
  FileNameQuestion question = FileNameQuestion::Open;
  QString caption;
  QString start;  // directory or proposed name
  QString filters;
  bool confirmOverwrite = true;  // Save only
};

// Returns the chosen names; empty when the person cancels.
using FileNameAsker = std::function<QStringList(QWidget* parent, const FileNameRequest& request)>;

QString AskOpenFileName(QWidget* parent, const QString& caption, const QString& start,
                        const QString& filters);
QStringList AskOpenFileNames(QWidget* parent, const QString& caption, const QString& start,
                             const QString& filters);
QString AskSaveFileName(QWidget* parent, const FileNameRequest& request);
// The save picker proposing the name in `box`; the chosen name goes into the box.
// Empty when the person cancels.
QString AskSaveNameInto(QWidget* parent, QLineEdit* box, const QString& caption, const QString& filters);

// Replaces the file dialogs for its lifetime (the previous asker comes back after).
class ScopedFileNameAsker {
 public:
  explicit ScopedFileNameAsker(FileNameAsker asker);
  ~ScopedFileNameAsker();
  ScopedFileNameAsker(const ScopedFileNameAsker&) = delete;
  ScopedFileNameAsker& operator=(const ScopedFileNameAsker&) = delete;

 private:
  FileNameAsker previous_;
};

// Answers the next question a picker would ask with `names`, in the person's
// place (files dropped on a window stand for their choice): a picker of one file
// takes the first. A save picker that would confirm replacing an existing file
// still asks that. Later questions are asked as usual.
class ScopedPickerAnswer {
 public:
  explicit ScopedPickerAnswer(QStringList names);
  ~ScopedPickerAnswer();
  ScopedPickerAnswer(const ScopedPickerAnswer&) = delete;
  ScopedPickerAnswer& operator=(const ScopedPickerAnswer&) = delete;
};

}  // namespace vx
