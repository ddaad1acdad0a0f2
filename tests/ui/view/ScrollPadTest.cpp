#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <memory>
#include <tuple>
#include <vector>

#include "core/base/CommandIds.h"
#include "core/data/ZarHColorMap.h"
#include "core/display/Dib24Image.h"
#include "support/ui/WindowTest.h"
#include "ui/app/CKovVDoc.h"
#include "ui/view/CQLegend.h"
#include "ui/view/CScrButton.h"

namespace kov {
namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new test::ApplicationEnvironment);

TEST(ScrollPad, SectorsAroundTheCentre) {
    const int c = kScrollPadCentre;
    const struct {
        int dx, dy, command;
    } cases[] = {
        {0, 0, kCmdScrollCentre},
        {7, 0, kCmdScrollCentre},
        {5, -6, kCmdScrollCentre},  // within 8 pixels: the centre
        {8, 0, kCmdScrollEast},
        {0, -8, kCmdScrollNorth},
        {-8, 0, kCmdScrollWest},
        {0, 8, kCmdScrollSouth},
        {-c, -1, kCmdScrollWest},
        {-c, 1, kCmdScrollWest},  // either side of the +-180 degree seam
        {-20, -20, kCmdScrollNorthWest},
        {20, -20, kCmdScrollNorthEast},
        {-20, 20, kCmdScrollSouthWest},
        {20, 20, kCmdScrollSouthEast},
        {30, -12, kCmdScrollEast},
        {30, -13, kCmdScrollNorthEast},  // 21.8 and 23.4 degrees (y grows downward)
    };
    for (const auto& k : cases)
        EXPECT_EQ(scrollPadCommand(c + k.dx, c + k.dy), k.command) << k.dx << "," << k.dy;
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
    pad.show();
    click(pad, QPoint(35, 4));
    click(pad, QPoint(35, 35));
    click(pad, QPoint(70, 70));
    EXPECT_EQ(pad.sent, (std::vector<int>{kCmdScrollNorth, kCmdScrollCentre, kCmdScrollSouthEast}));

    // Over the centre the special cursor shows.
    for (const auto& [at, command, shape] :
         {std::tuple{QPointF(36, 36), kCmdScrollCentre, Qt::BitmapCursor},
          {QPointF(5, 35), kCmdScrollWest, Qt::ArrowCursor}}) {
        QMouseEvent move(QEvent::MouseMove, at, pad.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(&pad, &move);
        EXPECT_EQ(pad.Command(), command);
        EXPECT_EQ(pad.cursor().shape(), shape);
    }
}

// A document with a small project open; the colour map has its default stops 0 m and 200 m.
class LegendTest : public test::WindowTest {
protected:
    void SetUp() override {
        test::WindowTest::SetUp();
        const std::string project = test::writeTileProject({}, dir_.path());
        ASSERT_TRUE(doc_.OnOpenDocument(QString::fromStdString(project)));
    }

    test::TempDir dir_;
    CKovVDoc doc_;
};

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

    // Without a document the legend stays empty.
    CQLegend empty(nullptr);
    empty.resize(79, 320);
    const QImage blank = empty.grab().toImage();
    EXPECT_EQ(blank.pixel(40, 160), blank.pixel(40, 5));
}

}  // namespace
}  // namespace kov
