#include "core/display/ContourOverlay.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>

#include "core/base/SettingsStore.h"
#include "core/display/MapViewport.h"
#include "core/print/PageComposer.h"
#include "support/GuiApplication.h"
#include "support/MeshFixtures.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

// Ground rising 1 m per 10 m eastward over 1000 m x 500 m of 5 m cells: the contour of
// elevation e runs north-south at x = 10 e. Shown on 500 x 250 pixels, 2 m a pixel.
class ContourOverlayTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureGuiApplication();
        settings::setLocation(dir_.file("absent.ini"));
        auto mesh = test::makeMesh(
            200, 100, 5.0, 0.0, 0.0, [](int c, int) { return 10 * c + 5; }, 0.05);
        ASSERT_EQ(project_.AddMesh(mesh), 1);
        project_.UpdateExtent();
        view_.setView({0, 0, 1000, 500}, 500, 250, 5.0);
    }
    // The dark pixels of row y within `reach` columns of x.
    static int darkAround(const QImage& image, int x, int y, int reach) {
        int dark = 0;
        for (int c = std::max(0, x - reach); c <= std::min(image.width() - 1, x + reach); ++c)
            dark += qRed(image.pixel(c, y)) < 200;
        return dark;
    }

    test::TempDir dir_;
    HMeshProject project_;
    MapViewport view_;
};

TEST_F(ContourOverlayTest, LinesLieOnTheirContoursAndIndexLinesAreThicker) {
    QImage image(500, 250, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    ContourCache cache;
    std::string error;
    ASSERT_TRUE(paintContours(painter, project_, view_, {true, 10.0, true}, {}, cache, &error))
        << error;
    painter.end();
    // Row 20 is away from the labels: dark pixels only at the lines, x = 50, 100 ... 450.
    int dark = 0;
    for (int x = 0; x < 500; ++x)
        dark += qRed(image.pixel(x, 20)) < 200;
    int onLines = 0;
    for (int line = 1; line <= 9; ++line) {
        SCOPED_TRACE(line);
        const int near = darkAround(image, 50 * line, 20, 3);
        EXPECT_GE(near, 1);
        onLines += near;
        // The 50 m line (the 5th from 0 m) is the index contour.
        if (line != 5) {
            EXPECT_LT(near, darkAround(image, 250, 20, 3));
        }
    }
    EXPECT_EQ(dark, onLines) << "no line away from a contour";
    // The label sits halfway along the index line.
    EXPECT_GT(darkAround(image, 250, 125, 10), darkAround(image, 250, 20, 10));
}

TEST_F(ContourOverlayTest, AutomaticIntervalIsARoundNumberKeepingLinesApart) {
    for (double metresPerPixel : {0.2, 1.0, 3.7, 6.6, 20.0, 150.0}) {
        SCOPED_TRACE(metresPerPixel);
        const double interval = autoContourInterval(metresPerPixel);
        const double mantissa = interval / std::pow(10.0, std::floor(std::log10(interval) + 1e-9));
        EXPECT_TRUE(std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 ||
                    std::abs(mantissa - 5) < 1e-9);
        // On a 15 % slope the lines stand 8 to 20 pixels apart.
        const double apart = interval / 0.15 / metresPerPixel;
        EXPECT_GE(apart, 8.0 - 1e-9);
        EXPECT_LT(apart, 20.0 + 1e-9);
    }
    EXPECT_EQ(autoContourInterval(25000 * 0.0254 / 96), 10.0) << "1:25 000 on a 96 ppi screen";
}

TEST_F(ContourOverlayTest, PagesCarryTheContoursOfTheirStyle) {
    auto page = [&](int w, int h, int dpi, bool contours) {
        PageStyle style;
        style.scaleBar = false;
        style.contours = {contours, 10.0, true};
        return composePage(project_, view_.world(), w, h, dpi, false, style);
    };
    auto changedAround = [](const QImage& a, const QImage& b, int x, int y, int reach) {
        int n = 0;
        for (int c = x - reach; c <= x + reach; ++c)
            n += a.pixel(c, y) != b.pixel(c, y);
        return n;
    };
    // The 20 m line (x = 200 m) on screen and on paper, where it is drawn 300/96 times as wide.
    const int screen =
        changedAround(page(500, 250, 96, true), page(500, 250, 96, false), 100, 20, 3);
    const int paper =
        changedAround(page(1563, 781, 300, true), page(1563, 781, 300, false), 313, 60, 10);
    EXPECT_GE(screen, 1);
    EXPECT_GE(paper, 2 * screen);
}

}  // namespace
}  // namespace kov
