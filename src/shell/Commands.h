#pragma once

#include <cstdint>

namespace vx {

// Command ids of the menu and toolbar entries that are not tools. A tool's id is
// in its row of the tool table (shell/ToolTable.cpp), found by its key.
enum class Command : int32_t {
  History = 32843,
  Exit = 57665,
  Toolbar = 59392,
  StatusBar = 59393,
  Grid = 32829,
  Formula = 32834,
  HelpContents = 57667,
  CommandLine = 32833,
  About = 57664,
  ContextHelp = 57669,
};

}  // namespace vx
