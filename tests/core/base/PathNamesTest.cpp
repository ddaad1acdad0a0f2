// SPDX-License-Identifier: MIT
#include "core/base/PathNames.h"

#include <gtest/gtest.h>

#include <tuple>

namespace kov {
namespace {

TEST(PathNames, FolderNameAndExtensionSplitAtEitherSeparatorAndTheLastDot) {
    // Path, folder, base name, extension.
    const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
        {"/a/b.c/T1.tar.kov", "/a/b.c/", "T1.tar", ".kov"},  // a dot in a folder is no extension
        {"/a/b.c/T1", "/a/b.c/", "T1", ""},
        {"C:\\Data\\T2.KOV", "C:\\Data\\", "T2", ".KOV"},
        {"T3.txt", "", "T3", ".txt"},
    };
    for (const auto& [path, folder, base, extension] : cases) {
        EXPECT_EQ(std::tuple(splitFolder(path).first, baseName(path), fileExtension(path)),
                  std::tuple(folder, base, extension));
        EXPECT_EQ(withoutExtension(path), folder + base);
    }
}

TEST(PathNames, WindowsPathsSplitIntoDriveFolderAndFile) {
    // Path, drive, folder, file.
    const std::tuple<const char*, std::string, std::string, std::string> cases[] = {
        {"C:\\data\\Data\\T0101.kov", "C:", "/data/Data/", "T0101.kov"},
        {"\\\\server\\share\\site\\T.kov", "//server/share", "/site/", "T.kov"},
        {"\\\\server\\share", "//server/share", "", ""},
        {"d:T.kov", "d:", "", "T.kov"},
        {"/home/kov/T.kov", "", "/home/kov/", "T.kov"},
        {"1:\\T.kov", "", "1:/", "T.kov"},  // no drive letter
    };
    for (const auto& [path, drive, folder, file] : cases) {
        const WindowsPathParts parts = splitWindowsPath(path);
        EXPECT_EQ(std::tuple(parts.drive, parts.folder, parts.file),
                  std::tuple(drive, folder, file))
            << path;
    }
}

TEST(PathNames, NamesCompareInAnyAsciiCaseAndOtherBytesExactly) {
    EXPECT_TRUE(equalsIgnoringCase("Data/Tile.KOV", "data/tile.kov"));
    EXPECT_FALSE(equalsIgnoringCase(".kov", ".kovv"));
    EXPECT_FALSE(equalsIgnoringCase("[", "{"));  // 0x5B and 0x7B are no letters
    EXPECT_FALSE(equalsIgnoringCase("\xC3\x89", "\xC3\xA9")) << "É and é in UTF-8";
    EXPECT_EQ(lowerAscii("MAIN@Frame\xC3\x89"), "main@frame\xC3\x89");
    EXPECT_TRUE(startsWithIgnoringCase("FILE:///a", "file:"));
    EXPECT_FALSE(startsWithIgnoringCase("fil", "file:"));
}

TEST(PathNames, InternetPathsBeginWithTheirSchemeInAnyCaseFromFiveCharacters) {
    for (const char* yes : {"http:", "HTTP://host/a.kov", "Ftp://host/a.kov", "https://host/a"})
        EXPECT_TRUE(isInternetPath(yes)) << yes;
    for (const char* no : {"ftp:", "http", "/data/http:/a.kov", "file:///a.kov"})
        EXPECT_FALSE(isInternetPath(no)) << no;
}

}  // namespace
}  // namespace kov
