// Prints the row-kernel path the program picks on this machine (bench/speed_vs_libyuv
// prints it with its table).
#include <cstdio>

#include "platform/CpuFlags.h"

int main() {
  std::puts(vx::TestCpuFlag(vx::kCpuHasAvx2) ? "AVX2" : "portable");
  return 0;
}
