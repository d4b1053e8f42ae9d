#pragma once

// The CPU features the row kernels may use. They are read from the processor
// once; a mask can hide some of them, so that one binary can run and test every
// kernel path (the portable one on an AVX2 machine too).

namespace vx {

enum CpuFlag : int {
  kCpuHasAvx2 = 1 << 0,
};

// True when the processor has `flag` and the mask in force keeps it.
bool TestCpuFlag(int flag);

// Keeps only the features in `mask` (-1: everything the processor has, the
// default; 0: the portable paths alone). Returns the flags now in force.
// Meant for tests and benchmarks; a kernel picks its path when a row loop starts,
// so a change reaches loops that start after it.
int MaskCpuFlags(int mask);

}  // namespace vx
