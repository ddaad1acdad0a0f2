// SPDX-License-Identifier: MIT
#include "core/data/TileConversion.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <future>
#include <set>
#include <utility>

#include "core/base/HxProgress.h"
#include "core/data/gis/CollectionRaster.h"

namespace kov {
namespace {

// A sheet's place on the grid: whole sheets north and east of the zone's origin.
using SheetIndex = std::pair<long long, long long>;  // (row, column)

// The sheets a mesh's rectangle overlaps (an edge on a sheet line touches only one side); false
// when they are more than kMaxConvertedSheets.
bool addSheetsOf(const ZarHMesh& mesh, std::set<SheetIndex>& sheets) {
    const auto first = [](double edge, long long size) {
        return static_cast<long long>(std::floor(edge / static_cast<double>(size)));
    };
    const auto last = [](double edge, long long size) {
        return static_cast<long long>(std::ceil(edge / static_cast<double>(size))) - 1;
    };
    const long long r0 = first(mesh.ymin, kSheetHeight), r1 = last(mesh.ymax, kSheetHeight);
    const long long c0 = first(mesh.xmin, kSheetWidth), c1 = last(mesh.xmax, kSheetWidth);
    if ((r1 - r0 + 1) * (c1 - c0 + 1) > kMaxConvertedSheets) return false;
    for (long long r = r0; r <= r1; ++r)
        for (long long c = c0; c <= c1; ++c)
            sheets.emplace(r, c);
    return static_cast<long long>(sheets.size()) <= kMaxConvertedSheets;
}

std::string todayText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y/%m/%d", &local);
    return text;
}

std::string placeText(double x, double y) {
    char text[96];
    std::snprintf(text, sizeof text, "E %.1f N %.1f", x, y);
    return text;
}

// Whether some cell could hold an elevation without a code: the meshes' range reaches past the
// fields' range or down to the no-data marker.
bool mayHoldUnwritable(const HMeshProject& project) {
    // A whole code of margin: the rounding of a range's end must not decide.
    return project.GetMinElevation() * 10.0 < kTileNoDataCode + 1 ||
           project.GetMaxElevation() * 10.0 > kTileHighestCode - 1;
}

// Writes one tile in the background while the next is sampled: the writes wait for the disk
// (every file is flushed), the sampling for the processor.
class WriteBehind {
public:
    WriteBehind(const std::string& folder, TileConversionReport& report)
        : folder_(folder), report_(report) {
        for (MeshTile& tile : tiles_) {
            tile.created = todayText();
            tile.author = "Kov View5";
            tile.crlf = true;  // as the programs that made the format write their files
        }
    }
    // The tile to fill next: never the one being written.
    MeshTile& next() { return tiles_[slot_]; }
    // Waits for the write in flight and counts it; false when it failed (why: in the report).
    bool finish() {
        if (!pending_.valid()) return true;
        const MeshTile& written = tiles_[1 - slot_];
        const std::string why = pending_.get();
        if (!why.empty()) {
            report_.error = "tile " + written.code + ": " + why;
            return false;
        }
        ++report_.written;
        report_.codes.push_back(written.code);
        return true;
    }
    // Starts writing next() once the previous write has succeeded.
    bool start() {
        if (!finish()) return false;
        MeshTile& tile = tiles_[slot_];
        tile.name = tile.code;
        pending_ = std::async(std::launch::async, [this, &tile] {
            std::string why;
            if (writeMeshTile(folder_, tile, &why)) return std::string();
            return why.empty() ? std::string("cannot be written") : why;
        });
        slot_ = 1 - slot_;
        return true;
    }

private:
    const std::string folder_;
    TileConversionReport& report_;
    MeshTile tiles_[2];
    int slot_ = 0;
    std::future<std::string> pending_;
};

}  // namespace

bool planTiles(const HMeshProject& project, TilePlan& plan, std::string* error) {
    const auto fail = [&](std::string reason) {
        if (error) *error = std::move(reason);
        return false;
    };
    plan = TilePlan{};
    if (project.meshCount() == 0) return fail("the collection holds no elevation mesh");
    plan.zone = project.planeZone;
    std::set<SheetIndex> sheets;
    for (int i = 0; i < project.meshCount(); ++i) {
        const ZarHMesh& mesh = *project.GetMesh(i);
        if (mesh.zone != plan.zone)
            return fail("the meshes lie in different zones (" + std::to_string(plan.zone) +
                        " and " + std::to_string(mesh.zone) + "); convert each zone on its own");
        if (!addSheetsOf(mesh, sheets))
            return fail("the meshes span more than " + std::to_string(kMaxConvertedSheets) +
                        " sheets; convert them in parts");
    }
    bool mixedDatums = false;
    plan.datum = collectionDatum(project, &mixedDatums);
    if (mixedDatums) return fail("the meshes name different datums; convert each datum on its own");
    for (const auto& [row, column] : sheets) {
        SheetRect rect{plan.zone, column * kSheetWidth, row * kSheetHeight,
                       (column + 1) * kSheetWidth, (row + 1) * kSheetHeight};
        bool valid = true;
        std::string code = sheetCodeOfPoint(plan.zone, rect.xmin + kSheetWidth / 2,
                                            rect.ymin + kSheetHeight / 2, &valid);
        if (!valid)
            return fail("the sheet at " + placeText(rect.xmin, rect.ymin) +
                        " lies outside the lettered sheet grid of zone " +
                        std::to_string(plan.zone));
        plan.sheets.push_back(rect);
        plan.codes.push_back(std::move(code));
    }
    return true;
}

SheetContent sampleSheet(const HMeshProject& project, const TilePlan& plan, size_t i,
                         MeshTile& tile, std::string* error) {
    const SheetRect& sheet = plan.sheets[i];
    tile.code = plan.codes[i];
    tile.cols = kConvertedCols;
    tile.rows = kConvertedRows;
    tile.cellSize = kConvertedCellSize;
    tile.west = static_cast<double>(sheet.xmin);
    tile.south = static_cast<double>(sheet.ymin);
    tile.zone = plan.zone;
    tile.datum = plan.datum;
    tile.codes.assign(static_cast<size_t>(tile.cols) * tile.rows, kTileNoDataCode);
    bool filled = false;
    const double half = kConvertedCellSize / 2;
    for (int r = 0; r < tile.rows; ++r) {
        const double y = static_cast<double>(sheet.ymax) - half - r * kConvertedCellSize;
        int32_t* row = &tile.codes[static_cast<size_t>(r) * tile.cols];
        for (int c = 0; c < tile.cols; ++c) {
            const double x = static_cast<double>(sheet.xmin) + half + c * kConvertedCellSize;
            double z = 0.0;
            if (project.FindElevation(x, y, z)) {
                const long long code = std::llround(z * 10.0);
                if (!isWritableElevationCode(code)) {
                    if (error)
                        *error = "the elevation " + std::to_string(z) + " m at " + placeText(x, y) +
                                 " has no code in the tile format (it holds -999.8 to 9999.9 m "
                                 "in 0.1 m, -111.1 m marking no data)";
                    return SheetContent::Unwritable;
                }
                row[c] = static_cast<int32_t>(code);
                filled = true;
            } else if (project.queryElevation(x, y, WaterCells::Answer).kind == CellKind::Water) {
                row[c] = kTileWaterCode;
                filled = true;
            }
        }
    }
    return filled ? SheetContent::Filled : SheetContent::Empty;
}

bool convertToTiles(const HMeshProject& project, const std::string& folder,
                    TileConversionReport& report, HxProgress* progress) {
    report = TileConversionReport{};
    TilePlan plan;
    if (!planTiles(project, plan, &report.error)) return false;
    // Refused before anything is written, at the cost of sampling twice, only when the
    // meshes' range says a refusal is possible.
    if (mayHoldUnwritable(project)) {
        MeshTile tile;
        for (size_t i = 0; i < plan.sheets.size(); ++i)
            if (sampleSheet(project, plan, i, tile, &report.error) == SheetContent::Unwritable)
                return false;
    }
    HxProgress none;
    if (!progress) progress = &none;
    const long long total = static_cast<long long>(plan.sheets.size());
    const long long mask = progress->StepMask(total);
    WriteBehind writer(folder, report);
    for (size_t i = 0; i < plan.sheets.size(); ++i) {
        if ((static_cast<long long>(i) & mask) == 0 && progress->SetPos(i, total)) {
            writer.finish();
            report.error = "the conversion was cancelled";
            return false;
        }
        MeshTile& tile = writer.next();
        const SheetContent content = sampleSheet(project, plan, i, tile, &report.error);
        if (content == SheetContent::Unwritable) {
            writer.finish();
            return false;
        }
        if (content == SheetContent::Filled && !writer.start()) return false;
    }
    return writer.finish();
}

}  // namespace kov
