// SPDX-License-Identifier: MIT
#include "core/display/FloodLegend.h"

#include <QPainter>
#include <algorithm>

#include "core/base/NumberFormat.h"
#include "core/data/HMeshProject.h"
#include "core/data/ZarHImage.h"

namespace kov {

const FloodResult* rankedFloodResult(const HMeshProject& project) {
    for (int i = project.imageCount() - 1; i >= 0; --i) {
        const ZarHImage* image = project.GetImage(i);
        if (image->isFloodResult() && !image->flood->ranks.empty()) return &*image->flood;
    }
    return nullptr;
}

bool hasRankedFloodResult(const HMeshProject& project) {
    return rankedFloodResult(project) != nullptr;
}

QString floodRankLabel(double height) {
    return QString::fromStdString(formatShort(height, 2) + "(m)～");
}

QColor floodRankColor(const FloodRank& rank) {
    const uint32_t c = rank.color;
    return {static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
            static_cast<int>((c >> 16) & 0xFF)};
}

int drawFloodRankRows(QPainter& painter, const FloodResult& flood, const QRect& area, int rowHeight,
                      const QFont& font) {
    if (rowHeight < 2 || area.isEmpty()) return 0;
    painter.save();
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int box = std::max(2, rowHeight * 2 / 3);
    const int gap = std::max(2, rowHeight / 3);
    int x = area.left();
    int y = area.top();
    int drawn = 0;
    for (const FloodRank& rank : flood.ranks) {
        const QString label = floodRankLabel(rank.height);
        const int itemWidth = box + gap / 2 + painter.fontMetrics().horizontalAdvance(label) + gap;
        if (x > area.left() && x + itemWidth > area.right() + 1) {  // next row
            x = area.left();
            y += rowHeight;
        }
        if (y + rowHeight > area.bottom() + 1) break;
        painter.setBrush(floodRankColor(rank));
        painter.drawRect(x, y + (rowHeight - box) / 2, box - 1, box - 1);
        painter.setBrush(Qt::NoBrush);
        painter.drawText(QRect(x + box + gap / 2, y, itemWidth, rowHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, label);
        x += itemWidth;
        ++drawn;
    }
    painter.restore();
    return drawn;
}

}  // namespace kov
