// The command-line parser on any argument list (arguments separated by zero
// bytes): it accepts or refuses with a code from 1 to 7, never more.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "model/CommandLine.h"
#include "model/Settings.h"
#include "shell/ToolTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vx::fuzz::InstallQuietSink();
  std::vector<std::string> args = {"velutrix"};
  std::string current;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  args.push_back(current);
  vx::CommandLineRequest request;
  vx::ProgramSettings settings;
  const int code = vx::ParseCommandLine(args, vx::CommandLineActions(), request, settings);
  if (code < 0 || code > 7) std::abort();
  return 0;
}
