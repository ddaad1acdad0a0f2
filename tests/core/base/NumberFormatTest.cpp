#include "core/base/NumberFormat.h"

#include <gtest/gtest.h>

namespace kov {
namespace {

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
