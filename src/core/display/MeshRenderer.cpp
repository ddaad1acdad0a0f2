#include "core/display/MeshRenderer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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

// Band-edge marks of one sample.
enum EdgeMark : uint8_t {
    kLitVertical = 1,
    kShadedVertical = 2,
    kLitHorizontal = 4,
    kShadedHorizontal = 8,
};

// Working storage of one mesh, kept across the meshes of a render so that a view of thousands
// of small tiles does not allocate for each.
struct MeshScratch {
    ResampledRaster raster;
    std::vector<uint8_t> ownShading;
    std::vector<int> columnStart;  // pixel span of each sample column, [start, end)
    std::vector<int> columnEnd;
    std::vector<int> rowStart;
    std::vector<int> rowEnd;
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

void fillBackground(Dib24& target, uint32_t top, uint32_t bottom) {
    const int w = target.width(), h = target.height();
    for (int r = 0; r < h; ++r) {
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

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KOV_SHADE_AVX 1
// shadeRow four samples at a time on processors with AVX (the same operations lane by lane;
// no fused multiply-add, which would round differently). Answers how many samples it shaded.
__attribute__((target("avx"))) int shadeRowAvx(const double* h0, const double* h1, int n, double dx,
                                               double dy, const ZarHShade& light, uint8_t* out) {
    const double nz = -dx * dy;
    const __m256d vdx = _mm256_set1_pd(dx), vdy = _mm256_set1_pd(dy), vnz = _mm256_set1_pd(nz);
    const __m256d vnz2 = _mm256_set1_pd(nz * nz), zero = _mm256_setzero_pd();
    const __m256d one = _mm256_set1_pd(1.0), two = _mm256_set1_pd(2.0);
    const __m256d full = _mm256_set1_pd(255.0), half = _mm256_set1_pd(0.5);
    const __m256d l0 = _mm256_set1_pd(light.light[0]), l1 = _mm256_set1_pd(light.light[1]);
    const __m256d l2 = _mm256_set1_pd(light.light[2]), e0 = _mm256_set1_pd(light.view[0]);
    const __m256d e1 = _mm256_set1_pd(light.view[1]), e2 = _mm256_set1_pd(light.view[2]);
    const __m256d kd = _mm256_set1_pd(light.kd), ks = _mm256_set1_pd(light.ks);
    const __m256d dark = _mm256_set1_pd(1.0 - light.ambient);
    int i = 0;
    for (; i + 3 < n; i += 4) {
        const __m256d below = _mm256_loadu_pd(h0 + i);
        const __m256d above = _mm256_loadu_pd(h1 + i);
        const __m256d aboveEast = _mm256_loadu_pd(h1 + i + 1);
        const __m256d a = _mm256_sub_pd(above, below);
        const __m256d b = _mm256_sub_pd(aboveEast, above);
        const __m256d x = _mm256_mul_pd(vdy, b);
        const __m256d y = _mm256_mul_pd(a, vdx);
        const __m256d q =
            _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(x, x), _mm256_mul_pd(y, y)), vnz2);
        const __m256d inv = _mm256_div_pd(one, _mm256_sqrt_pd(q));
        const __m256d nx = _mm256_mul_pd(x, inv), ny = _mm256_mul_pd(y, inv);
        const __m256d nzu = _mm256_mul_pd(vnz, inv);
        const __m256d d = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(nx, l0), _mm256_mul_pd(ny, l1)),
                                        _mm256_mul_pd(nzu, l2));
        const __m256d d2 = _mm256_mul_pd(two, d);
        const __m256d rx = _mm256_sub_pd(_mm256_mul_pd(d2, nx), l0);
        const __m256d ry = _mm256_sub_pd(_mm256_mul_pd(d2, ny), l1);
        const __m256d rz = _mm256_sub_pd(_mm256_mul_pd(d2, nzu), l2);
        __m256d s = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(rx, e0), _mm256_mul_pd(ry, e1)),
                                  _mm256_mul_pd(rz, e2));
        s = _mm256_and_pd(
            _mm256_and_pd(_mm256_cmp_pd(s, zero, _CMP_GE_OQ), _mm256_cmp_pd(s, one, _CMP_LE_OQ)),
            s);
        __m256d intensity = _mm256_add_pd(_mm256_mul_pd(kd, d), _mm256_mul_pd(ks, s));
        intensity = _mm256_min_pd(_mm256_max_pd(intensity, zero), one);
        __m256d shade = _mm256_mul_pd(
            _mm256_sub_pd(one, _mm256_mul_pd(_mm256_sub_pd(one, intensity), dark)), full);
        shade = _mm256_min_pd(_mm256_max_pd(_mm256_add_pd(shade, half), zero), full);
        const __m128i whole = _mm256_cvttpd_epi32(shade);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(whole, whole), whole);
        const int four = _mm_cvtsi128_si32(bytes);
        std::memcpy(out + i, &four, 4);
    }
    return i;
}
#endif

// Shades of samples 0..n-1 of one sample row, from the row (h0) and the row north of it (h1):
// the normal of the triangle of the sample, the one north of it and the one north-east of it,
// (P1 - P0) x (P2 - P1) with P1 - P0 = (0, dy, a) and P2 - P1 = (dx, 0, b). Two samples at a time
// where the processor has SSE2, with exactly the operations of ZarHShade::shadeValue (each lane
// rounds as the scalar code does), so both paths give the same shades.
void shadeRow(const double* h0, const double* h1, int n, double dx, double dy,
              const ZarHShade& light, uint8_t* out) {
    const double nz = -dx * dy;
    const double nz2 = nz * nz;
    int i = 0;
#if defined(KOV_SHADE_AVX)
    static const bool avx = __builtin_cpu_supports("avx");
    if (avx) i = shadeRowAvx(h0, h1, n, dx, dy, light, out);
#endif
#if defined(__SSE2__)
    const __m128d vdx = _mm_set1_pd(dx), vdy = _mm_set1_pd(dy), vnz = _mm_set1_pd(nz);
    const __m128d vnz2 = _mm_set1_pd(nz2), zero = _mm_setzero_pd(), one = _mm_set1_pd(1.0);
    const __m128d two = _mm_set1_pd(2.0), full = _mm_set1_pd(255.0), half = _mm_set1_pd(0.5);
    const __m128d l0 = _mm_set1_pd(light.light[0]), l1 = _mm_set1_pd(light.light[1]);
    const __m128d l2 = _mm_set1_pd(light.light[2]), e0 = _mm_set1_pd(light.view[0]);
    const __m128d e1 = _mm_set1_pd(light.view[1]), e2 = _mm_set1_pd(light.view[2]);
    const __m128d kd = _mm_set1_pd(light.kd), ks = _mm_set1_pd(light.ks);
    const __m128d dark = _mm_set1_pd(1.0 - light.ambient);
    for (; i + 1 < n; i += 2) {
        const __m128d below = _mm_loadu_pd(h0 + i);
        const __m128d above = _mm_loadu_pd(h1 + i);
        const __m128d aboveEast = _mm_loadu_pd(h1 + i + 1);
        const __m128d a = _mm_sub_pd(above, below);
        const __m128d b = _mm_sub_pd(aboveEast, above);
        const __m128d x = _mm_mul_pd(vdy, b);
        const __m128d y = _mm_mul_pd(a, vdx);
        const __m128d q = _mm_add_pd(_mm_add_pd(_mm_mul_pd(x, x), _mm_mul_pd(y, y)), vnz2);
        const __m128d inv = _mm_div_pd(one, _mm_sqrt_pd(q));
        const __m128d nx = _mm_mul_pd(x, inv), ny = _mm_mul_pd(y, inv), nzu = _mm_mul_pd(vnz, inv);
        const __m128d d =
            _mm_add_pd(_mm_add_pd(_mm_mul_pd(nx, l0), _mm_mul_pd(ny, l1)), _mm_mul_pd(nzu, l2));
        const __m128d d2 = _mm_mul_pd(two, d);
        const __m128d rx = _mm_sub_pd(_mm_mul_pd(d2, nx), l0);
        const __m128d ry = _mm_sub_pd(_mm_mul_pd(d2, ny), l1);
        const __m128d rz = _mm_sub_pd(_mm_mul_pd(d2, nzu), l2);
        __m128d s =
            _mm_add_pd(_mm_add_pd(_mm_mul_pd(rx, e0), _mm_mul_pd(ry, e1)), _mm_mul_pd(rz, e2));
        s = _mm_and_pd(_mm_and_pd(_mm_cmpge_pd(s, zero), _mm_cmple_pd(s, one)), s);
        // max and min answer their second operand for a NaN, as std::max(0.0, v) does.
        __m128d intensity = _mm_add_pd(_mm_mul_pd(kd, d), _mm_mul_pd(ks, s));
        intensity = _mm_min_pd(_mm_max_pd(intensity, zero), one);
        __m128d shade =
            _mm_mul_pd(_mm_sub_pd(one, _mm_mul_pd(_mm_sub_pd(one, intensity), dark)), full);
        shade = _mm_min_pd(_mm_max_pd(_mm_add_pd(shade, half), zero), full);
        const __m128i whole = _mm_cvttpd_epi32(shade);
        out[i] = static_cast<uint8_t>(_mm_cvtsi128_si32(whole));
        out[i + 1] = static_cast<uint8_t>(_mm_cvtsi128_si32(_mm_srli_si128(whole, 4)));
    }
#endif
    for (; i < n; ++i) {
        const double a = h1[i] - h0[i];
        const double b = h1[i + 1] - h1[i];
        const double x = dy * b;
        const double y = a * dx;
        const double inv = 1.0 / std::sqrt(x * x + y * y + nz2);
        out[i] = static_cast<uint8_t>(light.shadeValue(x * inv, y * inv, nz * inv));
    }
}

// Hill shading of the sample grid, one triangle normal per sample; samples without a computed
// shade (a corner of the triangle without a valid height) keep kNoShade, and those on the outer
// rows and columns take the value from further in.
void computeShading(const ResampledRaster& raster, double dx, double dy, const ZarHShade& light,
                    std::vector<uint8_t>& shade) {
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
    for (int i = 0; i < nx; ++i) {
        if (at(i, 0) == kNoShade) at(i, 0) = at(i, 2);
    }
    for (int i = 0; i < nx; ++i) {
        if (at(i, ny - 2) == kNoShade) at(i, ny - 2) = at(i, ny - 3);
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

int drawMesh(Dib24& target, const MeshFraction& f, std::vector<uint8_t>* shading,
             const ZarHColorMap& colorMap, const ZarHShade& light, const MeshNeighbours& neighbours,
             int stepMode, double step, MeshScratch& scratch) {
    const ZarHMesh* meshPtr = neighbours.mesh[MeshNeighbours::Centre];
    if (!meshPtr || target.isEmpty()) return 1;
    const ZarHMesh& mesh = *meshPtr;
    const int cols = mesh.cols, rows = mesh.rows;
    if (cols < 1 || rows < 1 || mesh.cells.size() < static_cast<size_t>(cols) * rows) return 1;
    if (!std::isfinite(f.x0) || !std::isfinite(f.y0) || !std::isfinite(f.x1) ||
        !std::isfinite(f.y1) || !(f.x1 > f.x0) || !(f.y1 > f.y0)) {
        return 1;
    }
    const int W = target.width(), H = target.height();
    if (!std::isfinite(step)) step = 0.0;  // a damaged setting counts as no step

    // The mesh's pixels in the target (rows counted from the bottom).
    const double fx0 = std::clamp(f.x0, 0.0, 1.0), fx1 = std::clamp(f.x1, 0.0, 1.0);
    const double fy0 = std::clamp(f.y0, 0.0, 1.0), fy1 = std::clamp(f.y1, 0.0, 1.0);
    const int left = static_cast<int>(std::floor(W * fx0));
    const int bottom = static_cast<int>(std::floor(H * fy0));
    const int pw = static_cast<int>(std::floor(W * fx1)) - left;
    const int ph = static_cast<int>(std::floor(H * fy1)) - bottom;
    if (pw <= 0 || ph <= 0) return 1;

    // The target's rectangle as fractions of the mesh, and the visible cells.
    const double gx0 = std::clamp(-f.x0 / (f.x1 - f.x0), 0.0, 1.0);
    const double gx1 = std::clamp((1.0 - f.x0) / (f.x1 - f.x0), 0.0, 1.0);
    const double gy0 = std::clamp(-f.y0 / (f.y1 - f.y0), 0.0, 1.0);
    const double gy1 = std::clamp((1.0 - f.y0) / (f.y1 - f.y0), 0.0, 1.0);
    const double visibleWidth = cols * (gx1 - gx0);
    const double visibleHeight = rows * (gy1 - gy0);
    if (visibleWidth < 0.001 || visibleHeight < 0.001) return 1;
    CellWindow window;
    window.left = std::max(0, static_cast<int>(std::floor(cols * gx0)));
    window.right = std::min(cols - 1, static_cast<int>(std::floor(cols * gx1)));
    window.bottom = std::max(0, static_cast<int>(std::floor(rows * gy0)));
    window.top = std::min(rows - 1, static_cast<int>(std::floor(rows * gy1)));
    if (window.right < window.left || window.top < window.bottom) return 1;
    const int visibleCols = window.right - window.left + 1;
    const int visibleRows = window.top - window.bottom + 1;

    // One sample per visible cell, or one per pixel when the cells are smaller than pixels;
    // plus one beyond the window on every side.
    const bool thinX = visibleCols > pw;
    const bool thinY = visibleRows > ph;
    const int nx = std::max(std::min(pw, visibleCols), 2) + 2;
    const int ny = std::max(std::min(ph, visibleRows), 2) + 2;
    ResampledRaster& raster = scratch.raster;
    mesh.ResampleWithBorder(nx, ny, neighbours, window, raster, gx0, gy0, gx1, gy1);
    double* h = raster.values.data();
    const uint8_t* flags = raster.flags.data();
    const size_t count = static_cast<size_t>(nx) * ny;

    const bool stepped = stepMode > 0 && step > kMinStep;
    if (stepped) {
        for (size_t k = 0; k < count; ++k) {
            if (flags[k] == kSampleValid) h[k] = std::floor(h[k] / step) * step;
        }
    }

    // The shades are only used for gradients (steps up to 0.09 m).
    const uint8_t* shade = nullptr;
    if (shading && step <= kMinStep) {
        // Sample spacing over the window widened by one cell on each side.
        const double cellX = mesh.width() / cols, cellY = mesh.height() / rows;
        const double dx = (visibleCols + 2) * cellX / nx;
        const double dy = (visibleRows + 2) * cellY / ny;
        computeShading(raster, dx, dy, light, *shading);
        shade = shading->data();
    }

    // Pixel blocks of the samples.
    const double kx = thinX ? static_cast<double>(pw) / (nx - 2) : pw / visibleWidth;
    const double ox = thinX ? 0.0 : cols * gx0 - window.left;
    const double ky = thinY ? static_cast<double>(ph) / (ny - 2) : ph / visibleHeight;
    const double oy = thinY ? 0.0 : rows * gy0 - window.bottom;
    sampleSpans(nx, pw, kx, ox, scratch.columnStart, scratch.columnEnd);
    sampleSpans(ny, ph, ky, oy, scratch.rowStart, scratch.rowEnd);
    const int* cs = scratch.columnStart.data();
    const int* ce = scratch.columnEnd.data();

    const TableLookup tableColor(colorMap);
    const SampleColor water = colorOfReference(colorMap.seaColor);
    const SampleColor noData = colorOfReference(colorMap.noDataColor);
    scratch.line.resize(static_cast<size_t>(pw) * 3);
    uint8_t* line = scratch.line.data();
    std::vector<int>& runs = scratch.runs;
    for (int j = 1; j <= ny - 2; ++j) {
        const int r0 = scratch.rowStart[static_cast<size_t>(j)];
        const int r1 = scratch.rowEnd[static_cast<size_t>(j)];
        if (r0 >= r1) continue;
        const size_t row = static_cast<size_t>(j) * nx;
        runs.clear();
        for (int i = 1; i <= nx - 2; ++i) {
            const int c0 = cs[i], c1 = ce[i];
            if (c0 >= c1) continue;
            const size_t k = row + i;
            SampleColor c;
            if (flags[k] == kSampleValid) {
                const Rgb rgb = tableColor(h[k]);
                c = {rgb.blue, rgb.green, rgb.red, true};
                if (shade) {
                    const unsigned s = shade[k];
                    c.blue = static_cast<uint8_t>(c.blue * s / 256);
                    c.green = static_cast<uint8_t>(c.green * s / 256);
                    c.red = static_cast<uint8_t>(c.red * s / 256);
                }
            } else {
                c = flags[k] == kSampleWater ? water : noData;
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
        for (int y = r0; y < r1; ++y) {
            uint8_t* dst = target.row(bottom + y) + static_cast<size_t>(left) * 3;
            for (size_t r = 0; r < runs.size(); r += 2) {
                std::memcpy(dst + static_cast<size_t>(runs[r]) * 3,
                            line + static_cast<size_t>(runs[r]) * 3,
                            static_cast<size_t>(runs[r + 1] - runs[r]) * 3);
            }
        }
    }

    if (stepMode == 2 && step > kMinEdgeStep) {
        int gx = 0, gy = 0;
        bandEdgeSenses(colorMap.lightAzimuth, gx, gy);
        markBandEdges(raster, gx, gy, scratch.marks);
        const uint32_t lit = colorMap.edgeLightColor, shaded = colorMap.edgeShadowColor;
        for (int j = 1; j <= ny - 2; ++j) {
            const int r0 = scratch.rowStart[static_cast<size_t>(j)];
            const int r1 = scratch.rowEnd[static_cast<size_t>(j)];
            if (r0 >= r1) continue;
            for (int i = 1; i <= nx - 2; ++i) {
                const uint8_t m = scratch.marks[static_cast<size_t>(j) * nx + i];
                const int c0 = cs[i], c1 = ce[i];
                if (m == 0 || c0 >= c1) continue;
                // The line on the block's side toward the next sample north (east).
                if (m & (kLitHorizontal | kShadedHorizontal)) {
                    const uint32_t color = (m & kLitHorizontal) ? lit : shaded;
                    for (int x = c0; x < c1; ++x)
                        target.setPixel(left + x, bottom + r1 - 1, color);
                }
                if (m & (kLitVertical | kShadedVertical)) {
                    const uint32_t color = (m & kLitVertical) ? lit : shaded;
                    for (int y = r0; y < r1; ++y)
                        target.setPixel(left + c1 - 1, bottom + y, color);
                }
            }
        }
    }
    return 1;
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
    MeshScratch scratch;
    if (light) {
        return drawMesh(target, fraction, shading, colorMap, *light, neighbours, stepMode, step,
                        scratch);
    }
    const ZarHShade own(colorMap);
    return drawMesh(target, fraction, shading, colorMap, own, neighbours, stepMode, step, scratch);
}

int renderMeshes(HMeshProject& project, Dib24& target, const MapRect* rect,
                 const ZarHColorMap* colorMap, std::vector<uint8_t>* shading, int stepMode,
                 double step, int drawKind, const RenderProgress& progress) {
    if (target.isEmpty()) return 1;
    const ZarHColorMap& map = colorMap ? *colorMap : *project.GetColorMap(0);
    if (stepMode == 0) step = 0.0;
    if (drawKind < 0) drawKind = 0;
    project.SortMeshes();

    fillBackground(target, map.topColor, map.bottomColor);
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

    if (drawKind == 0) {
        MeshScratch scratch;
        if (!shading) shading = &scratch.ownShading;
        const int count = project.meshCount();
        MeshNeighbours neighbours;
        for (int i = 0; i < count; ++i) {
            if (progress) progress(i, count);
            const ZarHMesh& mesh = *project.GetMesh(i);
            const MeshFraction f = fractionOf(mesh.xmin, mesh.ymin, mesh.xmax, mesh.ymax);
            if (!overlaps(f)) continue;
            project.FindNeighbours(mesh, neighbours);
            drawMesh(target, f, shading, map, light, neighbours, stepMode, step, scratch);
        }
    }

    if (project.imageVisible) {
        const int opacity = (100 - project.imageTransparency) * 255 / 100;
        const int count = project.imageCount();
        for (int i = 0; i < count; ++i) {
            const ZarHImage& image = *project.GetImage(i);
            if (image.bitmap.isNull()) continue;
            if (progress) progress(i, count);
            if (!overlaps(fractionOf(image.xmin, image.ymin, image.xmax, image.ymax))) continue;
            image.DrawImage(target, view, opacity);
        }
    }
    return 1;
}

}  // namespace kov
