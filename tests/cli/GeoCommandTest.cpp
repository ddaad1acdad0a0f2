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
#include "core/base/NumberFormat.h"
#include "core/base/PlaneConverter.h"

namespace kov {
namespace {

std::string printfFixed10(double v) {
    char text[400];
    std::snprintf(text, sizeof text, "%.10f", v);
    return text;
}

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
    char text[cli::kFixed10MaxChars];
    for (double v : values)
        ASSERT_EQ(std::string(text, cli::formatFixed10(text, v)), printfFixed10(v)) << v;
}

// kovtool geo, its exit status in `status`.
class GeoCommand : public ::testing::Test, protected test::KovtoolRuns {
protected:
    // Runs "kovtool geo ARGS" with stdin from the given text (none when input is null).
    std::string geo(const std::string& args, const std::string* input = nullptr) {
        if (input) test::writeFile(dir.file("stdin.txt"), *input);
        const std::string in = input ? " < '" + dir.file("stdin.txt") + "'" : " < /dev/null";
        return kovtool("geo " + args + in, &status);
    }
    int status = -1;
};

std::string expectedLine(const PlaneConverter& pc, double east, double north, bool dms = false) {
    const double in[3] = {east, north, 0.0};
    double out[3];
    pc.planeToGeodetic(in, out);
    if (dms) return formatDms(out[1], 1) + " " + formatDms(out[0], 1) + "\n";
    return printfFixed10(out[1]) + " " + printfFixed10(out[0]) + "\n";
}

TEST_F(GeoCommand, PointsOnTheCommandLineInDecimalOrDms) {
    EXPECT_EQ(geo("--zone 9 0 0"), "36.0000000000 139.8333333333\n");
    PlaneConverter pc;
    pc.setup(3, kEllipsoidGrs80);
    // Options and numbers in any order.
    EXPECT_EQ(geo("-100000.5 --zone=3 +25000"), expectedLine(pc, -100000.5, 25000.0));
    EXPECT_EQ(status, 0) << lastError();

    pc.setup(16, kEllipsoidGrs80);
    const std::string input = "-120000 80000\n5000.25 -33000\n";
    EXPECT_EQ(geo("--dms --zone 16", &input),
              expectedLine(pc, -120000, 80000, true) + expectedLine(pc, 5000.25, -33000, true));
}

TEST_F(GeoCommand, StreamsPairsFromStdin) {
    PlaneConverter pc;
    pc.setup(12, kEllipsoidGrs80);
    // Enough lines to cross several read blocks, in varied spellings.
    const char* spellings[] = {"%.3f %.3f\n",   "  %.17g\t%.17g  \r\n", "%.2f,%.2f\n",
                               "%.6e , %.6e\n", "\n%.0f %.0f\n",        "%.1f    %.1f\n"};
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> metres(-200000.0, 200000.0);
    std::string input, expected;
    char line[128];
    for (int i = 0; i < 120000; ++i) {
        std::snprintf(line, sizeof line, spellings[i % 6], metres(rng), metres(rng));
        input += line;
        double e = 0.0, n = 0.0;
        ASSERT_EQ(std::sscanf(line, "%lf%*[ ,\t]%lf", &e, &n), 2) << line;
        expected += expectedLine(pc, e, n);
    }
    input += "+1500 -2500";  // last line without a line end
    expected += expectedLine(pc, 1500.0, -2500.0);

    const std::string out = geo("--zone 12", &input);
    EXPECT_EQ(std::tuple(status, lastError()), std::tuple(0, ""));
    ASSERT_EQ(out.size(), expected.size());
    EXPECT_TRUE(out == expected);

    const std::string longLine = std::string(3 << 20, ' ') + "10 20\n";  // longer than a block
    EXPECT_EQ(geo("--zone 12", &longLine), expectedLine(pc, 10.0, 20.0));
}

TEST_F(GeoCommand, BadArgumentsAndUnreadableLinesFailWithAMessage) {
    PlaneConverter pc;
    pc.setup(9, kEllipsoidGrs80);
    const std::string one = expectedLine(pc, 1.0, 2.0), two = expectedLine(pc, 3.0, 4.0);
    const struct {
        const char* args;
        std::string input;  // "-": no input
        const char* message;
        std::string convertedBefore;  // the lines before a bad one are still converted
    } cases[] = {
        {"0 0", "-", "--zone", ""},
        {"--zone 20 1 2", "-", "zone '20'", ""},
        {"--zone 9 100", "-", "two numbers", ""},
        {"--zone 9 1 abc", "-", "'abc'", ""},
        {"--zone 9 --wgs84 1 2", "-", "unknown option '--wgs84'", ""},
        {"--zone 9", "1 2\n\n3 4\n5 north\n7 8\n", "line 4: expected \"E N\", got '5 north'",
         one + two},
        {"--zone 9", "1 2 3\n", "line 1:", ""},
        {"--zone 9", "1 2\n12,,3\n", "line 2:", one},
        {"--zone 9", "1 2\n3 4\n5x 6", "line 3:", one + two},  // last line, no line end
    };
    for (const auto& c : cases) {
        EXPECT_EQ(geo(c.args, c.input == "-" ? nullptr : &c.input), c.convertedBefore)
            << c.args << " " << c.input;
        EXPECT_NE(status, 0) << c.args << " " << c.input;
        EXPECT_NE(lastError().find(c.message), std::string::npos) << c.args << ": " << lastError();
    }
}

}  // namespace
}  // namespace kov
