// SPDX-License-Identifier: MIT
// The one open project of the program: owns the mesh collection, opens, creates, changes and
// saves projects, asks to save before a project is replaced, and carries the project commands
// of the File, Settings, View and Measurement menus.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "core/base/PlaneConverter.h"
#include "core/data/HMeshProject.h"
#include "ui/app/FrameServices.h"

namespace kov {

class CKovVView;
struct ProjectLoadReport;

class CKovVDoc : public QObject, public CommandTarget {
    Q_OBJECT
public:
    explicit CKovVDoc(QObject* parent = nullptr);
    ~CKovVDoc() override;

    // The map view that shows this document (set by the main frame).
    void setView(CKovVView* view) { view_ = view; }
    CKovVView* View() const { return view_; }

    // True once a project was opened or created and while it holds a mesh.
    bool HasProject() const;
    // The installed collection; null before the first project.
    HMeshProject* meshes() const { return meshes_.get(); }
    // The measurement trace (map points).
    std::vector<FPoint>& trace() { return trace_; }
    const PlaneConverter& coordinates() const { return coordinates_; }

    // Framework operations: New runs the composition dialog; Open reads a project file with
    // progress; Save writes it; SaveModified asks before the project is replaced or the
    // program closes (false: abort).
    bool OnNewDocument();
    bool OnOpenDocument(const QString& path);
    bool OnSaveDocument(const QString& path);
    bool SaveModified();
    bool IsModified() const { return modified_; }
    void SetModifiedFlag(bool modified = true) { modified_ = modified; }
    QString Title() const { return title_; }
    void SetTitle(const QString& title);  // cut to its first 128 bytes
    QString PathName() const { return pathName_; }
    void SetPathName(const QString& path, bool addToRecent = true);

    void SetImageDisplay(int visible, int transparency);
    // After a result layer was added: turns the images on (at 20 % transparency when they were
    // fully transparent).
    void showImages();
    void RedrawAllViews();

    // The image-display drop-down: entry 0 hides the images, entry i (1..10) shows them at
    // (10 - i) x 10 % transparency.
    static int imageEntryFor(int visible, int transparency);
    static void imageSettingsFor(int entry, int32_t& visible, int32_t& transparency);

    // The composition dialog is supplied by the dialog module: it edits the collection in place
    // and answers true for OK. Until one is set, New and Change report that it is missing.
    using ProjectDialog = std::function<bool(HMeshProject& project, bool newProject)>;
    static void setProjectDialog(ProjectDialog dialog);
    // Likewise the colour-map dialog (works on a copy; on OK the caller stores it).
    using ColorMapDialog = std::function<bool(HMeshProject& project)>;
    static void setColorMapDialog(ColorMapDialog dialog);
    // The tools of other modules (zoom and measuring tracks, measurement properties, flood
    // estimation, printing) register the commands they carry out; until one is registered its
    // command reports that it is not available.
    using CommandHandler = std::function<void(CKovVDoc& document, int id)>;
    static void setCommandHandler(int id, CommandHandler handler);
    // The interaction tracks end when the project closes; the track framework registers how.
    // With a document: only when the current track is bound to it; with null: in any case.
    using TrackEnder = std::function<void(const CKovVDoc* owner)>;
    static void setTrackEnder(TrackEnder ender);

    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, CommandState& state) override;

signals:
    // The recent-file list changed (the frame rebuilds its menu).
    void recentFilesChanged();

private:
    // Makes the collection the document's project and shows its whole extent.
    void installProject(std::unique_ptr<HMeshProject> project);
    void changeProject();
    void editColorMap();
    void saveAs();
    // The framework's save: to the path name, or through a save-as dialog without one.
    bool DoFileSave();
    void runToolCommand(int id);
    void selectImageEntry();
    // After a project was opened: one message naming the damage to the file and the layers that
    // could not be used, and why; nothing when everything was read.
    void reportLoadProblems(const QString& path, const ProjectLoadReport& report);
    // The damage and the layers that could not be read, in the window's words.
    static QStringList loadProblemLines(const QString& path, const ProjectLoadReport& report);

    int32_t hasProject_ = 0;
    std::unique_ptr<HMeshProject> meshes_;
    std::vector<FPoint> trace_;
    PlaneConverter coordinates_;
    CKovVView* view_ = nullptr;
    bool modified_ = false;
    QString title_;
    QString pathName_;
    // The project file that opened damaged (only partly read): saving over it asks first.
    QString damagedPath_;
};

}  // namespace kov
