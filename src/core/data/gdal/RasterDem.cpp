// SPDX-License-Identifier: MIT
#include "core/data/dem/RasterDem.h"
#include "core/data/gdal/GdalSupport.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <numbers>
#include <optional>
#include <string_view>
#include <vector>

namespace kov {
namespace {

// Raster drivers that fetch from the network whatever file names them: a local file must never
// make the program reach out.
constexpr std::array kNetworkDrivers = {"WMS",    "WMTS",       "WCS",      "HTTP",
                                        "EEDAI",  "EEDAIImage", "PLMOSAIC", "DAAS",
                                        "OGCAPI", "NGW",        "STACTA",   "STACIT"};

// Cells read at once: the grid's memory plus this many doubles (and mask bytes) at most.
constexpr int64_t kChunkCells = int64_t{1} << 20;
// Beyond this a value is a fault, not an elevation; the millimetre codes hold no less than
// -268,435 m (the special codes lie below).
constexpr double kMostMetres = 100000.0;
constexpr double kUsSurveyFoot = 1200.0 / 3937.0;

bool fail(std::string* error, std::string reason) {
    if (error) *error = std::move(reason);
    return false;
}

// GDAL's own account of the last failure on this thread, for the end of a message.
std::string gdalReason() {
    std::string text = CPLGetLastErrorMsg();
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? std::string() : " (" + text + ")";
}

// Why a path cannot be opened as a raster: only regular files are opened (a FIFO would block
// the open), and GDAL's in-memory files; empty when it may be.
std::string unopenable(const std::string& path) {
    if (path.starts_with("/vsimem/")) return "";
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) return "no such file";
    return std::filesystem::is_regular_file(status) ? "" : "not a regular file";
}

// Opens the raster, or says why it cannot be opened.
GDALDatasetUniquePtr openRaster(const std::string& path, std::string& why) {
    why = unopenable(path);
    if (!why.empty()) return nullptr;
    CPLErrorReset();
    GDALDatasetUniquePtr dataset(
        GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR));
    // A file no driver knows fails to open; one a driver knows but cannot read says why.
    if (!dataset)
        why = CPLGetLastErrorNo() == CPLE_OpenFailed ? "not a raster GDAL reads"
                                                     : "a damaged raster" + gdalReason();
    return dataset;
}

bool isElevationType(GDALDataType type) {
    return type == GDT_Int16 || type == GDT_UInt16 || type == GDT_Int32 || type == GDT_Float32 ||
           type == GDT_Float64;
}

// Elevation, Picture or NotRaster by the bands, with the reason when it is not elevation.
RasterRole roleOf(GDALDataset& dataset, std::string& why) {
    const int bands = dataset.GetRasterCount();
    if (bands == 0) {
        why = "no raster bands";
        return RasterRole::NotRaster;
    }
    if (bands > 1) {
        why = std::to_string(bands) + " bands";
        return RasterRole::Picture;
    }
    GDALRasterBand* band = dataset.GetRasterBand(1);
    if (band->GetColorTable() != nullptr) {
        why = "a palette";
        return RasterRole::Picture;
    }
    const GDALDataType type = band->GetRasterDataType();
    if (isElevationType(type)) return RasterRole::Elevation;
    why = std::string("data type ") + GDALGetDataTypeName(type);
    return type == GDT_Byte ? RasterRole::Picture : RasterRole::NotRaster;
}

std::string driverName(GDALDataset& dataset) {
    GDALDriver* driver = dataset.GetDriver();
    const char* name = driver ? driver->GetMetadataItem(GDAL_DMD_LONGNAME) : nullptr;
    return name ? name : "";
}

// Whether the system's ellipsoid could be the Earth's: a semi-major axis of 6,000 to 7,000 km
// and an inverse flattening of 250 to 350 (or a sphere). PROJ itself fails on systems of damaged
// files that name an authority's code with other values (a crash in 9.1), so the rest is never
// handed to it.
bool earthlyEllipsoid(const OGRSpatialReference& srs) {
    OGRErr semiMajorError = OGRERR_NONE, flatteningError = OGRERR_NONE;
    const double semiMajor = srs.GetSemiMajor(&semiMajorError);
    const double inverseFlattening = srs.GetInvFlattening(&flatteningError);
    return semiMajorError == OGRERR_NONE && flatteningError == OGRERR_NONE && semiMajor >= 6.0e6 &&
           semiMajor <= 7.0e6 &&
           (inverseFlattening == 0.0 || (inverseFlattening >= 250.0 && inverseFlattening <= 350.0));
}

int epsgCodeOf(const OGRSpatialReference& srs);

// The centre of the raster as JGD2011 latitude and longitude.
std::optional<std::pair<double, double>> centreLatLon(GDALDataset& dataset) {
    const OGRSpatialReference* srs = dataset.GetSpatialRef();
    double gt[6];
    if (srs == nullptr || srs->IsEmpty() || !earthlyEllipsoid(*srs) ||
        dataset.GetGeoTransform(gt) != CE_None)
        return {};
    // PROJ 9.1 crashes on some systems as damaged files define them under an authority's code
    // (EPSG 6988 from a fuzzed GeoTIFF): where a code is named, its own definition is used, as
    // the placement of the grid does too.
    OGRSpatialReference source;
    const int code = epsgCodeOf(*srs);
    if (code == 0 || source.importFromEPSG(code) != OGRERR_NONE) source = *srs;
    source.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    OGRSpatialReference target;
    target.importFromEPSG(6668);
    target.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRCoordinateTransformation> transform(
        OGRCreateCoordinateTransformation(&source, &target));
    if (!transform) return {};
    const double column = dataset.GetRasterXSize() / 2.0, row = dataset.GetRasterYSize() / 2.0;
    double x = gt[0] + column * gt[1] + row * gt[2];
    double y = gt[3] + column * gt[4] + row * gt[5];
    if (!transform->Transform(1, &x, &y) || !std::isfinite(x) || !std::isfinite(y)) return {};
    return std::make_pair(y, x);
}

// Metres per unit of the band's values: its unit name, else the vertical part of its CRS.
std::optional<double> verticalUnitFactor(GDALRasterBand& band, const OGRSpatialReference& srs,
                                         std::string& unit) {
    unit = band.GetUnitType();
    std::string lower = unit;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower.empty() && srs.IsVertical()) return srs.GetTargetLinearUnits("VERT_CS");
    if (lower.empty() || lower == "m" || lower.starts_with("metre") || lower.starts_with("meter"))
        return 1.0;
    if (lower == "ft" || lower == "foot" || lower == "feet" || lower == "international foot")
        return 0.3048;
    if (lower == "us survey foot" || lower == "us-ft" || lower == "ftus" || lower == "us foot")
        return kUsSurveyFoot;
    if (lower == "cm" || lower.starts_with("centimet")) return 0.01;
    if (lower == "mm" || lower.starts_with("millimet")) return 0.001;
    return {};
}

// How the stored values of the band become elevation codes.
struct ValueRule {
    bool hasNoData = false;
    double noData = 0.0;   // compared with the value as stored (a Float32 band's nodata rounded)
    double scale = 1.0;    // metres per stored unit, the band's scale and vertical unit together
    double offset = 0.0;   // metres
    bool useMask = false;  // the band has a mask of its own (not from nodata): 0 is no data
};

bool valueRuleOf(GDALRasterBand& band, const OGRSpatialReference& srs, ValueRule& rule,
                 std::string* error) {
    std::string unit;
    const std::optional<double> factor = verticalUnitFactor(band, srs, unit);
    if (!factor || !(*factor > 0.0))
        return fail(error, "the vertical unit \"" + unit +
                               "\" is none we know (metres, feet, US survey feet, cm, mm)");
    int has = 0;
    double noData = band.GetNoDataValue(&has);
    if (has && band.GetRasterDataType() == GDT_Float32 && std::isfinite(noData) &&
        std::abs(noData) <= std::numeric_limits<float>::max())
        noData = static_cast<float>(noData);
    rule.hasNoData = has != 0 && !std::isnan(noData);
    rule.noData = noData;
    const double scale = band.GetScale(), offset = band.GetOffset();
    if (!std::isfinite(scale) || !std::isfinite(offset))
        return fail(error, "a scale or offset that is not a number");
    rule.scale = scale * *factor;
    rule.offset = offset * *factor;
    const int maskFlags = band.GetMaskFlags();
    rule.useMask = !(maskFlags & (GMF_ALL_VALID | GMF_NODATA));
    return true;
}

// North-up rows in the grid's order, or a south-up raster (flipped when read).
struct Placement {
    bool southUp = false;
};

bool placementOf(GDALDataset& dataset, GeoGrid& grid, Placement& placement, std::string* error) {
    double gt[6];
    if (dataset.GetGeoTransform(gt) != CE_None) return fail(error, "no georeferencing");
    if (!std::all_of(gt, gt + 6, [](double v) { return std::isfinite(v); }))
        return fail(error, "a georeferencing that is not a number");
    if (gt[2] != 0.0 || gt[4] != 0.0) return fail(error, "a rotated or sheared raster");
    if (gt[1] <= 0.0) return fail(error, "columns that do not run east");
    if (gt[5] == 0.0) return fail(error, "rows of no height");
    placement.southUp = gt[5] > 0.0;
    grid.west = gt[0];
    grid.stepX = gt[1];
    grid.stepY = std::abs(gt[5]);
    grid.north = placement.southUp ? gt[3] + grid.rows * gt[5] : gt[3];
    if (!std::isfinite(grid.east()) || !std::isfinite(grid.south()) || !std::isfinite(grid.north))
        return fail(error, "an extent beyond any number");
    return true;
}

std::string datumNameOf(const OGRSpatialReference& srs) {
    const char* datum = srs.GetAttrValue("DATUM");
    if (datum == nullptr) return "";
    const std::string name = datum;
    if (name.find("Japanese") != std::string::npos || name.starts_with("JGD"))
        for (const char* year : {"2024", "2011", "2000"})
            if (name.find(year) != std::string::npos) return std::string("JGD") + year;
    return name;
}

// The nominal spacing in metres: the shorter side of a pixel. A geographic raster's sides at its
// middle latitude (about 111.32 km a degree of latitude, and that times the cosine of the
// latitude a degree of longitude), to a tenth of a metre: a 0.2" DEM of Honshu is 5 m, as the
// national DEM5 files of the same cells are.
double nominalSpacingOf(const GeoGrid& grid, const OGRSpatialReference& srs) {
    if (!grid.crs.geographic) return std::min(grid.stepX, grid.stepY) * srs.GetLinearUnits();
    constexpr double kMetresPerDegree = 111320.0;
    const double middle = (grid.north + grid.south()) / 2 * std::numbers::pi / 180;
    const double side = std::min(grid.stepY, grid.stepX * std::cos(middle)) * kMetresPerDegree;
    return std::max(0.1, std::round(side * 10.0) / 10.0);
}

int epsgCode(const OGRSpatialReference& srs) {
    const char* authority = srs.GetAuthorityName(nullptr);
    const char* code = srs.GetAuthorityCode(nullptr);
    return authority && code && std::string_view(authority) == "EPSG" ? std::atoi(code) : 0;
}

// The EPSG code of the system, also when the file describes it without naming one (an ESRI .prj
// beside an ASCII grid): PROJ's best match, when it is sure of it.
int epsgCodeOf(const OGRSpatialReference& srs) {
    if (const int code = epsgCode(srs)) return code;
    int count = 0;
    int* confidence = nullptr;
    OGRSpatialReferenceH* matches = srs.FindMatches(nullptr, &count, &confidence);
    int code = 0;
    for (int i = 0; i < count && code == 0; ++i)
        if (confidence[i] >= 90) code = epsgCode(*OGRSpatialReference::FromHandle(matches[i]));
    OSRFreeSRSArray(matches);
    CPLFree(confidence);
    return code;
}

// The horizontal CRS of the raster into grid.crs; srs is that CRS.
bool crsOf(GDALDataset& dataset, GeoGrid& grid, OGRSpatialReference& srs, std::string* error) {
    const OGRSpatialReference* source = dataset.GetSpatialRef();
    if (source == nullptr || source->IsEmpty()) return fail(error, "no coordinate system");
    if (!earthlyEllipsoid(*source))
        return fail(error, "a coordinate system whose ellipsoid is not the Earth's (damaged)");
    srs = *source;
    if (srs.IsCompound()) srs.StripVertical();
    if (!srs.IsGeographic() && !srs.IsProjected())
        return fail(error, "a coordinate system that is neither geographic nor projected");
    if (srs.IsGeographic() && std::abs(srs.GetAngularUnits() - CPLAtof(SRS_UA_DEGREE_CONV)) > 1e-12)
        return fail(error, "an angular unit other than degrees");
    grid.crs = {};
    grid.crs.geographic = srs.IsGeographic();
    grid.crs.name = srs.GetName() ? srs.GetName() : "";
    grid.crs.epsg = epsgCodeOf(srs);
    if (grid.crs.epsg == 0) {
        char* wkt = nullptr;
        const char* options[] = {"FORMAT=WKT2_2019", nullptr};
        srs.exportToWkt(&wkt, options);
        grid.crs.wkt = wkt ? wkt : "";
        CPLFree(wkt);
    }
    grid.datumName = datumNameOf(srs);
    return true;
}

// A part of the raster read at once, in the file's columns and rows.
struct Window {
    int col = 0;
    int row = 0;
    int cols = 0;
    int rows = 0;
};

// The size of the windows: whole rows of whole blocks where they fit in a chunk (the common
// case), else as much of a row as fits.
Window windowSize(GDALRasterBand& band, int cols, int rows) {
    int blockCols = 0, blockRows = 0;
    band.GetBlockSize(&blockCols, &blockRows);
    Window size;
    size.cols = static_cast<int>(std::min<int64_t>(cols, kChunkCells));
    int64_t chunkRows = std::max<int64_t>(1, kChunkCells / size.cols);
    if (blockRows > 0 && chunkRows >= blockRows) chunkRows -= chunkRows % blockRows;
    size.rows = static_cast<int>(std::min<int64_t>(chunkRows, rows));
    return size;
}

std::string metresText(double metres) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", metres);
    return text;
}

// Turns the stored values of a window into codes of the grid.
bool convertWindow(const std::vector<double>& values, const std::vector<GByte>& mask,
                   const ValueRule& rule, const Window& window, const Placement& placement,
                   GeoGrid& grid, std::string* error) {
    for (int i = 0; i < window.rows; ++i) {
        const int fileRow = window.row + i;
        const int row = placement.southUp ? grid.rows - 1 - fileRow : fileRow;
        int32_t* codes = grid.codes.data() + static_cast<size_t>(row) * grid.cols + window.col;
        const size_t first = static_cast<size_t>(i) * window.cols;
        const double* stored = values.data() + first;
        const GByte* valid = rule.useMask ? mask.data() + first : nullptr;
        for (int c = 0; c < window.cols; ++c) {
            const double v = stored[c];
            if (std::isnan(v) || (rule.hasNoData && v == rule.noData) || (valid && !valid[c])) {
                codes[c] = MESH_NODATA;
                continue;
            }
            const double metres = v * rule.scale + rule.offset;
            if (!(std::abs(metres) <= kMostMetres))
                return fail(error, "a value of " + metresText(metres) + " m at column " +
                                       std::to_string(window.col + c) + ", row " +
                                       std::to_string(fileRow) + ", beyond ±100,000 m");
            codes[c] = millimetreCode(metres);
        }
    }
    return true;
}

bool readWindow(GDALRasterBand& band, const Window& window, void* data, GDALDataType type) {
    return band.RasterIO(GF_Read, window.col, window.row, window.cols, window.rows, data,
                         window.cols, window.rows, type, 0, 0, nullptr) == CE_None;
}

bool readCells(GDALRasterBand& band, const ValueRule& rule, const Placement& placement,
               GeoGrid& grid, std::string* error) {
    const Window size = windowSize(band, grid.cols, grid.rows);
    std::vector<double> values(static_cast<size_t>(size.cols) * size.rows);
    std::vector<GByte> mask(rule.useMask ? values.size() : 0);
    GDALRasterBand* maskBand = rule.useMask ? band.GetMaskBand() : nullptr;
    for (int row = 0; row < grid.rows; row += size.rows) {
        for (int col = 0; col < grid.cols; col += size.cols) {
            const Window window{col, row, std::min(size.cols, grid.cols - col),
                                std::min(size.rows, grid.rows - row)};
            CPLErrorReset();
            if (!readWindow(band, window, values.data(), GDT_Float64) ||
                (maskBand && !readWindow(*maskBand, window, mask.data(), GDT_Byte)))
                return fail(error,
                            "cannot read the cells from row " + std::to_string(row) + gdalReason());
            if (!convertWindow(values, mask, rule, window, placement, grid, error)) return false;
        }
    }
    return true;
}

bool readDataset(GDALDataset& dataset, GeoGrid& grid, int64_t maxCells, std::string* error) {
    std::string why;
    if (roleOf(dataset, why) != RasterRole::Elevation)
        return fail(error, "not an elevation raster: " + why);
    grid = GeoGrid{};
    grid.cols = dataset.GetRasterXSize();
    grid.rows = dataset.GetRasterYSize();
    const int64_t cells = int64_t{grid.cols} * grid.rows;
    if (grid.cols <= 0 || grid.rows <= 0) return fail(error, "an empty raster");
    if (cells > maxCells)
        return fail(error, std::to_string(grid.cols) + " × " + std::to_string(grid.rows) +
                               " cells, more than the " + std::to_string(maxCells) +
                               " a raster DEM may hold");
    OGRSpatialReference srs;
    Placement placement;
    if (!crsOf(dataset, grid, srs, error) || !placementOf(dataset, grid, placement, error))
        return false;
    grid.nominalSpacing = nominalSpacingOf(grid, srs);
    GDALRasterBand& band = *dataset.GetRasterBand(1);
    ValueRule rule;
    if (!valueRuleOf(band, *dataset.GetSpatialRef(), rule, error)) return false;
    grid.kind = driverName(dataset);
    grid.codes.assign(static_cast<size_t>(cells), MESH_NODATA);
    if (!readCells(band, rule, placement, grid, error)) return false;
    countCells(grid);
    return true;
}

// The files GDAL read the dataset from: the file itself and its companions.
std::vector<std::string> fileListOf(GDALDataset& dataset) {
    std::vector<std::string> list;
    if (char** files = dataset.GetFileList()) {
        for (char** file = files; *file; ++file)
            list.emplace_back(*file);
        CSLDestroy(files);
    }
    return list;
}

}  // namespace

void initialiseGdal() {
    static std::once_flag once;
    std::call_once(once, [] {
        CPLSetConfigOption("CPL_DEBUG", "OFF");
        // Keep a handler the program installed (its library message filter), else be quiet:
        // the readers say why they refuse a file.
        const CPLErrorHandler previous = CPLSetErrorHandler(CPLQuietErrorHandler);
        if (previous != nullptr && previous != CPLDefaultErrorHandler) CPLSetErrorHandler(previous);
        GDALAllRegister();
        for (const char* name : kNetworkDrivers) {
            if (GDALDriverH driver = GDALGetDriverByName(name)) {
                GDALDeregisterDriver(driver);
                GDALDestroyDriver(driver);
            }
        }
    });
}

RasterProbe probeRaster(const std::string& path) {
    initialiseGdal();
    RasterProbe probe;
    const GDALDatasetUniquePtr dataset = openRaster(path, probe.why);
    if (!dataset) return probe;
    probe.driver = driverName(*dataset);
    probe.role = roleOf(*dataset, probe.why);
    if (const auto centre = centreLatLon(*dataset)) {
        probe.hasCentre = true;
        probe.centreLatitude = centre->first;
        probe.centreLongitude = centre->second;
    }
    probe.files = fileListOf(*dataset);
    return probe;
}

bool readRasterDem(const std::string& path, GeoGrid& grid, int64_t maxCells, std::string* error) {
    initialiseGdal();
    std::string why;
    const GDALDatasetUniquePtr dataset = openRaster(path, why);
    if (!dataset) return fail(error, why);
    try {
        GeoGrid read;
        if (!readDataset(*dataset, read, maxCells, error)) return false;
        read.files = fileListOf(*dataset);
        grid = std::move(read);
        return true;
    } catch (const std::bad_alloc&) {
        return fail(error, "not enough memory for the raster's cells");
    }
}

}  // namespace kov
