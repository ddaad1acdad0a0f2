// SPDX-License-Identifier: MIT
// The deterministic sample data set: 5 m elevation tiles of an invented stretch of coast in
// zone 9, identical bytes on every machine. Used by `kovtool sample`, the tests and the
// benchmarks.
//
// The terrain is one function of the world position, so neighbouring tiles join without seams
// and a larger block shows the same landscape around the default one: hills rising inland from
// a coast that runs south-west to north-east with the sea to the south-east, a meandering river
// in a valley that reaches the sea inside the default block, and a few small patches without
// data (one of them on the corner shared by four tiles of the default block).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/data/TileWriter.h"

namespace kov::sample {

// Geometry of one tile: the usual 5 m tile of a 2000 m x 1500 m map sheet.
inline constexpr int kTileCols = 400;
inline constexpr int kTileRows = 300;
inline constexpr int kCellSize = 5;  // metres
inline constexpr int kTileWidth = kTileCols * kCellSize;
inline constexpr int kTileHeight = kTileRows * kCellSize;

// Codes of the data file (elevations are codes in units of 0.1 m).
inline constexpr int kWaterCode = kTileWaterCode;
inline constexpr int kNoDataCode = kTileNoDataCode;

struct SampleOptions {
    // Tiles per side of the square block. Up to 3: the northern row of tiles goes to "tiles/"
    // with the headers beside the data files (CR LF line ends), the rest to "Data/" with the
    // headers in "Header/" (LF). Larger blocks: every tile in "Data/" + "Header/" (LF).
    int block = 3;
    // South-west corner of the block in metres; must lie on sheet lines (multiples of 2000 m
    // east and 1500 m north). The terrain does not move with it.
    long long west = -10000;
    long long south = -37500;
    int zone = 9;
    // Also write every tile as an ESRI ASCII grid "asc/<code>.asc" (elevations in metres,
    // water and no data as NODATA_value -9999), for comparisons with other tools.
    bool esriAscii = false;
};

// One tile of the set; paths are relative to the output folder, with '/' separators.
struct SampleTile {
    std::string code;  // sheet code of the tile's centre, also its base file name
    int blockCol = 0;  // 0 = westernmost column of the block
    int blockRow = 0;  // 0 = southernmost row of the block
    long long west = 0;
    long long south = 0;
    std::string dataPath;
    std::string headerPath;
    bool crlf = false;  // line ends of both files
};

// The tiles writeSampleDataSet writes for the options, south row first, west to east.
// Empty for invalid options.
std::vector<SampleTile> sampleTiles(const SampleOptions& options);

// Checks the options; false with a message for a block outside 1..200 or a corner off the
// sheet lines.
bool validateOptions(const SampleOptions& options, std::string* error);

// Writes the data set into outDir (created when missing; existing files are overwritten).
// Writes bytes to a file, creating its folders; on failure a message goes to error.
bool writeWholeFile(const std::filesystem::path& path, const std::string& bytes,
                    std::string* error);

bool writeSampleDataSet(const std::string& outDir, const SampleOptions& options,
                        std::string* error);

// Terrain code at a world point given in decimetres (x east, y north): an elevation code in
// 0.1 m units (0 or more), kWaterCode or kNoDataCode.
int terrainCodeDm(long long xDm, long long yDm);
// Terrain code at a point in metres (rounded to the nearest decimetre), e.g. a cell centre.
int terrainCodeAt(double x, double y);
// Codes of n points of one row: x = x0Dm, x0Dm + stepDm, ... at y = yDm. Gives the same values
// as terrainCodeDm point by point, only faster.
void terrainRow(long long x0Dm, long long yDm, int n, int stepDm, int32_t* out);

// Display name of a tile (header value 15) in UTF-8; the files hold it in CP932.
std::string tileDisplayName(const std::string& code);

// The exact contents of a tile's files: the data file and the header CSV (CP932).
std::string tileDataText(const SampleTile& tile);
std::string tileHeaderText(const SampleTile& tile, int zone);

}  // namespace kov::sample
