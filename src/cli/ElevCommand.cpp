// kovtool elev: elevations at points, from the command line or streamed through stdin.
#include <cstdio>
#include <string>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "data/HMeshProject.h"

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
    bool covered = false;
    for (int i = 0; i < project.MeshCount(); ++i) {
        const ZarHMesh& mesh = *project.GetMesh(i);
        if (!mesh.Contains(x, y)) continue;
        covered = true;
        if (mesh.GetRawValue(x, y) == static_cast<double>(MESH_WATER)) {
            out += "water\n";
            return;
        }
    }
    out += covered ? "nodata\n" : "none\n";
}

// Streams "E N" lines from stdin; answers 0, or 1 after reporting the first bad line.
int answerStdin(const HMeshProject& project) {
    std::string pending;
    std::string out;
    char buffer[1 << 16];
    long long lineNumber = 0;
    auto handleLine = [&](std::string_view line) {
        ++lineNumber;
        if (line.find_first_not_of(" \t\r") == std::string_view::npos) return true;
        double x = 0.0, y = 0.0;
        if (!parsePair(line, x, y)) {
            std::fprintf(stderr, "kovtool elev: line %lld: expected \"E N\", got \"%.*s\"\n",
                         lineNumber, static_cast<int>(std::min<size_t>(line.size(), 80)),
                         line.data());
            return false;
        }
        appendAnswer(project, x, y, out);
        return true;
    };
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
        pending.append(buffer, n);
        size_t start = 0;
        for (size_t nl; (nl = pending.find('\n', start)) != std::string::npos; start = nl + 1) {
            if (!handleLine(std::string_view(pending).substr(start, nl - start))) {
                std::fwrite(out.data(), 1, out.size(), stdout);
                return 1;
            }
        }
        pending.erase(0, start);
        if (out.size() > (1 << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    const bool ok = pending.empty() || handleLine(pending);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return ok ? 0 : 1;
}

}  // namespace

int runElev(const Arguments& args) {
    std::vector<std::pair<double, double>> points;
    DataArguments data;
    const bool parsed = parseDataArguments("elev", args, data, [&](const Arguments& a, size_t& i) {
        if (a[i] != "--at" && a[i].rfind("--at=", 0) != 0) return OptionResult::NotMine;
        const std::string value =
            a[i] == "--at" ? (i + 1 < a.size() ? a[++i] : "") : a[i].substr(5);
        double x = 0.0, y = 0.0;
        if (!parsePair(value, x, y)) {
            std::fprintf(stderr, "kovtool elev: --at needs E,N (got \"%s\")\n", value.c_str());
            return OptionResult::Bad;
        }
        points.emplace_back(x, y);
        return OptionResult::Taken;
    });
    if (!parsed) return 2;
    HMeshProject project;
    if (!loadDataPaths(data.paths, project, data.dsmCellSize)) return 1;
    if (project.MeshCount() == 0) {
        std::fprintf(stderr, "kovtool elev: the given paths hold no elevation mesh\n");
        return 1;
    }
    if (points.empty()) return answerStdin(project);
    std::string out;
    for (const auto& [x, y] : points)
        appendAnswer(project, x, y, out);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

}  // namespace kov::cli
