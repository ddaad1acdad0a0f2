// SPDX-License-Identifier: MIT
// kovtool elev: elevations at points, from the command line or streamed through stdin.
#include <cstdio>
#include <string>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Messages.h"
#include "core/data/HMeshProject.h"

namespace kov::cli {
namespace {

// Appends "E N VALUE\n": the elevation "%.2f", else water, nodata or none.
void appendAnswer(const HMeshProject& project, double x, double y, std::string& out) {
    out += jsonNumber(x);
    out += ' ';
    out += jsonNumber(y);
    out += ' ';
    double z = 0.0;
    if (project.FindElevation(x, y, z)) {
        char text[64];
        std::snprintf(text, sizeof text, "%.2f\n", z);
        out += text;
        return;
    }
    // Without an elevation the meshes hold water or no value there, or none covers the point.
    out += cellKindName(project.queryElevation(x, y, WaterCells::Answer).kind);
    out += '\n';
}

// Answers every "E N" line of stdin; 0, or 1 after a bad line.
int answerStdin(const HMeshProject& project) {
    std::string out;
    const bool complete = forEachStdinPair("elev", [&](double x, double y) {
        appendAnswer(project, x, y, out);
        if (out.size() > (1 << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
        return true;
    });
    std::fwrite(out.data(), 1, out.size(), stdout);
    return complete ? 0 : 1;
}

}  // namespace

int runElev(const Arguments& args) {
    std::vector<std::pair<double, double>> points;
    DataArguments data;
    const auto refusal = [](const std::string& value) {
        return formatted(
            localText("--at needs E,N (got \"%s\")", "--at には E,N を指定してください (\"%s\")"),
            value.c_str());
    };
    const Option at =
        valueOption(
            "--at",
            [&](const std::string& value, std::string& why) {
                double x = 0.0, y = 0.0;
                if (!parsePair(value, x, y)) {
                    why = refusal(value);
                    return false;
                }
                points.emplace_back(x, y);
                return true;
            },
            refusal(""))
            .explained("E,N", localText("a point; give it again for more, ", "点、複数可、") +
                                  std::string(pointOrderHelp()));
    static const CommandHelp kElevHelp{
        "elev", "PATH...|PROJECT.kovv5 [--at E,N]... [OPTION]...",
        localText("Elevation at points: \"E N ELEVATION\" a line, or water, nodata (a mesh\n"
                  "without a value) or none (no mesh). Without --at, the \"E N\" lines of\n"
                  "standard input.",
                  "点の標高: 一行に \"E N 標高\"、または water、nodata (値のないメッシュ)、\n"
                  "none (メッシュなし)。--at がなければ標準入力の \"E N\" の行。")};
    if (const std::optional<int> stop = parseDataArguments(kElevHelp, args, data, {at}))
        return *stop;
    HMeshProject project;
    if (!loadMeshes("elev", data, project)) return 1;
    if (points.empty()) return answerStdin(project);
    std::string out;
    for (const auto& [x, y] : points)
        appendAnswer(project, x, y, out);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

}  // namespace kov::cli
