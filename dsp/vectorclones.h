// RAVELIN_VECTOR_CLONES, put before a function with vectorisable loops, adds
// an AVX2 version beside the baseline one, chosen once by the CPU at load
// time (x86-64 ELF with GCC or clang; elsewhere it expands to nothing). AVX2
// brings no FMA contraction, so both versions give the same values, bit for bit.
// Not under ThreadSanitizer: the load-time chooser would run instrumented
// before the sanitizer's runtime is up.
#pragma once

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define RAVELIN_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define RAVELIN_THREAD_SANITIZER 1
#endif

#if defined(__x86_64__) && defined(__ELF__) && (defined(__GNUC__) || defined(__clang__)) &&                  \
    !defined(RAVELIN_THREAD_SANITIZER)
#define RAVELIN_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define RAVELIN_VECTOR_CLONES
#endif
