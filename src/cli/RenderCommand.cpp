// SPDX-License-Identifier: MIT
// kovtool render: the map as the view or the clipboard copy shows it, written as PNG or PDF.
#include <QBuffer>
#include <QFontDatabase>
#include <QPainter>
#include <QPdfWriter>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Messages.h"
#include "core/base/PathNames.h"
#include "core/base/PdfText.h"
#include "core/data/HMeshProject.h"
#include "core/data/gis/CollectionRaster.h"
#include "core/data/gis/GisRaster.h"
#include "core/display/MapViewport.h"
#include "core/display/PngEncoder.h"
#include "core/print/PageComposer.h"

namespace kov::cli {
namespace {

struct RenderOptions {
    std::string output;
    int width = 1920;
    int height = 1080;
    bool hasRect = false;
    MapRect rect;
    int dpi = 96;
    bool legend = false;
    bool sheets = true;
    bool scaleBar = true;
    int stepMode = -1;  // the project's own unless given
    double step = -1.0;
};

std::vector<Option> renderOptions(RenderOptions& o) {
    return {
        textOption("-o", o.output),
        valueOption("--size",
                    [&o](const std::string& v) { return parseSize(v, o.width, o.height); }),
        valueOption("--rect",
                    [&o](const std::string& v) { return o.hasRect = parseRect(v, o.rect); }),
        valueOption("--dpi",
                    [&o](const std::string& v) { return parseNumber(v, o.dpi, 10, 2400); }),
        valueOption("--step-mode",
                    [&o](const std::string& v) { return parseNumber(v, o.stepMode, 0, 2); }),
        valueOption("--step", [&o](const std::string& v) { return parseNumber(v, o.step, 0.0); }),
        switchOption("--legend", o.legend),
        switchOption("--no-sheets", o.sheets, false),
        switchOption("--no-scalebar", o.scaleBar, false),
    };
}

// The page as a one-page PDF of the page's size at dpi, titled; empty when it cannot be drawn.
QByteArray pdfBytes(const QImage& page, int dpi, const QString& title) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(dpi);
        writer.setTitle(title);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setPageSize(QPageSize(QSizeF(page.width() * 25.4 / dpi, page.height() * 25.4 / dpi),
                                     QPageSize::Millimeter));
        QPainter painter;
        if (!painter.begin(&writer)) return {};
        painter.drawImage(0, 0, page);
        if (!painter.end()) return {};
    }
    return withSearchableText(bytes);
}

// The picture's pixels on the map: the shown rectangle cut into w x h cells.
RasterPlacement picturePlacement(const HMeshProject& project, const MapRect& shown, int w, int h) {
    RasterPlacement p;
    p.cols = w;
    p.rows = h;
    p.west = shown.xmin;
    p.north = shown.ymax;
    p.cellWidth = (shown.xmax - shown.xmin) / w;
    p.cellHeight = (shown.ymax - shown.ymin) / h;
    p.epsg = collectionEpsg(project);
    return p;
}

// The PNG with its resolution chunk at dpi, then its world file and .aux.xml; or the GeoTIFF.
bool writePicture(const std::string& output, bool tiff, QImage page,
                  const RasterPlacement& placement, int dpi) {
    std::string error;
    if (tiff) {
        if (writeImageGeoTiff(page, placement, output, &error)) return true;
        std::fprintf(stderr, "kovtool render: %s\n", error.c_str());
        return false;
    }
    const int dotsPerMetre = static_cast<int>(std::lround(dpi / 0.0254));
    page.setDotsPerMeterX(dotsPerMetre);
    page.setDotsPerMeterY(dotsPerMetre);
    if (!writeOutputFile("render", output, encodePng(page), pictureNotEncoded())) return false;
    if (writeImageGeoreference(placement, output, &error)) return true;
    std::fprintf(stderr, "kovtool render: %s\n", error.c_str());
    return false;
}

}  // namespace

int runRender(const Arguments& args) {
    RenderOptions o;
    DataArguments data;
    if (!parseDataArguments("render", args, data, renderOptions(o))) return 2;
    const std::string extension = fileExtension(o.output);
    const bool pdf = equalsIgnoringCase(extension, ".pdf");
    const bool tiff =
        equalsIgnoringCase(extension, ".tif") || equalsIgnoringCase(extension, ".tiff");
    if (o.output.empty()) {
        std::fprintf(stderr, "kovtool render: -o OUT.png (or OUT.pdf) is required\n");
        return 2;
    }
    if (!pdf && !tiff && !equalsIgnoringCase(extension, ".png")) {
        std::fprintf(stderr,
                     "kovtool render: %s: cannot write this format; the output name must end in "
                     ".png, .pdf or .tif\n",
                     o.output.c_str());
        return 2;
    }
    const DrawingApplication application;

    HMeshProject project;
    if (!loadMeshes("render", data, project)) return 1;
    if (!o.sheets) project.showSheetInfo = 0;
    if (o.stepMode >= 0) project.stepMode = o.stepMode;
    if (o.step >= 0.0) project.stepHeight = o.step;
    const std::optional<MapRect> shown =
        fittedViewRect("render", project, o.hasRect ? &o.rect : nullptr, o.width, o.height);
    if (!shown) return 1;

    PageStyle style;
    style.scaleBar = o.scaleBar;
    style.font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QImage page = composePage(project, *shown, o.width, o.height, o.dpi, o.legend, style);
    if (page.isNull()) {
        std::fprintf(stderr,
                     localText("kovtool render: nothing to draw: a page of %d x %d pixels cannot "
                               "be made\n",
                               "kovtool render: 描画できません: %d x %d 画素のページを作れま"
                               "せん\n"),
                     o.width, o.height);
        return 1;
    }
    if (!pdf)
        return writePicture(o.output, tiff, page,
                            picturePlacement(project, *shown, o.width, o.height), o.dpi)
                   ? 0
                   : 1;
    const QByteArray bytes = pdfBytes(page, o.dpi, QString::fromStdString(project.projectTitle));
    return writeOutputFile("render", o.output, bytes, pictureNotEncoded()) ? 0 : 1;
}

}  // namespace kov::cli
