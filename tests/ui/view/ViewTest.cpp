// SPDX-License-Identifier: MIT
#include <QClipboard>
#include <QMouseEvent>
#include <QTest>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/base/CommandIds.h"
#include "core/data/ZarHColorMap.h"
#include "core/display/Dib24Image.h"
#include "core/display/MapStatusText.h"
#include "core/flood/FloodEstimate.h"
#include "core/print/PageComposer.h"
#include "support/ui/WindowTest.h"
#include "ui/app/CKovVDoc.h"
#include "ui/view/CKovVView.h"
#include "ui/view/CQLegend.h"
#include "ui/view/CQuickBar.h"
#include "ui/view/CScrButton.h"
#include "ui/view/CTipWnd.h"

namespace kov {
namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new test::ApplicationEnvironment);

// The tile of the tests: 400 x 300 cells of 5 m from the zone origin (2000 m x 1500 m); water in
// the 20 westernmost columns, no data in the 20 x 20 cells of the south-east corner, elevation
// column + row / 10 metres elsewhere.
int testCode(int c, int r) {
    if (c < 20) return -9999;
    if (c >= 380 && r < 20) return -1111;
    return c * 10 + r;
}

// A view whose frame services are recorded.
class TestView : public CKovVView {
public:
    using CKovVView::CKovVView;
    std::map<int, QString> panes;
    std::vector<int> commands;

protected:
    void sendStatusText(int pane, const QString& text) override { panes[pane] = text; }
    void sendCommand(int id) override { commands.push_back(id); }
};

// A track route that records what the view hands over: "zoom MODE" (with " @" when anchored),
// "mouse EVENT" and "cancel".
class RecordingRoute : public ViewTrackRoute {
public:
    bool running = false;
    std::vector<std::string> calls;
    FPoint anchor;

    bool isRunning(CKovVView&) override { return running; }
    void OnMouse(CKovVView&, MouseEvent event, unsigned, const FPoint&) override {
        if (event != MouseMove) calls.push_back("mouse " + std::to_string(event));
    }
    void Cancel(CKovVView&) override { calls.push_back("cancel"); }
    bool startZoom(CKovVView&, int mode, const FPoint* at) override {
        calls.push_back("zoom " + std::to_string(mode) + (at ? " @" : ""));
        if (at) anchor = *at;
        return true;
    }
    void paintFeedback(CKovVView&, QPainter&) override {}
    std::optional<QCursor> Cursor(CKovVView&) override { return std::nullopt; }
};

class KovVViewTest : public test::WindowTest {
protected:
    void SetUp() override {
        test::WindowTest::SetUp();
        view_ = std::make_unique<TestView>(&doc_);
        doc_.setView(view_.get());
        view_->resize(800, 600);
        view_->show();
    }
    void TearDown() override {
        CKovVView::setTrackRoute(nullptr);
        view_.reset();
        test::WindowTest::TearDown();
    }

    void openProject() {
        ASSERT_TRUE(doc_.OnOpenDocument(
            QString::fromStdString(test::writeCodedProject(dir_, 400, 300, testCode))));
        ASSERT_TRUE(doc_.HasProject());
    }

    void move(QPoint pos) { press(pos, Qt::NoButton, {}, QEvent::MouseMove); }
    void press(QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers = {},
               QEvent::Type type = QEvent::MouseButtonPress) {
        QMouseEvent event(type, pos, view_->mapToGlobal(pos), button, button, modifiers);
        QCoreApplication::sendEvent(view_.get(), &event);
    }
    void pressKey(int key) { QTest::keyClick(view_.get(), Qt::Key(key)); }
    void wheel(QPoint pos, int delta, Qt::KeyboardModifiers modifiers = {}) {
        QWheelEvent event(pos, view_->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view_.get(), &event);
    }
    double viewWidth() const { return view_->viewport().x1 - view_->viewport().x0; }
    CommandState state(int id) {
        CommandState state;
        EXPECT_TRUE(view_->OnUpdateCommand(id, state)) << id;
        return state;
    }
    // Presses the key while the condition holds (at most 20 times); answers the count.
    int pressWhile(int key, const std::function<bool()>& condition) {
        int count = 0;
        for (; condition() && count < 20; ++count)
            pressKey(key);
        return count;
    }
    QPointF viewCentre() const {
        const MapViewport& v = view_->viewport();
        return QPointF((v.x0 + v.x1) / 2, (v.y0 + v.y1) / 2);
    }
    // The pixel over the centre of a cell of the test tile.
    QPoint cellPixel(int c, int r) const {
        return view_->viewport().mapToPixel(c * 5 + 2.5, r * 5 + 2.5);
    }

    test::TempDir dir_;
    CKovVDoc doc_;
    std::unique_ptr<TestView> view_;
};

TEST_F(KovVViewTest, StatusPanesDescribeThePointUnderTheCursor) {
    // Without a project the panes are emptied.
    view_->panes[4] = "old";
    move(QPoint(100, 100));
    EXPECT_EQ(view_->panes[4], QString());

    openProject();
    // The whole tile fits: 2000 m x 1500 m at 0.4 pixels per metre.
    EXPECT_NEAR(view_->viewport().unitsPerPixel, 2.5, 1e-3);

    move(cellPixel(100, 50));
    const FPoint p = view_->viewport().deviceToMap(cellPixel(100, 50));
    const StatusTexts texts = statusTexts(doc_.coordinates(), 9, p.x, p.y, 105.0);
    for (const auto& [pane, text] :
         {std::pair{1, texts.latLong}, {2, texts.plane}, {3, texts.sheet}, {4, texts.elevation}})
        EXPECT_EQ(view_->panes[pane].toStdString(), text) << pane;

    move(cellPixel(5, 100));
    EXPECT_EQ(view_->panes[4], QStringLiteral("  水域"));
    move(cellPixel(390, 5));
    EXPECT_EQ(view_->panes[4], QStringLiteral("H: ******"));
    // Beyond the tile (the window is wider than the tile's aspect needs).
    view_->pan(-1.0, 0.0);
    move(QPoint(5, 300));
    EXPECT_EQ(view_->panes[4], QStringLiteral("H: ******"));

    // The map moves under a resting cursor: the panes follow the point now under it.
    view_->OnCommand(kCmdShowWholeArea);
    const QPoint resting = cellPixel(100, 50);
    QCursor::setPos(view_->mapToGlobal(resting));
    move(resting);
    pressKey(Qt::Key_Right);
    const FPoint moved = view_->viewport().deviceToMap(resting);
    EXPECT_EQ(view_->panes[2].toStdString(),
              statusTexts(doc_.coordinates(), 9, moved.x, moved.y, 0.0).plane);

    view_->setStartScreen(true);
    move(cellPixel(100, 50));
    EXPECT_EQ((std::vector{view_->panes[1], view_->panes[2], view_->panes[3], view_->panes[4]}),
              std::vector<QString>(4));
}

TEST_F(KovVViewTest, KeysWheelAndCommandsZoomAndPan) {
    openProject();
    // Until it is zoomed or moved, the project stays fitted whole while the window changes size
    // (a window manager may size the window only after a project named on the command line
    // opened).
    view_->resize(600, 600);
    EXPECT_NEAR(viewWidth(), 2000.0, 10.0);
    view_->resize(800, 600);
    const QPointF centre = viewCentre();
    // 0.4 -> 0.8 -> 1.6 -> 3.2 -> 5 (capped) pixels per metre; the centre stays.
    EXPECT_EQ(pressWhile(Qt::Key_PageUp, [this] { return view_->canZoomIn(); }), 4);
    EXPECT_NEAR(800 / viewWidth(), 5.0, 1e-3);
    EXPECT_NEAR(viewCentre().x(), centre.x(), 20.0);
    EXPECT_FALSE(state(kCmdZoomIn).enabled);
    EXPECT_EQ(pressWhile(Qt::Key_PageDown, [this] { return view_->canZoomOut(); }), 6);
    EXPECT_TRUE(view_->OnCommand(kCmdShowWholeArea));  // the whole area again
    EXPECT_NEAR(viewWidth(), 2000.0, 1.0);

    // A wheel notch zooms one level about the map point under the cursor; backward zooms out.
    const QPoint corner(200, 150);
    const FPoint anchor = view_->viewport().deviceToMap(corner);
    wheel(corner, 120);
    EXPECT_NEAR(viewWidth(), 1000.0, 10.0);
    const FPoint there = view_->viewport().deviceToMap(corner);
    EXPECT_LT(std::hypot(there.x - anchor.x, there.y - anchor.y), 10.0);
    wheel(corner, -120);
    EXPECT_NEAR(viewWidth(), 2000.0, 20.0);

    // Arrow keys and scroll commands pan by half the view.
    const QPointF start = viewCentre();
    const double w = viewWidth();
    const double h = view_->viewport().y1 - view_->viewport().y0;
    pressKey(Qt::Key_Right);
    pressKey(Qt::Key_Up);
    EXPECT_EQ(viewCentre() - start, QPointF(w / 4, h / 4));  // QPointF compares fuzzily
    EXPECT_TRUE(view_->OnCommand(kCmdScrollSouthWest));      // down-left
    EXPECT_EQ(viewCentre(), start);
    EXPECT_DOUBLE_EQ(viewWidth(), w);
    // Once moved, a new window size keeps the scale.
    view_->resize(600, 600);
    EXPECT_NEAR(viewWidth(), w * 600 / 800, 10.0);
}

TEST_F(KovVViewTest, StartScreenKeysAndClicksAskForAProject) {
    for (int key : {Qt::Key_Return, Qt::Key_A, Qt::Key_F1, Qt::Key_Shift})
        pressKey(key);
    press(QPoint(10, 10), Qt::LeftButton);
    press(QPoint(10, 10), Qt::RightButton);
    EXPECT_EQ(view_->commands, (std::vector<int>{kCmdOpenProject, kCmdNewProject, kCmdNewProject}));

    // While the start picture is up, the first key or left click only takes it away.
    view_->commands.clear();
    view_->setStartScreen(true);
    pressKey(Qt::Key_Return);
    EXPECT_FALSE(view_->startScreen());
    view_->setStartScreen(true);
    press(QPoint(10, 10), Qt::LeftButton);
    EXPECT_FALSE(view_->startScreen());
    EXPECT_TRUE(view_->commands.empty());

    EXPECT_EQ(CKovVView::versionText("3.1.4"), QStringLiteral("Kov View5 Version 3.14"));
}

TEST_F(KovVViewTest, CopyPutsTheViewWithItsLegendOnTheClipboard) {
    openProject();
    QGuiApplication::clipboard()->clear();
    EXPECT_TRUE(view_->OnCommand(kCmdCopyViewToClipboard));
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(800, 600 + legendBandHeight(96)));
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(KovVViewTest, ReliefIsRenderedOnceAndTheTipDoesNotRedrawIt) {
    openProject();
    view_->grab();  // paints: renders the relief
    ASSERT_EQ(view_->reliefImage().size(), QSize(800, 600));
    const qint64 key = view_->reliefImage().cacheKey();

    // The cursor rests: the quick tip opens with the point's texts, the relief stays.
    const QPoint pos = cellPixel(100, 50);
    move(pos);
    CTipWnd* tip = view_->tipWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return tip->isVisible(); }, 3000));
    const FPoint p = view_->viewport().deviceToMap(pos);
    EXPECT_EQ(tip->Text().toStdString(), quickTipText(doc_.coordinates(), 9, p.x, p.y, 105.0));
    EXPECT_EQ(tip->size(), CTipWnd::tipSize(tip->Text(), tip->tipFont()));
    view_->grab();
    EXPECT_EQ(view_->reliefImage().cacheKey(), key);

    // Leaving closes it; so does every viewport change, which also drops the relief.
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(view_.get(), &leave);
    EXPECT_FALSE(tip->isVisible());
    move(pos);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tip->isVisible(); }, 3000));
    pressKey(Qt::Key_Right);
    EXPECT_EQ(std::tuple(tip->isVisible(), view_->reliefImage().isNull()), std::tuple(false, true));

    // Switched off, the tip stays closed; the choice is stored.
    EXPECT_TRUE(view_->OnCommand(kCmdToggleQuickCoordinates));
    EXPECT_EQ(settings::readInt("KovViewTip", "QTip", 1), 0);
    move(pos);
    EXPECT_FALSE(QTest::qWaitFor([&] { return tip->isVisible(); }, 800));
    EXPECT_FALSE(state(kCmdToggleQuickCoordinates).checked);

    EXPECT_TRUE(view_->OnCommand(kCmdToggleScaleBar));
    EXPECT_EQ(std::tuple(settings::readInt("KovViewTip", "ScaleBar", 1), view_->scaleBar()),
              std::tuple(0, false));
}

TEST_F(KovVViewTest, MouseEventsGoToTheTrackRoute) {
    openProject();
    RecordingRoute route;
    CKovVView::setTrackRoute(&route);
    const QPoint pos = cellPixel(100, 50);
    const FPoint p = view_->viewport().deviceToMap(pos);

    // No track running: the zoom track starts (in 0, out 1, zoom and move 3), anchored at the
    // pressed point; a plain click and Esc start nothing.
    press(pos, Qt::LeftButton, Qt::ShiftModifier);
    press(pos, Qt::LeftButton, Qt::ControlModifier);
    press(pos, Qt::MiddleButton);
    press(pos, Qt::RightButton, Qt::ControlModifier);
    press(pos, Qt::LeftButton);
    pressKey(Qt::Key_Escape);  // nothing to cancel
    EXPECT_TRUE(view_->OnCommand(kCmdScrollCentre));
    EXPECT_EQ(route.calls,
              (std::vector<std::string>{"zoom 3 @", "zoom 0 @", "zoom 0 @", "zoom 1 @", "zoom 3"}));
    EXPECT_EQ(std::tuple(route.anchor.x, route.anchor.y, route.anchor.z),
              std::tuple(p.x, p.y, 105.0));

    // A running track gets the events; Ctrl turns the left button into the middle one.
    route.calls.clear();
    route.running = true;
    press(pos, Qt::LeftButton);
    press(pos, Qt::LeftButton, Qt::ControlModifier);
    press(pos, Qt::RightButton);
    pressKey(Qt::Key_Escape);
    EXPECT_EQ(route.calls, (std::vector<std::string>{"mouse 1", "mouse 2", "mouse 5", "cancel"}));
}

TEST(TipWindow, StaysOnTheScreenAndIgnoresARepeat) {
    const QRect screen(0, 0, 1600, 1000);
    const QSize size(200, 80);
    EXPECT_EQ(std::tuple(CTipWnd::clampToScreen({100, 100}, size, screen),
                         CTipWnd::clampToScreen({-50, 1}, size, screen),
                         CTipWnd::clampToScreen({1500, 950}, size, screen)),
              std::tuple(QPoint(100, 100), QPoint(2, 2), QPoint(1396, 916)));

    // The window fits the widest of the lines.
    const QFont font = defaultTipFont();
    EXPECT_EQ(CTipWnd::tipSize(QStringLiteral("ab\r\nabcd"), font).width(),
              CTipWnd::tipSize(QStringLiteral("abcd"), font).width());

    CTipWnd tip;
    EXPECT_TRUE(tip.showTip(QStringLiteral("x"), QPoint(300, 300)));
    EXPECT_FALSE(tip.showTip(QStringLiteral("x"), QPoint(300, 300)));
    EXPECT_TRUE(tip.showTip(QStringLiteral("y"), QPoint(300, 300)));
    EXPECT_TRUE(tip.showTip(QStringLiteral("y"), QPoint(310, 300)));
    EXPECT_EQ(tip.pos(), QPoint(310, 300));
}

TEST(TipWindow, StoredFontDescriptionIsRead) {
    uint8_t bytes[kLogFontSize] = {};
    const int32_t height = -20, weight = 700;
    std::memcpy(bytes, &height, 4);
    std::memcpy(bytes + 16, &weight, 4);
    bytes[20] = 1;     // italic
    bytes[27] = 0x31;  // fixed pitch, modern family
    std::memcpy(bytes + 28, "DejaVu Sans Mono", 16);
    const QFont font = fontFromLogFont(bytes, sizeof bytes, QFont());
    EXPECT_EQ(std::tuple(font.pixelSize(), font.weight(), font.italic(), font.families().value(0)),
              std::tuple(20, QFont::Bold, true, QStringLiteral("DejaVu Sans Mono")));

    // A short block is not a font description.
    QFont fallback;
    fallback.setPixelSize(33);
    EXPECT_EQ(fontFromLogFont(bytes, 59, fallback).pixelSize(), 33);
}

TEST(ScrollPad, SectorsAroundTheCentre) {
    const int c = kScrollPadCentre;
    const struct {
        int dx, dy, command;
    } cases[] = {
        {5, -6, kCmdScrollCentre},  // within 8 pixels: the centre
        {8, 0, kCmdScrollEast},          {-8, 0, kCmdScrollWest},
        {0, 8, kCmdScrollSouth},         {-c, -1, kCmdScrollWest},
        {-c, 1, kCmdScrollWest},  // either side of the +-180 degree seam
        {-20, -20, kCmdScrollNorthWest}, {20, -20, kCmdScrollNorthEast},
        {-20, 20, kCmdScrollSouthWest},  {30, -12, kCmdScrollEast},
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

TEST(ScrollPad, ClicksSendTheCommandOfTheirZone) {
    PadButton pad;
    pad.show();
    for (const QPoint at : {QPoint(35, 4), QPoint(35, 35), QPoint(70, 70)})
        QTest::mouseClick(&pad, Qt::LeftButton, {}, at);
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
    EXPECT_EQ(std::tuple(labels.top, labels.bottom),
              std::tuple(QStringLiteral("200 (m)"), QStringLiteral("0 (m)")));

    ZarHColorMap other;
    ColorStop stops[3];
    stops[0].height = -12.26;
    stops[2].height = 1234.56;
    other.setStops(stops, 3);
    const LegendLabels others = colorMapLegendLabels(other);
    EXPECT_EQ(std::tuple(others.top, others.bottom),
              std::tuple(QStringLiteral("1234.6 (m)"), QStringLiteral("-12.3 (m)")));

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

// A flood result with ranks adds their colours below the strip when the legend is tall enough;
// a legend at its lowest keeps the strip alone.
TEST_F(LegendTest, FloodRanksBelowTheStripWhenTheyFit) {
    const QRgb colours[3] = {qRgb(200, 30, 170), qRgb(10, 140, 90), qRgb(250, 250, 5)};
    const auto pixelsOf = [&](int h) {
        CQLegend legend(&doc_);
        legend.resize(79, h);
        const QImage face = legend.grab().toImage();
        std::vector<int> count;
        for (const QRgb colour : colours)
            count.push_back(test::countPixels(face, [colour](QRgb p) { return p == colour; }));
        return std::tuple(count, face);
    };
    const auto [before, plain] = pixelsOf(320);
    EXPECT_EQ(before, std::vector<int>(3, 0));

    FloodParameters p;
    p.height = 300.0;
    p.rankTexts = {"5", "25.5", "120"};
    p.rankColors.clear();
    for (const QRgb c : colours)  // 0x00BBGGRR
        p.rankColors.push_back(qRed(c) | qGreen(c) << 8 | static_cast<uint32_t>(qBlue(c)) << 16);
    std::optional<FloodOutcome> flood = floodWholeArea(*doc_.meshes(), p);
    ASSERT_TRUE(flood);
    ASSERT_TRUE(addFloodLayer(*doc_.meshes(), flood->layer));

    const auto [tall, face] = pixelsOf(320);
    for (int r = 0; r < 3; ++r)
        EXPECT_GE(tall[r], 8 * 8) << "rank " << r;  // a box of each colour
    // The strip gives up height: its lowest colour comes higher up than without the ranks.
    EXPECT_NE(face.pixel(40, 280), plain.pixel(40, 280));

    const auto [low, lowFace] = pixelsOf(CQuickBar::kLegendMinimumHeight);
    EXPECT_EQ(low, std::vector<int>(3, 0));
    const QImage strip = dib24ToImage(doc_.meshes()->GetColorMap(0)->makeStrip(79, 24, true));
    EXPECT_EQ(lowFace.pixel(40, 20 + 23), strip.pixel(40, 23));
}

}  // namespace
}  // namespace kov
