#pragma once

// Vector code is built for x86-64 when QV_SIMD is on (the default); any other target, and a
// build with it off, runs the portable code, which the tests run too.
#if defined(QV_SIMD) && QV_SIMD && defined(__x86_64__)
#define QV_HAVE_X86_SIMD 1
#else
#define QV_HAVE_X86_SIMD 0
#endif
