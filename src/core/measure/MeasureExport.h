// SPDX-License-Identifier: MIT
// Measurements and cross-sections as vector layers for desktop GIS tools: the numbers the
// measuring tools and the cross-section window show, with their line, in the zone's plane
// rectangular system.
#pragma once

#include <string>
#include <vector>

#include "core/data/HMeshProject.h"
#include "core/data/gis/CollectionRaster.h"  // collectionEpsg: the zone's code the files carry
#include "core/data/gis/GisVector.h"
#include "core/measure/ProfilePlot.h"

namespace kov {

// Field names of the measured line's layer.
inline constexpr const char* kFieldKind = "kind";      // "line" or "segment"
inline constexpr const char* kFieldSequence = "seq";   // 0 for the line, segments from 1
inline constexpr const char* kFieldLength = "length";  // metres in the plane
inline constexpr const char* kFieldArea = "area";      // m², line only
inline constexpr const char* kFieldZFrom = "z_from";   // elevation at the segment's start
inline constexpr const char* kFieldZTo = "z_to";       // elevation at the segment's end
inline constexpr const char* kFieldDeltaZ = "dz";      // z_to - z_from
inline constexpr const char* kFieldSlopeDegrees = "slope_deg";
inline constexpr const char* kFieldSlopePercent = "slope_pct";

// A measured line (map points in click order, the finishing point last) as one LineString
// layer: the whole line first, with its total length and, from three points on, the area the
// measuring tool shows (the line closed from its last point to its first; null for two
// points), then one feature per segment with its length, the elevations of its ends, their
// difference and its slope. A value the collection cannot give (an end without elevation, a
// segment without length) is null. One layer of one geometry, so every format can hold it.
VectorLayer measuredLineLayer(const HMeshProject& project, const std::vector<FPoint>& line);

// Field names of the cross-section's layers.
inline constexpr const char* kFieldStep = "step";            // line: metres between samples
inline constexpr const char* kFieldSamples = "samples";      // line: number of samples
inline constexpr const char* kFieldDistance = "distance";    // sample: metres along the line
inline constexpr const char* kFieldElevation = "elevation";  // sample: null without ground
inline constexpr const char* kFieldFound = "found";  // sample: "ground", "water", "nodata", "none"

// A cross-section as two layers: "profile_line", the clicked line (map points) with its length,
// step and sample count, and "profile_samples", a point per sample with its distance along the
// line, its elevation where the ground answered (null on water, cells without data and outside
// the meshes, never the value filled in for drawing) and what it found.
std::vector<VectorLayer> profileLayers(const std::vector<FPoint>& line, const ProfileData& data);

// What a sample found, as the exports and kovtool name it.
const char* cellKindText(CellKind kind);

// Whether the format can hold a cross-section: a shapefile holds one geometry type, the
// cross-section a line and points.
bool holdsProfile(VectorFormat format);

// Write the layers above to path in the format its extension names, in the zone's system
// (epsg); the previous file survives any failure. False with the reason in error: an unknown
// extension, a shapefile for a cross-section, a line of fewer than two points, a failed write.
bool exportMeasuredLine(const HMeshProject& project, const std::vector<FPoint>& line,
                        const std::string& path, std::string* error);
bool exportProfile(const std::vector<FPoint>& line, const ProfileData& data, int epsg,
                   const std::string& path, std::string* error);

}  // namespace kov
