// kovview: the desktop program.
#include <QApplication>
#include <QElapsedTimer>
#include <QStringList>

#include "core/data/LibraryMessages.h"
#include "ui/app/CKovVApp.h"

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    // --help and --version answer before anything needs a display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (kov::answerWithoutWindow(kov::ParseCommandLine(arguments))) return 0;
    kov::installLibraryMessageFilter("kovview");
    QApplication application(argc, argv);
    kov::CKovVApp app;
    app.setStartClock(clock);
    if (!app.InitInstance(QApplication::arguments().mid(1)))
        return app.ExitInstance(app.exitCode());
    return app.ExitInstance(QApplication::exec());
}
