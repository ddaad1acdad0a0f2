// SPDX-License-Identifier: MIT
// Places source grids in a plane rectangular zone: every source becomes a mesh on the zone's
// lattice of square cells, transformed through PROJ (by way of GDAL).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/base/GeodeticDatum.h"
#include "core/data/ZarHMesh.h"
#include "core/data/dem/GeoGrid.h"

namespace kov {

// The grid sources are placed on: zone 1..19 on a datum (kUnstated counts as JGD2011), cells
// of cellSize metres whose edges lie on whole multiples of cellSize, so that sources placed
// separately share one lattice.
struct ZoneGrid {
    int zone = 9;
    GeodeticDatum datum = GeodeticDatum::kJgd2011;
    double cellSize = 5.0;
};

// The zone a source goes to when the project has none yet: the zone whose origin (latitude
// and longitude) is nearest to the point by great-circle distance; 9 for a point that is not
// a number.
int zoneNearest(double latitude, double longitude);

// A mesh placed from a source grid. Codes are millimetres (scale 0.001).
class ZarDemMesh : public ZarHMesh {
public:
    ZarDemMesh();
    const char* className() const override { return "ZarDemMesh"; }

    // What kovtool info says of its source.
    std::string sourceKind;    // GeoGrid::kind
    std::string sourceDatum;   // GeoGrid::datumName
    std::string sourceCrs;     // SourceCrs::name
    CellCounts sourceCounts;   // of the source's own cells
    double sourceSpacing = 0;  // GeoGrid::nominalSpacing
};

// Places each grid (all of one load) on the zone grid. The grids of one load help each other:
// where a cell's bilinear neighbours lie in a neighbouring grid of the same coordinate system
// and lattice, that grid's cells are used, so neighbouring sources meet without a seam, and a
// placed mesh holds every cell of its rectangle that any of the grids covers (cells of the
// overlap with a neighbour hold the same codes in both). Elevations are bilinear where all four
// neighbouring source cells hold ground, else the nearest source cell's class. result[i] is
// null, with the reason in errors[i], for a grid that cannot be placed (no transformation,
// outside the zone's reach, more than ZarHMesh::kMaxCells cells).
std::vector<std::unique_ptr<ZarDemMesh>> placeGrids(const std::vector<const GeoGrid*>& grids,
                                                    const ZoneGrid& target,
                                                    std::vector<std::string>& errors);

}  // namespace kov
