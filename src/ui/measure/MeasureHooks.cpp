// SPDX-License-Identifier: MIT
#include "ui/measure/MeasureHooks.h"

#include <utility>

namespace kov {

namespace {
CrossSectionBuilder& crossSectionSlot() {
    static CrossSectionBuilder builder;
    return builder;
}
FloodStarter& floodSlot() {
    static FloodStarter starter;
    return starter;
}
MeasuringTrackStarter& starterSlot() {
    static MeasuringTrackStarter starter;
    return starter;
}
}  // namespace

void setMeasuringTrackStarter(MeasuringTrackStarter starter) {
    starterSlot() = std::move(starter);
}
bool startMeasuringTrack(CKovVDoc& document, int mode) {
    return starterSlot() && starterSlot()(document, mode);
}

void setCrossSectionBuilder(CrossSectionBuilder builder) {
    crossSectionSlot() = std::move(builder);
}
const CrossSectionBuilder& crossSectionBuilder() {
    return crossSectionSlot();
}

void setFloodStarter(FloodStarter starter) {
    floodSlot() = std::move(starter);
}
const FloodStarter& floodStarter() {
    return floodSlot();
}

}  // namespace kov
