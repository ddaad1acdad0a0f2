#include "display/NumberFormat.h"

#include <gtest/gtest.h>

namespace kov {
namespace {

TEST(FormatGrouped, InsertsSeparatorsBetweenGroupsOfThree) {
    EXPECT_EQ(formatGrouped(1234.5, 1), "1,234.5");
    EXPECT_EQ(formatGrouped(-1234.5, 1), "-1,234.5");
    EXPECT_EQ(formatGrouped(123456, 0), "123,456");
    EXPECT_EQ(formatGrouped(-123456, 0), "-123,456");  // no separator after the sign
    EXPECT_EQ(formatGrouped(1234567.891, 2), "1,234,567.89");
    EXPECT_EQ(formatGrouped(999, 0), "999");
    EXPECT_EQ(formatGrouped(12, 3), "12.000");
    EXPECT_EQ(formatGrouped(999999999999999.0, 0), "999,999,999,999,999");
}

TEST(FormatGrouped, RoundingCarriesIntoANewGroup) {
    EXPECT_EQ(formatGrouped(999.96, 1), "1,000.0");
    EXPECT_EQ(formatGrouped(-99999.5, 0), "-100,000");
}

TEST(FormatGrouped, TinyValuesAreZeroAndHugeOnesUseTheExponentForm) {
    EXPECT_EQ(formatGrouped(1e-11, 2), "0.00");
    EXPECT_EQ(formatGrouped(-1e-11, 0), "0");
    EXPECT_EQ(formatGrouped(2e15, 1), "2.000000000000000e+15");
    EXPECT_EQ(formatGrouped(-2.5e20, 1), "-2.500000000000000e+20");
    EXPECT_EQ(formatGrouped(1e15, 0), "1,000,000,000,000,000");
}

TEST(FormatDms, DegreesMinutesAndZeroPaddedSeconds) {
    EXPECT_EQ(formatDms(35.5, 1), "35:30:00.0");
    EXPECT_EQ(formatDms(139.0 + 50.0 / 60.0 + 7.25 / 3600.0, 2), "139:50:07.25");
    EXPECT_EQ(formatDms(-35.5, 1), "-35:30:00.0");
    EXPECT_EQ(formatDms(35.5 + 5.0 / 3600.0, 0), "35:30:05");
    EXPECT_EQ(formatDms(0.0, 3), "0:00:00.000");
}

TEST(FormatDms, SecondsThatRoundToSixtyCarry) {
    EXPECT_EQ(formatDms(139.99999999, 1), "140:00:00.0");
    EXPECT_EQ(formatDms(35.0 + 10.0 / 60.0 + 59.97 / 3600.0, 1), "35:11:00.0");
    EXPECT_EQ(formatDms(-35.0 - 59.0 / 60.0 - 59.99 / 3600.0, 1), "-36:00:00.0");
    // 59.97 seconds shown with two decimals does not carry.
    EXPECT_EQ(formatDms(35.0 + 10.0 / 60.0 + 59.97 / 3600.0, 2), "35:10:59.97");
}

TEST(FormatShort, RemovesTrailingZerosAndTheBarePoint) {
    EXPECT_EQ(formatShort(12.50, 2), "12.5");
    EXPECT_EQ(formatShort(200.0, 1), "200");
    EXPECT_EQ(formatShort(5.0, 2), "5");
    EXPECT_EQ(formatShort(0.25, 2), "0.25");
    EXPECT_EQ(formatShort(0.256, 2), "0.26");
    EXPECT_EQ(formatShort(-3.75, 1), "-3.8");
    EXPECT_EQ(formatShort(1.5, 15), "1.5");
    EXPECT_EQ(formatShort(0.1, 15), "0.1");
    EXPECT_EQ(formatShort(1.0 / 3.0, 15), "0.33333333333333");
}

TEST(FormatShort, DecimalsAreLimitedToFifteenDigitsInAll) {
    EXPECT_EQ(formatShort(123456789.123456789, 15), "123456789.123457");
    EXPECT_EQ(formatShort(123456789012345.6, 5), "123456789012346");
    EXPECT_EQ(formatShort(-12345678901234.7, 5), "-12345678901235");
    EXPECT_EQ(formatShort(2.123456, -3), "2");  // negative decimals: the fraction is cut
    EXPECT_EQ(formatShort(2.7, 0), "2");        // cut, not rounded
    EXPECT_EQ(formatShort(0.123456789, 0), "0");
    EXPECT_EQ(formatShort(0.1234567, 40), "0.1234567");
}

TEST(FormatShort, ZeroAndExponentForms) {
    EXPECT_EQ(formatShort(0.0, 2), "0");
    EXPECT_EQ(formatShort(-0.0, 2), "0");
    EXPECT_EQ(formatShort(-0.001, 2), "0");
    EXPECT_EQ(formatShort(-0.00000000001, 1), "0");
    EXPECT_EQ(formatShort(1e-12, 2), "1.000000000000000e-12");
    EXPECT_EQ(formatShort(1e-200, 2), "0");
    EXPECT_EQ(formatShort(1e16, 2), "1.000000000000000e+16");
    EXPECT_EQ(formatShort(-1e16, 2), "-1.000000000000000e+16");
}

}  // namespace
}  // namespace kov
