// SPDX-License-Identifier: MIT
#include "core/base/PathNames.h"

#include <algorithm>
#include <filesystem>

namespace kov {

std::pair<std::string, std::string> splitFolder(const std::string& path) {
    // A plain scan from the end: find_last_of asks its set about every character, which a load
    // of many tiles feels.
    size_t name = path.size();
    while (name > 0 && path[name - 1] != '/' && path[name - 1] != '\\')
        --name;
    return {path.substr(0, name), path.substr(name)};
}

std::string baseName(const std::string& path) {
    std::string name = splitFolder(path).second;
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    return name;
}

std::string fileExtension(const std::string& path) {
    const std::string name = splitFolder(path).second;
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string withoutExtension(const std::string& path) {
    return splitFolder(path).first + baseName(path);
}

WindowsPathParts splitWindowsPath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    WindowsPathParts parts;
    size_t start = 0;
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        start = 2;
    } else if (path.size() >= 2 && path[0] == '/' && path[1] == '/') {
        // "//server/share" counts as the drive.
        const size_t server = path.find('/', 2);
        const size_t share = server == std::string::npos ? server : path.find('/', server + 1);
        start = share == std::string::npos ? path.size() : share;
    }
    parts.drive = path.substr(0, start);
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash < start) {
        parts.file = path.substr(start);
    } else {
        parts.folder = path.substr(start, slash + 1 - start);
        parts.file = path.substr(slash + 1);
    }
    return parts;
}

std::string absolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowerAscii(std::string text) {
    for (char& c : text)
        c = lowerAscii(c);
    return text;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowerAscii(x) == lowerAscii(y);
           });
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool isInternetPath(std::string_view path) {
    return path.size() >= 5 &&
           (startsWithIgnoringCase(path, "http:") || startsWithIgnoringCase(path, "https:") ||
            startsWithIgnoringCase(path, "ftp:"));
}

}  // namespace kov
