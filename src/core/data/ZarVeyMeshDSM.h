// SPDX-License-Identifier: MIT
// Reader of DSM point files: text lines "number,x,y,z" binned into a grid of square cells.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/data/ZarHMesh.h"

namespace kov {

class HxFile;
class HxProgress;

// A DSM point file converted to a mesh of a chosen cell size. The extent is the map sheet that
// the file's base name names, or else the points' extent widened to whole 2000 m x 1500 m
// sheets. Each cell takes the last valid point that falls into it; a cell without points takes
// the mean of the cells with points in the smallest square around it (up to about 2 m away)
// that holds any. z = -9999 marks water and -1111 no data.
class ZarVeyMeshDSM : public ZarHMesh {
public:
    // The cell size in metres; 2.0 when not greater than 0.
    explicit ZarVeyMeshDSM(double requestedCellSize);

    const char* className() const override { return "ZarVeyMeshDSM"; }
    // loadWithProgress without a progress object.
    int Load(const std::string& path) override;
    // Converts a file already opened. Reports the file position through the progress object
    // at the first line and every kProgressStep lines, and stops with 0 when it cancels.
    // The mesh changes only when the conversion succeeds.
    virtual int readDsm(const HxFile& file, HxProgress* progress);
    // Opens and converts the file; stores path and name unless the file cannot be opened. With
    // a cache active, the first conversion is stored and later loads take the mesh from it with
    // its cells let go (read again from the file when its entry has gone bad).
    virtual int loadWithProgress(const std::string& path, HxProgress* progress);

    // How far (in cells) an empty cell looks for points: 2 m rounded to cells, at least 1.
    static int fillRadius(double cellSize);
    // Gives every cell without points (hit 0) the mean, rounded half away from zero, of the
    // cells with points and valid codes in the smallest square of radius 1..radius around it
    // that holds any; cells with none stay as they are. Filled cells never count.
    static void fillGaps(int32_t* codes, const uint8_t* hit, int cols, int rows, int radius);
    // A field as the reader converts it (the decimal rule of parseLeadingDouble).
    static double parseNumber(std::string_view field);
    // The most cells a file of the given size may make: kCellsPerByte cells per byte of the
    // file (a point line of some 30 bytes may make about 2000 cells, more than the 41 x 41 that
    // the gap filling reaches around one point at 0.1 m cells), but kFreeCells (a whole
    // 2000 m x 1500 m sheet at 0.5 m cells) always pass. Two points far apart cannot make a
    // gigabyte grid.
    static constexpr int64_t kFreeCells = int64_t{1} << 24;
    static constexpr int64_t kCellsPerByte = 64;
    static int64_t cellBound(size_t fileBytes);
    // Lowers the largest grid (cells) the reader builds below kMaxCells.
    void setCellLimit(int64_t limit) { cellLimit_ = limit < kMaxCells ? limit : kMaxCells; }

    static constexpr int kProgressStep = 4096;
    static constexpr size_t kLineLimit = 999;
    static constexpr double kWaterMark = -9999.0;
    static constexpr double kNoDataMark = -1111.0;

private:
    // loadWithProgress without the cache.
    int readSource(const std::string& path, HxProgress* progress);
    // The cache key of the file at this cell size and limit; none for internet paths and files
    // that cannot be looked at.
    std::optional<std::string> cacheKey(const std::string& path) const;

    int64_t cellLimit_ = kMaxCells;
};

}  // namespace kov
