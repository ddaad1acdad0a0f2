// SPDX-License-Identifier: MIT
// Georeferenced rasters through GDAL: the cells are lent to MEM datasets (no copy) and the
// format's driver copies them into a file inside a scratch folder beside the target, which is
// then moved into place with its companions.
#include "core/data/gis/GisRaster.h"

#include <cpl_minixml.h>
#include <cpl_string.h>
#include <gdal_utils.h>

#include <QImage>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "core/base/HxProgress.h"
#include "core/base/PathNames.h"
#include "core/base/ScratchFolder.h"
#include "core/data/gdal/GdalSupport.h"

namespace kov {
namespace {

namespace fs = std::filesystem;
using gis::fail;
using gis::gdalReason;

// The VRT's tiles: 2048 x 2048 cells (32 MB of both bands) keep a tile quick to open on its
// own and the tile count of a prefecture's data in the hundreds.
constexpr int kVrtTileCells = 2048;

constexpr const char* kClassEncoding = "0 no data, 1 ground, 2 water";

// A part of the placement: cols x rows cells from cell (col, row).
struct Window {
    int col = 0;
    int row = 0;
    int cols = 0;
    int rows = 0;
};

void describeBand(GDALRasterBand& band, const char* name, const char* encoding) {
    band.SetDescription(name);
    band.SetMetadataItem("ENCODING", encoding);
}

// The elevation (and the class band, when given) of a window as a MEM dataset over the
// caller's buffers.
GDALDatasetUniquePtr elevationDataset(const ElevationRaster& raster, const RasterQuantity& quantity,
                                      const float* classes, const Window& w, std::string* error) {
    GDALDatasetUniquePtr dataset = gis::emptyMemoryDataset(w.cols, w.rows);
    if (!dataset) {
        fail(error, "cannot make the raster" + gdalReason());
        return nullptr;
    }
    const size_t first = static_cast<size_t>(w.row) * raster.placement.cols + w.col;
    const size_t line = static_cast<size_t>(raster.placement.cols) * sizeof(float);
    bool lent =
        gis::lendBand(*dataset, GDT_Float32, raster.metres.data() + first, sizeof(float), line);
    if (classes)
        lent = lent && gis::lendBand(*dataset, GDT_Float32, classes + first, sizeof(float), line);
    if (!lent || !gis::placeDataset(*dataset, raster.placement, w.col, w.row, error)) {
        if (!lent) fail(error, "cannot make the raster" + gdalReason());
        return nullptr;
    }
    GDALRasterBand& elevation = *dataset->GetRasterBand(1);
    elevation.SetNoDataValue(ElevationRaster::kRasterNoData);
    elevation.SetUnitType("m");
    describeBand(elevation, quantity.name, quantity.encoding);
    if (classes) describeBand(*dataset->GetRasterBand(2), "class", kClassEncoding);
    return dataset;
}

// The class band's values; none for a quantity without one.
std::vector<float> classValues(const ElevationRaster& raster, const RasterQuantity& quantity) {
    if (!quantity.classBand) return {};
    std::vector<float> values(raster.classes.size());
    std::transform(raster.classes.begin(), raster.classes.end(), values.begin(),
                   [](CellClass c) { return static_cast<float>(c); });
    return values;
}

// A part of a write reported to the caller's progress: GDAL's fraction of this copy mapped onto
// [first, first + span) of the whole; the user's cancel stops GDAL.
struct ProgressPart {
    HxProgress* progress = nullptr;
    double first = 0.0;
    double span = 1.0;
};
constexpr long long kProgressSteps = 1000;

int CPL_STDCALL reportProgress(double complete, const char*, void* data) {
    const ProgressPart& part = *static_cast<const ProgressPart*>(data);
    const double whole = part.first + part.span * std::clamp(complete, 0.0, 1.0);
    return part.progress->SetPos(static_cast<long long>(whole * kProgressSteps), kProgressSteps) ==
               0 &&
           !part.progress->IsCancelled();
}

bool copyDataset(const char* driverName, GDALDataset& source, const std::string& file,
                 const std::vector<std::string>& options, std::string* error,
                 const ProgressPart& part = {}) {
    GDALDriver* driver = gis::writingDriver(driverName, error);
    if (driver == nullptr) return false;
    CPLErrorReset();
    const CPLStringList list = gis::stringList(options);
    GDALDatasetUniquePtr written(driver->CreateCopy(
        file.c_str(), &source, FALSE, const_cast<char**>(list.List()),
        part.progress ? reportProgress : nullptr, const_cast<ProgressPart*>(&part)));
    if (part.progress && part.progress->IsCancelled()) return fail(error, "cancelled");
    if (!written) return fail(error, std::string(driverName) + " failed" + gdalReason());
    written.reset();  // closing flushes: its failure is the last error
    if (CPLGetLastErrorType() == CE_Failure)
        return fail(error, std::string(driverName) + " failed" + gdalReason());
    return true;
}

const std::vector<std::string>& tiffOptions() {
    static const std::vector<std::string> options = {"TILED=YES", "COMPRESS=DEFLATE", "PREDICTOR=3",
                                                     "NUM_THREADS=ALL_CPUS"};
    return options;
}

// Nearest overviews keep the class band's codes whole.
bool writeCog(const ElevationRaster& raster, const RasterQuantity& quantity,
              const std::string& file, std::string* error, HxProgress* progress) {
    const std::vector<float> classes = classValues(raster, quantity);
    const Window all{0, 0, raster.placement.cols, raster.placement.rows};
    GDALDatasetUniquePtr source = elevationDataset(
        raster, quantity, quantity.classBand ? classes.data() : nullptr, all, error);
    return source && copyDataset("COG", *source, file,
                                 {"COMPRESS=DEFLATE", "PREDICTOR=YES", "OVERVIEWS=AUTO",
                                  "RESAMPLING=NEAREST", "NUM_THREADS=ALL_CPUS"},
                                 error, {progress});
}

// One band: an ASCII grid has no second band, so water is no data there.
bool writeAsciiGrid(const ElevationRaster& raster, const RasterQuantity& quantity,
                    const std::string& file, std::string* error, HxProgress* progress) {
    const Window all{0, 0, raster.placement.cols, raster.placement.rows};
    GDALDatasetUniquePtr source = elevationDataset(raster, quantity, nullptr, all, error);
    return source &&
           copyDataset("AAIGrid", *source, file, {"DECIMAL_PRECISION=3"}, error, {progress});
}

std::vector<Window> tileWindows(const RasterPlacement& p) {
    std::vector<Window> windows;
    for (int row = 0; row < p.rows; row += kVrtTileCells)
        for (int col = 0; col < p.cols; col += kVrtTileCells)
            windows.push_back({col, row, std::min(kVrtTileCells, p.cols - col),
                               std::min(kVrtTileCells, p.rows - row)});
    return windows;
}

bool describeVrt(GDALDatasetH vrt, const RasterQuantity& quantity) {
    GDALDataset& dataset = *GDALDataset::FromHandle(vrt);
    GDALRasterBand& elevation = *dataset.GetRasterBand(1);
    elevation.SetUnitType("m");
    describeBand(elevation, quantity.name, quantity.encoding);
    if (quantity.classBand) describeBand(*dataset.GetRasterBand(2), "class", kClassEncoding);
    CPLErrorReset();
    GDALClose(vrt);
    return CPLGetLastErrorType() != CE_Failure;
}

// GeoTIFF tiles in "<stem>_tiles/" and the VRT over them, its paths relative to itself.
bool writeVrt(const ElevationRaster& raster, const RasterQuantity& quantity, const fs::path& file,
              std::string* error, HxProgress* progress) {
    const std::string folderName = file.stem().string() + "_tiles";
    const fs::path folder = file.parent_path() / folderName;
    std::error_code ec;
    if (!fs::create_directory(folder, ec)) return fail(error, "cannot make " + folder.string());
    const std::vector<float> classes = classValues(raster, quantity);
    std::vector<std::string> tiles;
    const std::vector<Window> windows = tileWindows(raster.placement);
    const double share = 1.0 / static_cast<double>(windows.size());
    for (const Window& w : windows) {
        GDALDatasetUniquePtr source = elevationDataset(
            raster, quantity, quantity.classBand ? classes.data() : nullptr, w, error);
        const std::string name = "tile_" + std::to_string(w.row / kVrtTileCells) + "_" +
                                 std::to_string(w.col / kVrtTileCells) + ".tif";
        const ProgressPart part{progress, share * static_cast<double>(tiles.size()), share};
        if (!source ||
            !copyDataset("GTiff", *source, (folder / name).string(), tiffOptions(), error, part))
            return false;
        tiles.push_back((folder / name).string());
    }
    CPLStringList names = gis::stringList(tiles);
    CPLErrorReset();
    GDALDatasetH vrt =
        GDALBuildVRT(file.c_str(), names.size(), nullptr, names.List(), nullptr, nullptr);
    if (vrt == nullptr || !describeVrt(vrt, quantity))
        return fail(error, "the VRT failed" + gdalReason());
    return true;
}

bool checkRaster(const ElevationRaster& raster, const RasterQuantity& quantity,
                 std::string* error) {
    const RasterPlacement& p = raster.placement;
    const size_t cells = isPlaced(p) ? static_cast<size_t>(p.cols) * p.rows : 0;
    if (cells == 0) return fail(error, "the raster has no cells");
    if (raster.metres.size() != cells || (quantity.classBand && raster.classes.size() != cells))
        return fail(error, "the raster's size and its cells do not agree");
    return true;
}

}  // namespace

bool writeElevationRaster(const ElevationRaster& raster, const std::string& path,
                          RasterFormat format, std::string* error, const RasterQuantity& quantity,
                          HxProgress* progress) {
    if (!checkRaster(raster, quantity, error)) return false;
    if (!gis::spatialReference(raster.placement.epsg))
        return fail(error,
                    "unknown coordinate system EPSG:" + std::to_string(raster.placement.epsg));
    ScratchFolder scratch(path);
    if (scratch.path().empty()) return fail(error, "cannot write in the folder of " + path);
    const fs::path file = scratch.file();
    std::string why;
    bool written = false;
    switch (format) {
        case RasterFormat::CloudOptimizedGeoTiff:
            written = writeCog(raster, quantity, file, &why, progress);
            break;
        case RasterFormat::AsciiGrid:
            written = writeAsciiGrid(raster, quantity, file, &why, progress);
            break;
        case RasterFormat::Vrt:
            written = writeVrt(raster, quantity, file, &why, progress);
            break;
    }
    if (!written) return fail(error, "cannot write " + path + ": " + why);
    return scratch.moveIntoPlace(error);
}

bool writeImageGeoTiff(const QImage& image, const RasterPlacement& placement,
                       const std::string& path, std::string* error) {
    if (!isPlaced(placement) || image.width() != placement.cols || image.height() != placement.rows)
        return fail(error, "the picture's size and its placement do not agree");
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    GDALDatasetUniquePtr source = gis::emptyMemoryDataset(rgba.width(), rgba.height());
    bool lent = source != nullptr;
    for (int band = 0; lent && band < 4; ++band)
        lent = gis::lendBand(*source, GDT_Byte, rgba.constBits() + band, 4, rgba.bytesPerLine());
    if (!lent) return fail(error, "cannot make the raster" + gdalReason());
    const GDALColorInterp roles[4] = {GCI_RedBand, GCI_GreenBand, GCI_BlueBand, GCI_AlphaBand};
    for (int band = 0; band < 4; ++band)
        source->GetRasterBand(band + 1)->SetColorInterpretation(roles[band]);
    if (!gis::placeDataset(*source, placement, 0, 0, error)) return false;
    ScratchFolder scratch(path);
    if (scratch.path().empty()) return fail(error, "cannot write in the folder of " + path);
    std::string why;
    if (!copyDataset("GTiff", *source, scratch.file().string(),
                     {"TILED=YES", "COMPRESS=DEFLATE", "PHOTOMETRIC=RGB", "ALPHA=UNASSOCIATED"},
                     &why))
        return fail(error, "cannot write " + path + ": " + why);
    return scratch.moveIntoPlace(error);
}

bool writePaletteGeoTiff(const PaletteRaster& raster, const std::string& path, std::string* error) {
    const RasterPlacement& p = raster.placement;
    if (!isPlaced(p) || raster.cells.size() != static_cast<size_t>(p.cols) * p.rows)
        return fail(error, "the picture's size and its placement do not agree");
    GDALDatasetUniquePtr source = gis::emptyMemoryDataset(p.cols, p.rows);
    if (!source || !gis::lendBand(*source, GDT_Byte, raster.cells.data(), 1, p.cols))
        return fail(error, "cannot make the raster" + gdalReason());
    GDALColorTable colours;
    for (int value = 0; value < 256; ++value) {
        const uint32_t c = value < static_cast<int>(raster.palette.size())
                               ? raster.palette[static_cast<size_t>(value)]
                               : 0xFFFFFFu;
        const GDALColorEntry entry = {static_cast<short>(c & 0xFF),
                                      static_cast<short>((c >> 8) & 0xFF),
                                      static_cast<short>((c >> 16) & 0xFF), 255};
        colours.SetColorEntry(value, &entry);
    }
    GDALRasterBand& band = *source->GetRasterBand(1);
    band.SetColorTable(&colours);
    band.SetColorInterpretation(GCI_PaletteIndex);
    if (raster.noData >= 0 && raster.noData <= 255) band.SetNoDataValue(raster.noData);
    if (!gis::placeDataset(*source, p, 0, 0, error)) return false;
    ScratchFolder scratch(path);
    if (scratch.path().empty()) return fail(error, "cannot write in the folder of " + path);
    std::string why;
    if (!copyDataset("GTiff", *source, scratch.file().string(), {"TILED=YES", "COMPRESS=DEFLATE"},
                     &why))
        return fail(error, "cannot write " + path + ": " + why);
    return scratch.moveIntoPlace(error);
}

}  // namespace kov
