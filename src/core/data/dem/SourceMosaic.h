// SPDX-License-Identifier: MIT
// Source grids of one coordinate system on one lattice (the same steps, origins whole steps
// apart), looked up as one grid: neighbouring FG-GML files and raster tiles form one. Look-ups
// remember the last grid hit: one thread at a time.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "core/data/dem/GeoGrid.h"

namespace kov {

class SourceMosaic {
public:
    // The mosaic's lattice is the first grid's: its north-west cell is global cell (0, 0),
    // columns run east and rows south, as in a GeoGrid.
    explicit SourceMosaic(const GeoGrid& first);

    // Whether grid shares the mosaic's coordinate system and lattice.
    bool fits(const GeoGrid& grid) const;
    // Adds a grid that fits. Where grids overlap, the one added first answers.
    void add(const GeoGrid& grid);

    // The code of a global cell; MESH_NODATA where no grid holds it.
    int32_t codeAt(int64_t col, int64_t row) const;

    // The fractional global cell-centre position of a source coordinate: 0 at the centre of
    // cell 0, 1 at the centre of cell 1.
    double columnOf(double x) const { return (x - west_) / stepX_ - 0.5; }
    double rowOf(double y) const { return (north_ - y) / stepY_ - 0.5; }

    // The code at a fractional cell-centre position: bilinear between the four cell centres
    // around it when all four hold ground, else the code of the cell the position lies in.
    int32_t sample(double col, double row) const;

private:
    struct Member {
        const GeoGrid* grid;
        int64_t col0;  // global index of the grid's cell (0, 0)
        int64_t row0;
        bool overlapped = false;  // an earlier grid overlaps it and answers there
        bool holds(int64_t col, int64_t row) const {
            return col >= col0 && col < col0 + grid->cols && row >= row0 && row < row0 + grid->rows;
        }
    };
    static uint64_t bucketKey(int64_t bucketCol, int64_t bucketRow);
    const Member* memberHolding(int64_t col, int64_t row) const;

    double west_, north_, stepX_, stepY_;
    int64_t bucketCols_, bucketRows_;  // the first grid's size: a bucket holds few grids
    std::vector<Member> members_;
    std::unordered_map<uint64_t, std::vector<uint32_t>> buckets_;  // member positions
    // The last grid found: neighbouring look-ups mostly hit it again.
    mutable size_t lastHit_ = 0;
};

}  // namespace kov
