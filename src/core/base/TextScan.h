// SPDX-License-Identifier: MIT
// Small text scanning helpers shared by the file readers.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace kov {

// Calls onLine for every line of text without its LF or CR LF terminator. A line longer than
// maxLength characters is handed over in pieces of maxLength, as a fixed line buffer reads it.
template <typename OnLine>
void forEachLine(std::string_view text, size_t maxLength, OnLine onLine) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* newline = static_cast<const char*>(std::memchr(p, '\n', end - p));
        const char* lineEnd = newline ? newline : end;
        const char* contentEnd = lineEnd;
        if (newline && contentEnd > p && contentEnd[-1] == '\r') --contentEnd;
        std::string_view line(p, static_cast<size_t>(contentEnd - p));
        while (line.size() > maxLength) {
            onLine(line.substr(0, maxLength));
            line.remove_prefix(maxLength);
        }
        onLine(line);
        p = newline ? newline + 1 : end;
    }
}

// Decimal text to integer as the C library reads it: leading blanks skipped, optional sign,
// digits up to the first other character; no digits give 0; out-of-range values saturate.
int parseLeadingInt(std::string_view text);
// Decimal text to double: leading blanks, optional sign, digits with an optional fraction and
// exponent; conversion stops at the first character that does not fit; no digits give 0.
// Unlike strtod it ignores the locale and never reads "inf", "nan" or hexadecimal forms.
double parseLeadingDouble(std::string_view text);

}  // namespace kov
