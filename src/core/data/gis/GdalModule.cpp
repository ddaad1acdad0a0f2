// SPDX-License-Identifier: MIT
#include "core/data/gis/GdalModule.h"

#include "core/base/ModuleLoader.h"
#include "core/data/LibraryMessages.h"

namespace kov {

const GdalEntryPoints* gdalModule(std::string* error) {
    return loadModuleOnce<GdalEntryPoints>(
        {"libkovgdal.so", kGdalModuleVariable, kGdalEntrySymbol, "GDAL", sizeof(GdalEntryPoints)},
        error, [](const GdalEntryPoints& table) {
            // GDAL's messages pass the program's filter from the first call on.
            bool warnings = false;
            if (LibraryMessagePrinter print = libraryMessagePrinter(&warnings))
                table.routeMessages(print, warnings);
        });
}

}  // namespace kov
