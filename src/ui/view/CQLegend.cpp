// SPDX-License-Identifier: MIT
#include "ui/view/CQLegend.h"

#include <QPainter>
#include <algorithm>

#include "core/base/NumberFormat.h"
#include "core/data/FloodResult.h"
#include "core/data/HMeshProject.h"
#include "core/data/ZarHColorMap.h"
#include "core/display/Dib24Image.h"
#include "core/display/FloodLegend.h"
#include "ui/app/CKovVDoc.h"
#include "ui/widgets/DevicePixels.h"

namespace kov {

namespace {

QString heightLabel(double height) {
    return QString::fromStdString(formatShort(height, 1) + " (m)");
}

// The ranks of the flood result that the legend shows, and the height of their column; none when
// they do not fit in a legend of w x h.
struct RankColumn {
    int count = 0;
    int rowHeight = 0;
    int height() const { return count > 0 ? CQLegend::kRankGap + count * rowHeight : 0; }
};

RankColumn rankColumn(const FloodResult* flood, const QFontMetrics& metrics, int w, int h) {
    if (!flood) return {};
    RankColumn column;
    column.count = static_cast<int>(flood->ranks.size());
    column.rowHeight = std::max(metrics.height(), CQLegend::kRankBox + 2);
    const int labelRoom = w - CQLegend::kRankBox - 3;
    for (int r = 0; r < column.count; ++r)
        if (metrics.horizontalAdvance(floodRankLabel(flood->ranks[r].height)) > labelRoom)
            return {};
    if (h - 2 * CQLegend::kLabelBand - column.height() < CQLegend::kMinimumStrip) return {};
    return column;
}

}  // namespace

LegendLabels colorMapLegendLabels(const ZarHColorMap& map) {
    LegendLabels labels;
    if (map.stopCount() < 1) return labels;
    labels.top = heightLabel(map.stop(map.stopCount() - 1)->height);
    labels.bottom = heightLabel(map.stop(0)->height);
    return labels;
}

CQLegend::CQLegend(CKovVDoc* document, QWidget* parent) : QWidget(parent), document_(document) {
    setObjectName(QStringLiteral("9999"));
}

void CQLegend::paintEvent(QPaintEvent*) {
    if (!document_ || !document_->meshes()) return;
    const ZarHColorMap* map = document_->meshes()->colorMapSlot(0);
    if (!map || !map->ready()) return;

    QPainter painter(this);
    const int w = width();
    const FloodResult* flood = rankedFloodResult(*document_->meshes());
    const RankColumn ranks = rankColumn(flood, painter.fontMetrics(), w, height());
    // The strip and its labels take what the ranks leave.
    const int h = height() - ranks.height();
    const QSize pixels = devicePixelSize(*this, QSize(w, h - 2 * kLabelBand));
    const Dib24 strip = map->makeStrip(pixels.width(), pixels.height(), true);
    if (!strip.isEmpty()) painter.drawImage(0, kLabelBand, forDevice(*this, dib24ToImage(strip)));

    const LegendLabels labels = colorMapLegendLabels(*map);
    const QColor text = palette().color(QPalette::WindowText);
    painter.setPen(text);
    painter.drawText(QRect(0, 0, w, kLabelBand), Qt::AlignHCenter | Qt::AlignTop, labels.top);
    painter.drawText(QRect(0, h - kLabelBand, w, kLabelBand - 2),
                     Qt::AlignHCenter | Qt::AlignBottom, labels.bottom);

    for (int r = 0; r < ranks.count; ++r) {
        const int y = h + kRankGap + r * ranks.rowHeight;
        const FloodRank& rank = flood->ranks[r];
        painter.setBrush(floodRankColor(rank));
        painter.drawRect(0, y + (ranks.rowHeight - kRankBox) / 2, kRankBox - 1, kRankBox - 1);
        painter.drawText(QRect(kRankBox + 3, y, w - kRankBox - 3, ranks.rowHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, floodRankLabel(rank.height));
    }
}

}  // namespace kov
