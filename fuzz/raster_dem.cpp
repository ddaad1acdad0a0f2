// SPDX-License-Identifier: MIT
// Fuzzes the raster DEM reader: the input is a raster file (a GeoTIFF, or any format GDAL tells
// by its content) held in GDAL's memory file system. The reader runs in the GDAL module, loaded
// from beside this program; it shares this program's GDAL and so sees the memory file.
// The fuzz targets are not given GDAL's include folder: name it from the system one.
#include <gdal/cpl_vsi.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/data/dem/RasterDem.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string path = "/vsimem/fuzz/raster.tif";
    VSILFILE* file = VSIFileFromMemBuffer(path.c_str(), const_cast<GByte*>(bytes), size, FALSE);
    if (file == nullptr) return 0;
    VSIFCloseL(file);

    kov::probeRaster(path);
    // Grids beyond 65536 cells only slow the fuzzer down: they must be refused.
    constexpr int64_t kMostCells = 1 << 16;
    kov::GeoGrid grid;
    std::string error;
    if (kov::readRasterDem(path, grid, kMostCells, &error)) {
        if (grid.codes.size() != static_cast<size_t>(grid.cols) * grid.rows ||
            static_cast<int64_t>(grid.codes.size()) > kMostCells ||
            grid.counts.ground + grid.counts.noData != static_cast<int64_t>(grid.codes.size()) ||
            !(grid.stepX > 0.0) || !(grid.stepY > 0.0))
            __builtin_trap();
    } else if (error.empty()) {
        __builtin_trap();
    }
    VSIUnlink(path.c_str());
    return 0;
}
