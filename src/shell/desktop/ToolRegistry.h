#pragma once

#include "model/CommandLine.h"

namespace vx {

class CMainFrame;

// Makes the built tools available in the main window's menu and toolbar.
void RegisterTools(CMainFrame& frame);

// Opens the tool of a command-line action and starts it. False when the action's
// tool is not available or the job cannot start.
bool StartCommandLineTool(CMainFrame& frame, const CommandLineRequest& request);

}  // namespace vx
