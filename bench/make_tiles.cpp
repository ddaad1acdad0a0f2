// SPDX-License-Identifier: MIT
// Writes a large mosaic of elevation tiles for the benchmarks of whole prefectures:
//
//   bench_make_tiles OUTDIR --tiles N [--cells WxH] [--geotiff]
//
// Every tile fills one 2000 m x 1500 m map sheet with W x H cells (400 x 300: 5 m cells as
// `kovtool sample` writes; 40 x 30: 50 m cells), so the tiles join without gaps and each has its
// own sheet code. The cells are the sample terrain at the cell centres. The mosaic is up to 160
// sheets wide (the 320 km a zone's sheet columns span), filled west to east from the south row,
// and lies as close to the sample block as the zone's sheet rows allow. Files: Data/<code>.kov
// and Header/<code>.csv; with --geotiff also tif/<code>.tif (Float32 metres, water and no data
// as -9999) for the GDAL comparisons. Written by both cores; prints the count, bytes and time,
// then "extent WEST SOUTH EAST NORTH" in metres.
#include <cpl_conv.h>
#include <gdal.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/base/MapSheet.h"
#include "core/data/TileWriter.h"
#include "sample/SampleData.h"

namespace {

namespace sample = kov::sample;

struct Request {
    std::string outDir;
    long long tiles = 0;
    int cols = 40;
    int rows = 30;
    bool geotiff = false;
};

// Where the tiles lie: sheets in rows of `columns`, the south-west one at (west, south).
struct Layout {
    int columns = 0;
    long long west = 0;
    long long south = 0;
    double cellSize = 0.0;
};

constexpr int kZone = 9;
constexpr int kMostColumns = 160;
constexpr long long kNorthmostEdge = 390000;   // north edge of sheet row AX
constexpr long long kSouthmostEdge = -600000;  // south edge of sheet row ZE
constexpr long long kSampleSouth = -37500;     // the sample block's south edge

bool parseRequest(int argc, char** argv, Request& request) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--tiles" && i + 1 < argc) {
            request.tiles = std::atoll(argv[++i]);
        } else if (arg == "--cells" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &request.cols, &request.rows) != 2) return false;
        } else if (arg == "--geotiff") {
            request.geotiff = true;
        } else if (!arg.starts_with("-") && request.outDir.empty()) {
            request.outDir = arg;
        } else {
            return false;
        }
    }
    return !request.outDir.empty() && request.tiles > 0 && request.cols > 0 && request.rows > 0;
}

// The layout, or an error when the cells are not square or the tiles do not fit the zone.
bool planLayout(const Request& request, Layout& layout, std::string& error) {
    const double cellWidth = static_cast<double>(kov::kSheetWidth) / request.cols;
    if (std::abs(cellWidth - static_cast<double>(kov::kSheetHeight) / request.rows) > 1e-9) {
        error = "W x H must give square cells on a 2000 m x 1500 m sheet (e.g. 40x30, 400x300)";
        return false;
    }
    layout.cellSize = cellWidth;
    layout.columns = static_cast<int>(std::min<long long>(
        kMostColumns, static_cast<long long>(std::ceil(std::sqrt(double(request.tiles))))));
    const long long sheetRows = (request.tiles + layout.columns - 1) / layout.columns;
    layout.west = -(layout.columns / 2) * kov::kSheetWidth;
    // Centred on the sample block north-south, moved south when the zone's rows end.
    const long long centred = kSampleSouth - (sheetRows / 2) * kov::kSheetHeight;
    layout.south = std::min(centred, kNorthmostEdge - sheetRows * kov::kSheetHeight);
    if (layout.south < kSouthmostEdge) {
        error = "more tiles than the zone's sheets hold";
        return false;
    }
    return true;
}

kov::MeshTile tileAt(const Layout& layout, const Request& request, long long index) {
    kov::MeshTile tile;
    tile.cols = request.cols;
    tile.rows = request.rows;
    tile.cellSize = layout.cellSize;
    tile.west = static_cast<double>(layout.west + (index % layout.columns) * kov::kSheetWidth);
    tile.south = static_cast<double>(layout.south + (index / layout.columns) * kov::kSheetHeight);
    tile.zone = kZone;
    tile.datum = kov::GeodeticDatum::kJgd2011;
    tile.code = kov::sheetCodeOfPoint(kZone, static_cast<long long>(tile.west) + 1000,
                                      static_cast<long long>(tile.south) + 750);
    tile.name = sample::tileDisplayName(tile.code);
    tile.created = "2024/04/01";
    // Codes at the cell centres in decimetres, row 0 the northernmost.
    const long long stepDm = std::llround(layout.cellSize * 10.0);
    const long long x0 = std::llround(tile.west * 10.0) + stepDm / 2;
    const long long north = std::llround((tile.south + kov::kSheetHeight) * 10.0);
    tile.codes.resize(static_cast<size_t>(tile.cols) * tile.rows);
    for (int r = 0; r < tile.rows; ++r)
        sample::terrainRow(x0, north - stepDm / 2 - r * stepDm, tile.cols, static_cast<int>(stepDm),
                           &tile.codes[size_t(r) * tile.cols]);
    return tile;
}

bool writeGeoTiff(const std::filesystem::path& path, const kov::MeshTile& tile,
                  const std::string& wkt, std::string& error) {
    GDALDatasetH dataset = GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), tile.cols,
                                      tile.rows, 1, GDT_Float32, nullptr);
    if (!dataset) {
        error = "cannot create " + path.string();
        return false;
    }
    double transform[6] = {tile.west, tile.cellSize, 0.0, tile.south + kov::kSheetHeight,
                           0.0,       -tile.cellSize};
    GDALSetGeoTransform(dataset, transform);
    GDALSetProjection(dataset, wkt.c_str());
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
    GDALSetRasterNoDataValue(band, -9999.0);
    std::vector<float> metres(tile.codes.size());
    std::transform(tile.codes.begin(), tile.codes.end(), metres.begin(), [](int32_t code) {
        return code < 0 ? -9999.0f : static_cast<float>(code) / 10.0f;
    });
    const bool written = GDALRasterIO(band, GF_Write, 0, 0, tile.cols, tile.rows, metres.data(),
                                      tile.cols, tile.rows, GDT_Float32, 0, 0) == CE_None;
    GDALClose(dataset);
    if (!written) error = "cannot write " + path.string();
    return written;
}

std::string zoneWkt() {
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    char* text = nullptr;
    std::string wkt;
    if (OSRImportFromEPSG(srs, 6668 + kZone) == OGRERR_NONE && OSRExportToWkt(srs, &text) == 0)
        wkt = text;
    CPLFree(text);
    OSRDestroySpatialReference(srs);
    return wkt;
}

// Writes tiles next, next + stride, ... until done or a failure (then error is set).
struct Writer {
    const Request& request;
    const Layout& layout;
    std::string wkt;
    std::atomic<long long> next{0};
    std::atomic<long long> bytes{0};
    std::atomic<bool> failed{false};

    void run(std::string& error) {
        const std::filesystem::path root(request.outDir);
        std::string data;
        for (long long i = next++; i < request.tiles && !failed; i = next++) {
            const kov::MeshTile tile = tileAt(layout, request, i);
            const std::string header = kov::tileHeaderText(tile);
            const bool ok =
                !header.empty() && kov::formatTileData(tile, data, &error) &&
                sample::writeWholeFile(root / "Data" / (tile.code + ".kov"), data, &error) &&
                sample::writeWholeFile(root / "Header" / (tile.code + ".csv"), header, &error) &&
                (!request.geotiff ||
                 writeGeoTiff(root / "tif" / (tile.code + ".tif"), tile, wkt, error));
            if (!ok) {
                if (error.empty()) error = "cannot encode the header of " + tile.code;
                failed = true;
                return;
            }
            bytes += static_cast<long long>(data.size() + header.size());
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    Request request;
    if (!parseRequest(argc, argv, request)) {
        std::fprintf(stderr,
                     "usage: bench_make_tiles OUTDIR --tiles N [--cells WxH] [--geotiff]\n");
        return 2;
    }
    Layout layout;
    std::string error;
    if (!planLayout(request, layout, error)) {
        std::fprintf(stderr, "bench_make_tiles: %s\n", error.c_str());
        return 2;
    }
    GDALAllRegister();
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(request.outDir) / "tif", ec);
    const auto start = std::chrono::steady_clock::now();
    Writer writer{request, layout, request.geotiff ? zoneWkt() : std::string()};
    std::string errors[2];
    std::thread second([&] { writer.run(errors[1]); });
    writer.run(errors[0]);
    second.join();
    if (writer.failed) {
        std::fprintf(stderr, "bench_make_tiles: %s\n",
                     (errors[0].empty() ? errors[1] : errors[0]).c_str());
        return 1;
    }
    if (!request.geotiff) std::filesystem::remove(std::filesystem::path(request.outDir) / "tif");
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long long sheetRows = (request.tiles + layout.columns - 1) / layout.columns;
    std::printf("%lld tiles of %d x %d cells (%g m), %.1f MB of text in %.1f s\n", request.tiles,
                request.cols, request.rows, layout.cellSize, writer.bytes / 1e6, seconds);
    std::printf("extent %lld %lld %lld %lld\n", layout.west, layout.south,
                layout.west + layout.columns * kov::kSheetWidth,
                layout.south + sheetRows * kov::kSheetHeight);
    return 0;
}
