#include "core/display/MapOverlays.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QImage>
#include <QPainter>

#include "core/base/MapSheet.h"
#include "core/data/ShpImport.h"
#include "core/display/MapViewport.h"
#include "core/display/ScaleBar.h"
#include "support/GuiApplication.h"

namespace kov {
namespace {

const QRgb kBackground = qRgb(200, 200, 200);
const QRgb kNavy = qRgb(0, 0, 128);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kGrey = qRgb(128, 128, 128);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kBlack = qRgb(0, 0, 0);

QImage blankImage(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(kBackground);
    return image;
}

QFont labelFont() {
    QFont font;
    font.setPixelSize(12);
    return font;
}

int countColor(const QImage& image, QRgb color, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) == color) ++n;
    return n;
}

std::string total(double metres) {
    const auto choice = chooseScaleBar(metres);
    return choice ? choice->totalText : std::string("none");
}

TEST(ScaleBar, ChoiceOfUnitMantissaAndMagnitude) {
    const struct {
        double length;
        ScaleUnit unit;
        int mantissa;
        double magnitude;
        const char* text;
    } cases[] = {
        {0.0015, ScaleUnit::Millimetre, 2, 0.001, "2 mm"},  // "%.0f" of 1.5 mm reads 2
        {0.35, ScaleUnit::Millimetre, 3, 0.1, "300 mm"},
        {0.75, ScaleUnit::Millimetre, 10, 0.1, "1000 mm"},
        {1.2, ScaleUnit::Metre, 1, 1.0, "1 m"},  // one segment of 1 m stays whole
        {15.0, ScaleUnit::Metre, 10, 1.0, "10 m"},
        {55.0, ScaleUnit::Metre, 5, 10.0, "50 m"},
        {640.0, ScaleUnit::Metre, 5, 100.0, "500 m"},
        {999.7, ScaleUnit::Metre, 10, 100.0, "1000 m"},  // reads "1000": four digits
        {1500.0, ScaleUnit::Kilometre, 10, 100.0, "1 km"},
        {4200.0, ScaleUnit::Kilometre, 4, 1000.0, "4 km"},
        {72000.0, ScaleUnit::Kilometre, 10, 10000.0, "100 km"},
    };
    for (const auto& c : cases) {
        const auto choice = chooseScaleBar(c.length);
        ASSERT_TRUE(choice) << c.length;
        EXPECT_EQ(choice->unit, c.unit) << c.length;
        EXPECT_EQ(choice->mantissa, c.mantissa) << c.length;
        EXPECT_DOUBLE_EQ(choice->magnitude, c.magnitude) << c.length;
        EXPECT_EQ(choice->totalText, c.text) << c.length;
    }
    EXPECT_EQ(total(0.0009), "none");
    EXPECT_EQ(total(0.001), "1 mm");
    EXPECT_EQ(total(-5.0), "none");
}

TEST(ScaleBar, LayoutAndPixels) {
    test::ensureGuiApplication();
    // 400 x 100 target at half a metre per pixel: the 200-pixel bar area spans 100 m, drawn as
    // ten segments of 10 m (20 pixels) from x = 100 to 300 on the baseline 8 pixels above the
    // bottom.
    const QRect target(0, 0, 400, 100);
    const auto layout = layoutScaleBar(target, 0.5, 96);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->area, QRect(100, 61, 200, 32));
    EXPECT_EQ(layout->baseline, 92);
    EXPECT_EQ(layout->choice.mantissa, 10);
    EXPECT_EQ(layout->tickX(0), 100);
    EXPECT_EQ(layout->tickX(1), 120);
    EXPECT_EQ(layout->tickX(10), 300);
    EXPECT_EQ(layout->tickHeight, 5);
    EXPECT_EQ(layoutScaleBar(target, 0.5, 192)->tickHeight, 10);
    // A bar narrower than its area is centred: 5 segments of 100 m at 3 m per pixel.
    const auto narrow = layoutScaleBar(target, 3.0, 96);
    ASSERT_TRUE(narrow);
    EXPECT_EQ(narrow->choice.totalText, "500 m");
    EXPECT_NEAR(narrow->start + narrow->choice.mantissa * narrow->segmentPixels / 2, 200.0, 1e-9);

    QImage image = blankImage(400, 100);
    {
        QPainter painter(&image);
        ASSERT_TRUE(drawScaleBar(painter, target, 0.5, 96, labelFont()));
    }
    EXPECT_EQ(image.pixel(150, 92), kNavy);   // bar
    EXPECT_EQ(image.pixel(150, 91), kWhite);  // its white copy one pixel up
    EXPECT_EQ(image.pixel(150, 93), kBackground);
    EXPECT_EQ(image.pixel(120, 88), kNavy);  // tick
    EXPECT_EQ(image.pixel(119, 88), kWhite);
    EXPECT_EQ(image.pixel(121, 88), kBackground);
    EXPECT_EQ(image.pixel(120, 86), kBackground);  // ticks are 5 pixels high
    EXPECT_EQ(image.pixel(110, 88), kBackground);
    // "0" over the start and "10 m" over the end, in both colours.
    EXPECT_GT(countColor(image, kNavy, QRect(90, 60, 20, 25)), 0);
    EXPECT_GT(countColor(image, kNavy, QRect(270, 60, 60, 25)), 0);
    EXPECT_GT(countColor(image, kWhite, QRect(270, 60, 60, 25)), 0);
    // Nothing outside the bar area and its shadow.
    EXPECT_EQ(countColor(image, kNavy, QRect(0, 0, 400, 60)), 0);
    EXPECT_EQ(countColor(image, kNavy, QRect(0, 93, 400, 7)), 0);

    // Below a millimetre there is no bar.
    QImage untouched = blankImage(400, 100);
    {
        QPainter painter(&untouched);
        EXPECT_FALSE(drawScaleBar(painter, target, 1e-6, 96, labelFont()));
    }
    EXPECT_EQ(countColor(untouched, kBackground, untouched.rect()), 400 * 100);
}

// The map 0..4000 m east, 0..3000 m north on 400 x 300 pixels: sheets are 200 x 150 pixels.
MapViewport sheetView(double scale) {
    MapViewport view;
    view.setView({0, 0, 4000 * scale, 3000 * scale}, 400, 300, 0.0);
    return view;
}

TEST(MapSheets, LinesAndLabels) {
    test::ensureGuiApplication();
    QImage image = blankImage(400, 300);
    {
        QPainter painter(&image);
        drawMapSheets(painter, sheetView(1), 9, 96, labelFont());
    }
    // x = 2000 m is column 200, y = 1500 m is row 150: navy over white one pixel up and left.
    EXPECT_EQ(image.pixel(200, 40), kNavy);
    EXPECT_EQ(image.pixel(199, 40), kWhite);
    EXPECT_EQ(image.pixel(201, 40), kBackground);
    EXPECT_EQ(image.pixel(40, 150), kNavy);
    EXPECT_EQ(image.pixel(40, 149), kWhite);
    EXPECT_EQ(image.pixel(40, 151), kBackground);
    EXPECT_EQ(image.pixel(0, 40), kNavy);  // x = 0 m
    EXPECT_EQ(image.pixel(40, 0), kNavy);  // y = 3000 m
    EXPECT_EQ(countColor(image, kNavy, QRect(1, 1, 198, 148)), 0);

    // Each sheet carries its code, white over grey, about its centre; the sheet from (0, 0) is
    // centred on pixel (100, 225).
    ASSERT_EQ(sheetCodeOfPoint(9, 0, 0), "09JE903");
    const QRect label(40, 200, 120, 50);
    EXPECT_GT(countColor(image, kWhite, label), 10);
    EXPECT_GT(countColor(image, kGrey, label), 3);
    EXPECT_GT(countColor(image, kWhite, QRect(240, 50, 120, 50)), 10);
    EXPECT_EQ(countColor(image, kGrey, QRect(2, 2, 30, 30)), 0);

    // Two pixels wide at 192 pixels per inch.
    QImage wide = blankImage(400, 300);
    {
        QPainter painter(&wide);
        drawMapSheets(painter, sheetView(1), 9, 192, labelFont());
    }
    EXPECT_EQ(countColor(wide, kNavy, QRect(190, 40, 20, 1)), 2);

    // Sheets of 20 pixels: lines but no labels; sheets below a pixel: nothing at all.
    QImage small = blankImage(400, 300);
    QImage dense = blankImage(400, 300);
    {
        QPainter painter(&small);
        drawMapSheets(painter, sheetView(10), 9, 96, labelFont());
        QPainter densePainter(&dense);
        drawMapSheets(densePainter, sheetView(1000), 9, 96, labelFont());
    }
    EXPECT_EQ(small.pixel(20, 40), kNavy);
    EXPECT_EQ(countColor(small, kGrey, small.rect()), 0);
    EXPECT_EQ(countColor(dense, kBackground, dense.rect()), 400 * 300);
}

SHP_POLYLINE ring(int kind, std::initializer_list<FPoint> points) {
    SHP_POLYLINE record;
    record.kind = kind;
    record.points = points;
    return record;
}

void addLayer(HMeshProject& project, std::vector<SHP_POLYLINE> polylines,
              std::vector<SHP_POINT> points = {}) {
    auto layer = std::make_unique<ShpImport>();
    layer->polylines = std::move(polylines);
    layer->points = std::move(points);
    ASSERT_EQ(project.AddShape(layer), 1);
}

TEST(Shapes, PenAndPointSizes) {
    EXPECT_EQ(shapePenPixels(0.75, 96), 3);  // 2.83 rounded
    EXPECT_EQ(shapePenPixels(0.75, 600), 18);
    EXPECT_EQ(shapePenPixels(0.0, 96), 0);
    EXPECT_EQ(shapePointRadius(96), 6);
    EXPECT_EQ(shapePointRadius(72), 4);
    EXPECT_EQ(shapePointRadius(600), 35);
}

TEST(Shapes, FillsOutlinesAndPointsInThreePasses) {
    HMeshProject project;
    project.shapeFillColor = 0x0000FF;  // colours are 0x00BBGGRR: red fill, blue pen
    project.shapeFillAlpha = 255;
    project.shapePenColor = 0xFF0000;
    project.shapePenWidth = 0.75;
    // Layer 1: a square 10..90 m with a hole 40..60 m.
    SHP_POLYLINE square =
        ring(SHP_POLYLINE::kPolygon, {{10, 10}, {10, 90}, {90, 90}, {90, 10}, {10, 10}});
    square.parts.push_back({{40, 40}, {60, 40}, {60, 60}, {40, 60}, {40, 40}});
    addLayer(project, {square});
    // Layer 2: an open line whose fill (the triangle south-east of the diagonal) would cover
    // layer 1's south edge if layers were drawn one after the other.
    addLayer(project, {ring(SHP_POLYLINE::kLine, {{0, 0}, {100, 0}, {100, 100}})});
    // Layer 3: a point at (50, 25).
    addLayer(project, {}, {{1, 50, 25, 0}});

    MapViewport view;  // one pixel per metre, row 0 at 100 m north
    ASSERT_TRUE(view.setView({0, 0, 100, 100}, 100, 100, 0.0));
    QImage image = blankImage(100, 100);
    {
        QPainter painter(&image);
        drawShapes(painter, project, view, 96);
    }
    EXPECT_EQ(image.pixel(25, 50), kRed);         // inside the square
    EXPECT_EQ(image.pixel(45, 45), kBackground);  // the hole
    EXPECT_EQ(image.pixel(95, 50), kRed);         // the open line's triangle
    EXPECT_EQ(image.pixel(5, 50), kBackground);
    // The west edge of the square, 3 pixels wide; the south edge stays over layer 2's fill.
    EXPECT_EQ(countColor(image, kBlue, QRect(0, 30, 20, 1)), 3);
    EXPECT_EQ(image.pixel(10, 30), kBlue);
    EXPECT_EQ(image.pixel(30, 90), kBlue);
    // The point: a black circle of radius 6 around pixel (50, 75), open inside.
    for (const QPoint p : {QPoint(44, 75), QPoint(56, 75), QPoint(50, 69), QPoint(50, 81)})
        EXPECT_EQ(image.pixel(p), kBlack) << p.x() << "," << p.y();
    for (const QPoint p : {QPoint(43, 75), QPoint(57, 75), QPoint(50, 68), QPoint(50, 82)})
        EXPECT_NE(image.pixel(p), kBlack) << p.x() << "," << p.y();
    EXPECT_EQ(image.pixel(50, 75), kRed);

    // Half-transparent fill over the background.
    project.shapeFillAlpha = 128;
    QImage blended = blankImage(100, 100);
    {
        QPainter painter(&blended);
        drawShapes(painter, project, view, 96);
    }
    const QRgb mixed = blended.pixel(25, 50);
    EXPECT_NEAR(qRed(mixed), 228, 2);
    EXPECT_NEAR(qGreen(mixed), 100, 2);
    EXPECT_EQ(blended.pixel(45, 45), kBackground);
}

TEST(TraceLine, WidthsAndDots) {
    MapViewport view;
    ASSERT_TRUE(view.setView({0, 0, 100, 100}, 100, 100, 0.0));
    const std::vector<FPoint> line{{10, 50}, {90, 50}};
    auto draw = [&](const std::vector<FPoint>& points, int width) {
        QImage image = blankImage(100, 100);
        QPainter painter(&image);
        drawTraceLine(painter, view, points, width);
        painter.end();
        return image;
    };
    EXPECT_EQ(countColor(draw(line, 3), kGrey, QRect(50, 0, 1, 100)), 3);
    EXPECT_EQ(countColor(draw(line, 12), kGrey, QRect(50, 0, 1, 100)), 7);
    // Width 0 (and below): a dotted line one pixel wide.
    for (const int width : {0, -4}) {
        const QImage dotted = draw(line, width);
        const int dots = countColor(dotted, kGrey, QRect(12, 50, 76, 1));
        EXPECT_GT(dots, 10);
        EXPECT_LT(dots, 70);
        EXPECT_EQ(countColor(dotted, kGrey, dotted.rect()),
                  countColor(dotted, kGrey, QRect(0, 50, 100, 1)));
    }
    const QImage single = draw({{10, 50}}, 3);
    EXPECT_EQ(countColor(single, kBackground, single.rect()), 100 * 100);
}

}  // namespace
}  // namespace kov
