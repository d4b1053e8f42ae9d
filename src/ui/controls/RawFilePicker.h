#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "image/ImageFormat.h"

namespace vx {

// The open picker's filters for raw video files.
extern const QString kRawFileFilters;

struct RawFileChoice {
  QString path;
  ImageFormat format;
  int64_t frameCount = 0;
};

struct RawPickOptions {
  QString caption = QStringLiteral("Load original file");
  QString filters = kRawFileFilters;
  bool refuseMono = true;
  bool leaveOutBmp = true;
  // The layout the format dialog starts from; the current format when not given.
  std::optional<ImageFormat> preset{};
  // Runs between the picker and the format dialog (a tool that names its target
  // before the layout is asked).
  std::function<void(const QString& path)> picked{};
};

// How every tool picks a raw source: the open picker, then the format dialog for
// the chosen file. nullopt when either is cancelled.
std::optional<RawFileChoice> PickRawFile(QWidget* parent, const RawPickOptions& options = {});

// The format dialog alone, for a file already chosen.
std::optional<RawFileChoice> AskRawFormat(QWidget* parent, const QString& path,
                                          const RawPickOptions& options);

}  // namespace vx
