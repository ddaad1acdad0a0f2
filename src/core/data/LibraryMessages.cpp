// SPDX-License-Identifier: MIT
#include "core/data/LibraryMessages.h"

#include <tiffio.h>

#include <QString>
#include <QtGlobal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kov {
namespace {

const char* programName = "kov";
bool showWarnings = false;

void printLine(const char* text) {
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", programName, line.c_str());
}

void qtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    const bool serious = type == QtCriticalMsg || type == QtFatalMsg;
    if (serious || showWarnings) printLine(message.toLocal8Bit().constData());
    if (type == QtFatalMsg) std::abort();
}

void tiffMessage(const char* module, const char* format, va_list arguments) {
    if (!showWarnings) return;
    char text[1024];
    std::vsnprintf(text, sizeof text, format, arguments);
    printLine((std::string(module ? module : "libtiff") + ": " + text).c_str());
}

bool installed = false;

}  // namespace

void installLibraryMessageFilter(const char* program) {
    programName = program;
    showWarnings = std::getenv("KOV_LIBRARY_MESSAGES") != nullptr;
    qInstallMessageHandler(qtMessage);
    TIFFSetWarningHandler(tiffMessage);
    TIFFSetErrorHandler(tiffMessage);
    installed = true;
}

LibraryMessagePrinter libraryMessagePrinter(bool* warnings) {
    if (warnings) *warnings = showWarnings;
    return installed ? printLine : nullptr;
}

}  // namespace kov
