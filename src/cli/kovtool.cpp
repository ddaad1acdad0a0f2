// SPDX-License-Identifier: MIT
// kovtool: the command-line companion of Kov View5.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "cli/Commands.h"
#include "cli/Messages.h"
#include "cli/OptionReader.h"
#include "core/data/LibraryMessages.h"

namespace {

struct Command {
    const char* name;
    int (*run)(const kov::cli::Arguments&);
    const char* usage;
};

const Command kCommands[] = {
    {"info", kov::cli::runInfo,
     "info [--json] [--dsm-cell M] [-q] PATH... | PROJECT.kovv5\n"
     "                               describe the layers (tiles, DSM, shapefiles, images)"},
    {"elev", kov::cli::runElev,
     "elev PATH...|PROJECT.kovv5 [--dsm-cell M] [-q] [--at E,N]...\n"
     "                               elevation at points (stdin pairs without --at)"},
    {"geo", kov::cli::runGeo,
     "geo --zone Z [--dms] [E N]     plane coordinates to latitude and longitude (GRS-80)"},
    {"compose", kov::cli::runCompose,
     "compose -o OUT.kovv5 [--title T] [--dsm-cell M] [-q] PATH...\n"
     "                               write a project file of the given files and folders"},
    {"render", kov::cli::runRender,
     "render PATH... -o OUT.png|OUT.pdf|OUT.tif [--size WxH] [--rect XMIN,YMIN,XMAX,YMAX]\n"
     "               [--dpi N] [--legend] [--no-sheets] [--no-scalebar]\n"
     "               [--step-mode 0|1|2] [--step M] [-q]\n"
     "                               draw the map as the view shows it; .tif: an RGBA\n"
     "                               GeoTIFF placed on the map, .png: with a world file\n"
     "                               (.pgw) and OUT.png.aux.xml naming the system"},
    {"profile", kov::cli::runProfile,
     "profile PATH... --line E,N E,N [E,N ...] [--step M] [--max-points N]\n"
     "               -o OUT.csv|OUT.emf|OUT.png|OUT.pdf|OUT.svg|OUT.geojson|OUT.gpkg|OUT.kml\n"
     "               [--size WxH] [--no-marks] [-q]\n"
     "                               cross-section of a line: the samples, the drawing or a GIS\n"
     "                               file of the line and its samples"},
    {"measure", kov::cli::runMeasure,
     "measure PATH...|PROJECT.kovv5 --line E,N E,N [E,N ...] [--slope] [--json]\n"
     "               [-o OUT.geojson|OUT.gpkg|OUT.shp|OUT.kml] [--dsm-cell M] [-q]\n"
     "                               segment and total length, area and slopes of a line\n"
     "                               (-o: also the line and its segments as a GIS file)"},
    {"print", kov::cli::runPrint,
     "print PROJECT -o OUT.pdf | --printer NAME [--mode 0|1|2] [--scale N] [--clip]\n"
     "               [--paper A4|A3|A5|B4|B5|Letter|...] [--landscape] [--dpi N]\n"
     "               [--legend] [--title] [--date] [--time] [--scale-text]\n"
     "               [--comment TEXT] [--rect XMIN,YMIN,XMAX,YMAX] [--size WxH]\n"
     "                               print the map page as the program prints it"},
    {"flood", kov::cli::runFlood,
     "flood PATH... --level H [--from E,N] [--depth] [--ranks H1,H2,...]\n"
     "              [--colors R,G,B;...] [--water-passes] [--nodata-passes] [--range M]\n"
     "              [--wall E,N E,N ...] [-o OUT.png|OUT.tif|OUT.gpkg|OUT.geojson|OUT.shp]\n"
     "              [--depth-raster OUT.tif] [--json] [--size WxH] [--legend]\n"
     "                               flood estimation: whole area, or from a start point;\n"
     "                               polygons per rank, depths, volume (--json)"},
    {"convert", kov::cli::runConvert,
     "convert PATH... -o FOLDER [--zone Z] [--cell M] [--dsm-cell M] [-q]\n"
     "                               write the data as 5 m tiles on the sheet grid\n"
     "                               (FOLDER/Data/<sheet>.kov, FOLDER/Header/<sheet>.csv)"},
    {"export", kov::cli::runExport,
     "export PATH... -o OUT.tif|OUT.asc|OUT.vrt [--rect XMIN,YMIN,XMAX,YMAX] [--cell M]\n"
     "               [--zone Z] [-q]\n"
     "                               the elevation as a GIS raster in the zone's EPSG system\n"
     "                               (.tif: COG; .vrt: over GeoTIFF tiles in OUT_tiles/):\n"
     "                               band 1 metres, nodata -9999; band 2 class: 0 no data,\n"
     "                               1 ground, 2 water (.asc: one band, water is nodata);\n"
     "                               cells of --cell M, else of the finest mesh"},
    {"contour", kov::cli::runContour,
     "contour PATH... -o OUT.gpkg|OUT.geojson|OUT.shp|OUT.kml --interval M [--base M]\n"
     "               [--rect XMIN,YMIN,XMAX,YMAX] [--cell M] [-q]\n"
     "                               contour lines (fields elev, index: every 5th from base);\n"
     "                               at most 33554432 vertices"},
    {"sample", kov::cli::runSample,
     "sample OUTDIR [--block N] [--asc]\n"
     "                               write the sample data set (N x N tiles, default 3;\n"
     "                               --asc adds ESRI ASCII grids of the tiles)"},
};

void printUsage(FILE* out) {
    std::fprintf(out,
                 "usage: kovtool COMMAND [ARGS]\n"
                 "       kovtool COMMAND --help     the command's usage\n"
                 "       kovtool --version\n\ncommands:\n");
    for (const Command& c : kCommands)
        std::fprintf(out, "  %s\n", c.usage);
    std::fprintf(
        out,
        "\nPATH: 5 m tiles (.kov) and their folders, DSM point files (.txt), shapefiles,\n"
        "georeferenced pictures, and elevation sources placed in a plane rectangular\n"
        "zone: FG-GML DEM files (.xml), zips of them (zips inside zips too; a member as\n"
        "DEM.zip/member.xml) and raster DEMs GDAL reads (GeoTIFF, .asc, .img, .vrt, ...).\n"
        "Every command that reads PATHs takes --zone Z (1..19; default: the zone of the\n"
        "tiles loaded, else the zone whose origin is nearest to the data) and --cell M\n"
        "(the placed cell size; default: the source's own spacing).\n"
        "\nexit status: 0 done; 1 the data could not be read or the result could not be\n"
        "written; 2 bad arguments (an unknown option, a bad value, a missing -o or data\n"
        "path, an output format the command does not write)\n");
}

// Output that could not be written (a full disk, a closed pipe) fails the command: a result
// cut short is never reported as complete.
int checkedOutput(int status) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    std::fprintf(stderr,
                 kov::cli::localText("kovtool: cannot write the output: %s\n",
                                     "kovtool: 出力を書き込めません: %s\n"),
                 std::strerror(errno));
    return status != 0 ? status : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Qt's and the picture libraries' own warnings never interleave with our output.
    kov::installLibraryMessageFilter("kovtool");
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    const std::string name = argv[1];
    if (kov::cli::asksForHelp({name}) || name == "help") {
        printUsage(stdout);
        return checkedOutput(0);
    }
    if (name == "--version") {
        std::printf("kovtool (Kov View5) %s\n", KOV_VERSION);
        return checkedOutput(0);
    }
    for (const Command& c : kCommands) {
        if (name != c.name) continue;
        const kov::cli::Arguments args(argv + 2, argv + argc);
        if (kov::cli::asksForHelp(args)) {
            std::printf("usage: kovtool %s\n", c.usage);
            return checkedOutput(0);
        }
        // Memory that cannot be had ends the command with a message, never with an abort.
        try {
            return checkedOutput(c.run(args));
        } catch (const std::bad_alloc&) {
            std::fflush(stdout);
            std::fprintf(stderr,
                         kov::cli::localText("kovtool %s: out of memory\n",
                                             "kovtool %s: メモリーが足りません\n"),
                         c.name);
            return 1;
        }
    }
    std::fprintf(stderr, "kovtool: unknown command '%s'\n", name.c_str());
    printUsage(stderr);
    return 2;
}
