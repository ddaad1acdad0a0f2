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
#include "core/data/HMeshProject.h"
#include "core/data/gis/GisVector.h"
#include "core/measure/MeasureExport.h"
#include "core/measure/MeasureGeometry.h"

namespace kov::cli {
namespace {

struct MeasureArguments {
    DataArguments data;
    std::vector<FPoint> line;
    bool lineGiven = false;
    bool slope = false;
    bool json = false;
    std::string output;  // -o: the vector file, empty for none
};

// "--line E,N E,N ...": every following argument that reads as a pair is a point.
std::vector<Option> measureOptions(MeasureArguments& out) {
    const auto end = [&out](size_t, const std::string& next, std::string& why) {
        if (out.lineGiven) {
            why = "--line is given more than once";
            return false;
        }
        out.lineGiven = true;
        if (out.line.size() >= 2) return true;
        why = "--line needs at least two points E,N (got " + std::to_string(out.line.size()) +
              (next.empty() ? "" : ", then \"" + next + "\"") + ")";
        return false;
    };
    return {pointsOption("--line", out.line, end), switchOption("--slope", out.slope),
            switchOption("--json", out.json), textOption("-o", out.output)};
}

std::optional<double> elevationAt(const HMeshProject& project, const FPoint& point) {
    double z = 0.0;
    if (!project.FindElevation(point.x, point.y, z)) return std::nullopt;
    return z;
}

std::string utf8(const QString& text) {
    return text.toStdString();
}

// "[e, n, z]" with null for a point without elevation.
std::string jsonPoint(const FPoint& point, const std::optional<double>& z) {
    return "[" + jsonNumber(point.x) + ", " + jsonNumber(point.y) + ", " +
           (z ? jsonNumber(*z) : std::string("null")) + "]";
}

}  // namespace

int runMeasure(const Arguments& args) {
    MeasureArguments parsed;
    if (!parseDataArguments("measure", args, parsed.data, measureOptions(parsed))) return 2;
    if (!parsed.lineGiven) {
        std::fprintf(stderr, "kovtool measure: --line E,N E,N [E,N ...] is required\n");
        return 2;
    }
    if (!parsed.output.empty() && !vectorFormatOfPath(parsed.output)) {
        std::fprintf(stderr,
                     "kovtool measure: no vector format for \"%s\": the name must end in "
                     ".geojson, .gpkg, .shp or .kml\n",
                     parsed.output.c_str());
        return 2;
    }
    HMeshProject project;
    if (!loadDataPaths(parsed.data, project)) return 1;

    const std::vector<FPoint>& line = parsed.line;
    std::vector<std::optional<double>> elevations;
    for (const FPoint& point : line)
        elevations.push_back(elevationAt(project, point));

    // The clicked vertices and the last point as the mouse point.
    const std::vector<FPoint> vertices(line.begin(), line.end() - 1);
    const Measures measures = ComputeMeasures(vertices, line.back());
    // Points far enough apart overflow the sums: no number to print is honest.
    if (!std::isfinite(measures.total) || !std::isfinite(measures.area)) {
        std::fprintf(stderr,
                     "kovtool measure: the %s is beyond the range of numbers (the points lie too "
                     "far apart)\n",
                     std::isfinite(measures.total) ? "enclosed area" : "length of the line");
        return 1;
    }
    std::string error;
    if (!parsed.output.empty() && !exportMeasuredLine(project, line, parsed.output, &error)) {
        std::fprintf(stderr, "kovtool measure: %s cannot be written: %s\n", parsed.output.c_str(),
                     error.c_str());
        return 1;
    }

    std::string out;
    if (parsed.json) {
        out += "{\"segment\": " + jsonNumber(measures.segment) +
               ", \"total\": " + jsonNumber(measures.total) +
               ", \"area\": " + jsonNumber(measures.area) + ", \"segments\": [";
        for (size_t i = 0; i + 1 < line.size(); ++i) {
            if (i > 0) out += ", ";
            out += "{\"from\": " + jsonPoint(line[i], elevations[i]) +
                   ", \"to\": " + jsonPoint(line[i + 1], elevations[i + 1]) +
                   ", \"length\": " + jsonNumber(polylineLength({line[i], line[i + 1]}));
            if (const auto slope = segmentSlope(project, {line[i]}, line[i + 1]))
                out += ", \"slopeDegrees\": " + jsonNumber(slope->degrees) +
                       ", \"slopePercent\": " + jsonNumber(slope->percent);
            out += "}";
        }
        out += "]}\n";
        std::fwrite(out.data(), 1, out.size(), stdout);
        return 0;
    }

    // The rows of the result window (as the tip writes them): the segment from the first
    // vertex on, the total length and the area from two vertices on.
    out += utf8(QStringLiteral("区間距離: ") + lengthText(measures.segment)) + "\n";
    if (vertices.size() >= 2) {
        out += utf8(QStringLiteral("延長距離: ") + lengthText(measures.total)) + "\n";
        out += utf8(QStringLiteral("面　　積: ") + areaText(measures.area)) + "\n";
    }
    if (parsed.slope) {
        for (size_t i = 0; i + 1 < line.size(); ++i) {
            const auto slope = segmentSlope(project, {line[i]}, line[i + 1]);
            if (!slope) {
                const bool noLength = polylineLength({line[i], line[i + 1]}) == 0.0;
                std::fprintf(stderr,
                             "kovtool measure: segment %zu (%s,%s to %s,%s): %s, no slope\n", i + 1,
                             jsonNumber(line[i].x).c_str(), jsonNumber(line[i].y).c_str(),
                             jsonNumber(line[i + 1].x).c_str(), jsonNumber(line[i + 1].y).c_str(),
                             noLength ? "the segment has no length" : "an end has no elevation");
                continue;
            }
            FPoint from = line[i];
            FPoint to = line[i + 1];
            from.z = *elevations[i];
            to.z = *elevations[i + 1];
            // The copied line ends with "\r\n"; on the terminal a line ends with "\n".
            std::string report = utf8(slopeReport(from, to, polylineLength({from, to}), *slope));
            while (!report.empty() && (report.back() == '\n' || report.back() == '\r'))
                report.pop_back();
            out += report + "\n";
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

}  // namespace kov::cli
