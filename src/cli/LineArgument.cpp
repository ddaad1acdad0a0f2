// SPDX-License-Identifier: MIT
#include "cli/LineArgument.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "cli/CliSupport.h"
#include "cli/Messages.h"

namespace kov::cli {
namespace {

// Reads the points of the stream, one a line; blank lines are skipped. The exit status after a
// message when a line is no point.
std::optional<int> readPoints(const char* command, const std::string& name, std::istream& in,
                              std::vector<FPoint>& points) {
    std::string text;
    for (long long number = 1; std::getline(in, text); ++number) {
        if (text.find_first_not_of(" \t\r\f\v") == std::string::npos) continue;
        FPoint point;
        if (parsePoint(text, point)) {
            points.push_back(point);
            continue;
        }
        while (!text.empty() && text.back() == '\r')
            text.pop_back();
        return refuseArguments(
            command, formatted(localText("%s:%lld: expected \"E N\" or \"E,N\", got '%s'",
                                         "%s:%lld: \"E N\" か \"E,N\" ではありません: '%s'"),
                               name.c_str(), number, text.c_str()));
    }
    return std::nullopt;
}

std::optional<int> readLineFile(const char* command, const std::string& file,
                                std::vector<FPoint>& points) {
    const bool standardInput = file == "-";
    const std::string name = standardInput ? "stdin" : file;
    std::ifstream opened;
    if (!standardInput) opened.open(file);
    std::istream& in = standardInput ? std::cin : opened;
    if (in)
        if (const std::optional<int> badLine = readPoints(command, name, in, points))
            return badLine;
    if (in.eof() && !in.bad()) return std::nullopt;
    std::fprintf(
        stderr,
        localText("kovtool %s: %s cannot be read: %s\n", "kovtool %s: %s を読めません: %s\n"),
        command, name.c_str(), std::strerror(errno));
    return 1;
}

}  // namespace

std::vector<Option> lineOptions(LineArgument& line) {
    const auto end = [&line](size_t count, const std::string& next, std::string& why) {
        if (line.given) {
            why = localText("--line is given more than once", "--line が二度あります");
            return false;
        }
        line.given = true;
        if (line.points.size() >= 2) return true;
        why = next.empty()
                  ? formatted(localText("--line needs at least two points E,N (got %zu)",
                                        "--line には E,N が二点以上必要です (%zu 点)"),
                              count)
                  : formatted(localText("--line needs at least two points E,N (got %zu, then "
                                        "\"%s\")",
                                        "--line には E,N が二点以上必要です (%zu 点の後に "
                                        "\"%s\")"),
                              count, next.c_str());
        return false;
    };
    return {
        pointsOption("--line", line.points, end)
            .explained("E,N E,N [E,N ...]", localText("the vertices of the line, ", "線の頂点、") +
                                                std::string(pointOrderHelp())),
        textOption("--line-file", line.file)
            .explained("FILE|-", localText("the vertices read from FILE or standard input "
                                           "(-), one \"E N\" or \"E,N\" a line",
                                           "線の頂点をファイルか標準入力 (-) から、一行に "
                                           "\"E N\" か \"E,N\" をひとつ"))};
}

std::optional<int> resolveLine(const char* command, LineArgument& line) {
    if (line.given && !line.file.empty())
        return refuseArguments(command, localText("give --line or --line-file, not both",
                                                  "--line と --line-file はどちらか一方だけです"));
    if (!line.given && line.file.empty())
        return refuseArguments(
            command, localText("--line E,N E,N [E,N ...] or --line-file FILE is required",
                               "--line E,N E,N [E,N ...] か --line-file FILE が必要です"));
    if (line.file.empty()) return std::nullopt;
    if (const std::optional<int> stop = readLineFile(command, line.file, line.points)) return stop;
    if (line.points.size() >= 2) return std::nullopt;
    return refuseArguments(
        command, formatted(localText("%s holds fewer than two points", "%s の点が二つ未満です"),
                           line.file.c_str()));
}

}  // namespace kov::cli
