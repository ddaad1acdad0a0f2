// SPDX-License-Identifier: MIT
#include "core/print/PrintLayout.h"

#include <gtest/gtest.h>

#include <QPainter>

#include "core/base/SettingsStore.h"
#include "support/GuiApplication.h"
#include "support/ImagePixels.h"
#include "support/MeshFixtures.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

// An A4 page at 600 dpi with 4 mm margins: 4772 x 6920 printable pixels.
constexpr PrintDevice kA4At600{4772, 6920, 600};

// The printable area of that page: 95 % of 202.01 mm across, 90 % of 292.95 mm down.
constexpr double kAreaWidth = 191.914, kAreaHeight = 263.652;

TEST(PrintLayoutTest, TheThreeModesRelateAreaPaperAndScale) {
    // The area is checked through the paper sizes that fill it.
    const PrintableArea area = printableArea(kA4At600, false, false);
    // Mode 0: a 1000 m wide view at 1:2500 is 400 mm wide, more than A4 can take (though not
    // too high for it).
    const MapRect view{0, 0, 1000, 600};
    const auto atScale = paperLayout(kPrintAtScale, view, 2500, area);
    ASSERT_TRUE(atScale);
    EXPECT_EQ(std::tuple(atScale->width, atScale->height, atScale->fits),
              std::tuple(400.0, 240.0, false));

    // Mode 1 on a portrait page with a landscape view: the full width, 60 % of it down, and the
    // scale follows from the paper: 1000 m on 191.91 mm.
    const auto fill = paperLayout(kPrintFillPaper, view, 2500, area);
    ASSERT_TRUE(fill);
    EXPECT_NEAR(fill->width, kAreaWidth, 1e-3);
    EXPECT_NEAR(fill->height, 115.148, 1e-3);
    EXPECT_TRUE(fill->fits);
    EXPECT_NEAR(fill->scale, 5210.67, 0.01);
    // A tall view fills the height instead.
    const auto tall = paperLayout(kPrintFillPaper, MapRect{0, 0, 100, 1000}, 2500, area);
    EXPECT_NEAR(tall->height, kAreaHeight, 1e-3);
    EXPECT_NEAR(tall->width, 26.365, 1e-3);

    // Mode 2: the paper is the printable area, the rectangle the scale's share of it around the
    // view's centre: at 1:1000 a millimetre is a metre.
    const auto around = paperLayout(kPrintScaleAround, view, 1000, area);
    ASSERT_TRUE(around);
    EXPECT_NEAR(around->rect.xmin, 500 - kAreaWidth / 2, 1e-3);
    EXPECT_NEAR(around->rect.xmax, 500 + kAreaWidth / 2, 1e-3);
    EXPECT_NEAR(around->rect.ymin, 300 - kAreaHeight / 2, 1e-3);
    EXPECT_NEAR(around->rect.ymax, 300 + kAreaHeight / 2, 1e-3);

    EXPECT_FALSE(paperLayout(kPrintAtScale, view, 0.009, area));
    EXPECT_FALSE(paperLayout(kPrintAtScale, MapRect{0, 0, 0, 10}, 2500, area));
}

TEST(PrintLayoutTest, LargeMapsAreRenderedAtHalfResolutionAndAMapLargerThanThePaperIsCut) {
    PrintSettings s;  // mode 1, no legend, no footer
    // 4533 pixels across (95 % of the page) and a quarter of that down: one side over 2400 is
    // enough to render at half the resolution, then stretch.
    auto plan = planPage(s, kA4At600, MapRect{0, 0, 1600, 400}, false, "", {});
    ASSERT_TRUE(plan);
    EXPECT_EQ(std::tuple(plan->width, plan->height), std::tuple(4533, 1133));
    EXPECT_EQ(std::tuple(plan->renderWidth, plan->renderHeight, plan->renderDpi),
              std::tuple(2266, 566, 300));
    // A tall map of 6228 pixels is halved twice; a map of 2400 pixels at most is rendered as it
    // is.
    plan = planPage(s, kA4At600, MapRect{0, 0, 100, 1000}, false, "", {});
    EXPECT_EQ(std::tuple(plan->renderWidth, plan->renderHeight, plan->renderDpi),
              std::tuple(155, 1557, 150));
    plan = planPage(s, PrintDevice{2526, 4000, 600}, MapRect{0, 0, 100, 100}, false, "", {});
    EXPECT_EQ(std::tuple(plan->width, plan->renderWidth, plan->renderDpi),
              std::tuple(2399, 2399, 600));

    // 1500 x 1000 m at 1:0.5 would be 3 x 2 km of paper: the printable area's share of it
    // around the view's centre (0.5 mm of ground per millimetre), at the same scale.
    s.mode = kPrintAtScale;
    s.scale = 0.5;
    const auto cut = planPage(s, kA4At600, MapRect{0, 0, 1500, 1000}, false, "", {});
    ASSERT_TRUE(cut);
    EXPECT_EQ(std::tuple(cut->width, cut->height), std::tuple(4533, 6228));
    EXPECT_NEAR(cut->rect.xmin, 750 - kAreaWidth / 4000, 1e-5);
    EXPECT_NEAR(cut->rect.xmax, 750 + kAreaWidth / 4000, 1e-5);
    EXPECT_NEAR(cut->rect.ymin, 500 - kAreaHeight / 4000, 1e-5);
    EXPECT_NEAR(cut->rect.ymax, 500 + kAreaHeight / 4000, 1e-5);
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
    HMeshProject project;  // 200 x 100 m rising northward
    auto mesh = test::makeMesh(40, 20, 5.0, 0, 0, [](int, int r) { return 100 + 10 * r; });
    project.AddMesh(mesh);

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
            const QRect rows(0, top, device.width, bottom - top);
            return rows.width() * rows.height() -
                   test::countPixels(page, rows, qRgb(255, 255, 255));
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
        EXPECT_TRUE(footer ? footerInk > 50 : footerInk == 0) << footerInk;
        EXPECT_EQ(inked(plan->footerTop + plan->footerHeight + 2, device.height), 0);
    }
}

}  // namespace
}  // namespace kov
