#include "ui/view/CKovVView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "core/base/CommandIds.h"
#include "core/display/MapStatusText.h"
#include "core/print/PageComposer.h"
#include "support/ui/WindowTest.h"
#include "ui/app/CKovVDoc.h"
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

// Writes the tile and a project file listing it; answers the project file's path.
std::string writeTestProject(const test::TempDir& dir) {
    test::TileSpec tile;
    tile.cols = 400;
    tile.rows = 300;
    tile.codes.assign(300, std::vector<int>(400));
    for (int i = 0; i < 300; ++i)
        for (int c = 0; c < 400; ++c)
            tile.codes[i][c] = testCode(c, 299 - i);  // north row first
    return test::writeTileProject(tile, dir.path());
}

// Pumps events until the condition holds or the time is up.
bool waitFor(const std::function<bool()>& condition, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
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
        ASSERT_TRUE(doc_.OnOpenDocument(QString::fromStdString(writeTestProject(dir_))));
        ASSERT_TRUE(doc_.HasProject());
    }

    void move(QPoint pos) {
        QMouseEvent event(QEvent::MouseMove, pos, view_->mapToGlobal(pos), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view_.get(), &event);
    }
    void press(QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers = {}) {
        QMouseEvent event(QEvent::MouseButtonPress, pos, view_->mapToGlobal(pos), button, button,
                          modifiers);
        QCoreApplication::sendEvent(view_.get(), &event);
    }
    void pressKey(int key, Qt::KeyboardModifiers modifiers = {}) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QCoreApplication::sendEvent(view_.get(), &event);
    }
    void wheel(QPoint pos, int delta, Qt::KeyboardModifiers modifiers = {}) {
        QWheelEvent event(pos, view_->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view_.get(), &event);
    }
    double viewWidth() const { return view_->viewport().x1 - view_->viewport().x0; }
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
    EXPECT_EQ(view_->panes[4], QStringLiteral("H: 105.0 (m)"));
    EXPECT_TRUE(view_->panes[2].startsWith(QStringLiteral("9系 X:")))
        << view_->panes[2].toStdString();
    EXPECT_TRUE(view_->panes[2].endsWith(QStringLiteral(" (m)")));
    EXPECT_EQ(view_->panes[3].toStdString(), sheetCodeAt(9, 502.5, 252.5));
    EXPECT_TRUE(view_->panes[1].startsWith(QStringLiteral("B: 36:00:08")))
        << view_->panes[1].toStdString();

    move(cellPixel(5, 100));
    EXPECT_EQ(view_->panes[4], QStringLiteral("  水域"));
    move(cellPixel(390, 5));
    EXPECT_EQ(view_->panes[4], QStringLiteral("H: ******"));
    // Beyond the tile (the window is wider than the tile's aspect needs).
    view_->pan(-1.0, 0.0);
    move(QPoint(5, 300));
    EXPECT_EQ(view_->panes[4], QStringLiteral("H: ******"));

    view_->setStartScreen(true);
    move(cellPixel(100, 50));
    for (int pane = 1; pane <= 4; ++pane)
        EXPECT_EQ(view_->panes[pane], QString()) << pane;
}

TEST_F(KovVViewTest, KeysWheelAndCommandsZoomAndPan) {
    openProject();
    const QPointF centre = viewCentre();
    CommandState state;
    int zoomsIn = 0;
    while (view_->canZoomIn() && zoomsIn < 20) {
        pressKey(Qt::Key_PageUp);
        ++zoomsIn;
    }
    // 0.4 -> 0.8 -> 1.6 -> 3.2 -> 5 (capped) pixels per metre; the centre stays.
    EXPECT_EQ(zoomsIn, 4);
    EXPECT_NEAR(800 / viewWidth(), 5.0, 1e-3);
    EXPECT_NEAR(viewCentre().x(), centre.x(), 20.0);
    ASSERT_TRUE(view_->OnUpdateCommand(kCmdZoomIn, state));
    EXPECT_FALSE(state.enabled);
    int zoomsOut = 0;
    while (view_->canZoomOut() && zoomsOut < 20) {
        pressKey(Qt::Key_PageDown);
        ++zoomsOut;
    }
    EXPECT_EQ(zoomsOut, 6);
    ASSERT_TRUE(view_->OnUpdateCommand(kCmdZoomOut, state));
    EXPECT_FALSE(state.enabled);
    EXPECT_TRUE(view_->OnCommand(kCmdShowWholeArea));  // the whole area again
    EXPECT_NEAR(viewWidth(), 2000.0, 1.0);

    // A wheel notch zooms one level about the map point under the cursor; backward zooms out.
    const QPoint corner(200, 150);
    const FPoint anchor = view_->viewport().deviceToMap(corner);
    wheel(corner, 120);
    EXPECT_NEAR(viewWidth(), 1000.0, 10.0);
    const FPoint after = view_->viewport().deviceToMap(corner);
    EXPECT_NEAR(after.x, anchor.x, 10.0);
    EXPECT_NEAR(after.y, anchor.y, 10.0);
    wheel(corner, -120);
    EXPECT_NEAR(viewWidth(), 2000.0, 20.0);

    // Arrow keys and scroll commands pan by half the view.
    const QPointF start = viewCentre();
    const double w = viewWidth();
    const double h = view_->viewport().y1 - view_->viewport().y0;
    pressKey(Qt::Key_Right);
    pressKey(Qt::Key_Up);
    EXPECT_NEAR(viewCentre().x() - start.x(), w / 4, 1e-6);
    EXPECT_NEAR(viewCentre().y() - start.y(), h / 4, 1e-6);
    EXPECT_TRUE(view_->OnCommand(kCmdScrollSouthWest));  // down-left
    EXPECT_NEAR(viewCentre().x(), start.x(), 1e-6);
    EXPECT_NEAR(viewCentre().y(), start.y(), 1e-6);
    EXPECT_DOUBLE_EQ(viewWidth(), w);
}

TEST_F(KovVViewTest, StartScreenKeysAndClicksAskForAProject) {
    pressKey(Qt::Key_Return);
    pressKey(Qt::Key_A);
    pressKey(Qt::Key_F1);
    pressKey(Qt::Key_Shift);
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
    int shown = 0;
    testPrompts().message = [&](QWidget*, QMessageBox::Icon, const QString&,
                                QMessageBox::StandardButtons) {
        ++shown;
        return QMessageBox::Ok;
    };
    QGuiApplication::clipboard()->clear();
    EXPECT_TRUE(view_->OnCommand(kCmdCopyViewToClipboard));
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(800, 600 + legendBandHeight(96)));
    EXPECT_EQ(shown, 1);
}

TEST_F(KovVViewTest, ReliefIsRenderedOnceAndTheTipDoesNotRedrawIt) {
    openProject();
    view_->grab();  // paints: renders the relief
    ASSERT_FALSE(view_->reliefImage().isNull());
    EXPECT_EQ(view_->reliefImage().size(), QSize(800, 600));
    const qint64 key = view_->reliefImage().cacheKey();

    // The cursor rests: the quick tip opens with the point's texts, the relief stays.
    const QPoint pos = cellPixel(100, 50);
    move(pos);
    CTipWnd* tip = view_->tipWindow();
    ASSERT_TRUE(waitFor([&] { return tip->isVisible(); }, 3000));
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
    ASSERT_TRUE(waitFor([&] { return tip->isVisible(); }, 3000));
    pressKey(Qt::Key_Right);
    EXPECT_FALSE(tip->isVisible());
    EXPECT_TRUE(view_->reliefImage().isNull());

    // Switched off, the tip stays closed; the choice is stored.
    EXPECT_TRUE(view_->OnCommand(kCmdToggleQuickCoordinates));
    EXPECT_EQ(settings::readInt("KovViewTip", "QTip", 1), 0);
    move(pos);
    EXPECT_FALSE(waitFor([&] { return tip->isVisible(); }, 800));
    CommandState state;
    ASSERT_TRUE(view_->OnUpdateCommand(kCmdToggleQuickCoordinates, state));
    EXPECT_FALSE(state.checked);

    EXPECT_TRUE(view_->OnCommand(kCmdToggleScaleBar));
    EXPECT_EQ(settings::readInt("KovViewTip", "ScaleBar", 1), 0);
    EXPECT_FALSE(view_->scaleBar());
}

TEST_F(KovVViewTest, MouseEventsGoToTheTrackRoute) {
    openProject();
    RecordingRoute route;
    CKovVView::setTrackRoute(&route);
    const QPoint pos = cellPixel(100, 50);
    const FPoint p = view_->viewport().deviceToMap(pos);

    // No track running: the zoom track starts (in 0, out 1, zoom and move 3), anchored at the
    // pressed point; a plain click starts nothing.
    press(pos, Qt::LeftButton, Qt::ShiftModifier);
    press(pos, Qt::LeftButton, Qt::ControlModifier);
    press(pos, Qt::MiddleButton);
    press(pos, Qt::RightButton, Qt::ControlModifier);
    press(pos, Qt::LeftButton);
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
    EXPECT_EQ(CTipWnd::clampToScreen({100, 100}, size, screen), QPoint(100, 100));
    EXPECT_EQ(CTipWnd::clampToScreen({-50, 1}, size, screen), QPoint(2, 2));
    EXPECT_EQ(CTipWnd::clampToScreen({1500, 950}, size, screen), QPoint(1396, 916));

    // The window is the text's extent plus 14 pixels each way.
    const QFont font = defaultTipFont();
    const QFontMetrics metrics(font);
    const QSize two = CTipWnd::tipSize(QStringLiteral("ab\r\nabcd"), font);
    EXPECT_EQ(two, QSize(metrics.horizontalAdvance(QStringLiteral("abcd")) + 14,
                         2 * metrics.height() + 14));

    CTipWnd tip;
    EXPECT_TRUE(tip.showTip(QStringLiteral("x"), QPoint(300, 300)));
    EXPECT_FALSE(tip.showTip(QStringLiteral("x"), QPoint(300, 300)));
    EXPECT_TRUE(tip.showTip(QStringLiteral("y"), QPoint(300, 300)));
    EXPECT_TRUE(tip.showTip(QStringLiteral("y"), QPoint(310, 300)));
    EXPECT_EQ(tip.pos(), QPoint(310, 300));

    // Its face: light fill, two-pixel shadow at the right and bottom.
    const QImage face = tip.grab().toImage();
    EXPECT_EQ(QColor(face.pixel(face.width() / 2, 1)), QColor(255, 255, 192));
    EXPECT_EQ(QColor(face.pixel(face.width() - 2, face.height() / 2)), QColor(128, 128, 128));
}

TEST(TipWindow, StoredFontDescriptionIsRead) {
    uint8_t bytes[kLogFontSize] = {};
    const int32_t height = -20;
    std::memcpy(bytes, &height, 4);
    const int32_t weight = 700;
    std::memcpy(bytes + 16, &weight, 4);
    bytes[20] = 1;     // italic
    bytes[27] = 0x31;  // fixed pitch, modern family
    std::memcpy(bytes + 28, "DejaVu Sans Mono", 16);
    const QFont font = fontFromLogFont(bytes, sizeof bytes, QFont());
    EXPECT_EQ(font.pixelSize(), 20);
    EXPECT_EQ(font.weight(), QFont::Bold);
    EXPECT_TRUE(font.italic());
    EXPECT_EQ(font.families().value(0), QStringLiteral("DejaVu Sans Mono"));

    // A short block is not a font description.
    QFont fallback;
    fallback.setPixelSize(33);
    EXPECT_EQ(fontFromLogFont(bytes, 59, fallback).pixelSize(), 33);
}

}  // namespace
}  // namespace kov
