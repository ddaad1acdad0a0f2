// SPDX-License-Identifier: MIT
// kovtool's command lines: the value parsers, "--opt value" and "--opt=value" through real
// commands, and the refusals of command lines that cannot be used (exit status 2).
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cli/OptionParsers.h"
#include "support/SampleSuite.h"

namespace kov {
namespace {

TEST(OptionParsers, TakeTheWholeTextWithinRangeOrRefuseIt) {
    using namespace cli;
    // What a parser read; nothing when it refused the text.
    using Read = std::vector<double>;
    int i = 0, j = 0;
    double d = 0.0;
    MapRect r;
    FPoint p{9, 9, 9};
    std::vector<uint32_t> c;
    const auto colors = [&] { return Read(c.begin(), c.end()); };
    const std::string nine = "1,2,3;4,5,6;0,0,0;0,0,0;0,0,0;0,0,0;0,0,0;0,0,0;255,255,255";
    const struct {
        std::function<Read(const std::string&)> read;
        std::vector<std::pair<std::string, std::vector<double>>> good;
        std::vector<std::string> bad;
    } parsers[] = {
        {[&](const std::string& t) { return parseNumber(t, i, 10, 2400) ? Read{1.0 * i} : Read{}; },
         {{"10", {10}}, {"2400", {2400}}},
         {"9", "2401", "96.0", "", "99999999999", "+96", " 96"}},
        {[&](const std::string& t) { return parseNumber(t, d, 0.0) ? Read{d} : Read{}; },
         {{"0", {0}}, {"2.5", {2.5}}, {"1e3", {1000}}},
         {"-0.5", "inf", "nan", "1e400", "+5", " 5", "5m", "0x10"}},
        {[&](const std::string& t) { return parseCoordinate(t, d) ? Read{d} : Read{}; },
         {{"+25000", {25000}}, {"-100000.5", {-100000.5}}},
         {"inf", "-nan", "1e5x", ""}},
        {[&](const std::string& t) {
             return parseSize(t, i, j) ? Read{1.0 * i, 1.0 * j} : Read{};
         },
         {{"640x480", {640, 480}}, {"1X20000", {1, 20000}}},
         {"0x5", "20001x1", "10x", "10x10x", "10*10"}},
        {[&](const std::string& t) {
             return parseRect(t, r) ? Read{r.xmin, r.ymin, r.xmax, r.ymax} : Read{};
         },
         {{"1,2,3,4.5", {1, 2, 3, 4.5}}, {"-1e3,2,0,4", {-1000, 2, 0, 4}}},
         {"1,2,1,4", "1,2,3,1", "1,2,3", "1,2,3,inf", "0,0,1,1,"}},
        {[&](const std::string& t) {
             return parsePoint(t, p) ? Read{p.x, p.y, p.z} : Read{};
         },
         {{"1,2", {1, 2, 0}}, {" +1 ,\t-2\r", {1, -2, 0}}, {"1 2", {1, 2, 0}}},
         {"12", "1,,2", "1 2 3", "1,nan", "1;2"}},
        {[&](const std::string& t) { return parseColors(t, c) ? colors() : Read{}; },
         {{"255,0,0;0,128,255", {0x0000FF, 0xFF8000}},
          {nine, {0x030201, 0x060504, 0, 0, 0, 0, 0, 0, 0xFFFFFF}}},
         {"256,0,0", "1,2", "-1,0,0", "1,2,3;", nine + ";1,2,3"}},
    };
    for (const auto& parser : parsers) {
        for (const auto& [text, values] : parser.good)
            EXPECT_EQ(parser.read(text), values) << "'" << text << "'";
        for (const std::string& text : parser.bad)
            EXPECT_EQ(parser.read(text), Read{}) << "'" << text << "'";
    }
}

class KovtoolCommandLines : public test::SampleSetSuite {};

TEST_F(KovtoolCommandLines, AValueFollowsItsOptionAsTheNextWordOrAfterAnEqualsSign) {
    const std::string project = dir->file("sample.kovv5");
    const struct {
        std::string spaced, attached;
    } cases[] = {
        {"elev --at -9000,-35000 --dsm-cell 2 " + project,
         "elev --at=-9000,-35000 --dsm-cell=2 " + project},
        {"measure --json --line -9500,-35500 -9000,-35000 " + project,
         "measure --json --line=-9500,-35500 -9000,-35000 " + project},
        {"flood --json --level 8 --from -7000,-36800 --ranks 4,8 --wall -7400,-36000 "
         "-7300,-37000 " +
             project,
         "flood --json --level=8 --from=-7000,-36800 --ranks=4,8 --wall=-7400,-36000 "
         "-7300,-37000 " +
             project},
        {"geo --zone 9 -9000 -35000", "geo --zone=9 -9000 -35000"},
    };
    for (const auto& c : cases) {
        int spacedExit = -1, attachedExit = -1;
        const std::string spaced = kovtool(c.spaced, &spacedExit);
        EXPECT_EQ(spacedExit, 0) << c.spaced << lastError();
        EXPECT_NE(spaced, "");
        EXPECT_EQ(kovtool(c.attached, &attachedExit), spaced) << c.attached << lastError();
        EXPECT_EQ(attachedExit, 0);
    }
}

// Every refusal names the command and its cause, and nothing is written.
TEST_F(KovtoolCommandLines, UnusableCommandLinesAreRefusedWithExitStatusTwo) {
    const std::string p = dir->file("sample.kovv5") + " ";
    const auto o = [](const char* extension) {
        return "-o " + dir->file(std::string("out") + extension) + " ";
    };
    const struct {
        std::string args, said;
    } cases[] = {
        {"render " + p + o(".png") + "--step inf", "render: bad value for --step: \"inf\""},
        {"profile --line 1,2 3,4 " + p + o(".csv") + "--step=inf",
         "profile: bad value for --step: \"inf\""},
        {"render " + p + o(".png") + "--dpi", "render: --dpi needs a value"},
        {"render " + p + o(".png") + "--legend=1", "render: unknown option '--legend=1'"},
        {"render " + p + "-o=" + dir->file("out.png"), "render: unknown option '-o="},
        {"render " + p + o(".bmp"), "render: " + dir->file("out") + ".bmp: cannot write this"},
        {"render " + p + "--size 10x10", "render: -o OUT.png (or OUT.pdf) is required"},
        {"render " + o(".png"), "render: no data path given"},
        {"print " + p + o(".pdf") + "--paper Z9", "print: bad value for --paper: \"Z9\""},
        {"print " + p, "print: either -o OUT.pdf or --printer NAME is required"},
        {"info -q --dsm-cell 0 " + p,
         "info: --dsm-cell needs a cell size from 0.1 to 1000 m (got \"0\")"},
        {"info " + p + "--dsm-cell",
         "info: --dsm-cell needs a cell size from 0.1 to 1000 m (got \"\")"},
        {"elev " + p + "--at 1,x", "elev: --at needs E,N (got \"1,x\")"},
        {"measure " + p + "--line 1,2 x",
         "measure: --line needs at least two points E,N (got 1, then \"x\")"},
        {"measure " + p + "--line 1,2 3,4 --line 5,6 7,8",
         "measure: --line is given more than once"},
        {"measure " + p + "--slope", "measure: --line E,N E,N [E,N ...] is required"},
        {"profile " + p + o(".csv") + "--line 1,2",
         "profile: --line needs at least two points E,N"},
        {"profile " + p + o(".txt") + "--line 1,2 3,4", "profile: no output format for"},
        {"profile " + p + o(".csv") + "--line 1,2 3,4 --max-points 99999999",
         "profile: bad value for --max-points"},
        {"flood --json --level 5 --from 1,2 --wall 1,2 " + p,
         "flood: --wall needs at least two E,N vertices"},
        {"flood --json --level 5 --ranks 5,2,x " + p,
         "flood: --ranks must ascend (2 follows 5): \"5,2,x\""},
        {"flood --json --level 5 --ranks 1,2,3,4,5,6,7,8,9,10 " + p,
         "flood: --ranks takes at most 9 heights, not 10"},
        {"flood --json --level 5 --range 100 " + p,
         "flood: --range applies only to a flood --from a point"},
        {"compose " + o(".txt") + p,
         "compose: " + dir->file("out") + ".txt: the project file needs"},
        {"compose " + o(".kovv5") + "--title \"$(printf '\\377\\376')\" " + p,
         "compose: the title given with --title is not valid UTF-8"},
        {"geo 0 0", "geo: --zone is required\nusage: kovtool geo"},
        {"geo --zone=20 1 2", "geo: invalid zone '20' (must be 1 to 19)"},
        {"geo --zone 9 inf 0", "geo: 'inf' is not a number"},
        {"geo --zone 9 100", "geo: give a point as two numbers, E N\nusage: kovtool geo"},
        {"geo --zone 9 --wgs84 1 2", "geo: unknown option '--wgs84'\nusage: kovtool geo"},
        {"sample " + dir->file("out") + " --block x",
         "sample: --block needs a number, not 'x'\nusage"},
        {"sample " + dir->file("out") + " --block 0", "sample: "},
        {"sample a b", "sample: more than one output folder given"},
        {"sample -", "sample: unknown option '-'"},
        {"sample", "sample: no output folder given"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(exitOf(c.args + " < /dev/null"), 2) << c.args;
        EXPECT_EQ(lastError().rfind("kovtool " + c.said, 0), 0) << lastError();
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir->path()))
        EXPECT_NE(entry.path().filename().string().rfind("out", 0), 0u) << entry.path();
}

}  // namespace
}  // namespace kov
