#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <memory>
#include <vector>

#include "core/base/CommandIds.h"
#include "core/base/SettingsStore.h"
#include "core/data/HMeshProject.h"
#include "core/data/ZarHColorMap.h"
#include "core/data/ZarVeyMesh5.h"
#include "core/display/Dib24Image.h"
#include "core/project/ProjectFile.h"
#include "support/TestSupport.h"
#include "support/ui/TestApplication.h"
#include "ui/app/CKovVDoc.h"
#include "ui/view/CQLegend.h"
#include "ui/view/CQuickBar.h"
#include "ui/view/CScrButton.h"

namespace kov {
namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new test::ApplicationEnvironment);

TEST(ScrollPad, SectorsAroundTheCentre) {
    const int c = kScrollPadCentre;
    EXPECT_EQ(scrollPadCommand(c, c), kCmdScrollCentre);
    EXPECT_EQ(scrollPadCommand(c + 7, c), kCmdScrollCentre);
    EXPECT_EQ(scrollPadCommand(c + 5, c - 6), kCmdScrollCentre);  // 61 < 64
    // Exactly 8 pixels from the centre is a direction.
    EXPECT_EQ(scrollPadCommand(c + 8, c), kCmdScrollEast);
    EXPECT_EQ(scrollPadCommand(c, c - 8), kCmdScrollNorth);
    EXPECT_EQ(scrollPadCommand(c - 8, c), kCmdScrollWest);
    EXPECT_EQ(scrollPadCommand(c, c + 8), kCmdScrollSouth);

    // Straight up, and straight left from both sides of the +-180 degree seam.
    EXPECT_EQ(scrollPadCommand(c, 0), kCmdScrollNorth);
    EXPECT_EQ(scrollPadCommand(0, c), kCmdScrollWest);
    EXPECT_EQ(scrollPadCommand(0, c - 1), kCmdScrollWest);
    EXPECT_EQ(scrollPadCommand(0, c + 1), kCmdScrollWest);

    // The diagonals (y grows downward on the pad).
    EXPECT_EQ(scrollPadCommand(c - 20, c - 20), kCmdScrollNorthWest);
    EXPECT_EQ(scrollPadCommand(c + 20, c - 20), kCmdScrollNorthEast);
    EXPECT_EQ(scrollPadCommand(c - 20, c + 20), kCmdScrollSouthWest);
    EXPECT_EQ(scrollPadCommand(c + 20, c + 20), kCmdScrollSouthEast);
    // Either side of the 22.5 degree bound between right and up-right (tan 22.5 = 0.414).
    EXPECT_EQ(scrollPadCommand(c + 30, c - 12), kCmdScrollEast);       // 21.8 degrees
    EXPECT_EQ(scrollPadCommand(c + 30, c - 13), kCmdScrollNorthEast);  // 23.4 degrees
}

class PadButton : public CScrButton {
public:
    std::vector<int> sent;

protected:
    void sendCommand(int command) override { sent.push_back(command); }
};

void click(QWidget& widget, QPoint pos) {
    QMouseEvent press(QEvent::MouseButtonPress, pos, widget.mapToGlobal(pos), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, pos, widget.mapToGlobal(pos), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &release);
}

TEST(ScrollPad, ClicksSendTheCommandOfTheirZone) {
    PadButton pad;
    EXPECT_EQ(pad.objectName(), QString::number(kCmdScrollPad));
    EXPECT_EQ(pad.size(), QSize(79, 79));
    pad.show();
    click(pad, QPoint(35, 4));
    click(pad, QPoint(35, 35));
    click(pad, QPoint(70, 70));
    EXPECT_EQ(pad.sent, (std::vector<int>{kCmdScrollNorth, kCmdScrollCentre, kCmdScrollSouthEast}));

    // Over the centre the special cursor shows.
    QMouseEvent move(QEvent::MouseMove, QPointF(36, 36), pad.mapToGlobal(QPointF(36, 36)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&pad, &move);
    EXPECT_EQ(pad.Command(), kCmdScrollCentre);
    EXPECT_EQ(pad.cursor().shape(), Qt::BitmapCursor);
    QMouseEvent away(QEvent::MouseMove, QPointF(5, 35), pad.mapToGlobal(QPointF(5, 35)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&pad, &away);
    EXPECT_EQ(pad.Command(), kCmdScrollWest);
    EXPECT_EQ(pad.cursor().shape(), Qt::ArrowCursor);
}

// A document with a small project open; the colour map has its default stops 0 m and 200 m.
class LegendTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings::setLocation(dir_.file("kov.ini"));
        test::TileSpec tile;
        test::writeTile(tile, dir_.file("t.kov"));
        HMeshProject project;
        std::unique_ptr<ZarHMesh> mesh = std::make_unique<ZarVeyMesh5>();
        ASSERT_TRUE(mesh->Load(dir_.file("t.kov")));
        ASSERT_EQ(project.AddMesh(mesh), 1);
        project.UpdateExtent();
        ASSERT_TRUE(SaveProjectFile(project, dir_.file("p.kovv5")));
        ASSERT_TRUE(doc_.OnOpenDocument(QString::fromStdString(dir_.file("p.kovv5"))));
    }
    void TearDown() override { settings::setLocation(""); }

    test::TempDir dir_;
    CKovVDoc doc_;
};

TEST_F(LegendTest, BarHoldsPadAboveLegend) {
    CQuickBar bar(&doc_);
    CScrButton* pad = bar.findChild<CScrButton*>(QString::number(kCmdScrollPad));
    CQLegend* legend = bar.findChild<CQLegend*>(QStringLiteral("9999"));
    ASSERT_NE(pad, nullptr);
    ASSERT_NE(legend, nullptr);
    EXPECT_EQ(pad->geometry(), QRect(6, 6, 79, 79));
    EXPECT_EQ(legend->geometry(), QRect(6, 6 + 79 + 16, 79, 320));
    EXPECT_EQ(bar.size(), QSize(79 + 12, 79 + 16 + 320 + 12));
}

TEST_F(LegendTest, StripAndLabelsOfTheColourMap) {
    const ZarHColorMap& map = *doc_.meshes()->GetColorMap(0);
    const LegendLabels labels = colorMapLegendLabels(map);
    EXPECT_EQ(labels.top, QStringLiteral("200 (m)"));
    EXPECT_EQ(labels.bottom, QStringLiteral("0 (m)"));

    ZarHColorMap other;
    ColorStop stops[3];
    stops[0].height = -12.26;
    stops[1].height = 5.0;
    stops[2].height = 1234.56;
    other.setStops(stops, 3);
    EXPECT_EQ(colorMapLegendLabels(other).top, QStringLiteral("1234.6 (m)"));
    EXPECT_EQ(colorMapLegendLabels(other).bottom, QStringLiteral("-12.3 (m)"));

    // The strip is the colour map's vertical strip, 20 pixels from the top: highest at the top.
    CQLegend legend(&doc_);
    legend.resize(79, 320);
    const QImage face = legend.grab().toImage();
    const QImage strip = dib24ToImage(map.makeStrip(79, 280, true));
    for (const QPoint p : {QPoint(40, 0), QPoint(78, 1), QPoint(3, 140), QPoint(60, 279)}) {
        EXPECT_EQ(face.pixel(p.x(), p.y() + 20), strip.pixel(p)) << p.x() << "," << p.y();
    }
    Rgb top;
    ASSERT_TRUE(map.colorAt(200.0, top));
    const QColor near(face.pixel(78, 21));
    EXPECT_NEAR(near.red(), top.red, 40);
    EXPECT_NEAR(near.green(), top.green, 40);
    EXPECT_NEAR(near.blue(), top.blue, 40);

    // Without a document the legend stays empty.
    CQLegend empty(nullptr);
    empty.resize(79, 320);
    const QImage blank = empty.grab().toImage();
    EXPECT_EQ(blank.pixel(40, 160), blank.pixel(40, 5));
}

}  // namespace
}  // namespace kov
