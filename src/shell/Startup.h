#pragma once

#include <string>
#include <vector>

#include "model/CommandLine.h"
#include "model/Settings.h"

namespace vx {

// Exit code of a job that was accepted but failed.
inline constexpr int kExitJobFailed = 8;

// The start-up steps that need no window: the history file, the settings file,
// then the command line when there are arguments. Returns 0 when the program goes on, otherwise
// the exit code of a refused command line (nothing must be saved then).
int PrepareStartup(const std::vector<std::string>& args, ProgramSettings& settings,
                   CommandLineRequest& request);

// The shutdown steps: the settings file, then the history file.
void SaveAtShutdown(const ProgramSettings& settings);

// True when a desktop session is reachable (DISPLAY or WAYLAND_DISPLAY is set).
bool HaveDisplay();

// Whether the arguments ask for an action that reads or writes AVI files (the
// only ones that need the codec library).
bool NeedsCodecs(const std::vector<std::string>& args);

// Runs the job of an accepted command line without windows; returns 0 when it
// ran to its end, 8 when it failed.
int RunHeadlessJob(const CommandLineRequest& request, const ProgramSettings& settings);

// Runs the program without windows: messages and the usage text go to stderr and
// the process ends with the job. Returns the exit code: 0 done, 1..7 for a refused
// command line, 8 for a job that failed.
int RunHeadless(const std::vector<std::string>& args);

}  // namespace vx
