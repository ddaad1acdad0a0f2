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

int usageError(const std::string& message) {
    std::fprintf(stderr, "kovtool sample: %s\n", message.c_str());
    std::fprintf(stderr, "usage: kovtool sample OUTDIR [--block N] [--asc]\n");
    return 2;
}

}  // namespace

int runSample(const Arguments& args) {
    std::string outDir;
    sample::SampleOptions options;
    const Option block = valueOption(
        "--block",
        [&options](const std::string& value, std::string& why) {
            if (parseNumber(value, options.block)) return true;
            why = "--block needs a number, not '" + value + "'";
            return false;
        },
        "--block needs a number");
    Operands folder;
    folder.dashed = [](const std::string&) { return false; };
    folder.take = [&outDir](const std::string& arg, std::string& why) {
        if (!outDir.empty()) {
            why = "more than one output folder given";
            return false;
        }
        outDir = arg;
        return true;
    };
    if (const auto refused =
            readArguments(args, {block, switchOption("--asc", options.esriAscii)}, folder))
        return usageError(refused->text);
    if (outDir.empty()) return usageError("no output folder given");
    std::string error;
    if (!sample::validateOptions(options, &error)) return usageError(error);
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
