// kovtool sample OUTDIR [--block N] [--asc]: writes the deterministic sample data set.
#include <charconv>
#include <cstdio>
#include <string>

#include "cli/Commands.h"
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
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--block") {
            if (i + 1 >= args.size()) return usageError("--block needs a number");
            const std::string& text = args[++i];
            int n = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
            if (ec != std::errc() || end != text.data() + text.size()) {
                return usageError("--block needs a number, not '" + text + "'");
            }
            options.block = n;
        } else if (arg == "--asc") {
            options.esriAscii = true;
        } else if (!arg.empty() && arg[0] == '-') {
            return usageError("unknown option '" + arg + "'");
        } else if (outDir.empty()) {
            outDir = arg;
        } else {
            return usageError("more than one output folder given");
        }
    }
    if (outDir.empty()) return usageError("no output folder given");
    std::string error;
    if (!sample::validateOptions(options, &error)) return usageError(error);
    if (!sample::writeSampleDataSet(outDir, options, &error)) {
        std::fprintf(stderr, "kovtool sample: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace kov::cli
