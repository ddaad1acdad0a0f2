// SPDX-License-Identifier: MIT
#include "support/ui/TestApplication.h"

#include <QApplication>

namespace kov::test {

void ensureApplication() {
    static int argc = 1;
    static char name[] = "kovtest";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QApplication(argc, argv);
}

}  // namespace kov::test
