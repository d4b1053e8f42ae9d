#pragma once

// The tool table: one row per tool holds all the program knows of it outside
// its own files: its menu entry and toolbar tile, its window's title, its
// command-line action (name, checks, usage lines) and the job it runs without a
// window. The menus, the toolbar, the parser's actions and the usage text are
// views of it. Beside its row, a tool has one window-factory line keyed by its
// row's key in shell/desktop/ToolRegistry.cpp (the part that needs Qt).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "model/CommandLine.h"
#include "model/Settings.h"
#include "shell/Commands.h"

namespace vx {

// The menus holding tools, in menu-bar order; each gives its tools' toolbar tile.
enum class ToolMenu : uint8_t { Player, Converter, Analyzer, Editor, Avi };

struct ToolMenuEntry {
  ToolMenu menu;
  const char* text;  // nullptr: no menu entry nor toolbar tile (a command-line action only)
  const char* shortcut;
  const char* prompt;            // status-bar prompt
  const char* tip = nullptr;     // toolbar tooltip; nullptr: the prompt
  const char* symbol = nullptr;  // toolbar icon
};

// Runs the job without windows; returns the exit code.
using HeadlessRunner = int (*)(const CommandLineRequest& request, const ProgramSettings& settings);

struct ToolRow {
  const char* key;              // names the tool to the desktop's window factories and to tests
  Command id;                   // its menu command
  bool replaysHistory = false;  // the File Manager replays records in this tool's window
  ToolMenuEntry entry;
  const char* windowTitle;  // as the menu opens it
  // The tool's -a action; a tool without one has an empty name.
  CommandLineAction action{};
  const char* commandLineTitle = nullptr;  // when the command line opens it; nullptr: windowTitle
  const char* unavailable = nullptr;       // shown when the window cannot be made
  HeadlessRunner runHeadless = nullptr;
  bool needsCodecs = false;  // reads or writes AVI files (the full program's)
};

// The tools in menu order.
std::span<const ToolRow> ToolTable();
const ToolRow* FindTool(Command id);
const ToolRow* FindTool(std::string_view key);
// The menu command of the tool with this key; Command{} when there is none.
Command ToolId(std::string_view key);
// The tool of an -a action (by the request's Action, or by name); nullptr: none.
const ToolRow* FindAction(int32_t action);
const ToolRow* FindAction(std::string_view name);
// The actions after -a, for the command-line parser.
std::span<const CommandLineAction> CommandLineActions();

// The program's usage text, and showing it through the message sink.
std::string UsageText(std::string_view programName);
void ShowUsage(std::string_view programName);

// "Error VLTX1017:  Command line action not recognized!"
extern const char* const kActionNotRecognized;

}  // namespace vx
