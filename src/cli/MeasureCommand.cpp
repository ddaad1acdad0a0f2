// SPDX-License-Identifier: MIT
// kovtool measure: the lengths, area and slopes of a polyline, as the measuring tools of the
// program show and copy them; with -o also the line, its segments and their numbers as a vector
// file for GIS tools.
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/LineArgument.h"
#include "cli/Messages.h"
#include "core/base/NumberFormat.h"
#include "core/data/HMeshProject.h"
#include "core/data/gis/GisVector.h"
#include "core/measure/MeasureExport.h"
#include "core/measure/MeasureGeometry.h"

namespace kov::cli {
namespace {

struct MeasureArguments {
    DataArguments data;
    LineArgument line;
    bool slope = false;
    bool json = false;
    OutputArgument output;  // -o: the vector file, empty for none
};

const CommandHelp kMeasureHelp{
    "measure", "PATH... (--line E,N E,N [E,N ...] | --line-file FILE|-) [OPTION]...",
    localText("The lengths, area and slopes of a line as the measuring tools show them: the\n"
              "last segment, the whole line and, from three points on, the area of the line\n"
              "closed; with -o also the line and its segments as a GIS file.",
              "計測ツールと同じ線の距離・面積・勾配: 最後の区間、線全体、三点以上なら\n"
              "閉じた線の面積。-o で線と区間を GIS ファイルにも。")};

std::vector<Option> measureOptions(MeasureArguments& out) {
    std::vector<Option> options = lineOptions(out.line);
    const std::vector<Option> output =
        outputOptions(out.output,
                      localText("also the line as a GIS file: .geojson, .gpkg, .shp or .kml; "
                                "- for standard output (geojson) instead of the measures",
                                "線を GIS ファイルにも: .geojson、.gpkg、.shp、.kml。 "
                                "- で計測値の代わりに標準出力へ (geojson)"),
                      {"geojson"});
    options.insert(options.end(), output.begin(), output.end());
    options.push_back(switchOption("--slope", out.slope)
                          .explained({}, localText("also a line per segment with its slope",
                                                   "区間ごとの勾配の行も")));
    options.push_back(switchOption("--json", out.json)
                          .explained({}, localText("the measures as JSON", "計測値を JSON で")));
    return options;
}

std::optional<double> elevationAt(const HMeshProject& project, const FPoint& point) {
    double z = 0.0;
    if (!project.FindElevation(point.x, point.y, z)) return std::nullopt;
    return z;
}

// "[E,N,Z]" with null for a point without elevation.
std::string jsonPoint(const FPoint& point, const std::optional<double>& z) {
    return "[" + jsonNumber(point.x) + "," + jsonNumber(point.y) + "," +
           (z ? jsonNumber(*z) : std::string("null")) + "]";
}

// The rows of the result window: under a Japanese locale as the window's tip writes them, else
// with English headings and the same numbers. The segment from the first vertex on, the total
// length and the area from two vertices on.
std::string resultRows(const Measures& measures, size_t vertexCount) {
    if (japaneseMessages()) {
        std::string out =
            (QStringLiteral("区間距離: ") + lengthText(measures.segment)).toStdString();
        if (vertexCount < 2) return out + "\n";
        return out + "\n" +
               (QStringLiteral("延長距離: ") + lengthText(measures.total)).toStdString() + "\n" +
               (QStringLiteral("面　　積: ") + areaText(measures.area)).toStdString() + "\n";
    }
    char text[256];
    std::snprintf(text, sizeof text, "segment: %8s (m)\n",
                  formatGrouped(measures.segment, 1).c_str());
    std::string out = text;
    if (vertexCount < 2) return out;
    std::snprintf(text, sizeof text, "total:   %8s (m)\narea:    %8s (m2)\n",
                  formatGrouped(measures.total, 1).c_str(),
                  formatGrouped(measures.area, 1).c_str());
    return out + text;
}

// A slope line as the window copies it, but with its points as "E easting N northing" (the
// window writes them northing first, unlabelled, as its "X Y").
std::string slopeRow(const FPoint& from, const FPoint& to, double length, const Slope& slope) {
    char text[400];
    std::snprintf(text, sizeof text,
                  "E %.1f N %.1f (%.3f m) - E %.1f N %.1f (%.3f m)  %.3f (m)  %.3f (Deg)  %.3f "
                  "(%%)\n",
                  from.x, from.y, from.z, to.x, to.y, to.z, length, slope.degrees, slope.percent);
    return text;
}

}  // namespace

int runMeasure(const Arguments& args) {
    MeasureArguments parsed;
    if (const std::optional<int> stop =
            parseDataArguments(kMeasureHelp, args, parsed.data, measureOptions(parsed)))
        return *stop;
    const OutputArgument& output = parsed.output;
    if (!output.path.empty() && !checkOutputArgument("measure", output)) return 2;
    if (output.toStdout() && (parsed.json || parsed.slope))
        return refuseArguments("measure", localText("-o - writes only the GIS file: it takes no "
                                                    "--json or --slope",
                                                    "-o - は GIS ファイルだけを書きます: --json "
                                                    "と --slope は使えません"));
    if (!output.path.empty() && !vectorFormatOfPath(output.formatName())) {
        std::fprintf(stderr,
                     localText("kovtool measure: no vector format for \"%s\": the name must end "
                               "in .geojson, .gpkg, .shp or .kml\n",
                               "kovtool measure: \"%s\" のベクター形式がありません: 名前の末尾は "
                               ".geojson、.gpkg、.shp、.kml のいずれかにしてください\n"),
                     output.path.c_str());
        return 2;
    }
    if (const std::optional<int> stop = resolveLine("measure", parsed.line)) return *stop;
    HMeshProject project;
    if (!loadDataPaths(parsed.data, project)) return 1;

    const std::vector<FPoint>& line = parsed.line.points;
    std::vector<std::optional<double>> elevations;
    for (const FPoint& point : line)
        elevations.push_back(elevationAt(project, point));

    // The clicked vertices and the last point as the mouse point.
    const std::vector<FPoint> vertices(line.begin(), line.end() - 1);
    const Measures measures = ComputeMeasures(vertices, line.back());
    // Points far enough apart overflow the sums: no number to print is honest.
    if (!std::isfinite(measures.total) || !std::isfinite(measures.area))
        return refuseArguments(
            "measure",
            std::isfinite(measures.total)
                ? localText("the enclosed area is beyond the range of numbers (the points lie "
                            "too far apart)",
                            "囲む面積が数値の範囲を超えます (点が離れすぎています)")
                : localText("the length of the line is beyond the range of numbers (the points "
                            "lie too far apart)",
                            "線の長さが数値の範囲を超えます (点が離れすぎています)"));
    if (!output.path.empty()) {
        const OutputFile file(output);
        std::string error;
        if (!exportMeasuredLine(project, line, file.path(), &error)) {
            reportUnwritable("measure", output.path, error);
            return 1;
        }
        if (!file.deliver("measure")) return 1;
        if (output.toStdout()) return 0;  // the file alone on standard output
    }

    std::string out;
    if (parsed.json) {
        out += "{\"segment\":" + jsonNumber(measures.segment) +
               ",\"total\":" + jsonNumber(measures.total) +
               ",\"area\":" + jsonNumber(measures.area) + ",\"segments\":[";
        for (size_t i = 0; i + 1 < line.size(); ++i) {
            if (i > 0) out += ",";
            out += "{\"from\":" + jsonPoint(line[i], elevations[i]) +
                   ",\"to\":" + jsonPoint(line[i + 1], elevations[i + 1]) +
                   ",\"length\":" + jsonNumber(polylineLength({line[i], line[i + 1]}));
            if (const auto slope = segmentSlope(project, {line[i]}, line[i + 1]))
                out += ",\"slopeDegrees\":" + jsonNumber(slope->degrees) +
                       ",\"slopePercent\":" + jsonNumber(slope->percent);
            out += "}";
        }
        out += "]}\n";
        std::fwrite(out.data(), 1, out.size(), stdout);
        return 0;
    }

    out += resultRows(measures, vertices.size());
    if (parsed.slope) {
        for (size_t i = 0; i + 1 < line.size(); ++i) {
            const auto slope = segmentSlope(project, {line[i]}, line[i + 1]);
            if (!slope) {
                const bool noLength = polylineLength({line[i], line[i + 1]}) == 0.0;
                std::fprintf(stderr,
                             localText("kovtool measure: segment %zu (E,N %s,%s to %s,%s): %s, no "
                                       "slope\n",
                                       "kovtool measure: 区間 %zu（E,N %s,%s から %s,%s）: %s"
                                       "ため、勾配はありません\n"),
                             i + 1, jsonNumber(line[i].x).c_str(), jsonNumber(line[i].y).c_str(),
                             jsonNumber(line[i + 1].x).c_str(), jsonNumber(line[i + 1].y).c_str(),
                             noLength ? localText("the segment has no length", "長さがない")
                                      : localText("an end has no elevation", "端に標高がない"));
                continue;
            }
            FPoint from = line[i];
            FPoint to = line[i + 1];
            from.z = *elevations[i];
            to.z = *elevations[i + 1];
            out += slopeRow(from, to, polylineLength({from, to}), *slope);
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

}  // namespace kov::cli
