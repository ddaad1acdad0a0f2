// SPDX-License-Identifier: MIT
// Draws the elevation meshes of a project as colour-graded relief (hill-shaded gradient, flat
// step bands, or step bands with lit and shaded band edges) and then its image overlays into a
// 24-bit bitmap covering a rectangle of the map.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/base/Dib24.h"
#include "core/data/HMeshProject.h"

namespace kov {

class ZarHColorMap;
class ZarHShade;

// Called once per mesh and once per image with (index, count).
using RenderProgress = std::function<void(int index, int count)>;

// Fills the whole target. rect null: the collection's extent; colorMap null: slot 0 of the
// collection; shading null: a buffer of the renderer's own (hill shading is always computed).
// The step is taken as 0 in step mode 0. Meshes are drawn only for draw kind 0. Answers 1.
// Sorts the collection's meshes (coarsest first) before drawing.
// The meshes are drawn in horizontal bands of the target in parallel, the picture the same
// whatever the split: bands < 1 takes renderBandCount's choice. A shading buffer asks for one
// band: it then holds the shades of the last mesh drawn. Progress is called on the calling
// thread only.
int renderMeshes(HMeshProject& project, Dib24& target, const MapRect* rect,
                 const ZarHColorMap* colorMap, std::vector<uint8_t>* shading, int stepMode,
                 double step, int drawKind = 0, const RenderProgress& progress = {}, int bands = 0);

// The bands renderMeshes draws a width x height target in, on up to one thread per core: one
// for a small target or a single core, otherwise a few for each core.
int renderBandCount(int width, int height);

// A mesh's extent as fractions of the rectangle a target bitmap shows (x from its west edge,
// y from its south edge); a visible mesh overlaps 0..1 in both directions.
struct MeshFraction {
    double x0 = 0.0;
    double y0 = 0.0;
    double x1 = 1.0;
    double y1 = 1.0;
};

// Draws the centre mesh of the neighbourhood into its part of the target; the neighbours supply
// the samples just beyond the mesh's edges, so that shading and band edges run on across tile
// borders. shading null: no hill shading. light null: the light of the colour map. Answers 1.
int renderOneMesh(Dib24& target, const MeshFraction& fraction, std::vector<uint8_t>* shading,
                  const ZarHColorMap& colorMap, const MeshNeighbours& neighbours, int stepMode,
                  double step, const ZarHShade* light = nullptr);

// Senses of the band edges for a light azimuth in degrees: horizontal (east-west differences)
// and vertical (south-north differences), each -1, 0 or +1.
void bandEdgeSenses(double azimuth, int& gx, int& gy);

}  // namespace kov
