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
#include "core/data/gis/CollectionRaster.h"
#include "core/data/gis/CoordinateSystem.h"
#include "core/data/gis/GdalModule.h"
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
    std::printf(localText("      source     %s%s%s, %s, %g m spacing\n",
                          "      元データ   %s%s%s、%s、%g m 間隔\n"),
                dem->sourceKind.c_str(),
                dem->sourceDatum.empty() ? "" : localText(", datum ", "、測地系 "),
                dem->sourceDatum.c_str(), dem->sourceCrs.c_str(), dem->sourceSpacing);
    std::printf(localText("      cells      %lld ground, %lld water, %lld no data\n",
                          "      セル       地表 %lld、水面 %lld、値なし %lld\n"),
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

std::string jsonBool(bool value) {
    return value ? "true" : "false";
}

// A rectangle as [Emin, Nmin, Emax, Nmax], the order of every extent kovtool writes.
std::string jsonExtent(double eastMin, double northMin, double eastMax, double northMax) {
    return "[" + jsonNumber(eastMin) + "," + jsonNumber(northMin) + "," + jsonNumber(eastMax) +
           "," + jsonNumber(northMax) + "]";
}

// GDAL's geotransform of a north-up grid of cols x rows over the rectangle: the top-left
// corner, the cell width, no rotation, the corner's northing and the (negative) cell height.
std::string jsonGeoTransform(double eastMin, double northMin, double eastMax, double northMax,
                             int cols, int rows) {
    const double width = cols > 0 ? (eastMax - eastMin) / cols : 0.0;
    const double height = rows > 0 ? (northMax - northMin) / rows : 0.0;
    return "[" + jsonNumber(eastMin) + "," + jsonNumber(width) + ",0," + jsonNumber(northMax) +
           ",0," + jsonNumber(-height) + "]";
}

std::string jsonIntegers(const std::vector<int>& values) {
    std::string out = "[";
    for (size_t i = 0; i < values.size(); ++i)
        out += (i > 0 ? "," : "") + std::to_string(values[i]);
    return out + "]";
}

// The system of the collection as gdalinfo -json names a raster's: its WKT2, its EPSG code and
// which of its axes our easting and northing are. Null without one.
std::string coordinateSystemJson(int epsg) {
    const std::string wkt = coordinateSystemWkt(epsg);
    if (wkt.empty()) return "null";
    return "{\"wkt\":" + jsonString(wkt) + ",\"epsg\":" + std::to_string(epsg) +
           ",\"dataAxisToSRSAxisMapping\":" + jsonIntegers(eastNorthAxisMapping(epsg)) + "}";
}

// The extent in WGS 84 as a GeoJSON polygon, as gdalinfo -json writes it: the corners from the
// top left counter-clockwise (lower left, lower right, upper right) and back. Null when the
// corners cannot be transformed.
std::string wgs84ExtentJson(int epsg, const MapRect& extent) {
    std::vector<LonLat> corners;
    if (!toWgs84(epsg,
                 {{extent.xmin, extent.ymax},
                  {extent.xmin, extent.ymin},
                  {extent.xmax, extent.ymin},
                  {extent.xmax, extent.ymax},
                  {extent.xmin, extent.ymax}},
                 corners))
        return "null";
    std::string out = "{\"type\":\"Polygon\",\"coordinates\":[[";
    for (size_t i = 0; i < corners.size(); ++i)
        out += std::string(i > 0 ? "," : "") + "[" + jsonNumber(corners[i].lon) + "," +
               jsonNumber(corners[i].lat) + "]";
    return out + "]]}";
}

std::string jsonColor(uint32_t color) {
    return "[" + std::to_string(color & 0xFF) + "," + std::to_string((color >> 8) & 0xFF) + "," +
           std::to_string((color >> 16) & 0xFF) + "]";
}

// The settings a project file carries, the stored layer paths that were not found and the
// layers that could not be read.
std::string projectJson(const HMeshProject& project, const ProjectLoadReport& report) {
    std::string out = ",\"title\":" + jsonString(project.projectTitle) +
                      ",\"showSheetInfo\":" + jsonBool(project.showSheetInfo != 0) +
                      ",\"stepMode\":" + std::to_string(project.stepMode) +
                      ",\"stepHeight\":" + jsonNumber(project.stepHeight) +
                      ",\"imageVisible\":" + jsonBool(project.imageVisible != 0) +
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
                   ",\"reverse\":" + jsonBool(stop.reverse != 0) + "}";
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
        m.datum == GeodeticDatum::kUnstated
            ? localText("not stated (JGD2011 assumed)", "記載なし（JGD2011 とみなします）")
            : datumName(m.datum);
    return text + (epsg ? ", EPSG " + std::to_string(epsg)
                        : localText(", no EPSG code for the zone", "、この系の EPSG コードなし"));
}

void printJson(const HMeshProject& project, const std::string& projectFields) {
    MapRect extent;
    project.GetExtent(extent);
    const int epsg = project.meshCount() > 0 ? collectionEpsg(project) : 0;
    std::string out =
        "{\"zone\":" + std::to_string(project.planeZone) +
        ",\"coordinateSystem\":" + coordinateSystemJson(epsg) +
        ",\"extent\":" + jsonExtent(extent.xmin, extent.ymin, extent.xmax, extent.ymax) +
        ",\"wgs84Extent\":" + (epsg ? wgs84ExtentJson(epsg, extent) : "null") + ",\"meshes\":[";
    for (int i = 0; i < project.meshCount(); ++i) {
        const ZarHMesh& m = *project.GetMesh(i);
        if (i > 0) out += ",";
        out += "{\"kind\":\"" + std::string(kindOf(m)) + "\"," + jsonPathFields(m.path) +
               ",\"name\":" + jsonString(m.name) + ",\"cols\":" + std::to_string(m.cols) +
               ",\"rows\":" + std::to_string(m.rows) + ",\"cellSize\":" + jsonNumber(m.cellSize) +
               ",\"zone\":" + std::to_string(m.zone) +
               ",\"extent\":" + jsonExtent(m.xmin, m.ymin, m.xmax, m.ymax) + ",\"geoTransform\":" +
               jsonGeoTransform(m.xmin, m.ymin, m.xmax, m.ymax, m.cols, m.rows) +
               ",\"minElevation\":" + jsonNumber(m.minRaw * m.scale) +
               ",\"maxElevation\":" + jsonNumber(m.maxRaw * m.scale) + datumJson(m) +
               sourceJson(m) + "}";
    }
    out += "],\"shapes\":[";
    for (int i = 0; i < project.shapeCount(); ++i) {
        const ShpImport& shape = *project.GetShape(i);
        const MapRect& b = shape.bounds;
        if (i > 0) out += ",";
        out +=
            "{" + jsonPathFields(shape.path) + ",\"points\":" + std::to_string(shape.pointCount()) +
            ",\"polylines\":" + std::to_string(shape.polylineCount()) +
            ",\"parts\":" + std::to_string(partCount(shape)) +
            ",\"hasZ\":" + jsonBool(shape.carriesZ()) + ",\"hasM\":" + jsonBool(shape.carriesM()) +
            ",\"extent\":" + jsonExtent(b.xmin, b.ymin, b.xmax, b.ymax) + "}";
    }
    out += "],\"images\":[";
    for (int i = 0; i < project.imageCount(); ++i) {
        const ZarHImage& image = *project.GetImage(i);
        const int width = image.bitmap.width();
        const int height = image.bitmap.height();
        if (i > 0) out += ",";
        out += "{" + jsonPathFields(image.path) + ",\"name\":" + jsonString(image.name) +
               ",\"width\":" + std::to_string(width) + ",\"height\":" + std::to_string(height) +
               ",\"extent\":" + jsonExtent(image.xmin, image.ymin, image.xmax, image.ymax) +
               ",\"geoTransform\":" +
               jsonGeoTransform(image.xmin, image.ymin, image.xmax, image.ymax, width, height) +
               ",\"zone\":" + std::to_string(image.zone) +
               ",\"utmZone\":" + std::to_string(image.utmZone) +
               ",\"datum\":" + (image.datumFlag ? "\"GRS 1980\"" : "\"Tokyo\"") + "}";
    }
    out += "]" + projectFields + "}\n";
    std::fputs(out.c_str(), stdout);
}

// "E 1.00 .. 2.00, N 3.00 .. 4.00": the extent with its axes named, as every text of kovtool
// names them (the window's "X" is the northing).
std::string extentText(double eastMin, double northMin, double eastMax, double northMax) {
    char text[200];
    std::snprintf(text, sizeof text,
                  localText("E %.2f .. %.2f, N %.2f .. %.2f", "E %.2f .. %.2f、N %.2f .. %.2f"),
                  eastMin, eastMax, northMin, northMax);
    return text;
}

void printMeshText(const ZarHMesh& m) {
    std::printf("%-5s %s\n", kindOf(m), legacyTextToUtf8(m.path).c_str());
    std::printf(localText("      name       %s\n", "      名称       %s\n"),
                legacyTextToUtf8(m.name).c_str());
    std::printf(localText("      grid       %d x %d cells of %g m, zone %d\n",
                          "      格子       %d x %d セル（%g m）、%d 系\n"),
                m.cols, m.rows, m.cellSize, m.zone);
    std::printf(localText("      extent     %s\n", "      範囲       %s\n"),
                extentText(m.xmin, m.ymin, m.xmax, m.ymax).c_str());
    std::printf(localText("      elevation  %.1f .. %.1f m\n", "      標高       %.1f .. %.1f m\n"),
                m.minRaw * m.scale, m.maxRaw * m.scale);
    std::printf(localText("      datum      %s\n", "      測地系     %s\n"), datumText(m).c_str());
    printSource(m);
}

void printShapeText(const ShpImport& shape) {
    const MapRect& b = shape.bounds;
    std::printf("shape %s\n", legacyTextToUtf8(shape.path).c_str());
    std::printf(localText("      records    %d points, %d polylines/polygons (%lld parts)\n",
                          "      レコード   点 %d、線・面 %d（パート %lld）\n"),
                shape.pointCount(), shape.polylineCount(), partCount(shape));
    std::printf(localText("      extent     %s\n", "      範囲       %s\n"),
                extentText(b.xmin, b.ymin, b.xmax, b.ymax).c_str());
}

void printImageText(const ZarHImage& image) {
    std::printf("image %s\n", legacyTextToUtf8(image.path).c_str());
    std::printf(localText("      picture    %d x %d pixels\n", "      画像       %d x %d 画素\n"),
                image.bitmap.width(), image.bitmap.height());
    std::printf(localText("      extent     %s\n", "      範囲       %s\n"),
                extentText(image.xmin, image.ymin, image.xmax, image.ymax).c_str());
    const char* datum = image.datumFlag ? localText("GRS 1980 datum", "GRS 1980 の測地系")
                                        : localText("Tokyo datum", "日本測地系（旧）");
    if (image.utmZone > 0) {
        std::printf(
            localText("      system     UTM zone %d, %s\n", "      座標系     UTM %d 帯、%s\n"),
            image.utmZone, datum);
    } else {
        std::printf(localText("      system     zone %d, %s\n", "      座標系     %d 系、%s\n"),
                    image.zone, datum);
    }
}

void printText(const HMeshProject& project) {
    for (int i = 0; i < project.meshCount(); ++i)
        printMeshText(*project.GetMesh(i));
    for (int i = 0; i < project.shapeCount(); ++i)
        printShapeText(*project.GetShape(i));
    for (int i = 0; i < project.imageCount(); ++i)
        printImageText(*project.GetImage(i));
    if (project.meshCount() == 0) return;
    MapRect extent;
    project.GetExtent(extent);
    std::printf(localText("collection: %d mesh%s, zone %d, %s, elevation %.1f .. %.1f m\n",
                          "全体: メッシュ %d%s、%d 系、%s、標高 %.1f .. %.1f m\n"),
                project.meshCount(), japaneseMessages() || project.meshCount() == 1 ? "" : "es",
                project.planeZone,
                extentText(extent.xmin, extent.ymin, extent.xmax, extent.ymax).c_str(),
                project.GetMinElevation(), project.GetMaxElevation());
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
    std::string noGdal;
    if (json && project.meshCount() > 0 && gdalModule(&noGdal) == nullptr) {
        // The coordinate system's WKT and the WGS 84 extent come from PROJ.
        std::fprintf(stderr,
                     localText("kovtool info: %s\n", "kovtool info: JSON を作れません: %s\n"),
                     noGdal.c_str());
        return 1;
    }
    if (json) {
        printJson(project, isProjectArgument(data.paths) ? projectJson(project, report) : "");
    } else {
        if (isProjectArgument(data.paths))
            std::printf(
                localText("project %s\n      title      %s\n", "project %s\n      表題       %s\n"),
                legacyTextToUtf8(data.paths[0]).c_str(), project.projectTitle.c_str());
        printText(project);
    }
    return 0;
}

}  // namespace kov::cli
