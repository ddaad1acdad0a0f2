// SPDX-License-Identifier: MIT
#include "cli/CliSupport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include "cli/Messages.h"
#include "core/base/AtomicFile.h"
#include "core/base/HxProgress.h"
#include "core/base/PathNames.h"
#include "core/base/PlaneConverter.h"
#include "core/base/TextCodec.h"
#include "core/data/HMeshProject.h"
#include "core/data/HxFile.h"
#include "core/data/cache/TileCache.h"
#include "core/display/MapViewport.h"
#include "core/measure/MeasureExport.h"
#include "core/project/LayerLoader.h"
#include "core/project/LayerRegistry.h"
#include "core/project/LoadProblemText.h"
#include "core/project/ProjectFile.h"

namespace kov::cli {
namespace {

const char* layerKindName(LayerKind kind) {
    switch (kind) {
        case LayerKind::MeshTile:
            return localText("5 m mesh tile (data file or header)",
                             "5 m メッシュ（データファイルまたはヘッダー）");
        case LayerKind::DsmPoints:
            return localText("DSM point file", "DSM 点群ファイル");
        case LayerKind::Shapefile:
            return localText("shapefile", "シェープファイル");
        case LayerKind::DemSource:
            return localText("raster or FG-GML elevation source",
                             "ラスターまたは FG-GML の標高データ");
        case LayerKind::Image:
            break;
    }
    return localText("georeferenced image", "位置情報付きの画像");
}

// Why a file could not be used, in the reader's language: the reader's English reason, or the
// window's Japanese words for its problem; a file the reader refused for what it holds keeps the
// reader's reason beside them, as no Japanese text says what exactly is wrong.
std::string problemReason(LoadProblem problem, const std::string& english) {
    if (!japaneseMessages()) return english;
    const std::string japanese = loadProblemText(problem).toStdString();
    if (problem != LoadProblem::Damaged || english.empty()) return japanese;
    return japanese + ": " + english;
}

void reportOverBudget(const std::string& path, const HMeshProject& project) {
    std::fprintf(stderr,
                 localText("kovtool: %s: skipped, the layer exceeds the memory budget (%lld MiB)\n",
                           "kovtool: %s: メモリーの上限（%lld MiB）を超えるため読み込みません\n"),
                 path.c_str(), static_cast<long long>(project.memoryBudget >> 20));
}

void reportUnreadable(const UnreadableLayer& layer, bool ofProject) {
    const std::string reason = problemReason(layer.problem, layer.reason);
    std::fprintf(stderr,
                 ofProject ? localText("kovtool: %s: layer of the project cannot be read as a %s: "
                                       "%s\n",
                                       "kovtool: %s: プロジェクトのレイヤーを%sとして読み込めま"
                                       "せん: %s\n")
                           : localText("kovtool: %s: cannot be read as a %s: %s\n",
                                       "kovtool: %s: %sとして読み込めません: %s\n"),
                 layer.path.c_str(), layerKindName(layer.kind), reason.c_str());
}

void reportDamage(const std::string& path, const ProjectLoadReport& report) {
    const std::string text =
        japaneseMessages() ? xmlErrorText(report.errorCode).toStdString() : report.errorText;
    std::fprintf(stderr,
                 localText("kovtool: %s: the project file is damaged (error %d at line %d, column "
                           "%d: %s); what could be read is used\n",
                           "kovtool: %s: プロジェクトファイルが破損しています（エラー %d、%d 行 "
                           "%d 桁: %s）。読み取れた部分を使います\n"),
                 path.c_str(), report.errorCode, report.errorLine, report.errorColumn,
                 text.c_str());
}

}  // namespace

bool isProjectArgument(const std::vector<std::string>& paths) {
    return paths.size() == 1 && isProjectFilePath(paths[0]);
}

namespace {

bool loadProjectPath(const std::string& path, const DemSettings& dem, HMeshProject& project,
                     HxProgress* progress, ProjectLoadReport* projectReport) {
    ProjectLoadReport report;
    const bool loaded = LoadProjectFile(project, path, progress, &report, dem);
    progress->End();
    if (!loaded)
        std::fprintf(stderr,
                     localText("kovtool: %s is not an elevation mesh project file: %s\n",
                               "kovtool: %s は標高メッシュプロジェクトファイルと識別できません: "
                               "%s\n"),
                     path.c_str(), problemReason(report.problem, report.problemText).c_str());
    // Every layer that failed says why, also when none could be read.
    if (report.damaged) reportDamage(path, report);
    for (const auto& p : report.missing)
        std::fprintf(stderr,
                     localText("kovtool: %s: layer of the project not found\n",
                               "kovtool: %s: プロジェクトのレイヤーが見つかりません\n"),
                     p.c_str());
    for (const auto& layer : report.unreadable)
        reportUnreadable(layer, true);
    for (const auto& p : report.duplicates)
        std::fprintf(stderr,
                     localText("kovtool: %s: layer of the project skipped, already loaded\n",
                               "kovtool: %s: 読み込み済みのため、プロジェクトのレイヤーを飛ば"
                               "します\n"),
                     p.c_str());
    for (const auto& p : project.budgetRefusals())
        reportOverBudget(p, project);
    if (projectReport) *projectReport = std::move(report);
    return loaded;
}

// The loaders' progress as GDAL's command-line tools show theirs: "0...10...20...", a dot for
// every 2.5 %, and "100 - done." at the end. The first total reported after Begin is the
// outer count (the files of a load); positions of another total (a reader's own) move within
// the current outer step. The line only grows: a position behind the shown one is ignored.
class TerminalProgress : public HxProgress {
public:
    int Begin() override {
        outerTotal_ = 0;
        return 0;
    }
    int SetPos(long long current, long long total) override {
        if (total <= 0) return 0;
        if (outerTotal_ == 0) outerTotal_ = total;
        double fraction = 0.0;
        if (total == outerTotal_) {
            outer_ = current;
            fraction = static_cast<double>(current) / total;
        } else {
            fraction = (outer_ + static_cast<double>(current) / total) / outerTotal_;
        }
        showUpTo(static_cast<int>(std::clamp(fraction, 0.0, 1.0) * kSteps));
        return 0;
    }
    void End() override {
        if (shown_ < 0) return;
        showUpTo(kSteps);
        std::fputs(localText(" - done.\n", " - 完了\n"), stderr);
        shown_ = -1;
        outerTotal_ = 0;
    }
    ~TerminalProgress() override { TerminalProgress::End(); }

private:
    static constexpr int kSteps = 40;  // 2.5 % each; every fourth a number of tens

    void showUpTo(int step) {
        while (shown_ < step) {
            ++shown_;
            if (shown_ % 4 == 0)
                std::fprintf(stderr, "%d", shown_ / 4 * 10);
            else
                std::fputc('.', stderr);
        }
        std::fflush(stderr);
    }

    int shown_ = -1;  // the last step written, -1 before the first
    long long outerTotal_ = 0;
    long long outer_ = 0;
};

}  // namespace

std::unique_ptr<HxProgress> commandProgress(bool quiet) {
    if (!quiet && ::isatty(STDERR_FILENO)) return std::make_unique<TerminalProgress>();
    return std::make_unique<HxProgress>();
}

bool loadDataPaths(const DataArguments& data, HMeshProject& project,
                   ProjectLoadReport* projectReport) {
    const std::vector<std::string>& paths = data.paths;
    if (data.memoryBudget > 0) project.memoryBudget = data.memoryBudget;
    const std::unique_ptr<HxProgress> progress = commandProgress(data.quiet);
    if (isProjectArgument(paths))
        return loadProjectPath(paths[0], data.dem, project, progress.get(), projectReport);
    for (const auto& p : paths)
        if (isProjectFilePath(p)) {
            std::fprintf(stderr,
                         localText("kovtool: %s: a project file must be the only path\n",
                                   "kovtool: %s: プロジェクトファイルはほかのパスと一緒に指定で"
                                   "きません\n"),
                         p.c_str());
            return false;
        }
    LoadReport report;
    LoadOptions options;
    options.dsmCellSize = data.dsmCellSize;
    options.progress = progress.get();
    options.dem = data.dem;
    const int added = loadLayerPaths(paths, project, report, options);
    progress->End();
    reportLoadProblems(report, project);
    reportCacheWarning();
    if (!report.ok()) return false;
    if (added == 0) {
        std::fprintf(stderr, "%s",
                     localText("kovtool: no layer found in the given paths\n",
                               "kovtool: 指定したパスにレイヤーがありません\n"));
        return false;
    }
    return true;
}

void reportLoadProblems(const LoadReport& report, const HMeshProject& project) {
    for (const auto& p : report.missing)
        std::fprintf(stderr,
                     localText("kovtool: %s: no such file or folder\n",
                               "kovtool: %s: ファイルまたはフォルダーがありません\n"),
                     p.c_str());
    for (const auto& layer : report.unreadable)
        reportUnreadable(layer, false);
    for (const auto& p : report.overBudget)
        reportOverBudget(p, project);
    for (const auto& p : report.duplicates)
        std::fprintf(stderr,
                     localText("kovtool: %s: skipped, the same layer is already loaded\n",
                               "kovtool: %s: 同じレイヤーを読み込み済みのため飛ばします\n"),
                     p.c_str());
}

const char* pointOrderHelp() {
    return localText(
        "E,N: easting then northing in metres of the plane rectangular zone "
        "(the window's Y then X)",
        "E,N: 平面直角座標の東西 (E) と南北 (N) をメートルで、この順に "
        "(画面の Y、X の順)");
}

namespace {

// "--memory MIB": the memory budget of the data and of what commands make from them.
Option memoryOption(int64_t& budget) {
    constexpr int kFewestMiB = 16;
    constexpr int kMostMiB = 1 << 24;  // 16 TiB
    const auto refusal = [](const std::string& value) {
        return formatted(localText("--memory needs a budget from %d to %d MiB (got \"%s\")",
                                   "--memory にはメモリの上限を %d〜%d MiB で指定してください "
                                   "(\"%s\")"),
                         kFewestMiB, kMostMiB, value.c_str());
    };
    return valueOption(
               "--memory",
               [&budget, refusal](const std::string& value, std::string& why) {
                   int mib = 0;
                   if (parseNumber(value, mib, kFewestMiB, kMostMiB)) {
                       budget = int64_t{mib} << 20;
                       return true;
                   }
                   why = refusal(value);
                   return false;
               },
               refusal(""))
        .explained("MIB", localText("memory budget for the data in MiB: cells beyond it are "
                                    "let go and read again when needed (default: half of the "
                                    "memory)",
                                    "データのメモリの上限 (MiB): 超えたセルは手放し、必要なときに"
                                    "読み直す (既定: メモリの半分)"));
}

}  // namespace

std::optional<int> parseDataArguments(const CommandHelp& command, const Arguments& args,
                                      DataArguments& out, std::vector<Option> options) {
    // A cell size option and what it says when its value is refused.
    const auto cellOption = [](const char* name, double& target) {
        const auto refusal = [name](const std::string& value) {
            return formatted(localText("%s needs a cell size from 0.1 to 1000 m (got \"%s\")",
                                       "%s にはセルの大きさを 0.1〜1000 m で指定してください "
                                       "(\"%s\")"),
                             name, value.c_str());
        };
        return valueOption(
            name,
            [&target, refusal](const std::string& value, std::string& why) {
                if (parseNumber(value, target, 0.1, 1000.0)) return true;
                why = refusal(value);
                return false;
            },
            refusal(""));
    };
    options.push_back(cellOption("--dsm-cell", out.dsmCellSize)
                          .explained("M", localText("cell size of the grid DSM point files are "
                                                    "resampled to (0.1..1000 m, default 5)",
                                                    "DSM 点群ファイルを格子にするセルの大きさ "
                                                    "(0.1〜1000 m、既定 5)")));
    options.push_back(cellOption("--cell", out.demCellSize)
                          .explained("M", localText("cell size of elevation sources placed in "
                                                    "the zone (default: the source's own "
                                                    "spacing)",
                                                    "座標系に配置する標高データのセルの大きさ "
                                                    "(既定: データ自身の間隔)")));
    options.push_back(
        valueOption(
            "--zone",
            [&out](const std::string& value, std::string& why) {
                int zone = 0;
                if (parseNumber(value, zone, 1, kZoneCount)) {
                    out.dem.zone = zone;
                    return true;
                }
                why = formatted(localText("--zone needs a plane rectangular zone from 1 to 19 "
                                          "(got \"%s\")",
                                          "--zone には平面直角座標系を 1〜19 で指定してください "
                                          "(\"%s\")"),
                                value.c_str());
                return false;
            },
            localText("--zone needs a plane rectangular zone from 1 to 19",
                      "--zone には平面直角座標系を 1〜19 で指定してください"))
            .explained("Z", localText("plane rectangular zone 1..19 elevation sources are placed "
                                      "in (default: that of the tiles loaded, else the zone "
                                      "whose origin is nearest to the data)",
                                      "標高データを配置する平面直角座標系 1〜19 (既定: 読んだ"
                                      "タイルの系、なければ原点が最も近い系)")));
    options.push_back(memoryOption(out.memoryBudget));
    Option quiet =
        switchOption("--quiet", out.quiet)
            .explained({}, localText("no progress on the terminal", "端末に進み具合を表示しない"));
    quiet.shortName = "-q";
    options.push_back(std::move(quiet));
    options.push_back(switchOption("--no-cache", out.noCache)
                          .explained({}, localText("read every tile from its files and write no "
                                                   "cache entry",
                                                   "タイルをすべて元のファイルから読み、"
                                                   "キャッシュを書かない")));
    Operands paths;
    paths.take = [&out](const std::string& path, std::string&) {
        out.paths.push_back(path);
        return true;
    };
    if (const std::optional<int> stop = readCommandLine(command, args, options, paths)) return stop;
    // Like any other missing argument, a missing data path is a usage error (exit status 2).
    if (out.paths.empty())
        return refuseArguments(command.name,
                               localText("no data path given", "データのパスがありません"));
    if (out.demCellSize > 0) out.dem.cellSize = out.demCellSize;
    useTileCache(!out.noCache);
    return std::nullopt;
}

void useTileCache(bool on) {
    const std::string folder = on ? defaultCacheFolder() : std::string();
    TileCache::setActive(folder.empty() ? nullptr : std::make_shared<TileCache>(folder));
}

void reportCacheWarning() {
    const std::shared_ptr<TileCache> cache = TileCache::active();
    if (const std::optional<CacheProblem> problem = cache ? cache->takeWarning() : std::nullopt) {
        const std::string text = cacheProblemText(*problem, japaneseMessages());
        std::fprintf(stderr, localText("kovtool: warning: %s\n", "kovtool: 警告: %s\n"),
                     text.c_str());
    }
}

std::vector<Option> outputOptions(OutputArgument& out, std::string outputHelp,
                                  std::vector<std::string> streamable) {
    out.streamable = std::move(streamable);
    std::string names;
    for (const std::string& name : out.streamable)
        names += (names.empty() ? "" : "|") + name;
    Option format = textOption("--format", out.format)
                        .explained(names, localText("the format of -o - (standard output)",
                                                    "-o - (標準出力) の形式"));
    format.shortName = "-f";
    return {textOption("-o", out.path).explained("OUT", std::move(outputHelp)), std::move(format)};
}

bool checkOutputArgument(const char* command, const OutputArgument& out) {
    if (!out.toStdout()) {
        if (out.format.empty() || equalsIgnoringCase(fileExtension(out.path), "." + out.format))
            return true;
        refuseArguments(command, formatted(localText("--format %s differs from the extension "
                                                     "of %s",
                                                     "--format %s が出力ファイルの拡張子と違い"
                                                     "ます: %s"),
                                           out.format.c_str(), out.path.c_str()));
        return false;
    }
    std::string names;
    for (const std::string& format : out.streamable) {
        if (equalsIgnoringCase(format, out.format)) return true;
        names += (names.empty() ? "" : ", ") + format;
    }
    if (out.streamable.empty())
        refuseArguments(command,
                        localText("-o - is not possible: every output of this command "
                                  "is a file or folder",
                                  "-o - はできません: この出力はファイルかフォルダーです"));
    else
        refuseArguments(command, localText("-o - writes to standard output with --format ",
                                           "-o - (標準出力) には --format で次の形式を: ") +
                                     names);
    return false;
}

OutputFile::OutputFile(const OutputArgument& out) : path_(out.path) {
    if (!out.toStdout()) return;
    scratch_ = std::make_unique<QTemporaryDir>();
    path_ = scratch_->filePath(QString::fromStdString("stdout." + out.format)).toStdString();
}

OutputFile::~OutputFile() = default;

bool OutputFile::deliver(const char* command) const {
    if (!scratch_) return true;
    QFile file(QString::fromStdString(path_));
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
    return writeOutputFile(
        command, "-", bytes,
        localText("the written file cannot be read back", "書いたファイルを読み戻せません"));
}

std::string jsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    // Fifteen significant digits hold every decimal of up to fifteen digits exactly, so a sum
    // or product that is a short decimal on paper (1642 * 0.1) prints as one ("164.2"), not
    // with the binary noise of its last bits ("164.20000000000002").
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    return std::string(buffer, result.ptr);
}

std::string jsonString(std::string_view text) {
    const std::string utf8 = legacyTextToUtf8(text);
    std::string out = "\"";
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", c);
                    out += escape;
                } else {
                    out += ch;
                }
        }
    }
    return out + "\"";
}

std::string jsonPathFields(const std::string& path) {
    if (isValidUtf8(path)) return "\"path\":" + jsonString(path);
    // Percent-encoded bytes: letters, digits, "-._~" and "/" stay, everything else is %XX.
    const QByteArray bytes =
        QByteArray(path.data(), static_cast<qsizetype>(path.size())).toPercentEncoding("/");
    return "\"path\":null,\"pathBytes\":\"" + bytes.toStdString() + "\"";
}

void reportBadPairLine(const char* command, long long lineNumber, std::string_view line) {
    std::string text(line);
    while (!text.empty() && text.back() == '\r')
        text.pop_back();
    if (text.size() > 80) text = text.substr(0, 77) + "...";
    std::fprintf(stderr,
                 localText("kovtool %s: line %lld: expected \"E N\", got '%s'\n",
                           "kovtool %s: %lld 行目: \"E N\" ではありません: '%s'\n"),
                 command, lineNumber, text.c_str());
}

void reportUnreadableStdin(const char* command) {
    std::fprintf(stderr,
                 localText("kovtool %s: cannot read stdin: %s\n",
                           "kovtool %s: 標準入力を読み取れません: %s\n"),
                 command, std::strerror(errno));
}

std::optional<MapRect> fittedViewRect(const char* command, const HMeshProject& project,
                                      const MapRect* request, int w, int h) {
    MapRect wanted;
    if (request) {
        wanted = *request;
    } else {
        project.GetExtent(wanted);
    }
    MapViewport view;
    view.setView(wanted, w, h, project);
    const MapRect shown = view.world();
    if (!(std::isfinite(shown.xmin) && std::isfinite(shown.xmax) && std::isfinite(shown.ymin) &&
          std::isfinite(shown.ymax) && std::isfinite(shown.xmax - shown.xmin) &&
          std::isfinite(shown.ymax - shown.ymin))) {
        std::fprintf(stderr,
                     localText("kovtool %s: nothing to draw: the extent is not finite (E %g .. %g, "
                               "N %g .. %g)\n",
                               "kovtool %s: 描画できません: 範囲が有限ではありません（E %g .. %g、"
                               "N %g .. %g）\n"),
                     command, wanted.xmin, wanted.xmax, wanted.ymin, wanted.ymax);
        return std::nullopt;
    }
    return shown;
}

bool loadMeshes(const char* command, const DataArguments& data, HMeshProject& project) {
    if (!loadDataPaths(data, project)) return false;
    if (project.meshCount() > 0) return true;
    std::fprintf(stderr,
                 localText("kovtool %s: the given paths hold no elevation mesh\n",
                           "kovtool %s: 指定したパスに標高メッシュがありません\n"),
                 command);
    return false;
}

// The application object is made once and never destroyed: its destructor only frees memory,
// yet it takes down the font database, whose fontconfig clean-up first loads the whole font
// configuration (some 200 files) when no text was drawn, a tenth of a small render. Nothing is
// written there: every output file is closed and in place before a command returns.
DrawingApplication::DrawingApplication() {
    if (QCoreApplication::instance() != nullptr) return;
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "kovtool";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);  // QCoreApplication::instance() holds it
}

bool writeOutputFile(const char* command, const std::string& path, const QByteArray& bytes,
                     const char* emptyReason) {
    std::string reason = emptyReason;
    if (path == "-" && !bytes.isEmpty()) {
        // A failed write to stdout is found when kovtool flushes it at the end.
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
        return true;
    }
    if (!bytes.isEmpty() &&
        replaceFileAtomically(path, std::string_view(bytes.constData(), bytes.size()), &reason))
        return true;
    reportUnwritable(command, path, reason);
    return false;
}

const char* pictureNotEncoded() {
    return localText("the picture cannot be encoded", "画像を符号化できません");
}

void reportWriterFailure(const char* command, const std::string& path, const std::string& reason) {
    if (!japaneseMessages())
        std::fprintf(stderr, "kovtool %s: %s\n", command, reason.c_str());
    else
        reportUnwritable(command, path, reason);
}

void reportUnwritable(const char* command, const std::string& path, const std::string& reason) {
    std::fprintf(stderr,
                 localText("kovtool %s: %s cannot be written: %s\n",
                           "kovtool %s: %s に書き込めません: %s\n"),
                 command, path.c_str(), reason.c_str());
}

const char* cellKindName(CellKind kind) {
    // The same words as the GIS exports of the cross-section.
    return cellKindText(kind);
}

}  // namespace kov::cli
