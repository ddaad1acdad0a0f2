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

}  // namespace kov
