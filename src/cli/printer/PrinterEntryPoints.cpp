// SPDX-License-Identifier: MIT
// The printer module: Qt Print Support's printer set up for "kovtool print".
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <string>

#include "cli/PrinterModule.h"
#include "core/base/ModuleLoader.h"

namespace kov::cli {
namespace {

bool printerExists(const QString& name) {
    return QPrinterInfo::availablePrinterNames().contains(name);
}

QPagedPaintDevice* openPrinter(const PrinterSetup& setup, const QString& name) {
    auto* printer = new QPrinter(QPrinter::HighResolution);
    if (setup.printerName.empty()) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QString::fromStdString(setup.pdfPath));
    } else {
        printer->setPrinterName(QString::fromStdString(setup.printerName));
    }
    printer->setDocName(name);
    printer->setPageSize(QPageSize(static_cast<QPageSize::PageSizeId>(setup.paper)));
    printer->setPageOrientation(setup.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer->setResolution(setup.dpi);
    return printer;
}

void abortPrinter(QPagedPaintDevice* printer) {
    static_cast<QPrinter*>(printer)->abort();
}

void closePrinter(QPagedPaintDevice* printer) {
    delete static_cast<QPrinter*>(printer);
}

}  // namespace
}  // namespace kov::cli

extern "C" __attribute__((visibility("default"))) const void* kovPrinterEntryPoints() {
    using namespace kov::cli;
    static const std::string tag = kov::moduleTag(sizeof(PrinterEntryPoints));
    static const PrinterEntryPoints table = {tag.c_str(), printerExists, openPrinter, abortPrinter,
                                             closePrinter};
    return &table;
}
