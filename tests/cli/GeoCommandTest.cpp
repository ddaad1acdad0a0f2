// SPDX-License-Identifier: MIT
// kovtool geo, run as a separate process, and its number formatter.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "cli/FixedFormat.h"
#include "cli/Kovtool.h"

namespace kov {
namespace {

TEST(FormatFixed10, SameDigitsAsPrintf) {
    using limits = std::numeric_limits<double>;
    // Rounding edges, the end of the fast path at 2^30, and printf's own cases.
    std::vector<double> values({0.0, -0.0, -1.0, 139.8333333333333, 1e-11, 5e-11, 6e-11,
                                0.99999999995, 0.999999999949999, 9.99999999995, 1073741823.5,
                                1073741824.0, -1073741825.0, 1e300, limits::max(),
                                limits::denorm_min(), limits::infinity(), limits::quiet_NaN()});
    const double tie = std::ldexp(1.0, -11);  // exact ties in the 11th decimal: to even
    for (int k : {1, 3, -7, 2049})
        values.push_back(k * tie);
    std::mt19937_64 rng(2024);
    std::uniform_real_distribution<double> degrees(-180.0, 180.0);
    std::uniform_real_distribution<double> exponent(-14.0, 12.0);
    std::uniform_int_distribution<int> k(0, 1 << 24);
    for (int i = 0; i < 30000; ++i) {
        values.push_back(degrees(rng));
        values.push_back(std::pow(10.0, exponent(rng)) * (i % 2 ? -1 : 1));
        values.push_back(k(rng) * tie);
    }
    char text[cli::kFixed10MaxChars], printed[400];
    for (double v : values) {
        std::snprintf(printed, sizeof printed, "%.10f", v);
        ASSERT_EQ(std::string(text, cli::formatFixed10(text, v)), printed) << v;
    }
}

// kovtool geo, its exit status in `status`.
class GeoCommand : public ::testing::Test, protected test::KovtoolRuns {
protected:
    // Runs "kovtool geo ARGS" with the input on stdin.
    std::string geo(const std::string& args, const std::string& input = {}) {
        test::writeFile(dir.file("stdin.txt"), input);
        return kovtool("geo " + args + " < '" + dir.file("stdin.txt") + "'", &status);
    }
    int status = -1;
};

TEST_F(GeoCommand, PointsOnTheCommandLineOrStreamedFromStdin) {
    // The origin of zone 9 lies at 36 N, 139 50 E.
    EXPECT_EQ(geo("--zone 9 0 0"), "36.0000000000 139.8333333333\n");
    EXPECT_EQ(geo("0 --dms 0 --zone 9"), "36:00:00.0 139:50:00.0\n");
    const std::string a = geo("-100000.5 --zone=3 +25000"), b = geo("--zone 3 5000.25 -33000");
    EXPECT_EQ(status, 0) << lastError();
    EXPECT_NE(a, b);

    // Enough lines to cross several read blocks, in varied spellings.
    const char* spellings[] = {"-100000.5 25000\n", "  -100000.50\t+25000  \r\n",
                               "5000.25,-33000\n", "5.00025e3 , -3.3e4\n", "\n5000.25    -33000\n"};
    std::string input, expected;
    for (int i = 0; i < 150000; ++i) {
        input += spellings[i % 5];
        expected += i % 5 < 2 ? a : b;
    }
    input += "+5000.25 -33000";  // the last line without a line end
    expected += b;
    const std::string out = geo("--zone 3", input);
    EXPECT_EQ(std::tuple(status, lastError()), std::tuple(0, ""));
    ASSERT_EQ(out.size(), expected.size());
    EXPECT_TRUE(out == expected);

    const std::string longLine = std::string(3 << 20, ' ') + "-100000.5 25000\n";  // > a block
    EXPECT_EQ(geo("--zone 3", longLine), a);
}

// The lines before a bad one are still converted.
TEST_F(GeoCommand, UnreadableLinesFailWithAMessage) {
    const std::string one = geo("--zone 9 1 2"), two = geo("--zone 9 3 4");
    const struct {
        std::string input;
        const char* message;
        std::string convertedBefore;
    } cases[] = {
        {"1 2\n\n3 4\n5 north\n7 8\n", "line 4: expected \"E N\", got '5 north'", one + two},
        {"1 2 3\n", "line 1:", ""},
        {"1 2\n12,,3\n", "line 2:", one},
        {"1 2\n3 4\n5x 6", "line 3:", one + two},  // last line, no line end
    };
    for (const auto& c : cases) {
        EXPECT_EQ(geo("--zone 9", c.input), c.convertedBefore) << c.input;
        EXPECT_EQ(status, 1) << c.input;
        EXPECT_NE(lastError().find(c.message), std::string::npos) << c.input << lastError();
    }
}

}  // namespace
}  // namespace kov
