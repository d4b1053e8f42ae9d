#pragma once

#include <QListWidget>
#include <optional>

#include "tools/BmpFileList.h"
#include "tools/Converter.h"
#include "ui/tools/ToolDialog.h"

namespace vx {

// "Select a Sequence of BMP Files": the pictures that become the frames.
class CBMPFileInput : public QDialog {
  Q_OBJECT

 public:
  CBMPFileInput(const QString& firstPicture, QWidget* parent = nullptr);
  bool opened() const { return opened_; }
  const BmpFileList& list() const { return list_; }
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

// The extension of a file name (after the last dot of its last part); empty when none.
QString ExtensionOf(const QString& path);
bool IsBmpName(const QString& path);

// A source's refusals in the raw-or-BMP-pictures flow.
struct PictureSourceTexts {
  const char* bmpToBmp;  // the target is a BMP sequence already (nullptr: never asked)
  const char* loadFailed;
  const char* not24Bits;
};

// A list of 24-bit pictures started from `firstPicture` in the list dialog: its
// names and the first picture's size. nullopt after the refusal's message, or
// when the list dialog is cancelled.
struct PictureList {
  std::vector<std::string> names;
  int32_t width = 0, height = 0;
};
std::optional<PictureList> AskPictureList(QWidget* parent, const QString& firstPicture,
                                          const PictureSourceTexts& texts);

// A source as the converter and the AVI encoder take it: a raw file through the
// format dialog (history entry, range 1..count), or a .bmp picture that starts a
// list of 24-bit pictures (`bmpNames`). The window shows what was chosen.
void ChooseRawOrPictureSource(ToolDialog& dialog, const QString& path, ToolJob& job,
                              std::vector<std::string>& bmpNames, const PictureSourceTexts& texts);

// "Convert A YUV File to Another Format".
class CYUVConverter : public ToolDialogOf<ConverterJob> {
  Q_OBJECT

 public:
  explicit CYUVConverter(QWidget* parent = nullptr);

  // From the command line: prepares the job and presses Start. False when the
  // job cannot start (the message was shown).
  bool StartFromRequest(const CommandLineRequest& request, const ImageFormat& current);
  bool StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) override;

  virtual void BrowseSource();
  void BrowseTarget();
  // The choices of the two Browse buttons, without their pickers.
  virtual void ChooseSource(const QString& path);
  void ChooseTarget(const QString& path);

 protected:
  CYUVConverter(std::unique_ptr<ConverterJob> ownedJob, QWidget* parent);
  // Whether the source is a list of BMP pictures (no BMP target then).
  virtual bool SourceIsPictureList() const { return job().SourceFormat.SamplingFormat == BMP; }
};

}  // namespace vx
