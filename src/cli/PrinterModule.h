// SPDX-License-Identifier: MIT
// "kovtool print" prints through Qt Print Support, which brings Qt Widgets and CUPS with their
// libraries: they live in a module of their own, libkovprint.so, loaded by that command only, so
// that no other command maps and relocates them at its start. The page is painted here, through
// the paged paint device the module opens.
#pragma once

#include <QString>
#include <string>

class QPagedPaintDevice;

namespace kov::cli {

// Where and how a page is printed.
struct PrinterSetup {
    std::string printerName;  // a CUPS queue; empty for a PDF file
    std::string pdfPath;      // the PDF file written when no printer is named
    int paper = 0;            // QPageSize::PageSizeId
    bool landscape = false;
    int dpi = 0;
};

// The module's entry points (core/base/ModuleLoader.h: a table starts with its tag).
struct PrinterEntryPoints {
    const char* tag;
    bool (*printerExists)(const QString& name);
    // A printer (or PDF file) set up as asked, painted on with QPainter; the job is named name.
    // Closed with closePrinter, after abortPrinter when the page is given up.
    QPagedPaintDevice* (*openPrinter)(const PrinterSetup& setup, const QString& name);
    void (*abortPrinter)(QPagedPaintDevice* printer);
    void (*closePrinter)(QPagedPaintDevice* printer);
};

inline constexpr const char* kPrinterEntrySymbol = "kovPrinterEntryPoints";
// The environment variable that names another module file (tests of a missing one).
inline constexpr const char* kPrinterModuleVariable = "KOV_PRINTER_MODULE";

}  // namespace kov::cli
