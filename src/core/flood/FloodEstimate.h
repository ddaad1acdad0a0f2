// SPDX-License-Identifier: MIT
// The flood estimation as the program and kovtool run it: the rank texts read with the mesh
// scale, the whole-area classification or the flood from a start point, and the result layer
// added to the project.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/data/HMeshProject.h"
#include "core/data/ZarHImage.h"
#include "core/flood/HMeshFloodFill.h"

namespace kov {

// Ranks read from their texts: levels in raw units (ascending) and heights in metres.
struct FloodRanks {
    std::vector<int32_t> levels;
    std::vector<double> heights;
};

// Takes the texts in order up to the first empty one (or one that is not a finite number) and at
// most kMaxRanks; each height is the decimal value of its text, its level height / unit rounded
// half away from zero; a level below the previous one ends the list there.
FloodRanks parseRanks(const std::vector<std::string>& texts, double unit);
// The water level in raw units: the highest code at or below the height (height / unit rounded
// down, a level typed to the unit's precision giving exactly its code).
int32_t waterLevelOf(double height, double unit);

// What the dialogs (or kovtool's options) ask for.
struct FloodParameters {
    double height = 5.0;  // water level, metres
    bool depthMode = false;
    bool waterPasses = false;
    bool noDataPasses = false;
    bool rangeOn = false;
    double range = 3000.0;
    std::vector<std::string> rankTexts{"5.0"};
    std::vector<uint32_t> rankColors{0xFF0000};  // 0x00BBGGRR, one per rank text
    // A flood from a start point keeps which cells it reached (FloodRankImage::flooded), for
    // the depths and volumes of FloodExport.
    bool keepFloodMask = false;
};

// The next layer name: "FloodFill-%d" (whole area) or "FloodFillEx-%d" (start point), each
// with its own counter that only grows while the process runs.
std::string nextFloodLayerName(bool fromStartPoint);

struct FloodOutcome {
    std::unique_ptr<ZarHImage> layer;  // the result layer, not yet added
    FloodRankImage image;              // the rank image it was made from
    FloodRanks ranks;
    double unit = 1.0;        // metres per raw unit
    double level = 0.0;       // the water level asked for, metres
    int32_t levelCode = 0;    // and in raw units: ground above it stops the flood
    double cellWidth = 0.0;   // metres per grid cell, west to east
    double cellHeight = 0.0;  // and south to north: grid cells need not be square
    MapRect grid;             // the grid's plane rectangle (the layer's, which may be handed on)
};

// Why a flood gave no layer, with the figures its message needs. A layer that would show
// nothing is not made either.
struct FloodRefusal {
    FloodFailure cause = FloodFailure::None;
    double columns = 0.0;  // the grid over the collection
    double rows = 0.0;
    int64_t budgetLeft = 0;  // bytes the project's memory budget had left for the layer
};
// The cause in a sentence (kovtool's words) for the causes that concern the grid and memory;
// kovtool words the others with the start point and level it was given.
std::string refusalText(const FloodRefusal& refusal);
// The same causes in the window's Japanese sentences (UTF-8), also kovtool's under a Japanese
// locale; empty for the other causes.
std::string refusalTextJapanese(const FloodRefusal& refusal);

// The rank image of the whole collection. None without meshes, for a grid over the cell cap, for
// a layer that does not fit in the project's memory budget, or when no cell falls into a rank;
// refusal, when given, says which.
std::optional<FloodOutcome> floodWholeArea(HMeshProject& project, const FloodParameters& p,
                                           FloodRefusal* refusal = nullptr);
// The flood from a start point (plane metres); wall, when given, stops the flood. None also when
// the point lies outside every mesh, the flood reaches no ground at or below the level, or no
// flooded cell falls into a rank.
std::optional<FloodOutcome> floodFromPoint(HMeshProject& project, const FloodParameters& p,
                                           const FPoint& start,
                                           const std::vector<FPoint>* wall = nullptr,
                                           FloodRefusal* refusal = nullptr);

// Appends the layer as the topmost image (duplicates allowed) and switches nothing else; true
// when the project took it.
bool addFloodLayer(HMeshProject& project, std::unique_ptr<ZarHImage>& layer);
// Whether any image is a flood result.
bool hasFloodLayer(const HMeshProject& project);
// Removes every flood result, last to first; the number removed.
int clearFloodLayers(HMeshProject& project);

}  // namespace kov
