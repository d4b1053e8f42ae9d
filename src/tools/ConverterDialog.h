#pragma once

#include <QListWidget>

#include "tools/BmpFileList.h"
#include "tools/Converter.h"
#include "tools/ToolDialog.h"

namespace vx {

// "Select a Sequence of BMP Files": the pictures that become the frames.
class CBMPFileInput : public QDialog {
  Q_OBJECT

 public:
  CBMPFileInput(const QString& firstPicture, QWidget* parent = nullptr);
  bool opened() const { return opened_; }
  const BmpFileList& list() const { return list_; }
  QListWidget* listWidget() const { return listWidget_; }
  void AddFiles(const QStringList& paths);
  void MoveUp();
  void MoveDown();
  void DeleteSelected();
  void RepeatSelected();
  std::vector<std::string> names() const { return names_; }
  void accept() override;

 private:
  void Refill(int selected);
  BmpFileList list_;
  QListWidget* listWidget_;
  QLabel* status_;
  bool opened_ = false;
  std::vector<std::string> names_;
};

// "Convert A YUV File to Another Format".
class CYUVConverter : public ToolDialog {
  Q_OBJECT

 public:
  explicit CYUVConverter(QWidget* parent = nullptr);
  ConverterJob& job() { return *converter_; }

  // From the command line: prepares the job and presses Start. False when the
  // job cannot start (the message was shown).
  bool StartFromRequest(const CommandLineRequest& request, const ImageFormat& current);
  bool StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) override;

  void BrowseSource();
  void BrowseTarget();
  // The choices of the two Browse buttons, without their pickers.
  void ChooseSource(const QString& path);
  void ChooseTarget(const QString& path);

 private:
  CYUVConverter(std::unique_ptr<ConverterJob> job, QWidget* parent);
  ConverterJob* converter_;  // owned by the base
};

}  // namespace vx
