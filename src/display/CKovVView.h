// The map window: keeps the viewport, turns mouse and keyboard input into zooming and panning,
// draws the relief with its overlays, shows coordinates and elevation under the cursor, and
// copies the visible map to the clipboard. Without a project it shows the start screen.
#pragma once

#include <QWidget>

#include "app/FrameServices.h"
#include "display/MapViewport.h"

namespace kov {

class CKovVDoc;

class CKovVView : public QWidget, public CommandTarget {
    Q_OBJECT
public:
    explicit CKovVView(CKovVDoc* document, QWidget* parent = nullptr);
    ~CKovVView() override;

    CKovVDoc* Document() const { return document_; }
    // Fits the rectangle into the window and redraws.
    void setView(const MapRect& rect);
    // Drops the cached relief and repaints (every viewport change does this).
    void invalidateMap();
    const MapViewport& viewport() const { return viewport_; }
    void setStartScreen(bool on);
    bool startScreen() const { return startScreen_; }
    // Renders the view with its legend and puts it on the clipboard.
    void copyToClipboard();

    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, CommandState& state) override;

protected:
    CKovVDoc* document_;
    MapViewport viewport_;
    bool startScreen_ = false;
};

}  // namespace kov
