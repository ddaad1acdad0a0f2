// SPDX-License-Identifier: MIT
// qpdf works in a module of its own, libkovpdf.so, loaded on the first PDF written: linked into
// the programs, qpdf and the TLS libraries behind it took about a third of every start's time.
// Nothing here names a qpdf type.
#pragma once

#include <string>

namespace kov {

// The module's entry points (core/base/ModuleLoader.h: a table starts with its tag).
struct PdfEntryPoints {
    const char* tag;
    // The PDF of size bytes with every text map (ToUnicode stream) replaced by mend(map) where
    // that differs; false when the bytes cannot be read as a PDF.
    bool (*mendTextMaps)(const char* pdf, size_t size, std::string (*mend)(const std::string&),
                         std::string& out);
};

// The name of the module's one exported function, returning the table.
inline constexpr const char* kPdfEntrySymbol = "kovPdfEntryPoints";
// The environment variable that names another module file (tests of a missing one).
inline constexpr const char* kPdfModuleVariable = "KOV_PDF_MODULE";

}  // namespace kov
