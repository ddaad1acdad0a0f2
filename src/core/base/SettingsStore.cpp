// SPDX-License-Identifier: MIT
#include "core/base/SettingsStore.h"

#include "core/base/AtomicFile.h"
#include "core/base/IniFile.h"
#include "core/base/NumberFormat.h"
#include "core/base/PathNames.h"
#include "core/base/TextScan.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <optional>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kov::settings {

namespace {

constexpr std::string_view kUserStoreMarker = "@Reg";
constexpr const char* kCompanyFolder = "VEY-JP";
constexpr const char* kUserFileName = "Kov Viewer5.ini";

// ---- location state
// -------------------------------------------------------------------------------

std::mutex locationMutex;
bool locationSet = false;
std::string currentLocation;

std::string defaultLocation() {
    std::string path = defaultIniPath();
    // Without a known executable path there is no place beside it; use the per-user file.
    return path.empty() ? std::string(kUserStoreMarker) : path;
}

std::string parentFolder(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// ---- number texts
// ---------------------------------------------------------------------------------

bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string decimalText(long long value) {
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, ec == std::errc() ? end : buffer);
}

// Hexadecimal digits with an optional leading "-", as the C library's strtoul reads a 32-bit
// unsigned long: saturated at 0xFFFFFFFF, a "-" negates.
uint32_t leadingHex(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    uint64_t value = 0;
    bool overflow = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        value = value * 16 + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFu) {
            overflow = true;
            value = 0xFFFFFFFFu;
        }
    }
    if (overflow) return 0xFFFFFFFFu;
    const uint32_t result = static_cast<uint32_t>(value);
    return negative ? 0u - result : result;
}

// A colour fraction 0..1 as a byte: the integer part of v * 255 + 0.5, within 0..255.
uint32_t colorByte(double v) {
    const double scaled = v * 255.0 + 0.5;
    if (!(scaled >= 0.0)) return 0;
    if (scaled >= 255.0) return 255;
    return static_cast<uint32_t>(scaled);
}

// ---- files
// ----------------------------------------------------------------------------------------

enum class ReadResult { Ok, Missing, Failed };

ReadResult readWholeFile(const std::string& path, std::string& text) {
    text.clear();
    // Without blocking: a FIFO in the file's place must not hold the program.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return ReadResult::Failed;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            ::close(fd);
            return ReadResult::Failed;
        }
    }
    ::close(fd);
    return ReadResult::Ok;
}

// Creates the folder and its missing parents (owner-only, as for a per-user settings folder).
bool makeFolders(const std::string& folder) {
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const std::string parent = parentFolder(folder);
    if (parent != folder && !makeFolders(parent)) return false;
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// Holds an exclusive advisory lock on the settings file's folder for its lifetime.
class FileLock {
public:
    explicit FileLock(const std::string& path) {
        // The folder is locked rather than a lock file beside the settings, which would stay
        // behind after exit.
        fd_ = ::open(parentFolder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0) return;
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(fd_);
                fd_ = -1;
                return;
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool locked() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// The file to read or write; a symbolic link is followed so that the link itself stays.
std::string targetFile(bool forWriting) {
    std::string path = settingsFilePath();
    if (path.empty()) return path;
    if (forWriting && isUserStoreMarker(location()) && !makeFolders(parentFolder(path))) return {};
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            path = resolved;
            std::free(resolved);
        }
    }
    return path;
}

std::optional<std::string> readValue(std::string_view section, std::string_view key) {
    const std::string path = targetFile(false);
    if (path.empty()) return std::nullopt;
    std::string text;
    if (readWholeFile(path, text) != ReadResult::Ok) return std::nullopt;
    return IniFile::parse(text).value(section, key);
}

bool writeValue(std::string_view section, std::string_view key, std::string_view value) {
    if (!IniFile::isValidSection(section) || !IniFile::isValidKey(key) ||
        !IniFile::isValidValue(value))
        return false;
    const std::string path = targetFile(true);
    if (path.empty()) return false;

    FileLock lock(path);
    if (!lock.locked()) return false;

    std::string text;
    const ReadResult read = readWholeFile(path, text);
    // A file that exists but cannot be read is left alone rather than replaced by our keys only.
    if (read == ReadResult::Failed) return false;
    const bool exists = read == ReadResult::Ok;

    IniFile file = IniFile::parse(text);
    if (exists && file.value(section, key) == value) return true;
    if (!file.setValue(section, key, value)) return false;
    return replaceFileAtomically(path, file.text());
}

}  // namespace

// ---- location
// -------------------------------------------------------------------------------------

bool isUserStoreMarker(std::string_view text) {
    return equalsIgnoringCase(text, kUserStoreMarker);
}

void setLocation(const std::string& text) {
    std::string value = text.empty() ? defaultLocation() : text;
    std::lock_guard<std::mutex> guard(locationMutex);
    currentLocation = std::move(value);
    locationSet = true;
}

std::string location() {
    std::lock_guard<std::mutex> guard(locationMutex);
    if (!locationSet) {
        currentLocation = defaultLocation();
        locationSet = true;
    }
    return currentLocation;
}

std::string iniPathForExecutable(const std::string& executablePath) {
    if (executablePath.empty()) return {};
    const size_t slash = executablePath.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = executablePath.rfind('.');
    // A dot that starts the file name (".kovview") does not begin an extension.
    const bool hasExtension = dot != std::string::npos && dot > nameStart;
    return executablePath.substr(0, hasExtension ? dot : std::string::npos) + ".ini";
}

std::string defaultIniPath() {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<size_t>(n));
            return iniPathForExecutable(buffer);
        }
        if (buffer.size() > 65536) return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::string userSettingsPath() {
    std::string base;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        std::string homeFolder = home && home[0] ? home : "";
        if (homeFolder.empty()) {
            struct passwd entry;
            struct passwd* found = nullptr;
            char buffer[4096];
            if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found &&
                found->pw_dir)
                homeFolder = found->pw_dir;
        }
        if (homeFolder.empty()) return {};
        base = homeFolder + "/.config";
    }
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    if (base == "/") base.clear();
    return base + "/" + kCompanyFolder + "/" + kUserFileName;
}

std::string settingsFilePath() {
    const std::string current = location();
    return isUserStoreMarker(current) ? userSettingsPath() : current;
}

void chooseStartupLocation(const std::string& executablePath) {
    // A program installed by the package manager (or `cmake --install` into /usr/local) never
    // keeps its settings among the system's programs, even when root could write there: the file
    // would outlive the package and be shared by every user.
    for (const char* systemFolder : {"/usr/", "/bin/", "/sbin/"})
        if (executablePath.rfind(systemFolder, 0) == 0) {
            setLocation(std::string(kUserStoreMarker));
            return;
        }
    const bool fileWritable =
        !executablePath.empty() && ::access(executablePath.c_str(), R_OK | W_OK) == 0;
    // The settings file is replaced through a temporary file beside it, so the folder must let us
    // create files too.
    const bool folderWritable =
        fileWritable && ::access(parentFolder(executablePath).c_str(), W_OK | X_OK) == 0;
    if (!fileWritable || !folderWritable) setLocation(std::string(kUserStoreMarker));
}

void chooseStartupLocation() {
    std::string executable(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", executable.data(), executable.size());
    executable.resize(n > 0 && static_cast<size_t>(n) < executable.size() ? n : 0);
    chooseStartupLocation(executable);
}

// ---- value encodings
// ------------------------------------------------------------------------------

std::string encodeLetterPairs(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::string text;
    text.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        text += static_cast<char>('A' + (bytes[i] >> 4));
        text += static_cast<char>('A' + (bytes[i] & 0x0F));
    }
    return text;
}

std::vector<uint8_t> decodeLetterPairs(std::string_view text) {
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    int high = -1;
    for (const char c : text) {
        if (c < 'A' || c > 'P') continue;
        const int nibble = c - 'A';
        if (high < 0) {
            high = nibble;
        } else {
            bytes.push_back(static_cast<uint8_t>(high << 4 | nibble));
            high = -1;
        }
    }
    return bytes;
}

std::string encodeReal(double value) {
    // The bytes are stored little-endian, the memory order of the Windows edition's files.
    uint64_t bits = std::bit_cast<uint64_t>(value);
    uint8_t bytes[8];
    for (uint8_t& byte : bytes) {
        byte = static_cast<uint8_t>(bits & 0xFF);
        bits >>= 8;
    }
    return formatShort(value, 15) + "(" + encodeLetterPairs(bytes, sizeof bytes) + ")";
}

double decodeReal(std::string_view text, double def) {
    if (text.empty()) return def;
    const size_t open = text.find('(');
    if (open != std::string_view::npos) {
        std::string_view inner = text.substr(open + 1);
        inner = inner.substr(0, inner.find(')'));
        const std::vector<uint8_t> bytes = decodeLetterPairs(inner);
        if (bytes.size() == 8) {
            uint64_t bits = 0;
            for (int i = 7; i >= 0; --i)
                bits = bits << 8 | bytes[static_cast<size_t>(i)];
            return std::bit_cast<double>(bits);
        }
    }
    return parseLeadingDouble(text.substr(0, open));
}

std::string encodeColor(uint32_t color) {
    return "RGB(" + decimalText(color & 0xFF) + "," + decimalText(color >> 8 & 0xFF) + "," +
           decimalText(color >> 16 & 0xFF) + ")";
}

uint32_t decodeColor(std::string_view text, uint32_t def) {
    const size_t start = text.find_first_not_of("ARGBCMYK(,)");
    if (start == std::string_view::npos) return def;
    std::vector<std::string_view> tokens;
    for (size_t pos = start; pos < text.size();) {
        const size_t end = std::min(text.find_first_of("(,)", pos), text.size());
        if (end > pos) tokens.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    if (tokens.front().front() == '#') return leadingHex(tokens.front().substr(1));
    if (tokens.size() < 3) return def;

    const auto token = [&](size_t i) { return i < tokens.size() ? tokens[i] : std::string_view(); };
    const auto fromCmyk = [&](bool withBlack) {
        // Percent values rounded half up, then as fractions.
        const auto fraction = [&](size_t i) {
            return std::floor(parseLeadingDouble(token(i)) + 0.5) / 100;
        };
        const double k = withBlack ? fraction(3) : 0.0;
        uint32_t color = 0;
        for (size_t i = 0; i < 3; ++i) {
            const double ink = std::min(1.0, fraction(i) * (1.0 - k) + k);
            color |= colorByte(1.0 - ink) << (8 * i);
        }
        return color;
    };
    const auto byteAt = [&](size_t i) {
        return static_cast<uint32_t>(parseLeadingInt(token(i))) & 0xFF;
    };

    if (text.find("CMYK") != std::string_view::npos) return fromCmyk(true);
    if (text.find("CMY") != std::string_view::npos) return fromCmyk(false);
    if (text.find("ARGB") != std::string_view::npos)
        return byteAt(1) | byteAt(2) << 8 | byteAt(3) << 16 | byteAt(0) << 24;
    return byteAt(0) | byteAt(1) << 8 | byteAt(2) << 16;
}

int decodeInt(std::string_view text, int def) {
    return text.empty() ? def : parseLeadingInt(text);
}

size_t decodeBinary(std::string_view text, void* buffer, size_t size) {
    // The stored text is read into a buffer of 4 * size + 256 characters, terminator included.
    const size_t limit = size <= (SIZE_MAX - 255) / 4 ? size * 4 + 255 : SIZE_MAX;
    const std::vector<uint8_t> bytes = decodeLetterPairs(text.substr(0, limit));
    if (bytes.empty() || bytes.size() > size) return 0;
    std::memcpy(buffer, bytes.data(), bytes.size());
    return bytes.size();
}

// ---- values
// ---------------------------------------------------------------------------------------

bool writeString(std::string_view section, std::string_view key, std::string_view value) {
    return writeValue(section, key, value);
}

bool writeInt(std::string_view section, std::string_view key, int value) {
    return writeValue(section, key, decimalText(value));
}

bool writeReal(std::string_view section, std::string_view key, double value) {
    return writeValue(section, key, encodeReal(value));
}

bool writeColor(std::string_view section, std::string_view key, uint32_t color) {
    return writeValue(section, key, encodeColor(color));
}

bool writeBinary(std::string_view section, std::string_view key, const void* data, size_t size) {
    if (!data && size > 0) return false;
    return writeValue(section, key, encodeLetterPairs(data, size));
}

std::string readString(std::string_view section, std::string_view key, std::string_view def) {
    std::optional<std::string> value = readValue(section, key);
    if (!value) return std::string(def.substr(0, kMaxStringLength));
    if (value->size() > kMaxStringLength) {
        // Cut at a character boundary: a UTF-8 sequence is kept whole or dropped whole.
        size_t cut = kMaxStringLength;
        while (cut > 0 && (static_cast<unsigned char>((*value)[cut]) & 0xC0) == 0x80)
            --cut;
        value->resize(cut);
    }
    return *value;
}

int readInt(std::string_view section, std::string_view key, int def) {
    const std::optional<std::string> value = readValue(section, key);
    return value ? decodeInt(*value, def) : def;
}

double readReal(std::string_view section, std::string_view key, double def) {
    const std::optional<std::string> value = readValue(section, key);
    return value ? decodeReal(*value, def) : def;
}

int readIntIn(std::string_view section, std::string_view key, int def, int lo, int hi) {
    return std::clamp(readInt(section, key, def), lo, hi);
}

double readRealIn(std::string_view section, std::string_view key, double def, double lo,
                  double hi) {
    const double value = readReal(section, key, def);
    return std::isfinite(value) ? std::clamp(value, lo, hi) : def;
}

uint32_t readColor(std::string_view section, std::string_view key, uint32_t def) {
    const std::optional<std::string> value = readValue(section, key);
    return value ? decodeColor(*value, def) : def;
}

size_t readBinary(std::string_view section, std::string_view key, void* buffer, size_t size) {
    const std::optional<std::string> value = readValue(section, key);
    return value ? decodeBinary(*value, buffer, size) : 0;
}

}  // namespace kov::settings
