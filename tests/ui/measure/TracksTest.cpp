// SPDX-License-Identifier: MIT
#include <QClipboard>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include "core/base/CommandIds.h"
#include "core/base/SettingsStore.h"
#include "support/ui/WindowTest.h"
#include "ui/app/CKovVDoc.h"
#include "ui/interaction/KovTrack.h"
#include "ui/interaction/TrackZoom.h"
#include "ui/measure/CMeasureMsgDlg.h"
#include "ui/measure/MeasureHooks.h"
#include "ui/measure/TrackRangeOp.h"
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
    return test::writeCodedProject(dir, 400, 300, [](int c, int) { return 1000 + 5 * c; });
}

// What the window system shows of the widget: the repainted parts of its window, not a fresh
// painting of the whole widget (grab() would draw the feedback everywhere whatever was repainted).
QImage shownOnScreen(QWidget& widget) {
    QCoreApplication::processEvents();
    return widget.screen()->grabWindow(widget.winId()).toImage();
}

class TracksTest : public test::WindowTest {
protected:
    static void SetUpTestSuite() {
        test::WindowTest::SetUpTestSuite();
        registerTracks();
        registerMeasuringTracks();
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
        ASSERT_EQ(pixel(100, 0).x() - pixel(0, 0).x(), 40);
    }
    void TearDown() override {
        endAllTracks();
        view_.reset();
        test::WindowTest::TearDown();
    }

    QPoint pixel(double x, double y) const { return view_->viewport().mapToPixel(x, y); }
    MapRect world() const { return view_->viewport().world(); }
    QPointF centre() const {
        const MapRect r = world();
        return {(r.xmin + r.xmax) / 2, (r.ymin + r.ymax) / 2};
    }
    KovTrack* track() const { return GetCurrentKovTrack(); }
    TrackRangeOp* measuring() const { return dynamic_cast<TrackRangeOp*>(track()); }
    QString tipText() const { return measuring() ? measuring()->tip()->Text() : QString(); }
    static QString clipboard() { return QGuiApplication::clipboard()->text(); }
    // The mouse and the keys as the window system delivers them to the view.
    void press(QPoint at, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = {}) {
        QTest::mousePress(view_.get(), button, modifiers, at);
    }
    void release(QPoint at, Qt::MouseButton button = Qt::LeftButton,
                 Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseRelease(view_.get(), button, modifiers, at);
    }
    void move(QPoint at) { QTest::mouseMove(view_.get(), at); }
    void click(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        move(at);
        QTest::mouseClick(view_.get(), button, {}, at);
    }
    void key(Qt::Key k) { QTest::keyClick(view_.get(), k); }

    test::TempDir dir_;
    CKovVDoc doc_;
    std::unique_ptr<CKovVView> view_;
};

// ---- zoom and pan -----------------------------------------------------------------------------

TEST_F(TracksTest, ZoomInByClickOrRectangleAndZoomOutAboutTheCentre) {
    // Under 4 pixels vertically: a click, ×2 about the midpoint of 500 m and 750 m; the view
    // keeps to the 5 m grid of the data.
    ASSERT_TRUE(doc_.OnCommand(kCmdZoomIn));
    press(QPoint(200, 200));
    move(QPoint(300, 203));
    release(QPoint(300, 203));
    EXPECT_EQ(track(), nullptr);
    EXPECT_NEAR(world().xmax - world().xmin, 1000.0, kGrid);
    EXPECT_NEAR(centre().x(), 625.0, kGrid);
    // 4 pixels and more both ways: the dragged rectangle (Ctrl+left starts the track anchored).
    view_->setView({0, 0, 2000, 1500});
    press(QPoint(100, 100), Qt::LeftButton, Qt::ControlModifier);
    move(QPoint(300, 250));
    release(QPoint(300, 250), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_NEAR(world().xmin, 250.0, kGrid);
    EXPECT_NEAR(world().xmax, 750.0, kGrid);
    // Zooming out keeps the centre wherever the click.
    view_->setView({0, 0, 2000, 1500});
    const QPointF before = centre();
    QTest::mouseClick(view_.get(), Qt::RightButton, Qt::ControlModifier, QPoint(700, 50));
    EXPECT_NEAR(world().xmax - world().xmin, 4000.0, kGrid);
    EXPECT_NEAR(centre().x(), before.x(), kGrid);
    EXPECT_NEAR(centre().y(), before.y(), kGrid);
    EXPECT_EQ(track(), nullptr);
}

TEST_F(TracksTest, PanFollowsTheMouseButAQuickReleaseOnlyFixesTheGrabPoint) {
    ASSERT_TRUE(doc_.OnCommand(kCmdPan));
    press(QPoint(400, 300));
    move(QPoint(440, 300));
    release(QPoint(440, 300));  // within 500 ms
    EXPECT_NEAR(world().xmin, 0.0, 1e-6);
    ASSERT_NE(track(), nullptr);
    move(QPoint(480, 300));
    press(QPoint(480, 300));                   // the second press pans by 80 px = 200 m
    EXPECT_NEAR(world().xmin, -200.0, kGrid);  // the view keeps to the 5 m grid
    EXPECT_EQ(track(), nullptr);
    release(QPoint(480, 300));
    // Shift+drag held longer than 500 ms pans at the release.
    press(QPoint(400, 300), Qt::LeftButton, Qt::ShiftModifier);
    move(QPoint(400, 340));
    QTest::qWait(TrackZoom::kPanReleaseMs + 50);
    release(QPoint(400, 340), Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_NEAR(world().ymin, 100.0, kGrid);  // the map dragged down: the view moves north
    EXPECT_EQ(track(), nullptr);
}

TEST_F(TracksTest, RightClickOrEscCancelsAndTheFeedbackLeavesNoPixelBehind) {
    const QImage before = view_->grab().toImage();
    // Rubber band.
    press(QPoint(100, 100), Qt::LeftButton, Qt::ControlModifier);
    move(QPoint(300, 250));
    EXPECT_NE(view_->grab().toImage(), before);
    press(QPoint(300, 250), Qt::RightButton, Qt::ControlModifier);
    release(QPoint(300, 250), Qt::RightButton, Qt::ControlModifier);
    release(QPoint(300, 250), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(track(), nullptr);
    EXPECT_NEAR(world().xmin, 0.0, 1e-6);
    EXPECT_EQ(view_->grab().toImage(), before);
    // Drag pan with its white strip, cancelled by Esc.
    press(QPoint(400, 300), Qt::LeftButton, Qt::ShiftModifier);
    move(QPoint(450, 260));
    const QImage panned = view_->grab().toImage();
    EXPECT_EQ(panned.pixel(10, 300), qRgb(255, 255, 255));
    EXPECT_EQ(panned.pixel(460, 270), before.pixel(410, 310));
    key(Qt::Key_Escape);
    release(QPoint(450, 260));
    EXPECT_EQ(track(), nullptr);
    EXPECT_EQ(view_->grab().toImage(), before);
}

TEST_F(TracksTest, TheRubberLineIsRepaintedAlongItsWholeLengthAndRemovedWithoutTrace) {
    const QImage before = shownOnScreen(*view_);
    ASSERT_TRUE(doc_.OnCommand(kCmdMeasureDistanceArea));
    const QPoint a(100, 100), b(500, 400), c(600, 150);
    // Each event is followed by the repaint it asked for, as in the window system's event loop.
    QCoreApplication::processEvents();
    click(a);
    QCoreApplication::processEvents();
    move(QPoint(100, 500));
    QCoreApplication::processEvents();
    move(b);
    // Every pixel under the line from the vertex to the mouse is inverted, the middle included.
    QImage shown = shownOnScreen(*view_);
    for (double t : {0.25, 0.5, 0.75}) {
        const QPoint on = a + (b - a) * t;
        EXPECT_NE(shown.pixel(on), before.pixel(on)) << t;
    }
    // The earlier position of the line, outside where the line lies now, leaves nothing behind.
    EXPECT_EQ(shown.pixel(100, 450), before.pixel(100, 450));
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
    EXPECT_EQ(track(), nullptr);
    doc_.trace().clear();
    view_->update();
    EXPECT_EQ(shownOnScreen(*view_), before);
}

// ---- the stack with real tracks ----------------------------------------------------------------

TEST_F(TracksTest, AZoomSuspendsAMeasurementWhichComesBackWithItsPrompt) {
    ASSERT_TRUE(doc_.OnCommand(kCmdMeasureDistanceArea));
    KovTrack* measure = track();
    ASSERT_NE(measure, nullptr);
    const QString prompt = measure->prompt();
    // A zoom dragged (the Ctrl+left press would be a measuring click now): a measurement cannot
    // start meanwhile.
    ASSERT_TRUE(doc_.OnCommand(kCmdZoomIn));
    press(QPoint(100, 100));
    ASSERT_NE(track(), measure);
    EXPECT_FALSE(startMeasuringTrack(doc_, TrackRangeOp::kDistanceSlope));
    move(QPoint(200, 200));
    release(QPoint(200, 200));
    EXPECT_EQ(track(), measure);
    EXPECT_EQ(measure->prompt(), prompt);
    // Distance and slope replaces distance and area.
    ASSERT_TRUE(doc_.OnCommand(kCmdMeasureDistanceSlope));
    EXPECT_EQ(track()->mode(), TrackRangeOp::kDistanceSlope);
    EXPECT_EQ(track()->previous(), nullptr);
    // The tracks end with their document, not with another one, and a new project ends them all.
    { CKovVDoc other; }
    ASSERT_NE(track(), nullptr);
    ASSERT_TRUE(doc_.OnOpenDocument(QString::fromStdString(writeSlopeProject(dir_))));
    EXPECT_EQ(track(), nullptr);
    EXPECT_EQ(endedTrackCount(), 0);
    {
        CKovVDoc other;
        ASSERT_TRUE(startMeasuringTrack(other, TrackRangeOp::kDistanceArea));
    }
    EXPECT_EQ(track(), nullptr);
}

// ---- measuring ----------------------------------------------------------------------------------

TEST_F(TracksTest, TheSquareCornerShowsLengthsAndAreaAndCopiesThem) {
    settings::writeInt("TrackRange", "Window", 0);
    ASSERT_TRUE(doc_.OnCommand(kCmdMeasureDistanceArea));
    TrackRangeOp* measure = measuring();
    EXPECT_EQ(measure->window(), nullptr);
    click(pixel(500, 500));
    // The line and the mouse point make three points: the (empty) area is copied too.
    click(pixel(600, 500));
    EXPECT_EQ(clipboard(), QStringLiteral("100.0 (m)\r0.0 (㎡)\r"));
    click(pixel(600, 600));
    move(pixel(500, 600));
    EXPECT_EQ(tipText(), QStringLiteral("区間距離:    100.0 (m)\r\n延長距離:    300.0 (m)\r\n"
                                        "面　　積: 10,000.0 (㎡)"));
    click(pixel(500, 600), Qt::RightButton);
    EXPECT_EQ(clipboard(), QStringLiteral("300.0 (m)\r10,000.0 (㎡)\r"));
    EXPECT_EQ(doc_.trace().size(), 4u);
    EXPECT_EQ(measure->state(), 0);
    EXPECT_EQ(track(), measure);  // ready for a new line
    // Idle: right-click ends the track.
    click(pixel(500, 600), Qt::RightButton);
    EXPECT_EQ(track(), nullptr);
}

TEST_F(TracksTest, ACrossSectionLineGoesToTheBuilderWithTheLastMousePoint) {
    std::vector<std::vector<FPoint>> built;
    setCrossSectionBuilder([&](CKovVDoc& document, const std::vector<FPoint>& line) {
        EXPECT_EQ(&document, &doc_);
        built.push_back(line);
    });
    ASSERT_TRUE(doc_.OnCommand(kCmdCrossSection));
    TrackRangeOp* section = measuring();
    ASSERT_NE(section, nullptr);
    // No result window even when the settings ask for one: the tip shows the lengths.
    EXPECT_EQ(section->window(), nullptr);
    click(pixel(500, 500));
    click(pixel(600, 500));
    move(pixel(600, 700));
    EXPECT_EQ(tipText(), QStringLiteral("区間距離:    200.0 (m)\r\n延長距離:    300.0 (m)"));
    EXPECT_TRUE(built.empty());
    // The right-click confirms the line: the vertices and the mouse point, in order; the track
    // ends with it.
    click(pixel(600, 700), Qt::RightButton);
    setCrossSectionBuilder({});
    EXPECT_EQ(track(), nullptr);
    EXPECT_EQ(doc_.trace().size(), 3u);
    ASSERT_EQ(built.size(), 1u);
    ASSERT_EQ(built[0].size(), 3u);
    const QPointF expected[3] = {{500, 500}, {600, 500}, {600, 700}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(built[0][i].x, expected[i].x(), 2.5) << i;
        EXPECT_NEAR(built[0][i].y, expected[i].y(), 2.5) << i;
    }
}

TEST_F(TracksTest, DistanceAndSlopeCopiesOneLinePerSegmentUpAndDown) {
    settings::writeInt("TrackRange", "Window", 0);
    ASSERT_TRUE(doc_.OnCommand(kCmdMeasureDistanceSlope));
    click(pixel(502.5, 502.5));
    move(pixel(602.5, 502.5));
    EXPECT_EQ(tipText(), QStringLiteral("区間距離:    100.0 (m)\r\n勾　　配: 5.71(Deg) 10.00(%)"));
    click(pixel(602.5, 502.5));
    EXPECT_TRUE(clipboard().endsWith(QStringLiteral("  100.000 (m)  5.711 (Deg)  10.000 (%)\r\n")))
        << clipboard().toStdString();
    EXPECT_EQ(measuring()->vertices().size(), 1u);  // the next segment starts at the click
    click(pixel(502.5, 502.5));
    EXPECT_TRUE(clipboard().endsWith(QStringLiteral("  -5.711 (Deg)  -10.000 (%)\r\n")))
        << clipboard().toStdString();
}

TEST_F(TracksTest, TheResultWindowShowsTheRowsAndClosingItEndsTheTrack) {
    ASSERT_TRUE(doc_.OnCommand(kCmdMeasureDistanceArea));
    CMeasureMsgDlg* window = measuring()->window();
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
    EXPECT_EQ(clipboard(), QStringLiteral("untouched"));
    window->close();
    QCoreApplication::processEvents();
    move(pixel(520, 600));
    EXPECT_EQ(track(), nullptr);
}

}  // namespace
}  // namespace kov
