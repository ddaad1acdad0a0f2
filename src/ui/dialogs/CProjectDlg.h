// SPDX-License-Identifier: MIT
// The project composition dialog: the title, the list of elevation meshes, images and
// shapefile layers, the map-sheet display, the image display and the colour map of a project,
// with a preview of the whole project. Layers are added to and removed from the collection at
// once; OK writes the dialog's settings into it.
#pragma once

#include <QDialog>
#include <QStringList>
#include <string>
#include <vector>

#include "core/project/DemLoading.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kov {

class CColorWell;
class CHMeshPrevWnd;
class HMeshProject;

class CProjectDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr unsigned kResourceId = 501;
    // Control ids (object names).
    enum Id {
        kIdTitle = 2101,
        kIdImageDisplay = 2201,
        kIdPenWidth = 2202,
        kIdAdd = 2301,
        kIdRemove = 2302,
        kIdRemoveAll = 2303,
        kIdColorMap = 2304,
        kIdAddFolder = 2305,
        kIdFillColor = 2309,
        kIdLayers = 2501,
        kIdSheetInfo = 2601,
        kIdPreview = 2751,
        kIdImageLabel = 2752,
        kIdPenWidthLabel = 2753,
        kIdFillColorLabel = 2754,
        kIdZone = 2602,
        kIdCellSize = 2603,
    };

    explicit CProjectDlg(QWidget* parent = nullptr);

    // The collection to edit (not owned); fills the controls from it.
    void setProject(HMeshProject* project);
    HMeshProject* currentProject() const { return project_; }
    // True for a new project: the first load that adds a layer fits colour stops 0 and 1 of
    // slot 0 to the data's elevation range and clears the flag.
    void setFitColourMap(bool fit) { fitColourMap_ = fit; }
    bool fitColourMap() const { return fitColourMap_; }

    // Loads layer files (and the tiles of folders) in the given order by their extensions,
    // with progress in the main frame; asks for the DSM cell size once. Answers the number of
    // layers added.
    int loadFiles(const std::vector<std::string>& paths);
    int loadFiles(const QStringList& paths);

    // The buttons' actions.
    void addFiles();
    void addFolder();
    void removeSelected();
    void removeAll();
    void editColorMap();

    // The plane rectangular zone and cell size that elevation sources (FG-GML DEM files, raster
    // DEMs) are placed on. The zone is the meshes' own once the project has any; while all its
    // meshes are such sources, choosing another zone or cell size places them again.
    void zoneChosen();
    void cellSizeChosen();

    // Title, map-sheet display and image display into the collection.
    void writeValues();
    // One line per mesh, image and shapefile layer; then the buttons are updated.
    void fillList();

    QListWidget* layers() const { return layers_; }
    CHMeshPrevWnd* preview() const { return preview_; }

    // The filter of the add-files dialog (entries separated by ";;").
    static QString fileFilter();

    // OK writes the dialog's values into the collection.
    void done(int result) override;
    // Takes files dropped on the layer list.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateButtons();
    void imageDisplayChanged();
    void refresh();
    // The zone shown: the meshes' own, else the one chosen; enabled while it can change.
    void showZone();
    // The settings of the next load of elevation sources.
    DemSettings demSettings() const;
    // Places every mesh of the project again (all placed from sources) by the controls.
    void placeAgain();

    HMeshProject* project_ = nullptr;
    bool fitColourMap_ = true;
    bool loading_ = false;

    QLineEdit* title_ = nullptr;
    QListWidget* layers_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* removeAll_ = nullptr;
    CHMeshPrevWnd* preview_ = nullptr;
    QCheckBox* sheetInfo_ = nullptr;
    QComboBox* imageDisplay_ = nullptr;
    QComboBox* penWidth_ = nullptr;
    CColorWell* fillColor_ = nullptr;
    QComboBox* zone_ = nullptr;
    QComboBox* cellSize_ = nullptr;
    bool zoneChosenByUser_ = false;
};

// Hands the composition dialog and the colour-map dialog to the document.
void registerCompositionDialogs();

}  // namespace kov
