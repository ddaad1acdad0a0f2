#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include "core/base/CommandIds.h"
#include "core/base/SettingsStore.h"
#include "support/ui/WindowTest.h"
#include "ui/app/CKovVDoc.h"
#include "ui/measure/CMeasureMsgDlg.h"
#include "ui/interaction/KovTrack.h"
#include "ui/measure/MeasureHooks.h"
#include "ui/measure/TrackRangeOp.h"
#include "ui/interaction/TrackZoom.h"
#include "ui/view/CKovVView.h"
#include "ui/view/CTipWnd.h"

namespace kov {
namespace {

// The cell size, to which the view's edges are rounded.
constexpr double kGrid = 5.01;

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new test::ApplicationEnvironment);

// 400 x 300 cells of 5 m (2000 m x 1500 m) rising eastwards by 0.5 m a cell: 100 m at the west
// edge, 10 m more every 100 m.
std::string writeSlopeProject(const test::TempDir& dir) {
    test::TileSpec tile;
    tile.cols = 400;
    tile.rows = 300;
    tile.codes.assign(300, std::vector<int>(400));
    for (auto& row : tile.codes)
        for (int c = 0; c < 400; ++c)
            row[c] = 1000 + 5 * c;
    return test::writeTileProject(tile, dir.path());
}

class TracksTest : public test::WindowTest {
protected:
    static void SetUpTestSuite() {
        test::WindowTest::SetUpTestSuite();
        registerTracks();
    }
    void SetUp() override {
        test::WindowTest::SetUp();
        view_ = std::make_unique<CKovVView>(&doc_);
        doc_.setView(view_.get());
        view_->resize(800, 600);
        view_->show();
        ASSERT_TRUE(doc_.OnOpenDocument(QString::fromStdString(writeSlopeProject(dir_))));
        // 2.5 m a pixel.
        view_->setView({0, 0, 2000, 1500});
        view_->repaint();
        ASSERT_NEAR(view_->viewport().deviceToMap(QPointF(40, 0)).x -
                        view_->viewport().deviceToMap(QPointF(0, 0)).x,
                    100.0, 1e-3);
    }
    void TearDown() override {
        endAllTracks();
        view_.reset();
        test::WindowTest::TearDown();
    }

    QPoint pixel(double x, double y) const { return view_->viewport().mapToPixel(x, y); }
    MapRect world() const { return view_->viewport().world(); }
    static QPointF centre(const MapRect& r) {
        return {(r.xmin + r.xmax) / 2, (r.ymin + r.ymax) / 2};
    }
    // Mouse and key events go to the view as the window system delivers them.
    void send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons,
              Qt::KeyboardModifiers modifiers) {
        QMouseEvent event(type, at, view_->mapToGlobal(at), button, buttons, modifiers);
        QApplication::sendEvent(view_.get(), &event);
    }
    void press(QPoint at, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = {}) {
        held_ = button;
        send(QEvent::MouseButtonPress, at, button, button, modifiers);
    }
    void release(QPoint at, Qt::MouseButton button = Qt::LeftButton,
                 Qt::KeyboardModifiers modifiers = {}) {
        held_ = Qt::NoButton;
        send(QEvent::MouseButtonRelease, at, button, Qt::NoButton, modifiers);
    }
    void move(QPoint at) { send(QEvent::MouseMove, at, Qt::NoButton, held_, {}); }
    void key(int k) { QTest::keyClick(view_.get(), Qt::Key(k)); }
    void click(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        move(at);
        press(at, button);
        release(at, button);
    }
    QImage screen() { return view_->grab().toImage(); }

    test::TempDir dir_;
    CKovVDoc doc_;
    std::unique_ptr<CKovVView> view_;
    Qt::MouseButton held_ = Qt::NoButton;
};

// ---- zoom and pan -----------------------------------------------------------------------------

TEST_F(TracksTest, ZoomInByClickOrRectangleAndZoomOutAboutTheCentre) {
    // Under 4 pixels vertically: a click, ×2 about the midpoint.
    ASSERT_TRUE(doc_.OnCommand(kCmdZoomIn));
    ASSERT_NE(GetCurrentKovTrack(), nullptr);
    press(QPoint(200, 200));
    move(QPoint(300, 203));
    release(QPoint(300, 203));
    EXPECT_EQ(GetCurrentKovTrack(), nullptr);
    // The view keeps to the 5 m grid of the data.
    MapRect r = world();
    EXPECT_NEAR(r.xmax - r.xmin, 1000.0, kGrid);
    EXPECT_NEAR(centre(r).x(), 625.0, kGrid);  // midpoint of 500 m and 750 m
    // 4 pixels and more both ways: the dragged rectangle (Ctrl+left starts the track anchored).
    view_->setView({0, 0, 2000, 1500});
    press(QPoint(100, 100), Qt::LeftButton, Qt::ControlModifier);
    move(QPoint(300, 250));
    release(QPoint(300, 250), Qt::LeftButton, Qt::ControlModifier);
    r = world();
    EXPECT_NEAR(r.xmin, 250.0, kGrid);
    EXPECT_NEAR(r.xmax, 750.0, kGrid);
    EXPECT_EQ(GetCurrentKovTrack(), nullptr);

    // Zooming out keeps the centre wherever the click.
    view_->setView({0, 0, 2000, 1500});
    const QPointF before = centre(world());
    press(QPoint(700, 50), Qt::RightButton, Qt::ControlModifier);
    release(QPoint(700, 50), Qt::RightButton, Qt::ControlModifier);
    r = world();
    EXPECT_NEAR(r.xmax - r.xmin, 4000.0, kGrid);
    EXPECT_NEAR(centre(r).x(), before.x(), kGrid);
    EXPECT_NEAR(centre(r).y(), before.y(), kGrid);
    EXPECT_EQ(GetCurrentKovTrack(), nullptr);
}

TEST_F(TracksTest, PanFollowsTheMouseButAQuickReleaseOnlyFixesTheGrabPoint) {
    ASSERT_TRUE(doc_.OnCommand(kCmdPan));
    press(QPoint(400, 300));
    move(QPoint(440, 300));
    release(QPoint(440, 300));  // within 500 ms
    EXPECT_NEAR(world().xmin, 0.0, 1e-6);
    ASSERT_NE(GetCurrentKovTrack(), nullptr);
    move(QPoint(480, 300));
    press(QPoint(480, 300));                   // the second press pans by 80 px = 200 m
    EXPECT_NEAR(world().xmin, -200.0, kGrid);  // the view keeps to the 5 m grid
    EXPECT_EQ(GetCurrentKovTrack(), nullptr);
    // Shift+drag held longer than 500 ms pans at the release.
    press(QPoint(400, 300), Qt::LeftButton, Qt::ShiftModifier);
    move(QPoint(400, 340));
    QTest::qWait(TrackZoom::kPanReleaseMs + 50);
    release(QPoint(400, 340), Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_NEAR(world().ymin, 100.0, kGrid);  // the map dragged down: the view moves north
    EXPECT_EQ(GetCurrentKovTrack(), nullptr);
}

TEST_F(TracksTest, RightClickOrEscCancelsAndTheFeedbackLeavesNoPixelBehind) {
    const QImage before = screen();
    // Rubber band.
    press(QPoint(100, 100), Qt::LeftButton, Qt::ControlModifier);
    move(QPoint(300, 250));
    EXPECT_NE(screen(), before);
    press(QPoint(300, 250), Qt::RightButton, Qt::ControlModifier);
    EXPECT_EQ(GetCurrentKovTrack(), nullptr);
    EXPECT_NEAR(world().xmin, 0.0, 1e-6);
    EXPECT_EQ(screen(), before);
    // Drag pan with its white strip, cancelled by Esc.
    press(QPoint(400, 300), Qt::LeftButton, Qt::ShiftModifier);
    move(QPoint(450, 260));
    const QImage panned = screen();
    EXPECT_EQ(panned.pixel(10, 300), qRgb(255, 255, 255));
    EXPECT_EQ(panned.pixel(460, 270), before.pixel(410, 310));
    key(Qt::Key_Escape);
    release(QPoint(450, 260));
    EXPECT_EQ(GetCurrentKovTrack(), nullptr);
    EXPECT_EQ(screen(), before);
}

// What the window system shows of the view: the repainted parts of its window, not a fresh
// painting of the whole widget (grab() would draw the feedback everywhere whatever was repainted).
QImage shownOnScreen(QWidget& widget) {
    QCoreApplication::processEvents();
    return widget.screen()->grabWindow(widget.winId()).toImage();
}

TEST_F(TracksTest, TheRubberLineIsRepaintedAlongItsWholeLengthAndRemovedWithoutTrace) {
    QCoreApplication::processEvents();
    const QImage before = shownOnScreen(*view_);
    ASSERT_TRUE(doc_.OnCommand(kCmdMeasureDistanceArea));
    const QPoint a(100, 100), b(500, 400), c(600, 150);
    // Each event is followed by the repaint it asked for, as in the window system's event loop.
    QCoreApplication::processEvents();
    click(a);
    QCoreApplication::processEvents();
    move(QPoint(300, 100));
    QCoreApplication::processEvents();
    move(b);
    // Every pixel under the line from the vertex to the mouse is inverted, the middle included.
    QImage shown = shownOnScreen(*view_);
    for (double t : {0.25, 0.5, 0.75}) {
        const QPoint on = a + (b - a) * t;
        EXPECT_NE(shown.pixel(on), before.pixel(on)) << t;
    }
    // The earlier position of the line leaves nothing behind.
    const QPoint old(200, 100);
    EXPECT_EQ(shown.pixel(old), before.pixel(old));
    // With two vertices, the closing line from the mouse back to the first vertex as well.
    click(b);
    QCoreApplication::processEvents();
    move(c);
    shown = shownOnScreen(*view_);
    for (const QPoint& on : {(a + c) / 2, (b + c) / 2})
        EXPECT_NE(shown.pixel(on), before.pixel(on)) << on.x() << "," << on.y();
    // Esc finishes the line, which stays as the trace; a second Esc ends the track: the view
    // is then the picture with the trace line.
    key(Qt::Key_Escape);
    key(Qt::Key_Escape);
    EXPECT_EQ(GetCurrentKovTrack(), nullptr);
    doc_.trace().clear();
    view_->update();
    EXPECT_EQ(shownOnScreen(*view_), before);
}

// ---- the stack with real tracks ----------------------------------------------------------------

TEST_F(TracksTest, AZoomSuspendsAMeasurementWhichComesBackWithItsPrompt) {
    ASSERT_TRUE(doc_.OnCommand(kCmdMeasureDistanceArea));
    KovTrack* measure = GetCurrentKovTrack();
    ASSERT_NE(measure, nullptr);
    const QString prompt = measure->prompt();
    EXPECT_EQ(prompt, TrackRangeOp::promptText(53524));
    // A zoom dragged (the Ctrl+left press would be a measuring click now): a measurement cannot
    // start meanwhile.
    ASSERT_TRUE(doc_.OnCommand(kCmdZoomIn));
    press(QPoint(100, 100));
    ASSERT_NE(GetCurrentKovTrack(), measure);
    const int refused = refusedTrackCount();
    EXPECT_FALSE(startMeasuringTrack(doc_, TrackRangeOp::kDistanceSlope));
    EXPECT_EQ(refusedTrackCount(), refused + 1);
    move(QPoint(200, 200));
    release(QPoint(200, 200));
    EXPECT_EQ(GetCurrentKovTrack(), measure);
    EXPECT_EQ(measure->prompt(), prompt);
    // Distance and slope replaces distance and area.
    ASSERT_TRUE(doc_.OnCommand(kCmdMeasureDistanceSlope));
    EXPECT_EQ(GetCurrentKovTrack()->mode(), TrackRangeOp::kDistanceSlope);
    EXPECT_EQ(GetCurrentKovTrack()->previous(), nullptr);
    // A new project ends every track.
    ASSERT_TRUE(doc_.OnOpenDocument(QString::fromStdString(writeSlopeProject(dir_))));
    EXPECT_EQ(GetCurrentKovTrack(), nullptr);
    EXPECT_EQ(endedTrackCount(), 0);
}

// ---- measuring ----------------------------------------------------------------------------------

class MeasureTipTest : public TracksTest {
protected:
    void SetUp() override {
        TracksTest::SetUp();
        settings::writeInt("TrackRange", "Window", 0);
    }
    QString tipText() {
        auto* track = static_cast<TrackRangeOp*>(GetCurrentKovTrack());
        return track ? track->tip()->Text() : QString();
    }
};

TEST_F(MeasureTipTest, TheSquareCornerShowsLengthsAndAreaAndCopiesThem) {
    ASSERT_TRUE(doc_.OnCommand(kCmdMeasureDistanceArea));
    auto* track = static_cast<TrackRangeOp*>(GetCurrentKovTrack());
    EXPECT_EQ(track->window(), nullptr);
    QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
    click(pixel(500, 500));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
    // The line and the mouse point make three points: the (empty) area is copied too.
    click(pixel(600, 500));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("100.0 (m)\r0.0 (㎡)\r"));
    click(pixel(600, 600));
    move(pixel(500, 600));
    EXPECT_EQ(tipText(), QStringLiteral("区間距離:    100.0 (m)\r\n延長距離:    300.0 (m)\r\n"
                                        "面　　積: 10,000.0 (㎡)"));
    EXPECT_EQ(track->prompt(), TrackRangeOp::promptText(53525));
    press(pixel(500, 600), Qt::RightButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("300.0 (m)\r10,000.0 (㎡)\r"));
    EXPECT_EQ(doc_.trace().size(), 4u);
    EXPECT_EQ(track->state(), 0);
    EXPECT_EQ(GetCurrentKovTrack(), track);  // ready for a new line
    CommandState state;
    ASSERT_TRUE(doc_.OnUpdateCommand(kCmdClearTrace, state));
    EXPECT_TRUE(state.enabled);
    // Idle: right-click ends the track.
    press(pixel(500, 600), Qt::RightButton);
    EXPECT_EQ(GetCurrentKovTrack(), nullptr);
}

TEST_F(TracksTest, ACrossSectionLineGoesToTheBuilderWithTheLastMousePoint) {
    std::vector<std::vector<FPoint>> built;
    setCrossSectionBuilder([&](CKovVDoc& document, const std::vector<FPoint>& line) {
        EXPECT_EQ(&document, &doc_);
        built.push_back(line);
    });
    ASSERT_TRUE(doc_.OnCommand(kCmdCrossSection));
    auto* track = static_cast<TrackRangeOp*>(GetCurrentKovTrack());
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->mode(), TrackRangeOp::kCrossSection);
    EXPECT_EQ(track->prompt(), TrackRangeOp::promptText(53530));
    // No result window even when the settings ask for one: the tip shows the lengths.
    EXPECT_EQ(track->window(), nullptr);
    click(pixel(500, 500));
    EXPECT_EQ(track->prompt(), TrackRangeOp::promptText(53531));
    click(pixel(600, 500));
    move(pixel(600, 700));
    EXPECT_EQ(track->tip()->Text(),
              QStringLiteral("区間距離:    200.0 (m)\r\n延長距離:    300.0 (m)"));
    EXPECT_TRUE(built.empty());
    // The right-click confirms the line: the vertices and the mouse point, in order.
    press(pixel(600, 700), Qt::RightButton);
    setCrossSectionBuilder({});
    ASSERT_EQ(built.size(), 1u);
    const std::vector<FPoint>& line = built[0];
    ASSERT_EQ(line.size(), 3u);
    const double expected[3][2] = {{500, 500}, {600, 500}, {600, 700}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(line[i].x, expected[i][0], 2.5) << i;
        EXPECT_NEAR(line[i].y, expected[i][1], 2.5) << i;
    }
    EXPECT_EQ(doc_.trace().size(), 3u);
    // The track has ended with its line.
    EXPECT_EQ(GetCurrentKovTrack(), nullptr);
    // Esc before any click ends the track without a cross-section.
    ASSERT_TRUE(doc_.OnCommand(kCmdCrossSection));
    setCrossSectionBuilder([&](CKovVDoc&, const std::vector<FPoint>& l) { built.push_back(l); });
    key(Qt::Key_Escape);
    setCrossSectionBuilder({});
    EXPECT_EQ(GetCurrentKovTrack(), nullptr);
    EXPECT_EQ(built.size(), 1u);
}

TEST_F(MeasureTipTest, DistanceAndSlopeCopiesOneLinePerSegmentUpAndDown) {
    ASSERT_TRUE(doc_.OnCommand(kCmdMeasureDistanceSlope));
    auto* track = static_cast<TrackRangeOp*>(GetCurrentKovTrack());
    click(pixel(502.5, 502.5));
    move(pixel(602.5, 502.5));
    EXPECT_EQ(tipText(), QStringLiteral("区間距離:    100.0 (m)\r\n勾　　配: 5.71(Deg) 10.00(%)"));
    click(pixel(602.5, 502.5));
    const QString up = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(up.endsWith(QStringLiteral("  100.000 (m)  5.711 (Deg)  10.000 (%)\r\n")))
        << up.toStdString();
    EXPECT_EQ(track->vertices().size(), 1u);  // the next segment starts at the click
    click(pixel(502.5, 502.5));
    const QString down = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(down.endsWith(QStringLiteral("  -5.711 (Deg)  -10.000 (%)\r\n")))
        << down.toStdString();
    // On the last vertex there is no slope.
    move(pixel(502.5, 502.5));
    EXPECT_FALSE(tipText().contains(QStringLiteral("勾")));
}

TEST_F(TracksTest, TheResultWindowShowsTheRowsAndClosingItEndsTheTrack) {
    ASSERT_TRUE(doc_.OnCommand(kCmdMeasureDistanceArea));
    auto* track = static_cast<TrackRangeOp*>(GetCurrentKovTrack());
    CMeasureMsgDlg* window = track->window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
    click(pixel(500, 500));
    click(pixel(600, 500));
    click(pixel(600, 600));
    move(pixel(500, 600));
    EXPECT_EQ(window->copyText(), QStringLiteral("   100.0 (m)\r\n   300.0 (m)\r\n"
                                                 "10,000.0 (㎡)\r\n"));
    // With the window the clicks copy nothing.
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
    window->close();
    QCoreApplication::processEvents();
    move(pixel(520, 600));
    EXPECT_EQ(GetCurrentKovTrack(), nullptr);
}

}  // namespace
}  // namespace kov
