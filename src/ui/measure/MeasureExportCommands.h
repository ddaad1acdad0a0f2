// SPDX-License-Identifier: MIT
// Measurements out to GIS files: "計測結果のエクスポート" in the 図上計測 menu writes the
// document's measured line (the trace), and the cross-section window's "断面のエクスポート" writes
// its line and samples; both ask for the file in a save dialog with a filter per format.
#pragma once

#include <QString>
#include <functional>
#include <string>

class QWidget;

namespace kov {

class CKovVDoc;

// The formats a save dialog offers: every vector format for a measured line; no shapefile for
// a cross-section (a shapefile holds lines or points, not both).
enum class ExportKind { MeasuredLine, Profile };

// Asks where to write: a save dialog with a filter per format, the extension of the chosen
// filter added to a name without one, asking before an existing file is replaced. Empty when
// cancelled.
QString askExportPath(QWidget* parent, ExportKind kind, const QString& title);

// Writes with a wait cursor; a failure is said in a message box with the reason. True when
// written.
using ExportWriter = std::function<bool(const std::string& path, std::string* error)>;
bool writeExport(QWidget* parent, const QString& path, const ExportWriter& write);

// The 図上計測 command: asks for the file and writes the document's trace to it (a line of two
// points or more; the document enables the command only then).
void exportTrace(CKovVDoc& document, QWidget* parent);

// Registers exportTrace as the document's handler of the command.
void registerMeasureExport();

}  // namespace kov
