// SPDX-License-Identifier: MIT
// The module's one exported symbol: the table of its entry points.
#include <cpl_error.h>

#include <string>

#include "core/base/ModuleLoader.h"
#include "core/data/gdal/GdalSupport.h"
#include "core/data/gis/GdalModule.h"

namespace kov {
namespace {

void (*printLine)(const char*) = nullptr;
bool printWarnings = false;

void CPL_STDCALL gdalMessage(CPLErr level, CPLErrorNum, const char* text) {
    if (level != CE_Fatal && !printWarnings) return;
    printLine((std::string("GDAL: ") + (text ? text : "")).c_str());
}

// Installed before GDAL is first used, so that initialiseGdal keeps it.
void routeMessages(void (*print)(const char*), bool warnings) {
    printLine = print;
    printWarnings = warnings;
    CPLSetErrorHandler(print ? gdalMessage : nullptr);
}

const std::string& abiTag() {
    static const std::string tag = moduleTag(sizeof(GdalEntryPoints));
    return tag;
}

}  // namespace
}  // namespace kov

extern "C" __attribute__((visibility("default"))) const void* kovGdalEntryPoints() {
    using namespace kov;
    // Overloaded names are picked by the member's type.
    static const GdalEntryPoints table = {
        abiTag().c_str(),      routeMessages,
        writeElevationRaster,  writeImageGeoTiff,
        writePaletteGeoTiff,   writeVectorFile,
        traceContours,         polygonizeClasses,
        coordinateSystemWkt,   gis::coordinateSystemWkt1,
        eastNorthAxisMapping,  toWgs84,
        probeRaster,           readRasterDem,
        writeRasterDem,        gis::createTransform,
        gis::zoneTransforms,   gis::transformPoints,
        gis::destroyTransform,
    };
    return &table;
}
