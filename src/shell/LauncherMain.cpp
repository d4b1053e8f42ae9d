// The program as it is started: without a display, every action but the AVI ones
// runs right here, in a process that loads neither the window toolkit nor the
// codec library (a fast start and a small footprint for batch jobs). The desktop
// and the AVI actions are the full program's, started in this process's place.
// `--version` is the full program's too: it reports the Qt and FFmpeg it loads.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "shell/ProgramInfo.h"
#include "shell/Startup.h"

namespace {

// The full program: beside this one in a build folder, in
// <prefix>/libexec/velutrix/ when installed (this program in <prefix>/bin/).
std::string FullProgramPath() {
  char self[PATH_MAX] = {};
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  std::string path = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string("velutrix");
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string beside = folder + "velutrix-full";
  const std::string installed = folder + VELUTRIX_FULL_FROM_BIN "/velutrix-full";
  if (::access(beside.c_str(), X_OK) != 0 && ::access(installed.c_str(), X_OK) == 0) return installed;
  return beside;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  if (vx::AsksForHelp(args)) return vx::PrintHelp(args[0]);
  if (!vx::AsksForVersion(args) && !vx::HaveDisplay() && !vx::NeedsCodecs(args)) return vx::RunHeadless(args);
  const std::string full = FullProgramPath();
  ::execv(full.c_str(), argv);
  std::fprintf(stderr, "Error VLTX1027: The program's desktop and AVI part %s cannot be started: %s\n",
               full.c_str(), std::strerror(errno));
  return 8;
}
