// SPDX-License-Identifier: MIT
// The application: start-up and exit, the command line, the recent-file list, help and the
// About box. One instance lives from main() to the end of the program; it owns the document and
// the main frame.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "ui/app/FrameServices.h"

class QWidget;

namespace kov {

class CKovVDoc;
class CMainFrame;
class CHelpWindow;

// ---- command line ------------------------------------------------------------------------------

// What the command line asks for: `kovview [FILE]`, `--print FILE` (also `/p FILE`),
// `--print-to FILE PRINTER` (also `/pt FILE PRINTER`), `--startup-time` (report the
// milliseconds from start to the first painted map and quit).
struct CommandLineInfo {
    enum Action { FileNew, FileOpen, FilePrint, FilePrintTo, Usage, Version, Error };
    Action action = FileNew;
    QString file;
    QString printer;
    bool startupTime = false;
    QString error;  // for Error: what was wrong
};

CommandLineInfo ParseCommandLine(const QStringList& arguments);  // without the program name
QString commandLineUsage();
// What needs no window: --help and --version print the usage or the version on stdout (exit
// code 0), a bad command line says what was wrong on stderr (exit code 2). Nothing for a command
// line that starts the program. Needs no display.
std::optional<int> answerWithoutWindow(const CommandLineInfo& info);

// ---- help --------------------------------------------------------------------------------------

// Help commands (the data of a context request is a help identifier).
inline constexpr unsigned kHelpContext = 0x0001;
inline constexpr unsigned kHelpIndex = 0x0003;
inline constexpr unsigned kHelpFinder = 0x000B;
// Help identifiers: commands are 0x10000 + command id, dialogs and windows 0x20000 + resource id.
inline constexpr unsigned kHelpIdCommand = 0x10000;
inline constexpr unsigned kHelpIdResource = 0x20000;
// The main window's resource.
inline constexpr unsigned kMainFrameResource = 128;

// The topic of a help request: show is false when nothing at all is to be shown (the main
// window's own identifier); topic is "Index.htm", "U%05d.htm", "M%05d.htm", "D%05d.htm", or empty
// for identifiers beyond the dialog range.
struct HelpTopic {
    bool show = true;
    QString topic;
};
HelpTopic helpTopicFor(unsigned data, unsigned command);

// Folders that hold the help pages, first match wins: "help" beside the executable, the
// installed share/kovview/help, then the pages built into the program.
QStringList helpFolders();

// ---- recent files ------------------------------------------------------------------------------

// The recent-file list of 10 entries, kept in the settings store as the Windows edition keeps it
// (section "Recent File List", keys "File1".."File10", newest first).
inline constexpr int kRecentFileCount = 10;
// The list is read once (at start-up or on first use) and written through on every change.
QStringList recentFileList();
// Reads the list again from the settings store (after the settings location changed).
void reloadRecentFileList();
void AddToRecentFileList(const QString& path);
void removeFromRecentFileList(const QString& path);

// ---- file dialogs ------------------------------------------------------------------------------

// A file dialog as the program asks for it: Windows-style filter "name|pattern|...||", default
// extension without the dot (a save dialog then adds the extension of the filter the user
// chooses), the title ("名前を付けて保存" or "ファイルを開く" when empty). Answers the chosen path,
// or nothing for cancel.
struct FileDialogRequest {
    bool save = false;
    QString title;
    QString defaultExtension;
    QString filter;
    QString initialPath;
};
using FileDialogHook = std::function<std::optional<QString>(const FileDialogRequest& request)>;
// Tests answer file dialogs through this; an empty hook shows the real dialog.
void setFileDialogHook(FileDialogHook hook);
std::optional<QString> promptFileName(QWidget* parent, const FileDialogRequest& request);
// "a(*.x)|*.x|b(*.y)|*.y||" -> "a(*.x);;b(*.y)" for QFileDialog.
QString qtFileFilter(const QString& windowsFilter);

// ---- the application ---------------------------------------------------------------------------

class CKovVApp : public QObject, public CommandTarget {
    Q_OBJECT
public:
    // The maker's web site behind the About box link.
    static constexpr const char* kWebSite = "https://www.vey.co.jp/";

    CKovVApp();
    ~CKovVApp() override;
    static CKovVApp* instance();

    // Tests keep their own settings file: start-up then leaves the settings location alone.
    void setKeepSettingsLocation(bool keep) { keepSettingsLocation_ = keep; }
    // The clock started by main(), for --startup-time.
    void setStartClock(const QElapsedTimer& clock) { startClock_ = clock; }

    // Start-up; false ends the program (the exit code is then exitCode()).
    bool InitInstance(const QStringList& arguments);
    // Qt's own Japanese texts for its standard dialogs, when installed.
    void installTranslations();
    // Releases what start-up made; answers the exit code to return from main.
    int ExitInstance(int code);
    int exitCode() const { return exitCode_; }
    // 1 while InitInstance runs.
    int32_t startingUp() const { return startingUp_; }

    CKovVDoc* document() const { return document_.get(); }
    CMainFrame* mainFrame() const;

    // The framework's file operations: save prompt, then the document's open or new.
    bool OpenDocumentFile(const QString& path);
    bool fileNew();
    // The open command: file dialog, extension test, then OpenDocumentFile.
    void fileOpen();

    // Help for a request (see helpTopicFor); the help window opens on the topic, else the loose
    // page beside the executable, else a message names the missing page.
    void WinHelp(unsigned data, unsigned command);
    // F1: help for the open menu entry or dialog, else for the main window.
    void OnHelp();
    // Shift+F1: the next click names what to show help for.
    void enterHelpMode();
    bool inHelpMode() const { return helpMode_; }
    CHelpWindow* helpWindow() const;
    void closeHelpWindow();

    void showAboutBox();
    // The printer named by --print-to (empty for the default printer).
    QString printToPrinter() const { return printerName_; }

    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, CommandState& state) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool ProcessCommandLine(const CommandLineInfo& info);
    void watchFirstMapPaint();
    void leaveHelpMode();
    void helpForClick(QObject* target, const QPoint& globalPos);

    std::unique_ptr<CKovVDoc> document_;
    QPointer<CMainFrame> frame_;
    QPointer<CHelpWindow> helpWindow_;
    int32_t startingUp_ = 0;
    bool keepSettingsLocation_ = false;
    bool helpMode_ = false;
    bool measureStartup_ = false;
    int exitCode_ = 0;
    QElapsedTimer startClock_;
    QString printerName_;
};

}  // namespace kov
