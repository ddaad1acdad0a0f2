// SPDX-License-Identifier: MIT
// kovtool's command lines: the value parsers, "--opt value" and "--opt=value" through real
// commands, and the refusals of command lines that cannot be used (exit status 2).
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QString>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cli/OptionParsers.h"
#include "cli/OptionReader.h"
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

class KovtoolCommandLines : public test::SampleSetSuite {
protected:
    // One command line of each command, with a value option written both ways.
    struct CommandCase {
        std::string command;
        std::string spaced;      // options with their values as the next words
        std::string attached;    // the same options as "--name=value"
        std::string operands;    // paths (or numbers)
        std::string result;      // a shell command printing the result; stdout when empty
        std::string badValue;    // an option with a value it refuses
        std::string incomplete;  // a command line without its output or data path
        std::string unreadable;  // a command line whose input cannot be read or output written
    };
    static std::vector<CommandCase> commandCases() {
        const std::string p = dir->file("sample.kovv5");
        const std::string missing = dir->file("missing.kov");
        const std::string line = "--line -9500,-35500 -9000,-35000 -8500,-35400";
        const auto out = [](const char* name) { return dir->file(name); };
        return {
            {"info", "--zone 9", "--zone=9", p, "", "--zone 20", "--json", missing},
            {"elev", "--at -9000,-35000", "--at=-9000,-35000", p, "", "--at 1,x", "--at 1,2",
             "--at 1,2 " + missing},
            {"geo", "--zone 9", "--zone=9", "-9000 -35000", "", "--zone 0", "1 2",
             "--zone 9 < " + dir->path()},
            {"compose", "-o " + out("c.kovv5") + " --title T",
             "-o " + out("c.kovv5") + " --title=T", p.substr(0, p.rfind('/')) + "/tiles",
             "cat " + out("c.kovv5"), "--dsm-cell 0", dir->path() + "/tiles",
             "-o " + out("c.kovv5") + " " + missing},
            {"render", "-o - -f png --size 64x48", "-o - --format=png --size=64x48", p, "",
             "-o x.png --size 0x1", "--size 64x48 " + p, "-o x.png " + missing},
            {"profile", line + " -o - -f csv --step 50", line + " -o - -f csv --step=50", p, "",
             line + " -o x.csv --step -1", line, line + " -o x.csv " + missing},
            {"measure", line + " --json", "--line=-9500,-35500 -9000,-35000 -8500,-35400 --json", p,
             "", "--line 1,2 3,x", "", line + " " + missing},
            {"print", "-o " + out("p.pdf") + " --paper A5", "-o " + out("p.pdf") + " --paper=A5", p,
             "pdfinfo " + out("p.pdf") + " | grep 'Page size'", "-o x.pdf --mode 3", "--paper A5",
             "-o x.pdf " + missing},
            {"flood", "--json --level 8 --from -7000,-36800",
             "--json --level=8 --from=-7000,-36800", p, "", "--json --level 8 --ranks 2,1",
             "--level 8", "--json --level 8 " + missing},
            {"convert", "-o " + out("tiles-out"), "-o " + out("tiles-out"), p, "", "-o x --zone 0",
             "--zone 9", "-o " + p + " " + p},
            {"export", "-o " + out("e.asc") + " --cell 50", "-o " + out("e.asc") + " --cell=50", p,
             "cat " + out("e.asc"), "-o x.asc --cell 0", "--cell 50", "-o x.asc " + missing},
            {"contour", "-o - -f geojson --interval 10", "-o - -f geojson --interval=10", p, "",
             "-o x.gpkg --interval -1", "--interval 10", "-o x.gpkg --interval 10 " + missing},
            {"sample", "--block 2", "--block=2", out("s"), "ls -R " + out("s"), "--block x", "",
             p + "/x"},
        };
    }
    // What a command line gives: its result, empty unless it ran with exit status 0.
    static std::string resultOf(const std::string& args, const std::string& result = {}) {
        int code = -1;
        const std::string out = kovtool(args, &code);
        EXPECT_EQ(code, 0) << args << "\n" << lastError();
        return result.empty() ? out : test::runCommand(result);
    }
};

// Options before or after the paths, a value as the next word or after "=": the same result.
TEST_F(KovtoolCommandLines, EveryCommandTakesOptionsAnywhereAndValuesAfterAnEqualsSign) {
    for (const CommandCase& c : commandCases()) {
        SCOPED_TRACE(c.command);
        const std::string before =
            resultOf(c.command + " " + c.spaced + " " + c.operands, c.result);
        EXPECT_NE(before, "");
        EXPECT_EQ(resultOf(c.command + " " + c.operands + " " + c.spaced, c.result), before);
        EXPECT_EQ(resultOf(c.command + " " + c.operands + " " + c.attached, c.result), before);
    }
}

// 2 for bad arguments, 1 for input that cannot be read or output that cannot be written.
TEST_F(KovtoolCommandLines, EveryCommandAnswersByTheOneExitStatusTable) {
    for (const CommandCase& c : commandCases()) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(exitOf(c.command + " --no-such-option " + c.spaced + " " + c.operands), 2)
            << lastError();
        EXPECT_EQ(exitOf(c.command + " " + c.operands + " " + c.badValue), 2) << lastError();
        EXPECT_EQ(exitOf(c.command + " " + c.incomplete), 2) << lastError();
        EXPECT_EQ(exitOf(c.command + " " + c.unreadable), 1) << lastError();
    }
    EXPECT_EQ(exitOf("no-such-command"), 2);
    // After "--" an argument that looks like an option is a path.
    EXPECT_EQ(exitOf("info -- --json"), 1);
    EXPECT_NE(lastError().find("--json: no such file"), std::string::npos) << lastError();
}

// "-o - -f FORMAT" writes to stdout the very bytes "-o FILE" writes.
TEST_F(KovtoolCommandLines, OutputToStdoutIsTheFileTheCommandWrites) {
    const std::string p = dir->file("sample.kovv5") + " ";
    const std::string line = "--line -9500,-35500 -9000,-35000 ";
    const struct {
        std::string args, format;
    } cases[] = {
        {"profile " + p + line, "csv"},
        {"profile " + p + line, "geojson"},
        {"render --size 64x48 " + p, "png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        // A GeoJSON collection is named after its file: "stdout" on standard output.
        const std::string file = dir->file("stdout." + c.format);
        const std::string written = resultOf(c.args + "-o " + file, "cat " + file);
        EXPECT_EQ(resultOf(c.args + "-o - -f " + c.format), written);
    }
}

// The points of --line-file, from a file or stdin, are those of --line.
TEST_F(KovtoolCommandLines, LineFileFromAFileOrStdinIsTheLine) {
    const std::string p = dir->file("sample.kovv5");
    const std::string file = dir->file("line.txt");
    test::writeFile(file, "-9500 -35500\r\n\r\n  -9000,-35000\n-8500 , -35400");
    for (const char* command : {"measure --json ", "profile -o - -f csv "}) {
        SCOPED_TRACE(command);
        const std::string base = command + p;
        const std::string expected =
            resultOf(base + " --line -9500,-35500 -9000,-35000 -8500,-35400");
        EXPECT_EQ(resultOf(base + " --line-file " + file), expected);
        EXPECT_EQ(resultOf(base + " --line-file - < " + file), expected);
        EXPECT_EQ(exitOf(base + " --line-file " + dir->file("no-line.txt")), 1);
    }
}

// Every option a command's help lists is one the command takes.
TEST_F(KovtoolCommandLines, EveryCommandsHelpListsOptionsItTakes) {
    const QRegularExpression optionLine(QStringLiteral("^  (?:(-\\w), )?(--?[a-z][a-z-]*)"),
                                        QRegularExpression::MultilineOption);
    for (const CommandCase& c : commandCases()) {
        SCOPED_TRACE(c.command);
        int code = -1;
        const QString help = QString::fromStdString(kovtool(c.command + " --help", &code));
        EXPECT_EQ(code, 0);
        int listed = 0;
        for (auto it = optionLine.globalMatch(help); it.hasNext();) {
            const auto match = it.next();
            for (const QString& name : {match.captured(1), match.captured(2)}) {
                if (name.isEmpty() || name == "-h" || name == "--help") continue;
                ++listed;
                exitOf(c.command + " " + name.toStdString() + " < /dev/null");
                EXPECT_EQ(lastError().find("unknown option"), std::string::npos) << lastError();
            }
        }
        EXPECT_GE(listed, 2) << help.toStdString();
    }
}

TEST(OptionHelp, NamesEveryOptionOfTheTableWithItsValueAndText) {
    using namespace cli;
    bool flag = false;
    std::string text;
    std::vector<FPoint> points;
    Option shortToo = textOption("--format", text).explained("NAME", "the format");
    shortToo.shortName = "-f";
    const std::vector<Option> options = {
        switchOption("--legend", flag).explained({}, "draw the legend"),
        std::move(shortToo),
        pointsOption("--a-rather-long-option-name", points, {}).explained("E,N ...", "one\ntwo"),
    };
    const std::string help = helpText({"cmd", "PATH...", "Does it."}, options);
    for (const char* line : {"\n  --legend                draw the legend\n",
                             "\n  -f, --format NAME       the format\n",
                             "\n  --a-rather-long-option-name E,N ...\n"
                             "                          one\n                          two\n"})
        EXPECT_NE(help.find(line), std::string::npos) << line << "\nin:\n" << help;
    EXPECT_EQ(help.rfind("usage: kovtool cmd PATH...\nDoes it.\n", 0), 0u) << help;
}

// Every refusal names the command and its cause, and nothing is written.
TEST_F(KovtoolCommandLines, UnusableCommandLinesAreRefusedWithExitStatusTwo) {
    const std::string p = dir->file("sample.kovv5") + " ";
    const auto o = [](const char* extension) {
        return "-o " + dir->file(std::string("out") + extension) + " ";
    };
    const std::string badLine = dir->file("bad-line.txt");
    test::writeFile(badLine, "1 2\n\n3,x\r\n");
    const struct {
        std::string args, said;
    } cases[] = {
        {"render " + p + o(".png") + "--step inf", "render: bad value for --step: \"inf\""},
        {"render " + p + o(".png") + "--dpi", "render: --dpi needs a value"},
        {"render " + p + o(".png") + "--legend=1", "render: --legend takes no value (got \"1\")"},
        {"render " + p + "-o -", "render: -o - writes to standard output with --format png, pdf"},
        {"render " + p + "-o - -f tif", "render: -o - writes to standard output with --format"},
        {"render " + p + "-f png " + o(".pdf"), "render: --format png differs from the extension"},
        {"export " + p + "-o -", "export: -o - is not possible"},
        {"measure " + p + "--line 1,2 3,4 -o - -f geojson --json", "measure: -o - writes only"},
        {"flood --level 5 -o - -f png --json " + p, "flood: -o - and --json both write"},
        {"measure " + p + "--line 1,2 3,4 --line-file -", "measure: give --line or --line-file"},
        {"profile " + p + o(".csv") + "--line-file " + badLine,
         "profile: " + badLine + ":3: expected \"E N\" or \"E,N\", got '3,x'"},
        {"render " + p + "-o=" + dir->file("out.png"), "render: unknown option '-o="},
        {"render " + p + o(".bmp"), "render: " + dir->file("out") + ".bmp: cannot write this"},
        {"render " + p + "--size 10x10", "render: -o OUT.png (or OUT.pdf, OUT.tif) is required"},
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
        {"measure " + p + "--slope",
         "measure: --line E,N E,N [E,N ...] or --line-file FILE is required"},
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
        {"sample " + dir->file("out") + " --block x", "sample: --block needs a number, not 'x'"},
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
