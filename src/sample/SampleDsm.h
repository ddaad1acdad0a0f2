// SPDX-License-Identifier: MIT
// A DSM point file for the sample data set: the surface (ground plus a few buildings) of part of
// the coastal sheet 09LD281 of the default tile block, from the same terrain as the tiles.
#pragma once

#include <string>

namespace kov::sample {

// The 1:2500 sheet (x -8000..-6000, y -37500..-36000, zone 9) that names the file.
inline constexpr const char* kSampleDsmCode = "09LD281";
// Where writeSampleDsm puts the file, relative to the output folder.
inline constexpr const char* kSampleDsmPath = "dsm/09LD281.txt";

// The area the points cover, metres: across the coast and the river mouth.
inline constexpr long long kSampleDsmWest = -7000;
inline constexpr long long kSampleDsmSouth = -36820;
inline constexpr long long kSampleDsmWidth = 640;
inline constexpr long long kSampleDsmHeight = 480;

// A block raised above the ground: a building of the surface model.
struct SampleBuilding {
    long long west, south, width, height;  // metres
    int heightCm;                          // above the ground
};
inline constexpr SampleBuilding kSampleBuildings[] = {
    {-6910, -36520, 24, 16, 900},  {-6860, -36470, 12, 30, 1500}, {-6700, -36420, 40, 20, 600},
    {-6560, -36560, 18, 18, 2400}, {-6480, -36400, 30, 12, 750},
};

// Holes without points (metres): centre and radius.
struct SampleGap {
    long long x, y, radius;
};
inline constexpr SampleGap kSampleGaps[] = {{-6780, -36500, 3}, {-6620, -36380, 12}};

// The file's text: lines "n,x,y,z" with CR LF, points on a jittered grid of about 1 m with
// about 3 % missing, none in the gaps and none where the terrain has no data; z is the ground
// plus buildings in metres with two decimals, or -9999 on water. Identical on every machine.
std::string sampleDsmText();

// Writes OUTDIR/dsm/09LD281.txt (folders created when missing); false with a message on failure.
bool writeSampleDsm(const std::string& outDir, std::string* error);

}  // namespace kov::sample
