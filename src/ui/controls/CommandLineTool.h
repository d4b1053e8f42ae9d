#pragma once

#include <QWidget>

#include "model/CommandLine.h"

namespace vx {

// A tool window that the command line can start: it takes its files and layouts
// from the request and the current format, and presses its own Start. With
// "-e exit" it closes `mainWindow` when the job has run to its end.
class CommandLineTool {
 public:
  virtual ~CommandLineTool() = default;
  virtual bool StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) = 0;
};

// A tool window that replays a file of the history with the current layout,
// without adding it to the history again.
class HistoryReplayer {
 public:
  virtual ~HistoryReplayer() = default;
  virtual bool ReplayFromHistory(const QString& path) = 0;
};

}  // namespace vx
