// kovtool geo, run as a separate process, and its number formatter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "cli/FixedFormat.h"
#include "display/NumberFormat.h"
#include "display/PlaneConverter.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

std::string printfFixed10(double v) {
    char text[400];
    std::snprintf(text, sizeof text, "%.10f", v);
    return text;
}

std::string fastFixed10(double v) {
    char text[cli::kFixed10MaxChars];
    return std::string(text, cli::formatFixed10(text, v));
}

TEST(FormatFixed10, SameDigitsAsPrintf) {
    const double special[] = {0.0,
                              -0.0,
                              1.0,
                              -1.0,
                              36.0,
                              139.8333333333333,
                              0.5,
                              1e-11,
                              -1e-11,
                              4e-11,
                              5e-11,
                              6e-11,
                              0.99999999995,
                              0.999999999949999,
                              9.99999999995,
                              123.45678901234567,
                              std::ldexp(1.0, -11),  // exact tie in the 11th decimal: to even
                              3.0 * std::ldexp(1.0, -11),
                              5.0 * std::ldexp(1.0, -11),
                              -7.0 * std::ldexp(1.0, -11),
                              1.0 + std::ldexp(1.0, -11),
                              1.0 + 3.0 * std::ldexp(1.0, -11),
                              std::ldexp(1.0, 30) - 0.5,
                              std::ldexp(1.0, 30),
                              -std::ldexp(1.0, 30) - 1.0,  // fast path
                              1e15,
                              -2.5e20,
                              1e300,
                              std::numeric_limits<double>::max(),  // and beyond
                              std::numeric_limits<double>::denorm_min(),
                              std::numeric_limits<double>::min(),
                              std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN()};
    for (double v : special)
        EXPECT_EQ(fastFixed10(v), printfFixed10(v)) << v;

    std::mt19937_64 rng(2024);
    std::uniform_real_distribution<double> degrees(-180.0, 180.0);
    std::uniform_real_distribution<double> exponent(-14.0, 12.0);
    std::uniform_int_distribution<int> k(0, 1 << 24);
    for (int i = 0; i < 200000; ++i) {
        const double a = degrees(rng);
        const double b = std::pow(10.0, exponent(rng)) * (i % 2 ? -1 : 1);
        const double tie = k(rng) * std::ldexp(1.0, -11);  // multiples of 2^-11: many exact ties
        ASSERT_EQ(fastFixed10(a), printfFixed10(a)) << a;
        ASSERT_EQ(fastFixed10(b), printfFixed10(b)) << b;
        ASSERT_EQ(fastFixed10(tie), printfFixed10(tie)) << tie;
    }
}

struct GeoRun {
    std::string out;
    std::string err;
    int status = -1;
};

// Runs "kovtool geo ARGS" with stdin from the given text (none when input is null).
GeoRun runGeo(const test::TempDir& dir, const std::string& args,
              const std::string* input = nullptr) {
    const std::string errFile = dir.file("stderr.txt");
    std::string command = std::string("'") + KOVTOOL_PATH + "' geo " + args;
    if (input) {
        const std::string inFile = dir.file("stdin.txt");
        test::writeFile(inFile, *input);
        command += " < '" + inFile + "'";
    } else {
        command += " < /dev/null";
    }
    command += " 2> '" + errFile + "'";
    GeoRun run;
    run.out = test::runCommand(command, &run.status);
    run.err = test::readFile(errFile);
    return run;
}

std::string expectedLine(const PlaneConverter& pc, double east, double north) {
    const double in[3] = {east, north, 0.0};
    double out[3];
    pc.planeToGeodetic(in, out);
    return printfFixed10(out[1]) + " " + printfFixed10(out[0]) + "\n";
}

TEST(GeoCommand, PointOnTheCommandLine) {
    test::TempDir dir;
    GeoRun run = runGeo(dir, "--zone 9 0 0");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "36.0000000000 139.8333333333\n");
    EXPECT_EQ(run.err, "");

    PlaneConverter pc;
    pc.setup(3, kEllipsoidGrs80);
    run = runGeo(dir, "-100000.5 --zone=3 +25000");  // options and numbers in any order
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, expectedLine(pc, -100000.5, 25000.0));

    // GRS-80, not Bessel: 100 km north of the zone 9 origin.
    run = runGeo(dir, "--zone 9 0 100000");
    pc.setup(9, kEllipsoidGrs80);
    EXPECT_EQ(run.out, expectedLine(pc, 0.0, 100000.0));
    PlaneConverter bessel;
    bessel.setup(9, kEllipsoidBessel);
    EXPECT_NE(run.out, expectedLine(bessel, 0.0, 100000.0));
}

TEST(GeoCommand, StreamsPairsFromStdin) {
    test::TempDir dir;
    PlaneConverter pc;
    pc.setup(12, kEllipsoidGrs80);
    // Enough lines to cross several read blocks, in varied spellings.
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> metres(-200000.0, 200000.0);
    std::string input, expected;
    char line[128];
    for (int i = 0; i < 120000; ++i) {
        const double east = metres(rng), north = metres(rng);
        switch (i % 6) {
            case 0:
                std::snprintf(line, sizeof line, "%.3f %.3f\n", east, north);
                break;
            case 1:
                std::snprintf(line, sizeof line, "  %.17g\t%.17g  \r\n", east, north);
                break;
            case 2:
                std::snprintf(line, sizeof line, "%.2f,%.2f\n", east, north);
                break;
            case 3:
                std::snprintf(line, sizeof line, "%.6e , %.6e\n", east, north);
                break;
            case 4:
                std::snprintf(line, sizeof line, "\n%.0f %.0f\n", east, north);
                break;
            default:
                std::snprintf(line, sizeof line, "%.1f    %.1f\n", east, north);
                break;
        }
        input += line;
        double e = 0.0, n = 0.0;
        ASSERT_EQ(std::sscanf(line, "%lf%*[ ,\t]%lf", &e, &n), 2) << line;
        expected += expectedLine(pc, e, n);
    }
    input += "+1500 -2500";  // last line without a line end
    expected += expectedLine(pc, 1500.0, -2500.0);

    const GeoRun run = runGeo(dir, "--zone 12", &input);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto [ours, theirs] =
        std::mismatch(run.out.begin(), run.out.end(), expected.begin(), expected.end());
    if (ours != run.out.end() || theirs != expected.end()) {
        const std::size_t at = run.out.rfind('\n', ours - run.out.begin()) + 1;
        ADD_FAILURE() << "output differs at byte " << (ours - run.out.begin()) << ":\n"
                      << run.out.substr(at, 60) << "\nexpected:\n"
                      << expected.substr(at, 60);
    }

    // A line longer than a read block.
    const std::string longLine = std::string(3 << 20, ' ') + "10 20\n";
    const GeoRun longRun = runGeo(dir, "--zone 12", &longLine);
    EXPECT_EQ(longRun.status, 0) << longRun.err;
    EXPECT_EQ(longRun.out, expectedLine(pc, 10.0, 20.0));

    const std::string empty;
    const GeoRun emptyRun = runGeo(dir, "--zone 12", &empty);
    EXPECT_EQ(emptyRun.status, 0);
    EXPECT_EQ(emptyRun.out, "");
}

TEST(GeoCommand, DegreesMinutesSeconds) {
    test::TempDir dir;
    GeoRun run = runGeo(dir, "--zone 9 --dms 0 0");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "36:00:00.0 139:50:00.0\n");

    PlaneConverter pc;
    pc.setup(16, kEllipsoidGrs80);
    const std::string input = "-120000 80000\n5000.25 -33000\n";
    run = runGeo(dir, "--dms --zone 16", &input);
    EXPECT_EQ(run.status, 0) << run.err;
    std::string expected;
    for (auto [e, n] : {std::pair{-120000.0, 80000.0}, std::pair{5000.25, -33000.0}}) {
        const double in[3] = {e, n, 0.0};
        double out[3];
        pc.planeToGeodetic(in, out);
        expected += formatDms(out[1], 1) + " " + formatDms(out[0], 1) + "\n";
    }
    EXPECT_EQ(run.out, expected);
}

TEST(GeoCommand, BadArgumentsFailWithAMessage) {
    test::TempDir dir;
    const struct {
        const char* args;
        const char* message;
    } cases[] = {
        {"0 0", "--zone"},             // no zone
        {"--zone 0 1 2", "zone '0'"},  // out of range
        {"--zone 20 1 2", "zone '20'"},
        {"--zone nine 1 2", "zone 'nine'"},  // not a number
        {"--zone 9x 1 2", "zone '9x'"},
        {"--zone", "--zone"},             // value missing
        {"--zone 9 100", "two numbers"},  // half a point
        {"--zone 9 1 2 3", "two numbers"},
        {"--zone 9 1 abc", "'abc'"},
        {"--zone 9 --wgs84 1 2", "unknown option '--wgs84'"},
    };
    for (const auto& c : cases) {
        const GeoRun run = runGeo(dir, c.args);
        EXPECT_NE(run.status, 0) << c.args;
        EXPECT_EQ(run.out, "") << c.args;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << ": " << run.err;
    }
}

TEST(GeoCommand, UnreadableLineIsReportedWithItsNumber) {
    test::TempDir dir;
    PlaneConverter pc;
    pc.setup(9, kEllipsoidGrs80);
    const std::string one = expectedLine(pc, 1.0, 2.0), two = expectedLine(pc, 3.0, 4.0);
    const struct {
        std::string input;
        const char* line;
        std::string convertedBefore;  // the lines before the bad one are still converted
    } cases[] = {
        {"1 2\n\n3 4\n5 north\n7 8\n", "line 4: expected \"E N\", got '5 north'", one + two},
        {"1 2\n1\n", "line 2:", one},              // one number only
        {"1 2 3\n", "line 1:", ""},                // one too many
        {"1 2\n12,,3\n", "line 2:", one},          // empty field
        {"1 2\n3 4\n5x 6", "line 3:", one + two},  // last line, no line end
    };
    for (const auto& c : cases) {
        const GeoRun run = runGeo(dir, "--zone 9", &c.input);
        EXPECT_NE(run.status, 0) << c.input;
        EXPECT_NE(run.err.find(c.line), std::string::npos) << c.input << ": " << run.err;
        EXPECT_EQ(run.out, c.convertedBefore) << c.input;
    }
}

}  // namespace
}  // namespace kov
