#include <cstdio>
#include <string>
#include <vector>

#include "shell/ProgramInfo.h"
#include "shell/Startup.h"
#include "shell/desktop/DesktopApp.h"
#include "shell/desktop/VersionText.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  if (vx::AsksForHelp(args)) return vx::PrintHelp(args[0]);
  if (vx::AsksForVersion(args)) {
    std::fputs(vx::VersionText().c_str(), stdout);
    return 0;
  }
  if (!vx::HaveDisplay()) return vx::RunHeadless(args);
  return vx::RunDesktop(args);
}
