// SPDX-License-Identifier: MIT
#include "ui/app/SharedPrinter.h"

#include <QCoreApplication>
#include <QPageSetupDialog>
#include <QPrinter>
#include <memory>

#include "core/base/PdfText.h"
#include "ui/widgets/DialogPrompts.h"

namespace kov {

namespace {
std::unique_ptr<QPrinter> g_printer;
}

QPrinter& sharedPrinter() {
    if (!g_printer) {
        // At the printer's own resolution: a map page is drawn in device pixels.
        g_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        // The print plug-in must not outlive the application object.
        qAddPostRoutine([] { g_printer.reset(); });
    }
    return *g_printer;
}

void runPrinterSetup(QWidget* parent) {
    QPageSetupDialog dialog(&sharedPrinter(), parent);
    runModal(dialog);
}

bool printsToPdfFile(const QPrinter& printer) {
    return printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty();
}

bool finishPdfFile(const QPrinter& printer) {
    return !printsToPdfFile(printer) || makeFileTextSearchable(printer.outputFileName());
}

}  // namespace kov
