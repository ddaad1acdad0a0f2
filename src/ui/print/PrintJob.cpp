// SPDX-License-Identifier: MIT
#include "ui/print/PrintJob.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTimer>
#include <cstdio>

#include "core/base/CommandIds.h"
#include "core/base/SettingsStore.h"
#include "core/display/FloodLegend.h"
#include "ui/app/CKovVApp.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/CMainFrame.h"
#include "ui/app/SharedPrinter.h"
#include "ui/print/CQPrintDlg.h"
#include "ui/view/CKovVView.h"
#include "ui/widgets/DialogPrompts.h"

namespace kov {
namespace {

constexpr char kSection[] = "QPrintDlg";
constexpr int kHistoryCount = 10;

bool readFlag(const char* key) {
    return settings::readInt(kSection, key, 0) != 0;
}

// A printer that can take a job: a file to write, or a printer the system knows.
bool printerUsable(const QPrinter& printer) {
    if (!printer.outputFileName().isEmpty()) return true;
    if (printer.outputFormat() != QPrinter::NativeFormat) return false;
    return !printer.printerName().isEmpty() && printer.isValid() &&
           printerExists(printer.printerName());
}

// The project's title, else the document's (the file name).
QString pdfTitle(const CKovVDoc& document) {
    const std::string& title = document.meshes()->projectTitle;
    return title.empty() ? document.Title() : QString::fromStdString(title);
}

QWidget* dialogParent() {
    QWidget* active = QApplication::activeWindow();
    return active ? active : CMainFrame::instance();
}

// The command line's print: mode 1 without comment on the printer it names (or the default
// one), then the program ends; a job that did not print ends it with status 1.
void printWithoutDialog(CKovVDoc& document) {
    CKovVView* view = document.View();
    const CKovVApp* app = CKovVApp::instance();
    QString name = app ? app->printToPrinter() : QString();
    if (name.isEmpty()) name = QPrinterInfo::defaultPrinterName();

    PrintSettings settings = readPrintSettings();
    settings.mode = kPrintFillPaper;
    settings.comment = false;
    settings.commentText.clear();

    QPrinter& printer = sharedPrinter();
    printer.setOutputFileName(QString());
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(name);
    const PrintOutcome outcome =
        view ? printPage(settings, *view, printer) : PrintOutcome::NothingToPrint;
    document.SetModifiedFlag(false);
    if (outcome != PrintOutcome::Printed) {
        QString text = printFailureText(outcome, printer);
        if (text.isEmpty()) text = QStringLiteral("印刷するものがありません");
        std::fprintf(stderr, "kovview: %s\n", text.toUtf8().constData());
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(1); });
        return;
    }
    if (CMainFrame* frame = CMainFrame::instance())
        QMetaObject::invokeMethod(frame, "close", Qt::QueuedConnection);
}

void printWithDialog(CKovVDoc& document) {
    CKovVView* view = document.View();
    if (!view || !document.HasProject()) return;
    QPrinter& printer = sharedPrinter();
    CQPrintDlg dialog(*view, printer, dialogParent());
    if (runModal(dialog) != QDialog::Accepted) return;
    const PrintOutcome outcome = printPage(dialog.settings(), *view, printer);
    const QString text = printFailureText(outcome, printer);
    if (!text.isEmpty()) ShowMessage(dialogParent(), QMessageBox::Warning, text);
}

}  // namespace

PrintSettings readPrintSettings() {
    PrintSettings s;
    s.mode = settings::readInt(kSection, "Mode", kPrintFillPaper);
    if (s.mode < kPrintAtScale || s.mode > kPrintScaleAround) s.mode = kPrintFillPaper;
    // No map is printed at a scale beyond 1:1,000,000,000.
    s.scale = settings::readRealIn(kSection, "Scale", kDefaultPrintScale, 0.0, 1.0e9);
    if (!(s.scale >= kMinPrintScale)) s.scale = kDefaultPrintScale;
    s.title = readFlag("FtTitle");
    s.date = readFlag("FttDate");
    s.time = readFlag("FtTime");
    s.scaleText = readFlag("FtScale");
    s.comment = readFlag("FtComment");
    s.commentText = QString::fromStdString(settings::readString(kSection, "FtCommentT", ""));
    s.legend = readFlag("Legend");
    return s;
}

void writePrintSettings(const PrintSettings& s) {
    settings::writeInt(kSection, "Mode", s.mode);
    settings::writeReal(kSection, "Scale", s.scale);
    settings::writeInt(kSection, "FtTitle", s.title ? 1 : 0);
    settings::writeInt(kSection, "FttDate", s.date ? 1 : 0);
    settings::writeInt(kSection, "FtTime", s.time ? 1 : 0);
    settings::writeInt(kSection, "FtScale", s.scaleText ? 1 : 0);
    settings::writeInt(kSection, "FtComment", s.comment ? 1 : 0);
    settings::writeString(kSection, "FtCommentT", s.commentText.toStdString());
    settings::writeInt(kSection, "Legend", s.legend ? 1 : 0);
}

std::vector<int> readScaleHistory() {
    std::vector<int> history;
    for (int i = 1; i <= kHistoryCount; ++i) {
        const int value =
            settings::readInt(kSection, QString::asprintf("%s%d", "ScaleHist", i).toStdString(), 0);
        if (value > 0) history.push_back(value);
    }
    return history;
}

PrintDevice printDeviceOf(QPrinter& printer) {
    return {printer.width(), printer.height(), printer.logicalDpiX()};
}

std::optional<PagePlan> planViewPage(const PrintSettings& settings, CKovVView& view,
                                     QPrinter& printer) {
    const CKovVDoc* document = view.document();
    if (!document || !document->HasProject()) return std::nullopt;
    const HMeshProject& project = *document->meshes();
    return planPage(settings, printDeviceOf(printer), view.viewport().world(),
                    hasRankedFloodResult(project), QString::fromStdString(project.projectTitle),
                    QDateTime::currentDateTime());
}

PrintOutcome printPage(const PrintSettings& settings, CKovVView& view, QPrinter& printer) {
    // The scale and the view are looked at before the printer: they print nothing in any case.
    const CKovVDoc* document = view.document();
    if (!document || !document->HasProject() || !(settings.scale >= kMinPrintScale))
        return PrintOutcome::NothingToPrint;
    if (!printerUsable(printer)) return PrintOutcome::NoPrinter;
    const std::optional<PagePlan> plan = planViewPage(settings, view, printer);
    if (!plan) return PrintOutcome::NothingToPrint;

    // A PDF is titled after the project; a job for a printer keeps the program's job name.
    printer.setDocName(printsToPdfFile(printer) ? pdfTitle(*document) : QStringLiteral("ZOVO2"));
    printer.setPrintRange(QPrinter::AllPages);
    QPainter painter;
    if (!painter.begin(&printer)) return PrintOutcome::Failed;
    const PageStyle style = view.pageStyle();
    if (!drawPlannedPage(painter, *document->meshes(), *plan, style)) {
        printer.abort();
        painter.end();
        return PrintOutcome::Failed;
    }
    return painter.end() && finishPdfFile(printer) ? PrintOutcome::Printed : PrintOutcome::Failed;
}

QString printFailureText(PrintOutcome outcome, const QPrinter& printer) {
    switch (outcome) {
        case PrintOutcome::NoPrinter:
            if (printer.printerName().isEmpty())
                return QStringLiteral("使用できるプリンタがありません。印刷しませんでした");
            return QStringLiteral("プリンタ「%1」が見つかりません。印刷しませんでした")
                .arg(printer.printerName());
        case PrintOutcome::Failed:
            return QStringLiteral("印刷できませんでした（プリンタ「%1」）")
                .arg(printer.printerName().isEmpty() ? printer.outputFileName()
                                                     : printer.printerName());
        default:
            return {};
    }
}

bool printerExists(const QString& name) {
    return QPrinterInfo::availablePrinterNames().contains(name);
}

void registerPrinting() {
    CKovVDoc::setCommandHandler(kCmdPrint,
                                [](CKovVDoc& document, int) { printWithDialog(document); });
    CKovVDoc::setCommandHandler(kCmdPrintWithoutDialog,
                                [](CKovVDoc& document, int) { printWithoutDialog(document); });
}

}  // namespace kov
