#include "ui/view/CQLegend.h"

#include <QPainter>

#include "core/base/NumberFormat.h"
#include "core/data/ZarHColorMap.h"
#include "core/display/Dib24Image.h"
#include "ui/app/CKovVDoc.h"
#include "ui/widgets/DevicePixels.h"

namespace kov {

namespace {

QString heightLabel(double height) {
    return QString::fromStdString(formatShort(height, 1) + " (m)");
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
    const int h = height();
    const QSize pixels = devicePixelSize(*this, QSize(w, h - 2 * kLabelBand));
    const Dib24 strip = map->makeStrip(pixels.width(), pixels.height(), true);
    if (!strip.isEmpty()) painter.drawImage(0, kLabelBand, forDevice(*this, dib24ToImage(strip)));

    const LegendLabels labels = colorMapLegendLabels(*map);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(0, 0, w, kLabelBand), Qt::AlignHCenter | Qt::AlignTop, labels.top);
    painter.drawText(QRect(0, h - kLabelBand, w, kLabelBand - 2),
                     Qt::AlignHCenter | Qt::AlignBottom, labels.bottom);
}

}  // namespace kov
