// SPDX-License-Identifier: MIT
// kovtool render: the map as the view or the clipboard copy shows it, written as PNG or PDF.
#include <QBuffer>
#include <QFontDatabase>
#include <QPainter>
#include <QPdfWriter>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

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
    OutputArgument output;
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

const CommandHelp kRenderHelp{
    "render", "PATH... -o OUT.png|OUT.pdf|OUT.tif [OPTION]...",
    localText("Draws the map as the view shows it. .tif: an RGBA GeoTIFF placed on the map;\n"
              ".png: with a world file (.pgw) and OUT.png.aux.xml naming the system;\n"
              "-o - -f png|pdf: the picture alone on standard output.",
              "地図を画面と同じに描きます。.tif: 地図に配置した RGBA の GeoTIFF、\n"
              ".png: ワールドファイル (.pgw) と座標系を記す OUT.png.aux.xml 付き、\n"
              "-o - -f png|pdf: 画像だけを標準出力へ。")};

std::vector<Option> renderOptions(RenderOptions& o) {
    std::vector<Option> options =
        outputOptions(o.output,
                      localText("the picture: .png, .pdf or .tif; - for standard output",
                                "画像: .png、.pdf、.tif。- で標準出力"),
                      {"png", "pdf"});
    const std::vector<Option> own = {
        valueOption("--size",
                    [&o](const std::string& v) { return parseSize(v, o.width, o.height); })
            .explained("WxH", localText("picture size in pixels (default 1920x1080)",
                                        "画像の大きさ (ピクセル、既定 1920x1080)")),
        valueOption("--rect",
                    [&o](const std::string& v) { return o.hasRect = parseRect(v, o.rect); })
            .explained("EMIN,NMIN,EMAX,NMAX",
                       localText("the area to draw: easting and northing bounds in metres "
                                 "(default: the whole data), fitted to the picture",
                                 "描く範囲: 東西・南北の最小と最大 (m、既定: データ全体)、 "
                                 "画像の縦横比に合わせる")),
        valueOption("--dpi", [&o](const std::string& v) { return parseNumber(v, o.dpi, 10, 2400); })
            .explained("N", localText("resolution 10..2400 for the scale bar, the text and the "
                                      "file (default 96)",
                                      "縮尺記号・文字・ファイルの解像度 10〜2400 (既定 96)")),
        valueOption("--step-mode",
                    [&o](const std::string& v) { return parseNumber(v, o.stepMode, 0, 2); })
            .explained("0|1|2", localText("colouring: 0 gradient, 1 step colours (flat bands "
                                          "every --step m), 2 step colours with shaded band "
                                          "edges (default: the project's)",
                                          "彩色: 0 グラデーション、1 ステップ段彩 (--step m ごと"
                                          "の帯)、 2 ステップ段彩影つき (既定: プロジェクトの"
                                          "設定)")),
        valueOption("--step", [&o](const std::string& v) { return parseNumber(v, o.step, 0.0); })
            .explained("M", localText("height of a colour band in metres for --step-mode 1 "
                                      "and 2 (default: the project's)",
                                      "--step-mode 1、2 の帯の高さ (m、既定: プロジェクトの"
                                      "設定)")),
        switchOption("--legend", o.legend)
            .explained({}, localText("draw the colour legend", "凡例を描く")),
        switchOption("--no-sheets", o.sheets, false)
            .explained({},
                       localText("without the map-sheet grid and names", "図郭と図葉名を描かない")),
        switchOption("--no-scalebar", o.scaleBar, false)
            .explained({}, localText("without the scale bar", "縮尺記号を描かない")),
    };
    options.insert(options.end(), own.begin(), own.end());
    return options;
}

// The page as a one-page PDF of the page's size at dpi, titled; empty when it cannot be drawn,
// with the reason in why when the PDF could not be finished.
QByteArray pdfBytes(const QImage& page, int dpi, const QString& title, std::string* why) {
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
    return withSearchableText(bytes, why);
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
        reportWriterFailure("render", output, error);
        return false;
    }
    const int dotsPerMetre = static_cast<int>(std::lround(dpi / 0.0254));
    page.setDotsPerMeterX(dotsPerMetre);
    page.setDotsPerMeterY(dotsPerMetre);
    const QByteArray png = encodePng(page);
    // The picture alone on standard output.
    if (output == "-" || png.isEmpty())
        return writeOutputFile("render", output, png, pictureNotEncoded());
    if (writeGeoreferencedPng(std::string_view(png.constData(), static_cast<size_t>(png.size())),
                              placement, output, &error))
        return true;
    reportUnwritable("render", output, error);
    return false;
}

}  // namespace

int runRender(const Arguments& args) {
    RenderOptions o;
    DataArguments data;
    if (const std::optional<int> stop =
            parseDataArguments(kRenderHelp, args, data, renderOptions(o)))
        return *stop;
    const std::string extension = fileExtension(o.output.formatName());
    const bool pdf = equalsIgnoringCase(extension, ".pdf");
    const bool tiff =
        equalsIgnoringCase(extension, ".tif") || equalsIgnoringCase(extension, ".tiff");
    if (o.output.path.empty())
        return refuseArguments("render", localText("-o OUT.png (or OUT.pdf, OUT.tif) is required",
                                                   "-o OUT.png (か OUT.pdf、OUT.tif) が必要です"));
    if (!checkOutputArgument("render", o.output)) return 2;
    if (!pdf && !tiff && !equalsIgnoringCase(extension, ".png")) {
        std::fprintf(stderr,
                     localText("kovtool render: %s: cannot write this format; the output name "
                               "must end in .png, .pdf or .tif\n",
                               "kovtool render: %s: この形式は書けません。出力名の末尾は .png、"
                               ".pdf、.tif のいずれかにしてください\n"),
                     o.output.path.c_str());
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
    QImage page = composePage(project, *shown, o.width, o.height, o.dpi, o.legend, style);
    if (page.isNull()) {
        std::fprintf(stderr,
                     localText("kovtool render: nothing to draw: a page of %d x %d pixels cannot "
                               "be made\n",
                               "kovtool render: 描画できません: %d x %d 画素のページを作れま"
                               "せん\n"),
                     o.width, o.height);
        return 1;
    }
    // Handed over, not shared: setting the PNG's resolution on a shared image would copy it.
    if (!pdf)
        return writePicture(o.output.path, tiff, std::move(page),
                            picturePlacement(project, *shown, o.width, o.height), o.dpi)
                   ? 0
                   : 1;
    std::string why;
    const QByteArray bytes =
        pdfBytes(page, o.dpi, QString::fromStdString(project.projectTitle), &why);
    return writeOutputFile("render", o.output.path, bytes,
                           why.empty() ? pictureNotEncoded() : why.c_str())
               ? 0
               : 1;
}

}  // namespace kov::cli
