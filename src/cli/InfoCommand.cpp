// SPDX-License-Identifier: MIT
// kovtool info: the meshes of the given paths and their collection.
#include <cstdio>
#include <cstring>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Messages.h"
#include "core/base/GeodeticDatum.h"
#include "core/base/TextCodec.h"
#include "core/data/HMeshProject.h"
#include "core/data/ShpImport.h"
#include "core/data/ZarHColorMap.h"
#include "core/data/ZarHImage.h"
#include "core/data/dem/ZonePlacement.h"
#include "core/project/ProjectFile.h"

namespace kov::cli {
namespace {

const char* kindOf(const ZarHMesh& mesh) {
    if (std::strcmp(mesh.className(), "ZarVeyMesh5") == 0) return "mesh5";
    if (std::strcmp(mesh.className(), "ZarVeyMeshDSM") == 0) return "dsm";
    if (dynamic_cast<const ZarDemMesh*>(&mesh)) return "dem";
    return "mesh";
}

// What a mesh placed from an elevation source was before: its kind, system and cells.
std::string sourceJson(const ZarHMesh& mesh) {
    const auto* dem = dynamic_cast<const ZarDemMesh*>(&mesh);
    if (!dem) return "";
    return ",\"source\":{\"kind\":" + jsonString(dem->sourceKind) +
           ",\"datum\":" + (dem->sourceDatum.empty() ? "null" : jsonString(dem->sourceDatum)) +
           ",\"crs\":" + jsonString(dem->sourceCrs) +
           ",\"spacing\":" + jsonNumber(dem->sourceSpacing) +
           ",\"ground\":" + std::to_string(dem->sourceCounts.ground) +
           ",\"water\":" + std::to_string(dem->sourceCounts.water) +
           ",\"noData\":" + std::to_string(dem->sourceCounts.noData) + "}";
}

void printSource(const ZarHMesh& mesh) {
    const auto* dem = dynamic_cast<const ZarDemMesh*>(&mesh);
    if (!dem) return;
    const CellCounts& counts = dem->sourceCounts;
    std::printf("      source     %s%s%s, %s, %g m spacing\n", dem->sourceKind.c_str(),
                dem->sourceDatum.empty() ? "" : ", datum ", dem->sourceDatum.c_str(),
                dem->sourceCrs.c_str(), dem->sourceSpacing);
    std::printf("      cells      %lld ground, %lld water, %lld no data\n",
                static_cast<long long>(counts.ground), static_cast<long long>(counts.water),
                static_cast<long long>(counts.noData));
}

// Parts of all polylines of a layer, the first part of each included.
long long partCount(const ShpImport& shape) {
    long long parts = 0;
    for (const SHP_POLYLINE& line : shape.polylines)
        parts += 1 + static_cast<long long>(line.parts.size());
    return parts;
}

std::string jsonColor(uint32_t color) {
    return "[" + std::to_string(color & 0xFF) + "," + std::to_string((color >> 8) & 0xFF) + "," +
           std::to_string((color >> 16) & 0xFF) + "]";
}

// The settings a project file carries, the stored layer paths that were not found and the
// layers that could not be read.
std::string projectJson(const HMeshProject& project, const ProjectLoadReport& report) {
    std::string out = ",\"title\":" + jsonString(project.projectTitle) +
                      ",\"showSheetInfo\":" + std::to_string(project.showSheetInfo) +
                      ",\"stepMode\":" + std::to_string(project.stepMode) +
                      ",\"stepHeight\":" + jsonNumber(project.stepHeight) +
                      ",\"imageVisible\":" + std::to_string(project.imageVisible) +
                      ",\"imageTransparency\":" + std::to_string(project.imageTransparency) +
                      ",\"shapePenWidth\":" + jsonNumber(project.shapePenWidth) +
                      ",\"shapePenColor\":" + jsonColor(project.shapePenColor) +
                      ",\"shapeFillAlpha\":" + std::to_string(project.shapeFillAlpha) +
                      ",\"shapeFillColor\":" + jsonColor(project.shapeFillColor) +
                      ",\"colorMap\":{\"stops\":[";
    if (const ZarHColorMap* map = project.colorMapSlot(0)) {
        for (int i = 0; i < map->stopCount(); ++i) {
            const ColorStop& stop = *map->stop(i);
            if (i > 0) out += ",";
            out += "{\"height\":" + jsonNumber(stop.height) +
                   ",\"color\":" + jsonColor(stop.color) +
                   ",\"reverse\":" + std::to_string(stop.reverse) + "}";
        }
    }
    out += "]},\"missing\":[";
    for (size_t i = 0; i < report.missing.size(); ++i)
        out += (i > 0 ? "," : "") + jsonString(report.missing[i]);
    out += "],\"unreadable\":[";
    for (size_t i = 0; i < report.unreadable.size(); ++i)
        out += (i > 0 ? "," : "") + std::string("{") + jsonPathFields(report.unreadable[i].path) +
               ",\"reason\":" + jsonString(report.unreadable[i].reason) + "}";
    return out + "]";
}

// The datum the mesh states (null when it states none, JGD2011 then being assumed) and the EPSG
// code of its zone on that datum (null for a zone outside 1..19).
std::string datumJson(const ZarHMesh& m) {
    const int epsg = planeRectangularEpsg(m.datum, m.zone);
    return ",\"datum\":" +
           (m.datum == GeodeticDatum::kUnstated ? "null" : jsonString(datumName(m.datum))) +
           ",\"epsg\":" + (epsg ? std::to_string(epsg) : "null");
}

std::string datumText(const ZarHMesh& m) {
    const int epsg = planeRectangularEpsg(m.datum, m.zone);
    std::string text =
        m.datum == GeodeticDatum::kUnstated ? "not stated (JGD2011 assumed)" : datumName(m.datum);
    return text + (epsg ? ", EPSG " + std::to_string(epsg) : ", no EPSG code for the zone");
}

void printJson(const HMeshProject& project, const std::string& projectFields) {
    MapRect extent;
    project.GetExtent(extent);
    std::string out = "{\"zone\":" + std::to_string(project.planeZone) + ",\"extent\":[" +
                      jsonNumber(extent.xmin) + "," + jsonNumber(extent.ymin) + "," +
                      jsonNumber(extent.xmax) + "," + jsonNumber(extent.ymax) + "],\"meshes\":[";
    for (int i = 0; i < project.meshCount(); ++i) {
        const ZarHMesh& m = *project.GetMesh(i);
        if (i > 0) out += ",";
        out += "{\"kind\":\"" + std::string(kindOf(m)) + "\"," + jsonPathFields(m.path) +
               ",\"name\":" + jsonString(m.name) + ",\"cols\":" + std::to_string(m.cols) +
               ",\"rows\":" + std::to_string(m.rows) + ",\"cellSize\":" + jsonNumber(m.cellSize) +
               ",\"zone\":" + std::to_string(m.zone) + ",\"xmin\":" + jsonNumber(m.xmin) +
               ",\"ymin\":" + jsonNumber(m.ymin) + ",\"xmax\":" + jsonNumber(m.xmax) +
               ",\"ymax\":" + jsonNumber(m.ymax) +
               ",\"minElevation\":" + jsonNumber(m.minRaw * m.scale) +
               ",\"maxElevation\":" + jsonNumber(m.maxRaw * m.scale) + datumJson(m) +
               sourceJson(m) + "}";
    }
    out += "],\"shapes\":[";
    for (int i = 0; i < project.shapeCount(); ++i) {
        const ShpImport& shape = *project.GetShape(i);
        if (i > 0) out += ",";
        out += "{" + jsonPathFields(shape.path) +
               ",\"points\":" + std::to_string(shape.pointCount()) +
               ",\"polylines\":" + std::to_string(shape.polylineCount()) +
               ",\"parts\":" + std::to_string(partCount(shape)) +
               ",\"hasZ\":" + (shape.carriesZ() ? "true" : "false") +
               ",\"hasM\":" + (shape.carriesM() ? "true" : "false") + ",\"bounds\":[" +
               jsonNumber(shape.bounds.xmin) + "," + jsonNumber(shape.bounds.ymin) + "," +
               jsonNumber(shape.bounds.xmax) + "," + jsonNumber(shape.bounds.ymax) + "]}";
    }
    out += "],\"images\":[";
    for (int i = 0; i < project.imageCount(); ++i) {
        const ZarHImage& image = *project.GetImage(i);
        if (i > 0) out += ",";
        out += "{" + jsonPathFields(image.path) + ",\"name\":" + jsonString(image.name) +
               ",\"width\":" + std::to_string(image.bitmap.width()) +
               ",\"height\":" + std::to_string(image.bitmap.height()) +
               ",\"xmin\":" + jsonNumber(image.xmin) + ",\"ymin\":" + jsonNumber(image.ymin) +
               ",\"xmax\":" + jsonNumber(image.xmax) + ",\"ymax\":" + jsonNumber(image.ymax) +
               ",\"zone\":" + std::to_string(image.zone) +
               ",\"utmZone\":" + std::to_string(image.utmZone) +
               ",\"datum\":" + std::to_string(image.datumFlag) + "}";
    }
    out += "]" + projectFields + "}\n";
    std::fputs(out.c_str(), stdout);
}

void printText(const HMeshProject& project) {
    for (int i = 0; i < project.meshCount(); ++i) {
        const ZarHMesh& m = *project.GetMesh(i);
        std::printf("%-5s %s\n", kindOf(m), legacyTextToUtf8(m.path).c_str());
        std::printf("      name       %s\n", legacyTextToUtf8(m.name).c_str());
        std::printf("      grid       %d x %d cells of %g m, zone %d\n", m.cols, m.rows, m.cellSize,
                    m.zone);
        std::printf("      extent     x %.2f .. %.2f, y %.2f .. %.2f\n", m.xmin, m.xmax, m.ymin,
                    m.ymax);
        std::printf("      elevation  %.1f .. %.1f m\n", m.minRaw * m.scale, m.maxRaw * m.scale);
        std::printf("      datum      %s\n", datumText(m).c_str());
        printSource(m);
    }
    for (int i = 0; i < project.shapeCount(); ++i) {
        const ShpImport& shape = *project.GetShape(i);
        std::printf("shape %s\n", legacyTextToUtf8(shape.path).c_str());
        std::printf("      records    %d points, %d polylines/polygons (%lld parts)\n",
                    shape.pointCount(), shape.polylineCount(), partCount(shape));
        std::printf("      bounds     x %.2f .. %.2f, y %.2f .. %.2f\n", shape.bounds.xmin,
                    shape.bounds.xmax, shape.bounds.ymin, shape.bounds.ymax);
    }
    for (int i = 0; i < project.imageCount(); ++i) {
        const ZarHImage& image = *project.GetImage(i);
        std::printf("image %s\n", legacyTextToUtf8(image.path).c_str());
        std::printf("      picture    %d x %d pixels\n", image.bitmap.width(),
                    image.bitmap.height());
        std::printf("      extent     x %.2f .. %.2f, y %.2f .. %.2f\n", image.xmin, image.xmax,
                    image.ymin, image.ymax);
        const char* datum = image.datumFlag ? "GRS 1980 datum" : "Tokyo datum";
        if (image.utmZone > 0) {
            std::printf("      system     UTM zone %d, %s\n", image.utmZone, datum);
        } else {
            std::printf("      system     zone %d, %s\n", image.zone, datum);
        }
    }
    if (project.meshCount() == 0) return;
    MapRect extent;
    project.GetExtent(extent);
    std::printf(
        "collection: %d mesh%s, zone %d, x %.2f .. %.2f, y %.2f .. %.2f, elevation %.1f .. %.1f "
        "m\n",
        project.meshCount(), project.meshCount() == 1 ? "" : "es", project.planeZone, extent.xmin,
        extent.xmax, extent.ymin, extent.ymax, project.GetMinElevation(),
        project.GetMaxElevation());
}

}  // namespace

int runInfo(const Arguments& args) {
    static const CommandHelp kInfoHelp{
        "info", "[OPTION]... PATH...|PROJECT.kovv5",
        localText("Describes the layers (tiles, DSM, shapefiles, images) and their extent; with\n"
                  "a project file also its settings and the layers that were not found.",
                  "レイヤー (タイル、DSM、シェープファイル、画像) と範囲を示します。\n"
                  "プロジェクトファイルでは設定と見つからないレイヤーも。")};
    bool json = false;
    DataArguments data;
    const Option jsonOption =
        switchOption("--json", json).explained({}, localText("as JSON", "JSON で"));
    if (const std::optional<int> stop = parseDataArguments(kInfoHelp, args, data, {jsonOption}))
        return *stop;
    HMeshProject project;
    ProjectLoadReport report;
    if (!loadDataPaths(data, project, &report)) return 1;
    if (json) {
        printJson(project, isProjectArgument(data.paths) ? projectJson(project, report) : "");
    } else {
        if (isProjectArgument(data.paths))
            std::printf("project %s\n      title      %s\n",
                        legacyTextToUtf8(data.paths[0]).c_str(), project.projectTitle.c_str());
        printText(project);
    }
    return 0;
}

}  // namespace kov::cli
