// SPDX-License-Identifier: MIT
// Searchable text in the PDFs that Qt writes. Qt's PDF engine names the text of each glyph by
// the lowest code point the font maps to that glyph; CJK fonts map the Kangxi radicals
// (U+2F00..) to the glyphs of the ordinary ideographs, so "標高" copied or extracted from such a
// PDF reads "標⾼" (U+2FBC) and a search for 標高 fails. These rewrite the fonts' text maps
// (ToUnicode) so that radicals read as the ordinary ideographs; the drawing is untouched.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>

namespace kov {

// The PDF with its text maps mended; empty, with the reason in error when given, when the bytes
// cannot be read as a PDF or the PDF module cannot be loaded.
QByteArray withSearchableText(const QByteArray& pdf, std::string* error = nullptr);

// The same for a PDF file, replaced atomically; false (the file as it was) when it cannot be
// read, mended or written, with the reason in *error when given.
bool makeFileTextSearchable(const QString& path, std::string* error = nullptr);

// One text map (a CMap program) with every radical among its targets read as the ordinary
// ideograph; other text comes back unchanged.
std::string mendTextMap(const std::string& cmap);

}  // namespace kov
