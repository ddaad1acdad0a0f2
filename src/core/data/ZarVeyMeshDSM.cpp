// SPDX-License-Identifier: MIT
#include "core/data/ZarVeyMeshDSM.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "core/base/HxProgress.h"
#include "core/base/MapSheet.h"
#include "core/base/PathNames.h"
#include "core/base/TextScan.h"
#include "core/data/HxFile.h"
#include "core/data/cache/TileCache.h"

namespace kov {
namespace {

constexpr char kEndOfFile = '\x1A';
constexpr double kCodesPerMetre = 1000.0;  // cell codes are millimetres
constexpr double kFillDistance = 2.0;      // metres an empty cell looks for points
constexpr int kMaxFillRadius = 1000000;    // keeps the arithmetic on tiny cell sizes in range
constexpr int kSheetCodeLength = 7;
constexpr size_t kShortCodeLength = 5;  // retried with the zone "09" in front

constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
constexpr int kMaxFastDigits = 15;  // any 15-digit mantissa is an exact double

struct DsmPoint {
    double x;
    double y;
    double z;
};

// A cell size as a user gives it: "2", "0.5".
std::string formatNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

bool isDigit(char c) {
    return static_cast<unsigned>(c - '0') < 10;
}

// A field as parseLeadingDouble reads it. Plain decimals of up to 15 digits without an exponent
// are converted here: mantissa and power of ten are exact doubles, so their quotient is the
// correctly rounded value, as the general conversion gives.
double parseField(const char* p, const char* end) {
    const char* q = p;
    bool negative = false;
    if (q < end && (*q == '-' || *q == '+')) negative = *q++ == '-';
    uint64_t mantissa = 0;
    int digits = 0;
    for (; q < end && isDigit(*q); ++q, ++digits)
        mantissa = mantissa * 10 + static_cast<unsigned>(*q - '0');
    int fraction = 0;
    if (q < end && *q == '.') {
        for (++q; q < end && isDigit(*q); ++q, ++fraction)
            mantissa = mantissa * 10 + static_cast<unsigned>(*q - '0');
    }
    digits += fraction;
    if (digits == 0 || digits > kMaxFastDigits || (q < end && (*q == 'e' || *q == 'E')))
        return parseLeadingDouble(std::string_view(p, static_cast<size_t>(end - p)));
    const double value = static_cast<double>(mantissa) / kPowersOfTen[fraction];
    return negative ? -value : value;
}

// The first four fields of a line split at commas, empty fields skipped: the number (unused),
// x, y and z. False for a line with fewer fields.
bool parsePoint(const char* p, const char* end, DsmPoint& point) {
    const char* start[4];
    const char* stop[4];
    for (int field = 0; field < 4; ++field) {
        while (p < end && *p == ',')
            ++p;
        if (p == end) return false;
        start[field] = p;
        while (p < end && *p != ',')
            ++p;
        stop[field] = p;
    }
    point.x = parseField(start[1], stop[1]);
    point.y = parseField(start[2], stop[2]);
    point.z = parseField(start[3], stop[3]);
    return true;
}

// Metres to a millimetre code, truncated toward zero; saturates outside the 32-bit range.
int32_t elevationCode(double z) {
    const double scaled = z * kCodesPerMetre;
    if (!(scaled > -2147483648.0)) return INT32_MIN;
    if (scaled >= 2147483647.0) return INT32_MAX;
    return static_cast<int32_t>(scaled);
}

// Calls onPoint for every point line of the text. Lines end with LF or CR LF; a line longer than
// the line buffer is read in pieces of kLineLimit characters. The file position after the line
// (plus offset) is reported at the first line and every kProgressStep lines. False when the
// progress object cancels.
template <typename OnPoint>
bool scanPoints(std::string_view text, HxProgress* progress, long long offset, long long total,
                OnPoint&& onPoint) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* p = begin;
    uint64_t line = 0;
    while (p < end) {
        const char* newline = static_cast<const char*>(std::memchr(p, '\n', end - p));
        const char* next = newline ? newline + 1 : end;
        const char* contentEnd = newline ? newline : end;
        if (newline && contentEnd > p && contentEnd[-1] == '\r') --contentEnd;
        for (;;) {
            const bool last = static_cast<size_t>(contentEnd - p) <= ZarVeyMeshDSM::kLineLimit;
            const char* pieceEnd = last ? contentEnd : p + ZarVeyMeshDSM::kLineLimit;
            const char* after = last ? next : pieceEnd;
            if (progress && line % ZarVeyMeshDSM::kProgressStep == 0) {
                if (progress->SetPos(offset + (after - begin), total) || progress->IsCancelled())
                    return false;
            }
            ++line;
            DsmPoint point;
            if (parsePoint(p, pieceEnd, point)) onPoint(point);
            p = after;
            if (last) break;
        }
    }
    return true;
}

// The sheet that the file's base name names: its first seven characters in upper case, else
// their first five with the zone "09" in front.
std::optional<SheetRect> sheetOfName(const std::string& baseName) {
    std::string code = baseName.substr(0, kSheetCodeLength);
    for (char& c : code) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    if (std::optional<SheetRect> rect = sheetRectOfCode(code)) return rect;
    return sheetRectOfCode("09" + code.substr(0, kShortCodeLength));
}

// The square sums come from a summed-area table kept only for the 2n + 2 rows that the squares
// around one row reach.
void fillGapsWithTable(int32_t* grid, const uint8_t* hit, int cols, int rows, int n) {
    const size_t stride = static_cast<size_t>(cols) + 1;
    const int ring = static_cast<int>(std::min<long long>(2LL * n + 2, rows + 1LL));
    std::vector<int64_t> sums(static_cast<size_t>(ring) * stride, 0);
    std::vector<int64_t> counts(static_cast<size_t>(ring) * stride, 0);
    // Table row k (-1 .. rows - 1) sums the rows 0..k; row -1 is the zero row in slot 0.
    auto slot = [&](int k) { return static_cast<size_t>((k + 1) % ring) * stride; };
    int built = -1;
    auto buildNext = [&] {
        const int k = ++built;
        const int64_t* sumsBelow = &sums[slot(k - 1)];
        const int64_t* countsBelow = &counts[slot(k - 1)];
        int64_t* rowSums = &sums[slot(k)];
        int64_t* rowCounts = &counts[slot(k)];
        const int32_t* codes = grid + static_cast<size_t>(k) * cols;
        const uint8_t* marks = hit + static_cast<size_t>(k) * cols;
        int64_t sum = 0;
        int64_t count = 0;
        rowSums[0] = rowCounts[0] = 0;
        for (int x = 0; x < cols; ++x) {
            if (marks[x] && !isSpecialCode(codes[x])) {
                sum += codes[x];
                ++count;
            }
            rowSums[x + 1] = sumsBelow[x + 1] + sum;
            rowCounts[x + 1] = countsBelow[x + 1] + count;
        }
    };

    for (int y = 0; y < rows; ++y) {
        const int reach =
            static_cast<int>(std::min<long long>(static_cast<long long>(y) + n, rows - 1));
        while (built < reach)
            buildNext();
        int32_t* codes = grid + static_cast<size_t>(y) * cols;
        const uint8_t* marks = hit + static_cast<size_t>(y) * cols;
        for (int x = 0; x < cols; ++x) {
            if (marks[x]) continue;
            int64_t sum = 0;
            auto square = [&](int r) {
                const size_t left = static_cast<size_t>(std::max(x - r, 0));
                const size_t right = static_cast<size_t>(std::min(x + r, cols - 1)) + 1;
                const size_t top = slot(std::min(y + r, rows - 1));
                const size_t below = slot(std::max(y - r, 0) - 1);
                sum =
                    sums[top + right] - sums[below + right] - sums[top + left] + sums[below + left];
                return counts[top + right] - counts[below + right] - counts[top + left] +
                       counts[below + left];
            };
            int64_t count = square(1);
            if (count == 0 && n > 1) {
                if (square(n) == 0) continue;
                for (int r = 2; (count = square(r)) == 0; ++r) {
                }
            }
            if (count == 0) continue;
            const int64_t mean =
                sum >= 0 ? (2 * sum + count) / (2 * count) : -((-2 * sum + count) / (2 * count));
            codes[x] = static_cast<int32_t>(mean);
        }
    }
}

}  // namespace

ZarVeyMeshDSM::ZarVeyMeshDSM(double requestedCellSize) {
    cellSize = requestedCellSize > 0.0 ? requestedCellSize : 2.0;
    scale = 0.01;
}

int ZarVeyMeshDSM::Load(const std::string& filePath) {
    return loadWithProgress(filePath, nullptr);
}

std::optional<std::string> ZarVeyMeshDSM::cacheKey(const std::string& filePath) const {
    if (isInternetPath(filePath)) return std::nullopt;
    const std::optional<std::string> fileKey = sourceKey({filePath});
    if (!fileKey) return std::nullopt;
    // The grid depends on the cell size and on the cell limit (a lower one refuses the file).
    char settings[64];
    std::snprintf(settings, sizeof settings, "\n%a\n%lld", cellSize,
                  static_cast<long long>(cellLimit_));
    return "ZarVeyMeshDSM\n" + *fileKey + settings;
}

int ZarVeyMeshDSM::loadWithProgress(const std::string& filePath, HxProgress* progress) {
    const std::shared_ptr<TileCache> cache = TileCache::active();
    const std::optional<std::string> key = cache ? cacheKey(filePath) : std::nullopt;
    auto reread = [filePath, size = cellSize, limit = cellLimit_]() -> std::unique_ptr<ZarHMesh> {
        auto fresh = std::make_unique<ZarVeyMeshDSM>(size);
        fresh->setCellLimit(limit);
        if (!fresh->readSource(filePath, nullptr)) return nullptr;
        return fresh;
    };
    if (key && cache->loadMesh(*key, *this, reread)) {
        errorText.clear();
        path = filePath;
        if (progress) progress->SetPos(1, 1);
        return 1;
    }
    const int result = readSource(filePath, progress);
    // Only what the file held from before the read to after it is kept under its key.
    if (result && key && cacheKey(filePath) == key && cache->storeMesh(*key, *this))
        cache->serveFromEntry(*key, *this, reread);
    return result;
}

int ZarVeyMeshDSM::readSource(const std::string& filePath, HxProgress* progress) {
    errorText.clear();
    const std::unique_ptr<HxFile> file = openFile(filePath, {}, &errorText);
    if (!file) return 0;
    const int result = readDsm(*file, progress);
    path = filePath;
    name = baseName(filePath);
    return result;
}

void ZarVeyMeshDSM::fillGaps(int32_t* codes, const uint8_t* hit, int cols, int rows, int radius) {
    if (cols < 1 || rows < 1 || radius < 1) return;
    fillGapsWithTable(codes, hit, cols, rows, radius);
}

double ZarVeyMeshDSM::parseNumber(std::string_view field) {
    return parseField(field.data(), field.data() + field.size());
}

int64_t ZarVeyMeshDSM::cellBound(size_t fileBytes) {
    const int64_t filled = static_cast<int64_t>(std::min<size_t>(fileBytes, INT64_MAX / 64));
    return std::max(kFreeCells, kCellsPerByte * filled);
}

int ZarVeyMeshDSM::fillRadius(double size) {
    const double cellsPerDistance = kFillDistance / size;
    if (!(cellsPerDistance >= 0.0)) return 1;
    if (cellsPerDistance >= kMaxFillRadius) return kMaxFillRadius;
    return std::max(static_cast<int>(cellsPerDistance + 0.5), 1);
}

int ZarVeyMeshDSM::readDsm(const HxFile& file, HxProgress* progress) {
    errorText.clear();
    auto refuse = [&](std::string reason) {
        errorText = std::move(reason);
        return 0;
    };
    std::string_view text = file.contents();
    const long long length = static_cast<long long>(text.size());
    if (!text.empty() && text.back() == kEndOfFile) text.remove_suffix(1);
    const int radius = fillRadius(cellSize);
    const double size = cellSize;

    // The extent: the sheet the name gives, else the points' extent widened to whole sheets.
    const std::optional<SheetRect> sheet = sheetOfName(baseName(file.fullPath()));
    double west = 0.0, south = 0.0, east = 0.0, north = 0.0;
    long long secondPassOffset = 0;
    const long long total = sheet ? length : 2 * length;
    if (sheet) {
        west = static_cast<double>(sheet->xmin);
        south = static_cast<double>(sheet->ymin);
        east = static_cast<double>(sheet->xmax);
        north = static_cast<double>(sheet->ymax);
    } else {
        bool any = false;
        const bool complete = scanPoints(text, progress, 0, total, [&](const DsmPoint& p) {
            if (!any) {
                west = east = p.x;
                south = north = p.y;
                any = true;
                return;
            }
            west = std::min(west, p.x);
            east = std::max(east, p.x);
            south = std::min(south, p.y);
            north = std::max(north, p.y);
        });
        if (!complete) return refuse("the reading was cancelled");
        if (!any) return refuse("it holds no point lines (number, x, y, z)");
        const double width = static_cast<double>(kSheetWidth);
        const double height = static_cast<double>(kSheetHeight);
        west = std::floor(west / width) * width;
        south = std::floor(south / height) * height;
        east = std::ceil(east / width) * width;
        north = std::ceil(north / height) * height;
        secondPassOffset = length;
    }

    // The grid: whole cells of the extent, at most 2^31 of them (and within the cell limit).
    constexpr double kMaxSide = 2147483648.0;
    const double colsExact = (east - west) / size;
    const double rowsExact = (north - south) / size;
    if (!(colsExact >= 1.0 && rowsExact >= 1.0 && colsExact < kMaxSide + 1.0 &&
          rowsExact < kMaxSide + 1.0)) {
        return refuse("the points' extent gives no grid of whole cells of " + formatNumber(size) +
                      " m within 2^31 cells a side");
    }
    const int64_t newCols = static_cast<int64_t>(colsExact);
    const int64_t newRows = static_cast<int64_t>(rowsExact);
    const int64_t cellCount = newCols * newRows;
    const int64_t limit = std::min<int64_t>(int64_t{1} << 31, cellLimit_);
    if (cellCount > limit)
        return refuse("its grid of " + std::to_string(newCols) + " x " + std::to_string(newRows) +
                      " cells of " + formatNumber(size) + " m exceeds the limit of " +
                      std::to_string(limit) + " cells");
    if (cellCount > cellBound(static_cast<size_t>(length)))
        return refuse("its grid of " + std::to_string(newCols) + " x " + std::to_string(newRows) +
                      " cells of " + formatNumber(size) + " m is more than its " +
                      std::to_string(length) + " bytes of points can fill");
    const int gridCols = static_cast<int>(newCols);
    const int gridRows = static_cast<int>(newRows);

    std::vector<int32_t, LargeBlockAllocator<int32_t>> grid;
    std::vector<uint8_t, LargeBlockAllocator<uint8_t>> hit;  // cells that received points
    try {
        grid.assign(static_cast<size_t>(cellCount), MESH_NODATA);
        hit.assign(static_cast<size_t>(cellCount), 0);
    } catch (const std::bad_alloc&) {
        return refuse("not enough memory for its grid of " + std::to_string(cellCount) + " cells");
    }

    // Binning: the first point of a cell sets it, a later valid point replaces it; water and
    // no-data marks count only as a cell's first point.
    const double colLimit = static_cast<double>(gridCols);
    const double rowLimit = static_cast<double>(gridRows);
    const bool complete =
        scanPoints(text, progress, secondPassOffset, total, [&](const DsmPoint& p) {
            const double u = (p.x - west) / size;
            const double v = (p.y - south) / size;
            if (!(u >= 0.0 && u < colLimit && v >= 0.0 && v < rowLimit)) return;
            const size_t index =
                static_cast<size_t>(static_cast<int>(v)) * gridCols + static_cast<int>(u);
            const bool water = p.z == kWaterMark;
            const bool noData = p.z == kNoDataMark;
            if (!hit[index]) {
                hit[index] = 1;
                grid[index] = water ? MESH_WATER : noData ? MESH_NODATA : elevationCode(p.z);
            } else if (!water && !noData) {
                grid[index] = elevationCode(p.z);
            }
        });
    if (!complete) return refuse("the reading was cancelled");

    try {
        fillGaps(grid.data(), hit.data(), gridCols, gridRows, radius);
    } catch (const std::bad_alloc&) {
        return refuse("not enough memory to fill the gaps of its grid");
    }

    cells.adoptFull(std::move(grid));
    cols = gridCols;
    rows = gridRows;
    xmin = west;
    ymin = south;
    xmax = east;
    ymax = north;
    zone = sheet ? sheet->zone : 9;
    scale = 0.001;
    flagA = 1;
    flagB = 1;
    UpdateMinMax();
    compactCells();
    return 1;
}

}  // namespace kov
