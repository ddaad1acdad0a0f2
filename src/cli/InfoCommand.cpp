// kovtool info: the meshes of the given paths and their collection.
#include <cstdio>
#include <cstring>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "data/HMeshProject.h"
#include "data/TextCodec.h"

namespace kov::cli {
namespace {

const char* kindOf(const ZarHMesh& mesh) {
    if (std::strcmp(mesh.ClassName(), "ZarVeyMesh5") == 0) return "mesh5";
    if (std::strcmp(mesh.ClassName(), "ZarVeyMeshDSM") == 0) return "dsm";
    return "mesh";
}

void printJson(const HMeshProject& project) {
    MapRect extent;
    project.GetExtent(extent);
    std::string out = "{\"zone\":" + std::to_string(project.planeZone) + ",\"extent\":[" +
                      jsonNumber(extent.xmin) + "," + jsonNumber(extent.ymin) + "," +
                      jsonNumber(extent.xmax) + "," + jsonNumber(extent.ymax) + "],\"meshes\":[";
    for (int i = 0; i < project.MeshCount(); ++i) {
        const ZarHMesh& m = *project.GetMesh(i);
        if (i > 0) out += ",";
        out += "{\"kind\":\"" + std::string(kindOf(m)) + "\",\"path\":" + jsonString(m.path) +
               ",\"name\":" + jsonString(m.name) + ",\"cols\":" + std::to_string(m.cols) +
               ",\"rows\":" + std::to_string(m.rows) + ",\"cellSize\":" + jsonNumber(m.cellSize) +
               ",\"zone\":" + std::to_string(m.zone) + ",\"xmin\":" + jsonNumber(m.xmin) +
               ",\"ymin\":" + jsonNumber(m.ymin) + ",\"xmax\":" + jsonNumber(m.xmax) +
               ",\"ymax\":" + jsonNumber(m.ymax) +
               ",\"minElevation\":" + jsonNumber(m.minRaw * m.scale) +
               ",\"maxElevation\":" + jsonNumber(m.maxRaw * m.scale) + "}";
    }
    out += "]}\n";
    std::fputs(out.c_str(), stdout);
}

void printText(const HMeshProject& project) {
    for (int i = 0; i < project.MeshCount(); ++i) {
        const ZarHMesh& m = *project.GetMesh(i);
        std::printf("%-5s %s\n", kindOf(m), m.path.c_str());
        std::printf("      name       %s\n", LegacyTextToUtf8(m.name).c_str());
        std::printf("      grid       %d x %d cells of %g m, zone %d\n", m.cols, m.rows, m.cellSize,
                    m.zone);
        std::printf("      extent     x %.2f .. %.2f, y %.2f .. %.2f\n", m.xmin, m.xmax, m.ymin,
                    m.ymax);
        std::printf("      elevation  %.1f .. %.1f m\n", m.minRaw * m.scale, m.maxRaw * m.scale);
    }
    MapRect extent;
    project.GetExtent(extent);
    std::printf(
        "collection: %d mesh%s, zone %d, x %.2f .. %.2f, y %.2f .. %.2f, elevation %.1f .. %.1f "
        "m\n",
        project.MeshCount(), project.MeshCount() == 1 ? "" : "es", project.planeZone, extent.xmin,
        extent.xmax, extent.ymin, extent.ymax, project.GetMinElevation(),
        project.GetMaxElevation());
}

}  // namespace

int runInfo(const Arguments& args) {
    bool json = false;
    std::vector<std::string> paths;
    for (const std::string& arg : args) {
        if (arg == "--json") {
            json = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "kovtool info: unknown option '%s'\n", arg.c_str());
            return 2;
        } else {
            paths.push_back(arg);
        }
    }
    HMeshProject project;
    if (!loadDataPaths(paths, project)) return 1;
    if (json) {
        printJson(project);
    } else {
        printText(project);
    }
    return 0;
}

}  // namespace kov::cli
