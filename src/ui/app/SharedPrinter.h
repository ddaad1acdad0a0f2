// SPDX-License-Identifier: MIT
// The program's one printer object: the printer set-up (57606), the print dialog and the
// cross-section window all print on it, so a paper or printer chosen in one is used by all.
#pragma once

class QPrinter;
class QWidget;

namespace kov {

// Created on first use (the system's default printer, or PDF output where there is none).
QPrinter& sharedPrinter();
// The page set-up dialog for the shared printer (command 57606).
void runPrinterSetup(QWidget* parent);
// Whether the printer writes a PDF file rather than sending a job to a printer.
bool printsToPdfFile(const QPrinter& printer);
// After a job ended: a PDF file written gets searchable text (see PdfText.h). False when that
// failed; true for a job sent to a printer.
bool finishPdfFile(const QPrinter& printer);

}  // namespace kov
