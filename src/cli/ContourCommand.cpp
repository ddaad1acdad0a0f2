// SPDX-License-Identifier: MIT
// kovtool contour: contour lines of the collection (GDAL's contour generator) as a vector file.
#include <cmath>
#include <cstdio>

#include "cli/CollectionGrid.h"
#include "cli/Commands.h"
#include "cli/Messages.h"
#include "core/data/gis/Contours.h"
#include "core/data/gis/GdalModule.h"

namespace kov::cli {
namespace {

// The most vertices the lines may hold (about 1 GB while they are written).
constexpr int64_t kMaxContourVertices = int64_t{1} << 25;

const CommandHelp kContourHelp{
    "contour", "PATH... -o OUT --interval M [OPTION]...",
    localText("Contour lines of the elevation (GDAL's contour generator on the grid export\n"
              "writes): fields elev and index (1 on every fifth line from --base); at most\n"
              "33554432 vertices.",
              "標高の等高線 (export と同じ格子に GDAL の等高線生成): 属性 elev と index\n"
              "(--base から五本ごとに 1)、頂点は 33554432 まで。")};

}  // namespace

int runContour(const Arguments& args) {
    OutputArgument output;
    GridRequest request;
    ContourSettings settings;
    settings.interval = NAN;
    settings.maxVertices = kMaxContourVertices;
    DataArguments data;
    std::vector<Option> options =
        outputOptions(output,
                      localText("the lines: .gpkg, .geojson, .shp or .kml; - for standard output "
                                "(geojson)",
                                "等高線: .gpkg、.geojson、.shp、.kml。- で標準出力 (geojson)"),
                      {"geojson"});
    options.push_back(rectOption(request));
    options.push_back(valueOption("--interval",
                                  [&](const std::string& v) {
                                      return parseNumber(v, settings.interval) &&
                                             settings.interval > 0.0;
                                  })
                          .explained("M", localText("height between lines in metres (> 0; "
                                                    "required)",
                                                    "等高線の間隔 (m、正の数、必須)")));
    options.push_back(
        valueOption("--base", [&](const std::string& v) { return parseNumber(v, settings.base); })
            .explained("M", localText("a height the lines pass (default 0)",
                                      "等高線が通る高さ (既定 0)")));
    if (const std::optional<int> stop = parseDataArguments(kContourHelp, args, data, options))
        return *stop;
    if (output.path.empty() || std::isnan(settings.interval)) {
        std::fputs(localText("kovtool contour: -o OUT and --interval M (> 0) are required\n",
                             "kovtool contour: -o OUT と --interval M (> 0) が必要です\n"),
                   stderr);
        return 2;
    }
    if (!checkOutputArgument("contour", output)) return 2;
    if (!vectorFormatOfPath(output.formatName())) {
        std::fprintf(stderr,
                     localText("kovtool contour: %s: cannot write this format; the output name "
                               "must end in .gpkg, .geojson, .shp or .kml\n",
                               "kovtool contour: %s: この形式は書けません。出力名の末尾は "
                               ".gpkg、.geojson、.shp、.kml のいずれかにしてください\n"),
                     output.path.c_str());
        return 2;
    }
    HMeshProject project;
    if (!loadMeshes("contour", data, project)) return 1;
    ElevationRaster raster;
    if (!sampleRequestedGrid("contour", project, request, data, raster)) return 1;
    std::vector<ContourLine> lines;
    std::string error;
    if (gdalModule(&error) == nullptr) {  // GDAL traces the lines
        reportWriterFailure("contour", output.path, error);
        return 1;
    }
    if (!traceContours(raster, settings, lines, &error)) {
        std::fprintf(
            stderr, localText("kovtool contour: %s\n", "kovtool contour: 等高線を引けません: %s\n"),
            error.c_str());
        return 2;  // the interval is too small for the area
    }
    const int epsg = raster.placement.epsg;
    raster = {};  // the cells are no longer needed while the file is written
    const OutputFile file(output);
    if (!writeVectorFile({contourLayer(lines)}, epsg, file.path(), &error)) {
        reportWriterFailure("contour", output.path, error);
        return 1;
    }
    return file.deliver("contour") ? 0 : 1;
}

}  // namespace kov::cli
