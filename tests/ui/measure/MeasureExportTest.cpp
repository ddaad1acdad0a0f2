// The export commands as a user reaches them: a line measured with mouse clicks, the 図上計測
// menu opened and its entry chosen with clicks, the save dialog filled in by keys; the
// cross-section window's ファイル menu likewise. The files are read back by ogr2ogr.
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

class MeasureExportTest : public test::SampleWindowTest {
protected:
    static void SetUpTestSuite() {
        test::SampleWindowTest::SetUpTestSuite();
        registerTracks();
        registerMeasuringTracks();
    }
    void SetUp() override {
        test::SampleWindowTest::SetUp();
        settings::writeInt("TrackRange", "Window", 0);  // results in the tip, not a window
        document_ = std::make_unique<CKovVDoc>();
        frame_ = std::make_unique<CMainFrame>(document_.get());
        ASSERT_TRUE(frame_->Create());
        frame_->resize(900, 700);
        frame_->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
    }
    void TearDown() override {
        endAllTracks();
        delete CSliceWnd::current();
        frame_.reset();
        document_.reset();
        test::SampleWindowTest::TearDown();
    }
    // Opens a menu of the window's menu bar with a click on its title; answers the popup.
    static QMenu* openMenu(QMainWindow* window, const QString& title) {
        QMenuBar* bar = window->menuBar();
        for (QAction* entry : bar->actions())
            if (entry->text() == title)
                QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(entry).center());
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    }
    // Chooses the entry of an open menu with a click.
    static void choose(QMenu* menu, QAction* entry) {
        ASSERT_TRUE(menu && entry);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
    }
    // Answers the next save dialog as a user would: in the export folder, the filter `down`
    // entries below the first chosen with the arrow key, the name typed and Enter pressed. Keeps
    // the filter labels.
    void answerSaveDialog(int down, const std::string& name) {
        testPrompts().runModal = [this, down, name](QDialog& dialog) {
            dialog.show();
            auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (!types || !edit) return int(QDialog::Rejected);
            for (int i = 0; i < types->count(); ++i)
                filters << types->itemText(i);
            for (int i = 0; i < down; ++i)
                QTest::keyClick(types, Qt::Key_Down);
            static_cast<QFileDialog&>(dialog).setDirectory(
                QString::fromStdString(exportDir.path()));
            edit->setFocus();
            QTest::keyClicks(edit, QString::fromStdString(name));
            QTest::keyClick(edit, Qt::Key_Return);
            return dialog.result();
        };
    }

    std::unique_ptr<CKovVDoc> document_;
    std::unique_ptr<CMainFrame> frame_;
    test::TempDir exportDir;
    QStringList filters;
};

TEST_F(MeasureExportTest, MeasuredLineGoesOutThroughTheMeasureMenu) {
    ASSERT_TRUE(document_->OnOpenDocument(sampleProject()));
    QMenu* menu = openMenu(frame_.get(), QStringLiteral("図上計測(&R)"));
    ASSERT_NE(menu, nullptr);
    QAction* command = frame_->findChild<QAction*>(QString::number(kCmdExportMeasurement));
    ASSERT_NE(command, nullptr);
    EXPECT_TRUE(menu->actions().contains(command));
    EXPECT_FALSE(command->isEnabled()) << "no measured line yet";
    menu->close();

    // Distance and area: three clicks, the right button finishes the line where the mouse is.
    frame_->Action(kCmdMeasureDistanceArea)->trigger();
    CKovVView* view = document_->View();
    for (const QPoint at : {QPoint(200, 200), QPoint(500, 220), QPoint(420, 420)}) {
        QTest::mouseMove(view, at);
        QTest::mouseClick(view, Qt::LeftButton, {}, at);
    }
    QTest::mouseMove(view, QPoint(300, 380));
    QTest::mouseClick(view, Qt::RightButton, {}, QPoint(300, 380));
    const std::vector<FPoint> trace = document_->trace();
    ASSERT_EQ(trace.size(), 4u);

    answerSaveDialog(1, "trace");  // GeoPackage: the name gets its extension
    menu = openMenu(frame_.get(), QStringLiteral("図上計測(&R)"));
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(command->isEnabled());
    choose(menu, command);
    EXPECT_EQ(filters.size(), 4) << filters.join(',').toStdString();
    EXPECT_TRUE(messages.empty()) << messages[0].text.toStdString();

    const test::OgrLayer layer = test::readOgrLayer(exportDir.file("trace.gpkg"));
    ASSERT_TRUE(layer.read);
    EXPECT_NE(layer.crs.find("EPSG::"), std::string::npos);
    ASSERT_EQ(layer.features.size(), 4);
    const Measures shown = ComputeMeasures({trace.begin(), trace.end() - 1}, trace.back());
    const QJsonObject whole = test::propertiesOf(layer.features, 0);
    EXPECT_NEAR(whole["length"].toDouble(), shown.total, 1e-9);
    EXPECT_NEAR(whole["area"].toDouble(), shown.area, 1e-6);
}

TEST_F(MeasureExportTest, CrossSectionGoesOutThroughItsFileMenuWithoutShapefiles) {
    ProfileData data;
    for (int i = 0; i <= 40; ++i)
        data.samples.push_back({1000 + i * 10.0, 2000, 50.0 + i});
    data.kinds.assign(41, CellKind::Elevation);
    data.kinds[40] = CellKind::Water;
    data.step = 10.0;
    data.length = 400.0;
    data.vertexDistances = {0.0, 400.0};
    CSliceWnd* window =
        CSliceWnd::Open(data, frame_.get(), {{1000, 2000, 0}, {1400, 2000, 0}}, 6677);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));

    answerSaveDialog(0, "section");  // GeoJSON
    QAction* command = window->action(kCmdExportProfile);
    choose(openMenu(window, QStringLiteral("ファイル(&F)")), command);
    EXPECT_EQ(filters.size(), 3) << "no shapefile: " << filters.join(',').toStdString();
    const test::OgrLayer layer = test::readOgrLayer(exportDir.file("section.geojson"));
    EXPECT_EQ(layer.crs, "urn:ogc:def:crs:EPSG::6677");
    ASSERT_EQ(layer.features.size(), 42);  // the line and the samples
    EXPECT_EQ(test::propertiesOf(layer.features, 40)["elevation"].toDouble(), 89.0);
    EXPECT_TRUE(test::propertiesOf(layer.features, 41)["elevation"].isNull()) << "water";

    // A file that cannot be written is said in a message box.
    answerSaveDialog(0, "missing/section");
    choose(openMenu(window, QStringLiteral("ファイル(&F)")), command);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("書き出せませんでした")));
}

}  // namespace
}  // namespace kov
