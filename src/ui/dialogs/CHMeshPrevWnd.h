// SPDX-License-Identifier: MIT
// Preview of a whole project in a small window: the meshes and images drawn over the project's
// extent, widened to the window's aspect ratio, and kept until a redraw is requested.
#pragma once

#include <QImage>
#include <QWidget>

#include "core/data/HMeshProject.h"

namespace kov {

class CHMeshPrevWnd : public QWidget {
    Q_OBJECT
public:
    explicit CHMeshPrevWnd(QWidget* parent = nullptr);

    void setProject(HMeshProject* project);
    HMeshProject* currentProject() const { return project_; }

    // Discards the kept picture and repaints.
    void redraw();

    // The kept picture (null until the window was painted with a project that has meshes).
    const QImage& picture() const { return picture_; }

    // The extent widened about its centre along one axis to the aspect ratio width : height.
    static MapRect fitAspect(const MapRect& extent, int width, int height);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void makePicture();

    HMeshProject* project_ = nullptr;
    QImage picture_;
};

}  // namespace kov
