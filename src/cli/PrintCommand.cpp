// SPDX-License-Identifier: MIT
// kovtool print: the map page as the program prints it (legend band, footer, the three modes)
// on a PDF file of a given paper or on a printer of the printing system.
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFontDatabase>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Messages.h"
#include "cli/PrinterModule.h"
#include "core/base/AtomicFile.h"
#include "core/base/ModuleLoader.h"
#include "core/base/PathNames.h"
#include "core/base/PdfText.h"
#include "core/data/HMeshProject.h"
#include "core/display/FloodLegend.h"
#include "core/print/PrintLayout.h"

namespace kov::cli {
namespace {

struct PrintOptions {
    OutputArgument output;
    std::string printer;
    std::string paper = "A4";
    bool landscape = false;
    bool clip = false;  // print a map larger than the paper cut to it
    int dpi = 600;
    int width = 1920;
    int height = 1080;
    bool hasRect = false;
    MapRect rect;
    PrintSettings settings;
};

// Paper names as the option takes them; B4 and B5 are the Japanese (JIS) sizes.
bool pageSizeOf(const std::string& name, QPageSize::PageSizeId& id) {
    static const struct {
        const char* name;
        QPageSize::PageSizeId id;
    } kPapers[] = {{"A2", QPageSize::A2},          {"A3", QPageSize::A3},
                   {"A4", QPageSize::A4},          {"A5", QPageSize::A5},
                   {"B4", QPageSize::JisB4},       {"B5", QPageSize::JisB5},
                   {"Letter", QPageSize::Letter},  {"Legal", QPageSize::Legal},
                   {"Tabloid", QPageSize::Tabloid}};
    for (const auto& p : kPapers) {
        if (!equalsIgnoringCase(name, p.name)) continue;
        id = p.id;
        return true;
    }
    return false;
}

const CommandHelp kPrintHelp{
    "print", "PATH...|PROJECT.kovv5 (-o OUT.pdf | --printer QUEUE) [OPTION]...",
    localText("Prints the map page as the program prints it (legend band, footer) to a PDF\n"
              "file of the paper or to a queue of the printing system; -o - -f pdf writes the\n"
              "PDF to standard output.",
              "地図のページをプログラムと同じに (凡例帯、フッター) 用紙の PDF ファイルか\n"
              "印刷システムのキューに印刷します。-o - -f pdf で PDF を標準出力へ。")};

std::vector<Option> printOptions(PrintOptions& o) {
    PrintSettings& s = o.settings;
    std::vector<Option> options = outputOptions(
        o.output, localText("the PDF file; - for standard output", "PDF ファイル。- で標準出力"),
        {"pdf"});
    const std::vector<Option> own = {
        valueOption("--printer",
                    [&o](const std::string& v) {
                        o.printer = v;
                        return !v.empty();
                    })
            .explained("QUEUE", localText("print on this queue instead of -o",
                                          "-o の代わりにこのキューに印刷")),
        valueOption("--mode",
                    [&s](const std::string& v) {
                        return parseNumber(v, s.mode, kPrintAtScale, kPrintScaleAround);
                    })
            .explained("0|1|2",
                       localText("0 the view at the scale --scale, 1 the view filling "
                                 "the paper (default), 2 the paper filled at the "
                                 "scale around the view's centre",
                                 "0 表示範囲を --scale の縮尺で、1 表示範囲を用紙いっぱい"
                                 "に (既定)、 2 表示の中心のまわりを縮尺で用紙いっぱいに")),
        valueOption("--scale",
                    [&s](const std::string& v) { return parseNumber(v, s.scale, kMinPrintScale); })
            .explained("N", localText("the scale 1/N of modes 0 and 2 (default 2500)",
                                      "モード 0、2 の縮尺 1/N (既定 2500)")),
        valueOption("--paper",
                    [&o](const std::string& v) {
                        QPageSize::PageSizeId id;
                        o.paper = v;
                        return pageSizeOf(v, id);
                    })
            .explained("NAME", localText("A2, A3, A4 (default), A5, B4, B5 (JIS), Letter, Legal "
                                         "or Tabloid",
                                         "A2、A3、A4 (既定)、A5、B4、B5 (JIS)、Letter、Legal、"
                                         "Tabloid")),
        valueOption("--dpi", [&o](const std::string& v) { return parseNumber(v, o.dpi, 72, 2400); })
            .explained("N", localText("printer resolution 72..2400 (default 600)",
                                      "印刷の解像度 72〜2400 (既定 600)")),
        valueOption("--comment",
                    [&s](const std::string& v) {
                        s.comment = true;
                        s.commentText = QString::fromStdString(v);
                        return true;
                    })
            .explained("TEXT", localText("a comment in the footer", "フッターのコメント")),
        valueOption("--rect",
                    [&o](const std::string& v) { return o.hasRect = parseRect(v, o.rect); })
            .explained("EMIN,NMIN,EMAX,NMAX",
                       localText("the view: easting and northing bounds in metres "
                                 "(default: the whole data), fitted to --size",
                                 "表示範囲: 東西・南北の最小と最大 (m、既定: データ全体)、 "
                                 "--size に合わせる")),
        valueOption("--size",
                    [&o](const std::string& v) { return parseSize(v, o.width, o.height); })
            .explained("WxH", localText("the view's size in pixels the rectangle is fitted to "
                                        "(default 1920x1080)",
                                        "範囲を合わせる表示の大きさ (ピクセル、既定 1920x1080)")),
        switchOption("--landscape", o.landscape)
            .explained({}, localText("landscape paper", "用紙を横向きに")),
        switchOption("--clip", o.clip)
            .explained({}, localText("print a map larger than the paper cut to it (else "
                                     "exit 1)",
                                     "用紙より大きい地図を切って印刷 (なければ終了状態 1)")),
        switchOption("--legend", s.legend).explained({}, localText("the legend band", "凡例帯")),
        switchOption("--title", s.title)
            .explained({}, localText("the project's title in the footer", "フッターに表題")),
        switchOption("--date", s.date)
            .explained({}, localText("the date in the footer", "フッターに日付")),
        switchOption("--time", s.time)
            .explained({}, localText("the time in the footer", "フッターに時刻")),
        switchOption("--scale-text", s.scaleText)
            .explained({}, localText("the scale in the footer", "フッターに縮尺")),
    };
    options.insert(options.end(), own.begin(), own.end());
    return options;
}

// The printer module, or null after a line that says why.
const PrinterEntryPoints* printerModule() {
    std::string error;
    const PrinterEntryPoints* module = loadModuleOnce<PrinterEntryPoints>(
        {"libkovprint.so", kPrinterModuleVariable, kPrinterEntrySymbol, "Qt Print Support",
         sizeof(PrinterEntryPoints)},
        &error);
    if (!module) std::fprintf(stderr, "kovtool print: %s\n", error.c_str());
    return module;
}

// Paints the planned page as the one page of the printer's job; false when the printer refused
// it.
bool printPlannedPage(QPagedPaintDevice& printer, const PrinterEntryPoints& module,
                      HMeshProject& project, const PagePlan& plan) {
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    PageStyle style;
    style.font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!drawPlannedPage(painter, project, plan, style)) {
        module.abortPrinter(&printer);
        painter.end();
        return false;
    }
    return painter.end();
}

}  // namespace

int runPrint(const Arguments& args) {
    PrintOptions o;
    DataArguments data;
    if (const std::optional<int> stop = parseDataArguments(kPrintHelp, args, data, printOptions(o)))
        return *stop;
    const std::string& output = o.output.path;
    if (o.printer.empty() == output.empty()) {
        std::fputs(localText("kovtool print: either -o OUT.pdf or --printer NAME is required\n",
                             "kovtool print: -o OUT.pdf か --printer NAME のどちらか一方が"
                             "必要です\n"),
                   stderr);
        return 2;
    }
    if (!output.empty() && !checkOutputArgument("print", o.output)) return 2;
    if (!output.empty() && !equalsIgnoringCase(fileExtension(o.output.formatName()), ".pdf")) {
        std::fprintf(stderr,
                     localText("kovtool print: %s: cannot write this format; the output name "
                               "must end in .pdf\n",
                               "kovtool print: %s: この形式は書けません。出力名の末尾は .pdf に"
                               "してください\n"),
                     output.c_str());
        return 2;
    }
    const DrawingApplication application;
    const PrinterEntryPoints* module = printerModule();
    if (!module) return 1;

    if (!o.printer.empty() && !module->printerExists(QString::fromStdString(o.printer))) {
        std::fprintf(stderr,
                     localText("kovtool print: no printer named \"%s\"\n",
                               "kovtool print: \"%s\" という名前のプリンターはありません\n"),
                     o.printer.c_str());
        return 1;
    }

    HMeshProject project;
    if (!loadMeshes("print", data, project)) return 1;
    const std::optional<MapRect> view =
        fittedViewRect("print", project, o.hasRect ? &o.rect : nullptr, o.width, o.height);
    if (!view) return 1;

    // A PDF is printed into a folder beside the target and then put in its place.
    std::optional<QTemporaryDir> scratch;
    if (o.printer.empty() && o.output.toStdout()) {
        scratch.emplace();  // in the system's folder for temporary files
    } else if (o.printer.empty()) {
        removeStaleScratch(output);
        scratch.emplace(QString::fromStdString(scratchTemplate(output)));
    }
    if (scratch && !scratch->isValid()) {
        reportUnwritable("print", output, scratch->errorString().toStdString());
        return 1;
    }
    QPageSize::PageSizeId paper = QPageSize::A4;
    pageSizeOf(o.paper, paper);
    PrinterSetup setup{o.printer, {}, paper, o.landscape, o.dpi};
    if (scratch) setup.pdfPath = scratch->filePath(QStringLiteral("page.pdf")).toStdString();
    // The job is "ZOVO2"; a PDF is titled after the project.
    const QString jobName = scratch && !project.projectTitle.empty()
                                ? QString::fromStdString(project.projectTitle)
                                : QStringLiteral("ZOVO2");
    const auto close = [module](QPagedPaintDevice* p) { module->closePrinter(p); };
    const std::unique_ptr<QPagedPaintDevice, decltype(close)> opened(
        module->openPrinter(setup, jobName), close);
    QPagedPaintDevice& printer = *opened;

    const PrintDevice device{printer.width(), printer.height(), printer.logicalDpiX()};
    const bool floodRanks = hasRankedFloodResult(project);
    // A map larger than the paper is never printed silently: the dialog's warning, and only
    // with --clip the part on the paper.
    const PrintableArea area = printableArea(device, o.settings.legend, floodRanks);
    const std::optional<PaperLayout> onPaper =
        paperLayout(o.settings.mode, *view, o.settings.scale, area);
    if (onPaper && !onPaper->fits) {
        const char* outcome =
            o.clip ? localText("; printed cut to the paper around its centre",
                               "。中心の周りを用紙に合わせて切り取って印刷します")
                   : localText(
                         ": give a smaller scale, a larger paper, or --clip to print the "
                         "part that fits",
                         "。縮尺を小さくするか、用紙を大きくするか、--clip で収まる部分を"
                         "印刷してください");
        std::fprintf(stderr,
                     localText("kovtool print: the map (%.1f x %.1f mm at 1/%g) exceeds the "
                               "largest printable size %.1f x %.1f mm%s\n",
                               "kovtool print: 地図（1/%3$g で %1$.1f x %2$.1f mm）はデータ印刷"
                               "可能最大サイズ %4$.1f x %5$.1f mm をオーバーしています%6$s\n"),
                     onPaper->width, onPaper->height, onPaper->scale, area.width, area.height,
                     outcome);
        if (!o.clip) return 1;
    }
    const std::optional<PagePlan> plan =
        planPage(o.settings, device, *view, floodRanks,
                 QString::fromStdString(project.projectTitle), QDateTime::currentDateTime());
    if (!plan) {
        std::fprintf(stderr, "%s",
                     localText("kovtool print: nothing to print (the map is smaller than a dot)\n",
                               "kovtool print: 印刷するものがありません（地図が1ドットより小さい"
                               "）\n"));
        return 1;
    }
    if (!printPlannedPage(printer, *module, project, *plan)) {
        std::fprintf(stderr, "%s",
                     localText("kovtool print: the printer refused the page\n",
                               "kovtool print: プリンターがページを受け付けませんでした\n"));
        return 1;
    }
    if (o.printer.empty()) {
        QFile file(QString::fromStdString(setup.pdfPath));
        QByteArray bytes;
        std::string why;
        if (file.open(QIODevice::ReadOnly)) bytes = withSearchableText(file.readAll(), &why);
        if (!writeOutputFile(
                "print", output, bytes,
                why.empty() ? localText("the page cannot be read back", "ページを読み戻せません")
                            : why.c_str()))
            return 1;
    }
    return 0;
}

}  // namespace kov::cli
