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
}  // namespace

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
