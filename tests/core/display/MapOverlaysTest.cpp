// SPDX-License-Identifier: MIT
#include "core/display/MapOverlays.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QImage>
#include <QPainter>
#include <functional>

#include "core/base/MapSheet.h"
#include "core/data/ShpImport.h"
#include "core/display/MapViewport.h"
#include "core/display/ScaleBar.h"
#include "support/GuiApplication.h"
#include "support/ImagePixels.h"

namespace kov {
namespace {

const QRgb kBack = qRgb(200, 200, 200);
const QRgb kNavy = qRgb(0, 0, 128);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kGrey = qRgb(128, 128, 128);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kBlack = qRgb(0, 0, 0);

// A w x h picture of the background colour with the drawing on it.
QImage painted(int w, int h, const std::function<void(QPainter&)>& draw) {
    test::ensureGuiApplication();
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(kBack);
    QPainter painter(&image);
    draw(painter);
    painter.end();
    return image;
}

QFont labelFont() {
    QFont font;
    font.setPixelSize(12);
    return font;
}

// The colours of the image at the points.
std::vector<QRgb> at(const QImage& image, std::initializer_list<QPoint> points) {
    std::vector<QRgb> colours;
    for (const QPoint p : points)
        colours.push_back(image.pixel(p));
    return colours;
}

TEST(ScaleBar, ChoiceOfUnitMantissaAndMagnitude) {
    using enum ScaleUnit;
    const struct {
        double length;
        ScaleUnit unit;
        int mantissa;
        double magnitude;
        const char* text;
    } cases[] = {
        {0.0015, Millimetre, 2, 0.001, "2 mm"},  // "%.0f" of 1.5 mm reads 2
        {0.35, Millimetre, 3, 0.1, "300 mm"},
        {0.75, Millimetre, 10, 0.1, "1000 mm"},
        {1.2, Metre, 1, 1.0, "1 m"},  // one segment of 1 m stays whole
        {15.0, Metre, 10, 1.0, "10 m"},
        {55.0, Metre, 5, 10.0, "50 m"},
        {999.7, Metre, 10, 100.0, "1000 m"},  // reads "1000": four digits
        {1500.0, Kilometre, 10, 100.0, "1 km"},
        {4200.0, Kilometre, 4, 1000.0, "4 km"},
        {72000.0, Kilometre, 10, 10000.0, "100 km"},
    };
    for (const auto& c : cases) {
        const auto choice = chooseScaleBar(c.length);
        ASSERT_TRUE(choice) << c.length;
        EXPECT_EQ(std::tuple(choice->unit, choice->mantissa, choice->magnitude, choice->totalText),
                  std::tuple(c.unit, c.mantissa, c.magnitude, c.text))
            << c.length;
    }
    EXPECT_EQ(chooseScaleBar(0.001)->totalText, "1 mm");
    EXPECT_FALSE(chooseScaleBar(0.0009));
    EXPECT_FALSE(chooseScaleBar(-5.0));
}

TEST(ScaleBar, LayoutAndPixels) {
    // 400 x 100 target at half a metre per pixel: the 200-pixel bar area spans 100 m, drawn as
    // ten segments of 10 m (20 pixels) from x = 100 to 300 on the baseline 8 pixels above the
    // bottom.
    const QRect target(0, 0, 400, 100);
    EXPECT_EQ(layoutScaleBar(target, 0.5, 192)->tickHeight,
              2 * layoutScaleBar(target, 0.5, 96)->tickHeight);
    // A bar narrower than its area is centred: 5 segments of 100 m at 3 m per pixel.
    const auto narrow = layoutScaleBar(target, 3.0, 96);
    ASSERT_TRUE(narrow);
    EXPECT_EQ(narrow->choice.totalText, "500 m");
    EXPECT_NEAR(narrow->start + narrow->choice.mantissa * narrow->segmentPixels / 2, 200.0, 1e-9);

    const QImage image = painted(400, 100, [&](QPainter& painter) {
        ASSERT_TRUE(drawScaleBar(painter, target, 0.5, 96, labelFont()));
    });
    // The bar and a tick, each over its white copy one pixel up or left; ticks are 5 pixels high.
    EXPECT_EQ(at(image, {{150, 92}, {150, 91}, {150, 93}}), (std::vector{kNavy, kWhite, kBack}));
    EXPECT_EQ(at(image, {{120, 88}, {119, 88}, {121, 88}, {120, 86}, {110, 88}}),
              (std::vector{kNavy, kWhite, kBack, kBack, kBack}));
    // "0" over the start and "10 m" over the end, in both colours; nothing else.
    EXPECT_GT(test::countPixels(image, QRect(90, 60, 20, 25), kNavy), 0);
    EXPECT_GT(test::countPixels(image, QRect(270, 60, 60, 25), kNavy), 0);
    EXPECT_GT(test::countPixels(image, QRect(270, 60, 60, 25), kWhite), 0);
    EXPECT_EQ(test::countPixels(image, QRect(0, 0, 400, 60), kNavy), 0);
    EXPECT_EQ(test::countPixels(image, QRect(0, 93, 400, 7), kNavy), 0);

    // Below a millimetre there is no bar.
    const QImage none = painted(400, 100, [&](QPainter& painter) {
        EXPECT_FALSE(drawScaleBar(painter, target, 1e-6, 96, labelFont()));
    });
    EXPECT_EQ(test::countPixels(none, none.rect(), kBack), 400 * 100);
}

TEST(MapSheets, LinesAndLabels) {
    // The map 0..4000 m east, 0..3000 m north on 400 x 300 pixels: sheets are 200 x 150 pixels.
    auto sheets = [](double scale) {
        MapViewport view;
        view.setView({0, 0, 4000 * scale, 3000 * scale}, 400, 300, 0.0);
        return painted(
            400, 300, [&](QPainter& painter) { drawMapSheets(painter, view, 9, 96, labelFont()); });
    };
    const QImage image = sheets(1);
    // x = 2000 m is column 200, y = 1500 m is row 150: navy over white one pixel up and left;
    // x = 0 m and y = 3000 m lie on the edges.
    EXPECT_EQ(
        at(image,
           {{200, 40}, {199, 40}, {201, 40}, {40, 150}, {40, 149}, {40, 151}, {0, 40}, {40, 0}}),
        (std::vector{kNavy, kWhite, kBack, kNavy, kWhite, kBack, kNavy, kNavy}));
    EXPECT_EQ(test::countPixels(image, QRect(1, 1, 198, 148), kNavy), 0);
    // Each sheet carries its code, white over grey, about its centre.
    EXPECT_GT(test::countPixels(image, QRect(40, 200, 120, 50), kWhite), 10);
    EXPECT_GT(test::countPixels(image, QRect(40, 200, 120, 50), kGrey), 3);
    EXPECT_GT(test::countPixels(image, QRect(240, 50, 120, 50), kWhite), 10);
    EXPECT_EQ(test::countPixels(image, QRect(2, 2, 30, 30), kGrey), 0);

    // Sheets of 20 pixels: lines but no labels; of 6.7 x 5 pixels: lines with the map between
    // them; of 2 x 1.5 pixels, where the lines would cover the whole map: nothing at all.
    const QImage small = sheets(10), close = sheets(30), dense = sheets(100);
    EXPECT_EQ(small.pixel(20, 40), kNavy);
    EXPECT_EQ(test::countPixels(small, small.rect(), kGrey), 0);
    EXPECT_GT(test::countPixels(close, close.rect(), kNavy), 400 * 300 / 5);
    EXPECT_GT(test::countPixels(close, close.rect(), kBack), 400 * 300 / 3);
    EXPECT_EQ(test::countPixels(dense, dense.rect(), kBack), 400 * 300);
}

TEST(Shapes, FillsOutlinesAndPointsInThreePasses) {
    // At other resolutions than the 96 dpi drawn below (3 pixels, radius 6).
    EXPECT_EQ(std::pair(shapePenPixels(0.75, 600), shapePointRadius(72)), std::pair(18, 4));
    HMeshProject project;
    project.shapeFillColor = 0x0000FF;  // colours are 0x00BBGGRR: red fill, blue pen
    project.shapeFillAlpha = 255;
    project.shapePenColor = 0xFF0000;
    project.shapePenWidth = 0.75;
    auto addLayer = [&](int kind, std::vector<std::vector<FPoint>> rings,
                        std::vector<SHP_POINT> points) {
        auto layer = std::make_unique<ShpImport>();
        if (!rings.empty()) {
            layer->polylines.push_back({1, kind, rings[0], {rings.begin() + 1, rings.end()}});
        }
        layer->points = std::move(points);
        ASSERT_EQ(project.AddShape(layer), 1);
    };
    // Layer 1: a square 10..90 m with a hole 40..60 m. Layer 2: an open line whose fill (the
    // triangle south-east of the diagonal) would cover layer 1's south edge if layers were drawn
    // one after the other. Layer 3: a point at (50, 25).
    addLayer(SHP_POLYLINE::kPolygon,
             {{{10, 10}, {10, 90}, {90, 90}, {90, 10}, {10, 10}},
              {{40, 40}, {60, 40}, {60, 60}, {40, 60}, {40, 40}}},
             {});
    addLayer(SHP_POLYLINE::kLine, {{{0, 0}, {100, 0}, {100, 100}}}, {});
    addLayer(SHP_POLYLINE::kLine, {}, {{1, 50, 25, 0}});

    MapViewport view;  // one pixel per metre, row 0 at 100 m north
    ASSERT_TRUE(view.setView({0, 0, 100, 100}, 100, 100, 0.0));
    auto draw = [&] {
        return painted(100, 100,
                       [&](QPainter& painter) { drawShapes(painter, project, view, 96); });
    };
    const QImage image = draw();
    // Inside the square, the hole, the open line's triangle, outside; the edges of the square.
    EXPECT_EQ(at(image, {{25, 50}, {45, 45}, {95, 50}, {5, 50}, {10, 30}, {30, 90}}),
              (std::vector{kRed, kBack, kRed, kBack, kBlue, kBlue}));
    EXPECT_EQ(test::countPixels(image, QRect(0, 30, 20, 1), kBlue), 3) << "3 pixels wide";
    // The point: a black circle of radius 6 around pixel (50, 75), open inside.
    EXPECT_EQ(at(image, {{44, 75}, {56, 75}, {50, 69}, {50, 81}}), std::vector<QRgb>(4, kBlack));
    for (const QPoint p : {QPoint(43, 75), QPoint(57, 75), QPoint(50, 68), QPoint(50, 82)})
        EXPECT_NE(image.pixel(p), kBlack) << p.x() << "," << p.y();
    EXPECT_EQ(image.pixel(50, 75), kRed);

    // Half-transparent fill over the background.
    project.shapeFillAlpha = 128;
    const QImage blended = draw();
    EXPECT_NEAR(qRed(blended.pixel(25, 50)), 228, 2);
    EXPECT_NEAR(qGreen(blended.pixel(25, 50)), 100, 2);
    EXPECT_EQ(blended.pixel(45, 45), kBack);
}

TEST(TraceLine, WidthsAndDots) {
    MapViewport view;
    ASSERT_TRUE(view.setView({0, 0, 100, 100}, 100, 100, 0.0));
    auto draw = [&](const std::vector<FPoint>& points, int width) {
        return painted(100, 100,
                       [&](QPainter& painter) { drawTraceLine(painter, view, points, width); });
    };
    const std::vector<FPoint> line{{10, 50}, {90, 50}};
    EXPECT_EQ(test::countPixels(draw(line, 3), QRect(50, 0, 1, 100), kGrey), 3);
    EXPECT_EQ(test::countPixels(draw(line, 12), QRect(50, 0, 1, 100), kGrey), 7);
    // Width 0 (and below): a dotted line one pixel wide.
    for (const int width : {0, -4}) {
        const QImage dotted = draw(line, width);
        const int dots = test::countPixels(dotted, QRect(12, 50, 76, 1), kGrey);
        EXPECT_GT(dots, 10);
        EXPECT_LT(dots, 70);
        EXPECT_EQ(test::countPixels(dotted, dotted.rect(), kGrey),
                  test::countPixels(dotted, QRect(0, 50, 100, 1), kGrey));
    }
    const QImage single = draw({{10, 50}}, 3);
    EXPECT_EQ(test::countPixels(single, single.rect(), kBack), 100 * 100);
}

}  // namespace
}  // namespace kov
