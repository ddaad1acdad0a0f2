// SPDX-License-Identifier: MIT
// The settings store: typed values by section and key, kept as text in one settings file per
// process.
//
// The location is either a file path (the INI file, by default beside the executable) or the marker
// "@Reg" (compared without regard to case), which selects the per-user file
// $XDG_CONFIG_HOME/VEY-JP/Kov Viewer5.ini. Both hold the same text format and the same value
// encodings, so a file can be moved between them and to and from the Windows edition:
//
//   string   the text itself (read back at most 8191 bytes)
//   integer  "%d"
//   real     "1.5(AAAAAAAAAAAAPIDP)": the value with at most 15 significant digits, then the 8
//   bytes
//            of the IEEE-754 double (little-endian) as letter pairs, so that it reads back
//            bit-exact
//   colour   "RGB(r,g,b)"; reading also accepts "#hex", "CMYK(c,m,y,k)", "CMY(c,m,y)",
//            "ARGB(a,r,g,b)" and bare "r,g,b"
//   binary   the bytes as letter pairs
//
// Writes lock the file against other running copies (flock on "<file>.lock"), rewrite it through a
// temporary file in the same folder and rename that over it, so a file is never left half-written.
// Reads re-read the file every time; a missing or unreadable file reads as all defaults. Failure is
// only a return value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kov::settings {

// ---- location
// -------------------------------------------------------------------------------------

// "" resets to defaultIniPath(); any other text (a path or "@Reg") is used unchanged.
void setLocation(const std::string& location);
// The current location; on first use the default INI path.
std::string location();
// True for the marker "@Reg" in any letter case.
bool isUserStoreMarker(std::string_view location);
// The running executable's path (/proc/self/exe) with its extension replaced by ".ini";
// "" when the executable's path is unknown.
std::string defaultIniPath();
// "/opt/kov/kovview" -> "/opt/kov/kovview.ini", "/opt/kov/kov.bin" -> "/opt/kov/kov.ini".
std::string iniPathForExecutable(const std::string& executablePath);
// $XDG_CONFIG_HOME/VEY-JP/Kov Viewer5.ini, with ~/.config when the variable is unset, empty or not
// an absolute path.
std::string userSettingsPath();
// The file that the current location stands for.
std::string settingsFilePath();

// Start-up choice: when the executable lies in the system's folders (/usr, /bin, /sbin), when its
// file cannot be opened for reading and writing, or when its folder does not let us create files,
// the location becomes "@Reg"; otherwise it is left as it is (the default INI file beside the
// executable).
void chooseStartupLocation();
void chooseStartupLocation(const std::string& executablePath);

// ---- values
// ---------------------------------------------------------------------------------------

bool writeString(std::string_view section, std::string_view key, std::string_view value);
bool writeInt(std::string_view section, std::string_view key, int value);
bool writeReal(std::string_view section, std::string_view key, double value);
bool writeColor(std::string_view section, std::string_view key, uint32_t color);
bool writeBinary(std::string_view section, std::string_view key, const void* data, size_t size);

std::string readString(std::string_view section, std::string_view key, std::string_view def);
int readInt(std::string_view section, std::string_view key, int def);
double readReal(std::string_view section, std::string_view key, double def);
uint32_t readColor(std::string_view section, std::string_view key, uint32_t def);
// The same, limited to lo..hi: a stored number outside is taken as the nearer bound (a real that
// is no finite number as def), so that no arithmetic on a setting can overflow.
int readIntIn(std::string_view section, std::string_view key, int def, int lo, int hi);
double readRealIn(std::string_view section, std::string_view key, double def, double lo, double hi);
// Copies the stored block into `buffer` and returns its length; 0 with nothing copied when the
// key is absent or the block is longer than `size`.
size_t readBinary(std::string_view section, std::string_view key, void* buffer, size_t size);

// ---- value encodings (pure functions) -----------------------------------------------------------

// Each byte as two letters 'A' + nibble, high nibble first: 0x00 -> "AA", 0xF8 -> "PI".
std::string encodeLetterPairs(const void* data, size_t size);
// Characters outside 'A'..'P' are skipped; the remaining letters are paired in order and an odd
// last letter is dropped.
std::vector<uint8_t> decodeLetterPairs(std::string_view text);

std::string encodeReal(double value);
// The bytes in parentheses when they decode to exactly 8 bytes, else the decimal text before "(";
// `def` for an empty text.
double decodeReal(std::string_view text, double def);

std::string encodeColor(uint32_t color);
uint32_t decodeColor(std::string_view text, uint32_t def);

// The leading decimal integer ("  -12abc" -> -12, clamped to the int range), 0 when there is none,
// `def` for an empty text.
int decodeInt(std::string_view text, int def);

// A stored binary text as readBinary treats it: only the first 4 * size + 255 characters are
// decoded; returns the decoded length when it fits into `size` bytes (copying it), else 0.
size_t decodeBinary(std::string_view text, void* buffer, size_t size);

// The longest string that readString returns, in bytes.
inline constexpr size_t kMaxStringLength = 8191;

}  // namespace kov::settings
