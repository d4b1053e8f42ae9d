#include "ui/controls/RawFilePicker.h"

#include "model/Settings.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/FormatDialog.h"

namespace vx {

// The first entry shows every file of the two lists, so no clip is hidden at first.
const QString kRawFileFilters = QStringLiteral(
    "All raw video(*.yuv *.rgb *.uyvy *.uynv *.y422 *.iuyv *.yuy2 *.v422 *.yuyv *.yvyu *.iyu2 *.yv16 *.yv12 "
    "*.iyuv *.i420);;Raw Video(*.yuv *.rgb);;FOURCC format(*.uyvy *.uynv *.y422 *.iuyv *.yuy2 *.uynv *.v422 "
    "*.yuyv *.yvyu "
    "*.iyu2 *.yv16 *.yv12 *.iyuv *.i420);;All Files(*)");

std::optional<RawFileChoice> AskRawFormat(QWidget* parent, const QString& path,
                                          const RawPickOptions& options) {
  CYuvFrmtDlg dialog(parent, options.preset.value_or(CurrentSettings().Format));
  dialog.SetFile(path);
  dialog.SetRefuseMono(options.refuseMono);
  dialog.SetLeaveOutBmp(options.leaveOutBmp);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return RawFileChoice{path, dialog.format(), dialog.frameCount()};
}

std::optional<RawFileChoice> PickRawFile(QWidget* parent, const RawPickOptions& options) {
  const QString path = AskOpenFileName(parent, options.caption, QString(), options.filters);
  if (path.isEmpty()) return std::nullopt;
  if (options.picked) options.picked(path);
  return AskRawFormat(parent, path, options);
}

}  // namespace vx
