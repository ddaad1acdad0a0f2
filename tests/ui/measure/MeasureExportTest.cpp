// SPDX-License-Identifier: MIT
// The export commands as a user reaches them: a line measured with clicks, the menu entry
// clicked, the save dialog's filter and name given by keys; the files read back by ogr2ogr.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <gtest/gtest.h>

#include "core/base/CommandIds.h"
#include "core/measure/MeasureGeometry.h"
#include "support/OgrReadBack.h"
#include "support/ui/WindowTest.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/CMainFrame.h"
#include "ui/interaction/KovTrack.h"
#include "ui/measure/CSliceWnd.h"
#include "ui/measure/TrackRangeOp.h"
#include "ui/view/CKovVView.h"

namespace kov {
namespace {

class MeasureExportTest : public test::SampleFrameTest {
protected:
    void SetUp() override {
        test::SampleFrameTest::SetUp();
        registerTracks();
        registerMeasuringTracks();
        settings::writeInt("TrackRange", "Window", 0);  // results in the tip, not a window
        testPrompts().runModal = [](QDialog&) { return int(QDialog::Rejected); };  // never blocks
    }
    void TearDown() override {
        endAllTracks();
        delete CSliceWnd::current();
        test::SampleFrameTest::TearDown();
    }
    // Clicks the entry of the window's menu; answers whether it was enabled.
    static bool choose(QMainWindow& window, const QString& title, QAction* entry) {
        QMenuBar* bar = window.menuBar();
        for (QAction* menu : bar->actions())
            if (menu->text() == title)
                QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu).center());
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu || !entry || !entry->isEnabled()) return false;
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
        return true;
    }
    // Answers the next save dialog: in the export folder, the filter `down` entries below the
    // first taken with the arrow key, the name typed and Enter pressed. Keeps the filters.
    void answerSaveDialog(int down, const QString& name) {
        testPrompts().runModal = [this, down, name](QDialog& dialog) {
            auto& files = static_cast<QFileDialog&>(dialog);
            files.setDirectory(QString::fromStdString(exportDir.path()));
            dialog.show();
            filters = files.nameFilters();
            for (int i = 0; i < down; ++i)
                QTest::keyClick(dialog.findChild<QComboBox*>("fileTypeCombo"), Qt::Key_Down);
            auto* edit = dialog.findChild<QLineEdit*>("fileNameEdit");
            QTest::keyClicks(edit, name);
            QTest::keyClick(edit, Qt::Key_Return);
            return dialog.result();
        };
    }

    test::TempDir exportDir;
    QStringList filters;
};

TEST_F(MeasureExportTest, MeasuredLineFromTheMeasureMenu) {
    const QString menu = QStringLiteral("図上計測(&R)");
    QAction* command = frame_->Action(kCmdExportMeasurement);
    EXPECT_FALSE(choose(*frame_, menu, command)) << "no measured line yet";
    QApplication::activePopupWidget()->close();

    // Distance and area: three clicks, the right button finishes where the mouse is.
    frame_->Action(kCmdMeasureDistanceArea)->trigger();
    CKovVView* view = document_->View();
    for (const QPoint at : {QPoint(200, 200), QPoint(500, 220), QPoint(420, 420)})
        QTest::mouseClick(view, Qt::LeftButton, {}, at);
    QTest::mouseMove(view, QPoint(300, 380));
    QTest::mouseClick(view, Qt::RightButton, {}, QPoint(300, 380));
    const std::vector<FPoint> trace = document_->trace();
    ASSERT_EQ(trace.size(), 4u);

    answerSaveDialog(1, QStringLiteral("trace"));  // GeoPackage: the name gets its extension
    ASSERT_TRUE(choose(*frame_, menu, command));
    EXPECT_EQ(filters.size(), 4);
    const test::OgrLayer layer = test::readOgrLayer(exportDir.file("trace.gpkg"));
    EXPECT_EQ(layer.crs, "urn:ogc:def:crs:EPSG::6677");
    ASSERT_EQ(layer.features.size(), 4);
    const Measures shown = ComputeMeasures({trace.begin(), trace.end() - 1}, trace.back());
    EXPECT_NEAR(test::propertiesOf(layer.features, 0)["length"].toDouble(), shown.total, 1e-9);
    EXPECT_NEAR(test::propertiesOf(layer.features, 0)["area"].toDouble(), shown.area, 1e-6);
}

TEST_F(MeasureExportTest, CrossSectionFromItsFileMenuWithoutShapefiles) {
    ProfileData data;
    for (int i = 0; i <= 40; ++i)
        data.samples.push_back({1000 + i * 10.0, 2000, 50.0 + i});
    data.kinds.assign(41, CellKind::Elevation);
    data.kinds[40] = CellKind::Water;
    data.step = 10.0;
    data.length = 400.0;
    CSliceWnd* window =
        CSliceWnd::Open(data, frame_.get(), {{1000, 2000, 0}, {1400, 2000, 0}}, 6677);
    QAction* command = window->action(kCmdExportProfile);
    const QString menu = QStringLiteral("ファイル(&F)");

    answerSaveDialog(0, QStringLiteral("section"));  // GeoJSON
    ASSERT_TRUE(choose(*window, menu, command));
    EXPECT_EQ(filters.size(), 3) << "no shapefile";
    const test::OgrLayer layer = test::readOgrLayer(exportDir.file("section.geojson"));
    EXPECT_EQ(layer.crs, "urn:ogc:def:crs:EPSG::6677");
    ASSERT_EQ(layer.features.size(), 42);  // the line, then the samples
    EXPECT_EQ(test::propertiesOf(layer.features, 40)["elevation"].toDouble(), 89.0);
    EXPECT_TRUE(test::propertiesOf(layer.features, 41)["elevation"].isNull()) << "water";

    // A file that cannot be written is said in a message box.
    answerSaveDialog(0, QStringLiteral("missing/section"));
    ASSERT_TRUE(choose(*window, menu, command));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("書き出せませんでした")));
}

}  // namespace
}  // namespace kov
