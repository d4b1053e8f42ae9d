// Writes the manual page velutrix(1) to the file named by its argument: the build
// makes the installed page with it, from the same usage text the program prints.
#include <cstdio>
#include <fstream>

#include "shell/ProgramInfo.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s output.1\n", argv[0]);
    return 1;
  }
  std::ofstream out(argv[1], std::ios::binary);
  out << vx::ManPage();
  return out.good() ? 0 : 1;
}
