// SPDX-License-Identifier: MIT
#include "core/print/PrintLayout.h"

#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "core/base/NumberFormat.h"

namespace kov {
namespace {

constexpr double kMmPerInch = 25.4;
// Sizes are compared with this slack, so that a map filling the paper exactly still fits.
constexpr double kFitSlackMm = 1e-6;
// A page side beyond this many device pixels is not drawn (no printer has such a page).
constexpr double kMaxDevicePixels = 1e7;

int devicePixels(double mm, int dpi) {
    return static_cast<int>(std::min(mm / kMmPerInch * dpi, kMaxDevicePixels));
}

}  // namespace

PrintableArea printableArea(const PrintDevice& device, bool legend, bool floodRanks) {
    PrintableArea area;
    if (device.dpi <= 0) return area;
    area.width = device.width * 0.95 / device.dpi * kMmPerInch;
    area.height = device.height * 0.9 / device.dpi * kMmPerInch;
    if (legend) {
        area.bandMm = floodRanks ? kFloodLegendBandMm : kLegendBandMm;
        area.height -= area.bandMm;
        area.bandPixels = devicePixels(area.bandMm, device.dpi);
    }
    return area;
}

std::optional<PaperLayout> paperLayout(int mode, const MapRect& view, double scale,
                                       const PrintableArea& area) {
    const double w = view.xmax - view.xmin;
    const double h = view.ymax - view.ymin;
    if (!(w > 0.0) || !(h > 0.0) || !(scale >= kMinPrintScale) || !std::isfinite(w * h))
        return std::nullopt;
    PaperLayout paper;
    paper.rect = view;
    paper.scale = scale;
    if (mode == kPrintAtScale) {
        paper.width = w / scale * 1000.0;
        paper.height = h / scale * 1000.0;
    } else if (mode == kPrintScaleAround) {
        paper.width = area.width;
        paper.height = area.height;
        const double cx = (view.xmin + view.xmax) / 2.0;
        const double cy = (view.ymin + view.ymax) / 2.0;
        const double halfW = area.width * scale / 1000.0 / 2.0;
        const double halfH = area.height * scale / 1000.0 / 2.0;
        paper.rect = {cx - halfW, cy - halfH, cx + halfW, cy + halfH};
    } else {
        // As large as the printable area allows in one direction, keeping the map's shape.
        if (!(area.width > 0.0) || !(area.height > 0.0)) return std::nullopt;
        const double r = (area.width / (w / scale * 1000.0)) / (area.height / (h / scale * 1000.0));
        if (r >= 1.0) {
            paper.width = area.width / r;
            paper.height = area.height;
        } else {
            paper.width = area.width;
            paper.height = area.height * r;
        }
        // The scale follows from the paper: this is the one the map is printed at.
        paper.scale = w * 1000.0 / paper.width;
    }
    paper.fits =
        paper.width <= area.width + kFitSlackMm && paper.height <= area.height + kFitSlackMm;
    return paper;
}

PaperLayout cutToPrintableArea(const PaperLayout& paper, const PrintableArea& area) {
    PaperLayout cut = paper;
    const double metresPerMm = paper.scale / 1000.0;
    if (paper.width > area.width + kFitSlackMm) {
        const double cx = (paper.rect.xmin + paper.rect.xmax) / 2.0;
        cut.width = area.width;
        cut.rect.xmin = cx - area.width * metresPerMm / 2.0;
        cut.rect.xmax = cx + area.width * metresPerMm / 2.0;
    }
    if (paper.height > area.height + kFitSlackMm) {
        const double cy = (paper.rect.ymin + paper.rect.ymax) / 2.0;
        cut.height = area.height;
        cut.rect.ymin = cy - area.height * metresPerMm / 2.0;
        cut.rect.ymax = cy + area.height * metresPerMm / 2.0;
    }
    return cut;
}

QString printLimitText(const PrintableArea& area, bool fits) {
    const QString text =
        QString::asprintf("データ印刷可能最大サイズ %5.1f  %5.1f mm ", area.width, area.height);
    return fits ? text : text + QStringLiteral("をオーバーしています");
}

QString footerText(const PrintSettings& settings, const QString& title, double scale,
                   const QDateTime& now) {
    QStringList items;
    if (settings.title) items << title;
    const QDate date = now.date();
    const QTime time = now.time();
    if (settings.date)
        items << QString::asprintf("%d/%d/%d", date.year(), date.month(), date.day());
    if (settings.time)
        items << QString::asprintf("%d:%02d:%02d", time.hour(), time.minute(), time.second());
    if (settings.scaleText)
        items << QStringLiteral("SCALE: 1/") + QString::fromStdString(formatGrouped(scale, 0));
    if (settings.comment && !settings.commentText.isEmpty()) items << settings.commentText;
    return items.join(QStringLiteral("  "));
}

std::optional<PagePlan> planPage(const PrintSettings& settings, const PrintDevice& device,
                                 const MapRect& view, bool floodRanks, const QString& title,
                                 const QDateTime& now) {
    if (device.width < 1 || device.height < 1 || device.dpi < 1) return std::nullopt;
    const PrintableArea area = printableArea(device, settings.legend, floodRanks);
    const std::optional<PaperLayout> laidOut =
        paperLayout(settings.mode, view, settings.scale, area);
    if (!laidOut) return std::nullopt;
    const PaperLayout paper = cutToPrintableArea(*laidOut, area);

    PagePlan plan;
    plan.device = device;
    plan.rect = paper.rect;
    plan.scale = paper.scale;
    plan.legend = settings.legend;
    plan.band = area.bandPixels;
    plan.width = devicePixels(paper.width, device.dpi);
    plan.height = devicePixels(paper.height, device.dpi);
    if (plan.width < 1 || plan.height < 1) return std::nullopt;

    // Rendered at half the resolution until it is small enough, then stretched back.
    plan.renderWidth = plan.width;
    plan.renderHeight = plan.height;
    plan.renderDpi = device.dpi;
    while (plan.renderWidth > kMaxRenderPixels || plan.renderHeight > kMaxRenderPixels) {
        plan.renderWidth /= 2;
        plan.renderHeight /= 2;
        plan.renderDpi /= 2;
    }
    if (plan.renderWidth < 1 || plan.renderHeight < 1) return std::nullopt;
    plan.renderDpi = std::max(plan.renderDpi, 1);

    plan.left = (device.width - plan.width) / 2;
    plan.top = (device.height - plan.height - plan.band) / 2;

    plan.footer = footerText(settings, title, plan.scale, now);
    plan.footerHeight = std::max(1, device.dpi / 8);
    const double top = plan.top + static_cast<double>(plan.height) + 4.0 / 3.0 * plan.band +
                       5.0 / 72.0 * device.dpi;
    const double lowest = device.height - 10.0 / 72.0 * device.dpi;
    plan.footerTop = static_cast<int>(std::min(top, lowest));
    return plan;
}

bool drawPlannedPage(QPainter& painter, HMeshProject& project, const PagePlan& plan,
                     const PageStyle& style) {
    const QImage page = composePage(project, plan.rect, plan.renderWidth, plan.renderHeight,
                                    plan.renderDpi, plan.legend, style);
    if (page.isNull()) return false;
    // Stretched so that the map part covers exactly its place; the band scales with it.
    const double sy = static_cast<double>(plan.height) / plan.renderHeight;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(QRectF(plan.left, plan.top, plan.width, page.height() * sy), page);
    if (!plan.footer.isEmpty()) {
        QFont font = QGuiApplication::font();
        font.setPixelSize(plan.footerHeight);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.setBackgroundMode(Qt::TransparentMode);
        painter.drawText(QRect(0, plan.footerTop, plan.device.width, plan.footerHeight * 2),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip, plan.footer);
    }
    painter.restore();
    return true;
}

}  // namespace kov
