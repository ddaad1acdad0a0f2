// SPDX-License-Identifier: MIT
// The print job of the map: the print settings as the settings store keeps them, the page
// printed on a QPrinter, and the print commands of the document (the dialog, and printing
// without it from the command line).
#pragma once

#include <QString>
#include <vector>

#include "core/print/PrintLayout.h"

class QPrinter;

namespace kov {

class CKovVView;

// Section "QPrintDlg": the dialog's fields (a stored scale below 0.01 reads as 2500).
PrintSettings readPrintSettings();
void writePrintSettings(const PrintSettings& settings);
// "ScaleHist1".."ScaleHist10", entries of 0 or below skipped; only ever read.
std::vector<int> readScaleHistory();

// The printer's printable area in device pixels and its resolution.
PrintDevice printDeviceOf(QPrinter& printer);
// The plan of the page the view's map prints as on the printer; empty when nothing prints.
std::optional<PagePlan> planViewPage(const PrintSettings& settings, CKovVView& view,
                                     QPrinter& printer);

enum class PrintOutcome {
    Printed,
    NothingToPrint,  // no project, an empty view, a scale below 0.01
    NoPrinter,       // the printer does not exist or cannot be used
    Failed,          // the printer refused the job
};
// Prints the view's map on one page of a job named "ZOVO2"; a PDF file is titled after the
// project instead, with searchable text.
PrintOutcome printPage(const PrintSettings& settings, CKovVView& view, QPrinter& printer);
// The message the user is shown for an outcome other than Printed (empty for NothingToPrint).
QString printFailureText(PrintOutcome outcome, const QPrinter& printer);

// Whether a printer of that name is known to the printing system.
bool printerExists(const QString& name);

// Registers the document's print commands: the dialog (57607) and printing without it (57608,
// the command line's print: mode 1, no comment, to the printer named on the command line or the
// default one; then the program closes).
void registerPrinting();

}  // namespace kov
