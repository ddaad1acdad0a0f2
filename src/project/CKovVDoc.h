// The one open project of the program: owns the mesh collection, opens, creates, changes and
// saves projects, asks to save before a project is replaced, and carries the project commands
// of the File, Settings, View and Measurement menus.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "app/FrameServices.h"
#include "data/HMeshProject.h"
#include "display/PlaneConverter.h"

namespace kov {

class CKovVView;

class CKovVDoc : public QObject, public CommandTarget {
    Q_OBJECT
public:
    explicit CKovVDoc(QObject* parent = nullptr);
    ~CKovVDoc() override;

    // The map view that shows this document (set by the main frame).
    void SetView(CKovVView* view) { view_ = view; }
    CKovVView* View() const { return view_; }

    // True once a project was opened or created and while it holds a mesh.
    bool HasProject() const;
    // The installed collection; null before the first project.
    HMeshProject* Meshes() const { return meshes_.get(); }
    // The measurement trace (map points).
    std::vector<FPoint>& Trace() { return trace_; }
    const PlaneConverter& Coordinates() const { return coordinates_; }

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
    void RedrawAllViews();

    // The composition dialog is supplied by the dialog module: it edits the collection in place
    // and answers true for OK. Until one is set, New and Change report that it is missing.
    using ProjectDialog = std::function<bool(HMeshProject& project, bool newProject)>;
    static void SetProjectDialog(ProjectDialog dialog);
    // Likewise the colour-map dialog (works on a copy; on OK the caller stores it).
    using ColorMapDialog = std::function<bool(HMeshProject& project)>;
    static void SetColorMapDialog(ColorMapDialog dialog);

    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, CommandState& state) override;

signals:
    // The recent-file list changed (the frame rebuilds its menu).
    void RecentFilesChanged();

private:
    int32_t hasProject_ = 0;
    std::unique_ptr<HMeshProject> meshes_;
    std::vector<FPoint> trace_;
    PlaneConverter coordinates_;
    CKovVView* view_ = nullptr;
    bool modified_ = false;
    QString title_;
    QString pathName_;
};

}  // namespace kov
