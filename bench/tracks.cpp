// SPDX-License-Identifier: MIT
// Cost of the tracks' feedback in a 1920 x 1080 map view, through the real event path: a mouse
// event sent to the view, then the repaint it asked for (the view draws its cached relief, the
// overlays and the feedback in the region the track invalidated). Mosaics of 100 and 10,000
// tiles show whether that cost grows with the data.
//
// The tiles are small (8 x 8 cells of 5 m, 40 m a side, from the sample terrain), so that
// 10,000 of them fit in memory: the feedback draws over the cached picture and must not depend
// on the cells anyway; the relief renders, which do, are counted and must be 0 per move.
//
//   BM_MeasureMove     distance and area with three clicked points and the result window:
//                      rubber line, closing line, ticks and the three result rows
//   BM_SlopeMove       distance and slope with the cursor tip (elevations looked up per move)
//   BM_ZoomDragMove    a Ctrl + left drag holding the rubber-band frame
//   BM_RubberBandZoom  press, 10 moves, release and the repaint of the zoomed view
//   BM_ViewRender      one render of the whole view after its picture was dropped, to compare
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QPointF>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "core/base/SettingsStore.h"
#include "core/data/HMeshProject.h"
#include "core/data/ZarHMesh.h"
#include "sample/SampleData.h"
#include "ui/app/CKovVDoc.h"
#include "ui/interaction/KovTrack.h"
#include "ui/measure/TrackRangeOp.h"
#include "ui/view/CKovVView.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kCells = 8;              // cells per tile side
constexpr int kTileSide = kCells * 5;  // metres
constexpr double kWest = -10000.0;     // the sample block's south-west corner
constexpr double kSouth = -37500.0;

// The offscreen platform says for every shown tip and result window that it cannot raise them.
void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (message.startsWith(QLatin1String("This plugin does not support"))) return;
    if (type != QtDebugMsg) std::fprintf(stderr, "%s\n", qPrintable(message));
}

QApplication& application() {
    static int argc = 1;
    static char name[] = "bench_tracks";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(quietHandler);
        auto* a = new QApplication(argc, argv);
        // A settings file of the benchmark's own, so that the user's are not read or changed.
        kov::settings::setLocation(
            (QDir::tempPath() + QStringLiteral("/bench_tracks.ini")).toStdString());
        kov::registerTracks();
        kov::registerMeasuringTracks();
        return a;
    }();
    return *app;
}

std::unique_ptr<kov::ZarHMesh> smallTile(double west, double south) {
    auto mesh = std::make_unique<kov::ZarHMesh>();
    mesh->allocateCells(kCells, kCells);
    mesh->cellSize = 5;
    mesh->scale = 0.1;
    mesh->xmin = west;
    mesh->ymin = south;
    mesh->xmax = west + kTileSide;
    mesh->ymax = south + kTileSide;
    for (int r = 0; r < kCells; ++r) {
        for (int c = 0; c < kCells; ++c) {
            int code = kov::sample::terrainCodeAt(west + 2.5 + 5 * c, south + 2.5 + 5 * r);
            if (code == kov::sample::kWaterCode) code = kov::MESH_WATER;
            if (code == kov::sample::kNoDataCode) code = kov::MESH_NODATA;
            mesh->cells.data()[static_cast<size_t>(r) * kCells + c] = code;
        }
    }
    return mesh;
}

// A document with a side x side mosaic shown whole in a 1920 x 1080 view; one at a time.
struct Scene {
    int side = 0;
    std::unique_ptr<kov::CKovVDoc> doc;
    std::unique_ptr<kov::CKovVView> view;
    kov::MapRect extent;
};

Scene& scene(int side) {
    application();
    // Left to the end of the process: widgets must not outlive the application's teardown.
    static Scene& current = *new Scene;
    if (current.side == side) return current;
    kov::endAllTracks();
    current = Scene{};
    current.side = side;
    current.doc = std::make_unique<kov::CKovVDoc>();
    current.view = std::make_unique<kov::CKovVView>(current.doc.get());
    current.doc->setView(current.view.get());
    current.view->resize(kWidth, kHeight);
    current.view->show();
    // The new project comes from an in-memory "composition dialog".
    kov::CKovVDoc::setProjectDialog([side](kov::HMeshProject& project, bool) {
        for (int k = 0; k < side * side; ++k) {
            std::unique_ptr<kov::ZarHMesh> tile =
                smallTile(kWest + (k % side) * kTileSide, kSouth + (k / side) * kTileSide);
            project.AddMesh(tile);
        }
        project.UpdateExtent();
        return true;
    });
    current.doc->OnNewDocument();
    kov::CKovVDoc::setProjectDialog({});
    current.doc->meshes()->GetExtent(current.extent);
    QApplication::processEvents();
    return current;
}

void send(kov::CKovVView& view, QEvent::Type type, QPointF at, Qt::MouseButton button,
          Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = {}) {
    QMouseEvent event(type, at, view.mapToGlobal(at), button, buttons, modifiers);
    QApplication::sendEvent(&view, &event);
}

void click(kov::CKovVView& view, QPointF at) {
    send(view, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
    send(view, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    send(view, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    QApplication::processEvents();
}

// Mouse positions on a circle round the view's centre, one per move.
QPointF circlePoint(int i) {
    const double a = (i % 97) * 2 * M_PI / 97;
    return {kWidth / 2 + 400 * std::cos(a), kHeight / 2 + 300 * std::sin(a)};
}

// Counts the relief renders: every render leaves a new cached picture.
struct RenderCounter {
    const kov::CKovVView& view;
    qint64 key = view.reliefImage().cacheKey();
    int renders = 0;
    void look() {
        const qint64 now = view.reliefImage().cacheKey();
        if (now != key && !view.reliefImage().isNull()) ++renders;
        key = now;
    }
};

// Moves the mouse once per iteration and lets the view repaint what the move invalidated.
void moveLoop(benchmark::State& state, Scene& s, Qt::MouseButtons held) {
    RenderCounter counter{*s.view};
    int i = 0;
    for (auto _ : state) {
        send(*s.view, QEvent::MouseMove, circlePoint(i++), Qt::NoButton, held);
        QApplication::processEvents();
        counter.look();
    }
    state.counters["tiles"] = static_cast<double>(s.side) * s.side;
    state.counters["renders_per_move"] =
        benchmark::Counter(counter.renders, benchmark::Counter::kAvgIterations);
}

void startMeasure(Scene& s, int command, int window) {
    kov::settings::writeInt("TrackRange", "Window", window);
    s.view->setView(s.extent);
    QApplication::processEvents();
    s.doc->OnCommand(command);
    click(*s.view, {500, 300});
    click(*s.view, {1400, 350});
    click(*s.view, {1300, 800});
}

void BM_MeasureMove(benchmark::State& state) {
    Scene& s = scene(static_cast<int>(state.range(0)));
    startMeasure(s, 32773, 1);  // distance and area
    moveLoop(state, s, Qt::NoButton);
    kov::endAllTracks();
}

void BM_SlopeMove(benchmark::State& state) {
    Scene& s = scene(static_cast<int>(state.range(0)));
    startMeasure(s, 32775, 0);  // distance and slope, results in the tip
    moveLoop(state, s, Qt::NoButton);
    kov::endAllTracks();
}

void BM_ZoomDragMove(benchmark::State& state) {
    Scene& s = scene(static_cast<int>(state.range(0)));
    s.view->setView(s.extent);
    QApplication::processEvents();
    send(*s.view, QEvent::MouseButtonPress, {300, 200}, Qt::LeftButton, Qt::LeftButton,
         Qt::ControlModifier);
    moveLoop(state, s, Qt::LeftButton);
    // Cancelled: the view stays.
    send(*s.view, QEvent::MouseButtonPress, {300, 200}, Qt::RightButton,
         Qt::LeftButton | Qt::RightButton, Qt::ControlModifier);
    kov::endAllTracks();
}

void BM_RubberBandZoom(benchmark::State& state) {
    Scene& s = scene(static_cast<int>(state.range(0)));
    RenderCounter counter{*s.view};
    for (auto _ : state) {
        state.PauseTiming();
        s.view->setView(s.extent);
        QApplication::processEvents();
        counter.look();
        counter.renders = 0;
        state.ResumeTiming();
        send(*s.view, QEvent::MouseButtonPress, {300, 200}, Qt::LeftButton, Qt::LeftButton,
             Qt::ControlModifier);
        QApplication::processEvents();
        counter.look();
        for (int i = 1; i <= 10; ++i) {
            send(*s.view, QEvent::MouseMove, {300 + 100.0 * i, 200 + 50.0 * i}, Qt::NoButton,
                 Qt::LeftButton);
            QApplication::processEvents();
            counter.look();
        }
        send(*s.view, QEvent::MouseButtonRelease, {1300, 700}, Qt::LeftButton, Qt::NoButton,
             Qt::ControlModifier);
        QApplication::processEvents();
        counter.look();
        state.counters["renders_per_zoom"] = counter.renders;
    }
    state.counters["tiles"] = static_cast<double>(s.side) * s.side;
}

void BM_ViewRender(benchmark::State& state) {
    Scene& s = scene(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        s.view->setView(s.extent);
        QApplication::processEvents();
    }
    state.counters["tiles"] = static_cast<double>(s.side) * s.side;
}

}  // namespace

// Sides of the mosaics: 10 x 10 and 100 x 100 tiles.
BENCHMARK(BM_MeasureMove)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SlopeMove)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZoomDragMove)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RubberBandZoom)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewRender)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
