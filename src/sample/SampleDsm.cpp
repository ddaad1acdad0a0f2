// SPDX-License-Identifier: MIT
#include "sample/SampleDsm.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "sample/SampleData.h"

namespace kov::sample {
namespace {

constexpr uint64_t kSeedJitter = 0x6B6F7644ULL;
constexpr int kSpacingCm = 100;
constexpr int kJitterCm = 35;         // each point moves up to this far from its grid place
constexpr int kMissingPerMille = 30;  // points left out at random
constexpr const char* kWaterText = "-9999";

uint64_t mix64(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// Appends hundredths as a decimal with two places ("-12.05").
void appendHundredths(std::string& out, long long value) {
    if (value < 0) {
        out += '-';
        value = -value;
    }
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value / 100).ptr;
    out.append(digits, end);
    out += '.';
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

bool inGap(long long xCm, long long yCm) {
    for (const SampleGap& gap : kSampleGaps) {
        const long long dx = xCm - gap.x * 100;
        const long long dy = yCm - gap.y * 100;
        if (dx * dx + dy * dy < gap.radius * gap.radius * 10000) return true;
    }
    return false;
}

int buildingCm(long long xCm, long long yCm) {
    for (const SampleBuilding& b : kSampleBuildings) {
        if (xCm >= b.west * 100 && xCm < (b.west + b.width) * 100 && yCm >= b.south * 100 &&
            yCm < (b.south + b.height) * 100) {
            return b.heightCm;
        }
    }
    return 0;
}

}  // namespace

std::string sampleDsmText() {
    const long long cols = kSampleDsmWidth * 100 / kSpacingCm;
    const long long rows = kSampleDsmHeight * 100 / kSpacingCm;
    std::string text;
    text.reserve(static_cast<size_t>(cols * rows) * 34);
    long long number = 0;
    for (long long r = 0; r < rows; ++r) {
        for (long long c = 0; c < cols; ++c) {
            const uint64_t h = mix64(static_cast<uint64_t>(r * cols + c) ^ kSeedJitter);
            if (static_cast<int>(h % 1000) < kMissingPerMille) continue;
            const long long range = 2 * kJitterCm + 1;
            const long long xCm = kSampleDsmWest * 100 + c * kSpacingCm + kSpacingCm / 2 +
                                  static_cast<long long>((h >> 10) % range) - kJitterCm;
            const long long yCm = kSampleDsmSouth * 100 + r * kSpacingCm + kSpacingCm / 2 +
                                  static_cast<long long>((h >> 20) % range) - kJitterCm;
            if (inGap(xCm, yCm)) continue;
            // The terrain is given in decimetres; round the position to the nearest one.
            const int ground =
                terrainCodeDm((xCm + (xCm < 0 ? -5 : 5)) / 10, (yCm + (yCm < 0 ? -5 : 5)) / 10);
            if (ground == kNoDataCode) continue;

            char numberText[24];
            text.append(numberText,
                        std::to_chars(numberText, numberText + sizeof numberText, ++number).ptr);
            text += ',';
            appendHundredths(text, xCm);
            text += ',';
            appendHundredths(text, yCm);
            text += ',';
            if (ground == kWaterCode) {
                text += kWaterText;
            } else {
                // Ground codes are 0.1 m; a few centimetres of roughness on top.
                const long long z =
                    ground * 10LL + static_cast<long long>((h >> 30) % 8) + buildingCm(xCm, yCm);
                appendHundredths(text, z);
            }
            text += "\r\n";
        }
    }
    return text;
}

bool writeSampleDsm(const std::string& outDir, std::string* error) {
    if (outDir.empty()) {
        if (error) *error = "no output folder given";
        return false;
    }
    return writeWholeFile(std::filesystem::path(outDir) / kSampleDsmPath, sampleDsmText(), error);
}

}  // namespace kov::sample
