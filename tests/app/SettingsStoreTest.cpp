#include "app/IniFile.h"
#include "app/SettingsStore.h"

#include "support/TestSupport.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace kov::settings {
namespace {

// ---- encodings ----------------------------------------------------------------------------------

TEST(SettingsEncoding, LetterPairsHighNibbleFirst) {
    const uint8_t bytes[] = {0x00, 0xF8, 0x3F, 0x5A};
    EXPECT_EQ(encodeLetterPairs(bytes, sizeof bytes), "AAPIDPFK");

    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<uint8_t>(255 - i);
    EXPECT_EQ(decodeLetterPairs(encodeLetterPairs(all.data(), all.size())), all);

    // Characters outside A..P are skipped, an odd last letter is dropped.
    EXPECT_EQ(decodeLetterPairs("a P-I\r\nD?P QZ A"), (std::vector<uint8_t>{0xF8, 0x3F}));
    EXPECT_TRUE(decodeLetterPairs("").empty());
    EXPECT_TRUE(decodeLetterPairs("qrs").empty());
}

TEST(SettingsEncoding, RealKeepsDecimalTextAndBytes) {
    EXPECT_EQ(encodeReal(1.5), "1.5(AAAAAAAAAAAAPIDP)");
    EXPECT_EQ(encodeReal(-2.0), "-2(AAAAAAAAAAAAAAMA)");
    EXPECT_EQ(encodeReal(0.1).substr(0, 4), "0.1(");
}

TEST(SettingsEncoding, RealRoundTripIsBitExact) {
    const double values[] = {0.0,
                             -0.0,
                             0.1,
                             1.0 / 3.0,
                             0.1 + 0.2,  // its 15-digit text "0.3" is a different double
                             123456.78901234567,
                             2.0 / 3.0 * 1e14,
                             DBL_MAX,
                             -DBL_MAX,
                             DBL_MIN,
                             std::numeric_limits<double>::denorm_min(),
                             -4.9406564584124654e-320,
                             1e-12,
                             1e-300,
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::bit_cast<double>(uint64_t{0x7FF8000000001234})};
    for (const double v : values) {
        const std::string text = encodeReal(v);
        EXPECT_EQ(std::bit_cast<uint64_t>(decodeReal(text, 42.0)), std::bit_cast<uint64_t>(v))
            << text;
    }
}

TEST(SettingsEncoding, DamagedRealFallsBackToItsDecimalText) {
    EXPECT_EQ(decodeReal("2.25(AAAA)", 9.0), 2.25);                // too short
    EXPECT_EQ(decodeReal("2.25(AAAAAAAAAAAAPIDPAA)", 9.0), 2.25);  // too long
    EXPECT_EQ(decodeReal("2.25(AAAAAAAAAAAAPIDP", 9.0), 1.5);      // no ")" but 8 bytes
    EXPECT_EQ(decodeReal("2.25(AAAAAAAA AAAA-PIDP)", 9.0), 1.5);   // stray characters skipped
    EXPECT_EQ(decodeReal("(AAAAAAAAAAAAPIDP)", 9.0), 1.5);
    EXPECT_EQ(decodeReal("  -7.5e2xyz", 9.0), -750.0);
    EXPECT_EQ(decodeReal("0.3", 9.0), 0.3);
    EXPECT_EQ(decodeReal("abc", 9.0), 0.0);
    EXPECT_EQ(decodeReal("1e999(AA)", 9.0), std::numeric_limits<double>::infinity());
    EXPECT_EQ(decodeReal("", 9.0), 9.0);
}

TEST(SettingsEncoding, IntegerIsTheLeadingDecimalNumber) {
    EXPECT_EQ(decodeInt("", 7), 7);
    EXPECT_EQ(decodeInt("  42abc", 7), 42);
    EXPECT_EQ(decodeInt("-17", 7), -17);
    EXPECT_EQ(decodeInt("+5", 7), 5);
    EXPECT_EQ(decodeInt("abc", 7), 0);
    EXPECT_EQ(decodeInt("0x10", 7), 0);
    EXPECT_EQ(decodeInt("99999999999999999999", 7), std::numeric_limits<int>::max());
    EXPECT_EQ(decodeInt("-99999999999999999999", 7), std::numeric_limits<int>::min());
}

TEST(SettingsEncoding, ColourForms) {
    const uint32_t def = 0x00ABCDEF;
    EXPECT_EQ(encodeColor(0xFF332211), "RGB(17,34,51)");
    EXPECT_EQ(decodeColor(encodeColor(0x00332211), def), 0x00332211u);

    EXPECT_EQ(decodeColor("RGB(255,0,0)", def), 0x000000FFu);
    EXPECT_EQ(decodeColor("RGB( 1, 2 ,3 )", def), 0x00030201u);
    EXPECT_EQ(decodeColor("10,20,30", def), 0x001E140Au);
    EXPECT_EQ(decodeColor("RGB(257,0,-1)", def), 0x00FF0001u);  // 8 bits each

    EXPECT_EQ(decodeColor("#FF", def), 0x000000FFu);
    EXPECT_EQ(decodeColor("#00ff00", def), 0x0000FF00u);
    EXPECT_EQ(decodeColor("#-1", def), 0xFFFFFFFFu);
    EXPECT_EQ(decodeColor("#80FFFFFF", def), 0x80FFFFFFu);

    EXPECT_EQ(decodeColor("ARGB(128,1,2,3)", def), 0x80030201u);
    EXPECT_EQ(decodeColor("CMYK(0,0,0,100)", def), 0x00000000u);
    EXPECT_EQ(decodeColor("CMYK(0,0,0,0)", def), 0x00FFFFFFu);
    EXPECT_EQ(decodeColor("CMYK(50,0,0,0)", def), 0x00FFFF80u);
    EXPECT_EQ(decodeColor("CMYK(0,0,0,50)", def), 0x00808080u);
    EXPECT_EQ(decodeColor("CMYK(49.5,0,0,0)", def), 0x00FFFF80u);   // percent rounded half up
    EXPECT_EQ(decodeColor("CMYK(-20,200,0,0)", def), 0x00FF00FFu);  // clamped to a byte
    EXPECT_EQ(decodeColor("CMY(0,100,100)", def), 0x000000FFu);
    EXPECT_EQ(decodeColor("CMY( 100, 0, 100)", def), 0x0000FF00u);
}

TEST(SettingsEncoding, ColourWithoutEnoughNumbersGivesTheDefault) {
    const uint32_t def = 0x00ABCDEF;
    EXPECT_EQ(decodeColor("", def), def);
    EXPECT_EQ(decodeColor("RGB()", def), def);
    EXPECT_EQ(decodeColor("RGB(1,2)", def), def);
    EXPECT_EQ(decodeColor("RGB(1,,2)", def), def);
    EXPECT_EQ(decodeColor("ARGBCMYK(,)", def), def);
}

TEST(SettingsEncoding, BinaryTooLongReadsAsAbsent) {
    uint8_t buffer[4] = {9, 9, 9, 9};
    EXPECT_EQ(decodeBinary("AAPIDPFK", buffer, sizeof buffer), 4u);
    EXPECT_EQ(buffer[1], 0xF8);

    uint8_t untouched[4] = {9, 9, 9, 9};
    EXPECT_EQ(decodeBinary("AAPIDPFKAB", untouched, sizeof untouched), 0u);
    EXPECT_EQ(untouched[0], 9);
    EXPECT_EQ(decodeBinary("", untouched, sizeof untouched), 0u);

    // Only the first 4 * size + 255 characters are decoded.
    uint8_t small[2] = {0, 0};
    EXPECT_EQ(decodeBinary(std::string(261, ' ') + "PIDP", small, sizeof small), 1u);
    EXPECT_EQ(small[0], 0xF8);
    EXPECT_EQ(decodeBinary(std::string(262, ' ') + "PIDP", small, sizeof small), 0u);
    EXPECT_EQ(decodeBinary(std::string(300, 'A'), small, sizeof small), 0u);
}

// ---- INI text -----------------------------------------------------------------------------------

TEST(IniText, SectionAndKeyNamesIgnoreCase) {
    IniFile file = IniFile::parse("[MainFrame]\nXPos=100\n[Other]\nXPos=5\n");
    EXPECT_EQ(file.value("mainframe", "XPOS"), "100");
    EXPECT_EQ(file.value("OTHER", "xpos"), "5");
    EXPECT_EQ(file.value("MainFrame", "YPos"), std::nullopt);
    EXPECT_EQ(file.value("Missing", "XPos"), std::nullopt);

    ASSERT_TRUE(file.setValue("MAINFRAME", "xpos", "200"));
    ASSERT_TRUE(file.setValue("mainframe", "YPos", "7"));
    EXPECT_EQ(file.text(), "[MainFrame]\nxpos=200\nYPos=7\n[Other]\nXPos=5\n");
}

TEST(IniText, ReadsHandEditedFilesAndKeepsTheirOtherLines) {
    IniFile file = IniFile::parse(
        "\xEF\xBB\xBF; settings\r\n[Shape]\r\n  PenWidth = 0.5\r\n\r\n# note\r\n"
        "FillColor=RGB(1,2,3)\r\n[ ColorMap ]\r\nCOLOR1=\xE8\x89\xB2 =x \r\nbroken line");
    EXPECT_EQ(file.value("Shape", "PenWidth"), " 0.5");
    EXPECT_EQ(file.value("shape", "FillColor"), "RGB(1,2,3)");
    EXPECT_EQ(file.value("ColorMap", "color1"),
              "\xE8\x89\xB2 =x ");  // value bytes kept as they are

    ASSERT_TRUE(file.setValue("Shape", "FillAlpha", "128"));
    ASSERT_TRUE(file.setValue("New", "Key", ""));
    EXPECT_EQ(file.text(),
              "; settings\n[Shape]\n  PenWidth = 0.5\n\n# note\nFillColor=RGB(1,2,3)\n"
              "FillAlpha=128\n[ ColorMap ]\nCOLOR1=\xE8\x89\xB2 =x \nbroken line\n\n[New]\nKey=\n");
    EXPECT_EQ(IniFile::parse(file.text()).value("new", "key"), "");
}

TEST(IniText, RefusesNamesAndValuesThatCannotBeStored) {
    IniFile file;
    EXPECT_FALSE(file.setValue("", "Key", "v"));
    EXPECT_FALSE(file.setValue("Sec]", "Key", "v"));
    EXPECT_FALSE(file.setValue(" Sec", "Key", "v"));
    EXPECT_FALSE(file.setValue("Sec", "", "v"));
    EXPECT_FALSE(file.setValue("Sec", "A=B", "v"));
    EXPECT_FALSE(file.setValue("Sec", "[Key", "v"));
    EXPECT_FALSE(file.setValue("Sec", ";Key", "v"));
    EXPECT_FALSE(file.setValue("Sec", "Key", "two\nlines"));
    EXPECT_FALSE(file.setValue("Sec", "Key", "cr\r"));
    EXPECT_TRUE(file.empty());
    EXPECT_TRUE(file.setValue("Sec", "Key", "a=b;[c]"));
    EXPECT_EQ(IniFile::parse(file.text()).value("Sec", "Key"), "a=b;[c]");
}

// ---- the store on disk --------------------------------------------------------------------------

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedXdg_ = getenvOptional("XDG_CONFIG_HOME");
        savedHome_ = getenvOptional("HOME");
        ::setenv("XDG_CONFIG_HOME", dir_.file("config").c_str(), 1);
        ini_ = dir_.file("settings.ini");
        setLocation(ini_);
    }
    void TearDown() override {
        restoreEnv("XDG_CONFIG_HOME", savedXdg_);
        restoreEnv("HOME", savedHome_);
        // Anything written by mistake after a test must fail rather than land somewhere real.
        setLocation("/nonexistent/kov-settings-test/settings.ini");
    }

    static std::optional<std::string> getenvOptional(const char* name) {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    }
    static void restoreEnv(const char* name, const std::optional<std::string>& value) {
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
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

    std::optional<std::string> savedXdg_;
    std::optional<std::string> savedHome_;
    kov::test::TempDir dir_;
    std::string ini_;
};

TEST_F(SettingsStoreTest, ValuesRoundTripThroughTheFile) {
    writeSample();
    EXPECT_EQ(kov::test::readFile(ini_),
              "[MainFrame]\nXPos=-1\nZoom=1\n\n"
              "[QPrintDlg]\nScale=1.5(AAAAAAAAAAAAPIDP)\n\n"
              "[ToolFloodFillDlg]\nCOL1=RGB(0,128,255)\n\n"
              "[ProjectDlg]\nLastDir=/home/利用者/データ\n\n"
              "[KovViewTip]\nLogFont=ABACPIDPAAPP\n");

    EXPECT_EQ(readInt("MainFrame", "XPos", 5), -1);
    EXPECT_EQ(readReal("QPrintDlg", "Scale", 0.0), 1.5);
    EXPECT_EQ(readColor("ToolFloodFillDlg", "COL1", 0), 0x00FF8000u);
    EXPECT_EQ(readString("ProjectDlg", "LastDir", ""), "/home/利用者/データ");
    uint8_t font[6] = {};
    EXPECT_EQ(readBinary("KovViewTip", "LogFont", font, sizeof font), 6u);
    EXPECT_EQ(font[2], 0xF8);
    EXPECT_EQ(font[5], 255);
    uint8_t shortBuffer[5] = {7, 7, 7, 7, 7};
    EXPECT_EQ(readBinary("KovViewTip", "LogFont", shortBuffer, sizeof shortBuffer), 0u);
    EXPECT_EQ(shortBuffer[0], 7);

    // Rewriting a key replaces its line; names match without regard to case.
    EXPECT_TRUE(writeInt("MAINFRAME", "xpos", 320));
    EXPECT_EQ(readInt("mainframe", "XPOS", 5), 320);
    EXPECT_EQ(kov::test::readFile(ini_).find("XPos"), std::string::npos);

    const double awkward = 0.1 + 0.2;
    EXPECT_TRUE(writeReal("QPrintDlg", "Scale", awkward));
    EXPECT_EQ(std::bit_cast<uint64_t>(readReal("QPrintDlg", "Scale", 0.0)),
              std::bit_cast<uint64_t>(awkward));
}

TEST_F(SettingsStoreTest, AbsentOrEmptyValuesGiveTheDefaults) {
    EXPECT_EQ(readInt("MainFrame", "XPos", -1), -1);  // no file yet
    EXPECT_EQ(readString("ProjectDlg", "LastDir", "def"), "def");
    kov::test::writeFile(ini_, "[S]\nInt=\nReal=\nColor=\nText=\nBin=\n");
    EXPECT_EQ(readInt("S", "Int", 12), 12);
    EXPECT_EQ(readReal("S", "Real", 2.5), 2.5);
    EXPECT_EQ(readColor("S", "Color", 0x123456), 0x123456u);
    EXPECT_EQ(readString("S", "Text", "def"), "");
    uint8_t buffer[4];
    EXPECT_EQ(readBinary("S", "Bin", buffer, sizeof buffer), 0u);
    EXPECT_EQ(readBinary("S", "Missing", buffer, sizeof buffer), 0u);
    EXPECT_EQ(readReal("S", "Missing", 0.75), 0.75);
}

TEST_F(SettingsStoreTest, ReadsSeeChangesMadeByOthers) {
    EXPECT_TRUE(writeInt("MainFrame", "Zoom", 1));
    kov::test::writeFile(ini_, "[MainFrame]\r\nZoom=0\r\nXPos = 44\r\n");
    EXPECT_EQ(readInt("MainFrame", "Zoom", 9), 0);
    EXPECT_EQ(readInt("MainFrame", "XPos", 9), 44);
    EXPECT_TRUE(writeInt("MainFrame", "YPos", 3));
    EXPECT_EQ(kov::test::readFile(ini_), "[MainFrame]\nZoom=0\nXPos = 44\nYPos=3\n");
}

TEST_F(SettingsStoreTest, LongStringsAreCutAtAWholeCharacter) {
    const std::string ascii(9000, 'x');
    EXPECT_TRUE(writeString("CrossSection", "Step", ascii));
    EXPECT_EQ(readString("CrossSection", "Step", ""), ascii.substr(0, kMaxStringLength));

    // 8190 bytes, then a three-byte character that would end beyond the limit.
    const std::string mixed = std::string(8190, 'y') + "標高";
    EXPECT_TRUE(writeString("CrossSection", "Step", mixed));
    EXPECT_EQ(readString("CrossSection", "Step", ""), std::string(8190, 'y'));
}

TEST_F(SettingsStoreTest, UnstorableValuesAreRefusedAndTheFileIsKept) {
    EXPECT_TRUE(writeString("QPrintDlg", "FtCommentT", "one line"));
    const std::string before = kov::test::readFile(ini_);
    EXPECT_FALSE(writeString("QPrintDlg", "FtCommentT", "two\nlines"));
    EXPECT_FALSE(writeInt("", "Key", 1));
    EXPECT_FALSE(writeInt("Sec", "K=ey", 1));
    EXPECT_EQ(kov::test::readFile(ini_), before);
}

TEST_F(SettingsStoreTest, UnreadableOrUnwritableLocationFailsQuietly) {
    std::filesystem::create_directories(ini_);  // a folder where the file should be
    EXPECT_EQ(readInt("MainFrame", "Zoom", 3), 3);
    EXPECT_FALSE(writeInt("MainFrame", "Zoom", 1));
    EXPECT_TRUE(std::filesystem::is_directory(ini_));

    setLocation(dir_.file("no/such/folder/settings.ini"));
    EXPECT_FALSE(writeInt("MainFrame", "Zoom", 1));
    EXPECT_EQ(readInt("MainFrame", "Zoom", 3), 3);
}

TEST_F(SettingsStoreTest, WritesLeaveNoTemporaryFilesAndKeepThePermissions) {
    EXPECT_TRUE(writeInt("MainFrame", "Zoom", 1));
    ASSERT_EQ(::chmod(ini_.c_str(), 0640), 0);
    EXPECT_TRUE(writeInt("MainFrame", "Zoom", 0));
    struct stat st;
    ASSERT_EQ(::stat(ini_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"settings.ini", "settings.ini.lock"}));
}

TEST_F(SettingsStoreTest, UserStoreHoldsTheSameTextAsTheIniFile) {
    writeSample();
    setLocation("@reg");  // the marker in any letter case
    EXPECT_TRUE(isUserStoreMarker(location()));
    EXPECT_EQ(settingsFilePath(), userFile());
    writeSample();
    EXPECT_EQ(readReal("QPrintDlg", "Scale", 0.0), 1.5);
    EXPECT_EQ(kov::test::readFile(userFile()), kov::test::readFile(ini_));
}

TEST_F(SettingsStoreTest, DefaultLocationsFollowTheExecutableAndTheConfigFolder) {
    EXPECT_EQ(iniPathForExecutable("/opt/kov/kovview"), "/opt/kov/kovview.ini");
    EXPECT_EQ(iniPathForExecutable("/opt/kov.d/kovview.bin"), "/opt/kov.d/kovview.ini");
    EXPECT_EQ(iniPathForExecutable("/opt/kov.d/kovview"), "/opt/kov.d/kovview.ini");
    EXPECT_EQ(iniPathForExecutable("/opt/.kovview"), "/opt/.kovview.ini");

    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(n, 0);
    EXPECT_EQ(defaultIniPath(), iniPathForExecutable(std::string(exe, n)));
    setLocation("");
    EXPECT_EQ(location(), defaultIniPath());
    setLocation("/some/where.ini");
    EXPECT_EQ(location(), "/some/where.ini");

    ::setenv("HOME", "/home/kov", 1);
    ::setenv("XDG_CONFIG_HOME", "/etc/xdg-user/", 1);
    EXPECT_EQ(userSettingsPath(), "/etc/xdg-user/VEY-JP/Kov Viewer5.ini");
    ::setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(userSettingsPath(), "/home/kov/.config/VEY-JP/Kov Viewer5.ini");
    ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
    EXPECT_EQ(userSettingsPath(), "/home/kov/.config/VEY-JP/Kov Viewer5.ini");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(userSettingsPath(), "/home/kov/.config/VEY-JP/Kov Viewer5.ini");
}

TEST_F(SettingsStoreTest, StartupChoosesTheUserStoreWhenTheExecutableIsNotWritable) {
    const std::string exe = dir_.file("bin/kovview");
    kov::test::writeFile(exe, "program");

    chooseStartupLocation(exe);  // writable: the location stays
    EXPECT_EQ(location(), ini_);

    chooseStartupLocation(dir_.file("bin/missing"));
    EXPECT_TRUE(isUserStoreMarker(location()));

    if (::geteuid() != 0) {  // permissions do not restrict root
        setLocation(ini_);
        ASSERT_EQ(::chmod(exe.c_str(), 0555), 0);
        chooseStartupLocation(exe);
        EXPECT_TRUE(isUserStoreMarker(location()));

        setLocation(ini_);
        ASSERT_EQ(::chmod(exe.c_str(), 0755), 0);
        ASSERT_EQ(::chmod(dir_.file("bin").c_str(), 0555), 0);
        chooseStartupLocation(exe);
        EXPECT_TRUE(isUserStoreMarker(location()));
        ::chmod(dir_.file("bin").c_str(), 0755);
    }
}

TEST_F(SettingsStoreTest, ConcurrentWritersKeepEveryKey) {
    constexpr int kKeys = 100;
    EXPECT_TRUE(writeString("Shared", "Start", "yes"));
    pid_t children[2];
    for (int child = 0; child < 2; ++child) {
        children[child] = ::fork();
        ASSERT_GE(children[child], 0);
        if (children[child] == 0) {
            bool ok = true;
            const std::string prefix(1, static_cast<char>('A' + child));
            for (int i = 0; i < kKeys; ++i) {
                ok = writeInt("Shared", prefix + std::to_string(i), i * 10 + child) && ok;
                ok = writeReal(prefix + "Section", "Key" + std::to_string(i), i + 0.1) && ok;
            }
            ::_exit(ok ? 0 : 1);
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    const IniFile file = IniFile::parse(kov::test::readFile(ini_));
    EXPECT_EQ(file.value("Shared", "Start"), "yes");
    int missing = 0;
    for (int child = 0; child < 2; ++child) {
        const std::string prefix(1, static_cast<char>('A' + child));
        for (int i = 0; i < kKeys; ++i) {
            if (file.value("Shared", prefix + std::to_string(i)) != std::to_string(i * 10 + child))
                ++missing;
            if (readReal(prefix + "Section", "Key" + std::to_string(i), -1.0) != i + 0.1) ++missing;
        }
    }
    EXPECT_EQ(missing, 0);
    // Every line of the file is a section header, a key or the blank line before a header.
    const std::string text = kov::test::readFile(ini_);
    size_t lines = 0;
    for (size_t pos = 0; pos < text.size(); ++lines) {
        const size_t end = text.find('\n', pos);
        ASSERT_NE(end, std::string::npos) << "unterminated last line";
        const std::string line = text.substr(pos, end - pos);
        const bool header = !line.empty() && line.front() == '[' && line.back() == ']';
        const bool entry = line.find('=') != std::string::npos && line.front() != '[';
        const bool gap = line.empty() && text.compare(end + 1, 1, "[") == 0;
        EXPECT_TRUE(header || entry || gap) << "line " << lines << ": " << line;
        pos = end + 1;
    }
    EXPECT_EQ(lines, 2u + 2 * kKeys + 2 * (kKeys + 2));
}

}  // namespace
}  // namespace kov::settings
