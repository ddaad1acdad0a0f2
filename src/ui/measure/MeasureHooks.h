// SPDX-License-Identifier: MIT
// What the measuring track hands over when it is used by other tools: the line of a
// cross-section (mode 1, ended by a right-click or Esc) and the start point of a flood
// estimation (mode 4, one click). The cross-section window and the flood estimation register
// themselves here; the track knows neither.
#pragma once

#include <functional>
#include <vector>

#include "core/data/HMeshProject.h"

namespace kov {

class CKovVDoc;

// Builds and shows the cross-section of the clicked vertices (map points, click order, the last
// mouse point appended).
using CrossSectionBuilder =
    std::function<void(CKovVDoc& document, const std::vector<FPoint>& line)>;
// Runs the flood estimation prepared before the track started, from the clicked point; true when
// a result was made (the track then ends), false when the point gave nothing (outside the data,
// empty fill) and the track waits for another click.
using FloodStarter = std::function<bool(CKovVDoc& document, const FPoint& start)>;

// Starts the measuring track (`TrackRangeOp`) in a mode for the document: 1 cross-section line,
// 4 flood start point (after setFloodStarter). False when refused (with a beep) or before the
// track module registered itself.
using MeasuringTrackStarter = std::function<bool(CKovVDoc& document, int mode)>;
void setMeasuringTrackStarter(MeasuringTrackStarter starter);
bool startMeasuringTrack(CKovVDoc& document, int mode);

void setCrossSectionBuilder(CrossSectionBuilder builder);
// Empty until the cross-section window registered itself.
const CrossSectionBuilder& crossSectionBuilder();

void setFloodStarter(FloodStarter starter);
const FloodStarter& floodStarter();

}  // namespace kov
