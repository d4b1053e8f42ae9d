#include "shell/ProgramInfo.h"

#include <cstdio>

#include "shell/ProgramVersion.h"
#include "shell/ToolTable.h"

namespace vx {
namespace {

bool AsksFor(const std::vector<std::string>& args, std::string_view option) {
  return args.size() == 2 && args[1] == option;
}

constexpr const char* kManHead =
    ".TH VELUTRIX 1 \"\" \"Velutrix %s\" \"User Commands\"\n"
    ".SH NAME\n"
    "velutrix \\- toolbox for raw, headerless video files\n"
    ".SH SYNOPSIS\n"
    ".B velutrix\n"
    ".RI [ file \" ...]\"\n"
    ".br\n"
    ".B velutrix \\-a\n"
    ".I action\n"
    ".B \\-n\n"
    ".I input\n"
    ".RI [ options ]\n"
    ".br\n"
    ".B velutrix\n"
    ".BR \\-\\-help \" | \" \\-\\-version\n"
    ".SH DESCRIPTION\n"
    "Velutrix plays, converts, crops, flips, joins, pads, splits and merges raw video files\n"
    "(YUV 4:4:4, 4:2:2 and 4:2:0, packed, planar and semi-planar, RGB, mono and BMP picture\n"
    "sequences), measures PSNR and SSIM, and shows differences.\n"
    ".PP\n"
    "Without arguments it opens its desktop window.\n"
    "Files named without options open in the player, which guesses each file's layout from its name.\n"
    "With an action, the job runs as the options below describe; without a display\n"
    "(neither DISPLAY nor WAYLAND_DISPLAY is set) it runs in the terminal, without windows.\n"
    ".SH OPTIONS\n"
    ".TP\n"
    ".B \\-\\-help\n"
    "Prints the usage text below and exits.\n"
    ".TP\n"
    ".B \\-\\-version\n"
    "Prints the version, the commit the program was built from, and the versions of Qt and FFmpeg.\n"
    ".PP\n"
    ".nf\n";

constexpr const char* kManTail =
    ".fi\n"
    ".SH EXIT STATUS\n"
    ".TP\n"
    ".B 0\n"
    "The job ran to its end.\n"
    ".TP\n"
    ".B 1 \\(en 7\n"
    "The command line was refused; the code names the option at fault.\n"
    ".TP\n"
    ".B 8\n"
    "The command line was accepted but the job failed.\n"
    ".SH SEE ALSO\n"
    "The user manual, from the desktop window's Help menu.\n";

}  // namespace

bool AsksForHelp(const std::vector<std::string>& args) {
  return AsksFor(args, "--help");
}

bool AsksForVersion(const std::vector<std::string>& args) {
  return AsksFor(args, "--version");
}

int PrintHelp(std::string_view programName) {
  const std::string text = UsageText(programName);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  return 0;
}

std::vector<std::string> FilesToOpen(const std::vector<std::string>& args) {
  if (args.size() < 2) return {};
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i].empty() || args[i].front() == '-') return {};
  }
  return {args.begin() + 1, args.end()};
}

std::string TroffLiteral(std::string_view text) {
  std::string out;
  bool lineStart = true;
  for (const char c : text) {
    if (lineStart && (c == '.' || c == '\'')) out += "\\&";
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
    lineStart = c == '\n';
  }
  return out;
}

std::string ManPage() {
  char head[4096];
  std::snprintf(head, sizeof head, kManHead, kProgramVersion);
  std::string page = head;
  page += TroffLiteral(UsageText("velutrix"));
  if (page.back() != '\n') page += '\n';
  return page + kManTail;
}

}  // namespace vx
