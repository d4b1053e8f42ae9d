#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <optional>

#include "display/FormatPreview.h"
#include "image/ImageFormat.h"

namespace vx {

// "Customized Resolution": a free width and height, checked for the sampling and
// field format in force.
class CCustomizedResolution : public QDialog {
  Q_OBJECT

 public:
  CCustomizedResolution(int32_t width, int32_t height, int32_t sampling, int32_t field,
                        QWidget* parent = nullptr);
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  void accept() override;

 private:
  QLineEdit* widthEdit_;
  QLineEdit* heightEdit_;
  int32_t width_, height_, sampling_, field_;
};

// The file-open dialog of the tools: any number of files.
class CFECFileDialog {
 public:
  static QStringList GetOpenFileNames(QWidget* parent, const QString& caption, const QString& filter);
};

class FormatPreviewPanels;

// "Format Settings": how to read a raw file, with a preview of its first frame.
// Confirming makes the chosen layout the program's current format.
class CYuvFrmtDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CYuvFrmtDlg(QWidget* parent = nullptr);
  // The layout the lists start from (by default the program's current format).
  CYuvFrmtDlg(QWidget* parent, const ImageFormat& preset);

  // The file to preview; its name may also select the layout. Call before exec().
  void SetFile(const QString& path);
  // A file about to be written: its name titles the dialog and selects the layout,
  // but nothing is read (it may not exist yet).
  void SetTargetName(const QString& path);
  void SetRefuseMono(bool refuse) { refuseMono_ = refuse; }
  void SetLeaveOutBmp(bool leaveOut) { leaveOutBmp_ = leaveOut; }
  // Fills the lists (exec() does it too).
  void Prepare();

  const ImageFormat& format() const { return format_; }
  int64_t frameCount() const { return preview_.FrameCount(); }

  const std::vector<DiagramBox>& diagram() const { return diagram_; }

  int exec() override;
  void accept() override;

 private:
  void BuildLists();
  void SyncLists();
  void FillOrderList();
  void OnSampling(int index);
  void OnField(int index);
  void OnPacking(int index);
  void OnOrder(int index);
  void OnFourcc(int index);
  void OnResolution(int index);
  void OnBits(int index);
  void Apply(const FormatChoice& choice);
  void RefreshPreview();
  void SetCustomEntry();

  ImageFormat format_;
  QString path_;
  bool readFile_ = true;
  bool refuseMono_ = false;
  bool leaveOutBmp_ = false;
  bool prepared_ = false;
  bool syncing_ = false;
  QComboBox *sampling_, *resolution_, *field_, *packing_, *order_, *fourcc_, *bits_;
  QLabel* summary_;
  FormatPreviewPanels* panels_;
  FormatPreview preview_;
  std::vector<DiagramBox> diagram_;
};

}  // namespace vx
