// SPDX-License-Identifier: MIT
#include "core/display/MeshRenderer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>

#if defined(__x86_64__) || defined(__SSE2__)
#include <immintrin.h>
#endif

#include "core/base/SharedWork.h"
#include "core/data/ZarHColorMap.h"
#include "core/data/ZarHImage.h"
#include "core/display/ZarHShade.h"

namespace kov {
namespace {

// Steps up to this size are no steps: heights keep their fractions and the relief is shaded.
constexpr double kMinStep = 0.09;
// Band edges need steps above this size.
constexpr double kMinEdgeStep = 0.9;
constexpr uint8_t kNoShade = 255;

// At most this many bands, whatever a caller asks for.
constexpr int kMaxBands = 64;

// Band-edge marks of one sample.
enum EdgeMark : uint8_t {
    kLitVertical = 1,
    kShadedVertical = 2,
    kLitHorizontal = 4,
    kShadedHorizontal = 8,
};

// The pixel span of each sample's block in the mesh's part of the target, [start, end), by
// sample column and by sample row.
struct BlockSpans {
    std::vector<int> columnStart;
    std::vector<int> columnEnd;
    std::vector<int> rowStart;
    std::vector<int> rowEnd;
};

// Rows [first, end).
struct RowRange {
    int first = 0;
    int end = 0;
};

// Working storage of one mesh, kept across the meshes of a render so that a view of thousands
// of small tiles does not allocate for each. Each band of a render has its own.
struct MeshScratch {
    ResampledRaster raster;  // the sample rows a band needs, from sample row rasterFirst
    int rasterFirst = 0;
    std::vector<uint8_t> ownShading;
    BlockSpans spans;
    std::vector<uint8_t> line;  // one row of painted pixels, blue, green, red
    std::vector<int> runs;      // [start, end) pixel runs of the row that are painted
    std::vector<uint8_t> marks;
};

// ZarHColorMap::tableColor with the division replaced by a multiplication where that cannot
// change the entry: when the scaled position lies close to an entry boundary the exact formula
// decides.
class TableLookup {
public:
    explicit TableLookup(const ZarHColorMap& map)
        : map_(map),
          table_(map.table()),
          low_(table_.front().height),
          high_(table_.back().height),
          factor_(999.0 / (high_ - low_)),
          usable_(std::isfinite(factor_) && factor_ > 0.0) {}

    Rgb operator()(double h) const {
        if (!(usable_ && h > low_ && h < high_)) return map_.tableColor(h);
        const double position = (h - low_) * factor_;  // above 0, below about 999
        const int whole = static_cast<int>(position);
        const double fraction = position - whole;
        if (!(fraction > 1e-7 && fraction < 1.0 - 1e-7) || whole > 998) return map_.tableColor(h);
        const ColorTableEntry& e = table_[static_cast<size_t>(whole)];
        return Rgb{e.red, e.green, e.blue};
    }

private:
    const ZarHColorMap& map_;
    const std::array<ColorTableEntry, ZarHColorMap::kTableSize>& table_;
    double low_;
    double high_;
    double factor_;
    bool usable_;  // false for a table of equal (or absurdly close) first and last heights
};

struct SampleColor {
    uint8_t blue, green, red;
    bool painted;
};

SampleColor colorOfReference(uint32_t color) {
    return {static_cast<uint8_t>(color >> 16), static_cast<uint8_t>(color >> 8),
            static_cast<uint8_t>(color), (color & kColorNotPainted) == 0};
}

// Pixel spans of the samples 1..n-2 along one axis of the mesh's bitmap of `pixels` pixels:
// sample i covers trunc((i - 1 - offset) * k) up to trunc((i - offset) * k), the last one up to
// the bitmap's edge.
void sampleSpans(int n, int pixels, double k, double offset, std::vector<int>& start,
                 std::vector<int>& end) {
    start.assign(static_cast<size_t>(n), 0);
    end.assign(static_cast<size_t>(n), 0);
    for (int i = 1; i <= n - 2; ++i) {
        const double a = std::trunc((i - 1 - offset) * k);
        const double b = i == n - 2 ? pixels : std::trunc((i - offset) * k);
        start[static_cast<size_t>(i)] = static_cast<int>(std::clamp(a, 0.0, double(pixels)));
        end[static_cast<size_t>(i)] = static_cast<int>(std::clamp(b, 0.0, double(pixels)));
    }
}

// The target's rows of `rows` in the vertical gradient from bottom to top.
void fillBackground(Dib24& target, uint32_t top, uint32_t bottom, RowRange rows) {
    const int w = target.width(), h = target.height();
    for (int r = rows.first; r < rows.end; ++r) {
        const double t = h > 1 ? static_cast<double>(r) / (h - 1) : 1.0;
        auto channel = [t](uint32_t a, uint32_t b, int shift) {
            const double v = ((a >> shift) & 0xFF) * t + ((b >> shift) & 0xFF) * (1.0 - t);
            return static_cast<uint8_t>(std::floor(v + 0.5));
        };
        const uint8_t pixel[3] = {channel(top, bottom, 16), channel(top, bottom, 8),
                                  channel(top, bottom, 0)};
        // One pixel, then the filled part doubled until the row is full.
        uint8_t* row = target.row(r);
        const size_t bytes = static_cast<size_t>(w) * 3;
        std::memcpy(row, pixel, 3);
        for (size_t done = 3; done < bytes; done *= 2)
            std::memcpy(row + done, row, std::min(done, bytes - done));
    }
}

// The lanes of the shading (see ShadeLanes): double, Sse2Lane and AvxLane, with the loads and
// stores of a group of samples. Plain arithmetic only, no fused multiply-add, which would round
// differently.
template <class Lane>
constexpr int kLaneCount = Lane::kCount;
template <>
constexpr int kLaneCount<double> = 1;

template <class Lane>
[[gnu::always_inline]] inline Lane loadLanes(const double* p) {
    return Lane::load(p);
}
template <>
[[gnu::always_inline]] inline double loadLanes<double>(const double* p) {
    return *p;
}

inline double laneSqrt(double v) {
    return std::sqrt(v);
}
// Shades 0..255 (see ShadeLanes) as bytes.
inline void storeShades(uint8_t* out, double shade) {
    *out = static_cast<uint8_t>(static_cast<int>(shade));
}

#if defined(__SSE2__)
// Two samples; SSE2 is part of every x86-64 processor.
struct Sse2Lane {
    static constexpr int kCount = 2;
    explicit Sse2Lane(double value) : v(_mm_set1_pd(value)) {}
    explicit Sse2Lane(__m128d value) : v(value) {}
    static Sse2Lane load(const double* p) { return Sse2Lane(_mm_loadu_pd(p)); }
    __m128d v;
};
inline Sse2Lane operator+(Sse2Lane a, Sse2Lane b) {
    return Sse2Lane(_mm_add_pd(a.v, b.v));
}
inline Sse2Lane operator-(Sse2Lane a, Sse2Lane b) {
    return Sse2Lane(_mm_sub_pd(a.v, b.v));
}
inline Sse2Lane operator*(Sse2Lane a, Sse2Lane b) {
    return Sse2Lane(_mm_mul_pd(a.v, b.v));
}
inline Sse2Lane operator/(Sse2Lane a, Sse2Lane b) {
    return Sse2Lane(_mm_div_pd(a.v, b.v));
}
inline Sse2Lane laneSqrt(Sse2Lane a) {
    return Sse2Lane(_mm_sqrt_pd(a.v));
}
// min and max answer their second operand unless the first is smaller (larger), NaN included.
inline Sse2Lane laneMin(Sse2Lane a, Sse2Lane b) {
    return Sse2Lane(_mm_min_pd(a.v, b.v));
}
inline Sse2Lane laneMax(Sse2Lane a, Sse2Lane b) {
    return Sse2Lane(_mm_max_pd(a.v, b.v));
}
inline Sse2Lane zeroOutside(Sse2Lane s, Sse2Lane low, Sse2Lane high) {
    const __m128d inside = _mm_and_pd(_mm_cmpge_pd(s.v, low.v), _mm_cmple_pd(s.v, high.v));
    return Sse2Lane(_mm_and_pd(inside, s.v));
}
inline void storeShades(uint8_t* out, Sse2Lane shade) {
    const __m128i whole = _mm_cvttpd_epi32(shade.v);
    out[0] = static_cast<uint8_t>(_mm_cvtsi128_si32(whole));
    out[1] = static_cast<uint8_t>(_mm_cvtsi128_si32(_mm_srli_si128(whole, 4)));
}
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KOV_SHADE_AVX 1
// Four samples, on processors with AVX (chosen at run time): only functions compiled for AVX
// may hold an AvxLane, so the generic code that uses one is always inlined into them.
#define KOV_TARGET_AVX __attribute__((target("avx")))
struct AvxLane {
    static constexpr int kCount = 4;
    KOV_TARGET_AVX explicit AvxLane(double value) : v(_mm256_set1_pd(value)) {}
    KOV_TARGET_AVX explicit AvxLane(__m256d value) : v(value) {}
    KOV_TARGET_AVX static AvxLane load(const double* p) { return AvxLane(_mm256_loadu_pd(p)); }
    __m256d v;
};
KOV_TARGET_AVX inline AvxLane operator+(AvxLane a, AvxLane b) {
    return AvxLane(_mm256_add_pd(a.v, b.v));
}
KOV_TARGET_AVX inline AvxLane operator-(AvxLane a, AvxLane b) {
    return AvxLane(_mm256_sub_pd(a.v, b.v));
}
KOV_TARGET_AVX inline AvxLane operator*(AvxLane a, AvxLane b) {
    return AvxLane(_mm256_mul_pd(a.v, b.v));
}
KOV_TARGET_AVX inline AvxLane operator/(AvxLane a, AvxLane b) {
    return AvxLane(_mm256_div_pd(a.v, b.v));
}
KOV_TARGET_AVX inline AvxLane laneSqrt(AvxLane a) {
    return AvxLane(_mm256_sqrt_pd(a.v));
}
KOV_TARGET_AVX inline AvxLane laneMin(AvxLane a, AvxLane b) {
    return AvxLane(_mm256_min_pd(a.v, b.v));
}
KOV_TARGET_AVX inline AvxLane laneMax(AvxLane a, AvxLane b) {
    return AvxLane(_mm256_max_pd(a.v, b.v));
}
KOV_TARGET_AVX inline AvxLane zeroOutside(AvxLane s, AvxLane low, AvxLane high) {
    const __m256d inside = _mm256_and_pd(_mm256_cmp_pd(s.v, low.v, _CMP_GE_OQ),
                                         _mm256_cmp_pd(s.v, high.v, _CMP_LE_OQ));
    return AvxLane(_mm256_and_pd(inside, s.v));
}
KOV_TARGET_AVX inline void storeShades(uint8_t* out, AvxLane shade) {
    const __m128i whole = _mm256_cvttpd_epi32(shade.v);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(whole, whole), whole);
    const int four = _mm_cvtsi128_si32(bytes);
    std::memcpy(out, &four, 4);
}
#endif

// Shades of samples first..n-1 of one sample row, from the row (h0) and the row north of it
// (h1), kLaneCount<Lane> samples at a time as long as a whole group fits; answers the first
// sample left over. Each shade is that of the triangle of the sample, the one north of it and the
// one north-east of it: (P1 - P0) x (P2 - P1) with P1 - P0 = (0, dy, a) and
// P2 - P1 = (dx, 0, b), normalised.
template <class Lane>
[[gnu::always_inline]] inline int shadeRowFrom(const double* h0, const double* h1, int first, int n,
                                               double dx, double dy, const ZarHShade& light,
                                               uint8_t* out) {
    const ShadeLanes<Lane> shadeOf(light);
    const double nz = -dx * dy;
    const Lane laneDx(dx), laneDy(dy), laneNz(nz), laneNz2(nz * nz), one(1.0);
    int i = first;
    for (; i + kLaneCount<Lane> <= n; i += kLaneCount<Lane>) {
        const Lane below = loadLanes<Lane>(h0 + i);
        const Lane above = loadLanes<Lane>(h1 + i);
        const Lane aboveEast = loadLanes<Lane>(h1 + i + 1);
        const Lane a = above - below;
        const Lane b = aboveEast - above;
        const Lane x = laneDy * b;
        const Lane y = a * laneDx;
        const Lane inv = one / laneSqrt(x * x + y * y + laneNz2);
        storeShades(out + i, shadeOf(x * inv, y * inv, laneNz * inv));
    }
    return i;
}

#if defined(KOV_SHADE_AVX)
KOV_TARGET_AVX int shadeRowAvx(const double* h0, const double* h1, int n, double dx, double dy,
                               const ZarHShade& light, uint8_t* out) {
    return shadeRowFrom<AvxLane>(h0, h1, 0, n, dx, dy, light, out);
}
#endif

// Shades of samples 0..n-1 of one sample row (see shadeRowFrom): four at a time where the
// processor has AVX, then two at a time with SSE2, the rest one by one. All give the same shades
// as ZarHShade::shadeValue.
void shadeRow(const double* h0, const double* h1, int n, double dx, double dy,
              const ZarHShade& light, uint8_t* out) {
    int i = 0;
#if defined(KOV_SHADE_AVX)
    static const bool avx = __builtin_cpu_supports("avx");
    if (avx) i = shadeRowAvx(h0, h1, n, dx, dy, light, out);
#endif
#if defined(__SSE2__)
    i = shadeRowFrom<Sse2Lane>(h0, h1, i, n, dx, dy, light, out);
#endif
    shadeRowFrom<double>(h0, h1, i, n, dx, dy, light, out);
}

// Hill shading of the sample grid, one triangle normal per sample; samples without a computed
// shade (a corner of the triangle without a valid height) keep kNoShade, and those on the outer
// rows and columns take the value from further in. The raster holds sample rows first.. of a
// grid of totalRows rows; its last row has no row north of it and so no shades.
void computeShading(const ResampledRaster& raster, int first, int totalRows, double dx, double dy,
                    const ZarHShade& light, std::vector<uint8_t>& shade) {
    const int nx = raster.width, ny = raster.height;
    shade.assign(static_cast<size_t>(nx) * ny, kNoShade);
    const double* h = raster.values.data();
    const uint8_t* f = raster.flags.data();
    for (int j = 0; j < ny - 1; ++j) {
        const size_t row = static_cast<size_t>(j) * nx;
        const uint8_t* f0 = f + row;
        const uint8_t* f1 = f0 + nx;
        uint8_t* out = shade.data() + row;
        shadeRow(h + row, h + row + nx, nx - 1, dx, dy, light, out);
        for (int i = 0; i < nx - 1; ++i) {
            if (f0[i] != kSampleValid || f1[i] != kSampleValid || f1[i + 1] != kSampleValid)
                out[i] = kNoShade;
        }
    }
    auto at = [&](int i, int j) -> uint8_t& { return shade[static_cast<size_t>(j) * nx + i]; };
    if (first == 0 && ny > 2) {
        for (int i = 0; i < nx; ++i) {
            if (at(i, 0) == kNoShade) at(i, 0) = at(i, 2);
        }
    }
    const int lastShaded = totalRows - 2 - first;  // the grid's row totalRows - 2 in the raster
    if (lastShaded >= 1 && lastShaded < ny) {
        for (int i = 0; i < nx; ++i) {
            if (at(i, lastShaded) == kNoShade) at(i, lastShaded) = at(i, lastShaded - 1);
        }
    }
    for (int j = 0; j < ny; ++j) {
        if (at(0, j) == kNoShade) at(0, j) = at(2, j);
    }
    for (int j = 0; j < ny; ++j) {
        if (at(nx - 2, j) == kNoShade) at(nx - 2, j) = at(nx - 4, j);
    }
}

// Marks the edges between samples whose (quantised) heights differ, lit or shaded by the sense
// of the light; samples next to no data get no marks.
void markBandEdges(const ResampledRaster& raster, int gx, int gy, std::vector<uint8_t>& marks) {
    const int nx = raster.width, ny = raster.height;
    marks.assign(static_cast<size_t>(nx) * ny, 0);
    const double* h = raster.values.data();
    const uint8_t* f = raster.flags.data();
    for (int j = 0; j < ny - 1; ++j) {
        const size_t row = static_cast<size_t>(j) * nx;
        for (int i = 0; i < nx - 1; ++i) {
            const size_t k = row + i;
            if (f[k] == kSampleNoData || f[k + 1] == kSampleNoData || f[k + nx] == kSampleNoData ||
                f[k + nx + 1] == kSampleNoData) {
                continue;
            }
            uint8_t m = 0;
            const double ex = (h[k + 1] - h[k]) * gx;
            if (ex < 0) m |= kLitVertical;
            if (ex > 0) m |= kShadedVertical;
            const double ey = (h[k + nx] - h[k]) * gy;
            if (ey < 0) m |= kLitHorizontal;
            if (ey > 0) m |= kShadedHorizontal;
            marks[k] = m;
        }
    }
}

// Where a mesh lands in the target and which of its cells show there.
struct MeshPlacement {
    // The mesh's pixels in the target: width x height from (left, bottom), rows counted from the
    // bottom.
    int left = 0;
    int bottom = 0;
    int width = 0;
    int height = 0;
    // The target's rectangle as fractions of the mesh.
    double gx0 = 0.0;
    double gy0 = 0.0;
    double gx1 = 0.0;
    double gy1 = 0.0;
    // The visible part of the mesh in cells (fractions included), and its cells.
    double visibleWidth = 0.0;
    double visibleHeight = 0.0;
    CellWindow window;
    int visibleCols = 0;
    int visibleRows = 0;
    // How far (in cells) the target's west (south) edge lies inside the window's first cell.
    double cellOffsetX = 0.0;
    double cellOffsetY = 0.0;
    // The samples of the visible cells: one per cell, or one per pixel when the cells are
    // smaller than pixels; plus one beyond the window on every side, from the neighbours.
    int sampleCols = 0;
    int sampleRows = 0;
};

// The placement of a mesh at fraction f of a targetWidth x targetHeight target; none for a mesh
// without cells, a damaged fraction, or a mesh that covers no pixel or next to no cell.
std::optional<MeshPlacement> placeMesh(const ZarHMesh& mesh, const MeshFraction& f, int targetWidth,
                                       int targetHeight) {
    const int cols = mesh.cols, rows = mesh.rows;
    if (cols < 1 || rows < 1 || mesh.cells.size() < static_cast<size_t>(cols) * rows) {
        return std::nullopt;
    }
    if (!std::isfinite(f.x0) || !std::isfinite(f.y0) || !std::isfinite(f.x1) ||
        !std::isfinite(f.y1) || !(f.x1 > f.x0) || !(f.y1 > f.y0)) {
        return std::nullopt;
    }
    MeshPlacement p;
    const double fx0 = std::clamp(f.x0, 0.0, 1.0), fx1 = std::clamp(f.x1, 0.0, 1.0);
    const double fy0 = std::clamp(f.y0, 0.0, 1.0), fy1 = std::clamp(f.y1, 0.0, 1.0);
    p.left = static_cast<int>(std::floor(targetWidth * fx0));
    p.bottom = static_cast<int>(std::floor(targetHeight * fy0));
    p.width = static_cast<int>(std::floor(targetWidth * fx1)) - p.left;
    p.height = static_cast<int>(std::floor(targetHeight * fy1)) - p.bottom;
    if (p.width <= 0 || p.height <= 0) return std::nullopt;

    p.gx0 = std::clamp(-f.x0 / (f.x1 - f.x0), 0.0, 1.0);
    p.gx1 = std::clamp((1.0 - f.x0) / (f.x1 - f.x0), 0.0, 1.0);
    p.gy0 = std::clamp(-f.y0 / (f.y1 - f.y0), 0.0, 1.0);
    p.gy1 = std::clamp((1.0 - f.y0) / (f.y1 - f.y0), 0.0, 1.0);
    p.visibleWidth = cols * (p.gx1 - p.gx0);
    p.visibleHeight = rows * (p.gy1 - p.gy0);
    if (p.visibleWidth < 0.001 || p.visibleHeight < 0.001) return std::nullopt;
    CellWindow& window = p.window;
    window.left = std::max(0, static_cast<int>(std::floor(cols * p.gx0)));
    window.right = std::min(cols - 1, static_cast<int>(std::floor(cols * p.gx1)));
    window.bottom = std::max(0, static_cast<int>(std::floor(rows * p.gy0)));
    window.top = std::min(rows - 1, static_cast<int>(std::floor(rows * p.gy1)));
    if (window.right < window.left || window.top < window.bottom) return std::nullopt;
    p.visibleCols = window.right - window.left + 1;
    p.visibleRows = window.top - window.bottom + 1;
    p.cellOffsetX = cols * p.gx0 - window.left;
    p.cellOffsetY = rows * p.gy0 - window.bottom;
    p.sampleCols = std::max(std::min(p.width, p.visibleCols), 2) + 2;
    p.sampleRows = std::max(std::min(p.height, p.visibleRows), 2) + 2;
    return p;
}

// Valid heights down to a whole number of steps.
void quantiseHeights(ResampledRaster& raster, double step) {
    const size_t count = static_cast<size_t>(raster.width) * raster.height;
    double* h = raster.values.data();
    const uint8_t* flags = raster.flags.data();
    for (size_t k = 0; k < count; ++k) {
        if (flags[k] == kSampleValid) h[k] = std::floor(h[k] / step) * step;
    }
}

// Hill shading of the samples (see computeShading), their spacing taken over the window widened
// by one cell on each side; raster holds the sample rows from `first`.
void shadeWindow(const ZarHMesh& mesh, const MeshPlacement& p, const ResampledRaster& raster,
                 int first, const ZarHShade& light, std::vector<uint8_t>& shading) {
    const double cellX = mesh.width() / mesh.cols, cellY = mesh.height() / mesh.rows;
    const double dx = (p.visibleCols + 2) * cellX / p.sampleCols;
    const double dy = (p.visibleRows + 2) * cellY / p.sampleRows;
    computeShading(raster, first, p.sampleRows, dx, dy, light, shading);
}

// The pixel blocks of the samples (see MeshPlacement): where more cells are visible than there
// are pixels the samples share the pixels evenly, otherwise each block covers its cell.
void blockSpans(const MeshPlacement& p, BlockSpans& spans) {
    const int nx = p.sampleCols, ny = p.sampleRows;
    const bool thinX = p.visibleCols > p.width;
    const bool thinY = p.visibleRows > p.height;
    const double kx = thinX ? static_cast<double>(p.width) / (nx - 2) : p.width / p.visibleWidth;
    const double ox = thinX ? 0.0 : p.cellOffsetX;
    const double ky = thinY ? static_cast<double>(p.height) / (ny - 2) : p.height / p.visibleHeight;
    const double oy = thinY ? 0.0 : p.cellOffsetY;
    sampleSpans(nx, p.width, kx, ox, spans.columnStart, spans.columnEnd);
    sampleSpans(ny, p.height, ky, oy, spans.rowStart, spans.rowEnd);
}

// The sample rows [first, end) whose blocks reach the mesh's pixel rows `pixels`; empty when
// none does.
RowRange paintedSampleRows(const BlockSpans& spans, RowRange pixels) {
    RowRange rows;
    const int n = static_cast<int>(spans.rowStart.size());
    for (int j = 1; j <= n - 2; ++j) {
        const int r0 = std::max(spans.rowStart[static_cast<size_t>(j)], pixels.first);
        const int r1 = std::min(spans.rowEnd[static_cast<size_t>(j)], pixels.end);
        if (r0 >= r1) continue;
        if (rows.end == 0) rows.first = j;
        rows.end = j + 1;
    }
    return rows;
}

// The colours of the samples: the table colour of a valid height, and the sea and no-data
// colours of the map.
struct SamplePalette {
    explicit SamplePalette(const ZarHColorMap& map)
        : tableColor(map),
          water(colorOfReference(map.seaColor)),
          noData(colorOfReference(map.noDataColor)) {}

    TableLookup tableColor;
    SampleColor water;
    SampleColor noData;
};

// The blocks of sample row j as pixels of line (blue, green, red), and the runs [start, end) of
// line that are painted. Valid heights take their table colour darkened by the sample's shade
// where there are shades (shade not null).
void makeBlockRow(const ResampledRaster& raster, int j, const uint8_t* shade,
                  const SamplePalette& palette, const BlockSpans& spans, uint8_t* line,
                  std::vector<int>& runs) {
    const int nx = raster.width;
    const double* h = raster.values.data();
    const uint8_t* flags = raster.flags.data();
    const int* cs = spans.columnStart.data();
    const int* ce = spans.columnEnd.data();
    const size_t row = static_cast<size_t>(j) * nx;
    runs.clear();
    for (int i = 1; i <= nx - 2; ++i) {
        const int c0 = cs[i], c1 = ce[i];
        if (c0 >= c1) continue;
        const size_t k = row + i;
        SampleColor c;
        if (flags[k] == kSampleValid) {
            const Rgb rgb = palette.tableColor(h[k]);
            c = {rgb.blue, rgb.green, rgb.red, true};
            if (shade) {
                const unsigned s = shade[k];
                c.blue = static_cast<uint8_t>(c.blue * s / 256);
                c.green = static_cast<uint8_t>(c.green * s / 256);
                c.red = static_cast<uint8_t>(c.red * s / 256);
            }
        } else {
            c = flags[k] == kSampleWater ? palette.water : palette.noData;
        }
        if (!c.painted) continue;
        uint8_t* p = line + static_cast<size_t>(c0) * 3;
        for (int x = c0; x < c1; ++x, p += 3) {
            p[0] = c.blue;
            p[1] = c.green;
            p[2] = c.red;
        }
        if (!runs.empty() && runs.back() == c0) {
            runs.back() = c1;
        } else {
            runs.push_back(c0);
            runs.push_back(c1);
        }
    }
}

// The painted runs of line into the mesh's pixel rows r0..r1-1.
void copyRuns(Dib24& target, const MeshPlacement& p, int r0, int r1, const uint8_t* line,
              const std::vector<int>& runs) {
    for (int y = r0; y < r1; ++y) {
        uint8_t* dst = target.row(p.bottom + y) + static_cast<size_t>(p.left) * 3;
        for (size_t r = 0; r < runs.size(); r += 2) {
            std::memcpy(dst + static_cast<size_t>(runs[r]) * 3,
                        line + static_cast<size_t>(runs[r]) * 3,
                        static_cast<size_t>(runs[r + 1] - runs[r]) * 3);
        }
    }
}

// The blocks of the sample rows `samples` (inside the border) within the mesh's pixel rows
// `pixels`; colours that are not painted leave the target as it is.
void paintBlocks(Dib24& target, const MeshPlacement& p, const ResampledRaster& raster,
                 const uint8_t* shade, const ZarHColorMap& colorMap, RowRange samples,
                 RowRange pixels, MeshScratch& scratch) {
    const SamplePalette palette(colorMap);
    const BlockSpans& spans = scratch.spans;
    scratch.line.resize(static_cast<size_t>(p.width) * 3);
    for (int j = samples.first; j < samples.end; ++j) {
        const int r0 = std::max(spans.rowStart[static_cast<size_t>(j)], pixels.first);
        const int r1 = std::min(spans.rowEnd[static_cast<size_t>(j)], pixels.end);
        if (r0 >= r1) continue;
        makeBlockRow(raster, j - scratch.rasterFirst, shade, palette, spans, scratch.line.data(),
                     scratch.runs);
        copyRuns(target, p, r0, r1, scratch.line.data(), scratch.runs);
    }
}

// The band-edge lines of the sample rows `samples` (see markBandEdges) within the mesh's pixel
// rows `pixels`, in the map's lit and shaded edge colours, each on the block's side toward the
// next sample north (east).
void paintBandEdges(Dib24& target, const MeshPlacement& p, const ResampledRaster& raster,
                    const ZarHColorMap& colorMap, RowRange samples, RowRange pixels,
                    MeshScratch& scratch) {
    int gx = 0, gy = 0;
    bandEdgeSenses(colorMap.lightAzimuth, gx, gy);
    markBandEdges(raster, gx, gy, scratch.marks);
    const uint32_t lit = colorMap.edgeLightColor, shaded = colorMap.edgeShadowColor;
    const int nx = raster.width;
    const BlockSpans& spans = scratch.spans;
    const int* cs = spans.columnStart.data();
    const int* ce = spans.columnEnd.data();
    for (int j = samples.first; j < samples.end; ++j) {
        const int r0 = std::max(spans.rowStart[static_cast<size_t>(j)], pixels.first);
        const int r1 = std::min(spans.rowEnd[static_cast<size_t>(j)], pixels.end);
        if (r0 >= r1) continue;
        // The block's top row, where its horizontal edge lies, may belong to the next band.
        const int edgeRow = spans.rowEnd[static_cast<size_t>(j)] - 1;
        const bool edgeRowHere = edgeRow < pixels.end;
        const uint8_t* marks =
            scratch.marks.data() + static_cast<size_t>(j - scratch.rasterFirst) * nx;
        for (int i = 1; i <= nx - 2; ++i) {
            const uint8_t m = marks[i];
            const int c0 = cs[i], c1 = ce[i];
            if (m == 0 || c0 >= c1) continue;
            if (edgeRowHere && (m & (kLitHorizontal | kShadedHorizontal))) {
                const uint32_t color = (m & kLitHorizontal) ? lit : shaded;
                for (int x = c0; x < c1; ++x)
                    target.setPixel(p.left + x, p.bottom + edgeRow, color);
            }
            if (m & (kLitVertical | kShadedVertical)) {
                const uint32_t color = (m & kLitVertical) ? lit : shaded;
                for (int y = r0; y < r1; ++y)
                    target.setPixel(p.left + c1 - 1, p.bottom + y, color);
            }
        }
    }
}

// What every mesh of a render is drawn with.
struct DrawStyle {
    const ZarHColorMap& colorMap;
    const ZarHShade& light;
    int stepMode;
    double step;  // finite
};

// Draws the centre mesh of the neighbourhood, placed at p, into the target rows `band`: the
// samples whose blocks reach those rows resampled, quantised to steps, hill-shaded (gradients
// only), painted as pixel blocks and, for step mode 2, with band edges.
void drawPlacedMesh(Dib24& target, RowRange band, const MeshPlacement& p,
                    const MeshNeighbours& neighbours, const DrawStyle& style,
                    std::vector<uint8_t>* shading, MeshScratch& scratch) {
    const RowRange pixels{std::max(band.first - p.bottom, 0),
                          std::min(band.end - p.bottom, p.height)};
    if (pixels.first >= pixels.end) return;
    blockSpans(p, scratch.spans);
    const RowRange samples = paintedSampleRows(scratch.spans, pixels);
    if (samples.first >= samples.end) return;
    // A band holding the whole mesh takes all its samples (the shading buffer then covers them
    // all); a part takes one sample row more on each side, for the shades and band edges
    // (which look at the row north) and for the shades the second-last row borrows from below.
    const bool whole = pixels.first == 0 && pixels.end == p.height;
    const RowRange held =
        whole ? RowRange{0, p.sampleRows}
              : RowRange{samples.first - 1, std::min(samples.end + 1, p.sampleRows)};
    const ZarHMesh& mesh = *neighbours.mesh[MeshNeighbours::Centre];
    ResampledRaster& raster = scratch.raster;
    scratch.rasterFirst = held.first;
    mesh.ResampleWithBorder(p.sampleCols, p.sampleRows, neighbours, p.window, raster, p.gx0, p.gy0,
                            p.gx1, p.gy1, held.first, held.end);
    if (style.stepMode > 0 && style.step > kMinStep) quantiseHeights(raster, style.step);
    // The shades are only used for gradients (steps up to 0.09 m).
    const uint8_t* shade = nullptr;
    if (shading && style.step <= kMinStep) {
        shadeWindow(mesh, p, raster, held.first, style.light, *shading);
        shade = shading->data();
    }
    paintBlocks(target, p, raster, shade, style.colorMap, samples, pixels, scratch);
    if (style.stepMode == 2 && style.step > kMinEdgeStep)
        paintBandEdges(target, p, raster, style.colorMap, samples, pixels, scratch);
}

// A mesh of the collection in view: its index, where it lands and the meshes around it.
struct PlacedMesh {
    int index = 0;
    MeshPlacement place;
    MeshNeighbours neighbours;
};

// Reports the meshes of the collection to a progress callback in order, each once.
class MeshProgress {
public:
    MeshProgress(const RenderProgress& progress, int count) : progress_(progress), count_(count) {}
    // Reports every mesh before `end` not reported yet.
    void reportUpTo(int end) {
        for (; next_ < end; ++next_) {
            if (progress_) progress_(next_, count_);
        }
    }

private:
    const RenderProgress& progress_;
    int count_;
    int next_ = 0;
};

// Rows 0..height-1 in `count` bands of nearly equal height, from the bottom.
std::vector<RowRange> splitRows(int height, int count) {
    std::vector<RowRange> bands(static_cast<size_t>(count));
    for (int b = 0; b < count; ++b) {
        bands[static_cast<size_t>(b)] = {
            static_cast<int>(static_cast<int64_t>(height) * b / count),
            static_cast<int>(static_cast<int64_t>(height) * (b + 1) / count)};
    }
    return bands;
}

// Everything one band of a render draws, in the order the whole target would be drawn.
struct BandJob {
    Dib24& target;
    const std::vector<PlacedMesh>& meshes;
    const DrawStyle& style;
    std::vector<uint8_t>* shading;  // null: a buffer of the drawing thread's own

    // The background and every mesh that reaches the band, in list order; progress (the
    // calling thread's first band only) hears of each mesh as the band comes to it.
    void draw(RowRange band, MeshProgress* progress, MeshScratch& scratch) const {
        fillBackground(target, style.colorMap.topColor, style.colorMap.bottomColor, band);
        std::vector<uint8_t>* shades = shading ? shading : &scratch.ownShading;
        for (const PlacedMesh& m : meshes) {
            if (progress) progress->reportUpTo(m.index + 1);
            drawPlacedMesh(target, band, m.place, m.neighbours, style, shades, scratch);
        }
    }
};

// Draws the bands on up to one thread per core; the calling thread draws the first band, which
// alone reports progress.
void drawBands(const BandJob& job, const std::vector<RowRange>& bands, MeshProgress& progress) {
    std::vector<MeshScratch> scratch(static_cast<size_t>(workersFor(bands.size())));
    shareAmongCores(bands.size(), [&](size_t band, int worker) {
        job.draw(bands[band], band == 0 ? &progress : nullptr,
                 scratch[static_cast<size_t>(worker)]);
    });
}

// Views of more meshes than this draw from the overview pyramid when zoomed out far enough;
// fewer are drawn fast enough from the meshes themselves, and exactly as at any other scale.
constexpr size_t kOverviewMinMeshes = 256;

// What a frame draws: the project's meshes, or one level of its overview pyramid when more
// than kOverviewMinMeshes meshes are in view and a pixel spans at least two of the finest cells
// (the level of the largest cells not larger than a pixel).
struct DrawList {
    std::vector<const ZarHMesh*> meshes;
    bool overview = false;  // meshes holds one pyramid level, drawn without neighbours
};

DrawList meshesToDraw(HMeshProject& project, const MapRect& view, int targetWidth) {
    DrawList list;
    size_t inView = 0;
    for (int i = 0; i < project.meshCount(); ++i) {
        const ZarHMesh* mesh = project.GetMesh(i);
        list.meshes.push_back(mesh);
        inView += mesh->xmin <= view.xmax && mesh->ymin <= view.ymax && mesh->xmax >= view.xmin &&
                  mesh->ymax >= view.ymin;
    }
    if (!project.drawOverviews || inView <= kOverviewMinMeshes) return list;
    const double pixel = (view.xmax - view.xmin) / targetWidth;
    const OverviewPyramid* pyramid = project.overviewPyramid();
    if (!pyramid || !(pixel >= 2.0 * pyramid->finestCellSize())) return list;
    if (const ZarHMesh* level = pyramid->levelFor(pixel)) list = {{level}, true};
    return list;
}

}  // namespace

void bandEdgeSenses(double azimuth, int& gx, int& gy) {
    double a = std::fmod(azimuth, 360.0);
    if (a < 0) a += 360.0;
    if (!(a >= 0.0 && a < 360.0)) a = 0.0;  // NaN, or -tiny + 360 rounding to 360
    auto near = [a](double direction) {
        double d = std::fabs(a - direction);
        return std::min(d, 360.0 - d) <= 5.0;
    };
    gx = near(0.0) || near(180.0) ? 0 : (a <= 180.0 ? -1 : 1);
    gy = near(90.0) || near(270.0) ? 0 : (a < 90.0 || a > 270.0 ? 1 : -1);
}

int renderOneMesh(Dib24& target, const MeshFraction& fraction, std::vector<uint8_t>* shading,
                  const ZarHColorMap& colorMap, const MeshNeighbours& neighbours, int stepMode,
                  double step, const ZarHShade* light) {
    const ZarHMesh* mesh = neighbours.mesh[MeshNeighbours::Centre];
    if (!mesh || target.isEmpty()) return 1;
    const std::optional<MeshPlacement> place =
        placeMesh(*mesh, fraction, target.width(), target.height());
    if (!place) return 1;
    if (!std::isfinite(step)) step = 0.0;  // a damaged setting counts as no step
    std::optional<ZarHShade> own;
    if (!light) light = &own.emplace(colorMap);
    MeshScratch scratch;
    const DrawStyle style{colorMap, *light, stepMode, step};
    drawPlacedMesh(target, {0, target.height()}, *place, neighbours, style, shading, scratch);
    return 1;
}

int renderBandCount(int width, int height) {
    // Below about 256 x 256 pixels a thread costs more to start than it saves; a band of fewer
    // than 32 rows repeats too much of the resampling at its edges.
    constexpr int64_t kMinThreadPixels = 256 * 256;
    constexpr int kMinBandRows = 32;
    constexpr int kBandsPerThread = 4;
    if (width < 1 || height < 1) return 1;
    const int64_t threads =
        std::min<int64_t>(static_cast<int64_t>(width) * height / kMinThreadPixels, coreCount());
    if (threads < 2) return 1;
    return static_cast<int>(
        std::clamp<int64_t>(height / kMinBandRows, 1, threads * kBandsPerThread));
}

int renderMeshes(HMeshProject& project, Dib24& target, const MapRect* rect,
                 const ZarHColorMap* colorMap, std::vector<uint8_t>* shading, int stepMode,
                 double step, int drawKind, const RenderProgress& progress, int bands) {
    if (target.isEmpty()) return 1;
    const ZarHColorMap& map = colorMap ? *colorMap : *project.GetColorMap(0);
    if (stepMode == 0 || !std::isfinite(step)) step = 0.0;  // a damaged setting: no step
    if (drawKind < 0) drawKind = 0;
    project.SortMeshes();
    // Cells read by the last frame may go now; none goes while the bands read them.
    project.trimCells();
    const ZarHShade light(map);

    MapRect view = project.extent;
    if (rect) view = *rect;
    const double spanX = view.xmax - view.xmin, spanY = view.ymax - view.ymin;
    auto fractionOf = [&](double x0, double y0, double x1, double y1) {
        return MeshFraction{(x0 - view.xmin) / spanX, (y0 - view.ymin) / spanY,
                            (x1 - view.xmin) / spanX, (y1 - view.ymin) / spanY};
    };
    auto overlaps = [](const MeshFraction& f) {
        return f.x0 <= 1.0 && f.y0 <= 1.0 && f.x1 >= 0.0 && f.y1 >= 0.0;
    };

    // The meshes in view (the collection's, or a level of the overview pyramid when zoomed out)
    // are placed and given their neighbours here, so that the bands only read what they share.
    DrawList list;
    if (drawKind == 0) list = meshesToDraw(project, view, target.width());
    const int count = static_cast<int>(list.meshes.size());
    std::vector<PlacedMesh> placed;
    for (int i = 0; i < count; ++i) {
        const ZarHMesh& mesh = *list.meshes[static_cast<size_t>(i)];
        const MeshFraction f = fractionOf(mesh.xmin, mesh.ymin, mesh.xmax, mesh.ymax);
        if (!overlaps(f)) continue;
        const std::optional<MeshPlacement> place =
            placeMesh(mesh, f, target.width(), target.height());
        if (!place) continue;
        PlacedMesh& m = placed.emplace_back();
        m.index = i;
        m.place = *place;
        if (list.overview)
            m.neighbours.mesh[MeshNeighbours::Centre] = &mesh;
        else
            project.FindNeighbours(mesh, m.neighbours);
    }

    // A caller's shading buffer holds the shades of the last mesh drawn: one band draws them all.
    if (bands < 1) bands = renderBandCount(target.width(), target.height());
    if (shading) bands = 1;
    bands = std::min({bands, target.height(), kMaxBands});
    const DrawStyle style{map, light, stepMode, step};
    MeshProgress meshProgress(progress, count);
    drawBands(BandJob{target, placed, style, shading}, splitRows(target.height(), bands),
              meshProgress);
    if (drawKind == 0) meshProgress.reportUpTo(count);  // those after the last mesh in view

    if (project.imageVisible) {
        const int opacity = (100 - project.imageTransparency) * 255 / 100;
        const int images = project.imageCount();
        for (int i = 0; i < images; ++i) {
            const ZarHImage& image = *project.GetImage(i);
            if (!image.hasPicture()) continue;
            if (progress) progress(i, images);
            if (!overlaps(fractionOf(image.xmin, image.ymin, image.xmax, image.ymax))) continue;
            image.DrawImage(target, view, opacity);
        }
    }
    return 1;
}

}  // namespace kov
