#pragma once

// The command-line actions: for each, its name, the window that runs it on a
// desktop, and the job that runs without one. The headless program and the
// desktop hand-over both read this table, so a new action is one row.

#include <span>
#include <string_view>

#include "model/CommandLine.h"
#include "model/Settings.h"
#include "shell/Commands.h"

namespace vx {

struct ActionRow {
  CommandLineAction action;
  std::string_view name;    // after -a
  Command window;           // the tool window that runs it on a desktop
  const char* windowTitle;  // the window's title when the command line opens it
  const char* unavailable;  // shown when the tool cannot be made
  // Runs the job without windows and returns the exit code; nullptr while the
  // tool is not built.
  int (*runHeadless)(const CommandLineRequest& request, const ProgramSettings& settings);
};

std::span<const ActionRow> ActionTable();
// The names after -a, for the command-line parser.
std::span<const ActionName> ActionNames();
const ActionRow* FindAction(int32_t action);
const ActionRow* FindAction(std::string_view name);

// "Error VLTX1017:  Command line action not recognized!"
extern const char* const kActionNotRecognized;

}  // namespace vx
