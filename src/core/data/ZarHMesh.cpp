// SPDX-License-Identifier: MIT
#include "core/data/ZarHMesh.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <utility>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace kov {
namespace {

// Rounds half away from zero, then truncates toward zero.
int roundHalfAway(double v) {
    return static_cast<int>(v >= 0.0 ? v + 0.5 : v - 0.5);
}

// Where one output column (or row) of Resample reads: the nearest cell and the two cells and
// fraction of the bilinear interpolation.
struct Tap {
    int nearest;
    int lo;
    int hi;
    double frac;
};

// Taps along one axis from first to last cell index over n samples, clamped to 0..limit - 1.
void computeTaps(int first, int last, int n, int limit, std::vector<Tap>& taps) {
    taps.resize(static_cast<size_t>(n));
    const double step = n > 1 ? static_cast<double>(last - first) / (n - 1) : 1.0;
    auto clampIndex = [limit](int i) { return std::clamp(i, 0, limit - 1); };
    for (int i = 0; i < n; ++i) {
        const int nearest = i == n - 1 ? last : first + roundHalfAway(i * step);
        const double exact = std::min(first + i * step, static_cast<double>(last));
        const double lo = std::floor(exact);
        taps[static_cast<size_t>(i)] = {clampIndex(nearest), clampIndex(static_cast<int>(lo)),
                                        clampIndex(static_cast<int>(std::ceil(exact))), exact - lo};
    }
}

// A row of compact cells read as codes, one at a time (a sample reads at most five cells).
struct CompactRow {
    const uint16_t* values;
    CompactCoding coding;
    int32_t operator[](int i) const { return decodeCompactValue(values[i], coding); }
};

}  // namespace

ZarHMesh::ZarHMesh() = default;
ZarHMesh::~ZarHMesh() = default;

int ZarHMesh::Load(const std::string&) {
    return 0;
}

bool ZarHMesh::allocateCells(int64_t newCols, int64_t newRows) {
    if (newCols <= 0 || newRows <= 0 || newCols > kMaxCells || newRows > kMaxCells ||
        newCols * newRows > kMaxCells) {
        return false;
    }
    if (!cells.allocate(static_cast<size_t>(newCols * newRows), MESH_NODATA)) return false;
    cols = static_cast<int32_t>(newCols);
    rows = static_cast<int32_t>(newRows);
    return true;
}

const int32_t* ZarHMesh::rowCodes(int row, std::vector<int32_t>& scratch) const {
    // Sized even for full cells: let-go cells may come back compact.
    if (scratch.size() < static_cast<size_t>(cols)) scratch.resize(static_cast<size_t>(cols));
    return cells.codes(static_cast<size_t>(row) * cols, static_cast<size_t>(cols), scratch.data());
}

int ZarHMesh::GetCellValue(int col, int row, double& z) const {
    if (col < 0 || col >= cols || row < 0 || row >= rows) return 0;
    const int32_t code = cell(col, row);
    if (isSpecialCode(code)) return 0;
    z = code * scale;
    return 1;
}

bool ZarHMesh::locate(double x, double y, double& u, double& v) const {
    u = (x - xmin) / (xmax - xmin);
    v = (y - ymin) / (ymax - ymin);
    return u >= 0.0 && u < 1.0 && v >= 0.0 && v < 1.0;
}

bool ZarHMesh::contains(double x, double y) const {
    double u, v;
    return locate(x, y, u, v);
}

int ZarHMesh::GetElevation(double x, double y, double& z) const {
    double u, v;
    if (!locate(x, y, u, v)) return 0;
    int col = static_cast<int>(u * cols);
    const int row = static_cast<int>(v * rows);
    if (col < -1 || col > cols || row < 0 || row >= rows) return 0;
    if (col == cols) col = cols - 1;  // u just below 1 may round up to cols
    return GetCellValue(col, row, z);
}

double ZarHMesh::GetRawValue(double x, double y) const {
    double u, v;
    if (!locate(x, y, u, v) || cells.empty()) return 0.0;
    // The products may round up to cols or rows just inside the east and north edges.
    const int col = std::min(static_cast<int>(u * cols), cols - 1);
    const int row = std::min(static_cast<int>(v * rows), rows - 1);
    const int32_t code = cell(col, row);
    if (isSpecialCode(code)) return static_cast<double>(code);
    return code * scale;
}

namespace {

using Range = std::pair<int32_t, int32_t>;  // lowest, highest code that is not special

// Special codes take the values that change neither extreme.
Range scanRange(const int32_t* codes, size_t n, Range range) {
    for (size_t i = 0; i < n; ++i) {
        if (isSpecialCode(codes[i])) continue;
        range.first = std::min(range.first, codes[i]);
        range.second = std::max(range.second, codes[i]);
    }
    return range;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// Eight cells per step on processors with AVX2 (chosen at run time): a tile's range is scanned
// for every mesh whenever the collection's extent is updated.
__attribute__((target("avx2"))) Range scanRangeAvx2(const int32_t* codes, size_t n) {
    const __m256i noData = _mm256_set1_epi32(MESH_NODATA);
    const __m256i water = _mm256_set1_epi32(MESH_WATER);
    const __m256i top = _mm256_set1_epi32(std::numeric_limits<int32_t>::max());
    const __m256i bottom = _mm256_set1_epi32(std::numeric_limits<int32_t>::min());
    __m256i low = top;
    __m256i high = bottom;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(codes + i));
        const __m256i special =
            _mm256_or_si256(_mm256_cmpeq_epi32(c, noData), _mm256_cmpeq_epi32(c, water));
        low = _mm256_min_epi32(low, _mm256_blendv_epi8(c, top, special));
        high = _mm256_max_epi32(high, _mm256_blendv_epi8(c, bottom, special));
    }
    alignas(32) int32_t lows[8];
    alignas(32) int32_t highs[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lows), low);
    _mm256_store_si256(reinterpret_cast<__m256i*>(highs), high);
    Range range = {*std::min_element(lows, lows + 8), *std::max_element(highs, highs + 8)};
    return scanRange(codes + i, n - i, range);
}
#endif

// The range of compact values that are not special, as codes.
Range scanCompactRange(const MeshCells& cells, Range range) {
    const uint16_t* values = cells.compactValues();
    uint32_t low = CompactCoding::kMaxValue + 1, high = 0;
    for (size_t i = 0; i < cells.size(); ++i) {
        const uint32_t v = values[i];
        const bool special = v > CompactCoding::kMaxValue;
        low = std::min(low, special ? low : v);
        high = std::max(high, special ? high : v);
    }
    if (low > high) return range;
    const CompactCoding& c = cells.coding();
    return {c.offset + static_cast<int32_t>(low) * c.step,
            c.offset + static_cast<int32_t>(high) * c.step};
}

}  // namespace

void ZarHMesh::UpdateMinMax() {
    constexpr Range kEmpty = {std::numeric_limits<int32_t>::max(),
                              std::numeric_limits<int32_t>::min()};
    if (!cells.isResident()) return;
    Range range = kEmpty;
    if (cells.isCompact()) {
        range = scanCompactRange(cells, kEmpty);
    } else {
        const int32_t* codes = cells.codes(0, cells.size(), nullptr);
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
        static const bool avx2 = __builtin_cpu_supports("avx2");
        range = avx2 ? scanRangeAvx2(codes, cells.size()) : scanRange(codes, cells.size(), kEmpty);
#else
        range = scanRange(codes, cells.size(), kEmpty);
#endif
    }
    if (range.first > range.second) return;  // no cell with an elevation: the range stays
    minRaw = range.first;
    maxRaw = range.second;
}

int ZarHMesh::Resample(const CellWindow& window, int nx, int ny, double* values, uint8_t* flags,
                       int stride, int firstRow, int endRow) const {
    if (ny < 1 || nx < 1 || cells.empty()) return 1;
    if (stride < 1) stride = nx;
    // Indices are clamped to the grid, so a window reaching past an edge never reads outside.
    thread_local std::vector<Tap> columnTaps;
    thread_local std::vector<Tap> rowTaps;
    computeTaps(window.left, window.right, nx, cols, columnTaps);
    computeTaps(window.bottom, window.top, ny, rows, rowTaps);
    if (!cells.ready()) return 0;  // the cells could not be brought back

    // The same loop over full codes and over compact cells (decoded where they are read).
    auto sampleRows = [&](auto rowAt) {
        firstRow = std::max(firstRow, 0);
        for (int j = firstRow; j < std::min(endRow, ny); ++j) {
            const Tap& rt = rowTaps[static_cast<size_t>(j)];
            const auto nearestRow = rowAt(rt.nearest);
            const auto row0 = rowAt(rt.lo);
            const auto row1 = rowAt(rt.hi);
            const double fy = rt.frac;
            double* outValues = values + static_cast<size_t>(j - firstRow) * stride;
            uint8_t* outFlags = flags + static_cast<size_t>(j - firstRow) * stride;
            for (int i = 0; i < nx; ++i) {
                const Tap& ct = columnTaps[static_cast<size_t>(i)];
                const int32_t nearest = nearestRow[ct.nearest];
                if (nearest == MESH_NODATA) {
                    outValues[i] = 0.0;
                    outFlags[i] = kSampleNoData;
                    continue;
                }
                if (nearest == MESH_WATER) {
                    outValues[i] = 0.0;
                    outFlags[i] = kSampleWater;
                    continue;
                }
                double value = nearest * scale;
                if (ct.lo != ct.hi || rt.lo != rt.hi) {
                    const int32_t c00 = row0[ct.lo];
                    const int32_t c10 = row0[ct.hi];
                    const int32_t c01 = row1[ct.lo];
                    const int32_t c11 = row1[ct.hi];
                    if (!isSpecialCode(c00) && !isSpecialCode(c10) && !isSpecialCode(c01) &&
                        !isSpecialCode(c11)) {
                        const double fx = ct.frac;
                        value = (fy * (fx * c11 + (1.0 - fx) * c01) +
                                 (1.0 - fy) * ((1.0 - fx) * c00 + fx * c10)) *
                                scale;
                    }
                }
                outValues[i] = value;
                outFlags[i] = value < -30000.0 ? kSampleWater : kSampleValid;
            }
        }
    };
    if (cells.isCompact()) {
        const uint16_t* compact = cells.compactValues();
        const CompactCoding coding = cells.coding();
        sampleRows([&](int r) {
            return CompactRow{compact + static_cast<size_t>(r) * cols, coding};
        });
    } else {
        const int32_t* codes = cells.codes(0, cells.size(), nullptr);
        sampleRows([&](int r) { return codes + static_cast<size_t>(r) * cols; });
    }
    return 1;
}

void ZarHMesh::ResampleWithBorder(int w, int h, const MeshNeighbours& neighbours,
                                  const CellWindow& window, ResampledRaster& out, double fl,
                                  double fb, double fr, double ft, int firstRow, int endRow) const {
    using Slot = MeshNeighbours::Slot;
    const ZarHMesh* const* nb = neighbours.mesh;
    const bool useWest = nb[Slot::West] && std::fabs(fl) <= 0.001;
    const bool useEast = nb[Slot::East] && std::fabs(fr - 1.0) <= 0.001;
    const bool useSouth = nb[Slot::South] && std::fabs(fb) <= 0.001;
    const bool useNorth = nb[Slot::North] && std::fabs(ft - 1.0) <= 0.001;

    out.width = std::max(w, 0);
    firstRow = std::clamp(firstRow, 0, std::max(h, 0));
    endRow = std::clamp(endRow, firstRow, std::max(h, 0));
    out.height = endRow - firstRow;
    const size_t count = static_cast<size_t>(out.width) * out.height + 16;
    out.values.assign(count, 0.0);
    out.flags.assign(count, kSampleNoData);
    if (w < 1 || out.height < 1) return;

    int innerW = w;
    int innerH = h;
    int originCol = 0;
    int originRow = 0;
    CellWindow win = window;
    if (useWest || win.left <= 0) {
        --innerW;
        originCol = 1;
    } else {
        --win.left;
    }
    if (useSouth || win.bottom <= 0) {
        --innerH;
        originRow = 1;
    } else {
        --win.bottom;
    }
    if (useEast || win.right >= cols - 1) {
        --innerW;
        if (!useEast) win.right = std::min(win.right, cols - 1);
    } else {
        ++win.right;
    }
    if (useNorth || win.top >= rows - 1) {
        --innerH;
        if (!useNorth) win.top = std::min(win.top, rows - 1);
    } else {
        ++win.top;
    }

    // values and flags stand for the first row computed; the inner rows and the border rows
    // (0 and h - 1) are computed where they fall in firstRow..endRow-1.
    double* values = out.values.data();
    uint8_t* flags = out.flags.data();
    const int innerFirst = std::max(firstRow - originRow, 0);
    const int innerEnd = std::min(endRow - originRow, innerH);
    const bool hasBottom = firstRow == 0, hasTop = endRow == h;
    const size_t innerAt = static_cast<size_t>(originRow + innerFirst - firstRow) * w;
    Resample(win, innerW, innerH, values + innerAt + originCol, flags + innerAt + originCol, w,
             innerFirst, innerEnd);

    // A neighbour of another grid size cannot continue this one's rows and columns.
    auto usable = [this](const ZarHMesh* m) { return m && m->cols == cols && m->rows == rows; };
    auto strip = [&](const ZarHMesh* m, const CellWindow& cellWin, int nx, int ny, size_t at,
                     int first = 0, int end = INT_MAX) {
        m->Resample(cellWin, nx, ny, values + at, flags + at, w, first, end);
    };
    const int topRow = rows - 1;
    const int lastCol = cols - 1;
    if (useSouth && hasBottom && usable(nb[Slot::South])) {
        strip(nb[Slot::South], {win.left, topRow, win.right, topRow}, innerW, 1, originCol);
    }
    if (useWest && usable(nb[Slot::West])) {
        strip(nb[Slot::West], {lastCol, win.bottom, lastCol, win.top}, 1, innerH, innerAt,
              innerFirst, innerEnd);
    }
    if (useEast && usable(nb[Slot::East])) {
        strip(nb[Slot::East], {0, win.bottom, 0, win.top}, 1, innerH, innerAt + (w - 1), innerFirst,
              innerEnd);
    }
    if (useNorth && hasTop && usable(nb[Slot::North])) {
        strip(nb[Slot::North], {win.left, 0, win.right, 0}, innerW, 1,
              static_cast<size_t>(h - 1 - firstRow) * w + originCol);
    }
    auto corner = [&](bool sideA, bool sideB, Slot slot, int col, int row, size_t at) {
        if (sideA && sideB && usable(nb[slot])) strip(nb[slot], {col, row, col, row}, 1, 1, at);
    };
    const size_t lastRowStart = static_cast<size_t>(h - 1 - firstRow) * w;
    corner(useSouth && hasBottom, useWest, Slot::SouthWest, lastCol, topRow, 0);
    corner(useSouth && hasBottom, useEast, Slot::SouthEast, 0, topRow, static_cast<size_t>(w - 1));
    corner(useNorth && hasTop, useWest, Slot::NorthWest, lastCol, 0, lastRowStart);
    corner(useNorth && hasTop, useEast, Slot::NorthEast, 0, 0, lastRowStart + (w - 1));
}

}  // namespace kov
