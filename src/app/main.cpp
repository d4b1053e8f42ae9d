#include <string>
#include <vector>

#include "app/DesktopApp.h"
#include "app/Startup.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  if (!vx::HaveDisplay()) return vx::RunHeadless(args);
  return vx::RunDesktop(args);
}
