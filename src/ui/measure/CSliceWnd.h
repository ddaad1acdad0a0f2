// SPDX-License-Identifier: MIT
// The cross-section window: the profile of a line clicked on the map, with its own copy of the
// samples; it prints the profile, saves it as an enhanced metafile and exports the line and its
// samples to a GIS file. One at a time: opening a new cross-section closes the previous window.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <vector>

#include "core/measure/ProfilePlot.h"

class QAction;
class QPrinter;

namespace kov {

class CKovVDoc;

// "SliceWnd" placement: used when it lies on the screen.
struct SlicePlacement {
    int x = -1, y = -1, width = -1, height = -1;
    static SlicePlacement Load();
    bool fits(const QSize& screen) const;
};

class CSliceWnd : public QMainWindow {
    Q_OBJECT
public:
    // Closes the current window (if any) and opens a new one with the profile, owned by the
    // main frame. The clicked line (map points) and the EPSG code of its zone are what the
    // export writes; without a line there is nothing to export.
    static CSliceWnd* Open(const ProfileData& data, QWidget* owner, std::vector<FPoint> line = {},
                           int epsg = 0);
    // The window shown now, or null.
    static CSliceWnd* current();
    // Stand-in for the save dialog (tests): answers the chosen path or an empty text.
    using SavePrompt = std::function<QString(QWidget* parent, const QString& filter)>;
    static void setSavePrompt(SavePrompt prompt);

    ~CSliceWnd() override;

    const ProfileData& data() const { return data_; }
    bool showControlPoints() const { return showMarks_; }
    QAction* action(int id) const;
    QWidget* plotWidget() const { return plot_; }

    // The commands of the window's menu.
    void OnPrint();
    void OnSaveMetafile();
    void OnToggleControlPoints();
    void OnExportProfile();
    // Draws the profile onto the printer: 90 % of the page at the plot's aspect ratio, the
    // top-left at 5 %. False when the printer cannot be drawn on.
    bool printTo(QPrinter& printer);
    // Writes the metafile of the plot area; false (and the reason) when it cannot be written.
    bool saveMetafile(const QString& path, std::string* error = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CSliceWnd(const ProfileData& data, QWidget* owner, std::vector<FPoint> line, int epsg);
    void createMenus();
    void savePlacement();

    ProfileData data_;
    std::vector<FPoint> line_;
    int epsg_ = 0;
    bool showMarks_ = true;
    bool placementSaved_ = false;
    QWidget* plot_ = nullptr;
};

// Registers the cross-section builder of the measuring track: the clicked line is sampled with
// the "CrossSection" settings over the document's collection and shown in the window.
void registerCrossSectionWindow();

}  // namespace kov
