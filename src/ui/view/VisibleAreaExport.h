// SPDX-License-Identifier: MIT
// The File menu's export of the visible area's elevation: a GIS raster (Cloud-Optimized GeoTIFF,
// ESRI ASCII grid or a VRT over GeoTIFF tiles, by the extension) of the part of the collection
// the map shows, at the finest mesh's cell size, in the zone's coordinate system.
#pragma once

#include <QString>
#include <optional>

#include "core/data/HMeshProject.h"

namespace kov {

class CKovVView;

// The most cells an export of the visible area writes (about 1.3 GB in memory while it is made).
inline constexpr int64_t kMaxVisibleExportCells = int64_t{1} << 28;

// The part of rect that holds data (rect clipped to the collection's extent); empty when they
// do not overlap.
std::optional<MapRect> exportArea(const HMeshProject& project, const MapRect& rect);

// Asks for a file (the file dialog confirms replacing one), then samples and writes the area
// with a wait cursor and the progress display; tells the user the outcome. Answers whether a
// file was written.
bool exportVisibleElevation(CKovVView& view);

}  // namespace kov
