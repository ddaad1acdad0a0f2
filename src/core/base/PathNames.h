// SPDX-License-Identifier: MIT
// Paths and names as text: a path's folder, name and extension, a Windows path's drive, names
// compared as the file systems of the data sets compare them (ASCII letters in any case), and
// internet paths told from local ones. Nothing here opens, lists or looks for a file.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace kov {

// Splits at the last '/' or '\\': the folder including its separator, and the file name.
std::pair<std::string, std::string> splitFolder(const std::string& path);
// The file name without its last extension.
std::string baseName(const std::string& path);
// The last extension including the dot, or an empty string.
std::string fileExtension(const std::string& path);
// The folder and the base name: where a file's siblings of other extensions are (a tile's
// header, a shapefile's index, an image's world file).
std::string withoutExtension(const std::string& path);

// A path split the Windows way, at '\\' and '/' alike (both become '/').
struct WindowsPathParts {
    std::string drive;   // "C:" or "//server/share"; empty for a path of this system
    std::string folder;  // with its separators, "/" at the end
    std::string file;    // name and extension
};
WindowsPathParts splitWindowsPath(std::string path);

// Absolute against the current folder and without "." and ".." components, worked out on the
// text alone: a link stays a link (a tile reached through a link finds its header beside the
// link). The path as given when there is no current folder.
std::string absolutePath(const std::string& path);

// ASCII letters in lower case; every other byte (a Shift_JIS or UTF-8 byte too) as it is.
char lowerAscii(char c);
std::string lowerAscii(std::string text);
// ASCII case-insensitive comparison, for file extensions, file names and the names of INI and
// XML entries.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);

// Whether the file service fetches this path from the internet: at least five characters,
// beginning with "http:", "https:" or "ftp:" in any letter case.
bool isInternetPath(std::string_view path);

}  // namespace kov
