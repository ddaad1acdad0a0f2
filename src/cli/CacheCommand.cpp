// SPDX-License-Identifier: MIT
// kovtool cache: where the tile cache lives and what it holds; --clear empties it.
#include <cstdio>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Messages.h"
#include "cli/OptionReader.h"
#include "core/data/cache/TileCache.h"

namespace kov::cli {

int runCache(const Arguments& args) {
    static const CommandHelp kCacheHelp{
        "cache", "[--clear]",
        localText("Shows the tile cache's folder, its entries and their size; --clear removes\n"
                  "them (the next load of each tile reads its files again).",
                  "タイルのキャッシュのフォルダー、項目の数と大きさを示します。--clear で\n"
                  "消します (次の読み込みでタイルを元のファイルから読み直します)。")};
    bool clear = false;
    const Option clearOption =
        switchOption("--clear", clear)
            .explained({}, localText("remove every cache entry", "キャッシュの項目をすべて消す"));
    Operands none;
    none.take = [](const std::string& operand, std::string& why) {
        why = formatted(localText("takes no path (got \"%s\")", "パスをとりません (\"%s\")"),
                        operand.c_str());
        return false;
    };
    if (const std::optional<int> stop = readCommandLine(kCacheHelp, args, {clearOption}, none))
        return *stop;
    const std::string folder = defaultCacheFolder();
    if (folder.empty()) {
        std::fputs(localText("kovtool cache: neither XDG_CACHE_HOME nor HOME names a folder\n",
                             "kovtool cache: XDG_CACHE_HOME も HOME もフォルダーを示しません\n"),
                   stderr);
        return 1;
    }
    TileCache cache(folder);
    if (clear) {
        std::string why;
        if (!cache.clear(&why)) {
            std::fprintf(stderr,
                         localText("kovtool cache: cannot clear the cache: %s\n",
                                   "kovtool cache: キャッシュを消せません: %s\n"),
                         why.c_str());
            return 1;
        }
    }
    const TileCache::Usage usage = cache.usage();
    std::printf(localText("folder: %s\nentries: %lld\nsize: %lld bytes\n",
                          "フォルダー: %s\n項目: %lld\n大きさ: %lld バイト\n"),
                folder.c_str(), static_cast<long long>(usage.entries),
                static_cast<long long>(usage.bytes));
    return 0;
}

}  // namespace kov::cli
