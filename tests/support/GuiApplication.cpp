// SPDX-License-Identifier: MIT
#include "support/GuiApplication.h"

#include <QGuiApplication>

namespace kov::test {

void ensureGuiApplication() {
    static int argc = 1;
    static char name[] = "kovtest";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QGuiApplication(argc, argv);
}

}  // namespace kov::test
