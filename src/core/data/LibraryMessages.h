// SPDX-License-Identifier: MIT
// Messages that Qt and the libraries under our readers print on their own (libpng through Qt's
// image readers, libtiff, Qt's warnings) would land on stderr in the middle of a program's
// output. The programs route them through one filter instead.
#pragma once

namespace kov {

// Installs, for the whole process, a Qt message handler and libtiff's global warning and error
// handlers (GDAL's when its module is loaded): library warnings are dropped (readers already report
// why they refuse a file); critical and fatal messages are printed as one line "PROGRAM: TEXT" on
// stderr. With the environment variable KOV_LIBRARY_MESSAGES set, warnings are printed in that form
// too.
void installLibraryMessageFilter(const char* program);

// How a library loaded later (the GDAL module) prints through the filter: a line printer, null
// while no filter is installed; *warnings says whether warnings are printed too.
using LibraryMessagePrinter = void (*)(const char* line);
LibraryMessagePrinter libraryMessagePrinter(bool* warnings);

}  // namespace kov
