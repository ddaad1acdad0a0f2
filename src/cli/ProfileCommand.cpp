// SPDX-License-Identifier: MIT
// kovtool profile: the cross-section of a line over the data, as the samples (CSV) or as the
// cross-section window draws it (EMF, PNG, PDF, SVG), or the line and its samples as a vector
// file for GIS tools (GeoJSON, GeoPackage, KML).
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/LineArgument.h"
#include "cli/Messages.h"
#include "core/base/PathNames.h"
#include "core/base/PdfText.h"
#include "core/data/HMeshProject.h"
#include "core/data/gis/GisVector.h"
#include "core/measure/EmfWriter.h"
#include "core/measure/MeasureExport.h"
#include "core/measure/ProfilePlot.h"

namespace kov::cli {
namespace {

struct ProfileOptions {
    LineArgument line;
    OutputArgument output;
    double step = 0.0;  // 0: the coarsest cell size
    int maxPoints = 10000;
    int width = 800;
    int height = 500;
    bool marks = true;
};

const CommandHelp kProfileHelp{
    "profile", "PATH... (--line E,N E,N [E,N ...] | --line-file FILE|-) -o OUT [OPTION]...",
    localText("The cross-section of a line: the samples (.csv: distance,easting,northing,\n"
              "elevation,found), the drawing of the cross-section window (.emf, .png, .pdf,\n"
              ".svg) or the line and its samples as a GIS file (.geojson, .gpkg, .kml).",
              "線の断面: 標本点 (.csv: distance,easting,northing,elevation,found)、\n"
              "断面図ウィンドウの図 (.emf、.png、.pdf、.svg)、線と標本点の GIS ファイル\n"
              "(.geojson、.gpkg、.kml)。")};

std::vector<Option> profileOptions(ProfileOptions& o) {
    std::vector<Option> options = lineOptions(o.line);
    const std::vector<Option> output = outputOptions(
        o.output,
        localText("the result: .csv, .emf, .png, .pdf, .svg, .geojson, .gpkg or .kml; "
                  "- for standard output (csv, emf, png, pdf, svg, geojson)",
                  "結果: .csv、.emf、.png、.pdf、.svg、.geojson、.gpkg、.kml。 "
                  "- で標準出力 (csv、emf、png、pdf、svg、geojson)"),
        {"csv", "emf", "png", "pdf", "svg", "geojson"});
    const std::vector<Option> own = {
        valueOption("--size",
                    [&o](const std::string& v) { return parseSize(v, o.width, o.height); })
            .explained("WxH", localText("size of the drawing in pixels (default 800x500)",
                                        "図の大きさ (ピクセル、既定 800x500)")),
        valueOption("--step", [&o](const std::string& v) { return parseNumber(v, o.step, 0.0); })
            .explained("M", localText("distance between samples in metres (default: the "
                                      "coarsest cell size)",
                                      "標本点の間隔 (m、既定: 最も粗いセルの大きさ)")),
        valueOption("--max-points",
                    [&o](const std::string& v) {
                        long long n = 0;
                        if (!parseNumber(v, n, std::numeric_limits<long long>::min(),
                                         kMostProfileSamples))
                            return false;
                        // The sampling divides by the count less one: fewer than 3 samples are
                        // taken as 3.
                        o.maxPoints = static_cast<int>(std::max(n, 3LL));
                        return true;
                    })
            .explained("N", localText("at most N samples (default 10000; below 3 taken as 3)",
                                      "標本点の最大数 (既定 10000、3 未満は 3)")),
        switchOption("--no-marks", o.marks, false)
            .explained({}, localText("no red circles at the vertices in the drawing",
                                     "図の頂点に赤丸を描かない")),
    };
    options.insert(options.end(), output.begin(), output.end());
    options.insert(options.end(), own.begin(), own.end());
    return options;
}

// One row a sample, at its distance along the line; the elevation only where there is ground
// (the filled-in heights of the drawing are no data).
std::string csvText(const ProfileData& data) {
    std::string out = "distance,easting,northing,elevation,found\n";
    char line[200];
    for (size_t i = 0; i < data.samples.size(); ++i) {
        const FPoint& s = data.samples[i];
        const CellKind kind = data.kindAt(i);
        std::snprintf(line, sizeof line, "%.3f,%.3f,%.3f,", data.sampleDistance(i), s.x, s.y);
        out += line;
        if (kind == CellKind::Elevation) {
            std::snprintf(line, sizeof line, "%.2f", s.z);
            out += line;
        }
        out += ',';
        out += cellKindName(kind);
        out += '\n';
    }
    return out;
}

ProfileStyle styleFor(const QPaintDevice& device, bool metafile, bool marks) {
    ProfileStyle style;
    style.dpi = device.logicalDpiX();
    style.metafile = metafile;
    style.showMarks = marks;
    return style;
}

// Draws on the device over a white ground (none for the metafile, which has no ground).
bool paint(QPaintDevice& device, const ProfileData& data, const ProfileOptions& o, bool metafile) {
    QPainter painter;
    if (!painter.begin(&device)) return false;
    const QRectF area(0, 0, o.width, o.height);
    if (!metafile) painter.fillRect(area, Qt::white);
    drawProfile(painter, area, data, styleFor(device, metafile, o.marks));
    return painter.end();
}

QByteArray pictureBytes(const std::string& extension, const ProfileData& data,
                        const ProfileOptions& o, std::string* why) {
    const QString title = QStringLiteral("断面図");
    QByteArray bytes;
    if (equalsIgnoringCase(extension, ".emf")) {
        EmfDevice emf(QSize(o.width, o.height), EmfReference{}, title);
        if (!paint(emf, data, o, true)) return {};
        return emf.bytes();
    }
    if (equalsIgnoringCase(extension, ".png")) {
        QImage image(o.width, o.height, QImage::Format_RGB32);
        image.setDotsPerMeterX(3780);
        image.setDotsPerMeterY(3780);
        if (!paint(image, data, o, false)) return {};
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG")) return {};
        return bytes;
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (equalsIgnoringCase(extension, ".pdf")) {
        QPdfWriter writer(&buffer);
        writer.setResolution(96);
        writer.setTitle(title);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setPageSize(
            QPageSize(QSizeF(o.width * 25.4 / 96, o.height * 25.4 / 96), QPageSize::Millimeter));
        if (!paint(writer, data, o, false)) return {};
        buffer.close();
        return withSearchableText(bytes, why);
    } else {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(QSize(o.width, o.height));
        svg.setViewBox(QRect(0, 0, o.width, o.height));
        svg.setResolution(96);
        svg.setTitle(title);
        if (!paint(svg, data, o, false)) return {};
    }
    return bytes;
}

}  // namespace

int runProfile(const Arguments& args) {
    ProfileOptions o;
    DataArguments data;
    if (const std::optional<int> stop =
            parseDataArguments(kProfileHelp, args, data, profileOptions(o)))
        return *stop;
    const std::string extension = fileExtension(o.output.formatName());
    static const char* const kKinds[] = {".csv", ".emf", ".png", ".pdf", ".svg"};
    const std::optional<VectorFormat> vector = vectorFormatOfPath(o.output.formatName());
    bool known = vector && holdsProfile(*vector);
    for (const char* kind : kKinds)
        known = known || equalsIgnoringCase(extension, kind);
    if (o.output.path.empty()) {
        std::fputs(localText("kovtool profile: -o OUT.csv, OUT.emf, OUT.png, OUT.pdf, OUT.svg, "
                             "OUT.geojson, OUT.gpkg or OUT.kml is required\n",
                             "kovtool profile: -o OUT.csv (か OUT.emf、OUT.png、OUT.pdf、"
                             "OUT.svg、OUT.geojson、OUT.gpkg、OUT.kml) が必要です\n"),
                   stderr);
        return 2;
    }
    if (!checkOutputArgument("profile", o.output)) return 2;
    if (!known) {
        std::fprintf(stderr,
                     localText("kovtool profile: no output format for \"%s\": the name must end "
                               "in .csv, .emf, .png, .pdf, .svg, .geojson, .gpkg or .kml%s\n",
                               "kovtool profile: \"%s\" の出力形式がありません: 名前の末尾は "
                               ".csv、.emf、.png、.pdf、.svg、.geojson、.gpkg、.kml のいずれか"
                               "にしてください%s\n"),
                     o.output.path.c_str(),
                     !vector ? ""
                             : localText(" (a shapefile holds lines or points, not both)",
                                         " (シェープファイルは線か点の一方しか持てません)"));
        return 2;
    }
    if (const std::optional<int> stop = resolveLine("profile", o.line)) return *stop;
    const DrawingApplication application;

    HMeshProject project;
    if (!loadMeshes("profile", data, project)) return 1;
    char stepText[64] = "";
    if (o.step > 0.0) std::snprintf(stepText, sizeof stepText, "%.17g", o.step);
    ProfileRefusal refusal = ProfileRefusal::None;
    const std::optional<ProfileData> profile =
        buildProfile(project, o.line.points, stepText, o.maxPoints, &refusal);
    if (!profile) {
        // The data were checked for a mesh above: what is left is the line, a bad argument.
        return refuseArguments(
            "profile",
            refusal == ProfileRefusal::LengthOverflow
                ? localText("the line is too long: its length is beyond the range of numbers",
                            "線が長すぎます: 長さが数値の範囲を超えます")
                : localText("the line has no length", "線に長さがありません"));
    }
    if (vector) {
        const OutputFile file(o.output);
        std::string error;
        if (exportProfile(o.line.points, *profile, collectionEpsg(project), file.path(), &error))
            return file.deliver("profile") ? 0 : 1;
        reportUnwritable("profile", o.output.path, error);
        return 1;
    }
    QByteArray bytes;
    std::string why;
    if (equalsIgnoringCase(extension, ".csv")) {
        const std::string text = csvText(*profile);
        bytes = QByteArray(text.data(), static_cast<qsizetype>(text.size()));
    } else {
        bytes = pictureBytes(extension, *profile, o, &why);
    }
    return writeOutputFile("profile", o.output.path, bytes,
                           why.empty() ? localText("the picture cannot be drawn", "図を描けません")
                                       : why.c_str())
               ? 0
               : 1;
}

}  // namespace kov::cli
