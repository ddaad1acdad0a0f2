// SPDX-License-Identifier: MIT
#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QMenuBar>
#include <cmath>

#include <gtest/gtest.h>

#include "core/base/CommandIds.h"
#include "core/display/ContourOverlay.h"
#include "support/ImagePixels.h"
#include "support/ui/WindowTest.h"
#include "ui/app/CKovVApp.h"
#include "ui/view/CKovVView.h"

namespace kov {
namespace {

// File dialogs answer target_.
class MapMenuTest : public test::SampleFrameTest {
protected:
    void SetUp() override {
        test::SampleFrameTest::SetUp();
        setFileDialogHook([this](const FileDialogRequest&) { return target_; });
    }
    void TearDown() override {
        setFileDialogHook({});
        test::SampleFrameTest::TearDown();
    }
    CKovVView& view() { return *frame_->View(); }

    // Chooses the entry of the menu bar's menu as a click on it does, then lets the view paint.
    void choose(const char* menuTitle, int id) {
        frame_->updateCommandStates();
        QAction* entry = nullptr;
        for (QAction* menu : frame_->menuBar()->actions()) {
            if (menu->text() != QString::fromUtf8(menuTitle)) continue;
            for (QAction* action : menu->menu()->actions())
                if (action->objectName() == QString::number(id)) entry = action;
        }
        ASSERT_NE(entry, nullptr) << id;
        ASSERT_TRUE(entry->isEnabled()) << id;
        entry->trigger();
        QCoreApplication::processEvents();
        view().repaint();
    }
    int contourPixels() {
        return test::differingPixels(view().mapPicture(), view().reliefImage(), view().rect());
    }
    // What a GDAL command prints for the file.
    static std::string gdal(const std::string& command, const QString& path,
                            const std::string& more = {}) {
        return test::runCommand(command + " '" + path.toStdString() + "' " + more + " 2>&1");
    }

    std::optional<QString> target_;
    test::TempDir out_;
};

TEST_F(MapMenuTest, ContourEntryTogglesTheLinesAndIsRemembered) {
    ASSERT_EQ(contourPixels(), 0);
    choose("表示(&V)", kCmdToggleContours);
    EXPECT_TRUE(frame_->Action(kCmdToggleContours)->isChecked());
    EXPECT_TRUE(readContourDisplay().show);
    // Lines over at least a few hundred pixels of the sample's hills, the relief kept.
    EXPECT_GT(contourPixels(), 300);
    choose("表示(&V)", kCmdToggleContours);
    EXPECT_EQ(contourPixels(), 0);
    EXPECT_FALSE(readContourDisplay().show);
}

TEST_F(MapMenuTest, VisibleAreaExportIsReadByGdalOrRefusedWithoutAFile) {
    view().zoom(kZoomAtCentre, 1);
    const MapRect shown = view().viewport().world();
    target_ = QString::fromStdString(out_.file("visible.tif"));
    choose("ファイル(&F)", kCmdExportVisibleElevation);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().icon, QMessageBox::Information) << messages.back().text.toStdString();

    const QJsonObject info =
        QJsonDocument::fromJson(QByteArray::fromStdString(gdal("gdalinfo -json", *target_)))
            .object();
    const QJsonArray geo = info[QStringLiteral("geoTransform")].toArray();
    ASSERT_EQ(geo.size(), 6) << gdal("gdalinfo", *target_);
    // 5 m cells from the visible area's edges moved outward onto the 5 m lattice.
    EXPECT_EQ(geo[1].toDouble(), 5.0);
    EXPECT_EQ(geo[5].toDouble(), -5.0);
    EXPECT_EQ(geo[0].toDouble(), std::floor(shown.xmin / 5) * 5);
    EXPECT_EQ(geo[3].toDouble(), std::ceil(shown.ymax / 5) * 5);
    // The elevation of a cell centre as the map tells it.
    const double x = geo[0].toDouble() + 40 * 5 + 2.5, y = geo[3].toDouble() - 30 * 5 - 2.5;
    const double z = elevationAtMapPoint(*document_->meshes(), x, y);
    ASSERT_GT(z, kElevationWater) << "a ground cell";
    const std::string value = gdal("gdallocationinfo -valonly -geoloc", *target_,
                                   std::to_string(x) + " " + std::to_string(y));
    EXPECT_NEAR(std::stod(value), z, 1e-3) << value;

    for (const char* name : {"visible.png", "missing/visible.tif"}) {
        SCOPED_TRACE(name);
        messages.clear();
        target_ = QString::fromStdString(out_.file(name));
        choose("ファイル(&F)", kCmdExportVisibleElevation);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_NE(messages[0].icon, QMessageBox::Information);
        EXPECT_FALSE(QFile::exists(*target_));
    }
}

}  // namespace
}  // namespace kov
