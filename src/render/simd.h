#pragma once

// Whether the hand-written SSE2 paths are compiled. Every such path has a portable fallback
// that gives the same results; defining VORTANA_NO_SIMD (the CMake option VORTANA_PORTABLE)
// builds the fallbacks on x86-64 too, so that they are compiled and tested there.
#if defined(__SSE2__) && !defined(VORTANA_NO_SIMD)
#define VORTANA_SSE2 1
#include <emmintrin.h>
#else
#define VORTANA_SSE2 0
#endif
