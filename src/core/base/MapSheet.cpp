// SPDX-License-Identifier: MIT
#include "core/base/MapSheet.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace kov {

namespace {

long long floorDiv(long long a, long long b) {
    long long q = a / b;
    if (a % b != 0 && a < 0) --q;
    return q;
}

long long positiveMod(long long a, long long b) {
    long long m = a % b;
    return m < 0 ? m + b : m;
}

// The character `base` + offset; offsets outside the alphabet make the code invalid.
char letter(char base, long long offset, bool& valid) {
    const long long c = base + offset;
    if (c < 'A' || c > 'Z') valid = false;
    if (c < 0x21 || c > 0x7E) return '?';
    return static_cast<char>(c);
}

}  // namespace

std::string sheetCodeOfPoint(int zone, long long x, long long y, bool* valid) {
    // Far beyond any plane rectangular coordinate; keeps the arithmetic below from overflowing.
    constexpr long long kLimit = 1000000000000000LL;
    x = std::clamp(x, -kLimit, kLimit);
    y = std::clamp(y, -kLimit, kLimit);

    bool ok = true;
    char zoneText[16];
    std::snprintf(zoneText, sizeof zoneText, "%02d", zone);
    std::string code = zoneText;

    // Row of 30 km, counted southward from the row whose north edge is 300 km. The north edge of
    // the sheet, in whole kilometres, decides it.
    const long long sheetY = floorDiv(y, kSheetHeight) * kSheetHeight;
    const long long north = sheetY + kSheetHeight;
    const long long northKm = (north < 0 ? -1 : 1) * ((std::llabs(north) + 500) / 1000);
    const long long row = (300 - northKm) / 30;
    if (northKm >= 301) {
        code += 'A';
        code += letter('Z', row, ok);
    } else if (row >= 26) {
        code += 'Z';
        code += letter('A', row - 26, ok);
    } else {
        code += letter('A', row, ok);
    }

    // Column of 40 km, counted eastward from the column whose west edge is -160 km.
    const long long sheetX = floorDiv(x, kSheetWidth) * kSheetWidth;
    code += letter('A', (sheetX / 1000 + 160) / 40, ok);

    code += static_cast<char>('9' - positiveMod(sheetY, 30000) / 3000);
    code += static_cast<char>('0' + positiveMod(sheetX, 40000) / 4000);

    const bool northHalf = sheetY % 3000 != 0;
    const bool westHalf = sheetX % 4000 == 0;
    code += northHalf ? (westHalf ? '1' : '2') : (westHalf ? '3' : '4');

    if (valid) *valid = ok;
    return code;
}

std::optional<SheetRect> sheetRectOfCode(std::string_view code) {
    constexpr long long kRowHeight = 30000;
    constexpr long long kColumnWidth = 40000;
    auto digit = [&code](size_t i) { return i < code.size() && code[i] >= '0' && code[i] <= '9'; };
    auto at = [&code](size_t i) { return i < code.size() ? code[i] : '\0'; };

    if (!digit(0) || !digit(1)) return std::nullopt;
    SheetRect rect;
    rect.zone = (code[0] - '0') * 10 + (code[1] - '0');
    if (rect.zone > 19) return std::nullopt;

    size_t pos = 2;
    long long north = 0;
    const char row = at(pos);
    const char second = at(pos + 1);
    if (row == 'A' && second >= 'X' && second <= 'Z') {
        north = 300000 + ('Z' - second + 1) * kRowHeight;
        pos += 2;
    } else if (row == 'Z' && second >= 'A' && second <= 'E' && at(pos + 2) >= 'A' &&
               at(pos + 2) <= 'Z') {
        north = -480000 - (second - 'A') * kRowHeight;
        pos += 2;
    } else if (row >= 'A' && row <= 'Z') {
        north = ('K' - row) * kRowHeight;
        pos += 1;
    } else {
        return std::nullopt;
    }

    const char column = at(pos);
    if (column < 'A' || column > 'H') return std::nullopt;
    long long west = (column - 'E') * kColumnWidth;
    if (!digit(pos + 1) || !digit(pos + 2)) return std::nullopt;
    north -= (code[pos + 1] - '0') * 3000;
    west += (code[pos + 2] - '0') * 4000;
    pos += 3;

    // Scale 1:5000 is 4000 m x 3000 m; a quarter (1:2500) is half of that each way.
    long long width = 4000;
    long long height = 3000;
    if (pos < code.size()) {
        const char quarter = code[pos];
        if (quarter < '1' || quarter > '4' || pos + 1 != code.size()) return std::nullopt;
        width = 2000;
        height = 1500;
        if (quarter == '2' || quarter == '4') west += width;
        if (quarter == '3' || quarter == '4') north -= height;
    }
    rect.xmin = west;
    rect.ymin = north - height;
    rect.xmax = west + width;
    rect.ymax = north;
    return rect;
}

}  // namespace kov
