// SPDX-License-Identifier: MIT
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <set>

#include <gtest/gtest.h>

#include "core/data/HMeshProject.h"
#include "core/data/ZarHColorMap.h"
#include "sample/SampleData.h"
#include "sample/SampleDem.h"
#include "support/ui/WindowTest.h"
#include "ui/dialogs/CColorMapDlg.h"
#include "ui/dialogs/CDsmResoDlg.h"
#include "ui/dialogs/CHMeshPrevWnd.h"
#include "ui/dialogs/CProjectDlg.h"
#include "ui/widgets/CColorWell.h"
#include "ui/widgets/CHxColorDlg.h"
#include "ui/widgets/CProgressWnd.h"
#include "ui/widgets/DialogPrompts.h"

namespace kov {
namespace {

int endDialog(QDialog& dialog, bool accept) {
    accept ? dialog.accept() : dialog.reject();
    return dialog.result();
}

class ProjectDlgTest : public test::SampleWindowTest {
protected:
    void SetUp() override {
        test::SampleWindowTest::SetUp();
        dialog_.setProject(&project_);
    }

    static std::string sample(const std::string& relative) { return dir->file(relative); }
    // The three tiles of the northern row ("tiles/", headers beside them), then the more files.
    static std::vector<std::string> northTiles(std::initializer_list<std::string> more = {}) {
        std::vector<std::string> paths;
        for (const sample::SampleTile& tile : sample::sampleTiles({}))
            if (tile.dataPath.starts_with("tiles/")) paths.push_back(sample(tile.dataPath));
        paths.insert(paths.end(), more);
        return paths;
    }

    template <typename T>
    T* control(int id) {
        return test::control<T>(dialog_, id);
    }
    QStringList layerLines() {
        QStringList lines;
        for (int i = 0; i < dialog_.layers()->count(); ++i)
            lines.push_back(dialog_.layers()->item(i)->text());
        return lines;
    }
    std::pair<double, double> stopHeights() {
        const ZarHColorMap* map = project_.GetColorMap(0);
        return {map->stop(0)->height, map->stop(1)->height};
    }

    test::TempDir dir_;
    HMeshProject project_;
    CProjectDlg dialog_;
};

TEST_F(ProjectDlgTest, ComposesAProjectFromAFolderAndFilesThroughTheButtons) {
    QStringList starts;
    QString chosen = QString::fromStdString(dir->path());
    testPrompts().existingDirectory = [&](QWidget*, const QString&, const QString& start) {
        starts.push_back(start);
        return chosen;
    };
    // The sample folder has no tiles of its own: those of its "Data" subfolder are taken.
    control<QPushButton>(CProjectDlg::kIdAddFolder)->click();
    ASSERT_EQ(project_.meshCount(), 6);
    EXPECT_TRUE(layerLines().contains(QString::fromStdString(sample::tileDisplayName("09LD281"))));
    EXPECT_EQ(std::tuple(control<QPushButton>(CProjectDlg::kIdRemoveAll)->isEnabled(),
                         control<QPushButton>(CProjectDlg::kIdRemove)->isEnabled()),
              std::tuple(true, false));

    // The first load of a new project fits the colour ramp to the data.
    const auto fitted = stopHeights();
    EXPECT_EQ(fitted, std::pair(project_.GetMinElevation(), project_.GetMaxElevation()));
    EXPECT_FALSE(dialog_.fitColourMap());

    // Files of every kind; a path that does not exist is skipped.
    QStringList files;
    for (const std::string& file :
         northTiles({sample("image/aerial.png"), sample("shape/roads.shp"), sample("missing.kov")}))
        files.push_back(QString::fromStdString(file));
    testPrompts().openFileNames = [&](QWidget*, const QString&, const QString& start,
                                      const QString&) {
        starts.push_back(start);
        return files;
    };
    control<QPushButton>(CProjectDlg::kIdAdd)->click();
    EXPECT_EQ(std::tuple(project_.meshCount(), project_.imageCount(), project_.shapeCount()),
              std::tuple(9, 1, 1));
    EXPECT_EQ(layerLines().sliced(9),
              (QStringList{QStringLiteral("aerial.png"),
                           QString::fromStdString(sample("shape/roads.shp") + "(SHP)")}));
    // Later loads leave the ramp as it is.
    EXPECT_EQ(stopHeights(), fitted);

    // The folder dialog starts where the last one ended; a folder without tiles is reported.
    chosen = QString::fromStdString(sample("image"));
    control<QPushButton>(CProjectDlg::kIdAddFolder)->click();
    // Both add dialogs start in the last folder used.
    EXPECT_EQ(starts, (QStringList{QString(), QString::fromStdString(dir->path() + "/"),
                                   QFileInfo(files.front()).absolutePath() + "/"}));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(std::tuple(messages[0].icon, project_.meshCount()),
              std::tuple(QMessageBox::Warning, 9));
}

TEST_F(ProjectDlgTest, PlacesNationalDemInTheChosenZoneUntilTilesDecideIt) {
    QComboBox* zone = control<QComboBox>(CProjectDlg::kIdZone);
    ASSERT_EQ(dialog_.loadFiles({sample(sample::kSampleDemZipPath)}), 4);
    EXPECT_EQ(project_.GetMesh(0)->zone, 9);  // the zone nearest to the data
    EXPECT_EQ(zone->currentData().toInt(), 9);
    // The user picks zone X on the drop-down with the keyboard: the files are placed there.
    dialog_.show();
    zone->setFocus();
    QTest::keyClick(zone, Qt::Key_Down);
    ASSERT_EQ(project_.meshCount(), 4);
    EXPECT_EQ(project_.GetMesh(0)->zone, 10);
    EXPECT_EQ(layerLines().size(), 4);
    // Tiles of zone IX arrive: the zone is theirs, the files follow and the choice is closed.
    dialog_.loadFiles(northTiles());
    ASSERT_EQ(project_.meshCount(), 7);
    for (int i = 0; i < project_.meshCount(); ++i)
        EXPECT_EQ(project_.GetMesh(i)->zone, 9) << project_.GetMesh(i)->path;
    EXPECT_FALSE(zone->isEnabled());
    EXPECT_EQ(zone->currentData().toInt(), 9);
}

TEST_F(ProjectDlgTest, RemovesExactlyTheSelectedLinesAcrossKinds) {
    dialog_.setFitColourMap(false);  // a change to a project keeps its ramp
    const auto ramp = stopHeights();
    ASSERT_EQ(dialog_.loadFiles(northTiles({sample("image/aerial.png"), sample("shape/areas.shp"),
                                            sample("shape/roads.shp")})),
              6);
    EXPECT_EQ(stopHeights(), ramp);
    const QStringList before = layerLines();
    ASSERT_EQ(before.size(), 6);

    // Japanese tile titles and Latin file names get rows of one height.
    QListWidget* list = dialog_.layers();
    for (int row = 1; row < list->count(); ++row)
        EXPECT_EQ(list->sizeHintForRow(row), list->sizeHintForRow(0))
            << layerLines()[row].toStdString();

    for (int row : {1, 3, 4})
        list->item(row)->setSelected(true);
    QPushButton* remove = control<QPushButton>(CProjectDlg::kIdRemove);
    EXPECT_TRUE(remove->isEnabled());
    remove->click();
    EXPECT_EQ(layerLines(), (QStringList{before[0], before[2], before[5]}));
    EXPECT_EQ(std::tuple(project_.meshCount(), project_.imageCount(), project_.shapeCount(),
                         remove->isEnabled()),
              std::tuple(2, 0, 1, false));

    // Remove all takes meshes and images and keeps the shapefile layers.
    ASSERT_EQ(dialog_.loadFiles(std::vector<std::string>{sample("image/aerial.png")}), 1);
    QPushButton* removeAll = control<QPushButton>(CProjectDlg::kIdRemoveAll);
    removeAll->click();
    EXPECT_EQ(std::tuple(layerLines(), project_.meshCount() + project_.imageCount(),
                         removeAll->isEnabled()),
              std::tuple(QStringList{before[5]}, 0, false));
}

// Records the titles of the progress windows shown while it lives.
class ShownProgressWindows : public QObject {
public:
    ShownProgressWindows() { qApp->installEventFilter(this); }
    ~ShownProgressWindows() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = qobject_cast<CProgressWnd*>(watched);
        if (window && event->type() == QEvent::Show) titles.push_back(window->windowTitle());
        return false;
    }
    QStringList titles;
};

TEST_F(ProjectDlgTest, DsmCellSizeIsAskedOncePerLoadAndKeptAndEachDsmFileShowsItsProgress) {
    EXPECT_EQ(CDsmResoDlg().cellSize(), 5.0);
    bool accept = true;
    int mode = 5, asked = 0;
    QString custom = QStringLiteral("3");
    testPrompts().runModal = [&](QDialog& dialog) {
        ++asked;
        test::control<QRadioButton>(dialog, CDsmResoDlg::kIdMode0 + mode)->setChecked(true);
        test::control<QLineEdit>(dialog, CDsmResoDlg::kIdCustomValue)->setText(custom);
        return endDialog(dialog, accept);
    };
    // A second DSM file on the neighbouring 1:2500 sheet, its extension in capitals.
    const std::string second = dir_.file("09LD282.TXT");
    test::writeFile(second, "1,-5000.5,-36500.5,12.5\r\n2,-4990.5,-36490.5,13.5\r\n");
    ShownProgressWindows windows;
    EXPECT_EQ(dialog_.loadFiles({sample("dsm/09LD281.txt"), northTiles()[0], second}), 3);
    std::multiset<double> cells;
    for (int i = 0; i < project_.meshCount(); ++i)
        cells.insert(project_.GetMesh(i)->cellSize);
    EXPECT_EQ(std::tuple(asked, cells, windows.titles.join(' ').toStdString()),
              std::tuple(1, std::multiset{3.0, 3.0, 5.0}, "09LD281 09LD282"));
    EXPECT_EQ(CDsmResoDlg().cellSize(), 3.0) << "the choice is kept";

    custom = QStringLiteral("0");  // below a tenth of a metre
    EXPECT_EQ(CDsmResoDlg::ask(nullptr), std::nullopt);
    // Cancel writes nothing.
    accept = false;
    mode = 0;
    EXPECT_EQ(std::tuple(CDsmResoDlg::ask(nullptr), settings::readInt("DsmResoDlg", "Mode", -1)),
              std::tuple(std::nullopt, 5));
    // A stored mode out of range.
    settings::writeInt("DsmResoDlg", "Mode", 9);
    EXPECT_EQ(CDsmResoDlg().mode(), 2);
}

TEST_F(ProjectDlgTest, OkWritesTitleSheetAndImageDisplayButLeavesTheShapeSettings) {
    HMeshProject project;
    project.projectTitle = "旧タイトル";
    project.showSheetInfo = 1;
    project.imageVisible = 1;
    project.imageTransparency = 30;
    project.shapePenWidth = 1.5;
    project.shapeFillColor = 0x123456;
    {
        CProjectDlg dialog;
        dialog.setProject(&project);
        auto* images = test::control<QComboBox>(dialog, CProjectDlg::kIdImageDisplay);
        auto* title = test::control<QLineEdit>(dialog, CProjectDlg::kIdTitle);
        EXPECT_EQ(std::pair(images->currentIndex(), title->text()),
                  std::pair(7, QStringLiteral("旧タイトル")));

        // The image display takes effect at once; "hidden" keeps the transparency.
        images->setCurrentIndex(0);
        emit images->activated(0);
        EXPECT_EQ(std::pair(project.imageVisible, project.imageTransparency), std::pair(0, 30));

        title->setText(QStringLiteral("新タイトル"));
        dialog.reject();
        EXPECT_EQ(project.projectTitle, "旧タイトル");

        test::control<QCheckBox>(dialog, CProjectDlg::kIdSheetInfo)->setChecked(false);
        images->setCurrentIndex(2);
        dialog.accept();
    }
    EXPECT_EQ(std::tuple(project.projectTitle, project.showSheetInfo, project.imageVisible,
                         project.imageTransparency, project.shapePenWidth, project.shapeFillColor),
              std::tuple("新タイトル", 0, 1, 80, 1.5, 0x123456u));
}

TEST_F(ProjectDlgTest, FilesDroppedOnTheListAreLoaded) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& tile : northTiles())
        urls.push_back(QUrl::fromLocalFile(QString::fromStdString(tile)));
    data.setUrls(urls);
    // Delivered as during a drag: the dialog filters the list's events (sendEvent does not
    // deliver drops without a running drag).
    QWidget* viewport = dialog_.layers()->viewport();
    ASSERT_TRUE(viewport->acceptDrops());
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    EXPECT_TRUE(dialog_.eventFilter(viewport, &enter) && enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    EXPECT_TRUE(dialog_.eventFilter(viewport, &drop) && drop.isAccepted());
    EXPECT_EQ(std::pair(project_.meshCount(), int(layerLines().size())), std::pair(3, 3));

    // Data without local files is refused.
    QMimeData text;
    text.setText(QStringLiteral("abc"));
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    dialog_.eventFilter(viewport, &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(ProjectDlgTest, PreviewFitsTheExtentToItsWindowAndKeepsItsPicture) {
    const MapRect wide = CHMeshPrevWnd::fitAspect({0, 0, 100, 50}, 200, 200);
    EXPECT_EQ(std::tuple(wide.xmin, wide.ymin, wide.xmax, wide.ymax), std::tuple(0, -25, 100, 75));
    const MapRect tall = CHMeshPrevWnd::fitAspect({0, 0, 100, 50}, 400, 100);
    EXPECT_EQ(std::tuple(tall.xmin, tall.ymin, tall.xmax, tall.ymax), std::tuple(-50, 0, 150, 50));

    CHMeshPrevWnd* preview = dialog_.preview();
    preview->grab();
    EXPECT_TRUE(preview->picture().isNull());  // nothing to show yet

    ASSERT_EQ(dialog_.loadFiles(northTiles()), 3);
    preview->grab();
    const QImage picture = preview->picture();
    ASSERT_EQ(picture.size(), preview->size());
    // The three tiles side by side fill the width; bands above and below show the background
    // of the colour map, the middle row shows terrain.
    const int x = picture.width() / 2;
    EXPECT_NE(picture.pixel(x, picture.height() / 2), picture.pixel(x, 2));
    preview->grab();
    EXPECT_EQ(preview->picture().cacheKey(), picture.cacheKey());
    preview->redraw();
    EXPECT_TRUE(preview->picture().isNull());
}

using ColorMapDlgTest = test::WindowTest;
using test::control;

ZarHColorMap mapWithStops(double low, double high) {
    ZarHColorMap map;
    ColorStop stops[2];
    stops[0].color = 0x0080FFE6;
    stops[0].height = low;
    stops[1].color = 0x002040C0;
    stops[1].height = high;
    map.setStops(stops, 2);
    return map;
}

TEST_F(ColorMapDlgTest, ShowsTheMapAndAppliesEveryChangeToTheWorkingCopy) {
    ZarHColorMap map = mapWithStops(12.34, 200);
    map.seaColor = 0x00FFFF80;
    map.noDataColor = 0x80FFFF80;
    CColorMapDlg dialog(nullptr, map, 2, 2.5, 0, 0);

    QLineEdit* first = control<QLineEdit>(dialog, CColorMapDlg::kIdFirstHeight);
    QLineEdit* last = control<QLineEdit>(dialog, CColorMapDlg::kIdLastHeight);
    QCheckBox* sea = control<QCheckBox>(dialog, CColorMapDlg::kIdSeaCheck);
    QCheckBox* noData = control<QCheckBox>(dialog, CColorMapDlg::kIdNoDataCheck);
    EXPECT_EQ(std::tuple(first->text(), last->text(), sea->isChecked(), noData->isChecked(),
                         control<CColorWell>(dialog, CColorMapDlg::kIdNoDataColor)->color(),
                         dialog.stepMode(), dialog.stepHeight()),
              std::tuple(QStringLiteral("12.3"), QStringLiteral("200"), true, false, 0x00FFFF80u, 2,
                         2.5));
    // No known range: no optimise button.
    EXPECT_FALSE(control<QPushButton>(dialog, CColorMapDlg::kIdOptimise)->isVisibleTo(&dialog));

    // Opening changed nothing; typing does, and text that is no number reads as 0.
    EXPECT_EQ(map.stop(0)->height, 12.34);
    last->setText(QStringLiteral("350.5"));
    first->setText(QStringLiteral("x"));
    EXPECT_EQ(std::tuple(map.stop(0)->height, map.stop(1)->height, map.table()[999].height),
              std::tuple(0.0, 350.5, 350.5));

    // Water painted / not painted is bit 31; a new well colour keeps that choice.
    sea->setChecked(false);
    noData->setChecked(true);
    EXPECT_EQ(std::pair(map.seaColor, map.noDataColor), std::pair(0x80FFFF80u, 0x00FFFF80u));
    testPrompts().runModal = [](QDialog& colours) {
        dynamic_cast<CHxColorDlg&>(colours).setCurrentColor(QColor(0x11, 0x22, 0x33));
        colours.accept();
        return static_cast<int>(QDialog::Accepted);
    };
    for (int id :
         {CColorMapDlg::kIdSeaColor, CColorMapDlg::kIdLastColor, CColorMapDlg::kIdTopColor})
        control<CColorWell>(dialog, id)->click();
    EXPECT_EQ(std::tuple(map.seaColor, map.stop(1)->color, map.table()[999].red, map.topColor),
              std::tuple(0x80332211u, 0x00332211u, 0x11, 0x00332211u));

    // The reverse flag rebuilds the table: the mid-point colour takes the other way round.
    const ColorTableEntry middle = map.table()[500];
    control<QCheckBox>(dialog, CColorMapDlg::kIdReverse)->setChecked(true);
    EXPECT_EQ(map.stop(0)->reverse, 1);
    const ColorTableEntry reversed = map.table()[500];
    EXPECT_NE(std::make_tuple(middle.red, middle.green, middle.blue),
              std::make_tuple(reversed.red, reversed.green, reversed.blue));
}

TEST_F(ColorMapDlgTest, OptimiseTakesTheWholeMetresAroundTheDataRange) {
    // Negative ranges round outward as well.
    for (const auto& [low, high, first, last] :
         {std::tuple{3.7, 152.2, 3.0, 153.0}, {-2.5, -0.5, -3.0, -0.0}}) {
        ZarHColorMap map = mapWithStops(0, 200);
        CColorMapDlg dialog(nullptr, map, 0, 5, low, high);
        QPushButton* optimise = control<QPushButton>(dialog, CColorMapDlg::kIdOptimise);
        ASSERT_TRUE(optimise->isVisibleTo(&dialog));
        optimise->click();
        EXPECT_EQ(control<QLineEdit>(dialog, CColorMapDlg::kIdLastHeight)->text(),
                  QString::number(last));
        EXPECT_EQ(std::pair(map.stop(0)->height, map.stop(1)->height), std::pair(first, last));
    }
}

TEST_F(ColorMapDlgTest, ASingleStopMapTakesOnlyFirstStopChanges) {
    ZarHColorMap map;
    ColorStop stop;
    stop.height = 10;
    map.setStops(&stop, 1);
    CColorMapDlg dialog(nullptr, map, 0, 5, 0, 0);
    control<QLineEdit>(dialog, CColorMapDlg::kIdLastHeight)->setText("99");
    EXPECT_EQ(map.stop(0)->height, 10.0);
    control<QLineEdit>(dialog, CColorMapDlg::kIdFirstHeight)->setText("20");
    EXPECT_EQ(map.stop(0)->height, 20.0);
}

TEST_F(ColorMapDlgTest, EditColorMapStoresTheCopyOnlyOnOk) {
    HMeshProject project;
    project.stepMode = 0;
    project.stepHeight = 5;
    const ZarHColorMap* original = project.GetColorMap(0);
    const double originalTop = original->stop(1)->height;
    bool ok = false;
    testPrompts().runModal = [&ok](QDialog& dialog) {
        control<QLineEdit>(dialog, CColorMapDlg::kIdLastHeight)->setText("999");
        control<QComboBox>(dialog, CColorMapDlg::kIdStepMode)->setCurrentIndex(1);
        control<QLineEdit>(dialog, CColorMapDlg::kIdStepHeight)->setText("12.5");
        return endDialog(dialog, ok);
    };
    EXPECT_FALSE(editColorMap(nullptr, project));
    EXPECT_EQ(std::tuple(project.GetColorMap(0), original->stop(1)->height, project.stepMode),
              std::tuple(original, originalTop, 0));

    ok = true;
    EXPECT_TRUE(editColorMap(nullptr, project));
    EXPECT_EQ(
        std::tuple(project.GetColorMap(0)->stop(1)->height, project.stepMode, project.stepHeight),
        std::tuple(999.0, 1, 12.5));
}

}  // namespace
}  // namespace kov
