#include "ui/view/CQLegend.h"

#include <QPainter>

#include "core/base/NumberFormat.h"
#include "core/data/ZarHColorMap.h"
#include "core/display/Dib24Image.h"
#include "ui/app/CKovVDoc.h"

namespace kov {

namespace {

QString HeightLabel(double height) {
    return QString::fromStdString(formatShort(height, 1) + " (m)");
}

}  // namespace

LegendLabels ColorMapLegendLabels(const ZarHColorMap& map) {
    LegendLabels labels;
    if (map.stopCount() < 1) return labels;
    labels.top = HeightLabel(map.stop(map.stopCount() - 1)->height);
    labels.bottom = HeightLabel(map.stop(0)->height);
    return labels;
}

CQLegend::CQLegend(CKovVDoc* document, QWidget* parent) : QWidget(parent), document_(document) {
    setObjectName(QStringLiteral("9999"));
}

void CQLegend::paintEvent(QPaintEvent*) {
    if (!document_ || !document_->Meshes()) return;
    const ZarHColorMap* map = document_->Meshes()->ColorMapSlot(0);
    if (!map || !map->ready()) return;

    QPainter painter(this);
    const int w = width();
    const int h = height();
    const Dib24 strip = map->makeStrip(w, h - 2 * kLabelBand, true);
    if (!strip.IsEmpty()) painter.drawImage(0, kLabelBand, Dib24ToImage(strip));

    const LegendLabels labels = ColorMapLegendLabels(*map);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(0, 0, w, kLabelBand), Qt::AlignHCenter | Qt::AlignTop, labels.top);
    painter.drawText(QRect(0, h - kLabelBand, w, kLabelBand - 2),
                     Qt::AlignHCenter | Qt::AlignBottom, labels.bottom);
}

}  // namespace kov
