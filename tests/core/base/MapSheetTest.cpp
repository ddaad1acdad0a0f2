#include "core/base/MapSheet.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kov
