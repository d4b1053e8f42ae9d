#pragma once

#include <QLineEdit>
#include <QPoint>
#include <QPushButton>
#include <QStringList>
#include <QWidget>
#include <functional>

class QMimeData;

namespace vx {

// The local files a drag carries; empty when it carries anything else as well
// (a web address, text alone, a folder), which no window takes.
QStringList DroppedLocalFiles(const QMimeData* data);

// Makes `target` take drops of local files where `takesAt` (a point of the
// target) says so, and hand them to `open` once the drop is over (a dialog it
// opens does not hold up the drag's source). Anything else is refused, without
// a word: a drag may only be passing over.
void AcceptFileDrops(QWidget* target, std::function<bool(QPoint at)> takesAt,
                     std::function<void(const QStringList& files, QPoint at)> open);

// A drop at a point of `target` as a click on the Browse button `browseAt`
// returns for it (nullptr: refused there), with the dropped files answering the
// picker that click opens: the file goes through the same format dialog and the
// same refusals as a browsed one. A disabled button refuses drops.
void AcceptFileDropsAsBrowse(QWidget* target, std::function<QPushButton*(QPoint at)> browseAt);

// A path box next to its Browse button takes the files dropped on it as Browse does.
void AcceptFileDropsAsBrowse(QLineEdit* box, QPushButton* browse);

}  // namespace vx
