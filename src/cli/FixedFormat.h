// SPDX-License-Identifier: MIT
// Fast fixed-point number output with exactly the digits of printf("%.10f").
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace kov::cli {

// Longest text formatFixed10 writes in its fast path is 1 + 10 + 1 + 10 characters; the
// printf fallback is bounded by this size too (values up to 1e300 have 301 integer digits).
inline constexpr int kFixed10MaxChars = 330;

// Writes value as printf("%.10f") would (correctly rounded, ties to even, "-" for any negative
// value including -0) to p, which must have room for kFixed10MaxChars characters. Returns the
// end of the text (no terminating NUL is written).
inline char* formatFixed10(char* p, double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const bool negative = (bits >> 63) != 0;
    const int biasedExponent = static_cast<int>((bits >> 52) & 0x7ff);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);

    // Fast path for |value| < 2^30: value = mant·2^-shift exactly, so value·10^10 is the exact
    // integer mant·10^10 (< 2^87) shifted right, rounded half to even on the exact remainder.
    if (biasedExponent < 1023 + 30) {
        const std::uint64_t mant =
            biasedExponent == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
        const int shift = biasedExponent == 0 ? 1074 : 1075 - biasedExponent;  // ≥ 23
        std::uint64_t scaled = 0;  // round(value · 10^10) < 2^30 · 10^10 < 2^64
        if (shift < 88) {
            const unsigned __int128 n = static_cast<unsigned __int128>(mant) * 10000000000ull;
            const unsigned __int128 q = n >> shift;
            const unsigned __int128 rem = n - (q << shift);
            const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
            scaled = static_cast<std::uint64_t>(q);
            if (rem > half || (rem == half && (scaled & 1))) ++scaled;
        }  // else value·10^10 < 2^87 / 2^88 = 0.5: rounds to 0
        if (negative) *p++ = '-';
        std::uint64_t whole = scaled / 10000000000ull;
        std::uint64_t frac = scaled % 10000000000ull;
        char digits[20];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + whole % 10);
            whole /= 10;
        } while (whole != 0);
        while (n > 0)
            *p++ = digits[--n];
        *p++ = '.';
        for (int i = 9; i >= 0; --i) {
            p[i] = static_cast<char>('0' + frac % 10);
            frac /= 10;
        }
        return p + 10;
    }
    // Large values, infinities and NaN: rare, leave them to printf.
    const int written = std::snprintf(p, kFixed10MaxChars, "%.10f", value);
    return p + (written < 0 ? 0 : written < kFixed10MaxChars ? written : kFixed10MaxChars - 1);
}

}  // namespace kov::cli
