// SPDX-License-Identifier: MIT
// kovtool flood: the flood estimation of the program (whole area, or from a start point) over
// the given data, written as the drawn map (PNG), as the rank image itself (GeoTIFF), as the
// ranks' polygons (GeoPackage, GeoJSON, Shapefile, KML), as the depth raster and/or as JSON
// numbers with the water's volume.
#include <QBuffer>
#include <QFontDatabase>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Messages.h"
#include "core/base/GeodeticDatum.h"
#include "core/base/PathNames.h"
#include "core/data/HMeshProject.h"
#include "core/data/ZarHImage.h"
#include "core/data/gis/CollectionRaster.h"
#include "core/data/gis/GisRaster.h"
#include "core/data/gis/GisVector.h"
#include "core/display/MapViewport.h"
#include "core/flood/FloodEstimate.h"
#include "core/flood/FloodExport.h"
#include "core/flood/FloodWater.h"
#include "core/print/PageComposer.h"

namespace kov::cli {
namespace {

constexpr int kPngFastCompression = 85;  // zlib level 1, as kovtool render writes

// Colours of ranks given without --colors: blue, then towards red.
constexpr uint32_t kDefaultColors[kMaxRanks] = {0xFF0000, 0xFF8000, 0xFFFF00, 0x80FF00, 0x00FF00,
                                                0x00FFFF, 0x0080FF, 0x0000FF, 0x800080};

struct FloodOptions {
    bool hasLevel = false;
    double level = 0.0;
    bool hasStart = false;
    FPoint start;
    bool depth = false;
    std::vector<std::string> ranks{"5.0"};
    std::vector<uint32_t> colors;
    bool waterPasses = false;
    bool noDataPasses = false;
    bool rangeOn = false;
    double range = 0.0;
    std::vector<FPoint> wall;
    OutputArgument output;
    std::string depthRaster;
    bool json = false;
    int width = 1920;
    int height = 1080;
    bool legend = false;
};

// The dialog's rule (a falling value ends the list) suits its nine rows; a list typed here is
// taken whole or refused.
bool takeRanks(const std::string& value, std::vector<std::string>& ranks, std::string& why) {
    std::vector<std::string> heights = split(value, ',');
    double previous = -HUGE_VAL;
    for (const std::string& r : heights) {
        double h = 0.0;
        if (!parseNumber(r, h)) return false;
        if (h <= previous) {
            why = formatted(localText("--ranks must ascend (%s follows %g): \"%s\"",
                                      "--ranks は昇順にしてください (%2$g の次が %1$s): \"%3$s\""),
                            r.c_str(), previous, value.c_str());
            return false;
        }
        previous = h;
    }
    if (heights.size() > static_cast<size_t>(kMaxRanks)) {
        why = formatted(localText("--ranks takes at most %d heights, not %zu",
                                  "--ranks の高さは %d 個までです (%zu 個)"),
                        kMaxRanks, heights.size());
        return false;
    }
    ranks = std::move(heights);
    return true;
}

const CommandHelp kFloodHelp{
    "flood", "PATH... --level H (-o OUT | --depth-raster OUT.tif | --json) [OPTION]...",
    localText("The simple flood estimation: without --from every cell of the area is ranked by\n"
              "its ground height (or its depth below H with --depth); with --from the cells\n"
              "connected to the start point whose ground is at most H are flooded and ranked.",
              "簡易浸水想定: --from なしでは全域の各セルを地盤高 (--depth で水位 H からの\n"
              "深さ) でランク分けし、--from では起点からつながる地盤高 H 以下のセルを浸水させ\n"
              "ランク分けします。")};

std::vector<Option> floodOptions(FloodOptions& o) {
    // The vertices follow as E,N words up to the next option or path.
    const auto wallVertex = [&o](const std::string& word) {
        FPoint p;
        if (word.find(',') == std::string::npos || !parsePoint(word, p)) return false;
        o.wall.push_back(p);
        return true;
    };
    const auto wallEnd = [](size_t count, const std::string&, std::string& why) {
        if (count >= 2) return true;
        why = localText("--wall needs at least two E,N vertices",
                        "--wall には E,N の頂点が二つ以上必要です");
        return false;
    };
    std::vector<Option> options =
        outputOptions(o.output,
                      localText("the result: .png (the map drawn with it), .tif (the rank image), "
                                ".gpkg, .geojson, .shp or .kml (a polygon per rank); "
                                "- for standard output (png, geojson)",
                                "結果: .png (結果を重ねた地図)、.tif (ランク画像)、 "
                                ".gpkg、.geojson、.shp、.kml (ランクごとの多角形)。 "
                                "- で標準出力 (png、geojson)"),
                      {"png", "geojson"});
    const std::vector<Option> own = {
        valueOption("--level",
                    [&o](const std::string& v) { return o.hasLevel = parseNumber(v, o.level); })
            .explained("H",
                       localText("the water level in metres (required)", "想定水位 (m、必須)")),
        valueOption(
            "--from",
            [&o](const std::string& v) { return o.hasStart = parsePair(v, o.start.x, o.start.y); })
            .explained("E,N", localText("flood from this start point, ", "この起点から浸水、") +
                                  std::string(pointOrderHelp())),
        valueOption("--ranks", [&o](const std::string& v,
                                    std::string& why) { return takeRanks(v, o.ranks, why); })
            .explained("H1,H2,...",
                       localText("up to nine ascending rank heights in metres (default 5.0): "
                                 "a cell takes the first rank not below its ground, or with "
                                 "--depth the last rank not above its depth",
                                 "昇順のランクの高さ 9 個まで (m、既定 5.0): セルは地盤高以上の "
                                 "最初のランク、--depth では深さ以下の最後のランクに入る")),
        valueOption("--colors", [&o](const std::string& v) { return parseColors(v, o.colors); })
            .explained("R,G,B;...", localText("the ranks' colours, 0..255 each (default: blue, "
                                              "then towards red)",
                                              "ランクの色、各 0〜255 (既定: 青から赤へ)")),
        valueOption("--range",
                    [&o](const std::string& v) {
                        return o.rangeOn = parseNumber(v, o.range) && o.range > 0.0;
                    })
            .explained("M", localText("with --from: flood no farther than M metres from the "
                                      "start",
                                      "--from と: 起点から M m より遠くは浸水させない")),
        wordsOption("--wall", wallVertex, wallEnd)
            .explained("E,N E,N ...", localText("with --from: a line the flood cannot cross, ",
                                                "--from と: 浸水が越えられない線、") +
                                          std::string(pointOrderHelp())),
        textOption("--depth-raster", o.depthRaster)
            .explained("OUT.tif", localText("the depth of every flooded ground cell as a raster "
                                            "(.tif, .asc, .vrt)",
                                            "浸水した地面セルの深さのラスター (.tif、.asc、.vrt)")),
        valueOption("--size",
                    [&o](const std::string& v) { return parseSize(v, o.width, o.height); })
            .explained("WxH", localText("size of the .png map in pixels (default 1920x1080)",
                                        ".png の地図の大きさ (ピクセル、既定 1920x1080)")),
        switchOption("--depth", o.depth)
            .explained({}, localText("rank by depth below the water level, not by ground height",
                                     "地盤高でなく水位からの深さでランク分け")),
        switchOption("--water-passes", o.waterPasses)
            .explained({}, localText("with --from: the flood passes water cells (else they stop "
                                     "it)",
                                     "--from と: 水面のセルを越えて浸水する (既定は止まる)")),
        switchOption("--nodata-passes", o.noDataPasses)
            .explained({}, localText("with --from: the flood passes cells without a value",
                                     "--from と: 値のないセルを越えて浸水する")),
        switchOption("--json", o.json)
            .explained({}, localText("the cells, areas and volumes per rank as JSON on standard "
                                     "output",
                                     "ランクごとのセル数・面積・体積を JSON で標準出力へ")),
        switchOption("--legend", o.legend)
            .explained({}, localText("draw the legend on the .png map", ".png の地図に凡例を描く")),
    };
    options.insert(options.end(), own.begin(), own.end());
    return options;
}

// The rank image as a palette raster placed on the grid (north row first); cells without a
// rank are its no data.
PaletteRaster rankRaster(const FloodRankImage& image, const MapRect& rect, int epsg) {
    PaletteRaster raster;
    raster.placement = {image.width,
                        image.height,
                        rect.xmin,
                        rect.ymax,
                        (rect.xmax - rect.xmin) / image.width,
                        (rect.ymax - rect.ymin) / image.height,
                        epsg};
    raster.cells.resize(static_cast<size_t>(image.width) * image.height);
    for (int j = 0; j < image.height; ++j) {
        uint8_t* row =
            raster.cells.data() + static_cast<size_t>(image.height - 1 - j) * image.width;
        for (int i = 0; i < image.width; ++i)
            row[i] = image.at(i, j);
    }
    raster.palette.assign(image.palette.begin(), image.palette.end());
    raster.noData = kNoRank;
    return raster;
}

std::string jsonOf(const FloodOutcome& r, const FloodWater& water, bool fromStart) {
    const auto counts = r.image.cells->histogram();
    const std::vector<int64_t> cells(counts.begin(), counts.begin() + r.ranks.levels.size());
    const double cellArea = r.cellWidth * r.cellHeight;
    std::string s = "{\"grid\":[" + std::to_string(r.image.width) + "," +
                    std::to_string(r.image.height) + "],\"cellSize\":[" + jsonNumber(r.cellWidth) +
                    "," + jsonNumber(r.cellHeight) + "]";
    s += ",\"start\":" + (fromStart ? "[" + std::to_string(r.image.startI) + "," +
                                          std::to_string(r.image.startJ) + "]"
                                    : std::string("null"));
    s += ",\"filled\":" + (fromStart ? std::to_string(r.image.filled) : std::string("null"));
    s += ",\"lowest\":" + jsonNumber(r.layer->flood->lowest);
    s += ",\"highest\":" + jsonNumber(r.layer->flood->highest);
    s += ",\"volume\":" + jsonNumber(water.volume) + ",\"deepest\":" + jsonNumber(water.deepest);
    s += ",\"ranks\":[";
    for (size_t k = 0; k < cells.size(); ++k) {
        if (k) s += ",";
        s += "{\"height\":" + jsonNumber(r.ranks.heights[k]) +
             ",\"cells\":" + std::to_string(cells[k]) +
             ",\"area\":" + jsonNumber(static_cast<double>(cells[k]) * cellArea) +
             ",\"volume\":" + jsonNumber(water.rankVolumes[k]) + "}";
    }
    s += "],\"unranked\":" + std::to_string(fromStart ? r.image.unranked : 0) + "}\n";
    return s;
}

void reportRefusal(const FloodRefusal& refusal, const FloodOptions& o) {
    switch (refusal.cause) {
        case FloodFailure::Outside:
            std::fprintf(stderr,
                         localText("kovtool flood: the start point E,N %g,%g lies outside the "
                                   "data\n",
                                   "kovtool flood: 開始点 E,N %g,%g はデータの外にあります\n"),
                         o.start.x, o.start.y);
            return;
        case FloodFailure::NothingFilled:
            std::fprintf(stderr,
                         localText("kovtool flood: nothing is flooded from E,N %g,%g: no ground "
                                   "at or below %g m is reached\n",
                                   "kovtool flood: E,N %g,%g からは何も浸水しません: %g m 以下の"
                                   "地表に届きません\n"),
                         o.start.x, o.start.y, o.level);
            return;
        case FloodFailure::NothingRanked:
            std::fprintf(stderr, "%s",
                         o.hasStart
                             ? localText("kovtool flood: no flooded cell falls into a rank\n",
                                         "kovtool flood: どのランクに入る浸水セルもありま"
                                         "せん\n")
                             : localText("kovtool flood: no cell falls into a rank\n",
                                         "kovtool flood: どのランクに入るセルもありま"
                                         "せん\n"));
            return;
        case FloodFailure::None:
            break;
        default:
            std::fprintf(
                stderr, "kovtool flood: %s\n",
                (japaneseMessages() ? refusalTextJapanese(refusal) : refusalText(refusal)).c_str());
            return;
    }
    std::fprintf(stderr, "%s",
                 localText("kovtool flood: the rank image cannot be made\n",
                           "kovtool flood: ランク画像を作れません\n"));
}

// The EPSG code the georeferenced outputs state; meshes stating different datums are warned of.
int epsgOf(const HMeshProject& project) {
    bool mixed = false;
    const int epsg = collectionEpsg(project, &mixed);
    if (mixed)
        std::fprintf(stderr,
                     localText("kovtool flood: warning: the meshes state different datums; the "
                               "outputs state EPSG:%d, that of the finest mesh\n",
                               "kovtool flood: 警告: メッシュの測地系が異なります。出力には最も"
                               "細かいメッシュの EPSG:%d を記します\n"),
                     epsg);
    return epsg;
}

}  // namespace

int runFlood(const Arguments& args) {
    FloodOptions o;
    DataArguments data;
    if (const std::optional<int> stop = parseDataArguments(kFloodHelp, args, data, floodOptions(o)))
        return *stop;
    const std::string output = o.output.formatName();
    const std::string extension = fileExtension(output);
    const bool tiff =
        equalsIgnoringCase(extension, ".tif") || equalsIgnoringCase(extension, ".tiff");
    const bool png = equalsIgnoringCase(extension, ".png");
    const bool vector = !output.empty() && vectorFormatOfPath(output).has_value();
    if (!o.output.path.empty() && !checkOutputArgument("flood", o.output)) return 2;
    if (o.output.toStdout() && o.json)
        return refuseArguments("flood", localText("-o - and --json both write to standard output",
                                                  "-o - と --json はどちらも標準出力に書きます"));
    if (!o.hasLevel || (output.empty() && !o.json && o.depthRaster.empty()) ||
        (!output.empty() && !tiff && !png && !vector)) {
        std::fputs(localText("kovtool flood: --level H and at least one of "
                             "-o OUT.png|OUT.tif|OUT.gpkg|OUT.geojson|OUT.shp|OUT.kml, "
                             "--depth-raster OUT.tif and --json are required\n",
                             "kovtool flood: --level H と、-o "
                             "OUT.png|OUT.tif|OUT.gpkg|OUT.geojson|OUT.shp|OUT.kml、"
                             "--depth-raster OUT.tif、--json の少なくとも一つが必要です\n"),
                   stderr);
        return 2;
    }
    if (!o.hasStart) {
        // The whole-area classification has no flood for these to limit.
        const std::pair<bool, const char*> floodOnly[] = {{o.rangeOn, "--range"},
                                                          {!o.wall.empty(), "--wall"},
                                                          {o.waterPasses, "--water-passes"},
                                                          {o.noDataPasses, "--nodata-passes"}};
        for (const auto& [given, name] : floodOnly)
            if (given) {
                std::fprintf(
                    stderr,
                    localText("kovtool flood: %s applies only to a flood --from a point\n",
                              "kovtool flood: %s は --from の起点からの浸水にだけ使えます\n"),
                    name);
                return 2;
            }
    }
    // Only a picture is drawn with Qt's painting: numbers and vectors start no application.
    std::optional<DrawingApplication> application;
    if (png || tiff) application.emplace();

    HMeshProject project;
    if (!loadMeshes("flood", data, project)) return 1;
    FloodParameters p;
    p.height = o.level;
    p.depthMode = o.depth;
    p.waterPasses = o.waterPasses;
    p.noDataPasses = o.noDataPasses;
    p.rangeOn = o.rangeOn;
    p.range = o.range;
    p.rankTexts = o.ranks;
    p.rankColors = o.colors;
    const bool measured = o.json || vector || !o.depthRaster.empty();
    p.keepFloodMask = measured;
    for (size_t k = p.rankColors.size(); k < p.rankTexts.size(); ++k)
        p.rankColors.push_back(kDefaultColors[k]);
    FloodRefusal refusal;
    auto result = o.hasStart ? floodFromPoint(project, p, o.start,
                                              o.wall.empty() ? nullptr : &o.wall, &refusal)
                             : floodWholeArea(project, p, &refusal);
    if (!result) {
        // A flood that shows nothing is no result: said so, with no output written.
        reportRefusal(refusal, o);
        return 1;
    }
    FloodWater water;
    std::string why;
    if (measured && !measureFloodWater(project, *result, water, &why)) {
        std::fprintf(stderr,
                     localText("kovtool flood: %s\n", "kovtool flood: 浸水を測れません: %s\n"),
                     why.c_str());
        return 1;
    }
    const std::string json = o.json ? jsonOf(*result, water, o.hasStart) : std::string();
    const int epsg = tiff || vector || !o.depthRaster.empty() ? epsgOf(project) : 0;
    if (!o.depthRaster.empty() &&
        !writeFloodDepths(project, *result, water, epsg, o.depthRaster, &why)) {
        reportUnwritable("flood", o.depthRaster, why);
        return 1;
    }

    if (vector) {
        const OutputFile file(o.output);
        if (!writeFloodPolygons(*result->layer, &water.rankVolumes, epsg, file.path(), &why)) {
            reportUnwritable("flood", o.output.path, why);
            return 1;
        }
        if (!file.deliver("flood")) return 1;
    } else if (tiff) {
        const ZarHImage& layer = *result->layer;
        const MapRect grid{layer.xmin, layer.ymin, layer.xmax, layer.ymax};
        std::string why;
        if (!writePaletteGeoTiff(rankRaster(result->image, grid, epsg), o.output.path, &why)) {
            reportUnwritable("flood", o.output.path, why);
            return 1;
        }
    } else if (png) {
        if (!addFloodLayer(project, result->layer)) {
            std::fprintf(stderr, "%s",
                         localText("kovtool flood: the result layer does not fit in memory\n",
                                   "kovtool flood: 結果のレイヤーがメモリーに収まりません\n"));
            return 1;
        }
        if (project.imageVisible == 0) project.imageVisible = 1;
        MapRect extent;
        project.GetExtent(extent);
        MapViewport view;
        view.setView(extent, o.width, o.height, project);
        PageStyle style;
        style.font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        const QImage page =
            composePage(project, view.world(), o.width, o.height, 96, o.legend, style);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (page.isNull() || !page.save(&buffer, "PNG", kPngFastCompression)) bytes.clear();
        if (!writeOutputFile("flood", o.output.path, bytes, pictureNotEncoded())) return 1;
    }
    std::fwrite(json.data(), 1, json.size(), stdout);
    return 0;
}

}  // namespace kov::cli
