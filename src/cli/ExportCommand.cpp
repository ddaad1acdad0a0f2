// SPDX-License-Identifier: MIT
// kovtool export: the collection's elevation as a GIS raster (Cloud-Optimized GeoTIFF, ESRI
// ASCII grid or a VRT over GeoTIFF tiles) in the zone's EPSG system.
#include <cstdio>

#include "cli/CollectionGrid.h"
#include "cli/Commands.h"
#include "core/base/HxProgress.h"
#include "core/data/gis/GisRaster.h"

namespace kov::cli {

int runExport(const Arguments& args) {
    std::string output;
    GridRequest request;
    DataArguments data;
    if (!parseDataArguments("export", args, data, {textOption("-o", output), rectOption(request)}))
        return 2;
    if (output.empty()) {
        std::fprintf(stderr, "kovtool export: -o OUT.tif (or OUT.asc, OUT.vrt) is required\n");
        return 2;
    }
    const std::optional<RasterFormat> format = rasterFormatOfPath(output);
    if (!format) {
        std::fprintf(stderr,
                     "kovtool export: %s: cannot write this format; the output name must end in "
                     ".tif, .asc or .vrt\n",
                     output.c_str());
        return 2;
    }
    HMeshProject project;
    if (!loadMeshes("export", data, project)) return 1;
    ElevationRaster raster;
    if (!sampleRequestedGrid("export", project, request, data, raster)) return 1;
    std::string error;
    const std::unique_ptr<HxProgress> progress = commandProgress(data.quiet);
    const bool written = writeElevationRaster(raster, output, *format, &error, {}, progress.get());
    progress->End();
    if (!written) {
        reportWriterFailure("export", output, error);
        return 1;
    }
    return 0;
}

}  // namespace kov::cli
