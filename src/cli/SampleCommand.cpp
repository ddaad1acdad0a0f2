// SPDX-License-Identifier: MIT
// kovtool sample OUTDIR [--block N] [--asc]: writes the deterministic sample data set.
#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "cli/Messages.h"
#include "cli/OptionParsers.h"
#include "cli/OptionReader.h"
#include "sample/SampleData.h"

namespace kov::cli {

namespace {

const CommandHelp kSampleHelp{
    "sample", "OUTDIR [--block N] [--asc]",
    localText("Writes the sample data set: 5 m tiles, a project file, DSM points, shapefiles,\n"
              "pictures and FG-GML DEM files.",
              "サンプルデータ (5 m タイル、プロジェクトファイル、DSM 点群、シェープファイル、\n"
              "画像、FG-GML DEM ファイル) を書きます。")};

}  // namespace

int runSample(const Arguments& args) {
    std::string outDir;
    sample::SampleOptions options;
    const Option block =
        valueOption(
            "--block",
            [&options](const std::string& value, std::string& why) {
                if (parseNumber(value, options.block)) return true;
                why = formatted(localText("--block needs a number, not '%s'",
                                          "--block には数値を指定してください ('%s')"),
                                value.c_str());
                return false;
            },
            localText("--block needs a number", "--block には数値が必要です"))
            .explained("N", localText("N x N tiles (default 3)", "N x N タイル (既定 3)"));
    const Option asc = switchOption("--asc", options.esriAscii)
                           .explained({}, localText("also ESRI ASCII grids of the tiles",
                                                    "タイルの ESRI ASCII グリッドも"));
    Operands folder;
    folder.dashed = [](const std::string&) { return false; };
    folder.take = [&outDir](const std::string& arg, std::string& why) {
        if (!outDir.empty()) {
            why =
                localText("more than one output folder given", "出力フォルダーが二つ以上あります");
            return false;
        }
        outDir = arg;
        return true;
    };
    if (const std::optional<int> stop = readCommandLine(kSampleHelp, args, {block, asc}, folder))
        return *stop;
    if (outDir.empty())
        return refuseWithUsage(kSampleHelp,
                               localText("no output folder given", "出力フォルダーがありません"));
    std::string error;
    // The reason is the sample writer's own English text.
    if (!sample::validateOptions(options, &error))
        return refuseWithUsage(
            kSampleHelp,
            formatted(localText("%s", "オプションが正しくありません: %s"), error.c_str()));
    if (!sample::writeSampleDataSet(outDir, options, &error)) {
        std::fprintf(stderr,
                     localText("kovtool sample: %s\n",
                               "kovtool sample: サンプルデータを書き込めません: %s\n"),
                     error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace kov::cli
