// SPDX-License-Identifier: MIT
// The loops over every cell (decoding, classifying, tallying a flood) are compiled twice: for
// processors with AVX2 and for the baseline the package is built for. The processor picks one
// when the program starts. AVX2 doubles the lanes and has the 32-bit minimum, maximum and widening
// that the baseline lacks; the results are the same bit for bit, as these loops do integer work
// only (no fused multiply-add is enabled with it).
#pragma once

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && defined(__linux__)
#define KOV_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KOV_VECTOR_CLONES
#endif
