// SPDX-License-Identifier: MIT
// kovtool export: the collection's elevation as a GIS raster (Cloud-Optimized GeoTIFF, ESRI
// ASCII grid or a VRT over GeoTIFF tiles) in the zone's EPSG system.
#include <cstdio>

#include "cli/CollectionGrid.h"
#include "cli/Commands.h"
#include "cli/Messages.h"
#include "core/base/HxProgress.h"
#include "core/data/gis/GisRaster.h"

namespace kov::cli {
namespace {

const CommandHelp kExportHelp{
    "export", "PATH... -o OUT.tif|OUT.asc|OUT.vrt [OPTION]...",
    localText("The elevation as a GIS raster in the zone's EPSG system (.tif: COG; .vrt: over\n"
              "GeoTIFF tiles in OUT_tiles/): band 1 metres, nodata -9999; band 2 class: 0 no\n"
              "data, 1 ground, 2 water (.asc: one band, water is nodata); cells of --cell M,\n"
              "else of the finest mesh.",
              "標高を座標系の EPSG の GIS ラスターに (.tif: COG、.vrt: OUT_tiles/ の GeoTIFF\n"
              "タイルの上に): バンド 1 は m、nodata -9999。バンド 2 は区分: 0 値なし、1 地面、\n"
              "2 水面 (.asc は一バンドで水面は nodata)。セルは --cell M、\n"
              "なければ最も細かいメッシュの大きさ。")};

}  // namespace

int runExport(const Arguments& args) {
    OutputArgument out;
    GridRequest request;
    DataArguments data;
    const std::vector<Option> options = {
        textOption("-o", out.path)
            .explained("OUT", localText("the raster: .tif, .asc or .vrt (files only)",
                                        "ラスター: .tif、.asc、.vrt (ファイルのみ)")),
        rectOption(request)};
    if (const std::optional<int> stop = parseDataArguments(kExportHelp, args, data, options))
        return *stop;
    const std::string& output = out.path;
    if (output.empty()) {
        std::fputs(localText("kovtool export: -o OUT.tif (or OUT.asc, OUT.vrt) is required\n",
                             "kovtool export: -o OUT.tif (か OUT.asc、OUT.vrt) が必要です\n"),
                   stderr);
        return 2;
    }
    if (!checkOutputArgument("export", out)) return 2;
    const std::optional<RasterFormat> format = rasterFormatOfPath(output);
    if (!format) {
        std::fprintf(stderr,
                     localText("kovtool export: %s: cannot write this format; the output name "
                               "must end in .tif, .asc or .vrt\n",
                               "kovtool export: %s: この形式は書けません。出力名の末尾は .tif、"
                               ".asc、.vrt のいずれかにしてください\n"),
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
