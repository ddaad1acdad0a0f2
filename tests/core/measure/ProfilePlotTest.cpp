// SPDX-License-Identifier: MIT
#include "core/measure/ProfilePlot.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <tuple>

#include "support/GuiApplication.h"
#include "support/ImagePixels.h"
#include "support/MeshFixtures.h"

namespace kov {
namespace {

std::vector<FPoint> samplesAt(std::initializer_list<double> z) {
    std::vector<FPoint> s;
    for (double v : z)
        s.push_back({0, 0, v});
    return s;
}

TEST(ProfileAxis, UnitAndAxisEndsFollowTheRange) {
    const auto axis = [](std::initializer_list<double> z) {
        const ProfileAxis a = profileAxis(samplesAt(z));
        return std::tuple(a.unit, a.top, a.bottom);
    };
    EXPECT_EQ(axis({12, 40, 75}), std::tuple(10, 85, -10));
    // A sample below zero: the axis reaches a whole unit further down.
    EXPECT_EQ(axis({-3, 75}), std::tuple(10, 85, -13));
    // A low flat profile still gets 0 .. 10 m and unit 1.
    EXPECT_EQ(axis({2, 3}), std::tuple(1, 11, -1));
    // A limit belongs to the finer unit; above the last one the unit stays 5,000.
    EXPECT_EQ(elevationUnit(1000.0), 100);
    EXPECT_EQ(elevationUnit(20000.5), 5000);
}

TEST(ProfileAxis, DistanceLabelIntervalIsTheFirstThatSpacesEnough) {
    // At most G = 100 F pixels per metre: the first of 2, 5, 10, 20, ... reaching G pixels.
    EXPECT_DOUBLE_EQ(distanceLabelInterval(0.3, 1.0), 500.0);
    EXPECT_DOUBLE_EQ(distanceLabelInterval(1.0, 2.0), 200.0);
    // Above that: the first of 0.5, 0.2, 0.1, ... at most G pixels apart.
    EXPECT_DOUBLE_EQ(distanceLabelInterval(200.0, 1.0), 0.5);
    EXPECT_DOUBLE_EQ(distanceLabelInterval(1000.0, 1.0), 0.1);
    EXPECT_DOUBLE_EQ(distanceLabelInterval(0.0, 1.0), 0.0);
}

TEST(ProfileSampling, StepSettingLengthAndCount) {
    for (const char* none : {"", "0", "-5", "abc"})
        EXPECT_EQ(stepFromSetting(none), 0.0) << none;
    EXPECT_EQ(stepFromSetting(" 2.5"), 2.5);

    const auto owner = test::projectOf(test::makeFlatMesh(40, 40, 5.0, 0, 0, 1234));
    HMeshProject& project = *owner;
    const std::vector<FPoint> line = {{10, 10, 0}, {110, 10, 0}, {110, 60, 0}};
    // No step: the coarsest cell size, 5 m; 150 m give 31 samples, the end once; vertex
    // distances 0, 100, 150.
    auto p = buildProfile(project, line, "", 10000);
    ASSERT_TRUE(p);
    EXPECT_EQ(std::tuple(p->step, p->samples.size(), p->vertexDistances, p->kindAt(30)),
              std::tuple(5.0, 31u, std::vector<double>{0, 100, 150}, CellKind::Elevation));
    EXPECT_DOUBLE_EQ(p->samples[5].z, 123.4);
    // A maximum below 3 is taken as 3: the ends and the middle, the end at its distance along
    // the bent line (not 75 m plus the 55.9 m straight across the bend).
    p = buildProfile(project, line, "7", 1);
    ASSERT_TRUE(p);
    EXPECT_EQ(std::tuple(p->samples.size(), p->step, p->sampleDistance(2)),
              std::tuple(3u, 75.0, 150.0));
    // No length, no mesh: no profile, and why (kovtool's tests name a length beyond the numbers).
    ProfileRefusal why = ProfileRefusal::None;
    EXPECT_FALSE(buildProfile(project, {{10, 10, 0}, {10, 10, 0}}, "", 100, &why));
    EXPECT_EQ(why, ProfileRefusal::NoLength);
    EXPECT_FALSE(buildProfile(HMeshProject(), line, "", 100, &why));
    EXPECT_EQ(why, ProfileRefusal::NoMesh);
}

struct Drawn {
    QImage image;
    ProfileLayout layout;
};

// The labels' font: the general font at 12 pixels, as draw() asks for.
QFont labelFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(12);
    return font;
}

Drawn draw(const ProfileData& data, bool marks, QSize size = {600, 400}) {
    test::ensureGuiApplication();
    Drawn d{QImage(size, QImage::Format_RGB32), {}};
    d.image.setDotsPerMeterX(3780);
    d.image.setDotsPerMeterY(3780);
    d.image.fill(Qt::white);
    QPainter painter(&d.image);
    ProfileStyle style;
    style.showMarks = marks;
    style.fontPixels = 12;
    d.layout = drawProfile(painter, QRectF(0, 0, size.width(), size.height()), data, style);
    return d;
}

// The red pixels within r + 2 of the point.
int redPixelsNear(const QImage& image, QPointF c, int r) {
    const int d = r + 2;
    return test::countPixels(image, QRect(int(c.x()) - d, int(c.y()) - d, 2 * d + 1, 2 * d + 1),
                             qRgb(255, 0, 0));
}

TEST(ProfileDrawing, MarksSitOnTheProfileAtTheVertexDistances) {
    // 0, 10, 20, 30, 40 m at 10 m steps, the last spacing 5 m: 35 m long.
    ProfileData data;
    data.samples = samplesAt({0, 20, 40, 20, 30});
    data.step = 10.0;
    data.length = 35.0;
    data.vertexDistances = {0.0, 15.0, 35.0};
    const Drawn d = draw(data, true);
    const QRectF plot = d.layout.plot;
    ASSERT_FALSE(plot.isNull());
    EXPECT_DOUBLE_EQ(d.layout.markRadius, 6.0);  // 1.5 mm at 96 dpi
    const ProfileAxis axis = profileAxis(data.samples);
    auto y = [&](double z) {
        return plot.bottom() - (z - axis.bottom) * plot.height() / (axis.top - axis.bottom);
    };
    // The middle vertex half-way from 20 to 40 m; the last at the end of the frame, on the last
    // sample.
    // (QPointF compares to about twelve significant digits.)
    EXPECT_EQ(d.layout.marks, (std::vector<QPointF>{{plot.left(), y(0)},
                                                    {plot.left() + plot.width() * 15 / 35, y(30)},
                                                    {plot.right(), y(30)}}));
    for (const QPointF& m : d.layout.marks)
        EXPECT_GT(redPixelsNear(d.image, m, 6), 10);
    // The profile ends at the right edge of the frame: black there at the last elevation.
    EXPECT_EQ(d.image.pixel(int(plot.right()) - 1, int(std::lround(y(30)))), qRgb(0, 0, 0));

    // Without marks: not one red pixel.
    const Drawn plain = draw(data, false);
    for (const QPointF& m : plain.layout.marks)
        EXPECT_EQ(redPixelsNear(plain.image, m, 6), 0);
}

TEST(ProfileDrawing, LabelsTicksAndTheSkipRule) {
    ProfileData data;
    for (int i = 0; i <= 100; ++i)
        data.samples.push_back({0, 0, 12.0 + 63.0 * i / 100});
    data.step = 30.0;  // 3 km
    data.length = 3000.0;
    const Drawn d = draw(data, true, {600, 400});
    // 600 px − 10 characters over 3,000 m: about 0.18 px/m, 1,000 m apart, in km with the unit.
    EXPECT_EQ(d.layout.distanceTicks, (std::vector<double>{0, 1000, 2000}));
    EXPECT_EQ(d.layout.distanceLabels, (QStringList{"0", "1", "2"}));
    EXPECT_EQ(d.layout.elevationLabels, (QStringList{" -10", "   0", "  10", "  20", "  30", "  40",
                                                     "  50", "  60", "  70", "  80"}));
    // With less height, a label closer than a line and 4 pixels to the one below is left out;
    // the bottom one always stays, and none goes that need not.
    const double gap = QFontMetricsF(labelFont()).height() + 4.0;
    for (int height = 120; height <= 400; height += 4) {
        const Drawn low = draw(data, true, {600, height});
        const double perMetre = low.layout.plot.height() / 95.0;  // -10 .. 85 m
        ASSERT_FALSE(low.layout.elevationLabels.isEmpty());
        EXPECT_EQ(low.layout.elevationLabels.first(), " -10");
        for (qsizetype k = 1; k < low.layout.elevationLabels.size(); ++k) {
            const double apart = (low.layout.elevationLabels[k].toDouble() -
                                  low.layout.elevationLabels[k - 1].toDouble()) *
                                 perMetre;
            EXPECT_GE(apart, gap) << height << " px high, label " << k;
            EXPECT_LT(apart - 10 * perMetre, gap) << height << " px high, label " << k;
        }
    }

    // Fewer than two samples or no length: nothing at all.
    ProfileData one;
    one.samples = samplesAt({5});
    one.step = 1;
    EXPECT_TRUE(draw(one, true).layout.plot.isNull());
}

}  // namespace
}  // namespace kov
