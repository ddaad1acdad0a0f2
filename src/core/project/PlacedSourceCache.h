// SPDX-License-Identifier: MIT
// What the cache keeps of one load of placed elevation sources: a manifest (a blob) under a key
// made of everything the placement depends on, naming one mesh entry per placed mesh in the
// order the load adds them, with what the meshes hold beyond their cache record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/GeodeticDatum.h"
#include "core/data/dem/GeoGrid.h"

namespace kov {

struct DemRequest;
struct DemSettings;

// The zone and datum of the project's mesh that decides where sources go; none (known false)
// for a project without meshes, when the settings and the first source decide.
struct ZoneBasis {
    bool known = false;
    int zone = 9;
    GeodeticDatum datum = GeodeticDatum::kUnstated;
};

// Everything a load of the requests depends on: the settings, the basis and every request in
// order (its path, requested cell size, and the size and time of its file on disk, the zip for
// a member path). None when a file cannot be looked at (missing, an internet path).
std::optional<std::string> placementKey(const std::vector<DemRequest>& requests,
                                        const DemSettings& settings, const ZoneBasis& basis);
// The short name of a key (a SHA-256 digest), which the cache's entries are named by.
std::string placementDigest(const std::string& key);
// The key of a load's manifest and of its placed mesh number i.
std::string placementManifestKey(const std::string& digest);
std::string placedMeshKey(const std::string& digest, size_t index);

// A placed mesh's path and what it tells of its source (ZarDemMesh).
struct PlacedMeshNote {
    std::string path;
    std::string sourceKind, sourceDatum, sourceCrs;
    CellCounts sourceCounts;
    double sourceSpacing = 0;
};

struct PlacementManifest {
    std::string key;                      // placementKey in full (a digest collision is caught)
    std::vector<std::string> companions;  // the raster companions
    std::string companionKey;             // theirs when the manifest was written
    std::vector<PlacedMeshNote> meshes;   // in the order the load added them
};
std::vector<uint8_t> encodeManifest(const PlacementManifest& manifest);
// None when the bytes do not hold a whole manifest.
std::optional<PlacementManifest> decodeManifest(std::string_view bytes);

}  // namespace kov
