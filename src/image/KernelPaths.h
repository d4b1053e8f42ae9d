#pragma once

// A row kernel compiled once per path: for any x86-64 and, on x86-64, again for
// AVX2. The path is chosen at run time from the CPU flags in force (a test lowers
// them with MaskCpuFlags), once before a row loop, never per pixel:
//
//   [[gnu::always_inline]] inline void HalvePairsBody(...) { ... }
//   const auto halve = KernelPaths<HalvePairsBody>::Pick();
//   for (rows) halve(...);
//
// Each variant inlines the whole body (flatten), templates included, so all of
// it is compiled for the variant's instruction set.

#include <type_traits>

#include "platform/CpuFlags.h"

namespace vx {

template <auto kBody, typename Signature = std::remove_pointer_t<decltype(kBody)>>
struct KernelPaths;

template <auto kBody, typename Result, typename... Args>
struct KernelPaths<kBody, Result(Args...)> {
  using Function = Result (*)(Args...);

  [[gnu::flatten]] static Result Portable(Args... args) { return kBody(args...); }
#if defined(__x86_64__)
  [[gnu::flatten, gnu::target("avx2")]] static Result Avx2(Args... args) {
    return kBody(args...);
  }
#endif

  // The fastest path the CPU flags in force allow.
  static Function Pick() {
#if defined(__x86_64__)
    if (TestCpuFlag(kCpuHasAvx2)) return Avx2;
#endif
    return Portable;
  }
};

// The path of one of two bodies (typically one template for two byte orders).
template <auto kIfTrue, auto kIfFalse>
auto PickKernel(bool condition) {
  return condition ? KernelPaths<kIfTrue>::Pick() : KernelPaths<kIfFalse>::Pick();
}

}  // namespace vx
