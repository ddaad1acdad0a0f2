// SPDX-License-Identifier: MIT
#include "core/display/ContourOverlay.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>

#include "core/base/SettingsStore.h"
#include "core/display/MapViewport.h"
#include "core/print/PageComposer.h"
#include "support/GuiApplication.h"
#include "support/ImagePixels.h"
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
    // The ink over white in the area: how much darker than white its pixels are, summed.
    static int ink(const QImage& image, const QRect& area) {
        int sum = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                sum += 255 - qRed(image.pixel(x, y));
        return sum;
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
    // Row 20 is away from the labels: ink only at the lines, x = 50, 100 ... 450.
    const int lineInk = ink(image, QRect(47, 20, 7, 1));
    int onLines = 0;
    for (int line = 1; line <= 9; ++line) {
        SCOPED_TRACE(line);
        const int near = ink(image, QRect(50 * line - 3, 20, 7, 1));
        // The 50 m line (the 5th from 0 m) is the index contour, twice as wide.
        EXPECT_NEAR(near, line == 5 ? 2 * lineInk : lineInk, lineInk / 4);
        onLines += near;
    }
    EXPECT_GT(lineInk, 100);
    EXPECT_EQ(ink(image, QRect(0, 20, 500, 1)), onLines) << "no line away from a contour";
    // The label sits halfway along the index line: ink beside the line there only.
    EXPECT_GT(ink(image, QRect(243, 105, 5, 40)), 500);
    EXPECT_EQ(ink(image, QRect(243, 20, 5, 40)), 0);
}

TEST_F(ContourOverlayTest, AutomaticIntervalKeepsLinesApartOnATypicalSlope) {
    for (double metresPerPixel : {0.2, 3.7, 6.6, 150.0}) {
        SCOPED_TRACE(metresPerPixel);
        const double apart = autoContourInterval(metresPerPixel) / 0.15 / metresPerPixel;
        EXPECT_TRUE(apart >= 8.0 - 1e-9 && apart < 20.0 + 1e-9) << apart << " pixels";
    }
    EXPECT_EQ(autoContourInterval(25000 * 0.0254 / 96), 10.0) << "1:25 000 on a 96 ppi screen";
}

TEST_F(ContourOverlayTest, PagesCarryTheContoursOfTheirStyleScaledToTheirResolution) {
    // The pixels the 20 m line (x = 200 m) changes in a row, on screen and at 300 dpi.
    auto lineWidth = [&](int w, int h, int dpi) {
        PageStyle style;
        style.scaleBar = false;
        const QImage plain = composePage(project_, view_.world(), w, h, dpi, false, style);
        style.contours = {true, 10.0, true};
        const QImage lined = composePage(project_, view_.world(), w, h, dpi, false, style);
        return test::differingPixels(plain, lined, QRect(w / 5 - 10, h / 12, 21, 1));
    };
    const int screen = lineWidth(500, 250, 96);
    EXPECT_GE(screen, 1);
    EXPECT_GE(lineWidth(1563, 781, 300), 2 * screen);
}

}  // namespace
}  // namespace kov
