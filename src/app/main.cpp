// kovview: the desktop program.
#include <QApplication>
#include <QElapsedTimer>

#include "core/data/LibraryMessages.h"
#include "ui/app/CKovVApp.h"

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    kov::installLibraryMessageFilter("kovview");
    QApplication application(argc, argv);
    kov::CKovVApp app;
    app.setStartClock(clock);
    if (!app.InitInstance(QApplication::arguments().mid(1)))
        return app.ExitInstance(app.exitCode());
    return app.ExitInstance(QApplication::exec());
}
