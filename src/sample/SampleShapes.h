// SPDX-License-Identifier: MIT
// Shapefile layers of the sample data set: a few areas, roads and points over the default block
// (zone 9, x -10000..-4000, y -37500..-33000), identical bytes on every machine.
#pragma once

#include <string>
#include <vector>

namespace kov::sample {

// Base names of the layers written into "shape/", each as .shp, .shx and .dbf:
// "areas" (polygons, one with a hole, one of two separate rings), "roads" (polylines, one of two
// parts) and "points" (points).
std::vector<std::string> sampleShapeNames();

// Writes outDir/shape/<name>.shp, .shx and .dbf (one text attribute "NAME") for every layer;
// folders are created when missing, existing files overwritten. False with a message on failure.
bool writeSampleShapefile(const std::string& outDir, std::string* error);

}  // namespace kov::sample
