// SPDX-License-Identifier: MIT
// Build tool: prints the entries of the table of zone systems' WKT1 (as GDAL writes it into a
// PNG's .aux.xml, x east and y north) for the EPSG codes of the ranges given, FIRST-LAST each,
// into OUTPUT.
//
//   kovzonewkt OUTPUT 6669-6687 2443-2461 30161-30179
#include <ogr_spatialref.h>

#include <cpl_conv.h>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

int main(int argc, char** argv) {
    CPLSetErrorHandler(CPLQuietErrorHandler);
    std::map<int, std::string> table;  // sorted by code, as the program searches it
    if (argc < 3) {
        std::fprintf(stderr, "usage: kovzonewkt OUTPUT FIRST-LAST...\n");
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        int first = 0, last = 0;
        if (std::sscanf(argv[i], "%d-%d", &first, &last) != 2 || first > last) {
            std::fprintf(stderr, "kovzonewkt: not a range FIRST-LAST: %s\n", argv[i]);
            return 2;
        }
        for (int epsg = first; epsg <= last; ++epsg) {
            OGRSpatialReference srs;
            if (srs.importFromEPSG(epsg) != OGRERR_NONE) continue;  // left to GDAL at run time
            srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
            char* wkt = nullptr;
            if (srs.exportToWkt(&wkt) == OGRERR_NONE && wkt) table[epsg] = wkt;
            CPLFree(wkt);
        }
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr || table.empty()) return 1;
    for (const auto& [epsg, wkt] : table)
        std::fprintf(out, "{%d, R\"wkt(%s)wkt\"},\n", epsg, wkt.c_str());
    return std::fclose(out) == 0 ? 0 : 1;
}
