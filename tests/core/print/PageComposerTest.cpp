// SPDX-License-Identifier: MIT
#include "core/print/PageComposer.h"

#include <gtest/gtest.h>

#include <QPainter>

#include "core/base/SettingsStore.h"
#include "core/data/HMeshProject.h"
#include "core/data/ZarHColorMap.h"
#include "core/display/ScaleBar.h"
#include "core/project/LayerLoader.h"
#include "support/GuiApplication.h"
#include "support/ImagePixels.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

using test::countPixels;

class PageComposerTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureGuiApplication();  // text drawing needs a GUI application
        settings::setLocation(dir_.file("absent.ini"));
        test::TileSpec tile;
        tile.cols = 40;
        tile.rows = 30;
        tile.xmin = -8000;
        tile.ymin = -36000;
        for (int r = 0; r < tile.rows; ++r)
            tile.codes.emplace_back(tile.cols, 100 + 10 * r);
        test::writeTile(tile, dir_.file("T.kov"));
        LoadReport report;
        ASSERT_EQ(loadLayerPaths({dir_.file("T.kov")}, project_, report), 1);
        project_.GetExtent(rect_);
    }
    test::TempDir dir_;
    HMeshProject project_;
    MapRect rect_;
};

TEST_F(PageComposerTest, LegendBandGrowsThePageAndShowsPaintedColoursOnly) {
    EXPECT_EQ(legendBandHeight(300), 200);  // 9/4 of 7.5 mm (89 pixels); 63 at 96 dpi below
    const QImage plain = composePage(project_, rect_, 200, 150, 300, false);
    EXPECT_EQ(std::tuple(plain.size(), plain.dotsPerMeterX()), std::tuple(QSize(200, 150), 11811));

    ZarHColorMap& map = *project_.GetColorMap(0);
    map.seaColor = 0x00FF00;  // painted water: a box in the band
    map.noDataColor = 0x0000FF | kColorNotPainted;
    QImage page = composePage(project_, rect_, 400, 150, 96, true);
    ASSERT_EQ(page.size(), QSize(400, 150 + 63));
    const QRect band(0, 150, 400, 63);
    EXPECT_GT(countPixels(page, band, qRgb(0, 255, 0)), 50);
    EXPECT_EQ(countPixels(page, band, qRgb(255, 0, 0)), 0);

    map.seaColor |= kColorNotPainted;
    map.noDataColor &= ~kColorNotPainted;
    page = composePage(project_, rect_, 400, 150, 96, true);
    EXPECT_EQ(countPixels(page, band, qRgb(0, 255, 0)), 0);
    EXPECT_GT(countPixels(page, band, qRgb(255, 0, 0)), 50);
}

TEST_F(PageComposerTest, OverlaysFollowTheProjectAndStyle) {
    PageStyle noScaleBar;
    noScaleBar.scaleBar = false;
    // Over the sample block the sheet lines are navy; without them no navy is drawn.
    const MapRect block{-10000, -37500, -4000, -33000};
    project_.showSheetInfo = 0;
    const QImage bare = composePage(project_, block, 300, 200, 96, false, noScaleBar);
    EXPECT_EQ(countPixels(bare, bare.rect(), qRgb(0, 0, 128)), 0);
    project_.showSheetInfo = 1;
    const QImage sheets = composePage(project_, block, 300, 200, 96, false, noScaleBar);
    EXPECT_GT(countPixels(sheets, sheets.rect(), qRgb(0, 0, 128)), 300);

    project_.showSheetInfo = 0;
    const QImage scaleBar = composePage(project_, block, 300, 200, 96, false);
    EXPECT_GT(countPixels(scaleBar, QRect(0, 160, 300, 40), qRgb(0, 0, 128)), 20);
    // It is the bar of the page's scale: 6000 m over 300 pixels.
    QImage expected = bare;
    QPainter painter(&expected);
    drawScaleBar(painter, expected.rect(), 20.0, 96, PageStyle().font);
    painter.end();
    EXPECT_EQ(scaleBar, expected);
    EXPECT_TRUE(composePage(project_, MapRect{1, 1, 1, 2}, 300, 200, 96, false).isNull());
}

}  // namespace
}  // namespace kov
