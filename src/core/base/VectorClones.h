// SPDX-License-Identifier: MIT
// The loops over every cell (decoding, classifying, tallying a flood) are compiled twice: for
// processors with AVX2 and for the baseline the package is built for. The processor picks one
// when the program starts. AVX2 doubles the lanes and has the 32-bit minimum, maximum and widening
// that the baseline lacks; the results are the same bit for bit, as these loops do integer work
// only (no fused multiply-add is enabled with it).
#pragma once

// ThreadSanitizer's runtime is not up yet when the processor's version is picked, so a build for
// it keeps one version.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KOV_THREAD_SANITIZER 1
#endif
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && defined(__linux__) && \
    !defined(__SANITIZE_THREAD__) && !defined(KOV_THREAD_SANITIZER)
#define KOV_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KOV_VECTOR_CLONES
#endif
