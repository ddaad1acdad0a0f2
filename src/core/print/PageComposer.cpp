// SPDX-License-Identifier: MIT
#include "core/print/PageComposer.h"

#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "core/base/NumberFormat.h"
#include "core/data/ZarHColorMap.h"
#include "core/display/Dib24Image.h"
#include "core/display/FloodLegend.h"
#include "core/display/MapOverlays.h"
#include "core/display/MapViewport.h"
#include "core/display/MeshRenderer.h"
#include "core/display/ScaleBar.h"

namespace kov {
namespace {

int millimetres(double mm, int dpi) {
    return static_cast<int>(std::lround(mm / 25.4 * dpi));
}

QColor colorOf(uint32_t color) {
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

// The default GUI font at a height given in inches.
QFont legendFont(double inches, int dpi) {
    QFont font = QGuiApplication::font();
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(inches * dpi))));
    return font;
}

// The colour-map strip with its first and last heights, then a box for each of water and
// no-data when those are painted.
void drawLegendBand(QPainter& painter, const ZarHColorMap& map, int top, int width, int dpi) {
    const int unit = legendUnit(dpi);
    const int margin = millimetres(5, dpi);
    const int stripLeft = margin;
    const int stripWidth = std::max(2, width / 2 - margin);
    const int stripTop = top + unit / 4;
    const int stripHeight = std::max(2, unit * 3 / 4);
    const Dib24 strip = map.makeStrip(stripWidth, stripHeight, false);
    if (strip.isEmpty()) return;
    painter.drawImage(stripLeft, stripTop, dib24ToImage(strip));
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(stripLeft, stripTop, stripWidth - 1, stripHeight - 1);

    painter.setFont(legendFont(1.0 / 8.0, dpi));
    const int labelTop = stripTop + stripHeight + millimetres(1, dpi);
    const int labelHeight = top + legendBandHeight(dpi) - labelTop;
    const QString first = QString::fromStdString(formatShort(map.stop(0)->height, 1) + " (m)");
    const QString last =
        QString::fromStdString(formatShort(map.stop(map.stopCount() - 1)->height, 1) + " (m)");
    painter.drawText(QRect(stripLeft, labelTop, stripWidth, labelHeight),
                     Qt::AlignLeft | Qt::AlignTop, first);
    painter.drawText(QRect(stripLeft, labelTop, stripWidth, labelHeight),
                     Qt::AlignRight | Qt::AlignTop, last);

    // Boxes of the fixed colours, each followed by its name.
    painter.setFont(legendFont(10.0 / 72.0, dpi));
    const int box = std::max(2, unit / 2);
    int x = stripLeft + stripWidth + millimetres(10, dpi);
    const struct {
        uint32_t color;
        const char* name;
    } boxes[] = {{map.seaColor, "水域"}, {map.noDataColor, "無効領域"}};
    for (const auto& b : boxes) {
        if (b.color & kColorNotPainted) continue;
        painter.setBrush(colorOf(b.color));
        painter.drawRect(x, stripTop, box, box);
        painter.setBrush(Qt::NoBrush);
        const QString name = QString::fromUtf8(b.name);
        const int textLeft = x + box + millimetres(2, dpi);
        painter.drawText(QRect(textLeft, stripTop, width, box), Qt::AlignLeft | Qt::AlignVCenter,
                         name);
        x = textLeft + painter.fontMetrics().horizontalAdvance(name) + millimetres(15, dpi) / 2;
    }
}

}  // namespace

int legendUnit(int dpi) {
    return std::max(1, millimetres(7.5, dpi));
}

int legendBandHeight(int dpi) {
    return legendUnit(dpi) * 9 / 4;
}

int legendBandHeight(int dpi, bool floodRows) {
    // Two rows of half a legend unit each for the ranks.
    return legendBandHeight(dpi) + (floodRows ? legendUnit(dpi) / 2 * 2 : 0);
}

QImage composePage(HMeshProject& project, const MapRect& rect, int w, int h, int dpi, bool legend,
                   const PageStyle& style) {
    if (w < 1 || h < 1 || !(rect.xmax > rect.xmin) || !(rect.ymax > rect.ymin)) return {};
    const FloodResult* flood = legend ? rankedFloodResult(project) : nullptr;
    const int band = legend ? legendBandHeight(dpi, flood != nullptr) : 0;
    QImage page = largeImage(w, h + band, QImage::Format_RGB32);
    if (page.isNull()) return page;

    Dib24 relief(w, h);
    const double step = project.stepMode > 0 ? project.stepHeight : 0.0;
    renderMeshes(project, relief, &rect, nullptr, nullptr, project.stepMode, step);
    // The relief fills the map; only the legend band below starts white.
    copyDib24Into(relief, page);
    for (int y = h; y < h + band; ++y)
        std::fill_n(reinterpret_cast<QRgb*>(page.scanLine(y)), w, 0xFFFFFFFFu);

    // The overlays map the rectangle straight onto the w x h pixels.
    MapViewport view;
    view.x0 = rect.xmin;
    view.y0 = rect.ymin;
    view.x1 = rect.xmax;
    view.y1 = rect.ymax;
    view.right = w - 1;
    view.bottom = h - 1;
    view.unitsPerPixel = (rect.xmax - rect.xmin) / w;

    QPainter painter(&page);
    painter.setClipRect(0, 0, w, h);
    if (style.contours.show) {
        ContourCache cache;
        paintContours(painter, project, view, style.contours,
                      {dpi / 96.0, true, QGuiApplication::font()}, cache, nullptr);
    }
    drawShapes(painter, project, view, dpi);
    if (project.showSheetInfo) drawMapSheets(painter, view, project.planeZone, dpi, style.font);
    if (style.scaleBar)
        drawScaleBar(painter, QRect(0, 0, w, h), view.unitsPerPixel, dpi, style.font);
    painter.setClipping(false);
    if (legend) drawLegendBand(painter, *project.GetColorMap(0), h, w, dpi);
    if (flood) {
        const int rowHeight = legendUnit(dpi) / 2;
        const int margin = millimetres(5, dpi);
        drawFloodRankRows(painter, *flood,
                          QRect(margin, h + legendBandHeight(dpi), w - 2 * margin, 2 * rowHeight),
                          rowHeight, legendFont(10.0 / 72.0, dpi));
    }
    painter.end();
    // The picture says its resolution (a PNG's pHYs chunk); set only now, as text drawn into an
    // image is sized by the image's resolution.
    const int dotsPerMetre = static_cast<int>(std::lround(dpi / 0.0254));
    page.setDotsPerMeterX(dotsPerMetre);
    page.setDotsPerMeterY(dotsPerMetre);
    return page;
}

}  // namespace kov
