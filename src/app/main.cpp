// SPDX-License-Identifier: MIT
// kovview: the desktop program.
#include <QApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <new>
#include <optional>

#include "core/data/LibraryMessages.h"
#include "ui/app/CKovVApp.h"
#include "ui/app/CMainFrame.h"

namespace {

// Every event is delivered here: memory that cannot be had while one is handled ends that piece
// of work with a message instead of aborting the program.
class KovViewApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::bad_alloc&) {
            if (kov::CMainFrame* frame = kov::CMainFrame::instance())
                frame->recoverFromOutOfMemory();
            return false;
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    // --help, --version and a bad command line answer before anything needs a display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<int> answered =
            kov::answerWithoutWindow(kov::ParseCommandLine(arguments)))
        return *answered;
    kov::installLibraryMessageFilter("kovview");
    KovViewApplication application(argc, argv);
    kov::CKovVApp app;
    app.setStartClock(clock);
    if (!app.InitInstance(QApplication::arguments().mid(1)))
        return app.ExitInstance(app.exitCode());
    return app.ExitInstance(QApplication::exec());
}
