#include "display/MapSheet.h"

#include <gtest/gtest.h>

namespace kov {
namespace {

std::string code(long long x, long long y, int zone = 9, bool* valid = nullptr) {
    return sheetCodeOfPoint(zone, x, y, valid);
}

TEST(SheetCode, PointSouthWestOfOrigin) {
    // Sheet x -6000..-4000, y -36000..-34500: row L (-60..-30 km), column D (-40..0 km),
    // 3 km row 1 from the north, 4 km column 8 from the west, south-east quarter.
    bool valid = false;
    EXPECT_EQ(code(-5000, -35000, 9, &valid), "09LD184");
    EXPECT_TRUE(valid);
    // Every point of the same sheet gives the same code; the west and south edges belong to it.
    EXPECT_EQ(code(-6000, -36000), "09LD184");
    EXPECT_EQ(code(-4001, -34501), "09LD184");
    EXPECT_EQ(code(-4000, -35000), "09LD193");
    EXPECT_EQ(code(-5000, -34500), "09LD182");
}

TEST(SheetCode, ZoneIsTwoDigits) {
    EXPECT_EQ(code(-5000, -35000, 1), "01LD184");
    EXPECT_EQ(code(-5000, -35000, 19), "19LD184");
}

TEST(SheetCode, ColumnsSplitBetweenZeroAndMinusOne) {
    // y = 0 lies in the southernmost 3 km row of row J (0..30 km).
    EXPECT_EQ(code(0, 0), "09JE903");
    EXPECT_EQ(code(1999, 1499), "09JE903");
    EXPECT_EQ(code(-1, 0), "09JD994");
    EXPECT_EQ(code(-2000, -1), "09KD092");
}

TEST(SheetCode, QuartersOfTheThreeByFourKilometreCell) {
    EXPECT_EQ(code(0, 1500), "09JE901");     // north-west
    EXPECT_EQ(code(2000, 1500), "09JE902");  // north-east
    EXPECT_EQ(code(0, 0), "09JE903");        // south-west
    EXPECT_EQ(code(2000, 0), "09JE904");     // south-east
    // The next 4 km column and 3 km row.
    EXPECT_EQ(code(4000, 3000), "09JE813");
    EXPECT_EQ(code(39999, 29999), "09JE092");
}

TEST(SheetCode, TwoLetterRowsNorthOfRowA) {
    // Northernmost sheet of row A (north edge 300 km).
    EXPECT_EQ(code(0, 299999), "09AE001");
    // North edges of 301.5 .. 329 km: the row count truncates to 0, giving "AZ".
    bool valid = false;
    EXPECT_EQ(code(0, 300000, 9, &valid), "09AZE903");
    EXPECT_TRUE(valid);
    EXPECT_EQ(code(0, 327000), "09AZE003");
    // North edge 331.5 km rounds to 332: one row further, "AY".
    EXPECT_EQ(code(0, 330000), "09AYE903");
    // Far north the second letter leaves the alphabet.
    EXPECT_EQ(code(0, 1080000, 9, &valid), "09A@E903");
    EXPECT_FALSE(valid);
}

TEST(SheetCode, TwoLetterRowsSouthOfRowZ) {
    // North edge -478.5 km rounds to -479 (half away from zero): still row Z.
    bool valid = false;
    EXPECT_EQ(code(0, -480000, 9, &valid), "09ZE903");
    EXPECT_TRUE(valid);
    // North edge -480 km: row 26, "ZA"; northern half of the 3 km row 0.
    EXPECT_EQ(code(0, -480001, 9, &valid), "09ZAE001");
    EXPECT_TRUE(valid);
    EXPECT_EQ(code(0, -510001), "09ZBE001");
}

TEST(SheetCode, ColumnsOutsideTheAlphabetAreInvalid) {
    bool valid = true;
    // West of -160 km the column count truncates toward zero: still "A" down to -198 km.
    EXPECT_EQ(code(-160001, 0, 9, &valid), "09JA994");
    EXPECT_TRUE(valid);
    EXPECT_EQ(code(-198000, 0, 9, &valid), "09JA904");
    EXPECT_TRUE(valid);
    EXPECT_EQ(code(-200000, 0, 9, &valid), "09J@903");
    EXPECT_FALSE(valid);
    // East: column 25 ("Z") ends at 880 km.
    EXPECT_EQ(code(879999, 0, 9, &valid), "09JZ994");
    EXPECT_TRUE(valid);
    EXPECT_EQ(code(880000, 0, 9, &valid), "09J[903");
    EXPECT_FALSE(valid);
    // Without a printable character the text still has its full length.
    const std::string far = code(-100000000, 0, 9, &valid);
    EXPECT_FALSE(valid);
    EXPECT_EQ(far, "09J?903");
}

TEST(SheetCode, ValidPointerIsOptional) {
    EXPECT_EQ(code(880000, 0, 9, nullptr), "09J[903");
}

}  // namespace
}  // namespace kov
