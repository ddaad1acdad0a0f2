// SPDX-License-Identifier: MIT
// kovtool: the command-line companion of Kov View5.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Messages.h"
#include "cli/OptionReader.h"
#include "core/data/LibraryMessages.h"

namespace {

struct Command {
    const char* name;
    int (*run)(const kov::cli::Arguments&);
    const char* english;  // what it does, in a line
    const char* japanese;
};

const Command kCommands[] = {
    {"info", kov::cli::runInfo, "describe the layers (tiles, DSM, shapefiles, images)",
     "レイヤー (タイル、DSM、シェープファイル、画像) を示す"},
    {"elev", kov::cli::runElev, "elevation at points (--at E,N, or \"E N\" lines of stdin)",
     "点の標高 (--at E,N、または標準入力の \"E N\" の行)"},
    {"geo", kov::cli::runGeo, "plane coordinates E N to latitude and longitude (GRS-80)",
     "平面直角座標 E N を緯度経度 (GRS-80) に"},
    {"compose", kov::cli::runCompose, "write a project file of the given files and folders",
     "ファイルとフォルダーからプロジェクトファイルを書く"},
    {"render", kov::cli::runRender, "draw the map as the view shows it (.png, .pdf, .tif)",
     "地図を画面と同じに描く (.png、.pdf、.tif)"},
    {"profile", kov::cli::runProfile, "cross-section of a line: samples, drawing or GIS file",
     "線の断面: 標本点、図、GIS ファイル"},
    {"measure", kov::cli::runMeasure, "lengths, area and slopes of a line (-o: as a GIS file)",
     "線の距離・面積・勾配 (-o: GIS ファイルにも)"},
    {"print", kov::cli::runPrint, "print the map page to a PDF file or a printer queue",
     "地図のページを PDF ファイルかプリンターに印刷"},
    {"flood", kov::cli::runFlood, "flood estimation: whole area or from a start point",
     "簡易浸水想定: 全域、または起点から"},
    {"convert", kov::cli::runConvert, "write the data as 5 m tiles on the sheet grid",
     "データを図郭の 5 m タイルに書く"},
    {"export", kov::cli::runExport, "the elevation as a GIS raster (.tif, .asc, .vrt)",
     "標高を GIS ラスターに (.tif、.asc、.vrt)"},
    {"contour", kov::cli::runContour, "contour lines as a GIS file", "等高線を GIS ファイルに"},
    {"cache", kov::cli::runCache, "the tile cache: its folder and size; --clear empties it",
     "タイルのキャッシュ: フォルダーと大きさ。--clear で消す"},
    {"sample", kov::cli::runSample, "write the sample data set", "サンプルデータを書く"},
};

void printUsage(FILE* out) {
    using kov::cli::localText;
    std::fputs(localText("usage: kovtool COMMAND [ARGS]\n"
                         "       kovtool COMMAND --help     the command's options\n"
                         "       kovtool --version\n\ncommands:\n",
                         "使い方: kovtool COMMAND [ARGS]\n"
                         "        kovtool COMMAND --help     コマンドのオプション\n"
                         "        kovtool --version\n\nコマンド:\n"),
               out);
    for (const Command& c : kCommands)
        std::fprintf(out, "  %-9s%s\n", c.name, localText(c.english, c.japanese));
    std::fputs(
        localText(
            "\nPATH: 5 m tiles (.kov) and their folders, DSM point files (.txt), shapefiles,\n"
            "georeferenced pictures, project files (.kovv5, alone), and elevation sources\n"
            "placed in a plane rectangular zone: FG-GML DEM files (.xml), zips of them and\n"
            "raster DEMs GDAL reads (GeoTIFF, .asc, .img, .vrt, ...).\n"
            "Points are E,N: easting then northing in metres of the plane rectangular zone\n"
            "(the window's Y then X). Options with a value take \"--opt value\" or\n"
            "\"--opt=value\"; options may come before or after the paths; \"--\" ends them.\n"
            "-o - -f FORMAT writes the result to standard output where the format allows.\n"
            "\nexit status: 0 done; 1 the work failed (unreadable input, unwritable output,\n"
            "nothing to work on in the data); 2 bad arguments (an unknown option, a bad\n"
            "value, a missing -o or data path, an output format the command does not write,\n"
            "conflicting options)\n",
            "\nPATH: 5 m タイル (.kov) とそのフォルダー、DSM 点群ファイル (.txt)、シェープ\n"
            "ファイル、位置情報付きの画像、プロジェクトファイル (.kovv5、単独で)、平面直角\n"
            "座標系に配置する標高データ: FG-GML DEM ファイル (.xml)、その zip、GDAL が読む\n"
            "ラスター DEM (GeoTIFF、.asc、.img、.vrt など)。\n"
            "点は E,N: 平面直角座標の東西 (E)、南北 (N) をメートルでこの順に (画面の Y、X)。\n"
            "値をとるオプションは \"--opt 値\" か \"--opt=値\"。オプションはパスの前後どちら\n"
            "でもよく、\"--\" で終わります。-o - -f 形式 で結果を標準出力へ (できる形式のみ)。\n"
            "\n終了状態: 0 完了。1 処理の失敗 (入力を読めない、出力を書けない、データに対象\n"
            "がない)。2 引数の誤り (不明なオプション、値の誤り、-o やデータのパスがない、\n"
            "書けない出力形式、両立しないオプション)\n"),
        out);
}

// Output that could not be written (a full disk, a closed pipe) fails the command: a result
// cut short is never reported as complete.
int checkedOutput(int status) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    std::fprintf(stderr,
                 kov::cli::localText("kovtool: cannot write the output: %s\n",
                                     "kovtool: 出力を書き込めません: %s\n"),
                 std::strerror(errno));
    return status != 0 ? status : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Qt's and the picture libraries' own warnings never interleave with our output.
    kov::installLibraryMessageFilter("kovtool");
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    const std::string name = argv[1];
    if (kov::cli::asksForHelp({name}) || name == "help") {
        printUsage(stdout);
        return checkedOutput(0);
    }
    if (name == "--version") {
        std::printf("kovtool (Kov View5) %s\n", KOV_VERSION);
        return checkedOutput(0);
    }
    for (const Command& c : kCommands) {
        if (name != c.name) continue;
        const kov::cli::Arguments args(argv + 2, argv + argc);
        // Memory that cannot be had ends the command with a message, never with an abort.
        try {
            const int status = c.run(args);
            // Cells brought in after the load (a render) may have met a cache problem too.
            kov::cli::reportCacheWarning();
            return checkedOutput(status);
        } catch (const std::bad_alloc&) {
            std::fflush(stdout);
            std::fprintf(stderr,
                         kov::cli::localText("kovtool %s: out of memory\n",
                                             "kovtool %s: メモリーが足りません\n"),
                         c.name);
            return 1;
        }
    }
    std::fprintf(stderr,
                 kov::cli::localText("kovtool: unknown command '%s'\n",
                                     "kovtool: 不明なコマンドです: '%s'\n"),
                 name.c_str());
    printUsage(stderr);
    return 2;
}
