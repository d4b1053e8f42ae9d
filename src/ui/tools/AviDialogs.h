#pragma once

#include <QListWidget>

#include "tools/AviJobs.h"
#include "ui/controls/CommandLineTool.h"
#include "ui/tools/ConverterDialog.h"

namespace vx {

// "Convert AVI to YUV": the converter's window with an AVI as the source.
class CAVI2YUV : public ToolDialogOf<AviToYuvJob, CYUVConverter>, public HistoryReplayer {
  Q_OBJECT

 public:
  explicit CAVI2YUV(QWidget* parent = nullptr);
  AviToYuvJob& aviJob() { return job(); }

  void BrowseSource() override;
  // Opens the AVI and shows the information box.
  void ChooseSource(const QString& path) override;
  bool StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) override;
  // An AVI of the history opens as if picked with Browse.
  bool ReplayFromHistory(const QString& path) override;

 protected:
  bool SourceIsPictureList() const override { return false; }
};

// "Convert YUV to AVI": a raw file or BMP pictures encoded with the codec chosen
// in the list.
class CYUV2AVI : public ToolDialogOf<YuvToAviJob> {
  Q_OBJECT

 public:
  explicit CYUV2AVI(QWidget* parent = nullptr);

  void BrowseSource();
  void ChooseSource(const QString& path);
  void BrowseTarget();
  bool StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) override;

 protected:
  bool ReadToolBoxes() override;

 private:
  QListWidget* codecs_ = nullptr;
  bool codecFromRequest_ = false;  // a command-line job keeps the code of -v
};

}  // namespace vx
