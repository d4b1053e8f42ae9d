#include <string>
#include <vector>

#include "shell/Startup.h"
#include "shell/desktop/DesktopApp.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  if (!vx::HaveDisplay()) return vx::RunHeadless(args);
  return vx::RunDesktop(args);
}
