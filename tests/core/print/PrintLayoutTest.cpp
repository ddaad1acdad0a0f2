#include "core/print/PrintLayout.h"

#include <gtest/gtest.h>

#include <QPainter>

#include "core/base/SettingsStore.h"
#include "core/project/LayerLoader.h"
#include "support/GuiApplication.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

// An A4 page at 600 dpi with 4 mm margins: 4772 x 6920 printable pixels.
constexpr PrintDevice kA4At600{4772, 6920, 600};

TEST(PrintLayoutTest, TheThreeModesRelateAreaPaperAndScale) {
    const PrintableArea area = printableArea(kA4At600, false, false);
    // Mode 0: a 1000 m wide view at 1:2500 is 400 mm wide, more than A4 can take.
    const MapRect view{0, 0, 1000, 600};
    const auto atScale = paperLayout(kPrintAtScale, view, 2500, area);
    ASSERT_TRUE(atScale);
    EXPECT_DOUBLE_EQ(atScale->width, 400.0);
    EXPECT_DOUBLE_EQ(atScale->height, 240.0);
    EXPECT_FALSE(atScale->fits);

    // Mode 1 on a portrait page with a landscape view: the full width, part of the height, the
    // map's shape kept; the scale follows from the paper.
    const auto fill = paperLayout(kPrintFillPaper, view, 2500, area);
    ASSERT_TRUE(fill);
    EXPECT_NEAR(fill->width, area.width, 1e-9);
    EXPECT_NEAR(fill->height, area.width * 0.6, 1e-9);
    EXPECT_LT(fill->height, area.height);
    EXPECT_TRUE(fill->fits);
    EXPECT_NEAR(fill->scale, 1000.0 * 1000.0 / area.width, 1e-6);
    // A tall view fills the height instead.
    const auto tall = paperLayout(kPrintFillPaper, MapRect{0, 0, 100, 1000}, 2500, area);
    EXPECT_NEAR(tall->height, area.height, 1e-9);
    EXPECT_NEAR(tall->width, area.height / 10, 1e-9);

    // Mode 2: the paper is the printable area, the rectangle the scale's share of it around the
    // view's centre.
    const auto around = paperLayout(kPrintScaleAround, view, 1000, area);
    ASSERT_TRUE(around);
    EXPECT_NEAR(around->rect.xmin + around->rect.xmax, 1000.0, 1e-9);
    EXPECT_NEAR(around->rect.ymin + around->rect.ymax, 600.0, 1e-9);
    EXPECT_NEAR(around->rect.xmax - around->rect.xmin, area.width, 1e-9);  // 1 mm is 1 m
    EXPECT_NEAR(around->rect.ymax - around->rect.ymin, area.height, 1e-9);

    EXPECT_FALSE(paperLayout(kPrintAtScale, view, 0.009, area));
    EXPECT_FALSE(paperLayout(kPrintAtScale, MapRect{0, 0, 0, 10}, 2500, area));
}

TEST(PrintLayoutTest, LargeMapsAreRenderedAtHalfResolutionAndAMapLargerThanThePaperIsCut) {
    PrintSettings s;  // mode 1, no legend, no footer
    const auto plan = planPage(s, kA4At600, MapRect{0, 0, 1600, 900}, false, "", {});
    ASSERT_TRUE(plan);
    // About 4500 pixels across at 600 dpi: rendered at half that and 300 dpi, then stretched.
    EXPECT_NEAR(plan->width, 4500, 50);
    EXPECT_EQ(std::tuple(plan->renderWidth, plan->renderHeight, plan->renderDpi),
              std::tuple(plan->width / 2, plan->height / 2, 300));
    EXPECT_TRUE(plan->footer.isEmpty());

    // 1500 x 1000 m at 1:0.5 would be 3 x 2 km of paper: the printable area's share of it
    // around the view's centre, at the same scale.
    s.mode = kPrintAtScale;
    s.scale = 0.5;
    const PrintableArea area = printableArea(kA4At600, false, false);
    const auto cut = planPage(s, kA4At600, MapRect{0, 0, 1500, 1000}, false, "", {});
    ASSERT_TRUE(cut);
    EXPECT_LE(cut->width, 4772);
    EXPECT_LE(cut->height, 6920);
    EXPECT_NEAR(cut->rect.xmax - cut->rect.xmin, area.width * 0.5 / 1000, 1e-9);
    EXPECT_NEAR(cut->rect.ymax - cut->rect.ymin, area.height * 0.5 / 1000, 1e-9);
    EXPECT_NEAR(cut->rect.xmin + cut->rect.xmax, 1500.0, 1e-9);
    EXPECT_NEAR(cut->rect.ymin + cut->rect.ymax, 1000.0, 1e-9);
    EXPECT_DOUBLE_EQ(cut->scale, 0.5);

    s.scale = 0.005;
    EXPECT_FALSE(planPage(s, kA4At600, MapRect{0, 0, 1600, 900}, false, "", {}));
}

TEST(PrintLayoutTest, FooterJoinsTheChosenItemsAndSitsBelowTheLegendBand) {
    const QDateTime when(QDate(2024, 3, 5), QTime(9, 5, 7));
    PrintSettings s;
    s.comment = true;  // a comment box ticked without text adds nothing
    EXPECT_EQ(footerText(s, "T", 2500, when), QString());
    s.title = s.date = s.time = s.scaleText = true;
    s.commentText = "note";
    EXPECT_EQ(footerText(s, "地区", 12500, when), "地区  2024/3/5  9:05:07  SCALE: 1/12,500  note");

    s.legend = true;
    s.mode = kPrintAtScale;
    s.scale = 10000;  // 1000 x 500 m: 100 x 50 mm
    const auto plan = planPage(s, kA4At600, MapRect{0, 0, 1000, 500}, false, "t", when);
    ASSERT_TRUE(plan);
    EXPECT_EQ(std::pair(plan->band, plan->footerHeight), std::pair(236, 75));  // 10 mm, 1/8 inch
    EXPECT_GT(plan->footerTop, plan->top + plan->height + plan->band);
    // On a short page the footer stays 10/72 inch above the page's end.
    s.scale = 2000;
    const auto low =
        planPage(s, PrintDevice{4772, 1200, 600}, MapRect{0, 0, 300, 1100}, false, "t", when);
    EXPECT_EQ(low->footerTop, 1116);
}

TEST(PrintLayoutTest, DrawsTheMapInItsPlaceAndTheFooterBelow) {
    test::ensureGuiApplication();
    test::TempDir dir;
    settings::setLocation(dir.file("absent.ini"));
    test::TileSpec tile;
    tile.cols = 40;
    tile.rows = 20;
    for (int r = 0; r < tile.rows; ++r)
        tile.codes.emplace_back(tile.cols, 100 + 10 * r);
    test::writeTile(tile, dir.file("T.kov"));
    HMeshProject project;
    LoadReport report;
    ASSERT_EQ(loadLayerPaths({dir.file("T.kov")}, project, report), 1);

    PrintSettings s;
    s.legend = true;
    const PrintDevice device{800, 1100, 100};
    for (const bool footer : {false, true}) {
        s.scaleText = footer;
        const auto plan = planPage(s, device, MapRect{0, 0, 200, 100}, false, "", {});
        ASSERT_TRUE(plan);
        QImage page(device.width, device.height, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        ASSERT_TRUE(drawPlannedPage(painter, project, *plan, {}));
        painter.end();
        auto inked = [&](int top, int bottom) {
            int count = 0;
            for (int y = top; y < bottom; ++y)
                for (int x = 0; x < device.width; ++x)
                    count += page.pixel(x, y) != qRgb(255, 255, 255);
            return count;
        };
        // The map covers its rectangle exactly, centred across the page.
        EXPECT_LE(std::abs(2 * plan->left + plan->width - device.width), 1);
        EXPECT_NE(page.pixel(plan->left, plan->top), qRgb(255, 255, 255));
        EXPECT_NE(page.pixel(plan->left + plan->width - 1, plan->top + plan->height - 1),
                  qRgb(255, 255, 255));
        EXPECT_EQ(page.pixel(plan->left - 1, plan->top + 5), qRgb(255, 255, 255));
        EXPECT_EQ(page.pixel(plan->left + plan->width, plan->top + 5), qRgb(255, 255, 255));
        EXPECT_EQ(inked(0, plan->top), 0);
        const int footerInk = inked(plan->footerTop, plan->footerTop + plan->footerHeight);
        if (footer) {
            EXPECT_GT(footerInk, 50);
        } else {
            EXPECT_EQ(footerInk, 0);
        }
        EXPECT_EQ(inked(plan->footerTop + plan->footerHeight + 2, device.height), 0);
    }
}

}  // namespace
}  // namespace kov
