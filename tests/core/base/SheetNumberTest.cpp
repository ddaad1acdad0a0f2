// SPDX-License-Identifier: MIT
// Sheet codes and number texts.
#include <gtest/gtest.h>

#include "core/base/MapSheet.h"
#include "core/base/NumberFormat.h"

namespace kov {
namespace {

TEST(SheetCode, PointsGiveTheirSheetsCode) {
    const struct {
        int zone;
        long long x, y;
        const char* code;
        bool valid;
    } cases[] = {
        // Sheet x -6000..-4000, y -36000..-34500: row L (-60..-30 km), column D (-40..0 km),
        // 3 km row 1 from the north, 4 km column 8 from the west, south-east quarter.
        {9, -5000, -35000, "09LD184", true},
        {9, -6000, -36000, "09LD184", true},  // the west and south edges belong to the sheet
        {19, -5000, -34500, "19LD182", true},
        // Quarters north-west, north-east, south-west, south-east; columns split at 0 / -1.
        {9, 0, 1500, "09JE901", true},
        {9, 1999, 0, "09JE903", true},
        {9, 2000, 0, "09JE904", true},
        {9, -2000, -1, "09KD092", true},
        // Two-letter rows north of A: the row count truncates to 0 ("AZ") up to a 329 km north
        // edge; 331.5 km rounds to 332 ("AY"); far north the second letter leaves the alphabet.
        {9, 0, 299999, "09AE001", true},
        {9, 0, 300000, "09AZE903", true},
        {9, 0, 330000, "09AYE903", true},
        // South of Z: a -478.5 km north edge rounds half away from zero to -479, still Z.
        {9, 0, -480000, "09ZE903", true},
        {9, 0, -480001, "09ZAE001", true},
        // Columns: west of -160 km the count truncates toward zero, "A" down to -198 km.
        {9, -160001, 0, "09JA994", true},
        {9, -200000, 0, "09J@903", false},
        {9, 879999, 0, "09JZ994", true},
        {9, -100000000, 0, "09J?903", false},  // no printable letter: still full length
    };
    for (const auto& c : cases) {
        bool valid = !c.valid;
        EXPECT_EQ(sheetCodeOfPoint(c.zone, c.x, c.y, &valid), c.code) << c.x << " " << c.y;
        EXPECT_EQ(valid, c.valid) << c.code;
    }
    EXPECT_EQ(sheetCodeOfPoint(9, 880000, 0, nullptr), "09J[903");
}

TEST(NumberFormat, Examples) {
    const struct {
        std::string (*format)(double, int);
        double value;
        int decimals;
        const char* text;
    } cases[] = {
        {formatGrouped, 1234.5, 1, "1,234.5"},
        {formatGrouped, -123456, 0, "-123,456"},  // no separator after the sign
        {formatGrouped, 999.96, 1, "1,000.0"},    // rounding carries into a new group
        {formatGrouped, -99999.5, 0, "-100,000"},
        {formatGrouped, 2e15, 1, "2.000000000000000e+15"},  // beyond 1e15: exponent form
        {formatDms, 139.0 + 50.0 / 60.0 + 7.25 / 3600.0, 2, "139:50:07.25"},
        {formatDms, 139.99999999, 1, "140:00:00.0"},  // seconds that round to 60 carry
        {formatDms, -35.0 - 59.0 / 60.0 - 59.99 / 3600.0, 1, "-36:00:00.0"},
        {formatDms, 35.0 + 10.0 / 60.0 + 59.97 / 3600.0, 2, "35:10:59.97"},
        {formatShort, 12.50, 2, "12.5"},  // trailing zeros go
        {formatShort, 0.256, 2, "0.26"},
        {formatShort, 1.0 / 3.0, 15, "0.33333333333333"},  // fifteen digits in all
        {formatShort, -12345678901234.7, 5, "-12345678901235"},
        {formatShort, 2.123456, -3, "2"},  // negative decimals: the fraction is cut
        {formatShort, 2.7, 0, "2"},        // cut, not rounded
        {formatShort, -0.001, 2, "0"},
        {formatShort, 1e-12, 2, "1.000000000000000e-12"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.format(c.value, c.decimals), c.text) << c.value << " " << c.decimals;
}

}  // namespace
}  // namespace kov
