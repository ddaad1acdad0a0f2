// SPDX-License-Identifier: MIT
#include "core/display/ScaleBar.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kov {

namespace {

const QColor kBarColor(0, 0, 128);
const QColor kBarShadow(255, 255, 255);

// Lines as thick as one screen pixel is at 96 pixels per inch.
int lineWidth(int pixelsPerInch) {
    return std::max(1, static_cast<int>(std::lround(pixelsPerInch / 96.0)));
}

}  // namespace

std::optional<ScaleBarChoice> chooseScaleBar(double lengthMetres) {
    if (!(lengthMetres >= 0.001) || lengthMetres > 1.0e15) return std::nullopt;
    ScaleBarChoice choice;
    choice.unit = lengthMetres < 1.0      ? ScaleUnit::Millimetre
                  : lengthMetres < 1000.0 ? ScaleUnit::Metre
                                          : ScaleUnit::Kilometre;
    const bool mm = choice.unit == ScaleUnit::Millimetre;

    // The digits of the length as "%.0f" prints it, in millimetres below one metre.
    char digits[64];
    const int count =
        std::snprintf(digits, sizeof digits, "%.0f", mm ? lengthMetres * 1000.0 : lengthMetres);
    if (count < 1 || digits[0] < '0' || digits[0] > '9') return std::nullopt;
    const int first = digits[0] - '0';
    choice.mantissa = first < 2 ? 1 : first <= 4 ? first : first <= 6 ? 5 : 10;
    choice.magnitude = (mm ? 0.001 : 1.0) * std::pow(10.0, count - 1);
    if (choice.mantissa == 1 && choice.magnitude >= 10.0) {
        choice.mantissa = 10;
        choice.magnitude /= 10.0;
    }

    const double total = choice.mantissa * choice.magnitude;
    const double inUnit = mm                                ? total * 1000.0
                          : choice.unit == ScaleUnit::Metre ? total
                                                            : total / 1000.0;
    const char* suffix = mm ? " mm" : choice.unit == ScaleUnit::Metre ? " m" : " km";
    char text[64];
    std::snprintf(text, sizeof text, "%lld%s", std::llround(inUnit), suffix);
    choice.totalText = text;
    return choice;
}

int ScaleBarLayout::tickX(int i) const {
    return static_cast<int>(std::lround(start + i * segmentPixels));
}

std::optional<ScaleBarLayout> layoutScaleBar(const QRect& target, double unitsPerPixel,
                                             int pixelsPerInch) {
    // Edges as a Windows rectangle: right and bottom just outside the target.
    const int left = target.left();
    const int right = target.left() + target.width();
    const int bottom = target.top() + target.height();
    const int areaLeft = left + target.width() / 4;
    const int areaRight = right - target.width() / 4;
    if (areaRight <= areaLeft) return std::nullopt;

    const auto choice = chooseScaleBar(unitsPerPixel * (areaRight - areaLeft));
    if (!choice) return std::nullopt;
    ScaleBarLayout layout;
    layout.choice = *choice;
    layout.baseline = bottom - 8;
    layout.area =
        QRect(QPoint(areaLeft, layout.baseline - 32 + 1), QPoint(areaRight - 1, layout.baseline));
    layout.segmentPixels = choice->magnitude / unitsPerPixel;
    const double length = choice->mantissa * layout.segmentPixels;
    layout.start = areaLeft + ((areaRight - areaLeft) - length) / 2.0;
    layout.tickHeight = 5 * (pixelsPerInch > 0 ? pixelsPerInch : 96) / 96;
    return layout;
}

bool drawScaleBar(QPainter& painter, const QRect& target, double unitsPerPixel, int pixelsPerInch,
                  const QFont& font) {
    const auto layout = layoutScaleBar(target, unitsPerPixel, pixelsPerInch);
    if (!layout) return false;
    const int mantissa = layout->choice.mantissa;
    const int y = layout->baseline;
    const int x0 = layout->tickX(0);
    const int x1 = layout->tickX(mantissa);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setFont(font);
    const QFontMetrics metrics(font, painter.device());
    const QString zero = QStringLiteral("0");
    const QString total = QString::fromStdString(layout->choice.totalText);
    // Labels stand centred over the first and the last tick, their lowest pixels 2 pixels above
    // the ticks' tops.
    const int textBase = y - layout->tickHeight - 2 - metrics.descent();

    for (int pass = 0; pass < 2; ++pass) {
        const QColor& color = pass == 0 ? kBarShadow : kBarColor;
        const int shift = pass == 0 ? -1 : 0;
        painter.save();
        painter.translate(shift, shift);
        QPen pen(color, lineWidth(pixelsPerInch), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        painter.setPen(pen);
        painter.drawLine(x0, y, x1, y);
        for (int i = 0; i <= mantissa; ++i) {
            const int x = layout->tickX(i);
            painter.drawLine(x, y, x, y - layout->tickHeight);
        }
        painter.drawText(x0 - metrics.horizontalAdvance(zero) / 2, textBase, zero);
        painter.drawText(x1 - metrics.horizontalAdvance(total) / 2, textBase, total);
        painter.restore();
    }
    painter.restore();
    return true;
}

}  // namespace kov
