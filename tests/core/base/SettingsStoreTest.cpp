// SPDX-License-Identifier: MIT
#include "core/base/IniFile.h"
#include "core/base/LogFont.h"
#include "core/base/SettingsStore.h"

#include "support/TestSupport.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <limits>
#include <numeric>
#include <optional>
#include <tuple>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace kov::settings {
namespace {

using kov::test::readFile;

// ---- encodings ----------------------------------------------------------------------------------

TEST(SettingsEncoding, LetterPairsHighNibbleFirst) {
    std::vector<uint8_t> all(256);
    std::iota(all.rbegin(), all.rend(), 0);
    EXPECT_EQ(decodeLetterPairs(encodeLetterPairs(all.data(), all.size())), all);
    // Characters outside A..P are skipped, an odd last letter is dropped.
    EXPECT_EQ(decodeLetterPairs("a P-I\r\nD?P QZ A"), (std::vector<uint8_t>{0xF8, 0x3F}));
}

TEST(SettingsEncoding, RealsRoundTripBitExactAndFallBackToTheirDecimalText) {
    EXPECT_EQ(encodeReal(-2.0), "-2(AAAAAAAAAAAAAAMA)");
    using limits = std::numeric_limits<double>;
    // 0.1 + 0.2: its 15-digit text "0.3" is a different double.
    for (const double v :
         {-0.0, 0.1 + 0.2, 1.0 / 3.0, 2.0 / 3.0 * 1e14, -DBL_MAX, DBL_MIN, -limits::denorm_min(),
          1e-300, -limits::infinity(), std::bit_cast<double>(uint64_t{0x7FF8000000001234})}) {
        const std::string text = encodeReal(v);
        EXPECT_EQ(std::bit_cast<uint64_t>(decodeReal(text, 42.0)), std::bit_cast<uint64_t>(v))
            << text;
    }
    // Bytes too short, unterminated or with stray characters; no bytes at all.
    const std::pair<const char*, double> damaged[] = {{"2.25(AAAA)", 2.25},
                                                      {"2.25(AAAAAAAAAAAAPIDP", 1.5},
                                                      {"2.25(AAAAAAAA AAAA-PIDP)", 1.5},
                                                      {"  -7.5e2xyz", -750.0},
                                                      {"abc", 0.0},
                                                      {"", 9.0}};
    for (const auto& [text, value] : damaged)
        EXPECT_EQ(decodeReal(text, 9.0), value) << text;

    EXPECT_EQ(std::tuple(decodeInt("", 7), decodeInt("  -42abc", 7), decodeInt("0x10", 7),
                         decodeInt("99999999999999999999", 7)),
              std::tuple(7, -42, 0, std::numeric_limits<int>::max()));
}

TEST(SettingsEncoding, ColourForms) {
    EXPECT_EQ(encodeColor(0xFF332211), "RGB(17,34,51)");
    // 8 bits each, CMYK percentages rounded half up and clamped, too few numbers: the default.
    const std::pair<const char*, uint32_t> cases[] = {
        {"RGB( 1, 2 ,3 )", 0x030201},    {"10,20,30", 0x1E140A},
        {"RGB(257,0,-1)", 0xFF0001},     {"#00ff00", 0x00FF00},
        {"#0000FF", 0x0000FF},           {"#80FFFFFF", 0x80FFFFFF},
        {"ARGB(128,1,2,3)", 0x80030201}, {"CMYK(0,0,0,50)", 0x808080},
        {"CMYK(49.5,0,0,0)", 0xFFFF80},  {"CMYK(-20,200,0,0)", 0xFF00FF},
        {"CMY( 100, 0, 100)", 0x00FF00}, {"RGB(1,2)", 0xABCDEF},
        {"RGB(1,,2)", 0xABCDEF}};
    for (const auto& [text, colour] : cases)
        EXPECT_EQ(decodeColor(text, 0x00ABCDEF), colour) << text;
}

TEST(SettingsEncoding, BinaryTooLongReadsAsAbsent) {
    uint8_t buffer[4] = {9, 9, 9, 9};
    EXPECT_EQ(decodeBinary("AAPIDPFKAB", buffer, sizeof buffer), 0u);
    EXPECT_EQ(buffer[0], 9);
    EXPECT_EQ(decodeBinary("AAPIDPFK", buffer, sizeof buffer), 4u);
    EXPECT_EQ(buffer[1], 0xF8);
    // Only the first 4 * size + 255 characters are decoded.
    EXPECT_EQ(std::pair(decodeBinary(std::string(261, ' ') + "PIDP", buffer, 2),
                        decodeBinary(std::string(262, ' ') + "PIDP", buffer, 2)),
              std::pair(size_t{1}, size_t{0}));
}

// ---- INI text -----------------------------------------------------------------------------------

TEST(IniText, ReadsHandEditedFilesIgnoringCaseAndKeepsTheirOtherLines) {
    IniFile file = IniFile::parse(
        "\xEF\xBB\xBF; settings\r\n[Shape]\r\n  PenWidth = 0.5\r\n\r\n# note\r\n"
        "FillColor=RGB(1,2,3)\r\n[ ColorMap ]\r\nCOLOR1=\xE8\x89\xB2 =x \r\n"
        "COLOR2 = \"#FF0000\" \r\nColorTop='a'\r\nColorSea=\"\r\nbroken line");
    // Blanks around the value and one pair of quotes go, as the platform's profile functions
    // read them; the bytes inside stay.
    EXPECT_EQ(file.value("Shape", "PenWidth"), "0.5");
    EXPECT_EQ(file.value("SHAPE", "fillcolor"), "RGB(1,2,3)");
    EXPECT_EQ(file.value("ColorMap", "color1"), "\xE8\x89\xB2 =x");
    EXPECT_EQ(file.value("ColorMap", "COLOR2"), "#FF0000");
    EXPECT_EQ(file.value("ColorMap", "ColorTop"), "a");
    EXPECT_EQ(file.value("ColorMap", "ColorSea"), "\"");
    EXPECT_EQ(file.value("Missing", "PenWidth"), std::nullopt);

    ASSERT_TRUE(file.setValue("shape", "FILLCOLOR", "#FF"));
    ASSERT_TRUE(file.setValue("Shape", "FillAlpha", "128"));
    ASSERT_TRUE(file.setValue("New", "Key", ""));
    EXPECT_EQ(file.text(),
              "; settings\n[Shape]\n  PenWidth = 0.5\n\n# note\nFILLCOLOR=#FF\n"
              "FillAlpha=128\n[ ColorMap ]\nCOLOR1=\xE8\x89\xB2 =x \nCOLOR2 = \"#FF0000\" \n"
              "ColorTop='a'\nColorSea=\"\nbroken line\n\n[New]\nKey=\n");
    EXPECT_EQ(IniFile::parse(file.text()).value("new", "key"), "");
}

TEST(IniText, RefusesNamesAndValuesThatCannotBeStored) {
    IniFile file;
    const char* refused[][3] = {{"", "Key", "v"},     {"Sec]", "Key", "v"},
                                {" Sec", "Key", "v"}, {"Sec", "", "v"},
                                {"Sec", "A=B", "v"},  {"Sec", "[Key", "v"},
                                {"Sec", ";Key", "v"}, {"Sec", "Key", "two\nlines"}};
    for (const auto& r : refused)
        EXPECT_FALSE(file.setValue(r[0], r[1], r[2])) << r[0] << "/" << r[1] << "/" << r[2];
    EXPECT_TRUE(file.empty());
    EXPECT_TRUE(file.setValue("Sec", "Key", "a=b;[c]"));
    EXPECT_EQ(IniFile::parse(file.text()).value("Sec", "Key"), "a=b;[c]");
}

// ---- the store on disk --------------------------------------------------------------------------

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"XDG_CONFIG_HOME", "HOME"})
            if (const char* value = std::getenv(name)) saved_.emplace_back(name, value);
        ::setenv("XDG_CONFIG_HOME", dir_.file("config").c_str(), 1);
        setLocation(ini_);
    }
    void TearDown() override {
        for (const char* name : {"XDG_CONFIG_HOME", "HOME"})
            ::unsetenv(name);
        for (const auto& [name, value] : saved_)
            ::setenv(name.c_str(), value.c_str(), 1);
        // Anything written by mistake after a test must fail rather than land somewhere real.
        setLocation("/nonexistent/kov-settings-test/settings.ini");
    }
    std::string userFile() const { return dir_.file("config/VEY-JP/Kov Viewer5.ini"); }

    // A fixed set of values of every kind.
    static void writeSample() {
        const uint8_t font[6] = {1, 2, 0xF8, 0x3F, 0, 255};
        EXPECT_TRUE(writeInt("MainFrame", "XPos", -1));
        EXPECT_TRUE(writeInt("MainFrame", "Zoom", 1));
        EXPECT_TRUE(writeReal("QPrintDlg", "Scale", 1.5));
        EXPECT_TRUE(writeColor("ToolFloodFillDlg", "COL1", 0x00FF8000));
        EXPECT_TRUE(writeString("ProjectDlg", "LastDir", "/home/利用者/データ"));
        EXPECT_TRUE(writeBinary("KovViewTip", "LogFont", font, sizeof font));
    }

    std::vector<std::pair<std::string, std::string>> saved_;
    kov::test::TempDir dir_;
    std::string ini_ = dir_.file("settings.ini");
};

TEST_F(SettingsStoreTest, ValuesRoundTripThroughTheFile) {
    EXPECT_EQ(readInt("MainFrame", "XPos", -7), -7);  // no file yet
    writeSample();
    EXPECT_EQ(readFile(ini_),
              "[MainFrame]\nXPos=-1\nZoom=1\n\n"
              "[QPrintDlg]\nScale=1.5(AAAAAAAAAAAAPIDP)\n\n"
              "[ToolFloodFillDlg]\nCOL1=RGB(0,128,255)\n\n"
              "[ProjectDlg]\nLastDir=/home/利用者/データ\n\n"
              "[KovViewTip]\nLogFont=ABACPIDPAAPP\n");
    EXPECT_EQ(std::tuple(readInt("MainFrame", "XPos", 5), readReal("QPrintDlg", "Scale", 0.0),
                         readColor("ToolFloodFillDlg", "COL1", 0),
                         readString("ProjectDlg", "LastDir", "")),
              std::tuple(-1, 1.5, 0x00FF8000u, "/home/利用者/データ"));
    uint8_t font[6] = {};
    EXPECT_EQ(readBinary("KovViewTip", "LogFont", font, sizeof font), 6u);
    EXPECT_EQ(font[5], 255);

    // Rewriting a key replaces its line; names match without regard to case.
    EXPECT_TRUE(writeInt("MAINFRAME", "xpos", 320));
    EXPECT_EQ(readInt("mainframe", "XPOS", 5), 320);
    EXPECT_EQ(readFile(ini_).find("XPos"), std::string::npos);

    // Reads see changes made by others; writes keep their lines; empty values are absent.
    kov::test::writeFile(ini_, "[MainFrame]\r\nZoom = 0\r\n[S]\nInt=\nReal=\nColor=\nText=\n");
    EXPECT_EQ(readInt("MainFrame", "Zoom", 9), 0);
    EXPECT_EQ(std::tuple(readInt("S", "Int", 12), readReal("S", "Real", 2.5),
                         readColor("S", "Color", 0x123456), readString("S", "Text", "def"),
                         readString("S", "Missing", "def")),
              std::tuple(12, 2.5, 0x123456u, "", "def"));
    EXPECT_TRUE(writeInt("MainFrame", "YPos", 3));
    EXPECT_EQ(readFile(ini_), "[MainFrame]\nZoom = 0\nYPos=3\n[S]\nInt=\nReal=\nColor=\nText=\n");
}

TEST_F(SettingsStoreTest, HandEditedNumbersAreLimitedBeforeUse) {
    // Font descriptions whose heights are the extreme 32-bit values, as a hand-edited file holds.
    auto logFont = [](uint32_t height) {
        uint8_t bytes[kLogFontSize] = {};
        for (int i = 0; i < 4; ++i)
            bytes[i] = static_cast<uint8_t>(height >> (8 * i));
        bytes[16] = 0xFF, bytes[17] = 0xFF, bytes[18] = 0xFF, bytes[19] = 0x7F;  // weight
        return encodeLetterPairs(bytes, sizeof bytes);
    };
    kov::test::writeFile(ini_,
                         "[KovViewTip]\nLogPixel=2147483647\nLogFont=" + logFont(0x7FFFFFFF) +
                             "\n[TrackRange]\nRubber=-2147483648\nLogFont=" + logFont(0x80000000) +
                             "\n[Shape]\nPenWidth=1e400\nFillAlpha=999\n");
    EXPECT_EQ(readIntIn("KovViewTip", "LogPixel", 96, 0, 600), 600);
    EXPECT_EQ(readIntIn("TrackRange", "Rubber", 3, 0, 7), 0);
    EXPECT_EQ(readIntIn("Shape", "FillAlpha", 128, 0, 255), 255);
    EXPECT_EQ(readIntIn("Shape", "Missing", 128, 0, 255), 128);
    EXPECT_EQ(readRealIn("Shape", "PenWidth", 0.75, 0.0, 100.0), 0.75) << "not a finite number";
    for (const char* section : {"KovViewTip", "TrackRange"}) {
        uint8_t bytes[kLogFontSize];
        ASSERT_EQ(readBinary(section, "LogFont", bytes, sizeof bytes), kLogFontSize);
        const std::optional<LogFont> font = decodeLogFont(bytes, sizeof bytes);
        ASSERT_TRUE(font) << section;
        EXPECT_EQ(std::pair(font->pixelSize, font->weight), std::pair(kMaxFontPixels, 900));
    }
}

TEST_F(SettingsStoreTest, PermissionsOverlongStringsRefusedValuesAndUnusableLocations) {
    EXPECT_TRUE(writeInt("MainFrame", "Zoom", 1));
    ASSERT_EQ(::chmod(ini_.c_str(), 0640), 0);
    EXPECT_TRUE(writeString("CrossSection", "Step", std::string(9000, 'x')));
    struct stat st;
    ASSERT_EQ(::stat(ini_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // Only the file: no temporary or lock file left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1);
    EXPECT_EQ(readString("CrossSection", "Step", ""), std::string(kMaxStringLength, 'x'));
    // 8190 bytes, then a three-byte character that would end beyond the limit.
    EXPECT_TRUE(writeString("CrossSection", "Step", std::string(8190, 'y') + "標高"));
    EXPECT_EQ(readString("CrossSection", "Step", ""), std::string(8190, 'y'));

    const std::string before = readFile(ini_);
    EXPECT_FALSE(writeString("QPrintDlg", "FtCommentT", "two\nlines"));
    EXPECT_EQ(readFile(ini_), before);

    const std::string folder = dir_.file("folder.ini");  // a folder where the file should be
    std::filesystem::create_directories(folder);
    setLocation(folder);
    EXPECT_EQ(readInt("MainFrame", "Zoom", 3), 3);
    EXPECT_FALSE(writeInt("MainFrame", "Zoom", 1));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST_F(SettingsStoreTest, UserStoreHoldsTheSameTextAndLocationsFollowExecutableAndConfig) {
    writeSample();
    setLocation("@reg");  // the marker in any letter case
    EXPECT_EQ(settingsFilePath(), userFile());
    writeSample();
    EXPECT_EQ(readReal("QPrintDlg", "Scale", 0.0), 1.5);
    EXPECT_EQ(readFile(userFile()), readFile(ini_));

    EXPECT_EQ(iniPathForExecutable("/opt/kov.d/kovview.bin"), "/opt/kov.d/kovview.ini");
    EXPECT_EQ(iniPathForExecutable("/opt/.kovview"), "/opt/.kovview.ini");
    setLocation("");
    EXPECT_EQ(location(), iniPathForExecutable(std::filesystem::read_symlink("/proc/self/exe")));

    ::setenv("HOME", "/home/kov", 1);
    ::setenv("XDG_CONFIG_HOME", "/etc/xdg-user/", 1);
    EXPECT_EQ(userSettingsPath(), "/etc/xdg-user/VEY-JP/Kov Viewer5.ini");
    for (const char* unusable : {"", "relative/cfg"}) {
        ::setenv("XDG_CONFIG_HOME", unusable, 1);
        EXPECT_EQ(userSettingsPath(), "/home/kov/.config/VEY-JP/Kov Viewer5.ini") << unusable;
    }
}

TEST_F(SettingsStoreTest, StartupChoosesTheUserStoreWhenTheExecutableIsNotWritable) {
    const std::string exe = dir_.file("bin/kovview");
    kov::test::writeFile(exe, "program");
    chooseStartupLocation(exe);  // writable: the location stays
    EXPECT_EQ(location(), ini_);
    chooseStartupLocation(dir_.file("bin/missing"));
    EXPECT_TRUE(isUserStoreMarker(location()));
    setLocation(ini_);
    chooseStartupLocation("/usr/bin/env");  // installed with the system: root could write there
    EXPECT_TRUE(isUserStoreMarker(location()));
    if (::geteuid() == 0) return;  // permissions do not restrict root
    for (const std::string& readOnly : {exe, dir_.file("bin")}) {
        setLocation(ini_);
        ASSERT_EQ(::chmod(readOnly.c_str(), 0555), 0);
        chooseStartupLocation(exe);
        EXPECT_TRUE(isUserStoreMarker(location())) << readOnly;
        ::chmod(readOnly.c_str(), 0755);
    }
}

TEST_F(SettingsStoreTest, ConcurrentWritersKeepEveryKey) {
    constexpr int kKeys = 100;  // per writer, half of them in its own section
    EXPECT_TRUE(writeString("Shared", "Start", "yes"));
    pid_t children[2];
    for (int child = 0; child < 2; ++child) {
        children[child] = ::fork();
        ASSERT_GE(children[child], 0);
        if (children[child] == 0) {
            bool ok = true;
            const std::string prefix(1, static_cast<char>('A' + child));
            for (int i = 0; i < kKeys; ++i)
                ok = writeInt(i % 2 ? "Shared" : prefix, prefix + std::to_string(i), i) && ok;
            ::_exit(ok ? 0 : 1);
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    int missing = readString("Shared", "Start", "") != "yes";
    for (int child = 0; child < 2; ++child) {
        const std::string prefix(1, static_cast<char>('A' + child));
        for (int i = 0; i < kKeys; ++i)
            missing += readInt(i % 2 ? "Shared" : prefix, prefix + std::to_string(i), -1) != i;
    }
    EXPECT_EQ(missing, 0);
    // Nothing else: the headers, "Start", the keys and a blank line before each later header.
    const std::string text = readFile(ini_);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 + 2 * kKeys + 4);
}

}  // namespace
}  // namespace kov::settings
