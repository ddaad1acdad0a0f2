// SPDX-License-Identifier: MIT
#include "ui/app/CKovVApp.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>
#include <QUrl>
#include <cstdio>

#include "core/base/CommandIds.h"
#include "core/base/SettingsStore.h"
#include "core/data/cache/TileCache.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/CMainFrame.h"
#include "ui/app/SharedPrinter.h"
#include "ui/dialogs/CAboutDlg.h"
#include "ui/dialogs/CHelpWindow.h"
#include "ui/dialogs/CProjectDlg.h"
#include "ui/flood/FloodCommands.h"
#include "ui/interaction/KovTrack.h"
#include "ui/measure/CMeasurePropDlg.h"
#include "ui/measure/CSliceWnd.h"
#include "ui/measure/TrackRangeOp.h"
#include "ui/print/PrintJob.h"
#include "ui/view/CKovVView.h"
#include "ui/widgets/DialogPrompts.h"

namespace kov {

namespace {

CKovVApp* g_app = nullptr;

FileDialogHook& theFileDialogHook() {
    static FileDialogHook hook;
    return hook;
}

constexpr const char* kRecentSection = "Recent File List";

std::string recentKey(int index) {
    return "File" + std::to_string(index + 1);
}

void writeRecentFileList(const QStringList& files) {
    for (int i = 0; i < kRecentFileCount; ++i) {
        const std::string wanted = files.value(i).toStdString();
        if (settings::readString(kRecentSection, recentKey(i), "") != wanted)
            settings::writeString(kRecentSection, recentKey(i), wanted);
    }
}

QString executableFolder() {
    return QCoreApplication::applicationDirPath();
}

// The help identifier of what a click in help mode points at.
unsigned helpIdAt(QObject* target, const QPoint& globalPos) {
    if (auto* menu = qobject_cast<QMenu*>(target)) {
        if (QAction* action = menu->actionAt(menu->mapFromGlobal(globalPos))) {
            bool ok = false;
            const int id = action->objectName().toInt(&ok);
            if (ok) return kHelpIdCommand + static_cast<unsigned>(id);
        }
    }
    if (auto* button = qobject_cast<QToolButton*>(target)) {
        if (QAction* action = button->defaultAction()) {
            bool ok = false;
            const int id = action->objectName().toInt(&ok);
            if (ok) return kHelpIdCommand + static_cast<unsigned>(id);
        }
    }
    if (auto* widget = qobject_cast<QWidget*>(target)) {
        const QVariant helpId = widget->window()->property("helpId");
        if (helpId.isValid()) return kHelpIdResource + helpId.toUInt();
    }
    return kHelpIdResource + kMainFrameResource;
}

}  // namespace

// ---- command line ------------------------------------------------------------------------------

CommandLineInfo ParseCommandLine(const QStringList& arguments) {
    CommandLineInfo info;
    auto fail = [&info](const QString& message) {
        info.action = CommandLineInfo::Error;
        info.error = message;
        return info;
    };
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        const QString lower = arg.toLower();
        if (arg == QLatin1String("--startup-time")) {
            info.startupTime = true;
        } else if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            info.action = CommandLineInfo::Usage;
            return info;
        } else if (arg == QLatin1String("--version")) {
            info.action = CommandLineInfo::Version;
            return info;
        } else if (arg == QLatin1String("--print") || lower == QLatin1String("/p")) {
            if (i + 1 >= arguments.size()) return fail(QStringLiteral("%1 needs a file").arg(arg));
            if (!info.file.isEmpty()) return fail(QStringLiteral("more than one file"));
            info.action = CommandLineInfo::FilePrint;
            info.file = arguments[++i];
        } else if (arg == QLatin1String("--print-to") || lower == QLatin1String("/pt")) {
            if (i + 2 >= arguments.size())
                return fail(QStringLiteral("%1 needs a file and a printer").arg(arg));
            if (!info.file.isEmpty()) return fail(QStringLiteral("more than one file"));
            info.action = CommandLineInfo::FilePrintTo;
            info.file = arguments[++i];
            info.printer = arguments[++i];
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            return fail(QStringLiteral("unknown option %1").arg(arg));
        } else {
            if (!info.file.isEmpty()) return fail(QStringLiteral("more than one file"));
            info.file = arg;
            if (info.action == CommandLineInfo::FileNew) info.action = CommandLineInfo::FileOpen;
        }
    }
    return info;
}

std::optional<int> answerWithoutWindow(const CommandLineInfo& info) {
    switch (info.action) {
        case CommandLineInfo::Usage:
            std::fputs(commandLineUsage().toUtf8().constData(), stdout);
            return 0;
        case CommandLineInfo::Version:
            std::printf("kovview (Kov View5) %s\n", KOV_VERSION);
            return 0;
        case CommandLineInfo::Error:
            std::fprintf(stderr, "kovview: %s\n%s", info.error.toUtf8().constData(),
                         commandLineUsage().toUtf8().constData());
            return 2;
        default:
            return std::nullopt;
    }
}

QString commandLineUsage() {
    return QStringLiteral(
        "usage: kovview [FILE]\n"
        "       kovview --help | --version\n"
        "       kovview --print FILE              (also /p FILE)\n"
        "       kovview --print-to FILE PRINTER   (also /pt FILE PRINTER)\n"
        "       kovview --startup-time [FILE]     print the milliseconds to the first painted "
        "map and quit\n");
}

// ---- help --------------------------------------------------------------------------------------

HelpTopic helpTopicFor(unsigned data, unsigned command) {
    if (command == kHelpIndex || command == kHelpFinder) return {true, QStringLiteral("Index.htm")};
    if (command != kHelpContext) return {true, QString()};
    if (data < kHelpIdCommand) return {true, QString::asprintf("U%05u.htm", data)};
    if (data < kHelpIdResource)
        return {true, QString::asprintf("M%05u.htm", data - kHelpIdCommand)};
    if (data < 0x30000) {
        if (data == kHelpIdResource || data == kHelpIdResource + kMainFrameResource)
            return {false, QString()};
        return {true, QString::asprintf("D%05u.htm", data - kHelpIdResource)};
    }
    return {true, QString()};
}

QStringList helpFolders() {
    const QString exe = executableFolder();
    return {exe + QStringLiteral("/help"), exe + QStringLiteral("/../share/kovview/help"),
            QStringLiteral(":/help")};
}

// ---- recent files ------------------------------------------------------------------------------

namespace {

std::optional<QStringList>& recentFileCache() {
    static std::optional<QStringList> cache;
    return cache;
}

}  // namespace

void reloadRecentFileList() {
    QStringList files;
    for (int i = 0; i < kRecentFileCount; ++i) {
        const std::string path = settings::readString(kRecentSection, recentKey(i), "");
        if (!path.empty()) files << QString::fromStdString(path);
    }
    recentFileCache() = files;
}

QStringList recentFileList() {
    if (!recentFileCache()) reloadRecentFileList();
    return *recentFileCache();
}

void AddToRecentFileList(const QString& path) {
    if (path.isEmpty()) return;
    QStringList files = recentFileList();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > kRecentFileCount)
        files.removeLast();
    recentFileCache() = files;
    writeRecentFileList(files);
}

void removeFromRecentFileList(const QString& path) {
    QStringList files = recentFileList();
    if (files.removeAll(path) == 0) return;
    recentFileCache() = files;
    writeRecentFileList(files);
}

// ---- file dialogs ------------------------------------------------------------------------------

void setFileDialogHook(FileDialogHook hook) {
    theFileDialogHook() = std::move(hook);
}

QString qtFileFilter(const QString& windowsFilter) {
    const QStringList parts = windowsFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString name = parts[i].trimmed();
        if (name.isEmpty()) break;
        const QString patterns = parts[i + 1].split(QLatin1Char(';')).join(QLatin1Char(' '));
        // QFileDialog takes the patterns from the parentheses at the end of the name.
        if (name.endsWith(QLatin1Char(')')) && name.contains(QLatin1String("(*")))
            filters << name;
        else
            filters << name + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

namespace {

// The extension of a filter's first pattern: "GeoJSON (*.geojson *.json)" -> "geojson".
QString filterExtension(const QString& filter) {
    const int star = filter.indexOf(QLatin1String("(*."));
    if (star < 0) return {};
    QString extension;
    for (int i = star + 3; i < filter.size() && filter[i].isLetterOrNumber(); ++i)
        extension += filter[i];
    return extension;
}

}  // namespace

std::optional<QString> promptFileName(QWidget* parent, const FileDialogRequest& request) {
    if (theFileDialogHook()) return theFileDialogHook()(request);
    const QString title = !request.title.isEmpty() ? request.title
                          : request.save           ? QStringLiteral("名前を付けて保存")
                                                   : QStringLiteral("ファイルを開く");
    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(qtFileFilter(request.filter).split(QStringLiteral(";;")));
    dialog.setDefaultSuffix(request.defaultExtension);
    if (request.save)
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog](const QString& filter) {
                             const QString extension = filterExtension(filter);
                             if (!extension.isEmpty()) dialog.setDefaultSuffix(extension);
                         });
    if (!request.initialPath.isEmpty()) {
        const QFileInfo initial(request.initialPath);
        if (initial.isDir()) {
            dialog.setDirectory(initial.absoluteFilePath());
        } else {
            if (initial.dir().exists()) dialog.setDirectory(initial.absolutePath());
            dialog.selectFile(initial.fileName());
        }
    }
    if (runModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

// ---- the application ---------------------------------------------------------------------------

CKovVApp::CKovVApp() {
    g_app = this;
}

CKovVApp::~CKovVApp() {
    if (qApp) qApp->removeEventFilter(this);
    delete frame_.data();
    delete helpWindow_.data();
    if (g_app == this) g_app = nullptr;
}

CKovVApp* CKovVApp::instance() {
    return g_app;
}

CMainFrame* CKovVApp::mainFrame() const {
    return frame_.data();
}

CHelpWindow* CKovVApp::helpWindow() const {
    return helpWindow_.data();
}

void CKovVApp::installTranslations() {
    // Qt's own dialogs (colour, file) speak Japanese like the rest of the program.
    auto* translator = new QTranslator(this);
    if (translator->load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

namespace {

// The tile cache in the user's cache folder: section "Cache", "Use" (0 turns it off) and
// "SizeMB" (its limit, 8 GiB by default).
void useTileCacheFromSettings() {
    const std::string folder = defaultCacheFolder();
    if (folder.empty() || settings::readIntIn("Cache", "Use", 1, 0, 1) == 0) {
        TileCache::setActive(nullptr);
        return;
    }
    const int64_t megabytes = settings::readIntIn("Cache", "SizeMB", 8192, 64, 1 << 22);
    TileCache::setActive(std::make_shared<TileCache>(folder, megabytes << 20));
}

}  // namespace

bool CKovVApp::InitInstance(const QStringList& arguments) {
    startingUp_ = 1;
    QGuiApplication::setDesktopFileName(QStringLiteral("kovview"));

    // Settings beside the executable when it may be written there, else the per-user file.
    if (!keepSettingsLocation_)
        settings::chooseStartupLocation(QCoreApplication::applicationFilePath().toStdString());
    reloadRecentFileList();
    useTileCacheFromSettings();
    installTranslations();
    registerCompositionDialogs();
    registerCrossSectionWindow();
    registerMeasureDialogs();
    registerTracks();
    registerMeasuringTracks();
    registerPrinting();
    registerFloodCommands();

    const CommandLineInfo info = ParseCommandLine(arguments);
    if (const std::optional<int> answered = answerWithoutWindow(info)) {
        exitCode_ = *answered;
        return false;
    }
    // Measuring the start-up and printing from the command line end by themselves: nobody is
    // there to press a message box's button.
    setUnattended(info.startupTime || info.action == CommandLineInfo::FilePrint ||
                  info.action == CommandLineInfo::FilePrintTo);
    printerName_ = info.printer;
    // A printer that does not exist is named before anything is opened.
    if (info.action == CommandLineInfo::FilePrintTo && !printerExists(info.printer)) {
        std::fprintf(stderr, "kovview: no printer named \"%s\"\n",
                     info.printer.toUtf8().constData());
        exitCode_ = 1;
        return false;
    }

    // The document, its frame and view.
    document_ = std::make_unique<CKovVDoc>();
    frame_ = new CMainFrame(document_.get());
    if (!frame_->Create()) {
        exitCode_ = 1;
        return false;
    }
    qApp->installEventFilter(this);
    measureStartup_ = info.startupTime;
    if (measureStartup_) watchFirstMapPaint();

    if (!ProcessCommandLine(info)) {
        exitCode_ = 1;
        return false;
    }
    if (frame_->isHidden()) frame_->showInitial();
    frame_->setAcceptDrops(true);
    startingUp_ = 0;
    return true;
}

bool CKovVApp::ProcessCommandLine(const CommandLineInfo& info) {
    // Always an empty document first.
    document_->OnNewDocument();
    if (info.action == CommandLineInfo::FileNew) return frame_ != nullptr;

    if (frame_) {
        frame_->PumpMessages();
        frame_->showInitial();
        frame_->repaint();
        frame_->PumpMessages();
    }
    if (!OpenDocumentFile(info.file)) return false;
    if (info.action == CommandLineInfo::FilePrint || info.action == CommandLineInfo::FilePrintTo)
        frame_->RouteCommand(kCmdPrintWithoutDialog);
    return true;
}

int CKovVApp::ExitInstance(int code) {
    setUnattended(false);
    if (qApp) qApp->removeEventFilter(this);
    closeHelpWindow();
    endAllTracks();
    delete frame_.data();
    document_.reset();
    return code;
}

void CKovVApp::watchFirstMapPaint() {
    if (frame_ && frame_->View()) frame_->View()->installEventFilter(this);
}

bool CKovVApp::OpenDocumentFile(const QString& path) {
    if (!document_ || !document_->SaveModified()) return false;
    return document_->OnOpenDocument(path);
}

bool CKovVApp::fileNew() {
    if (!document_ || !document_->SaveModified()) return false;
    return document_->OnNewDocument();
}

void CKovVApp::fileOpen() {
    FileDialogRequest request;
    request.save = false;
    request.defaultExtension = QStringLiteral("kovv5");
    request.filter = QStringLiteral(
        "5M標高メッシュプロジェクト(*.kovv5)|*.kovv5|標高メッシュプロジェクト(*.kovv)|*.kovv||");
    const std::optional<QString> chosen = promptFileName(frame_, request);
    if (!chosen) return;
    const QString suffix = QFileInfo(*chosen).suffix();
    const QString extension = suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix;
    if (!extension.contains(QLatin1String("kov"), Qt::CaseInsensitive)) {
        ShowMessage(
            frame_, QMessageBox::NoIcon,
            *chosen + QStringLiteral("　は標高メッシュプロジェクトファイルと識別できません"));
        return;
    }
    OpenDocumentFile(*chosen);
}

// ---- help --------------------------------------------------------------------------------------

void CKovVApp::WinHelp(unsigned data, unsigned command) {
    const HelpTopic request = helpTopicFor(data, command);
    if (!request.show) return;
    const QString topic = request.topic.isEmpty() ? QStringLiteral("Index.htm") : request.topic;

    for (const QString& folder : helpFolders()) {
        const QString page = folder + QLatin1Char('/') + topic;
        if (!QFileInfo::exists(page)) continue;
        // While a modal dialog runs only its own windows take input: the help window is its.
        QWidget* owner = QApplication::activeModalWidget();
        if (!owner) owner = frame_;
        if (helpWindow_ && helpWindow_->parentWidget() != owner) delete helpWindow_.data();
        if (!helpWindow_) helpWindow_ = new CHelpWindow(owner);
        if (helpWindow_->showPage(page)) return;
    }
    // A loose page beside the program opens in the desktop's browser.
    const QString loose = executableFolder() + QStringLiteral("/Help/") + topic;
    if (QFileInfo::exists(loose) && QDesktopServices::openUrl(QUrl::fromLocalFile(loose))) return;
    ShowMessage(frame_, QMessageBox::Warning, QDir::toNativeSeparators(loose));
}

void CKovVApp::OnHelp() {
    WinHelp(kHelpIdResource + kMainFrameResource, kHelpContext);
}

void CKovVApp::enterHelpMode() {
    if (helpMode_) return;
    helpMode_ = true;
    QApplication::setOverrideCursor(Qt::WhatsThisCursor);
}

void CKovVApp::leaveHelpMode() {
    if (!helpMode_) return;
    helpMode_ = false;
    QApplication::restoreOverrideCursor();
}

void CKovVApp::helpForClick(QObject* target, const QPoint& globalPos) {
    const unsigned id = helpIdAt(target, globalPos);
    leaveHelpMode();
    if (auto* menu = qobject_cast<QMenu*>(target)) {
        // Close the whole chain of open menus.
        for (QWidget* w = menu; qobject_cast<QMenu*>(w); w = w->parentWidget())
            w->close();
    }
    WinHelp(id, kHelpContext);
}

void CKovVApp::closeHelpWindow() {
    if (helpWindow_) helpWindow_->close();
}

bool CKovVApp::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();

    if (measureStartup_ && type == QEvent::Paint && frame_ && watched == frame_->View() &&
        document_ && document_->HasProject()) {
        // Paint first, then read the clock: the time includes rendering the map.
        measureStartup_ = false;
        watched->event(event);
        std::printf("kovview: %lld ms from start to the first painted map\n",
                    static_cast<long long>(startClock_.isValid() ? startClock_.elapsed() : -1));
        std::fflush(stdout);
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return true;
    }

    if (helpMode_ && watched->isWidgetType()) {
        if (type == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            leaveHelpMode();
            return true;
        }
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease) {
            // Menus still open from the menu bar; the entry clicked in them is what to explain.
            if (qobject_cast<QMenuBar*>(watched)) return false;
            const bool isMenu = qobject_cast<QMenu*>(watched) != nullptr;
            if (isMenu && type == QEvent::MouseButtonPress) return true;
            if (!isMenu && type == QEvent::MouseButtonRelease) return true;
            helpForClick(watched, static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
            return true;
        }
    }

    if (type == QEvent::KeyPress && watched->isWidgetType()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
            // F1 over an open menu explains its highlighted entry; in a dialog, the dialog.
            if (auto* menu = qobject_cast<QMenu*>(watched)) {
                if (QAction* action = menu->activeAction()) {
                    bool ok = false;
                    const int id = action->objectName().toInt(&ok);
                    if (ok) {
                        WinHelp(kHelpIdCommand + static_cast<unsigned>(id), kHelpContext);
                        return true;
                    }
                }
            }
            if (QWidget* modal = QApplication::activeModalWidget()) {
                const QVariant helpId = modal->property("helpId");
                if (helpId.isValid()) {
                    WinHelp(kHelpIdResource + helpId.toUInt(), kHelpContext);
                    return true;
                }
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

// ---- commands ----------------------------------------------------------------------------------

void CKovVApp::showAboutBox() {
    CAboutDlg dialog(frame_);
    runModal(dialog);
}

bool CKovVApp::OnCommand(int id) {
    switch (id) {
        case kCmdNewProject:
            fileNew();
            return true;
        case kCmdOpenProject:
            fileOpen();
            return true;
        case kCmdPrinterSetup:
            runPrinterSetup(frame_);
            return true;
        case kCmdAbout:
            showAboutBox();
            return true;
        case kCmdExit:
            if (frame_) frame_->close();
            return true;
        default:
            break;
    }
    if (id >= kCmdFirstRecentFile && id < kCmdFirstRecentFile + kRecentFileCount) {
        const QStringList files = recentFileList();
        const int index = id - kCmdFirstRecentFile;
        if (index < files.size()) {
            const QString path = files[index];
            // A file that no longer opens leaves the list (unless the user cancelled the save
            // prompt).
            if (document_ && document_->SaveModified() && !document_->OnOpenDocument(path)) {
                removeFromRecentFileList(path);
                if (document_) emit document_->recentFilesChanged();
            }
        }
        return true;
    }
    return false;
}

bool CKovVApp::OnUpdateCommand(int id, CommandState& state) {
    switch (id) {
        case kCmdNewProject:
        case kCmdOpenProject:
        case kCmdPrinterSetup:
        case kCmdAbout:
        case kCmdExit:
            state.enabled = true;
            return true;
        default:
            break;
    }
    if (id >= kCmdFirstRecentFile && id < kCmdFirstRecentFile + kRecentFileCount) {
        state.enabled = id - kCmdFirstRecentFile < recentFileList().size();
        return true;
    }
    return false;
}

}  // namespace kov
