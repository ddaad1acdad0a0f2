// SPDX-License-Identifier: MIT
// Helpers shared by the kovtool commands.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <optional>

#include "cli/OptionParsers.h"
#include "cli/OptionReader.h"
#include "core/data/HMeshProject.h"
#include "core/project/DemLoading.h"

class QByteArray;
class QTemporaryDir;

namespace kov {
class HxProgress;
struct LoadReport;
struct ProjectLoadReport;
}  // namespace kov

namespace kov::cli {

// Loads the data paths into the collection as a new project is composed (DSM point files at
// the given cell size); reports problems on stderr and answers false when any path could not
// be used or nothing was loaded.
// A single project file (".kovv5", ".kovv") is opened as a project instead: its layers that
// were not found or could not be read, and damage to the file, are warnings on stderr (the
// project opens with what could be read) and are listed in *projectReport (when given).
// Progress (a percentage) is shown on stderr when it is a terminal, unless quiet.
struct DataArguments;
bool loadDataPaths(const DataArguments& data, HMeshProject& project,
                   ProjectLoadReport* projectReport = nullptr);
// loadDataPaths, then a message when the paths hold no elevation mesh: false in both cases. The
// start of every command that works on the meshes.
bool loadMeshes(const char* command, const DataArguments& data, HMeshProject& project);
// Says on stderr, in the reader's language, which paths were not found, could not be read or
// were skipped.
void reportLoadProblems(const LoadReport& report, const HMeshProject& project);
// True when paths name exactly one project file.
bool isProjectArgument(const std::vector<std::string>& paths);

// The arguments of a command that reads data paths: the paths, "--dsm-cell M", "--zone Z",
// "--cell M" (elevation sources placed in a zone), "--memory MIB", "-q" and "--no-cache".
struct DataArguments {
    std::vector<std::string> paths;
    double dsmCellSize = 5.0;
    double demCellSize = 0.0;  // --cell; 0 when not given
    DemSettings dem;
    bool quiet = false;        // -q: no progress on the terminal
    bool noCache = false;      // --no-cache: every tile read from its files, no entry written
    int64_t memoryBudget = 0;  // --memory, in bytes; 0: the project's default
};

// Makes the tile cache in the user's cache folder the readers' (or none when off).
void useTileCache(bool on);
// Says on stderr the first problem the tile cache met since the last call, in one line.
void reportCacheWarning();

// The loaders' progress for a command: a percentage on stderr ("0...10...20... - done.") when
// it is a terminal and the command is not quiet (never in pipes), else nothing.
std::unique_ptr<HxProgress> commandProgress(bool quiet);
// Reads a command line of data paths, "--dsm-cell M", "--zone Z", "--cell M", "-q",
// "--no-cache" and the command's own options, or shows its help; turns the tile cache on or off.
// The exit status when the command ends here: 0 after the help; 2 after a message for an unknown or
// bad option and when no data path is given.
std::optional<int> parseDataArguments(const CommandHelp& command, const Arguments& args,
                                      DataArguments& out, std::vector<Option> options = {});

// The help of an option that takes points: the order of the two numbers.
const char* pointOrderHelp();

// The output of a command: "-o FILE", or "-o -" (standard output) with "--format NAME".
struct OutputArgument {
    std::string path;    // -o; "-" for standard output
    std::string format;  // -f, --format: an extension without its dot ("png", "geojson")
    std::vector<std::string> streamable;  // the formats the command writes to standard output
    bool toStdout() const { return path == "-"; }
    // The name whose extension says the format: the path, or "stdout.FORMAT" for "-o -".
    std::string formatName() const { return toStdout() ? "stdout." + format : path; }
};
// "-o OUT" (help: what the command writes) and "-f, --format NAME" for the formats it writes to
// standard output.
std::vector<Option> outputOptions(OutputArgument& out, std::string outputHelp,
                                  std::vector<std::string> streamable);
// Refuses "-o -" without --format or with a format the command cannot write to standard output,
// and a --format that is not the -o file's extension. False after a message (the command then
// exits 2).
bool checkOutputArgument(const char* command, const OutputArgument& out);

// A file that a writer of files (OGR's) writes for "-o -" in a scratch folder, then copied to
// standard output; for "-o FILE" the file itself.
class OutputFile {
public:
    explicit OutputFile(const OutputArgument& out);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Where the writer writes.
    const std::string& path() const { return path_; }
    // Copies the written file to standard output for "-o -"; false after a message.
    bool deliver(const char* command) const;

private:
    std::unique_ptr<QTemporaryDir> scratch_;
    std::string path_;
};

// The map rectangle a w x h view shows for the request (the project's whole extent without
// one), by the view's rules: at least 10 m each way, at most 5 pixels per metre, centred, edges
// on the project's largest cell. Empty, after a message on stderr, when it is not finite.
std::optional<MapRect> fittedViewRect(const char* command, const HMeshProject& project,
                                      const MapRect* request, int w, int h);

// The one writer of numbers in JSON (and of numbers echoed back): the shortest decimal text of
// the value rounded to fifteen significant digits ("164.2", "0.001", "1e+21"); "null" when it is
// not finite. A reader gets the value to one part in 10^15, without binary noise.
std::string jsonNumber(double value);
// A JSON string literal; text that is not UTF-8 is read as CP932 first.
std::string jsonString(std::string_view text);
// The JSON fields naming a file. A path in UTF-8 is "path":"..." exactly. Any other path (a
// folder named in Shift_JIS bytes, from a zip unpacked without conversion) has no exact JSON
// string: it is "path":null,"pathBytes":"..." with its bytes percent-encoded (every byte but
// A-Z a-z 0-9 - . _ ~ / as %XX), which decode back to the very bytes of the file's name.
std::string jsonPathFields(const std::string& path);

// Reports on stderr a line of stdin that is not an "E N" pair.
void reportBadPairLine(const char* command, long long lineNumber, std::string_view line);
// Reports on stderr that stdin cannot be read.
void reportUnreadableStdin(const char* command);

// Reads stdin in big blocks and calls onPair(east, north) for every "E N" line, so that
// millions of points can be streamed; blank lines are skipped. onPair answers false to stop.
// A line that is not a pair is reported and stops the reading. Answers true when all of stdin
// was read.
template <typename OnPair>
bool forEachStdinPair(const char* command, OnPair&& onPair) {
    std::vector<char> buffer(size_t{1} << 20);
    size_t filled = 0;
    long long lineNumber = 0;
    for (bool eof = false; !eof;) {
        if (filled == buffer.size()) buffer.resize(buffer.size() * 2);  // a very long line
        const ssize_t n = ::read(STDIN_FILENO, buffer.data() + filled, buffer.size() - filled);
        if (n < 0) {
            if (errno == EINTR) continue;
            reportUnreadableStdin(command);
            return false;
        }
        eof = n == 0;
        filled += static_cast<size_t>(n);
        const char* p = buffer.data();
        const char* const end = p + filled;
        while (p < end) {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
            if (!nl) {
                if (!eof) break;  // an incomplete line waits for more input
                nl = end;
            }
            ++lineNumber;
            const std::string_view line(p, static_cast<size_t>(nl - p));
            p = nl < end ? nl + 1 : end;
            if (line.find_first_not_of(" \t\r\f\v") == std::string_view::npos) continue;
            double east = 0.0, north = 0.0;
            if (!parsePair(line, east, north)) {
                reportBadPairLine(command, lineNumber, line);
                return false;
            }
            if (!onPair(east, north)) return false;
        }
        filled = static_cast<size_t>(end - p);
        std::memmove(buffer.data(), p, filled);
    }
    return true;
}

// Makes the application object that drawing text needs, for the rest of the process; drawn off
// screen when no display is named.
class DrawingApplication {
public:
    DrawingApplication();
    DrawingApplication(const DrawingApplication&) = delete;
    DrawingApplication& operator=(const DrawingApplication&) = delete;
};

// Why an encoder gave no bytes for a picture, in the reader's language.
const char* pictureNotEncoded();

// Writes the bytes beside the target and renames them over it, so that a failure leaves the
// previous file as it was; "-" writes them to standard output. An empty buffer is a failure for
// `emptyReason`. False after a message.
bool writeOutputFile(const char* command, const std::string& path, const QByteArray& bytes,
                     const char* emptyReason);

// Says on stderr why the output at path could not be written: the writer's reason as it is,
// under a Japanese locale after a sentence that says so.
void reportWriterFailure(const char* command, const std::string& path, const std::string& reason);
// Says on stderr that the file at path cannot be written, and why.
void reportUnwritable(const char* command, const std::string& path, const std::string& reason);

// What a point holds, as kovtool prints it: "ground", "water", "nodata" (a mesh without a
// value) or "none" (no mesh).
const char* cellKindName(CellKind kind);

}  // namespace kov::cli
