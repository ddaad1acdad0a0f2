// SPDX-License-Identifier: MIT
// The main window: menu bar, toolbar with the image-display drop-down, five-pane status bar,
// scroll pad bar and the map view. It routes commands (view, document, frame, application),
// remembers its placement between runs and holds the program's progress display.
#pragma once

#include <QFont>
#include <QMainWindow>
#include <QSize>
#include <QStringList>
#include <QTimer>
#include <QToolBar>
#include <map>

#include "ui/app/FrameServices.h"
#include "ui/app/ProgressHost.h"

class QComboBox;
class QDockWidget;
class QLabel;
class QMenu;
class QStatusBar;

namespace kov {

class CKovVDoc;
class CKovVView;
class StatusPane;

// The main toolbar; keeps the font of its drop-down (a copy of the default GUI font).
class KovToolBar : public QToolBar {
    Q_OBJECT
public:
    explicit KovToolBar(QWidget* parent = nullptr);
    const QFont& comboFont() const { return comboFont_; }

private:
    QFont comboFont_;
};

// The stored window placement of section "MainFrame".
struct FramePlacement {
    int x = -1;
    int y = -1;
    int width = -1;
    int height = -1;
    int zoom = 0;  // 1: maximised

    static FramePlacement Load();
    // A placement is used only when all four numbers are positive, the corner lies more than 32
    // pixels inside the screen and the size does not exceed it.
    bool fits(const QSize& screen) const;
};

class CMainFrame : public QMainWindow, public CommandTarget {
    Q_OBJECT
public:
    static constexpr int kPaneCount = 5;
    static constexpr int kImageComboId = 2201;
    static constexpr int kImageComboWidth = 150;
    static constexpr int kImageEntryCount = 11;

    explicit CMainFrame(CKovVDoc* document, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The one main window (null before it is made and after it is gone).
    static CMainFrame* instance();

    // Builds toolbar, drop-down, status bar, scroll pad bar and menu; false when a part fails.
    bool Create();
    // Shows the window, maximised when it was maximised at the end of the last run.
    void showInitial();

    CKovVDoc* document() const { return document_; }
    CKovVView* View() const { return view_; }
    KovToolBar* toolBar() const { return toolBar_; }
    QComboBox* imageCombo() const { return imageCombo_; }
    QDockWidget* scrollPadBar() const { return scrollPadBar_; }
    // Puts the scroll pad into its bar (the bar keeps an empty placeholder until then).
    // The action of a command id (menu entry, toolbar button, accelerator); null when none.
    QAction* Action(int id) const;
    // The texts of the image-display drop-down, entry 0 to 10.
    static QStringList imageEntryTexts();

    // ---- commands
    // Sends the command to the view, the document, the frame and the application, in that order,
    // skipping it when the first target that knows it disables it.
    void RouteCommand(int id);
    // Asks the same targets for the command's state; false when nobody handles it (the command is
    // then disabled).
    bool routeUpdate(int id, CommandState& state);
    // Refreshes enabling and check marks of every action.
    void updateCommandStates();

    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, CommandState& state) override;

    // ---- status bar
    void SetPaneText(int pane, const QString& text);
    QString PaneText(int pane) const;
    int paneWidth(int pane) const;
    // The progress indicator of a pane: percent 0..100, or -1 when none runs.
    int paneProgress(int pane) const;
    // Pane 0..4 (null before the status bar is made).
    StatusPane* statusPane(int pane) const;
    // The main window exists, is shown and has a visible status bar.
    bool statusBarShown() const;

    // ---- image-display drop-down
    // Selects the entry without treating it as a user's choice.
    void selectImageEntry(int entry);
    int imageEntry() const;
    // The user chose an entry: sets the document's image display and redraws.
    void OnImageEntryChosen(int entry);

    // ---- long work
    // Disables (or enables again) the menus, toolbar, scroll pad and view while a project loads.
    void enableInput(bool enable);
    // Lets waiting events run, except the input that could start other work (see ProgressHost).
    void PumpMessages() { progress_.pump(); }
    // The progress display behind ProgressReport (FrameServices.h).
    ProgressHost& progressHost() { return progress_; }
    // After work that ran out of memory: input enabled again, the progress display ended, and
    // the user told (a message box, never an abort).
    void recoverFromOutOfMemory();

    // Rebuilds the recent-file entries of the File menu.
    void rebuildRecentFileMenu();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAction* makeAction(int id);
    void createActions();
    void createToolBar();
    void createStatusBar();
    void createScrollPadBar();
    void createMenuBar();
    void updateMenu(QMenu* menu);
    void savePlacement();
    void applyStoredPlacement();

    CKovVDoc* document_;
    CKovVView* view_ = nullptr;
    KovToolBar* toolBar_ = nullptr;
    QComboBox* imageCombo_ = nullptr;
    QDockWidget* scrollPadBar_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QAction* recentAnchor_ = nullptr;
    QList<QAction*> recentActions_;
    QStatusBar* status_ = nullptr;
    StatusPane* panes_[kPaneCount] = {};
    std::map<int, QAction*> actions_;
    QTimer idleTimer_;

    FramePlacement stored_;
    bool placementSaved_ = false;
    bool adjustFrameOnShow_ = false;
    bool everShown_ = false;

    // Status-bar prompts of menu entries shown over pane 0.
    bool showingPrompt_ = false;
    QString textUnderPrompt_;

    ProgressHost progress_{*this};
};

}  // namespace kov
