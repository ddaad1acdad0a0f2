// SPDX-License-Identifier: MIT
#include "sample/SampleData.h"

#include "sample/SampleDem.h"

#include "sample/SampleDsm.h"
#include "sample/SampleImage.h"
#include "sample/SampleProject.h"
#include "sample/SampleShapes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>

#include "core/base/MapSheet.h"
#include "core/data/TileWriter.h"

namespace kov::sample {

namespace {

// ---------------------------------------------------------------------------------------------
// Terrain. Integer arithmetic only (lengths in decimetres, heights in 0.1 m codes, fractions in
// 1/65536), so every machine and compiler produces the same codes.

// The default block's south-west corner; the terrain's features are placed relative to it.
constexpr long long kOriginXDm = -100000;
constexpr long long kOriginYDm = -375000;

constexpr uint64_t kSeedHills = 0x6B6F7631ULL;
constexpr uint64_t kSeedRiver = 0x6B6F7632ULL;
constexpr uint64_t kSeedPatches = 0x6B6F7633ULL;

long long floorDiv(long long a, long long b) {
    long long q = a / b;
    if (a % b != 0 && a < 0) --q;
    return q;
}

uint64_t mix64(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

uint64_t hash3(long long a, long long b, uint64_t seed) {
    uint64_t h = mix64(static_cast<uint64_t>(a) * 0x9E3779B97F4A7C15ULL + seed);
    return mix64(h ^ (static_cast<uint64_t>(b) * 0xC2B2AE3D27D4EB4FULL));
}

// Lattice value in -32768..32767.
int latticeValue(long long ix, long long iy, uint64_t seed) {
    return static_cast<int>(hash3(ix, iy, seed) & 0xFFFF) - 32768;
}

// Smoothstep of a fraction t in 0..65536.
long long smooth(long long t) {
    return (t * t * (3 * 65536 - 2 * t)) >> 32;
}

long long lerp(long long a, long long b, long long s) {
    return a + (((b - a) * s) >> 16);
}

// Position inside a lattice interval as a fraction in 0..65535 (rem in 0..spacing - 1).
long long fraction(long long rem, long long inverse) {
    return (rem * inverse) >> 32;
}
long long inverseOf(long long spacing) {
    return (1LL << 48) / spacing;
}

// One octave of 2-D value noise with lattice spacing `spacing` (dm), walked along a row from x0
// in steps of `step`; the two lattice columns around the current point are kept.
class NoiseOctave {
public:
    NoiseOctave(long long spacing, uint64_t seed, long long y, long long x0, long long step)
        : spacing_(spacing), inverse_(inverseOf(spacing)), seed_(seed), step_(step) {
        iy_ = floorDiv(y, spacing);
        sy_ = smooth(fraction(y - iy_ * spacing, inverse_));
        ix_ = floorDiv(x0, spacing);
        rem_ = x0 - ix_ * spacing;
        left_ = column(ix_);
        right_ = column(ix_ + 1);
    }

    long long value() const { return lerp(left_, right_, smooth(fraction(rem_, inverse_))); }

    void advance() {
        rem_ += step_;
        if (rem_ < spacing_) return;
        const long long k = rem_ / spacing_;
        rem_ -= k * spacing_;
        ix_ += k;
        left_ = k == 1 ? right_ : column(ix_);
        right_ = column(ix_ + 1);
    }

private:
    long long column(long long ix) const {
        return lerp(latticeValue(ix, iy_, seed_), latticeValue(ix, iy_ + 1, seed_), sy_);
    }

    long long spacing_;
    long long inverse_;
    uint64_t seed_;
    long long step_;
    long long iy_ = 0;
    long long sy_ = 0;
    long long ix_ = 0;
    long long rem_ = 0;
    long long left_ = 0;
    long long right_ = 0;
};

// 1-D value noise in -32768..32767.
long long noise1(long long t, long long spacing, uint64_t seed) {
    const long long i = floorDiv(t, spacing);
    const long long s = smooth(fraction(t - i * spacing, inverseOf(spacing)));
    return lerp(latticeValue(i, 0, seed), latticeValue(i + 1, 0, seed), s);
}

// Hills: six octaves from 2.4 km down to 75 m.
constexpr int kOctaves = 6;
constexpr long long kOctaveSpacing[kOctaves] = {24000, 12000, 6000, 3000, 1500, 750};
constexpr long long kOctaveWeight[kOctaves] = {16, 12, 8, 5, 3, 1};
constexpr long long kOctaveWeightSum = 45;

// No-data patches (on land only): at most one per 400 m square, in about 3 % of the squares,
// circles of 10 to 35 m radius lying wholly inside their square; plus one fixed patch on the
// corner shared by four tiles of the default block.
constexpr long long kPatchSquare = 4000;
constexpr long long kFixedPatchX = 40000;  // relative to the origin
constexpr long long kFixedPatchY = 15000;
constexpr long long kFixedPatchRadius = 250;

struct Patch {
    bool present = false;
    long long cx = 0;
    long long cy = 0;
    long long radius = 0;
};

Patch patchOfSquare(long long sx, long long sy) {
    const uint64_t h = hash3(sx, sy, kSeedPatches);
    Patch p;
    if (h % 1000 >= 30) return p;
    p.present = true;
    p.radius = 100 + static_cast<long long>((h >> 10) % 251);
    const long long room = kPatchSquare - 2 * p.radius;
    p.cx = sx * kPatchSquare + p.radius + static_cast<long long>((h >> 20) % room);
    p.cy = sy * kPatchSquare + p.radius + static_cast<long long>((h >> 40) % room);
    return p;
}

bool inside(long long dx, long long dy, long long radius) {
    return dx * dx + dy * dy < radius * radius;
}

// Everything of the terrain that depends only on the row's y.
struct RowContext {
    long long v = 0;         // y relative to the origin (dm)
    long long riverX = 0;    // river centre line, relative to the origin (dm)
    long long patchRow = 0;  // row of no-data squares
};

RowContext rowContext(long long yDm) {
    RowContext r;
    r.v = yDm - kOriginYDm;
    // The river runs north-south through u = 2.8 km, meandering by up to 650 m.
    r.riverX = 28000 + noise1(r.v, 12000, kSeedRiver) * 5000 / 32768 +
               noise1(r.v, 4000, kSeedRiver + 1) * 1500 / 32768;
    r.patchRow = floorDiv(r.v, kPatchSquare);
    return r;
}

int terrainCell(const RowContext& row, long long u, long long hills, const Patch& patch) {
    const long long v = row.v;
    // Distance inland from the coast line v = 0.4 u - 600 m (measured along y, dm).
    const long long m = v - floorDiv(2 * u, 5) + 6000;
    const long long mp = std::max(m, 0LL);
    // Ground rising inland towards 400 m, with hills growing from 15 m to 235 m in amplitude.
    const long long rise = (mp << 16) / (mp + 60000);  // 0 at the coast, towards 1 inland
    const long long base = m >= 0 ? (4000 * rise) >> 16 : m / 15;
    const long long amplitude = 150 + ((2200 * rise) >> 16);
    long long z = base + hills * amplitude / 32768;
    if (z < 0) return kWaterCode;
    if (z > 5000) z = 5000 + (z - 5000) / 3;  // summits above 500 m are rounded off
    if (patch.present && inside(u - patch.cx, v - patch.cy, patch.radius)) return kNoDataCode;
    if (inside(u - kFixedPatchX, v - kFixedPatchY, kFixedPatchRadius)) return kNoDataCode;

    // The valley: 600 m to either side of the river, its floor rising from 2 m at the mouth.
    const long long d = std::llabs(u - row.riverX);
    const long long riverHalfWidth = 60 + std::max(0LL, 20000 - mp) * 150 / 20000;
    if (d < riverHalfWidth) return kWaterCode;
    constexpr long long kValleyHalfWidth = 6000;
    if (d < kValleyHalfWidth) {
        const long long bed = 20 + 2000 * mp / (mp + 150000);
        if (z > bed) z = bed + (((z - bed) * smooth(d * 65536 / kValleyHalfWidth)) >> 16);
    }
    return static_cast<int>(std::min(z, 99999LL));
}

// ---------------------------------------------------------------------------------------------
// Files.

// The codes of one tile, north row first (the order of the data file).
void tileCodes(const SampleTile& tile, std::vector<int32_t>& codes) {
    codes.resize(static_cast<size_t>(kTileCols) * kTileRows);
    const long long x0 = tile.west * 10 + kCellSize * 5;  // centre of the west column (dm)
    for (int r = 0; r < kTileRows; ++r) {
        // Record row r + 1 is the (r + 1)-th row from the north.
        const long long y = (tile.south + kTileHeight) * 10 - kCellSize * 5 - r * kCellSize * 10;
        terrainRow(x0, y, kTileCols, kCellSize * 10, &codes[static_cast<size_t>(r) * kTileCols]);
    }
}

// The tile as the core writer takes it, without its codes.
MeshTile meshTileOf(const SampleTile& tile, int zone) {
    MeshTile out;
    out.code = tile.code;
    out.name = tileDisplayName(tile.code);
    out.cols = kTileCols;
    out.rows = kTileRows;
    out.cellSize = kCellSize;
    out.west = static_cast<double>(tile.west);
    out.south = static_cast<double>(tile.south);
    out.zone = zone;
    out.datum = GeodeticDatum::kJgd2011;
    out.created = "2024/04/01";
    out.author = "Kov View5 サンプルデータ";
    out.method = "航空レーザ測量";
    out.crlf = tile.crlf;
    return out;
}

// ESRI ASCII grid of the tile: elevations in metres with one decimal, north row first.
std::string esriAsciiText(const SampleTile& tile, const std::vector<int32_t>& codes) {
    std::string text;
    char line[160];
    std::snprintf(line, sizeof line,
                  "ncols %d\nnrows %d\nxllcorner %lld\nyllcorner %lld\ncellsize %d\n"
                  "NODATA_value -9999.0\n",
                  kTileCols, kTileRows, tile.west, tile.south, kCellSize);
    text += line;
    text.reserve(text.size() + codes.size() * 7);
    for (int r = 0; r < kTileRows; ++r) {
        for (int c = 0; c < kTileCols; ++c) {
            const int code = codes[static_cast<size_t>(r) * kTileCols + c];
            char value[16];
            int n;
            if (code == kWaterCode || code == kNoDataCode) {
                n = std::snprintf(value, sizeof value, "-9999");
            } else {
                n = std::snprintf(value, sizeof value, "%s%d.%d", code < 0 ? "-" : "",
                                  std::abs(code) / 10, std::abs(code) % 10);
            }
            if (c > 0) text += ' ';
            text.append(value, static_cast<size_t>(n));
        }
        text += '\n';
    }
    return text;
}

// Writes the tiles (and their ESRI ASCII copies when asked). Later parts of the set (other
// layers, a project file) are written by functions of their own after this one.
bool writeTiles(const std::filesystem::path& root, const SampleOptions& options,
                const std::vector<SampleTile>& tiles, std::string* error) {
    std::string text;
    for (const SampleTile& tile : tiles) {
        MeshTile mesh = meshTileOf(tile, options.zone);
        tileCodes(tile, mesh.codes);
        if (!formatTileData(mesh, text, error) ||
            !writeWholeFile(root / tile.dataPath, text, error))
            return false;
        const std::string header = tileHeaderText(mesh);
        if (header.empty()) {
            if (error) *error = "cannot encode the header of " + tile.code + " in CP932";
            return false;
        }
        if (!writeWholeFile(root / tile.headerPath, header, error)) return false;
        if (options.esriAscii && !writeWholeFile(root / "asc" / (tile.code + ".asc"),
                                                 esriAsciiText(tile, mesh.codes), error)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool writeWholeFile(const std::filesystem::path& path, const std::string& bytes,
                    std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    if (ec) {
        if (error)
            *error = "cannot create folder " + path.parent_path().string() + ": " + ec.message();
        return false;
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        if (error) *error = "cannot create " + path.string();
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        if (error) *error = "cannot write " + path.string();
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------

void terrainRow(long long x0Dm, long long yDm, int n, int stepDm, int32_t* out) {
    if (n <= 0) return;
    const RowContext row = rowContext(yDm);
    const long long u0 = x0Dm - kOriginXDm;
    const long long step = std::max(stepDm, 1);
    NoiseOctave octaves[kOctaves] = {
        {kOctaveSpacing[0], kSeedHills + 0, row.v, u0, step},
        {kOctaveSpacing[1], kSeedHills + 1, row.v, u0, step},
        {kOctaveSpacing[2], kSeedHills + 2, row.v, u0, step},
        {kOctaveSpacing[3], kSeedHills + 3, row.v, u0, step},
        {kOctaveSpacing[4], kSeedHills + 4, row.v, u0, step},
        {kOctaveSpacing[5], kSeedHills + 5, row.v, u0, step},
    };
    long long patchSquare = std::numeric_limits<long long>::min();
    Patch patch;
    for (int i = 0; i < n; ++i) {
        const long long u = u0 + i * step;
        long long hills = 0;
        for (int o = 0; o < kOctaves; ++o) {
            hills += octaves[o].value() * kOctaveWeight[o];
            octaves[o].advance();
        }
        hills = hills * 5 / (2 * kOctaveWeightSum);
        const long long square = floorDiv(u, kPatchSquare);
        if (square != patchSquare) {
            patch = patchOfSquare(square, row.patchRow);
            patchSquare = square;
        }
        out[i] = terrainCell(row, u, hills, patch);
    }
}

int terrainCodeDm(long long xDm, long long yDm) {
    int32_t code = 0;
    terrainRow(xDm, yDm, 1, 1, &code);
    return code;
}

int terrainCodeAt(double x, double y) {
    return terrainCodeDm(std::llround(x * 10.0), std::llround(y * 10.0));
}

bool validateOptions(const SampleOptions& options, std::string* error) {
    auto fail = [&](const std::string& message) {
        if (error) *error = message;
        return false;
    };
    if (options.block < 1 || options.block > 200) return fail("block must be 1 to 200 tiles");
    if (options.west % kTileWidth != 0 || options.south % kTileHeight != 0) {
        return fail("the block's corner must lie on sheet lines (2000 m x 1500 m)");
    }
    if (options.zone < 1 || options.zone > 19) return fail("zone must be 1 to 19");
    return true;
}

std::vector<SampleTile> sampleTiles(const SampleOptions& options) {
    std::vector<SampleTile> tiles;
    if (!validateOptions(options, nullptr)) return tiles;
    const bool mixedLayout = options.block <= 3;
    for (int r = 0; r < options.block; ++r) {
        for (int c = 0; c < options.block; ++c) {
            SampleTile t;
            t.blockCol = c;
            t.blockRow = r;
            t.west = options.west + static_cast<long long>(c) * kTileWidth;
            t.south = options.south + static_cast<long long>(r) * kTileHeight;
            t.code =
                sheetCodeOfPoint(options.zone, t.west + kTileWidth / 2, t.south + kTileHeight / 2);
            if (mixedLayout && r == options.block - 1) {
                t.dataPath = "tiles/" + t.code + ".kov";
                t.headerPath = "tiles/" + t.code + ".csv";
                t.crlf = true;
            } else {
                t.dataPath = "Data/" + t.code + ".kov";
                t.headerPath = "Header/" + t.code + ".csv";
                t.crlf = false;
            }
            tiles.push_back(std::move(t));
        }
    }
    return tiles;
}

std::string tileDisplayName(const std::string& code) {
    return "サンプル地区 " + code;
}

std::string tileDataText(const SampleTile& tile) {
    MeshTile mesh = meshTileOf(tile, 9);
    tileCodes(tile, mesh.codes);
    std::string text;
    formatTileData(mesh, text);
    return text;
}

std::string tileHeaderText(const SampleTile& tile, int zone) {
    return tileHeaderText(meshTileOf(tile, zone));
}

bool writeSampleDataSet(const std::string& outDir, const SampleOptions& options,
                        std::string* error) {
    if (!validateOptions(options, error)) return false;
    if (outDir.empty()) {
        if (error) *error = "no output folder given";
        return false;
    }
    const std::filesystem::path root(outDir);
    std::error_code ec;
    std::filesystem::create_directories(root, ec);
    if (ec || !std::filesystem::is_directory(root)) {
        if (error) *error = "cannot create folder " + outDir;
        return false;
    }
    if (!writeTiles(root, options, sampleTiles(options), error)) return false;
    // The overlay layers lie over the default block; the larger blocks are for benchmarks.
    if (options.block > 3) return true;
    return writeSampleDsm(outDir, error) && writeSampleShapefile(outDir, error) &&
           writeSampleImage(outDir, error) && writeSampleProject(outDir, error) &&
           writeSampleDem(outDir, error);
}

}  // namespace kov::sample
