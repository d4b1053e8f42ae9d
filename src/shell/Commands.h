#pragma once

namespace vx {

// Command ids of the menu and toolbar entries.
enum class Command {
  Open = 57601,
  History = 32843,
  Exit = 57665,
  Convert = 32796,
  Join = 32811,
  Crop = 32813,
  Flip = 32817,
  Padding = 32836,
  Merge = 32847,
  Separate = 32848,
  Psnr = 32791,
  Compare = 32804,
  Overlay = 32815,
  Motion = 32868,
  Edit = 32816,
  Composition = 32842,
  AviToYuv = 32860,
  YuvToAvi = 32858,
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
