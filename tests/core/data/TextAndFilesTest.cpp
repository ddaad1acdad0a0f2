#include <gtest/gtest.h>

#include <cmath>

#include "core/base/TextCodec.h"
#include "core/base/TextScan.h"
#include "core/data/HxFile.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

TEST(TextScan, LinesDropTheirTerminatorAndSplitPastTheLimit) {
    std::vector<std::string> lines;
    forEachLine("a\r\nbb\n\nccccc\r\nend", 3, [&](std::string_view l) { lines.emplace_back(l); });
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "bb", "", "ccc", "cc", "end"}));
}

TEST(TextScan, NumbersReadLikeTheCLibraryWithoutLocaleOrSpecialForms) {
    const std::pair<const char*, double> cases[] = {
        {"-3412.5cm", -3412.5}, {".5", 0.5},  {"1e3", 1000.0}, {"2e", 2.0}, {"1,5", 1.0},
        {"nan", 0.0},           {"inf", 0.0}, {"0x10", 0.0},   {"-", 0.0},  {"1e999", HUGE_VAL}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(parseLeadingDouble(text), value) << text;
}

TEST(TextCodec, Utf8StaysAndCp932Converts) {
    EXPECT_TRUE(isValidUtf8("標高 abc"));
    for (const char* bad : {"\x83\x54", "\xC0\xAF", "\xED\xA0\x80", "\xE6\xA8"})
        EXPECT_FALSE(isValidUtf8(bad)) << bad;  // Shift_JIS, overlong, surrogate, cut
    EXPECT_EQ(legacyTextToUtf8("標高"), "標高");
    EXPECT_EQ(legacyTextToUtf8("\x95\x57\x8d\x82"), "標高");
    EXPECT_EQ(legacyTextToUtf8("\xb1\xb2"), "ｱｲ") << "half-width katakana";
    EXPECT_EQ(legacyTextToUtf8("a\x83"), "a\xEF\xBF\xBD") << "a cut lead byte becomes U+FFFD";
    std::string sjis, back;
    ASSERT_TRUE(utf8ToCp932("無効領域", sjis));
    ASSERT_TRUE(cp932ToUtf8(sjis, back));
    EXPECT_EQ(back, "無効領域");
    EXPECT_FALSE(utf8ToCp932("😀", sjis)) << "no CP932 form";
}

TEST(FileService, OpensRegularFilesAndMatchesPathsWithoutCase) {
    test::TempDir dir;
    test::writeFile(dir.file("Data/Tile.KOV"), "contents");
    auto file = openFile(dir.file("Data/Tile.KOV"));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->contents(), "contents");
    EXPECT_EQ(openFile(dir.file("Data")), nullptr) << "a folder is no file";
    EXPECT_EQ(openFile(dir.file("none")), nullptr);
    EXPECT_EQ(findPathIgnoringCase(dir.file("data/tile.kov")), dir.file("Data/Tile.KOV"));
    EXPECT_EQ(findPathIgnoringCase(dir.file("DATA/other.kov")), "");
    EXPECT_EQ(baseName("/a/b.c/T1.tar.kov"), "T1.tar");
    EXPECT_EQ(fileExtension("/a/b.c/T1"), "");
}

}  // namespace
}  // namespace kov
