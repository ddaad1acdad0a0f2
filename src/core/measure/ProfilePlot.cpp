// SPDX-License-Identifier: MIT
#include "core/measure/ProfilePlot.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <locale>
#include <sstream>

namespace kov {

double ProfileData::sampleDistance(size_t i) const {
    const size_t n = samples.size();
    if (n >= 2 && i >= n - 1) return length;
    return static_cast<double>(i) * step;
}

CellKind ProfileData::kindAt(size_t i) const {
    return i < kinds.size() ? kinds[i] : CellKind::Elevation;
}

double stepFromSetting(const std::string& text) {
    // The leading decimal number, as the profile functions' readers take it ("5m" is 5); the
    // C locale, so that a decimal comma of the user's locale never changes the value.
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    double value = 0.0;
    if (!(in >> value) || !std::isfinite(value) || value <= 0.0) return 0.0;
    return value;
}

std::optional<ProfileData> buildProfile(const HMeshProject& project,
                                        const std::vector<FPoint>& line,
                                        const std::string& stepText, int maxPoints,
                                        ProfileRefusal* refusal) {
    auto refuse = [refusal](ProfileRefusal why) {
        if (refusal) *refusal = why;
        return std::nullopt;
    };
    if (refusal) *refusal = ProfileRefusal::None;
    if (line.size() < 2) return refuse(ProfileRefusal::TooFewPoints);
    ProfileData data;
    data.vertexDistances.reserve(line.size());
    double run = 0.0;
    for (size_t i = 0; i < line.size(); ++i) {
        if (i > 0) run += std::hypot(line[i].x - line[i - 1].x, line[i].y - line[i - 1].y);
        data.vertexDistances.push_back(run);
    }
    // A line without length has no profile (all samples would sit on one spot).
    if (!std::isfinite(run)) return refuse(ProfileRefusal::LengthOverflow);
    if (!(run > 0.0)) return refuse(ProfileRefusal::NoLength);
    double step = stepFromSetting(stepText);
    if (step <= 0.0) step = project.GetMaxCellSize();
    if (!(step > 0.0)) return refuse(ProfileRefusal::NoMesh);  // no mesh to take the step from
    if (!project.SampleProfile(line, step, std::clamp(maxPoints, 3, kMostProfileSamples),
                               data.samples, &data.kinds) ||
        data.samples.size() < 2)
        return refuse(ProfileRefusal::TooFewPoints);
    data.step = step;
    data.length = run;
    return data;
}

int elevationUnit(double zmax) {
    static const double kLimits[] = {10, 20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000};
    static const int kUnits[] = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000};
    for (size_t i = 0; i < std::size(kLimits); ++i)
        if (zmax <= kLimits[i]) return kUnits[i];
    return 5000;
}

ProfileAxis profileAxis(const std::vector<FPoint>& samples) {
    ProfileAxis axis;
    if (samples.empty()) return axis;
    double lo = samples[0].z, hi = samples[0].z;
    for (const FPoint& s : samples) {
        lo = std::min(lo, s.z);
        hi = std::max(hi, s.z);
    }
    axis.zmax = std::max(hi, 10.0);
    axis.zmin = std::min(lo, 0.0);
    axis.unit = elevationUnit(axis.zmax);
    axis.top = static_cast<int>(std::floor(axis.zmax + axis.unit));
    // At least one unit below zero.
    axis.bottom = -static_cast<int>(std::floor(axis.unit - axis.zmin));
    return axis;
}

double distanceLabelInterval(double p, double f) {
    const double g = 100.0 * f;
    if (!(p > 0.0) || !std::isfinite(p)) return 0.0;
    if (p / f <= g) {
        // 2, 5, 10, 20, 50, 100, ...: the first whose spacing reaches G pixels.
        for (double decade = 1.0; decade < 1e300; decade *= 10.0)
            for (double m : {2.0, 5.0, 10.0})
                if (m * decade * p >= g) return m * decade;
        return 0.0;
    }
    // 0.5, 0.2, 0.1, 0.05, ...: the first whose spacing is at most G pixels.
    for (double decade = 1.0; decade > 1e-300; decade /= 10.0)
        for (double m : {0.5, 0.2, 0.1})
            if (m * decade * p <= g) return m * decade;
    return 0.0;
}

namespace {

QString trimmed(const QString& text) {
    return text.trimmed();
}

}  // namespace

ProfileLayout drawProfile(QPainter& painter, const QRectF& r, const ProfileData& data,
                          const ProfileStyle& style) {
    ProfileLayout out;
    const size_t n = data.samples.size();
    const double length = data.length;
    if (n < 2 || !(length > 0.0) || !std::isfinite(length) || !(data.step > 0.0)) return out;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);

    const ProfileAxis axis = profileAxis(data.samples);
    const double dpi = style.dpi > 0.0 ? style.dpi : 96.0;
    const double s = dpi / 96.0;
    const bool wide = style.metafile && r.width() > 800.0;
    const double f = wide ? r.width() * s / 800.0 : s;
    out.scale = s;
    out.fontFactor = f;

    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (!style.fontFamily.isEmpty()) font.setFamily(style.fontFamily);
    double basePixels = style.fontPixels;
    if (basePixels <= 0.0)
        basePixels = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * 96.0 / 72.0;
    font.setPixelSize(
        std::max(1, static_cast<int>(std::lround(basePixels * (wide ? r.width() / 800.0 : s)))));
    painter.setFont(font);
    const QFontMetricsF metrics(font, painter.device());
    const double cw = metrics.averageCharWidth();
    const double ch = metrics.height();

    // The plot: 6 characters of margin on the left, 4 on the right, one line above and two
    // below for the distance labels.
    const double plotLeft = r.left() + 6.0 * cw;
    const double plotWidth = r.width() - 10.0 * cw;
    const double baseline = r.top() + r.height() - 2.0 * ch;
    const double plotHeight = r.height() - 3.0 * ch;
    if (!(plotWidth > 0.0) || !(plotHeight > 0.0)) {
        painter.restore();
        return out;
    }
    out.plot = QRectF(plotLeft, baseline - plotHeight, plotWidth, plotHeight);
    const double hs = plotWidth / length;
    const double vs = plotHeight / (axis.top - axis.bottom);
    auto xAt = [&](double d) { return plotLeft + d * hs; };
    auto yAt = [&](double z) { return baseline - (z - axis.bottom) * vs; };

    // The profile; the last sample at the end of the line, where the frame ends.
    QPen profilePen(Qt::black, std::floor(s + 0.5), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    painter.setPen(profilePen);
    painter.setBrush(Qt::NoBrush);
    QPolygonF line;
    line.reserve(static_cast<int>(n));
    for (size_t i = 0; i < n; ++i)
        line << QPointF(xAt(data.sampleDistance(i)), yAt(data.samples[i].z));
    painter.drawPolyline(line);

    const double thin = std::max(1.0, std::floor(s / 2.0 + 0.5));
    // The clicked vertices: red circles of 1.5 mm, enlarged like the font in a wide metafile.
    out.markRadius = std::round((f / s) * dpi * 1.5 / 25.4);
    for (double d : data.vertexDistances) {
        d = std::clamp(d, 0.0, length);
        size_t i = static_cast<size_t>(std::floor(d / data.step));
        double z = data.samples.back().z;
        if (i < n - 1) {
            const double d0 = data.sampleDistance(i), d1 = data.sampleDistance(i + 1);
            const double t = d1 > d0 ? std::clamp((d - d0) / (d1 - d0), 0.0, 1.0) : 0.0;
            z = (1.0 - t) * data.samples[i].z + t * data.samples[i + 1].z;
        }
        out.marks.emplace_back(xAt(d), yAt(z));
    }
    if (style.showMarks) {
        painter.setPen(QPen(Qt::red, thin));
        for (const QPointF& c : out.marks)
            painter.drawEllipse(c, out.markRadius, out.markRadius);
    }

    // The frame.
    const QPen framePen(Qt::black, thin, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    painter.setPen(framePen);
    painter.drawRect(out.plot);

    const double tick = 5.0 * s;
    const double ascent = metrics.ascent();
    // Distance labels.
    const double interval = distanceLabelInterval(hs, f);
    if (interval > 0.0) {
        const bool km = interval >= 1000.0;
        for (long long k = 0;; ++k) {
            const double d = static_cast<double>(k) * interval;
            if (!(d < length) || k > 100000) break;
            const double x = xAt(d);
            painter.drawLine(QPointF(x, baseline), QPointF(x, baseline - tick));
            painter.drawLine(QPointF(x, out.plot.top()), QPointF(x, out.plot.top() + tick));
            const QString text = trimmed(QString::asprintf("%4.0f", km ? d / 1000.0 : d));
            painter.drawText(
                QPointF(x - metrics.horizontalAdvance(text) / 2.0, baseline + 2.0 * s + ascent),
                text);
            out.distanceTicks.push_back(d);
            out.distanceLabels << text;
        }
        if (interval < length) {
            const QString unit = km ? QStringLiteral("km") : QStringLiteral("m");
            painter.drawText(QPointF(r.right() - cw / 2.0 - metrics.horizontalAdvance(unit),
                                     baseline + 2.0 * s + ascent),
                             unit);
        }
    }

    // Elevation labels; one closer than a line to the previous is left out.
    double lastLabelY = 0.0;
    bool first = true;
    for (long long v = axis.bottom; v <= axis.top; v += axis.unit) {
        const double y = yAt(static_cast<double>(v));
        if (v != axis.bottom) {
            painter.drawLine(QPointF(plotLeft, y), QPointF(plotLeft + tick, y));
            painter.drawLine(QPointF(out.plot.right(), y), QPointF(out.plot.right() - tick, y));
        }
        if (!first && lastLabelY - y < ch + 4.0) continue;
        const QString text = QString::asprintf("%4d", static_cast<int>(v));
        painter.drawText(QPointF(r.left() + cw / 2.0, y + (ascent - metrics.descent()) / 2.0),
                         text);
        out.elevationLabels << text;
        lastLabelY = y;
        first = false;
    }
    painter.restore();
    return out;
}

}  // namespace kov
