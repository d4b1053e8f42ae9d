#pragma once

// Row kernels are compiled twice, for AVX2 and for any x86-64, and the loader
// picks one. VELUTRIX_NO_CLONES keeps only the portable version (the sanitizer
// builds use it, so the portable paths are tested too).
#if defined(VELUTRIX_NO_CLONES) || !defined(__x86_64__)
#define VX_TARGET_CLONES
#else
#define VX_TARGET_CLONES __attribute__((target_clones("avx2", "default")))
#endif
