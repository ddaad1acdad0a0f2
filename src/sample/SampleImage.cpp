// SPDX-License-Identifier: MIT
#include "sample/SampleImage.h"

#include <QImage>
#include <QString>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "sample/SampleData.h"

namespace kov::sample {
namespace {

struct Rgb {
    int r, g, b;
};

uint64_t mix(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// A hash of two integers and a seed, for textures that stay put in the world.
uint64_t hash(long long a, long long b, uint64_t seed) {
    return mix(mix(static_cast<uint64_t>(a) * 0x9E3779B97F4A7C15ULL + seed) ^
               static_cast<uint64_t>(b) * 0xC2B2AE3D27D4EB4FULL);
}

long long floorDiv(long long a, long long b) {
    return a / b - (a % b != 0 && a < 0 ? 1 : 0);
}
long long floorMod(long long a, long long b) {
    return a - floorDiv(a, b) * b;
}

// Crops of the field parcels: young rice, bare soil, ripe grain, vegetables, meadow.
constexpr Rgb kCrops[] = {
    {96, 138, 62}, {148, 118, 84}, {188, 170, 98}, {120, 156, 76}, {140, 160, 96},
};

// Ground colour at a point (metres, on the 2 m pixel centres) of a land cell with its
// elevation (0.1 m) and slope (rise per metre).
Rgb groundColour(long long x, long long y, int code, double slope) {
    // A straight road, about 6 m wide.
    const long long roadOffset = 10 * (y + 36500) - 3 * (x + 9000);  // 10 x distance along y
    if (roadOffset > -30 && roadOffset < 30) return {150, 148, 140};
    if (code < 25) return {208, 198, 160};  // beach
    if (code < 450 && slope < 0.09) {
        // Parcels 30 m deep, 30 to 60 m wide, shifted row by row; 2 m paths between them.
        const long long row = floorDiv(y, 30);
        const long long width = 30 + 10 * static_cast<long long>(hash(row, 0, 11) % 4);
        const long long shifted = x + static_cast<long long>(hash(row, 1, 12) % 60);
        const long long column = floorDiv(shifted, width);
        if (floorMod(y, 30) < 2 || floorMod(shifted, width) < 2) return {172, 160, 128};
        const uint64_t h = hash(row, column, 13);
        Rgb c = kCrops[h % 5];
        // Furrows in bare soil, and a little unevenness everywhere.
        if (h % 5 == 1 && floorMod(shifted, 4) < 2) c = {c.r - 14, c.g - 12, c.b - 10};
        const int n = static_cast<int>(hash(x, y, 14) % 9) - 4;
        return {c.r + n, c.g + n, c.b + n};
    }
    // Forest: tree crowns of about 4 m, darker on the higher ground.
    const uint64_t crown = hash(floorDiv(x, 4), floorDiv(y, 4), 15);
    const int n = static_cast<int>(crown % 31) - 15;
    const int high = std::min(code / 40, 20);
    return {48 + n / 2 - high / 2, 84 + n - high, 42 + n / 2 - high / 2};
}

Rgb waterColour(long long x, long long y) {
    const int n = static_cast<int>(hash(floorDiv(x, 6), floorDiv(y, 2), 16) % 7) - 3;
    return {38 + n, 74 + n, 104 + 2 * n};
}

int clampByte(double v) {
    return v <= 0 ? 0 : v >= 255 ? 255 : static_cast<int>(v + 0.5);
}

QImage samplePicture() {
    constexpr int W = kImageWidth, H = kImageHeight, P = kImagePixelSize;
    // Terrain codes at the pixel centres with a border of one pixel for the slopes.
    constexpr int GW = W + 2;
    std::vector<int32_t> codes(static_cast<size_t>(GW) * (H + 2));
    const long long x0Dm = (kImageWest - P + P / 2) * 10;  // centre of border column -1
    for (int r = 0; r < H + 2; ++r) {
        const long long yDm = (kImageNorth + P - P / 2 - static_cast<long long>(r) * P) * 10;
        terrainRow(x0Dm, yDm, GW, P * 10, codes.data() + static_cast<size_t>(r) * GW);
    }
    auto at = [&](int col, int row) { return codes[static_cast<size_t>(row + 1) * GW + col + 1]; };

    // Light from the north-west, 45 degrees up.
    const double lx = -0.5, ly = 0.5, lz = std::sqrt(0.5);
    QImage image(W, H, QImage::Format_RGB888);
    for (int row = 0; row < H; ++row) {
        uchar* out = image.scanLine(row);
        const long long y = kImageNorth - P / 2 - static_cast<long long>(row) * P;
        for (int col = 0; col < W; ++col, out += 3) {
            const long long x = kImageWest + P / 2 + static_cast<long long>(col) * P;
            const int code = at(col, row);
            Rgb c;
            double shade = 1.0;
            if (code == kWaterCode) {
                c = waterColour(x, y);
            } else if (code == kNoDataCode) {
                c = {214, 214, 208};  // a cloud over the gap in the survey
            } else {
                auto height = [&](int cc, int rr) {
                    const int v = at(cc, rr);
                    return v < 0 ? code * 0.1 : v * 0.1;  // water and gaps count as level
                };
                const double dzdx = (height(col + 1, row) - height(col - 1, row)) / (2.0 * P);
                const double dzdy = (height(col, row - 1) - height(col, row + 1)) / (2.0 * P);
                const double slope = std::sqrt(dzdx * dzdx + dzdy * dzdy);
                c = groundColour(x, y, code, slope);
                const double lit = (-dzdx * lx - dzdy * ly + lz) / std::sqrt(1.0 + slope * slope);
                shade = std::clamp(0.45 + 0.8 * lit, 0.35, 1.3);
            }
            out[0] = static_cast<uchar>(clampByte(c.r * shade));
            out[1] = static_cast<uchar>(clampByte(c.g * shade));
            out[2] = static_cast<uchar>(clampByte(c.b * shade));
        }
    }
    return image;
}

std::string number(double v) {
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, 1);
    return std::string(buffer, end.ptr);
}

}  // namespace

bool writeSampleImage(const std::string& outDir, std::string* error) {
    const std::filesystem::path root(outDir.empty() ? "." : outDir);
    const std::filesystem::path picturePath = root / kImagePath;
    const std::filesystem::path worldPath = root / kImageWorldFilePath;
    std::error_code ec;
    std::filesystem::create_directories(picturePath.parent_path(), ec);
    if (ec) {
        if (error) *error = "cannot create folder " + picturePath.parent_path().string();
        return false;
    }
    if (!samplePicture().save(QString::fromStdString(picturePath.string()), "PNG")) {
        if (error) *error = "cannot write " + picturePath.string();
        return false;
    }
    // Pixel size, rotations, centre of the north-west pixel.
    const double half = kImagePixelSize / 2.0;
    const std::string world = number(kImagePixelSize) + "\n0.0\n0.0\n" + number(-kImagePixelSize) +
                              "\n" + number(kImageWest + half) + "\n" + number(kImageNorth - half) +
                              "\n";
    std::FILE* f = std::fopen(worldPath.c_str(), "wb");
    const bool written = f && std::fwrite(world.data(), 1, world.size(), f) == world.size();
    const bool closed = f && std::fclose(f) == 0;
    if (!written || !closed) {
        if (error) *error = "cannot write " + worldPath.string();
        return false;
    }
    return true;
}

}  // namespace kov::sample
