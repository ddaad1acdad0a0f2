// SPDX-License-Identifier: MIT
// kovtool compose: a new project file from layer files and folders.
#include <cstdio>
#include <optional>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Messages.h"
#include "core/base/HxProgress.h"
#include "core/base/TextCodec.h"
#include "core/data/HMeshProject.h"
#include "core/project/LayerLoader.h"
#include "core/project/ProjectFile.h"

namespace kov::cli {
namespace {

const CommandHelp kComposeHelp{
    "compose", "-o OUT.kovv5 [OPTION]... PATH...",
    localText("Writes a project file of the given files and folders, as the project dialog\n"
              "composes a new project.",
              "指定したファイルとフォルダーのプロジェクトファイルを、プロジェクトの\n"
              "ダイアログが新しいプロジェクトを作るように書きます。")};

}  // namespace

int runCompose(const Arguments& args) {
    std::string output;
    std::optional<std::string> title;
    DataArguments data;
    const Option titleOption =
        valueOption("--title", [&title](const std::string& value) {
            title = value;
            return true;
        }).explained("T", localText("the project's title (UTF-8)", "プロジェクトの表題 (UTF-8)"));
    const Option outputOption = textOption("-o", output)
                                    .explained("OUT.kovv5", localText("the project file to write",
                                                                      "書くプロジェクトファイル"));
    if (const std::optional<int> stop =
            parseDataArguments(kComposeHelp, args, data, {outputOption, titleOption}))
        return *stop;
    if (output.empty()) {
        std::fputs(localText("kovtool compose: -o OUT.kovv5 is required\n",
                             "kovtool compose: -o OUT.kovv5 が必要です\n"),
                   stderr);
        return 2;
    }
    if (!checkOutputArgument("compose", OutputArgument{output, {}, {}})) return 2;
    if (!isProjectFilePath(output)) {
        std::fprintf(stderr,
                     localText("kovtool compose: %s: the project file needs the extension .kovv5\n",
                               "kovtool compose: %s: プロジェクトファイルの拡張子は .kovv5 に"
                               "してください\n"),
                     output.c_str());
        return 2;
    }
    // The project file stores text as characters: bytes that are not UTF-8 would be saved as
    // replacement characters.
    if (title && !isValidUtf8(*title)) {
        std::fputs(localText("kovtool compose: the title given with --title is not valid UTF-8\n",
                             "kovtool compose: --title の表題が UTF-8 として正しくありません\n"),
                   stderr);
        return 2;
    }

    HMeshProject project;
    const std::unique_ptr<HxProgress> progress = commandProgress(data.quiet);
    LoadReport report;
    LoadOptions options;
    options.dsmCellSize = data.dsmCellSize;
    options.progress = progress.get();
    bool fitColourMap = true;  // a new project fits its colour map to the first data loaded
    options.fitColourMap = &fitColourMap;
    loadLayerPaths(data.paths, project, report, options);
    progress->End();
    reportLoadProblems(report, project);
    reportCacheWarning();
    if (!report.ok()) return 1;
    if (project.meshCount() == 0) {
        std::fprintf(stderr, "%s",
                     localText("kovtool compose: the given paths hold no elevation mesh\n",
                               "kovtool compose: 指定したパスに標高メッシュがありません\n"));
        return 1;
    }
    if (title) project.projectTitle = *title;
    std::string cause;
    if (!SaveProjectFile(project, output, &cause)) {
        std::fprintf(stderr,
                     localText("kovtool compose: %s cannot be saved: %s\n",
                               "kovtool compose: %s への保存に失敗しました: %s\n"),
                     output.c_str(), cause.c_str());
        return 1;
    }
    std::printf(localText("%s: %d meshes, %d images, %d shapefiles\n",
                          "%s: メッシュ %d、画像 %d、シェープファイル %d\n"),
                output.c_str(), project.meshCount(), project.imageCount(), project.shapeCount());
    return 0;
}

}  // namespace kov::cli
