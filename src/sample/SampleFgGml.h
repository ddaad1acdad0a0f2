// SPDX-License-Identifier: MIT
// FG-GML DEM documents written from what a test or the sample data set gives: the header's
// fields and the list of cells, or a terrain function of latitude and longitude.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kov::sample {

// The area of a grid square of the national mesh system, degrees.
struct MeshEnvelope {
    double south = 0, west = 0, north = 0, east = 0;
};
// The envelope of a 4-digit first, 6-digit second or 8-digit third mesh code ("53394528":
// first mesh 5339, second 4-5, third 2-8); false for anything else.
bool meshEnvelope(std::string_view code, MeshEnvelope& out);

// One cell of the tuple list: its type ("地表面", "海水面", "データなし", ...) and value in metres.
struct FgGmlCell {
    std::string type;
    double metres = 0.0;
};

struct FgGmlDocument {
    std::string meshCode = "53394528";
    std::string demType = "5A";  // the spacing in its leading digits: 5 m, 10 m, 1 m
    std::string srsName = "fguuid:jgd2011.bl";
    MeshEnvelope envelope{35.0, 139.0, 35.0 + 30.0 / 3600, 139.0 + 45.0 / 3600};
    int cols = 225, rows = 150;
    int startX = 0, startY = 0;  // the start point: the cell of the list's first tuple
    std::vector<FgGmlCell> cells;
};

// The cells of the document's grid from its start point on, count of them (all when negative), from
// the terrain at each cell's centre.
using FgGmlTerrain = std::function<FgGmlCell(double latitude, double longitude)>;
std::vector<FgGmlCell> terrainCells(const FgGmlDocument& document, const FgGmlTerrain& terrain,
                                    int64_t count = -1);

// The document's text, UTF-8, one tuple a line, values with two decimals (-9999. for none).
std::string fgGmlDemText(const FgGmlDocument& document);

}  // namespace kov::sample
