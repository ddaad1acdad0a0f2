// SPDX-License-Identifier: MIT
// kovtool contour: contour lines of the collection (GDAL's contour generator) as a vector file.
#include <cmath>
#include <cstdio>

#include "cli/CollectionGrid.h"
#include "cli/Commands.h"
#include "core/data/gis/Contours.h"

namespace kov::cli {
namespace {

// The most vertices the lines may hold (about 1 GB while they are written).
constexpr int64_t kMaxContourVertices = int64_t{1} << 25;

}  // namespace

int runContour(const Arguments& args) {
    std::string output;
    GridRequest request;
    ContourSettings settings;
    settings.interval = NAN;
    settings.maxVertices = kMaxContourVertices;
    DataArguments data;
    const std::vector<Option> options = {
        textOption("-o", output),
        rectOption(request),
        valueOption("--interval",
                    [&](const std::string& v) {
                        return parseNumber(v, settings.interval) && settings.interval > 0.0;
                    }),
        valueOption("--base", [&](const std::string& v) { return parseNumber(v, settings.base); }),
    };
    if (!parseDataArguments("contour", args, data, options)) return 2;
    if (output.empty() || std::isnan(settings.interval)) {
        std::fprintf(stderr, "kovtool contour: -o OUT and --interval M (> 0) are required\n");
        return 2;
    }
    if (!vectorFormatOfPath(output)) {
        std::fprintf(stderr,
                     "kovtool contour: %s: cannot write this format; the output name must end "
                     "in .gpkg, .geojson, .shp or .kml\n",
                     output.c_str());
        return 2;
    }
    HMeshProject project;
    if (!loadMeshes("contour", data, project)) return 1;
    ElevationRaster raster;
    if (!sampleRequestedGrid("contour", project, request, data, raster)) return 1;
    std::vector<ContourLine> lines;
    std::string error;
    if (!traceContours(raster, settings, lines, &error)) {
        std::fprintf(stderr, "kovtool contour: %s\n", error.c_str());
        return 2;  // the interval is too small for the area
    }
    const int epsg = raster.placement.epsg;
    raster = {};  // the cells are no longer needed while the file is written
    if (!writeVectorFile({contourLayer(lines)}, epsg, output, &error)) {
        reportWriterFailure("contour", output, error);
        return 1;
    }
    return 0;
}

}  // namespace kov::cli
