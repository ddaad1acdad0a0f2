// SPDX-License-Identifier: MIT
#include "core/measure/EmfWriter.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <map>

#include "core/measure/ProfilePlot.h"
#include "support/GuiApplication.h"

namespace kov {
namespace {

struct Rec {
    uint32_t type = 0;
    size_t offset = 0;
    uint32_t size = 0;
};

class EmfFile {
public:
    explicit EmfFile(QByteArray bytes) : b_(std::move(bytes)) {}
    uint32_t u32(size_t at) const {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | static_cast<uint8_t>(b_[static_cast<qsizetype>(at + i)]);
        return v;
    }
    int32_t i32(size_t at) const { return static_cast<int32_t>(u32(at)); }
    QString utf16(size_t at, size_t units) const {
        QString s;
        for (size_t i = 0; i < units; ++i)
            s += QChar(static_cast<char16_t>(u32(at + 2 * i) & 0xFFFF));
        return s;
    }
    // Walks the records; false when a size runs past the end or is not a multiple of 4.
    bool walk(std::vector<Rec>& out) const {
        size_t at = 0;
        while (at + 8 <= static_cast<size_t>(b_.size())) {
            const Rec r{u32(at), at, u32(at + 4)};
            if (r.size < 8 || r.size % 4 || at + r.size > static_cast<size_t>(b_.size()))
                return false;
            out.push_back(r);
            at += r.size;
        }
        return at == static_cast<size_t>(b_.size());
    }
    qsizetype size() const { return b_.size(); }

private:
    QByteArray b_;
};

ProfileData sampleProfile() {
    ProfileData data;
    for (int i = 0; i <= 50; ++i)
        data.samples.push_back({0, 0, 20.0 + 30.0 * std::sin(i / 8.0)});
    data.step = 20.0;
    data.length = 992.0;
    data.vertexDistances = {0.0, 400.0, 992.0};
    return data;
}

struct Made {
    QByteArray bytes;
    ProfileLayout layout;
};

Made makeEmf(QSize size) {
    test::ensureGuiApplication();
    // A 1600 x 1000 screen of 400 x 250 mm: 101.6 dpi.
    EmfDevice emf(size, EmfReference{{1600, 1000}, {400.0, 250.0}}, QStringLiteral("断面図"));
    QPainter painter(&emf);
    ProfileStyle style;
    style.dpi = emf.logicalDpiX();
    style.metafile = true;
    const ProfileLayout layout =
        drawProfile(painter, QRectF(0, 0, size.width(), size.height()), sampleProfile(), style);
    painter.end();
    return {emf.bytes(), layout};
}

TEST(EmfWriter, RecordsHeaderAndDescriptionAreConsistent) {
    const Made made = makeEmf({640, 400});
    const EmfFile f(made.bytes);
    std::vector<Rec> recs;
    ASSERT_TRUE(f.walk(recs));
    ASSERT_GE(recs.size(), 3u);
    // Header: file size, record count, frame in 0.01 mm of the reference.
    EXPECT_EQ(recs[0].type, emr::kHeader);
    EXPECT_EQ(f.u32(48), static_cast<uint32_t>(f.size()));
    EXPECT_EQ(f.u32(52), recs.size());
    // Frame 640 x 400 px of 0.25 mm; the reference's 1600 pixels over 400 mm.
    EXPECT_EQ(std::tuple(f.i32(24), f.i32(32), f.i32(36), f.i32(72), f.i32(80)),
              std::tuple(0, 16000, 10000, 1600, 400));
    // Logical units: the window extent over the viewport extent (reference pixels).
    double perPixel = 0.0;
    for (const Rec& r : recs)
        if (r.type == emr::kSetWindowExtEx) perPixel = f.i32(r.offset + 8) / 640.0;
    ASSERT_GT(perPixel, 1.0) << "finer than a pixel";
    auto pixels = [&](size_t at) { return f.i32(at) / perPixel; };
    EXPECT_EQ(std::tuple(recs.back().type, recs.back().size, f.u32(recs.back().offset + 16)),
              std::tuple(emr::kEof, 20u, 20u));

    // Objects: created, selected, and deleted again by the end; at most the header's handles.
    std::map<uint32_t, int> live;
    const uint32_t handles = f.u32(56) & 0xFFFF;
    int ellipses = 0;
    QStringList strings;
    std::vector<std::pair<double, double>> longest;
    for (const Rec& r : recs) {
        switch (r.type) {
            case emr::kCreatePen:
            case emr::kCreateBrushIndirect:
            case emr::kExtCreateFontIndirectW: {
                const uint32_t index = f.u32(r.offset + 8);
                EXPECT_LT(index, handles);
                EXPECT_EQ(live[index]++, 0) << "index created twice " << index;
                break;
            }
            case emr::kSelectObject: {
                const uint32_t index = f.u32(r.offset + 8);
                if (!(index & 0x80000000u)) {
                    EXPECT_EQ(live[index], 1);
                }
                break;
            }
            case emr::kDeleteObject:
                EXPECT_EQ(live[f.u32(r.offset + 8)]--, 1);
                break;
            case emr::kExtTextOutW: {
                // The dx array holds one advance (logical units) per character; together they
                // span the text's bounds, which are in reference pixels (a misplaced array
                // breaks that sum).
                const uint32_t n = f.u32(r.offset + 44), offDx = f.u32(r.offset + 72);
                strings << f.utf16(r.offset + f.u32(r.offset + 48), n);
                int32_t advance = 0;
                for (uint32_t i = 0; i < n; ++i)
                    advance += f.i32(r.offset + offDx + 4 * i);
                // The bounds are the whole pixels the text touches: up to two more.
                const int32_t boundsWidth = f.i32(r.offset + 16) - f.i32(r.offset + 8);
                EXPECT_GE(boundsWidth, advance / perPixel) << strings.last().toStdString();
                EXPECT_LE(boundsWidth, advance / perPixel + 2) << strings.last().toStdString();
                break;
            }
            case emr::kEllipse: {
                ++ellipses;
                const QPointF c((pixels(r.offset + 8) + pixels(r.offset + 16)) / 2.0,
                                (pixels(r.offset + 12) + pixels(r.offset + 20)) / 2.0);
                const QPointF m = made.layout.marks[static_cast<size_t>(ellipses - 1)];
                EXPECT_NEAR(c.x(), m.x(), 1.0);
                EXPECT_NEAR(c.y(), m.y(), 1.0);
                break;
            }
            case emr::kPolyline: {
                const uint32_t n = f.u32(r.offset + 24);
                EXPECT_EQ(r.size, 28 + 8 * n);
                if (n > longest.size()) {
                    longest.clear();
                    for (uint32_t i = 0; i < n; ++i)
                        longest.emplace_back(pixels(r.offset + 28 + 8 * i),
                                             pixels(r.offset + 32 + 8 * i));
                }
                break;
            }
            default:
                break;
        }
    }
    for (const auto& [index, count] : live)
        EXPECT_EQ(count, 0) << "object left undeleted " << index;
    EXPECT_EQ(ellipses, 3);
    // The texts are the labels the routine wrote, the unit among them.
    for (const QString& label : made.layout.distanceLabels + made.layout.elevationLabels)
        EXPECT_TRUE(strings.contains(label)) << label.toStdString();
    EXPECT_TRUE(strings.contains("m"));
    // The profile polyline: every sample where the routine put it, to a fraction of a pixel (so
    // that an enlarged picture shows no whole-pixel steps).
    ASSERT_EQ(longest.size(), 51u);
    const ProfileData data = sampleProfile();
    const ProfileAxis axis = profileAxis(data.samples);
    const QRectF plot = made.layout.plot;
    for (size_t i = 0; i < longest.size(); ++i) {
        const double x = plot.left() + data.sampleDistance(i) * plot.width() / data.length;
        const double y = plot.bottom() - (data.samples[i].z - axis.bottom) * plot.height() /
                                             (axis.top - axis.bottom);
        EXPECT_NEAR(longest[i].first, x, 0.6 / perPixel) << i;
        EXPECT_NEAR(longest[i].second, y, 0.6 / perPixel) << i;
    }
}

// The header's bounds hold what the pen covers: half its width around lines and boxes.
TEST(EmfWriter, BoundsHoldThePenAroundLinesAndBoxes) {
    test::ensureGuiApplication();
    for (const bool box : {false, true}) {
        EmfDevice emf({400, 300}, EmfReference{{1600, 1000}, {400.0, 250.0}}, "t");
        QPainter painter(&emf);
        painter.setPen(QPen(Qt::black, 10));
        if (box)
            painter.drawRect(QRectF(100, 100, 100, 50));
        else
            painter.drawLine(QPointF(100, 100), QPointF(200, 150));
        painter.end();
        const EmfFile f(emf.bytes());
        EXPECT_EQ(std::tuple(f.i32(8), f.i32(12), f.i32(16), f.i32(20)),
                  std::tuple(95, 95, 205, 155))
            << (box ? "box" : "line");
    }
}

TEST(EmfWriter, AWideMetafileEnlargesFontAndMarks) {
    const Made narrow = makeEmf({800, 400});
    const Made wide = makeEmf({1600, 400});
    EXPECT_DOUBLE_EQ(wide.layout.fontFactor, 2.0 * narrow.layout.fontFactor);
    EXPECT_DOUBLE_EQ(wide.layout.markRadius, 2.0 * narrow.layout.markRadius);
}

}  // namespace
}  // namespace kov
