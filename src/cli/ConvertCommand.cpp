// SPDX-License-Identifier: MIT
// kovtool convert: whatever the program reads, written out as 5 m tiles on the sheet grid.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Messages.h"
#include "core/base/HxProgress.h"
#include "core/data/HMeshProject.h"
#include "core/data/TileConversion.h"

namespace kov::cli {
namespace {

// A target that exists but is no folder is refused before the data is read.
bool isUsableFolder(const std::string& folder) {
    std::error_code error;
    const auto status = std::filesystem::status(folder, error);
    return !std::filesystem::exists(status) || std::filesystem::is_directory(status);
}

std::string tilesText(int count) {
    if (japaneseMessages()) return "タイル " + std::to_string(count) + " 枚";
    return std::to_string(count) + (count == 1 ? " tile" : " tiles");
}

const CommandHelp kConvertHelp{
    "convert", "PATH... -o FOLDER [OPTION]...",
    localText("Writes the data as 5 m tiles on the map-sheet grid of the zone\n"
              "(FOLDER/Data/<sheet>.kov, FOLDER/Header/<sheet>.csv), elevations to 0.1 m.",
              "データを座標系の図郭の 5 m タイルに書きます\n"
              "(FOLDER/Data/<図葉>.kov、FOLDER/Header/<図葉>.csv)、標高は 0.1 m 単位。")};

}  // namespace

int runConvert(const Arguments& args) {
    std::string output;
    DataArguments data;
    const Option folder = textOption("-o", output)
                              .explained("FOLDER", localText("the folder the tiles are written to",
                                                             "タイルを書くフォルダー"));
    if (const std::optional<int> stop = parseDataArguments(kConvertHelp, args, data, {folder}))
        return *stop;
    if (output.empty()) {
        std::fputs(localText("kovtool convert: -o FOLDER is required\n",
                             "kovtool convert: -o FOLDER が必要です\n"),
                   stderr);
        return 2;
    }
    if (!checkOutputArgument("convert", OutputArgument{output, {}, {}})) return 2;
    if (!isUsableFolder(output)) {
        std::fprintf(stderr,
                     localText("kovtool convert: %s: exists and is not a folder\n",
                               "kovtool convert: %s: フォルダーではないものがすでにあります\n"),
                     output.c_str());
        return 1;
    }
    HMeshProject project;
    if (!loadMeshes("convert", data, project)) return 1;

    const std::unique_ptr<HxProgress> progress = commandProgress(data.quiet);
    TileConversionReport report;
    const bool complete = convertToTiles(project, output, report, progress.get());
    progress->End();
    if (!complete) {
        std::fprintf(
            stderr, localText("kovtool convert: %s\n", "kovtool convert: 変換に失敗しました: %s\n"),
            report.error.c_str());
        if (report.written == 0)
            std::fprintf(stderr, "%s",
                         localText("kovtool convert: no tile was written\n",
                                   "kovtool convert: タイルを一枚も書き込んでいません\n"));
        else
            std::fprintf(stderr,
                         localText("kovtool convert: the conversion is incomplete: %s written to "
                                   "%s\n",
                                   "kovtool convert: 変換は途中までです: %s を %s に書き込み"
                                   "ました\n"),
                         tilesText(report.written).c_str(), output.c_str());
        return 1;
    }
    if (report.written == 0) {
        std::fprintf(stderr, "%s",
                     localText("kovtool convert: the data holds no ground or water: no tile "
                               "written\n",
                               "kovtool convert: データに地表も水面もないため、タイルを書き込み"
                               "ません\n"));
        return 1;
    }
    std::printf("%s: %s (Data/*.kov, Header/*.csv)\n", output.c_str(),
                tilesText(report.written).c_str());
    return 0;
}

}  // namespace kov::cli
