#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "data/HxFile.h"
#include "data/TextCodec.h"
#include "data/TextScan.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

TEST(TextScan, LinesDropTheirTerminatorAndSplitPastTheLimit) {
    std::vector<std::string> lines;
    ForEachLine("a\r\nbb\n\nccccc\r\nend", 3, [&](std::string_view l) { lines.emplace_back(l); });
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "bb", "", "ccc", "cc", "end"}));
    lines.clear();
    ForEachLine("", 3, [&](std::string_view l) { lines.emplace_back(l); });
    EXPECT_TRUE(lines.empty());
}

TEST(TextScan, NumbersReadLikeTheCLibraryWithoutLocaleOrSpecialForms) {
    EXPECT_EQ(ParseLeadingInt("  42abc"), 42);
    EXPECT_EQ(ParseLeadingInt("-7"), -7);
    EXPECT_EQ(ParseLeadingInt("+8"), 8);
    EXPECT_EQ(ParseLeadingInt("x1"), 0);
    EXPECT_EQ(ParseLeadingInt("99999999999"), INT_MAX);
    EXPECT_EQ(ParseLeadingInt("-99999999999"), INT_MIN);

    EXPECT_DOUBLE_EQ(ParseLeadingDouble(" 5.000"), 5.0);
    EXPECT_DOUBLE_EQ(ParseLeadingDouble("-3412.5cm"), -3412.5);
    EXPECT_DOUBLE_EQ(ParseLeadingDouble(".5"), 0.5);
    EXPECT_DOUBLE_EQ(ParseLeadingDouble("1e3"), 1000.0);
    EXPECT_DOUBLE_EQ(ParseLeadingDouble("2e"), 2.0) << "an exponent without digits is not read";
    EXPECT_DOUBLE_EQ(ParseLeadingDouble("1,5"), 1.0) << "the point is always '.'";
    EXPECT_EQ(ParseLeadingDouble("nan"), 0.0);
    EXPECT_EQ(ParseLeadingDouble("inf"), 0.0);
    EXPECT_EQ(ParseLeadingDouble("0x10"), 0.0);
    EXPECT_EQ(ParseLeadingDouble("-"), 0.0);
    EXPECT_EQ(ParseLeadingDouble("1e999"), HUGE_VAL);
    EXPECT_EQ(ParseLeadingDouble("1e-999"), 0.0);
}

TEST(TextCodec, Utf8StaysAndCp932Converts) {
    EXPECT_TRUE(IsValidUtf8("標高 abc"));
    EXPECT_FALSE(IsValidUtf8("\x83\x54"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF")) << "overlong";
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")) << "surrogate";
    EXPECT_FALSE(IsValidUtf8("\xE6\xA8")) << "cut";
    EXPECT_EQ(LegacyTextToUtf8("標高"), "標高");
    EXPECT_EQ(LegacyTextToUtf8("\x95\x57\x8d\x82"), "標高");
    EXPECT_EQ(LegacyTextToUtf8("\xb1\xb2"), "ｱｲ") << "half-width katakana";
    EXPECT_EQ(LegacyTextToUtf8("a\x83"), "a\xEF\xBF\xBD") << "a cut lead byte becomes U+FFFD";

    std::string sjis;
    ASSERT_TRUE(Utf8ToCp932("無効領域", sjis));
    std::string back;
    ASSERT_TRUE(Cp932ToUtf8(sjis, back));
    EXPECT_EQ(back, "無効領域");
    EXPECT_FALSE(Utf8ToCp932("😀", sjis)) << "no CP932 form";
}

TEST(FileService, OpensRegularFilesAndMatchesPathsWithoutCase) {
    test::TempDir dir;
    test::writeFile(dir.file("Data/Tile.KOV"), "contents");
    auto file = OpenFile(dir.file("Data/Tile.KOV"));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Contents(), "contents");
    EXPECT_EQ(file->FullPath().front(), '/');
    EXPECT_EQ(OpenFile(dir.file("Data")), nullptr) << "a folder is no file";
    EXPECT_EQ(OpenFile(dir.file("none")), nullptr);
    EXPECT_EQ(OpenFile(""), nullptr);

    EXPECT_EQ(FindPathIgnoringCase(dir.file("data/tile.kov")), dir.file("Data/Tile.KOV"));
    EXPECT_EQ(FindPathIgnoringCase(dir.file("Data/Tile.KOV")), dir.file("Data/Tile.KOV"));
    EXPECT_EQ(FindPathIgnoringCase(dir.file("DATA/other.kov")), "");

    EXPECT_EQ(SplitFolder("C:\\data\\Data\\T1.kov").second, "T1.kov");
    EXPECT_EQ(SplitFolder("/a/b/T1.kov").first, "/a/b/");
    EXPECT_EQ(BaseName("/a/b.c/T1.tar.kov"), "T1.tar");
    EXPECT_EQ(Extension("/a/b.c/T1"), "");
    EXPECT_TRUE(EqualsIgnoringCase(".KoV", ".kov"));
}

}  // namespace
}  // namespace kov
